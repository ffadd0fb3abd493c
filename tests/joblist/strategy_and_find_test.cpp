// The placement strategy's section, machine-type rules and OK; the find walk;
// the run clock; Compare, Update and the list switch of the run toolbar.
#include <gtest/gtest.h>

#include <tuple>

#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/find.h"
#include "joblist/run_toolbar.h"
#include "joblist/smt_strategy.h"
#include "platform/profile.h"
#include "run_state/run_events.h"
#include "test_support.h"

namespace smt::test {
namespace {

JobRow PartRow(std::vector<std::string> cells) {
    JobRow r(kPartCells);
    for (std::size_t i = 0; i < cells.size(); ++i) r.cells[i] = cells[i];
    return r;
}

std::string Section(const std::string& path) {
    std::string text = ReadBytes(path);
    return text.substr(text.find("[SmtStrategyConfig]"));
}

TEST(Strategy, MissingSectionGivesTheDefaultsAndStoredValuesOutsideTheirChoicesReadAsTheFirst) {
    TempDir dir;
    const std::string path = dir.File("config.ini");
    WriteBytes(path, "[Other]\r\nx=1\r\n");
    plat::FlushProfileCache();
    g_SmtHeadCount = 4;
    g_SmtSameNozzle = 1;
    SmtStrategyConfig c;
    c.m_DisSpeedStart_XY = 7;
    LoadSmtStrategyConfig(c, path, 0);
    EXPECT_EQ((std::vector<long>{c.m_HeaderSelect, g_SmtHeadCount, g_SmtSameNozzle, c.m_SpecialHead,
                                 c.m_DisSpeedStart_XY, c.m_DisSpeedNormal_XY, c.m_DisSpeedStart_Z, c.m_DisSpeedNormal_Z,
                                 c.m_DropsGluePoint, c.m_RunSelect}),
              (std::vector<long>{0, 1, 0, 8, 50, 100, 50, 100, 1, 0}));

    // A nozzle kept back survives only with two heads and different nozzles;
    // a run mode or order no button stands for reads as the first choice.
    struct Row {
        int head, change, run, order, expectChange, expectRun, expectOrder;
    };
    for (const Row& r : {Row{2, 2, 12, 9, 2, 12, 9}, Row{1, 2, 13, 10, 0, 0, 0}, Row{0, 1, -1, -3, 0, 0, 0}}) {
        WriteBytes(path, FormatC("[SmtStrategyConfig]\r\nm_HeaderSelect=%d\r\nm_ChangeNozzleSelect=%d\r\n"
                                 "m_RunSelect=%d\r\nm_SmtOrder=%d\r\n",
                                 r.head, r.change, r.run, r.order));
        plat::FlushProfileCache();
        SmtStrategyConfig s;
        LoadSmtStrategyConfig(s, path, 0);
        EXPECT_EQ(s.m_ChangeNozzleSelect, r.expectChange) << r.head;
        EXPECT_EQ(s.m_RunSelect, r.expectRun) << r.run;
        EXPECT_EQ(s.m_SmtOrder, r.expectOrder) << r.order;
    }
}

TEST(Strategy, SectionRoundTripsItsKeysInOrder) {
    TempDir dir;
    const std::string path = dir.File("config.ini");
    SmtStrategyConfig c;
    c.m_SmtOrder = 8;
    c.m_HeaderSelect = 2;
    c.m_SpecialHead = 11;  // written as it is, then 8 in memory
    c.m_BlockHead = 1;
    c.m_ChangeNozzleSelect = 2;
    c.m_SpellBoard = 5;
    c.m_RunSelect = 11;
    c.m_WeldDistance_1 = 1.25;
    c.m_DropsGlueClose2 = 3.5;
    c.m_AfterCloseDelay2 = 70;
    ASSERT_TRUE(SaveSmtStrategyConfig(c, path));
    EXPECT_EQ(c.m_SpecialHead, 8);
    plat::FlushProfileCache();
    EXPECT_EQ(Section(path),
              "[SmtStrategyConfig]\r\nm_SmtOrder=8\r\nm_HeaderSelect=2\r\nm_SpecialHead=11\r\nm_TogetherCode=0\r\n"
              "m_BlockHead=1\r\nm_ChangeNozzleSelect=2\r\nm_AutoChangeNozzle=0\r\nm_19NozzleLibrary=0\r\n"
              "m_Head2AvoidCamera1=0\r\nm_Cover=0\r\nm_SpellBoard=5\r\nm_RunSelect=11\r\nm_Interval=0\r\n"
              "m_DropsGlueDelay=0\r\nm_bDisMode2=0\r\nm_DisSpeedStart_XY=50\r\nm_DisSpeedNormal_XY=100\r\n"
              "m_DisSpeedStart_Z=50\r\nm_DisSpeedNormal_Z=100\r\nm_DropsGluePoint=1\r\nm_WeldDistance_1=1.2500\r\n"
              "m_WeldDistance_2=0.0000\r\nm_DropsGlueOpen1=0.0000\r\nm_DropsGlueClose1=0.0000\r\n"
              "m_AfterCloseDelay1=0\r\nm_DropsGlueOpen2=0.0000\r\nm_DropsGlueClose2=3.5000\r\n"
              "m_AfterCloseDelay2=70\r\n");
    SmtStrategyConfig back;
    LoadSmtStrategyConfig(back, path, 3);  // type 3 keeps the W/E restriction
    EXPECT_EQ((std::vector<long>{back.m_SpecialHead, back.m_BlockHead, back.m_ChangeNozzleSelect, back.m_SpellBoard,
                                 back.m_RunSelect, back.m_AfterCloseDelay2}),
              (std::vector<long>{8, 1, 2, 5, 11, 70}));
    EXPECT_DOUBLE_EQ(back.m_DropsGlueClose2, 3.5);
    LoadSmtStrategyConfig(back, path, 2);
    EXPECT_EQ(back.m_BlockHead, 0);
}

TEST(Strategy, MachineTypeAdjustsTheMembersAndNamesWhatItDisables) {
    struct Row {
        int type, head, run, cover;
        int expectHead, expectRun, expectCover;
        bool coverOn, setOn;
        std::vector<std::string> off, on;
    };
    const std::vector<Row> rows = {
        {0, 3, 0, 1, 0, 0, 1, true, true, {"head1", "head7", "run1", "run2", "run8", "run12", "c_BlockHead"}, {"run3", "head8"}},
        {0, 0, 3, 1, 0, 3, 0, false, false, {"run9"}, {}},
        {0, 0, 11, 0, 0, 0, 0, true, false, {}, {}},
        {1, 4, 10, 0, 0, 0, 0, true, false, {"head1", "run12"}, {"run1", "run8"}},
        {2, 4, 2, 1, 0, 2, 0, false, false, {"head3", "run8"}, {"head1", "head2"}},
        {3, 0, 0, 1, 0, 0, 0, false, false, {"c_Cover", "c_Set", "head6"}, {"head5", "c_BlockHead"}},
        {4, 6, 5, 0, 6, 12, 0, false, false, {"run0", "run3", "run7", "c_AutoChangeNozzle", "head5"}, {"run9", "run12"}},
        {5, 5, 2, 0, 0, 0, 0, false, false, {"run1", "run2", "head3"}, {"run3"}},
        {7, 7, 12, 0, 7, 0, 0, false, false, {"run8", "c_Cover"}, {"head7", "c_TogetherCode"}},
        {9, 8, 12, 1, 8, 12, 0, false, false, {}, {"run1"}},
        // A run mode the type greys out gives way to an enabled one.
        {0, 0, 9, 1, 0, 0, 1, true, true, {"run9"}, {"run0"}},
        {0, 0, 8, 0, 0, 0, 0, true, false, {"run8"}, {"run0"}},
        {2, 0, 8, 0, 0, 0, 0, true, false, {"run8"}, {"run0"}},
        {3, 0, 9, 0, 0, 0, 0, false, false, {"run9"}, {"run0"}},
        {4, 0, 0, 0, 0, 12, 0, false, false, {"run0"}, {"run12"}},
        {4, 0, 9, 0, 0, 9, 0, false, false, {"run0"}, {"run9"}},
        {7, 0, 9, 0, 0, 0, 0, false, false, {"run9"}, {"run0"}},
    };
    for (const Row& r : rows) {
        SmtStrategyConfig c;
        c.m_HeaderSelect = r.head;
        c.m_RunSelect = r.run;
        c.m_Cover = r.cover;
        c.m_AutoChangeNozzle = 1;
        const MachineTypeView v = ApplyMachineType(c, r.type);
        EXPECT_EQ(std::make_tuple(c.m_HeaderSelect, c.m_RunSelect, c.m_Cover, v.coverEnabled, v.setEnabled),
                  std::make_tuple(r.expectHead, r.expectRun, r.expectCover, r.coverOn, r.setOn)) << r.type;
        for (const auto& n : r.off) EXPECT_TRUE(v.disabled.count(n)) << r.type << " " << n;
        for (const auto& n : r.on) EXPECT_FALSE(v.disabled.count(n)) << r.type << " " << n;
        EXPECT_FALSE(v.disabled.count("run" + std::to_string(c.m_RunSelect))) << r.type << " " << r.run;
        EXPECT_EQ(c.m_19NozzleLibrary, r.type == 3 || r.type == 7 ? 1 : 0) << r.type;
        EXPECT_EQ(c.m_AutoChangeNozzle, r.type == 4 ? 0 : 1) << r.type;
    }
}

TEST(Strategy, OkSortsByTheChosenOrderAndFillsTheDispensingListOnce) {
    TempDir dir;
    PartListStore store;
    store.SetRows(JobList::Part, {PartRow({"1", "", "", "", "", "", "", "Yes", "", "E9", "", "C10"}),
                                  PartRow({"2", "", "", "", "", "", "", "Yes", "", "E1", "", "B2"}),
                                  PartRow({"3", "", "", "", "", "", "", "Yes", "", "E5", "", "A1"})});
    SmtStrategyConfig c;
    c.m_SmtOrder = 8;  // feeder number: sorts by the feeder value, column 11
    c.m_RunSelect = 1;
    ScriptedResponder boxes;
    ASSERT_TRUE(ApplyStrategyOk(c, store, dir.Path()));
    EXPECT_EQ(store.Cell(JobList::Part, 0, 0) + store.Cell(JobList::Part, 2, 0), "31");
    EXPECT_EQ(std::make_tuple(store.m_SortKey.load(), store.RowCount(JobList::Dis), store.VisibleList(), int(store.m_RunFromRowEnabled)),
              std::make_tuple(11, 3, JobList::Dis, 1));
    ASSERT_TRUE(ApplyStrategyOk(c, store, dir.Path()));
    EXPECT_EQ(store.RowCount(JobList::Dis), 3);
    EXPECT_EQ(TheSmtStrategy().RunSelect(), 1);
    plat::FlushProfileCache();
    EXPECT_EQ(plat::GetPrivateProfileString("SmtStrategyConfig", "m_SmtOrder", "", 512, dir.File("config.ini")), "8");
    // Two heads with one nozzle type pair the rows; the key then names the head column.
    c.m_HeaderSelect = 1;
    c.m_RunSelect = 5;
    ASSERT_TRUE(ApplyStrategyOk(c, store, dir.Path()));
    EXPECT_EQ(std::make_tuple(store.m_SortKey.load(), g_SmtHeadCount.load(), int(store.m_RunFromRowEnabled)), std::make_tuple(9, 2, 0));
    EXPECT_TRUE(boxes.Texts().empty());
    TheSmtStrategy().SetConfig({});
    ApplyHeadMode(0);
}

TEST(Find, WalksFromTheCurrentRowAndMovesItToTheHit) {
    PartListStore store;
    ScriptedResponder boxes;
    EXPECT_EQ(FindInPartList(store, "R1", false).outcome, FindOutcome::EmptyList);
    store.SetRows(JobList::Part, {PartRow({"1", "", "", "", "R1x"}), PartRow({"2", "", "", "", "r1"}),
                                  PartRow({"3", "", "", "", "R1"}), PartRow({"R1", "", "", "", "C1"})});
    struct Step {
        const char* text;
        bool next;
        int before;
        FindOutcome outcome;
        int row, column, after;
    };
    const std::vector<Step> steps = {
        {"", false, 1, FindOutcome::Nothing, -1, -1, 1},
        {"R1", false, -1, FindOutcome::Hit, 2, 4, 2},  // whole text, case-sensitive
        {"R1", false, 2, FindOutcome::Hit, 2, 4, 2},   // twice finds the same row
        {"R1", true, 2, FindOutcome::Hit, 3, 0, 3},    // next starts one row further
        {"R1", true, 3, FindOutcome::Miss, -1, -1, 0}, // past the last row: back to the top
        {"R1", true, -1, FindOutcome::Nothing, -1, -1, -1},
        {"C1", true, 0, FindOutcome::Hit, 3, 4, 3},
    };
    for (const Step& s : steps) {
        store.m_PartItem = s.before;
        const FindResult r = FindInPartList(store, s.text, s.next);
        EXPECT_EQ(r.outcome, s.outcome) << s.text << s.before;
        EXPECT_EQ(r.row, s.row) << s.text << s.before;
        EXPECT_EQ(r.column, s.column) << s.text << s.before;
        EXPECT_EQ(store.m_PartItem, s.after) << s.text << s.before;
    }
    // Only the start row and the hit change their selection.
    store.SetSelected(JobList::Part, 0, true);
    store.SetSelected(JobList::Part, 1, true);
    store.m_PartItem = 1;
    FindInPartList(store, "C1", false);
    EXPECT_TRUE(store.Row(JobList::Part, 0)->selected);
    EXPECT_FALSE(store.Row(JobList::Part, 1)->selected);
    EXPECT_TRUE(store.Row(JobList::Part, 3)->selected);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST(RunClock, RollsOverAndShowsTheRate) {
    g_RunClock = 59;
    AdvanceRunClock();
    EXPECT_EQ(RunClockText(), "T  0: 1: 0");
    g_RunClock = 3599;
    AdvanceRunClock();
    EXPECT_EQ(RunClockText(), "T  1: 0: 0");
    g_RunClock = 3725;  // 1:02:05
    EXPECT_EQ(RunClockText(), "T  1: 2: 5");
    EXPECT_EQ(RunCounterText(17, 62), "17/62-59");
    EXPECT_EQ(RunCounterText(17, 0), "17");
    g_RunClock = 0;  // no second yet: no rate rather than a division by zero
    EXPECT_EQ(RunCounterText(1, 1), "1/1-0");
}

TEST(RunToolbarLists, CompareUpdateAndTheListSwitch) {
    PartListStore store;
    ScriptedResponder boxes;
    store.SetRows(JobList::Part, {PartRow({"1", "", "", "", "", "", "", "Yes", "10k", "E1", "", "10k", "1"}),
                                  PartRow({"2", "", "", "", "", "", "", "Yes", "1u", "E2", "", "10u", "1"}),
                                  PartRow({"3", "", "", "", "", "", "", "No", "5", "E3", "", "5", "1"})});
    store.m_PartItem = 2;  // below the only differing row
    OnCompare(store);
    store.m_PartItem = 0;
    OnCompare(store);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Part & Feed value is same all.OK",
                                                       "Part & Feed value is not same !"}));
    EXPECT_TRUE(store.Row(JobList::Part, 1)->selected);
    EXPECT_EQ(store.m_PartItem, 0);

    auto feeder = [](const char* id, const char* camera, const char* flying, const char* head) {
        FeedRow f{};
        f[0] = id;
        f[2] = "0603";
        f[3] = "100n";
        f[10] = head;
        f[12] = camera;
        f[13] = flying;
        return f;
    };
    boxes.Clear();
    OnUpdate(store, {});
    OnUpdate(store, {feeder("E1", "No/", "Yes/", "1")});
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"没有料架，请添加料架 !", "2行料架号不存在 !"}));
    EXPECT_EQ(store.Cell(JobList::Part, 0, partcell::Vision), "Yes");  // rows above are updated
    EXPECT_EQ(store.Row(JobList::Part, 0)->Icon(partcell::Vision), rowicon::VisionYes);
    EXPECT_EQ(store.Cell(JobList::Part, 0, partcell::Package), "0603");

    struct Limit {
        int type;
        const char* head;
        bool refused;
    };
    for (const Limit& l : {Limit{0, "2", true}, Limit{1, "1", false}, Limit{2, "3", true}, Limit{5, "2", false},
                           Limit{4, "5", true}, Limit{6, "4", false}, Limit{7, "9", true}, Limit{8, "9", false}}) {
        g_MachineType = l.type;
        boxes.Clear();
        OnUpdate(store, {feeder("E1", "Yes/", "", l.head), feeder("E2", "No/", "No", l.head)});
        const auto texts = boxes.Texts();
        EXPECT_EQ(texts, l.refused ? std::vector<std::string>{"1行吸嘴编号错误 !"} : std::vector<std::string>{})
            << l.type;
    }
    // The flying cell without "/" leaves the vision cell as it was.
    EXPECT_EQ(store.Cell(JobList::Part, 1, partcell::Vision), "");

    struct Dis {
        int type, run;
        JobList before, after;
    };
    for (const Dis& d : {Dis{9, 1, JobList::Part, JobList::Drill}, Dis{0, 1, JobList::Part, JobList::Dis},
                         Dis{0, 2, JobList::Dis, JobList::Part}, Dis{0, 3, JobList::Dis, JobList::Part}}) {
        g_MachineType = d.type;
        SmtStrategyConfig c;
        c.m_RunSelect = d.run;
        TheSmtStrategy().SetConfig(c);
        store.ShowList(d.before);
        OnSmtDis(store);
        EXPECT_EQ(store.VisibleList(), d.after) << d.type << " " << d.run;
    }
    EXPECT_EQ(store.RowCount(JobList::Dis), 3);  // copied on the first switch
    g_MachineType = 0;
    TheSmtStrategy().SetConfig({});
}

} // namespace
} // namespace smt::test
