// The main view: owns the four panels and the fourteen settings dialogs, loads
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
#include "app/ui/placeholders.h"
#include "joblist/job_lists.h"
#include "joblist/ui/dialog_part_list.h"
#include "link/ui/manual_control_dialog.h"
#include "settings/ui/dialog_auto_transport.h"
#include "settings/ui/dialog_set_cover.h"

namespace smt {

class CMainFrame;

class CSMTView : public QWidget {
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
    void EnsureListPanels();

    void RecomputeLimitPulses(double xLimit, double yLimit, double zLimit, double xPulse,
                              double yPulse, double zPulse);
    void ComputePositionPulses();
    // The travel limits in pulses, handed on to the command functions' limit checks.
    void SetLimitPulses(const LimitPulses& limits);

    CMainFrame* Frame() const { return m_frame; }
    JobLists& Job() { return m_job; }

    // Ordered, named steps that the subsystems fill (see WireSteps).
    NamedSteps& FirstUpdateSteps() { return m_firstUpdateSteps; }
    NamedSteps& CreationCaptionSteps() { return m_creationSteps; }
    NamedSteps& LanguageChangeSteps() { return m_languageSteps; }

    // How a settings dialog is run; tests replace it to avoid modal loops.
    std::function<int(QDialog&)> m_RunModal;
    // The real dialog of a settings command, registered by its subsystem; a
    // command with none opens its placeholder.
    std::map<int, std::function<void(int id)>> m_DialogOpeners;

    // ---- panels (placeholders until their subsystems land) ----
    QPointer<PlaceholderPanel> m_pSetView;        // CDialogSetView
    QPointer<CDialogManualControl> m_pManualControl;
    QPointer<PlaceholderPanel> m_pFeedList;       // CDialogFeedList
    QPointer<CDialogPartList> m_pPartList;

    // ---- the fourteen settings dialogs (placeholders) ----
    PlaceholderDialog m_DialogSetBasic{"CDialogSetBasic", this};
    PlaceholderDialog m_DialogDippingStation{"CDialogDippingStation", this};
    PlaceholderDialog m_DialogCameraList{"CDialogCameraList", this};
    PlaceholderDialog m_DialogNozzleList{"CDialogNozzleList", this};
    PlaceholderDialog m_DialogDropDownParameter{"CDialogDropDownParameter", this};
    PlaceholderDialog m_DialogPackList{"CDialogPackList", this};
    PlaceholderDialog m_DialogMarkList{"CDialogMarkList", this};
    PlaceholderDialog m_DialogLampMachineList{"CDialogLampMachineList", this};
    PlaceholderDialog m_DialogAutoFeed{"CDialogAutoFeed", this};
    CDialogAutoTransport m_DialogAutoTransport{TheAutoTransport(), this};
    // The cover-tape page, held here until the part list's placement strategy
    // dialog that shows it lands and takes it over.
    CDialogSetCover m_DialogSetCover{TheCoverTape(), this};
    // The feeder list's feeder-group dialog (placeholder with the feeder list).
    PlaceholderDialog m_DialogFeedGroup{"CDialogFeedGroup", this};

    int m_LeftColumnWidth = 0;
    int m_LeftColumnHeight = 0;
    int m_PositionCommand = 0;
    int m_ResetOriginFlag = 0;
    std::uint8_t m_OriginVisionFlag = 0;
    std::uint8_t m_SkipStopPositionFlag = 0;
    std::uint8_t m_PositioningMenuFlag = 0;
    ViewMessages m_Messages;
    LimitPulses m_LimitPulses;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void WireSteps();
    void Layout();
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
