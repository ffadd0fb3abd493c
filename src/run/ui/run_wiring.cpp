#include "run/ui/run_wiring.h"

#include "base/ui/program_view.h"

#include <QPointer>
#include <QWidget>

#include "base/captions.h"
#include "link/commands.h"
#include "run/camera_calibration.h"
#include "vision/camera_list.h"
#include "joblist/part_list.h"
#include "joblist/run_port.h"
#include "link/positioning.h"
#include "run_state/run_events.h"
#include "run/mark_correction.h"
#include "run/nozzle_vision.h"
#include "run/conveyor_companion.h"
#include "run/drilling_run.h"
#include "run/lamp_run.h"
#include "run/dispense_run.h"
#include "run/eight_head_run.h"
#include "run/run_frame.h"
#include "run/placement_records.h"
#include "run/placement_run.h"
#include "run/run_geometry.h"
#include "run/run_rows.h"
#include "settings/rederive_hooks.h"
#include "vision/set_view.h"

namespace smt {

namespace {

// The camera management dialog's row menu and fly test start the calibration
// workers with the dialog's busy claim; the worker takes the start folder's
// config.ini and the dialog's texts along.
void CalibrationViewPart(ProgramView& view) {
    ProgramView* v = &view;
    QPointer<QWidget> widget = view.Widget();
    CameraCalibrationPort& calibration = TheCameraCalibrationPort();
    calibration.startCameraOperation = [v, widget](int op, BusyClaim claim) {
        CalibrationContext context;
        context.noRotationAxis = TheCameraList().m_ListTexts.Text("CameraList.c_Message_04");
        context.oneNozzle = TheCameraList().m_ListTexts.Text("CameraList.c_Message_05");
        context.configPath = ConfigFilePath(widget ? v->StartFolder() : std::string("."));
        StartCameraOperation(op, std::move(claim), std::move(context));
    };
    calibration.startFlyTest = [](BusyClaim claim) { StartFlyTest(std::move(claim)); };
    // No operation of the program shows the position fields in pulses.
    TheCommandPanel().displayInPulses = [] { return false; };
}

} // namespace

void WireRun(Wiring& wiring) {
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
    RunThreadEntry(RunThreadKind::EightHead) = [] { EightHeadRunThread(); };
    RunThreadEntry(RunThreadKind::DispenseAndCheck) = [] { DispenseAndCheckRunThread(); };
    // The positioning worker centres the camera on the visual origin after its move.
    ThePositioningPort().recognizeVisualOrigin = [] { RecognizeVisualOrigin(); };
    RunThreadEntry(RunThreadKind::ConveyorZone2) = [] { ConveyorZone2Thread(); };

    RowSearchLookups& rows = TheRowSearchLookups();
    rows.FindFeederForPart = [](int group, const std::string& feeder, int k) { return FindFeederForPart(group, feeder, k); };
    rows.FindFeederDirection = [](int group, const std::string& feeder) { return FindFeederDirection(group, feeder); };

    TheSettingsRederivations().updateHeadOffsets = [] { UpdateHeadOffsets(); };
    wiring.OnView("camera calibration", CalibrationViewPart);
    // Each triggered frame of a flying pass, on the camera service's fly-frame thread.
    TheSetViewSources().flyMeasure = [](int nozzle, const cv::Mat& frame) { MeasurePartInFrame(frame, nozzle); };
}

} // namespace smt
