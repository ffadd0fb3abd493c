#include "machine_ops/dipping_station.h"

#include <array>

#include "base/numtext.h"
#include "link/commands.h"
#include "settings/section_keys.h"

namespace smt {

namespace {

constexpr const char* kSection = "DippingStationConfig";

using D = DippingStationSettings;
constexpr std::array<SectionKey<D>, 8> kKeys = {{
    {"m_DippingStation", nullptr, &D::m_DippingStation},
    {"m_DippingStation_X", &D::m_DippingStation_X, nullptr},
    {"m_DippingStation_Y", &D::m_DippingStation_Y, nullptr},
    {"m_DippingStation_Z", &D::m_DippingStation_Z, nullptr},
    {"m_WaterFilmThickness", &D::m_WaterFilmThickness, nullptr},
    {"m_DippingStation_RunTime", nullptr, &D::m_DippingStation_RunTime},
    {"m_DippingStation_StopDelay", nullptr, &D::m_DippingStation_StopDelay},
    {"m_DippingStation_Delay", nullptr, &D::m_DippingStation_Delay},
}};

} // namespace

DippingStationSettings& TheDippingStation() {
    static DippingStationSettings d;
    return d;
}

void LoadDippingStationConfig(DippingStationSettings& d, const std::string& configPath) {
    LoadSectionKeys<D>(d, kSection, kKeys, configPath);
}

bool SaveDippingStationConfig(const DippingStationSettings& d, const std::string& configPath) {
    return SaveSectionKeys<D>(d, kSection, kKeys, configPath);
}

DialogCaptions& TheDippingStationCaptions() {
    static DialogCaptions captions(kSection, {
        {"DippingStation.c_DippingStationSet", "浸渍站设置"},
        {"DippingStation.c_DippingStation", "振动盘->浸渍站"},
        {"DippingStation.c_DippingStationControl", "操作浸渍站"},
        {"DippingStation.c_Head1ToDippingStation", "头1到浸渍站位置"},
        {"DippingStation.c_DippingStation_X", "坐标X"},
        {"DippingStation.c_DippingStation_Y", "坐标Y"},
        {"DippingStation.c_DippingStation_Z", "坐标Z"},
        {"DippingStation.c_WaterFilmThickness", "水膜厚度"},
        {"DippingStation.c_DippingStation_RunTime", "运行时间"},
        {"DippingStation.c_DippingStation_StopDelay", "停止延时"},
        {"DippingStation.c_DippingStation_Delay", "底部延时"},
        {"DippingStation.c_IDOK", "确定"},
        {"DippingStation.c_IDCANCEL", "取消"},
    });
    return captions;
}

std::string DippingTeachText(DippingAxis axis, const PositionSnapshot& pos, double xPulse, double yPulse,
                             double zPulse) {
    switch (axis) {
    case DippingAxis::X: return TeachValue(pos.x, xPulse);
    case DippingAxis::Y: return TeachValue(pos.y, yPulse);
    case DippingAxis::Z: return TeachValue(pos.z[0], zPulse);
    }
    return "0.0000";
}

DippingOutputPort& TheDippingOutputPort() {
    static DippingOutputPort port;
    return port;
}

DippingOutputToggle& TheDippingOutputToggle() {
    static DippingOutputToggle toggle;
    return toggle;
}

int DippingOutputToggle::Press(int machineType) {
    m_on = !m_on;
    const int value = m_on ? 1 : 0;
    if (machineType == 7) return value;
    const OutputSwitch out{kDippingOutputChannel, static_cast<std::uint8_t>(value), 5};
    if (const auto& set = TheDippingOutputPort().setOutput) set(out);
    else SetOutput(out);
    return value;
}

bool StartHeadToDippingStation() { return StartFeedOperation(kFeedOpHeadToDipping); }
bool StartDippingStationMeasurement() { return StartFeedOperation(kFeedOpDippingHeight); }

PostedFieldSink& DippingZSink() {
    static PostedFieldSink sink;
    return sink;
}

double StoreDippingStationHeight(DippingStationSettings& d, const BasicSettings& basic, double heightMm) {
    double z = heightMm - (basic.m_Z_Measurement - basic.m_Z_Nozzle1ToPCBHeight);
    if (z != 0) z += d.m_WaterFilmThickness;
    d.m_DippingStation_Z = z;
    if (z != 0) DippingZSink().Post(FormatMm(z));
    return z;
}

} // namespace smt
