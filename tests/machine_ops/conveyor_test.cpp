// The automatic conveyor: its settings section, belt values and width rules, and
// the zone steps and operations against the simulated machine on both links.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "../link/sim_fixture.h"
#include "link/busy.h"
#include "platform/profile.h"
#include "machine_ops/auto_transport.h"
#include "settings/pulse_settings.h"
#include "../settings/settings_test_util.h"

using namespace smt;
using namespace smt::test;
using Strings = std::vector<std::string>;

namespace {

// Belts 1..3 on the lifts' factors, the width drive on S.
PulseFactors Factors() {
    return {.m_WestLift_Pulse = 100, .m_NorthLift_Pulse = 80, .m_EastLift_Pulse = 50, .m_AutoWalk2_Pulse = 200};
}

// Zone distances in belt pulses: 1001.9 -> 1001, 1250, 580, 264, 200.5 -> 200, 1000.
AutoTransportConfig Distances() { return {10, 20, 33, 5, 3000, 10.019, 12.5, 7.25, 3.3, 4.01, 20, 1}; }

}  // namespace

TEST(ConveyorConfig, MissingSectionThenSixteenKeysSavedInOrderAndReadBack) {
    TempDir dir;
    const std::string path = dir.File("config.ini");
    AutoTransportConfig c;
    c.m_ClampTime = 77;
    LoadAutoTransportConfig(c, path);
    EXPECT_EQ(c, (AutoTransportConfig{1, 1, 1, 0}));  // the clamp time has no fixed default

    c = Distances();
    c.m_ResetWidth = 120.5;
    c.m_SetWidth = -3.25;
    c.m_MinRange = 50;
    c.m_MaxRange = 300;
    ASSERT_TRUE(SaveAutoTransportConfig(c, path));
    plat::FlushProfileCache();
    EXPECT_EQ(ReadBytes(path),
              "[AutoTransportConfig]\r\nm_ConveyorStartSpeed=10\r\nm_ConveyorNormalSpeed=20\r\n"
              "m_StepValue=33\r\nm_ClampTime=5\r\nm_WaitTimeOut=3000\r\nm_AutoTransport_1_1=10.0190\r\n"
              "m_AutoTransport_1_2=12.5000\r\nm_AutoTransport_2_1=7.2500\r\nm_AutoTransport_2_2=3.3000\r\n"
              "m_AutoTransport_3_1=4.0100\r\nm_AutoTransport_3_2=20.0000\r\nm_AutoTransport=1\r\n"
              "m_ResetWidth=120.5000\r\nm_SetWidth=-3.2500\r\nm_MinRange=50\r\nm_MaxRange=300\r\n");
    AutoTransportConfig back;
    LoadAutoTransportConfig(back, path);
    EXPECT_EQ(back, c);

    // Hand-edited ranges are numbers, truncated; speeds below 1 come back as 1.
    WriteBytes(path, "[AutoTransportConfig]\r\nm_MinRange=12.9\r\nm_MaxRange=-4.7\r\nm_ConveyorStartSpeed=-5\r\n");
    plat::FlushProfileCache();
    LoadAutoTransportConfig(back, path);
    EXPECT_EQ((std::vector<int>{back.m_MinRange, back.m_MaxRange, back.m_ConveyorStartSpeed}),
              (std::vector<int>{12, -4, 1}));
}

TEST(ConveyorConfig, RangesAreCheckedInFieldOrder) {
    AutoTransportConfig c = Distances();
    EXPECT_EQ(FirstBadField(CheckAutoTransportRanges(c)), "");
    c.m_ConveyorNormalSpeed = 256;
    c.m_SetWidth = 1000.5;
    EXPECT_EQ(FirstBadField(CheckAutoTransportRanges(c)), "1012: Please enter a number between -1000 and 1000.");
    c.m_SetWidth = 0;
    EXPECT_EQ(FirstBadField(CheckAutoTransportRanges(c)), "1019: Please enter an integer between 1 and 255.");
    c.m_ConveyorNormalSpeed = 1;
    c.m_StepValue = 0;
    EXPECT_EQ(CheckAutoTransportRanges(c)->control, 1014);
}

TEST(ConveyorValues, ZoneRunsAndButtonBeltValues) {
    const AutoTransportConfig c = Distances();
    const PulseFactors f = Factors();
    struct Want { int zone, f1, f2, f3, b1, b2, b3; };
    for (const Want w : {Want{1, 1, 0, 0, 1001, 0, 0}, Want{2, 0, 1, 0, 1250, 580, 0},
                         Want{3, 0, 0, 1, 0, 264, 200}, Want{4, 0, 0, 0, 0, 0, 1000}}) {
        const ConveyorRun r = ZoneRun(w.zone, c, f);
        EXPECT_EQ((std::vector<int>{r.zone, r.flag1, r.flag2, r.flag3, r.belt1, r.belt2, r.belt3, r.start, r.run,
                                    r.waitTimeOut}),
                  (std::vector<int>{w.zone, w.f1, w.f2, w.f3, w.b1, w.b2, w.b3, 10, 20, 3000}))
            << "zone " << w.zone;
    }
    const std::pair<int, BeltPulses> buttons[] = {
        {at::BoardInJog, {33, 0, 0}},    {at::BoardInTest, {1001, 0, 0}},  {at::TransportJog, {33, 33, 0}},
        {at::TransportTest, {1250, 580, 0}}, {at::BoardOutJog, {0, 33, 33}}, {at::BoardOutTest, {0, 264, 200}},
        {at::FinalRunOut, {0, 0, 1000}}};
    for (const auto& [button, belts] : buttons) EXPECT_EQ(BeltValuesOfButton(button, c, f), belts) << button;
    EXPECT_FALSE(BeltValuesOfButton(at::WholeTest, c, f));
    EXPECT_FALSE(BeltValuesOfButton(at::ClampValve, c, f));
    EXPECT_EQ(OperationOfButton(at::WholeTest), 1);
    EXPECT_EQ(OperationOfButton(at::BoardOutSignal), 13);
    EXPECT_EQ(OperationOfButton(at::ArriveSetWidth), -1);
}

TEST(ConveyorValues, WidthRangeAndArrows) {
    AutoTransportConfig c;
    c.m_ResetWidth = 100;
    c.m_SetWidth = 150;
    c.m_MinRange = c.m_MaxRange = 50;
    const PulseFactors f = Factors();
    // An empty range never lets the width be set.
    EXPECT_FALSE(WidthInRange(50, c));
    EXPECT_FALSE(SteppedWidth(1, 200, c, f));
    c.m_MaxRange = 151;
    EXPECT_TRUE(WidthInRange(150, c));
    EXPECT_TRUE(WidthInRange(151, c));
    EXPECT_FALSE(WidthInRange(151.01, c));
    // One S step of 200 pulses at 200 pulses per mm is 1 mm.
    EXPECT_EQ(SteppedWidth(1, 200, c, f), 151.0);
    EXPECT_FALSE(SteppedWidth(1, 201, c, f));
    EXPECT_EQ(SteppedWidth(-1, 100, c, f), 149.5);
    PulseFactors zero = f;
    zero.m_AutoWalk2_Pulse = 0;
    EXPECT_FALSE(SteppedWidth(1, 200, c, zero));
    EXPECT_EQ(WidthPulses(150.0049, c, f), 10000);  // 10000.98 truncated
    EXPECT_EQ(WidthPulses(99.995, c, f), 0);        // -0.99.. toward zero, not -1
}

// ---- against the simulated machine ----------------------------------------------

namespace {

struct Case {
    Wire wire;
    int type;
};

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    return std::string(info.param.wire == Wire::Serial ? "Serial" : "Ethernet") + "Type" +
           std::to_string(info.param.type);
}

class Conveyor : public SimTest, public ::testing::WithParamInterface<Case> {
protected:
    void SetUp() override {
        SimTest::SetUp();
        StartMachine(serial(), GetParam().type);
        ThePulseFactors() = Factors();
        t.SetConfig(Distances());
        t.Port().operationEnded = [this] { m_ended.Set(); };
        t.Port().setCheck = [this](int control, bool on) {
            hooks.add("check " + std::to_string(control) + (on ? " on" : " off"));
        };
        t.Port().showStep = [this](int step) { hooks.add("step " + std::to_string(step)); };
    }
    void TearDown() override {
        t.Port() = AutoTransportPanelPort{};
        SetConveyorWaitOverride(plat::Millis(0), plat::Millis(0));
        ThePulseFactors() = PulseFactors{};
        SimTest::TearDown();
    }
    bool serial() const { return GetParam().wire == Wire::Serial; }
    bool type7() const { return GetParam().type == 7; }

    // Starts an operation and waits for its end (bounded).
    void Run(const std::function<bool()>& start) {
        m_ended.Reset();
        ASSERT_TRUE(start());
        ASSERT_EQ(m_ended.Wait(plat::Millis(20'000)), plat::WaitResult::Signalled);
        EXPECT_FALSE(g_Running.load());
    }
    void Run(TransportOp op) { Run([&] { return t.StartOperation(op); }); }
    void PressClampButton() { Run([&] { return t.StartClampButton(); }); }
    // The outputs and zone runs the machine took, in order. Outputs are not
    // answered, so the machine may record the last one a moment later.
    Strings Sequence(std::size_t atLeast = 0, bool outsOnly = false) {
        WaitUntil([&] { return machine().Frames().size() >= atLeast; });
        Strings s;
        for (const auto& f : machine().Frames()) {
            if (f.code == 0x03) s.push_back("out " + std::to_string(f.data[0]) + "=" + std::to_string(f.data[1]));
            else if (outsOnly) continue;
            else if (f.code == 0x62) s.push_back("zone " + std::to_string(f.data[0]));
            else s.push_back("code " + std::to_string(f.code));
        }
        return s;
    }
    Strings Checks() {
        Strings c;
        for (const auto& s : hooks.Calls())
            if (s.rfind("check ", 0) == 0 || s.rfind("step ", 0) == 0) c.push_back(s);
        return c;
    }

    AutoTransport t;
    plat::Event m_ended{true, false};
};

}  // namespace

TEST_P(Conveyor, ZoneStepsSendTheirBytesAndClamp) {
    // Zone 2 on the link: tags 0x0B..0x0D, the board's wait time-out in the Ethernet payload only.
    ASSERT_TRUE(RunConveyorStep(t, 2, false));
    ASSERT_EQ(FramesOf(0x62).size(), 1u);
    EXPECT_EQ(HexOf(FramesOf(0x62)[0].data),
              serial() ? "02 00 01 00 0B 00 00 04 E2 0C 00 00 02 44 0D 00 00 00 00 0A 14"
                       : "02 00 B8 0B 01 00 0B E2 04 00 00 0C 44 02 00 00 0D 00 00 00 00 0A 00 00 00 14 00 00 00");
    EXPECT_EQ(std::make_tuple(int(t.m_ClampState), machine().BoardZone()), std::make_tuple(1, 2));

    // The outputs around each zone and the traces are the whole test's.
    machine().ClearRecords();
    ASSERT_TRUE(RunConveyorStep(t, 3, false));
    EXPECT_EQ(t.m_ClampState, 0);
    const auto runs = machine().ConveyorRuns();
    ASSERT_EQ(runs.size(), 1u);
    const auto& r = runs[0];
    EXPECT_EQ((std::vector<int>{r.flags[0], r.flags[1], r.flags[2], r.l1, r.l2, r.l3, r.start, r.run, r.waitTimeOut}),
              (std::vector<int>{0, 0, 1, 0, 264, 200, 10, 20, serial() ? 0 : 3000}));

    // Zones 1 and 4 switch nothing; without outputs zones 2 and 3 neither.
    machine().ClearRecords();
    const std::pair<int, bool> steps[] = {{1, false}, {2, true}, {3, true}, {4, false}};
    for (auto [zone, noOutputs] : steps) ASSERT_TRUE(RunConveyorStep(t, zone, noOutputs));
    EXPECT_EQ(Sequence(4), (Strings{"zone 1", "zone 2", "zone 3", "zone 4"}));
    EXPECT_EQ(std::make_tuple(int(t.m_ClampState), machine().BoardZone()), std::make_tuple(0, 0));  // carried out
}

TEST_P(Conveyor, WholeTestClampsInZoneTwoAndEndsUnclamped) {
    Run(TransportOp::WholeTest);
    const Strings want = type7() ? Strings{"zone 1", "out 49=1", "zone 2", "out 50=1", "out 49=0", "out 50=0",
                                           "out 49=0", "zone 3", "zone 4"}
                                 : Strings{"zone 1", "out 9=0", "zone 2", "out 9=1", "out 9=0", "zone 3", "zone 4"};
    EXPECT_EQ(Sequence(want.size()), want);
    EXPECT_EQ(std::make_tuple(int(t.m_ClampState), machine().BoardZone()), std::make_tuple(0, 0));
    EXPECT_EQ(Checks(), (Strings{"step 0", "step 1", "step 2", "check 1040 on", "step 3", "step 4", "check 1040 off",
                                 "step 5", "step 4", "step 5"}));
    Strings traces = Traces();
    std::erase(traces, "62->Start");
    EXPECT_EQ(traces, (Strings{"Zone 1 run -> ", "62-1 end ", "Zone 2 run -> ", "62-2 end ", "Zone 3 run -> ",
                               "62-3 end ", "Zone 4 run -> ", "62-4 end "}));
}

TEST_P(Conveyor, ClampValveTogglesAndTheClampButtonFollowsTheState) {
    const std::string clamp = type7() ? "out 50=" : "out 9=";
    for (int state : {1, 0}) {
        Run(TransportOp::ClampValve);
        EXPECT_EQ(t.m_ClampState, state);
    }
    EXPECT_EQ(Sequence(2), (Strings{clamp + "1", clamp + "0"}));

    // The part list's button: not clamped -> op 11 (clamp); clamped -> op 16, zone
    // 3 with its outputs and no step display.
    machine().ClearRecords();
    for (int state : {1, 0}) {
        PressClampButton();
        EXPECT_EQ(t.m_ClampState, state);
    }
    const Strings want = type7() ? Strings{"out 50=1", "out 50=0", "out 49=0", "zone 3"}
                                 : Strings{"out 9=1", "out 9=0", "zone 3"};
    EXPECT_EQ(Sequence(want.size()), want);
    for (const auto& c : Checks()) EXPECT_EQ(c.rfind("step", 0), std::string::npos) << c;

    // Automatic board input off: the button does nothing.
    AutoTransportConfig c = t.Config();
    c.m_AutoTransport = 0;
    t.SetConfig(c);
    EXPECT_FALSE(t.StartClampButton());
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_P(Conveyor, AsConveyorOverSerialOnlyClearsBusy) {
    t.m_AsConveyor = 1;
    Run(TransportOp::AsConveyor);
    if (serial()) {
        EXPECT_TRUE(Sequence().empty());
        return;
    }
    // Ethernet: mode 14 with the switch, then the four zones without any output.
    EXPECT_EQ(Sequence(5), (Strings{"code 96", "zone 1", "zone 2", "zone 3", "zone 4"}));
    EXPECT_EQ(HexOf(machine().Frames()[0].data), "0E 01");
    EXPECT_EQ(t.m_ClampState, 0);
}

TEST_P(Conveyor, JogsAndTestsUseTheButtonsBeltValues) {
    t.m_BeltPulse_1 = 7;
    t.m_BeltPulse_2 = -8;
    t.m_BeltPulse_3 = 9;
    for (auto op : {TransportOp::BoardInJog, TransportOp::TransportTest, TransportOp::BoardOutJog,
                    TransportOp::FinalRunOut})
        Run(op);
    const auto runs = machine().ConveyorRuns();
    ASSERT_EQ(runs.size(), 4u);
    // zone, flags, then the three belt values
    const std::vector<std::vector<int>> want{
        {1, 0, 0, 0, 7, -8, 9}, {2, 0, 1, 0, 7, -8, 9}, {3, 0, 0, 0, 7, -8, 9}, {4, 0, 0, 0, 7, -8, 9}};
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const auto& r = runs[i];
        EXPECT_EQ((std::vector<int>{r.zone, r.flags[0], r.flags[1], r.flags[2], r.l1, r.l2, r.l3}), want[i]);
    }
    // Transport test: clamp off (type 7: then the stop valve on); board-out jog:
    // clamp off (type 7: stop valve off too).
    EXPECT_EQ(Sequence(0, true), (type7() ? Strings{"out 50=0", "out 49=1", "out 50=0", "out 49=0"}
                                          : Strings{"out 9=0", "out 9=0"}));
}

TEST_P(Conveyor, SignalPulsesAndValvesPerMachineType) {
    Run(TransportOp::BoardInSignal);
    t.m_ValveBoxWasSet = false;
    Run(TransportOp::StopValve);
    t.m_ValveBoxWasSet = true;
    for (auto op : {TransportOp::LiftValve, TransportOp::BoardOutSignal, TransportOp::Nothing}) Run(op);
    const Strings want = type7() ? Strings{"out 48=1", "out 48=0", "out 49=1", "out 51=0", "out 52=1", "out 52=0"}
                                 : Strings{"out 5=1", "out 5=0", "out 6=1", "out 6=0"};
    EXPECT_EQ(Sequence(want.size()), want);
}

TEST_P(Conveyor, WidthMovesByTheDifferenceFromTheCounter) {
    AutoTransportConfig c = t.Config();
    c.m_ResetWidth = 100;
    c.m_SetWidth = 150;
    t.SetConfig(c);
    // The panel's first opening: the counter as if the conveyor stood at m_SetWidth.
    t.InitWidthCounterOnce();
    EXPECT_EQ(g_PulseFeederWalk[3], 10000);
    g_PulseFeederWalk[3] = 2500;
    t.InitWidthCounterOnce();  // only once per process
    EXPECT_EQ(g_PulseFeederWalk[3], 2500);
    Run(TransportOp::Width);
    const auto frames = machine().Frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].code, 0x61);
    SingleAxisMove m;
    m.axis = type7() ? 0x30 : 14;
    m.delta = 7500;
    m.speed = {10, 20};
    EXPECT_EQ(HexOf(frames[0].data), HexOf(serial() ? SerialSingleAxis(m) : UdpSingleAxis(m, 0)));
    EXPECT_EQ(g_PulseFeederWalk[3], 10000);
}

TEST_P(Conveyor, SilentBoardEndsInTheTimeOutMessageNotAHang) {
    SetConveyorWaitOverride(plat::Millis(50), plat::Millis(50));
    AutoTransportConfig c = t.Config();
    c.m_WaitTimeOut = 20;
    t.SetConfig(c);
    machine().SetBoardAtInput(false);
    Run(TransportOp::WholeTest);
    EXPECT_EQ(boxes.Texts(), (Strings{BoardTimeOutText(1)}));
    const auto traces = Traces();
    ASSERT_FALSE(traces.empty());
    EXPECT_EQ(traces.back(), "62-1 timeout");
    // Nothing after the silent zone; the link is still up and the machine idle.
    ASSERT_EQ(machine().ConveyorRuns().size(), 1u);
    EXPECT_FALSE(machine().ConveyorRuns()[0].answered);
    EXPECT_TRUE(g_Connected.load());
    EXPECT_EQ(t.m_ClampState, 0);

    // The board comes: the next operation runs as usual, with the usual margin
    // so that a slow machine under load is not taken for a silent one.
    SetConveyorWaitOverride(plat::Millis(0), plat::Millis(0));
    machine().SetBoardAtInput(true);
    Run(TransportOp::BoardInTest);
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST_P(Conveyor, StartersClaimTheBusyFlag) {
    {
        BusyClaim other = BusyClaim::Try();
        ASSERT_TRUE(other);
        EXPECT_FALSE(t.StartOperation(TransportOp::ClampValve));
        EXPECT_FALSE(t.StartClampButton());
    }
    EXPECT_EQ(boxes.Texts(), (Strings{"Machine is runnig !", "Machine is runnig !"}));
    g_Connected = false;
    EXPECT_FALSE(t.StartOperation(TransportOp::ClampValve));
    EXPECT_EQ(boxes.Texts().back(), "Machine is not connection !");
    EXPECT_FALSE(g_Running.load());
    g_Connected = true;

    // Many starters at once while the board takes its time: exactly one starts.
    // The starters wait at a gate so that all of them try within the answer's delay.
    sim->faults().SetDelayMs(1000);
    std::atomic<int> started{0};
    std::atomic<bool> go{false};
    m_ended.Reset();
    std::vector<std::thread> starters;
    for (int i = 0; i < 8; ++i)
        starters.emplace_back([&] {
            while (!go.load()) std::this_thread::yield();
            started += t.StartOperation(TransportOp::FinalRunOut) ? 1 : 0;
        });
    go = true;
    for (auto& s : starters) s.join();
    EXPECT_EQ(started.load(), 1);
    ASSERT_EQ(m_ended.Wait(plat::Millis(20'000)), plat::WaitResult::Signalled);
    EXPECT_EQ(machine().ConveyorRuns().size(), 1u);
}

// The panel's OK writes the settings (and saves them) while a conveyor worker
// reads them for each zone: every zone run the board takes carries the values of
// one whole setting, never a mix (and the ThreadSanitizer stage sees no race).
TEST_P(Conveyor, SettingsWrittenWhileAWorkerRunsReachTheBoardWhole) {
    const AutoTransportConfig a = Distances();
    const AutoTransportConfig b{12, 24, 33, 5, 2500, 11, 13, 8, 4, 5, 21, 1};
    // Belt pulses per zone at 100 / 80 / 50 pulses per mm (belts 1, 2, 3).
    struct Run { int zone, start, run, wait, l1, l2, l3; };
    const int waitA = serial() ? 0 : 3000, waitB = serial() ? 0 : 2500;
    const std::vector<Run> fromA = {{1, 10, 20, waitA, 1001, 0, 0}, {2, 10, 20, waitA, 1250, 580, 0},
                                    {3, 10, 20, waitA, 0, 264, 200}, {4, 10, 20, waitA, 0, 0, 1000}};
    const std::vector<Run> fromB = {{1, 12, 24, waitB, 1100, 0, 0}, {2, 12, 24, waitB, 1300, 640, 0},
                                    {3, 12, 24, waitB, 0, 320, 250}, {4, 12, 24, waitB, 0, 0, 1050}};
    TempDir dir;
    m_ended.Reset();
    ASSERT_TRUE(t.StartOperation(TransportOp::WholeTest));
    int writes = 0;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!m_ended.IsSet() && std::chrono::steady_clock::now() < giveUp) {
        t.SetConfig(++writes % 2 ? b : a);  // what the OK takes from the fields
        EXPECT_TRUE(t.SaveConfig(dir.File("config.ini")));
    }
    ASSERT_EQ(m_ended.Wait(plat::Millis(20'000)), plat::WaitResult::Signalled);
    EXPECT_GT(writes, 0);
    const auto runs = machine().ConveyorRuns();
    ASSERT_EQ(runs.size(), 4u);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const auto& r = runs[i];
        SCOPED_TRACE(i);
        const std::vector<int> got{r.start, r.run, r.waitTimeOut, r.l1, r.l2, r.l3};
        auto values = [](const Run& w) { return std::vector<int>{w.start, w.run, w.wait, w.l1, w.l2, w.l3}; };
        EXPECT_TRUE(got == values(fromA[i]) || got == values(fromB[i]))
            << ::testing::PrintToString(got);
    }
    // The file holds one whole setting too.
    AutoTransportConfig back;
    LoadAutoTransportConfig(back, dir.File("config.ini"));
    EXPECT_TRUE(back == a || back == b);
}

INSTANTIATE_TEST_SUITE_P(Links, Conveyor,
                         ::testing::Values(Case{Wire::Serial, 0}, Case{Wire::Ethernet, 0}, Case{Wire::Serial, 7},
                                           Case{Wire::Ethernet, 7}),
                         CaseName);
