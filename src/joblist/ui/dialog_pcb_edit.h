// The PCB editor window: shows the editor model's PCB list, panel grid and
// fields, and hands every click to the model.
#pragma once

#include <QDialog>

#include <functional>
#include <map>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QScrollArea;
class QTableWidget;

namespace smt {

class PcbEditor;

class CDialogPCBEdit : public QDialog {
    Q_OBJECT
public:
    CDialogPCBEdit(PcbEditor& model, QWidget* parent);

    // Loads the captions, opens the model and shows it.
    void OnInitDialog(const std::string& startFolder, const std::string& language);
    void ApplyLanguage();

    // Fields <-> controls; false (after the range message) when a field is out of range.
    bool UpdateData(bool fromControls);

    // The handlers, public so that tests drive them as a click would.
    void OnOK();
    void OnBnClickedAdd();
    void OnBnClickedDelete();
    void OnBnClickedPaste();
    void OnBnClickedEdit();
    void OnLbnSelchangePcbList(int row);
    void OnEnChangeRowsCols();
    void OnBnClickedSelectAllCells();
    void OnNMClickPanelGrid(int row, int col);
    void OnBnClickedImportFile();
    void OnCapture(int button);
    void OnVisionEdit(int control);
    void OnLightEdit(int control);
    void OnGet(int button);
    void OnCheckRule(int control);
    void OnCaptionDoubleClick(int control);

    QLineEdit* Edit(int id) const;
    QCheckBox* Check(int id) const;
    QPushButton* Button(int id) const;
    QLabel* Static(int id) const;
    QListWidget* PcbList() const { return m_pcbList; }
    QTableWidget* Grid() const { return m_grid; }
    QSpinBox* Spin(int id) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FitPropertiesWidth();
    void ShowList();
    void ShowGrid();
    void ShowCellCount();
    void FocusRequested();
    QLineEdit* AddEdit(int id);
    QPushButton* AddButton(int id, const QString& text);
    QCheckBox* AddCheck(int id);
    QLabel* AddStatic(int id);

    PcbEditor& m_model;
    QListWidget* m_pcbList = nullptr;
    QTableWidget* m_grid = nullptr;
    QScrollArea* m_rightScroll = nullptr;
    std::map<int, QLineEdit*> m_edits;
    std::map<int, QPushButton*> m_buttons;
    std::map<int, QCheckBox*> m_checks;
    std::map<int, QLabel*> m_statics;
    std::map<int, QSpinBox*> m_spins;
    bool m_showing = false;
};

} // namespace smt
