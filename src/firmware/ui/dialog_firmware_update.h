// The firmware dialog "单片机升级": starts the board update, reads the main board's
// configuration block and writes the travel limits into it. The work runs on a
// worker; what it shows reaches the widgets through the user-interface thread.
#pragma once

#include <QDialog>

#include <array>
#include <string>

#include "firmware/firmware_update.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

class CDialogFirmwareUpdate : public QDialog {
    Q_OBJECT
public:
    CDialogFirmwareUpdate(smt::FirmwareUpdateValues& values, std::string startFolder, QWidget* parent = nullptr);

    // The 28 texts of the language's caption file, then the captions.
    void LoadLanguageTexts(const std::string& startFolder, const std::string& languageName);
    void ApplyLanguage();

    // The connect of the manual control panel and the axis-limit command; the
    // timing of the board jumps (tests shorten it).
    void SetLinkPort(smt::FirmwareLinkPort port) { m_port = std::move(port); }
    void SetTiming(const smt::FirmwareTiming& timing) { m_timing = timing; }
    // The link the work goes over; none: the manual control panel's.
    void SetMachineLink(smt::MachineLink* link) { m_link = link; }

    QLabel* StatusLine() const { return m_statusLine; }
    QLabel* ConfigDisplay() const { return m_configDisplay; }
    QProgressBar* Progress() const { return m_progress; }

public slots:
    void OnUpdate();
    void OnReadConfig();
    void OnWriteLimit();

private:
    void Start(int mode);
    smt::FirmwareJob MakeJob();

    smt::FirmwareUpdateValues& m_values;
    std::string m_startFolder;
    smt::FirmwareLinkPort m_port;
    smt::FirmwareTiming m_timing;
    smt::MachineLink* m_link = nullptr;

    QPushButton* m_update = nullptr;
    QPushButton* m_readConfig = nullptr;
    QPushButton* m_writeLimit = nullptr;
    QGroupBox* m_feedGroup = nullptr;
    QButtonGroup* m_feedSelect = nullptr;
    QLabel* m_statusLine = nullptr;
    QLabel* m_configDisplay = nullptr;
    QProgressBar* m_progress = nullptr;
};
