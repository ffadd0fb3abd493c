// The run frame joined to the program: the run port the part list calls, the
// re-derivations after the settings change, and the shell's services.
#pragma once

namespace smt {

void WireRunFrame();

} // namespace smt
