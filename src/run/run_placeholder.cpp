#include "run/run_placeholder.h"

#include "joblist/part_list.h"
#include "joblist/run_port.h"
#include "joblist/run_toolbar.h"
#include "link/commands.h"
#include "run/run_events.h"

namespace smt {

bool StartRunThreadsPlaceholder(int) {
    SetSpeedGear(1, 0);
    FinishRunPlaceholder(true);
    return true;
}

void FinishRunPlaceholder(bool) {
    FinishRunPartListSteps(ThePartList());
    SetSpeedGear(4, 0);
}

void WireRunPlaceholder() {
    RunPort& port = TheRunPort();
    port.createRunEvents = [] { CreateRunEvents(); };
    port.startRunThreads = [](int mode) { return StartRunThreadsPlaceholder(mode); };
    port.finishRun = [](bool keep) { FinishRunPlaceholder(keep); };
}

} // namespace smt
