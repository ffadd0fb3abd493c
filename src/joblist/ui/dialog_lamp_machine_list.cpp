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

#include "app/ui/mainframe.h"
#include "app/ui/smtview.h"
#include "base/command_ids.h"
#include "base/globals.h"
#include "base/numtext.h"
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

const char* const kHeaders[35] = {
    "点号", "平台号", "启用检查", "Mark点X", "Y", "偏移量X", "Y", "坐标点X", "Y", "坐标偏移X", "Y", "Z",
    "点胶启动速度", "点胶运行速度", "红胶偏移X", "Y", "点胶高度", "阀门打开", "底部延时", "阀门关闭", "关闭延时",
    "1点银偏移X", "Y", "点胶高度", "阀门打开", "底部延时", "阀门关闭", "关闭延时",
    "2点银偏移X", "Y", "点胶高度", "阀门打开", "底部延时", "阀门关闭", "关闭延时"};

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
    setWindowTitle(QStringLiteral("点灯机参数修改"));
    auto field = [this](int id) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("c%1").arg(id));
        e->setMinimumWidth(70);
        m_fields[id] = e;
        return e;
    };
    auto label = [this](const char* text) { return new QLabel(QString::fromUtf8(text), this); };

    // Mark and point.
    auto* mark = new QGroupBox(QStringLiteral("Mark"), this);
    auto* mg = new QGridLayout(mark);
    m_pointNo = new QLabel(QStringLiteral("点号"), mark);
    m_pointNo->setObjectName("c1527");
    m_platform = new QLabel(QStringLiteral("平台"), mark);
    m_platform->setObjectName("c1526");
    m_markCheck = new QCheckBox(QStringLiteral("启用检测"), mark);
    m_markCheck->setObjectName("c1528");
    mg->addWidget(m_pointNo, 0, 0);
    mg->addWidget(m_platform, 0, 1);
    mg->addWidget(m_markCheck, 0, 2, 1, 2);
    mg->addWidget(label("Mark点坐标X"), 1, 0);
    mg->addWidget(field(lf::MarkX), 1, 1);
    mg->addWidget(label("Y"), 1, 2);
    mg->addWidget(field(lf::MarkY), 1, 3);
    mg->addWidget(AddButton(1003, QStringLiteral("提取")), 1, 4);
    mg->addWidget(AddButton(1004, QStringLiteral("相机到达")), 1, 5);
    mg->addWidget(label("记录Mark偏移X"), 2, 0);
    mg->addWidget(field(lf::MarkOffsetX), 2, 1);
    mg->addWidget(label("Y"), 2, 2);
    mg->addWidget(field(lf::MarkOffsetY), 2, 3);
    mg->addWidget(AddButton(1051, QStringLiteral("松压料测试")), 2, 4, 1, 2);
    m_fields[lf::MarkOffsetX]->setEnabled(false);
    m_fields[lf::MarkOffsetY]->setEnabled(false);
    mg->addWidget(label("LED基于MK坐标X"), 3, 0);
    mg->addWidget(field(lf::PointX), 3, 1);
    mg->addWidget(label("Y"), 3, 2);
    mg->addWidget(field(lf::PointY), 3, 3);
    mg->addWidget(AddButton(1002, QStringLiteral("提取")), 3, 4);
    mg->addWidget(AddButton(1040, QStringLiteral("相机到达")), 3, 5);
    mg->addWidget(label("偏移量X"), 4, 0);
    mg->addWidget(field(lf::OffsetX), 4, 1);
    mg->addWidget(label("Y"), 4, 2);
    mg->addWidget(field(lf::OffsetY), 4, 3);
    mg->addWidget(label("Z"), 4, 4);
    mg->addWidget(field(lf::Z), 4, 5);
    mg->addWidget(label("点胶启动速度"), 5, 0);
    mg->addWidget(field(lf::StartSpeed), 5, 1);
    mg->addWidget(label("点胶运行速度"), 5, 2);
    mg->addWidget(field(lf::RunSpeed), 5, 3);
    mg->addWidget(AddButton(1531, QStringLiteral("开启Mark检查点红银胶测试")), 5, 4, 1, 2);

    // Jogs of the carriage and the tables.
    auto* jogs = new QGroupBox(QStringLiteral("X2 / Y1 / Y2"), this);
    auto* jg = new QGridLayout(jogs);
    jg->addWidget(AddButton(1027, QStringLiteral("Y1+")), 0, 1);
    jg->addWidget(AddButton(1138, QStringLiteral("X-")), 1, 0);
    jg->addWidget(AddButton(1255, QStringLiteral("快速")), 1, 1);
    jg->addWidget(AddButton(1139, QStringLiteral("X+")), 1, 2);
    jg->addWidget(AddButton(1029, QStringLiteral("Y1 -")), 2, 1);
    jg->addWidget(AddButton(1028, QStringLiteral("Y2+")), 0, 3);
    jg->addWidget(AddButton(1030, QStringLiteral("Y2 -")), 2, 3);

    auto* top = new QHBoxLayout;
    top->addWidget(mark, 3);
    top->addWidget(jogs, 1);

    // The three strokes.
    const char* titles[3] = {"红胶", "1点银胶", "2点银胶"};
    const char* offsetX[3] = {"红胶偏移量X", "1点银胶偏移量X", "2点银胶偏移量X"};
    const int zPlus[3] = {1160, 1035, 1038}, zMinus[3] = {1161, 1036, 1039};
    const char* zPlusText[3] = {"Z5 +", "Z6 +", "Z6 +"}, *zMinusText[3] = {"Z5 -", "Z6 -", "Z6 -"};
    const int take[3] = {1031, 1034, 1037}, reset[3] = {1045, 1046, 1047};
    const int reach[3] = {1259, 1260, 1261}, test[3] = {1256, 1257, 1258};
    const char* rows[5] = {"点胶高度", "阀门打开", "底部延时", "阀门关闭", "关阀延时"};
    auto* strokes = new QHBoxLayout;
    for (int s = 0; s < 3; ++s) {
        auto* box = new QGroupBox(QString::fromUtf8(titles[s]), this);
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
        QPushButton* t = AddButton(take[s], QStringLiteral("提取"));
        t->setEnabled(false);
        g->addWidget(t, 1, 2, 1, 2);
        g->addWidget(AddButton(zPlus[s], QString::fromUtf8(zPlusText[s])), 2, 2);
        g->addWidget(AddButton(zMinus[s], QString::fromUtf8(zMinusText[s])), 2, 3);
        g->addWidget(AddButton(reset[s], QStringLiteral("Z复位")), 3, 2, 1, 2);
        g->addWidget(AddButton(reach[s], QStringLiteral("胶头到达")), 4, 2, 1, 2);
        g->addWidget(AddButton(test[s], QStringLiteral("点胶测试")), 5, 2, 1, 2);
        strokes->addWidget(box);
    }

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole)->setObjectName("IDOK");
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole)->setObjectName("IDCANCEL");
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(strokes);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnOK(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QPushButton* CDialogLampMachineEdit::AddButton(int id, const QString& text) {
    auto* b = new QPushButton(text, this);
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
    m_pointNo->setText(v.m_PointNo.empty() ? QStringLiteral("点号") : Q(v.m_PointNo));
    m_platform->setText(v.m_Platform.empty() ? QStringLiteral("平台") : Q(v.m_Platform));
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
    m_buttons[1255]->setText(Q(LampPointEditor::SpeedCaption(TheManualJog().Config().m_SpeedGears)));
}

bool CDialogLampMachineEdit::Take(LampPointValues& v) {
    LampPointValues t = m_Values;
    auto bad = [this](int id, const char* text) {
        plat::MessageBoxOk(text, false, plat::MsgIcon::Warning);
        m_fields[id]->setFocus();
        m_fields[id]->selectAll();
        return false;
    };
    t.m_MarkCheck = m_markCheck->isChecked() ? 1 : 0;
    for (const DoubleBinding& b : kDoubles)
        if (!ParseDouble(m_fields[b.id]->text(), t.*b.member)) return bad(b.id, "Please enter a number.");
    for (const IntBinding& b : kInts)
        if (!ParseInt(m_fields[b.id]->text(), t.*b.member)) return bad(b.id, "Please enter an integer.");
    for (int s = 0; s < 3; ++s) {
        const auto& id = lf::kStroke[s];
        LampStrokeValues& st = t.m_Strokes[s];
        for (int i = 0; i < 4; ++i)
            if (!ParseDouble(m_fields[id[i]]->text(), st.*kStrokeDoubles[i])) return bad(id[i], "Please enter a number.");
        if (!ParseInt(m_fields[id[4]]->text(), st.bottomDelay)) return bad(id[4], "Please enter an integer.");
        if (!ParseDouble(m_fields[id[5]]->text(), st.valveClose)) return bad(id[5], "Please enter a number.");
        if (!ParseInt(m_fields[id[6]]->text(), st.closeDelay)) return bad(id[6], "Please enter an integer.");
    }
    v = t;
    return true;
}

void CDialogLampMachineEdit::OnOK() {
    LampPointValues v;
    if (!Take(v)) return;
    if (const int field = CheckLampEditorOk(v)) {
        plat::MessageBoxOk("Please enter a value in range.", false, plat::MsgIcon::Warning);
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
    setWindowTitle(QStringLiteral("点灯机参数表"));
    m_RunModal = [](QDialog& d) { return d.exec(); };
    m_list = new QTableWidget(kLampRows, kLampCells, this);
    m_list->setObjectName("c1525");
    QStringList headers;
    for (int c = 0; c < kLampCells; ++c) headers << (c < 35 ? QString::fromUtf8(kHeaders[c]) : QStringLiteral("---"));
    m_list->setHorizontalHeaderLabels(headers);
    for (int c = 0; c < kLampCells; ++c) m_list->setColumnWidth(c, ColumnWidth(c));
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
        {1005, "设定数量"}, {1006, "完成数量"}, {1007, "未完数量"}, {1008, "增减数量"}};
    for (int i = 0; i < 4; ++i) {
        counts->addWidget(new QLabel(QString::fromUtf8(countFields[i].second), this), 0, 2 * i);
        auto* e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("c%1").arg(countFields[i].first));
        m_counts[countFields[i].first] = e;
        counts->addWidget(e, 0, 2 * i + 1);
    }
    auto button = [this](int id, const char* text, auto fn) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QStringLiteral("c%1").arg(id));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, fn);
        return b;
    };
    counts->addWidget(button(1530, "确定修改", [this] { OnConfirmCounts(); }), 0, 8);

    auto* row = new QHBoxLayout;
    row->addWidget(button(1522, "添加", [this] { OnAddLampPoint(); }));
    row->addWidget(button(1523, "修改", [this] { OnEditLampPoint(); }));
    row->addWidget(button(1524, "删除", [this] { OnDeleteLampPoint(); }));
    row->addStretch();
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole)->setObjectName("IDOK");
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole)->setObjectName("IDCANCEL");
    row->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnOK(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(counts);
    layout->addLayout(row);
    resize(1200, 560);

    m_DialogLampMachineEdit = new CDialogLampMachineEdit(this);
}

QLineEdit* CDialogLampMachineList::CountField(int id) const {
    const auto it = m_counts.find(id);
    return it == m_counts.end() ? nullptr : it->second;
}

void CDialogLampMachineList::OnInitDialog(const std::string& startFolder) {
    m_startFolder = startFolder;
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
            plat::MessageBoxOk("Please enter an integer.", false, plat::MsgIcon::Warning);
            m_counts[id]->setFocus();
            return;
        }
    }
    if (c.m_CountSet < 1 || c.m_CountSet > 1000000) {
        plat::MessageBoxOk("Please enter an integer between 1 and 1000000.", false, plat::MsgIcon::Warning);
        m_counts[1005]->setFocus();
        return;
    }
    WriteLampTableLines();
    l.m_Counters = c;
    l.m_CountChange = change;
    SaveLampCounters(m_startFolder);
    accept();
}

// ---- wiring --------------------------------------------------------------------------

namespace {
QPointer<CDialogLampMachineList> g_lampList;
} // namespace

void WireLampMachineList(CSMTView& view) {
    CSMTView* v = &view;
    view.FirstUpdateSteps().Set("LampMachineList.LoadLampCounters",
                                [](const StepContext& c) { LoadLampCounters(c.startFolder); });
    view.FirstUpdateSteps().Set("LampTable.WriteLines", [](const StepContext&) { WriteLampTableLines2(); });
    view.m_DialogOpeners[cmd::LampMachineSet] = [v](int) {
        if (!g_lampList) g_lampList = new CDialogLampMachineList(v);
        g_lampList->m_RunModal = [v](QDialog& d) { return v->m_RunModal(d); };
        g_lampList->OnInitDialog(v->Frame()->m_StartDirectory);
        v->m_RunModal(*g_lampList);
    };
}

} // namespace smt
