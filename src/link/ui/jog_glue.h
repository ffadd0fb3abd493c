// Wires the manual jog into the widgets: the panel's buttons, keys and
// right-button speed menu. The machine logic stays in link/jog.h.
#pragma once

#include <memory>

#include "link/jog.h"

class QMenu;
class QWidget;

namespace smt {

class CDialogManualControl;

// Buttons, pump boxes, Ctrl+arrow keys, Shift+Ctrl and the speed menu of `panel`.
void ConnectJogControls(CDialogManualControl* panel);
// The speed and feeder-bank menu for the panel's machine type.
std::unique_ptr<QMenu> BuildSpeedMenu(CDialogManualControl* panel);
// The jog key of a Qt key code (the arrows; anything else is Other).
ManualJog::Key KeyOf(int key);

}  // namespace smt
