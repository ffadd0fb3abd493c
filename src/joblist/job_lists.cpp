#include "joblist/job_lists.h"

#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/strategy_port.h"

namespace smt {

JobRow PlacementRowFromLine(const std::string& line) {
    JobRow row(kPartCells);
    const auto cells = SplitRow(line);
    for (int c = 0; c < kPartCells && c < static_cast<int>(cells.size()); ++c) row.cells[c] = cells[c];
    row.icons[0] = rowicon::Plain;
    ShowStoredFlag(row, partcell::Place, rowicon::Yes, rowicon::No);
    ShowStoredFlag(row, partcell::Vision, rowicon::VisionYes, rowicon::VisionNo);
    return row;
}

void JobLists::ParsePcbSection(const std::string& name, std::int32_t count,
                               const std::vector<std::string>& lines) {
    SetJob(name, count, lines);
}

void JobLists::SetJob(std::string name, int pcbCount, std::vector<std::string> section) {
    m_currentPcb = std::move(name);
    m_pcbCount = pcbCount > 0 ? pcbCount : 0;
    m_section = std::move(section);
    std::vector<JobRow> rows;
    rows.reserve(m_section.size());
    for (const auto& line : m_section) rows.push_back(PlacementRowFromLine(line));
    m_store.SetRows(JobList::Part, std::move(rows));
}

void JobLists::FreePcbRecords() {
    m_currentPcb.clear();
    m_pcbCount = 0;
    m_section.clear();
}

std::vector<std::string> JobLists::BuildDisLines() {
    m_store.BuildDisLines();
    auto lock = m_store.Hold();
    return m_store.m_DisLines;
}

std::vector<std::string> JobLists::BuildDrillLines() {
    m_store.BuildDrillLines();
    auto lock = m_store.Hold();
    return m_store.m_DrillLines;
}

void JobLists::ParseDisLines(const std::vector<std::string>& lines) {
    {
        auto lock = m_store.Hold();
        m_store.m_DisLines = lines;
    }
    m_store.ParseDisLines(lines, StrategyPort::Read(TheStrategyPort().m_RunSelect));
}

void JobLists::ParseDrillLines(const std::vector<std::string>& lines) {
    {
        auto lock = m_store.Hold();
        m_store.m_DrillLines = lines;
    }
    m_store.ParseDrillLines(lines);
}

void JobLists::ReadLampTableLines() {
    for (int r = 0; r < kLampRows; ++r) {
        const auto cells = r < static_cast<int>(g_LampTableLines.size()) ? SplitRow(g_LampTableLines[r])
                                                                          : std::vector<std::string>{};
        for (int c = 0; c < kLampCells; ++c)
            g_LampTable[r * kLampCells + c] = c < static_cast<int>(cells.size()) ? cells[c] : std::string();
    }
}

} // namespace smt
