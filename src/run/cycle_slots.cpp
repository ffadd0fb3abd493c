// The rows of a cycle: the fill rule over the nozzle slots, the first slot's
// search that tells the end of the list from a refused row, and the present flags
// the feeder companion sets when a cycle starts.
#include "run/placement_run.h"

#include <algorithm>

#include "base/captions.h"
#include "base/globals.h"
#include "platform/files.h"
#include "run/run_rows.h"
#include "run/run_steps.h"
#include "run_state/nozzle_work.h"

namespace smt {

namespace {
bool SameFeeder(const NozzleSlot& a, const NozzleSlot& b) {
    return a.bankCode == b.bankCode && a.feederNumber == b.feederNumber;
}
} // namespace

int FillCycleSlots(PartListStore& partList, int group, int rowCount, int headCount) {
    const int heads = std::min(headCount, 8);
    const int slots = heads >= 4 ? 4 : heads > 1 ? 2 : 1;
    int count = 1;
    for (int k = 2; k <= slots; ++k) {
        Slot(k).row = Slot(k - 1).row + 1;
        if (!FindNextPlaceRow(partList, group, rowCount, k, Slot(k).row)) {
            for (int j = k; j <= heads; ++j) Slot(j).row = -1;
            break;
        }
        count = k;
    }
    g_LoadedNozzleCount = count;
    return count;
}

FirstSlot FindFirstSlot(PartListStore& partList, int group, int rowCount, int& cursor) {
    if (FindNextPlaceRow(partList, group, rowCount, 1, cursor)) return FirstSlot::Found;
    return cursor >= rowCount ? FirstSlot::EndOfList : FirstSlot::Refused;
}

namespace {
std::string RowMessage(const char* key, const char* const (&builtin)[3], int row, const std::string& rowNumber) {
    const int lang = g_LanguageIndex.load();
    const int i = lang >= 0 && lang < 3 ? lang : 0;
    std::string text = LoadCaption(plat::CurrentDirectory(), kLanguageNames[i], "PlacementRunConfig", key, builtin[i]);
    text += " " + std::to_string(row + 1);
    if (!rowNumber.empty()) text += " (" + rowNumber + ")";
    return text;
}
} // namespace

std::string RefusedRowText(int row, const std::string& rowNumber) {
    static const char* const builtin[] = {"该行元件找不到可用的料架，运行停止 ! 行:",
                                          "No usable feeder for this row, the run stops ! Row:",
                                          "Kein verwendbarer Feeder für diese Zeile, der Lauf endet ! Zeile:"};
    return RowMessage("PlacementRun.c_Message_01", builtin, row, rowNumber);
}

std::string OffTravelRowText(int row, const std::string& rowNumber) {
    static const char* const builtin[] = {
        "该行元件的贴装位置超出行程，取料前运行停止 ! 行:",
        "The place position of this row lies outside the travel limits, the run stops before its pick ! Row:",
        "Die Bestückposition dieser Zeile liegt außerhalb des Verfahrwegs, der Lauf endet vor dem Aufnehmen ! Zeile:"};
    return RowMessage("PlacementRun.c_Message_02", builtin, row, rowNumber);
}

void SetPresentFlags() {
    NozzleSlot& s1 = Slot(1);
    NozzleSlot& s2 = Slot(2);
    if (s1.row < 0) {
        s1.presented1 = 0;
        return;
    }
    s1.presented1 = 1;
    s1.presented2 = 1;
    if (s2.row >= 0 && !SameFeeder(s1, s2)) {
        s2.presented1 = 1;
        s2.presented2 = 1;
    } else {
        s2.presented1 = 0;
    }
}

} // namespace smt
