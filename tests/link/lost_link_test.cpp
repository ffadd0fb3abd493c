// A command whose reply never comes, against the simulated machine on both links:
// the link is declared lost with one message, nothing more goes out until a
// connect, and a move's loss takes the homed state with it (a query's does not).
// The bounds of the waits follow the command's travel.
#include "sim_fixture.h"

#include <functional>
#include <thread>

#include "link/link_lost.h"

namespace smt::test {
namespace {

using namespace std::chrono_literals;

class LostLink : public SimTest, public ::testing::WithParamInterface<Wire> {
protected:
    bool Serial() const { return GetParam() == Wire::Serial; }
    void Start() {
        StartMachine(Serial());
        g_Homed = true;
        g_HeadResetOk = true;
        SetWaitLimitOverride(WaitKind::Move, 500ms);
        SetWaitLimitOverride(WaitKind::Query, 500ms);
    }
    bool TraceHas(const std::vector<std::string>& traces, const std::string& line) {
        return std::find(traces.begin(), traces.end(), line) != traces.end();
    }
};

TEST_P(LostLink, AnUnansweredMoveLosesTheLinkAndThePositionAndNothingMoreGoesOut) {
    Start();
    if (HasFatalFailure()) return;
    sim->faults().DropNext(0x61);
    EXPECT_FALSE(MoveSingleAxis({0, 1000, {10, 20}}));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{NoAnswerText(CommandCaption(0x61))});
    EXPECT_TRUE(LinkLost());
    EXPECT_FALSE(g_Connected.load());
    EXPECT_FALSE(g_Homed.load());
    EXPECT_FALSE(g_HeadResetOk.load());
    EXPECT_TRUE(MachinePositionLost());
    EXPECT_EQ(g_PulseX.load(), 0);  // the machine moved; the program does not guess
    EXPECT_TRUE(TraceHas(Traces(), CurrentLinkTexts().message20));

    // Every command after it is refused at once, quietly: one box for one loss.
    const std::size_t sent = FrameCount();
    EXPECT_FALSE(MoveSingleAxis({1, -500, {10, 20}}));
    EXPECT_FALSE(SetOutput({1, 1, 5}));
    EXPECT_FALSE(ReadVacuum(1));
    XYAMultiMove multi;
    multi.xy.dX = 100;
    EXPECT_FALSE(MoveXYAMulti(multi));  // no "Error E3 !" over a lost link either
    EXPECT_FALSE(PickStroke({2, 500, {8, 80}, 1, 100, 0}));
    EXPECT_EQ(FrameCount(), sent);
    EXPECT_EQ(boxes.Texts().size(), 1u);
    EXPECT_TRUE(TraceHas(Traces(), CommandCaption(0x61) + "->link lost"));

    // A connect lets commands go again; the position stays unknown until a homing.
    NoteLinkUp();
    EXPECT_FALSE(LinkLost());
    EXPECT_TRUE(MoveSingleAxis({1, -500, {10, 20}}));
    EXPECT_EQ(machine().Positions().y, -500);
    EXPECT_FALSE(g_Homed.load());
    EXPECT_TRUE(MachinePositionLost());
}

TEST_P(LostLink, AnUnansweredQueryLosesTheLinkButNotThePosition) {
    Start();
    if (HasFatalFailure()) return;
    sim->faults().DropNext(0x15);
    EXPECT_FALSE(ReadVacuum(1));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{NoAnswerText(CommandCaption(0x15))});
    EXPECT_TRUE(LinkLost());
    EXPECT_FALSE(g_Connected.load());
    EXPECT_TRUE(g_Homed.load());
    EXPECT_TRUE(g_HeadResetOk.load());
    EXPECT_FALSE(MachinePositionLost());
}

// The operator's stop ends a wait at once: the position is unknown, and the link
// declared lost, without a box.
TEST_P(LostLink, AStoppedMoveLosesThePositionWithoutABox) {
    Start();
    if (HasFatalFailure()) return;
    SetWaitLimitOverride(WaitKind::Move, 0ms);
    sim->faults().HoldNext(0x64, 20000);
    bool moved = true;
    std::thread mover([&] { moved = MoveXYA({{100, {10, 20}, -100, {10, 20}}, 1, 0, 0, 0, 0}); });
    ASSERT_TRUE(WaitUntil([&] { return sim->faults().Held() == std::optional<std::uint16_t>(0x64); }));
    StopPendingWaits();
    mover.join();
    sim->faults().Release();
    EXPECT_FALSE(moved);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_TRUE(LinkLost());
    EXPECT_FALSE(g_Homed.load());
}

// The run's stop gives a reply under way its grace: answered in time, the move is
// booked and the link stays; not answered, the wait is let go of once the grace
// passed, as stopped.
TEST_P(LostLink, AStopWithGraceKeepsAMoveAnsweredInTimeAndLetsGoOfOneThatIsNot) {
    Start();
    if (HasFatalFailure()) return;
    SetWaitLimitOverride(WaitKind::Move, 0ms);
    auto heldMove = [&](const std::function<void()>& whileHeld) {
        sim->faults().HoldNext(0x61, 20000);
        bool moved = false;
        std::thread mover([&] { moved = MoveSingleAxis({0, 1000, {10, 20}}); });
        const bool held =
            WaitUntil([&] { return sim->faults().Held() == std::optional<std::uint16_t>(0x61); });
        if (held) whileHeld();
        mover.join();
        sim->faults().Release();
        EXPECT_TRUE(held);
        return moved;
    };
    EXPECT_TRUE(heldMove([&] {
        StopPendingWaitsAfter(10s);
        sim->faults().Release();
    }));
    EXPECT_FALSE(LinkLost());
    EXPECT_TRUE(g_Homed.load());
    EXPECT_EQ(g_PulseX.load(), 1000);

    EXPECT_FALSE(heldMove([&] { StopPendingWaitsAfter(200ms); }));
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_TRUE(LinkLost());
    EXPECT_FALSE(g_Homed.load());
    EXPECT_EQ(g_PulseX.load(), 1000);
}

INSTANTIATE_TEST_SUITE_P(Links, LostLink, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

// The bound of a move: its travel at one pulse per millisecond per 8 units of its
// run code, and the margin; a code of 0 counts as 1; never beyond the longest.
TEST(MoveBounds, FollowTheTravelAndTheSpeed) {
    EXPECT_EQ(TravelMs(40000, 100), 3200);
    EXPECT_EQ(TravelMs(-40000, 100), 3200);
    EXPECT_EQ(TravelMs(1000, 0), 8000);
    EXPECT_EQ(TravelMs(1000, 255), 31);
    EXPECT_EQ(MoveWaitLimit(3200), limits::kMoveMargin + 3200ms);
    EXPECT_EQ(MoveWaitLimit(-5), limits::kMoveMargin);
    EXPECT_EQ(MoveWaitLimit(TravelMs(2'000'000'000, 1)), limits::kLongestMove);
    SetWaitLimitOverride(WaitKind::Move, 7ms);
    EXPECT_EQ(MoveWaitLimit(3200), 7ms);
    SetWaitLimitOverride(WaitKind::Move, 0ms);
    EXPECT_LT(limits::kNoMove, limits::kQuery);
}

}  // namespace
}  // namespace smt::test
