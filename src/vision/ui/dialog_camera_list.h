// The camera management dialog "视觉对中摄像机管理": the camera rows with add,
// modify and delete through the row editor, the standard piece, the camera-switch
// delay, the common correction, the camera switches and fly-over settings, and the
// row menu that starts the calibration procedures.
#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "vision/camera_list.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableWidget;

class CDialogCameraEdit;

class CDialogCameraList : public QDialog {
    Q_OBJECT
public:
    explicit CDialogCameraList(smt::CameraList& list, QWidget* parent = nullptr);

    // Where config.ini and the table file live; how the editor is run (tests
    // answer it without a modal loop); the feeders' camera cells and the marking
    // of those without a camera (image 4 of their camera column).
    std::function<std::string()> m_StartFolder;
    std::function<int(QDialog&)> m_RunEditor;
    std::function<std::vector<std::string>()> m_FeederCameras;
    std::function<void(const std::vector<int>& rows)> m_MarkFeeders;

    void OnInitDialog();
    void ApplyTexts();

    void OnBnClickedAddCamera();
    void OnBnClickedEditCamera();
    void OnBnClickedDeleteCamera();
    void OnBnClickedBaseX();
    void OnBnClickedBaseY();
    void OnBnClickedBaseZ();
    void OnBnClickedHighSpeedCamera();
    void OnBnClickedFlyCamera();
    void OnBnClickedSettings();
    void OnStnDblclkActivation();
    void OnBnClickedFlyTest();
    // A right click on `row` (-1: beside the rows): the menu, or null after its message.
    QMenu* OnListRClick(int row);
    void OnMenuCommand(int command);
    // The calibration's results: the table's cells into the list, the trigger values
    // into their edits.
    void ShowCalibrationResults();
    void SelectRow(int row);

    std::vector<smt::CameraCells> ListRows() const;
    int SelectedRow() const { return m_SelectedRow; }
    QTableWidget* List() const { return m_List; }
    CDialogCameraEdit* Editor() const { return m_Editor; }
    QLineEdit* Field(int id) const;
    QCheckBox* Check(int id) const;
    QPushButton* Button(int id) const;

public slots:
    void accept() override;
    void reject() override;

private:
    QLineEdit* AddEdit(int id, QWidget* parent);
    QCheckBox* AddCheck(int id, QWidget* parent);
    QPushButton* AddButton(int id, QWidget* parent);
    void FillList();
    void SetRow(int row, const smt::CameraCells& cells);
    void Stripe();
    void ReadListIntoTable();
    // Image 4 on the camera column of the feeders that name no camera of `rows`.
    void MarkFeedersWithoutCamera(const std::vector<smt::CameraCells>& rows);
    bool RefuseWhileRunning() const;
    bool TakeFields(smt::CameraListSettings& s);
    void ShowSettings(const smt::CameraListSettings& s);
    void PrepareFlyCamera();
    bool eventFilter(QObject* watched, QEvent* event) override;

    smt::CameraList& m_list;
    int m_SelectedRow = -1;
    int m_CameraOperation = 0;
    QTableWidget* m_List = nullptr;
    CDialogCameraEdit* m_Editor = nullptr;
    std::map<int, QLineEdit*> m_edits;
    std::map<int, QCheckBox*> m_checks;
    std::map<int, QPushButton*> m_buttons;
    std::map<int, QGroupBox*> m_groups;
    std::map<int, QLabel*> m_labels;
};
