// The main window: menu bar, toolbar with the settings and positioning drop-down
// buttons, status bar, window title per language, the language and machine-type
// commands, the document commands and the closing sequence.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QToolButton>

#include <map>
#include <memory>
#include <string>

#include "app/document.h"
#include "app/frameconfig.h"
#include "app/menus.h"
#include "base/tablefile.h"

namespace smt {

class CSMTView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame();
    ~CMainFrame() override;

    // False when a table file could not be read: the error was shown and the
    // program ends.
    bool Created() const { return m_created; }

    CSMTView* GetActiveView() const { return m_view; }
    CSMTDoc& Document() { return *m_doc; }

    // Settings of the frame (called by the view's creation).
    void LoadLanguageSettings();
    void LoadMachineSet();
    void SaveLanguageSet();
    void SaveMachineSet();
    void LoadMenuTexts(const std::string& language);

    // Commands by id, as the menus, the toolbar and the drop-downs send them.
    void OnCommand(int id);
    void OnLanguage(int index);
    void OnMachineType(int id);
    // The menu bar's action of a command id (null when none).
    QAction* Action(int id) const;
    // The toolbar's drop-down menus (settings 32885, positioning 32892), rebuilt
    // each time they open.
    QMenu* DropDownMenu(int buttonId) const;
    QToolButton* ToolButton(int id) const;
    // Applies the update handlers to the items of a menu, as when it opens.
    void UpdateMenuItems(QMenu* menu);
    QString StatusPathText() const;

    // Asks for a project path (tests replace it).
    std::function<std::string(const std::string&)> m_AskSavePath;
    std::function<std::string()> m_AskOpenPath;
    // Ends the process at once when a worker outlived the join: nothing it may still
    // use is destroyed under it (tests replace this).
    std::function<void()> m_EndProcessNow;

    std::string m_StartDirectory;
    std::string m_LanguageName = "Chinese";
    std::string m_WindowTitle;
    MenuCaptions m_MenuCaptions;
    RecentFileList m_RecentFiles;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenuBar();
    void AddMenuNodes(QMenu* menu, const std::vector<MenuNode>& nodes);
    void RelabelMenuBar();
    void RelabelNodes(QMenu* menu, const std::vector<MenuNode>& nodes);
    void FillDropDown(QMenu* menu, int buttonId);
    void BuildToolBar();
    void BuildStatusBar();
    void CaptionPathPane();
    void RebuildRecentFiles(QMenu* fileMenu);
    void OpenRecent(const std::string& path);
    bool JoinThreadsPumping();
    std::string RecentProfilePath() const;

    bool m_created = false;
    CSMTView* m_view = nullptr;
    std::unique_ptr<CSMTDoc> m_doc;
    std::map<int, QAction*> m_actions;
    std::vector<QMenu*> m_popups;  // the menu bar's pop-ups, in model order
    std::map<int, QToolButton*> m_toolButtons;
    std::map<int, QMenu*> m_dropDowns;
    QMenu* m_fileMenu = nullptr;
    QAction* m_mruAnchor = nullptr;
    std::vector<QAction*> m_mruActions;
    QLabel* m_messagePane = nullptr;
    QLabel* m_pathPane = nullptr;
    bool m_pathShown = false;  // the pane names a file, not its caption
    QToolBar* m_toolBar = nullptr;
};

} // namespace smt
