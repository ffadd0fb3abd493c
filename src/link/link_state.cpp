#include "link/link_state.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "link/link_log.h"
#include "link/link_lost.h"
#include "link/commands.h"
#include "link/locked.h"
#include "platform/msgbox.h"
#include "platform/uipost.h"

namespace smt {

std::atomic<bool> g_Connected{false};
std::atomic<bool> g_Homed{false};
std::atomic<bool> g_Running{false};
std::atomic<bool> g_HeadResetOk{true};
std::atomic<bool> g_StopReceive{false};
std::atomic<bool> g_StopUdpReply{false};
std::atomic<std::int32_t> g_CommandInFlight{0};
std::atomic<std::int32_t> g_VacuumReading{0};
std::atomic<bool> g_VacuumCheckOk{false};
plat::RecursiveMutex g_LinkMutex;
PanelLinkState g_PanelLink;

ReplyEventSet::ReplyEventSet()
    : m_events{{false, false}, {false, false}, {false, false}, {false, false},
               {false, false}, {false, false}, {false, false}, {false, false},
               {false, false}, {false, false}, {false, false}, {false, false}} {}

plat::Event& ReplyEventSet::operator[](ReplyFamily family) {
    return m_events[static_cast<int>(family)];
}

void ReplyEventSet::ResetAll() {
    for (auto& e : m_events) e.Reset();
}

ReplyEventSet g_ReplyEvents;
plat::Event g_AxisLimitEvent(false, false);

std::optional<ReplyFamily> FamilyOfCommand(std::uint16_t command) {
    switch (command) {
    case 0x68: case 0x77: case 0x78: return ReplyFamily::Place;
    case 0x67: case 0x74: case 0x75: return ReplyFamily::Pick;
    case 0x56: case 0x66: return ReplyFamily::Feed;
    case 0x65: return ReplyFamily::MoveXYAMulti;
    case 0x64: return ReplyFamily::MoveXYA;
    case 0x63: case 0x73: return ReplyFamily::FlyCamera;
    case 0x62: return ReplyFamily::Conveyor;
    case 0x00: case 0x61: case 0x70: case 0x71: return ReplyFamily::SingleAxis;
    case 0x58: return ReplyFamily::Dispense;
    case 0x54: return ReplyFamily::MoveXYRotate;
    case 0x53: return ReplyFamily::MoveXY;
    case 0x15: return ReplyFamily::Vacuum;
    default: return std::nullopt;
    }
}

namespace {
constexpr int kWaitKinds = 6;
std::atomic<long long> g_limitOverride[kWaitKinds] = {};
}  // namespace

void SetWaitLimitOverride(WaitKind kind, plat::Millis limit) {
    g_limitOverride[static_cast<int>(kind)].store(limit.count());
}

plat::Millis WaitLimit(WaitKind kind) {
    if (const long long o = g_limitOverride[static_cast<int>(kind)].load(); o > 0) return plat::Millis(o);
    switch (kind) {
    case WaitKind::Handshake: return limits::kHandshake;
    case WaitKind::Move: return limits::kMove;
    case WaitKind::Homing: return limits::kHoming;
    case WaitKind::Query: return limits::kQuery;
    case WaitKind::Firmware: return limits::kFirmware;
    case WaitKind::FlyFrames: return limits::kFlyFrames;
    }
    return limits::kMove;
}

std::int64_t TravelMs(std::int64_t pulses, std::int32_t runCode) {
    const std::int64_t code = runCode < 1 ? 1 : runCode;
    const std::int64_t p = pulses < 0 ? -pulses : pulses;
    // Saturated well above the longest bound: no overflow for any 32-bit travel.
    return std::min<std::int64_t>(p, std::int64_t{1} << 40) * limits::kMsPerPulseCode / code;
}

plat::Millis NoMoveWaitLimit() {
    if (const long long o = g_limitOverride[static_cast<int>(WaitKind::Query)].load(); o > 0) return plat::Millis(o);
    return limits::kNoMove;
}

plat::Millis MoveWaitLimit(std::int64_t motionMs) {
    if (const long long o = g_limitOverride[static_cast<int>(WaitKind::Move)].load(); o > 0) return plat::Millis(o);
    const std::int64_t longest = limits::kLongestMove.count();
    const std::int64_t motion = std::clamp<std::int64_t>(motionMs, 0, longest);
    return plat::Millis(std::min<std::int64_t>(limits::kMoveMargin.count() + motion, longest));
}

bool KindMoves(WaitKind kind) { return kind == WaitKind::Move || kind == WaitKind::Homing; }

const std::atomic<bool>* StopFlagOf(Transport transport) {
    return transport == Transport::Serial ? &g_StopReceive : &g_StopUdpReply;
}

namespace {
// Per family: how many commands wait on its event, and whether the machine
// refused the move that waits (an error report instead of the reply).
std::array<std::atomic<int>, kReplyFamilyCount> g_waiters{};
std::array<std::atomic<bool>, kReplyFamilyCount> g_refused{};
// Raised by StopPendingWaits; every wait under way then ends as stopped.
std::atomic<unsigned> g_stopGeneration{0};

int indexOf(ReplyFamily family) { return static_cast<int>(family); }
}  // namespace

void ArmReply(ReplyFamily family) {
    g_refused[indexOf(family)] = false;
    g_ReplyEvents[family].Reset();
}

ReplyWaiter::ReplyWaiter(ReplyFamily family) : m_family(family) {
    ArmReply(family);
    ++g_waiters[indexOf(family)];
}

ReplyWaiter::~ReplyWaiter() { --g_waiters[indexOf(m_family)]; }

void RefuseReply(ReplyFamily family) {
    g_refused[indexOf(family)] = true;
    g_ReplyEvents[family].Set();
}

void RefuseWaitingReplies() {
    // Who waits is taken first: a refused command's thread may send its next
    // command while the refusals go out, and that one was not refused.
    RefuseReplies(WaitingReplies());
}

unsigned WaitingReplies() {
    unsigned waiting = 0;
    for (int f = 0; f < kReplyFamilyCount; ++f)
        if (g_waiters[f].load() > 0) waiting |= 1u << f;
    return waiting;
}

void RefuseReplies(unsigned families) {
    for (int f = 0; f < kReplyFamilyCount; ++f)
        if (families & (1u << f)) RefuseReply(static_cast<ReplyFamily>(f));
}

bool MovesCounters(unsigned families) {
    // Strokes, the conveyor and the vacuum query change no counter.
    constexpr ReplyFamily kMoving[] = {ReplyFamily::Feed,    ReplyFamily::MoveXYAMulti, ReplyFamily::MoveXYA,
                                       ReplyFamily::FlyCamera, ReplyFamily::SingleAxis, ReplyFamily::MoveXYRotate,
                                       ReplyFamily::MoveXY};
    for (ReplyFamily f : kMoving)
        if (families & (1u << static_cast<int>(f))) return true;
    return false;
}

unsigned WaitStopGeneration() { return g_stopGeneration.load(); }

namespace {
// The last stop with grace: when it was asked and when its grace ends (steady
// clock ticks; 0 none).
std::atomic<long long> g_graceAsked{0};
std::atomic<long long> g_graceEnds{0};

long long ticks(std::chrono::steady_clock::time_point t) { return t.time_since_epoch().count(); }
}  // namespace

void StopPendingWaitsAfter(plat::Millis grace) {
    const auto now = std::chrono::steady_clock::now();
    g_graceEnds.store(ticks(now + grace));
    g_graceAsked.store(ticks(now));
}

plat::WaitResult WaitReplyEvent(plat::Event& event, plat::Millis limit, const std::atomic<bool>* stop,
                                std::chrono::steady_clock::time_point began, bool* stopped) {
    using Clock = std::chrono::steady_clock;
    *stopped = false;
    const auto end = Clock::now() + limit;
    for (;;) {
        const auto now = Clock::now();
        if (const long long asked = g_graceAsked.load(); asked != 0 && asked >= ticks(began) &&
                                                          ticks(now) >= g_graceEnds.load()) {
            *stopped = true;
            return plat::WaitResult::Cancelled;
        }
        if (now >= end) return plat::WaitResult::TimedOut;
        // Slices: a stop's grace is looked at between them.
        const auto slice = std::min<Clock::duration>(end - now, limits::kLinkPoll);
        const plat::WaitResult r = event.Wait(std::chrono::duration_cast<plat::Millis>(slice) + plat::Millis(1), stop);
        if (r != plat::WaitResult::TimedOut) return r;
    }
}

namespace {
std::atomic<bool> g_linkLost{false};
std::atomic<bool> g_positionLost{false};
}  // namespace

// Any connect sets `g_Connected` again: the mark counts only while it is clear.
bool LinkLost() { return g_linkLost.load() && !g_Connected.load(); }

bool DeclareLinkLost() {
    // Two waits that end together: exactly one of them is the first.
    static std::mutex declaring;
    std::lock_guard lock(declaring);
    const bool before = LinkLost();
    g_linkLost.store(true);
    g_Connected.store(false);
    return before;
}

void NoteLinkUp() {
    g_linkLost.store(false);
    g_Connected.store(true);
}

void ForgetMachinePosition() {
    g_Homed.store(false);
    g_HeadResetOk.store(false);
    if (!g_positionLost.exchange(true)) AppendCommTrace(CurrentLinkTexts().message20, true);
}

bool MachinePositionLost() { return g_positionLost.load(); }

void NoteMachineHomed() { g_positionLost.store(false); }

bool RefuseOnLostLink(std::string_view commandName) {
    const std::string name(commandName);
    LinkLog("Link lost, not sent = %s", name.c_str());
    AppendCommTrace(name + "->link lost", true);
    return false;
}

void StopPendingWaits() {
    ++g_stopGeneration;
    for (int f = 0; f < kReplyFamilyCount; ++f)
        if (g_waiters[f].load() > 0) g_ReplyEvents[static_cast<ReplyFamily>(f)].Set();
    g_AxisLimitEvent.Set();
}

std::string CommandBoxName(std::string_view commandName) {
    const std::string name(commandName);
    const auto arrow = name.find("->");
    if (arrow == 0 || arrow > 3) return name;
    unsigned code = 0;
    for (std::size_t i = 0; i < arrow; ++i) {
        const char c = name[i];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) return name;
        code = code * 16 + static_cast<unsigned>(digit);
    }
    // Known commands have captions of the same "61->..." form; others keep the trace name.
    const std::string caption = CommandCaption(static_cast<std::uint16_t>(code));
    return caption.find("->") == std::string::npos ? name : caption;
}

std::string NoAnswerText(std::string_view commandName) {
    return CurrentLinkTexts().noAnswer + CommandBoxName(commandName) + " !";
}

namespace {
// What a reply wait (or the wait for a family's turn) that ended with `r` means,
// told as every command tells it. A wait that ended without its reply declares the link lost: the first one tells
// the operator, the others (a companion's command in flight, a later command) only
// trace. Whether a drive moved is unknown too, so a moving command's failure takes
// the homed state with it.
bool reportWait(plat::WaitResult r, unsigned generation, std::string_view commandName, bool moves,
                bool graceOver = false) {
    const std::string name(commandName);
    if (plat::WaitsCancelled()) {  // closing the program
        AppendCommTrace(name + "->stopped", true);
        return false;
    }
    const bool stopped = graceOver || g_stopGeneration.load() != generation;
    if (!stopped && r == plat::WaitResult::Signalled) return true;
    const bool told = DeclareLinkLost();
    g_Connected.store(false);
    // Before any box: while it is open nothing may take the old position as known.
    if (moves) ForgetMachinePosition();
    if (stopped) {
        // Stopped by the operator: whether the machine moved is unknown.
        LinkLog("Wait stopped = %s", name.c_str());
        AppendCommTrace(name + "->stopped", true);
    } else {
        LinkLog("No answer = %s", name.c_str());
        if (r == plat::WaitResult::TimedOut && !told)
            plat::MessageBoxOk(NoAnswerText(commandName), true, plat::MsgIcon::Error);
        else
            AppendCommTrace(name + (r == plat::WaitResult::TimedOut ? "->no answer" : "->no answer, link closed"),
                            true);
    }
    return false;
}

// Per family: the thread whose command is in flight and how often it took the turn.
struct TurnSlot {
    std::mutex mutex;
    std::condition_variable freed;
    std::thread::id owner;
    int depth = 0;
};
std::array<TurnSlot, kReplyFamilyCount> g_turns;
}  // namespace

plat::WaitResult ReplyTurn::Wait(plat::Millis limit, const std::atomic<bool>* stop) {
    if (m_held) return plat::WaitResult::Signalled;
    TurnSlot& slot = g_turns[static_cast<std::size_t>(indexOf(m_family))];
    const auto me = std::this_thread::get_id();
    const unsigned generation = g_stopGeneration.load();
    const auto end = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(slot.mutex);
    for (;;) {
        if (slot.depth == 0 || slot.owner == me) {
            slot.owner = me;
            ++slot.depth;
            m_held = true;
            return plat::WaitResult::Signalled;
        }
        if (plat::WaitsCancelled() || (stop && stop->load()) || g_stopGeneration.load() != generation)
            return plat::WaitResult::Cancelled;
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) return plat::WaitResult::TimedOut;
        // Slices: the cancel, the stop flag and the operator's stop are polled.
        const auto slice = std::min<std::chrono::steady_clock::duration>(end - now, limits::kLinkPoll);
        slot.freed.wait_for(lock, slice);
    }
}

bool ReplyTurn::Take(plat::Millis limit, std::string_view commandName, Transport transport) {
    const unsigned generation = g_stopGeneration.load();
    const plat::WaitResult r = Wait(limit, StopFlagOf(transport));
    if (r == plat::WaitResult::Signalled) return true;
    // Nothing went out for this command: the holder's own wait says whether the
    // position is lost.
    return reportWait(r, generation, commandName, false);
}

void ReplyTurn::Release() {
    if (!m_held) return;
    m_held = false;
    TurnSlot& slot = g_turns[static_cast<std::size_t>(indexOf(m_family))];
    {
        std::lock_guard lock(slot.mutex);
        if (--slot.depth > 0) return;
        slot.owner = {};
    }
    slot.freed.notify_one();
}

bool AwaitEvent(plat::Event& event, WaitKind kind, std::string_view commandName,
                Transport transport) {
    const unsigned generation = g_stopGeneration.load();
    const plat::WaitResult r = event.Wait(WaitLimit(kind), StopFlagOf(transport));
    return reportWait(r, generation, commandName, KindMoves(kind));
}

bool AwaitReply(ReplyFamily family, WaitKind kind, std::string_view commandName,
                Transport transport) {
    const int f = indexOf(family);
    const bool ok = AwaitEvent(g_ReplyEvents[family], kind, commandName, transport);
    // Refused: the error report told the operator; nothing moved, nothing is booked.
    if (ok && g_refused[f].exchange(false)) {
        AppendCommTrace(std::string(commandName) + "->refused", true);
        return false;
    }
    return ok;
}

WaitStart WaitStartNow() { return {g_stopGeneration.load(), std::chrono::steady_clock::now()}; }

bool AwaitReply(ReplyFamily family, plat::Millis limit, std::string_view commandName, Transport transport,
                ReplyTurn& turn) {
    return AwaitReplyFrom(family, limit, commandName, transport, turn, true, WaitStartNow());
}

bool AwaitReplyFrom(ReplyFamily family, plat::Millis limit, std::string_view commandName, Transport transport,
                    ReplyTurn& turn, bool moves, const WaitStart& start) {
    const unsigned generation = start.generation;
    bool graceOver = false;
    const plat::WaitResult r =
        WaitReplyEvent(g_ReplyEvents[family], limit, StopFlagOf(transport), start.began, &graceOver);
    // Read before the turn goes: the next command's arming clears it.
    const bool refused = r == plat::WaitResult::Signalled && g_refused[indexOf(family)].exchange(false);
    turn.Release();
    if (!reportWait(r, generation, commandName, moves, graceOver)) return false;
    if (refused) {
        AppendCommTrace(std::string(commandName) + "->refused", true);
        return false;
    }
    return true;
}

namespace {
Locked<std::string> g_linkLostText{std::string("与机器的连接已断开，请重新联机 !")};
}  // namespace

std::string LinkLostText() { return g_linkLostText.Get(); }

void SetLinkLostText(const std::string& text) { g_linkLostText.Set(text); }

void PostMessageBoxOk(const std::string& text, plat::MsgIcon icon) {
    plat::PostToUi([text, icon] { plat::MessageBoxOk(text, true, icon); });
}

namespace {
Locked<TraceSink> g_traceSink;
Locked<LinkTexts> g_texts;
}  // namespace

TraceSink SetTraceSink(TraceSink sink) { return g_traceSink.Exchange(std::move(sink)); }

void AppendCommTrace(const std::string& text, bool newline) {
    if (const TraceSink sink = g_traceSink.Get()) sink(text, newline);
}

LinkTexts CurrentLinkTexts() { return g_texts.Get(); }

void SetLinkTexts(const LinkTexts& texts) { g_texts.Set(texts); }

LinkHooks& GetLinkHooks() {
    static LinkHooks hooks;
    return hooks;
}

void ResetLinkState() {
    g_Connected = false;
    g_Homed = false;
    g_Running = false;
    g_HeadResetOk = true;
    g_StopReceive = false;
    g_StopUdpReply = false;
    g_CommandInFlight = 0;
    g_VacuumReading = 0;
    g_VacuumCheckOk = false;
    g_PanelLink.replyCounter = 0;
    g_PanelLink.commandCounter = 0;
    g_PanelLink.headSelection = 0;
    g_PanelLink.measuredHeight = 0;
    g_PanelLink.zCheckMask = 0;
    g_PanelLink.resetKind = -1;
    g_ReplyEvents.ResetAll();
    g_AxisLimitEvent.Reset();
    g_linkLost = false;
    g_positionLost = false;
    g_graceAsked = 0;
    g_graceEnds = 0;
}

}  // namespace smt
