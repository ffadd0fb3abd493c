#include "joblist/list_sort.h"

#include <algorithm>
#include <numeric>

#include "base/numtext.h"
#include "platform/text.h"

namespace smt {

namespace {

enum class KeyKind { Integer, Decimal, TextDescending, Bank, Height, Text };

KeyKind KindOf(int key) {
    switch (key) {
    case 0: case 3: return KeyKind::Integer;
    case 1: case 2: return KeyKind::Decimal;
    case 7: return KeyKind::TextDescending;
    case 9: return KeyKind::Bank;
    case kSortKeyPartHeight: return KeyKind::Height;
    default: return KeyKind::Text;
    }
}

// One row's sort value under a key: computed once per row for the sort.
struct SortValue {
    long long whole = 0;   // integer keys, bank rank
    long long number = 0;  // feeder number within the bank
    double decimal = 0;    // decimal keys, height
    std::u16string text;
};

SortValue ValueOf(const JobRow& row, int key, const FeederHeights& heights) {
    SortValue v;
    const std::string& cell = row.Cell(key == kSortKeyPartHeight ? partcell::Feeder : key);
    switch (KindOf(key)) {
    case KeyKind::Integer: v.whole = AtoI(cell); break;
    case KeyKind::Decimal: v.decimal = AtoF(cell); break;
    case KeyKind::Bank:
        v.whole = BankRank(cell);
        v.number = cell.empty() ? 0 : AtoI(std::string_view(cell).substr(1));
        break;
    case KeyKind::Height: {
        const auto it = heights.find(cell);
        v.decimal = it == heights.end() ? 0.0 : it->second;
        break;
    }
    case KeyKind::TextDescending:
    case KeyKind::Text: v.text = plat::Utf8ToUtf16(cell); break;
    }
    return v;
}

template <typename T>
int Order(const T& a, const T& b) { return a < b ? -1 : (b < a ? 1 : 0); }

int CompareValues(const SortValue& a, const SortValue& b, int key) {
    switch (KindOf(key)) {
    case KeyKind::Integer: return Order(a.whole, b.whole);
    case KeyKind::Decimal:
    case KeyKind::Height: return Order(a.decimal, b.decimal);
    case KeyKind::Bank: return a.whole != b.whole ? Order(a.whole, b.whole) : Order(a.number, b.number);
    case KeyKind::TextDescending: return Order(b.text, a.text);
    case KeyKind::Text: return Order(a.text, b.text);
    }
    return 0;
}

} // namespace

FeederHeights HeightsOf(const std::vector<FeedRow>& feeders) {
    FeederHeights h;
    for (const auto& f : feeders) h.emplace(f[feedcell::Id], AtoF(f[8]));
    return h;
}

int BankRank(const std::string& id) {
    if (id.find('W') != std::string::npos) return 2;
    if (id.find('N') != std::string::npos) return 3;
    if (id.find('E') != std::string::npos) return 0;
    if (id.find('S') != std::string::npos) return 1;
    return 0;
}

int ComparePartRows(const JobRow& a, const JobRow& b, int sortKey, const FeederHeights& heights) {
    return CompareValues(ValueOf(a, sortKey, heights), ValueOf(b, sortKey, heights), sortKey);
}

void SortPartRows(PartListStore& store, JobList list, const std::vector<FeedRow>& feeders) {
    const int key = store.m_SortKey.load();
    const FeederHeights heights = key == kSortKeyPartHeight ? HeightsOf(feeders) : FeederHeights{};
    {
        auto lock = store.Hold();
        auto& rows = store.RowsLocked(list);
        std::vector<SortValue> values;
        values.reserve(rows.size());
        for (const auto& r : rows) values.push_back(ValueOf(r, key, heights));
        std::vector<std::size_t> order(rows.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return CompareValues(values[a], values[b], key) < 0;
        });
        std::vector<JobRow> sorted;
        sorted.reserve(rows.size());
        for (std::size_t i : order) sorted.push_back(std::move(rows[i]));
        rows = std::move(sorted);
    }
    store.Changed(list);
}

void SortPartRows(PartListStore& store, JobList list) {
    SortPartRows(store, list, store.m_SortKey == kSortKeyPartHeight ? OpenGroupFeeders() : std::vector<FeedRow>{});
}

void PairRowsForTwoHeads(PartListStore& store) {
    {
        auto lock = store.Hold();
        auto& rows = store.RowsLocked(JobList::Part);
        const std::size_t n = rows.size();
        for (std::size_t i = 1; i < n; ++i) {
            const std::string& previous = rows[i - 1].cells[partcell::Feeder];
            if (rows[i].cells[partcell::Feeder] != previous) continue;
            std::size_t j = i + 1;
            while (j < n && rows[j].cells[partcell::Feeder] == previous) ++j;
            if (j >= n) continue;
            JobRow moved = std::move(rows[j]);
            rows.erase(rows.begin() + j);
            const bool place = moved.cells[partcell::Place] == "Yes";
            moved.Set(partcell::Place, place ? "Yes" : "No", place ? rowicon::Yes : rowicon::No);
            const bool vision = moved.cells[partcell::Vision] == "Yes";
            moved.Set(partcell::Vision, vision ? "Yes" : "No", vision ? rowicon::VisionYes : rowicon::VisionNo);
            rows.insert(rows.begin() + i, std::move(moved));
        }
    }
    store.Changed(JobList::Part);
}

} // namespace smt
