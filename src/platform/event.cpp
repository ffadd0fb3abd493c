#include "platform/event.h"

#include <algorithm>
#include <set>

namespace plat {
namespace {

std::atomic<bool> g_cancelled{false};

// Every live event and semaphore, so that the process-wide cancel can wake its
// waiters at once instead of at their next poll.
struct Registry {
    std::mutex mutex;
    std::set<std::pair<std::mutex*, std::condition_variable*>> waitables;
};
Registry& registry() {
    static Registry* r = new Registry;  // outlives every static event
    return *r;
}
void enrol(std::mutex* m, std::condition_variable* cv) {
    std::lock_guard lock(registry().mutex);
    registry().waitables.insert({m, cv});
}
void withdraw(std::mutex* m, std::condition_variable* cv) {
    std::lock_guard lock(registry().mutex);
    registry().waitables.erase({m, cv});
}

// A stop flag is a plain flag raised by another thread without a notify, so a
// waiter that has one polls it at this interval.
constexpr Millis kStopPoll{10};

template <class Ready>
WaitResult waitOn(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, Millis limit,
                  const std::atomic<bool>* stop, Ready ready) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (ready()) return WaitResult::Signalled;
        if (g_cancelled.load() || (stop && stop->load())) return WaitResult::Cancelled;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return WaitResult::TimedOut;
        auto until = deadline;
        if (stop) until = std::min(until, now + kStopPoll);
        cv.wait_until(lock, until);
    }
}

} // namespace

Event::Event(bool manualReset, bool initialState) : m_manual(manualReset), m_signalled(initialState) {
    enrol(&m_mutex, &m_cv);
}
Event::~Event() { withdraw(&m_mutex, &m_cv); }

void Event::Set() {
    {
        std::lock_guard lock(m_mutex);
        m_signalled = true;
    }
    if (m_manual) m_cv.notify_all(); else m_cv.notify_one();
}

void Event::Reset() {
    std::lock_guard lock(m_mutex);
    m_signalled = false;
}

bool Event::IsSet() const {
    std::lock_guard lock(m_mutex);
    return m_signalled;
}

WaitResult Event::Wait(Millis limit, const std::atomic<bool>* stop) {
    std::unique_lock lock(m_mutex);
    const WaitResult r = waitOn(lock, m_cv, limit, stop, [&] { return m_signalled; });
    if (r == WaitResult::Signalled && !m_manual) m_signalled = false;
    return r;
}

Semaphore::Semaphore(long initial, long maximum) : m_count(initial), m_max(maximum) {
    enrol(&m_mutex, &m_cv);
}
Semaphore::~Semaphore() { withdraw(&m_mutex, &m_cv); }

bool Semaphore::Release(long count) {
    bool ok = true;
    {
        std::lock_guard lock(m_mutex);
        if (m_count + count > m_max) {
            ok = false;
            count = m_max - m_count;
        }
        m_count += count;
    }
    if (count > 0) m_cv.notify_all();
    return ok;
}

WaitResult Semaphore::Wait(Millis limit, const std::atomic<bool>* stop) {
    std::unique_lock lock(m_mutex);
    const WaitResult r = waitOn(lock, m_cv, limit, stop, [&] { return m_count > 0; });
    if (r == WaitResult::Signalled) --m_count;
    return r;
}

long Semaphore::Count() const {
    std::lock_guard lock(m_mutex);
    return m_count;
}

void CancelAllWaits() {
    g_cancelled.store(true);
    std::lock_guard lock(registry().mutex);
    for (auto [m, cv] : registry().waitables) {
        // Taking the waiter's mutex closes the gap between its flag check and its wait.
        std::lock_guard inner(*m);
        cv->notify_all();
    }
}

void ResumeWaits() { g_cancelled.store(false); }
bool WaitsCancelled() { return g_cancelled.load(); }

bool SleepFor(Millis duration, const std::atomic<bool>* stop) {
    Event never(true, false);
    return never.Wait(duration, stop) == WaitResult::TimedOut;
}

} // namespace plat
