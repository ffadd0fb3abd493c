// A stop flag that also cuts short the sleeps of a server thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace sim {

class StopSignal {
public:
    // Sleeps `ms`; false when the stop was raised before or during the sleep.
    bool SleepMs(int ms) {
        std::unique_lock lock(m_mutex);
        return !m_cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stop; });
    }
    void Raise() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_cv.notify_all();
    }
    void Reset() {
        std::lock_guard lock(m_mutex);
        m_stop = false;
    }
    bool Raised() const {
        std::lock_guard lock(m_mutex);
        return m_stop;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_stop = false;
};

// Counts the passes of a server loop. A descriptor closed while the loop sleeps in
// poll() lives on until that poll returns, so whoever closes one waits for the loop
// to come round before telling anyone the port is gone.
class LoopTicker {
public:
    void Tick() { ++m_passes; }
    void AwaitPasses(unsigned count, int limitMs) const {
        const unsigned start = m_passes.load();
        for (int i = 0; i < limitMs && m_passes.load() - start < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

private:
    std::atomic<unsigned> m_passes{0};
};

} // namespace sim
