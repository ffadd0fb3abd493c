#include "joblist/ui/dialog_smt_strategy.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cstdlib>

#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/nozzle_library.h"
#include "platform/msgbox.h"
#include "machine_ops/cover_tape.h"

namespace smt {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

using C = SmtStrategyConfig;

constexpr const char* kOrderKeys[kSmtOrderCount] = {
    "c_PartNumber", "c_X_Coordinates", "c_Y_Coordinates", "c_PartAngle", "c_PartName",
    "c_PartType", "c_PartPacking", "c_PartHeight", "c_FeedNumber", "c_NozzleNumber"};
constexpr const char* kHeadKeys[kHeadModeCount] = {
    "c_SingleHeader", "c_DoubleSameHeader", "c_DoubleDifferentHeader", "c_FourSameHeader",
    "c_FourDifferentHeader", "c_SpecialHead4", "c_EightSameHeader", "c_EightDifferentHeader", "c_SpecialHead8"};
constexpr const char* kNozzleKeys[3] = {"c_ChangeA1A2", "c_NoChangeA1", "c_NoChangeA2"};
constexpr const char* kRunKeys[kRunModeCount] = {
    "c_AutoSmt", "c_DropsGlue", "c_DropsGlueToSmt", "c_NozzleSimulate", "c_CameraSimulate",
    "c_CameraRunSimulate", "c_AutoFeed", "c_AutoFeed2", "c_InjectGlue", "c_SingleDropsGlue",
    "c_DoubleDropsGlue", "c_DropsGlue_SingleSmt", "c_DropsGlue_DoubleSmt"};

struct CheckDef {
    const char* key;
    int C::*member;
    bool createdDisabled;
};
constexpr CheckDef kChecks[] = {
    {"c_BlockHead", &C::m_BlockHead, false},           {"c_TogetherCode", &C::m_TogetherCode, true},
    {"c_AutoChangeNozzle", &C::m_AutoChangeNozzle, false}, {"c_16NozzleLibrary", &C::m_19NozzleLibrary, true},
    {"c_Head2AvoidCamera1", &C::m_Head2AvoidCamera1, false}, {"c_Cover", &C::m_Cover, false},
    {"c_DisMode2", &C::m_bDisMode2, false},
};

struct EditDef {
    const char* member;
    int C::*integer;
    double C::*length;
    bool createdDisabled;
};
constexpr EditDef kEdits[] = {
    {"m_SpecialHead", &C::m_SpecialHead, nullptr, false},
    {"m_Interval", &C::m_Interval, nullptr, false},
    {"m_DropsGlueDelay", &C::m_DropsGlueDelay, nullptr, true},
    {"m_DropsGluePoint", &C::m_DropsGluePoint, nullptr, true},
    {"m_DisSpeedStart_XY", &C::m_DisSpeedStart_XY, nullptr, false},
    {"m_DisSpeedStart_Z", &C::m_DisSpeedStart_Z, nullptr, false},
    {"m_DisSpeedNormal_XY", &C::m_DisSpeedNormal_XY, nullptr, false},
    {"m_DisSpeedNormal_Z", &C::m_DisSpeedNormal_Z, nullptr, false},
    {"m_WeldDistance_1", nullptr, &C::m_WeldDistance_1, true},
    {"m_WeldDistance_2", nullptr, &C::m_WeldDistance_2, true},
    {"m_DropsGlueOpen1", nullptr, &C::m_DropsGlueOpen1, true},
    {"m_DropsGlueOpen2", nullptr, &C::m_DropsGlueOpen2, true},
    {"m_DropsGlueClose1", nullptr, &C::m_DropsGlueClose1, true},
    {"m_DropsGlueClose2", nullptr, &C::m_DropsGlueClose2, true},
    {"m_AfterCloseDelay1", &C::m_AfterCloseDelay1, nullptr, true},
    {"m_AfterCloseDelay2", &C::m_AfterCloseDelay2, nullptr, true},
};

bool ParseInt(const QString& text, int& value) {
    const std::string s = text.trimmed().toStdString();
    if (s.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (!end || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

bool ParseNumber(const QString& text, double& value) {
    const std::string s = text.trimmed().toStdString();
    if (s.empty()) return false;
    char* end = nullptr;
    value = std::strtod(s.c_str(), &end);
    return end && *end == '\0';
}

int CheckedIndex(const std::map<std::string, QWidget*>& controls, const char* prefix, int count) {
    for (int i = 0; i < count; ++i) {
        const auto it = controls.find(prefix + std::to_string(i));
        if (it != controls.end() && static_cast<QRadioButton*>(it->second)->isChecked()) return i;
    }
    return -1;
}

} // namespace

DialogCaptions& TheSmtStrategyTexts() {
    static DialogCaptions texts("SmtStrategyConfig", {
        {"SmtStrategy.c_SmtStrategy", "贴装方案选择"},
        {"SmtStrategy.c_SmtSort", "贴装排序"},
        {"SmtStrategy.c_PartNumber", "元件编号"},
        {"SmtStrategy.c_X_Coordinates", "X坐标"},
        {"SmtStrategy.c_Y_Coordinates", "Y坐标"},
        {"SmtStrategy.c_PartAngle", "元件角度"},
        {"SmtStrategy.c_PartName", "元件名称"},
        {"SmtStrategy.c_PartType", "元件类型"},
        {"SmtStrategy.c_PartPacking", "元件封装"},
        {"SmtStrategy.c_PartHeight", "元件高度"},
        {"SmtStrategy.c_FeedNumber", "料架编号"},
        {"SmtStrategy.c_NozzleNumber", "贴装头编号"},
        {"SmtStrategy.c_SmtHeaderSelect", "贴头选择"},
        {"SmtStrategy.c_SingleHeader", "单头单个贴装"},
        {"SmtStrategy.c_DoubleSameHeader", "双头相同吸嘴"},
        {"SmtStrategy.c_DoubleDifferentHeader", "双头不同吸嘴"},
        {"SmtStrategy.c_ChangeA1A2", "更换A1A2"},
        {"SmtStrategy.c_NoChangeA1", "不更换A1"},
        {"SmtStrategy.c_NoChangeA2", "不更换A2"},
        {"SmtStrategy.c_FourSameHeader", "四头相同吸嘴"},
        {"SmtStrategy.c_FourDifferentHeader", "四头不同吸嘴"},
        {"SmtStrategy.c_SpecialHead4", "指定第4吸嘴"},
        {"SmtStrategy.c_BlockHead", "W限制A3A4，E限制A1A2"},
        {"SmtStrategy.c_EightSameHeader", "八头相同吸嘴"},
        {"SmtStrategy.c_EightDifferentHeader", "八头不同吸嘴"},
        {"SmtStrategy.c_SpecialHead8", "指定头开始于"},
        {"SmtStrategy.c_TogetherCode", "启用连发指令"},
        {"SmtStrategy.c_AutoChangeNozzle", "启用自动换吸嘴"},
        {"SmtStrategy.c_16NozzleLibrary", "19位吸嘴库"},
        {"SmtStrategy.c_Enable", "启用"},
        {"SmtStrategy.c_Head2AvoidCamera1", "贴片头2避开相机1"},
        {"SmtStrategy.c_RunSelect", "运行选择"},
        {"SmtStrategy.c_AutoSmt", "贴装"},
        {"SmtStrategy.c_DropsGlue", "点胶"},
        {"SmtStrategy.c_DropsGlueToSmt", "点胶->贴装"},
        {"SmtStrategy.c_NozzleSimulate", "吸嘴模拟"},
        {"SmtStrategy.c_CameraSimulate", "相机元件坐标检查"},
        {"SmtStrategy.c_CameraRunSimulate", "相机模拟料架->元件"},
        {"SmtStrategy.c_AutoFeed", "送料运行->相机检查"},
        {"SmtStrategy.c_AutoFeed2", "相机料架坐标检查"},
        {"SmtStrategy.c_InjectGlue", "注胶"},
        {"SmtStrategy.c_SingleDropsGlue", "点红胶->点锡盘Y1"},
        {"SmtStrategy.c_DoubleDropsGlue", "点红胶->点锡盘Y1Y2"},
        {"SmtStrategy.c_DropsGlue_SingleSmt", "点胶贴片->Y1"},
        {"SmtStrategy.c_DropsGlue_DoubleSmt", "点胶贴片->Y1Y2"},
        {"SmtStrategy.c_Cover", "封皮"},
        {"SmtStrategy.c_Set", "设置"},
        {"SmtStrategy.c_TimeInterval", "检查时间间隔"},
        {"SmtStrategy.c_DropsGlueDelay", "点胶延时"},
        {"SmtStrategy.c_DisMode2", "点胶模式2"},
        {"SmtStrategy.c_DisSpeedStart", "点胶启动速度"},
        {"SmtStrategy.c_DisSpeedNormal", "点胶运行速度"},
        {"SmtStrategy.c_WeldDistance", "2脚焊盘距离"},
        {"SmtStrategy.c_DropsGlueOpen", "点胶阀打开"},
        {"SmtStrategy.c_DropsGlueClose", "点胶阀关闭"},
        {"SmtStrategy.c_AfterCloseDelay", "阀关闭延时"},
        {"SmtStrategy.c_ResetPartNumber", "重置序号"},
        {"SmtStrategy.c_ShowAll", "全部显示"},
        {"SmtStrategy.c_ShowSmt", "显示贴装"},
        {"SmtStrategy.c_ShowNoSmt", "显示不贴"},
        {"SmtStrategy.c_IDOK", "确定"},
        {"SmtStrategy.c_IDCANCEL", "取消"},
        {"SmtStrategy.c_Message_01", "启用自动换吸嘴后，请把贴片头上的吸嘴放到吸嘴库上去 !"},
        {"SmtStrategy.c_Message_02", "修改选项后必须重新启动软件 !"},
    });
    return texts;
}

namespace {
const std::string& T(std::string_view key) {
    std::string k = "SmtStrategy.";
    k += key;
    return TheSmtStrategyTexts().Text(k);
}
} // namespace

CDialogSMTStrategy::CDialogSMTStrategy(PartListStore& store, QWidget* parent)
    : QDialog(parent), m_store(store) {
    setObjectName("CDialogSMTStrategy");
    m_RunModal = [](QDialog& d) { return d.exec(); };

    auto radioGroup = [this](QGroupBox* box, QGridLayout* grid, const char* prefix, const char* const* keys, int n,
                             int perColumn) {
        auto* group = new QButtonGroup(box);
        for (int i = 0; i < n; ++i) {
            auto* r = new QRadioButton(box);
            r->setObjectName(keys[i]);
            group->addButton(r, i);
            grid->addWidget(r, i % perColumn, 2 * (i / perColumn));
            m_controls[prefix + std::to_string(i)] = r;
            m_captioned[keys[i]] = r;
        }
        return group;
    };
    auto captioned = [this](QWidget* w, const char* key) {
        w->setObjectName(key);
        m_captioned[key] = w;
        m_controls[key] = w;
        return w;
    };
    auto edit = [this](QWidget* parent, const char* member) {
        auto* e = new QLineEdit(parent);
        e->setObjectName(member);
        e->setMinimumWidth(64);
        e->setMaximumWidth(80);
        m_controls[member] = e;
        return e;
    };
    auto label = [this](QWidget* parent, const char* key) {
        auto* l = new QLabel(parent);
        l->setObjectName(key);
        m_captioned[key] = l;
        return l;
    };

    // Sort order.
    auto* order = new QGroupBox(this);
    order->setObjectName("c_SmtSort");
    m_captioned["c_SmtSort"] = order;
    auto* orderGrid = new QGridLayout(order);
    radioGroup(order, orderGrid, "order", kOrderKeys, kSmtOrderCount, kSmtOrderCount);
    auto* resetNumbers = static_cast<QPushButton*>(captioned(new QPushButton(this), "c_ResetPartNumber"));
    auto* column1 = new QVBoxLayout;
    column1->addWidget(order);
    column1->addWidget(resetNumbers);
    for (const char* key : {"c_ShowAll", "c_ShowSmt", "c_ShowNoSmt"}) {
        QWidget* b = captioned(new QPushButton(this), key);
        m_createdDisabled[key] = b;
        column1->addWidget(b);
    }
    column1->addStretch(1);

    // Heads and nozzles.
    auto* heads = new QGroupBox(this);
    heads->setObjectName("c_SmtHeaderSelect");
    m_captioned["c_SmtHeaderSelect"] = heads;
    auto* headGrid = new QGridLayout(heads);
    QButtonGroup* headGroup = radioGroup(heads, headGrid, "head", kHeadKeys, kHeadModeCount, kHeadModeCount);
    headGrid->addWidget(edit(heads, "m_SpecialHead"), kHeadModeCount - 1, 1);
    auto* nozzles = new QGroupBox(this);
    auto* nozzleGrid = new QGridLayout(nozzles);
    radioGroup(nozzles, nozzleGrid, "nozzle", kNozzleKeys, 3, 3);
    auto* column2 = new QVBoxLayout;
    column2->addWidget(heads);
    column2->addWidget(nozzles);
    auto* checks = new QGridLayout;
    int checkRow = 0;
    for (const CheckDef& c : kChecks) {
        if (std::string(c.key) == "c_Cover" || std::string(c.key) == "c_DisMode2") continue;
        QWidget* box = captioned(new QCheckBox(this), c.key);
        if (c.createdDisabled) m_createdDisabled[c.key] = box;
        checks->addWidget(box, checkRow, 0);
        if (std::string(c.key) == "c_16NozzleLibrary") checks->addWidget(captioned(new QPushButton(this), "c_Enable"), checkRow, 1);
        ++checkRow;
    }
    column2->addLayout(checks);
    column2->addStretch(1);

    // Run mode and the cover-tape unit.
    auto* runs = new QGroupBox(this);
    runs->setObjectName("c_RunSelect");
    m_captioned["c_RunSelect"] = runs;
    auto* runGrid = new QGridLayout(runs);
    radioGroup(runs, runGrid, "run", kRunKeys, kRunModeCount, kRunModeCount);
    auto* cover = new QHBoxLayout;
    cover->addWidget(captioned(new QCheckBox(this), "c_Cover"));
    cover->addWidget(captioned(new QPushButton(this), "c_Set"));
    cover->addStretch(1);
    auto* column3 = new QVBoxLayout;
    column3->addWidget(runs);
    column3->addLayout(cover);
    column3->addStretch(1);

    // Dispensing.
    auto* dis = new QGridLayout;
    int r = 0;
    dis->addWidget(label(this, "c_TimeInterval"), r, 0);
    dis->addWidget(edit(this, "m_Interval"), r++, 1);
    dis->addWidget(label(this, "c_DropsGlueDelay"), r, 0);
    dis->addWidget(edit(this, "m_DropsGlueDelay"), r, 1);
    dis->addWidget(edit(this, "m_DropsGluePoint"), r++, 2);
    dis->addWidget(captioned(new QCheckBox(this), "c_DisMode2"), r++, 0, 1, 3);
    dis->addWidget(new QLabel("XY", this), r, 1);
    dis->addWidget(new QLabel("Z", this), r++, 2);
    const std::pair<const char*, std::pair<const char*, const char*>> pairs[] = {
        {"c_DisSpeedStart", {"m_DisSpeedStart_XY", "m_DisSpeedStart_Z"}},
        {"c_DisSpeedNormal", {"m_DisSpeedNormal_XY", "m_DisSpeedNormal_Z"}},
        {"c_WeldDistance", {"m_WeldDistance_1", "m_WeldDistance_2"}},
        {"c_DropsGlueOpen", {"m_DropsGlueOpen1", "m_DropsGlueOpen2"}},
        {"c_DropsGlueClose", {"m_DropsGlueClose1", "m_DropsGlueClose2"}},
        {"c_AfterCloseDelay", {"m_AfterCloseDelay1", "m_AfterCloseDelay2"}},
    };
    for (const auto& [key, members] : pairs) {
        dis->addWidget(label(this, key), r, 0);
        dis->addWidget(edit(this, members.first), r, 1);
        dis->addWidget(edit(this, members.second), r++, 2);
    }
    for (const EditDef& e : kEdits)
        if (e.createdDisabled) m_createdDisabled[e.member] = m_controls[e.member];
    auto* column4 = new QVBoxLayout;
    column4->addLayout(dis);
    column4->addStretch(1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    captioned(ok, "c_IDOK");
    captioned(cancel, "c_IDCANCEL");

    auto* columns = new QHBoxLayout;
    for (QLayout* l : {static_cast<QLayout*>(column1), static_cast<QLayout*>(column2), static_cast<QLayout*>(column3),
                       static_cast<QLayout*>(column4)})
        columns->addLayout(l);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(Radio("head0"), &QRadioButton::clicked, this, [this] { OnSelectHeadSameNozzle(); });
    connect(Radio("head1"), &QRadioButton::clicked, this, [this] { OnSelectHeadSameNozzle(); });
    connect(Radio("nozzle0"), &QRadioButton::clicked, this, [this] { OnChangeA1A2(); });
    connect(Radio("nozzle1"), &QRadioButton::clicked, this, [this] { OnNoChangeA1(); });
    connect(Radio("nozzle2"), &QRadioButton::clicked, this, [this] { OnNoChangeA2(); });
    connect(Check("c_AutoChangeNozzle"), &QCheckBox::clicked, this, [this] { OnAutoChangeNozzle(); });
    connect(Check("c_16NozzleLibrary"), &QCheckBox::clicked, this, [this] { On19NozzleLibrary(); });
    connect(static_cast<QPushButton*>(Control("c_Enable")), &QPushButton::clicked, this,
            [this] { OnEnable19NozzleLibrary(); });
    connect(Check("c_Cover"), &QCheckBox::clicked, this, [this] { OnCover(); });
    connect(static_cast<QPushButton*>(Control("c_Set")), &QPushButton::clicked, this, [this] { OnCoverSettings(); });
    connect(resetNumbers, &QPushButton::clicked, this, [this] { OnResetPartNumber(); });
    (void)headGroup;
    ApplyLanguage();
}

QWidget* CDialogSMTStrategy::Control(const std::string& name) const {
    const auto it = m_controls.find(name);
    return it == m_controls.end() ? nullptr : it->second;
}
QRadioButton* CDialogSMTStrategy::Radio(const std::string& name) const {
    return static_cast<QRadioButton*>(Control(name));
}
QCheckBox* CDialogSMTStrategy::Check(const std::string& key) const { return static_cast<QCheckBox*>(Control(key)); }
QLineEdit* CDialogSMTStrategy::Edit(const std::string& member) const { return static_cast<QLineEdit*>(Control(member)); }

void CDialogSMTStrategy::LoadLanguage(const std::string& startFolder, const std::string& language) {
    TheSmtStrategyTexts().Load(startFolder, language);
}

void CDialogSMTStrategy::ApplyLanguage() {
    setWindowTitle(Q(T("c_SmtStrategy")));
    for (const auto& [key, w] : m_captioned) {
        const QString text = Q(T(key));
        if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
        else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(text);
        else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
    }
}

void CDialogSMTStrategy::OnInitDialog(const std::string& startFolder, const std::string& language) {
    m_startFolder = startFolder;
    m_language = language;
    LoadLanguage(startFolder, language);
    ApplyLanguage();
    m_values = TheSmtStrategy().Config();
    ApplyMachineType();
}

void CDialogSMTStrategy::ApplyMachineType() {
    // Every opening starts from the controls as created.
    for (const auto& [name, w] : m_controls) w->setEnabled(!m_createdDisabled.count(name));
    const MachineTypeView view = smt::ApplyMachineType(m_values, g_MachineType.load());
    ShowValues();
    for (const std::string& name : view.disabled)
        if (QWidget* w = Control(name)) w->setEnabled(false);
    Control("c_Cover")->setEnabled(view.coverEnabled);
    Control("c_Set")->setEnabled(view.setEnabled);
}

void CDialogSMTStrategy::ShowValues() {
    auto check = [this](const char* prefix, int count, int value) {
        for (int i = 0; i < count; ++i) Radio(prefix + std::to_string(i))->setChecked(false);
        if (value >= 0 && value < count) Radio(prefix + std::to_string(value))->setChecked(true);
    };
    // Exclusive groups cannot show "none": switch exclusivity off while clearing.
    for (auto* g : findChildren<QButtonGroup*>()) g->setExclusive(false);
    check("order", kSmtOrderCount, m_values.m_SmtOrder);
    check("head", kHeadModeCount, m_values.m_HeaderSelect);
    check("nozzle", 3, m_values.m_ChangeNozzleSelect);
    check("run", kRunModeCount, m_values.m_RunSelect);
    for (auto* g : findChildren<QButtonGroup*>()) g->setExclusive(true);
    for (const CheckDef& c : kChecks) Check(c.key)->setChecked(m_values.*c.member != 0);
    for (const EditDef& e : kEdits)
        Edit(e.member)->setText(Q(e.integer ? FormatInt(m_values.*e.integer) : FormatC("%g", m_values.*e.length)));
}

bool CDialogSMTStrategy::TakeValues(SmtStrategyConfig& into) {
    SmtStrategyConfig v = into;
    v.m_SmtOrder = CheckedIndex(m_controls, "order", kSmtOrderCount);
    v.m_HeaderSelect = CheckedIndex(m_controls, "head", kHeadModeCount);
    v.m_ChangeNozzleSelect = CheckedIndex(m_controls, "nozzle", 3);
    v.m_RunSelect = CheckedIndex(m_controls, "run", kRunModeCount);
    for (const CheckDef& c : kChecks) v.*c.member = Check(c.key)->isChecked() ? 1 : 0;
    for (const EditDef& e : kEdits) {
        QLineEdit* field = Edit(e.member);
        const bool ok = e.integer ? ParseInt(field->text(), v.*e.integer) : ParseNumber(field->text(), v.*e.length);
        if (!ok) {
            plat::MessageBoxOk(e.integer ? InputIntegerText() : InputNumberText(), false, plat::MsgIcon::Warning);
            field->setFocus();
            field->selectAll();
            return false;
        }
    }
    if (const auto fault = CheckStrategyRanges(v)) {
        plat::MessageBoxOk(fault->message, false, plat::MsgIcon::Warning);
        if (QLineEdit* field = Edit(fault->field)) {
            field->setFocus();
            field->selectAll();
        }
        return false;
    }
    into = v;
    return true;
}

void CDialogSMTStrategy::OnOK() {
    // A value out of range keeps the dialog open and changes nothing.
    if (!TakeValues(m_values)) return;
    ApplyStrategyOk(m_values, m_store, m_startFolder);
    accept();
}

void CDialogSMTStrategy::RestartMessage() { plat::MessageBoxOk(T("c_Message_02"), true); }

void CDialogSMTStrategy::OnSelectHeadSameNozzle() { Radio("nozzle0")->setChecked(true); }

void CDialogSMTStrategy::OnChangeA1A2() { RestartMessage(); }

void CDialogSMTStrategy::OnNoChangeA1() {
    if (!Radio("head2")->isChecked()) Radio("nozzle0")->setChecked(true);
    RestartMessage();
}

void CDialogSMTStrategy::OnNoChangeA2() { OnNoChangeA1(); }

void CDialogSMTStrategy::OnAutoChangeNozzle() {
    QCheckBox* box = Check("c_AutoChangeNozzle");
    if (!box->isChecked()) return;
    if (plat::MessageBoxAsk(T("c_Message_01"), plat::MsgButtons::YesNoCancel, true) == plat::MsgAnswer::Yes)
        ResetNozzleStates();
    else
        box->setChecked(false);
}

void CDialogSMTStrategy::On19NozzleLibrary() {
    if (!Check("c_AutoChangeNozzle")->isChecked()) return;
    const int type = g_MachineType.load();
    if (type == 3) Check("c_16NozzleLibrary")->setChecked(true);
    else if (type == 4 || type == 6) Check("c_16NozzleLibrary")->setChecked(false);
    ResetNozzleStates();
}

void CDialogSMTStrategy::OnEnable19NozzleLibrary() { Control("c_16NozzleLibrary")->setEnabled(true); }

void CDialogSMTStrategy::OnCover() { Control("c_Set")->setEnabled(Check("c_Cover")->isChecked()); }

void CDialogSMTStrategy::OnCoverSettings() {
    if (m_OpenCoverTape) m_OpenCoverTape();
}

void CDialogSMTStrategy::OnResetPartNumber() { ResetPartNumbers(m_store); }

} // namespace smt
