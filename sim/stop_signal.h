// A stop flag that also cuts short the sleeps of a server thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

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

} // namespace sim
