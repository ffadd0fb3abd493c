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
    constexpr auto Q = HookKind::Query;
    CommandPanelPort& c = TheCommandPanel();
    r.Declare("CommandPanelPort", c);
    r.Add("link", "CommandPanelPort.machineType", c.machineType, Q);
    r.Add("link", "CommandPanelPort.headGroup", c.headGroup, Q, 1);
    r.Add("link", "CommandPanelPort.liftOutputFlag", c.liftOutputFlag, Q);
    r.Add("feeders", "CommandPanelPort.feedDelayMs", c.feedDelayMs, Q);
    r.Add("camera calibration", "CommandPanelPort.displayInPulses", c.displayInPulses, Q);
    r.Add("link", "CommandPanelPort.showPosition", c.showPosition, Q);
    r.Add("link", "CommandPanelPort.showCommandCounter", c.showCommandCounter, Q);
    r.Add("link", "CommandPanelPort.setNozzleCheck", c.setNozzleCheck, Q);
    r.Add("link", "CommandPanelPort.clearNozzleChecks", c.clearNozzleChecks, Q);
    r.Add("cameras", "CommandPanelPort.setCurrentCamera", c.setCurrentCamera, Q);
    r.Add("cameras", "CommandPanelPort.setSelectedTable", c.setSelectedTable, Q);
    r.Add("cameras", "CommandPanelPort.highSpeedCamera", c.highSpeedCamera, Q);
    r.Add("cameras", "CommandPanelPort.switchCameraStreams", c.switchCameraStreams, Q);
    r.Add("cameras", "CommandPanelPort.flyFrameEvent", c.flyFrameEvent, Q);
    r.Add("link", "CommandPanelPort.enableResetButton", c.enableResetButton, Q);
    r.Add("link", "CommandPanelPort.startHoming", c.startHoming);
    r.Add("cameras", "CommandPanelPort.applyMarkCameraVision", c.applyMarkCameraVision, Q);
    r.Add("link", "CommandPanelPort.resetToOriginFlag", c.resetToOriginFlag, Q);
    r.Add("link", "CommandPanelPort.clearResetToOriginFlag", c.clearResetToOriginFlag, Q);
    r.Add("link", "CommandPanelPort.clearViewBusyByte", c.clearViewBusyByte, Q);
    r.Add("link", "CommandPanelPort.moveCameraToVisualOrigin", c.moveCameraToVisualOrigin);
    r.Add("job lists", "CommandPanelPort.runSelect", c.runSelect, Q);
    r.Add("settings", "CommandPanelPort.conveyorWidthPulses", c.conveyorWidthPulses, Q);
    r.Add("settings", "CommandPanelPort.enableConveyorControl", c.enableConveyorControl, Q);

    ConnectPort& cp = TheConnectPort();
    r.Declare("ConnectPort", cp);
    r.Add("link", "ConnectPort.comNumber", cp.comNumber, Q, 1);
    r.Add("link", "ConnectPort.setComNumber", cp.setComNumber, Q);
    r.Add("cameras", "ConnectPort.liveViewOpen", cp.liveViewOpen, Q, true);
    r.Add("cameras", "ConnectPort.openLiveView", cp.openLiveView, Q);

    HomingPort& hp = TheHomingPort();
    r.Declare("HomingPort", hp);
    r.Add("link", "HomingPort.machineType", hp.machineType, Q);
    r.Add("link", "HomingPort.ethernet", hp.ethernet, Q);
    r.Add("link", "HomingPort.resetSpeeds", hp.resetSpeeds, Q);
    r.Add("settings", "HomingPort.axisSwitches", hp.axisSwitches, Q);
    r.Add("job lists", "HomingPort.recordReference", hp.recordReference, Q);

    JogPort& j = TheManualJog().Port();
    r.Declare("JogPort", j);
    r.Add("link", "JogPort.showStepText", j.showStepText, Q);
    r.Add("link", "JogPort.showBank", j.showBank, Q);
    r.Add("link", "JogPort.enableControl", j.enableControl, Q);
    r.Add("link", "JogPort.showHeadGroup", j.showHeadGroup, Q);
    r.Add("feeders", "JogPort.openLength", j.openLength, Q);
    r.Add("feeders", "JogPort.closeLength", j.closeLength, Q);
    r.Add("link", "JogPort.runSelect", j.runSelect, Q);
    r.Add("job lists", "JogPort.pcbMarkPoints", j.pcbMarkPoints);
    r.Add("job lists", "JogPort.markOffsets", j.markOffsets, Q);
    r.Add("job lists", "JogPort.storeManualMarkOffsets", j.storeManualMarkOffsets);
    r.Add("job lists", "JogPort.computeTwoMarkCorrection", j.computeTwoMarkCorrection, Q);
    r.Add("link", "JogPort.outOfRangeMessage", j.outOfRangeMessage, Q);

    LinkHooks& h = GetLinkHooks();
    r.Declare("LinkHooks", h);
    r.Add("link", "LinkHooks.machineType", h.machineType, Q);
    r.Add("settings", "LinkHooks.debugModel", h.debugModel, Q);
    r.Add("settings", "LinkHooks.sendLimitsOnLink", h.sendLimitsOnLink, Q);
    r.Add("run", "LinkHooks.startRun", h.startRun);
    r.Add("run", "LinkHooks.pauseRun", h.pauseRun);
    r.Add("run", "LinkHooks.regainRun", h.regainRun);
    r.Add("run", "LinkHooks.stopRun", h.stopRun);
    r.Add("run", "LinkHooks.runPaused", h.runPaused, Q);
    r.Add("link", "LinkHooks.nextSpeedGear", h.nextSpeedGear, Q);
    r.Add("link", "LinkHooks.jogAxis", h.jogAxis);
    r.Add("link", "LinkHooks.setSpeedGear", h.setSpeedGear, Q);
    r.Add("link", "LinkHooks.resetButton", h.resetButton);
    r.Add("link", "LinkHooks.onLinkEstablished", h.onLinkEstablished, Q);
    r.Add("link", "LinkHooks.onResetFinished", h.onResetFinished, Q);
    r.Add("link", "LinkHooks.onResetFinishedModel4", h.onResetFinishedModel4, Q);
    r.Add("link", "LinkHooks.showVacuumReading", h.showVacuumReading, Q);
    r.Add("link", "LinkHooks.startSendAxisLimits", h.startSendAxisLimits, Q);
    r.Add("link", "LinkHooks.onMachineFault", h.onMachineFault, Q);
    r.Add("link", "LinkHooks.showReplyCounter", h.showReplyCounter, Q);
    r.Add("link", "LinkHooks.showZFieldZero", h.showZFieldZero, Q);
    r.Add("link", "LinkHooks.showNozzleValues", h.showNozzleValues, Q);
    r.Add("link", "LinkHooks.enableManualControls", h.enableManualControls, Q);
    r.Add("link", "LinkHooks.setConnectCaption", h.setConnectCaption, Q);
    r.Add("link", "LinkHooks.openCameraOnConnect", h.openCameraOnConnect, Q);

    PositioningPort& p = ThePositioningPort();
    r.Declare("PositioningPort", p);
    r.Add("job lists", "PositioningPort.currentPcbRecord", p.currentPcbRecord, Q);
    r.Add("job lists", "PositioningPort.currentPcbCopy", p.currentPcbCopy, Q);
    r.Add("job lists", "PositioningPort.pcbVision", p.pcbVision, Q);
    r.Add("cameras", "PositioningPort.cameraRecords", p.cameraRecords, Q);
    r.Add("cameras", "PositioningPort.selectMarkCamera", p.selectMarkCamera, Q);
    r.Add("cameras", "PositioningPort.selectVisionCamera", p.selectVisionCamera, Q);
    r.Add("cameras", "PositioningPort.setVisionParameters", p.setVisionParameters, Q);
    r.Add("cameras", "PositioningPort.setVisionTestNozzle", p.setVisionTestNozzle, Q);
    r.Add("cameras", "PositioningPort.setFrameSize", p.setFrameSize, Q);
    r.Add("run", "PositioningPort.recognizeVisualOrigin", p.recognizeVisualOrigin, Q);
    r.Add("link", "PositioningPort.headGroup", p.headGroup, Q, 1);

    r.Add("settings", "ConveyorInUseSource", ConveyorInUseSource(), Q);
    r.Add("link", "JogKeyOf", JogKeyOf(), Q, ManualJog::Key::Other);
    r.Add("job lists", "PartListToolButtons", PartListToolButtons(), Q);
}

} // namespace smt
