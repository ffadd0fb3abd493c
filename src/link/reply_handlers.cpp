#include "link/reply_handlers.h"

#include <chrono>
#include <cstdio>

#include "link/command_common.h"
#include "link/commands.h"
#include "link/link_log.h"
#include "link/link_lost.h"
#include "link/link_state.h"
#include "link/locked.h"
#include "link/position_counters.h"
#include "platform/event.h"
#include "settings/basic_settings.h"

namespace smt {

namespace {

Locked<std::string> g_vacuumCaption{"检测真空值为："};

template <class F, class... A>
void call(const F& hook, A&&... args) {
    if (hook) hook(std::forward<A>(args)...);
}

bool debugModel() {
    const auto& h = GetLinkHooks();
    return h.debugModel ? h.debugModel() : TheBasicSettings().m_DebugModel != 0;
}

void enableControls() { call(GetLinkHooks().enableManualControls, true); }

void clearCounters() {
    g_PanelLink.commandCounter = 0;
    g_PanelLink.replyCounter = 0;
    call(TheCommandPanel().showCommandCounter, 0);
    call(GetLinkHooks().showReplyCounter, 0);
}

void showAllFields() {
    cmd::ShowXY();
    cmd::ShowField(PositionField::Z, g_PulseZ[0]);
    cmd::ShowA1();
}

// Kinds 1 to 4 rewrite the fields of what they homed.
void showHomedFields(std::uint32_t drives) {
    if (drives & homed::kX) cmd::ShowField(PositionField::X, 0);
    if (drives & homed::kY) cmd::ShowField(PositionField::Y, 0);
    if (drives & homed::kAnyZ) {
        g_HeadResetOk = true;
        cmd::ShowField(PositionField::Z, 0);
    }
}

int runSelect() {
    const auto& f = TheCommandPanel().runSelect;
    return f ? f() : 0;
}

// Full homing: heads homed, then either the camera goes to the visual origin
// (which claims the busy flag itself) or the panel is enabled. Returns true when
// the busy flag was handed on to the visual-origin move.
bool finishFullHoming() {
    const auto& port = TheCommandPanel();
    TickPumpBoxes(0, false);
    showAllFields();
    clearCounters();
    g_HeadResetOk = true;
    g_Homed = true;
    NoteMachineHomed();
    // The full homing is over: the panel's enabling (the run's Start among it) no
    // longer treats it as under way. The handler read the kind when the reply came.
    g_PanelLink.resetKind = -1;
    const bool toOrigin = !(port.resetToOriginFlag && port.resetToOriginFlag()) &&
                          TheBasicSettings().m_ResetToVisualOrigin != 0 && port.moveCameraToVisualOrigin;
    if (toOrigin) {
        g_Running = false;
        call(port.clearViewBusyByte);
        port.moveCameraToVisualOrigin();
    } else {
        enableControls();
    }
    SetSpeedGear(4, 0);
    return toOrigin;
}

// The end of every kind. The busy flag is the homing's owner's to release
// (`OnHomingFinishedReply`): a homing started without the claim leaves it to
// whoever holds it, and a visual-origin move started above owns it now.
bool endHoming(bool handedOn) {
    call(TheCommandPanel().clearResetToOriginFlag);
    return handedOn;
}

void switchOffNozzleOutputs() {
    const int exhaust = TheBasicSettings().m_Exhaust;
    if (cmd::MachineType() != 7) {
        for (std::uint8_t ch = 1; ch <= 4; ++ch) SetOutput({ch, 0, 5});
        return;
    }
    const std::uint8_t mask = g_PanelLink.zCheckMask.load();
    const int last = runSelect() == 1 || runSelect() == 2 ? 7 : 8;
    for (int n = 1; n <= last; ++n) {
        if (!(mask & (1u << (n - 1)))) continue;
        plat::SleepFor(plat::Millis(exhaust));
        SetOutput({static_cast<std::uint8_t>(0x20 + n - 1), 0, static_cast<std::uint16_t>(exhaust)});
    }
}

}  // namespace

void SetVacuumCaption(const std::string& caption) { g_vacuumCaption.Set(caption); }

void ShowVacuumReading() {
    char b[32];
    std::snprintf(b, sizeof b, "%dkPa", g_VacuumReading.load());
    AppendCommTrace(g_vacuumCaption.Get() + b, true);
}

void OnLinkEstablished() {
    const Transport transport = cmd::UseSerial() ? Transport::Serial : Transport::Ethernet;
    const std::atomic<bool>* stop = StopFlagOf(transport);
    // On the serial link the handshake's reply has set it already, before the
    // connect went on: set again here, on the reply thread, it could wake the
    // first single-axis command sent after the connect before its own reply.
    if (transport == Transport::Ethernet) g_ReplyEvents[ReplyFamily::SingleAxis].Set();
    call(GetLinkHooks().setConnectCaption, CurrentLinkTexts().onlineSuccessful);
    ShowKnownPumps();
    clearCounters();
    // The attempt that brought this answer may be given up (its link threads
    // stopped); a later port must not find this handler still waiting. A connect
    // that never completes ends the wait too.
    const auto giveUp = std::chrono::steady_clock::now() + WaitLimit(WaitKind::Query);
    while (!g_Connected.load()) {
        if (stop->load() || plat::WaitsCancelled()) return;
        if (std::chrono::steady_clock::now() >= giveUp) {
            LinkLog("Link established but never connected");
            return;
        }
        plat::SleepFor(plat::Millis(200), stop);
    }
    if (!plat::SleepFor(plat::Millis(200), stop) || stop->load()) return;
    if (TheBasicSettings().m_OnlineToReset) {
        g_PanelLink.resetKind = 0;
        call(TheCommandPanel().startHoming, 0);
    } else {
        call(TheCommandPanel().enableResetButton);
    }
    if (debugModel()) enableControls();
}

// The counters of the drives the homing command sent home go to 0, and only
// those: the board homes exactly the drives that had speeds.
bool OnResetFinished() {
    const auto& port = TheCommandPanel();
    const int kind = g_PanelLink.resetKind.load();
    std::uint32_t drives = g_PanelLink.homedDrives.load();
    // Kind 9 drives the conveyor width in the west-walk slot: its counter is the
    // width the reference switch stands at, and the west walk stays where it is.
    if (kind == 9) drives &= ~homed::kW1;
    ZeroHomedCounters(drives);
    bool handedOn = false;
    switch (kind) {
    case 0:
        call(port.setCurrentCamera, 0);
        call(port.applyMarkCameraVision);
        switchOffNozzleOutputs();
        handedOn = finishFullHoming();
        break;
    case 1: case 2: case 3: case 4: showHomedFields(drives); break;
    case 9:
        g_PulseFeederWalk[3] = port.conveyorWidthPulses ? port.conveyorWidthPulses() : 0;
        call(port.enableConveyorControl);
        break;
    default: break;
    }
    if ((kind >= 1 && kind <= 7) || kind == 9) enableControls();
    return endHoming(handedOn);
}

// Type 4 (0x52): kind 4 homes the Z rockers with X and Y, as its command says, and
// no kind touches a feeder walk (0x52 has no walk slot). The board sees only the
// frame, and a full homing with some switches off sends the frame of another kind,
// so what is zeroed follows the frame, never the kind.
bool OnResetFinishedModel4() {
    const int kind = g_PanelLink.resetKind.load();
    const std::uint32_t drives = g_PanelLink.homedDrives.load();
    ZeroHomedCounters(drives);
    bool handedOn = false;
    switch (kind) {
    case 0: {
        for (std::uint8_t ch = 1; ch <= 4; ++ch) SetOutput({ch, 0, 5});
        const int mode = runSelect();
        if (mode >= 9 && mode <= 12) {
            SetOutput({7, 1, 5});
            SetOutput({8, 1, 5});
        }
        handedOn = finishFullHoming();
        break;
    }
    case 1: case 2: case 3: case 4: showHomedFields(drives); break;
    default: break;
    }
    if (kind >= 1 && kind <= 7) enableControls();
    return endHoming(handedOn);
}

void InstallCommandReplyHandlers() {
    auto& h = GetLinkHooks();
    h.onLinkEstablished = OnLinkEstablished;
    h.onResetFinished = [] { OnResetFinished(); };
    h.onResetFinishedModel4 = [] { OnResetFinishedModel4(); };
    h.showVacuumReading = ShowVacuumReading;
    h.setSpeedGear = [](std::uint8_t mode, std::uint8_t second) { SetSpeedGear(mode, second); };
}

}  // namespace smt
