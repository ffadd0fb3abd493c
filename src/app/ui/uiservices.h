// The user-interface side of the platform services: message boxes asked from any
// thread are shown on the user-interface thread, and tasks posted by worker
// threads run in its event loop.
#pragma once

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

} // namespace smt
