// Every hook of the feeder subsystem's ports, with the subsystem that fills it.
#include "feeders/feeders_hooks.h"

#include "base/hooks.h"
#include "feeders/feed_list.h"
#include "feeders/part_list_port.h"
#include "feeders/strategy_port.h"
#include "vision/camera_panel_port.h"

namespace smt {

void RegisterFeedersHooks(HookRegistry& r) {
    PartListPort& parts = ThePartListPort();
    r.Declare("PartListPort", parts);
    r.Add("job lists", "PartListPort.updateRowsForFeeder", parts.updateRowsForFeeder);
    r.Add("job lists", "PartListPort.isFeederUsed", parts.isFeederUsed);
    r.Add("job lists", "PartListPort.renameOwnMark", parts.renameOwnMark);
    r.Add("job lists", "PartListPort.placementPartNames", parts.placementPartNames);
    r.Add("job lists", "PartListPort.mirrorDropDown", parts.mirrorDropDown);
    r.Add("job lists", "PartListPort.rowEditorOpen", parts.rowEditorOpen);
    r.Add("job lists", "PartListPort.setRowEditorFeeder", parts.setRowEditorFeeder);

    StrategyPort& strategy = TheStrategyPort();
    r.Declare("StrategyPort", strategy);
    r.Add("job lists", "StrategyPort.m_19NozzleLibrary", strategy.m_19NozzleLibrary);
    r.Add("job lists", "StrategyPort.m_AutoChangeNozzle", strategy.m_AutoChangeNozzle);
    r.Add("job lists", "StrategyPort.m_ChangeNozzleSelect", strategy.m_ChangeNozzleSelect);
    r.Add("job lists", "StrategyPort.m_RunSelect", strategy.m_RunSelect);

    FeedListPort& list = TheFeedListPort();
    r.Declare("FeedListPort", list);
    r.Add("feeders", "FeedListPort.showCell", list.showCell);
    r.Add("feeders", "FeedListPort.storePickHeight", list.storePickHeight);
    r.Add("feeders", "FeedListPort.openEditor", list.openEditor);

    CameraPanelPort& panel = TheCameraPanelPort();
    r.Declare("CameraPanelPort", panel);
    r.Add("cameras", "CameraPanelPort.selectMarkCamera", panel.selectMarkCamera);
    r.Add("cameras", "CameraPanelPort.currentCamera", panel.currentCamera);
    r.Add("cameras", "CameraPanelPort.setImageFeature", panel.setImageFeature);
    r.Add("cameras", "CameraPanelPort.cameraNames", panel.cameraNames);
    r.Add("cameras", "CameraPanelPort.visualSize", panel.visualSize);
}

} // namespace smt
