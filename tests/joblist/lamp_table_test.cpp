// The lamp table: its lines through the project files, the point services, the
// targets and stroke values the run and the editor compute, the counters, and
// the editor's rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "app/document.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/job_lists.h"
#include "joblist/lamp_editor.h"
#include "joblist/lamp_table.h"
#include "joblist/lamp_texts.h"
#include "link/positioning.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "test_support.h"

using namespace smt;
using smt::test::TempDir;
using Rows = std::vector<std::vector<std::string>>;

namespace {

// Point k's two rows filled with numbers that tell the cells apart.
LampPointValues Point(int k) {
    LampPointValues v;
    v.m_MarkX = 10 + k, v.m_MarkY = -20 - k;
    v.m_MarkOffsetX = 3, v.m_MarkOffsetY = -4;
    v.m_PointX = 5, v.m_PointY = -6;
    v.m_PointOffsetX = 0.25, v.m_PointOffsetY = -0.5;
    v.m_StartSpeed = 11, v.m_RunSpeed = 22;
    for (int s = 0; s < 3; ++s)
        v.m_Strokes[s] = {0.5 + s, -0.25 - s, -1.5 - s, -1.0 - s, 100 + s, 0.5 + s, 200 + s};
    return v;
}

void Fill(int points) {
    WriteLampTableLines2();
    TheLampMachineList().m_PointCount = 0;
    for (int k = 0; k < points; ++k) {
        ASSERT_TRUE(StoreLampPoint(k, Point(k)));
        ++TheLampMachineList().m_PointCount;
    }
}

struct LampTableTest : ::testing::Test {
    void SetUp() override {
        Fill(0);
        ThePulseFactors() = PulseFactors{};
        TheBasicSettings() = BasicSettings{};
    }
    void TearDown() override {
        ThePulseFactors() = PulseFactors{};
        TheBasicSettings() = BasicSettings{};
        WriteLampTableLines2();
        TheLampMachineList().m_PointCount = 0;
    }
};

FileResult Save(const std::string& path, JobLists& job) { return WriteProjectFiles(path, job, 4); }
FileResult Load(const std::string& path, JobLists& job) { return ReadProjectFiles(path, job, 4); }

} // namespace

TEST_F(LampTableTest, LinesThroughTheProjectFiles) {
    TempDir dir;
    PartListStore store;
    JobLists job(store);
    job.SetJob("P", 1, {"r\t"});
    const std::string five = dir.File("five.smt"), three = dir.File("three.smt"), none = dir.File("none.smt");

    Fill(3);
    WriteLampTableLines();
    ASSERT_TRUE(Save(three, job).ok);
    Fill(5);
    WriteLampTableLines();
    ASSERT_EQ(g_LampTableLines.size(), 20u);
    for (const auto& line : g_LampTableLines) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 40);
        EXPECT_EQ(line.substr(line.size() - 3), "\t\r\n");
    }
    const Rows written = LampTableRows();
    ASSERT_TRUE(Save(five, job).ok);

    // 3 points after a job with 5: the count follows, rows 6..9 are emptied.
    ASSERT_TRUE(Load(three, job).ok);
    EXPECT_EQ(TheLampMachineList().m_PointCount.load(), 3);
    EXPECT_EQ(GetLampCell(6, 1), "");
    EXPECT_EQ(GetLampCell(5, 1), kPlatform2);

    ASSERT_TRUE(Load(five, job).ok);
    EXPECT_EQ(LampTableRows(), written);
    EXPECT_EQ(TheLampMachineList().m_PointCount.load(), 5);
    EXPECT_EQ(GetLampCell(4 * 2, 0) + " " + GetLampCell(1, 16) + " " + GetLampCell(1, 18), "5 -1.5000 100");

    // A job without ".txt" after one with points: the table and its lines are
    // empty, so the next save does not carry the old points into it.
    std::filesystem::copy_file(five, none);
    ASSERT_TRUE(Load(none, job).ok);
    EXPECT_EQ(TheLampMachineList().m_PointCount.load(), 0);
    EXPECT_EQ(LampTableRows(), Rows(20, std::vector<std::string>(40)));
    ASSERT_TRUE(Save(none, job).ok);
    ASSERT_TRUE(Load(none, job).ok);
    EXPECT_EQ(GetLampCell(0, 1), "");

    // A short line fills its first cells and clears the rest of its row; cells
    // past the 40th are dropped.
    Fill(2);
    {
        std::lock_guard lock(LampTableMutex());
        g_LampTableLines.assign(20, std::string(40, '\t') + "\r\n");
        g_LampTableLines[0] = "1\t平台1\t1\r\n";
        g_LampTableLines[1] = std::string(40, '\t') + "extra\tmore\t\r\n";
    }
    job.ReadLampTableLines();
    // "1" had no TAB after it: cell 2 stays empty.
    EXPECT_EQ((std::vector<std::string>{GetLampCell(0, 0), GetLampCell(0, 1), GetLampCell(0, 2), GetLampCell(0, 3),
                                        GetLampCell(1, 1)}),
              (std::vector<std::string>{"1", kPlatform1, "", "", ""}));
    EXPECT_EQ(TheLampMachineList().m_PointCount.load(), 1);
}

TEST_F(LampTableTest, DeletePointsAndRowsOutsideTheTable) {
    struct Case {
        const char* what;
        int points, k, count;
        std::vector<std::string> markX;  // cell 3 of rows 0, 2, .. 18
    };
    const std::vector<std::string> e;
    const Case cases[] = {
        {"point 3 of 5", 5, 2, 4, {"10.0000", "11.0000", "13.0000", "14.0000", "", "", "", "", "", ""}},
        {"point 9 of 10", 10, 9, 9, {"10.0000", "11.0000", "12.0000", "13.0000", "14.0000", "15.0000", "16.0000",
                                     "17.0000", "18.0000", ""}},
        {"k above 9", 5, 10, 5, {"10.0000", "11.0000", "12.0000", "13.0000", "14.0000", "", "", "", "", ""}},
        {"a point not in use", 0, 3, 0, {"", "", "", "", "", "", "", "", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fill(c.points);
        DeleteLampPoint(c.k);
        EXPECT_EQ(TheLampMachineList().m_PointCount.load(), c.count);
        for (int k = 0; k < 10; ++k) EXPECT_EQ(GetLampCell(2 * k, 3), c.markX[k]) << k;
        // The moved points keep their numbers until the window is opened again.
        if (c.points == 5 && c.k == 2) { EXPECT_EQ(GetLampCell(4, 0), "4"); }
    }
    // After a delete of an unused point, Add still lands on rows 0 and 1.
    TheLampMachineList().InitRows();
    ASSERT_TRUE(TheLampMachineList().AddPoint(Point(0)));
    EXPECT_EQ(GetLampCell(1, 1), kPlatform2);

    for (int row : {-1, 20}) {
        EXPECT_FALSE(SetLampCell(row, 0, "x"));
        EXPECT_EQ(GetLampCell(row, 0), "");
    }
    EXPECT_FALSE(SetLampCell(0, 40, "x"));
    EXPECT_FALSE(StoreLampPoint(-1, Point(0)));
    EXPECT_FALSE(StoreLampPoint(10, Point(0)));
}

TEST_F(LampTableTest, ListWindowAddEditDeleteAndTheFullTable) {
    LampMachineList& l = TheLampMachineList();
    l.InitRows();
    for (int k = 0; k < 10; ++k) ASSERT_TRUE(l.AddPoint(Point(k)));
    EXPECT_FALSE(l.AddPoint(Point(0)));  // 10 points: nothing changes
    EXPECT_EQ(l.m_PointCount.load(), 10);

    l.m_LampItem = 3;  // point 2 on table Y2: only that row changes
    LampPointValues v = *l.ItemValues();
    EXPECT_EQ(v.m_Platform, kPlatform2);
    v.m_MarkX = 99;
    ASSERT_TRUE(l.EditPoint(v));
    EXPECT_EQ(GetLampCell(3, 3), "99.0000");
    EXPECT_EQ(GetLampCell(2, 3), "11.0000");

    l.m_LampItem = 3;  // its partner goes too
    ASSERT_TRUE(l.DeletePoint());
    EXPECT_EQ(l.m_PointCount.load(), 9);
    EXPECT_EQ(GetLampCell(2, 3), "12.0000");
    EXPECT_EQ(GetLampCell(18, 1), "");
    l.m_LampItem = 18;
    EXPECT_FALSE(l.DeletePoint());
    l.m_LampItem = -1;
    EXPECT_FALSE(l.EditPoint(v));
}

TEST_F(LampTableTest, TargetsAndStrokeValues) {
    ThePulseFactors().m_X_Pulse = 100;
    ThePulseFactors().m_Y_Pulse = 80;
    ThePulseFactors().m_Z_Pulse = 30;
    TheBasicSettings().m_X_Nozzle5ToNozzle1 = 20, TheBasicSettings().m_Y_Nozzle5ToNozzle1 = -1.15;
    TheBasicSettings().m_X_Nozzle6ToNozzle1 = 1.15, TheBasicSettings().m_Y_Nozzle6ToNozzle1 = 2;
    // The worked example on table 2: X2 = 1000 + 550 - 2000 + 3 = -447.
    LampPointValues v = Point(0);
    v.m_MarkX = 10, v.m_PointX = 5, v.m_Strokes[0].offsetX = 0.5;
    ASSERT_TRUE(StoreLampPoint(0, v));
    struct Case {
        int kind, table;
        std::optional<std::int32_t> x, x2, y, y2;
    };
    const std::int32_t y2 = ToPulses(-20, 80) + ToPulses(-6 + -0.25, 80) - ToPulses(-1.15, 80) - 4;
    const Case cases[] = {
        {2, 2, std::nullopt, -447, std::nullopt, y2},
        {1, 1, 1000 + ToPulses(5.25, 100) + 3, std::nullopt, ToPulses(-20, 80) + ToPulses(-6.5, 80) - 4, std::nullopt},
        {3, 1, std::nullopt, 1000 + ToPulses(6.5, 100) - 114 + 3, ToPulses(-20, 80) + ToPulses(-7.25, 80) - 160 - 4,
         std::nullopt},
        {4, 3, std::nullopt, 1000 + ToPulses(7.5, 100) - 114 + 3, std::nullopt, std::nullopt},
        {0, 1, {}, {}, {}, {}},
        {5, 2, {}, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const LampTargets t = LampPointTargets(0, c.kind, c.table);
        EXPECT_EQ(std::tie(t.x, t.x2, t.y, t.y2), std::tie(c.x, c.x2, c.y, c.y2));
    }
    g_TargetPulseY2 = 7;
    g_TargetPulseX2 = 7;
    ComputeLampPointTargets(0, 2, 2);
    EXPECT_EQ(std::pair(g_TargetPulseX2.load(), g_TargetPulseY2.load()), std::pair(-447, y2));

    // Each stroke's cells, the speeds always; a bad stroke keeps the five values.
    struct Stroke {
        int stroke;
        LampDispenseParams want;
    };
    const Stroke strokes[] = {
        {0, {ToPulses(-1.5, 30), -30, 15, 100, 200, 11, 22}},
        {1, {ToPulses(-2.5, 30), -60, 45, 101, 201, 11, 22}},
        {2, {ToPulses(-3.5, 30), -90, 75, 102, 202, 11, 22}},
        {3, {1, 2, 3, 4, 5, 11, 22}},
    };
    for (const Stroke& s : strokes) {
        SCOPED_TRACE(s.stroke);
        LampDispenseParams p{1, 2, 3, 4, 5, 6, 7};
        LoadLampPointDispenseParams(0, s.stroke, 2, p);
        const auto fields = [](const LampDispenseParams& d) {
            return std::make_tuple(d.height, d.valveOpen, d.valveClose, d.bottomDelay, d.closeDelay, d.startSpeed, d.runSpeed);
        };
        EXPECT_EQ(fields(p), fields(s.want));
    }
}

TEST_F(LampTableTest, CountsConfirmedAndKeptInConfig) {
    LampMachineList& l = TheLampMachineList();
    l.m_Counters = {20, 10, 10};
    l.m_CountChange = 0;
    // {set, change, refusal, set after, unfinished after}: 12 - 3 < 10 is refused; after 1008 the set
    // count is taken, the change is not.
    const int steps[][5] = {{12, 0, 1005, 20, 10}, {13, 0, 0, 13, 3}, {15, -3, 1008, 15, 5}, {15, 5, 0, 20, 10}};
    for (const auto& s : steps) {
        EXPECT_EQ(l.OnConfirmCounts(s[0], s[1]), s[2]) << s[0] << " " << s[1];
        EXPECT_EQ(std::pair(l.m_Counters.m_CountSet, l.m_Counters.m_CountUnfinish), std::pair(s[3], s[4])) << s[0];
    }

    TempDir dir;
    plat::WritePrivateProfileString("LampMachineListConfig", "m_CountFinish", "7", dir.File("config.ini"));
    LoadLampCounters(dir.Path());
    EXPECT_EQ(l.m_Counters.m_CountSet, 1);  // missing: 0, then 1
    EXPECT_EQ(l.m_Counters.m_CountFinish, 7);
    l.m_Counters.m_CountSet = 42;
    ASSERT_TRUE(SaveLampCounters(dir.Path()));
    LoadLampCounters(dir.Path());
    EXPECT_EQ(l.m_Counters.m_CountSet, 42);
}

TEST(LampEditor, OkChecksAndStrokeValues) {
    namespace f = lampfield;
    LampPointValues good = Point(0);
    good.m_Strokes[1].valveOpen = -2.5;  // equal to the height is allowed
    EXPECT_EQ(CheckLampEditorOk(good), 0);
    struct Case {
        const char* what;
        std::function<void(LampPointValues&)> change;
        int okField, strokeField;  // strokeField: stroke 0's rule
    };
    const Case cases[] = {
        {"valve open below height, stroke 1", [](auto& v) { v.m_Strokes[1].valveOpen = -3; }, 1018, 0},
        {"valve open below height, stroke 0", [](auto& v) { v.m_Strokes[0].valveOpen = -2; v.m_Z = 9; }, 1012, 1012},
        {"Z out of range", [](auto& v) { v.m_Z = 3.5; }, f::Z, 0},
        {"start speed 0", [](auto& v) { v.m_StartSpeed = 0; }, f::StartSpeed, f::StartSpeed},
        {"run speed 256", [](auto& v) { v.m_RunSpeed = 256; }, f::RunSpeed, f::RunSpeed},
        {"height above 0", [](auto& v) { v.m_Strokes[0].height = 0.5; v.m_Strokes[0].valveOpen = 1; }, 1011, 1011},
        {"valve close below 0", [](auto& v) { v.m_Strokes[0].valveClose = -1; v.m_Strokes[0].bottomDelay = -1; },
         1014, 1013},
        {"bottom delay below 0", [](auto& v) { v.m_Strokes[0].bottomDelay = -1; }, 1014, 1014},
        {"close delay below 0", [](auto& v) { v.m_Strokes[0].closeDelay = -1; }, 1041, 1041},
        {"valve close deeper than the stroke", [](auto& v) { v.m_Strokes[0].valveClose = 1.6; }, 0, 1013},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LampPointValues v = good;
        c.change(v);
        EXPECT_EQ(CheckLampEditorOk(v), c.okField);
        int field = -1;
        const auto p = LampStrokeParams(v, 0, 100, &field);
        EXPECT_EQ(field, c.strokeField);
        EXPECT_EQ(p.has_value(), c.strokeField == 0);
    }
    const auto p = LampStrokeParams(good, 2, 100);
    ASSERT_TRUE(p);
    const DispenseStrokeArgs red = LampStrokeArgs(1, *p), silver = LampStrokeArgs(2, *p);
    EXPECT_EQ(std::make_tuple(red.kind, red.depth), std::make_tuple(5, -350));
    // a: the valve-open height negated; t1, t2: close delay, then bottom delay
    EXPECT_EQ(std::make_tuple(silver.kind, silver.depth, silver.a, silver.b, silver.t1, silver.t2),
              std::make_tuple(6, 350, 300, 250, 202, 102));
}

// The range a refused field must hold, for the operator's message.
TEST(LampEditor, RangeOfTheRefusedField) {
    namespace f = lampfield;
    LampPointValues v = Point(0);
    v.m_Strokes[1].height = -7.5;
    struct Case {
        int field;
        double low, high;
        bool integer;
    };
    const Case cases[] = {
        {f::Z, -3, 3, false},       {f::StartSpeed, 1, 255, true}, {f::RunSpeed, 1, 255, true},
        {1011, -100, 0, false},     {1018, -7.5, 0, false},        {1014, 0, 10000, true},
        {1041, 0, 10000, true},     {1013, 0, 100, false},         {1043, 0, 10000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        const LampFieldRange r = LampEditorRange(v, c.field);
        EXPECT_EQ(std::make_tuple(r.low, r.high, r.integer), std::make_tuple(c.low, c.high, c.integer));
    }
    // A dispensing height below -100 leaves the valve-open height its own bound.
    v.m_Strokes[0].height = -120;
    EXPECT_EQ(LampEditorRange(v, 1012).low, -100);
}

// Every caption of both lamp windows in every shipped language: the Chinese file
// holds the built-in texts, English and German have none of its Chinese left.
TEST(LampCaptions, ShippedFilesHoldEveryKeyTranslated) {
    const std::string res = std::string(SMT_SOURCE_DIR) + "/res";
    for (DialogCaptions* captions : {&TheLampListTexts(), &TheLampEditTexts()}) {
        captions->Reset();
        for (const std::string language : {"Chinese", "English", "German"}) {
            const std::string path = res + "/" + language + ".ini";
            for (const auto& [key, builtIn] : captions->Entries()) {
                SCOPED_TRACE(language + " " + key);
                const std::string text = plat::GetPrivateProfileString(captions->Section(), key, "", 512, path);
                EXPECT_FALSE(text.empty());
                if (language == "Chinese") {
                    EXPECT_EQ(text, builtIn);
                } else {
                    EXPECT_EQ(text.find_first_of("\xE4\xE5\xE6\xE7\xE8\xE9"), std::string::npos) << text;
                }
            }
        }
    }
    LoadLampLanguage(res, "German");
    EXPECT_EQ(LampPointEditor::SpeedCaption(1), "Mittel");
    EXPECT_EQ(LampHeaderText(36), "---");
    LoadLampLanguage(res, "Chinese");
    EXPECT_EQ(LampPointEditor::SpeedCaption(3), "精细");
    EXPECT_EQ(LampHeaderText(0), "点号");
}

TEST(LampEditor, TakenPositionsTargetsAndJogDirections) {
    // (counter + conv(camera)) / factor, moved 0.0001 away from zero.
    EXPECT_EQ(TakeLampMarkAxis(12345, 1.15, 100), "124.5901");  // conv(1.15) is 114
    EXPECT_EQ(TakeLampMarkAxis(-114, 1.15, 100), "0.0000");
    EXPECT_EQ(TakeLampPointAxis(-5000, 10.5, 1.15, 100), "-59.3601");
    EXPECT_EQ(TakeLampHeight(0, 100), "0");
    EXPECT_EQ(TakeLampHeight(-250, 100), "-2.5001");

    ThePulseFactors().m_X_Pulse = 100, ThePulseFactors().m_Y_Pulse = 80;  // apart, so that a swap shows
    TheBasicSettings().m_X_CameraToNozzle1 = 2, TheBasicSettings().m_Y_CameraToNozzle1 = -3;
    TheBasicSettings().m_X_Nozzle6ToNozzle1 = 7, TheBasicSettings().m_Y_Nozzle6ToNozzle1 = 8;
    LampPointValues v = Point(0);
    for (const char* platform : {"平台1", "平台2", ""}) {
        SCOPED_TRACE(platform);
        v.m_Platform = platform;
        const int op = std::string(platform) == "平台2" ? 532 : 531;
        const LampMove mark = LampCameraMove(v, false), point = LampCameraMove(v, true), glue = LampGlueMove(v, 2);
        EXPECT_EQ(std::make_tuple(mark.op, glue.op, mark.x2, mark.y, point.x2, glue.x2, glue.y),
                  std::make_tuple(op, op, 1000 - 200, -1600 + 240, 1000 + 500 - 200, 1000 + ToPulses(5 + 2.5, 100) - 700,
                                  -1600 + ToPulses(-6 - 2.25, 80) - 640));
    }
    ThePulseFactors() = PulseFactors{};
    TheBasicSettings() = BasicSettings{};

    struct Jog {
        int id, axis, direction, table;
    };
    const Jog jogs[] = {{1138, 9, 0, 2},  {1139, 9, 1, 2},  {1027, 1, 1, 1},  {1029, 1, 0, 1},
                        {1028, 12, 1, 2}, {1030, 12, 0, 2}, {1160, 10, 1, 0}, {1161, 10, 0, 0},
                        {1035, 10, 0, 0}, {1036, 10, 1, 0}, {1038, 10, 0, 0}, {1039, 10, 1, 0}};
    for (const Jog& j : jogs) {
        SCOPED_TRACE(j.id);
        const auto jog = LampJogForButton(j.id);
        ASSERT_TRUE(jog);
        EXPECT_EQ(std::make_tuple(jog->axis, jog->direction, jog->table, jog->needHeadsUp),
                  std::make_tuple(j.axis, j.direction, j.table, j.axis != 10));
    }
    EXPECT_FALSE(LampJogForButton(1003));
}
