#include "vision/ui/vision_wiring.h"

#include <QPointer>

#include <memory>

#include "base/command_ids.h"
#include "base/globals.h"
#include "base/ui/program_view.h"
#include "base/numtext.h"
#include "link/commands.h"
#include "link/connect.h"
#include "link/positioning.h"
#include "platform/camera_sdk.h"
#include "settings/basic_settings.h"
#include "machine_ops/basic_teach.h"
#include "settings/pulse_settings.h"
#include "settings/rederive_hooks.h"
#include "vision/camera_list.h"
#include "vision/camera_ds.h"
#include "vision/camera_panel_port.h"
#include "vision/camera_service.h"
#include "vision/lens_calibration.h"
#include "vision/result_slots.h"
#include "vision/set_view.h"
#include "vision/ui/dialog_camera_list.h"
#include "vision/ui/dialogsetview.h"
#include "platform/msgbox.h"
#include "platform/uipost.h"

namespace smt {

namespace {
void RefreshPanel() {
    if (auto& f = TheSetView().view().refreshControls) f();
}

// The view whose start folder the origin offset writes to.
ProgramView* g_view = nullptr;
QPointer<QWidget> g_viewWidget;

void CameraListViewPart(ProgramView& view) {
    g_view = &view;
    g_viewWidget = view.Widget();
    CameraList& list = TheCameraList();
    NamedSteps& first = view.FirstUpdateSteps();
    first.Set("CameraList.ParseRow", [&list](const StepContext&) { list.ParseRow(g_FigLists.camera); });
    first.Set("CameraList.LoadConfig",
              [&list](const StepContext& c) { list.LoadConfig(ConfigFilePath(c.startFolder)); });

    ProgramView* v = &view;
    auto dialog = std::make_shared<QPointer<CDialogCameraList>>();
    auto ensure = [v, dialog, &list]() -> CDialogCameraList& {
        if (!*dialog) {
            auto* d = new CDialogCameraList(list, v->Widget());
            d->m_StartFolder = [v] { return v->StartFolder(); };
            d->m_FeederCameras = [] {
                const auto& f = TheCameraListFeederPort().feederCameras;
                return f ? f() : std::vector<std::string>{};
            };
            d->m_MarkFeeders = [](const std::vector<int>& rows) {
                if (const auto& f = TheCameraListFeederPort().markFeedersWithoutCamera) f(rows);
            };
            *dialog = d;
        }
        return **dialog;
    };
    for (NamedSteps* steps : {&view.CreationCaptionSteps(), &view.LanguageChangeSteps()})
        steps->Set("CameraList.LoadLanguage", [&list, dialog](const StepContext& c) {
            list.m_ListTexts.Load(c.startFolder, c.language);
            list.m_EditTexts.Load(c.startFolder, c.language);
            if (*dialog) (*dialog)->ApplyTexts();
        });
    // Runs on the user-interface thread (the calibration worker posts it).
    TheCameraCalibrationView().resultsChanged = [dialog] {
        if (*dialog) (*dialog)->ShowCalibrationResults();
    };
    view.SetDialogOpener(cmd::CameraList, [v, ensure](int) {
        CDialogCameraList& d = ensure();
        d.OnInitDialog();
        v->RunModal(d);
    });
    QObject::connect(view.Widget(), &QObject::destroyed, [] { TheCameraList().FreeTable(); });
}

// The camera panel the view holds shows the live view, the result windows and
// its own controls.
void CameraPanelViewPart(ProgramView& view) {
    if (auto* panel = view.Widget()->findChild<CDialogSetView*>("CDialogSetView")) panel->FillPanelHooks();
}

}  // namespace

void WireVision(Wiring& wiring) {
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
    // The feeder operations: the one-shot feed light, the vision values of a
    // feeder, the two vision cameras' places and the size of the last part found.
    panel.useFeedBrightness = [] { TheSetView().m_UseFeedBrightness = true; };
    panel.setVisionParameters = [](int contrast, int brightness, double scale, double size) {
        TheSetView().SetVisionParameters(contrast, brightness, scale, size);
        RefreshPanel();
    };
    panel.visionCamera = [](int which) {
        const CameraRecord r = which == 0 ? TheCameraList().First() : TheCameraList().Second();
        return VisionCameraPlace{r.CameraPulse_X, r.CameraPulse_Y, r.VisualZoom, r.Light_Brightness};
    };
    panel.measuredSize = [](int which) {
        return which == 0 ? TheSetView().m_PartWidth.load() : TheSetView().m_PartHeight.load();
    };

    ThePositioningPort().cameraRecords = [] {
        std::vector<CameraRow> rows;
        for (const CameraCells& c : TheCameraList().Rows()) rows.push_back({c[0], c[1], c[2]});
        return rows;
    };
    // The package and feeder editors offer the cameras by name, in table order.
    panel.cameraNames = [] {
        std::vector<std::string> names;
        for (const CameraCells& c : TheCameraList().Rows()) names.push_back(c[0]);
        return names;
    };
    // The panel's vision cameras take their scale, frame size and light from the records;
    // a record the table does not fill (number 0) is absent.
    SetViewSources& sources = TheSetViewSources();
    sources.cameraRecord = [](int which) -> std::optional<CameraVisionRecord> {
        const CameraRecord r = which == 0 ? TheCameraList().First() : TheCameraList().Second();
        if (r.CameraNumber == 0) return std::nullopt;
        return CameraVisionRecord{r.VisualZoom, r.VisualSize, r.Light_Contrast, r.Light_Brightness};
    };
    sources.visionColourReversal = [] { return TheCameraList().Settings().m_VisualImageColorReversal != 0; };
    TheSettingsRederivations().applyOriginOffset = [](double dx, double dy) {
        const auto& f = ThePulseFactors();
        const std::string folder = g_viewWidget && g_view ? g_view->StartFolder() : std::string(".");
        TheCameraList().ApplyOriginOffset(dx, dy, f.m_X_Pulse, f.m_Y_Pulse, g_FigLists.camera,
                                          ConfigFilePath(folder));
    };

    // The ordinary cameras' devices: the default ones until a test puts its own.
    VideoSourcePort& video = TheVideoSourcePort();
    if (!video.count) video.count = DefaultVideoSourceCount;
    if (!video.make) video.make = DefaultVideoSource;

    // The grab threads' frames that go to the vision test and the run, whether or
    // not a panel shows them.
    CameraService::Hooks& service = TheCameraService().hooks();
    service.visionTest = [](int camera, const cv::Mat& frame) {
        TheSetView().RunVisionTest(&frame, camera == kMarkCamera ? kMarkResultSlot : TheSetView().m_ResultSlot.load(),
                                   true);
    };
    service.flyTest = [](int nozzle, const cv::Mat& frame) { TheSetView().RunVisionTest(&frame, nozzle, false); };
    service.flyMeasure = [](int nozzle, const cv::Mat& frame) {
        if (auto& f = TheSetViewSources().flyMeasure) f(nozzle, frame);
    };
    service.message = [](const std::string& text) { plat::PostToUi([text] { plat::MessageBoxOk(text, true); }); };

    wiring.OnView("cameras", CameraListViewPart);
    wiring.OnView("cameras", CameraPanelViewPart);
}

} // namespace smt
