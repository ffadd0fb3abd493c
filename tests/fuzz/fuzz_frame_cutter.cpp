// Feeds arbitrary bytes, in arbitrary pieces and at arbitrary moments, through the
// receive ring and frame cutter: no crash, no frame longer than the protocol
// allows, and the ring always drains.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "link/serial_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace std::chrono_literals;
    smt::FrameCutter cutter;
    auto now = smt::FrameCutter::Clock::time_point{} + 1h;
    const auto sink = [](const smt::ReplyFrame& f) {
        if (f.length > smt::kMaxReplyData) std::abort();
    };
    std::size_t i = 0;
    while (i < size) {
        // The first byte of each piece says how long the piece is and how much time passes.
        const std::size_t piece = 1 + data[i] % 48;
        now += std::chrono::milliseconds(data[i] >> 4);
        ++i;
        const std::size_t n = piece < size - i ? piece : size - i;
        std::size_t taken = 0;
        while (taken < n) {
            const std::size_t t = cutter.Push(data + i + taken, n - taken);
            taken += t;
            cutter.Cut(sink, now, 50ms);
            if (t == 0 && cutter.Free() == 0) now += 1s;  // let a stuck start byte go
        }
        i += n;
    }
    // Each start byte left without a tail costs one tail wait; then the ring is empty.
    for (int pass = 0; pass < 300 && cutter.Pending() != 0; ++pass) cutter.Cut(sink, now += 1s, 50ms);
    if (cutter.Pending() != 0) std::abort();
    return 0;
}
