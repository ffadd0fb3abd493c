// The package, mark and drop-down libraries: their line layouts, the shared
// text-table rules, the editors' checks and choices, and the run's mark look-up
// while the window rebuilds the table.
#include <gtest/gtest.h>

#include <tuple>

#include <atomic>
#include <thread>

#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/dropdown_lists.h"
#include "feeders/mark_library.h"
#include "feeders/pack_library.h"
#include "feeders_fixture.h"
#include "platform/profile.h"
#include "test_support.h"

namespace smt {
namespace {

std::string Cells(int from, int count) {
    std::string s;
    for (int i = from; i < from + count; ++i) s += "c" + std::to_string(i) + "\t";
    return s;
}

TEST(PackLibrary, LayoutIsChosenByTheFirstLine) {
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        std::vector<std::pair<int, std::string>> expect;  // cell, text
    };
    const Case cases[] = {
        {"28 cells", {Cells(0, 28)}, {{0, "c0"}, {6, "c6"}, {27, "c27"}}},
        {"17 cells, later line longer", {Cells(0, 17), Cells(0, 20)}, {{16, "c16"}, {17, ""}}},
        {"14 cells", {Cells(0, 14) + "tail"}, {{13, "c13"}, {14, ""}}},
        {"27 cells: delays inserted", {Cells(0, 27)}, {{5, "c5"}, {6, "50"}, {7, "25"}, {8, "c6"}, {27, "c25"}}},
        {"older line too short for delays", {Cells(0, 27), Cells(0, 6)}, {{6, "50"}}},
        {"40 cells: extra dropped", {Cells(0, 40)}, {{27, "c25"}}},
        {"no TAB", {"name"}, {{0, ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto rows = ParsePackLines(c.lines);
        ASSERT_EQ(rows.size(), c.lines.size());
        for (const auto& row : rows) ASSERT_EQ(row.size(), 28u);
        for (auto [cell, text] : c.expect) EXPECT_EQ(rows[0][cell], text) << cell;
    }
    // The mixed file's second line follows the 28-cell rule of the first.
    auto mixed = ParsePackLines({Cells(0, 28), Cells(0, 27)});
    EXPECT_EQ(mixed[1][6], "c6");
    // The short second line of the older layout keeps its delays empty.
    EXPECT_EQ(ParsePackLines({Cells(0, 27), Cells(0, 6)})[1][6], "");
}

TEST(PackLibrary, AddJoinsTwentyEightCellsAndTranslatesWordsOnFilling) {
    test::FillFeederWords();
    g_LanguageIndex = 0;
    PackLibrary lib;
    lib.m_Edit = PackEditValues{};
    lib.m_Edit.name = "0603";
    lib.m_Edit.feedMode = "集中飞达";
    lib.m_Edit.speedName = "贴装速度";
    lib.m_Edit.visionChoice = 2;
    lib.Add();
    std::vector<std::string> lines;
    lib.JoinRows(lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), '\t'), 28);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 2), "\t\t");  // spare cells 26, 27
    EXPECT_EQ(lines[0].rfind("0603\t0.1000\t0.1000\t0.1000\t0\t0\t1\t1\t\tNo\tYes\t\tNo\t贴装速度\t\t集中飞达\t0\t", 0), 0u);
    g_LanguageIndex = 1;
    lib.ParseRows(lines);
    lib.FillList();
    EXPECT_EQ(lib.Table().Rows()[0][15], "Integration");
    EXPECT_EQ(lib.Table().Rows()[0][13], "Mounting speed");
    lib.JoinRows(lines);
    EXPECT_NE(lines[0].find("\tMounting speed\t\tIntegration\t"), std::string::npos);
    g_LanguageIndex = 0;
}

TEST(TextTable, SortDeleteAndNamesFollowTheRememberedRow) {
    TextTable t(2);
    t.ParseLines({"a\t9.0000\t", "b\t10.0000\t", "c\t\xE2\x82\xAC\t", "d\t\xF0\x9F\x98\x80\t"});
    t.SortByColumn(1);
    std::vector<std::string> order;
    for (const auto& r : t.Rows()) order.push_back(r[0]);
    // By text: "10.0000" before "9.0000"; U+20AC (20AC) before U+1F600 (D83D DE00).
    EXPECT_EQ(order, (std::vector<std::string>{"b", "a", "c", "d"}));
    EXPECT_TRUE(LessByCodeUnits("\xF0\x9F\x98\x80", "\xEF\xBC\x81"));  // U+1F600 (D83D) before U+FF01
    EXPECT_EQ(std::make_tuple(t.IsNameTaken("b", 0), t.IsNameTaken("b", -1), t.FindByName("c"), t.FindByName("C")),
              std::make_tuple(false, true, 2, -1));
    ASSERT_TRUE(t.Delete(1));  // a
    ASSERT_TRUE(t.Delete(1));  // the row that moved up: c
    EXPECT_EQ(t.Rows()[1][0], "d");
    EXPECT_FALSE(t.Delete(5));
    EXPECT_FALSE(t.Modify(-1, {"x"}));
}

TEST(PackEditor, OkChecksInOrder) {
    PackEditValues ok;
    ok.name = "p";
    ok.feedMode = "托盘";
    ok.nozzle = "1";
    struct Case {
        std::function<void(PackEditValues&)> change;
        bool taken;
        std::string refusal;
    };
    const Case cases[] = {
        {[](PackEditValues&) {}, false, ""},
        {[](PackEditValues& v) { v.feedMode.clear(); v.nozzle.clear(); }, true, "PackEdit.c_Message_01"},
        {[](PackEditValues& v) { v.feedMode.clear(); v.visionChoice = 1; }, false, "PackEdit.c_Message_05"},
        {[](PackEditValues& v) { v.visionChoice = 2; v.nozzle.clear(); }, false, "PackEdit.c_Message_02"},
        {[](PackEditValues& v) { v.nozzle.clear(); v.ownSpeed = true; }, false, "PackEdit.c_Message_03"},
        {[](PackEditValues& v) { v.ownSpeed = true; }, false, "PackEdit.c_Message_04"},
        {[](PackEditValues& v) { v.ownSpeed = true; v.speedName = "s"; v.visionChoice = 1; v.camera = "c"; }, false, ""},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        PackEditValues v = ok;
        cases[i].change(v);
        EXPECT_EQ(PackEditRefusal(v, cases[i].taken), cases[i].refusal);
    }
    PackEditValues bad = ok;
    bad.height = 12.5;
    ASSERT_TRUE(PackFieldOutOfRange(bad));
    EXPECT_STREQ(PackFieldOutOfRange(bad)->field, "height");
    bad = ok;
    bad.xyPrecision = -1;
    bad.pickHeight = 0.0;
    EXPECT_FALSE(PackFieldOutOfRange(bad));
    bad.pickHeight = 0.5;
    EXPECT_TRUE(PackFieldOutOfRange(bad));
}

TEST(PackEditor, ChoicesByMachineTypeAndFeedModeEffects) {
    struct Case {
        int type;
        bool autoChange, nineteen;
        int nozzles;
        std::size_t feedModes;
    };
    for (const Case& c : {Case{0, false, false, 1, 9}, Case{0, true, false, 6, 9}, Case{2, false, true, 2, 8},
                          Case{3, true, false, 6, 8}, Case{3, true, true, 16, 8}, Case{3, false, true, 4, 8},
                          Case{4, true, true, 4, 5}, Case{7, true, false, 8, 5}, Case{7, true, true, 16, 5},
                          Case{8, true, true, 0, 0}}) {
        SCOPED_TRACE(c.type);
        const auto n = PackNozzleChoices(c.type, c.autoChange, c.nineteen);
        EXPECT_EQ(static_cast<int>(n.size()), c.nozzles);
        if (!n.empty()) { EXPECT_EQ(n.back(), std::to_string(c.nozzles)); }
        EXPECT_EQ(PackFeedModeChoices(c.type).size(), c.feedModes);
    }
    EXPECT_EQ(PackFeedModeChoices(4).front(), 1);  // "自动飞达" first on type 4
    const FeedModeEffect automatic = FeedModeEffectOf(1);
    EXPECT_EQ(std::tie(automatic.feedCount, automatic.loosenTighten), std::make_tuple(Enable::Off, Enable::Off));
    EXPECT_EQ(automatic.feedTimeText, "100");
    const FeedModeEffect drag = FeedModeEffectOf(6);
    EXPECT_EQ(std::tie(drag.mmUnit, drag.loosenTighten), std::make_tuple(Enable::On, Enable::On));
    EXPECT_EQ(FeedModeEffectOf(7).feedTime, Enable::Unchanged);
    EXPECT_FALSE(FeedModeEffectOf(3).feedTimeText);
    EXPECT_EQ(FrameSizeText(8.0, 4.0), "4.00");
    EXPECT_EQ(ImageFeaturePosition("07:BGA-4PointAngle"), 7);
    EXPECT_EQ(ImageFeatureNames(2)[11], "11:BGA-Other");

    TextRow row(kPackCells);
    row[9] = "Yes";
    row[10] = "Yes";
    EXPECT_EQ(PackEditFromRow(row, 4).visionChoice, 0);  // "无视觉" on type 4
    EXPECT_EQ(PackEditFromRow(row, 1).visionChoice, 1);
}

TEST(PackEditor, OnlyTheSynchroniseBoxSurvivesAndModifyPushesTheCopyFlags) {
    test::TempDir dir;
    const std::string ini = dir.File("config.ini");
    PackEditConfig c;
    c.m_SynchronousModify = 1;
    c.m_FeedTime = 1;
    c.m_VacuumTestValue = 1;
    ASSERT_TRUE(SavePackEditConfig(c, ini));
    for (const char* key : {"m_SynchronousModify", "m_SelectFeedMode", "m_smtBeforeCloseVacuum", "m_NozzleHeight"})
        EXPECT_NE(plat::GetPrivateProfileString("PackEditConfig", key, "-", 16, ini), "-") << key;
    PackLibrary lib;
    lib.m_EditConfig = LoadPackEditConfig(ini);
    EXPECT_EQ(lib.m_EditConfig.m_FeedTime, 1);
    ClearCopyBoxes(lib.m_EditConfig);
    EXPECT_EQ(lib.m_EditConfig.m_FeedTime, 0);
    EXPECT_EQ(lib.m_EditConfig.m_SynchronousModify, 1);

    lib.ParseRows({Cells(0, 28)});
    lib.m_Remembered = 0;
    ASSERT_TRUE(lib.LoadEditor(1));
    lib.m_Edit.name = "renamed";
    lib.m_Edit.feedTime = 150;
    lib.m_EditConfig.m_FeedTime = 1;
    const auto pushed = lib.Modify();
    ASSERT_TRUE(pushed);
    EXPECT_EQ(std::tie(pushed->package, pushed->feedTimeOn, pushed->feedTime, pushed->feedModeOn),
              std::make_tuple(std::string("renamed"), true, 150, false));
    EXPECT_EQ(lib.Table().Rows()[0][26], "c26");  // the spares are kept
    lib.m_EditConfig.m_SynchronousModify = 0;
    EXPECT_FALSE(lib.Modify());
    PackEditValues zeros;
    zeros.length = 0;
    zeros.pickDelay = 0;
    MendPackZeros(zeros);
    EXPECT_DOUBLE_EQ(zeros.length, 0.1);
    EXPECT_EQ(zeros.pickDelay, 1);
}

TEST(MarkLibrary, RowsCapturesAndNames) {
    MarkLibrary lib;
    lib.ParseRows({Cells(0, 16) + "x", Cells(0, 20), "A\t1\t"});
    std::vector<std::string> lines;
    lib.JoinRows(lines);
    EXPECT_EQ(lines[0], Cells(0, 16));
    EXPECT_EQ(lines[1], Cells(0, 16));
    EXPECT_EQ(lines[2], "A\t1\t" + std::string(14, '\t'));
    lib.m_Remembered = 2;
    EXPECT_FALSE(lib.IsMarkNameTaken("A"));
    EXPECT_TRUE(lib.IsMarkNameTaken("c0"));

    struct Case {
        int type, table;
        std::int32_t dx, dy;
        std::string x, y;
    };
    for (const Case& c : {Case{0, 1, 1234, -1234, "12.3401", "-12.3401"}, Case{0, 2, 0, 0, "0.0000", "0.0000"},
                          Case{4, 1, 1234, -1234, "12.3401", "-12.3401"}, Case{4, 2, -1234, 1234, "-12.3401", "12.3401"},
                          Case{4, 0, 1234, 1234, "12.3401", "7.0000"}}) {
        SCOPED_TRACE(c.type * 10 + c.table);
        MarkCounters k;
        k.base = {100, 200, 300, 400};
        k.now = k.base;
        k.now[c.type == 4 ? 2 : 0] += c.dx;
        k.now[c.type == 4 && c.table == 2 ? 3 : 1] += c.dy;
        k.now[0] += c.type == 4 ? 5000 : 0;  // the X counter is not read on type 4
        MarkEditValues v;
        v.mark1Y = 7;
        CaptureX(v, k, c.type, 100);
        CaptureY(v, k, c.type, c.table, 100);
        EXPECT_EQ(FormatMm(v.mark1X), c.x);
        EXPECT_EQ(FormatMm(v.mark1Y), c.y);
    }
    EXPECT_EQ(AllowedDeviationText(50, 80), "0.6250");
    EXPECT_EQ(CharacterCount("标记标记标记标记标记标记标记标记标记标记"), 20);
    EXPECT_EQ(CharacterCount(std::string(21, 'm')), 21);

    lib.LoadEditor();
    lib.m_Edit.name = "B";
    EXPECT_EQ(lib.Modify(), std::optional<std::string>("A"));
    EXPECT_FALSE(lib.Modify());  // unchanged name
}

TEST(MarkLibrary, LookUpWhileTheWindowRebuildsNeverSeesHalfAnEntry) {
    MarkLibrary& lib = TheMarkLibrary();
    lib.ParseRows({"M\t1.0000\t1.0000\t0\t0\t10\t1.0000\t1.0000\t10\t10\t10\t10\t1\tYes\t0\t0\t"});
    lib.m_Remembered = 0;  // a first confirmed version, so every version the reader can see is whole
    lib.LoadEditor();
    lib.m_Edit.mark1X = lib.m_Edit.allowOffset = lib.m_Edit.contrast = 0;
    lib.Modify();
    std::atomic<bool> stop{false};
    std::atomic<int> seen{0}, torn{0};
    std::thread run([&] {
        while (!stop) {
            if (auto e = LookUpMarkEntry("M")) {
                ++seen;
                // Every confirmed version has all fields equal to its version number.
                if (e->mark1X != e->allowOffset || e->contrast != e->allowOffset) ++torn;
            }
        }
    });
    // Under load the reader may start late: let it see the entry once before the rebuilds.
    for (int spins = 0; seen == 0 && spins < 5000; ++spins) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    for (int i = 1; i < 400; ++i) {
        lib.m_Remembered = 0;
        lib.LoadEditor();
        lib.m_Edit.mark1X = i % 100;
        lib.m_Edit.allowOffset = i % 100;
        lib.m_Edit.contrast = i % 100;
        lib.Modify();
        lib.Add();
        lib.Sort(5);
        lib.m_Remembered = lib.Count() - 1;
        lib.Delete();
    }
    stop = true;
    run.join();
    EXPECT_EQ(torn, 0);
    EXPECT_GT(seen, 0);
    EXPECT_FALSE(LookUpMarkEntry("none"));
    lib.FreeTable();
}

TEST(DropDownLists, EditsMirrorAndBuildFourLines) {
    DropDownLists d;
    std::vector<std::string> mirrored;
    d.mirror = [&](int list, const std::string& removed, const std::string& added) {
        mirrored.push_back(std::to_string(list) + "-" + removed + "+" + added);
    };
    d.Load({"R2\tC1\t", "", "0603\t", "90\t0\t", "ignored\t"});
    EXPECT_EQ(d.List(0), (std::vector<std::string>{"C1", "R2"}));
    struct Case {
        int page;
        std::string text;
        std::string refusal;
        std::size_t size;
    };
    for (const Case& c : {Case{3, "360", "", 2}, Case{3, "400", "", 2}, Case{3, "-90", "", 3}, Case{3, "-90",
                          "DropDownParameter.c_Message_02", 3}, Case{0, "", "DropDownParameter.c_Message_01", 2},
                          Case{0, "A7", "", 3}}) {
        SCOPED_TRACE(c.text);
        d.SetPage(c.page);
        EXPECT_EQ(d.Add(c.text), c.refusal);
        EXPECT_EQ(d.List(c.page).size(), c.size);
    }
    EXPECT_EQ(d.List(0).front(), "A7");  // added at the top
    EXPECT_EQ(d.List(3).front(), "-90");
    d.SetPage(0);
    EXPECT_EQ(d.Modify("X"), "DropDownParameter.c_Message_04");
    d.Select(1);
    EXPECT_EQ(d.Modify("C1"), "DropDownParameter.c_Message_05");  // its own text
    EXPECT_EQ(d.Modify("R2"), "DropDownParameter.c_Message_05");
    EXPECT_EQ(d.Modify("C9"), "");
    EXPECT_EQ(d.Selected(), -1);
    d.SetPage(3);
    d.Select(0);
    EXPECT_EQ(d.Modify("90"), "DropDownParameter.c_Message_08");
    EXPECT_EQ(d.Delete(), "");
    EXPECT_EQ(d.Delete(), "DropDownParameter.c_Message_09");
    EXPECT_EQ(mirrored, (std::vector<std::string>{"3-+-90", "0-+A7", "0-C1+C9", "3--90+"}));
    d.SetPage(0);
    d.Import({"A7", "", "Z1", "B3", "Z1"});
    EXPECT_EQ(d.List(0), (std::vector<std::string>{"A7", "B3", "C9", "R2", "Z1"}));
    EXPECT_EQ(mirrored.size(), 4u);  // Import mirrors nothing
    d.SetPage(1);
    d.Import({"Q"});
    EXPECT_TRUE(d.List(1).empty());
    EXPECT_EQ(d.BuildLines(), (std::vector<std::string>{"A7\tB3\tC9\tR2\tZ1\t", "", "0603\t", "0\t90\t"}));
}

} // namespace
} // namespace smt
