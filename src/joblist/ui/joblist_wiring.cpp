#include "joblist/ui/joblist_wiring.h"

#include <atomic>

#include <QPointer>

#include "base/captions.h"
#include "base/command_ids.h"
#include "base/hooks.h"
#include "base/ui/program_view.h"
#include "feeders/feed_list.h"
#include "feeders/part_list_port.h"
#include "feeders/strategy_port.h"
#include "joblist/board_transforms.h"
#include "joblist/cad_import.h"
#include "joblist/cad_two_mark.h"
#include "joblist/coordinate_tests.h"
#include "joblist/job_lists.h"
#include "joblist/lamp_table.h"
#include "joblist/part_list.h"
#include "joblist/part_list_texts.h"
#include "joblist/pcb_editor.h"
#include "joblist/pcb_ports.h"
#include "joblist/row_commands.h"
#include "joblist/run_toolbar.h"
#include "joblist/smt_strategy.h"
#include "joblist/ui/dialog_cad_import.h"
#include "joblist/ui/dialog_lamp_machine_list.h"
#include "joblist/ui/dialog_part_edit.h"
#include "joblist/ui/dialog_part_list.h"
#include "joblist/ui/dialog_pcb_edit.h"
#include "joblist/ui/dialog_two_mark_test.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/manual_control.h"
#include "platform/uipost.h"
#include "run_state/run_events.h"
#include "run_state/run_frame_sources.h"

namespace smt {

namespace {

// The view the PCB editor, the CAD import and the two-mark test run in.
ProgramView* g_view = nullptr;
QPointer<QWidget> g_viewWidget;
std::function<JobLists&(ProgramView&)> g_jobOf;
QPointer<CDialogPCBEdit> g_pcbDialog;
QPointer<CDialogImportFile> g_import;
QPointer<CDialogDoubleMarkTest> g_twoMark;
QPointer<CDialogLampMachineList> g_lampList;

ProgramView* View() { return g_viewWidget ? g_view : nullptr; }
int RunModal(QDialog& d) { return View() ? View()->RunModal(d) : d.exec(); }
std::string StartFolder() { return View() ? View()->StartFolder() : "."; }
std::string Language() { return View() ? View()->LanguageName() : "Chinese"; }

CDialogPartList* PartListPanel(ProgramView& view) {
    return qobject_cast<CDialogPartList*>(view.Panel(ViewPanel::PartList));
}

// Runs the PCB editor modally over the view's job (the part list's "Pcb Edit").
void OpenPcbEditor(QWidget* parent) {
    ProgramView* v = View();
    if (!v) return;
    if (!g_pcbDialog) g_pcbDialog = new CDialogPCBEdit(g_jobOf(*v).Pcb(), parent ? parent : v->Widget());
    g_pcbDialog->OnInitDialog(v->StartFolder(), v->LanguageName());
    v->RunModal(*g_pcbDialog);
}

// The row commands, row editors, coordinate tests and board transforms reached
// from the part list's context menus and double click.
void JoinRowCommands(ProgramView& view, JobLists& job, CDialogPartList* panel) {
    RowCommands& rc = TheRowCommands();
    auto* smtEdit = new CDialogPartEditSmt(rc, panel);
    auto* disEdit = new CDialogPartEditDis(rc, panel);
    auto* drillEdit = new CDialogPartEditDrill(rc, panel);
    QPointer<CDialogPartEditSmt> smtPtr(smtEdit);
    ProgramView* v = &view;
    JobLists* j = &job;

    RowCommandPort& port = rc.m_Port;
    port.pcbRecordCount = [j] { return j->PcbRecordCount(); };
    port.feeders = [] { return OpenGroupFeeders(); };
    port.pcbOrigin = [j] {
        const auto& f = j->Pcb().m_Fields;
        return std::make_pair(f.m_OriginX, f.m_OriginY);
    };
    port.runEditor = [v, smtEdit, disEdit, drillEdit](JobList list) {
        const std::string folder = v->StartFolder();
        const std::string language = v->LanguageName();
        QDialog* d = nullptr;
        if (list == JobList::Part) smtEdit->OnInitDialog(folder, language), d = smtEdit;
        else if (list == JobList::Dis) disEdit->OnInitDialog(folder, language), d = disEdit;
        else drillEdit->OnInitDialog(folder, language), d = drillEdit;
        return v->RunModal(*d) == QDialog::Accepted;
    };
    port.cameraTrack = [j] { OnCoordinateTest(ThePartList(), j->Pcb(), CoordTest::CameraToPart); };
    port.lampValues = [v] {
        const auto* edit = v->Widget()->findChild<CDialogLampMachineEdit*>();
        return edit ? edit->m_Values : LampPointValues{};
    };
    // The feeder list opens its own editor.
    port.openFeeder = [](const std::string& id) {
        const auto& open = TheFeedListPort().openEditor;
        return open && open(id);
    };
    PartListPort& parts = ThePartListPort();
    parts.rowEditorOpen = [] { return TheRowCommands().m_PartEdit.m_Open != 0; };
    parts.setRowEditorFeeder = [smtPtr](const std::string& id) {
        if (smtPtr) smtPtr->SetFeederItem(id);
    };

    auto& h = panel->m_MenuHandlers;
    for (auto [prefix, list] : {std::pair{"", JobList::Part}, {"Dis.", JobList::Dis}, {"Drill.", JobList::Drill}}) {
        const std::string p = prefix;
        if (list != JobList::Drill) h[p + "SelectAll"] = [list] { TheRowCommands().SelectAll(list); };
        h[p + "PartAdd"] = [list] { TheRowCommands().Add(list); };
        h[p + "PartEdit"] = [list] { TheRowCommands().Modify(list); };
        h[p + "PartDelete"] = [list] { TheRowCommands().Delete(list); };
        h[p + "PartCopy"] = [list] { TheRowCommands().Copy(list); };
        h[p + "PartPaste"] = [list] { TheRowCommands().Paste(list); };
        h[p + "CopyPaste"] = [list] { TheRowCommands().CopySelectedToEnd(list); };
    }
    const std::pair<const char*, CoordTest> tests[] = {
        {"SuctionTest", CoordTest::NozzleToPart}, {"CameraTest", CoordTest::CameraToPart},
        {"Dis.DisHeadTest", CoordTest::DispenserToPart}, {"Dis.CameraTest", CoordTest::CameraToDispensePoint},
        {"Drill.DrillTest", CoordTest::DrillToPoint}, {"Drill.CameraTest", CoordTest::CameraToDrillPoint},
        {"Grout1ToY1PartTest", CoordTest::GlueHead1ToY1}, {"Grout1ToY2PartTest", CoordTest::GlueHead1ToY2},
        {"Grout2ToY1PartTest", CoordTest::GlueHead2ToY1}, {"Grout2ToY2PartTest", CoordTest::GlueHead2ToY2},
        {"CameraToY1PartTest", CoordTest::MarkCameraToY1}, {"CameraToY2PartTest", CoordTest::MarkCameraToY2},
        {"Nozzle1ToY1PartTest", CoordTest::Nozzle1ToY1}, {"Nozzle2ToY1PartTest", CoordTest::Nozzle2ToY1},
        {"Nozzle3ToY1PartTest", CoordTest::Nozzle3ToY1}, {"Nozzle4ToY1PartTest", CoordTest::Nozzle4ToY1}};
    for (auto [key, test] : tests)
        h[key] = [j, test] { OnCoordinateTest(ThePartList(), j->Pcb(), test); };
    const std::pair<const char*, BoardTransform> transforms[] = {
        {"PCB_Clockwise90", BoardTransform::Clockwise}, {"PCB_Counterclockwise90", BoardTransform::CounterClockwise},
        {"PCB_LeftRightMirror", BoardTransform::MirrorLeftRight}, {"PCB_UpDownMirror", BoardTransform::MirrorUpDown}};
    for (auto [key, t] : transforms) h[key] = [t] { OnPcbTransform(ThePartList(), t); };
    h["PCB_Compound"] = [j] { OnPcbMergePanel(ThePartList(), j->Pcb()); };
}

void ViewPart(ProgramView& view) {
    g_view = &view;
    g_viewWidget = view.Widget();
    JobLists& job = g_jobOf(view);
    ProgramView* v = &view;
    JobLists* j = &job;

    // The captions load whether or not the panel exists yet; a panel made later
    // applies the texts then loaded.
    auto load = [v](const StepContext& c) {
        if (CDialogPartList* p = PartListPanel(*v)) p->LoadLanguage(c.startFolder, c.language);
        else LoadPartListLanguage(c.startFolder, c.language);
    };
    view.FirstUpdateSteps().Set("PartList.LoadLanguage", load);
    view.LanguageChangeSteps().Set("PartList.LoadLanguage", [j, load](const StepContext& c) {
        load(c);
        // The board's labels follow the language at once, not only at the next load.
        j->Pcb().ShowArrayPositionAgain();
    });

    RunToolbarPort& run = TheRunToolbarPort();
    run.focusList = [v](JobList list) {
        if (CDialogPartList* p = PartListPanel(*v)) p->List(list)->setFocus();
    };
    run.ensureVisible = [v](JobList list, int row) {
        if (CDialogPartList* p = PartListPanel(*v)) p->EnsureVisible(list, row);
    };
    run.runClock = [v](bool on) {
        CDialogPartList* p = PartListPanel(*v);
        if (!p) return;
        if (on) p->RunClock().start();
        else p->RunClock().stop();
    };
    run.enablePanels = [v] {
        if (CDialogPartList* p = PartListPanel(*v)) p->PlacementList()->setEnabled(true);
        for (ViewPanel panel : {ViewPanel::Camera, ViewPanel::ManualControl})
            if (QWidget* w = v->Panel(panel)) w->setEnabled(true);
    };
    // The run counts the boards down on its thread while the conveyor companion reads them.
    run.pcbBoardCount = [j] { return std::atomic_ref(j->Pcb().m_Fields.m_PcbBoardCount).load(); };
    RunFrameSources& sources = TheRunFrameSources();
    sources.currentPcbName = [j] { return j->CurrentPcbName(); };
    run.pcbEditFields = [j] { return j->Pcb().m_Fields; };
    sources.pcbBoardCount = run.pcbBoardCount;
    sources.setPcbBoardCount = [j](int n) { std::atomic_ref(j->Pcb().m_Fields.m_PcbBoardCount).store(n); };
    sources.manualMarkOffset = [j] { return std::atomic_ref(j->Pcb().m_Fields.m_ManualMarkOffset).load() != 0; };
    sources.clearManualMarkOffset = [j] { std::atomic_ref(j->Pcb().m_Fields.m_ManualMarkOffset).store(0); };
    sources.markLightBrightness = [j] { return std::atomic_ref(j->Pcb().m_Fields.m_LightBrightness).load(); };
    sources.disablePanels = [v] {
        plat::PostToUi([v] {
            if (CDialogPartList* p = PartListPanel(*v)) p->PlacementList()->setEnabled(false);
            for (ViewPanel panel : {ViewPanel::Camera, ViewPanel::ManualControl})
                if (QWidget* w = v->Panel(panel)) w->setEnabled(false);
        });
    };
    sources.showProgress = [v](int range, int position) {
        plat::PostToUi([v, range, position] {
            CDialogPartList* p = PartListPanel(*v);
            if (!p) return;
            if (range >= 0) p->Progress()->setRange(0, range);
            p->Progress()->setValue(position);
        });
    };
    PartListToolButtons() = [v](int toolId, bool enabled) {
        if (CDialogPartList* p = PartListPanel(*v)) p->ToolBar()->EnableButton(toolId, enabled);
    };

    // The feeder side's calls into the rows (emptied with the view).
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

    // The PCB editor, and the CAD import and two-mark test it opens.
    PcbEditor& pcb = job.Pcb();
    InstallPcbPorts(pcb);
    view.FirstUpdateSteps().Set("PCBEdit.LoadConfig", [&pcb](const StepContext& c) {
        pcb.m_StartFolder = c.startFolder;
        LoadPcbEditConfig(pcb.m_Fields, ConfigFilePath(c.startFolder));
        pcb.m_Texts.Load(c.startFolder, c.language);
    });
    QObject::connect(view.Widget(), &QObject::destroyed, [] { UninstallPcbPorts(); });
    view.FirstUpdateSteps().Set("ImportFile.LoadConfig", [](const StepContext& c) {
        LoadImportFileConfig(TheImportFileConfig(), ConfigFilePath(c.startFolder));
    });
    view.FirstUpdateSteps().Set("DoubleMarkTest.LoadConfig", [](const StepContext& c) {
        LoadDoubleMarkTestConfig(TheDoubleMarkTestConfig(), ConfigFilePath(c.startFolder));
    });

    // The lamp table (machine type 4): command 33185 opens the window; the first
    // update loads the counters and empties the table.
    view.FirstUpdateSteps().Set("LampMachineList.LoadLampCounters",
                                [](const StepContext& c) { LoadLampCounters(c.startFolder); });
    view.FirstUpdateSteps().Set("LampTable.WriteLines", [](const StepContext&) { WriteLampTableLines2(); });
    view.SetDialogOpener(cmd::LampMachineSet, [v](int) {
        if (!g_lampList) g_lampList = new CDialogLampMachineList(v->Widget());
        g_lampList->m_RunModal = [v](QDialog& d) { return v->RunModal(d); };
        g_lampList->OnInitDialog(v->StartFolder(), v->LanguageName());
        v->RunModal(*g_lampList);
    });
}

} // namespace

void WireJobLists(Wiring& wiring, std::function<JobLists&(ProgramView&)> jobOf) {
    g_jobOf = std::move(jobOf);
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

    // The import dialog's file chooser is the dialog's own until a test puts its own.
    TheHookRegistry().Add("job lists", "CDialogImportFile::FileChooser", CDialogImportFile::FileChooser());
    wiring.OnView("job lists", ViewPart);
}

CDialogPartList* CreatePartListPanel(ProgramView& view, JobLists& job) {
    auto* panel = new CDialogPartList(view.StartFolder(), view.Widget());
    panel->m_ToolHandlers[tool::PcbEdit] = [panel] { OpenPcbEditor(panel); };
    JoinRowCommands(view, job, panel);
    CDialogSMTStrategy* strategy = panel->m_DialogSMTStrategy;
    ProgramView* v = &view;
    strategy->m_RunModal = [v](QDialog& d) { return v->RunModal(d); };
    // The cover-tape page is the settings' dialog.
    strategy->m_OpenCoverTape = [v] { v->OpenDialog(cmd::SetCover); };
    panel->m_ToolHandlers[tool::Strategy] = [v, strategy] {
        strategy->OnInitDialog(v->StartFolder(), v->LanguageName());
        v->RunModal(*strategy);
    };
    panel->m_ToolHandlers[tool::Find] = [v, panel] {
        panel->m_DialogFind->OnInitDialog(v->StartFolder(), v->LanguageName());
        v->RunModal(*panel->m_DialogFind);
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

void OpenCadImport(PcbEditor& pcb, QWidget* parent) {
    if (!g_import) g_import = new CDialogImportFile(pcb, parent);
    g_import->OnInitDialog(StartFolder(), Language());
    RunModal(*g_import);
}

void OpenDoubleMarkTest(QWidget* parent) {
    if (!g_twoMark) g_twoMark = new CDialogDoubleMarkTest(parent);
    g_twoMark->OnInitDialog(StartFolder());
    RunModal(*g_twoMark);
}

} // namespace smt
