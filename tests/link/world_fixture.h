// Whole runs against the simulated world: the machine started on a scenario, and
// the checks of its ledger against what the job asked for. A run test turns its job
// (the "Yes" rows, the in-use panel cells, the PCB record's nominal frame) into the
// expected lists below, in the true frame of each board and cell.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "run_check.h"
#include "sim_fixture.h"
#include "world.h"

namespace smt::test {

struct ExpectedPart {
    std::string name;   // names the case in a failure
    int board = 0, cell = 0;
    double x = 0, y = 0;  // in the cell's frame (mm)
    double angle = 0;     // in the board frame (deg, counter-clockwise)
    int head = 0;         // the head that must put it down; 0 any
    // How deep its pick, place and release strokes must go (mm down); none: any.
    std::optional<double> pickDepth, placeDepth, releaseDepth;
};

struct ExpectedPoint {
    std::string name;
    int board = 0, cell = 0;
    double x = 0, y = 0;
    int valve = 0;                // dispensing: the valve output or head code; 0 = any
    std::optional<double> depth;  // dispensing: the stroke's depth (Z mm, as sent); none = any
};

// The run check of a whole run (sim/run_check.h): every row placed once, by its head
// and nozzle, within the tolerance; nothing else put down. The check's table when not.
inline ::testing::AssertionResult RunCheckPasses(const sim::Ledger& ledger, const std::vector<sim::RowTarget>& rows,
                                                 const sim::RunTolerance& tolerance = {}) {
    const sim::RunCheckResult r = sim::CheckRun(ledger, rows, tolerance);
    if (r.Passed()) return ::testing::AssertionSuccess() << r.Table();
    return ::testing::AssertionFailure() << r.Table();
}

// Every expected part placed exactly once, nothing else placed, nothing dropped,
// each within `mm` and `deg` (0: any angle) of its row, by its head and at its depths
// when it names them: parts are given to the expected parts as the run check gives
// them to rows (board, cell, least total distance), and every offender is listed.
inline ::testing::AssertionResult LedgerMatchesPlacements(const sim::Ledger& ledger, const std::vector<ExpectedPart>& want,
                                                          double mm, double deg) {
    std::vector<sim::RowTarget> rows;
    for (std::size_t i = 0; i < want.size(); ++i) {
        const ExpectedPart& w = want[i];
        sim::RowTarget r;
        r.board = w.board, r.cell = w.cell, r.row = static_cast<int>(i), r.name = w.name;
        for (char& c : r.name)
            if (c == ' ') c = '_';
        r.x = w.x, r.y = w.y, r.angle = w.angle, r.head = w.head;
        r.pickDepth = w.pickDepth, r.placeDepth = w.placeDepth, r.releaseDepth = w.releaseDepth;
        rows.push_back(r);
    }
    const sim::RunCheckResult r = sim::CheckRun(ledger, rows, {mm, deg > 0 ? deg : 360.0, 2.0});
    std::string dropped;
    for (const auto& e : ledger.Of(sim::LedgerKind::Dropped)) dropped += "dropped: " + e.Text() + "\n";
    if (r.Passed() && dropped.empty()) return ::testing::AssertionSuccess() << r.Table();
    return ::testing::AssertionFailure() << r.Table() << dropped;
}

namespace detail {
inline std::vector<sim::PointTarget> Points(const std::vector<ExpectedPoint>& want, bool holes) {
    std::vector<sim::PointTarget> out;
    for (const ExpectedPoint& w : want) {
        sim::PointTarget p;
        p.name = w.name;
        for (char& c : p.name)
            if (c == ' ') c = '_';
        p.board = w.board, p.cell = w.cell, p.x = w.x, p.y = w.y;
        p.valve = w.valve;
        p.depth = w.depth;
        p.backUp = holes;
        out.push_back(p);
    }
    return out;
}
} // namespace detail

// Every point of the dispensing list dispensed once, by its valve and to its depth
// when given; nothing else dispensed. Every offender is listed.
inline ::testing::AssertionResult LedgerMatchesDispensing(const sim::Ledger& ledger,
                                                          const std::vector<ExpectedPoint>& want, double mm) {
    const sim::PointCheckResult r =
        sim::CheckPoints(ledger.Of(sim::LedgerKind::Dispense), detail::Points(want, false), mm);
    if (r.Passed()) return ::testing::AssertionSuccess() << r.Table("dispense");
    return ::testing::AssertionFailure() << r.Table("dispense");
}

// Every hole of the drilling list drilled once, the drill back up after it (net Z
// travel 0); nothing else drilled. Every offender is listed.
inline ::testing::AssertionResult LedgerMatchesHoles(const sim::Ledger& ledger, const std::vector<ExpectedPoint>& want,
                                                     double mm) {
    const sim::PointCheckResult r = sim::CheckPoints(ledger.Of(sim::LedgerKind::Hole), detail::Points(want, true), mm);
    if (r.Passed()) return ::testing::AssertionSuccess() << r.Table("hole");
    return ::testing::AssertionFailure() << r.Table("hole");
}

// The simulated machine of SimTest with its world on a scenario (and its cameras
// published in the case's folder when asked).
class WorldSimTest : public SimTest {
protected:
    void StartWorld(int type, sim::Scenario scenario, bool serial = true, bool udp = true, bool cameras = false) {
        sim::SimConfig c;
        c.machineType = type;
        c.serial = serial;
        c.serialDir = dir.Path();
        c.comNumber = 5;
        c.udp = udp;
        c.udpPort = 0;
        c.discoveryPort = discoveryPort;
        c.cameras = cameras;
        sim = std::make_unique<sim::Simulator>(c);
        sim->UseScenario(std::move(scenario));
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        hooks.machineType = type;
    }
    sim::World& world() { return *sim->world(); }

    // The program's link to the world's machine (COM5, or UDP with its reply thread),
    // connected, homed and its heads reset. A failed open is a fatal failure.
    void ConnectToWorld(bool serial) {
        if (serial) {
            int number = 5;
            ASSERT_TRUE(GetSerialLink().OpenSerialLink(number));
        } else {
            ASSERT_TRUE(GetMachineLink().Open(sim::kBoardAddress, sim->udp()->Port(), LocalEndpoint{"127.0.0.1", 0}));
            StartUdpReplyThread(GetMachineLink());
        }
        g_Connected = true;
        g_Homed = true;
        g_HeadResetOk = true;
    }
    // The homing the run's end starts, as the wiring installs it for machine `type`.
    static void InstallHomingOf(int type) {
        TheHomingPort() = HomingPort{};
        TheHomingPort().machineType = [type] { return type; };
        InstallHomingHooks();
    }
};

}  // namespace smt::test
