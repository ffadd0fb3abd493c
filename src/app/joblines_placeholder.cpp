#include "app/joblines_placeholder.h"

#include "base/globals.h"
#include "base/numtext.h"

namespace smt {

void PlaceholderJobLists::ParsePcbSection(const std::string& name, std::int32_t count,
                                          const std::vector<std::string>& lines) {
    SetJob(name, count, lines);
}

void PlaceholderJobLists::SetJob(std::string name, int pcbCount, std::vector<std::string> section) {
    m_currentPcb = std::move(name);
    m_pcbCount = pcbCount > 0 ? pcbCount : 0;
    m_section = std::move(section);
    m_placementRows = m_section;
}

void PlaceholderJobLists::FreePcbRecords() {
    m_currentPcb.clear();
    m_pcbCount = 0;
    m_section.clear();
}

void PlaceholderJobLists::ReadLampTableLines() {
    for (int r = 0; r < kLampRows; ++r) {
        const auto cells = r < static_cast<int>(g_LampTableLines.size()) ? SplitRow(g_LampTableLines[r])
                                                                          : std::vector<std::string>{};
        for (int c = 0; c < kLampCells; ++c)
            g_LampTable[r * kLampCells + c] = c < static_cast<int>(cells.size()) ? cells[c] : std::string();
    }
}

} // namespace smt
