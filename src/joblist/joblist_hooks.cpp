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
    StrategyPort& strategy = TheStrategyPort();
    r.Declare("StrategyPort", strategy);
    r.Add("job lists", "StrategyPort.LoadSmtStrategyConfig", strategy.LoadSmtStrategyConfig);

    RunPort& run = TheRunPort();
    r.Declare("RunPort", run);
    r.Add("run", "RunPort.createRunEvents", run.createRunEvents);
    r.Add("run", "RunPort.computeTwoMarkCorrection", run.computeTwoMarkCorrection);
    r.Add("run", "RunPort.startRunThreads", run.startRunThreads);
    r.Add("run", "RunPort.finishRun", run.finishRun);
    r.Add("run", "RunPort.runThreadsLive", run.runThreadsLive);
    r.Declare("RunFrameSources", TheRunFrameSources());
    RunFrameSources& sources = TheRunFrameSources();
    r.Add("job lists", "RunFrameSources.currentPcbName", sources.currentPcbName);
    r.Add("job lists", "RunFrameSources.pcbBoardCount", sources.pcbBoardCount);
    r.Add("job lists", "RunFrameSources.setPcbBoardCount", sources.setPcbBoardCount);
    r.Add("job lists", "RunFrameSources.manualMarkOffset", sources.manualMarkOffset);
    r.Add("job lists", "RunFrameSources.clearManualMarkOffset", sources.clearManualMarkOffset);
    r.Add("job lists", "RunFrameSources.markLightBrightness", sources.markLightBrightness);
    r.Add("job lists", "RunFrameSources.disablePanels", sources.disablePanels);
    r.Add("job lists", "RunFrameSources.showProgress", sources.showProgress);

    RowCommandPort& rows2 = TheRowCommands().m_Port;
    r.Declare("RowCommandPort", rows2);
    r.Add("job lists", "RowCommandPort.pcbRecordCount", rows2.pcbRecordCount);
    r.Add("job lists", "RowCommandPort.feeders", rows2.feeders);
    r.Add("job lists", "RowCommandPort.runEditor", rows2.runEditor);
    r.Add("job lists", "RowCommandPort.cameraTrack", rows2.cameraTrack);
    r.Add("job lists", "RowCommandPort.lampValues", rows2.lampValues);
    r.Add("job lists", "RowCommandPort.pcbOrigin", rows2.pcbOrigin);
    r.Add("job lists", "RowCommandPort.openFeeder", rows2.openFeeder);

    // The run toolbar's reach into the part list and the manual control panel.
    RunToolbarPort& toolbar = TheRunToolbarPort();
    r.Declare("RunToolbarPort", toolbar);
    r.Add("job lists", "RunToolbarPort.setTrace", toolbar.setTrace);
    r.Add("job lists", "RunToolbarPort.focusList", toolbar.focusList);
    r.Add("job lists", "RunToolbarPort.ensureVisible", toolbar.ensureVisible);
    r.Add("job lists", "RunToolbarPort.runClock", toolbar.runClock);
    r.Add("job lists", "RunToolbarPort.enablePanels", toolbar.enablePanels);
    r.Add("job lists", "RunToolbarPort.pcbBoardCount", toolbar.pcbBoardCount);
    r.Add("job lists", "RunToolbarPort.pcbEditFields", toolbar.pcbEditFields);
    // Until the run recognises lamp Marks, the lamp test stops at the Mark.
    r.Add("run threads", "RunPort.recognizeMark", run.recognizeMark);

    // The PCB editor's hand-over to the camera panel.
    CameraPanelPort& panel = TheCameraPanelPort();
    r.Declare("CameraPanelPort", panel);
    r.Add("cameras", "CameraPanelPort.imageHeight", panel.imageHeight);
    r.Add("cameras", "CameraPanelPort.setVisionScale", panel.setVisionScale);
    r.Add("cameras", "CameraPanelPort.setFrameSize", panel.setFrameSize);
    r.Add("cameras", "CameraPanelPort.showFrameSizeText", panel.showFrameSizeText);
    r.Add("cameras", "CameraPanelPort.setContrast", panel.setContrast);
    r.Add("cameras", "CameraPanelPort.setBrightness", panel.setBrightness);
    r.Add("cameras", "CameraPanelPort.contrast", panel.contrast);
    r.Add("cameras", "CameraPanelPort.brightness", panel.brightness);
}

} // namespace smt
