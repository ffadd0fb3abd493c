// Start-up read and full-save write of the feeder groups: 20 groups of 200
// feeders, a tenth of them trays of 10 x 10 pockets (each well under 20 ms).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/numtext.h"
#include "feeders/feed_group_file.h"

namespace {

std::vector<std::string> MakeLines() {
    std::vector<std::string> lines{"20\tGroup 0\t"};
    for (int g = 0; g < 20; ++g) {
        lines.push_back(smt::FormatC("Group %d\tfamily %d\t200\t", g, g));
        for (int f = 0; f < 200; ++f) {
            std::vector<std::string> cells;
            cells.push_back(smt::FormatC(f % 10 ? "E%d" : "G%d", f + 1));
            for (int k = 1; k < smt::kFeedCells; ++k) cells.push_back(smt::FormatMm(f * 0.37 + k * 1.25));
            cells[12] = "Yes/Camera 1";
            cells[14] = f % 10 ? "集中飞达" : "托盘";
            cells[23] = "No/取料速度";
            lines.push_back(smt::JoinRow(cells));
        }
        for (int f = 0; f < 200; ++f) {
            if (f % 10) {
                lines.push_back("0\t0\t0\t0\t0.0000\t0.0000\t");
                continue;
            }
            lines.push_back("10\t11\t3\t4\t8.0000\t6.5000\t");
            for (int r = 0; r < 10; ++r) {
                std::vector<std::string> pockets{smt::FormatC("No/%d", r + 1)};
                for (int c = 1; c < 11; ++c) pockets.push_back(smt::FormatC("Yes/%d", r * 10 + c));
                lines.push_back(smt::JoinRow(pockets));
            }
        }
    }
    return lines;
}

void BM_ReadFeedGroupTable(benchmark::State& state) {
    const std::vector<std::string> source = MakeLines();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> lines = source;
        smt::FeedGroupTable table;
        state.ResumeTiming();
        smt::ReadFeedGroupTable(table, lines);
        benchmark::DoNotOptimize(table.GroupCount());
    }
}
BENCHMARK(BM_ReadFeedGroupTable)->Unit(benchmark::kMillisecond);

void BM_WriteFeedGroupTable(benchmark::State& state) {
    std::vector<std::string> lines = MakeLines();
    smt::FeedGroupTable table;
    smt::ReadFeedGroupTable(table, lines);
    for (auto _ : state) {
        std::vector<std::string> out;
        smt::WriteFeedGroupTable(table, out);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_WriteFeedGroupTable)->Unit(benchmark::kMillisecond);

} // namespace
