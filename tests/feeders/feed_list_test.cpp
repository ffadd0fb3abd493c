// The feeder list panel's logic and the feeder-group manager, without widgets.
#include <gtest/gtest.h>

#include <tuple>

#include "feeders/feed_group_manager.h"
#include "feeders/feed_list.h"
#include "feeders/part_list_port.h"
#include "feeders_fixture.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "settings/basic_settings.h"
#include "machine_ops/basic_teach.h"
#include "test_support.h"

using namespace smt;
using namespace smt::test;
using Texts = std::vector<std::string>;

namespace {

// A loaded table with group A (E1, E2, G3) open and group B, shown in the list.
struct ListFixture {
    FeedGroupTable table;
    FeedList list{table};
    std::vector<FeedOperationRequest> started;
    ListFixture() {
        FillFeederWords();
        ReadTable(table, TableLines("A", {{"A", {"E1", "E2", "G3"}}, {"B", {"E7"}}}));
        list.ShowOpenGroup();
        TheFeedOperationPort().startRequest = [this](FeedOperationRequest r, BusyClaim) { started.push_back(r); };
        g_Connected = true, g_Homed = true, g_Running = false;
    }
    ~ListFixture() {
        TheFeedOperationPort().startRequest = nullptr;
        g_Connected = false, g_Homed = false, g_Running = false;
        for (auto& z : g_PulseZ) z = 0;
    }
    std::string Ids() const {
        std::string s;
        for (const auto& r : list.rows) s += (s.empty() ? "" : " ") + r.text[0];
        return s;
    }
};

} // namespace

TEST(FeedList, CompareFeedRowsOrdersBanksNumbersAndCodeUnits) {
    struct Case { const char* a; const char* b; int column; int sign; };
    const Case cases[] = {
        {"E9", "S1", 0, -1}, {"S9", "W1", 0, -1}, {"W9", "N1", 0, -1}, {"N9", "G1", 0, -1},
        {"12", "E13", 0, -1},  // no letter sorts as E
        {"E2", "E10", 0, -1}, {"E10", "E10", 0, 0},
        {"10.5", "9", 4, 1}, {"abc", "0", 4, 0},
        {"b", "a", 1, 1}, {"Z", "a", 14, -1},
        // Beyond U+FFFF the UTF-16 order differs from the UTF-8 byte order.
        {"\xF0\x9F\x98\x80", "\xEF\xBD\x9E", 2, -1}, {"\xF0\x9F\x98\x80", "\xEF\xBD\x9E", 21, -1},
    };
    for (const Case& c : cases) {
        const int r = FeedList::CompareFeedRows(c.a, c.b, c.column);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " / " << c.b << " column " << c.column;
    }
    // 1,000 equal identifiers: a strict order, and the sort keeps them in place.
    ListFixture f;
    f.list.rows.clear();
    for (int i = 0; i < 1000; ++i) {
        FeedListEntry e;
        e.text[0] = "E5";
        e.text[1] = std::to_string(i);
        f.list.rows.push_back(e);
    }
    f.list.sortColumn = 0;
    f.list.SortFeedList();
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(f.list.rows[static_cast<std::size_t>(i)].text[1], std::to_string(i));
}

TEST(FeedList, MenuGreyingByMachineTypeAndSelection) {
    ListFixture f;
    using namespace feedmenu;
    auto count = [](const std::set<int>& g, const std::array<int, 8>& ids) {
        int n = 0;
        for (int id : ids) n += static_cast<int>(g.count(id));
        return n;
    };
    // nozzles greyed, heads greyed (camera 1), camera to feeder, camera to hole, towbar
    struct Row { int nozzles, heads; bool camera, hole, towbar; };
    const Row rows[10] = {{6, 7, false, false, false}, {6, 7, false, true, false}, {6, 6, false, true, false},
                          {4, 4, false, true, false},  {4, 8, true, true, true},   {6, 6, false, true, false},
                          {4, 4, false, true, false},  {0, 0, false, true, true},  {0, 0, false, false, false},
                          {0, 0, false, false, false}};
    for (int type = 0; type < 10; ++type) {
        SCOPED_TRACE(type);
        f.list.selected = 1;
        f.list.copied = true;
        std::set<int> g = f.list.GreyedEntries(type);
        const Row& r = rows[type];
        EXPECT_EQ(count(g, Nozzle), r.nozzles);
        EXPECT_EQ(count(g, Camera1), r.heads);
        EXPECT_EQ(count(g, Camera2), r.heads);
        EXPECT_EQ(std::tuple(g.count(CameraToFeeder), g.count(CameraToHole), g.count(Towbar)),
                  std::tuple(std::size_t(r.camera), std::size_t(r.hole), std::size_t(r.towbar)));
        EXPECT_FALSE(g.count(Edit) || g.count(Paste) || g.count(FeedTest) || g.count(Add) || g.count(Measure));
        f.list.selected = -1;
        f.list.copied = false;
        g = f.list.GreyedEntries(type);
        for (int id : {Edit, Delete, Copy, Paste, Nozzle[0], Nozzle[1], CameraToFeeder, Towbar, FeedTest})
            EXPECT_TRUE(g.count(id)) << id;
        EXPECT_FALSE(g.count(Add) || g.count(Measure) || g.count(ImageFeature));
    }
}

TEST(FeedList, EntryGuardsInOrderThenTheClaimGoesToTheWorker) {
    ListFixture f;
    ScriptedResponder boxes;
    struct Case { bool connected, homed, running, zDown; int selected; int id; const char* box; };
    const Case cases[] = {
        {false, false, false, false, 0, feedmenu::Measure, "Machine is not connection !"},
        {true, false, false, false, 0, feedmenu::Nozzle[0], "Machine is not reset !"},
        {true, true, true, false, 0, feedmenu::FeedTest, "Machine is runnig !"},
        {true, true, false, true, 0, feedmenu::Measure, "Error E3 !"},
        {true, true, false, true, -1, feedmenu::Nozzle[1], "请选择要测试的行 !"},  // no E3 but for code 0
        {true, true, false, false, -1, feedmenu::Measure, "请选择要测试的行 !"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        boxes.Clear();
        g_Connected = c.connected, g_Homed = c.homed, g_Running = c.running;
        g_PulseZ[3] = c.zDown ? -5 : 0;
        f.list.selected = c.selected;
        EXPECT_FALSE(f.list.StartEntry(c.id));
        EXPECT_EQ(boxes.Texts(), Texts{c.box});
        EXPECT_EQ(g_Running.load(), c.running);  // a refused claim is released
    }
    EXPECT_TRUE(f.started.empty());
    g_PulseZ[3] = 0, g_Running = false;
    f.list.selected = 2;
    ASSERT_TRUE(f.list.StartEntry(feedmenu::Camera2[1]));
    ASSERT_TRUE(f.list.StartEntry(feedmenu::Measure));
    ASSERT_EQ(f.started.size(), 2u);
    EXPECT_EQ(std::make_tuple(f.started[0].code, f.started[0].row[0], f.started[1].code, f.started[1].measuringId),
              std::make_tuple(22, std::string("G3"), 0, std::string("G3")));
}

TEST(FeedList, PasteNumbersByBankAndKeepsListAndGroupAligned) {
    ListFixture f;
    f.list.rows[1].icon13 = feedicon::FlyingYes;  // E2's flags as the list shows them
    f.list.selected = 1;
    ASSERT_TRUE(f.list.Copy());
    f.list.rows.push_back(f.list.rows[0]);
    f.list.rows.back().text[0] = "E12";  // only listed numbers count
    f.list.selected = 1;
    ASSERT_TRUE(f.list.Paste());
    EXPECT_EQ(f.Ids(), "E1 E13 E2 G3 E12");
    EXPECT_EQ(Ids(f.table, "A"), "E1 E13 E2 G3");
    const FeedListEntry& pasted = f.list.rows[1];
    EXPECT_EQ(std::vector<int>({pasted.icon12, pasted.icon13, pasted.icon23}),
              std::vector<int>({feedicon::CameraYes, feedicon::FlyingYes, feedicon::PastedSpeedYes}));
    EXPECT_EQ(pasted.text[5], "c5");
    EXPECT_EQ(f.list.selected, 2);  // the selected row moved down
}

TEST(FeedList, RefusalsWhileBusyOrWithoutAnOpenGroupAndTheMeasuredRowFollowsItsFeeder) {
    ListFixture f;
    ScriptedResponder boxes(plat::MsgAnswer::Yes);
    f.list.selected = 0;
    f.list.Copy();
    g_Running = true;
    EXPECT_FALSE(f.list.Paste());
    EXPECT_FALSE(f.list.Delete());
    EXPECT_FALSE(f.list.Add([](const FeedListItem& r) { return r; }));
    g_Running = false;
    f.table.SetOpenGroupName("");
    EXPECT_FALSE(f.list.Paste());
    EXPECT_FALSE(f.list.Add([](const FeedListItem& r) { return r; }));
    EXPECT_EQ(boxes.Texts(), (Texts{"设备正在自动工作，不能操作料架 !", "设备正在自动工作，不能操作料架 !",
                                    "设备正在自动工作，不能操作料架 !", "没有找到料架组 !", "没有找到料架组 !"}));
    EXPECT_EQ(f.Ids(), "E1 E2 G3");
    f.table.SetOpenGroupName("A");

    // The measurement hands over the feeder; a re-sort meanwhile moves the rows.
    f.list.selected = 0;
    ASSERT_TRUE(f.list.StartEntry(feedmenu::Measure));
    f.list.sortColumn = 4;
    for (auto& r : f.list.rows) r.text[4] = r.text[0] == "E1" ? "9" : "1";
    f.list.SortFeedList();
    ASSERT_TRUE(f.list.StorePickHeight(f.started.back().measuringId, "-3.2500"));
    EXPECT_EQ(f.list.rows[2].text[0] + f.list.rows[2].text[22], "E1-3.2500");
    EXPECT_EQ((*f.table.CopyFeedRow(0, "E1"))[22], "-3.2500");
    EXPECT_EQ((*f.table.CopyFeedRow(0, "E2"))[22], "c22");
}

TEST(FeedList, FeedTestPackageUpdateShiftAndLanguage) {
    ListFixture f;
    f.list.selected = 0;
    for (const char* q : {"5", "0", "abc"}) {
        f.list.rows[0].text[26] = q;
        f.table.SetFeederCell(0, "E1", 26, q);
        ASSERT_TRUE(f.list.StartEntry(feedmenu::FeedTest));
        const std::string expected = std::string(q) == "5" ? "4" : q;
        EXPECT_EQ(f.list.rows[0].text[26] + (*f.table.CopyFeedRow(0, "E1"))[26], expected + expected);
    }
    EXPECT_EQ(f.started.size(), 3u);

    Texts updated;
    ThePartListPort().updateRowsForFeeder = [&](const std::string& id, const std::string&, int vision,
                                                const std::string&, const std::string& nozzle) {
        updated.push_back(id + "/" + std::to_string(vision) + "/" + nozzle);
    };
    f.list.rows[1].text[2] = "0603";
    PackageFeederValues v;
    v.package = "0603", v.length = 1.6, v.nozzle = "2", v.visionChoice = 2, v.contrast = 30, v.brightness = 40;
    v.feedCountOn = true, v.feedCount = 3, v.pickHeight = -1.5;  // pick height not flagged
    ASSERT_TRUE(f.list.UpdateFeedersFromPackage(v));
    ThePartListPort().updateRowsForFeeder = nullptr;
    const FeedRow e2 = *f.table.CopyFeedRow(0, "E2");
    EXPECT_EQ(Texts({e2[6], e2[10], e2[12], e2[13], e2[18], e2[19], e2[22]}),
              Texts({"1.60", "2", "No/", "Yes/30/40", "3", "c19", "c22"}));
    EXPECT_EQ(updated, Texts{"E2/2/2"});
    EXPECT_EQ((*f.table.CopyFeedRow(0, "E1"))[6], "c6");

    f.list.rows[0].text[4] = "1.5";
    f.table.SetFeederCell(0, "E1", 4, "1.5");
    ASSERT_TRUE(f.list.ShiftFeedCoordinates(0.25, -1));
    EXPECT_EQ(f.list.rows[0].text[4] + (*f.table.CopyFeedRow(0, "E1"))[4], "1.75001.7500");

    g_LanguageIndex = 1;
    f.list.LoadLanguage("/nonexistent", "English");
    g_LanguageIndex = 0;
    EXPECT_EQ(f.list.rows[2].text[14] + "|" + f.list.rows[2].text[23], "Tray|Picking speed");
    EXPECT_EQ((*f.table.CopyFeedRow(0, "G3"))[23], "Yes/Picking speed");
    EXPECT_EQ((*f.table.CopyFeedRow(0, "G3"))[14], "Tray");
}

TEST(FeedGroupManager, CapacityExactNamesRenameDeleteAndOpen) {
    FillFeederWords();
    FeedGroupTable table;
    ReadTable(table, TableLines("A", {{"A", {"E1"}}, {"b", {}}}));
    FeedGroupManager m(table);
    ScriptedResponder boxes;
    m.Initialise();
    // Two loaded groups: room for 12 until the restart, one more after a delete.
    for (int i = 0; i < 10; ++i) {
        m.nameField = "G" + std::to_string(i);
        ASSERT_TRUE(m.Add());
    }
    m.nameField = "more";
    EXPECT_FALSE(m.Add());
    m.ClickRow(2);
    EXPECT_TRUE(m.Delete());
    m.nameField = "B";  // "b" exists: names compare exactly
    EXPECT_TRUE(m.Add());
    m.nameField = "B";
    m.ClickRow(0);
    m.nameField = "b";
    EXPECT_FALSE(m.Copy());  // capacity first
    m.ClickRow(0);
    EXPECT_FALSE(m.Delete());  // the open group
    m.ClickRow(0);
    m.descriptionField = "new text";
    bool open = false;
    EXPECT_TRUE(m.Rename(&open));  // its own name: the description changes
    EXPECT_TRUE(open);
    EXPECT_EQ(table.CopyGroup(0)->description, "new text");
    m.ClickRow(1);
    m.nameField = "A";
    EXPECT_FALSE(m.Rename());
    EXPECT_EQ(boxes.Texts(), (Texts{"你增加的料架组过多，请保存文件后关闭软件，重新打开软件可以再增加10个料架组 !",
                                    "你增加的料架组过多，请保存文件后关闭软件，重新打开软件可以再增加10个料架组 !",
                                    "不能删除正在使用的料架组 !", "料架组已经存在 !"}));
    EXPECT_EQ(m.focus, FeedGroupManager::Focus::NameSelected);
    m.selected = -1;
    EXPECT_FALSE(m.Open());
    m.ClickRow(1);
    EXPECT_TRUE(m.Open());
    EXPECT_EQ(table.OpenGroupName(), "b");
    EXPECT_EQ(m.rows.size(), 12u);
}

TEST(FeedList, EditFindsTheFeederByIdAndWarnsOnceBeforeTheCameraMove) {
    ListFixture f;
    ScriptedResponder boxes;
    int editorRuns = 0;
    auto editor = [&](const FeedListItem& row) {
        ++editorRuns;
        FeedListItem out = row;
        out.text[3] = "22K";
        out.icon13 = feedicon::FlyingYes;
        return std::optional<FeedListItem>(out);
    };
    f.list.rows[0].text[0] = "E9";  // no longer in the group
    f.list.selected = 0;
    EXPECT_FALSE(f.list.Edit(editor, false));
    EXPECT_EQ(boxes.Texts(), Texts{"没找到对应的料架编号，请删除此料架重新创建 !"});
    EXPECT_EQ(editorRuns, 0);

    boxes.Clear();
    TheBasicSettings().m_bCameraTrackModify = 1;
    f.list.selected = 1;
    f.list.copied = true;
    ASSERT_TRUE(f.list.Edit(editor, false));
    f.list.selected = 1;
    ASSERT_TRUE(f.list.Edit(editor, false));
    TheBasicSettings().m_bCameraTrackModify = 0;
    EXPECT_EQ(boxes.Texts(), Texts{kCameraTrackWarningText});  // once for the edit entry
    EXPECT_EQ(f.started.size(), 2u);
    EXPECT_EQ(f.started[0].code, 9);
    EXPECT_FALSE(f.list.copied);
    const FeedRow e2 = *f.table.CopyFeedRow(0, "E2");
    EXPECT_EQ(e2[3] + e2[13], "22KYes/10/20");
    EXPECT_EQ(std::tuple(f.list.editGroupIndex, f.list.editFeederIndex), std::tuple(0, 1));
}
