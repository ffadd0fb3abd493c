// The machine link's part of the program's one wiring: the hooks that read the
// link's state or send its commands, filled before the main window exists. The
// panel-bound hooks are filled when the manual control panel is built
// (WireManualJog, the panel's own link hooks). The shell's services that the
// link answers are filled by the shell (app/ui/link_panel_wiring.h).
#pragma once

namespace smt {
void WireLinkServices();
} // namespace smt
