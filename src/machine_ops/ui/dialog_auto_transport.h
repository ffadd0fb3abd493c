// The conveyor panel "自动送板操作": shows and edits the live conveyor's settings,
// starts its operations and shows their progress. The operations themselves are
// machine code (machine_ops/auto_transport.h); this dialog only takes the fields,
// sets the belt values and starts them.
#pragma once

#include <QDialog>

#include <functional>
#include <map>
#include <string>

#include "machine_ops/auto_transport.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace smt {
class NamedSteps;
}

class CDialogAutoTransport : public QDialog {
    Q_OBJECT
public:
    explicit CDialogAutoTransport(smt::AutoTransport& transport, QWidget* parent = nullptr);
    ~CDialogAutoTransport() override;
    // The hooks by which machine code shows on this panel (posted to this thread);
    // the program's wiring calls it once the view holds the panel.
    void FillPanelHooks();

    // "AutoTransport.LoadConfig" and "AutoTransport.LoadLanguage" of the view's steps.
    void WireSteps(smt::NamedSteps& firstUpdate, smt::NamedSteps& creation, smt::NamedSteps& languageChange);

    void LoadConfig(const std::string& startFolder);
    bool SaveConfig(const std::string& startFolder) const;
    void LoadLanguageTexts(const std::string& startFolder, const std::string& language);
    void ApplyLanguage();

    // Each opening: the first time the as-conveyor box and the width counter, then
    // captions, members into the fields and the test buttons.
    void OnInitDialog();
    void EnableTestButtons(bool enable);
    void EnableResetButton();
    void ShowStep(int step);

    // Takes every field into the settings; false (after the message) at the
    // first bad one.
    bool TakeFields();
    // The members into the fields.
    void ShowFields();

    // What the panel needs of its neighbours (empty: nothing happens).
    std::function<std::int32_t()> m_SRunSteps;        // the manual panel's S step
    std::function<void(bool)> m_EnablePcbClamp;       // the part list's button 110
    std::string m_StartFolder;

    QWidget* Control(int id) const;

public slots:
    void accept() override;
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnButton(int id);
    void OnCheck(int id, bool checkedBefore);
    void StartWithBelts(int control);
    void ShowWidth(double width);
    bool RefuseWhileRunning();

    smt::AutoTransport& m_transport;
    std::map<int, QWidget*> m_controls;
    std::map<int, QLineEdit*> m_edits;
    QLabel* m_step = nullptr;
    QLabel* m_resetWidthLabel = nullptr;
    QLabel* m_rangeLabel = nullptr;
    bool m_firstOpening = true;
};
