#include "app/shellservices.h"

namespace smt {

ShellServices& GetShellServices() {
    static ShellServices services;
    return services;
}

} // namespace smt
