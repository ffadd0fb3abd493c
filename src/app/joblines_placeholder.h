// Placeholder for the job lists until the part list panel lands: it keeps the
// project's lines as they were read, so a project opened and saved again keeps
// its bytes, and it counts the PCB records it was given.
#pragma once

#include "app/document.h"

namespace smt {

class PlaceholderJobLists : public JobLines {
public:
    int PcbRecordCount() const override { return m_pcbCount; }
    std::string CurrentPcbName() const override { return m_currentPcb; }
    std::vector<std::string> BuildPcbSection() override { return m_section; }
    void ParsePcbSection(const std::string& name, std::int32_t count,
                         const std::vector<std::string>& lines) override;
    void FreePcbRecords() override;
    void ClearPlacementList() override { m_placementRows.clear(); }

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
    const std::vector<std::string>& PlacementRows() const { return m_placementRows; }

private:
    std::string m_currentPcb;
    int m_pcbCount = 0;
    std::vector<std::string> m_section;
    std::vector<std::string> m_placementRows;
    std::vector<std::string> m_dis, m_drill;
};

} // namespace smt
