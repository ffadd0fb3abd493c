#include "link_server.h"

#include <algorithm>

namespace sim {

bool LinkServer::Start(std::string* error) {
    if (m_thread.joinable()) return true;
    {
        std::lock_guard lock(m_ioMutex);
        if (!IsOpenLocked() && !OpenLocked(error)) return false;
    }
    m_stop.Reset();
    m_thread = std::thread([this] { Loop(); });
    return true;
}

void LinkServer::Stop() {
    m_stop.Raise();
    if (m_thread.joinable()) m_thread.join();
    std::lock_guard lock(m_ioMutex);
    CloseLocked();
}

bool LinkServer::Plugged() const {
    std::lock_guard lock(m_ioMutex);
    return IsOpenLocked();
}

void LinkServer::Unplug() {
    {
        std::lock_guard lock(m_ioMutex);
        CloseLocked();
    }
    if (m_thread.joinable() && std::this_thread::get_id() != m_thread.get_id()) m_ticker.AwaitPasses(2, 500);
}

bool LinkServer::WaitWhileHeld(std::uint16_t code) {
    int limitMs = 0;
    if (!m_faults.TakeHold(code, &limitMs)) return true;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    bool running = true;
    while (running && m_faults.HoldStands() && std::chrono::steady_clock::now() < end) running = m_stop.SleepMs(2);
    m_faults.EndHold();
    return running;
}

bool LinkServer::PlanReplies(std::uint16_t code, const Outcome& outcome, FaultPlan* plan) {
    if (outcome.replies.empty()) return false;
    if (!WaitWhileHeld(code)) return false;
    *plan = m_faults.TakePlan();
    if (m_faults.TakeDrop(code)) plan->drop = true;
    if (plan->drop) return false;
    // An hour at most, whatever time scale and delay the operator typed.
    const double wait = std::min(outcome.motionMs * m_timeScale.load() + plan->delayMs, 3600000.0);
    return wait < 1 || m_stop.SleepMs(static_cast<int>(wait));
}

bool LinkServer::Replug(std::string* error) {
    std::lock_guard lock(m_ioMutex);
    return IsOpenLocked() || OpenLocked(error);
}

} // namespace sim
