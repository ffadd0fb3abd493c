#include "run/placement_records.h"

#include <cmath>
#include <optional>

#include "base/globals.h"
#include "base/log.h"
#include "base/numtext.h"
#include "feeders/feed_group_table.h"
#include "feeders/feeder_words.h"
#include "feeders/nozzle_library.h"
#include "joblist/part_list.h"
#include "joblist/part_list_texts.h"
#include "joblist/run_board.h"
#include "joblist/smt_strategy.h"
#include "link/positioning.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "platform/msgbox.h"
#include "run/run_frame.h"
#include "run/run_geometry.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"
#include "settings/version_switches.h"
#include "vision/camera_list.h"

namespace smt {

namespace {

void Tell(const std::string& text) { plat::MessageBoxOk(text, true); }

int BankCode(char letter) {
    switch (letter) {
    case 'W': return 1;
    case 'N': return 2;
    case 'E': return 3;
    case 'S': return 4;
    case 'G': return 13;
    default: return 0;
    }
}

// The word before the first "/" and what follows it.
std::pair<std::string, std::string> WordAndPayload(const std::string& cell) {
    const auto slash = cell.find('/');
    if (slash == std::string::npos) return {cell, {}};
    return {cell.substr(0, slash), cell.substr(slash + 1)};
}

int CellOrMinusOne(const std::string& cell) { return cell.empty() ? -1 : AtoI(cell); }

// The doubled-pocket offset of a bank (mm): mode 4 ("0402") or mode 5 ("48").
std::pair<double, double> PocketOffset(int bank, int feedMode) {
    const double d = feedMode == 4 ? 2.0 : -4.0;
    switch (bank) {
    case 1: return {-d, 0};
    case 2: return {0, d};
    case 3: return {d, 0};
    case 4: return {0, -d};
    default: return {0, 0};
    }
}

// Mode 5 doubles its pockets only when the two nozzles of a cycle pick from one feeder.
bool PairFromOneFeeder() {
    return g_SmtHeadCount.load() == 2 && g_NozzleSlots[1].feederId == g_NozzleSlots[0].feederId;
}

int FeedModeOfWord(const std::string& word) {
    for (int i = 0; i < kFeedModeCount; ++i)
        if (FeedModeWord(i) == word) return i;
    return -1;
}

int HeadUpTo(int h, int top) { return h >= 2 && h <= top ? h : 1; }

bool EarlierHasNozzle(int k, int nozzle) {
    for (int j = 1; j < k && j <= 8; ++j)
        if (g_NozzleSlots[static_cast<std::size_t>(j - 1)].nozzleTarget == nozzle) return true;
    return false;
}

int MountedOnRecord(int i) {
    std::lock_guard lock(NozzleStateMutex());
    return g_NozzleWork[static_cast<std::size_t>(i)].mountedNozzle;
}

// The head and nozzle targets of slot k (1..8) for a feeder naming h; false refuses.
bool SetTargets(int k, int h, int bank, const SmtStrategyConfig& st, NozzleSlot& s) {
    const int m = g_MachineType.load();
    const int mode = st.m_HeaderSelect;
    const bool a = g_AutoNozzleChange.load() != 0;
    const int c = st.m_ChangeNozzleSelect;
    if (a && k >= 2 && g_NozzleSlots[static_cast<std::size_t>(k - 2)].headTarget != k - 1) return false;
    s.headTarget = k;
    const auto in = [m](std::initializer_list<int> l) {
        for (int v : l)
            if (v == m) return true;
        return false;
    };
    // Slots beyond what this model's table assigns.
    if ((k == 2 && !in({2, 3, 5, 6, 7})) || (k >= 5 && m != 7)) return true;
    if ((k == 3 || k == 4) && !in({3, 6, 7})) {
        s.nozzleTarget = h;
        return true;
    }
    int& noz = s.nozzleTarget;
    int& head = s.headTarget;
    switch (mode) {
    case 0:
        if (!a) {
            if (in({0, 1})) head = 1, noz = 1;
            else if (in({2, 5})) noz = h, head = h > 1 ? 2 : 1;
            else if (in({3, 6, 7})) noz = h, head = HeadUpTo(h, 4);
            else head = 1;
        } else if (in({0, 1, 2, 3, 5, 7})) {
            head = 1, noz = h;
        }
        break;
    case 1:
        if (!a) {
            head = k, noz = k;
        } else if (m != 6) {
            if (k == 1) {
                head = 1, noz = h;
            } else {
                head = 2;
                noz = AssignNozzleTargets(2, h);
                if (noz == 0) return false;
                // The swap: neither head has to change when each carries the other's nozzle.
                NozzleSlot& s1 = g_NozzleSlots[0];
                const int m1 = MountedOnRecord(0), m2 = MountedOnRecord(1);
                if (s1.nozzleTarget != m1 && s1.nozzleTarget == m2 && noz == m1) std::swap(s1.nozzleTarget, noz);
            }
        }
        break;
    case 2:
        if (!a) {
            if (k == 2 && h == g_NozzleSlots[0].nozzleTarget) return false;
            noz = h;
            if (in({2, 5})) head = k == 1 ? (h > 1 ? 2 : 1) : (h == 1 ? 1 : 2);
            else if (in({3, 6, 7})) head = HeadUpTo(h, 4);
        } else if (m != 6) {
            noz = h;
            const int n1 = g_NozzleSlots[0].nozzleTarget;
            if (c == 1) {
                if (k == 1) head = h == 1 ? 1 : 2;
                else if (n1 == 1 && h != 1) head = 2;
                else return false;
            } else if (c == 2) {
                if (k == 1) head = h == 2 ? 2 : 1;
                else if (n1 == 2 && h != 2) head = 1;
                else return false;
            } else {
                if (k == 2 && h == n1) return false;
                head = k;
            }
        }
        break;
    case 3:
        if (!a) noz = k;
        else if (m == 6) {
            if (k >= 3) noz = h;
        } else {
            noz = AssignNozzleTargets(k, h);
            if (noz == 0) return false;
        }
        break;
    case 4:
    case 7:
        if (EarlierHasNozzle(k, h)) return false;
        noz = h;
        if (!a) head = mode == 7 || m == 7 ? HeadUpTo(h, 8) : HeadUpTo(h, 4);
        break;
    case 5:
        if (!a) {
            if (k >= 2 && EarlierHasNozzle(k, 4)) return false;
            if (k == 4) {
                if (in({3, 7}) && h != 4) return false;
                head = 4, noz = 4;
            } else if (h == 4) {
                head = 4, noz = 4;
            } else {
                head = k, noz = k;
            }
        } else if (k >= 3) {
            noz = h;
        }
        break;
    case 6:
        if (!a) noz = k;
        else {
            noz = AssignNozzleTargets(k, h);
            if (noz == 0) return false;
        }
        break;
    case 8:
        if (a) break;
        if (h >= st.m_SpecialHead) {
            if (k >= 2 && EarlierHasNozzle(k, h)) return false;
            head = h, noz = h;
        } else if (k == 1) {
            head = 1, noz = 1;
        } else if (st.m_SpecialHead > k) {
            head = k, noz = k;
        } else {
            return false;
        }
        break;
    default: break;
    }
    if (k == 1 && m == 3 && st.m_BlockHead && (mode == 3 || (a && (mode == 0 || mode == 4))))
        ClampHeadToBank(bank, head);
    return true;
}

// The pocket `steps` pockets after the tray's current one, row by row.
std::pair<int, int> PocketAfter(const TrayRecord& t, int steps) {
    int row = t.currentRow < 0 ? 0 : t.currentRow;
    int col = t.currentColumn;
    const int perRow = t.columns - 1;
    if (t.rows <= 0 || perRow <= 0) return {row, col};
    for (int i = 0; i < steps; ++i)
        if (++col >= perRow) {
            col = 0;
            if (++row >= t.rows) row = 0;
        }
    return {row, col};
}

void CopySlot(const NozzleSlot& s, PlacementRecord& r) {
    r.row = s.row, r.headTarget = s.headTarget, r.nozzleTarget = s.nozzleTarget;
    r.feederId = s.feederId, r.feederNumber = s.feederNumber, r.bankCode = s.bankCode;
    r.feedModeText = s.feedModeText, r.feedMode = s.feedMode, r.feedCoordinate = s.feedCoordinate;
    r.feedCount = s.feedCount, r.feedTime = s.feedTime, r.loosenLength = s.loosenLength;
    r.tightenLength = s.tightenLength, r.pickHeight = s.pickHeight, r.groupIndex = s.groupIndex;
    r.feederIndex = s.feederIndex, r.presented1 = s.presented1, r.presented2 = s.presented2;
    r.carriedValue = s.carriedValue;
    r.jobRow = s.row, r.jobFeederId = s.feederId, r.jobFeederIndex = s.feederIndex, r.jobBank = s.bankCode;
    r.jobFeedMode = s.feedMode;
}

double CameraAngleOffset(const PlacementRecord& r, bool secondWithCommon) {
    if (r.visionKind == 0) return 0;
    if (secondWithCommon) return TheCameraList().Settings().m_Correct_A;
    if (r.visionCamera == 1) return TheCameraList().First().Correction_A;
    if (r.visionCamera == 2) return TheCameraList().Second().Correction_A;
    return 0;
}

void RotateRecord(PlacementRecord& shared, double cameraOffset, const char* suffix) {
    PlacementRecord r;
    {
        std::lock_guard lock(NozzleStateMutex());
        r = shared;
    }
    r.partAngle = AtoF(ThePartList().Cell(JobList::Part, r.row, 3));
    r.placeAngle = r.partAngle + g_BoardRotation.load() + cameraOffset;
    r.rotationDelta = RotationDelta(r.feederAngle, r.placeAngle, g_MachineType.load());
    if (r.head >= 1 && r.head <= 8)
        g_RotationTarget[static_cast<std::size_t>(r.head - 1)] = ToPulses(r.rotationDelta, ThePulseFactors().m_A_Pulse);
    if (TheVersionSwitches().m_Write_Logfile)
        LogPrintf(GetLogStream(), true, "part row %d nozzle %d rotate angle : %0.4f%s", r.row + 1, r.head,
                  r.rotationDelta, suffix);
    std::lock_guard lock(NozzleStateMutex());
    shared.partAngle = r.partAngle, shared.placeAngle = r.placeAngle, shared.rotationDelta = r.rotationDelta;
}

} // namespace

PulsePoint HeadOffsetPulses(int head) {
    const auto [x, y] = NozzleOffset(TheBasicSettings(), head);
    const PulseFactors& f = ThePulseFactors();
    return {ToPulses(x, f.m_X_Pulse), ToPulses(y, f.m_Y_Pulse)};
}

void ClampHeadToBank(int bankCode, int& headTarget) {
    if (bankCode == 1 && (headTarget == 3 || headTarget == 4)) headTarget = 1;
    else if (bankCode == 3 && (headTarget == 1 || headTarget == 2)) headTarget = 3;
}

int AssignNozzleTargets(int k, int requiredNozzle) {
    std::array<std::uint8_t, kSameRemarkFlags> same{};
    if (requiredNozzle >= 1 && requiredNozzle <= kNozzleRecords) {
        std::lock_guard lock(NozzleStateMutex());
        same = g_NozzleTable[static_cast<std::size_t>(requiredNozzle - 1)].sameRemark;
    }
    for (int j = 1; j <= kNozzleRecords; ++j)
        if (same[static_cast<std::size_t>(j - 1)] && !EarlierHasNozzle(k, j)) return j;
    return EarlierHasNozzle(k, requiredNozzle) ? 0 : requiredNozzle;
}

bool FindFeederForPart(int groupIndex, const std::string& feederText, int k) {
    const auto found = TheFeedGroupTable().FindFeedRow(groupIndex, feederText);
    if (!found) {
        Tell("Feed Index No Find");
        return false;
    }
    const int index = found->index;
    const FeedRow& row = found->row;
    const int h = AtoI(row[10]);
    const int bank = feederText.empty() ? 0 : BankCode(feederText[0]);
    if (bank == 0) {
        Tell("FeedDirection No Find");
        return false;
    }
    if (k < 1 || k > 9) {
        Tell("Which Feed No Find");
        return false;
    }
    NozzleSlot& s = g_NozzleSlots[static_cast<std::size_t>(k - 1)];
    const SmtStrategyConfig st = TheSmtStrategy().Config();
    if (k <= 8) {
        if (!SetTargets(k, h, bank, st, s)) return false;
        AppendCommTrace(FormatC("feed_headerTarget = %d，feed_nozzleTarget = %d", s.headTarget, s.nozzleTarget));
    }
    s.groupIndex = groupIndex;
    s.feederIndex = index;
    s.feederId = feederText;
    s.bankCode = bank;
    s.feederNumber = AtoI(std::string_view(feederText).substr(1));
    s.feedModeText = row[14];
    s.feedMode = FeedModeOfWord(row[14]);
    if (s.feedMode < 0) {
        s.feedMode = 0;
        Tell("FeedMode No Find");
        return false;
    }
    s.feedCoordinate = AtoF(row[17]);
    s.feedCount = AtoI(row[18]);
    s.feedTime = AtoI(row[19]);
    s.loosenLength = AtoF(row[20]);
    s.tightenLength = AtoF(row[21]);
    s.pickHeight = AtoF(row[22]);

    const int m = g_MachineType.load();
    if (st.m_RunSelect == 2 && m != 6) {
        if (m == 7 ? s.headTarget == 8 : m == 3 ? s.headTarget == 4 : s.headTarget != 1) return false;
    }
    if (st.m_BlockHead && (st.m_RunSelect == 0 || (st.m_RunSelect == 2 && g_ActiveList.load() == 1))) {
        if (bank == 1 && (s.headTarget == 3 || s.headTarget == 4)) {
            AppendCommTrace("A3 & A4 Limit !");
            return false;
        }
        if (bank == 3 && (s.headTarget == 1 || s.headTarget == 2)) {
            AppendCommTrace("A1 & A2 Limit !");
            return false;
        }
    }
    return CheckFeedPosition(s, k);
}

bool FindFeederDirection(int groupIndex, const std::string& feederText) {
    const auto found = TheFeedGroupTable().FindFeedRow(groupIndex, feederText);
    if (!found) return false;
    const int index = found->index;
    const int bank = feederText.empty() ? 0 : BankCode(feederText[0]);
    if (bank == 0) {
        Tell("FeedDirection No Find");
        return false;
    }
    NozzleSlot& s = g_NozzleSlots[kLampSlot];
    s.groupIndex = groupIndex;
    s.feederIndex = index;
    s.feederId = feederText;
    s.bankCode = bank;
    s.feederNumber = AtoI(std::string_view(feederText).substr(1));
    s.pickHeight = AtoF(found->row[22]);
    return true;
}

bool CheckFeedPosition(const NozzleSlot& slot, int k) {
    const auto row = TheFeedGroupTable().CopyFeedRow(slot.groupIndex, slot.feederId);
    if (!row) return false;
    double x = AtoF((*row)[4]), y = AtoF((*row)[5]);
    int count = 1;
    if (k >= 1 && k <= 8) {
        count = 0;
        for (int j = 0; j < k; ++j)
            if (g_NozzleSlots[static_cast<std::size_t>(j)].feederId == slot.feederId) ++count;
    }
    // The doubled pocket this slot's record will take: cell 18 as the earlier
    // slots' records of the cycle will have toggled it.
    const bool nextIsFirst = (AtoI((*row)[18]) == 0) == ((count - 1) % 2 == 0);
    if ((slot.feedMode == 4 && nextIsFirst) || (slot.feedMode == 5 && k != 9 && PairFromOneFeeder() && !nextIsFirst)) {
        const auto [dx, dy] = PocketOffset(slot.bankCode, slot.feedMode);
        x += dx, y += dy;
    } else if (slot.feedMode == kFeedModeTray || slot.feedMode == kFeedModeTrayDip) {
        // The pocket this slot's record will take: the picks of the earlier slots
        // from the same tray come first.
        if (const auto tray = TheFeedGroupTable().CopyTray(slot.groupIndex, slot.feederId)) {
            const auto [r, c] = PocketAfter(*tray, count - 1);
            x += tray->columnPitch * c;
            y += tray->rowPitch * r;
        }
    }
    const BasicSettings& b = TheBasicSettings();
    if (slot.headTarget >= 2 && slot.headTarget <= 8) {
        const auto [ox, oy] = NozzleOffset(b, slot.headTarget);
        x -= ox, y -= oy;
    }
    const PulseFactors& f = ThePulseFactors();
    const std::int32_t px = ToPulses(x, f.m_X_Pulse), py = ToPulses(y, f.m_Y_Pulse);
    const MoveLimits lim = CurrentMoveLimits();
    if (px >= 0 && px <= lim.x && py >= lim.y && py <= 0) return true;
    if (k == 1) Tell("Feed Pos Error !");
    return false;
}

bool BuildPlacementRecord(int groupIndex, int k) {
    if (k < 1 || k > 9) return true;
    const NozzleSlot& s = g_NozzleSlots[static_cast<std::size_t>(k - 1)];
    PlacementRecord& shared = g_NozzleWork[static_cast<std::size_t>(k - 1)];
    const bool autoChange = g_AutoNozzleChange.load() != 0;
    NozzleRecord library;
    // Built on a copy and stored whole under the lock: the library dialog copies
    // the records from its own thread.
    PlacementRecord r;
    const auto store = [&] {
        std::lock_guard lock(NozzleStateMutex());
        shared = r;
    };
    {
        std::lock_guard lock(NozzleStateMutex());
        r = shared;
        CopySlot(s, r);
        r.head = s.headTarget;
        // Without automatic change the target is a head number, not a library nozzle.
        if (autoChange) r.mountedNozzle = s.nozzleTarget;
        if (r.mountedNozzle >= 1 && r.mountedNozzle <= kNozzleRecords)
            library = g_NozzleTable[static_cast<std::size_t>(r.mountedNozzle - 1)];
    }
    r.visionFailed = 0;
    r.correctionX = r.correctionY = 0;
    FeedGroupTable& table = TheFeedGroupTable();
    const FeedRow row = table.CopyFeedRow(groupIndex, s.feederId).value_or(FeedRow{});
    const BasicSettings& b = TheBasicSettings();
    const SmtStrategyConfig st = TheSmtStrategy().Config();

    r.pickX = AtoF(row[4]), r.pickY = AtoF(row[5]);
    r.partLength = AtoF(row[6]), r.partWidth = AtoF(row[7]);
    r.partHeight = AtoF(row[8]);
    r.feederAngle = AtoI(row[9]);
    r.vacuum = autoChange ? library.vacuum : AtoI(row[11]);

    const auto [camWord, camName] = WordAndPayload(row[12]);
    r.visionKind = camWord == "Yes" ? 1 : 0;
    r.visionCamera = camName == kCameraName1 ? 1 : camName == kCameraName2 ? 2 : 0;
    if (st.m_Head2AvoidCamera1 && r.head == 2) r.visionCamera = 2;
    const auto [flyWord, flyValues] = WordAndPayload(row[13]);
    if (flyWord == "Yes") r.visionKind = 2;
    const auto [fly1, fly2] = WordAndPayload(flyValues);
    r.flyValue1 = AtoI(fly1), r.flyValue2 = AtoI(fly2);
    r.pickDelay = AtoI(row[15]);
    r.placeDelay = AtoI(row[16]);
    r.jobFeedCount = AtoI(row[18]);
    r.visionType = AtoI(row[25].substr(0, 2));
    if (r.visionType < 0 || r.visionType > 11) r.visionType = 0;
    r.precisionXY = CellOrMinusOne(row[27]);
    r.precisionA = CellOrMinusOne(row[28]);
    r.collectTime = CellOrMinusOne(row[29]);

    // Doubled pockets: cell 18 says which of the pocket's two parts comes next.
    const bool pairMode5 = s.feedMode == 5 && k != 9 && PairFromOneFeeder();
    if (s.feedMode == 4 || pairMode5) {
        const bool first = r.jobFeedCount == 0;
        const bool offset = s.feedMode == 4 ? first : !first;
        if (offset) {
            const auto [dx, dy] = PocketOffset(s.bankCode, s.feedMode);
            r.pickX += dx, r.pickY += dy;
        }
        table.SetFeederCell(groupIndex, s.feederId, 18, first ? "1" : "0");
    } else if (s.feedMode == kFeedModeTray || s.feedMode == kFeedModeTrayDip) {
        if (const auto plan = table.PlanTrayPick(groupIndex, s.feederId)) {
            if (plan->gridMissing) Tell(kGridNotFoundText);
            if (plan->usedUp) {
                const auto pick = TheSpeedTemplates().Table(SpeedType::PickPart);
                XYAMove move;
                move.xy.dX = static_cast<std::int32_t>(1000 - static_cast<std::int64_t>(g_PulseX.load()));
                move.xy.xSpeed = {pick.m_Start_X, pick.m_Normal_X};
                move.xy.dY = static_cast<std::int32_t>(-1000 - static_cast<std::int64_t>(g_PulseY.load()));
                move.xy.ySpeed = {pick.m_Start_Y, pick.m_Normal_Y};
                move.nozzle = 0;
                if (!MoveXYA(move)) {
                    store();
                    return false;
                }
                Tell(PartListText("Message_19"));
            }
            r.pickX += plan->dx, r.pickY += plan->dy;
            // A tray without pockets stays where it is rather than walking off its grid.
            if (!plan->gridMissing) table.AdvanceTray(groupIndex, s.feederId);
        }
    }

    // Heights.
    const std::array<double, 8> n = ZToFeedHeights(b);
    const int head = r.head >= 1 && r.head <= 8 ? r.head : 1;
    const double nk = n[static_cast<std::size_t>(head - 1)], n1 = n[0];
    const double cell22 = AtoF(row[22]);
    const double p = library.pickHeight;
    const int mode = st.m_HeaderSelect;
    const bool sameNozzleMode = mode == 1 || mode == 3 || mode == 6;
    r.placeZ = b.m_Z_Nozzle1ToPCBHeight + CopyRunBoard().g_RunThickness + r.partHeight;
    if (!autoChange) {
        if (!sameNozzleMode) r.pickZ = cell22 != 0 ? cell22 : nk;
        else if (head == 1) r.pickZ = cell22 != 0 ? cell22 : n1;
        else r.pickZ = cell22 != 0 ? cell22 + (nk - n1) : nk;
        r.placeZ += nk - n1;
    } else {
        r.pickZ = cell22 != 0 ? cell22 : p;
        r.placeZ += p - n1;
        if (sameNozzleMode && head >= 2) r.pickZ += nk - n1, r.placeZ += nk - n1;
    }
    const int runMode = st.m_RunSelect;
    if (head == 2 && r.head == 2 && (runMode == 1 || (runMode == 2 && g_ActiveList.load() == 2)))
        r.placeZ = b.m_Z_DropsGlueToPCBHeight;
    const double earlyOff = AtoF(row[24]);
    r.vacuumOffZ = r.placeZ + (earlyOff == 0 ? b.m_Z_closeVacuum : earlyOff);

    // Speeds.
    std::array<SpeedPair, kSpeedDriveCount> own{};
    r.ownSpeed = 0;
    const auto [speedWord, speedName] = WordAndPayload(row[23]);
    if (speedWord == "Yes" && !speedName.empty()) {
        if (TheSpeedTemplates().FindTemplateSpeeds(speedName, own)) r.ownSpeed = 1;
        else Tell("no find speed template !");
    }
    const auto value = [&](const SpeedTypeTable& t, int i) {
        if (!r.ownSpeed) return t.Value(i);
        const SpeedPair& pair = own[static_cast<std::size_t>(i / 2)];
        return i % 2 == 0 ? pair.start : pair.run;
    };
    const SpeedTemplates& speeds = TheSpeedTemplates();
    const SpeedTypeTable pick = speeds.Table(SpeedType::PickPart);
    const SpeedTypeTable correction = speeds.Table(SpeedType::VisualCorrection);
    const SpeedTypeTable visualPlace = speeds.Table(SpeedType::VisualSmt);
    const SpeedTypeTable place = speeds.Table(SpeedType::Smt);
    std::size_t o = 0;
    for (int i = 0; i < 16; ++i) r.speeds[o++] = value(pick, i);
    for (int i = 0; i < 16; ++i)
        if (i < 4 || i >= 8) r.speeds[o++] = value(correction, i);
    for (int i = 0; i < 8; ++i) r.speeds[o++] = value(visualPlace, i);
    for (int i = 0; i < 16; ++i) r.speeds[o++] = value(place, i);
    store();
    return true;
}

void MergePairSpeeds(PlacementRecord& a, PlacementRecord& b) {
    constexpr std::size_t kFirst = 16, kRank = 36;
    if (a.speeds[kRank] < b.speeds[kRank]) std::copy(a.speeds.begin() + kFirst, a.speeds.end(), b.speeds.begin() + kFirst);
    else if (b.speeds[kRank] < a.speeds[kRank])
        std::copy(b.speeds.begin() + kFirst, b.speeds.end(), a.speeds.begin() + kFirst);
}

double RotationDelta(double feederAngle, double placeAngle, int machineType) {
    if (machineType == 4) return -placeAngle;
    double d = feederAngle - placeAngle;
    if (d > 180) d -= 360;
    else if (d < -180) d += 360;
    return d;
}

void LogPlacement() {
    for (auto& t : g_RotationTarget) t = 0;
    const SmtStrategyConfig st = TheSmtStrategy().Config();
    const auto work = CopyNozzleWork();
    const PlacementRecord& first = work[0];
    const PlacementRecord& second = work[1];
    const bool commonForSecond = g_MachineType.load() == 5 && (st.m_HeaderSelect == 1 || st.m_HeaderSelect == 2) &&
                                 TheCameraList().CameraCount() > 1 && second.head == 2 && second.visionKind == 2 &&
                                 first.visionCamera == 1 && first.visionKind == 2;
    for (int i = 0; i < 8; ++i) {
        const PlacementRecord& r = work[static_cast<std::size_t>(i)];
        if (r.row < 0) continue;
        RotateRecord(g_NozzleWork[static_cast<std::size_t>(i)], CameraAngleOffset(r, i == 1 && commonForSecond), "");
    }
}

void LogReplenishPlacement(PlacementRecord& record) {
    for (auto& t : g_RotationTarget) t = 0;
    PlacementRecord copy;
    {
        std::lock_guard lock(NozzleStateMutex());
        copy = record;
    }
    if (copy.row < 0) return;
    RotateRecord(record, CameraAngleOffset(copy, false), " replenish");
}

} // namespace smt
