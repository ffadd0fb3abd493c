// Stand-ins for the panels and settings dialogs whose subsystems have not landed
// yet. Each says plainly what it stands for; the view holds them under the names
// the real ones take, so that each is swapped for its real class in one place.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <functional>

namespace smt {

class PlaceholderJobLists;

// A panel placeholder: a framed area with the name of the panel it stands for.
class PlaceholderPanel : public QFrame {
    Q_OBJECT
public:
    PlaceholderPanel(const QString& className, const QString& role, QSize preferred, QWidget* parent);
    QSize sizeHint() const override { return m_preferred; }
    const QString& ClassName() const { return m_className; }

private:
    QString m_className;
    QSize m_preferred;
};

// The part list placeholder shows the placement lines of the job as text.
class PlaceholderPartListPanel : public PlaceholderPanel {
    Q_OBJECT
public:
    PlaceholderPartListPanel(PlaceholderJobLists& job, QWidget* parent);
    // Fills the placement list from the job.
    void RefreshPlacementList();
    QListWidget* PlacementList() { return m_list; }
    QPushButton* PcbEditButton() { return m_pcbEdit; }

private:
    PlaceholderJobLists& m_job;
    QListWidget* m_list;
    QPushButton* m_pcbEdit = nullptr;
    QLabel* m_statics = nullptr;
};

// How the part list's "Pcb Edit" opens the PCB editor (set by its wiring).
std::function<void(QWidget* parent)>& PcbEditorOpener();

// A settings dialog placeholder: modal, says which dialog it stands for.
class PlaceholderDialog : public QDialog {
    Q_OBJECT
public:
    PlaceholderDialog(const QString& className, QWidget* parent);
    const QString& ClassName() const { return m_className; }
    // The page the speed template dialog opens on.
    void SetPage(int page) { m_page = page; }
    int Page() const { return m_page; }

private:
    QString m_className;
    int m_page = 0;
};

} // namespace smt
