// The program's one wiring (the composition root): every hook of every
// subsystem is registered (base/hooks.h) and filled by the one wiring function
// of its subsystem, called in one ordered list in WireProgram(); the parts that
// need the main view run, in the same order, when the view is created.
#pragma once

namespace smt {

// Called by main before the main window exists (and by the tests of the wiring).
void WireProgram();

} // namespace smt
