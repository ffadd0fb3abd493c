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
};

struct ExpectedPoint {
    std::string name;
    int board = 0, cell = 0;
    double x = 0, y = 0;
    int valve = 0;                // dispensing: the valve output or head code; 0 = any
    std::optional<double> depth;  // dispensing: the stroke's depth (Z mm, as sent); none = any
};

namespace detail {
inline std::string Where(const sim::LedgerEntry& e) {
    char b[200];
    std::snprintf(b, sizeof b, "board %d cell %d at %0.4f, %0.4f angle %0.3f (nozzle %d, feeder %d, valve %d, depth %0.4f)",
                  e.board, e.cell, e.local.x, e.local.y, e.localAngle, e.nozzle, e.feeder, e.valve, e.depth);
    return b;
}

// Matches every expected point to the nearest unused entry of its board and cell.
// `judge` gives how far the pair is off beyond the position, as a fraction of its
// limit (angle), or a text when it is wrong outright (valve, depth). The worst case
// is named when beyond the limits.
template <class Expected, class Judge>
::testing::AssertionResult Match(const std::vector<sim::LedgerEntry>& got, const std::vector<Expected>& want,
                                 double mm, const char* what, Judge judge) {
    std::vector<bool> used(got.size(), false);
    double worst = -1;
    std::string worstText;
    for (const Expected& w : want) {
        int best = -1;
        double bestD = 1e9;
        for (std::size_t i = 0; i < got.size(); ++i) {
            if (used[i] || got[i].board != w.board || got[i].cell != w.cell) continue;
            const double d = std::hypot(got[i].local.x - w.x, got[i].local.y - w.y);
            if (d < bestD) {
                bestD = d;
                best = static_cast<int>(i);
            }
        }
        if (best < 0) return ::testing::AssertionFailure() << what << " \"" << w.name << "\" never happened";
        used[static_cast<std::size_t>(best)] = true;
        const sim::LedgerEntry& e = got[static_cast<std::size_t>(best)];
        std::string wrong;
        const double off = judge(w, e, &wrong);
        if (!wrong.empty())
            return ::testing::AssertionFailure() << what << " \"" << w.name << "\" " << wrong << ": " << Where(e);
        const double score = std::max(bestD / mm, off);
        if (score > worst) {
            worst = score;
            char b[120];
            std::snprintf(b, sizeof b, "\"%s\": %0.4f mm off: ", w.name.c_str(), bestD);
            worstText = b + Where(e);
        }
    }
    for (std::size_t i = 0; i < got.size(); ++i)
        if (!used[i]) return ::testing::AssertionFailure() << "unexpected " << what << ": " << Where(got[i]);
    if (worst > 1.0) return ::testing::AssertionFailure() << "worst " << what << " " << worstText;
    return ::testing::AssertionSuccess();
}
} // namespace detail

// The run check of a whole run (sim/run_check.h): every row placed once, by its head
// and nozzle, within the tolerance; nothing else put down. The check's table when not.
inline ::testing::AssertionResult RunCheckPasses(const sim::Ledger& ledger, const std::vector<sim::RowTarget>& rows,
                                                 const sim::RunTolerance& tolerance = {}) {
    const sim::RunCheckResult r = sim::CheckRun(ledger, rows, tolerance);
    if (r.Passed()) return ::testing::AssertionSuccess() << r.Table();
    return ::testing::AssertionFailure() << r.Table();
}

// Every expected part placed exactly once, nothing else placed, nothing dropped,
// each within `mm` and `deg` of its row (matched by nearest position; whole runs are
// judged by RunCheckPasses, which pairs parts with rows by identity).
inline ::testing::AssertionResult LedgerMatchesPlacements(const sim::Ledger& ledger, const std::vector<ExpectedPart>& want,
                                                          double mm, double deg) {
    const auto dropped = ledger.Of(sim::LedgerKind::Dropped);
    if (!dropped.empty()) return ::testing::AssertionFailure() << "dropped: " << dropped.front().Text();
    return detail::Match(ledger.Of(sim::LedgerKind::Place), want, mm, "placement",
                         [deg](const ExpectedPart& w, const sim::LedgerEntry& e, std::string*) {
                             return deg > 0 ? std::fabs(std::remainder(e.localAngle - w.angle, 360.0)) / deg : 0.0;
                         });
}

// Every point of the dispensing list dispensed once, by its valve and to its depth
// when given; nothing else dispensed.
inline ::testing::AssertionResult LedgerMatchesDispensing(const sim::Ledger& ledger,
                                                          const std::vector<ExpectedPoint>& want, double mm) {
    return detail::Match(ledger.Of(sim::LedgerKind::Dispense), want, mm, "dispense point",
                         [mm](const ExpectedPoint& w, const sim::LedgerEntry& e, std::string* wrong) {
                             if (w.valve && e.valve != w.valve) *wrong = "by another valve";
                             else if (w.depth && std::fabs(e.depth - *w.depth) > mm) *wrong = "to another depth";
                             return 0.0;
                         });
}

// Every hole of the drilling list drilled once, the drill back up after it (net Z
// travel 0); nothing else drilled.
inline ::testing::AssertionResult LedgerMatchesHoles(const sim::Ledger& ledger, const std::vector<ExpectedPoint>& want,
                                                     double mm) {
    return detail::Match(ledger.Of(sim::LedgerKind::Hole), want, mm, "hole",
                         [](const ExpectedPoint&, const sim::LedgerEntry& e, std::string* wrong) {
                             if (e.depth != 0.0) *wrong = "left with the drill not back up";
                             return 0.0;
                         });
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
