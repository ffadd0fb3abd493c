// Connecting over either link: the port scan, the discovery, the captions, and
// what follows a connect (homing, travel limits, live view) or a board time-out.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim_fixture.h"
#include "platform/system.h"
#include "settings/version_switches.h"

using namespace smt;
using namespace smt::test;
using namespace std::chrono_literals;

namespace {

int CountOf(const std::vector<std::string>& calls, const std::string& what) {
    return static_cast<int>(std::count(calls.begin(), calls.end(), what));
}

class ConnectTest : public ConnSimTest {};

}  // namespace

TEST_F(ConnectTest, SerialConnectScansFromTheSavedPortAndHomesWhenAsked) {
    StartSim(0);
    TheBasicSettings().m_OnlineToReset = 1;
    comNumber = 3;
    ASSERT_TRUE(ConnectSerial());
    EXPECT_TRUE(g_Connected);
    EXPECT_EQ(savedCom, 5);
    ASSERT_TRUE(WaitUntil([] { return g_Homed.load(); }));
    ASSERT_TRUE(HomingEnded());
    const auto calls = hooks.Calls();
    // Captions in order: connecting, then connected.
    const auto connecting = std::find(calls.begin(), calls.end(), "caption 联机中");
    const auto connected = std::find(calls.begin(), calls.end(), "caption 联机成功");
    ASSERT_NE(connecting, calls.end());
    ASSERT_NE(connected, calls.end());
    EXPECT_LT(connecting, connected);
    // Full homing: 0x02 with the reset speeds of X, Y, Z1, west, north, east (no 3-4 rocker on type 0).
    const auto homes = FramesOf(0x02);
    ASSERT_EQ(homes.size(), 1u);
    EXPECT_EQ(HexOf(homes[0].data), "0A 64 0B 65 0C 66 00 00 12 6C 14 6E 16 70");
    EXPECT_TRUE(sim->machine().Homed());
    EXPECT_EQ(g_PanelLink.resetKind.load(), 0);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(ConnectTest, WithoutMachineSerialFailsQuietlyAndRestartsAtPortOneEthernetSaysSo) {
    comNumber = 97;
    EXPECT_FALSE(ConnectSerial());
    EXPECT_FALSE(g_Connected);
    EXPECT_EQ(savedCom, 1);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_FALSE(ConnectEthernet());
    EXPECT_FALSE(g_Connected);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Ethernet is no Find !"});
    EXPECT_EQ(CountOf(hooks.Calls(), "caption 联机失败"), 2);
    EXPECT_TRUE(g_FirstConnect);
    EXPECT_FALSE(UdpReplyThreadRunning());
}

TEST_F(ConnectTest, ConnectButtonRunsOffTheCallingThreadAndSavedPortZeroScansFromTheFirst) {
    StartSim(0);
    comNumber = 0;  // a section without the key
    TheBasicSettings().m_CommModel = 0;
    ASSERT_TRUE(OnConnect());
    EXPECT_FALSE(OnConnect());  // one connect at a time
    ASSERT_TRUE(WaitUntil([] { return g_Connected.load() && !Connecting(); }));
    EXPECT_EQ(savedCom, 5);
}

TEST_F(ConnectTest, EthernetFindsTheBoardByDiscoveryAndKeepsTheComputerAwake) {
    StartSim(0, false, true);
    std::string board;
    ASSERT_TRUE(FindMainBoard(board, TheConnectOptions().discovery));
    EXPECT_EQ(board, "127.0.0.2");

    ASSERT_TRUE(ConnectEthernet());
    EXPECT_TRUE(g_Connected);
    EXPECT_FALSE(g_FirstConnect);
    EXPECT_TRUE(UdpReplyThreadRunning());
    EXPECT_TRUE(plat::KeepAwakeHeld());
    EXPECT_EQ(CountOf(hooks.Calls(), "caption 联机成功"), 1);
    const std::uint16_t localPort = GetMachineLink().Endpoint().LocalPort();

    // After a board time-out the next connect finds the board again but keeps the
    // endpoint and the one reply dispatcher.
    g_Connected = false;
    ASSERT_TRUE(ConnectEthernet());
    EXPECT_EQ(GetMachineLink().Endpoint().LocalPort(), localPort);
    EXPECT_TRUE(UdpReplyThreadRunning());

    // The link carries commands: a homing over Ethernet is answered.
    ASSERT_TRUE(MachineReset(1, true));
    ASSERT_TRUE(HomingEnded());
    ASSERT_EQ(FramesOf(0x02).size(), 1u);
    EXPECT_EQ(FramesOf(0x02)[0].data.size(), 56u);
    ShutDownLinks();
    EXPECT_FALSE(plat::KeepAwakeHeld());
}

TEST_F(ConnectTest, BoardTimeOutReportClearsConnectedAndEndsTheHoming) {
    StartSim(0, false, true);
    ASSERT_TRUE(ConnectEthernet());
    sim->faults().ErrorNext(0x41);
    ASSERT_TRUE(MachineReset(2, true));
    ASSERT_TRUE(HomingEnded());
    EXPECT_FALSE(g_Connected);
    EXPECT_FALSE(g_Running);
    // The report (reply thread) and the end of the homing (its watcher) in either order.
    ASSERT_TRUE(WaitUntil([&] { return boxes.Count() >= 2; }));
    const auto texts = boxes.Texts();
    EXPECT_EQ(CountOf(texts, "Error-41 = 机头板超时 !"), 1);
    EXPECT_EQ(CountOf(texts, HomingFailedText("机器报错 / machine error")), 1);
    EXPECT_EQ(g_PanelLink.resetKind.load(), -1);
    // Every guarded action now refuses until connected again.
    EXPECT_FALSE(ClaimMachineAction(false));
    EXPECT_EQ(boxes.Texts().back(), "Machine is not connection !");
}

TEST_F(ConnectTest, ConnectWhileConnectedOrBusyChangesNothing) {
    g_Connected = true;
    EXPECT_FALSE(OnConnect());
    EXPECT_FALSE(ConnectNow());
    g_Connected = false;
    g_Running = true;
    EXPECT_FALSE(OnConnect());
    EXPECT_TRUE(hooks.Calls().empty());
}

TEST_F(ConnectTest, TravelLimitsFollowTheHandshakeOnlyWhenSwitchedOn) {
    StartSim(0);
    TheBasicSettings().m_X_Limit = 100.5;
    TheBasicSettings().m_Y_Limit = -0.1;
    ThePulseFactors().m_X_Pulse = 80;
    ThePulseFactors().m_Y_Pulse = 80;
    hooks.limitsOnLink = false;
    ASSERT_TRUE(ConnectSerial());
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(FramesOf(0x01).empty());

    GetSerialLink().Close();
    g_Connected = false;
    hooks.limitsOnLink = true;
    ASSERT_TRUE(ConnectSerial());
    ASSERT_TRUE(WaitUntil([&] { return FramesOf(0x01).size() == 6u; }));
    const auto limits = sim->machine().AxisLimits();
    EXPECT_EQ(limits.at(0), 8040);
    EXPECT_EQ(limits.at(1), -8);
    std::vector<int> axes;
    for (auto& f : FramesOf(0x01)) axes.push_back(f.data.at(0));
    EXPECT_EQ(axes, (std::vector<int>{0, 1, 2, 8, 9, 10}));
    EXPECT_EQ(HexOf(FramesOf(0x01)[1].data), "01 80 00 00 08");
}

TEST_F(ConnectTest, ConnectingOpensTheLiveViewOnlyWhenItIsClosed) {
    StartSim(0, false, true);
    TheBasicSettings().m_OpenCamera = 1;
    bool open = true;
    int opened = 0;
    TheConnectPort().liveViewOpen = [&] { return open; };
    TheConnectPort().openLiveView = [&] { ++opened; open = !open; };
    ASSERT_TRUE(ConnectEthernet());
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(open);
    g_Connected = false;
    open = false;
    ASSERT_TRUE(ConnectEthernet());
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(open);
}
