// The PCB editor in the running program: opened from the part list, edited
// through its controls, saved and loaded with the project, and read by the
// positioning commands.
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTableWidget>

#include "../../app/ui/shell_fixture.h"
#include "app/document.h"
#include "joblist/job_lists.h"
#include "joblist/pcb_editor.h"
#include "joblist/run_board.h"
#include "joblist/run_port.h"
#include "joblist/ui/dialog_pcb_edit.h"
#include "link/homing.h"
#include "link/jog.h"
#include "link/positioning.h"
#include "machine_ops/origin_update.h"
#include "settings/rederive_hooks.h"
#include "vision/camera_panel_port.h"
#include "vision/set_view.h"

using namespace smt;
using namespace smt::test;
using Lines = std::vector<std::string>;

namespace {

// Runs the editor's session script instead of a modal loop.
struct Session {
    std::function<void(CDialogPCBEdit&)> script;
    int opened = 0;
    void Install(CSMTView* v) {
        v->m_RunModal = [this](QDialog& d) {
            ++opened;
            auto* editor = dynamic_cast<CDialogPCBEdit*>(&d);
            EXPECT_NE(editor, nullptr);
            if (editor && script) script(*editor);
            return 0;
        };
    }
};

void Type(QLineEdit* e, const QString& text) {
    e->setText(text);
    emit e->textEdited(text);
}

} // namespace

TEST(PcbEditorInTheShell, EditedFromThePartListSavedLoadedAndLookedUp) {
    ShellApp app("[LanguageSetConfig]\nLanguageSet=English\n[PcbEditConfig]\nm_VisualZoom=12.5\n");
    ASSERT_TRUE(app.Start());
    CSMTView* v = app.View();
    ASSERT_TRUE(v->m_pPartList);
    PcbEditor& pcb = v->Job().Pcb();
    // The configuration step ran: the scale as stored, zeros replaced.
    EXPECT_EQ(pcb.m_Fields.m_VisualZoom, 12.5);
    EXPECT_EQ(pcb.m_Fields.m_PcbBoardCount, 1);
    EXPECT_EQ(pcb.m_Fields.m_MarkCollectTime, 10);
    ScriptedResponder boxes;
    Session s;
    s.Install(v);

    s.script = [&](CDialogPCBEdit& d) {
        EXPECT_EQ(d.windowTitle().toStdString(), "PCB Operation");
        EXPECT_FALSE(d.Edit(1119)->isEnabled());
        d.Edit(1092)->setText("Board A");
        d.Button(1091)->click();  // Add: stored, still open
        ASSERT_EQ(d.PcbList()->count(), 1);
        EXPECT_EQ(d.PcbList()->item(0)->checkState(), Qt::Checked);
        d.Spin(1217)->setValue(2);
        d.Spin(1212)->setValue(3);
        EXPECT_EQ(d.Grid()->rowCount(), 2);
        EXPECT_EQ(d.Grid()->columnCount(), 4);
        EXPECT_EQ(d.Grid()->item(1, 2)->text(), "5");
        d.OnNMClickPanelGrid(0, 1);  // the first board taken out
        EXPECT_EQ(d.Static(1099)->text().toStdString(), pcb.m_Texts.Get("c_ArrayNumber") + "5");
        EXPECT_EQ(d.Static(1099)->text().toStdString(), "Boards in panel: 5");  // the caption's blank kept before the count
        d.Edit(1103)->setText("100.5");
        d.Edit(1104)->setText("-50.25");
        d.Edit(1106)->setText("3");
        d.Check(1111)->click();  // refused while the marks are off
        EXPECT_FALSE(d.Check(1111)->isChecked());
        d.Check(1105)->click();
        d.Check(1256)->click();
        EXPECT_TRUE(d.Check(1256)->isChecked());
        d.Check(1105)->click();  // marks off takes the per-board marks with it
        EXPECT_FALSE(d.Check(1256)->isChecked());
        d.Check(1105)->click();
        d.Edit(1112)->setText("3.5");  // refused by the data exchange
        d.Button(1)->click();
        EXPECT_EQ(boxes.Texts().back(), "请输入介于 -3 和 3 之间的数。");
        d.Edit(1112)->setText("0");
        d.Button(1)->click();
    };
    v->m_pPartList->ToolBar()->Button(tool::PcbEdit)->click();
    ASSERT_EQ(s.opened, 1);
    ASSERT_EQ(pcb.PcbRecordCount(), 1);
    const PcbRecord& a = pcb.m_PcbRecords[0];
    EXPECT_EQ(a.m_PcbName, "Board A");
    EXPECT_EQ(a.m_PanelGrid[0], (Lines{"0/1", "0/1", "1/2", "1/3"}));
    EXPECT_EQ(a.m_OriginX, 100.5);
    EXPECT_EQ(a.m_MarkEnable, 1);
    EXPECT_EQ(pcb.m_ArrayTexts.position, "Board AArray：Row 1 Col 2 ");
    // The run-board state and the hooks other subsystems read.
    const auto points = ThePositioningPort().currentPcbRecord();
    ASSERT_TRUE(points);
    EXPECT_EQ(points->origin.x, 100.5);
    EXPECT_EQ(points->mark1.x, 3);
    const PanelGridView grid = ThePositioningPort().currentPcbCopy();
    EXPECT_EQ(grid.cells, (Lines{"0", "1", "1", "1", "1", "1"}));
    EXPECT_EQ(ThePositioningPort().pcbVision().scale, 12.5);
    EXPECT_EQ(TheSettingsRederivations().findCurrentPcbIndex(), 0);
    TheOriginShiftPort().shiftPcbOrigin(1, -1);
    EXPECT_EQ(pcb.m_PcbRecords[0].m_OriginX, 101.5);
    TheHomingPort().recordReference({11, 22, 33, 44});
    EXPECT_EQ(pcb.m_ZeroPosY2, 44);
    TheManualJog().Port().storeManualMarkOffsets(MarkOffsets{0.5, -0.5, 0, 0});
    EXPECT_EQ(pcb.m_Fields.m_ManualMarkOffset, 1);
    EXPECT_EQ(TheManualJog().Port().markOffsets().mark1Y, -0.5);
    // The panel's Mark-offset buttons reach the same correction as the editor's OK.
    std::vector<double> corrected;
    const auto correction = TheRunPort().computeTwoMarkCorrection;
    TheRunPort().computeTwoMarkCorrection = [&](double a, double b, double c, double d) { corrected = {a, b, c, d}; };
    TheManualJog().Port().computeTwoMarkCorrection(0.5, -0.5, 0, 0);
    EXPECT_EQ(corrected, (std::vector<double>{0.5, -0.5, 0, 0}));
    TheRunPort().computeTwoMarkCorrection = correction;

    // Rows typed into the list, a second PCB pasted, both saved and loaded again.
    PlacementItem row;
    row.cells[0] = "1";
    row.cells[kPlaceCell] = "Yes";
    row.place = true;
    ThePartList().SetRows(JobList::Part, {PlacementRowFromItem(row)});
    s.script = [&](CDialogPCBEdit& d) {
        d.Button(1016)->click();  // paste
        ASSERT_EQ(d.PcbList()->count(), 2);
        d.PcbList()->setCurrentRow(1);  // "Board A-copy"
        EXPECT_EQ(pcb.CurrentPcbName(), "Board A-copy");
        d.close();  // without OK: Board A stays current
    };
    v->m_pPartList->ToolBar()->Button(tool::PcbEdit)->click();
    EXPECT_EQ(pcb.CurrentPcbName(), "Board A");
    const std::string path = app.Dir().File("two.smt");
    ASSERT_TRUE(WriteProjectFiles(path, v->Job(), 0).ok);
    ASSERT_TRUE(ReadProjectFiles(path, v->Job(), 0).ok);
    ASSERT_EQ(pcb.PcbRecordCount(), 2);
    EXPECT_EQ(pcb.m_PcbRecords[1].m_PcbName, "Board A-copy");
    EXPECT_EQ(pcb.m_PcbRecords[0].PartRowCount(), 1);
    EXPECT_EQ(pcb.m_PcbRecords[1].PartRowCount(), 1);
    QApplication::processEvents();
    EXPECT_EQ(v->m_pPartList->PlacementList()->model()->rowCount(), 1);
    EXPECT_TRUE(v->m_pPartList->Static(1103)->text().startsWith("Board AArray"));
    EXPECT_EQ(v->m_pPartList->Static(1104)->text(), "Count:5 × 1");

    // The vision edits and the caption double-click: measured against the camera
    // panel's image height, and what fits goes on to the panel.
    SetView& panel = TheSetView();
    const double scaleBefore = panel.m_PixelsPerMm, sizeBefore = panel.m_VisualSize;
    panel.m_ImageHeight = 480;
    s.script = [&](CDialogPCBEdit& d) {
        d.OnCaptionDoubleClick(1280);
        EXPECT_TRUE(d.Edit(1119)->isEnabled());
        Type(d.Edit(1119), "200");
        Type(d.Edit(1051), "3.0");
        EXPECT_EQ(boxes.Texts().back(), "Parameter is too big !");
        EXPECT_DOUBLE_EQ(panel.m_VisualSize, sizeBefore);
        Type(d.Edit(1051), "2.0");
        EXPECT_DOUBLE_EQ(panel.m_PixelsPerMm, 200.0);
        EXPECT_DOUBLE_EQ(panel.m_VisualSize, 2.0);
        d.close();
    };
    v->m_pPartList->ToolBar()->Button(tool::PcbEdit)->click();
    panel.m_PixelsPerMm = scaleBefore;
    panel.m_VisualSize = sizeBefore;
}

TEST(PcbEditorInTheShell, DrillHeightCaptionOnMachineTypeNine) {
    ShellApp app("[MachineSetConfig]\nMachineSet=9\n");
    ASSERT_TRUE(app.Start());
    ScriptedResponder boxes;  // the mark camera is refused while disconnected
    Session s;
    s.Install(app.View());
    std::string caption;
    s.script = [&](CDialogPCBEdit& d) {
        caption = d.Static(1375)->text().toStdString();
        d.close();
    };
    app.View()->m_pPartList->ToolBar()->Button(tool::PcbEdit)->click();
    EXPECT_EQ(caption, "钻孔高度");
}

// The board properties never scroll sideways, also at the editor's first opening,
// when the window fitting widens the fields once the dialog is up.
TEST(PcbEditorInTheShell, PropertiesFitTheirColumnFromTheFirstOpening) {
    ShellApp app("[LanguageSetConfig]\nLanguageSet=German\n");
    ASSERT_TRUE(app.Start());
    ScriptedResponder boxes;
    Session s;
    s.Install(app.View());
    int shown = 0;
    s.script = [&](CDialogPCBEdit& d) {
        d.show();
        for (int i = 0; i < 4; ++i) QApplication::processEvents();
        auto* scroll = d.findChild<QScrollArea*>("propertiesScroll");
        ASSERT_TRUE(scroll);
        EXPECT_LE(scroll->widget()->width(), scroll->viewport()->width()) << "opening " << ++shown;
        // The panel grid's first caption is read whole.
        d.Edit(1092)->setText(QString("Platte %1").arg(shown));
        d.Button(1091)->click();
        d.Spin(1217)->setValue(2);
        d.Spin(1212)->setValue(3);
        ASSERT_GT(d.Grid()->columnCount(), 0);
        EXPECT_EQ(d.Grid()->horizontalHeaderItem(0)->text().toStdString(), "Zeile/Spalte");
        EXPECT_GE(d.Grid()->columnWidth(0), d.Grid()->horizontalHeader()->sectionSizeHint(0));
        d.close();
    };
    for (int i = 0; i < 2; ++i) app.View()->m_pPartList->ToolBar()->Button(tool::PcbEdit)->click();
    EXPECT_EQ(s.opened, 2);
}
