// The vision subsystem's part of the program's one wiring: the lens calibration
// that the basic settings load at start-up and after their OK, and the camera
// panel behind the link's, the shell's and the other subsystems' camera hooks.
#pragma once

namespace smt {
void WireVisionServices();
} // namespace smt
