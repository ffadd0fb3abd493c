// The feeder groups in the running program: read when the feeder list panel is
// created, written back by the full save.
#include <filesystem>

#include "../../app/ui/shell_fixture.h"
#include "base/tablefile.h"
#include "feeders/feed_group_table.h"

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

TEST(FeedGroupsInTheShell, ShippedFileStartsWithAnEmptyTableAndNoBox) {
    ShellApp app;
    ScriptedResponder boxes;
    ASSERT_TRUE(app.Start());
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_TRUE(TheFeedGroupTable().WasRead());
    EXPECT_EQ(TheFeedGroupTable().Capacity(), 10);
}
