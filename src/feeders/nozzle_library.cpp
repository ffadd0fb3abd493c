#include "feeders/nozzle_library.h"

#include <cmath>
#include <mutex>

#include "base/numtext.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "run_state/nozzle_work.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/section_keys.h"

namespace smt {

std::array<NozzleRecord, kNozzleRecords> g_NozzleTable{};

std::array<NozzleRecord, kNozzleRecords> CopyNozzleTable() {
    std::lock_guard lock(NozzleStateMutex());
    return g_NozzleTable;
}

// ---- rows ----------------------------------------------------------------------

std::vector<NozzleRow> ParseNozzleRows(const std::vector<std::string>& lines) {
    std::vector<NozzleRow> rows;
    rows.reserve(lines.size());
    for (const std::string& line : lines) {
        const std::vector<std::string> cells = SplitRow(line);
        NozzleRow row;
        for (std::size_t i = 0; i < cells.size() && i < row.size(); ++i) row[i] = cells[i];
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::string> BuildNozzleLines(const std::vector<NozzleRow>& rows) {
    std::vector<std::string> lines;
    lines.reserve(rows.size());
    for (const NozzleRow& row : rows) lines.push_back(JoinRow({row.begin(), row.end()}));
    return lines;
}

void BuildNozzleRecords(const std::vector<NozzleRow>& rows, double xPulse, double yPulse, double zPulse,
                        const std::array<double, 8>& zToFeed,
                        std::array<NozzleRecord, kNozzleRecords>& table) {
    // A hand-made file may hold more rows than the table has records.
    const std::size_t n = std::min<std::size_t>(rows.size(), kNozzleRecords);
    for (std::size_t k = 0; k < n; ++k) {
        const NozzleRow& c = rows[k];
        NozzleRecord& r = table[k];
        r.holderX = ToPulses(AtoF(c[1]), xPulse);
        r.holderY = ToPulses(AtoF(c[2]), yPulse);
        r.pickHeight = AtoF(c[3]);
        r.entryX = ToPulses(AtoF(c[4]), xPulse);
        r.entryY = ToPulses(AtoF(c[5]), yPulse);
        r.entryZ = ToPulses(AtoF(c[6]), zPulse);
        r.vacuum = AtoI(c[7]);
        r.headEntryZ[0] = r.entryZ;
        for (int head = 2; head <= 8; ++head)
            r.headEntryZ[head - 1] = AddPulses({r.entryZ, ToPulses(zToFeed[head - 1] - zToFeed[0], zPulse)});
        for (std::size_t j = 0; j < n; ++j) r.sameRemark[j] = c[8] == rows[j][8] ? 1 : 0;
    }
}

std::array<double, 8> ZToFeedHeights(const BasicSettings& b) {
    return {b.m_Z_Nozzle1ToFeed, b.m_Z_Nozzle2ToFeed, b.m_Z_Nozzle3ToFeed, b.m_Z_Nozzle4ToFeed,
            b.m_Z_Nozzle5ToFeed, b.m_Z_Nozzle6ToFeed, b.m_Z_Nozzle7ToFeed, b.m_Z_Nozzle8ToFeed};
}

// ---- settings ------------------------------------------------------------------

namespace {
constexpr const char* kSection = "NozzleListConfig";
constexpr SectionKey<NozzleListConfig> kKeys[] = {
    {"m_InAndOutExtern", nullptr, &NozzleListConfig::m_InAndOutExtern},
    {"m_Distance", &NozzleListConfig::m_Distance, nullptr},
    {"m_Delay", nullptr, &NozzleListConfig::m_Delay},
};
} // namespace

NozzleListConfig LoadNozzleListConfig(const std::string& configPath) {
    NozzleListConfig c;
    LoadSectionKeys<NozzleListConfig>(c, kSection, kKeys, configPath);
    if (c.m_Distance == 0) c.m_Distance = 100;
    return c;
}

bool SaveNozzleListConfig(const NozzleListConfig& c, const std::string& configPath) {
    return SaveSectionKeys<NozzleListConfig>(c, kSection, kKeys, configPath);
}

// ---- the library ------------------------------------------------------------------

NozzleLibrary::NozzleLibrary()
    : m_ListTexts("NozzleListConfig",
                  {{"NozzleList.c_NozzleList", "吸嘴库管理"},
                   {"NozzleList.c_NozzleSelect", "贴片头"},
                   {"NozzleList.c_NozzleNumber", "吸嘴编号"},
                   {"NozzleList.c_Nozzle_X", "吸嘴 X 坐标"},
                   {"NozzleList.c_Nozzle_Y", "吸嘴 Y 坐标"},
                   {"NozzleList.c_Nozzle_Z", "吸嘴到吸料高度"},
                   {"NozzleList.c_Nozzle_X_Exit", "进出口 X 坐标"},
                   {"NozzleList.c_Nozzle_Y_Exit", "进出口 Y 坐标"},
                   {"NozzleList.c_Nozzle_Z_Exit", "吸嘴进出口Z高度"},
                   {"NozzleList.c_VacuumValue", "真空值"},
                   {"NozzleList.c_Note", "备  注"},
                   {"NozzleList.c_NozzleAdd", "添加吸嘴"},
                   {"NozzleList.c_NozzleEdit", "修改吸嘴"},
                   {"NozzleList.c_NozzleDelete", "删除吸嘴"},
                   {"NozzleList.c_NozzleLibrary", "开合吸嘴库"},
                   {"NozzleList.c_Delay", "延时(ms)"},
                   {"NozzleList.c_InAndOutExtern", "出入位置延伸"},
                   {"NozzleList.c_CameraToNozzleCoordinate", "相机到吸嘴座坐标位置"},
                   {"NozzleList.c_ToNozzleCoordinate", "贴装头到吸嘴座坐标位置"},
                   {"NozzleList.c_ToNozzleCoordinateExit", "贴装头到吸嘴座出入口位置"},
                   {"NozzleList.c_DownToNozzleCoordinate", "下降到取吸嘴位置"},
                   {"NozzleList.c_UpToNozzleCoordinate", "上升到取吸嘴位置"},
                   {"NozzleList.c_PickNozzle", "取出吸嘴"},
                   {"NozzleList.c_PutNozzle", "放回吸嘴"},
                   {"NozzleList.c_Reset", "复位"},
                   {"NozzleList.c_IDOK", "确定"},
                   {"NozzleList.c_IDCANCEL", "取消"},
                   {"NozzleList.c_Message_01", "吸嘴最多支持6个 !"},
                   {"NozzleList.c_Message_02", "请选择行 !"},
                   {"NozzleList.c_Message_06", "吸嘴坐上已有吸嘴 !"},
                   {"NozzleList.c_Message_07", "吸嘴坐上无吸嘴 !"},
                   {"NozzleList.c_Message_08", "贴片头上已有吸嘴 !"},
                   {"NozzleList.c_Message_09", "贴片头上无吸嘴 !"}}),
      m_EditTexts("NozzleEditConfig",
                  {{"NozzleEdit.c_NozzleEdit", "吸嘴编辑"},
                   {"NozzleEdit.c_NozzleNumber", "吸嘴编号"},
                   {"NozzleEdit.c_Nozzle_X", "吸嘴 X 坐标"},
                   {"NozzleEdit.c_Nozzle_Y", "吸嘴 Y 坐标"},
                   {"NozzleEdit.c_Nozzle_Z", "吸嘴到吸料高度"},
                   {"NozzleEdit.c_Nozzle_X_Exit", "进出口 X 坐标"},
                   {"NozzleEdit.c_Nozzle_Y_Exit", "进出口 Y 坐标"},
                   {"NozzleEdit.c_Nozzle_Z_Exit", "吸嘴进出口Z高度"},
                   {"NozzleEdit.c_VacuumValue", "真空值"},
                   {"NozzleEdit.c_Note", "备  注"},
                   {"NozzleEdit.c_IDOK", "确定"},
                   {"NozzleEdit.c_IDCANCEL", "取消"},
                   {"NozzleEdit.c_Uniform_Z", "吸嘴与吸料高度 - 统一"},
                   {"NozzleEdit.c_Uniform_Z_Exit", "吸嘴进出口高度 - 统一"},
                   {"NozzleEdit.c_Uniform_Vacuum", "真空检测值 - 统一"},
                   {"NozzleEdit.c_Message_01", "吸嘴座名称已存在，请修改 !"},
                   {"NozzleEdit.c_Message_02", "吸嘴座X坐标不一致，确定吗 ?"},
                   {"NozzleEdit.c_Message_03", "吸嘴备注不能为空 !"}}) {
    std::lock_guard lock(NozzleStateMutex());
    for (NozzleRecord& r : g_NozzleTable) r.inHolder = 1;
}

void NozzleLibrary::BuildNozzleTable() const {
    const PulseFactors& f = ThePulseFactors();
    const auto heights = ZToFeedHeights(TheBasicSettings());
    std::lock_guard lock(NozzleStateMutex());
    BuildNozzleRecords(m_rows, f.m_X_Pulse, f.m_Y_Pulse, f.m_Z_Pulse, heights, g_NozzleTable);
}

void NozzleLibrary::ShiftNozzleCoordinates(double dX, double dY, std::vector<std::string>& lines) {
    for (NozzleRow& row : m_rows) {
        row[1] = FormatMm(AtoF(row[1]) + dX);
        row[4] = FormatMm(AtoF(row[4]) + dX);
        row[2] = FormatMm(AtoF(row[2]) + dY);
        row[5] = FormatMm(AtoF(row[5]) + dY);
    }
    BuildLines(lines);
}

NozzleLibrary& TheNozzleLibrary() {
    static NozzleLibrary library;
    return library;
}

void ResetNozzleStates() {
    std::lock_guard lock(NozzleStateMutex());
    for (NozzleRecord& r : g_NozzleTable) r.inHolder = 1;
    for (PlacementRecord& w : g_NozzleWork) w.head = w.mountedNozzle = 0;
}

bool IsNozzleNumberTaken(const std::vector<NozzleRow>& rows, int number, int selectedRow) {
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (static_cast<int>(i) != selectedRow && AtoI(rows[i][0]) == number) return true;
    return false;
}

// ---- dialog start --------------------------------------------------------------

std::vector<std::string> NozzleHeadItems(int machineType) {
    int heads = 0;
    switch (machineType) {
    case 0: case 1: heads = 1; break;
    case 2: case 5: heads = 2; break;
    case 3: heads = 4; break;
    case 7: heads = 8; break;
    default: heads = 0; break;
    }
    std::vector<std::string> items;
    for (int h = 1; h <= heads; ++h) items.push_back("A" + std::to_string(h));
    return items;
}

int NozzleHeadIndex(int comboSelection) { return comboSelection < 0 ? 0 : comboSelection; }

void ApplyChangeNozzleSelect(int changeNozzleSelect) {
    std::lock_guard lock(NozzleStateMutex());
    if (changeNozzleSelect == 1) {
        g_NozzleTable[0].inHolder = 0;
        g_NozzleTable[1].inHolder = g_NozzleWork[1].mountedNozzle != 2 ? 1 : 0;
    } else if (changeNozzleSelect == 2) {
        g_NozzleTable[1].inHolder = 0;
        g_NozzleTable[0].inHolder = g_NozzleWork[0].mountedNozzle != 1 ? 1 : 0;
    }
}

std::array<std::optional<std::string>, 8> HeadNozzleTexts() {
    std::array<std::optional<std::string>, 8> texts;
    const auto work = CopyNozzleWork();
    for (int i = 0; i < 8; ++i) {
        const int head = work[i].head;
        if (head >= 1 && head <= 8) texts[head - 1] = FormatInt(work[i].mountedNozzle);
    }
    return texts;
}

// ---- editor ----------------------------------------------------------------------

NozzleEditValues NozzleEditFromRow(const NozzleRow& row) {
    NozzleEditValues v;
    v.number = AtoI(row[0]);
    v.holderX = AtoF(row[1]);
    v.holderY = AtoF(row[2]);
    v.pickHeight = AtoF(row[3]);
    v.entryX = AtoF(row[4]);
    v.entryY = AtoF(row[5]);
    v.entryZ = AtoF(row[6]);
    v.vacuum = AtoI(row[7]);
    v.remark = row[8];
    return v;
}

NozzleRow NozzleRowFromEdit(const NozzleEditValues& v) {
    return {FormatInt(v.number), FormatMm(v.holderX), FormatMm(v.holderY), FormatMm(v.pickHeight),
            FormatMm(v.entryX),  FormatMm(v.entryY),  FormatMm(v.entryZ),  FormatInt(v.vacuum),
            v.remark};
}

std::string RangeMessage(const NozzleFieldRange& r) {
    return FormatC("请输入 %g 到 %g 之间的数值 !\r\nPlease enter a number between %g and %g.", r.low, r.high,
                   r.low, r.high);
}

NozzleEditOk CheckNozzleEdit(const NozzleEditValues& v, bool numberTaken, const DialogCaptions& texts) {
    if (numberTaken) {
        plat::MessageBoxOk(texts.Text("NozzleEdit.c_Message_01"));
        return NozzleEditOk::FocusNumber;
    }
    if (v.holderX != v.entryX &&
        plat::MessageBoxAsk(texts.Text("NozzleEdit.c_Message_02"), plat::MsgButtons::YesNoCancel, true) !=
            plat::MsgAnswer::Yes)
        return NozzleEditOk::Stay;
    if (v.remark.empty()) {
        plat::MessageBoxOk(texts.Text("NozzleEdit.c_Message_03"));
        return NozzleEditOk::FocusRemark;
    }
    return NozzleEditOk::Accept;
}

std::string TakePositionText(std::int32_t counter, double factor) { return TeachValue(counter, factor); }

std::optional<std::string> TakeZText(std::int32_t counter, std::int32_t zLimitPulses, double zFactor) {
    if (counter < zLimitPulses || counter > 0) {
        plat::MessageBoxOk("Z Pos Error !", true);
        return std::nullopt;
    }
    return TeachValue(counter, zFactor);
}

std::string TakeCameraCentredText(std::int32_t counter, double cameraToNozzle1, double factor) {
    return TeachValue(static_cast<std::int64_t>(counter) + ToPulses(cameraToNozzle1, factor), factor);
}

bool UniformValueInRange(UniformColumn column, const std::string& text) {
    if (column == UniformColumn::Vacuum) {
        const int v = AtoI(text);
        return v >= 0 && v <= 100;
    }
    const double v = AtoF(text);
    return v >= -100 && v <= 0;
}

void WriteUniformColumn(std::vector<NozzleRow>& rows, UniformColumn column, const std::string& text) {
    for (NozzleRow& row : rows) row[static_cast<int>(column)] = text;
}

NozzleZJog NozzleJogAxis(int machineType, int headIndex) {
    const int head = headIndex + 1;
    if (machineType == 7) return {0x20 + head - 1, 1};
    // Rocker pairs: the first head of a pair rises with direction 1, its partner with 0.
    return {head <= 2 ? 2 : 3, head % 2 == 1 ? 1 : 0};
}

std::optional<NozzleZMove> PlanMoveToEntryZ(int machineType, int headIndex, double entryZ, double zFactor,
                                            std::int32_t zCounter) {
    const std::int32_t target = ToPulses(entryZ, zFactor);
    if (entryZ * zFactor >= 1) {
        plat::MessageBoxOk("The data should be - !", true);
        return std::nullopt;
    }
    const int head = headIndex + 1;
    NozzleZMove m;
    if (machineType == 7 || head >= 7) m.axis = 0x20 + head - 1;
    else m.axis = head <= 2 ? 2 : head <= 4 ? 3 : 10;
    const std::int64_t diff = static_cast<std::int64_t>(target) - zCounter;
    const bool partner = machineType != 7 && (head == 2 || head == 4 || head == 6);
    m.direction = partner ? (diff < 0 ? 1 : 0) : (diff >= 0 ? 1 : 0);
    m.pulses = static_cast<std::int32_t>(std::min<std::int64_t>(std::llabs(diff), INT32_MAX));
    return m;
}

} // namespace smt
