#include "feeders/ui/mark_dialogs.h"

#include "base/ui/column_fit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "base/tablefile.h"
#include "feeders/nozzle_library.h"
#include "feeders/part_list_port.h"
#include "feeders/ui/library_list_view.h"
#include "link/jog.h"
#include "link/position_counters.h"
#include "platform/msgbox.h"
#include "settings/pulse_settings.h"
#include "base/ui/field_text.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kName = 1002, kMark1X = 1015, kMark1Y = 1016, kMark2X = 1017, kMark2Y = 1018, kAllow = 1055;
constexpr int kAllowMm = 1056, kSize = 1006, kDiameter = 1120, kPrecision = 1121, kContrast = 1248;
constexpr int kBright = 1053, kCapture = 1045, kRepeat = 1054, kTable1 = 1057, kTable2 = 1058;

} // namespace

CDialogMarkEdit::CDialogMarkEdit(smt::MarkLibrary& library, QWidget* parent) : QDialog(parent), m_library(library) {
    setObjectName("CDialogMarkEdit");
    auto edit = [this](int id, QWidget* parent) {
        auto* e = new QLineEdit(parent);
        e->setObjectName(QString("edit%1").arg(id));
        m_edits[id] = e;
        return e;
    };
    auto label = [this](const char* key, QWidget* parent) {
        auto* l = new QLabel(parent);
        m_captioned.emplace_back(key, l);
        return l;
    };
    auto* fields = new QGridLayout;
    fields->addWidget(label("MarkEdit.c_PartName", this), 0, 0);
    edit(kName, this)->setMaxLength(smt::kMarkNameLimit);
    fields->addWidget(m_edits[kName], 0, 1);
    const struct {
        int id;
        const char* key;
    } rows[] = {{kSize, "MarkEdit.c_VisualSize"},         {kDiameter, "MarkEdit.c_MarkDiameter"},
                {kPrecision, "MarkEdit.c_DetectPrecision"}, {kContrast, "MarkEdit.c_LightContrast"},
                {kBright, "MarkEdit.c_LightBrightness"},   {kCapture, "MarkEdit.c_MarkCollectTime"},
                {kRepeat, "MarkEdit.c_VisualTimes"},       {kTable1, "MarkEdit.c_PlatformOffset_1"},
                {kTable2, "MarkEdit.c_PlatformOffset_2"},  {kAllow, "MarkEdit.c_AllowOffset"}};
    int r = 1;
    for (const auto& row : rows) {
        fields->addWidget(label(row.key, this), r, 0);
        fields->addWidget(edit(row.id, this), r++, 1);
    }
    QLineEdit* mm = edit(kAllowMm, this);
    mm->setReadOnly(true);
    fields->addWidget(mm, r - 1, 2);
    fields->addWidget(new QLabel("mm", this), r - 1, 3);
    connect(m_edits[kAllow], &QLineEdit::textChanged, this, [this] { ShowDeviation(); });
    m_reverse = new QCheckBox(this);
    m_reverse->setObjectName("check1253");
    m_captioned.emplace_back("MarkEdit.c_ImageColorReversal", m_reverse);
    fields->addWidget(m_reverse, r, 0, 1, 2);

    auto* offsets = new QGroupBox(this);
    m_captioned.emplace_back("MarkEdit.c_MarkOffset", offsets);
    auto* grid = new QGridLayout(offsets);
    const struct {
        int id;
        const char* name;
    } marks[] = {{kMark1X, "Mark1-X"}, {kMark1Y, "Mark1-Y"}, {kMark2X, "Mark2-X"}, {kMark2Y, "Mark2-Y"}};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(new QLabel(marks[i].name, offsets), i, 0);
        grid->addWidget(edit(marks[i].id, offsets), i, 1);
    }
    m_edits[kMark2X]->setReadOnly(true);
    m_edits[kMark2Y]->setReadOnly(true);
    auto* cx = new QPushButton("CX", offsets);
    cx->setObjectName("button1473");
    auto* cy = new QPushButton("CY", offsets);
    cy->setObjectName("button1474");
    grid->addWidget(cx, 0, 2);
    grid->addWidget(cy, 1, 2);
    connect(cx, &QPushButton::clicked, this, [this] { OnCaptureX(); });
    connect(cy, &QPushButton::clicked, this, [this] { OnCaptureY(); });

    auto* ok = new QPushButton(this);
    ok->setObjectName("IDOK");
    m_captioned.emplace_back("MarkEdit.c_IDOK", ok);
    auto* cancel = new QPushButton(this);
    cancel->setObjectName("IDCANCEL");
    m_captioned.emplace_back("MarkEdit.c_IDCANCEL", cancel);
    connect(ok, &QPushButton::clicked, this, &CDialogMarkEdit::accept);
    connect(cancel, &QPushButton::clicked, this, &CDialogMarkEdit::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* top = new QVBoxLayout(this);
    top->addLayout(fields);
    top->addWidget(offsets);
    top->addLayout(buttons);
    ApplyLanguage();
}

void CDialogMarkEdit::ApplyLanguage() {
    const smt::DialogCaptions& t = m_library.m_EditTexts;
    setWindowTitle(Q(t.Text("MarkEdit.c_MarkEdit")));
    for (const auto& [key, w] : m_captioned) {
        if (auto* l = qobject_cast<QLabel*>(w)) l->setText(Q(t.Text(key)));
        else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(Q(t.Text(key)));
        else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(Q(t.Text(key)));
    }
}

void CDialogMarkEdit::OnInitDialog() {
    ApplyLanguage();
    ShowFields();
}

void CDialogMarkEdit::ShowFields() {
    const smt::MarkEditValues& v = m_library.m_Edit;
    m_edits[kName]->setText(Q(v.name));
    const std::pair<int, double> mm[] = {{kMark1X, v.mark1X}, {kMark1Y, v.mark1Y}, {kMark2X, v.mark2X},
                                         {kMark2Y, v.mark2Y}, {kSize, v.visualSize}, {kDiameter, v.diameter},
                                         {kTable1, v.table1}, {kTable2, v.table2}};
    for (auto [id, value] : mm) m_edits[id]->setText(Q(smt::FormatMm(value)));
    const std::pair<int, int> ints[] = {{kAllow, v.allowOffset}, {kPrecision, v.precision}, {kContrast, v.contrast},
                                        {kBright, v.brightness}, {kCapture, v.captureTime}, {kRepeat, v.repetitions}};
    for (auto [id, value] : ints) m_edits[id]->setText(Q(smt::FormatInt(value)));
    m_reverse->setChecked(v.reverse);
    ShowDeviation();
}

void CDialogMarkEdit::ShowDeviation() {
    m_edits[kAllowMm]->setText(Q(smt::AllowedDeviationText(smt::AtoI(m_edits[kAllow]->text().toStdString()),
                                                          smt::ThePulseFactors().m_X_Pulse)));
}

bool CDialogMarkEdit::ReadFields(smt::MarkEditValues& v) {
    using smt::ui::TakeNumber;
    v.name = m_edits[kName]->text().toStdString();
    const std::pair<int, double*> mm[] = {{kMark1X, &v.mark1X}, {kMark1Y, &v.mark1Y}, {kSize, &v.visualSize},
                                          {kDiameter, &v.diameter}, {kTable1, &v.table1}, {kTable2, &v.table2}};
    for (auto [id, value] : mm)
        if (!TakeNumber(m_edits[id], *value)) return false;
    const std::pair<int, int*> ints[] = {{kAllow, &v.allowOffset}, {kPrecision, &v.precision}, {kContrast, &v.contrast},
                                         {kBright, &v.brightness}, {kCapture, &v.captureTime}, {kRepeat, &v.repetitions}};
    for (auto [id, value] : ints)
        if (!TakeNumber(m_edits[id], *value)) return false;
    if (auto bad = smt::MarkFieldOutOfRange(v)) {
        plat::MessageBoxOk(smt::InputNumberBetweenText(bad->first, bad->second));  // in the operator's language
        return false;
    }
    v.reverse = m_reverse->isChecked();
    return true;
}

namespace {
smt::MarkCounters Counters(const smt::MarkLibrary& library) {
    smt::MarkCounters c;
    c.now = {smt::g_PulseX.load(), smt::g_PulseY.load(), smt::g_PulseX2.load(), smt::g_PulseY2.load()};
    c.base = library.m_Base;
    return c;
}
} // namespace

void CDialogMarkEdit::OnCaptureX() {
    smt::CaptureX(m_library.m_Edit, Counters(m_library), smt::g_MachineType, smt::ThePulseFactors().m_X_Pulse);
    ShowFields();
}

void CDialogMarkEdit::OnCaptureY() {
    smt::CaptureY(m_library.m_Edit, Counters(m_library), smt::g_MachineType, smt::TheManualJog().HeadGroup(),
                  smt::ThePulseFactors().m_Y_Pulse);
    ShowFields();
}

void CDialogMarkEdit::accept() {
    smt::MarkEditValues v = m_library.m_Edit;
    if (!ReadFields(v)) return;
    if (m_library.IsMarkNameTaken(v.name)) {
        plat::MessageBoxOk(m_library.m_EditTexts.Text("MarkEdit.c_Message_01"));
        m_edits[kName]->setFocus();
        m_edits[kName]->selectAll();
        return;
    }
    m_library.m_Edit = v;
    QDialog::accept();
}

// ---- library window ------------------------------------------------------------------------

namespace {
// Header keys by column; null: the fixed Mark offset headers.
const char* const kHeaderKeys[smt::kMarkCells] = {
    "MarkList.c_PartName",      nullptr, nullptr, nullptr, nullptr, "MarkList.c_AllowOffset",
    "MarkList.c_VisualSize",    "MarkList.c_MarkDiameter", "MarkList.c_DetectPrecision",
    "MarkList.c_LightContrast", "MarkList.c_LightBrightness", "MarkList.c_MarkCollectTime",
    "MarkList.c_VisualTimes",   "MarkList.c_ImageColorReversal", "MarkList.c_PlatformOffset_1",
    "MarkList.c_PlatformOffset_2"};
const char* const kFixed[4] = {"Mark1-X", "Mark1-Y", "Mark2-X", "Mark2-Y"};
const char* const kButtonKeys[5] = {"MarkList.c_MarkAdd", "MarkList.c_MarkEdit", "MarkList.c_MarkDelete",
                                    "MarkList.c_IDOK", "MarkList.c_IDCANCEL"};
} // namespace

CDialogMarkList::CDialogMarkList(smt::MarkLibrary& library, QWidget* parent) : QDialog(parent), m_library(library) {
    setObjectName("CDialogMarkList");
    m_RunEditor = [](QDialog& d) { return d.exec(); };
    m_List = smt::ui::NewLibraryList(this, smt::kMarkCells);
    for (int c = 0; c < smt::kMarkCells; ++c) {
        m_List->setHorizontalHeaderItem(c, new QTableWidgetItem);
        m_List->setColumnWidth(c, c == 0 ? 100 : 76);
    }
    m_List->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    smt::FitColumnsToText(*m_List);
    connect(m_List, &QTableWidget::cellClicked, this, [this](int row, int) { SelectRow(row); });
    connect(m_List, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        SelectRow(row);
        OnModify();
    });
    connect(m_List->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) { OnHeaderClicked(c); });
    auto* buttons = new QHBoxLayout;
    const char* names[5] = {"button1439", "button1002", "button1440", "IDOK", "IDCANCEL"};
    for (int i = 0; i < 5; ++i) {
        m_Buttons[i] = new QPushButton(this);
        m_Buttons[i]->setObjectName(names[i]);
        buttons->addWidget(m_Buttons[i]);
    }
    connect(m_Buttons[0], &QPushButton::clicked, this, [this] { OnAdd(); });
    connect(m_Buttons[1], &QPushButton::clicked, this, [this] { OnModify(); });
    connect(m_Buttons[2], &QPushButton::clicked, this, [this] { OnDelete(); });
    connect(m_Buttons[3], &QPushButton::clicked, this, &CDialogMarkList::accept);
    connect(m_Buttons[4], &QPushButton::clicked, this, &CDialogMarkList::reject);
    auto* top = new QVBoxLayout(this);
    top->addWidget(m_List);
    top->addLayout(buttons);
    m_Editor = new CDialogMarkEdit(library, this);
    setFixedSize(1160, 520);
    ApplyLanguage();
}

void CDialogMarkList::ApplyLanguage() {
    const smt::DialogCaptions& t = m_library.m_ListTexts;
    setWindowTitle(Q(t.Text("MarkList.c_MarkList")));
    for (int i = 0; i < 5; ++i) m_Buttons[i]->setText(Q(t.Text(kButtonKeys[i])));
    for (int c = 0; c < smt::kMarkCells; ++c)
        m_List->horizontalHeaderItem(c)->setText(kHeaderKeys[c] ? Q(t.Text(kHeaderKeys[c])) : QString(kFixed[c - 1]));
    m_Editor->ApplyLanguage();
}

void CDialogMarkList::OnInitDialog() {
    ApplyLanguage();
    FillList();
}

void CDialogMarkList::FillList() { smt::ui::FillStripedList(m_List, m_library.Rows()); }

void CDialogMarkList::OnAdd() {
    m_library.m_Remembered = -1;
    m_Editor->OnInitDialog();
    if (m_RunEditor(*m_Editor) != QDialog::Accepted) return;
    m_library.Add();
    FillList();
}

void CDialogMarkList::OnModify() {
    if (!m_library.LoadEditor()) return;
    m_Editor->OnInitDialog();
    if (m_RunEditor(*m_Editor) != QDialog::Accepted) return;
    const auto renamed = m_library.Modify();
    FillList();
    if (renamed) {
        auto& rename = smt::ThePartListPort().renameOwnMark;
        if (rename) rename(*renamed, m_library.m_Edit.name);
    }
}

void CDialogMarkList::OnDelete() {
    if (m_library.Delete()) FillList();
}

void CDialogMarkList::OnHeaderClicked(int column) {
    m_library.Sort(column);
    FillList();
}

void CDialogMarkList::accept() {
    m_library.JoinRows(smt::g_FigLists.mark);
    const std::string folder = m_StartFolder ? m_StartFolder() : std::string(".");
    smt::TableFileError error;
    if (!smt::SaveTableFile(folder, smt::TableFile::Mark, smt::g_FigLists, error)) {
        plat::MessageBoxOk(smt::TableFileSaveErrorText(error));
        return;
    }
    QDialog::accept();
}
