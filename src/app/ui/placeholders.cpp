#include "app/ui/placeholders.h"

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

} // namespace smt
