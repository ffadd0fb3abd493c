// The bytes of every machine command, apart from sending: the data bytes of the
// serial frame (BuildSerialFrame adds start, length, code, sum and tail) and the
// Ethernet payload. Every field is written by an explicit writer in its order;
// arguments come in structs with named fields so that no caller can swap X and Y.
//
// Serial numbers are big-endian (s-m = sign and magnitude), Ethernet numbers
// little-endian two's complement; speed codes, axis codes and flags go as the low
// byte where the field is one byte.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "link/speed_calc.h"

namespace smt {

using ByteVector = std::vector<std::uint8_t>;

// A sign-and-magnitude 16-bit field holds magnitudes up to this.
inline constexpr std::int32_t kSm16Max = 32767;
bool FitsSm16(std::int32_t value);

// ---- arguments -------------------------------------------------------------

// 0x02: (start, run) per homed drive; a pair of zeros leaves the drive unhomed.
// Slots in frame order by meaning: X, Y, Z1 (rocker of nozzles 1-2), Z2 (rocker
// of nozzles 3-4, with the third rocker on type 6), west, north and east walk.
struct HomeAxesSpeeds {
    AxisSpeed x, y, z1, z2;
    AxisSpeed westWalk, northWalk, eastWalk;
};

// 0x52, the double-table type: the X2, Y2 and second Z values use the X, Y and Z
// speeds; zeros for a drive that is not homed.
struct HomeModel4Speeds {
    std::int32_t xStart = 0, xRun = 0, x2Start = 0, x2Run = 0;
    std::int32_t yStart = 0, y2Start = 0, yRun = 0, y2Run = 0;
    std::int32_t zStart = 0, zRun = 0, axis3Start = 0, axis3Run = 0;
    std::int32_t z2Start = 0, z2Run = 0;
};

struct OutputSwitch {
    std::uint8_t channel = 0;
    std::uint8_t value = 0;
    std::uint16_t extra = 5;  // Ethernet only
};

struct SingleAxisMove {  // 0x61
    std::uint8_t axis = 0;
    std::int32_t delta = 0;
    AxisSpeed speed;
};

struct ConveyorRun {  // 0x62
    std::uint8_t zone = 1;
    std::uint8_t flag1 = 0, flag2 = 0, flag3 = 0;
    std::int32_t belt1 = 0, belt2 = 0, belt3 = 0;  // L1, L2, L3 pulses
    std::int32_t start = 0, run = 0;               // b4, b5
    std::uint16_t waitTimeOut = 0;                 // m_WaitTimeOut, Ethernet only
};

struct FlyCameraMove {  // 0x63
    std::int32_t dX = 0;
    std::int32_t frames = 0;    // a: head count, one frame per nozzle
    std::int32_t cameraB = 0;   // b, c: values of the vision camera's settings
    std::int32_t cameraC = 0;
    std::array<std::int32_t, 12> triggers{};
};

// X and Y of one move with their speed codes.
struct XYDelta {
    std::int32_t dX = 0;
    AxisSpeed xSpeed;
    std::int32_t dY = 0;
    AxisSpeed ySpeed;
};

struct XYAMove {  // 0x64
    XYDelta xy;
    std::uint8_t nozzle = 1;  // 1..8
    std::int32_t dA = 0;
    std::int32_t p = 0, q = 0;
    std::uint8_t flags = 0;   // bit 7: the heads must be homed
};

struct XYAMultiMove {  // 0x65
    XYDelta xy;
    std::array<std::int32_t, 8> dA{};
    AxisSpeed aSpeed;
    std::uint8_t flag = 0;
};

struct FeederFeed {  // 0x56 (variant != 0) / 0x66
    std::uint8_t variant = 0;
    std::uint8_t drive = 3;  // 1, 2, 3 the walks W1..W3, 10 a plain 32-bit drive
    std::int32_t pulses = 0;
    std::int32_t a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
    std::uint16_t g = 0;
    std::uint8_t h = 0, i = 0;
};

struct PickStrokeArgs {  // 0x67
    std::uint8_t axis = 2;
    std::int32_t depth = 0;
    AxisSpeed speed;
    std::uint8_t k = 1;          // serial only
    std::uint16_t delay = 100;
    std::uint8_t f = 0;
};

struct PlaceStrokeArgs {  // 0x68
    std::uint8_t axis = 2;
    std::int32_t depth = 0;
    AxisSpeed speed;
    std::int32_t w = 0;          // sent as |w|
    std::uint16_t delay = 200;
    std::int32_t threshold = 0;  // vacuum threshold, kPa
    std::uint8_t exhaust = 5;    // m_Exhaust, Ethernet only
};

struct XYMoveArgs {  // 0x53
    std::uint8_t xAxis = 0;  // 0 X, 9 X2
    std::int32_t dX = 0;
    AxisSpeed xSpeed;
    std::uint8_t yAxis = 1;  // 1 Y, 12 Y2
    std::int32_t dY = 0;
    AxisSpeed ySpeed;
};

struct XYRotationMove {  // 0x54, serial only; X is always axis 0
    std::int32_t dX = 0;
    AxisSpeed xSpeed;
    std::uint8_t yAxis = 1;  // 1 Y, 12 Y2
    std::int32_t dY = 0;
    AxisSpeed ySpeed;
    std::uint8_t r = 0;      // the third drive: a head's A axis code (4..7, 0x28..0x2F)
    std::int32_t dR = 0;
    std::int32_t p = 0, q = 0;
};

struct DispenseStrokeArgs {  // 0x58
    std::uint8_t axis = 10;
    std::int32_t depth = 0;
    std::int32_t start = 0, run = 0;   // p, q
    std::uint8_t kind = 5;             // r
    std::int32_t a = 0, b = 0;         // sent as their absolute values
    std::uint16_t t1 = 0, t2 = 0, t3 = 0;  // t3 Ethernet only
};

struct HeightMeasureArgs {  // 0x71
    std::int32_t v = 0;
    std::int32_t a = 0, b = 0;
};

// ---- payloads the run (and the homing) prepare for the Ethernet-only commands ----
// Fields without a known meaning are named by their byte offset.

struct ResetHeadsPayload {  // 0x72, 48 bytes
    std::int32_t xStart = 0, yStart = 0, xyRun = 0;
    std::array<std::int32_t, 8> zStart{};  // 0 for a nozzle not homed
    std::int32_t zRun = 0;
};

struct MoveAndFlyPayload {  // 0x73, 130 bytes; current X and Y come from the counters
    std::int32_t dX1 = 0, dY1 = 0;                    // to the start point
    std::array<std::int32_t, 2> speedPair{};          // at 17 and again at 122
    std::array<std::int32_t, 8> dA{};
    std::array<std::int32_t, 2> secondPair{};         // at 58
    std::uint8_t frames = 1;                          // g_HeadCount
    std::int32_t dX2 = 0;                             // the fly-over
    std::int32_t cameraB = 0, cameraC = 0;
    std::array<std::int32_t, 8> triggers{};
    std::int32_t dX3 = 0, dY3 = 0;                    // to the end point
};

struct MoveAndPick74Payload {  // 96 bytes
    std::uint8_t nozzleOrDrive = 0;  // 0
    std::uint8_t axisCode = 0x0A;    // 1
    std::int32_t nozzleMask = 0;     // 2: bit n picks with nozzle n+1
    std::uint16_t h6 = 0;
    std::int32_t w8 = 0;
    std::uint16_t h12 = 0;
    std::uint8_t b14 = 0;
    std::int32_t w15 = 0;
    std::int32_t dX = 0;             // 19
    std::int32_t w23 = 0;
    std::int32_t dY = 0;             // 27
    std::int32_t w31 = 0, w35 = 0;
    std::array<std::int32_t, 8> dA{};  // 40
    std::int32_t w72 = 0, w76 = 0;
    std::int32_t w81 = 0, w85 = 0, w89 = 0;
    std::uint16_t h93 = 0;
    std::uint8_t b95 = 0;
};

struct MoveAndPick75Payload {  // 234 bytes
    std::array<std::uint8_t, 8> drives{};     // 1: 0x0A or the nozzle's drive
    std::array<std::uint8_t, 8> b9{};
    std::array<std::uint16_t, 8> h17{}, h33{};
    std::int32_t w49 = 0, w53 = 0;
    std::array<std::int32_t, 8> w57{}, w89{};
    std::int32_t w121 = 0, w125 = 0;
    std::array<std::int32_t, 10> w130{};
    std::array<std::uint8_t, 8> zAxes{0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27};  // 170
    std::array<std::int32_t, 8> w178{};
    std::int32_t w210 = 0, w214 = 0;
    std::array<std::uint16_t, 8> h218{};
};

struct MoveAndPlace77Payload {  // 86 bytes
    std::int32_t w0 = 0;
    std::int32_t dX = 0;  // 4
    std::int32_t w8 = 0;
    std::int32_t dY = 0;  // 12
    std::int32_t w16 = 0, w20 = 0;
    std::array<std::int32_t, 8> dA{};  // 25
    std::int32_t w57 = 0, w61 = 0;
    std::uint8_t zAxis = 0x20;  // 65: the Z axis code of the placing nozzle
    std::int32_t w66 = 0, w70 = 0, w74 = 0, w78 = 0;
    std::uint8_t b82 = 0;
    std::uint16_t h83 = 0;
    std::uint8_t b85 = 0;
};

// Byte 121 begins the Z axis codes, so the field at 118 keeps three bytes: it
// must lie within kWord118Min .. kWord118Max (see docs/architecture.md).
struct MoveAndPlace78Payload {  // 234 bytes
    static constexpr std::int32_t kWord118Min = -(1 << 23);
    static constexpr std::int32_t kWord118Max = (1 << 23) - 1;
    std::uint8_t b0 = 0;
    std::int32_t w1 = 0;
    std::array<std::int32_t, 8> w5{}, w37{};
    std::int32_t w69 = 0, w73 = 0, w77 = 0;
    std::array<std::int32_t, 9> w82{};
    std::int32_t w118 = 0;
    std::array<std::uint8_t, 8> zAxes{0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27};  // 121
    std::array<std::uint8_t, 33> bytes129{};  // per-nozzle values 129..161
    std::int32_t w162 = 0, w166 = 0;
    std::array<std::uint8_t, 64> bytes170{};  // per-nozzle values 170..233
};

// ---- serial data bytes (without start, length, code, sum and tail) ----

ByteVector SerialAxisLimit(std::uint8_t axis, std::int32_t limit);
ByteVector SerialHomeAxes(const HomeAxesSpeeds& s);
ByteVector SerialHomeModel4(const HomeModel4Speeds& s);
ByteVector SerialOutput(const OutputSwitch& o);
ByteVector SerialCamera(std::uint8_t camera, std::uint8_t value);
ByteVector SerialVacuum(std::uint8_t nozzle);
ByteVector SerialSpeedGear(std::uint8_t mode);
ByteVector SerialSingleAxis(const SingleAxisMove& m);
ByteVector SerialConveyor(const ConveyorRun& c);
ByteVector SerialFlyCamera(const FlyCameraMove& m);
// 14 data bytes with 16-bit X/Y fields, or 18 with 32-bit ones (`wide`).
ByteVector SerialXYA(const XYAMove& m, bool wide);
ByteVector SerialXYAMulti(const XYAMultiMove& m);
ByteVector SerialFeed(const FeederFeed& f);  // includes the code byte's data only
ByteVector SerialPick(const PickStrokeArgs& p);
ByteVector SerialPlace(const PlaceStrokeArgs& p);
ByteVector SerialXY(const XYMoveArgs& m);
ByteVector SerialXYRotation(const XYRotationMove& m);
ByteVector SerialDispense(const DispenseStrokeArgs& d);
ByteVector SerialHeight(const HeightMeasureArgs& h);

std::uint8_t FeedCode(const FeederFeed& f);  // 0x56 or 0x66

// ---- Ethernet payloads; `current*` are the host's counters sent along ----

ByteVector UdpAxisLimit(std::uint8_t axis, std::int32_t limit);
ByteVector UdpHomeAxes(const HomeAxesSpeeds& s);
ByteVector UdpOutput(const OutputSwitch& o);
ByteVector UdpCamera(std::uint8_t camera, std::uint8_t value);
ByteVector UdpVacuum(std::uint8_t nozzle);
ByteVector UdpSpeedGear(std::uint8_t mode, std::uint8_t second);
ByteVector UdpSingleAxis(const SingleAxisMove& m, std::int32_t currentCounter);
ByteVector UdpConveyor(const ConveyorRun& c);
ByteVector UdpFlyCamera(const FlyCameraMove& m, std::int32_t currentX);
ByteVector UdpXYA(const XYAMove& m, std::int32_t currentX, std::int32_t currentY);
ByteVector UdpXYAMulti(const XYAMultiMove& m, std::int32_t currentX, std::int32_t currentY);
ByteVector UdpFeed(const FeederFeed& f, std::int32_t currentWalk);
ByteVector UdpPick(const PickStrokeArgs& p);
ByteVector UdpPlace(const PlaceStrokeArgs& p);
ByteVector UdpXY(const XYMoveArgs& m, std::int32_t currentX, std::int32_t currentY);
ByteVector UdpDispense(const DispenseStrokeArgs& d);
ByteVector UdpCurrentXY(std::int32_t x, std::int32_t y);
ByteVector UdpHeight(const HeightMeasureArgs& h);
ByteVector UdpResetHeads(const ResetHeadsPayload& p);
ByteVector UdpMoveAndFly(const MoveAndFlyPayload& p, std::int32_t currentX, std::int32_t currentY);
ByteVector UdpMoveAndPick74(const MoveAndPick74Payload& p);
ByteVector UdpMoveAndPick75(const MoveAndPick75Payload& p);
ByteVector UdpMoveAndPlace77(const MoveAndPlace77Payload& p);
// Nothing when the field at 118 does not fit its three bytes.
std::optional<ByteVector> UdpMoveAndPlace78(const MoveAndPlace78Payload& p);

}  // namespace smt
