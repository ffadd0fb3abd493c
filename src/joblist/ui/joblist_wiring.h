// Hooks the job lists into the main view: the part list panel, its captions at
// the first update and at a language change, the toolbar buttons the manual
// control panel switches, the feeder side's calls into the rows, and the rows'
// release with the view.
#pragma once

#include <string>

class QWidget;

namespace smt {

class CSMTView;
class CDialogPartList;

// What needs no window: the panel keys' run hooks, the strategy's readers, the
// machine-type reset of the strategy and the run frame.
void WireJobListServices();
void WireJobListSubsystem(CSMTView& view);
// The part list panel, made when the document first needs it.
CDialogPartList* CreatePartListPanel(CSMTView& view);
// The view goes away: the dispensing and drilling rows are freed.
void OnJobListViewDestroyed();

} // namespace smt
