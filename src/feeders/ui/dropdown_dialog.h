// The common drop-down lists "常用下拉列表参数": one page per list, edited in place
// and written to "config_dropdown.fig" at OK.
#pragma once

#include <QDialog>
#include <QWidget>

#include <functional>
#include <string>

#include "feeders/dropdown_lists.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

// The four pages are alike: a list box whose selection the dialog follows.
class CDialogListPage : public QWidget {
    Q_OBJECT
public:
    explicit CDialogListPage(const char* name, QWidget* parent = nullptr);
    QListWidget* List() const { return m_List; }

private:
    QListWidget* m_List = nullptr;
};
class CDialogListPartName : public CDialogListPage {
public:
    explicit CDialogListPartName(QWidget* p = nullptr) : CDialogListPage("CDialogListPartName", p) {}
};
class CDialogListPartType : public CDialogListPage {
public:
    explicit CDialogListPartType(QWidget* p = nullptr) : CDialogListPage("CDialogListPartType", p) {}
};
class CDialogListPartPacking : public CDialogListPage {
public:
    explicit CDialogListPartPacking(QWidget* p = nullptr) : CDialogListPage("CDialogListPartPacking", p) {}
};
class CDialogListPartAngle : public CDialogListPage {
public:
    explicit CDialogListPartAngle(QWidget* p = nullptr) : CDialogListPage("CDialogListPartAngle", p) {}
};

class CDialogDropDownParameter : public QDialog {
    Q_OBJECT
public:
    explicit CDialogDropDownParameter(QWidget* parent = nullptr);

    std::function<std::string()> m_StartFolder;

    void LoadLanguage(const std::string& startFolder, const std::string& language);
    void ApplyLanguage();
    void OnInitDialog();
    void OnTabChanged(int tab);
    void OnSelect(int item);
    void OnAdd();
    void OnModify();
    void OnDelete();
    void OnImport();

    QTabWidget* Tabs() const { return m_Tabs; }
    QLineEdit* Edit() const { return m_Edit; }
    QListWidget* PageList(int page) const { return m_Pages[page]->List(); }
    const smt::DropDownLists& Lists() const { return m_lists; }

public slots:
    void accept() override;

private:
    void ShowPage(int page);
    void Refused(const std::string& key, bool selectText);

    smt::DialogCaptions m_texts;
    smt::DropDownLists m_lists;
    QTabWidget* m_Tabs = nullptr;
    CDialogListPage* m_Pages[smt::kDropDownLists]{};
    QLineEdit* m_Edit = nullptr;
    QPushButton* m_Buttons[7]{};  // add, modify, delete, OK, cancel, import, empty
    QCheckBox* m_CheckImport = nullptr;
    bool m_filling = false;
};
