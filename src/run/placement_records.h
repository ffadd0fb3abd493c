// Feeder resolution and placement records: before a pick cycle the placement
// thread fills one nozzle slot per nozzle that picks (which feeder, which head,
// which nozzle it must carry, whether the pick lies inside the travel), then
// expands each slot into the record the pick, vision and place steps work from.
// After the picks LogPlacement turns the records' angles into rotation targets.
#pragma once

#include <string>

#include "base/globals.h"
#include "run_state/nozzle_work.h"

namespace smt {

// Slot k (1..8, 9 the replenish slot) for the part whose feeder is `feederText`
// in group `groupIndex`; false: the part cannot go on nozzle k in this cycle.
bool FindFeederForPart(int groupIndex, const std::string& feederText, int k);
// The lamp run's slot: the feeder's group position, bank, number and pick height.
bool FindFeederDirection(int groupIndex, const std::string& feederText);
// Whether slot k's pick position (its counted pocket, its head's offset) lies
// inside the X and Y travel; "Feed Pos Error !" for k = 1 when it does not.
bool CheckFeedPosition(const NozzleSlot& slot, int k);
// West bank keeps heads 1, 2; east bank heads 3, 4.
void ClampHeadToBank(int bankCode, int& headTarget);
// The library nozzle for slot k with the same remark as `requiredNozzle` that no
// earlier slot of the cycle has; 0 when none is free.
int AssignNozzleTargets(int k, int requiredNozzle);

// Record k (1..8) from slot k; 9 the spare record from slot 9. false only when
// the tray refill move failed.
bool BuildPlacementRecord(int groupIndex, int k);
// Two records that travel together end at the slower one's speeds.
void MergePairSpeeds(PlacementRecord& a, PlacementRecord& b);
void LogPlacement();
void LogReplenishPlacement(PlacementRecord& record);

// The rotation in degrees of a record: feeder angle against the place angle,
// folded once into [-180, 180]; on machine type 4 only the place angle counts.
double RotationDelta(double feederAngle, double placeAngle, int machineType);

// Nozzle k's X/Y offset from nozzle 1 in pulses (none for head 1 and outside 2..8).

PulsePoint HeadOffsetPulses(int head);

} // namespace smt
