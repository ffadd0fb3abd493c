// The independent mark library window "独立MARK点数据库" and its editor "Mark点编辑".
#pragma once

#include <QDialog>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "feeders/mark_library.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

class CDialogMarkEdit : public QDialog {
    Q_OBJECT
public:
    explicit CDialogMarkEdit(smt::MarkLibrary& library, QWidget* parent = nullptr);

    void ApplyLanguage();
    void OnInitDialog();
    // "CX" / "CY" from the position counters and the one-key clear's bases.
    void OnCaptureX();
    void OnCaptureY();

    QLineEdit* Field(int id) const { return m_edits.at(id); }
    QCheckBox* Reverse() const { return m_reverse; }

public slots:
    void accept() override;

private:
    void ShowFields();
    bool ReadFields(smt::MarkEditValues& v);
    void ShowDeviation();

    smt::MarkLibrary& m_library;
    std::map<int, QLineEdit*> m_edits;
    QCheckBox* m_reverse = nullptr;
    std::vector<std::pair<std::string, QWidget*>> m_captioned;
};

class CDialogMarkList : public QDialog {
    Q_OBJECT
public:
    explicit CDialogMarkList(smt::MarkLibrary& library, QWidget* parent = nullptr);

    std::function<std::string()> m_StartFolder;
    std::function<int(QDialog&)> m_RunEditor;

    void OnInitDialog();
    void ApplyLanguage();
    void OnAdd();
    void OnModify();
    void OnDelete();
    void OnHeaderClicked(int column);
    void SelectRow(int row) { m_library.m_Remembered = row; }

    QTableWidget* List() const { return m_List; }
    CDialogMarkEdit& Editor() { return *m_Editor; }

public slots:
    void accept() override;

private:
    void FillList();

    smt::MarkLibrary& m_library;
    QTableWidget* m_List = nullptr;
    QPushButton* m_Buttons[5]{};
    CDialogMarkEdit* m_Editor = nullptr;
};
