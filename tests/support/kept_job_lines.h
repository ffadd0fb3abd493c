// A job's lines kept in memory: what a read hands over is kept and given back to
// the next write, so tests can write, kill, read and compare whole jobs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "joblist/job_lines.h"

namespace smt::test {

struct KeptJobLines : smt::JobLines {
    std::string name;
    std::int32_t count = 0;
    std::vector<std::string> pcb, dis, drill;

    int PcbRecordCount() const override { return count; }
    std::string CurrentPcbName() const override { return name; }
    std::vector<std::string> BuildPcbSection() override { return pcb; }
    void ParsePcbSection(const std::string& n, std::int32_t c, const std::vector<std::string>& l) override {
        name = n, count = c, pcb = l;
    }
    void FreePcbRecords() override { name.clear(), count = 0, pcb.clear(); }
    void ClearPlacementList() override {}
    int DisCount() const override { return static_cast<int>(dis.size()); }
    std::vector<std::string> BuildDisLines() override { return dis; }
    void ParseDisLines(const std::vector<std::string>& l) override { dis = l; }
    void FreeDisRows() override { dis.clear(); }
    int DrillCount() const override { return static_cast<int>(drill.size()); }
    std::vector<std::string> BuildDrillLines() override { return drill; }
    void ParseDrillLines(const std::vector<std::string>& l) override { drill = l; }
    void FreeDrillRows() override { drill.clear(); }
    void ReadLampTableLines() override {}
    bool operator==(const KeptJobLines& o) const {
        return name == o.name && count == o.count && pcb == o.pcb && dis == o.dis && drill == o.drill;
    }
};

}  // namespace smt::test
