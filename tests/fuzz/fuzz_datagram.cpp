// Arbitrary bytes as a received datagram: the unpacker never reads or writes out
// of bounds, and whatever it accepts packs back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "link/datagram.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint8_t flag = 0;
    std::uint16_t command = 0, length = 0;
    std::uint8_t small[16];
    const bool ok = smt::UnpackPacket(data, size, flag, command, small, sizeof small, length);
    smt::LinkMessage m;
    if (ok != smt::UnpackPacket(data, size, m)) std::abort();
    if (!ok) return 0;
    if (flag > 1 || length != size - smt::kDatagramHeader) std::abort();
    if (std::memcmp(small, data + 7, length < sizeof small ? length : sizeof small) != 0) std::abort();
    // Repacking gives the same datagram except for the flag, which is now 0 or 1.
    const auto again = smt::PackPacket(flag, command & 0x0FFF, static_cast<std::uint8_t>(command >> 12), m.data);
    if (again.size() != size || std::memcmp(again.data() + 3, data + 3, size - 3) != 0) std::abort();
    if (flag == data[2] && std::memcmp(again.data(), data, size) != 0) std::abort();
    return 0;
}
