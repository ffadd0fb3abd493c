// What the pick and place step files share: the record's speed pairs, the head
// drives, the moves with the gate after them and small conversions.
#pragma once

#include <cstdint>

#include "base/globals.h"
#include "link/command_frames.h"
#include "run_state/nozzle_work.h"

namespace smt::steps {

// Offsets into the record's speed block (start at i, run at i + 1).
inline constexpr int kPickX = 0, kPickY = 2, kPickZ1 = 4, kPickZ2 = 6, kPickA = 8;
inline constexpr int kVisionPlaceX = 28, kVisionPlaceY = 30;
inline constexpr int kPlaceX = 36, kPlaceY = 38, kPlaceZ1 = 40, kPlaceZ2 = 42, kPlaceA = 44;

AxisSpeed Speed(const PlacementRecord& r, int at);

// Clamps a 64-bit pulse sum into 32 bits.
std::int32_t Clamp32(std::int64_t v);

// The Z drive of a head and the sign of its stroke; axis 0 when the machine
// type makes no stroke here (types 8 and 9, or a head outside its range).
struct HeadDrive {
    std::uint8_t axis = 0;
    int sign = 1;        // -1 for the second head of a shared drive
    int speedAt = kPickZ1;  // the pick speed pair of the drive (4 or 6)
};
HeadDrive DriveOfHead(int machineType, int head);

// Nozzle k's place correction in pulses (heads 1..8; none outside).
PulsePoint PlaceCorrection(int head);
// A point in mm as pulses of the live factors.
PulsePoint PulsesOf(double xMm, double yMm);

// A board point (mm from the board origin) as nozzle 1's position in pulses:
// the origin, and the board marks' correction when they are on (turned about
// Mark1 by the board rotation).
PulsePoint BoardPoint(double xMm, double yMm);

// The rotation targets as the moves send them.
std::array<std::int32_t, 8> RotationTargets();
void ClearRotationTargets();

// X/Y(/A) moves to an absolute target of nozzle 1, then the gate; false when the
// move failed or the run stopped.
bool MultiTo(PulsePoint target, AxisSpeed xSpeed, AxisSpeed ySpeed, AxisSpeed aSpeed, std::uint8_t flag,
             const std::array<std::int32_t, 8>& dA);
bool XYATo(PulsePoint target, AxisSpeed xSpeed, AxisSpeed ySpeed, std::uint8_t nozzle, std::uint8_t flags);

// The placement row's X and Y (cells 1, 2) in mm; false when the row is missing.
bool RowPosition(int row, double& x, double& y);

void SleepMs(int ms);
bool Serial();
// "Place header no select !" and the like in a topmost box; false.
bool Refuse(const char* text);

}  // namespace smt::steps
