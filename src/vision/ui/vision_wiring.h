// The vision subsystem's part of the program's one wiring: the lens calibration
// that the basic settings load at start-up and after their OK.
#pragma once

namespace smt {
void WireVisionServices();
} // namespace smt
