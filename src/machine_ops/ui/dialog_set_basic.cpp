#include "machine_ops/ui/dialog_set_basic.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QVBoxLayout>

#include "base/globals.h"
#include "base/captions.h"
#include "machine_ops/dipping_station.h"
#include "settings/limit_detour.h"
#include "machine_ops/origin_update.h"
#include "machine_ops/ui/dialog_dipping_station.h"
#include "platform/files.h"
#include "machine_ops/basic_teach.h"
#include "machine_ops/ui/dialog_set_basic_parts.h"
#include "base/ui/field_text.h"

namespace {

constexpr const char* kPrefix = "SetBasic.";

// Controls that the dialog keeps disabled on every machine type.
constexpr const char* kAlwaysDisabled[] = {"m_X_VisualOriginOffset", "m_Y_VisualOriginOffset",
                                           "m_CottectionTimeSmt", "m_SmtFinishToVisualOrigin"};

QGroupBox* Group(const char* captionKey, QWidget* parent) {
    auto* box = new QGroupBox(parent);
    box->setObjectName(captionKey);
    return box;
}

QRadioButton* Radio(const char* captionKey, QButtonGroup* group, int id, QWidget* parent) {
    auto* r = new QRadioButton(parent);
    r->setObjectName(captionKey);
    group->addButton(r, id);
    return r;
}

void ShowChoice(QButtonGroup* group, int id) {
    if (QAbstractButton* chosen = group->button(id)) {
        chosen->setChecked(true);
        return;
    }
    // A stored value without a button: none chosen.
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) b->setChecked(false);
    group->setExclusive(true);
}

} // namespace

CDialogSetBasic::CDialogSetBasic(QWidget* parent)
    : QDialog(parent), m_DialogOriginUpdate(this), m_DialogPositionLimitDetour(this) {
    setObjectName("CDialogSetBasic");
    m_RunModal = [](QDialog& d) { return d.exec(); };
    SetStartFolder(plat::CurrentDirectory());
    BuildControls();
    m_DialogOriginUpdate.SetThrowDisplay([this](const std::string& x, const std::string& y) {
        Edit("m_X_ThrowPosition")->setText(QString::fromStdString(x));
        Edit("m_Y_ThrowPosition")->setText(QString::fromStdString(y));
    });
}

CDialogSetBasic::~CDialogSetBasic() {
    if (smt::TheBasicSettings().m_bDialogOpen && isVisible()) {
        smt::CloseBasicDialog(smt::TheBasicSettings());
        smt::ReferenceHeightSink().Remove();
    }
}

void CDialogSetBasic::SetStartFolder(std::string folder) {
    m_startFolder = std::move(folder);
    m_DialogOriginUpdate.SetStartFolder(m_startFolder);
    m_DialogPositionLimitDetour.SetStartFolder(m_startFolder);
}

QLineEdit* CDialogSetBasic::Edit(const std::string& member) const {
    auto it = m_edits.find(member);
    return it == m_edits.end() ? nullptr : it->second;
}

QCheckBox* CDialogSetBasic::Check(const std::string& member) const {
    auto it = m_checks.find(member);
    return it == m_checks.end() ? nullptr : it->second;
}

QPushButton* CDialogSetBasic::TeachButton(int id) const {
    auto it = m_teach.find(id);
    return it == m_teach.end() ? nullptr : it->second;
}

// ---- controls ----------------------------------------------------------------

QLineEdit* CDialogSetBasic::AddEdit(QGridLayout* grid, int row, int column, const char* member) {
    auto* edit = new QLineEdit(grid->parentWidget());
    edit->setObjectName(member);
    m_edits[member] = edit;
    grid->addWidget(edit, row, column);
    return edit;
}

QPushButton* CDialogSetBasic::AddTeach(QGridLayout* grid, int row, int column, int id) {
    const smt::BasicTeachButton* b = smt::FindBasicTeachButton(id);
    auto* button = new QPushButton(QString::fromUtf8(b->label), grid->parentWidget());
    button->setObjectName(QString("teach_%1").arg(id));
    button->setMaximumWidth(40);
    m_teach[id] = button;
    grid->addWidget(button, row, column);
    connect(button, &QPushButton::clicked, this, [this, id] { OnTeach(id); });
    return button;
}

QCheckBox* CDialogSetBasic::AddCheck(QWidget* parent, const char* captionKey, const char* member) {
    auto* box = new QCheckBox(parent);
    box->setObjectName(captionKey);
    box->setProperty("member", member);
    m_checks[member] = box;
    return box;
}

void CDialogSetBasic::BuildControls() {
    using smt::ui::KeyLabel;
    auto* outer = new QVBoxLayout(this);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    auto* page = new QWidget(scroll);
    scroll->setWidget(page);
    outer->addWidget(scroll);
    // Two columns over two rows, so the page fits a 1280-pixel screen's width and
    // scrolls only downwards: the heads and offsets above, checking, cameras,
    // link, limits and switches below.
    auto* columns = new QGridLayout(page);
    auto* left = new QVBoxLayout;
    auto* middle = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    auto* lowerRight = new QVBoxLayout;
    columns->addLayout(left, 0, 0);
    columns->addLayout(middle, 0, 1);
    columns->addLayout(right, 1, 0);
    columns->addLayout(lowerRight, 1, 1);

    // A captioned edit with an optional teach button.
    auto editRow = [this](QGridLayout* g, int row, const char* caption, const char* member, int teach) {
        g->addWidget(KeyLabel(caption, g->parentWidget()), row, 0);
        AddEdit(g, row, 1, member);
        if (teach) AddTeach(g, row, 2, teach);
    };
    // A captioned X and Y pair, each with its teach button.
    auto xyRow = [this](QGridLayout* g, int row, const char* caption, const char* mx, int tx, const char* my,
                        int ty) {
        if (caption) g->addWidget(KeyLabel(caption, g->parentWidget()), row, 0);
        AddEdit(g, row, 1, mx);
        if (tx) AddTeach(g, row, 2, tx);
        AddEdit(g, row, 3, my);
        if (ty) AddTeach(g, row, 4, ty);
    };

    // Heights and placement corrections.
    auto* basic = Group("c_BasicParameters", page);
    auto* bg = new QGridLayout(basic);
    const int heightTeach[8] = {1244, 1245, 1247, 1256, 1273, 1280, 1274, 1320};
    for (int n = 1; n <= 8; ++n) {
        const std::string caption = "c_Z_Nozzle" + std::to_string(n) + "ToFeed";
        const std::string member = "m_Z_Nozzle" + std::to_string(n) + "ToFeed";
        editRow(bg, n - 1, caption.c_str(), member.c_str(), heightTeach[n - 1]);
    }
    editRow(bg, 8, "c_Z_Nozzle1ToPCBHeight", "m_Z_Nozzle1ToPCBHeight", 1246);
    editRow(bg, 9, "c_Z_DropsGlueToPCBHeight", "m_Z_DropsGlueToPCBHeight", smt::kTeachDispensingHeight);
    editRow(bg, 10, "c_Nozzle2MoreNozzle1", "m_Nozzle2MoreNozzle1", 0);
    editRow(bg, 11, "c_FeedOverBack", "m_FeedOverBack", 0);
    auto* corrections = new QWidget(basic);
    auto* cg = new QGridLayout(corrections);
    // Four nozzles a row, so the column stays narrow enough for a 1280-pixel screen.
    for (int n = 1; n <= 8; ++n) {
        const int row = (n - 1) / 4 * 2, col = (n - 1) % 4;
        cg->addWidget(new QLabel(QString("X%1").arg(n), corrections), row, col);
        AddEdit(cg, row + 1, col, ("m_Correction_X" + std::to_string(n)).c_str());
        cg->addWidget(new QLabel(QString("Y%1").arg(n), corrections), row + 4, col);
        AddEdit(cg, row + 5, col, ("m_Correction_Y" + std::to_string(n)).c_str());
    }
    bg->addWidget(corrections, 12, 0, 1, 3);
    auto* updateOrigin = smt::ui::KeyButton("c_UpdateOrigin", basic);
    bg->addWidget(updateOrigin, 13, 0, 1, 3);
    left->addWidget(basic);

    // Measuring head.
    auto* measure = Group("c_MeasurementParameter", page);
    auto* mg = new QGridLayout(measure);
    editRow(mg, 0, "c_Z_Measurement", "m_Z_Measurement", 0);
    auto* autoZ = smt::ui::KeyButton("AutoZ", measure, "AutoZ");
    mg->addWidget(autoZ, 0, 2);
    xyRow(mg, 1, nullptr, "m_X_Measurement", 1253, "m_Y_Measurement", 1119);
    mg->addWidget(AddCheck(measure, "c_MeasurementEffect", "m_bMeasurementEffect"), 2, 0, 1, 2);
    editRow(mg, 3, "c_MeasurementStart", "m_MeasurementStart", 0);
    editRow(mg, 4, "c_MeasurementNormal", "m_MeasurementNormal", 0);
    left->addWidget(measure);

    // Offsets from nozzle 1.
    auto* offsets = new QGroupBox(page);
    auto* og = new QGridLayout(offsets);
    xyRow(og, 0, "c_MarkCameraToNozzle1", "m_X_CameraToNozzle1", 1018, "m_Y_CameraToNozzle1", 1020);
    const int teachX[7] = {1237, 1238, 1239, 1240, 1241, 1099, 1114};
    const int teachY[7] = {1014, 1015, 1033, 1027, 1045, 1040, 1098};
    for (int n = 2; n <= 8; ++n) {
        const std::string s = std::to_string(n);
        xyRow(og, n - 1, ("c_Nozzle" + s + "ToNozzle1").c_str(), ("m_X_Nozzle" + s + "ToNozzle1").c_str(),
              teachX[n - 2], ("m_Y_Nozzle" + s + "ToNozzle1").c_str(), teachY[n - 2]);
    }
    xyRow(og, 8, "c_DropsGlueToNozzle1", "m_X_DropsGlueToNozzle1", 1243, "m_Y_DropsGlueToNozzle1", 1058);
    xyRow(og, 9, "c_Y2ToY1", "m_X_Y2ToY1", 1242, "m_Y_Y2ToY1", 1053);
    middle->addWidget(offsets);

    // Discard position and delays.
    auto* thrown = Group("c_ThrowPosition", page);
    auto* tg = new QGridLayout(thrown);
    xyRow(tg, 0, nullptr, "m_X_ThrowPosition", 1024, "m_Y_ThrowPosition", 1026);
    editRow(tg, 1, "c_ThrowDelay", "m_ThrowDelay", 0);
    editRow(tg, 2, "c_ChangeDelay", "m_ChangeDelay", 0);
    middle->addWidget(thrown);

    // Vision correction origin.
    auto* visual = Group("c_VisualOriginSet", page);
    auto* vg = new QGridLayout(visual);
    xyRow(vg, 0, "c_VisualOriginCoordinate", "m_X_VisualOrigin", 1078, "m_Y_VisualOrigin", 1080);
    xyRow(vg, 1, "c_VisualOriginOffset", "m_X_VisualOriginOffset", smt::kTeachVisualOffsetX,
          "m_Y_VisualOriginOffset", smt::kTeachVisualOffsetY);
    vg->addWidget(AddCheck(visual, "c_StopPosition", "m_bStopPosition"), 2, 0);
    xyRow(vg, 2, nullptr, "m_X_StopPosition", 1091, "m_Y_StopPosition", 1093);
    vg->addWidget(AddCheck(visual, "c_ResetToVisualOrigin", "m_ResetToVisualOrigin"), 3, 0);
    AddEdit(vg, 3, 1, "m_CottectionTimeReset");
    vg->addWidget(AddCheck(visual, "c_SmtFinishToVisualOrigin", "m_SmtFinishToVisualOrigin"), 4, 0);
    AddEdit(vg, 4, 1, "m_CottectionTimeSmt");
    editRow(vg, 5, "c_VisualCollectTime", "m_OriginVisualCollectTime", 0);
    editRow(vg, 6, "c_VisualOriginBox", "m_VisualOriginBox", 0);
    editRow(vg, 7, "c_VisualOriginSize", "m_VisualOriginSize", 0);
    editRow(vg, 8, "c_LightContrast", "m_OriginLightContrast", 0);
    editRow(vg, 9, "c_LightBrightness", "m_OriginLightBrightness", 0);
    editRow(vg, 10, "c_FeedBrightness", "m_FeedBrightness", 0);
    vg->addWidget(AddCheck(visual, "c_ImageColorReversal", "m_OriginImageColorReversal"), 11, 0, 1, 2);
    middle->addWidget(visual);

    // Pick checking.
    auto* suction = Group("c_SuctionTestSet", page);
    auto* sg = new QGridLayout(suction);
    editRow(sg, 0, "c_smtBeforeCloseVacuum", "m_Z_closeVacuum", 0);
    editRow(sg, 1, "c_Exhaust", "m_Exhaust", 0);
    sg->addWidget(AddCheck(suction, "c_SuctionNozzleOffset", "m_SuctionNozzleOffset"), 2, 0, 1, 2);
    auto* values = new QWidget(suction);
    auto* valueGrid = new QGridLayout(values);
    for (int n = 1; n <= 8; ++n) {
        const int row = (n - 1) / 4 * 2, col = (n - 1) % 4;
        valueGrid->addWidget(new QLabel(QString::number(n), values), row, col);
        AddEdit(valueGrid, row + 1, col, ("m_SuctionNozzleValue" + std::to_string(n)).c_str());
    }
    sg->addWidget(values, 3, 0, 1, 3);
    right->addWidget(suction);

    // Cameras and link.
    auto* cameras = new QGroupBox(page);
    auto* camGrid = new QGridLayout(cameras);
    editRow(camGrid, 0, "c_AutoMagnify", "m_AutoMagnify", 0);
    camGrid->addWidget(AddCheck(cameras, "c_Calibrator2", "m_Calibrator2"), 1, 0, 1, 2);
    m_CameraLens = new QButtonGroup(this);
    camGrid->addWidget(Radio("c_CameraLens8", m_CameraLens, 0, cameras), 2, 0);
    camGrid->addWidget(Radio("c_CameraLens6", m_CameraLens, 1, cameras), 2, 1);
    right->addWidget(cameras);
    auto* link = Group("c_CommModel", page);
    auto* linkRow = new QHBoxLayout(link);
    m_CommModel = new QButtonGroup(this);
    linkRow->addWidget(Radio("c_Serial", m_CommModel, 0, link));
    linkRow->addWidget(Radio("c_Ethernet", m_CommModel, 1, link));
    right->addWidget(link);

    // Travel limits.
    right->addStretch();
    right = lowerRight;
    auto* limits = Group("c_LimitSet", page);
    auto* lg = new QGridLayout(limits);
    const char* limitKeys[7] = {"X_Limit", "Y_Limit", "Z_Limit", "EastFeed_Limit", "SouthFeed_Limit",
                                "WestFeed_Limit", "NorthFeed_Limit"};
    for (int i = 0; i < 7; ++i)
        editRow(lg, i, ("c_" + std::string(limitKeys[i])).c_str(), ("m_" + std::string(limitKeys[i])).c_str(), 0);
    auto* detour = smt::ui::KeyButton("c_PositionLimitDetour", limits);
    lg->addWidget(detour, 7, 0, 1, 2);
    right->addWidget(limits);

    // Function switches.
    auto* functions = Group("c_FunctionSet", page);
    auto* fg = new QVBoxLayout(functions);
    QCheckBox* online = AddCheck(functions, "c_OnlineToReset", "m_OnlineToReset");
    QCheckBox* debug = AddCheck(functions, "c_DebugModel", "m_DebugModel");
    fg->addWidget(online);
    fg->addWidget(debug);
    fg->addWidget(AddCheck(functions, "c_OpenCamera", "m_OpenCamera"));
    fg->addWidget(AddCheck(functions, "c_CameraTrackModify", "m_bCameraTrackModify"));
    right->addWidget(functions);
    right->addStretch();

    outer->addWidget(smt::ui::OkCancelButtons(this));

    connect(autoZ, &QPushButton::clicked, this, &CDialogSetBasic::OnBnClickedAutoZ);
    connect(updateOrigin, &QPushButton::clicked, this, &CDialogSetBasic::OnBnClickedUpdateOrigin);
    connect(detour, &QPushButton::clicked, this, &CDialogSetBasic::OnBnClickedPositionLimitDetour);
    connect(online, &QCheckBox::clicked, this, &CDialogSetBasic::OnBnClickedOnlineToReset);
    connect(debug, &QCheckBox::clicked, this, &CDialogSetBasic::OnBnClickedDebugModel);
}

// ---- opening ------------------------------------------------------------------

void CDialogSetBasic::showEvent(QShowEvent* event) {
    // A window restored by the system keeps what the operator typed.
    if (event->spontaneous()) return QDialog::showEvent(event);
    smt::BasicSettings& s = smt::TheBasicSettings();
    const int type = smt::g_MachineType.load();
    ShowMembers();
    ApplyLanguage();
    ApplyMachineType(type);
    if (smt::ZeroTypeFourOffsets(s, type)) ShowMembers();
    smt::MarkBasicDialogOpen(s);
    smt::ReferenceHeightSink().Install(
        [this](const std::string& text) { Edit("m_Z_Measurement")->setText(QString::fromStdString(text)); });
    QDialog::showEvent(event);
}

void CDialogSetBasic::ApplyLanguage() {
    const smt::DialogCaptions& captions = smt::TheBasicCaptions();
    smt::ui::ApplyKeyCaptions(*this, captions, kPrefix);
    setWindowTitle(QString::fromStdString(captions.Text("SetBasic.c_SetBasic")));
    // Captions that change with the machine type.
    const int type = smt::g_MachineType.load();
    for (const char* base : {"c_Z_Nozzle5ToFeed", "c_Z_Nozzle6ToFeed"})
        if (auto* label = findChild<QLabel*>(base))
            label->setText(QString::fromStdString(captions.Text(smt::BasicCaptionKey(kPrefix + std::string(base), type))));
    if (auto* box = findChild<QGroupBox*>("c_ThrowPosition"))
        box->setTitle(QString::fromStdString(captions.Text(smt::BasicCaptionKey("SetBasic.c_ThrowPosition", type))));
}

void CDialogSetBasic::ApplyMachineType(int machineType) {
    for (auto& [member, edit] : m_edits) edit->setEnabled(!smt::BasicFieldDisabled(machineType, member));
    for (auto& [member, box] : m_checks) box->setEnabled(!smt::BasicFieldDisabled(machineType, member));
    for (const char* member : kAlwaysDisabled) {
        if (QLineEdit* e = Edit(member)) e->setEnabled(false);
        if (QCheckBox* c = Check(member)) c->setEnabled(false);
    }
    for (auto& [id, button] : m_teach) button->setEnabled(smt::BasicTeachButtonEnabled(machineType, id));
}

void CDialogSetBasic::ShowMembers() {
    const smt::BasicSettings& s = smt::TheBasicSettings();
    for (const smt::BasicSettingField& f : smt::BasicSettingFields()) {
        const int value = f.integer ? s.*f.integer : 0;
        if (QLineEdit* e = Edit(f.key))
            e->setText(f.length ? smt::ui::NumberText(s.*f.length) : smt::ui::NumberText(value));
        else if (QCheckBox* c = Check(f.key))
            c->setChecked(value != 0);
    }
    ShowChoice(m_CameraLens, s.m_CameraLens);
    ShowChoice(m_CommModel, s.m_CommModel);
}

bool CDialogSetBasic::TakeFields(smt::BasicSettings& s) {
    for (const smt::BasicSettingField& f : smt::BasicSettingFields()) {
        if (QLineEdit* e = Edit(f.key)) {
            bool ok = true;
            if (f.length)
                ok = f.ranged ? smt::ui::TakeNumber(e, s.*f.length, std::pair{f.low, f.high})
                              : smt::ui::TakeNumber(e, s.*f.length);
            else
                ok = f.ranged ? smt::ui::TakeBoundedInt(e, s.*f.integer, static_cast<int>(f.low),
                                                        static_cast<int>(f.high))
                              : smt::ui::TakeNumber(e, s.*f.integer);
            if (!ok) return false;
        } else if (QCheckBox* c = Check(f.key)) {
            s.*f.integer = c->isChecked() ? 1 : 0;
        }
    }
    // A group with no button chosen keeps the stored value.
    if (m_CameraLens->checkedId() >= 0) s.m_CameraLens = m_CameraLens->checkedId();
    if (m_CommModel->checkedId() >= 0) s.m_CommModel = m_CommModel->checkedId();
    return true;
}

// ---- OK, Cancel, close ------------------------------------------------------------

void CDialogSetBasic::accept() {
    smt::BasicSettings& live = smt::TheBasicSettings();
    smt::BasicSettings taken = live;
    if (!TakeFields(taken)) return;  // stays open, nothing taken
    live = taken;
    const smt::BasicOkOutcome outcome = smt::ConfirmBasicSettings(live, smt::g_MachineType.load(), m_startFolder);
    if (outcome == smt::BasicOkOutcome::StayOpen) {
        ShowMembers();
        return;
    }
    if (outcome == smt::BasicOkOutcome::WriteFailed) {
        smt::ReportConfigWrite(false, plat::JoinPath(m_startFolder, "config.ini"));
        return;
    }
    QDialog::accept();
}

void CDialogSetBasic::done(int result) {
    smt::CloseBasicDialog(smt::TheBasicSettings());
    smt::ReferenceHeightSink().Remove();
    QDialog::done(result);
}

// ---- buttons --------------------------------------------------------------------

void CDialogSetBasic::OnTeach(int id) {
    const smt::BasicTeachButton* b = smt::FindBasicTeachButton(id);
    QLineEdit* target = b ? Edit(b->field) : nullptr;
    if (!target) return;
    std::string text;
    if (id == smt::kTeachVisualOffsetX)
        text = smt::VisualOriginOffsetText(Edit("m_X_VisualOrigin")->text().toStdString(),
                                           smt::TheBasicSettings().m_X_VisualOrigin);
    else if (id == smt::kTeachVisualOffsetY)
        text = smt::VisualOriginOffsetText(Edit("m_Y_VisualOrigin")->text().toStdString(),
                                           smt::TheBasicSettings().m_Y_VisualOrigin);
    else
        text = smt::BasicTeachText(id, smt::CurrentTeachInputs());
    target->setText(QString::fromStdString(text));
}

void CDialogSetBasic::OnBnClickedAutoZ() { smt::StartReferenceMeasurement(); }

void CDialogSetBasic::OnBnClickedUpdateOrigin() { m_RunModal(m_DialogOriginUpdate); }

void CDialogSetBasic::OnBnClickedPositionLimitDetour() { m_RunModal(m_DialogPositionLimitDetour); }

void CDialogSetBasic::OnBnClickedOnlineToReset(bool checked) {
    if (checked) Check("m_DebugModel")->setChecked(false);
}

void CDialogSetBasic::OnBnClickedDebugModel(bool checked) {
    if (checked) Check("m_OnlineToReset")->setChecked(false);
}
