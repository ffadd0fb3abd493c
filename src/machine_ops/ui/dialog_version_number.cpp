#include "machine_ops/ui/dialog_version_number.h"

#include "base/captions.h"
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString Caption(const char* key) {
    return QString::fromStdString(smt::TheVersionNumberCaptions().Text(std::string("VersionNumber.") + key));
}

} // namespace

CDialogVersionNumber::CDialogVersionNumber(smt::VersionSwitches& switches, std::string configPath,
                                           QWidget* parent)
    : QDialog(parent), m_switches(switches), m_configPath(std::move(configPath)) {
    setObjectName("CDialogVersionNumber");
    setWindowTitle(Caption("c_VersionNumber"));
    auto* root = new QVBoxLayout(this);
    auto box = [&](const char* member, const char* captionKey, int value) {
        auto* check = new QCheckBox(Caption(captionKey), this);
        check->setObjectName(member);
        check->setChecked(value != 0);
        root->addWidget(check);
        return check;
    };
    m_V2_04 = box("m_V2_04", "c_V2_04", m_switches.m_V2_04);
    m_V2_05 = box("m_V2_05", "c_V2_05", m_switches.m_V2_05);
    m_V2_05->setEnabled(false); // stored only; the operator cannot change it
    m_V2_06 = box("m_V2_06", "c_V2_06", m_switches.m_V2_06);
    m_V2_07 = box("m_V2_07", "c_V2_07", m_switches.m_V2_07);
    m_Write_Logfile = box("m_Write_Logfile", "c_Write_Logfile", m_switches.m_Write_Logfile);

    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(Caption("c_IDOK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName("IDOK");
    ok->setDefault(true);
    buttons->addButton(Caption("c_IDCANCEL"), QDialogButtonBox::RejectRole)->setObjectName("IDCANCEL");
    root->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDialogVersionNumber::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDialogVersionNumber::reject);
}

void CDialogVersionNumber::accept() {
    m_switches.m_V2_04 = m_V2_04->isChecked() ? 1 : 0;
    m_switches.m_V2_05 = m_V2_05->isChecked() ? 1 : 0;
    m_switches.m_V2_06 = m_V2_06->isChecked() ? 1 : 0;
    m_switches.m_V2_07 = m_V2_07->isChecked() ? 1 : 0;
    m_switches.m_Write_Logfile = m_Write_Logfile->isChecked() ? 1 : 0;
    if (!smt::ReportConfigWrite(smt::SaveCpuVersionConfig(m_switches, m_configPath), m_configPath)) return;
    QDialog::accept();
}
