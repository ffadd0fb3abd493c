#include "feeders/ui/dialog_grid_box.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/feed_group_table.h"
#include "feeders/feed_list.h"
#include "feeders/tray_pockets.h"
#include "link/busy.h"
#include "link/jog.h"
#include "link/position_counters.h"
#include "platform/msgbox.h"
#include "base/ui/field_text.h"

namespace smt {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kIconRole = Qt::UserRole + 1;

// The pocket grid as the feeder table fills and reads it.
class PocketGrid : public TrayGridList {
public:
    explicit PocketGrid(QTableWidget* grid) : m_grid(grid) {}
    void DeleteAll() override {
        m_grid->clear();
        m_grid->setRowCount(0);
        m_grid->setColumnCount(0);
    }
    void InsertColumn(int column, const std::string& caption, int width) override {
        if (m_grid->columnCount() <= column) m_grid->setColumnCount(column + 1);
        m_grid->setHorizontalHeaderItem(column, new QTableWidgetItem(Q(caption)));
        m_grid->setColumnWidth(column, width);
    }
    void InsertRow(int row, const std::string& text) override {
        if (m_grid->rowCount() <= row) m_grid->setRowCount(row + 1);
        auto* item = new QTableWidgetItem(Q(text));
        item->setData(kIconRole, feedicon::None);
        m_grid->setItem(row, 0, item);
    }
    void SetPocket(int row, int column, const std::string& text, int icon) override {
        auto* item = new QTableWidgetItem(Q(text));
        item->setTextAlignment(Qt::AlignCenter);
        m_grid->setItem(row, column, item);
        SetIcon(row, column, icon);
    }
    std::string PocketText(int row, int column) const override {
        const QTableWidgetItem* item = m_grid->item(row, column);
        return item ? item->text().toStdString() : std::string();
    }
    int PocketIcon(int row, int column) const override {
        const QTableWidgetItem* item = m_grid->item(row, column);
        return item ? item->data(kIconRole).toInt() : feedicon::None;
    }
    void SetIcon(int row, int column, int icon) {
        QTableWidgetItem* item = m_grid->item(row, column);
        if (!item) return;
        item->setData(kIconRole, icon);
        item->setIcon(icon > 0 ? PocketImage(icon) : QIcon());
    }

private:
    QTableWidget* m_grid;
};

PocketGrid& Pockets(TrayGridList& l) { return static_cast<PocketGrid&>(l); }

} // namespace

QIcon PocketImage(int index) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 90, 90), 2));
    p.drawRect(4, 4, 24, 24);  // the pocket
    if (index == 1) {
        p.setBrush(QColor(40, 40, 40));  // a part in it
        p.drawRect(10, 10, 12, 12);
    } else if (index == 2) {
        p.setPen(QPen(QColor(220, 0, 0), 3));  // the move target
        p.drawLine(16, 6, 16, 26);
        p.drawLine(6, 16, 26, 16);
    }
    return QIcon(pm);
}

CDialogGridBox::CDialogGridBox(FeedList& list, QWidget* parent)
    : QDialog(parent), m_list(list), m_texts(GridBoxCaptions()) {
    setObjectName("CDialogGridBox");
    m_RunModal = [](QDialog& d) { return d.exec(); };
    const int captionIds[6] = {1381, 1382, 1368, 1369, 1370, 1371};
    for (int i = 0; i < 6; ++i) {
        m_captions[i] = new QLabel(this);
        m_captions[i]->setObjectName(QString("static%1").arg(captionIds[i]));
    }
    auto edit = [this](int id, bool readOnly) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString("edit%1").arg(id));
        e->setReadOnly(readOnly);
        return e;
    };
    auto spin = [this](int id) {
        auto* s = new QSpinBox(this);
        s->setObjectName(QString("edit%1").arg(id));
        s->setRange(0, 10000);
        s->setKeyboardTracking(false);  // a typed size counts when the edit is finished
        connect(s, &QSpinBox::valueChanged, this, [this] { OnSizeChanged(); });
        return s;
    };
    m_groupName = edit(1098, true);
    m_feedId = edit(1103, true);
    m_rows = spin(1217);
    m_columns = spin(1212);
    m_rowPitch = edit(1101, false);
    m_columnPitch = edit(1102, false);
    auto* cy = new QPushButton("CY", this);
    cy->setObjectName("button1363");
    cy->setAutoDefault(false);
    connect(cy, &QPushButton::clicked, this, [this] { OnCaptureRowPitch(); });
    auto* cx = new QPushButton("CX", this);
    cx->setObjectName("button1364");
    cx->setAutoDefault(false);
    connect(cx, &QPushButton::clicked, this, [this] { OnCaptureColumnPitch(); });

    m_grid = new QTableWidget(this);
    m_grid->setObjectName("list1215");
    m_grid->setIconSize(QSize(32, 32));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(36);
    m_grid->horizontalHeader()->setSectionsClickable(false);
    m_grid->setStyleSheet("QTableWidget { background: rgb(240, 250, 250); }");
    m_grid->setMinimumSize(520, 300);
    m_gridList = std::make_unique<PocketGrid>(m_grid);
    connect(m_grid, &QTableWidget::cellClicked, this, &CDialogGridBox::OnPocketClicked);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const QModelIndex at = m_grid->indexAt(pos);
        auto menu = BuildPocketMenu(at.isValid() ? at.row() : -1, at.isValid() ? at.column() : -1);
        if (!menu) return;
        if (QAction* a = menu->exec(m_grid->viewport()->mapToGlobal(pos))) OnPocketMenu(a->data().toInt());
    });

    m_placeAll = new QCheckBox(this);
    m_placeAll->setObjectName("check1213");
    connect(m_placeAll, &QCheckBox::clicked, this, &CDialogGridBox::OnPlaceAll);
    m_count = new QLabel(this);
    m_count->setObjectName("static1214");
    m_ok = new QPushButton(this);
    m_ok->setObjectName("IDOK");
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &CDialogGridBox::accept);

    auto* form = new QGridLayout;
    form->addWidget(m_captions[0], 0, 0);
    form->addWidget(m_groupName, 0, 1);
    form->addWidget(m_captions[1], 0, 2);
    form->addWidget(m_feedId, 0, 3);
    form->addWidget(m_captions[2], 1, 0);
    form->addWidget(m_rows, 1, 1);
    form->addWidget(m_captions[3], 1, 2);
    form->addWidget(m_columns, 1, 3);
    form->addWidget(m_captions[4], 2, 0);
    form->addWidget(m_rowPitch, 2, 1);
    form->addWidget(cy, 2, 2);
    form->addWidget(m_captions[5], 3, 0);
    form->addWidget(m_columnPitch, 3, 1);
    form->addWidget(cx, 3, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_placeAll);
    bottom->addWidget(m_count, 1);
    bottom->addWidget(m_ok);
    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addWidget(m_grid, 1);
    top->addLayout(bottom);
    ApplyLanguage();
}

CDialogGridBox::~CDialogGridBox() = default;

void CDialogGridBox::LoadLanguage(const std::string& startFolder, const std::string& language) {
    m_texts.Load(startFolder, language);
    ApplyLanguage();
}

void CDialogGridBox::ApplyLanguage() {
    setWindowTitle(Q(m_texts.Text("GridBox.c_GridBox")));
    const char* keys[6] = {"GridBox.c_FeedGroup", "GridBox.c_Feed", "GridBox.c_Row", "GridBox.c_Col",
                           "GridBox.c_RowSpace", "GridBox.c_ColSpace"};
    for (int i = 0; i < 6; ++i) m_captions[i]->setText(Q(m_texts.Text(keys[i])));
    m_placeAll->setText(Q(m_texts.Text("GridBox.c_PlaceAllPart")));
    m_ok->setText(Q(m_texts.Text("GridBox.c_IDOK")));
    ShowCount(true, FullPockets());
}

void CDialogGridBox::OnInitDialog() {
    setResult(0);
    m_targetIcon.reset();
    const int selected = m_list.selected;
    const std::string id =
        selected >= 0 && selected < m_list.ItemCount() ? m_list.rows[static_cast<std::size_t>(selected)].text[0] : "";
    m_feedId->setText(Q(id));
    m_groupName->setText(Q(m_list.GroupName()));
    m_gridList->DeleteAll();
    const std::optional<TrayShape> shape = m_list.Table().FillTrayGrid(id, *m_gridList);
    const TrayShape s = shape.value_or(TrayShape{});
    // The sizes are shown without a rebuild: the grid keeps the stored pockets.
    for (QSpinBox* box : {m_rows, m_columns}) box->blockSignals(true);
    m_rows->setValue(s.rows);
    m_columns->setValue(s.pocketColumns);
    for (QSpinBox* box : {m_rows, m_columns}) box->blockSignals(false);
    m_shownRows = s.rows;
    m_shownColumns = s.pocketColumns;
    m_rowPitch->setText(ui::NumberText(s.rowPitch));
    m_columnPitch->setText(ui::NumberText(s.columnPitch));
    m_placeAll->setChecked(false);
    for (int c = 0; c < m_grid->columnCount(); ++c) m_grid->setColumnWidth(c, c == 0 ? 60 : 33);
    ShowCount(true, FullPockets());
}

void CDialogGridBox::Rebuild(int rows, int columns) {
    m_targetIcon.reset();
    PocketGrid& g = Pockets(*m_gridList);
    g.DeleteAll();
    m_grid->setUpdatesEnabled(false);
    g.InsertColumn(0, "", 60);
    for (int c = 1; c <= columns; ++c) g.InsertColumn(c, FormatInt(c), 33);
    for (int r = 0; r < rows; ++r) {
        g.InsertRow(r, FormatInt(r + 1));
        for (int c = 1; c <= columns; ++c) g.SetPocket(r, c, FormatInt(static_cast<long long>(r) * columns + c), kPocketFull);
    }
    m_grid->setUpdatesEnabled(true);
    m_shownRows = rows;
    m_shownColumns = columns;
}

void CDialogGridBox::OnSizeChanged() {
    const int rows = m_rows->value(), columns = m_columns->value();
    if (rows == m_shownRows && columns == m_shownColumns) return;
    if (!TrayGridSizeAccepted(rows, columns)) {
        plat::MessageBoxOk(m_texts.Text("GridBox.c_Message_01"));
        for (QSpinBox* box : {m_rows, m_columns}) box->blockSignals(true);
        m_rows->setValue(m_shownRows);
        m_columns->setValue(m_shownColumns);
        for (QSpinBox* box : {m_rows, m_columns}) box->blockSignals(false);
        return;
    }
    Rebuild(rows, columns);
    ShowCount(true, rows * columns);
}

int CDialogGridBox::FullPockets() const {
    int n = 0;
    for (int r = 0; r < m_grid->rowCount(); ++r)
        for (int c = 1; c < m_grid->columnCount(); ++c)
            if (m_gridList->PocketIcon(r, c) == kPocketFull) ++n;
    return n;
}

void CDialogGridBox::ShowCount(bool withNumber, int count) {
    // Caption files keep no trailing blank: a Latin colon gets its space back here.
    std::string label = m_texts.Text("GridBox.c_PartCount");
    if (withNumber && !label.empty() && label.back() == ':') label += ' ';
    m_count->setText(Q(label + (withNumber ? FormatInt(count) : std::string())));
}

void CDialogGridBox::OnPocketClicked(int row, int column) {
    if (row < 0 || column < 1 || row >= m_grid->rowCount() || column >= m_grid->columnCount()) return;
    if (m_targetIcon && row == m_TargetRow && column == m_TargetColumn) m_targetIcon.reset();
    PocketGrid& g = Pockets(*m_gridList);
    g.SetIcon(row, column, g.PocketIcon(row, column) == kPocketFull ? feedicon::None : kPocketFull);
    ShowCount(true, FullPockets());
}

void CDialogGridBox::OnPlaceAll(bool all) {
    m_targetIcon.reset();
    PocketGrid& g = Pockets(*m_gridList);
    for (int r = 0; r < m_grid->rowCount(); ++r)
        for (int c = 1; c < m_grid->columnCount(); ++c) g.SetIcon(r, c, all ? kPocketFull : feedicon::None);
    ShowCount(all, static_cast<long long>(m_shownRows) * m_shownColumns);
}

void CDialogGridBox::OnCaptureRowPitch() {
    const PitchCounters c{g_PulseX, g_PulseY, g_PulseX2, g_PulseY2};
    if (auto pitch = CaptureRowPitch(g_MachineType, TheManualJog().HeadGroup(), c, m_OriginY, TheBasicSettings(),
                                     ThePulseFactors()))
        m_rowPitch->setText(Q(FormatC("%0.4f", *pitch)));
}

void CDialogGridBox::OnCaptureColumnPitch() {
    const PitchCounters c{g_PulseX, g_PulseY, g_PulseX2, g_PulseY2};
    m_columnPitch->setText(
        Q(FormatC("%0.4f", CaptureColumnPitch(g_MachineType, c, m_OriginX, TheBasicSettings(), ThePulseFactors()))));
}

std::unique_ptr<QMenu> CDialogGridBox::BuildPocketMenu(int row, int column) {
    {
        BusyClaim guards = ClaimMachineAction(true);  // only asked here; the entry claims again
        if (!guards) return nullptr;
    }
    if (row < 0 || column < 1) return nullptr;
    // The target mark replaces the pocket's image only while shown: the pocket keeps its part.
    PocketGrid& g = Pockets(*m_gridList);
    if (m_targetIcon) g.SetIcon(m_TargetRow, m_TargetColumn, *m_targetIcon);
    m_targetIcon = g.PocketIcon(row, column);
    g.SetIcon(row, column, 2);
    m_TargetRow = row;
    m_TargetColumn = column;
    auto menu = std::make_unique<QMenu>(this);
    const std::set<int> greyed = GreyedPocketCodes(g_MachineType);
    for (int code = 0; code <= 8; ++code) {
        const std::string key = code == 0 ? "c_CameraToFeedTest" : FormatC("c_Nozzle%dToFeedTest", code);
        QAction* a = menu->addAction(Q(m_list.Text(key)));
        a->setData(code);
        a->setEnabled(!greyed.count(code));
    }
    return menu;
}

void CDialogGridBox::OnPocketMenu(int code) {
    m_OperationCode = code;
    PocketMove move;
    move.code = code;
    move.row = m_TargetRow;
    move.column = m_TargetColumn;
    move.rowPitch = AtoF(m_rowPitch->text().toStdString());
    move.columnPitch = AtoF(m_columnPitch->text().toStdString());
    move.originX = m_OriginX;
    move.originY = m_OriginY;
    StartPocketMove(move);
}

void CDialogGridBox::accept() {
    const int rows = m_rows->value(), columns = m_columns->value();
    double rowPitch = 0, columnPitch = 0;
    if (!ui::TakeNumber(m_rowPitch, rowPitch) || !ui::TakeNumber(m_columnPitch, columnPitch)) return;
    if (rows == 0 || columns == 0 || !TrayGridSizeAccepted(rows, columns)) {
        plat::MessageBoxOk(m_texts.Text("GridBox.c_Message_01"));
        return;
    }
    if (m_targetIcon) Pockets(*m_gridList).SetIcon(m_TargetRow, m_TargetColumn, *m_targetIcon);
    m_targetIcon.reset();
    if (rows != m_shownRows || columns != m_shownColumns) Rebuild(rows, columns);
    const std::string id = m_feedId->text().toStdString();
    FeedGroupTable& table = m_list.Table();
    if (id.empty()) table.StoreNewFeederTray(rows, columns, rowPitch, columnPitch, *m_gridList);
    else table.StoreFeederTray(id, rows, columns, rowPitch, columnPitch, *m_gridList);
    QDialog::accept();
}

} // namespace smt
