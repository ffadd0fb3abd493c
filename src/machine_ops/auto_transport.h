// The automatic PCB conveyor without its widgets: the settings of section
// AutoTransportConfig, the zone steps shared by the panel, the run's conveyor
// thread and the part list's clamp button, the clamp state, and the operations
// (`TransportOp`), each run in a worker thread that holds the busy flag.
//
// Belts: belt 1 is the west lift (axis 11), belt 2 the north lift (12), belt 3
// the east lift (13); millimetres become pulses with the lift factors. The width
// drive is axis 14 (0x30 on machine type 7) with the factor m_AutoWalk2_Pulse.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "link/command_frames.h"
#include "platform/event.h"
#include "settings/dialog_captions.h"
#include "settings/pulse_settings.h"

namespace smt {

// The operation codes, one per panel action.
enum class TransportOp : int {
    AsConveyor = 0,      // check box 1038, machine type 7 only
    WholeTest = 1,       // zones 1, 2, 3, 4
    BoardInJog = 2,
    BoardInTest = 3,
    TransportJog = 4,
    TransportTest = 5,
    BoardOutJog = 6,
    BoardOutTest = 7,
    FinalRunOut = 8,
    BoardInSignal = 9,   // a pulse on the board-in hand-shake output
    StopValve = 10,
    ClampValve = 11,     // toggles the clamp
    LiftValve = 12,
    BoardOutSignal = 13,
    Nothing = 14,
    Width = 15,          // width drive to m_SetWidth
    ReleaseAndCarryOut = 16,
};

// Control ids of the panel that machine code refers to.
namespace at {
inline constexpr int WholeTest = 1004, BoardInJog = 1524, BoardInTest = 1514, TransportJog = 1003,
                     TransportTest = 1002, BoardOutJog = 1525, BoardOutTest = 1515, FinalRunOut = 1530,
                     BoardInSignal = 1037, StopValve = 1039, ClampValve = 1040, LiftValve = 1041,
                     BoardOutSignal = 1042, AsConveyor = 1038, EnableAuto = 1036, ClearWait = 1517,
                     ResetWidth = 1520, ArriveSetWidth = 1521, WidthUp = 1528, WidthDown = 1529,
                     NextGear = 1255, StepText = 1516;
}  // namespace at

// The sixteen saved values, in key order. Construction: step 1, clamp time 100,
// everything else 0.
struct AutoTransportConfig {
    std::int32_t m_ConveyorStartSpeed = 0;
    std::int32_t m_ConveyorNormalSpeed = 0;
    std::int32_t m_StepValue = 1;       // belt jog step, pulses
    std::int32_t m_ClampTime = 100;     // ms after switching the clamp
    std::int32_t m_WaitTimeOut = 0;     // ms the board waits for a board
    double m_AutoTransport_1_1 = 0;     // belt 1, zone 1 (board in), mm
    double m_AutoTransport_1_2 = 0;     // belt 1, zone 2
    double m_AutoTransport_2_1 = 0;     // belt 2, zone 2
    double m_AutoTransport_2_2 = 0;     // belt 2, zone 3 (board out)
    double m_AutoTransport_3_1 = 0;     // belt 3, zone 3
    double m_AutoTransport_3_2 = 0;     // belt 3, zone 4 (final run out)
    std::int32_t m_AutoTransport = 0;   // automatic board input on
    double m_ResetWidth = 0;            // width at the width drive's home, mm
    double m_SetWidth = 0;              // wanted width, mm
    std::int32_t m_MinRange = 0;        // allowed m_SetWidth, mm
    std::int32_t m_MaxRange = 0;
    friend bool operator==(const AutoTransportConfig&, const AutoTransportConfig&) = default;
};

// Section "AutoTransportConfig": speeds and step below 1 read as 1; a missing
// key reads as 0 otherwise.
void LoadAutoTransportConfig(AutoTransportConfig& config, const std::string& configPath);
// All sixteen keys in order, integers "%d", lengths "%0.4f"; false on a failed write.
bool SaveAutoTransportConfig(const AutoTransportConfig& config, const std::string& configPath);

// The panel's captions (section "AutoTransportConfig", keys "AutoTransport.c_...").
DialogCaptions& TheAutoTransportCaptions();

// ---- field ranges (shared by the peripheral dialogs) ----
struct FieldRange {
    int control = 0;
    double value = 0;
    double low = 0, high = 0;
    bool integer = true;
};
// The first field outside its range, in the order given.
std::optional<FieldRange> FirstOutOfRange(std::initializer_list<FieldRange> fields);
// "Please enter an integer between 1 and 255." / "Please enter a number between ...".
std::string RangeMessage(const FieldRange& field);
// The panel's edit fields with their ranges, in control order of the table.
std::optional<FieldRange> CheckAutoTransportRanges(const AutoTransportConfig& c);

// The machine type the link works with (the link hooks', else g_MachineType).
int ConveyorMachineType();

// ---- outputs ----
struct ConveyorOutputs {
    int boardIn, stopValve, clampValve, liftValve, boardOut;  // 0: the type has none
};
ConveyorOutputs ConveyorOutputsOf(int machineType);
// Axis code of the width drive.
std::uint8_t WidthAxisOf(int machineType);

// ---- belt values ----
using BeltPulses = std::array<std::int32_t, 3>;
// The 0x62 fields of zone 1..4 with the configured distances (see RunConveyorStep).
ConveyorRun ZoneRun(int zone, const AutoTransportConfig& c, const PulseFactors& f);
// The belt values a button sets before its operation; nothing for buttons that
// leave them as they are.
std::optional<BeltPulses> BeltValuesOfButton(int control, const AutoTransportConfig& c, const PulseFactors& f);
// The operation a button starts (-1: none).
int OperationOfButton(int control);

// ---- width ----
// Width counter for `width` mm: trunc((width - m_ResetWidth) x m_AutoWalk2_Pulse).
std::int32_t WidthPulses(double width, const AutoTransportConfig& c, const PulseFactors& f);
// Button 1521: the width may be set only inside a real range.
bool WidthInRange(double width, const AutoTransportConfig& c);
// Buttons 1528 (+1) and 1529 (-1): the new width one S step of `sSteps` pulses
// away, or nothing when it would leave the range.
std::optional<double> SteppedWidth(int direction, std::int32_t sSteps, const AutoTransportConfig& c,
                                   const PulseFactors& f);

// ---- the wait for the board ----
// How long the host waits for a zone's reply: m_WaitTimeOut plus a margin, a
// generous default when m_WaitTimeOut is 0.
plat::Millis ConveyorWaitLimit(std::int32_t waitTimeOutMs);
inline constexpr plat::Millis kConveyorWaitMargin{30'000};
inline constexpr plat::Millis kConveyorWaitDefault{120'000};
// Tests shorten the margin and the default (0 restores them).
void SetConveyorWaitOverride(plat::Millis margin, plat::Millis fallback);
// The message of a board that did not come.
std::string BoardTimeOutText(int zone);

// What the operations ask of the panel. Every member may be empty; the panel
// posts each to the user-interface thread.
struct AutoTransportPanelPort {
    std::function<void(int step)> showStep;                    // 0..5
    std::function<void(int control, bool checked)> setCheck;   // 1037..1042, 1038
    std::function<void()> operationEnded;                      // busy already cleared
};

// The conveyor: its settings (read by any thread as whole copies), the clamp
// state and the values of the operation in hand.
class AutoTransport {
public:
    AutoTransportConfig Config() const;
    void SetConfig(const AutoTransportConfig& config);

    void LoadConfig(const std::string& configPath);
    bool SaveConfig(const std::string& configPath) const;

    // Check box 1040: 1 while the board is clamped.
    std::atomic<std::int32_t> m_ClampState{0};
    // Check box 1038: the machine used as a plain conveyor.
    std::atomic<std::int32_t> m_AsConveyor{0};
    std::atomic<int> m_TransportOp{static_cast<int>(TransportOp::Nothing)};
    // Belt values of the operation in hand, written by the panel's buttons.
    std::atomic<std::int32_t> m_BeltPulse_1{0}, m_BeltPulse_2{0}, m_BeltPulse_3{0};
    // The valve box (1039 / 1041) as it was before the click of ops 10 and 12.
    std::atomic<bool> m_ValveBoxWasSet{false};

    AutoTransportPanelPort& Port() { return m_port; }

    // Not connected: "Machine is not connection !"; busy: "Machine is runnig !";
    // otherwise the busy flag is claimed and `op` runs in a worker. The claim is
    // atomic: two starters at once start one operation.
    bool StartOperation(TransportOp op);
    // The part list's "Pcb Clamp": busy -> "Machine is runnig !"; with automatic
    // board input on, op 16 when clamped, else op 11; off: nothing.
    bool StartClampButton();
    // The opening's first-time step: the width counter from m_SetWidth.
    void InitWidthCounterOnce();

    // The worker's body (the busy flag is held by the caller). false when a zone
    // step or a command failed and the rest was skipped.
    bool RunOperation(TransportOp op);

private:
    void ShowStep(int step);
    void SetCheck(int control, bool checked);
    void Release(bool withState, bool stopValveOff);
    bool Belts(std::uint8_t zone, std::uint8_t f1, std::uint8_t f2, std::uint8_t f3);
    bool ZoneSequence(bool zone2Outputs, bool zone3Outputs);

    mutable std::mutex m_mutex;
    AutoTransportConfig m_config;
    AutoTransportPanelPort m_port;
    std::atomic<bool> m_widthInitDone{false};
};

// The live conveyor, one per process (the view's panel shows it).
AutoTransport& TheAutoTransport();

// One zone step (1..4): the outputs before (skipped with `noOutputs`), command
// 0x62 and the wait for its reply within ConveyorWaitLimit, the outputs after.
// On a reply that does not come: trace "62-<zone> timeout", tell the operator,
// false (nothing after the command is done). Trace "Zone n run -> " before and
// "62-n end " after the command.
bool RunConveyorStep(AutoTransport& transport, int zone, bool noOutputs);

// The bare 0x62 exchange with its own bound (no output, no clamp).
bool SendConveyorRun(const ConveyorRun& run, plat::Millis limit);

}  // namespace smt
