// What the feeder and nozzle libraries read of the placement strategy. The
// strategy fills these when it is wired in; an unset member reads 0.
#pragma once

#include <functional>

namespace smt {

struct StrategyPort {
    std::function<int()> m_19NozzleLibrary;     // 1: the 19-nozzle library (output 7 opens it)
    std::function<int()> m_AutoChangeNozzle;    // automatic nozzle change on
    std::function<int()> m_ChangeNozzleSelect;  // 1 or 2
    std::function<int()> m_RunSelect;           // run mode 0..12

    static int Read(const std::function<int()>& f) { return f ? f() : 0; }
};

StrategyPort& TheStrategyPort();

} // namespace smt
