// The run check: parts are given to their rows by board, cell, feeder and the least
// total distance, and every finding is listed (off, missing, twice, where no row is,
// by another nozzle); the world writes its placements with their rows, line by line,
// on the control command.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <random>
#include <tuple>
#include <string>
#include <vector>

#include "codec.h"
#include "run_check.h"
#include "simulator.h"
#include "test_support.h"
#include "world.h"

using namespace sim;

namespace {

LedgerEntry Part(int cell, double x, double y, double angle, int head, int feeder, int library = 0) {
    LedgerEntry e;
    e.kind = LedgerKind::Place;
    e.command = 0x68;
    e.nozzle = head;
    e.libraryNozzle = library;
    e.feeder = feeder;
    e.board = 0;
    e.cell = cell;
    e.local = {x, y};
    e.localAngle = angle;
    return e;
}

LedgerEntry Other(LedgerKind kind, std::uint16_t command, int feeder) {
    LedgerEntry e;
    e.kind = kind;
    e.command = command;
    e.nozzle = 1;
    e.feeder = feeder;
    e.machine = {250.0, -100.0};
    return e;
}

// Rows A and B of one feeder 0.15 mm apart, C of another feeder turned 90 degrees
// and taking any head but library nozzle 4; A again in cell 1 of the panel.
const std::vector<RowTarget> kRows = {
    {0, 0, 1, "A", 10.0, 10.0, 0.0, 0, 1, 0},
    {0, 0, 2, "B", 10.15, 10.0, 0.0, 0, 2, 0},
    {0, 0, 5, "C", 30.0, 20.0, 90.0, 1, 0, 4},
    {0, 1, 1, "A", 10.0, 10.0, 0.0, 0, 1, 0},
};

// The findings of each list as "name/cell", the lists in the table's order.
std::string Findings(const RunCheckResult& r) {
    std::string out;
    const auto list = [&](const char* what, const std::vector<std::string>& names) {
        out += what;
        for (const auto& n : names) out += " " + n;
        out += ";";
    };
    const auto rowsOf = [](const auto& placed) {
        std::vector<std::string> v;
        for (const auto& p : placed) v.push_back(p.row.name + "/" + std::to_string(p.row.cell));
        return v;
    };
    std::vector<std::string> missing, noRow;
    for (const auto& m : r.missing) missing.push_back(m.name + "/" + std::to_string(m.cell));
    for (const auto& e : r.noRow) noRow.push_back(e.board < 0 ? "off-board" : "cell" + std::to_string(e.cell));
    list("off", rowsOf(r.off));
    list(" missing", missing);
    list(" twice", rowsOf(r.twice));
    list(" no row", noRow);
    list(" nozzle", rowsOf(r.wrongNozzle));
    return out;
}

// A simulator without links, driven command by command as a run would: X and Y
// moved by 0x61 (100 pulses a mm), a pick stroke (0x67) over the feeder at (50, -20)
// and a place stroke (0x68).
struct HandDriven {
    explicit HandDriven(const Scenario& s, int type = 0) : simulator(Config(type)) { simulator.UseScenario(s); }
    static SimConfig Config(int type) {
        SimConfig c;
        c.machineType = type;
        c.serial = c.udp = false;
        c.cameras = false;
        return c;
    }
    void Axis(int a, double mm) {
        Machine& m = simulator.machine();
        const Drives d = m.Positions();
        Bytes b{static_cast<std::uint8_t>(a)};
        PutLe32(b, 0);
        PutLe32(b, static_cast<std::int32_t>(std::lround(mm * 100)) - (a == 0 ? d.x : d.y));
        PutLe32(b, 1);
        PutLe32(b, 2);
        ASSERT_TRUE(m.Execute(Link::Udp, 0x61, b).accepted);
    }
    void Stroke(std::uint16_t code, std::int32_t depth = 500) {
        Bytes b{2};
        PutLe32(b, depth);
        PutLe32(b, 1);
        PutLe32(b, 2);
        if (code == 0x68) {
            PutLe32(b, 500);
            b.push_back(5);
            PutLe16(b, 200);
        } else {
            PutLe16(b, 100);
        }
        b.push_back(0);
        ASSERT_TRUE(simulator.machine().Execute(Link::Udp, code, b).accepted);
    }
    void PickAndPlace(double x, double y) {
        Axis(0, 50);
        Axis(1, -20);
        Stroke(0x67);
        Axis(0, x);
        Axis(1, y);
        Stroke(0x68);
    }
    Simulator simulator;
};

TEST(RunCheck, EveryRowIsJudgedByItsIdentityAndEveryFindingListed) {
    const LedgerEntry a0 = Part(0, 10.0, 10.0, 0.0, 1, 0);
    const LedgerEntry b0 = Part(0, 10.15, 10.0, 0.0, 2, 0);
    const LedgerEntry c0 = Part(0, 30.0, 20.0, 90.0, 3, 1, 4);
    const LedgerEntry a1 = Part(1, 10.0, 10.0, 0.0, 1, 0);
    const struct {
        const char* name;
        std::vector<LedgerEntry> ledger;
        const char* findings;
    } cases[] = {
        // B's part 0.09 toward A and A's 0.09 away from B, B put down first: the
        // nearest-first pairing would give A B's part and leave B 0.24 mm off.
        {"crosswise neighbours",
         {Part(0, 10.06, 10.0, 0.1, 2, 0), Part(0, 9.91, 10.0, -0.1, 1, 0), c0, Part(1, 10.05, 9.95, 0.2, 1, 0)},
         "off; missing; twice; no row; nozzle;"},
        // A's second part went into cell 0 again instead of cell 1.
        {"missing with a duplicate", {a0, b0, c0, Part(0, 10.02, 10.0, 0.0, 1, 0)},
         "off; missing A/1; twice A/0; no row; nozzle;"},
        {"wrong head", {Part(0, 10.0, 10.0, 0.0, 2, 0), b0, c0, a1}, "off; missing; twice; no row; nozzle A/0;"},
        {"wrong library nozzle", {a0, b0, Part(0, 30.0, 20.0, 90.0, 3, 1, 5), a1},
         "off; missing; twice; no row; nozzle C/0;"},
        {"where no row is",
         {a0, b0, c0, a1, Part(2, 10.0, 10.0, 0.0, 1, 0), Part(0, 50.0, 10.0, 0.0, 1, 0),
          Other(LedgerKind::Dropped, 0x77, 0)},
         "off; missing; twice; no row cell2 cell0 off-board; nozzle;"},
        {"a part of another feeder on a row", {Part(0, 10.0, 10.0, 0.0, 1, 1), b0, c0, a1},
         "off; missing A/0; twice; no row cell0; nozzle;"},
        {"off by distance and by angle", {Part(0, 9.7, 10.0, 0.0, 1, 0), Part(0, 10.15, 10.3, 0.0, 2, 0),
                                          Part(0, 30.0, 20.0, 90.3, 3, 1, 4), Part(1, 10.0, 10.0, -359.9, 1, 0)},
         "off A/0 B/0 C/0; missing; twice; no row; nozzle;"},
        {"far off: missing and where no row is", {a0, b0, c0, Part(1, 13.0, 10.0, 0.0, 1, 0)},
         "off; missing A/1; twice; no row cell1; nozzle;"},
        {"parts not put down are no placements",
         {a0, b0, c0, a1, Other(LedgerKind::Dropped, 0x67, 0), Other(LedgerKind::Discard, 0, 0),
          Other(LedgerKind::Pick, 0x74, 1), Other(LedgerKind::Miss, 0x67, -1)},
         "off; missing; twice; no row; nozzle;"},
        {"nothing put down", {}, "off; missing A/0 B/0 C/0 A/1; twice; no row; nozzle;"},
    };
    for (const auto& c : cases) {
        const RunCheckResult r = CheckRun(c.ledger, kRows, RunTolerance{0.1, 0.25, 2.0});
        EXPECT_EQ(Findings(r), c.findings) << c.name << "\n" << r.Table();
        EXPECT_EQ(r.Passed(), std::string(c.findings) == "off; missing; twice; no row; nozzle;") << c.name;
        EXPECT_EQ(r.rows, kRows.size());
    }
}

// Against every pairing tried one by one (seeded random cells of up to five rows and
// five parts of one feeder): as many rows get a part as can, with the least total
// distance among those pairings.
TEST(RunCheck, ThePairingIsTheBestOfAllPairings) {
    std::mt19937 rng(20261207);
    std::uniform_real_distribution<double> at(0.0, 3.0);
    std::uniform_int_distribution<int> count(0, 5);
    const double capture = 1.0;
    for (int round = 0; round < 150; ++round) {
        std::vector<RowTarget> rows(static_cast<std::size_t>(std::max(1, count(rng))));
        for (std::size_t r = 0; r < rows.size(); ++r)
            rows[r] = {0, 0, static_cast<int>(r), "R" + std::to_string(r), at(rng), at(rng), 0.0, 0, 0, 0};
        std::vector<LedgerEntry> parts;
        for (int p = count(rng); p > 0; --p) parts.push_back(Part(0, at(rng), at(rng), 0.0, 1, 0));
        // Every injective choice of a row (or none) for each part.
        std::size_t bestCount = 0;
        double bestSum = 0;
        std::vector<int> choice(parts.size(), -1);
        const std::function<void(std::size_t, std::vector<bool>&, std::size_t, double)> tryAll =
            [&](std::size_t p, std::vector<bool>& used, std::size_t n, double sum) {
                if (p == parts.size()) {
                    if (n > bestCount || (n == bestCount && sum < bestSum)) {
                        bestCount = n;
                        bestSum = sum;
                    }
                    return;
                }
                tryAll(p + 1, used, n, sum);
                for (std::size_t r = 0; r < rows.size(); ++r) {
                    const double d = std::hypot(parts[p].local.x - rows[r].x, parts[p].local.y - rows[r].y);
                    if (used[r] || d > capture) continue;
                    used[r] = true;
                    tryAll(p + 1, used, n + 1, sum + d);
                    used[r] = false;
                }
            };
        std::vector<bool> used(rows.size(), false);
        tryAll(0, used, 0, 0.0);
        // With no tolerance every paired part is listed as off, with its distance.
        const RunCheckResult r = CheckRun(parts, rows, RunTolerance{0.0, 0.25, capture});
        double sum = 0;
        for (const auto& off : r.off) sum += off.distance;
        EXPECT_EQ(rows.size() - r.missing.size(), bestCount) << "round " << round;
        EXPECT_EQ(r.off.size(), bestCount) << "round " << round;
        EXPECT_NEAR(sum, bestSum, 1e-9) << "round " << round;
        EXPECT_EQ(r.off.size() + r.twice.size() + r.noRow.size(), parts.size()) << "round " << round;
    }
}

TEST(RunCheck, TheTableNamesEachFindingWithItsNumbers) {
    const std::vector<LedgerEntry> ledger = {Part(0, 9.7, 10.0, 0.5, 2, 0), Part(0, 10.15, 10.0, 0.0, 2, 0),
                                             Part(0, 30.0, 20.0, 90.0, 3, 1, 4), Part(0, 30.0, 20.0, 90.0, 3, 1, 4)};
    const RunCheckResult r = CheckRun(ledger, kRows, RunTolerance{0.1, 0.25, 2.0});
    EXPECT_FALSE(r.Passed());
    const std::string expected =
        "run check: failed, 4 rows, 4 parts put down (within 0.100 mm and 0.250 deg): 1 off, 1 missing, 1 twice, "
        "0 where no row is, 1 by another nozzle, 0 at another depth\n"
        "finding      board cell   row name            want x    want y   want a    true x    true y   true a   mm off"
        "  deg off  head/row nozzle/row feeder\n"
        "off              0    0     1 A              10.0000   10.0000    0.000    9.7000   10.0000    0.500   0.3000"
        "    0.500       2/1       0/*      0\n"
        "missing          0    1     1 A              10.0000   10.0000    0.000         -         -        -        -"
        "        -       -/1       -/*      0\n"
        "twice            0    0     5 C              30.0000   20.0000   90.000   30.0000   20.0000   90.000   0.0000"
        "    0.000       3/*       4/4      1\n"
        "nozzle           0    0     1 A              10.0000   10.0000    0.000    9.7000   10.0000    0.500   0.3000"
        "    0.500       2/1       0/*      0\n";
    EXPECT_EQ(r.Table(), expected);
    EXPECT_EQ(CheckRun(std::vector<LedgerEntry>{}, {}, {}).Table(),
              "run check: passed, 0 rows, 0 parts put down (within 0.100 mm and 0.250 deg): 0 off, 0 missing, 0 twice, "
              "0 where no row is, 0 by another nozzle, 0 at another depth\n");
}

// The world on a scenario with a row: four parts put down through the machine, then
// "world placements FILE" writes each with its row, byte for byte.
TEST(RunCheck, TheWorldWritesItsPlacementsWithTheirRowsOnTheControlCommand) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(Scenario::Parse("pulses 100 100 100 10\n"
                                "feeder 1 1 50 -20 100 2 1.25 0.6 1\n"
                                "pickerror 0.25 -0.125 1.5\npickerror 0 0 0\n"
                                "board 100 -200 0 80 60\ncell 0 0 40 60\ncell 40 0 40 60\n"
                                "row 3 C1 20.2 14.9 1.5 1 1 1 1\nrowcapture 2\n"
                                "holder 1 10 -290 10 -290 -5\ncarries 1 1\n",
                                &s, &error))
        << error;
    ASSERT_EQ(s.rows.size(), 1u);
    EXPECT_EQ(ExpandRows(s).size(), 2u);  // the row in each cell
    {
        // Rows of every board (conveyor boards), of one cell, and of a board not there.
        Scenario boards = s;
        boards.boards.push_back(boards.boards[0]);
        boards.boards[1].cells.clear();
        boards.rows = {{-1, -1, 7, "R7", 1, 2, 0, 0, 0, 0}, {0, 1, 8, "R8", 1, 2, 0, 0, 0, 0},
                       {2, -1, 9, "R9", 1, 2, 0, 0, 0, 0}};
        std::string cells;
        for (const RowTarget& r : ExpandRows(boards))
            cells += r.name + "@" + std::to_string(r.board) + "/" + std::to_string(r.cell) + " ";
        EXPECT_EQ(cells, "R7@0/0 R7@0/1 R7@1/0 R8@0/1 ");
    }
    HandDriven hand(s);
    Simulator& simulator = hand.simulator;
    const auto pickAndPlace = [&](double x, double y) { hand.PickAndPlace(x, y); };
    pickAndPlace(120, -185);    // with the pick error: (20.25, 14.875) in cell 0, row 3
    pickAndPlace(160.2, -185.1);  // (20.2, 14.9) in cell 1, row 3
    pickAndPlace(105, -150);    // in cell 0 far from every row
    pickAndPlace(250, -100);    // off every board

    smt::test::TempDir dir;
    const std::string file = dir.File("placements.txt");
    EXPECT_EQ(simulator.Command("world placements " + file), "ok 4 placements");
    EXPECT_EQ(smt::test::ReadBytes(file),
              "0 0 3 C1 1 1 20.2500 14.8750 1.500 0.2500 -0.1250 1.500 0 120.2500 -185.1250 1.500\n"
              "0 1 3 C1 1 1 20.2000 14.9000 0.000 0.0000 0.0000 0.000 0 160.2000 -185.1000 0.000\n"
              "0 0 -1 - 1 1 5.0000 50.0000 0.000 0.0000 0.0000 0.000 0 105.0000 -150.0000 0.000\n"
              "-1 -1 -1 - 1 1 0.0000 0.0000 0.000 0.0000 0.0000 0.000 0 250.0000 -100.0000 0.000\n");
    const auto entries = std::distance(std::filesystem::directory_iterator(dir.Path()), {});
    EXPECT_EQ(entries, 1) << "a temporary file was left beside it";

    // The same placements judged against the rows of both cells: one part far from
    // its row's cell 0 target is no row's, one off every board.
    const RunCheckResult r = CheckRun(simulator.world()->ledger(), ExpandRows(s), RunTolerance{0.1, 0.25, 2.0});
    EXPECT_EQ(std::make_tuple(r.off.size(), r.missing.size(), r.noRow.size(), r.twice.size(), r.wrongNozzle.size()),
              std::make_tuple(std::size_t{1}, std::size_t{0}, std::size_t{2}, std::size_t{0}, std::size_t{0}))
        << r.Table();

    EXPECT_EQ(simulator.Command("world clear-ledger"), "ok");
    EXPECT_EQ(simulator.Command("world placements " + file), "ok 0 placements");
    EXPECT_EQ(smt::test::ReadBytes(file), "");
    EXPECT_EQ(simulator.Command("world placements"), "usage: world placements FILE");
    EXPECT_EQ(simulator.Command("world placements " + dir.File("no-such-folder/p.txt")),
              "placements not written: cannot write " + dir.File("no-such-folder/p.txt"));
    EXPECT_NE(ControlHelp().find("world placements FILE"), std::string::npos);
}

// A part the world named for its row by the job's order is judged against that row
// wherever it lies: two parts of one feeder put down crosswise are both off (the
// pairing by distance would take them for each other's), a part in another cell is
// off by an unbounded distance, a row named twice has a further part, a name no row
// has is no row's.
TEST(RunCheck, APartNamedByTheJobsOrderIsJudgedAgainstItsOwnRow) {
    const auto named = [](LedgerEntry e, int cell, int row, const char* name) {
        e.forBoard = 0, e.forCell = cell, e.row = row, e.rowName = name;
        return e;
    };
    const LedgerEntry a0 = named(Part(0, 10.0, 10.0, 0.0, 1, 0), 0, 1, "A");
    const LedgerEntry b0 = named(Part(0, 10.15, 10.0, 0.0, 2, 0), 0, 2, "B");
    const LedgerEntry c0 = named(Part(0, 30.0, 20.0, 90.0, 3, 1, 4), 0, 5, "C");
    const LedgerEntry a1 = named(Part(1, 10.0, 10.0, 0.0, 1, 0), 1, 1, "A");
    const struct {
        const char* name;
        std::vector<LedgerEntry> ledger;
        const char* findings;
    } cases[] = {
        {"each on its own row", {b0, a1, c0, a0}, "off; missing; twice; no row; nozzle;"},
        {"crosswise", {named(Part(0, 10.15, 10.0, 0.0, 1, 0), 0, 1, "A"), named(Part(0, 10.0, 10.0, 0.0, 2, 0), 0, 2, "B"), c0, a1},
         "off A/0 B/0; missing; twice; no row; nozzle;"},
        {"in another cell", {a0, b0, c0, named(Part(0, 10.0, 10.0, 0.0, 1, 0), 1, 1, "A")},
         "off A/1; missing; twice; no row; nozzle;"},
        {"named twice", {a0, b0, c0, a1, named(Part(0, 10.0, 10.0, 0.0, 1, 0), 0, 1, "A")},
         "off; missing; twice A/0; no row; nozzle;"},
        {"a row the job has not", {a0, b0, c0, a1, named(Part(2, 10.0, 10.0, 0.0, 1, 0), 2, 1, "A")},
         "off; missing; twice; no row cell2; nozzle;"},
        {"named beside unnamed", {a0, b0, c0, Part(1, 10.02, 10.0, 0.0, 1, 0), Part(0, 10.01, 10.0, 0.0, 1, 0)},
         "off; missing; twice A/0; no row; nozzle;"},
    };
    for (const auto& c : cases) {
        const RunCheckResult r = CheckRun(c.ledger, kRows, RunTolerance{0.1, 0.25, 2.0});
        EXPECT_EQ(Findings(r), c.findings) << c.name << "\n" << r.Table();
    }
    const RunCheckResult far = CheckRun(std::vector<LedgerEntry>{a0, b0, c0, named(Part(0, 10.0, 10.0, 0.0, 1, 0), 1, 1, "A")},
                                        kRows, RunTolerance{0.1, 0.25, 2.0});
    ASSERT_EQ(far.off.size(), 1u);
    EXPECT_TRUE(std::isinf(far.off[0].distance));
}

// Each row's strokes against its depths: the pick its part was picked at, the release
// (where the vacuum went off: the plain stroke's one depth), and the place depth where
// the command carries it apart (the move-and-place commands). A depth within a pulse's
// truncation passes; a row with no depths takes any; every offender is listed, with the
// depths found against the row's.
TEST(RunCheck, EachRowsStrokesAreJudgedAtItsDepths) {
    std::vector<RowTarget> rows = kRows;
    for (RowTarget& r : rows) r.pickDepth = 11.6, r.placeDepth = 7.8, r.releaseDepth = 7.3;
    rows[2].pickDepth.reset(), rows[2].placeDepth.reset(), rows[2].releaseDepth.reset();  // C: any
    const auto stroke = [](LedgerEntry e, std::uint16_t command, double pick, double place, double release) {
        e.command = command, e.pickDepth = pick, e.depth = place, e.releaseDepth = release;
        return e;
    };
    const LedgerEntry a0 = Part(0, 10.0, 10.0, 0.0, 1, 0), b0 = Part(0, 10.15, 10.0, 0.0, 2, 0);
    const LedgerEntry c0 = Part(0, 30.0, 20.0, 90.0, 3, 1, 4), a1 = Part(1, 10.0, 10.0, 0.0, 1, 0);
    const struct {
        const char* name;
        std::vector<LedgerEntry> ledger;
        const char* depths;  // the rows at another depth
    } cases[] = {
        {"every depth the row's", {stroke(a0, 0x68, 11.6, 7.3, 7.3), stroke(b0, 0x77, 11.6, 7.8, 7.3),
                                   stroke(c0, 0x68, 3, 3, 3), stroke(a1, 0x78, 11.6, 7.8, 7.3)}, ""},
        {"within a pulse", {stroke(a0, 0x68, 11.59, 7.29, 7.29), stroke(b0, 0x77, 11.61, 7.81, 7.31),
                            stroke(c0, 0x68, 0, 0, 0), stroke(a1, 0x78, 11.6, 7.79, 7.3)}, ""},
        {"picked by another head's height", {stroke(a0, 0x68, 12.15, 7.3, 7.3), stroke(b0, 0x77, 11.6, 7.8, 7.3),
                                             c0, stroke(a1, 0x78, 11.6, 7.8, 7.3)}, " A/0"},
        {"let go at the place depth", {stroke(a0, 0x68, 11.6, 7.8, 7.8), stroke(b0, 0x77, 11.6, 7.8, 7.8),
                                       c0, stroke(a1, 0x78, 11.6, 7.3, 7.3)}, " A/0 B/0 A/1"},
        {"a plain stroke's place depth is its release", {stroke(a0, 0x68, 11.6, 7.3, 7.3), stroke(b0, 0x77, 11.6, 7.3, 7.3),
                                                         c0, stroke(a1, 0x78, 11.6, 7.8, 7.3)}, " B/0"},
    };
    for (const auto& c : cases) {
        const RunCheckResult r = CheckRun(c.ledger, rows, RunTolerance{0.1, 0.25, 2.0});
        std::string found;
        for (const auto& p : r.wrongDepth) found += " " + p.row.name + "/" + std::to_string(p.row.cell);
        EXPECT_EQ(found, c.depths) << c.name << "\n" << r.Table();
        EXPECT_EQ(r.Passed(), found.empty()) << c.name;
        EXPECT_EQ(Findings(r), "off; missing; twice; no row; nozzle;") << c.name;
    }
    const RunCheckResult r = CheckRun(std::vector<LedgerEntry>{stroke(a0, 0x68, 12.15, 7.3, 7.3), stroke(b0, 0x77, 11.6, 7.55, 7.05), c0,
                                                               stroke(a1, 0x78, 11.6, 7.8, 7.3)},
                                      rows, RunTolerance{0.1, 0.25, 2.0});
    EXPECT_EQ(r.Table(),
              "run check: failed, 4 rows, 4 parts put down (within 0.100 mm and 0.250 deg): 0 off, 0 missing, 0 twice, "
              "0 where no row is, 0 by another nozzle, 2 at another depth\n"
              "finding      board cell   row name         head/row        pick/row       place/row     release/row feeder\n"
              "depth            0    0     1 A                 1/1   12.150/11.600               -     7.300/7.300      0\n"
              "depth            0    0     2 B                 2/2   11.600/11.600     7.550/7.800     7.050/7.300      0\n");
}

// The world keeps each stroke's depth as the machine was sent it, in Z mm by the true
// factor (either sign: a rocker's second nozzle strokes negative): a pick's on the pick
// and on the part it put down, a plain place stroke's as its release, the move-and-place
// command's place and release depths each its own.
TEST(RunCheck, TheWorldKeepsEachStrokesDepth) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(Scenario::Parse("pulses 100 100 80 10\nfeeder 1 1 50 -20 100 2 1.25 0.6 1\nboard 100 -200 0 80 60\n", &s,
                                &error))
        << error;
    {
        HandDriven hand(s);
        hand.Axis(0, 50), hand.Axis(1, -20);
        hand.Stroke(0x67, 928);  // nozzle 1, 11.6 mm at 80 pulses per mm
        hand.Axis(0, 120), hand.Axis(1, -185);
        hand.Stroke(0x68, 584);  // 7.3 mm
        hand.Axis(0, 50), hand.Axis(1, -20);
        hand.Stroke(0x67, -972);  // nozzle 2, 12.15 mm
        hand.Axis(0, 130), hand.Axis(1, -185);
        hand.Stroke(0x68, -624);  // 7.8 mm
        const Ledger& ledger = hand.simulator.world()->ledger();
        const auto picks = ledger.Of(LedgerKind::Pick), places = ledger.Of(LedgerKind::Place);
        ASSERT_EQ(picks.size(), 2u);
        ASSERT_EQ(places.size(), 2u);
        EXPECT_NEAR(picks[0].depth, 11.6, 1e-9);
        EXPECT_NEAR(picks[1].depth, 12.15, 1e-9);
        EXPECT_EQ(std::make_tuple(places[0].nozzle, places[1].nozzle), std::make_tuple(1, 2));
        EXPECT_NEAR(places[0].pickDepth, 11.6, 1e-9);
        EXPECT_NEAR(places[0].depth, 7.3, 1e-9);
        EXPECT_NEAR(places[0].releaseDepth, 7.3, 1e-9);
        EXPECT_NEAR(places[1].pickDepth, 12.15, 1e-9);
        EXPECT_NEAR(places[1].releaseDepth, 7.8, 1e-9);
    }
    {
        s.pulsesZ = 100;
        HandDriven hand(s, 7);
        Machine& m = hand.simulator.machine();
        Bytes pick(96, 0);
        const auto put = [](Bytes& b, std::size_t at, std::int32_t v) {
            for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
        };
        pick[0] = 3;
        put(pick, 19, 5000), put(pick, 27, -2000), put(pick, 72, 1160);
        pick[80] = 0x22;  // nozzle 3
        ASSERT_TRUE(m.Execute(Link::Udp, 0x74, pick).accepted);
        Bytes place(86, 0);
        put(place, 4, 7000), put(place, 12, -16500), put(place, 57, 780), put(place, 61, 730);
        place[65] = 0x22;
        ASSERT_TRUE(m.Execute(Link::Udp, 0x77, place).accepted);
        const auto places = hand.simulator.world()->ledger().Of(LedgerKind::Place);
        ASSERT_EQ(places.size(), 1u) << hand.simulator.world()->ledger().Text();
        EXPECT_EQ(places[0].nozzle, 3);
        EXPECT_NEAR(places[0].pickDepth, 11.6, 1e-9);
        EXPECT_NEAR(places[0].depth, 7.8, 1e-9);
        EXPECT_NEAR(places[0].releaseDepth, 7.3, 1e-9);
    }
}

// Picks, discards and lost parts against the parts put down and the retries allowed.
TEST(RunCheck, EveryPickIsAccountedForAndEveryDiscardFallsAtTheDiscardPlace) {
    const auto at = [](LedgerKind kind, double x, double y, int head = 1, std::uint16_t command = 0x67) {
        LedgerEntry e = Other(kind, command, 0);
        e.machine = {x, y};
        e.nozzle = head;
        return e;
    };
    const LedgerEntry pick = at(LedgerKind::Pick, 50, -20), place = Part(0, 10, 10, 0, 1, 0);
    const Vec bin{20, -280};
    const struct {
        const char* name;
        std::vector<LedgerEntry> ledger;
        int retries;
        const char* lines;
    } cases[] = {
        {"picked and put down", {pick, place, pick, place}, 0, ""},
        {"a part left on a nozzle", {pick, place, pick}, 0, "2 picks for 1 put down, 0 discarded and 0 lost\n"},
        {"a discard allowed", {pick, at(LedgerKind::Discard, 20.3, -280.2, 2), pick, place}, 1, ""},
        {"a discard not allowed", {pick, at(LedgerKind::Discard, 20, -280, 2), pick, place}, 0,
         "1 retries (1 discarded, 0 lost, 0 empty picks), 0 allowed\n"},
        {"a discard elsewhere", {pick, at(LedgerKind::Discard, 22, -280, 2), pick, place}, 1,
         "discard by head 2 at 22.0000 -280.0000, not at the discard place 20.0000 -280.0000\n"},
        {"empty picks beyond the retries", {at(LedgerKind::Miss, 50, -20, 3), pick, place}, 0,
         "1 retries (0 discarded, 0 lost, 1 empty picks), 0 allowed\npick by head 3 at 50.0000 -20.0000 took nothing\n"},
        {"a part lost on the way", {pick, at(LedgerKind::Dropped, 60, -20), pick, place}, 1, ""},
        {"a part let go where no board is", {pick, at(LedgerKind::Dropped, 250, -100, 1, 0x68)}, 0, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckHandling(c.ledger, c.retries, bin), c.lines) << c.name;
    EXPECT_EQ(CheckHandling({pick, at(LedgerKind::Discard, 99, 99), pick, place}, 1, std::nullopt), "");
}

// "roworder": the world names each part put down for the next row of its feeder in
// the job's order, at once, wherever it lands; "placeerror": a head's parts land off
// the nozzle's centre by its own amount.
TEST(RunCheck, TheWorldNamesPartsByTheJobsOrderAndLandsThemWithTheHeadsPlaceError) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(Scenario::Parse("pulses 100 100 100 10\n"
                                "feeder 1 1 50 -20 100 2 1.25 0.6 1\n"
                                "board 100 -200 0 80 60\ncell 0 0 40 60\ncell 40 0 40 60\n"
                                "row 3 C1 20 15 0 1 1\nroworder\nplaceerror 1 0.25 -0.5\n",
                                &s, &error))
        << error;
    EXPECT_TRUE(s.rowOrder);
    EXPECT_EQ(s.placeError[0].x, 0.25);
    EXPECT_EQ(s.placeError[0].y, -0.5);
    Scenario bad;
    EXPECT_FALSE(Scenario::Parse("placeerror 9 0 0\n", &bad, &error));
    EXPECT_FALSE(Scenario::Parse("placeerror 1 0\n", &bad, &error));
    HandDriven hand(s);
    Simulator& simulator = hand.simulator;
    const auto pickAndPlace = [&](double x, double y) { hand.PickAndPlace(x, y); };
    // Cell 1's place first: it is named for the row of cell 0, the job's first.
    pickAndPlace(160 - 0.25, -185 + 0.5);
    pickAndPlace(120 - 0.25, -185 + 0.5);
    const auto placed = simulator.world()->Placements();
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(std::make_tuple(placed[0].cell, placed[0].forCell, placed[0].row), std::make_tuple(1, 0, 3));
    EXPECT_EQ(std::make_tuple(placed[1].cell, placed[1].forCell, placed[1].row), std::make_tuple(0, 1, 3));
    EXPECT_NEAR(placed[0].local.x, 20.0, 1e-9);
    EXPECT_NEAR(placed[0].local.y, 15.0, 1e-9);
    const RunCheckResult r = CheckRun(simulator.world()->ledger(), ExpandRows(s), RunTolerance{0.1, 0.25, 2.0});
    EXPECT_EQ(r.off.size(), 2u) << r.Table();
    EXPECT_TRUE(r.missing.empty());
}

} // namespace
