#include "codec.h"

namespace sim {

namespace {
const std::uint8_t kTail[4] = {0xFF, 0xFC, 0xFF, 0xFF};

std::uint32_t Magnitude(std::int32_t v) {
    return v < 0 ? static_cast<std::uint32_t>(-static_cast<std::int64_t>(v)) : static_cast<std::uint32_t>(v);
}

bool TailAt(const Bytes& b, std::size_t i) {
    return i + 4 <= b.size() && b[i] == kTail[0] && b[i + 1] == kTail[1] && b[i + 2] == kTail[2] &&
           b[i + 3] == kTail[3];
}
} // namespace

void PutSm32(Bytes& out, std::int32_t v) {
    const std::uint32_t m = Magnitude(v);
    out.push_back(static_cast<std::uint8_t>(((m >> 24) & 0x7F) | (v < 0 ? 0x80 : 0)));
    out.push_back(static_cast<std::uint8_t>(m >> 16));
    out.push_back(static_cast<std::uint8_t>(m >> 8));
    out.push_back(static_cast<std::uint8_t>(m));
}

void PutSm16(Bytes& out, std::int32_t v) {
    const std::uint32_t m = Magnitude(v);
    out.push_back(static_cast<std::uint8_t>(((m >> 8) & 0x7F) | (v < 0 ? 0x80 : 0)));
    out.push_back(static_cast<std::uint8_t>(m));
}

void PutBe32(Bytes& out, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(u >> s));
}

void PutBe16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void PutLe32(Bytes& out, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int s = 0; s <= 24; s += 8) out.push_back(static_cast<std::uint8_t>(u >> s));
}

void PutLe16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

bool FieldReader::Need(std::size_t n) {
    if (m_pos + n > m_data.size()) {
        m_ok = false;
        return false;
    }
    return true;
}

std::uint8_t FieldReader::U8() {
    if (!Need(1)) return 0;
    return m_data[m_pos++];
}

std::int32_t FieldReader::Sm32() {
    if (!Need(4)) return 0;
    const std::uint8_t* p = &m_data[m_pos];
    m_pos += 4;
    const std::int64_t m = (static_cast<std::int64_t>(p[0] & 0x7F) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    return static_cast<std::int32_t>((p[0] & 0x80) ? -m : m);
}

std::int32_t FieldReader::Sm16() {
    if (!Need(2)) return 0;
    const std::uint8_t* p = &m_data[m_pos];
    m_pos += 2;
    const int m = ((p[0] & 0x7F) << 8) | p[1];
    return (p[0] & 0x80) ? -m : m;
}

std::int32_t FieldReader::Be32() {
    if (!Need(4)) return 0;
    const std::uint8_t* p = &m_data[m_pos];
    m_pos += 4;
    return static_cast<std::int32_t>((std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) |
                                     (std::uint32_t(p[2]) << 8) | p[3]);
}

std::uint16_t FieldReader::Be16() {
    if (!Need(2)) return 0;
    const std::uint8_t* p = &m_data[m_pos];
    m_pos += 2;
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::int32_t FieldReader::Le32() {
    if (!Need(4)) return 0;
    const std::uint8_t* p = &m_data[m_pos];
    m_pos += 4;
    return static_cast<std::int32_t>((std::uint32_t(p[3]) << 24) | (std::uint32_t(p[2]) << 16) |
                                     (std::uint32_t(p[1]) << 8) | p[0]);
}

std::uint16_t FieldReader::Le16() {
    if (!Need(2)) return 0;
    const std::uint8_t* p = &m_data[m_pos];
    m_pos += 2;
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

Bytes EncodeHostFrame(std::uint8_t code, const Bytes& data) {
    Bytes f{0xEE, 0x00, static_cast<std::uint8_t>(data.size() + 2), code};
    f.insert(f.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::size_t i = 1; i < f.size(); ++i) sum += f[i];
    f.push_back(static_cast<std::uint8_t>(sum));
    f.insert(f.end(), kTail, kTail + 4);
    return f;
}

Bytes EncodeReplyFrame(std::uint8_t type, std::uint8_t code, const Bytes& data) {
    Bytes f{0xEE, type, code};
    f.insert(f.end(), data.begin(), data.end());
    f.insert(f.end(), kTail, kTail + 4);
    return f;
}

std::vector<std::size_t> SerialDataLengths(std::uint8_t code) {
    switch (code) {
    case 0x00: return {0};
    case 0x01: return {5};
    case 0x02: return {14};
    case 0x03: return {2};
    case 0x04: return {2};
    case 0x15: return {1};
    case 0x52: return {14};
    case 0x53: return {15};
    case 0x54: return {20};
    case 0x56: case 0x66: return {17};
    case 0x58: return {20};
    case 0x60: return {1};
    case 0x61: return {7};
    case 0x62: return {21};
    case 0x63: return {34};
    case 0x64: return {14, 18};
    case 0x65: return {29};
    case 0x67: return {11};
    case 0x68: return {14};
    case 0x71: return {7};
    default: return {};
    }
}

void HostFrameDecoder::Feed(const std::uint8_t* p, std::size_t n, std::vector<Item>& out) {
    m_buf.insert(m_buf.end(), p, p + n);
    std::size_t i = 0;
    auto reject = [&](std::size_t len, const char* why) {
        Item it;
        it.raw.assign(m_buf.begin() + i, m_buf.begin() + std::min(m_buf.size(), i + len));
        it.reason = why;
        out.push_back(std::move(it));
        ++i;  // resynchronise after the bad start byte
    };
    while (i < m_buf.size()) {
        if (m_buf[i] != 0xEE) {
            // Stray bytes between frames: gather them into one rejected item.
            std::size_t j = i;
            while (j < m_buf.size() && m_buf[j] != 0xEE) ++j;
            Item it;
            it.raw.assign(m_buf.begin() + i, m_buf.begin() + j);
            it.reason = "bytes outside a frame";
            out.push_back(std::move(it));
            i = j;
            continue;
        }
        if (m_buf.size() - i < 3) break;
        if (m_buf[i + 1] != 0x00) { reject(2, "second byte not 00"); continue; }
        const std::size_t len = m_buf[i + 2];
        if (len < 2) { reject(3, "length below 2"); continue; }
        const std::size_t total = len + 7;
        if (m_buf.size() - i < 4) break;
        const std::uint8_t code = m_buf[i + 3];
        const auto allowed = SerialDataLengths(code);
        bool lengthOk = false;
        for (std::size_t a : allowed) lengthOk = lengthOk || a + 2 == len;
        if (allowed.empty()) { reject(4, "unknown command"); continue; }
        if (!lengthOk) { reject(4, "length does not fit the command"); continue; }
        if (m_buf.size() - i < total) break;
        unsigned sum = 0;
        for (std::size_t k = i + 1; k < i + 2 + len; ++k) sum += m_buf[k];
        if (static_cast<std::uint8_t>(sum) != m_buf[i + 2 + len]) { reject(total, "bad checksum"); continue; }
        if (!TailAt(m_buf, i + 3 + len)) { reject(total, "bad terminator"); continue; }
        Item it;
        it.ok = true;
        it.raw.assign(m_buf.begin() + i, m_buf.begin() + i + total);
        it.frame.code = code;
        it.frame.data.assign(m_buf.begin() + i + 4, m_buf.begin() + i + 2 + len);
        out.push_back(std::move(it));
        i += total;
    }
    m_buf.erase(m_buf.begin(), m_buf.begin() + i);
}

bool TakeReplyFrame(Bytes& stream, ReplyFrame& out) {
    for (std::size_t i = 0; i < stream.size(); ++i) {
        if (stream[i] != 0xEE) continue;
        for (std::size_t k = 3; k <= 30; ++k) {
            if (!TailAt(stream, i + k)) continue;
            out.type = stream[i + 1];
            out.code = stream[i + 2];
            out.data.assign(stream.begin() + i + 3, stream.begin() + i + k);
            stream.erase(stream.begin(), stream.begin() + i + k + 4);
            return true;
        }
    }
    return false;
}

Bytes PackDatagram(std::uint8_t flag, std::uint16_t command, const Bytes& payload) {
    Bytes d{0, 0, flag};
    PutLe16(d, command);
    PutLe16(d, static_cast<std::uint16_t>(payload.size()));
    d.insert(d.end(), payload.begin(), payload.end());
    std::uint16_t sum = 0;
    for (std::size_t i = 2; i < d.size(); ++i) sum = static_cast<std::uint16_t>(sum + d[i]);
    d[0] = static_cast<std::uint8_t>(sum);
    d[1] = static_cast<std::uint8_t>(sum >> 8);
    return d;
}

bool UnpackDatagram(const std::uint8_t* p, std::size_t n, Datagram& out, std::string* reason) {
    auto fail = [&](const char* why) {
        if (reason) *reason = why;
        return false;
    };
    if (n < 7) return fail("shorter than the header");
    const std::size_t len = p[5] | (p[6] << 8);
    if (len != n - 7) return fail("length field does not match");
    std::uint16_t sum = 0;
    for (std::size_t i = 2; i < n; ++i) sum = static_cast<std::uint16_t>(sum + p[i]);
    if (sum != static_cast<std::uint16_t>(p[0] | (p[1] << 8))) return fail("bad checksum");
    out.flag = p[2];
    out.command = static_cast<std::uint16_t>(p[3] | (p[4] << 8));
    out.payload.assign(p + 7, p + n);
    return true;
}

std::vector<std::size_t> UdpPayloadLengths(std::uint16_t code) {
    switch (code) {
    case 0x01: return {5};
    case 0x02: return {56};
    case 0x03: return {4};
    case 0x04: return {2};
    case 0x15: return {1};
    case 0x53: return {27};
    case 0x56: case 0x66: return {38};
    case 0x58: return {28};
    case 0x60: return {2};
    case 0x61: return {17};
    case 0x62: return {29};
    case 0x63: return {68};
    case 0x64: return {38};
    case 0x65: return {65};
    case 0x67: return {16};
    case 0x68: return {21};
    case 0x70: return {8};
    case 0x71: return {13};
    case 0x72: return {48};
    case 0x73: return {130};
    case 0x74: return {96};
    case 0x75: return {234};
    case 0x77: return {86};
    case 0x78: return {234};
    case 0xF00: return {2};
    case 0xF02: return {8};
    case 0xF04: return {8};
    case 0xF06: return {8};
    case 0xF07: return {4};
    default: return {};
    }
}

// ---- combined move-and-pick and move-and-place fields ----------------------------

SpeedCodes SpeedCodesOf(std::int32_t word) {
    const auto w = static_cast<std::uint32_t>(word);
    return {static_cast<int>(w & 0xFF), static_cast<int>((w >> 8) & 0xFF), static_cast<int>((w >> 16) & 0xFF),
            static_cast<int>((w >> 24) & 0xFF)};
}

namespace {
void AWord(std::int32_t word, int& start, int& run) {
    const SpeedCodes c = SpeedCodesOf(word);
    start = c.xyStart;
    run = c.xyRun;
}
} // namespace

bool ReadPick74(const Bytes& d, Pick74& o) {
    if (d.size() < 96) return false;
    FieldReader r(d);
    o.head = r.U8();
    o.feedModeByte = r.U8();
    o.nozzleMask = static_cast<std::uint32_t>(r.Le32());
    o.feedTime = r.Le16();
    o.feederMasks[0] = static_cast<std::uint32_t>(r.Le32());
    o.feedCount = r.Le16();
    o.feederNumber = r.U8();
    o.feederMasks[1] = static_cast<std::uint32_t>(r.Le32());
    o.dX = r.Le32();
    o.currentX = r.Le32();
    o.dY = r.Le32();
    o.currentY = r.Le32();
    o.feederMasks[2] = static_cast<std::uint32_t>(r.Le32());
    r.U8();
    for (auto& a : o.dA) a = r.Le32();
    o.depth = r.Le32();
    o.delay = r.Le32();
    r.U8();
    o.speeds = SpeedCodesOf(r.Le32());
    AWord(r.Le32(), o.aStart, o.aRun);
    o.vacuum = r.Le32();
    return r.ok();
}

bool ReadPick75(const Bytes& d, Pick75& o) {
    if (d.size() < 234) return false;
    FieldReader r(d, 1);
    for (auto& v : o.feedModeByte) v = r.U8();
    for (auto& v : o.feederNumber) v = r.U8();
    for (auto& v : o.feedTime) v = r.Le16();
    for (auto& v : o.feedCount) v = r.Le16();
    o.currentX = r.Le32();
    o.currentY = r.Le32();
    for (auto& v : o.dX) v = r.Le32();
    for (auto& v : o.dY) v = r.Le32();
    o.recordMask = static_cast<std::uint32_t>(r.Le32());
    o.feederMasks[2] = static_cast<std::uint32_t>(r.Le32());
    r.U8();
    for (auto& v : o.dA) v = r.Le32();
    o.feederMasks[0] = static_cast<std::uint32_t>(r.Le32());
    o.feederMasks[1] = static_cast<std::uint32_t>(r.Le32());
    for (auto& v : o.zAxis) v = r.U8();
    for (auto& v : o.depth) v = r.Le32();
    o.speeds = SpeedCodesOf(r.Le32());
    const std::int32_t a = r.Le32();
    AWord(a, o.aStart, o.aRun);
    o.vacuum = static_cast<int>((static_cast<std::uint32_t>(a) >> 16) & 0xFF);
    for (auto& v : o.delay) v = r.Le16();
    return r.ok();
}

bool ReadPlace77(const Bytes& d, Place77& o) {
    if (d.size() < 86) return false;
    FieldReader r(d);
    o.currentX = r.Le32();
    o.dX = r.Le32();
    o.currentY = r.Le32();
    o.dY = r.Le32();
    o.speeds = SpeedCodesOf(r.Le32());
    AWord(r.Le32(), o.aStart, o.aRun);
    r.U8();
    for (auto& a : o.dA) a = r.Le32();
    o.depth = r.Le32();
    o.vacuumOffDepth = r.Le32();
    o.zAxis = r.U8();
    o.delay = r.Le32();
    r.Seek(82);
    o.exhaust = r.U8();
    r.Le16();
    o.vacuum = r.U8();
    return r.ok();
}

bool ReadPlace78(const Bytes& d, Place78& o) {
    if (d.size() < 234) return false;
    FieldReader r(d);
    o.headMask = r.U8();
    o.currentX = r.Le32();
    for (auto& v : o.dX) v = r.Le32();
    for (auto& v : o.dY) v = r.Le32();
    o.currentY = r.Le32();
    o.speeds = SpeedCodesOf(r.Le32());
    AWord(r.Le32(), o.aStart, o.aRun);
    r.U8();
    for (auto& v : o.dA) v = r.Le32();
    o.exhaust = r.Le32();
    const std::uint32_t w = static_cast<std::uint32_t>(d[118]) | static_cast<std::uint32_t>(d[119]) << 8 |
                            static_cast<std::uint32_t>(d[120]) << 16;
    o.word118 = static_cast<std::int32_t>(w & 0x800000u ? w | 0xFF000000u : w);
    r.Seek(121);
    for (auto& v : o.zAxis) v = r.U8();
    for (auto& v : o.vacuum) v = r.U8();
    for (auto& v : o.delay) v = r.Le16();
    r.Seek(170);
    for (auto& v : o.depth) v = r.Le32();
    for (auto& v : o.vacuumOffDepth) v = r.Le32();
    return r.ok();
}

} // namespace sim
