// The user-interface side of the platform services: message boxes asked from any
// thread are shown on the user-interface thread, and tasks posted by worker
// threads run in its event loop.
#pragma once

class QSize;
class QWidget;

namespace smt {

// Marks the calling thread as the user-interface thread and installs the message
// box handler and the poster. Call once, after the QApplication exists.
void InstallUiServices();
// Removes both again (before the QApplication goes away).
void RemoveUiServices();

// While closing, a box asked by another thread is not shown: it is answered at
// once (Cancel, No or Ok), so no worker can hold up the join.
void SetUiShuttingDown(bool closing);
bool UiShuttingDown();

// Qt's own texts (standard buttons, input messages, file dialogs) in the interface
// language: 0 Chinese, 1 English, 2 German. False when Qt's translation for it is
// not installed (the texts stay English).
bool ApplyQtLanguage(int languageIndex);

// A dialog as large as its content needs (a scrolled page counted whole), within
// the available screen, and inside it. Runs for every dialog when it is shown once
// InstallUiServices has run.
void FitWindowToContent(QWidget& window);
// What FitWindowToContent gives the window before the screen bounds it.
QSize ContentSize(const QWidget& window);

} // namespace smt
