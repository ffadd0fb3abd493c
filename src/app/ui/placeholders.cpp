#include "app/ui/placeholders.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/joblines_placeholder.h"
#include "platform/msgbox.h"

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
    // The run toolbar's "Pcb Edit" until the toolbar lands.
    m_pcbEdit = new QPushButton("Pcb Edit", this);
    m_pcbEdit->setObjectName("pcbEditButton");
    connect(m_pcbEdit, &QPushButton::clicked, this, [this] {
        if (auto& open = PcbEditorOpener()) open(this);
        else plat::MessageBoxOk("Pcb Edit: not available yet");
    });
    m_statics = new QLabel(this);
    m_statics->setObjectName("arrayStatics");
    layout()->addWidget(m_pcbEdit);
    layout()->addWidget(m_statics);
    layout()->addWidget(m_list);
    RefreshPlacementList();
}

void PlaceholderPartListPanel::RefreshPlacementList() {
    m_list->clear();
    for (const auto& item : m_job.PlacementRows()) {
        QStringList cells;
        for (int c = 0; c < static_cast<int>(item.cells.size()); ++c) {
            QString cell = QString::fromStdString(item.cells[c]);
            if (c == 7) cell = (item.place ? "[Yes] " : "[No] ") + cell;
            if (c == 10) cell = (item.vision ? "[Yes] " : "[No] ") + cell;
            cells << cell;
        }
        m_list->addItem(cells.join("  "));
    }
    const auto& t = m_job.Pcb().m_ArrayTexts;
    m_statics->setText(QString::fromStdString(t.position + "    " + t.count));
}

std::function<void(QWidget*)>& PcbEditorOpener() {
    static std::function<void(QWidget*)> opener;
    return opener;
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
