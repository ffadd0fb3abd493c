// The cameras' one wiring: the camera panel joined to the link, the settings and
// the feeder operations (CameraPanelPort), the live view, the lens calibration,
// and the camera table with its dialog in the main view.
#pragma once

namespace smt {

class Wiring;

void WireVision(Wiring& wiring);

} // namespace smt
