// The placement run of the eight-head machine (type 7, each nozzle with its own Z
// and A drive). It walks boards, panel cells and marks as the placement run does,
// but alone: no feeder companion and no cover-tape unit. One thread fills up to
// eight nozzle slots from the row cursor, picks them nozzle by nozzle (0x74) or
// all in one command (0x75), measures them (flying and over the camera in one
// cycle), places them (0x77 each, or staged into one 0x78), discards what failed
// and puts a failed nozzle to the operator: Yes goes on, No ends the run, Cancel
// picks the part again. The next cycle's rows are chosen once this one is placed.
#pragma once

#include <string>

namespace smt {

// Thread body (the run frame's entry for EightHead).
int EightHeadRunThread();

// How many slots a cycle fills for a head count: 1, 2, 4 or 8.
int EightHeadSlotCount(int headCount);

// Head mode → the records 1..n the vision step looks at (n 1, 2, 4 or 8).
int EightHeadVisionRecords(int headMode);

// The question after a failed vacuum or vision check, with the row's text.
std::string EightHeadFailureText(bool vacuumFailed, const std::string& rowText);

} // namespace smt
