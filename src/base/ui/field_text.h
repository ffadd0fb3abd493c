// Edit-box text of the settings dialogs: numbers shown and taken in the C locale,
// the whole text must be a number, and bounded fields are checked as they are
// taken (the first bad field shows its message, gets the focus and stops the take).
#pragma once

#include <QLineEdit>
#include <QString>

#include <optional>

namespace smt::ui {

QString NumberText(double value);
QString NumberText(int value);

// Takes a number from `edit` into `value`; false (after the message) when the text
// is not a number or lies outside [low, high] when `bounded`.
bool TakeNumber(QLineEdit* edit, double& value, std::optional<std::pair<double, double>> bounds = {});
bool TakeNumber(QLineEdit* edit, int& value, std::optional<std::pair<double, double>> bounds = {});

} // namespace smt::ui
