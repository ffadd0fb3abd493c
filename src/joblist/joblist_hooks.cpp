// Every hook the job lists add, with the subsystem that fills it.
#include "joblist/joblist_hooks.h"

#include "base/hooks.h"
#include "feeders/strategy_port.h"
#include "joblist/row_commands.h"
#include "joblist/run_port.h"
#include "joblist/run_toolbar.h"
#include "link/manual_control.h"
#include "run_state/run_frame_sources.h"
#include "vision/camera_panel_port.h"

namespace smt {

void RegisterJobListHooks(HookRegistry& r) {
    constexpr auto Q = HookKind::Query;
    StrategyPort& strategy = TheStrategyPort();
    r.Declare("StrategyPort", strategy);
    r.Add("job lists", "StrategyPort.LoadSmtStrategyConfig", strategy.LoadSmtStrategyConfig, Q);

    RunPort& run = TheRunPort();
    r.Declare("RunPort", run);
    r.Add("run", "RunPort.createRunEvents", run.createRunEvents, Q);
    r.Add("run", "RunPort.computeTwoMarkCorrection", run.computeTwoMarkCorrection, Q);
    r.Add("run", "RunPort.startRunThreads", run.startRunThreads, HookKind::Action, false);
    r.Add("run", "RunPort.finishRun", run.finishRun, Q);
    r.Add("run", "RunPort.runThreadsLive", run.runThreadsLive, Q);
    r.Declare("RunFrameSources", TheRunFrameSources());
    RunFrameSources& sources = TheRunFrameSources();
    r.Add("job lists", "RunFrameSources.currentPcbName", sources.currentPcbName, Q);
    r.Add("job lists", "RunFrameSources.pcbBoardCount", sources.pcbBoardCount, Q, 0);
    r.Add("job lists", "RunFrameSources.setPcbBoardCount", sources.setPcbBoardCount, Q);
    r.Add("job lists", "RunFrameSources.manualMarkOffset", sources.manualMarkOffset, Q, false);
    r.Add("job lists", "RunFrameSources.clearManualMarkOffset", sources.clearManualMarkOffset, Q);
    r.Add("job lists", "RunFrameSources.markLightBrightness", sources.markLightBrightness, Q, 0);
    r.Add("job lists", "RunFrameSources.disablePanels", sources.disablePanels, Q);
    r.Add("job lists", "RunFrameSources.showProgress", sources.showProgress, Q);

    RowCommandPort& rows2 = TheRowCommands().m_Port;
    r.Declare("RowCommandPort", rows2);
    r.Add("job lists", "RowCommandPort.pcbRecordCount", rows2.pcbRecordCount, Q, 0);
    r.Add("job lists", "RowCommandPort.feeders", rows2.feeders, Q);
    r.Add("job lists", "RowCommandPort.runEditor", rows2.runEditor, Q, false);
    r.Add("job lists", "RowCommandPort.cameraTrack", rows2.cameraTrack, Q);
    r.Add("job lists", "RowCommandPort.lampValues", rows2.lampValues, Q);
    r.Add("job lists", "RowCommandPort.pcbOrigin", rows2.pcbOrigin, Q);
    r.Add("job lists", "RowCommandPort.openFeeder", rows2.openFeeder, Q, false);

    // The run toolbar's reach into the part list and the manual control panel.
    RunToolbarPort& toolbar = TheRunToolbarPort();
    r.Declare("RunToolbarPort", toolbar);
    r.Add("job lists", "RunToolbarPort.setTrace", toolbar.setTrace, Q);
    r.Add("job lists", "RunToolbarPort.focusList", toolbar.focusList, Q);
    r.Add("job lists", "RunToolbarPort.ensureVisible", toolbar.ensureVisible, Q);
    r.Add("job lists", "RunToolbarPort.runClock", toolbar.runClock, Q);
    r.Add("job lists", "RunToolbarPort.enablePanels", toolbar.enablePanels, Q);
    r.Add("job lists", "RunToolbarPort.pcbBoardCount", toolbar.pcbBoardCount, Q, 0);
    r.Add("job lists", "RunToolbarPort.pcbEditFields", toolbar.pcbEditFields, Q);
    // Until the run recognises lamp Marks, the lamp test stops at the Mark.
    r.Add("run threads", "RunPort.recognizeMark", run.recognizeMark, HookKind::Action, true);

    // The PCB editor's hand-over to the camera panel.
    CameraPanelPort& panel = TheCameraPanelPort();
    r.Declare("CameraPanelPort", panel);
    r.Add("cameras", "CameraPanelPort.imageHeight", panel.imageHeight, Q, 0);
    r.Add("cameras", "CameraPanelPort.setVisionScale", panel.setVisionScale, Q);
    r.Add("cameras", "CameraPanelPort.setFrameSize", panel.setFrameSize, Q);
    r.Add("cameras", "CameraPanelPort.showFrameSizeText", panel.showFrameSizeText, Q);
    r.Add("cameras", "CameraPanelPort.setContrast", panel.setContrast, Q);
    r.Add("cameras", "CameraPanelPort.setBrightness", panel.setBrightness, Q);
    r.Add("cameras", "CameraPanelPort.contrast", panel.contrast, Q, 0);
    r.Add("cameras", "CameraPanelPort.brightness", panel.brightness, Q, 0);
}

} // namespace smt
