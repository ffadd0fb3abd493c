#include "feeders/strategy_port.h"

namespace smt {

StrategyPort& TheStrategyPort() {
    static StrategyPort port;
    return port;
}

int StrategyRunSelect() {
    const auto& f = TheStrategyPort().RunSelect;
    return f ? f() : 0;
}

} // namespace smt
