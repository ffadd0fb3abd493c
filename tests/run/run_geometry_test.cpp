// The run geometry with known answers: the fly pass per machine type and the
// two-mark correction (nudge, one mark, too-short marks, rotation near either axis).
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "base/globals.h"
#include "joblist/run_board.h"
#include "run/run_geometry.h"
#include "test_support.h"

namespace smt::test {
namespace {

TEST(RunGeometry, FlyPassPerMachineType) {
    // off_k = 100 k for k >= 2; trigger values 1..8 = 10 k.
    const std::array<std::int32_t, 8> off{0, 200, 300, 400, 500, 600, 700, 800};
    std::array<std::int32_t, 8> low{}, high{};
    for (int k = 0; k < 8; ++k) low[k] = 10 * (k + 1), high[k] = 1000 + k;  // off2 > t1, off2 <= t1
    FlyGeometry before;
    before.headCount = 3;
    before.startX = before.endX = before.startY = before.endY = 7;
    before.trigger.fill(-1);
    using T = std::array<std::int32_t, 8>;
    struct Case {
        int type;
        const T& t;
        int heads, startX, endX;
        T trigger;
    };
    const std::vector<Case> cases = {
        {0, high, 1, 5200, 4800, {200, -1, -1, -1, -1, -1, -1, -1}},
        {1, low, 1, 5200, 4800, {210, -1, -1, -1, -1, -1, -1, -1}},
        {2, high, 2, 5200, 4600, {200, 400, -1, -1, -1, -1, -1, -1}},
        {2, low, 2, 5200, 4600, {210, 420, -1, -1, -1, -1, -1, -1}},
        {3, high, 4, 5200, 4400, {200, 400, 500, 600, -1, -1, -1, -1}},
        {6, low, 4, 5200, 4400, {210, 420, 530, 640, -1, -1, -1, -1}},
        {7, high, 8, 5200, 4000, {200, 400, 500, 600, 700, 800, 900, 1000}},
        {7, low, 8, 5200, 4000, {210, 420, 530, 640, 750, 860, 970, 1080}},
        {5, low, 3, 7, 7, {-1, -1, -1, -1, -1, -1, -1, -1}},
        {8, low, 3, 7, 7, {-1, -1, -1, -1, -1, -1, -1, -1}},
        {9, low, 3, 7, 7, {-1, -1, -1, -1, -1, -1, -1, -1}},
    };
    for (const Case& c : cases) {
        const FlyGeometry g = ComputeFlyGeometry(c.type, 5000, -3000, off, c.t, before);
        EXPECT_EQ(g.headCount, c.heads) << c.type;
        EXPECT_EQ(g.startX, c.startX) << c.type;
        EXPECT_EQ(g.endX, c.endX) << c.type;
        const int y = c.heads == 3 ? 7 : -3000;
        EXPECT_EQ(g.startY, y) << c.type;
        EXPECT_EQ(g.endY, y) << c.type;
        EXPECT_EQ(g.trigger, c.trigger) << c.type << (&c.t == &low ? " with" : " without");
    }
}

class TwoMarks : public ::testing::Test {
protected:
    void SetUp() override {
        g_PulsesPerMmX = 100.0;  // X and Y apart, so that a swap shows
        g_PulsesPerMmY = 80.0;
    }
    void TearDown() override {
        StoreRunBoard({});
        g_PulsesPerMm = {};
    }
    // Mark1 at the origin, Mark2 at (x, y) mm.
    static void Board(double x, double y) {
        RunBoardState s;
        s.g_RunMark2X = x;
        s.g_RunMark2Y = y;
        ConvertBoardPointsToPulses(s, 100.0, 80.0);
        StoreRunBoard(s);
    }
    ScriptedResponder boxes;
};

TEST_F(TwoMarks, OffsetsNudgedAndTruncatedAndMarksUnderFivePulsesRefused) {
    Board(0, 0);  // one mark: offsets only
    g_BoardRotation = 5.0;
    ComputeTwoMarkCorrection(0.00004, -0.0149, 0.0, -2.5);
    EXPECT_EQ((std::array<int, 4>{g_Mark1OffsetX, g_Mark1OffsetY, g_Mark2OffsetX, g_Mark2OffsetY}),
              (std::array<int, 4>{0, -1, 0, -200}));  // 0.00014 mm; -0.015 mm toward zero; -2.5001 x 80
    EXPECT_EQ(g_BoardRotation.load(), 0.0);
    EXPECT_TRUE(boxes.Texts().empty());
    Board(0.03, 0.03);  // 3 x 2 pulses: 3.61 apart
    ComputeTwoMarkCorrection(1.0, 1.0, 2.0, 2.0);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Mark2 to Mark1 length is too short!!"});
    EXPECT_EQ(g_Mark1OffsetX.load(), 100);
    EXPECT_EQ(g_Mark2OffsetY.load(), 160);
    EXPECT_EQ(g_BoardRotation.load(), 0.0);
}

// Rotation near either axis: atan of a ratio misjudges these.
TEST_F(TwoMarks, RotationIsTheAngleBetweenNominalAndMeasuredNearEitherAxis) {
    // Nominal (10, 0.1) mm, (1000, 8) pulses; Mark2 measured 0.2 mm (16 pulses)
    // lower: the angle between the vectors in millimetres, -2 atan(0.01) = -1.1458;
    // in pulses, with Y's factor below X's, it would read -0.9167.
    Board(10.0, 0.1);
    ComputeTwoMarkCorrection(0.0, 0.0, 0.0, -0.2);
    EXPECT_NEAR(g_BoardRotation.load(), -1.1458, 0.0005);
    // A board turned 1 degree about Mark1, Mark2 nominal at (20, 15) mm: the
    // manual offsets of the turned Mark2 give back 1 degree, less the offsets'
    // truncation to whole pulses (0.976); in pulses it would read 0.901.
    Board(20.0, 15.0);
    const double tc = std::cos(M_PI / 180), ts = std::sin(M_PI / 180);
    ComputeTwoMarkCorrection(0.0, 0.0, 20.0 * tc - 15.0 * ts - 20.0, 20.0 * ts + 15.0 * tc - 15.0);
    EXPECT_NEAR(g_BoardRotation.load(), 1.0, 0.03);
    EXPECT_TRUE(boxes.Texts().empty());

    const double c = std::cos(M_PI / 180), s = std::sin(M_PI / 180);
    struct Case {
        double nx, ny, degrees;
        double turn;  // the measured vector is the nominal one turned by this
    };
    const std::vector<Case> cases = {
        {-1000, 10, 1.0, 1.0}, {10, 1000, 1.0, 1.0}, {0, 1000, 0.0, 0.0}, {1000, 0, -0.5, -0.5},
        {-1000, 1, -0.2, -0.2},  // across 180 degrees
    };
    for (const Case& k : cases) {
        const double ct = k.turn == 1.0 ? c : std::cos(k.turn * M_PI / 180);
        const double st = k.turn == 1.0 ? s : std::sin(k.turn * M_PI / 180);
        EXPECT_NEAR(BoardRotationDegrees(k.nx, k.ny, k.nx * ct - k.ny * st, k.nx * st + k.ny * ct), k.degrees, 1e-9)
            << k.nx << "," << k.ny;
    }
}

} // namespace
} // namespace smt::test
