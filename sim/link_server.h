// What the serial and the UDP server share: a thread that serves an open port, a
// stop that cuts its sleeps short, and "unplugging" the port under it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "faults.h"
#include "machine.h"
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

// The port itself is the subclass's: it opens, closes and serves it. Start, Stop,
// Unplug and Replug are the same for every link. A subclass's destructor calls Stop().
class LinkServer {
public:
    LinkServer(Machine& machine, Faults& faults) : m_machine(machine), m_faults(faults) {}
    virtual ~LinkServer() = default;
    LinkServer(const LinkServer&) = delete;
    LinkServer& operator=(const LinkServer&) = delete;

    bool Start(std::string* error = nullptr);
    void Stop();  // joins the thread, closes the port
    bool Plugged() const;
    // "Unplugged": the port closes and the board answers nothing; Replug opens it again.
    void Unplug();
    bool Replug(std::string* error = nullptr);

    // 0: replies at once; 1: each reply waits the simulated motion time.
    void SetTimeScale(double scale) { m_timeScale = scale; }

protected:
    // The faults for the replies of command `code`, after waiting the motion time,
    // the fault's delay and a hold of its reply. False when nothing is to be sent: no
    // replies, silenced, or the server stopped meanwhile.
    bool PlanReplies(std::uint16_t code, const Outcome& outcome, FaultPlan* plan);
    // While the hold of a reply stands (Faults::HoldNext), up to its limit; false
    // when the server stopped.
    bool WaitWhileHeld(std::uint16_t code);

    // Called with m_ioMutex held.
    virtual bool OpenLocked(std::string* error) = 0;
    virtual void CloseLocked() = 0;
    virtual bool IsOpenLocked() const = 0;
    // The thread's body: serve until m_stop, calling m_ticker.Tick() every pass.
    virtual void Loop() = 0;

    Machine& m_machine;
    Faults& m_faults;
    std::atomic<double> m_timeScale{0.0};
    mutable std::mutex m_ioMutex;  // guards the port and every write to it
    StopSignal m_stop;
    LoopTicker m_ticker;
    std::thread m_thread;
};

} // namespace sim
