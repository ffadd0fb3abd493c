// The tray dialog "托盘操作": the pocket grid of one feeder's tray with its rows,
// columns and pitches; a right click sends the mark camera or a nozzle over a
// pocket. Its logic is plain C++ in feeders/tray_pockets.h.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "feeders/feed_rows.h"
#include "settings/dialog_captions.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace smt {

class FeedList;

class CDialogGridBox : public QDialog {
    Q_OBJECT
public:
    CDialogGridBox(FeedList& list, QWidget* parent);
    ~CDialogGridBox() override;

    std::function<int(QDialog&)> m_RunModal;

    // Set by the feeder editor before the dialog opens: the first pocket's position.
    double m_OriginX = 0, m_OriginY = 0;
    int m_OperationCode = 0;
    int m_TargetRow = 0, m_TargetColumn = 1;

    void LoadLanguage(const std::string& startFolder, const std::string& language);
    void ApplyLanguage();
    // The opening: the selected feeder's tray shown as stored.
    void OnInitDialog();
    // A finished change of the rows or columns: every pocket full.
    void OnSizeChanged();
    void OnPocketClicked(int row, int column);
    void OnPlaceAll(bool all);
    void OnCaptureRowPitch();
    void OnCaptureColumnPitch();
    // The right click on a pocket: the guards, the target and the menu (nullptr: none).
    std::unique_ptr<QMenu> BuildPocketMenu(int row, int column);
    void OnPocketMenu(int code);

    QSpinBox* RowsBox() const { return m_rows; }
    QSpinBox* ColumnsBox() const { return m_columns; }
    QLineEdit* RowPitchEdit() const { return m_rowPitch; }
    QLineEdit* ColumnPitchEdit() const { return m_columnPitch; }
    QLineEdit* FeederIdEdit() const { return m_feedId; }
    QTableWidget* Grid() const { return m_grid; }
    QLabel* CountLabel() const { return m_count; }
    QCheckBox* PlaceAllBox() const { return m_placeAll; }
    // The grid as the feeder table reads and fills it.
    TrayGridList& GridList() { return *m_gridList; }

public slots:
    void accept() override;

private:
    void Rebuild(int rows, int columns);
    void ShowCount(bool withNumber, int count);
    int FullPockets() const;

    FeedList& m_list;
    DialogCaptions m_texts;
    std::unique_ptr<TrayGridList> m_gridList;
    QLineEdit* m_groupName = nullptr;
    QLineEdit* m_feedId = nullptr;
    QSpinBox* m_rows = nullptr;
    QSpinBox* m_columns = nullptr;
    QLineEdit* m_rowPitch = nullptr;
    QLineEdit* m_columnPitch = nullptr;
    QTableWidget* m_grid = nullptr;
    QCheckBox* m_placeAll = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_captions[6]{};  // group, feeder, rows, columns, row pitch, column pitch
    QPushButton* m_ok = nullptr;
    int m_shownRows = 0, m_shownColumns = 0;  // the size the grid was built with
    std::optional<int> m_targetIcon;           // the target pocket's own image
};

// The pocket images 0..2 (own artwork): empty tray pocket, part, move target.
QIcon PocketImage(int index);

} // namespace smt
