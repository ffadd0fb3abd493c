// The package library window "封装数据库" and its editor "封装编辑": they show and
// edit the package library's table and the editor's fields.
#pragma once

#include <QDialog>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "feeders/pack_library.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

class CDialogPackEdit : public QDialog {
    Q_OBJECT
public:
    explicit CDialogPackEdit(smt::PackLibrary& library, QWidget* parent = nullptr);

    std::function<std::string()> m_StartFolder;

    void LoadLanguage(const std::string& startFolder, const std::string& language);
    void ApplyLanguage();
    // The opening: settings, combos by machine type and strategy, fields shown.
    void OnInitDialog();
    void OnFeedModeChosen(int index);
    void OnNozzleChosen();
    void OnGetData();

    QLineEdit* Field(int id) const { return m_edits.at(id); }
    QCheckBox* Box(int id) const { return m_checks.at(id); }
    QComboBox* Combo(int id) const { return m_combos.at(id); }
    QRadioButton* Vision(int choice) const { return m_vision[choice]; }
    QLabel* FeedCountUnit() const { return m_feedCountUnit; }

public slots:
    void accept() override;

private:
    void ShowFields();
    bool ReadFields(smt::PackEditValues& v);
    QLineEdit* AddEdit(int id);
    QCheckBox* AddCheck(int id);

    smt::PackLibrary& m_library;
    std::map<int, QLineEdit*> m_edits;
    std::map<int, QCheckBox*> m_checks;
    std::map<int, QComboBox*> m_combos;
    std::vector<std::pair<std::string, QWidget*>> m_captioned;  // key, label / box / button
    QRadioButton* m_vision[3]{};
    QButtonGroup* m_visionGroup = nullptr;
    QLabel* m_feedCountUnit = nullptr;
    std::vector<int> m_feedModes;  // feeder-kind index of each feed-mode item
};

class CDialogPackList : public QDialog {
    Q_OBJECT
public:
    explicit CDialogPackList(smt::PackLibrary& library, QWidget* parent = nullptr);

    std::function<std::string()> m_StartFolder;
    std::function<int(QDialog&)> m_RunEditor;
    // The feeder list's UpdateFeedersFromPackage.
    std::function<void(const smt::PackageFeederValues&)> m_UpdateFeeders;

    void OnInitDialog();
    void ApplyLanguage();
    void OnAdd();
    void OnModify();
    void OnDelete();
    void OnHeaderClicked(int column);
    void SelectRow(int row);

    QTableWidget* List() const { return m_List; }
    CDialogPackEdit& Editor() { return *m_Editor; }

public slots:
    void accept() override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FillList();

    smt::PackLibrary& m_library;
    QTableWidget* m_List = nullptr;
    QPushButton* m_Buttons[5]{};  // Add, Modify, Delete, OK, Cancel
    CDialogPackEdit* m_Editor = nullptr;
};
