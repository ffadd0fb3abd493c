// The feeder-group table in the lines of "config_feed.fig".
#include <gtest/gtest.h>

#include "base/tablefile.h"
#include "feeders_fixture.h"
#include "test_support.h"

using namespace smt;
using namespace smt::test;
using Lines = std::vector<std::string>;

TEST(FeedGroupFile, FreedSlotsAreSkippedAndTheReloadPacksTheGroups) {
    FillFeederWords();
    FeedGroupTable t;
    ReadTable(t, TableLines("S2", {{"S0", {"E1"}}, {"S1", {}}, {"S2", {"G1"}}, {"S3", {}}, {"S4", {}}, {"S5", {"E5"}}}));
    for (const char* gone : {"S1", "S3", "S4"}) ASSERT_TRUE(t.DeleteFeedGroup(gone));
    Lines lines;
    WriteFeedGroupTable(t, lines);
    EXPECT_EQ(lines, TableLines("S2", {{"S0", {"E1"}}, {"S2", {"G1"}}, {"S5", {"E5"}}}));
    FeedGroupTable back;
    Lines copy = lines;
    ASSERT_TRUE(ReadFeedGroupTable(back, copy));
    EXPECT_TRUE(copy.empty());  // consumed
    EXPECT_EQ(back.Capacity(), 13);
    EXPECT_EQ(back.FindFeedGroupByName("S0"), 0);
    EXPECT_EQ(back.FindFeedGroupByName("S2"), 1);
    EXPECT_EQ(back.FindFeedGroupByName("S5"), 2);
    Lines again;
    WriteFeedGroupTable(back, again);
    EXPECT_EQ(again, lines);
}

TEST(FeedGroupFile, EmptyTableUsedUpTrayLineBreaksAndTranslation) {
    FillFeederWords();
    ScriptedResponder boxes;
    FeedGroupTable t;
    Lines none;
    EXPECT_FALSE(ReadFeedGroupTable(t, none));
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"没有料架数组 !"}));
    EXPECT_EQ(t.Capacity(), 10);
    EXPECT_EQ(t.OpenGroupName(), "");
    WriteFeedGroupTable(t, none);
    EXPECT_EQ(none, Lines{"0\t\t"});

    // A description with a line break stays one line of the container.
    ASSERT_EQ(t.AddFeedGroup("N", "line 1\r\nline 2"), 0);
    Lines lines;
    WriteFeedGroupTable(t, lines);
    Lines decoded;
    ASSERT_TRUE(DecodeTableFile(EncodeTableFile(lines, nullptr), decoded, nullptr));
    FeedGroupTable back;
    ReadFeedGroupTable(back, decoded);
    EXPECT_EQ(back.CopyGroup(0)->description, "line 1\r\nline 2");
    ASSERT_TRUE(back.RenameFeedGroup("N", "N", "a\tb"));  // a TAB would shift the cells after it
    WriteFeedGroupTable(back, lines);
    EXPECT_EQ(lines[1], "N\ta b\t0\t");

    // A used-up tray is written as row 0; a Chinese row read in English or German.
    ReadTable(t, TableLines("A", {{"A", {"G1"}}}));
    for (int i = 0; i < 6; ++i) t.AdvanceTray(0, "G1");
    ASSERT_EQ(t.CopyTray(0, "G1")->currentRow, -1);
    WriteFeedGroupTable(t, lines);
    EXPECT_EQ(lines[3], "2\t4\t0\t0\t8.0000\t5.0000\t");
    EXPECT_EQ(t.CopyTray(0, "G1")->currentRow, 0);
    for (int lang : {1, 2}) {
        g_LanguageIndex = lang;
        ReadTable(t, lines);
        const FeedRow row = *t.CopyFeedRow(0, "G1");
        EXPECT_EQ(row[14], lang == 1 ? "Tray" : "Tablett");
        EXPECT_EQ(row[23], "Yes/Picking speed");
    }
    g_LanguageIndex = 0;

    // A table never read is never written: the loaded lines stay.
    FeedGroupTable unread;
    Lines loaded{"1\tA\t"};
    WriteFeedGroupTable(unread, loaded);
    EXPECT_EQ(loaded, Lines{"1\tA\t"});
}

TEST(FeedGroupFile, DamagedFilesEndCleanlyWithTheCompleteGroupsKept) {
    FillFeederWords();
    const Lines good = TableLines("A", {{"A", {"E1"}}, {"B", {"G1", "E2"}}});  // 11 lines
    auto with = [](Lines l, std::size_t i, const std::string& line) { l.at(i) = line; return l; };
    auto cut = [](Lines l, std::size_t n) { l.resize(l.size() - n); return l; };
    std::string longRow = FeederLine("E1");
    for (int k = 0; k < 10; ++k) longRow += "extra\t";
    struct Case { const char* name; Lines lines; const char* groups; int capacity; };
    const Case cases[] = {
        {"complete", good, "A B", 12},
        {"ends in a pocket line", cut(good, 2), "A", 12},
        {"ends in the rows", cut(good, 7), "A", 12},
        {"negative group count", with(good, 0, "-4\tA\t"), "", 10},
        {"absurd group count", with(good, 0, "2000000000\tA\t"), "A B", 20},
        {"negative feeder count", with(good, 1, "A\td\t-3\t"), "A E1", 12},  // the row line reads as the next group
        {"absurd feeder count", with(good, 4, "B\td\t2000000000\t"), "A", 12},
        {"absurd pocket rows", with(good, 7, "2000000000\t4\t0\t0\t1\t1\t"), "A", 12},
        {"negative pocket rows", with(good, 7, "-2\t4\t0\t0\t1\t1\t"), "A B", 12},
        {"over-long feeder line", with(good, 2, longRow), "A B", 12},
        {"empty group name", with(good, 1, "\td\t1\t"), "B", 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FeedGroupTable t;
        Lines lines = c.lines;
        ReadFeedGroupTable(t, lines);
        std::string names;
        for (const auto& n : t.GroupNames()) names += (names.empty() ? "" : " ") + n;
        EXPECT_EQ(names, c.groups);
        EXPECT_EQ(t.Capacity(), c.capacity);
        EXPECT_EQ(t.GroupCount(), static_cast<int>(t.GroupNames().size()));
    }

    // Cells beyond 30 and beyond the columns value are dropped; columns are capped.
    Lines lines = with(with(good, 2, longRow), 7, "2\t2000000000\t0\t0\t1\t1\t");
    lines[8] = "a\tb\tc\t";
    lines.push_back("left over\t");
    FeedGroupTable t;
    ReadFeedGroupTable(t, lines);
    EXPECT_EQ((*t.CopyFeedRow(0, "E1"))[29], "c29");
    const TrayRecord tray = *t.CopyTray(1, "G1");
    EXPECT_EQ(tray.columns, kMaxTrayColumns);
    EXPECT_EQ(tray.Pocket(0, 2), "c");
    EXPECT_EQ(tray.Pocket(0, 3), "");
    EXPECT_EQ(lines, Lines{"left over\t"});  // lines after the last group stay
    Lines pocketsCut = with(good, 7, "2\t2\t0\t0\t1\t1\t");
    pocketsCut[8] = "x\ty\tz\t";
    FeedGroupTable u;
    ReadFeedGroupTable(u, pocketsCut);
    ASSERT_TRUE(u.CopyTray(1, "G1"));
    EXPECT_EQ(u.CopyTray(1, "G1")->grid.at(0), (std::vector<std::string>{"x", "y"}));
}

// A tray stored from the dialog, its first full pocket away from row 0 and column 0,
// is written byte for byte: every row holds columns + 1 cells, each "Yes/" or "No/".
TEST(FeedGroupFile, TrayFromTheDialogIsWrittenByteForByte) {
    FillFeederWords();
    FeedGroupTable t;
    ReadTable(t, TableLines("A", {{"A", {"E1", "G2"}}}));
    FakeTrayGrid grid;
    for (int r = 0; r < 3; ++r) {
        grid.InsertRow(r, std::to_string(r + 1));
        for (int c = 1; c <= 4; ++c) grid.SetPocket(r, c, "p" + std::to_string(r) + std::to_string(c), feedicon::None);
    }
    for (auto [r, c] : {std::pair{1, 3}, {1, 4}, {2, 2}}) grid.cells[{r, c}].second = kPocketFull;
    ASSERT_TRUE(t.StoreFeederTray("G2", 3, 4, 7.25, 4.5, grid));
    Lines lines;
    WriteFeedGroupTable(t, lines);
    ASSERT_EQ(lines.size(), 9u);
    const Lines tray(lines.begin() + 4, lines.end());
    EXPECT_EQ(tray, (Lines{"0\t0\t0\t0\t0.0000\t0.0000\t",
                           "3\t5\t1\t2\t7.2500\t4.5000\t",
                           "No/1\tNo/p01\tNo/p02\tNo/p03\tNo/p04\t",
                           "No/2\tNo/p11\tNo/p12\tYes/p13\tYes/p14\t",
                           "No/3\tNo/p21\tYes/p22\tNo/p23\tNo/p24\t"}));
    // Read back, the pocket and the current position come out where they were.
    FeedGroupTable back;
    Lines copy = lines;
    ASSERT_TRUE(ReadFeedGroupTable(back, copy));
    const TrayRecord read = *back.CopyTray(0, "G2");
    EXPECT_EQ(read.currentRow, 1);
    EXPECT_EQ(read.currentColumn, 2);
    EXPECT_EQ(read.Pocket(2, 2), "Yes/p22");
    EXPECT_EQ(read, *t.CopyTray(0, "G2"));
}

// A damaged file whose tray line claims the most columns over many short pocket lines
// is written back no larger than it was read: each row keeps the pockets it holds.
TEST(FeedGroupFile, ShortPocketRowsAreNotPaddedToTheColumnsValue) {
    FillFeederWords();
    Lines lines = TableLines("A", {{"A", {"G1"}}});
    ASSERT_EQ(lines[3], "2\t4\t0\t0\t8.0000\t5.0000\t");
    const std::size_t rows = 2000;
    lines[3] = std::to_string(rows) + "\t99999\t7\t3\t8.0000\t5.0000\t";
    lines.resize(4);
    for (std::size_t r = 0; r < rows; ++r)
        lines.push_back(r % 3 == 0 ? "" : r % 3 == 1 ? "Yes/" + std::to_string(r) + "\t" : "No/a\tYes/b\t");
    std::size_t readBytes = 0;
    for (const auto& l : lines) readBytes += l.size();
    const Lines original = lines;

    FeedGroupTable t;
    ReadTable(t, lines);
    ASSERT_EQ(t.CopyTray(0, "G1")->columns, kMaxTrayColumns);
    Lines written;
    WriteFeedGroupTable(t, written);
    std::size_t writtenBytes = 0;
    for (const auto& l : written) writtenBytes += l.size();
    EXPECT_LE(writtenBytes, readBytes);
    ASSERT_EQ(written.size(), original.size());
    EXPECT_EQ(written[3], std::to_string(rows) + "\t10001\t7\t3\t8.0000\t5.0000\t");
    EXPECT_TRUE(std::equal(written.begin() + 4, written.end(), original.begin() + 4));
    // A row read longer than the columns value keeps only that many pockets.
    Lines narrow = TableLines("A", {{"A", {"G1"}}});
    narrow[4] = "Yes/1\tYes/2\tYes/3\tYes/4\tYes/5\tYes/6\t";
    FeedGroupTable n;
    ReadTable(n, narrow);
    WriteFeedGroupTable(n, written);
    EXPECT_EQ(written[4], "Yes/1\tYes/2\tYes/3\tYes/4\t");
    EXPECT_EQ(written[5], narrow[5]);
}

// A tray read away from its first pocket (row 1, column 2 of three rows of four
// pockets, pitches 8 mm between rows and 5 mm between columns): the file's row and
// column stay apart through reading, the run's steps and writing, and each step's
// offset takes the column pitch along X and the row pitch along Y.
TEST(FeedGroupFile, TrayAwayFromTheFirstPocketKeepsRowAndColumnApart) {
    FillFeederWords();
    Lines lines = TableLines("A", {{"A", {"E1", "G1"}}});
    ASSERT_EQ(lines[4], "0\t0\t0\t0\t0.0000\t0.0000\t");
    ASSERT_EQ(lines[5], "2\t4\t0\t0\t8.0000\t5.0000\t");
    const Lines grid{"Yes/1\tNo/a\tYes/b\tYes/c\tYes/d\t", "Yes/2\tYes/e\tYes/f\tNo/g\tYes/h\t",
                     "Yes/3\tYes/i\tYes/j\tYes/k\tYes/l\t"};
    lines[5] = "3\t5\t1\t2\t8.0000\t5.0000\t";
    lines.erase(lines.begin() + 6, lines.begin() + 8);
    lines.insert(lines.begin() + 6, grid.begin(), grid.end());
    FeedGroupTable t;
    ReadTable(t, lines);
    const TrayRecord read = *t.CopyTray(0, "G1");
    EXPECT_EQ((std::vector<int>{read.rows, read.columns, read.currentRow, read.currentColumn}),
              (std::vector<int>{3, 5, 1, 2}));
    EXPECT_EQ(std::pair(read.rowPitch, read.columnPitch), std::pair(8.0, 5.0));
    EXPECT_EQ(read.Pocket(1, 3), "No/g");
    EXPECT_EQ(read.Pocket(2, 1), "Yes/i");

    struct Step { int advances; const char* line; double dx, dy; };
    const Step steps[] = {
        {0, "3\t5\t1\t2\t8.0000\t5.0000\t", 10, 8},  // as read: column 2 x 5 mm, row 1 x 8 mm
        {1, "3\t5\t1\t3\t8.0000\t5.0000\t", 15, 8},  // the last pocket of row 1
        {1, "3\t5\t2\t0\t8.0000\t5.0000\t", 0, 16},  // the next row's first pocket
        {2, "3\t5\t2\t2\t8.0000\t5.0000\t", 10, 16},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.line);
        for (int i = 0; i < s.advances; ++i) ASSERT_TRUE(t.AdvanceTray(0, "G1"));
        const auto plan = t.PlanTrayPick(0, "G1");
        ASSERT_TRUE(plan);
        EXPECT_FALSE(plan->usedUp || plan->gridMissing);
        EXPECT_EQ(std::pair(plan->dx, plan->dy), std::pair(s.dx, s.dy));
        Lines written;
        WriteFeedGroupTable(t, written);
        ASSERT_EQ(written.size(), lines.size());
        EXPECT_EQ(written[5], s.line);
        EXPECT_EQ(Lines(written.begin() + 6, written.end()), grid);
        FeedGroupTable back;
        ReadTable(back, written);
        EXPECT_EQ(*back.CopyTray(0, "G1"), *t.CopyTray(0, "G1"));
    }
}
