// MD5 digest (RFC 1321) of a byte range: the boards' loader reports the digest of
// a flash area, which the update compares with the image it wrote.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace smt {

std::array<std::uint8_t, 16> ComputeMd5(const std::uint8_t* data, std::size_t length);

}  // namespace smt
