#include "feeders/ui/nozzle_list_dialog.h"

#include "base/ui/column_fit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "base/tablefile.h"
#include "feeders/nozzle_operations.h"
#include "feeders/strategy_port.h"
#include "feeders/ui/nozzle_edit_dialog.h"
#include "link/busy.h"
#include "link/commands.h"
#include "link/homing.h"
#include "platform/msgbox.h"
#include "base/ui/field_text.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Image 0: the nozzle sits in its holder; image 1: a head has taken it out.
QIcon HolderIcon(bool inHolder) {
    QPixmap p(20, 20);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(QColor(60, 60, 60), 2));
    g.drawRect(3, 11, 14, 7);
    if (inHolder) {
        g.setBrush(QColor(30, 140, 60));
        g.drawEllipse(6, 3, 8, 12);
    } else {
        g.setBrush(Qt::NoBrush);
        g.setPen(QPen(QColor(200, 60, 40), 2, Qt::DashLine));
        g.drawEllipse(6, 3, 8, 12);
    }
    return QIcon(p);
}

constexpr int kWidths[smt::kNozzleCells] = {60, 80, 80, 100, 100, 100, 110, 60, 100};
constexpr const char* kColumnKeys[smt::kNozzleCells] = {
    "NozzleList.c_NozzleNumber", "NozzleList.c_Nozzle_X",      "NozzleList.c_Nozzle_Y",
    "NozzleList.c_Nozzle_Z",     "NozzleList.c_Nozzle_X_Exit", "NozzleList.c_Nozzle_Y_Exit",
    "NozzleList.c_Nozzle_Z_Exit", "NozzleList.c_VacuumValue",  "NozzleList.c_Note"};

bool Nineteen() { return smt::StrategyPort::Read(smt::TheStrategyPort().m_19NozzleLibrary) != 0; }

} // namespace

CDialogNozzleList::CDialogNozzleList(smt::NozzleLibrary& library, QWidget* parent)
    : QDialog(parent), m_library(library) {
    setObjectName("CDialogNozzleList");
    resize(960, 520);
    m_RunEditor = [](QDialog& d) { return d.exec(); };

    // Rows laid out so every caption gets its full width in each language.
    m_HeadLabel = new QLabel(this);
    m_Head = new QComboBox(this);
    m_Head->setMinimumWidth(60);
    connect(m_Head, &QComboBox::currentIndexChanged, this,
            [this](int i) { m_HeadIndex = smt::NozzleHeadIndex(i); });
    auto* heads = new QHBoxLayout;
    heads->addWidget(m_HeadLabel);
    heads->addWidget(m_Head);
    heads->addSpacing(10);
    for (int h = 0; h < 8; ++h) {
        auto* name = new QLabel(QString("A%1").arg(h + 1), this);
        m_HeadStatic[h] = new QLabel("0", this);
        m_HeadStatic[h]->setObjectName(QString("head%1").arg(h + 1));
        heads->addWidget(name);
        heads->addWidget(m_HeadStatic[h]);
        heads->addSpacing(6);
    }
    heads->addStretch(1);

    m_LibraryCheck = new QCheckBox(this);
    connect(m_LibraryCheck, &QCheckBox::clicked, this, &CDialogNozzleList::OnLibraryCheck);
    m_InAndOutExtern = new QCheckBox(this);
    m_Distance = new QLineEdit(this);
    m_DistanceLabel = new QLabel("mm", this);
    m_DelayLabel = new QLabel(this);
    m_Delay = new QLineEdit(this);
    // The operations read the delay as it is typed.
    connect(m_Delay, &QLineEdit::textEdited, this,
            [this](const QString& t) { m_library.m_Config.m_Delay = smt::AtoI(t.toStdString()); });

    m_Add = new QPushButton(this);
    m_EditButton = new QPushButton(this);
    m_DeleteButton = new QPushButton(this);
    m_Ok = new QPushButton(this);
    m_Cancel = new QPushButton(this);
    auto* settings = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{m_LibraryCheck, m_InAndOutExtern, m_Distance, m_DistanceLabel,
                                                      m_DelayLabel, m_Delay})
        settings->addWidget(w);
    settings->addSpacing(10);
    for (QPushButton* b : {m_Add, m_EditButton, m_DeleteButton, m_Ok, m_Cancel}) settings->addWidget(b);
    settings->addStretch(1);
    connect(m_Add, &QPushButton::clicked, this, &CDialogNozzleList::OnAdd);
    connect(m_EditButton, &QPushButton::clicked, this, &CDialogNozzleList::OnEdit);
    connect(m_DeleteButton, &QPushButton::clicked, this, &CDialogNozzleList::OnDelete);
    connect(m_Ok, &QPushButton::clicked, this, &CDialogNozzleList::accept);
    connect(m_Cancel, &QPushButton::clicked, this, &CDialogNozzleList::reject);

    m_List = new QTableWidget(0, smt::kNozzleCells, this);
    m_List->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_List->setSelectionMode(QAbstractItemView::SingleSelection);
    m_List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_List->verticalHeader()->hide();
    m_List->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_List->setIconSize(QSize(20, 20));
    m_List->setStyleSheet("QTableWidget { background-color: rgb(240, 250, 250); }");
    for (int c = 0; c < smt::kNozzleCells; ++c) m_List->setColumnWidth(c, kWidths[c]);
    smt::FitColumnsToText(*m_List);
    m_List->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_List, &QTableWidget::itemSelectionChanged, this, [this] {
        const auto rows = m_List->selectionModel()->selectedRows();
        m_SelectedRow = rows.isEmpty() ? -1 : rows.first().row();
    });
    connect(m_List, &QTableWidget::cellDoubleClicked, this, [this](int, int) { OnEdit(); });
    connect(m_List, &QTableWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const int row = m_List->rowAt(pos.y());
        if (row >= 0) SelectRow(row);
        if (QMenu* menu = BuildRowMenu(row)) {
            menu->exec(m_List->viewport()->mapToGlobal(pos));
            menu->deleteLater();
        }
    });

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(10, 8, 10, 0);
    page->addLayout(heads);
    page->addLayout(settings);
    page->addWidget(m_List, 1);

    m_Editor = new CDialogNozzleEdit(m_library.m_EditTexts, this);
    m_Editor->m_NumberTaken = [this](int n) { return smt::IsNozzleNumberTaken(ListRows(), n, m_SelectedRow); };
    m_Editor->m_WriteColumn = [this](smt::UniformColumn c, const std::string& text) {
        SetColumnText(static_cast<int>(c), text);
        ListToTable();
    };
    m_Editor->m_HeadIndex = [this] { return m_HeadIndex; };
    m_Editor->m_ZLimitPulses = [this] { return m_ZLimitPulses ? m_ZLimitPulses() : 0; };
    ApplyLanguage();
}

CDialogNozzleList::~CDialogNozzleList() = default;

void CDialogNozzleList::ApplyLanguage() {
    const smt::DialogCaptions& t = m_library.m_ListTexts;
    setWindowTitle(Q(t.Text("NozzleList.c_NozzleList")));
    QStringList headers;
    for (const char* key : kColumnKeys) headers << Q(t.Text(key));
    m_List->setHorizontalHeaderLabels(headers);
    m_HeadLabel->setText(Q(t.Text("NozzleList.c_NozzleSelect")));
    m_LibraryCheck->setText(Q(t.Text("NozzleList.c_NozzleLibrary")));
    m_InAndOutExtern->setText(Q(t.Text("NozzleList.c_InAndOutExtern")));
    m_DelayLabel->setText(Q(t.Text("NozzleList.c_Delay")));
    m_Add->setText(Q(t.Text("NozzleList.c_NozzleAdd")));
    m_EditButton->setText(Q(t.Text("NozzleList.c_NozzleEdit")));
    m_DeleteButton->setText(Q(t.Text("NozzleList.c_NozzleDelete")));
    m_Ok->setText(Q(t.Text("NozzleList.c_IDOK")));
    m_Cancel->setText(Q(t.Text("NozzleList.c_IDCANCEL")));
    m_Editor->ApplyLanguage();
}

void CDialogNozzleList::OnInitDialog() {
    m_SelectedRow = -1;
    {
        const QSignalBlocker block(m_Head);
        m_Head->clear();
        for (const std::string& item : smt::NozzleHeadItems(smt::g_MachineType)) m_Head->addItem(Q(item));
        m_Head->setCurrentIndex(m_Head->count() > 0 ? 0 : -1);
    }
    m_HeadIndex = smt::NozzleHeadIndex(m_Head->currentIndex());
    const bool nineteen = Nineteen();
    if (nineteen) {
        m_Add->setEnabled(true);
        m_DeleteButton->setEnabled(true);
        m_Distance->setEnabled(false);
        m_InAndOutExtern->setEnabled(false);
        m_LibraryCheck->setEnabled(true);
    } else {
        m_LibraryCheck->setEnabled(false);
    }
    smt::ApplyChangeNozzleSelect(smt::StrategyPort::Read(smt::TheStrategyPort().m_ChangeNozzleSelect));
    const auto heads = smt::HeadNozzleTexts();
    for (int h = 1; h <= 8; ++h)
        if (heads[h - 1]) ShowHeadNozzle(h, *heads[h - 1]);
    const smt::NozzleListConfig& c = m_library.m_Config;
    m_InAndOutExtern->setChecked(c.m_InAndOutExtern != 0);
    m_Distance->setText(smt::ui::NumberText(c.m_Distance));
    m_Delay->setText(smt::ui::NumberText(c.m_Delay));
    FillList();
    ApplyLanguage();
}

void CDialogNozzleList::SetRow(int row, const smt::NozzleRow& cells, int image) {
    for (int c = 0; c < smt::kNozzleCells; ++c) {
        auto* item = new QTableWidgetItem(Q(cells[c]));
        if (c == 0) {
            item->setIcon(HolderIcon(image == 0));
            item->setData(Qt::UserRole, image);
        }
        m_List->setItem(row, c, item);
    }
}

void CDialogNozzleList::Stripe() {
    for (int r = 0; r < m_List->rowCount(); ++r)
        for (int c = 0; c < smt::kNozzleCells; ++c)
            if (QTableWidgetItem* item = m_List->item(r, c)) {
                item->setBackground(r % 2 == 0 ? QColor(200, 250, 250) : QColor(240, 250, 250));
                item->setForeground(Qt::black);
            }
}

void CDialogNozzleList::FillList() {
    const auto table = smt::CopyNozzleTable();
    const auto& rows = m_library.Rows();
    m_List->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const bool inHolder = r >= smt::kNozzleRecords || table[r].inHolder != 0;
        SetRow(r, rows[r], inHolder ? 0 : 1);
    }
    Stripe();
}

std::vector<smt::NozzleRow> CDialogNozzleList::ListRows() const {
    std::vector<smt::NozzleRow> rows(m_List->rowCount());
    for (int r = 0; r < m_List->rowCount(); ++r)
        for (int c = 0; c < smt::kNozzleCells; ++c)
            if (QTableWidgetItem* item = m_List->item(r, c)) rows[r][c] = item->text().toStdString();
    return rows;
}

void CDialogNozzleList::ListToTable() { m_library.Rows() = ListRows(); }

void CDialogNozzleList::SetColumnText(int column, const std::string& text) {
    for (int r = 0; r < m_List->rowCount(); ++r)
        if (QTableWidgetItem* item = m_List->item(r, column)) item->setText(Q(text));
}

void CDialogNozzleList::ShowHeadNozzle(int head, const std::string& text) {
    if (head >= 1 && head <= 8) m_HeadStatic[head - 1]->setText(Q(text));
}

void CDialogNozzleList::SelectRow(int row) {
    m_List->selectRow(row);
    m_SelectedRow = row;
}

bool CDialogNozzleList::RunEditorFor(int row) {
    m_Editor->Start(Nineteen());
    (void)row;
    return m_RunEditor(*m_Editor) == QDialog::Accepted;
}

void CDialogNozzleList::OnAdd() {
    m_SelectedRow = -1;
    m_List->clearSelection();
    m_SelectedRow = -1;
    if (!RunEditorFor(-1)) return;
    const int row = m_List->rowCount();
    m_List->insertRow(row);
    SetRow(row, smt::NozzleRowFromEdit(m_Editor->Values()), 0);
    Stripe();
    ListToTable();
}

void CDialogNozzleList::OnEdit() {
    if (m_SelectedRow < 0 || m_SelectedRow >= m_List->rowCount()) {
        plat::MessageBoxOk(m_library.m_ListTexts.Text("NozzleList.c_Message_02"));
        return;
    }
    const int row = m_SelectedRow;
    m_Editor->SetValues(smt::NozzleEditFromRow(ListRows()[row]));
    if (!RunEditorFor(row)) return;
    const smt::NozzleRow cells = smt::NozzleRowFromEdit(m_Editor->Values());
    for (int c = 0; c < smt::kNozzleCells; ++c)
        if (QTableWidgetItem* item = m_List->item(row, c)) item->setText(Q(cells[c]));
    ListToTable();
}

void CDialogNozzleList::OnDelete() {
    if (m_SelectedRow < 0 || m_SelectedRow >= m_List->rowCount()) return;
    m_List->removeRow(m_SelectedRow);
    m_SelectedRow = -1;
    m_List->clearSelection();
    m_SelectedRow = -1;
    Stripe();
    ListToTable();
}

void CDialogNozzleList::OnLibraryCheck(bool checked) {
    smt::BusyClaim claim = smt::ClaimMachineAction(true);
    if (!claim) {
        const QSignalBlocker block(m_LibraryCheck);
        m_LibraryCheck->setChecked(!checked);
        return;
    }
    smt::SetOutput({7, static_cast<std::uint8_t>(checked ? 1 : 0), 5});
}

QMenu* CDialogNozzleList::BuildRowMenu(int row) {
    if (row < 0) {
        plat::MessageBoxOk(m_library.m_ListTexts.Text("NozzleList.c_Message_02"));
        return nullptr;
    }
    const bool nineteen = Nineteen();
    if (row > 5 && !nineteen) return nullptr;
    const smt::DialogCaptions& t = m_library.m_ListTexts;
    auto* menu = new QMenu(this);
    menu->setObjectName("NozzleRowMenu");
    const std::pair<int, const char*> items[] = {
        {smt::nozzle_cmd::CameraToHolder, "NozzleList.c_CameraToNozzleCoordinate"},
        {smt::nozzle_cmd::HeadToHolder, "NozzleList.c_ToNozzleCoordinate"},
        {smt::nozzle_cmd::HeadToEntry, "NozzleList.c_ToNozzleCoordinateExit"},
        {smt::nozzle_cmd::DescendToEntry, "NozzleList.c_DownToNozzleCoordinate"},
        {smt::nozzle_cmd::ZHoming, "NozzleList.c_UpToNozzleCoordinate"},
        {smt::nozzle_cmd::TakeOut, "NozzleList.c_PickNozzle"},
        {smt::nozzle_cmd::PutBack, "NozzleList.c_PutNozzle"},
        {smt::nozzle_cmd::FullHoming, "NozzleList.c_Reset"}};
    for (const auto& [id, key] : items) {
        QAction* a = menu->addAction(Q(t.Text(key)));
        a->setData(id);
        if (id == smt::nozzle_cmd::HeadToEntry && nineteen) a->setEnabled(false);
        connect(a, &QAction::triggered, this, [this, id = id] { OnMenuCommand(id); });
    }
    return menu;
}

void CDialogNozzleList::OnMenuCommand(int id) {
    using smt::NozzleOperation;
    NozzleOperation op;
    switch (id) {
    case smt::nozzle_cmd::ZHoming: smt::MachineReset(3, true); return;
    case smt::nozzle_cmd::FullHoming: smt::MachineReset(0, true); return;
    case smt::nozzle_cmd::CameraToHolder: op = NozzleOperation::CameraToHolder; break;
    case smt::nozzle_cmd::HeadToHolder: op = NozzleOperation::HeadToHolder; break;
    case smt::nozzle_cmd::HeadToEntry: op = NozzleOperation::HeadToEntry; break;
    case smt::nozzle_cmd::DescendToEntry: op = NozzleOperation::DescendToEntry; break;
    case smt::nozzle_cmd::TakeOut: op = NozzleOperation::TakeOut; break;
    case smt::nozzle_cmd::PutBack: op = NozzleOperation::PutBack; break;
    default: return;
    }
    const int row = m_SelectedRow;
    if (row < 0 || row >= m_List->rowCount()) return;
    const std::int32_t zLimit = m_ZLimitPulses ? m_ZLimitPulses() : 0;
    const auto request = smt::MakeNozzleRequest(op, row, ListRows()[row], m_HeadIndex, zLimit);
    QPointer<CDialogNozzleList> self(this);
    smt::NozzleOperationView view;
    view.enableDialog = [self](bool on) {
        if (self) self->setEnabled(on);
    };
    view.setListRow = [self](int r, int image, const std::string& text) {
        if (!self || r >= self->m_List->rowCount()) return;
        if (QTableWidgetItem* item = self->m_List->item(r, 0)) {
            item->setText(Q(text));
            item->setIcon(HolderIcon(image == 0));
            item->setData(Qt::UserRole, image);
        }
    };
    view.showHeadNozzle = [self](int head, const std::string& text) {
        if (self) self->ShowHeadNozzle(head, text);
    };
    smt::StartNozzleOperation(request, std::move(view));
}

void CDialogNozzleList::accept() {
    smt::NozzleListConfig c = m_library.m_Config;
    int extern_ = m_InAndOutExtern->isChecked() ? 1 : 0;
    if (!smt::ui::TakeNumber(m_Distance, c.m_Distance, std::pair{1.0, 100.0})) return;
    if (!smt::ui::TakeNumber(m_Delay, c.m_Delay)) return;
    if (c.m_Delay < 0 || c.m_Delay > 10000) {
        plat::MessageBoxOk(smt::InputIntegerBetweenText(0, 10000));  // in the operator's language
        return;
    }
    c.m_InAndOutExtern = extern_;
    ListToTable();
    m_library.BuildLines(smt::g_FigLists.nozzle);
    m_library.BuildNozzleTable();
    const std::string folder = m_StartFolder ? m_StartFolder() : std::string(".");
    smt::TableFileError error;
    if (!smt::SaveTableFile(folder, smt::TableFile::Nozzle, smt::g_FigLists, error)) {
        plat::MessageBoxOk(smt::TableFileSaveErrorText(error));
        return;
    }
    m_library.m_Config = c;
    smt::SaveNozzleListConfig(c, smt::ConfigFilePath(folder));
    QDialog::accept();
}
