// The CAD import and the two-mark test in the running program: opened from the
// PCB editor's buttons, files read and imported, the rows reaching the placement
// list through the editor's OK, settings stored by OK only.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

#include "../../app/ui/shell_fixture.h"
#include "base/captions.h"
#include "joblist/cad_import.h"
#include "joblist/part_list.h"
#include "joblist/pcb_editor.h"
#include "joblist/ui/dialog_part_list.h"
#include "joblist/ui/dialog_cad_import.h"
#include "joblist/ui/dialog_pcb_edit.h"
#include "joblist/ui/dialog_two_mark_test.h"

using namespace smt;
using namespace smt::test;
using Lines = std::vector<std::string>;

namespace {

struct Session {
    std::function<void(CDialogPCBEdit&)> editor;
    std::function<void(CDialogImportFile&)> import;
    std::function<void(CDialogDoubleMarkTest&)> twoMark;
    void Install(CSMTView* v) {
        v->m_RunModal = [this](QDialog& d) {
            if (auto* e = dynamic_cast<CDialogPCBEdit*>(&d); e && editor) editor(*e);
            if (auto* i = dynamic_cast<CDialogImportFile*>(&d); i && import) import(*i);
            if (auto* t = dynamic_cast<CDialogDoubleMarkTest*>(&d); t && twoMark) twoMark(*t);
            return 0;
        };
    }
};

Lines Column(const CDialogImportFile& d, int c) {
    Lines v;
    for (int r = 0; r < d.List()->rowCount(); ++r) v.push_back(d.List()->item(r, c)->text().toStdString());
    return v;
}

} // namespace

TEST(CadImportInTheShell, FilesReadImportedAndShownInThePlacementList) {
    ShellApp app("[ImportFileConfig]\nm_FitPartPacking=1\n[DoubleMarkTestConfig]\nm_Mark2_X=100\n");
    ASSERT_TRUE(app.Start());
    CSMTView* v = app.View();
    const std::string folder = app.Dir().Path();
    EXPECT_EQ(TheImportFileConfig().m_FitPartPacking, 1);
    WriteBytes(app.Dir().File("a.csv"), "Ref,Val,Package,PosX,PosY,Rot,Side\nR2,1k,0402,1.5,2,90,top\nX9,1k,0402,1,1,0,top");
    WriteBytes(app.Dir().File("b.txt"), "h\r\n\r\nC1 0603 1000mil 2000mil a b c d T -90 100n\r\n");
    WriteBytes(app.Dir().File("empty.txt"), "nothing here\r\n");
    Lines chosen;
    CDialogImportFile::FileChooser() = [&](const QString&, const QString&) {
        std::string f = chosen.empty() ? "" : app.Dir().File(chosen.front());
        if (!chosen.empty()) chosen.erase(chosen.begin());
        return f;
    };
    ScriptedResponder boxes(plat::MsgAnswer::Yes);
    Session s;
    s.Install(v);

    s.import = [&](CDialogImportFile& d) {
        EXPECT_EQ(d.windowTitle().toStdString(), "导入文件");
        EXPECT_EQ(d.Formats()->count(), 21);
        EXPECT_EQ(d.Formats()->currentIndex(), 0);
        EXPECT_TRUE(d.FitPacking()->isChecked());
        d.OnImportAll();
        EXPECT_EQ(boxes.Texts().back(), "没有发现要导入的文件 !");
        d.Formats()->setCurrentIndex(9);
        chosen = {"a.csv"};
        d.OnOpenPcbFile();
        d.Formats()->setCurrentIndex(0);
        chosen = {"b.txt"};
        d.OnOpenPcbFile();
        EXPECT_EQ(Column(d, 0), (Lines{"R2", "X9", "C1"}));
        EXPECT_EQ(d.CountLabel()->text().toStdString(), "元件数量：3");
        d.OnColumnClick(0);
        d.OnColumnClick(0);
        EXPECT_EQ(Column(d, 0), (Lines{"C1", "R2", "X9"}));
        d.List()->selectRow(2);
        boxes.Push(plat::MsgAnswer::No);
        d.OnDeleteRows();
        EXPECT_EQ(d.List()->rowCount(), 3);
        d.OnDeleteRows();
        EXPECT_EQ(Column(d, 0), (Lines{"C1", "R2"}));
        EXPECT_EQ(d.CountLabel()->text().toStdString(), "元件数量：3");
        EXPECT_TRUE(boxes.Seen().back().topmost);
        // A file without parts is reported by name.
        const std::size_t before = boxes.Count();
        chosen = {"empty.txt"};
        d.OnOpenPcbFile();
        ASSERT_EQ(boxes.Count(), before + 1);
        EXPECT_NE(boxes.Texts().back().find("empty.txt"), std::string::npos);
        // The layout chosen at import time decides the units.
        d.OnFormatChange(9);
        d.OnImportAll();
        EXPECT_EQ(v->Job().Pcb().m_PcbRecords[0].m_PartRows[0][1], "1000mil");
        d.OnFormatChange(0);
        d.OnImportAll();
        EXPECT_TRUE(d.Progress()->isVisibleTo(&d));
        EXPECT_EQ(d.PercentLabel()->text().toStdString(), "100%");
        d.FitPacking()->setChecked(false);
        d.FitValue()->setChecked(true);
        d.OnOK();
    };
    s.editor = [&](CDialogPCBEdit& d) {
        d.Button(1084)->click();  // no current PCB yet: refused
        EXPECT_EQ(boxes.Texts().back(), v->Job().Pcb().m_Texts.Get("c_Message_01"));
        d.Edit(1092)->setText("Board A");
        d.Button(1091)->click();
        d.Button(1084)->click();
        d.Button(1)->click();
    };
    v->m_pPartList->ToolBar()->Button(tool::PcbEdit)->click();
    const auto rows = ThePartList().Rows(JobList::Part);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ((Lines{rows[0].cells[4], rows[0].cells[1], rows[0].cells[2], rows[0].cells[3]}),
              (Lines{"C1", "25.4000", "50.8000", "270"}));
    EXPECT_EQ((Lines{rows[1].cells[4], rows[1].cells[1], rows[1].cells[6]}), (Lines{"R2", "1.5", "0402"}));
    EXPECT_EQ(ReadConfig(folder, "ImportFileConfig", "m_FitPartPacking"), "0");
    EXPECT_EQ(ReadConfig(folder, "ImportFileConfig", "m_FitPartValue"), "1");

    // Cancel keeps the settings; the next opening starts empty at index 0.
    s.import = [&](CDialogImportFile& d) {
        EXPECT_EQ(d.List()->rowCount(), 0);
        EXPECT_EQ(d.Formats()->currentIndex(), 0);
        EXPECT_FALSE(d.Progress()->isVisibleTo(&d));
        d.FitPacking()->setChecked(true);
        d.reject();
    };
    // The two-mark test from the hidden button: a worked example stored by OK,
    // marks too close refused, Cancel storing nothing.
    s.twoMark = [&](CDialogDoubleMarkTest& d) {
        EXPECT_EQ(d.Field(1009)->text().toStdString(), "100");
        d.Field(1014)->setText("10");
        d.Field(1016)->setText("50");
        d.TestButton()->click();
        EXPECT_EQ(d.Field(1021)->text().toStdString(), "5.7106");
        EXPECT_EQ(d.Field(1018)->text().toStdString(), "49.7519");
        d.OnOK();
    };
    s.editor = [&](CDialogPCBEdit& d) {
        d.Button(1084)->click();
        d.Button(1095)->click();
        d.close();
    };
    v->m_pPartList->ToolBar()->Button(tool::PcbEdit)->click();
    EXPECT_EQ(TheImportFileConfig().m_FitPartPacking, 0);
    EXPECT_EQ(ReadConfig(folder, "DoubleMarkTestConfig", "m_GetCoordinate_X"), "49.7519");
    EXPECT_EQ(ReadConfig(folder, "DoubleMarkTestConfig", "m_Mark2_Mark1_A_New"), "5.7106");

    s.twoMark = [&](CDialogDoubleMarkTest& d) {
        d.Field(1009)->setText("3");
        d.Field(1010)->setText("3");
        d.TestButton()->click();
        EXPECT_EQ(boxes.Texts().back(), "Mark2 to Mark1 length is too short!!");
        EXPECT_TRUE(boxes.Seen().back().topmost);
        EXPECT_EQ(d.Field(1018)->text().toStdString(), "49.7519");
        d.reject();
    };
    s.editor = [&](CDialogPCBEdit& d) {
        d.Button(1095)->click();
        d.close();
    };
    v->m_pPartList->ToolBar()->Button(tool::PcbEdit)->click();
    EXPECT_EQ(ReadConfig(folder, "DoubleMarkTestConfig", "m_Mark2_X"), "100.0000");
}

// A file that does not look like the chosen layout is asked about before its rows
// are taken, naming the layout; lines passed over are named by number and
// designator. In English, with the shipped captions.
TEST(CadImportDialog, OtherLayoutAskedAndSkippedLinesNamed) {
    TempDir dir;
    WriteBytes(dir.File("English.ini"), ReadBytes(SMT_SOURCE_DIR "/res/English.ini"));
    WriteBytes(dir.File("allegro.txt"), "UUNITS = MILLIMETERS\r\nC1   26.899   38.735   0   SML2015\r\n"
                                        "C4   23.495   15.646   270   SML2015\r\n");
    WriteBytes(dir.File("odd.csv"), "h\r\nv,A,p,x,T,0,1,2\r\nv,X1,p,x,T,0,n,n\r\nv,B,p,x,T,0,3,4\r\n"
                                    "v,C,p,x,T,0,5,6\r\nv,D,p,x,T,0,7,8\r\n");
    PcbEditor pcb;
    CDialogImportFile d(pcb, nullptr);
    d.OnInitDialog(dir.Path(), "English");
    ScriptedResponder boxes(plat::MsgAnswer::Ok);

    d.OnFormatChange(11);  // Mentor.txt
    boxes.Push(plat::MsgAnswer::No);
    d.ReadFile(dir.File("allegro.txt"));
    ASSERT_EQ(boxes.Count(), 1u);
    const plat::MsgBoxRequest asked = boxes.Seen().back();
    EXPECT_EQ(asked.buttons, plat::MsgButtons::YesNo);
    EXPECT_EQ(asked.text, "The file does not look like the chosen format: Mentor.txt\r\n" + dir.File("allegro.txt") +
                              "\r\nRead it anyway ?");
    EXPECT_EQ(d.List()->rowCount(), 0);
    boxes.Push(plat::MsgAnswer::Yes);
    d.ReadFile(dir.File("allegro.txt"));
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(d.List()->rowCount(), 2);

    d.OnFormatChange(6);  // ALLEGRO.txt: fits, nothing asked
    d.ReadFile(dir.File("allegro.txt"));
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(Column(d, 0), (Lines{"", "", "C1", "C4"}));

    d.OnFormatChange(9);
    d.ReadFile(dir.File("odd.csv"));
    ASSERT_EQ(boxes.Count(), 3u);
    EXPECT_EQ(boxes.Texts().back(), "Lines whose coordinates are not numbers were passed over: 1\r\n" +
                                        dir.File("odd.csv") + "\r\nFormat: Excel.csv\r\nLine 3: X1");
    EXPECT_EQ(d.List()->rowCount(), 8);
}
