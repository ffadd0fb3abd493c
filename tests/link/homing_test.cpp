#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <barrier>

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

using Codes = std::array<std::int32_t, 14>;

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
    EXPECT_EQ(Plan(2, 5).outputOff, 5);
    EXPECT_EQ(Plan(2, 5).codes, (Codes{0, 0, 0, 0, 0, 0, 0, 0, S(8), R(8)}));
    EXPECT_EQ(Plan(2, 6).outputOff, 6);
    EXPECT_EQ(Plan(2, 7).outputOff, 7);
    EXPECT_EQ(Plan(2, 8).outputOff, 8);
    EXPECT_EQ(Plan(2, 8).codes, Codes{});
    EXPECT_EQ(Plan(2, 0).outputOff, 0);
    // A switch that is off leaves its pair at zero: kind 1 with X off is all zeros.
    HomingAxisSwitches noX;
    noX.m_00_X = 0;
    EXPECT_EQ(Plan(0, 1, noX).codes, Codes{});
    HomingAxisSwitches noNorth;
    noNorth.m_09_W2 = 0;
    EXPECT_EQ(Plan(0, 0, noNorth).codes[10], 0);
    EXPECT_EQ(Plan(0, 6, noNorth).codes, Codes{});
    // Kind 9 (conveyor width) ignores the switches.
    HomingAxisSwitches none;
    for (int* v : {&none.m_00_X, &none.m_01_Y, &none.m_02_Z1, &none.m_03_Z2, &none.m_08_W1, &none.m_09_W2,
                   &none.m_0A_W3})
        *v = 0;
    EXPECT_EQ(Plan(0, 0, none).codes, Codes{});
    EXPECT_EQ(Plan(0, 9, none).codes[8], S(14));
}

TEST(HomingPlan, TwoTableTypeUsesItsOwnOrderAndKinds) {
    // X, X2, Y start, Y2 start, Y run, Y2 run, Z, Z2, third Z.
    EXPECT_EQ(Plan(4, 0).codes, (Codes{S(0), R(0), S(0), R(0), S(1), S(1), R(1), R(1), S(2), R(2), S(3), R(3),
                                       S(2), R(2)}));
    EXPECT_EQ(Plan(4, 0).command, HomingCommand::Home52);
    HomingAxisSwitches s;
    s.m_09_W2 = 0;  // X2
    s.m_0C_L2 = 0;  // Y2
    s.m_0A_W3 = 0;  // third Z
    EXPECT_EQ(Plan(4, 0, s).codes, (Codes{S(0), R(0), 0, 0, S(1), 0, R(1), 0, S(2), R(2), S(3), R(3), 0, 0}));
    HomingAxisSwitches off;
    off.m_00_X = 0;  // kinds 1..7 do not test the switches
    EXPECT_EQ(Plan(4, 1, off).codes, (Codes{S(0), R(0)}));
    EXPECT_EQ(Plan(4, 4).codes, (Codes{S(0), R(0), 0, 0, S(1), 0, R(1), 0, S(2), R(2), S(3), R(3)}));
    EXPECT_EQ(Plan(4, 5).codes, (Codes{0, 0, 0, 0, 0, S(1), 0, R(1)}));
    EXPECT_EQ(Plan(4, 6).codes, (Codes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, S(2), R(2)}));
    EXPECT_EQ(Plan(4, 7).codes, (Codes{0, 0, S(0), R(0)}));
    EXPECT_EQ(Plan(4, 8).command, HomingCommand::None);
    EXPECT_EQ(Plan(4, 9).command, HomingCommand::None);
}

TEST(HomingPlan, EightHeadTypeHomesHeadsBySwitch) {
    using Words = std::array<std::int32_t, 12>;
    EXPECT_EQ(Plan(7, 0).words, (Words{S(0), S(1), R(0), S(2), S(2), S(2), S(2), S(2), S(2), S(2), S(2), R(2)}));
    HomingAxisSwitches s;
    s.m_05_A2 = 0;
    s.m_0B_L1 = 0;
    s.m_01_Y = 0;
    EXPECT_EQ(Plan(7, 4, s).words, (Words{S(0), 0, R(0), S(2), 0, S(2), S(2), S(2), S(2), S(2), 0, R(2)}));
    EXPECT_EQ(Plan(7, 1).words, (Words{S(0), 0, R(0), 0, 0, 0, 0, 0, 0, 0, 0, R(2)}));
    EXPECT_EQ(Plan(7, 2).words, (Words{0, S(1), R(0), 0, 0, 0, 0, 0, 0, 0, 0, R(2)}));
    EXPECT_EQ(Plan(7, 3).words, (Words{0, 0, R(0), S(2), S(2), S(2), S(2), S(2), S(2), S(2), S(2), R(2)}));
    for (int kind = 5; kind <= 9; ++kind) EXPECT_EQ(Plan(7, kind).command, HomingCommand::None);
    EXPECT_TRUE(HomingCommandOnLink(HomingCommand::Home72, true));
    EXPECT_FALSE(HomingCommandOnLink(HomingCommand::Home72, false));
    EXPECT_FALSE(HomingCommandOnLink(HomingCommand::Home52, true));
    EXPECT_TRUE(HomingCommandOnLink(HomingCommand::Home02, true));
}

// ---- homing against the simulated machine ----

class HomingTest : public ConnSimTest {
protected:
    // Homes `kind` on a fresh frame record and gives the data of the one homing
    // frame `code` the machine received ("" when not exactly one came).
    std::string HomeOnce(int kind, std::uint16_t code) {
        sim->machine().ClearRecords();
        if (!MachineReset(kind, true) || !HomingEnded()) return "";
        const auto homes = FramesOf(code);
        return homes.size() == 1 ? HexOf(homes[0].data) : "";
    }
    static std::string HexOfCodes(const Codes& codes) {
        return HexOf(std::vector<std::uint8_t>(codes.begin(), codes.end()));
    }
};

TEST_F(HomingTest, EveryKindOnEveryCommonTypeOverSerial) {
    for (int type : {0, 1, 2, 3, 5, 6, 8, 9}) {
        StartSim(type, true, false);
        ASSERT_TRUE(ConnectSerial());
        for (int kind = 0; kind <= 9; ++kind) {
            SCOPED_TRACE(std::to_string(type) + "/" + std::to_string(kind));
            g_Homed = false;
            g_HeadResetOk = false;
            g_PulseX = 11;
            g_PulseY = -12;
            g_PulseZ[1] = 13;
            g_PulseFeederWalk[1] = 14;
            Codes expected = Plan(type, kind).codes;
            if (type != 3 && type != 6) expected[6] = expected[7] = 0;  // no 3-4 rocker
            EXPECT_EQ(HomeOnce(kind, 0x02), HexOfCodes(expected));
            // The handler's switching reaches the machine after the busy flag is free.
            const std::size_t switched = kind == 0 ? 4 : kind >= 5 && kind <= 8 ? 1 : 0;
            WaitUntil([&] { return sim->machine().OutputLog().size() >= switched; });
            const auto outputs = sim->machine().OutputLog();
            std::vector<int> off;
            for (const auto& o : outputs) {
                EXPECT_EQ(o.value, 0);
                off.push_back(o.channel);
            }
            if (kind >= 5 && kind <= 8) EXPECT_EQ(off, std::vector<int>{kind});  // the bank, before homing
            else if (kind == 0) EXPECT_EQ(off, (std::vector<int>{1, 2, 3, 4}));  // the nozzles, after
            else EXPECT_TRUE(off.empty());
            // The counters of the homed axes are 0, the others untouched.
            const bool x = kind == 0 || kind == 1 || kind == 4, y = kind == 0 || kind == 2 || kind == 4;
            const bool z = kind == 0 || kind == 3 || kind == 4, walk = kind == 0 || kind == 6;
            EXPECT_EQ(g_PulseX.load(), x ? 0 : 11);
            EXPECT_EQ(g_PulseY.load(), y ? 0 : -12);
            EXPECT_EQ(g_PulseZ[1].load(), z ? 0 : 13);
            EXPECT_EQ(g_PulseFeederWalk[1].load(), walk ? 0 : 14);
            EXPECT_EQ(g_Homed.load(), kind == 0);
            EXPECT_EQ(g_HeadResetOk.load(), kind == 0 || kind == 3 || kind == 4);
            EXPECT_FALSE(g_Running);
        }
        GetSerialLink().Close();
        g_Connected = false;
        sim->Stop();
    }
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(HomingTest, TwoTableTypeHomesOverSerialOnly) {
    StartSim(4);
    ASSERT_TRUE(ConnectSerial());
    for (int kind = 0; kind <= 7; ++kind) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(HomeOnce(kind, 0x52), HexOfCodes(Plan(4, kind).codes));
    }
    EXPECT_TRUE(g_Homed);  // kind 0 homed everything
    // Kinds 8 and 9 have no command: nothing sent, not busy, the stored kind kept.
    sim->machine().ClearRecords();
    g_PanelLink.resetKind = 7;
    EXPECT_FALSE(MachineReset(8, true));
    EXPECT_FALSE(g_Running);
    EXPECT_EQ(g_PanelLink.resetKind.load(), 7);
    EXPECT_TRUE(sim->machine().Frames().empty());

    // Over Ethernet the type-4 homing cannot be sent: said at once, never busy.
    GetSerialLink().Close();
    g_Connected = false;
    ASSERT_TRUE(ConnectEthernet());
    sim->machine().ClearRecords();
    EXPECT_FALSE(MachineReset(0, true));
    EXPECT_FALSE(g_Running);
    EXPECT_EQ(boxes.Texts().back(), "通讯未完成 ！");
    EXPECT_TRUE(sim->machine().Frames().empty());
}

TEST_F(HomingTest, EightHeadTypeHomesOverEthernetOnly) {
    StartSim(7);
    HomingAxisSwitches s;
    s.m_06_A3 = 0;
    TheHomingPort().axisSwitches = [s] { return s; };
    // The heads whose switch is on must report home (the panel's Z check mask).
    g_PanelLink.zCheckMask = 0xFF;
    ASSERT_TRUE(ConnectSerial());
    EXPECT_FALSE(MachineReset(0, true));
    EXPECT_FALSE(g_Running);
    EXPECT_EQ(boxes.Texts().back(), "通讯未完成 ！");
    GetSerialLink().Close();
    g_Connected = false;

    ASSERT_TRUE(ConnectEthernet());
    for (int kind = 0; kind <= 4; ++kind) {
        SCOPED_TRACE(kind);
        Payload expected;
        for (std::int32_t w : Plan(7, kind, s).words) expected.I32(w);
        EXPECT_EQ(HomeOnce(kind, 0x72), HexOf(expected.Bytes()));
    }
    EXPECT_TRUE(g_Homed);
    EXPECT_TRUE(g_HeadResetOk);
    const auto trace = hooks.Calls();
    EXPECT_NE(std::find(trace.begin(), trace.end(), "trace 72->复位"), trace.end());
    EXPECT_NE(std::find(trace.begin(), trace.end(), "trace 72->end"), trace.end());
    // No command for kinds 5..9: not busy afterwards.
    EXPECT_FALSE(MachineReset(9, true));
    EXPECT_FALSE(g_Running);
}

TEST_F(HomingTest, ZMismatchEndsTheHomingWithAMessage) {
    StartSim(7, false, true);
    g_PanelLink.zCheckMask = 0xFF;
    sim->machine().SetZStateOverride(0x0F);  // heads 5..8 do not report home
    ASSERT_TRUE(ConnectEthernet());
    ASSERT_TRUE(MachineReset(0, true));
    ASSERT_TRUE(HomingEnded());
    EXPECT_FALSE(g_Homed);
    EXPECT_FALSE(g_HeadResetOk);
    EXPECT_EQ(g_PanelLink.resetKind.load(), -1);
    ASSERT_TRUE(WaitUntil([&] { return boxes.Count() >= 1; }));
    EXPECT_EQ(boxes.Texts().back(), HomingFailedText("机器报错 / machine error"));
    const auto calls = hooks.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "trace Machine reset Z warning !"), calls.end());
    // The operator can home again.
    sim->machine().SetZStateOverride(-1);
    ASSERT_TRUE(MachineReset(0, true));
    ASSERT_TRUE(HomingEnded());
    EXPECT_TRUE(g_Homed);
}

TEST_F(HomingTest, ErrorReportDuringHomingEndsItWithAMessage) {
    StartSim(2, true, false);
    ASSERT_TRUE(ConnectSerial());
    sim->faults().ErrorNext(0xE2, 3);
    ASSERT_TRUE(MachineReset(0, true));
    ASSERT_TRUE(HomingEnded());
    EXPECT_FALSE(g_Homed);
    ASSERT_TRUE(WaitUntil([&] { return boxes.Count() >= 2; }));
    auto texts = boxes.Texts();
    std::sort(texts.begin(), texts.end());
    std::vector<std::string> expected{"Error E2-03电机或传感器故障 !", HomingFailedText("机器报错 / machine error")};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(texts, expected);
}

TEST_F(HomingTest, UnansweredHomingEndsAtItsLimitAndALateReplyChangesNothing) {
    StartSim(0, true, false);
    ASSERT_TRUE(ConnectSerial());
    SetWaitLimitOverride(WaitKind::Homing, 300ms);
    sim->faults().SilenceNext(1);
    ASSERT_TRUE(MachineReset(1, true));
    ASSERT_TRUE(HomingEnded());
    ASSERT_TRUE(WaitUntil([&] { return boxes.Count() >= 1; }));
    EXPECT_EQ(boxes.Texts().back(), HomingFailedText("无应答 / no answer"));
    // Another action holds the machine now; a homing reply arriving late must not
    // release it.
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
        sim->machine().ClearRecords();
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

TEST(HomingMenu, ItemsPerMachineType) {
    auto find = [](const std::array<ResetMenuItem, 9>& items, int id) {
        return *std::find_if(items.begin(), items.end(), [id](const ResetMenuItem& i) { return i.id == id; });
    };
    const auto t4 = ResetMenuItems(4, true);
    EXPECT_EQ(find(t4, kMenuResetEast).captionKey, "c_ID_Reset_X2");
    EXPECT_EQ(find(t4, kMenuResetWest).captionKey, "c_ID_Reset_Y2");
    EXPECT_EQ(find(t4, kMenuResetNorth).captionKey, "c_ID_Reset_Z2");
    EXPECT_TRUE(find(t4, kMenuResetEast).enabled);
    const auto t7 = ResetMenuItems(7, false);
    EXPECT_EQ(find(t7, kMenuResetWest).captionKey, "c_ID_Reset_WestWalk");
    EXPECT_FALSE(find(t7, kMenuResetWest).enabled);
    EXPECT_TRUE(find(ResetMenuItems(2, false), kMenuResetNorth).enabled);
    EXPECT_FALSE(find(ResetMenuItems(2, true), kMenuResetNorth).enabled);
    for (int type = 0; type <= 9; ++type) {
        const auto items = ResetMenuItems(type, false);
        EXPECT_FALSE(find(items, kMenuResetSouth).enabled);
        EXPECT_TRUE(find(items, kMenuSetAllZero).enabled);
        EXPECT_TRUE(find(items, kMenuResetXYZ).enabled);
    }
    EXPECT_EQ(ResetKindOfMenu(kMenuResetX), 1);
    EXPECT_EQ(ResetKindOfMenu(kMenuResetZ), 3);
    EXPECT_EQ(ResetKindOfMenu(kMenuResetWest), 5);
    EXPECT_EQ(ResetKindOfMenu(kMenuResetNorth), 6);
    EXPECT_EQ(ResetKindOfMenu(kMenuResetEast), 7);
    EXPECT_EQ(ResetKindOfMenu(kMenuResetSouth), 8);
    EXPECT_EQ(ResetKindOfMenu(kMenuSetAllZero), -1);
}

TEST(HomingMenu, OneKeyClearRecordsTheCountersAsReference) {
    TheHomingPort() = HomingPort{};
    g_PulseX = 1200;
    g_PulseY = -300;
    g_PulseX2 = 7;
    g_PulseY2 = -9;
    std::array<std::int32_t, 4> recorded{};
    TheHomingPort().recordReference = [&](const std::array<std::int32_t, 4>& c) { recorded = c; };
    ScriptedResponder boxes;
    OnResetMenu(kMenuSetAllZero);
    const BasicSettings& b = TheBasicSettings();
    EXPECT_EQ(b.m_RefPulseX, 1200);
    EXPECT_EQ(b.m_RefPulseY, -300);
    EXPECT_EQ(b.m_RefPulseX2, 7);
    EXPECT_EQ(b.m_RefPulseY2, -9);
    EXPECT_EQ(recorded, (std::array<std::int32_t, 4>{1200, -300, 7, -9}));
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(g_PulseX.load(), 1200);  // no counter changes
    ClearPositionCounters();
    TheHomingPort() = HomingPort{};
}
