// The dipping station dialog "浸渍站设置": position, film depth and timings of the
// station, with teach buttons, the station output, head 1 to the station and the
// station's height measurement.
#pragma once

#include <QDialog>

#include <string>

#include "machine_ops/dipping_station.h"

class QCheckBox;
class QLineEdit;

class CDialogDippingStation : public QDialog {
    Q_OBJECT
public:
    explicit CDialogDippingStation(QWidget* parent = nullptr);
    ~CDialogDippingStation() override;
    void SetStartFolder(std::string folder) { m_startFolder = std::move(folder); }
    bool IsOpen() const { return m_open; }

public slots:
    void accept() override;
    void done(int result) override;
    void OnTeachX();
    void OnTeachY();
    void OnTeachZ();
    void OnStationOutput();
    void OnHead1ToStation();
    void OnMeasureZ();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ApplyLanguage();
    void ShowMembers();
    // Takes the fields into the live settings; false (nothing taken) at the first bad field.
    bool TakeFields();
    void Teach(smt::DippingAxis axis, QLineEdit* edit);

    std::string m_startFolder;
    bool m_open = false;
    QCheckBox* m_DippingStation = nullptr;
    QLineEdit* m_X = nullptr;
    QLineEdit* m_Y = nullptr;
    QLineEdit* m_Z = nullptr;
    QLineEdit* m_Film = nullptr;
    QLineEdit* m_RunTime = nullptr;
    QLineEdit* m_StopDelay = nullptr;
    QLineEdit* m_Delay = nullptr;
};
