// The part list panel in the running program: toolbar states, companion files
// through the File menu, in-place editing against the live feeder group, menus,
// captions, and the run's icon calls from another thread while the view paints.
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>

#include <atomic>
#include <thread>

#include "../../app/ui/shell_fixture.h"
#include "feeders/feed_group_table.h"
#include "feeders/part_list_port.h"
#include "feeders/strategy_port.h"
#include "joblist/ui/dialog_part_list.h"
#include "link/link_state.h"
#include "link/manual_control.h"
#include "app/menus.h"
#include "base/numtext.h"
#include <set>

using namespace smt;
using namespace smt::test;
using Lines = std::vector<std::string>;

namespace {

class PartListShell : public ::testing::Test {
protected:
    explicit PartListShell(const std::string& configIni = {}) : app(configIni) {}
    void SetUp() override {
        ASSERT_TRUE(app.Start());
        v = app.View();
        panel = v->m_pPartList;
        ASSERT_NE(panel, nullptr);
    }
    void TearDown() override { TheStrategyPort() = {}; }
    void Settle() { QApplication::processEvents(); }

    ShellApp app;
    CSMTView* v = nullptr;
    CDialogPartList* panel = nullptr;
};

class ConveyorType3 : public PartListShell {
protected:
    ConveyorType3() : PartListShell("[MachineSetConfig]\nMachineSet=3\n") {}
};

class EnglishType4 : public PartListShell {
protected:
    EnglishType4() : PartListShell("[LanguageSetConfig]\nLanguageSet=English\n[MachineSetConfig]\nMachineSet=4\n") {}
};

std::string Row16(const std::string& feeder, const std::string& place = "1/Yes") {
    Lines cells(16);
    cells[0] = "1";
    cells[7] = place;
    cells[9] = feeder;
    cells[10] = "0/No";
    return JoinRow(cells);
}

// PCB "P" holding these placement rows (oldest parameter layout: the last field is the row count).
Lines Pcb(Lines rows) {
    rows.insert(rows.begin(), "P\t\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t" + std::to_string(rows.size()) + "\t");
    return rows;
}

} // namespace

TEST_F(ConveyorType3, ToolbarAtCreationAndAfterTheManualPanelEnables) {
    CToolBarPartControl* bar = panel->ToolBar();
    EXPECT_EQ(bar->property("controlId").toInt(), 370);
    for (int id = 104; id <= 114; ++id) {
        SCOPED_TRACE(id);
        EXPECT_EQ(bar->Button(id)->text().toStdString(), CToolBarPartControl::ButtonText(id));
        EXPECT_EQ(bar->IsButtonEnabled(id), id < 106 || id > 110);
    }
    EXPECT_EQ(bar->Button(104)->text(), "Pcb Edit");
    EXPECT_EQ(bar->Button(114)->text(), "Smt Dis");
    ConveyorInUseSource() = [] { return true; };
    v->m_pManualControl->EnableManualControls(true);
    EXPECT_TRUE(bar->IsButtonEnabled(106));
    EXPECT_TRUE(bar->IsButtonEnabled(110));
    EXPECT_FALSE(bar->IsButtonEnabled(107));
    v->m_pManualControl->EnableManualControls(false);
    EXPECT_FALSE(bar->IsButtonEnabled(106));
    EXPECT_FALSE(bar->IsButtonEnabled(110));
    ConveyorInUseSource() = nullptr;

    // Find opens its dialog; a registered handler takes over the command.
    ScriptedResponder boxes;
    Lines opened;
    v->m_RunModal = [&](QDialog& d) { return opened.push_back(d.objectName().toStdString()), 0; };
    bar->Button(111)->click();
    EXPECT_EQ(opened, Lines{"CDialogFind"});
    EXPECT_EQ(boxes.Texts(), Lines{});
    int found = 0;
    panel->m_ToolHandlers[111] = [&] { ++found; };
    bar->Button(111)->click();
    EXPECT_EQ(found, 1);
}

TEST_F(PartListShell, CompanionFilesThroughTheFileMenu) {
    ScriptedResponder boxes;
    CMainFrame* f = app.Frame();
    TheStrategyPort().m_RunSelect = [] { return 1; };
    v->Job().SetJob("P", 1, Pcb({Row16("E1"), Row16("E2", "0/No")}));
    ThePartList().ParseDisLines({"1\t2\t3\t4\tYes\t", "2\t0\t0\t0\tNo\t"}, 1);
    const std::string with = app.Dir().File("with.smt"), plain = app.Dir().File("plain.smt");
    f->m_AskSavePath = [&](const std::string&) { return with; };
    f->Action(cmd::FileSaveAs)->trigger();
    ThePartList().FreeDisRows();
    f->m_AskSavePath = [&](const std::string&) { return plain; };
    f->Action(cmd::FileSaveAs)->trigger();

    f->m_AskOpenPath = [&] { return with; };
    f->Action(cmd::FileOpen)->trigger();
    Settle();
    EXPECT_EQ(panel->List(JobList::Dis)->model()->rowCount(), 2);
    EXPECT_FALSE(panel->List(JobList::Dis)->isHidden());  // run mode 1 shows the dispensing list
    EXPECT_TRUE(panel->PlacementList()->isHidden());
    EXPECT_EQ(panel->PlacementList()->model()->rowCount(), 2);
    const QModelIndex flag = panel->PlacementList()->model()->index(1, partcell::Place);
    EXPECT_EQ(flag.data().toString(), "No");

    f->m_AskOpenPath = [&] { return plain; };
    f->Action(cmd::FileOpen)->trigger();
    Settle();
    EXPECT_EQ(panel->List(JobList::Dis)->model()->rowCount(), 0);
    EXPECT_EQ(ThePartList().RowCount(JobList::Dis), 0);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(PartListShell, InPlaceFeederChoiceReadsTheOpenFeederGroup) {
    FeedGroupTable& table = TheFeedGroupTable();
    ASSERT_GE(table.AddFeedGroup("G", "d"), 0);
    table.SetOpenGroupName("G");
    ASSERT_TRUE(table.BeginAppendFeeder());
    struct OneFeeder : FeedListRows {
        FeedListItem item;
        void DeleteAllItems() override {}
        void InsertItem(int, const FeedListItem&) override {}
        int ItemCount() const override { return 1; }
        FeedListItem Item(int) const override { return item; }
    } list;
    list.item.text[feedcell::Id] = "E1";
    list.item.text[3] = "0402";
    list.item.text[10] = "2";
    list.item.text[feedcell::Camera] = "Camera 1";  // shown with the camera image
    list.item.SetIcon(feedcell::Camera, feedicon::CameraYes);
    // The group is empty, so the appended item is item 0.
    ASSERT_TRUE(table.CommitAppendFeeder(list));

    v->Job().SetJob("P", 1, Pcb({Row16("")}));
    Settle();
    QAbstractItemModel* model = panel->PlacementList()->model();
    panel->OnListClick(JobList::Part, model->index(0, partcell::Feeder));
    QComboBox* combo = panel->InPlaceCombo(InPlaceCombo::Feeders);
    EXPECT_TRUE(combo->isVisible() || !panel->isVisible());
    ASSERT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->itemText(0), "E1-0402");
    combo->setCurrentIndex(0);
    panel->CommitInPlaceEditors(true);
    Settle();
    EXPECT_EQ(model->index(0, partcell::Feeder).data().toString(), "E1");
    EXPECT_EQ(model->index(0, partcell::FeederValue).data().toString(), "0402");
    EXPECT_EQ(model->index(0, partcell::Head).data().toString(), "2");
    EXPECT_EQ(model->index(0, partcell::Vision).data().toString(), "Yes");
    EXPECT_TRUE(ThePartListPort().isFeederUsed("E1"));

    // A new job while an editor is open closes it without writing into the new rows.
    panel->OnListClick(JobList::Part, model->index(0, partcell::Name));
    v->Job().SetJob("P", 1, Pcb({Row16("N1")}));
    Settle();
    EXPECT_FALSE(panel->InPlaceCombo(InPlaceCombo::Names)->isVisible());
    EXPECT_EQ(model->index(0, partcell::Name).data().toString(), "");
    EXPECT_EQ(model->index(0, partcell::Feeder).data().toString(), "N1");

    // The place flag toggles without an editor; a header click sorts by that column.
    panel->OnListClick(JobList::Part, model->index(0, partcell::Place));
    Settle();
    EXPECT_EQ(model->index(0, partcell::Place).data().toString(), "No");
    v->Job().SetJob("P", 1, Pcb({Row16("W1"), Row16("E2"), Row16("S3")}));
    panel->PlacementList()->horizontalHeader()->sectionClicked(partcell::Feeder);
    Settle();
    EXPECT_EQ(ThePartList().m_SortKey.load(), partcell::Feeder);
    EXPECT_EQ(model->index(0, partcell::Feeder).data().toString(), "E2");
    EXPECT_EQ(model->index(2, partcell::Feeder).data().toString(), "W1");
}

TEST_F(PartListShell, MenusGreyByMachineTypeAndState) {
    auto enabled = [](QMenu* m, const char* name) {
        for (QAction* a : m->findChildren<QAction*>())
            if (a->objectName() == name) return a->isEnabled();
        for (QMenu* sub : m->findChildren<QMenu*>())
            if (sub->objectName() == name) return sub->menuAction()->isEnabled();
        ADD_FAILURE() << name;
        return false;
    };
    QMenu* m = panel->BuildContextMenu(JobList::Part);
    EXPECT_TRUE(enabled(m, "PartCopy"));
    EXPECT_FALSE(enabled(m, "PartPaste"));  // nothing copied
    EXPECT_FALSE(enabled(m, "DoubleGroutXYControl"));
    EXPECT_EQ(enabled(m, "CurrentSmt"), ThePartList().m_RunFromRowEnabled != 0);
    EXPECT_TRUE(ThePartList().m_RunFromRowEnabled != 0);  // run mode 0 without a strategy
    delete m;
    ThePartList().m_PartCopied = 1;
    ThePartList().m_RunFromRowEnabled = 0;
    g_MachineType = 4;
    m = panel->BuildContextMenu(JobList::Part);
    for (const char* grey : {"PartCopy", "CopyPaste", "SuctionTest", "CameraTest", "CurrentSmt"})
        EXPECT_FALSE(enabled(m, grey)) << grey;
    EXPECT_TRUE(enabled(m, "PartPaste"));
    EXPECT_TRUE(enabled(m, "DoubleGroutXYControl"));
    delete m;
    g_MachineType = 0;
    // The drilling menu keeps its resource captions; its select-all does nothing at all.
    ScriptedResponder boxes;
    m = panel->BuildContextMenu(JobList::Drill);
    QAction* first = m->actions().at(0);
    EXPECT_EQ(m->actions().at(6)->text(), "复制->粘贴");
    first->trigger();
    EXPECT_EQ(boxes.Count(), 0u);
    // Its add opens the drilling editor; cancelled, nothing is added.
    std::string opened;
    v->m_RunModal = [&](QDialog& d) {
        opened = d.objectName().toStdString();
        return 0;
    };
    m->actions().at(1)->trigger();
    EXPECT_EQ(opened, "CDialogPartEditDrill");
    EXPECT_EQ(ThePartList().RowCount(JobList::Drill), 0);
    delete m;
}

TEST_F(EnglishType4, CaptionsFollowTheLanguage) {
    QAbstractItemModel* model = panel->PlacementList()->model();
    EXPECT_EQ(model->headerData(9, Qt::Horizontal).toString(), "Feeder");
    EXPECT_EQ(model->headerData(15, Qt::Horizontal).toString(), "---");
    EXPECT_EQ(panel->List(JobList::Drill)->model()->headerData(4, Qt::Horizontal).toString(), "钻孔深");
    EXPECT_EQ(CurrentLinkTexts().resetFirst, "Please reset the machine first !");
    EXPECT_EQ(panel->Static(1083)->text(), "Progress");
    app.Frame()->Action(cmd::Chinese)->trigger();
    EXPECT_EQ(model->headerData(9, Qt::Horizontal).toString(), "料架编号");
    EXPECT_EQ(CurrentLinkTexts().resetFirst, "请先按总复位机器 !");
    // The nine feeder-kind words of each language are distinct.
    for (int lang = 0; lang < 3; ++lang) {
        std::set<std::string> words(g_FeedModeNames.begin() + lang * 9, g_FeedModeNames.begin() + lang * 9 + 9);
        EXPECT_EQ(words.size(), 9u) << lang;
    }
    EXPECT_EQ(g_FeedModeNames[9 + 3], "Tray");
}

// A language switch relabels the board's statics and the status bar's file caption
// at once, without loading the job again; a shown file name stays as it is.
TEST_F(PartListShell, BoardLabelsAndFileCaptionFollowTheLanguageAtOnce) {
    v->Job().SetJob("BRD1", 1, {"BRD1\t\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t2\t", Row16("E1"), Row16("E2")});
    Settle();
    struct Step {
        int language;
        const char* position;
        const char* count;
        const char* file;
    };
    const Step steps[] = {
        {cmd::Chinese, "BRD1拼板：第 1 行第 1 列", "数量：0 × 2", "文件路径"},
        {cmd::English, "BRD1Array：Row 1 Col 1 ", "Count:0 × 2", "File Path"},
        {cmd::German, "BRD1", "Anzahl:0 × 2", "Dateipfad"},
        {cmd::Chinese, "BRD1拼板：第 1 行第 1 列", "数量：0 × 2", "文件路径"},
    };
    for (const Step& step : steps) {
        app.Frame()->Action(step.language)->trigger();
        Settle();
        EXPECT_EQ(panel->Static(1103)->text().toStdString(), step.position);
        EXPECT_EQ(panel->Static(1104)->text().toStdString(), step.count);
        EXPECT_EQ(app.Frame()->StatusPathText().toStdString(), step.file);
    }
    // Once a file is named there, the caption no longer replaces it.
    const std::string path = app.Dir().File("job.smt");
    ScriptedResponder boxes;
    app.Frame()->m_AskSavePath = [&](const std::string&) { return path; };
    app.Frame()->OnCommand(cmd::FileSaveAs);
    EXPECT_EQ(app.Frame()->StatusPathText().toStdString(), path);
    app.Frame()->Action(cmd::English)->trigger();
    EXPECT_EQ(app.Frame()->StatusPathText().toStdString(), path);
}

// Every column of the placement and dispensing lists shows its whole caption in
// each language, and the placement list its whole values (a rotated board's
// coordinates carry four decimals and a sign).
TEST_F(PartListShell, ColumnsShowWholeCaptionsAndValuesInEveryLanguage) {
    Lines cells(16);
    cells[0] = "1", cells[1] = "-38.1935", cells[2] = "-127.0412", cells[3] = "-270.0000";
    cells[4] = "C1234", cells[7] = "1/Yes", cells[9] = "E1", cells[10] = "0/No";
    v->Job().SetJob("P", 1, Pcb({JoinRow(cells), Row16("E2")}));
    app.Frame()->resize(1280, 760);
    app.Frame()->show();
    panel->show();
    std::string faults;
    for (int language : {cmd::Chinese, cmd::English, cmd::German}) {
        app.Frame()->Action(language)->trigger();
        for (int i = 0; i < 4; ++i) Settle();
        for (JobList list : {JobList::Part, JobList::Dis}) {
            QTableView* view = panel->List(list);
            for (int c = 0; c < view->model()->columnCount(); ++c) {
                const std::string where = std::to_string(language) + "/" + std::to_string(int(list)) + "/" +
                                          view->model()->headerData(c, Qt::Horizontal).toString().toStdString();
                if (view->columnWidth(c) < view->horizontalHeader()->sectionSizeHint(c)) faults += where + " caption\n";
                if (list == JobList::Part &&
                    view->columnWidth(c) < static_cast<QAbstractItemView*>(view)->sizeHintForColumn(c))
                    faults += where + " values\n";
            }
        }
    }
    EXPECT_EQ(faults, "");
}

TEST_F(PartListShell, RunIconCallsFromAnotherThreadWhileTheViewPaints) {
    Lines rows;
    for (int i = 0; i < 300; ++i) rows.push_back(Row16("E1"));
    v->Job().SetJob("P", 1, Pcb(rows));
    panel->show();
    Settle();
    std::atomic<bool> done{false};
    std::thread run([&] {
        PartListStore& s = ThePartList();
        s.ResetPartRowIcons();
        for (int i = 0; i < 300; ++i) {
            s.SetPartRowIcon(i, rowicon::Picking, true);
            s.m_CurrentRowNo = i + 1;
            s.SetPartRowIcon(i, i % 7 ? rowicon::Done : rowicon::Failed, false);
        }
        done = true;
    });
    while (!done) {
        panel->PlacementList()->viewport()->repaint();
        Settle();
    }
    run.join();
    Settle();
    QAbstractItemModel* model = panel->PlacementList()->model();
    EXPECT_EQ(model->index(7, 0).data(Qt::DecorationRole).isNull(), false);
    EXPECT_EQ(ThePartList().Row(JobList::Part, 7)->Icon(0), rowicon::Failed);
    EXPECT_EQ(ThePartList().Row(JobList::Part, 8)->Icon(0), rowicon::Done);
    EXPECT_TRUE(panel->PlacementList()->selectionModel()->selectedRows().isEmpty());
    EXPECT_EQ(panel->PlacementList()->currentIndex().row(), 299);

    // While only selected rows run, a reset keeps the operator's selection in the view.
    panel->PlacementList()->selectRow(5);
    ThePartList().m_RunSelectedOnly[0] = 1;
    ThePartList().ResetPartRowIcons();
    ThePartList().SetPartRowIcon(6, rowicon::Picking, true);
    Settle();
    const auto selected = panel->PlacementList()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0].row(), 5);
    ThePartList().m_RunSelectedOnly[0] = 0;
}
