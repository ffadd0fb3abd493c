// Placeholder for the job lists until the part list panel lands: the PCB side is
// the real PCB records (the placement list is held here as rows); the other
// lists keep the project's lines as they were read, so a project opened and
// saved again keeps its bytes.
#pragma once

#include <functional>

#include "app/document.h"
#include "joblist/pcb_editor.h"

namespace smt {

class PlaceholderJobLists : public JobLines {
public:
    PlaceholderJobLists();
    PlaceholderJobLists(const PlaceholderJobLists& other);
    PlaceholderJobLists& operator=(const PlaceholderJobLists& other);

    int PcbRecordCount() const override { return m_pcb.PcbRecordCount(); }
    std::string CurrentPcbName() const override { return m_pcb.CurrentPcbName(); }
    std::vector<std::string> BuildPcbSection() override { return m_pcb.BuildPcbSection(); }
    void ParsePcbSection(const std::string& name, std::int32_t count,
                         const std::vector<std::string>& lines) override;
    void FreePcbRecords() override { m_pcb.FreePcbRecords(); }
    void ClearPlacementList() override { m_pcb.ClearPlacementList(); }

    int DisCount() const override { return static_cast<int>(m_dis.size()); }
    std::vector<std::string> BuildDisLines() override { return m_dis; }
    void ParseDisLines(const std::vector<std::string>& lines) override { m_dis = lines; }
    void FreeDisRows() override { m_dis.clear(); }
    int DrillCount() const override { return static_cast<int>(m_drill.size()); }
    std::vector<std::string> BuildDrillLines() override { return m_drill; }
    void ParseDrillLines(const std::vector<std::string>& lines) override { m_drill = lines; }
    void FreeDrillRows() override { m_drill.clear(); }
    void ReadLampTableLines() override;

    // Direct access for the placeholder panel and for tests.
    void SetJob(std::string name, int pcbCount, std::vector<std::string> section);
    std::vector<std::string>& Dis() { return m_dis; }
    std::vector<std::string>& Drill() { return m_drill; }
    // The placement list: rows as the list shows them.
    std::vector<PlacementItem>& PlacementRows() { return m_placement; }
    PcbEditor& Pcb() { return m_pcb; }
    // Called whenever the placement list or the part list's statics change.
    std::function<void()> m_PlacementChanged;

private:
    void ConnectPlacementList();
    PcbEditor m_pcb;
    std::vector<PlacementItem> m_placement;
    std::vector<std::string> m_dis, m_drill;
};

} // namespace smt
