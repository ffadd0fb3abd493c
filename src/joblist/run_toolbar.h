// The part list's run toolbar commands: Start with its guards, Pause, Regain and
// Stop through the run flags and the pause gate, Pcb Clamp, Compare, Update,
// Smt Dis, the run clock, the six restricted starts from the row menus and the
// find walk. All run on the user-interface thread (the machine's panel keys post
// to it); what they show goes through the port the part list window fills.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "feeders/feed_rows.h"
#include "joblist/part_list.h"
#include "joblist/pcb_records.h"

namespace smt {

struct RunToolbarPort {
    std::function<void(const std::string& text)> setTrace;  // replaces the manual panel's trace box
    std::function<void(JobList)> focusList;
    std::function<void(JobList, int row)> ensureVisible;
    std::function<void(bool run)> runClock;                  // the window's 1000 ms timer on or off
    std::function<void()> enablePanels;                      // list, camera and manual panels again
    std::function<int()> pcbBoardCount;                      // m_PcbBoardCount of the PCB editor
    std::function<PcbEditFields()> pcbEditFields;            // a copy of the PCB editor's fields (the run's Mark settings)
};
RunToolbarPort& TheRunToolbarPort();

// Start: true when the run was handed to the run start. Each refusal changes
// no flag, event, clock or button.
bool OnStartRun(PartListStore& store);
void OnPauseRun();
void OnResumeRun();
void OnStopRun();
// "Pcb Clamp": connected, homed and idle, then the conveyor's clamp button.
void OnPcbClamp();
void OnCompare(PartListStore& store);
void OnUpdate(PartListStore& store, const std::vector<FeedRow>& feeders);
void OnSmtDis(PartListStore& store);

// The restricted starts: guards, head reset, the list's flag, Start. A refused
// start clears the flag again, so the next plain start runs every row.
void RunRestricted(PartListStore& store, JobList list, bool selectedOnly);

// The clock: one second more; its texts.
void AdvanceRunClock();
std::string RunClockText();
std::string RunCounterText(int currentRowNo, int placedCount);

// What the end of a run does to the part list and its toolbar.
void FinishRunPartListSteps(PartListStore& store);

// The head limit of Update per machine type; 0 where heads are not checked.
int HeadLimitOfMachineType(int machineType);

// Find: the first cell equal to `text` from `startRow` on, row by row, columns
// 0..columns-1. {row, column} or nothing.
struct FindHit {
    int row = -1, column = -1;
};
std::optional<FindHit> FindCell(const PartListStore& store, const std::string& text, int startRow, int columns);

} // namespace smt
