// The automatic nozzle change against the simulated nozzle library: the commands
// of each half, the Z axis and sign per head, the refusals, two heads that need
// each other's nozzles, and the program's books against the machine's ledger.
#include "nozzle_library_fixture.h"

#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/feed_group_file.h"
#include "feeders/feed_group_table.h"
#include "joblist/part_list_texts.h"

namespace smt::test {
namespace {

class NozzleChange : public NozzleLibrarySimTest {
protected:
    // Holders 1 and 2 at (250, -50) and (280, -50) mm, entries 10 mm right; the heads
    // 30 mm apart.
    void Prepare(int type, bool nineteen, bool sideEntry = false) {
        StartHeads(type, 30.0);
        SpeedTypeTable t;
        for (int d = 0; d < 16; ++d) t.SetPair(d, {20, 100});
        TheSpeedTemplates().SetTable(SpeedType::AutoNozzle, t);
        SmtStrategyConfig c;
        c.m_19NozzleLibrary = nineteen ? 1 : 0;
        TheSmtStrategy().SetConfig(c);
        TheNozzleLibrary().m_Config = {sideEntry ? 1 : 0, 20, 0};
        ResetNozzleStates();
        for (int i = 0; i < 2; ++i) g_NozzleTable[static_cast<std::size_t>(i)] = {1, 25000 + 3000 * i, -4000, 0, 26000 + 3000 * i, -4000, 0, heights, 40, {}};
        sim::NozzleHolder h0{25000, -4000, 26000, -4000, heights, true};
        sim::NozzleHolder h1{28000, -4000, 29000, -4000, heights, true};
        machine().SetNozzleLibrary({h0, h1}, nineteen);
        machine().SetHeadOffsets(headOffsets);
        g_RunContinue = true;
        g_hRunPauseGate.Set();
    }

    // The commands the machine took: "64" moves, "61:axis:delta" strokes, "03:value".
    std::string Sequence() {
        std::string s;
        for (const auto& f : machine().Frames()) {
            char text[40];
            if (f.code == 0x61) {
                sim::FieldReader r(f.data);
                const int axis = r.U8();
                std::snprintf(text, sizeof text, "61:%X:%d", axis, r.Sm32());
            } else if (f.code == 0x03) {
                std::snprintf(text, sizeof text, "03:%d", f.data.size() > 1 ? f.data[1] : -1);
            } else {
                std::snprintf(text, sizeof text, "%02X", f.code);
            }
            s += (s.empty() ? "" : " ") + std::string(text);
        }
        return s;
    }
    // A command without a reply (the output) may still be on its way to the machine.
    void ExpectSequence(const std::string& expected) {
        WaitUntil([&] { return Sequence() == expected; }, std::chrono::seconds(2));
        EXPECT_EQ(Sequence(), expected);
    }
};

TEST_F(NozzleChange, LoadThenUnloadByTypeHeadAndLibrary) {
    struct Case { int type, head; bool nineteen, side; const char *load, *unload; } cases[] = {
        {0, 1, false, false, "64 64 61:2:500 64 61:2:-500", "64 61:2:500 64 61:2:-500 64"},
        {3, 2, false, false, "64 64 61:2:-550 64 61:2:550", "64 61:2:-550 64 61:2:550 64"},
        {3, 3, false, false, "64 64 61:3:600 64 61:3:-600", "64 61:3:600 64 61:3:-600 64"},
        {3, 4, false, true, "64 64 61:3:-650 64 61:3:650 64", "64 64 61:3:-650 64 61:3:650 64"},
        {7, 5, false, false, "64 64 61:24:-700 64 61:24:700", "64 61:24:-700 64 61:24:700 64"},
        {0, 1, true, false, "64 03:5 61:2:500 61:2:-500 03:5", "03:5 64 61:2:500 03:5 61:2:-500"},
        // The 19-nozzle library takes the nozzle at the entry: head 2's offsets count there.
        {3, 2, true, false, "64 03:5 61:2:-550 61:2:550 03:5", "03:5 64 61:2:-550 03:5 61:2:550"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " head " + std::to_string(c.head));
        Prepare(c.type, c.nineteen, c.side);
        machine().ClearRecords();
        ASSERT_TRUE(ChangeNozzle(c.head, 0, 0, c.head, c.head, 1));
        ExpectSequence(c.load);
        EXPECT_EQ(CopyNozzleWork()[static_cast<std::size_t>(c.head - 1)].mountedNozzle, 1);
        EXPECT_EQ(machine().HeadNozzle(c.head), 1);
        ExpectBooksMatchMachine();
        EXPECT_EQ(g_LibraryOut.load(), 0);
        machine().ClearRecords();
        ASSERT_TRUE(ChangeNozzle(c.head, c.head, 1, c.head, c.head, 0));
        ExpectSequence(c.unload);
        EXPECT_EQ(machine().HeadNozzle(c.head), 0);
        ExpectBooksMatchMachine();
        g_LibraryOut = 0;
        TearDown();
        SimTest::SetUp();
    }
}

TEST_F(NozzleChange, RefusalsAndAStopKeepTheBooks) {
    Prepare(3, false);
    ASSERT_TRUE(ChangeNozzle(1, 0, 0, 1, 1, 1));
    struct Case { int ur, uh, un, lr, lh, ln; const char* message; } cases[] = {
        {1, 9, 1, 1, 1, 0, "SMT header error !"},   {1, 1, 0, 1, 0, 1, "SMT header error !"},
        {1, 1, 2, 1, 1, 0, "Library has nozzle !"}, {2, 0, 0, 2, 2, 1, "Library has no nozzle !"},
    };
    for (const auto& c : cases) {
        ScriptedResponder boxes;
        EXPECT_FALSE(ChangeNozzle(c.ur, c.uh, c.un, c.lr, c.lh, c.ln));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.message});
    }
    // Stopped: the first move goes, nothing further, the books as they were.
    g_RunContinue = false;
    machine().ClearRecords();
    EXPECT_FALSE(ChangeNozzle(1, 1, 1, 2, 2, 2));
    EXPECT_EQ(Sequence(), "64");
    EXPECT_EQ(CopyNozzleWork()[0].mountedNozzle, 1);
    ExpectBooksMatchMachine();
    // Stopped mid-change: nozzle 1 goes back, the load of nozzle 2 stops at its first
    // move (beyond the X travel); the books say nozzle 1 is back and head 1 empty.
    g_RunContinue = true;
    SetMoveLimits({27000, -300000, 400000, 300000});
    {
        ScriptedResponder boxes;
        EXPECT_FALSE(ChangeNozzle(1, 1, 1, 1, 1, 2));
    }
    EXPECT_EQ(CopyNozzleWork()[0].mountedNozzle, 0);
    EXPECT_EQ(CopyNozzleTable()[0].inHolder, 1);
    ExpectBooksMatchMachine();
    SetMoveLimits({400000, -300000, 400000, 300000});
}

TEST_F(NozzleChange, TwoHeadsNeedingEachOthersNozzlesPutBothBackThenLoad) {
    Prepare(2, false);
    // Head 1 carries holder 2's nozzle, head 2 holder 1's.
    machine().SetHeadNozzle(1, 2);
    machine().SetHeadNozzle(2, 1);
    auto holders = machine().NozzleHolders();
    for (auto& h : holders) h.holds = false;
    machine().SetNozzleLibrary(holders, false);
    {
        std::lock_guard lock(NozzleStateMutex());
        g_NozzleWork[0].head = 1, g_NozzleWork[0].mountedNozzle = 2;
        g_NozzleWork[1].head = 2, g_NozzleWork[1].mountedNozzle = 1;
        g_NozzleTable[0].inHolder = g_NozzleTable[1].inHolder = 0;
    }
    SmtStrategyConfig c = TheSmtStrategy().Config();
    c.m_HeaderSelect = 1;
    TheSmtStrategy().SetConfig(c);
    g_NozzleSlots[0].row = 0, g_NozzleSlots[0].headTarget = 1, g_NozzleSlots[0].nozzleTarget = 1;
    g_NozzleSlots[1].row = 1, g_NozzleSlots[1].headTarget = 2, g_NozzleSlots[1].nozzleTarget = 2;
    g_LoadedNozzleCount = 2;
    ASSERT_TRUE(CheckNozzleTypes());
    EXPECT_EQ(std::pair(machine().HeadNozzle(1), machine().HeadNozzle(2)), std::pair(1, 2));
    ExpectBooksMatchMachine();
    // All mounted: nothing moves.
    machine().ClearRecords();
    ASSERT_TRUE(CheckNozzleTypes());
    EXPECT_EQ(Sequence(), "");
}

// A used-up tray: the head goes to the refill position, the operator is told, and
// the picks start again at the first pocket.
TEST_F(NozzleChange, UsedUpTrayAsksForARefillAtTheRefillPosition) {
    Prepare(0, false);
    g_LanguageIndex = 0, g_FeedModeNames[3] = "托盘";
    std::string row = "G1";
    for (int k = 1; k < kFeedCells; ++k) row += "\t" + std::string(k == 4 ? "50" : k == 5 ? "-50" : k == 14 ? "托盘" : "");
    const std::string pockets = "Yes/1\tYes/1\tYes/2\tYes/3\tYes/4\t";
    std::vector<std::string> lines{"1\tG\t", "G\td\t1\t", row + "\t", "3\t5\t0\t0\t2.0000\t3.0000\t", pockets, pockets, pockets};
    TheFeedGroupTable().DestroyFeedGroupTable();
    ReadFeedGroupTable(TheFeedGroupTable(), lines);
    g_NozzleSlots = {};
    ASSERT_TRUE(FindFeederForPart(0, "G1", 1));
    // A 3 x 5 tray: four pockets per row, twelve picks, then used up.
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(BuildPlacementRecord(0, 1));
        EXPECT_EQ(std::pair(g_NozzleWork[0].pickX, g_NozzleWork[0].pickY), std::pair(50 + 3.0 * (i % 4), -50 + 2.0 * (i / 4))) << i;
    }
    EXPECT_EQ(TheFeedGroupTable().CopyTray(0, "G1")->currentRow, -1);
    EXPECT_EQ(machine().Positions().x, 0);
    ScriptedResponder boxes;
    ASSERT_TRUE(BuildPlacementRecord(0, 1));
    EXPECT_EQ(std::pair(machine().Positions().x, machine().Positions().y), std::pair(1000, -1000));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{PartListText("Message_19")});
    EXPECT_EQ(std::pair(g_NozzleWork[0].pickX, g_NozzleWork[0].pickY), std::pair(50.0, -50.0)) << "the first pocket again";
    EXPECT_EQ(TheFeedGroupTable().CopyTray(0, "G1")->currentColumn, 1);
    TheFeedGroupTable().DestroyFeedGroupTable();
    g_NozzleWork = {};
}

// The first change each rule of every machine type and head mode asks for, traced
// before any move (the move itself is refused without travel limits). Slot k and
// record k belong to head k; `m2After` is head 2's nozzle afterwards (-1: as given).
TEST(NozzleChangeRules, FirstChangeOfEveryRule) {
    using Eight = std::array<int, 8>;
    struct Case { int type, mode, keep, loaded; Eight s, m; std::array<int, 6> change; int m2After = -1; } cases[] = {
        // One nozzle per head, the put-back step only from head mode 1 on.
        {2, 0, 0, 2, {3, 5}, {0, 3}, {2, 2, 3, 2, 2, 0}},   {2, 0, 0, 2, {3, 5}, {4, 5}, {1, 1, 4, 1, 1, 3}},
        {0, 0, 0, 2, {3, 5}, {3, 0}, {2, 2, 0, 2, 2, 5}},   {5, 0, 0, 2, {3, 5}, {3, 5}, {}},
        {5, 1, 0, 2, {3, 5}, {3, 4}, {2, 2, 4, 2, 2, 0}},   {7, 1, 0, 2, {3, 5}, {4, 5}, {1, 1, 4, 1, 1, 0}},
        {3, 2, 0, 1, {3}, {0}, {1, 1, 0, 1, 1, 3}},         {3, 0, 0, 1, {3}, {4}, {1, 1, 4, 1, 1, 3}},
        {7, 0, 0, 1, {3}, {3}, {}},                         {1, 1, 0, 2, {3, 5}, {0, 0}, {}},
        {4, 0, 0, 1, {3}, {0}, {}},
        // Head mode 2, one head keeping its nozzle.
        {2, 2, 1, 1, {1}, {3}, {}, 3},                      {2, 2, 1, 1, {4}, {3}, {1, 2, 3, 1, 2, 4}},
        {2, 2, 1, 1, {4}, {0, 3}, {2, 2, 3, 1, 2, 4}},      {2, 2, 1, 1, {4}, {0}, {1, 2, 0, 1, 2, 4}},
        {2, 2, 1, 2, {1, 5}, {3}, {1, 2, 3, 2, 2, 5}},      {2, 2, 1, 2, {1, 5}, {0, 3}, {2, 2, 3, 2, 2, 5}},
        {2, 2, 1, 2, {1, 5}, {0}, {2, 2, 0, 2, 2, 5}},      {2, 2, 2, 1, {2}, {3}, {}, 3},
        {2, 2, 2, 1, {4}, {3}, {1, 1, 3, 1, 1, 4}},         {2, 2, 2, 1, {4}, {2, 2}, {1, 1, 0, 1, 1, 4}},
        {2, 2, 2, 1, {4}, {2, 3}, {2, 1, 3, 1, 1, 4}},      {2, 2, 2, 2, {2, 5}, {3}, {1, 1, 3, 2, 1, 5}},
        {2, 2, 2, 2, {2, 5}, {2, 2}, {2, 1, 0, 2, 1, 5}},   {2, 2, 2, 2, {2, 5}, {2, 3}, {2, 1, 3, 2, 1, 5}},
        // Heads sharing nozzles (four and eight heads).
        {3, 3, 0, 2, {3, 3}, {4}, {1, 1, 4, 1, 1, 0}},      {3, 3, 0, 2, {3, 5}, {0, 3}, {2, 2, 3, 2, 2, 0}},
        {3, 3, 0, 2, {3, 5}, {0, 0}, {1, 1, 0, 1, 1, 3}},   {7, 6, 0, 2, {3, 5}, {0, 0, 0, 0, 0, 0, 0, 3}, {8, 8, 3, 8, 8, 0}},
        {7, 3, 0, 2, {3, 5}, {0, 0, 0, 0, 0, 0, 0, 3}, {8, 8, 3, 8, 8, 0}}, {7, 8, 0, 2, {3, 5}, {0, 0}, {}},
        // Heads with different nozzles (four and eight heads).
        {3, 4, 0, 2, {3, 5}, {0, 0, 3}, {3, 3, 3, 3, 3, 0}}, {3, 4, 0, 2, {3, 5}, {4, 5}, {1, 1, 4, 1, 1, 3}},
        {3, 4, 0, 2, {3, 5}, {3, 0}, {2, 2, 0, 2, 2, 5}},   {7, 7, 0, 2, {3, 5}, {0, 0, 0, 0, 0, 0, 0, 3}, {8, 8, 3, 8, 8, 0}},
        // Nothing to do: slot 1 not loaded, the nozzles already where the rule wants
        // them, or a type or head mode without a rule.
        {3, 0, 0, 0, {3}, {4}, {}},                         {7, 0, 0, 0, {3}, {4}, {}},
        {2, 2, 1, 0, {4}, {3}, {}},                         {2, 2, 2, 0, {4}, {3}, {}},
        {2, 2, 1, 1, {1}, {1}, {}},                         {2, 2, 1, 1, {4}, {4}, {}},
        {2, 2, 1, 1, {4}, {0, 4}, {}},                      {2, 2, 1, 2, {1, 5}, {5}, {}},
        {2, 2, 1, 2, {1, 1}, {0}, {}},                      {2, 2, 2, 1, {4}, {4}, {}},
        {2, 2, 2, 1, {4}, {2, 4}, {}},                      {2, 2, 2, 2, {2, 2}, {2, 2}, {}},
        {2, 2, 2, 2, {2, 5}, {5}, {}},                      {6, 1, 0, 2, {3, 5}, {0, 0}, {}},
        {6, 3, 0, 2, {3, 5}, {0, 0}, {}},                   {8, 0, 0, 1, {3}, {0}, {}},
        {9, 0, 0, 1, {3}, {0}, {}},                         {5, 3, 0, 2, {3, 5}, {0, 0}, {}},
        {3, 3, 0, 2, {3, 5}, {3, 5}, {}},                   {3, 4, 0, 2, {3, 5}, {3, 5}, {}},
    };
    std::vector<std::string> trace;
    const TraceSink previous = SetTraceSink([&](const std::string& t, bool) { if (t.rfind("unLoadFeed", 0) == 0) trace.push_back(t); });
    for (const auto& c : cases) {
        SCOPED_TRACE("row " + std::to_string(&c - cases));
        ScriptedResponder boxes;
        g_MachineType = c.type;
        SmtStrategyConfig st;
        st.m_HeaderSelect = c.mode, st.m_ChangeNozzleSelect = c.keep;
        TheSmtStrategy().SetConfig(st);
        g_LoadedNozzleCount = c.loaded;
        g_NozzleWork = {};
        for (auto& h : g_NozzleTable) h.inHolder = 1;
        for (int k = 1; k <= 8; ++k) {
            const std::size_t i = static_cast<std::size_t>(k - 1);
            g_NozzleSlots[i] = NozzleSlot{};
            g_NozzleSlots[i].row = k <= c.loaded ? k - 1 : -1;
            g_NozzleSlots[i].headTarget = k;
            g_NozzleSlots[i].nozzleTarget = c.s[i];
            g_NozzleWork[i].head = k, g_NozzleWork[i].mountedNozzle = c.m[i];
            if (c.m[i]) g_NozzleTable[static_cast<std::size_t>(c.m[i] - 1)].inHolder = 0;
        }
        trace.clear();
        const bool none = c.change == std::array<int, 6>{};
        EXPECT_EQ(CheckNozzleTypes(), none);
        const auto& x = c.change;
        EXPECT_EQ(trace.empty() ? "" : trace.front(),
                  none ? "" : FormatC("unLoadFeed-%d, unLoadHead-%d, unLoadNozzle-%d\r\ninLoadFeed-%d, inLoadHead-%d, inLoadNozzle-%d",
                                      x[0], x[1], x[2], x[3], x[4], x[5]));
        EXPECT_EQ(g_NozzleWork[1].mountedNozzle, c.m2After < 0 ? c.m[1] : c.m2After);
    }
    SetTraceSink(previous);
    // Five slots on the four-head path.
    g_MachineType = 3, g_LoadedNozzleCount = 5;
    SmtStrategyConfig st;
    st.m_HeaderSelect = 3;
    TheSmtStrategy().SetConfig(st);
    ScriptedResponder boxes;
    EXPECT_FALSE(CheckNozzleTypes());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"SMT count error !"});
    TheSmtStrategy().SetConfig({});
    g_MachineType = 0, g_LoadedNozzleCount = 0;
    g_NozzleSlots = {};
    ResetNozzleStates();
}

} // namespace
} // namespace smt::test
