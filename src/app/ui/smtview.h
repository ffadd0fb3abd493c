// The main view: owns the four panels and the conveyor's settings dialog (the
// other settings dialogs are the subsystems', opened through m_DialogOpeners), loads
// the configuration once at the first update, holds the view's messages, the
// travel limits in pulses and the positioning flags, and dispatches the settings,
// panel and positioning commands.
#pragma once

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "app/viewcore.h"
#include "base/ui/program_view.h"
#include "feeders/ui/dialog_feed_list.h"
#include "joblist/job_lists.h"
#include "joblist/ui/dialog_part_list.h"
#include "link/ui/manual_control_dialog.h"
#include "machine_ops/ui/dialog_auto_transport.h"
#include "vision/ui/dialogsetview.h"

namespace smt {

class CMainFrame;

class CSMTView : public QWidget, public ProgramView {
    Q_OBJECT
public:
    // The view's creation: start folder, language, machine type, menu captions,
    // camera panel, manual control panel, dialog captions.
    explicit CSMTView(CMainFrame* frame);
    ~CSMTView() override;

    // The first update: runs the load steps once per process.
    void OnInitialUpdate();

    // Settings-menu, panel, reset-to-origin and positioning commands.
    void OnCommand(int id);
    // Places a list panel over the list area (slot 1 feeder list, 2 part list).
    void PlacePanel(QWidget* panel, int slot);
    // The feeder-list (32813) and part-list (32891) toolbar commands.
    void OnFeedListCommand();
    void OnPartListCommand();
    // Creates the list panels that do not exist yet, placed and shown (new document).
    void EnsureListPanels() override;

    void RecomputeLimitPulses(double xLimit, double yLimit, double zLimit, double xPulse,
                              double yPulse, double zPulse);
    void ComputePositionPulses();
    // The travel limits in pulses, handed on to the command functions' limit checks.
    void SetLimitPulses(const LimitPulses& limits);

    CMainFrame* Frame() const { return m_frame; }
    JobLists& Job() { return m_job; }

    // Ordered, named steps that the subsystems fill through the program's wiring.
    NamedSteps& FirstUpdateSteps() override { return m_firstUpdateSteps; }
    NamedSteps& CreationCaptionSteps() override { return m_creationSteps; }
    NamedSteps& LanguageChangeSteps() override { return m_languageSteps; }

    // What the subsystems' wiring sees of the view (base/ui/program_view.h).
    QWidget* Widget() override { return this; }
    QWidget* Panel(ViewPanel panel) const override;
    std::string StartFolder() const override;
    std::string LanguageName() const override;
    int RunModal(QDialog& dialog) override { return m_RunModal(dialog); }
    void SetDialogOpener(int id, std::function<void(int id)> open) override { m_DialogOpeners[id] = std::move(open); }
    void OpenDialog(int id) override;
    std::int32_t ZLimitPulses() const override { return m_LimitPulses.z; }

    // How a settings dialog is run; tests replace it to avoid modal loops.
    std::function<int(QDialog&)> m_RunModal;
    // The real dialog of a settings command, registered by its subsystem; a
    // command with none is reported as a wiring fault.
    std::map<int, std::function<void(int id)>> m_DialogOpeners;

    // ---- panels ----
    QPointer<CDialogSetView> m_pSetView;
    QPointer<CDialogManualControl> m_pManualControl;
    QPointer<CDialogFeedList> m_pFeedList;
    QPointer<CDialogPartList> m_pPartList;

    // ---- the settings dialogs held by the view (the others are built per opening) ----
    CDialogAutoTransport m_DialogAutoTransport{TheAutoTransport(), this};

    int m_LeftColumnWidth = 0;
    int m_LeftColumnHeight = 0;
    ViewMessages m_Messages;
    LimitPulses m_LimitPulses;

    // The left column again: the camera panel is laid out for the machine type and
    // the manual control panel keeps room for its controls (after a type change).
    void Layout();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FillOwnSteps();
    void RunPanelActions(const std::vector<PanelAction>& actions);
    void TogglePanelCommand(PanelSlot slot);
    void OpenSettingsDialog(int id);
    StepContext Context() const;

    CMainFrame* m_frame;
    JobLists m_job;
    ListPanelState m_panelState;
    NamedSteps m_firstUpdateSteps{FirstUpdateStepNames()};
    NamedSteps m_creationSteps{CreationCaptionStepNames()};
    NamedSteps m_languageSteps{LanguageChangeStepNames()};
};

// True the first time in the process a feeder-list command runs (then sorted).
std::atomic<bool>& FeedSortDoneFlag();

} // namespace smt
