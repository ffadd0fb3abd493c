// Replaces the global operator new and delete of the test binary it is linked
// into (see alloc_probe.h); every other thread and every thread not probing
// allocates as always.
#include "alloc_probe.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

namespace smt::test::alloc {
namespace {

thread_local bool t_counting = false;
thread_local std::int64_t t_held = 0, t_peak = 0;
thread_local std::int64_t t_failAt = 0;  // 0: none
thread_local bool t_fired = false;

void* allocate(std::size_t size, bool nothrow) {
    if (t_failAt > 0 && --t_failAt == 0) {
        t_fired = true;
        if (nothrow) return nullptr;
        throw std::bad_alloc();
    }
    void* p = std::malloc(size ? size : 1);
    if (!p) {
        if (nothrow) return nullptr;
        throw std::bad_alloc();
    }
    if (t_counting) {
        t_held += static_cast<std::int64_t>(malloc_usable_size(p));
        if (t_held > t_peak) t_peak = t_held;
    }
    return p;
}

void release(void* p) {
    if (!p) return;
    if (t_counting) t_held -= static_cast<std::int64_t>(malloc_usable_size(p));
    std::free(p);
}

} // namespace

void StartCounting() {
    t_held = t_peak = 0;
    t_counting = true;
}
std::int64_t PeakBytes() { return t_peak; }
void StopCounting() { t_counting = false; }

void FailAllocation(std::int64_t n) {
    t_fired = false;
    t_failAt = n;
}
bool Fired() { return t_fired; }
void StopFailing() { t_failAt = 0; }

} // namespace smt::test::alloc

using smt::test::alloc::allocate;
using smt::test::alloc::release;

void* operator new(std::size_t n) { return allocate(n, false); }
void* operator new[](std::size_t n) { return allocate(n, false); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, true); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, true); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
