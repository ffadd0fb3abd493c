#include "machine_ops/ui/dialog_set_cover.h"

#include "base/captions.h"
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/named_steps.h"
#include "platform/msgbox.h"
#include "platform/uipost.h"
#include "base/ui/field_text.h"

using namespace smt;

namespace {

QString Caption(const std::string& key) {
    return QString::fromStdString(TheCoverCaptions().Text("SetCover." + key));
}

std::string ConfigPath(const std::string& folder) { return folder.empty() ? "config.ini" : folder + "/config.ini"; }

struct EditDef {
    int id;
    const char* member;
    const char* captionKey;
    std::int32_t SetCoverConfig::*value;
};
using C = SetCoverConfig;
const EditDef kEdits[] = {
    {1005, "m_StepPulse", "c_StepPulse", &C::m_StepPulse},
    {1006, "m_CoverTotal", "c_CoverTotal", &C::m_CoverTotal},
    {1007, "m_CoverOnceTotal", "c_CoverOnceTotal", &C::m_CoverOnceTotal},
    {1008, "m_BlankTotal", "c_BlankTotal", &C::m_BlankTotal},
    {1009, "m_CoverDelay", "c_CoverDelay", &C::m_CoverDelay},
    {1010, "m_CoverTotalCount", "c_CoverTotalCount", &C::m_CoverTotalCount},
    {1011, "m_CoverCount", "c_CoverCount", &C::m_CoverCount},
};

struct TestDef {
    CoverTest test;
    const char* captionKey;
};
const TestDef kTests[] = {
    {CoverTest::Step, "C_StepTest"},   {CoverTest::TakeUp, "C_CollectTest"},
    {CoverTest::Blank, "C_BlankTest"}, {CoverTest::Seal, "C_CoverTest"},
    {CoverTest::BlankSeal, "C_BlankCoverTest"}, {CoverTest::Lock, "C_LockTest"},
};

}  // namespace

CDialogSetCover::CDialogSetCover(CoverTape& tape, QWidget* parent) : QDialog(parent), m_tape(tape) {
    setObjectName("CDialogSetCover");
    auto* root = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    int row = 0;
    for (const EditDef& e : kEdits) {
        auto* label = new QLabel(this);
        label->setObjectName(QString("label_") + e.member);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(e.member);
        m_edits[e.id] = edit;
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        ++row;
    }
    root->addLayout(grid);
    auto* tests = new QGridLayout;
    int k = 0;
    for (const TestDef& t : kTests) {
        auto* b = new QPushButton(this);
        const int id = CoverTestButton(t.test);
        b->setObjectName(QString("IDC_Test_%1").arg(id));
        m_buttons[id] = b;
        const CoverTest test = t.test;
        connect(b, &QPushButton::clicked, this, [this, test] { OnTestButton(test); });
        tests->addWidget(b, k / 3, k % 3);
        ++k;
    }
    m_buttons[CoverTestButton(CoverTest::Lock)]->setEnabled(false);  // the lock test is not offered
    root->addLayout(tests);
    auto* ok = new QPushButton("确定", this);
    ok->setObjectName("IDOK");
    connect(ok, &QPushButton::clicked, this, &CDialogSetCover::accept);
    root->addWidget(ok);

    QPointer<CDialogSetCover> self(this);
    CoverTestPort& port = m_tape.Port();
    port.enableDialog = [self](bool on) {
        plat::PostToUi([self, on] { if (self) self->setEnabled(on); });
    };
    port.enableButton = [self](int id, bool on) {
        plat::PostToUi([self, id, on] {
            if (!self) return;
            const auto it = self->m_buttons.find(id);
            if (it != self->m_buttons.end()) it->second->setEnabled(on);
        });
    };
    LoadLanguage({}, {});
}

CDialogSetCover::~CDialogSetCover() { m_tape.Port() = CoverTestPort{}; }

QLineEdit* CDialogSetCover::Edit(int id) const {
    const auto it = m_edits.find(id);
    return it == m_edits.end() ? nullptr : it->second;
}

QPushButton* CDialogSetCover::TestButton(CoverTest test) const {
    const auto it = m_buttons.find(CoverTestButton(test));
    return it == m_buttons.end() ? nullptr : it->second;
}

void CDialogSetCover::WireSteps(NamedSteps& firstUpdate) {
    firstUpdate.Set("SetCover.LoadConfig", [this](const StepContext& c) { LoadConfig(c.startFolder); });
}

void CDialogSetCover::LoadConfig(const std::string& startFolder) {
    m_StartFolder = startFolder;
    m_tape.LoadConfig(ConfigPath(startFolder));
    ShowFields();
}

bool CDialogSetCover::SaveConfig(const std::string& startFolder) const {
    return m_tape.SaveConfig(ConfigPath(startFolder));
}

bool CDialogSetCover::SaveCounters(const std::string& startFolder) const {
    return m_tape.SaveCounters(ConfigPath(startFolder));
}

void CDialogSetCover::LoadLanguage(const std::string& startFolder, const std::string& language) {
    if (!language.empty()) TheCoverCaptions().Load(startFolder, language);
    setWindowTitle(Caption("c_SetCover"));
    for (const EditDef& e : kEdits)
        if (auto* l = findChild<QLabel*>(QString("label_") + e.member)) l->setText(Caption(e.captionKey));
    for (const TestDef& t : kTests) m_buttons[CoverTestButton(t.test)]->setText(Caption(t.captionKey));
    if (auto* ok = findChild<QPushButton*>("IDOK")) ok->setText(Caption("c_IDOK"));
    ShowFields();
}

void CDialogSetCover::OnInitDialog(const std::string& startFolder, const std::string& language) {
    LoadConfig(startFolder);
    LoadLanguage(startFolder, language);
}

void CDialogSetCover::ShowFields() {
    const SetCoverConfig c = m_tape.Config();
    for (const EditDef& e : kEdits) m_edits[e.id]->setText(ui::NumberText(static_cast<int>(c.*e.value)));
}

std::optional<SetCoverConfig> CDialogSetCover::ReadFields() {
    SetCoverConfig c = m_tape.Config();
    for (const EditDef& e : kEdits) {
        int v = 0;
        if (!ui::TakeNumber(m_edits[e.id], v)) return std::nullopt;
        c.*e.value = v;
    }
    return c;
}

void CDialogSetCover::OnTestButton(CoverTest test) {
    // The guards come first; the ranges are checked by the start.
    const auto fields = ReadFields();
    if (!fields) return;
    m_tape.StartTest(test, *fields);
}

void CDialogSetCover::accept() {
    if (const auto fields = ReadFields()) {
        if (const auto bad = CheckCoverRanges(*fields)) {
            // A bad field is named but does not stop the save of the others.
            plat::MessageBoxOk(RangeMessage(*bad));
        } else {
            m_tape.SetConfig(*fields);
        }
    }
    if (!smt::ReportConfigWrite(SaveConfig(m_StartFolder), ConfigPath(m_StartFolder))) return;
    QDialog::accept();
}
