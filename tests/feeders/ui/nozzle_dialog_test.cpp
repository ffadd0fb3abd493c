// The nozzle library in the running program: loaded at the first update, opened
// from the settings menu, edited, and kept or dropped by OK and Cancel.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>

#include "../../app/ui/shell_fixture.h"
#include "app/menus.h"
#include "base/tablefile.h"
#include "feeders/nozzle_library.h"
#include "feeders/strategy_port.h"
#include "feeders/ui/nozzle_edit_dialog.h"
#include "feeders/ui/nozzle_list_dialog.h"
#include "run_state/nozzle_work.h"
#include "machine_ops/origin_update.h"
#include "machine_ops/ui/settings_wiring.h"

namespace smt::test {
namespace {

std::string FileOf(const std::vector<std::string>& lines) { return EncodeTableFile(lines, nullptr); }

TEST(NozzleDialog, MenuOpensTheLibraryAndOkOrCancelDecideWhatIsKept) {
    // X and Y factors apart, so that a swap shows.
    ShellApp app("[SetPulseConfig]\r\nm_X_Pulse=100\r\nm_Y_Pulse=80\r\nm_Z_Pulse=100\r\n"
                 "[NozzleListConfig]\r\nm_Delay=30\r\nm_Distance=0\r\n[MachineSetConfig]\r\nMachineSet=2\r\n");
    const std::string first = "1\t10.0000\t-20.0000\t-3.0000\t10.0000\t-20.0000\t-5.0000\t40\tN1\t";
    WriteBytes(app.Dir().File("config_nozzle.fig"), FileOf({first}));
    ASSERT_TRUE(app.Start());
    NozzleLibrary& lib = TheNozzleLibrary();
    ASSERT_EQ(lib.Rows().size(), 1u);
    EXPECT_EQ(lib.m_Config.m_Delay, 30);
    EXPECT_DOUBLE_EQ(lib.m_Config.m_Distance, 100);
    EXPECT_EQ(CopyNozzleTable()[0].holderX, 1000);  // built after the pulse positions
    EXPECT_EQ(CopyNozzleTable()[0].holderY, -1600);  // -20 mm at 80 pulses per mm

    CDialogNozzleList* dialog = nullptr;
    app.View()->m_RunModal = [&](QDialog& d) {
        dialog = qobject_cast<CDialogNozzleList*>(&d);
        return 0;
    };
    {
        std::lock_guard lock(NozzleStateMutex());
        g_NozzleWork[1].head = 2, g_NozzleWork[1].mountedNozzle = 1;
        g_NozzleTable[0].inHolder = 0;
    }
    app.Frame()->Action(cmd::NozzleList)->trigger();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->HeadBox()->count(), 2);  // machine type 2: A1, A2
    EXPECT_EQ(dialog->HeadStatic(2)->text(), "1");
    EXPECT_FALSE(dialog->LibraryCheck()->isEnabled());
    ASSERT_EQ(dialog->List()->rowCount(), 1);
    EXPECT_EQ(dialog->List()->item(0, 0)->data(Qt::UserRole).toInt(), 1);  // taken out
    EXPECT_EQ(dialog->List()->item(0, 1)->background().color(), QColor(200, 250, 250));

    // Add: the editor's number is taken first, then a free one is accepted.
    ScriptedResponder boxes;
    CDialogNozzleEdit* editor = dialog->Editor();
    std::vector<std::string> numbers{"1", "2"};
    dialog->m_RunEditor = [&](QDialog&) {
        for (const std::string& n : numbers) {
            editor->Field(1127)->setText(QString::fromStdString(n));
            editor->Field(1128)->setText("30");
            editor->Field(1128)->textEdited("30");  // typing copies holder X into entry X
            editor->Field(1129)->setText("-40");
            editor->Field(1129)->textEdited("-40");
            editor->Field(1119)->setText("-3");
            editor->Field(1132)->setText("-6");
            editor->Field(1134)->setText("50");
            editor->Field(1133)->setText("N2");
            editor->accept();
            if (editor->result() == QDialog::Accepted) break;
        }
        return editor->result();
    };
    dialog->OnAdd();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"吸嘴座名称已存在，请修改 !"});
    const std::string added = "2\t30.0000\t-40.0000\t-3.0000\t30.0000\t-40.0000\t-6.0000\t50\tN2\t";
    ASSERT_EQ(lib.Rows().size(), 2u);
    EXPECT_EQ(BuildNozzleLines(lib.Rows())[1], added);

    // Cancel: the cell table keeps the row; the lines, the table and the file do not change.
    dialog->reject();
    EXPECT_EQ(g_FigLists.nozzle, std::vector<std::string>{first});
    EXPECT_EQ(CopyNozzleTable()[1].holderX, 0);
    EXPECT_EQ(ReadBytes(app.Dir().File("config_nozzle.fig")), FileOf({first}));

    // The next opening lists it; deleting the first row and OK write both.
    app.Frame()->Action(cmd::NozzleList)->trigger();
    ASSERT_EQ(dialog->List()->rowCount(), 2);
    dialog->SelectRow(0);
    dialog->OnDelete();
    dialog->accept();
    EXPECT_EQ(g_FigLists.nozzle, std::vector<std::string>{added});
    EXPECT_EQ(ReadBytes(app.Dir().File("config_nozzle.fig")), FileOf({added}));
    EXPECT_EQ(CopyNozzleTable()[0].holderX, 3000);
    EXPECT_EQ(CopyNozzleTable()[0].entryY, -3200);
    EXPECT_EQ(app.Config("NozzleListConfig", "m_Distance"), "100.0000");

    // The right-click menu: no row, rows beyond the sixth, the 19-nozzle library.
    boxes.Clear();
    EXPECT_EQ(dialog->BuildRowMenu(-1), nullptr);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"请选择行 !"});
    EXPECT_EQ(dialog->BuildRowMenu(6), nullptr);
    TheStrategyPort().m_19NozzleLibrary = [] { return 1; };
    QMenu* menu = dialog->BuildRowMenu(6);
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 8);
    EXPECT_FALSE(menu->actions()[2]->isEnabled());  // to the entry: none on this library
    // The library output behind the guards: a refused click leaves the box as it was.
    boxes.Clear();
    dialog->LibraryCheck()->setChecked(true);
    dialog->OnLibraryCheck(true);
    EXPECT_FALSE(dialog->LibraryCheck()->isChecked());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Machine is not connection !"});
    editor->Start(true);
    EXPECT_FALSE(editor->Field(1130)->isEnabled());
    EXPECT_FALSE(editor->Button(1006)->isEnabled());
    TheStrategyPort() = StrategyPort{};

    // An empty library writes a file with count 0; the origin shift moves the lines.
    app.Frame()->Action(cmd::NozzleList)->trigger();
    dialog->SelectRow(0);
    dialog->OnDelete();
    dialog->accept();
    EXPECT_EQ(ToHex(ReadBytes(app.Dir().File("config_nozzle.fig"))), "00 00 00 00");
    lib.Rows() = ParseNozzleRows({added});
    TheOriginShiftPort().shiftNozzleCoordinates(1, -1);
    EXPECT_EQ(g_FigLists.nozzle[0].substr(0, 20), "2\t31.0000\t-41.0000\t-");

    // Busy: the command is refused with the view's text.
    GetShellServices().isBusy = [] { return true; };
    dialog = nullptr;
    boxes.Clear();
    app.Frame()->Action(cmd::NozzleList)->trigger();
    EXPECT_EQ(dialog, nullptr);
    EXPECT_EQ(boxes.Count(), 1u);
    ResetNozzleStates();
}

} // namespace
} // namespace smt::test
