#include "settings/version_switches.h"

#include <array>

#include "base/numtext.h"
#include "settings/section_keys.h"

namespace smt {

namespace {

constexpr const char* kSection = "CPUVersionNumberConfig";

using V = VersionSwitches;
constexpr std::array<SectionKey<V>, 5> kKeys = {{
    {"m_V2_04", nullptr, &V::m_V2_04},
    {"m_V2_05", nullptr, &V::m_V2_05},
    {"m_V2_06", nullptr, &V::m_V2_06},
    {"m_V2_07", nullptr, &V::m_V2_07},
    {"m_Write_Logfile", nullptr, &V::m_Write_Logfile},
}};

} // namespace

VersionSwitches& TheVersionSwitches() {
    static VersionSwitches switches;
    return switches;
}

void LoadCpuVersionConfig(VersionSwitches& switches, const std::string& configPath) {
    LoadSectionKeys<V>(switches, kSection, kKeys, configPath);
}

bool SaveCpuVersionConfig(const VersionSwitches& switches, const std::string& configPath) {
    return SaveSectionKeys<V>(switches, kSection, kKeys, configPath);
}

DialogCaptions& TheVersionNumberCaptions() {
    static DialogCaptions captions(kSection, {
        {"VersionNumber.c_VersionNumber", "CPU 版本号"},
        {"VersionNumber.c_V2_04", "V2.04-CPU64代码加长3字"},
        {"VersionNumber.c_V2_05", "V2.05-CPU总复位检查传感器及电机"},
        {"VersionNumber.c_V2_06", "V2.06-CPU限位校对脉冲数据"},
        {"VersionNumber.c_V2_07", "V2.07-CL飞达送料次数"},
        {"VersionNumber.c_Write_Logfile", "写日志"},
        {"VersionNumber.c_IDOK", "确定"},
        {"VersionNumber.c_IDCANCEL", "取消"},
    });
    return captions;
}

} // namespace smt
