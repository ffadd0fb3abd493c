// Machine state shared by the link, the command functions and every guard: the
// state flags, the link mutex, the reply events of the command families, the
// bounded reply waits, the hooks through which replies reach the run, the jog and
// the panel, and the trace sink.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/event.h"
#include "platform/msgbox.h"

namespace smt {

// ---- machine state flags (process-wide, read by every guard without a lock) ----
extern std::atomic<bool> g_Connected;
extern std::atomic<bool> g_Homed;
extern std::atomic<bool> g_Running;      // claim with compare_exchange, clear on every path
extern std::atomic<bool> g_HeadResetOk;  // 1 at start
extern std::atomic<bool> g_StopReceive;  // ends the serial receive and frame threads
extern std::atomic<bool> g_StopUdpReply; // ends the Ethernet reply dispatcher

// 64 while an X/Y/A move is outstanding, 65 while a multi-axis move is.
extern std::atomic<std::int32_t> g_CommandInFlight;
extern std::atomic<std::int32_t> g_VacuumReading;  // kPa, last reading
extern std::atomic<bool> g_VacuumCheckOk;

// Serialises every serial write and every Ethernet command send.
extern plat::RecursiveMutex g_LinkMutex;

// Values the manual control panel shows or sets; the link writes them from the
// reply threads.
struct PanelLinkState {
    std::atomic<std::int32_t> replyCounter{0};    // answered moves (field 1017)
    std::atomic<std::int32_t> commandCounter{0};  // commands sent (field 1016)
    std::atomic<std::int32_t> headSelection{0};   // 0 X/Y, 1..8 a head (machine panel keys)
    std::atomic<std::int32_t> measuredHeight{0};
    std::atomic<bool> heightMeasured{false};      // the last 0x71 reply: the board measured
    std::atomic<std::uint8_t> zCheckMask{0};      // heads whose Z must report home
    std::atomic<std::int32_t> resetKind{-1};      // homing kind in progress, 0 = full
    std::atomic<std::uint32_t> homedDrives{0};    // what the last homing command homes (homed::)
};
extern PanelLinkState g_PanelLink;

// ---- reply events ----
// One auto-reset event per family of commands, in this order.
enum class ReplyFamily : int {
    Place = 0,     // 0x68, 0x77, 0x78
    Pick,          // 0x67, 0x74, 0x75
    Feed,          // 0x56, 0x66
    MoveXYAMulti,  // 0x65
    MoveXYA,       // 0x64
    FlyCamera,     // 0x63, 0x73
    Conveyor,      // 0x62
    SingleAxis,    // 0x61, 0x70, 0x71 and the serial handshake 0x00
    Dispense,      // 0x58
    MoveXYRotate,  // 0x54
    MoveXY,        // 0x53
    Vacuum,        // 0x15
};
constexpr int kReplyFamilyCount = 12;

// The family whose event a reply of `command` sets (none for codes without one).
std::optional<ReplyFamily> FamilyOfCommand(std::uint16_t command);

class ReplyEventSet {
public:
    ReplyEventSet();
    ReplyEventSet(const ReplyEventSet&) = delete;
    ReplyEventSet& operator=(const ReplyEventSet&) = delete;
    plat::Event& operator[](ReplyFamily family);
    void ResetAll();

private:
    plat::Event m_events[kReplyFamilyCount];
};
extern ReplyEventSet g_ReplyEvents;
extern plat::Event g_AxisLimitEvent;  // reply of the axis travel limit 0x01

// ---- bounded waits: every limit of the link in one place ----
enum class WaitKind {
    Handshake,  // one port of the serial scan
    Move,       // any move, stroke, feed or conveyor run
    Homing,     // a homing, from its command to its reply
    Query,      // vacuum test, axis limit, height measurement, counters
    Firmware,   // one firmware loader reply
    FlyFrames,  // the camera frames of an answered flying pass
};
plat::Millis WaitLimit(WaitKind kind);
// Replaces one limit (tests of dead links); a zero limit restores the constant.
void SetWaitLimitOverride(WaitKind kind, plat::Millis limit);

namespace limits {
inline constexpr plat::Millis kHandshake{1000};
inline constexpr plat::Millis kMove{60'000};
inline constexpr plat::Millis kHoming{120'000};
inline constexpr plat::Millis kQuery{10'000};
inline constexpr plat::Millis kFirmware{10'000};
// A serial write that the port does not take within this is abandoned.
inline constexpr plat::Millis kSerialWrite{1000};
// How long the frame cutter waits for the rest of a frame whose start byte it has.
inline constexpr plat::Millis kFrameTail{50};
// Poll interval of the link threads for their stop flags.
inline constexpr plat::Millis kLinkPoll{20};
// How long a flying pass (0x63, 0x73) waits for its camera frames once the board
// answered: the frames come while the head passes, so a missing one was lost (a
// trigger the camera never took), not a dead link. The frames are measured before
// the wait ends, so the bound leaves room for that on a slow, loaded host.
inline constexpr plat::Millis kFlyFrames{8000};
}  // namespace limits

enum class Transport { Serial, Ethernet };

// The stop flag that ends a wait on `transport` early (the link going down).
const std::atomic<bool>* StopFlagOf(Transport transport);

// Resets the family's event; call before the command goes out, so a stale reply
// cannot release the wait.
void ArmReply(ReplyFamily family);

// A command waiting on `family` from before its send to the end of its wait: arms
// the event and counts the waiter, so an error report that names no command
// reaches it even when it comes before the wait begins.
class ReplyWaiter {
public:
    explicit ReplyWaiter(ReplyFamily family);
    ~ReplyWaiter();
    ReplyWaiter(const ReplyWaiter&) = delete;
    ReplyWaiter& operator=(const ReplyWaiter&) = delete;

private:
    ReplyFamily m_family;
};

// One command per reply family in flight. A command holds its family's turn from
// arming the family's event to its reply (or its failure): another thread arming
// the same event in between would swallow the reply, and that command would run
// into its limit. ExchangeSerial, ExchangeEthernet, SendConveyorRun and the serial
// handshake take it; reply threads never do (they set the events the holders wait
// on). A thread that holds the turn may take it again (a command sent from a
// message box's loop). The turn is let go before any box about the command.
class ReplyTurn {
public:
    explicit ReplyTurn(ReplyFamily family) : m_family(family) {}
    ~ReplyTurn() { Release(); }
    ReplyTurn(const ReplyTurn&) = delete;
    ReplyTurn& operator=(const ReplyTurn&) = delete;

    // Waits for the family within `limit`; ends early on the process-wide cancel,
    // the operator's stop (StopPendingWaits) or `stop` (the link going down).
    plat::WaitResult Wait(plat::Millis limit, const std::atomic<bool>* stop);
    // The same, a wait that ends without the turn reported as an unanswered wait of
    // `commandName` (AwaitEvent). true when the turn is held.
    bool Take(plat::Millis limit, std::string_view commandName, Transport transport);
    void Release();
    bool Held() const { return m_held; }

private:
    ReplyFamily m_family;
    bool m_held = false;
};

// The machine refused the move waiting on `family` (an error report or an error
// status in place of its reply): its wait ends now and fails, booking nothing.
void RefuseReply(ReplyFamily family);
// The same for every family a command waits on now (a serial error report names
// no command).
void RefuseWaitingReplies();
// The families a command waits on now, one bit each (bit = the family's value),
// and their refusal: who waits is taken before the report's state flags are set,
// and exactly those are refused after them.
unsigned WaitingReplies();
void RefuseReplies(unsigned families);
// Whether any of these families books a position counter when answered.
bool MovesCounters(unsigned families);
// Ends every reply wait under way at once (the operator's stop): each traces
// "<command>->stopped" and fails; `g_Connected` is cleared, since whether the
// machine moved is unknown.
void StopPendingWaits();

// Waits for the family's reply. true when it came. A wait that ends without its
// reply fails the command: after the limit the operator is told which command
// was not answered and `g_Connected` is cleared (the position counters can no
// longer be trusted); when the link stopped underneath, `g_Connected` is cleared
// quietly; at shutdown (process-wide cancel) nothing is shown.
bool AwaitReply(ReplyFamily family, WaitKind kind, std::string_view commandName,
                Transport transport);
// The same within `limit`, letting `turn` go as soon as the wait has ended, before
// anything is shown.
bool AwaitReply(ReplyFamily family, plat::Millis limit, std::string_view commandName, Transport transport,
                ReplyTurn& turn);
// The same for any event (the axis-limit event, the firmware reply event).
bool AwaitEvent(plat::Event& event, WaitKind kind, std::string_view commandName,
                Transport transport);

// A topmost OK box shown on the user-interface thread; the caller goes on at
// once (reply and worker threads never wait on an operator).
void PostMessageBoxOk(const std::string& text, plat::MsgIcon icon);

// The text shown when `commandName` went unanswered.
std::string NoAnswerText(std::string_view commandName);
// A command's trace name ("61->单轴运动") as a message box names it: the command's
// caption in the interface language when there is one.
std::string CommandBoxName(std::string_view commandName);

// ---- trace ----
// The manual control panel installs the sink that appends to its trace box.
using TraceSink = std::function<void(const std::string& text, bool newline)>;
TraceSink SetTraceSink(TraceSink sink);
void AppendCommTrace(const std::string& text, bool newline = true);

// ---- texts of the link (manual control panel captions; the panel replaces them
// with the caption file's on every language change) ----
struct LinkTexts {
    std::string message05 = "通讯提示";
    std::string message06 = "返回类型错误 !";
    std::string message14 = "返回指令E3 - 贴片头没有复位 !";
    std::string message15 = "返回指令E4 - 设备自动运行保护中 !";
    std::string message16 = "返回指令错误 - 未知 !";
    std::string message17 = "提问、应答或错误异常 !";
    std::string message20 = "请复位机器 !";
    std::string message21 = "电机或传感器故障 !";
    std::string message22 = "电机正在运行 !";
    std::string onlining = "联机中";
    std::string onlineSuccessful = "联机成功";
    std::string onlineError = "联机失败";
    std::string resetFirst = "请先按总复位机器 !";  // the part list's message
    std::string noAnswer = "机器无应答 : ";   // + command caption + " !"
    std::string sendFailed = "通讯发送失败 : ";
    std::string homingFailed = "复位失败 : ";  // + cause + " !"
    // Causes of a failed homing, in the order of `HomingFailure`.
    std::array<std::string, 5> homingCauses{"无应答", "连接已断开", "发送失败", "机器报错", "已停止"};
};
LinkTexts CurrentLinkTexts();
void SetLinkTexts(const LinkTexts& texts);

// ---- hooks filled by the subsystems that own the actions ----
// Install before connecting; every hook may be empty (the action is skipped).
struct LinkHooks {
    // settings; empty: the live settings (machine type 0 until the shell sets it)
    std::function<int()> machineType;         // 0..9
    std::function<bool()> debugModel;         // m_DebugModel of the basic settings
    std::function<bool()> sendLimitsOnLink;   // firmware switch m_V2_06
    // run (part list)
    std::function<void()> startRun, pauseRun, regainRun, stopRun;
    std::function<bool()> runPaused;
    // manual jog and speed gears
    std::function<int()> nextSpeedGear;
    std::function<void(std::uint8_t axis, int direction)> jogAxis;
    std::function<void(std::uint8_t mode, std::uint8_t second)> setSpeedGear;
    std::function<void()> resetButton;
    // reply handlers of the command set
    std::function<void()> onLinkEstablished;
    std::function<void()> onResetFinished;
    std::function<void()> onResetFinishedModel4;
    std::function<void()> showVacuumReading;
    std::function<void()> startSendAxisLimits;
    // any error report, machine status error or Z warning (ends a homing under way)
    std::function<void()> onMachineFault;
    // panel display
    std::function<void(std::int32_t)> showReplyCounter;
    std::function<void()> showZFieldZero;
    std::function<void(const std::uint8_t* values8)> showNozzleValues;
    std::function<void(bool)> enableManualControls;
    std::function<void(const std::string&)> setConnectCaption;
    // serial connect succeeded; `wasConnected` tells whether it was before
    std::function<void(bool wasConnected)> openCameraOnConnect;
};
LinkHooks& GetLinkHooks();

// Every flag, counter and event back to its start value (tests, reconnect).
void ResetLinkState();

}  // namespace smt
