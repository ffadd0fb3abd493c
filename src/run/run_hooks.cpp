// Every hook the run adds, with the subsystem that fills it.
#include "run/run_hooks.h"

#include "base/hooks.h"
#include "run/pick_place.h"
#include "run/run_rows.h"

namespace smt {

void RegisterRunHooks(HookRegistry& r) {
    RowSearchLookups& rows = TheRowSearchLookups();
    r.Declare("RowSearchLookups", rows);
    r.Add("run", "RowSearchLookups.FindFeederForPart", rows.FindFeederForPart);
    r.Add("run", "RowSearchLookups.FindFeederDirection", rows.FindFeederDirection);
    // The place and measure steps' camera steps (a test puts its own).
    PickPlaceVision& vision = ThePickPlaceVision();
    r.Declare("PickPlaceVision", vision);
    r.Add("run", "PickPlaceVision.recognizeLocalMark", vision.recognizeLocalMark);
    r.Add("run", "PickPlaceVision.measurePartOnNozzle", vision.measurePartOnNozzle);
}

} // namespace smt
