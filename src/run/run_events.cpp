#include "run/run_events.h"

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

std::atomic<std::int64_t> g_RunClock{0};

void CreateRunEvents()
{
    g_hRunPauseGate.Set();
    for (plat::Event* e : {&g_hBoardDispensed, &g_hBoardPlaced, &g_hBoardArrived, &g_hBoardDone, &g_hCycleStart})
        e->Reset();
    for (auto* group : {&g_hFeederReady, &g_hPartPicked})
        for (plat::Event& e : *group) e.Reset();
    for (auto* group : {&g_hTableDispensed, &g_hTableFree})
        for (plat::Event& e : *group) e.Reset();
}

} // namespace smt
