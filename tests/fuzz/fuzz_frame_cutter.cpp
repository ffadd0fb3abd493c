// Feeds arbitrary bytes, in arbitrary pieces and at arbitrary moments, through the
// receive ring and frame cutter: no crash, no frame longer than the protocol
// allows, and the ring always drains. Then the same garbage followed by one valid
// reply: the reply is the last frame delivered, whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>
#include <algorithm>

#include "link/serial_frame.h"

namespace {

using namespace std::chrono_literals;

// A reply built from the input's first bytes: a known TYPE, a CODE and up to 27
// data bytes, none of them a start byte (a start byte inside a reply is ambiguous
// on a line without lengths).
std::vector<std::uint8_t> replyOf(const std::uint8_t* data, std::size_t size) {
    static const std::uint8_t kTypes[] = {0x00, 0x01, 0xF1, 0xFF};
    std::vector<std::uint8_t> r{smt::kFrameStart, kTypes[size ? data[0] % 4 : 0]};
    auto clean = [](std::uint8_t b) { return b == smt::kFrameStart || b == 0xFF ? std::uint8_t(0x42) : b; };
    r.push_back(clean(size > 1 ? data[1] : 0x61));
    const std::size_t n = size > 2 ? data[2] % (smt::kMaxReplyData + 1) : 0;
    for (std::size_t i = 0; i < n; ++i) r.push_back(clean(3 + i < size ? data[3 + i] : 0));
    r.insert(r.end(), smt::kFrameTail.begin(), smt::kFrameTail.end());
    return r;
}

void replyAfterGarbage(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> reply = replyOf(data, size);
    // The garbage: the input itself, up to what the ring holds behind the reply.
    const std::size_t garbage = std::min<std::size_t>(size, 255 - reply.size());
    std::vector<std::uint8_t> stream(data, data + garbage);
    stream.insert(stream.end(), reply.begin(), reply.end());
    smt::FrameCutter cutter;
    auto now = smt::FrameCutter::Clock::time_point{} + 1h;
    smt::ReplyFrame last;
    int frames = 0;
    const auto sink = [&](const smt::ReplyFrame& f) {
        if (f.length > smt::kMaxReplyData) std::abort();
        last = f;
        ++frames;
    };
    if (cutter.Push(stream.data(), stream.size()) != stream.size()) std::abort();
    for (int pass = 0; pass < 300 && cutter.Pending() != 0; ++pass) cutter.Cut(sink, now += 1s, 50ms);
    if (frames == 0) std::abort();
    const std::size_t n = reply.size() - 3 - smt::kFrameTail.size();
    bool found = last.type == reply[1] && last.code == reply[2] && last.length == n;
    for (std::size_t i = 0; found && i < n; ++i) found = last.data[i] == reply[3 + i];
    // The one thing a line without lengths cannot tell apart: garbage that is the
    // head of a reply of the table whose data bytes the reply itself completes.
    const bool absorbed = smt::ReplyFitsItsCode(last.type, last.code, last.length) && last.length >= n + 2 &&
                          last.data[last.length - n - 2] == reply[1] && last.data[last.length - n - 1] == reply[2];
    if (!found && !absorbed) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    replyAfterGarbage(data, size);
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
