#include "feeders/part_list_port.h"

namespace smt {

PartListPort& ThePartListPort() {
    static PartListPort port;
    return port;
}

} // namespace smt
