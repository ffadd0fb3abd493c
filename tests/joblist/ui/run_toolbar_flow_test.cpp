// The run toolbar in the running program: Start's refusals in their order, a
// good start handed to the run, and Pause, Regain and Stop from the toolbar and
// the machine's panel keys against the simulated machine on both links.
#include <QAbstractButton>
#include <QApplication>
#include <QPlainTextEdit>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <functional>

#include "../../app/ui/shell_sim_fixture.h"
#include "feeders/feed_group_table.h"
#include "joblist/run_port.h"
#include "joblist/run_toolbar.h"
#include "joblist/smt_strategy.h"
#include "joblist/ui/dialog_part_list.h"
#include "link/commands.h"
#include "link/connect.h"
#include "link/homing.h"
#include "link/link_state.h"
#include "link/manual_control.h"
#include "link/position_counters.h"
#include "link/serial_link.h"
#include "platform/threads.h"
#include "platform/uipost.h"
#include "run_state/run_events.h"
#include "run/run_frame.h"
#include "machine_ops/auto_transport.h"
#include "settings/basic_settings.h"
#include "simulator.h"

namespace smt::test {
namespace {

using Texts = std::vector<std::string>;
JobRow Part(const char* feeder) {
    JobRow r(kPartCells);
    r.cells[0] = "1";
    r.cells[partcell::Place] = "Yes";
    r.cells[partcell::Feeder] = feeder;
    return r;
}

void OpenGroupWithFeeder(const char* id) {
    FeedGroupTable& table = TheFeedGroupTable();
    ASSERT_GE(table.AddFeedGroup("G", "d"), 0);
    table.SetOpenGroupName("G");
    ASSERT_TRUE(table.BeginAppendFeeder());
    struct OneFeeder : FeedListRows {
        FeedListItem item;
        void DeleteAllItems() override {}
        void InsertItem(int, const FeedListItem&) override {}
        int ItemCount() const override { return 1; }
        FeedListItem Item(int) const override { return item; }
    } list;
    list.item.text[feedcell::Id] = id;
    ASSERT_TRUE(table.CommitAppendFeeder(list));
}

struct Toolbar {
    CDialogPartList* panel;
    // Buttons 104..109 as on (1) or off (0).
    std::string States() const {
        std::string s;
        for (int id = tool::PcbEdit; id <= tool::Stop; ++id) s += panel->ToolBar()->IsButtonEnabled(id) ? '1' : '0';
        return s;
    }
    void Click(int id) const { panel->ToolBar()->Button(id)->click(); }
};

std::string TraceText(CSMTView* v) {
    return static_cast<QPlainTextEdit*>(v->m_pManualControl->Control(mc::Trace))->toPlainText().toStdString();
}

// Start refuses in this order, each refusal leaving flags, gate, clock and buttons alone.
TEST(RunToolbar, StartRefusesInOrderAndChangesNothing) {
    ShellApp app;
    ASSERT_TRUE(app.Start());
    CSMTView* v = app.View();
    Toolbar bar{v->m_pPartList};
    PartListStore& store = ThePartList();
    int handedOver = 0;
    TheRunPort().startRunThreads = [&](int) { return ++handedOver, true; };
    int& boards = v->Job().Pcb().m_Fields.m_PcbBoardCount;
    struct Case {
        const char* what;
        std::function<void()> arrange;
        Texts boxes;
        std::string trace;
    };
    const std::vector<Case> cases = {
        {"drilling machine without drilling rows",
         [&] { g_MachineType = 9; store.SetRows(JobList::Part, {Part("E1")}); }, {"没有贴装表单 !"}, ""},
        {"no placement rows", [&] { g_MachineType = 0; store.SetRows(JobList::Part, {}); }, {"没有贴装表单 !"}, ""},
        {"no feeder group",
         [&] {
             store.SetRows(JobList::Part, {Part("E1")});
             TheFeedGroupTable().SetOpenGroupName("");  // the shipped group closed
         },
         {"没有料架，请添加料架 !"}, ""},
        {"a row's feeder missing", [&] { OpenGroupWithFeeder("E2"); }, {"1行料架号不存在 !"}, ""},
        {"no board", [&] { store.SetRows(JobList::Part, {Part("E2")}), boards = 0; }, {"Pcb = 0 ?"}, ""},
        {"run and feeder threads busy",
         [&] { boards = 1, store.m_SmtBusy = 1, store.m_FeedBusy = 1; }, {}, "Smt thread is busy !"},
        {"a thread of the previous run still lives",
         [&] {
             store.m_SmtBusy = store.m_FeedBusy = 0;
             TheRunPort().runThreadsLive = [] { return true; };
         },
         {}, "Smt thread is busy !"},
        {"drilling machine passes over the placement checks to the link",
         [&] {
             TheRunPort().runThreadsLive = [] { return false; };
             g_MachineType = 9;
             store.SetRows(JobList::Part, {});
             store.SetRows(JobList::Drill, {JobRow(kDrillCells)});
             boards = 0;
         },
         {"Machine is not connection !"}, ""},
        {"not homed", [&] { g_Connected = true; }, {"Machine is not reset !"}, ""},
        {"busy", [&] { g_Homed = true, g_Running = true; }, {"Machine is runnig !"}, ""},
    };
    bar.panel->ToolBar()->EnableButton(tool::Start, true);
    for (const Case& c : cases) {
        c.arrange();
        ScriptedResponder boxes;
        v->m_pManualControl->findChild<QPlainTextEdit*>()->setPlainText("old");
        g_hRunPauseGate.Reset();
        const std::string before = bar.States();
        bar.Click(tool::Start);
        QApplication::processEvents();
        EXPECT_EQ(boxes.Texts(), c.boxes) << c.what;
        EXPECT_EQ(TraceText(v), c.trace.empty() ? "old" : c.trace) << c.what;
        EXPECT_EQ(bar.States(), before) << c.what;
        EXPECT_FALSE(g_RunContinue.load()) << c.what;
        EXPECT_FALSE(g_hRunPauseGate.IsSet()) << c.what;
        EXPECT_FALSE(bar.panel->RunClock().isActive()) << c.what;
    }
    EXPECT_EQ(handedOver, 0);
    // The restricted starts: a cleared head reset says only so; a refused start clears the flag.
    g_Running = false;
    g_HeadResetOk = false;
    {
        ScriptedResponder boxes;
        bar.panel->OnRunSelectedDrill();
        EXPECT_EQ(boxes.Texts(), Texts{"请先按总复位机器 !"});
    }
    g_HeadResetOk = true;
    g_MachineType = 0;
    {
        ScriptedResponder boxes;
        bar.panel->OnRunFromCurrentPart();  // placement list empty
        EXPECT_EQ(boxes.Texts(), Texts{"没有贴装表单 !"});
    }
    EXPECT_EQ(store.m_RunFromRow[0], 0);
    EXPECT_EQ(store.m_RunSelectedOnly[2], 0);
    store.m_SmtBusy = store.m_FeedBusy = 0;
    g_Connected = g_Homed = g_Running = false;
    g_MachineType = 0;
    TheRunPort().startRunThreads = [](int m) { return StartRunThreads(m); };
    TheRunPort().runThreadsLive = [] { return LiveRunThreads() > 0; };
}

class RunToolbarOnMachine : public ShellOnSim {
protected:
    void SetUp() override {
        StartShellOnSim();
        if (HasFatalFailure()) return;
        bar.panel = app->View()->m_pPartList;
        app->View()->m_pManualControl->OnConnect();
        ASSERT_TRUE(PumpUntil([] { return g_Connected.load() && Idle(); }));
        ASSERT_TRUE(MachineReset(0, true)) << (boxes.Texts().empty() ? std::string() : boxes.Texts()[0]);
        ASSERT_TRUE(PumpUntil([] { return g_Homed.load() && Idle(); }));
        OpenGroupWithFeeder("E1");
        ThePartList().SetRows(JobList::Part, {Part("E1")});
        bar.panel->ToolBar()->EnableButton(tool::Start, true);
        // The homing's last frames reach the machine before the case counts its frames.
        std::size_t seen = 0;
        for (int quiet = 0; quiet < 20;) {
            const std::size_t n = machine->machine().Frames().size();
            quiet = n == seen ? quiet + 1 : 0;
            seen = n;
            PumpUntil([] { return true; });
            QThread::msleep(5);
        }
    }
    void TearDown() override {
        g_RunContinue = false;
        g_hRunPauseGate.Set();
        PumpUntil(Idle);
        TheRunPort().startRunThreads = [](int m) { return StartRunThreads(m); };
        for (int k = 0; k < kRunThreadKinds; ++k) RunThreadEntry(static_cast<RunThreadKind>(k)) = nullptr;
        StopShellOnSim();
    }
    // The run-state bytes of the speed-gear commands the machine took, as "code/value".
    Texts Gears() {
        Texts out;
        for (const auto& f : machine->machine().Frames())
            if (f.code == 0x60 && f.accepted) {
                std::string s;
                for (auto b : f.data) s += (s.empty() ? "" : "/") + std::to_string(int(b));
                out.push_back(s);
            }
        return out;
    }
    Texts GearsSince(std::size_t n) {
        const Texts all = Gears();
        return Texts(all.begin() + static_cast<long>(std::min(n, all.size())), all.end());
    }
    // Stop's gear command (the operator's thread) and the run end's (the run thread,
    // which may see the stop first) may reach the machine in either order: the
    // commands are kept in order up to them and the last two compared as a pair.
    static Texts StopAndEndUnordered(Texts t) {
        if (t.size() >= 2) std::sort(t.end() - 2, t.end());
        return t;
    }
    std::string Gear(int code, int value) {
        return serial() ? std::to_string(code) : std::to_string(code) + "/" + std::to_string(value);
    }
    // Run threads for the real dispatcher that work as the run threads do: pass
    // the gate, test the continue flag and leave through the run's end (at once
    // when `endAtOnce`); the companions end when their flags drop.
    static void FakeRunThreads(bool endAtOnce) {
        RunThreadEntry(RunThreadKind::Placement) = [endAtOnce] {
            while (!endAtOnce && PassPauseGate()) QThread::msleep(1);
            FinishRun(ThePartList(), false);
        };
        RunThreadEntry(RunThreadKind::FeederAdvance) = [] {
            while (WaitHandOff(g_hCycleStart, g_FeedContinue)) {
            }
        };
        RunThreadEntry(RunThreadKind::ConveyorZone2) = [] {
            while (g_ConveyorContinue.load()) QThread::msleep(2);
        };
    }

    Toolbar bar{nullptr};
};

// One case per link: a second connection in one process would meet the first's socket.
TEST_P(RunToolbarOnMachine, StartPauseRegainAndStopReachTheMachine) {
    std::size_t gears = Gears().size();
    std::string statesAtHandOver;
    bool clockAtHandOver = false, gateAtHandOver = false, flagsAtHandOver = false;
    // The operator pauses the first run at its first step, and it ends paused.
    int runs = 0;
    FakeRunThreads(true);
    TheRunPort().startRunThreads = [&](int mode) {
        statesAtHandOver = bar.States();
        clockAtHandOver = bar.panel->RunClock().isActive();
        gateAtHandOver = g_hRunPauseGate.IsSet();
        flagsAtHandOver = g_RunContinue && g_FeedContinue && g_ConveyorContinue;
        if (++runs == 1) bar.panel->OnPauseRun();
        return StartRunThreads(mode);
    };
    app->View()->m_pManualControl->findChild<QPlainTextEdit*>()->setPlainText("old");
    bar.Click(tool::Start);
    EXPECT_EQ(statesAtHandOver, "000101");  // Pause and Stop on, the rest of 104..109 off
    EXPECT_TRUE(clockAtHandOver);
    EXPECT_TRUE(flagsAtHandOver);
    EXPECT_EQ(TraceText(app->View()).find("old"), std::string::npos);
    ASSERT_TRUE(PumpUntil([&] { return Idle() && bar.States() == "111000" && !bar.panel->RunClock().isActive(); }));
    EXPECT_TRUE(g_hRunPauseGate.IsSet());  // ended while paused: the run's end opened the gate
    bar.Click(tool::Start);
    EXPECT_TRUE(gateAtHandOver);  // a new run does not stop at its first step
    EXPECT_FALSE(g_RunPaused.load());
    PumpUntil([&] { return GearsSince(gears).size() >= 5; });
    EXPECT_EQ(GearsSince(gears),
              (Texts{Gear(2, 0), Gear(1, 0), Gear(4, 0), Gear(1, 0), Gear(4, 0)}));
    // Without a head reset the run's end leaves Start off.
    ASSERT_TRUE(PumpUntil(Idle));
    g_HeadResetOk = false;
    bar.Click(tool::Start);
    EXPECT_TRUE(PumpUntil([&] { return Idle() && bar.States() == "110000"; })) << bar.States();
    g_HeadResetOk = true;
    EXPECT_EQ(boxes.Texts(), Texts{});

    // Pause, Regain and Stop from the toolbar and the machine's keys.
    FakeRunThreads(false);
    TheAutoTransport().SetConfig([] {
        AutoTransportConfig c = TheAutoTransport().Config();
        c.m_AutoTransport = 1;
        return c;
    }());
    PumpUntil([&] { return Gears().size() >= gears + 7; });  // the third start's two
    gears = Gears().size();
    bar.panel->ToolBar()->EnableButton(tool::Start, true);  // as a homing would
    bar.Click(tool::Start);
    ASSERT_TRUE(g_Running.load()) << bar.States() << " " << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    bar.Click(tool::Pause);
    EXPECT_TRUE(g_RunPaused.load());
    EXPECT_FALSE(g_hRunPauseGate.IsSet());
    EXPECT_EQ(bar.States(), "000011");
    bar.Click(tool::Regain);
    EXPECT_TRUE(g_hRunPauseGate.IsSet());
    EXPECT_EQ(bar.States(), "000101");
    bar.Click(tool::Pause);
    g_hBoardDone.Reset();
    bar.Click(tool::Stop);  // a paused run wakes, sees the stop and ends
    EXPECT_FALSE(g_ConveyorContinue.load());
    EXPECT_TRUE(g_hBoardDone.IsSet());
    ASSERT_TRUE(PumpUntil([&] { return Idle() && bar.States() == "111000"; }));
    ASSERT_TRUE(PumpUntil([&] { return Gears().size() >= gears + 6; }));
    EXPECT_EQ(StopAndEndUnordered(GearsSince(gears)),
              StopAndEndUnordered(
                  Texts{Gear(1, 0), Gear(2, 0), Gear(3, 1 /* Ethernet */), Gear(2, 0), Gear(0x0F, 1), Gear(4, 0)}));

    // The machine's keys reach the same handlers.
    gears = Gears().size();
    machine->PressKey(sim::PanelKey::Start);
    ASSERT_TRUE(PumpUntil([] { return g_Running.load(); }));
    machine->PressKey(sim::PanelKey::Pause);
    ASSERT_TRUE(PumpUntil([] { return g_RunPaused.load(); }));
    EXPECT_FALSE(g_hRunPauseGate.IsSet());
    machine->PressKey(sim::PanelKey::Resume);
    ASSERT_TRUE(PumpUntil([] { return !g_RunPaused.load(); }));
    EXPECT_TRUE(g_hRunPauseGate.IsSet());
    machine->PressKey(sim::PanelKey::Stop);
    ASSERT_TRUE(PumpUntil([&] { return Idle() && bar.States() == "111000"; }));
    ASSERT_TRUE(PumpUntil([&] { return Gears().size() >= gears + 5; }));
    EXPECT_EQ(StopAndEndUnordered(GearsSince(gears)),
              StopAndEndUnordered(Texts{Gear(1, 0), Gear(2, 0), Gear(3, 1), Gear(0x0F, 1), Gear(4, 0)}));
    TheAutoTransport().SetConfig([] {
        AutoTransportConfig c = TheAutoTransport().Config();
        c.m_AutoTransport = 0;
        return c;
    }());
    EXPECT_EQ(boxes.Texts(), Texts{});
}

INSTANTIATE_TEST_SUITE_P(Links, RunToolbarOnMachine, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

} // namespace
} // namespace smt::test
