// The camera row editor "摄像机编辑": position, corrections per head, angle and
// the vision values of one camera, forwarded to the camera panel while typed so
// the live image shows their effect. Its values stay between openings.
#pragma once

#include <QDialog>

#include <functional>
#include <map>
#include <string>

#include "vision/camera_list.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QGroupBox;

class CDialogCameraEdit : public QDialog {
    Q_OBJECT
public:
    explicit CDialogCameraEdit(smt::CameraList& list, QWidget* parent = nullptr);

    // A row other than the edited one carries the name (set by the list dialog).
    std::function<bool(const std::string& name)> m_NameUsed;

    void SetValues(const smt::CameraEditValues& v) { m_values = v; }
    const smt::CameraEditValues& Values() const { return m_values; }

    // Fields into the edits (forwarding as they change), the camera by name,
    // the captions, the range prompt, the precisions in mm.
    void OnInitDialog();
    void ApplyTexts();

    // Position buttons 1221 (X) and 1222 (Y).
    void OnBnClickedGetX();
    void OnBnClickedGetY();
    void ReportWindowTooLarge();

    QLineEdit* Field(int id) const;

public slots:
    void accept() override;

private:
    QLineEdit* AddEdit(int id);
    bool WindowCheckFails() const;
    bool TakeFields(smt::CameraEditValues& v, bool quiet);
    void OnZoomChanged();
    void OnSizeChanged();
    void OnLightChanged(int id);

    smt::CameraList& m_list;
    smt::CameraEditValues m_values;
    std::map<int, QLineEdit*> m_edits;
    std::map<std::string, QLabel*> m_labels;
    QGroupBox* m_correction = nullptr;
    QGroupBox* m_vision = nullptr;
    QPushButton* m_Ok = nullptr;
    QPushButton* m_Cancel = nullptr;
};
