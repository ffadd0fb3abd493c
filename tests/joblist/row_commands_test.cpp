// The job lists' row commands, the editors' arithmetic, the board transforms and
// the coordinate tests' targets, without widgets.
#include <gtest/gtest.h>

#include "base/globals.h"
#include "joblist/board_transforms.h"
#include "joblist/coordinate_tests.h"
#include "joblist/lamp_table.h"
#include "joblist/row_commands.h"
#include "../support/test_support.h"

namespace smt::test {
namespace {

JobRow PartRow(const std::string& number, const std::string& x, const std::string& y = "0",
               const std::string& angle = "0", const std::string& name = "R") {
    JobRow r(kPartCells);
    r.cells[partcell::Number] = number, r.cells[partcell::X] = x, r.cells[partcell::Y] = y;
    r.cells[partcell::Angle] = angle, r.cells[partcell::Name] = name;
    return r;
}

FeedRow Feeder(const std::string& id, const std::string& camera, const std::string& flying) {
    FeedRow f{};
    f[feedcell::Id] = id, f[3] = "10k", f[10] = "2", f[feedcell::Camera] = camera, f[feedcell::Flying] = flying;
    return f;
}

std::vector<std::string> Column(const PartListStore& s, JobList list, int cell) {
    std::vector<std::string> out;
    for (const auto& r : s.Rows(list)) out.push_back(r.Cell(cell));
    return out;
}

struct Commands : ::testing::Test {
    PartListStore store;
    RowCommands rc{store};
    ScriptedResponder boxes{plat::MsgAnswer::Yes};
    std::vector<FeedRow> feeders{Feeder("F1", "Yes/Camera 1", "No/1/2"), Feeder("F2", "No/", "Yes/3/4")};
    std::function<void(RowCommands&)> edit;  // what the operator types before OK
    bool ok = true;
    void SetUp() override {
        g_MachineType = 0;
        rc.m_Port.pcbRecordCount = [] { return 1; };
        rc.m_Port.feeders = [this] { return feeders; };
        rc.m_Port.runEditor = [this](JobList) {
            if (edit) edit(rc);
            return ok;
        };
    }
    void TearDown() override { g_MachineType = 0; }
    void Select(JobList list, std::vector<int> rows, int current) {
        std::vector<bool> sel(store.RowCount(list));
        for (int r : rows) sel[r] = true;
        store.TakeSelection(list, sel);
        (list == JobList::Part ? store.m_PartItem : list == JobList::Dis ? store.m_DisItem : store.m_DrillItem) = current;
    }
};

TEST_F(Commands, AddNumbersInsertsAndFillsThePlacementRow) {
    store.SetRows(JobList::Part, {PartRow("1", "0"), PartRow("7", "0"), PartRow("3", "0")});
    edit = [](RowCommands& c) {
        c.m_PartEdit.m_X = 1.5, c.m_PartEdit.m_SMT = 1, c.m_PartEdit.m_SelectFeed = "F1-10k";
        c.m_PartEdit.m_SpecifyMark = 1, c.m_PartEdit.m_MarkName = "M1";
    };
    Select(JobList::Part, {}, 0);
    rc.Add(JobList::Part);
    JobRow r = *store.Row(JobList::Part, 1);
    EXPECT_EQ((std::vector<std::string>{r.Cell(partcell::Number), r.Cell(partcell::X), r.Cell(partcell::Place),
                                        r.Cell(partcell::Feeder), r.Cell(partcell::FeederValue), r.Cell(partcell::Head),
                                        r.Cell(partcell::Mark)}),
              (std::vector<std::string>{"8", "1.5000", "Yes", "F1", "10k", "2", "M1"}));
    EXPECT_EQ(std::pair(r.Icon(partcell::Place), r.Icon(partcell::Vision)), std::pair(rowicon::Yes, rowicon::VisionYes));
    EXPECT_NE(r.Cell(partcell::Added).find("  "), std::string::npos);  // date, two blanks, time
    EXPECT_EQ(rc.m_PartEdit.m_SelectFeed, "");  // cleared after the add

    // The flying-centring cell wins over a camera "No"; without a current row the row goes last.
    edit = [](RowCommands& c) { c.m_PartEdit.m_SelectFeed = "F2"; };
    Select(JobList::Part, {}, -1);
    rc.Add(JobList::Part);
    r = *store.Row(JobList::Part, 4);
    EXPECT_EQ(r.Cell(partcell::Number) + " " + r.Cell(partcell::Vision), "9 Yes");

    // A missing feeder: the message names the row, which is selected; cells 10, 13, 14 stay empty.
    edit = [](RowCommands& c) { c.m_PartEdit.m_SelectFeed = "F9-x", c.m_PartEdit.m_SpecifyMark = 1, c.m_PartEdit.m_MarkName = "M"; };
    rc.Add(JobList::Part);
    EXPECT_EQ(boxes.Texts().back(), "6行料架号不存在 !");
    r = *store.Row(JobList::Part, 5);
    EXPECT_TRUE(r.selected);
    EXPECT_EQ(r.Cell(partcell::Feeder) + "|" + r.Cell(partcell::Mark), "F9|");
    feeders.clear();
    rc.Add(JobList::Part);
    EXPECT_EQ(boxes.Texts().back(), "没有料架，请添加料架 !");

    // Dispensing: the row count + 1 whatever the numbers; no PCB refuses placement and dispensing.
    JobRow d(kDisCells);
    d.cells[0] = "40";
    store.SetRows(JobList::Dis, std::vector<JobRow>(5, d));
    rc.Add(JobList::Dis);
    EXPECT_EQ(store.Row(JobList::Dis, 5)->Cell(0), "6");
    EXPECT_EQ(store.m_DisRowCount, 6);
    rc.m_Port.pcbRecordCount = [] { return 0; };
    rc.Add(JobList::Dis);
    EXPECT_EQ(boxes.Texts().back(), "No PCB File !");
    EXPECT_EQ(store.RowCount(JobList::Dis), 6);
}

TEST_F(Commands, MultiRowModifyWritesOnlyFlaggedFieldsAndStepsTheOffsets) {
    const std::vector<JobRow> rows = {PartRow("1", "1", "1", "0", "A"), PartRow("2", "2", "2", "0", "B"),
                                      PartRow("3", "3", "3", "0", "C"), PartRow("4", "4", "4", "0", "D")};
    struct Case {
        bool xChanged;
        std::vector<std::string> x;
    } cases[] = {{true, {"12.5000", "2", "15.0000", "17.5000"}},
                 {false, {"3.5000", "2", "5.5000", "6.5000"}}};
    for (const Case& c : cases) {
        store.SetRows(JobList::Part, rows);
        Select(JobList::Part, {0, 2, 3}, 0);
        edit = [&](RowCommands& r) {
            r.m_PartEdit.m_X = 10, r.m_PartEdit.m_OffsetX = 2.5, r.m_PartEdit.m_Changed[partflag::X] = c.xChanged;
            r.m_PartEdit.m_PartType = "T", r.m_PartEdit.m_Changed[partflag::Type] = 1;
            r.m_PartEdit.m_PartName = "ignored";
        };
        rc.Modify(JobList::Part);
        EXPECT_EQ(Column(store, JobList::Part, partcell::X), c.x);
        EXPECT_EQ(Column(store, JobList::Part, partcell::Type), (std::vector<std::string>{"T", "", "T", "T"}));
        EXPECT_EQ(Column(store, JobList::Part, partcell::Name), (std::vector<std::string>{"A", "B", "C", "D"}));
    }
    // A missing feeder stops at its row; the rows above it are changed.
    store.SetRows(JobList::Part, rows);
    feeders = {Feeder("F1", "Yes/", "No/")};
    Select(JobList::Part, {0, 1}, 0);
    int calls = 0;
    edit = [&](RowCommands& r) {
        r.m_PartEdit.m_SelectFeed = ++calls == 1 ? "F1-10k" : "F7";
        r.m_PartEdit.m_Changed[partflag::Feeder] = 1;
    };
    rc.Modify(JobList::Part);
    EXPECT_EQ(Column(store, JobList::Part, partcell::Feeder), (std::vector<std::string>{"F1", "F1", "", ""}));
    Select(JobList::Part, {0, 1}, 0);
    rc.Modify(JobList::Part);
    EXPECT_EQ(boxes.Texts().back(), "1行料架号不存在 !");
    EXPECT_EQ(Column(store, JobList::Part, partcell::Feeder), (std::vector<std::string>{"F7", "F1", "", ""}));

    // Dispensing: a remark-only change touches cell 10 of the selected rows only.
    JobRow d(kDisCells);
    d.cells = {"1", "1.0000", "2.0000", "-1.0000", "Yes", "0.5000", "0.5000", "10", "20", "30", "old", "", "", "", ""};
    store.SetRows(JobList::Dis, {d, d, d});
    Select(JobList::Dis, {0, 2}, 0);
    edit = [](RowCommands& r) { r.m_DisEdit.m_Note = "new", r.m_DisEdit.m_Changed[10] = 1; };
    rc.Modify(JobList::Dis);
    for (int i = 0; i < 3; ++i) {
        JobRow expect = d;
        if (i != 1) expect.cells[10] = "new";
        EXPECT_EQ(store.Row(JobList::Dis, i)->cells, expect.cells) << i;
    }
}

TEST_F(Commands, CopyPasteDeleteAndTheType4Limits) {
    auto numbers = [&](JobList l) { return Column(store, l, 0); };
    store.SetRows(JobList::Part, {PartRow("1", "0"), PartRow("2", "0"), PartRow("3", "0")});
    // The copied row after the insertion point: the shift is counted.
    Select(JobList::Part, {}, 2);
    rc.Copy(JobList::Part);
    Select(JobList::Part, {}, 0);
    rc.Paste(JobList::Part);
    rc.Paste(JobList::Part);  // one copy, one paste
    EXPECT_EQ(numbers(JobList::Part), (std::vector<std::string>{"1", "3", "2", "3"}));
    // A list replaced after the copy leaves nothing to paste.
    rc.Copy(JobList::Part);
    store.SetRows(JobList::Part, {PartRow("1", "0")});
    EXPECT_EQ(store.m_PartCopied, 0);
    store.m_PartCopied = 1;  // even with the flag forced, a stale index pastes nothing
    rc.m_CopiedRow[0] = 3;
    rc.Paste(JobList::Part);
    EXPECT_EQ(store.RowCount(JobList::Part), 1);

    // Delete answered No or Cancel changes nothing, even without a current row.
    store.SetRows(JobList::Part, {PartRow("1", "0"), PartRow("2", "0"), PartRow("3", "0")});
    Select(JobList::Part, {0, 2}, -1);
    for (auto a : {plat::MsgAnswer::No, plat::MsgAnswer::Cancel}) {
        boxes.Push(a);
        rc.Delete(JobList::Part);
    }
    EXPECT_EQ(store.RowCount(JobList::Part), 3);
    rc.Delete(JobList::Part);
    EXPECT_EQ(boxes.Texts().back(), "请选择要删除的行 !");
    Select(JobList::Part, {0, 2}, 0);
    rc.Delete(JobList::Part);
    EXPECT_EQ(numbers(JobList::Part), (std::vector<std::string>{"2"}));

    // Type 4: each add takes the next lamp pair; deletes follow the rows; 10 rows is the end.
    g_MachineType = 4;
    WriteLampTableLines2();
    TheLampMachineList().m_PointCount = 0;
    store.SetRows(JobList::Part, {});
    Select(JobList::Part, {}, -1);
    for (int i = 0; i < 10; ++i) rc.Add(JobList::Part);
    EXPECT_EQ(TheLampMachineList().m_PointCount, 10);
    rc.Add(JobList::Part);
    EXPECT_EQ(boxes.Texts().back(), "When configured = 4, the number of rows cannot exceed 10 !");
    EXPECT_EQ(store.RowCount(JobList::Part), 10);
    Select(JobList::Part, {}, 0);
    rc.Copy(JobList::Part);
    rc.Paste(JobList::Part);
    Select(JobList::Part, {1}, 0);
    rc.CopySelectedToEnd(JobList::Part);
    EXPECT_EQ(store.RowCount(JobList::Part), 10);
    Select(JobList::Part, {1, 2}, 1);
    rc.Delete(JobList::Part);
    EXPECT_EQ(TheLampMachineList().m_PointCount, 8);
    WriteLampTableLines2();
    TheLampMachineList().m_PointCount = 0;
}

TEST(RowEditors, PositionButtonsRangesAndZNozzles) {
    struct Case {
        std::int32_t counter;
        double origin, camera, factor;
        const char* text;
    } cases[] = {
        {1000, 0, 0, 100, "10.0001"},
        {1000, 2.005, 0, 100, "8.0001"},   // trunc(200.5) = 200
        {200, 2.005, 0, 100, "0.0000"},    // zero stays zero
        {-500, 0, 1.239, 100, "-3.7701"},  // -500 + 123
        {0, 0, 0, 0, "0.0000"},
    };
    for (const Case& c : cases) EXPECT_EQ(EditorPositionText(c.counter, c.origin, c.camera, c.factor), c.text);
    const int nozzle[10] = {0, 2, 2, 4, 4, 2, 4, 8, 0, 0};
    for (int t = 0; t < 10; ++t) EXPECT_EQ(DispenserZNozzle(t), nozzle[t]) << t;
    DisEditValues dis;
    EXPECT_EQ(CheckDisEditRanges(dis), "");
    dis.m_Z = 5;
    EXPECT_NE(CheckDisEditRanges(dis), "");
    DrillEditValues drill;
    drill.m_FeedStartSpeed = drill.m_FeedRunSpeed = drill.m_RetractStartSpeed = drill.m_RetractRunSpeed = 1;
    EXPECT_EQ(CheckDrillEditRanges(drill), "");
    for (int bad : {0, 256}) {
        drill.m_RetractRunSpeed = bad;
        EXPECT_NE(CheckDrillEditRanges(drill), "") << bad;
    }
    EXPECT_EQ(FeederIdOfText("F12"), "F12");
    EXPECT_EQ(FeederIdOfText("F12-10k-x"), "F12");
}

TEST(BoardTransforms, AnglesRowsAndPanelMerge) {
    using T = BoardTransform;
    struct Angle {
        T t;
        int in, out;
    } angles[] = {{T::Clockwise, 0, 270},        {T::Clockwise, 90, 0},         {T::Clockwise, -30, 240},
                  {T::CounterClockwise, 270, 360}, {T::CounterClockwise, 271, 1}, {T::MirrorLeftRight, 0, 180},
                  {T::MirrorLeftRight, 180, 0},  {T::MirrorLeftRight, 360, 180}, {T::MirrorLeftRight, -90, 270},
                  {T::MirrorLeftRight, 450, 90}, {T::MirrorUpDown, 0, 0},        {T::MirrorUpDown, 90, 270},
                  {T::MirrorUpDown, 360, 0},     {T::MirrorUpDown, 450, 270},    {T::MirrorUpDown, -90, 90}};
    for (const Angle& a : angles) EXPECT_EQ(TransformAngle(a.t, a.in), a.out) << int(a.t) << " " << a.in;

    // In place: X 10, Y 5, angle 0 clockwise; an angle with a fraction reads whole.
    std::vector<JobRow> rows = {PartRow("1", "10", "5", "0", "A")};
    TransformRows(rows, T::Clockwise, false, "L", "R");
    EXPECT_EQ(rows[0].cells[1] + " " + rows[0].cells[2] + " " + rows[0].cells[3] + " " + rows[0].cells[4],
              "5.0000 -10.0000 270 A");
    rows = {PartRow("1", "1", "2", "12.7", "A"), PartRow("2", "3", "4", "0", "B"), PartRow("3", "5", "6", "90", "C")};
    TransformRows(rows, T::MirrorUpDown, true, "上", "下");
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0].cells[4] + rows[0].cells[2] + rows[0].cells[3], "上-A212.7");
    EXPECT_EQ(rows[3].cells[0] + rows[3].cells[4] + rows[3].cells[2] + rows[3].cells[3], "1下-A-2.0000348");
    EXPECT_EQ(rows[5].cells[4] + rows[5].cells[1], "下-C5");

    // A 2 x 3 merge of two rows: twelve rows at the pitches, block by block.
    rows = {PartRow("1", "1", "2"), PartRow("2", "10", "20")};
    MergePanelRows(rows, 2, 3, 5, 4);
    ASSERT_EQ(rows.size(), 12u);
    const char* expect[6][2] = {{"1.0000", "2.0000"}, {"5.0000", "2.0000"}, {"9.0000", "2.0000"},
                                {"1.0000", "7.0000"}, {"5.0000", "7.0000"}, {"9.0000", "7.0000"}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(rows[i].cells[1] + "," + rows[i].cells[2], std::string(expect[i][0]) + "," + expect[i][1]) << i;
        EXPECT_EQ(rows[6 + i].cells[0], "2");
    }
    EXPECT_EQ(rows[11].cells[1] + rows[11].cells[2], "18.000025.0000");
    // A selected row stays selected in its first cell only; its copies come unselected.
    rows = {PartRow("1", "1", "2"), PartRow("2", "10", "20")};
    rows[0].selected = true;
    MergePanelRows(rows, 2, 2, 5, 4);
    ASSERT_EQ(rows.size(), 8u);
    std::string selected;
    for (const JobRow& r : rows) selected += r.selected ? '1' : '0';
    EXPECT_EQ(selected, "10000000");
    for (auto [r, c] : {std::pair{0, 3}, {1, 1}, {3, 0}}) {
        std::vector<JobRow> one = {PartRow("1", "1")};
        MergePanelRows(one, r, c, 5, 4);
        EXPECT_EQ(one.size(), 1u);
    }
}

TEST(CoordinateTests, TargetsPerTermPanelCellAndOffsets) {
    CoordTestInputs in;
    in.ppmX = 100, in.ppmY = 80;  // apart, so that a swapped factor shows
    in.rowX = 0.006, in.rowY = 1;
    in.board.g_RunOriginX = 0.006, in.board.g_RunOriginY = 2;
    in.board.g_RunPanelRows = 2, in.board.g_RunPanelCols = 2;
    in.board.g_RunColPitch = 10, in.board.g_RunRowPitch = 20;
    in.board.g_RunPanelGrid = {"0", "0", "", "1"};  // first enabled: row 1, column 0
    in.cameraX = 1.239, in.cameraY = -0.5;
    for (int n = 0; n < 8; ++n) in.nozzles[n] = {n * 10, n * 100};
    in.dispenser = {7, 8};
    in.y2 = {1000, 2000};
    const std::int32_t x = 0, y = 80 + 1760;  // trunc(1 x 80) + trunc((2 + 1 x 20) x 80)
    struct Case {
        CoordTest t;
        std::string head;
        int autoChange;
        int op;
        std::int32_t x, y;
        bool x2, y2;
    } cases[] = {
        {CoordTest::NozzleToPart, "3", 0, 64, x - 20, y - 200, false, false},
        {CoordTest::NozzleToPart, "3", 1, 64, x, y, false, false},
        {CoordTest::NozzleToPart, "9", 0, 64, x, y, false, false},
        {CoordTest::NozzleToPart, "", 0, 64, x, y, false, false},
        {CoordTest::DispenserToPart, "", 0, 64, x - 7, y - 8, false, false},
        {CoordTest::DrillToPoint, "", 0, 64, x, y, false, false},
        {CoordTest::CameraToPart, "", 0, 64, x - 123, y + 40, false, false},
        {CoordTest::GlueHead1ToY1, "", 0, 530, x - 40, y - 400, true, false},
        {CoordTest::GlueHead2ToY2, "", 0, 533, x + 1000 - 50, y + 2000 - 500, true, true},
        {CoordTest::MarkCameraToY2, "", 0, 535, x + 1000 - 123, y + 2000 + 40, true, true},
        {CoordTest::Nozzle1ToY1, "", 0, 536, x, y, false, false},
        {CoordTest::Nozzle4ToY1, "", 0, 536, x - 30, y - 300, false, false},
    };
    for (const Case& c : cases) {
        in.head = c.head;
        in.autoChangeNozzle = c.autoChange;
        const auto t = ComputeCoordTargets(c.t, in);
        ASSERT_TRUE(t);
        EXPECT_EQ(std::tuple(t->op, t->x, t->y, t->onX2, t->onY2), std::tuple(c.op, c.x, c.y, c.x2, c.y2))
            << int(c.t) << " head " << c.head;
    }
    // A 1 x 1 board: no cell offset. No enabled cell (or R, C of 0): nothing.
    in.board.g_RunPanelRows = in.board.g_RunPanelCols = 1;
    in.board.g_RunPanelGrid = {"1"};
    EXPECT_EQ(ComputeCoordTargets(CoordTest::DrillToPoint, in)->y, 240);
    in.board.g_RunPanelGrid = {"0"};
    EXPECT_FALSE(ComputeCoordTargets(CoordTest::DrillToPoint, in));
    in.board.g_RunPanelRows = 0;
    EXPECT_FALSE(FirstEnabledPanelCell(in.board));
}

} // namespace
} // namespace smt::test
