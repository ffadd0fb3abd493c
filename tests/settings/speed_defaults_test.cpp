// The default "config_speed.fig" shipped in res/: sensible templates for all three
// classes so that a fresh start folder can jog and run at once. The file is made
// by this test with the program's own encoder: run the test binary with
// SMT_WRITE_SPEED_DEFAULTS=1 to write it again after changing the values here.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/numtext.h"
#include "platform/files.h"
#include "settings/speed_editor.h"
#include "test_support.h"

namespace smt {
namespace {

// High-class codes per template: X/Y, Z, A, feeder walks and lifts, S drives.
struct DefaultTemplate {
    int type;  // built-in name index
    SpeedPair xy, z, a, feed, s;
};

constexpr DefaultTemplate kDefaults[] = {
    {0, {10, 40}, {10, 30}, {10, 30}, {10, 30}, {10, 30}},   // reset: gentle homing
    {1, {10, 60}, {10, 50}, {10, 50}, {10, 40}, {10, 40}},   // manual
    {2, {15, 100}, {15, 80}, {15, 60}, {10, 60}, {10, 50}},  // pick
    {3, {15, 100}, {15, 80}, {15, 60}, {10, 60}, {10, 50}},  // place
    {4, {15, 80}, {15, 60}, {10, 60}, {10, 50}, {10, 40}},   // vision centring
    {5, {15, 80}, {15, 60}, {10, 60}, {10, 50}, {10, 40}},   // vision placement
    {6, {10, 60}, {10, 30}, {10, 40}, {10, 40}, {10, 40}},   // nozzle change: slow Z
    {7, {10, 50}, {10, 40}, {10, 40}, {10, 40}, {10, 40}},   // pick chip
};
constexpr int kMediumPercent = 70;
constexpr int kLowPercent = 40;

SpeedPair DriveSpeed(const DefaultTemplate& t, int drive) {
    if (drive <= kDriveY) return t.xy;
    if (drive <= kDriveZ2) return t.z;
    if (drive <= kDriveA4) return t.a;
    if (drive <= kDriveEastLift) return t.feed;
    return t.s;
}

// The names in Chinese, the language of a fresh start folder; medium and low made
// by the manager's one-key scale.
FigLists DefaultSpeedFile() {
    SpeedTemplateTables tables;
    for (const auto& t : kDefaults) {
        SpeedTemplateRow high;
        high[0] = BuiltInSpeedName(0, t.type);
        for (int d = 0; d < kSpeedDriveCount; ++d) {
            const SpeedPair p = DriveSpeed(t, d);
            high[1 + d] = FormatSpeedCell(p.start, p.run);
        }
        SpeedTemplateRow medium = high, low = high;
        for (int c = 1; c < kSpeedTemplateCells; ++c) {
            ScaleSpeedCell(high[c], kMediumPercent, medium[c]);
            ScaleSpeedCell(high[c], kLowPercent, low[c]);
        }
        tables.m_HighSpeedTable.push_back(high);
        tables.m_MediumSpeedTable.push_back(medium);
        tables.m_LowSpeedTable.push_back(low);
    }
    FigLists lists;
    lists.speed = tables.ToRows();
    std::vector<std::string> names;
    for (int k = 0; k < kSpeedTypeCount; ++k) names.push_back(BuiltInSpeedName(0, k));
    lists.speedSetNames = JoinRow(names);
    return lists;
}

std::string ShippedPath() { return std::string(SMT_SOURCE_DIR) + "/res/config_speed.fig"; }

TEST(SpeedDefaults, ShippedFileIsTheDefault) {
    const FigLists expected = DefaultSpeedFile();
    const std::string bytes = EncodeTableFile(expected.speed, &expected.speedSetNames);
    if (const char* write = std::getenv("SMT_WRITE_SPEED_DEFAULTS"); write && *write == '1') {
        ASSERT_TRUE(plat::WriteFileAtomic(ShippedPath(), bytes));
    }
    std::string shipped;
    ASSERT_TRUE(plat::ReadWholeFile(ShippedPath(), shipped));
    EXPECT_EQ(test::ToHex(shipped), test::ToHex(bytes));
}

TEST(SpeedDefaults, EveryClassIsUsableAndOrdered) {
    const FigLists lists = DefaultSpeedFile();
    const SpeedTemplateTables t = SpeedTemplateTables::FromRows(lists.speed, 0);
    ASSERT_EQ(t.Count(), 8);
    for (int i = 0; i < t.Count(); ++i) {
        for (int d = 1; d < kSpeedTemplateCells; ++d) {
            const SpeedPair high = ParseSpeedCell(t.m_HighSpeedTable[i][d]);
            const SpeedPair medium = ParseSpeedCell(t.m_MediumSpeedTable[i][d]);
            const SpeedPair low = ParseSpeedCell(t.m_LowSpeedTable[i][d]);
            for (const SpeedPair& p : {high, medium, low}) {
                EXPECT_GE(p.start, 1);
                EXPECT_LT(p.start, p.run) << i << " " << d;  // start below run: no lost steps
                EXPECT_LE(p.run, 255);
            }
            EXPECT_LT(medium.run, high.run);
            EXPECT_LT(low.run, medium.run);
        }
    }
}

// A fresh start folder with only the shipped file: confirming any class page gives
// every operation type real speeds.
TEST(SpeedDefaults, FreshStartFolderConfirmsEveryClass) {
    std::string shipped;
    ASSERT_TRUE(plat::ReadWholeFile(ShippedPath(), shipped));
    for (int page = 1; page <= 3; ++page) {
        test::TempDir dir;
        test::ScriptedResponder boxes;
        FigLists lists;
        ASSERT_TRUE(DecodeTableFile(shipped, lists.speed, &lists.speedSetNames));
        SpeedTemplates live;
        live.LoadSpeedTables(lists.speed, 0);
        live.LoadConfig(dir.Path());
        SpeedTemplateEditor editor(live, lists, dir.Path(), 0);
        editor.Open(page);
        ASSERT_EQ(editor.Confirm(), ConfirmResult::Closed);
        EXPECT_EQ(boxes.Count(), 0u);
        for (int k = 0; k < kSpeedTypeCount; ++k) {
            const SpeedTypeTable table = live.Table(static_cast<SpeedType>(k));
            for (int d = 0; d < kSpeedDriveCount; ++d) {
                EXPECT_GE(table.Pair(d).start, 1) << page << " " << k << " " << d;
                EXPECT_GT(table.Pair(d).run, table.Pair(d).start);
            }
        }
        EXPECT_EQ(live.ActiveClass(), page);
    }
}

} // namespace
} // namespace smt
