// The shell's side of the machine link: the shell services the link answers and
// the manual control panel's place in the view. The link itself knows nothing of
// the shell; the shell reaches down to it here.
#pragma once

namespace smt {

class CSMTView;

// Busy flag, stop flags and reset to origin; part of the program's one wiring.
void WireShellToLink();
// At the view's creation: the panel's jog, its layout and settings for the
// shell, and the view's positioning commands.
void WireManualControlPanel(CSMTView* view);

} // namespace smt
