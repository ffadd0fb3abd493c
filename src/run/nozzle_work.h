// The heads' records of the run: one per head 1..8 and a spare for the replenish
// pick. Between cycles a record keeps which library nozzle its head carries; the
// nozzle library's operations and its reset write that, the run reads it.
#pragma once

#include <array>
#include <mutex>

namespace smt {

struct PlacementRecord {
    int headNumber = 0;     // 1..8, 0 before the head was given a nozzle
    int mountedNozzle = 0;  // 1-based library row the head carries, 0 = none
};

inline constexpr int kNozzleWorkRecords = 9;  // heads 1..8, then the spare

// Guarded by NozzleStateMutex(), together with the nozzle table: the library's
// worker, the run and the dialog reach both from their own threads. Readers copy.
extern std::array<PlacementRecord, kNozzleWorkRecords> g_NozzleWork;
std::mutex& NozzleStateMutex();

// A copy of the records under the lock.
std::array<PlacementRecord, kNozzleWorkRecords> CopyNozzleWork();

} // namespace smt
