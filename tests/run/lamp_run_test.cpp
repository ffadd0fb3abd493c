// The lamp-table runs of the double-dispensing machine (type 4, serial) against the
// simulated world: each table carries a board with the lamp points' Marks a little
// off their nominal places; the mark camera on X2 finds them, the glue heads lay
// red glue and two silver points, and in the combined modes the placing heads put
// a part on every point of the table just dispensed.
#include <algorithm>
#include <string>
#include <vector>

#include "placement_run_fixture.h"
#include "joblist/lamp_table.h"
#include "joblist/part_list_texts.h"
#include "link/commands.h"
#include "run/lamp_run.h"
#include "platform/msgbox.h"

namespace smt::test {
namespace {

// Vision camera 1 as the panel's second ordinary camera (the double-table machine
// reads its vision cameras so), drawn where the machine stands at each read.
class WorldVisionVideo : public WorldCameraVideo {
public:
    explicit WorldVisionVideo(sim::World* world) : WorldCameraVideo(world, sim::CameraRole::Vision1) {}
};

struct LampPoint {
    const char* name;
    double markX, markY;     // table 1's nominal Mark (table 2: + kTable2X)
    double pointX, pointY;   // the point from its Mark
    double placeX, placeY;   // the place point's offset
    bool recognise;          // column 7 "Yes"
};

class LampRunWorld : public PlacementRunWorld {
protected:
    static constexpr double kTable2X = 100;  // table 2's board lies right of table 1's
    static constexpr double kBoardX = 50, kBoardY = -200, kBoardSize = 60;
    // How far the true Marks lie from the nominal ones (recognised points only).
    static constexpr double kMarkShiftX = 0.3, kMarkShiftY = -0.2;
    static constexpr double kRedX = 0.25, kRedY = 0.5, kSilver1X = -0.6, kSilver1Y = 0.15, kSilver2X = 0.45,
                            kSilver2Y = -0.35;
    static constexpr double kRedHeight = 1.5, kSilverHeight = 2.25;
    // Each point's place height (the table's Z cell), table 2's its own: a part let go
    // at another point's or table's height shows.
    static constexpr double kPointZ[3] = {0.35, -0.40, 0.55};
    static constexpr double kTable2Z = -0.25;

    void SetUp() override {
        PlacementRunWorld::SetUp();
        points = {{"P0", 60, -190, 2, 3, 0.5, -0.25, true},
                  {"P1", 75, -180, 1.5, -2, -0.5, 0.75, false},
                  {"P2", 90, -165, -3, 4, 0.25, 0.5, true}};
        // The placement list: one row per point, its part from feeder 1 or 2.
        parts = {{"P0", 0, 0, 0, 1}, {"P1", 0, 0, 0, 2}, {"P2", 0, 0, 0, 1}};
    }
    void TearDown() override {
        RunThreadEntry(RunThreadKind::Lamp) = nullptr;
        RunThreadEntry(RunThreadKind::CombinedPlacement) = nullptr;
        WriteLampTableLines2();
        TheLampMachineList().m_Counters = LampCounters{};
        TheRowSearchLookups() = {};
        TheHomingPort() = HomingPort{};
        PlacementRunWorld::TearDown();
    }

    static double TableX(int table) { return table == 2 ? kTable2X : 0.0; }
    double TrueMarkX(const LampPoint& p, int table) const {
        return p.markX + TableX(table) + (p.recognise ? kMarkShiftX : 0.0);
    }
    double TrueMarkY(const LampPoint& p) const { return p.markY + (p.recognise ? kMarkShiftY : 0.0); }

    sim::Scenario LampWorld(bool vision) {
        sim::Scenario s = World(RunSetup{2, 1, false, vision, false, true});
        if (vision) {
            // Picked off in X and Y only; the angle cases at the end add turned picks.
            for (auto& f : s.feeders) f.errAngle = 0;
            // Looking up where the placing head passes (its carriage moves in X alone).
            s.vision[0].position = {200.0, 0.0};
            s.vision[1].position = {240.0, 0.0};
        }
        s.nozzleOffset[1] = {-30.0, 0.75};  // the second placing head
        s.nozzleOffset[4] = {12.0, -6.0};   // glue head 1 on X2
        s.nozzleOffset[5] = {-14.0, -5.5};  // glue head 2 on X2
        s.markCameraOffset = {35.0, 4.0};   // the mark camera on X2
        // Each table carries its own feeders at the same places.
        const std::size_t feeders = s.feeders.size();
        for (std::size_t f = 0; f < feeders; ++f) {
            sim::ScenarioFeeder copy = s.feeders[f];
            copy.table = 2;
            s.feeders.push_back(copy);
        }
        s.boards.clear();
        s.rows.clear();
        for (int t = 1; t <= 2; ++t) {
            sim::ScenarioBoard b;
            b.origin = {kBoardX + TableX(t), kBoardY};
            b.width = b.height = kBoardSize;
            b.table = t;
            s.boards.push_back(b);
            for (const LampPoint& p : points)
                s.tableDiscs[t - 1].push_back(sim::Disc{TrueMarkX(p, t), TrueMarkY(p), 1.0, -1});
        }
        return s;
    }

    void LampTable() {
        WriteLampTableLines2();
        for (std::size_t k = 0; k < points.size(); ++k) {
            const LampPoint& p = points[k];
            LampPointValues v;
            v.m_MarkX = p.markX, v.m_MarkY = p.markY;
            v.m_PointX = p.pointX, v.m_PointY = p.pointY;
            v.m_PointOffsetX = p.placeX, v.m_PointOffsetY = p.placeY;
            v.m_Z = kPointZ[k];
            v.m_StartSpeed = 20, v.m_RunSpeed = 120;
            v.m_Strokes[0] = {kRedX, kRedY, kRedHeight, 0.4, 30, 0.2, 40};
            v.m_Strokes[1] = {kSilver1X, kSilver1Y, kSilverHeight, 0.5, 31, 0.3, 41};
            v.m_Strokes[2] = {kSilver2X, kSilver2Y, kSilverHeight, 0.6, 32, 0.35, 42};
            ASSERT_TRUE(StoreLampPoint(static_cast<int>(k), v));
            const int k2 = 2 * static_cast<int>(k) + 1;
            SetLampCell(k2, 3, FormatC("%0.4f", p.markX + kTable2X));
            SetLampCell(k2, 11, FormatC("%0.4f", kPointZ[k] + kTable2Z));
            // A point without recognition keeps the offsets it has: none here.
            for (int row : {k2 - 1, k2})
                for (int c : {5, 6}) SetLampCell(row, c, p.recognise ? "999" : "0");
        }
    }

    void LampMachine(int mode, int boards, bool vision = false) {
        scenario = LampWorld(vision);
        StartWorld(4, scenario, true, false, false);
        if (HasFatalFailure()) return;
        ResetCommandWorld(true);
        const RunSetup r{2, 1, false, vision, true, true};
        Program(r);
        g_MachineType = 4;
        if (vision) {
            // Measured over the camera with their correction (the flying kind).
            std::vector<std::string> lines{"1\tG\t", "G\td\t4\t"};
            for (int f = 1; f <= 4; ++f) {
                std::string line = FeederLineOf(f, r);
                const auto at = line.find("No/0/100");
                if (at != std::string::npos) line.replace(at, 8, "Yes/0/100");
                lines.push_back(line);
            }
            for (int f = 1; f <= 4; ++f) lines.push_back("0\t0\t0\t0\t0.0000\t0.0000\t");
            ReadTable(TheFeedGroupTable(), lines);
            TheFeedGroupTable().SetOpenGroupName("G");
        }
        for (std::size_t i = 0; i < points.size(); ++i)
            ThePartList().SetCell(JobList::Part, static_cast<int>(i), partcell::Place,
                                  points[i].recognise ? "Yes" : "No");
        // The lamp run finds its next row by feeder bank: every point row is a "Yes"
        // row of the list for it; column 7 marks the recognised ones (see above).
        SmtStrategyConfig c = TheSmtStrategy().Config();
        c.m_RunSelect = mode;
        TheSmtStrategy().SetConfig(c);
        BasicSettings& b = TheBasicSettings();
        b.m_ChangeDelay = 5;
        b.m_Y_ThrowPosition = -280;
        LampTable();
        TheLampMachineList().m_Counters = {boards, 0, boards};
        RunThreadEntry(RunThreadKind::Lamp) = [] { LampRunThread(); };
        RunThreadEntry(RunThreadKind::CombinedPlacement) = [] { CombinedPlacementThread(); };
        TheRowSearchLookups().FindFeederDirection = [](int g, const std::string& f) { return FindFeederDirection(g, f); };
        ConnectToWorld(true);
        if (HasFatalFailure()) return;
        InstallHomingOf(4);
        g_PanelLink.zCheckMask = 3;
        // Mark frames from the panel's ordinary camera, drawn where the machine stands.
        g_HighSpeedCamera = 0;
        const int cameras = vision ? 2 : 1;
        TheVideoSourcePort().count = [cameras] { return cameras; };
        TheVideoSourcePort().make = [w = &world(), made = std::make_shared<int>(0)]() -> std::unique_ptr<VideoSampleSource> {
            if ((*made)++ % 2 == 0) return std::make_unique<WorldMarkVideo>(w);
            return std::make_unique<WorldVisionVideo>(w);
        };
        ASSERT_TRUE(TheSetView().OpenCamera(false, cameras, 0));
        if (vision) {
            Vision();
            g_HighSpeedCamera = 0;
            // The cameras look along nozzle 1's line; head 2's measurement carries
            // its Y offset, which the camera calibration records as its correction.
            CameraRecords(scenario.nozzleOffset[1].y);
        }
        hooks.Take();
    }

    // Each point's three dots on the board of `table` (board index table - 1).
    std::vector<ExpectedPoint> Dots(int table, int times = 1) {
        std::vector<ExpectedPoint> out;
        const double ox = kBoardX + TableX(table), oy = kBoardY;
        for (int n = 0; n < times; ++n)
            for (const LampPoint& p : points) {
                const double x = TrueMarkX(p, table) + p.pointX - ox, y = TrueMarkY(p) + p.pointY - oy;
                auto dot = [&](const char* what, double dx, double dy, int valve, double depth) {
                    ExpectedPoint e;
                    e.name = std::string(p.name) + " " + what + " table " + std::to_string(table);
                    e.board = table - 1;
                    e.x = x + dx, e.y = y + dy;
                    e.valve = valve;
                    e.depth = depth;
                    out.push_back(e);
                };
                dot("red", kRedX, kRedY, 5, kRedHeight);
                dot("silver 1", kSilver1X, kSilver1Y, 6, -kSilverHeight);
                dot("silver 2", kSilver2X, kSilver2Y, 6, -kSilverHeight);
            }
        return out;
    }

    // Each point's part, put down by the head whose slot its row takes: the "Yes" rows
    // fill heads 1 and 2 in turn. Its strokes go as deep as its row's feeder, that
    // head and the point's height on the table (the Z cell of its row there) ask.
    std::vector<ExpectedPart> Places(int table, int times = 1) {
        std::vector<ExpectedPart> out;
        const double ox = kBoardX + TableX(table), oy = kBoardY;
        for (int n = 0; n < times; ++n)
            for (int slot = 0, k = 0; const LampPoint& p : points) {
                const int row = k++;
                if (!p.recognise) continue;  // only "Yes" rows are placed
                ExpectedPart e;
                e.head = slot++ % 2 + 1;
                const double z = AtoF(GetLampCell(2 * row + table - 1, 11));
                const std::optional<StrokeDepths> d = DepthsFor(
                    ThePartList().Cell(JobList::Part, row, partcell::Feeder), e.head, 0, scenario.pulsesZ, z);
                if (d) e.pickDepth = d->pick, e.releaseDepth = d->release;
                else ADD_FAILURE() << "no depths for " << p.name;
                e.name = std::string(p.name) + " table " + std::to_string(table);
                e.board = table - 1;
                e.x = TrueMarkX(p, table) + p.pointX + p.placeX - ox;
                e.y = TrueMarkY(p) + p.pointY + p.placeY - oy;
                out.push_back(e);
            }
        return out;
    }

    // What happened on each board, in ledger order: "D" a run of dispense dots, "P"
    // a run of places.
    std::string Sequence(int board) {
        std::string s;
        for (const auto& e : world().ledger().Entries()) {
            if (e.board != board) continue;
            const char c = e.kind == sim::LedgerKind::Dispense ? 'D' : e.kind == sim::LedgerKind::Place ? 'P' : 0;
            if (c && (s.empty() || s.back() != c)) s += c;
        }
        return s;
    }

    std::string OutputsOf(int channel) {
        std::string s;
        for (const auto& o : machine().OutputLog())
            if (o.channel == channel) s += std::to_string(o.value) + " ";
        return s;
    }

    // The common ends: the run-state signals of state 4 the machine took, less
    // those that ended a homing.
    int Ends() {
        int n = 0;
        for (const auto& f : FramesOf(0x60)) n += !f.data.empty() && f.data[0] == 4;
        return n - Count(0x52);
    }
    bool Ended() {
        return WaitUntil([] { return LiveRunThreads() == 0 && !g_Running.load() && !HomingInProgress(); },
                         std::chrono::seconds(60)) &&
               MachineTookEveryFrame();
    }
    bool RunToTheEnd(std::chrono::seconds limit = std::chrono::seconds(120)) {
        return PlacementRunWorld::RunToTheEnd(limit) && MachineTookEveryFrame();
    }
    // The last frames of a run wait for no answer: the run's vacuum outputs and its
    // run-state signal, and those the end's homing sends when its reply has come
    // (after which the busy flag goes). The run has ended before the machine need
    // have taken them; it takes frames in order, so once an answered command is
    // back it has taken every one before it, and their outputs, discards and signals
    // can be read.
    bool MachineTookEveryFrame() { return ReadVacuum(1); }

    std::vector<LampPoint> points;
};

template <class T>
std::vector<T> Join(std::vector<T> a, const std::vector<T>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(LampRunWorld, Mode9DispensesEveryBoardOnTableOneThenResets) {
    LampMachine(9, 3);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(LedgerMatchesDispensing(world().ledger(), Dots(1, 3), 0.05));
    EXPECT_EQ(Count(0x52), 1);
    const LampCounters c = TheLampMachineList().m_Counters;
    EXPECT_EQ(c.m_CountFinish, 0);
    EXPECT_EQ(c.m_CountUnfinish, 3);
    // The recognised points' offsets in pulses; the other keeps its own.
    EXPECT_NEAR(AtoI(GetLampCell(0, 5)), kMarkShiftX * scenario.pulsesX, 3);
    EXPECT_NEAR(AtoI(GetLampCell(0, 6)), kMarkShiftY * scenario.pulsesY, 3);
    EXPECT_EQ(GetLampCell(2, 5), "0");
    EXPECT_EQ(GetLampCell(1, 5), "999");  // table 2 never worked
    EXPECT_TRUE(world().ledger().Of(sim::LedgerKind::Place).empty());
}

TEST_F(LampRunWorld, Mode10AlternatesTheTablesFromTableOne) {
    LampMachine(10, 3);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(LedgerMatchesDispensing(world().ledger(), Join(Dots(1, 2), Dots(2)), 0.05));
    EXPECT_EQ(Sequence(0), "D");
    EXPECT_EQ(Sequence(1), "D");
    // Y1 first: the first dot of the run lies on table 1's board.
    const auto dots = world().ledger().Of(sim::LedgerKind::Dispense);
    ASSERT_FALSE(dots.empty());
    EXPECT_EQ(dots.front().board, 0);
    EXPECT_EQ(dots[9].board, 1);
    EXPECT_EQ(dots[18].board, 0);
    EXPECT_EQ(Count(0x52), 1);
    EXPECT_NEAR(AtoI(GetLampCell(1, 5)), kMarkShiftX * scenario.pulsesX, 3);
}

TEST_F(LampRunWorld, Mode12WithVisionCorrectsThePickOffsets) {
    LampMachine(12, 2, true);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    // Every part was picked 0.2 mm and more off its nozzle's centre.
    EXPECT_TRUE(LedgerMatchesPlacements(world().ledger(), Join(Places(1), Places(2)), 0.1, 0.25));
    EXPECT_EQ(Sequence(0), "DP");
    EXPECT_EQ(Sequence(1), "DP");
}

// The Mark question: Yes recognises that point again from the first pass; No
// leaves the table's output on and ends the run.
class LampMarkQuestion : public LampRunWorld, public ::testing::WithParamInterface<plat::MsgAnswer> {};

TEST_P(LampMarkQuestion, YesRecognisesAgainNoStopsWithTheOutputOn) {
    const bool yes = GetParam() == plat::MsgAnswer::Yes;
    LampMachine(9, 1);
    if (HasFatalFailure()) return;
    // P0's Mark on table 1 is too large until the question is asked: then the
    // operator has put the right one there.
    const sim::Scenario good = scenario;
    sim::Scenario wrong = scenario;
    wrong.tableDiscs[0][0].diameterMm = 1.6;
    world().SetScenario(wrong);
    const std::string question = PartListText("Message_30");
    const plat::MsgBoxHandler scripted = plat::SetMessageBoxHandler({});
    plat::SetMessageBoxHandler([&](const plat::MsgBoxRequest& r) {
        if (r.text == question) world().SetScenario(good);
        return scripted(r);
    });
    struct Restore {
        plat::MsgBoxHandler h;
        ~Restore() { plat::SetMessageBoxHandler(h); }
    } restore{scripted};
    boxes.Push(GetParam());
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], PartListText("Message_30"));
    if (yes) {
        EXPECT_EQ(OutputsOf(7), "5 5 1 0 ");  // the release pulse, on for the question, off
        EXPECT_TRUE(LedgerMatchesDispensing(world().ledger(), Dots(1), 0.05));
        EXPECT_NEAR(AtoI(GetLampCell(0, 5)), kMarkShiftX * scenario.pulsesX, 3);
        EXPECT_EQ(Count(0x52), 1);
    } else {
        EXPECT_EQ(OutputsOf(7), "5 5 1 ");
        EXPECT_TRUE(world().ledger().Of(sim::LedgerKind::Dispense).empty());
        EXPECT_EQ(Count(0x52), 0);
        EXPECT_EQ(GetLampCell(0, 5), "");
    }
    EXPECT_FALSE(g_Running.load());
}

INSTANTIATE_TEST_SUITE_P(Answers, LampMarkQuestion, ::testing::Values(plat::MsgAnswer::Yes, plat::MsgAnswer::No),
                         [](const ::testing::TestParamInfo<plat::MsgAnswer>& i) {
                             return std::string(i.param == plat::MsgAnswer::Yes ? "Yes" : "No");
                         });

TEST_F(LampRunWorld, Mode11DispensesAndPlacesTableOneInTurn) {
    LampMachine(11, 2);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(LedgerMatchesDispensing(world().ledger(), Dots(1, 2), 0.05));
    EXPECT_TRUE(LedgerMatchesPlacements(world().ledger(), Places(1, 2), 0.1, 0.25));
    EXPECT_EQ(Sequence(0), "DPDP");
    EXPECT_EQ(Sequence(1), "");
    EXPECT_EQ(Count(0x52), 1);
}

TEST_F(LampRunWorld, Mode12DispensesOneTableWhileThePlacesTheOther) {
    LampMachine(12, 3);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(LedgerMatchesDispensing(world().ledger(), Join(Dots(1, 2), Dots(2)), 0.05));
    EXPECT_TRUE(LedgerMatchesPlacements(world().ledger(), Join(Places(1, 2), Places(2)), 0.1, 0.25));
    // Never a place on a table before its dispensing, never a second dispensing
    // before its places.
    EXPECT_EQ(Sequence(0), "DPDP");
    EXPECT_EQ(Sequence(1), "DP");
    EXPECT_EQ(Count(0x52), 1);
    EXPECT_TRUE(g_Homed.load());
}

// ReplenishOnTable after a place whose vacuum check failed: the question with the
// busy flag released; Yes goes on without the part, Cancel picks another and places
// it, No returns the head, resets the machine and ends the run.
class LampReplenish : public LampRunWorld, public ::testing::WithParamInterface<plat::MsgAnswer> {};

TEST_P(LampReplenish, VacuumFailureQuestion) {
    const plat::MsgAnswer answer = GetParam();
    LampMachine(11, 1);
    if (HasFatalFailure()) return;
    {
        auto lock = world().Lock();
        world().faults().keptAtPlace = 1;  // P0's part stays on the nozzle
    }
    const std::string question = PartListText("Message_45");
    std::atomic<int> busyWhileAsked{-1};
    const plat::MsgBoxHandler scripted = plat::SetMessageBoxHandler({});
    plat::SetMessageBoxHandler([&](const plat::MsgBoxRequest& r) {
        if (r.text == question) busyWhileAsked = g_Running.load() ? 1 : 0;
        return scripted(r);
    });
    struct Restore {
        plat::MsgBoxHandler h;
        ~Restore() { plat::SetMessageBoxHandler(h); }
    } restore{scripted};
    boxes.Push(answer);
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], question);
    EXPECT_EQ(busyWhileAsked.load(), 0);
    EXPECT_EQ(Ends(), 1);
    EXPECT_EQ(Count(0x52), 1);  // the normal end's reset, or No's
    EXPECT_TRUE(LedgerMatchesDispensing(world().ledger(), Dots(1), 0.05));
    const auto discards = world().ledger().Of(sim::LedgerKind::Discard);
    std::vector<ExpectedPart> want = Places(1);
    if (answer == plat::MsgAnswer::Cancel) {
        EXPECT_EQ(discards.size(), 1u);  // the kept part; the second is placed
        EXPECT_EQ(world().ledger().Of(sim::LedgerKind::Pick).size(), 3u);
    } else {
        EXPECT_EQ(discards.size(), 1u);
        want.erase(want.begin());  // P0 stays without its part
    }
    EXPECT_TRUE(LedgerMatchesPlacements(world().ledger(), want, 0.1, 0.25));
}

INSTANTIATE_TEST_SUITE_P(Answers, LampReplenish,
                         ::testing::Values(plat::MsgAnswer::Yes, plat::MsgAnswer::No, plat::MsgAnswer::Cancel),
                         [](const ::testing::TestParamInfo<plat::MsgAnswer>& i) {
                             return std::string(i.param == plat::MsgAnswer::Yes  ? "Yes"
                                                : i.param == plat::MsgAnswer::No ? "No"
                                                                                 : "Cancel");
                         });

// A stop while either thread waits for the machine ends both threads through one
// common end, whatever the other waits for; a run started afterwards dispenses
// each table before it places on it.
class LampStop : public LampRunWorld, public ::testing::WithParamInterface<std::uint16_t> {};

TEST_P(LampStop, StopEndsBothThreadsOnce) {
    LampMachine(12, 3);
    if (HasFatalFailure()) return;
    sim->faults().HoldNext(GetParam());
    ASSERT_TRUE(OnStartRun(ThePartList()));
    // The held command may come only after table 1's marks, dots and first picks (the
    // place: 3.5 s under the race checker on a loaded host), so bounded as the end is.
    ASSERT_TRUE(WaitUntil([&] { return sim->faults().Held().has_value(); }, std::chrono::seconds(60)));
    OnStopRun();
    sim->faults().Release();
    ASSERT_TRUE(Ended());
    EXPECT_EQ(Ends(), 1);
    EXPECT_EQ(Count(0x52), 0);
    EXPECT_FALSE(RunThreadLive(RunThreadKind::Lamp));
    EXPECT_FALSE(RunThreadLive(RunThreadKind::CombinedPlacement));
    EXPECT_FALSE(RunThreadLive(RunThreadKind::FeederAdvance));

    // The next run: no hand-off of the stopped one reaches it.
    world().ledger().Clear();
    TheLampMachineList().m_Counters = {2, 0, 2};
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(Sequence(0), "DP");
    EXPECT_EQ(Sequence(1), "DP");
    EXPECT_EQ(Ends(), 2);
}

// 0x53 the dispensing thread's moves, 0x58 its strokes, 0x54 the placing thread's
// table moves, 0x67 its picks, 0x68 its places.
INSTANTIATE_TEST_SUITE_P(Held, LampStop, ::testing::Values(0x53, 0x58, 0x54, 0x67, 0x68),
                         [](const ::testing::TestParamInfo<std::uint16_t>& i) {
                             return "Code" + FormatC("%02X", static_cast<unsigned>(i.param));
                         });

// A command the machine refuses ends the run of both threads once, never a hang.
class LampFailure : public LampRunWorld, public ::testing::WithParamInterface<std::uint16_t> {};

TEST_P(LampFailure, ARefusedCommandEndsBothThreads) {
    LampMachine(12, 3);
    if (HasFatalFailure()) return;
    {
        auto lock = world().Lock();
        world().faults().errorCode = GetParam();
        world().faults().errorAfter = 2;
        world().faults().errorReport = 0xE6;
    }
    ASSERT_TRUE(OnStartRun(ThePartList()));
    ASSERT_TRUE(Ended());
    EXPECT_EQ(Ends(), 1);
    EXPECT_EQ(Count(0x52), 0);
    EXPECT_FALSE(g_Running.load());
}

// 0x58: the dispensing thread's second stroke; 0x67: the placing thread's second pick.
INSTANTIATE_TEST_SUITE_P(Refused, LampFailure, ::testing::Values(0x58, 0x67),
                         [](const ::testing::TestParamInfo<std::uint16_t>& i) {
                             return "Code" + FormatC("%02X", static_cast<unsigned>(i.param));
                         });

// Angles on the board: the parts are picked turned (each feeder its own error, of
// either sign) and their rows ask for angles of their own. Each head turns back to 0
// on its pick move, turns to the row's angle over the camera, and the measured
// correction in the move to the point; every head is used again on later boards, so
// a turn left over from an earlier part shows. The counters the program keeps for
// the heads' rotations end where the board's heads stand.
class LampAngles : public LampRunWorld, public ::testing::WithParamInterface<int> {};

TEST_P(LampAngles, EveryPartLiesAtItsRowAngle) {
    const int mode = GetParam();
    const double rowAngles[] = {30, -60, -45};
    for (std::size_t i = 0; i < parts.size(); ++i) parts[i].angle = rowAngles[i];
    LampMachine(mode, mode == 11 ? 2 : 3, true);
    if (HasFatalFailure()) return;
    const double errors[] = {4.5, -3.5, 2.75, -5.25};
    for (std::size_t f = 0; f < scenario.feeders.size(); ++f) scenario.feeders[f].errAngle = errors[f % 4];
    world().SetScenario(scenario);
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    std::vector<ExpectedPart> want = mode == 11 ? Places(1, 2) : Join(Places(1, 2), Places(2));
    for (ExpectedPart& e : want) e.angle = rowAngles[e.name[1] - '0'];
    EXPECT_TRUE(LedgerMatchesPlacements(world().ledger(), want, 0.1, 0.25));
    // Every pick was turned, and the turn was measured: no part lies at its pick angle.
    for (const auto& e : world().ledger().Of(sim::LedgerKind::Place)) EXPECT_NE(e.pickErrorAngle, 0.0);
    // Every pick with its head at 0, whatever the part before it left.
    for (const sim::PartRecord& p : machine().Picks()) EXPECT_EQ(p.a, 0) << "pick by nozzle " << p.nozzle;
    const sim::Drives d = machine().Positions();
    for (int n = 0; n < 4; ++n) EXPECT_EQ(g_PulseA[static_cast<std::size_t>(n)].load(), d.a[static_cast<std::size_t>(n)]) << "A" << n + 1;
}

// The double-table machine reads the vacuum of a picked part over the camera in its
// combined run: a pick that took nothing, or a feeder with none left, brings the
// question before anything is placed from an empty nozzle. Cancel picks again and
// the table gets every part; No ends the run with none from the empty feeder.
TEST_F(LampRunWorld, AMissedPickInTheCombinedRunIsAskedAboutAndRefilled) {
    LampMachine(11, 1, true);
    if (HasFatalFailure()) return;
    world().Lock(), world().faults().pickMisses = 1;
    boxes.Push(plat::MsgAnswer::Cancel);
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], PartListText("Message_46"));  // the part was never measured
    EXPECT_EQ(world().ledger().Of(sim::LedgerKind::Miss).size(), 1u);
    EXPECT_TRUE(LedgerMatchesPlacements(world().ledger(), Places(1), 0.1, 0.25));
}

TEST_F(LampRunWorld, AnEmptyFeederInTheCombinedRunIsAskedAbout) {
    LampMachine(11, 1, true);
    if (HasFatalFailure()) return;
    scenario.feeders[0].count = 0;  // table 1's feeder 1: P0 and P2
    world().SetScenario(scenario);
    boxes.Push(plat::MsgAnswer::No);
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], PartListText("Message_46"));
    EXPECT_TRUE(world().ledger().Of(sim::LedgerKind::Place).empty());
}

INSTANTIATE_TEST_SUITE_P(CombinedModes, LampAngles, ::testing::Values(11, 12),
                         [](const ::testing::TestParamInfo<int>& i) { return "Mode" + std::to_string(i.param); });

// The replenished part of a failed place (Cancel) is picked with its head turned
// back from the turn the failed part left, and lies at its row angle too.
TEST_F(LampRunWorld, AReplenishedPartLiesAtItsRowAngle) {
    const double rowAngles[] = {-30, 15, 60};
    for (std::size_t i = 0; i < parts.size(); ++i) parts[i].angle = rowAngles[i];
    LampMachine(11, 1, true);
    if (HasFatalFailure()) return;
    for (std::size_t f = 0; f < scenario.feeders.size(); ++f) scenario.feeders[f].errAngle = f % 2 ? -4.25 : 3.5;
    world().SetScenario(scenario);
    {
        auto lock = world().Lock();
        world().faults().keptAtPlace = 1;  // P0's first part stays on the nozzle
    }
    boxes.Push(plat::MsgAnswer::Cancel);
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], PartListText("Message_45"));
    EXPECT_EQ(world().ledger().Of(sim::LedgerKind::Discard).size(), 1u);
    std::vector<ExpectedPart> want = Places(1);
    for (ExpectedPart& e : want) e.angle = rowAngles[e.name[1] - '0'];
    EXPECT_TRUE(LedgerMatchesPlacements(world().ledger(), want, 0.1, 0.25));
    // Every pick with its head at 0, whatever the part before it left.
    for (const sim::PartRecord& p : machine().Picks()) EXPECT_EQ(p.a, 0) << "pick by nozzle " << p.nozzle;
    const sim::Drives d = machine().Positions();
    for (int n = 0; n < 4; ++n) EXPECT_EQ(g_PulseA[static_cast<std::size_t>(n)].load(), d.a[static_cast<std::size_t>(n)]) << "A" << n + 1;
}

} // namespace
} // namespace smt::test
