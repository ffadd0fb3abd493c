// The pulse settings dialog "脉冲设置": the twelve pulse factors, the pulse
// generator, the pulse check and the test run of one drive. It shows and edits
// the live PulseSettings; OK saves them and re-derives the pulse values.
#pragma once

#include <QDialog>

#include <array>
#include <string>
#include <vector>

#include "settings/pulse_settings.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QRadioButton;

class CDialogSetPulse : public QDialog {
    Q_OBJECT
public:
    CDialogSetPulse(smt::PulseSettings& values, std::string configPath, int machineType,
                    QWidget* parent = nullptr);

    QLineEdit* FactorEdit(int row) const { return m_factorEdits.at(row); }
    QComboBox* PickList() const { return m_pickList; }

public slots:
    void OnProducePulse();
    void OnRunTest();
    void OnVerifyPulse();
    void accept() override; // OK

private:
    void ApplyLanguage();
    // Shows the members in the fields.
    void ShowMembers();
    // Takes the fields into the members in order; stops at the first bad field.
    bool TakeFields();
    const smt::PulseDrive* SelectedDrive() const;

    smt::PulseSettings& m_values;
    std::string m_configPath;
    int m_machineType;
    std::vector<smt::PulseDrive> m_drives;

    std::array<QLineEdit*, 12> m_factorEdits{};
    QLineEdit* m_StepAngle = nullptr;
    QLineEdit* m_SubDivide = nullptr;
    QLineEdit* m_DiameterOrScrewPitch = nullptr;
    QButtonGroup* m_DriveModel = nullptr;
    QLineEdit* m_LinearPulse = nullptr;
    QLineEdit* m_AnglePulse = nullptr;
    QComboBox* m_pickList = nullptr;
    QLineEdit* m_RunTest = nullptr;
    QLineEdit* m_DistanceTest = nullptr;
    QLineEdit* m_VerifyPulseValue = nullptr;
};
