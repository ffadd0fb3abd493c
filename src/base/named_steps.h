// Ordered, named steps that the subsystems fill and the shell runs (the first
// update's loads, the captions of the view's creation and of a language change).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace smt {

struct StepContext {
    std::string startFolder;
    std::string language;
};

// An ordered list of named steps; later work fills a step by its name. Steps
// left empty do nothing. Run() calls every step in order.
class NamedSteps {
public:
    using Fn = std::function<void(const StepContext&)>;
    explicit NamedSteps(std::vector<std::string> names);
    // False when no step has that name.
    bool Set(const std::string& name, Fn fn);
    bool IsFilled(const std::string& name) const;
    const std::vector<std::string>& Names() const { return m_names; }
    void Run(const StepContext& context) const;

private:
    std::vector<std::string> m_names;
    std::vector<Fn> m_fns;
};

} // namespace smt
