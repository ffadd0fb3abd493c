// The Ethernet link's UDP datagram and its message record.
//
//   0 u16 checksum: 16-bit wrapping sum of every byte from offset 2 to the end
//   2 u8  flag: 0 from the computer; from the machine 1 = reply, 0 = unsolicited
//   3 u16 command word: bits 0..11 the code, bits 12..15 a 4-bit field
//   5 u16 payload length n
//   7 n   payload                          (all little-endian; n + 7 bytes)
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace smt {

inline constexpr std::size_t kDatagramHeader = 7;

struct LinkMessage {
    std::uint8_t flag = 0;
    std::uint16_t command = 0;  // the whole command word
    std::vector<std::uint8_t> data;

    std::uint16_t Length() const { return static_cast<std::uint16_t>(data.size()); }
    std::uint16_t Capacity() const { return static_cast<std::uint16_t>(data.capacity()); }
    // Sets flag, command and data.
    void Assign(std::uint8_t flag, std::uint16_t command, const std::uint8_t* bytes, std::size_t length);
    // Sets command and data; the flag stays.
    void Set(std::uint16_t command, const std::uint8_t* bytes, std::size_t length);
    void Set(std::uint16_t command, const std::vector<std::uint8_t>& bytes) {
        Set(command, bytes.data(), bytes.size());
    }
};

// Builds the datagram into `out` (of `outSize` bytes). Returns its size, or 0
// when it does not fit or the payload is longer than a length field can say.
std::size_t PackPacket(std::uint8_t flag, std::uint16_t command, std::uint8_t field,
                       const std::uint8_t* payload, std::size_t length, std::uint8_t* out,
                       std::size_t outSize);
std::vector<std::uint8_t> PackPacket(std::uint8_t flag, std::uint16_t command, std::uint8_t field,
                                     const std::vector<std::uint8_t>& payload);

// Checks and opens a datagram. false for a short datagram, a length field that is
// not size - 7 or a wrong checksum. The flag comes back as 0 or 1; the payload is
// copied up to `payloadSize` bytes, `length` tells the payload's full length.
bool UnpackPacket(const std::uint8_t* datagram, std::size_t size, std::uint8_t& flag,
                  std::uint16_t& command, std::uint8_t* payload, std::size_t payloadSize,
                  std::uint16_t& length);
bool UnpackPacket(const std::uint8_t* datagram, std::size_t size, LinkMessage& out);

// Little-endian payload writer of the Ethernet commands.
class Payload {
public:
    Payload& U8(std::int64_t v);
    Payload& U16(std::int64_t v);
    Payload& I32(std::int64_t v);
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};
std::int32_t ReadLe32(const std::uint8_t* p);

}  // namespace smt
