// The pick and place steps the run threads drive a placement cycle with: present
// the part at its feeder and advance the feeder after the pick, move over the
// pick position and pick, measure the part over a vision camera, place it,
// discard a bad part, and recover from a failed pick, vacuum or vision check;
// plus the table steps of the lamp and combined runs and the moves of the
// dispensing and check runs.
//
// Every step works on one placement record (g_NozzleWork) and returns true to go
// on and false to end the run; the table steps (MoveToTablePick, DiscardOnTable,
// ReleaseTable) are the exception: true when the run was stopped during the step.
// After its moves a step passes the pause gate and tests g_RunContinue.
// The steps run on the run threads; PresentFeederPart and AdvanceFeeder also on
// the feeder companion. Row icons and the current-row number go through the part
// list's row store; boxes through plat::ShowMessageBox.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include "base/globals.h"
#include "feeders/mark_library.h"
#include "link/command_frames.h"
#include "run_state/nozzle_work.h"

namespace smt {

// ---- run flags kept by the steps (they live for the run) ----------------------

// The row being placed is a via-type local mark row (mark text with "Via-"/"via-").
extern std::atomic<std::uint8_t> g_ViaRow;
// The replenish pass of HandleNozzleFailure has presented its part.
extern std::atomic<std::uint8_t> g_ReplenishPresented;
// A vision move of this cycle has been made (the next camera move may be a plain XYA move).
extern std::atomic<std::uint8_t> g_VisionMoveDone;

// The automatic feeders that have presented a part and not yet been released:
// bit n - 1 of mask 0 for feeders 1..32, of mask 1 for 33..64, of mask 2 for 65..96.
inline constexpr int kFeederMaskCount = 3;
extern std::array<std::atomic<std::uint32_t>, kFeederMaskCount> g_FeederMasks;
// Sets or clears feeder `number`'s bit (1..96; others do nothing); the mask
// group 1..3 of the feeder, 0 outside.
int SetFeederMaskBit(int number, bool on);

// Where ParkHead goes, in pulses. A via row's mark position is stored here; it
// starts at X 0, Y 0 (the home corner) until a via row stores one.
extern std::atomic<std::int32_t> g_ParkPulseX, g_ParkPulseY;

// The two moves of the dispensing and check runs over a board point.
enum class PointMove : std::uint8_t {
    XY = 0x35,   // MoveXY (0x53)
    XYA = 0x40,  // MoveXYA (0x64), flag 0x80
};

// ---- the camera steps the place and measure steps call -------------------------
// The local mark's centring and the on-nozzle measurement live with the mark
// correction and the on-nozzle vision (RecognizeSpecifiedMark, mode 1, with the
// mark entry's values; MeasurePartOnNozzle); these are how the steps reach them,
// so a test can replace them. Empty: the step calls them directly.
struct PickPlaceVision {
    // Centres the mark camera on a local mark with the entry's parameters and
    // adds its moves to dx, dy (pulses); false: not recognised (reported) or stopped.
    std::function<bool(const MarkEntry& mark, std::int32_t& dx, std::int32_t& dy)> recognizeLocalMark;
    // MeasurePartOnNozzle: fills correctionX/Y/A or sets visionFailed; false: stop the run.
    std::function<bool(PlacementRecord& record, bool synchronous)> measurePartOnNozzle;
};
PickPlaceVision& ThePickPlaceVision();

// ---- feeders ----------------------------------------------------------------------

// Makes the slot's feeder present a part by its feed mode, then counts the
// feeder row's quantity (cell 26) down in the feeder group and the feeder list.
// `replenish` is set by the replenish pass. false: the feed command failed.
bool PresentFeederPart(NozzleSlot& slot, bool replenish);
// Feed modes 1 and 7: clears the feeder's bit and releases the feeder. false: the
// release command failed (other modes send nothing: true).
bool AdvanceFeeder(NozzleSlot& slot);
// Feed mode 6: the drag pin pulls the tape by the slot's feed coordinate.
bool DragFeed(PlacementRecord& record, NozzleSlot& slot);

// ---- pick ---------------------------------------------------------------------------

bool MoveToPickPosition(PlacementRecord& record);
// Pick stroke, with the dipping cycle for feed modes 7 and 8 on types 0..6.
bool PickPart(PlacementRecord& record);
// Type 7 (Ethernet): one nozzle by 0x74, all loaded records 1..8 by 0x75.
bool PickEightHead(PlacementRecord& record, NozzleSlot& slot);
bool PickAllEightHeads();

// The payloads as the two picks fill them (exposed for the byte tests).
MoveAndPick74Payload BuildPick74(const PlacementRecord& record, const NozzleSlot& slot);
// `records` and `slots` are 1..8; the nozzle mask gets bit 7 for the first loaded
// record down to bit 0 for the eighth.
MoveAndPick75Payload BuildPick75(const std::array<PlacementRecord, 8>& records, const std::array<NozzleSlot, 8>& slots);

// The feed-mode byte of the combined picks: the bank for IntegrationFeed, 10 for
// AutoFeed and CL_DIP, 11 for VibrationFeed, 13 otherwise.
std::uint8_t FeedModeByte(int feedMode, int bankCode);

// ---- measure and place ----------------------------------------------------------

// Over vision camera 1 or 2, vacuum check (types 0..6), then the measurement.
// A low vacuum reading sets vacuumFailedRow and row icon 7 and returns true.
bool MeasurePartOverCamera(PlacementRecord& record, bool repeat);

// Where nozzle k (1..8, 9 the replenish record) places the record's row, in
// pulses, with the rotation targets it sets (exposed for the geometry tests).
struct PlaceTarget {
    PulsePoint target;      // of nozzle k, before any local mark
    bool localMark = false; // the row's mark was found in the mark library
    bool via = false;
    MarkEntry mark;
};
PlaceTarget ComputePlaceTarget(PlacementRecord& record, int k, bool localMarkWanted, bool perCellMarks,
                               double cellOffsetX, double cellOffsetY);

bool PlacePart(PlacementRecord& record, int k, bool localMarkWanted, bool perCellMarks, double cellOffsetX,
               double cellOffsetY);
// The place stroke; g_VacuumCheckOk holds the vacuum check afterwards.
bool PlacePartStroke(PlacementRecord& record, double zOffset);
// The stroke's drive and depth in pulses (at least 1 before the pair's sign).
PlaceStrokeArgs BuildPlaceStroke(const PlacementRecord& record, double zOffset);

// Type 7 together mode: PlacePart stages every nozzle into one 0x78 payload;
// the run thread clears it before the cycle's places and sends it after them.
void ClearTogetherPlace();
const MoveAndPlace78Payload& TogetherPlacePayload();
// MoveAndPlace78 with the staged payload; books X, Y and A as the board moved.
bool SendTogetherPlace();
// The 0x77 payload of nozzle k's place (exposed for the byte tests).
MoveAndPlace77Payload BuildPlace77(const PlacementRecord& record, std::int32_t dX, std::int32_t dY);

bool DiscardPart(PlacementRecord& record);
bool ParkHead();

// Whether nozzle k's place target for the record's row lies within the travel
// limits, checked before the pick so that no part is picked for a place the
// machine cannot reach. A row with a local mark counts as within: its moves are
// checked as they go.
bool PlaceTargetWithinTravel(PlacementRecord& record, int k, bool perCellMarks, double cellOffsetX,
                             double cellOffsetY);
// A part still on the record's nozzle when the run ends: over the discard place and
// let go there, without the pause gate or the run flags (the run is ending). false:
// the move was refused or went unanswered, and nothing was let go.
bool ThrowOffAtRunEnd(const PlacementRecord& record);

// ---- recovery ------------------------------------------------------------------------

// After placing record k (1..8): a failed vacuum or vision check is retried from
// the replenish slot or put to the operator (Yes goes on, No ends the run,
// Cancel picks another part). `group` is the feeder group, the offsets those of
// the current panel cell (mm).
bool HandleNozzleFailure(PlacementRecord& record, int k, int group, double cellOffsetX, double cellOffsetY);
// Copies slot k's assignment into the replenish slot 9; "feed is no find !" outside 1..8.
bool CopyRecordToReplenishSlot(int k);

// ---- lamp and combined runs: true = stopped --------------------------------------

bool MoveToTablePick(PlacementRecord& record, int table);
bool DiscardOnTable(PlacementRecord& record);
bool ReleaseTable(int table);

// ---- dispensing and check runs ------------------------------------------------------

// Over dispensing row `row` with the dispenser's offset.
bool MoveToDispensePoint(int row, PointMove move, bool perCellMarks, double cellOffsetX, double cellOffsetY);
// The mark camera over (x, y) mm.
bool MoveCameraToPoint(double xMm, double yMm);
// The mark camera over the record's row on the board; row icon 6.
bool MoveCameraToRow(PlacementRecord& record, bool perCellMarks, double cellOffsetX, double cellOffsetY);

}  // namespace smt
