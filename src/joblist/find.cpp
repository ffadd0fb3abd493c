#include "joblist/find.h"

#include "joblist/run_toolbar.h"

namespace smt {

FindResult FindInPartList(PartListStore& store, const std::string& text, bool next) {
    if (text.empty()) return {};
    if (store.RowCount(JobList::Part) == 0) return {FindOutcome::EmptyList};
    int start = 0;
    {
        auto lock = store.Hold();
        int& item = store.m_PartItem;
        if (next && item < 0) return {};
        if (item < 0) item = 0;
        store.SetSelected(JobList::Part, item, false);
        if (next) ++item;
        start = item;
    }
    const auto hit = FindCell(store, text, start, kPartCells);
    auto lock = store.Hold();
    if (!hit) {
        store.m_PartItem = 0;
        return {FindOutcome::Miss};
    }
    store.SetSelected(JobList::Part, hit->row, true);
    store.m_PartItem = hit->row;
    return {FindOutcome::Hit, hit->row, hit->column};
}

} // namespace smt
