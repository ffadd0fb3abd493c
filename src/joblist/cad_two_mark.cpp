#include "joblist/cad_two_mark.h"

#include <array>
#include <cmath>

#include "settings/section_keys.h"

namespace smt {

namespace {
using K = SectionKey<DoubleMarkTestConfig>;
using C = DoubleMarkTestConfig;
constexpr std::array<K, 16> kKeys{{
    {"m_Origin_X", &C::m_Origin_X, nullptr},
    {"m_Origin_Y", &C::m_Origin_Y, nullptr},
    {"m_Mark1_X", &C::m_Mark1_X, nullptr},
    {"m_Mark1_Y", &C::m_Mark1_Y, nullptr},
    {"m_Mark2_X", &C::m_Mark2_X, nullptr},
    {"m_Mark2_Y", &C::m_Mark2_Y, nullptr},
    {"m_Coordinate_X", &C::m_Coordinate_X, nullptr},
    {"m_Coordinate_Y", &C::m_Coordinate_Y, nullptr},
    {"m_SetMark1Offset_X", &C::m_SetMark1Offset_X, nullptr},
    {"m_SetMark1Offset_Y", &C::m_SetMark1Offset_Y, nullptr},
    {"m_SetMark2Offset_X", &C::m_SetMark2Offset_X, nullptr},
    {"m_SetMark2Offset_Y", &C::m_SetMark2Offset_Y, nullptr},
    {"m_Mark2_Mark1_A_Old", &C::m_Mark2_Mark1_A_Old, nullptr},
    {"m_Mark2_Mark1_A_New", &C::m_Mark2_Mark1_A_New, nullptr},
    {"m_GetCoordinate_X", &C::m_GetCoordinate_X, nullptr},
    {"m_GetCoordinate_Y", &C::m_GetCoordinate_Y, nullptr},
}};
constexpr const char* kSection = "DoubleMarkTestConfig";
constexpr double kPi = 3.141592653589793;

float Length(double dx, double dy) {
    const float fx = static_cast<float>(dx), fy = static_cast<float>(dy);
    const float sum = fy * fy + fx * fx;
    return std::sqrt(sum);
}
} // namespace

void LoadDoubleMarkTestConfig(DoubleMarkTestConfig& config, const std::string& configPath) {
    LoadSectionKeys<DoubleMarkTestConfig>(config, kSection, kKeys, configPath);
}

bool SaveDoubleMarkTestConfig(const DoubleMarkTestConfig& config, const std::string& configPath) {
    return SaveSectionKeys<DoubleMarkTestConfig>(config, kSection, kKeys, configPath);
}

DoubleMarkTestConfig& TheDoubleMarkTestConfig() {
    static DoubleMarkTestConfig config;
    return config;
}

double MarkLineAngle(double x, double y) {
    if (x == 0) return y == 0 ? 0 : 90;
    if (y == 0) return 0;
    return std::atan(y / x) * 180 / kPi;
}

TwoMarkResult RunTwoMarkTest(const DoubleMarkTestConfig& c) {
    TwoMarkResult out;
    const double dx = c.m_Coordinate_X - c.m_Mark1_X;
    const double dy = c.m_Coordinate_Y - c.m_Mark1_Y;
    const float r = Length(dx, dy);
    const double a0 = MarkLineAngle(dx, dy);
    const float length = Length(c.m_Mark2_X - c.m_Mark1_X, c.m_Mark2_Y - c.m_Mark1_Y);
    if (length < 5.0f) {
        out.tooShort = true;
        return out;
    }
    out.angleOld = MarkLineAngle(c.m_Mark2_X - c.m_Mark1_X, c.m_Mark2_Y - c.m_Mark1_Y);
    const double nx = (c.m_SetMark2Offset_X + c.m_Mark2_X) - (c.m_Mark1_X + c.m_SetMark1Offset_X);
    const double ny = (c.m_SetMark2Offset_Y + c.m_Mark2_Y) - (c.m_Mark1_Y + c.m_SetMark1Offset_Y);
    out.angleNew = MarkLineAngle(nx, ny);
    double delta = out.angleNew - out.angleOld;
    // Both angles lie in [-90, 90]: a line turning across the vertical would
    // otherwise come out 180 degrees away from its real turn.
    if (delta > 90) delta -= 180;
    else if (delta <= -90) delta += 180;
    if (delta == 0) {
        out.x = (c.m_SetMark1Offset_X + dx) + c.m_Mark1_X;
        out.y = (dy + c.m_SetMark1Offset_Y) + c.m_Mark1_Y;
        return out;
    }
    if (dx == 0 && dy == 0) {
        out.x = c.m_SetMark1Offset_X + c.m_Mark1_X;
        out.y = c.m_SetMark1Offset_Y + c.m_Mark1_Y;
        return out;
    }
    const double a = (delta + a0) * kPi / 180;
    const double u = std::cos(a) * r, v = std::sin(a) * r;
    const double s = (dx > 0 || (dx == 0 && dy > 0)) ? 1.0 : -1.0;
    out.x = (c.m_SetMark1Offset_X + s * u) + c.m_Mark1_X;
    out.y = (c.m_SetMark1Offset_Y + s * v) + c.m_Mark1_Y;
    return out;
}

} // namespace smt
