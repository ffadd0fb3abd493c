// The job lists' side of the project files, defined here so that the shell's
// document reaches down to it and the job lists never include the shell.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/globals.h"

namespace smt {

// Everything a job's files said, read whole before the open job is touched.
struct JobContent {
    std::string currentPcbName;
    std::int32_t pcbCount = 0;
    std::vector<std::string> pcbSection;
    bool disPresent = false;  // a ".dis" companion was there
    std::vector<std::string> dis;
    bool takeDrill = false;    // machine type 9: the drilling list follows the job
    bool drillPresent = false;
    std::vector<std::string> drill;
    bool takeLamp = false;     // machine type 4: the lamp table follows the job
    std::vector<std::string> lamp;  // its 20 lines (a job without ".txt" gives empty ones)
};

// What the job lists give the project files. The lines are the job lists' own
// text layout; the document only stores and restores them.
class JobLines {
public:
    virtual ~JobLines() = default;

    // Placement side: the PCB records with their placement rows.
    virtual int PcbRecordCount() const = 0;
    virtual std::string CurrentPcbName() const = 0;
    // Copies the placement list into the current record and returns every
    // record as section lines.
    virtual std::vector<std::string> BuildPcbSection() = 0;
    // Restores the name and record count as stored and parses the lines into
    // records, filling the placement list.
    virtual void ParsePcbSection(const std::string& currentPcbName, std::int32_t pcbCount,
                                 const std::vector<std::string>& lines) = 0;
    // Whether ParsePcbSection would take these lines whole, changing nothing; an
    // open asks before it replaces the job.
    virtual bool PcbSectionReadable(std::int32_t pcbCount, const std::vector<std::string>& lines) const {
        (void)pcbCount, (void)lines;
        return true;
    }
    virtual void FreePcbRecords() = 0;
    virtual void ClearPlacementList() = 0;

    // Dispensing and drilling lists (15 cells a line).
    virtual int DisCount() const = 0;
    virtual std::vector<std::string> BuildDisLines() = 0;
    virtual void ParseDisLines(const std::vector<std::string>& lines) = 0;
    virtual void FreeDisRows() = 0;
    virtual int DrillCount() const = 0;
    virtual std::vector<std::string> BuildDrillLines() = 0;
    virtual void ParseDrillLines(const std::vector<std::string>& lines) = 0;
    virtual void FreeDrillRows() = 0;

    // Rebuilds the lamp table from g_LampTableLines.
    virtual void ReadLampTableLines() = 0;

    // Replaces the open job by `content`. The job lists make everything the new job
    // needs first and change the open job only once nothing can fail any more, so a
    // failure (a damaged section, memory) leaves the open job as it was. This plain
    // sequence serves lines kept in memory.
    virtual void TakeJob(JobContent content) {
        FreePcbRecords();
        ParsePcbSection(content.currentPcbName, content.pcbCount, content.pcbSection);
        FreeDisRows();
        if (content.disPresent) ParseDisLines(content.dis);
        if (content.takeDrill) {
            FreeDrillRows();
            if (content.drillPresent) ParseDrillLines(content.drill);
        }
        if (content.takeLamp) {
            {
                std::lock_guard lock(LampTableMutex());
                g_LampTableLines = std::move(content.lamp);
            }
            ReadLampTableLines();
        }
    }
};

} // namespace smt
