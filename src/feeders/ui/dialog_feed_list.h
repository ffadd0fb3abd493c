// The feeder list panel: the open group's feeders in a 30-column list, the
// group-name field, the show-selected button and the context menu. It shows the
// plain FeedList and forwards the operator's clicks to it.
#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "feeders/feed_list.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;

namespace smt {

class CDialogFeedEdit;
class CDialogFeedGroup;

// The list as a Qt model over the FeedList's rows.
class FeedListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    FeedListModel(FeedList& list, QObject* parent);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void Reset();
    // Headers 16 and 25 keep their first texts until the captions are loaded.
    bool captionsLoaded = false;

private:
    FeedList& m_list;
};

// The list images 0..7 (own artwork).
QIcon FeedListImage(int index);

class CDialogFeedList : public QWidget {
    Q_OBJECT
public:
    explicit CDialogFeedList(QWidget* parent);
    ~CDialogFeedList() override;

    // The panel's start: reads the feeder groups and shows the open one.
    void OnInitDialog(const std::string& startFolder, const std::string& language);
    void LoadLanguage(const std::string& startFolder, const std::string& language);
    void SortFeedList();
    // Some column captions depend on the machine type: shown again for the new one.
    void OnMachineTypeChanged();

    FeedList& List() { return m_list; }
    FeedListModel* Model() { return m_model; }
    QTableView* ListView() { return m_view; }
    QLineEdit* GroupNameField() { return m_groupName; }
    CDialogFeedGroup& FeedGroupDialog() { return *m_feedGroup; }
    CDialogFeedEdit& FeedEditDialog() { return *m_feedEdit; }

    // The context menu for a row (-1 beside the rows), built and greyed as it opens.
    std::unique_ptr<QMenu> BuildContextMenu(int row);
    void OnMenuCommand(int id);
    void OnClick(int row);
    void OnDoubleClick(int row);
    void OnShowSelected();
    // Shows the open group again (after the manager's open).
    void ShowOpenGroup();

    // How the feeder editor runs; tests replace it. The default runs CDialogFeedEdit.
    FeedList::Editor m_RunEditor;

private:
    void ApplyLanguage();

    FeedList m_list;
    FeedListModel* m_model = nullptr;
    QTableView* m_view = nullptr;
    QLabel* m_groupLabel = nullptr;
    QLineEdit* m_groupName = nullptr;
    QPushButton* m_showSelect = nullptr;
    QLabel* m_colName = nullptr;
    QLabel* m_content = nullptr;
    QPushButton* m_find = nullptr;
    std::unique_ptr<CDialogFeedGroup> m_feedGroup;
    CDialogFeedEdit* m_feedEdit = nullptr;
    std::string m_startFolder = ".";
};

} // namespace smt
