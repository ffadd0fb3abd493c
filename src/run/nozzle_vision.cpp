#include "run/nozzle_vision.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/log.h"
#include "base/numtext.h"
#include "joblist/part_list.h"
#include "joblist/part_list_texts.h"
#include "link/combined_commands.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "platform/event.h"
#include "platform/msgbox.h"
#include "run/run_camera.h"
#include "run/run_frame.h"
#include "run/run_geometry.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/version_switches.h"
#include "vision/camera_list.h"
#include "vision/camera_service.h"
#include "vision/recognition.h"
#include "vision/set_view.h"

namespace smt {

namespace {

constexpr int kVisionFailedIcon = 8;

// Open from the marking of a flying pass's records until its frames were waited
// for: a frame measured outside it (late, after the bound) writes nothing, so the
// place step never reads a record while it changes.
std::atomic<bool> g_flyPassOpen{false};

void TraceAndLog(const std::string& line) {
    AppendCommTrace(line, true);
    if (TheVersionSwitches().m_Write_Logfile) LogPrintf(GetLogStream(), true, "%s", line.c_str());
}

void LogOnly(const char* line) {
    if (TheVersionSwitches().m_Write_Logfile) LogPrintf(GetLogStream(), true, "%s", line);
}

CameraRecord CameraOf(int camera) {
    return camera == kVisionCamera2 ? TheCameraList().Second() : TheCameraList().First();
}

// The panel's ordinary camera a vision camera is read from: the second object on
// type 4 and for type 5's synchronous head, else the first.
int VideoIndexOf(bool synchronous) {
    const int type = g_MachineType.load();
    return type == 4 || (type == 5 && synchronous) ? 1 : 0;
}

bool CameraPresent(int camera, bool synchronous) {
    const int type = g_MachineType.load();
    if (type == 5 && camera == kVisionCamera1) TheSetView().m_DsCameraIndex = synchronous ? 1 : 0;
    // The check guards the source the frame is then taken from: an industrial camera
    // configured for this vision camera gives it on every type. Otherwise the
    // double-table and the synchronous machines read their vision cameras as ordinary
    // video cameras (the second one on type 4 and for type 5's synchronous head).
    if ((type == 4 || type == 5) && !RunCameraIsSdk(camera))
        return TheSetView().DsCameraOpen(VideoIndexOf(synchronous));
    return RunCameraPresent(camera, 0);
}

bool CheckCamera(int camera, bool synchronous) {
    if (CameraPresent(camera, synchronous)) return true;
    plat::MessageBoxOk(PartListText("Message_29"), true);
    return false;
}

// A frame for a recognition of a window of windowMm at `scale` pixels per mm.
std::optional<cv::Mat> TakeFrame(int camera, bool synchronous, double windowMm, double scale) {
    std::optional<cv::Mat> frame = AcquireRunFrame(camera, VideoIndexOf(synchronous));
    if (!frame) return std::nullopt;
    *frame = UndistortForRecognition(*frame, camera, windowMm, scale);
    if (TheCameraList().Settings().m_VisualImageColorReversal) InvertFrame(*frame);
    return frame;
}

void ChangeDelay() {
    const CameraListSettings s = TheCameraList().Settings();
    if (g_CameraChanged.load() && s.m_bChangeCameraDelay && s.m_iChangeCameraDelay > 0)
        plat::SleepFor(plat::Millis(s.m_iChangeCameraDelay));
}

struct Measured {
    bool found = false;
    std::int32_t dX = 0, dY = 0, dA = 0;
};

// One FindComponent on `frame` with the trace line; the pulses of what it found.
Measured Recognise(const cv::Mat& frame, int slot, const PlacementRecord& r, int pass, double window,
                   double scale) {
    double x = 0, y = 0, a = 0;
    ComponentBox box;
    FindComponent(std::clamp(slot, 0, kVisionResultSlotCount - 1), x, TheSetView().m_BinaryImg.load() != 0, box, frame,
                  r.flyValue1, r.visionType, y, a, pass, window, scale, r.placeAngle);
    Measured m;
    if (box.cx == -1.0f) return m;
    const double w = box.width / scale, h = box.height / scale;
    // A body far from the package's size, or the whole window (an empty nozzle shows
    // its noise), is not this part: a failed recognition, never a correction.
    const int side = RecognitionWindow(frame.size(), window, scale).width;
    if (!BodyFitsPackage(w, h, r.partLength, r.partWidth) || BodyFillsWindow(box.width, box.height, side)) {
        TraceAndLog(FormatC("Visual: W = %0.2f，H = %0.2f, not the package %0.2f x %0.2f !", w, h, r.partLength,
                            r.partWidth));
        return m;
    }
    const PulseFactors& f = ThePulseFactors();
    m.found = true;
    m.dX = ToPulses(x, f.m_X_Pulse);
    m.dY = ToPulses(y, f.m_Y_Pulse);
    m.dA = ToPulses(a, f.m_A_Pulse);
    TraceAndLog(FormatC("Visual: X = %0.4f，Y = %0.4f，A = %0.4f，W = %0.2f，H = %0.2f", x, y, a, w, h));
    return m;
}

AxisSpeed HeadASpeed(const PlacementRecord& r) {
    const int h = r.head >= 1 && r.head <= 4 ? r.head : 1;
    return {r.speeds[static_cast<std::size_t>(2 + 2 * h)], r.speeds[static_cast<std::size_t>(3 + 2 * h)]};
}

void MarkVisionFailed(PlacementRecord& r) {
    r.visionFailed = 1;
    if (r.jobRow >= 0) ThePartList().SetPartRowIcon(r.jobRow, kVisionFailedIcon, false);
}

} // namespace

double VisionWindowMm(double partLength, double partWidth, double partAngle, double margin, double visualSize) {
    const double size = std::max(partLength, partWidth) + margin;
    double window = size > 0.0 && size <= visualSize ? size : visualSize;
    if (partAngle != 0.0 && partAngle != 90.0 && partAngle != 180.0 && partAngle != 270.0) window *= 1.4;
    return window;
}

double PlaceAngleInRange(double a) {
    if (a > 0.0 && a <= 90.0) return a;
    if (a > 90.0 && a < 180.0) return a - 90.0;
    if (a >= 180.0 && a < 270.0) return a - 180.0;
    if (a >= 270.0 && a <= 360.0) return a - 360.0;
    return a;
}

bool MeasurePartOnNozzle(PlacementRecord& r, bool synchronous) {
    const int camera = g_CurrentCamera.load() == kVisionCamera2 ? kVisionCamera2 : kVisionCamera1;
    if (!CheckCamera(camera, synchronous)) return false;
    const CameraRecord cam = CameraOf(camera);
    const int precisionXY = r.precisionXY != -1 ? r.precisionXY : cam.Precision_XY;
    const int precisionA = r.precisionA != -1 ? r.precisionA : cam.Precision_A;
    const int collectTime = r.collectTime != -1 ? r.collectTime : cam.CollectTime;
    const std::size_t h = static_cast<std::size_t>(std::clamp(r.head, 1, 8) - 1);
    std::int32_t headX = cam.CorrectionPulse_X[h], headY = cam.CorrectionPulse_Y[h];
    if (camera == kVisionCamera1 && r.head == 2 && synchronous) {
        const CameraListSettings s = TheCameraList().Settings();
        headX = ToPulses(s.m_Correct_X, ThePulseFactors().m_X_Pulse);
        headY = ToPulses(s.m_Correct_Y, ThePulseFactors().m_Y_Pulse);
    }

    r.correctionX = r.correctionY = 0;
    r.placeAngle = PlaceAngleInRange(r.placeAngle);
    const double window =
        VisionWindowMm(r.partLength, r.partWidth, r.partAngle, TheBasicSettings().m_AutoMagnify, cam.VisualSize);
    TheSetView().SetVisionParameters(r.flyValue1, r.flyValue2, cam.VisualZoom, window);
    ChangeDelay();

    const auto stopped = [&r] {
        r.visionFailed = 0;
        return false;
    };
    for (int pass = 0; pass < cam.CorrectionTimes; ++pass) {
        if (!synchronous && collectTime > 0) plat::SleepFor(plat::Millis(collectTime));
        const std::optional<cv::Mat> frame = TakeFrame(camera, synchronous, window, cam.VisualZoom);
        const Measured m = frame ? Recognise(*frame, r.head, r, pass, window, cam.VisualZoom) : Measured{};
        if (!m.found) {
            if (!PassPauseGate()) return stopped();
            continue;
        }
        const bool finished = r.visionKind == 2 || (std::abs(m.dX) <= precisionXY && std::abs(m.dY) <= precisionXY &&
                                                    std::abs(m.dA) <= precisionA);
        if (r.visionKind == 2) {
            // Flying parts are measured once here and never moved.
            r.correctionX = m.dX;
            r.correctionY = m.dY;
            r.correctionA = m.dA;
        }
        if (finished) {
            r.correctionX += headX;
            r.correctionY += headY;
            r.visionFailed = 0;
            return true;
        }
        XYAMove move;
        move.xy = {m.dX, {r.speeds[0], r.speeds[1]}, m.dY, {r.speeds[2], r.speeds[3]}};
        move.nozzle = static_cast<std::uint8_t>(h + 1);
        move.dA = -m.dA;
        const AxisSpeed a = HeadASpeed(r);
        move.p = a.start;
        move.q = a.run;
        move.flags = 0x80;
        if (!MoveXYA(move)) return stopped();
        if (!PassPauseGate()) return stopped();
        r.correctionX += m.dX;
        r.correctionY += m.dY;
    }
    LogOnly("Visual times out set !");
    MarkVisionFailed(r);
    return true;
}

bool FlyVisionPlace(PlacementRecord& r, bool sameCommand, double offsetXMm, double offsetYMm, PulsePoint cellMark1) {
    // Every flying part of the pass counts as unmeasured until its frame says otherwise.
    {
        std::lock_guard lock(NozzleStateMutex());
        for (int k = 0; k < 8; ++k) {
            PlacementRecord& w = g_NozzleWork[static_cast<std::size_t>(k)];
            if (w.visionKind == 2 && w.head >= 1 && w.head <= 8) w.visionFailed = 1;
        }
        if (r.visionKind == 2) r.visionFailed = 1;
    }
    const int heads = g_HeadCount.load();
    if (heads < 1) {
        // No frame would be awaited for any head: nothing to pass with.
        TraceAndLog("Fly: head count < 1 !");
        return false;
    }
    g_CurrentCamera = kVisionCamera1;
    if (TheCameraService().TriggerMode(kVisionCamera1) != 2) TheCameraService().m_FlyTestRequest = false;
    SelectCamera(2, static_cast<std::uint8_t>(r.flyValue2), 2);

    const CameraListSettings s = TheCameraList().Settings();
    const std::int32_t startX = g_FlyStartX, startY = g_FlyStartY, endX = g_FlyEndX, endY = g_FlyEndY;
    FlyFrames frames = FlyFrames::Incomplete;
    bool ok = false;
    g_flyPassOpen = true;
    if (sameCommand) {
        MoveAndFlyPayload p;
        p.dX1 = startX - g_PulseX;
        p.dY1 = startY - g_PulseY;
        p.speedPair = {r.speeds[12], r.speeds[13]};
        for (int n = 0; n < 8; ++n) p.dA[static_cast<std::size_t>(n)] = g_RotationTarget[static_cast<std::size_t>(n)];
        p.secondPair = {r.speeds[28], r.speeds[29]};
        p.frames = static_cast<std::uint8_t>(heads);
        p.dX2 = endX - startX;
        p.cameraB = s.m_iFlyStartSpeed;
        p.cameraC = s.m_iFlyNormalSpeed;
        for (int n = 0; n < 8; ++n) p.triggers[static_cast<std::size_t>(n)] = g_FlyTrigger[static_cast<std::size_t>(n)];
        const PulseFactors& f = ThePulseFactors();
        const double rowX = AtoF(ThePartList().Cell(JobList::Part, r.jobRow, 1));
        const double rowY = AtoF(ThePartList().Cell(JobList::Part, r.jobRow, 2));
        std::int32_t placeX = ToPulses(rowX + offsetXMm, f.m_X_Pulse) - endX + cellMark1.x;
        std::int32_t placeY = ToPulses(rowY + offsetYMm, f.m_Y_Pulse) - endY + cellMark1.y;
        if (r.head >= 2 && r.head <= 8) {
            placeX -= g_NozzleToNozzle1Pulses[static_cast<std::size_t>(r.head - 1)].x;
            placeY -= g_NozzleToNozzle1Pulses[static_cast<std::size_t>(r.head - 1)].y;
        }
        p.dX3 = placeX;
        p.dY3 = placeY;
        g_FlyFrameCount = 0;
        ok = MoveAndFly(p, &frames);
    } else {
        XYAMultiMove to;
        to.xy = {startX - g_PulseX, {r.speeds[12], r.speeds[13]}, startY - g_PulseY, {r.speeds[14], r.speeds[15]}};
        for (int n = 0; n < 8; ++n) to.dA[static_cast<std::size_t>(n)] = g_RotationTarget[static_cast<std::size_t>(n)];
        to.aSpeed = {r.speeds[28], r.speeds[29]};
        ok = MoveXYAMulti(to) && PassPauseGate();
        if (ok) {
            FlyCameraMove m;
            m.dX = endX - startX;
            m.frames = heads;
            m.cameraB = s.m_iFlyStartSpeed;
            m.cameraC = s.m_iFlyNormalSpeed;
            // Heads 1..8; the pass has no further triggers.
            for (int n = 0; n < 8; ++n) m.triggers[static_cast<std::size_t>(n)] = g_FlyTrigger[static_cast<std::size_t>(n)];
            g_FlyFrameCount = 0;
            ok = MoveFlyingCamera(m, &frames);
        }
    }
    std::vector<int> failedRows;
    {
        std::lock_guard lock(NozzleStateMutex());
        g_flyPassOpen = false;
        if (frames == FlyFrames::Incomplete) {
            // Frames are given to heads by their order: after a lost one, the later
            // frames went to the wrong heads, so no measurement of the pass is trusted.
            for (int k = 0; k < 8; ++k) {
                PlacementRecord& w = g_NozzleWork[static_cast<std::size_t>(k)];
                if (w.visionKind != 2 || w.head < 1 || w.head > 8) continue;
                w.visionFailed = 1;
                if (w.jobRow >= 0) failedRows.push_back(w.jobRow);
            }
            if (r.visionKind == 2) r.visionFailed = 1;
        }
    }
    for (int row : failedRows) ThePartList().SetPartRowIcon(row, kVisionFailedIcon, false);
    // The camera back to free running, whatever became of the pass.
    SelectCamera(2, static_cast<std::uint8_t>(r.flyValue2), 0);
    g_CurrentCamera = kVisionCamera1;
    return ok && PassPauseGate();
}

void MeasurePartInFrame(const cv::Mat& frame, int head) {
    if (!g_flyPassOpen || head < 1 || head > 8) return;
    PlacementRecord r;
    std::size_t index = 0;
    {
        std::lock_guard lock(NozzleStateMutex());
        const auto it = std::find_if(g_NozzleWork.begin(), g_NozzleWork.begin() + 8,
                                     [head](const PlacementRecord& w) { return w.head == head; });
        if (it == g_NozzleWork.begin() + 8 || it->visionKind != 2) return;
        index = static_cast<std::size_t>(it - g_NozzleWork.begin());
        r = *it;
    }
    const CameraRecord cam = TheCameraList().First();
    const CameraListSettings s = TheCameraList().Settings();
    const std::size_t h = static_cast<std::size_t>(head - 1);
    const std::int32_t headX = cam.CorrectionPulse_X[h];
    const std::int32_t headY = ToPulses(s.m_dFlyCorrect_Y[h], ThePulseFactors().m_Y_Pulse);
    r.placeAngle = PlaceAngleInRange(r.placeAngle);
    const double window =
        VisionWindowMm(r.partLength, r.partWidth, r.partAngle, TheBasicSettings().m_AutoMagnify, cam.VisualSize);
    TheSetView().SetVisionParameters(r.flyValue1, r.flyValue2, cam.VisualZoom, window);
    cv::Mat image = frame;
    if (s.m_VisualImageColorReversal) InvertFrame(image);
    const Measured m = Recognise(image, head, r, 0, window, cam.VisualZoom);
    if (!m.found) LogOnly("Visual error !");

    std::lock_guard lock(NozzleStateMutex());
    if (!g_flyPassOpen) return;  // the pass was given up meanwhile
    PlacementRecord& w = g_NozzleWork[index];
    w.placeAngle = r.placeAngle;
    if (!m.found) {
        w.correctionX = w.correctionY = w.correctionA = 0;
        w.visionFailed = 1;
        return;
    }
    w.correctionA = m.dA;
    w.correctionX = m.dX + headX;
    w.correctionY = m.dY + headY;
    w.visionFailed = 0;
}

bool MoveOverCameraOnTable(PlacementRecord& r, int table) {
    const int camera = r.visionCamera;
    static std::atomic<std::int32_t> s_targetX{0};  // a record naming no camera or head keeps the last target
    std::int32_t rotation = 0;
    if (camera == 1 || camera == 2) {
        SelectCamera(static_cast<std::uint8_t>(camera + 1), static_cast<std::uint8_t>(r.flyValue2), camera == 1 ? -1 : 0);
        const CameraRecord cam = CameraOf(camera);
        if (r.head >= 0 && r.head <= 3) {
            s_targetX = cam.CameraPulse_X - (r.head > 0 ? g_NozzleToNozzle1Pulses[static_cast<std::size_t>(r.head)].x : 0);
            rotation = g_RotationTarget[static_cast<std::size_t>(r.head)];
        }
    }
    XYRotationMove m;
    m.dX = s_targetX - g_PulseX;
    m.xSpeed = {r.speeds[12], r.speeds[13]};
    m.yAxis = table == 2 ? 12 : 1;
    m.dY = 0;
    m.ySpeed = {10, 10};
    m.r = static_cast<std::uint8_t>(4 + std::clamp(r.head, 0, 3));  // the head's A axis code
    m.dR = rotation;
    m.p = r.speeds[28];
    m.q = r.speeds[29];
    if (!MoveXYWithRotation(m)) return false;
    if (!PassPauseGate() || !PassPauseGate()) return true;
    // A reading left from an earlier place or test says nothing about this part.
    const std::uint8_t nozzle = static_cast<std::uint8_t>(std::clamp(r.head, 0, 3) + 1);
    if (!ReadVacuum(nozzle)) {
        // Unanswered: the operator was told and the link is down.
        r.visionFailed = 1;
        return true;
    }
    if (g_VacuumReading.load() < r.vacuum) {
        r.visionFailed = 1;
        return false;
    }
    if (MeasurePartOnTable(r)) return true;
    return !PassPauseGate();
}

bool MeasurePartOnTable(PlacementRecord& r) {
    const int camera = r.visionCamera == 2 ? kVisionCamera2 : kVisionCamera1;
    // The camera's industrial device when it has one, else the panel's ordinary camera.
    if (!CheckRunCamera(camera, VideoIndexOf(false))) return true;
    const CameraRecord cam = CameraOf(camera);
    const int collectTime = r.collectTime != -1 ? r.collectTime : cam.CollectTime;
    if (collectTime > 0) plat::SleepFor(plat::Millis(collectTime));
    const std::size_t h = static_cast<std::size_t>(std::clamp(r.head, 0, 3));
    r.placeAngle = PlaceAngleInRange(r.placeAngle);
    const double window =
        VisionWindowMm(r.partLength, r.partWidth, r.partAngle, TheBasicSettings().m_AutoMagnify, cam.VisualSize);
    TheSetView().SetVisionParameters(r.flyValue1, r.flyValue2, cam.VisualZoom, window);
    const std::optional<cv::Mat> frame = TakeFrame(camera, false, window, cam.VisualZoom);
    const Measured m = frame ? Recognise(*frame, static_cast<int>(h) + 1, r, 0, window, cam.VisualZoom) : Measured{};
    if (!m.found) {
        LogOnly("Visual error !");
        r.visionFailed = 1;
    } else if (r.visionKind == 2) {
        r.correctionA = m.dA;
        r.correctionX = m.dX + cam.CorrectionPulse_X[h];
        r.correctionY = m.dY + cam.CorrectionPulse_Y[h];
        r.visionFailed = 0;
    }
    return !PassPauseGate();
}

} // namespace smt
