// The nozzle library: the holders of the spare nozzles for the automatic nozzle
// change, kept as text rows ("config_nozzle.fig"), and the run-time table in
// pulses that the run and the library's own operations read.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/dialog_captions.h"

namespace smt {

struct BasicSettings;
struct PulseFactors;

inline constexpr int kNozzleCells = 9;
inline constexpr int kNozzleRecords = 19;
inline constexpr int kSameRemarkFlags = 24;

// Cells: 0 number, 1 holder X, 2 holder Y, 3 nozzle-to-pick height, 4 entry X,
// 5 entry Y, 6 entry Z height (mm), 7 vacuum value, 8 remark.
using NozzleRow = std::array<std::string, kNozzleCells>;

struct NozzleRecord {
    std::uint8_t inHolder = 1;                  // 0: a head carries it
    std::int32_t holderX = 0, holderY = 0;      // pulses
    double pickHeight = 0;                      // mm, not converted
    std::int32_t entryX = 0, entryY = 0, entryZ = 0;
    std::array<std::int32_t, 8> headEntryZ{};   // entry Z of heads 1..8
    std::int32_t vacuum = 0;
    std::array<std::uint8_t, kSameRemarkFlags> sameRemark{};
};

// Guarded by NozzleStateMutex() (run_state/nozzle_work.h) with the heads' records.
extern std::array<NozzleRecord, kNozzleRecords> g_NozzleTable;
std::array<NozzleRecord, kNozzleRecords> CopyNozzleTable();

// ---- rows ----------------------------------------------------------------------

// One row per line, cut at each tab; text after the last tab is dropped, cells
// beyond the ninth too.
std::vector<NozzleRow> ParseNozzleRows(const std::vector<std::string>& lines);
// The nine cells of every row, each followed by a tab.
std::vector<std::string> BuildNozzleLines(const std::vector<NozzleRow>& rows);

// Converts the first 19 rows into `table` with the pulse factors and the heads'
// Z-to-feeder heights; records beyond the row count and the in-holder flags
// stay as they were.
void BuildNozzleRecords(const std::vector<NozzleRow>& rows, double xPulse, double yPulse, double zPulse,
                        const std::array<double, 8>& zToFeed,
                        std::array<NozzleRecord, kNozzleRecords>& table);
// m_Z_Nozzle1ToFeed .. m_Z_Nozzle8ToFeed.
std::array<double, 8> ZToFeedHeights(const BasicSettings& b);

// ---- the library's settings (config.ini section NozzleListConfig) --------------

struct NozzleListConfig {
    int m_InAndOutExtern = 0;
    double m_Distance = 100;  // mm, 1 .. 100; a stored 0 reads as 100
    int m_Delay = 0;          // ms, 0 .. 10000
};
NozzleListConfig LoadNozzleListConfig(const std::string& configPath);
bool SaveNozzleListConfig(const NozzleListConfig& c, const std::string& configPath);

// ---- the library as the view holds it -------------------------------------------

class NozzleLibrary {
public:
    NozzleLibrary();

    // The cell table from the frame's nozzle lines (start-up).
    void ParseRows(const std::vector<std::string>& lines) { m_rows = ParseNozzleRows(lines); }
    void BuildLines(std::vector<std::string>& lines) const { lines = BuildNozzleLines(m_rows); }
    // g_NozzleTable from the cell table with the live pulse factors and heights.
    void BuildNozzleTable() const;
    // Holder and entry X += dX, Y += dY for every row, then the frame's lines.
    void ShiftNozzleCoordinates(double dX, double dY, std::vector<std::string>& lines);
    void FreeTable() { m_rows.clear(); }

    std::vector<NozzleRow>& Rows() { return m_rows; }
    const std::vector<NozzleRow>& Rows() const { return m_rows; }

    NozzleListConfig m_Config;
    DialogCaptions m_ListTexts;
    DialogCaptions m_EditTexts;

private:
    std::vector<NozzleRow> m_rows;
};

NozzleLibrary& TheNozzleLibrary();

// Every record in its holder, every head record's head and nozzle 0.
void ResetNozzleStates();

// A row other than `selectedRow` has `number` in cell 0.
bool IsNozzleNumberTaken(const std::vector<NozzleRow>& rows, int number, int selectedRow);

// ---- the dialog's start and head box ----------------------------------------------

// Head box items by machine type ("A1" ..; none on 4, 6, 8, 9).
std::vector<std::string> NozzleHeadItems(int machineType);
// The head index of a box selection: an empty box (or none chosen) is head 1.
int NozzleHeadIndex(int comboSelection);
// The in-holder flags of rows 0 and 1 by the strategy's m_ChangeNozzleSelect.
void ApplyChangeNozzleSelect(int changeNozzleSelect);
// Per head 1..8 the text of its static, for records with a head number 1..8.
std::array<std::optional<std::string>, 8> HeadNozzleTexts();

// ---- the editor ------------------------------------------------------------------

struct NozzleEditValues {
    int number = 0;
    std::string remark;
    double holderX = 0, holderY = 0, pickHeight = 0;
    double entryX = 0, entryY = 0, entryZ = 0;
    int vacuum = 0;
};
NozzleEditValues NozzleEditFromRow(const NozzleRow& row);
NozzleRow NozzleRowFromEdit(const NozzleEditValues& v);

// A field's range as the editor takes it; the message names the range.
struct NozzleFieldRange {
    double low, high;
};
std::string RangeMessage(const NozzleFieldRange& r);

enum class NozzleEditOk { Accept, FocusNumber, Stay, FocusRemark };
// The editor's OK checks in order: number taken, holder X differs from entry X
// (question), empty remark. Shows the boxes.
NozzleEditOk CheckNozzleEdit(const NozzleEditValues& v, bool numberTaken, const DialogCaptions& texts);

// A take button's text for a counter (X, Y): the taught value.
std::string TakePositionText(std::int32_t counter, double factor);
// Z take: refused with "Z Pos Error !" unless zLimit <= counter <= 0.
std::optional<std::string> TakeZText(std::int32_t counter, std::int32_t zLimitPulses, double zFactor);
// CX / CY: the holder under the camera.
std::string TakeCameraCentredText(std::int32_t counter, double cameraToNozzle1, double factor);

enum class UniformColumn { PickHeight = 3, EntryZ = 6, Vacuum = 7 };
// The value may be written into the whole column (heights -100 .. 0, vacuum 0 .. 100).
bool UniformValueInRange(UniformColumn column, const std::string& text);
void WriteUniformColumn(std::vector<NozzleRow>& rows, UniformColumn column, const std::string& text);

// Z jog axis and direction of a head (0-based head index) for the jog pad.
struct NozzleZJog {
    int axis = 2;
    int upDirection = 1;
};
NozzleZJog NozzleJogAxis(int machineType, int headIndex);
// "To=Z": the move to the entry Z text; nullopt with "The data should be - !".
struct NozzleZMove {
    int axis = 2;
    int direction = 1;
    std::int32_t pulses = 0;
};
std::optional<NozzleZMove> PlanMoveToEntryZ(int machineType, int headIndex, double entryZ, double zFactor,
                                            std::int32_t zCounter);

} // namespace smt
