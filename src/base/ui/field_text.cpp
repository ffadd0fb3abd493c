#include "base/ui/field_text.h"

#include <string>

#include "base/captions.h"
#include "base/numtext.h"
#include "platform/msgbox.h"

namespace smt::ui {

namespace {

std::string Trimmed(QLineEdit* edit) { return edit->text().trimmed().toStdString(); }

bool Refuse(QLineEdit* edit, const std::string& message) {
    plat::MessageBoxOk(message);
    edit->setFocus();
    edit->selectAll();
    return false;
}

} // namespace

QString NumberText(double value) { return QString::fromStdString(FormatC("%.15g", value)); }
QString NumberText(int value) { return QString::fromStdString(FormatInt(value)); }

bool TakeNumber(QLineEdit* edit, double& value, std::optional<std::pair<double, double>> bounds) {
    double parsed = 0;
    if (!ParseWhole(Trimmed(edit), parsed)) return Refuse(edit, InputNumberText());
    if (bounds && (parsed < bounds->first || parsed > bounds->second))
        return Refuse(edit, InputNumberBetweenText(bounds->first, bounds->second));
    value = parsed;
    return true;
}

bool TakeNumber(QLineEdit* edit, int& value, std::optional<std::pair<double, double>> bounds) {
    int parsed = 0;
    if (!ParseWhole(Trimmed(edit), parsed)) return Refuse(edit, InputIntegerText());
    if (bounds && (parsed < bounds->first || parsed > bounds->second))
        return Refuse(edit, InputNumberBetweenText(bounds->first, bounds->second));
    value = parsed;
    return true;
}

} // namespace smt::ui
