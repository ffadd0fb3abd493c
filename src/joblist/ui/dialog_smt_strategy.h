// The placement strategy dialog "贴装方案选择": shows and edits the live strategy
// (joblist/smt_strategy.h) and holds the cover-tape page it opens.
#pragma once

#include <QDialog>

#include <functional>
#include <map>
#include <string>

#include "joblist/part_list.h"
#include "joblist/smt_strategy.h"
#include "settings/dialog_captions.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace smt {

// Section SmtStrategyConfig of the caption files.
DialogCaptions& TheSmtStrategyTexts();

class CDialogSMTStrategy : public QDialog {
    Q_OBJECT
public:
    CDialogSMTStrategy(PartListStore& store, QWidget* parent);

    // Each opening: captions, the live values adjusted for the machine type, shown.
    void OnInitDialog(const std::string& startFolder, const std::string& language);
    void LoadLanguage(const std::string& startFolder, const std::string& language);
    void ApplyLanguage();
    void ApplyMachineType();

    // The handlers, public so that tests drive them as a click would.
    void OnOK();
    void OnSelectHeadSameNozzle();
    void OnChangeA1A2();
    void OnNoChangeA1();
    void OnNoChangeA2();
    void OnAutoChangeNozzle();
    void On19NozzleLibrary();
    void OnEnable19NozzleLibrary();
    void OnCover();
    void OnCoverSettings();
    void OnResetPartNumber();

    // A control by name: "head0".."head8", "run0".."run12", "order0".."order9",
    // "nozzle0".."nozzle2", a check or button by its caption key ("c_Cover"), an
    // edit by its member ("m_Interval").
    QWidget* Control(const std::string& name) const;
    // The values as the dialog shows them (taken at OK).
    const SmtStrategyConfig& Values() const { return m_values; }

    // "设置" of the cover-tape unit: opens the settings' cover-tape page (filled
    // by the job lists' wiring; unset: nothing).
    std::function<void()> m_OpenCoverTape;
    std::function<int(QDialog&)> m_RunModal;

private:
    void ShowValues();
    // The controls into `into`; false after the message when one does not fit.
    bool TakeValues(SmtStrategyConfig& into);
    void RestartMessage();
    QRadioButton* Radio(const std::string& name) const;
    QCheckBox* Check(const std::string& key) const;
    QLineEdit* Edit(const std::string& member) const;

    PartListStore& m_store;
    SmtStrategyConfig m_values;
    std::string m_startFolder, m_language;
    std::map<std::string, QWidget*> m_controls;
    std::map<std::string, QWidget*> m_captioned;  // caption key -> control
    std::map<std::string, QWidget*> m_createdDisabled;
};

} // namespace smt
