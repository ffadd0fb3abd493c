// The feeder editor and its tray dialog in the running program: OK's checks over
// bank and feed mode, store in place, Next through the feeder list's Edit, Add with
// a tray, and the tray dialog's grid, sizes, menu greying and pitch capture.
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>

#include "../../app/ui/shell_fixture.h"
#include "app/menus.h"
#include "base/numtext.h"
#include "base/tablefile.h"
#include "feeders/feed_group_table.h"
#include "feeders/feeder_words.h"
#include "feeders/part_list_port.h"
#include "feeders/ui/dialog_feed_edit.h"
#include "feeders/ui/dialog_feed_list.h"
#include "feeders/ui/dialog_grid_box.h"
#include "link/jog.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "settings/pulse_settings.h"

namespace smt::test {
namespace {

namespace e = feededit;

// A feeder line of the table file that the editor accepts as it stands (bank feeder).
std::string Feeder(const std::string& id, const std::string& value, const std::string& mode = "集中飞达") {
    const std::vector<std::string> cells = {
        id, "Cap", "0603", value, "12.5000", "-7.5000", "1.60", "0.80", "0.45", "90", "1", "35", "No/Cam",
        "No/10/20", mode, "50", "25", "4.0000", "1", "200", "15.0000", "20.0000", "-3.2500", "No/", "0.5000",
        "00:通用", "500", "3", "5", "100"};
    return JoinRow(cells);
}

class FeedEditInShell : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<std::string> lines = {"1\tA\t",          "A\tdesc\t4\t",     Feeder("E1", "v1"),
                                                Feeder("E2", "v2"), Feeder("E3", "v3"), Feeder("G4", "v4", "托盘"),
                                                "0\t0\t0\t0\t0.0000\t0.0000\t", "0\t0\t0\t0\t0.0000\t0.0000\t",
                                                "0\t0\t0\t0\t0.0000\t0.0000\t", "2\t4\t0\t2\t8.0000\t5.0000\t",
                                                "Yes/1\tYes/1\tYes/2\tYes/3\t", "Yes/2\tYes/4\tYes/5\tYes/6\t"};
        WriteBytes(app.Dir().File("config_feed.fig"), EncodeTableFile(lines, nullptr));
        ASSERT_TRUE(app.Start());
        panel = app.View()->m_pFeedList;
        ASSERT_TRUE(panel);
        list = &panel->List();
        edit = &panel->FeedEditDialog();
        ThePartListPort().updateRowsForFeeder = [this](const std::string& o, const std::string& n, int vision,
                                                       const std::string& value, const std::string& nozzle) {
            updates.push_back(o + ">" + n + " " + std::to_string(vision) + " " + value + " " + nozzle);
        };
    }
    void TearDown() override { ThePartListPort().updateRowsForFeeder = nullptr; }

    // Runs the editor on row `row` through the list's Edit, `script` acting while it is open.
    bool EditRow(int row, const std::function<void()>& script) {
        edit->m_RunModal = [script](QDialog& d) {
            script();
            if (d.result() != QDialog::Accepted) d.reject();  // the operator closes it
            return d.result();
        };
        list->selected = row;
        panel->OnMenuCommand(feedmenu::Edit);
        return true;
    }
    std::string Cell(int row, int k) { return list->rows[static_cast<std::size_t>(row)].text[static_cast<std::size_t>(k)]; }
    std::vector<FeedRow> GroupRows() { return TheFeedGroupTable().CopyGroup(0)->rows; }
    void SetBank(int bank) {
        if (bank >= 0) {
            edit->BankRadio(bank)->click();
            return;
        }
        QButtonGroup* group = edit->BankRadio(0)->group();
        group->setExclusive(false);
        for (int b = 0; b < 5; ++b) edit->BankRadio(b)->setChecked(false);
        group->setExclusive(true);
    }
    void Choose(int combo, const std::string& text) {
        QComboBox* c = edit->Combo(combo);
        c->setCurrentIndex(c->findText(QString::fromStdString(text)));
        if (combo == e::FeedMode) edit->OnFeedModeChosen();
    }

    ShellApp app;
    ScriptedResponder boxes;
    CDialogFeedList* panel = nullptr;
    FeedList* list = nullptr;
    CDialogFeedEdit* edit = nullptr;
    std::vector<std::string> updates;
};

TEST_F(FeedEditInShell, OkOverBankAndFeedModeRefusesOrStoresAndWritesNothingWhenRefused) {
    struct Case {
        int bank;
        const char* mode;
        const char* number;
        const char* message;  // "" = the form closes with the identifier below
        const char* id;
    } cases[] = {
        {kBankEast, "自动飞达", "5", "除南面外其他不能使用自动飞达 !", ""},
        {kBankNorth, "CL_浸渍站", "5", "除南面外其他不能使用自动飞达 !", ""},
        {kBankSouth, "集中飞达", "5", "南面不能使用集中飞达或拖针 !", ""},
        {kBankSouth, "拖针", "5", "南面不能使用集中飞达或拖针 !", ""},
        {kBankSouth, "自动飞达", "97", "南面自动飞达不能超过96 !", ""},
        {kBankSouth, "自动飞达", "96", "", "S96"},
        {kBankTray, "振动飞达", "5", "方位与送料方式不匹配 !", ""},
        {kBankNone, "振动飞达", "5", "请选择送料方式 !", ""},
        {kBankEast, "托盘", "7", "", "G7"},  // the tray words force the tray bank
        {kBankWest, "托盘_浸渍站", "8", "", "G8"},
        {kBankEast, "集中飞达", "2", "编号重复 !", ""},  // another row's identifier
        {kBankEast, "集中飞达", "1", "", "E1"},          // the edited row's own
        {kBankEast, "集中飞达", "abc", "(the integer message)", ""},
    };
    for (const Case& c : cases) {
        boxes.Clear();
        updates.clear();
        const std::vector<FeedRow> before = GroupRows();
        const FeedListEntry row0 = list->rows[0];
        EditRow(0, [&] {
            Choose(e::FeedMode, c.mode);
            SetBank(c.bank);
            edit->Field(e::Number)->setText(c.number);
            edit->accept();
        });
        const std::vector<std::string> expected = *c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{};
        if (std::string(c.number) == "abc") {
            ASSERT_EQ(boxes.Count(), 1u);
            EXPECT_TRUE(edit->Form().validationFailed);
        } else {
            EXPECT_EQ(boxes.Texts(), expected) << c.mode << c.number;
        }
        if (*c.message) {
            EXPECT_TRUE(edit->Form().validationFailed);
            EXPECT_EQ(GroupRows(), before);
            EXPECT_EQ(list->rows[0].text, row0.text);
            EXPECT_TRUE(updates.empty());
        } else {
            EXPECT_EQ(Cell(0, 0), c.id);
            EXPECT_EQ(GroupRows()[0][0], c.id);
            EXPECT_EQ(updates, std::vector<std::string>{std::string("E1>") + c.id + " 0 v1 1"});
            // Put row 0 back for the next case.
            static_cast<FeedListItem&>(list->rows[0]) = row0;
            TheFeedGroupTable().CopyListRowToFeedRow(0, *list, 0, 0);
        }
        EXPECT_FALSE(list->editing);  // closing in any way ends the Edit
    }
}

TEST_F(FeedEditInShell, IntegratedDefaultsTakeFourPressesVibrationOnlyFocusesAndStoreInPlaceStaysOpen) {
    std::vector<std::string> steps;
    EditRow(1, [&] {
        for (int id : {e::FeedCount, e::Loosen, e::Tighten}) edit->Field(id)->setText("0");
        for (int press = 0; press < 4; ++press) {
            edit->accept();
            steps.push_back(edit->Field(e::FeedCount)->text().toStdString() + "," +
                            edit->Field(e::Loosen)->text().toStdString() + "," +
                            edit->Field(e::Tighten)->text().toStdString() +
                            (edit->result() == QDialog::Accepted ? " ok" : ""));
        }
    });
    EXPECT_EQ(steps, (std::vector<std::string>{"1,0,0", "1,15,0", "1,15,20", "1,15,20 ok"}));
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(Cell(1, 18) + " " + Cell(1, 20) + " " + Cell(1, 21), "1 15.0000 20.0000");

    bool stayed = false;
    EditRow(1, [&] {
        edit->show();
        edit->activateWindow();
        QApplication::processEvents();
        Choose(e::FeedMode, "振动飞达");
        edit->Field(e::FeedCount)->setText("0");
        edit->Field(e::Value)->setFocus();
        edit->accept();
        EXPECT_TRUE(edit->Field(e::FeedCount)->hasFocus());
        EXPECT_FALSE(edit->Form().validationFailed);
        // A test button's store in place: the list row takes the form, the form stays.
        edit->Field(e::FeedCount)->setText("2");
        edit->Field(e::Value)->setText("in place");
        edit->Form().storeInPlace = true;
        edit->accept();
        stayed = edit->isVisible() && !edit->Form().storeInPlace && !edit->Form().validationFailed;
        edit->reject();
    });
    EXPECT_TRUE(stayed);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(Cell(1, 3) + " " + Cell(1, 14), "in place 振动飞达");
    EXPECT_EQ(GroupRows()[1][3], "v2");  // the group takes it with the closing OK only
}

TEST_F(FeedEditInShell, NextChecksLikeOkFindsTheLoadedFeederAndClosesAfterTheLast) {
    // A changed identifier that another feeder has.
    EditRow(0, [&] {
        edit->Field(e::Number)->setText("2");
        edit->OnNext();
    });
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"编号重复 !"});
    EXPECT_EQ(Cell(0, 0), "E1");
    // A form whose feeder left the group: the list's message, nothing written.
    boxes.Clear();
    EditRow(0, [&] {
        edit->Form().previousId = "E9";
        edit->OnNext();
    });
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"没找到对应的料架编号，请删除此料架重新创建 !"});
    EXPECT_EQ(Cell(0, 3), "v1");
    // Renumbered and walked to the end: every item and its feeder hold the values.
    boxes.Clear();
    updates.clear();
    std::vector<std::string> seen;
    EditRow(1, [&] {
        edit->Field(e::Number)->setText("12");
        edit->Field(e::Value)->setText("n2");
        edit->OnNext();
        seen.push_back(edit->Form().previousId + (edit->Button(1)->isEnabled() ? " ok on" : " ok off"));
        edit->Field(e::Value)->setText("n3");
        edit->OnNext();  // E3, the last bank feeder
        seen.push_back(edit->Form().previousId);
        edit->OnNext();  // G4, the last item
        seen.push_back(edit->result() == QDialog::Rejected ? "closed" : "open");
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"E3 ok off", "G4", "closed"}));
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(Cell(1, 0) + Cell(1, 3) + Cell(2, 3), "E12n2n3");
    EXPECT_EQ(GroupRows()[1][0] + GroupRows()[1][3] + GroupRows()[2][3], "E12n2n3");
    EXPECT_EQ(updates, (std::vector<std::string>{"E2>E12 0 n2 1", "E3>E3 0 n3 1", "G4>G4 0 v4 1"}));
    EXPECT_FALSE(list->editing);
}

TEST_F(FeedEditInShell, AddKeepsThePreviousValuesStoresItsTrayAndLeavesRowsWithoutFeeder) {
    EditRow(0, [] {});  // the editor's previous use: E1
    updates.clear();
    edit->m_RunModal = [&](QDialog& d) {
        if (&d != edit) {  // the tray dialog
            auto& grid = edit->GridBox();
            EXPECT_EQ(grid.FeederIdEdit()->text().toStdString(), "");
            EXPECT_EQ(std::make_pair(grid.m_OriginX, grid.m_OriginY), std::make_pair(12.5, -7.5));
            grid.RowsBox()->setValue(2);
            grid.ColumnsBox()->setValue(2);
            grid.OnPocketClicked(0, 1);
            grid.accept();
            return d.result();
        }
        EXPECT_EQ(edit->Field(e::Value)->text().toStdString(), "v1");
        EXPECT_FALSE(edit->Button(3)->isEnabled());  // Next belongs to Edit
        Choose(e::FeedMode, "托盘");
        edit->Field(e::Number)->setText("20");
        emit edit->Field(e::Number)->textEdited("20");
        edit->OnTrayButton();  // the number was typed: save first
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Please click the OK button and save it before opening it !"});
        edit->Form().modified = false;
        edit->OnTrayButton();
        edit->accept();
        return d.result();
    };
    panel->OnMenuCommand(feedmenu::Add);
    ASSERT_EQ(list->ItemCount(), 5);
    EXPECT_EQ(Cell(4, 0) + Cell(4, 3), "G20v1");
    EXPECT_TRUE(updates.empty());  // a new feeder: the rows without a feeder stay as they are
    const auto tray = TheFeedGroupTable().CopyTray(0, "G20");
    ASSERT_TRUE(tray);
    EXPECT_EQ(std::make_tuple(tray->rows, tray->columns, tray->currentRow, tray->currentColumn), std::make_tuple(2, 3, 0, 1));
    EXPECT_EQ(tray->grid[0][1], "No/1");
}

TEST_F(FeedEditInShell, TrayDialogGridSizesMenuGreyingAndPitchCapture) {
    CDialogGridBox& grid = edit->GridBox();
    list->selected = 3;  // G4: 2 rows x 3 pockets, pitches 8 and 5, its next pocket (0, 3)
    grid.OnInitDialog();
    EXPECT_EQ(std::make_tuple(grid.RowsBox()->value(), grid.ColumnsBox()->value(), grid.RowPitchEdit()->text().toStdString(),
                              grid.ColumnPitchEdit()->text().toStdString()),
              std::make_tuple(2, 3, std::string("8"), std::string("5")));
    EXPECT_EQ(grid.GridList().PocketIcon(0, 2), feedicon::None);  // the stored pockets, not a rebuilt grid
    EXPECT_EQ(grid.GridList().PocketIcon(1, 3), kPocketFull);
    EXPECT_EQ(grid.CountLabel()->text().toStdString(), "元件数量为：4");
    grid.OnPocketClicked(1, 3);
    grid.OnPocketClicked(0, 1);
    EXPECT_EQ(grid.CountLabel()->text().toStdString(), "元件数量为：4");
    grid.accept();
    EXPECT_EQ(grid.result(), QDialog::Accepted);
    const auto stored = TheFeedGroupTable().CopyTray(0, "G4");
    EXPECT_EQ(std::make_tuple(stored->currentRow, stored->currentColumn, stored->grid[1][3], stored->grid[0][1]),
              std::make_tuple(0, 0, std::string("No/6"), std::string("Yes/1")));
    grid.OnInitDialog();  // from the new current pocket on, every pocket shows a part
    EXPECT_EQ(grid.GridList().PocketIcon(0, 1), kPocketFull);
    EXPECT_EQ(grid.GridList().PocketText(1, 3), "6");

    // Sizes: an oversized grid is refused and the grid kept; 0 rows refuse OK.
    grid.RowsBox()->setValue(400);
    grid.ColumnsBox()->setValue(400);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"请输入有效数据 !"});
    EXPECT_EQ(std::make_pair(grid.Grid()->rowCount(), grid.Grid()->columnCount()), std::make_pair(400, 4));
    EXPECT_EQ(grid.ColumnsBox()->value(), 3);
    grid.RowsBox()->setValue(0);
    grid.accept();
    EXPECT_EQ(boxes.Texts().size(), 2u);
    EXPECT_EQ(grid.result(), 0);
    EXPECT_EQ(TheFeedGroupTable().CopyTray(0, "G4")->rows, 2);

    // The pocket menu: the guards first, even beside the pockets, then the greying.
    boxes.Clear();
    EXPECT_FALSE(grid.BuildPocketMenu(0, 0));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Machine is not connection !"});
    g_Connected = true;
    g_Homed = true;
    grid.RowsBox()->setValue(2);
    for (auto [type, enabled] : {std::pair{0, 2}, std::pair{4, 5}, std::pair{7, 9}}) {
        g_MachineType = type;
        auto menu = grid.BuildPocketMenu(1, 2);
        ASSERT_TRUE(menu);
        int on = 0;
        for (QAction* a : menu->actions()) on += a->isEnabled();
        EXPECT_EQ(on, enabled) << type;
        EXPECT_EQ(menu->actions()[1]->text().toStdString(), "吸嘴1到料架坐标测试");
    }
    EXPECT_EQ(grid.GridList().PocketIcon(1, 2), 2);
    EXPECT_EQ(std::make_pair(grid.m_TargetRow, grid.m_TargetColumn), std::make_pair(1, 2));

    // Type 4: the row pitch from the head group's table, one step away from zero.
    g_MachineType = 4;
    ThePulseFactors().m_X_Pulse = 100, ThePulseFactors().m_Y_Pulse = 80;  // apart, so that a swap shows
    g_PulseY = 1;
    g_PulseY2 = -1000;
    g_PulseX2 = 250;
    for (int group : {1, 2}) {
        TheManualJog().SetHeadGroup(group);
        grid.OnCaptureRowPitch();
        grid.OnCaptureColumnPitch();
        EXPECT_EQ(grid.RowPitchEdit()->text().toStdString() + " " + grid.ColumnPitchEdit()->text().toStdString(),
                  group == 1 ? "0.0126 2.5001" : "-12.5001 2.5001");  // 1 / 80, -1000 / 80
    }
    // The move target's mark does not empty its pocket.
    grid.accept();
    EXPECT_EQ(TheFeedGroupTable().CopyTray(0, "G4")->grid[1][2], "Yes/5");
    TheManualJog().SetHeadGroup(1);
    ClearPositionCounters();
    g_Connected = false;
    g_Homed = false;
    g_MachineType = 0;
}

} // namespace
} // namespace smt::test
