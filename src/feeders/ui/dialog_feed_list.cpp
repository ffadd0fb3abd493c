#include "feeders/ui/dialog_feed_list.h"

#include "base/ui/column_fit.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/ui/dialog_feed_edit.h"
#include "feeders/ui/dialog_feed_group.h"

namespace smt {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kWidths[kFeedCells] = {60, 60, 60, 60, 70, 70, 40, 40, 40, 40, 50, 50, 100, 80, 60,
                                     70, 60, 60, 60, 60, 60, 60, 60, 120, 60, 60, 60, 60, 60, 60};

} // namespace

QIcon FeedListImage(int index) {
    // 20 x 20 marks: plain, camera yes, flying yes, own speed yes, no, pasted yes,
    // ticked and used by the placement list.
    static const QColor colours[8] = {QColor(0, 0, 0, 0), QColor(0, 150, 0), QColor(0, 90, 200), QColor(220, 130, 0),
                                      QColor(200, 0, 0), QColor(150, 0, 180), QColor(0, 120, 0), QColor(0, 0, 160)};
    if (index < 0 || index > 7) return {};
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colours[index], 2.5));
    switch (index) {
    case 0: break;
    case 4: p.drawLine(5, 5, 15, 15); p.drawLine(15, 5, 5, 15); break;
    case 6: p.drawLine(4, 10, 8, 15); p.drawLine(8, 15, 16, 4); break;
    case 7: p.setBrush(colours[index]); p.drawRect(5, 5, 10, 10); break;
    default: p.setBrush(colours[index]); p.drawEllipse(5, 5, 10, 10); break;
    }
    return QIcon(pm);
}

// ---- model ----------------------------------------------------------------------

FeedListModel::FeedListModel(FeedList& list, QObject* parent) : QAbstractTableModel(parent), m_list(list) {}

int FeedListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_list.ItemCount(); }
int FeedListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kFeedCells; }

QVariant FeedListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_list.ItemCount()) return {};
    const FeedListEntry& e = m_list.rows[static_cast<std::size_t>(index.row())];
    const int col = index.column();
    switch (role) {
    case Qt::DisplayRole: return Q(e.text[static_cast<std::size_t>(col)]);
    case Qt::DecorationRole:
        if (col == 0) return FeedListImage(e.image0);
        if (IsFlagCell(col)) return FeedListImage(e.Icon(col));
        return {};
    case Qt::BackgroundRole: return index.row() % 2 == 0 ? QColor(200, 250, 250) : QColor(240, 250, 250);
    case Qt::ForegroundRole: return QColor(Qt::black);
    case Qt::TextAlignmentRole: return int(Qt::AlignCenter);
    default: return {};
    }
}

QVariant FeedListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kFeedCells) return {};
    if (!captionsLoaded && section == 16) return QStringLiteral("放料延时");
    if (!captionsLoaded && section == 25) return QStringLiteral("独立Mark");
    return Q(m_list.ColumnCaption(section, g_MachineType));
}

void FeedListModel::Reset() {
    beginResetModel();
    endResetModel();
}

// ---- panel ----------------------------------------------------------------------

CDialogFeedList::CDialogFeedList(QWidget* parent) : QWidget(parent), m_list(TheFeedGroupTable()) {
    setObjectName("CDialogFeedList");
    m_model = new FeedListModel(m_list, this);
    m_list.changed = [this] {
        m_model->Reset();
        if (m_groupName->text().toStdString() != m_list.GroupName()) m_groupName->setText(Q(m_list.GroupName()));
    };

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    m_groupLabel = new QLabel(this);
    m_groupName = new QLineEdit(this);
    m_groupName->setObjectName("1161");
    m_groupName->setEnabled(false);
    connect(m_groupName, &QLineEdit::textChanged, this, [this](const QString& t) { m_list.SetGroupName(t.toStdString()); });
    m_showSelect = new QPushButton(this);
    m_showSelect->setObjectName("1577");
    m_showSelect->setIcon(FeedListImage(feedicon::Used));
    connect(m_showSelect, &QPushButton::clicked, this, &CDialogFeedList::OnShowSelected);
    top->addWidget(m_groupLabel);
    top->addWidget(m_groupName, 1);
    top->addWidget(m_showSelect);
    // The find row: captions only, kept hidden.
    m_colName = new QLabel(this);
    m_content = new QLabel(this);
    m_find = new QPushButton(this);
    for (QWidget* w : std::initializer_list<QWidget*>{m_colName, new QComboBox(this), m_content, new QLineEdit(this), m_find}) {
        top->addWidget(w);
        w->hide();
    }
    layout->addLayout(top);

    m_view = new QTableView(this);
    m_view->setObjectName("1038");
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setIconSize(QSize(20, 20));
    m_view->setStyleSheet("QTableView { background: rgb(240, 250, 250); }");
    m_view->verticalHeader()->hide();
    for (int c = 0; c < kFeedCells; ++c) m_view->setColumnWidth(c, kWidths[c]);
    FitColumnsToText(*m_view);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        auto menu = BuildContextMenu(m_view->indexAt(pos).row());
        if (QAction* a = menu->exec(m_view->viewport()->mapToGlobal(pos))) OnMenuCommand(a->data().toInt());
    });
    connect(m_view, &QTableView::clicked, this, [this](const QModelIndex& i) { OnClick(i.row()); });
    connect(m_view, &QTableView::doubleClicked, this, [this](const QModelIndex& i) { OnDoubleClick(i.row()); });
    connect(m_view->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        m_list.sortColumn = section;
        SortFeedList();
    });
    layout->addWidget(m_view, 1);

    m_feedGroup = std::make_unique<CDialogFeedGroup>(TheFeedGroupTable(), this);
    m_feedEdit = new CDialogFeedEdit(m_list, this);
    m_feedEdit->m_StartFolder = [this] { return m_startFolder; };
    m_feedEdit->m_ShowListRow = [this](int row) {
        m_view->selectRow(row);
        m_view->scrollTo(m_model->index(std::min(row + 3, m_model->rowCount() - 1), 0));
    };
    m_RunEditor = [this](const FeedListItem& row) { return m_feedEdit->Run(row); };
    ApplyLanguage();
}

CDialogFeedList::~CDialogFeedList() = default;

void CDialogFeedList::OnInitDialog(const std::string& startFolder, const std::string& language) {
    m_startFolder = startFolder;
    m_list.Initialise(startFolder, language);
    m_feedGroup->Manager().LoadLanguage(startFolder, language);
}

void CDialogFeedList::LoadLanguage(const std::string& startFolder, const std::string& language) {
    m_startFolder = startFolder;
    m_list.LoadLanguage(startFolder, language);
    m_model->captionsLoaded = true;
    ApplyLanguage();
}

void CDialogFeedList::ApplyLanguage() {
    m_groupLabel->setText(Q(m_list.Text("c_FeedGroup")));
    m_showSelect->setText(Q(m_list.Text("c_ShowSelect")));
    m_colName->setText(Q(m_list.Text("c_ColName")));
    m_content->setText(Q(m_list.Text("c_Content")));
    m_find->setText(Q(m_list.Text("c_Find")));
    m_model->headerDataChanged(Qt::Horizontal, 0, kFeedCells - 1);
}

void CDialogFeedList::SortFeedList() { m_list.SortFeedList(); }

void CDialogFeedList::OnMachineTypeChanged() { m_model->headerDataChanged(Qt::Horizontal, 0, kFeedCells - 1); }

void CDialogFeedList::ShowOpenGroup() { m_list.ShowOpenGroup(); }

std::unique_ptr<QMenu> CDialogFeedList::BuildContextMenu(int row) {
    m_list.TakeSelection(row);
    auto menu = std::make_unique<QMenu>(this);
    const std::set<int> greyed = m_list.GreyedEntries(g_MachineType);
    auto item = [&](QMenu* m, int id, const std::string& key) {
        QAction* a = m->addAction(Q(m_list.Text(key)));
        a->setData(id);
        a->setEnabled(!greyed.count(id));
    };
    auto sub = [&](const std::string& key, const std::array<int, 8>& ids, const char* itemKey) {
        QMenu* s = menu->addMenu(Q(m_list.Text(key)));
        for (int n = 0; n < 8; ++n) item(s, ids[static_cast<std::size_t>(n)], FormatC(itemKey, n + 1));
    };
    // Submenus at positions 7, 13 and 14.
    item(menu.get(), feedmenu::Add, "c_FeedAdd");
    item(menu.get(), feedmenu::Edit, "c_FeedEdit");
    item(menu.get(), feedmenu::Delete, "c_FeedDelete");
    item(menu.get(), feedmenu::Copy, "c_FeedCopy");
    item(menu.get(), feedmenu::Paste, "c_FeedPaste");
    menu->addSeparator();
    item(menu.get(), feedmenu::Measure, "c_MeasurementToFeedTest");
    sub("c_NozzleToFeedTest", feedmenu::Nozzle, "c_Nozzle%dToFeedTest");
    item(menu.get(), feedmenu::CameraToFeeder, "c_CameraToFeedTest");
    item(menu.get(), feedmenu::CameraToHole, "c_CameraToFeedHoleTest");
    item(menu.get(), feedmenu::Towbar, "c_TowbarToHoleTest");
    item(menu.get(), feedmenu::FeedTest, "c_FeedTest");
    menu->addSeparator();
    sub("c_NozzlePickToCamera1", feedmenu::Camera1, "c_Nozzle%dPickToCamera1");
    sub("c_NozzlePickToCamera2", feedmenu::Camera2, "c_Nozzle%dPickToCamera2");
    menu->addSeparator();
    item(menu.get(), feedmenu::ImageFeature, "c_GetImageFeature");
    return menu;
}

void CDialogFeedList::OnMenuCommand(int id) {
    switch (id) {
    case feedmenu::Add: m_list.Add(m_RunEditor); break;
    case feedmenu::Edit: m_list.Edit(m_RunEditor, false); break;
    case feedmenu::Delete: m_list.Delete(); break;
    case feedmenu::Copy: m_list.Copy(); break;
    case feedmenu::Paste: m_list.Paste(); break;
    case feedmenu::ImageFeature: m_list.GetImageFeature(); break;
    default: m_list.StartEntry(id); break;
    }
}

void CDialogFeedList::OnClick(int row) { m_list.ClickTick(row); }

void CDialogFeedList::OnDoubleClick(int row) {
    m_list.selected = row;
    m_list.Edit(m_RunEditor, true);
}

void CDialogFeedList::OnShowSelected() { m_list.ShowSelectedFeeders(); }

} // namespace smt
