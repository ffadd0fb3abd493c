// The speed template manager "速度模板管理": the template classes, the speed set,
// the one-key scale, the speed options and the jog steps. Confirming with a class
// page in front makes that class the active one and derives the seven operation
// types' speeds from it. The work is done by SpeedTemplateEditor; this dialog
// shows its state and reads the fields back before each operation.
#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <string>

#include "settings/speed_editor.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class CDialogSpeedClassPage;
class CDialogSpeedSet;

class CDialogSpeedTemplate : public QDialog {
    Q_OBJECT
public:
    enum Page { kSpeedSetPage = 0, kHighPage = 1, kMediumPage = 2, kLowPage = 3 };

    // `lists` are the frame's table rows (speed-set names and speed rows); `language`
    // is the language index, `languageName` "Chinese", "English" or "German".
    CDialogSpeedTemplate(smt::SpeedTemplates& live, smt::FigLists& lists, const std::string& startFolder,
                         int language, const std::string& languageName, int page, QWidget* parent = nullptr);
    ~CDialogSpeedTemplate() override;

    smt::SpeedTemplateEditor& Editor() { return *m_editor; }
    QTabWidget* Tabs() const { return m_tab; }
    CDialogSpeedSet* SpeedSetPage() const { return m_speedSet; }
    CDialogSpeedClassPage* ClassPage(int cls) const { return m_classPages[cls]; }
    bool EditAreaShown() const;

    // The manager's controls, by role, for the view and for tests.
    QPushButton* AddButton() const { return m_add; }
    QPushButton* EditButton() const { return m_editButton; }
    QPushButton* MediumModifyButton() const { return m_mediumModify; }
    QLineEdit* NameField() const { return m_name; }
    QSpinBox* EditField(int cls, int drive, bool run) const { return m_edit[cls * 32 + drive * 2 + (run ? 1 : 0)]; }
    QSpinBox* MediumZoomField() const { return m_mediumZoom; }
    QSpinBox* JogField(int index) const { return m_jog[index]; }
    QCheckBox* ModifyResetBox() const { return m_modifyReset; }
    QCheckBox* ChangeResetBox() const { return m_changeReset; }

    void OnSelchangeTab(int index);
    void OnAddSpeed();
    void OnEditSpeed();
    void OnDeleteSpeed();
    void OnMediumSpeedModify();
    void OnLowSpeedModify();
    void OnModifyResetSpeed();
    void OnClickTemplate(int cls, int row);
    // "确定": confirmation; the dialog closes only when it went through.
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ApplyLanguage();
    void ReadFields();
    void ShowFields();
    void Refresh();

    std::unique_ptr<smt::SpeedTemplateEditor> m_editor;
    QTabWidget* m_tab = nullptr;
    CDialogSpeedSet* m_speedSet = nullptr;
    std::array<CDialogSpeedClassPage*, smt::kSpeedClassCount> m_classPages{};
    QWidget* m_editArea = nullptr;

    QGroupBox* m_scaleGroup = nullptr;
    QLabel* m_mediumZoomLabel = nullptr;
    QLabel* m_lowZoomLabel = nullptr;
    QSpinBox* m_mediumZoom = nullptr;
    QSpinBox* m_lowZoom = nullptr;
    QPushButton* m_mediumModify = nullptr;
    QPushButton* m_lowModify = nullptr;
    QCheckBox* m_modifyReset = nullptr;
    QCheckBox* m_changeReset = nullptr;
    QCheckBox* m_optimizeFar = nullptr;
    QSpinBox* m_accel = nullptr;
    QLabel* m_speedValve = nullptr;
    QCheckBox* m_maxLimit = nullptr;
    QSpinBox* m_maxLimitValue = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_editButton = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;

    QGroupBox* m_customGroup = nullptr;
    QLabel* m_nameLabel = nullptr;
    QLineEdit* m_name = nullptr;
    std::array<QLabel*, smt::kSpeedClassCount> m_classLabels{};
    std::array<QLabel*, 2 * smt::kSpeedClassCount> m_startRunLabels{};
    std::array<QLabel*, smt::kSpeedDriveCount> m_driveLabels{};
    std::array<QSpinBox*, smt::kSpeedEditValues> m_edit{};
    QLabel* m_note = nullptr;
    QGroupBox* m_jogGroup = nullptr;
    std::array<QLabel*, 20> m_jogLabels{};
    std::array<QSpinBox*, 20> m_jog{};
};
