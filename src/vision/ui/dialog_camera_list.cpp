#include "vision/ui/dialog_camera_list.h"

#include "base/ui/column_fit.h"

#include <algorithm>

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "base/tablefile.h"
#include "link/busy.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "platform/msgbox.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/rederive_hooks.h"
#include "base/ui/field_text.h"
#include "vision/camera_panel_port.h"
#include "vision/ui/dialog_camera_edit.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kTrigger[8] = {1011, 1022, 1023, 1029, 1030, 1031, 1032, 1033};
constexpr int kFlyY[8] = {1012, 1013, 1014, 1015, 1018, 1019, 1020, 1021};
constexpr const char* kRunning = "Machine is running !";

int ColumnWidth(int c) {
    if (c == 0) return 90;
    if (c < 3) return 70;
    if (c <= 24) return 60;
    return c == 25 ? 80 : c == 26 ? 70 : 60;
}

void UpdateHeadOffsets() {
    if (const auto& f = smt::TheSettingsRederivations().updateHeadOffsets) f();
}

// Heads whose fly-over fields the unlock enables on a machine type.
int UnlockedHeads(int machineType) {
    switch (machineType) {
    case 2: case 4: return 2;
    case 3: case 6: return 4;
    case 7: return 8;
    default: return 0;
    }
}

} // namespace

CDialogCameraList::CDialogCameraList(smt::CameraList& list, QWidget* parent) : QDialog(parent), m_list(list) {
    setObjectName("CDialogCameraList");
    m_RunEditor = [](QDialog& d) { return d.exec(); };
    auto* top = new QVBoxLayout(this);

    m_List = new QTableWidget(0, smt::kCameraCells, this);
    m_List->setObjectName("1000");
    m_List->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_List->setSelectionMode(QAbstractItemView::SingleSelection);
    m_List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_List->verticalHeader()->hide();
    m_List->setStyleSheet("QTableWidget { background-color: rgb(240, 250, 250); }");
    for (int c = 0; c < smt::kCameraCells; ++c) m_List->setColumnWidth(c, ColumnWidth(c));
    smt::FitColumnsToText(*m_List);
    m_List->setMinimumHeight(110);
    m_List->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_List, &QTableWidget::itemSelectionChanged, this, [this] {
        const auto rows = m_List->selectionModel()->selectedRows();
        if (!rows.isEmpty()) m_SelectedRow = rows.first().row();
    });
    connect(m_List, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        m_SelectedRow = row;
        OnBnClickedEditCamera();
    });
    connect(m_List, &QTableWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (QMenu* menu = OnListRClick(m_List->rowAt(pos.y()))) {
            menu->exec(m_List->viewport()->mapToGlobal(pos));
            menu->deleteLater();
        }
    });
    top->addWidget(m_List, 1);

    auto* rowButtons = new QHBoxLayout;
    for (int id : {1111, 1112, 1113}) rowButtons->addWidget(AddButton(id, this));
    rowButtons->addStretch();
    rowButtons->addWidget(AddCheck(1038, this));
    rowButtons->addWidget(AddEdit(1009, this));
    rowButtons->addWidget(new QLabel("ms", this));
    top->addLayout(rowButtons);

    auto* middle = new QHBoxLayout;
    auto group = [this](int id) {
        auto* g = new QGroupBox(this);
        g->setObjectName(QString::number(id));
        m_groups[id] = g;
        return g;
    };
    QGroupBox* correct = group(1487);
    auto* cg = new QGridLayout(correct);
    const std::pair<const char*, int> axes[] = {{"X", 1006}, {"Y", 1007}, {"A", 1008}};
    for (int i = 0; i < 3; ++i) {
        cg->addWidget(new QLabel(axes[i].first, correct), i, 0);
        cg->addWidget(AddEdit(axes[i].second, correct), i, 1);
        cg->addWidget(new QLabel(i < 2 ? "mm" : "°", correct), i, 2);
    }
    middle->addWidget(correct);
    QGroupBox* base = group(1489);
    auto* bg = new QGridLayout(base);
    bg->addWidget(new QLabel("D", base), 0, 0);
    bg->addWidget(AddEdit(1027, base), 0, 1);
    bg->addWidget(new QLabel("mm", base), 0, 2);
    const std::pair<const char*, std::pair<int, int>> takes[] = {{"CX", {1558, 1557}}, {"CY", {1559, 1034}},
                                                                 {"Z", {1560, 1035}}};
    int r = 1;
    for (const auto& [text, ids] : takes) {
        QPushButton* b = AddButton(ids.first, base);
        b->setText(text);
        bg->addWidget(b, r, 0);
        bg->addWidget(AddEdit(ids.second, base), r, 1);
        bg->addWidget(new QLabel("mm", base), r, 2);
        ++r;
    }
    connect(m_buttons[1558], &QPushButton::clicked, this, &CDialogCameraList::OnBnClickedBaseX);
    connect(m_buttons[1559], &QPushButton::clicked, this, &CDialogCameraList::OnBnClickedBaseY);
    connect(m_buttons[1560], &QPushButton::clicked, this, &CDialogCameraList::OnBnClickedBaseZ);
    middle->addWidget(base);

    QGroupBox* config = group(1488);
    auto* fg = new QGridLayout(config);
    int col = 0;
    for (int id : {1037, 1039, 1040, 1042, 1041}) {
        fg->addWidget(AddCheck(id, config), 0, col++);
        m_checks[id]->setEnabled(false);
    }
    auto* activation = new QLabel(config);
    activation->setObjectName("1517");
    activation->installEventFilter(this);
    m_labels[1517] = activation;
    fg->addWidget(activation, 0, col++);
    fg->addWidget(AddButton(1114, config), 0, col++);
    fg->addWidget(AddButton(1116, config), 0, col++);
    m_buttons[1116]->setEnabled(false);
    auto label = [this, config](int id) {
        auto* l = new QLabel(config);
        l->setObjectName(QString::number(id));
        m_labels[id] = l;
        return l;
    };
    fg->addWidget(label(1484), 1, 0);
    fg->addWidget(AddEdit(1016, config), 1, 1);
    fg->addWidget(label(1485), 1, 2);
    fg->addWidget(AddEdit(1017, config), 1, 3);
    m_edits[1016]->setEnabled(false);
    m_edits[1017]->setEnabled(false);
    fg->addWidget(label(1482), 2, 0, 1, 8);
    fg->addWidget(label(1486), 4, 0, 1, 8);
    for (int h = 0; h < 8; ++h) {
        auto* head = new QWidget(config);
        auto* hl = new QHBoxLayout(head);
        hl->setContentsMargins(0, 0, 0, 0);
        hl->addWidget(new QLabel(QString::number(h + 1), head));
        hl->addWidget(AddEdit(kTrigger[h], head));
        fg->addWidget(head, 3, h);
        auto* fly = new QWidget(config);
        auto* flyl = new QHBoxLayout(fly);
        flyl->setContentsMargins(0, 0, 0, 0);
        flyl->addWidget(new QLabel(QString::number(h + 1), fly));
        flyl->addWidget(AddEdit(kFlyY[h], fly));
        flyl->addWidget(new QLabel("mm", fly));
        fg->addWidget(fly, 5, h);
        m_edits[kTrigger[h]]->setEnabled(false);
        m_edits[kFlyY[h]]->setEnabled(false);
    }
    connect(m_checks[1037], &QCheckBox::clicked, this, &CDialogCameraList::OnBnClickedHighSpeedCamera);
    connect(m_checks[1042], &QCheckBox::clicked, this, &CDialogCameraList::OnBnClickedFlyCamera);
    connect(m_buttons[1114], &QPushButton::clicked, this, &CDialogCameraList::OnBnClickedSettings);
    connect(m_buttons[1116], &QPushButton::clicked, this, &CDialogCameraList::OnBnClickedFlyTest);

    top->addLayout(middle);
    top->addWidget(config);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(AddCheck(1564, this));
    // The recognition deviation stays hidden, as it always was.
    bottom->addWidget(AddCheck(1529, this));
    bottom->addWidget(AddEdit(1010, this));
    m_checks[1529]->hide();
    m_edits[1010]->hide();
    bottom->addStretch();
    bottom->addWidget(AddButton(1, this));
    bottom->addWidget(AddButton(2, this));
    top->addLayout(bottom);
    connect(m_buttons[1111], &QPushButton::clicked, this, &CDialogCameraList::OnBnClickedAddCamera);
    connect(m_buttons[1112], &QPushButton::clicked, this, &CDialogCameraList::OnBnClickedEditCamera);
    connect(m_buttons[1113], &QPushButton::clicked, this, &CDialogCameraList::OnBnClickedDeleteCamera);
    connect(m_buttons[1], &QPushButton::clicked, this, &CDialogCameraList::accept);
    connect(m_buttons[2], &QPushButton::clicked, this, &CDialogCameraList::reject);

    m_Editor = new CDialogCameraEdit(m_list, this);
    m_Editor->m_NameUsed = [this](const std::string& name) {
        const auto rows = ListRows();
        for (int i = 0; i < static_cast<int>(rows.size()); ++i)
            if (i != m_SelectedRow && rows[i][0] == name) return true;
        return false;
    };
    ApplyTexts();
    resize(1000, 620);
}

QLineEdit* CDialogCameraList::AddEdit(int id, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::number(id));
    m_edits[id] = e;
    return e;
}
QCheckBox* CDialogCameraList::AddCheck(int id, QWidget* parent) {
    auto* c = new QCheckBox(parent);
    c->setObjectName(QString::number(id));
    m_checks[id] = c;
    return c;
}
QPushButton* CDialogCameraList::AddButton(int id, QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setObjectName(QString::number(id));
    m_buttons[id] = b;
    return b;
}
QLineEdit* CDialogCameraList::Field(int id) const { return m_edits.count(id) ? m_edits.at(id) : nullptr; }
QCheckBox* CDialogCameraList::Check(int id) const { return m_checks.count(id) ? m_checks.at(id) : nullptr; }
QPushButton* CDialogCameraList::Button(int id) const { return m_buttons.count(id) ? m_buttons.at(id) : nullptr; }

void CDialogCameraList::ApplyTexts() {
    const smt::DialogCaptions& t = m_list.m_ListTexts;
    auto text = [&](const char* name) { return Q(t.Text(std::string("CameraList.") + name)); };
    setWindowTitle(text("c_CameraList"));
    const std::pair<int, const char*> buttons[] = {{1111, "c_CameraAdd"}, {1112, "c_CameraEdit"},
                                                   {1113, "c_CameraDelete"}, {1, "c_IDOK"}, {2, "c_IDCANCEL"},
                                                   {1114, "c_Set"}, {1116, "c_FlyTest"}};
    for (const auto& [id, key] : buttons) m_buttons[id]->setText(text(key));
    const std::pair<int, const char*> checks[] = {
        {1038, "c_ChangeCameraDelay"}, {1037, "c_HighSpeedCamera"}, {1039, "c_MarkCamera"},
        {1040, "c_VisualCamera1"},     {1042, "c_FlyCamera"},       {1041, "c_VisualCamera2"},
        {1564, "c_VisualImageColorReversal"}, {1529, "c_VisualOffset"}};
    for (const auto& [id, key] : checks) m_checks[id]->setText(text(key));
    m_groups[1487]->setTitle(text("c_TongCameraCorrect"));
    m_groups[1489]->setTitle(text("c_BaseSet"));
    m_groups[1488]->setTitle(text("c_CameraConfig"));
    const std::pair<int, const char*> labels[] = {{1517, "c_Activation"}, {1482, "c_TriggerInAdvance"},
                                                  {1486, "c_FlyCorrectY"}, {1484, "c_FlyStartSpeed"},
                                                  {1485, "c_FlyNormalSpeed"}};
    for (const auto& [id, key] : labels) m_labels[id]->setText(text(key));
    QStringList headers;
    for (const char* key : smt::CameraColumnKeys()) headers << Q(t.Text(key));
    m_List->setHorizontalHeaderLabels(headers);
    m_Editor->ApplyTexts();
}

void CDialogCameraList::ShowSettings(const smt::CameraListSettings& s) {
    using smt::ui::NumberText;
    m_checks[1038]->setChecked(s.m_bChangeCameraDelay != 0);
    m_edits[1009]->setText(NumberText(s.m_iChangeCameraDelay));
    m_edits[1006]->setText(NumberText(s.m_Correct_X));
    m_edits[1007]->setText(NumberText(s.m_Correct_Y));
    m_edits[1008]->setText(NumberText(s.m_Correct_A));
    m_edits[1027]->setText(NumberText(s.m_BaseDiameter));
    m_edits[1557]->setText(NumberText(s.m_BaseCoordinates_X));
    m_edits[1034]->setText(NumberText(s.m_BaseCoordinates_Y));
    m_edits[1035]->setText(NumberText(s.m_BaseCoordinates_Z));
    m_checks[1037]->setChecked(s.m_HighSpeedCamera != 0);
    m_checks[1039]->setChecked(s.m_MarkCamera != 0);
    m_checks[1040]->setChecked(s.m_VisualCamera1 != 0);
    m_checks[1042]->setChecked(s.m_FlyCamera != 0);
    m_checks[1041]->setChecked(s.m_VisualCamera2 != 0);
    m_edits[1016]->setText(NumberText(s.m_iFlyStartSpeed));
    m_edits[1017]->setText(NumberText(s.m_iFlyNormalSpeed));
    for (int h = 0; h < 8; ++h) {
        m_edits[kTrigger[h]]->setText(NumberText(s.m_iTriggerPulse[h]));
        m_edits[kFlyY[h]]->setText(NumberText(s.m_dFlyCorrect_Y[h]));
    }
    m_checks[1564]->setChecked(s.m_VisualImageColorReversal != 0);
    m_checks[1529]->setChecked(s.m_bVisualOffset != 0);
    m_edits[1010]->setText(NumberText(s.m_AllowOffset));
}

bool CDialogCameraList::TakeFields(smt::CameraListSettings& s) {
    using smt::ui::TakeNumber;
    auto integer = [](QLineEdit* e, int& v, int low, int high) {
        double d = 0;
        if (!TakeNumber(e, d, std::pair{double(low), double(high)})) return false;
        v = static_cast<int>(d);
        return true;
    };
    if (!integer(m_edits[1009], s.m_iChangeCameraDelay, 0, 10000)) return false;
    if (!TakeNumber(m_edits[1006], s.m_Correct_X) || !TakeNumber(m_edits[1007], s.m_Correct_Y) ||
        !TakeNumber(m_edits[1008], s.m_Correct_A))
        return false;
    if (!TakeNumber(m_edits[1027], s.m_BaseDiameter, std::pair{5.0, 20.0}) ||
        !TakeNumber(m_edits[1557], s.m_BaseCoordinates_X, std::pair{0.0, 3000.0}) ||
        !TakeNumber(m_edits[1034], s.m_BaseCoordinates_Y, std::pair{-3000.0, 0.0}) ||
        !TakeNumber(m_edits[1035], s.m_BaseCoordinates_Z, std::pair{-50.0, 0.0}))
        return false;
    if (!integer(m_edits[1016], s.m_iFlyStartSpeed, 1, 255) || !integer(m_edits[1017], s.m_iFlyNormalSpeed, 1, 255))
        return false;
    for (int h = 0; h < 8; ++h)
        if (!integer(m_edits[kTrigger[h]], s.m_iTriggerPulse[h], 0, 10000) ||
            !TakeNumber(m_edits[kFlyY[h]], s.m_dFlyCorrect_Y[h], std::pair{-1.0, 1.0}))
            return false;
    if (!TakeNumber(m_edits[1010], s.m_AllowOffset, std::pair{-1.0, 1.0})) return false;
    s.m_bChangeCameraDelay = m_checks[1038]->isChecked();
    s.m_HighSpeedCamera = m_checks[1037]->isChecked();
    s.m_MarkCamera = m_checks[1039]->isChecked();
    s.m_VisualCamera1 = m_checks[1040]->isChecked();
    s.m_FlyCamera = m_checks[1042]->isChecked();
    s.m_VisualCamera2 = m_checks[1041]->isChecked();
    s.m_VisualImageColorReversal = m_checks[1564]->isChecked();
    s.m_bVisualOffset = m_checks[1529]->isChecked();
    return true;
}

void CDialogCameraList::OnInitDialog() {
    m_list.KeepCalibration();
    ApplyTexts();
    ShowSettings(m_list.Settings());
    FillList();
}

void CDialogCameraList::SetRow(int row, const smt::CameraCells& cells) {
    for (int c = 0; c < smt::kCameraCells; ++c) {
        auto* item = new QTableWidgetItem(Q(cells[c]));
        item->setTextAlignment(Qt::AlignCenter);
        m_List->setItem(row, c, item);
    }
}

void CDialogCameraList::Stripe() {
    for (int r = 0; r < m_List->rowCount(); ++r)
        for (int c = 0; c < smt::kCameraCells; ++c)
            if (QTableWidgetItem* item = m_List->item(r, c)) {
                item->setBackground(r % 2 == 0 ? QColor(200, 250, 250) : QColor(240, 250, 250));
                item->setForeground(Qt::black);
            }
}

void CDialogCameraList::FillList() {
    const auto rows = m_list.Rows();
    m_List->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) SetRow(r, rows[r]);
    Stripe();
}

void CDialogCameraList::ShowCalibrationResults() {
    // The cells the calibration wrote, in place, so the selection stays.
    const auto rows = m_list.Rows();
    const int n = std::min(m_List->rowCount(), static_cast<int>(rows.size()));
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < smt::kCameraCells; ++c)
            if (QTableWidgetItem* item = m_List->item(r, c)) item->setText(Q(rows[r][c]));
    const smt::CameraListSettings s = m_list.Settings();
    for (int h = 0; h < 8; ++h) m_edits[kTrigger[h]]->setText(smt::ui::NumberText(s.m_iTriggerPulse[h]));
}

std::vector<smt::CameraCells> CDialogCameraList::ListRows() const {
    std::vector<smt::CameraCells> rows(m_List->rowCount());
    for (int r = 0; r < m_List->rowCount(); ++r)
        for (int c = 0; c < smt::kCameraCells; ++c)
            if (QTableWidgetItem* item = m_List->item(r, c)) rows[r][c] = item->text().toStdString();
    return rows;
}

void CDialogCameraList::ReadListIntoTable() { m_list.SetRows(ListRows()); }

void CDialogCameraList::MarkFeedersWithoutCamera(const std::vector<smt::CameraCells>& rows) {
    if (!m_FeederCameras || !m_MarkFeeders) return;
    const auto marked = smt::FeedersWithoutCamera(rows, m_FeederCameras());
    if (!marked.empty()) m_MarkFeeders(marked);
}

void CDialogCameraList::SelectRow(int row) {
    m_List->selectRow(row);
    m_SelectedRow = row;
}

bool CDialogCameraList::RefuseWhileRunning() const {
    if (!smt::g_Running.load()) return false;
    plat::MessageBoxOk(kRunning, true);
    return true;
}

void CDialogCameraList::OnBnClickedAddCamera() {
    // A calibration started from this dialog writes the selected row.
    if (RefuseWhileRunning()) return;
    bool refuse = false;
    const auto rows = ListRows();
    const auto name = smt::NextCameraName(rows, refuse);
    if (refuse) {
        plat::MessageBoxOk(m_list.m_ListTexts.Text("CameraList.c_Message_01"));
        return;
    }
    smt::CameraEditValues v = m_Editor->Values();
    if (name) v.m_CameraName = *name;
    m_Editor->SetValues(v);
    m_SelectedRow = -1;
    m_Editor->OnInitDialog();
    if (m_RunEditor(*m_Editor) != QDialog::Accepted) return;
    const int n = static_cast<int>(rows.size());
    m_List->insertRow(n);
    SetRow(n, smt::CellsFromEditValues(m_Editor->Values()));
    Stripe();
    ReadListIntoTable();
}

void CDialogCameraList::OnBnClickedEditCamera() {
    if (RefuseWhileRunning()) return;
    if (m_SelectedRow < 0 || m_SelectedRow >= m_List->rowCount()) {
        plat::MessageBoxOk(m_list.m_ListTexts.Text("CameraList.c_Message_02"));
        return;
    }
    const int row = m_SelectedRow;
    m_Editor->SetValues(smt::EditValuesFromCells(ListRows()[row]));
    m_Editor->OnInitDialog();
    if (m_RunEditor(*m_Editor) != QDialog::Accepted) return;
    const smt::CameraCells cells = smt::CellsFromEditValues(m_Editor->Values());
    for (int c = 0; c < smt::kCameraCells; ++c)
        if (QTableWidgetItem* item = m_List->item(row, c)) item->setText(Q(cells[c]));
    auto table = m_list.Rows();
    if (row < static_cast<int>(table.size())) {
        table[row] = cells;
        m_list.SetRows(std::move(table));
    }
    const auto& f = smt::ThePulseFactors();
    m_list.RefreshRecordAt(row, cells, f.m_X_Pulse, f.m_Y_Pulse);
}

void CDialogCameraList::OnBnClickedDeleteCamera() {
    if (RefuseWhileRunning()) return;
    if (m_SelectedRow < 0 || m_SelectedRow >= m_List->rowCount()) {
        plat::MessageBoxOk(m_list.m_ListTexts.Text("CameraList.c_Message_03"));
        return;
    }
    m_List->removeRow(m_SelectedRow);
    Stripe();
    ReadListIntoTable();
}

namespace {
QString TakenBase(std::int32_t counter, double offsetMm, double factor) {
    if (factor == 0.0) return Q(smt::TeachValueMm(0.0));
    const std::int64_t pulses = std::int64_t(smt::ToPulses(offsetMm, factor)) + counter;
    return Q(smt::TeachValueMm(pulses / factor));
}
} // namespace

void CDialogCameraList::OnBnClickedBaseX() {
    m_edits[1557]->setText(TakenBase(smt::g_PulseX.load(), smt::TheBasicSettings().m_X_CameraToNozzle1,
                                      smt::ThePulseFactors().m_X_Pulse));
}
void CDialogCameraList::OnBnClickedBaseY() {
    m_edits[1034]->setText(TakenBase(smt::g_PulseY.load(), smt::TheBasicSettings().m_Y_CameraToNozzle1,
                                      smt::ThePulseFactors().m_Y_Pulse));
}
void CDialogCameraList::OnBnClickedBaseZ() {
    m_edits[1035]->setText(TakenBase(smt::g_PulseZ[0].load(), 0.0, smt::ThePulseFactors().m_Z_Pulse));
}

void CDialogCameraList::OnBnClickedHighSpeedCamera() {
    plat::MessageBoxOk("modify the camera,you must restart the software! ", true);
    if (!m_checks[1037]->isChecked()) m_checks[1042]->setChecked(false);
}

void CDialogCameraList::OnBnClickedFlyCamera() {
    if (!m_checks[1037]->isChecked()) m_checks[1042]->setChecked(false);
}

void CDialogCameraList::OnStnDblclkActivation() {
    for (int id : {1037, 1039, 1040, 1042, 1041}) m_checks[id]->setEnabled(true);
    m_edits[1016]->setEnabled(true);
    m_edits[1017]->setEnabled(true);
    const int heads = UnlockedHeads(smt::g_MachineType);
    for (int h = 0; h < heads; ++h) {
        m_edits[kTrigger[h]]->setEnabled(true);
        m_edits[kFlyY[h]]->setEnabled(true);
    }
}

bool CDialogCameraList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_labels[1517] && event->type() == QEvent::MouseButtonDblClick) {
        OnStnDblclkActivation();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CDialogCameraList::OnBnClickedSettings() {
    if (const auto& f = smt::TheCameraPanelPort().showCameraSettings) f();
    reject();
}

QMenu* CDialogCameraList::OnListRClick(int row) {
    if (row < 0 || row >= m_List->rowCount()) {
        plat::MessageBoxOk("Please select row !");
        return nullptr;
    }
    SelectRow(row);
    const smt::DialogCaptions& t = m_list.m_ListTexts;
    using namespace smt::cameramenu;
    const std::pair<int, const char*> items[] = {
        {NozzleToBase, "c_NozzleToBase"}, {CameraToBase, "c_CameraToBase"}, {PickBaseToCamera, "c_PickBaseToCamera"},
        {PlaceBase, "c_PlaceBase"}, {0, nullptr}, {ScaleCorrect, "c_CameraScaleCorrect"},
        {CoordinatesCorrect, "c_CameraCoordinatesCorrect"}, {MarkCameraCorrect, "c_MarkCameraCorrect"},
        {NozzleCoordinatesCorrect, "c_NozzleCoordinatesCorrect"}, {0, nullptr}, {FlyTest, "c_CameraFlyTest"},
        {FlyCorrect, "c_CameraFlyCorrect"}, {0, nullptr}, {Exit, "c_Exit"}};
    auto* menu = new QMenu(this);
    menu->setObjectName("CameraRowMenu");
    for (const auto& [id, key] : items) {
        if (!key) {
            menu->addSeparator();
            continue;
        }
        QAction* a = menu->addAction(Q(t.Text(std::string("CameraList.") + key)));
        a->setData(id);
        connect(a, &QAction::triggered, this, [this, id = id] { OnMenuCommand(id); });
    }
    return menu;
}

void CDialogCameraList::PrepareFlyCamera() {
    const auto& p = smt::TheCameraPanelPort();
    if (p.selectVisionCamera && !(p.currentCamera && p.currentCamera() == 1)) p.selectVisionCamera(1);
    const int brightness = p.brightness ? p.brightness() : 0;
    smt::SelectCamera(2, static_cast<std::uint8_t>(brightness), 2);
    if (!(p.triggerMode && p.triggerMode(1) == 2)) {
        if (p.requestFlyTest) p.requestFlyTest();
        if (p.setTriggerMode) p.setTriggerMode(1, 2);
    }
}

void CDialogCameraList::OnMenuCommand(int command) {
    using namespace smt::cameramenu;
    if (command == Exit) {
        m_list.m_bFlyTestRunning = 0;
        return;
    }
    const int op = smt::CameraOperationOf(command);
    if (op < 0) return;
    smt::CameraListSettings s = m_list.Settings();
    const bool flying = command == FlyTest || command == FlyCorrect;
    if (flying) {
        if (!TakeFields(s)) return;
        m_list.SetSettings(s);
    } else if (command != CoordinatesCorrect && command != MarkCameraCorrect && command != NozzleCoordinatesCorrect) {
        if (TakeFields(s)) m_list.SetSettings(s);
    }
    s = m_list.Settings();
    smt::CameraMenuState state{smt::g_Connected.load(), smt::g_Homed.load(), smt::g_Running.load(), m_SelectedRow,
                               s.m_HighSpeedCamera != 0, s.m_VisualCamera1 != 0, s.m_FlyCamera != 0};
    std::string message;
    switch (smt::CheckCameraMenu(command, state, message)) {
    case smt::CameraMenuVerdict::Refused: plat::MessageBoxOk(message, true); return;
    case smt::CameraMenuVerdict::Nothing: return;
    case smt::CameraMenuVerdict::Go: break;
    }
    // The claim goes to the worker, which releases it on every path; a second
    // command meanwhile finds the machine busy.
    smt::BusyClaim claim = smt::ClaimMachineAction(true);
    if (!claim) return;
    if (flying) UpdateHeadOffsets();
    if (command == FlyCorrect) PrepareFlyCamera();
    // StartCameraOperation: the worker reads the operation, the row and the fields just set.
    m_CameraOperation = op;
    m_list.m_CameraOperation = op;
    m_list.m_SelectedRow = m_SelectedRow;
    if (const auto& start = smt::TheCameraCalibrationPort().startCameraOperation) start(op, std::move(claim));
}

void CDialogCameraList::OnBnClickedFlyTest() {
    if (!m_checks[1037]->isChecked() || !m_checks[1042]->isChecked() || !m_checks[1040]->isChecked()) return;
    std::string message;
    if (!smt::g_Connected.load()) message = "Machine is not connection !";
    else if (!smt::g_Homed.load()) message = "Machine is not reset !";
    else if (smt::g_Running.load()) message = "Machine is runnig !";
    if (!message.empty()) {
        plat::MessageBoxOk(message, true);
        return;
    }
    smt::CameraListSettings s = m_list.Settings();
    if (!TakeFields(s)) return;
    m_list.SetSettings(s);
    smt::BusyClaim claim = smt::ClaimMachineAction(true);
    if (!claim) return;
    UpdateHeadOffsets();
    PrepareFlyCamera();
    if (const auto& start = smt::TheCameraCalibrationPort().startFlyTest) start(std::move(claim));
}

void CDialogCameraList::accept() {
    if (RefuseWhileRunning()) return;
    smt::CameraListSettings s = m_list.Settings();
    if (!TakeFields(s)) return;
    m_list.SetSettings(s);
    ReadListIntoTable();
    m_list.BuildLines(smt::g_FigLists.camera);
    const auto& f = smt::ThePulseFactors();
    const auto rows = ListRows();
    m_list.UpdateActiveCameras(rows, f.m_X_Pulse, f.m_Y_Pulse);
    UpdateHeadOffsets();
    MarkFeedersWithoutCamera(rows);
    const std::string folder = m_StartFolder ? m_StartFolder() : std::string(".");
    smt::TableFileError error;
    if (!smt::SaveTableFile(folder, smt::TableFile::Camera, smt::g_FigLists, error)) {
        // The old file stays whole; nothing is stored in config.ini either.
        plat::MessageBoxOk(smt::TableFileSaveErrorText(error));
        return;
    }
    m_list.SaveConfig(smt::ConfigFilePath(folder));
    m_list.KeepCalibration();
    QDialog::accept();
}

void CDialogCameraList::reject() {
    if (RefuseWhileRunning()) return;
    // The scale, the camera positions and the fly triggers measured meanwhile are
    // kept only by OK; the run's fly geometry follows the triggers put back.
    if (m_list.HasCalibrationResults()) {
        m_list.TakeBackCalibration();
        UpdateHeadOffsets();
    }
    QDialog::reject();
}
