#include "joblist/ui/dialog_part_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/part_list.h"
#include "link/jog.h"
#include "link/position_counters.h"
#include "platform/msgbox.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"

namespace smt {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }
QString Num(double v) { return Q(FormatC("%0.4f", v)); }
QString Int(int v) { return Q(FormatC("%d", v)); }

constexpr int kButtonX = 1238, kButtonY = 1239, kButtonCX = 1240, kButtonCY = 1241, kButtonZ = 1242;
constexpr int kJogXPlus = 1139, kJogXMinus = 1138, kJogYPlus = 1147, kJogYMinus = 1148, kSet = 1255;
constexpr int kOpenFeeder = 1218;

// Items of a tab-terminated drop-down line.
std::vector<std::string> LineItems(const std::vector<std::string>& lines, std::size_t i) {
    std::vector<std::string> out;
    if (i >= lines.size()) return out;
    for (auto& item : SplitRow(lines[i]))
        if (!item.empty()) out.push_back(item);
    return out;
}

std::vector<std::string> FirstCells(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const auto& line : lines) {
        std::string first = line.substr(0, line.find('\t'));
        if (!first.empty()) out.push_back(std::move(first));
    }
    return out;
}

void Fill(QComboBox* c, const std::vector<std::string>& items, const std::string& select) {
    c->clear();
    for (const auto& i : items) c->addItem(Q(i));
    c->setCurrentIndex(c->findText(Q(select), Qt::MatchExactly));
    if (c->isEditable()) c->setEditText(Q(select));
}

} // namespace

DialogCaptions& ThePartProperTexts() {
    static DialogCaptions texts("PartProperConfig", {
        {"PartProper.c_PartProper", "元件属性"},
        {"PartProper.c_SerialNumber", "序号"},
        {"PartProper.c_PartName", "元件名称"},
        {"PartProper.c_PartType", "元件类型"},
        {"PartProper.c_PartPacking", "元件封装"},
        {"PartProper.c_X_Coordinates", "X坐标"},
        {"PartProper.c_Y_Coordinates", "Y坐标"},
        {"PartProper.c_Offset_X", "偏移量X"},
        {"PartProper.c_Offset_Y", "偏移量Y"},
        {"PartProper.c_PartAngle", "旋转角度"},
        {"PartProper.c_PartValue", "元件数值"},
        {"PartProper.c_SelectFeed", "对应料架"},
        {"PartProper.c_OpenFeed", "打开料架>>"},
        {"PartProper.c_SMT", "是否贴装"},
        {"PartProper.c_SpecifyMark", "是否独立Mark"},
        {"PartProper.c_IDOK", "确  定"},
        {"PartProper.c_IDCANCEL", "取  消"},
        {"PartProper.c_Message_01", "没找到对应的料架编号，请删除此料架重新创建 !"},
    });
    return texts;
}

DialogCaptions& ThePartEditDisTexts() {
    static DialogCaptions texts("PartEditDisConfig", {
        {"PartEditDis.c_PartEditDis", "点胶元件编辑"},
        {"PartEditDis.c_SerialNumber", "序号"},
        {"PartEditDis.c_X_Coordinates", "X坐标"},
        {"PartEditDis.c_Y_Coordinates", "Y坐标"},
        {"PartEditDis.c_Z_Coordinates", "Z坐标"},
        {"PartEditDis.c_Offset_X", "偏移量X"},
        {"PartEditDis.c_Offset_Y", "偏移量Y"},
        {"PartEditDis.c_Offset_Z", "偏移量Z"},
        {"PartEditDis.c_Dis", "是否点胶"},
        {"PartEditDis.c_ValveOpenTime", "阀打开时机"},
        {"PartEditDis.c_ValveCloseTime", "阀关闭时机"},
        {"PartEditDis.c_ValveCloseDelay", "阀关闭延时"},
        {"PartEditDis.c_BottomDelay", "底部延时"},
        {"PartEditDis.c_SudtionBackDelay", "回吸时间"},
        {"PartEditDis.c_Note", "备注"},
        {"PartEditDis.c_IDOK", "确  定"},
        {"PartEditDis.c_IDCANCEL", "取  消"},
    });
    return texts;
}

DialogCaptions& ThePartEditDrillTexts() {
    static DialogCaptions texts("PartEditDrillConfig", {
        {"PartEditDrill.c_PartEditDrill", "钻孔编辑"},
        {"PartEditDrill.c_SerialNumber", "序号"},
        {"PartEditDrill.c_X_Coordinates", "X坐标"},
        {"PartEditDrill.c_Y_Coordinates", "Y坐标"},
        {"PartEditDrill.c_Z_Coordinates", "Z坐标"},
        {"PartEditDrill.c_DrillDepth", "钻孔深度"},
        {"PartEditDrill.c_FeedAmount", "进给量"},
        {"PartEditDrill.c_LiftHeight", "抬刀高度"},
        {"PartEditDrill.c_FeedStartSpeed", "进给启动速度"},
        {"PartEditDrill.c_FeedRunSpeed", "进给运行速度"},
        {"PartEditDrill.c_LiftStartSpeed", "抬刀启动速度"},
        {"PartEditDrill.c_LiftRunSpeed", "抬刀运行速度"},
        {"PartEditDrill.c_Offset_X", "偏移量X"},
        {"PartEditDrill.c_Offset_Y", "偏移量Y"},
        {"PartEditDrill.c_Offset_Z", "偏移量Z"},
        {"PartEditDrill.c_LiftToTop", "抬刀到顶部"},
        {"PartEditDrill.c_IDOK", "确  定"},
        {"PartEditDrill.c_IDCANCEL", "取  消"},
    });
    return texts;
}

// ---- shared buttons ---------------------------------------------------------------------

CRowEditorBase::CRowEditorBase(RowCommands& commands, QWidget* parent) : QDialog(parent), m_commands(commands) {}

QWidget* CRowEditorBase::Control(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QLineEdit* CRowEditorBase::AddEdit(int id) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString("edit%1").arg(id));
    m_controls[id] = e;
    return e;
}

QPushButton* CRowEditorBase::AddButton(int id, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString("button%1").arg(id));
    b->setAutoDefault(false);
    m_controls[id] = b;
    return b;
}

void CRowEditorBase::AddMachineButtons(QGridLayout* grid, int row, bool zButton) {
    auto* box = new QHBoxLayout;
    const std::pair<int, const char*> position[] = {{kButtonX, "X"}, {kButtonY, "Y"}, {kButtonCX, "CX"},
                                                     {kButtonCY, "CY"}};
    for (auto [id, text] : position) {
        QPushButton* b = AddButton(id, text);
        connect(b, &QPushButton::clicked, this, [this, id] { OnPositionButton(id); });
        box->addWidget(b);
    }
    if (zButton) {
        QPushButton* z = AddButton(kButtonZ, "Z");
        connect(z, &QPushButton::clicked, this, [this] { OnZ(); });
        box->addWidget(z);
    }
    const std::pair<int, const char*> jogs[] = {{kJogXMinus, "X-"}, {kJogXPlus, "X+"}, {kJogYPlus, "Y+"},
                                                 {kJogYMinus, "Y-"}};
    for (auto [id, text] : jogs) {
        QPushButton* b = AddButton(id, text);
        connect(b, &QPushButton::pressed, this, [this, id] { OnJog(id, true); });
        connect(b, &QPushButton::released, this, [this, id] { OnJog(id, false); });
        box->addWidget(b);
    }
    QPushButton* set = AddButton(kSet, "Set");
    connect(set, &QPushButton::clicked, this, [] { TheManualJog().NextSpeedGear(); });
    box->addWidget(set);
    grid->addLayout(box, row, 0, 1, grid->columnCount() > 0 ? grid->columnCount() : 4);
}

void CRowEditorBase::OnJog(int id, bool pressed) {
    if (!pressed) return TheManualJog().Stop();
    const bool x = id == kJogXPlus || id == kJogXMinus;
    const int direction = id == kJogXPlus || id == kJogYPlus ? 1 : 0;
    // The second table's axes when the manual panel has it selected.
    const bool second = g_MachineType == 4 && TheManualJog().HeadGroup() == 2;
    TheManualJog().JogAxis(x ? (second ? 9 : 0) : (second ? 12 : 1), direction, 1, 0, false);
}

void CRowEditorBase::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) TheManualJog().Stop();
    QDialog::mouseReleaseEvent(event);
}

void CRowEditorBase::OnPositionButton(int id) {
    const bool y = id == kButtonY || id == kButtonCY;
    const bool camera = id == kButtonCX || id == kButtonCY;
    const auto origin = m_commands.m_Port.pcbOrigin ? m_commands.m_Port.pcbOrigin() : std::pair<double, double>{};
    const auto& basic = TheBasicSettings();
    const auto& pulses = ThePulseFactors();
    const bool second = camera && SecondTableForCamera();
    const std::int32_t counter = y ? (second ? g_PulseY2 : g_PulseY).load() : (second ? g_PulseX2 : g_PulseX).load();
    const double cam = camera ? (y ? basic.m_Y_CameraToNozzle1 : basic.m_X_CameraToNozzle1) : 0.0;
    TakePosition(y, EditorPositionText(counter, y ? origin.second : origin.first, cam,
                                       y ? pulses.m_Y_Pulse : pulses.m_X_Pulse));
}

// ---- placement editor ----------------------------------------------------------------------

CDialogPartEditSmt::CDialogPartEditSmt(RowCommands& commands, QWidget* parent) : CRowEditorBase(commands, parent) {
    setObjectName("CDialogPartEditSmt");
    auto* grid = new QGridLayout(this);
    auto label = [&](int id, int row, int col) {
        auto* l = new QLabel(this);
        l->setObjectName(QString("static%1").arg(id));
        m_labels[id] = l;
        grid->addWidget(l, row, col);
    };
    auto combo = [&](int id, bool editable) {
        auto* c = new QComboBox(this);
        c->setObjectName(QString("combo%1").arg(id));
        c->setEditable(editable);
        c->setMinimumContentsLength(14);
        m_controls[id] = c;
        return c;
    };
    // label id = control id + 10000 (the labels have no resource ids of their own).
    label(11009, 0, 0), grid->addWidget(AddEdit(1009), 0, 1);
    label(11085, 1, 0), grid->addWidget(combo(1085, true), 1, 1);
    label(11020, 2, 0), grid->addWidget(combo(1020, true), 2, 1);
    label(11040, 3, 0), grid->addWidget(combo(1040, true), 3, 1);
    label(11025, 4, 0), grid->addWidget(combo(1025, false), 4, 1);
    label(11008, 5, 0), grid->addWidget(AddEdit(1008), 5, 1);
    label(11005, 0, 2), grid->addWidget(AddEdit(1005), 0, 3);
    label(11006, 1, 2), grid->addWidget(AddEdit(1006), 1, 3);
    label(11007, 2, 2), grid->addWidget(AddEdit(1007), 2, 3);
    label(11010, 3, 2), grid->addWidget(AddEdit(1010), 3, 3);
    label(11023, 4, 2), grid->addWidget(combo(1023, false), 4, 3);
    auto* open = AddButton(kOpenFeeder, "");
    grid->addWidget(open, 5, 3);
    auto* place = new QCheckBox(this);
    place->setObjectName("check1015");
    m_controls[1015] = place;
    auto* mark = new QCheckBox(this);
    mark->setObjectName("check1472");
    m_controls[1472] = mark;
    grid->addWidget(place, 6, 0, 1, 2);
    grid->addWidget(mark, 6, 2);
    grid->addWidget(combo(1024, false), 6, 3);
    AddMachineButtons(grid, 7, false);
    auto* ok = AddButton(1, "");
    auto* cancel = AddButton(2, "");
    ok->setDefault(true);
    grid->addWidget(ok, 8, 1);
    grid->addWidget(cancel, 8, 3);
    grid->setSizeConstraint(QLayout::SetMinimumSize);

    auto flag = [this](int f) {
        return [this, f] {
            if (!m_loading) V().m_Changed[f] = 1;
        };
    };
    for (auto [id, f] : {std::pair{1085, partflag::Name}, {1020, partflag::Type}, {1040, partflag::Package}})
        connect(static_cast<QComboBox*>(Control(id)), &QComboBox::editTextChanged, this, flag(f));
    connect(static_cast<QComboBox*>(Control(1025)), &QComboBox::activated, this, flag(partflag::Angle));
    connect(static_cast<QLineEdit*>(Control(1005)), &QLineEdit::textEdited, this, flag(partflag::X));
    connect(static_cast<QLineEdit*>(Control(1006)), &QLineEdit::textEdited, this, flag(partflag::Y));
    connect(static_cast<QLineEdit*>(Control(1008)), &QLineEdit::textEdited, this, flag(partflag::Value));
    connect(static_cast<QComboBox*>(Control(1023)), &QComboBox::activated, this, [this] {
        V().m_Changed[partflag::Feeder] = 1;
        OnFeederChosen();
    });
    connect(place, &QCheckBox::clicked, this, flag(partflag::Place));
    connect(mark, &QCheckBox::clicked, this, [this, mark] {
        V().m_Changed[partflag::Mark] = 1;
        Control(1024)->setEnabled(mark->isChecked());
    });
    connect(open, &QPushButton::clicked, this, [this] { OnOpenFeeder(); });
    connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    OnInitDialog({}, {});
    V().m_Open = 0;
}

void CDialogPartEditSmt::OnInitDialog(const std::string& startFolder, const std::string& language) {
    m_loading = true;
    DialogCaptions& t = ThePartProperTexts();
    if (!startFolder.empty()) t.Load(startFolder, language);
    auto T = [&](const char* k) { return Q(t.Text(std::string("PartProper.c_") + k)); };
    setWindowTitle(T("PartProper"));
    const std::pair<int, const char*> labels[] = {
        {11009, "SerialNumber"}, {11085, "PartName"}, {11020, "PartType"}, {11040, "PartPacking"},
        {11025, "PartAngle"}, {11008, "PartValue"}, {11005, "X_Coordinates"}, {11006, "Y_Coordinates"},
        {11007, "Offset_X"}, {11010, "Offset_Y"}, {11023, "SelectFeed"}};
    for (auto [id, key] : labels) m_labels[id]->setText(T(key));
    static_cast<QPushButton*>(Control(kOpenFeeder))->setText(T("OpenFeed"));
    static_cast<QCheckBox*>(Control(1015))->setText(T("SMT"));
    static_cast<QCheckBox*>(Control(1472))->setText(T("SpecifyMark"));
    static_cast<QPushButton*>(Control(1))->setText(T("IDOK"));
    static_cast<QPushButton*>(Control(2))->setText(T("IDCANCEL"));

    PartEditValues& v = V();
    auto* names = static_cast<QComboBox*>(Control(1085));
    Fill(names, LineItems(g_DropDownLines, 0), v.m_PartName);
    Fill(static_cast<QComboBox*>(Control(1020)), LineItems(g_DropDownLines, 1), v.m_PartType);
    Fill(static_cast<QComboBox*>(Control(1040)), FirstCells(g_PackLines), v.m_PartPacking);
    auto angles = LineItems(g_DropDownLines, 3);
    if (std::find(angles.begin(), angles.end(), v.m_PartAngle) == angles.end()) angles.push_back(v.m_PartAngle);
    Fill(static_cast<QComboBox*>(Control(1025)), angles, v.m_PartAngle);
    std::vector<std::string> feeders;
    for (const auto& f : m_commands.m_Port.feeders ? m_commands.m_Port.feeders() : std::vector<FeedRow>{})
        feeders.push_back(f[feedcell::Id] + "-" + f[3]);
    std::sort(feeders.begin(), feeders.end());
    Fill(static_cast<QComboBox*>(Control(1023)), feeders, v.m_SelectFeed);
    auto marks = FirstCells(g_MarkLines);
    std::sort(marks.begin(), marks.end());
    auto* markCombo = static_cast<QComboBox*>(Control(1024));
    Fill(markCombo, marks, v.m_MarkName);
    markCombo->setEnabled(markCombo->currentIndex() >= 0);
    v.m_OffsetX = v.m_OffsetY = 0;
    v.m_Changed = {};
    v.m_Open = 1;
    Show();
    m_loading = false;
}

void CDialogPartEditSmt::Show() {
    const bool loading = m_loading;
    m_loading = true;
    PartEditValues& v = V();
    static_cast<QLineEdit*>(Control(1009))->setText(Int(v.m_SerialNumber));
    static_cast<QLineEdit*>(Control(1005))->setText(Num(v.m_X));
    static_cast<QLineEdit*>(Control(1006))->setText(Num(v.m_Y));
    static_cast<QLineEdit*>(Control(1007))->setText(Num(v.m_OffsetX));
    static_cast<QLineEdit*>(Control(1010))->setText(Num(v.m_OffsetY));
    static_cast<QLineEdit*>(Control(1008))->setText(Q(v.m_PartValue));
    static_cast<QCheckBox*>(Control(1015))->setChecked(v.m_SMT != 0);
    static_cast<QCheckBox*>(Control(1472))->setChecked(v.m_SpecifyMark != 0);
    m_loading = loading;
}

void CDialogPartEditSmt::ReadBack() {
    PartEditValues& v = V();
    auto text = [&](int id) { return S(static_cast<QLineEdit*>(Control(id))->text()); };
    auto combo = [&](int id) { return S(static_cast<QComboBox*>(Control(id))->currentText()); };
    v.m_SerialNumber = AtoI(text(1009));
    v.m_PartName = combo(1085);
    v.m_PartType = combo(1020);
    v.m_PartPacking = combo(1040);
    v.m_X = AtoF(text(1005));
    v.m_Y = AtoF(text(1006));
    v.m_OffsetX = AtoF(text(1007));
    v.m_OffsetY = AtoF(text(1010));
    v.m_PartAngle = combo(1025);
    v.m_PartValue = text(1008);
    v.m_SelectFeed = combo(1023);
    v.m_SMT = static_cast<QCheckBox*>(Control(1015))->isChecked();
    v.m_SpecifyMark = static_cast<QCheckBox*>(Control(1472))->isChecked();
    v.m_MarkName = combo(1024);
}

void CDialogPartEditSmt::OnOK() {
    ReadBack();
    const std::string refusal = CheckPartEditRanges(V());
    if (!refusal.empty()) {
        plat::MessageBoxOk(refusal);
        return;
    }
    accept();
}

void CDialogPartEditSmt::OnFeederChosen() {
    // The own-mark box stays as it is: the feeder list never shows the image the rule would test.
    ReadBack();
    Show();
}

void CDialogPartEditSmt::OnOpenFeeder() {
    ReadBack();
    const std::string id = FeederIdOfText(V().m_SelectFeed);
    const auto& open = m_commands.m_Port.openFeeder;
    if (!open || !open(id)) plat::MessageBoxOk(ThePartProperTexts().Text("PartProper.c_Message_01"));
}

void CDialogPartEditSmt::SetFeederItem(const std::string& id) {
    auto* c = static_cast<QComboBox*>(Control(1023));
    if (c->currentIndex() >= 0) c->removeItem(c->currentIndex());
    c->insertItem(0, Q(id));
    c->setCurrentIndex(0);
}

void CDialogPartEditSmt::TakePosition(bool y, const std::string& text) {
    static_cast<QLineEdit*>(Control(y ? 1006 : 1005))->setText(Q(text));
    V().m_Changed[y ? partflag::Y : partflag::X] = 1;
}

bool CDialogPartEditSmt::SecondTableForCamera() const { return g_MachineType == 4; }

// ---- dispensing editor ---------------------------------------------------------------------

namespace {
struct DisField {
    int id;
    const char* key;
    int cell;  // change flag index, -1 for the offsets
};
constexpr DisField kDisFields[] = {
    {1009, "SerialNumber", 0}, {1005, "X_Coordinates", 1}, {1006, "Y_Coordinates", 2}, {1008, "Z_Coordinates", 3},
    {1007, "Offset_X", -1}, {1010, "Offset_Y", -1}, {1011, "Offset_Z", -1}, {1569, "ValveOpenTime", 5},
    {1570, "ValveCloseTime", 6}, {1572, "ValveCloseDelay", 7}, {1577, "BottomDelay", 8},
    {1574, "SudtionBackDelay", 9}, {1133, "Note", 10}};

struct DrillField {
    int id;
    const char* key;
    int cell;
};
constexpr DrillField kDrillFields[] = {
    {1009, "SerialNumber", 0}, {1005, "X_Coordinates", 1}, {1006, "Y_Coordinates", 2}, {1008, "Z_Coordinates", 3},
    {1580, "DrillDepth", 4}, {1582, "FeedAmount", 5}, {1584, "LiftHeight", 6}, {1591, "FeedStartSpeed", 8},
    {1587, "FeedRunSpeed", 9}, {1578, "LiftStartSpeed", 10}, {1588, "LiftRunSpeed", 11}, {1007, "Offset_X", -1},
    {1010, "Offset_Y", -1}, {1011, "Offset_Z", -1}};
} // namespace

CDialogPartEditDis::CDialogPartEditDis(RowCommands& commands, QWidget* parent) : CRowEditorBase(commands, parent) {
    setObjectName("CDialogPartEditDis");
    auto* grid = new QGridLayout(this);
    int i = 0;
    for (const DisField& f : kDisFields) {
        auto* l = new QLabel(this);
        l->setObjectName(QString("static%1").arg(f.id + 10000));
        m_labels[f.id] = l;
        const int row = i % 7, col = (i / 7) * 2;
        grid->addWidget(l, row, col);
        QLineEdit* e = AddEdit(f.id);
        grid->addWidget(e, row, col + 1);
        if (f.cell >= 0)
            connect(e, &QLineEdit::textEdited, this, [this, c = f.cell] { m_commands.m_DisEdit.m_Changed[c] = 1; });
        ++i;
    }
    auto* dis = new QCheckBox(this);
    dis->setObjectName("check1576");
    m_controls[1576] = dis;
    grid->addWidget(dis, 6, 3);
    connect(dis, &QCheckBox::clicked, this, [this] { m_commands.m_DisEdit.m_Changed[4] = 1; });
    AddMachineButtons(grid, 7, true);
    auto* ok = AddButton(1, "");
    auto* cancel = AddButton(2, "");
    ok->setDefault(true);
    grid->addWidget(ok, 8, 1);
    grid->addWidget(cancel, 8, 3);
    grid->setSizeConstraint(QLayout::SetMinimumSize);
    connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    OnInitDialog({}, {});
}

void CDialogPartEditDis::OnInitDialog(const std::string& startFolder, const std::string& language) {
    DialogCaptions& t = ThePartEditDisTexts();
    if (!startFolder.empty()) t.Load(startFolder, language);
    auto T = [&](const char* k) { return Q(t.Text(std::string("PartEditDis.c_") + k)); };
    setWindowTitle(T("PartEditDis"));
    for (const DisField& f : kDisFields) m_labels[f.id]->setText(T(f.key));
    static_cast<QCheckBox*>(Control(1576))->setText(T("Dis"));
    static_cast<QPushButton*>(Control(1))->setText(T("IDOK"));
    static_cast<QPushButton*>(Control(2))->setText(T("IDCANCEL"));
    m_commands.m_DisEdit.m_Changed = {};
    Show();
}

void CDialogPartEditDis::Show() {
    const DisEditValues& v = m_commands.m_DisEdit;
    auto set = [&](int id, const QString& s) { static_cast<QLineEdit*>(Control(id))->setText(s); };
    set(1009, Int(v.m_SerialNumber)), set(1005, Num(v.m_X)), set(1006, Num(v.m_Y)), set(1008, Num(v.m_Z));
    set(1007, Num(v.m_OffsetX)), set(1010, Num(v.m_OffsetY)), set(1011, Num(v.m_OffsetZ));
    set(1569, Num(v.m_ValveOpenTime)), set(1570, Num(v.m_ValveCloseTime)), set(1572, Int(v.m_ValveCloseDelay));
    set(1577, Int(v.m_BottomDelay)), set(1574, Int(v.m_SuctionBackDelay)), set(1133, Q(v.m_Note));
    static_cast<QCheckBox*>(Control(1576))->setChecked(v.m_Dis != 0);
}

bool CDialogPartEditDis::ReadBack() {
    DisEditValues& v = m_commands.m_DisEdit;
    auto text = [&](int id) { return S(static_cast<QLineEdit*>(Control(id))->text()); };
    v.m_SerialNumber = AtoI(text(1009));
    v.m_X = AtoF(text(1005)), v.m_Y = AtoF(text(1006)), v.m_Z = AtoF(text(1008));
    v.m_OffsetX = AtoF(text(1007)), v.m_OffsetY = AtoF(text(1010)), v.m_OffsetZ = AtoF(text(1011));
    v.m_ValveOpenTime = AtoF(text(1569)), v.m_ValveCloseTime = AtoF(text(1570));
    v.m_ValveCloseDelay = AtoI(text(1572)), v.m_BottomDelay = AtoI(text(1577)), v.m_SuctionBackDelay = AtoI(text(1574));
    v.m_Note = text(1133);
    v.m_Dis = static_cast<QCheckBox*>(Control(1576))->isChecked();
    const std::string refusal = CheckDisEditRanges(v);
    if (refusal.empty()) return true;
    plat::MessageBoxOk(refusal);
    return false;
}

void CDialogPartEditDis::OnOK() {
    if (ReadBack()) accept();
}

void CDialogPartEditDis::OnZ() {
    const int nozzle = DispenserZNozzle(g_MachineType);
    const std::string z = nozzle ? TeachValue(g_PulseZ[nozzle - 1].load(), ThePulseFactors().m_Z_Pulse) : TeachValueMm(0);
    static_cast<QLineEdit*>(Control(1008))->setText(Q(z));
    m_commands.m_DisEdit.m_Changed[3] = 1;
}

void CDialogPartEditDis::TakePosition(bool y, const std::string& text) {
    static_cast<QLineEdit*>(Control(y ? 1006 : 1005))->setText(Q(text));
    m_commands.m_DisEdit.m_Changed[y ? 2 : 1] = 1;
}

// ---- drilling editor ---------------------------------------------------------------------

CDialogPartEditDrill::CDialogPartEditDrill(RowCommands& commands, QWidget* parent) : CRowEditorBase(commands, parent) {
    setObjectName("CDialogPartEditDrill");
    auto* grid = new QGridLayout(this);
    int i = 0;
    for (const DrillField& f : kDrillFields) {
        auto* l = new QLabel(this);
        l->setObjectName(QString("static%1").arg(f.id + 10000));
        m_labels[f.id] = l;
        const int row = i % 7, col = (i / 7) * 2;
        grid->addWidget(l, row, col);
        QLineEdit* e = AddEdit(f.id);
        grid->addWidget(e, row, col + 1);
        if (f.cell >= 0)
            connect(e, &QLineEdit::textEdited, this, [this, c = f.cell] { m_commands.m_DrillEdit.m_Changed[c] = 1; });
        ++i;
    }
    auto* top = new QCheckBox(this);
    top->setObjectName("check1585");
    m_controls[1585] = top;
    grid->addWidget(top, 7, 1);
    connect(top, &QCheckBox::clicked, this, [this] { m_commands.m_DrillEdit.m_Changed[7] = 1; });
    AddMachineButtons(grid, 8, true);
    // The drilling editor jogs X and Y only, like the others.
    auto* ok = AddButton(1, "");
    auto* cancel = AddButton(2, "");
    ok->setDefault(true);
    grid->addWidget(ok, 9, 1);
    grid->addWidget(cancel, 9, 3);
    grid->setSizeConstraint(QLayout::SetMinimumSize);
    connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    OnInitDialog({}, {});
}

void CDialogPartEditDrill::OnInitDialog(const std::string& startFolder, const std::string& language) {
    DialogCaptions& t = ThePartEditDrillTexts();
    if (!startFolder.empty()) t.Load(startFolder, language);
    auto T = [&](const char* k) { return Q(t.Text(std::string("PartEditDrill.c_") + k)); };
    setWindowTitle(T("PartEditDrill"));
    for (const DrillField& f : kDrillFields) m_labels[f.id]->setText(T(f.key));
    static_cast<QCheckBox*>(Control(1585))->setText(T("LiftToTop"));
    static_cast<QPushButton*>(Control(1))->setText(T("IDOK"));
    static_cast<QPushButton*>(Control(2))->setText(T("IDCANCEL"));
    m_commands.m_DrillEdit.m_Changed = {};
    Show();
}

void CDialogPartEditDrill::Show() {
    const DrillEditValues& v = m_commands.m_DrillEdit;
    auto set = [&](int id, const QString& s) { static_cast<QLineEdit*>(Control(id))->setText(s); };
    set(1009, Int(v.m_SerialNumber)), set(1005, Num(v.m_X)), set(1006, Num(v.m_Y)), set(1008, Num(v.m_Z));
    set(1580, Num(v.m_Depth)), set(1582, Num(v.m_Feed)), set(1584, Num(v.m_RetractHeight));
    set(1591, Int(v.m_FeedStartSpeed)), set(1587, Int(v.m_FeedRunSpeed)), set(1578, Int(v.m_RetractStartSpeed));
    set(1588, Int(v.m_RetractRunSpeed)), set(1007, Num(v.m_OffsetX)), set(1010, Num(v.m_OffsetY));
    set(1011, Num(v.m_OffsetZ));
    static_cast<QCheckBox*>(Control(1585))->setChecked(v.m_RetractToTop != 0);
}

bool CDialogPartEditDrill::ReadBack() {
    DrillEditValues& v = m_commands.m_DrillEdit;
    auto text = [&](int id) { return S(static_cast<QLineEdit*>(Control(id))->text()); };
    v.m_SerialNumber = AtoI(text(1009));
    v.m_X = AtoF(text(1005)), v.m_Y = AtoF(text(1006)), v.m_Z = AtoF(text(1008));
    v.m_Depth = AtoF(text(1580)), v.m_Feed = AtoF(text(1582)), v.m_RetractHeight = AtoF(text(1584));
    v.m_FeedStartSpeed = AtoI(text(1591)), v.m_FeedRunSpeed = AtoI(text(1587));
    v.m_RetractStartSpeed = AtoI(text(1578)), v.m_RetractRunSpeed = AtoI(text(1588));
    v.m_OffsetX = AtoF(text(1007)), v.m_OffsetY = AtoF(text(1010)), v.m_OffsetZ = AtoF(text(1011));
    v.m_RetractToTop = static_cast<QCheckBox*>(Control(1585))->isChecked();
    const std::string refusal = CheckDrillEditRanges(v);
    if (refusal.empty()) return true;
    plat::MessageBoxOk(refusal);
    return false;
}

void CDialogPartEditDrill::OnOK() {
    if (ReadBack()) accept();
}

void CDialogPartEditDrill::OnZ() {
    static_cast<QLineEdit*>(Control(1008))->setText(Q(TeachValue(g_PulseZ[0].load(), ThePulseFactors().m_Z_Pulse)));
    m_commands.m_DrillEdit.m_Changed[3] = 1;
}

void CDialogPartEditDrill::TakePosition(bool y, const std::string& text) {
    static_cast<QLineEdit*>(Control(y ? 1006 : 1005))->setText(Q(text));
    m_commands.m_DrillEdit.m_Changed[y ? 2 : 1] = 1;
}

} // namespace smt
