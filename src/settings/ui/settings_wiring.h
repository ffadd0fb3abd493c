// Hooks the machine settings (basic settings, pulse factors, firmware switches,
// speed templates) into the main view: their first-update loaders, their caption
// loaders, the dialogs of the settings menu, and the shell's services that read
// them.
#pragma once

namespace smt {

class CSMTView;

// Fills the view's named steps and registers the settings dialogs' openers.
void WireSettingsSubsystem(CSMTView& view);

// Fills the shell services that read the live settings (before the window exists).
void WireSettingsServices();

} // namespace smt
