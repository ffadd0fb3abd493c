// The find dialog "查找" of the part list: a text, its row and column in the
// placement list, "查找" and "下一个". The walk and the current row live in the
// part list (joblist/find.h).
#pragma once

#include <QDialog>

#include <string>

#include "joblist/part_list.h"
#include "settings/dialog_captions.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace smt {

// Section FindConfig of the caption files.
DialogCaptions& TheFindTexts();

class CDialogFind : public QDialog {
    Q_OBJECT
public:
    CDialogFind(PartListStore& store, QWidget* parent);

    // Each opening: captions, empty fields, "下一个" off.
    void OnInitDialog(const std::string& startFolder, const std::string& language);
    void LoadLanguage(const std::string& startFolder, const std::string& language);

    void OnFind();
    void OnFindNext();

    QLineEdit* Field(int id) const;
    QPushButton* NextButton() const { return m_next; }

private:
    void Show(const struct FindResult& r);

    PartListStore& m_store;
    QLineEdit *m_text, *m_row, *m_column;
    QLabel *m_textLabel, *m_rowLabel, *m_columnLabel;
    QPushButton *m_find, *m_next, *m_cancel;
};

} // namespace smt
