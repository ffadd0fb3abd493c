// Every service the shell asks of the subsystems, with the subsystem that fills it.
#include "app/shell_hooks.h"

#include "app/shellservices.h"
#include "base/hooks.h"

namespace smt {

void RegisterShellHooks(HookRegistry& r) {
    ShellServices& s = GetShellServices();
    r.Declare("ShellServices", s);
    r.Add("link", "ShellServices.isBusy", s.isBusy);
    r.Add("settings", "ShellServices.commModel", s.commModel);
    r.Add("settings", "ShellServices.activeSpeedClass", s.activeSpeedClass);
    r.Add("settings", "ShellServices.pulseFactors", s.pulseFactors);
    r.Add("settings", "ShellServices.positionOffsets", s.positionOffsets);
    r.Add("run", "ShellServices.afterPositionPulses", s.afterPositionPulses);
    r.Add("link", "ShellServices.resetToOrigin", s.resetToOrigin);
    r.Add("link", "ShellServices.positioningCommand", s.positioningCommand);
    r.Add("link", "ShellServices.layoutManualControl", s.layoutManualControl);
    r.Add("job lists", "ShellServices.resetStrategyForMachineType", s.resetStrategyForMachineType);
    r.Add("feeders", "ShellServices.sortFeedList", s.sortFeedList);
    r.Add("feeders", "ShellServices.writeFeedGroupTable", s.writeFeedGroupTable);
    r.Add("cameras", "ShellServices.saveLibraryConfig", s.saveLibraryConfig);
    r.Add("run", "ShellServices.stopRun", s.stopRun);
    r.Add("link", "ShellServices.raiseStopFlags", s.raiseStopFlags);
    r.Add("cameras", "ShellServices.saveCameraPanelConfig", s.saveCameraPanelConfig);
    r.Add("link", "ShellServices.saveManualControlConfig", s.saveManualControlConfig);
    r.Add("cameras", "ShellServices.closeOrdinaryCamera", s.closeOrdinaryCamera);
}

} // namespace smt
