// The handlers of the replies that change the machine state, driven by the simulated
// machine's answers: link established, homing finished per kind and type, vacuum.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <tuple>

#include "link/combined_commands.h"
#include "link/reply_handlers.h"
#include "sim_fixture.h"

using namespace smt;
using namespace smt::test;

namespace {

// X 1, Y -2, X2 3, Y2 -4, Z 10.., A 20.., walk 30..
void FillCounters() {
    g_PulseX = 1; g_PulseY = -2; g_PulseX2 = 3; g_PulseY2 = -4;
    for (int n = 0; n < 8; ++n) g_PulseZ[n] = 10 + n, g_PulseA[n] = 20 + n;
    for (int w = 0; w < 4; ++w) g_PulseFeederWalk[w] = 30 + w;
}

const HomeAxesSpeeds kAllAxes{{5, 50}, {5, 50}, {5, 50}, {5, 50}, {5, 50}, {5, 50}, {5, 50}};
const HomeModel4Speeds kAllAxes4{5, 50, 5, 50, 5, 5, 50, 50, 5, 50, 5, 50, 5, 50};

class Handlers : public SimTest {
protected:
    void Start(bool serial, int machineType, std::uint8_t zMask = 3) {
        StartMachine(serial, machineType);
        g_PanelLink.zCheckMask = zMask;
        InstallCommandReplyHandlers();
        auto& port = TheCommandPanel();
        port.startHoming = [this](int kind) { hooks.add("homing " + std::to_string(kind)); };
        port.enableResetButton = [this] { hooks.add("reset button"); };
        port.showCommandCounter = [this](std::int32_t n) { hooks.add("commands " + std::to_string(n)); };
        port.clearNozzleChecks = [this] { hooks.add("untick"); };
        port.setCurrentCamera = [this](int c) { hooks.add("camera " + std::to_string(c)); };
        port.conveyorWidthPulses = [] { return 1234; };
        port.enableConveyorControl = [this] { hooks.add("conveyor"); };
        port.clearResetToOriginFlag = [this] { hooks.add("origin flag cleared"); };
    }
    // Homing of `kind` through the machine; true when its reply was handled.
    bool Home(int kind) {
        FillCounters();
        g_PanelLink.resetKind = kind;
        g_Running = true;
        g_Homed = false;
        if (hooks.machineType == 4) SendHomeAxesModel4(kAllAxes4);
        else if (hooks.machineType == 7) SendResetHeads({5, 5, 50, {5, 5, 5, 5, 5, 5, 5, 5}, 50});
        else SendHomeAxes(kAllAxes);
        return WaitUntil([] { return !g_Running.load(); });
    }
    std::vector<int> OutputsSwitched(int value) {
        std::vector<int> channels;
        for (const auto& o : machine().OutputLog())
            if (o.value == value) channels.push_back(o.channel);
        return channels;
    }
};

}  // namespace

TEST_F(Handlers, FullHomingZeroesEveryDriveAndFinishesTheMachine) {
    for (bool serial : {true, false}) {
        SCOPED_TRACE(serial ? "serial" : "Ethernet");
        Start(serial, 0);
        g_HeadResetOk = false;
        g_PanelLink.commandCounter = 7; g_PanelLink.replyCounter = 9;
        ASSERT_TRUE(Home(0));
        PositionSnapshot expected;
        expected.x2 = 3; expected.y2 = -4;
        expected.a = {20, 21, 22, 23, 24, 25, 26, 27};  // rotations are not homed
        expected.walk[3] = 33;                           // nor the S drive
        EXPECT_EQ(TakePositionSnapshot(), expected);
        EXPECT_TRUE(g_Homed);
        EXPECT_TRUE(g_HeadResetOk);
        EXPECT_EQ(g_PanelLink.commandCounter, 0);
        EXPECT_EQ(g_PanelLink.replyCounter, 0);
        for (const char* h : {"untick", "camera 0", "enable", "origin flag cleared"}) EXPECT_TRUE(HookSeen(h)) << h;
        ASSERT_TRUE(ReadVacuum(1));  // everything sent before it has arrived
        EXPECT_EQ(OutputsSwitched(0), (std::vector<int>{1, 2, 3, 4}));
        EXPECT_EQ(machine().SpeedGear(), 4);
        TearDown();
        SetUp();
    }
}

TEST_F(Handlers, PartialHomingsZeroTheirDrivesOnly) {
    Start(true, 0);
    FillCounters();
    const PositionSnapshot full = TakePositionSnapshot();
    auto with = [&](auto change) {
        PositionSnapshot s = full;
        change(s);
        return s;
    };
    const std::pair<int, PositionSnapshot> cases[] = {
        {1, with([](PositionSnapshot& s) { s.x = 0; })},
        {2, with([](PositionSnapshot& s) { s.y = 0; })},
        {3, with([](PositionSnapshot& s) { s.z = {}; })},
        {4, with([](PositionSnapshot& s) { s.x = 0; s.y = 0; s.z = {}; })},
        {5, with([](PositionSnapshot& s) { s.walk[0] = 0; })},
        {6, with([](PositionSnapshot& s) { s.walk[1] = 0; })},
        {7, with([](PositionSnapshot& s) { s.walk[2] = 0; })},
        {8, full},
        {9, with([](PositionSnapshot& s) { s.walk[3] = 1234; })},
    };
    for (const auto& [kind, after] : cases) {
        SCOPED_TRACE(kind);
        hooks.Take();
        g_HeadResetOk = false;
        ASSERT_TRUE(Home(kind));
        EXPECT_EQ(TakePositionSnapshot(), after);
        EXPECT_FALSE(g_Homed);
        EXPECT_EQ(g_HeadResetOk.load(), kind == 3 || kind == 4);
        EXPECT_EQ(HookSeen("enable"), kind != 8);
        EXPECT_EQ(HookSeen("conveyor"), kind == 9);
    }
}

TEST_F(Handlers, FullHomingHandsTheBusyFlagToTheVisualOriginMove) {
    Start(true, 0);
    TheBasicSettings().m_ResetToVisualOrigin = 1;
    // The positioning command claims the busy flag for its own worker.
    TheCommandPanel().moveCameraToVisualOrigin = [this] {
        bool idle = false;
        EXPECT_TRUE(g_Running.compare_exchange_strong(idle, true));
        hooks.add("to visual origin");
    };
    g_PanelLink.resetKind = 0;
    g_Running = true;
    SendHomeAxes(kAllAxes);
    ASSERT_TRUE(WaitUntil([this] { return HookSeen("origin flag cleared"); }));
    EXPECT_TRUE(HookSeen("to visual origin"));
    EXPECT_FALSE(HookSeen("enable"));
    EXPECT_TRUE(g_Running);  // still the origin move's
    EXPECT_TRUE(g_Homed);
    // The view's reset-to-origin flag keeps the camera where it is.
    hooks.Take();
    TheCommandPanel().resetToOriginFlag = [] { return true; };
    ASSERT_TRUE(Home(0));
    EXPECT_FALSE(HookSeen("to visual origin"));
    EXPECT_TRUE(HookSeen("enable"));
}

TEST_F(Handlers, DoubleTableHomingKinds) {
    Start(true, 4);
    TheCommandPanel().runSelect = [] { return 10; };
    ASSERT_TRUE(Home(0));
    PositionSnapshot s = TakePositionSnapshot();
    EXPECT_EQ(std::tuple(s.x, s.x2, s.y2), std::tuple(0, 0, 0));
    EXPECT_EQ(s.z, (std::array<std::int32_t, 8>{0, 0, 0, 0, 0, 0, 16, 17}));
    EXPECT_EQ(s.walk, (std::array<std::int32_t, 4>{0, 0, 0, 33}));
    EXPECT_TRUE(g_Homed);
    ASSERT_TRUE(ReadVacuum(1));
    EXPECT_EQ(OutputsSwitched(0), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(OutputsSwitched(1), (std::vector<int>{7, 8}));

    ASSERT_TRUE(Home(5));
    s = TakePositionSnapshot();
    EXPECT_EQ(std::tuple(s.walk[0], s.y2, s.x2), std::tuple(0, 0, 3));
    ASSERT_TRUE(Home(6));
    s = TakePositionSnapshot();
    EXPECT_EQ(std::tuple(s.walk[1], s.z[4], s.z[5], s.z[3]), std::tuple(0, 0, 0, 13));
    ASSERT_TRUE(Home(7));
    s = TakePositionSnapshot();
    EXPECT_EQ(std::tuple(s.walk[2], s.x2, s.y2), std::tuple(0, 0, -4));
    ASSERT_TRUE(Home(3));
    s = TakePositionSnapshot();
    EXPECT_EQ(s.z, (std::array<std::int32_t, 8>{0, 0, 0, 0, 14, 15, 16, 17}));
}

TEST_F(Handlers, EightHeadHomingReleasesTheVacuumOfTheCheckedNozzles) {
    Start(false, 7, 0xFF);
    TheBasicSettings().m_Exhaust = 2;
    ASSERT_TRUE(Home(0));
    EXPECT_TRUE(g_Homed);
    EXPECT_EQ(TakePositionSnapshot().z, (std::array<std::int32_t, 8>{}));
    ASSERT_TRUE(ReadVacuum(1));
    EXPECT_EQ(OutputsSwitched(0), (std::vector<int>{0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27}));
    EXPECT_EQ(machine().OutputLog().front().extra, 2);
    // Run modes 1 and 2 leave the eighth nozzle alone.
    machine().ClearRecords();
    TheCommandPanel().runSelect = [] { return 2; };
    ASSERT_TRUE(Home(0));
    ASSERT_TRUE(ReadVacuum(1));
    EXPECT_EQ(OutputsSwitched(0).size(), 7u);
}

TEST_F(Handlers, LinkEstablishedOnTheSerialHandshake) {
    // Connect with the handlers in place: the handshake's answer runs them.
    ResetCommandWorld(true);
    TheBasicSettings().m_OnlineToReset = 1;
    InstallCommandReplyHandlers();
    TheCommandPanel().startHoming = [this](int kind) { hooks.add("homing " + std::to_string(kind)); };
    g_PanelLink.commandCounter = 5;
    g_PanelLink.resetKind = 3;
    StartSim(0, true, false, 6);
    int number = 6;
    ASSERT_TRUE(GetSerialLink().Open(number));
    ASSERT_TRUE(WaitUntil([this] { return HookSeen("homing 0"); }));
    EXPECT_EQ(g_PanelLink.resetKind, 0);
    EXPECT_EQ(g_PanelLink.commandCounter, 0);
    EXPECT_TRUE(HookSeen("caption 联机成功"));
    EXPECT_TRUE(HookSeen("replies 0"));
    EXPECT_FALSE(HookSeen("enable"));
}

TEST_F(Handlers, LinkEstablishedOnEthernetWithoutHoming) {
    Start(false, 0);
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
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    g_StopReceive = true;  // the scan gives the port up
    late.join();
    g_StopReceive = false;
    g_Connected = true;  // another port connects
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
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
    for (bool serial : {true, false}) {
        SCOPED_TRACE(serial ? "serial" : "Ethernet");
        Start(serial, 0);
        machine().SetVacuumOverride(2, 57);
        ASSERT_TRUE(ReadVacuum(2));
        EXPECT_EQ(Traces(), (std::vector<std::string>{"检测真空值为：57kPa"}));
        TearDown();
        SetUp();
    }
    // The caption file's text replaces the built-in one.
    SetVacuumCaption("Vacuum: ");
    g_VacuumReading = 3;
    ShowVacuumReading();
    EXPECT_EQ(Traces().back(), "Vacuum: 3kPa");
    SetVacuumCaption("检测真空值为：");
}
