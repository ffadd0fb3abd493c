// The camera table in the running program: loaded at the first update, edited in
// the camera management dialog from the settings menu, kept by OK only.
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>

#include "../../app/ui/shell_fixture.h"
#include "app/menus.h"
#include "base/hooks.h"
#include "base/numtext.h"
#include "base/tablefile.h"
#include "link/busy.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "settings/pulse_settings.h"
#include "settings/rederive_hooks.h"
#include "machine_ops/ui/settings_wiring.h"
#include "vision/camera_list.h"
#include "vision/camera_panel_port.h"
#include "vision/set_view.h"
#include "vision/ui/dialog_camera_edit.h"
#include "vision/ui/dialog_camera_list.h"

namespace smt::test {
namespace {

std::string CameraLine(const std::string& name, const std::string& x) {
    CameraCells c;
    c.fill("0.0000");
    c[0] = name;
    c[1] = x;
    c[2] = "-250.0000";
    c[3] = "0.5000";
    c[20] = "20.00";
    c[21] = "10.00";
    c[22] = "100";
    c[23] = "120";
    c[24] = "2";
    c[25] = "5";
    c[26] = "10";
    c[27] = "50";
    return BuildCameraLines({c})[0];
}

struct CameraShell {
    // X and Y factors apart, so that a swap shows.
    ShellApp app{"[SetPulseConfig]\r\nm_X_Pulse=100\r\nm_Y_Pulse=80\r\nm_A_Pulse=100\r\n"
                 "[CameraListConfig]\r\nm_BaseDiameter=3.0\r\n"};
    std::vector<std::string> lines = {CameraLine("Camera 2", "200.0000"), CameraLine("Camera 1", "240.0000")};
    CDialogCameraList* dialog = nullptr;

    CameraShell() {
        WriteBytes(app.Dir().File("config_camera.fig"), EncodeTableFile(lines, nullptr));
        started = app.Start();
        app.View()->m_RunModal = [this](QDialog& d) {
            dialog = qobject_cast<CDialogCameraList*>(&d);
            return 0;
        };
    }
    bool started = false;
};

TEST(CameraDialogs, ManagementDialogEditsTheTableAndOkStoresIt) {
    CameraShell s;
    ASSERT_TRUE(s.started);
    CameraList& list = TheCameraList();
    ASSERT_EQ(list.CameraCount(), 2);
    EXPECT_EQ(list.Settings().m_BaseDiameter, 5.0);
    ASSERT_EQ(ThePositioningPort().cameraRecords().size(), 2u);
    EXPECT_EQ(ThePositioningPort().cameraRecords()[1].x, "240.0000");

    s.app.Frame()->Action(cmd::CameraList)->trigger();
    ASSERT_TRUE(s.dialog);
    CDialogCameraList& d = *s.dialog;
    ASSERT_EQ(d.List()->rowCount(), 2);
    EXPECT_EQ(d.List()->item(0, 1)->background().color(), QColor(200, 250, 250));
    EXPECT_EQ(d.List()->item(1, 1)->background().color(), QColor(240, 250, 250));

    ScriptedResponder boxes;
    d.OnBnClickedAddCamera();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"目前只支持 2 个摄相机 !"});

    // While a calibration runs, the rows it works on stay as they are.
    boxes.Clear();
    g_Running = true;
    d.SelectRow(0);
    d.OnBnClickedAddCamera();
    d.OnBnClickedEditCamera();
    d.OnBnClickedDeleteCamera();
    d.reject();
    g_Running = false;
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>(4, "Machine is running !"));
    EXPECT_EQ(d.List()->rowCount(), 2);

    // Modify line 1 (named "Camera 1"): the second record follows it by position.
    CDialogCameraEdit* editor = d.Editor();
    d.m_RunEditor = [&](QDialog&) {
        editor->Field(1115)->setText("30");
        editor->accept();
        return editor->result();
    };
    d.SelectRow(1);
    d.OnBnClickedEditCamera();
    EXPECT_EQ(d.List()->item(1, 1)->text(), "30.0000");
    EXPECT_EQ(list.Second().CameraNumber, 2);
    EXPECT_EQ(list.Second().CameraPulse_X, 3000);
    EXPECT_EQ(list.Second().CameraPulse_Y, -20000);  // -250 mm at 80 pulses per mm
    EXPECT_TRUE(TheSetViewSources().cameraRecord(1));  // the panel can select it
    EXPECT_EQ(list.Second().CorrectionPulse_X[0], 50);

    // Cancel keeps the edited table in memory, the lines and the file untouched.
    const std::string fileBefore = ReadBytes(s.app.Dir().File("config_camera.fig"));
    d.reject();
    EXPECT_EQ(list.Rows()[1][1], "30.0000");
    EXPECT_EQ(g_FigLists.camera, s.lines);
    EXPECT_EQ(ReadBytes(s.app.Dir().File("config_camera.fig")), fileBefore);

    // The row menu: its guards in order, then the procedure, which holds the busy
    // claim while it runs: a second command meanwhile is refused.
    boxes.Clear();
    EXPECT_EQ(d.OnListRClick(-1), nullptr);
    g_Connected = true;
    g_Homed = true;
    QMenu* menu = d.OnListRClick(1);
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->actions().size(), 14);
    CameraCalibrationPort& calibration = TheCameraCalibrationPort();
    const auto wiredStart = calibration.startCameraOperation;
    std::vector<int> started;
    BusyClaim running;
    calibration.startCameraOperation = [&](int op, BusyClaim claim) {
        started.push_back(op);
        running = std::move(claim);
    };
    d.OnMenuCommand(cameramenu::FlyTest);
    d.SelectRow(0);
    d.OnMenuCommand(cameramenu::FlyTest);  // no fly camera configured: nothing at all
    d.OnMenuCommand(cameramenu::FlyCorrect);
    d.OnMenuCommand(cameramenu::CameraToBase);
    EXPECT_TRUE(g_Running.load());
    d.OnMenuCommand(cameramenu::NozzleToBase);
    running.Release();
    calibration.startCameraOperation = wiredStart;
    g_Connected = false;
    g_Homed = false;
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Please select row !", "No fly camera !",
                                                       "Configuration error !", "Machine is runnig !"}));
    EXPECT_EQ(started, std::vector<int>{1});
    EXPECT_FALSE(g_Running.load());
    EXPECT_EQ(list.m_CameraOperation.load(), 1);

    // A calibration's results reach the open dialog: the table's cells in its list,
    // the trigger values in their edits.
    list.Edit([](CameraList::Contents& c) {
        c.rows[0][20] = "21.50";
        c.settings.m_iTriggerPulse[1] = 345;
    });
    TheCameraCalibrationView().resultsChanged();
    EXPECT_EQ(d.List()->item(0, 20)->text(), "21.50");
    EXPECT_EQ(d.Field(1022)->text(), "345");

    // A failed write says so, keeps the dialog open and writes no CameraListConfig.
    boxes.Clear();
    d.m_StartFolder = [&] { return s.app.Dir().File("missing/folder"); };
    d.setResult(0);
    d.accept();
    EXPECT_EQ(d.result(), 0);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.Texts()[0].find("config_camera.fig"), std::string::npos);
    EXPECT_EQ(s.app.Config("CameraListConfig", "m_Camera_first.CameraNumber"), "");

    // Delete line 0 and OK: the file is the shared writer's bytes, one camera "Camera 1".
    d.m_StartFolder = [&] { return s.app.Dir().Path(); };
    d.SelectRow(0);
    d.OnBnClickedDeleteCamera();
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    ASSERT_EQ(g_FigLists.camera.size(), 1u);
    EXPECT_EQ(ReadBytes(s.app.Dir().File("config_camera.fig")), EncodeTableFile(g_FigLists.camera, nullptr));
    EXPECT_EQ(list.First().CameraPulse_X, 3000);
    EXPECT_EQ(list.Second(), CameraRecord{});
    EXPECT_FALSE(TheSetViewSources().cameraRecord(1));  // the panel's second camera is absent
    EXPECT_EQ(s.app.Config("CameraListConfig", "m_Camera_first.CameraNumber"), "1");

    // The origin update's shift reaches the lines and the section.
    TheSettingsRederivations().applyOriginOffset(0.5, -0.5);
    EXPECT_EQ(SplitRow(g_FigLists.camera[0])[1], "30.5000");
    EXPECT_EQ(s.app.Config("CameraListConfig", "m_Camera_first.CameraPulse_X"), "3050");
    EXPECT_EQ(SplitRow(g_FigLists.camera[0])[2], "-250.5000");
    EXPECT_EQ(s.app.Config("CameraListConfig", "m_Camera_first.CameraPulse_Y"), "-20040");
}

// The scale, the camera positions and the fly triggers a calibration measures are
// kept by OK, as the table file and its section are; Cancel puts back what they
// held, and one the operator changed since stays as he left it.
TEST(CameraDialogs, CalibrationResultsAreKeptByOkAndTakenBackByCancel) {
    CameraShell s;
    ASSERT_TRUE(s.started);
    CameraList& list = TheCameraList();
    const auto rowsBefore = list.Rows();
    const CameraRecord firstBefore = list.First(), secondBefore = list.Second();
    const std::string fileBefore = ReadBytes(s.app.Dir().File("config_camera.fig"));
    ScriptedResponder boxes;
    // What the calibration worker stores, and its word to the open dialog.
    const auto calibrate = [&list] {
        list.Edit([](CameraList::Contents& c) {
            c.rows[0][20] = "21.50";
            c.first.VisualZoom = 21.5;
            c.rows[1][1] = "240.3000";
            c.second.CameraPulse_X = 24030;
            c.settings.m_iTriggerPulse[0] = 120;
        });
        TheCameraCalibrationView().resultsChanged();
    };

    s.app.Frame()->Action(cmd::CameraList)->trigger();
    ASSERT_TRUE(s.dialog);
    CDialogCameraList& d = *s.dialog;
    calibrate();
    EXPECT_EQ(d.List()->item(0, 20)->text(), "21.50");
    EXPECT_EQ(d.Field(1011)->text(), "120");
    // The operator then types his own value into a cell the calibration wrote.
    auto typed = list.Rows();
    typed[1][1] = "241.0000";
    list.SetRows(typed);
    d.reject();
    auto expected = rowsBefore;
    expected[1][1] = "241.0000";
    EXPECT_EQ(list.Rows(), expected);
    EXPECT_EQ(list.First(), firstBefore);
    EXPECT_EQ(list.Second(), secondBefore);
    EXPECT_EQ(list.Settings().m_iTriggerPulse[0], 0);
    EXPECT_EQ(ReadBytes(s.app.Dir().File("config_camera.fig")), fileBefore);
    EXPECT_EQ(s.app.Config("CameraListConfig", "m_iTriggerPulse1"), "");
    list.SetRows(rowsBefore);

    // Opened again it shows the values as before; a result kept by OK is stored.
    s.app.Frame()->Action(cmd::CameraList)->trigger();
    ASSERT_TRUE(s.dialog);
    CDialogCameraList& again = *s.dialog;
    EXPECT_EQ(again.List()->item(0, 20)->text(), QString::fromStdString(rowsBefore[0][20]));
    calibrate();
    again.accept();
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_EQ(list.Rows()[0][20], "21.50");
    EXPECT_DOUBLE_EQ(list.First().VisualZoom, 21.5);
    EXPECT_EQ(list.Settings().m_iTriggerPulse[0], 120);
    EXPECT_EQ(s.app.Config("CameraListConfig", "m_iTriggerPulse1"), "120");
    EXPECT_EQ(SplitRow(g_FigLists.camera[0])[20], "21.50");
    // Nothing is left to take back after OK.
    EXPECT_FALSE(list.HasCalibrationResults());
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST(CameraDialogs, EditorChecksNamesWindowAndForwardsToThePanel) {
    CameraShell s;
    ASSERT_TRUE(s.started);
    std::vector<std::string> forwarded;
    CameraPanelPort& panel = TheCameraPanelPort();
    const CameraPanelPort saved = panel;
    panel.setFrameSize = [&](double v) { forwarded.push_back("size " + FormatC("%g", v)); };
    panel.setContrast = [&](int v) { forwarded.push_back("contrast " + std::to_string(v)); };
    panel.selectVisionCamera = [&](int c) { forwarded.push_back("camera " + std::to_string(c)); };
    // The window check against a 480-pixel picture of an ordinary camera, and no board to light.
    panel.setBrightness = [](int) {};
    panel.highSpeedCamera = [] { return 0; };
    panel.cameraSwitchOn = [](int) { return false; };
    panel.imageHeight = [] { return 480; };

    CDialogCameraEdit editor(TheCameraList());
    CameraEditValues v = EditValuesFromCells(ParseCameraRows({s.lines[1]})[0]);
    editor.SetValues(v);
    ScriptedResponder boxes;
    editor.OnInitDialog();
    EXPECT_EQ(forwarded.front(), "size 10");
    EXPECT_EQ(forwarded.back(), "camera 1");
    EXPECT_EQ(editor.Field(1034)->text(), "0.0500");
    forwarded.clear();

    editor.Field(1006)->setText("25");  // 20 x 25 = 500 pixels against 480
    editor.Field(1006)->setText("24");
    for (const char* c : {"300", "-1", "255"}) editor.Field(1232)->setText(c);
    EXPECT_EQ(forwarded, (std::vector<std::string>{"size 24", "contrast 255"}));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"视觉宽度太大 !"});

    g_PulseX = 0;
    editor.OnBnClickedGetX();
    EXPECT_EQ(editor.Field(1115)->text(), "0.0000");
    g_PulseX = 1250;
    editor.OnBnClickedGetX();
    EXPECT_EQ(editor.Field(1115)->text(), "12.5001");
    g_PulseX = 0;

    boxes.Clear();
    editor.m_NameUsed = [](const std::string& n) { return n == "Camera 1"; };
    editor.accept();
    v.m_CameraName.clear();
    editor.SetValues(v);
    editor.accept();
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"摄像机名称已存在，请修改 !", "请填入摄像机名称 !"}));
    EXPECT_NE(editor.result(), QDialog::Accepted);
    panel = saved;
}

} // namespace
} // namespace smt::test
