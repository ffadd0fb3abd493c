// MD5 digest, for the boards' check of their application area.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace sim {

class Md5 {
public:
    Md5();
    void Update(const std::uint8_t* p, std::size_t n);
    std::array<std::uint8_t, 16> Final();

private:
    void Block(const std::uint8_t* p);
    std::uint32_t m_h[4];
    std::uint8_t m_buf[64];
    std::size_t m_fill = 0;
    std::uint64_t m_total = 0;
};

std::array<std::uint8_t, 16> Md5Digest(const std::uint8_t* p, std::size_t n);

} // namespace sim
