// What the job lists read of the placement strategy. The strategy fills it; an
// unset member gives the defaults (nothing loaded, run mode 0).
#pragma once

#include <functional>
#include <string>

namespace smt {

struct StrategyPort {
    // Loads the strategy settings from config.ini of the start folder.
    std::function<void(const std::string& startFolder)> LoadSmtStrategyConfig;
    // The run mode m_RunSelect, 0 to 12.
    std::function<int()> RunSelect;
};

StrategyPort& TheStrategyPort();
// The run mode through the port; 0 while the strategy is not there.
int StrategyRunSelect();

} // namespace smt
