// Connecting over either link: the port scan, the discovery, the captions, what
// follows a connect (homing, travel limits, live view) or a board time-out, and the
// reply handlers the homing flows do not reach.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "sim_fixture.h"
#include "link/combined_commands.h"
#include "link/reply_handlers.h"
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
    EXPECT_EQ(g_PanelLink.resetKind.load(), -1);  // a finished full homing is no longer under way
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
    EXPECT_EQ(CountOf(texts, HomingFailedText(HomingFailure::MachineError)), 1);
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
    ThePulseFactors().m_Y_Pulse = 120;  // apart, so that a swapped factor shows
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
    EXPECT_EQ(limits.at(1), -12);
    std::vector<int> axes;
    for (auto& f : FramesOf(0x01)) axes.push_back(f.data.at(0));
    EXPECT_EQ(axes, (std::vector<int>{0, 1, 2, 8, 9, 10}));
    EXPECT_EQ(HexOf(FramesOf(0x01)[1].data), "01 80 00 00 0C");

    // Over Ethernet too: the board then refuses the moves the program refuses.
    GetSerialLink().Close();
    g_Connected = false;
    machine().ClearRecords();
    ASSERT_TRUE(ConnectEthernet());
    ASSERT_TRUE(WaitUntil([&] { return FramesOf(0x01).size() == 6u; }));
    EXPECT_EQ(HexOf(FramesOf(0x01)[0].data), "00 68 1F 00 00");
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

// ---- reply handlers: the busy flag handed on, link established, the vacuum trace ----

namespace {

const HomeAxesSpeeds kAllAxes{{5, 50}, {5, 50}, {5, 50}, {5, 50}, {5, 50}, {5, 50}, {5, 50}};

class Handlers : public SimTest {
protected:
    void Start(bool serial) {
        // Every hook is in place before the link's reply thread starts.
        StartMachine(serial, 0, [this] {
            g_PanelLink.zCheckMask = 3;
            InstallCommandReplyHandlers();
            auto& port = TheCommandPanel();
            port.startHoming = [this](int kind) { hooks.add("homing " + std::to_string(kind)); };
            port.enableResetButton = [this] { hooks.add("reset button"); };
            port.clearResetToOriginFlag = [this] { hooks.add("origin flag cleared"); };
        });
    }
    // A full homing through the machine; true when its reply was handled.
    bool HomeAll() {
        g_PanelLink.resetKind = 0;
        g_Running = true;
        SendHomeAxes(kAllAxes);
        return WaitUntil([this] { return HookSeen("origin flag cleared"); });
    }
};

}  // namespace

TEST_F(Handlers, FullHomingHandsTheBusyFlagToTheVisualOriginMove) {
    Start(true);
    TheBasicSettings().m_ResetToVisualOrigin = 1;
    // The positioning command claims the busy flag for its own worker.
    TheCommandPanel().moveCameraToVisualOrigin = [this] {
        bool idle = false;
        EXPECT_TRUE(g_Running.compare_exchange_strong(idle, true));
        hooks.add("to visual origin");
    };
    ASSERT_TRUE(HomeAll());
    EXPECT_TRUE(HookSeen("to visual origin"));
    EXPECT_FALSE(HookSeen("enable"));
    EXPECT_TRUE(g_Running);  // still the origin move's
    EXPECT_TRUE(g_Homed);
    // The view's reset-to-origin flag keeps the camera where it is.
    hooks.Take();
    TheCommandPanel().resetToOriginFlag = [] { return true; };
    ASSERT_TRUE(HomeAll());
    EXPECT_FALSE(HookSeen("to visual origin"));
    EXPECT_TRUE(HookSeen("enable"));
    // This homing never claimed the busy flag: its end leaves the flag to its holder.
    EXPECT_TRUE(g_Running);
}

TEST_F(Handlers, LinkEstablishedOnEthernetWithoutHoming) {
    Start(false);
    TheBasicSettings().m_OnlineToReset = 0;
    hooks.debugModel = true;
    OnLinkEstablished();
    EXPECT_TRUE(HookSeen("reset button"));
    EXPECT_TRUE(HookSeen("enable"));  // debug model: controls before homing
    EXPECT_FALSE(HookSeen("homing 0"));
    EXPECT_FALSE(g_Homed);
    hooks.Take();
    hooks.debugModel = false;
    OnLinkEstablished();
    EXPECT_TRUE(HookSeen("reset button"));
    EXPECT_FALSE(HookSeen("enable"));
}

TEST_F(Handlers, AbandonedAttemptEndsTheWaitWithoutEffects) {
    ResetCommandWorld(true);
    TheBasicSettings().m_OnlineToReset = 1;
    TheCommandPanel().startHoming = [this](int kind) { hooks.add("homing " + std::to_string(kind)); };
    g_Connected = false;
    std::thread late([] { OnLinkEstablished(); });
    std::this_thread::sleep_for(50ms);
    g_StopReceive = true;  // the scan gives the port up
    late.join();
    g_StopReceive = false;
    g_Connected = true;  // another port connects
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(HookSeen("homing 0"));
    EXPECT_FALSE(HookSeen("reset button"));
    // A connect that never completes does not hold the reply thread for ever.
    g_Connected = false;
    SetWaitLimitOverride(WaitKind::Query, plat::Millis(300));
    OnLinkEstablished();
    EXPECT_FALSE(HookSeen("homing 0"));
    EXPECT_TRUE(HookSeen("caption 联机成功"));
}

TEST_F(Handlers, VacuumReadingTraced) {
    Start(true);
    machine().SetVacuumOverride(2, 57);
    ASSERT_TRUE(ReadVacuum(2));
    EXPECT_EQ(Traces(), (std::vector<std::string>{"检测真空值为：57kPa"}));
    // The caption file's text replaces the built-in one.
    SetVacuumCaption("Vacuum: ");
    g_VacuumReading = 3;
    ShowVacuumReading();
    EXPECT_EQ(Traces().back(), "Vacuum: 3kPa");
    SetVacuumCaption("检测真空值为：");
}

// The interfaces the search goes out on: the one config.ini names (by name or
// address, and only when up), else every IPv4 interface that is up.
TEST(DiscoveryInterfaces, NamedOneOrEveryInterfaceThatIsUp) {
    const std::vector<NetInterface> all{{"lo", "127.0.0.1", true},
                                        {"eth0", "192.168.1.20", true},
                                        {"eth1", "10.0.0.5", false},
                                        {"wlan0", "172.16.0.9", true}};
    using A = std::vector<std::string>;
    const std::pair<const char*, A> rows[] = {
        {"lo", A{"127.0.0.1"}},
        {"127.0.0.1", A{"127.0.0.1"}},
        {"eth0", A{"192.168.1.20"}},
        {"eth1", A{}},  // down
        {"ppp0", A{}},  // not there
        {"", A{"127.0.0.1", "192.168.1.20", "172.16.0.9"}},
    };
    for (const auto& [named, want] : rows) EXPECT_EQ(DiscoveryAddresses(all, named), want) << named;
    TempDir dir;
    WriteBytes(dir.File("config.ini"), "[EthernetConfig]\r\nm_DiscoveryInterface= lo \r\n");
    EXPECT_EQ(ConfiguredDiscoveryInterface(dir.File("config.ini")), "lo");
    EXPECT_EQ(ConfiguredDiscoveryInterface(dir.File("missing.ini")), "");
    // The shipped start folder names the loopback, where the simulated board answers.
    EXPECT_EQ(ConfiguredDiscoveryInterface(std::string(SMT_SOURCE_DIR) + "/res/config.ini"), "lo");
}

