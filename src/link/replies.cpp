#include "link/replies.h"

#include <cstdio>
#include <mutex>
#include <thread>

#include "link/cmd_srv.h"
#include "link/link_state.h"
#include "platform/msgbox.h"
#include "platform/uipost.h"
#include "settings/basic_settings.h"
#include "settings/version_switches.h"

namespace smt {

namespace {

std::string hex2(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

int machineType() {
    auto& h = GetLinkHooks();
    return h.machineType ? h.machineType() : 0;
}

bool debugModel() {
    auto& h = GetLinkHooks();
    return h.debugModel ? h.debugModel() : TheBasicSettings().m_DebugModel != 0;
}

bool sendLimitsOnLink() {
    auto& h = GetLinkHooks();
    return h.sendLimitsOnLink ? h.sendLimitsOnLink() : TheVersionSwitches().m_V2_06 != 0;
}

template <class F, class... A>
void call(const F& hook, A&&... args) {
    if (hook) hook(std::forward<A>(args)...);
}

void setFamily(std::uint16_t command) {
    if (auto f = FamilyOfCommand(command)) g_ReplyEvents[*f].Set();
}

// Boxes of the serial dispatch: owned by the panel, captioned "通讯提示", OK/Cancel.
// Posted: the reply thread goes on with the replies behind while the box is open.
void serialBox(const std::string& text) {
    const plat::MsgBoxRequest box{text, CurrentLinkTexts().message05, plat::MsgButtons::OkCancel,
                                  plat::MsgIcon::None, false};
    plat::PostToUi([box] { plat::ShowMessageBox(box); });
}

void topmostBox(const std::string& text) { PostMessageBoxOk(text, plat::MsgIcon::Warning); }

void homingFinished() {
    auto& h = GetLinkHooks();
    if (machineType() == 4) call(h.onResetFinishedModel4);
    else call(h.onResetFinished);
}

void countReply() {
    const std::int32_t n = g_PanelLink.replyCounter.fetch_add(1) + 1;
    call(GetLinkHooks().showReplyCounter, n);
}

constexpr std::uint8_t kVacuumStatus = 0x68;

std::uint8_t byteAt(const ReplyFrame& f, std::size_t i) { return i < f.length ? f.data[i] : 0; }

void dispatchCommandReply(const ReplyFrame& f) {
    auto& h = GetLinkHooks();
    switch (f.code) {
    case 0x00:  // the handshake: link established
        g_ReplyEvents[ReplyFamily::SingleAxis].Set();
        call(h.onLinkEstablished);
        if (sendLimitsOnLink()) call(h.startSendAxisLimits);
        break;
    case 0x01: g_AxisLimitEvent.Set(); break;
    case 0x02: homingFinished(); break;
    case 0x03:
    case 0x04: break;
    case 0x15:
        g_VacuumReading = byteAt(f, 1);
        call(h.showVacuumReading);
        // Always: a vacuum test outside a run waits for it too.
        g_ReplyEvents[ReplyFamily::Vacuum].Set();
        break;
    case 0x53:
    case 0x54:
    case 0x61:
    case 0x64:
        countReply();
        setFamily(f.code);
        break;
    case 0x56:
    case 0x66:
    case 0x58:
    case 0x62:
    case 0x63:
    case 0x65: setFamily(f.code); break;
    case 0x67:
        setFamily(f.code);
        call(h.showZFieldZero);
        break;
    case 0x68:
        // The result is stored before the waiting place command is released.
        g_VacuumCheckOk = byteAt(f, 0) == 0;
        g_VacuumReading = byteAt(f, 1);
        setFamily(f.code);
        call(h.showVacuumReading);
        call(h.showZFieldZero);
        break;
    case 0x71:
        g_PanelLink.heightMeasured = byteAt(f, 0) != 0;
        if (byteAt(f, 0) == 0) {
            g_PanelLink.measuredHeight = 0;
            topmostBox("Measurement Error !");
        } else {
            g_PanelLink.measuredHeight = static_cast<std::int32_t>(
                (std::uint32_t(byteAt(f, 1)) << 24) | (std::uint32_t(byteAt(f, 2)) << 16) |
                (std::uint32_t(byteAt(f, 3)) << 8) | byteAt(f, 4));
        }
        g_ReplyEvents[ReplyFamily::SingleAxis].Set();
        break;
    default: serialBox(CurrentLinkTexts().message06); break;
    }
}

// An error report names no command: whatever move waits now was refused and
// ends as failed (its state flags are set first, its box follows).
void dispatchErrorReport(const ReplyFrame& f) {
    // State first, so that whoever the fault and the refusal wake sees it; the
    // fault (a homing under way) before the refusal, whose thread may start the
    // next action at once.
    const unsigned waiting = WaitingReplies();
    const bool headFault = f.code == 0xE3 || f.code == 0xE4;
    if (headFault) g_HeadResetOk = false;
    // A refused move books nothing, yet the machine may have carried it out: the
    // report was perhaps for another command sent meanwhile (a second thread's,
    // or one that waits for no reply). The counters are then in doubt until a
    // homing. E3 and E4 already ask for one (the heads' reset state); E8 is the
    // travel-limit refusal of a move at a limit, which an operator's click far
    // off meets, and needs none.
    const bool inDoubt = !headFault && f.code != 0xE8 && MovesCounters(waiting);
    if (f.code == 0xE2 || inDoubt) g_Homed = false;
    call(GetLinkHooks().onMachineFault);
    RefuseReplies(waiting);
    const LinkTexts t = CurrentLinkTexts();
    const std::uint8_t sub = byteAt(f, 0);
    const std::uint8_t code = f.code;
    switch (code) {
    case 0x61: case 0x62: case 0x64: case 0x65: case 0x66: case 0x67: case 0x68: case 0x71:
    case 0xB1: case 0xB2: case 0xB3: case 0xB4: case 0xB5: case 0xB6: case 0xB7: case 0xB8: case 0xB9:
    case 0xD0: case 0xD1: case 0xD2: case 0xD3: case 0xD4: case 0xD5:
    case 0xE1: case 0xE6: case 0xE7:
        serialBox("Error " + hex2(code));
        break;
    case 0xE2:
        if (debugModel()) {
            g_PanelLink.resetKind = -1;
            call(GetLinkHooks().enableManualControls, true);
        }
        if (sub <= 15) serialBox("Error E2-" + hex2(sub) + t.message21);
        break;
    case 0xE3:
        serialBox(t.message14);
        serialBox(t.message20);
        break;
    case 0xE4:
        serialBox(t.message15);
        break;
    case 0xE5: {
        std::string which = sub <= 15 ? hex2(sub) : sub == 0xFD ? "XY" : sub == 0xFE ? "XYA" : "XX";
        serialBox("Error E5-" + which + t.message22);
        break;
    }
    case 0xE8:
        if (sub == 0x11 || sub == 0x14) serialBox("Error E8-X coordinate limit !");
        else if (sub == 0x12 || sub == 0x15) serialBox("Error E8-Y coordinate limit !");
        else serialBox("Error E8-XX");
        break;
    default: serialBox(t.message16); break;
    }
}

}  // namespace

void DispatchSerialReply(const ReplyFrame& frame) {
    switch (frame.type) {
    case 0x00: OnMachinePanelKey(byteAt(frame, 0)); break;
    case 0x01: dispatchCommandReply(frame); break;
    case 0xF1: break;
    case 0xFF: dispatchErrorReport(frame); break;
    default: serialBox(CurrentLinkTexts().message17); break;
    }
}

std::optional<StatusText> MachineStatusText(std::uint8_t s) {
    static const char* const kLow[] = {"超时", "通信端口错误", "打包错误", "加密错误", "长度错误"};
    auto line = [&](const std::string& what) { return "Error-" + hex2(s) + " = " + what + " !"; };
    if (s == 0x00) return std::nullopt;
    if (s >= 0x01 && s <= 0x05) return StatusText{line(kLow[s - 1])};
    switch (s) {
    case 0x10: return StatusText{line("运行保护")};
    case 0x11: return StatusText{line("X当前位置出错")};
    case 0x12: return StatusText{line("Y当前位置出错")};
    case 0x14: return StatusText{line("X坐标超限")};
    case 0x15: return StatusText{line("Y坐标超限")};
    case 0x28: return StatusText{line("Z1电机或测量头故障")};
    case 0x29:
    case 0xE3: return StatusText{"Error-29 = Z复位故障 !", true};
    case 0x41: return StatusText{line("机头板超时")};
    case 0x42: return StatusText{line("飞达板超时")};
    case 0x43: return StatusText{line("自动进板超时")};
    case 0x68: return StatusText{line("真空检查失败"), true};
    case 0xFF: return StatusText{line("未知错误")};
    default: break;
    }
    auto motor = [&](char drive, int number) {
        char what[64];
        std::snprintf(what, sizeof what, "%c%d电机或传感器故障", drive, number);
        return StatusText{line(what)};
    };
    if (s >= 0x20 && s <= 0x27) return motor('Z', s - 0x1F);
    if (s >= 0x30 && s <= 0x3B) return motor('S', s - 0x2F);
    return StatusText{"Error-?? = 错误代码 !"};
}

bool ShowMachineError(std::uint8_t s) {
    const auto text = MachineStatusText(s);
    if (!text) return true;
    switch (s) {
    case 0x10: case 0x11: case 0x12: case 0x14: case 0x15: case 0x28: case 0x29: case 0xE3:
        g_HeadResetOk = false;
        break;
    case 0x41: case 0x42: case 0x43: g_Connected = false; break;
    case 0x68: g_VacuumCheckOk = false; break;
    default:
        if ((s >= 0x20 && s <= 0x27) || (s >= 0x30 && s <= 0x3B)) g_Homed = false;
        break;
    }
    call(GetLinkHooks().onMachineFault);  // after the flags: a homing it ends sees them
    if (text->traceLine) AppendCommTrace(text->text, true);
    else PostMessageBoxOk(text->text, plat::MsgIcon::Error);
    return false;
}

bool ShowResetZWarning() {
    call(GetLinkHooks().onMachineFault);
    AppendCommTrace("Machine reset Z warning !", true);
    g_HeadResetOk = false;
    return false;
}

void DispatchEthernetReply(const LinkMessage& m, MachineLink& link) {
    const std::uint8_t status = m.data.size() > 0 ? m.data[0] : 0;
    const std::uint8_t z = m.data.size() > 1 ? m.data[1] : 0;
    auto checkZ = [&] {
        if (z == g_PanelLink.zCheckMask.load()) g_HeadResetOk = true;
        else ShowResetZWarning();
    };
    enum class ZCheck { None, Always, WhenHomed };
    // A move's answer: an error status (other than a failed vacuum check, which
    // the place reports after its stroke) means the board refused the move; the
    // wait ends as failed and the Z state is not taken as homed again.
    auto moveAnswer = [&](ZCheck zCheck) {
        if (!ShowMachineError(status) && status != kVacuumStatus) {
            if (auto f = FamilyOfCommand(m.command)) RefuseReply(*f);
            return;
        }
        if (zCheck == ZCheck::Always || (zCheck == ZCheck::WhenHomed && g_HeadResetOk)) checkZ();
        setFamily(m.command);
    };
    auto& h = GetLinkHooks();
    if (m.flag == 1) {
        switch (m.command) {
        case 0x02:
            if (ShowMachineError(status)) homingFinished();
            return;
        case 0x15:
            g_VacuumReading = z;
            call(h.showVacuumReading);
            g_ReplyEvents[ReplyFamily::Vacuum].Set();
            return;
        case 0x53: case 0x63: case 0x73: case 0x64: case 0x65: case 0x56: case 0x66:
            moveAnswer(ZCheck::None);
            return;
        case 0x58:
        case 0x61:
            moveAnswer(ZCheck::Always);
            return;
        case 0x60: ShowMachineError(status); return;
        case 0x67: case 0x74: case 0x75: case 0x68: case 0x77: case 0x78:
            moveAnswer(ZCheck::WhenHomed);
            return;
        case 0x70:
            ShowMachineError(status);
            g_ReplyEvents[ReplyFamily::SingleAxis].Set();
            return;
        case 0x71:
            ShowMachineError(status);
            if (g_HeadResetOk) checkZ();
            g_PanelLink.measuredHeight = m.data.size() >= 6 ? ReadLe32(m.data.data() + 2) : 0;
            g_PanelLink.heightMeasured = status == 0 && m.data.size() >= 6;
            g_ReplyEvents[ReplyFamily::SingleAxis].Set();
            return;
        case 0x72:
            // The board homed what the command asked for, whatever its Z state:
            // the homing is booked, then a head that is not home is reported.
            if (ShowMachineError(status)) {
                const bool zHome = z == g_PanelLink.zCheckMask.load();
                if (zHome) g_HeadResetOk = true;
                call(h.onResetFinished);
                if (!zHome) ShowResetZWarning();
            }
            return;
        case 0xF00: case 0xF01: case 0xF02: case 0xF03: case 0xF04: case 0xF05: case 0xF06: case 0xF07:
        case 0xFFF:
            link.StoreReply(m);
            link.FirmwareEvent().Set();
            return;
        default: return;
        }
    }
    switch (m.command) {
    case 0x14: OnEthernetPanelKey(status); return;
    case 0x15: {
        std::uint8_t values[8] = {};
        for (std::size_t i = 0; i < 8 && i < m.data.size(); ++i) values[i] = m.data[i];
        OnEthernetCounter(values);
        return;
    }
    case 0x62: case 0x63: case 0x64: case 0x65: case 0x56: case 0x66:
        moveAnswer(ZCheck::None);
        return;
    case 0x67:
    case 0x68:
        moveAnswer(ZCheck::WhenHomed);
        return;
    default: return;
    }
}

void OnEthernetCounter(const std::uint8_t* values8) { call(GetLinkHooks().showNozzleValues, values8); }

namespace {

void startKey() {
    if (g_Running) return;
    if (g_HeadResetOk) call(GetLinkHooks().startRun);
    else topmostBox(CurrentLinkTexts().resetFirst);
}

void jogWhenIdle(std::uint8_t axis, int direction) {
    if (!g_Running) call(GetLinkHooks().jogAxis, axis, direction);
}

}  // namespace

void OnMachinePanelKey(std::uint8_t key) {
    auto& h = GetLinkHooks();
    switch (key) {
    case '1': startKey(); break;
    case '2':
        if (g_Running) {
            if (h.runPaused && h.runPaused()) call(h.regainRun);
            else call(h.pauseRun);
        }
        break;
    case '3':
        if (g_Running) call(h.stopRun);
        break;
    case '5': call(h.nextSpeedGear); break;
    case '6': jogWhenIdle(1, 1); break;
    case '7': jogWhenIdle(1, 0); break;
    case '8': jogWhenIdle(0, 0); break;
    case '9': jogWhenIdle(0, 1); break;
    default: break;
    }
}

int NextHeadSelection(int current, int type) {
    int last = 0;
    switch (type) {
    case 0: case 1: case 2: case 5: last = 2; break;
    case 3: case 4: case 6: last = 4; break;
    case 7: last = 8; break;
    default: return current;
    }
    return current + 1 > last ? 0 : current + 1;
}

namespace {

// Z or A jog of the selected head: key 9 is direction 0 of the head's first
// drive, key 10 direction 1 (the rocker's partner nozzle moves the other way).
void headJog(int selection, int type, bool key10) {
    const int d = key10 ? 1 : 0;
    if (selection == 0) return jogWhenIdle(1, d);
    switch (type) {
    case 0: case 1: case 2: case 5:
        if (selection == 1) jogWhenIdle(2, d);
        else if (selection == 2) jogWhenIdle(3, 1 - d);
        break;
    case 3: case 4: case 6:
        if (selection >= 1 && selection <= 4) {
            const std::uint8_t axis = selection <= 2 ? 2 : 3;
            const bool firstOfPair = selection % 2 == 1;
            jogWhenIdle(axis, firstOfPair ? d : 1 - d);
        }
        break;
    case 7:
        if (selection >= 1 && selection <= 8) jogWhenIdle(static_cast<std::uint8_t>(0x1F + selection), d);
        break;
    default: break;
    }
}

}  // namespace

void OnEthernetPanelKey(std::uint8_t key) {
    auto& h = GetLinkHooks();
    switch (key) {
    case 1: startKey(); break;
    case 2: if (g_Running) call(h.pauseRun); break;
    case 3: if (g_Running) call(h.regainRun); break;
    case 4: if (g_Running) call(h.stopRun); break;
    case 5: if (!g_Running) call(h.nextSpeedGear); break;
    case 6: {
        const int next = NextHeadSelection(g_PanelLink.headSelection.load(), machineType());
        g_PanelLink.headSelection = next;
        // The selection travels in the speed-gear command's second byte.
        if (!g_Running) call(h.setSpeedGear, std::uint8_t{5}, static_cast<std::uint8_t>(next));
        break;
    }
    case 7: jogWhenIdle(0, 0); break;
    case 8: jogWhenIdle(0, 1); break;
    case 9: headJog(g_PanelLink.headSelection.load(), machineType(), false); break;
    case 10: headJog(g_PanelLink.headSelection.load(), machineType(), true); break;
    case 11: call(h.resetButton); break;
    default: break;
    }
}

namespace {
std::mutex g_udpThreadMutex;
std::thread g_udpThread;
}  // namespace

void StartUdpReplyThread(MachineLink& link) {
    std::lock_guard lock(g_udpThreadMutex);
    if (g_udpThread.joinable()) return;
    g_StopUdpReply = false;
    g_udpThread = std::thread([&link] { UdpReplyThread(link); });
}

void UdpReplyThread(MachineLink& link) {
    while (!g_StopUdpReply.load()) {
        LinkMessage message;
        const int r = link.Endpoint().WaitReply(message, limits::kLinkPoll * 10, &g_StopUdpReply);
        if (r == 0) DispatchEthernetReply(message, link);
        else if (r == 2) plat::SleepFor(limits::kLinkPoll, &g_StopUdpReply);  // endpoint closed
    }
}

void StopUdpReplyThread() {
    std::lock_guard lock(g_udpThreadMutex);
    g_StopUdpReply = true;
    if (g_udpThread.joinable()) g_udpThread.join();
}

bool UdpReplyThreadRunning() {
    std::lock_guard lock(g_udpThreadMutex);
    return g_udpThread.joinable();
}

}  // namespace smt
