#include "app/ui/smtview.h"
#include "link/commands.h"
#include "feeders/ui/feeders_wiring.h"
#include "joblist/ui/joblist_wiring.h"

#include <QResizeEvent>

#include "base/captions.h"
#include "base/hooks.h"
#include "app/frameconfig.h"
#include "base/globals.h"
#include "base/tablefile.h"
#include "app/menus.h"
#include "app/shellservices.h"
#include "app/ui/mainframe.h"
#include "platform/files.h"
#include "platform/msgbox.h"

namespace smt {

std::atomic<bool>& FeedSortDoneFlag() {
    static std::atomic<bool> done{false};
    return done;
}

CSMTView::CSMTView(CMainFrame* frame) : QWidget(frame), m_frame(frame) {
    setObjectName("CSMTView");
    m_Messages = BuiltinViewMessages();
    m_RunModal = [](QDialog& d) { return d.exec(); };
    FillOwnSteps();

    m_frame->m_StartDirectory = plat::CurrentDirectory();
    // A save killed half way leaves its temporary file beside the file it replaces.
    RemoveKilledSaveLeftovers(m_frame->m_StartDirectory);
    m_frame->LoadLanguageSettings();
    m_frame->LoadMachineSet();
    m_frame->LoadMenuTexts(m_frame->m_LanguageName);

    if (!m_pSetView) {
        const StepContext c = Context();
        m_pSetView = new CDialogSetView(c.startFolder, c.language, this);
        const QSize size = m_pSetView->sizeHint();
        m_LeftColumnWidth = size.width();
        m_LeftColumnHeight = size.height();
        // The height toggle: the left column is laid out again below the panel.
        m_pSetView->onHeightChanged = [this](int height) {
            m_LeftColumnHeight = height;
            Layout();
        };
        m_languageSteps.Set("SetView.LoadLanguage", [this](const StepContext& c) {
            if (m_pSetView) m_pSetView->LoadLanguage(c.startFolder, c.language);
        });
    }
    if (!m_pManualControl) {
        m_pManualControl = new CDialogManualControl(this);
        m_pManualControl->WireSteps(m_languageSteps, Context());
    }
    // Every subsystem's part that needs the view, in the program's order.
    TheWiring().WireView(*this);
    m_creationSteps.Run(Context());
}

CSMTView::~CSMTView() {
    // Panels go first, the embedded dialogs with the members.
    delete m_pPartList.data();
    delete m_pFeedList.data();
    delete m_pManualControl.data();
    delete m_pSetView.data();
    OnFeedersViewDestroyed();
    OnJobListViewDestroyed();
}

QWidget* CSMTView::Panel(ViewPanel panel) const {
    switch (panel) {
    case ViewPanel::Camera: return m_pSetView;
    case ViewPanel::ManualControl: return m_pManualControl;
    case ViewPanel::FeedList: return m_pFeedList;
    case ViewPanel::PartList: return m_pPartList;
    }
    return nullptr;
}

std::string CSMTView::StartFolder() const { return m_frame->m_StartDirectory; }
std::string CSMTView::LanguageName() const { return m_frame->m_LanguageName; }

void CSMTView::OpenDialog(int id) {
    if (auto opener = m_DialogOpeners.find(id); opener != m_DialogOpeners.end()) opener->second(id);
    else ReportNotAvailable("settings command " + std::to_string(id));  // no subsystem registered its dialog
}

StepContext CSMTView::Context() const { return {m_frame->m_StartDirectory, m_frame->m_LanguageName}; }

void CSMTView::FillOwnSteps() {
    // The view's own steps. Every other step is filled by its subsystem's wiring
    // (app/ui/program_wiring.cpp runs them for this view after its panels exist).
    m_firstUpdateSteps.Set("View.LoadMessageTexts", [this](const StepContext& c) {
        m_Messages = LoadMessageTexts(c.language, c.startFolder);
    });
    m_firstUpdateSteps.Set("ManualControl.LayoutForMachineType", [](const StepContext&) {
        if (auto& f = GetShellServices().layoutManualControl) f(g_MachineType);
    });
    m_DialogAutoTransport.WireSteps(m_firstUpdateSteps, m_creationSteps, m_languageSteps);
    m_DialogOpeners[cmd::AutoTransport] = [this](int) {
        m_DialogAutoTransport.OnInitDialog();
        m_RunModal(m_DialogAutoTransport);
    };
    m_DialogAutoTransport.m_SRunSteps = [this] {
        return m_pManualControl ? m_pManualControl->Config().m_S_RunSteps : 0;
    };
    m_firstUpdateSteps.Set("View.LoadLimitPulses", [this](const StepContext& c) {
        SetLimitPulses(LoadLimitPulses(c.startFolder));
    });
    m_firstUpdateSteps.Set("View.ComputePositionPulses", [this](const StepContext&) {
        ComputePositionPulses();
    });
}

void CSMTView::OnInitialUpdate() {
    if (!ClaimFirstUpdate()) return;
    m_firstUpdateSteps.Run(Context());
}

void CSMTView::RecomputeLimitPulses(double xLimit, double yLimit, double zLimit, double xPulse,
                                    double yPulse, double zPulse) {
    SetLimitPulses(ComputeLimitPulses(xLimit, yLimit, zLimit, xPulse, yPulse, zPulse));
}

void CSMTView::SetLimitPulses(const LimitPulses& limits) {
    m_LimitPulses = limits;
    // The command functions check every X/Y target against these.
    SetMoveLimits({limits.x, limits.y, limits.absX, limits.absY});
}

void CSMTView::ComputePositionPulses() {
    const auto& s = GetShellServices();
    const auto factors = s.pulseFactors ? s.pulseFactors() : g_PulsesPerMm;
    const auto offsets = s.positionOffsets ? s.positionOffsets() : PositionOffsetsMm{};
    smt::ConvertSettingsToPulses(factors, offsets, s.afterPositionPulses);
}

// ---- layout -----------------------------------------------------------------

void CSMTView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Layout();
}

void CSMTView::Layout() {
    const int w = width(), h = height();
    const int colW = w > m_LeftColumnWidth ? m_LeftColumnWidth : w;
    int camH = h > m_LeftColumnHeight ? m_LeftColumnHeight : h;
    if (m_pSetView) {
        // The manual control panel keeps room for all its controls; the camera
        // panel's images shrink to leave it, its buttons stay in view.
        const int manual = m_pManualControl ? m_pManualControl->minimumSizeHint().height() : 0;
        camH = std::min(camH, m_pSetView->FitHeight(std::max(0, h - manual)));
        m_pSetView->setGeometry(0, 0, colW, camH);
        m_pSetView->show();
    }
    if (m_pManualControl) {
        m_pManualControl->setGeometry(0, camH, colW, h - camH);
        m_pManualControl->show();
    }
    if (m_pPartList) PlacePanel(m_pPartList, 2);
    if (m_pFeedList) PlacePanel(m_pFeedList, 1);
}

void CSMTView::PlacePanel(QWidget* panel, int /*slot*/) {
    if (!panel) return;
    // The list panels cover the view to the right of the left column; the list
    // controls inside follow the panel's own layout. Both may be up at once, so
    // each paints its background and the one on top hides the other.
    panel->setAutoFillBackground(true);
    panel->setGeometry(m_LeftColumnWidth, 0, std::max(0, width() - m_LeftColumnWidth), height());
}

// ---- list panels ------------------------------------------------------------

void CSMTView::RunPanelActions(const std::vector<PanelAction>& actions) {
    for (PanelAction a : actions) {
        switch (a) {
        case PanelAction::CreateFeedList:
            if (!m_pFeedList) {
                m_pFeedList = new CDialogFeedList(this);
                OnFeedListCreated(*m_pFeedList, m_frame->m_StartDirectory, m_frame->m_LanguageName);
            }
            break;
        case PanelAction::CreatePartList:
            if (!m_pPartList) m_pPartList = CreatePartListPanel(*this, m_job);
            break;
        case PanelAction::PlaceFeedList: PlacePanel(m_pFeedList, 1); break;
        case PanelAction::PlacePartList: PlacePanel(m_pPartList, 2); break;
        case PanelAction::ShowFeedList: if (m_pFeedList) { m_pFeedList->show(); m_pFeedList->raise(); } break;
        case PanelAction::ShowPartList: if (m_pPartList) { m_pPartList->show(); m_pPartList->raise(); } break;
        case PanelAction::HideFeedList: if (m_pFeedList) m_pFeedList->hide(); break;
        case PanelAction::HidePartList: if (m_pPartList) m_pPartList->hide(); break;
        case PanelAction::SortFeedList:
            if (auto& f = GetShellServices().sortFeedList) f();
            break;
        case PanelAction::ShowPlacementList:
            if (m_pPartList) m_pPartList->ShowList(JobList::Part);
            break;
        }
    }
}

void CSMTView::TogglePanelCommand(PanelSlot slot) {
    m_panelState.feedExists = m_pFeedList;
    m_panelState.feedVisible = m_pFeedList && !m_pFeedList->isHidden();
    m_panelState.partExists = m_pPartList;
    m_panelState.partVisible = m_pPartList && !m_pPartList->isHidden();
    RunPanelActions(TogglePanel(slot, m_panelState, FeedSortDoneFlag()));
}

void CSMTView::OnFeedListCommand() { TogglePanelCommand(PanelSlot::FeedList); }
void CSMTView::OnPartListCommand() { TogglePanelCommand(PanelSlot::PartList); }

void CSMTView::EnsureListPanels() {
    if (!m_pFeedList)
        RunPanelActions({PanelAction::CreateFeedList, PanelAction::PlaceFeedList, PanelAction::ShowFeedList});
    if (!m_pPartList)
        RunPanelActions({PanelAction::CreatePartList, PanelAction::PlacePartList, PanelAction::ShowPartList});
}

// ---- commands -----------------------------------------------------------------

void CSMTView::OnCommand(int id) {
    const auto& s = GetShellServices();
    if (id == cmd::FeedListPanel) return OnFeedListCommand();
    if (id == cmd::PartListPanel) return OnPartListCommand();
    if (id == cmd::PositioningDropDown || id == cmd::SettingsDropDown) return;  // arrows open menus
    if (id == cmd::ResetOrigin) {
        if (s.resetToOrigin) s.resetToOrigin();
        return;
    }
    if (IsSettingsDialogCommand(id)) return OpenSettingsDialog(id);
    // Positioning menu items.
    if (s.positioningCommand) s.positioningCommand(id);
}

void CSMTView::OpenSettingsDialog(int id) {
    const auto& s = GetShellServices();
    const bool busy = s.isBusy && s.isBusy();
    const int comm = s.commModel ? s.commModel() : 0;
    if (ShowSettingsRefusal(CheckSettingsCommand(id, busy, g_MachineType, comm), m_Messages)) return;
    OpenDialog(id);
}

} // namespace smt
