#include "run/camera_calibration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

#include <opencv2/core.hpp>

#include "base/captions.h"
#include "base/globals.h"
#include "base/log.h"
#include "base/numtext.h"
#include "joblist/part_list_texts.h"
#include "joblist/run_toolbar.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "platform/event.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "platform/uipost.h"
#include "run/mark_correction.h"
#include "run/run_camera.h"
#include "run/run_geometry.h"
#include "run_state/run_events.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"
#include "settings/version_switches.h"
#include "vision/camera_list.h"
#include "vision/camera_service.h"
#include "vision/recognition.h"
#include "vision/set_view.h"

namespace smt {

// ---- rules ----------------------------------------------------------------------------

HeadDrives HeadDrivesOf(int type, int head) {
    HeadDrives d;
    if (head < 1 || head > 8) return d;
    if (type == 7) {
        d.zAxis = static_cast<std::uint8_t>(0x20 + head - 1);
        d.rotationAxis = static_cast<std::uint8_t>(0x28 + head - 1);
        return d;
    }
    if (type == 8 || type == 9) return d;  // axis 2, positive, nothing turns
    if (head <= 4) {
        d.zAxis = head <= 2 ? 2 : 3;
        d.zSign = head % 2 == 1 ? 1 : -1;
        d.rotationAxis = static_cast<std::uint8_t>(4 + head - 1);
    }
    return d;  // heads 5 to 8 of types 0 to 6: axis 2, positive, no rotation axis
}

std::int32_t StandardPieceHeight(int head, double baseZ, const BasicSettings& b, double zPulsesPerMm) {
    const double z[8] = {b.m_Z_Nozzle1ToFeed, b.m_Z_Nozzle2ToFeed, b.m_Z_Nozzle3ToFeed, b.m_Z_Nozzle4ToFeed,
                         b.m_Z_Nozzle5ToFeed, b.m_Z_Nozzle6ToFeed, b.m_Z_Nozzle7ToFeed, b.m_Z_Nozzle8ToFeed};
    const double mm = head >= 2 && head <= 8 ? baseZ + z[head - 1] - z[0] : baseZ;
    return ToPulses(mm, zPulsesPerMm);
}

std::int32_t StandardPieceStroke(int type, int head, std::int32_t height) {
    // Heights are negative downwards; a stroke lowers the first nozzle of a rocker
    // with a positive depth and the second with a negative one.
    const std::int64_t size = std::llabs(static_cast<std::int64_t>(height));
    const std::int64_t depth = HeadDrivesOf(type, head).zSign * size;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(depth, -INT32_MAX, INT32_MAX));
}

bool ScaleAccepted(double width, double diameter) { return 0.99 * diameter < width && width < 1.01 * diameter; }

std::optional<MmPoint> SampleCentre(const std::array<std::optional<MmPoint>, 4>& samples) {
    // The range of the samples alone: a range that always held 0 put the centre
    // wrongly whenever every sample lay on one side.
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (!samples[i]) return std::nullopt;
        const MmPoint p = *samples[i];
        if (i == 0 || p.x < minX) minX = p.x;
        if (i == 0 || p.x > maxX) maxX = p.x;
        if (i == 0 || p.y < minY) minY = p.y;
        if (i == 0 || p.y > maxY) maxY = p.y;
    }
    return MmPoint{(minX + maxX) / 2, (minY + maxY) / 2};
}

std::int32_t TriggerBase(int head, const std::array<std::int32_t, 8>& off) {
    const std::int64_t off2 = off[1];
    std::int64_t b = off2;
    if (head == 2) b = 2 * off2;
    else if (head >= 3 && head <= 8) b = off[static_cast<std::size_t>(head - 1)] + off2;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(b, INT32_MIN, INT32_MAX));
}

bool TriggerAccepted(std::int32_t t, std::int32_t base, std::int32_t off2) {
    return static_cast<std::int64_t>(base) <= t &&
           static_cast<std::int64_t>(t) + 130 <= static_cast<std::int64_t>(base) + off2;
}

// ---- the procedures ---------------------------------------------------------------------

namespace {

std::int32_t Sum(std::int64_t a, std::int64_t b) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(a + b, INT32_MIN, INT32_MAX));
}
std::int32_t Trunc(double v) {
    if (!(v == v)) return 0;
    return static_cast<std::int32_t>(std::clamp(std::trunc(v), double(INT32_MIN), double(INT32_MAX)));
}

bool Serial() { return TheBasicSettings().m_CommModel == 0; }
bool Logging() { return TheVersionSwitches().m_Write_Logfile != 0; }
SpeedTypeTable Handle() { return TheSpeedTemplates().Table(SpeedType::Handle); }

// The PCB editor's Mark settings (its defaults when the job lists are not there).
PcbEditFields Pcb() {
    const auto& f = TheRunToolbarPort().pcbEditFields;
    return f ? f() : PcbEditFields{};
}

PulsePoint HeadOffset(int head) {
    return head >= 2 && head <= 8 ? g_NozzleToNozzle1Pulses[static_cast<std::size_t>(head - 1)] : PulsePoint{};
}

CameraRecord Record(int camera) { return camera == 2 ? TheCameraList().Second() : TheCameraList().First(); }

// The open dialog shows the new cells and trigger values.
void TellDialog() {
    plat::PostToUi([] {
        if (const auto& f = TheCameraCalibrationView().resultsChanged) f();
    });
}

void TraceLine(const char* line) { AppendCommTrace(line, true); }

// g_RunContinue held at 1 while a loop or a recognition runs (the centring's
// stop test reads it) and back to 0 on every way out.
class RunContinue {
public:
    RunContinue() { g_RunContinue = true; }
    ~RunContinue() { g_RunContinue = false; }
    RunContinue(const RunContinue&) = delete;
    RunContinue& operator=(const RunContinue&) = delete;
};

// Vision camera 1 back to continuous frames with its camera selected, and its
// next fly frames to the run again, however a fly procedure ends: in trigger
// mode 2 it serves no frame request, and a fly test left requested would take a
// production pass's frames.
class FlyRestore {
public:
    FlyRestore() = default;
    ~FlyRestore() {
        TheCameraService().SetTriggerMode(kVisionCamera1, 0);
        SelectCamera(2, static_cast<std::uint8_t>(TheSetView().m_Light_Brightness.load()), 0);
        TheCameraService().m_FlyTestRequest = false;
    }
    FlyRestore(const FlyRestore&) = delete;
    FlyRestore& operator=(const FlyRestore&) = delete;
};

struct Found {
    double x = 0, y = 0, a = 0, w = 0, h = 0;
};
enum class LogForm { Scale, Position };

class Calibration {
public:
    explicit Calibration(CalibrationContext context)
        : m_context(std::move(context)), m_type(g_MachineType.load()), m_piece(TheCameraList().Settings()) {}

    void Run(int op, int row) {
        const int camera = row + 1;
        switch (op) {
        case kNozzleToBase: MoveNozzleToStandardPiece(); break;
        case kCameraToBase: MoveCameraToStandardPiece(); break;
        case kPickBaseToCamera:
            if (KnownCamera(camera)) CarryStandardPieceToCamera(1, camera, 0, 0);
            break;
        case kPlaceBase: ReturnStandardPiece(1); break;
        case kScaleCorrect:
            // The camera is checked before the piece is picked, so a missing camera
            // never leaves the piece hanging on the nozzle.
            if (!KnownCamera(camera) || !CameraReady(camera)) break;
            if (CarryStandardPieceToCamera(1, camera, 0, 0) && PrepareCalibrationCamera(camera) &&
                CalibrateCameraScale(camera, false))
                ReturnStandardPiece(1);
            break;
        case kPositionCorrect:
            if (!KnownCamera(camera) || !Turns(1) || !CameraReady(camera)) break;
            if (CarryStandardPieceToCamera(1, camera, 0, 0) && PrepareCalibrationCamera(camera) &&
                CalibrateCameraPosition(1, camera))
                ReturnStandardPiece(1);
            break;
        case kMarkCameraCorrect: MarkCameraCorrect(camera); break;
        case kNozzleCorrect: NozzleCorrect(camera); break;
        case kFlyTest: {
            FlyRestore restore;
            RunFlyTest();
            break;
        }
        case kFlyCorrect: FlyCorrect(); break;
        default: break;
        }
    }

    // ---- moves ----

    bool MoveTo(PulsePoint target) {
        if (Serial()) SetSpeedGear(0);
        const SpeedTypeTable s = Handle();
        XYAMove m;
        m.xy.dX = Sum(target.x, -static_cast<std::int64_t>(g_PulseX.load()));
        m.xy.xSpeed = {s.m_Start_X, s.m_Normal_X};
        m.xy.dY = Sum(target.y, -static_cast<std::int64_t>(g_PulseY.load()));
        m.xy.ySpeed = {s.m_Start_Y, s.m_Normal_Y};
        m.nozzle = 0;
        m.flags = 0x80;
        return MoveXYA(m);
    }

    PulsePoint PiecePulses() const {
        return {ToPulses(m_piece.m_BaseCoordinates_X, g_PulsesPerMmX),
                ToPulses(m_piece.m_BaseCoordinates_Y, g_PulsesPerMmY)};
    }

    void SelectMarkCameraForPiece() {
        const PcbEditFields pcb = Pcb();
        SelectCamera(1, static_cast<std::uint8_t>(pcb.m_LightBrightness), -1);
        g_CurrentCamera = kMarkCamera;
        TheSetView().SetVisionParameters(pcb.m_LightContrast, pcb.m_LightBrightness, pcb.m_VisualZoom,
                                         pcb.m_VisualBox);
    }

    bool MoveNozzleToStandardPiece() {
        SelectMarkCameraForPiece();
        return MoveTo(PiecePulses());
    }

    bool MoveCameraToStandardPiece() {
        SelectMarkCameraForPiece();
        const PulsePoint p = PiecePulses();
        const PulsePoint cam = g_CameraToNozzle1Pulses;
        return MoveTo({Sum(p.x, -static_cast<std::int64_t>(cam.x)), Sum(p.y, -static_cast<std::int64_t>(cam.y))});
    }

    std::int32_t Stroke(int head) const {
        const std::int32_t h =
            StandardPieceHeight(head, m_piece.m_BaseCoordinates_Z, TheBasicSettings(), g_PulsesPerMmZ);
        return StandardPieceStroke(m_type, head, h);
    }

    // Head k takes the piece at its place (plus the offset found) and, for camera 1
    // or 2, brings it over that camera; any other camera: the piece stays on the
    // nozzle at its place.
    bool CarryStandardPieceToCamera(int head, int camera, std::int32_t dx, std::int32_t dy) {
        const PulsePoint p = PiecePulses(), off = HeadOffset(head);
        const PulsePoint at{Sum(Sum(p.x, dx), -static_cast<std::int64_t>(off.x)),
                            Sum(Sum(p.y, dy), -static_cast<std::int64_t>(off.y))};
        if (!MoveTo(at)) return false;
        const SpeedTypeTable s = Handle();
        PickStrokeArgs pick;
        pick.axis = HeadDrivesOf(m_type, head).zAxis;
        pick.depth = Stroke(head);
        pick.speed = {s.m_Start_Z1, s.m_Normal_Z1};
        pick.k = 1;
        pick.delay = 100;
        pick.f = 0;
        if (!PickStroke(pick)) return false;
        if (camera != 1 && camera != 2) return true;
        const CameraRecord r = Record(camera);
        // Camera code 2 is vision camera 1, 3 vision camera 2; the selection also
        // switches the industrial camera streams in SDK mode (but on type 4).
        SelectCamera(static_cast<std::uint8_t>(camera + 1), static_cast<std::uint8_t>(r.Light_Brightness), -1);
        g_CurrentCamera = camera;
        const PulsePoint target{Sum(r.CameraPulse_X, -static_cast<std::int64_t>(off.x)),
                                Sum(r.CameraPulse_Y, -static_cast<std::int64_t>(off.y))};
        TheSetView().SetVisionParameters(r.Light_Contrast, r.Light_Brightness, r.VisualZoom, r.VisualSize);
        return MoveTo(target);
    }

    bool ReturnStandardPiece(int head) {
        SelectMarkCameraForPiece();
        const PulsePoint p = PiecePulses(), off = HeadOffset(head);
        if (!MoveTo({Sum(p.x, -static_cast<std::int64_t>(off.x)), Sum(p.y, -static_cast<std::int64_t>(off.y))}))
            return false;
        const SpeedTypeTable s = Handle();
        PlaceStrokeArgs place;
        place.axis = HeadDrivesOf(m_type, head).zAxis;
        place.depth = Stroke(head);
        place.speed = {s.m_Start_Z1, s.m_Normal_Z1};
        place.w = std::abs(place.depth);
        place.delay = 200;
        place.threshold = 0;
        place.exhaust = TheBasicSettings().m_Exhaust;
        return PlaceStroke(place);
    }

    // ---- cameras and frames ----

    bool KnownCamera(int camera) const {
        if (camera == 1 || camera == 2) return true;
        plat::MessageBoxOk(PartListNoCamera(), true);
        return false;
    }
    static std::string PartListNoCamera();

    int VideoIndex() const { return TheSetView().m_DsCameraIndex.load(); }

    bool CameraReady(int camera) const { return CheckRunCamera(camera, VideoIndex()); }

    // The camera's recognition settings, the target at its place and the current
    // camera, after the camera check (message PartList.c_Message_29).
    bool PrepareCalibrationCamera(int camera) {
        const CameraRecord r = Record(camera);
        g_TargetPulseX = r.CameraPulse_X;
        g_TargetPulseY = r.CameraPulse_Y;
        g_CurrentCamera = camera;
        return CameraReady(camera);
    }

    // A frame for a recognition of a window of sizeMm at `scale` pixels per mm.
    std::optional<cv::Mat> Frame(int camera, double sizeMm, double scale) const {
        // An industrial camera's frame was exposed after the request, so it shows
        // the head where the last move or turn left it.
        std::optional<cv::Mat> frame = AcquireRunFrame(camera, VideoIndex());
        if (frame) frame = UndistortForRecognition(*frame, camera, sizeMm, scale);
        return frame;
    }

    // The piece in one frame with scale `scale`: its lines to the trace (and the log).
    std::optional<Found> Recognise(const cv::Mat& frame, const CameraRecord& r, double scale, LogForm form) const {
        double x = 0, y = 0, a = 0;
        ComponentBox box;
        FindComponent(1, x, TheSetView().m_BinaryImg.load() != 0, box, frame, r.Light_Contrast, 0, y, a, 0,
                      r.VisualSize, scale, 0.0);
        if (box.cx == -1) return std::nullopt;
        Found f{x, y, a, box.width / scale, box.height / scale};
        char line[200];
        std::snprintf(line, sizeof line, "Visual: X = %0.4f，Y = %0.4f，A = %0.4f，W = %0.2f，H = %0.2f", f.x, f.y, f.a,
                      f.w, f.h);
        TraceLine(line);
        if (Logging()) {
            if (form == LogForm::Scale)
                LogPrintf(GetLogStream(), true, "X = %0.4f，Y = %0.4f，A =  %0.4f，W = %0.2f, H = %0.2f", f.x, f.y, f.a,
                          f.w, f.h);
            else
                LogPrintf(GetLogStream(), true, "X = %0.4f，Y = %0.4f，A =  %0.4f，W = %0.2f，H = %0.2f", f.x, f.y,
                          f.a, f.w, f.h);
        }
        return f;
    }

    // ---- scale and mark camera ----

    // false when a move failed (the procedure ends there); true when the loop
    // ended by its rule, a failed recognition with the log on, or "退出".
    bool CalibrateCameraScale(int camera, bool markForm) {
        CameraList& list = TheCameraList();
        const CameraRecord r = Record(camera);
        const PulseSettings& pulse = ThePulseSettings();
        const double diameter = m_piece.m_BaseDiameter;
        double s = r.VisualZoom;
        std::int64_t sumX = 0, sumY = 0;
        RunContinue running;
        list.m_bFlyTestRunning = 1;
        while (list.m_bFlyTestRunning) {
            if (!plat::SleepFor(plat::Millis(1000))) return false;
            const std::optional<cv::Mat> frame = Frame(camera, r.VisualSize, s);
            const std::optional<Found> f = frame ? Recognise(*frame, r, s, LogForm::Scale) : std::nullopt;
            if (!f) {
                if (!Logging()) continue;  // the next frame
                LogPrintf(GetLogStream(), true, "Mark size error !");
                return true;
            }
            const std::int32_t dx = Trunc(pulse.m_X_Pulse * f->x), dy = Trunc(pulse.m_Y_Pulse * f->y);
            const std::int32_t da = Trunc(pulse.m_A_Pulse * f->a);
            if (!CorrectionMove(dx, dy, da)) return false;
            if (!markForm) {
                if (ScaleAccepted(f->w, diameter)) {
                    StoreScale(camera, s);
                    return true;
                }
                s = f->w * s / diameter;
            } else {
                if (dx == 0 && dy == 0) {
                    StoreMarkCameraOffset(sumX, sumY);
                    return true;
                }
                sumX += dx;
                sumY += dy;
            }
        }
        return true;
    }

    bool CorrectionMove(std::int32_t dx, std::int32_t dy, std::int32_t da) {
        if (Serial()) SetSpeedGear(0);
        const SpeedTypeTable s = Handle();
        XYAMove m;
        m.xy = {dx, {s.m_Start_X, s.m_Normal_X}, dy, {s.m_Start_X, s.m_Normal_X}};
        m.nozzle = 1;
        m.dA = Sum(0, -static_cast<std::int64_t>(da));
        m.p = s.m_Start_A1;
        m.q = s.m_Normal_A1;
        m.flags = 0x80;
        return MoveXYA(m);
    }

    void StoreScale(int camera, double s) {
        const int row = camera - 1;
        TheCameraList().Edit([&](CameraList::Contents& c) {
            if (row < static_cast<int>(c.rows.size())) c.rows[static_cast<std::size_t>(row)][20] = FormatC("%0.2f", s);
            (camera == 2 ? c.second : c.first).VisualZoom = s;
        });
        TellDialog();
    }

    void StoreMarkCameraOffset(std::int64_t sumX, std::int64_t sumY) {
        BasicSettings& b = TheBasicSettings();
        if (g_PulsesPerMmX != 0) b.m_X_CameraToNozzle1 -= static_cast<double>(sumX) / g_PulsesPerMmX;
        if (g_PulsesPerMmY != 0) b.m_Y_CameraToNozzle1 -= static_cast<double>(sumY) / g_PulsesPerMmY;
        ReportConfigWrite(SaveSetBasicConfig(b, m_context.configPath), m_context.configPath);
        g_CameraToNozzle1Pulses = {ToPulses(b.m_X_CameraToNozzle1, g_PulsesPerMmX),
                                   ToPulses(b.m_Y_CameraToNozzle1, g_PulsesPerMmY)};
    }

    bool MarkCameraCorrect(int camera) {
        if (!KnownCamera(camera) || !CameraReady(camera)) return false;
        if (!MoveCameraToStandardPiece()) return false;
        std::int32_t ox = 0, oy = 0;
        if (!LocatePiece(ox, oy)) return false;
        if (!CarryStandardPieceToCamera(1, camera, ox, oy) || !PrepareCalibrationCamera(camera)) return false;
        if (!CalibrateCameraScale(camera, true)) return false;
        return ReturnStandardPiece(1);
    }

    // The mark camera centred on the piece; (ox, oy) the moves that took (pulses).
    bool LocatePiece(std::int32_t& ox, std::int32_t& oy) {
        const PcbEditFields pcb = Pcb();
        RunContinue running;
        return RecognizeSpecifiedMark(2, pcb.m_DetectPrecision, pcb.m_LightContrast, pcb.m_LightBrightness,
                                      pcb.m_MarkCollectTime, pcb.m_VisualTimes, pcb.m_ImageColorReversal, 100, &ox,
                                      &oy, pcb.m_VisualBox, pcb.m_MarkDiameter);
    }

    // ---- position ----

    // Whether head k can turn; the message names it when it cannot.
    bool Turns(int head) const {
        if (HeadDrivesOf(m_type, head).rotationAxis) return true;
        std::string text = m_context.noRotationAxis;
        const std::string number = std::to_string(head);
        if (const auto at = text.find("%d"); at != std::string::npos) text.replace(at, 2, number);
        else text += " " + number;
        plat::MessageBoxOk(text, true);
        return false;
    }

    // Four samples with a quarter turn of head k after each good one; the centre of
    // their range is the camera's error (head 1) or head k's offset error. false
    // when a move failed.
    bool CalibrateCameraPosition(int head, int camera) {
        const CameraRecord r = Record(camera);
        const PulseSettings& pulse = ThePulseSettings();
        const bool sdk = RunCameraIsSdk(camera);
        const HeadDrives drives = HeadDrivesOf(m_type, head);
        std::array<std::optional<MmPoint>, 4> samples;
        RunContinue running;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            if (!plat::SleepFor(plat::Millis(sdk ? 200 : 1000))) return false;
            const std::optional<cv::Mat> frame = Frame(camera, r.VisualSize, r.VisualZoom);
            const std::optional<Found> f = frame ? Recognise(*frame, r, r.VisualZoom, LogForm::Position) : std::nullopt;
            if (!f) {
                if (!Logging()) continue;
                LogPrintf(GetLogStream(), true, "Mark size error !");
                break;
            }
            samples[i] = MmPoint{f->x, f->y};
            const SpeedTypeTable s = Handle();
            SingleAxisMove turn;
            turn.axis = drives.rotationAxis.value_or(4);
            turn.delta = Trunc(pulse.m_A_Pulse * 90);
            turn.speed = {s.m_Start_A1, s.m_Normal_A1};
            if (!MoveSingleAxis(turn)) return false;
        }
        const std::optional<MmPoint> centre = SampleCentre(samples);
        if (!centre) return true;  // a failed sample: nothing changes
        if (head == 1) StoreCameraPosition(camera, *centre);
        else StoreNozzleOffset(head, *centre);
        return true;
    }

    void StoreCameraPosition(int camera, MmPoint c) {
        const int row = camera - 1;
        const PulseSettings& pulse = ThePulseSettings();
        TheCameraList().Edit([&](CameraList::Contents& t) {
            if (row >= static_cast<int>(t.rows.size())) return;
            CameraCells& cells = t.rows[static_cast<std::size_t>(row)];
            const double x = AtoF(cells[1]) + c.x, y = AtoF(cells[2]) + c.y;
            cells[1] = FormatC("%0.4f", x);
            cells[2] = FormatC("%0.4f", y);
            CameraRecord& rec = camera == 2 ? t.second : t.first;
            rec.CameraPulse_X = Trunc(x * pulse.m_X_Pulse);
            rec.CameraPulse_Y = Trunc(y * pulse.m_Y_Pulse);
        });
        TellDialog();
    }

    void StoreNozzleOffset(int head, MmPoint c) {
        BasicSettings& b = TheBasicSettings();
        double* const xs[8] = {nullptr, &b.m_X_Nozzle2ToNozzle1, &b.m_X_Nozzle3ToNozzle1, &b.m_X_Nozzle4ToNozzle1,
                               &b.m_X_Nozzle5ToNozzle1, &b.m_X_Nozzle6ToNozzle1, &b.m_X_Nozzle7ToNozzle1,
                               &b.m_X_Nozzle8ToNozzle1};
        double* const ys[8] = {nullptr, &b.m_Y_Nozzle2ToNozzle1, &b.m_Y_Nozzle3ToNozzle1, &b.m_Y_Nozzle4ToNozzle1,
                               &b.m_Y_Nozzle5ToNozzle1, &b.m_Y_Nozzle6ToNozzle1, &b.m_Y_Nozzle7ToNozzle1,
                               &b.m_Y_Nozzle8ToNozzle1};
        const std::size_t k = static_cast<std::size_t>(head - 1);
        *xs[k] -= c.x;
        *ys[k] -= c.y;
        g_NozzleToNozzle1Pulses[k] = {ToPulses(*xs[k], g_PulsesPerMmX), ToPulses(*ys[k], g_PulsesPerMmY)};
    }

    void NozzleCorrect(int camera) {
        if (!KnownCamera(camera)) return;
        // The nozzles measured are those the placement strategy uses: with one
        // there is nothing to measure, which the operator is told.
        if (g_SmtHeadCount.load() < 2) {
            plat::MessageBoxOk(m_context.oneNozzle, true);
            return;
        }
        int last = std::clamp(g_SmtHeadCount.load(), 1, 8);
        // Heads without a rotation axis cannot be turned round their centre: the
        // first of them is named and only the heads before it are calibrated.
        for (int k = 2; k <= last; ++k)
            if (!HeadDrivesOf(m_type, k).rotationAxis) {
                Turns(k);
                last = k - 1;
                break;
            }
        if (last < 2) return;
        if (!PrepareCalibrationCamera(camera)) return;
        for (int k = 2; k <= last; ++k) {
            if (!CarryStandardPieceToCamera(k, camera, 0, 0)) return;
            if (!CalibrateCameraPosition(k, camera)) return;
            if (!ReturnStandardPiece(k)) return;
        }
    }

    // ---- fly-over ----

    void PrepareFly() {
        if (g_CurrentCamera.load() != kVisionCamera1) TheSetView().OnBnClickedVisualCamera1();
        SelectCamera(2, static_cast<std::uint8_t>(TheSetView().m_Light_Brightness.load()), 2);
        // The selection may have switched the mode already: the frames must go to
        // the vision test all the same.
        TheCameraService().m_FlyTestRequest = true;
        if (TheCameraService().TriggerMode(kVisionCamera1) != 2) TheCameraService().SetTriggerMode(kVisionCamera1, 2);
    }

    // One pass over vision camera 1; the head under test's X offset is then in
    // m_CalibSlotOffsetX. false when the move failed or no frame came for it.
    bool FlyPass() {
        if (g_HeadCount.load() < 1) return false;  // no pass geometry on this machine type
        if (!MoveTo({g_FlyStartX.load(), g_FlyStartY.load()})) return false;
        constexpr std::int32_t kNoFrame = INT32_MIN;
        TheSetView().m_CalibSlotOffsetX = kNoFrame;
        g_FlyFrameCount = 0;
        const CameraListSettings s = TheCameraList().Settings();
        FlyCameraMove m;
        m.dX = Sum(g_FlyEndX.load(), -static_cast<std::int64_t>(g_FlyStartX.load()));
        m.frames = g_HeadCount.load();
        m.cameraB = s.m_iFlyStartSpeed;
        m.cameraC = s.m_iFlyNormalSpeed;
        for (int k = 0; k < 8; ++k) m.triggers[static_cast<std::size_t>(k)] = g_FlyTrigger[static_cast<std::size_t>(k)];
        const bool moved = MoveFlyingCamera(m);
        std::int32_t expected = kNoFrame;
        const bool missing = TheSetView().m_CalibSlotOffsetX.compare_exchange_strong(expected, 0);
        return moved && !missing;
    }

    bool RunFlyTest() {
        PrepareFly();
        return FlyPass();
    }

    static std::array<std::int32_t, 8> NozzleOffsetsX() {
        std::array<std::int32_t, 8> off{};
        for (std::size_t n = 0; n < 8; ++n) off[n] = g_NozzleToNozzle1Pulses[n].x;
        return off;
    }

    void StoreTrigger(int head, std::int32_t value) {
        TheCameraList().Edit(
            [&](CameraList::Contents& c) { c.settings.m_iTriggerPulse[static_cast<std::size_t>(head - 1)] = value; });
        TellDialog();
    }

    enum class Fly { Done, Stopped, MoveFailed };

    Fly CalibrateFlyTrigger(int head) {
        CameraList& list = TheCameraList();
        PrepareFly();
        list.m_bFlyTestRunning = 1;
        const auto off = NozzleOffsetsX();
        const std::int32_t off2 = off[1], base = TriggerBase(head, off);
        std::atomic<std::int32_t>& trigger = g_FlyTrigger[static_cast<std::size_t>(head - 1)];
        for (;;) {
            if (!FlyPass()) return Fly::MoveFailed;
            const std::int32_t offset = TheSetView().m_CalibSlotOffsetX.load();
            const std::int32_t before = trigger.load();
            const std::int32_t t = Sum(before, -static_cast<std::int64_t>(offset));
            if (TriggerAccepted(t, base, off2)) {
                trigger = t;
                StoreTrigger(head, t - base);
            } else {
                trigger = before;
                list.m_bFlyTestRunning = 0;
            }
            if (offset == 0 || !list.m_bFlyTestRunning) {
                TheCameraService().SetTriggerMode(kVisionCamera1, 0);
                SelectCamera(2, static_cast<std::uint8_t>(TheSetView().m_Light_Brightness.load()), 0);
                return list.m_bFlyTestRunning ? Fly::Done : Fly::Stopped;
            }
        }
    }

    void FlyCorrect() {
        FlyRestore restore;
        const int heads = g_HeadCount.load();
        for (int k = 1; k <= heads && k <= 8; ++k) {
            if (!MoveCameraToStandardPiece()) return;
            std::int32_t ox = 0, oy = 0;
            if (!LocatePiece(ox, oy)) return;
            if (!CarryStandardPieceToCamera(k, -1, ox, oy)) return;
            TheSetView().m_CalibSlot = k;
            const Fly result = CalibrateFlyTrigger(k);
            if (result == Fly::MoveFailed) return;
            // The piece goes back whether or not the trigger was taken.
            if (!ReturnStandardPiece(k) || result == Fly::Stopped) return;
        }
    }

private:
    CalibrationContext m_context;
    int m_type;
    CameraListSettings m_piece;  // the standard piece as the dialog set it
};

std::string Calibration::PartListNoCamera() {
    // The same text as the camera check's.
    return PartListText("Message_29");
}

} // namespace

// ---- the dialog's fly test ------------------------------------------------------------

void FlyTestCountThread() {
    CameraList& list = TheCameraList();
    const std::int32_t savedX = g_TargetPulseX.load(), savedY = g_TargetPulseY.load();
    {
        FlyRestore restore;
        Calibration c(CalibrationContext{});
        c.PrepareFly();
        list.m_bFlyTestRunning = 1;
        TheSetView().m_CalibSlot = 1;
        std::array<std::int32_t, 8> off{};
        for (std::size_t n = 0; n < 8; ++n) off[n] = g_NozzleToNozzle1Pulses[n].x;
        const std::int32_t off2 = off[1];
        while (list.m_bFlyTestRunning) {
            if (!c.FlyPass()) break;
            const std::int32_t offset = TheSetView().m_CalibSlotOffsetX.load();
            if (offset == 0) {
                c.StoreTrigger(1, Sum(g_FlyTrigger[0].load(), -static_cast<std::int64_t>(TriggerBase(1, off))));
                break;
            }
            g_FlyTrigger[0] = Sum(g_FlyTrigger[0].load(), -static_cast<std::int64_t>(offset));
            c.StoreTrigger(1, Sum(g_FlyTrigger[0].load(), -static_cast<std::int64_t>(off2)));
        }
    }
    g_TargetPulseX = savedX;
    g_TargetPulseY = savedY;
}

void CameraCalibrationThread(const CalibrationContext& context) {
    const CameraList& list = TheCameraList();
    Calibration c(context);
    c.Run(list.m_CameraOperation.load(), list.m_SelectedRow.load());
}

void StartCameraOperation(int op, BusyClaim claim, CalibrationContext context) {
    TheCameraList().m_CameraOperation = op;
    auto held = std::make_shared<BusyClaim>(std::move(claim));
    plat::StartWorker("CameraCalibration", [held, context = std::move(context)] {
        CameraCalibrationThread(context);
        held->Release();
    });
}

void StartFlyTest(BusyClaim claim) {
    auto held = std::make_shared<BusyClaim>(std::move(claim));
    plat::StartWorker("FlyTestCount", [held] {
        FlyTestCountThread();
        held->Release();
    });
}

} // namespace smt
