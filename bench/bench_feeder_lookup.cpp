// The run's look-up of a placement's feeder in the open group, with 8, 64 and 256
// feeders: the row found under the table's lock (what the run does), the old way
// that copied the whole group for every call, and the run's FindFeederForPart.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/numtext.h"
#include "feeders/feed_group_file.h"
#include "feeders/feed_group_table.h"
#include "run/placement_records.h"

namespace {

// One group of `count` west-bank integration feeders, each row full of numbers.
std::vector<std::string> GroupLines(int count) {
    std::vector<std::string> lines{"1\tBench\t", smt::FormatC("Bench\tfeeders\t%d\t", count)};
    for (int f = 0; f < count; ++f) {
        std::vector<std::string> cells;
        cells.push_back(smt::FormatC("W%d", f + 1));
        for (int k = 1; k < smt::kFeedCells; ++k) cells.push_back(smt::FormatMm(f * 0.37 + k * 1.25));
        cells[10] = "1";
        cells[12] = "Yes/Camera 1";
        cells[14] = "集中飞达";
        cells[23] = "No/取料速度";
        lines.push_back(smt::JoinRow(cells));
    }
    for (int f = 0; f < count; ++f) lines.push_back("0\t0\t0\t0\t0.0000\t0.0000\t");
    return lines;
}

void Load(smt::FeedGroupTable& table, int count) {
    table.DestroyFeedGroupTable();
    std::vector<std::string> lines = GroupLines(count);
    smt::ReadFeedGroupTable(table, lines);
}

// The feeder looked for: the middle one, as a run's placements spread over the group.
std::string Middle(int count) { return smt::FormatC("W%d", count / 2 + 1); }

void BM_FeederLookUp(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    smt::FeedGroupTable table;
    Load(table, count);
    const std::string id = Middle(count);
    for (auto _ : state) {
        auto found = table.FindFeedRow(0, id);
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_FeederLookUp)->Arg(8)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);

// What the look-up cost before: the group copied, searched, the row copied.
void BM_FeederLookUpCopyingTheGroup(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    smt::FeedGroupTable table;
    Load(table, count);
    const std::string id = Middle(count);
    for (auto _ : state) {
        const auto group = table.CopyGroup(0);
        const int index = group ? group->FindRow(id) : -1;
        smt::FeedRow row = group->rows[static_cast<std::size_t>(index)];
        benchmark::DoNotOptimize(row);
    }
}
BENCHMARK(BM_FeederLookUpCopyingTheGroup)->Arg(8)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);

// The run's whole step for one placement's feeder (head 1, nozzle slot 1).
void BM_FindFeederForPart(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    Load(smt::TheFeedGroupTable(), count);
    const std::string id = Middle(count);
    for (auto _ : state) benchmark::DoNotOptimize(smt::FindFeederForPart(0, id, 1));
    smt::TheFeedGroupTable().DestroyFeedGroupTable();
}
BENCHMARK(BM_FindFeederForPart)->Arg(8)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);

} // namespace
