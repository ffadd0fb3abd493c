#include "feeders/ui/nozzle_edit_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "link/homing.h"
#include "link/jog.h"
#include "link/position_counters.h"
#include "platform/msgbox.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "base/ui/field_text.h"

namespace {

constexpr int kNumber = 1127, kRemark = 1133, kHolderX = 1128, kHolderY = 1129, kPick = 1119;
constexpr int kEntryX = 1130, kEntryY = 1131, kEntryZ = 1132, kVacuum = 1134;

QString Q(const std::string& s) { return QString::fromStdString(s); }

} // namespace

CDialogNozzleEdit::CDialogNozzleEdit(const smt::DialogCaptions& texts, QWidget* parent)
    : QDialog(parent), m_texts(texts) {
    setObjectName("CDialogNozzleEdit");
    auto* grid = new QGridLayout;
    struct Row {
        int id;
        const char* key;
        std::vector<std::pair<int, const char*>> takes;
    };
    const Row rows[] = {
        {kNumber, "NozzleEdit.c_NozzleNumber", {}},
        {kHolderX, "NozzleEdit.c_Nozzle_X", {{1429, "X"}, {1439, "CX"}}},
        {kHolderY, "NozzleEdit.c_Nozzle_Y", {{1430, "Y"}, {1440, "CY"}}},
        {kPick, "NozzleEdit.c_Nozzle_Z", {{1005, "Z"}}},
        {kEntryX, "NozzleEdit.c_Nozzle_X_Exit", {{1006, "X"}}},
        {kEntryY, "NozzleEdit.c_Nozzle_Y_Exit", {{1007, "Y"}}},
        {kEntryZ, "NozzleEdit.c_Nozzle_Z_Exit", {{1008, "Z"}}},
        {kVacuum, "NozzleEdit.c_VacuumValue", {}},
        {kRemark, "NozzleEdit.c_Note", {}},
    };
    int r = 0;
    for (const Row& row : rows) {
        auto* label = new QLabel(this);
        m_labels.emplace_back(row.key, label);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString("edit%1").arg(row.id));
        m_fields.emplace_back(row.id, edit);
        grid->addWidget(label, r, 0);
        grid->addWidget(edit, r, 1);
        int col = 2;
        for (const auto& [id, text] : row.takes) {
            auto* b = new QPushButton(text, this);
            b->setObjectName(QString("take%1").arg(id));
            m_buttons.emplace_back(id, b);
            connect(b, &QPushButton::clicked, this, [this, id = id] { OnTake(id); });
            grid->addWidget(b, r, col++);
        }
        ++r;
    }
    // Holder X/Y typed are the entry X/Y until the entry is taught on its own.
    connect(Field(kHolderX), &QLineEdit::textEdited, this, [this](const QString& t) { Field(kEntryX)->setText(t); });
    connect(Field(kHolderY), &QLineEdit::textEdited, this, [this](const QString& t) { Field(kEntryY)->setText(t); });

    auto* uniforms = new QVBoxLayout;
    const std::pair<int, const char*> boxes[] = {
        {1036, "NozzleEdit.c_Uniform_Z"}, {1037, "NozzleEdit.c_Uniform_Z_Exit"}, {1038, "NozzleEdit.c_Uniform_Vacuum"}};
    for (const auto& [id, key] : boxes) {
        auto* box = new QCheckBox(this);
        box->setObjectName(QString("uniform%1").arg(id));
        m_uniforms.emplace_back(key, box);
        connect(box, &QCheckBox::toggled, this, [this, id = id](bool on) { OnUniform(id, on); });
        uniforms->addWidget(box);
    }

    auto* jog = new QHBoxLayout;
    const std::pair<int, const char*> pad[] = {
        {1485, "Z ↑"}, {1486, "Z ↓"}, {1487, "↓↑"}, {1254, "To=Z"}, {1255, "Set"}};
    for (const auto& [id, text] : pad) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QString("jog%1").arg(id));
        m_buttons.emplace_back(id, b);
        connect(b, &QPushButton::pressed, this, [this, id = id] { OnJog(id, true); });
        connect(b, &QPushButton::released, this, [this, id = id] { OnJog(id, false); });
        jog->addWidget(b);
    }

    auto* buttons = new QHBoxLayout;
    m_Ok = new QPushButton(this);
    m_Cancel = new QPushButton(this);
    buttons->addStretch();
    buttons->addWidget(m_Ok);
    buttons->addWidget(m_Cancel);
    connect(m_Ok, &QPushButton::clicked, this, &CDialogNozzleEdit::accept);
    connect(m_Cancel, &QPushButton::clicked, this, &CDialogNozzleEdit::reject);

    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(uniforms);
    top->addLayout(jog);
    top->addLayout(buttons);
    ApplyLanguage();
}

QLineEdit* CDialogNozzleEdit::Field(int id) const {
    for (const auto& [i, e] : m_fields)
        if (i == id) return e;
    return nullptr;
}

QPushButton* CDialogNozzleEdit::Button(int id) const {
    for (const auto& [i, b] : m_buttons)
        if (i == id) return b;
    return nullptr;
}

void CDialogNozzleEdit::ApplyLanguage() {
    setWindowTitle(Q(m_texts.Text("NozzleEdit.c_NozzleEdit")));
    for (const auto& [key, label] : m_labels) label->setText(Q(m_texts.Text(key)));
    for (const auto& [key, box] : m_uniforms) box->setText(Q(m_texts.Text(key)));
    m_Ok->setText(Q(m_texts.Text("NozzleEdit.c_IDOK")));
    m_Cancel->setText(Q(m_texts.Text("NozzleEdit.c_IDCANCEL")));
}

void CDialogNozzleEdit::SetValues(const smt::NozzleEditValues& v) {
    m_values = v;
    Field(kNumber)->setText(smt::ui::NumberText(v.number));
    Field(kRemark)->setText(Q(v.remark));
    Field(kHolderX)->setText(smt::ui::NumberText(v.holderX));
    Field(kHolderY)->setText(smt::ui::NumberText(v.holderY));
    Field(kPick)->setText(smt::ui::NumberText(v.pickHeight));
    Field(kEntryX)->setText(smt::ui::NumberText(v.entryX));
    Field(kEntryY)->setText(smt::ui::NumberText(v.entryY));
    Field(kEntryZ)->setText(smt::ui::NumberText(v.entryZ));
    Field(kVacuum)->setText(smt::ui::NumberText(v.vacuum));
}

void CDialogNozzleEdit::Start(bool nineteenLibrary) {
    ApplyLanguage();
    // The 19-nozzle library has no sliding entry: the entry is the holder.
    for (int id : {kEntryX, kEntryY}) Field(id)->setEnabled(!nineteenLibrary);
    for (int id : {1006, 1007}) Button(id)->setEnabled(!nineteenLibrary);
    for (QCheckBox* box : findChildren<QCheckBox*>()) {
        const QSignalBlocker block(box);
        box->setChecked(false);
    }
    SetValues(m_values);
}

void CDialogNozzleEdit::OnTake(int id) {
    const smt::PulseFactors& f = smt::ThePulseFactors();
    const smt::BasicSettings& b = smt::TheBasicSettings();
    auto set = [this](int field, const std::string& text) { Field(field)->setText(Q(text)); };
    switch (id) {
    case 1429: set(kHolderX, smt::TakePositionText(smt::g_PulseX, f.m_X_Pulse)); break;
    case 1006: set(kEntryX, smt::TakePositionText(smt::g_PulseX, f.m_X_Pulse)); break;
    case 1430: set(kHolderY, smt::TakePositionText(smt::g_PulseY, f.m_Y_Pulse)); break;
    case 1007: set(kEntryY, smt::TakePositionText(smt::g_PulseY, f.m_Y_Pulse)); break;
    case 1005:
    case 1008: {
        const std::int32_t limit = m_ZLimitPulses ? m_ZLimitPulses() : 0;
        if (auto t = smt::TakeZText(smt::g_PulseZ[0], limit, f.m_Z_Pulse)) set(id == 1005 ? kPick : kEntryZ, *t);
        break;
    }
    case 1439: set(kHolderX, smt::TakeCameraCentredText(smt::g_PulseX, b.m_X_CameraToNozzle1, f.m_X_Pulse)); break;
    case 1440: set(kHolderY, smt::TakeCameraCentredText(smt::g_PulseY, b.m_Y_CameraToNozzle1, f.m_Y_Pulse)); break;
    default: break;
    }
}

void CDialogNozzleEdit::OnUniform(int id, bool checked) {
    if (!checked) return;
    const smt::UniformColumn column = id == 1036   ? smt::UniformColumn::PickHeight
                                      : id == 1037 ? smt::UniformColumn::EntryZ
                                                   : smt::UniformColumn::Vacuum;
    const int field = id == 1036 ? kPick : id == 1037 ? kEntryZ : kVacuum;
    const std::string text = Field(field)->text().toStdString();
    if (!smt::UniformValueInRange(column, text)) return;
    if (plat::MessageBoxAsk("Uniform Modify Columns ?", plat::MsgButtons::YesNoCancel, true) != plat::MsgAnswer::Yes)
        return;
    if (m_WriteColumn) m_WriteColumn(column, text);
}

void CDialogNozzleEdit::OnJog(int id, bool pressed) {
    const int head = m_HeadIndex ? smt::NozzleHeadIndex(m_HeadIndex()) : 0;
    const smt::NozzleZJog zjog = smt::NozzleJogAxis(smt::g_MachineType, head);
    smt::ManualJog& jog = smt::TheManualJog();
    if (id == 1485 || id == 1486) {
        if (!pressed) return jog.Stop();
        const int direction = id == 1485 ? zjog.upDirection : 1 - zjog.upDirection;
        jog.JogAxis(zjog.axis, direction, 1, 0, false);
        return;
    }
    if (!pressed) return;
    if (id == 1487) {
        smt::MachineReset(3, true);
    } else if (id == 1254) {
        double entryZ = 0;
        if (!smt::ui::TakeNumber(Field(kEntryZ), entryZ, std::pair{-100.0, 0.0})) return;
        const int counter = head >= 0 && head < 8 ? smt::g_PulseZ[head].load() : 0;
        if (auto m = smt::PlanMoveToEntryZ(smt::g_MachineType, head, entryZ, smt::ThePulseFactors().m_Z_Pulse, counter))
            jog.JogAxis(m->axis, m->direction, 0, m->pulses, true);
    } else if (id == 1255) {
        jog.NextSpeedGear();
    }
}

bool CDialogNozzleEdit::TakeFields(smt::NozzleEditValues& v) {
    using smt::ui::TakeNumber;
    auto intIn = [this](int id, int& value, int low, int high) {
        if (!TakeNumber(Field(id), value)) return false;
        if (value >= low && value <= high) return true;
        plat::MessageBoxOk(smt::InputIntegerBetweenText(low, high));  // in the operator's language
        Field(id)->setFocus();
        Field(id)->selectAll();
        return false;
    };
    return intIn(kNumber, v.number, 1, 19) && TakeNumber(Field(kHolderX), v.holderX, std::pair{0.0, 1000.0}) &&
           TakeNumber(Field(kHolderY), v.holderY, std::pair{-1000.0, 0.0}) &&
           TakeNumber(Field(kPick), v.pickHeight, std::pair{-100.0, 0.0}) &&
           TakeNumber(Field(kEntryX), v.entryX, std::pair{0.0, 1000.0}) &&
           TakeNumber(Field(kEntryY), v.entryY, std::pair{-1000.0, 0.0}) &&
           TakeNumber(Field(kEntryZ), v.entryZ, std::pair{-100.0, 0.0}) && intIn(kVacuum, v.vacuum, 0, 100);
}

void CDialogNozzleEdit::accept() {
    const int number = smt::AtoI(Field(kNumber)->text().toStdString());
    const bool taken = m_NumberTaken && m_NumberTaken(number);
    smt::NozzleEditValues v = m_values;
    if (!taken) {
        if (!TakeFields(v)) return;
        v.remark = Field(kRemark)->text().toStdString();
    }
    switch (smt::CheckNozzleEdit(v, taken, m_texts)) {
    case smt::NozzleEditOk::FocusNumber:
        Field(kNumber)->setFocus();
        Field(kNumber)->selectAll();
        return;
    case smt::NozzleEditOk::FocusRemark:
        m_values = v;
        Field(kRemark)->setFocus();
        Field(kRemark)->selectAll();
        return;
    case smt::NozzleEditOk::Stay:
        m_values = v;
        return;
    case smt::NozzleEditOk::Accept:
        m_values = v;
        QDialog::accept();
        return;
    }
}
