#include "joblist/smt_strategy.h"

#include <array>

#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/list_sort.h"
#include "platform/profile.h"

namespace smt {

namespace {

constexpr const char* kSection = "SmtStrategyConfig";
using C = SmtStrategyConfig;

struct Key {
    const char* name;
    int C::*integer;
    double C::*length;
};

// The save order of the section.
constexpr std::array<Key, 28> kKeys{{
    {"m_SmtOrder", &C::m_SmtOrder, nullptr},
    {"m_HeaderSelect", &C::m_HeaderSelect, nullptr},
    {"m_SpecialHead", &C::m_SpecialHead, nullptr},
    {"m_TogetherCode", &C::m_TogetherCode, nullptr},
    {"m_BlockHead", &C::m_BlockHead, nullptr},
    {"m_ChangeNozzleSelect", &C::m_ChangeNozzleSelect, nullptr},
    {"m_AutoChangeNozzle", &C::m_AutoChangeNozzle, nullptr},
    {"m_19NozzleLibrary", &C::m_19NozzleLibrary, nullptr},
    {"m_Head2AvoidCamera1", &C::m_Head2AvoidCamera1, nullptr},
    {"m_Cover", &C::m_Cover, nullptr},
    {"m_SpellBoard", &C::m_SpellBoard, nullptr},
    {"m_RunSelect", &C::m_RunSelect, nullptr},
    {"m_Interval", &C::m_Interval, nullptr},
    {"m_DropsGlueDelay", &C::m_DropsGlueDelay, nullptr},
    {"m_bDisMode2", &C::m_bDisMode2, nullptr},
    {"m_DisSpeedStart_XY", &C::m_DisSpeedStart_XY, nullptr},
    {"m_DisSpeedNormal_XY", &C::m_DisSpeedNormal_XY, nullptr},
    {"m_DisSpeedStart_Z", &C::m_DisSpeedStart_Z, nullptr},
    {"m_DisSpeedNormal_Z", &C::m_DisSpeedNormal_Z, nullptr},
    {"m_DropsGluePoint", &C::m_DropsGluePoint, nullptr},
    {"m_WeldDistance_1", nullptr, &C::m_WeldDistance_1},
    {"m_WeldDistance_2", nullptr, &C::m_WeldDistance_2},
    {"m_DropsGlueOpen1", nullptr, &C::m_DropsGlueOpen1},
    {"m_DropsGlueClose1", nullptr, &C::m_DropsGlueClose1},
    {"m_AfterCloseDelay1", &C::m_AfterCloseDelay1, nullptr},
    {"m_DropsGlueOpen2", nullptr, &C::m_DropsGlueOpen2},
    {"m_DropsGlueClose2", nullptr, &C::m_DropsGlueClose2},
    {"m_AfterCloseDelay2", &C::m_AfterCloseDelay2, nullptr},
}};

struct HeadMode {
    int count;
    int same;
};
constexpr HeadMode kHeadModes[kHeadModeCount] = {{1, 0}, {2, 1}, {2, 0}, {4, 1}, {4, 0}, {4, 0}, {8, 1}, {8, 0}, {8, 0}};
constexpr int kSortKeys[kSmtOrderCount] = {0, 1, 2, 3, 4, 5, 6, kSortKeyPartHeight, 11, 12};

bool In(int v, int lo, int hi) { return v >= lo && v <= hi; }

} // namespace

int SortKeyOfOrder(int smtOrder) { return In(smtOrder, 0, kSmtOrderCount - 1) ? kSortKeys[smtOrder] : -1; }

void ApplyHeadMode(int headerSelect) {
    if (!In(headerSelect, 0, kHeadModeCount - 1)) return;
    g_SmtHeadCount = kHeadModes[headerSelect].count;
    g_SmtSameNozzle = kHeadModes[headerSelect].same;
}

void LoadSmtStrategyConfig(SmtStrategyConfig& c, const std::string& configPath, int machineType) {
    for (const Key& k : kKeys) {
        const std::string text = plat::GetPrivateProfileString(kSection, k.name, kProfileMissing, 512, configPath);
        if (k.integer) c.*k.integer = AtoI(text);
        else c.*k.length = AtoF(text);
    }
    // A sort order or run mode no button stands for would check no radio and
    // start no run: it reads as the first choice.
    if (!In(c.m_SmtOrder, 0, kSmtOrderCount - 1)) c.m_SmtOrder = 0;
    if (!In(c.m_RunSelect, 0, kRunModeCount - 1)) c.m_RunSelect = 0;
    if (!In(c.m_SpecialHead, 2, 8)) c.m_SpecialHead = 8;
    ApplyHeadMode(c.m_HeaderSelect);
    // Only two heads with different nozzles keep a nozzle kept back.
    if (In(c.m_HeaderSelect, 0, kHeadModeCount - 1) && c.m_HeaderSelect != 2) c.m_ChangeNozzleSelect = 0;
    if (!(machineType == 3 || machineType > 7)) c.m_BlockHead = 0;
    if (c.m_DisSpeedStart_XY == 0) c.m_DisSpeedStart_XY = 50;
    if (c.m_DisSpeedNormal_XY == 0) c.m_DisSpeedNormal_XY = 100;
    if (c.m_DisSpeedStart_Z == 0) c.m_DisSpeedStart_Z = 50;
    if (c.m_DisSpeedNormal_Z == 0) c.m_DisSpeedNormal_Z = 100;
    if (c.m_DropsGluePoint == 0) c.m_DropsGluePoint = 1;
}

bool SaveSmtStrategyConfig(SmtStrategyConfig& c, const std::string& configPath) {
    bool ok = true;
    {
        plat::ProfileBatch batch(configPath);  // the whole section in one write
        for (const Key& k : kKeys) {
            const std::string text = k.integer ? FormatInt(c.*k.integer) : FormatMm(c.*k.length);
            ok = plat::WritePrivateProfileString(kSection, k.name, text, configPath) && ok;
        }
        ok = batch.Commit() && ok;
    }
    if (!In(c.m_SpecialHead, 2, 8)) c.m_SpecialHead = 8;
    return ok;
}

MachineTypeView ApplyMachineType(SmtStrategyConfig& c, int type) {
    MachineTypeView v;
    auto off = [&v](std::initializer_list<const char*> names) {
        for (const char* n : names) v.disabled.insert(n);
    };
    auto runs = [&v](int from, int to) {
        for (int m = from; m <= to; ++m) v.disabled.insert("run" + std::to_string(m));
    };
    int& run = c.m_RunSelect;
    int& head = c.m_HeaderSelect;
    switch (type) {
    case 0:
        head = 0;
        if (run == 1 || run == 2 || run > 9) run = 0;
        off({"head1", "head2", "head3", "head4", "head5", "head6", "head7", "c_BlockHead", "run1", "run8", "run2",
             "c_TogetherCode"});
        runs(9, 12);
        break;
    case 1:
        head = 0;
        if (run > 9) run = 0;
        off({"c_BlockHead", "head1", "head2", "head3", "head4", "head5", "head6", "head7", "c_TogetherCode"});
        runs(9, 12);
        break;
    case 2:
        if (head >= 3 && head <= 5) head = 0;
        if (run > 9) run = 0;
        off({"c_BlockHead", "head3", "head4", "head5", "head6", "head7", "run8", "c_TogetherCode"});
        runs(9, 12);
        break;
    case 3:
        if (run > 9) run = 0;
        c.m_19NozzleLibrary = 1;
        off({"head6", "head7", "run8", "c_Cover", "c_Set", "c_TogetherCode"});
        runs(9, 12);
        break;
    case 4:
        if (!(run == 0 || In(run, 9, 12))) run = 12;
        c.m_AutoChangeNozzle = 0;
        off({"c_BlockHead", "head5", "head6", "head7", "run0", "run1", "run8", "run2", "c_Cover", "c_Set",
             "c_AutoChangeNozzle", "c_TogetherCode"});
        runs(3, 7);
        break;
    case 5:
        if (head >= 3 && head <= 5) head = 0;
        if (run == 1 || run == 2 || run > 9) run = 0;
        off({"c_BlockHead", "head3", "head4", "head5", "head6", "head7", "run1", "run8", "run2", "c_TogetherCode"});
        runs(9, 12);
        break;
    case 6:
        if (run > 9) run = 0;
        off({"c_BlockHead", "head6", "head7", "run8", "c_Cover", "c_Set", "c_TogetherCode"});
        runs(9, 12);
        break;
    case 7:
        if (run > 9) run = 0;
        c.m_19NozzleLibrary = 1;
        off({"c_BlockHead", "run8", "c_Cover", "c_Set"});
        runs(9, 12);
        break;
    default: break;
    }
    // A run mode the type greys out is never left chosen: the type's own fallback
    // takes its place (the last lamp run on type 4, placement elsewhere).
    if (v.disabled.count("run" + std::to_string(run))) run = type == 4 ? 12 : 0;
    // The cover-tape unit serves the placement run of the small machines only.
    if (run == 0 && type < 3) {
        v.coverEnabled = true;
        v.setEnabled = c.m_Cover == 1;
    } else {
        c.m_Cover = 0;
    }
    return v;
}

std::optional<StrategyRangeFault> CheckStrategyRanges(const SmtStrategyConfig& c) {
    struct IntRange {
        const char* field;
        int value, lo, hi;
    };
    const IntRange ints[] = {
        {"m_SmtOrder", c.m_SmtOrder, 0, kSmtOrderCount - 1},
        {"m_HeaderSelect", c.m_HeaderSelect, 0, kHeadModeCount - 1},
        {"m_SpecialHead", c.m_SpecialHead, 2, 8},
        {"m_ChangeNozzleSelect", c.m_ChangeNozzleSelect, 0, 2},
        {"m_RunSelect", c.m_RunSelect, 0, kRunModeCount - 1},
        {"m_Interval", c.m_Interval, 0, 10000},
        {"m_DropsGlueDelay", c.m_DropsGlueDelay, 0, 10000},
        {"m_DisSpeedStart_XY", c.m_DisSpeedStart_XY, 1, 255},
        {"m_DisSpeedNormal_XY", c.m_DisSpeedNormal_XY, 1, 255},
        {"m_DisSpeedStart_Z", c.m_DisSpeedStart_Z, 1, 255},
        {"m_DisSpeedNormal_Z", c.m_DisSpeedNormal_Z, 1, 255},
        {"m_DropsGluePoint", c.m_DropsGluePoint, 1, 4},
        {"m_AfterCloseDelay1", c.m_AfterCloseDelay1, 0, 10000},
        {"m_AfterCloseDelay2", c.m_AfterCloseDelay2, 0, 10000},
    };
    for (const IntRange& r : ints)
        if (!In(r.value, r.lo, r.hi)) return StrategyRangeFault{r.field, InputIntegerBetweenText(r.lo, r.hi)};
    struct NumRange {
        const char* field;
        double value, lo, hi;
    };
    const NumRange nums[] = {
        {"m_WeldDistance_1", c.m_WeldDistance_1, 0, 30},   {"m_WeldDistance_2", c.m_WeldDistance_2, 0, 30},
        {"m_DropsGlueOpen1", c.m_DropsGlueOpen1, 0, 100},  {"m_DropsGlueClose1", c.m_DropsGlueClose1, 0, 100},
        {"m_DropsGlueOpen2", c.m_DropsGlueOpen2, 0, 100},  {"m_DropsGlueClose2", c.m_DropsGlueClose2, 0, 100},
    };
    for (const NumRange& r : nums)
        if (!(r.value >= r.lo && r.value <= r.hi)) return StrategyRangeFault{r.field, InputNumberBetweenText(r.lo, r.hi)};
    return std::nullopt;
}

bool ApplyStrategyOk(const SmtStrategyConfig& values, PartListStore& store, const std::string& startFolder) {
    SmtStrategyConfig c = values;
    if (const int key = SortKeyOfOrder(c.m_SmtOrder); key >= 0) {
        store.m_SortKey = key;
        SortPartRows(store, JobList::Part);
    }
    ApplyHeadMode(c.m_HeaderSelect);
    if (c.m_HeaderSelect == 1) {
        store.m_SortKey = 9;
        PairRowsForTwoHeads(store);
    } else if (c.m_HeaderSelect == 2) {
        store.m_SortKey = 12;
    }
    if (c.m_RunSelect == 1 || c.m_RunSelect == 2) {
        store.m_RunFromRowEnabled = 1;
        if (store.RowCount(JobList::Dis) == 0 && store.RowCount(JobList::Part) > 0) store.CopyPartRowsToDisList();
        store.ShowList(JobList::Dis);
    } else if (c.m_RunSelect == 5 || c.m_RunSelect == 6) {
        store.m_RunFromRowEnabled = 0;
    }
    const std::string path = ConfigFilePath(startFolder);
    const bool saved = SaveSmtStrategyConfig(c, path);
    TheSmtStrategy().SetConfig(c);
    return ReportConfigWrite(saved, path);
}

void ResetPartNumbers(PartListStore& store) {
    {
        auto lock = store.Hold();
        auto& rows = store.RowsLocked(JobList::Part);
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (!rows[i].cells.empty()) rows[i].cells[0] = FormatInt(static_cast<long long>(i) + 1);
    }
    store.Changed(JobList::Part);
}

SmtStrategyConfig SmtStrategy::Config() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_config;
}

void SmtStrategy::SetConfig(const SmtStrategyConfig& c) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_config = c;
}

void SmtStrategy::Load(const std::string& startFolder) {
    SmtStrategyConfig c;
    LoadSmtStrategyConfig(c, ConfigFilePath(startFolder), g_MachineType.load());
    SetConfig(c);
}

bool SmtStrategy::ResetForMachineType(const std::string& startFolder) {
    SmtStrategyConfig c = Config();
    c.m_HeaderSelect = 0;
    c.m_ChangeNozzleSelect = 0;
    const bool ok = SaveSmtStrategyConfig(c, ConfigFilePath(startFolder));
    SetConfig(c);
    return ok;
}

SmtStrategy& TheSmtStrategy() {
    static SmtStrategy strategy;
    return strategy;
}

} // namespace smt
