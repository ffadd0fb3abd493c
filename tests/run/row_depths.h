// The depths a part's strokes must reach, from the program's own records and
// settings as the run reads them, for the world's run check (sim::RowTarget's
// pickDepth, placeDepth and releaseDepth: mm down, positive). Every whole run that
// judges its parts' depths takes them from here, so a run checked against depths of
// its own making cannot hide a wrong height.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "feeders/feed_group_table.h"
#include "feeders/nozzle_library.h"
#include "joblist/part_list.h"
#include "joblist/run_board.h"
#include "joblist/smt_strategy.h"
#include "run_state/nozzle_work.h"
#include "settings/basic_settings.h"
#include "run_check.h"
#include "world.h"

namespace smt::test {

struct StrokeDepths {
    double pick = 0, place = 0, release = 0;  // mm down
};

// The depths of a part from `feeder` (its text as the placement row names it) of the
// open feeder group, worked by `head` (1..8) carrying library nozzle `nozzle` (with
// the nozzle change; else unused). The heights: the feeder's pick height (cell 22,
// 0: the head's feed height, or with the nozzle change the library nozzle's pick
// height) and part height (cell 8), each head's feed height, the place height, the
// current board's thickness and the early vacuum-off height (cell 24, 0: the
// settings'). Heads after the first add their difference to head 1's feed height
// where the head mode has the heads share their nozzle kind. `zOffset` raises the
// place stroke's vacuum-off depth (a lamp point's own height). A place goes down by
// one pulse (1 / `pulsesPerMmZ`) at least. None for a feeder the group lacks, a head
// out of range, or no library nozzle with the nozzle change.
inline std::optional<StrokeDepths> DepthsFor(const std::string& feeder, int head, int nozzle, double pulsesPerMmZ,
                                             double zOffset = 0) {
    const BasicSettings& b = TheBasicSettings();
    const double feed[8] = {b.m_Z_Nozzle1ToFeed, b.m_Z_Nozzle2ToFeed, b.m_Z_Nozzle3ToFeed, b.m_Z_Nozzle4ToFeed,
                            b.m_Z_Nozzle5ToFeed, b.m_Z_Nozzle6ToFeed, b.m_Z_Nozzle7ToFeed, b.m_Z_Nozzle8ToFeed};
    const SmtStrategyConfig st = TheSmtStrategy().Config();
    const bool shared = st.m_HeaderSelect == 1 || st.m_HeaderSelect == 3 || st.m_HeaderSelect == 6;
    const bool library = st.m_AutoChangeNozzle != 0;
    if (feeder.empty() || head < 1 || head > 8 || (library && nozzle < 1)) return std::nullopt;
    const FeedGroupTable& groups = TheFeedGroupTable();
    const std::optional<FeedRow> row = groups.CopyFeedRow(groups.OpenUsedSlot(), feeder);
    if (!row) return std::nullopt;
    const auto number = [&](int cell) { return std::strtod((*row)[static_cast<std::size_t>(cell)].c_str(), nullptr); };
    const double own = number(22), part = number(8), early = number(24);
    const double step = feed[head - 1] - feed[0];
    double pickZ = 0, placeZ = b.m_Z_Nozzle1ToPCBHeight + CopyRunBoard().g_RunThickness + part;
    if (library) {
        double pickHeight = 0;
        {
            std::lock_guard lock(NozzleStateMutex());
            pickHeight = g_NozzleTable[static_cast<std::size_t>(nozzle - 1)].pickHeight;
        }
        pickZ = own != 0 ? own : pickHeight;
        placeZ += pickHeight - feed[0];
        if (shared && head >= 2) pickZ += step, placeZ += step;
    } else {
        if (!shared) pickZ = own != 0 ? own : feed[head - 1];
        else pickZ = own != 0 ? own + step : feed[head - 1];
        placeZ += step;
    }
    // Head 2 of a placement run started from the dispensing mode works at the glue height.
    if (head == 2 && st.m_RunSelect == 1) placeZ = b.m_Z_DropsGlueToPCBHeight;
    const double least = 1.0 / pulsesPerMmZ;
    StrokeDepths d;
    d.pick = -pickZ;
    d.place = std::max(-placeZ, least);
    d.release = std::max(-(placeZ + (early != 0 ? early : b.m_Z_closeVacuum) + zOffset), least);
    return d;
}

// `rows` with their depths, each row's part from the feeder `feederOf` names for it
// ("" none); a row that takes any head (or any nozzle with the nozzle change) gets none.
inline std::vector<sim::RowTarget> WithStrokeDepths(std::vector<sim::RowTarget> rows,
                                                    const std::function<std::string(const sim::RowTarget&)>& feederOf,
                                                    double pulsesPerMmZ) {
    for (sim::RowTarget& t : rows) {
        const std::optional<StrokeDepths> d = DepthsFor(feederOf(t), t.head, t.nozzle, pulsesPerMmZ);
        if (!d) continue;
        t.pickDepth = d->pick;
        t.placeDepth = d->place;
        t.releaseDepth = d->release;
    }
    return rows;
}

// The feeder the placement list names for the row's job row.
inline std::string ListFeederOf(const sim::RowTarget& t) {
    return ThePartList().Cell(JobList::Part, t.row, partcell::Feeder);
}

// The world's rows, each with the depths of its part from the feeder the placement
// list names for it; a row the list leaves without depths fails the calling test.
inline std::vector<sim::RowTarget> ListRowsWithDepths(const sim::Scenario& world) {
    std::vector<sim::RowTarget> rows = WithStrokeDepths(sim::ExpandRows(world), ListFeederOf, world.pulsesZ);
    for (const sim::RowTarget& r : rows) EXPECT_TRUE(r.pickDepth && r.releaseDepth) << "no depths for " << r.name;
    return rows;
}

} // namespace smt::test
