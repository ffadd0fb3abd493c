#include "run/run_rows.h"

#include <ctime>

#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/part_list.h"
#include "run/run_frame.h"

namespace smt {

namespace {

// The first row from the cursor whose flag cell reads exactly "Yes" (and is
// selected when only selected rows run); its feeder cell, or nothing with the
// cursor at rowCount.
bool NextFlaggedRow(PartListStore& store, JobList list, int flagCell, int rowCount, int& cursor,
                    std::string* feeder) {
    const bool selectedOnly = store.m_RunSelectedOnly[static_cast<int>(list)].load() != 0;
    auto lock = store.Hold();
    const std::vector<JobRow>& rows = store.RowsLocked(list);
    for (int r = cursor < 0 ? 0 : cursor; r < rowCount; ++r) {
        if (r >= static_cast<int>(rows.size())) break;
        if (rows[r].Cell(flagCell) != "Yes") continue;
        if (selectedOnly && !rows[r].selected) continue;
        cursor = r;
        if (feeder) *feeder = rows[r].Cell(partcell::Feeder);
        return true;
    }
    cursor = rowCount;
    return false;
}

} // namespace

RowSearchLookups& TheRowSearchLookups() {
    static RowSearchLookups lookups;
    return lookups;
}

bool FindNextPlaceRow(PartListStore& store, int group, int rowCount, int nozzle, int& cursor) {
    std::string feeder;
    if (!NextFlaggedRow(store, JobList::Part, partcell::Place, rowCount, cursor, &feeder)) return false;
    const auto& find = TheRowSearchLookups().FindFeederForPart;
    return find && find(group, feeder, nozzle);
}

bool FindNextPlaceRowForBank(PartListStore& store, int group, int rowCount, int& cursor) {
    std::string feeder;
    if (!NextFlaggedRow(store, JobList::Part, partcell::Place, rowCount, cursor, &feeder)) return false;
    const auto& find = TheRowSearchLookups().FindFeederDirection;
    return find && find(group, feeder);
}

bool FindNextDispenseRow(PartListStore& store, int rowCount, int& cursor) {
    return NextFlaggedRow(store, JobList::Dis, kDisFlagCell, rowCount, cursor, nullptr);
}

void ShowRunProgress(PartListStore& store, const std::string& pcbName, int language, int row, int col, int count) {
    std::string position, counted;
    if (language == 0) {
        position = pcbName + FormatC("拼板：第 %d 行第 %d 列", row + 1, col + 1);
        counted = FormatC("完成数： %d", count);
    } else if (language == 1) {
        position = pcbName + FormatC("Array：Row %d Col %d ", row + 1, col + 1);
        counted = FormatC("Count： %d", count);
    } else {
        return;
    }
    store.SetLabels(position, count != 0 ? counted : store.CountLabel());
}

void ShowRunProgress(int row, int col, int count) {
    ShowRunProgress(ThePartList(), RunPcbName(), g_LanguageIndex.load(), row, col, count);
}

void GetTimeStamp(std::int64_t* seconds) {
    if (seconds) *seconds = static_cast<std::int64_t>(std::time(nullptr));
}

} // namespace smt
