// The nozzle library dialog "吸嘴库管理": the holders with their positions, the
// head box and the heads' mounted nozzles, the library output, the library's
// settings, the row editor and the row menu of the hand operations.
#pragma once

#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "feeders/nozzle_library.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableWidget;

class CDialogNozzleEdit;

class CDialogNozzleList : public QDialog {
    Q_OBJECT
public:
    explicit CDialogNozzleList(smt::NozzleLibrary& library, QWidget* parent = nullptr);
    ~CDialogNozzleList() override;

    // Where the library and config.ini live; the view's Z travel limit in pulses;
    // how the editor is run (tests answer it without a modal loop).
    std::function<std::string()> m_StartFolder;
    std::function<std::int32_t()> m_ZLimitPulses;
    std::function<int(QDialog&)> m_RunEditor;

    // The dialog's start: list, head box, library kind, in-holder flags, heads.
    void OnInitDialog();
    void ApplyLanguage();

    // The list's rows into the cell table.
    void ListToTable();
    void SetColumnText(int column, const std::string& text);
    void ShowHeadNozzle(int head, const std::string& text);
    std::vector<smt::NozzleRow> ListRows() const;

    // Buttons and menu (public for the tests, as the dialog's handlers).
    void OnAdd();
    void OnEdit();
    void OnDelete();
    void OnLibraryCheck(bool checked);
    void SelectRow(int row);
    // The row menu for a right click on `row` (-1: none); null when no menu opens.
    QMenu* BuildRowMenu(int row);
    void OnMenuCommand(int id);

    int SelectedRow() const { return m_SelectedRow; }
    int HeadIndex() const { return m_HeadIndex; }
    QTableWidget* List() const { return m_List; }
    QComboBox* HeadBox() const { return m_Head; }
    QLabel* HeadStatic(int head) const { return m_HeadStatic[head - 1]; }
    CDialogNozzleEdit* Editor() const { return m_Editor; }
    QCheckBox* LibraryCheck() const { return m_LibraryCheck; }

public slots:
    void accept() override;

private:
    void FillList();
    void SetRow(int row, const smt::NozzleRow& cells, int image);
    void Stripe();
    bool RunEditorFor(int row);

    smt::NozzleLibrary& m_library;
    int m_SelectedRow = -1;
    int m_HeadIndex = 0;
    QTableWidget* m_List = nullptr;
    QComboBox* m_Head = nullptr;
    QLabel* m_HeadLabel = nullptr;
    std::array<QLabel*, 8> m_HeadStatic{};
    QCheckBox* m_LibraryCheck = nullptr;
    QCheckBox* m_InAndOutExtern = nullptr;
    QLabel* m_DistanceLabel = nullptr;
    QLineEdit* m_Distance = nullptr;
    QLabel* m_DelayLabel = nullptr;
    QLineEdit* m_Delay = nullptr;
    QPushButton* m_Add = nullptr;
    QPushButton* m_EditButton = nullptr;
    QPushButton* m_DeleteButton = nullptr;
    QPushButton* m_Ok = nullptr;
    QPushButton* m_Cancel = nullptr;
    CDialogNozzleEdit* m_Editor = nullptr;
};
