#include "app/joblines_placeholder.h"

#include "base/globals.h"
#include "base/numtext.h"

namespace smt {

PlaceholderJobLists::PlaceholderJobLists() { ConnectPlacementList(); }

PlaceholderJobLists::PlaceholderJobLists(const PlaceholderJobLists& other)
    : JobLines(other), m_pcb(other.m_pcb), m_placement(other.m_placement), m_dis(other.m_dis),
      m_drill(other.m_drill) {
    ConnectPlacementList();
}

PlaceholderJobLists& PlaceholderJobLists::operator=(const PlaceholderJobLists& other) {
    m_pcb = other.m_pcb;
    m_placement = other.m_placement;
    m_dis = other.m_dis;
    m_drill = other.m_drill;
    ConnectPlacementList();
    return *this;
}

// The records read and refill the placement list held here.
void PlaceholderJobLists::ConnectPlacementList() {
    m_pcb.m_PlacementList.rows = [this] { return m_placement; };
    m_pcb.m_PlacementList.setRows = [this](std::vector<PlacementItem> rows) {
        m_placement = std::move(rows);
        if (m_PlacementChanged) m_PlacementChanged();
    };
    m_pcb.m_PlacementList.showStatics = [this](const std::string&, const std::string&) {
        if (m_PlacementChanged) m_PlacementChanged();
    };
}

void PlaceholderJobLists::ParsePcbSection(const std::string& name, std::int32_t count,
                                          const std::vector<std::string>& lines) {
    m_pcb.ParsePcbSection(name, count, lines);
}

void PlaceholderJobLists::SetJob(std::string name, int pcbCount, std::vector<std::string> section) {
    m_pcb.FreePcbRecords();
    m_pcb.ParsePcbSection(name, pcbCount, section);
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
