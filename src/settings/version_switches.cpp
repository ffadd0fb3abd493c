#include "settings/version_switches.h"

#include <array>

#include "app/numtext.h"
#include "platform/profile.h"

namespace smt {

namespace {

constexpr const char* kSection = "CPUVersionNumberConfig";

struct SwitchKey {
    const char* key;
    int VersionSwitches::*member;
};

constexpr std::array<SwitchKey, 5> kKeys = {{
    {"m_V2_04", &VersionSwitches::m_V2_04},
    {"m_V2_05", &VersionSwitches::m_V2_05},
    {"m_V2_06", &VersionSwitches::m_V2_06},
    {"m_V2_07", &VersionSwitches::m_V2_07},
    {"m_Write_Logfile", &VersionSwitches::m_Write_Logfile},
}};

} // namespace

VersionSwitches& TheVersionSwitches() {
    static VersionSwitches switches;
    return switches;
}

void LoadCpuVersionConfig(VersionSwitches& switches, const std::string& configPath) {
    for (const SwitchKey& k : kKeys)
        switches.*k.member =
            AtoI(plat::GetPrivateProfileString(kSection, k.key, "获取配置失败", 512, configPath));
}

bool SaveCpuVersionConfig(const VersionSwitches& switches, const std::string& configPath) {
    bool ok = true;
    for (const SwitchKey& k : kKeys)
        ok = plat::WritePrivateProfileString(kSection, k.key, FormatInt(switches.*k.member),
                                             configPath) && ok;
    return ok;
}

DialogCaptions& TheVersionNumberCaptions() {
    static DialogCaptions captions(kSection, {
        {"VersionNumber.c_VersionNumber", "CPU 版本号"},
        {"VersionNumber.c_V2_04", "V2.04-CPU64代码加长3字"},
        {"VersionNumber.c_V2_05", "V2.05-CPU总复位检查传感器及电机"},
        {"VersionNumber.c_V2_06", "V2.06-CPU限位校对脉冲数据"},
        {"VersionNumber.c_V2_07", "V2.07-CL飞达送料次数"},
        {"VersionNumber.c_Write_Logfile", "写日志"},
    });
    return captions;
}

} // namespace smt
