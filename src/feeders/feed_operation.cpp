#include "feeders/feed_operation.h"

#include <cmath>
#include <memory>

#include "base/numtext.h"
#include "feeders/auto_feed.h"
#include "feeders/feed_group_table.h"
#include "feeders/feed_list.h"
#include "feeders/feeder_words.h"
#include "link/combined_commands.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/positioning.h"
#include "platform/event.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "platform/uipost.h"
#include "settings/basic_settings.h"
#include "machine_ops/dipping_station.h"
#include "settings/limit_detour.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"
#include "vision/camera_panel_port.h"
#include "vision/camera_service.h"

namespace smt {

namespace {

double Cell(const std::vector<std::string>& row, std::size_t i) { return i < row.size() ? AtoF(row[i]) : 0.0; }
const std::string& Text(const std::vector<std::string>& row, std::size_t i) {
    static const std::string empty;
    return i < row.size() ? row[i] : empty;
}

bool Serial() { return TheBasicSettings().m_CommModel == 0; }

SpeedPair Handle(int drive) { return TheSpeedTemplates().Pair(SpeedType::Handle, drive); }

double ZToFeed(int n) {
    const BasicSettings& b = TheBasicSettings();
    const double z[8] = {b.m_Z_Nozzle1ToFeed, b.m_Z_Nozzle2ToFeed, b.m_Z_Nozzle3ToFeed, b.m_Z_Nozzle4ToFeed,
                         b.m_Z_Nozzle5ToFeed, b.m_Z_Nozzle6ToFeed, b.m_Z_Nozzle7ToFeed, b.m_Z_Nozzle8ToFeed};
    return n >= 1 && n <= 8 ? z[n - 1] : 0.0;
}

std::int32_t Diff(std::int64_t a, std::int64_t b) { return AddPulses({a, -b}); }

bool MoveXYTo(PulsePoint target, std::uint8_t flags) {
    const SpeedPair x = Handle(kDriveX), y = Handle(kDriveY);
    XYAMove m;
    m.xy.dX = Diff(target.x, g_PulseX.load());
    m.xy.xSpeed = {x.start, x.run};
    m.xy.dY = Diff(target.y, g_PulseY.load());
    m.xy.ySpeed = {y.start, y.run};
    m.nozzle = 0;
    m.flags = flags;
    return MoveXYA(m);
}

void Post(std::function<void()> f) { plat::PostToUi(std::move(f)); }

// ---- code 9 and 10 ----
void MoveCameraToFeeder(const FeedOperationRequest& r) {
    std::optional<PulsePoint> target;
    if (r.hasTarget) target = PulsePoint{r.targetX, r.targetY};
    else target = CameraTarget(r.code, r.row);
    if (!target) return;
    const DetourZones zones = FindDetourZones(*target);
    const CameraPanelPort& panel = TheCameraPanelPort();
    Post([use = panel.useFeedBrightness, select = panel.selectMarkCamera] {
        if (use) use();
        if (select) select();
    });
    if (Serial()) SetSpeedGear(0);
    if (!MoveThroughDetourZones(zones, *target)) return;
    MoveXYTo(*target, 0x80);
}

// ---- code 11 ----
void MoveTowbarToHole(const std::vector<std::string>& row, const FeedOperationTexts& texts) {
    const std::optional<FeederBank> bank = BankOf(Text(row, 0));
    if (!bank) {
        plat::MessageBoxOk("FeedDirection No Find", true);
        return;
    }
    if (!bank->HasWalk()) return;
    SetOutput({static_cast<std::uint8_t>(bank->channel), 0, 5});
    const double c = Cell(row, kFeedCoordinateCell);
    if (!bank->InWalkRange(c)) {
        plat::MessageBoxOk(texts.message07);
        return;
    }
    const std::int32_t delta = Diff(ToPulses(c, bank->walkFactor), g_PulseFeederWalk[bank->index].load());
    if (Serial()) SetSpeedGear(0);
    const SpeedPair s = Handle(bank->walkDrive);
    MoveSingleAxis({static_cast<std::uint8_t>(bank->walkAxis), delta, {s.start, s.run}});
}

// ---- codes 13 to 28 ----
void PickToCameraTest(const FeedOperationRequest& r, const FeedOperationTexts& texts) {
    const int head = r.code <= 20 ? r.code - 12 : r.code - 20;
    const int camera = r.code <= 20 ? 1 : 2;
    FeedGroupTable& table = TheFeedGroupTable();
    if (table.FindFeedGroupByName(table.OpenGroupName()) < 0) {
        plat::MessageBoxOk(texts.message20, true);
        return;
    }
    const std::vector<std::string>& row = r.row;
    PulsePoint target{ToPulses(Cell(row, 4), g_PulsesPerMmX), ToPulses(Cell(row, 5), g_PulsesPerMmY)};
    double p = Cell(row, 22);
    Post([set = TheCameraPanelPort().setImageFeature, text = Text(row, feedcell::ImageFeature)] {
        if (set) set(text);
    });
    const PulsePoint offset = head >= 2 ? g_NozzleToNozzle1Pulses[static_cast<std::size_t>(head - 1)] : PulsePoint{};
    if (p == 0) p = ZToFeed(head);
    target = {Diff(target.x, offset.x), Diff(target.y, offset.y)};
    if (!MoveToTarget(target)) return;
    PickStroke(PickToCameraStroke(g_MachineType, head, p, row));

    const CameraPanelPort& panel = TheCameraPanelPort();
    const VisionCameraPlace place = panel.visionCamera ? panel.visionCamera(camera - 1) : VisionCameraPlace{};
    g_CurrentCamera = camera;
    SelectCamera(static_cast<std::uint8_t>(camera + 1), static_cast<std::uint8_t>(place.brightness), -1);
    PulsePoint cam{Diff(place.x, offset.x), Diff(place.y, offset.y)};
    if (g_MachineType == 4) cam.y = g_PulseY.load();
    const std::string& light = Text(row, 13);
    const std::size_t slash = light.find('/');
    const int contrast = AtoI(light.substr(0, slash));
    const int brightness = slash == std::string::npos ? 0 : AtoI(light.substr(slash + 1));
    const double frame = Cell(row, 6) + TheBasicSettings().m_AutoMagnify;
    Post([set = panel.setVisionParameters, contrast, brightness, zoom = place.zoom, frame] {
        if (set) set(contrast, brightness, zoom, frame);
    });
    MoveXYTo(cam, 0x80);
}

void MeasureAt(const FeedOperationRequest& r) {
    switch (r.code) {
    case kFeedOpReferenceHeight: {
        const HeightResult h = MeasureHeightWithHead(0);
        // No reply at all leaves the reference as it was; an error reply stores 0.
        if (h.answered) StoreReferenceHeight(TheBasicSettings(), h.measured ? h.mm : 0.0);
        return;
    }
    case kFeedOpDippingHeight: {
        if (!MoveToFeederTarget(r.code, r.row)) return;
        const HeightResult h = MeasureHeightWithHead(1);
        if (!h.measured) return;  // a failed measurement is not a station height
        StoreDippingStationHeight(TheDippingStation(), TheBasicSettings(), h.mm);
        return;
    }
    case kFeedOpMeasurePick: {
        if (!MoveToFeederTarget(r.code, r.row)) return;
        const HeightResult h = MeasureHeightWithHead(MeasuringHead(AtoI(Text(r.row, 10)), g_MachineType));
        if (!h.measured) return;
        const BasicSettings& b = TheBasicSettings();
        const std::string text = FormatMm(h.mm - (b.m_Z_Measurement - b.m_Z_Nozzle1ToPCBHeight));
        if (const auto& store = TheFeedListPort().storePickHeight) store(r.measuringId, text);
        return;
    }
    default: return;
    }
}

} // namespace

// ---- banks ----

std::optional<FeederBank> BankOf(const std::string& id) {
    if (id.empty()) return std::nullopt;
    const PulseFactors& f = ThePulseFactors();
    const BasicSettings& b = TheBasicSettings();
    FeederBank k;
    k.letter = id[0];
    switch (id[0]) {
    case 'W':
        k.code = 1, k.channel = 5, k.walkAxis = 8, k.liftAxis = 11, k.index = 0;
        k.walkFactor = f.m_WestWalk_Pulse, k.liftFactor = f.m_WestLift_Pulse, k.limit = b.m_WestFeed_Limit;
        k.walkDrive = kDriveWestWalk, k.liftDrive = kDriveWestLift;
        return k;
    case 'N':
        k.code = 2, k.channel = 6, k.walkAxis = 9, k.liftAxis = 12, k.index = 1;
        k.walkFactor = f.m_NorthWalk_Pulse, k.liftFactor = f.m_NorthLift_Pulse, k.limit = b.m_NorthFeed_Limit;
        k.walkDrive = kDriveNorthWalk, k.liftDrive = kDriveNorthLift;
        return k;
    case 'E':
        k.code = 3, k.channel = 7, k.walkAxis = 10, k.liftAxis = 13, k.index = 2;
        k.walkFactor = f.m_EastWalk_Pulse, k.liftFactor = f.m_EastLift_Pulse, k.limit = b.m_EastFeed_Limit;
        k.walkDrive = kDriveEastWalk, k.liftDrive = kDriveEastLift;
        return k;
    case 'S': k.code = 4; return k;
    case 'G': k.code = 13; return k;
    default: return std::nullopt;
    }
}

bool FeederBank::InWalkRange(double c) const {
    if (letter == 'N') return 0 <= c && c <= limit;
    return limit <= c && c <= 0;
}

// ---- targets ----

PulsePoint FeederTarget(int code, const std::vector<std::string>& row) {
    const PulseFactors& f = ThePulseFactors();
    const BasicSettings& b = TheBasicSettings();
    const DippingStationSettings& d = TheDippingStation();
    if (code == kFeedOpHeadToDipping)
        return {ToPulses(d.m_DippingStation_X, f.m_X_Pulse), ToPulses(d.m_DippingStation_Y, f.m_Y_Pulse)};
    if (code == kFeedOpDippingHeight)
        return {Diff(ToPulses(d.m_DippingStation_X, f.m_X_Pulse), ToPulses(b.m_X_Measurement, f.m_X_Pulse)),
                Diff(ToPulses(d.m_DippingStation_Y, f.m_Y_Pulse), ToPulses(b.m_Y_Measurement, f.m_Y_Pulse))};
    PulsePoint t{ToPulses(Cell(row, 4), f.m_X_Pulse), ToPulses(Cell(row, 5), f.m_Y_Pulse)};
    PointMm off{};
    if (code == 0) off = {b.m_X_Measurement, b.m_Y_Measurement};
    else if (code >= 2 && code <= 8) off = NozzleOffset(b, code);
    return {Diff(t.x, ToPulses(off.x, f.m_X_Pulse)), Diff(t.y, ToPulses(off.y, f.m_Y_Pulse))};
}

std::optional<PulsePoint> CameraTarget(int code, const std::vector<std::string>& row) {
    const PulseFactors& f = ThePulseFactors();
    const BasicSettings& b = TheBasicSettings();
    std::size_t xCell = 4, yCell = 5;
    if (code == kFeedOpCameraToHole) {
        if (FeedModeIndex(Text(row, feedcell::FeedMode)) != 6) return std::nullopt;
        xCell = 20, yCell = 21;
    } else if (code != kFeedOpCameraToFeeder) {
        return std::nullopt;
    }
    return PulsePoint{Diff(ToPulses(Cell(row, xCell), f.m_X_Pulse), ToPulses(b.m_X_CameraToNozzle1, f.m_X_Pulse)),
                      Diff(ToPulses(Cell(row, yCell), f.m_Y_Pulse), ToPulses(b.m_Y_CameraToNozzle1, f.m_Y_Pulse))};
}

// ---- moves ----

DetourZones FindDetourZones(PulsePoint target) {
    const PulseFactors& f = ThePulseFactors();
    const DetourCheck c = CheckPositionLimitDetour(ThePositionLimitDetour(), f.m_X_Pulse, f.m_Y_Pulse, g_PulseX.load(),
                                                   g_PulseY.load(), target.x, target.y);
    return {c.current.inCorner, c.target.inCorner};
}

bool MoveThroughDetourZones(const DetourZones& zones, PulsePoint target) {
    // The Y step leaves the corner straight toward the target's Y.
    if (zones.current && !MoveXYTo({g_PulseX.load(), target.y}, 0x80)) return false;
    if (zones.target && !MoveXYTo(target, 0x80)) return false;
    return true;
}

bool MoveToTarget(PulsePoint target, bool keepYOnTypeFour) {
    if (keepYOnTypeFour && g_MachineType == 4) target.y = g_PulseY.load();
    const DetourZones zones = FindDetourZones(target);
    if (Serial()) SetSpeedGear(0);
    if (!MoveThroughDetourZones(zones, target)) return false;
    return MoveXYTo(target, 0x80);
}

bool MoveToFeederTarget(int code, const std::vector<std::string>& row) {
    return MoveToTarget(FeederTarget(code, row));
}

// ---- height ----

int MeasuringHead(int head, int machineType) {
    int most = 0;
    switch (machineType) {
    case 0: case 1: most = 1; break;
    case 2: case 5: most = 2; break;
    case 3: case 4: case 6: most = 4; break;
    case 7: most = 8; break;
    default: return head;  // types 8 and 9 are not limited
    }
    return head > most ? 1 : head;
}

HeightResult MeasureHeightWithHead(int head) {
    const BasicSettings& b = TheBasicSettings();
    const double zPulse = ThePulseFactors().m_Z_Pulse;
    std::int32_t limit = ToPulses(b.m_Z_Limit, zPulse);
    if (Serial()) limit = -limit;
    HeightResult r;
    r.answered = MeasureHeight({limit, b.m_MeasurementStart, b.m_MeasurementNormal});
    if (!r.answered) return r;
    r.measured = g_PanelLink.heightMeasured.load();
    const double mm = zPulse != 0 ? -static_cast<double>(g_PanelLink.measuredHeight.load()) / zPulse : 0.0;
    const std::string text = FormatMm(mm);
    AppendCommTrace("Measurement height " + text, true);
    r.mm = AtoF(text);
    if (head >= 2 && head <= 8) r.mm += ZToFeed(head) - b.m_Z_Nozzle1ToFeed;
    return r;
}

// ---- strokes and requests ----

PickStrokeArgs PickToCameraStroke(int type, int head, double pickMm, const std::vector<std::string>& row) {
    const SpeedPair z = Handle(kDriveZ1);
    PickStrokeArgs a;
    a.speed = {z.start, z.run};
    a.k = static_cast<std::uint8_t>(head);
    a.delay = static_cast<std::uint16_t>(AtoI(Text(row, 15)));
    a.f = static_cast<std::uint8_t>(AtoI(Text(row, 11)));
    const std::int32_t depth = ToPulses(pickMm, g_PulsesPerMmZ);
    if (type >= 8 || head < 1 || head > 8) {
        a.axis = 2;
        a.depth = 0;
        a.k = static_cast<std::uint8_t>(AtoI(Text(row, 10)));
    } else if (head >= 5) {
        a.axis = static_cast<std::uint8_t>(0x20 + head - 1);
        a.depth = depth;
    } else if (type == 7) {
        a.axis = static_cast<std::uint8_t>(0x1F + head);
        a.depth = depth;
    } else {
        a.axis = head <= 2 ? 2 : 3;
        a.depth = head % 2 == 1 ? depth : -depth;
    }
    return a;
}

FeederFeed AutoFeedRequest(bool serial) {
    const AutoFeed& a = TheAutoFeed();
    FeederFeed f;
    f.variant = 0;
    f.drive = 10;
    f.pulses = static_cast<std::int32_t>(a.m_AutoFeedArray[0].load());
    f.a = static_cast<std::int32_t>(a.m_AutoFeedArray[1].load());
    f.b = static_cast<std::int32_t>(a.m_AutoFeedArray[2].load());
    f.g = 0;
    f.h = serial ? 1 : static_cast<std::uint8_t>(a.m_CurrentWord.load());
    f.i = serial ? 0 : static_cast<std::uint8_t>(a.m_CurrentFeed.load());
    return f;
}

void AutoFeedSequence() {
    // FeedFeeder fails at once on a failed send and waits within the link's bound.
    FeedFeeder(AutoFeedRequest(Serial()));
}

// ---- the worker ----

std::atomic<bool>& SingleFeedFlag() {
    static std::atomic<bool> flag{false};
    return flag;
}

void FeedOperationThread(const FeedOperationJob& job, BusyClaim claim) {
    const FeedOperationRequest& r = job.request;
    switch (r.code) {
    case kFeedOpAutoFeed: AutoFeedSequence(); break;
    case kFeedOpHeadToDipping: MoveToFeederTarget(r.code, r.row); break;
    case kFeedOpDippingHeight: case kFeedOpReferenceHeight: case kFeedOpMeasurePick: MeasureAt(r); break;
    case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8:
        if (r.hasTarget) MoveToTarget(PulsePoint{r.targetX, r.targetY});
        else MoveToFeederTarget(r.code, r.row);
        break;
    case kFeedOpCameraToFeeder: case kFeedOpCameraToHole: MoveCameraToFeeder(r); break;
    case kFeedOpTowbar: MoveTowbarToHole(r.row, job.texts); break;
    case kFeedOpFeedTest: FeedTestSequence(r.row, job.texts); break;
    default:
        if (r.code >= 13 && r.code <= 28) PickToCameraTest(r, job.texts);
        break;
    }
    claim.Release();
}

void StartFeedOperationThread(FeedOperationJob job, BusyClaim claim) {
    auto held = std::make_shared<BusyClaim>(std::move(claim));
    plat::StartWorker("FeedOperationThread", [job = std::move(job), held] {
        FeedOperationThread(job, std::move(*held));
    });
}

void InstallFeedOperationWorker(std::function<FeedOperationTexts()> texts) {
    FeedOperationPort& port = TheFeedOperationPort();
    port.start = [texts](int code, BusyClaim claim) {
        FeedOperationJob job;
        job.request.code = code;
        if (texts) job.texts = texts();
        StartFeedOperationThread(std::move(job), std::move(claim));
    };
    port.startRequest = [texts](FeedOperationRequest request, BusyClaim claim) {
        FeedOperationJob job{std::move(request), texts ? texts() : FeedOperationTexts{}};
        StartFeedOperationThread(std::move(job), std::move(claim));
    };
}

} // namespace smt
