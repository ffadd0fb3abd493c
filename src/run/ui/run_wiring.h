// The run's one wiring: the run frame joined to the program (the run port the
// part list calls, the row lookups, the re-derivation of the head offsets after
// the settings change). Nothing of it needs the view.
#pragma once

namespace smt {

class Wiring;

void WireRun(Wiring& wiring);

} // namespace smt
