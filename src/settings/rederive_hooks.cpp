#include "settings/rederive_hooks.h"

namespace smt {

SettingsRederivations& TheSettingsRederivations() {
    static SettingsRederivations hooks;
    return hooks;
}

} // namespace smt
