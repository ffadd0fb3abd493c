#include "faults.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace sim {

namespace {
constexpr int kMaxCount = 1000000;
constexpr int kMaxDelayMs = 3600000;
} // namespace

void Faults::SilenceNext(int count) {
    std::lock_guard lock(m_mutex);
    m_silenceNext = std::min(m_silenceNext + std::clamp(count, 0, kMaxCount), kMaxCount);
}

void Faults::SilenceAll(bool on) {
    std::lock_guard lock(m_mutex);
    m_silenceAll = on;
    if (!on) m_silenceNext = 0;
}

void Faults::SetDelayMs(int ms) {
    std::lock_guard lock(m_mutex);
    m_delayMs = std::clamp(ms, 0, kMaxDelayMs);
}

void Faults::SplitNext(int gapMs) {
    std::lock_guard lock(m_mutex);
    m_split = true;
    m_splitGapMs = std::clamp(gapMs, 0, kMaxDelayMs);
}

void Faults::GarbageNext() {
    std::lock_guard lock(m_mutex);
    m_garbage = true;
}

void Faults::BadSumNext() {
    std::lock_guard lock(m_mutex);
    m_badSum = true;
}

void Faults::ErrorNext(std::uint8_t code, std::uint8_t sub) {
    std::lock_guard lock(m_mutex);
    m_error = true;
    m_timeout = false;
    m_errorCode = code;
    m_errorSub = sub;
}

void Faults::TimeoutNext(std::uint8_t code) {
    std::lock_guard lock(m_mutex);
    m_error = false;
    m_timeout = true;
    m_errorCode = code;
    m_errorSub = 0;
}

bool Faults::TakeRefusal(FaultPlan* plan) {
    std::lock_guard lock(m_mutex);
    if (!m_error && !m_timeout) return false;
    *plan = FaultPlan{};
    plan->delayMs = m_delayMs;
    plan->error = std::exchange(m_error, false);
    plan->timeout = std::exchange(m_timeout, false);
    plan->errorCode = m_errorCode;
    plan->errorSub = m_errorSub;
    return true;
}

void Faults::Clear() {
    std::lock_guard lock(m_mutex);
    m_silenceNext = 0;
    m_silenceAll = false;
    m_delayMs = 0;
    m_split = m_garbage = m_badSum = m_error = m_timeout = false;
    m_dropNext.reset();
    m_holdNext.reset();
    m_released = true;
}

void Faults::DropNext(std::uint16_t code) {
    std::lock_guard lock(m_mutex);
    m_dropNext = code;
}

bool Faults::TakeDrop(std::uint16_t code) {
    std::lock_guard lock(m_mutex);
    if (!m_dropNext || *m_dropNext != code) return false;
    m_dropNext.reset();
    return true;
}

void Faults::HoldNext(std::uint16_t code, int limitMs) {
    std::lock_guard lock(m_mutex);
    m_holdNext = code;
    m_holdLimitMs = std::clamp(limitMs, 0, kMaxHoldMs);
}

void Faults::Release() {
    std::lock_guard lock(m_mutex);
    m_holdNext.reset();
    m_released = true;
}

std::optional<std::uint16_t> Faults::Held() const {
    std::lock_guard lock(m_mutex);
    return m_held;
}

int Faults::HoldsEnded() const {
    std::lock_guard lock(m_mutex);
    return m_holdsEnded;
}

bool Faults::TakeHold(std::uint16_t code, int* limitMs) {
    std::lock_guard lock(m_mutex);
    if (!m_holdNext || *m_holdNext != code) return false;
    m_holdNext.reset();
    m_held = code;
    m_released = false;
    *limitMs = m_holdLimitMs;
    return true;
}

bool Faults::HoldStands() const {
    std::lock_guard lock(m_mutex);
    return m_held && !m_released;
}

void Faults::EndHold() {
    std::lock_guard lock(m_mutex);
    if (!m_held) return;
    m_held.reset();
    ++m_holdsEnded;
}

int Faults::PlansTaken() const {
    std::lock_guard lock(m_mutex);
    return m_plansTaken;
}

FaultPlan Faults::TakePlan() {
    std::lock_guard lock(m_mutex);
    ++m_plansTaken;
    FaultPlan p;
    p.delayMs = m_delayMs;
    if (m_silenceAll || m_silenceNext > 0) {
        if (m_silenceNext > 0) --m_silenceNext;
        p.drop = true;
        return p;
    }
    p.split = std::exchange(m_split, false);
    p.splitGapMs = m_splitGapMs;
    p.garbage = std::exchange(m_garbage, false);
    p.badSum = std::exchange(m_badSum, false);
    return p;
}

std::string Faults::Describe() const {
    std::lock_guard lock(m_mutex);
    char buf[300];
    std::snprintf(buf, sizeof buf, "silence next %d, silence all %d, delay %d ms, split %d, garbage %d, badsum %d, error %s%02X %02X",
                  m_silenceNext, m_silenceAll ? 1 : 0, m_delayMs, m_split ? 1 : 0, m_garbage ? 1 : 0,
                  m_badSum ? 1 : 0, m_error ? "" : "(none) ", m_errorCode, m_errorSub);
    std::string s = buf;
    if (m_holdNext) {
        std::snprintf(buf, sizeof buf, ", hold next %02X (%d ms)", *m_holdNext, m_holdLimitMs);
        s += buf;
    }
    if (m_held) {
        std::snprintf(buf, sizeof buf, ", holding the reply to %02X", *m_held);
        s += buf;
    }
    return s;
}

} // namespace sim
