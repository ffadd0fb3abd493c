#include "machine_ops/origin_update.h"

#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "link/link_state.h"
#include "platform/profile.h"
#include "settings/section_keys.h"
#include "settings/rederive_hooks.h"

namespace smt {

namespace {

constexpr const char* kSection = "OriginUpdateConfig";
using O = OriginUpdateSettings;

// The offsets and the five update switches; the axis switches follow their own rule.
constexpr std::array<SectionKey<O>, 7> kKeys = {{
    {"m_OriginOffsetX", &O::m_OriginOffsetX, nullptr},
    {"m_OriginOffsetY", &O::m_OriginOffsetY, nullptr},
    {"m_UpdateCurrentFeed", nullptr, &O::m_UpdateCurrentFeed},
    {"m_UpdatePcbOrigin", nullptr, &O::m_UpdatePcbOrigin},
    {"m_UpdateCamera", nullptr, &O::m_UpdateCamera},
    {"m_UpdateNozzle", nullptr, &O::m_UpdateNozzle},
    {"m_UpdateThrow", nullptr, &O::m_UpdateThrow},
}};

constexpr std::array<const char*, 16> kAxisNames = {"X",  "Y",  "Z1", "Z2", "A1", "A2", "A3", "A4",
                                                    "W1", "W2", "W3", "L1", "L2", "L3", "D1", "D2"};

} // namespace

OriginUpdateSettings& TheOriginUpdate() {
    static OriginUpdateSettings o;
    return o;
}

const std::array<AxisSwitchKey, 16>& OriginAxisSwitches() {
    static const std::array<AxisSwitchKey, 16> keys = {{
        {"m_00_X", &O::m_00_X}, {"m_01_Y", &O::m_01_Y}, {"m_02_Z1", &O::m_02_Z1}, {"m_03_Z2", &O::m_03_Z2},
        {"m_04_A1", &O::m_04_A1}, {"m_05_A2", &O::m_05_A2}, {"m_06_A3", &O::m_06_A3}, {"m_07_A4", &O::m_07_A4},
        {"m_08_W1", &O::m_08_W1}, {"m_09_W2", &O::m_09_W2}, {"m_0A_W3", &O::m_0A_W3}, {"m_0B_L1", &O::m_0B_L1},
        {"m_0C_L2", &O::m_0C_L2}, {"m_0D_L3", &O::m_0D_L3}, {"m_0E_D1", &O::m_0E_D1}, {"m_0F_D2", &O::m_0F_D2},
    }};
    return keys;
}

std::uint8_t OriginZCheckMask(const OriginUpdateSettings& o, int machineType) {
    std::uint8_t mask = 0;
    if (machineType >= 0 && machineType <= 6) {
        if (o.m_02_Z1) mask |= 0x01;
        if (o.m_03_Z2) mask |= 0x02;
    } else if (machineType == 7) {
        // Switches 4..11 are the Z drives of nozzles 1..8 on this type.
        const auto& keys = OriginAxisSwitches();
        for (int bit = 0; bit < 8; ++bit)
            if (o.*keys[4 + bit].member) mask |= static_cast<std::uint8_t>(1u << bit);
    }
    return mask;
}

void LoadOriginUpdateConfig(OriginUpdateSettings& o, const std::string& configPath, int machineType) {
    LoadSectionKeys<O>(o, kSection, kKeys, configPath);
    for (const AxisSwitchKey& k : OriginAxisSwitches()) {
        const std::string text = plat::GetPrivateProfileString(kSection, k.key, "", 512, configPath);
        if (!text.empty()) o.*k.member = AtoI(text);
    }
    g_PanelLink.zCheckMask.fetch_or(OriginZCheckMask(o, machineType));
}

bool SaveOriginUpdateConfig(const OriginUpdateSettings& o, const std::string& configPath) {
    plat::ProfileBatch batch(configPath);  // the lengths and the switches in one write
    bool ok = SaveSectionKeys<O>(o, kSection, kKeys, configPath);
    for (const AxisSwitchKey& k : OriginAxisSwitches())
        ok = plat::WritePrivateProfileString(kSection, k.key, FormatInt(o.*k.member), configPath) && ok;
    return batch.Commit() && ok;
}

HomingAxisSwitches OriginHomingSwitches(const OriginUpdateSettings& o) {
    return {o.m_00_X,  o.m_01_Y,  o.m_02_Z1, o.m_03_Z2, o.m_04_A1, o.m_05_A2, o.m_06_A3, o.m_07_A4,
            o.m_08_W1, o.m_09_W2, o.m_0A_W3, o.m_0B_L1, o.m_0C_L2, o.m_0D_L3, o.m_0E_D1, o.m_0F_D2};
}

void InstallOriginHomingSwitches() {
    TheHomingPort().axisSwitches = [] { return OriginHomingSwitches(TheOriginUpdate()); };
}

DialogCaptions& TheOriginUpdateCaptions() {
    static DialogCaptions captions(kSection, {
        {"OriginUpdate.c_OriginUpdate", "原点坐标更新"},
        {"OriginUpdate.c_OriginOffsetX", "复位原点坐标偏移量X"},
        {"OriginUpdate.c_OriginOffsetY", "复位原点坐标偏移量Y"},
        {"OriginUpdate.c_UpdateCurrentFeed", "更新当前料架坐标"},
        {"OriginUpdate.c_UpdatePcbOrigin", "更新PCB原点坐标"},
        {"OriginUpdate.c_UpdateCamera", "更新相机坐标"},
        {"OriginUpdate.c_UpdateNozzle", "更新吸嘴库坐标"},
        {"OriginUpdate.c_UpdateThrow", "更新抛料坐标"},
        {"OriginUpdate.c_Enable", "使能"},
        {"OriginUpdate.c_IDOK", "确定"},
        {"OriginUpdate.c_IDCANCEL", "取消"},
    });
    return captions;
}

AxisSwitchCaption OriginAxisSwitchCaption(int index, int machineType) {
    AxisSwitchCaption c;
    if (index < 0 || index >= 16) return {"", false, false};
    if (machineType == 8) {
        c.keepResource = true;
        c.text = kAxisNames[index];
        return c;
    }
    if (machineType == 7) {
        if (index <= 1) c.text = kAxisNames[index];
        else if (index >= 4 && index <= 11) c.text = "Z" + std::to_string(index - 3);
        else c.text = kAxisNames[index];
        c.shown = index <= 1 || (index >= 4 && index <= 11);
        return c;
    }
    c.text = kAxisNames[index];
    // X, Y, Z1, Z2, W1, W2, W3.
    c.shown = index <= 3 || (index >= 8 && index <= 10);
    return c;
}

OriginShiftPort& TheOriginShiftPort() {
    static OriginShiftPort port;
    return port;
}

bool ConfirmOriginUpdate(const OriginUpdateSettings& o, BasicSettings& basic, const std::string& configPath,
                         int machineType, double xPulse, double yPulse,
                         const std::function<void(const std::string&, const std::string&)>& showThrow) {
    if (!SaveOriginUpdateConfig(o, configPath)) return false;
    const double dX = o.m_OriginOffsetX, dY = o.m_OriginOffsetY;
    const OriginShiftPort& port = TheOriginShiftPort();
    if (o.m_UpdateCurrentFeed && port.shiftFeedCoordinates) port.shiftFeedCoordinates(dX, dY);
    if (o.m_UpdatePcbOrigin && port.shiftPcbOrigin) port.shiftPcbOrigin(dX, dY);
    if (o.m_UpdateCamera) {
        if (const auto& shift = TheSettingsRederivations().applyOriginOffset) shift(dX, dY);
    }
    if (o.m_UpdateNozzle && port.shiftNozzleCoordinates) port.shiftNozzleCoordinates(dX, dY);
    if (o.m_UpdateThrow) {
        basic.m_X_ThrowPosition += dX;
        basic.m_Y_ThrowPosition += dY;
        if (showThrow) showThrow(FormatMm(basic.m_X_ThrowPosition), FormatMm(basic.m_Y_ThrowPosition));
        g_ThrowPositionPulses = {ToPulses(basic.m_X_ThrowPosition, xPulse),
                                 ToPulses(basic.m_Y_ThrowPosition, yPulse)};
    }
    g_PanelLink.zCheckMask.store(OriginZCheckMask(o, machineType));
    return true;
}

} // namespace smt
