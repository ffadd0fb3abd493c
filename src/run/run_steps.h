// What the run threads share: the small helpers over the nozzle slots and
// records, the opening of a run over the placement list, a panel cell's opening
// and the normal end (nozzles back, park, homing).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <utility>

#include "link/command_frames.h"
#include "run_state/nozzle_work.h"

namespace smt {

class BoardStateKeeper;
class PartListStore;
struct RunFrameSources;
struct SmtStrategyConfig;

// Calls f when it is set (the run frame's sources and ports may be empty).
template <class F, class... A>
void Call(const F& f, A&&... a) {
    if (f) f(std::forward<A>(a)...);
}

// Slot and record k, 1-based.
inline NozzleSlot& Slot(int k) { return g_NozzleSlots[static_cast<std::size_t>(k - 1)]; }
inline PlacementRecord& Record(int k) { return g_NozzleWork[static_cast<std::size_t>(k - 1)]; }
inline bool HoldsRow(const PlacementRecord& r) { return r.jobRow >= 0; }
// The part failed its vacuum check or its measurement.
inline bool Failed(const PlacementRecord& r) { return r.vacuumFailedRow != -1 || r.visionFailed != 0; }

// Records 1..last hold no job row and no failure; withRow clears the record's own
// row too. The caller holds the nozzle-state lock where other threads read them.
void ClearRecords(int last, bool withRow);

// ---- the opening of a run over the placement list (placement, eight-head) ----
struct PartRunOpening {
    int rowCount = 0;
    int group = -1;
    bool marks = false;    // the board marks are measured
    bool perCell = false;  // ... for every panel cell
};
// The list busy, the panels off, zoom 1, the progress over the placement rows,
// every slot and record cleared under the nozzle-state lock (the records' own rows
// too with clearRecordRows), the placement list shown, the automatic nozzle change
// as the strategy says; when the run goes from a row, fromRow(current row) under
// the list's hold. Then the open feeder group (none: the message, the run ends
// through FinishRun, nullopt), the board origin at 0, the marks' switches and the
// mark camera.
std::optional<PartRunOpening> OpenPartListRun(PartListStore& partList, RunFrameSources& sources,
                                              const SmtStrategyConfig& strategy, BoardStateKeeper& board,
                                              bool clearRecordRows, const std::function<void(int)>& fromRow);

// ---- a panel cell's opening ----
enum class CellOpening { Work, Skip, Failed };
// The cell's offsets (column pitch in X, row pitch in Y, mm), the progress; a cell
// switched off in the panel grid is skipped. With per-cell marks the board origin
// moves to the cell and its marks are measured under the mark camera unless a
// manual mark offset stands; Failed when that measurement failed (the caller ends
// the run).
CellOpening OpenPanelCell(const BoardStateKeeper& board, RunFrameSources& sources, bool marks, bool perCell, int r,
                          int c, double& offX, double& offY);

// ---- the normal end ----
// The park target (1000, -1000) booked, and the X/Y move there from the counters
// at the run template's X and Y speeds.
XYDelta ParkDelta();
// X/Y to the park position (1000, -1000) with no nozzle turned, the gate, the
// feeder walk axes back to their park (walkAxes), the mark camera and the homing.
// nullopt: the move failed or the run stopped; else true when the homing holds
// the busy flag.
std::optional<bool> ParkAndHome(bool walkAxes);
// The mark camera, then the homing; true when the homing holds the busy flag
// (until its reply or its failure).
bool MarkCameraAndHome();
// A run's normal end: the feeder companion's advances made first
// (AwaitFeederAdvances); over a link declared lost nothing more, FinishRun without
// the conveyor; else with the automatic nozzle change, returnNozzles (when
// given); while the run goes on, park; then FinishRun keeping the conveyor. A
// failure of either ends through FinishRun without it.
void EndRun(PartListStore& partList, const std::function<bool()>& returnNozzles,
            const std::function<std::optional<bool>()>& park);

} // namespace smt
