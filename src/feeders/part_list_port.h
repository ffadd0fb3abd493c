// What the feeder subsystem asks of the part list. The part list fills it; unset
// members change nothing and find no feeder used.
#pragma once

#include <functional>
#include <string>

namespace smt {

struct PartListPort {
    // The placement rows of a feeder take its new values (old id, new id, vision
    // choice, value, nozzle).
    std::function<void(const std::string& oldId, const std::string& newId, int visionChoice,
                       const std::string& value, const std::string& nozzle)> updateRowsForFeeder;
    // true when a placement row's feeder number equals the text exactly.
    std::function<bool(const std::string& feederId)> isFeederUsed;
};

PartListPort& ThePartListPort();

} // namespace smt
