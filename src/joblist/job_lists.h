// The job lists as the document sees them: the dispensing and drilling lines go
// through the part list's rows; the PCB section is kept as read and its lines
// shown as placement rows until the PCB records take it over.
#pragma once

#include "app/document.h"
#include "joblist/part_list.h"

namespace smt {

class JobLists : public JobLines {
public:
    explicit JobLists(PartListStore& store = ThePartList()) : m_store(store) {}

    int PcbRecordCount() const override { return m_pcbCount; }
    std::string CurrentPcbName() const override { return m_currentPcb; }
    std::vector<std::string> BuildPcbSection() override { return m_section; }
    void ParsePcbSection(const std::string& name, std::int32_t count,
                         const std::vector<std::string>& lines) override;
    void FreePcbRecords() override;
    void ClearPlacementList() override { m_store.DeleteAllRows(JobList::Part); }

    int DisCount() const override { return m_store.RowCount(JobList::Dis); }
    std::vector<std::string> BuildDisLines() override;
    // The list shown follows the run mode of the placement strategy.
    void ParseDisLines(const std::vector<std::string>& lines) override;
    void FreeDisRows() override { m_store.FreeDisRows(); }
    int DrillCount() const override { return m_store.RowCount(JobList::Drill); }
    std::vector<std::string> BuildDrillLines() override;
    void ParseDrillLines(const std::vector<std::string>& lines) override;
    void FreeDrillRows() override { m_store.FreeDrillRows(); }
    void ReadLampTableLines() override;

    // Sets the PCB section as if read (the placement rows follow it).
    void SetJob(std::string name, int pcbCount, std::vector<std::string> section);
    PartListStore& Store() { return m_store; }

private:
    PartListStore& m_store;
    std::string m_currentPcb;
    int m_pcbCount = 0;
    std::vector<std::string> m_section;
};

// A PCB-section line as a placement row: tab-ended cells, the flag cells 7 and
// 10 split at their "/" into icon and text.
JobRow PlacementRowFromLine(const std::string& line);

} // namespace smt
