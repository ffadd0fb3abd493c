#include "feeders/strategy_port.h"

namespace smt {

StrategyPort& TheStrategyPort() {
    static StrategyPort port;
    return port;
}

} // namespace smt
