// The nozzle library's row editor: number, remark, holder and entry positions,
// heights and vacuum, with the take buttons, the uniform-column boxes and the
// Z jog pad of the head chosen in the library. Its values stay between openings.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>

#include "feeders/nozzle_library.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CDialogNozzleEdit : public QDialog {
    Q_OBJECT
public:
    explicit CDialogNozzleEdit(const smt::DialogCaptions& texts, QWidget* parent = nullptr);

    // What the editor asks of the library dialog.
    std::function<bool(int number)> m_NumberTaken;
    std::function<void(smt::UniformColumn, const std::string&)> m_WriteColumn;
    std::function<int()> m_HeadIndex;
    std::function<std::int32_t()> m_ZLimitPulses;

    // The start: captions, the 19-nozzle library's disabled entry fields, the data.
    void Start(bool nineteenLibrary);
    void ApplyLanguage();
    void SetValues(const smt::NozzleEditValues& v);
    const smt::NozzleEditValues& Values() const { return m_values; }

    // Controls by their ids (take buttons 1429, 1430, 1006, 1007, 1005, 1008, 1439,
    // 1440; jog 1485, 1486, 1487, 1254, 1255; uniform 1036, 1037, 1038).
    void OnTake(int id);
    void OnUniform(int id, bool checked);
    void OnJog(int id, bool pressed);

    QLineEdit* Field(int id) const;
    QPushButton* Button(int id) const;

public slots:
    void accept() override;

private:
    bool TakeFields(smt::NozzleEditValues& v);

    const smt::DialogCaptions& m_texts;
    smt::NozzleEditValues m_values;
    std::vector<std::pair<int, QLineEdit*>> m_fields;
    std::vector<std::pair<int, QPushButton*>> m_buttons;
    std::vector<std::pair<std::string, QLabel*>> m_labels;
    std::vector<std::pair<std::string, QCheckBox*>> m_uniforms;
    QPushButton* m_Ok = nullptr;
    QPushButton* m_Cancel = nullptr;
};
