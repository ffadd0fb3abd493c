// The firmware switches dialog "CPU 版本号": five check boxes over the live
// VersionSwitches. OK takes the boxes and saves; Cancel changes nothing.
#pragma once

#include <QDialog>

#include <string>

#include "settings/version_switches.h"

class QCheckBox;

class CDialogVersionNumber : public QDialog {
    Q_OBJECT
public:
    CDialogVersionNumber(smt::VersionSwitches& switches, std::string configPath, QWidget* parent = nullptr);

public slots:
    void accept() override;

private:
    smt::VersionSwitches& m_switches;
    std::string m_configPath;
    QCheckBox* m_V2_04 = nullptr;
    QCheckBox* m_V2_05 = nullptr;
    QCheckBox* m_V2_06 = nullptr;
    QCheckBox* m_V2_07 = nullptr;
    QCheckBox* m_Write_Logfile = nullptr;
};
