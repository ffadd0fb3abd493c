// Hooks the board firmware dialog into the main view: its captions and its
// opening from the settings menu, reconnecting through the manual control
// panel's connect after each board jump.
#pragma once

namespace smt {

class CSMTView;

void WireFirmwareSubsystem(CSMTView& view);

} // namespace smt
