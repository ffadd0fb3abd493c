#include "run/pick_place.h"

#include <cmath>
#include <limits>
#include <optional>

#include "base/numtext.h"
#include "joblist/part_list.h"
#include "joblist/run_board.h"
#include "joblist/smt_strategy.h"
#include "link/combined_commands.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "machine_ops/dipping_station.h"
#include "platform/event.h"
#include "platform/msgbox.h"
#include "run/mark_correction.h"
#include "run/nozzle_vision.h"
#include "run/pick_place_common.h"
#include "run/placement_records.h"
#include "run/run_frame.h"
#include "run_state/run_events.h"
#include "run/run_geometry.h"
#include "settings/speed_template.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "vision/camera_list.h"
#include "vision/camera_service.h"

namespace smt {

std::atomic<std::uint8_t> g_ViaRow{0};
std::atomic<std::uint8_t> g_ReplenishPresented{0};
std::atomic<std::uint8_t> g_VisionMoveDone{0};
std::array<std::atomic<std::uint32_t>, kFeederMaskCount> g_FeederMasks{};
std::atomic<std::int32_t> g_ParkPulseX{0}, g_ParkPulseY{0};

int SetFeederMaskBit(int number, bool on) {
    if (number < 1 || number > 32 * kFeederMaskCount) return 0;
    const int n = number - 1;
    const std::uint32_t bit = 1u << (n % 32);
    auto& mask = g_FeederMasks[static_cast<std::size_t>(n / 32)];
    if (on) mask.fetch_or(bit);
    else mask.fetch_and(~bit);
    return n / 32 + 1;
}

namespace {
bool RecognizeLocalMark(const MarkEntry& m, std::int32_t& dx, std::int32_t& dy) {
    return RecognizeSpecifiedMark(1, m.precision, m.contrast, m.brightness, m.captureTime, m.repetitions,
                                  m.reverse ? 1 : 0, m.allowOffset, &dx, &dy, m.visualSize, m.diameter);
}
}  // namespace

PickPlaceVision& ThePickPlaceVision() {
    static PickPlaceVision v{RecognizeLocalMark, MeasurePartOnNozzle};
    return v;
}

namespace steps {

AxisSpeed Speed(const PlacementRecord& r, int at) {
    return {r.speeds[static_cast<std::size_t>(at)], r.speeds[static_cast<std::size_t>(at + 1)]};
}

std::int32_t Clamp32(std::int64_t v) {
    if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

HeadDrive DriveOfHead(int machineType, int head) {
    HeadDrive d;
    if (machineType == 7) {
        if (head >= 1 && head <= 8) d.axis = static_cast<std::uint8_t>(0x20 + head - 1);
        return d;
    }
    if (machineType < 0 || machineType > 6 || head < 1 || head > 4) return d;
    d.axis = head <= 2 ? 2 : 3;
    d.sign = head % 2 == 1 ? 1 : -1;
    d.speedAt = head <= 2 ? kPickZ1 : kPickZ2;
    return d;
}

PulsePoint PlaceCorrection(int head) {
    const BasicSettings& b = TheBasicSettings();
    const double xs[8] = {b.m_Correction_X1, b.m_Correction_X2, b.m_Correction_X3, b.m_Correction_X4,
                          b.m_Correction_X5, b.m_Correction_X6, b.m_Correction_X7, b.m_Correction_X8};
    const double ys[8] = {b.m_Correction_Y1, b.m_Correction_Y2, b.m_Correction_Y3, b.m_Correction_Y4,
                          b.m_Correction_Y5, b.m_Correction_Y6, b.m_Correction_Y7, b.m_Correction_Y8};
    if (head < 1 || head > 8) return {};
    return PulsesOf(xs[head - 1], ys[head - 1]);
}

PulsePoint PulsesOf(double xMm, double yMm) {
    const PulseFactors& f = ThePulseFactors();
    return {ToPulses(xMm, f.m_X_Pulse), ToPulses(yMm, f.m_Y_Pulse)};
}

std::array<std::int32_t, 8> RotationTargets() {
    std::array<std::int32_t, 8> a{};
    for (std::size_t n = 0; n < 8; ++n) a[n] = g_RotationTarget[n].load();
    return a;
}

void ClearRotationTargets() {
    for (auto& t : g_RotationTarget) t = 0;
}

bool MultiTo(PulsePoint target, AxisSpeed xSpeed, AxisSpeed ySpeed, AxisSpeed aSpeed, std::uint8_t flag,
             const std::array<std::int32_t, 8>& dA) {
    XYAMultiMove m;
    m.xy.dX = Clamp32(std::int64_t{target.x} - g_PulseX.load());
    m.xy.xSpeed = xSpeed;
    m.xy.dY = Clamp32(std::int64_t{target.y} - g_PulseY.load());
    m.xy.ySpeed = ySpeed;
    m.dA = dA;
    m.aSpeed = aSpeed;
    m.flag = flag;
    return MoveXYAMulti(m) && PassPauseGate();
}

bool XYATo(PulsePoint target, AxisSpeed xSpeed, AxisSpeed ySpeed, std::uint8_t nozzle, std::uint8_t flags) {
    XYAMove m;
    m.xy.dX = Clamp32(std::int64_t{target.x} - g_PulseX.load());
    m.xy.xSpeed = xSpeed;
    m.xy.dY = Clamp32(std::int64_t{target.y} - g_PulseY.load());
    m.xy.ySpeed = ySpeed;
    m.nozzle = nozzle;
    m.flags = flags;
    return MoveXYA(m) && PassPauseGate();
}

bool RowPosition(int row, double& x, double& y) {
    const auto r = ThePartList().Row(JobList::Part, row);
    if (!r) return false;
    x = AtoF(r->Cell(1));
    y = AtoF(r->Cell(2));
    return true;
}

void SleepMs(int ms) {
    if (ms > 0) plat::SleepFor(plat::Millis(ms));
}

bool Serial() { return TheBasicSettings().m_CommModel == 0; }

bool Refuse(const char* text) {
    plat::MessageBoxOk(text, true);
    return false;
}

PulsePoint BoardPoint(double xMm, double yMm) {
    const RunBoardState board = CopyRunBoard();
    const PulsePoint row = PulsesOf(xMm, yMm);
    std::int64_t bx, by;
    if (!board.g_RunMarkEnable) {
        bx = std::int64_t{board.g_RunOriginPulseX} + row.x;
        by = std::int64_t{board.g_RunOriginPulseY} + row.y;
    } else if (g_BoardRotation.load() == 0.0) {
        bx = std::int64_t{board.g_RunOriginPulseX} + row.x + g_Mark1OffsetX.load();
        by = std::int64_t{board.g_RunOriginPulseY} + row.y + g_Mark1OffsetY.load();
    } else {
        // Turned about Mark1 in millimetres, the frame the two-mark correction
        // measures the rotation in (X and Y factors may differ).
        const double a = g_BoardRotation.load() * 3.141592653589793 / 180.0;
        const double dx = xMm - board.g_RunMark1X, dy = yMm - board.g_RunMark1Y;
        const PulsePoint turned = PulsesOf(dx * std::cos(a) - dy * std::sin(a), dx * std::sin(a) + dy * std::cos(a));
        bx = std::int64_t{board.g_RunMark1AbsPulseX} + turned.x + g_Mark1OffsetX.load();
        by = std::int64_t{board.g_RunMark1AbsPulseY} + turned.y + g_Mark1OffsetY.load();
    }
    return {Clamp32(bx), Clamp32(by)};
}

}  // namespace steps

using namespace steps;

namespace {

int MachineTypeNow() { return g_MachineType.load(); }

void MarkPicking(const PlacementRecord& record) {
    PartListStore& list = ThePartList();
    list.SetPartRowIcon(record.row, 5, true);
    list.m_CurrentRowNo = record.row + 1;
}

// Speed word of the combined commands: start code in the low byte, run code above.
std::int32_t SpeedWord(AxisSpeed a, AxisSpeed b = {}) {
    const auto code = [](std::int32_t v) { return static_cast<std::uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    return static_cast<std::int32_t>(code(a.start) | code(a.run) << 8 | code(b.start) << 16 | code(b.run) << 24);
}

// Heights are negative downwards; a stroke goes down by a positive depth (the
// second head of a shared drive by its negation).
std::int32_t PickDepth(const PlacementRecord& r) { return ToPulses(-r.pickZ, ThePulseFactors().m_Z_Pulse); }

// The vacuum-off depth of a place: never below 1 pulse.
std::int32_t VacuumOffDepth(const PlacementRecord& r, double zOffset) {
    const std::int32_t d = ToPulses(-(r.vacuumOffZ + zOffset), ThePulseFactors().m_Z_Pulse);
    return d < 1 ? 1 : d;
}

std::int32_t PlaceDepth(const PlacementRecord& r) {
    const std::int32_t d = ToPulses(-r.placeZ, ThePulseFactors().m_Z_Pulse);
    return d < 1 ? 1 : d;
}

int HeadOf(const PlacementRecord& r, int k) {
    if (r.head >= 1 && r.head <= 8) return r.head;
    return k >= 1 && k <= 8 ? k : 1;
}

bool TogetherMode() { return MachineTypeNow() == 7 && TheSmtStrategy().Config().m_TogetherCode != 0; }

MoveAndPlace78Payload& StagedPlace() {
    static MoveAndPlace78Payload p = [] {
        MoveAndPlace78Payload q;
        q.zAxes.fill(0);
        return q;
    }();
    return p;
}

// Where each staged nozzle places, absolute: the relative fields are taken
// against the counters at the send.
std::array<PulsePoint, 8>& StagedTargets() {
    static std::array<PulsePoint, 8> t{};
    return t;
}

// The turn of each staged flying nozzle by its own measured angle: the place
// rotation of every later record sets the other nozzles' targets to 0, which must
// not undo it.
std::array<std::optional<std::int32_t>, 8>& StagedOwnTurns() {
    static std::array<std::optional<std::int32_t>, 8> t{};
    return t;
}

void PutU16(std::array<std::uint8_t, 33>& bytes, std::size_t at, int v) {
    const auto u = static_cast<std::uint16_t>(v < 0 ? 0 : v > 0xFFFF ? 0xFFFF : v);
    bytes[at] = static_cast<std::uint8_t>(u & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>(u >> 8);
}

void PutI32(std::array<std::uint8_t, 64>& bytes, std::size_t at, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>((u >> (8 * i)) & 0xFF);
}

// Stages nozzle `head`'s place at the relative target (dX, dY) into the 0x78 payload.
void StageTogether(const PlacementRecord& r, int head, std::int32_t dX, std::int32_t dY) {
    MoveAndPlace78Payload& p = StagedPlace();
    const auto n = static_cast<std::size_t>(head - 1);
    p.b0 = static_cast<std::uint8_t>(p.b0 | (0x80u >> n));
    StagedTargets()[n] = {Clamp32(std::int64_t{g_PulseX.load()} + dX), Clamp32(std::int64_t{g_PulseY.load()} + dY)};
    p.w73 = SpeedWord(Speed(r, kPlaceX), Speed(r, kPlaceZ1));
    p.w77 = SpeedWord(Speed(r, kPlaceA));
    const auto targets = RotationTargets();
    if (r.visionKind == 2) StagedOwnTurns()[n] = targets[n];
    for (std::size_t i = 0; i < 8; ++i) p.w82[i] = StagedOwnTurns()[i].value_or(targets[i]);
    p.w82[8] = TheBasicSettings().m_Exhaust;
    p.zAxes[n] = static_cast<std::uint8_t>(0x20 + n);
    p.bytes129[n] = static_cast<std::uint8_t>(r.vacuum < 0 ? 0 : r.vacuum > 255 ? 255 : r.vacuum);
    PutU16(p.bytes129, 8 + 2 * n, r.placeDelay);
    PutI32(p.bytes170, 4 * n, PlaceDepth(r));
    PutI32(p.bytes170, 32 + 4 * n, VacuumOffDepth(r, 0));
}

// Type 7 place of `head` by the relative (dX, dY): 0x77 now, or staged for 0x78.
bool PlaceEight(PlacementRecord& r, int head, std::int32_t dX, std::int32_t dY) {
    if (TogetherMode()) {
        StageTogether(r, head, dX, dY);
        return true;
    }
    MoveAndPlace77Payload p = BuildPlace77(r, dX, dY);
    return MoveAndPlace77(p);
}

// Rotation targets of the place move by the record's vision kind.
void SetPlaceRotation(PlacementRecord& r, int k) {
    const int head = HeadOf(r, k);
    if (r.visionKind == 1) {
        ClearRotationTargets();
    } else if (r.visionKind == 2) {
        for (std::size_t n = 0; n < 8; ++n)
            g_RotationTarget[n] = static_cast<int>(n) == head - 1 ? -r.correctionA : 0;
    } else if (!g_VisionMoveDone.load()) {
        if (k == 9) {
            for (std::size_t n = 0; n < 8; ++n)
                if (static_cast<int>(n) != head - 1) g_RotationTarget[n] = 0;
        } else if (k >= 2 && !(MachineTypeNow() == 7 && TogetherMode())) {
            ClearRotationTargets();
        }
    }
}

}  // namespace

// ---- pick ------------------------------------------------------------------------

bool MoveToPickPosition(PlacementRecord& record) {
    if (record.head < 1 || record.head > 4) return Refuse("Place header no select !");
    const PulsePoint p = PulsesOf(record.pickX, record.pickY);
    const PulsePoint off = HeadOffsetPulses(record.head);
    const PulsePoint target{Clamp32(std::int64_t{p.x} - off.x), Clamp32(std::int64_t{p.y} - off.y)};
    return MultiTo(target, Speed(record, kPickX), Speed(record, kPickY), Speed(record, kPickA), 1, RotationTargets());
}

bool PickPart(PlacementRecord& record) {
    const int type = MachineTypeNow();
    const bool dipping = (record.feedMode == 7 || record.feedMode == 8) && type >= 0 && type <= 6;
    if (dipping) SetOutput({kDippingOutputChannel, 1, 5});
    MarkPicking(record);
    const HeadDrive drive = DriveOfHead(type, record.head);
    if (drive.axis != 0) {
        PickStrokeArgs pick;
        pick.axis = drive.axis;
        pick.depth = Clamp32(std::int64_t{PickDepth(record)} * drive.sign);
        pick.speed = Speed(record, drive.speedAt);
        pick.delay = static_cast<std::uint16_t>(record.pickDelay < 0 ? 0 : record.pickDelay);
        pick.f = static_cast<std::uint8_t>(record.vacuum);
        if (!PickStroke(pick) || !PassPauseGate()) return false;
    }
    if (!dipping) return true;
    if (record.head < 1 || record.head > 4) return Refuse("SMT header error !");
    const DippingStationSettings dip = TheDippingStation();
    const PulsePoint station = PulsesOf(dip.m_DippingStation_X, dip.m_DippingStation_Y);
    const PulsePoint off = HeadOffsetPulses(record.head);
    if (!XYATo({station.x - off.x, station.y - off.y}, Speed(record, kPlaceX), Speed(record, kPlaceY),
               static_cast<std::uint8_t>(record.head), 0x80))
        return false;
    SleepMs(dip.m_DippingStation_RunTime);
    SetOutput({kDippingOutputChannel, 1, 5});
    SleepMs(dip.m_DippingStation_StopDelay);
    const std::int32_t depth = Clamp32(std::int64_t{ToPulses(-dip.m_DippingStation_Z, ThePulseFactors().m_Z_Pulse)} *
                                       drive.sign);
    SingleAxisMove z;
    z.axis = drive.axis;
    z.delta = depth;
    z.speed = Speed(record, drive.speedAt);
    if (!MoveSingleAxis(z) || !PassPauseGate()) return false;
    SleepMs(dip.m_DippingStation_Delay);
    z.delta = -depth;
    return MoveSingleAxis(z) && PassPauseGate();
}

std::uint8_t FeedModeByte(int feedMode, int bankCode) {
    switch (feedMode) {
    case 0: return static_cast<std::uint8_t>(bankCode);
    case 1:
    case 7: return 10;
    case 2: return 11;
    default: return 13;
    }
}

MoveAndPick74Payload BuildPick74(const PlacementRecord& r, const NozzleSlot& slot) {
    MoveAndPick74Payload p;
    const int head = r.head;
    const PulsePoint pick = PulsesOf(r.pickX, r.pickY);
    const PulsePoint off = HeadOffsetPulses(head);
    p.nozzleOrDrive = static_cast<std::uint8_t>(head);
    p.axisCode = FeedModeByte(slot.feedMode, slot.bankCode);
    p.nozzleMask = head >= 1 && head <= 8 ? static_cast<std::int32_t>(1u << (head - 1)) : 0;
    p.h6 = static_cast<std::uint16_t>(slot.feedTime);
    p.w8 = static_cast<std::int32_t>(g_FeederMasks[0].load());
    p.h12 = static_cast<std::uint16_t>(slot.feedCount);
    p.b14 = static_cast<std::uint8_t>(slot.feederNumber);
    p.w15 = static_cast<std::int32_t>(g_FeederMasks[1].load());
    p.w23 = g_PulseX.load();
    p.dX = Clamp32(std::int64_t{pick.x} - off.x - p.w23);
    p.w31 = g_PulseY.load();
    p.dY = Clamp32(std::int64_t{pick.y} - off.y - p.w31);
    p.w35 = static_cast<std::int32_t>(g_FeederMasks[2].load());
    p.dA = RotationTargets();
    p.w72 = PickDepth(r);
    p.w76 = r.pickDelay;
    p.w81 = SpeedWord(Speed(r, kPickX), Speed(r, kPickZ1));
    p.w85 = SpeedWord(Speed(r, kPickA));
    p.w89 = r.vacuum;
    return p;
}

bool PickEightHead(PlacementRecord& record, NozzleSlot& slot) {
    if (record.head < 1 || record.head > 8) return Refuse("Pick header no select !");
    MarkPicking(record);
    return MoveAndPick74(BuildPick74(record, slot)) && PassPauseGate();
}

MoveAndPick75Payload BuildPick75(const std::array<PlacementRecord, 8>& records, const std::array<NozzleSlot, 8>& slots) {
    MoveAndPick75Payload p;
    p.zAxes.fill(0);
    p.w49 = g_PulseX.load();
    p.w53 = g_PulseY.load();
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const PlacementRecord& r = records[i];
        if (r.row < 0) break;
        const NozzleSlot& s = slots[i];
        const int head = r.head >= 1 && r.head <= 8 ? r.head : static_cast<int>(i) + 1;
        const auto n = static_cast<std::size_t>(head - 1);
        mask |= 0x80u >> i;
        const PulsePoint pick = PulsesOf(r.pickX, r.pickY);
        const PulsePoint off = HeadOffsetPulses(head);
        p.drives[n] = FeedModeByte(s.feedMode, s.bankCode);
        p.b9[n] = static_cast<std::uint8_t>(s.feederNumber);
        p.h17[n] = static_cast<std::uint16_t>(s.feedTime);
        p.h33[n] = static_cast<std::uint16_t>(s.feedCount);
        p.w57[n] = Clamp32(std::int64_t{pick.x} - off.x - p.w49);
        p.w89[n] = Clamp32(std::int64_t{pick.y} - off.y - p.w53);
        p.zAxes[n] = static_cast<std::uint8_t>(0x20 + n);
        p.w178[n] = PickDepth(r);
        p.h218[n] = static_cast<std::uint16_t>(r.pickDelay < 0 ? 0 : r.pickDelay);
        // The speeds and vacuum of the first record stand for the batch.
        if (i == 0) {
            p.w210 = SpeedWord(Speed(r, kPickX), Speed(r, kPickZ1));
            p.w214 = SpeedWord(Speed(r, kPickA)) | (r.vacuum & 0xFF) << 16;
        }
    }
    p.w121 = static_cast<std::int32_t>(mask);
    p.w125 = static_cast<std::int32_t>(g_FeederMasks[2].load());
    const auto targets = RotationTargets();
    for (std::size_t n = 0; n < 8; ++n) p.w130[n] = targets[n];
    p.w130[8] = static_cast<std::int32_t>(g_FeederMasks[0].load());
    p.w130[9] = static_cast<std::int32_t>(g_FeederMasks[1].load());
    return p;
}

namespace {
// After a per-nozzle command the board stands at the last staged nozzle's
// target and every nozzle has turned by its rotation; the host books the same.
void BookPerNozzle(std::int32_t x0, std::int32_t y0, const std::array<std::uint8_t, 8>& zAxes,
                   const std::array<std::int32_t, 8>& dX, const std::array<std::int32_t, 8>& dY,
                   const std::array<std::int32_t, 8>& dA) {
    for (int n = 7; n >= 0; --n) {
        if (zAxes[static_cast<std::size_t>(n)] < 0x20 || zAxes[static_cast<std::size_t>(n)] > 0x27) continue;
        g_PulseX = Clamp32(std::int64_t{x0} + dX[static_cast<std::size_t>(n)]);
        g_PulseY = Clamp32(std::int64_t{y0} + dY[static_cast<std::size_t>(n)]);
        break;
    }
    for (int n = 0; n < 8; ++n) BookA(n + 1, dA[static_cast<std::size_t>(n)]);
}
}  // namespace

bool PickAllEightHeads() {
    std::array<PlacementRecord, 8> records;
    std::array<NozzleSlot, 8> slots;
    const auto work = CopyNozzleWork();
    for (std::size_t i = 0; i < 8; ++i) records[i] = work[i], slots[i] = g_NozzleSlots[i];
    for (std::size_t i = 0; i < 8 && records[i].row >= 0; ++i) {
        if (records[i].head < 1 || records[i].head > 8) return Refuse("Pick header no select !");
        MarkPicking(records[i]);
    }
    const MoveAndPick75Payload p = BuildPick75(records, slots);
    if (!MoveAndPick75(p)) return false;
    std::array<std::int32_t, 8> dA{};
    for (std::size_t n = 0; n < 8; ++n) dA[n] = p.w130[n];
    BookPerNozzle(p.w49, p.w53, p.zAxes, p.w57, p.w89, dA);
    return PassPauseGate();
}

// ---- measure -------------------------------------------------------------------------

bool MeasurePartOverCamera(PlacementRecord& record, bool repeat) {
    const int type = MachineTypeNow();
    const PickPlaceVision& vision = ThePickPlaceVision();
    const auto measure = [&](bool synchronous) {
        return vision.measurePartOnNozzle ? vision.measurePartOnNozzle(record, synchronous)
                                          : MeasurePartOnNozzle(record, synchronous);
    };
    const PlacementRecord first = CopyNozzleWork()[0];
    const int headMode = TheSmtStrategy().Config().m_HeaderSelect;
    const bool sharedFrame = !repeat && record.head == 2 && TheCameraList().CameraCount() > 1 && type == 5 &&
                             (headMode == 1 || headMode == 2) && record.visionCamera == 1 && record.visionKind == 2 &&
                             first.visionCamera == 1 && first.visionKind == 2;
    if (sharedFrame) return measure(true);

    PulsePoint camera;
    if (record.visionCamera == 2) {
        g_CurrentCamera = 2;
        SelectCamera(3, static_cast<std::uint8_t>(record.flyValue2), -1);
        const CameraRecord c = TheCameraList().Second();
        camera = {c.CameraPulse_X, c.CameraPulse_Y};
    } else {
        g_CurrentCamera = 1;
        SelectCamera(2, static_cast<std::uint8_t>(record.flyValue2), -1);
        const CameraRecord c = TheCameraList().First();
        camera = {c.CameraPulse_X, c.CameraPulse_Y};
    }
    const PulsePoint off = HeadOffsetPulses(record.head);
    const PulsePoint target{Clamp32(std::int64_t{camera.x} - off.x), Clamp32(std::int64_t{camera.y} - off.y)};
    bool moved;
    if (!g_VisionMoveDone.load() || repeat)
        moved = MultiTo(target, Speed(record, kVisionPlaceX), Speed(record, kVisionPlaceY), Speed(record, kPlaceA), 1,
                        RotationTargets());
    else
        moved = XYATo(target, Speed(record, kVisionPlaceX), Speed(record, kVisionPlaceY),
                      static_cast<std::uint8_t>(record.head), 0x80);
    if (!moved) return false;
    if (type >= 0 && type <= 6) {
        if (!ReadVacuum(static_cast<std::uint8_t>(record.head)) || !PassPauseGate()) return false;
        g_VisionMoveDone = 1;
        if (g_VacuumReading.load() < record.vacuum) {
            record.vacuumFailedRow = record.row;
            ThePartList().SetPartRowIcon(record.row, 7, false);
            return true;
        }
        record.vacuumFailedRow = -1;
    } else {
        g_VisionMoveDone = 1;
    }
    return measure(false);
}

// ---- place -----------------------------------------------------------------------------

PlaceTarget ComputePlaceTarget(PlacementRecord& record, int k, bool localMarkWanted, bool perCellMarks,
                               double cellOffsetX, double cellOffsetY) {
    PlaceTarget t;
    double x = 0, y = 0;
    RowPosition(record.row, x, y);
    if (!perCellMarks) x += cellOffsetX, y += cellOffsetY;
    g_ViaRow = 0;
    record.localMark = 0;
    if (localMarkWanted) {
        record.markText = ThePartList().Cell(JobList::Part, record.row, 14);
        if (!record.markText.empty()) {
            record.localMark = 1;
            if (record.markText.find("Via-") != std::string::npos || record.markText.find("via-") != std::string::npos)
                g_ViaRow = 1;
            if (const auto mark = LookUpMarkEntry(record.markText)) t.mark = *mark;
            else record.localMark = 0;
        }
    }
    t.localMark = record.localMark != 0;
    t.via = g_ViaRow.load() != 0;

    const int head = HeadOf(record, k);
    const PulsePoint place = PlaceCorrection(head);
    PulsePoint nozzle = HeadOffsetPulses(head);
    if (head == 2 && g_ActiveList.load() == 2) {
        const BasicSettings& b = TheBasicSettings();
        nozzle = PulsesOf(b.m_X_DropsGlueToNozzle1, b.m_Y_DropsGlueToNozzle1);
    }
    const PulsePoint board = BoardPoint(x, y);
    const std::int64_t bx = board.x, by = board.y;
    t.target = {Clamp32(bx + place.x - nozzle.x), Clamp32(by + place.y - nozzle.y)};
    return t;
}

MoveAndPlace77Payload BuildPlace77(const PlacementRecord& r, std::int32_t dX, std::int32_t dY) {
    MoveAndPlace77Payload p;
    const int head = r.head >= 1 && r.head <= 8 ? r.head : 1;
    p.w0 = g_PulseX.load();
    p.dX = dX;
    p.w8 = g_PulseY.load();
    p.dY = dY;
    p.w16 = SpeedWord(Speed(r, kPlaceX), Speed(r, kPlaceZ1));
    p.w20 = SpeedWord(Speed(r, kPlaceA));
    p.dA = RotationTargets();
    p.w57 = PlaceDepth(r);
    p.w61 = VacuumOffDepth(r, 0);
    p.zAxis = static_cast<std::uint8_t>(0x20 + head - 1);
    p.w66 = r.placeDelay;
    p.b82 = static_cast<std::uint8_t>(TheBasicSettings().m_Exhaust);
    p.b85 = static_cast<std::uint8_t>(r.vacuum < 0 ? 0 : r.vacuum > 255 ? 255 : r.vacuum);
    return p;
}

bool PlacePart(PlacementRecord& record, int k, bool localMarkWanted, bool perCellMarks, double cellOffsetX,
               double cellOffsetY) {
    const int type = MachineTypeNow();
    const PlaceTarget t = ComputePlaceTarget(record, k, localMarkWanted, perCellMarks, cellOffsetX, cellOffsetY);
    SetPlaceRotation(record, k);
    const int head = HeadOf(record, k);
    const bool vision = record.visionKind == 1 || record.visionKind == 2;
    const AxisSpeed xs = Speed(record, vision ? kVisionPlaceX : kPlaceX);
    const AxisSpeed ys = Speed(record, vision ? kVisionPlaceY : kPlaceY);
    if (!t.localMark) {
        // A measured part sits off its nozzle by what the vision found: the nozzle
        // goes that much beside the target, as after a local mark.
        PulsePoint target = t.target;
        if (vision)
            target = {Clamp32(std::int64_t{target.x} + record.correctionX),
                      Clamp32(std::int64_t{target.y} + record.correctionY)};
        if (type == 7) {
            if (!PlaceEight(record, head, Clamp32(std::int64_t{target.x} - g_PulseX.load()),
                            Clamp32(std::int64_t{target.y} - g_PulseY.load())))
                return false;
            return PassPauseGate();
        }
        return MultiTo(target, xs, ys, Speed(record, kPlaceA), 1, RotationTargets());
    }

    // Local mark: the mark camera over the mark, then nozzle k onto it.
    SelectCamera(1, static_cast<std::uint8_t>(t.mark.brightness), -1);
    const PulsePoint markAt = PulsesOf(t.mark.mark1X, t.mark.mark1Y);
    const BasicSettings& b = TheBasicSettings();
    const PulsePoint cameraOff = t.via ? PulsePoint{} : PulsesOf(b.m_X_CameraToNozzle1, b.m_Y_CameraToNozzle1);
    const PulsePoint place = PlaceCorrection(head);
    const PulsePoint nozzle = HeadOffsetPulses(head);
    const PulsePoint cameraTarget{
        Clamp32(std::int64_t{t.target.x} + markAt.x - cameraOff.x - place.x + nozzle.x),
        Clamp32(std::int64_t{t.target.y} + markAt.y - cameraOff.y - place.y + nozzle.y)};
    if (t.via) g_ParkPulseX = cameraTarget.x, g_ParkPulseY = cameraTarget.y;
    if (!MultiTo(cameraTarget, Speed(record, kVisionPlaceX), Speed(record, kVisionPlaceY), Speed(record, kPlaceA), 0,
                 RotationTargets()))
        return false;
    if (!t.via) {
        const PickPlaceVision& v = ThePickPlaceVision();
        std::int32_t mx = 0, my = 0;
        if (!(v.recognizeLocalMark ? v.recognizeLocalMark(t.mark, mx, my) : RecognizeLocalMark(t.mark, mx, my)))
            return false;
    }
    // From the camera over the (centred) mark to nozzle k over the part.
    std::int64_t dX = std::int64_t{cameraOff.x} - markAt.x - nozzle.x + place.x;
    std::int64_t dY = std::int64_t{cameraOff.y} - markAt.y - nozzle.y + place.y;
    if (vision) dX += record.correctionX, dY += record.correctionY;
    ClearRotationTargets();
    if (type == 7) {
        if (!PlaceEight(record, head, Clamp32(dX), Clamp32(dY))) return false;
        return PassPauseGate();
    }
    XYAMultiMove m;
    m.xy.dX = Clamp32(dX);
    m.xy.xSpeed = Speed(record, kVisionPlaceX);
    m.xy.dY = Clamp32(dY);
    m.xy.ySpeed = Speed(record, kVisionPlaceY);
    m.aSpeed = Speed(record, kPlaceA);
    m.flag = 1;
    return MoveXYAMulti(m) && PassPauseGate();
}

PlaceStrokeArgs BuildPlaceStroke(const PlacementRecord& record, double zOffset) {
    const HeadDrive drive = DriveOfHead(MachineTypeNow(), record.head);
    PlaceStrokeArgs p;
    p.axis = drive.axis;
    const std::int32_t d = VacuumOffDepth(record, zOffset);
    p.depth = Clamp32(std::int64_t{d} * drive.sign);
    p.w = d;
    p.speed = Speed(record, drive.speedAt == kPickZ1 ? kPlaceZ1 : kPlaceZ2);
    p.delay = static_cast<std::uint16_t>(record.placeDelay < 0 ? 0 : record.placeDelay);
    p.threshold = record.vacuum;
    return p;
}

bool PlacePartStroke(PlacementRecord& record, double zOffset) {
    const PlaceStrokeArgs p = BuildPlaceStroke(record, zOffset);
    if (p.axis == 0) return true;  // types 8 and 9 make no stroke here
    return PlaceStroke(p) && PassPauseGate();
}

void ClearTogetherPlace() {
    MoveAndPlace78Payload& p = StagedPlace();
    p = MoveAndPlace78Payload{};
    p.zAxes.fill(0);
    StagedTargets().fill({});
    StagedOwnTurns().fill(std::nullopt);
}

const MoveAndPlace78Payload& TogetherPlacePayload() {
    MoveAndPlace78Payload& p = StagedPlace();
    p.w1 = g_PulseX.load();
    p.w69 = g_PulseY.load();
    for (std::size_t n = 0; n < 8; ++n) {
        if (p.zAxes[n] == 0) continue;
        p.w5[n] = Clamp32(std::int64_t{StagedTargets()[n].x} - p.w1);
        p.w37[n] = Clamp32(std::int64_t{StagedTargets()[n].y} - p.w69);
    }
    return p;
}

bool SendTogetherPlace() {
    const MoveAndPlace78Payload p = TogetherPlacePayload();
    if (p.b0 == 0) return true;
    if (!MoveAndPlace78(p)) return false;
    std::array<std::int32_t, 8> dA{};
    for (std::size_t n = 0; n < 8; ++n) dA[n] = p.w82[n];
    BookPerNozzle(p.w1, p.w69, p.zAxes, p.w5, p.w37, dA);
    return true;
}

namespace {
// The record's nozzle over the discard place (0x64 with the heads-homed flag).
bool MoveOverThrowPlace(const PlacementRecord& record) {
    const BasicSettings& b = TheBasicSettings();
    const PulsePoint throwAt = PulsesOf(b.m_X_ThrowPosition, b.m_Y_ThrowPosition);
    const PulsePoint off = HeadOffsetPulses(record.head);
    XYAMove m;
    m.xy.dX = Clamp32(std::int64_t{throwAt.x} - off.x - g_PulseX.load());
    m.xy.xSpeed = Speed(record, kPlaceX);
    m.xy.dY = Clamp32(std::int64_t{throwAt.y} - off.y - g_PulseY.load());
    m.xy.ySpeed = Speed(record, kPlaceY);
    m.nozzle = static_cast<std::uint8_t>(record.head);
    m.flags = 0x80;
    return MoveXYA(m);
}

// The nozzle's vacuum off blows the part away.
void LetGo(const PlacementRecord& record) {
    const BasicSettings& b = TheBasicSettings();
    if (MachineTypeNow() == 7) {
        if (record.head >= 1 && record.head <= 8)
            SetOutput({static_cast<std::uint8_t>(0x20 + record.head - 1), 0, static_cast<std::uint16_t>(b.m_Exhaust)});
    } else if (record.head >= 1 && record.head <= 4) {
        SetOutput({static_cast<std::uint8_t>(record.head), 0, 5});
    }
    SleepMs(b.m_ThrowDelay);
}
}  // namespace

bool DiscardPart(PlacementRecord& record) {
    if (!MoveOverThrowPlace(record) || !PassPauseGate()) return false;
    LetGo(record);
    return g_RunContinue.load();
}

bool ThrowOffAtRunEnd(const PlacementRecord& record) {
    if (!MoveOverThrowPlace(record)) return false;
    LetGo(record);
    return true;
}

bool PlaceTargetWithinTravel(PlacementRecord& record, int k, bool perCellMarks, double cellOffsetX,
                             double cellOffsetY) {
    const std::uint8_t via = g_ViaRow.load();
    const PlaceTarget t = ComputePlaceTarget(record, k, true, perCellMarks, cellOffsetX, cellOffsetY);
    g_ViaRow = via;  // the place step works it out again for its own row
    if (t.localMark) return true;
    const MoveLimits l = CurrentMoveLimits();
    return t.target.x >= 0 && t.target.x <= l.x && t.target.y >= l.y && t.target.y <= 0;
}

bool ParkHead() {
    ClearRotationTargets();
    const SpeedTypeTable pick = TheSpeedTemplates().Table(SpeedType::PickPart);
    return MultiTo({g_ParkPulseX.load(), g_ParkPulseY.load()}, {pick.m_Start_X, pick.m_Normal_X},
                   {pick.m_Start_Y, pick.m_Normal_Y}, {pick.m_Start_A1, pick.m_Normal_A1}, 1, RotationTargets());
}

}  // namespace smt
