// The boards' side of the wire: serial frames, reply frames, UDP datagrams and the
// number encodings inside them. Written from the wire tables, independent of the
// program's own link code, so that a mistake on one side shows up on the other.
#pragma once

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

} // namespace sim
