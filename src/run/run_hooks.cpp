// Every hook the run adds, with the subsystem that fills it.
#include "run/run_hooks.h"

#include "base/hooks.h"
#include "run/pick_place.h"
#include "run/run_rows.h"

namespace smt {

void RegisterRunHooks(HookRegistry& r) {
    constexpr auto Q = HookKind::Query;
    RowSearchLookups& rows = TheRowSearchLookups();
    r.Declare("RowSearchLookups", rows);
    r.Add("run", "RowSearchLookups.FindFeederForPart", rows.FindFeederForPart, Q, false);
    r.Add("run", "RowSearchLookups.FindFeederDirection", rows.FindFeederDirection, Q, false);
    // The place and measure steps' camera steps (a test puts its own).
    PickPlaceVision& vision = ThePickPlaceVision();
    r.Declare("PickPlaceVision", vision);
    r.Add("run", "PickPlaceVision.recognizeLocalMark", vision.recognizeLocalMark, Q, false);
    r.Add("run", "PickPlaceVision.measurePartOnNozzle", vision.measurePartOnNozzle, Q, false);
}

} // namespace smt
