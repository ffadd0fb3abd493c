// The main view's decisions in plain C++: its messages, the travel limits and the
// run-time position values in pulses, which settings commands are refused, the
// show and hide rules of the list panels, the ordered load steps of the first
// update, and the closing sequence.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/named_steps.h"
#include "base/view_messages.h"

namespace smt {

// ---- messages ---------------------------------------------------------------


// Section SMTViewConfig of the caption file of `language`.
ViewMessages LoadMessageTexts(const std::string& language, const std::string& startFolder);

// ---- travel limits and position pulses --------------------------------------

struct LimitPulses {
    std::int32_t x = 0, y = 0, z = 0;
    std::int32_t absX = 0, absY = 0;
    bool operator==(const LimitPulses&) const = default;
};

// Limits in millimetres times the pulse factors, each truncated toward zero.
LimitPulses ComputeLimitPulses(double xLimit, double yLimit, double zLimit,
                               double xPulse, double yPulse, double zPulse);
// The same from config.ini as stored (SetBasicConfig m_X_Limit.., SetPulseConfig
// m_X_Pulse..; a missing value reads as 0).
LimitPulses LoadLimitPulses(const std::string& startFolder);

// The basic-settings offsets that become run-time pulse positions (millimetres).
struct PositionOffsetsMm {
    std::array<double, 8> correctionX{};  // m_Correction_X1..X8
    std::array<double, 8> correctionY{};  // m_Correction_Y1..Y8
    double cameraToNozzle1X = 0, cameraToNozzle1Y = 0;
    std::array<double, 8> nozzleToNozzle1X{};  // index n - 1 for nozzle n (2..8); index 0 unused
    std::array<double, 8> nozzleToNozzle1Y{};
    double dispenserToNozzle1X = 0, dispenserToNozzle1Y = 0;  // m_X_DropsGlueToNozzle1..
    double y2ToY1X = 0, y2ToY1Y = 0;
    double throwPositionX = 0, throwPositionY = 0;
};

// Copies the twelve factors into g_PulsesPerMm and writes the pulse globals
// (each value times the X or Y factor, truncated toward zero), then runs
// `afterwards` (the run's head reach and the nozzle library's pulse table).
void ConvertSettingsToPulses(const std::array<double, kPulseFactorCount>& factors,
                           const PositionOffsetsMm& offsets,
                           const std::function<void()>& afterwards = {});

// "Z Pos Error !" (topmost) unless zPulses < 1.
bool CheckZPosition(std::int32_t zPulses);

// ---- settings commands --------------------------------------------------------

enum class SettingsRefusal {
    None,
    RunningFeedGroup,  // message entry 4
    Running,           // message entry 5
    NoFunction,        // topmost "no function!"
};
// Whether a settings-menu command is refused: `busy` is the machine's busy flag,
// `commModel` 0 the serial link.
SettingsRefusal CheckSettingsCommand(int id, bool busy, int machineType, int commModel);
// Shows the refusal (nothing for None); returns true when refused.
bool ShowSettingsRefusal(SettingsRefusal refusal, const ViewMessages& messages);
// Page of the speed template dialog for its four commands, -1 for other ids.
int SpeedTemplatePage(int id);
// True for the commands the settings menu and the feeder menu dispatch to a dialog.
bool IsSettingsDialogCommand(int id);

// ---- list panels ------------------------------------------------------------

enum class PanelSlot { FeedList = 1, PartList = 2 };

struct ListPanelState {
    bool feedExists = false, feedVisible = false;
    bool partExists = false, partVisible = false;
};

enum class PanelAction {
    CreateFeedList, CreatePartList,  // construct the panel widget
    PlaceFeedList, PlacePartList,    // put it over the list area
    ShowFeedList, ShowPartList,
    HideFeedList, HidePartList,
    SortFeedList,                    // first feeder-list command of the process
    ShowPlacementList,               // the part list's placement list after a redraw
};

// The toolbar's feeder-list or part-list command: the actions in order, with
// `state` updated. `feedSortDone` is the process-wide first-time flag.
std::vector<PanelAction> TogglePanel(PanelSlot slot, ListPanelState& state,
                                     std::atomic<bool>& feedSortDone);

// ---- ordered load steps -------------------------------------------------------

// The first update's steps in order (library tables, config sections, speed
// classes, lamp lines, captions, manual control layout, limits, position pulses).
std::vector<std::string> FirstUpdateStepNames();
// The caption loads of the view's creation, in order.
std::vector<std::string> CreationCaptionStepNames();
// The caption reloads of a language change, in order.
std::vector<std::string> LanguageChangeStepNames();

// The process-wide "first update done" flag: true for the one caller that should
// load the configuration.
bool ClaimFirstUpdate();
// Tests only: lets the next update load again.
void ResetFirstUpdateForTests();

// ---- closing ------------------------------------------------------------------

// Ordinary video cameras closed at shutdown: 8 on type 4, 2 on type 5, else 1.
int OrdinaryCameraCount(int machineType);

extern const char* const kCloseSaveQuestion;  // "是否要保存工程文件 ?\r\n..."
extern const char* const kCloseBusyQuestion;

struct CloseHooks {
    std::function<bool()> isBusy;         // a run or a machine action is busy
    std::function<bool()> hasPcbRecords;
    std::function<bool()> saveAll;        // the full save; false when it failed or was cancelled
    std::function<void()> stopRun;        // ends the automatic run
    std::function<void()> raiseStopFlags; // link threads' stop flags
    std::function<bool()> joinThreads;    // after every wait is cancelled; false when some hang
    std::function<void()> saveConfig;     // camera panel, manual control, language, machine type
    std::function<void(int)> closeOrdinaryCameras;
};

enum class CloseDecision { StayOpen, Close };

// The closing sequence up to the destruction of the windows. Asks before leaving
// a busy machine; Cancel, a refused busy question or a failed save keep the
// program open with nothing changed. On leaving: stops the run, raises the stop
// flags, cancels every wait and joins every thread before anything is destroyed.
CloseDecision RunCloseSequence(const CloseHooks& hooks, int machineType);

} // namespace smt
