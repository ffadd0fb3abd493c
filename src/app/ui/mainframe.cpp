#include "app/ui/mainframe.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QThread>
#include <QToolBar>

#include <chrono>
#include <cstdlib>

#include "base/captions.h"
#include "base/globals.h"
#include "base/log.h"
#include "app/shellservices.h"
#include "app/ui/smtview.h"
#include "app/ui/uiservices.h"
#include "link/positioning.h"
#include "app/viewcore.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "platform/threads.h"

namespace smt {
namespace {

bool IsCheckable(int id) {
    return LanguageOfCommand(id) >= 0 || MachineTypeOfCommand(id) >= 0 || id == cmd::HighSpeedTemplate ||
           id == cmd::MediumSpeedTemplate || id == cmd::LowSpeedTemplate || id == cmd::ViewToolbar ||
           id == cmd::ViewStatusBar;
}

QIcon FrameIcon() {
    QPixmap pm(32, 32);
    pm.fill(QColor(0x1f, 0x5f, 0xa8));
    QPainter p(&pm);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(11);
    p.setFont(f);
    p.drawText(pm.rect(), Qt::AlignCenter, "SMT");
    return QIcon(pm);
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The radio group of a menu command whose choices exclude each other, null for others.
const char* ExclusiveGroupOf(int id) {
    if (LanguageOfCommand(id) >= 0) return "language";
    if (MachineTypeOfCommand(id) >= 0) return "machineType";
    if (id == cmd::HighSpeedTemplate || id == cmd::MediumSpeedTemplate || id == cmd::LowSpeedTemplate)
        return "speedClass";
    return nullptr;
}

} // namespace

CMainFrame::CMainFrame() {
    setObjectName("CMainFrame");
    // Window creation: fixed start size, the Chinese title until the language is read.
    // Within the screen on smaller displays (1280 x 800 and up).
    const QRect room = screen() ? screen()->availableGeometry() : QRect(0, 0, 1304, 902);
    resize(QSize(1304, 902).boundedTo(room.size() - QSize(16, 40)));
    m_WindowTitle = kWindowTitles[0];
    setWindowTitle(Q(m_WindowTitle));
    m_AskSavePath = [this](const std::string& suggested) {
        // A name typed without extension becomes a project file, as the companions need ".smt".
        QFileDialog dialog(this, QString(), Q(suggested.empty() ? m_StartDirectory : suggested),
                           "Project Files(*.smt)");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix("smt");
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().first().toStdString()
                   : std::string();
    };
    m_EndProcessNow = [] { std::_Exit(0); };
    m_AskOpenPath = [this] {
        return QFileDialog::getOpenFileName(this, QString(), Q(m_StartDirectory), "Project Files(*.smt)")
            .toStdString();
    };

    BuildMenuBar();
    // The view's creation takes the start folder and reads language, machine type
    // and menu captions.
    m_view = new CSMTView(this);
    setCentralWidget(m_view);
    BuildToolBar();
    BuildStatusBar();
    setWindowIcon(FrameIcon());

    auto& services = GetShellServices();
    CSMTDoc::Hooks hooks;
    hooks.startFolder = m_StartDirectory;
    hooks.ensurePanels = [this] { m_view->EnsureListPanels(); };
    hooks.feedListExists = [this] { return static_cast<bool>(m_view->m_pFeedList); };
    hooks.writeFeedGroupTable = [&services] { if (services.writeFeedGroupTable) services.writeFeedGroupTable(); };
    hooks.saveLibraryConfig = [this, &services] {
        if (services.saveLibraryConfig) services.saveLibraryConfig(m_StartDirectory);
    };
    hooks.askSavePath = [this](const std::string& s) { return m_AskSavePath ? m_AskSavePath(s) : std::string(); };
    hooks.showPath = [this](const std::string& path) {
        if (!m_pathPane) return;
        m_pathShown = true;
        m_pathPane->setText(Q(path));
    };
    hooks.fileUsed = [this](const std::string& path) {
        m_RecentFiles.Add(path);
        m_RecentFiles.Save(RecentProfilePath());
    };
    m_doc = std::make_unique<CSMTDoc>(m_view->Job(), std::move(hooks));
    m_RecentFiles.Load(RecentProfilePath());

    TableFileError error;
    if (!LoadFigLists(m_StartDirectory, g_FigLists, error)) {
        plat::MessageBoxOk(TableFileErrorText(error), false, plat::MsgIcon::Error);
        return;
    }
    m_created = true;
}

CMainFrame::~CMainFrame() {
    delete m_view;  // panels and dialogs go before the frame's bars
    m_view = nullptr;
    if (plat::KeepAwakeHeld()) plat::SetKeepAwake(false);
}

std::string CMainFrame::RecentProfilePath() const {
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) base = x;
    else if (const char* h = std::getenv("HOME"); h && *h) base = std::string(h) + "/.config";
    else return {};
    const std::string folder = plat::JoinPath(base, "Local AppWizard-Generated Applications");
    if (!plat::IsDirectory(folder)) {
        plat::MakeDirectory(base);
        plat::MakeDirectory(folder);
    }
    return plat::JoinPath(folder, "SMT.ini");
}

// ---- settings ---------------------------------------------------------------

void CMainFrame::LoadLanguageSettings() {
    const LanguageSettings current{m_LanguageName, g_LanguageIndex, m_WindowTitle};
    const LanguageSettings s = smt::LoadLanguageSettings(m_StartDirectory, current);
    m_LanguageName = s.languageName;
    g_LanguageIndex = s.languageIndex;
    m_WindowTitle = s.windowTitle;
    setWindowTitle(Q(m_WindowTitle));
    ApplyQtLanguage(g_LanguageIndex);
    LoadInputMessages(m_StartDirectory, m_LanguageName);
}

void CMainFrame::LoadMachineSet() { g_MachineType = smt::LoadMachineSet(m_StartDirectory); }
void CMainFrame::SaveLanguageSet() { smt::SaveLanguageSet(m_StartDirectory, m_LanguageName); }
void CMainFrame::SaveMachineSet() { smt::SaveMachineSet(m_StartDirectory, g_MachineType); }

void CMainFrame::LoadMenuTexts(const std::string& language) {
    m_MenuCaptions = smt::LoadMenuTexts(m_StartDirectory, language);
    RelabelMenuBar();
    CaptionPathPane();
}

// ---- menus ------------------------------------------------------------------

void CMainFrame::AddMenuNodes(QMenu* menu, const std::vector<MenuNode>& nodes) {
    const bool menuBar = menu->property("menuBar").toBool();
    for (const auto& n : nodes) {
        switch (n.kind) {
        case MenuKind::Separator: menu->addSeparator(); break;
        case MenuKind::Popup: {
            QMenu* sub = menu->addMenu(Q(CaptionOf(n, m_MenuCaptions)));
            sub->setProperty("menuBar", menuBar);
            sub->setObjectName(Q(n.key));
            connect(sub, &QMenu::aboutToShow, this, [this, sub] { UpdateMenuItems(sub); });
            AddMenuNodes(sub, n.children);
            break;
        }
        case MenuKind::Command: {
            QAction* a = menu->addAction(Q(CaptionOf(n, m_MenuCaptions)));
            a->setData(n.id);
            a->setObjectName(Q(n.key));
            a->setCheckable(IsCheckable(n.id));
            // One of several: language, machine type, speed class show as radio items.
            if (const char* group = ExclusiveGroupOf(n.id)) {
                auto* g = menu->findChild<QActionGroup*>(group, Qt::FindDirectChildrenOnly);
                if (!g) {
                    g = new QActionGroup(menu);
                    g->setObjectName(group);
                    g->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
                }
                g->addAction(a);
            }
            const int id = n.id;
            connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
            if (menuBar) m_actions[n.id] = a;
            break;
        }
        }
    }
}

void CMainFrame::BuildMenuBar() {
    const auto& model = MenuBarModel();
    for (const auto& popup : model) {
        QMenu* menu = menuBar()->addMenu(Q(popup.builtin));
        menu->setObjectName(Q(popup.key));
        menu->setProperty("menuBar", true);
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenuItems(menu); });
        AddMenuNodes(menu, popup.children);
        m_popups.push_back(menu);
    }
    m_fileMenu = m_popups[0];
    m_mruAnchor = Action(cmd::FileMru1);
    connect(m_fileMenu, &QMenu::aboutToShow, this, [this] { RebuildRecentFiles(m_fileMenu); });
    RelabelMenuBar();
}

void CMainFrame::RelabelNodes(QMenu* menu, const std::vector<MenuNode>& nodes) {
    const auto actions = menu->actions();
    int i = 0;
    for (const auto& n : nodes) {
        // Skip the recent-file entries that stand after the anchor.
        while (i < actions.size() && actions[i]->property("mru").toBool()) ++i;
        if (i >= actions.size()) break;
        QAction* a = actions[i++];
        if (n.kind == MenuKind::Separator) continue;
        a->setText(Q(CaptionOf(n, m_MenuCaptions)));
        // A relabelled item is enabled and unchecked until its update handler runs.
        a->setEnabled(true);
        if (a->isCheckable()) a->setChecked(false);
        if (n.kind == MenuKind::Popup && a->menu()) RelabelNodes(a->menu(), n.children);
        if (n.kind == MenuKind::Command && QueryItemUpdate(n.id, {}).alwaysDisabled) a->setEnabled(false);
    }
}

void CMainFrame::RelabelMenuBar() {
    const auto& model = MenuBarModel();
    for (std::size_t p = 0; p < model.size() && p < m_popups.size(); ++p) {
        m_popups[p]->setTitle(Q(CaptionOf(model[p], m_MenuCaptions)));
        RelabelNodes(m_popups[p], model[p].children);
    }
    if (m_mruAnchor) m_mruAnchor->setEnabled(false);  // enabled only by recent entries
    for (const ToolTipCaption& t : ToolbarTipCaptions())
        if (QToolButton* b = ToolButton(t.id)) b->setToolTip(Q(ToolTipOf(t, m_MenuCaptions)));
}

void CMainFrame::UpdateMenuItems(QMenu* menu) {
    const auto& s = GetShellServices();
    const MenuContext context{g_MachineType, g_LanguageIndex, s.activeSpeedClass ? s.activeSpeedClass() : 0};
    for (QAction* a : menu->actions()) {
        bool ok = false;
        const int id = a->data().toInt(&ok);
        if (!ok || id == 0) continue;
        if (id == cmd::ViewToolbar) { a->setChecked(m_toolBar && !m_toolBar->isHidden()); continue; }
        if (id == cmd::ViewStatusBar) { a->setChecked(!statusBar()->isHidden()); continue; }
        const ItemUpdate u = QueryItemUpdate(id, context);
        if (u.alwaysDisabled) { a->setEnabled(false); continue; }
        if (u.enable) a->setEnabled(*u.enable);
        if (u.mark) a->setChecked(true);
    }
}

void CMainFrame::RebuildRecentFiles(QMenu* fileMenu) {
    for (QAction* a : m_mruActions) {
        fileMenu->removeAction(a);
        a->deleteLater();
    }
    m_mruActions.clear();
    const auto& entries = m_RecentFiles.Entries();
    m_mruAnchor->setVisible(entries.empty());
    m_mruAnchor->setEnabled(false);
    QAction* before = nullptr;
    const auto actions = fileMenu->actions();
    for (int i = 0; i + 1 < actions.size(); ++i)
        if (actions[i] == m_mruAnchor) before = actions[i + 1];
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(Q(entries[i])), fileMenu);
        a->setProperty("mru", true);
        a->setData(cmd::FileMru1 + static_cast<int>(i));
        const std::string path = entries[i];
        connect(a, &QAction::triggered, this, [this, path] { OpenRecent(path); });
        fileMenu->insertAction(before, a);
        m_mruActions.push_back(a);
    }
}

QAction* CMainFrame::Action(int id) const {
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

// ---- toolbar and status bar ---------------------------------------------------

void CMainFrame::FillDropDown(QMenu* menu, int buttonId) {
    for (QMenu* old : menu->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly)) old->deleteLater();
    menu->clear();
    if (buttonId == cmd::PositioningDropDown) {
        OnPositioningMenuOpened();
        AddMenuNodes(menu, PositioningMenuModel());
    } else if (buttonId == cmd::SettingsDropDown) {
        AddMenuNodes(menu, SettingsMenuModel());
    }
    UpdateMenuItems(menu);
}

QMenu* CMainFrame::DropDownMenu(int buttonId) const {
    auto it = m_dropDowns.find(buttonId);
    return it == m_dropDowns.end() ? nullptr : it->second;
}

QToolButton* CMainFrame::ToolButton(int id) const {
    auto it = m_toolButtons.find(id);
    return it == m_toolButtons.end() ? nullptr : it->second;
}

void CMainFrame::BuildToolBar() {
    m_toolBar = addToolBar("toolbar");
    m_toolBar->setObjectName("toolBar");
    m_toolBar->setIconSize({32, 32});
    QStyle* st = style();
    auto addShared = [&](int id, QStyle::StandardPixmap icon) {
        QAction* a = Action(id);
        a->setIcon(st->standardIcon(icon));
        m_toolBar->addAction(a);
    };
    addShared(cmd::FileNew, QStyle::SP_FileIcon);
    addShared(cmd::FileOpen, QStyle::SP_DialogOpenButton);
    addShared(cmd::FileSave, QStyle::SP_DialogSaveButton);
    m_toolBar->addSeparator();
    addShared(cmd::EditCut, QStyle::SP_DialogDiscardButton);
    addShared(cmd::EditCopy, QStyle::SP_FileDialogNewFolder);
    addShared(cmd::EditPaste, QStyle::SP_DialogResetButton);
    m_toolBar->addSeparator();

    // The feeder list's button carries a drop-down arrow too; its arrow opens nothing.
    struct Button { int id; QStyle::StandardPixmap icon; bool dropDown; };
    const Button buttons[] = {
        {cmd::PositioningDropDown, QStyle::SP_ArrowDown, true},
        {cmd::SettingsDropDown, QStyle::SP_FileDialogDetailedView, true},
        {cmd::FeedListPanel, QStyle::SP_FileDialogListView, true},
        {cmd::PartListPanel, QStyle::SP_FileDialogContentsView, false},
    };
    for (const auto& b : buttons) {
        auto* tb = new QToolButton(m_toolBar);
        tb->setObjectName(QStringLiteral("button%1").arg(b.id));
        tb->setIcon(st->standardIcon(b.icon));
        tb->setIconSize({32, 32});
        const int id = b.id;
        connect(tb, &QToolButton::clicked, this, [this, id] { OnCommand(id); });
        if (b.dropDown) {
            auto* menu = new QMenu(tb);
            menu->setObjectName(QStringLiteral("dropDown%1").arg(b.id));
            connect(menu, &QMenu::aboutToShow, this, [this, menu, id] { FillDropDown(menu, id); });
            tb->setMenu(menu);
            tb->setPopupMode(QToolButton::MenuButtonPopup);
            m_dropDowns[b.id] = menu;
        }
        m_toolBar->addWidget(tb);
        m_toolButtons[b.id] = tb;
    }
    for (const ToolTipCaption& t : ToolbarTipCaptions())
        if (QToolButton* b = ToolButton(t.id)) b->setToolTip(Q(ToolTipOf(t, m_MenuCaptions)));
}

void CMainFrame::BuildStatusBar() {
    m_messagePane = new QLabel(this);
    m_messagePane->setObjectName("messagePane");
    m_messagePane->setMinimumWidth(418);
    m_pathPane = new QLabel(this);
    m_pathPane->setObjectName("pathPane");
    m_pathPane->setMinimumWidth(600);
    CaptionPathPane();
    statusBar()->addWidget(m_messagePane);
    statusBar()->addWidget(m_pathPane);
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        auto* l = new QLabel(indicator, this);
        l->setEnabled(false);
        statusBar()->addPermanentWidget(l);
    }
}

// Until a file is opened or saved the pane shows its caption, in the interface language.
void CMainFrame::CaptionPathPane() {
    if (!m_pathPane || m_pathShown) return;
    m_pathPane->setText(Q(LoadCaption(m_StartDirectory, m_LanguageName, "MenuSetConfig", "c_StatusFilePath", "File Path")));
}

QString CMainFrame::StatusPathText() const { return m_pathPane ? m_pathPane->text() : QString(); }

// ---- commands -----------------------------------------------------------------

void CMainFrame::OpenRecent(const std::string& path) {
    if (!m_doc->OnOpenDocument(path) && !plat::FileExists(path)) {
        // A recent file that is gone leaves the list.
        m_RecentFiles.Remove(path);
        m_RecentFiles.Save(RecentProfilePath());
    }
    if (m_view->m_pPartList) m_view->m_pPartList->RefreshPlacementList();
}

void CMainFrame::OnCommand(int id) {
    switch (id) {
    case cmd::FileNew:
        m_doc->OnNewDocument();
        if (m_view->m_pPartList) m_view->m_pPartList->RefreshPlacementList();
        return;
    case cmd::FileOpen: {
        const std::string path = m_AskOpenPath ? m_AskOpenPath() : std::string();
        if (!path.empty()) OpenRecent(path);
        return;
    }
    case cmd::FileSave: m_doc->DoFileSave(); return;
    case cmd::FileSaveAs: m_doc->DoSaveAs(); return;
    case cmd::AppExit: close(); return;
    case cmd::ViewToolbar: m_toolBar->setVisible(m_toolBar->isHidden()); return;
    case cmd::ViewStatusBar: statusBar()->setVisible(statusBar()->isHidden()); return;
    default: break;
    }
    if (const int lang = LanguageOfCommand(id); lang >= 0) return OnLanguage(lang);
    if (MachineTypeOfCommand(id) >= 0) return OnMachineType(id);
    if (QueryItemUpdate(id, {}).alwaysDisabled) return;
    m_view->OnCommand(id);
}

void CMainFrame::OnLanguage(int index) {
    const auto& s = GetShellServices();
    if (index < 0 || index >= kLanguageCount || (s.isBusy && s.isBusy())) return;
    g_LanguageIndex = index;
    m_LanguageName = kLanguageNames[index];
    ApplyQtLanguage(index);
    LoadInputMessages(m_StartDirectory, m_LanguageName);
    LoadMenuTexts(m_LanguageName);
    m_WindowTitle = kWindowTitles[index];
    setWindowTitle(Q(m_WindowTitle));
    m_view->LanguageChangeSteps().Run({m_StartDirectory, m_LanguageName});
}

void CMainFrame::OnMachineType(int id) {
    const auto& s = GetShellServices();
    if (!MachineTypeCommandHandled(id) || (s.isBusy && s.isBusy())) return;
    const int type = MachineTypeOfCommand(id);
    g_MachineType = type;
    for (int t = 0; t < kMachineTypeCount; ++t) {
        const int other = CommandOfMachineType(t);
        if (!MachineTypeCommandHandled(other)) continue;
        if (QAction* a = Action(other)) a->setChecked(other == id);
    }
    if (s.layoutManualControl) s.layoutManualControl(type);
    m_view->Layout();
    if (m_view->m_pFeedList) m_view->m_pFeedList->OnMachineTypeChanged();
    SaveMachineSet();
    if (type <= 7) {
        if (s.resetStrategyForMachineType) s.resetStrategyForMachineType(m_StartDirectory);
        g_SmtHeadCount = 1;
        g_SmtSameNozzle = 0;
    }
}

// ---- closing ------------------------------------------------------------------

bool CMainFrame::JoinThreadsPumping() {
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::seconds(5);
    // Workers may be waiting for a posted task: run those, but take no new input
    // from the operator while closing (boxes asked meanwhile are answered quietly).
    while (plat::RunningWorkers() > 0 && clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        QThread::msleep(5);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now());
    return plat::JoinAllWorkers(std::max(left, std::chrono::milliseconds(0)));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    auto& s = GetShellServices();
    CloseHooks h;
    h.isBusy = s.isBusy;
    h.hasPcbRecords = [this] { return m_view->Job().PcbRecordCount() > 0; };
    h.saveAll = [this] { return m_doc->SaveAll(); };
    h.stopRun = s.stopRun;
    h.raiseStopFlags = s.raiseStopFlags;
    bool joined = true;
    h.joinThreads = [this, &joined] {
        SetUiShuttingDown(true);
        const int running = plat::RunningWorkers();
        joined = JoinThreadsPumping();
        if (!joined) LogPrintf(GetLogStream(), true, "Closing: %d worker(s) did not end in time", running);
        return joined;
    };
    h.saveConfig = [this, &s] {
        bool ok = !s.saveCameraPanelConfig || s.saveCameraPanelConfig(m_StartDirectory);
        ok = (!s.saveManualControlConfig || s.saveManualControlConfig(m_StartDirectory)) && ok;
        ok = smt::SaveLanguageSet(m_StartDirectory, m_LanguageName) && ok;
        ok = smt::SaveMachineSet(m_StartDirectory, g_MachineType) && ok;
        ReportConfigWrite(ok, ConfigFilePath(m_StartDirectory));
    };
    h.closeOrdinaryCameras = [&s](int count) {
        for (int i = 0; i < count; ++i)
            if (s.closeOrdinaryCamera) s.closeOrdinaryCamera(i);
    };
    if (RunCloseSequence(h, g_MachineType) == CloseDecision::StayOpen) {
        event->ignore();
        return;
    }
    if (!joined) {
        // The settings are written and every log line is in its file (one write
        // each): end here, with the link, panels and globals still alive for the
        // worker that did not stop.
        LogPrintf(GetLogStream(), true, "Closing: process ended with a worker still running");
        if (m_EndProcessNow) return m_EndProcessNow();
    }
    event->accept();
}

} // namespace smt
