// The four tab pages of the speed template manager: the speed set (one template
// name per operation type) and the three template classes. They only show the
// manager's state (SpeedTemplateEditor) and report clicks.
#pragma once

#include <QWidget>
#include <string>

#include "settings/speed_captions.h"

class QComboBox;
class QTableWidget;

namespace smt {
class SpeedTemplateEditor;
}

// One template class: a 17-column list of the templates.
class CDialogSpeedClassPage : public QWidget {
    Q_OBJECT
public:
    CDialogSpeedClassPage(int cls, QWidget* parent = nullptr);

    // Column captions from section "SpeedListConfig".
    void LoadSpeedListLanguage(const std::string& startFolder, const std::string& languageName);
    void Fill(const smt::SpeedTemplateEditor& editor);
    int Class() const { return m_class; }
    QTableWidget* List() const { return m_list; }

    // A click on the list (`row` -1 when it hit no row).
    void OnClickList(int row) { emit TemplateClicked(m_class, row); }

signals:
    void TemplateClicked(int cls, int row);

private:
    void ApplyCaptions();

    int m_class;
    QTableWidget* m_list;
    smt::DialogCaptions m_captions;
};

class CDialogSpeedHigh : public CDialogSpeedClassPage {
    Q_OBJECT
public:
    explicit CDialogSpeedHigh(QWidget* parent = nullptr) : CDialogSpeedClassPage(0, parent) {}
};

class CDialogSpeedMedium : public CDialogSpeedClassPage {
    Q_OBJECT
public:
    explicit CDialogSpeedMedium(QWidget* parent = nullptr) : CDialogSpeedClassPage(1, parent) {}
};

class CDialogSpeedLow : public CDialogSpeedClassPage {
    Q_OBJECT
public:
    explicit CDialogSpeedLow(QWidget* parent = nullptr) : CDialogSpeedClassPage(2, parent) {}
};

// The speed set: seven rows, the operation type and its template name; a click on
// a name lays a drop-down of the template names over the cell.
class CDialogSpeedSet : public QWidget {
    Q_OBJECT
public:
    explicit CDialogSpeedSet(smt::SpeedTemplateEditor& editor, QWidget* parent = nullptr);

    // Captions from section "SpeedSetConfig".
    void LoadLanguage(const std::string& startFolder, const std::string& languageName);
    void FillSpeedSetList();
    QTableWidget* List() const { return m_list; }
    QComboBox* Combo() const { return m_combo; }

    // A click on cell (row, column): column 1 opens the drop-down over it.
    void OnClickList(int row, int column);
    // The drop-down is done: its text goes into the cell and it hides.
    void OnKillFocusCombo();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyCaptions();

    smt::SpeedTemplateEditor& m_editor;
    QTableWidget* m_list;
    QComboBox* m_combo;
    int m_editRow = -1;
    smt::DialogCaptions m_captions;
};
