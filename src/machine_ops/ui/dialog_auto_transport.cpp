#include "machine_ops/ui/dialog_auto_transport.h"

#include "base/captions.h"
#include "base/log.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/numtext.h"
#include "base/named_steps.h"
#include "link/commands.h"
#include "link/homing.h"
#include "link/link_state.h"
#include "link/manual_control.h"
#include "platform/msgbox.h"
#include "platform/uipost.h"
#include "base/ui/field_text.h"

using namespace smt;

namespace {

QString Caption(const char* key) {
    return QString::fromStdString(TheAutoTransportCaptions().Text(std::string("AutoTransport.") + key));
}

std::string ConfigPath(const std::string& folder) { return folder.empty() ? "config.ini" : folder + "/config.ini"; }

// Buttons that start an operation, with their caption keys.
struct ButtonDef {
    int id;
    const char* captionKey;
};
constexpr ButtonDef kOperationButtons[] = {
    {at::WholeTest, "c_AutoTransport"},     {at::BoardInJog, "c_StepTransport_1"},
    {at::BoardInTest, "c_AutoTransport_1"}, {at::TransportJog, "c_StepTransport_2"},
    {at::TransportTest, "c_AutoTransport_2"}, {at::BoardOutJog, "c_StepTransport_3"},
    {at::BoardOutTest, "c_AutoTransport_3"}, {at::FinalRunOut, "c_OutTransport"},
};
// Check boxes that start an operation.
constexpr ButtonDef kOperationBoxes[] = {
    {at::BoardInSignal, "c_ImportSignal"}, {at::StopValve, "c_BlockTest"}, {at::ClampValve, "c_ClampTest"},
    {at::LiftValve, "c_HoldTest"},         {at::BoardOutSignal, "c_ExportSignal"},
};
// The test buttons enabled and disabled as a group.
constexpr int kTestButtons[] = {at::WholeTest,     at::BoardInJog,    at::BoardInTest,  at::TransportJog,
                                at::TransportTest, at::BoardOutJog,   at::BoardOutTest, at::FinalRunOut,
                                at::BoardInSignal, at::StopValve,     at::ClampValve,   at::LiftValve,
                                at::BoardOutSignal, at::ResetWidth,   at::ArriveSetWidth};

struct EditDef {
    int id;
    const char* member;
    const char* captionKey;
    bool integer;
};
constexpr EditDef kEdits[] = {
    {1018, "m_ConveyorStartSpeed", "c_ConveyorStartSpeed", true},
    {1019, "m_ConveyorNormalSpeed", "c_ConveyorNormalSpeed", true},
    {1014, "m_StepValue", "c_StepValue", true},
    {1013, "m_ClampTime", "c_ClampTime", true},
    {1015, "m_WaitTimeOut", "c_WaitTimeOut", true},
    {1005, "m_AutoTransport_1_1", "c_Belt_1_1", false},
    {1006, "m_AutoTransport_1_2", "c_Belt_1_2", false},
    {1007, "m_AutoTransport_2_1", "c_Belt_2_1", false},
    {1008, "m_AutoTransport_2_2", "c_Belt_2_2", false},
    {1009, "m_AutoTransport_3_1", "c_Belt_3_1", false},
    {1010, "m_AutoTransport_3_2", "c_Belt_3_2", false},
    {1011, "m_ResetWidth", "c_ResetWidth", false},
    {1012, "m_SetWidth", "c_SetWidth", false},
    {1016, "m_MinRange", "c_SetWidthRange", true},
    {1017, "m_MaxRange", "c_SetWidthRangeTo", true},
};

}  // namespace

CDialogAutoTransport::CDialogAutoTransport(AutoTransport& transport, QWidget* parent)
    : QDialog(parent), m_transport(transport) {
    setObjectName("CDialogAutoTransport");
    auto* root = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    auto box = [&](int id, const char* name) {
        auto* b = new QCheckBox(this);
        b->setObjectName(name);
        m_controls[id] = b;
        return b;
    };
    top->addWidget(box(at::EnableAuto, "m_AutoTransport"));
    top->addWidget(box(at::AsConveyor, "m_AsConveyor"));
    root->addLayout(top);

    auto button = [&](int id, const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(name);
        m_controls[id] = b;
        connect(b, &QPushButton::clicked, this, [this, id] { OnButton(id); });
        return b;
    };
    root->addWidget(button(at::WholeTest, "IDC_AutoTransport"));
    m_step = new QLabel(this);
    m_step->setObjectName("IDC_Step");
    m_controls[at::StepText] = m_step;
    root->addWidget(m_step);

    auto* grid = new QGridLayout;
    int row = 0;
    const char* buttonNames[] = {"IDC_StepTransport_1", "IDC_AutoTransport_1", "IDC_StepTransport_2",
                                 "IDC_AutoTransport_2", "IDC_StepTransport_3", "IDC_AutoTransport_3",
                                 "IDC_OutTransport"};
    for (int i = 1; i < 8; ++i) {
        grid->addWidget(button(kOperationButtons[i].id, buttonNames[i - 1]), row / 4, row % 4);
        ++row;
    }
    root->addLayout(grid);

    auto* boxes = new QHBoxLayout;
    const char* boxNames[] = {"IDC_ImportSignal", "IDC_BlockTest", "IDC_ClampTest", "IDC_HoldTest",
                              "IDC_ExportSignal"};
    int k = 0;
    for (const ButtonDef& d : kOperationBoxes) {
        auto* b = box(d.id, boxNames[k++]);
        const int id = d.id;
        connect(b, &QCheckBox::clicked, this, [this, id](bool checked) { OnCheck(id, !checked); });
        boxes->addWidget(b);
    }
    root->addLayout(boxes);
    connect(static_cast<QCheckBox*>(m_controls[at::AsConveyor]), &QCheckBox::clicked, this,
            [this](bool checked) { OnCheck(at::AsConveyor, !checked); });
    connect(static_cast<QCheckBox*>(m_controls[at::EnableAuto]), &QCheckBox::clicked, this,
            [this](bool checked) { OnCheck(at::EnableAuto, !checked); });

    auto* fields = new QGridLayout;
    int n = 0;
    for (const EditDef& e : kEdits) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(e.member);
        m_edits[e.id] = edit;
        m_controls[e.id] = edit;
        auto* label = new QLabel(Caption(e.captionKey), this);
        label->setObjectName(QString("label_") + e.member);
        if (e.id == 1011) m_resetWidthLabel = label;
        if (e.id == 1016) m_rangeLabel = label;
        fields->addWidget(label, n / 3, (n % 3) * 2);
        fields->addWidget(edit, n / 3, (n % 3) * 2 + 1);
        ++n;
    }
    root->addLayout(fields);
    // Disabled until their labels are double-clicked.
    m_edits[1011]->setEnabled(false);
    m_edits[1016]->setEnabled(false);
    m_edits[1017]->setEnabled(false);
    m_resetWidthLabel->installEventFilter(this);
    m_rangeLabel->installEventFilter(this);

    auto* width = new QHBoxLayout;
    width->addWidget(button(at::ResetWidth, "IDC_ResetPcbTransport"));
    width->addWidget(button(at::ArriveSetWidth, "IDC_ArriveSetWidth"));
    width->addWidget(button(at::WidthUp, "IDC_WidthUp"));
    width->addWidget(button(at::WidthDown, "IDC_WidthDown"));
    width->addWidget(button(at::NextGear, "IDC_Set"));
    width->addWidget(button(at::ClearWait, "IDC_ClearWait"));
    root->addLayout(width);
    static_cast<QPushButton*>(m_controls[at::WidthUp])->setText(QString::fromUtf8("↑"));
    static_cast<QPushButton*>(m_controls[at::WidthDown])->setText(QString::fromUtf8("↓"));
    static_cast<QPushButton*>(m_controls[at::NextGear])->setText("Set");

    auto* end = new QHBoxLayout;
    auto* ok = new QPushButton(this);
    ok->setObjectName("IDOK");
    ok->setDefault(true);
    auto* cancel = new QPushButton(this);
    cancel->setObjectName("IDCANCEL");
    connect(ok, &QPushButton::clicked, this, &CDialogAutoTransport::accept);
    connect(cancel, &QPushButton::clicked, this, &CDialogAutoTransport::reject);
    end->addStretch();
    end->addWidget(ok);
    end->addWidget(cancel);
    root->addLayout(end);

    // The manual panel enables the part list's clamp button while the conveyor is in use.
    m_EnablePcbClamp = [](bool on) {
        if (const auto& f = PartListToolButtons()) f(mc::PartListClamp, on);
    };
    ApplyLanguage();
    ShowFields();
}

void CDialogAutoTransport::FillPanelHooks() {
    // Machine code reaches the panel only by posting to this thread.
    QPointer<CDialogAutoTransport> self(this);
    AutoTransportPanelPort& port = m_transport.Port();
    port.showStep = [self](int step) {
        plat::PostToUi([self, step] { if (self) self->ShowStep(step); });
    };
    port.setCheck = [self](int id, bool on) {
        plat::PostToUi([self, id, on] {
            if (!self) return;
            if (auto* b = qobject_cast<QCheckBox*>(self->Control(id))) b->setChecked(on);
        });
    };
    // The steps and check boxes already show the end; the log keeps it.
    port.operationEnded = [] { LogPrintf(GetLogStream(), true, "Conveyor operation ended"); };
    CommandPanelPort& commands = TheCommandPanel();
    commands.enableConveyorControl = [self] {
        plat::PostToUi([self] { if (self) self->EnableResetButton(); });
    };
}

CDialogAutoTransport::~CDialogAutoTransport() {
    m_transport.Port().showStep = nullptr;
    m_transport.Port().setCheck = nullptr;
    TheCommandPanel().enableConveyorControl = nullptr;
}

QWidget* CDialogAutoTransport::Control(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CDialogAutoTransport::WireSteps(NamedSteps& firstUpdate, NamedSteps& creation, NamedSteps& languageChange) {
    firstUpdate.Set("AutoTransport.LoadConfig", [this](const StepContext& c) { LoadConfig(c.startFolder); });
    auto language = [this](const StepContext& c) { LoadLanguageTexts(c.startFolder, c.language); };
    creation.Set("AutoTransport.LoadLanguage", language);
    languageChange.Set("AutoTransport.LoadLanguage", language);
}

void CDialogAutoTransport::LoadConfig(const std::string& startFolder) {
    m_StartFolder = startFolder;
    m_transport.LoadConfig(ConfigPath(startFolder));
    ShowFields();
}

bool CDialogAutoTransport::SaveConfig(const std::string& startFolder) const {
    return m_transport.SaveConfig(ConfigPath(startFolder));
}

void CDialogAutoTransport::LoadLanguageTexts(const std::string& startFolder, const std::string& language) {
    m_StartFolder = startFolder;
    TheAutoTransportCaptions().Load(startFolder, language);
    ApplyLanguage();
}

void CDialogAutoTransport::ApplyLanguage() {
    setWindowTitle(Caption("c_AutoTransportControl"));
    auto text = [this](int id, const char* key) {
        if (auto* b = qobject_cast<QAbstractButton*>(Control(id))) b->setText(Caption(key));
    };
    for (const ButtonDef& d : kOperationButtons) text(d.id, d.captionKey);
    for (const ButtonDef& d : kOperationBoxes) text(d.id, d.captionKey);
    text(at::AsConveyor, "c_AsConveyor");
    text(at::EnableAuto, "c_EnableAutoTransport");
    text(at::ClearWait, "c_ClearWait");
    text(at::ResetWidth, "c_ResetPcbTransport");
    text(at::ArriveSetWidth, "c_ArriveSetWidth");
    for (const EditDef& e : kEdits)
        if (auto* l = findChild<QLabel*>(QString("label_") + e.member)) l->setText(Caption(e.captionKey));
    if (auto* ok = findChild<QPushButton*>("IDOK")) ok->setText(Caption("c_IDOK"));
    if (auto* cancel = findChild<QPushButton*>("IDCANCEL")) cancel->setText(Caption("c_IDCANCEL"));
}

void CDialogAutoTransport::ShowFields() {
    const AutoTransportConfig c = m_transport.Config();
    auto i = [this](int id, std::int32_t v) { m_edits[id]->setText(ui::NumberText(static_cast<int>(v))); };
    auto d = [this](int id, double v) { m_edits[id]->setText(QString::fromStdString(FormatMm(v))); };
    i(1018, c.m_ConveyorStartSpeed);
    i(1019, c.m_ConveyorNormalSpeed);
    i(1014, c.m_StepValue);
    i(1013, c.m_ClampTime);
    i(1015, c.m_WaitTimeOut);
    d(1005, c.m_AutoTransport_1_1);
    d(1006, c.m_AutoTransport_1_2);
    d(1007, c.m_AutoTransport_2_1);
    d(1008, c.m_AutoTransport_2_2);
    d(1009, c.m_AutoTransport_3_1);
    d(1010, c.m_AutoTransport_3_2);
    d(1011, c.m_ResetWidth);
    d(1012, c.m_SetWidth);
    i(1016, c.m_MinRange);
    i(1017, c.m_MaxRange);
    static_cast<QCheckBox*>(Control(at::EnableAuto))->setChecked(c.m_AutoTransport != 0);
    static_cast<QCheckBox*>(Control(at::AsConveyor))->setChecked(m_transport.m_AsConveyor != 0);
    static_cast<QCheckBox*>(Control(at::ClampValve))->setChecked(m_transport.m_ClampState != 0);
}

bool CDialogAutoTransport::TakeFields() {
    AutoTransportConfig c = m_transport.Config();
    auto i = [this](int id, std::int32_t& v) {
        int x = 0;
        if (!ui::TakeNumber(m_edits[id], x)) return false;
        v = x;
        return true;
    };
    auto d = [this](int id, double& v) { return ui::TakeNumber(m_edits[id], v); };
    if (!(i(1018, c.m_ConveyorStartSpeed) && i(1019, c.m_ConveyorNormalSpeed) && i(1014, c.m_StepValue) &&
          i(1013, c.m_ClampTime) && i(1015, c.m_WaitTimeOut) && d(1005, c.m_AutoTransport_1_1) &&
          d(1006, c.m_AutoTransport_1_2) && d(1007, c.m_AutoTransport_2_1) && d(1008, c.m_AutoTransport_2_2) &&
          d(1009, c.m_AutoTransport_3_1) && d(1010, c.m_AutoTransport_3_2) && d(1011, c.m_ResetWidth) &&
          d(1012, c.m_SetWidth) && i(1016, c.m_MinRange) && i(1017, c.m_MaxRange)))
        return false;
    c.m_AutoTransport = static_cast<QCheckBox*>(Control(at::EnableAuto))->isChecked() ? 1 : 0;
    if (const auto bad = CheckAutoTransportRanges(c)) {
        plat::MessageBoxOk(RangeMessage(*bad));
        m_edits[bad->control]->setFocus();
        m_edits[bad->control]->selectAll();
        return false;
    }
    m_transport.SetConfig(c);
    m_transport.m_AsConveyor = static_cast<QCheckBox*>(Control(at::AsConveyor))->isChecked() ? 1 : 0;
    return true;
}

void CDialogAutoTransport::OnInitDialog() {
    if (m_firstOpening) {
        m_firstOpening = false;
        Control(at::AsConveyor)->setEnabled(ConveyorMachineType() == 7);
        m_transport.InitWidthCounterOnce();
    }
    ApplyLanguage();
    ShowFields();
    EnableTestButtons(m_transport.Config().m_AutoTransport != 0 && !g_Running.load());
}

void CDialogAutoTransport::EnableTestButtons(bool enable) {
    for (int id : kTestButtons)
        if (QWidget* w = Control(id)) w->setEnabled(enable);
}

void CDialogAutoTransport::EnableResetButton() { Control(at::ResetWidth)->setEnabled(true); }

void CDialogAutoTransport::ShowStep(int step) {
    static const char* const kZones[] = {"c_AutoTransport_1", "c_AutoTransport_2", "c_AutoTransport_3"};
    if (step < 0 || step > 5) return;
    const bool running = step % 2 == 0;
    // The layout keeps the text in place; the zone is in the text.
    m_step->setText(Caption(kZones[step / 2]) + Caption(running ? "c_AutoTransport_Walk" : "c_AutoTransport_Finish"));
}

void CDialogAutoTransport::StartWithBelts(int control) {
    if (!TakeFields()) return;
    if (const auto belts = BeltValuesOfButton(control, m_transport.Config(), ThePulseFactors())) {
        m_transport.m_BeltPulse_1 = (*belts)[0];
        m_transport.m_BeltPulse_2 = (*belts)[1];
        m_transport.m_BeltPulse_3 = (*belts)[2];
    }
    m_transport.StartOperation(static_cast<TransportOp>(OperationOfButton(control)));
}

void CDialogAutoTransport::ShowWidth(double width) {
    AutoTransportConfig c = m_transport.Config();
    c.m_SetWidth = width;
    m_transport.SetConfig(c);
    m_edits[1012]->setText(QString::fromStdString(FormatMm(width)));
}

void CDialogAutoTransport::OnButton(int id) {
    switch (id) {
    case at::ClearWait:
        SetSpeedGear(15, 1);  // the second byte goes over Ethernet only
        return;
    case at::ResetWidth:
        Control(at::ResetWidth)->setEnabled(false);
        if (!MachineReset(9, true)) Control(at::ResetWidth)->setEnabled(true);
        return;
    case at::NextGear:
        if (const auto& f = GetLinkHooks().nextSpeedGear) f();
        return;
    case at::ArriveSetWidth: {
        if (!TakeFields()) return;
        const AutoTransportConfig c = m_transport.Config();
        if (WidthInRange(c.m_SetWidth, c)) m_transport.StartOperation(TransportOp::Width);
        else plat::MessageBoxOk("Out of range !");
        return;
    }
    case at::WidthUp:
    case at::WidthDown: {
        if (!TakeFields()) return;
        const std::int32_t s = m_SRunSteps ? m_SRunSteps() : 0;
        const auto width = SteppedWidth(id == at::WidthUp ? 1 : -1, s, m_transport.Config(), ThePulseFactors());
        if (!width) return;
        ShowWidth(*width);
        m_transport.StartOperation(TransportOp::Width);
        return;
    }
    default: StartWithBelts(id); return;
    }
}

void CDialogAutoTransport::OnCheck(int id, bool checkedBefore) {
    switch (id) {
    case at::AsConveyor:
        m_transport.m_AsConveyor = checkedBefore ? 0 : 1;
        Control(at::EnableAuto)->setEnabled(checkedBefore);
        EnableTestButtons(checkedBefore);
        m_transport.StartOperation(TransportOp::AsConveyor);
        return;
    case at::EnableAuto:
        if (m_EnablePcbClamp) m_EnablePcbClamp(!checkedBefore);
        EnableTestButtons(!checkedBefore);
        return;
    case at::StopValve:
    case at::LiftValve:
        if (!TakeFields()) return;
        m_transport.m_ValveBoxWasSet = checkedBefore;
        m_transport.StartOperation(static_cast<TransportOp>(OperationOfButton(id)));
        return;
    default: StartWithBelts(id); return;
    }
}

bool CDialogAutoTransport::RefuseWhileRunning() {
    if (!g_Running.load()) return false;
    plat::MessageBoxOk(Caption("c_NoColse").toStdString());
    return true;
}

void CDialogAutoTransport::accept() {
    TakeFields();  // a bad field does not stop the save
    if (!smt::ReportConfigWrite(SaveConfig(m_StartFolder), ConfigPath(m_StartFolder))) return;
    if (RefuseWhileRunning()) return;
    QDialog::accept();
}

void CDialogAutoTransport::reject() {
    if (RefuseWhileRunning()) return;
    QDialog::reject();
}

bool CDialogAutoTransport::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == m_resetWidthLabel) m_edits[1011]->setEnabled(true);
        if (watched == m_rangeLabel) {
            m_edits[1016]->setEnabled(true);
            m_edits[1017]->setEnabled(true);
        }
    }
    return QDialog::eventFilter(watched, event);
}
