#include "joblist/ui/dialog_lamp_machine_list.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cstdlib>
#include <cstring>

#include "base/command_ids.h"
#include "base/globals.h"
#include "base/captions.h"
#include "base/numtext.h"
#include "base/ui/column_fit.h"
#include "joblist/lamp_texts.h"
#include "link/jog.h"
#include "platform/msgbox.h"
#include "settings/pulse_settings.h"

namespace smt {

namespace {

namespace lf = lampfield;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The field checks of a numeric edit: the whole text a number.
bool ParseDouble(const QString& text, double& value) {
    const std::string s = text.trimmed().toStdString();
    if (s.empty()) return false;
    char* end = nullptr;
    value = std::strtod(s.c_str(), &end);
    return end && *end == '\0';
}
bool ParseInt(const QString& text, std::int32_t& value) {
    const std::string s = text.trimmed().toStdString();
    if (s.empty()) return false;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (!end || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<std::int32_t>(v);
    return true;
}

int ColumnWidth(int c) {
    switch (c) {
    case 0: return 40;
    case 9: case 14: case 15: return 70;
    case 12: case 13: return 80;
    case 21: case 22: case 28: case 29: return 75;
    default: return 60;
    }
}

// Double fields by cell order, with their integer companions.
struct DoubleBinding {
    int id;
    double LampPointValues::*member;
};
constexpr DoubleBinding kDoubles[] = {
    {lf::MarkX, &LampPointValues::m_MarkX},           {lf::MarkY, &LampPointValues::m_MarkY},
    {lf::PointX, &LampPointValues::m_PointX},         {lf::PointY, &LampPointValues::m_PointY},
    {lf::OffsetX, &LampPointValues::m_PointOffsetX},  {lf::OffsetY, &LampPointValues::m_PointOffsetY},
    {lf::Z, &LampPointValues::m_Z},
};
struct IntBinding {
    int id;
    std::int32_t LampPointValues::*member;
};
constexpr IntBinding kInts[] = {
    {lf::MarkOffsetX, &LampPointValues::m_MarkOffsetX}, {lf::MarkOffsetY, &LampPointValues::m_MarkOffsetY},
    {lf::StartSpeed, &LampPointValues::m_StartSpeed},   {lf::RunSpeed, &LampPointValues::m_RunSpeed},
};
constexpr double LampStrokeValues::*kStrokeDoubles[] = {&LampStrokeValues::offsetX, &LampStrokeValues::offsetY,
                                                        &LampStrokeValues::height, &LampStrokeValues::valveOpen};
// Stroke field index 4 and 6 are the delays, 5 the valve-close height.

bool IsJogButton(int id) { return LampJogForButton(id).has_value(); }

} // namespace

// ---- the point editor ------------------------------------------------------------

CDialogLampMachineEdit::CDialogLampMachineEdit(QWidget* parent) : QDialog(parent) {
    setObjectName("CDialogLampMachineEdit");
    auto field = [this](int id) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("c%1").arg(id));
        e->setMinimumWidth(70);
        m_fields[id] = e;
        return e;
    };
    // A label by its caption key; "Y" and "Z" are the same in every language.
    auto label = [this](const char* key) {
        auto* l = new QLabel(this);
        if (std::strlen(key) == 1) l->setText(QString::fromUtf8(key));
        else Captioned(l, key);
        return l;
    };

    // Mark and point.
    auto* mark = new QGroupBox(QStringLiteral("Mark"), this);
    auto* mg = new QGridLayout(mark);
    m_pointNo = new QLabel(mark);
    m_pointNo->setObjectName("c1527");
    m_platform = new QLabel(mark);
    m_platform->setObjectName("c1526");
    m_markCheck = new QCheckBox(mark);
    m_markCheck->setObjectName("c1528");
    Captioned(m_markCheck, "MarkCheck");
    mg->addWidget(m_pointNo, 0, 0);
    mg->addWidget(m_platform, 0, 1);
    mg->addWidget(m_markCheck, 0, 2, 1, 2);
    mg->addWidget(label("MarkX"), 1, 0);
    mg->addWidget(field(lf::MarkX), 1, 1);
    mg->addWidget(label("Y"), 1, 2);
    mg->addWidget(field(lf::MarkY), 1, 3);
    mg->addWidget(AddButton(1003, "Take"), 1, 4);
    mg->addWidget(AddButton(1004, "CameraReach"), 1, 5);
    mg->addWidget(label("MarkOffsetX"), 2, 0);
    mg->addWidget(field(lf::MarkOffsetX), 2, 1);
    mg->addWidget(label("Y"), 2, 2);
    mg->addWidget(field(lf::MarkOffsetY), 2, 3);
    mg->addWidget(AddButton(1051, "PressTest"), 2, 4, 1, 2);
    m_fields[lf::MarkOffsetX]->setEnabled(false);
    m_fields[lf::MarkOffsetY]->setEnabled(false);
    mg->addWidget(label("PointX"), 3, 0);
    mg->addWidget(field(lf::PointX), 3, 1);
    mg->addWidget(label("Y"), 3, 2);
    mg->addWidget(field(lf::PointY), 3, 3);
    mg->addWidget(AddButton(1002, "Take"), 3, 4);
    mg->addWidget(AddButton(1040, "CameraReach"), 3, 5);
    mg->addWidget(label("OffsetX"), 4, 0);
    mg->addWidget(field(lf::OffsetX), 4, 1);
    mg->addWidget(label("Y"), 4, 2);
    mg->addWidget(field(lf::OffsetY), 4, 3);
    mg->addWidget(label("Z"), 4, 4);
    mg->addWidget(field(lf::Z), 4, 5);
    mg->addWidget(label("StartSpeed"), 5, 0);
    mg->addWidget(field(lf::StartSpeed), 5, 1);
    mg->addWidget(label("RunSpeed"), 5, 2);
    mg->addWidget(field(lf::RunSpeed), 5, 3);
    mg->addWidget(AddButton(1531, "DispenseTest"), 5, 4, 1, 2);

    // Jogs of the carriage and the tables.
    auto* jogs = new QGroupBox(QStringLiteral("X2 / Y1 / Y2"), this);
    auto* jg = new QGridLayout(jogs);
    jg->addWidget(AddButton(1027, {}, QStringLiteral("Y1+")), 0, 1);
    jg->addWidget(AddButton(1138, {}, QStringLiteral("X-")), 1, 0);
    jg->addWidget(AddButton(1255, {}), 1, 1);  // the speed gear, shown with the captions
    jg->addWidget(AddButton(1139, {}, QStringLiteral("X+")), 1, 2);
    jg->addWidget(AddButton(1029, {}, QStringLiteral("Y1 -")), 2, 1);
    jg->addWidget(AddButton(1028, {}, QStringLiteral("Y2+")), 0, 3);
    jg->addWidget(AddButton(1030, {}, QStringLiteral("Y2 -")), 2, 3);

    auto* top = new QHBoxLayout;
    top->addWidget(mark, 3);
    top->addWidget(jogs, 1);

    // The three strokes.
    const char* titles[3] = {"RedGlue", "Silver1", "Silver2"};
    const char* offsetX[3] = {"RedGlueOffsetX", "Silver1OffsetX", "Silver2OffsetX"};
    const int zPlus[3] = {1160, 1035, 1038}, zMinus[3] = {1161, 1036, 1039};
    const char* zPlusText[3] = {"Z5 +", "Z6 +", "Z6 +"}, *zMinusText[3] = {"Z5 -", "Z6 -", "Z6 -"};
    const int take[3] = {1031, 1034, 1037}, reset[3] = {1045, 1046, 1047};
    const int reach[3] = {1259, 1260, 1261}, test[3] = {1256, 1257, 1258};
    const char* rows[5] = {"GlueHeight", "ValveOpen", "BottomDelay", "ValveClose", "CloseDelay"};
    auto* strokes = new QHBoxLayout;
    for (int s = 0; s < 3; ++s) {
        auto* box = new QGroupBox(this);
        Captioned(box, titles[s]);
        auto* g = new QGridLayout(box);
        const auto& id = lf::kStroke[s];
        g->addWidget(label(offsetX[s]), 0, 0);
        g->addWidget(field(id[0]), 0, 1);
        g->addWidget(label("Y"), 0, 2);
        g->addWidget(field(id[1]), 0, 3);
        for (int r = 0; r < 5; ++r) {
            g->addWidget(label(rows[r]), 1 + r, 0);
            g->addWidget(field(id[2 + r]), 1 + r, 1);
        }
        // The height take buttons stay disabled: nothing in the editor enables them.
        QPushButton* t = AddButton(take[s], "Take");
        t->setEnabled(false);
        g->addWidget(t, 1, 2, 1, 2);
        g->addWidget(AddButton(zPlus[s], {}, QString::fromUtf8(zPlusText[s])), 2, 2);
        g->addWidget(AddButton(zMinus[s], {}, QString::fromUtf8(zMinusText[s])), 2, 3);
        g->addWidget(AddButton(reset[s], "ResetZ"), 3, 2, 1, 2);
        g->addWidget(AddButton(reach[s], "GlueReach"), 4, 2, 1, 2);
        g->addWidget(AddButton(test[s], "StrokeTest"), 5, 2, 1, 2);
        strokes->addWidget(box);
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
    ok->setObjectName("IDOK");
    Captioned(ok, "IDOK");
    QPushButton* cancel = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    cancel->setObjectName("IDCANCEL");
    Captioned(cancel, "IDCANCEL");
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(strokes);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnOK(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ApplyLanguage();
}

void CDialogLampMachineEdit::Captioned(QWidget* w, const char* key) { m_captioned.emplace_back(w, key); }

void CDialogLampMachineEdit::ApplyLanguage() {
    setWindowTitle(Q(LampEditText("LampMachineEdit")));
    for (const auto& [w, key] : m_captioned) {
        const QString text = Q(LampEditText(key));
        if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
        else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(text);
        else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
    }
    ShowPointCaptions();
}

void CDialogLampMachineEdit::ShowPointCaptions() {
    m_pointNo->setText(m_Values.m_PointNo.empty() ? Q(LampEditText("PointNo")) : Q(m_Values.m_PointNo));
    m_platform->setText(m_Values.m_Platform.empty() ? Q(LampEditText("Platform")) : Q(m_Values.m_Platform));
    if (QPushButton* speed = Button(1255))
        speed->setText(Q(LampPointEditor::SpeedCaption(TheManualJog().Config().m_SpeedGears)));
}

QPushButton* CDialogLampMachineEdit::AddButton(int id, const char* key, const QString& text) {
    auto* b = new QPushButton(text, this);
    if (key) Captioned(b, key);
    b->setObjectName(QStringLiteral("c%1").arg(id));
    b->setAutoDefault(false);
    m_buttons[id] = b;
    // The buttons act on the press; a release ends a held jog.
    connect(b, &QPushButton::pressed, this, [this, id] { OnButtonPressed(id); });
    if (IsJogButton(id)) connect(b, &QPushButton::released, this, [id] { TheLampPointEditor().OnJog(id, false); });
    return b;
}

QLineEdit* CDialogLampMachineEdit::Field(int id) const {
    const auto it = m_fields.find(id);
    return it == m_fields.end() ? nullptr : it->second;
}

QPushButton* CDialogLampMachineEdit::Button(int id) const {
    const auto it = m_buttons.find(id);
    return it == m_buttons.end() ? nullptr : it->second;
}

void CDialogLampMachineEdit::Load(const LampPointValues& v) {
    m_Values = v;
    ShowPointCaptions();
    m_markCheck->setChecked(v.m_MarkCheck != 0);
    for (const DoubleBinding& b : kDoubles) m_fields[b.id]->setText(Q(FormatMm(v.*b.member)));
    for (const IntBinding& b : kInts) m_fields[b.id]->setText(Q(FormatInt(v.*b.member)));
    for (int s = 0; s < 3; ++s) {
        const auto& id = lf::kStroke[s];
        const LampStrokeValues& st = v.m_Strokes[s];
        for (int i = 0; i < 4; ++i) m_fields[id[i]]->setText(Q(FormatMm(st.*kStrokeDoubles[i])));
        m_fields[id[4]]->setText(Q(FormatInt(st.bottomDelay)));
        m_fields[id[5]]->setText(Q(FormatMm(st.valveClose)));
        m_fields[id[6]]->setText(Q(FormatInt(st.closeDelay)));
    }
}

bool CDialogLampMachineEdit::Take(LampPointValues& v) {
    LampPointValues t = m_Values;
    // The input messages in the interface language.
    const std::string number = InputNumberText(), integer = InputIntegerText();
    auto bad = [this](int id, const std::string& text) {
        plat::MessageBoxOk(text, false, plat::MsgIcon::Warning);
        m_fields[id]->setFocus();
        m_fields[id]->selectAll();
        return false;
    };
    t.m_MarkCheck = m_markCheck->isChecked() ? 1 : 0;
    for (const DoubleBinding& b : kDoubles)
        if (!ParseDouble(m_fields[b.id]->text(), t.*b.member)) return bad(b.id, number);
    for (const IntBinding& b : kInts)
        if (!ParseInt(m_fields[b.id]->text(), t.*b.member)) return bad(b.id, integer);
    for (int s = 0; s < 3; ++s) {
        const auto& id = lf::kStroke[s];
        LampStrokeValues& st = t.m_Strokes[s];
        for (int i = 0; i < 4; ++i)
            if (!ParseDouble(m_fields[id[i]]->text(), st.*kStrokeDoubles[i])) return bad(id[i], number);
        if (!ParseInt(m_fields[id[4]]->text(), st.bottomDelay)) return bad(id[4], integer);
        if (!ParseDouble(m_fields[id[5]]->text(), st.valveClose)) return bad(id[5], number);
        if (!ParseInt(m_fields[id[6]]->text(), st.closeDelay)) return bad(id[6], integer);
    }
    v = t;
    return true;
}

void CDialogLampMachineEdit::OnOK() {
    LampPointValues v;
    if (!Take(v)) return;
    if (const int field = CheckLampEditorOk(v)) {
        const LampFieldRange range = LampEditorRange(v, field);
        plat::MessageBoxOk(range.integer ? InputIntegerBetweenText(static_cast<long long>(range.low),
                                                                   static_cast<long long>(range.high))
                                         : InputNumberBetweenText(range.low, range.high),
                           false, plat::MsgIcon::Warning);
        m_fields[field]->setFocus();
        m_fields[field]->selectAll();
        return;
    }
    m_Values = v;
    accept();
}

LampEditorUi CDialogLampMachineEdit::Ui() {
    LampEditorUi ui;
    ui.setField = [this](int id, const std::string& text) {
        if (QLineEdit* e = Field(id)) e->setText(Q(text));
    };
    ui.focus = [this](int id) {
        if (QLineEdit* e = Field(id)) {
            e->setFocus();
            e->selectAll();
        }
    };
    ui.showSpeedCaption = [this](const std::string& text) { m_buttons[1255]->setText(Q(text)); };
    return ui;
}

void CDialogLampMachineEdit::OnButtonPressed(int id) {
    LampPointEditor& ed = TheLampPointEditor();
    LampEditorUi ui = Ui();
    if (IsJogButton(id)) return ed.OnJog(id, true);
    switch (id) {
    case 1255: return ed.OnSpeed(ui);
    case 1045: case 1046: case 1047: return ed.OnResetZ();
    case 1031: case 1034: case 1037:
        return ed.OnTakeHeight(id == 1031 ? lf::kStroke[0][2] : id == 1034 ? lf::kStroke[1][2] : lf::kStroke[2][2], ui);
    default: break;
    }
    LampPointValues v;
    if (!Take(v)) return;
    switch (id) {
    case 1051: return ed.OnPressTest(v);
    case 1003: return ed.OnTakeMark(v, ui);
    case 1002: return ed.OnTakePoint(v, ui);
    case 1004: ed.OnCameraMove(v, false); return;
    case 1040: ed.OnCameraMove(v, true); return;
    case 1259: case 1260: case 1261: ed.OnGlueMove(v, id - 1259); return;
    case 1256: case 1257: case 1258: ed.OnStrokeTest(v, id - 1256, ui); return;
    case 1531: ed.OnDispenseTest(v); return;
    default: return;
    }
}

// ---- the list window ---------------------------------------------------------------

CDialogLampMachineList::CDialogLampMachineList(QWidget* parent) : QDialog(parent) {
    setObjectName("CDialogLampMachineList");
    m_RunModal = [](QDialog& d) { return d.exec(); };
    m_list = new QTableWidget(kLampRows, kLampCells, this);
    m_list->setObjectName("c1525");
    for (int c = 0; c < kLampCells; ++c) m_list->setHorizontalHeaderItem(c, new QTableWidgetItem);
    for (int c = 0; c < kLampCells; ++c) m_list->setColumnWidth(c, ColumnWidth(c));
    FitColumnsToText(*m_list);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->setStyleSheet("QTableWidget { background-color: rgb(240, 250, 250); }");
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QTableWidget::itemSelectionChanged, this, [this] { OnItemClicked(); });
    connect(m_list, &QTableWidget::cellClicked, this, [this] { OnItemClicked(); });
    connect(m_list, &QTableWidget::customContextMenuRequested, this, [this] { OnItemClicked(); });
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this] {
        OnItemClicked();
        OnEditLampPoint();
    });

    auto* counts = new QGridLayout;
    const std::pair<int, const char*> countFields[4] = {
        {1005, "CountSet"}, {1006, "CountFinish"}, {1007, "CountUnfinish"}, {1008, "CountChange"}};
    for (int i = 0; i < 4; ++i) {
        auto* l = new QLabel(this);
        m_captioned.emplace_back(l, countFields[i].second);
        counts->addWidget(l, 0, 2 * i);
        auto* e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("c%1").arg(countFields[i].first));
        m_counts[countFields[i].first] = e;
        counts->addWidget(e, 0, 2 * i + 1);
    }
    auto button = [this](int id, const char* key, auto fn) {
        auto* b = new QPushButton(this);
        m_captioned.emplace_back(b, key);
        b->setObjectName(QStringLiteral("c%1").arg(id));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, fn);
        return b;
    };
    counts->addWidget(button(1530, "ConfirmCount", [this] { OnConfirmCounts(); }), 0, 8);

    auto* row = new QHBoxLayout;
    row->addWidget(button(1522, "Add", [this] { OnAddLampPoint(); }));
    row->addWidget(button(1523, "Edit", [this] { OnEditLampPoint(); }));
    row->addWidget(button(1524, "Delete", [this] { OnDeleteLampPoint(); }));
    row->addStretch();
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
    ok->setObjectName("IDOK");
    m_captioned.emplace_back(ok, "IDOK");
    QPushButton* cancel = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    cancel->setObjectName("IDCANCEL");
    m_captioned.emplace_back(cancel, "IDCANCEL");
    row->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnOK(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(counts);
    layout->addLayout(row);
    resize(1200, 560);

    m_DialogLampMachineEdit = new CDialogLampMachineEdit(this);
    ApplyLanguage();
}

void CDialogLampMachineList::ApplyLanguage() {
    setWindowTitle(Q(LampListText("LampMachineList")));
    for (int c = 0; c < kLampCells; ++c) m_list->horizontalHeaderItem(c)->setText(Q(LampHeaderText(c)));
    for (const auto& [w, key] : m_captioned)
        if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(Q(LampListText(key)));
        else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(Q(LampListText(key)));
    m_DialogLampMachineEdit->ApplyLanguage();
}

QLineEdit* CDialogLampMachineList::CountField(int id) const {
    const auto it = m_counts.find(id);
    return it == m_counts.end() ? nullptr : it->second;
}

void CDialogLampMachineList::OnInitDialog(const std::string& startFolder, const std::string& language) {
    m_startFolder = startFolder;
    // The language cannot change while the window is up: its captions load as it opens.
    if (!language.empty()) {
        LoadLampLanguage(startFolder, language);
        ApplyLanguage();
    }
    TheLampMachineList().InitRows();
    ShowRows();
    ShowCounters();
}

void CDialogLampMachineList::ShowRows() {
    const auto& rows = TheLampMachineList().Rows();
    for (int r = 0; r < kLampRows && r < static_cast<int>(rows.size()); ++r)
        for (int c = 0; c < kLampCells; ++c) {
            auto* item = m_list->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                m_list->setItem(r, c, item);
            }
            item->setText(Q(rows[r][c]));
        }
}

void CDialogLampMachineList::ShowCounters() {
    const LampMachineList& l = TheLampMachineList();
    m_counts[1005]->setText(Q(FormatInt(l.m_Counters.m_CountSet)));
    m_counts[1006]->setText(Q(FormatInt(l.m_Counters.m_CountFinish)));
    m_counts[1007]->setText(Q(FormatInt(l.m_Counters.m_CountUnfinish)));
    m_counts[1008]->setText(Q(FormatInt(l.m_CountChange)));
}

void CDialogLampMachineList::OnItemClicked() {
    const auto selected = m_list->selectionModel()->selectedRows();
    TheLampMachineList().m_LampItem = selected.isEmpty() ? -1 : selected.first().row();
}

void CDialogLampMachineList::OnAddLampPoint() {
    LampMachineList& l = TheLampMachineList();
    if (l.m_PointCount.load() >= kLampPoints) return;
    CDialogLampMachineEdit& ed = *m_DialogLampMachineEdit;
    ed.Load(ed.m_Values);
    if (m_RunModal(ed) != QDialog::Accepted) return;
    l.AddPoint(ed.m_Values);
    ShowRows();
}

void CDialogLampMachineList::OnEditLampPoint() {
    LampMachineList& l = TheLampMachineList();
    const auto values = l.ItemValues();
    if (!values) return;
    CDialogLampMachineEdit& ed = *m_DialogLampMachineEdit;
    ed.Load(*values);
    if (m_RunModal(ed) != QDialog::Accepted) return;
    l.EditPoint(ed.m_Values);
    ShowRows();
}

void CDialogLampMachineList::OnDeleteLampPoint() {
    if (!TheLampMachineList().DeletePoint()) return;
    ShowRows();
}

void CDialogLampMachineList::OnConfirmCounts() {
    LampMachineList& l = TheLampMachineList();
    std::int32_t newSet = 0, change = 0;
    // Read as the signed integers the fields hold; a text that is none stays refused.
    if (!ParseInt(m_counts[1005]->text(), newSet)) newSet = AtoI(m_counts[1005]->text().toStdString());
    if (!ParseInt(m_counts[1008]->text(), change)) change = AtoI(m_counts[1008]->text().toStdString());
    const std::int32_t oldChange = l.m_CountChange;
    const int refused = l.OnConfirmCounts(newSet, change);
    m_counts[1005]->setText(Q(FormatInt(l.m_Counters.m_CountSet)));
    m_counts[1007]->setText(Q(FormatInt(l.m_Counters.m_CountUnfinish)));
    if (refused == 1008) m_counts[1008]->setText(Q(FormatInt(oldChange)));
    if (refused) m_counts[refused]->setFocus();
}

void CDialogLampMachineList::OnOK() {
    LampMachineList& l = TheLampMachineList();
    LampCounters c = l.m_Counters;
    std::int32_t change = 0;
    const std::pair<int, std::int32_t*> fields[4] = {
        {1005, &c.m_CountSet}, {1006, &c.m_CountFinish}, {1007, &c.m_CountUnfinish}, {1008, &change}};
    for (const auto& [id, into] : fields) {
        if (!ParseInt(m_counts[id]->text(), *into)) {
            plat::MessageBoxOk(InputIntegerText(), false, plat::MsgIcon::Warning);
            m_counts[id]->setFocus();
            return;
        }
    }
    if (c.m_CountSet < 1 || c.m_CountSet > 1000000) {
        plat::MessageBoxOk(InputIntegerBetweenText(1, 1000000), false, plat::MsgIcon::Warning);
        m_counts[1005]->setFocus();
        return;
    }
    WriteLampTableLines();
    l.m_Counters = c;
    l.m_CountChange = change;
    SaveLampCounters(m_startFolder);
    accept();
}

} // namespace smt
