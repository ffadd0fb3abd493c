// Whole eight-head runs (type 7, Ethernet: its combined commands exist only there)
// against the simulated world, judged by the world's run check: nine "Yes" rows in
// every cell in use, picked nozzle by nozzle (0x74) or all together (0x75) and
// placed by 0x77 each or one 0x78, four or eight nozzles per cycle.
#include <map>

#include "placement_run_fixture.h"
#include "run/eight_head_run.h"
#include "link/position_counters.h"

namespace smt::test {
namespace {

struct EightCase {
    int headMode;   // 3: four nozzles a cycle, 6: eight
    bool together;  // m_TogetherCode
    const char* name;
};

class EightHeadRunWorld : public PlacementRunWorld {
protected:
    void SetUp() override {
        PlacementRunWorld::SetUp();
        // Nine rows to place (and one not): eight nozzles take two cycles a cell.
        parts = {{"R1", 5, 4, 0, 1},    {"R2", 12, 6, 90, 2},  {"N1", 20, 20, 0, 1, false},
                 {"R3", 19, 9, 45, 3},  {"R4", 27, 5, -90, 4}, {"R5", 34, 12, 180, 1},
                 {"R6", 8, 18, 30, 2},  {"R7", 16, 26, 0, 3},  {"R8", 25, 22, -45, 4},
                 {"R9", 33, 29, 90, 1}};
    }
    void TearDown() override {
        RunThreadEntry(RunThreadKind::EightHead) = nullptr;
        PlacementRunWorld::TearDown();
    }

    void Eight(int headMode, bool together) {
        const RunSetup r{7, headMode, false, false, false, false};
        Machine(r);
        if (HasFatalFailure()) return;
        SmtStrategyConfig c = TheSmtStrategy().Config();
        c.m_TogetherCode = together ? 1 : 0;
        TheSmtStrategy().SetConfig(c);
        RunThreadEntry(RunThreadKind::EightHead) = [] { EightHeadRunThread(); };
        g_PanelLink.zCheckMask = 0xFF;
        // Each cycle fills nozzles 1, 2, ... with the next rows of the cell.
        const int slots = headMode >= 6 ? 8 : headMode >= 3 ? 4 : headMode >= 1 ? 2 : 1;
        std::map<int, int> yesIndex;  // per cell
        for (auto& t : expected) t.head = yesIndex[t.cell]++ % slots + 1;
    }

    std::map<int, int> FrameCounts() {
        std::map<int, int> n;
        for (const auto& f : machine().Frames())
            if (f.accepted) ++n[static_cast<int>(f.code)];
        return n;
    }
};

class EightHeadWholeBoard : public EightHeadRunWorld, public ::testing::WithParamInterface<EightCase> {};

TEST_P(EightHeadWholeBoard, PlacesEveryRowOfEveryCellInUse) {
    const EightCase& p = GetParam();
    Eight(p.headMode, p.together);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    const auto check = RunCheckPasses();
    EXPECT_TRUE(check);
    std::printf("%s\n", check.message());
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(g_Homed.load());
    // No part picked beyond the rows (a record left from an earlier cycle picks
    // one that no place ever puts down).
    EXPECT_EQ(world().ledger().Of(sim::LedgerKind::Pick).size(), 27u);
    // Three cells of nine rows: with eight nozzles 8 + 1 a cell, with four 4 + 4 + 1.
    const int cycles = 3 * (p.headMode == 6 ? 2 : 3);
    const auto n = FrameCounts();
    const auto count = [&](int code) { return n.count(code) ? n.at(code) : 0; };
    if (p.together) {
        EXPECT_EQ(count(0x75), cycles);
        EXPECT_EQ(count(0x78), cycles);
        EXPECT_EQ(count(0x74), 0);
        EXPECT_EQ(count(0x77), 0);
    } else {
        EXPECT_EQ(count(0x74), 27);
        EXPECT_EQ(count(0x77), 27);
        EXPECT_EQ(count(0x75), 0);
        EXPECT_EQ(count(0x78), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(HeadCountsAndPickModes, EightHeadWholeBoard,
                         ::testing::Values(EightCase{6, false, "EightPerNozzle"}, EightCase{6, true, "EightTogether"},
                                           EightCase{3, false, "FourPerNozzle"}, EightCase{3, true, "FourTogether"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace smt::test
