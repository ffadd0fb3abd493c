#include <gtest/gtest.h>

#include "link/speed_calc.h"

namespace smt::test {
namespace {

// X and Y get different starts, runs, lengths and ranges, so a term taken from
// the other axis changes the answer.
TEST(MoveSpeedTable, EachAxisStartUsesItsOwnLengthAndRange) {
    MoveSpeedOptions o;
    o.optimizeFarSpeed = true;
    o.accelPercent = 40;
    struct Case {
        std::int32_t dX, rangeX, dY, rangeY;
        std::int32_t xStart, yStart;
    } cases[] = {
        // x: 40 - 1/4 x 80 x 0.4 = 32; y: 30 - 3/4 x 60 x 0.4 = 12
        {100000, 400000, -150000, 200000, 32, 12},
        // the same lengths with the ranges swapped: x: 40 - 1/2 x 32 = 24; y: 30 - 3/8 x 24 = 21
        {100000, 200000, -150000, 400000, 24, 21},
        // no Y move: Y keeps its start; X over a range not set keeps its start
        {100000, 0, 0, 200000, 40, 30},
    };
    for (const Case& c : cases) {
        AxisSpeed x{40, 120}, y{30, 90};
        XYSpeeds(x, c.dX, c.rangeX, y, c.dY, c.rangeY, o);
        EXPECT_EQ(x, (AxisSpeed{c.xStart, 120})) << c.dX << " " << c.rangeX;
        EXPECT_EQ(y, (AxisSpeed{c.yStart, 90})) << c.dY << " " << c.rangeY;
    }
}

TEST(MoveSpeedTable, CapAppliesToBothRunsAtAndAboveItsBound) {
    MoveSpeedOptions o;
    o.maxSpeedLimit = true;
    o.maxSpeed = 100;
    struct Case {
        std::int32_t xRun, yRun, xOut, yOut;
    } cases[] = {
        {100, 90, 100, 90},    // at the cap: untouched
        {101, 90, 100, 100},   // X just over: both capped together
        {90, 101, 100, 100},   // Y just over
        {80, 60, 80, 60},
    };
    for (const Case& c : cases) {
        AxisSpeed x{20, c.xRun}, y{10, c.yRun};
        XYSpeeds(x, 5000, 400000, y, 7000, 300000, o);
        EXPECT_EQ(std::pair(x.run, y.run), std::pair(c.xOut, c.yOut)) << c.xRun << " " << c.yRun;
        EXPECT_EQ(std::pair(x.start, y.start), std::pair(20, 10));
    }
}

}  // namespace
}  // namespace smt::test
