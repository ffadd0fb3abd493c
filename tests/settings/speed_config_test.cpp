#include <gtest/gtest.h>

#include "platform/profile.h"
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
    EXPECT_EQ(live.TemplateCount(), 2);
    EXPECT_EQ(live.TemplateNames(), (std::vector<std::string>{"A", "B"}));

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

} // namespace
} // namespace smt
