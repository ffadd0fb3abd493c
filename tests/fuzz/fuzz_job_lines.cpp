// Dispensing and drilling lines from arbitrary bytes: every line becomes one row
// of 15 cells, and the lines built from the rows read back to the same rows.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_lines.h"
#include "joblist/part_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines = FuzzLines(bytes);
    smt::PartListStore store;
    store.ParseDisLines(lines, static_cast<int>(size % 4));
    store.ParseDrillLines(lines);
    for (smt::JobList list : {smt::JobList::Dis, smt::JobList::Drill}) {
        if (store.RowCount(list) != static_cast<int>(lines.size())) std::abort();
    }
    store.BuildDisLines();
    store.BuildDrillLines();
    const auto rows = store.Rows(smt::JobList::Dis);
    if (store.m_DisLines.size() != rows.size() || store.m_DrillLines != store.m_DisLines) std::abort();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto cells = smt::CutCompanionLine(store.m_DisLines[i]);
        for (int c = 0; c < 15; ++c)
            if (cells[c] != rows[i].Cell(c)) std::abort();
    }
    return 0;
}
