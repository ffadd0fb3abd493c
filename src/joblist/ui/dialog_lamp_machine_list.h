// The lamp table's window ("点灯机参数表") and its point editor ("点灯机参数修改")
// on the double-dispensing machine. They show and edit; the table, the counters
// and the machine actions are joblist/lamp_table.h and joblist/lamp_editor.h.
#pragma once

#include <QDialog>

#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "joblist/lamp_editor.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace smt {


class CDialogLampMachineEdit : public QDialog {
    Q_OBJECT
public:
    explicit CDialogLampMachineEdit(QWidget* parent);

    // The fields show the values; the speed button the manual panel's gear.
    void Load(const LampPointValues& v);
    // The fields read back; false after the message, the bad field focused.
    bool Take(LampPointValues& v);
    void OnOK();

    LampPointValues m_Values;  // what OK left for the list
    QLineEdit* Field(int id) const;
    QPushButton* Button(int id) const;
    // The captions as last loaded (LampMachineEditConfig).
    void ApplyLanguage();

private:
    // A button captioned by its key (none: `text` stays, the same in every language).
    QPushButton* AddButton(int id, const char* key, const QString& text = {});
    void Captioned(QWidget* w, const char* key);
    void ShowPointCaptions();
    void OnButtonPressed(int id);
    LampEditorUi Ui();

    std::map<int, QLineEdit*> m_fields;
    std::map<int, QPushButton*> m_buttons;
    QCheckBox* m_markCheck = nullptr;
    QLabel* m_pointNo = nullptr;
    QLabel* m_platform = nullptr;
    std::vector<std::pair<QWidget*, const char*>> m_captioned;
};

class CDialogLampMachineList : public QDialog {
    Q_OBJECT
public:
    explicit CDialogLampMachineList(QWidget* parent);

    // Window start: the captions of the language (none: as they are), 20 rows
    // from the table, the counters in their fields.
    void OnInitDialog(const std::string& startFolder, const std::string& language = {});
    void ApplyLanguage();
    void OnAddLampPoint();
    void OnEditLampPoint();
    void OnDeleteLampPoint();
    void OnConfirmCounts();
    void OnOK();

    QTableWidget* List() const { return m_list; }
    QLineEdit* CountField(int id) const;
    CDialogLampMachineEdit& Editor() { return *m_DialogLampMachineEdit; }
    // How the editor is run; tests replace it.
    std::function<int(QDialog&)> m_RunModal;

private:
    void ShowRows();
    void ShowCounters();
    void OnItemClicked();

    QTableWidget* m_list = nullptr;
    std::map<int, QLineEdit*> m_counts;
    CDialogLampMachineEdit* m_DialogLampMachineEdit = nullptr;
    std::vector<std::pair<QWidget*, const char*>> m_captioned;
    std::string m_startFolder;
};

} // namespace smt
