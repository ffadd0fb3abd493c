#include "run_state/nozzle_work.h"

namespace smt {

std::array<PlacementRecord, kNozzleWorkRecords> g_NozzleWork{};
std::array<NozzleSlot, kNozzleSlotCount> g_NozzleSlots{};
std::array<std::atomic<std::int32_t>, 8> g_RotationTarget{};
std::atomic<int> g_LoadedNozzleCount{0};
std::atomic<int> g_AutoNozzleChange{0};
std::atomic<int> g_ActiveList{1};

std::mutex& NozzleStateMutex() {
    static std::mutex m;
    return m;
}

std::array<PlacementRecord, kNozzleWorkRecords> CopyNozzleWork() {
    std::lock_guard lock(NozzleStateMutex());
    return g_NozzleWork;
}

} // namespace smt
