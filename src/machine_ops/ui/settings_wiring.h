// The settings' one wiring: the machine settings (basic settings, pulse factors,
// firmware switches, speed templates, origin update, limit detour, dipping
// station, cover tape) joined to the link and to the main view: their
// first-update loaders, their caption loaders and the dialogs of the settings
// and feeder menus.
#pragma once

namespace smt {

class Wiring;

void WireSettings(Wiring& wiring);

} // namespace smt
