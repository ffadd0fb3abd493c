// The feeder steps (present, advance, drag) and the recovery after a failed
// pick, vacuum or vision check with its question to the operator.
#include <cmath>

#include "base/captions.h"
#include "base/numtext.h"
#include "feeders/auto_feed.h"
#include "feeders/feed_group_table.h"
#include "feeders/feed_list.h"
#include "joblist/part_list.h"
#include "joblist/part_list_texts.h"
#include "joblist/run_board.h"
#include "joblist/smt_strategy.h"
#include "link/busy.h"
#include "link/commands.h"
#include "link/homing.h"
#include "link/link_state.h"
#include "link/manual_control.h"
#include "link/position_counters.h"
#include "machine_ops/cover_tape.h"
#include "platform/event.h"
#include "platform/msgbox.h"
#include "run/nozzle_change.h"
#include "run/pick_place.h"
#include "run/pick_place_common.h"
#include "run/placement_records.h"
#include "run/run_frame.h"
#include "run_state/run_events.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"
#include "settings/version_switches.h"

namespace smt {

using namespace steps;

namespace {

// The walk and lift of a feeder bank (W 1, N 2, E 3); none for S and G.
struct Bank {
    bool walks = false;
    std::uint8_t walkAxis = 0, liftAxis = 0;
    double walkFactor = 0, liftFactor = 0;
    SpeedPair walkSpeed, liftSpeed;
    std::size_t counter = 0;  // g_PulseFeederWalk index
};

Bank BankOf(int code) {
    const PulseFactors& f = ThePulseFactors();
    const SpeedTypeTable pick = TheSpeedTemplates().Table(SpeedType::PickPart);
    Bank b;
    switch (code) {
    case 1:
        b = {true, 8, 11, f.m_WestWalk_Pulse, f.m_WestLift_Pulse, pick.Pair(kDriveWestWalk), pick.Pair(kDriveWestLift), 0};
        break;
    case 2:
        b = {true, 9, 12, f.m_NorthWalk_Pulse, f.m_NorthLift_Pulse, pick.Pair(kDriveNorthWalk),
             pick.Pair(kDriveNorthLift), 1};
        break;
    case 3:
        b = {true, 10, 13, f.m_EastWalk_Pulse, f.m_EastLift_Pulse, pick.Pair(kDriveEastWalk), pick.Pair(kDriveEastLift), 2};
        break;
    default: break;
    }
    return b;
}

// The walk feed of modes 0, 4 and 5.
bool WalkFeed(const NozzleSlot& s, int count, double loosen, double tighten) {
    const Bank bank = BankOf(s.bankCode);
    if (!bank.walks) return true;
    FeederFeed f;
    f.variant = 0;
    f.drive = static_cast<std::uint8_t>(s.bankCode);
    f.pulses = AddPulses({ToPulses(s.feedCoordinate, bank.walkFactor),
                          -static_cast<std::int64_t>(g_PulseFeederWalk[bank.counter].load())});
    f.a = bank.walkSpeed.start;
    f.b = bank.walkSpeed.run;
    f.c = ToPulses(loosen, bank.liftFactor);
    f.d = ToPulses(tighten, bank.liftFactor);
    f.e = bank.liftSpeed.start;
    f.f = bank.liftSpeed.run;
    f.g = static_cast<std::uint16_t>(s.feedTime);
    f.h = static_cast<std::uint8_t>(count);
    f.i = static_cast<std::uint8_t>(s.feederNumber);
    return FeedFeeder(f);
}

// The feeder's quantity (cell 26) one less, in its group and in the feeder list.
void CountDownQuantity(const NozzleSlot& s) {
    FeedGroupTable& table = TheFeedGroupTable();
    const auto row = table.CopyFeedRow(s.groupIndex, s.feederId);
    if (!row) return;
    const int quantity = AtoI((*row)[feedcell::Quantity]);
    if (quantity == 0) return;
    const std::string text = FormatInt(quantity - 1);
    table.SetFeederCell(s.groupIndex, s.feederId, feedcell::Quantity, text);
    if (const auto& show = TheFeedListPort().showCell) show(s.feederId, feedcell::Quantity, text);
}

}  // namespace

bool PresentFeederPart(NozzleSlot& slot, bool replenish) {
    const bool serial = Serial();
    const int count = serial ? slot.feedCount : 1;
    bool ok = true;
    switch (slot.feedMode) {
    case 0: ok = WalkFeed(slot, count, slot.loosenLength, slot.tightenLength); break;
    case 1:
    case 7: {
        SetFeederMaskBit(slot.feederNumber, true);
        FeederFeed f;
        f.variant = 0;
        f.drive = 10;
        f.pulses = static_cast<std::int32_t>(g_FeederMasks[0].load());
        f.a = static_cast<std::int32_t>(g_FeederMasks[1].load());
        f.g = static_cast<std::uint16_t>(slot.feedTime);
        f.h = static_cast<std::uint8_t>(count);
        f.i = static_cast<std::uint8_t>(!serial || TheVersionSwitches().m_V2_07 ? slot.feederNumber : 0);
        ok = FeedFeeder(f);
        break;
    }
    case 2:
        for (int n = 0; n < count && ok; ++n) {
            FeederFeed f;
            f.variant = 0;
            f.drive = 11;
            f.g = static_cast<std::uint16_t>(slot.feedTime);
            f.h = static_cast<std::uint8_t>(slot.feedCount);
            f.i = static_cast<std::uint8_t>(slot.feederNumber);
            ok = FeedFeeder(f);
            if (ok) SleepMs(slot.feedTime);
        }
        break;
    case 4:
        if (slot.feedCount != 0) ok = WalkFeed(slot, count, slot.loosenLength, slot.tightenLength);
        break;
    case 5:
        if (slot.feedCount != 0) {
            // Both parts of one pocket go in one two-nozzle cycle: two steps at once.
            int pocketSteps = g_SmtHeadCount.load() == 2 && g_NozzleSlots[1].row >= 0 &&
                                g_NozzleSlots[1].feederId == g_NozzleSlots[0].feederId
                            ? 2
                            : 1;
            if (replenish && !g_ReplenishPresented.load()) pocketSteps = 1;
            const double factor = pocketSteps == 2 ? 2.0 : 1.0;
            ok = WalkFeed(slot, pocketSteps, slot.loosenLength * factor, slot.tightenLength * factor);
        }
        break;
    default: break;  // 3, 6, 8: nothing to present
    }
    if (!ok) return false;
    CountDownQuantity(slot);
    slot.presented2 = 0;
    return true;
}

bool AdvanceFeeder(NozzleSlot& slot) {
    if (slot.feedMode != 1 && slot.feedMode != 7) return true;
    const int group = SetFeederMaskBit(slot.feederNumber, false);
    FeederFeed f;
    f.variant = 1;
    f.drive = 10;
    f.pulses = static_cast<std::int32_t>(g_FeederMasks[0].load());
    f.a = static_cast<std::int32_t>(g_FeederMasks[1].load());
    f.g = static_cast<std::uint16_t>(slot.feedTime);
    f.h = static_cast<std::uint8_t>(Serial() ? slot.feedCount : group);
    if (!FeedFeeder(f)) return false;
    SleepMs(slot.feedTime);
    return true;
}

bool DragFeed(PlacementRecord& record, NozzleSlot& slot) {
    const BasicSettings& b = TheBasicSettings();
    const PulseFactors& pf = ThePulseFactors();
    const PulsePoint hole = PulsesOf(slot.loosenLength, slot.tightenLength);
    const PulsePoint nozzle2 = PulsesOf(b.m_X_Nozzle2ToNozzle1, b.m_Y_Nozzle2ToNozzle1);
    const AxisSpeed xs = Speed(record, kPickX), ys = Speed(record, kPickY);
    if (!XYATo({Clamp32(std::int64_t{hole.x} - nozzle2.x), Clamp32(std::int64_t{hole.y} - nozzle2.y)}, xs, ys, 2, 0x80))
        return false;
    double depth = slot.pickHeight != 0 ? slot.pickHeight : b.m_Z_Nozzle2ToFeed;
    depth -= b.m_Nozzle2MoreNozzle1;
    slot.pickHeight = depth;
    SingleAxisMove z;
    z.axis = 2;
    z.delta = ToPulses(depth, pf.m_Z_Pulse);
    z.speed = Speed(record, kPickZ1);
    if (!MoveSingleAxis(z) || !PassPauseGate()) return false;
    const double length = std::fabs(slot.feedCoordinate);
    const Bank bank = BankOf(slot.bankCode);
    SingleAxisMove lift;
    lift.axis = bank.liftAxis;
    lift.delta = ToPulses(-(TheAutoFeed().m_Open_Length.load() / 4) * length, bank.liftFactor);
    lift.speed = {bank.liftSpeed.start, bank.liftSpeed.run};
    if (bank.walks && (!MoveSingleAxis(lift) || !PassPauseGate())) return false;
    int sx = 0, sy = 0;
    switch (slot.bankCode) {
    case 1: sx = 1; break;
    case 2: sy = -1; break;
    case 3: sx = -1; break;
    case 4: sy = 1; break;
    default: break;
    }
    XYAMove pull;
    pull.xy.dX = sx * ToPulses(length, pf.m_X_Pulse);
    pull.xy.xSpeed = xs;
    pull.xy.dY = sy * ToPulses(length, pf.m_Y_Pulse);
    pull.xy.ySpeed = ys;
    pull.nozzle = 2;
    pull.flags = 0x40;
    if (!MoveXYA(pull) || !PassPauseGate()) return false;
    SleepMs(slot.feedTime);
    pull.xy.dX = -pull.xy.dX;
    pull.xy.dY = -pull.xy.dY;
    if (!MoveXYA(pull) || !PassPauseGate()) return false;
    z.delta = -z.delta;
    if (!MoveSingleAxis(z) || !PassPauseGate()) return false;
    if (bank.walks) {
        lift.delta = -lift.delta;
        if (!MoveSingleAxis(lift) || !PassPauseGate()) return false;
    }
    return true;
}

bool CopyRecordToReplenishSlot(int k) {
    if (k < 1 || k > 8) {
        plat::MessageBoxOk("feed is no find !", true);
        return false;
    }
    const PlacementRecord r = CopyNozzleWork()[static_cast<std::size_t>(k - 1)];
    NozzleSlot& s = g_NozzleSlots[kReplenishSlot];
    s.row = r.row;
    s.headTarget = r.headTarget;
    s.nozzleTarget = r.nozzleTarget;
    s.feederId = r.feederId;
    s.feederNumber = r.feederNumber;
    s.bankCode = r.bankCode;
    s.feedModeText = r.feedModeText;
    s.feedMode = r.feedMode;
    s.feedCoordinate = r.feedCoordinate;
    s.feedCount = r.feedCount;
    s.feedTime = r.feedTime;
    s.loosenLength = r.loosenLength;
    s.tightenLength = r.tightenLength;
    s.pickHeight = r.pickHeight;
    s.groupIndex = r.groupIndex;
    s.feederIndex = r.feederIndex;
    s.presented1 = r.presented1;
    s.presented2 = r.presented2;
    s.carriedValue = r.carriedValue;
    return true;
}

namespace {

void EnableStop() {
    if (const auto& set = PartListToolButtons()) set(109, true);
}

bool ChangeBack(const PlacementRecord& r, int record) {
    return ChangeNozzle(record, r.head, r.mountedNozzle, r.head, r.head, 0);
}

// No with automatic nozzle change: the nozzles back into the library, the head
// to the corner, the feeder walks home, the mark camera, a machine reset.
void PutNozzlesBack(const PlacementRecord& record) {
    const SmtStrategyConfig st = TheSmtStrategy().Config();
    const auto work = CopyNozzleWork();
    bool ok = true;
    if (st.m_19NozzleLibrary) {
        for (int i = 1; i <= 4 && ok; ++i) ok = ChangeBack(work[static_cast<std::size_t>(i - 1)], i);
    } else if (st.m_ChangeNozzleSelect == 0) {
        ok = ChangeBack(work[0], 1) && ChangeBack(work[1], 2);
    } else if (st.m_ChangeNozzleSelect == 1) {
        if (work[0].mountedNozzle != 1) ok = ChangeNozzle(1, 2, work[0].mountedNozzle, 1, 2, 0);
        else if (work[1].mountedNozzle != 1) ok = ChangeNozzle(2, 2, work[1].mountedNozzle, 2, 2, 0);
    } else if (st.m_ChangeNozzleSelect == 2) {
        if (work[0].mountedNozzle != 2) ok = ChangeNozzle(1, 1, work[0].mountedNozzle, 1, 1, 0);
        else if (work[1].mountedNozzle != 2) ok = ChangeNozzle(2, 1, work[1].mountedNozzle, 2, 1, 0);
    }
    if (!ok) return;
    XYAMove corner;
    corner.xy.dX = Clamp32(std::int64_t{100} - g_PulseX.load());
    corner.xy.xSpeed = Speed(record, kPlaceX);
    corner.xy.dY = Clamp32(std::int64_t{-100} - g_PulseY.load());
    corner.xy.ySpeed = Speed(record, kPlaceY);
    corner.nozzle = 0;
    if (!MoveXYA(corner)) return;
    for (std::size_t w = 0; w < 2; ++w) {
        const std::int32_t at = g_PulseFeederWalk[w].load();
        if (at == 0) continue;
        const Bank bank = BankOf(static_cast<int>(w) + 1);
        SingleAxisMove m;
        m.axis = bank.walkAxis;
        m.delta = -at;
        m.speed = {bank.walkSpeed.start, bank.walkSpeed.run};
        if (!MoveSingleAxis(m)) return;
    }
    SelectCamera(1, 0, -1);
    MachineReset(0, false);
}

// One replenish pick from slot 9 onto the spare record, measured and placed.
// false: the run ends; the failure fields of `record` say how the part went.
bool Replenish(PlacementRecord& record, int group, double cellOffsetX, double cellOffsetY) {
    NozzleSlot& s9 = g_NozzleSlots[kReplenishSlot];
    if (s9.feedMode != 6 && !PresentFeederPart(s9, true)) {
        record.row = -1;
        return false;
    }
    if (!BuildPlacementRecord(group, 9)) return false;
    PlacementRecord& spare = g_NozzleWork[kReplenishSlot];
    if (s9.feedMode == 6 && !DragFeed(spare, s9)) return false;
    if (!MoveToPickPosition(spare)) return false;
    if (!PickPart(spare)) return false;
    if (const auto row = TheFeedGroupTable().CopyFeedRow(s9.groupIndex, s9.feederId);
        row && (*row)[feedcell::FeedMode] == s9.feedModeText)
        s9.feedCount = AtoI((*row)[feedcell::FeedCount]);
    if (!GoesOnAfter(AdvanceFeeder(s9)) || !PassPauseGate()) return false;
    LogReplenishPlacement(spare);
    spare.vacuumFailedRow = -1;
    spare.visionFailed = 0;
    if (spare.visionKind == 1 || spare.visionKind == 2) {
        if (!MeasurePartOverCamera(spare, true)) return false;
        if (spare.vacuumFailedRow != -1 || spare.visionFailed) {
            record.vacuumFailedRow = spare.vacuumFailedRow != -1 ? record.row : -1;
            record.visionFailed = spare.visionFailed;
            if (!DiscardPart(spare)) {
                record.row = -1;
                return false;
            }
            return true;
        }
    }
    if (!PlacePart(spare, 9, true, CopyRunBoard().g_RunSubBoardMark != 0, cellOffsetX, cellOffsetY)) return false;
    if (!PlacePartStroke(spare, 0.0)) return false;
    record.vacuumFailedRow = g_VacuumCheckOk.load() ? -1 : record.row;
    record.visionFailed = 0;
    ThePartList().SetPartRowIcon(record.row, record.vacuumFailedRow == -1 ? 6 : 7, false);
    return true;
}

}  // namespace

bool HandleNozzleFailure(PlacementRecord& record, int k, int group, double cellOffsetX, double cellOffsetY) {
    bool first = true;
    bool replenish = false;
    while (g_RunContinue.load()) {
        if (record.vacuumFailedRow == -1 && record.visionFailed == 0) {
            g_ReplenishPresented = 1;
            return true;
        }
        if (first) {
            first = false;
            if (!CopyRecordToReplenishSlot(k)) {
                record.row = -1;
                return false;
            }
            // The feeder companion may be presenting a part of the same feeder
            // for nozzle 1 or 2: it is taken for this part once presented.
            const NozzleSlot s9 = g_NozzleSlots[kReplenishSlot];
            for (std::size_t j = 0; j < 4; ++j) {
                const NozzleSlot& s = g_NozzleSlots[j];
                if (s.row < 0 || s.groupIndex != s9.groupIndex || s.feederId != s9.feederId) continue;
                if (j <= 1 && s.presented1 && s.presented2) {
                    while (g_NozzleSlots[j].presented2) {
                        if (!g_RunContinue.load() || !plat::SleepFor(plat::Millis(100))) {
                            record.row = -1;
                            return false;
                        }
                    }
                    replenish = true;
                }
                break;
            }
        }
        if (replenish) {
            replenish = false;
            if (!Replenish(record, group, cellOffsetX, cellOffsetY)) {
                record.row = -1;
                return false;
            }
        }
        if (record.vacuumFailedRow == -1 && record.visionFailed == 0) {
            ThePartList().SetPartRowIcon(record.row, 6, false);
            record.row = -1;
            record.vacuumFailedRow = -1;
            if (TheSmtStrategy().Config().m_Cover) {
                CoverTape& cover = TheCoverTape();
                const SetCoverConfig c = cover.Config();
                cover.SetCounters(c.m_CoverTotalCount + 1, c.m_CoverCount + 1);
                cover.SaveCounters(ConfigFilePath("."));
            }
        } else {
            if (record.feedMode == 0 || record.feedMode == 4 || record.feedMode == 5) {
                const Bank bank = BankOf(record.bankCode);
                const std::int32_t at = bank.walks ? g_PulseFeederWalk[bank.counter].load() : 0;
                if (at != 0) {
                    SingleAxisMove m;
                    m.axis = bank.walkAxis;
                    m.delta = -at;
                    m.speed = {bank.walkSpeed.start, bank.walkSpeed.run};
                    if (!MoveSingleAxis(m)) return false;
                }
            }
            const bool vacuum = record.vacuumFailedRow != -1;
            ThePartList().SetPartRowIcon(record.row, vacuum ? 7 : 8, false);
            switch (AskDuringRun(PartListText(vacuum ? "Message_45" : "Message_46"))) {
            case RunAnswer::Stopped: record.row = -1, record.visionFailed = 0; return false;
            case RunAnswer::Yes:
                record.vacuumFailedRow = -1;
                record.visionFailed = 0;
                if (!DiscardPart(record)) {
                    record.row = -1;
                    return false;
                }
                EnableStop();
                break;
            case RunAnswer::No:
                if (g_AutoNozzleChange.load()) PutNozzlesBack(record);
                return false;
            case RunAnswer::Cancel:
                if (!DiscardPart(record)) {
                    record.row = -1;
                    record.visionFailed = 0;
                    return false;
                }
                EnableStop();
                replenish = true;
                break;
            case RunAnswer::Other:
                record.vacuumFailedRow = -1;
                record.visionFailed = 0;
                EnableStop();
                break;
            }
        }
        if (!PassPauseGate()) break;
    }
    record.row = -1;
    record.visionFailed = 0;
    return false;
}

}  // namespace smt
