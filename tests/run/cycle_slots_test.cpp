// The rows of a placement cycle (the fill rule over the slots, the end of the list
// told from a refused row, the companion's present flags) and the cover-tape unit
// as the run drives it (counts, the run-out's half steps, the saved counters, the
// commands on the simulated machine).
#include "../link/sim_fixture.h"

#include "base/captions.h"
#include "base/globals.h"
#include "joblist/part_list.h"
#include "platform/profile.h"
#include "run/placement_run.h"
#include "run/run_rows.h"
#include "run_state/nozzle_work.h"
#include "run_state/run_events.h"

namespace smt::test {
namespace {

JobRow PartRowOf(const char* place, const char* feeder) {
    JobRow r(CellCount(JobList::Part));
    r.cells[partcell::Place] = place;
    r.cells[partcell::Feeder] = feeder;
    return r;
}

class CycleSlots : public ::testing::Test {
protected:
    void SetUp() override {
        g_NozzleSlots = {};
        g_LoadedNozzleCount = 0;
        // Row 6's feeder "R" is refused by every nozzle, "R2" only by nozzles above 1.
        TheRowSearchLookups().FindFeederForPart = [](int, const std::string& feeder, int k) {
            return feeder != "R" && !(feeder == "R2" && k > 1);
        };
    }
    void TearDown() override {
        TheRowSearchLookups() = {};
        g_NozzleSlots = {};
        g_LoadedNozzleCount = 0;
    }
    std::vector<int> Rows(int n) {
        std::vector<int> rows;
        for (int k = 0; k < n; ++k) rows.push_back(g_NozzleSlots[static_cast<std::size_t>(k)].row);
        return rows;
    }
    PartListStore store;
};

TEST_F(CycleSlots, FillRuleByHeadCountWithMissesAndRefusals) {
    // 0 E1, 1 No, 2 E2, 3 E3, 4 R2, 5 E4, 6 E5
    store.SetRows(JobList::Part, {PartRowOf("Yes", "E1"), PartRowOf("No", "E9"), PartRowOf("Yes", "E2"),
                                  PartRowOf("Yes", "E3"), PartRowOf("Yes", "R2"), PartRowOf("Yes", "E4"),
                                  PartRowOf("Yes", "E5")});
    const struct {
        int heads, first, count;
        std::vector<int> rows;  // slots 1..8
    } cases[] = {
        {1, 0, 1, {0, -7, -7, -7, -7, -7, -7, -7}},
        {2, 0, 2, {0, 2, -7, -7, -7, -7, -7, -7}},
        {2, 3, 1, {3, -1, -7, -7, -7, -7, -7, -7}}, // row 4 refused for nozzle 2: one nozzle
        {4, 0, 3, {0, 2, 3, -1, -7, -7, -7, -7}},   // refused for nozzle 4: three nozzles
        {8, 5, 2, {5, 6, -1, -1, -1, -1, -1, -1}},  // eight heads: the end of the list at slot 3
        {4, 3, 1, {3, -1, -1, -1, -7, -7, -7, -7}}, // nozzle 2 refused at row 4: slots 2..4 cleared
        {8, 0, 3, {0, 2, 3, -1, -1, -1, -1, -1}},   // eight heads fill at most four slots
        {3, 0, 2, {0, 2, -7, -7, -7, -7, -7, -7}},  // a head count of 3 fills two slots
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("heads " + std::to_string(c.heads) + " from " + std::to_string(c.first));
        g_NozzleSlots = {};
        for (auto& s : g_NozzleSlots) s.row = -7;
        g_NozzleSlots[0].row = c.first;
        EXPECT_EQ(FillCycleSlots(store, 0, 7, c.heads), c.count);
        EXPECT_EQ(g_LoadedNozzleCount.load(), c.count);
        EXPECT_EQ(Rows(8), c.rows);
    }
}

TEST_F(CycleSlots, TheFirstSlotTellsTheEndOfTheListFromARefusedRow) {
    store.SetRows(JobList::Part, {PartRowOf("Yes", "E1"), PartRowOf("Yes", "R"), PartRowOf("No", "E2"),
                                  PartRowOf("Yes", "E3"), PartRowOf("No", "E4")});
    const struct {
        int from;
        FirstSlot result;
        int cursor;
    } cases[] = {{-1, FirstSlot::Found, 0}, {1, FirstSlot::Refused, 1}, {2, FirstSlot::Found, 3},
                 {4, FirstSlot::EndOfList, 5}, {5, FirstSlot::EndOfList, 5}};
    for (const auto& c : cases) {
        int cursor = c.from;
        EXPECT_EQ(FindFirstSlot(store, 0, 5, cursor), c.result) << c.from;
        EXPECT_EQ(cursor, c.cursor) << c.from;
    }
    // The message names the row as the list shows it and its number cell.
    store.SetCell(JobList::Part, 1, partcell::Number, "C7");
    g_LanguageIndex = 1;
    EXPECT_EQ(RefusedRowText(1, "C7"), "No usable feeder for this row, the run stops ! Row: 2 (C7)");
    g_LanguageIndex = 0;
}

TEST_F(CycleSlots, PresentFlagsOfTheFirstTwoSlots) {
    const struct {
        int row1, row2;
        int bank2, number2;  // slot 1: bank 3, feeder 7
        std::array<int, 4> flags;  // slot 1 first, second; slot 2 first, second
    } cases[] = {
        {0, 1, 3, 8, {1, 1, 1, 1}},   // another feeder
        {0, 1, 2, 7, {1, 1, 1, 1}},   // same number on another bank
        {0, 1, 3, 7, {1, 1, 0, 9}},   // the same feeder: slot 2 waits for the advance
        {0, -1, 3, 8, {1, 1, 0, 9}},  // no second row
        {-1, 1, 3, 8, {0, 9, 9, 9}},  // no first row: only its first flag
    };
    for (const auto& c : cases) {
        g_NozzleSlots = {};
        for (int k = 0; k < 4; ++k) g_NozzleSlots[static_cast<std::size_t>(k)].presented1 = 9,
                                    g_NozzleSlots[static_cast<std::size_t>(k)].presented2 = 9;
        NozzleSlot& s1 = g_NozzleSlots[0];
        NozzleSlot& s2 = g_NozzleSlots[1];
        s1.row = c.row1, s1.bankCode = 3, s1.feederNumber = 7;
        s2.row = c.row2, s2.bankCode = c.bank2, s2.feederNumber = c.number2;
        SetPresentFlags();
        const std::array<int, 4> got{s1.presented1, s1.presented2, s2.presented1, s2.presented2};
        EXPECT_EQ(got, c.flags) << c.row1 << " " << c.row2 << " " << c.bank2 << " " << c.number2;
        EXPECT_EQ(static_cast<int>(g_NozzleSlots[2].presented1), 9);
    }
}

// ---- the cover-tape unit ---------------------------------------------------------

SetCoverConfig Cover(int step, int total, int once, int blank, int delay, int totalCount, int count) {
    return {step, total, once, blank, delay, totalCount, count};
}

TEST(CoverTapeRunArithmetic, IncrementTotalAndRunOutHalfSteps) {
    EXPECT_EQ(CoverIncrement(0), 1);
    for (int mode = 1; mode <= 8; ++mode) EXPECT_EQ(CoverIncrement(mode), 2) << mode;
    EXPECT_FALSE(CoverTotalReached(Cover(1, 10, 1, 1, 1, 8, 0), 1));
    EXPECT_TRUE(CoverTotalReached(Cover(1, 10, 1, 1, 1, 9, 0), 1));
    EXPECT_TRUE(CoverTotalReached(Cover(1, 10, 1, 1, 1, 8, 0), 2));  // two placements do not fit
    const struct {
        SetCoverConfig c;
        std::vector<std::int32_t> halves;
    } cases[] = {
        // blank 9, once 4: passes at blank 9, 5, 1; the first seals what the stroke lacks.
        {Cover(10, 100, 4, 9, 1, 50, 1), {15, 20, 20}},
        {Cover(5, 100, 3, 2, 1, 50, 0), {7}},           // 15 / 2 toward zero
        {Cover(7, 100, 3, 3, 1, 50, 2), {3, 10}},       // blank 3 - 3 = 0 still makes a pass
        {Cover(3, 100, 0, 5, 1, 50, 2), {-3}},          // no piece per stroke: one pass, -6 / 2
        {Cover(4, 100, -2, 5, 1, 50, 0), {-4}},
    };
    for (const auto& c : cases) EXPECT_EQ(TapeRunOutHalfSteps(c.c), c.halves) << c.c.m_BlankTotal;
}

class CoverTapeRunTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        StartMachine(true, 0);
        g_Homed = true;
        g_RunContinue = true;
        SpeedTypeTable handle;
        handle.SetPair(14, {11, 22});  // AutoWalk1
        TheSpeedTemplates().SetTable(SpeedType::Handle, handle);
        TheCoverTape().SetConfig({});
        path = dir.Path() + "/config.ini";
    }
    void TearDown() override {
        g_RunContinue = false;
        TheCoverTape().SetConfig({});
        SimTest::TearDown();
    }
    // "61:axis:delta:start/run" and "03:channel:value" in the machine's order.
    std::string Commands() {
        std::string s;
        for (const auto& f : machine().Frames()) {
            char text[48];
            if (f.code == 0x61) {
                sim::FieldReader r(f.data);
                const int axis = r.U8();
                const int delta = r.Sm32();
                const int start = r.U8();
                std::snprintf(text, sizeof text, "61:%d:%d:%d/%d", axis, delta, start, r.U8());
            } else if (f.code == 0x03) {
                std::snprintf(text, sizeof text, "03:%d:%d", f.data.at(0), f.data.at(1));
            } else {
                std::snprintf(text, sizeof text, "%02X", f.code);
            }
            s += (s.empty() ? "" : " ") + std::string(text);
        }
        return s;
    }
    std::string Saved(const char* key) { return plat::GetPrivateProfileString("SetCoverConfig", key, "-", 512, path); }
    std::string path;
};

TEST_F(CoverTapeRunTest, CountsSealAndSaveEachCycle) {
    // Head mode 1: two pockets a cycle; a stroke seals 3.
    CoverTapeRun run(Cover(40, 100, 3, 2, 1, 10, 2), 1, path);
    EXPECT_EQ(run.Increment(), 2);
    EXPECT_EQ(run.CountPlaced(), 11);
    EXPECT_EQ(Saved("m_CoverTotalCount"), "11");
    EXPECT_EQ(Saved("m_CoverCount"), "3");
    EXPECT_EQ(TheCoverTape().Config().m_CoverCount, 3);
    EXPECT_EQ(run.EndOfCycle(), CoverTapeRun::Step::Go);
    WaitUntil([&] { return Commands().size() >= 28; }, std::chrono::seconds(2));
    EXPECT_EQ(Commands(), "61:14:80:11/22 03:8:1 03:8:0");
    EXPECT_EQ(run.Config().m_CoverCount, 0);
    EXPECT_EQ(Saved("m_CoverCount"), "0");
    // A stroke not yet full: the step alone.
    machine().ClearRecords();
    run.CountPlaced();
    EXPECT_EQ(run.EndOfCycle(), CoverTapeRun::Step::Go);
    EXPECT_EQ(Commands(), "61:14:80:11/22");
}

TEST_F(CoverTapeRunTest, TheTotalRunsTheTapeOutAndClearsTheCounters) {
    // Total 12 reached: blank 5, once 3, two pieces in the stroke -> passes at
    // blank 5 and 2, of (3-2)x10/2 and 3x10/2. The cycle that reaches the total has no next one.
    CoverTapeRun run(Cover(10, 12, 3, 5, 1, 10, 0), 0, path);
    EXPECT_FALSE(run.NoNextCycle());
    run.CountPlaced();
    EXPECT_TRUE(run.NoNextCycle());
    EXPECT_EQ(run.EndOfCycle(), CoverTapeRun::Step::Go);
    machine().ClearRecords();
    run.CountPlaced();
    EXPECT_EQ(run.EndOfCycle(), CoverTapeRun::Step::TotalReached);
    const std::string seal = "03:8:1 03:8:0";
    const std::string expected =
        "61:14:10:11/22 61:14:5:1/2 61:14:5:1/2 " + seal + " 61:14:15:1/2 61:14:15:1/2 " + seal;
    WaitUntil([&] { return Commands() == expected; }, std::chrono::seconds(2));
    EXPECT_EQ(Commands(), expected);
    EXPECT_EQ(Saved("m_CoverTotalCount"), "0");
    EXPECT_EQ(Saved("m_CoverCount"), "0");
    EXPECT_EQ(TheCoverTape().Config().m_CoverTotalCount, 0);
}

TEST_F(CoverTapeRunTest, AStrokeOfNoPieceEndsAfterOnePassAndAStopEndsTheRunOut) {
    CoverTapeRun none(Cover(10, 5, 0, 50, 1, 4, 0), 0, path);
    none.RunOut();
    WaitUntil([&] { return Commands().size() >= 40; }, std::chrono::seconds(2));
    EXPECT_EQ(Commands(), "61:14:0:1/2 61:14:0:1/2 03:8:1 03:8:0");
    machine().ClearRecords();
    g_RunContinue = false;
    CoverTapeRun stopped(Cover(10, 5, 1, 50, 1, 4, 0), 0, path);
    stopped.RunOut();
    EXPECT_EQ(Commands(), "");
    EXPECT_EQ(Saved("m_CoverTotalCount"), "0");
}

} // namespace
} // namespace smt::test
