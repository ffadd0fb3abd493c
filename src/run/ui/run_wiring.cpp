#include "run/ui/run_wiring.h"

#include "base/ui/program_view.h"
#include "joblist/part_list.h"
#include "joblist/run_port.h"
#include "link/positioning.h"
#include "run_state/run_events.h"
#include "run/mark_correction.h"
#include "run/nozzle_vision.h"
#include "run/conveyor_companion.h"
#include "run/drilling_run.h"
#include "run/lamp_run.h"
#include "run/run_frame.h"
#include "run/placement_records.h"
#include "run/placement_run.h"
#include "run/run_geometry.h"
#include "run/run_rows.h"
#include "settings/rederive_hooks.h"
#include "vision/set_view.h"

namespace smt {

void WireRun(Wiring&) {
    RunPort& port = TheRunPort();
    port.createRunEvents = [] { CreateRunEvents(); };
    port.startRunThreads = [](int mode) { return StartRunThreads(mode); };
    port.finishRun = [](bool keep) { FinishRun(ThePartList(), keep); };
    port.computeTwoMarkCorrection = [](double a, double b, double c, double d) { ComputeTwoMarkCorrection(a, b, c, d); };
    port.runThreadsLive = [] { return LiveRunThreads() > 0; };
    RunThreadEntry(RunThreadKind::Placement) = [] { PlacementRunThread(); };
    RunThreadEntry(RunThreadKind::FeederAdvance) = [] { FeederAdvanceThread(); };
    RunThreadEntry(RunThreadKind::Drilling) = [] { DrillingRunThread(); };
    RunThreadEntry(RunThreadKind::Lamp) = [] { LampRunThread(); };
    RunThreadEntry(RunThreadKind::CombinedPlacement) = [] { CombinedPlacementThread(); };
    // The lamp point editor's dispense test centres the point's Mark through this.
    port.recognizeMark = [](int table, int point) { return RecognizeMark(table, point); };
    // The positioning worker centres the camera on the visual origin after its move.
    ThePositioningPort().recognizeVisualOrigin = [] { RecognizeVisualOrigin(); };
    RunThreadEntry(RunThreadKind::ConveyorZone2) = [] { ConveyorZone2Thread(); };

    RowSearchLookups& rows = TheRowSearchLookups();
    rows.FindFeederForPart = [](int group, const std::string& feeder, int k) { return FindFeederForPart(group, feeder, k); };
    rows.FindFeederDirection = [](int group, const std::string& feeder) { return FindFeederDirection(group, feeder); };

    TheSettingsRederivations().updateHeadOffsets = [] { UpdateHeadOffsets(); };
    // Each triggered frame of a flying pass, on the camera service's fly-frame thread.
    TheSetViewSources().flyMeasure = [](int nozzle, const cv::Mat& frame) { MeasurePartInFrame(frame, nozzle); };
}

} // namespace smt
