#include "joblist/ui/joblist_wiring.h"

#include <QPlainTextEdit>

#include "app/shellservices.h"
#include "app/ui/mainframe.h"
#include "app/ui/smtview.h"
#include "base/captions.h"
#include "base/command_ids.h"
#include "feeders/part_list_port.h"
#include "feeders/strategy_port.h"
#include "joblist/part_list.h"
#include "joblist/part_list_texts.h"
#include "joblist/run_toolbar.h"
#include "joblist/smt_strategy.h"
#include "joblist/ui/dialog_part_list.h"
#include "joblist/ui/pcb_wiring.h"
#include "joblist/ui/row_commands_wiring.h"
#include "joblist/row_commands.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/manual_control.h"
#include "platform/uipost.h"
#include "run_state/run_events.h"
#include "run/run_frame.h"
#include "run/ui/run_wiring.h"
#include "machine_ops/cover_tape.h"

namespace smt {

void WireJobListServices() {
    // The machine's panel keys arrive on the reply thread: the toolbar's handlers run on the UI thread.
    auto& h = GetLinkHooks();
    h.startRun = [] { plat::PostToUi([] { OnStartRun(ThePartList()); }); };
    h.pauseRun = [] { plat::PostToUi([] { OnPauseRun(); }); };
    h.regainRun = [] { plat::PostToUi([] { OnResumeRun(); }); };
    h.stopRun = [] { plat::PostToUi([] { OnStopRun(); }); };
    h.runPaused = [] { return g_RunPaused.load(); };

    TheCommandPanel().runSelect = [] { return TheSmtStrategy().RunSelect(); };
    StrategyPort& strategy = TheStrategyPort();
    strategy.m_19NozzleLibrary = [] { return TheSmtStrategy().Config().m_19NozzleLibrary; };
    strategy.m_AutoChangeNozzle = [] { return TheSmtStrategy().Config().m_AutoChangeNozzle; };
    strategy.m_ChangeNozzleSelect = [] { return TheSmtStrategy().Config().m_ChangeNozzleSelect; };
    strategy.m_RunSelect = [] { return TheSmtStrategy().RunSelect(); };
    strategy.LoadSmtStrategyConfig = [](const std::string& folder) { TheSmtStrategy().Load(folder); };
    GetShellServices().resetStrategyForMachineType = [](const std::string& folder) {
        TheSmtStrategy().ResetForMachineType(folder);
    };
    WireRunFrame();
}

void WireJobListSubsystem(CSMTView& view) {
    // The captions load whether or not the panel exists yet; a panel made later
    // applies the texts then loaded.
    auto load = [&view](const StepContext& c) {
        if (view.m_pPartList) view.m_pPartList->LoadLanguage(c.startFolder, c.language);
        else LoadPartListLanguage(c.startFolder, c.language);
    };
    view.FirstUpdateSteps().Set("PartList.LoadLanguage", load);
    view.LanguageChangeSteps().Set("PartList.LoadLanguage", [&view, load](const StepContext& c) {
        load(c);
        // The board's labels follow the language at once, not only at the next load.
        view.Job().Pcb().ShowArrayPositionAgain();
    });

    // The cover-tape page belongs to the placement strategy of the part list.
    view.FirstUpdateSteps().Set("SetCover.LoadConfig", [&view](const StepContext& c) {
        if (view.m_pPartList) view.m_pPartList->m_DialogSMTStrategy->m_DialogSetCover.LoadConfig(c.startFolder);
        else TheCoverTape().LoadConfig(ConfigFilePath(c.startFolder));
    });
    view.m_DialogOpeners[cmd::SetCover] = [&view](int) {
        view.EnsureListPanels();
        CDialogSetCover& cover = view.m_pPartList->m_DialogSMTStrategy->m_DialogSetCover;
        cover.OnInitDialog(view.Frame()->m_StartDirectory, view.Frame()->m_LanguageName);
        view.m_RunModal(cover);
    };
    RunToolbarPort& run = TheRunToolbarPort();
    run.setTrace = [&view](const std::string& text) {
        if (!view.m_pManualControl) return;
        if (auto* trace = qobject_cast<QPlainTextEdit*>(view.m_pManualControl->Control(mc::Trace)))
            trace->setPlainText(QString::fromStdString(text));
    };
    run.focusList = [&view](JobList list) {
        if (view.m_pPartList) view.m_pPartList->List(list)->setFocus();
    };
    run.ensureVisible = [&view](JobList list, int row) {
        if (view.m_pPartList) view.m_pPartList->EnsureVisible(list, row);
    };
    run.runClock = [&view](bool on) {
        if (!view.m_pPartList) return;
        if (on) view.m_pPartList->RunClock().start();
        else view.m_pPartList->RunClock().stop();
    };
    run.enablePanels = [&view] {
        if (view.m_pPartList) view.m_pPartList->PlacementList()->setEnabled(true);
        if (view.m_pSetView) view.m_pSetView->setEnabled(true);
        if (view.m_pManualControl) view.m_pManualControl->setEnabled(true);
    };
    run.pcbBoardCount = [&view] { return view.Job().Pcb().m_Fields.m_PcbBoardCount; };
    TheRunFrameSources().currentPcbName = [&view] { return view.Job().CurrentPcbName(); };

    PartListToolButtons() = [&view](int toolId, bool enabled) {
        if (view.m_pPartList) view.m_pPartList->ToolBar()->EnableButton(toolId, enabled);
    };
    auto& port = ThePartListPort();
    port.updateRowsForFeeder = [](const std::string& oldId, const std::string& newId, int visionChoice,
                                  const std::string& value, const std::string& nozzle) {
        ThePartList().UpdateRowsForFeeder(oldId, newId, visionChoice != 0, value, nozzle);
    };
    port.isFeederUsed = [](const std::string& id) { return ThePartList().IsFeederUsed(id); };
    port.renameOwnMark = [](const std::string& oldName, const std::string& newName) {
        ThePartList().RenameOwnMark(oldName, newName);
    };
    port.placementPartNames = [] { return ThePartList().PlacementPartNames(); };
    // The panel fills a combo from these items each time it shows it.
    port.mirrorDropDown = [](int list, const std::string& removed, const std::string& added) {
        if (list < 0 || list > static_cast<int>(InPlaceCombo::Angles)) return;
        const auto combo = static_cast<InPlaceCombo>(list);
        if (!removed.empty()) ThePartList().RemoveComboItem(combo, removed);
        if (!added.empty()) ThePartList().AddComboItem(combo, added);
    };
}

CDialogPartList* CreatePartListPanel(CSMTView& view) {
    auto* panel = new CDialogPartList(view.Frame()->m_StartDirectory, &view);
    panel->m_ToolHandlers[tool::PcbEdit] = [panel] { OpenPcbEditor(panel); };
    WireRowCommands(view, panel);
    CDialogSMTStrategy* strategy = panel->m_DialogSMTStrategy;
    strategy->m_RunModal = [&view](QDialog& d) { return view.m_RunModal(d); };
    panel->m_ToolHandlers[tool::Strategy] = [&view, strategy] {
        strategy->OnInitDialog(view.Frame()->m_StartDirectory, view.Frame()->m_LanguageName);
        view.m_RunModal(*strategy);
    };
    panel->m_ToolHandlers[tool::Find] = [&view, panel] {
        panel->m_DialogFind->OnInitDialog(view.Frame()->m_StartDirectory, view.Frame()->m_LanguageName);
        view.m_RunModal(*panel->m_DialogFind);
    };
    return panel;
}

void OnJobListViewDestroyed() {
    PartListToolButtons() = nullptr;
    TheRunToolbarPort() = {};
    TheRunFrameSources() = {};
    ThePartListPort() = {};
    TheRowCommands().m_Port = {};
    ThePartList().FreeDisRows();
    ThePartList().FreeDrillRows();
    // The process's window ends with the view; a new view starts from empty lists.
    ThePartList().Reset();
}

} // namespace smt
