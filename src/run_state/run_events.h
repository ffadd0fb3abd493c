// The run's process-wide flags and the events through which the run threads, their
// companions and the run toolbar hand work to each other. There is no run object:
// the toolbar handlers set these, the run threads poll and wait on them. The three
// camera frame-ready events belong to the camera service (CameraService::FrameReady).
#pragma once

#include "platform/event.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace smt {

// 1 = the run thread may go on; every wait in a run thread is followed by a test of it.
extern std::atomic<bool> g_RunContinue;
extern std::atomic<bool> g_FeedContinue;
extern std::atomic<bool> g_ConveyorContinue;
// Read only by the panel-key handler to choose between pause and resume.
extern std::atomic<bool> g_RunPaused;

// Manual reset, created signalled: every run thread waits on it before and after
// each machine step; Pause resets it, Regain and Stop set it.
extern plat::Event g_hRunPauseGate;
extern plat::Event g_hBoardDispensed;
extern plat::Event g_hBoardPlaced;
extern plat::Event g_hBoardArrived;
extern plat::Event g_hBoardDone;
extern plat::Event g_hCycleStart;
extern std::array<plat::Event, 4> g_hFeederReady;    // per nozzle 1..4
extern std::array<plat::Event, 4> g_hPartPicked;     // per nozzle 1..4
extern std::array<plat::Event, 2> g_hTableDispensed; // work tables Y1, Y2
extern std::array<plat::Event, 2> g_hTableFree;      // work tables Y1, Y2

// The three frame-ready events are the camera service's own (one per camera:
// mark, vision 1, vision 2); CreateRunEvents points these at them.
extern plat::Event* g_hMarkFrameReady;
extern plat::Event* g_hVision1FrameReady;
extern plat::Event* g_hVision2FrameReady;

// The 21 run events in their order of creation: the gate, board dispensed,
// placed, arrived, done, cycle start, feeder ready 1-4, part picked 1-4, table
// dispensed Y1 Y2, table free Y1 Y2, the three frame-ready events.
std::array<plat::Event*, 21> RunEventsInOrder();
// The hand-off events between the run threads and their companions: every run
// event but the pause gate and the frame-ready events.
std::array<plat::Event*, 17> HandOffEvents();

// Seconds the current run has been going; the part list's clock counts it.
extern std::atomic<std::int64_t> g_RunClock;

// The events live as long as the process; this puts them back into their first
// state (the gate signalled, every other event clear) and is called once by the
// part list's initialisation, and by tests between cases.
void CreateRunEvents();

} // namespace smt
