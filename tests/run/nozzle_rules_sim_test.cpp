// The nozzle check's rules as whole flows against the simulated nozzle library:
// afterwards every loaded slot's head carries the nozzle the slot needs, and the
// program's records and holder flags are what the machine's ledger says. Also the
// Z drive, sign and speeds of every head, the side entry's path and a head the
// Z step of a four-head type cannot reach.
#include "nozzle_library_fixture.h"

#include "base/globals.h"
#include "base/numtext.h"

namespace smt::test {
namespace {

constexpr int kHolders = 6;

class NozzleRulesSim : public NozzleLibrarySimTest {
protected:
    void TearDown() override {
        SetTraceSink(previousSink);
        g_LibraryOut = 0;
        NozzleLibrarySimTest::TearDown();
    }

    // Holder i (1..6) at (120 + 20 (i - 1), -50) mm, its entry 10 mm right; the heads
    // 15 mm apart. Speeds of the nozzle change: drive d starts at 10 + d and runs at
    // 40 + d. Every move stays within the 32767 pulses a serial move of types 0 to 6
    // can carry.
    void Prepare(int type, bool sideEntry = false) {
        StartHeads(type, 15.0);
        SpeedTypeTable t;
        for (int d = 0; d < 16; ++d) t.SetPair(d, {10 + d, 40 + d});
        TheSpeedTemplates().SetTable(SpeedType::AutoNozzle, t);
        TheSmtStrategy().SetConfig({});
        TheNozzleLibrary().m_Config = {sideEntry ? 1 : 0, 20, 0};
        ResetNozzleStates();
        std::vector<sim::NozzleHolder> holders;
        for (int i = 0; i < kHolders; ++i) {
            g_NozzleTable[static_cast<std::size_t>(i)] = {1, 12000 + 2000 * i, -4000, 0, 13000 + 2000 * i, -4000, 0, heights, 40, {}};
            holders.push_back({12000 + 2000 * i, -4000, 13000 + 2000 * i, -4000, heights, true});
        }
        machine().SetNozzleLibrary(holders, false);
        machine().SetHeadOffsets(headOffsets);
        g_RunContinue = true;
        g_hRunPauseGate.Set();
        previousSink = SetTraceSink([this](const std::string& text, bool) {
            if (text.rfind("unLoadFeed", 0) == 0) changes.push_back(text);
        });
    }
    // Head k carries the nozzle of holder mounted[k - 1] (0 none), booked on record k.
    void Mount(const std::array<int, 8>& mounted) {
        auto holders = machine().NozzleHolders();
        std::lock_guard lock(NozzleStateMutex());
        for (int k = 1; k <= 8; ++k) {
            const int n = mounted[static_cast<std::size_t>(k - 1)];
            g_NozzleWork[static_cast<std::size_t>(k - 1)].head = n ? k : 0;
            g_NozzleWork[static_cast<std::size_t>(k - 1)].mountedNozzle = n;
            machine().SetHeadNozzle(k, n);
            if (n) {
                holders[static_cast<std::size_t>(n - 1)].holds = false;
                g_NozzleTable[static_cast<std::size_t>(n - 1)].inHolder = 0;
            }
        }
        machine().SetNozzleLibrary(holders, false);
    }
    // The X/Y where each move of the XYA command left the carriage, from `start`.
    std::vector<std::pair<int, int>> Path(std::pair<int, int> start) {
        std::vector<std::pair<int, int>> path;
        for (const auto& f : machine().Frames()) {
            if (f.code != 0x64) continue;
            sim::FieldReader r(f.data);
            const bool wide = f.data.size() == 18;
            start.first += wide ? r.Sm32() : r.Sm16();
            r.U8(), r.U8();
            start.second += wide ? r.Sm32() : r.Sm16();
            path.push_back(start);
        }
        return path;
    }

    std::vector<std::string> changes;
    TraceSink previousSink;
};

// Slot k belongs to head k; `changes` is how many nozzle changes the rule asks for.
TEST_F(NozzleRulesSim, EveryRuleLeavesEachLoadedHeadWithItsNozzle) {
    using Eight = std::array<int, 8>;
    struct Case { const char* rule; int type, mode; Eight needed, mounted; int changes; } cases[] = {
        {"two heads: both put back, then both loaded", 2, 1, {3, 4}, {1, 2}, 4},
        {"one head of a two-head type: one change", 5, 0, {3}, {1}, 1},
        {"one head: the nozzle of the second head goes back first", 2, 0, {2}, {0, 2}, 2},
        {"two heads, different nozzles", 2, 2, {2, 3}, {1, 2}, 4},
        {"two heads on type 7: the second head's nozzle wanted by the first", 7, 1, {2, 4}, {0, 2}, 3},
        {"four heads, one nozzle type: carried nozzles go back first", 3, 3, {3, 5, 1, 2}, {5, 3, 0, 1}, 7},
        {"eight heads, one nozzle type", 7, 6, {1, 2, 3, 4, 5, 6}, {0, 0, 0, 0, 0, 0, 0, 1}, 7},
        {"four heads, different nozzles: each wanted nozzle goes back", 3, 4, {2, 3, 1}, {3, 1, 0, 2}, 6},
        {"eight heads, different nozzles: a nozzle on head 6 wanted by head 1", 7, 7, {6, 5, 4, 3, 2, 1}, {1, 0, 0, 0, 0, 6}, 8},
        {"type 3, one head", 3, 0, {4}, {2}, 1},
        {"all mounted: nothing moves", 2, 1, {3, 4}, {3, 4}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        Prepare(c.type);
        Mount(c.mounted);
        SmtStrategyConfig st;
        st.m_HeaderSelect = c.mode;
        TheSmtStrategy().SetConfig(st);
        int loaded = 0;
        for (int k = 1; k <= 8; ++k) {
            NozzleSlot& s = g_NozzleSlots[static_cast<std::size_t>(k - 1)];
            s = NozzleSlot{};
            s.nozzleTarget = c.needed[static_cast<std::size_t>(k - 1)];
            s.row = s.nozzleTarget ? k - 1 : -1;
            s.headTarget = k;
            loaded += s.nozzleTarget != 0;
        }
        g_LoadedNozzleCount = loaded;
        machine().ClearRecords();
        changes.clear();
        ScriptedResponder boxes;
        const bool ok = CheckNozzleTypes();
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
        ASSERT_TRUE(ok);
        for (int k = 1; k <= loaded; ++k) EXPECT_EQ(machine().HeadNozzle(k), c.needed[static_cast<std::size_t>(k - 1)]) << "head " << k;
        ExpectBooksMatchMachine();
        EXPECT_EQ(static_cast<int>(changes.size()), c.changes);
        if (c.changes == 0) { EXPECT_EQ(machine().Frames().size(), 0u); }
        TearDown();
        SimTest::SetUp();
    }
}

// The Z drive of each head, the sign of its stroke and the drive's speeds; the
// machine's ledger sees the nozzle arrive on that head and leave it again.
TEST_F(NozzleRulesSim, ZDriveSignAndSpeedsOfEveryHead) {
    struct Case { int type, head; } cases[] = {
        {0, 1}, {1, 2}, {2, 1}, {2, 2}, {3, 1}, {3, 2}, {3, 3}, {3, 4}, {4, 3}, {5, 2}, {6, 4},
        {7, 1}, {7, 2}, {7, 3}, {7, 4}, {7, 5}, {7, 6}, {7, 7}, {7, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " head " + std::to_string(c.head));
        Prepare(c.type);
        const std::int32_t depth = heights[static_cast<std::size_t>(c.head - 1)];
        const bool own = c.type == 7;
        const int axis = own ? 0x20 + c.head - 1 : c.head <= 2 ? 2 : 3;
        const std::int32_t down = !own && (c.head == 1 || c.head == 3) ? -depth : depth;
        // Z1 (drive 2) for the first pair and every own drive, Z2 (drive 3) for the second pair.
        const int drive = own || c.head <= 2 ? 2 : 3;
        const std::string speeds = ":" + std::to_string(10 + drive) + "/" + std::to_string(40 + drive);
        const std::string stroke = [&] {
            char t[40];
            std::snprintf(t, sizeof t, "%X:", axis);
            return std::string(t);
        }();
        const std::vector<std::string> expected{stroke + std::to_string(down) + speeds, stroke + std::to_string(-down) + speeds};
        const auto strokes = [&] {
            std::vector<std::string> v;
            for (const auto& f : machine().Frames()) {
                if (f.code != 0x61) continue;
                sim::FieldReader r(f.data);
                char t[60];
                const int a = r.U8();
                const std::int32_t delta = r.Sm32();
                const int start = r.U8();
                std::snprintf(t, sizeof t, "%X:%d:%d/%d", a, delta, start, r.U8());
                v.push_back(t);
            }
            return v;
        };
        machine().ClearRecords();
        ASSERT_TRUE(ChangeNozzle(c.head, 0, 0, c.head, c.head, 1));
        EXPECT_EQ(strokes(), expected);
        EXPECT_EQ(machine().HeadNozzle(c.head), 1);
        machine().ClearRecords();
        ASSERT_TRUE(ChangeNozzle(c.head, c.head, 1, c.head, c.head, 0));
        EXPECT_EQ(strokes(), expected);
        EXPECT_EQ(machine().HeadNozzle(c.head), 0);
        ExpectBooksMatchMachine();
        TearDown();
        SimTest::SetUp();
    }
}

// The Z step of types 0 to 6 has no drive for heads 5 to 8: the change stops there
// with its message, before any stroke, and nothing is booked.
TEST_F(NozzleRulesSim, AHeadWithoutAZDriveOnTheFourHeadTypes) {
    for (const auto& [type, head] : std::vector<std::pair<int, int>>{{3, 5}, {6, 8}}) {
        SCOPED_TRACE("type " + std::to_string(type) + " head " + std::to_string(head));
        Prepare(type);
        machine().ClearRecords();
        ScriptedResponder boxes;
        EXPECT_FALSE(ChangeNozzle(head, 0, 0, head, head, 1));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"SMT header error !"});
        EXPECT_EQ(FramesOf(0x61).size(), 0u);
        EXPECT_EQ(CopyNozzleWork()[static_cast<std::size_t>(head - 1)].mountedNozzle, 0);
        EXPECT_EQ(CopyNozzleTable()[0].inHolder, 1);
        ExpectBooksMatchMachine();
        TearDown();
        SimTest::SetUp();
    }
}

// With the side entry the head reaches the library from a point m_Distance (20 mm,
// 1600 pulses) off the entry in Y, stays flagged as out there after putting a
// nozzle back, and leaves through the side point of the nozzle it took. Head 2
// stands 15 mm and -1.25 mm off head 1: holder 1's entry is (11500, -3900) for it.
TEST_F(NozzleRulesSim, SideEntryPathAndTheLibraryOutFlag) {
    using Points = std::vector<std::pair<int, int>>;
    struct Case { bool side; Points unload, load; } cases[] = {
        {true, {{11500, -2300}, {11500, -3900}, {10500, -3900}, {11500, -3900}},
               {{13500, -3900}, {12500, -3900}, {13500, -3900}, {13500, -2300}}},
        {false, {{11500, -3900}, {10500, -3900}, {11500, -3900}}, {{13500, -3900}, {12500, -3900}, {13500, -3900}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.side ? "side entry" : "straight in");
        Prepare(3, c.side);
        Mount({0, 1});
        machine().ClearRecords();
        auto at = std::pair<int, int>(machine().Positions().x, machine().Positions().y);
        ASSERT_TRUE(ChangeNozzle(2, 2, 1, 2, 2, 0));
        EXPECT_EQ(Path(at), c.unload);
        EXPECT_EQ(g_LibraryOut.load(), c.side ? 1 : 0);
        machine().ClearRecords();
        at = {machine().Positions().x, machine().Positions().y};
        ASSERT_TRUE(ChangeNozzle(2, 0, 0, 2, 2, 2));
        EXPECT_EQ(Path(at), c.load);
        EXPECT_EQ(g_LibraryOut.load(), 0);
        EXPECT_EQ(machine().HeadNozzle(2), 2);
        ExpectBooksMatchMachine();
        TearDown();
        SimTest::SetUp();
    }
}

// A library whose holders the program knows a little off their true places (X +30,
// Y -20 pulses, the X and Y factors apart): the holders' funnels (50 pulses) still
// guide the nozzles in and out, and the books stay the machine's.
TEST_F(NozzleRulesSim, HoldersTaughtNearlyRightStillTakeAndGiveTheirNozzles) {
    for (int type : {3, 7}) {
        SCOPED_TRACE("type " + std::to_string(type));
        Prepare(type);
        auto holders = machine().NozzleHolders();
        for (auto& h : holders) h.toleranceX = 50, h.toleranceY = 50;
        machine().SetNozzleLibrary(holders, false);
        {
            std::lock_guard lock(NozzleStateMutex());
            for (int i = 0; i < kHolders; ++i) {
                NozzleRecord& r = g_NozzleTable[static_cast<std::size_t>(i)];
                r.holderX += 30, r.entryX += 30, r.holderY -= 20, r.entryY -= 20;
            }
        }
        ASSERT_TRUE(ChangeNozzle(2, 0, 0, 2, 2, 3));
        EXPECT_EQ(machine().HeadNozzle(2), 3);
        ASSERT_TRUE(ChangeNozzle(2, 2, 3, 2, 2, 4));
        EXPECT_EQ(machine().HeadNozzle(2), 4);
        EXPECT_TRUE(machine().NozzleHolders()[2].holds);
        ExpectBooksMatchMachine();
        TearDown();
        SimTest::SetUp();
    }
}

} // namespace
} // namespace smt::test
