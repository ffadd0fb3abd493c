// The row editors in the running program, opened by the part list's menu
// commands: what an opening shows and flags, the refusals of OK, "Z" by machine
// type and the feeder button without a feeder.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "../../app/ui/shell_fixture.h"
#include "base/globals.h"
#include "feeders/part_list_port.h"
#include "joblist/row_commands.h"
#include "joblist/ui/dialog_part_edit.h"
#include "joblist/ui/dialog_part_list.h"
#include "link/position_counters.h"
#include "settings/pulse_settings.h"

namespace smt::test {
namespace {

QString Text(CRowEditorBase& d, int id) {
    if (auto* e = qobject_cast<QLineEdit*>(d.Control(id))) return e->text();
    return static_cast<QComboBox*>(d.Control(id))->currentText();
}
void Type(CRowEditorBase& d, int id, const char* text) {
    auto* e = static_cast<QLineEdit*>(d.Control(id));
    e->setText(text);
    emit e->textEdited(text);
}
void Click(CRowEditorBase& d, int id) { static_cast<QPushButton*>(d.Control(id))->click(); }

TEST(RowEditorDialogs, OpeningsFlagsRefusalsAndZ) {
    ShellApp app;
    ASSERT_TRUE(app.Start());
    CSMTView* v = app.View();
    v->EnsureListPanels();
    CDialogPartList* panel = v->m_pPartList;
    PcbRecord pcb;
    pcb.m_PcbName = "P";
    v->Job().Pcb().m_PcbRecords = {pcb};
    g_MarkLines = {"M1\t1\t"};
    std::function<void(CRowEditorBase&)> script;
    v->m_RunModal = [&](QDialog& d) {
        script(static_cast<CRowEditorBase&>(d));
        return d.result();
    };
    ScriptedResponder boxes;
    RowCommands& rc = TheRowCommands();
    auto& h = panel->m_MenuHandlers;

    // A new row: empty combos, offsets 0, no flag; the open flag up while shown.
    script = [&](CRowEditorBase& d) {
        EXPECT_EQ(d.objectName(), "CDialogPartEditSmt");
        EXPECT_TRUE(ThePartListPort().rowEditorOpen());
        EXPECT_EQ(Text(d, 1007), "0.0000");
        EXPECT_EQ(Text(d, 1085), "");
        EXPECT_EQ(rc.m_PartEdit.m_Changed, (std::array<std::uint8_t, partflag::Count>{}));
        static_cast<QComboBox*>(d.Control(1085))->setEditText("C1");
        Type(d, 1005, "12.5");
        EXPECT_EQ(rc.m_PartEdit.m_Changed[partflag::Name], 1);
        EXPECT_EQ(rc.m_PartEdit.m_Changed[partflag::X], 1);
        EXPECT_EQ(rc.m_PartEdit.m_Changed[partflag::Y], 0);
        Click(d, 1);
    };
    h["PartAdd"]();
    EXPECT_FALSE(ThePartListPort().rowEditorOpen());
    ASSERT_EQ(ThePartList().RowCount(JobList::Part), 1);
    EXPECT_EQ(ThePartList().Cell(JobList::Part, 0, partcell::Name), "C1");
    EXPECT_EQ(ThePartList().Cell(JobList::Part, 0, partcell::X), "12.5000");

    // Modify: an angle the list lacks is added; an unknown own mark disables its combo;
    // "打开料架>>" with a feeder the list lacks says so.
    ThePartList().SetCell(JobList::Part, 0, partcell::Angle, "33");
    ThePartList().SetCell(JobList::Part, 0, partcell::Mark, "MX");
    ThePartList().m_PartItem = 0;
    script = [&](CRowEditorBase& d) {
        EXPECT_EQ(Text(d, 1025), "33");
        EXPECT_FALSE(d.Control(1024)->isEnabled());
        EXPECT_TRUE(static_cast<QCheckBox*>(d.Control(1472))->isChecked());
        Click(d, 1218);
        EXPECT_EQ(boxes.Texts().back(), "没找到对应的料架编号，请删除此料架重新创建 !");
        d.reject();
    };
    h["PartEdit"]();
    EXPECT_EQ(ThePartList().Cell(JobList::Part, 0, partcell::Mark), "MX");

    // Dispensing: Z 5 refused; "Z" reads the glue nozzle of the machine type, none on type 0.
    ThePulseFactors().m_Z_Pulse = 100;
    g_PulseZ[3] = 1234;
    g_PulseZ[1] = 500;
    script = [&](CRowEditorBase& d) {
        EXPECT_EQ(d.objectName(), "CDialogPartEditDis");
        for (auto [type, z] : {std::pair{0, "0.0000"}, {3, "12.3401"}, {1, "5.0001"}}) {
            g_MachineType = type;
            Click(d, 1242);
            EXPECT_EQ(Text(d, 1008), z) << type;
        }
        g_MachineType = 0;
        Type(d, 1008, "5");
        Click(d, 1);
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_NE(boxes.Texts().back().find("-255"), std::string::npos);
        Type(d, 1008, "-2");
        Click(d, 1);
    };
    h["Dis.PartAdd"]();
    EXPECT_EQ(ThePartList().Cell(JobList::Dis, 0, 3), "-2.0000");

    // Drilling: speeds outside 1..255 refused.
    script = [&](CRowEditorBase& d) {
        EXPECT_EQ(d.windowTitle(), "钻孔编辑");
        for (int id : {1591, 1587, 1578, 1588}) Type(d, id, "9");
        for (const char* bad : {"0", "256"}) {
            Type(d, 1588, bad);
            Click(d, 1);
            EXPECT_NE(d.result(), QDialog::Accepted) << bad;
        }
        Type(d, 1588, "255");
        Click(d, 1);
    };
    h["Drill.PartAdd"]();
    EXPECT_EQ(ThePartList().Cell(JobList::Drill, 0, 11), "255");
    g_PulseZ[3] = g_PulseZ[1] = 0;
    ThePulseFactors() = PulseFactors{};
    g_MarkLines.clear();
}

} // namespace
} // namespace smt::test
