// Events, semaphores and waits with the semantics the machine code was written
// against: auto-reset and manual-reset events, a set with no waiter stays latched,
// one set of an auto-reset event releases exactly one waiter. Every wait is bounded
// and ends early when the process-wide cancel is raised (shutdown) or when the
// caller's own stop flag is raised.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace plat {

enum class WaitResult { Signalled, TimedOut, Cancelled };

using Millis = std::chrono::milliseconds;

class Event {
public:
    Event(bool manualReset, bool initialState);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // Waits until the event is set, `limit` passes, the process-wide cancel is raised
    // or `*stop` becomes true. An auto-reset event is consumed by the waiter it releases.
    WaitResult Wait(Millis limit, const std::atomic<bool>* stop = nullptr);

private:
    friend void CancelAllWaits();
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_manual;
    bool m_signalled;
};

class Semaphore {
public:
    Semaphore(long initial, long maximum);
    ~Semaphore();
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    // Adds `count` (capped at the maximum); returns false when the cap was hit.
    bool Release(long count = 1);
    WaitResult Wait(Millis limit, const std::atomic<bool>* stop = nullptr);
    long Count() const;

private:
    friend void CancelAllWaits();
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    long m_count;
    long m_max;
};

// The link mutex and the other owner-recursive locks.
using RecursiveMutex = std::recursive_mutex;

// Process-wide cancel: every current and future wait returns Cancelled at once
// until ResumeWaits() (tests use it between cases; the program only at shutdown).
void CancelAllWaits();
void ResumeWaits();
bool WaitsCancelled();

// A sleep that ends early on the process-wide cancel or on `*stop`.
// Returns false when it was cut short.
bool SleepFor(Millis duration, const std::atomic<bool>* stop = nullptr);

} // namespace plat
