// The PCB editor's operations as sequences on the model, its captures, its
// configuration and the regressions of the placement list across an opening.
#include <gtest/gtest.h>

#include "base/captions.h"
#include "base/numtext.h"
#include "joblist/pcb_editor.h"
#include "joblist/run_port.h"
#include "platform/profile.h"
#include "own_job.h"
#include "test_support.h"
#include "vision/camera_panel_port.h"

using namespace smt;
using smt::test::ScriptedResponder;
using smt::test::TempDir;
using Lines = std::vector<std::string>;

namespace {

struct Editor {
    TempDir dir;
    smt::test::OwnJob job;
    PcbEditor& e = job.Pcb();
    ScriptedResponder boxes;
    Editor() { e.m_StartFolder = dir.Path(); }
    Lines List() const {
        Lines v;
        for (const auto& x : e.m_PcbList) v.push_back(x.checked ? "[" + x.text + "]" : x.text);
        return v;
    }
    Lines Records() const {
        Lines v;
        for (const auto& r : e.m_PcbRecords) v.push_back(r.m_PcbName);
        return v;
    }
    void Add(const std::string& name) {
        e.m_Fields.m_PcbName = name;
        e.Add();
    }
};

PlacementItem Item(const std::string& n) {
    PlacementItem it;
    it.cells[0] = n;
    it.cells[kPlaceCell] = "Yes";
    it.place = true;
    return it;
}

} // namespace

TEST(PcbEditor, OperationSequences) {
    struct Case {
        const char* what;
        std::function<void(Editor&)> run;
        Lines list, records, messages;
        std::string current;
    };
    const Case cases[] = {
        {"add makes a 1 x 1 record, checked and current; the dialog stays open",
         [](Editor& x) { x.Add("PCB1"); }, {"[PCB1]"}, {"PCB1"}, {}, "PCB1"},
        {"an empty name and a name differing only in case are refused",
         [](Editor& x) { x.Add("PCB1"); x.Add(""); x.Add("pcb1"); }, {"[PCB1]"}, {"PCB1"},
         {"Pcb板不能没有名称 !", "Pcb名称已存在，请重新输入 !"}, "PCB1"},
        {"the list is sorted, the records keep their order",
         [](Editor& x) { x.Add("b"); x.Add("A"); }, {"[A]", "b"}, {"b", "A"}, {}, "A"},
        {"paste copies right after the source; a second paste is refused",
         [](Editor& x) { x.Add("A"); x.Add("B"); x.e.Select(0); x.e.Paste(); x.e.Paste(); },
         {"[A]", "A-copy", "B"}, {"A", "A-copy", "B"}, {"Have copied the Pcb !"}, "A"},
        {"delete leaves no current PCB; with none, delete is refused",
         [](Editor& x) { x.Add("A"); x.Add("B"); x.e.Delete(); x.e.Delete(); }, {"A"}, {"A"},
         {"请选择要删除的Pcb板 !"}, ""},
        {"deleting the only PCB frees the records",
         [](Editor& x) { x.Add("A"); x.e.Delete(); }, {}, {}, {}, ""},
        {"delete with a listed name but no such record changes nothing",
         [](Editor& x) { x.Add("A"); x.e.m_PcbRecords[0].m_PcbName = "Z"; x.e.Delete(); }, {"[A]"}, {"Z"},
         {"请选择要删除的Pcb板 !"}, "A"},
        {"rename to a taken name is refused; to a new one renames list and record",
         [](Editor& x) { x.Add("A"); x.Add("B"); x.e.Rename("A", ""); x.e.Rename("C", "new"); },
         {"A", "[C]"}, {"A", "C"}, {"修改的Pcb板已经存在 !"}, "C"},
        {"ok with no PCB checked is refused and the window then closes",
         [](Editor& x) { EXPECT_FALSE(x.e.Ok()); EXPECT_TRUE(x.e.Close()); }, {}, {}, {"请选择Pcb板 !"}, ""},
        {"closing with records but no current PCB is refused",
         [](Editor& x) { x.Add("A"); x.Add("B"); x.e.Delete(); EXPECT_FALSE(x.e.Close()); }, {"A"}, {"A"},
         {"请选择Pcb板 !"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Editor x;
        c.run(x);
        EXPECT_EQ(x.List(), c.list);
        EXPECT_EQ(x.Records(), c.records);
        EXPECT_EQ(x.boxes.Texts(), c.messages);
        EXPECT_EQ(x.e.CurrentPcbName(), c.current);
    }
}

TEST(PcbEditor, GridPasteDepthAndStoredCells) {
    Editor x;
    x.Add("A");
    // A fresh 1 x 1 stores the label "0/1" and the cell "1/1".
    ASSERT_EQ(x.e.m_PcbRecords[0].m_PanelGrid, (std::vector<Lines>{{"0/1", "1/1"}}));
    EXPECT_EQ(x.e.m_CloseOnOk, 1);
    x.e.m_Fields.m_PanelRows = 2;
    x.e.m_Fields.m_PanelCols = 3;
    x.e.RowsColsChanged();
    EXPECT_EQ(x.e.m_PanelCellCount, 6);
    EXPECT_EQ(x.e.m_Grid[1][2].text, "5");
    x.e.ToggleCell(1, 2);
    EXPECT_EQ(x.e.m_PanelCellCount, 5);
    x.e.ToggleCell(1, 0);  // the label column does nothing
    EXPECT_EQ(x.e.m_PanelCellCount, 5);
    EXPECT_TRUE(x.e.Ok());
    EXPECT_EQ(x.e.m_PcbRecords[0].m_PanelGrid[1], (Lines{"0/2", "1/4", "0/5", "1/6"}));
    x.e.ToggleCell(1, 2);
    EXPECT_EQ(x.e.m_PanelCellCount, 6);
    x.e.SelectAllCells(false);
    EXPECT_EQ(x.e.CellCountText(), "拼板数量为：0");
    x.e.m_CloseOnOk = 1;
    EXPECT_FALSE(x.e.Ok());
    EXPECT_EQ(x.boxes.Texts().back(), "请选择Pcb板 !");
    x.e.SelectAllCells(true);
    EXPECT_EQ(x.e.m_PanelCellCount, 6);

    // Paste is a deep copy: changing the copy leaves the source as it was.
    x.e.m_PcbRecords[0].m_PartRows = {StoredRowFromItem(Item("r1"))};
    x.e.Paste();
    ASSERT_EQ(x.e.PcbRecordCount(), 2);
    x.e.m_PcbRecords[1].m_PanelGrid[0][1] = "0/x";
    x.e.m_PcbRecords[1].m_PartRows[0][0] = "changed";
    EXPECT_EQ(x.e.m_PcbRecords[0].m_PanelGrid[0][1], "1/1");
    EXPECT_EQ(x.e.m_PcbRecords[0].m_PartRows[0][0], "r1");
    // Selecting the copy shows its stored grid.
    x.e.Select(1);
    EXPECT_EQ(x.e.CurrentPcbName(), "A-copy");
    EXPECT_EQ(x.e.m_Grid[0][1].text, "x");
    EXPECT_EQ(x.e.m_Grid[0][1].image, -1);
    EXPECT_EQ(x.e.m_PanelCellCount, 4);
}

TEST(PcbEditor, PlacementListSurvivesOpeningAndClosing) {
    Editor x;
    x.Add("A");
    x.Add("B");
    x.e.Select(0);
    ASSERT_TRUE(x.e.Ok());  // A current, its (empty) rows listed
    // The operator edits the list after the load.
    x.job.SetPlacementRows({Item("a1"), Item("a2")});
    // OK on the same PCB keeps the edits.
    x.e.Open();
    EXPECT_TRUE(x.e.Ok());
    EXPECT_EQ(x.job.PlacementRows(), (std::vector<PlacementItem>{Item("a1"), Item("a2")}));
    // Choosing B and closing without OK keeps A current with its rows.
    x.e.Open();
    x.e.Select(1);
    EXPECT_EQ(x.e.CurrentPcbName(), "B");
    EXPECT_TRUE(x.e.Close());
    EXPECT_EQ(x.e.CurrentPcbName(), "A");
    const Lines section = x.job.BuildPcbSection();
    EXPECT_EQ(x.e.m_PcbRecords[0].PartRowCount(), 2);
    EXPECT_EQ(x.e.m_PcbRecords[1].PartRowCount(), 0);
    // OK on B shows B's rows; A keeps its own.
    x.e.Open();
    x.e.Select(1);
    EXPECT_TRUE(x.e.Ok());
    EXPECT_TRUE(x.job.PlacementRows().empty());
    EXPECT_EQ(x.e.m_PcbRecords[0].PartRowCount(), 2);
    // The PCB current at opening deleted, another chosen, closed: the list shows
    // the chosen PCB's rows, never the deleted one's under its name.
    x.e.Select(0);
    ASSERT_TRUE(x.e.Ok());
    EXPECT_EQ(x.job.PlacementRows().size(), 2u);
    x.e.Open();
    x.e.Delete();
    x.e.Select(0);
    EXPECT_TRUE(x.e.Close());
    EXPECT_EQ(x.e.CurrentPcbName(), "B");
    EXPECT_TRUE(x.job.PlacementRows().empty());
}

TEST(PcbEditor, OkChecksAndHandOver) {
    Editor x;
    x.Add("A");
    std::vector<double> corrected;
    TheRunPort().computeTwoMarkCorrection = [&](double a, double b, double c, double d) {
        corrected = {a, b, c, d};
    };
    Lines panel;
    auto& cam = TheCameraPanelPort();
    cam.imageHeight = [] { return 480; };
    cam.showFrameSizeText = [&](const std::string& t) { panel.push_back("frame " + t); };
    cam.setContrast = [&](int v) { panel.push_back("contrast " + std::to_string(v)); };
    cam.setBrightness = [&](int v) { panel.push_back("brightness " + std::to_string(v)); };
    PcbEditFields& f = x.e.m_Fields;
    f.m_VisualZoom = 200;
    f.m_VisualBox = 3.0;  // 600 pixels
    EXPECT_FALSE(x.e.Ok());
    EXPECT_EQ(x.boxes.Texts().back(), "Parameter is too big !");
    EXPECT_EQ(x.e.m_FocusControl, 1051);
    f.m_VisualZoom = 160;
    f.m_ManualMarkOffset = 1;
    f.m_Mark1OffsetX = 3.0, f.m_Mark1OffsetY = -3.0, f.m_Mark2OffsetX = 0.5, f.m_Mark2OffsetY = 0;
    EXPECT_TRUE(x.e.Ok());
    EXPECT_EQ(corrected, (std::vector<double>{3.0, -3.0, 0.5, 0}));
    EXPECT_EQ(panel, (Lines{"frame 3.0", "contrast 190", "brightness 100"}));
    EXPECT_EQ(x.e.m_PcbRecords[0].m_VisualZoom, 160);
    // One offset past 3.0 is refused by the data exchange before OK.
    f.m_Mark2OffsetY = 3.0001;
    int control = 0;
    EXPECT_FALSE(CheckPcbEditRanges(f, &control).empty());
    EXPECT_EQ(control, 1115);
    f.m_Mark2OffsetY = 0;
    EXPECT_EQ(CheckPcbEditRanges(f, &control), "请输入介于 1 和 10000 之间的整数。");  // before the configuration
    f.m_PcbBoardCount = 1;
    EXPECT_TRUE(CheckPcbEditRanges(f).empty());
    // The configuration was written by OK, zeros come back as their defaults.
    const std::string ini = ConfigFilePath(x.dir.Path());
    EXPECT_EQ(plat::GetPrivateProfileString("PcbEditConfig", "m_VisualZoom", "", 512, ini), "160.0000");
    plat::WritePrivateProfileString("PcbEditConfig", "m_MarkCollectTime", "0", ini);
    plat::WritePrivateProfileString("PcbEditConfig", "m_VisualTimes", "x", ini);
    PcbEditFields loaded;
    LoadPcbEditConfig(loaded, ini);
    EXPECT_EQ(loaded.m_MarkCollectTime, 10);
    EXPECT_EQ(loaded.m_VisualTimes, 1);
    EXPECT_EQ(loaded.m_LightContrast, 190);
    EXPECT_EQ(loaded.m_PcbBoardCount, 1);  // stored as 0, read back as 1
    PcbEditFields empty;
    LoadPcbEditConfig(empty, x.dir.File("missing.ini"));
    EXPECT_EQ(empty.m_VisualBox, 0.2);
    EXPECT_EQ(empty.m_MarkDiameter, 0.1);
    EXPECT_EQ(empty.m_LightContrast, 0);
    TheRunPort() = RunPort{};
    cam = CameraPanelPort{};
}

TEST(PcbEditor, CaptureFormulas) {
    CaptureInputs base;
    base.x = 1000, base.y = -2000, base.x2 = 3000, base.y2 = -4000;
    base.ppmX = 100, base.ppmY = 80;  // apart, so that a swapped factor shows
    base.camX = 1.234, base.camY = -0.5;
    base.zeroX = 100, base.zeroY = -100, base.zeroX2 = 200, base.zeroY2 = -200;
    base.originX = "2.5", base.originY = "-1";
    base.mark1X = "9", base.mark1Y = "-14", base.mark2X = "1", base.mark2Y = "0";
    struct Case {
        int button, type, table;
        std::string text;
    };
    const Case cases[] = {
        {1233, 0, 1, "10.0001"},   // 10 mm exactly gives 10.0001
        {1361, 0, 1, "-23.7501"},  // (Y - zeroY) / ppmY = -1900 / 80
        {1362, 0, 1, "9.0001"},
        {1234, 0, 1, "-25.0001"},
        {1011, 0, 1, "11.2301"},   // trunc(1.234 x 100) + X
        {1012, 0, 1, "-25.5001"},  // (trunc(-0.5 x 80) + Y) / 80
        {1019, 0, 1, "8.7301"},    // X - trunc(2.5 x 100) + trunc(cam)
        {1020, 0, 1, "-24.5001"},  // (Y - trunc(-1 x 80) + trunc(-0.5 x 80)) / 80
        {1022, 0, 1, "-0.2700"},    // the offsets: no nudge
        {1024, 0, 1, "-10.5000"},
        {1027, 0, 1, "7.7300"},
        {1028, 0, 1, "-24.5000"},
        // machine type 4: X2, and the work table's Y
        {1362, 4, 1, "28.0001"},
        {1361, 4, 2, "-47.5001"},
        {1234, 4, 2, "-50.0001"},
        {1019, 4, 1, "28.7301"},
        {1020, 4, 2, "-49.5001"},
        {1233, 4, 2, "10.0001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.button) + " type " + std::to_string(c.type));
        CaptureInputs in = base;
        in.machineType = c.type;
        in.workTable = c.table;
        EXPECT_EQ(CaptureText(c.button, in), c.text);
    }
    CaptureInputs zero = base;
    zero.x = 0;
    EXPECT_EQ(CaptureText(1233, zero), "0.0000");
    zero.ppmX = 0;  // no factor: 0, never infinity
    EXPECT_EQ(CaptureText(1011, zero), "0.0000");
    for (int b : {1022, 1024, 1027, 1028}) {
        EXPECT_FALSE(CaptureButtonEnabled(b, 4));
        EXPECT_TRUE(CaptureButtonEnabled(b, 3));
    }
    EXPECT_TRUE(CaptureButtonEnabled(1019, 4));
}
