// The list routines every run thread shares: the search for the next row to
// place or to dispense over the part list's row store (read under its lock),
// the progress statics and the time stamp.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace smt {

class PartListStore;

// The feeder look-ups the searches hand a found row to (the feeder resolution
// fills them); an empty one answers false.
struct RowSearchLookups {
    // Fills the nozzle's slot for the row's feeder number; false when none fits.
    std::function<bool(int group, const std::string& feederNumber, int nozzle)> FindFeederForPart;
    // Resolves only the feeder's bank.
    std::function<bool(int group, const std::string& feederNumber)> FindFeederDirection;
};
RowSearchLookups& TheRowSearchLookups();

// From `cursor` (-1 starts at row 0) to rowCount - 1: the next placement row
// whose place flag is exactly "Yes" (and, when only selected rows run, that is
// selected). Found: the cursor stays on it and the answer is the feeder look-up's.
// None left: false with the cursor at rowCount.
bool FindNextPlaceRow(PartListStore& partList, int group, int rowCount, int nozzle, int& cursor);
bool FindNextPlaceRowForBank(PartListStore& partList, int group, int rowCount, int& cursor);
// The same over the dispensing list's flag cell; true with the cursor on the row.
bool FindNextDispenseRow(PartListStore& partList, int rowCount, int& cursor);

// The progress texts for panel cell (row, col), 0-based, and the finished-board
// count, in interface language 0 Chinese or 1 English; any other writes nothing.
// The count text changes only when the count is not 0.
void ShowRunProgress(PartListStore& partList, const std::string& pcbName, int language, int row, int col,
                     int count);
// The same with the run's PCB name and the live language.
void ShowRunProgress(int row, int col, int count);

void GetTimeStamp(std::int64_t* seconds);

} // namespace smt
