// Start-up reading of the eight table files, 10,000 rows in all.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "base/numtext.h"
#include "base/tablefile.h"

namespace {

// Rows shaped like the libraries': 30 cells of names and millimetre values,
// a few of them Chinese.
smt::FigLists makeLists(int totalRows) {
    smt::FigLists lists;
    lists.speedSetNames = "慢速\t中速\t快速\t";
    for (int i = 0; i < totalRows; ++i) {
        std::vector<std::string> cells;
        cells.push_back(smt::FormatC("E%d", i));
        cells.push_back(i % 3 ? "0603" : "电阻");
        for (int c = 0; c < 28; ++c) cells.push_back(smt::FormatMm(i * 0.37 + c * 1.25));
        lists.Rows(smt::kAllTableFiles[i % smt::kTableFileCount]).push_back(smt::JoinRow(cells));
    }
    return lists;
}

class TableFolder {
public:
    TableFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "smt-bench-XXXXXX").string();
        if (mkdtemp(tmpl.data())) m_path = tmpl;
    }
    ~TableFolder() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

void BM_LoadFigLists10000Rows(benchmark::State& state) {
    TableFolder folder;
    smt::TableFileError error;
    if (folder.Path().empty() || !smt::SaveFigLists(folder.Path(), makeLists(10000), error)) {
        state.SkipWithError("cannot write the table files");
        return;
    }
    for (auto _ : state) {
        smt::FigLists lists;
        if (!smt::LoadFigLists(folder.Path(), lists, error)) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(lists.feed.data());
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_LoadFigLists10000Rows)->Unit(benchmark::kMillisecond);

void BM_SaveFigLists10000Rows(benchmark::State& state) {
    TableFolder folder;
    const smt::FigLists lists = makeLists(10000);
    smt::TableFileError error;
    for (auto _ : state) {
        if (!smt::SaveFigLists(folder.Path(), lists, error)) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveFigLists10000Rows)->Unit(benchmark::kMillisecond);

} // namespace
