// Every service the shell asks of the subsystems, with the subsystem that fills it.
#include "app/shell_hooks.h"

#include "app/shellservices.h"
#include "base/hooks.h"

namespace smt {

void RegisterShellHooks(HookRegistry& r) {
    constexpr auto Q = HookKind::Query;
    ShellServices& s = GetShellServices();
    r.Declare("ShellServices", s);
    r.Add("link", "ShellServices.isBusy", s.isBusy, Q);
    r.Add("settings", "ShellServices.commModel", s.commModel, Q);
    r.Add("settings", "ShellServices.activeSpeedClass", s.activeSpeedClass, Q);
    r.Add("settings", "ShellServices.pulseFactors", s.pulseFactors, Q);
    r.Add("settings", "ShellServices.positionOffsets", s.positionOffsets, Q);
    r.Add("run", "ShellServices.afterPositionPulses", s.afterPositionPulses, Q);
    r.Add("link", "ShellServices.resetToOrigin", s.resetToOrigin);
    r.Add("link", "ShellServices.positioningCommand", s.positioningCommand);
    r.Add("link", "ShellServices.layoutManualControl", s.layoutManualControl, Q);
    r.Add("job lists", "ShellServices.resetStrategyForMachineType", s.resetStrategyForMachineType, Q);
    r.Add("feeders", "ShellServices.sortFeedList", s.sortFeedList, Q);
    r.Add("feeders", "ShellServices.writeFeedGroupTable", s.writeFeedGroupTable, Q);
    r.Add("cameras", "ShellServices.saveLibraryConfig", s.saveLibraryConfig, Q);
    r.Add("run", "ShellServices.stopRun", s.stopRun, Q);
    r.Add("link", "ShellServices.raiseStopFlags", s.raiseStopFlags, Q);
    r.Add("cameras", "ShellServices.saveCameraPanelConfig", s.saveCameraPanelConfig, Q, true);
    r.Add("link", "ShellServices.saveManualControlConfig", s.saveManualControlConfig, Q);
    r.Add("cameras", "ShellServices.closeOrdinaryCamera", s.closeOrdinaryCamera, Q);
}

} // namespace smt
