// The placement run of every machine type but the eight-head and the drilling
// machine: PlacementRunThread walks the boards (one, or as many as the conveyor
// brings), the cells of each board's panel grid and the placement list, and
// places the parts in cycles of up to four nozzles; its companion
// FeederAdvanceThread has the feeders present the parts of a cycle, nozzle after
// nozzle, and advances each feeder once its part is picked. The two are
// pipelined: once the parts of a cycle are picked and measured the run thread
// chooses the next cycle's rows and releases the companion, which presents them
// while the run thread still places. The slots describe the next cycle, the
// records the one being placed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "machine_ops/cover_tape.h"

namespace smt {

class PartListStore;

// Thread bodies (the run frame's entries for Placement and FeederAdvance).
int PlacementRunThread();
int FeederAdvanceThread();
// The run thread's pick k (1..4) handed to the feeder companion (part picked k),
// which then advances that feeder.
void HandPickToCompanion(int k);
// The run's normal end first waits for the companion's advances of the picks
// handed to it: the last may still wait for its reply when the last part has been
// placed, and a reply lost there ends the run before any park or homing is sent.
// Returns once they are made, the companion has ended or the run stopped.
void AwaitFeederAdvances();

// ---- the fill rule -------------------------------------------------------------
// Slot 1 holds a found row: slots 2 (when the head count is above 1) and then 3
// and 4 (head count 4 or more; 8 counts as 4) are searched from the slot before's
// row + 1. A miss at slot k clears the rows of slots k .. head count and keeps the
// count at k - 1. Sets g_LoadedNozzleCount; returns the count.
int FillCycleSlots(PartListStore& partList, int group, int rowCount, int headCount);

// How a search for nozzle 1 ended when it found nothing to work: the end of the
// list (cursor at the row count) or a "Yes" row the feeder look-up refused
// (cursor still on that row).
enum class FirstSlot { Found, EndOfList, Refused };
FirstSlot FindFirstSlot(PartListStore& partList, int group, int rowCount, int& cursor);
// The message that ends a run on a refused row (row 0-based, shown 1-based with
// its number cell), in the interface language.
std::string RefusedRowText(int row, const std::string& rowNumber);
// The message that ends a run before the pick of a row whose place position lies
// outside the travel limits (row as above).
std::string OffTravelRowText(int row, const std::string& rowNumber);

// ---- the walk over the boards (placement and eight-head runs) ------------------
enum class WalkEnd { Next, RunEnd, Ended };
struct RunBoardState;
struct RunFrameSources;
// The run goes on after a board only when the whole list is run, not the selected
// rows or from a row.
bool RowSelectedOnlyOrFromRow(PartListStore& partList);
// One board: the dispensing thread's or the conveyor's hand-over, the board marks
// (unless a manual mark offset stands), cell(r, c) for every cell of the panel
// grid, then the board's end: the count, the progress, and with the conveyor the
// camera to its stop position and the board events. fail() on every failure.
WalkEnd WalkBoard(PartListStore& partList, RunFrameSources& sources, const RunBoardState& board, bool conveyor,
                  bool marks, bool perCell, int& finishedBoards, const std::function<WalkEnd(int, int)>& cell,
                  const std::function<void()>& fail);
// The boards of a run: none left to do ends it normally at once (runEnd), else
// board() after board() until one ends the run (normally: runEnd).
void WalkBoards(RunFrameSources& sources, const std::function<WalkEnd()>& board, const std::function<void()>& runEnd);

// ---- the feeder companion's present flags --------------------------------------
// Slot 1 holding a row: both its flags set; slot 2's both set when it holds a row
// on another feeder, its first cleared when it holds one on the same feeder or
// none. Slot 1 without a row: only its first flag cleared. Slots 3, 4 untouched.
void SetPresentFlags();

// ---- the cover-tape unit --------------------------------------------------------
// Tape steps per cycle: 1 in head mode 0, else 2.
int CoverIncrement(int headMode);
// No next cycle once the count would reach the total.
bool CoverTotalReached(const SetCoverConfig& c, int increment);
// The tape run-out: the half-step of each pass (axis 14 moves twice by it, then
// the seal). blank := m_BlankTotal; the first pass seals what is left of a stroke
// (m_CoverOnceTotal - m_CoverCount), later passes a whole stroke; blank goes down
// by m_CoverOnceTotal per pass while it stays >= 0. A stroke of fewer than 1
// piece makes one pass.
std::vector<std::int32_t> TapeRunOutHalfSteps(const SetCoverConfig& c);

// The run's own copies of the unit's settings and counters, taken at the start.
// Each change goes back through TheCoverTape().SetCounters and SaveCounters with
// the start folder's config.ini.
class CoverTapeRun {
public:
    CoverTapeRun(const SetCoverConfig& config, int headMode, std::string configPath);
    const SetCoverConfig& Config() const { return m_c; }
    int Increment() const { return m_increment; }
    bool NoNextCycle() const { return CoverTotalReached(m_c, m_increment); }
    // One part placed by nozzle 1 or 2: both counters + 1, saved; the total count.
    int CountPlaced();
    // The end of a cycle: the tape step, the seal when a stroke is full, and the
    // run-out once the total is reached (then the run's normal end follows).
    enum class Step { Go, TotalReached, Failed };
    Step EndOfCycle();
    // The tape run-out, then both counters 0 and saved. A stop between passes ends it.
    // false: a move got no reply (the link is declared lost); the run ends at once
    // and the counters stay as they stood.
    bool RunOut();

private:
    void Save();
    SetCoverConfig m_c;
    int m_increment;
    std::string m_path;
};

} // namespace smt
