#include "link/serial_frame.h"

namespace smt {

namespace {
std::uint32_t magnitude(std::int32_t v) {
    return v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
}
}  // namespace

FrameData& FrameData::U8(std::int64_t v) {
    m_bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
    return *this;
}

FrameData& FrameData::Sm32(std::int32_t v) {
    const std::uint32_t m = magnitude(v);
    m_bytes.push_back(static_cast<std::uint8_t>(((m >> 24) & 0x7F) | (v < 0 ? 0x80 : 0)));
    m_bytes.push_back(static_cast<std::uint8_t>(m >> 16));
    m_bytes.push_back(static_cast<std::uint8_t>(m >> 8));
    m_bytes.push_back(static_cast<std::uint8_t>(m));
    return *this;
}

FrameData& FrameData::Sm16(std::int32_t v) {
    const std::uint32_t m = magnitude(v);
    m_bytes.push_back(static_cast<std::uint8_t>(((m >> 8) & 0x7F) | (v < 0 ? 0x80 : 0)));
    m_bytes.push_back(static_cast<std::uint8_t>(m));
    return *this;
}

FrameData& FrameData::Be32(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int shift = 24; shift >= 0; shift -= 8) m_bytes.push_back(static_cast<std::uint8_t>(u >> shift));
    return *this;
}

FrameData& FrameData::Be16(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    m_bytes.push_back(static_cast<std::uint8_t>(u >> 8));
    m_bytes.push_back(static_cast<std::uint8_t>(u));
    return *this;
}

SerialFrame BuildSerialFrame(std::uint8_t command, const std::vector<std::uint8_t>& data) {
    SerialFrame f;
    f.reserve(data.size() + 9);
    f.push_back(kFrameStart);
    f.push_back(0x00);
    f.push_back(static_cast<std::uint8_t>(data.size() + 2));
    f.push_back(command);
    f.insert(f.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::size_t i = 1; i < f.size(); ++i) sum += f[i];
    f.push_back(static_cast<std::uint8_t>(sum));
    f.insert(f.end(), kFrameTail.begin(), kFrameTail.end());
    return f;
}

std::int32_t ReadSm32(const std::uint8_t* p) {
    const std::uint32_t m = (std::uint32_t(p[0] & 0x7F) << 24) | (std::uint32_t(p[1]) << 16) |
                            (std::uint32_t(p[2]) << 8) | p[3];
    const auto v = static_cast<std::int64_t>(m);
    return static_cast<std::int32_t>((p[0] & 0x80) ? -v : v);
}

std::int32_t ReadBe32(const std::uint8_t* p) {
    return static_cast<std::int32_t>((std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) |
                                     (std::uint32_t(p[2]) << 8) | p[3]);
}

bool IsKnownReplyType(std::uint8_t type) {
    return type == 0x00 || type == 0x01 || type == 0xF1 || type == 0xFF;
}

bool ReplyFitsItsCode(std::uint8_t type, std::uint8_t code, std::size_t length) {
    switch (type) {
    case 0x00: return code == 0x00 && length == 1;  // a panel key
    case 0xFF: return length == 1;                  // an error report and its sub-code
    case 0x01:
        switch (code) {
        case 0x15: case 0x68: return length == 2;
        case 0x71: return length == 5;
        case 0x00: case 0x01: case 0x02: case 0x03: case 0x04: case 0x53: case 0x54: case 0x56: case 0x58:
        case 0x61: case 0x62: case 0x63: case 0x64: case 0x65: case 0x66: case 0x67:
            return length == 0;
        default: return false;
        }
    default: return false;
    }
}

FrameCutter::FrameCutter() = default;

std::size_t FrameCutter::Pending() const {
    return static_cast<std::uint8_t>(m_write.load(std::memory_order_acquire) -
                                     m_read.load(std::memory_order_acquire));
}

std::size_t FrameCutter::Free() const { return 255 - Pending(); }

std::size_t FrameCutter::Push(const std::uint8_t* bytes, std::size_t count) {
    const std::size_t n = count < Free() ? count : Free();
    std::uint8_t w = m_write.load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < n; ++i) m_ring[++w] = bytes[i];  // index first, then store
    m_write.store(w, std::memory_order_release);
    return n;
}

void FrameCutter::Clear() {
    m_write.store(0);
    m_read.store(0);
    m_waiting = false;
}

std::uint8_t FrameCutter::At(std::size_t offset) const {
    return m_ring[static_cast<std::uint8_t>(m_read.load(std::memory_order_relaxed) + offset)];
}

int FrameCutter::Cut(const Sink& sink, Clock::time_point now, Clock::duration tailWait) {
    int frames = 0;
    auto passOver = [this](std::size_t n) {
        m_read.store(static_cast<std::uint8_t>(m_read.load(std::memory_order_relaxed) + n),
                     std::memory_order_release);
        m_waiting = false;
    };
    for (;;) {
        const std::size_t avail = Pending();
        if (avail == 0) {
            m_waiting = false;
            return frames;
        }
        if (At(1) != kFrameStart) {
            passOver(1);
            continue;
        }
        // The start byte is at offset 1; the terminator may begin at offset 1 + k.
        std::size_t k = 0;
        for (std::size_t cand = 1; cand <= kMaxTailOffset && 1 + cand + 3 <= avail; ++cand) {
            if (At(1 + cand) == kFrameTail[0] && At(2 + cand) == kFrameTail[1] &&
                At(3 + cand) == kFrameTail[2] && At(4 + cand) == kFrameTail[3]) {
                k = cand;
                break;
            }
        }
        if (k == 0) {
            const bool wholeWindowSeen = avail >= 1 + kMaxTailOffset + 3;
            if (wholeWindowSeen) {
                passOver(1);
                continue;
            }
            if (!m_waiting || m_waitSeen != avail) {
                m_waiting = true;
                m_waitSeen = avail;
                m_waitSince = now;
                return frames;
            }
            if (now - m_waitSince >= tailWait) {
                passOver(1);
                continue;
            }
            return frames;
        }
        if (k < 3) {  // no room for TYPE and CODE: not a frame
            passOver(1);
            continue;
        }
        const std::uint8_t type = At(2);
        // A stray start byte in front of a real frame: resynchronise at the next
        // one. Behind an unknown TYPE any later start byte will do. Behind a known
        // TYPE whose CODE and length do not make a reply of the table (garbage such
        // as EE 00 or EE FF ahead of a reply), a later start byte followed by a
        // known TYPE and a CODE before the tail; a reply that fits keeps its data,
        // start bytes and all.
        const bool fits = ReplyFitsItsCode(type, At(3), k - 3);
        bool inner = false;
        for (std::size_t j = 2; j <= k && !inner; ++j) {
            if (At(j) != kFrameStart) continue;
            inner = !IsKnownReplyType(type) || (!fits && j + 2 <= k && IsKnownReplyType(At(j + 1)));
        }
        if (inner) {
            passOver(1);
            continue;
        }
        ReplyFrame f;
        f.type = type;
        f.code = At(3);
        f.length = static_cast<std::uint8_t>(k - 3);
        for (std::size_t i = 0; i < f.length; ++i) f.data[i] = At(4 + i);
        passOver(1 + k + 3);  // the read index rests on the last terminator byte
        ++frames;
        sink(f);
    }
}

}  // namespace smt
