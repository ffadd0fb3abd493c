#include "joblist/run_port.h"

namespace smt {

RunPort& TheRunPort() {
    static RunPort port;
    return port;
}

} // namespace smt
