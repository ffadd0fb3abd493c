// The placement strategy: the order the placement rows are worked in, how many
// heads pick per cycle, nozzle changing, the run mode the Start button starts,
// the cover-tape switch and the dispensing parameters (section SmtStrategyConfig
// of config.ini). One live set per process, read by the run and the libraries.
#pragma once

#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "joblist/part_list.h"

namespace smt {

struct SmtStrategyConfig {
    int m_SmtOrder = 0;          // 0..9, the sort-order table
    int m_HeaderSelect = 0;      // 0..8, the head-mode table
    int m_SpecialHead = 8;       // 2..8, first head of head mode 8
    int m_TogetherCode = 0;
    int m_BlockHead = 0;
    int m_AutoChangeNozzle = 0;
    int m_19NozzleLibrary = 0;
    int m_ChangeNozzleSelect = 0;  // 0 change A1A2, 1 keep A1, 2 keep A2
    int m_Head2AvoidCamera1 = 0;
    int m_Cover = 0;
    int m_SpellBoard = 0;        // carried through the section only
    int m_RunSelect = 0;         // 0..12, the run mode
    int m_Interval = 0;
    int m_DropsGlueDelay = 0;
    int m_bDisMode2 = 0;
    int m_DisSpeedStart_XY = 50;
    int m_DisSpeedNormal_XY = 100;
    int m_DisSpeedStart_Z = 50;
    int m_DisSpeedNormal_Z = 100;
    int m_DropsGluePoint = 1;
    double m_WeldDistance_1 = 0, m_WeldDistance_2 = 0;
    double m_DropsGlueOpen1 = 0, m_DropsGlueClose1 = 0;
    int m_AfterCloseDelay1 = 0;
    double m_DropsGlueOpen2 = 0, m_DropsGlueClose2 = 0;
    int m_AfterCloseDelay2 = 0;
};

inline constexpr int kSmtOrderCount = 10, kHeadModeCount = 9, kRunModeCount = 13;

// The part list's sort key of a sort order; -1 outside 0..9.
int SortKeyOfOrder(int smtOrder);
// g_SmtHeadCount and g_SmtSameNozzle from a head mode; outside 0..8 nothing changes.
void ApplyHeadMode(int headerSelect);

// Reads the section of `configPath` (missing keys read 0, then the clamps and
// defaults); also sets the head-mode globals. `machineType` decides m_BlockHead.
void LoadSmtStrategyConfig(SmtStrategyConfig& c, const std::string& configPath, int machineType);
// Writes the 28 keys in their order in one write; m_SpecialHead outside 2..8
// becomes 8 in memory afterwards.
bool SaveSmtStrategyConfig(SmtStrategyConfig& c, const std::string& configPath);

// A control of the strategy dialog by name: "head0".."head8", "run0".."run12",
// or the caption key of a check or button ("c_BlockHead", "c_Cover", ...).
struct MachineTypeView {
    std::set<std::string> disabled;
    bool coverEnabled = false;  // 封皮
    bool setEnabled = false;    // 设置
};
// Adjusts the members for the machine type and names the controls it disables,
// then the cover rule (which may clear m_Cover).
MachineTypeView ApplyMachineType(SmtStrategyConfig& c, int machineType);

// The first value outside its range (message in the interface language, the
// field's name); nothing when every value fits.
struct StrategyRangeFault {
    std::string field;
    std::string message;
};
std::optional<StrategyRangeFault> CheckStrategyRanges(const SmtStrategyConfig& c);

// OK after the ranges passed: the values go live, the placement list is sorted
// (and paired), the dispensing list filled and shown for the dispensing modes,
// and the section saved in the start folder. False when the file failed.
bool ApplyStrategyOk(const SmtStrategyConfig& c, PartListStore& store, const std::string& startFolder);

// Renumbers column 0 of the placement list "1", "2", ... in list order.
void ResetPartNumbers(PartListStore& store);

// The live set. Readers on other threads take copies.
class SmtStrategy {
public:
    SmtStrategyConfig Config() const;
    void SetConfig(const SmtStrategyConfig& c);
    int RunSelect() const { return Config().m_RunSelect; }
    // Loads from config.ini of the start folder with the current machine type.
    void Load(const std::string& startFolder);
    // The machine-type commands: head mode and nozzle-change choice to 0, saved.
    bool ResetForMachineType(const std::string& startFolder);

private:
    mutable std::mutex m_mutex;
    SmtStrategyConfig m_config;
};
SmtStrategy& TheSmtStrategy();

} // namespace smt
