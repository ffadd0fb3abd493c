#include "joblist/lamp_table.h"

#include <algorithm>

#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "link/positioning.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/section_keys.h"

namespace smt {

LampDispenseParams g_LampDispenseParams;

namespace {

using Lock = std::lock_guard<std::mutex>;

bool RowOk(int row) { return row >= 0 && row < kLampRows; }
bool CellOk(int row, int column) { return RowOk(row) && column >= 0 && column < kLampCells; }
std::string& Cell(int row, int column) { return g_LampTable[static_cast<std::size_t>(row) * kLampCells + column]; }

// Cells written with "%d"; the others of 2..34 with "%0.4f".
bool IntegerCell(int c) {
    switch (c) {
    case 2: case 5: case 6: case 12: case 13: case 18: case 20: case 25: case 27: case 32: case 34: return true;
    default: return false;
    }
}

std::vector<std::string> EmptyRow() { return std::vector<std::string>(kLampCells); }

int RowOf(int k, int table) { return table == 1 ? 2 * k : 2 * k + 1; }

std::string EmptyLine() { return std::string(kLampCells, '\t') + "\r\n"; }

// Both under the lock.
void RebuildLines() {
    g_LampTableLines.clear();
    for (int r = 0; r < kLampRows; ++r) {
        std::string line;
        for (int c = 0; c < kLampCells; ++c) line += Cell(r, c) + '\t';
        g_LampTableLines.push_back(line + "\r\n");
    }
}

void FillRow(int row, const LampPointValues& v, int number, const char* platform) {
    Cell(row, 0) = FormatInt(number);
    Cell(row, 1) = platform;
    const auto cells = LampValueCells(v);
    for (int c = 2; c <= 34; ++c) Cell(row, c) = cells[c - 2];
}

} // namespace

// ---- cells -------------------------------------------------------------------------

std::string GetLampCell(int row, int column) {
    if (!CellOk(row, column)) return {};
    Lock lock(LampTableMutex());
    return Cell(row, column);
}

bool SetLampCell(int row, int column, std::string text) {
    if (!CellOk(row, column)) return false;
    Lock lock(LampTableMutex());
    Cell(row, column) = std::move(text);
    return true;
}

std::vector<std::vector<std::string>> LampTableRows() {
    Lock lock(LampTableMutex());
    std::vector<std::vector<std::string>> rows(kLampRows, EmptyRow());
    for (int r = 0; r < kLampRows; ++r)
        for (int c = 0; c < kLampCells; ++c) rows[r][c] = Cell(r, c);
    return rows;
}

void SetLampTableRows(const std::vector<std::vector<std::string>>& rows) {
    Lock lock(LampTableMutex());
    for (int r = 0; r < kLampRows; ++r)
        for (int c = 0; c < kLampCells; ++c)
            Cell(r, c) = r < static_cast<int>(rows.size()) && c < static_cast<int>(rows[r].size()) ? rows[r][c]
                                                                                                  : std::string();
}

// ---- values ----------------------------------------------------------------------

std::vector<std::string> LampValueCells(const LampPointValues& v) {
    std::vector<double> d(35, 0.0);
    d[2] = v.m_MarkCheck;
    d[3] = v.m_MarkX, d[4] = v.m_MarkY;
    d[5] = v.m_MarkOffsetX, d[6] = v.m_MarkOffsetY;
    d[7] = v.m_PointX, d[8] = v.m_PointY;
    d[9] = v.m_PointOffsetX, d[10] = v.m_PointOffsetY;
    d[11] = v.m_Z;
    d[12] = v.m_StartSpeed, d[13] = v.m_RunSpeed;
    for (int s = 0; s < 3; ++s) {
        const LampStrokeValues& st = v.m_Strokes[s];
        const int b = 14 + 7 * s;
        d[b] = st.offsetX, d[b + 1] = st.offsetY, d[b + 2] = st.height, d[b + 3] = st.valveOpen;
        d[b + 4] = st.bottomDelay, d[b + 5] = st.valveClose, d[b + 6] = st.closeDelay;
    }
    std::vector<std::string> out;
    for (int c = 2; c <= 34; ++c)
        out.push_back(IntegerCell(c) ? FormatInt(static_cast<long long>(d[c])) : FormatMm(d[c]));
    return out;
}

LampPointValues LampValuesFromCells(const std::vector<std::string>& row) {
    auto s = [&](int c) -> std::string { return c < static_cast<int>(row.size()) ? row[c] : std::string(); };
    auto f = [&](int c) { return AtoF(s(c)); };
    auto i = [&](int c) { return static_cast<std::int32_t>(AtoI(s(c))); };
    LampPointValues v;
    v.m_PointNo = s(0);
    v.m_Platform = s(1);
    v.m_MarkCheck = i(2);
    v.m_MarkX = f(3), v.m_MarkY = f(4);
    v.m_MarkOffsetX = i(5), v.m_MarkOffsetY = i(6);
    v.m_PointX = f(7), v.m_PointY = f(8);
    v.m_PointOffsetX = f(9), v.m_PointOffsetY = f(10);
    v.m_Z = f(11);
    v.m_StartSpeed = i(12), v.m_RunSpeed = i(13);
    for (int k = 0; k < 3; ++k) {
        LampStrokeValues& st = v.m_Strokes[k];
        const int b = 14 + 7 * k;
        st.offsetX = f(b), st.offsetY = f(b + 1), st.height = f(b + 2), st.valveOpen = f(b + 3);
        st.bottomDelay = i(b + 4), st.valveClose = f(b + 5), st.closeDelay = i(b + 6);
    }
    return v;
}

int LampTableOfPlatform(const std::string& platform) { return platform == kPlatform2 ? 2 : 1; }

// ---- the list window -----------------------------------------------------------------

void LampMachineList::InitRows() {
    m_Rows = LampTableRows();
    for (int r = 0; r < kLampRows; ++r)
        m_Rows[r][0] = m_Rows[r][1].empty() ? std::string() : FormatInt(r / 2 + 1);
}

void LampMachineList::CopyRowsToTable() { SetLampTableRows(m_Rows); }

bool LampMachineList::ItemInUse() const {
    return m_LampItem >= 0 && m_LampItem < static_cast<int>(m_Rows.size()) && !m_Rows[m_LampItem][1].empty();
}

bool LampMachineList::AddPoint(const LampPointValues& v) {
    const int k = m_PointCount.load();
    if (k >= kLampPoints || k < 0) return false;
    if (m_Rows.size() != static_cast<std::size_t>(kLampRows)) InitRows();
    const auto cells = LampValueCells(v);
    for (int t = 0; t < 2; ++t) {
        auto& row = m_Rows[2 * k + t];
        row[0] = FormatInt(k + 1);
        row[1] = t == 0 ? kPlatform1 : kPlatform2;
        for (int c = 2; c <= 34; ++c) row[c] = cells[c - 2];
    }
    CopyRowsToTable();
    ++m_PointCount;
    return true;
}

std::optional<LampPointValues> LampMachineList::ItemValues() const {
    if (!ItemInUse()) return std::nullopt;
    return LampValuesFromCells(m_Rows[m_LampItem]);
}

bool LampMachineList::EditPoint(const LampPointValues& v) {
    if (!ItemInUse()) return false;
    const auto cells = LampValueCells(v);
    for (int c = 2; c <= 34; ++c) m_Rows[m_LampItem][c] = cells[c - 2];
    CopyRowsToTable();
    return true;
}

bool LampMachineList::DeletePoint() {
    if (!ItemInUse()) return false;
    const int first = m_LampItem - m_LampItem % 2;
    m_Rows.erase(m_Rows.begin() + first, m_Rows.begin() + first + 2);
    m_Rows.push_back(EmptyRow());
    m_Rows.push_back(EmptyRow());
    CopyRowsToTable();
    if (m_PointCount.load() > 0) --m_PointCount;
    return true;
}

int LampMachineList::OnConfirmCounts(std::int32_t newSet, std::int32_t change) {
    LampCounters& c = m_Counters;
    const auto wide = [](std::int32_t v) { return static_cast<std::int64_t>(v); };
    if (wide(newSet) - 3 < c.m_CountFinish) return 1005;
    c.m_CountUnfinish = static_cast<std::int32_t>(wide(c.m_CountUnfinish) + newSet - c.m_CountSet);
    c.m_CountSet = newSet;
    if (wide(c.m_CountSet) + change - 3 < c.m_CountFinish) return 1008;
    m_CountChange = change;
    c.m_CountUnfinish += change;
    c.m_CountSet += change;
    return 0;
}

LampMachineList& TheLampMachineList() {
    static LampMachineList list;
    return list;
}

// ---- services ---------------------------------------------------------------------------

bool StoreLampPoint(int k, const LampPointValues& v) {
    if (k < 0 || k >= kLampPoints) return false;
    Lock lock(LampTableMutex());
    FillRow(2 * k, v, k + 1, kPlatform1);
    FillRow(2 * k + 1, v, k + 1, kPlatform2);
    return true;
}

void DeleteLampPoint(int k) {
    if (k < 0 || k >= kLampPoints) return;
    bool inUse = false;
    {
        Lock lock(LampTableMutex());
        inUse = !Cell(2 * k, 1).empty() || !Cell(2 * k + 1, 1).empty();
        for (int r = 2 * k; r < kLampRows - 2; ++r)
            for (int c = 0; c < kLampCells; ++c) Cell(r, c) = Cell(r + 2, c);
        for (int r = kLampRows - 2; r < kLampRows; ++r)
            for (int c = 0; c < kLampCells; ++c) Cell(r, c).clear();
    }
    auto& count = TheLampMachineList().m_PointCount;
    if (inUse && count.load() > 0) --count;
}

void WriteLampTableLines() {
    Lock lock(LampTableMutex());
    if (g_LampTable.size() != static_cast<std::size_t>(kLampRows * kLampCells))
        g_LampTable.assign(kLampRows * kLampCells, std::string());
    RebuildLines();
}

void WriteLampTableLines2() {
    Lock lock(LampTableMutex());
    g_LampTable.assign(kLampRows * kLampCells, std::string());
    g_LampTableLines.assign(kLampRows, EmptyLine());
}

void ReadLampTableLines() {
    int points = 0;
    {
        Lock lock(LampTableMutex());
        g_LampTable.assign(kLampRows * kLampCells, std::string());
        for (int r = 0; r < kLampRows && r < static_cast<int>(g_LampTableLines.size()); ++r) {
            const auto cells = SplitRow(g_LampTableLines[r]);
            for (int c = 0; c < kLampCells && c < static_cast<int>(cells.size()); ++c) Cell(r, c) = cells[c];
        }
        for (int r = 0; r < kLampRows; ++r)
            for (int c = 0; c < kLampCells; ++c)
                if (Cell(r, c) == kPlatform1) {
                    ++points;
                    break;
                }
    }
    TheLampMachineList().m_PointCount = std::min(points, kLampPoints);
}

// ---- targets and strokes ---------------------------------------------------------------------

LampTargets LampPointTargets(int k, int kind, int table) {
    LampTargets t;
    if (kind < 1 || kind > 4 || k < 0 || k >= kLampPoints) return t;
    const int row = RowOf(k, table);
    std::vector<std::string> cell(35);
    {
        Lock lock(LampTableMutex());
        for (int c = 0; c < 35; ++c) cell[c] = Cell(row, c);
    }
    const auto f = [&](int c) { return AtoF(cell[c]); };
    const double fx = ThePulseFactors().m_X_Pulse, fy = ThePulseFactors().m_Y_Pulse;
    const BasicSettings& b = TheBasicSettings();
    double pointX = f(7) + f(9), pointY = f(8) + f(10), headX = 0, headY = 0;
    if (kind >= 2) {
        const int offset = kind == 2 ? 14 : kind == 3 ? 21 : 28;
        pointX = f(7) + f(offset);
        pointY = f(8) + f(offset + 1);
        headX = kind == 2 ? b.m_X_Nozzle5ToNozzle1 : b.m_X_Nozzle6ToNozzle1;
        headY = kind == 2 ? b.m_Y_Nozzle5ToNozzle1 : b.m_Y_Nozzle6ToNozzle1;
    }
    const std::int32_t x = AddPulses({ToPulses(f(3), fx), ToPulses(pointX, fx), -static_cast<std::int64_t>(ToPulses(headX, fx)),
                                      AtoI(cell[5])});
    const std::int32_t y = AddPulses({ToPulses(f(4), fy), ToPulses(pointY, fy), -static_cast<std::int64_t>(ToPulses(headY, fy)),
                                      AtoI(cell[6])});
    (kind == 1 ? t.x : t.x2) = x;
    if (table == 1) t.y = y;
    else if (table == 2) t.y2 = y;
    return t;
}

void ComputeLampPointTargets(int k, int kind, int table) {
    const LampTargets t = LampPointTargets(k, kind, table);
    if (t.x) g_TargetPulseX = *t.x;
    if (t.x2) g_TargetPulseX2 = *t.x2;
    if (t.y) g_TargetPulseY = *t.y;
    if (t.y2) g_TargetPulseY2 = *t.y2;
}

void LoadLampPointDispenseParams(int k, int stroke, int table, LampDispenseParams& into) {
    if (k < 0 || k >= kLampPoints) return;
    const int row = RowOf(k, table);
    std::vector<std::string> cell(35);
    {
        Lock lock(LampTableMutex());
        for (int c = 0; c < 35; ++c) cell[c] = Cell(row, c);
    }
    if (stroke >= 0 && stroke <= 2) {
        const int b = 16 + 7 * stroke;
        const double fz = ThePulseFactors().m_Z_Pulse;
        into.height = ToPulses(AtoF(cell[b]), fz);
        into.valveOpen = ToPulses(AtoF(cell[b + 1]), fz);
        into.bottomDelay = AtoI(cell[b + 2]);
        into.valveClose = ToPulses(AtoF(cell[b + 3]), fz);
        into.closeDelay = AtoI(cell[b + 4]);
    }
    into.startSpeed = AtoI(cell[12]);
    into.runSpeed = AtoI(cell[13]);
}

void LoadLampPointDispenseParams(int k, int stroke, int table) {
    LampDispenseParams p;
    {
        Lock lock(LampTableMutex());
        p = g_LampDispenseParams;
    }
    LoadLampPointDispenseParams(k, stroke, table, p);
    Lock lock(LampTableMutex());
    g_LampDispenseParams = p;
}

// ---- counters ------------------------------------------------------------------------------

namespace {
using CK = SectionKey<LampCounters>;
constexpr std::array<CK, 3> kCounterKeys{{
    {"m_CountSet", nullptr, &LampCounters::m_CountSet},
    {"m_CountFinish", nullptr, &LampCounters::m_CountFinish},
    {"m_CountUnfinish", nullptr, &LampCounters::m_CountUnfinish},
}};
constexpr const char* kCounterSection = "LampMachineListConfig";
} // namespace

void LoadLampCounters(const std::string& startFolder) {
    LampCounters c;
    LoadSectionKeys<LampCounters>(c, kCounterSection, kCounterKeys, ConfigFilePath(startFolder));
    if (c.m_CountSet == 0) c.m_CountSet = 1;
    TheLampMachineList().m_Counters = c;
}

bool SaveLampCounters(const std::string& startFolder) {
    return SaveSectionKeys<LampCounters>(TheLampMachineList().m_Counters, kCounterSection, kCounterKeys,
                                         ConfigFilePath(startFolder));
}

} // namespace smt
