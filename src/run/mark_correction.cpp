#include "run/mark_correction.h"

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include <opencv2/core.hpp>

#include "base/globals.h"
#include "base/log.h"
#include "base/numtext.h"
#include "joblist/part_list_texts.h"
#include "joblist/pcb_records.h"
#include "joblist/run_board.h"
#include "joblist/run_toolbar.h"
#include "link/combined_commands.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "platform/event.h"
#include "platform/msgbox.h"
#include "run/run_camera.h"
#include "run/run_frame.h"
#include "run/run_geometry.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"
#include "settings/version_switches.h"
#include "vision/camera_list.h"
#include "vision/recognition.h"
#include "vision/set_view.h"

namespace smt {

std::atomic<std::int32_t> g_MarkIndex{1};

namespace {

constexpr int kCircleMode = 1, kBoxMode = 2;
constexpr int kBoxResultSlot = 1;
// Nominal marks closer than this (pulses) give no usable direction.
constexpr float kShortestMarkDistance = 5.0f;

PcbEditFields PcbFields() {
    const auto& fields = TheRunToolbarPort().pcbEditFields;
    return fields ? fields() : PcbEditFields{};
}

bool LogOn() { return TheVersionSwitches().m_Write_Logfile != 0; }

void TraceAndLog(const std::string& line) {
    AppendCommTrace(line, true);
    if (LogOn()) LogPrintf(GetLogStream(), true, "%s", line.c_str());
}

void LogOnly(const char* line) {
    if (LogOn()) LogPrintf(GetLogStream(), true, "%s", line);
}

void TopmostOk(const char* key) {
    const std::string text = PartListText(key);
    plat::MessageBoxOk(text, true);
}

// Only an explicit Yes goes on: a correction the operator did not accept is never made.
bool AskYes(const char* key) {
    const std::string text = PartListText(key);
    return plat::MessageBoxAsk(text, plat::MsgButtons::YesNo, true) == plat::MsgAnswer::Yes;
}

void SetVision(int contrast, int brightness, double scale, double window) {
    TheSetView().SetVisionParameters(contrast, brightness, scale, window);
}

// A camera just switched needs its settle time before the first frame.
void CameraChangeDelay() {
    const CameraListSettings s = TheCameraList().Settings();
    if (g_CameraChanged.load() != 0 && s.m_bChangeCameraDelay != 0 && s.m_iChangeCameraDelay > 0)
        plat::SleepFor(plat::Millis(s.m_iChangeCameraDelay));
}

XYAMove XYMove(std::int32_t dX, std::int32_t dY, SpeedType speeds) {
    const SpeedTypeTable t = TheSpeedTemplates().Table(speeds);
    XYAMove m;
    m.xy = {dX, {t.m_Start_X, t.m_Normal_X}, dY, {t.m_Start_Y, t.m_Normal_Y}};
    m.flags = 0x80;
    return m;
}

// The camera over a point (head target in pulses), at the vision-placement speeds.
bool MoveCameraTo(std::int32_t x, std::int32_t y) {
    g_TargetPulseX = x;
    g_TargetPulseY = y;
    const std::int32_t dX = AddPulses({x, -static_cast<std::int64_t>(g_PulseX.load())});
    const std::int32_t dY = AddPulses({y, -static_cast<std::int64_t>(g_PulseY.load())});
    if (!MoveXYA(XYMove(dX, dY, SpeedType::VisualSmt))) return false;
    return PassPauseGate();
}

void ShowXYFields() {
    const CommandPanelPort& port = TheCommandPanel();
    if (!port.showPosition) return;
    const bool inPulses = port.displayInPulses && port.displayInPulses();
    const PulseFactors& f = ThePulseFactors();
    port.showPosition(PositionField::X, FormatPositionField(g_PulseX, f.m_X_Pulse, inPulses));
    port.showPosition(PositionField::Y, FormatPositionField(g_PulseY, f.m_Y_Pulse, inPulses));
}

} // namespace

std::optional<cv::Mat> TakeMarkFrame(int collectTimeMs, bool invert) {
    if (collectTimeMs > 0) plat::SleepFor(plat::Millis(collectTimeMs));
    std::optional<cv::Mat> frame = AcquireRunFrame(kMarkCamera);
    if (frame && invert) InvertFrame(*frame);
    return frame;
}

CircleReading ReadCircle(const std::optional<cv::Mat>& frame, const char* label, int threshold, double window,
                         double scale, int precision, double size) {
    CircleReading out;
    if (!frame) return out;
    double x = 0, y = 0;
    MarkCircle circle;
    FindMark(x, y, TheSetView().m_BinaryImg.load() != 0, circle, *frame, threshold, window, scale);
    if (!MarkCircleAccepted(circle, window, scale)) return out;
    const double d = 2.0 * circle.r / scale;
    TraceAndLog(FormatC("%s: X = %0.4f，Y = %0.4f，D = %0.4f", label, x, y, d));
    if (!MarkDiameterWithin(d, size, precision)) {
        out.result = Reading::WrongSize;
        return out;
    }
    out.result = Reading::Found;
    out.dX = ToPulses(x, g_PulsesPerMmX);
    out.dY = ToPulses(y, g_PulsesPerMmY);
    return out;
}

bool MarkDiameterWithin(double d, double size, int precision) {
    return (100 - precision) * size / 100 <= d && d <= (100 + precision) * size / 100;
}

bool MarkCircleAccepted(const MarkCircle& c, double windowMm, double pixelsPerMm) {
    return c.x != -1.0f && c.r < windowMm * pixelsPerMm * 0.5;
}

bool RecognizeBoardMark() {
    if (!CheckRunCamera(kMarkCamera)) return false;
    const PcbEditFields f = PcbFields();
    const bool second = g_MarkIndex.load() == 2;
    const bool own = second && f.m_SpecialMark2 != 0;
    const int contrast = own ? f.m_Mark2LightContrast : f.m_LightContrast;
    const int brightness = own ? f.m_Mark2LightBrightness : f.m_LightBrightness;
    SetVision(contrast, brightness, f.m_VisualZoom, f.m_VisualBox);
    CameraChangeDelay();
    std::atomic<std::int32_t>& offsetX = second ? g_Mark2OffsetX : g_Mark1OffsetX;
    std::atomic<std::int32_t>& offsetY = second ? g_Mark2OffsetY : g_Mark1OffsetY;
    for (int pass = 0; pass < f.m_VisualTimes; ++pass) {
        const auto frame = TakeMarkFrame(f.m_MarkCollectTime, f.m_ImageColorReversal != 0);
        const CircleReading r =
            ReadCircle(frame, "Mark", contrast, f.m_VisualBox, f.m_VisualZoom, f.m_DetectPrecision, f.m_MarkDiameter);
        if (r.result != Reading::Found) {
            if (r.result == Reading::NotFound) LogOnly("Mark size error !");
            TopmostOk("Message_30");
            return false;
        }
        if (!MoveXYA(XYMove(-r.dX, r.dY, SpeedType::VisualCorrection))) return false;
        if (!PassPauseGate()) return false;
        offsetX += -r.dX;
        offsetY += r.dY;
    }
    return true;
}

bool CorrectByTwoMarks() {
    const RunBoardState board = CopyRunBoard();
    const PcbEditFields f = PcbFields();
    const PulsePoint camera = g_CameraToNozzle1Pulses;
    const std::int64_t cellX = g_CellOriginPulseX.load(), cellY = g_CellOriginPulseY.load();
    const auto targetX = [&](std::int32_t mark) { return AddPulses({mark, cellX, -std::int64_t{camera.x}}); };
    const auto targetY = [&](std::int32_t mark) { return AddPulses({mark, cellY, -std::int64_t{camera.y}}); };

    g_MarkIndex = 1;
    // The mark camera first, so that the light below is the mark camera's.
    g_CurrentCamera = kMarkCamera;
    SetVision(f.m_LightContrast, f.m_LightBrightness, f.m_VisualZoom, f.m_VisualBox);
    if (!MoveCameraTo(targetX(board.g_RunMark1PulseX), targetY(board.g_RunMark1PulseY))) return false;
    g_BoardRotation = 0.0;
    g_Mark1OffsetX = 0, g_Mark1OffsetY = 0, g_Mark2OffsetX = 0, g_Mark2OffsetY = 0;
    if (!RecognizeBoardMark()) return false;
    if (board.g_RunMark2X == 0.0 && board.g_RunMark2Y == 0.0) return true;  // one mark: translation only

    g_MarkIndex = 2;
    if (f.m_SpecialMark2 != 0) SetVision(f.m_Mark2LightContrast, f.m_Mark2LightBrightness, f.m_VisualZoom, f.m_VisualBox);
    if (!MoveCameraTo(targetX(board.g_RunMark2PulseX), targetY(board.g_RunMark2PulseY))) return false;
    if (!RecognizeBoardMark()) return false;

    const double nx = static_cast<double>(board.g_RunMark2PulseX) - board.g_RunMark1PulseX;
    const double ny = static_cast<double>(board.g_RunMark2PulseY) - board.g_RunMark1PulseY;
    const float fx = static_cast<float>(nx), fy = static_cast<float>(ny);
    if (std::sqrt(fx * fx + fy * fy) < kShortestMarkDistance) {
        plat::MessageBoxOk("Mark2 to Mark1 length is too short!!", true);
        return false;
    }
    const double mx = nx + g_Mark2OffsetX.load() - g_Mark1OffsetX.load();
    const double my = ny + g_Mark2OffsetY.load() - g_Mark1OffsetY.load();
    g_BoardRotation = BoardRotationFromPulses(nx, ny, mx, my);
    return true;
}

bool RecognizeSpecifiedMark(int mode, int precision, int contrast, int brightness, int collectTime, int passes,
                            int invert, int limit, std::int32_t* offsetX, std::int32_t* offsetY, double window,
                            double size) {
    if (!CheckRunCamera(kMarkCamera)) return false;
    const double scale = PcbFields().m_VisualZoom;
    SetVision(contrast, brightness, scale, window);
    CameraChangeDelay();
    std::int64_t totalX = 0, totalY = 0;
    int last = passes;
    for (int pass = 0; pass < last; ++pass) {
        const auto frame = TakeMarkFrame(collectTime, invert != 0);
        bool found = false;
        std::int32_t dX = 0, dY = 0;
        if (mode == kCircleMode) {
            const CircleReading r = ReadCircle(frame, "SpecifyMark", contrast, window, scale, precision, size);
            if (r.result == Reading::WrongSize) {
                TopmostOk("Message_30");
                return false;
            }
            found = r.result == Reading::Found;
            dX = r.dX, dY = r.dY;
        } else if (mode == kBoxMode) {
            ComponentBox box;
            double x = 0, y = 0, a = 0;
            if (frame)
                FindComponent(kBoxResultSlot, x, TheSetView().m_BinaryImg.load() != 0, box, *frame, contrast, 0, y, a,
                              0, window, scale, 0.0);
            if (frame && box.cx != -1.0f) {
                found = true;
                const double w = box.width / scale, h = box.height / scale;
                TraceAndLog(FormatC("Mark: X = %0.4f，Y = %0.4f，A = %0.4f，W = %0.2f，H = %0.2f", x, y, a, w, h));
                if (!MarkDiameterWithin(w, size, precision) && !AskYes("Message_30")) return false;
                dX = ToPulses(x, g_PulsesPerMmX);
                dY = ToPulses(y, g_PulsesPerMmY);
            }
        } else {
            continue;
        }
        if (!found) {
            if (pass == 0) {
                ++last;  // one more try for a first look that found nothing
                continue;
            }
            LogOnly("Mark error !");
            TopmostOk("Message_38");
            return false;
        }
        totalX += dX;
        totalY += dY;
        if ((std::llabs(totalX) > limit || std::llabs(totalY) > limit) && !AskYes("Message_39")) return false;
        if (!MoveXYA(XYMove(-dX, dY, SpeedType::VisualCorrection))) return false;
        if (offsetX) *offsetX += -dX;
        if (offsetY) *offsetY += dY;
        if (!PassPauseGate()) return false;
    }
    return true;
}

void RecognizeVisualOrigin() {
    if (!CheckRunCamera(kMarkCamera)) return;
    const BasicSettings b = TheBasicSettings();
    const PcbEditFields f = PcbFields();
    SetVision(b.m_OriginLightContrast, b.m_OriginLightBrightness, f.m_VisualZoom, b.m_VisualOriginBox);
    CameraChangeDelay();
    for (int pass = 0; pass < b.m_CottectionTimeReset; ++pass) {
        const auto frame = TakeMarkFrame(b.m_OriginVisualCollectTime, b.m_OriginImageColorReversal != 0);
        const CircleReading r = ReadCircle(frame, "VisualOrigin", b.m_OriginLightContrast, b.m_VisualOriginBox,
                                           f.m_VisualZoom, f.m_DetectPrecision, b.m_VisualOriginSize);
        if (r.result != Reading::Found) {
            if (r.result == Reading::NotFound) LogOnly("Mark size error !");
            TopmostOk("Message_30");
            return;
        }
        if (!MoveXYA(XYMove(-r.dX, r.dY, SpeedType::VisualCorrection))) continue;
        // The centred target is where the counters stood before the centring.
        g_PulseX -= -r.dX;
        g_PulseY -= r.dY;
        ShowXYFields();
        if (b.m_CommModel == 1) SendCurrentXY();
    }
}

} // namespace smt
