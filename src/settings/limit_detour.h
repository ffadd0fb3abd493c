// The position limit detour: two corners of the working area (south-west and
// south-east) that a straight X/Y move may not cross. A move that starts or ends
// inside a corner goes by way of the corner's detour Y. The feeder operations
// read the live values in place.
#pragma once

#include <cstdint>
#include <string>

#include "settings/dialog_captions.h"

namespace smt {

struct PositionLimitDetour {
    int m_W_S_PositionLimitPositionDetour = 0;  // south-west corner in use
    double m_W_S_LessPosition_dX = 0, m_W_S_LessPosition_dY = 0;
    double m_W_S_Detour_dX = 0, m_W_S_Detour_dY = 0;
    int m_E_S_PositionLimitPositionDetour = 0;  // south-east corner in use
    double m_E_S_LessPosition_dX = 0, m_E_S_LessPosition_dY = 0;
    double m_E_S_Detour_dX = 0, m_E_S_Detour_dY = 0;
    // Stored and edited only.
    double m_E_N_LessPosition_dX = 0, m_E_N_LessPosition_dY = 0;
    friend bool operator==(const PositionLimitDetour&, const PositionLimitDetour&) = default;
};

PositionLimitDetour& ThePositionLimitDetour();

// Section "PositionLimitDetourConfig"; a missing key reads as 0.
void LoadPositionLimitDetourConfig(PositionLimitDetour& d, const std::string& configPath);
// "%0.4f" lengths, "%d" switches; false when a write failed.
bool SavePositionLimitDetourConfig(const PositionLimitDetour& d, const std::string& configPath);

DialogCaptions& TheDetourCaptions();

// Where a position lies: in a corner or not, and that corner's detour Y in pulses.
struct CornerHit {
    bool inCorner = false;
    std::int32_t detourY = 0;
    friend bool operator==(const CornerHit&, const CornerHit&) = default;
};
// The corner test of one position in pulses (every limit = mm x factor truncated
// toward zero; the comparisons are strict; south-west wins over south-east).
CornerHit TestCorner(const PositionLimitDetour& d, double xPulse, double yPulse, std::int32_t x,
                     std::int32_t y);

struct DetourCheck {
    CornerHit current, target;
    friend bool operator==(const DetourCheck&, const DetourCheck&) = default;
};
DetourCheck CheckPositionLimitDetour(const PositionLimitDetour& d, double xPulse, double yPulse,
                                     std::int32_t currentX, std::int32_t currentY,
                                     std::int32_t targetX, std::int32_t targetY);

} // namespace smt
