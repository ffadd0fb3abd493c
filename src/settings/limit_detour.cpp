#include "settings/limit_detour.h"

#include <array>

#include "base/numtext.h"
#include "settings/section_keys.h"

namespace smt {

namespace {

constexpr const char* kSection = "PositionLimitDetourConfig";
using D = PositionLimitDetour;
constexpr std::array<SectionKey<D>, 12> kKeys = {{
    {"m_W_S_PositionLimitPositionDetour", nullptr, &D::m_W_S_PositionLimitPositionDetour},
    {"m_W_S_LessPosition_dX", &D::m_W_S_LessPosition_dX, nullptr},
    {"m_W_S_LessPosition_dY", &D::m_W_S_LessPosition_dY, nullptr},
    {"m_W_S_Detour_dX", &D::m_W_S_Detour_dX, nullptr},
    {"m_W_S_Detour_dY", &D::m_W_S_Detour_dY, nullptr},
    {"m_E_S_PositionLimitPositionDetour", nullptr, &D::m_E_S_PositionLimitPositionDetour},
    {"m_E_S_LessPosition_dX", &D::m_E_S_LessPosition_dX, nullptr},
    {"m_E_S_LessPosition_dY", &D::m_E_S_LessPosition_dY, nullptr},
    {"m_E_S_Detour_dX", &D::m_E_S_Detour_dX, nullptr},
    {"m_E_S_Detour_dY", &D::m_E_S_Detour_dY, nullptr},
    {"m_E_N_LessPosition_dX", &D::m_E_N_LessPosition_dX, nullptr},
    {"m_E_N_LessPosition_dY", &D::m_E_N_LessPosition_dY, nullptr},
}};

} // namespace

PositionLimitDetour& ThePositionLimitDetour() {
    static PositionLimitDetour d;
    return d;
}

void LoadPositionLimitDetourConfig(PositionLimitDetour& d, const std::string& configPath) {
    LoadSectionKeys<D>(d, kSection, kKeys, configPath);
}

bool SavePositionLimitDetourConfig(const PositionLimitDetour& d, const std::string& configPath) {
    return SaveSectionKeys<D>(d, kSection, kKeys, configPath);
}

DialogCaptions& TheDetourCaptions() {
    static DialogCaptions captions(kSection, {
        {"PositionLimitDetour.c_PositionLimitDetour", "位置受限绕行"},
        {"PositionLimitDetour.c_W_S_PositionLimitDetour", "西南位置受限绕行"},
        {"PositionLimitDetour.c_E_S_PositionLimitDetour", "东南位置受限绕行"},
        {"PositionLimitDetour.c_E_N_PositionLimitDetour", "东北位置受限绕行"},
        {"PositionLimitDetour.c_DetourPosition_X", "绕行坐标X"},
        {"PositionLimitDetour.c_DetourPosition_Y", "绕行坐标Y"},
        {"PositionLimitDetour.c_IDOK", "确定"},
        {"PositionLimitDetour.c_IDCANCEL", "取消"},
    });
    return captions;
}

CornerHit TestCorner(const PositionLimitDetour& d, double xPulse, double yPulse, std::int32_t x,
                     std::int32_t y) {
    if (d.m_W_S_PositionLimitPositionDetour && x < ToPulses(d.m_W_S_LessPosition_dX, xPulse) &&
        y < ToPulses(d.m_W_S_LessPosition_dY, yPulse))
        return {true, ToPulses(d.m_W_S_Detour_dY, yPulse)};
    if (d.m_E_S_PositionLimitPositionDetour && x > ToPulses(d.m_E_S_LessPosition_dX, xPulse) &&
        y < ToPulses(d.m_E_S_LessPosition_dY, yPulse))
        return {true, ToPulses(d.m_E_S_Detour_dY, yPulse)};
    return {};
}

DetourCheck CheckPositionLimitDetour(const PositionLimitDetour& d, double xPulse, double yPulse,
                                     std::int32_t currentX, std::int32_t currentY,
                                     std::int32_t targetX, std::int32_t targetY) {
    return {TestCorner(d, xPulse, yPulse, currentX, currentY),
            TestCorner(d, xPulse, yPulse, targetX, targetY)};
}

} // namespace smt
