#include "feeders/ui/dropdown_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "base/captions.h"
#include "base/globals.h"
#include "base/tablefile.h"
#include "feeders/part_list_port.h"
#include "platform/msgbox.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
const char* const kButtonKeys[7] = {"DropDownParameter.c_DataAdd",    "DropDownParameter.c_DataEdit",
                                    "DropDownParameter.c_DataDelete", "DropDownParameter.c_IDOK",
                                    "DropDownParameter.c_IDCANCEL",   "DropDownParameter.c_ImportData",
                                    "DropDownParameter.c_EmptyData"};
const char* const kButtonNames[7] = {"button1091", "button1090", "button1089", "IDOK",
                                     "IDCANCEL",   "button1092", "button1093"};
} // namespace

CDialogListPage::CDialogListPage(const char* name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    m_List = new QListWidget(this);
    m_List->setObjectName("list1000");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_List);
}

CDialogDropDownParameter::CDialogDropDownParameter(QWidget* parent)
    : QDialog(parent), m_texts(smt::DropDownCaptions()) {
    setObjectName("CDialogDropDownParameter");
    m_Tabs = new QTabWidget(this);
    m_Tabs->setObjectName("tab1136");
    m_Pages[0] = new CDialogListPartName(m_Tabs);
    m_Pages[1] = new CDialogListPartType(m_Tabs);
    m_Pages[2] = new CDialogListPartPacking(m_Tabs);
    m_Pages[3] = new CDialogListPartAngle(m_Tabs);
    for (int i = 0; i < smt::kDropDownLists; ++i) {
        m_Tabs->addTab(m_Pages[i], QString());
        connect(m_Pages[i]->List(), &QListWidget::currentRowChanged, this, [this](int row) { OnSelect(row); });
    }
    connect(m_Tabs, &QTabWidget::currentChanged, this, [this](int tab) { OnTabChanged(tab); });
    m_Edit = new QLineEdit(this);
    m_Edit->setObjectName("edit1137");
    for (int i = 0; i < 7; ++i) {
        m_Buttons[i] = new QPushButton(this);
        m_Buttons[i]->setObjectName(kButtonNames[i]);
    }
    connect(m_Buttons[0], &QPushButton::clicked, this, [this] { OnAdd(); });
    connect(m_Buttons[1], &QPushButton::clicked, this, [this] { OnModify(); });
    connect(m_Buttons[2], &QPushButton::clicked, this, [this] { OnDelete(); });
    connect(m_Buttons[3], &QPushButton::clicked, this, &CDialogDropDownParameter::accept);
    connect(m_Buttons[4], &QPushButton::clicked, this, &CDialogDropDownParameter::reject);
    connect(m_Buttons[5], &QPushButton::clicked, this, [this] { OnImport(); });
    // "清空数据" has no action.
    m_CheckImport = new QCheckBox(this);
    m_CheckImport->setObjectName("check1036");
    m_CheckImport->hide();

    auto* side = new QVBoxLayout;
    side->addWidget(m_Edit);
    for (int i : {0, 1, 2, 5, 6}) side->addWidget(m_Buttons[i]);
    side->addStretch();
    side->addWidget(m_Buttons[3]);
    side->addWidget(m_Buttons[4]);
    auto* top = new QHBoxLayout(this);
    top->addWidget(m_Tabs, 1);
    top->addLayout(side);
    resize(620, 460);

    m_lists.mirror = [](int list, const std::string& removed, const std::string& added) {
        auto& mirror = smt::ThePartListPort().mirrorDropDown;
        if (mirror) mirror(list, removed, added);
    };
    ApplyLanguage();
}

void CDialogDropDownParameter::LoadLanguage(const std::string& startFolder, const std::string& language) {
    m_texts.Load(startFolder, language);
    ApplyLanguage();
}

void CDialogDropDownParameter::ApplyLanguage() {
    setWindowTitle(Q(m_texts.Text("DropDownParameter.c_DropDownParameter")));
    for (int i = 0; i < 7; ++i) m_Buttons[i]->setText(Q(m_texts.Text(kButtonKeys[i])));
    m_CheckImport->setText(Q(m_texts.Text("DropDownParameter.c_CheckImportData")));
    for (int i = 0; i < smt::kDropDownLists; ++i)
        m_Tabs->setTabText(i, Q(m_texts.Text("DropDownParameter.c_TabList_0" + std::to_string(i + 1))));
}

void CDialogDropDownParameter::OnInitDialog() {
    ApplyLanguage();
    m_lists.Load(smt::g_FigLists.dropDown);
    m_filling = true;
    m_Tabs->setCurrentIndex(0);
    m_filling = false;
    for (int i = 0; i < smt::kDropDownLists; ++i) ShowPage(i);
    m_Edit->clear();
}

void CDialogDropDownParameter::ShowPage(int page) {
    m_filling = true;
    QListWidget* list = m_Pages[page]->List();
    list->clear();
    for (const std::string& item : m_lists.List(page)) list->addItem(Q(item));
    list->setCurrentRow(page == m_lists.Page() ? m_lists.Selected() : -1);
    m_filling = false;
}

void CDialogDropDownParameter::OnTabChanged(int tab) {
    m_lists.SetPage(tab);
    ShowPage(tab);
    m_Edit->clear();
}

void CDialogDropDownParameter::OnSelect(int item) {
    if (m_filling) return;
    m_lists.Select(item);
    if (m_lists.Selected() >= 0) m_Edit->setText(Q(m_lists.List(m_lists.Page())[m_lists.Selected()]));
}

void CDialogDropDownParameter::Refused(const std::string& key, bool selectText) {
    if (key.empty()) return;
    plat::MessageBoxOk(m_texts.Text(key));
    m_Edit->setFocus();
    if (selectText) m_Edit->selectAll();
}

void CDialogDropDownParameter::OnAdd() {
    const std::string key = m_lists.Add(m_Edit->text().toStdString());
    Refused(key, key == "DropDownParameter.c_Message_02");
    ShowPage(m_lists.Page());
}

void CDialogDropDownParameter::OnModify() {
    const std::string key = m_lists.Modify(m_Edit->text().toStdString());
    Refused(key, false);
    ShowPage(m_lists.Page());
}

void CDialogDropDownParameter::OnDelete() {
    const std::string key = m_lists.Delete();
    if (!key.empty()) plat::MessageBoxOk(m_texts.Text(key));
    ShowPage(m_lists.Page());
}

void CDialogDropDownParameter::OnImport() {
    if (m_lists.Page() != 0) return;
    auto& port = smt::ThePartListPort().placementPartNames;
    const std::vector<std::string> names = port ? port() : std::vector<std::string>{};
    if (names.empty()) return;
    if (plat::MessageBoxAsk(m_texts.Text("DropDownParameter.c_Message_10"), plat::MsgButtons::OkCancel, false,
                            plat::MsgIcon::Question, m_texts.Text("DropDownParameter.c_Message_11")) !=
        plat::MsgAnswer::Ok)
        return;
    m_lists.Import(names);
    ShowPage(0);
}

void CDialogDropDownParameter::accept() {
    smt::g_FigLists.dropDown = m_lists.BuildLines();
    const std::string folder = m_StartFolder ? m_StartFolder() : std::string(".");
    smt::TableFileError error;
    if (!smt::SaveTableFile(folder, smt::TableFile::DropDown, smt::g_FigLists, error)) {
        plat::MessageBoxOk(smt::TableFileSaveErrorText(error));
        return;
    }
    QDialog::accept();
}
