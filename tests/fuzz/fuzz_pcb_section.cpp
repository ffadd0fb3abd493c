// PCB sections from arbitrary lines: the parse ends cleanly (or with the short
// section failure), and what it kept writes lines that parse back to the same lines.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_lines.h"
#include "joblist/pcb_editor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    AnswerMessageBoxesOk();
    if (size < 1) return 0;
    const std::int32_t count = static_cast<std::int8_t>(data[0]);
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<std::string> lines = FuzzLines(bytes);

    smt::PcbEditor pcb;
    std::vector<smt::PlacementItem> list;
    pcb.m_PlacementList.rows = [&] { return list; };
    pcb.m_PlacementList.setRows = [&](std::vector<smt::PlacementItem> rows) { list = std::move(rows); };
    try {
        pcb.ParsePcbSection("x", count, lines);
    } catch (const std::invalid_argument&) {
    }
    const int kept = pcb.PcbRecordCount();
    if (kept > (count > 0 ? count : 0)) std::abort();
    const std::vector<std::string> written = smt::BuildSectionLines(pcb.m_PcbRecords);

    smt::PcbEditor back;
    back.ParsePcbSection(pcb.CurrentPcbName(), kept, written);
    if (smt::BuildSectionLines(back.m_PcbRecords) != written) std::abort();
    return 0;
}
