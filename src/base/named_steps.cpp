#include "base/named_steps.h"

namespace smt {

NamedSteps::NamedSteps(std::vector<std::string> names)
    : m_names(std::move(names)), m_fns(m_names.size()) {}

bool NamedSteps::Set(const std::string& name, Fn fn) {
    for (std::size_t i = 0; i < m_names.size(); ++i)
        if (m_names[i] == name) {
            m_fns[i] = std::move(fn);
            return true;
        }
    return false;
}

bool NamedSteps::IsFilled(const std::string& name) const {
    for (std::size_t i = 0; i < m_names.size(); ++i)
        if (m_names[i] == name) return static_cast<bool>(m_fns[i]);
    return false;
}

void NamedSteps::Run(const StepContext& context) const {
    for (const auto& fn : m_fns)
        if (fn) fn(context);
}

} // namespace smt
