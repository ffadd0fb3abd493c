// Project save and load of the PCB section: a 10,000-row job of 4 PCBs with 4 x 5
// panels (each well under 20 ms).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/numtext.h"
#include "joblist/pcb_editor.h"

namespace {

smt::PcbEditor MakeJob() {
    smt::PcbEditor pcb;
    for (int p = 0; p < 4; ++p) {
        smt::PcbRecord r;
        r.m_PcbName = smt::FormatC("PCB%d", p);
        r.m_PanelRows = 4;
        r.m_PanelCols = 5;
        for (int i = 0; i < 4; ++i) {
            std::vector<std::string> row{smt::FormatC("0/%d", i + 1)};
            for (int c = 1; c <= 5; ++c) row.push_back(smt::FormatC("1/%d", i * 5 + c));
            r.m_PanelGrid.push_back(row);
        }
        for (int k = 0; k < 2500; ++k) {
            smt::PartRow row;
            for (int c = 0; c < smt::kPartRowCells; ++c) row[c] = smt::FormatMm(k * 0.37 + c);
            row[4] = smt::FormatC("R%d", k);
            row[smt::kPlaceCell] = "1/Yes";
            row[smt::kVisionCell] = "0/No";
            r.m_PartRows.push_back(row);
        }
        pcb.m_PcbRecords.push_back(std::move(r));
    }
    pcb.m_CurrentPcbName = "PCB0";
    return pcb;
}

void BM_BuildPcbSection(benchmark::State& state) {
    smt::PcbEditor pcb = MakeJob();
    std::vector<smt::PlacementItem> list;
    for (const auto& row : pcb.m_PcbRecords[0].m_PartRows) list.push_back(smt::ItemFromStoredRow(row));
    pcb.m_PlacementList.rows = [&] { return list; };
    for (auto _ : state) benchmark::DoNotOptimize(pcb.BuildPcbSection());
}
BENCHMARK(BM_BuildPcbSection)->Unit(benchmark::kMillisecond);

void BM_ParsePcbSection(benchmark::State& state) {
    const std::vector<std::string> lines = smt::BuildSectionLines(MakeJob().m_PcbRecords);
    std::vector<smt::PlacementItem> list;
    for (auto _ : state) {
        smt::PcbEditor pcb;
        pcb.m_PlacementList.setRows = [&](std::vector<smt::PlacementItem> rows) { list = std::move(rows); };
        pcb.ParsePcbSection("PCB0", 4, lines);
        benchmark::DoNotOptimize(pcb.m_PcbRecords.data());
    }
}
BENCHMARK(BM_ParsePcbSection)->Unit(benchmark::kMillisecond);

} // namespace
