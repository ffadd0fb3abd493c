// The program's one wiring (the composition root): every hook of every
// subsystem is registered (base/hooks.h) and filled by the one wiring function
// of its subsystem, called in one ordered list in WireProgram(); the parts that
// need the main view run, in the same order, when the view is created. The
// hooks of subsystems not built yet get the "not available yet" stand-in.
#pragma once

#include <string>
#include <vector>

namespace smt {

// The subsystems whose hooks still hold the stand-in; a subsystem that lands
// fills its hooks in its own wiring and leaves this list.
const std::vector<std::string>& NotBuiltSubsystems();

// Called by main before the main window exists (and by the tests of the wiring).
void WireProgram();

} // namespace smt
