#include "joblist/ui/dialog_pcb_edit.h"

#include <algorithm>

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/pcb_editor.h"
#include "joblist/ui/dialog_cad_import.h"
#include "link/jog.h"
#include "link/position_counters.h"
#include "platform/msgbox.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "vision/camera_panel_port.h"

namespace smt {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

// Image 0: the row label; image 1: a board of the panel in use.
QIcon GridImage(int index) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (index == 0) {
        p.setBrush(QColor(0xC8, 0xC8, 0xC8));
        p.setPen(QColor(0x60, 0x60, 0x60));
        p.drawRect(4, 4, 24, 24);
    } else {
        p.setBrush(QColor(0x1E, 0x8C, 0x3C));
        p.setPen(QColor(0x0A, 0x46, 0x1E));
        p.drawRoundedRect(2, 6, 28, 20, 3, 3);
        p.setBrush(QColor(0xE6, 0xC8, 0x50));
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 3; ++i) p.drawRect(7 + i * 7, 12, 4, 8);
    }
    return QIcon(pm);
}

std::string Num(double v) { return FormatC("%.15g", v); }

// Caption suffix -> control (0 = window caption, -1 = grid column 0 header).
struct CaptionPlace {
    const char* suffix;
    int control;
};
constexpr CaptionPlace kPlaces[] = {
    {"c_PcbEdit", 0},          {"c_PCB_Name", 1365},        {"c_Add", 1091},
    {"c_Delete", 1089},        {"c_Paste", 1016},           {"c_Edit", 1090},
    {"c_PCBContent", 1366},    {"c_ProducePcbPlate", 1367}, {"c_RowColNo", -1},
    {"c_Row", 1368},           {"c_Col", 1369},             {"c_RowSpace", 1370},
    {"c_ColSpace", 1371},      {"c_AllPCBArray", 1100},     {"c_ImportFile", 1084},
    {"c_PcbCount", 1377},      {"c_IDOK", 1},               {"c_PcbProper", 1372},
    {"c_Thickness", 1375},     {"c_OriginX", 1373},         {"c_OriginY", 1374},
    {"c_Mark", 1105},          {"c_MarkManual", 1111},      {"c_Mark1_X_Offset", 1447},
    {"c_Mark1_Y_Offset", 1448}, {"c_Mark2_X_Offset", 1449}, {"c_Mark2_Y_Offset", 1450},
    {"c_MarkParameter", 1376}, {"c_VisualZoom", 1280},      {"c_DetectPrecision", 1381},
    {"c_ImageColorReversal", 1253}, {"c_VisualBox", 1282},  {"c_MarkDiameter", 1380},
    {"c_LightContrast", 1254}, {"c_LightBrightness", 1255}, {"c_VisualTimes", 1283},
    {"c_MarkCollectTime", 1281}, {"c_SpecialMark2", 1252},  {"c_Mark2LightContrast", 1384},
    {"c_Mark2LightBrightness", 1385}, {"c_EachMark", 1256},
};

} // namespace

QLineEdit* CDialogPCBEdit::AddEdit(int id) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString("edit%1").arg(id));
    m_edits[id] = e;
    return e;
}

QPushButton* CDialogPCBEdit::AddButton(int id, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString("button%1").arg(id));
    b->setAutoDefault(false);
    m_buttons[id] = b;
    return b;
}

QCheckBox* CDialogPCBEdit::AddCheck(int id) {
    auto* c = new QCheckBox(this);
    c->setObjectName(QString("check%1").arg(id));
    m_checks[id] = c;
    return c;
}

QLabel* CDialogPCBEdit::AddStatic(int id) {
    auto* l = new QLabel(this);
    l->setObjectName(QString("static%1").arg(id));
    m_statics[id] = l;
    return l;
}

QLineEdit* CDialogPCBEdit::Edit(int id) const { auto it = m_edits.find(id); return it == m_edits.end() ? nullptr : it->second; }
QCheckBox* CDialogPCBEdit::Check(int id) const { auto it = m_checks.find(id); return it == m_checks.end() ? nullptr : it->second; }
QPushButton* CDialogPCBEdit::Button(int id) const { auto it = m_buttons.find(id); return it == m_buttons.end() ? nullptr : it->second; }
QLabel* CDialogPCBEdit::Static(int id) const { auto it = m_statics.find(id); return it == m_statics.end() ? nullptr : it->second; }
QSpinBox* CDialogPCBEdit::Spin(int id) const { auto it = m_spins.find(id); return it == m_spins.end() ? nullptr : it->second; }

CDialogPCBEdit::CDialogPCBEdit(PcbEditor& model, QWidget* parent) : QDialog(parent), m_model(model) {
    setObjectName("CDialogPCBEdit");
    setModal(true);
    auto* top = new QHBoxLayout(this);

    // ---- left: the PCB list and the panel grid ----
    auto* left = new QVBoxLayout;
    top->addLayout(left, 3);
    auto* nameRow = new QGridLayout;
    left->addLayout(nameRow);
    nameRow->addWidget(AddStatic(1365), 0, 0);
    nameRow->addWidget(AddEdit(1092), 0, 1);
    nameRow->addWidget(AddStatic(1366), 1, 0);
    nameRow->addWidget(AddEdit(1093), 1, 1);
    auto* listButtons = new QHBoxLayout;
    for (int id : {1091, 1089, 1016, 1090}) listButtons->addWidget(AddButton(id, {}));
    left->addLayout(listButtons);
    m_pcbList = new QListWidget(this);
    m_pcbList->setObjectName("pcbList");
    left->addWidget(m_pcbList, 1);

    auto* plate = new QGroupBox(this);
    plate->setObjectName("group1367");
    left->addWidget(plate, 2);
    auto* pl = new QGridLayout(plate);
    auto addSpin = [&](int edit, int spin) {
        auto* s = new QSpinBox(this);
        s->setObjectName(QString("edit%1").arg(edit));
        s->setRange(0, kMaxPanelSide);
        m_spins[edit] = s;
        (void)spin;
        return s;
    };
    pl->addWidget(AddStatic(1368), 0, 0);
    pl->addWidget(addSpin(1217, 1539), 0, 1);
    pl->addWidget(AddStatic(1369), 0, 2);
    pl->addWidget(addSpin(1212, 1540), 0, 3);
    pl->addWidget(AddStatic(1370), 1, 0);
    pl->addWidget(AddEdit(1101), 1, 1);
    pl->addWidget(AddButton(1003, "Y"), 1, 2);
    pl->addWidget(AddButton(1361, "CY"), 1, 3);
    pl->addWidget(AddStatic(1371), 2, 0);
    pl->addWidget(AddEdit(1102), 2, 1);
    pl->addWidget(AddButton(1001, "X"), 2, 2);
    pl->addWidget(AddButton(1362, "CX"), 2, 3);
    pl->addWidget(AddCheck(1100), 3, 0, 1, 2);
    pl->addWidget(AddStatic(1099), 3, 2, 1, 2);
    m_grid = new QTableWidget(this);
    m_grid->setObjectName("panelGrid");
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setSectionsClickable(false);
    m_grid->horizontalHeader()->setSectionsMovable(true);
    m_grid->horizontalHeader()->setEnabled(false);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);
    m_grid->setIconSize({32, 32});
    pl->addWidget(m_grid, 4, 0, 1, 4);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(AddButton(1084, {}));
    bottom->addWidget(AddButton(1095, "DMT"));
    bottom->addWidget(AddStatic(1377));
    bottom->addWidget(AddEdit(1116));
    left->addLayout(bottom);

    // ---- right: board properties, marks, camera settings ----
    // They scroll where the screen is too low for them; elsewhere the dialog grows
    // to show them whole.
    auto* rightColumn = new QVBoxLayout;
    top->addLayout(rightColumn, 2);
    m_rightScroll = new QScrollArea(this);
    m_rightScroll->setObjectName("propertiesScroll");
    m_rightScroll->setWidgetResizable(true);
    m_rightScroll->setFrameShape(QFrame::NoFrame);
    m_rightScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* rightPage = new QWidget(m_rightScroll);
    auto* right = new QVBoxLayout(rightPage);
    right->setContentsMargins(0, 0, 0, 0);
    m_rightScroll->setWidget(rightPage);
    rightColumn->addWidget(m_rightScroll, 1);
    auto* prop = new QGroupBox(this);
    prop->setObjectName("group1372");
    right->addWidget(prop);
    auto* gp = new QGridLayout(prop);
    int r = 0;
    gp->addWidget(AddStatic(1375), r, 0);
    gp->addWidget(AddEdit(1110), r++, 1);
    gp->addWidget(AddStatic(1373), r, 0);
    gp->addWidget(AddEdit(1103), r, 1);
    gp->addWidget(AddButton(1233, "X"), r, 2);
    gp->addWidget(AddButton(1011, "CX"), r++, 3);
    gp->addWidget(AddStatic(1374), r, 0);
    gp->addWidget(AddEdit(1104), r, 1);
    gp->addWidget(AddButton(1234, "Y"), r, 2);
    gp->addWidget(AddButton(1012, "CY"), r++, 3);
    gp->addWidget(AddCheck(1105), r++, 0, 1, 4);
    const struct { const char* caption; int edit, fixed, capture; } marks[] = {
        {"MARK1 X", 1106, 1013, 1019}, {"MARK1 Y", 1107, 1015, 1020},
        {"MARK2 X", 1108, 1021, 1025}, {"MARK2 Y", 1109, 1023, 1026}};
    for (const auto& m : marks) {
        gp->addWidget(new QLabel(m.caption, this), r, 0);
        gp->addWidget(AddEdit(m.edit), r, 1);
        gp->addWidget(AddButton(m.fixed, m.caption[6] == 'X' ? "X" : "Y"), r, 2);
        gp->addWidget(AddButton(m.capture, m.caption[6] == 'X' ? "CX" : "CY"), r++, 3);
    }
    gp->addWidget(AddCheck(1111), r++, 0, 1, 4);
    const struct { int caption, edit, capture; const char* text; } offsets[] = {
        {1447, 1112, 1022, "CX"}, {1448, 1113, 1024, "CY"}, {1449, 1114, 1027, "CX"}, {1450, 1115, 1028, "CY"}};
    for (const auto& o : offsets) {
        gp->addWidget(AddStatic(o.caption), r, 0);
        gp->addWidget(AddEdit(o.edit), r, 1);
        gp->addWidget(AddButton(o.capture, o.text), r++, 3);
    }
    auto* vision = new QGroupBox(this);
    vision->setObjectName("group1376");
    right->addWidget(vision);
    auto* gv = new QGridLayout(vision);
    const struct { int caption, edit; } visionEdits[] = {
        {1280, 1119}, {1381, 1121}, {1282, 1051}, {1380, 1120}, {1254, 1248}, {1255, 1053},
        {1283, 1054}, {1281, 1045}, {1384, 1125}, {1385, 1129}};
    r = 0;
    for (const auto& v : visionEdits) {
        gv->addWidget(AddStatic(v.caption), r, 0);
        gv->addWidget(AddEdit(v.edit), r, 1);
        if (v.edit == 1053) gv->addWidget(AddButton(1096, "Get"), r, 2);
        if (v.edit == 1129) gv->addWidget(AddButton(1097, "Get"), r, 2);
        ++r;
    }
    gv->addWidget(AddCheck(1253), r++, 0, 1, 3);
    gv->addWidget(AddCheck(1252), r++, 0, 1, 3);
    gv->addWidget(AddCheck(1256), r++, 0, 1, 3);
    rightColumn->addWidget(AddButton(1, {}));
    Button(1)->setDefault(true);

    // The fixed X/Y buttons beside the pitches and marks do nothing.
    for (int id : {1001, 1003, 1013, 1015, 1021, 1023}) Button(id)->setEnabled(false);
    Button(1095)->hide();
    Edit(1119)->setEnabled(false);
    Edit(1121)->setEnabled(false);
    Static(1280)->installEventFilter(this);
    m_rightScroll->widget()->installEventFilter(this);
    Static(1381)->installEventFilter(this);

    connect(Button(1), &QPushButton::clicked, this, [this] { OnOK(); });
    connect(Button(1091), &QPushButton::clicked, this, [this] { OnBnClickedAdd(); });
    connect(Button(1089), &QPushButton::clicked, this, [this] { OnBnClickedDelete(); });
    connect(Button(1016), &QPushButton::clicked, this, [this] { OnBnClickedPaste(); });
    connect(Button(1090), &QPushButton::clicked, this, [this] { OnBnClickedEdit(); });
    connect(Button(1084), &QPushButton::clicked, this, [this] { OnBnClickedImportFile(); });
    connect(Button(1095), &QPushButton::clicked, this, [this] { OpenDoubleMarkTest(this); });
    connect(m_pcbList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_showing) OnLbnSelchangePcbList(row);
    });
    for (int id : {1217, 1212})
        connect(Spin(id), &QSpinBox::valueChanged, this, [this] {
            if (!m_showing) OnEnChangeRowsCols();
        });
    connect(Check(1100), &QCheckBox::clicked, this, [this] { OnBnClickedSelectAllCells(); });
    connect(m_grid, &QTableWidget::cellClicked, this, [this](int row, int col) { OnNMClickPanelGrid(row, col); });
    for (const CaptureButton& c : kCaptureButtons)
        connect(Button(c.button), &QPushButton::clicked, this, [this, id = c.button] { OnCapture(id); });
    for (int id : {1119, 1051})
        connect(Edit(id), &QLineEdit::textEdited, this, [this, id] { OnVisionEdit(id); });
    for (int id : {1248, 1053})
        connect(Edit(id), &QLineEdit::textEdited, this, [this, id] { OnLightEdit(id); });
    for (int id : {1096, 1097}) connect(Button(id), &QPushButton::clicked, this, [this, id] { OnGet(id); });
    for (int id : {1105, 1111, 1256}) connect(Check(id), &QCheckBox::clicked, this, [this, id] { OnCheckRule(id); });
    ApplyLanguage();
}

void CDialogPCBEdit::ApplyLanguage() {
    const PcbEditTexts& t = m_model.m_Texts;
    for (const CaptionPlace& p : kPlaces) {
        const QString text = Q(t.Get(p.suffix));
        if (p.control == 0) setWindowTitle(text);
        else if (auto* b = Button(p.control)) b->setText(text);
        else if (auto* c = Check(p.control)) c->setText(text);
        else if (auto* l = Static(p.control)) l->setText(text);
        else if (auto* g = findChild<QGroupBox*>(QString("group%1").arg(p.control))) g->setTitle(text);
    }
    if (g_MachineType.load() == 9) Static(1375)->setText(Q(kDrillHeightCaption));
    ShowGrid();
    ShowCellCount();
}

bool CDialogPCBEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_rightScroll->widget() && event->type() == QEvent::LayoutRequest) FitPropertiesWidth();
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == Static(1280)) OnCaptionDoubleClick(1280);
        if (watched == Static(1381)) OnCaptionDoubleClick(1381);
    }
    return QDialog::eventFilter(watched, event);
}

void CDialogPCBEdit::OnCaptionDoubleClick(int control) {
    if (control == 1280) Edit(1119)->setEnabled(true);
    if (control == 1381) Edit(1121)->setEnabled(true);
}

bool CDialogPCBEdit::UpdateData(bool fromControls) {
    PcbEditFields& f = m_model.m_Fields;
    const struct { int id; double PcbEditFields::*member; } doubles[] = {
        {1101, &PcbEditFields::m_RowPitch},   {1102, &PcbEditFields::m_ColPitch},  {1110, &PcbEditFields::m_Thickness},
        {1103, &PcbEditFields::m_OriginX},    {1104, &PcbEditFields::m_OriginY},   {1106, &PcbEditFields::m_Mark1X},
        {1107, &PcbEditFields::m_Mark1Y},     {1108, &PcbEditFields::m_Mark2X},    {1109, &PcbEditFields::m_Mark2Y},
        {1112, &PcbEditFields::m_Mark1OffsetX}, {1113, &PcbEditFields::m_Mark1OffsetY},
        {1114, &PcbEditFields::m_Mark2OffsetX}, {1115, &PcbEditFields::m_Mark2OffsetY},
        {1119, &PcbEditFields::m_VisualZoom}, {1051, &PcbEditFields::m_VisualBox}, {1120, &PcbEditFields::m_MarkDiameter}};
    const struct { int id; std::int32_t PcbEditFields::*member; } ints[] = {
        {1121, &PcbEditFields::m_DetectPrecision},   {1248, &PcbEditFields::m_LightContrast},
        {1053, &PcbEditFields::m_LightBrightness},   {1054, &PcbEditFields::m_VisualTimes},
        {1045, &PcbEditFields::m_MarkCollectTime},   {1125, &PcbEditFields::m_Mark2LightContrast},
        {1129, &PcbEditFields::m_Mark2LightBrightness}, {1116, &PcbEditFields::m_PcbBoardCount}};
    const struct { int id; std::int32_t PcbEditFields::*member; } checks[] = {
        {1105, &PcbEditFields::m_MarkEnable},   {1111, &PcbEditFields::m_ManualMarkOffset},
        {1253, &PcbEditFields::m_ImageColorReversal}, {1252, &PcbEditFields::m_SpecialMark2},
        {1256, &PcbEditFields::m_SubBoardMark}};
    if (fromControls) {
        // Into a copy first: a refused field changes nothing.
        PcbEditFields n = f;
        n.m_PcbName = S(Edit(1092)->text());
        n.m_PcbDescription = S(Edit(1093)->text());
        n.m_PanelRows = Spin(1217)->value();
        n.m_PanelCols = Spin(1212)->value();
        for (const auto& d : doubles) n.*d.member = AtoF(S(Edit(d.id)->text()));
        for (const auto& i : ints) n.*i.member = AtoI(S(Edit(i.id)->text()));
        for (const auto& c : checks) n.*c.member = Check(c.id)->isChecked() ? 1 : 0;
        int control = 0;
        const std::string refusal = CheckPcbEditRanges(n, &control);
        if (!refusal.empty()) {
            plat::MessageBoxOk(refusal);
            if (auto* e = Edit(control)) {
                e->setFocus();
                e->selectAll();
            }
            return false;
        }
        f = n;
        return true;
    }
    m_showing = true;
    Edit(1092)->setText(Q(f.m_PcbName));
    Edit(1093)->setText(Q(f.m_PcbDescription));
    Spin(1217)->setValue(f.m_PanelRows);
    Spin(1212)->setValue(f.m_PanelCols);
    for (const auto& d : doubles) Edit(d.id)->setText(Q(Num(f.*d.member)));
    for (const auto& i : ints) Edit(i.id)->setText(Q(FormatInt(f.*i.member)));
    for (const auto& c : checks) Check(c.id)->setChecked(f.*c.member != 0);
    m_showing = false;
    return true;
}

void CDialogPCBEdit::ShowList() {
    m_showing = true;
    m_pcbList->clear();
    int current = -1;
    for (std::size_t i = 0; i < m_model.m_PcbList.size(); ++i) {
        const PcbListEntry& e = m_model.m_PcbList[i];
        auto* item = new QListWidgetItem(Q(e.text), m_pcbList);
        // The check mark follows the current PCB only; the operator selects, never ticks.
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setCheckState(e.checked ? Qt::Checked : Qt::Unchecked);
        if (e.checked) current = static_cast<int>(i);
    }
    m_pcbList->setCurrentRow(current);
    m_showing = false;
}

void CDialogPCBEdit::ShowGrid() {
    if (!m_grid) return;
    const auto& g = m_model.m_Grid;
    const int cols = g.empty() ? 0 : static_cast<int>(g[0].size());
    m_grid->clear();
    m_grid->setRowCount(static_cast<int>(g.size()));
    m_grid->setColumnCount(cols);
    QStringList headers;
    for (int c = 0; c < cols; ++c) headers << (c == 0 ? Q(m_model.m_Texts.Get("c_RowColNo")) : QString::number(c));
    m_grid->setHorizontalHeaderLabels(headers);
    static const QIcon images[2] = {GridImage(0), GridImage(1)};
    for (int r = 0; r < static_cast<int>(g.size()); ++r)
        for (int c = 0; c < cols && c < static_cast<int>(g[r].size()); ++c) {
            auto* item = new QTableWidgetItem(Q(g[r][c].text));
            item->setTextAlignment(Qt::AlignCenter);
            if (g[r][c].image == 0 || g[r][c].image == 1) item->setIcon(images[g[r][c].image]);
            m_grid->setItem(r, c, item);
        }
    // The first column's caption ("Zeile/Spalte") is read whole.
    const int first = cols > 0 ? std::max(60, m_grid->horizontalHeader()->sectionSizeHint(0)) : 60;
    for (int c = 0; c < cols; ++c) m_grid->setColumnWidth(c, c == 0 ? first : 33 + 32);
}

void CDialogPCBEdit::ShowCellCount() {
    if (auto* l = Static(1099)) l->setText(Q(m_model.CellCountText()));
}

void CDialogPCBEdit::FocusRequested() {
    if (auto* e = Edit(m_model.m_FocusControl)) {
        e->setFocus();
        e->selectAll();
    }
}

void CDialogPCBEdit::OnInitDialog(const std::string& startFolder, const std::string& language) {
    m_model.m_Texts.Load(startFolder, language);
    ApplyLanguage();
    Edit(1119)->setEnabled(false);
    Edit(1121)->setEnabled(false);
    m_model.Open();
    ShowList();
    ShowGrid();
    UpdateData(false);
    ShowCellCount();
    const int type = g_MachineType.load();
    for (int id : {1022, 1024, 1027, 1028}) Button(id)->setEnabled(CaptureButtonEnabled(id, type));
    m_rightScroll->widget()->adjustSize();
    FitPropertiesWidth();
}

// The properties never scroll sideways: their column is as wide as they are. Also
// after the page's fields widen once the dialog is up (the window fitting makes
// room for whole numbers after the first show).
void CDialogPCBEdit::FitPropertiesWidth() {
    m_rightScroll->setMinimumWidth(m_rightScroll->widget()->minimumSizeHint().width() +
                                   m_rightScroll->verticalScrollBar()->sizeHint().width());
}

void CDialogPCBEdit::OnOK() {
    if (!UpdateData(true)) return;
    const bool close = m_model.Ok();
    ShowList();
    FocusRequested();
    if (close) accept();
}

void CDialogPCBEdit::OnBnClickedAdd() {
    if (!UpdateData(true)) return;
    m_model.Add();
    ShowList();
    ShowGrid();
    UpdateData(false);
    ShowCellCount();
    FocusRequested();
}

void CDialogPCBEdit::OnBnClickedDelete() {
    m_model.Delete();
    ShowList();
    ShowGrid();
    UpdateData(false);
    ShowCellCount();
}

void CDialogPCBEdit::OnBnClickedPaste() {
    m_model.Paste();
    ShowList();
}

void CDialogPCBEdit::OnBnClickedEdit() {
    m_model.Rename(S(Edit(1092)->text()), S(Edit(1093)->text()));
    ShowList();
    FocusRequested();
}

void CDialogPCBEdit::OnLbnSelchangePcbList(int row) {
    if (row < 0) return;
    m_model.Select(row);
    ShowList();
    ShowGrid();
    UpdateData(false);
    ShowCellCount();
}

void CDialogPCBEdit::OnEnChangeRowsCols() {
    m_model.m_Fields.m_PanelRows = Spin(1217)->value();
    m_model.m_Fields.m_PanelCols = Spin(1212)->value();
    m_model.RowsColsChanged();
    ShowGrid();
    ShowCellCount();
}

void CDialogPCBEdit::OnBnClickedSelectAllCells() {
    m_model.SelectAllCells(Check(1100)->isChecked());
    ShowGrid();
    ShowCellCount();
}

void CDialogPCBEdit::OnNMClickPanelGrid(int row, int col) {
    if (col < 1) return;
    m_model.ToggleCell(row, col);
    ShowGrid();
    ShowCellCount();
}

void CDialogPCBEdit::OnBnClickedImportFile() {
    if (m_model.CurrentPcbName().empty()) {
        plat::MessageBoxOk(m_model.m_Texts.Get("c_Message_01"));
        return;
    }
    OpenCadImport(m_model, this);
}

void CDialogPCBEdit::OnCapture(int button) {
    if (!CaptureButtonEnabled(button, g_MachineType.load())) return;
    CaptureInputs in;
    in.x = g_PulseX.load();
    in.y = g_PulseY.load();
    in.x2 = g_PulseX2.load();
    in.y2 = g_PulseY2.load();
    in.ppmX = ThePulseFactors().m_X_Pulse;
    in.ppmY = ThePulseFactors().m_Y_Pulse;
    in.camX = TheBasicSettings().m_X_CameraToNozzle1;
    in.camY = TheBasicSettings().m_Y_CameraToNozzle1;
    in.zeroX = m_model.m_ZeroPosX;
    in.zeroY = m_model.m_ZeroPosY;
    in.zeroX2 = m_model.m_ZeroPosX2;
    in.zeroY2 = m_model.m_ZeroPosY2;
    in.machineType = g_MachineType.load();
    in.workTable = TheManualJog().HeadGroup();
    in.originX = S(Edit(1103)->text());
    in.originY = S(Edit(1104)->text());
    in.mark1X = S(Edit(1106)->text());
    in.mark1Y = S(Edit(1107)->text());
    in.mark2X = S(Edit(1108)->text());
    in.mark2Y = S(Edit(1109)->text());
    for (const CaptureButton& c : kCaptureButtons)
        if (c.button == button) Edit(c.edit)->setText(Q(CaptureText(button, in)));
}

void CDialogPCBEdit::OnVisionEdit(int control) {
    const double scale = AtoF(S(Edit(1119)->text()));
    const double frame = AtoF(S(Edit(1051)->text()));
    if (!PcbEditor::FrameFits(scale, frame)) {
        plat::MessageBoxOk(kParameterTooBigText);
        Edit(control)->setFocus();
        Edit(control)->selectAll();
        return;
    }
    const CameraPanelPort& cam = TheCameraPanelPort();
    if (control == 1119 && cam.setVisionScale) cam.setVisionScale(scale);
    if (control == 1051) {
        if (cam.setFrameSize) cam.setFrameSize(frame);
        if (cam.showFrameSizeText) cam.showFrameSizeText(FormatC("%0.2f", frame));
    }
}

void CDialogPCBEdit::OnLightEdit(int control) {
    const int v = AtoI(S(Edit(control)->text()));
    if (v < 0 || v > 255) {
        Edit(control)->setFocus();
        Edit(control)->selectAll();
        return;
    }
    const CameraPanelPort& cam = TheCameraPanelPort();
    if (control == 1248 && cam.setContrast) cam.setContrast(v);
    if (control == 1053 && cam.setBrightness) cam.setBrightness(v);
}

void CDialogPCBEdit::OnGet(int button) {
    const CameraPanelPort& cam = TheCameraPanelPort();
    const int contrast = cam.contrast ? cam.contrast() : 0;
    const int brightness = cam.brightness ? cam.brightness() : 0;
    Edit(button == 1096 ? 1248 : 1125)->setText(QString::number(contrast));
    Edit(button == 1096 ? 1053 : 1129)->setText(QString::number(brightness));
}

void CDialogPCBEdit::OnCheckRule(int control) {
    if (control == 1105 && !Check(1105)->isChecked()) {
        Check(1111)->setChecked(false);
        Check(1256)->setChecked(false);
    }
    if ((control == 1111 || control == 1256) && !Check(1105)->isChecked()) Check(control)->setChecked(false);
}

void CDialogPCBEdit::closeEvent(QCloseEvent* event) {
    // reject() holds the close rule and hides the dialog when it may close.
    event->ignore();
    reject();
}

void CDialogPCBEdit::reject() {
    // There is no Cancel button: Esc is the window close.
    if (!m_model.Close()) {
        ShowList();
        return;
    }
    UpdateData(false);
    QDialog::reject();
}

} // namespace smt
