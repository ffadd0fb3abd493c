// The placement run's own planning per placement on a 1,000-row job, vision and
// marks off, nothing sent to a machine: the row search with its feeder resolution,
// the record build, the speed merge of the pair, the rotation targets and the
// place target. What a run spends between machine commands.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/globals.h"
#include "base/numtext.h"
#include "base/tablefile.h"
#include "feeders/feed_group_file.h"
#include "feeders/feed_group_table.h"
#include "joblist/part_list.h"
#include "joblist/run_board.h"
#include "joblist/smt_strategy.h"
#include "link/commands.h"
#include "run/pick_place.h"
#include "run/placement_records.h"
#include "run/placement_run.h"
#include "run/run_rows.h"
#include "run_state/nozzle_work.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"

namespace {

constexpr int kRows = 1000, kFeeders = 64;

void Prepare() {
    const char* kinds[9] = {"集中飞达", "自动飞达", "振动飞达", "托盘", "0402", "48", "拖针", "CL_浸渍站", "托盘_浸渍站"};
    for (int i = 0; i < 9; ++i) smt::g_FeedModeNames[static_cast<std::size_t>(i)] = kinds[i];
    smt::g_LanguageIndex = 0;
    smt::g_MachineType = 2;
    smt::ThePulseFactors().m_X_Pulse = 100, smt::ThePulseFactors().m_Y_Pulse = 80, smt::ThePulseFactors().m_Z_Pulse = 100;
    smt::ThePulseFactors().m_A_Pulse = 10;
    smt::g_PulsesPerMmX = 100, smt::g_PulsesPerMmY = 80, smt::g_PulsesPerMmZ = 100;
    smt::TheBasicSettings().m_X_Nozzle2ToNozzle1 = -20, smt::TheBasicSettings().m_Y_Nozzle2ToNozzle1 = 0.5;
    smt::SetMoveLimits({40000, -24000, 40000, 24000});

    std::vector<std::string> lines{"1\tBench\t", smt::FormatC("Bench\tfeeders\t%d\t", kFeeders)};
    for (int f = 0; f < kFeeders; ++f) {
        std::vector<std::string> cells(smt::kFeedCells);
        cells[0] = smt::FormatC("W%d", f + 1);
        cells[4] = smt::FormatMm(50 + f * 4.0), cells[5] = smt::FormatMm(-20.0 - f * 0.5);
        cells[6] = "2.0000", cells[7] = "1.2500", cells[8] = "0.6000", cells[9] = "0";
        cells[10] = "1", cells[11] = "40", cells[12] = "No/Camera 1", cells[13] = "No/0/100";
        cells[14] = "自动飞达", cells[15] = "10", cells[16] = "10", cells[18] = "1", cells[22] = "-5";
        cells[23] = "No/", cells[25] = "01", cells[26] = "100";
        lines.push_back(smt::JoinRow(cells));
    }
    for (int f = 0; f < kFeeders; ++f) lines.push_back("0\t0\t0\t0\t0.0000\t0.0000\t");
    smt::TheFeedGroupTable().DestroyFeedGroupTable();
    smt::ReadFeedGroupTable(smt::TheFeedGroupTable(), lines);
    smt::TheFeedGroupTable().SetOpenGroupName("Bench");

    std::vector<smt::JobRow> rows;
    for (int i = 0; i < kRows; ++i) {
        smt::JobRow row(smt::CellCount(smt::JobList::Part));
        row.cells[smt::partcell::Number] = std::to_string(i + 1);
        row.cells[smt::partcell::X] = smt::FormatMm(5 + (i % 40) * 1.5);
        row.cells[smt::partcell::Y] = smt::FormatMm(5 + (i / 40) * 1.2);
        row.cells[smt::partcell::Angle] = i % 3 ? "90" : "0";
        row.cells[smt::partcell::Place] = "Yes";
        row.cells[smt::partcell::Feeder] = smt::FormatC("W%d", i % kFeeders + 1);
        row.cells[smt::partcell::Vision] = "No";
        rows.push_back(row);
    }
    smt::ThePartList().SetRows(smt::JobList::Part, rows);

    smt::PcbRecord pcb;
    pcb.m_PanelRows = 1, pcb.m_PanelCols = 1, pcb.m_OriginX = 100, pcb.m_OriginY = -200;
    pcb.m_PanelGrid = {{"A", "1/1"}};
    smt::StoreRunBoard(smt::MakeRunBoard(pcb, 100, 80));
    smt::SmtStrategyConfig c;
    c.m_HeaderSelect = 1;
    smt::TheSmtStrategy().SetConfig(c);
    smt::ApplyHeadMode(1);
    smt::TheRowSearchLookups().FindFeederForPart = [](int g, const std::string& f, int k) {
        return smt::FindFeederForPart(g, f, k);
    };
}

// One placement: the next row for the nozzle, its record (merged with the pair's
// first), the rotation targets and where the nozzle places it.
void BM_PlacementPlanning(benchmark::State& state) {
    Prepare();
    smt::PartListStore& store = smt::ThePartList();
    int cursor = -1, k = 1;
    for (auto _ : state) {
        int& row = smt::g_NozzleSlots[static_cast<std::size_t>(k - 1)].row;
        row = cursor + 1 >= kRows ? 0 : cursor + 1;
        if (!smt::FindNextPlaceRow(store, 0, kRows, k, row)) state.SkipWithError("row refused");
        cursor = row;
        smt::BuildPlacementRecord(0, k);
        smt::PlacementRecord& record = smt::g_NozzleWork[static_cast<std::size_t>(k - 1)];
        if (k == 2) smt::MergePairSpeeds(smt::g_NozzleWork[0], record);
        smt::LogPlacement();
        benchmark::DoNotOptimize(smt::ComputePlaceTarget(record, k, false, false, 0.0, 0.0));
        k = k == 1 ? 2 : 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlacementPlanning)->Unit(benchmark::kMicrosecond);

} // namespace
