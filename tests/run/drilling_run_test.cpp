// The drilling run against the simulated drilling machine: a 2 x 2 panel with one
// cell off lying where the job says, its holes judged by the world's ledger (place
// and net Z travel) and its Z strokes by the commands the machine took.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../link/world_fixture.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "codec.h"
#include "joblist/part_list.h"
#include "joblist/run_board.h"
#include "joblist/run_port.h"
#include "joblist/run_toolbar.h"
#include "link/homing.h"
#include "link/link_lost.h"
#include "link/link_state.h"
#include "run/drilling_run.h"
#include "run/run_frame.h"
#include "run_state/run_events.h"
#include "run_state/run_frame_sources.h"

namespace smt::test {
namespace {

// Peck strokes in Z pulses: the known answers, and the rows that would never end.
TEST(PeckStrokes, WholeFeedsThenTheRest) {
    const struct {
        std::int32_t depth, feed;
        std::vector<std::int32_t> strokes;
    } cases[] = {
        {250, 100, {100, 100, 100, 50}},  // depth 2.5 mm, feed 1 mm at 100 pulses per mm
        {120, 50, {50, 50, 50, 20}},
        {80, 100, {100, 80}},
        {0, 100, {100, 0}},
        {300, 100, {100, 100, 100, 100, 0}},
        {-50, 0, {-50}},   // a negative depth ends at once
        {-50, -10, {-60}},
        {100, 0, {}},      // never ends: refused
        {0, 0, {}},
        {100, -1, {}},
        {0, -100, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PeckStrokes(c.depth, c.feed), c.strokes) << "depth " << c.depth << " feed " << c.feed;
}

struct DrillHole {
    const char* name;
    double x, y, z, depth, feed, retract;
};

class DrillingRunWorld : public WorldSimTest {
protected:
    static constexpr double kOriginX = 120, kOriginY = -150;
    static constexpr double kColPitch = 40, kRowPitch = 35, kThickness = 1.6;
    static constexpr int kFeedStart = 21, kRetractStart = 31, kRetractRun = 41;

    void SetUp() override {
        WorldSimTest::SetUp();
        g_LanguageIndex = 1;
        CreateRunEvents();
        holes = {{"H1", 6, 5, 0.5, 2.5, 1, 1},
                 {"H2", 15.55, 10.25, 0.4, 1.2, 0.5, 0.8},
                 {"H3", 31.07, 28.93, 0.6, 0.8, 1, 1.2}};
    }
    void TearDown() override {
        g_RunContinue = false;
        StopRunForClosing();
        WaitIdle();
        g_Running = false;
        RunThreadEntry(RunThreadKind::Drilling) = nullptr;
        TheRunPort() = {};
        TheRunFrameSources() = {};
        TheRunToolbarPort() = {};
        TheHomingPort() = HomingPort{};
        ThePartList().Reset();
        g_MachineType = 0, g_HeadResetOk = false, g_Homed = false;
        StoreRunBoard({});
        CreateRunEvents();
        WorldSimTest::TearDown();
    }

    sim::Scenario World() {
        sim::Scenario s;
        s.pulsesX = 100, s.pulsesY = 80, s.pulsesZ = 100, s.pulsesA = 10;
        // The board's top: below where the drill stands after the first two strokes.
        s.drillSurface = 1.0;
        sim::ScenarioBoard b;
        b.origin = {kOriginX, kOriginY};
        b.width = 2 * kColPitch, b.height = 2 * kRowPitch;
        for (int row = 0; row < 2; ++row)
            for (int col = 0; col < 2; ++col) b.cells.push_back({col * kColPitch, row * kRowPitch, kColPitch, kRowPitch});
        s.boards = {b};
        return s;
    }

    void Program() {
        g_MachineType = 9;
        BasicSettings& b = TheBasicSettings();
        b = BasicSettings{};
        b.m_CommModel = 0;
        b.m_X_Limit = 400, b.m_Y_Limit = -300;
        PulseFactors& p = ThePulseFactors();
        p = PulseFactors{};
        p.m_X_Pulse = scenario.pulsesX, p.m_Y_Pulse = scenario.pulsesY, p.m_Z_Pulse = scenario.pulsesZ;
        p.m_A_Pulse = scenario.pulsesA;
        g_PulsesPerMm = {p.m_X_Pulse, p.m_Y_Pulse, p.m_Z_Pulse, p.m_A_Pulse, 10, 10, 10, 10, 10, 10, 0, 0};
        SetMoveLimits({ToPulses(400, p.m_X_Pulse), ToPulses(-300, p.m_Y_Pulse), 400000, 300000});
        // Distinct speeds per drive and type: the A1 moves show whose speeds they took.
        for (SpeedType type : {SpeedType::Reset, SpeedType::Handle, SpeedType::PickPart, SpeedType::Smt,
                               SpeedType::VisualCorrection, SpeedType::VisualSmt, SpeedType::AutoNozzle}) {
            SpeedTypeTable t;
            for (int d = 0; d < 16; ++d) t.SetPair(d, {10 + d, 100 + d});
            if (type == SpeedType::Smt) t.SetPair(4, {60, 160});
            TheSpeedTemplates().SetTable(type, t);
        }

        std::vector<JobRow> rows;
        for (std::size_t i = 0; i < holes.size(); ++i) {
            const DrillHole& h = holes[i];
            JobRow row(CellCount(JobList::Drill));
            row.cells[0] = std::to_string(i + 1);
            row.cells[1] = FormatC("%0.4f", h.x), row.cells[2] = FormatC("%0.4f", h.y);
            row.cells[3] = FormatC("%0.4f", h.z), row.cells[4] = FormatC("%0.4f", h.depth);
            row.cells[5] = FormatC("%0.4f", h.feed), row.cells[6] = FormatC("%0.4f", h.retract);
            row.cells[7] = "0";
            row.cells[8] = std::to_string(kFeedStart), row.cells[9] = "99";
            row.cells[10] = std::to_string(kRetractStart), row.cells[11] = std::to_string(kRetractRun);
            rows.push_back(row);
        }
        ThePartList().SetRows(JobList::Drill, rows);

        PcbRecord rec;
        rec.m_PcbName = "PCB->D";
        rec.m_PanelRows = 2, rec.m_PanelCols = 2;
        rec.m_RowPitch = kRowPitch, rec.m_ColPitch = kColPitch, rec.m_Thickness = kThickness;
        rec.m_OriginX = kOriginX, rec.m_OriginY = kOriginY;
        rec.m_PanelGrid = {{"A", "1/1", "0/2"}, {"B", "1/3", "1/4"}};
        StoreRunBoard(MakeRunBoard(rec, p.m_X_Pulse, p.m_Y_Pulse));

        RunThreadEntry(RunThreadKind::Drilling) = [] { DrillingRunThread(); };
        TheRunPort().startRunThreads = [](int mode) { return StartRunThreads(mode); };
        TheRunPort().runThreadsLive = [] { return LiveRunThreads() > 0; };
        TheRunFrameSources().currentPcbName = [] { return std::string("PCB->D"); };
        TheRunToolbarPort().pcbBoardCount = [this] { return boardCount; };
        TheRunFrameSources().pcbBoardCount = [this] { return boardCount; };
    }

    void Machine() {
        scenario = World();
        StartWorld(9, scenario, true, false);
        if (HasFatalFailure()) return;
        ResetCommandWorld(true);
        Program();
        ConnectToWorld(true);
        if (HasFatalFailure()) return;
        InstallHomingOf(9);
        hooks.Take();
    }

    bool RunToTheEnd() {
        if (!OnStartRun(ThePartList())) return false;
        return WaitUntil([] { return LiveRunThreads() == 0 && !g_Running.load() && !HomingInProgress(); },
                         std::chrono::seconds(120));
    }

    // The expected holes: `rows` of the list in cells 0, 2, 3 (cell 1 is off), per board.
    std::vector<ExpectedPoint> Expected(const std::vector<std::vector<int>>& rowsPerCell, int boards = 1) {
        std::vector<ExpectedPoint> out;
        const int cells[] = {0, 2, 3};
        for (int b = 0; b < boards; ++b)
            for (std::size_t c = 0; c < 3; ++c)
                for (int i : rowsPerCell[c]) {
                    ExpectedPoint e;
                    e.name = std::string(holes[static_cast<std::size_t>(i)].name) + " cell " + std::to_string(cells[c]);
                    e.cell = cells[c];
                    e.x = holes[static_cast<std::size_t>(i)].x, e.y = holes[static_cast<std::size_t>(i)].y;
                    out.push_back(e);
                }
        return out;
    }

    struct AxisMove {
        int axis;
        std::int32_t delta;
        int start, run;
    };
    std::vector<AxisMove> SingleAxisMoves() {
        std::vector<AxisMove> out;
        for (const auto& f : FramesOf(0x61)) {
            if (!f.accepted) continue;
            sim::FieldReader r(f.data);
            AxisMove m;
            m.axis = r.U8();
            m.delta = r.Sm32();
            m.start = r.U8();
            m.run = r.U8();
            out.push_back(m);
        }
        return out;
    }
    // The feed strokes (Z moves at the feed start speed), in mm.
    std::vector<double> FeedStrokes() {
        std::vector<double> out;
        for (const AxisMove& m : SingleAxisMoves())
            if (m.axis == 2 && m.start == kFeedStart) out.push_back(m.delta / scenario.pulsesZ);
        return out;
    }
    std::vector<std::int32_t> A1Moves() {
        std::vector<std::int32_t> out;
        for (const AxisMove& m : SingleAxisMoves())
            if (m.axis == 4) out.push_back(m.delta);
        return out;
    }

    std::vector<DrillHole> holes;
    sim::Scenario scenario;
    int boardCount = 1;
};

TEST_F(DrillingRunWorld, TwoBoardsAreDrilledWholeInEveryCellInUse) {
    boardCount = 2;
    Machine();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    // Three truncated terms per axis: within 0.05 mm; every hole left with the drill up.
    EXPECT_TRUE(LedgerMatchesHoles(world().ledger(), Expected({{0, 1, 2}, {0, 1, 2}, {0, 1, 2}}, 2), 0.05));
    // Each hole's feed strokes, six passes over the list.
    const std::vector<double> perList = {1, 1, 1, 0.5, 0.5, 0.5, 0.5, 0.2, 1, 0.8};
    std::vector<double> want;
    for (int pass = 0; pass < 6; ++pass) want.insert(want.end(), perList.begin(), perList.end());
    EXPECT_EQ(FeedStrokes(), want);
    // Every Z move at the row's speeds: the feed stroke starts with the feed start
    // speed and runs with the retract run speed, the others at the retract speeds.
    std::int64_t netZ = 0;
    for (const AxisMove& m : SingleAxisMoves()) {
        if (m.axis != 2) continue;
        netZ += m.delta;
        EXPECT_TRUE(m.start == kFeedStart || m.start == kRetractStart) << m.start;
        EXPECT_EQ(m.run, kRetractRun);
    }
    EXPECT_EQ(netZ, 0);
    // A1 down at the start (manual speeds), up at the run end and once more by the
    // common end (placement speeds).
    EXPECT_EQ(A1Moves(), (std::vector<std::int32_t>{-6400, 10000, 10000}));
    const auto moves = SingleAxisMoves();
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.front().start, 14);
    EXPECT_EQ(moves.back().start, 60);
    // Parked and homed.
    EXPECT_EQ(Count(0x02), 1);
    EXPECT_TRUE(g_Homed.load());
    EXPECT_EQ(ThePartList().CountLabel().find("2") != std::string::npos, true) << ThePartList().CountLabel();
}

TEST_F(DrillingRunWorld, RunFromTheCurrentRowStartsThereInTheFirstCellOnly) {
    Machine();
    if (HasFatalFailure()) return;
    const int drill = static_cast<int>(JobList::Drill);
    ThePartList().m_RunFromRow[drill] = 1;
    {
        const auto lock = ThePartList().Hold();
        ThePartList().m_DrillItem = 1;
    }
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_TRUE(LedgerMatchesHoles(world().ledger(), Expected({{1, 2}, {0, 1, 2}, {0, 1, 2}}), 0.05));
    EXPECT_EQ(ThePartList().m_RunFromRow[drill].load(), 0);
}

TEST_F(DrillingRunWorld, OnlySelectedRowsAreDrilled) {
    Machine();
    if (HasFatalFailure()) return;
    ThePartList().SetSelected(JobList::Drill, 1, true);
    ThePartList().m_RunSelectedOnly[static_cast<int>(JobList::Drill)] = 1;
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_TRUE(LedgerMatchesHoles(world().ledger(), Expected({{1}, {1}, {1}}), 0.05));
}

// A row whose pecks would never end is refused before its Z moves, by name; the
// rows before it are drilled and the run ends without parking or homing.
class DrillingRunEndless : public DrillingRunWorld, public ::testing::WithParamInterface<double> {};

TEST_P(DrillingRunEndless, RowIsRefusedBeforeItsZMoves) {
    holes[1].feed = GetParam();
    Machine();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_NE(boxes.Texts()[0].find("never end"), std::string::npos) << boxes.Texts()[0];
    EXPECT_NE(boxes.Texts()[0].find("Row: 2 (2)"), std::string::npos) << boxes.Texts()[0];
    EXPECT_TRUE(LedgerMatchesHoles(world().ledger(), Expected({{0}, {}, {}}), 0.05));
    EXPECT_EQ(FeedStrokes(), (std::vector<double>{1, 1, 1, 0.5}));
    EXPECT_EQ(Count(0x02), 0);
    // Only the common end's A1 move follows the start's.
    EXPECT_EQ(A1Moves(), (std::vector<std::int32_t>{-6400, 10000}));
    EXPECT_FALSE(g_Running.load());
    EXPECT_EQ(ThePartList().m_SmtBusy.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Feeds, DrillingRunEndless, ::testing::Values(0.0, -1.0));

TEST_F(DrillingRunWorld, StopDuringTheFirstMoveEndsWithoutZMovesParkOrHoming) {
    Machine();
    if (HasFatalFailure()) return;
    sim->faults().HoldNext(0x53);
    ASSERT_TRUE(OnStartRun(ThePartList()));
    ASSERT_TRUE(WaitUntil([&] { return sim->faults().Held().has_value(); }));
    OnStopRun();
    sim->faults().Release();
    ASSERT_TRUE(WaitUntil([] { return LiveRunThreads() == 0 && !g_Running.load(); }));
    EXPECT_EQ(Count(0x53), 1);
    EXPECT_EQ(Count(0x02), 0);
    EXPECT_TRUE(world().ledger().Of(sim::LedgerKind::Hole).empty());
    EXPECT_EQ(A1Moves(), (std::vector<std::int32_t>{-6400, 10000}));
}

// A lost reply of an A1 move, at the run's start or at its end, ends the run at
// once as every other command's does: the one message, nothing more tried over the
// lost link (no hole, no park, no homing, not the common end's A1 move).
TEST_F(DrillingRunWorld, ALostA1ReplyEndsTheRunWithOneMessage) {
    using namespace std::chrono_literals;
    // One hole a cell: the start's A1 move, ten Z moves in each of the three cells,
    // then the end's A1 move (the 32nd single-axis move).
    holes = {holes[2]};
    for (const bool atEnd : {false, true}) {
        SCOPED_TRACE(atEnd ? "at the end" : "at the start");
        Machine();
        if (HasFatalFailure()) return;
        boxes.Clear();
        machine().ClearRecords();
        SetWaitLimitOverride(WaitKind::Move, 1500ms);
        if (!atEnd) sim->faults().DropNext(0x61);
        if (atEnd) sim->faults().HoldNext(0x61, 60000);
        ASSERT_TRUE(OnStartRun(ThePartList()));
        // Held one by one; the 32nd's reply, once let go, is dropped.
        for (int k = 1; atEnd && k <= 32; ++k) {
            ASSERT_TRUE(WaitUntil([&] { return sim->faults().Held().has_value(); }, std::chrono::seconds(60))) << k;
            const int ended = sim->faults().HoldsEnded();
            if (k == 32) sim->faults().DropNext(0x61);
            sim->faults().Release();
            if (k < 32) sim->faults().HoldNext(0x61, 60000);
            ASSERT_TRUE(WaitUntil([&] { return sim->faults().HoldsEnded() > ended; }));
        }
        ASSERT_TRUE(WaitUntil([] { return LiveRunThreads() == 0 && !g_Running.load() && !HomingInProgress(); },
                              std::chrono::seconds(60)));
        SetWaitLimitOverride(WaitKind::Move, 0ms);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{NoAnswerText(CommandCaption(0x61))});
        std::vector<std::string> tried;
        for (const auto& t : Traces())
            if (t.find("->link lost") != std::string::npos) tried.push_back(t);
        EXPECT_EQ(tried, std::vector<std::string>{});
        EXPECT_EQ(A1Moves(), atEnd ? (std::vector<std::int32_t>{-6400, 10000}) : std::vector<std::int32_t>{-6400});
        EXPECT_EQ(Count(0x53), atEnd ? 3 : 0);  // the holes' moves, no park
        EXPECT_EQ(Count(0x02), 0);
        EXPECT_EQ(world().ledger().Of(sim::LedgerKind::Hole).size(), atEnd ? 3u : 0u);
        EXPECT_FALSE(g_Running.load());
        EXPECT_EQ(ThePartList().m_SmtBusy.load(), 0);
        TearDown();
        SetUp();
        holes = {holes[2]};
    }
}

} // namespace
} // namespace smt::test
