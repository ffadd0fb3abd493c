// What the job lists call of the run. The run fills it; an unset member does
// nothing, so the part list and the PCB records work before the run exists.
#pragma once

#include <functional>

namespace smt {

struct RunPort {
    // Creates the run events; called once by the part list's window start.
    std::function<void()> createRunEvents;
    // Board offsets and rotation from two measured Mark offsets (mm).
    std::function<void(double, double, double, double)> computeTwoMarkCorrection;
    // Starts the run threads for the run mode (Start has set the flags); always true.
    std::function<bool(int runMode)> startRunThreads;
    // The common end of every run; keep-conveyor leaves the conveyor companion running.
    std::function<void(bool keepConveyor)> finishRun;
    // A thread of the previous run still lives (Start waits for it to end).
    std::function<bool()> runThreadsLive;
    // Centres the Mark of lamp point (table 1 or 2, point 0..9) under the mark
    // camera and writes its offsets into the point's row; true = stop.
    std::function<bool(int table, int point)> recognizeMark;
};

RunPort& TheRunPort();

} // namespace smt
