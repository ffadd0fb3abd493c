// The cover-tape page "封皮设置": shows and edits the unit's settings and counters
// and starts its six tests. Owned by the view until the placement strategy
// dialog of the part list takes it over.
#pragma once

#include <QDialog>

#include <map>
#include <optional>
#include <string>

#include "machine_ops/cover_tape.h"

class QLineEdit;
class QPushButton;

namespace smt {
class NamedSteps;
}

class CDialogSetCover : public QDialog {
    Q_OBJECT
public:
    explicit CDialogSetCover(smt::CoverTape& tape, QWidget* parent = nullptr);
    ~CDialogSetCover() override;

    // "SetCover.LoadConfig" of the view's first update.
    void WireSteps(smt::NamedSteps& firstUpdate);

    void LoadConfig(const std::string& startFolder);
    bool SaveConfig(const std::string& startFolder) const;
    bool SaveCounters(const std::string& startFolder) const;
    // Captions from the language file, then the members into the fields.
    void LoadLanguage(const std::string& startFolder, const std::string& language);
    // Each opening: the section, then the captions.
    void OnInitDialog(const std::string& startFolder, const std::string& language);

    // The fields as numbers; nothing (after the message) when one is no number.
    std::optional<smt::SetCoverConfig> ReadFields();
    void ShowFields();
    void OnTestButton(smt::CoverTest test);

    QLineEdit* Edit(int id) const;
    QPushButton* TestButton(smt::CoverTest test) const;

    std::string m_StartFolder;

public slots:
    void accept() override;

private:
    smt::CoverTape& m_tape;
    std::map<int, QLineEdit*> m_edits;
    std::map<int, QPushButton*> m_buttons;
};
