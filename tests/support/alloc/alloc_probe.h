// Operator new and delete of a test binary that links alloc_probe.cpp, watched on
// the calling thread: the bytes it holds at most while a probe counts, and one
// allocation made to fail, so tests can bound what a reader allocates against the
// bytes it reads and run a reader out of memory at every step.
#pragma once

#include <cstddef>
#include <cstdint>

namespace smt::test::alloc {

// Counts this thread's allocations from now on: PeakBytes() is the most the
// thread held at once beyond what it held at the start.
void StartCounting();
std::int64_t PeakBytes();
void StopCounting();

// The n-th allocation (from 1) of this thread from now on throws std::bad_alloc;
// the ones after it succeed. Fired() says whether it came.
void FailAllocation(std::int64_t n);
bool Fired();
void StopFailing();

} // namespace smt::test::alloc
