// The runs of the double-dispensing machine (type 4, run modes 9 to 12) over the
// lamp table's points. Two work tables, Y1 (axis 1) and Y2 (axis 12), move under a
// gantry whose X2 carriage (axis 9) carries the mark camera and the two glue heads
// and whose X carriage (axis 0) carries the placing heads.
//   - LampRunThread dispenses: per board it takes a table, centres the mark camera
//     on the Mark of every point marked "Yes" (cells 5 and 6 of the point's row
//     get the measured offset), then lays red glue and two silver points at every
//     point.
//   - CombinedPlacementThread (modes 11 and 12) places on the table just dispensed,
//     in four-nozzle cycles with the feeder companion, and hands the table back.
// Mode 9: every board on Y1. Mode 10: Y1, Y2, Y1 ... Mode 11: Y1, dispensed and
// placed in turn. Mode 12: each table dispensed while the other is placed.
//
// The lamp steps return true when the run was stopped (a refused move is reported
// by the move and the run goes on). The lamp table is read and written under its
// lock (lamp_table.h); questions go through plat::ShowMessageBox.
#pragma once

#include "run_state/nozzle_work.h"

namespace smt {

// Thread bodies (the run frame's entries for Lamp and CombinedPlacement).
int LampRunThread();
int CombinedPlacementThread();

// The mark camera over the Mark of point `point` on table 1 or 2 at the
// vision-placement speeds, then RecognizeMark. true = stop.
bool CorrectLampPointMark(int table, int point);

// Centres the mark camera on the Mark under it (X2 by -dX, Y or Y2 by +dY per pass)
// with the PCB editor's Mark settings and writes the sum of the moves ("%d") into
// cells 5 and 6 of the point's row. A Mark not found or of the wrong size switches
// the table's output (7 or 8) on and asks PartList.c_Message_30: Yes recognises
// again from the first pass, No or Cancel stops with the output left on.
// true = stop (also for a missing camera).
bool RecognizeMark(int table, int point);

// X2 and the table over target `kind` (2 red glue, 3 and 4 the silver points) of
// `point` at the placement speeds. true = stopped.
bool MoveToLampPoint(int table, int kind, int point);

// The table to the throw Y (axis 1 or 12 alone, 0x54), its output pulsed for the
// exchange delay. true = stopped.
bool ParkTableForExchange(int table);

enum class PlaceMove { Moved, Refused, Stopped };
// The record's head over its row's place point on the table, with the head's place
// correction and the vision correction (0x54 with the head's rotation).
PlaceMove MoveToLampPlacePoint(PlacementRecord& record, int table);

} // namespace smt
