// Sorting by each key and the two-head pairing, as one table each.
#include <gtest/gtest.h>

#include "joblist/list_sort.h"

using namespace smt;
using Lines = std::vector<std::string>;

namespace {

// Rows whose cell `cell` holds the texts; cell 0 numbers them so they can be followed.
std::vector<JobRow> RowsWith(int cell, const Lines& texts) {
    std::vector<JobRow> rows;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        JobRow r(kPartCells);
        r.Set(0, "", static_cast<int>(i));
        r.cells[15] = "n" + std::to_string(i);
        r.cells[cell] = texts[i];
        r.Set(partcell::Vision, i % 2 ? "Yes" : "No", i % 2 ? rowicon::VisionYes : rowicon::VisionNo);
        rows.push_back(r);
    }
    return rows;
}

Lines Column(const PartListStore& s, int cell) {
    Lines out;
    for (const auto& r : s.Rows(JobList::Part)) out.push_back(r.Cell(cell));
    return out;
}

FeedRow Feeder(const std::string& id, const std::string& height) {
    FeedRow f;
    f[feedcell::Id] = id;
    f[8] = height;
    return f;
}

} // namespace

TEST(ListSort, EachKey) {
    const std::vector<FeedRow> feeders{Feeder("E1", "2.5"), Feeder("E2", "0.5"), Feeder("E1", "9")};
    struct Case { int key; int cell; Lines in, out; };
    const Case cases[] = {
        {9, partcell::Feeder, {"E3", "S1", "W2", "N1", "E10"}, {"E3", "E10", "S1", "W2", "N1"}},
        {9, partcell::Feeder, {"G2", "S1", "1", "E1"}, {"1", "E1", "G2", "S1"}},  // G and unlettered rank with E
        {7, partcell::Place, {"No", "Yes", "No", "Yes"}, {"Yes", "Yes", "No", "No"}},
        {0, 0, {"10", "9", "x", "-1"}, {"-1", "x", "9", "10"}},               // non-numbers read as 0
        {3, partcell::Angle, {"270", "90abc", "0"}, {"0", "90abc", "270"}},
        {1, partcell::X, {"2.5", "-1e1", "abc", "10"}, {"-1e1", "abc", "2.5", "10"}},
        {20, partcell::Feeder, {"E1", "missing", "E2"}, {"missing", "E2", "E1"}},  // missing feeder = height 0
        {4, partcell::Name, {"b", "B", "é", "a"}, {"B", "a", "b", "é"}},          // UTF-16 code units
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        PartListStore s;
        s.SetRows(JobList::Part, RowsWith(c.cell, c.in));
        const auto before = s.Rows(JobList::Part);
        s.m_SortKey = c.key;
        SortPartRows(s, JobList::Part, feeders);
        EXPECT_EQ(Column(s, c.cell), c.out);
        // Every row keeps its own cells and icons.
        for (const auto& r : s.Rows(JobList::Part)) {
            const int i = std::stoi(r.Cell(15).substr(1));
            EXPECT_EQ(r.cells, before[i].cells);
            EXPECT_EQ(r.icons, before[i].icons);
        }
    }
    // Missing feeders compare equal under key 20.
    const auto rows = RowsWith(partcell::Feeder, {"gone", "other"});
    EXPECT_EQ(ComparePartRows(rows[0], rows[1], 20, HeightsOf(feeders)), 0);
}

TEST(ListSort, TwoHeadPairing) {
    struct Case { Lines in, out; };
    const Case cases[] = {
        {{"E1", "E1", "E1", "E2", "E2"}, {"E1", "E2", "E1", "E2", "E1"}},
        {{"E1", "E1", "E1"}, {"E1", "E1", "E1"}},
        {{"E1", "E2", "E2", "E2", "E3"}, {"E1", "E2", "E3", "E2", "E2"}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        PartListStore s;
        auto rows = RowsWith(partcell::Feeder, c.in);
        for (auto& r : rows) r.cells[partcell::Place] = "Yes";
        s.SetRows(JobList::Part, rows);
        PairRowsForTwoHeads(s);
        EXPECT_EQ(Column(s, partcell::Feeder), c.out);
    }
    // A moved row gets its flag icons from its texts.
    PartListStore s;
    auto rows = RowsWith(partcell::Feeder, {"E1", "E1", "E2"});
    rows[2].cells[partcell::Place] = "No";
    s.SetRows(JobList::Part, rows);
    PairRowsForTwoHeads(s);
    const JobRow moved = *s.Row(JobList::Part, 1);
    EXPECT_EQ(moved.Cell(15), "n2");
    EXPECT_EQ(moved.Icon(partcell::Place), rowicon::No);
    EXPECT_EQ(moved.Icon(partcell::Vision), rowicon::VisionNo);
}
