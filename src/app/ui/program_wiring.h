// The program's one wiring: every hook of every subsystem is registered
// (base/hooks.h) and filled here or by its subsystem's wiring file:
//   link      link/ui/link_wiring.cpp (and the manual control panel when built)
//   settings  settings/ui/settings_wiring.cpp (and the settings dialogs)
//   vision    vision/ui/vision_wiring.cpp
//   firmware  firmware/ui/firmware_wiring.cpp
// The hooks of subsystems not built yet get the "not available yet" stand-in.
#pragma once

#include <string>
#include <vector>

namespace smt {

// The subsystems whose hooks still hold the stand-in; a subsystem that lands
// fills its hooks in its own wiring file and leaves this list.
const std::vector<std::string>& NotBuiltSubsystems();

// Called by main before the main window exists (and by the tests of the wiring).
void WireProgram();

} // namespace smt
