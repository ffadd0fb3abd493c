#include "vision/ui/vision_wiring.h"

#include "app/shellservices.h"
#include "base/numtext.h"
#include "link/commands.h"
#include "link/connect.h"
#include "link/positioning.h"
#include "platform/camera_sdk.h"
#include "settings/basic_settings.h"
#include "machine_ops/basic_teach.h"
#include "vision/camera_ds.h"
#include "vision/camera_panel_port.h"
#include "vision/camera_service.h"
#include "vision/lens_calibration.h"
#include "vision/set_view.h"

namespace smt {

namespace {
void RefreshPanel() {
    if (auto& f = TheSetView().view().refreshControls) f();
}
}  // namespace

void WireVisionServices() {
    LensCalibrationPort& lens = TheLensCalibrationPort();
    lens.load = [](const std::string& path) { return LoadCameraCalibration(TheLensCalibration(), path); };
    lens.isLoaded = [] { return TheLensCalibration().IsLoaded(); };
    TheBasicOkPort().setPanelCalibrator2 = [](bool on) { TheSetView().m_Undistort = on; };

    CommandPanelPort& c = TheCommandPanel();
    c.setCurrentCamera = [](int camera) {
        g_CurrentCamera = camera;
        if (camera == kMarkCamera) TheSetView().m_DsCameraIndex = 0;
    };
    c.setSelectedTable = [](int table) { TheSetView().m_DsCameraIndex = table; };
    c.highSpeedCamera = [] { return g_HighSpeedCamera == 1; };
    c.switchCameraStreams = [](int camera, int mode) { TheCameraService().SwitchToCamera(camera, mode); };
    c.flyFrameEvent = [] { return &TheCameraService().m_hFlyDoneEvent; };
    c.applyMarkCameraVision = [] {
        const auto& pcb = ThePositioningPort().pcbVision;
        const PcbVisionValues v = pcb ? pcb() : PcbVisionValues{};
        TheSetView().SetVisionParameters(v.markContrast, v.markBrightness, v.scale, v.frameSize);
    };

    ConnectPort& cp = TheConnectPort();
    cp.liveViewOpen = [] { return TheSetView().DsCamerasOpen(); };
    cp.openLiveView = [] {
        const bool anyClear = !g_MarkCameraOn || !g_VisualCamera1On || !g_VisualCamera2On;
        const int count = CCameraDS::CameraCount();
        if (g_HighSpeedCamera == 0) TheSetView().OpenCamera(false, count, count > 0 ? 0 : -1);
        else if (g_HighSpeedCamera == 1 && anyClear) TheSetView().OpenCamera(true, count, count > 0 ? 0 : -1);
        RefreshPanel();
    };

    PositioningPort& p = ThePositioningPort();
    p.selectMarkCamera = [] { TheSetView().OnBnClickedMarkCamera(); };
    p.selectVisionCamera = [](int camera) {
        if (camera == 1) TheSetView().OnBnClickedVisualCamera1();
        else TheSetView().OnBnClickedVisualCamera2();
    };
    p.setVisionParameters = [](int contrast, int brightness, double scale, double size) {
        TheSetView().SetVisionParameters(contrast, brightness, scale, size);
    };
    p.setVisionTestNozzle = [](int nozzle) { TheSetView().m_ResultSlot = nozzle; };
    p.setFrameSize = [](double mm) {
        TheSetView().OnChangeVisualSize(FormatC("%0.2f", mm));
        RefreshPanel();
    };

    ShellServices& s = GetShellServices();
    s.saveCameraPanelConfig = [](const std::string& folder) { return TheSetView().SaveConfig(folder); };
    s.closeOrdinaryCamera = [](int index) { TheSetView().CloseDsCamera(index); };

    CameraPanelPort& panel = TheCameraPanelPort();
    panel.selectMarkCamera = [] { TheSetView().OnBnClickedMarkCamera(); };
    panel.currentCamera = [] { return g_CurrentCamera.load(); };
    panel.setImageFeature = [](const std::string& text) {
        TheSetView().SetVisionTypeText(text);
        RefreshPanel();
    };
    panel.imageHeight = [] { return TheSetView().m_ImageHeight.load(); };
    panel.setVisionScale = [](double pixelsPerMm) {
        TheSetView().m_PixelsPerMm = pixelsPerMm;
        RefreshPanel();
    };
    // Written into the panel's edits: their own handlers refuse what they would refuse when typed.
    panel.setFrameSize = [](double mm) {
        TheSetView().OnChangeVisualSize(FormatC("%0.2f", mm));
        RefreshPanel();
    };
    panel.showFrameSizeText = [](const std::string& text) {
        TheSetView().OnChangeVisualSize(text);
        RefreshPanel();
    };
    panel.setContrast = [](int v) {
        TheSetView().OnChangeContrast(std::to_string(v));
        RefreshPanel();
    };
    panel.setBrightness = [](int v) {
        TheSetView().OnChangeBrightness(std::to_string(v));
        RefreshPanel();
    };
    panel.contrast = [] { return TheSetView().m_Light_Contrast.load(); };
    panel.brightness = [] { return TheSetView().m_Light_Brightness.load(); };
    panel.visualSize = [] { return TheSetView().m_VisualSize.load(); };
    panel.selectVisionCamera = [](int camera) {
        if (camera == 1) TheSetView().OnBnClickedVisualCamera1();
        else TheSetView().OnBnClickedVisualCamera2();
        RefreshPanel();
    };
    panel.highSpeedCamera = [] { return g_HighSpeedCamera.load(); };
    panel.cameraSwitchOn = [](int camera) { return CameraSdkFlag(camera); };
    panel.showCameraSettings = [] {
        if (g_HighSpeedCamera != 1) return;
        if (plat::CameraHandle h = TheCameraService().Handle(g_CurrentCamera)) plat::CameraShowSettingPage(h, 1);
    };
    panel.triggerMode = [](int camera) { return TheCameraService().TriggerMode(camera); };
    panel.setTriggerMode = [](int camera, int mode) { TheCameraService().SetTriggerMode(camera, mode); };
    panel.requestFlyTest = [] { TheCameraService().m_FlyTestRequest = true; };
}

} // namespace smt
