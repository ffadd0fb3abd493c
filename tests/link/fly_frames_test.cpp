// The wait of a flying pass for its camera frames: bounded on its own after the
// board's reply, and missing frames are incomplete frames, not a lost link.
#include "link/combined_commands.h"
#include "sim_fixture.h"

namespace smt::test {
namespace {

class FlyFrames : public SimTest, public ::testing::WithParamInterface<Wire> {};

TEST_P(FlyFrames, MissingFramesEndTheWaitWithTheLinkUpAndThePassBooked) {
    const bool serial = GetParam() == Wire::Serial;
    plat::Event frames(false, false);
    std::atomic<bool> framesCome{false};
    StartMachine(serial, 0, [&] {
        TheCommandPanel().flyFrameEvent = [&frames] { return &frames; };
        // The position is shown once the pass was answered: the frames come then.
        TheCommandPanel().showPosition = [&](PositionField, const std::string&) {
            if (framesCome) frames.Set();
        };
    });
    g_HeadResetOk = true;
    SetWaitLimitOverride(WaitKind::FlyFrames, plat::Millis(500));  // frames that never come
    FlyCameraMove m;
    m.dX = 5000;
    m.frames = 2;
    m.cameraB = 10;
    m.cameraC = 100;
    smt::FlyFrames got = smt::FlyFrames::Complete;
    const std::int32_t x0 = g_PulseX;
    // No frame ever comes: the command still succeeds, books its move and says so.
    ASSERT_TRUE(MoveFlyingCamera(m, &got));
    EXPECT_EQ(got, smt::FlyFrames::Incomplete);
    EXPECT_EQ(g_PulseX - x0, 5000);
    EXPECT_TRUE(g_Connected);
    EXPECT_EQ(boxes.Count(), 0u);
    const auto t = Traces();
    EXPECT_NE(std::find(t.begin(), t.end(), CommandCaption(0x63) + "->frames incomplete"), t.end());
    // The frames in once the pass was answered: complete.
    framesCome = true;
    ASSERT_TRUE(MoveFlyingCamera(m, &got));
    EXPECT_EQ(got, smt::FlyFrames::Complete);
    ExpectCountersAtMachine();
    if (serial) return;
    framesCome = false;
    MoveAndFlyPayload p;
    p.frames = 1;
    p.dX2 = 3000;
    ASSERT_TRUE(MoveAndFly(p, &got));
    EXPECT_EQ(got, smt::FlyFrames::Incomplete);
    EXPECT_TRUE(g_Connected);
    EXPECT_EQ(boxes.Count(), 0u);
    ExpectCountersAtMachine();
}

INSTANTIATE_TEST_SUITE_P(BothLinks, FlyFrames, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

}  // namespace
}  // namespace smt::test
