#include "joblist/ui/dialog_cad_import.h"
#include "joblist/part_list.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <ctime>

#include "base/captions.h"
#include "base/numtext.h"
#include "joblist/cad_two_mark.h"
#include "joblist/pcb_editor.h"
#include "joblist/ui/dialog_two_mark_test.h"
#include "platform/files.h"
#include "platform/msgbox.h"

namespace smt {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The count label's caption carries its own "0": the count replaces it.
std::string CountPrefix(std::string caption) {
    while (!caption.empty() && caption.back() == '0') caption.pop_back();
    return caption;
}

} // namespace

std::function<std::string(const QString&, const QString&)>& CDialogImportFile::FileChooser() {
    static std::function<std::string(const QString&, const QString&)> chooser =
        [](const QString& filter, const QString& extension) {
            QFileDialog dialog(nullptr);
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::ExistingFile);
            dialog.setNameFilter(filter);
            dialog.setDefaultSuffix(extension);
            if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::string();
            return dialog.selectedFiles().front().toStdString();
        };
    return chooser;
}

CDialogImportFile::CDialogImportFile(PcbEditor& pcb, QWidget* parent)
    : QDialog(parent), m_pcb(pcb), m_config(TheImportFileConfig()) {
    auto* top = new QHBoxLayout;
    m_formatLabel = new QLabel(this);
    m_formats = new QComboBox(this);
    for (const ImportFormat& f : kImportFormats) m_formats->addItem(Q(f.name));
    m_open = new QPushButton(this);
    m_import = new QPushButton(this);
    m_fitPacking = new QCheckBox(this);
    m_fitValue = new QCheckBox(this);
    top->addWidget(m_formatLabel);
    top->addWidget(m_formats);
    top->addWidget(m_open);
    top->addWidget(m_import);
    top->addWidget(m_fitPacking);
    top->addWidget(m_fitValue);

    m_list = new QTableWidget(0, kImportCells, this);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    for (int c = 0; c < kImportCells; ++c) m_list->setColumnWidth(c, 80);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setMinimumSize(600, 360);

    auto* bottom = new QHBoxLayout;
    m_count = new QLabel(this);
    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    m_percent = new QLabel(this);
    m_ok = new QPushButton(this);
    bottom->addWidget(m_count);
    bottom->addWidget(m_progress, 1);
    bottom->addWidget(m_percent);
    bottom->addStretch();
    bottom->addWidget(m_ok);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addLayout(bottom);

    connect(m_formats, &QComboBox::activated, this, [this](int i) { OnFormatChange(i); });
    connect(m_open, &QPushButton::clicked, this, [this] { OnOpenPcbFile(); });
    connect(m_import, &QPushButton::clicked, this, [this] { OnImportAll(); });
    connect(m_ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(m_list, &QWidget::customContextMenuRequested, this, [this] { OnDeleteRows(); });
    connect(m_list->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) { OnColumnClick(c); });
}

void CDialogImportFile::LoadLanguage(const std::string& startFolder, const std::string& language) {
    m_texts.Load(startFolder, language);
}

void CDialogImportFile::ApplyLanguage() {
    setWindowTitle(Q(m_texts.Get("c_ImportFile")));
    m_formatLabel->setText(Q(m_texts.Get("c_ImportFormat")));
    m_open->setText(Q(m_texts.Get("c_OpenPCBFile")));
    m_import->setText(Q(m_texts.Get("c_ImportAllToProject")));
    m_fitPacking->setText(Q(m_texts.Get("c_FitPartPacking")));
    m_fitValue->setText(Q(m_texts.Get("c_FitPartValue")));
    m_ok->setText(Q(m_texts.Get("c_IDOK")));
    QStringList headers;
    for (int c = 1; c <= kImportCells; ++c) headers << Q(m_texts.Get(FormatC("c_ImportFileList_0%d", c)));
    m_list->setHorizontalHeaderLabels(headers);
    for (int c = 0; c < kImportCells; ++c) m_list->horizontalHeaderItem(c)->setTextAlignment(Qt::AlignCenter);
}

void CDialogImportFile::OnInitDialog(const std::string& startFolder, const std::string& language) {
    m_startFolder = startFolder;
    LoadLanguage(startFolder, language);
    ApplyLanguage();
    m_formats->setCurrentIndex(0);
    m_rows.clear();
    ShowRows();
    m_count->setText(Q(m_texts.Get("c_PartNumber")));
    m_progress->hide();
    m_progress->setValue(0);
    m_percent->setText("0%");
    m_fitPacking->setChecked(m_config.m_FitPartPacking != 0);
    m_fitValue->setChecked(m_config.m_FitPartValue != 0);
}

void CDialogImportFile::OnFormatChange(int index) { m_config.m_Format = index; }

void CDialogImportFile::OnOpenPcbFile() {
    m_config.m_Format = m_formats->currentIndex();
    const ImportFormat& f = kImportFormats[m_config.m_Format];
    const std::string path = FileChooser()(Q(f.filter), Q(f.extension));
    if (path.empty()) return;
    ReadFile(path);
}

void CDialogImportFile::ReadFile(const std::string& path) {
    std::string bytes;
    if (!plat::ReadWholeFile(path, bytes)) {
        plat::MessageBoxOk(path + "\r\nCannot open the file.", false, plat::MsgIcon::Error);
        return;
    }
    const int format = m_config.m_Format;
    const std::string where = path + "\r\n" + m_texts.Get("c_Message_09") + ": " + kImportFormats[format].name;
    // A file of another layout would give rows of junk: the operator decides.
    if (CheckCadFit(format, bytes) != CadMisfit::None &&
        plat::MessageBoxAsk(m_texts.Get("c_Message_10") + " " + kImportFormats[format].name + "\r\n" + path + "\r\n" +
                                m_texts.Get("c_Message_11"),
                            plat::MsgButtons::YesNo, false, plat::MsgIcon::Warning) != plat::MsgAnswer::Yes)
        return;
    const CadReadResult read = CadReaderFor(format)(bytes);
    m_rows.insert(m_rows.end(), read.rows.begin(), read.rows.end());
    ShowRows();
    ShowCount();
    // A file that gives nothing, or lines passed over, never go unnoticed.
    if (read.rows.empty()) {
        plat::MessageBoxOk(m_texts.Get("c_Message_07") + "\r\n" + where + "\r\n" + FormatInt(read.skipped), false,
                           plat::MsgIcon::Warning);
    } else if (read.skipped > 0) {
        // Each line by number and designator; a box of hundreds of lines would not
        // fit the screen, so the list stops after kListed (the count says how many).
        constexpr std::size_t kListed = 50;
        std::string lines;
        for (std::size_t i = 0; i < read.skippedLines.size() && i < kListed; ++i) {
            const SkippedLine& s = read.skippedLines[i];
            lines += "\r\n" + m_texts.Get("c_Message_12") + " " + FormatInt(s.line) +
                     (s.designator.empty() ? std::string() : ": " + s.designator);
        }
        if (read.skippedLines.size() > kListed) lines += "\r\n...";
        plat::MessageBoxOk(m_texts.Get("c_Message_08") + " " + FormatInt(read.skipped) + "\r\n" + where + lines, false,
                           plat::MsgIcon::Warning);
    }
}

void CDialogImportFile::OnImportAll() {
    if (m_rows.empty()) {
        plat::MessageBoxOk(m_texts.Get("c_Message_05"));
        return;
    }
    std::vector<std::vector<std::string>> rows;
    rows.reserve(m_rows.size());
    for (const ImportRow& r : m_rows) rows.emplace_back(r.begin(), r.end());
    ImportProgress progress;
    progress.begin = [this](int n) {
        m_progress->setRange(0, n);
        m_progress->setValue(0);
        m_progress->show();
    };
    progress.step = [this](const std::string& percent) {
        m_progress->setValue(m_progress->value() + 1);
        m_percent->setText(Q(percent));
    };
    AppendImportedParts(m_pcb, rows, kImportCells, m_config.m_Format, m_config.m_FitPartPacking,
                        m_config.m_FitPartValue, OpenGroupFeeders(), progress, std::time(nullptr));
}

void CDialogImportFile::OnDeleteRows() {
    const QModelIndexList selected = m_list->selectionModel()->selectedRows();
    if (selected.isEmpty()) return;
    if (plat::MessageBoxAsk(m_texts.Get("c_Message_06"), plat::MsgButtons::YesNoCancel, true) != plat::MsgAnswer::Yes)
        return;
    std::vector<int> rows;
    for (const QModelIndex& i : selected) rows.push_back(i.row());
    std::sort(rows.rbegin(), rows.rend());
    for (int r : rows)
        if (r < static_cast<int>(m_rows.size())) m_rows.erase(m_rows.begin() + r);
    ShowRows();
}

void CDialogImportFile::OnColumnClick(int column) {
    if (column < 0 || column >= kImportCells) return;
    std::stable_sort(m_rows.begin(), m_rows.end(), [column](const ImportRow& a, const ImportRow& b) {
        return QString::fromStdString(a[column]) < QString::fromStdString(b[column]);
    });
    ShowRows();
}

void CDialogImportFile::OnOK() {
    m_config.m_FitPartPacking = m_fitPacking->isChecked() ? 1 : 0;
    m_config.m_FitPartValue = m_fitValue->isChecked() ? 1 : 0;
    SaveImportFileConfig(m_config, ConfigFilePath(m_startFolder));
    accept();
}

void CDialogImportFile::ShowRows() {
    m_list->setRowCount(static_cast<int>(m_rows.size()));
    for (int r = 0; r < static_cast<int>(m_rows.size()); ++r)
        for (int c = 0; c < kImportCells; ++c) {
            auto* item = new QTableWidgetItem(Q(m_rows[r][c]));
            item->setTextAlignment(Qt::AlignCenter);
            m_list->setItem(r, c, item);
        }
}

void CDialogImportFile::ShowCount() {
    m_count->setText(Q(CountPrefix(m_texts.Get("c_PartNumber")) + FormatInt(static_cast<long long>(m_rows.size()))));
}

} // namespace smt
