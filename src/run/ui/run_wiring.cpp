#include "run/ui/run_wiring.h"

#include "app/shellservices.h"
#include "joblist/part_list.h"
#include "joblist/run_port.h"
#include "run_state/run_events.h"
#include "run/run_frame.h"
#include "run/placement_records.h"
#include "run/run_geometry.h"
#include "run/run_rows.h"
#include "settings/rederive_hooks.h"

namespace smt {

namespace {

// The fly geometry follows the pulse values first; whatever else was installed
// (the nozzle library's pulse table, last) comes after it.
struct HeadOffsetsFirst {
    std::function<void()> then;
    void operator()() const {
        UpdateHeadOffsets();
        if (then) then();
    }
};

} // namespace

void WireRunFrame() {
    RunPort& port = TheRunPort();
    port.createRunEvents = [] { CreateRunEvents(); };
    port.startRunThreads = [](int mode) { return StartRunThreads(mode); };
    port.finishRun = [](bool keep) { FinishRun(ThePartList(), keep); };
    port.computeTwoMarkCorrection = [](double a, double b, double c, double d) { ComputeTwoMarkCorrection(a, b, c, d); };
    port.runThreadsLive = [] { return LiveRunThreads() > 0; };

    RowSearchLookups& rows = TheRowSearchLookups();
    rows.FindFeederForPart = [](int group, const std::string& feeder, int k) { return FindFeederForPart(group, feeder, k); };
    rows.FindFeederDirection = [](int group, const std::string& feeder) { return FindFeederDirection(group, feeder); };

    TheSettingsRederivations().updateHeadOffsets = [] { UpdateHeadOffsets(); };

    ShellServices& shell = GetShellServices();
    shell.stopRun = [] { StopRunForClosing(); };
    if (!shell.afterPositionPulses.target<HeadOffsetsFirst>()) shell.afterPositionPulses = HeadOffsetsFirst{shell.afterPositionPulses};
}

} // namespace smt
