#include "app/ui/placeholders.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace smt {

PlaceholderPanel::PlaceholderPanel(const QString& className, const QString& role, QSize preferred,
                                   QWidget* parent)
    : QFrame(parent), m_className(className), m_preferred(preferred) {
    setObjectName(className);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("%1\n%2 (placeholder)").arg(role, className), this);
    label->setAlignment(Qt::AlignCenter);
    label->setObjectName("placeholderLabel");
    layout->addWidget(label);
}

PlaceholderDialog::PlaceholderDialog(const QString& className, QWidget* parent)
    : QDialog(parent), m_className(className) {
    setObjectName(className);
    setWindowTitle(className);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("%1 (placeholder)").arg(className), this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

} // namespace smt
