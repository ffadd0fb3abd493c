// The manual control panel in the left column of the main view: connect and reset
// buttons, jog buttons per machine type, pump boxes, position fields, counters,
// the per-nozzle values and the command trace. Machine work never runs here: the
// buttons start workers, and the link reaches the widgets only through posted tasks.
#pragma once

#include <QFrame>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "link/manual_control.h"
#include "link/position_counters.h"

class QAbstractButton;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QGroupBox;

namespace smt {

class NamedSteps;
struct StepContext;

class CDialogManualControl : public QFrame {
    Q_OBJECT
public:
    explicit CDialogManualControl(QWidget* parent);
    ~CDialogManualControl() override;

    QSize sizeHint() const override { return {530, 420}; }
    // Every control and a few lines of the trace box.
    QSize minimumSizeHint() const override { return {530, 330}; }

    // Loads the captions of `context` and fills the view's language-change step.
    void WireSteps(NamedSteps& languageSteps, const StepContext& context);

    void LayoutManualControlForModel(int machineType);
    void LoadManualControlTexts(const std::string& folder, const std::string& language);
    void SetManualControlTexts();
    void LoadManualControlConfig(const std::string& configPath);
    bool SaveManualControlConfig(const std::string& startFolder) const;

    // User-interface thread only (the link posts to these).
    void AppendCommTrace(const std::string& text, bool newline);
    void ShowPosition(PositionField field, const std::string& text);
    void EnableManualControls(bool flag);
    // Ticks pump boxes without switching anything: selector 0 all eight, 1..8 one.
    void SetNozzleChecks(int selector, bool checked);
    void ShowCounters(std::int32_t commands, std::int32_t replies);
    void ShowNozzleValues(const std::array<std::uint8_t, 8>& values);
    void SetConnectCaption(const std::string& text);

    // The connect button (button 1135) and the reset button's left click.
    void OnConnect();
    void OnResetButton();
    // Runs a reset menu item as chosen from the menu (greyed items do nothing).
    void OnResetMenuItem(int id);
    // The menu of a right click on the reset button, captioned for the machine type.
    std::unique_ptr<class QMenu> BuildResetMenu();

    // Jog, speed gear, pump and feeder-bank handlers are wired by the manual jog
    // code: `pressed` is true on press, false on release (check boxes: checked).
    void SetControlHandler(std::function<void(int id, bool pressed)> handler);

    // A control by its identifier (mc::...), null when the panel has none.
    QWidget* Control(int id) const;
    const ManualControlConfig& Config() const { return m_config; }
    ManualControlConfig& Config() { return m_config; }
    int HeadGroup() const { return m_headGroup; }
    void SetHeadGroup(int group);
    int MachineType() const { return m_machineType; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QAbstractButton* addButton(int id, const QString& text, bool check = false);
    QLineEdit* addField(int id);
    void installLinkHooks();
    void removeLinkHooks();
    void place(int id, int x, int y, int w, int h);
    void showControl(int id, bool on);
    void applyFeedBankIcon();
    // Caption and enabled state after the link went down or came back.
    void FollowConnection();
    void fitCoordinatesTitle();

    std::map<int, QWidget*> m_controls;
    QPlainTextEdit* m_trace = nullptr;
    QGroupBox* m_coordinates = nullptr;
    ManualControlConfig m_config;
    int m_machineType = 0;
    int m_headGroup = 1;
    bool m_initialised = false;
    bool m_shownConnected = false;
    std::function<void(int, bool)> m_controlHandler;
};

}  // namespace smt
