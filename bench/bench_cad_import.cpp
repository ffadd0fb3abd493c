// A 10,000-part coordinate file read and imported into a PCB record against 500
// feeders with both matches on, in a blank, a comma and a tab layout (aim: under
// 100 ms each).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/numtext.h"
#include "joblist/cad_import.h"
#include "joblist/cad_layouts.h"
#include "joblist/pcb_editor.h"

namespace {

std::string File(int format) {
    std::string text;
    const char sep = format == 9 ? ',' : format == 12 ? '\t' : ' ';
    if (format == 0) text = "Designator Footprint\r\n\r\n";
    else text = "header\r\n";
    for (int i = 0; i < 10000; ++i) {
        const std::string pkg = "P" + std::to_string(i % 700), val = "V" + std::to_string(i % 300);
        const std::string x = std::to_string(i % 250) + ".25", y = std::to_string(i % 180) + ".5";
        if (format == 0)
            text += "R" + std::to_string(i) + " " + pkg + " " + x + "mm " + y + "mm 0 0 0 0 T 90 " + val + "\r\n";
        else  // value, designator, package, -, layer, rotation, X, Y (tab: designator, value first)
            text += (format == 9 ? val : "R" + std::to_string(i)) + sep + (format == 9 ? "R" + std::to_string(i) : val) +
                    sep + pkg + sep + "x" + sep + "T" + sep + "90" + sep + x + sep + y + "\r\n";
    }
    return text;
}

void ReadAndImport(benchmark::State& state) {
    const int format = static_cast<int>(state.range(0));
    const std::string bytes = File(format);
    std::vector<smt::FeedRow> feeders(500);
    for (int i = 0; i < 500; ++i) {
        feeders[i][0] = "F" + std::to_string(i);
        feeders[i][2] = "P" + std::to_string(i);
        feeders[i][3] = "V" + std::to_string(i % 300);
    }
    smt::PcbEditor pcb;
    smt::PcbRecord r;
    r.m_PcbName = "B";
    pcb.m_PcbRecords.push_back(r);
    pcb.m_CurrentPcbName = "B";
    for (auto _ : state) {
        const smt::CadReadResult read = smt::CadReaderFor(format)(bytes);
        std::vector<std::vector<std::string>> rows;
        rows.reserve(read.rows.size());
        for (const smt::ImportRow& row : read.rows) rows.emplace_back(row.begin(), row.end());
        smt::AppendImportedParts(pcb, rows, smt::kImportCells, format, 1, 1, feeders, {}, 0);
        benchmark::DoNotOptimize(pcb.m_PcbRecords[0].m_PartRows.size());
    }
}
BENCHMARK(ReadAndImport)->Arg(0)->Arg(9)->Arg(12)->Unit(benchmark::kMillisecond);

} // namespace

