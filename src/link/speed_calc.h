// Speed codes of the moves: the start code lowered with the length of the move,
// starts kept at 1 or more, and the run codes capped.
#pragma once

#include <cstdint>

namespace smt {

// The speed-template switches the moves read (copied from the live settings).
struct MoveSpeedOptions {
    bool optimizeFarSpeed = false;   // m_bOptimizeFarSpeed
    std::int32_t accelPercent = 100; // m_AccelSpeed
    bool maxSpeedLimit = false;      // m_bMaxSpeedLimit
    std::int32_t maxSpeed = 32;      // m_MaxSpeedLimitValue
};
MoveSpeedOptions CurrentMoveSpeedOptions();

struct AxisSpeed {
    std::int32_t start = 0;
    std::int32_t run = 0;
    friend bool operator==(const AxisSpeed&, const AxisSpeed&) = default;
};

// The start code of a move of |delta| over a travel `range` (the absolute limit
// in pulses): start - |delta| / range x (run - start) x accel / 100, truncated
// toward zero, when the optimisation is on and the range is not 0; then kept
// within 1 .. 255 (a code outside is clamped, never wrapped into the byte).
std::int32_t OptimisedStart(std::int32_t start, std::int32_t run, std::int32_t delta,
                            std::int32_t range, const MoveSpeedOptions& options);

// One axis of a single-axis move: X (axis 0) and Y (axis 1) get the optimised
// start; every axis gets the single cap of its run code.
AxisSpeed SingleAxisSpeed(AxisSpeed speed, bool xyAxis, std::int32_t delta, std::int32_t range,
                          const MoveSpeedOptions& options);

// X and Y of one move: both starts optimised, and when either run code is above
// the cap both become the cap.
void XYSpeeds(AxisSpeed& x, std::int32_t dX, std::int32_t rangeX, AxisSpeed& y, std::int32_t dY,
              std::int32_t rangeY, const MoveSpeedOptions& options);

// The joint cap alone (homing): when any of `runs` is above the cap, all become it.
void CapRunsTogether(std::int32_t* const* runs, int count, const MoveSpeedOptions& options);

}  // namespace smt
