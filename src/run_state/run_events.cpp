#include "run_state/run_events.h"

#include "vision/camera_service.h"

namespace smt {

std::atomic<bool> g_RunContinue{false};
std::atomic<bool> g_FeedContinue{false};
std::atomic<bool> g_ConveyorContinue{false};
std::atomic<bool> g_RunPaused{false};

plat::Event g_hRunPauseGate{true, true};
plat::Event g_hBoardDispensed{false, false};
plat::Event g_hBoardPlaced{false, false};
plat::Event g_hBoardArrived{false, false};
plat::Event g_hBoardDone{false, false};
plat::Event g_hCycleStart{false, false};
std::array<plat::Event, 4> g_hFeederReady{plat::Event{false, false}, plat::Event{false, false},
                                          plat::Event{false, false}, plat::Event{false, false}};
std::array<plat::Event, 4> g_hPartPicked{plat::Event{false, false}, plat::Event{false, false},
                                         plat::Event{false, false}, plat::Event{false, false}};
std::array<plat::Event, 2> g_hTableDispensed{plat::Event{false, false}, plat::Event{false, false}};
std::array<plat::Event, 2> g_hTableFree{plat::Event{false, false}, plat::Event{false, false}};

plat::Event* g_hMarkFrameReady = nullptr;
plat::Event* g_hVision1FrameReady = nullptr;
plat::Event* g_hVision2FrameReady = nullptr;

std::atomic<std::int64_t> g_RunClock{0};

std::array<plat::Event*, 17> HandOffEvents() {
    return {&g_hBoardDispensed, &g_hBoardPlaced,      &g_hBoardArrived,     &g_hBoardDone,
            &g_hCycleStart,     &g_hFeederReady[0],   &g_hFeederReady[1],   &g_hFeederReady[2],
            &g_hFeederReady[3], &g_hPartPicked[0],    &g_hPartPicked[1],    &g_hPartPicked[2],
            &g_hPartPicked[3],  &g_hTableDispensed[0], &g_hTableDispensed[1], &g_hTableFree[0],
            &g_hTableFree[1]};
}

std::array<plat::Event*, 21> RunEventsInOrder() {
    std::array<plat::Event*, 21> all{};
    all[0] = &g_hRunPauseGate;
    const auto handOff = HandOffEvents();
    for (std::size_t i = 0; i < handOff.size(); ++i) all[i + 1] = handOff[i];
    all[18] = g_hMarkFrameReady;
    all[19] = g_hVision1FrameReady;
    all[20] = g_hVision2FrameReady;
    return all;
}

void CreateRunEvents()
{
    CameraService& cameras = TheCameraService();
    g_hMarkFrameReady = &cameras.FrameReady(0);
    g_hVision1FrameReady = &cameras.FrameReady(1);
    g_hVision2FrameReady = &cameras.FrameReady(2);
    g_hRunPauseGate.Set();
    for (plat::Event* e : HandOffEvents()) e->Reset();
}

} // namespace smt
