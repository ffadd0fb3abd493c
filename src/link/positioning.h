// The view's positioning commands: one X/Y move of the mark camera, a nozzle or
// the measuring head over a taught point (visual origin, discard position, the
// current PCB's origin and marks, the vision cameras), each from the positioning
// menu, plus the synchronous stop-position move of the run.
//
// A handler runs on the user-interface thread (the visual-origin command also on
// the reply thread after a homing): guards, lookups, targets in pulses term by
// term, travel-limit check, then one worker per move. The handler claims the busy
// flag before anything else can start and hands the claim to the worker, which
// releases it on every path. The worker gets its targets by value.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/view_messages.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"

namespace smt {

// Last targets of X/Y moves (also written by other subsystems before their moves).
extern std::atomic<std::int32_t> g_TargetPulseX, g_TargetPulseY, g_TargetPulseX2, g_TargetPulseY2;

// ---- the view's positioning state ------------------------------------------------
struct PositioningState {
    std::atomic<int> m_PositionCommand{0};
    std::atomic<std::uint8_t> m_OriginVisionFlag{0};
    std::atomic<std::uint8_t> m_SkipStopPositionFlag{0};
    std::atomic<std::uint8_t> m_PositioningMenuFlag{0};
    // Set by "复位原点": the homing it starts leaves the camera where it is.
    std::atomic<int> m_ResetOriginFlag{0};
};
PositioningState& ThePositioningState();
// The view's 22 messages (read once at start by the view).
void SetPositioningMessages(const ViewMessages& messages);
ViewMessages PositioningMessages();

// ---- commands ---------------------------------------------------------------------
enum class PosKind {
    VisualOrigin,        // mark camera to the visual origin
    Throw,               // nozzle n to the discard position
    CameraPcbOrigin,     // mark camera to the PCB origin
    CameraMark,          // mark camera to Mark 1 or 2
    NozzlePcbOrigin,     // nozzle n to the PCB origin
    NozzleCamera,        // nozzle n over vision camera 1 or 2
    FourHeadCamera2,     // centre of the four-nozzle head over vision camera 2
    MeasuringCamera1,    // measuring head over vision camera 1
};
struct PosCommand {
    PosKind kind = PosKind::VisualOrigin;
    int nozzle = 1;  // 1..8
    int mark = 1;    // 1 or 2
    int camera = 1;  // vision camera 1 or 2
};
// The command of a positioning menu id (nullopt for other ids).
std::optional<PosCommand> PositioningCommandOf(int menuId);
// The value the command stores in m_PositionCommand.
int PositionCommandValue(const PosCommand& command);

// ---- arithmetic --------------------------------------------------------------------
struct PointMm {
    double x = 0, y = 0;
};
// Offset of nozzle n from nozzle 1 (0, 0 for nozzle 1).
PointMm NozzleOffset(const BasicSettings& settings, int nozzle);

enum class LimitFailure { None, X, Y };
// 0 <= x <= xLimit, then yLimit <= y <= 0; X is reported first.
LimitFailure CheckPointLimits(PointMm point, double xLimit, double yLimit);

// How the double-table worker moves.
enum class Model4Move { None, XOnly, X2WithY, X2WithY2, XWithY, XWithY2 };

// What a handler computed: either a refusal with its message entry, or the
// worker and its targets.
struct PlannedMove {
    int message = -1;           // entry of m_Messages to show; -1: go on
    bool model4 = false;        // the double-table worker
    Model4Move model4Move = Model4Move::None;
    std::int32_t x = 0, y = 0, x2 = 0, y2 = 0;
};

// The points a command may need, looked up by the handler.
struct PositionInputs {
    PointMm origin;   // PCB origin with the panel offset
    PointMm mark;     // the record's Mark k, relative to the origin
    PointMm camera;   // the vision camera record's X and Y
    PulsePoint y2ToY1Pulses;
    double pulsesPerMmX = 0, pulsesPerMmY = 0;  // the run-time copies
};
PlannedMove PlanPositioning(const PosCommand& command, const PositionInputs& in, int machineType,
                            int headGroup, const BasicSettings& settings, const PulseFactors& factors);

// The first enabled board of the panel grid (row by row): its offset from the
// PCB origin; nullopt when every cell is "0" or the grid is empty.
struct PanelGridView {
    int rows = 0, cols = 0;
    double rowPitch = 0, colPitch = 0;
    std::vector<std::string> cells;  // row-major, rows x cols
    PointMm origin;                  // the current PCB copy's origin
};
std::optional<PointMm> FirstBoardOffset(const PanelGridView& grid);

// ---- what the commands use of the job lists and the cameras -------------------------
struct PcbRecordPoints {
    PointMm origin, mark1, mark2;
};
struct PcbVisionValues {
    bool perBoardMarks = false;   // "启用分板Mark点"
    double scale = 0;             // pixels per mm
    double frameSize = 0;         // mm
    int markContrast = 0, markBrightness = 0;
    bool ownMark2 = false;        // "独立Mark2"
    int mark2Contrast = 0, mark2Brightness = 0;
};
struct CameraRow {
    std::string name, x, y;
};
struct PositioningPort {
    // FindPcbIndex of the current PCB name and that record; nullopt for index < 0.
    std::function<std::optional<PcbRecordPoints>()> currentPcbRecord;
    std::function<PanelGridView()> currentPcbCopy;
    std::function<PcbVisionValues()> pcbVision;
    std::function<std::vector<CameraRow>()> cameraRecords;
    // camera panel
    std::function<void()> selectMarkCamera;                 // reads m_OriginVisionFlag
    std::function<void(int camera)> selectVisionCamera;     // 1 or 2
    std::function<void(int, int, double, double)> setVisionParameters;
    std::function<void(int nozzle)> setVisionTestNozzle;
    std::function<void(double mm)> setFrameSize;
    // run
    std::function<void()> recognizeVisualOrigin;
    std::function<int()> headGroup;  // empty: the manual jog's head group
};
PositioningPort& ThePositioningPort();

// ---- handlers ------------------------------------------------------------------------
// The menu handler of `menuId`; false when the id is no positioning command.
bool OnPositioningCommand(int menuId);
void OnCameraToVisualOrigin();
// The positioning pop-up is being prepared (sets the menu flag first).
void OnPositioningMenuOpened();
void OnUpdateCameraToVisualOrigin();
// The run's park move on the calling thread; no guards, no busy flag change.
bool MoveCameraToVisualOrigin();

// "复位原点": position command 0, the reset-origin flag set, the mark camera
// selected, then the machine reset of kind 0 with the busy check. A refused reset
// clears the flag again, so the next homing is not mistaken for this one.
void OnResetToOrigin();

// Fills the command panel's visual-origin and reset-origin hooks (homing finished).
void InstallPositioningHooks();

}  // namespace smt
