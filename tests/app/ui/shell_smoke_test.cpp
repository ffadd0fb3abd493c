#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>

#include <atomic>
#include <tuple>
#include <thread>

#include "app/menus.h"
#include "link/positioning.h"
#include "platform/threads.h"
#include "shell_fixture.h"

using namespace smt;
using smt::test::OpenAndClose;
using smt::test::ScriptedResponder;
using smt::test::ShellApp;
using plat::MsgAnswer;
using Texts = std::vector<std::string>;

namespace {

void OpenEveryMenu(QMenu* menu, int& opened) {
    OpenAndClose(menu);
    ++opened;
    for (QAction* a : menu->actions())
        if (a->menu()) OpenEveryMenu(a->menu(), opened);
}

QAction* FindItem(QMenu* m, int id) {
    for (QAction* a : m->findChildren<QAction*>())
        if (a->data().toInt() == id) return a;
    return nullptr;
}

// The program started in a fresh start folder (the shipped config.ini unless a test passes its own).
class Shell : public ::testing::Test {
protected:
    explicit Shell(const std::string& configIni = {}) : app(configIni) {}
    void SetUp() override {
        ASSERT_TRUE(app.Start());
        f = app.Frame();
        v = app.View();
    }
    QMenu* SubMenu(const char* key) const { return f->menuBar()->findChild<QMenu*>(key); }

    ShellApp app;
    CMainFrame* f = nullptr;
    CSMTView* v = nullptr;
};

class EnglishType4 : public Shell {
protected:
    EnglishType4() : Shell("[LanguageSetConfig]\nLanguageSet=English\n[MachineSetConfig]\nMachineSet=4\n") {}
};

} // namespace

TEST_F(EnglishType4, StartsWithItsPanelsAndMenusFollowTheMachineType) {
    // Its fixed start size, within a smaller screen.
    const QSize room = f->screen()->availableGeometry().size() - QSize(16, 40);
    EXPECT_EQ(f->size(), QSize(1304, 902).boundedTo(room));
    EXPECT_EQ(std::make_tuple(g_LanguageIndex.load(), g_MachineType.load()), std::make_tuple(1, 4));
    EXPECT_EQ(f->menuBar()->actions().at(0)->text(), "File");
    EXPECT_EQ(v->m_Messages[6], "No PCB found !");
    // Camera panel above the manual control in the left column, lists to the right.
    ASSERT_TRUE(v->m_pSetView && v->m_pManualControl && v->m_pFeedList && v->m_pPartList);
    EXPECT_EQ(v->m_pSetView->geometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(v->m_pManualControl->pos(), QPoint(0, v->m_pSetView->height()));
    EXPECT_EQ(std::make_tuple(v->m_pFeedList->x(), v->m_pPartList->x()),
              std::make_tuple(v->m_LeftColumnWidth, v->m_LeftColumnWidth));
    EXPECT_GT(v->m_pPartList->width(), 0);
    // On a 1280 x 800 screen the camera panel's buttons and every manual control stay in view.
    f->resize(1264, 760);
    QApplication::processEvents();
    auto inside = [](QWidget* w, QWidget* in) { return w->geometry().bottom() < in->height(); };
    EXPECT_TRUE(inside(v->m_pSetView->findChild<QWidget*>("c1220"), v->m_pSetView));
    EXPECT_LE(v->m_pSetView->height() + v->m_pManualControl->height(), v->height());
    for (int id : {mc::SPlus, mc::Connect, mc::FeedYMinus})
        EXPECT_TRUE(inside(v->m_pManualControl->Control(id), v->m_pManualControl)) << id;
    for (int id : {cmd::SettingsDropDown, cmd::PositioningDropDown})
        EXPECT_EQ(f->ToolButton(id)->popupMode(), QToolButton::MenuButtonPopup) << id;

    int opened = 0;
    for (QAction* top : f->menuBar()->actions()) OpenEveryMenu(top->menu(), opened);
    EXPECT_EQ(opened, 6 + 4);  // six pop-ups, speed template, language, machine type, update
    // The update handlers ran: marks and enable states as the menu tests' tables give them for type 4.
    EXPECT_TRUE(f->Action(cmd::DoubleGroutGlueXY)->isChecked() && f->Action(cmd::English)->isChecked());
    for (int id : {cmd::PluginMachine, cmd::EditCut, cmd::FileMru1})  // no recent files yet
        EXPECT_FALSE(f->Action(id)->isEnabled()) << id;
    EXPECT_TRUE(f->Action(cmd::ViewToolbar)->isChecked());
    QMenu* pos = f->DropDownMenu(cmd::PositioningDropDown);
    ThePositioningState().m_PositioningMenuFlag = 0;
    OpenEveryMenu(pos, opened);
    EXPECT_EQ(ThePositioningState().m_PositioningMenuFlag.load(), 1);
    ASSERT_TRUE(FindItem(pos, cmd::ResetOrigin) && FindItem(pos, cmd::NozzleToThrowPosition[2]));
    EXPECT_FALSE(FindItem(pos, cmd::ResetOrigin)->isEnabled());
    EXPECT_TRUE(FindItem(pos, cmd::NozzleToThrowPosition[2])->isEnabled());
    QMenu* set = f->DropDownMenu(cmd::SettingsDropDown);
    OpenEveryMenu(set, opened);
    EXPECT_EQ(FindItem(set, cmd::SetPulse)->text(), "Pulse settings");
    // Reopening rebuilds the menu instead of piling up items.
    const auto items = set->actions().size();
    OpenAndClose(set);
    EXPECT_EQ(set->actions().size(), items);
}

TEST(ShellStart, LowerCaseLanguageKeepsChineseTitleButReadsItsFile) {
    ShellApp app("[LanguageSetConfig]\nLanguageSet=english\n");
    ASSERT_TRUE(app.Start());
    EXPECT_EQ(g_LanguageIndex, 0);
    EXPECT_EQ(app.Frame()->windowTitle().toStdString(), "岚拓韦贴片机控制系统V2.066");
    EXPECT_EQ(app.Frame()->Action(cmd::FileNew)->text(), "New");
}

TEST_F(Shell, LanguageSwitchRelabelsAndReloadsCaptions) {
    Texts reloaded;
    for (const auto& name : LanguageChangeStepNames())
        v->LanguageChangeSteps().Set(name, [&reloaded, name](const StepContext& c) {
            reloaded.push_back(name + ":" + c.language);
        });
    OpenAndClose(SubMenu("LanguageSet"));
    EXPECT_TRUE(f->Action(cmd::Chinese)->isChecked());
    f->Action(cmd::German)->trigger();
    EXPECT_EQ(g_LanguageIndex, 2);
    EXPECT_EQ(f->windowTitle().toStdString(), "Tavrel SMT Control System V2.066");
    EXPECT_EQ(f->menuBar()->actions().at(0)->text(), "Datei");
    ASSERT_EQ(reloaded.size(), LanguageChangeStepNames().size());
    EXPECT_EQ(reloaded.front(), "SetView.LoadLanguage:German");
    // Relabelled items are unchecked until their update handler runs again.
    EXPECT_FALSE(f->Action(cmd::German)->isChecked() || f->Action(cmd::Chinese)->isChecked());
    OpenAndClose(SubMenu("LanguageSet"));
    EXPECT_TRUE(f->Action(cmd::German)->isChecked());
    EXPECT_EQ(v->m_Messages[6], "没有找到PCB板 !");  // the view's own messages are not reloaded
    GetShellServices().isBusy = [] { return true; };
    f->Action(cmd::English)->trigger();
    EXPECT_EQ(g_LanguageIndex, 2);  // busy: nothing happens
    GetShellServices().isBusy = {};
    EXPECT_EQ(app.Config("LanguageSetConfig", "LanguageSet"), "Chinese");  // written only at closing
}

TEST_F(Shell, MachineTypeSwitchChecksSavesAndResetsTheStrategy) {
    Texts calls;
    GetShellServices().layoutManualControl = [&](int t) { calls.push_back("layout" + std::to_string(t)); };
    GetShellServices().resetStrategyForMachineType = [&](const std::string&) { calls.push_back("strategy"); };
    g_SmtSameNozzle = 1;
    f->Action(cmd::DrillMachine)->trigger();
    EXPECT_EQ(app.Config("MachineSetConfig", "MachineSet"), "9");
    EXPECT_EQ(calls, Texts{"layout9"});  // type 9 keeps the strategy's selections
    EXPECT_EQ(std::make_tuple(g_MachineType.load(), g_SmtSameNozzle.load(), f->Action(cmd::DrillMachine)->isChecked()),
              std::make_tuple(9, 1, true));
    f->Action(cmd::FourHeadFeed)->trigger();
    EXPECT_EQ(calls, (Texts{"layout9", "layout3", "strategy"}));
    EXPECT_EQ(std::make_tuple(g_MachineType.load(), g_SmtSameNozzle.load(), f->Action(cmd::FourHeadFeed)->isChecked(),
                              f->Action(cmd::DrillMachine)->isChecked()),
              std::make_tuple(3, 0, true, false));
    GetShellServices().isBusy = [] { return true; };  // a busy machine refuses every type
    f->Action(cmd::EightHead)->trigger();
    EXPECT_EQ(g_MachineType, 3);
}

TEST_F(Shell, PanelButtonsShowOneListAndHideTheOther) {
    int sorted = 0;
    GetShellServices().sortFeedList = [&] { ++sorted; };
    FeedSortDoneFlag() = false;
    v->m_pFeedList->hide();
    f->ToolButton(cmd::FeedListPanel)->click();
    EXPECT_FALSE(v->m_pFeedList->isHidden());
    EXPECT_TRUE(v->m_pPartList->isHidden());
    f->ToolButton(cmd::PartListPanel)->click();
    EXPECT_FALSE(v->m_pPartList->isHidden());
    EXPECT_TRUE(v->m_pFeedList->isHidden());
    f->ToolButton(cmd::FeedListPanel)->click();
    EXPECT_EQ(sorted, 1);  // sorted the first time only
    f->resize(1000, 700);  // the list panels follow the window's size
    QApplication::processEvents();
    EXPECT_EQ(v->m_pPartList->size(), QSize(v->width() - v->m_LeftColumnWidth, v->height()));
}

TEST_F(Shell, ProjectSaveOpenAndRecentFiles) {
    ScriptedResponder boxes;
    v->Job().SetJob("P", 1, {"P\t\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t1\t", "row\t"});
    const std::string path = app.Dir().File("job.smt");
    f->m_AskSavePath = [&](const std::string&) { return path; };
    f->m_AskOpenPath = [&] { return path; };
    f->Action(cmd::FileSaveAs)->trigger();
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(f->StatusPathText().toStdString(), path);
    EXPECT_EQ(f->m_RecentFiles.Entries(), Texts{path});
    boxes.Push(MsgAnswer::No);  // No empties the placement list and keeps the records
    f->Action(cmd::FileNew)->trigger();
    EXPECT_TRUE(f->Document().IsUntitled());
    EXPECT_EQ(v->m_pPartList->PlacementList()->model()->rowCount(), 0);
    f->Action(cmd::FileOpen)->trigger();
    EXPECT_EQ(f->Document().PathName(), path);
    EXPECT_EQ(v->m_pPartList->PlacementList()->model()->rowCount(), 1);
    // The recent-file entries replace the empty entry in the File menu.
    OpenAndClose(SubMenu("IDS_MENU_FILE"));
    bool listed = false;
    for (QAction* a : SubMenu("IDS_MENU_FILE")->actions())
        listed |= a->text().endsWith(QString::fromStdString(path)) && a->isVisible();
    EXPECT_TRUE(listed);
    EXPECT_FALSE(f->Action(cmd::FileMru1)->isVisible());
    // A recent file that has gone is reported and leaves the list; nothing is replaced.
    std::filesystem::remove(path);
    const auto before = boxes.Count();
    f->Action(cmd::FileOpen)->trigger();
    EXPECT_EQ(boxes.Count(), before + 1);
    EXPECT_TRUE(f->m_RecentFiles.Entries().empty());
    EXPECT_EQ(f->Document().PathName(), path);
}

TEST_F(Shell, ClosingAsksWithRecordsAndWritesTheSettings) {
    Texts calls;
    auto& s = GetShellServices();
    s.raiseStopFlags = [&] { calls.push_back("stopFlags"); };
    s.saveCameraPanelConfig = [&](const std::string&) { calls.push_back("SetViewConfig"); return true; };
    // A section that cannot be written is told once, the others are written all the same.
    s.saveManualControlConfig = [&](const std::string&) { calls.push_back("ManualControlConfig"); return false; };
    s.closeOrdinaryCamera = [&](int i) { calls.push_back("camera" + std::to_string(i)); };
    v->Job().SetJob("P", 1, {"P\t\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t1\t", "row\t"});
    f->Action(cmd::German)->trigger();
    f->Action(cmd::DoubleHeadCamera)->trigger();
    // Yes with a cancelled path question: the job is not lost, the window stays.
    ScriptedResponder boxes;
    boxes.Push(MsgAnswer::Yes);
    f->m_AskSavePath = [](const std::string&) { return std::string(); };
    EXPECT_FALSE(f->close());
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(f->isVisible());
    boxes.Push(MsgAnswer::No);
    EXPECT_TRUE(f->close());
    EXPECT_EQ(calls, (Texts{"stopFlags", "SetViewConfig", "ManualControlConfig", "camera0", "camera1"}));
    EXPECT_EQ(app.Config("LanguageSetConfig", "LanguageSet"), "German");
    EXPECT_EQ(app.Config("MachineSetConfig", "MachineSet"), "5");
    ASSERT_EQ(boxes.Count(), 3u);
    EXPECT_EQ(boxes.Texts().back().rfind("Die Einstellungsdatei konnte nicht geschrieben werden: ", 0), 0u)
        << boxes.Texts().back();
}

TEST_F(Shell, ClosingWhileBusyStopsAndJoinsWorkersFirst) {
    std::atomic<bool> running{true};
    std::atomic<int> boxesAskedByWorker{0};
    plat::Event never(true, false);
    plat::StartWorker("machine action", [&] {
        never.Wait(std::chrono::hours(1));  // ends only when every wait is cancelled
        // A box asked while the program closes is answered without being shown.
        if (plat::MessageBoxAsk("late", plat::MsgButtons::YesNo) == MsgAnswer::No) ++boxesAskedByWorker;
        running = false;
    });
    auto& s = GetShellServices();
    s.isBusy = [&] { return running.load(); };
    bool stopped = false;
    s.stopRun = [&] { stopped = true; };
    int workersAtConfigSave = -1;
    s.saveCameraPanelConfig = [&](const std::string&) {
        workersAtConfigSave = plat::RunningWorkers();
        return true;
    };
    // Boxes on the user-interface thread are scripted; the worker's goes to the program's own handler.
    const plat::MsgBoxHandler real = plat::SetMessageBoxHandler({});
    Texts uiBoxes;
    plat::SetMessageBoxHandler([&](const plat::MsgBoxRequest& r) {
        if (!plat::IsUiThread()) return real(r);
        uiBoxes.push_back(r.text);
        return MsgAnswer::Yes;
    });
    EXPECT_TRUE(f->close());
    plat::SetMessageBoxHandler(real);
    EXPECT_EQ(uiBoxes, Texts{kCloseBusyQuestion});
    EXPECT_EQ(std::make_tuple(bool(stopped), int(workersAtConfigSave), bool(running), int(boxesAskedByWorker)),
              std::make_tuple(true, 0, false, 1));
}

TEST_F(Shell, AWorkerThatIgnoresTheCancelEndsTheProcessAfterTheSettingsAndKeepsItsObjects) {
    std::atomic<bool> release{false};
    std::atomic<bool> panelAlive{false};
    plat::StartWorker("stuck", [&] {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));  // ignores every cancel
        panelAlive = GetShellServices().saveManualControlConfig != nullptr;
    });
    int ended = 0;
    f->m_EndProcessNow = [&] { ++ended; };
    bool settingsWritten = false;
    GetShellServices().saveCameraPanelConfig = [&](const std::string&) { settingsWritten = true; return true; };
    f->close();
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(settingsWritten);
    // The worker goes on with the panel and its hooks still in place.
    release = true;
    for (int i = 0; i < 200 && !panelAlive; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(panelAlive);
}

TEST(ShellStart, MissingTableFileEndsTheStart) {
    ShellApp app;
    std::filesystem::remove(app.Dir().File("config_mark.fig"));
    ScriptedResponder boxes;
    EXPECT_FALSE(app.Start());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.Texts()[0].find("config_mark.fig"), std::string::npos);
    EXPECT_EQ(app.Frame(), nullptr);
}
