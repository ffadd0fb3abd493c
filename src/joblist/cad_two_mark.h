// The two-mark calculator: from the taught marks, a taught component coordinate
// and the offsets found at both marks, the mark line's angle before and after and
// the corrected component coordinate.
#pragma once

#include <string>

namespace smt {

struct DoubleMarkTestConfig {
    double m_Origin_X = 0, m_Origin_Y = 0;
    double m_Mark1_X = 0, m_Mark1_Y = 0, m_Mark2_X = 0, m_Mark2_Y = 0;
    double m_Coordinate_X = 0, m_Coordinate_Y = 0;
    double m_SetMark1Offset_X = 0, m_SetMark1Offset_Y = 0, m_SetMark2Offset_X = 0, m_SetMark2Offset_Y = 0;
    double m_Mark2_Mark1_A_Old = 0, m_Mark2_Mark1_A_New = 0;
    double m_GetCoordinate_X = 0, m_GetCoordinate_Y = 0;
};
// [DoubleMarkTestConfig] of config.ini, "%0.4f".
void LoadDoubleMarkTestConfig(DoubleMarkTestConfig& config, const std::string& configPath);
bool SaveDoubleMarkTestConfig(const DoubleMarkTestConfig& config, const std::string& configPath);
DoubleMarkTestConfig& TheDoubleMarkTestConfig();

inline constexpr const char* kMarksTooCloseText = "Mark2 to Mark1 length is too short!!";

struct TwoMarkResult {
    bool tooShort = false;  // the marks lie closer than 5 mm: no result
    double angleOld = 0, angleNew = 0, x = 0, y = 0;
};
// The angle of (x, y) in degrees, between -90 and 90.
double MarkLineAngle(double x, double y);
TwoMarkResult RunTwoMarkTest(const DoubleMarkTestConfig& c);

} // namespace smt
