// Hooks the nozzle library into the main view: its start-up steps, captions,
// the settings-menu dialog and the re-derivations that rebuild its pulse table.
#pragma once

namespace smt {

class CSMTView;

void WireNozzleLibrary(CSMTView& view);

} // namespace smt
