#include "link/positioning.h"

#include <cmath>
#include <memory>

#include "base/globals.h"
#include "base/command_ids.h"
#include "base/numtext.h"
#include "link/busy.h"
#include "link/combined_commands.h"
#include "link/command_common.h"
#include "link/commands.h"
#include "link/homing.h"
#include "link/jog.h"
#include "link/link_state.h"
#include "link/locked.h"
#include "link/manual_control.h"
#include "link/position_counters.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "settings/speed_template.h"

namespace smt {

std::atomic<std::int32_t> g_TargetPulseX{0}, g_TargetPulseY{0}, g_TargetPulseX2{0}, g_TargetPulseY2{0};

namespace {
Locked<ViewMessages> g_messages{BuiltinViewMessages()};

// Message entries of the commands.
enum Msg : int {
    kOriginX = 0, kOriginY = 1, kCamera1Name = 2, kCamera2Name = 3, kNoPcb = 6, kPcbX = 7, kPcbY = 8,
    kNoCamera = 9, kNoCamera1 = 10, kNoCamera2 = 11, kCam1X = 12, kCam2X = 14, kMark1X = 16,
    kMark2X = 18, kThrowX = 20, kThrowY = 21,
};

template <class F, class... A>
void call(const F& f, A&&... a) {
    if (f) f(std::forward<A>(a)...);
}

void ShowMessage(int entry) {
    if (entry < 0 || entry >= kViewMessageCount) return;
    plat::MessageBoxOk(PositioningMessages()[entry], true);
}

int HeadGroupNow() {
    const auto& f = ThePositioningPort().headGroup;
    return f ? f() : TheManualJog().HeadGroup();
}

PointMm Minus(PointMm a, PointMm b) { return {a.x - b.x, a.y - b.y}; }
PointMm Plus(PointMm a, PointMm b) { return {a.x + b.x, a.y + b.y}; }

// The message of a failed check of `p`, or -1.
int Check(PointMm p, int xMessage, int yMessage, const BasicSettings& b) {
    switch (CheckPointLimits(p, b.m_X_Limit, b.m_Y_Limit)) {
    case LimitFailure::X: return xMessage;
    case LimitFailure::Y: return yMessage;
    case LimitFailure::None: break;
    }
    return -1;
}

AxisSpeed Speed(const SpeedTypeTable& t, bool x) {
    return x ? AxisSpeed{t.m_Start_X, t.m_Normal_X} : AxisSpeed{t.m_Start_Y, t.m_Normal_Y};
}

// One X/Y move to the targets through the X/Y/A command (heads must be homed).
bool MoveXYTo(std::int32_t x, std::int32_t y, const SpeedTypeTable& speeds) {
    XYAMove m;
    m.xy.dX = static_cast<std::int32_t>(static_cast<std::int64_t>(x) - g_PulseX.load());
    m.xy.xSpeed = Speed(speeds, true);
    m.xy.dY = static_cast<std::int32_t>(static_cast<std::int64_t>(y) - g_PulseY.load());
    m.xy.ySpeed = Speed(speeds, false);
    m.nozzle = 0;
    m.flags = 0x80;
    return MoveXYA(m);
}

// The stop position S - C checked and stored as targets; false after its message.
bool StopPositionTargets(const BasicSettings& b, const PulseFactors& f, std::int32_t& x, std::int32_t& y) {
    const PointMm s{b.m_X_StopPosition, b.m_Y_StopPosition};
    const PointMm c{b.m_X_CameraToNozzle1, b.m_Y_CameraToNozzle1};
    const int message = Check(Minus(s, c), kOriginX, kOriginY, b);
    if (message >= 0) {
        ShowMessage(message);
        return false;
    }
    x = AddPulses({ToPulses(s.x, f.m_X_Pulse), -static_cast<std::int64_t>(ToPulses(c.x, f.m_X_Pulse))});
    y = AddPulses({ToPulses(s.y, f.m_Y_Pulse), -static_cast<std::int64_t>(ToPulses(c.y, f.m_Y_Pulse))});
    g_TargetPulseX = x;
    g_TargetPulseY = y;
    return true;
}

void SelectMarkCameraForOrigin() {
    auto& s = ThePositioningState();
    s.m_OriginVisionFlag = 1;
    call(ThePositioningPort().selectMarkCamera);
    s.m_OriginVisionFlag = 0;
}

void EnableWhenNotFromMenu() {
    if (ThePositioningState().m_PositioningMenuFlag.load() == 0) EnableManualControls(true);
}

// The worker of every command except the double-table forms.
void MoveToPositionThread(std::int32_t x, std::int32_t y, int positionCommand) {
    auto& state = ThePositioningState();
    const BasicSettings& b = TheBasicSettings();
    const SpeedTypeTable speeds = TheSpeedTemplates().Table(SpeedType::Handle);
    if (cmd::UseSerial()) SetSpeedGear(0);
    bool ok = MoveXYTo(x, y, speeds);
    if (ok) {
        if (b.m_CottectionTimeReset != 0 && state.m_PositioningMenuFlag.load() == 0)
            call(ThePositioningPort().recognizeVisualOrigin);
        if (b.m_bStopPosition != 0 && state.m_SkipStopPositionFlag.load() == 0) {
            std::int32_t sx = 0, sy = 0;
            if (!StopPositionTargets(b, ThePulseFactors(), sx, sy)) {
                EnableManualControls(true);
                state.m_SkipStopPositionFlag = 0;
                return;
            }
            ok = MoveXYTo(sx, sy, speeds);
        }
    }
    EnableWhenNotFromMenu();
    if (ok && positionCommand >= 1 && positionCommand <= 8)
        SetOutput({static_cast<std::uint8_t>(positionCommand), 0, 5});
    state.m_SkipStopPositionFlag = 0;
}

// The double-table worker: the move's axes come with the command, never from
// targets left by an earlier move.
void MoveToPositionModel4Thread(const PlannedMove& p) {
    const SpeedTypeTable speeds = TheSpeedTemplates().Table(SpeedType::Handle);
    if (cmd::UseSerial()) SetSpeedGear(0);
    XYMoveArgs m;
    m.xSpeed = Speed(speeds, true);
    m.ySpeed = Speed(speeds, false);
    const auto delta = [](std::int32_t target, std::int32_t counter) {
        return static_cast<std::int32_t>(static_cast<std::int64_t>(target) - counter);
    };
    bool move = true;
    switch (p.model4Move) {
    case Model4Move::XOnly:
        m.xAxis = 0, m.dX = delta(p.x, g_PulseX), m.yAxis = 1, m.dY = 0, m.ySpeed = {10, 10};
        break;
    case Model4Move::X2WithY: m.xAxis = 9, m.dX = delta(p.x2, g_PulseX2), m.yAxis = 1, m.dY = delta(p.y, g_PulseY); break;
    case Model4Move::X2WithY2: m.xAxis = 9, m.dX = delta(p.x2, g_PulseX2), m.yAxis = 12, m.dY = delta(p.y2, g_PulseY2); break;
    case Model4Move::XWithY: m.xAxis = 0, m.dX = delta(p.x, g_PulseX), m.yAxis = 1, m.dY = delta(p.y, g_PulseY); break;
    case Model4Move::XWithY2: m.xAxis = 0, m.dX = delta(p.x, g_PulseX), m.yAxis = 12, m.dY = delta(p.y2, g_PulseY2); break;
    case Model4Move::None: move = false; break;
    }
    if (!move) return;
    MoveXY(m);  // its refusal has been shown; the panel comes back either way
    EnableWhenNotFromMenu();
}

void StartWorker(BusyClaim claim, const PlannedMove& plan, int positionCommand) {
    auto held = std::make_shared<BusyClaim>(std::move(claim));
    if (plan.model4) {
        plat::StartWorker("positioning", [held, plan] {
            MoveToPositionModel4Thread(plan);
            held->Release();
        });
        return;
    }
    plat::StartWorker("positioning", [held, plan, positionCommand] {
        MoveToPositionThread(plan.x, plan.y, positionCommand);
        held->Release();
    });
}

void PublishTargets(const PlannedMove& p) {
    g_TargetPulseX = p.x;
    g_TargetPulseY = p.y;
    g_TargetPulseX2 = p.x2;
    g_TargetPulseY2 = p.y2;
}

// The current PCB's origin (with the panel offset) and marks; nullopt after
// "没有找到PCB板 !".
std::optional<PcbRecordPoints> LookUpPcb(const PosCommand& c) {
    const auto& port = ThePositioningPort();
    auto record = port.currentPcbRecord ? port.currentPcbRecord() : std::optional<PcbRecordPoints>{};
    if (!record) {
        ShowMessage(kNoPcb);
        return std::nullopt;
    }
    const PcbVisionValues vision = port.pcbVision ? port.pcbVision() : PcbVisionValues{};
    const PanelGridView grid = port.currentPcbCopy ? port.currentPcbCopy() : PanelGridView{};
    PointMm offset;
    if (vision.perBoardMarks) {
        const auto first = FirstBoardOffset(grid);
        if (!first) {
            ShowMessage(kNoPcb);
            return std::nullopt;
        }
        offset = *first;
    }
    call(port.selectMarkCamera);
    if (c.kind == PosKind::NozzlePcbOrigin && c.nozzle == 1) record->origin = grid.origin;
    record->origin = Plus(record->origin, offset);
    return record;
}

// The vision camera record's X and Y; nullopt after its message.
std::optional<PointMm> LookUpCamera(int camera) {
    const auto& port = ThePositioningPort();
    const auto rows = port.cameraRecords ? port.cameraRecords() : std::vector<CameraRow>{};
    if (rows.empty()) {
        ShowMessage(kNoCamera);
        return std::nullopt;
    }
    const std::string name = PositioningMessages()[camera == 1 ? kCamera1Name : kCamera2Name];
    for (const CameraRow& r : rows) {
        if (r.name != name) continue;
        call(port.selectVisionCamera, camera);
        return PointMm{AtoF(r.x), AtoF(r.y)};
    }
    ShowMessage(camera == 1 ? kNoCamera1 : kNoCamera2);
    return std::nullopt;
}

void RunCommand(const PosCommand& c) {
    BusyClaim claim = ClaimMachineAction(true);
    if (!claim) return;
    auto& state = ThePositioningState();
    auto& port = ThePositioningPort();
    const BasicSettings& b = TheBasicSettings();
    const int type = cmd::MachineType();
    const int pc = PositionCommandValue(c);
    PositionInputs in;
    in.y2ToY1Pulses = g_Y2ToY1Pulses;
    in.pulsesPerMmX = g_PulsesPerMmX;
    in.pulsesPerMmY = g_PulsesPerMmY;
    PcbVisionValues vision;
    switch (c.kind) {
    case PosKind::CameraPcbOrigin: case PosKind::CameraMark: case PosKind::NozzlePcbOrigin: {
        state.m_PositionCommand = pc;
        const auto pcb = LookUpPcb(c);
        if (!pcb) return;
        in.origin = pcb->origin;
        in.mark = c.mark == 1 ? pcb->mark1 : pcb->mark2;
        vision = port.pcbVision ? port.pcbVision() : PcbVisionValues{};
        break;
    }
    case PosKind::NozzleCamera: case PosKind::FourHeadCamera2: case PosKind::MeasuringCamera1: {
        state.m_PositionCommand = pc;
        if (c.kind == PosKind::FourHeadCamera2) call(port.setFrameSize, std::fabs(b.m_X_Nozzle3ToNozzle1));
        const auto camera = LookUpCamera(c.kind == PosKind::NozzleCamera ? c.camera : c.kind == PosKind::FourHeadCamera2 ? 2 : 1);
        if (!camera) return;
        in.camera = *camera;
        break;
    }
    case PosKind::Throw:
        state.m_PositionCommand = pc;
        if (type != 4) call(port.selectMarkCamera);
        break;
    case PosKind::VisualOrigin: break;
    }
    const PlannedMove plan = PlanPositioning(c, in, type, HeadGroupNow(), b, ThePulseFactors());
    if (plan.message >= 0) return ShowMessage(plan.message);
    PublishTargets(plan);
    if (c.kind == PosKind::CameraMark) {
        if (type == 4 || c.mark == 1)
            call(port.setVisionParameters, vision.markContrast, vision.markBrightness, vision.scale, vision.frameSize);
        else if (vision.ownMark2)
            call(port.setVisionParameters, vision.mark2Contrast, vision.mark2Brightness, vision.scale, vision.frameSize);
    }
    StartWorker(std::move(claim), plan, pc);
    if (c.kind == PosKind::NozzleCamera) call(port.setVisionTestNozzle, c.nozzle);
    if (c.kind == PosKind::MeasuringCamera1) call(port.setVisionTestNozzle, 1);
}
}  // namespace

PositioningState& ThePositioningState() {
    static PositioningState state;
    return state;
}

void SetPositioningMessages(const ViewMessages& messages) { g_messages.Set(messages); }

ViewMessages PositioningMessages() { return g_messages.Get(); }

PositioningPort& ThePositioningPort() {
    static PositioningPort port;
    return port;
}

std::optional<PosCommand> PositioningCommandOf(int id) {
    if (id == cmd::CameraToVisualOrigin) return PosCommand{PosKind::VisualOrigin};
    if (id == cmd::CameraToPcbOrigin) return PosCommand{PosKind::CameraPcbOrigin};
    if (id == cmd::CameraToMark1) return PosCommand{PosKind::CameraMark, 1, 1};
    if (id == cmd::CameraToMark2) return PosCommand{PosKind::CameraMark, 1, 2};
    if (id == cmd::FourHeadToCamera2) return PosCommand{PosKind::FourHeadCamera2, 1, 1, 2};
    if (id == cmd::MeasurementToVisualCamera1) return PosCommand{PosKind::MeasuringCamera1};
    for (int n = 1; n <= 8; ++n) {
        if (id == cmd::NozzleToThrowPosition[n - 1]) return PosCommand{PosKind::Throw, n};
        if (id == cmd::NozzleToPcbOrigin[n - 1]) return PosCommand{PosKind::NozzlePcbOrigin, n};
        if (id == cmd::NozzleToVisualCamera1[n - 1]) return PosCommand{PosKind::NozzleCamera, n, 1, 1};
        if (id == cmd::NozzleToVisualCamera2[n - 1]) return PosCommand{PosKind::NozzleCamera, n, 1, 2};
    }
    return std::nullopt;
}

int PositionCommandValue(const PosCommand& c) {
    switch (c.kind) {
    case PosKind::VisualOrigin: case PosKind::FourHeadCamera2: return 0;
    case PosKind::Throw: return c.nozzle;
    case PosKind::CameraPcbOrigin: case PosKind::CameraMark: return 2;
    case PosKind::NozzlePcbOrigin: return 3;
    case PosKind::NozzleCamera: return c.camera == 1 ? 4 : 5;
    case PosKind::MeasuringCamera1: return 6;
    }
    return 0;
}

PointMm NozzleOffset(const BasicSettings& b, int n) {
    switch (n) {
    case 2: return {b.m_X_Nozzle2ToNozzle1, b.m_Y_Nozzle2ToNozzle1};
    case 3: return {b.m_X_Nozzle3ToNozzle1, b.m_Y_Nozzle3ToNozzle1};
    case 4: return {b.m_X_Nozzle4ToNozzle1, b.m_Y_Nozzle4ToNozzle1};
    case 5: return {b.m_X_Nozzle5ToNozzle1, b.m_Y_Nozzle5ToNozzle1};
    case 6: return {b.m_X_Nozzle6ToNozzle1, b.m_Y_Nozzle6ToNozzle1};
    case 7: return {b.m_X_Nozzle7ToNozzle1, b.m_Y_Nozzle7ToNozzle1};
    case 8: return {b.m_X_Nozzle8ToNozzle1, b.m_Y_Nozzle8ToNozzle1};
    default: return {};
    }
}

LimitFailure CheckPointLimits(PointMm p, double xLimit, double yLimit) {
    if (!(p.x <= xLimit) || !(p.x >= 0)) return LimitFailure::X;
    if (!(p.y >= yLimit) || !(p.y <= 0)) return LimitFailure::Y;
    return LimitFailure::None;
}

std::optional<PointMm> FirstBoardOffset(const PanelGridView& g) {
    for (int r = 0; r < g.rows; ++r)
        for (int c = 0; c < g.cols; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * g.cols + c;
            if (i < g.cells.size() && g.cells[i] != "0") return PointMm{c * g.colPitch, r * g.rowPitch};
        }
    return std::nullopt;
}

PlannedMove PlanPositioning(const PosCommand& c, const PositionInputs& in, int type, int group,
                            const BasicSettings& b, const PulseFactors& f) {
    // Each term converted on its own, then the integers added.
    struct Term {
        PointMm mm;
        int sign;
    };
    const auto px = [&](std::initializer_list<Term> terms) {
        std::int64_t sum = 0;
        for (const Term& t : terms) sum += t.sign * static_cast<std::int64_t>(ToPulses(t.mm.x, f.m_X_Pulse));
        return AddPulses({sum});
    };
    const auto py = [&](std::initializer_list<Term> terms) {
        std::int64_t sum = 0;
        for (const Term& t : terms) sum += t.sign * static_cast<std::int64_t>(ToPulses(t.mm.y, f.m_Y_Pulse));
        return AddPulses({sum});
    };
    const PointMm C{b.m_X_CameraToNozzle1, b.m_Y_CameraToNozzle1};
    const PointMm N = NozzleOffset(b, c.nozzle);
    const PointMm O = in.origin, M = in.mark, P = in.camera;
    const PointMm Y2mm{b.m_X_Y2ToY1, b.m_Y_Y2ToY1};
    PlannedMove p;
    const auto checked = [&](PointMm point, int xMessage, int yMessage) {
        p.message = Check(point, xMessage, yMessage, b);
        return p.message < 0;
    };
    const bool model4 = type == 4 && (c.kind == PosKind::Throw || c.kind == PosKind::CameraPcbOrigin ||
                                      c.kind == PosKind::CameraMark || c.kind == PosKind::NozzlePcbOrigin ||
                                      (c.kind == PosKind::NozzleCamera && c.camera == 1));
    if (model4) {
        p.model4 = true;
        const auto xOnly = [&](double x, double offset, int message) {
            if (!(x - offset >= 0 && x - offset <= b.m_X_Limit)) {
                p.message = message;
                return p;
            }
            p.x = px({{{x, 0}, 1}, {{offset, 0}, -1}});
            p.model4Move = Model4Move::XOnly;
            return p;
        };
        switch (c.kind) {
        case PosKind::Throw: return xOnly(b.m_X_ThrowPosition, N.x, kThrowX);
        case PosKind::NozzleCamera: return xOnly(P.x, N.x, kCam1X);
        case PosKind::CameraPcbOrigin:
            if (group == 1) {
                if (!checked(Minus(O, C), kPcbX, kPcbY)) return p;
                p.x2 = px({{O, 1}, {C, -1}});
                p.y = py({{O, 1}, {C, -1}});
                p.model4Move = Model4Move::X2WithY;
            } else if (group == 2) {
                if (!checked(Plus(Minus(O, C), Y2mm), kPcbX, kPcbY)) return p;
                p.x2 = AddPulses({px({{O, 1}, {C, -1}}), in.y2ToY1Pulses.x});
                p.y2 = AddPulses({py({{O, 1}, {C, -1}}), in.y2ToY1Pulses.y});
                p.model4Move = Model4Move::X2WithY2;
            }
            return p;
        case PosKind::CameraMark: {
            const int xm = c.mark == 1 ? kMark1X : kMark2X;
            const PointMm point = Minus(Plus(M, O), C);
            if (!checked({point.x, 0}, xm, xm + 1)) return p;
            if (group != 1 && group != 2) return p;
            if (!checked(point, xm, xm + 1)) return p;
            const std::int32_t x = px({{M, 1}, {C, -1}, {O, 1}});
            const std::int32_t y = py({{M, 1}, {C, -1}, {O, 1}});
            if (group == 1) {
                p.x2 = x, p.y = y, p.model4Move = Model4Move::X2WithY;
            } else {
                p.x2 = AddPulses({x, in.y2ToY1Pulses.x});
                p.y2 = AddPulses({y, in.y2ToY1Pulses.y});
                p.model4Move = Model4Move::X2WithY2;
            }
            return p;
        }
        case PosKind::NozzlePcbOrigin: {
            const bool first = c.nozzle == 1;
            const PointMm point = first ? O : Minus(O, N);
            const std::int32_t x = first ? ToPulses(O.x, in.pulsesPerMmX) : px({{O, 1}, {N, -1}});
            const std::int32_t y = first ? ToPulses(O.y, in.pulsesPerMmY) : py({{O, 1}, {N, -1}});
            if (group == 1) {
                if (!checked(point, kPcbX, kPcbY)) return p;
                p.x = x, p.y = y, p.model4Move = Model4Move::XWithY;
            } else if (group == 2) {
                if (!checked(Plus(point, Y2mm), kPcbX, kPcbY)) return p;
                p.x = AddPulses({x, in.y2ToY1Pulses.x});
                p.y2 = AddPulses({y, in.y2ToY1Pulses.y});
                p.model4Move = Model4Move::XWithY2;
            }
            return p;
        }
        default: break;
        }
        return p;
    }
    const auto both = [&](PointMm point, int xm, int ym, std::int32_t x, std::int32_t y) {
        if (!checked(point, xm, ym)) return p;
        p.x = x;
        p.y = y;
        return p;
    };
    const PointMm V{b.m_X_VisualOrigin, b.m_Y_VisualOrigin};
    const PointMm T{b.m_X_ThrowPosition, b.m_Y_ThrowPosition};
    switch (c.kind) {
    case PosKind::VisualOrigin:
        return both(Minus(V, C), kOriginX, kOriginY, px({{V, 1}, {C, -1}}), py({{V, 1}, {C, -1}}));
    case PosKind::Throw:
        return both(Minus(T, N), kThrowX, kThrowY, px({{T, 1}, {N, -1}}), py({{T, 1}, {N, -1}}));
    case PosKind::CameraPcbOrigin:
        return both(Minus(O, C), kPcbX, kPcbY, px({{O, 1}, {C, -1}}), py({{O, 1}, {C, -1}}));
    case PosKind::CameraMark: {
        const int xm = c.mark == 1 ? kMark1X : kMark2X;
        return both(Minus(Plus(M, O), C), xm, xm + 1, px({{M, 1}, {C, -1}, {O, 1}}), py({{M, 1}, {C, -1}, {O, 1}}));
    }
    case PosKind::NozzlePcbOrigin:
        if (c.nozzle == 1)
            return both(O, kPcbX, kPcbY, ToPulses(O.x, in.pulsesPerMmX), ToPulses(O.y, in.pulsesPerMmY));
        return both(Minus(O, N), kPcbX, kPcbY, px({{O, 1}, {N, -1}}), py({{O, 1}, {N, -1}}));
    case PosKind::NozzleCamera: {
        const int xm = c.camera == 1 ? kCam1X : kCam2X;
        return both(Minus(P, N), xm, xm + 1, px({{P, 1}, {N, -1}}), py({{P, 1}, {N, -1}}));
    }
    case PosKind::FourHeadCamera2: {
        const PointMm half{0.5 * NozzleOffset(b, 3).x, 0.5 * NozzleOffset(b, 3).y};
        return both(Minus(P, NozzleOffset(b, 4)), kCam2X, kCam2X + 1, px({{P, 1}, {half, -1}}),
                    py({{P, 1}, {half, -1}}));
    }
    case PosKind::MeasuringCamera1: {
        const PointMm meas{b.m_X_Measurement, b.m_Y_Measurement};
        p.x = px({{P, 1}, {meas, -1}});
        p.y = py({{P, 1}, {meas, -1}});
        return p;
    }
    }
    return p;
}

bool OnPositioningCommand(int menuId) {
    const auto c = PositioningCommandOf(menuId);
    if (!c) return false;
    if (c->kind == PosKind::VisualOrigin) OnCameraToVisualOrigin();
    else RunCommand(*c);
    return true;
}

void OnCameraToVisualOrigin() {
    BusyClaim claim = ClaimMachineAction(true);
    if (!claim) return;
    auto& state = ThePositioningState();
    state.m_PositionCommand = 0;
    EnableWhenNotFromMenu();
    state.m_SkipStopPositionFlag = 0;
    SelectMarkCameraForOrigin();
    const PlannedMove plan = PlanPositioning(PosCommand{PosKind::VisualOrigin}, PositionInputs{},
                                             cmd::MachineType(), HeadGroupNow(), TheBasicSettings(),
                                             ThePulseFactors());
    if (plan.message >= 0) {
        ShowMessage(plan.message);
        EnableWhenNotFromMenu();
        state.m_SkipStopPositionFlag = 0;
        return;
    }
    PublishTargets(plan);
    StartWorker(std::move(claim), plan, 0);
}

void OnUpdateCameraToVisualOrigin() {
    if (g_Running.load()) {
        plat::MessageBoxOk("Machine is runnig !", true, plat::MsgIcon::Warning);
        return;
    }
    ThePositioningState().m_SkipStopPositionFlag = 1;
}

void OnPositioningMenuOpened() {
    ThePositioningState().m_PositioningMenuFlag = 1;
    OnUpdateCameraToVisualOrigin();
}

bool MoveCameraToVisualOrigin() {
    SelectMarkCameraForOrigin();
    std::int32_t x = 0, y = 0;
    if (!StopPositionTargets(TheBasicSettings(), ThePulseFactors(), x, y)) return false;
    return MoveXYTo(x, y, TheSpeedTemplates().Table(SpeedType::Smt));
}

void OnResetToOrigin() {
    PositioningState& s = ThePositioningState();
    s.m_PositionCommand = 0;
    s.m_ResetOriginFlag = 1;
    if (const auto& select = ThePositioningPort().selectMarkCamera) select();
    if (!MachineReset(0, true)) s.m_ResetOriginFlag = 0;
}

void InstallPositioningHooks() {
    auto& panel = TheCommandPanel();
    panel.resetToOriginFlag = [] { return ThePositioningState().m_ResetOriginFlag.load() != 0; };
    panel.clearResetToOriginFlag = [] { ThePositioningState().m_ResetOriginFlag = 0; };
    panel.clearViewBusyByte = [] { ThePositioningState().m_PositioningMenuFlag = 0; };
    panel.moveCameraToVisualOrigin = [] { OnCameraToVisualOrigin(); };
}

}  // namespace smt
