// The job lists' rows: companion files through the document, the pre-run check,
// dispensing rows from placement rows, in-place editing, feeder propagation and
// the run's icon services.
#include <gtest/gtest.h>

#include "app/document.h"
#include "base/numtext.h"
#include "feeders/strategy_port.h"
#include "joblist/job_lists.h"
#include "joblist/part_list_texts.h"
#include "link/link_state.h"
#include "settings/basic_settings.h"
#include "test_support.h"

using namespace smt;
using smt::test::ScriptedResponder;
using smt::test::TempDir;
using Lines = std::vector<std::string>;

namespace {

std::string Cells(std::initializer_list<const char*> cells) {
    std::string line;
    for (const char* c : cells) line += std::string(c) + "\t";
    return line;
}

FeedRow Feeder(const std::string& id, const std::string& value, const std::string& head = "1",
               const std::string& camera = "No/", const std::string& flying = "No/", const std::string& height = "0") {
    FeedRow f;
    f[feedcell::Id] = id;
    f[3] = value;
    f[8] = height;
    f[10] = head;
    f[feedcell::Camera] = camera;
    f[feedcell::Flying] = flying;
    return f;
}

JobRow Part(const std::string& number, const std::string& feeder, const std::string& place = "Yes") {
    JobRow r(kPartCells);
    r.Set(partcell::Number, number, rowicon::Plain);
    r.cells[partcell::X] = "1.5";
    r.cells[partcell::Y] = "-2.25";
    r.Set(partcell::Place, place, place == "Yes" ? rowicon::Yes : rowicon::No);
    r.cells[partcell::Feeder] = feeder;
    return r;
}

void SetParts(PartListStore& s, const std::vector<JobRow>& rows) { s.SetRows(JobList::Part, rows); }

} // namespace

TEST(CompanionLines, ThroughTheProjectFiles) {
    TempDir dir;
    PartListStore store, back;
    JobLists job(store), read(back);
    job.SetJob("P", 1, {"r\t"});
    const std::string full = Cells({"1", "2.0000", "3.0000", "-1.0000", "Yes", "5", "10", "50", "50", "50", "glue",
                                    "", "", "", "k"});
    store.ParseDisLines({full, Cells({"2", "0", "0", "0", "maybe"}) + "tail"}, 0);
    ASSERT_TRUE(WriteProjectFiles(dir.File("job.smt"), job, 9).ok);
    ASSERT_TRUE(ReadProjectFiles(dir.File("job.smt"), read, 9).ok);
    ASSERT_EQ(back.RowCount(JobList::Dis), 2);
    const JobRow r0 = *back.Row(JobList::Dis, 0), r1 = *back.Row(JobList::Dis, 1);
    EXPECT_EQ(JoinRow(r0.cells), full);
    EXPECT_EQ(r0.Icon(0), rowicon::Loaded);
    EXPECT_EQ(r0.Icon(kDisFlagCell), rowicon::Yes);
    EXPECT_EQ(r1.Icon(kDisFlagCell), rowicon::No);  // anything but "Yes"
    EXPECT_EQ(r1.Cell(kDisFlagCell), "maybe");
    EXPECT_EQ(r1.Cell(5), "");  // "tail" followed no tab: it is no cell

    // Cells past 15 are dropped; a line without its final tab loses its last cell.
    std::string longLine;
    for (int c = 0; c < 18; ++c) longLine += std::to_string(c) + "\t";
    const struct { std::string line; std::string cell14; std::string cell2; } cut[] = {
        {longLine, "14", "2"},
        {"a\tb\tc", "", ""},
    };
    for (const auto& c : cut) {
        const auto cells = CutCompanionLine(c.line);
        EXPECT_EQ(cells[14], c.cell14) << c.line;
        EXPECT_EQ(cells[2], c.cell2) << c.line;
    }
}

TEST(CompanionLines, ShownListFollowsTheRunModeAndAJobWithoutDisLeavesItEmpty) {
    TempDir dir;
    PartListStore store;
    JobLists job(store);
    job.SetJob("P", 1, {"r\t"});
    for (auto [mode, shown] : {std::pair{0, JobList::Part}, {1, JobList::Dis}, {2, JobList::Dis}, {3, JobList::Part}}) {
        TheStrategyPort().m_RunSelect = [m = mode] { return m; };
        store.ParseDisLines({Cells({"1"})}, 0);  // any earlier state
        store.ShowList(JobList::Drill);
        job.ParseDisLines({Cells({"1", "0", "0", "0", "Yes"})});
        EXPECT_EQ(store.VisibleList(), shown) << mode;
    }
    TheStrategyPort().m_RunSelect = nullptr;
    ASSERT_TRUE(WriteProjectFiles(dir.File("with.smt"), job, 9).ok);
    store.ParseDrillLines({Cells({"1", "2"})});
    ASSERT_TRUE(WriteProjectFiles(dir.File("with.smt"), job, 9).ok);
    EXPECT_EQ(store.VisibleList(), JobList::Drill);
    JobLists other(store);
    other.SetJob("Q", 1, {"r\t"});
    other.FreeDisRows();
    other.FreeDrillRows();
    ASSERT_TRUE(WriteProjectFiles(dir.File("plain.smt"), other, 9).ok);
    ASSERT_TRUE(ReadProjectFiles(dir.File("with.smt"), job, 9).ok);
    EXPECT_EQ(store.RowCount(JobList::Dis), 1);
    EXPECT_EQ(store.RowCount(JobList::Drill), 1);
    // The old rows must not stay in the list to be saved into the new job.
    ASSERT_TRUE(ReadProjectFiles(dir.File("plain.smt"), job, 9).ok);
    EXPECT_EQ(store.RowCount(JobList::Dis), 0);
    EXPECT_EQ(store.RowCount(JobList::Drill), 0);
    EXPECT_EQ(job.DisCount(), 0);
}

TEST(PartRows, ValidateReportsTheFirstMissingFeederOnly) {
    ScriptedResponder boxes;
    PartListStore s;
    SetParts(s, {Part("1", "E1"), Part("2", "E2"), Part("3", "E9"), Part("4", "X", "No"), Part("5", "E8")});
    const std::vector<FeedRow> feeders{Feeder("E1", "0402"), Feeder("E2", "0603")};
    EXPECT_FALSE(s.ValidatePartRows(feeders));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "3行料架号不存在 !");
    EXPECT_EQ(s.FirstSelected(JobList::Part), 2);

    // "No" rows are never looked at; no rows passes.
    SetParts(s, {Part("1", "E1"), Part("2", "gone", "No")});
    EXPECT_TRUE(s.ValidatePartRows(feeders));
    SetParts(s, {});
    EXPECT_TRUE(s.ValidatePartRows(feeders));
    EXPECT_FALSE(s.ValidatePartRows({}));
    EXPECT_EQ(boxes.Texts().back(), "没有料架，请添加料架 !");
    EXPECT_EQ(boxes.Count(), 2u);
}

TEST(PartRows, CopyToDispensingInsertsAtThePlacementPositions) {
    PartListStore s;
    SetParts(s, {Part("1", "E1"), Part("2", "E1", "No")});
    s.ParseDisLines({Cells({"old"})}, 0);
    const double saved = TheBasicSettings().m_Z_DropsGlueToPCBHeight;
    TheBasicSettings().m_Z_DropsGlueToPCBHeight = -12.34567;
    s.CopyPartRowsToDisList();
    TheBasicSettings().m_Z_DropsGlueToPCBHeight = saved;
    ASSERT_EQ(s.RowCount(JobList::Dis), 3);
    const JobRow a = *s.Row(JobList::Dis, 0), b = *s.Row(JobList::Dis, 1);
    EXPECT_EQ(a.cells, (Lines{"1", "1.5", "-2.25", "-12.3457", "Yes", "5", "10", "50", "50", "50", "", "", "", "", ""}));
    EXPECT_EQ(a.Icon(0), rowicon::InWork);
    EXPECT_EQ(a.Icon(kDisFlagCell), rowicon::Yes);
    EXPECT_EQ(b.Cell(kDisFlagCell), "No");
    EXPECT_EQ(b.Icon(kDisFlagCell), rowicon::No);
    EXPECT_EQ(s.Cell(JobList::Dis, 2, 0), "old");  // the existing rows follow
}

TEST(PartRows, InPlaceEditing) {
    PartListStore s;
    JobRow r = Part("1", "");
    r.cells[partcell::Angle] = "45";
    r.Set(partcell::Place, "maybe", rowicon::None);
    SetParts(s, {r});
    s.FillInPlaceCombos({"R1\tC1\t", "RES\t", "x\t", "0\t90\t", "more\t"});
    s.FillPackageCombo({"0402\t1\t2\t", "0603\t"});
    const std::vector<FeedRow> feeders{Feeder("E1", "0402", "2", "Yes/Camera 1"), Feeder("E10", "10k", "1", "No/", "Yes/1/2")};
    s.FillFeederCombo(feeders);
    s.FillFeederCombo(feeders);  // never twice
    EXPECT_EQ(s.ComboItems(InPlaceCombo::Feeders), (Lines{"E1-0402", "E10-10k"}));
    EXPECT_EQ(s.ComboItems(InPlaceCombo::Packages), (Lines{"0402", "0603"}));

    struct Case { int column; std::string cell; CellEdit::Kind kind; InPlaceCombo combo; std::string selected; };
    const Case cases[] = {
        {partcell::Place, "maybe", CellEdit::Toggled, {}, ""},   // any text becomes Yes
        {partcell::Place, "Yes", CellEdit::Toggled, {}, ""},
        {partcell::Angle, "45", CellEdit::Combo, InPlaceCombo::Angles, "45"},  // added, then selected
        {partcell::Name, "", CellEdit::Combo, InPlaceCombo::Names, ""},
        {partcell::Feeder, "E10", CellEdit::Combo, InPlaceCombo::Feeders, "E10-10k"},
        {partcell::Feeder, "Q7", CellEdit::Combo, InPlaceCombo::Feeders, ""},
        {partcell::X, "1.5", CellEdit::Nothing, {}, ""},
        {partcell::Vision, "", CellEdit::Nothing, {}, ""},
    };
    for (const auto& c : cases) {
        s.SetCell(JobList::Part, 0, c.column, c.cell);
        const CellEdit e = s.ClickPartCell(0, c.column);
        SCOPED_TRACE(c.column);
        EXPECT_EQ(e.kind, c.kind);
        EXPECT_EQ(s.m_PartSubItem, c.column);
        if (c.kind == CellEdit::Combo) {
            EXPECT_EQ(e.combo, c.combo);
            const auto items = s.ComboItems(e.combo);
            EXPECT_EQ(e.selected < 0 ? "" : items.at(e.selected), c.selected);
        }
    }
    EXPECT_EQ(s.Cell(JobList::Part, 0, partcell::Place), "No");
    EXPECT_EQ(s.Row(JobList::Part, 0)->Icon(partcell::Place), rowicon::No);
    EXPECT_EQ(s.ComboItems(InPlaceCombo::Angles), (Lines{"0", "45", "90"}));
    EXPECT_EQ(s.ComboItems(InPlaceCombo::Feeders).size(), 2u);  // the feeder combo never adds

    // Choosing "E1-0402": the commit writes the text, the completion the feeder.
    s.ClickPartCell(0, partcell::Feeder);
    s.CommitPartCell("E1-0402");
    s.CompleteFeederRow("E1-0402", feeders);
    JobRow done = *s.Row(JobList::Part, 0);
    EXPECT_EQ(done.Cell(partcell::Feeder), "E1");
    EXPECT_EQ(done.Cell(partcell::FeederValue), "0402");
    EXPECT_EQ(done.Cell(partcell::Head), "2");
    EXPECT_EQ(done.Cell(partcell::Vision), "Yes");
    EXPECT_EQ(done.Icon(partcell::Vision), rowicon::VisionYes);
    s.CompleteFeederRow("E10-10k", feeders);  // flying centring alone counts as vision
    EXPECT_EQ(s.Row(JobList::Part, 0)->Icon(partcell::Vision), rowicon::VisionYes);
    // An unknown identifier keeps the combo text and nothing else.
    s.CommitPartCell("Z5-x");
    s.CompleteFeederRow("Z5-x", feeders);
    done = *s.Row(JobList::Part, 0);
    EXPECT_EQ(done.Cell(partcell::Feeder), "Z5-x");
    EXPECT_EQ(done.Cell(partcell::FeederValue), "10k");

    // Dispensing: cell 4 toggles; other cells only record the current cell.
    s.ParseDisLines({Cells({"1", "0", "0", "0", "Yes"})}, 0);
    s.ClickListCell(JobList::Dis, 0, kDisFlagCell);
    EXPECT_EQ(s.Cell(JobList::Dis, 0, kDisFlagCell), "No");
    s.ClickListCell(JobList::Dis, 0, 2);
    EXPECT_EQ(s.m_DisSubItem, 2);
    EXPECT_EQ(s.Cell(JobList::Dis, 0, 2), "0");
}

TEST(PartRows, UpdateRowsForFeeder) {
    PartListStore s;
    SetParts(s, {Part("1", ""), Part("2", "E1"), Part("3", "E10")});
    s.FillFeederCombo({Feeder("E10", "0402"), Feeder("E1", "0603"), Feeder("e1", "x")});
    // A new feeder (no old identifier) claims nothing.
    s.UpdateRowsForFeeder("", "E5", true, "v", "2");
    EXPECT_EQ(s.Cell(JobList::Part, 0, partcell::Feeder), "");
    EXPECT_EQ(s.ComboItems(InPlaceCombo::Feeders).size(), 3u);

    s.UpdateRowsForFeeder("E1", "E2", false, "0805", "2");
    const JobRow r = *s.Row(JobList::Part, 1);
    EXPECT_EQ(r.Cell(partcell::Feeder), "E2");
    EXPECT_EQ(r.Cell(partcell::Vision), "No");
    EXPECT_EQ(r.Icon(partcell::Vision), rowicon::VisionNo);
    EXPECT_EQ(r.Cell(partcell::FeederValue), "0805");
    EXPECT_EQ(s.Cell(JobList::Part, 2, partcell::Feeder), "E10");
    // "E1" takes its own item (letter case ignored, first from the top), never "E10-...".
    EXPECT_EQ(s.ComboItems(InPlaceCombo::Feeders), (Lines{"E10-0402", "e1-x"}));
    EXPECT_TRUE(s.IsFeederUsed("E2"));
    EXPECT_FALSE(s.IsFeederUsed("e2"));
}

TEST(PartRows, IconServicesAndTheSelectedOnlyRule) {
    PartListStore s;
    SetParts(s, {Part("1", "E1"), Part("2", "E1"), Part("3", "E1")});
    s.SetPartRowIcon(0, rowicon::Picking, true);
    EXPECT_TRUE(s.Row(JobList::Part, 0)->selected);
    s.SetPartRowIcon(0, rowicon::Done, false);
    EXPECT_FALSE(s.Row(JobList::Part, 0)->selected);
    EXPECT_EQ(s.Row(JobList::Part, 0)->Icon(0), rowicon::Done);

    // Only selected rows run: an unselected row is never selected, a selected one never loses it.
    s.m_RunSelectedOnly[0] = 1;
    s.SetSelected(JobList::Part, 1, true);
    s.SetPartRowIcon(2, rowicon::Picking, true);
    s.SetPartRowIcon(1, rowicon::Done, false);
    EXPECT_FALSE(s.Row(JobList::Part, 2)->selected);
    EXPECT_TRUE(s.Row(JobList::Part, 1)->selected);
    s.ResetPartRowIcons();
    EXPECT_TRUE(s.Row(JobList::Part, 1)->selected);
    EXPECT_EQ(s.Row(JobList::Part, 2)->Icon(0), rowicon::Plain);
    s.m_RunSelectedOnly[0] = 0;
    s.ResetPartRowIcons();
    EXPECT_EQ(s.FirstSelected(JobList::Part), -1);

    s.ParseDrillLines({Cells({"1"})});
    s.SetDrillRowIcon(rowicon::Loaded, 0);
    EXPECT_EQ(s.Row(JobList::Drill, 0)->Icon(0), rowicon::Loaded);
    EXPECT_TRUE(s.Row(JobList::Drill, 0)->selected);
    s.SetPartRowIcon(7, rowicon::Done, true);  // past the end: nothing
}

TEST(PartRows, LanguageLoadPublishesTheResetFirstMessage) {
    TempDir dir;
    smt::test::WriteBytes(dir.File("English.ini"), "[PartListConfig]\r\nPartList.c_Message_41=Reset first !\r\n");
    LoadPartListLanguage(dir.Path(), "English");
    EXPECT_EQ(CurrentLinkTexts().resetFirst, "Reset first !");
    EXPECT_EQ(PartListText("NoFeed"), "行料架号不存在 !");
    LoadPartListLanguage(dir.Path(), "Chinese");
    EXPECT_EQ(CurrentLinkTexts().resetFirst, "请先按总复位机器 !");
}
