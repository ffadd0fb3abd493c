#include "machine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "md5.h"

namespace sim {

namespace {
// Error statuses of the Ethernet replies and the serial error report codes used by
// the board itself.
constexpr std::uint8_t kStatusXLimit = 0x14;
constexpr std::uint8_t kStatusYLimit = 0x15;
constexpr std::uint8_t kStatusLength = 0x05;
constexpr std::uint8_t kStatusMeasure = 0x28;
constexpr std::uint8_t kStatusVacuum = 0x68;
constexpr std::uint8_t kStatusUnknown = 0xFF;
constexpr std::uint8_t kErrorLimit = 0xE8;
constexpr std::uint8_t kSubXLimit = 0x11;
constexpr std::uint8_t kSubYLimit = 0x12;

constexpr int kHomingMs = 500;
constexpr int kMaxMotionMs = 60000;  // no single reply waits longer, even for a wild move
constexpr int kStrokeMs = 60;

bool RockerType(int type) { return type == 4 || type == 6; }

using Wide = std::int64_t;

// The boards' counters are 32-bit and wrap; whatever the host sends, no sum overflows.
void Shift(std::int32_t& counter, Wide delta) {
    counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<Wide>(counter) + delta));
}

Wide Far(Wide a, Wide b = 0, Wide c = 0) { return std::max({std::llabs(a), std::llabs(b), std::llabs(c)}); }
} // namespace

Machine::Machine(int machineType) : m_type(machineType) {}

int Machine::MachineType() const {
    std::lock_guard lock(m_mutex);
    return m_type;
}

void Machine::SetMachineType(int type) {
    std::lock_guard lock(m_mutex);
    m_type = type;
}

Outcome Machine::Execute(Link link, std::uint16_t code, const Bytes& data) {
    std::lock_guard lock(m_mutex);
    TrimFrameRecord();
    FrameRecord rec{link, code, data, true, {}};
    Outcome o;
    // Form check: the length must be one the command has on this link.
    bool lengthOk = false;
    if (link == Link::Serial) {
        for (std::size_t n : SerialDataLengths(static_cast<std::uint8_t>(code))) lengthOk = lengthOk || n == data.size();
        if (code > 0xFF) lengthOk = false;
    } else if (code == 0xF03) {
        FieldReader r(data);
        r.Le32();
        const std::uint32_t n = static_cast<std::uint32_t>(r.Le32());
        lengthOk = r.ok() && n <= kMaxFlashBlock && data.size() == 8 + n;
    } else if ((code & 0xF00) == 0xF00) {
        lengthOk = true;  // unknown loader commands get the loader's "unknown" answer
        for (std::size_t n : UdpPayloadLengths(code)) lengthOk = n == data.size();
    } else {
        for (std::size_t n : UdpPayloadLengths(code)) lengthOk = lengthOk || n == data.size();
    }
    if (!lengthOk) {
        rec.accepted = false;
        rec.reason = "length does not fit the command";
        m_frames.push_back(std::move(rec));
        o.reason = m_frames.back().reason;
        return o;
    }
    m_frames.push_back(rec);
    if (m_observer)
        if (auto error = m_observer->Intercept(link, code)) {
            o.replies.push_back(*error);
            o.accepted = true;
            return o;
        }
    const Drives before = m_pos;
    const int output7 = m_outputs.count(7) ? m_outputs[7] : 0;
    o = Run(link, code, data);
    UpdateNozzleLedger(before, output7);
    o.accepted = true;
    if (m_observer) m_observer->AfterCommand(link, code, data, before, m_pos);
    return o;
}

void Machine::SetObserver(MachineObserver* observer) {
    std::lock_guard lock(m_mutex);
    m_observer = observer;
}

void Machine::TrimFrameRecord() {
    // A simulator left running for days keeps the newer half of its frame record.
    if (m_frames.size() >= kMaxFrameRecords)
        m_frames.erase(m_frames.begin(), m_frames.begin() + static_cast<std::ptrdiff_t>(kMaxFrameRecords / 2));
}

void Machine::RecordRejected(Link link, std::uint16_t code, const Bytes& raw, const std::string& reason) {
    std::lock_guard lock(m_mutex);
    TrimFrameRecord();
    m_frames.push_back(FrameRecord{link, code, raw, false, reason});
}

Bytes Machine::UdpStatus(std::uint8_t status) const { return Bytes{status, ComputeZState()}; }

void Machine::AddReply(Outcome& o, Link link, std::uint16_t code, Bytes serialData, std::uint8_t status) const {
    if (link == Link::Serial)
        o.replies.push_back(Outgoing{kReplyCommand, code, std::move(serialData)});
    else
        o.replies.push_back(Outgoing{1, code, UdpStatus(status)});
}

Outcome Machine::Reply(Link link, std::uint16_t code, Bytes serialData, std::uint8_t status) const {
    Outcome o;
    AddReply(o, link, code, std::move(serialData), status);
    return o;
}

int Machine::MoveTimeMs(std::int64_t pulses, int runSpeed) {
    // A speed code s drives 2 s pulses per millisecond; every move takes some time.
    const int s = std::max(1, runSpeed & 0xFF);
    return 5 + static_cast<int>(std::min<std::int64_t>(std::llabs(pulses) / (2 * s), kMaxMotionMs));
}

std::uint8_t Machine::ComputeZState() const {
    if (m_zOverride >= 0) return static_cast<std::uint8_t>(m_zOverride);
    if (m_type == 8 || m_type == 9) return 0;
    std::uint8_t bits = 0;
    if (m_type == 7) {
        for (int i = 0; i < 8; ++i)
            if (m_pos.z[i] == 0) bits |= static_cast<std::uint8_t>(1u << i);
        return bits;
    }
    // Rocker heads: one bit per rocker at its middle position.
    if (m_pos.z[0] == 0 && m_pos.z[1] == 0) bits |= 1;
    if (m_pos.z[2] == 0 && m_pos.z[3] == 0) bits |= 2;
    return bits;
}

void Machine::MoveAxis(int axis, std::int32_t d) {
    auto rocker = [&](int first) {
        Shift(m_pos.z[first], -Wide{d});
        Shift(m_pos.z[first + 1], d);
    };
    switch (axis) {
    case 0: Shift(m_pos.x, d); break;
    case 1: Shift(m_pos.y, d); break;
    case 2: rocker(0); break;
    case 3: rocker(2); break;
    case 4: case 5: case 6: case 7: Shift(m_pos.a[axis - 4], d); break;
    case 8: Shift(m_pos.walk[0], d); break;
    case 9: if (m_type == 4) Shift(m_pos.x2, d); else Shift(m_pos.walk[1], d); break;
    case 10: if (RockerType(m_type)) rocker(4); else Shift(m_pos.walk[2], d); break;
    case 11: Shift(m_pos.lift[0], d); break;
    case 12: if (m_type == 4) Shift(m_pos.y2, d); else Shift(m_pos.lift[1], d); break;
    case 13: Shift(m_pos.lift[2], d); break;
    case 14: case 0x30: Shift(m_pos.walk[3], d); break;
    case 15: Shift(m_pos.feed2, d); break;
    default:
        if (axis >= 0x20 && axis <= 0x27) Shift(m_pos.z[axis - 0x20], d);
        else if (axis >= 0x28 && axis <= 0x2F) Shift(m_pos.a[axis - 0x28], d);
        break;
    }
}

bool Machine::CheckXY(std::int64_t x, std::int64_t y) {
    auto it = m_limits.find(0);
    if (it != m_limits.end() && it->second != 0 && (x < 0 || x > std::llabs(it->second))) {
        m_limitStatus = kStatusXLimit;
        return false;
    }
    it = m_limits.find(1);
    if (it != m_limits.end() && it->second != 0 && (y > 0 || y < -std::llabs(it->second))) {
        m_limitStatus = kStatusYLimit;
        return false;
    }
    return true;
}

void Machine::Home(const std::vector<HomeDrive>& drives) {
    for (HomeDrive d : drives) {
        switch (d) {
        case HomeDrive::X: m_pos.x = 0; break;
        case HomeDrive::Y: m_pos.y = 0; break;
        case HomeDrive::X2: m_pos.x2 = 0; break;
        case HomeDrive::Y2: m_pos.y2 = 0; break;
        case HomeDrive::Rocker12: m_pos.z[0] = m_pos.z[1] = 0; break;
        case HomeDrive::Rocker34: m_pos.z[2] = m_pos.z[3] = 0; break;
        case HomeDrive::Rocker56: m_pos.z[4] = m_pos.z[5] = 0; break;
        case HomeDrive::WestWalk:
            // With the automatic conveyor in place the west-walk drive is its width
            // drive, whose reference switch stands at the configured width.
            if (m_conveyorWidth) m_pos.walk[3] = *m_conveyorWidth;
            else m_pos.walk[0] = 0;
            break;
        case HomeDrive::NorthWalk: m_pos.walk[1] = 0; break;
        case HomeDrive::EastWalk: m_pos.walk[2] = 0; break;
        default: {
            const int head = static_cast<int>(d) - static_cast<int>(HomeDrive::Head1);
            if (head >= 0 && head < 8) m_pos.z[head] = 0;
            break;
        }
        }
    }
    m_homed = true;
}

int Machine::StrokeNozzle(int axis, std::int32_t depth) const {
    // A positive stroke of a rocker lowers the first nozzle of its pair.
    if (axis == 2) return depth > 0 ? 1 : 2;
    if (axis == 3) return depth > 0 ? 3 : 4;
    if (axis == 10 && RockerType(m_type)) return depth > 0 ? 5 : 6;
    return NozzleOfZAxis(axis);
}

int Machine::ReadingOf(int nozzle) const {
    if (nozzle < 1 || nozzle > 8) return 0;
    if (m_vacuumOverride[nozzle - 1] >= 0) return m_vacuumOverride[nozzle - 1];
    return m_holding[nozzle - 1] ? kHoldingKpa : kEmptyKpa;
}

void Machine::Pick(std::uint16_t command, int nozzle, std::int32_t depth) {
    if (nozzle < 1 || nozzle > 8) return;
    const bool took = !m_observer || m_observer->OnPick(command, nozzle, m_pos, depth);
    m_holding[nozzle - 1] = m_holding[nozzle - 1] || took;
    m_picks.push_back(PartRecord{command, nozzle, m_pos.x, m_pos.y, m_pos.a[nozzle - 1], took});
}

bool Machine::Place(std::uint16_t command, int nozzle, int threshold, int* reading, std::int32_t depth,
                    std::int32_t releaseDepth) {
    if (nozzle < 1 || nozzle > 8) {
        *reading = 0;
        return threshold <= 0;
    }
    *reading = ReadingOf(nozzle);
    bool ok = threshold <= 0 || *reading >= threshold;
    // A part that stays on the nozzle fails the check whatever the threshold.
    // The observer sees a stroke of an empty nozzle too (a simulated place).
    const bool kept = m_observer && m_observer->OnPlace(command, nozzle, m_pos, depth, releaseDepth) &&
                      m_holding[nozzle - 1];
    if (kept) ok = false;
    if (m_holding[nozzle - 1])
        m_places.push_back(PartRecord{command, nozzle, m_pos.x, m_pos.y, m_pos.a[nozzle - 1], ok});
    m_holding[nozzle - 1] = kept;
    return ok;
}

void Machine::SwitchOutput(Link link, int channel, int value, int extra) {
    m_outputs[channel] = value;
    m_outputLog.push_back(OutputRecord{link, channel, value, extra});
    // Switching a nozzle's vacuum off lets its part go.
    int nozzle = 0;
    if (m_type == 7) nozzle = NozzleOfZAxis(channel);
    else if (channel >= 1 && channel <= 4) nozzle = channel;
    if (m_observer) m_observer->OnOutput(channel, value);
    if (nozzle && value == 0) {
        m_blowOffs.push_back(BlowOffRecord{nozzle, channel, extra, m_pos.x, m_pos.y, m_holding[nozzle - 1]});
        if (m_holding[nozzle - 1] && m_observer) m_observer->OnRelease(nozzle, m_pos);
        m_holding[nozzle - 1] = false;
    }
}

// One command being carried out: its link, code and data, and a reader over them.
struct Machine::Command {
    Command(Link l, std::uint16_t c, const Bytes& d) : link(l), code(c), data(d), serial(l == Link::Serial), r(d) {}
    // The link's form of a signed 32-bit field and of a speed code.
    std::int32_t I32() { return serial ? r.Sm32() : r.Le32(); }
    std::int32_t Speed() { return serial ? static_cast<std::int32_t>(r.U8()) : r.Le32(); }

    Link link;
    std::uint16_t code;
    const Bytes& data;
    bool serial;
    FieldReader r;
};

Outcome Machine::Reply(const Command& c, Bytes serialData, std::uint8_t status) const {
    return Reply(c.link, c.code, std::move(serialData), status);
}

// The board's commands, one handler each; a command the boards do not know is
// answered by nothing (the loader's, over Ethernet, by its "unknown" status).
const std::map<std::uint16_t, Machine::Handler>& Machine::Handlers() {
    static const std::map<std::uint16_t, Handler> handlers = {
        {0x00, &Machine::CmdHandshake},
        {0x01, &Machine::CmdAxisLimit},
        {0x02, &Machine::CmdHomeAxes},
        {0x52, &Machine::CmdHomeDoubleTable},
        {0x72, &Machine::CmdHomeHeads},
        {0x03, &Machine::CmdOutput},
        {0x04, &Machine::CmdCameraSelect},
        {0x15, &Machine::CmdVacuumTest},
        {0x60, &Machine::CmdSpeedGear},
        {0x61, &Machine::CmdSingleAxisMove},
        {0x53, &Machine::CmdMoveXY},
        {0x54, &Machine::CmdMoveXYThirdDrive},
        {0x56, &Machine::CmdFeederFeed},
        {0x66, &Machine::CmdFeederFeed},
        {0x58, &Machine::CmdDispenseStroke},
        {0x62, &Machine::CmdConveyor},
        {0x63, &Machine::CmdFlyOver},
        {0x64, &Machine::CmdMoveXYA},
        {0x65, &Machine::CmdMoveXYAMulti},
        {0x67, &Machine::CmdPickStroke},
        {0x68, &Machine::CmdPlaceStroke},
        {0x70, &Machine::CmdHostCounters},
        {0x71, &Machine::CmdMeasureHeight},
        {0x73, &Machine::CmdMoveAndFly},
        {0x74, &Machine::CmdMoveAndPick},
        {0x75, &Machine::CmdPerNozzleStrokes},
        {0x78, &Machine::CmdPerNozzleStrokes},
        {0x77, &Machine::CmdMoveAndPlace},
    };
    return handlers;
}

Outcome Machine::Run(Link link, std::uint16_t code, const Bytes& data) {
    Command c(link, code, data);
    const auto& handlers = Handlers();
    if (const auto h = handlers.find(code); h != handlers.end()) return (this->*(h->second))(c);
    if ((code & 0xF00) == 0xF00 && link == Link::Udp) return CmdLoader(c);
    return {};
}

// A move beyond a travel limit the host gave: refused, nothing moves; the error
// report (serial) or the reply's status (Ethernet) is the whole answer.
Outcome Machine::LimitRefused(const Command& c) const {
    Outcome o;
    if (c.serial) {
        o.replies.push_back(Outgoing{kReplyError, kErrorLimit,
                                     Bytes{m_limitStatus == kStatusXLimit ? kSubXLimit : kSubYLimit}});
    } else {
        o.replies.push_back(Outgoing{1, c.code, UdpStatus(m_limitStatus)});
    }
    return o;
}

// 0x00: handshake
Outcome Machine::CmdHandshake(Command& c) {
    return Reply(c);
}

// 0x01: axis travel limit
Outcome Machine::CmdAxisLimit(Command& c) {
    FieldReader& r = c.r;
    const int axis = r.U8();
    m_limits[axis] = c.I32();
    return Reply(c);
}

// 0x02: home: seven (start, run) pairs X, Y, Z1, Z2, west, north, east walk
Outcome Machine::CmdHomeAxes(Command& c) {
    Outcome o;
    // Z1 is the rocker of nozzles 1-2; Z2 the rocker of nozzles 3-4 and, on the
    // type with a third rocker (6), that one too.
    std::vector<HomeDrive> drives;
    const std::vector<HomeDrive> slot[7] = {
        {HomeDrive::X}, {HomeDrive::Y}, {HomeDrive::Rocker12},
        m_type == 6 ? std::vector<HomeDrive>{HomeDrive::Rocker34, HomeDrive::Rocker56}
                    : std::vector<HomeDrive>{HomeDrive::Rocker34},
        {HomeDrive::WestWalk}, {HomeDrive::NorthWalk}, {HomeDrive::EastWalk}};
    for (int p = 0; p < 7; ++p) {
        const std::int32_t s = c.Speed(), run = c.Speed();
        if (s != 0 || run != 0) drives.insert(drives.end(), slot[p].begin(), slot[p].end());
    }
    Home(drives);
    o = Reply(c.link, 0x02);
    o.motionMs = kHomingMs;
    return o;
}

// 0x52: home on the double table: X, X2, Y start, Y2 start, Y run, Y2 run, Z, Z 3-4, Z 5-6
Outcome Machine::CmdHomeDoubleTable(Command& c) {
    FieldReader& r = c.r;
    Outcome o;
    std::uint8_t v[14];
    for (auto& b : v) b = r.U8();
    std::vector<HomeDrive> drives;
    if (v[0] || v[1]) drives.push_back(HomeDrive::X);
    if (v[2] || v[3]) drives.push_back(HomeDrive::X2);
    if (v[4] || v[6]) drives.push_back(HomeDrive::Y);
    if (v[5] || v[7]) drives.push_back(HomeDrive::Y2);
    if (v[8] || v[9]) drives.push_back(HomeDrive::Rocker12);
    if (v[10] || v[11]) drives.push_back(HomeDrive::Rocker34);
    if (v[12] || v[13]) drives.push_back(HomeDrive::Rocker56);
    Home(drives);
    o = Reply(c.link, 0x02);
    o.motionMs = kHomingMs;
    return o;
}

// 0x72: Ethernet homing: X start, Y start, X/Y run, Z start of heads 1..8, Z run
Outcome Machine::CmdHomeHeads(Command& c) {
    FieldReader& r = c.r;
    Outcome o;
    std::int32_t v[12];
    for (auto& x : v) x = r.Le32();
    std::vector<HomeDrive> drives;
    if (v[0]) drives.push_back(HomeDrive::X);
    if (v[1]) drives.push_back(HomeDrive::Y);
    for (int h = 0; h < 8; ++h)
        if (v[3 + h]) drives.push_back(static_cast<HomeDrive>(static_cast<int>(HomeDrive::Head1) + h));
    Home(drives);
    o = Reply(c.link, 0x72);
    o.motionMs = kHomingMs;
    return o;
}

// 0x03: output
Outcome Machine::CmdOutput(Command& c) {
    FieldReader& r = c.r;
    const bool serial = c.serial;
    const int channel = r.U8();
    const int value = r.U8();
    const int extra = serial ? 0 : r.Le16();
    SwitchOutput(c.link, channel, value, extra);
    return Reply(c);
}

// 0x04: camera select
Outcome Machine::CmdCameraSelect(Command& c) {
    FieldReader& r = c.r;
    m_camera = r.U8();
    m_cameraValue = r.U8();
    if (m_observer) m_observer->OnCamera(m_camera, m_cameraValue);
    return Reply(c);
}

// 0x15: vacuum test
Outcome Machine::CmdVacuumTest(Command& c) {
    FieldReader& r = c.r;
    const bool serial = c.serial;
    Outcome o;
    const int n = r.U8();
    const int nozzle = n >= 1 && n <= 8 ? n : NozzleOfZAxis(n);
    const int kpa = ReadingOf(nozzle);
    if (serial) return Reply(c, Bytes{static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(kpa)});
    o.replies.push_back(Outgoing{1, c.code, Bytes{0, static_cast<std::uint8_t>(kpa)}});
    return o;
}

// 0x60: speed gear: the serial board answers nothing
Outcome Machine::CmdSpeedGear(Command& c) {
    FieldReader& r = c.r;
    const bool serial = c.serial;
    Outcome o;
    m_gear = r.U8();
    m_gearSecond = serial ? 0 : r.U8();
    if (serial) return o;
    return Reply(c);
}

// 0x61: single-axis move
Outcome Machine::CmdSingleAxisMove(Command& c) {
    FieldReader& r = c.r;
    const bool serial = c.serial;
    Outcome o;
    const int axis = r.U8();
    if (!serial) r.Le32();  // the host's counter of the axis
    const std::int32_t delta = c.I32();
    c.Speed();
    const std::int32_t run = c.Speed();
    Wide nx = m_pos.x, ny = m_pos.y;
    if (axis == 0) nx += delta;
    if (axis == 1) ny += delta;
    if ((axis == 0 || axis == 1) && !CheckXY(nx, ny)) return LimitRefused(c);
    MoveAxis(axis, delta);
    o = Reply(c);
    o.motionMs = MoveTimeMs(delta, run);
    return o;
}

// 0x53: X or X2 with Y or Y2
Outcome Machine::CmdMoveXY(Command& c) {
    FieldReader& r = c.r;
    const bool serial = c.serial;
    Outcome o;
    int xAxis, yAxis;
    std::int32_t dX, dY, rX;
    if (serial) {
        xAxis = r.U8(); dX = r.Sm32(); r.U8(); rX = r.U8();
        yAxis = r.U8(); dY = r.Sm32(); r.U8(); r.U8();
    } else {
        xAxis = r.U8(); yAxis = r.U8();
        r.Le32(); dX = r.Le32(); r.Le32(); dY = r.Le32(); r.Le32(); rX = r.Le32();
    }
    if (!CheckXY(Wide{m_pos.x} + (xAxis == 0 ? dX : 0), Wide{m_pos.y} + (yAxis == 1 ? dY : 0))) return LimitRefused(c);
    Shift((xAxis == 9 ? m_pos.x2 : m_pos.x), dX);
    Shift((yAxis == 12 ? m_pos.y2 : m_pos.y), dY);
    o = Reply(c);
    o.motionMs = MoveTimeMs(Far(dX, dY), rX);
    return o;
}

// 0x54: X with Y or Y2 and a third drive (serial only). The third drive is a head's
// rotation named by its axis code (4..7 A1..A4, 0x28..0x2F A of nozzles 1..8), turned
// by dR in the same move; any other code turns nothing.
Outcome Machine::CmdMoveXYThirdDrive(Command& c) {
    FieldReader& r = c.r;
    Outcome o;
    r.U8();
    const std::int32_t dX = r.Sm32();
    r.U8();
    const std::int32_t rX = r.U8();
    const int yAxis = r.U8();
    const std::int32_t dY = r.Sm32();
    r.U8();
    r.U8();
    const int third = r.U8();
    const std::int32_t dR = r.Sm16();
    if (!CheckXY(Wide{m_pos.x} + dX, Wide{m_pos.y} + (yAxis == 1 ? dY : 0))) return LimitRefused(c);
    Shift(m_pos.x, dX);
    Shift((yAxis == 12 ? m_pos.y2 : m_pos.y), dY);
    const bool rotation = (third >= 4 && third <= 7) || (third >= 0x28 && third <= 0x2F);
    if (rotation) MoveAxis(third, dR);
    o = Reply(c);
    o.motionMs = MoveTimeMs(Far(dX, dY, rotation ? dR : 0), rX);
    return o;
}

// 0x56 and 0x66: feeder feed
Outcome Machine::CmdFeederFeed(Command& c) {
    FieldReader& r = c.r;
    const bool serial = c.serial;
    Outcome o;
    FeedRecord rec;
    rec.command = c.code;
    if (serial) {
        rec.drive = r.U8();
        if (rec.drive == 10) {
            rec.pulses = static_cast<std::int32_t>(r.Be32());
            rec.a = static_cast<std::uint32_t>(r.Be32());
            rec.b = static_cast<std::uint32_t>(r.Be32());
        } else {
            rec.pulses = r.Sm32();
            rec.a = r.U8();
            rec.b = r.U8();
            r.Be16();  // the lift lengths and speeds
            r.Be16();
            r.U8();
            r.U8();
        }
        rec.g = r.Be16();
    } else {
        r.U8();
        rec.drive = r.U8();
        r.Le32();
        rec.pulses = r.Le32();
        rec.a = static_cast<std::uint32_t>(r.Le32());
        rec.b = static_cast<std::uint32_t>(r.Le32());
        for (int k = 0; k < 4; ++k) r.Le32();
        rec.g = r.Le16();
    }
    rec.count = r.U8();
    rec.feeder = r.U8();
    const int drive = rec.drive;
    const std::int32_t pulses = rec.pulses;
    if (drive >= 1 && drive <= 3) Shift(m_pos.walk[drive - 1], pulses);
    m_feeds.push_back(rec);
    o = Reply(c);
    o.motionMs = MoveTimeMs(pulses, 100);
    return o;
}

// 0x58: dispensing stroke: a dot where the head stands
Outcome Machine::CmdDispenseStroke(Command& c) {
    FieldReader& r = c.r;
    const bool serial = c.serial;
    Outcome o;
    DispenseRecord d;
    d.link = c.link;
    d.axis = r.U8();
    d.depth = serial ? r.Sm32() : r.Le32();
    d.start = serial ? r.U8() : r.Le32();
    d.run = serial ? r.U8() : r.Le32();
    d.head = r.U8();
    d.a = serial ? r.Be32() : r.Le32();
    d.b = serial ? r.Be32() : r.Le32();
    d.t1 = serial ? r.Be16() : r.Le16();
    d.t2 = serial ? r.Be16() : r.Le16();
    if (!serial) d.t3 = r.Le16();
    d.x = m_pos.x, d.y = m_pos.y, d.x2 = m_pos.x2, d.y2 = m_pos.y2;
    m_dots.push_back(d);
    o = Reply(c);
    o.motionMs = kStrokeMs;
    return o;
}

// 0x62: conveyor belts
Outcome Machine::CmdConveyor(Command& c) {
    FieldReader& r = c.r;
    const bool serial = c.serial;
    Outcome o;
    ConveyorRecord belt;
    belt.zone = r.U8();
    if (serial) {
        belt.flags[0] = r.U8(); belt.flags[1] = r.U8(); belt.flags[2] = r.U8();
        r.U8(); belt.l1 = r.Sm32();
        r.U8(); belt.l2 = r.Sm32();
        r.U8(); belt.l3 = r.Sm32();
        belt.start = r.U8(); belt.run = r.U8();
    } else {
        belt.flags[0] = r.U8(); belt.waitTimeOut = r.Le16(); belt.flags[1] = r.U8(); belt.flags[2] = r.U8();
        r.U8(); belt.l1 = r.Le32();
        r.U8(); belt.l2 = r.Le32();
        r.U8(); belt.l3 = r.Le32();
        belt.start = r.Le32(); belt.run = r.Le32();
    }
    // No board to take in: the board waits and never answers.
    const std::optional<bool> waiting = m_observer ? m_observer->BoardAtInput() : std::nullopt;
    belt.answered = !(belt.zone == 1 && belt.flags[0] != 0 && !waiting.value_or(m_boardAtInput));
    if (belt.zone == m_jammedZone) belt.answered = false;
    m_conveyor.push_back(belt);
    if (!belt.answered) return o;
    if (belt.zone >= 1 && belt.zone <= 4) m_boardZone = belt.zone == 4 ? 0 : belt.zone;
    // The conveyor board answers on Ethernet unasked (flag 0), as it does when done.
    if (serial) o = Reply(c);
    else o.replies.push_back(Outgoing{0, c.code, UdpStatus(0)});
    o.motionMs = MoveTimeMs(Far(belt.l1, belt.l2, belt.l3), 100);
    return o;
}

// 0x63: fly-over camera move
Outcome Machine::CmdFlyOver(Command& c) {
    FieldReader& r = c.r;
    const bool serial = c.serial;
    Outcome o;
    std::int32_t dX;
    int heads;
    std::vector<std::int32_t> triggers;
    if (serial) {
        r.U8(); r.U8(); heads = r.U8();
        dX = r.Sm32();
        r.U8(); r.U8();
        // The low 16 bits of each signed trigger value: a trigger before the start
        // (nozzle k's offset is negative) comes as its two's complement.
        for (int k = 0; k < 12; ++k) triggers.push_back(static_cast<std::int16_t>(r.Be16()));
    } else {
        r.Le16(); heads = r.U8(); r.Le32();
        dX = r.Le32();
        r.Le32(); r.Le32();
        for (int k = 0; k < 12; ++k) triggers.push_back(r.Le32());
    }
    if (!CheckXY(Wide{m_pos.x} + dX, m_pos.y)) return LimitRefused(c);
    if (m_observer) m_observer->OnFly(heads, m_pos.x, dX, triggers, m_pos);
    Shift(m_pos.x, dX);
    o = Reply(c);
    o.motionMs = MoveTimeMs(dX, 100);
    return o;
}

// 0x64: X/Y with one nozzle's rotation
Outcome Machine::CmdMoveXYA(Command& c) {
    FieldReader& r = c.r;
    const bool serial = c.serial;
    const Bytes& d = c.data;
    Outcome o;
    std::int32_t dX, dY, rX, dA;
    int nozzle;
    if (serial) {
        const bool wide = d.size() == 18;
        dX = wide ? r.Sm32() : r.Sm16();
        r.U8(); rX = r.U8();
        dY = wide ? r.Sm32() : r.Sm16();
        r.U8(); r.U8();
        nozzle = r.U8();
        dA = r.Sm16();
    } else {
        r.Le32(); dX = r.Le32(); r.Le32(); dY = r.Le32(); r.Le32(); rX = r.Le32();
        r.U8();
        nozzle = r.U8();
        dA = r.Le32();
    }
    if (!CheckXY(Wide{m_pos.x} + dX, Wide{m_pos.y} + dY)) return LimitRefused(c);
    Shift(m_pos.x, dX);
    Shift(m_pos.y, dY);
    if (nozzle >= 1 && nozzle <= 8) Shift(m_pos.a[nozzle - 1], dA);
    o = Reply(c);
    o.motionMs = MoveTimeMs(Far(dX, dY), rX);
    return o;
}

// 0x65: X/Y with every nozzle's rotation
Outcome Machine::CmdMoveXYAMulti(Command& c) {
    FieldReader& r = c.r;
    const bool serial = c.serial;
    Outcome o;
    std::int32_t dX, dY, rX;
    std::array<std::int32_t, 8> dA{};
    if (serial) {
        dX = r.Sm32(); r.U8(); rX = r.U8();
        dY = r.Sm32(); r.U8(); r.U8();
        for (int n = 0; n < 4; ++n) {
            dA[n] = r.Sm16();
            r.U8(); r.U8();
        }
    } else {
        r.Le32(); dX = r.Le32(); r.Le32(); dY = r.Le32(); r.Le32(); rX = r.Le32();
        r.U8();
        for (auto& a : dA) a = r.Le32();
    }
    if (!CheckXY(Wide{m_pos.x} + dX, Wide{m_pos.y} + dY)) return LimitRefused(c);
    Shift(m_pos.x, dX);
    Shift(m_pos.y, dY);
    for (int n = 0; n < 8; ++n) Shift(m_pos.a[n], dA[n]);
    o = Reply(c);
    o.motionMs = MoveTimeMs(Far(dX, dY), rX);
    return o;
}

// 0x67: pick stroke
Outcome Machine::CmdPickStroke(Command& c) {
    FieldReader& r = c.r;
    Outcome o;
    const int axis = r.U8();
    const std::int32_t depth = c.I32();
    Pick(c.code, StrokeNozzle(axis, depth), depth);
    o = Reply(c);
    o.motionMs = kStrokeMs;
    return o;
}

// 0x68: place stroke with the vacuum check
Outcome Machine::CmdPlaceStroke(Command& c) {
    FieldReader& r = c.r;
    const bool serial = c.serial;
    Outcome o;
    const int axis = r.U8();
    const std::int32_t depth = c.I32();
    r.Seek(serial ? 13 : 20);
    const int threshold = r.U8();
    int reading = 0;
    // The plain stroke lets the vacuum go at the one depth it carries.
    const bool ok = Place(c.code, StrokeNozzle(axis, depth), threshold, &reading, depth, depth);
    if (serial)
        o = Reply(c, Bytes{static_cast<std::uint8_t>(ok ? 0 : 1), static_cast<std::uint8_t>(reading)});
    else
        o.replies.push_back(Outgoing{1, c.code, Bytes{ok ? std::uint8_t{0} : kStatusVacuum, ComputeZState(),
                                                    static_cast<std::uint8_t>(reading)}});
    o.motionMs = kStrokeMs;
    return o;
}

// 0x70: the host's X/Y counters
Outcome Machine::CmdHostCounters(Command& c) {
    FieldReader& r = c.r;
    m_hostX = r.Le32();
    m_hostY = r.Le32();
    return Reply(c);
}

// 0x71: height measurement
Outcome Machine::CmdMeasureHeight(Command& c) {
    const bool serial = c.serial;
    Outcome o;
    const bool ok = m_height != 0;
    if (serial) {
        // First data byte: 1 measured, 0 failed; the second to fifth: the height.
        Bytes data{static_cast<std::uint8_t>(ok ? 1 : 0)};
        PutBe32(data, m_height);
        o = Reply(c, data);
    } else {
        Bytes data = UdpStatus(ok ? 0 : kStatusMeasure);
        PutLe32(data, m_height);
        o.replies.push_back(Outgoing{1, c.code, data});
    }
    o.motionMs = kStrokeMs;
    return o;
}

// 0x73: move, fly over, move
Outcome Machine::CmdMoveAndFly(Command& c) {
    FieldReader& r = c.r;
    Outcome o;
    r.Seek(9);
    const std::int32_t dX1 = r.Le32(), dY1 = r.Le32();
    std::array<std::int32_t, 8> dA{};
    r.Seek(26);
    for (auto& a : dA) a = r.Le32();
    r.Seek(68);
    const int heads = r.U8();
    const std::int32_t dX2 = r.Le32();
    std::vector<std::int32_t> triggers;
    r.Seek(81);
    for (int k = 0; k < 8; ++k) triggers.push_back(r.Le32());
    r.Seek(114);
    const std::int32_t dX3 = r.Le32(), dY3 = r.Le32();
    const Wide x1 = Wide{m_pos.x} + dX1, y1 = Wide{m_pos.y} + dY1, x2 = x1 + dX2, x3 = x2 + dX3, y3 = y1 + dY3;
    if (!CheckXY(x1, y1) || !CheckXY(x2, y1) || !CheckXY(x3, y3)) return LimitRefused(c);
    if (m_observer) {
        Drives atStart = m_pos;
        atStart.x = static_cast<std::int32_t>(x1);
        atStart.y = static_cast<std::int32_t>(y1);
        for (int n = 0; n < 8; ++n) Shift(atStart.a[n], dA[n]);
        m_observer->OnFly(heads, atStart.x, dX2, triggers, atStart);
    }
    m_pos.x = static_cast<std::int32_t>(static_cast<std::uint32_t>(x3));
    m_pos.y = static_cast<std::int32_t>(static_cast<std::uint32_t>(y3));
    for (int n = 0; n < 8; ++n) Shift(m_pos.a[n], dA[n]);
    o = Reply(c);
    o.motionMs = MoveTimeMs(Far(dX1) + Far(dX2) + Far(dX3), 100);
    return o;
}

// 0x74: move and pick
Outcome Machine::CmdMoveAndPick(Command& c) {
    FieldReader& r = c.r;
    Outcome o;
    r.Seek(2);
    const std::uint32_t mask = static_cast<std::uint32_t>(r.Le32());
    r.Seek(19);
    const std::int32_t dX = r.Le32();
    r.Seek(27);
    const std::int32_t dY = r.Le32();
    std::array<std::int32_t, 8> dA{};
    r.Seek(40);
    for (auto& a : dA) a = r.Le32();
    r.Seek(72);
    const std::int32_t depth = r.Le32();
    r.Seek(80);
    const int zAxis = r.U8();
    if (!CheckXY(Wide{m_pos.x} + dX, Wide{m_pos.y} + dY)) return LimitRefused(c);
    Shift(m_pos.x, dX);
    Shift(m_pos.y, dY);
    for (int n = 0; n < 8; ++n) Shift(m_pos.a[n], dA[n]);
    if (mask == 0) Pick(c.code, NozzleOfZAxis(zAxis), depth);
    for (int n = 0; n < 8; ++n)
        if (mask & (1u << n)) Pick(c.code, n + 1, depth);
    o = Reply(c);
    o.motionMs = MoveTimeMs(Far(dX, dY), 100) + kStrokeMs;
    return o;
}

// 0x75 and 0x78: per-nozzle pick or place of the eight-head machine. The nozzles
// turn by their A deltas, then every nozzle with a Z axis code (0x20..0x27) is
// brought in nozzle order to the command's position + its own X/Y delta and
// picks or places there (0x78 with its own vacuum threshold); the head stays at
// the last one.
Outcome Machine::CmdPerNozzleStrokes(Command& c) {
    Outcome o;
    std::array<int, 8> zAxis{}, threshold{};
    std::array<std::int32_t, 8> dX{}, dY{}, dA{}, depth{}, release{};
    if (c.code == 0x75) {
        Pick75 p;
        ReadPick75(c.data, p);
        zAxis = p.zAxis, dX = p.dX, dY = p.dY, dA = p.dA, depth = p.depth;
    } else {
        Place78 p;
        ReadPlace78(c.data, p);
        zAxis = p.zAxis, dX = p.dX, dY = p.dY, dA = p.dA, threshold = p.vacuum;
        depth = p.depth, release = p.vacuumOffDepth;
    }
    for (int i = 0; i < 8; ++i) {
        if (!NozzleOfZAxis(zAxis[i])) continue;
        if (!CheckXY(Wide{m_pos.x} + dX[i], Wide{m_pos.y} + dY[i])) return LimitRefused(c);
    }
    const Drives start = m_pos;
    for (int n = 0; n < 8; ++n) Shift(m_pos.a[n], dA[n]);
    bool allOk = true;
    int reading = 0;
    Wide travel = 0;
    for (int i = 0; i < 8; ++i) {
        const int nozzle = NozzleOfZAxis(zAxis[i]);
        if (!nozzle) continue;
        const std::int32_t x = start.x, y = start.y;
        travel += Far(Wide{x} + dX[i] - m_pos.x, Wide{y} + dY[i] - m_pos.y);
        m_pos.x = x, m_pos.y = y;
        Shift(m_pos.x, dX[i]);
        Shift(m_pos.y, dY[i]);
        if (c.code == 0x75) Pick(c.code, nozzle, depth[i]);
        else allOk = Place(c.code, nozzle, threshold[i], &reading, depth[i], release[i]) && allOk;
    }
    o = Reply(c, {}, allOk ? 0 : kStatusVacuum);
    o.motionMs = MoveTimeMs(travel, 100) + 8 * kStrokeMs;
    return o;
}

// 0x77: move and place
Outcome Machine::CmdMoveAndPlace(Command& c) {
    FieldReader& r = c.r;
    Outcome o;
    r.Seek(4);
    const std::int32_t dX = r.Le32();
    r.Seek(12);
    const std::int32_t dY = r.Le32();
    std::array<std::int32_t, 8> dA{};
    r.Seek(25);
    for (auto& a : dA) a = r.Le32();
    r.Seek(57);
    const std::int32_t depth = r.Le32(), release = r.Le32();
    const int zAxis = r.U8();
    r.Seek(85);
    const int threshold = r.U8();
    if (!CheckXY(Wide{m_pos.x} + dX, Wide{m_pos.y} + dY)) return LimitRefused(c);
    Shift(m_pos.x, dX);
    Shift(m_pos.y, dY);
    for (int n = 0; n < 8; ++n) Shift(m_pos.a[n], dA[n]);
    int reading = 0;
    const bool ok = Place(c.code, NozzleOfZAxis(zAxis), threshold, &reading, depth, release);
    o.replies.push_back(Outgoing{1, c.code, Bytes{ok ? std::uint8_t{0} : kStatusVacuum, ComputeZState(),
                                                static_cast<std::uint8_t>(reading)}});
    o.motionMs = MoveTimeMs(Far(dX, dY), 100) + kStrokeMs;
    return o;
}

// Loader commands 0xF00..0xF0F (Ethernet): the status byte, then what the command reads.
Outcome Machine::CmdLoader(Command& c) {
    Outcome o;
    Bytes reply;
    const std::uint8_t status = FlashCommand(c.code, c.data, reply);
    reply.insert(reply.begin(), status);
    const bool known = !UdpPayloadLengths(c.code).empty() || c.code == 0xF03;
    o.replies.push_back(Outgoing{1, static_cast<std::uint16_t>(known ? c.code : 0xFFF), reply});
    return o;
}

Machine::Flash& Machine::FlashOf(BoardId b) { return m_flash[b]; }

// Loader commands; `reply` gets the bytes after the status byte.
std::uint8_t Machine::FlashCommand(std::uint16_t code, const Bytes& d, Bytes& reply) {
    FieldReader r(d);
    auto inFlash = [](std::uint32_t address, std::uint64_t n) {
        return address >= kFlashBase && std::uint64_t(address) + n <= std::uint64_t(kFlashBase) + kFlashSize;
    };
    switch (code) {
    case 0xF00: {
        BoardId b;
        b.number = r.U8();
        b.index = r.U8();
        if (b.number < 1 || b.number > 4) return kStatusUnknown;
        m_selected = b;
        return 0;
    }
    case 0xF02: {
        const auto address = static_cast<std::uint32_t>(r.Le32());
        const auto n = static_cast<std::uint32_t>(r.Le32());
        if (!inFlash(address, n)) return kStatusLength;
        Flash& f = FlashOf(m_selected);
        std::fill_n(f.bytes.begin() + (address - kFlashBase), n, 0xFF);
        return 0;
    }
    case 0xF03: {
        const auto address = static_cast<std::uint32_t>(r.Le32());
        const auto n = static_cast<std::uint32_t>(r.Le32());
        if (!inFlash(address, n)) return kStatusLength;
        Flash& f = FlashOf(m_selected);
        std::copy(d.begin() + 8, d.begin() + 8 + n, f.bytes.begin() + (address - kFlashBase));
        return 0;
    }
    case 0xF04: {
        const auto address = static_cast<std::uint32_t>(r.Le32());
        const auto n = static_cast<std::uint32_t>(r.Le32());
        reply.assign(3, 0);
        PutLe32(reply, static_cast<std::int32_t>(n));
        if (n > kMaxFlashBlock || !inFlash(address, n)) return kStatusLength;
        const Flash& f = FlashOf(m_selected);
        const auto at = f.bytes.begin() + (address - kFlashBase);
        reply.insert(reply.end(), at, at + n);
        return 0;
    }
    case 0xF06: {
        const auto address = static_cast<std::uint32_t>(r.Le32());
        const auto n = static_cast<std::uint32_t>(r.Le32());
        if (!inFlash(address, n)) {
            reply.assign(16, 0);
            return kStatusLength;
        }
        const Flash& f = FlashOf(m_selected);
        const auto md5 = Md5Digest(f.bytes.data() + (address - kFlashBase), n);
        reply.assign(md5.begin(), md5.end());
        return 0;
    }
    case 0xF07: {
        const auto address = static_cast<std::uint32_t>(r.Le32());
        if (!inFlash(address, 0)) return kStatusLength;
        FlashOf(m_selected).lastJump = address;
        return 0;
    }
    default:
        return kStatusUnknown;
    }
}

Bytes Machine::ReadFlash(BoardId board, std::uint32_t address, std::size_t n) const {
    std::lock_guard lock(m_mutex);
    Bytes out;
    if (address < kFlashBase || std::uint64_t(address) + n > std::uint64_t(kFlashBase) + kFlashSize) return out;
    const auto it = m_flash.find(board);
    if (it == m_flash.end()) return Bytes(n, 0xFF);
    const auto at = it->second.bytes.begin() + (address - kFlashBase);
    return Bytes(at, at + static_cast<std::ptrdiff_t>(n));
}

BoardId Machine::SelectedBoard() const {
    std::lock_guard lock(m_mutex);
    return m_selected;
}

std::uint32_t Machine::LastJump(BoardId board) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_flash.find(board);
    return it == m_flash.end() ? 0 : it->second.lastJump;
}

Drives Machine::Positions() const {
    std::lock_guard lock(m_mutex);
    return m_pos;
}

bool Machine::Homed() const {
    std::lock_guard lock(m_mutex);
    return m_homed;
}

int Machine::Output(int channel) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_outputs.find(channel);
    return it == m_outputs.end() ? 0 : it->second;
}

std::vector<FrameRecord> Machine::Frames() const {
    std::lock_guard lock(m_mutex);
    return m_frames;
}

std::vector<OutputRecord> Machine::OutputLog() const {
    std::lock_guard lock(m_mutex);
    return m_outputLog;
}

std::vector<BlowOffRecord> Machine::BlowOffs() const {
    std::lock_guard lock(m_mutex);
    return m_blowOffs;
}

std::vector<PartRecord> Machine::Picks() const {
    std::lock_guard lock(m_mutex);
    return m_picks;
}

std::vector<PartRecord> Machine::Placements() const {
    std::lock_guard lock(m_mutex);
    return m_places;
}

std::vector<DispenseRecord> Machine::Dispensed() const {
    std::lock_guard lock(m_mutex);
    return m_dots;
}

std::vector<FeedRecord> Machine::Feeds() const {
    std::lock_guard lock(m_mutex);
    return m_feeds;
}

std::vector<ConveyorRecord> Machine::ConveyorRuns() const {
    std::lock_guard lock(m_mutex);
    return m_conveyor;
}

std::map<int, std::int32_t> Machine::AxisLimits() const {
    std::lock_guard lock(m_mutex);
    return m_limits;
}

bool Machine::Holding(int nozzle) const {
    std::lock_guard lock(m_mutex);
    return nozzle >= 1 && nozzle <= 8 && m_holding[nozzle - 1];
}

int Machine::VacuumReading(int nozzle) const {
    std::lock_guard lock(m_mutex);
    return ReadingOf(nozzle);
}

int Machine::Camera() const {
    std::lock_guard lock(m_mutex);
    return m_camera;
}

int Machine::CameraValue() const {
    std::lock_guard lock(m_mutex);
    return m_cameraValue;
}

int Machine::SpeedGear() const {
    std::lock_guard lock(m_mutex);
    return m_gear;
}

std::uint8_t Machine::ZState() const {
    std::lock_guard lock(m_mutex);
    return ComputeZState();
}

std::pair<std::int32_t, std::int32_t> Machine::HostCounters() const {
    std::lock_guard lock(m_mutex);
    return {m_hostX, m_hostY};
}

void Machine::ClearRecords() {
    std::lock_guard lock(m_mutex);
    m_frames.clear();
    m_outputLog.clear();
    m_blowOffs.clear();
    m_picks.clear();
    m_places.clear();
    m_dots.clear();
    m_feeds.clear();
    m_conveyor.clear();
}

void Machine::SetHolding(int nozzle, bool holding) {
    std::lock_guard lock(m_mutex);
    if (nozzle >= 1 && nozzle <= 8) m_holding[nozzle - 1] = holding;
}

void Machine::SetVacuumOverride(int nozzle, int kpa) {
    std::lock_guard lock(m_mutex);
    if (nozzle >= 1 && nozzle <= 8) m_vacuumOverride[nozzle - 1] = kpa < 0 ? -1 : std::min(kpa, 255);
}

void Machine::SetZStateOverride(int bits) {
    std::lock_guard lock(m_mutex);
    m_zOverride = bits < 0 ? -1 : (bits & 0xFF);
}

void Machine::SetMeasuredHeight(std::int32_t pulses) {
    std::lock_guard lock(m_mutex);
    m_height = pulses;
}

void Machine::SetConveyorWidth(std::optional<std::int32_t> pulses) {
    std::lock_guard lock(m_mutex);
    m_conveyorWidth = pulses;
}

std::string Machine::PositionsText() const {
    std::lock_guard lock(m_mutex);
    std::string s = "x " + std::to_string(m_pos.x) + " y " + std::to_string(m_pos.y) + " x2 " +
                    std::to_string(m_pos.x2) + " y2 " + std::to_string(m_pos.y2);
    for (int i = 0; i < 8; ++i) s += " z" + std::to_string(i + 1) + " " + std::to_string(m_pos.z[i]);
    for (int i = 0; i < 8; ++i) s += " a" + std::to_string(i + 1) + " " + std::to_string(m_pos.a[i]);
    for (int i = 0; i < 3; ++i) s += " w" + std::to_string(i + 1) + " " + std::to_string(m_pos.walk[i]);
    s += " d1 " + std::to_string(m_pos.walk[3]);
    return s;
}

void Machine::SetBoardAtInput(bool present) {
    std::lock_guard lock(m_mutex);
    m_boardAtInput = present;
}

void Machine::SetJammedZone(int zone) {
    std::lock_guard lock(m_mutex);
    m_jammedZone = zone;
}

int Machine::BoardZone() const {
    std::lock_guard lock(m_mutex);
    return m_boardZone;
}

std::string Machine::StatusText() const {
    std::lock_guard lock(m_mutex);
    std::string s;
    char line[256];
    std::snprintf(line, sizeof line, "type %d  homed %d  X %d  Y %d  X2 %d  Y2 %d\n", m_type, m_homed ? 1 : 0,
                  m_pos.x, m_pos.y, m_pos.x2, m_pos.y2);
    s += line;
    s += "Z";
    for (int v : m_pos.z) s += " " + std::to_string(v);
    s += "\nA";
    for (int v : m_pos.a) s += " " + std::to_string(v);
    std::snprintf(line, sizeof line, "\nW1 %d  W2 %d  W3 %d  D1 %d  feed2 %d  L %d %d %d\n", m_pos.walk[0],
                  m_pos.walk[1], m_pos.walk[2], m_pos.walk[3], m_pos.feed2, m_pos.lift[0], m_pos.lift[1],
                  m_pos.lift[2]);
    s += line;
    s += "holding";
    for (int n = 0; n < 8; ++n) s += m_holding[n] ? " " + std::to_string(n + 1) : "";
    std::snprintf(line, sizeof line, "\ncamera %d (%d)  gear %d  Z state %02X\n", m_camera, m_cameraValue, m_gear,
                  ComputeZState());
    s += line;
    s += "outputs";
    for (const auto& [ch, v] : m_outputs) s += " " + std::to_string(ch) + "=" + std::to_string(v);
    std::snprintf(line, sizeof line, "\nboard zone %d  board at input %d", m_boardZone, m_boardAtInput ? 1 : 0);
    s += line;
    std::snprintf(line, sizeof line, "\nframes %zu  picks %zu  placements %zu  dots %zu\n", m_frames.size(),
                  m_picks.size(), m_places.size(), m_dots.size());
    s += line;
    return s;
}

} // namespace sim
