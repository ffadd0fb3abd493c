#include "feeders/ui/dialog_feed_group.h"

#include "base/ui/column_fit.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "feeders/ui/dialog_feed_list.h"

namespace smt {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
constexpr int kCollapse = 88;
} // namespace

CDialogFeedGroup::CDialogFeedGroup(FeedGroupTable& table, CDialogFeedList* feedList)
    : QDialog(feedList), m_manager(table), m_feedList(feedList) {
    setObjectName("CDialogFeedGroup");
    auto* layout = new QVBoxLayout(this);
    m_list = new QTableWidget(0, 2, this);
    m_list->setObjectName("1000");
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->setColumnWidth(0, 200);
    m_list->setColumnWidth(1, 500);
    smt::FitColumnsToText(*m_list);
    m_list->setStyleSheet("QTableWidget { background: rgb(240, 250, 250); }");
    connect(m_list, &QTableWidget::cellClicked, this, [this](int row, int) { OnRowClicked(row); });
    layout->addWidget(m_list, 1);

    auto* buttons = new QHBoxLayout;
    auto button = [&](QPushButton*& b, const char* id, void (CDialogFeedGroup::*slot)()) {
        b = new QPushButton(this);
        b->setObjectName(id);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    };
    button(m_add, "1158", &CDialogFeedGroup::OnAdd);
    button(m_copy, "1163", &CDialogFeedGroup::OnCopy);
    button(m_rename, "1159", &CDialogFeedGroup::OnRename);
    button(m_delete, "1160", &CDialogFeedGroup::OnDelete);
    button(m_open, "1162", &CDialogFeedGroup::OnOpen);
    m_ok = new QPushButton(this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(this);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);
    m_add->installEventFilter(this);

    // Below the buttons: the part hidden while collapsed.
    auto* fields = new QGridLayout;
    m_nameLabel = new QLabel(this);
    m_name = new QLineEdit(this);
    m_name->setObjectName("1161");
    m_descriptionLabel = new QLabel(this);
    m_description = new QPlainTextEdit(this);
    m_description->setObjectName("1006");
    m_description->setFixedHeight(kCollapse - 30);
    fields->addWidget(m_nameLabel, 0, 0);
    fields->addWidget(m_name, 0, 1);
    fields->addWidget(m_descriptionLabel, 1, 0);
    fields->addWidget(m_description, 1, 1);
    layout->addLayout(fields);
    resize(760, 420);
    m_fullHeight = 420;  // the full window, taken once: each opening starts collapsed from it
    ApplyLanguage();
}

QPushButton* CDialogFeedGroup::Button(int id) {
    switch (id) {
    case 1158: return m_add;
    case 1163: return m_copy;
    case 1159: return m_rename;
    case 1160: return m_delete;
    case 1162: return m_open;
    default: return nullptr;
    }
}

void CDialogFeedGroup::ApplyLanguage() {
    setWindowTitle(Q(m_manager.Text("c_FeedGroup")));
    m_add->setText(Q(m_manager.Text("c_FeedGroupAdd")));
    m_copy->setText(Q(m_manager.Text("c_FeedGroupCopy")));
    m_rename->setText(Q(m_manager.Text("c_FeedGroupEdit")));
    m_delete->setText(Q(m_manager.Text("c_FeedGroupDelete")));
    m_open->setText(Q(m_manager.Text("c_FeedGroupOpen")));
    m_ok->setText(Q(m_manager.Text("c_IDOK")));
    m_cancel->setText(Q(m_manager.Text("c_IDCANCEL")));
    m_nameLabel->setText(Q(m_manager.Text("c_FeedGroupName")));
    m_descriptionLabel->setText(Q(m_manager.Text("c_FeedGroupContent")));
    m_list->setHorizontalHeaderLabels({Q(m_manager.Text("c_FeedGroupList_01")), Q(m_manager.Text("c_FeedGroupList_02"))});
}

void CDialogFeedGroup::OnInitDialog() {
    m_manager.Initialise();
    FillList();
    ApplyLanguage();
    ShowState();
}

void CDialogFeedGroup::FillList() {
    m_list->setRowCount(static_cast<int>(m_manager.rows.size()));
    for (int r = 0; r < m_list->rowCount(); ++r) {
        const auto& row = m_manager.rows[static_cast<std::size_t>(r)];
        const QColor back = r % 2 == 0 ? QColor(225, 250, 250) : QColor(240, 250, 250);
        for (int c = 0; c < 2; ++c) {
            auto* item = new QTableWidgetItem(Q(c == 0 ? row.name : row.description));
            item->setBackground(back);
            item->setForeground(Qt::black);
            m_list->setItem(r, c, item);
        }
    }
}

void CDialogFeedGroup::TakeFields() {
    m_manager.nameField = m_name->text().toStdString();
    m_manager.descriptionField = m_description->toPlainText().toStdString();
}

void CDialogFeedGroup::ShowState() {
    resize(width(), m_manager.expanded ? m_fullHeight : m_fullHeight - kCollapse);
    m_name->setVisible(m_manager.expanded);
    m_description->setVisible(m_manager.expanded);
    m_nameLabel->setVisible(m_manager.expanded);
    m_descriptionLabel->setVisible(m_manager.expanded);
    if (m_name->text().toStdString() != m_manager.nameField) m_name->setText(Q(m_manager.nameField));
    if (m_description->toPlainText().toStdString() != m_manager.descriptionField)
        m_description->setPlainText(Q(m_manager.descriptionField));
    if (m_manager.focus != FeedGroupManager::Focus::None) m_name->setFocus();
    if (m_manager.focus == FeedGroupManager::Focus::NameSelected) m_name->selectAll();
}

bool CDialogFeedGroup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_add && event->type() == QEvent::Enter && !m_manager.expanded) {
        m_manager.Expand();
        ShowState();
    }
    return QDialog::eventFilter(watched, event);
}

void CDialogFeedGroup::OnRowClicked(int row) {
    m_manager.ClickRow(row);
    ShowState();
}

void CDialogFeedGroup::OnAdd() {
    TakeFields();
    if (m_manager.Add()) FillList();
    ShowState();
}

void CDialogFeedGroup::OnCopy() {
    TakeFields();
    if (m_manager.Copy()) FillList();
    ShowState();
}

void CDialogFeedGroup::OnRename() {
    TakeFields();
    bool openRenamed = false;
    if (m_manager.Rename(&openRenamed)) FillList();
    // The feeder list's group-name field follows a renamed open group.
    if (openRenamed && m_feedList) m_feedList->GroupNameField()->setText(Q(m_feedList->List().Table().OpenGroupName()));
    ShowState();
}

void CDialogFeedGroup::OnDelete() {
    TakeFields();
    if (m_manager.Delete()) FillList();
    ShowState();
}

void CDialogFeedGroup::OnOpen() {
    if (!m_manager.Open()) return;
    reject();  // the open closes the dialog with the Cancel result
    if (m_feedList) {
        if (m_feedList->isVisible()) m_feedList->hide();
        m_feedList->show();
        m_feedList->raise();
        m_feedList->ShowOpenGroup();
    }
}

} // namespace smt
