// The basic settings dialog "基本设置": edits the live basic settings, disables
// what the machine type lacks, fills coordinate fields from the machine's
// position with the teach buttons, starts the reference height measurement and
// opens the origin update and limit detour dialogs. OK validates, saves and
// re-derives everything that depends on the settings.
#pragma once

#include <QDialog>

#include <functional>
#include <map>
#include <string>

#include "settings/basic_settings.h"
#include "machine_ops/ui/dialog_origin_update.h"
#include "machine_ops/ui/dialog_position_limit_detour.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QLineEdit;
class QPushButton;

class CDialogSetBasic : public QDialog {
    Q_OBJECT
public:
    explicit CDialogSetBasic(QWidget* parent = nullptr);
    ~CDialogSetBasic() override;

    void SetStartFolder(std::string folder);
    // How the two held dialogs are run; tests replace it to avoid modal loops.
    std::function<int(QDialog&)> m_RunModal;

    CDialogOriginUpdate m_DialogOriginUpdate;
    CDialogPositionLimitDetour m_DialogPositionLimitDetour;

    // The control of a member (edit box or check box), null for none.
    QLineEdit* Edit(const std::string& member) const;
    QCheckBox* Check(const std::string& member) const;
    QPushButton* TeachButton(int id) const;

public slots:
    void accept() override;
    void done(int result) override;
    void OnTeach(int id);
    void OnBnClickedAutoZ();
    void OnBnClickedUpdateOrigin();
    void OnBnClickedPositionLimitDetour();
    void OnBnClickedOnlineToReset(bool checked);
    void OnBnClickedDebugModel(bool checked);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    QLineEdit* AddEdit(QGridLayout* grid, int row, int column, const char* member);
    QPushButton* AddTeach(QGridLayout* grid, int row, int column, int id);
    QCheckBox* AddCheck(QWidget* parent, const char* captionKey, const char* member);
    void ApplyLanguage();
    void ApplyMachineType(int machineType);
    void ShowMembers();
    bool TakeFields(smt::BasicSettings& s);

    std::string m_startFolder;
    std::map<std::string, QLineEdit*> m_edits;
    std::map<std::string, QCheckBox*> m_checks;
    std::map<int, QPushButton*> m_teach;
    QButtonGroup* m_CameraLens = nullptr;
    QButtonGroup* m_CommModel = nullptr;
};

