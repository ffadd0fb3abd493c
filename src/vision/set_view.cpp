#include "vision/set_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "base/captions.h"
#include "base/globals.h"
#include "base/log.h"
#include "base/numtext.h"
#include "link/busy.h"
#include "link/combined_commands.h"
#include "link/command_common.h"
#include "link/commands.h"
#include "link/link_lost.h"
#include "link/link_state.h"
#include "link/positioning.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/threads.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"
#include "settings/version_switches.h"
#include "vision/camera_service.h"
#include "vision/lens_calibration.h"
#include "vision/recognition.h"
#include "vision/vision_types.h"

namespace smt {

const std::array<SetViewTextEntry, kSetViewTextCount> kSetViewTexts = {{
    {"SetView.c_SelectCamera", "选择相机"},
    {"SetView.c_Feature", "图像特征"},
    {"SetView.c_BinaryImg", "二值图像"},
    {"SetView.c_VisualSize", "视框尺寸"},
    {"SetView.c_LightContrast", "对比度"},
    {"SetView.c_LightBrightness", "光亮度"},
    {"SetView.c_OpenOrCloseCamera", "打开相机"},
    {"SetView.c_ExternShow", "拓展显示"},
    {"SetView.c_VisionTest", "视觉测试"},
    {"SetView.c_OpenMarkCamera", "Mark 相机"},
    {"SetView.c_OpenVisualCamera_1", "视觉相机 1"},
    {"SetView.c_OpenVisualCamera_2", "视觉相机 2"},
    {"SetView.c_OpenVisualCamera_B", "视觉相机 B"},
    {"SetView.c_VideoNo", "视频编号"},
    {"SetView.c_OpenCamera", "打开相机"},
    {"SetView.c_CloseCamera", "关闭相机"},
    {"SetView.c_Message_01", "无法打开摄像头 !\r\n请检查是否有摄像头 !"},
    {"SetView.c_Message_02", "无法打开摄像头 !\r\n请检查是否掉线了 !"},
    {"SetView.c_IdentifyError", "识别失败"},
    {"SetView.c_Message_03", "视觉相机 1 不存在 !"},
    {"SetView.c_Message_04", "视觉相机 2 不存在 !"},
    {"SetView.c_Message_05", "视框宽度与高度超过范围 !"},
}};

namespace {
constexpr const char* kNotConnected = "Machine is not connection !";
constexpr const char* kNotHomed = "Machine is not reset !";
constexpr const char* kRunning = "Machine is runnig !";

void TraceAndLog(const std::string& line) {
    AppendCommTrace(line, true);
    if (TheVersionSwitches().m_Write_Logfile) LogPrintf(GetLogStream(), true, "%s", line.c_str());
}

std::int32_t Trunc(double v) { return static_cast<std::int32_t>(std::trunc(v)); }

// Integer 0..255 in full (no trailing text), or nothing.
std::optional<int> LightLevel(const std::string& text) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end == text.c_str() || *end != '\0' || v < 0 || v > 255) return std::nullopt;
    return static_cast<int>(v);
}
}  // namespace

SetViewSources& TheSetViewSources() {
    static SetViewSources sources;
    return sources;
}

std::string FormatTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char b[32];
    std::strftime(b, sizeof b, "%Y%m%d%H%M%S", &tm);
    return b;
}

SetView::SetView() {
    for (int i = 0; i < kSetViewTextCount; ++i) m_Texts[i] = kSetViewTexts[i].builtin;
}

SetView::~SetView() { CloseDsCameras(); }

SetView& TheSetView() {
    static SetView panel;
    return panel;
}

std::string SetView::Text(int index) const {
    std::lock_guard lock(m_textMutex);
    return index >= 0 && index < kSetViewTextCount ? m_Texts[index] : std::string();
}

std::vector<std::string> SetView::VisionTypeCaptions() const {
    std::vector<std::string> out;
    for (int t = 0; t < kVisionTypeCount; ++t) out.emplace_back(VisionTypeName(t, m_Language == 0 ? 0 : 1));
    return out;
}

void SetView::SetVisionTypeText(const std::string& text) {
    std::lock_guard lock(m_textMutex);
    m_visionTypeText = text;
}

std::string SetView::VisionTypeText() const {
    std::lock_guard lock(m_textMutex);
    return m_visionTypeText;
}

int SetView::VisionType() const {
    const int t = AtoI(VisionTypeText().substr(0, 2));
    return t < 0 || t > 17 ? 0 : t;
}

void SetView::Refresh() {
    if (m_view.refreshControls) m_view.refreshControls();
}

void SetView::Refuse(int control) {
    if (m_view.refuseEdit) m_view.refuseEdit(control);
}

// ---- selection -----------------------------------------------------------------

bool SetView::SelectionGuard(bool cameraB, int camera) {
    // A run's own selection after its link was lost: the loss has been told once.
    if (g_Running && LinkLost()) return RefuseOnLostLink("04");
    if (!g_Connected) {
        plat::MessageBoxOk(kNotConnected, true);
        return false;
    }
    if (!g_Homed) {
        plat::MessageBoxOk(kNotHomed, true);
        return false;
    }
    if (cameraB && g_Running) {
        plat::MessageBoxOk(kRunning, true);
        return false;
    }
    if (!cameraB && g_HighSpeedCamera == 1 && m_view.setTimer1) m_view.setTimer1(CameraSdkFlag(camera) ? 100 : 40);
    return true;
}

void SetView::OnBnClickedMarkCamera() {
    if (!SelectionGuard(false, kMarkCamera)) return;
    const PcbVisionValues pcb = ThePositioningPort().pcbVision ? ThePositioningPort().pcbVision() : PcbVisionValues{};
    const BasicSettings& basic = TheBasicSettings();
    double size = pcb.frameSize;
    int contrast = pcb.markContrast, brightness = pcb.markBrightness;
    const auto& src = TheSetViewSources();
    if (ThePositioningState().m_OriginVisionFlag) {
        size = basic.m_VisualOriginBox;
        contrast = basic.m_OriginLightContrast;
        brightness = basic.m_OriginLightBrightness;
    } else if (src.pcbEditorInitialising && src.pcbEditorInitialising()) {
        contrast = m_Light_Contrast;
        brightness = m_Light_Brightness;
    } else if (m_UseFeedBrightness.exchange(false)) {
        brightness = basic.m_FeedBrightness;
    }
    if ((g_MachineType == 5 || g_HighSpeedCamera == 0) && !DsCameraOpen(0)) return;
    m_Zoom = 1.0;
    m_DsCameraIndex = 0;
    g_CurrentCamera = kMarkCamera;
    SetVisionParameters(contrast, brightness, pcb.scale, size);
    m_ImageSizePending = true;
}

void SetView::OnBnClickedVisualCamera1() {
    if (!SelectionGuard(false, kVisionCamera1)) return;
    const auto& src = TheSetViewSources();
    const auto record = src.cameraRecord ? src.cameraRecord(0) : std::nullopt;
    if (!record) {
        plat::MessageBoxOk(Text(kTxtMessage03));
        return;
    }
    const int ds = g_MachineType == 4 ? 1 : 0;
    if (g_HighSpeedCamera == 0 && !DsCameraOpen(ds)) return;
    m_DsCameraIndex = ds;
    m_Zoom = 1.0;
    g_CurrentCamera = kVisionCamera1;
    SetVisionParameters(record->Light_Contrast, record->Light_Brightness, record->VisualZoom, record->VisualSize);
    m_ImageSizePending = true;
}

void SetView::OnBnClickedVisualCamera2() {
    if (!SelectionGuard(false, kVisionCamera2)) return;
    if (g_MachineType != 4) {
        const auto& src = TheSetViewSources();
        const auto record = src.cameraRecord ? src.cameraRecord(1) : std::nullopt;
        if (!record) {
            plat::MessageBoxOk(Text(kTxtMessage04));
            return;
        }
        if (g_HighSpeedCamera == 0 && !DsCameraOpen(0)) return;
        if (g_HighSpeedCamera == 0 || g_HighSpeedCamera == 1) {
            m_DsCameraIndex = 0;
            m_Zoom = 1.0;
            g_CurrentCamera = kVisionCamera2;
            SetVisionParameters(record->Light_Contrast, record->Light_Brightness, record->VisualZoom,
                                record->VisualSize);
        }
    }
    m_ImageSizePending = true;
}

void SetView::OnBnClickedVisualCameraB() {
    if (!SelectionGuard(true, kVisionCamera1)) return;
    const auto& src = TheSetViewSources();
    if (g_MachineType == 5 && DsCameraOpen(1)) {
        const auto record = src.cameraRecord ? src.cameraRecord(0) : std::nullopt;
        if (!record) {
            plat::MessageBoxOk(Text(kTxtMessage03));
            return;
        }
        m_DsCameraIndex = 1;
        m_Zoom = 1.0;
        g_CurrentCamera = kVisionCamera1;
        SetVisionParameters(record->Light_Contrast, record->Light_Brightness, record->VisualZoom, record->VisualSize);
    }
    m_ImageSizePending = true;
}

void SetView::SetVisionParameters(int contrast, int brightness, double pixelsPerMm, double frameSize) {
    m_PixelsPerMm = pixelsPerMm;
    m_VisualSize = frameSize;
    // The edits' own handlers take the values over, as typing them would.
    OnChangeVisualSize(FormatC("%0.2f", frameSize));
    OnChangeContrast(std::to_string(contrast));
    OnChangeBrightness(std::to_string(brightness));
    Refresh();
}

bool SetView::OnChangeVisualSize(const std::string& text) {
    const double value = AtoF(text);
    if (Trunc(value * m_PixelsPerMm) > m_ImageHeight) {
        Refuse(kFrameSizeEdit);
        return false;
    }
    m_VisualSize = value;
    return true;
}

bool SetView::OnChangeContrast(const std::string& text) {
    const auto v = LightLevel(text);
    if (!v) {
        Refuse(kContrastEdit);
        return false;
    }
    m_Light_Contrast = *v;
    return true;
}

bool SetView::OnChangeBrightness(const std::string& text) {
    const auto v = LightLevel(text);
    if (!v) {
        Refuse(kBrightnessEdit);
        return false;
    }
    m_Light_Brightness = *v;
    if (!g_Connected) {
        plat::MessageBoxOk(kNotConnected, true);
        return true;
    }
    const int camera = g_CurrentCamera;
    if (camera == kMarkCamera && g_MachineType == 4) return true;
    if (camera >= 0 && camera < kSdkCameraCount)
        SelectCamera(static_cast<std::uint8_t>(camera + 1), static_cast<std::uint8_t>(*v), -1);
    return true;
}

void SetView::OnContrastSlider(int position) {
    m_Light_Contrast = position;
    Refresh();
}

void SetView::OnBrightnessSlider(int position) {
    plat::SleepFor(std::chrono::milliseconds(1));
    OnChangeBrightness(std::to_string(position));
    Refresh();
}

// ---- vision test -----------------------------------------------------------------

void SetView::OnBnClickedVisionTest() {
    if (!g_Connected) {
        plat::MessageBoxOk(kNotConnected, true);
        return;
    }
    if (!g_Homed) {
        plat::MessageBoxOk(kNotHomed, true);
        return;
    }
    if (g_Running) {
        plat::MessageBoxOk(kRunning, true);
        return;
    }
    if (g_HighSpeedCamera == 0 && (m_VisualSize == 0 || m_PixelsPerMm * m_VisualSize > 470)) {
        plat::MessageBoxOk(Text(kTxtMessage05));
        Refuse(kFrameSizeEdit);
        return;
    }
    const int camera = g_CurrentCamera;
    CameraService& cams = TheCameraService();
    if (g_HighSpeedCamera == 1 && CameraSdkFlag(camera)) {
        if (camera == kVisionCamera1 && cams.TriggerMode(camera) != 0) cams.SetTriggerMode(camera, 0);
        // One request for this camera, raised only when it has a device.
        if (cams.RequestVisionTest(camera)) cams.PlayCamera(camera);
        return;
    }
    if (m_view.setTimer1) m_view.setTimer1(0);
    cv::Mat frame = QueryDsFrame(m_DsCameraIndex);
    RunVisionTest(frame.empty() ? nullptr : &frame, m_ResultSlot, true);
}

void SetView::RunVisionTest(const cv::Mat* frame, int slot, bool move) {
    const int camera = g_CurrentCamera;
    if (frame && !frame->empty()) {
        const double ppm = m_PixelsPerMm, size = m_VisualSize;
        cv::Mat work;
        if (camera == kVisionCamera2 && TheBasicSettings().m_Calibrator2) {
            // Only the window the recognition looks at (and a margin) is undistorted:
            // the whole frame's remap took most of the test's time. The window of
            // this cut-out is the frame's own, so the results are those of the
            // whole undistorted frame.
            constexpr int kMargin = 2;
            const cv::Rect window = RecognitionWindow(frame->size(), size, ppm);
            work = UndistortRegion(TheLensCalibration(), *frame,
                                   cv::Rect(window.x - kMargin, window.y - kMargin, window.width + 2 * kMargin,
                                            window.height + 2 * kMargin));
        }
        if (work.empty()) work = frame->clone();
        const auto& src = TheSetViewSources();
        const bool reverse = camera == kMarkCamera ? src.markColourReversal && src.markColourReversal()
                                                   : src.visionColourReversal && src.visionColourReversal();
        if (reverse) cv::bitwise_not(work, work);
        const PulseSettings& pulse = ThePulseSettings();
        char line[200];
        if (camera == kMarkCamera) {
            double x = 0, y = 0;
            MarkCircle c;
            FindMark(x, y, m_BinaryImg != 0, c, work, m_Light_Contrast, size, ppm);
            if (c.x == -1 || c.r >= size * ppm * 0.5) {
                TraceAndLog("Visual Error !");
            } else {
                m_MoveOffsetX = Trunc(x * pulse.m_X_Pulse);
                m_MoveOffsetY = Trunc(y * pulse.m_Y_Pulse);
                m_MoveOffsetA = 0;
                if (move) StartMoveToImageOffset();
                std::snprintf(line, sizeof line, "Mark: X = %0.4f，Y = %0.4f，D = %0.4f", x, y, 2 * c.r / ppm);
                TraceAndLog(line);
            }
        } else {
            double x = 0, y = 0, a = 0;
            ComponentBox box;
            FindComponent(slot, x, m_BinaryImg != 0, box, work, m_Light_Contrast, VisionType(), y, a, 0, size, ppm,
                          0.0);
            if (box.cx == -1) {
                TraceAndLog("Visual Error !");
                if (slot == m_CalibSlot) m_CalibSlotOffsetX = 0;
            } else {
                m_MoveOffsetX = Trunc(x * pulse.m_X_Pulse);
                m_MoveOffsetY = Trunc(y * pulse.m_Y_Pulse);
                m_MoveOffsetA = -Trunc(a * pulse.m_A_Pulse);
                if (slot == m_CalibSlot) m_CalibSlotOffsetX = m_MoveOffsetX.load();
                if (move) StartMoveToImageOffset();
                m_PartWidth = box.width / ppm;
                m_PartHeight = box.height / ppm;
                std::snprintf(line, sizeof line, "Visual: X = %0.4f，Y = %0.4f，A = %0.4f，W = %0.2f，H = %0.2f", x, y,
                              a, m_PartWidth.load(), m_PartHeight.load());
                TraceAndLog(line);
            }
        }
    }
    if (m_view.setTimer1) m_view.setTimer1(g_HighSpeedCamera == 1 && CameraSdkFlag(camera) ? 100 : 40);
}

bool SetView::StartMoveToImageOffset() {
    BusyClaim claim = ClaimMachineAction(true);
    if (!claim) return false;
    auto held = std::make_shared<BusyClaim>(std::move(claim));
    plat::StartWorker("MoveToImageOffset", [this, held] {
        MoveToImageOffsetThread();
        held->Release();
    });
    return true;
}

void SetView::MoveToImageOffsetThread() {
    if (cmd::UseSerial()) SetSpeedGear(0);
    const SpeedTypeTable speeds = TheSpeedTemplates().Table(SpeedType::Handle);
    const AxisSpeed xs{speeds.m_Start_X, speeds.m_Normal_X}, ys{speeds.m_Start_Y, speeds.m_Normal_Y};
    if (g_CurrentCamera == kMarkCamera) {
        const int x = -m_MoveOffsetX;
        m_MoveOffsetX = x;
        if (g_MachineType == 4) {
            const int table = TheCommandPanel().headGroup ? TheCommandPanel().headGroup() : 1;
            if (table != 1 && table != 2) return;
            MoveXY({9, x, xs, static_cast<std::uint8_t>(table == 1 ? 1 : 12), m_MoveOffsetY, ys});
            return;
        }
        XYAMove m;
        m.xy = {x, xs, m_MoveOffsetY, ys};
        m.flags = 0x80;
        MoveXYA(m);
        return;
    }
    plat::SleepFor(std::chrono::milliseconds(10));
    XYAMultiMove m;
    m.xy = {m_MoveOffsetX, xs, g_MachineType == 4 ? 0 : m_MoveOffsetY.load(), ys};
    m.dA.fill(m_MoveOffsetA);
    m.aSpeed = {speeds.m_Start_A1, speeds.m_Normal_A1};
    MoveXYAMulti(m);
}

// ---- live view -----------------------------------------------------------------------

bool SetView::HasLiveSource() const {
    const int camera = g_CurrentCamera;
    if (g_HighSpeedCamera == 0) return DsCameraOpen(0) && camera == kMarkCamera;
    if (CameraSdkFlag(camera)) return TheCameraService().IsCameraPresent(camera);
    return DsCameraOpen(0);
}

bool SetView::OnLiveViewClick(int x, int y, int viewWidth, int viewHeight) {
    if (g_CurrentCamera != kMarkCamera || !HasLiveSource()) return false;
    if (x < 0 || y < 0 || x >= viewWidth || y >= viewHeight || viewWidth <= 0 || viewHeight <= 0) return false;
    int imageW = m_ImageWidth, imageH = m_ImageHeight;
    if (g_MachineType == 4 && g_HighSpeedCamera == 1) {
        const auto head = TheCameraService().LastHead(kMarkCamera);
        if (head.width > 0) imageW = head.width, imageH = head.height;
    }
    const int px = ((x - viewWidth / 2) * imageW) / viewWidth;
    const int py = ((y - viewHeight / 2) * imageH) / viewHeight;
    m_ClickOffsetX = px / m_PixelsPerMm;
    m_ClickOffsetY = py / m_PixelsPerMm;
    if (g_Running) return true;
    const PulseSettings& pulse = ThePulseSettings();
    m_MoveOffsetX = -Trunc(m_ClickOffsetX * m_Zoom * pulse.m_X_Pulse);
    m_MoveOffsetY = -Trunc(m_ClickOffsetY * m_Zoom * pulse.m_Y_Pulse);
    m_MoveOffsetA = 0;
    StartMoveToImageOffset();
    return true;
}

void SetView::OnWheel(int delta) {
    if (!HasLiveSource()) return;
    if (delta > 0) ZoomIn();
    else if (delta < 0) ZoomOut();
}

void SetView::ZoomIn() {
    if (!HasLiveSource()) return;
    const double z = m_Zoom;
    m_Zoom = z - 0.1 > 0.1 ? z - 0.1 : 0.1;
}

void SetView::ZoomOut() {
    if (!HasLiveSource()) return;
    const double z = m_Zoom;
    m_Zoom = z + 0.1 < 1.0 ? z + 0.1 : 1.0;
}

cv::Mat SetView::LiveViewImage(const cv::Mat& frame, bool undistort, cv::Size out) const {
    if (frame.empty()) return {};
    const double zoom = std::clamp(m_Zoom.load(), 0.1, 1.0);
    const int w = std::max(1, static_cast<int>(frame.cols * zoom)), h = std::max(1, static_cast<int>(frame.rows * zoom));
    const cv::Rect crop((frame.cols - w) / 2, (frame.rows - h) / 2, w, h);
    cv::Mat view = undistort ? UndistortImage(TheLensCalibration(), frame(crop)) : cv::Mat();
    if (view.empty()) view = frame(crop);
    double scale = 1.0;
    cv::Mat shown;
    if (out.width > 0 && out.height > 0) {
        scale = static_cast<double>(out.width) / view.cols;
        cv::resize(view, shown, out, 0, 0, cv::INTER_AREA);
    } else {
        shown = view.clone();
    }
    // The target square marks the recognition window at the crop's magnification.
    DrawTargetMarker(shown, static_cast<int>(m_VisualSize * m_PixelsPerMm * scale));
    return shown;
}

// ---- ordinary video cameras ----------------------------------------------------------

bool SetView::DsCameraOpen(int index) const {
    std::lock_guard lock(m_dsMutex);
    return index >= 0 && index < 8 && m_DsCameras[index] && m_DsCameras[index]->IsConnected();
}

cv::Mat SetView::QueryDsFrame(int index) {
    std::lock_guard lock(m_dsMutex);
    if (index < 0 || index >= 8 || !m_DsCameras[index]) return {};
    cv::Mat* f = m_DsCameras[index]->QueryFrame();
    return f ? f->clone() : cv::Mat();
}

bool SetView::DsCamerasOpen() const { return DsCameraOpen(0) || DsCameraOpen(1); }

void SetView::CloseDsCameras() {
    std::lock_guard lock(m_dsMutex);
    for (auto& c : m_DsCameras)
        if (c) c->CloseCamera(), c.reset();
}

void SetView::CloseDsCamera(int index) {
    std::lock_guard lock(m_dsMutex);
    if (index < 0 || index >= 8 || !m_DsCameras[index]) return;
    m_DsCameras[index]->CloseCamera();
    m_DsCameras[index].reset();
}

bool SetView::OpenCamera(bool pauseSdk, int comboCount, int selected) {
    if (DsCamerasOpen()) {
        if (m_view.setTimer1) m_view.setTimer1(0);
        CloseDsCameras();
        return false;
    }
    int first = 0, count = 1;
    if (g_MachineType == 4) {
        count = std::min(comboCount, 8);
    } else if (g_MachineType == 5) {
        count = std::min(comboCount, 2);
    } else {
        if (selected < 0) count = 0;
        m_VideoNumber = selected + 1;
        first = selected;
    }
    if (count <= 0) {
        plat::MessageBoxOk(Text(kTxtMessage01));
        return false;
    }
    std::lock_guard lock(m_dsMutex);
    for (int i = 0; i < count; ++i) {
        auto camera = CreateCameraDS(first + i);  // null when the device refuses
        if (!camera) {
            plat::MessageBoxOk(Text(kTxtMessage02), true);
            return i > 0;
        }
        m_DsCameras[i] = std::move(camera);
    }
    m_Undistort = TheBasicSettings().m_Calibrator2 != 0;
    if (m_view.setTimer1) m_view.setTimer1(40);
    if (g_MachineType != 4 && g_MachineType != 5 && pauseSdk)
        for (int c = 0; c < kSdkCameraCount; ++c)
            if (CameraSdkFlag(c)) TheCameraService().PauseCamera(c);
    return true;
}

// ---- settings ----------------------------------------------------------------------

void SetView::LoadConfig(const std::string& folder) {
    auto read = [&](const char* section, const char* key) { return ReadConfig(folder, section, key, "0"); };
    m_BinaryImg = AtoI(read("SetViewConfig", "m_BinaryImg")) != 0 ? 1 : 0;
    m_VisualSize = AtoF(read("SetViewConfig", "m_VisualSize"));
    m_Light_Contrast = AtoI(read("SetViewConfig", "m_Light_Contrast"));
    m_Light_Brightness = AtoI(read("SetViewConfig", "m_Light_Brightness"));
    g_HighSpeedCamera = AtoI(read("CameraListConfig", "m_HighSpeedCamera"));
    g_MarkCameraOn = AtoI(read("CameraListConfig", "m_MarkCamera")) != 0;
    g_VisualCamera1On = AtoI(read("CameraListConfig", "m_VisualCamera1")) != 0;
    g_FlyCameraOn = AtoI(read("CameraListConfig", "m_FlyCamera")) != 0;
    g_VisualCamera2On = AtoI(read("CameraListConfig", "m_VisualCamera2")) != 0;
    const std::string language = ReadConfig(folder, "LanguageSetConfig", "LanguageSet", "Chinese");
    const int index = LanguageIndexOf(language);
    m_Language = index < 0 ? 1 : index;
}

bool SetView::SaveConfig(const std::string& folder) const {
    const std::string path = ConfigFilePath(folder);
    bool ok = plat::WritePrivateProfileString("SetViewConfig", "m_BinaryImg", FormatInt(m_BinaryImg), path);
    ok = plat::WritePrivateProfileString("SetViewConfig", "m_VisualSize", FormatC("%0.2f", m_VisualSize.load()), path) && ok;
    ok = plat::WritePrivateProfileString("SetViewConfig", "m_Light_Contrast", FormatInt(m_Light_Contrast), path) &&
         ok;
    ok = plat::WritePrivateProfileString("SetViewConfig", "m_Light_Brightness", FormatInt(m_Light_Brightness),
                                         path) &&
         ok;
    return ok;
}

void SetView::LoadLanguage(const std::string& folder, const std::string& language) {
    std::array<std::string, kSetViewTextCount> texts;
    for (int i = 0; i < kSetViewTextCount; ++i)
        texts[i] = LoadCaption(folder, language, "SetViewConfig", kSetViewTexts[i].key, kSetViewTexts[i].builtin);
    const int index = LanguageIndexOf(language);
    m_Language = index < 0 ? 1 : index;
    std::lock_guard lock(m_textMutex);
    m_Texts = std::move(texts);
}

bool SetView::SnapshotTest(const std::string& /*startFolder*/) {
    const std::string stamp = FormatTimeStamp();  // names nothing: the snapshot is not kept
    (void)stamp;
    const plat::CameraHandle h = TheCameraService().Handle(g_CurrentCamera);
    if (!h) return false;
    plat::CameraFrameHead head;
    std::uint8_t* raw = nullptr;
    if (plat::CameraSnapToBuffer(h, &head, &raw, 1000) != 0) return false;
    plat::CameraReleaseImageBuffer(h, raw);
    return true;
}

} // namespace smt
