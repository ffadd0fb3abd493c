// The run geometry with known answers: the fly pass per machine type, the
// two-mark correction (nudge, one mark, too-short marks, rotation near either
// axis) and millimetres truncated toward zero in every pulse value.
#include <gtest/gtest.h>

#include <cmath>

#include "app/viewcore.h"
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
        g_PulsesPerMmX = 100.0;
        g_PulsesPerMmY = 100.0;
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
        ConvertBoardPointsToPulses(s, 100.0, 100.0);
        StoreRunBoard(s);
    }
    ScriptedResponder boxes;
};

TEST_F(TwoMarks, OffsetsNudgedAwayFromZeroAndTruncated) {
    Board(0, 0);  // one mark: offsets only
    g_BoardRotation = 5.0;
    ComputeTwoMarkCorrection(0.00004, -0.0149, 0.0, -2.5);
    EXPECT_EQ(g_Mark1OffsetX.load(), 0);   // 0.00014 mm x 100
    EXPECT_EQ(g_Mark1OffsetY.load(), -1);  // -0.015 mm x 100 toward zero
    EXPECT_EQ(g_Mark2OffsetX.load(), 0);
    EXPECT_EQ(g_Mark2OffsetY.load(), -250);
    EXPECT_EQ(g_BoardRotation.load(), 0.0);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(TwoMarks, MarksUnderFivePulsesApartAreRefusedWithTheOffsetsKept) {
    Board(0.03, 0.03);  // 3 x 3 pulses: 4.24 apart
    ComputeTwoMarkCorrection(1.0, 1.0, 2.0, 2.0);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Mark2 to Mark1 length is too short!!"});
    EXPECT_EQ(g_Mark1OffsetX.load(), 100);
    EXPECT_EQ(g_Mark2OffsetY.load(), 200);
    EXPECT_EQ(g_BoardRotation.load(), 0.0);
}

// Rotation near either axis: atan of a ratio misjudges these.
TEST_F(TwoMarks, RotationIsTheAngleBetweenNominalAndMeasuredNearEitherAxis) {
    Board(10.0, 0.1);  // nominal (1000, 10) pulses; Mark2 measured 0.2 mm lower
    ComputeTwoMarkCorrection(0.0, 0.0, 0.0, -0.2);
    EXPECT_NEAR(g_BoardRotation.load(), -1.1458, 0.0005);
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

TEST(RunGeometry, NegativeMillimetresTruncateTowardZeroInEveryPulseValue) {
    std::array<double, kPulseFactorCount> f{};
    f[0] = 80.0;
    f[1] = 80.0;
    PositionOffsetsMm o;
    o.correctionX.fill(-0.0199);
    o.correctionY.fill(-0.0199);
    o.nozzleToNozzle1X.fill(-0.0199);
    o.nozzleToNozzle1Y.fill(-0.0199);
    o.cameraToNozzle1X = o.cameraToNozzle1Y = o.dispenserToNozzle1X = o.dispenserToNozzle1Y = -0.0199;
    o.y2ToY1X = o.y2ToY1Y = o.throwPositionX = o.throwPositionY = -0.0199;
    ComputePositionPulses(f, o, {});  // -1.592 pulses each
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(g_CorrectionPulsesX[i], -1);
        EXPECT_EQ(g_CorrectionPulsesY[i], -1);
        if (i > 0) EXPECT_EQ(g_NozzleToNozzle1Pulses[i], (PulsePoint{-1, -1}));
    }
    for (const PulsePoint& p : {g_CameraToNozzle1Pulses, g_DispenserToNozzle1Pulses, g_Y2ToY1Pulses, g_ThrowPositionPulses})
        EXPECT_EQ(p, (PulsePoint{-1, -1}));
    RunBoardState s;
    s.g_RunOriginX = s.g_RunOriginY = s.g_RunMark1X = s.g_RunMark1Y = s.g_RunMark2X = s.g_RunMark2Y = -0.0199;
    ConvertBoardPointsToPulses(s, 80.0, 80.0);
    for (std::int32_t v : {s.g_RunOriginPulseX, s.g_RunOriginPulseY, s.g_RunMark1PulseX, s.g_RunMark1PulseY,
                           s.g_RunMark2PulseX, s.g_RunMark2PulseY})
        EXPECT_EQ(v, -1);
    EXPECT_EQ(s.g_RunMark1AbsPulseX, -3);  // -0.0398 mm
    g_PulsesPerMm = {};
}

} // namespace
} // namespace smt::test
