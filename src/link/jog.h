// The operator's hands on the machine: jogging every axis from the panel's
// buttons, the keyboard and the machine's own keys, the four speed gears with
// their jog steps, the speed and feeder-bank menu, the feeder cluster that walks
// and lifts the feeder banks, the vacuum pumps, the head group and the manual
// Mark offsets. Plain C++: the panel widget only forwards presses, releases and
// keys here and shows what it is told through JogPort.
//
// Every jog runs in one worker that holds the busy flag g_Running for the whole
// jog; the flag is claimed atomically before the worker starts.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/command_frames.h"
#include "link/manual_control.h"
#include "link/position_counters.h"
#include "settings/speed_template.h"

namespace smt {

// ---- which step, sign and speeds a jog of an axis takes --------------------

struct JogPlan {
    bool known = false;     // false: the axis keeps the previous step and speeds
    JogGroup group = JogGroup::XY;
    int sign = 1;           // +1: direction 1 moves the counter up; -1 the reverse
    int speedDrive = 0;     // drive of m_Handle_Speed whose start/run codes are used
};
JogPlan PlanJog(int machineType, int axis, int headGroup);

// True when type 4 with head group 2 turns X/Y jogs into the second table.
bool SecondTableSelected(int machineType, int headGroup);

// Travel limits of the jogged drives in pulses (limit x factor, truncated).
struct JogLimitPulses {
    std::int32_t x = 0, y = 0, z = 0;  // y is negative
    std::int32_t westWalk = 0, northWalk = 0, eastWalk = 0;
};
JogLimitPulses CurrentJogLimits();  // the live basic settings and pulse factors

// How many steps of `step` (never 0) fit before the travel limit; lift axes 1
// with a lift flag, else 1000; other axes 1000 (1 on type 9).
std::int32_t JogStepCount(int machineType, int axis, std::int32_t step, int headGroup, int liftFlag,
                          const PositionSnapshot& pos, const JogLimitPulses& limits);

// ---- panel buttons ------------------------------------------------------------

struct JogButton {
    int axis = 0;
    int direction = 0;
};
// The jog of an X, Y, Z, A or S button (nullopt for other controls or a button
// the machine type does not have).
std::optional<JogButton> JogForButton(int controlId, int machineType, int headGroup);

// One press of the feeder cluster for the selected bank (0 east, 1 south, 2 west,
// 3 north). A walk jogs with the feeder step and hold 1; a lift moves a fixed
// length once with the count given.
struct FeederClusterStep {
    int outputOff = 0;  // bank output (5, 6, 7) switched off first; 0 none
    int axis = 0;
    int direction = 0;
    bool lift = false;
    bool openLength = false;  // lift: m_Open_Length, else m_Close_Length
    int liftFlag = 0;
};
std::optional<FeederClusterStep> FeederClusterFor(int controlId, int bank);
// The bank's lift axis, its output and lift pulse factor (nullopt for south).
struct BankLift {
    int axis = 0;
    int output = 0;
    double pulsesPerMm = 0;
};
std::optional<BankLift> LiftOfBank(int bank);

// ---- outputs -------------------------------------------------------------------

// The outputs a pump box sends, in order (empty for a box the type lacks).
// `runSelect` 1 and 2 are the dispensing runs.
std::vector<OutputSwitch> PumpOutputs(int pump, bool on, int machineType, int runSelect, int exhaust);

// ---- speed gears and the speed menu --------------------------------------------

// The five current steps of `gear` written into `config` (gear kept as given).
void ApplyGearSteps(ManualControlConfig& config, int gear, const SpeedTemplateSettings& speeds);
std::int32_t& StepOfGroup(ManualControlConfig& config, JogGroup group);

struct SpeedMenuItem {
    int id = 0;
    const char* captionKey = "";  // caption of the panel's texts
    JogGroup group = JogGroup::XY;
    int gear = 0;                 // which of the four speeds
};
// The twenty speed items in menu order (XY, Z, A, feeder, S; fast to fine).
const std::vector<SpeedMenuItem>& SpeedMenuItems();
inline constexpr int kMenuBankFirst = 32970;  // 32970..32973: east, south, west, north
inline constexpr int kMenuMark1Offset = 33083, kMenuMark2Offset = 33085;
// Applies a speed item: the group's step (and on XY items the gear); false for
// other ids.
bool ApplySpeedMenuItem(ManualControlConfig& config, int id, const SpeedTemplateSettings& speeds);

// ---- manual Mark offsets --------------------------------------------------------

struct PcbMarkPoints {
    double originX = 0, originY = 0;
    double mark1X = 0, mark1Y = 0, mark2X = 0, mark2Y = 0;  // relative to the origin
};
struct MarkOffsets {
    double mark1X = 0, mark1Y = 0, mark2X = 0, mark2Y = 0;
};
// The mark offset of one axis from the camera's position: nullopt when outside
// -3..3 mm. The result is the "%0.4f" text read back.
std::optional<double> MarkAxisOffset(double cameraToNozzle1, double pcbOrigin, std::int32_t counter,
                                     double factor, double nominal);

// ---- what the jog needs of the panel and of later subsystems ---------------------

struct JogPort {
    std::function<void(const std::string&)> showStepText;  // control 1223
    std::function<void(int bank)> showBank;                // icon of button 1231
    std::function<void(int id, bool enabled)> enableControl;
    std::function<void(int group)> showHeadGroup;          // caption and layout
    // automatic feeder settings: lift lengths in whole millimetres
    std::function<int()> openLength, closeLength;
    std::function<int()> runSelect;  // the part list's run mode
    // the part list's current PCB points and mark offsets
    std::function<std::optional<PcbMarkPoints>()> pcbMarkPoints;
    std::function<MarkOffsets()> markOffsets;
    std::function<void(const MarkOffsets&)> storeManualMarkOffsets;  // also sets the manual-mark flag
    std::function<void(double, double, double, double)> computeTwoMarkCorrection;
    std::function<std::string()> outOfRangeMessage;  // c_Message_19
};

// ---- the jog state of the panel --------------------------------------------------

class ManualJog {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    ManualJog();

    // The panel's configuration values (gear, steps, feeder bank): the panel
    // binds its own; without a binding the jog keeps its own copy.
    void BindConfig(ManualControlConfig* config);
    ManualControlConfig Config() const;
    void SetConfig(const ManualControlConfig& config);

    // Starts one jog; `countUsed` takes |pulses| as the step. Refused with the
    // guard messages; a zero step does nothing.
    void JogAxis(int axis, int direction, int hold, std::int32_t pulses, bool countUsed);
    // Ends a held jog after the step under way.
    void Stop() { m_stop = true; }

    // Advances the gear at most once per tick (about 300 ms); sends it when
    // connected. Returns the gear.
    int NextSpeedGear();
    void SetClock(Clock clock) { m_clock = std::move(clock); }

    // Panel input. `pressed` false is the release. Returns true when handled.
    bool OnButton(int controlId, bool pressed);
    enum class Key { Left, Right, Up, Down, Other };
    // A key down with its modifiers; true when the jog handled it.
    bool OnKeyDown(Key key, bool ctrl, bool shift);
    bool OnKeyUp(Key key);
    void OnPumpBox(int pump, bool on);
    void OnHeadGroupButton();
    // Right-button menu: a speed item, a bank item or a Mark-offset item.
    void OnMenu(int id);
    // Manual Mark offsets (mark 1 or 2); false when refused.
    bool TakeMarkOffset(int mark);

    int HeadGroup() const { return m_headGroup.load(); }
    void SetHeadGroup(int group) { m_headGroup = group == 2 ? 2 : 1; }
    int MachineType() const;
    void SetMachineType(std::function<int()> machineType) { m_machineType = std::move(machineType); }

    // The feeder lift worker: waits for the jog under way, then closes the lift.
    void FeederLiftThread();

    // Last jog's values (what the worker got).
    struct JogState {
        int axis = 0;
        std::int32_t step = 0;
        AxisSpeed speed;
        int hold = 0;
        int liftFlag = 0;
    };
    JogState LastJog() const;

    JogPort& Port() { return m_port; }

private:
    void JogThread(JogState jog);
    void RewriteStepText();
    void ShowStepText(const ManualControlConfig& c);
    void JogFeederCluster(const FeederClusterStep& s);

    mutable std::mutex m_mutex;  // config and jog state
    ManualControlConfig m_own;
    ManualControlConfig* m_config = &m_own;
    JogState m_jog;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_headGroup{1};
    std::atomic<bool> m_a1PlusEnabled{true};
    std::chrono::steady_clock::time_point m_lastTick{};
    bool m_ticked = false;
    Clock m_clock;
    std::function<int()> m_machineType;
    JogPort m_port;
};

// The process-wide jog of the manual control panel; also filled into the link's
// panel-key hooks, the pulse test's jog and the command panel's head group.
ManualJog& TheManualJog();
// The jog key of a toolkit key code (the arrows; anything else Other), for the
// dialogs other than the panel that jog from the keyboard (filled by the link's
// wiring with the panel's own mapping).
std::function<ManualJog::Key(int toolkitKey)>& JogKeyOf();
void InstallJogHooks();

}  // namespace smt
