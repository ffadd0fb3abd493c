// The three row editors of the part list: placement ("元件属性"), dispensing
// and drilling ("钻孔编辑"). Each shows and edits the values the row commands
// keep (joblist/row_commands.h); the position, "Z", jog and "Set" buttons act on
// the machine directly.
#pragma once

#include <QDialog>

#include <functional>
#include <map>
#include <string>

#include "joblist/row_commands.h"
#include "settings/dialog_captions.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace smt {

DialogCaptions& ThePartProperTexts();   // section PartProperConfig
DialogCaptions& ThePartEditDisTexts();  // section PartEditDisConfig
DialogCaptions& ThePartEditDrillTexts();  // section PartEditDrillConfig

// The buttons the three editors share: "X", "Y", "CX", "CY", the jogs and "Set".
class CRowEditorBase : public QDialog {
    Q_OBJECT
public:
    CRowEditorBase(RowCommands& commands, QWidget* parent);
    QWidget* Control(int id) const;
    // The jog of a button pressed (or released: any release ends the jog).
    void OnJog(int id, bool pressed);
    void OnPositionButton(int id);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    QLineEdit* AddEdit(int id);
    QPushButton* AddButton(int id, const QString& text);
    // The buttons row at the bottom of the grid.
    void AddMachineButtons(QGridLayout* grid, int row, bool zButton);
    virtual void TakePosition(bool y, const std::string& text) = 0;
    virtual void OnZ() {}
    virtual bool SecondTableForCamera() const { return false; }
    RowCommands& m_commands;
    std::map<int, QWidget*> m_controls;
    bool m_loading = false;
};

class CDialogPartEditSmt : public CRowEditorBase {
    Q_OBJECT
public:
    CDialogPartEditSmt(RowCommands& commands, QWidget* parent);
    // Captions, combos, selections; offsets 0, flags clear, open flag set.
    void OnInitDialog(const std::string& startFolder, const std::string& language);
    void ReadBack();
    void OnOK();
    void OnOpenFeeder();
    void OnFeederChosen();
    // The feeder editor's OK: the current item becomes the identifier, first and selected.
    void SetFeederItem(const std::string& id);

private:
    void TakePosition(bool y, const std::string& text) override;
    bool SecondTableForCamera() const override;
    void Show();
    PartEditValues& V() { return m_commands.m_PartEdit; }
    std::map<int, QLabel*> m_labels;
};

class CDialogPartEditDis : public CRowEditorBase {
    Q_OBJECT
public:
    CDialogPartEditDis(RowCommands& commands, QWidget* parent);
    void OnInitDialog(const std::string& startFolder, const std::string& language);
    bool ReadBack();
    void OnOK();
    void OnZ() override;

private:
    void TakePosition(bool y, const std::string& text) override;
    void Show();
    std::map<int, QLabel*> m_labels;
};

class CDialogPartEditDrill : public CRowEditorBase {
    Q_OBJECT
public:
    CDialogPartEditDrill(RowCommands& commands, QWidget* parent);
    void OnInitDialog(const std::string& startFolder, const std::string& language);
    bool ReadBack();
    void OnOK();
    void OnZ() override;

private:
    void TakePosition(bool y, const std::string& text) override;
    void Show();
    std::map<int, QLabel*> m_labels;
};

} // namespace smt
