// The machine link's one wiring: the hooks that read the link's state or send its
// commands (before the main window exists), and the manual control panel's jog
// controls once the view has built it. The shell's services that the link
// answers are filled by the shell's own wiring (app/ui/program_wiring.cpp).
#pragma once

namespace smt {

class Wiring;

void WireLink(Wiring& wiring);

} // namespace smt
