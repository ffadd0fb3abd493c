// What the feeder and nozzle libraries and the job lists read of the placement
// strategy. The strategy fills these when it is wired in; an unset member reads 0
// and loads nothing.
#pragma once

#include <functional>
#include <string>

namespace smt {

struct StrategyPort {
    std::function<int()> m_19NozzleLibrary;     // 1: the 19-nozzle library (output 7 opens it)
    std::function<int()> m_AutoChangeNozzle;    // automatic nozzle change on
    std::function<int()> m_ChangeNozzleSelect;  // 1 or 2
    std::function<int()> m_RunSelect;           // run mode 0..12
    // Loads the strategy settings from config.ini of the start folder.
    std::function<void(const std::string& startFolder)> LoadSmtStrategyConfig;

    static int Read(const std::function<int()>& f) { return f ? f() : 0; }
};

StrategyPort& TheStrategyPort();

} // namespace smt
