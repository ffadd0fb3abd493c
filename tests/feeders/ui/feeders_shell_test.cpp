// The feeder groups in the running program: read when the feeder list panel is
// created, written back by the full save.
#include <filesystem>

#include "../../app/ui/shell_fixture.h"
#include "base/tablefile.h"
#include "feeders/feed_group_table.h"
#include "feeders/ui/dialog_feed_group.h"
#include "feeders/ui/dialog_feed_list.h"
#include "app/menus.h"

#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>

using namespace smt;
using namespace smt::test;
using Lines = std::vector<std::string>;

namespace {

Lines FeedFile(const std::string& path) {
    Lines rows;
    EXPECT_TRUE(DecodeTableFile(ReadBytes(path), rows, nullptr));
    return rows;
}

} // namespace

TEST(FeedGroupsInTheShell, ReadWithTheFeederListAndWrittenByTheFullSave) {
    ShellApp app;
    WriteBytes(app.Dir().File("config_feed.fig"), EncodeTableFile({"1\tA\t", "A\tfirst\t0\t", "extra\t"}, nullptr));
    ASSERT_TRUE(app.Start());
    FeedGroupTable& table = TheFeedGroupTable();
    EXPECT_EQ(table.GroupNames(), Lines{"A"});
    EXPECT_EQ(table.OpenGroupName(), "A");
    EXPECT_EQ(table.Capacity(), 11);
    EXPECT_EQ(g_FeedLines, Lines{"extra\t"});  // what the table did not use stays
    ASSERT_EQ(table.AddFeedGroup("B", "second"), 1);

    ScriptedResponder boxes;
    boxes.Push(plat::MsgAnswer::Yes);  // save the job on closing: the full save
    app.View()->Job().SetJob("P", 1, {"row\t"});
    app.Frame()->m_AskSavePath = [&](const std::string&) { return app.Dir().File("job.smt"); };
    ASSERT_TRUE(app.Frame()->close());
    const Lines expected{"2\tA\t", "A\tfirst\t0\t", "B\tsecond\t0\t"};
    EXPECT_EQ(FeedFile(app.Dir().File("config_feed.fig")), expected);
    EXPECT_EQ(FeedFile(app.Dir().File("ConfigBackup/config_feed.fig")), expected);
}

// The shipped file holds the simulated machine's feeders: one group, open, and no box.
TEST(FeedGroupsInTheShell, ShippedFileOpensItsOneGroupAndNoBox) {
    ShellApp app;
    ScriptedResponder boxes;
    ASSERT_TRUE(app.Start());
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_TRUE(TheFeedGroupTable().WasRead());
    EXPECT_EQ(TheFeedGroupTable().Capacity(), 1 + 10);
    EXPECT_EQ(TheFeedGroupTable().OpenGroupName(), "DEMO");
    EXPECT_EQ(app.View()->m_pFeedList->Model()->rowCount(), 3);
}

TEST(FeedGroupsInTheShell, PanelShowsSortsSwitchesLanguageAndTheManagerOpensAndRenames) {
    ShellApp app;
    Lines lines{"2\tA\t", "A\t\t2\t", "E2\t", "E1\t", "0\t0\t0\t0\t0\t0\t", "0\t0\t0\t0\t0\t0\t",
                "B\t\t1\t", "G1\t", "0\t0\t0\t0\t0\t0\t"};
    WriteBytes(app.Dir().File("config_feed.fig"), EncodeTableFile(lines, nullptr));
    ASSERT_TRUE(app.Start());
    CDialogFeedList* panel = app.View()->m_pFeedList;
    ASSERT_TRUE(panel);
    FeedListModel* model = panel->Model();
    auto cell = [&](int r, int c) { return model->data(model->index(r, c), Qt::DisplayRole).toString().toStdString(); };
    auto header = [&](int c) { return model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().toStdString(); };
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_EQ(header(16), "送料延时");  // the captions replaced the first header texts
    EXPECT_EQ(panel->GroupNameField()->text().toStdString(), "A");
    GetShellServices().sortFeedList();
    EXPECT_EQ(cell(0, 0) + cell(1, 0), "E1E2");
    app.Frame()->Action(cmd::English)->trigger();
    EXPECT_EQ(header(0), "ID");
    // The context menu: its submenus at positions 7, 13 and 14, greyed without a row.
    auto menu = panel->BuildContextMenu(0);
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 17);
    EXPECT_TRUE(actions[7]->menu() && actions[13]->menu() && actions[14]->menu());
    EXPECT_EQ(actions[0]->text().toStdString(), "Add feeder");
    EXPECT_TRUE(actions[1]->isEnabled());
    EXPECT_FALSE(actions[4]->isEnabled());  // nothing copied

    // The manager from the settings menu: rename the open group, then open B.
    ScriptedResponder boxes;
    app.View()->m_RunModal = [&](QDialog& d) {
        auto* g = qobject_cast<CDialogFeedGroup*>(&d);
        EXPECT_TRUE(g && !g->Expanded());
        g->OnRowClicked(0);
        g->NameField()->setText("A2");
        g->OnRename();
        EXPECT_EQ(panel->GroupNameField()->text().toStdString(), "A2");
        g->OnRowClicked(1);
        g->OnOpen();
        return 0;
    };
    app.Frame()->Action(cmd::FeedGroup)->trigger();
    EXPECT_EQ(TheFeedGroupTable().GroupNames(), (Lines{"A2", "B"}));
    EXPECT_EQ(panel->GroupNameField()->text().toStdString(), "B");
    EXPECT_EQ(model->rowCount(), 1);
    EXPECT_EQ(cell(0, 0), "G1");
    EXPECT_EQ(boxes.Count(), 0u);

    boxes.Push(plat::MsgAnswer::Yes);  // the full save on closing writes the open group's name
    app.View()->Job().SetJob("P", 1, {"row\t"});
    app.Frame()->m_AskSavePath = [&](const std::string&) { return app.Dir().File("job.smt"); };
    ASSERT_TRUE(app.Frame()->close());
    EXPECT_EQ(FeedFile(app.Dir().File("config_feed.fig")).at(0), "2\tB\t");
}
