#include "machine_ops/ui/dialog_origin_update.h"

#include "base/captions.h"
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "base/globals.h"
#include "platform/files.h"
#include "settings/pulse_settings.h"
#include "machine_ops/ui/dialog_set_basic_parts.h"
#include "base/ui/field_text.h"

namespace {

using O = smt::OriginUpdateSettings;
constexpr std::array<std::pair<const char*, int O::*>, 5> kUpdates = {{
    {"c_UpdateCurrentFeed", &O::m_UpdateCurrentFeed},
    {"c_UpdatePcbOrigin", &O::m_UpdatePcbOrigin},
    {"c_UpdateCamera", &O::m_UpdateCamera},
    {"c_UpdateNozzle", &O::m_UpdateNozzle},
    {"c_UpdateThrow", &O::m_UpdateThrow},
}};

} // namespace

CDialogOriginUpdate::CDialogOriginUpdate(QWidget* parent)
    : QDialog(parent), m_startFolder(plat::CurrentDirectory()) {
    setObjectName("CDialogOriginUpdate");
    auto* root = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_offsetX = new QLineEdit(this);
    m_offsetX->setObjectName("m_OriginOffsetX");
    m_offsetY = new QLineEdit(this);
    m_offsetY->setObjectName("m_OriginOffsetY");
    grid->addWidget(smt::ui::KeyLabel("c_OriginOffsetX", this), 0, 0);
    grid->addWidget(m_offsetX, 0, 1);
    grid->addWidget(smt::ui::KeyLabel("c_OriginOffsetY", this), 1, 0);
    grid->addWidget(m_offsetY, 1, 1);
    for (std::size_t i = 0; i < kUpdates.size(); ++i) {
        m_update[i] = new QCheckBox(this);
        m_update[i]->setObjectName(kUpdates[i].first);
        grid->addWidget(m_update[i], 2 + static_cast<int>(i), 0, 1, 2);
    }
    root->addLayout(grid);

    auto* axes = new QGridLayout;
    for (int i = 0; i < 16; ++i) {
        m_axis[i] = new QCheckBox(QString::fromStdString(smt::OriginAxisSwitchCaption(i, 8).text), this);
        m_axis[i]->setObjectName(smt::OriginAxisSwitches()[i].key);
        axes->addWidget(m_axis[i], i / 8, i % 8);
    }
    root->addLayout(axes);
    auto* enable = smt::ui::KeyButton("c_Enable", this);
    root->addWidget(enable);
    connect(enable, &QPushButton::clicked, this, &CDialogOriginUpdate::OnEnableAll);
    root->addWidget(smt::ui::OkCancelButtons(this));
}

void CDialogOriginUpdate::showEvent(QShowEvent* event) {
    // A window restored by the system keeps what the operator typed.
    if (event->spontaneous()) return QDialog::showEvent(event);
    ShowMembers();
    ApplyLanguage();
    QDialog::showEvent(event);
}

void CDialogOriginUpdate::ApplyLanguage() {
    const smt::DialogCaptions& captions = smt::TheOriginUpdateCaptions();
    smt::ui::ApplyKeyCaptions(*this, captions, "OriginUpdate.");
    setWindowTitle(QString::fromStdString(captions.Text("OriginUpdate.c_OriginUpdate")));
    const int type = smt::g_MachineType.load();
    for (int i = 0; i < 16; ++i) {
        const smt::AxisSwitchCaption c = smt::OriginAxisSwitchCaption(i, type);
        // Type 8 shows the dialog's own sixteen captions.
        m_axis[i]->setText(QString::fromStdString(c.text));
        m_axis[i]->setVisible(c.shown || c.keepResource);
    }
}

void CDialogOriginUpdate::ShowMembers() {
    const O& o = smt::TheOriginUpdate();
    m_offsetX->setText(smt::ui::NumberText(o.m_OriginOffsetX));
    m_offsetY->setText(smt::ui::NumberText(o.m_OriginOffsetY));
    for (std::size_t i = 0; i < kUpdates.size(); ++i) m_update[i]->setChecked(o.*kUpdates[i].second != 0);
    for (int i = 0; i < 16; ++i) m_axis[i]->setChecked(o.*smt::OriginAxisSwitches()[i].member != 0);
}

void CDialogOriginUpdate::OnEnableAll() {
    for (QCheckBox* box : m_axis) box->setEnabled(true);
}

bool CDialogOriginUpdate::TakeFields(O& o) {
    const std::pair<double, double> range{-smt::kOriginOffsetLimit, smt::kOriginOffsetLimit};
    if (!smt::ui::TakeNumber(m_offsetX, o.m_OriginOffsetX, range)) return false;
    if (!smt::ui::TakeNumber(m_offsetY, o.m_OriginOffsetY, range)) return false;
    for (std::size_t i = 0; i < kUpdates.size(); ++i) o.*kUpdates[i].second = m_update[i]->isChecked() ? 1 : 0;
    for (int i = 0; i < 16; ++i) o.*smt::OriginAxisSwitches()[i].member = m_axis[i]->isChecked() ? 1 : 0;
    return true;
}

void CDialogOriginUpdate::accept() {
    O taken = smt::TheOriginUpdate();
    if (!TakeFields(taken)) return;  // nothing shifted
    smt::TheOriginUpdate() = taken;
    const smt::PulseFactors& f = smt::ThePulseFactors();
    const std::string path = plat::JoinPath(m_startFolder, "config.ini");
    // Nothing is shifted when the file was not written, so a second OK shifts once.
    if (!smt::ReportConfigWrite(smt::ConfirmOriginUpdate(taken, smt::TheBasicSettings(), path, smt::g_MachineType.load(),
                                                         f.m_X_Pulse, f.m_Y_Pulse, m_showThrow),
                                path))
        return;
    QDialog::accept();
}
