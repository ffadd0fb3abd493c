#include <gtest/gtest.h>

#include "settings/speed_tables.h"

namespace smt {
namespace {

constexpr int kChinese = 0, kEnglish = 1, kGerman = 2;

std::string Row(std::initializer_list<const char*> cells) {
    std::string row;
    for (const char* c : cells) row += std::string(c) + "\t";
    return row;
}

// 17 cells: the name and one "start / run" cell per drive.
std::string TemplateText(const std::string& name, int start, int run) {
    std::string row = name + "\t";
    for (int d = 0; d < kSpeedDriveCount; ++d) row += FormatSpeedCell(start + d, run + d) + "\t";
    return row;
}

TEST(SpeedTables, FieldOrderIsStartThenRunPerDrive) {
    SpeedTypeTable t;
    for (int i = 0; i < 32; ++i) t.SetValue(i, 100 + i);
    EXPECT_EQ(t.m_Start_X, 100);
    EXPECT_EQ(t.m_Normal_X, 101);
    EXPECT_EQ(t.m_Start_Y, 102);
    EXPECT_EQ(t.m_Normal_Z2, 107);
    EXPECT_EQ(t.m_Start_WestWalk, 116);
    EXPECT_EQ(t.m_Normal_AutoWalk2, 131);
    EXPECT_EQ(t.Pair(kDriveEastLift), (SpeedPair{126, 127}));
    t.SetPair(kDriveA3, {7, 9});
    EXPECT_EQ(t.m_Start_A3, 7);
    EXPECT_EQ(t.m_Normal_A3, 9);
    // Out-of-range indexes neither read nor write anything.
    t.SetValue(32, 5);
    EXPECT_EQ(t.Value(-1), 0);
    EXPECT_EQ(t.Value(32), 0);
}

TEST(SpeedTables, BuiltInNamesFollowTheLanguage) {
    EXPECT_EQ(TranslateSpeedName("Reset speed", kChinese), "复位速度");
    EXPECT_EQ(TranslateSpeedName("复位速度", kEnglish), "Reset speed");
    EXPECT_EQ(TranslateSpeedName("视觉对中速度", kGerman), "Visual aglinment speed");
    EXPECT_EQ(TranslateSpeedName("Pick chip speed 1", kChinese), "取芯片速度1");
    // Exact match only: case and blanks count, other names stay.
    EXPECT_EQ(TranslateSpeedName("reset speed", kChinese), "reset speed");
    EXPECT_EQ(TranslateSpeedName("Reset speed ", kChinese), "Reset speed ");
    EXPECT_EQ(TranslateSpeedName("我的速度", kEnglish), "我的速度");
    EXPECT_EQ(TranslateSpeedName("Reset speed", 5), "Reset speed");
    EXPECT_STREQ(SpeedTypeName(6), "m_AutoNozzle_Speed");
    EXPECT_STREQ(SpeedTypeName(7), "");
}

TEST(SpeedTables, CellsSplitAtTheSlash) {
    std::string start, run;
    EXPECT_TRUE(SplitSpeedCell("5 / 30", start, run));
    EXPECT_EQ(start, "5");
    EXPECT_EQ(run, "30");
    EXPECT_EQ(ParseSpeedCell("20 / 80"), (SpeedPair{20, 80}));
    EXPECT_EQ(FormatSpeedCell(20, 80), "20 / 80");
    // Only " / " separates; "5/30" is one speed for both, as is a bare number.
    EXPECT_FALSE(SplitSpeedCell("5/30", start, run));
    EXPECT_EQ(start, "5/30");
    EXPECT_EQ(ParseSpeedCell("5/30"), (SpeedPair{5, 5}));
    EXPECT_EQ(ParseSpeedCell("40"), (SpeedPair{40, 40}));
    EXPECT_EQ(ParseSpeedCell(""), (SpeedPair{0, 0}));
    EXPECT_EQ(ParseSpeedCell("x / 12abc"), (SpeedPair{0, 12}));
}

TEST(SpeedTables, OneKeyScaleTruncatesAndNeverGivesZero) {
    std::string out;
    ASSERT_TRUE(ScaleSpeedCell("1 / 3", 50, out));
    EXPECT_EQ(out, "1 / 1");
    ASSERT_TRUE(ScaleSpeedCell("200 / 255", 99, out));
    EXPECT_EQ(out, "198 / 252");
    ASSERT_TRUE(ScaleSpeedCell("10 / 100", 70, out));
    EXPECT_EQ(out, "7 / 70");
    out = "kept";
    EXPECT_FALSE(ScaleSpeedCell("100", 50, out));
    EXPECT_EQ(out, "kept");
}

TEST(SpeedTables, RowCellsAreCutAtSeventeenAndTheTailIgnored) {
    std::string text;
    for (int i = 0; i < 20; ++i) text += "c" + std::to_string(i) + "\t";
    text += "tail";
    const SpeedTemplateRow row = ParseTemplateRow(text, kChinese);
    EXPECT_EQ(row[0], "c0");
    EXPECT_EQ(row[16], "c16");

    const SpeedTemplateRow shortRow = ParseTemplateRow("name\t1 / 2\tafter", kChinese);
    EXPECT_EQ(shortRow[0], "name");
    EXPECT_EQ(shortRow[1], "1 / 2");
    EXPECT_EQ(shortRow[2], "");  // "after" has no tab behind it
    EXPECT_EQ(shortRow[16], "");
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
    EXPECT_EQ(t.m_HighSpeedTable[0][0], "复位速度");
    EXPECT_EQ(t.m_LowSpeedTable[0][0], "复位速度");
    EXPECT_EQ(t.m_MediumSpeedTable[1][0], "Fast");
    EXPECT_EQ(t.m_HighSpeedTable[1][1], "20 / 90");
    EXPECT_EQ(t.m_MediumSpeedTable[1][16], "29 / 78");
    EXPECT_EQ(t.m_LowSpeedTable[0][2], "5 / 21");

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
    EXPECT_EQ(SpeedTemplateTables::FromRows({Row({"a"}), Row({"b"})}, kChinese).Count(), 0);
    EXPECT_TRUE(SpeedTemplateTables::FromRows({Row({"a"}), Row({"b"})}, kChinese).ToRows().empty());
}

} // namespace
} // namespace smt
