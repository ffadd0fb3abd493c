#include "joblist/job_lists.h"

#include <stdexcept>

#include "joblist/lamp_table.h"

#include "base/globals.h"
#include "base/log.h"
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

void JobLists::TakeJob(JobContent content) {
    // Everything the new job needs is made here; a failure (a damaged section,
    // memory) leaves the open job untouched.
    PcbEditor::ParsedSection pcb = m_pcb.ParseSection(content.currentPcbName, content.pcbCount, content.pcbSection);
    std::vector<JobRow> placement;
    placement.reserve(pcb.items.size());
    for (const PlacementItem& item : pcb.items) placement.push_back(PlacementRowFromItem(item));
    const bool showRows = pcb.current >= 0;
    std::vector<JobRow> dis = content.disPresent ? PartListStore::DisRowsOf(content.dis) : std::vector<JobRow>{};
    std::vector<JobRow> drill = content.takeDrill && content.drillPresent ? PartListStore::DrillRowsOf(content.drill)
                                                                         : std::vector<JobRow>{};
    const int runMode = StrategyPort::Read(TheStrategyPort().m_RunSelect);

    // Taken: each part moves in before its views are told. A notice that fails
    // (memory) must not leave the job half taken, so it is logged and the rest
    // is taken all the same.
    auto step = [](const char* what, auto&& take) {
        try {
            take();
        } catch (const std::exception& e) {
            LogPrintf(GetLogStream(), true, "job open: %s not shown (%s)", what, e.what());
        }
    };
    step("PCB records", [&] { m_pcb.TakeSection(std::move(pcb)); });
    if (showRows) step("placement rows", [&] { m_store.SetRows(JobList::Part, std::move(placement)); });
    step("dispensing rows", [&] {
        m_store.TakeDisRows(std::move(dis), content.disPresent ? &content.dis : nullptr, runMode);
    });
    if (content.takeDrill)
        step("drilling rows", [&] {
            m_store.TakeDrillRows(std::move(drill), content.drillPresent ? &content.drill : nullptr);
        });
    if (content.takeLamp) {
        {
            std::lock_guard lock(LampTableMutex());
            g_LampTableLines.swap(content.lamp);
        }
        step("lamp table", [&] { ReadLampTableLines(); });
    }
}

} // namespace smt
