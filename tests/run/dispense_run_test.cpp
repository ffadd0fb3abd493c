// Dispensing and check runs against the simulated world: the dots the world
// records (board, cell, position, valve, depth) against the dispensing list, for
// the machine types' own dispensing drives and valves, both stroke forms; the
// second form's Z range; run mode 2 handing the board to the placement run; and
// the strokes' fields with known answers.
#include <algorithm>
#include <cmath>
#include <map>

#include "placement_run_fixture.h"
#include "run/conveyor_companion.h"
#include "run/dispense_run.h"
#include "run/eight_head_run.h"
#include "settings/pulse_settings.h"

namespace smt::test {
namespace {

// One dispensing point of the job: cell-frame X/Y (mm), Z depth and the valve
// heights (mm, below the board as negative Z).
struct DisPoint {
    const char* name;
    double x, y, z, open, close;
};

class DispenseRunWorld : public PlacementRunWorld {
protected:
    static constexpr double kDispenserX = 15.5, kDispenserY = -7.25;

    void SetUp() override {
        PlacementRunWorld::SetUp();
        // Close beneath the depth, beyond it, and 0 (both: the full depth).
        points = {{"D1", 6, 5, -2.5, 0.5, 1.0}, {"D2", 18, 12, -1.2, 0.3, 5.0}, {"D3", 30, 27, -3.0, 0.0, 0.0}};
    }
    void TearDown() override {
        RunThreadEntry(RunThreadKind::DispenseAndCheck) = nullptr;
        RunThreadEntry(RunThreadKind::EightHead) = nullptr;
        PlacementRunWorld::TearDown();
    }

    // The machine with the world's dispenser, the job's dispensing list and the run mode.
    void Dispenser(const RunSetup& r, int runMode, bool mode2) {
        scenario = World(r);
        scenario.dispenserOffset = {kDispenserX, kDispenserY};
        StartWorld(r.type, scenario, r.serial, !r.serial, r.vision);
        if (HasFatalFailure()) return;
        ResetCommandWorld(r.serial);
        Program(r);
        // Pick heights below the feeder top (negative), so that a rocker's pick
        // stroke goes down with its first nozzle.
        std::vector<std::string> lines{"1\tG\t", "G\td\t4\t"};
        for (int f = 1; f <= 4; ++f) {
            std::vector<std::string> cells = SplitRow(FeederLineOf(f, r));
            cells[22] = "-5";
            lines.push_back(JoinRow(cells));
        }
        for (int f = 1; f <= 4; ++f) lines.push_back("0\t0\t0\t0\t0.0000\t0.0000\t");
        ReadTable(TheFeedGroupTable(), lines);
        TheFeedGroupTable().SetOpenGroupName("G");
        BasicSettings& b = TheBasicSettings();
        b.m_X_DropsGlueToNozzle1 = kDispenserX, b.m_Y_DropsGlueToNozzle1 = kDispenserY;
        b.m_Z_Limit = -2.8;
        SmtStrategyConfig c = TheSmtStrategy().Config();
        c.m_RunSelect = runMode;
        c.m_bDisMode2 = mode2 ? 1 : 0;
        c.m_DisSpeedStart_Z = 7, c.m_DisSpeedNormal_Z = 70;
        TheSmtStrategy().SetConfig(c);
        std::vector<JobRow> rows;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const DisPoint& p = points[i];
            JobRow row(CellCount(JobList::Dis));
            row.cells[0] = std::to_string(i + 1);
            row.cells[1] = FormatC("%0.4f", p.x), row.cells[2] = FormatC("%0.4f", p.y);
            row.cells[3] = FormatC("%0.4f", p.z);
            row.cells[kDisFlagCell] = "Yes";
            row.cells[5] = FormatC("%0.4f", p.open), row.cells[6] = FormatC("%0.4f", p.close);
            row.cells[7] = "3", row.cells[8] = "4", row.cells[9] = "5";
            rows.push_back(row);
        }
        ThePartList().SetRows(JobList::Dis, rows);
        RunThreadEntry(RunThreadKind::DispenseAndCheck) = [] { DispenseAndCheckRunThread(); };
        RunThreadEntry(RunThreadKind::EightHead) = [] { EightHeadRunThread(); };
        ConnectToWorld(r.serial);
        if (HasFatalFailure()) return;
        g_PanelLink.zCheckMask = r.type == 7 ? 0xFF : 3;  // every head up, as the board answers
        InstallHomingOf(r.type);
        if (r.marks) {
            // The board's marks seen through the panel's ordinary camera.
            g_HighSpeedCamera = 0;
            TheVideoSourcePort().count = [] { return 1; };
            TheVideoSourcePort().make = [w = &world()] { return std::make_unique<WorldMarkVideo>(w); };
            ASSERT_TRUE(TheSetView().OpenCamera(false, 1, 0));
        }
        hooks.Take();
    }

    // Every point in every cell in use (cells 0, 2, 3) of each of `boards` boards, by `valve`.
    std::vector<ExpectedPoint> Expected(int valve, std::size_t upTo = 99, int boards = 1) {
        std::vector<ExpectedPoint> want;
        for (int board = 0; board < boards; ++board)
            for (int cell : {0, 2, 3})
                for (std::size_t i = 0; i < points.size() && i < upTo; ++i)
                    want.push_back({points[i].name, board, cell, points[i].x, points[i].y, valve, -points[i].z});
        return want;
    }

    std::vector<DisPoint> points;
};

struct DispenseCase {
    const char* name;
    int type;
    bool serial;
    bool mode2;  // m_bDisMode2: 0x58 instead of 0x68
    int valve;   // the valve the world sees: the output, or 0x58's head code
};

class DispensingTypes : public DispenseRunWorld, public ::testing::WithParamInterface<DispenseCase> {};

TEST_P(DispensingTypes, EveryPointOfEveryCellIsDispensedByTheTypesValve) {
    const DispenseCase& p = GetParam();
    if (p.mode2) points[2].z = -2.75;  // within the Z limit of -2.8 mm
    Dispenser({p.type, 0, false, false, false, p.serial}, 1, p.mode2);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(LedgerMatchesDispensing(world().ledger(), Expected(p.valve), 0.05)) << sim->Command("log 12");
    EXPECT_TRUE(world().ledger().Of(sim::LedgerKind::Place).empty());
    EXPECT_TRUE(g_Homed.load());
}

INSTANTIATE_TEST_SUITE_P(
    TypesAndStrokes, DispensingTypes,
    ::testing::Values(DispenseCase{"Type1Plain", 1, true, false, 2}, DispenseCase{"Type3Plain", 3, true, false, 4},
                      DispenseCase{"Type6Plain", 6, true, false, 2}, DispenseCase{"Type7Plain", 7, false, false, 0x2F},
                      DispenseCase{"Type1Second", 1, true, true, 2}, DispenseCase{"Type7Second", 7, false, true, 0x2F}),
    [](const auto& info) { return std::string(info.param.name); });

// The board lies shifted and turned: its marks are read first and every dot of every
// cell in use lands on the true board (its places in the cells' frames are the list's).
class DispensingOnAMarkedBoard : public DispenseRunWorld, public ::testing::WithParamInterface<DispenseCase> {};

TEST_P(DispensingOnAMarkedBoard, EveryDotLandsOnTheTrueBoard) {
    const DispenseCase& p = GetParam();
    if (p.mode2) points[2].z = -2.75;
    Dispenser({.type = p.type, .marks = true, .serial = p.serial}, 1, p.mode2);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_NEAR(g_BoardRotation.load(), kTurn, 0.05);
    EXPECT_TRUE(LedgerMatchesDispensing(world().ledger(), Expected(p.valve), 0.05));
    EXPECT_TRUE(world().ledger().Of(sim::LedgerKind::Place).empty());
}

INSTANTIATE_TEST_SUITE_P(TypesAndStrokes, DispensingOnAMarkedBoard,
                         ::testing::Values(DispenseCase{"Type1Plain", 1, true, false, 2},
                                           DispenseCase{"Type3Second", 3, true, true, 4},
                                           DispenseCase{"Type7Plain", 7, false, false, 0x2F}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DispenseRunWorld, ADepthBeyondTheZLimitStopsTheSecondFormWithItsMessage) {
    // D3 at -3 mm lies below the limit of -2.8 mm: D1 and D2 of the first cell only.
    Dispenser({1, 0, false, false, false, true}, 1, true);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Z Pos Error !");
    std::vector<ExpectedPoint> want;
    for (std::size_t i = 0; i < 2; ++i) want.push_back({points[i].name, 0, 0, points[i].x, points[i].y, 2, -points[i].z});
    EXPECT_TRUE(LedgerMatchesDispensing(world().ledger(), want, 0.05));
    EXPECT_FALSE(g_Running.load());
}

TEST_F(DispenseRunWorld, AStopDuringAStrokeEndsTheRunWithoutParkOrHoming) {
    Dispenser({3, 0, false, false, false, true}, 1, false);
    if (HasFatalFailure()) return;
    sim->faults().HoldNext(0x68, 20'000);  // the first dot's stroke
    ASSERT_TRUE(OnStartRun(ThePartList()));
    ASSERT_TRUE(WaitUntil([&] { return sim->faults().Held().has_value(); }));
    OnStopRun();
    sim->faults().Release();
    ASSERT_TRUE(WaitUntil([] { return LiveRunThreads() == 0 && !g_Running.load(); }));
    EXPECT_EQ(world().ledger().Of(sim::LedgerKind::Dispense).size(), 1u);
    int homings = 0, strokes = 0;
    for (const auto& f : machine().Frames()) homings += f.code == 0x02, strokes += f.code == 0x68;
    EXPECT_EQ(homings, 0);
    EXPECT_EQ(strokes, 1);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
}

TEST_F(DispenseRunWorld, RunModeTwoWithoutConveyorDispensesTheBoardThenPlacesItFromRowZero) {
    Dispenser({1, 0, false, false, false, true}, 2, false);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(LedgerMatchesDispensing(world().ledger(), Expected(2), 0.05));
    const auto check = RunCheckPasses();
    EXPECT_TRUE(check) << world().ledger().Text() << sim->Command("log 20");
    // Placed by nozzle 1: the dispensing pass gives record 1 back its head.
    for (const auto& e : world().ledger().Of(sim::LedgerKind::Place)) EXPECT_EQ(e.nozzle, 1) << e.Text();
    // Every dot before the first pick.
    const auto entries = world().ledger().Entries();
    std::size_t lastDot = 0, firstPick = entries.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].kind == sim::LedgerKind::Dispense) lastDot = i;
        if (entries[i].kind == sim::LedgerKind::Pick && firstPick == entries.size()) firstPick = i;
    }
    EXPECT_LT(lastDot, firstPick);
}

// ---- run mode 2 with the conveyor: board by board ---------------------------------

class DispenseThenPlaceWithConveyor : public DispenseRunWorld {
protected:
    void TearDown() override {
        TheAutoTransport().m_ClampState = 0;
        RunThreadEntry(RunThreadKind::ConveyorZone2) = nullptr;
        DispenseRunWorld::TearDown();
    }
    // Type 7 on Ethernet: the eight-head run places what the dispensing run
    // dispensed (nozzle 8 is the dispenser's, so the rows go to nozzles 1..4). Each
    // board the conveyor brings is a board of its own in the world (one more waits
    // at the input).
    void Start(int boards) {
        Dispenser({.type = 7, .headMode = 6, .serial = false, .conveyorBoards = boards}, 2, false);
        if (HasFatalFailure()) return;
        AutoTransportConfig c;
        c.m_ConveyorStartSpeed = 10, c.m_ConveyorNormalSpeed = 20, c.m_ClampTime = 5, c.m_WaitTimeOut = 3000;
        c.m_AutoTransport_1_1 = 10, c.m_AutoTransport_2_1 = 250, c.m_AutoTransport_3_1 = 4;
        c.m_AutoTransport = 1;
        TheAutoTransport().SetConfig(c);
        RunThreadEntry(RunThreadKind::ConveyorZone2) = [] { ConveyorZone2Thread(); };
        // The camera waits between boards over a point within the travel.
        TheBasicSettings().m_X_StopPosition = 150, TheBasicSettings().m_Y_StopPosition = -100;
        boardCount = boards;
        // Each cell of each board starts its cycle at nozzle 1.
        std::map<std::pair<int, int>, int> yesIndex;
        for (auto& t : expected) t.head = yesIndex[{t.board, t.cell}]++ % 8 + 1;
    }
    // The ledger's dispense dots and places in order, runs of one kind as one letter.
    std::string Order() {
        std::string out;
        for (const auto& e : world().ledger().Entries()) {
            const char k = e.kind == sim::LedgerKind::Dispense ? 'D' : e.kind == sim::LedgerKind::Place ? 'P' : 0;
            if (k && (out.empty() || out.back() != k)) out += k;
        }
        return out;
    }
    std::size_t Count(sim::LedgerKind kind) { return world().ledger().Of(kind).size(); }
};

TEST_F(DispenseThenPlaceWithConveyor, BoardsAlternateBetweenDispensingAndPlacing) {
    Start(2);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    // Each board dispensed, then placed, on its own.
    EXPECT_EQ(Order(), "DPDP");
    EXPECT_TRUE(LedgerMatchesDispensing(world().ledger(), Expected(0x2F, 99, 2), 0.05));
    const auto check = RunCheckPasses();
    EXPECT_TRUE(check) << check.message();
    EXPECT_EQ(Count(sim::LedgerKind::Dispense), 18u);
    EXPECT_EQ(Count(sim::LedgerKind::Place), 24u);
    EXPECT_EQ(boardCount.load(), 0);
    EXPECT_EQ(LiveRunThreads(), 0);
}

TEST_F(DispenseThenPlaceWithConveyor, APlacementFailureEndsBothAndNoBoardIsDispensedTwice) {
    Start(2);
    if (HasFatalFailure()) return;
    {
        auto lock = world().Lock();
        world().faults().lostBeforeCamera = 5;  // the first cycle's four parts and the replenished one
    }
    boxes.Push(plat::MsgAnswer::No);
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(Order(), "D");
    EXPECT_TRUE(LedgerMatchesDispensing(world().ledger(), Expected(0x2F), 0.05));
    EXPECT_EQ(Count(sim::LedgerKind::Dispense), 9u);
    EXPECT_EQ(LiveRunThreads(), 0);
    EXPECT_FALSE(g_Running.load());
}

// ---- the check runs --------------------------------------------------------------

struct CheckCase {
    int mode;
    int moves64, moves65, strokes68, single61;  // commands of the whole run
    int glueOn;                                  // output 2 switched on
    const char* name;
};

// What the world saw of a check run, judged against the rows meant (`rows`, in the
// job's order: the rows of each cell worked): where the empty nozzle came down (the
// nozzle simulation and the glue: each row once, to its depth, by nozzle 1), where
// the mark camera looked (over each row once, over each row's feeder in the job's
// order, then the park), and that nothing was picked, placed or dispensed.
class CheckRunWorld : public DispenseRunWorld {
protected:
    ::testing::AssertionResult WorldSawTheRows(int mode, const std::vector<sim::RowTarget>& rows) {
        std::string out;
        const sim::Ledger& ledger = world().ledger();
        for (sim::LedgerKind kind : {sim::LedgerKind::Pick, sim::LedgerKind::Place, sim::LedgerKind::Dropped,
                                     sim::LedgerKind::Dispense, sim::LedgerKind::Miss})
            for (const auto& e : ledger.Of(kind)) out += "not meant: " + e.Text() + "\n";
        // The empty nozzle's strokes: the simulated place lets go at the row's release
        // depth; the glue goes down by the glue height with the valve open.
        const bool touches = mode == 3 || mode == 8;
        std::vector<sim::PointTarget> down;
        for (const sim::RowTarget& t : WithDepths(rows)) {
            sim::PointTarget p;
            p.name = t.name, p.board = t.board, p.cell = t.cell, p.x = t.x, p.y = t.y;
            p.valve = mode == 8 ? 2 : 0;
            p.depth = mode == 8 ? -TheBasicSettings().m_Z_DropsGlueToPCBHeight : *t.releaseDepth;
            if (touches) down.push_back(p);
        }
        const auto touched = ledger.Of(sim::LedgerKind::Touch);
        const sim::PointCheckResult strokes = sim::CheckPoints(touched, down, 0.05);
        if (!strokes.Passed()) out += strokes.Table("touch");
        for (const auto& e : touched)
            if (e.nozzle != 1 || e.command != (mode == 8 ? 0x03 : 0x68)) out += "touch by another nozzle or command: " + e.Text() + "\n";
        // The mark camera: over the rows in modes 4 and 5; over each row's feeder in
        // modes 5 to 7; the last look is the park.
        std::vector<sim::LedgerEntry> onBoard, offBoard;
        for (const auto& e : ledger.Of(sim::LedgerKind::Look)) (e.board >= 0 ? onBoard : offBoard).push_back(e);
        if (offBoard.empty()) return ::testing::AssertionFailure() << out << "no park\n";
        offBoard.pop_back();
        if (mode >= 4 && mode <= 7) {
            std::vector<sim::PointTarget> over;
            for (const sim::RowTarget& t : rows) {
                sim::PointTarget p;
                p.name = t.name, p.board = t.board, p.cell = t.cell, p.x = t.x, p.y = t.y;
                if (mode <= 5) over.push_back(p);
            }
            const sim::PointCheckResult looks = sim::CheckPoints(onBoard, over, 0.05);
            if (!looks.Passed()) out += looks.Table("look");
            const std::size_t feeders = mode == 4 ? 0 : rows.size();
            if (offBoard.size() != feeders)
                out += std::to_string(offBoard.size()) + " looks off the board, " + std::to_string(feeders) + " meant\n";
            for (std::size_t i = 0; i < std::min(offBoard.size(), feeders); ++i) {
                const sim::Vec want = scenario.feeders[static_cast<std::size_t>(rows[i].feeder)].pick;
                const sim::Vec got = offBoard[i].machine;
                if (std::hypot(got.x - want.x, got.y - want.y) > 0.05)
                    out += "look " + std::to_string(i) + " at " + std::to_string(got.x) + " " + std::to_string(got.y) +
                           ", not over the feeder of " + rows[i].name + "\n";
            }
        }
        if (out.empty()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << out;
    }
    // The rows of the cells `cells` whose job rows are in `jobRows` (empty: all), in order.
    std::vector<sim::RowTarget> Meant(const std::vector<int>& cells, const std::vector<int>& jobRows = {}) const {
        std::vector<sim::RowTarget> out;
        for (const sim::RowTarget& t : expected)
            if (std::find(cells.begin(), cells.end(), t.cell) != cells.end() &&
                (jobRows.empty() || std::find(jobRows.begin(), jobRows.end(), t.row) != jobRows.end()))
                out.push_back(t);
        return out;
    }
};

class CheckModes : public CheckRunWorld, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckModes, EachModeWorksItsPointsAndEnds) {
    const CheckCase& c = GetParam();
    Dispenser({1, 0, false, false, false, true}, c.mode, false);
    if (HasFatalFailure()) return;
    // The glue goes down by the glue height and comes back by the place height.
    TheBasicSettings().m_Z_DropsGlueToPCBHeight = -7.8;
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    int n64 = 0, n65 = 0, n61 = 0, glue = 0;
    std::vector<std::vector<std::uint8_t>> strokes;
    for (const auto& f : machine().Frames()) {
        if (!f.accepted) continue;
        n64 += f.code == 0x64, n65 += f.code == 0x65, n61 += f.code == 0x61;
        if (f.code == 0x68) strokes.push_back(f.data);
        if (f.code == 0x03 && f.data.size() >= 2 && f.data[0] == 2 && f.data[1] == 1) ++glue;
    }
    EXPECT_EQ(n64, c.moves64);  // with the park at the end
    EXPECT_EQ(n65, c.moves65);
    EXPECT_EQ(static_cast<int>(strokes.size()), c.strokes68);
    EXPECT_EQ(n61, c.single61);
    EXPECT_EQ(glue, c.glueOn);
    // The simulated placement strokes with the vacuum check off (serial threshold byte).
    for (const auto& d : strokes) EXPECT_EQ(d.at(13), 0);
    EXPECT_TRUE(world().ledger().Of(sim::LedgerKind::Place).empty());
    EXPECT_TRUE(world().ledger().Of(sim::LedgerKind::Dispense).empty());
    EXPECT_EQ(g_PulseZ[0].load(), 0);
    EXPECT_TRUE(g_Homed.load());
    // Modes 6 and 7 work the first cell only.
    const auto rows = c.mode == 6 || c.mode == 7 ? Meant({0}) : Meant({0, 2, 3});
    EXPECT_TRUE(WorldSawTheRows(c.mode, rows));
}

// Four rows in three cells; modes 6 and 7 only the first cell.
INSTANTIATE_TEST_SUITE_P(
    RunModes, CheckModes,
    ::testing::Values(CheckCase{3, 1, 12, 12, 0, 0, "NozzleSimulation"}, CheckCase{4, 13, 0, 0, 0, 0, "CameraOverRows"},
                      CheckCase{5, 25, 0, 0, 0, 0, "CameraOverFeedersAndRows"},
                      CheckCase{6, 5, 0, 0, 0, 0, "FeedAndCameraFirstCell"},
                      CheckCase{7, 5, 0, 0, 0, 0, "CameraOverFeedersFirstCell"},
                      CheckCase{8, 1, 12, 0, 24, 12, "GlueInjection"}),
    [](const auto& info) { return std::string(info.param.name); });

// Check runs of the selected rows, or from the list's current row: the rows meant,
// each once. From a row, the first cell starts at it and the later cells are whole.
struct PartialCheckCase {
    const char* name;
    int mode;
    bool selectedOnly;  // else from the current row
};

class PartialCheckRuns : public CheckRunWorld, public ::testing::WithParamInterface<PartialCheckCase> {};

TEST_P(PartialCheckRuns, TheWorldSeesExactlyTheRowsMeant) {
    const PartialCheckCase& c = GetParam();
    Dispenser({1, 0, false, false, false, true}, c.mode, false);
    if (HasFatalFailure()) return;
    TheBasicSettings().m_Z_DropsGlueToPCBHeight = -7.8;
    PartListStore& list = ThePartList();
    std::vector<sim::RowTarget> rows;
    if (c.selectedOnly) {
        list.m_RunSelectedOnly[static_cast<int>(JobList::Part)] = 1;
        for (int row = 0; row < static_cast<int>(parts.size()); ++row) list.SetSelected(JobList::Part, row, row == 1 || row == 4);
        rows = c.mode == 6 || c.mode == 7 ? Meant({0}, {1, 4}) : Meant({0, 2, 3}, {1, 4});
    } else {
        list.m_RunFromRow[static_cast<int>(JobList::Part)] = 1;
        {
            const auto lock = list.Hold();
            list.m_PartItem = 3;  // R3
        }
        rows = Meant({0}, {3, 4});
        if (c.mode != 6 && c.mode != 7)
            for (const auto& t : Meant({2, 3})) rows.push_back(t);
    }
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(WorldSawTheRows(c.mode, rows));
    EXPECT_EQ(list.m_RunSelectedOnly[static_cast<int>(JobList::Part)].load(), 0);  // cleared by the run's end
    EXPECT_EQ(list.m_RunFromRow[static_cast<int>(JobList::Part)].load(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    RunModes, PartialCheckRuns,
    ::testing::Values(PartialCheckCase{"NozzleSimulationOfSelectedRows", 3, true},
                      PartialCheckCase{"CameraOverSelectedRows", 4, true},
                      PartialCheckCase{"CameraOverFeedersAndRowsFromARow", 5, false},
                      PartialCheckCase{"CameraOverFeedersFirstCellFromARow", 7, false},
                      PartialCheckCase{"GlueInjectionFromARow", 8, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the strokes' fields --------------------------------------------------------

JobRow DisRow(double z, double open, double close) {
    JobRow row(CellCount(JobList::Dis));
    row.cells[3] = FormatC("%0.4f", z);
    row.cells[5] = FormatC("%0.4f", open);
    row.cells[6] = FormatC("%0.4f", close);
    row.cells[7] = "31", row.cells[8] = "42", row.cells[9] = "53";
    return row;
}

TEST(DispenseStrokes, PlainStrokeClosesAtItsHeightOrTheFullDepth) {
    const DispenseStrokeSettings s{7, 70, 100.0, -400};
    const struct {
        double z, close;
        std::int32_t depth, w;
    } cases[] = {
        {-2.5, 1.0, 250, 100},   // beneath the depth
        {-1.2, 5.0, 120, 120},   // beyond it: the full depth
        {-3.0, 0.0, 300, 300},   // 0: the full depth
        {-3.0, -0.5, 300, 300},  // negative: the full depth
        {2.0, 1.5, 200, 150},    // a positive Z strokes by its size
    };
    for (const auto& c : cases) {
        const PlaceStrokeArgs p = BuildPlainDispenseStroke(DisRow(c.z, 0, c.close), DispensingToolOf(3), s);
        EXPECT_EQ(p.axis, 3) << c.z;
        EXPECT_EQ(p.depth, c.depth) << c.z;
        EXPECT_EQ(p.w, c.w) << c.z << " " << c.close;
        EXPECT_EQ(p.speed.start, 7);
        EXPECT_EQ(p.speed.run, 70);
        EXPECT_EQ(p.delay, 31);
        EXPECT_EQ(p.threshold, 0);
    }
}

TEST(DispenseStrokes, SecondFormKeepsZWithinTheLimitAndClampsOpenAndClose) {
    const DispenseStrokeSettings s{7, 70, 100.0, -400};
    const struct {
        double z, open, close;
        bool sent;
        std::int32_t depth, a;
        std::uint16_t t3;
    } cases[] = {
        {-2.5, 0.5, 1.0, true, 250, 100, 50},  // both within the depth
        {-2.5, 3.0, 1.0, true, 250, 100, 0},   // open beyond the depth: 0
        {-2.5, 0.5, 3.0, true, 250, 0, 50},    // close beyond the depth: 0
        {-2.5, 1.5, 1.0, true, 250, 0, 150},   // close under open: 0
        {-4.0, 0.0, 0.0, true, 400, 0, 0},     // at the limit
        {0.0, 0.0, 0.0, true, 0, 0, 0},        // at 0
        {-4.01, 0.0, 0.0, false, 0, 0, 0},     // below the limit
        {0.5, 0.0, 0.0, false, 0, 0, 0},       // above 0
    };
    for (const auto& c : cases) {
        const auto d = BuildDispenseStroke(DisRow(c.z, c.open, c.close), DispensingToolOf(7), s);
        ASSERT_EQ(d.has_value(), c.sent) << c.z;
        if (!d) continue;
        EXPECT_EQ(d->axis, 0x27);
        EXPECT_EQ(d->kind, 0x2F);
        EXPECT_EQ(d->depth, c.depth) << c.z;
        EXPECT_EQ(d->start, 7);
        EXPECT_EQ(d->run, 70);
        EXPECT_EQ(d->a, c.a) << c.z << " " << c.open << " " << c.close;
        EXPECT_EQ(d->b, 31);
        EXPECT_EQ(d->t1, 42);
        EXPECT_EQ(d->t2, 53);
        EXPECT_EQ(d->t3, c.t3);
    }
}

TEST(DispenseStrokes, ToolsByMachineTypeAndTheZLimitFromTheLiveSettings) {
    const int types[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    for (int t : types) {
        const DispensingTool tool = DispensingToolOf(t);
        EXPECT_EQ(tool.axis, t == 3 ? 3 : t == 7 ? 0x27 : 2) << t;
        EXPECT_EQ(tool.valve, t == 3 ? 4 : t == 7 ? 0x2F : 2) << t;
    }
    const BasicSettings saved = TheBasicSettings();
    const PulseFactors savedF = ThePulseFactors();
    TheBasicSettings().m_Z_Limit = -12.345;
    ThePulseFactors().m_Z_Pulse = 80;
    EXPECT_EQ(DispenseZLimitPulses(), -987);
    TheBasicSettings() = saved;
    ThePulseFactors() = savedF;
}

} // namespace
} // namespace smt::test
