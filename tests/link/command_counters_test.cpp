// Booking rules of the position counters and the speed codes of the moves.
#include <gtest/gtest.h>

#include "link/position_counters.h"
#include "link/speed_calc.h"
#include "settings/speed_template.h"

using namespace smt;

namespace {

class Counters : public ::testing::Test {
protected:
    void SetUp() override {
        ClearPositionCounters();
        SpeedTemplateSettings s;
        s.m_A_RunFast = 1000;
        TheSpeedTemplates().SetSettings(s);
    }
    void TearDown() override {
        ClearPositionCounters();
        TheSpeedTemplates().SetSettings(SpeedTemplateSettings{});
    }
};

}  // namespace

TEST(FoldA, OneRevolutionEachWayFoldedOnce) {
    const int cases[][3] = {{950 + 100, 1000, 50}, {-950 - 100, 1000, -50}, {1000, 1000, 0}, {-1000, 1000, 0},
                            {999, 1000, 999},      {-999, 1000, -999},      {2500, 1000, 1500}, {2500, 0, 2500}};
    for (const auto& c : cases) EXPECT_EQ(FoldA(c[0], c[1]), c[2]) << c[0] << " of " << c[1];
}

TEST_F(Counters, RockerStrokeBooksBothNozzlesOfThePair) {
    FieldUpdate u = BookSingleAxis(2, 200, 0, 1);
    EXPECT_EQ(std::pair(g_PulseZ[0].load(), g_PulseZ[1].load()), std::pair(-200, 200));
    EXPECT_EQ(u.field, PositionField::Z);
    EXPECT_EQ(u.pulses, -200);  // the lowered nozzle is shown
    // Axis 10 is the third rocker on types 4 and 6, the east walk elsewhere.
    BookSingleAxis(10, 50, 6, 1);
    EXPECT_EQ(std::pair(g_PulseZ[4].load(), g_PulseZ[5].load()), std::pair(-50, 50));
    BookSingleAxis(10, 70, 0, 1);
    EXPECT_EQ(g_PulseFeederWalk[2], 70);
    EXPECT_EQ(g_PulseZ[4], -50);
}

TEST_F(Counters, AFoldedAfterEachBooking) {
    g_PulseA[1] = 950;
    EXPECT_EQ(BookSingleAxis(5, 100, 0, 1).field, PositionField::A);
    g_PulseA[3] = -950;
    BookA(4, -100);
    BookSingleAxis(0x2F, 300, 7, 1);
    BookA(9, 5);  // no such nozzle
    BookA(0, 5);
    EXPECT_EQ(TakePositionSnapshot().a, (std::array<std::int32_t, 8>{0, 50, 0, -50, 0, 0, 0, 300}));
}

TEST_F(Counters, SecondTableOnlyOnTypeFourWithHeadGroupTwo) {
    EXPECT_EQ(BookSingleAxis(9, 40, 4, 2).field, PositionField::X);
    EXPECT_EQ(g_PulseX2, 40);
    EXPECT_EQ(BookSingleAxis(12, -30, 4, 2).field, PositionField::Y);
    EXPECT_EQ(g_PulseY2, -30);
    EXPECT_EQ(BookSingleAxis(9, 5, 4, 1).field, PositionField::None);
    EXPECT_EQ(g_PulseFeederWalk[1], 5);
    EXPECT_EQ(BookSingleAxis(12, 5, 0, 2).field, PositionField::None);
    EXPECT_EQ(g_PulseY2, -30);
    EXPECT_EQ(g_PulseX, 0);
}

TEST_F(Counters, OtherDrives) {
    EXPECT_EQ(BookSingleAxis(0, 10, 0, 1).field, PositionField::X);
    EXPECT_EQ(BookSingleAxis(1, -10, 0, 1).field, PositionField::Y);
    BookSingleAxis(8, 1, 0, 1);
    BookSingleAxis(14, 2, 0, 1);
    BookSingleAxis(0x30, 3, 7, 1);
    BookSingleAxis(0x22, -400, 7, 1);
    for (std::uint8_t liftOrSpare : {11, 13, 15, 0x40}) EXPECT_EQ(BookSingleAxis(liftOrSpare, 9, 0, 1).field, PositionField::None);
    const PositionSnapshot s = TakePositionSnapshot();
    EXPECT_EQ(std::pair(s.x, s.y), std::pair(10, -10));
    EXPECT_EQ(s.walk, (std::array<std::int32_t, 4>{1, 0, 0, 5}));
    EXPECT_EQ(s.z[2], -400);
    EXPECT_EQ(CurrentCounterOfAxis(0), 10);
    EXPECT_EQ(CurrentCounterOfAxis(8), 1);
    EXPECT_EQ(CurrentCounterOfAxis(14), 0);  // sent as 0
}

TEST(StrokeNozzle, PositiveStrokeLowersTheFirstNozzleOfItsPair) {
    struct { int axis, pulses, type; bool boxes; int nozzle; } const cases[] = {
        {2, 100, 0, true, 1},   {2, -100, 0, true, 2},  {3, 100, 0, false, 3}, {3, -100, 0, false, 4},
        {10, 100, 6, false, 5}, {10, -100, 4, false, 6}, {0x23, -100, 7, false, 4},
        // other axes: the pair 3-4 for the vacuum boxes, no nozzle for the suction offset
        {10, 100, 0, true, 3},  {10, 100, 0, false, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StrokeNozzle(c.axis, c.pulses, c.type, c.boxes), c.nozzle) << c.axis << " " << c.pulses << " type " << c.type;
}

TEST(MoveSpeeds, StartLoweredWithTheLengthOfTheMove) {
    // The full range is pinned on the wire (command_sim_test).
    MoveSpeedOptions o;
    o.optimizeFarSpeed = true;
    o.accelPercent = 50;
    // Half the range, backwards: 50 - 0.5 x 50 x 50 / 100 = 37.5, truncated.
    EXPECT_EQ(OptimisedStart(50, 100, -200000, 400000, o), 37);
    // Limits not set: no division by zero, the start stays.
    EXPECT_EQ(OptimisedStart(50, 100, 1000, 0, o), 50);
    o.optimizeFarSpeed = false;
    EXPECT_EQ(OptimisedStart(50, 100, 400000, 400000, o), 50);
    // Outside the byte: clamped, never wrapped.
    EXPECT_EQ(OptimisedStart(0, 100, 0, 400000, o), 1);
    EXPECT_EQ(OptimisedStart(300, 100, 0, 400000, o), 255);
}

TEST(MoveSpeeds, CapOnlyWhenARunIsOverIt) {
    MoveSpeedOptions o;
    o.optimizeFarSpeed = true;
    o.accelPercent = 100;
    o.maxSpeedLimit = true;
    o.maxSpeed = 150;
    // A run over the cap caps both together (pinned on the wire); here neither over it, and the cap off.
    EXPECT_EQ(SingleAxisSpeed({10, 100}, true, 200000, 400000, o), (AxisSpeed{1, 100}));
    AxisSpeed x{20, 100}, y{20, 120};
    o.optimizeFarSpeed = false;
    XYSpeeds(x, 0, 400000, y, 0, 300000, o);
    EXPECT_EQ(std::pair(x.run, y.run), std::pair(100, 120));
    o.maxSpeedLimit = false;
    y = {20, 200};
    XYSpeeds(x, 0, 400000, y, 0, 300000, o);
    EXPECT_EQ(y.run, 200);
}
