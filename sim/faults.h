// Faults on demand: what the boards do wrong with their next replies. One object
// serves both links; a "next" fault is used up by whichever link answers first.
#pragma once

#include <cstdint>
#include <mutex>
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
    // Taken by a server before it carries a command out: true when the command is
    // to be refused (error or time-out); the machine then stays as it was.
    bool TakeRefusal(FaultPlan* plan);
    void Clear();

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
};

} // namespace sim
