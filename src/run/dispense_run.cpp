// DispenseAndCheckRunThread: start, boards, panel cells, one point after the
// other, the run mode 2 hand-over and the run's end. A failed step ends the run
// at once through FinishRun with keep-conveyor 0 (no park, no homing); the normal
// end parks, homes and keeps the conveyor. No nozzle is returned.
#include "run/dispense_run.h"

#include <algorithm>
#include <cstdlib>

#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/feed_group_table.h"
#include "joblist/part_list.h"
#include "joblist/part_list_texts.h"
#include "joblist/run_board.h"
#include "joblist/run_toolbar.h"
#include "joblist/smt_strategy.h"
#include "link/combined_commands.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "machine_ops/auto_transport.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "platform/uipost.h"
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
#include "settings/pulse_settings.h"
#include "vision/set_view.h"

namespace smt {

DispensingTool DispensingToolOf(int machineType) {
    if (machineType == 3) return {3, 4};
    if (machineType == 7) return {0x27, 0x2F};
    return {2, 2};
}

std::int32_t DispenseZLimitPulses() { return ToPulses(TheBasicSettings().m_Z_Limit, ThePulseFactors().m_Z_Pulse); }

namespace {

// The dispensing row's cells (X and Y, cells 1 and 2, come through the placement
// records).
constexpr int kDisZ = 3, kDisOpen = 5, kDisClose = 6, kDisCloseDelay = 7, kDisBottomDelay = 8,
              kDisSuckBack = 9;

std::uint16_t U16(const std::string& text) { return static_cast<std::uint16_t>(AtoI(text)); }

std::uint16_t ClampU16(std::int32_t v) { return static_cast<std::uint16_t>(std::clamp<std::int32_t>(v, 0, 0xFFFF)); }

std::int32_t Abs32(std::int32_t v) { return v == INT32_MIN ? INT32_MAX : std::abs(v); }

} // namespace

PlaceStrokeArgs BuildPlainDispenseStroke(const JobRow& row, DispensingTool tool, const DispenseStrokeSettings& s) {
    const std::int32_t depth = Abs32(ToPulses(AtoF(row.Cell(kDisZ)), s.zFactor));
    std::int32_t close = ToPulses(AtoF(row.Cell(kDisClose)), s.zFactor);
    if (close > depth || close <= 0) close = depth;
    PlaceStrokeArgs p;
    p.axis = tool.axis;
    p.depth = depth;
    p.speed = {s.startZ, s.runZ};
    p.w = close;
    p.delay = U16(row.Cell(kDisCloseDelay));
    p.threshold = 0;
    return p;
}

std::optional<DispenseStrokeArgs> BuildDispenseStroke(const JobRow& row, DispensingTool tool,
                                                      const DispenseStrokeSettings& s) {
    const std::int32_t z = ToPulses(AtoF(row.Cell(kDisZ)), s.zFactor);
    if (z < s.zLimit || z > 0) return std::nullopt;
    std::int32_t open = ToPulses(AtoF(row.Cell(kDisOpen)), s.zFactor);
    std::int32_t close = ToPulses(AtoF(row.Cell(kDisClose)), s.zFactor);
    const std::int32_t depth = Abs32(z);
    if (open > depth) open = 0;
    if (close > depth) close = 0;
    if (close < open) close = 0;
    DispenseStrokeArgs d;
    d.axis = tool.axis;
    d.depth = -z;
    d.start = s.startZ;
    d.run = s.runZ;
    d.kind = tool.valve;
    d.a = close;
    d.b = U16(row.Cell(kDisCloseDelay));
    d.t1 = U16(row.Cell(kDisBottomDelay));
    d.t2 = U16(row.Cell(kDisSuckBack));
    d.t3 = ClampU16(open);
    return d;
}

namespace {

void SleepMs(int ms) {
    if (ms > 0) plat::SleepFor(plat::Millis(ms));
}

void NozzleCheck(int output, bool on) {
    if (output >= 1 && output <= 4) Call(TheCommandPanel().setNozzleCheck, output, on);
}

// Dispensing takes record 1 onto head 2 (the dispenser's side) on the types
// without a dispensing nozzle of their own; the head it carried before comes
// back for the placement that follows and whatever way the run ends.
class HeadKeeper {
public:
    HeadKeeper() : m_head(CopyNozzleWork()[0].head) {}
    ~HeadKeeper() { Restore(); }
    void Take(int head) {
        std::lock_guard lock(NozzleStateMutex());
        Record(1).head = head;
        m_taken = true;
    }
    void Restore() {
        if (!m_taken) return;
        std::lock_guard lock(NozzleStateMutex());
        Record(1).head = m_head;
        m_taken = false;
    }

private:
    int m_head;
    bool m_taken = false;
};

class DispenseRun {
public:
    DispenseRun()
        : m_store(ThePartList()),
          m_sources(TheRunFrameSources()),
          m_strategy(TheSmtStrategy().Config()),
          m_conveyor(TheAutoTransport().Config().m_AutoTransport != 0),
          m_mode(CurrentRunMode()),
          m_type(g_MachineType.load()),
          m_tool(DispensingToolOf(m_type)) {}

    void Run();

private:
    enum class End { Next, RunEnd, Ended, HandedOver };
    void Fail() { FinishRun(m_store, false); }
    bool Gate() { return PassPauseGate(); }
    bool Dispensing() const { return m_mode == 1 || m_mode == 2; }
    JobList List() const { return Dispensing() ? JobList::Dis : JobList::Part; }
    bool Start();
    End Board();
    End Cell(int r, int c);
    // One point; false: the run has ended.
    bool Point();
    bool DispenseAt(int row);
    bool Inject();
    End AfterBoard();
    // Starts the placement side of run mode 2; false when the run was stopped.
    bool StartPlacement(bool withConveyor);
    bool RefuseRow(int row);
    void RunEnd();

    PartListStore& m_store;
    RunFrameSources& m_sources;
    SmtStrategyConfig m_strategy;
    bool m_conveyor;
    int m_mode;
    int m_type;
    DispensingTool m_tool;
    BoardStateKeeper m_board;
    HeadKeeper m_head;
    int m_group = -1;
    int m_rowCount = 0;
    int m_cursor = -1;
    bool m_last = false;
    bool m_marks = false, m_perCell = false;
    double m_offX = 0, m_offY = 0;
    int m_finishedBoards = 0;
    int m_refusedRow = -1;  // a "Yes" row no feeder serves, found for the next point
};

bool DispenseRun::RefuseRow(int row) {
    plat::MessageBoxOk(RefusedRowText(row, m_store.Cell(JobList::Part, row, partcell::Number)), true,
                       plat::MsgIcon::Warning);
    Fail();
    return false;
}

bool DispenseRun::Start() {
    Call(m_sources.disablePanels);
    {
        std::lock_guard lock(NozzleStateMutex());
        for (int k = 1; k <= 8; ++k) Slot(k).row = -1;
        ClearRecords(8, false);
    }
    m_cursor = -1;
    m_rowCount = m_store.RowCount(List());
    if (m_store.m_RunFromRow[static_cast<int>(List())]) {
        const auto lock = m_store.Hold();
        if (Dispensing()) m_cursor = m_store.m_DisItem;
        else Slot(1).row = m_store.m_PartItem;
    }
    Call(m_sources.showProgress, m_rowCount, 0);
    if (Dispensing()) {
        for (auto& t : g_RotationTarget) t = 0;
        if (m_type != 6 && m_type != 7) {
            g_AutoNozzleChange = 0;
            m_head.Take(2);
            SetOutput({8, 1, 5});
        }
        g_ActiveList = 2;
        m_store.ShowList(JobList::Dis);
    } else if (m_mode >= 3 && m_mode <= 7) {
        g_ActiveList = 1;
        m_store.ShowList(JobList::Part);
    }
    m_board.SetOrigin(0, 0);
    m_marks = m_board.Start().g_RunMarkEnable != 0;
    m_perCell = m_board.Start().g_RunSubBoardMark != 0;
    FeedGroupTable& feeders = TheFeedGroupTable();
    m_group = feeders.FindFeedGroupByName(feeders.OpenGroupName());
    if (m_group < 0) {
        plat::MessageBoxOk(PartListText("Message_20"), true, plat::MsgIcon::Warning);
        Fail();
        return false;
    }
    TheSetView().OnBnClickedMarkCamera();
    return true;
}

void DispenseRun::Run() {
    if (!Start()) return;
    for (;;) {
        switch (Board()) {
        case End::Next: continue;
        case End::RunEnd: return RunEnd();
        case End::Ended:
        case End::HandedOver: return;
        }
    }
}

DispenseRun::End DispenseRun::Board() {
    if (m_conveyor && !WaitHandOff(g_hBoardArrived, g_RunContinue)) return Fail(), End::Ended;
    if (!g_RunContinue.load()) return Fail(), End::Ended;
    if (m_mode != 6 && m_mode != 7) {
        g_BoardRotation = 0.0;
        if (m_marks && !m_perCell && !CorrectByTwoMarks()) return Fail(), End::Ended;
        if (!g_RunContinue.load()) return Fail(), End::Ended;
    }
    const RunBoardState& b = m_board.Start();
    for (int r = 0; r < b.g_RunPanelRows; ++r)
        for (int c = 0; c < b.g_RunPanelCols; ++c) {
            const End e = Cell(r, c);
            if (e != End::Next) return e;
        }
    return AfterBoard();
}

DispenseRun::End DispenseRun::Cell(int r, int c) {
    const RunBoardState& b = m_board.Start();
    m_offY = r * b.g_RunRowPitch;
    m_offX = c * b.g_RunColPitch;
    ShowRunProgress(r, c, 0);
    const std::size_t at = static_cast<std::size_t>(r) * static_cast<std::size_t>(b.g_RunPanelCols) + c;
    if (at < b.g_RunPanelGrid.size() && b.g_RunPanelGrid[at] == "0") return End::Next;
    if (m_marks && m_perCell) {
        m_board.SetOrigin(m_offX, m_offY);
        g_BoardRotation = 0.0;
        if (!CorrectByTwoMarks()) return Fail(), End::Ended;
    }
    const int list = static_cast<int>(List());
    bool found;
    if (Dispensing()) {
        found = FindNextDispenseRow(m_store, m_rowCount, m_cursor);
    } else {
        switch (FindFirstSlot(m_store, m_group, m_rowCount, Slot(1).row)) {
        case FirstSlot::Found: found = true; break;
        case FirstSlot::EndOfList: found = false; break;
        default: return RefuseRow(Slot(1).row), End::Ended;
        }
    }
    if (!found) {
        if (m_store.m_RunSelectedOnly[list]) {
            g_hBoardDone.Set();
            return End::RunEnd;
        }
        return Fail(), End::Ended;
    }
    while (!m_last)
        if (!Point()) return End::Ended;
    Call(m_sources.showProgress, -1, 0);
    m_last = false;
    if (Dispensing()) m_store.ResetDisRowIcons();
    else m_store.ResetPartRowIcons();
    if (!Gate()) return Fail(), End::Ended;
    if (Dispensing() && (m_store.m_RunFromRow[list] || m_store.m_RunSelectedOnly[list])) {
        g_hBoardDone.Set();
        return End::RunEnd;
    }
    if (m_mode == 6 || m_mode == 7) return End::RunEnd;  // the first cell in use only
    return End::Next;
}

bool DispenseRun::Point() {
    if (!g_RunContinue.load()) return Fail(), false;
    const int shown = (Dispensing() ? m_cursor : Slot(1).row) + 3;
    const int target = std::min(shown, m_rowCount - 1);
    if (target >= 0) {
        const JobList list = List();
        plat::PostToUi([list, target] { Call(TheRunToolbarPort().ensureVisible, list, target); });
    }
    if (!Dispensing() && !BuildPlacementRecord(m_group, 1)) return Fail(), false;
    PlacementRecord& r1 = Record(1);
    if (m_mode == 5 && !MoveCameraToPoint(r1.pickX, r1.pickY)) return Fail(), false;
    if (m_mode == 6) {
        if (!PresentFeederPart(Slot(1), false)) return Fail(), false;
        m_store.SetPartRowIcon(r1.jobRow, rowicon::Done, false);
        if (!MoveCameraToPoint(r1.pickX, r1.pickY)) return Fail(), false;
        m_store.SetPartRowIcon(r1.jobRow, rowicon::Done, false);
    }
    if (m_mode == 7) {
        if (!MoveCameraToPoint(r1.pickX, r1.pickY)) return Fail(), false;
        m_store.SetPartRowIcon(r1.jobRow, rowicon::Done, false);
    }
    if (!Gate()) return Fail(), false;
    const int light = m_sources.markLightBrightness ? m_sources.markLightBrightness() : 0;
    SelectCamera(1, static_cast<std::uint8_t>(light), -1);
    if (!Dispensing()) {
        Slot(1).row += 1;
        switch (FindFirstSlot(m_store, m_group, m_rowCount, Slot(1).row)) {
        case FirstSlot::Found: break;
        case FirstSlot::EndOfList:
            Slot(1).row = -1;
            m_last = true;
            break;
        case FirstSlot::Refused:
            // This point is still worked; the run stops before the refused one.
            m_refusedRow = Slot(1).row;
            m_last = true;
            break;
        }
    }
    const bool perCell = m_perCell;
    switch (m_mode) {
    case 1:
    case 2: {
        const int row = m_cursor;
        if (!DispenseAt(row)) return false;
        m_cursor = row + 1;
        if (!FindNextDispenseRow(m_store, m_rowCount, m_cursor)) {
            m_cursor = -1;
            m_last = true;
        }
        break;
    }
    case 3:
        if (!PlacePart(r1, 1, false, perCell, m_offX, m_offY)) return Fail(), false;
        m_store.SetPartRowIcon(r1.jobRow, rowicon::Done, false);
        if (!Gate()) return Fail(), false;
        r1.vacuum = 0;  // an empty nozzle: no vacuum check
        if (!PlacePartStroke(r1, 0.0)) return Fail(), false;
        break;
    case 4:
    case 5:
        if (!MoveCameraToRow(r1, perCell, m_offX, m_offY)) return Fail(), false;
        break;
    case 8:
        if (!Inject()) return Fail(), false;
        break;
    default: break;
    }
    SleepMs(m_strategy.m_Interval);
    if (!Gate()) return Fail(), false;
    if (Dispensing()) {
        Call(m_sources.showProgress, -1, m_cursor < 0 ? 0 : m_cursor);
    } else {
        Call(m_sources.showProgress, -1, r1.jobRow < 0 ? 0 : r1.jobRow);
        ClearRecords(8, false);
    }
    if (m_refusedRow >= 0) return RefuseRow(m_refusedRow);
    return true;
}

bool DispenseRun::DispenseAt(int row) {
    const auto r = m_store.Row(JobList::Dis, row);
    if (!r) return Fail(), false;
    DispenseStrokeSettings s;
    s.startZ = m_strategy.m_DisSpeedStart_Z;
    s.runZ = m_strategy.m_DisSpeedNormal_Z;
    s.zFactor = g_PulsesPerMmZ;
    s.zLimit = DispenseZLimitPulses();
    if (!m_strategy.m_bDisMode2) {
        if (!MoveToDispensePoint(row, PointMove::XYA, m_perCell, m_offX, m_offY)) return Fail(), false;
        m_store.SetDisRowIcon(row);
        if (!Gate()) return Fail(), false;
        const PlaceStrokeArgs stroke = BuildPlainDispenseStroke(*r, m_tool, s);
        SetOutput({m_tool.valve, 1, 5});
        NozzleCheck(m_tool.valve, true);
        const bool ok = PlaceStroke(stroke);
        SetOutput({m_tool.valve, 0, 5});
        NozzleCheck(m_tool.valve, false);
        if (!ok) return Fail(), false;
        return true;
    }
    if (!MoveToDispensePoint(row, PointMove::XY, m_perCell, m_offX, m_offY)) return Fail(), false;
    m_store.SetDisRowIcon(row);
    if (!Gate()) return Fail(), false;
    const auto stroke = BuildDispenseStroke(*r, m_tool, s);
    if (!stroke) {
        plat::MessageBoxOk("Z Pos Error !", true);
        return Fail(), false;
    }
    if (!DispenseStroke(*stroke)) return Fail(), false;
    return true;
}

bool DispenseRun::Inject() {
    PlacementRecord& r1 = Record(1);
    if (!PlacePart(r1, 1, false, m_perCell, m_offX, m_offY)) return false;
    m_store.SetPartRowIcon(r1.jobRow, rowicon::Done, false);
    if (!Gate()) return false;
    const AxisSpeed speed{r1.speeds[24], r1.speeds[25]};
    const double zf = g_PulsesPerMmZ;
    if (!MoveSingleAxis({2, -ToPulses(TheBasicSettings().m_Z_DropsGlueToPCBHeight, zf), speed})) return false;
    SetOutput({2, 1, 5});
    SleepMs(r1.placeDelay);
    SetOutput({2, 0, 5});
    NozzleCheck(2, true);
    NozzleCheck(2, false);
    SleepMs(r1.pickDelay);
    return MoveSingleAxis({2, ToPulses(r1.placeZ, zf), speed});
}

bool DispenseRun::StartPlacement(bool withConveyor) {
    if (!g_RunContinue.load()) return false;
    m_head.Restore();
    g_AutoNozzleChange = m_strategy.m_AutoChangeNozzle != 0 ? 1 : 0;
    if (m_type == 7) {
        if (withConveyor && m_store.m_SmtBusy) return true;
        if (withConveyor) m_store.m_SmtBusy = 1;
        g_hBoardDispensed.Reset();
        g_hBoardPlaced.Reset();
        StartRunThread(RunThreadKind::EightHead);
        return true;
    }
    if (withConveyor) {
        if (m_store.m_SmtBusy || m_store.m_FeedBusy) return true;
        m_store.m_SmtBusy = 1;
        m_store.m_FeedBusy = 1;
        g_hBoardDispensed.Reset();
        g_hBoardPlaced.Reset();
    }
    g_hCycleStart.Reset();
    for (auto& e : g_hPartPicked) e.Reset();
    for (auto& e : g_hFeederReady) e.Reset();
    StartRunThread(RunThreadKind::Placement);
    StartRunThread(RunThreadKind::FeederAdvance);
    return true;
}

DispenseRun::End DispenseRun::AfterBoard() {
    const RunBoardState& b = m_board.Start();
    if (m_conveyor && m_mode != 2) {
        const int left = (m_sources.pcbBoardCount ? m_sources.pcbBoardCount() : 0) - 1;
        Call(m_sources.setPcbBoardCount, left);
        ++m_finishedBoards;
        ShowRunProgress(b.g_RunPanelRows - 1, b.g_RunPanelCols - 1, m_finishedBoards);
        if (!MoveCameraToVisualOrigin()) return Fail(), End::Ended;
        g_hBoardDone.Set();
        return left > 0 ? End::Next : End::RunEnd;
    }
    if (m_conveyor) {
        if (!StartPlacement(true)) return Fail(), End::Ended;
        g_hBoardDispensed.Set();
        // The placement side ends the run; a board is never dispensed twice.
        if (!WaitHandOff(g_hBoardPlaced, g_RunContinue) || !g_RunContinue.load()) return End::HandedOver;
        g_ActiveList = 2;
        m_store.ShowList(JobList::Dis);
        if (m_sources.pcbBoardCount && m_sources.pcbBoardCount() <= 0) return End::HandedOver;
        return End::Next;
    }
    if (m_mode == 2) {
        if (!StartPlacement(false)) return Fail(), End::Ended;
        return End::HandedOver;
    }
    return End::RunEnd;
}

void DispenseRun::RunEnd() {
    // No nozzle goes back; type 7 has no feeder walk axes to park.
    EndRun(m_store, nullptr, [this] { return ParkAndHome(m_type != 7); });
}

} // namespace

int DispenseAndCheckRunThread() {
    DispenseRun run;
    run.Run();
    return 0;
}

} // namespace smt
