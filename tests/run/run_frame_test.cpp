// The run frame against the simulated machine: the dispatcher's threads per
// machine type, run mode, row-menu start and conveyor with fake run threads;
// the run's end (outputs, toolbar, conveyor, once per run) and the release of
// every waiter; pause then stop; closing during a paused run.
#include <mutex>
#include <set>

#include "../link/sim_fixture.h"
#include "app/viewcore.h"
#include "base/hooks.h"
#include "joblist/part_list.h"
#include "joblist/run_toolbar.h"
#include "link/manual_control.h"
#include "run_state/run_events.h"
#include "run/run_frame.h"
#include "machine_ops/auto_transport.h"
#include "vision/camera_service.h"

namespace smt::test {
namespace {

using Kinds = std::set<std::string>;

class RunFrameTest : public SimTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        SimTest::SetUp();
        g_MachineType = GetParam();
        StartMachine(true, GetParam());
        g_Homed = true;
        g_HeadResetOk = true;
        CreateRunEvents();
        PartListToolButtons() = [this](int id, bool on) {
            std::lock_guard lock(mutex);
            buttons[id] = on;
        };
        for (int k = 0; k < kRunThreadKinds; ++k) {
            const auto kind = static_cast<RunThreadKind>(k);
            const bool companion = kind == RunThreadKind::FeederAdvance || kind == RunThreadKind::ConveyorZone2;
            RunThreadEntry(kind) = [this, kind, companion] {
                bool leftover = false;
                for (plat::Event* e : HandOffEvents()) leftover |= e->IsSet();
                {
                    std::lock_guard lock(mutex);
                    started.insert(RunThreadName(kind));
                    leftovers |= leftover;
                    busyAtStart = ThePartList().m_SmtBusy.load();
                }
                // No thread of this run goes on before every one has looked.
                while (!go.load()) plat::SleepFor(plat::Millis(1));
                if (companion) {
                    while (WaitHandOff(g_hCycleStart, kind == RunThreadKind::FeederAdvance ? g_FeedContinue
                                                                                         : g_ConveyorContinue)) {
                    }
                    return;
                }
                while (holdRun && PassPauseGate()) plat::SleepFor(plat::Millis(1));
                FinishRun(ThePartList(), false);
            };
        }
    }
    void TearDown() override {
        for (int k = 0; k < kRunThreadKinds; ++k) RunThreadEntry(static_cast<RunThreadKind>(k)) = nullptr;
        PartListToolButtons() = nullptr;
        SetTransport(0);
        ThePartList().Reset();
        g_PanelLink.zCheckMask = 0;
        g_MachineType = 0;
        g_Homed = g_HeadResetOk = false;
        SimTest::TearDown();
    }
    static void SetTransport(int on) {
        AutoTransportConfig c = TheAutoTransport().Config();
        c.m_AutoTransport = on;
        TheAutoTransport().SetConfig(c);
    }
    // As Start leaves things before it hands over.
    void Begin() {
        g_Running = true;
        g_RunContinue = g_FeedContinue = g_ConveyorContinue = true;
        std::lock_guard lock(mutex);
        started.clear();
        buttons.clear();
        go = false;
        busyAtStart = 0;
    }
    bool Ended() {
        for (int i = 0; i < 2000 && (LiveRunThreads() > 0 || g_Running.load()); ++i) plat::SleepFor(plat::Millis(5));
        return LiveRunThreads() == 0 && !g_Running.load();
    }
    // The run-state bytes of the 0x60 frames the machine took, once `n` arrived.
    std::vector<int> States(std::size_t n) {
        for (int i = 0; i < 400 && FramesOf(0x60).size() < n; ++i) plat::SleepFor(plat::Millis(5));
        std::vector<int> s;
        for (const auto& f : FramesOf(0x60)) s.push_back(f.data.empty() ? -1 : f.data[0]);
        return s;
    }
    Kinds Started() {
        std::lock_guard lock(mutex);
        return started;
    }

    std::mutex mutex;
    Kinds started;
    std::map<int, bool> buttons;
    bool leftovers = false;
    int busyAtStart = 0;
    std::atomic<bool> holdRun{false};
    std::atomic<bool> go{true};
    // Lets the threads of a run go once `n` of them have started.
    void Go(std::size_t n) {
        for (int i = 0; i < 400 && Started().size() < n; ++i) plat::SleepFor(plat::Millis(5));
        go = true;
    }
    std::string Outputs(const std::string& want) {
        for (int i = 0; i < 200 && OutputsSent() != want; ++i) plat::SleepFor(plat::Millis(5));
        return OutputsSent();
    }
};

const char* const P = "PlacementRunThread";
const char* const F = "FeederAdvanceThread";
const char* const E = "EightHeadRunThread";
const char* const D = "DispenseAndCheckRunThread";
const char* const L = "LampRunThread";
const char* const C = "CombinedPlacementThread";
const char* const V = "ConveyorZone2Thread";

TEST_P(RunFrameTest, DispatcherStartsTheThreadsOfTypeAndModeAndEndsEachRunOnce) {
    const int type = GetParam();
    struct Case {
        int mode;
        bool rowMenu, conveyor;
    };
    std::vector<Case> cases;
    for (int m = -1; m <= 13; ++m) cases.push_back({m, false, false});
    cases.push_back({1, true, false});
    cases.push_back({2, true, true});
    cases.push_back({0, false, true});
    g_LanguageIndex = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " row menu " << c.rowMenu << " conveyor " << c.conveyor);
        SetTransport(c.conveyor);
        Begin();
        ThePartList().m_RunSelectedOnly[0] = c.rowMenu;
        machine().ClearRecords();
        boxes.Clear();
        ASSERT_TRUE(StartRunThreads(c.mode));
        Kinds want;
        const bool pair = c.mode == 0 || ((c.mode == 1 || c.mode == 2) && c.rowMenu);
        if (type == 9) want = c.mode < 0 || c.mode > 12 ? Kinds{} : Kinds{"DrillingRunThread"};
        else if (c.mode < 0 || c.mode > 12) want = {};
        else if (pair) want = type == 7 ? Kinds{E} : Kinds{P, F};
        else if (c.mode <= 8) want = {D};
        else if (c.mode <= 10) want = {L};
        else want = {L, C, F};
        if (type != 9 && c.conveyor && !(c.mode < 0 || c.mode > 12)) want.insert(V);
        Go(want.size());
        ASSERT_TRUE(Ended());
        EXPECT_EQ(Started(), want);
        EXPECT_EQ(States(2), (std::vector<int>{1, 4}));  // one end however many threads called it
        EXPECT_EQ(boxes.Texts(), c.mode < 0 || c.mode > 12 ? std::vector<std::string>{"Invalid run mode: " +
                                                                                       std::to_string(c.mode)}
                                                           : std::vector<std::string>{});
        EXPECT_EQ(busyAtStart, type == 7 && c.mode == 0 ? 1 : 0);
        EXPECT_EQ(ThePartList().m_SmtBusy.load(), 0);
        EXPECT_EQ(ThePartList().m_RunSelectedOnly[0].load(), 0);
        EXPECT_FALSE(g_RunContinue.load());
    }
    EXPECT_FALSE(leftovers);  // no release of an ended run reached the next one
    g_LanguageIndex = 0;
}

TEST_P(RunFrameTest, RunEndSwitchesOffByTypeAndSetsTheToolbarByHeadReset) {
    const int type = GetParam();
    g_PanelLink.zCheckMask = 0x05;  // nozzles 1 and 3
    TheBasicSettings().m_Exhaust = 3;
    for (int mode : {0, 1}) {
        for (bool headReset : {true, false}) {
            g_HeadResetOk = headReset;
            Begin();
            machine().ClearRecords();
            const std::int32_t a1 = machine().Positions().a[0];
            ASSERT_TRUE(StartRunThreads(mode));
            Go(type == 0 ? 2 : 1);
            ASSERT_TRUE(Ended());
            ASSERT_EQ(States(2).size(), 2u);
            std::string want = "1:0 2:0 3:0 4:0 8:0 ";
            if (type == 7) want = mode == 0 ? "32:0 34:0 " : "";
            if (type == 9) want = "";
            EXPECT_EQ(Outputs(want), want) << mode;
            EXPECT_EQ(machine().Positions().a[0] - a1, type == 9 ? 10000 : 0);
            std::lock_guard lock(mutex);
            EXPECT_EQ(buttons, (std::map<int, bool>{{104, true}, {105, true}, {106, headReset}, {107, false},
                                                    {108, false}, {109, false}}));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Types, RunFrameTest, ::testing::Values(0, 7, 9),
                         [](const auto& info) { return "Type" + std::to_string(info.param); });

class RunEndTest : public RunFrameTest {};

TEST_P(RunEndTest, ReleasesEveryWaiterOnceAndKeepsTheConveyorWhenAsked) {
    // The 21 events in their order: the gate first, the camera service's three frame events last.
    const auto all = RunEventsInOrder();
    EXPECT_EQ(all[0], &g_hRunPauseGate);
    EXPECT_EQ(all[6], &g_hFeederReady[0]);
    EXPECT_EQ(all[18], &TheCameraService().FrameReady(0));
    EXPECT_EQ(all[20], &TheCameraService().FrameReady(2));
    for (bool keep : {false, true}) {
        Begin();
        // A partner paused at the gate and one blocked on a hand-off event without a slice.
        holdRun = true;
        g_hRunPauseGate.Reset();
        ASSERT_TRUE(StartRunThreads(11));  // lamp, combined (paused at the gate) and the feeder companion
        Go(3);
        std::atomic<bool> woke{false};
        plat::StartWorker("partner", [&] {
            g_hTableDispensed[1].Wait(plat::Millis(60000));
            woke = !g_RunContinue.load();
        });
        EXPECT_TRUE(FinishRun(ThePartList(), keep));
        EXPECT_FALSE(FinishRun(ThePartList(), keep));  // the partner's second call
        ASSERT_TRUE(WaitIdle());
        EXPECT_TRUE(woke.load());
        EXPECT_EQ(LiveRunThreads(), 0);
        EXPECT_EQ(g_ConveyorContinue.load(), keep);
        EXPECT_FALSE(g_FeedContinue.load());
        for (plat::Event* e : HandOffEvents())
            if (e != &g_hTableDispensed[1] && e != &g_hCycleStart) {  // these two the partners took
                EXPECT_EQ(e->IsSet(), e != &g_hBoardDone || !keep);
            }
        EXPECT_TRUE(g_hRunPauseGate.IsSet());
        EXPECT_EQ(States(2), (std::vector<int>{1, 4}));
        machine().ClearRecords();
        holdRun = false;
    }
}

TEST_P(RunEndTest, PauseThenStopEndsTheRunOnceAndClosingJoinsAPausedRun) {
    holdRun = true;
    Begin();
    ASSERT_TRUE(StartRunThreads(0));
    Go(2);
    OnPauseRun();
    OnStopRun();
    ASSERT_TRUE(Ended());
    EXPECT_EQ(States(3), (std::vector<int>{1, 2, 4}));

    // Closing while paused: Stop's flags and every release, then the joins.
    machine().ClearRecords();
    Begin();
    ASSERT_TRUE(StartRunThreads(0));
    Go(2);
    OnPauseRun();
    CloseHooks h;
    h.stopRun = [] { StopRunForClosing(); };
    h.joinThreads = [] { return plat::JoinAllWorkers(std::chrono::seconds(20)); };
    EXPECT_EQ(RunCloseSequence(h, 0), CloseDecision::Close);
    EXPECT_EQ(LiveRunThreads(), 0);
    EXPECT_EQ(plat::RunningWorkers(), 0);
    plat::ResumeWaits();

    // A run thread not built yet ends its run at once and says so, once.
    holdRun = false;
    RunThreadEntry(RunThreadKind::Placement) = nullptr;
    RunThreadEntry(RunThreadKind::FeederAdvance) = nullptr;
    boxes.Clear();
    Begin();
    ASSERT_TRUE(StartRunThreads(0));
    ASSERT_TRUE(Ended());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{NotAvailableText()});
}

INSTANTIATE_TEST_SUITE_P(Type0, RunEndTest, ::testing::Values(0),
                         [](const auto&) { return std::string("Type0"); });

} // namespace
} // namespace smt::test
