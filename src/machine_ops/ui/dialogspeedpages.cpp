#include "machine_ops/ui/dialogspeedpages.h"

#include "base/ui/column_fit.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "settings/speed_editor.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Full-row selection, 20-pixel rows, the lists' pale background and striped rows.
QTableWidget* MakeList(QWidget* parent, int columns) {
    auto* list = new QTableWidget(0, columns, parent);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->setVisible(false);
    list->verticalHeader()->setDefaultSectionSize(20);
    list->setAlternatingRowColors(true);
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, QColor(0xF0, 0xFA, 0xFA));
    palette.setColor(QPalette::AlternateBase, QColor(0xE0, 0xEE, 0xEE));
    list->setPalette(palette);
    auto* layout = new QVBoxLayout(parent);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list);
    return list;
}

void SetCell(QTableWidget* list, int row, int column, const std::string& text) {
    auto* item = list->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        list->setItem(row, column, item);
    }
    item->setText(Q(text));
}

} // namespace

// ---- class pages ---------------------------------------------------------------

CDialogSpeedClassPage::CDialogSpeedClassPage(int cls, QWidget* parent)
    : QWidget(parent), m_class(cls), m_list(MakeList(this, smt::kSpeedTemplateCells)),
      m_captions(smt::MakeSpeedListCaptions()) {
    m_list->setColumnWidth(0, 150);
    for (int c = 1; c < smt::kSpeedTemplateCells; ++c) m_list->setColumnWidth(c, 80);
    smt::FitColumnsToText(*m_list);
    ApplyCaptions();
    connect(m_list, &QTableWidget::cellClicked, this, [this](int row, int) { OnClickList(row); });
}

void CDialogSpeedClassPage::LoadSpeedListLanguage(const std::string& startFolder,
                                                  const std::string& languageName) {
    m_captions.Load(startFolder, languageName);
    ApplyCaptions();
}

void CDialogSpeedClassPage::ApplyCaptions() {
    QStringList headers;
    for (int c = 0; c < smt::kSpeedTemplateCells; ++c) {
        headers << Q(m_captions.Text(smt::NumberedCaption("SpeedList.c_SpeedList_", c + 1)));
    }
    m_list->setHorizontalHeaderLabels(headers);
}

void CDialogSpeedClassPage::Fill(const smt::SpeedTemplateEditor& editor) {
    const auto& rows = editor.Tables().Class(m_class);
    m_list->clearSelection();
    m_list->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        for (int c = 0; c < smt::kSpeedTemplateCells; ++c) SetCell(m_list, r, c, rows[r][c]);
    }
}

// ---- speed set page ------------------------------------------------------------

CDialogSpeedSet::CDialogSpeedSet(smt::SpeedTemplateEditor& editor, QWidget* parent)
    : QWidget(parent), m_editor(editor), m_list(MakeList(this, 2)), m_combo(nullptr),
      m_captions(smt::MakeSpeedSetCaptions()) {
    m_list->setRowCount(smt::kSpeedTypeCount);
    m_list->setColumnWidth(0, 208);
    m_list->setColumnWidth(1, 338);
    smt::FitColumnsToText(*m_list);
    // The drop-down lives in the list so that it can lie over a cell.
    m_combo = new QComboBox(m_list->viewport());
    m_combo->hide();
    m_combo->installEventFilter(this);
    connect(m_combo, QOverload<int>::of(&QComboBox::activated), this, [this](int) { OnKillFocusCombo(); });
    connect(m_list, &QTableWidget::cellClicked, this, &CDialogSpeedSet::OnClickList);
    ApplyCaptions();
}

void CDialogSpeedSet::LoadLanguage(const std::string& startFolder, const std::string& languageName) {
    m_captions.Load(startFolder, languageName);
    ApplyCaptions();
}

void CDialogSpeedSet::ApplyCaptions() {
    m_list->setHorizontalHeaderLabels({Q(m_captions.Text(smt::NumberedCaption("SpeedSet.c_SpeedSetList_", 1))),
                                       Q(m_captions.Text(smt::NumberedCaption("SpeedSet.c_SpeedSetList_", 2)))});
    for (int k = 0; k < smt::kSpeedTypeCount; ++k) {
        SetCell(m_list, k, 0, m_captions.Text(smt::NumberedCaption("SpeedSet.c_SpeedSetList_", k + 3)));
    }
}

void CDialogSpeedSet::FillSpeedSetList() {
    for (int k = 0; k < smt::kSpeedTypeCount; ++k) SetCell(m_list, k, 1, m_editor.SpeedSet()[k]);
}

void CDialogSpeedSet::OnClickList(int row, int column) {
    if (column != 1 || row < 0 || row >= smt::kSpeedTypeCount) return;
    m_editRow = row;
    m_combo->clear();
    for (const auto& name : m_editor.ComboNames()) m_combo->addItem(Q(name));
    m_combo->setCurrentIndex(m_combo->findText(Q(m_editor.SpeedSet()[row]), Qt::MatchExactly));
    m_combo->setGeometry(m_list->visualItemRect(m_list->item(row, 1)));
    m_combo->show();
    m_combo->raise();
    m_combo->setFocus();
}

void CDialogSpeedSet::OnKillFocusCombo() {
    if (m_editRow < 0) return;
    const std::string name = m_combo->currentText().toStdString();
    m_editor.SetSpeedSetCell(m_editRow, name);
    SetCell(m_list, m_editRow, 1, name);
    m_editRow = -1;
    m_combo->hide();
}

bool CDialogSpeedSet::eventFilter(QObject* watched, QEvent* event) {
    // Opening the combo's own pop-up takes the focus too: that is not leaving it.
    if (watched == m_combo && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        OnKillFocusCombo();
    }
    return QWidget::eventFilter(watched, event);
}
