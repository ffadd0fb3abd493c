// Every hook the job lists add, with the subsystem that fills it.
#include "joblist/joblist_hooks.h"

#include "base/hooks.h"
#include "feeders/strategy_port.h"
#include "joblist/run_port.h"
#include "run_state/run_frame_sources.h"
#include "vision/camera_panel_port.h"

namespace smt {

void RegisterJobListHooks(HookRegistry& r) {
    constexpr auto Q = HookKind::Query;
    StrategyPort& strategy = TheStrategyPort();
    r.Add("job lists", "StrategyPort.LoadSmtStrategyConfig", strategy.LoadSmtStrategyConfig, Q);

    RunPort& run = TheRunPort();
    r.Add("run", "RunPort.createRunEvents", run.createRunEvents, Q);
    r.Add("run", "RunPort.computeTwoMarkCorrection", run.computeTwoMarkCorrection, Q);
    r.Add("run", "RunPort.startRunThreads", run.startRunThreads, HookKind::Action, false);
    r.Add("run", "RunPort.finishRun", run.finishRun, Q);
    r.Add("run", "RunPort.runThreadsLive", run.runThreadsLive, Q);
    r.Add("job lists", "RunFrameSources.currentPcbName", TheRunFrameSources().currentPcbName, Q);
    // Until the run recognises lamp Marks, the lamp test stops at the Mark.
    r.Add("run threads", "RunPort.recognizeMark", run.recognizeMark, HookKind::Action, true);

    // The PCB editor's hand-over to the camera panel.
    CameraPanelPort& panel = TheCameraPanelPort();
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
