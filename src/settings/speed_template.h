// The live speed configuration: the seven operation types' speed tables, the
// template manager's settings (active class, scale percentages, speed options,
// jog steps) and the three template classes. Run, worker and reply threads read
// them at any time while the manager on the user-interface thread may change
// them: every table and the settings block are read whole (never half of a
// start/run pair, never a half-written block), the template classes under a lock.
#pragma once

#include <array>
#include <cstdint>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "settings/speed_tables.h"

namespace smt {

// Section "SpeedTemplateConfig" of config.ini, keys in this order.
struct SpeedTemplateSettings {
    std::int32_t m_SpeedMenuCheck = 1;  // active class: 1 high, 2 medium, 3 low
    std::int32_t m_MediumSpeedZoom = 1;  // medium = high x this percentage
    std::int32_t m_LowSpeedZoom = 1;     // low = high x this percentage
    std::int32_t m_bModifyResetSpeed = 0;  // the first template may be picked and edited
    std::int32_t m_ChangeResetSpeed = 0;   // the one-key scale leaves the first template alone
    std::int32_t m_bOptimizeFarSpeed = 0;  // lower X/Y start codes with the move's length
    std::int32_t m_AccelSpeed = 100;       // percentage of that lowering
    std::int32_t m_bMaxSpeedLimit = 0;     // cap run speed codes
    std::int32_t m_MaxSpeedLimitValue = 32;
    // Jog steps in pulses per gear (fast, medium, slow, fine) and drive group;
    // m_A_RunFast is also the span the A counters are folded by.
    std::int32_t m_XY_RunFast = 1, m_XY_RunMedium = 1, m_XY_RunSlow = 1, m_XY_RunFine = 1;
    std::int32_t m_Z_RunFast = 1, m_Z_RunMedium = 1, m_Z_RunSlow = 1, m_Z_RunFine = 1;
    std::int32_t m_A_RunFast = 1, m_A_RunMedium = 1, m_A_RunSlow = 1, m_A_RunFine = 1;
    std::int32_t m_Feed_RunFast = 1, m_Feed_RunMedium = 1, m_Feed_RunSlow = 1, m_Feed_RunFine = 1;
    std::int32_t m_S_RunFast = 1, m_S_RunMedium = 1, m_S_RunSlow = 1, m_S_RunFine = 1;

    // The class readers use: 1, 2 or 3; any other stored value reads as 1.
    int ActiveClass() const;

    friend bool operator==(const SpeedTemplateSettings&, const SpeedTemplateSettings&) = default;
};

inline constexpr int kSpeedSettingCount = 29;
// Key i of the section, in file order ("m_SpeedMenuCheck" ... "m_S_RunFine").
const char* SpeedSettingKey(int index);
std::int32_t& SpeedSettingField(SpeedTemplateSettings& settings, int index);
std::int32_t SpeedSettingField(const SpeedTemplateSettings& settings, int index);

enum class JogGroup : int { XY, Z, A, Feed, S };
inline constexpr int kJogGroupCount = 5;
inline constexpr int kSpeedGearCount = 4;  // 0 fast, 1 medium, 2 slow, 3 fine
// The jog step of a gear (0..3) and group; a gear outside 0..3 reads as fast.
std::int32_t JogStep(const SpeedTemplateSettings& settings, int gear, JogGroup group);
std::int32_t& JogStepField(SpeedTemplateSettings& settings, int gear, JogGroup group);

// ---- config.ini ------------------------------------------------------------

// start folder + "config.ini"
std::string SpeedConfigPath(const std::string& startFolder);

// Reads the section with the loader's fix-ups: m_AccelSpeed 0 becomes 100,
// m_MaxSpeedLimitValue 0 or less becomes 32, a jog step 0 becomes 1, the scale
// percentages 0 become 1, and an active class outside 1..3 becomes 1.
SpeedTemplateSettings LoadSpeedTemplateConfig(const std::string& startFolder);
// Writes the 29 keys with "%d"; false when config.ini could not be written.
bool SaveSpeedTemplateConfig(const std::string& startFolder, const SpeedTemplateSettings& settings);

// One operation type's table from section typeName + "Config" (keys typeName +
// ".m_Start_X", ".m_Normal_X", ...); a missing key reads as 0.
SpeedTypeTable LoadSpeedTypeConfig(const std::string& startFolder, const std::string& typeName);

enum class DeriveResult { Stored, NameNotFound, WriteFailed };

// Derives one operation type's table from the first row of `classRows` named
// exactly `templateName` and writes the drive's start and run texts, as they stand
// in the cells, into section typeName + "Config". NameNotFound leaves `table` and
// the section unchanged. WriteFailed still fills `table`.
DeriveResult SaveSpeedTypeConfig(const std::string& startFolder, const std::string& templateName,
                                 const std::string& typeName,
                                 const std::vector<SpeedTemplateRow>& classRows, SpeedTypeTable& table);

// ---- the live instance ---------------------------------------------------------

class SpeedTemplates {
public:
    SpeedTemplates() = default;
    SpeedTemplates(const SpeedTemplates&) = delete;
    SpeedTemplates& operator=(const SpeedTemplates&) = delete;

    // Operation type tables, each read whole.
    SpeedTypeTable Table(SpeedType type) const;
    SpeedPair Pair(SpeedType type, int drive) const { return Table(type).Pair(drive); }
    void SetTable(SpeedType type, const SpeedTypeTable& table);

    // Manager settings, read whole.
    SpeedTemplateSettings Settings() const { return m_settings.Load(); }
    void SetSettings(const SpeedTemplateSettings& settings) { m_settings.Store(settings); }
    int ActiveClass() const { return Settings().ActiveClass(); }
    std::int32_t JogStep(int gear, JogGroup group) const { return smt::JogStep(Settings(), gear, group); }

    // Template classes.
    SpeedTemplateTables Templates() const;
    void SetTemplates(SpeedTemplateTables tables);
    int TemplateCount() const;
    // The names of the high class, the choices of a feeder's or package's own speed.
    std::vector<std::string> TemplateNames() const;
    // The 16 pairs of the template named `name` in the active class; false when no
    // template bears the name.
    bool FindTemplateSpeeds(std::string_view name, std::array<SpeedPair, kSpeedDriveCount>& speeds) const;

    // Start-up and language change: the classes from the rows of
    // "config_speed.fig" (the frame's speed rows), built-in names in `language`.
    void LoadSpeedTables(const std::vector<std::string>& rows, int language);
    // The rows to store in the frame's speed rows and "config_speed.fig".
    std::vector<std::string> StoreSpeedTables() const { return Templates().ToRows(); }

    // Start-up: section "SpeedTemplateConfig", then the seven type sections.
    void LoadConfig(const std::string& startFolder) { SetSettings(LoadSpeedTemplateConfig(startFolder)); }
    bool SaveConfig(const std::string& startFolder) const {
        return SaveSpeedTemplateConfig(startFolder, Settings());
    }
    void LoadSpeedTypeConfigs(const std::string& startFolder);

private:
    std::array<SeqLocked<SpeedTypeTable>, kSpeedTypeCount> m_tables;
    SeqLocked<SpeedTemplateSettings> m_settings;
    mutable std::shared_mutex m_templateMutex;
    SpeedTemplateTables m_templates;
};

// The one instance the machine logic reads and the manager edits.
SpeedTemplates& TheSpeedTemplates();

} // namespace smt
