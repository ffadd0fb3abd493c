// Group operations, trays, translation and the lock of the feeder-group table.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "feeders/feeder_words.h"
#include "feeders_fixture.h"

using namespace smt;
using namespace smt::test;

namespace {

FeedListItem NewItem(const std::string& id) {
    FeedListItem item;
    for (int k = 0; k < kFeedCells; ++k) item.text[static_cast<std::size_t>(k)] = "n" + std::to_string(k);
    item.text[0] = id;
    item.icon12 = feedicon::CameraYes, item.icon13 = feedicon::No, item.icon23 = feedicon::PastedSpeedYes;
    return item;
}

bool Append(FeedGroupTable& t, FakeFeedList& list, const std::string& id) {
    if (!t.BeginAppendFeeder()) return false;
    list.items.push_back(NewItem(id));
    return t.CommitAppendFeeder(list);
}

std::string Cell(const FeedGroupTable& t, const std::string& id, int k) { return (*t.CopyFeedRow(t.OpenUsedSlot(), id))[k]; }
TrayRecord Tray(const FeedGroupTable& t, const std::string& id) { return *t.CopyTray(t.OpenUsedSlot(), id); }

struct OpCase {
    const char* name;
    std::function<bool(FeedGroupTable&, FakeFeedList&)> op;
    bool ok;
    const char* group;  // the group whose identifiers are checked after the operation
    const char* ids;
};

const OpCase kCases[] = {
    {"append after a re-sorted list; flags from the icons", [](FeedGroupTable& t, FakeFeedList& l) {
         std::swap(l.items.front(), l.items.back());
         const bool ok = Append(t, l, "E9");
         EXPECT_EQ(Cell(t, "E9", 12) + Cell(t, "E9", 13) + Cell(t, "E9", 23), "Yes/n12No/n13Yes/n23");
         return ok;
     }, true, "A", "E1 E2 G3 E9"},
    {"cancel", [](FeedGroupTable& t, FakeFeedList&) {
         const bool ok = t.BeginAppendFeeder();
         t.CancelAppendFeeder();
         return ok && !t.AppendPending();
     }, true, "A", "E1 E2 G3"},
    {"append to a group without feeders", [](FeedGroupTable& t, FakeFeedList& l) {
         t.SetOpenGroupName("C");
         t.FillFeedListFromGroup("C", l);
         return Append(t, l, "E1");
     }, true, "C", "E1"},
    {"append and paste refused without an open group", [](FeedGroupTable& t, FakeFeedList& l) {
         t.SetOpenGroupName("");
         bool any = Append(t, l, "E9") || t.PasteFeederIntoGroup("E1", 0, "E8");
         t.SetOpenGroupName("Z");
         return any || Append(t, l, "E9");
     }, false, "A", "E1 E2 G3"},
    {"a tray step and a quantity written while the editor is open survive", [](FeedGroupTable& t, FakeFeedList& l) {
         EXPECT_TRUE(t.BeginAppendFeeder());
         t.AdvanceTray(t.OpenUsedSlot(), "G3");
         t.SetFeederCell(t.OpenUsedSlot(), "E2", 26, "41");
         l.items.push_back(NewItem("E9"));
         const bool ok = t.CommitAppendFeeder(l);
         EXPECT_EQ(Tray(t, "G3").currentColumn, 1);
         EXPECT_EQ(Cell(t, "E2", 26), "41");
         return ok;
     }, true, "A", "E1 E2 G3 E9"},
    {"delete keeps rows and trays aligned", [](FeedGroupTable& t, FakeFeedList&) {
         const bool ok = t.DeleteFeederFromGroup("E2");
         EXPECT_EQ(Tray(t, "G3").rows * 10 + Tray(t, "E1").rows, 20);
         return ok;
     }, true, "A", "E1 G3"},
    {"delete of the only feeder", [](FeedGroupTable& t, FakeFeedList&) {
         t.SetOpenGroupName("B");
         return t.DeleteFeederFromGroup("E7") && t.CopyGroup(t.OpenUsedSlot())->trays.empty();
     }, true, "B", ""},
    {"paste in the middle: own tray copy, used-up trays back to row 0", [](FeedGroupTable& t, FakeFeedList&) {
         for (int i = 0; i < 6; ++i) t.AdvanceTray(t.OpenUsedSlot(), "G3");
         EXPECT_EQ(Tray(t, "G3").currentRow, -1);
         const bool ok = t.PasteFeederIntoGroup("G3", 1, "G4");
         EXPECT_EQ(Tray(t, "G3").currentRow, 0);
         t.AdvanceTray(t.OpenUsedSlot(), "G3");
         EXPECT_EQ(Tray(t, "G4").currentColumn, 0);
         EXPECT_EQ(Tray(t, "G4").grid, Tray(t, "G3").grid);
         EXPECT_EQ(Cell(t, "G4", 5), "c5");
         return ok;
     }, true, "A", "E1 G4 E2 G3"},
    {"paste at the end", [](FeedGroupTable& t, FakeFeedList&) { return t.PasteFeederIntoGroup("E1", 3, "E4"); },
     true, "A", "E1 E2 G3 E4"},
    {"copy of a group with trays", [](FeedGroupTable& t, FakeFeedList&) {
         const bool ok = t.CopyFeedGroupRows("A", "B");
         t.AdvanceTray(t.FindFeedGroupByName("A"), "G3");
         EXPECT_EQ(t.CopyTray(t.FindFeedGroupByName("B"), "G3")->currentColumn, 0);
         return ok;
     }, true, "B", "E1 E2 G3"},
    {"rename of the open group", [](FeedGroupTable& t, FakeFeedList&) {
         bool open = false;
         const bool ok = t.RenameFeedGroup("A", "A2", "new", &open);
         EXPECT_TRUE(open && t.OpenGroupName() == "A2" && t.CopyGroup(t.OpenUsedSlot())->description == "new");
         return ok;
     }, true, "A2", "E1 E2 G3"},
    {"rename of another group; a taken name refused", [](FeedGroupTable& t, FakeFeedList&) {
         bool open = true;
         const bool ok = t.RenameFeedGroup("B", "B2", "", &open) && !t.RenameFeedGroup("B2", "A", "", nullptr);
         EXPECT_TRUE(!open && t.OpenGroupName() == "A");
         return ok;
     }, true, "B2", "E7"},
    {"delete of a group frees the first free slot", [](FeedGroupTable& t, FakeFeedList&) {
         const bool ok = t.DeleteFeedGroup("B");
         EXPECT_EQ(t.GroupCount(), 2);
         EXPECT_EQ(t.AddFeedGroup("D", ""), 1);
         return ok;
     }, true, "B", "<none>"},
};

} // namespace

TEST(FeedGroupTable, GroupOperations) {
    FillFeederWords();
    for (const OpCase& c : kCases) {
        SCOPED_TRACE(c.name);
        FeedGroupTable t;
        ReadTable(t, TableLines("A", {{"A", {"E1", "E2", "G3"}}, {"B", {"E7"}}, {"C", {}}}));
        FakeFeedList list;
        t.FillFeedListFromGroup(t.OpenGroupName(), list);
        EXPECT_EQ(c.op(t, list), c.ok);
        EXPECT_EQ(Ids(t, c.group), c.ids);
        if (t.FindFeedGroupByName("A") >= 0 && std::string(c.group) != "A") {
            EXPECT_EQ(Ids(t, "A"), "E1 E2 G3");
        }
    }
}

TEST(FeedGroupTable, ListShowsFlagsAsIconsAndTranslates) {
    FillFeederWords();
    g_LanguageIndex = 1;
    FeedGroupTable t;
    std::vector<std::string> lines = TableLines("A", {{"A", {"E1", "G2"}}});
    lines[2].replace(lines[2].find("Yes/取料速度"), std::string("Yes/取料速度").size(), "Maybe/手控速度");
    ReadTable(t, lines);
    FakeFeedList list;
    t.FillFeedListFromGroup("A", list);
    ASSERT_EQ(list.items.size(), 2u);
    const FeedListItem& e1 = list.items[0];
    EXPECT_EQ(e1.text[12] + "|" + e1.text[13] + "|" + e1.text[23], "Camera 1|10/20|Manual control");
    EXPECT_EQ(std::vector<int>({e1.icon12, e1.icon13, e1.icon23, list.items[1].icon23}),
              std::vector<int>({feedicon::CameraYes, feedicon::No, feedicon::No, feedicon::SpeedYes}));
    EXPECT_EQ(list.items[1].text[14], "Tray");
    EXPECT_EQ(Cell(t, "E1", 23), "No/Manual control");  // stored back by its icon
    g_LanguageIndex = 0;
}

TEST(FeedGroupTable, TrayRoundTripIconsAndAdvance) {
    FillFeederWords();
    FeedGroupTable t;
    ReadTable(t, TableLines("A", {{"A", {"G1"}}}));
    const int slot = t.OpenUsedSlot();
    t.AdvanceTray(slot, "G1");  // current pocket: row 0, column 1
    FakeTrayGrid grid;
    const auto shape = t.FillTrayGrid("G1", grid);
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->pocketColumns, 3);
    EXPECT_EQ(grid.columns, (std::vector<std::pair<std::string, int>>{{"", 60}, {"1", 33}, {"2", 33}, {"3", 33}}));
    // Icons by place: the pocket taken has none, the rest of the tray is full.
    EXPECT_EQ(std::vector<int>({grid.PocketIcon(0, 1), grid.PocketIcon(0, 2), grid.PocketIcon(1, 1)}),
              std::vector<int>({feedicon::None, kPocketFull, kPocketFull}));
    EXPECT_EQ(grid.PocketText(1, 3) + grid.PocketText(1, 0), "62");

    // Stored back: the first full pocket becomes the current one; no full pocket keeps it.
    grid.cells[{0, 2}].second = feedicon::None;
    ASSERT_TRUE(t.StoreFeederTray("G1", 2, 3, 8.0, 5.0, grid));
    TrayRecord tray = *t.CopyTray(slot, "G1");
    EXPECT_EQ(tray.currentRow * 10 + tray.currentColumn, 2);
    EXPECT_EQ(tray.Pocket(0, 2) + tray.Pocket(0, 3), "No/2Yes/3");
    for (auto& [at, cell] : grid.cells) cell.second = feedicon::None;
    ASSERT_TRUE(t.StoreFeederTray("G1", 2, 3, 8.0, 5.0, grid));
    EXPECT_EQ(t.CopyTray(slot, "G1")->currentColumn, 2);

    // The run's rule: offsets by the pitches, column wrap, used up, back to row 0.
    struct Step { double dx, dy; bool usedUp; };
    const Step steps[] = {{10, 0, false}, {0, 8, false}, {5, 8, false}, {10, 8, false}, {0, 0, true}};
    for (const Step& s : steps) {
        const TrayPickPlan plan = *t.PlanTrayPick(slot, "G1");
        EXPECT_EQ(std::tuple(plan.gridMissing, plan.usedUp, plan.dx, plan.dy), std::tuple(false, s.usedUp, s.dx, s.dy));
        t.AdvanceTray(slot, "G1");
    }
    TrayRecord none;
    EXPECT_TRUE(PlanTrayPick(none).gridMissing);
    none.rows = 3, none.columns = 1;
    EXPECT_TRUE(PlanTrayPick(none).gridMissing);
}

TEST(FeederWords, EveryWordOfEveryBlockTranslatesByIndex) {
    FillFeederWords();
    for (int target = 0; target < 3; ++target) {
        g_LanguageIndex = target;
        for (std::size_t block = 0; block < 3; ++block) {
            for (std::size_t i = 0; i < kFeedModeCount; ++i) {
                // "0402", "48" and "Vibration" occur in several blocks, at the same index.
                const std::string& word = g_FeedModeNames[block * 9 + i];
                EXPECT_EQ(TranslateFeedMode(word), g_FeedModeNames[static_cast<std::size_t>(target) * 9 + i]) << word;
                EXPECT_EQ(FeedModeIndex(word), static_cast<int>(i));
            }
            for (std::size_t i = 0; i < kSpeedNameCount; ++i)
                EXPECT_EQ(TranslateSpeedName(g_SpeedNames[block * 8 + i]), g_SpeedNames[static_cast<std::size_t>(target) * 8 + i]);
        }
    }
    g_LanguageIndex = 2;
    EXPECT_EQ(TranslateOwnSpeedCell("Yes/取料速度"), "Yes/Picking speed");
    EXPECT_EQ(TranslateOwnSpeedCell("取料速度"), "取料速度");  // no "/": stays
    EXPECT_EQ(TranslateFeedMode("Band"), "Band");
    EXPECT_EQ(FeedModeWord(3), "Tablett");
    g_LanguageIndex = 0;
}

// Another thread copies rows and steps trays while this one pastes, appends and
// deletes (the test command runs it under the sanitizers).
TEST(FeedGroupTable, ReadersOnAnotherThreadWhileTheListEdits) {
    FillFeederWords();
    FeedGroupTable t;
    ReadTable(t, TableLines("A", {{"A", {"E1", "E2", "G3"}}}));
    std::atomic<bool> stop{false};
    std::atomic<int> copies{0};
    std::thread reader([&] {
        while (!stop) {
            const int slot = t.FindFeedGroupByName(t.OpenGroupName());
            if (auto row = t.CopyFeedRow(slot, "G3")) copies += (*row)[0] == "G3";
            if (t.PlanTrayPick(slot, "G3")) t.AdvanceTray(slot, "G3");
            t.SetFeederCell(slot, "E1", 26, "7");
        }
    });
    // Under load the reader may start late: let it copy once before the edits begin.
    for (int spins = 0; copies == 0 && spins < 5000; ++spins) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    FakeFeedList list;
    bool ok = true;
    for (int i = 0; i < 300 && ok; ++i) {
        ok = t.PasteFeederIntoGroup("G3", 0, "G9");
        t.FillFeedListFromGroup("A", list);
        ok = ok && Append(t, list, "E9") && t.DeleteFeederFromGroup("G9") && t.DeleteFeederFromGroup("E9");
    }
    stop = true;
    reader.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(Ids(t, "A"), "E1 E2 G3");
    EXPECT_GT(copies.load(), 0);
}
