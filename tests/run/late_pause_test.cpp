// Pause and Regain that come after the run's end (the toolbar's, or a panel key
// the reply thread posted before the end and the user-interface thread carried
// out after it) find no run: they are ignored, the buttons stay as the end set
// them, and Stop with no run thread alive always brings the program back to idle.
// Each case ends with a fresh board placed right: the way on.
#include <atomic>
#include <map>
#include <mutex>

#include "placement_run_fixture.h"

#include "link/manual_control.h"
#include "platform/threads.h"

namespace smt::test {
namespace {

constexpr int kStart = 106, kPause = 107, kRegain = 108, kStop = 109;

class LatePauseRegain : public PlacementRunWorld, public ::testing::WithParamInterface<Wire> {
protected:
    void SetUp() override {
        PlacementRunWorld::SetUp();
        PartListToolButtons() = [this](int id, bool on) {
            std::lock_guard lock(m_mutex);
            m_buttons[id] = on;
        };
    }
    void TearDown() override {
        PartListToolButtons() = nullptr;
        PlacementRunWorld::TearDown();
    }
    bool Serial() const { return GetParam() == Wire::Serial; }
    // Start, Pause, Regain, Stop as "1" / "0".
    std::string RunButtons() {
        std::lock_guard lock(m_mutex);
        std::string s;
        for (int id : {kStart, kPause, kRegain, kStop}) s += m_buttons.count(id) && m_buttons[id] ? "1" : "0";
        return s;
    }
    void SetButton(int id, bool on) {
        std::lock_guard lock(m_mutex);
        m_buttons[id] = on;
    }
    bool Idle() { return LiveRunThreads() == 0 && !g_Running.load() && !HomingInProgress(); }
    // As the run's end leaves the program: not busy, not paused, the gate open,
    // Start on (the heads are reset) and Pause, Regain, Stop off.
    void ExpectIdle(const char* when) {
        SCOPED_TRACE(when);
        EXPECT_FALSE(g_Running.load());
        EXPECT_FALSE(g_RunPaused.load());
        EXPECT_TRUE(g_hRunPauseGate.IsSet());
        EXPECT_EQ(RunButtons(), "1000");
    }
    // The way on: a fresh board on the table, Start, every row placed right and
    // nothing to tell the operator.
    void NextBoardPlacesRight() {
        world().SetScenario(scenario);
        boxes.Clear();
        ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? std::string() : boxes.Texts()[0]);
        EXPECT_TRUE(RunCheckPasses());
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
        ExpectIdle("after the next board");
    }
    bool Called(const std::string& what) {
        for (const auto& c : hooks.Calls())
            if (c == what) return true;
        return false;
    }

    std::mutex m_mutex;
    std::map<int, bool> m_buttons;
};

// A board of type 0 to its normal end, then Pause and Regain from the toolbar:
// once they left the machine busy for ever with nothing to clear it.
TEST_P(LatePauseRegain, PauseAndRegainAfterTheEndAreIgnoredAndStopLeavesItIdle) {
    Machine({0, 0, false, false, false, Serial()});
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_TRUE(RunCheckPasses());
    ExpectIdle("at the run's end");
    machine().ClearRecords();
    OnPauseRun();
    ExpectIdle("after a late Pause");
    OnResumeRun();
    ExpectIdle("after a late Regain");
    // Neither told the machine anything: there is no run to hold or let go.
    EXPECT_TRUE(machine().Frames().empty());
    OnStopRun();
    ExpectIdle("after Stop");
    NextBoardPlacesRight();
}

// The machine's Pause key pressed after the last place command: the reply thread
// posts Pause while the run is still busy with its end (its homing), and the
// user-interface thread carries it out only after the end. On Ethernet the Regain
// key follows during the end-of-run homing.
TEST_P(LatePauseRegain, APanelKeyPausePostedBeforeTheEndAndCarriedOutAfterIsIgnored) {
    Machine({0, 0, false, false, false, Serial()});
    if (HasFatalFailure()) return;
    {
        auto lock = world().Lock();
        world().faults().keyCode = 0x68;
        world().faults().keyAfter = 12;  // three cells of four rows: the last place
        world().faults().key = "pause";
    }
    sim->faults().HoldNext(0x02);  // the end-of-run homing keeps the machine busy
    ASSERT_TRUE(OnStartRun(ThePartList()));
    ASSERT_TRUE(WaitUntil([&] { return Called("pause") && sim->faults().Held().has_value(); },
                          std::chrono::seconds(60)));
    if (!Serial()) {
        sim->PressKey(sim::PanelKey::Resume);
        ASSERT_TRUE(WaitUntil([&] { return Called("regain"); }));
    }
    sim->faults().Release();
    ASSERT_TRUE(WaitUntil([&] { return Idle(); }, std::chrono::seconds(60)));
    EXPECT_TRUE(RunCheckPasses());
    ExpectIdle("at the run's end");
    // What the user-interface thread had queued comes now.
    OnPauseRun();
    ExpectIdle("after the late Pause");
    if (!Serial()) {
        OnResumeRun();
        ExpectIdle("after the late Regain");
    }
    // The operator's Regain then (the key does nothing with the machine idle).
    OnResumeRun();
    ExpectIdle("after Regain");
    OnStopRun();
    ExpectIdle("after Stop");
    NextBoardPlacesRight();
}

// Stop with no run thread alive goes back to idle whatever the flags say (a
// paused gate, the busy flag nobody owns, Pause on); while the run's end-of-run
// homing is under way it leaves that homing's busy flag alone.
TEST_P(LatePauseRegain, StopWithNoRunThreadAliveGoesBackToIdle) {
    Machine({0, 0, false, false, false, Serial()});
    if (HasFatalFailure()) return;
    sim->faults().HoldNext(0x02);
    ASSERT_TRUE(OnStartRun(ThePartList()));
    ASSERT_TRUE(WaitUntil([&] { return LiveRunThreads() == 0 && sim->faults().Held().has_value(); },
                          std::chrono::seconds(60)));
    OnStopRun();
    EXPECT_TRUE(g_Running.load());  // the homing's
    EXPECT_TRUE(HomingInProgress());
    sim->faults().Release();
    ASSERT_TRUE(WaitUntil([&] { return Idle(); }, std::chrono::seconds(60)));
    EXPECT_TRUE(g_Homed.load());

    ASSERT_TRUE(WaitUntil([] { return plat::RunningWorkers() == 0; }));
    g_Running = true;
    g_RunPaused = true;
    g_hRunPauseGate.Reset();
    SetButton(kStart, false);
    SetButton(kPause, true);
    SetButton(kStop, true);
    OnStopRun();
    ExpectIdle("after Stop");
    NextBoardPlacesRight();
}

// Stop pressed while the run is paused: the run ends from its pause, and an ended
// run is not paused (it once stayed so until the next Start). The same end clears
// a Pause that came in the run's last moment.
TEST_P(LatePauseRegain, AStopWhilePausedEndsTheRunUnpaused) {
    Machine({0, 0, false, false, false, Serial()});
    if (HasFatalFailure()) return;
    ASSERT_TRUE(OnStartRun(ThePartList()));
    ASSERT_TRUE(WaitUntil([&] { return machine().Frames().size() >= 12; }, std::chrono::seconds(60)));
    OnPauseRun();
    EXPECT_TRUE(g_RunPaused.load());
    EXPECT_EQ(RunButtons(), "0011");
    plat::SleepFor(plat::Millis(300));
    OnStopRun();
    ASSERT_TRUE(WaitUntil([&] { return Idle(); }, std::chrono::seconds(60)));
    ASSERT_TRUE(WaitUntil([] { return plat::RunningWorkers() == 0; }));
    ExpectIdle("after Stop while paused");
    NextBoardPlacesRight();
}

// Regain pressed while the run's vacuum question stands (the run has let the busy
// flag go meanwhile): the run claims the flag back after the answer, goes on and
// ends as usual, idle, and the next Start is taken. Regain once took the flag for
// the run, which then waited for it until Stop.
TEST_P(LatePauseRegain, RegainWhileARunQuestionStandsLetsTheRunGoOn) {
    Machine({0, 0, false, false, false, Serial()});
    if (HasFatalFailure()) return;
    {
        auto lock = world().Lock();
        world().faults().keptAtPlace = 1;  // the first place keeps its part: the vacuum question
    }
    // The question stands on the run thread; the operator's Pause and Regain come
    // from the user-interface thread (this one) meanwhile.
    std::atomic<bool> busyDuringQuestion{true}, questionOpen{false}, regained{false};
    std::atomic<int> questions{0};
    const auto previous = plat::SetMessageBoxHandler([&](const plat::MsgBoxRequest& q) {
        if (q.buttons != plat::MsgButtons::YesNoCancel) return plat::MsgAnswer::Ok;
        ++questions;
        busyDuringQuestion = g_Running.load();
        questionOpen = true;
        WaitUntil([&] { return regained.load(); });
        // Cancel: the part thrown off, another picked from the same feeder and placed.
        return plat::MsgAnswer::Cancel;
    });
    struct Back {
        plat::MsgBoxHandler handler;
        ~Back() { plat::SetMessageBoxHandler(handler); }
    } back{previous};
    ASSERT_TRUE(OnStartRun(ThePartList()));
    ASSERT_TRUE(WaitUntil([&] { return questionOpen.load(); }, std::chrono::seconds(60)));
    OnPauseRun();
    OnResumeRun();
    regained = true;
    const bool ended = WaitUntil([&] { return Idle(); }, std::chrono::seconds(60));
    if (!ended) OnStopRun();  // the way out the run once needed
    ASSERT_TRUE(ended) << "the run did not end after the question";
    EXPECT_EQ(questions.load(), 1);
    EXPECT_FALSE(busyDuringQuestion.load());
    // Every row put down once, the kept part thrown off and picked again.
    EXPECT_TRUE(RunCheckPasses(0.1, 0.25, 1));
    EXPECT_TRUE(g_Homed.load());
    ExpectIdle("at the run's end");
    plat::SetMessageBoxHandler(previous);
    back.handler = previous;
    NextBoardPlacesRight();
}

INSTANTIATE_TEST_SUITE_P(Links, LatePauseRegain, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

} // namespace
} // namespace smt::test
