#include "base/ui/program_view.h"

namespace smt {

Wiring& TheWiring() {
    static Wiring wiring;
    return wiring;
}

} // namespace smt
