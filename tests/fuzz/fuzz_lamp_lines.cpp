// Lamp-table lines from arbitrary bytes: every row is refilled from its line (no
// cell past the 40th, a missing cell empty), the point count stays within 0..10,
// and the lines rebuilt from the table read back to the same table.
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/globals.h"
#include "fuzz_lines.h"
#include "base/numtext.h"
#include "joblist/lamp_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines = FuzzLines(bytes);
    {
        std::lock_guard lock(smt::LampTableMutex());
        smt::g_LampTableLines = lines;
    }
    smt::ReadLampTableLines();
    const int points = smt::TheLampMachineList().m_PointCount.load();
    if (points < 0 || points > smt::kLampPoints) std::abort();
    const auto rows = smt::LampTableRows();
    if (rows.size() != 20u) std::abort();
    for (int r = 0; r < 20; ++r) {
        const auto cells = r < static_cast<int>(lines.size()) ? smt::SplitRow(lines[r]) : std::vector<std::string>{};
        for (int c = 0; c < 40; ++c)
            if (rows[r][c] != (c < static_cast<int>(cells.size()) ? cells[c] : std::string())) std::abort();
    }
    smt::WriteLampTableLines();
    smt::ReadLampTableLines();
    if (smt::LampTableRows() != rows || smt::TheLampMachineList().m_PointCount.load() != points) std::abort();
    // The services never reach past the table.
    smt::DeleteLampPoint(static_cast<int>(size % 13) - 1);
    smt::SetLampCell(static_cast<int>(size % 23) - 1, static_cast<int>(size % 43) - 1, "x");
    if (smt::TheLampMachineList().m_PointCount.load() < 0) std::abort();
    return 0;
}
