// The job lists as the document sees them: the PCB section goes through the PCB
// records, whose placement list is the part list's placement rows; the
// dispensing and drilling lines go through the part list's rows.
#pragma once

#include "joblist/job_lines.h"
#include "joblist/part_list.h"
#include "joblist/pcb_editor.h"

namespace smt {

class JobLists : public JobLines {
public:
    explicit JobLists(PartListStore& store = ThePartList());
    // The records' placement list points into this object.
    JobLists(const JobLists&) = delete;
    JobLists& operator=(const JobLists&) = delete;

    int PcbRecordCount() const override { return m_pcb.PcbRecordCount(); }
    std::string CurrentPcbName() const override { return m_pcb.CurrentPcbName(); }
    // The placement rows (with the operator's in-place edits) go into the current record first.
    std::vector<std::string> BuildPcbSection() override { return m_pcb.BuildPcbSection(); }
    void ParsePcbSection(const std::string& name, std::int32_t count,
                         const std::vector<std::string>& lines) override {
        m_pcb.ParsePcbSection(name, count, lines);
    }
    bool PcbSectionReadable(std::int32_t count, const std::vector<std::string>& lines) const override;
    void FreePcbRecords() override { m_pcb.FreePcbRecords(); }
    void ClearPlacementList() override { m_pcb.ClearPlacementList(); }

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
    // Makes the records, the placement, dispensing and drilling rows first; only
    // then moves them in, so a failure leaves the open job as it was.
    void TakeJob(JobContent content) override;

    // Replaces the records by a PCB section as if read (the placement rows follow it).
    void SetJob(const std::string& name, int pcbCount, const std::vector<std::string>& section);
    PartListStore& Store() { return m_store; }
    PcbEditor& Pcb() { return m_pcb; }

private:
    PartListStore& m_store;
    PcbEditor m_pcb;
};

// A placement row of the part list as the PCB records keep it, and back.
PlacementItem PlacementItemFromRow(const JobRow& row);
JobRow PlacementRowFromItem(const PlacementItem& item);

} // namespace smt
