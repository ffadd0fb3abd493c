// The shipped demo job run the way a newcomer runs it: the program started on the
// shipped start folder against the default simulated world with its cameras,
// connected, homed, the demo job opened and Start pressed. The whole board is
// placed, as the world's run check judges it (the depths of every stroke from the
// start folder's settings and job), and the machine ends homed and idle.
#include <QAbstractButton>
#include <QApplication>

#include <chrono>

#include "../../run/row_depths.h"
#include "app/document.h"
#include "joblist/run_toolbar.h"
#include "joblist/ui/dialog_part_list.h"
#include "link/homing.h"
#include "link/ui/manual_control_dialog.h"
#include "platform/profile.h"
#include "run/run_frame.h"
#include "run_check.h"
#include "shell_sim_fixture.h"
#include "vision/camera_service.h"

namespace smt::test {
namespace {

// The cameras' grab threads live on: the machine is idle once nothing holds it busy.
bool MachineIdle() { return !g_Running.load() && !HomingInProgress(); }

TEST(DemoRun, TheShippedDemoJobPlacesItsWholeBoardOnTheDefaultWorld) {
    g_Connected = g_Homed = g_Running = false;
    ClearPositionCounters();
    TempDir serialDir;
    setenv("SMT_SERIAL_DIR", serialDir.Path().c_str(), 1);
    sim::Scenario world;
    std::string error;
    ASSERT_TRUE(sim::Scenario::Load(SMT_SOURCE_DIR "/sim/default.scenario", &world, &error)) << error;
    sim::SimConfig c;
    c.machineType = 0;
    c.serialDir = serialDir.Path();
    c.comNumber = 3;
    c.serial = true;
    c.udp = false;
    c.cameras = true;
    sim::Simulator machine(c);
    machine.UseScenario(world);
    ASSERT_TRUE(machine.Start(&error)) << error;
    {
        ShellApp app;
        // The shell's cases run without cameras; this one has the world's, as shipped.
        plat::WritePrivateProfileString("CameraListConfig", "m_HighSpeedCamera", "1", app.Dir().File("config.ini"));
        plat::FlushProfileCache();
        ASSERT_TRUE(app.Start());
        ScriptedResponder boxes;
        CSMTView* view = app.View();
        CDialogManualControl* panel = view->m_pManualControl;
        ASSERT_NE(panel, nullptr);
        ASSERT_TRUE(app.Frame()->Document().OnOpenDocument(app.Dir().File("demo.smt")));

        panel->OnConnect();
        ASSERT_TRUE(PumpUntil([&] { return g_Connected.load() && !Connecting() && MachineIdle(); })) << boxes.Texts().size();
        ASSERT_TRUE(ResetButtonAction()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
        ASSERT_TRUE(PumpUntil([&] { return g_Homed.load() && MachineIdle(); }));

        ASSERT_TRUE(OnStartRun(ThePartList())) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
        ASSERT_TRUE(PumpUntil([] { return LiveRunThreads() == 0 && MachineIdle(); }, 180000));
        const std::vector<sim::RowTarget> rows = ListRowsWithDepths(world);
        const sim::RunCheckResult check = sim::CheckRun(machine.world()->ledger(), rows);
        EXPECT_TRUE(check.Passed() && check.parts == check.rows) << check.Table();
        EXPECT_TRUE(g_Homed.load());
        EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
        ShutDownLinks();
        TheCameraService().Shutdown();
    }
    machine.Stop();
    g_Connected = g_Homed = g_Running = false;
    unsetenv("SMT_SERIAL_DIR");
}

} // namespace
} // namespace smt::test
