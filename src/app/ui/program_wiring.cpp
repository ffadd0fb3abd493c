#include "app/ui/program_wiring.h"

#include "app/shell_hooks.h"
#include "app/ui/link_panel_wiring.h"
#include "base/hooks.h"
#include "feeders/feeders_hooks.h"
#include "joblist/joblist_hooks.h"
#include "joblist/ui/joblist_wiring.h"
#include "link/link_hooks.h"
#include "link/ui/link_wiring.h"
#include "machine_ops/settings_hooks.h"
#include "settings/ui/settings_wiring.h"
#include "vision/ui/camera_list_wiring.h"
#include "vision/ui/vision_wiring.h"
#include "vision/vision_hooks.h"

namespace smt {

const std::vector<std::string>& NotBuiltSubsystems() {
    static const std::vector<std::string> names = {"cameras", "feeders", "job lists", "run"};
    return names;
}

void WireProgram() {
    HookRegistry& r = TheHookRegistry();
    RegisterShellHooks(r);
    RegisterLinkHooks(r);
    RegisterSettingsHooks(r);
    RegisterFeedersHooks(r);
    RegisterJobListHooks(r);
    RegisterVisionHooks(r);
    RegisterCameraListHooks(r);

    WireLinkServices();
    WireShellToLink();
    WireSettingsServices();
    WireVisionServices();
    WireJobListServices();

    for (const std::string& owner : NotBuiltSubsystems()) r.FillStandIns(owner);
}

} // namespace smt
