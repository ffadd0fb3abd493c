// Every hook of the feeder subsystem's ports, with the subsystem that fills it.
#include "feeders/feeders_hooks.h"

#include "base/hooks.h"
#include "feeders/feed_list.h"
#include "feeders/part_list_port.h"
#include "feeders/strategy_port.h"
#include "vision/camera_panel_port.h"

namespace smt {

void RegisterFeedersHooks(HookRegistry& r) {
    constexpr auto Q = HookKind::Query;
    PartListPort& parts = ThePartListPort();
    r.Declare("PartListPort", parts);
    r.Add("job lists", "PartListPort.updateRowsForFeeder", parts.updateRowsForFeeder, Q);
    r.Add("job lists", "PartListPort.isFeederUsed", parts.isFeederUsed, Q, false);
    r.Add("job lists", "PartListPort.renameOwnMark", parts.renameOwnMark, Q);
    r.Add("job lists", "PartListPort.placementPartNames", parts.placementPartNames, Q);
    r.Add("job lists", "PartListPort.mirrorDropDown", parts.mirrorDropDown, Q);
    r.Add("job lists", "PartListPort.rowEditorOpen", parts.rowEditorOpen, Q, false);
    r.Add("job lists", "PartListPort.setRowEditorFeeder", parts.setRowEditorFeeder, Q);

    StrategyPort& strategy = TheStrategyPort();
    r.Declare("StrategyPort", strategy);
    r.Add("job lists", "StrategyPort.m_19NozzleLibrary", strategy.m_19NozzleLibrary, Q, 0);
    r.Add("job lists", "StrategyPort.m_AutoChangeNozzle", strategy.m_AutoChangeNozzle, Q, 0);
    r.Add("job lists", "StrategyPort.m_ChangeNozzleSelect", strategy.m_ChangeNozzleSelect, Q, 0);
    r.Add("job lists", "StrategyPort.m_RunSelect", strategy.m_RunSelect, Q, 0);

    FeedListPort& list = TheFeedListPort();
    r.Declare("FeedListPort", list);
    r.Add("feeders", "FeedListPort.showCell", list.showCell, Q);
    r.Add("feeders", "FeedListPort.storePickHeight", list.storePickHeight, Q);
    r.Add("feeders", "FeedListPort.openEditor", list.openEditor, Q, false);

    CameraPanelPort& panel = TheCameraPanelPort();
    r.Declare("CameraPanelPort", panel);
    r.Add("cameras", "CameraPanelPort.selectMarkCamera", panel.selectMarkCamera, Q);
    r.Add("cameras", "CameraPanelPort.currentCamera", panel.currentCamera, Q, 0);
    r.Add("cameras", "CameraPanelPort.setImageFeature", panel.setImageFeature, Q);
    r.Add("cameras", "CameraPanelPort.cameraNames", panel.cameraNames, Q);
    r.Add("cameras", "CameraPanelPort.visualSize", panel.visualSize, Q, 0.0);
}

} // namespace smt
