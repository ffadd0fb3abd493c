// Pieces shared by the basic settings dialog and the dialogs it opens: captioned
// widgets named after their caption keys, OK/Cancel, and bounded integer fields.
#pragma once

#include <QLabel>
#include <QString>

#include <string>

#include "settings/dialog_captions.h"

class QDialogButtonBox;
class QDialog;
class QLineEdit;
class QPushButton;
class QWidget;

namespace smt::ui {

// A label whose object name is its caption key without the dialog's prefix ("c_X_Limit").
QLabel* KeyLabel(const char* key, QWidget* parent);
// A push button named after its caption key, with a resource text of its own.
QPushButton* KeyButton(const char* key, QWidget* parent, const QString& text = {});
// Puts the caption of `prefix` + object name on every label, group box and button
// named "c_..." of `root`; a key the captions lack leaves the widget as it is.
void ApplyKeyCaptions(QWidget& root, const DialogCaptions& captions, const std::string& prefix);
// OK ("c_IDOK", default) and Cancel ("c_IDCANCEL") wired to accept and reject.
QDialogButtonBox* OkCancelButtons(QDialog* dialog);
// An integer field within [low, high]; false after the message when not.
bool TakeBoundedInt(QLineEdit* edit, int& value, int low, int high);

} // namespace smt::ui
