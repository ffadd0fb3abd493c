// What the part list calls of the run. The run fills it; an unset member does
// nothing, so the part list works before the run exists.
#pragma once

#include <functional>

namespace smt {

struct RunPort {
    // Creates the run events; called once by the part list's window start.
    std::function<void()> createRunEvents;
};

RunPort& TheRunPort();

} // namespace smt
