// The link declared lost, and the bounds of the replies. A reply that does not
// come (its command's bound passed, the link closed under it, or the operator's
// stop ended its wait) declares the link lost: the first loss tells the operator,
// every command after it is refused at once with a trace line and no box, and
// nothing more goes out until a connect. When the command moved drives, where the
// machine stands is unknown until a homing.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/link_state.h"

namespace smt {

namespace limits {
// A command that moves nothing: the board answers at once.
inline constexpr plat::Millis kNoMove{4000};
// Above a move's own travel time: the boards' start, ramps and the link itself.
inline constexpr plat::Millis kMoveMargin{4000};
// No drive runs slower than one pulse per millisecond for every 8 units of its run
// speed code (the machines run faster): a travel takes at most pulses x 8 / code ms.
inline constexpr int kMsPerPulseCode = 8;
// However far and slow: no single reply is waited for longer.
inline constexpr plat::Millis kLongestMove{600'000};
// How long the run's stop lets a reply under way come before it lets go of the wait.
inline constexpr plat::Millis kStopGrace{300};
}  // namespace limits

// The longest time `pulses` of travel may take at run speed code `runCode` (a code
// below 1, or a move whose command carries none, counts as 1).
std::int64_t TravelMs(std::int64_t pulses, std::int32_t runCode);
// The bound of one command that moves drives: its own time `motionMs` (travels by
// TravelMs and its dwells) and limits::kMoveMargin, at most limits::kLongestMove.
// A Move override (SetWaitLimitOverride) replaces it.
plat::Millis MoveWaitLimit(std::int64_t motionMs);
// The bound of a command that moves nothing: limits::kNoMove or the Query override.
plat::Millis NoMoveWaitLimit();
// A wait of `kind` belongs to a command that moves drives (Move, Homing).
bool KindMoves(WaitKind kind);

// ---- the operator's stop ----
// Raised by every StopPendingWaits: a wait that began at one value and sees another
// was stopped by the operator.
unsigned WaitStopGeneration();
// The operator's stop of a run: every reply wait under way now ends as stopped
// unless its reply comes within `grace`. A live machine answers a short move in
// that time and nothing is lost; a dead one is let go of at once.
void StopPendingWaitsAfter(plat::Millis grace);
// Event::Wait for a reply event, also ending when a StopPendingWaitsAfter asked
// after `began` has let its grace pass (`*stopped` set, Cancelled).
plat::WaitResult WaitReplyEvent(plat::Event& event, plat::Millis limit, const std::atomic<bool>* stop,
                                std::chrono::steady_clock::time_point began, bool* stopped);

// When a command's wait began, taken before its send: a stop between the send and
// the wait still ends the wait as stopped.
struct WaitStart {
    unsigned generation = 0;
    std::chrono::steady_clock::time_point began;
};
WaitStart WaitStartNow();
// AwaitReply (the turn's form) from `start`; `moves`: the command moves drives.
bool AwaitReplyFrom(ReplyFamily family, plat::Millis limit, std::string_view commandName, Transport transport,
                    ReplyTurn& turn, bool moves, const WaitStart& start);

// ---- the link declared lost ----
// Marked lost and not connected since.
bool LinkLost();
// Marks the link lost and clears `g_Connected`; true when it was lost already
// (the operator was told).
bool DeclareLinkLost();
// A connect succeeded: the lost mark goes, then `g_Connected` is set.
void NoteLinkUp();
// Where the machine stands is unknown: `g_Homed` and `g_HeadResetOk` go (Start and
// every positioning command refuse until the operator homes), and the panel's
// trace asks for a homing (c_Message_20).
void ForgetMachinePosition();
// Set by ForgetMachinePosition, cleared by a finished full homing.
bool MachinePositionLost();
void NoteMachineHomed();
// The trace line that refuses a command over a lost link; false.
bool RefuseOnLostLink(std::string_view commandName);

// The box of a serial port that went away under a connected link, in the interface
// language (ManualControl.c_LinkLost; the panel sets it on every language change).
std::string LinkLostText();
void SetLinkLostText(const std::string& text);

}  // namespace smt
