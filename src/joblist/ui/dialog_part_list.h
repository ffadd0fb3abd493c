// The part list window: the placement, dispensing and drilling lists of the open
// project over the live row store, the run toolbar, the run fields, the in-place
// combos of the placement list and the three context menus. It only shows and
// edits; the rows and every service live in the store (joblist/part_list.h).
#pragma once

#include <QAbstractTableModel>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QTableView>
#include <QTimer>

#include <array>
#include <functional>
#include <map>
#include <string>

#include "joblist/part_list.h"
#include "joblist/ui/dialog_find.h"
#include "joblist/ui/dialog_smt_strategy.h"
#include "joblist/ui/toolbar_part_control.h"

namespace smt {

// One list of the store as a table model. Its row count follows the store only
// on the user-interface thread, when a change arrives.
class JobListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    JobListModel(PartListStore& store, JobList list, QObject* parent);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void Apply(const ListChange& change);
    void ResetFromStore();
    void SetHeaders(std::vector<QString> headers);
    JobList List() const { return m_list; }

private:
    PartListStore& m_store;
    JobList m_list;
    int m_rows = 0;
    std::vector<QString> m_headers;
};

class CDialogPartList : public QFrame {
    Q_OBJECT
public:
    // Runs the window start; `startFolder` is where the strategy settings live.
    CDialogPartList(const std::string& startFolder, QWidget* parent = nullptr,
                    PartListStore& store = ThePartList());
    ~CDialogPartList() override;

    // Captions from the language's caption file, then applied.
    void LoadLanguage(const std::string& startFolder, const std::string& language);
    void ApplyPartListCaptions();

    CToolBarPartControl* ToolBar() const { return m_toolBar; }
    QTableView* List(JobList list) const { return m_views[static_cast<int>(list)]; }
    QTableView* PlacementList() const { return List(JobList::Part); }
    QComboBox* InPlaceCombo(smt::InPlaceCombo combo) const { return m_combos[static_cast<int>(combo)]; }
    QLabel* Static(int id) const;
    QProgressBar* Progress() const { return m_progress; }
    QLineEdit* Counters() const { return m_counters; }
    PartListStore& Store() const { return m_store; }

    // Shows one of the three lists (and hides the other two) at once.
    void ShowList(JobList list);
    // Every list again from the store, at once (after a load or a new job).
    void RefreshPlacementList();
    // The context menu of a list with its captions and greying, as a right click shows it.
    QMenu* BuildContextMenu(JobList list);
    // A left click on a cell of a list (in-place editing).
    void OnListClick(JobList list, const QModelIndex& index);
    // Commits the visible combos; on a kill-focus the feeder combo also completes the row.
    void CommitInPlaceEditors(bool killFocus);
    // Header click: sorts that list by the clicked column.
    void OnHeaderClick(JobList list, int column);
    // Toolbar commands; a command whose handler has not landed says so.
    void OnCommand(int commandId);

    // The run toolbar (the machine's panel keys reach the same handlers).
    bool OnStartRun();
    void OnPauseRun();
    void OnResumeRun();
    void OnStopRun();
    // The run clock's one-second tick.
    void OnTimer();
    QTimer& RunClock() { return m_runClock; }
    // Run from the current row and run of the selected rows, per list.
    void OnRunFromCurrentPart();
    void OnRunFromCurrentDis();
    void OnRunFromCurrentDrill();
    void OnRunSelectedParts();
    void OnRunSelectedDis();
    void OnRunSelectedDrill();
    // Scrolls so that `row` of the list is visible (clamped to the list).
    void EnsureVisible(JobList list, int row);

    CDialogSMTStrategy* m_DialogSMTStrategy = nullptr;
    CDialogFind* m_DialogFind = nullptr;

    // Handlers other parts register: toolbar commands by id, menu commands by
    // their caption key (list-qualified as "Dis.PartAdd" and "Drill.PartAdd").
    std::map<int, std::function<void()>> m_ToolHandlers;
    std::map<std::string, std::function<void()>> m_MenuHandlers;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnInitDialog(const std::string& startFolder);
    void ShowVisibleList(JobList list);
    void OnListChanged(JobList list, const ListChange& change);
    void ApplySelection(JobList list, const ListChange& change);
    void TakeSelection(JobList list);
    void ShowCombo(smt::InPlaceCombo combo, int selected, const QModelIndex& index);
    void RunMenuCommand(const std::string& key);
    void ShowNotYet();

    PartListStore& m_store;
    CToolBarPartControl* m_toolBar = nullptr;
    std::array<QTableView*, 3> m_views{};
    std::array<JobListModel*, 3> m_models{};
    std::array<QComboBox*, kInPlaceComboCount> m_combos{};
    std::map<int, QLabel*> m_statics;
    QProgressBar* m_progress = nullptr;
    QLineEdit* m_counters = nullptr;
    QRect m_currentCellRect;
    bool m_applyingSelection = false;
    bool m_hidingEditors = false;  // a hide by code is no operator's kill-focus
    QTimer m_runClock;
    void HideEditors();
};

} // namespace smt
