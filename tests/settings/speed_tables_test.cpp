#include <gtest/gtest.h>

#include <tuple>

#include "settings/speed_tables.h"

namespace smt {
namespace {

constexpr int kChinese = 0, kEnglish = 1, kGerman = 2;

// 17 cells: the name and one "start / run" cell per drive.
std::string TemplateText(const std::string& name, int start, int run) {
    std::string row = name + "\t";
    for (int d = 0; d < kSpeedDriveCount; ++d) row += FormatSpeedCell(start + d, run + d) + "\t";
    return row;
}

TEST(SpeedTables, FieldOrderIsStartThenRunPerDrive) {
    SpeedTypeTable t;
    for (int i = 0; i < 32; ++i) t.SetValue(i, 100 + i);
    EXPECT_EQ((std::vector<int>{t.m_Start_X, t.m_Normal_X, t.m_Start_Y, t.m_Normal_Z2, t.m_Start_WestWalk,
                                t.m_Normal_AutoWalk2}),
              (std::vector<int>{100, 101, 102, 107, 116, 131}));
    EXPECT_EQ(t.Pair(kDriveEastLift), (SpeedPair{126, 127}));
    t.SetPair(kDriveA3, {7, 9});
    EXPECT_EQ(t.m_Start_A3, 7);
    EXPECT_EQ(t.m_Normal_A3, 9);
    // Out-of-range indexes neither read nor write anything.
    t.SetValue(32, 5);
    EXPECT_EQ(t.Value(-1), 0);
    EXPECT_EQ(t.Value(32), 0);
}

// Exact match only: case and blanks count, other names and unknown languages stay.
TEST(SpeedTables, BuiltInNamesFollowTheLanguage) {
    const std::tuple<const char*, int, const char*> rows[] = {
        {"Reset speed", kChinese, "复位速度"},       {"复位速度", kEnglish, "Reset speed"},
        {"视觉对中速度", kGerman, "Visual aglinment speed"}, {"Pick chip speed 1", kChinese, "取芯片速度1"},
        {"reset speed", kChinese, "reset speed"},   {"Reset speed ", kChinese, "Reset speed "},
        {"我的速度", kEnglish, "我的速度"},          {"Reset speed", 5, "Reset speed"}};
    for (const auto& [name, language, want] : rows) EXPECT_EQ(TranslateSpeedName(name, language), want) << name;
    EXPECT_STREQ(SpeedTypeName(6), "m_AutoNozzle_Speed");
    EXPECT_STREQ(SpeedTypeName(7), "");
}

TEST(SpeedTables, CellsSplitAtTheSlashAndScaleWithoutReachingZero) {
    std::string start, run;
    EXPECT_TRUE(SplitSpeedCell("5 / 30", start, run));
    EXPECT_EQ(start + "|" + run, "5|30");
    EXPECT_EQ(FormatSpeedCell(20, 80), "20 / 80");
    // Only " / " separates; "5/30" is one speed for both, as is a bare number.
    EXPECT_FALSE(SplitSpeedCell("5/30", start, run));
    EXPECT_EQ(start, "5/30");
    const std::pair<const char*, SpeedPair> cells[] = {
        {"20 / 80", {20, 80}}, {"5/30", {5, 5}}, {"40", {40, 40}}, {"", {0, 0}}, {"x / 12abc", {0, 12}}};
    for (const auto& [text, pair] : cells) EXPECT_EQ(ParseSpeedCell(text), pair) << text;

    // The one-key scale truncates, never below 1; a cell without " / " stays.
    std::string out;
    for (auto [cell, percent, want] : {std::tuple{"1 / 3", 50, "1 / 1"}, {"200 / 255", 99, "198 / 252"},
                                       {"10 / 100", 70, "7 / 70"}}) {
        ASSERT_TRUE(ScaleSpeedCell(cell, percent, out)) << cell;
        EXPECT_EQ(out, want);
    }
    out = "kept";
    EXPECT_FALSE(ScaleSpeedCell("100", 50, out));
    EXPECT_EQ(out, "kept");
}

TEST(SpeedTables, RowCellsAreCutAtSeventeenAndTheTailIgnored) {
    std::string text;
    for (int i = 0; i < 20; ++i) text += "c" + std::to_string(i) + "\t";
    text += "tail";
    const SpeedTemplateRow row = ParseTemplateRow(text, kChinese);
    EXPECT_EQ(row[0] + "|" + row[16], "c0|c16");
    // "after" has no tab behind it.
    const SpeedTemplateRow shortRow = ParseTemplateRow("name\t1 / 2\tafter", kChinese);
    EXPECT_EQ(shortRow[0] + "|" + shortRow[1] + "|" + shortRow[2] + "|" + shortRow[16], "name|1 / 2||");
    EXPECT_EQ(JoinTemplateRow(shortRow), "name\t1 / 2\t" + std::string(15, '\t'));
}

TEST(SpeedTables, LoadingBuildsThreeClassesFromTheRows) {
    std::vector<std::string> rows = {
        TemplateText("Reset speed", 10, 50), TemplateText("Fast", 20, 90),   // high
        TemplateText("Reset speed", 7, 35), TemplateText("Fast", 14, 63),    // medium
        TemplateText("Reset speed", 4, 20), TemplateText("Fast", 8, 36),     // low
        TemplateText("stray", 1, 1),                                         // beyond 3R
    };
    const SpeedTemplateTables t = SpeedTemplateTables::FromRows(rows, kChinese);
    ASSERT_EQ(t.Count(), 2);
    ASSERT_EQ(t.m_MediumSpeedTable.size(), 2u);
    ASSERT_EQ(t.m_LowSpeedTable.size(), 2u);
    EXPECT_EQ((std::vector<std::string>{t.m_HighSpeedTable[0][0], t.m_LowSpeedTable[0][0],
                                        t.m_MediumSpeedTable[1][0], t.m_HighSpeedTable[1][1],
                                        t.m_MediumSpeedTable[1][16], t.m_LowSpeedTable[0][2]}),
              (std::vector<std::string>{"复位速度", "复位速度", "Fast", "20 / 90", "29 / 78", "5 / 21"}));

    // Stored back: the stray row is gone, the built-in name is in the current language.
    const std::vector<std::string> stored = t.ToRows();
    ASSERT_EQ(stored.size(), 6u);
    EXPECT_EQ(stored[0], TemplateText("复位速度", 10, 50));
    EXPECT_EQ(stored[3], rows[3]);
    EXPECT_EQ(SpeedTemplateTables::FromRows(stored, kChinese), t);

    // The same rows in English.
    EXPECT_EQ(SpeedTemplateTables::FromRows(stored, kEnglish).m_HighSpeedTable[0][0], "Reset speed");
}

TEST(SpeedTables, FewerThanThreeRowsGiveNoTemplates) {
    EXPECT_EQ(SpeedTemplateTables::FromRows({}, kChinese).Count(), 0);
    EXPECT_EQ(SpeedTemplateTables::FromRows({"a\t", "b\t"}, kChinese).Count(), 0);
    EXPECT_TRUE(SpeedTemplateTables::FromRows({"a\t", "b\t"}, kChinese).ToRows().empty());
}

} // namespace
} // namespace smt
