// What the run threads share: the small helpers over the nozzle slots and
// records.
#pragma once

#include <cstddef>
#include <utility>

#include "run_state/nozzle_work.h"

namespace smt {

// Calls f when it is set (the run frame's sources and ports may be empty).
template <class F, class... A>
void Call(const F& f, A&&... a) {
    if (f) f(std::forward<A>(a)...);
}

// Slot and record k, 1-based.
inline NozzleSlot& Slot(int k) { return g_NozzleSlots[static_cast<std::size_t>(k - 1)]; }
inline PlacementRecord& Record(int k) { return g_NozzleWork[static_cast<std::size_t>(k - 1)]; }
inline bool HoldsRow(const PlacementRecord& r) { return r.jobRow >= 0; }
// The part failed its vacuum check or its measurement.
inline bool Failed(const PlacementRecord& r) { return r.vacuumFailedRow != -1 || r.visionFailed != 0; }

// Records 1..last hold no job row and no failure; withRow clears the record's own
// row too. The caller holds the nozzle-state lock where other threads read them.
void ClearRecords(int last, bool withRow);

} // namespace smt
