#include "machine_ops/ui/dialog_set_basic_parts.h"

#include <QAbstractButton>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "base/captions.h"
#include "base/numtext.h"
#include "platform/msgbox.h"
#include "base/ui/field_text.h"

namespace smt::ui {

QLabel* KeyLabel(const char* key, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(key);
    return label;
}

QPushButton* KeyButton(const char* key, QWidget* parent, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(key);
    return button;
}

void ApplyKeyCaptions(QWidget& root, const DialogCaptions& captions, const std::string& prefix) {
    auto text = [&](const QWidget* o, QString& out) {
        // Dialogs held by `root` apply their own captions.
        if (o->window() != &root) return false;
        const QString name = o->objectName();
        if (!name.startsWith("c_")) return false;
        const std::string& t = captions.Text(prefix + name.toStdString());
        if (t.empty()) return false;
        out = QString::fromStdString(t);
        return true;
    };
    QString t;
    for (QLabel* label : root.findChildren<QLabel*>())
        if (text(label, t)) label->setText(t);
    for (QGroupBox* box : root.findChildren<QGroupBox*>())
        if (text(box, t)) box->setTitle(t);
    for (QAbstractButton* button : root.findChildren<QAbstractButton*>())
        if (text(button, t)) button->setText(t);
}

QDialogButtonBox* OkCancelButtons(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(dialog);
    auto* ok = buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
    ok->setObjectName("c_IDOK");
    ok->setDefault(true);
    auto* cancel = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    cancel->setObjectName("c_IDCANCEL");
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

bool TakeBoundedInt(QLineEdit* edit, int& value, int low, int high) {
    int parsed = 0;
    if (!TakeNumber(edit, parsed)) return false;
    if (parsed < low || parsed > high) {
        plat::MessageBoxOk(InputIntegerBetweenText(low, high));
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    value = parsed;
    return true;
}

} // namespace smt::ui
