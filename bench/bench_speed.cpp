// Reading the live speeds is on every motion command's path; loading the template
// rows happens at start-up and on each language change.
#include <benchmark/benchmark.h>

#include "settings/speed_template.h"

namespace {

std::vector<std::string> TemplateRows(int count) {
    std::vector<std::string> rows;
    for (int cls = 0; cls < smt::kSpeedClassCount; ++cls) {
        for (int i = 0; i < count; ++i) {
            std::string row = "Template " + std::to_string(i) + "\t";
            for (int d = 0; d < smt::kSpeedDriveCount; ++d) row += smt::FormatSpeedCell(10 + cls, 60 + i) + "\t";
            rows.push_back(row);
        }
    }
    return rows;
}

void BM_ReadSpeedTypeTable(benchmark::State& state) {
    smt::SpeedTemplates live;
    for (auto _ : state) benchmark::DoNotOptimize(live.Table(smt::SpeedType::Smt));
}
BENCHMARK(BM_ReadSpeedTypeTable);

void BM_ReadSettings(benchmark::State& state) {
    smt::SpeedTemplates live;
    for (auto _ : state) benchmark::DoNotOptimize(live.JogStep(2, smt::JogGroup::Z));
}
BENCHMARK(BM_ReadSettings);

void BM_FindTemplateSpeeds(benchmark::State& state) {
    smt::SpeedTemplates live;
    live.LoadSpeedTables(TemplateRows(static_cast<int>(state.range(0))), 0);
    const std::string last = "Template " + std::to_string(state.range(0) - 1);
    std::array<smt::SpeedPair, smt::kSpeedDriveCount> speeds{};
    for (auto _ : state) benchmark::DoNotOptimize(live.FindTemplateSpeeds(last, speeds));
}
BENCHMARK(BM_FindTemplateSpeeds)->Arg(8)->Arg(64);

void BM_LoadSpeedTables(benchmark::State& state) {
    smt::SpeedTemplates live;
    const std::vector<std::string> rows = TemplateRows(static_cast<int>(state.range(0)));
    for (auto _ : state) live.LoadSpeedTables(rows, 1);
}
BENCHMARK(BM_LoadSpeedTables)->Arg(8)->Arg(64);

} // namespace
