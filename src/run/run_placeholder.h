// Placeholder for the run start and the run end until the automatic run is
// built: a started run ends at once through the part-list steps of the run's
// end, so Start, Pause, Regain and Stop work against the machine meanwhile.
#pragma once

namespace smt {

// Sends the run-start signal and ends the run at once; true.
bool StartRunThreadsPlaceholder(int runMode);
// The run's end as far as it reaches without the run: run-end signal, flags and
// busy bytes cleared, toolbar and panels back, clock stopped.
void FinishRunPlaceholder(bool keepConveyor);
// Fills the run port's start, end and event creation with the above.
void WireRunPlaceholder();

} // namespace smt
