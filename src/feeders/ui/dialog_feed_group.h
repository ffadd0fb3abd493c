// The feeder-group manager "料架模组": the group list, add, copy, rename, delete
// and open, collapsed by 88 pixels until the operator reaches for the fields.
#pragma once

#include <QDialog>

#include "feeders/feed_group_manager.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace smt {

class CDialogFeedList;

class CDialogFeedGroup : public QDialog {
    Q_OBJECT
public:
    CDialogFeedGroup(FeedGroupTable& table, CDialogFeedList* feedList);

    // Each opening: the list from the table, collapsed, the captions applied.
    void OnInitDialog();
    void ApplyLanguage();
    FeedGroupManager& Manager() { return m_manager; }
    QTableWidget* GroupList() { return m_list; }
    QLineEdit* NameField() { return m_name; }
    QPlainTextEdit* DescriptionField() { return m_description; }
    QPushButton* Button(int id);
    bool Expanded() const { return m_manager.expanded; }

    void OnAdd();
    void OnCopy();
    void OnRename();
    void OnDelete();
    void OnOpen();
    void OnRowClicked(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillList();
    void TakeFields();
    void ShowState();

    FeedGroupManager m_manager;
    CDialogFeedList* m_feedList;
    QTableWidget* m_list = nullptr;
    QLabel* m_nameLabel = nullptr;
    QLabel* m_descriptionLabel = nullptr;
    QLineEdit* m_name = nullptr;
    QPlainTextEdit* m_description = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_rename = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_open = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    int m_fullHeight = 0;
};

} // namespace smt
