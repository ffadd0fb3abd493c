// Every hook of the machine link's ports, with the subsystem that fills it.
#include "link/link_hooks.h"

#include "base/hooks.h"
#include "link/commands.h"
#include "link/connect.h"
#include "link/homing.h"
#include "link/jog.h"
#include "link/link_state.h"
#include "link/manual_control.h"
#include "link/positioning.h"

namespace smt {

void RegisterLinkHooks(HookRegistry& r) {
    CommandPanelPort& c = TheCommandPanel();
    r.Declare("CommandPanelPort", c);
    r.Add("link", "CommandPanelPort.machineType", c.machineType);
    r.Add("link", "CommandPanelPort.headGroup", c.headGroup);
    r.Add("link", "CommandPanelPort.liftOutputFlag", c.liftOutputFlag);
    r.Add("feeders", "CommandPanelPort.feedDelayMs", c.feedDelayMs);
    r.Add("camera calibration", "CommandPanelPort.displayInPulses", c.displayInPulses);
    r.Add("link", "CommandPanelPort.showPosition", c.showPosition);
    r.Add("link", "CommandPanelPort.showCommandCounter", c.showCommandCounter);
    r.Add("link", "CommandPanelPort.setNozzleCheck", c.setNozzleCheck);
    r.Add("link", "CommandPanelPort.clearNozzleChecks", c.clearNozzleChecks);
    r.Add("cameras", "CommandPanelPort.setCurrentCamera", c.setCurrentCamera);
    r.Add("cameras", "CommandPanelPort.setSelectedTable", c.setSelectedTable);
    r.Add("cameras", "CommandPanelPort.highSpeedCamera", c.highSpeedCamera);
    r.Add("cameras", "CommandPanelPort.switchCameraStreams", c.switchCameraStreams);
    r.Add("cameras", "CommandPanelPort.flyFrameEvent", c.flyFrameEvent);
    r.Add("link", "CommandPanelPort.enableResetButton", c.enableResetButton);
    r.Add("link", "CommandPanelPort.startHoming", c.startHoming);
    r.Add("cameras", "CommandPanelPort.applyMarkCameraVision", c.applyMarkCameraVision);
    r.Add("link", "CommandPanelPort.resetToOriginFlag", c.resetToOriginFlag);
    r.Add("link", "CommandPanelPort.clearResetToOriginFlag", c.clearResetToOriginFlag);
    r.Add("link", "CommandPanelPort.clearViewBusyByte", c.clearViewBusyByte);
    r.Add("link", "CommandPanelPort.moveCameraToVisualOrigin", c.moveCameraToVisualOrigin);
    r.Add("job lists", "CommandPanelPort.runSelect", c.runSelect);
    r.Add("settings", "CommandPanelPort.conveyorWidthPulses", c.conveyorWidthPulses);
    r.Add("settings", "CommandPanelPort.enableConveyorControl", c.enableConveyorControl);

    ConnectPort& cp = TheConnectPort();
    r.Declare("ConnectPort", cp);
    r.Add("link", "ConnectPort.comNumber", cp.comNumber);
    r.Add("link", "ConnectPort.setComNumber", cp.setComNumber);
    r.Add("cameras", "ConnectPort.liveViewOpen", cp.liveViewOpen);
    r.Add("cameras", "ConnectPort.openLiveView", cp.openLiveView);

    HomingPort& hp = TheHomingPort();
    r.Declare("HomingPort", hp);
    r.Add("link", "HomingPort.machineType", hp.machineType);
    r.Add("link", "HomingPort.ethernet", hp.ethernet);
    r.Add("link", "HomingPort.resetSpeeds", hp.resetSpeeds);
    r.Add("settings", "HomingPort.axisSwitches", hp.axisSwitches);
    r.Add("job lists", "HomingPort.recordReference", hp.recordReference);

    JogPort& j = TheManualJog().Port();
    r.Declare("JogPort", j);
    r.Add("link", "JogPort.showStepText", j.showStepText);
    r.Add("link", "JogPort.showBank", j.showBank);
    r.Add("link", "JogPort.enableControl", j.enableControl);
    r.Add("link", "JogPort.showHeadGroup", j.showHeadGroup);
    r.Add("feeders", "JogPort.openLength", j.openLength);
    r.Add("feeders", "JogPort.closeLength", j.closeLength);
    r.Add("link", "JogPort.runSelect", j.runSelect);
    r.Add("job lists", "JogPort.pcbMarkPoints", j.pcbMarkPoints);
    r.Add("job lists", "JogPort.markOffsets", j.markOffsets);
    r.Add("job lists", "JogPort.storeManualMarkOffsets", j.storeManualMarkOffsets);
    r.Add("job lists", "JogPort.computeTwoMarkCorrection", j.computeTwoMarkCorrection);
    r.Add("link", "JogPort.outOfRangeMessage", j.outOfRangeMessage);

    LinkHooks& h = GetLinkHooks();
    r.Declare("LinkHooks", h);
    r.Add("link", "LinkHooks.machineType", h.machineType);
    r.Add("settings", "LinkHooks.debugModel", h.debugModel);
    r.Add("settings", "LinkHooks.sendLimitsOnLink", h.sendLimitsOnLink);
    r.Add("run", "LinkHooks.startRun", h.startRun);
    r.Add("run", "LinkHooks.pauseRun", h.pauseRun);
    r.Add("run", "LinkHooks.regainRun", h.regainRun);
    r.Add("run", "LinkHooks.stopRun", h.stopRun);
    r.Add("run", "LinkHooks.runPaused", h.runPaused);
    r.Add("link", "LinkHooks.nextSpeedGear", h.nextSpeedGear);
    r.Add("link", "LinkHooks.jogAxis", h.jogAxis);
    r.Add("link", "LinkHooks.setSpeedGear", h.setSpeedGear);
    r.Add("link", "LinkHooks.resetButton", h.resetButton);
    r.Add("link", "LinkHooks.onLinkEstablished", h.onLinkEstablished);
    r.Add("link", "LinkHooks.onResetFinished", h.onResetFinished);
    r.Add("link", "LinkHooks.onResetFinishedModel4", h.onResetFinishedModel4);
    r.Add("link", "LinkHooks.showVacuumReading", h.showVacuumReading);
    r.Add("link", "LinkHooks.startSendAxisLimits", h.startSendAxisLimits);
    r.Add("link", "LinkHooks.onMachineFault", h.onMachineFault);
    r.Add("link", "LinkHooks.showReplyCounter", h.showReplyCounter);
    r.Add("link", "LinkHooks.showZFieldZero", h.showZFieldZero);
    r.Add("link", "LinkHooks.showNozzleValues", h.showNozzleValues);
    r.Add("link", "LinkHooks.enableManualControls", h.enableManualControls);
    r.Add("link", "LinkHooks.setConnectCaption", h.setConnectCaption);
    r.Add("link", "LinkHooks.openCameraOnConnect", h.openCameraOnConnect);

    PositioningPort& p = ThePositioningPort();
    r.Declare("PositioningPort", p);
    r.Add("job lists", "PositioningPort.currentPcbRecord", p.currentPcbRecord);
    r.Add("job lists", "PositioningPort.currentPcbCopy", p.currentPcbCopy);
    r.Add("job lists", "PositioningPort.pcbVision", p.pcbVision);
    r.Add("cameras", "PositioningPort.cameraRecords", p.cameraRecords);
    r.Add("cameras", "PositioningPort.selectMarkCamera", p.selectMarkCamera);
    r.Add("cameras", "PositioningPort.selectVisionCamera", p.selectVisionCamera);
    r.Add("cameras", "PositioningPort.setVisionParameters", p.setVisionParameters);
    r.Add("cameras", "PositioningPort.setVisionTestNozzle", p.setVisionTestNozzle);
    r.Add("cameras", "PositioningPort.setFrameSize", p.setFrameSize);
    r.Add("run", "PositioningPort.recognizeVisualOrigin", p.recognizeVisualOrigin);
    r.Add("link", "PositioningPort.headGroup", p.headGroup);

    r.Add("settings", "ConveyorInUseSource", ConveyorInUseSource());
    r.Add("link", "JogKeyOf", JogKeyOf());
    r.Add("job lists", "PartListToolButtons", PartListToolButtons());
}

} // namespace smt
