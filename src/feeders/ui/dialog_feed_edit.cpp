#include "feeders/ui/dialog_feed_edit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/feed_list.h"
#include "feeders/feeder_words.h"
#include "feeders/nozzle_library.h"
#include "feeders/pack_library.h"
#include "feeders/part_list_port.h"
#include "feeders/strategy_port.h"
#include "feeders/ui/dialog_grid_box.h"
#include "platform/msgbox.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"
#include "base/ui/field_text.h"
#include "vision/camera_panel_port.h"

namespace smt {

namespace {

namespace e = feededit;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The six captions of the feeding group: feeder texts and drag-pin texts.
constexpr int kFeedStatics[6] = {1394, 1395, 1396, 1397, 1398, 1399};
const char* const kFeederTexts[6] = {"c_FeedSet", "c_Feed_Coordinates", "c_FeedTimes", "c_FeedTime", "c_OpenLength",
                                     "c_CloseLength"};
const char* const kDragTexts[6] = {"c_DragTapeSet", "c_FeedStep", "c_ReturnStep", "c_FeedDelay",
                                   "c_DragX_Coordinates", "c_DragY_Coordinates"};

// Machine buttons acting on a press (held jogs, moves) rather than on a click.
const std::set<int> kPressButtons = {1139, 1138, 1147, 1148, 1255, 1485, 1486, 1487, 1254, 1466,
                                     1245, 1247, 1250, 1253};

bool Editable(int combo) { return combo == e::PartType || combo == e::Package || combo == e::Angle; }

void SelectText(QComboBox* combo, const std::string& text) {
    const int at = combo->findText(Q(text));
    combo->setCurrentIndex(at);
    // A typed text that is not a listed item stays: the next OK reads it back.
    if (at < 0 && combo->isEditable()) combo->setEditText(Q(text));
}

} // namespace

CDialogFeedEdit::CDialogFeedEdit(FeedList& list, QWidget* parent) : QDialog(parent), m_list(list) {
    setObjectName("CDialogFeedEdit");
    m_RunModal = [](QDialog& d) { return d.exec(); };

    auto label = [this](int id, const char* key, QWidget* parent) {
        auto* l = new QLabel(parent);
        l->setObjectName(QString("static%1").arg(id));
        m_labels[id] = l;
        if (*key) m_captioned.emplace_back(key, l);
        return l;
    };
    auto unit = [](const char* text, QWidget* parent) { return new QLabel(QString::fromUtf8(text), parent); };
    auto edit = [this](int id, QWidget* parent) {
        auto* w = new QLineEdit(parent);
        w->setObjectName(QString("edit%1").arg(id));
        m_edits[id] = w;
        return w;
    };
    auto combo = [this](int id, QWidget* parent) {
        auto* c = new QComboBox(parent);
        c->setObjectName(QString("combo%1").arg(id));
        c->setEditable(Editable(id));
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c->setMinimumContentsLength(6);
        m_combos[id] = c;
        return c;
    };
    auto button = [this](int id, const char* key, const char* text, QWidget* parent) {
        auto* b = new QPushButton(QString::fromUtf8(text), parent);
        b->setObjectName(QString("button%1").arg(id));
        b->setAutoDefault(false);
        m_buttons[id] = b;
        if (*key) m_captioned.emplace_back(key, b);
        return b;
    };
    // A machine button: a click, or a press and a release for the held ones.
    auto machine = [&](int id, const char* key, const char* text, QWidget* parent) {
        QPushButton* b = button(id, key, text, parent);
        if (*text) b->setMaximumWidth(b->fontMetrics().horizontalAdvance(b->text()) + 24);  // "X", "CX", "Z↑"
        if (kPressButtons.count(id)) b->installEventFilter(this);
        else connect(b, &QPushButton::clicked, this, [this, id] { OnMachineButton(id); });
        return b;
    };
    auto row = [](std::initializer_list<QWidget*> widgets) {
        auto* h = new QHBoxLayout;
        h->setSpacing(4);
        for (QWidget* w : widgets) h->addWidget(w);
        return h;
    };

    // ---- the part ----
    auto* part = new QGroupBox(this);
    auto* pg = new QGridLayout(part);
    int r = 0;
    pg->addWidget(label(1383, "c_FeedNumber", part), r, 0);
    QLineEdit* number = edit(e::Number, part);
    connect(number, &QLineEdit::textEdited, this, [this] { m_form.modified = true; });
    auto* banks = new QHBoxLayout;
    m_bankGroup = new QButtonGroup(this);
    const int bankIds[5] = {1110, 1114, 1115, 1116, 1117};
    const char* bankKeys[5] = {"c_East", "c_South", "c_West", "c_North", "c_Grid"};
    for (int b = 0; b < 5; ++b) {
        m_bank[b] = new QRadioButton(part);
        m_bank[b]->setObjectName(QString("radio%1").arg(bankIds[b]));
        m_captioned.emplace_back(bankKeys[b], m_bank[b]);
        m_bankGroup->addButton(m_bank[b], b);
        banks->addWidget(m_bank[b]);
        connect(m_bank[b], &QRadioButton::clicked, this, [this, b] { OnBankClicked(b); });
    }
    pg->addWidget(number, r, 1);
    pg->addLayout(banks, r++, 2, 1, 3);
    const struct {
        int labelId;
        const char* key;
        int field;
        const char* unit;
    } parts[] = {{1384, "c_PartType", e::PartType, ""},       {1385, "c_PartPacking", e::Package, ""},
                 {1386, "c_PartAngle", e::Angle, ""},         {1387, "c_PartValue", e::Value, ""},
                 {1388, "c_PartLength", e::Length, "mm"},     {1389, "c_PartWidth", e::Width, "mm"},
                 {1390, "c_PartHeight", e::Height, "mm"},     {1408, "c_PartRemainder", e::Quantity, ""},
                 {1391, "c_X_Coordinates", e::PickX, "mm"},   {1392, "c_Y_Coordinates", e::PickY, "mm"}};
    for (const auto& f : parts) {
        pg->addWidget(label(f.labelId, f.key, part), r, 0);
        const bool isCombo = f.field == e::PartType || f.field == e::Package || f.field == e::Angle;
        pg->addWidget(isCombo ? static_cast<QWidget*>(combo(f.field, part)) : edit(f.field, part), r, 1);
        if (*f.unit) pg->addWidget(unit(f.unit, part), r, 2);
        if (f.field == e::Quantity) pg->addWidget(label(1427, "c_Pcs", part), r, 2);
        if (f.field == e::Package) pg->addWidget(button(1430, "c_UpdatePack", "", part), r, 3, 1, 2);
        if (f.field == e::PickX) pg->addLayout(row({machine(1238, "", "X", part), machine(1240, "", "CX", part)}), r, 3, 1, 2);
        if (f.field == e::PickY) pg->addLayout(row({machine(1239, "", "Y", part), machine(1241, "", "CY", part)}), r, 3, 1, 2);
        ++r;
    }
    connect(m_combos[e::Package], &QComboBox::activated, this, [this] { OnPackageChosen(); });
    connect(m_buttons[1430], &QPushButton::clicked, this, [this] { OnUpdatePack(); });
    // The table jog and the camera over the feeder.
    pg->addLayout(row({machine(1138, "", "X-", part), machine(1139, "", "X+", part), machine(1147, "", "Y+", part),
                       machine(1148, "", "Y-", part), machine(1255, "", "Set", part)}),
                  r++, 0, 1, 3);
    pg->addWidget(machine(1429, "c_CameraReach", "", part), r - 1, 3, 1, 2);
    pg->addWidget(label(1393, "c_SelectFeedMode", part), r, 0);
    pg->addWidget(combo(e::FeedMode, part), r, 1);
    connect(m_combos[e::FeedMode], &QComboBox::activated, this, [this] { OnFeedModeChosen(); });
    QPushButton* tray = button(e::TrayButton, "", "托  盘", part);
    connect(tray, &QPushButton::clicked, this, [this] { OnTrayButton(); });
    pg->addLayout(row({tray, machine(e::AutoTest, "c_FeedTest", "", part), machine(e::StepTest, "c_StepTest", "", part)}),
                  r++, 2, 1, 3);

    // ---- feeding ----
    m_feedBox = new QGroupBox(this);
    m_feedBox->setObjectName("static1394");
    auto* fg = new QGridLayout(m_feedBox);
    const int feedEdits[5] = {e::FeedCoordinate, e::FeedCount, e::FeedTime, e::Loosen, e::Tighten};
    for (int i = 0; i < 5; ++i) {
        fg->addWidget(label(kFeedStatics[i + 1], "", m_feedBox), i, 0);
        fg->addWidget(edit(feedEdits[i], m_feedBox), i, 1);
    }
    fg->addLayout(row({machine(1242, "", "L", m_feedBox), machine(1246, "", "<¤>", m_feedBox)}), 0, 2);
    m_feedCountMm = unit("mm", m_feedBox);
    m_feedCountMm->setObjectName("static1428");
    fg->addWidget(m_feedCountMm, 1, 2);
    fg->addWidget(unit("ms", m_feedBox), 2, 2);
    fg->addLayout(row({machine(e::DragX, "", "CX", m_feedBox), machine(1245, "", "Lx-", m_feedBox),
                       machine(1247, "", "Lx+", m_feedBox)}),
                  3, 2);
    fg->addLayout(row({machine(e::DragY, "", "CY", m_feedBox), machine(1250, "", "Ly+", m_feedBox),
                       machine(1253, "", "Ly-", m_feedBox)}),
                  4, 2);

    // ---- delays ----
    auto* delays = new QGroupBox(this);
    m_captioned.emplace_back("c_SuctionPutDelay", delays);
    auto* dg = new QGridLayout(delays);
    dg->addWidget(label(1410, "c_SuctionDelay", delays), 0, 0);
    dg->addWidget(edit(e::PickDelay, delays), 0, 1);
    dg->addWidget(unit("ms", delays), 0, 2);
    dg->addWidget(label(1411, "c_PutDelay", delays), 1, 0);
    dg->addWidget(edit(e::PlaceDelay, delays), 1, 1);
    dg->addWidget(unit("ms", delays), 1, 2);

    // ---- vision ----
    auto* vision = new QGroupBox(this);
    m_captioned.emplace_back("c_VisualAlignSet", vision);
    auto* vg = new QGridLayout(vision);
    m_visionGroup = new QButtonGroup(this);
    const char* visionKeys[3] = {"c_NoVisual", "c_VisualAlign", "c_RunAlign"};
    auto* radios = new QVBoxLayout;
    for (int i = 0; i < 3; ++i) {
        m_vision[i] = new QRadioButton(vision);
        m_vision[i]->setObjectName(QString("radio%1").arg(1111 + i));
        m_captioned.emplace_back(visionKeys[i], m_vision[i]);
        m_visionGroup->addButton(m_vision[i], i);
        radios->addWidget(m_vision[i]);
    }
    vg->addLayout(radios, 0, 0, 1, 3);
    vg->addWidget(label(1251, "c_SelectCamera", vision), 1, 0);
    vg->addWidget(combo(e::Camera, vision), 1, 1);
    vg->addWidget(label(1401, "c_Contrast", vision), 2, 0);
    vg->addWidget(edit(e::Contrast, vision), 2, 1);
    vg->addWidget(machine(1426, "c_GetData", "", vision), 2, 2);
    vg->addWidget(label(1402, "c_LightIntensity", vision), 3, 0);
    vg->addWidget(edit(e::Brightness, vision), 3, 1);
    vg->addWidget(label(1252, "c_ImageFeature", vision), 4, 0);
    vg->addWidget(combo(e::Feature, vision), 4, 1, 1, 2);
    vg->addWidget(label(1422, "c_Precision_XY", vision), 5, 0);
    vg->addWidget(edit(e::PrecisionXY, vision), 5, 1);
    vg->addWidget(edit(e::PrecisionXYMm, vision), 5, 2);
    vg->addWidget(label(1423, "c_Precision_A", vision), 6, 0);
    vg->addWidget(edit(e::PrecisionA, vision), 6, 1);
    vg->addWidget(edit(e::PrecisionADeg, vision), 6, 2);
    vg->addWidget(label(1424, "c_CollectTime", vision), 7, 0);
    vg->addWidget(edit(e::CaptureTime, vision), 7, 1);
    vg->addWidget(unit("ms", vision), 7, 2);
    vg->addWidget(machine(1466, "c_PickToCamera", "", vision), 8, 0, 1, 2);
    QPushButton* mark = button(1016, "c_SeparateMark", "", vision);
    mark->hide();  // kept hidden, as its resource is
    connect(mark, &QPushButton::clicked, this, [this] { OnSeparateMark(); });
    for (int id : {e::PrecisionXYMm, e::PrecisionADeg}) m_edits[id]->setReadOnly(true);
    connect(m_edits[e::PrecisionXY], &QLineEdit::textChanged, this, [this] { OnPrecisionChanged(e::PrecisionXY); });
    connect(m_edits[e::PrecisionA], &QLineEdit::textChanged, this, [this] { OnPrecisionChanged(e::PrecisionA); });

    // ---- nozzle and vacuum ----
    auto* vacuum = new QGroupBox(this);
    m_captioned.emplace_back("c_VacuumTestSet", vacuum);
    auto* ng = new QGridLayout(vacuum);
    ng->addWidget(label(1404, "c_SelectNozzle", vacuum), 0, 0);
    ng->addWidget(combo(e::Nozzle, vacuum), 0, 1);
    QLineEdit* remark = edit(e::Remark, vacuum);
    remark->setReadOnly(true);
    ng->addWidget(remark, 0, 2, 1, 2);
    connect(m_combos[e::Nozzle], &QComboBox::activated, this, [this] { OnNozzleChosen(); });
    ng->addWidget(label(1405, "c_NozzleHeight", vacuum), 1, 0);
    ng->addWidget(edit(e::PickHeight, vacuum), 1, 1);
    ng->addWidget(unit("mm", vacuum), 1, 2);
    ng->addWidget(combo(e::HeightHead, vacuum), 2, 0);
    connect(m_combos[e::HeightHead], &QComboBox::activated, this, [this](int index) { OnHeadChosen(index); });
    ng->addLayout(row({machine(1485, "", "Z↑", vacuum), machine(1486, "", "Z↓", vacuum), machine(1487, "", "↓↑", vacuum),
                       machine(1254, "", "To=Z", vacuum)}),
                  2, 1, 1, 3);
    ng->addWidget(label(1406, "c_VacuumTestValue", vacuum), 3, 0);
    ng->addWidget(edit(e::Vacuum, vacuum), 3, 1);
    ng->addWidget(unit("-kPa", vacuum), 3, 2);
    ng->addLayout(row({combo(e::VacuumNozzle, vacuum), machine(1244, "", "T", vacuum)}), 4, 1, 1, 2);
    ng->addWidget(label(1294, "c_smtBeforeCloseVacuum", vacuum), 5, 0);
    ng->addWidget(edit(e::VacuumEarly, vacuum), 5, 1);
    ng->addWidget(unit("mm", vacuum), 5, 2);

    // ---- own speed ----
    auto* speed = new QGroupBox(this);
    m_captioned.emplace_back("c_SeparateSpeedSet", speed);
    auto* sg = new QHBoxLayout(speed);
    m_ownSpeed = new QCheckBox(speed);
    m_ownSpeed->setObjectName("check1046");
    m_captioned.emplace_back("c_SeparateSpeed", m_ownSpeed);
    sg->addWidget(m_ownSpeed);
    sg->addWidget(combo(e::Speed, speed), 1);

    // ---- the dialog's own buttons ----
    QPushButton* next = button(3, "c_Next", "", this);
    connect(next, &QPushButton::clicked, this, [this] { OnNext(); });
    QPushButton* ok = button(1, "c_IDOK", "", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CDialogFeedEdit::accept);
    QPushButton* cancel = button(2, "c_IDCANCEL", "", this);
    connect(cancel, &QPushButton::clicked, this, &CDialogFeedEdit::reject);

    auto* left = new QVBoxLayout;
    left->addWidget(part);
    left->addStretch();
    auto* middle = new QVBoxLayout;
    middle->addWidget(m_feedBox);
    middle->addWidget(delays);
    middle->addWidget(speed);
    middle->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(vision);
    right->addWidget(vacuum);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(middle);
    columns->addLayout(right);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(next);
    bottom->addWidget(ok);
    bottom->addWidget(cancel);
    auto* top = new QVBoxLayout(this);
    top->addLayout(columns);
    top->addLayout(bottom);

    m_gridBox = new CDialogGridBox(list, this);
    m_gridBox->m_RunModal = [this](QDialog& d) { return m_RunModal(d); };
    SetFeedTexts(false);
    ApplyLanguage();
}

CDialogFeedEdit::~CDialogFeedEdit() = default;

// ---- captions ----------------------------------------------------------------------

void CDialogFeedEdit::LoadLanguage(const std::string& startFolder, const std::string& language) {
    m_form.texts.Load(startFolder, language);
    m_gridBox->LoadLanguage(startFolder, language);
    ApplyLanguage();
}

void CDialogFeedEdit::ApplyLanguage() {
    setWindowTitle(Q(m_form.Text("c_FeedEdit")));
    for (const auto& [key, w] : m_captioned) {
        const QString text = Q(m_form.Text(key));
        if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
        else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
        else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(text);
    }
    SetFeedTexts(m_feedTexts == 2);
    ApplyFeedModeLayout(m_combos[e::FeedMode]->currentText().toStdString());
}

void CDialogFeedEdit::SetFeedTexts(bool drag) {
    m_feedTexts = drag ? 2 : 1;
    const char* const* keys = drag ? kDragTexts : kFeederTexts;
    m_feedBox->setTitle(Q(m_form.Text(keys[0])));
    for (int i = 1; i < 6; ++i) m_labels[kFeedStatics[i]]->setText(Q(m_form.Text(keys[i])));
}

// ---- opening -----------------------------------------------------------------------

std::optional<FeedListItem> CDialogFeedEdit::Run(const FeedListItem& loaded) {
    if (loaded.text[0].empty()) m_form.previousId.clear();  // a new feeder: the previous values stay
    else LoadFeedEditFromListRow(m_form, loaded, g_MachineType);
    OnInitDialog();
    setResult(0);
    if (m_RunModal(*this) != QDialog::Accepted) return std::nullopt;
    return StoreFeedEditInListRow(m_form);
}

void CDialogFeedEdit::OnInitDialog() {
    FeedEditValues& v = m_form.v;
    const int type = g_MachineType;
    const std::string folder = m_StartFolder ? m_StartFolder() : std::string(".");
    LoadLanguage(folder, kLanguageNames[g_LanguageIndex]);

    auto fill = [](QComboBox* c, const std::vector<std::string>& items) {
        c->clear();
        for (const std::string& s : items) c->addItem(Q(s));
    };
    auto dropDown = [](std::size_t line) {
        std::vector<std::string> items;
        if (line < g_DropDownLines.size())
            for (std::string& s : SplitRow(g_DropDownLines[line])) items.push_back(std::move(s));
        return items;
    };
    fill(m_combos[e::PartType], dropDown(1));
    fill(m_combos[e::Angle], dropDown(3));
    fill(m_combos[e::Package], FillPackCombo(g_PackLines));

    std::vector<std::string> modes;
    for (int k : FeedEditFeedModes(type)) modes.push_back(FeedModeWord(k));
    fill(m_combos[e::FeedMode], modes);
    // The feed modes are captions (German ones run long): each is read whole.
    QComboBox* modeBox = m_combos[e::FeedMode];
    modeBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    modeBox->setMinimumWidth(modeBox->sizeHint().width());
    if (std::find(modes.begin(), modes.end(), v.feedMode) != modes.end()) {
        const int mode = FeedModeIndex(v.feedMode);
        if (mode == 0 && v.feedCount == 0) v.feedCount = 1;
        if (mode == 0 || mode == 4) {
            if (v.loosen == 0) v.loosen = 15.0;
            if (v.tighten == 0) v.tighten = 20.0;
        }
    }

    const auto& cameras = TheCameraPanelPort().cameraNames;
    fill(m_combos[e::Camera], cameras ? cameras() : std::vector<std::string>{});
    fill(m_combos[e::Feature], ImageFeatureNames(g_LanguageIndex));
    if (ImageFeaturePosition(v.imageFeature) < 0 && m_combos[e::Feature]->findText(Q(v.imageFeature)) < 0)
        v.imageFeature = m_combos[e::Feature]->itemText(0).toStdString();

    const bool autoChange = StrategyPort::Read(TheStrategyPort().m_AutoChangeNozzle) != 0;
    const bool nineteen = StrategyPort::Read(TheStrategyPort().m_19NozzleLibrary) != 0;
    fill(m_combos[e::Nozzle], FeedEditNozzles(type, autoChange, nineteen));
    m_vision[1]->setEnabled(type != 4);
    fill(m_combos[e::HeightHead], FeedEditHeads(type, 'Z'));
    fill(m_combos[e::VacuumNozzle], FeedEditHeads(type, 'P'));
    m_combos[e::HeightHead]->setCurrentIndex(0);
    v.vacuumTestNozzle = 0;
    fill(m_combos[e::Speed], TheSpeedTemplates().TemplateNames());

    ShowFields();
    ApplyFeedModeLayout(v.feedMode);
    m_edits[e::Remark]->clear();
    ShowRemark();

    const PartListPort& port = ThePartListPort();
    const bool rowEditor = port.rowEditorOpen && port.rowEditorOpen();
    m_edits[e::Number]->setEnabled(!rowEditor);
    for (QRadioButton* b : m_bank) b->setEnabled(!rowEditor);
    m_buttons[3]->setEnabled(m_list.editing);
    m_buttons[1]->setEnabled(true);
    m_form.modified = false;
    ShowPrecision();
}

void CDialogFeedEdit::ShowFields(const std::set<int>& only) {
    const FeedEditValues& v = m_form.v;
    for (const FeedEditField& f : FeedEditExchange()) {
        if (!only.empty() && !only.count(f.control)) continue;
        switch (f.kind) {
        case FeedEditField::Int: m_edits[f.control]->setText(ui::NumberText(v.*f.i)); break;
        case FeedEditField::Double: m_edits[f.control]->setText(ui::NumberText(v.*f.d)); break;
        case FeedEditField::Text:
            if (m_combos.count(f.control)) {
                if (f.control == e::Feature && ImageFeaturePosition(v.*f.s) >= 0 &&
                    m_combos[e::Feature]->findText(Q(v.*f.s)) < 0)
                    m_combos[e::Feature]->setCurrentIndex(ImageFeaturePosition(v.*f.s));  // the other language's text
                else
                    SelectText(m_combos[f.control], v.*f.s);
            } else {
                m_edits[f.control]->setText(Q(v.*f.s));
            }
            break;
        case FeedEditField::Bank: CheckBank(v.bank); break;
        case FeedEditField::Vision:
            m_visionGroup->setExclusive(false);
            for (int i = 0; i < 3; ++i) m_vision[i]->setChecked(i == v.vision);
            m_visionGroup->setExclusive(true);
            break;
        case FeedEditField::Check: m_ownSpeed->setChecked(v.ownSpeed != 0); break;
        case FeedEditField::ComboIndex: m_combos[e::VacuumNozzle]->setCurrentIndex(v.vacuumTestNozzle); break;
        }
    }
}

void CDialogFeedEdit::ApplyFeedModeLayout(const std::string& word) {
    const int mode = FeedModeIndex(word);
    if (mode < 0) return;
    const FeedModeLayout l = FeedModeLayoutOf(mode);
    auto show = [](QWidget* w, Shown s) {
        if (s != Shown::Unchanged) w->setVisible(s == Shown::Show);
    };
    show(m_buttons[e::TrayButton], l.tray);
    show(m_buttons[e::AutoTest], l.autoTest);
    show(m_buttons[e::StepTest], l.stepTest);
    for (QWidget* w : {static_cast<QWidget*>(m_feedCountMm), static_cast<QWidget*>(m_buttons[e::DragX]),
                       static_cast<QWidget*>(m_buttons[e::DragY])})
        show(w, l.drag);
    if (l.trayCaption == FeedModeLayout::FeedTestText) m_buttons[e::TrayButton]->setText(Q(m_form.Text("c_FeedTest")));
    if (l.trayCaption == FeedModeLayout::TrayWord) m_buttons[e::TrayButton]->setText(Q(FeedModeWord(kFeedModeTray)));
    if (l.texts != FeedModeLayout::KeepTexts) SetFeedTexts(l.texts == FeedModeLayout::DragPin);
    for (int id : l.enable) m_edits[id]->setEnabled(true);
    for (int id : l.disable) m_edits[id]->setEnabled(false);
}

void CDialogFeedEdit::ShowPrecision() {
    const PulseFactors& f = ThePulseFactors();
    if (auto t = PrecisionText(FormatInt(m_form.v.xyPrecision), f.m_X_Pulse)) m_edits[e::PrecisionXYMm]->setText(Q(*t));
    if (auto t = PrecisionText(FormatInt(m_form.v.anglePrecision), f.m_A_Pulse)) m_edits[e::PrecisionADeg]->setText(Q(*t));
}

void CDialogFeedEdit::ShowRemark() {
    if (StrategyPort::Read(TheStrategyPort().m_AutoChangeNozzle) == 0) return;
    const std::string nozzle = m_combos[e::Nozzle]->currentText().toStdString();
    if (nozzle.empty()) return;
    for (const NozzleRow& row : TheNozzleLibrary().Rows()) {
        if (AtoI(row[0]) == AtoI(nozzle)) {
            m_edits[e::Remark]->setText(Q(row[8]));
            return;
        }
    }
}

// ---- handlers ----------------------------------------------------------------------

void CDialogFeedEdit::OnBankClicked(int bank) {
    SelectText(m_combos[e::Angle], BankAngle(bank));
    m_buttons[e::TrayButton]->hide();
    m_form.modified = true;
    ReadControls(m_form.v);
}

void CDialogFeedEdit::OnPackageChosen() {
    FeedEditValues& v = m_form.v;
    const std::string name = m_combos[e::Package]->currentText().toStdString();
    if (ChoosePackage(v, name, g_PackLines)) {
        ShowFields({e::Length, e::Width, e::Height, e::Contrast, e::Brightness, e::PickDelay, e::PlaceDelay, e::Camera,
                    1111, e::Nozzle, e::OwnSpeed, e::Speed, e::Feature, e::FeedMode, 1110, e::FeedCount, e::FeedTime,
                    e::Loosen, e::Tighten, e::PrecisionXY, e::PrecisionA, e::CaptureTime, e::PickHeight, e::Vacuum,
                    e::VacuumEarly});
        ShowRemark();
    }
    ApplyFeedModeLayout(v.feedMode);
}

void CDialogFeedEdit::OnFeedModeChosen() {
    const std::string word = FeedModeText();
    ApplyFeedModeLayout(word);
    const FeedModeChange c = FeedModeChangeOf(FeedModeIndex(word), CheckedBank());
    m_form.v.bank = c.bank;
    CheckBank(c.bank);
    if (c.feedCount) m_edits[e::FeedCount]->setText(Q(*c.feedCount));
    if (c.feedTime) m_edits[e::FeedTime]->setText(Q(*c.feedTime));
}

void CDialogFeedEdit::OnNozzleChosen() { ShowRemark(); }

void CDialogFeedEdit::OnPrecisionChanged(int control) {
    const bool xy = control == e::PrecisionXY;
    const PulseFactors& f = ThePulseFactors();
    if (auto t = PrecisionText(m_edits[control]->text().toStdString(), xy ? f.m_X_Pulse : f.m_A_Pulse))
        m_edits[xy ? e::PrecisionXYMm : e::PrecisionADeg]->setText(Q(*t));
}

void CDialogFeedEdit::OnSeparateMark() { plat::MessageBoxOk(m_form.Text("c_Message_10")); }

void CDialogFeedEdit::OnTrayButton() {
    if (m_combos[e::FeedMode]->currentIndex() < 0) return;
    const int mode = FeedModeIndex(FeedModeText());
    if (mode != kFeedModeTray && mode != kFeedModeTrayDip) {
        OnMachineButton(e::TrayButton);  // the feed test of the other modes
        return;
    }
    if (m_form.modified) {
        plat::MessageBoxOk("Please click the OK button and save it before opening it !", true);
        return;
    }
    m_gridBox->m_OriginX = AtoF(m_edits[e::PickX]->text().toStdString());
    m_gridBox->m_OriginY = AtoF(m_edits[e::PickY]->text().toStdString());
    m_gridBox->OnInitDialog();
    m_RunModal(*m_gridBox);
}

void CDialogFeedEdit::OnUpdatePack() {
    if (!ReadControls(m_form.v)) return;
    UpdatePackage(m_form.v, ThePackLibrary());
}

void CDialogFeedEdit::OnNext() {
    switch (m_form.Next(*this, m_list, g_MachineType)) {
    case FeedEditNext::Stopped: return;
    case FeedEditNext::Closed:
        m_buttons[3]->setEnabled(false);
        reject();  // the list and the group hold the values already
        return;
    case FeedEditNext::Moved:
        m_buttons[1]->setEnabled(false);  // the sequence stores with Next
        ShowFields();
        ApplyFeedModeLayout(m_form.v.feedMode);
        ShowPrecision();
        if (m_ShowListRow) m_ShowListRow(m_list.selected);
        return;
    }
}

void CDialogFeedEdit::accept() {
    if (m_form.Ok(*this, m_list) == FeedEditOk::Accepted) QDialog::accept();
}

void CDialogFeedEdit::done(int result) {
    m_list.editing = false;  // Next is offered only during an Edit
    QDialog::done(result);
}

bool CDialogFeedEdit::eventFilter(QObject* watched, QEvent* event) {
    if (auto* b = qobject_cast<QPushButton*>(watched); b && b->isEnabled()) {
        const int id = b->objectName().mid(6).toInt();
        if (event->type() == QEvent::MouseButtonPress) OnMachineButtonDown(id);
        else if (event->type() == QEvent::MouseButtonRelease) OnMachineButtonUp(id);
    }
    return QDialog::eventFilter(watched, event);
}

void CDialogFeedEdit::keyPressEvent(QKeyEvent* event) {
    if (!OnMachineKey(event, true)) QDialog::keyPressEvent(event);
}

void CDialogFeedEdit::keyReleaseEvent(QKeyEvent* event) {
    if (!OnMachineKey(event, false)) QDialog::keyReleaseEvent(event);
}

// ---- FeedEditControls ------------------------------------------------------------------

std::string CDialogFeedEdit::FeedModeText() const { return m_combos.at(e::FeedMode)->currentText().toStdString(); }
std::string CDialogFeedEdit::PackageText() const { return m_combos.at(e::Package)->currentText().toStdString(); }
std::string CDialogFeedEdit::FeedCountText() const { return m_edits.at(e::FeedCount)->text().toStdString(); }

void CDialogFeedEdit::CheckBank(int bank) {
    m_bankGroup->setExclusive(false);
    for (int b = 0; b < 5; ++b) m_bank[b]->setChecked(b == bank);
    m_bankGroup->setExclusive(true);
}

int CDialogFeedEdit::CheckedBank() const {
    for (int b = 0; b < 5; ++b)
        if (m_bank[b]->isChecked()) return b;
    return kBankNone;
}

bool CDialogFeedEdit::ReadControls(FeedEditValues& v) {
    for (const FeedEditField& f : FeedEditExchange()) {
        switch (f.kind) {
        case FeedEditField::Int:
            if (!ui::TakeNumber(m_edits[f.control], v.*f.i, f.bounds)) return false;
            break;
        case FeedEditField::Double:
            if (!ui::TakeNumber(m_edits[f.control], v.*f.d, f.bounds)) return false;
            break;
        case FeedEditField::Text:
            v.*f.s = m_combos.count(f.control) ? m_combos[f.control]->currentText().toStdString()
                                               : m_edits[f.control]->text().toStdString();
            break;
        case FeedEditField::Bank: v.bank = CheckedBank(); break;
        case FeedEditField::Vision:
            for (int i = 0; i < 3; ++i)
                if (m_vision[i]->isChecked()) v.vision = i;
            break;
        case FeedEditField::Check: v.ownSpeed = m_ownSpeed->isChecked() ? 1 : 0; break;
        case FeedEditField::ComboIndex: v.vacuumTestNozzle = m_combos[e::VacuumNozzle]->currentIndex(); break;
        }
    }
    return true;
}

void CDialogFeedEdit::FocusFeedCount() { m_edits[e::FeedCount]->setFocus(); }

void CDialogFeedEdit::SetEditText(int control, const std::string& text) {
    if (m_edits.count(control)) m_edits[control]->setText(Q(text));
}

} // namespace smt
