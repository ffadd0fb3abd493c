#include "settings/speed_tables.h"

#include <algorithm>

#include "base/numtext.h"
#include "base/tablefile.h"

namespace smt {

namespace {

constexpr const char* kDriveKeys[kSpeedDriveCount] = {
    "X", "Y", "Z1", "Z2", "A1", "A2", "A3", "A4", "WestWalk", "WestLift", "NorthWalk", "NorthLift",
    "EastWalk", "EastLift", "AutoWalk1", "AutoWalk2",
};

constexpr const char* kTypeNames[kSpeedTypeCount] = {
    "m_Reset_Speed", "m_Handle_Speed", "m_PickPart_Speed", "m_Smt_Speed",
    "m_VisualCorrection_Speed", "m_VisualSmt_Speed", "m_AutoNozzle_Speed",
};

constexpr const char* kBuiltInNames[kSpeedLanguageCount][kBuiltInSpeedNameCount] = {
    {"复位速度", "手控速度", "取料速度", "贴装速度", "视觉对中速度", "视觉贴装速度", "自动换吸嘴速度",
     "取芯片速度1"},
    {"Reset speed", "Manual control", "Picking speed", "Mounting speed", "Visual aglinment speed",
     "Visual mounting speed", "Nozzle change speed", "Pick chip speed 1"},
    {"Reset speed", "Manual control", "Picking speed", "Mounting speed", "Visual aglinment speed",
     "Visual mounting speed", "Nozzle change speed", "Pick chip speed 1"},
};

// The fields in their declared order, so index 2d is the start and 2d+1 the run
// code of drive d.
using Field = std::int32_t SpeedTypeTable::*;
constexpr Field kFields[2 * kSpeedDriveCount] = {
    &SpeedTypeTable::m_Start_X, &SpeedTypeTable::m_Normal_X,
    &SpeedTypeTable::m_Start_Y, &SpeedTypeTable::m_Normal_Y,
    &SpeedTypeTable::m_Start_Z1, &SpeedTypeTable::m_Normal_Z1,
    &SpeedTypeTable::m_Start_Z2, &SpeedTypeTable::m_Normal_Z2,
    &SpeedTypeTable::m_Start_A1, &SpeedTypeTable::m_Normal_A1,
    &SpeedTypeTable::m_Start_A2, &SpeedTypeTable::m_Normal_A2,
    &SpeedTypeTable::m_Start_A3, &SpeedTypeTable::m_Normal_A3,
    &SpeedTypeTable::m_Start_A4, &SpeedTypeTable::m_Normal_A4,
    &SpeedTypeTable::m_Start_WestWalk, &SpeedTypeTable::m_Normal_WestWalk,
    &SpeedTypeTable::m_Start_WestLift, &SpeedTypeTable::m_Normal_WestLift,
    &SpeedTypeTable::m_Start_NorthWalk, &SpeedTypeTable::m_Normal_NorthWalk,
    &SpeedTypeTable::m_Start_NorthLift, &SpeedTypeTable::m_Normal_NorthLift,
    &SpeedTypeTable::m_Start_EastWalk, &SpeedTypeTable::m_Normal_EastWalk,
    &SpeedTypeTable::m_Start_EastLift, &SpeedTypeTable::m_Normal_EastLift,
    &SpeedTypeTable::m_Start_AutoWalk1, &SpeedTypeTable::m_Normal_AutoWalk1,
    &SpeedTypeTable::m_Start_AutoWalk2, &SpeedTypeTable::m_Normal_AutoWalk2,
};

bool InRange(int i, int count) { return i >= 0 && i < count; }

} // namespace

const char* SpeedDriveKey(int drive) { return InRange(drive, kSpeedDriveCount) ? kDriveKeys[drive] : ""; }

std::int32_t SpeedTypeTable::Value(int index) const {
    return InRange(index, 2 * kSpeedDriveCount) ? this->*kFields[index] : 0;
}

void SpeedTypeTable::SetValue(int index, std::int32_t value) {
    if (InRange(index, 2 * kSpeedDriveCount)) this->*kFields[index] = value;
}

void SpeedTypeTable::SetPair(int drive, SpeedPair pair) {
    SetValue(2 * drive, pair.start);
    SetValue(2 * drive + 1, pair.run);
}

const char* SpeedTypeName(int type) { return InRange(type, kSpeedTypeCount) ? kTypeNames[type] : ""; }

const char* BuiltInSpeedName(int language, int index) {
    if (!InRange(language, kSpeedLanguageCount) || !InRange(index, kBuiltInSpeedNameCount)) return "";
    return kBuiltInNames[language][index];
}

std::string TranslateSpeedName(std::string_view name, int language) {
    if (!InRange(language, kSpeedLanguageCount)) return std::string(name);
    for (const auto& block : kBuiltInNames) {
        for (int i = 0; i < kBuiltInSpeedNameCount; ++i) {
            if (name == block[i]) return kBuiltInNames[language][i];
        }
    }
    return std::string(name);
}

bool SplitSpeedCell(std::string_view cell, std::string& startText, std::string& runText) {
    const std::size_t at = cell.find(kSpeedCellSeparator);
    if (at == std::string_view::npos) {
        startText = runText = std::string(cell);
        return false;
    }
    startText = std::string(cell.substr(0, at));
    runText = std::string(cell.substr(at + kSpeedCellSeparator.size()));
    return true;
}

SpeedPair ParseSpeedCell(std::string_view cell) {
    std::string start, run;
    SplitSpeedCell(cell, start, run);
    return {AtoI(start), AtoI(run)};
}

std::string FormatSpeedCell(std::int32_t start, std::int32_t run) {
    return FormatInt(start) + std::string(kSpeedCellSeparator) + FormatInt(run);
}

SpeedTemplateRow ParseTemplateRow(std::string_view text, int language) {
    SpeedTemplateRow row;
    const std::vector<std::string> cells = SplitRow(text);
    for (std::size_t i = 0; i < cells.size() && i < row.size(); ++i) {
        row[i] = TranslateSpeedName(cells[i], language);
    }
    return row;
}

std::string JoinTemplateRow(const SpeedTemplateRow& row) {
    return JoinRow(std::vector<std::string>(row.begin(), row.end()));
}

bool ScaleSpeedCell(std::string_view highCell, int percent, std::string& scaled) {
    if (highCell.find(kSpeedCellSeparator) == std::string_view::npos) return false;
    const SpeedPair high = ParseSpeedCell(highCell);
    auto scale = [percent](std::int32_t v) {
        const long long r = static_cast<long long>(v) * percent / 100;
        return r == 0 ? 1 : static_cast<std::int32_t>(r);
    };
    scaled = FormatSpeedCell(scale(high.start), scale(high.run));
    return true;
}

std::vector<SpeedTemplateRow>& SpeedTemplateTables::Class(int cls) {
    return cls == 1 ? m_MediumSpeedTable : cls == 2 ? m_LowSpeedTable : m_HighSpeedTable;
}

const std::vector<SpeedTemplateRow>& SpeedTemplateTables::Class(int cls) const {
    return cls == 1 ? m_MediumSpeedTable : cls == 2 ? m_LowSpeedTable : m_HighSpeedTable;
}

SpeedTemplateTables SpeedTemplateTables::FromRows(const std::vector<std::string>& rows, int language) {
    SpeedTemplateTables tables;
    // Rows beyond the cap were refused when the file was read; never expand them here.
    const std::size_t count = std::min(rows.size(), kMaxSpeedRows) / kSpeedClassCount;
    for (int cls = 0; cls < kSpeedClassCount; ++cls) {
        auto& table = tables.Class(cls);
        table.reserve(count);
        for (std::size_t i = 0; i < count; ++i) table.push_back(ParseTemplateRow(rows[cls * count + i], language));
    }
    return tables;
}

std::vector<std::string> SpeedTemplateTables::ToRows() const {
    std::vector<std::string> rows;
    rows.reserve(kSpeedClassCount * m_HighSpeedTable.size());
    for (int cls = 0; cls < kSpeedClassCount; ++cls) {
        for (const auto& row : Class(cls)) rows.push_back(JoinTemplateRow(row));
    }
    return rows;
}

} // namespace smt
