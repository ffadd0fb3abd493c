// The run frame's port to the job lists: what it reads of them when a run starts
// (user-interface thread) and what the placement run reads and writes of the PCB
// editor and the part list window while it works (run thread). The job lists fill
// it; the frame above them reads it. An empty member reads as 0 / does nothing.
#pragma once

#include <functional>
#include <string>

namespace smt {

struct RunFrameSources {
    std::function<std::string()> currentPcbName;
    // The PCB editor's boards to run with the conveyor (m_PcbBoardCount); the run
    // counts it down, the conveyor companion reads it.
    std::function<int()> pcbBoardCount;
    std::function<void(int)> setPcbBoardCount;
    // The editor's flag for hand-entered Mark offsets: the next automatic two-mark
    // correction is skipped once.
    std::function<bool()> manualMarkOffset;
    std::function<void()> clearManualMarkOffset;
    // The mark camera's light of the PCB editor (m_LightBrightness).
    std::function<int()> markLightBrightness;
    // The placement list, the camera panel and the manual control panel off for the
    // run (the run's end enables them again).
    std::function<void()> disablePanels;
    // The part list's progress control: range 0..range (a negative range keeps it)
    // and the position.
    std::function<void(int range, int position)> showProgress;
};
RunFrameSources& TheRunFrameSources();

} // namespace smt
