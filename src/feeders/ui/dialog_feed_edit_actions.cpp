// The feeder editor's machine buttons: read-backs, jogs, feeder walks, camera and
// pick moves, feed and vacuum tests. They come with the feeder operations; until
// then each says so.
#include <QKeyEvent>

#include "base/hooks.h"
#include "feeders/ui/dialog_feed_edit.h"

namespace smt {

void CDialogFeedEdit::OnMachineButton(int /*id*/) {
    ReportNotAvailable("CDialogFeedEdit.OnMachineButton", HookKind::Action);
}

void CDialogFeedEdit::OnMachineButtonDown(int /*id*/) {
    ReportNotAvailable("CDialogFeedEdit.OnMachineButtonDown", HookKind::Action);
}

void CDialogFeedEdit::OnMachineButtonUp(int /*id*/) {}

void CDialogFeedEdit::OnHeadChosen(int /*index*/) {}

bool CDialogFeedEdit::OnMachineKey(QKeyEvent* /*event*/, bool /*down*/) { return false; }

} // namespace smt
