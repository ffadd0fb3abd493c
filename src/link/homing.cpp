#include "link/homing.h"

#include <mutex>
#include <optional>

#include "link/busy.h"
#include "link/combined_commands.h"
#include "link/commands.h"
#include "link/link_lost.h"
#include "link/position_counters.h"
#include "link/reply_handlers.h"
#include "link/link_state.h"
#include "link/manual_control.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "settings/basic_settings.h"
#include "settings/speed_template.h"

namespace smt {

namespace {

// Drives of the speed tables.
enum Drive { kX = 0, kY = 1, kZ1 = 2, kZ2 = 3, kWestWalk = 8, kNorthWalk = 10, kEastWalk = 12, kAutoWalk1 = 14 };

struct Pair {
    std::int32_t start = 0, run = 0;
};

Pair speed(const SpeedTypeTable& t, int drive, bool on = true) {
    if (!on) return {};
    const SpeedPair p = t.Pair(drive);
    return {p.start, p.run};
}

HomingPlan plan02(int kind, const SpeedTypeTable& t, const HomingAxisSwitches& s) {
    HomingPlan p;
    p.command = HomingCommand::Home02;
    Pair x, y, z1, z2, west, north, east;
    switch (kind) {
    case 0:
    case 4:
        x = speed(t, kX, s.m_00_X);
        y = speed(t, kY, s.m_01_Y);
        z1 = speed(t, kZ1, s.m_02_Z1);
        z2 = speed(t, kZ2, s.m_03_Z2);
        if (kind == 0) {
            west = speed(t, kWestWalk, s.m_08_W1);
            north = speed(t, kNorthWalk, s.m_09_W2);
            east = speed(t, kEastWalk, s.m_0A_W3);
        }
        break;
    case 1: x = speed(t, kX, s.m_00_X); break;
    case 2: y = speed(t, kY, s.m_01_Y); break;
    case 3:
        z1 = speed(t, kZ1, s.m_02_Z1);
        z2 = speed(t, kZ2, s.m_03_Z2);
        break;
    case 5: west = speed(t, kWestWalk, s.m_08_W1); p.outputOff = 5; break;
    case 6: north = speed(t, kNorthWalk, s.m_09_W2); p.outputOff = 6; break;
    case 7: east = speed(t, kEastWalk, s.m_0A_W3); p.outputOff = 7; break;
    case 8: p.outputOff = 8; break;
    case 9: west = speed(t, kAutoWalk1); break;  // the conveyor width drive
    default: return {};
    }
    const Pair pairs[7] = {x, y, z1, z2, west, north, east};
    for (int i = 0; i < 7; ++i) {
        p.codes[2 * i] = pairs[i].start;
        p.codes[2 * i + 1] = pairs[i].run;
    }
    return p;
}

HomingPlan plan52(int kind, const SpeedTypeTable& t, const HomingAxisSwitches& s) {
    Pair x, x2, y, y2, z, z2, z3;
    switch (kind) {
    case 0:
        x = speed(t, kX, s.m_00_X);
        x2 = speed(t, kX, s.m_09_W2);
        y = speed(t, kY, s.m_01_Y);
        y2 = speed(t, kY, s.m_0C_L2);
        z = speed(t, kZ1, s.m_02_Z1);
        z2 = speed(t, kZ2, s.m_03_Z2);
        z3 = speed(t, kZ1, s.m_0A_W3);
        break;
    case 1: x = speed(t, kX); break;
    case 2: y = speed(t, kY); break;
    case 3: z = speed(t, kZ1); z2 = speed(t, kZ2); break;
    case 4: x = speed(t, kX); y = speed(t, kY); z = speed(t, kZ1); z2 = speed(t, kZ2); break;
    case 5: y2 = speed(t, kY); break;
    case 6: z3 = speed(t, kZ1); break;
    case 7: x2 = speed(t, kX); break;
    default: return {};
    }
    HomingPlan p;
    p.command = HomingCommand::Home52;
    p.codes = {x.start, x.run, x2.start, x2.run, y.start, y2.start, y.run, y2.run,
               z.start, z.run, z2.start, z2.run, z3.start, z3.run};
    return p;
}

HomingPlan plan72(int kind, const SpeedTypeTable& t, const HomingAxisSwitches& s) {
    if (kind < 0 || kind > 4) return {};
    const bool xy = kind == 0 || kind == 4;
    const bool homeX = (xy || kind == 1) && s.m_00_X;
    const bool homeY = (xy || kind == 2) && s.m_01_Y;
    const bool heads = xy || kind == 3;
    const int headSwitch[8] = {s.m_04_A1, s.m_05_A2, s.m_06_A3, s.m_07_A4,
                               s.m_08_W1, s.m_09_W2, s.m_0A_W3, s.m_0B_L1};
    const SpeedPair x = t.Pair(kX), y = t.Pair(kY), z = t.Pair(kZ1);
    HomingPlan p;
    p.command = HomingCommand::Home72;
    p.words[0] = homeX ? x.start : 0;
    p.words[1] = homeY ? y.start : 0;
    p.words[2] = x.run;
    for (int h = 0; h < 8; ++h) p.words[3 + h] = heads && headSwitch[h] ? z.start : 0;
    p.words[11] = z.run;
    return p;
}

}  // namespace

HomingPlan PlanHoming(int machineType, int kind, const SpeedTypeTable& t, const HomingAxisSwitches& s) {
    if (machineType == 7) return plan72(kind, t, s);
    if (machineType == 4) return plan52(kind, t, s);
    return plan02(kind, t, s);
}

bool HomingCommandOnLink(HomingCommand command, bool ethernet) {
    switch (command) {
    case HomingCommand::Home02: return true;
    case HomingCommand::Home52: return !ethernet;
    case HomingCommand::Home72: return ethernet;
    case HomingCommand::None: return false;
    }
    return false;
}

HomingPort& TheHomingPort() {
    static HomingPort port;
    return port;
}

// ---- the live values behind an empty port, and the command set's homing commands ----

namespace {

int portMachineType() {
    auto& p = TheHomingPort();
    if (p.machineType) return p.machineType();
    auto& h = GetLinkHooks();
    return h.machineType ? h.machineType() : 0;
}

bool portEthernet() {
    auto& p = TheHomingPort();
    return p.ethernet ? p.ethernet() : TheBasicSettings().m_CommModel != 0;
}

HomeAxesSpeeds speeds02(const std::array<std::int32_t, 14>& c) {
    // Frame order: X, Y, Z1, Z2, then the three walk slots as the kind table fills them.
    auto pair = [&](int i) { return AxisSpeed{c[2 * i], c[2 * i + 1]}; };
    return {pair(0), pair(1), pair(2), pair(3), pair(4), pair(5), pair(6)};
}

HomeModel4Speeds speeds52(const std::array<std::int32_t, 14>& c) {
    return {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9], c[10], c[11], c[12], c[13]};
}

ResetHeadsPayload payload72(const std::array<std::int32_t, 12>& w) {
    ResetHeadsPayload p;
    p.xStart = w[0];
    p.yStart = w[1];
    p.xyRun = w[2];
    for (int h = 0; h < 8; ++h) p.zStart[h] = w[3 + h];
    p.zRun = w[11];
    return p;
}

// The homing commands do not wait; false when nothing went out.
bool send(const HomingPlan& plan) {
    switch (plan.command) {
    case HomingCommand::Home02: return SendHomeAxes(speeds02(plan.codes));
    case HomingCommand::Home52: return SendHomeAxesModel4(speeds52(plan.codes));
    case HomingCommand::Home72: return SendResetHeads(payload72(plan.words));
    case HomingCommand::None: break;
    }
    return false;
}

// ---- the homing under way ----

enum class State { Idle, Pending, Finished, Failed };

struct Session {
    std::mutex mutex;
    State state = State::Idle;
    unsigned generation = 0;
    bool ownsBusy = false;   // the busy flag was taken by this homing
    HomingFailure why = HomingFailure::NoAnswer;
    plat::Event ended{true, false};
};

Session& session() {
    static Session s;
    return s;
}

void finishFailed(unsigned generation) {
    Session& s = session();
    HomingFailure why = HomingFailure::NoAnswer;
    bool ownsBusy = false;
    {
        std::lock_guard lock(s.mutex);
        if (s.generation != generation || s.state != State::Failed) return;
        s.state = State::Idle;
        why = s.why;
        ownsBusy = s.ownsBusy;
    }
    g_PanelLink.resetKind = -1;
    if (ownsBusy) ReleaseBusy();
    if (auto& f = TheCommandPanel().enableResetButton) f();
    AppendCommTrace(HomingFailedText(why), true);
    if (!plat::WaitsCancelled()) plat::MessageBoxOk(HomingFailedText(why), true, plat::MsgIcon::Error);
}

bool failPending(HomingFailure why, std::optional<unsigned> generation = std::nullopt) {
    Session& s = session();
    std::lock_guard lock(s.mutex);
    if (s.state != State::Pending || (generation && *generation != s.generation)) return false;
    s.state = State::Failed;
    s.why = why;
    s.ended.Set();
    return true;
}

// Waits for the end of homing `generation` within the homing limit; the link
// going down or the limit passing fails it.
void watch(unsigned generation, bool ethernet) {
    Session& s = session();
    const auto* stop = StopFlagOf(ethernet ? Transport::Ethernet : Transport::Serial);
    const plat::WaitResult r = s.ended.Wait(WaitLimit(WaitKind::Homing), stop);
    if (r != plat::WaitResult::Signalled) {
        // Unanswered, the board's state is unknown: the link counts as lost, as
        // after every other missed reply.
        if (r == plat::WaitResult::TimedOut && failPending(HomingFailure::NoAnswer, generation)) g_Connected = false;
        else failPending(HomingFailure::LinkClosed, generation);
    }
    finishFailed(generation);
}

}  // namespace

std::string HomingFailedText(HomingFailure why) {
    const LinkTexts t = CurrentLinkTexts();
    return t.homingFailed + t.homingCauses[static_cast<std::size_t>(why)] + " !";
}

bool HomingInProgress() {
    Session& s = session();
    std::lock_guard lock(s.mutex);
    return s.state == State::Pending;
}

bool MachineReset(int kind, bool refuseWhileRunning) {
    // A run's own homing after its link was lost: the loss has been told, and
    // nothing more goes over that link.
    if (!refuseWhileRunning && LinkLost()) return RefuseOnLostLink("02");
    if (!g_Connected.load()) {
        plat::MessageBoxOk("Machine is not connection !", true, plat::MsgIcon::Warning);
        return false;
    }
    BusyClaim claim = BusyClaim::Try();
    if (!claim && refuseWhileRunning) {
        plat::MessageBoxOk("Machine is runnig !", true, plat::MsgIcon::Warning);
        return false;
    }
    auto& port = TheHomingPort();
    const int type = portMachineType();
    const bool ethernet = portEthernet();
    const SpeedTypeTable speeds = port.resetSpeeds ? port.resetSpeeds() : TheSpeedTemplates().Table(SpeedType::Reset);
    const HomingAxisSwitches switches = port.axisSwitches ? port.axisSwitches() : HomingAxisSwitches{};
    const HomingPlan plan = PlanHoming(type, kind, speeds, switches);
    if (plan.command == HomingCommand::None) return false;  // the claim is released
    if (!HomingCommandOnLink(plan.command, ethernet)) {
        plat::MessageBoxOk("通讯未完成 ！", true, plat::MsgIcon::Warning);
        return false;
    }
    // Accepted: from here the kind is the one the finished reply books.
    Session& s = session();
    unsigned generation = 0;
    {
        std::lock_guard lock(s.mutex);
        generation = ++s.generation;
        s.state = State::Pending;
        // Without the running check the caller's busy flag passes to this homing.
        s.ownsBusy = static_cast<bool>(claim) || !refuseWhileRunning;
        s.ended.Reset();
    }
    claim.HandOver();  // the finished reply or the failure path clears it
    g_PanelLink.resetKind = kind;
    EnableManualControls(false);
    if (plan.outputOff) SetOutput({static_cast<std::uint8_t>(plan.outputOff), 0, 5});
    if (!send(plan)) {
        failPending(HomingFailure::NotSent, generation);
        finishFailed(generation);
        return false;
    }
    plat::StartWorker("homing watch", [generation, ethernet] { watch(generation, ethernet); });
    return true;
}

bool ResetButtonAction() {
    if (!g_Connected.load()) {
        plat::MessageBoxOk("Machine is not connection !", true, plat::MsgIcon::Warning);
        return false;
    }
    if (g_Running.load()) {
        plat::MessageBoxOk("Machine is runnig !", true, plat::MsgIcon::Warning);
        return false;
    }
    g_Homed = false;
    return MachineReset(0, true);
}

void OnHomingFinishedReply(bool model4) {
    Session& s = session();
    bool ownsBusy = false;
    {
        std::lock_guard lock(s.mutex);
        if (s.state != State::Pending) {
            AppendCommTrace("02->end (no homing under way)", true);
            return;
        }
        s.state = State::Finished;
        ownsBusy = s.ownsBusy;
    }
    const bool handedOn = model4 ? OnResetFinishedModel4() : OnResetFinished();
    {
        std::lock_guard lock(s.mutex);
        if (s.state == State::Finished) s.state = State::Idle;
    }
    // Only the homing that claimed the busy flag releases it.
    if (ownsBusy && !handedOn) ReleaseBusy();
    s.ended.Set();
}

void OnMachineFaultDuringHoming() { failPending(HomingFailure::MachineError); }

void StopMachineWaits() {
    StopPendingWaits();
    // A homing stopped before its reply: where the axes stand is unknown.
    if (failPending(HomingFailure::Stopped)) {
        g_Connected = false;
        AppendCommTrace("02->stopped", true);
    }
}

void InstallHomingHooks() {
    TheCommandPanel().startHoming = [](int kind) { MachineReset(kind, true); };
    auto& h = GetLinkHooks();
    h.onResetFinished = [] { OnHomingFinishedReply(false); };
    h.onResetFinishedModel4 = [] { OnHomingFinishedReply(true); };
    h.onMachineFault = [] { OnMachineFaultDuringHoming(); };
    h.resetButton = [] { ResetButtonAction(); };
}

// ---- reset menu ----

std::array<ResetMenuItem, 9> ResetMenuItems(int type, bool conveyorInUse) {
    const bool walks = type != 7 && !(type != 4 && conveyorInUse);
    std::array<ResetMenuItem, 9> items = {{
        {kMenuResetX, "c_ID_Reset_X", true},
        {kMenuResetY, "c_ID_Reset_Y", true},
        {kMenuResetZ, "c_ID_Reset_Z", true},
        {kMenuResetXYZ, "c_ID_Reset_XYZ", true},
        {kMenuResetEast, type == 4 ? "c_ID_Reset_X2" : "c_ID_Reset_EastWalk", walks},
        {kMenuResetWest, type == 4 ? "c_ID_Reset_Y2" : "c_ID_Reset_WestWalk", walks},
        {kMenuResetNorth, type == 4 ? "c_ID_Reset_Z2" : "c_ID_Reset_NorthWalk", walks},
        {kMenuResetSouth, "c_ID_Reset_SouthWalk", false},
        {kMenuSetAllZero, "c_ID_SetAllZero", true},
    }};
    return items;
}

int ResetKindOfMenu(int id) {
    switch (id) {
    case kMenuResetX: return 1;
    case kMenuResetY: return 2;
    case kMenuResetZ: return 3;
    case kMenuResetXYZ: return 4;
    case kMenuResetWest: return 5;
    case kMenuResetNorth: return 6;
    case kMenuResetEast: return 7;
    case kMenuResetSouth: return 8;
    default: return -1;
    }
}

void OnResetMenu(int id) {
    if (id == kMenuSetAllZero) return SetAllZero();
    const int kind = ResetKindOfMenu(id);
    if (kind > 0) MachineReset(kind, true);
}

void SetAllZero() {
    auto& port = TheHomingPort();
    const std::array<std::int32_t, 4> c{g_PulseX.load(), g_PulseY.load(), g_PulseX2.load(), g_PulseY2.load()};
    BasicSettings& b = TheBasicSettings();
    b.m_RefPulseX = c[0];
    b.m_RefPulseY = c[1];
    b.m_RefPulseX2 = c[2];
    b.m_RefPulseY2 = c[3];
    if (port.recordReference) port.recordReference(c);
}

}  // namespace smt
