// The PCB editor's place in the program: its configuration step, the hooks other
// subsystems read the current PCB through, and how the part list opens it.
#pragma once

class QWidget;

namespace smt {

class CSMTView;

void WirePcbEditor(CSMTView& view);
// Runs the PCB editor modally over the view's job (the part list's "Pcb Edit").
void OpenPcbEditor(QWidget* parent);

} // namespace smt
