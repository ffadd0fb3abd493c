// The reply handlers the homing flows (homing_test) do not reach: the busy flag
// handed to the visual-origin move, the link-established step without homing or
// after an abandoned attempt, and the vacuum trace.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/combined_commands.h"
#include "link/reply_handlers.h"
#include "sim_fixture.h"

using namespace smt;
using namespace smt::test;

namespace {

const HomeAxesSpeeds kAllAxes{{5, 50}, {5, 50}, {5, 50}, {5, 50}, {5, 50}, {5, 50}, {5, 50}};

class Handlers : public SimTest {
protected:
    void Start(bool serial) {
        StartMachine(serial, 0);
        g_PanelLink.zCheckMask = 3;
        InstallCommandReplyHandlers();
        auto& port = TheCommandPanel();
        port.startHoming = [this](int kind) { hooks.add("homing " + std::to_string(kind)); };
        port.enableResetButton = [this] { hooks.add("reset button"); };
        port.clearResetToOriginFlag = [this] { hooks.add("origin flag cleared"); };
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
    EXPECT_FALSE(g_Running);
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
