// The lamp table of the double-dispensing machine (type 4): up to ten points,
// point k in rows 2k (table Y1) and 2k+1 (table Y2) of g_LampTable, kept with the
// project as 20 text lines. The lamp run reads and writes the table from its own
// threads, so every access goes through LampTableMutex() (these services take it).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace smt {

inline constexpr int kLampPoints = 10;
inline constexpr const char* kPlatform1 = "平台1";
inline constexpr const char* kPlatform2 = "平台2";

// ---- cells -----------------------------------------------------------------------

// A copy of the cell; "" for a row or column outside the table.
std::string GetLampCell(int row, int column);
// false (nothing changed) for a row outside 0..19 or a column outside 0..39.
bool SetLampCell(int row, int column, std::string text);
// All 20 rows of 40 cells, one copy taken under the lock.
std::vector<std::vector<std::string>> LampTableRows();
void SetLampTableRows(const std::vector<std::vector<std::string>>& rows);

// ---- one point as the editor holds it --------------------------------------------

// A stroke's cells: offsets X, Y, dispensing height, valve-open height, bottom
// delay, valve-close height, close delay (cells 14..20, 21..27, 28..34).
struct LampStrokeValues {
    double offsetX = 0, offsetY = 0;
    double height = 0, valveOpen = 0;
    std::int32_t bottomDelay = 0;
    double valveClose = 0;
    std::int32_t closeDelay = 0;
};

// Cells 0..34 of one row.
struct LampPointValues {
    std::string m_PointNo;   // cell 0
    std::string m_Platform;  // cell 1
    std::int32_t m_MarkCheck = 1;
    double m_MarkX = 0, m_MarkY = 0;
    std::int32_t m_MarkOffsetX = 0, m_MarkOffsetY = 0;  // pulses
    double m_PointX = 0, m_PointY = 0;
    double m_PointOffsetX = 0, m_PointOffsetY = 0;
    double m_Z = 0;
    std::int32_t m_StartSpeed = 0, m_RunSpeed = 0;
    std::array<LampStrokeValues, 3> m_Strokes{};  // red glue, one-point silver, two-point silver
};

// Cells 2..34 in the table's formats ("%d" or "%0.4f"), index = cell - 2.
std::vector<std::string> LampValueCells(const LampPointValues& v);
// A row's cells read back (numbers with atoi/atof).
LampPointValues LampValuesFromCells(const std::vector<std::string>& row);

// "平台2" is table 2; every other text (an editor opened by Add) is table 1.
int LampTableOfPlatform(const std::string& platform);

// ---- the list window's members and its commands (plain part) ---------------------

struct LampCounters {
    std::int32_t m_CountSet = 1, m_CountFinish = 0, m_CountUnfinish = 1;
};

class LampMachineList {
public:
    // The 20 list rows at the window's start: cells 1..39 from the table, cell 0
    // "%d" of row / 2 + 1 for a row in use.
    void InitRows();
    const std::vector<std::vector<std::string>>& Rows() const { return m_Rows; }

    // Add: false (nothing changed) with 10 points; else rows 2k, 2k+1 take the
    // values and the table follows the list.
    bool AddPoint(const LampPointValues& v);
    // Edit of m_LampItem: cells 2..34 of that row only. false when no row in use.
    bool EditPoint(const LampPointValues& v);
    // The values the editor opens with for m_LampItem; nullopt when not in use.
    std::optional<LampPointValues> ItemValues() const;
    // Delete of m_LampItem with its partner row; false when no row in use.
    bool DeletePoint();

    // "确定修改" with fields 1005 and 1008: 0 when taken, else the field that
    // was put back (1005 or 1008) and gets the focus.
    int OnConfirmCounts(std::int32_t newSet, std::int32_t change);

    std::atomic<int> m_PointCount{0};
    int m_LampItem = 0;
    LampCounters m_Counters;
    std::int32_t m_CountChange = 0;

private:
    bool ItemInUse() const;
    void CopyRowsToTable();
    std::vector<std::vector<std::string>> m_Rows;
};

LampMachineList& TheLampMachineList();

// ---- services ----------------------------------------------------------------------

// Rows 2k and 2k+1 := the values, cell 0 k+1, cell 1 "平台1" / "平台2". false
// for k outside 0..9.
bool StoreLampPoint(int k, const LampPointValues& v);
// Later pairs move up one pair, rows 18 and 19 end empty; the point count goes
// down only when the pair was in use (never below 0). k outside 0..9: nothing.
void DeleteLampPoint(int k);
// g_LampTableLines from g_LampTable: 20 lines of 40 TAB-terminated cells and CR LF.
void WriteLampTableLines();
// The empty table and its lines (a new start, a project without lamp lines).
void WriteLampTableLines2();
// Every row refilled from its line (a missing cell is empty, cells past the 40th
// are dropped); the point count = rows holding "平台1".
void ReadLampTableLines();

// ---- targets and strokes of the lamp run and the editor ----------------------------

struct LampTargets {
    std::optional<std::int32_t> x, x2, y, y2;
};
// The target pulses of point k (kind 1 point, 2 red glue, 3 one-point silver, 4
// two-point silver) on table 1 or 2; kinds outside 1..4 set nothing, another
// table leaves Y unset. Pure: `ComputeLampPointTargets` publishes it.
LampTargets LampPointTargets(int k, int kind, int table);
void ComputeLampPointTargets(int k, int kind, int table);

struct LampDispenseParams {
    std::int32_t height = 0, valveOpen = 0, valveClose = 0;  // Z pulses
    std::int32_t bottomDelay = 0, closeDelay = 0;            // ms
    std::int32_t startSpeed = 0, runSpeed = 0;
};
extern LampDispenseParams g_LampDispenseParams;
// Stroke 0, 1, 2 of point k on table 1 or 2 into `into`; another stroke keeps the
// five stroke values, the speeds are always taken.
void LoadLampPointDispenseParams(int k, int stroke, int table, LampDispenseParams& into);
void LoadLampPointDispenseParams(int k, int stroke, int table);

// ---- counters in config.ini ----------------------------------------------------------

void LoadLampCounters(const std::string& startFolder);
bool SaveLampCounters(const std::string& startFolder);

} // namespace smt
