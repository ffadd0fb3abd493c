// The two-mark calculator's window: sixteen fields, the test button, OK stores
// all sixteen, Cancel nothing. The arithmetic is joblist/cad_two_mark.h.
#pragma once

#include <QDialog>

#include <map>
#include <string>

class QLineEdit;
class QPushButton;

namespace smt {

struct DoubleMarkTestConfig;

class CDialogDoubleMarkTest : public QDialog {
    Q_OBJECT
public:
    explicit CDialogDoubleMarkTest(QWidget* parent);

    // The fields show the stored values.
    void OnInitDialog(const std::string& startFolder);
    void OnTest();
    void OnOK();

    QLineEdit* Field(int id) const;
    QPushButton* TestButton() const { return m_test; }

private:
    // Fields -> values; false (after the message, the field focused) when one is
    // not a number.
    bool TakeFields(DoubleMarkTestConfig& into);

    std::map<int, QLineEdit*> m_fields;
    QPushButton* m_test = nullptr;
    std::string m_startFolder;
};

} // namespace smt
