// Wires the manual jog and the positioning commands into the widgets: the
// panel's buttons, keys and right-button speed menu, and the view's positioning
// menu. The machine logic stays in link/jog.h and link/positioning.h.
#pragma once

#include <memory>

class QMenu;
class QWidget;

namespace smt {

class CDialogManualControl;
class CSMTView;

// Buttons, pump boxes, Ctrl+arrow keys, Shift+Ctrl and the speed menu of `panel`.
void WireManualJog(CDialogManualControl* panel);
// The speed and feeder-bank menu for the panel's machine type.
std::unique_ptr<QMenu> BuildSpeedMenu(CDialogManualControl* panel);
// The view's positioning commands and the homing's visual-origin move.
void WirePositioning(CSMTView* view);

}  // namespace smt
