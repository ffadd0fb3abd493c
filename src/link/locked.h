// A value several threads read and replace whole, each access under its own lock.
#pragma once

#include <mutex>
#include <utility>

namespace smt {

template <class T>
class Locked {
public:
    Locked() = default;
    explicit Locked(T value) : m_value(std::move(value)) {}

    T Get() const {
        std::lock_guard lock(m_mutex);
        return m_value;
    }
    void Set(T value) {
        std::lock_guard lock(m_mutex);
        m_value = std::move(value);
    }
    // Puts `value` in and gives back what was there.
    T Exchange(T value) {
        std::lock_guard lock(m_mutex);
        std::swap(value, m_value);
        return value;
    }

private:
    mutable std::mutex m_mutex;
    T m_value{};
};

}  // namespace smt
