// Homing: the homing command for a kind (0 all axes .. 9 the conveyor width) on
// each machine type, with the reset speeds and the axis switches; the reset menu
// of the manual control panel; the one-key clear that records the reference
// position of relative coordinates.
//
// A homing ends with the machine's homing-finished reply. It can also fail: a
// command this link cannot carry, a send that did not go out, an error report or
// a Z warning while it is outstanding, the link going down, or no reply within the
// homing limit. A failed homing releases the busy flag it took and says so.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "settings/speed_tables.h"

namespace smt {

// The sixteen axis switches of the origin update settings (1 = the axis is homed
// by the reset of all axes); every switch is on when nothing was stored.
struct HomingAxisSwitches {
    int m_00_X = 1, m_01_Y = 1, m_02_Z1 = 1, m_03_Z2 = 1;
    int m_04_A1 = 1, m_05_A2 = 1, m_06_A3 = 1, m_07_A4 = 1;
    int m_08_W1 = 1, m_09_W2 = 1, m_0A_W3 = 1, m_0B_L1 = 1;
    int m_0C_L2 = 1, m_0D_L3 = 1, m_0E_D1 = 1, m_0F_D2 = 1;
};

enum class HomingCommand { None, Home02, Home52, Home72 };

struct HomingPlan {
    HomingCommand command = HomingCommand::None;
    // 0x02 and 0x52: the fourteen speed codes in frame order. 0x02: (start, run) of
    // X, Y, Z1, Z2, west, north, east walk. 0x52: X start, X run, X2 start, X2 run,
    // Y start, Y2 start, Y run, Y2 run, Z start, Z run, Z2 start, Z2 run, third Z
    // start, third Z run.
    std::array<std::int32_t, 14> codes{};
    // 0x72: X start, Y start, X/Y run, Z start of heads 1..8, Z run.
    std::array<std::int32_t, 12> words{};
    int outputOff = 0;  // output switched off before the command (0: none)
    friend bool operator==(const HomingPlan&, const HomingPlan&) = default;
};

// What kind `kind` sends on `machineType`. Kinds without a homing command on the
// type (type 7: 5..9; type 4: 8, 9; anything outside 0..9) give HomingCommand::None.
HomingPlan PlanHoming(int machineType, int kind, const SpeedTypeTable& resetSpeeds,
                      const HomingAxisSwitches& switches);

// Only the serial link carries 0x52 and only Ethernet carries 0x72.
bool HomingCommandOnLink(HomingCommand command, bool ethernet);

// ---- what homing uses of its neighbours (empty members: the live settings, the
// origin update's switches all on) ----
struct HomingPort {
    std::function<int()> machineType;
    std::function<bool()> ethernet;  // m_CommModel != 0
    std::function<SpeedTypeTable()> resetSpeeds;
    std::function<HomingAxisSwitches()> axisSwitches;  // the origin update settings
    // Where the one-key clear records the X, Y, X2, Y2 counters beyond the basic
    // settings (part list, feeder list, mark library).
    std::function<void(const std::array<std::int32_t, 4>&)> recordReference;
};
HomingPort& TheHomingPort();

// MachineReset: not connected -> "Machine is not connection !"; `refuseWhileRunning`
// and busy -> "Machine is runnig !"; otherwise the busy flag is held, `kind` becomes
// the panel's reset kind, the panel is disabled and the command goes out. Returns
// true when a homing is under way. Never waits for the machine. Without the
// running check a busy flag the caller holds passes to the homing, which clears it
// at its reply or its failure.
bool MachineReset(int kind, bool refuseWhileRunning);

// The panel's reset button and Ethernet panel key 11: g_Homed cleared, full homing
// with the busy check. A refusal leaves g_Homed as it was.
bool ResetButtonAction();

// The homing-finished reply (installed as the link's reply hooks): runs the
// finished handler only for the homing under way; a reply for an abandoned
// homing is traced and otherwise ignored.
void OnHomingFinishedReply(bool model4);
// A machine error report, a machine status error or a Z warning: ends the
// homing under way as failed.
void OnMachineFaultDuringHoming();
// The operator's stop: every reply wait and a homing under way end at once, each
// with a trace line; the link counts as lost (what the machine did is unknown).
void StopMachineWaits();
bool HomingInProgress();
// Installs the two reply hooks (around the command set's homing-finished
// handlers), the fault hook and the machine panel's reset key.
void InstallHomingHooks();

// Why a homing failed.
enum class HomingFailure { NoAnswer, LinkClosed, NotSent, MachineError, Stopped };
// The message of a homing that failed, in the interface language.
std::string HomingFailedText(HomingFailure why);

// ---- reset menu ----
inline constexpr int kMenuResetX = 33043, kMenuResetY = 33044, kMenuResetZ = 32992,
                     kMenuResetXYZ = 33045, kMenuResetWest = 32986, kMenuResetNorth = 32989,
                     kMenuResetEast = 32988, kMenuResetSouth = 32987, kMenuSetAllZero = 32990;

struct ResetMenuItem {
    int id = 0;
    std::string captionKey;  // "c_ID_Reset_X" ... (section ManualControlConfig)
    bool enabled = true;
};
// The items in menu order with the caption key each carries on `machineType`.
std::array<ResetMenuItem, 9> ResetMenuItems(int machineType, bool conveyorInUse);
// The homing kind of a menu item (1..8), -1 for the one-key clear or other ids.
int ResetKindOfMenu(int id);
// Runs a menu item: a homing kind through MachineReset with the busy check, or the
// one-key clear. Greyed items never reach here.
void OnResetMenu(int id);

// One-key clear: the X, Y, X2, Y2 position counters become the reference positions
// (m_RefPulseX .. of the basic settings and the `recordReference` hook). Nothing
// is sent, no counter changes.
void SetAllZero();

}  // namespace smt
