#include "feeders/mark_library.h"

#include "base/numtext.h"

namespace smt {

TextRow MarkRowFromEdit(const MarkEditValues& v) {
    return {v.name,
            FormatMm(v.mark1X),
            FormatMm(v.mark1Y),
            FormatMm(v.mark2X),
            FormatMm(v.mark2Y),
            FormatInt(v.allowOffset),
            FormatMm(v.visualSize),
            FormatMm(v.diameter),
            FormatInt(v.precision),
            FormatInt(v.contrast),
            FormatInt(v.brightness),
            FormatInt(v.captureTime),
            FormatInt(v.repetitions),
            v.reverse ? "Yes" : "No",
            FormatMm(v.table1),
            FormatMm(v.table2)};
}

MarkEditValues MarkEditFromRow(const TextRow& r) {
    MarkEditValues v;
    v.name = r[0];
    v.mark1X = AtoF(r[1]);
    v.mark1Y = AtoF(r[2]);
    v.mark2X = AtoF(r[3]);
    v.mark2Y = AtoF(r[4]);
    v.allowOffset = AtoI(r[5]);
    v.visualSize = AtoF(r[6]);
    v.diameter = AtoF(r[7]);
    v.precision = AtoI(r[8]);
    v.contrast = AtoI(r[9]);
    v.brightness = AtoI(r[10]);
    v.captureTime = AtoI(r[11]);
    v.repetitions = AtoI(r[12]);
    v.reverse = r[13] == "Yes";
    v.table1 = AtoF(r[14]);
    v.table2 = AtoF(r[15]);
    return v;
}

std::optional<std::pair<double, double>> MarkFieldOutOfRange(const MarkEditValues& v) {
    const struct {
        double low, high, value;
    } fields[] = {{0, 100, double(v.allowOffset)}, {0, 48, v.visualSize},       {0, 10, v.diameter},
                  {0, 100, double(v.precision)},   {0, 255, double(v.contrast)}, {0, 255, double(v.brightness)},
                  {0, 10000, double(v.captureTime)}, {0, 10, double(v.repetitions)}, {-2, 2, v.table1},
                  {-2, 2, v.table2}};
    for (const auto& f : fields)
        if (!(f.value >= f.low && f.value <= f.high)) return std::pair{f.low, f.high};
    return std::nullopt;
}

int CharacterCount(const std::string& text) {
    int n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string AllowedDeviationText(int allowOffset, double xPulse) {
    return FormatMm(xPulse != 0 ? allowOffset / xPulse : 0.0);
}

double CaptureOffset(std::int32_t counter, std::int32_t base, double factor) {
    return AtoF(TeachValue(static_cast<std::int64_t>(counter) - base, factor));
}

void CaptureX(MarkEditValues& v, const MarkCounters& c, int machineType, double xPulse) {
    const int axis = machineType == 4 ? 2 : 0;
    v.mark1X = CaptureOffset(c.now[axis], c.base[axis], xPulse);
}

void CaptureY(MarkEditValues& v, const MarkCounters& c, int machineType, int workTable, double yPulse) {
    int axis = 1;
    if (machineType == 4) {
        if (workTable == 1) axis = 1;
        else if (workTable == 2) axis = 3;
        else return;  // no table chosen
    }
    v.mark1Y = CaptureOffset(c.now[axis], c.base[axis], yPulse);
}

// ---- the library ----------------------------------------------------------------------

MarkLibrary::MarkLibrary()
    : m_ListTexts("MarkListConfig",
                  {{"MarkList.c_MarkList", "独立MARK点数据库"},
                   {"MarkList.c_PartName", "元件名称"},
                   {"MarkList.c_AllowOffset", "允许公差"},
                   {"MarkList.c_VisualSize", "视框尺寸"},
                   {"MarkList.c_MarkDiameter", "Mark点直径"},
                   {"MarkList.c_DetectPrecision", "检测精度"},
                   {"MarkList.c_LightContrast", "对比度"},
                   {"MarkList.c_LightBrightness", "光亮度"},
                   {"MarkList.c_MarkCollectTime", "采像时间"},
                   {"MarkList.c_VisualTimes", "对中次数"},
                   {"MarkList.c_ImageColorReversal", "图像颜色反转"},
                   {"MarkList.c_PlatformOffset_1", "平台1补尝"},
                   {"MarkList.c_PlatformOffset_2", "平台2补尝"},
                   {"MarkList.c_MarkAdd", "添加"},
                   {"MarkList.c_MarkEdit", "修改"},
                   {"MarkList.c_MarkDelete", "删除"},
                   {"MarkList.c_IDOK", "确  定"},
                   {"MarkList.c_IDCANCEL", "取  消"}}),
      m_EditTexts("MarkEditConfig",
                  {{"MarkEdit.c_MarkEdit", "Mark点编辑"},
                   {"MarkEdit.c_PartName", "元件名称"},
                   {"MarkEdit.c_VisualSize", "视框尺寸"},
                   {"MarkEdit.c_MarkDiameter", "Mark点直径"},
                   {"MarkEdit.c_DetectPrecision", "检测精度"},
                   {"MarkEdit.c_LightContrast", "对比度"},
                   {"MarkEdit.c_LightBrightness", "光亮度"},
                   {"MarkEdit.c_MarkCollectTime", "采像时间"},
                   {"MarkEdit.c_VisualTimes", "对中次数"},
                   {"MarkEdit.c_ImageColorReversal", "图像颜色反转"},
                   {"MarkEdit.c_PlatformOffset_1", "平台1补尝"},
                   {"MarkEdit.c_PlatformOffset_2", "平台2补尝"},
                   {"MarkEdit.c_AllowOffset", "允许公差"},
                   {"MarkEdit.c_MarkOffset", "Mark点坐标偏移量(mm)"},
                   {"MarkEdit.c_IDOK", "确  定"},
                   {"MarkEdit.c_IDCANCEL", "取  消"},
                   {"MarkEdit.c_Message_01", "元件名称已存在，请修改 !"}}) {}

void MarkLibrary::ParseRows(const std::vector<std::string>& lines) {
    std::lock_guard lock(m_lock);
    m_table.ParseLines(lines);
}

void MarkLibrary::JoinRows(std::vector<std::string>& lines) const {
    std::lock_guard lock(m_lock);
    lines = m_table.JoinLines();
}

bool MarkLibrary::IsMarkNameTaken(const std::string& name) const {
    std::lock_guard lock(m_lock);
    return m_table.IsNameTaken(name, m_Remembered);
}

void MarkLibrary::FreeTable() {
    std::lock_guard lock(m_lock);
    m_table.Free();
}

std::optional<MarkEntry> MarkLibrary::LookUp(const std::string& name) const {
    std::lock_guard lock(m_lock);
    const int i = m_table.FindByName(name);
    if (i < 0) return std::nullopt;
    const MarkEditValues v = MarkEditFromRow(m_table.Rows()[i]);
    return MarkEntry{v.mark1X,     v.mark1Y,   v.allowOffset, v.visualSize,  v.diameter,  v.precision,
                     v.contrast,   v.brightness, v.captureTime, v.repetitions, v.reverse};
}

void MarkLibrary::Add() {
    std::lock_guard lock(m_lock);
    m_table.Append(MarkRowFromEdit(m_Edit));
}

std::optional<std::string> MarkLibrary::Modify() {
    std::lock_guard lock(m_lock);
    if (!m_table.IsRow(m_Remembered)) return std::nullopt;
    std::string old = m_table.Rows()[m_Remembered][0];
    m_table.Modify(m_Remembered, MarkRowFromEdit(m_Edit));
    if (old == m_Edit.name) return std::nullopt;
    return old;
}

bool MarkLibrary::LoadEditor() {
    std::lock_guard lock(m_lock);
    if (!m_table.IsRow(m_Remembered)) return false;
    m_Edit = MarkEditFromRow(m_table.Rows()[m_Remembered]);
    return true;
}

bool MarkLibrary::Delete() {
    std::lock_guard lock(m_lock);
    return m_table.Delete(m_Remembered);
}

void MarkLibrary::Sort(int column) {
    std::lock_guard lock(m_lock);
    m_table.SortByColumn(column);
}

std::vector<TextRow> MarkLibrary::Rows() const {
    std::lock_guard lock(m_lock);
    return m_table.Rows();
}

int MarkLibrary::Count() const {
    std::lock_guard lock(m_lock);
    return m_table.Count();
}

MarkLibrary& TheMarkLibrary() {
    static MarkLibrary library;
    return library;
}

std::optional<MarkEntry> LookUpMarkEntry(const std::string& name) { return TheMarkLibrary().LookUp(name); }

} // namespace smt
