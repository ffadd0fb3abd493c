// What the feeder side calls of the part list. The part list fills it; an unset
// member does nothing (and finds no feeder in use).
#pragma once

#include <functional>
#include <string>

namespace smt {

struct PartListPort {
    // A feeder was edited: the placement rows on the old identifier follow it.
    std::function<void(const std::string& oldId, const std::string& newId, bool vision,
                       const std::string& value, const std::string& head)>
        UpdateRowsForFeeder;
    // True when a placement row names this feeder (exact text).
    std::function<bool(const std::string& feederId)> IsFeederUsed;
};

PartListPort& ThePartListPort();

} // namespace smt
