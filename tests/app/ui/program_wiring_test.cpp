// The program's one wiring: every registered hook is filled once the program is
// wired and its window built. The settings
// reach the view through it: their sections load at the first update, their
// dialogs open from the settings menu, and their values drive
// the view's travel limits in pulses.
#include <QDialog>
#include <QTabWidget>

#include <map>

#include <opencv2/core.hpp>

#include "app/menus.h"
#include "base/hooks.h"
#include "link/commands.h"
#include "machine_ops/auto_transport.h"
#include "machine_ops/ui/dialog_auto_transport.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/rederive_hooks.h"
#include "machine_ops/ui/dialogspeedtemplate.h"
#include "machine_ops/ui/settings_wiring.h"
#include "settings/version_switches.h"
#include "shell_fixture.h"
#include "vision/ui/dialogsetview.h"

namespace smt::test {
namespace {

TEST(ProgramWiring, EveryHookIsFilled) {
    ShellApp app;
    ASSERT_TRUE(app.Start());
    std::vector<std::string> empty;
    for (const HookEntry& e : TheHookRegistry().Entries())
        if (!e.filled()) empty.push_back(e.name);
    EXPECT_EQ(empty, std::vector<std::string>{});
    EXPECT_GT(TheHookRegistry().Entries().size(), 120u);
}

// Every member of every hook struct is registered: a member left out of its
// struct's registration list (or a struct registered without its declaration)
// fails here, so the test above sees every hook.
TEST(ProgramWiring, EveryMemberOfEveryHookStructIsRegistered) {
    ShellApp app;
    ASSERT_TRUE(app.Start());
    std::map<std::string, std::size_t> registered;
    for (const HookEntry& e : TheHookRegistry().Entries())
        if (auto dot = e.name.find('.'); dot != std::string::npos) ++registered[e.name.substr(0, dot)];
    std::map<std::string, std::size_t> declared;
    for (const HookPort& p : TheHookRegistry().Ports()) declared[p.name] = p.members;
    std::vector<std::string> undeclared;
    for (const auto& [name, count] : registered)
        if (!declared.count(name)) undeclared.push_back(name);
    EXPECT_EQ(undeclared, std::vector<std::string>{});
    std::map<std::string, std::size_t> counted;
    for (const auto& [name, members] : declared) counted[name] = registered.count(name) ? registered[name] : 0;
    EXPECT_EQ(counted, declared);  // registered hooks per struct against its members
}

// The panels fill no hook of their own accord: a hook that only a panel's
// constructor filled would pass the test above (the window is built there) yet
// stay empty whenever that panel is not made. The wiring fills them all.
TEST(ProgramWiring, BuildingThePanelsFillsNoHook) {
    ShellApp app;
    ASSERT_TRUE(app.Start());
    std::vector<std::function<void()>> putBack;
    for (const HookEntry& e : TheHookRegistry().Entries()) putBack.push_back(e.takeOut());
    std::vector<std::string> filled;
    {
        CDialogSetView panel(app.Dir().Path(), "Chinese", nullptr);
        CDialogAutoTransport conveyor(TheAutoTransport());
        for (const HookEntry& e : TheHookRegistry().Entries())
            if (e.filled()) filled.push_back(e.name);
    }
    for (const auto& f : putBack) f();
    EXPECT_EQ(filled, std::vector<std::string>{});
}

// "相机2启用畸变校正" survives the start when its lens file is there and valid; a
// missing file clears it in memory (the file keeps the operator's choice).
TEST(ProgramWiring, LensCalibrationLoadsAtStartFromTheStartFolder) {
    const std::string section = "[SetBasicConfig]\r\nm_X_Limit=400\r\nm_Y_Limit=-300\r\nm_Z_Limit=-10\r\n";
    {
        ShellApp app(section + "m_CameraLens=1\r\nm_Calibrator2=1\r\n");  // the 6 mm file is missing
        ASSERT_TRUE(app.Start());
        EXPECT_EQ(TheBasicSettings().m_Calibrator2, 0);
        EXPECT_EQ(app.Config("SetBasicConfig", "m_Calibrator2"), "1");
    }
    ShellApp app(section + "m_CameraLens=0\r\nm_Calibrator2=1\r\n");
    {
        cv::FileStorage fs(app.Dir().File("cameraCalibrate_data8mm.xml"), cv::FileStorage::WRITE);
        fs << "image_Width" << 640 << "image_Height" << 480;
        fs << "Camera_Matrix" << cv::Mat::eye(3, 3, CV_64F) << "Distortion_Coefficients" << cv::Mat::zeros(1, 5, CV_64F);
    }
    ASSERT_TRUE(app.Start());
    EXPECT_EQ(TheBasicSettings().m_Calibrator2, 1);
}

TEST(SettingsWiring, FirstUpdateLoadsTheSectionsAndTheMenuOpensTheirDialogs) {
    ShellApp app("[SetBasicConfig]\r\nm_X_Limit=400.0000\r\nm_Y_Limit=300.0000\r\nm_Z_Limit=20.0000\r\n"
                 "m_CommModel=1\r\n"
                 "[SetPulseConfig]\r\nm_X_Pulse=80.5000\r\nm_Y_Pulse=100.0000\r\nm_Z_Pulse=40.0000\r\n"
                 "[CPUVersionNumberConfig]\r\nm_V2_04=1\r\nm_V2_06=1\r\n"
                 "[SpeedTemplateConfig]\r\nm_SpeedMenuCheck=2\r\n");
    ASSERT_TRUE(app.Start());
    EXPECT_DOUBLE_EQ(TheBasicSettings().m_X_Limit, 400.0);
    EXPECT_EQ(TheVersionSwitches().m_V2_06, 1);
    // The shell reads the live settings through its services.
    EXPECT_EQ(GetShellServices().commModel(), 1);
    EXPECT_EQ(GetShellServices().activeSpeedClass(), 2);
    EXPECT_DOUBLE_EQ(GetShellServices().pulseFactors()[0], 80.5);
    // The command functions check their targets against the view's limits.
    EXPECT_EQ(app.View()->m_LimitPulses.x, 32200);  // 400 mm at 80.5 pulses per mm
    EXPECT_EQ(CurrentMoveLimits().x, 32200);
    ThePulseFactors().m_X_Pulse = 100.0;
    TheSettingsRederivations().recomputeLimitPulses();
    EXPECT_EQ(app.View()->m_LimitPulses.x, 40000);
    EXPECT_EQ(CurrentMoveLimits().x, 40000);
    // A second update (new document) loads nothing: the first update runs once per process.
    int reloads = 0;
    app.View()->FirstUpdateSteps().Set("SetBasic.LoadConfig", [&](const StepContext&) { ++reloads; });
    app.View()->OnInitialUpdate();
    EXPECT_EQ(reloads, 0);

    // The settings menu opens the real dialogs or refuses as the machine's state says.
    using Texts = std::vector<std::string>;
    Texts opened;
    int speedPage = -1;
    app.View()->m_RunModal = [&](QDialog& d) {
        opened.push_back(d.objectName().toStdString());
        if (auto* speed = qobject_cast<::CDialogSpeedTemplate*>(&d)) speedPage = speed->Tabs()->currentIndex();
        return 0;
    };
    ScriptedResponder boxes;
    auto trigger = [&](std::initializer_list<int> ids) {
        for (int id : ids) app.Frame()->Action(id)->trigger();
    };
    trigger({cmd::SetPulse, cmd::VersionNumber, cmd::SpeedSet, cmd::MediumSpeedTemplate, cmd::FeedGroup,
             cmd::FirmwareUpdate, cmd::OftenData, cmd::PackData, cmd::MarkData});
    EXPECT_EQ(speedPage, 2);
    EXPECT_EQ(opened, (Texts{"CDialogSetPulse", "CDialogVersionNumber", "CDialogSpeedTemplate", "CDialogSpeedTemplate",
                             "CDialogFeedGroup", "CDialogFirmwareUpdate", "CDialogDropDownParameter",
                             "CDialogPackList", "CDialogMarkList"}));
    // Every one of these has its dialog by now.
    EXPECT_EQ(boxes.Texts(), Texts{});
}

} // namespace
} // namespace smt::test
