// The board firmware's one wiring: the firmware dialog's captions and its opening
// from the settings menu, reconnecting through the manual control panel's
// connect after each board jump.
#pragma once

namespace smt {

class Wiring;

void WireFirmware(Wiring& wiring);

} // namespace smt
