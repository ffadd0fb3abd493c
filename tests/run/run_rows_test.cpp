// The shared list routines of the run: the row searches over the part list's
// row store and the progress statics.
#include <gtest/gtest.h>

#include "joblist/part_list.h"
#include "run/run_rows.h"

namespace smt::test {
namespace {

JobRow Row(JobList list, const char* flag, bool selected, const char* feeder = "") {
    JobRow r(CellCount(list));
    r.cells[list == JobList::Dis ? kDisFlagCell : partcell::Place] = flag;
    if (list == JobList::Part) r.cells[partcell::Feeder] = feeder;
    r.selected = selected;
    return r;
}

class RowSearch : public ::testing::Test {
protected:
    void SetUp() override {
        store.SetRows(JobList::Part, {Row(JobList::Part, "No", true, "E1"), Row(JobList::Part, "yes", true, "E2"),
                                      Row(JobList::Part, "Yes", false, "E3"), Row(JobList::Part, "Yes ", true, "E4"),
                                      Row(JobList::Part, "Yes", true, "E5")});
        store.SetRows(JobList::Dis, {Row(JobList::Dis, "Yes", false), Row(JobList::Dis, "No", true),
                                     Row(JobList::Dis, "Yes", true)});
        TheRowSearchLookups().FindFeederForPart = [this](int group, const std::string& feeder, int nozzle) {
            asked.push_back(std::to_string(group) + feeder + "/" + std::to_string(nozzle));
            return feeder != "E5";
        };
        TheRowSearchLookups().FindFeederDirection = [this](int group, const std::string& feeder) {
            asked.push_back(std::to_string(group) + feeder);
            return true;
        };
    }
    void TearDown() override { TheRowSearchLookups() = {}; }
    PartListStore store;
    std::vector<std::string> asked;
};

TEST_F(RowSearch, ExactYesFromTheCursorSelectedOnlyAndTheDispensingTwin) {
    struct Case {
        bool selectedOnly;
        int from;
        bool found;
        int cursor;
    };
    // "yes" and "Yes " never count; the selected-only run skips row 2.
    const std::vector<Case> cases = {
        {false, -1, true, 2}, {false, 3, false, 4}, {false, 5, false, 5}, {true, -1, false, 4}, {true, 0, false, 4},
    };
    for (const Case& c : cases) {
        store.m_RunSelectedOnly[0] = c.selectedOnly;
        int cursor = c.from;
        EXPECT_EQ(FindNextPlaceRow(store, 3, 5, 2, cursor), c.found) << c.from;
        EXPECT_EQ(cursor, c.cursor) << c.from;
    }
    EXPECT_EQ(asked, (std::vector<std::string>{"3E3/2", "3E5/2", "3E5/2", "3E5/2"}));
    // A shorter row count ends the search there; the bank search asks only the bank.
    store.m_RunSelectedOnly[0] = 0;
    int cursor = 3;
    EXPECT_FALSE(FindNextPlaceRow(store, 3, 4, 1, cursor));
    EXPECT_EQ(cursor, 4);
    cursor = -1;
    EXPECT_TRUE(FindNextPlaceRowForBank(store, 1, 5, cursor));
    EXPECT_EQ(asked.back(), "1E3");
    // The dispensing twin: its own flag cell and selection, no look-up.
    const std::size_t looked = asked.size();
    for (int selectedOnly : {0, 1}) {
        store.m_RunSelectedOnly[1] = selectedOnly;
        cursor = -1;
        EXPECT_TRUE(FindNextDispenseRow(store, 3, cursor));
        EXPECT_EQ(cursor, selectedOnly ? 2 : 0);
    }
    ++cursor;
    EXPECT_FALSE(FindNextDispenseRow(store, 3, cursor));
    EXPECT_EQ(cursor, 3);
    EXPECT_EQ(asked.size(), looked);
}

TEST(RunProgress, TextsByLanguageAndCount) {
    PartListStore store;
    store.SetLabels("old", "old count");
    ShowRunProgress(store, "PCB1", 2, 0, 0, 5);  // German: nothing
    EXPECT_EQ(store.PcbLabel(), "old");
    EXPECT_EQ(store.CountLabel(), "old count");
    ShowRunProgress(store, "PCB1", 0, 1, 2, 0);  // count 0 leaves the count
    EXPECT_EQ(store.PcbLabel(), "PCB1拼板：第 2 行第 3 列");
    EXPECT_EQ(store.CountLabel(), "old count");
    ShowRunProgress(store, "PCB1", 1, 0, 0, 7);
    EXPECT_EQ(store.PcbLabel(), "PCB1Array：Row 1 Col 1 ");
    EXPECT_EQ(store.CountLabel(), "Count： 7");
    ShowRunProgress(store, "B", 0, 0, 0, 3);
    EXPECT_EQ(store.CountLabel(), "完成数： 3");
}

} // namespace
} // namespace smt::test
