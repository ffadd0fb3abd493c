#include "joblist/job_lists.h"

#include <stdexcept>

#include "joblist/lamp_table.h"

#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/strategy_port.h"

namespace smt {

PlacementItem PlacementItemFromRow(const JobRow& row) {
    PlacementItem item;
    for (int c = 0; c < kPartCells; ++c) item.cells[c] = row.Cell(c);
    item.place = row.Icon(partcell::Place) == rowicon::Yes;
    item.vision = row.Icon(partcell::Vision) == rowicon::VisionYes;
    return item;
}

JobRow PlacementRowFromItem(const PlacementItem& item) {
    JobRow row(kPartCells);
    for (int c = 0; c < kPartCells; ++c) row.cells[c] = item.cells[c];
    row.icons[0] = rowicon::Plain;
    row.icons[partcell::Place] = item.place ? rowicon::Yes : rowicon::No;
    row.icons[partcell::Vision] = item.vision ? rowicon::VisionYes : rowicon::VisionNo;
    return row;
}

JobLists::JobLists(PartListStore& store) : m_store(store) {
    PlacementListAccess& list = m_pcb.m_PlacementList;
    list.rows = [this] {
        const std::vector<JobRow> rows = m_store.Rows(JobList::Part);
        std::vector<PlacementItem> items;
        items.reserve(rows.size());
        for (const JobRow& r : rows) items.push_back(PlacementItemFromRow(r));
        return items;
    };
    list.setRows = [this](std::vector<PlacementItem> items) {
        std::vector<JobRow> rows;
        rows.reserve(items.size());
        for (const PlacementItem& item : items) rows.push_back(PlacementRowFromItem(item));
        m_store.SetRows(JobList::Part, std::move(rows));
    };
    list.showStatics = [this](const std::string& position, const std::string& count) {
        m_store.SetLabels(position, count);
    };
}

void JobLists::SetJob(const std::string& name, int pcbCount, const std::vector<std::string>& section) {
    m_pcb.FreePcbRecords();
    m_pcb.ClearPlacementList();
    m_pcb.ParsePcbSection(name, pcbCount, section);
}

bool JobLists::PcbSectionReadable(std::int32_t count, const std::vector<std::string>& lines) const {
    if (count < 1) return true;
    try {
        std::vector<PcbRecord> scratch;
        ParseSectionLines(lines, count, scratch);
        return true;
    } catch (const std::exception&) {
        return false;
    }
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

void JobLists::ReadLampTableLines() { ::smt::ReadLampTableLines(); }

} // namespace smt
