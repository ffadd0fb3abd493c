// Every hook the run adds, with the subsystem that fills it.
#include "run/run_hooks.h"

#include "base/hooks.h"
#include "run/run_rows.h"

namespace smt {

void RegisterRunHooks(HookRegistry& r) {
    constexpr auto Q = HookKind::Query;
    RowSearchLookups& rows = TheRowSearchLookups();
    r.Declare("RowSearchLookups", rows);
    r.Add("run", "RowSearchLookups.FindFeederForPart", rows.FindFeederForPart, Q, false);
    r.Add("run", "RowSearchLookups.FindFeederDirection", rows.FindFeederDirection, Q, false);
}

} // namespace smt
