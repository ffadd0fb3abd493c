#include <gtest/gtest.h>

#include "platform/profile.h"
#include "settings/speed_tables.h"
#include "settings/speed_template.h"
#include "test_support.h"

namespace smt {
namespace {

using test::TempDir;
using test::WriteBytes;

std::string Ini(const TempDir& dir) { return dir.File("config.ini"); }

std::string Read(const TempDir& dir, const std::string& section, const std::string& key) {
    return plat::GetPrivateProfileString(section, key, "<none>", 512, Ini(dir));
}

SpeedTemplateRow MakeRow(const std::string& name, std::int32_t start, std::int32_t run) {
    SpeedTemplateRow row;
    row[0] = name;
    for (int d = 0; d < kSpeedDriveCount; ++d) row[1 + d] = FormatSpeedCell(start + d, run + d);
    return row;
}

TEST(SpeedConfig, StoredValuesAndTheirFixUps) {
    TempDir dir;
    // Missing section: the fix-ups give what the live instance starts with.
    EXPECT_EQ(LoadSpeedTemplateConfig(dir.Path()), SpeedTemplateSettings{});
    WriteBytes(Ini(dir), "[SpeedTemplateConfig]\r\nm_SpeedMenuCheck=0\r\nm_MediumSpeedZoom=60\r\nm_LowSpeedZoom=0\r\n"
                         "m_bOptimizeFarSpeed=1\r\nm_AccelSpeed=0\r\nm_MaxSpeedLimitValue=-4\r\nm_XY_RunFast=5000\r\n"
                         "m_XY_RunMedium=0\r\nm_Z_RunSlow=abc\r\nm_A_RunFast=36000\r\nm_S_RunFine=12mm\r\n");
    plat::FlushProfileCache();
    const SpeedTemplateSettings s = LoadSpeedTemplateConfig(dir.Path());
    // A stored class 0 reads as high; a jog step that is no number reads 0, then 1.
    EXPECT_EQ((std::vector<int>{s.m_SpeedMenuCheck, s.m_MediumSpeedZoom, s.m_LowSpeedZoom, s.m_bOptimizeFarSpeed,
                                s.m_AccelSpeed, s.m_MaxSpeedLimitValue, s.m_XY_RunFast, s.m_XY_RunMedium,
                                s.m_Z_RunSlow, s.m_A_RunFast, s.m_S_RunFine}),
              (std::vector<int>{1, 60, 1, 1, 100, 32, 5000, 1, 1, 36000, 12}));
    EXPECT_EQ(JogStep(s, 0, JogGroup::A), 36000);
    EXPECT_EQ(JogStep(s, 3, JogGroup::S), 12);
    EXPECT_EQ(JogStep(s, 9, JogGroup::XY), 5000);  // no such gear: fast

    WriteBytes(Ini(dir), "[SpeedTemplateConfig]\r\nm_SpeedMenuCheck=3\r\nm_MaxSpeedLimitValue=0\r\n");
    plat::FlushProfileCache();
    const SpeedTemplateSettings low = LoadSpeedTemplateConfig(dir.Path());
    EXPECT_EQ(low.m_SpeedMenuCheck, 3);
    EXPECT_EQ(low.m_MaxSpeedLimitValue, 32);
    WriteBytes(Ini(dir), "[SpeedTemplateConfig]\r\nm_SpeedMenuCheck=7\r\n");
    plat::FlushProfileCache();
    EXPECT_EQ(LoadSpeedTemplateConfig(dir.Path()).m_SpeedMenuCheck, 1);

    // The active class outside 1..3 reads as high.
    SpeedTemplateSettings c;
    for (int v : {-1, 0, 4, 1000, 2}) {
        c.m_SpeedMenuCheck = v;
        EXPECT_EQ(c.ActiveClass(), v == 2 ? 2 : 1) << v;
    }
}

// Key order and format are pinned byte for byte by the shipped config.ini (SpeedDefaults).
TEST(SpeedConfig, SaveLoadsBackEveryKey) {
    TempDir dir;
    SpeedTemplateSettings s;
    for (int i = 0; i < kSpeedSettingCount; ++i) SpeedSettingField(s, i) = 10 + i;
    s.m_SpeedMenuCheck = 2;
    ASSERT_TRUE(SaveSpeedTemplateConfig(dir.Path(), s));
    plat::FlushProfileCache();
    EXPECT_EQ(LoadSpeedTemplateConfig(dir.Path()), s);
}

TEST(SpeedConfig, TypeTablesReadZeroWhenNeverStored) {
    TempDir dir;
    for (int k = 0; k < kSpeedTypeCount; ++k)
        EXPECT_EQ(LoadSpeedTypeConfig(dir.Path(), SpeedTypeName(k)), SpeedTypeTable{}) << k;
    // The last key is another type's key in this section.
    WriteBytes(Ini(dir), "[m_Smt_SpeedConfig]\r\nm_Smt_Speed.m_Start_X=12\r\nm_Smt_Speed.m_Normal_AutoWalk2=250\r\n"
                         "m_Smt_Speed.m_Start_Y=junk\r\nm_Reset_Speed.m_Start_Z1=99\r\n");
    plat::FlushProfileCache();
    const SpeedTypeTable t = LoadSpeedTypeConfig(dir.Path(), "m_Smt_Speed");
    EXPECT_EQ((std::vector<int>{t.m_Start_X, t.m_Normal_AutoWalk2, t.m_Start_Y, t.m_Start_Z1}),
              (std::vector<int>{12, 250, 0, 0}));
}

TEST(SpeedConfig, DerivingStoresTheCellTextsAndTheCodes) {
    TempDir dir;
    std::vector<SpeedTemplateRow> rows = {MakeRow("手控速度", 5, 30), MakeRow("Fast", 20, 90)};
    rows[0][1] = "5 / 30";
    rows[0][2] = "07 / 40";  // texts are stored as they stand
    SpeedTypeTable table;
    ASSERT_EQ(SaveSpeedTypeConfig(dir.Path(), "手控速度", "m_Handle_Speed", rows, table), DeriveResult::Stored);
    EXPECT_EQ((std::vector<int>{table.m_Start_X, table.m_Normal_X, table.m_Start_Y, table.m_Normal_Y}),
              (std::vector<int>{5, 30, 7, 40}));
    EXPECT_EQ(table.Pair(kDriveAutoWalk2), (SpeedPair{20, 45}));
    for (auto [key, text] : {std::pair{"m_Start_X", "5"}, {"m_Normal_X", "30"}, {"m_Start_Y", "07"},
                             {"m_Normal_AutoWalk2", "45"}})
        EXPECT_EQ(Read(dir, "m_Handle_SpeedConfig", std::string("m_Handle_Speed.") + key), text) << key;
    // What was stored reads back the same at the next start.
    EXPECT_EQ(LoadSpeedTypeConfig(dir.Path(), "m_Handle_Speed"), table);
}

TEST(SpeedConfig, DerivingNeedsTheExactName) {
    TempDir dir;
    const std::vector<SpeedTemplateRow> rows = {MakeRow("Fast", 20, 90), MakeRow("Fast", 1, 2)};
    SpeedTypeTable table;
    table.m_Start_X = 77;
    for (const char* name : {"fast", "Fast "})
        EXPECT_EQ(SaveSpeedTypeConfig(dir.Path(), name, "m_Smt_Speed", rows, table), DeriveResult::NameNotFound);
    EXPECT_EQ(SaveSpeedTypeConfig(dir.Path(), "Fast", "m_Smt_Speed", {}, table), DeriveResult::NameNotFound);
    EXPECT_EQ(table.m_Start_X, 77);
    EXPECT_EQ(Read(dir, "m_Smt_SpeedConfig", "m_Smt_Speed.m_Start_X"), "<none>");
    // The first row of that name wins.
    ASSERT_EQ(SaveSpeedTypeConfig(dir.Path(), "Fast", "m_Smt_Speed", rows, table), DeriveResult::Stored);
    EXPECT_EQ(table.Pair(kDriveX), (SpeedPair{20, 90}));
}

TEST(SpeedConfig, LiveInstanceFindsTemplatesInTheActiveClass) {
    SpeedTemplates live;
    SpeedTemplateTables t;
    t.m_HighSpeedTable = {MakeRow("A", 10, 100), MakeRow("B", 20, 200)};
    t.m_MediumSpeedTable = {MakeRow("A", 7, 70), MakeRow("B", 14, 140)};
    t.m_LowSpeedTable = {MakeRow("A", 4, 40), MakeRow("B", 8, 80)};
    live.SetTemplates(t);
    std::array<SpeedPair, kSpeedDriveCount> speeds{};
    SpeedTemplateSettings s;
    s.m_SpeedMenuCheck = 0;  // no class: high
    live.SetSettings(s);
    ASSERT_TRUE(live.FindTemplateSpeeds("B", speeds));
    EXPECT_EQ(speeds[0], (SpeedPair{20, 200}));
    s.m_SpeedMenuCheck = 3;
    live.SetSettings(s);
    ASSERT_TRUE(live.FindTemplateSpeeds("B", speeds));
    EXPECT_EQ(speeds[1], (SpeedPair{9, 81}));
    EXPECT_FALSE(live.FindTemplateSpeeds("C", speeds));
}

TEST(SpeedConfig, LiveInstanceLoadsTheStoredTypes) {
    TempDir dir;
    std::vector<SpeedTemplateRow> rows = {MakeRow("P", 3, 60)};
    SpeedTypeTable stored;
    ASSERT_EQ(SaveSpeedTypeConfig(dir.Path(), "P", "m_PickPart_Speed", rows, stored), DeriveResult::Stored);
    SpeedTemplates live;
    live.LoadSpeedTypeConfigs(dir.Path());
    EXPECT_EQ(live.Table(SpeedType::PickPart), stored);
    EXPECT_EQ(live.Table(SpeedType::Reset), SpeedTypeTable{});
    EXPECT_EQ(live.Pair(SpeedType::PickPart, kDriveY), (SpeedPair{4, 61}));
}

// ---- the tables and their cells ----

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
