#include "machine_ops/ui/dialog_set_pulse.h"

#include "base/captions.h"
#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "machine_ops/ui/dialog_set_basic_parts.h"
#include "base/ui/field_text.h"
#include "machine_ops/pulse_test_run.h"

namespace {

constexpr std::pair<double, double> kFactorRange{1.0, 10000.0};
constexpr std::pair<double, double> kDistanceRange{-10000.0, 10000.0};

QString Caption(const char* key) {
    return QString::fromStdString(smt::ThePulseCaptions().Text(std::string("SetPulse.") + key));
}

// A caption label named after its key, so the language can be applied by name.
QLabel* KeyLabel(const char* key, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString("c_") + key);
    return label;
}

QLineEdit* NamedEdit(const char* member, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(member);
    return edit;
}

// A caption in column 0 and its edit box in column 1 of `row`.
QLineEdit* LabelledEdit(QGridLayout* grid, int row, const char* captionKey, const char* member) {
    QWidget* parent = grid->parentWidget();
    auto* edit = NamedEdit(member, parent);
    grid->addWidget(KeyLabel(captionKey, parent), row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

} // namespace

CDialogSetPulse::CDialogSetPulse(smt::PulseSettings& values, std::string configPath, int machineType,
                                 QWidget* parent)
    : QDialog(parent), m_values(values), m_configPath(std::move(configPath)), m_machineType(machineType),
      m_drives(smt::PulsePickList(machineType)) {
    setObjectName("CDialogSetPulse");
    auto* root = new QVBoxLayout(this);

    // Factors, two columns of six.
    auto* factors = new QGroupBox(this);
    factors->setObjectName("c_PulseParameters");
    auto* factorGrid = new QGridLayout(factors);
    const std::array<bool, 12> editable = smt::PulseFactorEditable(machineType);
    for (int row = 0; row < 12; ++row) {
        m_factorEdits[row] = NamedEdit(smt::kPulseFactorKeys[row].key, factors);
        m_factorEdits[row]->setEnabled(editable[row]);
        const int column = (row / 6) * 2;
        // Caption keys are the member names without "m_".
        factorGrid->addWidget(KeyLabel(smt::kPulseFactorKeys[row].key + 2, factors), row % 6, column);
        factorGrid->addWidget(m_factorEdits[row], row % 6, column + 1);
    }
    auto* note = KeyLabel("Note", factors);
    note->setWordWrap(true);
    factorGrid->addWidget(note, 6, 0, 1, 4);
    root->addWidget(factors);

    auto* tools = new QHBoxLayout;
    // Generator.
    auto* generate = new QGroupBox(this);
    generate->setObjectName("c_PulseGenerate");
    auto* genGrid = new QGridLayout(generate);
    m_StepAngle = LabelledEdit(genGrid, 0, "StepAngle", "m_StepAngle");
    m_SubDivide = LabelledEdit(genGrid, 1, "SubDivide", "m_SubDivide");
    m_DiameterOrScrewPitch = LabelledEdit(genGrid, 2, "DiameterOrScrewPitch", "m_DiameterOrScrewPitch");
    auto* drive = new QGroupBox(generate);
    drive->setObjectName("c_DriveModel");
    auto* driveRow = new QHBoxLayout(drive);
    m_DriveModel = new QButtonGroup(this);
    auto* pulley = new QRadioButton(drive);
    pulley->setObjectName("c_SynchronousWheel");
    auto* screw = new QRadioButton(drive);
    screw->setObjectName("c_ScrewRod");
    m_DriveModel->addButton(pulley, 0);
    m_DriveModel->addButton(screw, 1);
    driveRow->addWidget(pulley);
    driveRow->addWidget(screw);
    genGrid->addWidget(drive, 3, 0, 1, 2);
    m_LinearPulse = LabelledEdit(genGrid, 4, "LinearPulse", "m_LinearPulse");
    m_AnglePulse = LabelledEdit(genGrid, 5, "AnglePulse", "m_AnglePulse");
    auto* produce = new QPushButton(generate);
    produce->setObjectName("c_ProducePulse");
    genGrid->addWidget(produce, 6, 1);
    tools->addWidget(generate);

    // Check and test run.
    auto* verify = new QGroupBox(this);
    verify->setObjectName("c_PulseVerify");
    auto* verGrid = new QGridLayout(verify);
    m_pickList = new QComboBox(verify);
    m_pickList->setObjectName("m_SelectAxis");
    auto* execute = new QPushButton(verify);
    execute->setObjectName("c_Execute");
    auto* check = new QPushButton(verify);
    check->setObjectName("c_VerifyPulse");
    verGrid->addWidget(KeyLabel("SelectAxis", verify), 0, 0);
    verGrid->addWidget(m_pickList, 0, 1, 1, 2);
    verGrid->addWidget(KeyLabel("RunModel", verify), 1, 0, 1, 3);
    m_RunTest = LabelledEdit(verGrid, 2, "RunTest", "m_RunTest");
    verGrid->addWidget(execute, 2, 2);
    m_DistanceTest = LabelledEdit(verGrid, 3, "DistanceTest", "m_DistanceTest");
    verGrid->addWidget(check, 3, 2);
    m_VerifyPulseValue = LabelledEdit(verGrid, 4, "VerifyPulseValue", "m_VerifyPulseValue");
    m_VerifyPulseValue->setReadOnly(true);
    tools->addWidget(verify);
    root->addLayout(tools);

    root->addWidget(smt::ui::OkCancelButtons(this));

    connect(produce, &QPushButton::clicked, this, &CDialogSetPulse::OnProducePulse);
    connect(execute, &QPushButton::clicked, this, &CDialogSetPulse::OnRunTest);
    connect(check, &QPushButton::clicked, this, &CDialogSetPulse::OnVerifyPulse);

    ShowMembers();
    ApplyLanguage();
    for (const smt::PulseDrive& d : m_drives)
        m_pickList->addItem(QString::fromStdString(smt::ThePulseCaptions().Text(smt::PulseMotorCaptionKey(d.motor))));
    // An index kept from a machine type with a longer list falls back to the first drive.
    const int keep = m_values.m_SelectAxis;
    m_pickList->setCurrentIndex(keep >= 0 && keep < m_pickList->count() ? keep : 0);
}

void CDialogSetPulse::ApplyLanguage() {
    setWindowTitle(Caption("c_SetPulse"));
    // Every captioned widget is named after its key.
    smt::ui::ApplyKeyCaptions(*this, smt::ThePulseCaptions(), "SetPulse.");
}

void CDialogSetPulse::ShowMembers() {
    using smt::ui::NumberText;
    for (int row = 0; row < 12; ++row)
        m_factorEdits[row]->setText(NumberText(m_values.*smt::kPulseFactorKeys[row].member));
    m_StepAngle->setText(NumberText(m_values.m_StepAngle));
    m_SubDivide->setText(NumberText(m_values.m_SubDivide));
    m_DiameterOrScrewPitch->setText(NumberText(m_values.m_DiameterOrScrewPitch));
    if (QAbstractButton* chosen = m_DriveModel->button(m_values.m_DriveModel)) {
        chosen->setChecked(true);
    } else {
        m_DriveModel->setExclusive(false);
        for (QAbstractButton* b : m_DriveModel->buttons()) b->setChecked(false);
        m_DriveModel->setExclusive(true);
    }
    m_LinearPulse->setText(NumberText(m_values.m_LinearPulse));
    m_AnglePulse->setText(NumberText(m_values.m_AnglePulse));
    m_RunTest->setText(NumberText(m_values.m_RunTest));
    m_DistanceTest->setText(NumberText(m_values.m_DistanceTest));
    m_VerifyPulseValue->setText(NumberText(m_values.m_VerifyPulseValue));
}

bool CDialogSetPulse::TakeFields() {
    using smt::ui::TakeNumber;
    for (int row = 0; row < 12; ++row)
        if (!TakeNumber(m_factorEdits[row], m_values.*smt::kPulseFactorKeys[row].member, kFactorRange)) return false;
    if (!TakeNumber(m_StepAngle, m_values.m_StepAngle)) return false;
    if (!TakeNumber(m_SubDivide, m_values.m_SubDivide)) return false;
    if (!TakeNumber(m_DiameterOrScrewPitch, m_values.m_DiameterOrScrewPitch)) return false;
    m_values.m_DriveModel = m_DriveModel->checkedId(); // -1 while none is chosen
    if (!TakeNumber(m_LinearPulse, m_values.m_LinearPulse)) return false;
    if (!TakeNumber(m_AnglePulse, m_values.m_AnglePulse)) return false;
    if (!TakeNumber(m_RunTest, m_values.m_RunTest, kDistanceRange)) return false;
    if (!TakeNumber(m_DistanceTest, m_values.m_DistanceTest, kDistanceRange)) return false;
    return TakeNumber(m_VerifyPulseValue, m_values.m_VerifyPulseValue);
}

const smt::PulseDrive* CDialogSetPulse::SelectedDrive() const {
    const int index = m_pickList->currentIndex();
    return index >= 0 && index < static_cast<int>(m_drives.size()) ? &m_drives[index] : nullptr;
}

// The generator, the check and the test run go on with the members as they
// stand when a field is refused.
void CDialogSetPulse::OnProducePulse() {
    TakeFields();
    smt::ProducePulse(m_values, smt::ThePulseCaptions());
    ShowMembers();
}

void CDialogSetPulse::OnVerifyPulse() {
    TakeFields();
    if (const smt::PulseDrive* drive = SelectedDrive()) smt::VerifyPulse(m_values, *drive, smt::ThePulseCaptions());
    ShowMembers();
}

void CDialogSetPulse::OnRunTest() {
    const smt::PulseMachinePort& port = smt::ThePulseMachinePort();
    if (!smt::PulseTestMachineReady()) return;
    TakeFields();
    if (const smt::PulseDrive* drive = SelectedDrive())
        smt::RunPulseTest(m_values, *drive, m_machineType, smt::TheBasicSettings(), port, smt::ThePulseCaptions());
}

void CDialogSetPulse::accept() {
    if (!TakeFields()) return;
    if (!smt::ReportConfigWrite(smt::ConfirmPulseSettings(m_values, m_pickList->currentIndex(), m_configPath),
                                m_configPath))
        return;
    QDialog::accept();
}
