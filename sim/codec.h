// The boards' side of the wire: serial frames, reply frames, UDP datagrams and the
// number encodings inside them. Written from the wire tables, independent of the
// program's own link code, so that a mistake on one side shows up on the other.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

// Serial numbers are big-endian; 32- and 16-bit pulse values are sign and magnitude
// (bit 7 of the first byte is the sign).
void PutSm32(Bytes& out, std::int32_t v);
void PutSm16(Bytes& out, std::int32_t v);
void PutBe32(Bytes& out, std::int32_t v);
void PutBe16(Bytes& out, std::uint16_t v);
// Ethernet numbers are little-endian two's complement.
void PutLe32(Bytes& out, std::int32_t v);
void PutLe16(Bytes& out, std::uint16_t v);

// Reads fields in order; a read past the end yields 0 and clears ok().
class FieldReader {
public:
    explicit FieldReader(const Bytes& data, std::size_t offset = 0) : m_data(data), m_pos(offset) {}
    FieldReader(Bytes&&, std::size_t = 0) = delete;  // it keeps a reference
    std::uint8_t U8();
    std::int32_t Sm32();
    std::int32_t Sm16();
    std::int32_t Be32();
    std::uint16_t Be16();
    std::int32_t Le32();
    std::uint16_t Le16();
    void Seek(std::size_t offset) { m_pos = offset; }
    std::size_t Pos() const { return m_pos; }
    bool ok() const { return m_ok; }

private:
    bool Need(std::size_t n);
    const Bytes& m_data;
    std::size_t m_pos;
    bool m_ok = true;
};

// Host-to-board serial frame: EE 00 LEN CMD data SUM FF FC FF FF, LEN = data + 2,
// SUM = low byte of the sum of 00, LEN, CMD and the data.
Bytes EncodeHostFrame(std::uint8_t code, const Bytes& data);

// Board-to-host reply frame: EE TYPE CODE data FF FC FF FF (no length, no sum).
inline constexpr std::uint8_t kReplyKey = 0x00;
inline constexpr std::uint8_t kReplyCommand = 0x01;
inline constexpr std::uint8_t kReplyIgnored = 0xF1;
inline constexpr std::uint8_t kReplyError = 0xFF;
Bytes EncodeReplyFrame(std::uint8_t type, std::uint8_t code, const Bytes& data);

struct HostFrame {
    std::uint8_t code = 0;
    Bytes data;
};

// Cuts host frames out of a byte stream that may arrive in any pieces. A frame whose
// header, length, sum or tail is wrong is reported as rejected and the search goes
// on from the byte after its start byte, so a good frame behind garbage is found.
class HostFrameDecoder {
public:
    struct Item {
        bool ok = false;
        HostFrame frame;     // when ok
        Bytes raw;           // the bytes examined (the whole frame when ok)
        std::string reason;  // when rejected
    };
    void Feed(const std::uint8_t* p, std::size_t n, std::vector<Item>& out);
    std::size_t Pending() const { return m_buf.size(); }
    // Gives up a partial frame (the line went quiet in the middle of it).
    Bytes DropPending() { Bytes b; b.swap(m_buf); return b; }

private:
    Bytes m_buf;
};

// The data lengths a command may carry on the serial link; empty when the command
// has no serial form.
std::vector<std::size_t> SerialDataLengths(std::uint8_t code);

// Reply frames as a host would cut them (used by tests and raw clients): the first
// EE followed within 30 bytes by the tail; bytes before it are dropped.
struct ReplyFrame {
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    Bytes data;
};
bool TakeReplyFrame(Bytes& stream, ReplyFrame& out);

// UDP datagram: checksum (LE16 sum of every byte after it), flag, command word (LE16),
// payload length (LE16), payload.
struct Datagram {
    std::uint8_t flag = 0;
    std::uint16_t command = 0;  // the whole command word
    Bytes payload;
};
Bytes PackDatagram(std::uint8_t flag, std::uint16_t command, const Bytes& payload);
bool UnpackDatagram(const std::uint8_t* p, std::size_t n, Datagram& out, std::string* reason = nullptr);

// The payload lengths a command may carry on Ethernet; empty when it has no
// Ethernet form. The flash write carries a variable block and is checked apart.
std::vector<std::size_t> UdpPayloadLengths(std::uint16_t code);

// ---- the run's fields of the combined move-and-pick and move-and-place payloads ----
// (Ethernet, little-endian; the layout table is in docs/architecture.md). A speed
// word carries codes in its bytes: XY start, XY run, Z start, Z run; an A word
// A start, A run (and, in 0x75, the vacuum value in its third byte).

struct SpeedCodes {
    int xyStart = 0, xyRun = 0, zStart = 0, zRun = 0;
};
SpeedCodes SpeedCodesOf(std::int32_t word);

struct Pick74 {  // 96 bytes
    int head = 0, feedModeByte = 0;
    std::uint32_t nozzleMask = 0;  // bit n: nozzle n + 1 picks
    int feedTime = 0, feedCount = 0, feederNumber = 0;
    std::array<std::uint32_t, 3> feederMasks{};  // feeders 1..32, 33..64, 65..96
    std::int32_t currentX = 0, currentY = 0, dX = 0, dY = 0;
    std::array<std::int32_t, 8> dA{};
    std::int32_t depth = 0, delay = 0;
    SpeedCodes speeds;
    int aStart = 0, aRun = 0, vacuum = 0;
};
struct Pick75 {  // 234 bytes
    std::array<int, 8> feedModeByte{}, feederNumber{}, feedTime{}, feedCount{}, zAxis{};
    std::int32_t currentX = 0, currentY = 0;
    std::array<std::int32_t, 8> dX{}, dY{}, depth{}, delay{}, dA{};
    std::uint32_t recordMask = 0;  // bit 7: the first record .. bit 0: the eighth
    std::array<std::uint32_t, 3> feederMasks{};
    SpeedCodes speeds;
    int aStart = 0, aRun = 0, vacuum = 0;
};
struct Place77 {  // 86 bytes
    std::int32_t currentX = 0, currentY = 0, dX = 0, dY = 0;
    std::array<std::int32_t, 8> dA{};
    std::int32_t depth = 0, vacuumOffDepth = 0, delay = 0;
    int zAxis = 0, exhaust = 0, vacuum = 0;
    SpeedCodes speeds;
    int aStart = 0, aRun = 0;
};
struct Place78 {  // 234 bytes
    std::uint32_t headMask = 0;  // bit 7: nozzle 1 .. bit 0: nozzle 8
    std::int32_t currentX = 0, currentY = 0;
    std::array<std::int32_t, 8> dX{}, dY{}, dA{}, depth{}, vacuumOffDepth{};
    std::array<int, 8> zAxis{}, vacuum{}, delay{};
    int exhaust = 0;
    std::int32_t word118 = 0;  // three bytes, sign-extended
    SpeedCodes speeds;
    int aStart = 0, aRun = 0;
};
// false when the payload is shorter than its command's.
bool ReadPick74(const Bytes& payload, Pick74& out);
bool ReadPick75(const Bytes& payload, Pick75& out);
bool ReadPlace77(const Bytes& payload, Place77& out);
bool ReadPlace78(const Bytes& payload, Place78& out);

} // namespace sim
