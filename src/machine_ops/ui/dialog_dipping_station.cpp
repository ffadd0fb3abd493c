#include "machine_ops/ui/dialog_dipping_station.h"

#include "base/captions.h"
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "base/globals.h"
#include "platform/files.h"
#include "settings/pulse_settings.h"
#include "machine_ops/ui/dialog_set_basic_parts.h"
#include "base/ui/field_text.h"

CDialogDippingStation::CDialogDippingStation(QWidget* parent)
    : QDialog(parent), m_startFolder(plat::CurrentDirectory()) {
    setObjectName("CDialogDippingStation");
    auto* root = new QVBoxLayout(this);
    m_DippingStation = new QCheckBox(this);
    m_DippingStation->setObjectName("c_DippingStation");
    root->addWidget(m_DippingStation);

    auto* grid = new QGridLayout;
    auto row = [&](int r, const char* caption, const char* member, QPushButton* button) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(member);
        grid->addWidget(smt::ui::KeyLabel(caption, this), r, 0);
        grid->addWidget(edit, r, 1);
        if (button) grid->addWidget(button, r, 2);
        return edit;
    };
    auto* teachX = smt::ui::KeyButton("TeachX", this, "X");
    auto* teachY = smt::ui::KeyButton("TeachY", this, "Y");
    auto* teachZ = smt::ui::KeyButton("TeachZ", this, "Z");
    auto* measure = smt::ui::KeyButton("MeasureZ", this, "TZ");
    m_X = row(0, "c_DippingStation_X", "m_DippingStation_X", teachX);
    m_Y = row(1, "c_DippingStation_Y", "m_DippingStation_Y", teachY);
    m_Z = row(2, "c_DippingStation_Z", "m_DippingStation_Z", teachZ);
    grid->addWidget(measure, 2, 3);
    m_Film = row(3, "c_WaterFilmThickness", "m_WaterFilmThickness", nullptr);
    m_RunTime = row(4, "c_DippingStation_RunTime", "m_DippingStation_RunTime", nullptr);
    m_StopDelay = row(5, "c_DippingStation_StopDelay", "m_DippingStation_StopDelay", nullptr);
    m_Delay = row(6, "c_DippingStation_Delay", "m_DippingStation_Delay", nullptr);
    root->addLayout(grid);

    auto* output = smt::ui::KeyButton("c_DippingStationControl", this);
    auto* head1 = smt::ui::KeyButton("c_Head1ToDippingStation", this);
    root->addWidget(output);
    root->addWidget(head1);
    root->addWidget(smt::ui::OkCancelButtons(this));

    connect(teachX, &QPushButton::clicked, this, &CDialogDippingStation::OnTeachX);
    connect(teachY, &QPushButton::clicked, this, &CDialogDippingStation::OnTeachY);
    connect(teachZ, &QPushButton::clicked, this, &CDialogDippingStation::OnTeachZ);
    connect(measure, &QPushButton::clicked, this, &CDialogDippingStation::OnMeasureZ);
    connect(output, &QPushButton::clicked, this, &CDialogDippingStation::OnStationOutput);
    connect(head1, &QPushButton::clicked, this, &CDialogDippingStation::OnHead1ToStation);
}

CDialogDippingStation::~CDialogDippingStation() {
    if (m_open) smt::DippingZSink().Remove();
}

void CDialogDippingStation::showEvent(QShowEvent* event) {
    // A window restored by the system keeps what the operator typed.
    if (event->spontaneous()) return QDialog::showEvent(event);
    ShowMembers();
    ApplyLanguage();
    m_open = true;
    smt::DippingZSink().Install([this](const std::string& text) { m_Z->setText(QString::fromStdString(text)); });
    QDialog::showEvent(event);
}

void CDialogDippingStation::done(int result) {
    m_open = false;
    smt::DippingZSink().Remove();
    QDialog::done(result);
}

void CDialogDippingStation::ApplyLanguage() {
    const smt::DialogCaptions& captions = smt::TheDippingStationCaptions();
    smt::ui::ApplyKeyCaptions(*this, captions, "DippingStation.");
    setWindowTitle(QString::fromStdString(captions.Text("DippingStation.c_DippingStationSet")));
}

void CDialogDippingStation::ShowMembers() {
    using smt::ui::NumberText;
    const smt::DippingStationSettings& d = smt::TheDippingStation();
    m_DippingStation->setChecked(d.m_DippingStation != 0);
    m_X->setText(NumberText(d.m_DippingStation_X));
    m_Y->setText(NumberText(d.m_DippingStation_Y));
    m_Z->setText(NumberText(d.m_DippingStation_Z));
    m_Film->setText(NumberText(d.m_WaterFilmThickness));
    m_RunTime->setText(NumberText(d.m_DippingStation_RunTime));
    m_StopDelay->setText(NumberText(d.m_DippingStation_StopDelay));
    m_Delay->setText(NumberText(d.m_DippingStation_Delay));
}

bool CDialogDippingStation::TakeFields() {
    using smt::ui::TakeBoundedInt;
    using smt::ui::TakeNumber;
    smt::DippingStationSettings d = smt::TheDippingStation();
    d.m_DippingStation = m_DippingStation->isChecked() ? 1 : 0;
    if (!TakeNumber(m_X, d.m_DippingStation_X, std::pair{0.0, 1000.0})) return false;
    if (!TakeNumber(m_Y, d.m_DippingStation_Y, std::pair{-1000.0, 0.0})) return false;
    if (!TakeNumber(m_Z, d.m_DippingStation_Z, std::pair{-100.0, 0.0})) return false;
    if (!TakeNumber(m_Film, d.m_WaterFilmThickness, std::pair{0.0, 3.0})) return false;
    if (!TakeBoundedInt(m_RunTime, d.m_DippingStation_RunTime, 0, 10000)) return false;
    if (!TakeBoundedInt(m_StopDelay, d.m_DippingStation_StopDelay, 0, 10000)) return false;
    if (!TakeBoundedInt(m_Delay, d.m_DippingStation_Delay, 0, 10000)) return false;
    smt::TheDippingStation() = d;
    return true;
}

void CDialogDippingStation::accept() {
    if (!TakeFields()) return;
    const std::string path = plat::JoinPath(m_startFolder, "config.ini");
    if (!smt::ReportConfigWrite(smt::SaveDippingStationConfig(smt::TheDippingStation(), path), path)) return;
    QDialog::accept();
}

void CDialogDippingStation::Teach(smt::DippingAxis axis, QLineEdit* edit) {
    const smt::PulseFactors& f = smt::ThePulseFactors();
    edit->setText(QString::fromStdString(
        smt::DippingTeachText(axis, smt::TakePositionSnapshot(), f.m_X_Pulse, f.m_Y_Pulse, f.m_Z_Pulse)));
}

void CDialogDippingStation::OnTeachX() { Teach(smt::DippingAxis::X, m_X); }
void CDialogDippingStation::OnTeachY() { Teach(smt::DippingAxis::Y, m_Y); }
void CDialogDippingStation::OnTeachZ() { Teach(smt::DippingAxis::Z, m_Z); }

void CDialogDippingStation::OnStationOutput() { smt::TheDippingOutputToggle().Press(smt::g_MachineType.load()); }

void CDialogDippingStation::OnHead1ToStation() {
    if (TakeFields()) smt::StartHeadToDippingStation();
}

void CDialogDippingStation::OnMeasureZ() {
    if (TakeFields()) smt::StartDippingStationMeasurement();
}
