// Faults on demand: what the boards do wrong with their next replies. One object
// serves both links; a "next" fault is used up by whichever link answers first.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace sim {

// What a server does with the replies to one command.
struct FaultPlan {
    bool drop = false;        // no reply at all
    int delayMs = 0;          // extra wait before replying
    bool split = false;       // reply written in pieces (serial) / cut in two datagrams (UDP)
    int splitGapMs = 0;       // serial: the pause between the pieces
    bool garbage = false;     // junk bytes / a junk datagram before the reply
    bool badSum = false;      // UDP: wrong checksum; serial (no sum): broken terminator
    bool error = false;       // the command is refused: an error report / status instead
    bool timeout = false;     // a board time-out: serial answers nothing, Ethernet the status
    std::uint8_t errorCode = 0;
    std::uint8_t errorSub = 0;
};

class Faults {
public:
    void SilenceNext(int count = 1);        // drop the replies to the next `count` commands
    void SilenceAll(bool on);               // drop every reply until switched off
    void SetDelayMs(int ms);                // every reply waits this long (0: none)
    void SplitNext(int gapMs = kDefaultSplitGapMs);
    static constexpr int kDefaultSplitGapMs = 20;
    void GarbageNext();
    void BadSumNext();
    // The next command is answered by this error instead of its reply: on the serial
    // link the report EE FF code sub, on Ethernet the reply with status `code`.
    void ErrorNext(std::uint8_t code, std::uint8_t sub = 0);
    // The next command runs into a board time-out (0x41..0x43): nothing moves; the
    // serial board stays silent (its reply table has no such report), the Ethernet
    // board answers with that status.
    void TimeoutNext(std::uint8_t code);
    // The reply to the next command `code` (Ethernet: without the 4-bit field) is
    // dropped; the command itself is carried out. Other commands answer as usual.
    void DropNext(std::uint16_t code);
    // Taken by a server with the replies of command `code`: true when they are to go.
    bool TakeDrop(std::uint16_t code);
    // Taken by a server before it carries a command out: true when the command is
    // to be refused (error or time-out); the machine then stays as it was.
    bool TakeRefusal(FaultPlan* plan);
    void Clear();  // also lets a held reply go

    // The reply to the next command `code` (Ethernet: without the 4-bit field) is held
    // back until Release(), Clear() or `limitMs` passed, as if the board were still
    // busy with it; the command itself is carried out at once. A test stops a run in
    // the middle of a step this way. The limit bounds the hold: the reply then goes
    // out anyway, so a forgotten release never hangs the board.
    void HoldNext(std::uint16_t code, int limitMs = kDefaultHoldMs);
    static constexpr int kDefaultHoldMs = 10000;
    static constexpr int kMaxHoldMs = 600000;
    void Release();
    // The command whose reply is held now; nullopt when none is.
    std::optional<std::uint16_t> Held() const;
    // How many held replies have gone out (released or at their limit).
    int HoldsEnded() const;
    // Taken by a server with the replies of command `code`: true when they are to be
    // held, with the hold's limit. The server then waits while HoldStands() and ends
    // the hold with EndHold(), whether released, at its limit or stopped.
    bool TakeHold(std::uint16_t code, int* limitMs);
    bool HoldStands() const;
    void EndHold();

    // Taken by a server once per command that has replies.
    FaultPlan TakePlan();
    // How many replies have been planned (sent or dropped) so far: a test waits on
    // it to know a command's reply was decided before it changes the faults.
    int PlansTaken() const;
    std::string Describe() const;

private:
    mutable std::mutex m_mutex;
    int m_silenceNext = 0;
    int m_plansTaken = 0;
    bool m_silenceAll = false;
    int m_delayMs = 0;
    int m_splitGapMs = kDefaultSplitGapMs;
    bool m_split = false, m_garbage = false, m_badSum = false, m_error = false, m_timeout = false;
    std::uint8_t m_errorCode = 0, m_errorSub = 0;
    std::optional<std::uint16_t> m_dropNext;   // armed: the code whose reply to drop
    std::optional<std::uint16_t> m_holdNext;   // armed: the code whose reply to hold
    int m_holdLimitMs = kDefaultHoldMs;
    std::optional<std::uint16_t> m_held;       // the code whose reply is held now
    bool m_released = false;
    int m_holdsEnded = 0;
};

} // namespace sim
