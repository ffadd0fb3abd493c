// The CAD import dialog: the format list, the rows read from coordinate files,
// sorting and deleting them, and the import into the current PCB. Reading,
// converting and matching are plain code (joblist/cad_layouts.h, cad_import.h).
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

#include "joblist/cad_import.h"
#include "joblist/cad_layouts.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace smt {

class PcbEditor;

class CDialogImportFile : public QDialog {
    Q_OBJECT
public:
    CDialogImportFile(PcbEditor& pcb, QWidget* parent);

    void OnInitDialog(const std::string& startFolder, const std::string& language);
    void LoadLanguage(const std::string& startFolder, const std::string& language);
    void ApplyLanguage();

    // The handlers, public so that tests drive them as a click would.
    void OnFormatChange(int index);
    void OnOpenPcbFile();
    // Reads one file with the chosen layout and appends its rows.
    void ReadFile(const std::string& path);
    void OnImportAll();
    void OnDeleteRows();
    void OnColumnClick(int column);
    void OnOK();

    QComboBox* Formats() const { return m_formats; }
    QTableWidget* List() const { return m_list; }
    QLabel* CountLabel() const { return m_count; }
    QLabel* PercentLabel() const { return m_percent; }
    QProgressBar* Progress() const { return m_progress; }
    QCheckBox* FitPacking() const { return m_fitPacking; }
    QCheckBox* FitValue() const { return m_fitValue; }
    const std::vector<ImportRow>& Rows() const { return m_rows; }

    // Asks for a file (filter, default extension); "" when the operator cancels.
    // Tests replace it.
    static std::function<std::string(const QString& filter, const QString& extension)>& FileChooser();

private:
    void ShowRows();
    void ShowCount();

    PcbEditor& m_pcb;
    ImportFileConfig& m_config;
    ImportFileTexts m_texts;
    std::string m_startFolder;
    std::vector<ImportRow> m_rows;
    QComboBox* m_formats = nullptr;
    QTableWidget* m_list = nullptr;
    QLabel* m_formatLabel = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_percent = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_open = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_ok = nullptr;
    QCheckBox* m_fitPacking = nullptr;
    QCheckBox* m_fitValue = nullptr;
};

// How the PCB editor's buttons open the import dialog and the two-mark test, in
// the program's view (defined with the job lists' wiring).
void OpenCadImport(PcbEditor& pcb, QWidget* parent);
void OpenDoubleMarkTest(QWidget* parent);

} // namespace smt
