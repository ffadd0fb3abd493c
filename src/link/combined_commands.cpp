#include "link/combined_commands.h"

#include <algorithm>
#include <cstdlib>

#include "link/cmd_srv.h"
#include "link/command_common.h"
#include "link/exchange.h"
#include "link/link_lost.h"
#include "link/serial_frame.h"

namespace smt {

using namespace cmd;

namespace {

// The nozzle (1..8) whose rotation an A axis code names; 0 for any other drive.
int RotationDriveNozzle(std::uint8_t axis) {
    if (axis >= 4 && axis <= 7) return axis - 3;
    if (axis >= 0x28 && axis <= 0x2F) return axis - 0x27;
    return 0;
}

// The Ethernet-only commands refuse on the serial link: there is no frame for them.
bool ethernetOnly() {
    if (!UseSerial()) return true;
    Refuse(kNotOnThisLink);
    return false;
}

void bookXYA(std::int32_t dX, std::int32_t dY, const std::array<std::int32_t, 8>& dA) {
    g_PulseX += dX;
    g_PulseY += dY;
    for (int n = 0; n < 8; ++n) BookA(n + 1, dA[n]);
    ShowXY();
    ShowA1();
}

// A combined command's speed word: start code in the low byte, run code above it,
// the second drive's pair in the high half.
std::int32_t runCodeOf(std::int32_t word) { return (word >> 8) & 0xFF; }
std::int32_t secondRunCodeOf(std::int32_t word) { return (word >> 24) & 0xFF; }
std::int64_t far(std::int32_t dX, std::int32_t dY) {
    return std::max(std::llabs(std::int64_t{dX}), std::llabs(std::int64_t{dY}));
}
// One stroke down and up at the Z run code, with its delay at the bottom.
std::int64_t strokeMs(std::int32_t depth, std::int32_t zRun, std::int64_t delayMs) {
    return TravelMs(std::int64_t{depth} * 2, zRun) + std::max<std::int64_t>(delayMs, 0);
}
std::int32_t le32(const std::uint8_t* b) {
    return static_cast<std::int32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24);
}

// The eight-head forms: the caller books what moved.
bool strokeInPlace(std::uint16_t code, ReplyFamily family, const ByteVector& payload, const ReplyBound& bound) {
    if (!ethernetOnly() || !HeadsHomedOrRefuse()) return false;
    TraceLine(CommandCaption(code));
    if (family == ReplyFamily::Place) g_VacuumCheckOk = true;
    if (!ExchangeUdp(code, family, bound, payload)) return false;
    TraceEnd(code);
    return true;
}

// 0x74 and 0x77: a move to the part or board, the strokes, booked as an X/Y/A move.
bool moveWithStroke(std::uint16_t code, ReplyFamily family, std::int32_t dX, std::int32_t dY,
                    const std::array<std::int32_t, 8>& dA, const ByteVector& payload, const ReplyBound& bound) {
    if (!ethernetOnly()) return false;
    if (!CheckXY(static_cast<std::int64_t>(g_PulseX) + dX, static_cast<std::int64_t>(g_PulseY) + dY)) return false;
    if (!strokeInPlace(code, family, payload, bound)) return false;
    bookXYA(dX, dY, dA);
    return true;
}

}  // namespace

bool SendHomeAxesModel4(HomeModel4Speeds s) {
    std::int32_t* runs[] = {&s.xRun, &s.x2Run, &s.yRun, &s.y2Run};
    CapRunsTogether(runs, 4, CurrentMoveSpeedOptions());
    // Refused before the panel is disabled: no reply would enable it again.
    if (!UseSerial()) {
        Refuse(kNotOnThisLink);
        return false;
    }
    std::uint32_t drives = 0;
    if (s.xStart || s.xRun) drives |= homed::kX;
    if (s.x2Start || s.x2Run) drives |= homed::kX2;
    if (s.yStart || s.yRun) drives |= homed::kY;
    if (s.y2Start || s.y2Run) drives |= homed::kY2;
    if (s.zStart || s.zRun) drives |= homed::kRocker12;
    if (s.axis3Start || s.axis3Run) drives |= homed::kRocker34;
    if (s.z2Start || s.z2Run) drives |= homed::kRocker56;
    g_PanelLink.homedDrives = drives;
    return StartHoming(0x52, SerialHomeModel4(s), {});
}

bool MoveXY(XYMoveArgs m) {
    const std::int64_t x = g_PulseX, y = g_PulseY;
    if (!CheckXY(x + (m.xAxis == 0 ? m.dX : 0), y + (m.yAxis == 1 ? m.dY : 0))) return false;
    AdjustXYSpeeds(m.xSpeed, m.dX, m.ySpeed, m.dY);
    if (!HeadsHomedOrRefuse()) return false;
    TraceStart(0x53);
    if (!Exchange(0x53, ReplyFamily::MoveXY, MoveBound({{m.dX, m.xSpeed.run}, {m.dY, m.ySpeed.run}}), SerialXY(m),
                  UdpXY(m, static_cast<std::int32_t>(x), static_cast<std::int32_t>(y))))
        return false;
    TraceEnd(0x53);
    if (m.xAxis == 0) g_PulseX += m.dX;
    else if (m.xAxis == 9) g_PulseX2 += m.dX;
    if (m.yAxis == 1) g_PulseY += m.dY;
    else if (m.yAxis == 12) g_PulseY2 += m.dY;
    ShowXY();
    return true;
}

bool MoveXYWithRotation(XYRotationMove m) {
    const std::int64_t x = g_PulseX, y = g_PulseY;
    if (!CheckXY(x + m.dX, y + (m.yAxis == 1 ? m.dY : 0))) return false;
    if (!FitsSm16(m.dR)) {
        Refuse(kPulse32767);
        return false;
    }
    AdjustXYSpeeds(m.xSpeed, m.dX, m.ySpeed, m.dY);
    if (!HeadsHomed()) {
        if (LinkLost()) return RefuseOnLostLink(CommandCaption(0x54));
        Refuse(kHeadE3Error);
        g_ReplyEvents[ReplyFamily::MoveXYRotate].Set();
        return false;
    }
    if (!UseSerial()) {
        Refuse(kNotOnThisLink);
        return false;
    }
    if (!ExchangeSerial(ReplyFamily::MoveXYRotate,
                        MoveBound({{m.dX, m.xSpeed.run}, {m.dY, m.ySpeed.run}, {m.dR, 0}}), CommandCaption(0x54),
                        BuildSerialFrame(0x54, SerialXYRotation(m))))
        return false;
    CountCommand();
    g_PulseX += m.dX;
    if (m.yAxis == 12) g_PulseY2 += m.dY;
    else g_PulseY += m.dY;
    ShowXY();
    // The third drive turned the head named by its A axis code: booked like every
    // other move, so the counter says where the nozzle stands.
    if (const int nozzle = RotationDriveNozzle(m.r)) {
        BookA(nozzle, m.dR);
        ShowField(PositionField::A, g_PulseA[static_cast<std::size_t>(nozzle - 1)]);
    }
    return true;
}

bool DispenseStroke(const DispenseStrokeArgs& d) {
    TraceStart(0x58);
    const ReplyBound bound = MoveBound({{std::int64_t{d.depth} * 2, d.run}}, std::int64_t{d.t1} + d.t2 + d.t3);
    if (!Exchange(0x58, ReplyFamily::Dispense, bound, SerialDispense(d), UdpDispense(d))) return false;
    TraceEnd(0x58);
    return true;
}

bool SendCurrentXY() {
    if (!ethernetOnly()) return false;
    TraceLine("70->start");
    if (!ExchangeUdp(0x70, ReplyFamily::SingleAxis, QueryBound(), UdpCurrentXY(g_PulseX, g_PulseY)))
        return false;
    TraceEnd(0x70);
    return true;
}

bool MeasureHeight(const HeightMeasureArgs& h) {
    TraceLine("71->start");
    g_PanelLink.heightMeasured = false;
    // The measuring head goes down until it touches: how far is not known here.
    if (!Exchange(0x71, ReplyFamily::SingleAxis, BoundOfKind(WaitKind::Move), SerialHeight(h), UdpHeight(h)))
        return false;
    TraceEnd(0x71);
    return true;
}

bool SendResetHeads(const ResetHeadsPayload& p) {
    if (!ethernetOnly()) return false;
    std::uint32_t drives = (p.xStart ? homed::kX : 0) | (p.yStart ? homed::kY : 0);
    for (int h = 0; h < 8; ++h)
        if (p.zStart[h]) drives |= homed::Z(h + 1);
    g_PanelLink.homedDrives = drives;
    TraceLine(CommandCaption(0x72));
    if (GetMachineLink().SendCommand(0x72, UdpResetHeads(p)) != 0) {
        AppendCommTrace(SendFailedText(CommandCaption(0x72)), true);
        return false;
    }
    TraceEnd(0x72);
    return true;
}

bool MoveAndFly(const MoveAndFlyPayload& p, FlyFrames* frames) {
    if (frames) *frames = FlyFrames::Incomplete;
    if (!ethernetOnly()) return false;
    const std::int64_t x1 = static_cast<std::int64_t>(g_PulseX) + p.dX1;
    const std::int64_t y1 = static_cast<std::int64_t>(g_PulseY) + p.dY1;
    const std::int64_t x2 = x1 + p.dX2, x3 = x2 + p.dX3, y3 = y1 + p.dY3;
    if (!CheckXY(x1, y1) || !CheckXY(x2, y1) || !CheckXY(x3, y3)) return false;
    if (!HeadsHomedOrRefuse()) return false;
    TraceLine(CommandCaption(0x73));
    const auto& port = TheCommandPanel();
    plat::Event* frame = port.flyFrameEvent ? port.flyFrameEvent() : nullptr;
    if (frame) frame->Reset();
    // To the start, the fly-over (at the board's own fly speed) and to the end, one after another.
    std::int32_t run = 255;
    for (const std::int32_t c : {p.speedPair[1], p.secondPair[1]})
        if (c > 0) run = std::min(run, c);
    const std::int64_t legs = far(p.dX1, p.dY1) + far(p.dX3, p.dY3);
    const ReplyBound bound = MoveBound({}, TravelMs(legs, run) + TravelMs(p.dX2, 0));
    if (!ExchangeUdp(0x73, ReplyFamily::FlyCamera, bound, UdpMoveAndFly(p, g_PulseX, g_PulseY)))
        return false;
    // Answered is moved: booked before the frames are waited for.
    g_PulseX = static_cast<std::int32_t>(x3);
    g_PulseY = static_cast<std::int32_t>(y3);
    for (int n = 0; n < 8; ++n) BookA(n + 1, p.dA[n]);
    ShowXY();
    ShowA1();
    const FlyFrames got = AwaitFlyFrames(frame, CommandCaption(0x73), Transport::Ethernet);
    if (frames) *frames = got;
    TraceEnd(0x73);
    return true;
}

bool MoveAndPick74(const MoveAndPick74Payload& p) {
    // The feeder presents (its own time), the move, the stroke.
    const ReplyBound bound = MoveBound({{far(p.dX, p.dY), runCodeOf(p.w81)}},
                                       strokeMs(p.w72, secondRunCodeOf(p.w81), p.w76) + p.h6);
    return moveWithStroke(0x74, ReplyFamily::Pick, p.dX, p.dY, p.dA, UdpMoveAndPick74(p), bound);
}

bool MoveAndPick75(const MoveAndPick75Payload& p) {
    // Nozzle after nozzle: each one's move from the start (no shorter than from the
    // one before) and its stroke.
    std::int64_t motion = 0;
    for (std::size_t n = 0; n < 8; ++n) {
        if (p.zAxes[n] < 0x20 || p.zAxes[n] > 0x27) continue;
        motion += TravelMs(far(p.w57[n], p.w89[n]), runCodeOf(p.w210)) +
                  strokeMs(p.w178[n], secondRunCodeOf(p.w210), p.h218[n]) + p.h17[n];
    }
    return strokeInPlace(0x75, ReplyFamily::Pick, UdpMoveAndPick75(p), MoveBound({}, motion));
}

bool MoveAndPlace77(const MoveAndPlace77Payload& p) {
    const ReplyBound bound =
        MoveBound({{far(p.dX, p.dY), runCodeOf(p.w16)}}, strokeMs(p.w57, secondRunCodeOf(p.w16), p.w66));
    return moveWithStroke(0x77, ReplyFamily::Place, p.dX, p.dY, p.dA, UdpMoveAndPlace77(p), bound);
}

bool MoveAndPlace78(const MoveAndPlace78Payload& p) {
    if (!ethernetOnly()) return false;
    const auto payload = UdpMoveAndPlace78(p);
    if (!payload) {
        Refuse(kPulse24Bit);
        return false;
    }
    std::int64_t motion = 0;
    for (std::size_t n = 0; n < 8; ++n) {
        if (p.zAxes[n] < 0x20 || p.zAxes[n] > 0x27) continue;
        const std::int32_t depth = le32(&p.bytes170[4 * n]);
        const std::int64_t delay = p.bytes129[8 + 2 * n] | p.bytes129[9 + 2 * n] << 8;
        motion += TravelMs(far(p.w5[n], p.w37[n]), runCodeOf(p.w73)) + strokeMs(depth, secondRunCodeOf(p.w73), delay);
    }
    return strokeInPlace(0x78, ReplyFamily::Place, *payload, MoveBound({}, motion));
}

}  // namespace smt
