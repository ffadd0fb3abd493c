// Whole boards on a bad day: a reply that never comes, a serial link that goes
// away and a machine that dies in the middle of a run, on both links. Each ends the
// run at once with one message and nothing more sent; where a drive's move went
// unanswered the program no longer claims to know where the machine stands, so
// Start waits for a homing, after which a fresh board is placed right.
#include <filesystem>

#include "placement_run_fixture.h"

#include "link/exchange.h"
#include "link/link_lost.h"
#include "test_support.h"

namespace smt::test {
namespace {

using namespace std::chrono_literals;

class RunFaults : public PlacementRunWorld, public ::testing::WithParamInterface<Wire> {
protected:
    bool Serial() const { return GetParam() == Wire::Serial; }

    void SetUp() override {
        PlacementRunWorld::SetUp();
        m_lostText = LinkLostText();
    }
    void TearDown() override {
        SetLinkLostText(m_lostText);
        if (m_countingBoxes) plat::SetMessageBoxHandler(m_previousBoxes);
        m_countingBoxes = false;
        if (sim) sim->faults().Clear();
        TheCameraList().SetRows({});
        PlacementRunWorld::TearDown();
    }

    // Every box goes on to the scripted answers; the frames the machine had taken
    // when the first one was shown are kept.
    void CountFramesAtTheFirstBox() {
        m_framesAtBox = -1;
        m_countingBoxes = true;
        m_previousBoxes = plat::SetMessageBoxHandler([this](const plat::MsgBoxRequest& q) {
            if (m_framesAtBox < 0) m_framesAtBox = static_cast<int>(FrameCount());
            return m_previousBoxes ? m_previousBoxes(q) : plat::MsgAnswer::Ok;
        });
    }

    // Holds the reply of the n-th place (counted from now) and runs `then` while it
    // is held; the reply goes once `then` returned.
    void AtPlace(int n, const std::function<void()>& then) { AtCommand(0x68, n, then); }
    // The same for the n-th command `code` (a fault of that code armed by `then`
    // meets the held command itself).
    void AtCommand(std::uint16_t code, int n, const std::function<void()>& then) {
        sim->faults().HoldNext(code, 60000);
        for (int k = 1; k <= n; ++k) {
            ASSERT_TRUE(WaitUntil([&] { return sim->faults().Held() == std::optional<std::uint16_t>(code); }, 60s))
                << "command " << k << "; boxes " << BoxTexts() << " frames " << Count(code) << " last " << LastCode() << " live " << LiveRunThreads();
            if (k == n) then();
            const int ended = sim->faults().HoldsEnded();
            sim->faults().Release();
            // Armed again before the program hears the reply: no command slips by.
            if (k < n) sim->faults().HoldNext(code, 60000);
            ASSERT_TRUE(WaitUntil([&] { return sim->faults().HoldsEnded() > ended; }));
        }
    }

    // The commands the program tried over the link after it was declared lost (each
    // refused with a trace line).
    std::vector<std::string> TriedOverTheLostLink() {
        std::vector<std::string> tried;
        for (const auto& t : Traces())
            if (t.find("->link lost") != std::string::npos) tried.push_back(t);
        return tried;
    }

    bool RunEnded(std::chrono::milliseconds limit = 60s) {
        return WaitUntil([] { return LiveRunThreads() == 0 && !g_Running.load() && !HomingInProgress(); }, limit);
    }

    // The operator's way on: Connect (the serial port opened again, or the Ethernet
    // board found again on its open endpoint).
    void Connect() {
        if (Serial()) {
            int number = 5;
            ASSERT_TRUE(GetSerialLink().OpenSerialLink(number));
        } else {
            NoteLinkUp();
        }
        ASSERT_TRUE(g_Connected.load());
    }
    // The panel's reset button, to its end.
    void Home() {
        ASSERT_TRUE(ResetButtonAction());
        ASSERT_TRUE(WaitUntil([] { return !HomingInProgress() && !g_Running.load(); }, 30s));
        ASSERT_TRUE(g_Homed.load());
    }
    // The program's X, Y and Z counters where the machine's drives are.
    void ExpectXYZAtMachine() {
        const sim::Drives d = machine().Positions();
        EXPECT_EQ(g_PulseX.load(), d.x);
        EXPECT_EQ(g_PulseY.load(), d.y);
        for (int n = 0; n < 8; ++n) EXPECT_EQ(g_PulseZ[static_cast<std::size_t>(n)].load(), d.z[n]) << "Z" << n + 1;
    }
    // A fresh board (and fresh boards at the conveyor's input), nothing placed yet.
    void FreshBoard(const RunSetup& r) {
        world().SetScenario(scenario);
        boardCount = std::max(r.conveyorBoards, 1);
    }
    // After a failure that lost the position: Start is refused until a homing, then
    // a whole board goes where it belongs.
    void WayOnAfterHoming(const RunSetup& r) {
        boxes.Clear();
        EXPECT_FALSE(OnStartRun(ThePartList()));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Machine is not connection !"});
        Connect();
        if (HasFatalFailure()) return;
        boxes.Clear();
        EXPECT_FALSE(OnStartRun(ThePartList()));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Machine is not reset !"});
        Home();
        if (HasFatalFailure()) return;
        ExpectXYZAtMachine();
        FreshBoard(r);
        boxes.Clear();
        ASSERT_TRUE(RunToTheEnd());
        EXPECT_TRUE(RunCheckPasses());
        EXPECT_TRUE(boxes.Texts().empty()) << BoxTexts();
        EXPECT_TRUE(g_Homed.load());
    }


    std::string BoxTexts() const {
        std::string all;
        for (const auto& t : boxes.Texts()) all += "[" + t + "] ";
        return all;
    }

    // One box, for the first reply lost: the command's own, or a feeder's command
    // sent beside it (the advance 0x56, the companion's feed 0x66) when a slow host
    // lets that wait's bound pass first while the board gives no answer.
    ::testing::AssertionResult OneNoAnswerBox(std::uint16_t code) const {
        for (const std::uint16_t c : {code, std::uint16_t{0x56}, std::uint16_t{0x66}})
            if (boxes.Texts() == std::vector<std::string>{NoAnswerText(CommandCaption(c))})
                return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "boxes: " << BoxTexts();
    }

    std::string m_lostText;
    int m_framesAtBox = -1;
    bool m_countingBoxes = false;
    plat::MsgBoxHandler m_previousBoxes;
};

// The three lost move replies of the bad day, each on both links: the run ends with
// the one message, the homed state goes with the link, and after Connect Start is
// refused until a homing; then a fresh board is placed right.
TEST_P(RunFaults, ALostMoveReplyLeavesThePositionUnknownUntilAHoming) {
    enum class Lost { DroppedAfterFirstPlace, DroppedAfterFivePlaces, HeldPastItsBound };
    const struct {
        const char* name;
        RunSetup setup;
        Lost lost;
        std::uint16_t code;
    } cases[] = {
        {"type 0 vision marks", {0, 0, false, true, true, true}, Lost::DroppedAfterFivePlaces, 0x65},
        {"type 0 plain", {0, 0, false, false, false, true}, Lost::HeldPastItsBound, 0x65},
        // Two heads, vision and marks, three boards by the conveyor.
        {"type 2 vision conveyor", {2, 2, false, true, true, true, 0, 3}, Lost::DroppedAfterFirstPlace, 0x64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunSetup r = c.setup;
        r.serial = Serial();
        Machine(r);
        if (HasFatalFailure()) return;
        boxes.Clear();
        machine().ClearRecords();
        if (c.lost == Lost::HeldPastItsBound) {
            SetWaitLimitOverride(WaitKind::Move, 1000ms);
            sim->faults().HoldNext(c.code, 2500);
        }
        ASSERT_TRUE(OnStartRun(ThePartList())) << BoxTexts() << " busy " << ThePartList().m_SmtBusy.load()
                                               << ThePartList().m_FeedBusy.load() << ThePartList().m_ConveyorBusy.load()
                                               << " live " << LiveRunThreads();
        if (c.lost == Lost::DroppedAfterFirstPlace) AtPlace(1, [&] { sim->faults().DropNext(c.code); });
        if (c.lost == Lost::DroppedAfterFivePlaces) AtPlace(5, [&] { sim->faults().DropNext(c.code); });
        if (c.lost != Lost::HeldPastItsBound) SetWaitLimitOverride(WaitKind::Move, 1500ms);
        if (HasFatalFailure()) return;
        ASSERT_TRUE(RunEnded());
        if (c.lost == Lost::HeldPastItsBound) ASSERT_TRUE(WaitUntil([&] { return sim->faults().HoldsEnded() == 1; }));
        SetWaitLimitOverride(WaitKind::Move, 0ms);
        EXPECT_TRUE(OneNoAnswerBox(c.code));
        EXPECT_FALSE(g_Connected.load());
        EXPECT_FALSE(g_Homed.load());
        EXPECT_FALSE(g_HeadResetOk.load());
        EXPECT_EQ(Count(0x02), 0);  // no end-of-run homing over the lost link
        WayOnAfterHoming(r);
        if (HasFatalFailure()) return;
        TearDown();
        SetUp();
    }
}

// A lost reply of each kind of run command ends the run at once: the one message,
// nothing more sent after it (no outputs, no park, no homing), the row not booked
// as placed.
TEST_P(RunFaults, ALostReplyOfAnyRunCommandEndsTheRunWithOneMessage) {
    const struct {
        const char* name;
        std::uint16_t code;
        RunSetup setup;
        bool flying;
    } cases[] = {
        {"pick", 0x67, {0, 0, false, false, false, true}, false},
        {"place", 0x68, {0, 0, false, false, false, true}, false},
        {"move", 0x65, {0, 0, false, false, false, true}, false},
        {"feeder", 0x66, {0, 0, false, false, false, true}, false},
        {"conveyor", 0x62, {0, 0, false, false, false, true, 0, 2}, false},
        {"fly-over", 0x63, {2, 1, false, true, true, true}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunSetup r = c.setup;
        r.serial = Serial();
        Machine(r);
        if (HasFatalFailure()) return;
        if (c.flying) FlyEveryFeeder();
        if (HasFatalFailure()) return;
        boxes.Clear();
        machine().ClearRecords();
        // The conveyor's own wait bounds its lost reply (a board that never came).
        SetWaitLimitOverride(WaitKind::Move, 1500ms);
        SetConveyorWaitOverride(1000ms, 1000ms);
        sim->faults().DropNext(c.code);
        CountFramesAtTheFirstBox();
        ASSERT_TRUE(OnStartRun(ThePartList()));
        ASSERT_TRUE(RunEnded());
        SetWaitLimitOverride(WaitKind::Move, 0ms);
        SetConveyorWaitOverride(0ms, 0ms);
        // A belt that never answered is a board that never came: the link stays, and
        // the run ends with that message.
        const bool conveyor = c.code == 0x62;
        const std::string expectedBox = conveyor ? BoardTimeOutText(1) : NoAnswerText(CommandCaption(c.code));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{expectedBox});
        plat::SleepFor(200ms);  // anything still on its way to the machine
        if (!conveyor) {
            EXPECT_EQ(static_cast<int>(FrameCount()), m_framesAtBox) << "last: " << LastCode();
        }
        EXPECT_EQ(Count(0x02), 0);
        // The first command of its kind went unanswered: no row is booked as placed.
        for (int row = 0; row < ThePartList().RowCount(JobList::Part); ++row)
            EXPECT_NE(ThePartList().Row(JobList::Part, row)->Icon(0), rowicon::Done) << "row " << row + 1;
        TearDown();
        SetUp();
    }
}

// The commands whose results the run otherwise lets pass end the run like every
// other when their reply is lost: the feeder's advance after a pick (made by the
// feeder companion while the run places; its last one while the run goes to its
// end) and the cover tape's run-out at its total. The one message, nothing more
// tried over the lost link, no end-of-run homing; the tape's counters stay as
// they stood, since the run-out did not happen.
TEST_P(RunFaults, ALostReplyOfAFeederAdvanceOrOfTheCoverTapeEndsTheRun) {
    RunSetup r{0, 0, false, false, false, true};
    r.serial = Serial();
    TempDir folder;  // the cover tape's counters are saved beside the program
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    struct Back {
        std::filesystem::path to;
        ~Back() { std::filesystem::current_path(to); }
    } back{previous};
    for (const bool cover : {false, true}) {
        SCOPED_TRACE(cover ? "cover tape" : "feeder advance");
        Machine(r);
        if (HasFatalFailure()) return;
        if (cover) {
            SmtStrategyConfig c = TheSmtStrategy().Config();
            c.m_Cover = 1;
            TheSmtStrategy().SetConfig(c);
            // The total at the first part: its cycle's tape step, then the run-out
            // (two passes of two half steps, 15 and 20 pulses) with a long seal.
            TheCoverTape().SetConfig({10, 1, 4, 6, 1500, 0, 0});
        }
        boxes.Clear();
        machine().ClearRecords();
        SetWaitLimitOverride(WaitKind::Move, 1500ms);
        CountFramesAtTheFirstBox();
        ASSERT_TRUE(OnStartRun(ThePartList()));
        // The feeder's last advance (12 parts, one each), made while the run goes to
        // its end; the tape's first run-out step, after its cycle's step.
        const std::uint16_t code = cover ? 0x61 : 0x56;
        AtCommand(code, cover ? 2 : 12, [&] { sim->faults().DropNext(code); });
        if (HasFatalFailure()) return;
        ASSERT_TRUE(RunEnded());
        SetWaitLimitOverride(WaitKind::Move, 0ms);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{NoAnswerText(CommandCaption(code))});
        plat::SleepFor(200ms);  // anything still on its way to the machine
        EXPECT_EQ(static_cast<int>(FrameCount()), m_framesAtBox) << "last: " << LastCode();
        EXPECT_EQ(TriedOverTheLostLink(), std::vector<std::string>{});
        EXPECT_EQ(Count(0x02), 0);
        EXPECT_FALSE(g_Running.load());
        if (cover) {
            EXPECT_EQ(Count(0x61), 2);
            EXPECT_EQ(TheCoverTape().Config().m_CoverTotalCount, 1);
            // Only the first part was put down.
            for (int row = 1; row < ThePartList().RowCount(JobList::Part); ++row)
                EXPECT_NE(ThePartList().Row(JobList::Part, row)->Icon(0), rowicon::Done) << "row " << row + 1;
        } else {
            EXPECT_EQ(Count(0x56), 12);
        }
        TearDown();
        SetUp();
    }
}

// The serial link goes away in the middle of a run (the simulated machine's serial
// server stopped while a place waits for its reply): one box in the interface
// language says so, Start is refused until Connect, and since the place's reply
// never came, until a homing.
TEST_P(RunFaults, ASerialLinkLostInARunIsToldInOneBox) {
    if (!Serial()) GTEST_SKIP() << "the serial link only";
    RunSetup r{0, 0, false, false, false, true};
    Machine(r);
    if (HasFatalFailure()) return;
    const std::string lost = "The link to the machine was lost, please connect again !";
    SetLinkLostText(lost);
    boxes.Clear();
    machine().ClearRecords();
    ASSERT_TRUE(OnStartRun(ThePartList()));
    AtPlace(6, [&] { sim->serial()->Unplug(); });
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunEnded());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{lost});
    EXPECT_FALSE(g_Connected.load());
    EXPECT_FALSE(g_Homed.load());
    const auto traces = Traces();
    EXPECT_NE(std::find(traces.begin(), traces.end(), CurrentLinkTexts().message20), traces.end());
    std::string error;
    ASSERT_TRUE(sim->serial()->Replug(&error)) << error;
    WayOnAfterHoming(r);
}

// A machine that dies in a run on Ethernet is reported within the bound of the move
// that waits (its travel and the margin), not after a minute; Stop pressed while a
// reply is awaited ends the run within a second.
TEST_P(RunFaults, AWaitOfTheRunEndsAtItsMovesBoundOrAtStop) {
    RunSetup r{0, 0, false, false, false, true};
    r.serial = Serial();
    Machine(r);
    if (HasFatalFailure()) return;
    if (!Serial()) {
        boxes.Clear();
        ASSERT_TRUE(OnStartRun(ThePartList()));
        std::chrono::steady_clock::time_point died;
        AtPlace(2, [&] {
            sim->udp()->Unplug();
            died = std::chrono::steady_clock::now();
        });
        if (HasFatalFailure()) return;
        // The place stroke's bound: its margin and a short stroke.
        ASSERT_TRUE(RunEnded(limits::kMoveMargin + 6s));
        // Within the place's own bound (the margin and a stroke of a few ms), not a minute.
        EXPECT_LT(std::chrono::steady_clock::now() - died, limits::kMoveMargin + 2s);
        EXPECT_TRUE(OneNoAnswerBox(0x68));
        EXPECT_FALSE(g_Homed.load());
        std::string error;
        ASSERT_TRUE(sim->udp()->Replug(&error)) << error;
        TearDown();
        SetUp();
        r.serial = false;
        Machine(r);
        if (HasFatalFailure()) return;
    }
    // Stop while the first pick waits for a reply the machine holds.
    boxes.Clear();
    machine().ClearRecords();
    sim->faults().HoldNext(0x67, 60000);
    ASSERT_TRUE(OnStartRun(ThePartList()));
    ASSERT_TRUE(WaitUntil([&] { return sim->faults().Held() == std::optional<std::uint16_t>(0x67); }));
    OnStopRun();
    EXPECT_TRUE(RunEnded(1000ms));
    sim->faults().Release();
    ASSERT_TRUE(RunEnded());
    EXPECT_TRUE(boxes.Texts().empty()) << BoxTexts();
    EXPECT_EQ(Count(0x68), 0);
    EXPECT_EQ(Count(0x02), 0);
    // Whether the pick's stroke ended is unknown: a homing first, then the board.
    EXPECT_FALSE(g_Homed.load());
    WayOnAfterHoming(r);
}

INSTANTIATE_TEST_SUITE_P(Links, RunFaults, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

}  // namespace
}  // namespace smt::test
