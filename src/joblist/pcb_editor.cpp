#include "joblist/pcb_editor.h"

#include <algorithm>
#include <cmath>

#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/part_list_texts.h"
#include "joblist/run_port.h"
#include "platform/msgbox.h"
#include "settings/pulse_settings.h"
#include "settings/section_keys.h"
#include "vision/camera_panel_port.h"

namespace smt {

// ---- captions -------------------------------------------------------------------

const std::array<PcbEditText, kPcbEditTextCount> kPcbEditTexts{{
    {"c_PcbEdit", "PCB板操作"},
    {"c_PCB_Name", "Pcb名称："},
    {"c_Add", "添加"},
    {"c_Delete", "删除"},
    {"c_Paste", "粘贴"},
    {"c_Edit", "编辑"},
    {"c_PCBContent", "Pcb说明："},
    {"c_ProducePcbPlate", "生成PCB拼板"},
    {"c_RowColNo", "行列号"},
    {"c_Row", "行数"},
    {"c_Col", "列数"},
    {"c_RowSpace", "行间距"},
    {"c_ColSpace", "列间距"},
    {"c_AllPCBArray", "选中全部PCB拼板"},
    {"c_ArrayNumber", "拼板数量为："},
    {"c_ImportFile", "导入PCB坐标文件"},
    {"c_PcbCount", "PCB板数量"},
    {"c_IDOK", "确定"},
    {"c_PcbProper", "PCB板属性"},
    {"c_Thickness", "厚度"},
    {"c_OriginX", "原点 X"},
    {"c_OriginY", "原点 Y"},
    {"c_Mark", "启用Mark点"},
    {"c_MarkManual", "使用手工Mark点设置"},
    {"c_Mark1_X_Offset", "MarK1 X 偏差"},
    {"c_Mark1_Y_Offset", "MarK1 Y 偏差"},
    {"c_Mark2_X_Offset", "MarK2 X 偏差"},
    {"c_Mark2_Y_Offset", "MarK2 Y 偏差"},
    {"c_MarkParameter", "MARK相机参数设置"},
    {"c_VisualZoom", "视觉比例"},
    {"c_DetectPrecision", "检测精度"},
    {"c_ImageColorReversal", "图像颜色反转"},
    {"c_VisualBox", "视框尺寸"},
    {"c_MarkDiameter", "Mark点直径"},
    {"c_LightContrast", "对比度"},
    {"c_LightBrightness", "光亮度"},
    {"c_VisualTimes", "对中次数"},
    {"c_MarkCollectTime", "采像时间"},
    {"c_SpecialMark2", "独立Mark2"},
    {"c_Mark2LightContrast", "Mark2对比度"},
    {"c_Mark2LightBrightness", "Mark2光亮度"},
    {"c_EachMark", "启用分板Mark点"},
    {"c_Message_01", "请选择Pcb板 !"},
    {"c_Message_02", "Pcb板不能没有名称 !"},
    {"c_Message_03", "修改的Pcb板已经存在 !"},
    {"c_Message_04", "Pcb名称已存在，请重新输入 !"},
    {"c_Message_05", "请选择要删除的Pcb板 !"},
    {"c_Message_06", "没有选择要复制Pcb板 !"},
}};

PcbEditTexts::PcbEditTexts() {
    for (int i = 0; i < kPcbEditTextCount; ++i) text[i] = kPcbEditTexts[i].chinese;
}

void PcbEditTexts::Load(const std::string& startFolder, const std::string& language) {
    for (int i = 0; i < kPcbEditTextCount; ++i)
        text[i] = LoadCaption(startFolder, language, "PcbEditConfig", std::string("PcbEdit.") + kPcbEditTexts[i].suffix,
                              kPcbEditTexts[i].chinese);
}

const std::string& PcbEditTexts::Get(std::string_view suffix) const {
    for (int i = 0; i < kPcbEditTextCount; ++i)
        if (suffix == kPcbEditTexts[i].suffix) return text[i];
    static const std::string none;
    return none;
}

// ---- configuration ------------------------------------------------------------------

namespace {

using Key = SectionKey<PcbEditFields>;
constexpr Key kConfigKeys[] = {
    {"m_PcbBoardCount", nullptr, &PcbEditFields::m_PcbBoardCount},
    {"m_VisualZoom", &PcbEditFields::m_VisualZoom, nullptr},
    {"m_DetectPrecision", nullptr, &PcbEditFields::m_DetectPrecision},
    {"m_ImageColorReversal", nullptr, &PcbEditFields::m_ImageColorReversal},
    {"m_VisualBox", &PcbEditFields::m_VisualBox, nullptr},
    {"m_MarkDiameter", &PcbEditFields::m_MarkDiameter, nullptr},
    {"m_LightContrast", nullptr, &PcbEditFields::m_LightContrast},
    {"m_LightBrightness", nullptr, &PcbEditFields::m_LightBrightness},
    {"m_VisualTimes", nullptr, &PcbEditFields::m_VisualTimes},
    {"m_MarkCollectTime", nullptr, &PcbEditFields::m_MarkCollectTime},
    {"m_SpecialMark2", nullptr, &PcbEditFields::m_SpecialMark2},
    {"m_Mark2LightContrast", nullptr, &PcbEditFields::m_Mark2LightContrast},
    {"m_Mark2LightBrightness", nullptr, &PcbEditFields::m_Mark2LightBrightness},
};

} // namespace

void LoadPcbEditConfig(PcbEditFields& f, const std::string& configPath) {
    LoadSectionKeys<PcbEditFields>(f, "PcbEditConfig", kConfigKeys, configPath);
    if (f.m_PcbBoardCount == 0) f.m_PcbBoardCount = 1;
    if (f.m_VisualZoom == 0) f.m_VisualZoom = 1.0;
    if (f.m_DetectPrecision == 0) f.m_DetectPrecision = 1;
    if (f.m_VisualBox == 0) f.m_VisualBox = 0.2;
    if (f.m_MarkDiameter == 0) f.m_MarkDiameter = 0.1;
    if (f.m_VisualTimes == 0) f.m_VisualTimes = 1;
    if (f.m_MarkCollectTime == 0) f.m_MarkCollectTime = 10;
}

bool SavePcbEditConfig(const PcbEditFields& f, const std::string& configPath) {
    return SaveSectionKeys<PcbEditFields>(f, "PcbEditConfig", kConfigKeys, configPath);
}

std::string CheckPcbEditRanges(const PcbEditFields& f, int* control) {
    struct Range {
        int id;
        double value, lo, hi;
        bool integer;
    };
    const Range ranges[] = {
        {1217, double(f.m_PanelRows), 0, kMaxPanelSide, true},
        {1212, double(f.m_PanelCols), 0, kMaxPanelSide, true},
        {1110, f.m_Thickness, 0, 500, false},
        {1112, f.m_Mark1OffsetX, -3.0, 3.0, false},
        {1113, f.m_Mark1OffsetY, -3.0, 3.0, false},
        {1114, f.m_Mark2OffsetX, -3.0, 3.0, false},
        {1115, f.m_Mark2OffsetY, -3.0, 3.0, false},
        {1119, f.m_VisualZoom, 1, 200, false},
        {1121, double(f.m_DetectPrecision), 1, 100, true},
        {1051, f.m_VisualBox, 0.2, 50, false},
        {1120, f.m_MarkDiameter, 0.1, 20, false},
        {1248, double(f.m_LightContrast), 0, 255, true},
        {1053, double(f.m_LightBrightness), 0, 255, true},
        {1054, double(f.m_VisualTimes), 1, 10, true},
        {1045, double(f.m_MarkCollectTime), 10, 1000, true},
        {1125, double(f.m_Mark2LightContrast), 0, 255, true},
        {1129, double(f.m_Mark2LightBrightness), 0, 255, true},
        {1116, double(f.m_PcbBoardCount), 1, 10000, true},
    };
    for (const Range& r : ranges) {
        if (r.value >= r.lo && r.value <= r.hi) continue;  // NaN fails too
        if (control) *control = r.id;
        if (r.integer) return FormatC("请输入介于 %d 和 %d 之间的整数。", int(r.lo), int(r.hi));
        return FormatC("请输入介于 %g 和 %g 之间的数。", r.lo, r.hi);
    }
    if (control) *control = 0;
    return {};
}

// ---- position capture ------------------------------------------------------------

namespace {

double PerMm(std::int64_t pulses, double ppm) {
    if (!(ppm != 0) || !std::isfinite(ppm)) return 0;
    const double v = static_cast<double>(pulses) / ppm;
    return std::isfinite(v) ? v : 0;
}

// "%0.4f", read back, moved 0.0001 away from zero.
std::string Nudged(double v) { return TeachValueMm(v); }

} // namespace

bool CaptureButtonEnabled(int button, int machineType) {
    const bool offset = button == 1022 || button == 1024 || button == 1027 || button == 1028;
    return !(offset && machineType == 4);
}

std::string CaptureText(int button, const CaptureInputs& in) {
    const bool type4 = in.machineType == 4;
    const std::int64_t camXP = ToPulses(in.camX, in.ppmX);
    const std::int64_t camYP = ToPulses(in.camY, in.ppmY);
    // X2 on type 4 for the buttons that use the second X; the work table's Y.
    const std::int64_t xs = type4 ? in.x2 : in.x;
    const bool tableKnown = !type4 || in.workTable == 1 || in.workTable == 2;
    const std::int64_t ys = type4 ? (in.workTable == 2 ? in.y2 : in.y) : in.y;
    const std::int64_t zeroYs = type4 && in.workTable == 2 ? in.zeroY2 : in.zeroY;
    auto markX = [&] { return PerMm(xs - ToPulses(AtoF(in.originX), in.ppmX) + camXP, in.ppmX); };
    auto markYOwn = [&](std::int64_t y) { return PerMm(y - ToPulses(AtoF(in.originY), in.ppmY) + camYP, in.ppmY); };
    auto offset = [](double measured, const std::string& edit) {
        return FormatMm(AtoF(FormatMm(measured)) - AtoF(edit));
    };
    switch (button) {
    case 1361:
        if (!tableKnown) return "";
        return Nudged(PerMm(ys - zeroYs, in.ppmY));
    case 1362: return Nudged(PerMm(type4 ? in.x2 - in.zeroX2 : in.x - in.zeroX, in.ppmX));
    case 1233: return Nudged(PerMm(in.x, in.ppmX));
    case 1234: return tableKnown ? Nudged(PerMm(ys, in.ppmY)) : FormatMm(0);
    case 1011: return Nudged(PerMm(camXP + xs, in.ppmX));
    case 1012: return tableKnown ? Nudged(PerMm(camYP + ys, in.ppmY)) : FormatMm(0);
    case 1019:
    case 1025: return Nudged(markX());
    case 1020:
    case 1026: return tableKnown ? Nudged(markYOwn(ys)) : FormatMm(0);
    // The offsets use X and Y themselves (they are disabled on type 4).
    case 1022: return offset(PerMm(in.x - ToPulses(AtoF(in.originX), in.ppmX) + camXP, in.ppmX), in.mark1X);
    case 1024: return offset(markYOwn(in.y), in.mark1Y);
    case 1027: return offset(PerMm(in.x - ToPulses(AtoF(in.originX), in.ppmX) + camXP, in.ppmX), in.mark2X);
    case 1028: return offset(markYOwn(in.y), in.mark2Y);
    default: return "";
    }
}

// ---- records ------------------------------------------------------------------------

int PcbEditor::FindPcbIndex() const {
    for (std::size_t i = 0; i < m_PcbRecords.size(); ++i)
        if (m_PcbRecords[i].m_PcbName == m_CurrentPcbName) return static_cast<int>(i);
    return -1;
}

int PcbEditor::FindPcbListIndex() const {
    const std::size_t n = std::min(m_PcbList.size(), m_PcbRecords.size());
    for (std::size_t i = 0; i < n; ++i)
        if (m_PcbList[i].text == m_CurrentPcbName) return static_cast<int>(i);
    return -1;
}

void PcbEditor::FreePcbRecords() {
    m_PcbRecords.clear();
    m_CurrentPcbName.clear();
}

void PcbEditor::CopyPlacementListToCurrent() {
    const int k = FindPcbIndex();
    if (k < 0 || !m_PlacementList.rows) return;
    const std::vector<PlacementItem> items = m_PlacementList.rows();
    auto& rows = m_PcbRecords[k].m_PartRows;
    rows.clear();
    rows.reserve(items.size());
    for (const auto& item : items) rows.push_back(StoredRowFromItem(item));
}

std::vector<std::string> PcbEditor::BuildPcbSection() {
    CopyPlacementListToCurrent();
    return BuildSectionLines(m_PcbRecords);
}

namespace {
std::vector<PlacementItem> ItemsOf(const PcbRecord& r) {
    std::vector<PlacementItem> items;
    items.reserve(r.m_PartRows.size());
    for (const auto& row : r.m_PartRows) items.push_back(ItemFromStoredRow(row));
    return items;
}
} // namespace

void PcbEditor::ParsePcbSection(const std::string& currentPcbName, std::int32_t pcbCount,
                                const std::vector<std::string>& lines) {
    m_CurrentPcbName = currentPcbName;
    if (pcbCount < 1) return;
    ParseSectionLines(lines, pcbCount, m_PcbRecords);
    int k = FindPcbIndex();
    if (k < 0) {
        // The shown record becomes the current one, so that the next save puts the
        // list's rows back where they came from.
        k = 0;
        m_CurrentPcbName = m_PcbRecords[0].m_PcbName;
    }
    const PcbRecord& r = m_PcbRecords[k];
    if (m_PlacementList.setRows) m_PlacementList.setRows(ItemsOf(r));
    CopyRecordToFields(r, m_Fields, r.m_VisualZoom != 0);
    ShowArrayPosition(k);
}

PcbEditor::ParsedSection PcbEditor::ParseSection(const std::string& currentPcbName, std::int32_t pcbCount,
                                                 const std::vector<std::string>& lines) const {
    ParsedSection p;
    p.currentPcbName = currentPcbName;
    if (pcbCount < 1) return p;
    ParseSectionLines(lines, pcbCount, p.records);
    int k = -1;
    for (std::size_t i = 0; i < p.records.size() && k < 0; ++i)
        if (p.records[i].m_PcbName == currentPcbName) k = static_cast<int>(i);
    if (k < 0) {
        // The shown record becomes the current one, so that the next save puts the
        // list's rows back where they came from.
        k = 0;
        p.currentPcbName = p.records[0].m_PcbName;
    }
    p.current = k;
    const PcbRecord& r = p.records[k];
    p.items = ItemsOf(r);
    p.fields = m_Fields;
    CopyRecordToFields(r, p.fields, r.m_VisualZoom != 0);
    return p;
}

void PcbEditor::TakeSection(ParsedSection&& parsed) {
    m_PcbRecords = std::move(parsed.records);
    m_CurrentPcbName = std::move(parsed.currentPcbName);
    if (parsed.current < 0) return;
    m_Fields = std::move(parsed.fields);
    ShowArrayPosition(parsed.current);
}

void PcbEditor::ClearPlacementList() {
    if (m_PlacementList.setRows) m_PlacementList.setRows({});
}

void PcbEditor::ShiftPcbOrigin(double dx, double dy) {
    m_Fields.m_OriginX += dx;
    m_Fields.m_OriginY += dy;
    const int k = FindPcbIndex();
    if (k < 0) return;
    m_PcbRecords[k].m_OriginX += dx;
    m_PcbRecords[k].m_OriginY += dy;
}

bool PcbEditor::ShowArrayPosition(int k) {
    if (k < 0 || k >= PcbRecordCount()) return false;
    const PcbRecord& r = m_PcbRecords[k];
    const PulseFactors& f = ThePulseFactors();
    const RunBoardState state = MakeRunBoard(r, f.m_X_Pulse, f.m_Y_Pulse);
    StoreRunBoard(state);
    m_ArraySource = {true, state, m_CurrentPcbName, r.PartRowCount()};
    ShowArrayPositionAgain();
    return false;
}

void PcbEditor::ShowArrayPositionAgain() {
    if (!m_ArraySource.shown) return;
    const ArraySource& s = m_ArraySource;
    m_ArrayTexts = ArrayPositionText(s.board, s.name, g_LanguageIndex.load(), PartListText("SMTCount"), s.partRows);
    if (m_PlacementList.showStatics) m_PlacementList.showStatics(m_ArrayTexts.position, m_ArrayTexts.count);
}

// ---- the editor -----------------------------------------------------------------------

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return Lower(x) == Lower(y);
           });
}

// The order of a sorted list box: letter case ignored, then byte order.
bool ListBefore(const std::string& a, const std::string& b) {
    const auto la = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                                 [](char x, char y) { return Lower(x) < Lower(y); });
    if (la) return true;
    const auto lb = std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
                                                 [](char x, char y) { return Lower(x) < Lower(y); });
    return !lb && a < b;
}

} // namespace

void PcbEditor::Message(std::string_view suffix, int focus) {
    const std::string& t = m_Texts.Get(suffix);
    plat::MessageBoxOk(t.empty() ? std::string(suffix) : t);
    m_FocusControl = focus;
}

int PcbEditor::InsertListEntry(const std::string& text, bool checked) {
    auto it = std::upper_bound(m_PcbList.begin(), m_PcbList.end(), text,
                               [](const std::string& t, const PcbListEntry& e) { return ListBefore(t, e.text); });
    it = m_PcbList.insert(it, {text, checked});
    return static_cast<int>(it - m_PcbList.begin());
}

void PcbEditor::CheckOnly(int listIndex) {
    for (int i = 0; i < static_cast<int>(m_PcbList.size()); ++i) m_PcbList[i].checked = i == listIndex;
}

void PcbEditor::ClearPanelGrid() { m_Grid.clear(); }

void PcbEditor::BuildPanelGrid(int rows, int cols) {
    rows = std::clamp(rows, 0, kMaxPanelSide);
    cols = std::clamp(cols, 0, kMaxPanelSide);
    m_Grid.assign(rows, std::vector<PanelCell>(cols + 1));
    for (int r = 0; r < rows; ++r) m_Grid[r][0] = {FormatInt(r + 1), 0};
}

void PcbEditor::NumberPanelCells(int rows, int cols) {
    for (int r = 0; r < rows && r < static_cast<int>(m_Grid.size()); ++r)
        for (int c = 1; c <= cols && c < static_cast<int>(m_Grid[r].size()); ++c)
            m_Grid[r][c] = {FormatInt(static_cast<long long>(r) * cols + c), 1};
}

void PcbEditor::CountCells() {
    int n = 0;
    for (const auto& row : m_Grid)
        for (std::size_t c = 1; c < row.size(); ++c) n += row[c].image == 1;
    m_PanelCellCount = n;
}

void PcbEditor::ShowStoredGrid(const PcbRecord& r) {
    ClearPanelGrid();
    if (r.m_PanelGrid.empty()) {
        m_PanelCellCount = 0;
        return;
    }
    BuildPanelGrid(static_cast<int>(r.m_PanelGrid.size()), r.m_PanelCols);
    for (std::size_t i = 0; i < m_Grid.size(); ++i)
        for (std::size_t c = 0; c < m_Grid[i].size() && c < r.m_PanelGrid[i].size(); ++c) {
            const FlaggedCell cell = SplitFlaggedCell(r.m_PanelGrid[i][c]);
            m_Grid[i][c] = {cell.text, cell.flag == "1" ? 1 : (c == 0 ? 0 : -1)};
        }
    CountCells();
}

std::string PcbEditor::CellCountText() const { return m_Texts.Get("c_ArrayNumber") + FormatInt(m_PanelCellCount); }

bool PcbEditor::FrameFits(double scale, double frame) {
    const auto& height = TheCameraPanelPort().imageHeight;
    const int h = height ? height() : 0;
    if (h <= 0) return true;  // no camera panel yet: nothing to measure against
    const double px = std::trunc(scale * frame);
    return !(px > h);
}

void PcbEditor::Open() {
    m_PcbList.clear();
    ClearPanelGrid();
    m_PanelCellCount = 0;
    m_FocusControl = 0;
    for (const auto& r : m_PcbRecords) InsertListEntry(r.m_PcbName, false);
    if (!m_CurrentPcbName.empty()) {
        const int li = FindPcbListIndex();
        if (li >= 0) m_PcbList[li].checked = true;
        const int k = FindPcbIndex();
        if (k >= 0) {
            // The list holds the live rows: keep them in the record, so that OK on
            // the same PCB shows them again.
            CopyPlacementListToCurrent();
            const PcbRecord& r = m_PcbRecords[k];
            CopyRecordToFields(r, m_Fields, r.m_VisualZoom != 0);
            ShowStoredGrid(r);
        }
    }
    m_NameAtOpen = m_CurrentPcbName;
    m_Opened = true;
    m_KeepPanelLight = 1;
    if (TheCameraPanelPort().selectMarkCamera) TheCameraPanelPort().selectMarkCamera();
    m_KeepPanelLight = 0;
}

bool PcbEditor::Ok() {
    m_FocusControl = 0;
    SavePcbEditConfig(m_Fields, ConfigFilePath(m_StartFolder));
    const std::size_t listed = std::min(m_PcbList.size(), m_PcbRecords.size());
    bool anyChecked = false;
    for (std::size_t i = 0; i < listed; ++i) anyChecked = anyChecked || m_PcbList[i].checked;
    if (!anyChecked) return Message("c_Message_01"), false;
    if (m_Fields.m_PcbName.empty()) return Message("c_Message_02", 1092), false;
    if (m_PanelCellCount < 1) return Message("c_Message_01"), false;
    if (!FrameFits(m_Fields.m_VisualZoom, m_Fields.m_VisualBox)) {
        plat::MessageBoxOk(kParameterTooBigText);
        m_FocusControl = 1051;
        return false;
    }
    const int own = FindPcbListIndex();
    for (int i = 0; i < static_cast<int>(m_PcbList.size()); ++i)
        if (i != own && m_PcbList[i].text == m_Fields.m_PcbName) return Message("c_Message_03", 1092), false;
    const int k = FindPcbIndex();
    if (k < 0) return Message("c_Message_01"), false;

    PcbRecord& r = m_PcbRecords[k];
    const PcbEditFields& f = m_Fields;
    r.m_PcbName = m_CurrentPcbName;  // renaming is the Edit button's
    r.m_PcbDescription = f.m_PcbDescription;
    r.m_PanelRows = std::clamp(f.m_PanelRows, 0, kMaxPanelSide);
    r.m_PanelCols = std::clamp(f.m_PanelCols, 0, kMaxPanelSide);
    r.m_RowPitch = f.m_RowPitch;
    r.m_ColPitch = f.m_ColPitch;
    r.m_Thickness = f.m_Thickness;
    r.m_OriginX = f.m_OriginX;
    r.m_OriginY = f.m_OriginY;
    r.m_MarkEnable = f.m_MarkEnable ? 1 : 0;
    r.m_Mark1X = f.m_Mark1X;
    r.m_Mark1Y = f.m_Mark1Y;
    r.m_Mark2X = f.m_Mark2X;
    r.m_Mark2Y = f.m_Mark2Y;
    r.m_VisualZoom = f.m_VisualZoom;
    r.m_ImageColorReversal = f.m_ImageColorReversal ? 1 : 0;
    r.m_VisualBox = f.m_VisualBox;
    r.m_MarkDiameter = f.m_MarkDiameter;
    r.m_LightContrast = f.m_LightContrast;
    r.m_LightBrightness = f.m_LightBrightness;
    r.m_VisualTimes = f.m_VisualTimes;
    r.m_MarkCollectTime = f.m_MarkCollectTime;
    r.m_SpecialMark2 = f.m_SpecialMark2 ? 1 : 0;
    r.m_Mark2LightContrast = f.m_Mark2LightContrast;
    r.m_Mark2LightBrightness = f.m_Mark2LightBrightness;
    r.m_SubBoardMark = f.m_SubBoardMark ? 1 : 0;
    r.m_PanelGrid.assign(r.m_PanelRows, std::vector<std::string>(r.m_PanelCols + 1));
    for (int i = 0; i < r.m_PanelRows; ++i)
        for (int c = 0; c <= r.m_PanelCols; ++c) {
            const PanelCell* cell = i < static_cast<int>(m_Grid.size()) && c < static_cast<int>(m_Grid[i].size())
                                        ? &m_Grid[i][c]
                                        : nullptr;
            r.m_PanelGrid[i][c] = (cell && cell->image == 1 ? "1/" : "0/") + (cell ? cell->text : std::string());
        }

    if (m_PlacementList.setRows) m_PlacementList.setRows(ItemsOf(r));
    // The list now shows this record's rows: a later close keeps it current.
    m_NameAtOpen = m_CurrentPcbName;
    ShowArrayPosition(k);
    auto inRange = [](double v) { return v >= -3.0 && v <= 3.0; };
    if (f.m_ManualMarkOffset && inRange(f.m_Mark1OffsetX) && inRange(f.m_Mark1OffsetY) &&
        inRange(f.m_Mark2OffsetX) && inRange(f.m_Mark2OffsetY) && TheRunPort().computeTwoMarkCorrection)
        TheRunPort().computeTwoMarkCorrection(f.m_Mark1OffsetX, f.m_Mark1OffsetY, f.m_Mark2OffsetX,
                                              f.m_Mark2OffsetY);
    if (m_CloseOnOk == 0) {
        m_CloseOnOk = 1;
        return false;
    }
    const CameraPanelPort& cam = TheCameraPanelPort();
    if (cam.showFrameSizeText) cam.showFrameSizeText(FormatC("%0.1f", f.m_VisualBox));
    if (cam.setContrast) cam.setContrast(f.m_LightContrast);
    if (cam.setBrightness) cam.setBrightness(f.m_LightBrightness);
    m_Opened = false;
    return true;
}

bool PcbEditor::Close() {
    if (!m_PcbRecords.empty() && m_CurrentPcbName.empty()) {
        Message("c_Message_01");
        return false;
    }
    if (m_Opened && m_CurrentPcbName != m_NameAtOpen) {
        // The placement list still shows the rows of the PCB current at opening.
        const std::string chosen = m_CurrentPcbName;
        m_CurrentPcbName = m_NameAtOpen;
        int k = FindPcbIndex();
        if (k < 0) {
            // That PCB is gone: show the chosen one's rows instead of listing the
            // old rows under its name.
            m_CurrentPcbName = chosen;
            k = FindPcbIndex();
            if (k >= 0 && m_PlacementList.setRows) m_PlacementList.setRows(ItemsOf(m_PcbRecords[k]));
        } else {
            const PcbRecord& r = m_PcbRecords[k];
            CopyRecordToFields(r, m_Fields, r.m_VisualZoom != 0);
        }
    }
    m_Opened = false;
    return true;
}

void PcbEditor::Add() {
    m_FocusControl = 0;
    const std::string name = m_Fields.m_PcbName;
    if (name.empty()) return Message("c_Message_02", 1092);
    for (const auto& e : m_PcbList)
        if (EqualNoCase(e.text, name)) return Message("c_Message_04", 1092);
    const int li = InsertListEntry(name, false);
    CheckOnly(li);
    PcbEditFields& f = m_Fields;
    f.m_PcbDescription.clear();
    f.m_RowPitch = f.m_ColPitch = 0;
    f.m_PanelRows = f.m_PanelCols = 1;
    f.m_Thickness = 0;
    f.m_OriginX = f.m_OriginY = 0;
    f.m_MarkEnable = 0;
    f.m_Mark1X = f.m_Mark1Y = f.m_Mark2X = f.m_Mark2Y = 0;
    ClearPanelGrid();
    m_CurrentPcbName = name;

    PcbRecord r;
    r.m_PcbName = name;
    r.m_PanelRows = 1;
    r.m_PanelCols = 1;
    m_PcbRecords.push_back(std::move(r));

    ClearPanelGrid();
    BuildPanelGrid(f.m_PanelRows, f.m_PanelCols);
    NumberPanelCells(f.m_PanelRows, f.m_PanelCols);
    m_PanelCellCount = f.m_PanelRows * f.m_PanelCols;
    m_CloseOnOk = 0;
    Ok();
    m_CloseOnOk = 1;
}

void PcbEditor::Delete() {
    m_FocusControl = 0;
    const int li = FindPcbListIndex();
    const int k = FindPcbIndex();
    // Without a record of that name there is nothing to delete.
    if (li < 0 || k < 0) return Message("c_Message_05");
    m_PcbList.erase(m_PcbList.begin() + li);
    PcbEditFields& f = m_Fields;
    f.m_PcbName.clear();
    f.m_PcbDescription.clear();
    f.m_RowPitch = f.m_ColPitch = f.m_Thickness = f.m_OriginX = f.m_OriginY = 0;
    f.m_Mark1X = f.m_Mark1Y = f.m_Mark2X = f.m_Mark2Y = 0;
    f.m_PanelRows = f.m_PanelCols = 0;
    f.m_MarkEnable = 0;
    ClearPanelGrid();
    m_PanelCellCount = 0;
    if (m_PcbRecords.size() == 1) return FreePcbRecords();
    m_PcbRecords.erase(m_PcbRecords.begin() + k);
    m_CurrentPcbName.clear();
}

void PcbEditor::Paste() {
    m_FocusControl = 0;
    const std::size_t listed = std::min(m_PcbList.size(), m_PcbRecords.size());
    bool anyChecked = false;
    for (std::size_t i = 0; i < listed; ++i) anyChecked = anyChecked || m_PcbList[i].checked;
    const int k = FindPcbIndex();
    if (!anyChecked || k < 0) return Message("c_Message_06");
    const std::string copyName = m_CurrentPcbName + "-copy";
    for (const auto& e : m_PcbList)
        if (e.text == copyName) {
            plat::MessageBoxOk(kHaveCopiedText);
            return;
        }
    InsertListEntry(copyName, false);
    PcbRecord copy = m_PcbRecords[k];
    copy.m_PcbName = m_PcbRecords[k].m_PcbName + "-copy";
    m_PcbRecords.insert(m_PcbRecords.begin() + k + 1, std::move(copy));
}

void PcbEditor::Rename(const std::string& name, const std::string& description) {
    m_FocusControl = 0;
    const int li = FindPcbListIndex();
    if (li < 0) return Message("c_Message_01");
    if (name.empty()) return Message("c_Message_02", 1092);
    // Two records of one name would send every save to the first.
    for (int i = 0; i < static_cast<int>(m_PcbList.size()); ++i)
        if (i != li && m_PcbList[i].text == name) return Message("c_Message_03", 1092);
    m_PcbList[li].text = name;
    CheckOnly(li);
    const int k = FindPcbIndex();
    if (k >= 0) {
        m_PcbRecords[k].m_PcbName = name;
        m_PcbRecords[k].m_PcbDescription = description;
    }
    m_CurrentPcbName = name;
    m_Fields.m_PcbName = name;
    m_Fields.m_PcbDescription = description;
}

void PcbEditor::Select(int listIndex) {
    if (listIndex < 0 || listIndex >= static_cast<int>(m_PcbList.size())) return;
    CheckOnly(listIndex);
    m_CurrentPcbName = m_PcbList[listIndex].text;
    const int k = FindPcbIndex();
    if (k < 0) return;
    CopyRecordToFields(m_PcbRecords[k], m_Fields, true);
    ShowStoredGrid(m_PcbRecords[k]);
}

void PcbEditor::RowsColsChanged() {
    ClearPanelGrid();
    const int rows = std::clamp(m_Fields.m_PanelRows, 0, kMaxPanelSide);
    const int cols = std::clamp(m_Fields.m_PanelCols, 0, kMaxPanelSide);
    BuildPanelGrid(rows, cols);
    NumberPanelCells(rows, cols);
    m_PanelCellCount = rows * cols;
}

void PcbEditor::SelectAllCells(bool all) {
    m_SelectAllCells = all;
    for (auto& row : m_Grid)
        for (std::size_t c = 1; c < row.size(); ++c) row[c].image = all ? 1 : -1;
    if (all) CountCells();
    else m_PanelCellCount = 0;
}

void PcbEditor::ToggleCell(int row, int col) {
    if (row < 0 || row >= static_cast<int>(m_Grid.size()) || col < 1 ||
        col >= static_cast<int>(m_Grid[row].size()))
        return;
    int& image = m_Grid[row][col].image;
    image = image == 1 ? -1 : 1;
    CountCells();
}

} // namespace smt
