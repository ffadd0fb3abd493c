#include "joblist/ui/dialog_part_list.h"

#include "base/ui/column_fit.h"

#include <QCursor>
#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollBar>
#include <QVBoxLayout>

#include "base/window_titles.h"
#include "base/globals.h"
#include "feeders/strategy_port.h"
#include "joblist/list_sort.h"
#include "joblist/part_list_texts.h"
#include "joblist/run_port.h"
#include "joblist/run_toolbar.h"
#include "joblist/ui/job_list_art.h"
#include "platform/msgbox.h"

namespace smt {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

struct Column {
    const char* header;
    int width;
};

constexpr Column kPartColumns[kPartCells] = {
    {"序号", 50}, {"X坐标", 60}, {"Y坐标", 60}, {"元件角度", 60}, {"元件名称", 60}, {"元件类型", 60},
    {"元件封装", 60}, {"是否贴装", 60}, {"元件数值", 60}, {"料架编号", 100}, {"是否视觉", 60},
    {"料架数值", 60}, {"贴装头", 60}, {"添  加  时  间", 120}, {"二次Mark", 80}, {"---", 60}};
constexpr Column kDisColumns[kDisCells] = {
    {"序号", 50}, {"X坐标", 60}, {"Y坐标", 60}, {"Z坐标", 60}, {"是否点胶", 60}, {"阀打开时机", 80},
    {"阀关闭时机", 80}, {"阀关闭延时", 80}, {"底部延时", 60}, {"回吸时间", 60}, {"备注", 60},
    {"-", 60}, {"-", 60}, {"-", 60}, {"-", 60}};
constexpr Column kDrillColumns[kDrillCells] = {
    {"序号", 50}, {"X坐标", 60}, {"Y坐标", 60}, {"Z坐标", 60}, {"钻孔深", 60}, {"进给量", 60},
    {"抬刀高度", 70}, {"抬刀到顶部", 80}, {"进给启动速度", 90}, {"进给运行速度", 90}, {"抬刀启动速度", 90},
    {"抬刀运行速度", 90}, {"-", 60}, {"-", 60}, {"-", 60}};

const Column* ColumnsOf(JobList list) {
    switch (list) {
    case JobList::Part: return kPartColumns;
    case JobList::Dis: return kDisColumns;
    case JobList::Drill: return kDrillColumns;
    }
    return kPartColumns;
}

// Even rows (counted from 0) of each list; odd rows share one colour.
const QColor kEvenRow[3] = {QColor(200, 250, 250), QColor(250, 225, 250), QColor(200, 225, 200)};
const QColor kOddRow(240, 250, 250);

constexpr int kStaticPcb = 1103, kStaticCount = 1104, kStaticProgress = 1083, kStaticTime = 1107;

std::string Title() {
    const int lang = g_LanguageIndex.load();
    return kWindowTitles[lang >= 0 && lang < 3 ? lang : 0];
}

const char* ListPrefix(JobList list) {
    switch (list) {
    case JobList::Part: return "";
    case JobList::Dis: return "Dis.";
    case JobList::Drill: return "Drill.";
    }
    return "";
}

} // namespace

// ---- model ----------------------------------------------------------------------------

JobListModel::JobListModel(PartListStore& store, JobList list, QObject* parent)
    : QAbstractTableModel(parent), m_store(store), m_list(list), m_rows(store.RowCount(list)) {
    for (int c = 0; c < CellCount(list); ++c) m_headers.push_back(ColumnsOf(list)[c].header);
}

int JobListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int JobListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : CellCount(m_list); }

QVariant JobListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    switch (role) {
    case Qt::DisplayRole: return Q(m_store.Cell(m_list, index.row(), index.column()));
    case Qt::DecorationRole: {
        const auto row = m_store.Row(m_list, index.row());
        const int icon = row ? row->Icon(index.column()) : rowicon::None;
        if (icon >= 0 && icon < rowicon::Count) return RowImages()[icon];
        return {};
    }
    case Qt::BackgroundRole: return index.row() % 2 ? kOddRow : kEvenRow[static_cast<int>(m_list)];
    case Qt::ForegroundRole: return QColor(Qt::black);
    case Qt::TextAlignmentRole: return int(Qt::AlignCenter);
    default: return {};
    }
}

QVariant JobListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
    return section >= 0 && section < static_cast<int>(m_headers.size()) ? m_headers[section] : QString();
}

void JobListModel::SetHeaders(std::vector<QString> headers) {
    m_headers = std::move(headers);
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

void JobListModel::ResetFromStore() {
    beginResetModel();
    m_rows = m_store.RowCount(m_list);
    endResetModel();
}

void JobListModel::Apply(const ListChange& change) {
    if (change.all) return ResetFromStore();
    for (int row : change.rows)
        if (row < m_rows) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

// ---- window start --------------------------------------------------------------------------

CDialogPartList::CDialogPartList(const std::string& startFolder, QWidget* parent, PartListStore& store)
    : QFrame(parent), m_store(store) {
    setObjectName("CDialogPartList");
    OnInitDialog(startFolder);
}

CDialogPartList::~CDialogPartList() { m_store.SetViewSinks({}, {}); }

void CDialogPartList::OnInitDialog(const std::string& startFolder) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    // The run toolbar first; Start to Pcb Clamp wait for the machine.
    m_toolBar = new CToolBarPartControl(this);
    m_toolBar->Create();
    m_toolBar->m_OnCommand = [this](int id) { OnCommand(id); };
    for (int id = tool::Start; id <= tool::PcbClamp; ++id) m_toolBar->EnableButton(id, false);
    layout->addWidget(m_toolBar);

    auto* fields = new QHBoxLayout;
    fields->setSpacing(8);  // the labels run together at the toolbar's spacing of 2
    auto addStatic = [&](int id, const char* text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString("static%1").arg(id));
        m_statics[id] = l;
        fields->addWidget(l);
    };
    addStatic(kStaticPcb, "PCB拼板：");
    addStatic(kStaticCount, "数量：");
    addStatic(kStaticProgress, "进度");
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("progress1109");
    fields->addWidget(m_progress, 1);
    addStatic(kStaticTime, "用时：");
    m_counters = new QLineEdit(this);
    m_counters->setObjectName("edit1005");
    m_counters->setReadOnly(true);
    fields->addWidget(m_counters);
    layout->addLayout(fields);

    for (int i = 0; i < kJobListCount; ++i) {
        const auto list = static_cast<JobList>(i);
        auto* view = new QTableView(this);
        view->setObjectName(i == 0 ? "list1000" : i == 1 ? "list1001" : "list1002");
        m_models[i] = new JobListModel(m_store, list, view);
        view->setModel(m_models[i]);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setAutoScroll(false);  // the runs scroll themselves
        view->verticalHeader()->hide();
        view->verticalHeader()->setDefaultSectionSize(22);
        view->setIconSize(QSize(20, 20));
        view->setStyleSheet("QTableView { background-color: rgb(240, 250, 250); }");
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        for (int c = 0; c < CellCount(list); ++c) view->setColumnWidth(c, ColumnsOf(list)[c].width);
        FitColumnsToText(*view);
        view->horizontalHeader()->setSectionsClickable(true);
        connect(view->horizontalHeader(), &QHeaderView::sectionClicked, this,
                [this, list](int c) { OnHeaderClick(list, c); });
        connect(view, &QTableView::clicked, this, [this, list](const QModelIndex& ix) { OnListClick(list, ix); });
        connect(view, &QTableView::doubleClicked, this, [this, list](const QModelIndex&) {
            RunMenuCommand(std::string(ListPrefix(list)) + "PartEdit");
        });
        connect(view, &QWidget::customContextMenuRequested, this, [this, list, view](const QPoint& p) {
            BuildContextMenu(list)->popup(view->viewport()->mapToGlobal(p));
        });
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, list] { TakeSelection(list); });
        m_views[i] = view;
        layout->addWidget(view, 1);
    }

    // The in-place combos live on the placement list and stay hidden outside an edit.
    QWidget* viewport = PlacementList()->viewport();
    const char* comboNames[kInPlaceComboCount] = {"combo1085", "combo1020", "combo1040", "combo1025", "combo1023"};
    for (int i = 0; i < kInPlaceComboCount; ++i) {
        auto* combo = new QComboBox(viewport);
        combo->setObjectName(comboNames[i]);
        combo->hide();
        combo->installEventFilter(this);
        m_combos[i] = combo;
    }
    for (QScrollBar* bar : {PlacementList()->verticalScrollBar(), PlacementList()->horizontalScrollBar()}) {
        connect(bar, &QScrollBar::valueChanged, this, [this] { CommitInPlaceEditors(false); });
        connect(bar, &QScrollBar::sliderReleased, this, [this] { PlacementList()->viewport()->update(); });
    }

    m_DialogSMTStrategy = new CDialogSMTStrategy(m_store, this);
    m_DialogFind = new CDialogFind(m_store, this);
    m_runClock.setInterval(1000);
    connect(&m_runClock, &QTimer::timeout, this, [this] { OnTimer(); });
    m_ToolHandlers[tool::Start] = [this] { OnStartRun(); };
    m_ToolHandlers[tool::Pause] = [this] { OnPauseRun(); };
    m_ToolHandlers[tool::Regain] = [this] { OnResumeRun(); };
    m_ToolHandlers[tool::Stop] = [this] { OnStopRun(); };
    m_ToolHandlers[tool::PcbClamp] = [] { OnPcbClamp(); };
    m_ToolHandlers[tool::Compare] = [this] { OnCompare(m_store); };
    m_ToolHandlers[tool::Update] = [this] { OnUpdate(m_store, OpenGroupFeeders()); };
    m_ToolHandlers[tool::SmtDis] = [this] { OnSmtDis(m_store); };
    m_MenuHandlers["CurrentSmt"] = [this] { OnRunFromCurrentPart(); };
    m_MenuHandlers["Dis.CurrentDis"] = [this] { OnRunFromCurrentDis(); };
    m_MenuHandlers["Drill.CurrentDrill"] = [this] { OnRunFromCurrentDrill(); };
    m_MenuHandlers["SelectSmt"] = [this] { OnRunSelectedParts(); };
    m_MenuHandlers["Dis.SelectDis"] = [this] { OnRunSelectedDis(); };
    m_MenuHandlers["Drill.SelectDrill"] = [this] { OnRunSelectedDrill(); };

    m_store.FillInPlaceCombos(g_DropDownLines);
    m_store.FillPackageCombo(g_PackLines);
    if (const auto& load = TheStrategyPort().LoadSmtStrategyConfig) load(startFolder);
    m_store.m_RunFromRowEnabled = StrategyPort::Read(TheStrategyPort().m_RunSelect) <= 4 ? 1 : 0;
    if (const auto& create = TheRunPort().createRunEvents) create();

    m_store.SetViewSinks([this](JobList list, const ListChange& change) { OnListChanged(list, change); },
                         [this](JobList list) { ShowVisibleList(list); });
    ApplyPartListCaptions();
    RefreshPlacementList();
}

QLabel* CDialogPartList::Static(int id) const {
    const auto it = m_statics.find(id);
    return it == m_statics.end() ? nullptr : it->second;
}

// ---- captions ----------------------------------------------------------------------------

void CDialogPartList::LoadLanguage(const std::string& startFolder, const std::string& language) {
    LoadPartListLanguage(startFolder, language);
    ApplyPartListCaptions();
}

void CDialogPartList::ApplyPartListCaptions() {
    Static(kStaticPcb)->setText(Q(m_store.PcbLabel()));
    Static(kStaticCount)->setText(Q(m_store.CountLabel()));
    Static(kStaticProgress)->setText(Q(PartListText("Progress")));
    Static(kStaticTime)->setText(Q(PartListText("SMTTime")));
    std::vector<QString> part, dis;
    for (int c = 0; c < kPartCells; ++c)
        part.push_back(c < 15 ? Q(PartListText(QString("PartList_%1").arg(c + 1, 2, 10, QChar('0')).toStdString()))
                              : QString(kPartColumns[c].header));
    for (int c = 0; c < kDisCells; ++c)
        dis.push_back(c < 11 ? Q(PartListText(QString("DisList_%1").arg(c + 1, 2, 10, QChar('0')).toStdString()))
                             : QString(kDisColumns[c].header));
    m_models[0]->SetHeaders(std::move(part));
    m_models[1]->SetHeaders(std::move(dis));
}

// ---- store changes ---------------------------------------------------------------------------

void CDialogPartList::RefreshPlacementList() {
    for (int i = 0; i < kJobListCount; ++i) {
        ListChange all;
        all.all = true;
        OnListChanged(static_cast<JobList>(i), all);
    }
    ShowVisibleList(m_store.VisibleList());
}

void CDialogPartList::OnListChanged(JobList list, const ListChange& change) {
    const int i = static_cast<int>(list);
    // The edited cell may be gone: the editor closes without writing anything.
    if (change.all && list == JobList::Part) HideEditors();
    // A reset clears the view's selection; the store's selection is put back below.
    m_applyingSelection = true;
    m_models[i]->Apply(change);
    m_applyingSelection = false;
    ApplySelection(list, change);
    if (change.scrollTop) m_views[i]->scrollToTop();
    if (change.focus >= 0 && change.focus < m_models[i]->rowCount()) {
        const bool guard = m_applyingSelection;
        m_applyingSelection = true;
        m_views[i]->selectionModel()->setCurrentIndex(m_models[i]->index(change.focus, 0),
                                                      QItemSelectionModel::NoUpdate);
        m_applyingSelection = guard;
    }
}

void CDialogPartList::ApplySelection(JobList list, const ListChange& change) {
    const int i = static_cast<int>(list);
    QItemSelectionModel* sm = m_views[i]->selectionModel();
    const JobListModel* model = m_models[i];
    const int columns = model->columnCount() - 1;
    m_applyingSelection = true;
    if (change.all) {
        QItemSelection selection;
        const auto rows = m_store.Rows(list);
        const int n = std::min<int>(static_cast<int>(rows.size()), model->rowCount());
        for (int r = 0; r < n;) {
            if (!rows[r].selected) { ++r; continue; }
            int end = r;
            while (end + 1 < n && rows[end + 1].selected) ++end;
            selection.select(model->index(r, 0), model->index(end, columns));
            r = end + 1;
        }
        sm->select(selection, QItemSelectionModel::ClearAndSelect);
    } else {
        for (int r : change.rows) {
            const auto row = m_store.Row(list, r);
            if (!row || r >= model->rowCount()) continue;
            sm->select(QItemSelection(model->index(r, 0), model->index(r, columns)),
                       row->selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
        }
    }
    m_applyingSelection = false;
}

void CDialogPartList::TakeSelection(JobList list) {
    if (m_applyingSelection) return;
    const int i = static_cast<int>(list);
    std::vector<bool> selected(m_models[i]->rowCount(), false);
    for (const QModelIndex& ix : m_views[i]->selectionModel()->selectedRows()) selected[ix.row()] = true;
    m_store.TakeSelection(list, selected);
}

void CDialogPartList::ShowList(JobList list) {
    m_store.ShowList(list);
    ShowVisibleList(list);
}

void CDialogPartList::ShowVisibleList(JobList list) {
    for (int i = 0; i < kJobListCount; ++i) m_views[i]->setVisible(i == static_cast<int>(list));
    Static(kStaticPcb)->setText(Q(m_store.PcbLabel()));
    Static(kStaticCount)->setText(Q(m_store.CountLabel()));
}

// ---- in-place editing ------------------------------------------------------------------------

void CDialogPartList::OnListClick(JobList list, const QModelIndex& index) {
    if (list != JobList::Part) {
        if (index.isValid()) m_store.ClickListCell(list, index.row(), index.column());
        return;
    }
    m_store.FillFeederCombo(OpenGroupFeeders());
    if (!index.isValid()) return;
    const CellEdit edit = m_store.ClickPartCell(index.row(), index.column());
    if (edit.kind == CellEdit::Combo) ShowCombo(edit.combo, edit.selected, index);
}

void CDialogPartList::ShowCombo(smt::InPlaceCombo which, int selected, const QModelIndex& index) {
    QComboBox* combo = InPlaceCombo(which);
    combo->clear();
    for (const auto& item : m_store.ComboItems(which)) combo->addItem(Q(item));
    combo->setCurrentIndex(selected);
    m_currentCellRect = PlacementList()->visualRect(index);
    combo->setGeometry(m_currentCellRect.adjusted(0, 0, 0, 2));
    combo->show();
    combo->raise();
    combo->setFocus();
}

void CDialogPartList::HideEditors() {
    m_hidingEditors = true;
    for (QComboBox* c : m_combos) c->hide();
    m_hidingEditors = false;
}

void CDialogPartList::CommitInPlaceEditors(bool killFocus) {
    const QPoint cursor = PlacementList()->viewport()->mapFromGlobal(QCursor::pos());
    const bool insideCell = m_currentCellRect.contains(cursor);
    for (int i = 0; i < kInPlaceComboCount; ++i) {
        QComboBox* combo = m_combos[i];
        if (!combo->isVisible()) continue;
        const std::string text = combo->currentText().toStdString();
        if (!insideCell) {
            m_store.CommitPartCell(text);
            const bool guard = m_hidingEditors;
            m_hidingEditors = true;
            combo->hide();
            m_hidingEditors = guard;
        }
        // The feeder combo completes the row from its text even when the editor stays.
        if (killFocus && i == static_cast<int>(InPlaceCombo::Feeders))
            m_store.CompleteFeederRow(text, OpenGroupFeeders());
    }
}

bool CDialogPartList::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && !m_hidingEditors) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Opening the combo's own drop-down is no kill-focus.
        if (reason != Qt::PopupFocusReason)
            for (QComboBox* c : m_combos)
                if (c == watched && c->isVisible()) {
                    CommitInPlaceEditors(true);
                    break;
                }
    }
    return QFrame::eventFilter(watched, event);
}

void CDialogPartList::OnHeaderClick(JobList list, int column) {
    m_store.m_SortKey = column;
    SortPartRows(m_store, list);
}

// ---- menus and commands ---------------------------------------------------------------------

QMenu* CDialogPartList::BuildContextMenu(JobList list) {
    // The current row of the list becomes the first selected row.
    const int first = m_store.FirstSelected(list);
    {
        auto lock = m_store.Hold();
        (list == JobList::Part ? m_store.m_PartItem : list == JobList::Dis ? m_store.m_DisItem : m_store.m_DrillItem) = first;
    }
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const std::string prefix = ListPrefix(list);
    auto add = [&](QMenu* into, const std::string& key, const char* fixed = nullptr) {
        QAction* a = into->addAction(Q(fixed ? std::string(fixed) : PartListText(key)));
        a->setObjectName(Q(prefix + key));
        connect(a, &QAction::triggered, this, [this, k = prefix + key] { RunMenuCommand(k); });
        return a;
    };
    const bool type4 = g_MachineType == 4;
    if (list == JobList::Part) {
        add(menu, "SelectAll");
        add(menu, "PartAdd");
        add(menu, "PartEdit");
        add(menu, "PartDelete");
        add(menu, "PartCopy")->setEnabled(!type4);
        add(menu, "PartPaste")->setEnabled(m_store.m_PartCopied != 0);
        add(menu, "CopyPaste")->setEnabled(!type4);
        menu->addSeparator();
        add(menu, "SuctionTest")->setEnabled(!type4);
        add(menu, "CameraTest")->setEnabled(!type4);
        add(menu, "CurrentSmt")->setEnabled(m_store.m_RunFromRowEnabled != 0);
        add(menu, "SelectSmt");
        menu->addSeparator();
        QMenu* pcb = menu->addMenu(Q(PartListText("PCB_Operation")));
        pcb->setObjectName("PCB_Operation");
        for (const char* key : {"PCB_Clockwise90", "PCB_Counterclockwise90", "PCB_LeftRightMirror",
                                "PCB_UpDownMirror", "PCB_Compound"})
            add(pcb, key);
        QMenu* grout = menu->addMenu(Q(PartListText("DoubleGroutXYControl")));
        grout->setObjectName("DoubleGroutXYControl");
        for (const char* key : {"Grout1ToY1PartTest", "Grout1ToY2PartTest", "Grout2ToY1PartTest",
                                "Grout2ToY2PartTest", "CameraToY1PartTest", "CameraToY2PartTest",
                                "Nozzle1ToY1PartTest", "Nozzle2ToY1PartTest", "Nozzle3ToY1PartTest",
                                "Nozzle4ToY1PartTest"})
            add(grout, key);
        grout->menuAction()->setEnabled(type4);
    } else if (list == JobList::Dis) {
        for (const char* key : {"SelectAll", "PartAdd", "PartEdit", "PartDelete", "PartCopy"}) add(menu, key);
        add(menu, "PartPaste")->setEnabled(m_store.m_DisCopied != 0);
        add(menu, "CopyPaste");
        menu->addSeparator();
        for (const char* key : {"DisHeadTest", "CameraTest", "CurrentDis", "SelectDis"}) add(menu, key);
    } else {
        // The drilling menu keeps the captions of its resource.
        const std::pair<const char*, const char*> items[] = {
            {"SelectAll", "全部钩选/不选"}, {"PartAdd", "添加元件"}, {"PartEdit", "修改元件"},
            {"PartDelete", "删除元件"}, {"PartCopy", "复制元件"}, {"PartPaste", "粘贴元件"},
            {"CopyPaste", "复制->粘贴"}, {nullptr, nullptr}, {"DrillTest", "钻头到坐标测试"},
            {"CameraTest", "相机到坐标测试"}, {"CurrentDrill", "从当前开始钻孔"}, {"SelectDrill", "选中钻孔"}};
        for (auto [key, text] : items) {
            if (!key) {
                menu->addSeparator();
                continue;
            }
            QAction* a = add(menu, key, text);
            if (std::string(key) == "PartPaste") a->setEnabled(m_store.m_DrillCopied != 0);
        }
    }
    return menu;
}

void CDialogPartList::RunMenuCommand(const std::string& key) {
    if (const auto it = m_MenuHandlers.find(key); it != m_MenuHandlers.end() && it->second) return it->second();
    if (key == "Drill.SelectAll") return;  // the drilling list's select-all has no command
    ShowNotYet();
}

void CDialogPartList::OnCommand(int commandId) {
    if (const auto it = m_ToolHandlers.find(commandId); it != m_ToolHandlers.end() && it->second) return it->second();
    ShowNotYet();
}

// ---- run toolbar ------------------------------------------------------------------------

bool CDialogPartList::OnStartRun() { return smt::OnStartRun(m_store); }
void CDialogPartList::OnPauseRun() { smt::OnPauseRun(); }
void CDialogPartList::OnResumeRun() { smt::OnResumeRun(); }
void CDialogPartList::OnStopRun() { smt::OnStopRun(); }

void CDialogPartList::OnTimer() {
    AdvanceRunClock();
    Static(kStaticTime)->setText(Q(RunClockText()));
    m_counters->setText(Q(RunCounterText(m_store.m_CurrentRowNo, m_store.m_PlacedCount)));
}

void CDialogPartList::OnRunFromCurrentPart() { RunRestricted(m_store, JobList::Part, false); }
void CDialogPartList::OnRunFromCurrentDis() { RunRestricted(m_store, JobList::Dis, false); }
void CDialogPartList::OnRunFromCurrentDrill() { RunRestricted(m_store, JobList::Drill, false); }
void CDialogPartList::OnRunSelectedParts() { RunRestricted(m_store, JobList::Part, true); }
void CDialogPartList::OnRunSelectedDis() { RunRestricted(m_store, JobList::Dis, true); }
void CDialogPartList::OnRunSelectedDrill() { RunRestricted(m_store, JobList::Drill, true); }

void CDialogPartList::EnsureVisible(JobList list, int row) {
    JobListModel* model = m_models[static_cast<int>(list)];
    if (model->rowCount() == 0) return;
    const int r = std::clamp(row, 0, model->rowCount() - 1);
    m_views[static_cast<int>(list)]->scrollTo(model->index(r, 0), QAbstractItemView::EnsureVisible);
}

void CDialogPartList::ShowNotYet() {
    plat::MessageBoxOk(PartListText("Message_09"), false, plat::MsgIcon::None, Title());
}

} // namespace smt
