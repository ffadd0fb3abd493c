// PlacementRunThread: start steps, boards, panel cells, pick-and-place cycles and
// the run's end. Every failure and every stop seen at a test leaves at once
// through FinishRun with keep-conveyor 0 (no nozzle return, park or homing); the
// normal end returns the nozzles, parks, homes and keeps the conveyor.
#include "run/placement_run.h"

#include <array>
#include <optional>

#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/feed_group_table.h"
#include "joblist/part_list.h"
#include "joblist/part_list_texts.h"
#include "joblist/run_board.h"
#include "joblist/run_toolbar.h"
#include "joblist/smt_strategy.h"
#include "link/busy.h"
#include "link/commands.h"
#include "link/link_lost.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "machine_ops/auto_transport.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/uipost.h"
#include "run/nozzle_change.h"
#include "run/placement_records.h"
#include "run/placement_steps.h"
#include "run/run_frame.h"
#include "run/run_geometry.h"
#include "run/run_rows.h"
#include "run/run_steps.h"
#include "run_state/nozzle_work.h"
#include "run_state/run_events.h"
#include "run_state/run_frame_sources.h"
#include "vision/camera_service.h"

namespace smt {

namespace {

constexpr int kCycleSlots = 4;

bool MayPlace(const PlacementRecord& r) { return r.jobRow >= 0 && r.vacuumFailedRow == -1 && r.visionFailed == 0; }

class PlacementRun {
public:
    PlacementRun()
        : m_store(ThePartList()),
          m_sources(TheRunFrameSources()),
          m_strategy(TheSmtStrategy().Config()),
          m_conveyor(TheAutoTransport().Config().m_AutoTransport != 0),
          m_cover(TheCoverTape().Config(), m_strategy.m_HeaderSelect, ConfigFilePath(plat::CurrentDirectory())) {}

    void Run();

private:
    // Every failure's way out: a part still on a nozzle is thrown off at the
    // discard place first, never let go where the head happens to stand (over a
    // camera), as the run's end switches the vacuum off.
    void Fail() {
        ThrowOffHeldParts();
        FinishRun(m_store, false);
    }
    void ThrowOffHeldParts();
    bool Gate() { return PassPauseGate(); }
    bool Start();
    // One board; false: the run has ended (through FinishRun or the run end).
    using BoardEnd = WalkEnd;
    BoardEnd Board();
    // One panel cell; false: the run has ended.
    using CellEnd = WalkEnd;
    CellEnd Cell(int r, int c);
    enum class CycleEnd { Next, CellDone, RunEnd, Ended };
    CycleEnd Cycle();
    bool Picks();
    bool Vision();
    // The next cycle's rows into the slots; a refused row is kept in m_refusedRow.
    void FetchNextCycle();
    bool Places();
    bool AfterPlaces();
    // The first fill of a cell; nullopt: the run has ended.
    std::optional<CellEnd> FirstFill();
    bool RefuseRow(int row);
    void RunEnd();
    bool ReturnNozzles();
    void EnsureRowVisible(int row);

    PartListStore& m_store;
    RunFrameSources& m_sources;
    SmtStrategyConfig m_strategy;
    bool m_conveyor;
    CoverTapeRun m_cover;
    BoardStateKeeper m_board;
    int m_group = -1;
    int m_rowCount = 0;
    bool m_perCell = false;
    bool m_marks = false;
    double m_offX = 0, m_offY = 0;  // the cell's column (X) and row (Y) offsets, mm
    bool m_noNext = false;
    int m_refusedRow = -1;  // a "Yes" row the next-cycle fetch could not give to nozzle 1
    int m_finishedBoards = 0;
    std::string m_0402;
    // Nozzle k - 1 holds a part of this cycle not yet placed or thrown off.
    std::array<bool, kCycleSlots> m_holding{};
};

void PlacementRun::ThrowOffHeldParts() {
    for (int k = 1; k <= kCycleSlots; ++k) {
        if (!m_holding[static_cast<std::size_t>(k - 1)]) continue;
        m_holding[static_cast<std::size_t>(k - 1)] = false;
        // A lost link or heads not reset: nothing can be moved safely.
        if (!g_Connected.load() || !g_HeadResetOk.load() || !RunOwnsMachine()) continue;
        ThrowOffAtRunEnd(Record(k));
    }
}

void PlacementRun::EnsureRowVisible(int row) {
    const int last = m_rowCount - 1;
    const int target = row > last ? last : row;
    if (target < 0) return;
    plat::PostToUi([target] { Call(TheRunToolbarPort().ensureVisible, JobList::Part, target); });
}

bool PlacementRun::Start() {
    m_store.m_PlacedCount = 0;
    const auto opened = OpenPartListRun(m_store, m_sources, m_strategy, m_board, false,
                                        [](int row) { Slot(1).row = row; });
    if (!opened) return false;
    m_rowCount = opened->rowCount;
    m_group = opened->group;
    m_marks = opened->marks;
    m_perCell = opened->perCell;
    m_0402 = PartListText("0402");
    return true;
}

void PlacementRun::Run() {
    if (Start()) WalkBoards(m_sources, [this] { return Board(); }, [this] { RunEnd(); });
}

PlacementRun::BoardEnd PlacementRun::Board() {
    return WalkBoard(m_store, m_sources, m_board.Start(), m_conveyor, m_marks, m_perCell, m_finishedBoards,
                     [this](int r, int c) { return Cell(r, c); }, [this] { Fail(); });
}

PlacementRun::CellEnd PlacementRun::Cell(int r, int c) {
    switch (OpenPanelCell(m_board, m_sources, m_marks, m_perCell, r, c, m_offX, m_offY)) {
    case CellOpening::Work: break;
    case CellOpening::Skip: return CellEnd::Next;
    case CellOpening::Failed: return Fail(), CellEnd::Ended;
    }
    if (const auto first = FirstFill()) {
        if (*first != CellEnd::Next) return *first;
    } else {
        return CellEnd::Ended;
    }
    for (;;) {
        switch (Cycle()) {
        case CycleEnd::Next: continue;
        case CycleEnd::CellDone: break;
        case CycleEnd::RunEnd: return CellEnd::RunEnd;
        case CycleEnd::Ended: return CellEnd::Ended;
        }
        break;
    }
    Call(m_sources.showProgress, -1, 0);
    m_store.ResetPartRowIcons();
    if (!Gate()) return Fail(), CellEnd::Ended;
    return CellEnd::Next;
}

bool PlacementRun::RefuseRow(int row) {
    const std::string number = m_store.Cell(JobList::Part, row, partcell::Number);
    plat::MessageBoxOk(RefusedRowText(row, number), true, plat::MsgIcon::Warning);
    Fail();
    return false;
}

std::optional<PlacementRun::CellEnd> PlacementRun::FirstFill() {
    switch (FindFirstSlot(m_store, m_group, m_rowCount, Slot(1).row)) {
    case FirstSlot::Found: break;
    case FirstSlot::Refused: RefuseRow(Slot(1).row); return std::nullopt;
    case FirstSlot::EndOfList:
        if (RowSelectedOnlyOrFromRow(m_store)) {
            g_hBoardDone.Set();
            return CellEnd::RunEnd;
        }
        for (int k = 1; k <= std::min(g_SmtHeadCount.load(), 8); ++k) Slot(k).row = -1;
        g_LoadedNozzleCount = 0;
        Fail();
        return std::nullopt;
    }
    FillCycleSlots(m_store, m_group, m_rowCount, g_SmtHeadCount.load());
    m_noNext = false;
    g_hCycleStart.Set();
    return CellEnd::Next;
}

PlacementRun::CycleEnd PlacementRun::Cycle() {
    if (g_AutoNozzleChange.load() && !CheckNozzleTypes()) return Fail(), CycleEnd::Ended;
    if (!g_RunContinue.load()) return Fail(), CycleEnd::Ended;
    EnsureRowVisible(Slot(1).row + 3);
    if (!Picks()) return Fail(), CycleEnd::Ended;
    LogPlacement();
    if (!Vision()) return Fail(), CycleEnd::Ended;
    FetchNextCycle();
    if (!Places()) return Fail(), CycleEnd::Ended;
    if (!AfterPlaces()) return Fail(), CycleEnd::Ended;
    if (m_refusedRow >= 0) return RefuseRow(m_refusedRow), CycleEnd::Ended;
    if (m_strategy.m_Cover) {
        switch (m_cover.EndOfCycle()) {
        case CoverTapeRun::Step::Go: break;
        case CoverTapeRun::Step::TotalReached: return CycleEnd::RunEnd;
        case CoverTapeRun::Step::Failed: return Fail(), CycleEnd::Ended;
        }
    }
    return m_noNext ? CycleEnd::CellDone : CycleEnd::Next;
}

bool PlacementRun::Picks() {
    const int loaded = g_LoadedNozzleCount.load();
    for (int k = 1; k <= kCycleSlots; ++k) {
        if (k > loaded || Slot(k).row < 0) continue;
        if (k == 1)
            for (int n = 0; n < 8; ++n) g_RotationTarget[n] = -g_PulseA[n].load();
        if (!BuildPlacementRecord(m_group, k)) return false;
        if (!PlaceTargetWithinTravel(Record(k), k, m_perCell, m_offX, m_offY)) {
            const int row = Slot(k).row;
            plat::MessageBoxOk(OffTravelRowText(row, m_store.Cell(JobList::Part, row, partcell::Number)), true,
                               plat::MsgIcon::Warning);
            return false;
        }
        if (k > 1) MergePairSpeeds(Record(k - 1), Record(k));
        if (k == 1 && Slot(1).feedMode == 6 && !DragFeed(Record(1), Slot(1))) return false;
        if (!MoveToPickPosition(Record(k))) return false;
        if (!Gate()) return false;
        if (k == 1)
            for (auto& t : g_RotationTarget) t = 0;
        if (!WaitHandOff(g_hFeederReady[static_cast<std::size_t>(k - 1)], g_RunContinue)) return false;
        if (!Gate()) return false;
        // A failed pick shows later as a vision or vacuum failure; a pick that got
        // no answer (or a stop during it) ends the run here.
        m_holding[static_cast<std::size_t>(k - 1)] = true;
        if (!GoesOnAfter(PickPart(Record(k)))) return false;
        // The pick may have turned a doubled pocket: the next nozzle on the same
        // feeder takes the count the feeder row holds now. Only a changed count is
        // written, so a slot the companion already presents is never touched.
        if (k < kCycleSlots && k + 1 <= loaded && Slot(k + 1).row >= 0 && Slot(k + 1).feedModeText == m_0402) {
            NozzleSlot& next = Slot(k + 1);
            if (const auto row = TheFeedGroupTable().CopyFeedRow(next.groupIndex, next.feederId)) {
                const int count = AtoI((*row)[18]);
                if (count != next.feedCount) next.feedCount = count;
            }
        }
        HandPickToCompanion(k);
    }
    return true;
}

bool PlacementRun::Vision() {
    g_VisionMoveDone = 0;
    const int mode = m_strategy.m_HeaderSelect;
    auto measureOneByOne = [](int last) {
        for (int k = 1; k <= last; ++k) {
            PlacementRecord& r = Record(k);
            if (HoldsRow(r) && r.visionKind != 0 && !MeasurePartOverCamera(r, false)) return false;
        }
        return true;
    };
    auto flyingPair = [](int last) {
        if (g_HighSpeedCamera.load() != 1 || !g_FlyCameraOn.load() || !g_VisualCamera1On.load()) return false;
        for (int k = 1; k <= last; ++k) {
            const PlacementRecord& r = Record(k);
            if (!HoldsRow(r) || r.visionKind != 2 || r.visionCamera != 1) return false;
        }
        return true;
    };
    bool ok = true;
    if (mode == 0) {
        ok = measureOneByOne(1);
    } else if (mode == 1 || mode == 2 || mode == 3 || mode == 4) {
        const int last = mode <= 2 ? 2 : 4;
        ok = flyingPair(last) ? FlyVisionPlace(Record(1), false, 0.0, 0.0) : measureOneByOne(last);
    } else {
        ok = measureOneByOne(4);
    }
    if (!ok) return false;
    if (g_HighSpeedCamera.load() == 0) {
        const int light = m_sources.markLightBrightness ? m_sources.markLightBrightness() : 0;
        SelectCamera(1, static_cast<std::uint8_t>(light), -1);
    }
    return true;
}

void PlacementRun::FetchNextCycle() {
    m_noNext = true;
    if (m_strategy.m_Cover && m_cover.NoNextCycle()) {
        Slot(1).row = -1;
        return;
    }
    const int loaded = g_LoadedNozzleCount.load();
    int last = 0;
    for (int k = std::min(loaded, kCycleSlots); k >= 2; --k)
        if (Slot(k).row >= 0) {
            last = k;
            break;
        }
    if (last >= 2) {
        Slot(1).row = Slot(last).row + 1;
    } else {
        Slot(1).row = Slot(1).row + 1;
        if (Slot(1).row >= m_rowCount) {
            g_LoadedNozzleCount = 0;
            Slot(1).row = -1;
            return;
        }
    }
    switch (FindFirstSlot(m_store, m_group, m_rowCount, Slot(1).row)) {
    case FirstSlot::Found: break;
    case FirstSlot::Refused:
        // The parts on the nozzles are placed first; the run ends after this cycle.
        m_refusedRow = Slot(1).row;
        g_LoadedNozzleCount = 0;
        return;
    case FirstSlot::EndOfList:
        for (int k = 1; k <= std::min(g_SmtHeadCount.load(), 8); ++k) Slot(k).row = -1;
        g_LoadedNozzleCount = 0;
        return;
    }
    FillCycleSlots(m_store, m_group, m_rowCount, g_SmtHeadCount.load());
    m_noNext = false;
    // The companion presents the next parts while this cycle places.
    g_hCycleStart.Set();
}

bool PlacementRun::Places() {
    for (int k = 1; k <= kCycleSlots; ++k) {
        PlacementRecord& r = Record(k);
        if (!MayPlace(r)) continue;
        if (!PlacePart(r, k, true, m_perCell, m_offX, m_offY)) return false;
        if (!Gate()) return false;
        // A machine without a place stroke (type 8) reads no vacuum: the part counts as placed.
        g_VacuumCheckOk = true;
        if (!PlacePartStroke(r, 0.0)) return false;
        if (g_VacuumCheckOk.load()) {
            m_holding[static_cast<std::size_t>(k - 1)] = false;
            r.vacuumFailedRow = -1;
            m_store.SetPartRowIcon(r.jobRow, rowicon::Done, false);
            if (k <= 2 && m_strategy.m_Cover) m_store.m_PlacedCount = m_cover.CountPlaced();
        } else {
            r.vacuumFailedRow = r.jobRow;
            m_store.SetPartRowIcon(r.jobRow, rowicon::Failed, false);
        }
        if (!Gate()) return false;
    }
    return true;
}

bool PlacementRun::AfterPlaces() {
    for (int k = 1; k <= kCycleSlots; ++k) {
        PlacementRecord& r = Record(k);
        if (HoldsRow(r) && (r.vacuumFailedRow != -1 || r.visionFailed)) {
            if (!DiscardPart(r)) return false;
            m_holding[static_cast<std::size_t>(k - 1)] = false;
        }
    }
    // What the recovery below picks again it places or throws off itself.
    m_holding.fill(false);
    bool localMark = false;
    for (int k = 1; k <= kCycleSlots; ++k) {
        PlacementRecord& r = Record(k);
        if (!HoldsRow(r)) continue;
        localMark = localMark || r.localMark != 0;
        if (!HandleNozzleFailure(r, k, m_group, m_offX, m_offY)) return false;
    }
    if (localMark && !ParkHead()) return false;
    Call(m_sources.showProgress, -1, Record(1).jobRow < 0 ? 0 : Record(1).jobRow);
    for (int k = 1; k <= 8; ++k) {
        PlacementRecord& r = Record(k);
        r.jobRow = -1;
        r.vacuumFailedRow = -1;
        r.visionFailed = 0;
    }
    return true;
}

bool PlacementRun::ReturnNozzles() {
    const auto work = CopyNozzleWork();
    auto back = [&](int k) {
        const PlacementRecord& r = work[static_cast<std::size_t>(k - 1)];
        return ChangeNozzle(k, r.head, r.mountedNozzle, k, k, 0);
    };
    const PlacementRecord& r1 = work[0];
    const PlacementRecord& r2 = work[1];
    switch (m_strategy.m_HeaderSelect) {
    case 0: return back(1);
    case 1: return back(1) && back(2);
    case 2:
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
        return back(1) && back(2);
    case 3:
    case 4: return back(1) && back(2) && back(3) && back(4);
    default: return true;
    }
}

void PlacementRun::RunEnd() {
    EndRun(m_store, [this] { return ReturnNozzles(); }, [] { return ParkAndHome(true); });
}

} // namespace

bool RowSelectedOnlyOrFromRow(PartListStore& s) {
    const int part = static_cast<int>(JobList::Part);
    return s.m_RunSelectedOnly[part] != 0 || s.m_RunFromRow[part] != 0;
}

WalkEnd WalkBoard(PartListStore& store, RunFrameSources& sources, const RunBoardState& b, bool conveyor, bool marks,
                  bool perCell, int& finishedBoards, const std::function<WalkEnd(int, int)>& cell,
                  const std::function<void()>& fail) {
    const int runMode = CurrentRunMode();
    if (conveyor && runMode == 2) {
        if (!WaitHandOff(g_hBoardDispensed, g_RunContinue)) return fail(), WalkEnd::Ended;
        g_ActiveList = 1;
        store.ShowList(JobList::Part);
    }
    if (!g_RunContinue.load()) return fail(), WalkEnd::Ended;
    if (conveyor && runMode != 2 && !WaitHandOff(g_hBoardArrived, g_RunContinue)) return fail(), WalkEnd::Ended;
    // Cleared before the manual-offset test, as the board's own correction does.
    g_BoardRotation = 0.0;
    if (marks && !perCell) {
        if (!(sources.manualMarkOffset && sources.manualMarkOffset()) && !CorrectByTwoMarks())
            return fail(), WalkEnd::Ended;
        Call(sources.clearManualMarkOffset);
    }
    for (int r = 0; r < b.g_RunPanelRows; ++r)
        for (int c = 0; c < b.g_RunPanelCols; ++c) {
            const WalkEnd e = cell(r, c);
            if (e != WalkEnd::Next) return e;
        }
    const int boardsLeft = sources.pcbBoardCount ? sources.pcbBoardCount() : 0;
    if (conveyor) Call(sources.setPcbBoardCount, boardsLeft - 1);
    ++finishedBoards;
    ShowRunProgress(b.g_RunPanelRows - 1, b.g_RunPanelCols - 1, finishedBoards);
    if (!conveyor) return WalkEnd::RunEnd;
    if (!MoveCameraToVisualOrigin()) return fail(), WalkEnd::Ended;
    if (runMode == 2) g_hBoardPlaced.Set();
    g_hBoardDone.Set();
    if (RowSelectedOnlyOrFromRow(store) || (sources.pcbBoardCount && sources.pcbBoardCount() <= 0))
        return WalkEnd::RunEnd;
    return WalkEnd::Next;
}

void WalkBoards(RunFrameSources& sources, const std::function<WalkEnd()>& board, const std::function<void()>& runEnd) {
    if (sources.pcbBoardCount && sources.pcbBoardCount() == 0) return runEnd();
    for (;;) {
        switch (board()) {
        case WalkEnd::Next: continue;
        case WalkEnd::RunEnd: return runEnd();
        case WalkEnd::Ended: return;
        }
    }
}

int PlacementRunThread() {
    PlacementRun run;
    run.Run();
    return 0;
}

} // namespace smt
