#include "joblist/ui/dialog_find.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "base/window_titles.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/find.h"
#include "joblist/part_list_texts.h"
#include "joblist/run_toolbar.h"
#include "platform/msgbox.h"

namespace smt {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
const std::string& T(const char* key) { return TheFindTexts().Text(key); }
} // namespace

DialogCaptions& TheFindTexts() {
    static DialogCaptions texts("FindConfig", {
        {"Find.c_Find", "查找"},
        {"Find.c_FindText", "要查找的字符"},
        {"Find.c_Next", "下一个"},
        {"Find.c_InRow", "存在行"},
        {"Find.c_InCol", "存在列"},
    });
    return texts;
}

CDialogFind::CDialogFind(PartListStore& store, QWidget* parent) : QDialog(parent), m_store(store) {
    setObjectName("CDialogFind");
    m_textLabel = new QLabel(this);
    m_textLabel->setObjectName("static1478");
    m_rowLabel = new QLabel(this);
    m_rowLabel->setObjectName("static1479");
    m_columnLabel = new QLabel(this);
    m_columnLabel->setObjectName("static1480");
    m_text = new QLineEdit(this);
    m_text->setObjectName("edit1005");
    m_row = new QLineEdit(this);
    m_row->setObjectName("edit1006");
    m_column = new QLineEdit(this);
    m_column->setObjectName("edit1007");
    m_find = new QPushButton(this);
    m_find->setObjectName("button1210");
    m_next = new QPushButton(this);
    m_next->setObjectName("button3");
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName("button2");
    // The hidden default button: Enter closes the dialog.
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("button1");
    ok->setDefault(true);
    ok->hide();
    m_find->setAutoDefault(false);
    m_next->setAutoDefault(false);
    m_cancel->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_textLabel, 0, 0);
    grid->addWidget(m_text, 0, 1, 1, 3);
    grid->addWidget(m_rowLabel, 1, 0);
    grid->addWidget(m_row, 1, 1);
    grid->addWidget(m_columnLabel, 1, 2);
    grid->addWidget(m_column, 1, 3);
    grid->addWidget(m_find, 2, 1);
    grid->addWidget(m_next, 2, 2);
    grid->addWidget(m_cancel, 2, 3);
    grid->setSizeConstraint(QLayout::SetMinimumSize);

    connect(m_find, &QPushButton::clicked, this, [this] { OnFind(); });
    connect(m_next, &QPushButton::clicked, this, [this] { OnFindNext(); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    LoadLanguage({}, {});
}

QLineEdit* CDialogFind::Field(int id) const {
    switch (id) {
    case 1005: return m_text;
    case 1006: return m_row;
    case 1007: return m_column;
    default: return nullptr;
    }
}

void CDialogFind::LoadLanguage(const std::string& startFolder, const std::string& language) {
    if (!startFolder.empty()) TheFindTexts().Load(startFolder, language);
    setWindowTitle(Q(T("Find.c_Find")));
    m_find->setText(Q(T("Find.c_Find")));
    m_textLabel->setText(Q(T("Find.c_FindText")));
    m_next->setText(Q(T("Find.c_Next")));
    m_rowLabel->setText(Q(T("Find.c_InRow")));
    m_columnLabel->setText(Q(T("Find.c_InCol")));
    m_cancel->setText(QStringLiteral("Cancel"));
}

void CDialogFind::OnInitDialog(const std::string& startFolder, const std::string& language) {
    LoadLanguage(startFolder, language);
    m_text->clear();
    m_row->clear();
    m_column->clear();
    m_next->setEnabled(false);
    m_text->setFocus();
}

void CDialogFind::Show(const FindResult& r) {
    switch (r.outcome) {
    case FindOutcome::Nothing: return;
    case FindOutcome::EmptyList: {
        const int lang = g_LanguageIndex.load();
        plat::MessageBoxOk(PartListText("Message_01"), false, plat::MsgIcon::None,
                           kWindowTitles[lang >= 0 && lang < 3 ? lang : 0]);
        return;
    }
    case FindOutcome::Hit:
        m_store.Changed(JobList::Part, r.row, false, r.row);
        if (const auto& f = TheRunToolbarPort().ensureVisible) f(JobList::Part, r.row + 3);
        m_row->setText(Q(FormatInt(r.row + 1)));
        m_column->setText(Q(FormatInt(r.column + 1)));
        return;
    case FindOutcome::Miss:
        m_row->clear();
        m_column->clear();
        return;
    }
}

void CDialogFind::OnFind() {
    const std::string text = m_text->text().toStdString();
    if (!text.empty() && m_store.RowCount(JobList::Part) > 0) m_next->setEnabled(true);
    Show(FindInPartList(m_store, text, false));
}

void CDialogFind::OnFindNext() { Show(FindInPartList(m_store, m_text->text().toStdString(), true)); }

} // namespace smt
