// The steps the placement run calls, from the units that own them: the pick and
// place steps, the mark correction and the on-nozzle vision.
#pragma once

#include "run_state/nozzle_work.h"

#if __has_include("run/pick_place.h")
#include "run/pick_place.h"
#else
namespace smt {
bool DragFeed(PlacementRecord& record, NozzleSlot& slot);
bool MoveToPickPosition(PlacementRecord& record);
bool PickPart(PlacementRecord& record);
bool MeasurePartOverCamera(PlacementRecord& record, int repeat);
bool PlacePart(PlacementRecord& record, int k, int localMarkWanted, int perCellMarks, double cellOffsetX,
               double cellOffsetY);
bool PlacePartStroke(PlacementRecord& record, double zOffset);
bool DiscardPart(PlacementRecord& record);
bool HandleNozzleFailure(PlacementRecord& record, int k, int group, double cellOffsetX, double cellOffsetY);
bool ParkHead();
bool PresentFeederPart(NozzleSlot& slot, int flag);
void AdvanceFeeder(NozzleSlot& slot);
void ClearVisionMoveDone();
} // namespace smt
#endif
#if __has_include("run/mark_correction.h")
#include "run/mark_correction.h"
#else
namespace smt {
bool CorrectByTwoMarks();
}
#endif
#if __has_include("run/nozzle_vision.h")
#include "run/nozzle_vision.h"
#else
namespace smt {
bool FlyVisionPlace(PlacementRecord& record, int placeInSameCommand, double offsetX, double offsetY);
}
#endif
