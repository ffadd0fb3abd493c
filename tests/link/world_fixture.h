// Whole runs against the simulated world: the machine started on a scenario, and
// the checks of its ledger against what the job asked for. A run test turns its job
// (the "Yes" rows, the in-use panel cells, the PCB record's nominal frame) into the
// expected lists below, in the true frame of each board and cell.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

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
    int valve = 0;        // dispensing: the valve output; 0 = any
};

namespace detail {
inline std::string Where(const sim::LedgerEntry& e) {
    char b[160];
    std::snprintf(b, sizeof b, "board %d cell %d at %0.4f, %0.4f angle %0.3f (nozzle %d, feeder %d)", e.board, e.cell,
                  e.local.x, e.local.y, e.localAngle, e.nozzle, e.feeder);
    return b;
}

// Matches every expected point to the nearest unused entry of its board and cell;
// the worst distance (and angle) is named when beyond the limits.
template <class Expected, class Extra>
::testing::AssertionResult Match(const std::vector<sim::LedgerEntry>& got, const std::vector<Expected>& want,
                                 double mm, double deg, const char* what, Extra extra) {
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
        const double dAngle = deg >= 0 ? std::fabs(std::remainder(extra(w, e), 360.0)) : 0.0;
        const double score = std::max(bestD / mm, deg > 0 ? dAngle / deg : 0.0);
        if (score > worst) {
            worst = score;
            char b[120];
            std::snprintf(b, sizeof b, "\"%s\": %0.4f mm and %0.3f deg off: ", w.name.c_str(), bestD, dAngle);
            worstText = b + Where(e);
        }
    }
    for (std::size_t i = 0; i < got.size(); ++i)
        if (!used[i]) return ::testing::AssertionFailure() << "unexpected " << what << ": " << Where(got[i]);
    if (worst > 1.0) return ::testing::AssertionFailure() << "worst " << what << " " << worstText;
    return ::testing::AssertionSuccess();
}
} // namespace detail

// Every expected part placed exactly once, nothing else placed, nothing dropped,
// each within `mm` and `deg` of its row.
inline ::testing::AssertionResult LedgerMatchesPlacements(const sim::Ledger& ledger, const std::vector<ExpectedPart>& want,
                                                          double mm, double deg) {
    const auto dropped = ledger.Of(sim::LedgerKind::Dropped);
    if (!dropped.empty()) return ::testing::AssertionFailure() << "dropped: " << dropped.front().Text();
    return detail::Match(ledger.Of(sim::LedgerKind::Place), want, mm, deg, "placement",
                         [](const ExpectedPart& w, const sim::LedgerEntry& e) { return e.localAngle - w.angle; });
}

inline ::testing::AssertionResult LedgerMatchesDispensing(const sim::Ledger& ledger,
                                                          const std::vector<ExpectedPoint>& want, double mm) {
    for (const auto& e : ledger.Of(sim::LedgerKind::Dispense))
        for (const auto& w : want)
            if (w.valve && e.board == w.board && e.cell == w.cell &&
                std::hypot(e.local.x - w.x, e.local.y - w.y) <= mm && e.valve != w.valve)
                return ::testing::AssertionFailure() << "\"" << w.name << "\" dispensed by valve " << e.valve;
    return detail::Match(ledger.Of(sim::LedgerKind::Dispense), want, mm, -1, "dispense point",
                         [](const ExpectedPoint&, const sim::LedgerEntry&) { return 0.0; });
}

// Holes also need a net Z travel of 0 (the drill came back up).
inline ::testing::AssertionResult LedgerMatchesHoles(const sim::Ledger& ledger, const std::vector<ExpectedPoint>& want,
                                                     double mm) {
    for (const auto& e : ledger.Of(sim::LedgerKind::Hole))
        if (e.depth != 0.0) return ::testing::AssertionFailure() << "drill not back up: " << e.Text();
    return detail::Match(ledger.Of(sim::LedgerKind::Hole), want, mm, -1, "hole",
                         [](const ExpectedPoint&, const sim::LedgerEntry&) { return 0.0; });
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
};

}  // namespace smt::test
