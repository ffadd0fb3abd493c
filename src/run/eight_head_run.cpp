// EightHeadRunThread: start, boards, panel cells, cycles of up to eight nozzles
// and the run's end. Every failure and every stop seen at a test leaves at once
// through FinishRun with keep-conveyor 0; the normal end returns the nozzles,
// parks with every nozzle turned back to 0, homes and keeps the conveyor.
#include "run/eight_head_run.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>

#include "base/globals.h"
#include "joblist/part_list.h"
#include "joblist/part_list_texts.h"
#include "joblist/run_board.h"
#include "joblist/run_toolbar.h"
#include "joblist/smt_strategy.h"
#include "link/busy.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "machine_ops/auto_transport.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "platform/uipost.h"
#include "run/nozzle_change.h"
#include "run/placement_records.h"
#include "run/placement_run.h"
#include "run/placement_steps.h"
#include "run/run_frame.h"
#include "run/run_geometry.h"
#include "run/run_rows.h"
#include "run/run_steps.h"
#include "run_state/nozzle_work.h"
#include "run_state/run_events.h"
#include "run_state/run_frame_sources.h"
#include "settings/basic_settings.h"
#include "settings/speed_template.h"
#include "vision/camera_service.h"

namespace smt {

int EightHeadSlotCount(int headCount) {
    if (headCount >= 8) return 8;
    if (headCount >= 4) return 4;
    if (headCount >= 2) return 2;
    return 1;
}

int EightHeadVisionRecords(int headMode) {
    if (headMode <= 0) return 1;
    if (headMode <= 2) return 2;
    if (headMode <= 5) return 4;
    return 8;
}

std::string EightHeadFailureText(bool vacuumFailed, const std::string& rowText) {
    const std::string& question = PartListText(vacuumFailed ? "Message_45" : "Message_46");
    return rowText.empty() ? question : question + "\r\n" + rowText;
}

namespace {

// The batch pick walks the records up to the first without a row: a record the
// cycle did not build must not keep the row of an earlier one.
void ResetRecords() { ClearRecords(8, true); }

void TurnEveryNozzleBack() {
    for (std::size_t n = 0; n < 8; ++n) g_RotationTarget[n] = -g_PulseA[n].load();
}

class EightHeadRun {
public:
    EightHeadRun()
        : m_store(ThePartList()),
          m_sources(TheRunFrameSources()),
          m_strategy(TheSmtStrategy().Config()),
          m_conveyor(TheAutoTransport().Config().m_AutoTransport != 0) {}

    void Run();

private:
    using End = WalkEnd;
    // Every failure's way out: a part still on a nozzle is thrown off at the
    // discard place first, never let go where the head stands.
    void Fail() {
        ThrowOffHeldParts();
        FinishRun(m_store, false);
    }
    void ThrowOffHeldParts();
    bool Gate() { return PassPauseGate(); }
    bool Start();
    End Board();
    End Cell(int r, int c);
    // The slots from cursor + 1; nullopt: the run has ended (a refused row).
    std::optional<bool> Fill();
    End CellDone();
    End Cycle();
    bool Picks(bool together);
    bool Vision();
    bool Places(bool together);
    // The replenish loop; nullopt: the run has ended (failure, stop or No).
    std::optional<bool> Replenish(bool together);
    // One automatic refill of record k's row: picked, measured and placed by the
    // spare record; false: the run has to end.
    bool PickAndPlaceAgain(int k, bool together);
    RunAnswer Ask(const PlacementRecord& r);
    bool ReturnNozzles(int headMode);
    bool ReturnNozzlesAfterNo();
    // Park with every nozzle back at 0, mark camera, homing; true when the homing
    // holds the busy flag.
    std::optional<bool> ParkAndHome();
    void RunEnd();
    void EnsureRowVisible(int row);
    // The row's icon and failure by whether its part left the nozzle at the place.
    void SetPlacedIcon(PlacementRecord& r, bool left);

    PartListStore& m_store;
    RunFrameSources& m_sources;
    SmtStrategyConfig m_strategy;
    bool m_conveyor;
    BoardStateKeeper m_board;
    int m_group = -1;
    int m_rowCount = 0;
    int m_cursor = -1;
    bool m_perCell = false;
    bool m_marks = false;
    double m_offX = 0, m_offY = 0;
    int m_finishedBoards = 0;
    // Nozzle k - 1 holds a part of this cycle not yet placed or thrown off.
    std::array<bool, 8> m_holding{};
    // The together place's one vacuum check failed for the nozzles it staged: it
    // cannot say whose part did not go down, so nothing is picked again for them
    // before the operator, who can look at the board, has answered.
    std::array<bool, 8> m_unsure{};
};

void EightHeadRun::ThrowOffHeldParts() {
    for (int k = 1; k <= 8; ++k) {
        if (!m_holding[static_cast<std::size_t>(k - 1)]) continue;
        m_holding[static_cast<std::size_t>(k - 1)] = false;
        // A lost link or heads not reset: nothing can be moved safely.
        if (!g_Connected.load() || !g_HeadResetOk.load() || !RunOwnsMachine()) continue;
        ThrowOffAtRunEnd(Record(k));
    }
}

void EightHeadRun::EnsureRowVisible(int row) {
    const int target = std::min(row, m_rowCount - 1);
    if (target < 0) return;
    plat::PostToUi([target] { Call(TheRunToolbarPort().ensureVisible, JobList::Part, target); });
}

bool EightHeadRun::Start() {
    m_cursor = -1;
    // From a row, the search starts at the current row.
    const auto opened = OpenPartListRun(m_store, m_sources, m_strategy, m_board, true,
                                        [this](int row) { m_cursor = row - 1; });
    if (!opened) return false;
    m_rowCount = opened->rowCount;
    m_group = opened->group;
    m_marks = opened->marks;
    m_perCell = opened->perCell;
    return true;
}

void EightHeadRun::Run() {
    if (Start()) WalkBoards(m_sources, [this] { return Board(); }, [this] { RunEnd(); });
}

EightHeadRun::End EightHeadRun::Board() {
    return WalkBoard(m_store, m_sources, m_board.Start(), m_conveyor, m_marks, m_perCell, m_finishedBoards,
                     [this](int r, int c) { return Cell(r, c); }, [this] { Fail(); });
}

EightHeadRun::End EightHeadRun::Cell(int r, int c) {
    switch (OpenPanelCell(m_board, m_sources, m_marks, m_perCell, r, c, m_offX, m_offY)) {
    case CellOpening::Work: break;
    case CellOpening::Skip: return End::Next;
    case CellOpening::Failed: return Fail(), End::Ended;
    }
    for (;;) {
        const auto found = Fill();
        if (!found) return End::Ended;
        if (!*found) return CellDone();
        const End e = Cycle();
        if (e != End::Next) return e;
    }
}

std::optional<bool> EightHeadRun::Fill() {
    Slot(1).row = m_cursor + 1;
    switch (FindFirstSlot(m_store, m_group, m_rowCount, Slot(1).row)) {
    case FirstSlot::Found: break;
    case FirstSlot::EndOfList: return false;
    case FirstSlot::Refused: {
        // A "Yes" row that no feeder serves: the run stops and says which.
        const int row = Slot(1).row;
        plat::MessageBoxOk(RefusedRowText(row, m_store.Cell(JobList::Part, row, partcell::Number)), true,
                           plat::MsgIcon::Warning);
        Fail();
        return std::nullopt;
    }
    }
    const int slots = EightHeadSlotCount(g_SmtHeadCount.load());
    const int heads = std::clamp(g_SmtHeadCount.load(), 1, 8);
    int count = 1;
    for (int k = 2; k <= slots; ++k) {
        Slot(k).row = Slot(k - 1).row + 1;
        if (!FindNextPlaceRow(m_store, m_group, m_rowCount, k, Slot(k).row)) {
            for (int j = k; j <= std::max(heads, slots); ++j) Slot(j).row = -1;
            break;
        }
        count = k;
    }
    g_LoadedNozzleCount = count;
    m_cursor = Slot(count).row;
    return true;
}

EightHeadRun::End EightHeadRun::CellDone() {
    if (RowSelectedOnlyOrFromRow(m_store)) {
        g_hBoardDone.Set();
        return End::RunEnd;
    }
    for (int k = 1; k <= 8; ++k) Slot(k).row = -1;
    g_LoadedNozzleCount = 0;
    Call(m_sources.showProgress, -1, 0);
    m_cursor = -1;
    m_store.ResetPartRowIcons();
    if (!Gate()) return Fail(), End::Ended;
    return End::Next;
}

EightHeadRun::End EightHeadRun::Cycle() {
    if (g_AutoNozzleChange.load() && !CheckNozzleTypes()) return Fail(), End::Ended;
    if (!g_RunContinue.load()) return Fail(), End::Ended;
    EnsureRowVisible(Slot(1).row + 3);
    TurnEveryNozzleBack();
    const bool together = m_strategy.m_TogetherCode != 0;
    if (!Picks(together)) return Fail(), End::Ended;
    LogPlacement();
    g_VisionMoveDone = 0;
    if (!Vision()) return Fail(), End::Ended;
    if (!Places(together)) return Fail(), End::Ended;
    for (int k = 1; k <= 8; ++k) {
        PlacementRecord& r = Record(k);
        if (HoldsRow(r) && Failed(r)) {
            if (!DiscardPart(r)) return Fail(), End::Ended;
            m_holding[static_cast<std::size_t>(k - 1)] = false;
        }
    }
    // What the recovery picks again it places or throws off itself.
    m_holding.fill(false);
    const auto replenished = Replenish(together);
    if (!replenished) return End::Ended;
    bool localMark = false;
    for (int k = 1; k <= 8; ++k) localMark = localMark || (HoldsRow(Record(k)) && Record(k).localMark != 0);
    if (localMark && !ParkHead()) return Fail(), End::Ended;
    Call(m_sources.showProgress, -1, Record(1).jobRow < 0 ? 0 : Record(1).jobRow);
    m_store.m_PlacedCount = m_store.m_PlacedCount.load() + g_LoadedNozzleCount.load();
    ResetRecords();
    return End::Next;
}

bool EightHeadRun::Picks(bool together) {
    const int loaded = g_LoadedNozzleCount.load();
    // Every place of the cycle is checked before the first pick: a row the machine
    // cannot reach ends the run with no part of the cycle on a nozzle.
    for (int k = 1; k <= 8; ++k) {
        if (k > loaded || Slot(k).row < 0) continue;
        PlacementRecord probe;
        probe.row = Slot(k).row;
        probe.head = Slot(k).headTarget;
        if (!PlaceTargetWithinTravel(probe, k, m_perCell, m_offX, m_offY)) {
            const int row = Slot(k).row;
            plat::MessageBoxOk(OffTravelRowText(row, m_store.Cell(JobList::Part, row, partcell::Number)), true,
                               plat::MsgIcon::Warning);
            return false;
        }
    }
    for (int k = 1; k <= 8; ++k) {
        if (k > loaded || Slot(k).row < 0) continue;
        if (!BuildPlacementRecord(m_group, k)) return false;
        if (together) continue;
        if (k > 1) MergePairSpeeds(Record(k - 1), Record(k));
        m_holding[static_cast<std::size_t>(k - 1)] = true;
        if (!PickEightHead(Record(k), Slot(k))) return false;
        if (k == 1)
            for (auto& t : g_RotationTarget) t = 0;
        if (!Gate()) return false;
    }
    if (!together) return true;
    for (int k = 1; k <= loaded && k <= 8; ++k)
        if (Slot(k).row >= 0) m_holding[static_cast<std::size_t>(k - 1)] = true;
    return PickAllEightHeads();
}

bool EightHeadRun::Vision() {
    const int mode = m_strategy.m_HeaderSelect;
    const auto measure = [](int last, bool skipFlying) {
        for (int k = 1; k <= last; ++k) {
            PlacementRecord& r = Record(k);
            if (!HoldsRow(r) || r.visionKind == 0 || (skipFlying && r.visionKind == 2)) continue;
            if (!MeasurePartOverCamera(r, false)) return false;
        }
        return true;
    };
    bool ok = true;
    if (mode == 0) {
        ok = measure(1, false);
    } else if (mode <= 8) {
        const int n = EightHeadVisionRecords(mode);
        bool flying = g_HighSpeedCamera.load() == 1 && g_FlyCameraOn.load() && g_VisualCamera1On.load();
        if (flying) {
            flying = false;
            for (int k = 1; k <= n; ++k) {
                const PlacementRecord& r = Record(k);
                flying = flying || (HoldsRow(r) && r.visionCamera == 1 && r.visionKind == 2);
            }
        }
        if (flying) {
            bool allFlying = true;
            for (int k = 1; k <= 8; ++k)
                if (HoldsRow(Record(k)) && Record(k).visionKind != 2) allFlying = false;
            const RunBoardState cell = CopyRunBoard();
            const double ox = m_perCell ? 0.0 : m_offX, oy = m_perCell ? 0.0 : m_offY;
            ok = FlyVisionPlace(Record(1), allFlying, ox, oy, {cell.g_RunMark1AbsPulseX, cell.g_RunMark1AbsPulseY});
            if (ok && !allFlying) {
                // The flying pass left the head by the camera: the others follow by plain moves.
                g_VisionMoveDone = 1;
                ok = measure(n, true);
            }
        } else {
            ok = measure(n, false);
        }
    } else {
        ok = measure(8, false);
    }
    if (!ok) return false;
    if (g_HighSpeedCamera.load() == 0) {
        const int light = m_sources.markLightBrightness ? m_sources.markLightBrightness() : 0;
        SelectCamera(1, static_cast<std::uint8_t>(light), -1);
    }
    return true;
}

void EightHeadRun::SetPlacedIcon(PlacementRecord& r, bool left) {
    if (left) {
        r.vacuumFailedRow = -1;
        m_store.SetPartRowIcon(r.jobRow, rowicon::Done, false);
    } else {
        r.vacuumFailedRow = r.jobRow;
        m_store.SetPartRowIcon(r.jobRow, rowicon::Failed, false);
    }
}

bool EightHeadRun::Places(bool together) {
    ClearTogetherPlace();
    m_unsure.fill(false);
    std::array<bool, 8> staged{};
    // A place whose vacuum check passed left nothing on the nozzle.
    const auto settle = [this](int k, bool left) {
        if (left) m_holding[static_cast<std::size_t>(k - 1)] = false;
        SetPlacedIcon(Record(k), left);
    };
    for (int k = 1; k <= 8; ++k) {
        PlacementRecord& r = Record(k);
        if (!HoldsRow(r) || r.visionFailed != 0) continue;
        if (!PlacePart(r, k, true, m_perCell, m_offX, m_offY)) return false;
        if (!together) {
            const bool left = g_VacuumCheckOk.load();
            if (!Gate()) {
                if (left) m_holding[static_cast<std::size_t>(k - 1)] = false;
                return false;
            }
            settle(k, left);
            continue;
        }
        if (!Gate()) return false;
        // Together, the places only go out with the one 0x78 below.
        staged[static_cast<std::size_t>(k - 1)] = true;
    }
    if (!together) return true;
    if (!SendTogetherPlace()) return false;
    // Its one vacuum check answers for every staged nozzle.
    const bool left = g_VacuumCheckOk.load();
    if (left)
        for (int k = 1; k <= 8; ++k)
            if (staged[static_cast<std::size_t>(k - 1)]) m_holding[static_cast<std::size_t>(k - 1)] = false;
    if (!g_RunContinue.load()) return false;
    for (int k = 1; k <= 8; ++k) {
        if (!staged[static_cast<std::size_t>(k - 1)]) continue;
        SetPlacedIcon(Record(k), left);
        m_unsure[static_cast<std::size_t>(k - 1)] = !left;
    }
    return true;
}

RunAnswer EightHeadRun::Ask(const PlacementRecord& r) {
    const bool vacuum = r.vacuumFailedRow != -1;
    const std::string rowText = m_store.Cell(JobList::Part, r.jobRow, partcell::Number);
    return AskDuringRun(EightHeadFailureText(vacuum, rowText));
}

bool EightHeadRun::PickAndPlaceAgain(int k, bool together) {
    PlacementRecord& r = Record(k);
    TurnEveryNozzleBack();
    if (!CopyRecordToReplenishSlot(k) || !BuildPlacementRecord(m_group, 9)) return false;
    PlacementRecord& spare = Record(9);
    if (!PickEightHead(spare, Slot(k))) return false;
    LogReplenishPlacement(spare);
    // The new part's own measurement decides, not the failed one's.
    spare.visionFailed = 0;
    if (r.visionKind != 0 && !MeasurePartOverCamera(spare, true)) return false;
    r.visionFailed = spare.visionFailed;
    if (r.visionFailed != 0) return true;
    if (together) ClearTogetherPlace();
    // As the spare (9): its own head turns by the new part's rotation and no
    // other; nozzle k's number would turn none from the second on.
    if (!PlacePart(spare, 9, true, m_perCell, m_offX, m_offY)) return false;
    if (together && !SendTogetherPlace()) return false;
    if (!Gate()) return false;
    SetPlacedIcon(r, g_VacuumCheckOk.load());
    return true;
}

std::optional<bool> EightHeadRun::Replenish(bool together) {
    for (int k = 1; k <= 8; ++k) {
        PlacementRecord& r = Record(k);
        while (HoldsRow(r) && Failed(r)) {
            // Picked again only where the failed part is known not to be on the board.
            if (!std::exchange(m_unsure[static_cast<std::size_t>(k - 1)], false)) {
                if (!PickAndPlaceAgain(k, together)) return Fail(), std::nullopt;
                if (!Failed(r)) break;
                // The head's output off before the question, at the discard place: a
                // spare not recognised, or still held after its place, is never let
                // go over the camera or the board.
                if (!DiscardPart(r)) {
                    r.jobRow = -1;
                    r.visionFailed = 0;
                    return Fail(), std::nullopt;
                }
            }
            const RunAnswer a = Ask(r);
            if (a == RunAnswer::Stopped) return Fail(), std::nullopt;
            if (a == RunAnswer::No) {
                if (g_AutoNozzleChange.load() && !ReturnNozzlesAfterNo()) return Fail(), std::nullopt;
                const auto homing = ParkAndHome();
                FinishRun(m_store, false, homing.value_or(false));
                return std::nullopt;
            }
            if (a == RunAnswer::Yes || a == RunAnswer::Cancel) {
                if (!DiscardPart(r)) {
                    r.jobRow = -1;
                    r.visionFailed = 0;
                    return Fail(), std::nullopt;
                }
            }
            if (a != RunAnswer::Cancel) {
                // Ignored: the nozzle goes on with the next one.
                r.vacuumFailedRow = -1;
                r.visionFailed = 0;
            }
        }
    }
    return true;
}

bool EightHeadRun::ReturnNozzles(int headMode) {
    const auto work = CopyNozzleWork();
    auto back = [&](int k) {
        const PlacementRecord& r = work[static_cast<std::size_t>(k - 1)];
        return ChangeNozzle(k, r.head, r.mountedNozzle, k, k, 0);
    };
    auto upTo = [&](int n) {
        for (int k = 1; k <= n; ++k)
            if (!back(k)) return false;
        return true;
    };
    switch (headMode) {
    case 0: return back(1);
    case 1: return upTo(2);
    case 2: {
        const PlacementRecord& r1 = work[0];
        const PlacementRecord& r2 = work[1];
        if (m_strategy.m_ChangeNozzleSelect == 1) {
            if (r1.mountedNozzle != 1) return ChangeNozzle(1, 2, r1.mountedNozzle, 2, 2, 0);
            if (r2.mountedNozzle != 1) return ChangeNozzle(2, 2, r2.mountedNozzle, 2, 2, 0);
            return true;
        }
        if (m_strategy.m_ChangeNozzleSelect == 2) {
            if (r1.mountedNozzle != 2) return ChangeNozzle(1, 1, r1.mountedNozzle, 1, 1, 0);
            if (r2.mountedNozzle != 2) return ChangeNozzle(2, 1, r2.mountedNozzle, 1, 1, 0);
            return true;
        }
        return upTo(2);
    }
    case 3:
    case 4: return upTo(4);
    case 6:
    case 7: return upTo(8);
    default: return true;
    }
}

bool EightHeadRun::ReturnNozzlesAfterNo() {
    if (m_strategy.m_19NozzleLibrary) {
        const auto work = CopyNozzleWork();
        for (int k = 1; k <= 8; ++k) {
            const PlacementRecord& r = work[static_cast<std::size_t>(k - 1)];
            if (!ChangeNozzle(k, r.head, r.mountedNozzle, k, k, 0)) return false;
        }
        return true;
    }
    return ReturnNozzles(2);
}

std::optional<bool> EightHeadRun::ParkAndHome() {
    TurnEveryNozzleBack();
    XYAMultiMove park;
    park.xy = ParkDelta();
    for (std::size_t n = 0; n < 8; ++n) park.dA[n] = g_RotationTarget[n].load();
    const SpeedTypeTable& smt = TheSpeedTemplates().Table(SpeedType::Smt);
    park.aSpeed = {smt.m_Start_A1, smt.m_Normal_A1};
    if (!MoveXYAMulti(park) || !Gate()) return std::nullopt;
    for (auto& t : g_RotationTarget) t = 0;
    return MarkCameraAndHome();
}

void EightHeadRun::RunEnd() {
    EndRun(m_store, [this] { return ReturnNozzles(m_strategy.m_HeaderSelect); }, [this] { return ParkAndHome(); });
}

} // namespace

int EightHeadRunThread() {
    EightHeadRun run;
    run.Run();
    return 0;
}

} // namespace smt
