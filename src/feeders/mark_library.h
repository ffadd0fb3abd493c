// The independent mark library: named local fiducials, one row of 16 text cells
// each ("config_mark.fig"), the editor's fields, and the run's look-up by name.
// One lock guards the table: the window edits it while a run may be reading it.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "feeders/text_table.h"
#include "settings/dialog_captions.h"

namespace smt {

inline constexpr int kMarkCells = 16;
inline constexpr int kMarkNameLimit = 20;  // characters

struct MarkEditValues {
    std::string name;
    double mark1X = 0, mark1Y = 0, mark2X = 0, mark2Y = 0;
    int allowOffset = 0;  // X pulses
    double visualSize = 0, diameter = 0;
    int precision = 0, contrast = 0, brightness = 0, captureTime = 0, repetitions = 0;
    bool reverse = false;
    double table1 = 0, table2 = 0;
};
TextRow MarkRowFromEdit(const MarkEditValues& v);
MarkEditValues MarkEditFromRow(const TextRow& row);
// The first field outside its range (a caption-free name of it), or none.
std::optional<std::pair<double, double>> MarkFieldOutOfRange(const MarkEditValues& v);
// Characters (code points) of a UTF-8 text.
int CharacterCount(const std::string& text);

// The allowed deviation in mm (edit 1056).
std::string AllowedDeviationText(int allowOffset, double xPulse);
// "CX" / "CY": (counter - base) / factor, "%0.4f", read back, 0.0001 away from zero.
double CaptureOffset(std::int32_t counter, std::int32_t base, double factor);

// The counters "CX" and "CY" read (X, Y, X2, Y2) and the one-key clear's bases.
struct MarkCounters {
    std::array<std::int32_t, 4> now{}, base{};
};
// The Mark 1 offsets after "CX" / "CY" on a machine type with the jog's work table.
void CaptureX(MarkEditValues& v, const MarkCounters& c, int machineType, double xPulse);
void CaptureY(MarkEditValues& v, const MarkCounters& c, int machineType, int workTable, double yPulse);

// What the run takes of an entry: cells 1, 2 and 5 to 13.
struct MarkEntry {
    double mark1X = 0, mark1Y = 0;
    int allowOffset = 0;
    double visualSize = 0, diameter = 0;
    int precision = 0, contrast = 0, brightness = 0, captureTime = 0, repetitions = 0;
    bool reverse = false;
};

class MarkLibrary {
public:
    MarkLibrary();

    void ParseRows(const std::vector<std::string>& lines);
    void JoinRows(std::vector<std::string>& lines) const;
    bool IsMarkNameTaken(const std::string& name) const;
    void FreeTable();

    // The run's look-up: the first entry of that name, copied under the lock.
    std::optional<MarkEntry> LookUp(const std::string& name) const;

    // The window's commands on the editor's fields, each under the lock.
    void Add();
    // Rewrites the remembered row; the old name when the name changed.
    std::optional<std::string> Modify();
    bool LoadEditor();
    bool Delete();
    void Sort(int column);

    std::vector<TextRow> Rows() const;
    int Count() const;

    int m_Remembered = 0;
    MarkEditValues m_Edit;
    std::array<std::int32_t, 4> m_Base{};  // X, Y, X2, Y2 at the one-key clear
    DialogCaptions m_ListTexts;
    DialogCaptions m_EditTexts;

private:
    mutable std::mutex m_lock;
    TextTable m_table{kMarkCells};
};

MarkLibrary& TheMarkLibrary();

// The entry a placement row names in its own-mark cell; none: placed without it.
std::optional<MarkEntry> LookUpMarkEntry(const std::string& name);

} // namespace smt
