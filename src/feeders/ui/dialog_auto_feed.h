// "自动飞达操作": marks the automatic feeders on a 6 x 16 grid and edits the timing
// of the central feeder unit. The values are the live TheAutoFeed(); a click on a
// feeder or a row number toggles its marks and at once sends the request.
#pragma once

#include <QDialog>

#include <map>
#include <string>

class QLineEdit;
class QTableWidget;

class CDialogAutoFeed : public QDialog {
    Q_OBJECT
public:
    explicit CDialogAutoFeed(QWidget* parent = nullptr);

    void LoadConfig(const std::string& startFolder);
    bool SaveConfig(const std::string& startFolder) const;
    void LoadLanguage(const std::string& startFolder, const std::string& language);
    void ApplyLanguage();
    // Each opening: the grid from the three words, the captions, the values.
    void OnInitDialog();
    // A click on grid row r (0..5), column c (0 the row number, 1..16 a feeder).
    void OnClickGrid(int row, int column);

    QTableWidget* Grid() const { return m_grid; }
    QLineEdit* Edit(int id) const;

public slots:
    void accept() override;

private:
    void ShowGrid();

    QTableWidget* m_grid = nullptr;
    std::map<int, QLineEdit*> m_edits;
    std::map<std::string, QWidget*> m_captioned;
};
