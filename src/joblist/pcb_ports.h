// The PCB records as the other subsystems reach them: the positioning commands'
// look-ups, the manual Mark offsets, the pulse settings' re-derivation, the
// origin update and the one-key clear.
#pragma once

namespace smt {

class PcbEditor;

// Points every hook at `editor` (which must outlive them, or be followed by
// UninstallPcbPorts). The one-key clear keeps the function installed before.
void InstallPcbPorts(PcbEditor& editor);
void UninstallPcbPorts();

} // namespace smt
