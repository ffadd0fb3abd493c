// The package, mark and drop-down libraries in the running program: opened from
// the settings menu, edited through their editors, written to their table files.
#include <filesystem>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>

#include "../../app/ui/shell_fixture.h"
#include "app/menus.h"
#include "base/tablefile.h"
#include "feeders/mark_library.h"
#include "feeders/part_list_port.h"
#include "feeders/ui/dropdown_dialog.h"
#include "feeders/ui/mark_dialogs.h"
#include "feeders/ui/pack_dialogs.h"
#include "joblist/part_list.h"
#include "link/homing.h"
#include "link/position_counters.h"
#include "settings/pulse_settings.h"
#include "vision/camera_list.h"

using namespace smt;
using namespace smt::test;
using Lines = std::vector<std::string>;

namespace {

Lines FileLines(const std::string& path) {
    Lines rows;
    EXPECT_TRUE(DecodeTableFile(ReadBytes(path), rows, nullptr));
    return rows;
}

// Placement rows of a loaded job with the given part names and own marks.
void LoadPlacementRows(const std::vector<std::pair<std::string, std::string>>& nameAndMark) {
    std::vector<JobRow> rows;
    for (const auto& [name, mark] : nameAndMark) {
        JobRow r(kPartCells);
        r.cells[partcell::Name] = name;
        r.cells[partcell::Mark] = mark;
        rows.push_back(r);
    }
    ThePartList().SetRows(JobList::Part, rows);
}

Lines PlacementCells(int cell) {
    Lines cells;
    for (const JobRow& r : ThePartList().Rows(JobList::Part)) cells.push_back(r.cells[cell]);
    return cells;
}

// Runs the settings command with `work` in place of the modal loop.
template <class D>
void Open(ShellApp& app, int command, std::function<void(D&)> work) {
    bool opened = false;
    app.View()->m_RunModal = [&](QDialog& d) {
        auto* dialog = qobject_cast<D*>(&d);
        EXPECT_TRUE(dialog);
        if (dialog) work(*dialog);
        opened = true;
        return 0;
    };
    app.View()->OnCommand(command);
    EXPECT_TRUE(opened);
}

TEST(PartLibrariesInTheShell, PackagesTranslatedRefusedAndWritten) {
    ShellApp app;
    // An older file without the delays, stored with Chinese words.
    std::string older = "0603\t1.6\t0.8\t0.5\t100\t90\tcam1\tYes\tNo\t1\tYes\t贴装速度\t00:通用\t托盘\t";
    for (int i = 16; i < 28; ++i) older += "0\t";
    WriteBytes(app.Dir().File("config_pack.fig"), EncodeTableFile({older}, nullptr));
    ASSERT_TRUE(app.Start());
    app.Frame()->Action(cmd::English)->trigger();
    g_MachineType = 4;
    CameraCells first{}, second{};
    first[0] = "cam1";
    second[0] = "side";
    TheCameraList().SetRows({first, second});
    ScriptedResponder boxes;
    Open<CDialogPackList>(app, cmd::PackData, [&](CDialogPackList& d) {
        QTableWidget* list = d.List();
        ASSERT_EQ(list->rowCount(), 1);
        EXPECT_EQ(list->item(0, 6)->text(), "50");
        EXPECT_EQ(list->item(0, 13)->text(), "Mounting speed");
        EXPECT_EQ(list->horizontalHeaderItem(3)->text(), "Height");
        // Modify on type 4: the vision-centring package opens as "无视觉", which cannot be chosen.
        d.m_RunEditor = [&](QDialog& e) {
            auto& edit = static_cast<CDialogPackEdit&>(e);
            EXPECT_TRUE(edit.Vision(0)->isChecked());
            EXPECT_FALSE(edit.Vision(1)->isEnabled());
            EXPECT_EQ(edit.Field(1006)->text(), "1.6000");
            QComboBox* cameras = edit.Combo(1027);
            EXPECT_EQ(cameras->count(), 2);  // the camera table's names, in its order
            EXPECT_EQ(cameras->itemText(cameras->count() - 1), "side");
            edit.accept();
            return e.result();
        };
        d.SelectRow(0);
        d.OnModify();
        EXPECT_EQ(list->item(0, 9)->text(), "No");
        // Add under the same name: refused, the editor stays open; then under a new one.
        d.m_RunEditor = [&](QDialog& e) {
            auto& edit = static_cast<CDialogPackEdit&>(e);
            edit.accept();
            EXPECT_EQ(boxes.Texts(), Lines{"This package exists already, please change it !"});
            edit.Field(1005)->setText("0402");
            edit.accept();
            return e.result();
        };
        d.OnAdd();
        ASSERT_EQ(list->rowCount(), 2);
        d.OnHeaderClicked(0);
        EXPECT_EQ(list->item(0, 0)->text(), "0402");
        d.accept();
    });
    const Lines stored = FileLines(app.Dir().File("config_pack.fig"));
    ASSERT_EQ(stored, g_FigLists.pack);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[1].rfind("0603\t1.6000\t0.8000\t0.5000\t100\t90\t50\t25\tcam1\tNo\tNo\t1\tYes\tMounting speed\t"
                              "00:General\tTray\t", 0), 0u);
    EXPECT_EQ(std::count(stored[0].begin(), stored[0].end(), '\t'), 28);
}

TEST(PartLibrariesInTheShell, MarkCapturedFromTheOneKeyClearRenamedAndWritten) {
    ShellApp app;
    WriteBytes(app.Dir().File("config_mark.fig"),
               EncodeTableFile({"A\t0\t0\t0\t0\t10\t2\t1\t80\t100\t100\t30\t1\tNo\t0\t0\t", "C\t"}, nullptr));
    ASSERT_TRUE(app.Start());
    g_MachineType = 0;
    ThePulseFactors().m_X_Pulse = 100;
    ThePulseFactors().m_Y_Pulse = 80;  // apart from X, so that a swap shows
    g_PulseX = 500;
    g_PulseY = -300;
    SetAllZero();
    g_PulseX = 500 + 1234;
    g_PulseY = -300 - 1234;
    LoadPlacementRows({{"R1", "A"}, {"R2", "C"}, {"R3", ""}, {"R4", "A"}});
    Open<CDialogMarkList>(app, cmd::MarkData, [&](CDialogMarkList& d) {
        ASSERT_EQ(d.List()->rowCount(), 2);
        d.m_RunEditor = [&](QDialog& e) {
            auto& edit = static_cast<CDialogMarkEdit&>(e);
            EXPECT_EQ(edit.Field(1056)->text(), "0.1000");
            edit.Field(1055)->setText("50");
            EXPECT_EQ(edit.Field(1056)->text(), "0.5000");
            edit.Field(1006)->setText("3.5");
            edit.findChild<QPushButton*>("button1473")->click();
            edit.findChild<QPushButton*>("button1474")->click();
            EXPECT_EQ(edit.Field(1015)->text(), "12.3401");
            EXPECT_EQ(edit.Field(1016)->text(), "-15.4251");  // -1234 / 80
            EXPECT_EQ(edit.Field(1006)->text(), "2.0000");  // shown again from the stored values
            edit.Field(1002)->setText("B");
            edit.accept();
            return e.result();
        };
        d.SelectRow(0);
        d.OnModify();
        d.accept();
    });
    EXPECT_EQ(PlacementCells(partcell::Mark), (Lines{"B", "C", "", "B"}));
    const Lines stored = FileLines(app.Dir().File("config_mark.fig"));
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0], "B\t12.3401\t-15.4251\t0.0000\t0.0000\t10\t2.0000\t1.0000\t80\t100\t100\t30\t1\tNo\t0.0000\t0.0000\t");
    ASSERT_TRUE(LookUpMarkEntry("B"));
    EXPECT_EQ(LookUpMarkEntry("B")->contrast, 100);
}

TEST(PartLibrariesInTheShell, DropDownListsImportMirrorAndWriteFourLines) {
    ShellApp app;
    WriteBytes(app.Dir().File("config_dropdown.fig"), EncodeTableFile({"R1\t", "", "0603\t"}, nullptr));
    ASSERT_TRUE(app.Start());
    LoadPlacementRows({{"R1", ""}, {"", ""}, {"C7", ""}});
    ThePartList().AddComboItem(InPlaceCombo::Angles, "180");
    ScriptedResponder boxes;
    Open<CDialogDropDownParameter>(app, cmd::OftenData, [&](CDialogDropDownParameter& d) {
        EXPECT_EQ(d.PageList(2)->count(), 1);
        d.OnImport();
        EXPECT_EQ(d.PageList(0)->count(), 2);
        d.Tabs()->setCurrentIndex(3);
        for (const char* angle : {"360", "180", "-90"}) {
            d.Edit()->setText(angle);
            d.OnAdd();
        }
        EXPECT_EQ(d.PageList(3)->item(0)->text(), "-90");
        d.PageList(3)->setCurrentRow(1);
        EXPECT_EQ(d.Edit()->text(), "180");
        d.OnDelete();
        d.accept();
    });
    EXPECT_EQ(boxes.Texts(), Lines{"是否确定从元件清单中导入元件名称数据 ?"});
    // The part list's angle combo follows at once: "-90" joined, "180" left.
    EXPECT_EQ(ThePartList().ComboItems(InPlaceCombo::Angles), Lines{"-90"});
    EXPECT_EQ(FileLines(app.Dir().File("config_dropdown.fig")), (Lines{"C7\tR1\t", "", "0603\t", "-90\t"}));
}

// A value out of its range is refused in the operator's language only.
TEST(PartLibrariesInTheShell, MarkRangeRefusedInTheChosenLanguage) {
    ShellApp app;
    ASSERT_TRUE(app.Start());
    app.Frame()->Action(cmd::German)->trigger();
    ScriptedResponder boxes;
    Open<CDialogMarkList>(app, cmd::MarkData, [&](CDialogMarkList& d) {
        d.m_RunEditor = [](QDialog& e) {
            auto& edit = static_cast<CDialogMarkEdit&>(e);
            edit.Field(1002)->setText("M1");
            edit.Field(1248)->setText("300");  // contrast: 0 to 255
            edit.accept();
            return e.result();
        };
        d.OnAdd();
        d.reject();
    });
    EXPECT_EQ(boxes.Texts(), Lines{"Bitte geben Sie eine Zahl zwischen 0 und 255 ein."});
}

// A table file that cannot be written: the box names it, the lines are already
// rebuilt and the window stays open for another try.
TEST(PartLibrariesInTheShell, FailedWriteKeepsTheWindowOpen) {
    ShellApp app;
    ASSERT_TRUE(app.Start());
    std::filesystem::remove(app.Dir().File("config_mark.fig"));
    std::filesystem::create_directory(app.Dir().File("config_mark.fig"));
    ScriptedResponder boxes;
    Open<CDialogMarkList>(app, cmd::MarkData, [&](CDialogMarkList& d) {
        d.m_RunEditor = [](QDialog& e) {
            static_cast<CDialogMarkEdit&>(e).Field(1002)->setText("M1");
            e.accept();
            return e.result();
        };
        d.OnAdd();
        d.accept();
        EXPECT_EQ(d.result(), 0);
    });
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.Texts()[0].find("config_mark.fig"), std::string::npos);
    ASSERT_EQ(g_FigLists.mark.size(), 1u);
    EXPECT_EQ(g_FigLists.mark[0].substr(0, 3), "M1\t");
}

} // namespace
