// What the job lists ask of the automatic run; unset members do nothing.
#pragma once

#include <functional>

namespace smt {

struct RunPort {
    // Board offsets and rotation from two measured Mark offsets (mm).
    std::function<void(double, double, double, double)> computeTwoMarkCorrection;
};
RunPort& TheRunPort();

} // namespace smt
