// Serial frames: the command frame the computer sends and the reply frames cut
// out of the receive ring.
//
//   command: EE 00 LEN CMD data.. SUM FF FC FF FF   (LEN = data + 2; SUM = low byte
//            of the sum of 00, LEN, CMD and the data)
//   reply:   EE TYPE CODE data(0..27) FF FC FF FF   (no length, no check byte)
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace smt {

inline constexpr std::uint8_t kFrameStart = 0xEE;
inline constexpr std::array<std::uint8_t, 4> kFrameTail{0xFF, 0xFC, 0xFF, 0xFF};
inline constexpr std::size_t kMaxReplyData = 27;
// The terminator begins 1 + 2 + data bytes after the start byte: at most 30.
inline constexpr std::size_t kMaxTailOffset = 3 + kMaxReplyData;

// Data bytes of a command frame, big-endian.
class FrameData {
public:
    FrameData& U8(std::int64_t v);
    // Sign and magnitude: bit 7 of the first byte is the sign.
    FrameData& Sm32(std::int32_t v);
    FrameData& Sm16(std::int32_t v);
    FrameData& Be32(std::int32_t v);
    FrameData& Be16(std::int32_t v);
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

// A whole command frame as it goes on the wire.
using SerialFrame = std::vector<std::uint8_t>;

// The whole frame for `command` with `data`: data + 9 bytes.
SerialFrame BuildSerialFrame(std::uint8_t command, const std::vector<std::uint8_t>& data);
inline SerialFrame BuildSerialFrame(std::uint8_t command, const FrameData& data) {
    return BuildSerialFrame(command, data.Bytes());
}

// Reads a sign-and-magnitude or plain big-endian value back (tests, peers).
std::int32_t ReadSm32(const std::uint8_t* p);
std::int32_t ReadBe32(const std::uint8_t* p);

struct ReplyFrame {
    std::uint8_t type = 0;  // 0x00 key, 0x01 reply, 0xF1 ignored, 0xFF error report
    std::uint8_t code = 0;
    std::uint8_t length = 0;  // data bytes
    std::array<std::uint8_t, kMaxReplyData> data{};
};

// The 256-byte receive ring and the frame cutter working on it. One thread pushes
// (the receive thread), one thread cuts (the frame thread); the write index is
// published once per batch. Only bytes actually received are ever searched, a
// frame whose tail has not arrived yet is waited for (up to a limit the caller
// gives), a stray start byte (even one followed by a known TYPE) does not
// swallow the frame after it, and the ring never overruns: Push takes only what fits and leaves the rest with the caller.
class FrameCutter {
public:
    using Clock = std::chrono::steady_clock;
    using Sink = std::function<void(const ReplyFrame&)>;

    FrameCutter();
    // Writer side. Stores as many bytes as fit and returns how many it took.
    std::size_t Push(const std::uint8_t* bytes, std::size_t count);
    std::size_t Free() const;  // bytes Push would take now

    // Reader side. Cuts every complete frame from the received bytes and hands it
    // to `sink`. A start byte whose terminator is not yet in reach is kept until
    // `tailWait` has passed since it was first seen without new bytes arriving;
    // then it is passed over. Returns the number of frames cut.
    int Cut(const Sink& sink, Clock::time_point now, Clock::duration tailWait);

    // Unread bytes (between the read and the write index).
    std::size_t Pending() const;
    // Empties the ring (both indexes to 0); only while no thread uses it.
    void Clear();

private:
    std::uint8_t At(std::size_t offset) const;  // byte `offset` after the read index

    std::array<std::uint8_t, 256> m_ring{};
    std::atomic<std::uint8_t> m_write{0};  // index of the last byte stored
    std::atomic<std::uint8_t> m_read{0};   // index of the last byte consumed
    // Pending start byte waiting for its tail.
    bool m_waiting = false;
    std::size_t m_waitSeen = 0;  // bytes available when the wait began
    Clock::time_point m_waitSince{};
};

// Whether TYPE, CODE and the number of data bytes make a reply of the reply table
// (a key, an error report, a command's answer with the data it carries).
bool ReplyFitsItsCode(std::uint8_t type, std::uint8_t code, std::size_t length);

// Whether a reply TYPE is one the dispatch knows.
bool IsKnownReplyType(std::uint8_t type);

}  // namespace smt
