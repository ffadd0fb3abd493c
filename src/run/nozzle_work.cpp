#include "run/nozzle_work.h"

namespace smt {

std::array<PlacementRecord, kNozzleWorkRecords> g_NozzleWork{};

std::mutex& NozzleStateMutex() {
    static std::mutex m;
    return m;
}

std::array<PlacementRecord, kNozzleWorkRecords> CopyNozzleWork() {
    std::lock_guard lock(NozzleStateMutex());
    return g_NozzleWork;
}

} // namespace smt
