// The command functions: one per machine command code, each taking its arguments
// in pulses and speed codes. A waiting command follows one pattern: travel-limit
// check, speed codes, trace "<code>->Start", arm the family's reply event, send
// over the link `m_CommModel` selects (under g_LinkMutex), wait within the link's
// bound, trace "<code>->end", book the move into the position counters and
// rewrite the panel's position fields. A `bool` result is true when the command
// was sent, answered and booked; false means nothing was booked (the operator
// has been told why).
//
// Call them from worker, run or reply threads, never from the user-interface
// thread while they wait. Arguments are structs with named fields
// (command_frames.h); the bytes on the wire follow the command layouts.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "link/command_frames.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "platform/event.h"

namespace smt {

// ---- travel limits in pulses (the view's limit pulses; the view publishes them
// whenever it computes them). 0 at start: every X/Y target except 0 is refused.
struct MoveLimits {
    std::int32_t x = 0;     // positive
    std::int32_t y = 0;     // negative
    std::int32_t absX = 0;  // ranges of the start-speed optimisation
    std::int32_t absY = 0;
};
void SetMoveLimits(const MoveLimits& limits);
MoveLimits CurrentMoveLimits();

// ---- what the command functions need of the manual control panel, the camera
// panel and the view. Every hook may be empty: the display step is skipped and
// a value reads as its default. Install before connecting; hooks run on the
// command's own thread (worker, run or reply thread), so widgets are reached by
// posting to the user-interface thread.
struct CommandPanelPort {
    std::function<int()> machineType;        // empty: the link hooks' machine type
    std::function<int()> headGroup;          // 1 or 2; empty: 1
    std::function<bool()> liftOutputFlag;    // switch a bank's output on after a lift move
    std::function<int()> feedDelayMs;        // m_Feed_Delay of the automatic feeder
    std::function<bool()> displayInPulses;   // position fields in pulses instead of mm
    std::function<void(PositionField, const std::string&)> showPosition;
    std::function<void(std::int32_t)> showCommandCounter;  // field 1016
    std::function<void(int nozzle, bool ticked)> setNozzleCheck;
    std::function<void()> clearNozzleChecks;
    // camera selection
    std::function<void(int cameraIndex)> setCurrentCamera;  // 0 mark, 1, 2 vision
    std::function<void(int table)> setSelectedTable;        // type 4: 0 or 1
    std::function<bool()> highSpeedCamera;
    std::function<void(int cameraIndex, int display)> switchCameraStreams;
    std::function<plat::Event*()> flyFrameEvent;            // the fly-over's frame event
    // reply handlers
    std::function<void()> enableResetButton;                // control 1058
    std::function<void(int kind)> startHoming;              // full homing with the running check
    std::function<void()> applyMarkCameraVision;            // vision parameters of the mark camera
    std::function<bool()> resetToOriginFlag;                // the view's
    std::function<void()> clearResetToOriginFlag;
    std::function<void()> clearViewBusyByte;                // the view's further flag byte
    std::function<void()> moveCameraToVisualOrigin;
    std::function<int()> runSelect;                         // m_RunSelect
    std::function<std::int32_t()> conveyorWidthPulses;      // D1 after a width homing
    std::function<void()> enableConveyorControl;            // control 1520
};
CommandPanelPort& TheCommandPanel();

// The pump boxes as the machine last had them: switched by a box while
// connected, or by the machine itself in a stroke or a homing. No command reads
// the outputs back, and a box clicked while disconnected switches nothing, so a
// connect sets the boxes back to this record.
// Notes and shows a state the machine took itself (`selector` 0: all eight).
void TickPumpBoxes(int selector, bool ticked);
// Notes a box whose outputs went out.
void NotePumpSwitched(int pump, bool on);
// Sets the panel's eight boxes to the record.
void ShowKnownPumps();

// Set by 0x04 when the camera changed, cleared when it stayed; read by the run.
extern std::atomic<std::uint8_t> g_CameraChanged;
// The panel's camera member (1..3; 0 before any selection).
extern std::atomic<int> g_PanelCamera;

// Captions of the commands ("61->单轴运动"); the panel replaces them from the
// caption file (ManualControl.c_Information_53 ..).
std::string CommandCaption(std::uint16_t code);
void SetCommandCaption(std::uint16_t code, const std::string& caption);

// The texts of the refusals.
inline constexpr const char* kXPosError = "X Pos Error !";
inline constexpr const char* kYPosError = "Y Pos Error !";
inline constexpr const char* kHeadE3Error = "Error E3 !";
inline constexpr const char* kPulse65535 = "Pulse > 65535";
inline constexpr const char* kPulse32767 = "Pulse > 32767";
inline constexpr const char* kPulse24Bit = "Pulse > 8388607";
inline constexpr const char* kNotOnThisLink = "通讯未完成 ！";

// A position field's text: millimetres "%0.4f" (pulses / factor) or pulses "%d".
std::string FormatPositionField(std::int32_t pulses, double factor, bool inPulses);

// ---- commands ------------------------------------------------------------------

// 0x01, always a serial frame; the axis-limit thread waits on g_AxisLimitEvent.
void SendAxisLimit(std::uint8_t axis, std::int32_t limitPulses);
// 0x02: starts a homing (the reply 0x02 ends it); disables the manual controls.
// false: nothing went out, the controls are enabled again (the homing's caller
// clears its busy flag).
bool SendHomeAxes(HomeAxesSpeeds speeds);
// 0x03, 0x04, 0x60: no reply is waited for. false when nothing could be sent.
bool SetOutput(const OutputSwitch& output);
bool SelectCamera(std::uint8_t camera, std::uint8_t value, int display);
bool SetSpeedGear(std::uint8_t mode, std::uint8_t second = 0);
// 0x15: the reading arrives in g_VacuumReading.
bool ReadVacuum(std::uint8_t nozzle);

bool MoveSingleAxis(SingleAxisMove move);
bool RunConveyorZones(const ConveyorRun& run);
// The camera frames of a flying pass after the board's reply.
enum class FlyFrames { Complete, Incomplete };
// 0x63: true = moved and booked. The frames are then waited for within
// limits::kFlyFrames; their state goes to `frames` (Incomplete also when no frame
// event is installed or the wait was cut short). Missing frames never fail the
// command and never take the link down.
bool MoveFlyingCamera(const FlyCameraMove& move, FlyFrames* frames = nullptr);
// The bounded wait for the frames of a pass whose command was answered.
FlyFrames AwaitFlyFrames(plat::Event* frameEvent, std::string_view commandName, Transport transport);
bool MoveXYA(XYAMove move);
bool MoveXYAMulti(XYAMultiMove move);
bool FeedFeeder(const FeederFeed& feed);
bool PickStroke(const PickStrokeArgs& pick);
bool PlaceStroke(PlaceStrokeArgs place);

}  // namespace smt
