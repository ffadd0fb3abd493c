#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <thread>

#include "sim_fixture.h"
#include "link/datagram.h"

using namespace smt;
using namespace smt::test;
using namespace std::chrono_literals;

namespace {

// Drive d of the numbered table: (10 + d, 100 + d).
std::int32_t S(int d) { return 10 + d; }
std::int32_t R(int d) { return 100 + d; }

HomingPlan Plan(int type, int kind, HomingAxisSwitches s = {}) {
    return PlanHoming(type, kind, NumberedResetSpeeds(), s);
}
// The switches with `off` turned off.
HomingAxisSwitches Off(std::initializer_list<int HomingAxisSwitches::*> off) {
    HomingAxisSwitches s;
    for (auto f : off) s.*f = 0;
    return s;
}

using Codes = std::array<std::int32_t, 14>;
using H = HomingAxisSwitches;

// X 1, Y -2, X2 3, Y2 -4, Z 10.., A 20.., walk 30..; returns them.
PositionSnapshot FillCounters() {
    g_PulseX = 1; g_PulseY = -2; g_PulseX2 = 3; g_PulseY2 = -4;
    for (int n = 0; n < 8; ++n) g_PulseZ[n] = 10 + n, g_PulseA[n] = 20 + n;
    for (int w = 0; w < 4; ++w) g_PulseFeederWalk[w] = 30 + w;
    return TakePositionSnapshot();
}

}  // namespace

// ---- what each kind sends on each machine type ----

TEST(HomingPlan, CommonTypesFollowTheKindTableAndTheSwitches) {
    for (int type : {0, 1, 2, 3, 5, 6, 8, 9}) {
        SCOPED_TRACE(type);
        EXPECT_EQ(Plan(type, 0).codes, (Codes{S(0), R(0), S(1), R(1), S(2), R(2), S(3), R(3), S(8), R(8),
                                              S(10), R(10), S(12), R(12)}));
        EXPECT_EQ(Plan(type, 4).codes, (Codes{S(0), R(0), S(1), R(1), S(2), R(2), S(3), R(3)}));
        EXPECT_EQ(Plan(type, 1).codes, (Codes{S(0), R(0)}));
        EXPECT_EQ(Plan(type, 2).codes, (Codes{0, 0, S(1), R(1)}));
        EXPECT_EQ(Plan(type, 3).codes, (Codes{0, 0, 0, 0, S(2), R(2), S(3), R(3)}));
        EXPECT_EQ(Plan(type, 9).codes, (Codes{0, 0, 0, 0, 0, 0, 0, 0, S(14), R(14)}));
        for (int kind = 0; kind <= 9; ++kind) EXPECT_EQ(Plan(type, kind).command, HomingCommand::Home02);
        EXPECT_EQ(Plan(type, 10).command, HomingCommand::None);
        EXPECT_EQ(Plan(type, -1).command, HomingCommand::None);
    }
    // Walk kinds switch their bank's output off first; kind 8 sends all zeros.
    for (int kind : {0, 5, 6, 7, 8}) EXPECT_EQ(Plan(2, kind).outputOff, kind);
    EXPECT_EQ(Plan(2, 5).codes, (Codes{0, 0, 0, 0, 0, 0, 0, 0, S(8), R(8)}));
    EXPECT_EQ(Plan(2, 8).codes, Codes{});
    // A switch that is off leaves its pair at zero: kind 1 with X off is all zeros.
    EXPECT_EQ(Plan(0, 1, Off({&H::m_00_X})).codes, Codes{});
    EXPECT_EQ(Plan(0, 0, Off({&H::m_09_W2})).codes[10], 0);
    EXPECT_EQ(Plan(0, 6, Off({&H::m_09_W2})).codes, Codes{});
    // Kind 9 (conveyor width) ignores the switches.
    const auto none = Off({&H::m_00_X, &H::m_01_Y, &H::m_02_Z1, &H::m_03_Z2, &H::m_08_W1, &H::m_09_W2, &H::m_0A_W3});
    EXPECT_EQ(Plan(0, 0, none).codes, Codes{});
    EXPECT_EQ(Plan(0, 9, none).codes[8], S(14));
}

TEST(HomingPlan, TwoTableAndEightHeadTypesUseTheirOwnOrderAndKinds) {
    // X, X2, Y start, Y2 start, Y run, Y2 run, Z, Z2, third Z.
    EXPECT_EQ(Plan(4, 0).codes, (Codes{S(0), R(0), S(0), R(0), S(1), S(1), R(1), R(1), S(2), R(2), S(3), R(3),
                                       S(2), R(2)}));
    EXPECT_EQ(Plan(4, 0).command, HomingCommand::Home52);
    // Off: X2, Y2, third Z.
    EXPECT_EQ(Plan(4, 0, Off({&H::m_09_W2, &H::m_0C_L2, &H::m_0A_W3})).codes,
              (Codes{S(0), R(0), 0, 0, S(1), 0, R(1), 0, S(2), R(2), S(3), R(3), 0, 0}));
    EXPECT_EQ(Plan(4, 1, Off({&H::m_00_X})).codes, (Codes{S(0), R(0)}));  // kinds 1..7 do not test the switches
    EXPECT_EQ(Plan(4, 4).codes, (Codes{S(0), R(0), 0, 0, S(1), 0, R(1), 0, S(2), R(2), S(3), R(3)}));
    EXPECT_EQ(Plan(4, 5).codes, (Codes{0, 0, 0, 0, 0, S(1), 0, R(1)}));
    EXPECT_EQ(Plan(4, 6).codes, (Codes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, S(2), R(2)}));
    EXPECT_EQ(Plan(4, 7).codes, (Codes{0, 0, S(0), R(0)}));
    EXPECT_EQ(Plan(4, 8).command, HomingCommand::None);
    EXPECT_EQ(Plan(4, 9).command, HomingCommand::None);
    // The eight-head type homes its heads by switch.
    using Words = std::array<std::int32_t, 12>;
    EXPECT_EQ(Plan(7, 0).words, (Words{S(0), S(1), R(0), S(2), S(2), S(2), S(2), S(2), S(2), S(2), S(2), R(2)}));
    EXPECT_EQ(Plan(7, 4, Off({&H::m_05_A2, &H::m_0B_L1, &H::m_01_Y})).words,
              (Words{S(0), 0, R(0), S(2), 0, S(2), S(2), S(2), S(2), S(2), 0, R(2)}));
    EXPECT_EQ(Plan(7, 1).words, (Words{S(0), 0, R(0), 0, 0, 0, 0, 0, 0, 0, 0, R(2)}));
    EXPECT_EQ(Plan(7, 2).words, (Words{0, S(1), R(0), 0, 0, 0, 0, 0, 0, 0, 0, R(2)}));
    EXPECT_EQ(Plan(7, 3).words, (Words{0, 0, R(0), S(2), S(2), S(2), S(2), S(2), S(2), S(2), S(2), R(2)}));
    for (int kind = 5; kind <= 9; ++kind) EXPECT_EQ(Plan(7, kind).command, HomingCommand::None);
}

// ---- homing against the simulated machine ----

class HomingTest : public ConnSimTest {
protected:
    void SetUp() override {
        ConnSimTest::SetUp();
        auto& port = TheCommandPanel();
        port.clearNozzleChecks = [this] { hooks.add("untick"); };
        port.setCurrentCamera = [this](int c) { hooks.add("camera " + std::to_string(c)); };
        port.conveyorWidthPulses = [] { return 1234; };
        port.enableConveyorControl = [this] { hooks.add("conveyor"); };
    }
    // Homes `kind` on a fresh frame record and gives the data of the one homing
    // frame `code` the machine received ("" when not exactly one came).
    std::string HomeOnce(int kind, std::uint16_t code) {
        machine().ClearRecords();
        if (!MachineReset(kind, true) || !HomingEnded()) return "";
        const auto homes = FramesOf(code);
        return homes.size() == 1 ? HexOf(homes[0].data) : "";
    }
    static std::string HexOfCodes(const Codes& codes) {
        return HexOf(std::vector<std::uint8_t>(codes.begin(), codes.end()));
    }
    // A homing this link cannot carry: said at once, nothing sent, never busy.
    void ExpectRefusedOnThisLink(int kind) {
        machine().ClearRecords();
        EXPECT_FALSE(MachineReset(kind, true));
        EXPECT_FALSE(g_Running);
        EXPECT_EQ(boxes.Texts().back(), "通讯未完成 ！");
        EXPECT_TRUE(machine().Frames().empty());
    }
    void Disconnect() {
        GetSerialLink().Close();
        g_Connected = false;
    }
};

TEST_F(HomingTest, EveryKindOnEveryCommonTypeOverSerial) {
    for (int type : {0, 1, 2, 3, 5, 6, 8, 9}) {
        StartSim(type, true, false);
        ASSERT_TRUE(ConnectSerial());
        for (int kind = 0; kind <= 9; ++kind) {
            SCOPED_TRACE(std::to_string(type) + "/" + std::to_string(kind));
            g_Homed = g_HeadResetOk = false;
            g_PanelLink.commandCounter = 7;
            hooks.Take();
            PositionSnapshot after = FillCounters();
            Codes expected = Plan(type, kind).codes;
            if (type != 3 && type != 6) expected[6] = expected[7] = 0;  // no 3-4 rocker
            EXPECT_EQ(HomeOnce(kind, 0x02), HexOfCodes(expected));
            // The handler's switching reaches the machine after the busy flag is free:
            // walk kinds switch their bank off before homing, a full homing the nozzles after.
            const std::vector<int> off = kind == 0 ? std::vector<int>{1, 2, 3, 4}
                                         : kind >= 5 && kind <= 8 ? std::vector<int>{kind} : std::vector<int>{};
            WaitUntil([&] { return machine().OutputLog().size() >= off.size(); });
            std::vector<int> switched;
            for (const auto& o : machine().OutputLog()) {
                EXPECT_EQ(o.value, 0);
                switched.push_back(o.channel);
            }
            EXPECT_EQ(switched, off);
            // Each kind zeroes its own drives only: a full one neither A nor the S drive;
            // kind 9 sets S to the conveyor width.
            if (kind == 0 || kind == 1 || kind == 4) after.x = 0;
            if (kind == 0 || kind == 2 || kind == 4) after.y = 0;
            // Z1 is the rocker of nozzles 1-2; Z2 (3-4, with 5-6 on type 6) only
            // where it is sent; nozzles 7 and 8 have no rocker here.
            if (kind == 0 || kind == 3 || kind == 4) {
                after.z[0] = after.z[1] = 0;
                if (type == 3 || type == 6) after.z[2] = after.z[3] = 0;
                if (type == 6) after.z[4] = after.z[5] = 0;
            }
            for (int w = 0; w < 3; ++w)
                if (kind == 0 || kind == 5 + w) after.walk[w] = 0;
            if (kind == 9) after.walk[3] = 1234;
            EXPECT_EQ(TakePositionSnapshot(), after);
            // homed, heads homed, panel enabled, conveyor enabled
            EXPECT_EQ(std::make_tuple(g_Homed.load(), g_HeadResetOk.load(), HookSeen("enable"), HookSeen("conveyor")),
                      std::make_tuple(kind == 0, kind == 0 || kind == 3 || kind == 4, kind != 8, kind == 9));
            if (kind == 0) {
                for (const char* h : {"untick", "camera 0", "replies 0"}) EXPECT_TRUE(HookSeen(h)) << h;
                EXPECT_EQ(g_PanelLink.commandCounter, 0);
                EXPECT_TRUE(WaitUntil([&] { return machine().SpeedGear() == 4; }));  // 0x60 waits for no reply
            }
            EXPECT_FALSE(g_Running);
        }
        Disconnect();
        sim->Stop();
    }
    EXPECT_TRUE(boxes.Texts().empty());
}

// A full homing ends with the camera at the visual origin when the basic settings
// ask for it, but not on the two-table type, whose mark camera rides on X2: the
// move there takes X and Y and would leave the camera beside the target (the
// basic settings turn the switch off on that type, a start folder of another type
// may still hold it on).
TEST_F(HomingTest, VisualOriginAfterAFullHomingButNotOnTheTwoTableType) {
    for (int type : {0, 4}) {
        SCOPED_TRACE(type);
        StartSim(type);
        ASSERT_TRUE(ConnectSerial());
        TheBasicSettings().m_ResetToVisualOrigin = 1;
        std::atomic<int> moves{0};
        TheCommandPanel().moveCameraToVisualOrigin = [&] { ++moves; };
        ASSERT_TRUE(MachineReset(0, true));
        ASSERT_TRUE(HomingEnded());
        EXPECT_TRUE(g_Homed);
        EXPECT_EQ(moves.load(), type == 4 ? 0 : 1);
        TheCommandPanel().moveCameraToVisualOrigin = nullptr;
        Disconnect();
        sim->Stop();
    }
}

TEST_F(HomingTest, TwoTableTypeHomesOverSerialOnly) {
    StartSim(4);
    ASSERT_TRUE(ConnectSerial());
    TheCommandPanel().runSelect = [] { return 10; };  // run modes 9..12 switch outputs 7 and 8 on
    for (int kind = 0; kind <= 7; ++kind) {
        SCOPED_TRACE(kind);
        PositionSnapshot after = FillCounters();
        EXPECT_EQ(HomeOnce(kind, 0x52), HexOfCodes(Plan(4, kind).codes));
        // What the command homes: kind 4 its Z rockers with X and Y; 5..7 Y2,
        // Z5/Z6 and X2 alone (this type's homing drives no feeder walk).
        if (kind == 0 || kind == 1 || kind == 4) after.x = 0;
        if (kind == 0 || kind == 2 || kind == 4) after.y = 0;
        if (kind == 0 || kind == 7) after.x2 = 0;
        if (kind == 0 || kind == 5) after.y2 = 0;
        for (int n = 0; n < 6; ++n)
            if (kind == 0 || ((kind == 3 || kind == 4) && n < 4) || (kind == 6 && n >= 4)) after.z[n] = 0;
        EXPECT_EQ(TakePositionSnapshot(), after);
        if (kind == 0) {
            EXPECT_TRUE(g_Homed);
            WaitUntil([&] { return machine().OutputLog().size() >= 6; });
            EXPECT_EQ(OutputsSent(), "1:0 2:0 3:0 4:0 7:1 8:1 ");
        }
    }
    // Kinds 8 and 9 have no command: nothing sent, not busy, the stored kind kept.
    machine().ClearRecords();
    g_PanelLink.resetKind = 7;
    EXPECT_FALSE(MachineReset(8, true));
    EXPECT_FALSE(g_Running);
    EXPECT_EQ(g_PanelLink.resetKind.load(), 7);
    EXPECT_TRUE(machine().Frames().empty());
    Disconnect();
    ASSERT_TRUE(ConnectEthernet());
    ExpectRefusedOnThisLink(0);
}

TEST_F(HomingTest, EightHeadTypeHomesOverEthernetOnly) {
    StartSim(7);
    const auto s = Off({&H::m_06_A3});
    TheHomingPort().axisSwitches = [s] { return s; };
    // The heads whose switch is on must report home (the panel's Z check mask).
    g_PanelLink.zCheckMask = 0xFF;
    ASSERT_TRUE(ConnectSerial());
    ExpectRefusedOnThisLink(0);
    Disconnect();
    ASSERT_TRUE(ConnectEthernet());
    for (int kind = 0; kind <= 4; ++kind) {
        SCOPED_TRACE(kind);
        Payload expected;
        for (std::int32_t w : Plan(7, kind, s).words) expected.I32(w);
        EXPECT_EQ(HomeOnce(kind, 0x72), HexOf(expected.Bytes()));
    }
    EXPECT_EQ(std::make_tuple(g_Homed.load(), g_HeadResetOk.load(), HookSeen("trace 72->复位"), HookSeen("trace 72->end")),
              std::make_tuple(true, true, true, true));
    // A full homing releases the vacuum of every head in the Z check, the eighth not in run modes 1 and 2.
    TheBasicSettings().m_Exhaust = 2;
    for (int mode : {0, 2}) {
        TheCommandPanel().runSelect = [mode] { return mode; };
        ASSERT_NE(HomeOnce(0, 0x72), "");
        const std::size_t heads = mode == 2 ? 7 : 8;
        WaitUntil([&] { return machine().OutputLog().size() >= heads; });
        std::string expected;
        for (std::size_t n = 0; n < heads; ++n) expected += std::to_string(0x20 + n) + ":0 ";
        EXPECT_EQ(OutputsSent(), expected);
        EXPECT_EQ(machine().OutputLog().front().extra, 2);
    }
    // No command for kinds 5..9: not busy afterwards.
    EXPECT_FALSE(MachineReset(9, true));
    EXPECT_FALSE(g_Running);
}

// The board homed what it was asked to: booked, then the heads that are not home
// reported, and the heads count as not homed until the next homing.
TEST_F(HomingTest, ZMismatchBooksTheHomingThenWarns) {
    StartSim(7, false, true);
    g_PanelLink.zCheckMask = 0xFF;
    machine().SetZStateOverride(0x0F);  // heads 5..8 do not report home
    ASSERT_TRUE(ConnectEthernet());
    g_PulseX = 500;
    ASSERT_TRUE(MachineReset(0, true));
    ASSERT_TRUE(HomingEnded());
    EXPECT_TRUE(g_Homed);
    EXPECT_EQ(g_PulseX.load(), 0);
    // The warning follows the booking on the reply thread.
    EXPECT_TRUE(WaitUntil([&] { return HookSeen("trace Machine reset Z warning !"); }));
    EXPECT_FALSE(g_HeadResetOk);
    machine().SetZStateOverride(-1);
    ASSERT_TRUE(MachineReset(0, true));
    ASSERT_TRUE(HomingEnded());
    EXPECT_TRUE(g_HeadResetOk);
}

TEST_F(HomingTest, ErrorReportOrSilenceEndsTheHomingAndALateReplyChangesNothing) {
    StartSim(2, true, false);
    ASSERT_TRUE(ConnectSerial());
    sim->faults().ErrorNext(0xE2, 3);
    ASSERT_TRUE(MachineReset(0, true));
    ASSERT_TRUE(HomingEnded());
    EXPECT_FALSE(g_Homed);
    ASSERT_TRUE(WaitUntil([&] { return boxes.Count() >= 2; }));
    auto texts = boxes.Texts();
    std::sort(texts.begin(), texts.end());
    std::vector<std::string> expected{"Error E2-03电机或传感器故障 !", HomingFailedText(HomingFailure::MachineError)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(texts, expected);

    boxes.Clear();
    SetWaitLimitOverride(WaitKind::Homing, 300ms);
    sim->faults().SilenceNext(1);
    ASSERT_TRUE(MachineReset(1, true));
    ASSERT_TRUE(HomingEnded());
    ASSERT_TRUE(WaitUntil([&] { return boxes.Count() >= 1; }));
    EXPECT_EQ(boxes.Texts().back(), HomingFailedText(HomingFailure::NoAnswer));
    EXPECT_FALSE(g_Connected);  // unanswered: the link counts as lost, as after any missed reply
    // Another action holds the machine now; a homing reply arriving late must not release it.
    ASSERT_TRUE(TryClaimBusy());
    OnHomingFinishedReply(false);
    EXPECT_TRUE(g_Running);
    ReleaseBusy();
}

TEST_F(HomingTest, RefusalsChangeNothing) {
    EXPECT_FALSE(MachineReset(1, true));
    EXPECT_EQ(boxes.Texts().back(), "Machine is not connection !");
    g_Connected = true;
    g_PanelLink.resetKind = 0;  // a full homing under way
    g_Running = true;
    EXPECT_FALSE(MachineReset(5, true));
    EXPECT_EQ(boxes.Texts().back(), "Machine is runnig !");
    EXPECT_EQ(g_PanelLink.resetKind.load(), 0);  // the running homing books its own kind
    OnResetMenu(kMenuResetWest);
    EXPECT_EQ(g_PanelLink.resetKind.load(), 0);
    g_Homed = true;
    EXPECT_FALSE(ResetButtonAction());
    EXPECT_TRUE(g_Homed);  // a refused reset button leaves the machine homed
    EXPECT_TRUE(g_Running);
}

TEST_F(HomingTest, PanelKeyAndButtonTogetherStartOneHoming) {
    StartSim(0, false, true);
    ASSERT_TRUE(ConnectEthernet());
    sim->faults().SetDelayMs(150);  // the homing stays under way while both press
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        machine().ClearRecords();
        boxes.Clear();
        std::barrier start(2);
        std::thread key([&] {
            start.arrive_and_wait();
            OnEthernetPanelKey(11);  // the machine panel's reset key
        });
        std::thread button([&] {
            start.arrive_and_wait();
            ResetButtonAction();
        });
        key.join();
        button.join();
        ASSERT_TRUE(HomingEnded());
        EXPECT_EQ(FramesOf(0x02).size(), 1u);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Machine is runnig !"});
        EXPECT_TRUE(g_Homed);
    }
}

TEST(HomingMenu, ItemsEnabledPerMachineTypeAndTheKindOfEach) {
    auto enabled = [](int type, bool conveyorInUse, int id) {
        const auto items = ResetMenuItems(type, conveyorInUse);
        return std::find_if(items.begin(), items.end(), [id](const ResetMenuItem& i) { return i.id == id; })->enabled;
    };
    EXPECT_TRUE(enabled(4, true, kMenuResetEast));
    EXPECT_FALSE(enabled(7, false, kMenuResetWest));
    EXPECT_TRUE(enabled(2, false, kMenuResetNorth));
    EXPECT_FALSE(enabled(2, true, kMenuResetNorth));
    for (int type = 0; type <= 9; ++type) {
        EXPECT_FALSE(enabled(type, false, kMenuResetSouth));
        EXPECT_TRUE(enabled(type, false, kMenuSetAllZero));
        EXPECT_TRUE(enabled(type, false, kMenuResetXYZ));
    }
    const std::pair<int, int> kinds[] = {{kMenuResetX, 1},     {kMenuResetZ, 3},     {kMenuResetWest, 5},
                                         {kMenuResetNorth, 6}, {kMenuResetEast, 7},  {kMenuResetSouth, 8},
                                         {kMenuSetAllZero, -1}};
    for (const auto& [id, kind] : kinds) EXPECT_EQ(ResetKindOfMenu(id), kind) << id;
}

TEST(HomingMenu, OneKeyClearRecordsTheCountersAsReference) {
    TheHomingPort() = HomingPort{};
    g_PulseX = 1200; g_PulseY = -300; g_PulseX2 = 7; g_PulseY2 = -9;
    std::array<std::int32_t, 4> recorded{};
    TheHomingPort().recordReference = [&](const std::array<std::int32_t, 4>& c) { recorded = c; };
    ScriptedResponder boxes;
    OnResetMenu(kMenuSetAllZero);
    const BasicSettings& b = TheBasicSettings();
    EXPECT_EQ(recorded, (std::array<std::int32_t, 4>{1200, -300, 7, -9}));
    EXPECT_EQ((std::array<std::int32_t, 4>{b.m_RefPulseX, b.m_RefPulseY, b.m_RefPulseX2, b.m_RefPulseY2}), recorded);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(g_PulseX.load(), 1200);  // no counter changes
    ClearPositionCounters();
    TheHomingPort() = HomingPort{};
}

// The operator's stop ends a wait on a board that does not answer at once, on
// both links, with a trace line; the link then counts as lost.
TEST_F(HomingTest, StopEndsAPendingMoveOrHomingAtOnceOnBothLinks) {
    for (const bool serial : {true, false}) {
        SCOPED_TRACE(serial ? "serial" : "Ethernet");
        StartSim(0, serial, !serial);
        ASSERT_TRUE(serial ? ConnectSerial() : ConnectEthernet());
        SetMoveLimits({100000, -100000, 100000, 100000});
        sim->faults().SilenceAll(true);
        const auto t0 = std::chrono::steady_clock::now();
        std::atomic<int> moved{-1};
        plat::StartWorker("move", [&] { moved = MoveSingleAxis({8, 100, {10, 20}}) ? 1 : 0; });
        std::this_thread::sleep_for(100ms);
        StopMachineWaits();
        ASSERT_TRUE(WaitUntil([&] { return moved.load() != -1; }));
        EXPECT_EQ(moved.load(), 0);
        EXPECT_TRUE(HookSeen("trace 61->单轴运动->stopped"));
        EXPECT_FALSE(g_Connected);
        g_Connected = true;
        ASSERT_TRUE(MachineReset(1, true));
        std::this_thread::sleep_for(100ms);
        StopMachineWaits();
        ASSERT_TRUE(HomingEnded());
        EXPECT_TRUE(HookSeen("trace 02->stopped"));
        EXPECT_FALSE(g_Connected);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s);
        sim->faults().SilenceAll(false);
        GetSerialLink().Close();
        StopUdpReplyThread();
        GetMachineLink().Close();
        sim->Stop();
        g_FirstConnect = true;
    }
}

