#include "md5.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sim {

namespace {
constexpr std::uint32_t kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                      5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                      4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                      6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

// K[i] = floor(|sin(i + 1)| * 2^32), computed once.
struct Table {
    std::uint32_t k[64];
    Table() {
        for (int i = 0; i < 64; ++i) k[i] = static_cast<std::uint32_t>(std::floor(std::fabs(std::sin(i + 1.0)) * 4294967296.0));
    }
};
const Table& K() {
    static const Table t;
    return t;
}

std::uint32_t Rotl(std::uint32_t x, std::uint32_t c) { return (x << c) | (x >> (32 - c)); }
} // namespace

Md5::Md5() : m_h{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::Block(const std::uint8_t* p) {
    std::uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = std::uint32_t(p[i * 4]) | (std::uint32_t(p[i * 4 + 1]) << 8) | (std::uint32_t(p[i * 4 + 2]) << 16) |
               (std::uint32_t(p[i * 4 + 3]) << 24);
    std::uint32_t a = m_h[0], b = m_h[1], c = m_h[2], d = m_h[3];
    for (std::uint32_t i = 0; i < 64; ++i) {
        std::uint32_t f, g;
        if (i < 16) { f = (b & c) | (~b & d); g = i; }
        else if (i < 32) { f = (d & b) | (~d & c); g = (5 * i + 1) % 16; }
        else if (i < 48) { f = b ^ c ^ d; g = (3 * i + 5) % 16; }
        else { f = c ^ (b | ~d); g = (7 * i) % 16; }
        f = f + a + K().k[i] + m[g];
        a = d;
        d = c;
        c = b;
        b = b + Rotl(f, kShift[i]);
    }
    m_h[0] += a;
    m_h[1] += b;
    m_h[2] += c;
    m_h[3] += d;
}

void Md5::Update(const std::uint8_t* p, std::size_t n) {
    m_total += n;
    while (n > 0) {
        const std::size_t take = std::min(n, 64 - m_fill);
        std::memcpy(m_buf + m_fill, p, take);
        m_fill += take;
        p += take;
        n -= take;
        if (m_fill == 64) {
            Block(m_buf);
            m_fill = 0;
        }
    }
}

std::array<std::uint8_t, 16> Md5::Final() {
    const std::uint64_t bits = m_total * 8;
    const std::uint8_t pad = 0x80;
    Update(&pad, 1);
    const std::uint8_t zero = 0;
    while (m_fill != 56) Update(&zero, 1);
    std::uint8_t len[8];
    for (int i = 0; i < 8; ++i) len[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    Update(len, 8);
    std::array<std::uint8_t, 16> out{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) out[i * 4 + j] = static_cast<std::uint8_t>(m_h[i] >> (8 * j));
    return out;
}

std::array<std::uint8_t, 16> Md5Digest(const std::uint8_t* p, std::size_t n) {
    Md5 m;
    m.Update(p, n);
    return m.Final();
}

} // namespace sim
