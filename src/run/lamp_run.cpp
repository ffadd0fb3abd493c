// LampRunThread and CombinedPlacementThread with their lamp steps. Every stop seen
// at a test, and every failure that cannot go on, leaves through FinishRun with
// keep-conveyor 0; FinishRun releases every hand-off event, so the partner thread
// that waits on a table wakes, sees the run ended and leaves too (its own FinishRun
// does nothing). The normal end resets the machine and calls FinishRun with 1.
#include "run/lamp_run.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include <opencv2/core.hpp>

#include "base/captions.h"
#include "base/globals.h"
#include "base/log.h"
#include "base/numtext.h"
#include "feeders/feed_group_table.h"
#include "joblist/lamp_editor.h"
#include "joblist/lamp_table.h"
#include "joblist/part_list.h"
#include "joblist/part_list_texts.h"
#include "joblist/pcb_records.h"
#include "joblist/run_toolbar.h"
#include "joblist/smt_strategy.h"
#include "link/busy.h"
#include "link/combined_commands.h"
#include "link/commands.h"
#include "link/homing.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "machine_ops/cover_tape.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "platform/uipost.h"
#include "run/mark_correction.h"
#include "run/nozzle_change.h"
#include "run/nozzle_vision.h"
#include "run/pick_place.h"
#include "run/placement_records.h"
#include "run/placement_run.h"
#include "run/run_camera.h"
#include "run/run_frame.h"
#include "run/run_rows.h"
#include "run/run_steps.h"
#include "run_state/run_events.h"
#include "run_state/run_frame_sources.h"
#include "settings/basic_settings.h"
#include "settings/speed_template.h"
#include "settings/version_switches.h"
#include "vision/camera_service.h"
#include "vision/recognition.h"
#include "vision/set_view.h"

namespace smt {

namespace {

constexpr std::uint8_t kX2Axis = 9;
constexpr AxisSpeed kTableSpeed{10, 10};
constexpr int kCycleSlots = 4;

int LampRow(int table, int point) { return table == 2 ? 2 * point + 1 : 2 * point; }
std::uint8_t TableYAxis(int table) { return table == 2 ? 12 : 1; }
std::int32_t TableY(int table) { return table == 2 ? g_PulseY2.load() : g_PulseY.load(); }
void SetTargetY(int table, std::int32_t y) { (table == 2 ? g_TargetPulseY2 : g_TargetPulseY) = y; }
std::optional<std::int32_t> TargetYOf(const LampTargets& t, int table) { return table == 2 ? t.y2 : t.y; }

// The lamp table's board counters, under the table's lock like its cells.
LampCounters Counters() {
    std::lock_guard lock(LampTableMutex());
    return TheLampMachineList().m_Counters;
}
template <class F>
void ChangeCounters(F change) {
    std::lock_guard lock(LampTableMutex());
    change(TheLampMachineList().m_Counters);
}

PcbEditFields PcbFields() {
    const auto& fields = TheRunToolbarPort().pcbEditFields;
    return fields ? fields() : PcbEditFields{};
}

bool LogOn() { return TheVersionSwitches().m_Write_Logfile != 0; }
void LogOnly(const char* line) {
    if (LogOn()) LogPrintf(GetLogStream(), true, "%s", line);
}

// The table's output: 7 for Y1, 8 for Y2.
void TableOutput(int table, bool on) {
    SetOutput({static_cast<std::uint8_t>(table == 2 ? 8 : 7), static_cast<std::uint8_t>(on ? 1 : 0), 5});
}

// X2 and the table's Y by (dX2, dY) at the speeds of `speeds`.
bool MoveX2AndTable(int table, std::int32_t x2, std::int32_t y, SpeedType speeds) {
    const SpeedTypeTable s = TheSpeedTemplates().Table(speeds);
    XYMoveArgs m;
    m.xAxis = kX2Axis;
    m.dX = AddPulses({x2, -std::int64_t{g_PulseX2.load()}});
    m.xSpeed = {s.m_Start_X, s.m_Normal_X};
    m.yAxis = TableYAxis(table);
    m.dY = AddPulses({y, -std::int64_t{TableY(table)}});
    m.ySpeed = {s.m_Start_Y, s.m_Normal_Y};
    return MoveXY(m);
}

// ---- the operator's questions ------------------------------------------------------

// ---- the mark ------------------------------------------------------------------------

CircleReading ReadMark(const PcbEditFields& f) {
    return ReadCircle(TakeMarkFrame(f.m_MarkCollectTime, f.m_ImageColorReversal != 0), "Mark", f.m_LightContrast,
                      f.m_VisualBox, f.m_VisualZoom, f.m_DetectPrecision, f.m_MarkDiameter);
}

// ---- the head's view of a record -----------------------------------------------------

// The lamp steps number the heads 0..3 (nozzle h + 1); the records 1..4.
int HeadValue(const PlacementRecord& r) { return r.head - 1; }

// MoveOverCameraOnTable on the record with its head value; what it measured goes
// back into the record. true = stopped.
bool MeasureOnTable(PlacementRecord& r, int table) {
    PlacementRecord view = r;
    view.head = HeadValue(r);
    const bool stopped = MoveOverCameraOnTable(view, table);
    r.visionFailed = view.visionFailed;
    r.correctionX = view.correctionX;
    r.correctionY = view.correctionY;
    r.correctionA = view.correctionA;
    r.placeAngle = view.placeAngle;
    return stopped;
}

// Cell 11 of the point's row on the table: the place height.
double PointZ(int table, int point) { return AtoF(GetLampCell(LampRow(table, point), 11)); }

// MoveToTablePick that turns the record's head back to 0 on the way (the 0x54 books
// the turn into its A counter); the moves after it turn that head no further until
// the cycle sets its rotation. true = stopped.
bool PickMoveTurningBack(PlacementRecord& r, int table) {
    const int h = HeadValue(r);
    const bool known = h >= 0 && h <= 3;
    const auto i = static_cast<std::size_t>(known ? h : 0);
    if (known) g_RotationTarget[i] = -g_PulseA[i].load();
    const bool stopped = MoveToTablePick(r, table);
    if (known) g_RotationTarget[i] = 0;
    return stopped;
}

// The walk drive of the record's bank to its waiting position (feed modes 0, 4, 5).
bool WalkToWaiting(const PlacementRecord& r) {
    if (r.feedMode != 0 && r.feedMode != 4 && r.feedMode != 5) return true;
    const SpeedTypeTable pick = TheSpeedTemplates().Table(SpeedType::PickPart);
    struct Walk {
        int bank;
        std::uint8_t axis;
        std::size_t counter;
        std::int32_t waiting;
        AxisSpeed speed;
    };
    const Walk walks[] = {{1, 8, 0, -100, {pick.m_Start_WestWalk, pick.m_Normal_WestWalk}},
                          {2, 9, 1, 100, {pick.m_Start_NorthWalk, pick.m_Normal_NorthWalk}},
                          {3, 10, 2, -100, {pick.m_Start_EastWalk, pick.m_Normal_EastWalk}}};
    for (const Walk& w : walks) {
        if (w.bank != r.bankCode) continue;
        const std::int32_t at = g_PulseFeederWalk[w.counter].load();
        if (at == 0) return true;
        return MoveSingleAxis({w.axis, AddPulses({w.waiting, -std::int64_t{at}}), w.speed});
    }
    return true;
}

// ---- LampRunThread ---------------------------------------------------------------------

class LampRun {
public:
    LampRun()
        : m_store(ThePartList()), m_sources(TheRunFrameSources()), m_strategy(TheSmtStrategy().Config()),
          m_mode(CurrentRunMode()) {}
    void Run();

private:
    void Fail() { FinishRun(m_store, false); }
    // false: the run has ended.
    bool Board();
    bool ChooseTable();
    bool MarkPass();
    bool DispensePass();
    bool Dispense(int point, int kind);

    PartListStore& m_store;
    RunFrameSources& m_sources;
    SmtStrategyConfig m_strategy;
    int m_mode;
    int m_group = -1;
    int m_rows = 0;
    int m_table = 2;  // the first alternation gives Y1
};

void LampRun::Run() {
    m_store.m_SmtBusy = 1;
    Call(m_sources.disablePanels);
    // Rows past the table's points have no point to go to.
    m_rows = std::min(m_store.RowCount(JobList::Part), kLampPoints);
    Call(m_sources.showProgress, m_rows, 0);
    {
        const auto lock = m_store.Hold();
        const bool fromRow = m_store.m_RunFromRow[static_cast<int>(JobList::Part)] != 0;
        g_NozzleSlots[kLampSlot].row = fromRow && m_store.m_PartItem >= 0 ? m_store.m_PartItem : 0;
    }
    g_hTableFree[0].Set();
    g_hTableFree[1].Set();
    TheSetView().OnBnClickedMarkCamera();
    FeedGroupTable& feeders = TheFeedGroupTable();
    m_group = feeders.FindFeedGroupByName(feeders.OpenGroupName());
    if (m_group < 0) {
        plat::MessageBoxOk(PartListText("Message_20"), true, plat::MsgIcon::Warning);
        return Fail();
    }
    while (Counters().m_CountFinish < Counters().m_CountSet)
        if (!Board()) return;
    ChangeCounters([](LampCounters& c) {
        c.m_CountFinish = 0;
        c.m_CountUnfinish = c.m_CountSet;
    });
    if (m_mode == 11 || m_mode == 12) return;  // the placement thread ends the run
    // The homing keeps the busy flag until its reply or its failure.
    const bool homing = MachineReset(0, false);
    FinishRun(m_store, true, homing);
}

bool LampRun::ChooseTable() {
    switch (m_mode) {
    case 9: m_table = 1; break;
    case 10: m_table = m_table == 1 ? 2 : 1; break;
    case 11:
        if (!WaitHandOff(g_hTableFree[0], g_RunContinue)) return false;
        m_table = 1;
        break;
    default:
        // Each table only once the placement thread has freed it.
        if (m_table == 1) {
            if (!WaitHandOff(g_hTableFree[1], g_RunContinue)) return false;
            m_table = 2;
        } else {
            if (!WaitHandOff(g_hTableFree[0], g_RunContinue)) return false;
            m_table = 1;
        }
        break;
    }
    return !ReleaseTable(m_table);
}

bool LampRun::Board() {
    int& cursor = g_NozzleSlots[kLampSlot].row;
    if (!FindNextPlaceRowForBank(m_store, m_group, m_store.RowCount(JobList::Part), cursor)) return Fail(), false;
    if (!ChooseTable()) return Fail(), false;
    if (!PassPauseGate()) return Fail(), false;
    if (!MarkPass() || !DispensePass()) return Fail(), false;
    ChangeCounters([](LampCounters& c) {
        ++c.m_CountFinish;
        --c.m_CountUnfinish;
    });
    if (m_mode == 9 || m_mode == 10) m_store.ResetPartRowIcons();
    else if (m_mode == 11) g_hTableDispensed[0].Set();
    else g_hTableDispensed[static_cast<std::size_t>(m_table - 1)].Set();
    Call(m_sources.showProgress, -1, 0);
    if (!PassPauseGate()) return Fail(), false;
    return true;
}

bool LampRun::MarkPass() {
    for (int i = 0; i < m_rows; ++i) {
        if (m_store.Cell(JobList::Part, i, partcell::Place) != "Yes") continue;
        if (CorrectLampPointMark(m_table, i)) return false;
    }
    return true;
}

// Over target `kind` (2..4) of the point, then its stroke. false: the run ends.
bool LampRun::Dispense(int point, int kind) {
    if (MoveToLampPoint(m_table, kind, point)) return false;
    if (!PassPauseGate()) return false;
    if (kind == 2) m_store.SetPartRowIcon(point, rowicon::Loaded, false);
    LampDispenseParams p;
    LoadLampPointDispenseParams(point, kind - 2, m_table, p);
    // Glue head 1 lays the red glue, glue head 2 both silver points.
    return DispenseStroke(LampStrokeArgs(kind == 2 ? 1 : 2, p));
}

bool LampRun::DispensePass() {
    for (int i = 0; i < m_rows; ++i) {
        if (!g_RunContinue.load()) return false;
        const int visible = std::min(i + 3, m_rows - 1);
        plat::PostToUi([visible] { Call(TheRunToolbarPort().ensureVisible, JobList::Part, visible); });
        for (int kind = 2; kind <= 4; ++kind)
            if (!Dispense(i, kind)) return false;
        m_store.SetPartRowIcon(i, rowicon::InWork, false);
        if (m_strategy.m_Interval > 0) plat::SleepFor(plat::Millis(m_strategy.m_Interval));
        if (!PassPauseGate()) return false;
        Call(m_sources.showProgress, -1, i + 1);
    }
    return true;
}

// ---- CombinedPlacementThread -----------------------------------------------------------

// The boards the dispensing thread will hand over: those not yet done of the count.
int BoardsLeft() {
    const LampCounters c = Counters();
    return c.m_CountSet - c.m_CountFinish;
}

class CombinedRun {
public:
    CombinedRun()
        : m_store(ThePartList()), m_sources(TheRunFrameSources()), m_strategy(TheSmtStrategy().Config()),
          m_mode(CurrentRunMode()), m_boards(BoardsLeft()) {}
    void Run();

private:
    void Fail() { FinishRun(m_store, false); }
    enum class Fill { Found, None, Ended };
    // Slots from `from` on; Found sets the cycle start for the companion.
    Fill FillFrom(int from);
    // false: the run has ended.
    bool Board();
    bool WaitTable();
    bool Picks();
    bool Measure();
    bool Places();
    bool Failures();
    enum class Replenish { Go, Stop, Quit };
    Replenish ReplenishOnTable(PlacementRecord& record, int k);
    void QuitAfterFailure(const PlacementRecord& record);
    void ClearRecords();

    PartListStore& m_store;
    RunFrameSources& m_sources;
    SmtStrategyConfig m_strategy;
    int m_mode;
    int m_boards;
    int m_group = -1;
    int m_rowCount = 0;
    int m_table = 2;
    int m_done = 0;
    bool m_lastCycle = false;
    bool m_quit = false;
    std::string m_0402;
};

CombinedRun::Fill CombinedRun::FillFrom(int from) {
    for (int k = 1; k <= 8; ++k) Slot(k).row = -1;
    Slot(1).row = from;
    switch (FindFirstSlot(m_store, m_group, m_rowCount, Slot(1).row)) {
    case FirstSlot::Found: break;
    case FirstSlot::EndOfList:
        Slot(1).row = -1;
        g_LoadedNozzleCount = 0;
        return Fill::None;
    case FirstSlot::Refused: {
        const std::string number = m_store.Cell(JobList::Part, Slot(1).row, partcell::Number);
        plat::MessageBoxOk(RefusedRowText(Slot(1).row, number), true, plat::MsgIcon::Warning);
        return Fill::Ended;
    }
    }
    FillCycleSlots(m_store, m_group, m_rowCount, std::min(g_SmtHeadCount.load(), kCycleSlots));
    g_hCycleStart.Set();
    return Fill::Found;
}

// The spare (9) too.
void CombinedRun::ClearRecords() { smt::ClearRecords(9, false); }

void CombinedRun::Run() {
    m_store.m_SmtBusy = 1;
    m_rowCount = m_store.RowCount(JobList::Part);
    m_0402 = PartListText("0402");
    ClearRecords();
    FeedGroupTable& feeders = TheFeedGroupTable();
    m_group = feeders.FindFeedGroupByName(feeders.OpenGroupName());
    if (m_group < 0) {
        plat::MessageBoxOk(PartListText("Message_20"), true, plat::MsgIcon::Warning);
        return Fail();
    }
    if (FillFrom(0) != Fill::Found) return Fail();
    while (m_done < m_boards)
        if (!Board()) return;
    if (!g_RunContinue.load()) return Fail();
    const bool homing = MachineReset(0, false);
    FinishRun(m_store, true, homing);
}

bool CombinedRun::WaitTable() {
    if (m_mode == 11 || m_table == 2) {
        if (!WaitHandOff(g_hTableDispensed[0], g_RunContinue)) return false;
        m_table = 1;
    } else {
        if (!WaitHandOff(g_hTableDispensed[1], g_RunContinue)) return false;
        m_table = 2;
    }
    return PassPauseGate();
}

bool CombinedRun::Board() {
    if (!WaitTable()) return Fail(), false;
    m_lastCycle = false;
    while (!m_lastCycle) {
        if (!g_RunContinue.load()) return Fail(), false;
        if (!Picks() || !Measure() || !Places() || !Failures()) {
            if (!m_quit) Fail();
            return false;
        }
        Call(m_sources.showProgress, -1, Record(1).jobRow < 0 ? 0 : Record(1).jobRow);
        ClearRecords();
    }
    ++m_done;
    if (m_mode == 11) {
        g_hTableFree[0].Set();
    } else {
        if (ParkTableForExchange(m_table)) return Fail(), false;
        g_hTableFree[static_cast<std::size_t>(m_table - 1)].Set();
    }
    Call(m_sources.showProgress, -1, 0);
    if (!PassPauseGate()) return Fail(), false;
    return true;
}

bool CombinedRun::Picks() {
    const int loaded = g_LoadedNozzleCount.load();
    for (int k = 1; k <= kCycleSlots; ++k) {
        if (k > loaded || Slot(k).row < 0) continue;
        const auto i = static_cast<std::size_t>(k - 1);
        if (!BuildPlacementRecord(m_group, k)) return false;
        if (k > 1) MergePairSpeeds(Record(k - 1), Record(k));
        if (PickMoveTurningBack(Record(k), m_table)) return false;
        if (!PassPauseGate()) return false;
        if (!WaitHandOff(g_hFeederReady[i], g_RunContinue)) return false;
        if (!PassPauseGate()) return false;
        if (!PickPart(Record(k))) return false;
        // A doubled pocket may have turned: the next nozzle on the feeder takes the count now.
        if (k < kCycleSlots && k + 1 <= loaded && Slot(k + 1).row >= 0 && Slot(k + 1).feedModeText == m_0402) {
            NozzleSlot& next = Slot(k + 1);
            if (const auto row = TheFeedGroupTable().CopyFeedRow(next.groupIndex, next.feederId)) {
                const int count = AtoI((*row)[18]);
                if (count != next.feedCount) next.feedCount = count;
            }
        }
        HandPickToCompanion(k);
        if (!PassPauseGate()) return false;
    }
    return true;
}

bool CombinedRun::Measure() {
    LogPlacement();
    for (int k = 1; k <= kCycleSlots; ++k) {
        PlacementRecord& r = Record(k);
        // A part without vision is shown to no camera: its vacuum is checked by the place.
        if (!HoldsRow(r) || r.visionKind == 0) continue;
        if (MeasureOnTable(r, m_table)) return false;
    }
    const int light = PcbFields().m_LightBrightness;
    SelectCamera(1, static_cast<std::uint8_t>(std::clamp(light, 0, 255)), -1);
    // The next cycle's rows go to the companion before this one places.
    int last = 0;
    for (int k = std::min(g_LoadedNozzleCount.load(), kCycleSlots); k >= 1; --k)
        if (Slot(k).row >= 0) {
            last = k;
            break;
        }
    const int from = last >= 1 ? Slot(last).row + 1 : m_rowCount;
    Fill next = from < m_rowCount ? FillFrom(from) : Fill::None;
    if (next == Fill::Ended) return false;
    if (next == Fill::None) {
        m_lastCycle = true;
        // The next board starts from the first row again.
        if (m_done + 1 < m_boards && FillFrom(0) != Fill::Found) return false;
    }
    return true;
}

bool CombinedRun::Places() {
    const bool selectedOnly = m_store.m_RunSelectedOnly[static_cast<int>(JobList::Part)] != 0;
    for (int k = 1; k <= kCycleSlots; ++k) {
        PlacementRecord& r = Record(k);
        if (!HoldsRow(r) || r.visionFailed != 0) continue;
        switch (MoveToLampPlacePoint(r, m_table)) {
        case PlaceMove::Stopped: return false;
        case PlaceMove::Refused:
            // Not over its point: the part goes back with the failed ones.
            r.vacuumFailedRow = r.jobRow;
            m_store.SetPartRowIcon(r.jobRow, rowicon::Failed, false);
            continue;
        case PlaceMove::Moved: break;
        }
        if (!PassPauseGate()) return false;
        if (!PlacePartStroke(r, PointZ(m_table, r.jobRow))) return false;
        if (g_VacuumCheckOk.load()) {
            r.vacuumFailedRow = -1;
            m_store.SetPartRowIcon(r.jobRow, rowicon::Done, false);
        } else {
            r.vacuumFailedRow = r.jobRow;
            m_store.SetPartRowIcon(r.jobRow, rowicon::Failed, false);
        }
        if (!selectedOnly) m_store.SetSelected(JobList::Part, r.jobRow, false);
        if (!PassPauseGate()) return false;
    }
    return true;
}

bool CombinedRun::Failures() {
    for (int k = 1; k <= kCycleSlots; ++k) {
        PlacementRecord& r = Record(k);
        if (HoldsRow(r) && Failed(r) && DiscardOnTable(r)) return false;
    }
    for (int k = 1; k <= kCycleSlots; ++k) {
        PlacementRecord& r = Record(k);
        if (!HoldsRow(r) || !Failed(r)) continue;
        switch (ReplenishOnTable(r, k)) {
        case Replenish::Go: break;
        case Replenish::Stop: return false;
        case Replenish::Quit: m_quit = true; return false;
        }
    }
    return true;
}

void CombinedRun::QuitAfterFailure(const PlacementRecord& record) {
    bool ok = true;
    if (g_AutoNozzleChange.load()) {
        const auto work = CopyNozzleWork();
        for (int k = 1; k <= 2 && ok; ++k) {
            const PlacementRecord& w = work[static_cast<std::size_t>(k - 1)];
            ok = ChangeNozzle(k, w.head, w.mountedNozzle, w.head, w.head, 0);
        }
    }
    bool homing = false;
    if (ok) {
        XYMoveArgs corner;
        corner.dX = AddPulses({100, -std::int64_t{g_PulseX.load()}});
        corner.xSpeed = {record.speeds[36], record.speeds[37]};
        corner.dY = AddPulses({-100, -std::int64_t{g_PulseY.load()}});
        corner.ySpeed = {record.speeds[38], record.speeds[39]};
        ok = MoveXY(corner);
        const SpeedTypeTable pick = TheSpeedTemplates().Table(SpeedType::PickPart);
        const struct {
            std::uint8_t axis;
            std::size_t counter;
            std::int32_t waiting;
            AxisSpeed speed;
        } walks[] = {{8, 0, -100, {pick.m_Start_WestWalk, pick.m_Normal_WestWalk}},
                     {9, 1, 100, {pick.m_Start_NorthWalk, pick.m_Normal_NorthWalk}}};
        for (const auto& w : walks) {
            const std::int32_t at = g_PulseFeederWalk[w.counter].load();
            if (ok && at != 0) ok = MoveSingleAxis({w.axis, AddPulses({w.waiting, -std::int64_t{at}}), w.speed});
        }
        if (ok) {
            TheSetView().OnBnClickedMarkCamera();
            homing = MachineReset(0, false);
        }
    }
    FinishRun(m_store, false, homing);
}

CombinedRun::Replenish CombinedRun::ReplenishOnTable(PlacementRecord& record, int k) {
    PlacementRecord* part = &record;
    bool onNozzle = false;  // the failed part itself was discarded before
    for (;;) {
        if (!g_RunContinue.load()) return Replenish::Stop;
        if (!Failed(*part)) {
            switch (MoveToLampPlacePoint(*part, m_table)) {
            case PlaceMove::Stopped: return Replenish::Stop;
            case PlaceMove::Refused: part->vacuumFailedRow = record.jobRow; break;
            case PlaceMove::Moved:
                if (!PassPauseGate() || !PlacePartStroke(*part, PointZ(m_table, record.jobRow))) return Replenish::Stop;
                if (g_VacuumCheckOk.load()) {
                    m_store.SetPartRowIcon(record.jobRow, rowicon::Done, false);
                    record.vacuumFailedRow = -1;
                    record.visionFailed = 0;
                    if (m_strategy.m_Cover) {
                        CoverTape& cover = TheCoverTape();
                        const SetCoverConfig c = cover.Config();
                        cover.SetCounters(c.m_CoverTotalCount + 1, c.m_CoverCount + 1);
                        cover.SaveCounters(ConfigFilePath("."));
                    }
                    return Replenish::Go;
                }
                part->vacuumFailedRow = record.jobRow;
                break;
            }
            onNozzle = true;
        }
        record.vacuumFailedRow = record.jobRow;  // remembered
        if (!WalkToWaiting(*part)) return Replenish::Stop;
        const bool vision = part->visionFailed != 0;
        m_store.SetPartRowIcon(record.jobRow, vision ? rowicon::Waiting : rowicon::Failed, false);
        switch (AskDuringRun(PartListText(vision ? "Message_46" : "Message_45"))) {
        case RunAnswer::Stopped: return Replenish::Stop;
        case RunAnswer::No:
            QuitAfterFailure(*part);
            return Replenish::Quit;
        case RunAnswer::Cancel: {
            if (!CopyRecordToReplenishSlot(k)) return Replenish::Stop;
            NozzleSlot& s9 = g_NozzleSlots[kReplenishSlot];
            if (!PresentFeederPart(s9, true)) return Replenish::Stop;
            if (onNozzle && DiscardOnTable(*part)) return Replenish::Stop;
            Call(m_sources.showProgress, -1, record.jobRow);
            if (!BuildPlacementRecord(m_group, 9)) return Replenish::Stop;
            PlacementRecord& spare = g_NozzleWork[kReplenishSlot];
            if (PickMoveTurningBack(spare, m_table)) return Replenish::Stop;
            if (!PickPart(spare)) return Replenish::Stop;
            if (!GoesOnAfter(AdvanceFeeder(s9)) || !PassPauseGate()) return Replenish::Stop;
            LogReplenishPlacement(spare);
            spare.jobRow = record.jobRow;
            spare.vacuumFailedRow = -1;
            spare.visionFailed = 0;
            if (spare.visionKind != 0 && MeasureOnTable(spare, m_table)) return Replenish::Stop;
            part = &spare;
            onNozzle = true;
            break;
        }
        default:  // Yes: ignore the part and go on
            if (onNozzle && DiscardOnTable(*part)) return Replenish::Stop;
            record.vacuumFailedRow = -1;
            record.visionFailed = 0;
            return Replenish::Go;
        }
    }
}

} // namespace

// ---- the lamp steps -----------------------------------------------------------------------

bool CorrectLampPointMark(int table, int point) {
    if (point < 0 || point >= kLampPoints || (table != 1 && table != 2)) return false;
    const int row = LampRow(table, point);
    const PulsePoint camera = g_CameraToNozzle1Pulses;
    const std::int32_t x2 = AddPulses({ToPulses(AtoF(GetLampCell(row, 3)), g_PulsesPerMmX), -std::int64_t{camera.x}});
    const std::int32_t y = AddPulses({ToPulses(AtoF(GetLampCell(row, 4)), g_PulsesPerMmY), -std::int64_t{camera.y}});
    g_TargetPulseX2 = x2;
    SetTargetY(table, y);
    g_CurrentCamera = kMarkCamera;
    const PcbEditFields f = PcbFields();
    TheSetView().SetVisionParameters(f.m_LightContrast, f.m_LightBrightness, f.m_VisualZoom, f.m_VisualBox);
    if (!MoveX2AndTable(table, x2, y, SpeedType::VisualSmt)) return false;
    if (!PassPauseGate()) return true;
    SetLampCell(row, 5, "");
    SetLampCell(row, 6, "");
    return RecognizeMark(table, point);
}

bool RecognizeMark(int table, int point) {
    if (point < 0 || point >= kLampPoints || (table != 1 && table != 2)) return true;
    if (!CheckRunCamera(kMarkCamera)) return true;
    const PcbEditFields f = PcbFields();
    TheSetView().SetVisionParameters(f.m_LightContrast, f.m_LightBrightness, f.m_VisualZoom, f.m_VisualBox);
    const SpeedTypeTable speeds = TheSpeedTemplates().Table(SpeedType::VisualCorrection);
    for (;;) {
        std::int32_t totalX = 0, totalY = 0;
        bool again = false;
        for (int pass = 0; pass < f.m_VisualTimes && !again; ++pass) {
            const CircleReading r = ReadMark(f);
            if (r.result != Reading::Found) {
                TableOutput(table, true);
                if (r.result == Reading::NotFound) LogOnly("Visual error !");
                if (AskDuringRun(PartListText("Message_30"), false) != RunAnswer::Yes) return true;  // the output stays on
                TableOutput(table, false);
                again = true;
                break;
            }
            XYMoveArgs m;
            m.xAxis = kX2Axis;
            m.dX = -r.dX;
            m.xSpeed = {speeds.m_Start_X, speeds.m_Normal_X};
            m.yAxis = TableYAxis(table);
            m.dY = r.dY;
            m.ySpeed = {speeds.m_Start_Y, speeds.m_Normal_Y};
            if (!MoveXY(m)) return false;
            if (!PassPauseGate()) return true;
            totalX = AddPulses({totalX, -std::int64_t{r.dX}});
            totalY = AddPulses({totalY, r.dY});
        }
        if (again) continue;
        const int row = LampRow(table, point);
        SetLampCell(row, 5, FormatC("%d", totalX));
        SetLampCell(row, 6, FormatC("%d", totalY));
        return false;
    }
}

bool MoveToLampPoint(int table, int kind, int point) {
    const LampTargets t = LampPointTargets(point, kind, table);
    ComputeLampPointTargets(point, kind, table);
    const auto y = TargetYOf(t, table);
    if (!t.x2 || !y) return false;
    if (!MoveX2AndTable(table, *t.x2, *y, SpeedType::Smt)) return false;
    return !PassPauseGate();
}

bool ParkTableForExchange(int table) {
    const BasicSettings& b = TheBasicSettings();
    const std::int32_t y = ToPulses(b.m_Y_ThrowPosition, g_PulsesPerMmY);
    SetTargetY(table, y);
    const SpeedTypeTable handle = TheSpeedTemplates().Table(SpeedType::Handle);
    XYRotationMove m;
    m.dX = 0;
    m.xSpeed = kTableSpeed;
    m.yAxis = TableYAxis(table);
    m.dY = AddPulses({y, -std::int64_t{TableY(table)}});
    m.ySpeed = {handle.m_Start_Y, handle.m_Normal_Y};
    m.p = 10;
    m.q = 10;
    if (!MoveXYWithRotation(m)) return false;
    if (!PassPauseGate()) return true;
    TableOutput(table, true);
    if (b.m_ChangeDelay > 0) plat::SleepFor(plat::Millis(b.m_ChangeDelay));
    if (!PassPauseGate()) return true;
    TableOutput(table, false);
    plat::SleepFor(plat::Millis(100));
    return false;
}

PlaceMove MoveToLampPlacePoint(PlacementRecord& r, int table) {
    const int h = HeadValue(r);
    if (h < 0 || h > 3) return PlaceMove::Refused;
    const LampTargets t = LampPointTargets(r.jobRow, 1, table);
    ComputeLampPointTargets(r.jobRow, 1, table);
    const auto ty = TargetYOf(t, table);
    if (!t.x || !ty) return PlaceMove::Refused;
    const auto i = static_cast<std::size_t>(h);
    const PulsePoint nozzle = h > 0 ? g_NozzleToNozzle1Pulses[i] : PulsePoint{};
    std::int64_t x = std::int64_t{*t.x} + g_CorrectionPulseX[i] - nozzle.x;
    std::int64_t y = std::int64_t{*ty} + g_CorrectionPulseY[i] - nozzle.y;
    if (r.visionKind == 2) {
        x += r.correctionX;
        y += r.correctionY;
        g_RotationTarget[i] = -r.correctionA;
    } else if (r.visionKind == 1 && (r.visionCamera == 1 || r.visionCamera == 2)) {
        x += r.correctionX;
        y += r.correctionY;
        for (auto& pending : g_RotationTarget) pending = 0;
    }
    g_TargetPulseX = AddPulses({x});
    SetTargetY(table, AddPulses({y}));
    XYRotationMove m;
    m.dX = AddPulses({x, -std::int64_t{g_PulseX.load()}});
    m.xSpeed = {r.speeds[36], r.speeds[37]};
    m.yAxis = TableYAxis(table);
    m.dY = AddPulses({y, -std::int64_t{TableY(table)}});
    m.ySpeed = {r.speeds[38], r.speeds[39]};
    m.r = static_cast<std::uint8_t>(4 + h);
    m.dR = g_RotationTarget[i].load();
    m.p = r.speeds[static_cast<std::size_t>(28 + 2 * h)];
    m.q = r.speeds[static_cast<std::size_t>(29 + 2 * h)];
    if (!MoveXYWithRotation(m)) return PlaceMove::Refused;
    return PassPauseGate() ? PlaceMove::Moved : PlaceMove::Stopped;
}

int LampRunThread() {
    LampRun run;
    run.Run();
    return 0;
}

int CombinedPlacementThread() {
    CombinedRun run;
    run.Run();
    return 0;
}

} // namespace smt
