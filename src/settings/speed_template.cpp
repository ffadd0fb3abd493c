#include "settings/speed_template.h"

#include <mutex>
#include <utility>

#include "base/numtext.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace smt {

namespace {

constexpr const char* kSettingsSection = "SpeedTemplateConfig";
constexpr const char* kReadFailed = "获取配置失败";
constexpr std::size_t kSettingsBuffer = 512;
constexpr std::size_t kTypeBuffer = 256;  // the seven type sections use the smaller buffer

using SettingField = std::int32_t SpeedTemplateSettings::*;
struct SettingInfo {
    const char* key;
    SettingField field;
};

constexpr SettingInfo kSettings[kSpeedSettingCount] = {
    {"m_SpeedMenuCheck", &SpeedTemplateSettings::m_SpeedMenuCheck},
    {"m_MediumSpeedZoom", &SpeedTemplateSettings::m_MediumSpeedZoom},
    {"m_LowSpeedZoom", &SpeedTemplateSettings::m_LowSpeedZoom},
    {"m_bModifyResetSpeed", &SpeedTemplateSettings::m_bModifyResetSpeed},
    {"m_ChangeResetSpeed", &SpeedTemplateSettings::m_ChangeResetSpeed},
    {"m_bOptimizeFarSpeed", &SpeedTemplateSettings::m_bOptimizeFarSpeed},
    {"m_AccelSpeed", &SpeedTemplateSettings::m_AccelSpeed},
    {"m_bMaxSpeedLimit", &SpeedTemplateSettings::m_bMaxSpeedLimit},
    {"m_MaxSpeedLimitValue", &SpeedTemplateSettings::m_MaxSpeedLimitValue},
    {"m_XY_RunFast", &SpeedTemplateSettings::m_XY_RunFast},
    {"m_XY_RunMedium", &SpeedTemplateSettings::m_XY_RunMedium},
    {"m_XY_RunSlow", &SpeedTemplateSettings::m_XY_RunSlow},
    {"m_XY_RunFine", &SpeedTemplateSettings::m_XY_RunFine},
    {"m_Z_RunFast", &SpeedTemplateSettings::m_Z_RunFast},
    {"m_Z_RunMedium", &SpeedTemplateSettings::m_Z_RunMedium},
    {"m_Z_RunSlow", &SpeedTemplateSettings::m_Z_RunSlow},
    {"m_Z_RunFine", &SpeedTemplateSettings::m_Z_RunFine},
    {"m_A_RunFast", &SpeedTemplateSettings::m_A_RunFast},
    {"m_A_RunMedium", &SpeedTemplateSettings::m_A_RunMedium},
    {"m_A_RunSlow", &SpeedTemplateSettings::m_A_RunSlow},
    {"m_A_RunFine", &SpeedTemplateSettings::m_A_RunFine},
    {"m_Feed_RunFast", &SpeedTemplateSettings::m_Feed_RunFast},
    {"m_Feed_RunMedium", &SpeedTemplateSettings::m_Feed_RunMedium},
    {"m_Feed_RunSlow", &SpeedTemplateSettings::m_Feed_RunSlow},
    {"m_Feed_RunFine", &SpeedTemplateSettings::m_Feed_RunFine},
    {"m_S_RunFast", &SpeedTemplateSettings::m_S_RunFast},
    {"m_S_RunMedium", &SpeedTemplateSettings::m_S_RunMedium},
    {"m_S_RunSlow", &SpeedTemplateSettings::m_S_RunSlow},
    {"m_S_RunFine", &SpeedTemplateSettings::m_S_RunFine},
};

constexpr int kFirstJogSetting = 9;  // m_XY_RunFast

std::string TypeSection(const std::string& typeName) { return typeName + "Config"; }
std::string StartKey(const std::string& typeName, int drive) {
    return typeName + ".m_Start_" + SpeedDriveKey(drive);
}
std::string RunKey(const std::string& typeName, int drive) {
    return typeName + ".m_Normal_" + SpeedDriveKey(drive);
}

} // namespace

int SpeedTemplateSettings::ActiveClass() const {
    return m_SpeedMenuCheck >= 1 && m_SpeedMenuCheck <= 3 ? m_SpeedMenuCheck : 1;
}

const char* SpeedSettingKey(int index) {
    return index >= 0 && index < kSpeedSettingCount ? kSettings[index].key : "";
}

std::int32_t& SpeedSettingField(SpeedTemplateSettings& settings, int index) {
    return settings.*kSettings[index >= 0 && index < kSpeedSettingCount ? index : 0].field;
}

std::int32_t SpeedSettingField(const SpeedTemplateSettings& settings, int index) {
    return index >= 0 && index < kSpeedSettingCount ? settings.*kSettings[index].field : 0;
}

std::int32_t& JogStepField(SpeedTemplateSettings& settings, int gear, JogGroup group) {
    if (gear < 0 || gear >= kSpeedGearCount) gear = 0;
    return SpeedSettingField(settings, kFirstJogSetting + static_cast<int>(group) * kSpeedGearCount + gear);
}

std::int32_t JogStep(const SpeedTemplateSettings& settings, int gear, JogGroup group) {
    SpeedTemplateSettings copy = settings;
    return JogStepField(copy, gear, group);
}

std::string SpeedConfigPath(const std::string& startFolder) { return plat::JoinPath(startFolder, "config.ini"); }

SpeedTemplateSettings LoadSpeedTemplateConfig(const std::string& startFolder) {
    const std::string path = SpeedConfigPath(startFolder);
    SpeedTemplateSettings s;
    for (const auto& info : kSettings) {
        s.*info.field =
            AtoI(plat::GetPrivateProfileString(kSettingsSection, info.key, kReadFailed, kSettingsBuffer, path));
    }
    // A fresh config has no active class, and a refused confirmation could once
    // store 0: readers index the classes with it, so anything but 1..3 is high.
    s.m_SpeedMenuCheck = s.ActiveClass();
    if (s.m_AccelSpeed == 0) s.m_AccelSpeed = 100;
    if (s.m_MaxSpeedLimitValue <= 0) s.m_MaxSpeedLimitValue = 32;
    for (int i = kFirstJogSetting; i < kSpeedSettingCount; ++i) {
        std::int32_t& jog = SpeedSettingField(s, i);
        if (jog == 0) jog = 1;
    }
    if (s.m_LowSpeedZoom == 0) s.m_LowSpeedZoom = 1;
    if (s.m_MediumSpeedZoom == 0) s.m_MediumSpeedZoom = 1;
    return s;
}

bool SaveSpeedTemplateConfig(const std::string& startFolder, const SpeedTemplateSettings& settings) {
    const std::string path = SpeedConfigPath(startFolder);
    plat::ProfileBatch batch(path);
    bool ok = true;
    for (const auto& info : kSettings) {
        ok = plat::WritePrivateProfileString(kSettingsSection, info.key, FormatInt(settings.*info.field), path) && ok;
    }
    return batch.Commit() && ok;
}

SpeedTypeTable LoadSpeedTypeConfig(const std::string& startFolder, const std::string& typeName) {
    const std::string path = SpeedConfigPath(startFolder);
    const std::string section = TypeSection(typeName);
    SpeedTypeTable table;
    for (int d = 0; d < kSpeedDriveCount; ++d) {
        const std::string start =
            plat::GetPrivateProfileString(section, StartKey(typeName, d), kReadFailed, kTypeBuffer, path);
        const std::string run =
            plat::GetPrivateProfileString(section, RunKey(typeName, d), kReadFailed, kTypeBuffer, path);
        table.SetPair(d, {AtoI(start), AtoI(run)});
    }
    return table;
}

DeriveResult SaveSpeedTypeConfig(const std::string& startFolder, const std::string& templateName,
                                 const std::string& typeName,
                                 const std::vector<SpeedTemplateRow>& classRows, SpeedTypeTable& table) {
    const SpeedTemplateRow* found = nullptr;
    for (const auto& row : classRows) {
        if (row[0] == templateName) {
            found = &row;
            break;
        }
    }
    if (!found) return DeriveResult::NameNotFound;

    const std::string path = SpeedConfigPath(startFolder);
    const std::string section = TypeSection(typeName);
    plat::ProfileBatch batch(path);
    bool ok = true;
    for (int d = 0; d < kSpeedDriveCount; ++d) {
        std::string start, run;
        SplitSpeedCell((*found)[1 + d], start, run);
        table.SetPair(d, {AtoI(start), AtoI(run)});
        ok = plat::WritePrivateProfileString(section, StartKey(typeName, d), start, path) && ok;
        ok = plat::WritePrivateProfileString(section, RunKey(typeName, d), run, path) && ok;
    }
    ok = batch.Commit() && ok;
    return ok ? DeriveResult::Stored : DeriveResult::WriteFailed;
}

// ---- SpeedTemplates ------------------------------------------------------------

SpeedTypeTable SpeedTemplates::Table(SpeedType type) const {
    const int k = static_cast<int>(type);
    return k >= 0 && k < kSpeedTypeCount ? m_tables[k].Load() : SpeedTypeTable{};
}

void SpeedTemplates::SetTable(SpeedType type, const SpeedTypeTable& table) {
    const int k = static_cast<int>(type);
    if (k >= 0 && k < kSpeedTypeCount) m_tables[k].Store(table);
}

SpeedTemplateTables SpeedTemplates::Templates() const {
    std::shared_lock lock(m_templateMutex);
    return m_templates;
}

void SpeedTemplates::SetTemplates(SpeedTemplateTables tables) {
    std::unique_lock lock(m_templateMutex);
    m_templates = std::move(tables);
}

int SpeedTemplates::TemplateCount() const {
    std::shared_lock lock(m_templateMutex);
    return m_templates.Count();
}

std::vector<std::string> SpeedTemplates::TemplateNames() const {
    std::shared_lock lock(m_templateMutex);
    std::vector<std::string> names;
    names.reserve(m_templates.m_HighSpeedTable.size());
    for (const auto& row : m_templates.m_HighSpeedTable) names.push_back(row[0]);
    return names;
}

bool SpeedTemplates::FindTemplateSpeeds(std::string_view name,
                                        std::array<SpeedPair, kSpeedDriveCount>& speeds) const {
    const int cls = ActiveClass() - 1;
    std::shared_lock lock(m_templateMutex);
    const auto& high = m_templates.m_HighSpeedTable;
    const auto& rows = m_templates.Class(cls);
    for (std::size_t i = 0; i < high.size() && i < rows.size(); ++i) {
        if (high[i][0] != name) continue;
        for (int d = 0; d < kSpeedDriveCount; ++d) speeds[d] = ParseSpeedCell(rows[i][1 + d]);
        return true;
    }
    return false;
}

void SpeedTemplates::LoadSpeedTables(const std::vector<std::string>& rows, int language) {
    SetTemplates(SpeedTemplateTables::FromRows(rows, language));
}

void SpeedTemplates::LoadSpeedTypeConfigs(const std::string& startFolder) {
    for (int k = 0; k < kSpeedTypeCount; ++k) {
        SetTable(static_cast<SpeedType>(k), LoadSpeedTypeConfig(startFolder, SpeedTypeName(k)));
    }
}

SpeedTemplates& TheSpeedTemplates() {
    static SpeedTemplates instance;
    return instance;
}

} // namespace smt
