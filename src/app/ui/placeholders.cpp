#include "app/ui/placeholders.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/joblines_placeholder.h"

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

PlaceholderPartListPanel::PlaceholderPartListPanel(PlaceholderJobLists& job, QWidget* parent)
    : PlaceholderPanel("CDialogPartList", "Part list", {800, 600}, parent), m_job(job),
      m_list(new QListWidget(this)) {
    m_list->setObjectName("placementList");
    layout()->addWidget(m_list);
    RefreshPlacementList();
}

void PlaceholderPartListPanel::RefreshPlacementList() {
    m_list->clear();
    for (const auto& row : m_job.PlacementRows()) {
        QString text = QString::fromStdString(row);
        text.replace('\t', "  ");
        m_list->addItem(text);
    }
}

} // namespace smt
