// The conveyor companion: while a run places or dispenses boards, it carries them
// through the automatic conveyor's four zones (1 in, 2 to the work position and
// clamped, 3 off the work position, 4 out of the machine) and brings the next
// board into zone 1 while the run works on the present one.
//
// Board events between the run thread and the companion (run_state/run_events.h):
//   companion: zone 2, clamp, then sets g_hBoardArrived;
//   run thread: waits g_hBoardArrived before each board; after the board's last
//               cell counts it off the PCB editor's m_PcbBoardCount
//               (RunFrameSources), moves the camera to its stop position and
//               sets g_hBoardDone;
//   companion: waits g_hBoardDone, then zone 3; while m_PcbBoardCount is not 0
//               the next board, otherwise zone 4 and the end.
// A single-board run (the placement or dispensing list runs selected rows or from
// a row) takes one board: after its release zones 3 and 4, and the end.
// Stop and FinishRun(…, 0) clear g_ConveyorContinue and set g_hBoardDone; every
// end of the companion sets g_hBoardArrived, so a run thread waiting for a board
// wakes and sees its stop flag. A zone that fails (no reply within the conveyor's
// bound, the link gone) ends the run: g_RunContinue and g_ConveyorContinue are
// cleared and g_hBoardArrived set, so the run thread leaves through FinishRun(…, 0).
#pragma once

namespace smt {

// The companion's body (the run frame's ConveyorZone2 entry). The part list's
// m_ConveyorBusy is set while it runs and cleared on every end.
void ConveyorZone2Thread();

}  // namespace smt
