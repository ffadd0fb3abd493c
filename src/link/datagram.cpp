#include "link/datagram.h"

#include <algorithm>
#include <cstring>

namespace smt {

void LinkMessage::Assign(std::uint8_t f, std::uint16_t cmd, const std::uint8_t* bytes, std::size_t length) {
    flag = f;
    Set(cmd, bytes, length);
}

void LinkMessage::Set(std::uint16_t cmd, const std::uint8_t* bytes, std::size_t length) {
    command = cmd;
    data.assign(bytes, bytes + length);
}

namespace {
std::uint16_t sum16(const std::uint8_t* p, std::size_t n) {
    std::uint16_t s = 0;
    for (std::size_t i = 0; i < n; ++i) s = static_cast<std::uint16_t>(s + p[i]);
    return s;
}
void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
}  // namespace

std::size_t PackPacket(std::uint8_t flag, std::uint16_t command, std::uint8_t field,
                       const std::uint8_t* payload, std::size_t length, std::uint8_t* out,
                       std::size_t outSize) {
    if (length > 0xFFFF || !out || outSize < length + kDatagramHeader) return 0;
    out[2] = flag;
    put16(out + 3, static_cast<std::uint16_t>(((field & 0x0F) << 12) | (command & 0x0FFF)));
    put16(out + 5, static_cast<std::uint16_t>(length));
    if (length) std::memcpy(out + kDatagramHeader, payload, length);
    put16(out, sum16(out + 2, length + kDatagramHeader - 2));
    return length + kDatagramHeader;
}

std::vector<std::uint8_t> PackPacket(std::uint8_t flag, std::uint16_t command, std::uint8_t field,
                                     const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> out(payload.size() + kDatagramHeader);
    out.resize(PackPacket(flag, command, field, payload.data(), payload.size(), out.data(), out.size()));
    return out;
}

bool UnpackPacket(const std::uint8_t* datagram, std::size_t size, std::uint8_t& flag,
                  std::uint16_t& command, std::uint8_t* payload, std::size_t payloadSize,
                  std::uint16_t& length) {
    if (!datagram || size < kDatagramHeader || size - kDatagramHeader > 0xFFFF) return false;
    const std::uint16_t n = get16(datagram + 5);
    if (n != size - kDatagramHeader) return false;
    if (sum16(datagram + 2, size - 2) != get16(datagram)) return false;
    flag = datagram[2] != 0 ? 1 : 0;
    command = get16(datagram + 3);
    length = n;
    if (payload) std::memcpy(payload, datagram + kDatagramHeader, std::min<std::size_t>(n, payloadSize));
    return true;
}

bool UnpackPacket(const std::uint8_t* datagram, std::size_t size, LinkMessage& out) {
    std::uint8_t flag = 0;
    std::uint16_t command = 0, length = 0;
    if (!UnpackPacket(datagram, size, flag, command, nullptr, 0, length)) return false;
    out.Assign(flag, command, datagram + kDatagramHeader, length);
    return true;
}

Payload& Payload::U8(std::int64_t v) {
    m_bytes.push_back(static_cast<std::uint8_t>(v));
    return *this;
}

Payload& Payload::U16(std::int64_t v) {
    for (int i = 0; i < 2; ++i) m_bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(v) >> (8 * i)));
    return *this;
}

Payload& Payload::I32(std::int64_t v) {
    for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(v) >> (8 * i)));
    return *this;
}

std::int32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                                     (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24));
}

}  // namespace smt
