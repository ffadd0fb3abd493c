// Sorting 10,000 placement rows by keys 0, 9 and 20 (500 feeders), and building
// and parsing 10,000 dispensing lines (each well under 20 ms).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/numtext.h"
#include "joblist/list_sort.h"

namespace {

constexpr int kRows = 10000;
const char* const kBanks[] = {"E", "S", "W", "N", "G"};

std::vector<smt::FeedRow> Feeders() {
    std::vector<smt::FeedRow> feeders(500);
    for (int f = 0; f < 500; ++f) {
        feeders[f][0] = smt::FormatC("%s%d", kBanks[f % 5], f / 5 + 1);
        feeders[f][8] = smt::FormatMm((f * 37 % 100) * 0.1);
    }
    return feeders;
}

std::vector<smt::JobRow> Rows(const std::vector<smt::FeedRow>& feeders) {
    std::vector<smt::JobRow> rows;
    for (int i = 0; i < kRows; ++i) {
        smt::JobRow r(smt::kPartCells);
        r.Set(0, smt::FormatC("%d", (i * 7919) % kRows + 1), smt::rowicon::Plain);
        r.cells[1] = smt::FormatMm(i * 0.25);
        r.cells[2] = smt::FormatMm(-i * 0.5);
        r.cells[smt::partcell::Feeder] = feeders[(i * 31) % feeders.size()][0];
        rows.push_back(std::move(r));
    }
    return rows;
}

void BM_SortPlacementRows(benchmark::State& state) {
    const auto feeders = Feeders();
    const auto rows = Rows(feeders);
    smt::PartListStore store;
    for (auto _ : state) {
        state.PauseTiming();
        store.SetRows(smt::JobList::Part, rows);
        store.m_SortKey = static_cast<int>(state.range(0));
        state.ResumeTiming();
        smt::SortPartRows(store, smt::JobList::Part, feeders);
    }
}
BENCHMARK(BM_SortPlacementRows)->Arg(0)->Arg(9)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_DispensingLines(benchmark::State& state) {
    std::vector<std::string> lines;
    for (int i = 0; i < kRows; ++i)
        lines.push_back(smt::FormatC("%d\t%0.4f\t%0.4f\t-1.2500\tYes\t5\t10\t50\t50\t50\t\t\t\t\t\t", i + 1,
                                     i * 0.25, i * -0.5));
    smt::PartListStore store;
    for (auto _ : state) {
        store.ParseDisLines(lines, 1);
        store.BuildDisLines();
        benchmark::DoNotOptimize(store.m_DisLines.data());
    }
}
BENCHMARK(BM_DispensingLines)->Unit(benchmark::kMillisecond);

} // namespace
