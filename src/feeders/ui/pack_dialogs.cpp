#include "feeders/ui/pack_dialogs.h"

#include "base/ui/column_fit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "base/tablefile.h"
#include "feeders/feeder_words.h"
#include "feeders/nozzle_library.h"
#include "feeders/strategy_port.h"
#include "feeders/ui/library_list_view.h"
#include "platform/msgbox.h"
#include "settings/basic_settings.h"
#include "settings/speed_template.h"
#include "base/ui/field_text.h"
#include "vision/camera_panel_port.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Edits of the editor: control, caption key of the label or copy box beside it.
constexpr int kName = 1005, kLength = 1006, kWidth = 1007, kHeight = 1008, kContrast = 1009, kBright = 1010;
constexpr int kPickDelay = 1011, kPlaceDelay = 1012, kFeedCount = 1014, kFeedTime = 1019, kLoosen = 1022;
constexpr int kTighten = 1024, kXY = 1032, kAngle = 1033, kCapture = 1041, kPickHeight = 1135, kVacuum = 1134;
constexpr int kEarly = 1052, kRemark = 1136;
constexpr int kCamera = 1027, kNozzle = 1043, kSpeed = 1035, kFeature = 1031, kFeedMode = 1045;
constexpr int kOwnSpeed = 1046, kSynchronise = 1047;

// Copy boxes in PackEditConfig order, each with the edit it governs.
struct CopyBox {
    int box, edit;
    const char* key;
    int smt::PackEditConfig::*flag;
};
const CopyBox kCopies[] = {
    {1036, 0, "PackEdit.c_SelectFeedMode", &smt::PackEditConfig::m_SelectFeedMode},
    {1037, kFeedCount, "PackEdit.c_FeedTimes", &smt::PackEditConfig::m_FeedTimes},
    {1038, kFeedTime, "PackEdit.c_FeedTime", &smt::PackEditConfig::m_FeedTime},
    {1039, kLoosen, "PackEdit.c_OpenLength", &smt::PackEditConfig::m_OpenLength},
    {1040, kTighten, "PackEdit.c_CloseLength", &smt::PackEditConfig::m_CloseLength},
    {1042, kXY, "PackEdit.c_Precision_XY", &smt::PackEditConfig::m_Precision_XY},
    {1044, kAngle, "PackEdit.c_Precision_A", &smt::PackEditConfig::m_Precision_A},
    {1048, kCapture, "PackEdit.c_CollectPictureTime", &smt::PackEditConfig::m_CollectPictureTime},
    {1049, kPickHeight, "PackEdit.c_NozzleHeight", &smt::PackEditConfig::m_NozzleHeight},
    {1050, kVacuum, "PackEdit.c_VacuumTestValue", &smt::PackEditConfig::m_VacuumTestValue},
    {1051, kEarly, "PackEdit.c_smtBeforeCloseVacuum", &smt::PackEditConfig::m_smtBeforeCloseVacuum},
};

void SelectText(QComboBox* combo, const std::string& text) { combo->setCurrentIndex(combo->findText(Q(text))); }
std::string Chosen(const QComboBox* combo) { return combo->currentText().toStdString(); }

} // namespace

// ---- editor ---------------------------------------------------------------------------

QLineEdit* CDialogPackEdit::AddEdit(int id) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString("edit%1").arg(id));
    m_edits[id] = e;
    return e;
}

QCheckBox* CDialogPackEdit::AddCheck(int id) {
    auto* b = new QCheckBox(this);
    b->setObjectName(QString("check%1").arg(id));
    m_checks[id] = b;
    return b;
}

CDialogPackEdit::CDialogPackEdit(smt::PackLibrary& library, QWidget* parent)
    : QDialog(parent), m_library(library) {
    setObjectName("CDialogPackEdit");
    auto label = [this](const char* key) {
        auto* l = new QLabel(this);
        m_captioned.emplace_back(key, l);
        return l;
    };
    auto unit = [this](const char* text) { return new QLabel(QString::fromUtf8(text), this); };
    auto combo = [this](int id) {
        auto* c = new QComboBox(this);
        c->setObjectName(QString("combo%1").arg(id));
        m_combos[id] = c;
        return c;
    };

    auto* part = new QGridLayout;
    const struct {
        int id;
        const char* key;
        const char* unit;
    } fields[] = {{kName, "PackEdit.c_PartPack", ""},          {kLength, "PackEdit.c_PackLength", "mm"},
                  {kWidth, "PackEdit.c_PackWidth", "mm"},      {kHeight, "PackEdit.c_PackThick", "mm"},
                  {kContrast, "PackEdit.c_VisualContrast", ""}, {kBright, "PackEdit.c_VisualBright", ""},
                  {kPickDelay, "PackEdit.c_PickDelay", "ms"},   {kPlaceDelay, "PackEdit.c_SmtDelay", "ms"}};
    int r = 0;
    for (const auto& f : fields) {
        part->addWidget(label(f.key), r, 0);
        part->addWidget(AddEdit(f.id), r, 1);
        if (*f.unit) part->addWidget(unit(f.unit), r, 2);
        ++r;
    }
    part->addWidget(label("PackEdit.c_SelectCamera"), r, 0);
    part->addWidget(combo(kCamera), r++, 1);
    part->addWidget(label("PackEdit.c_SelectNozzle"), r, 0);
    part->addWidget(combo(kNozzle), r, 1);
    QLineEdit* remark = AddEdit(kRemark);
    remark->setEnabled(false);
    part->addWidget(remark, r++, 2);
    connect(m_combos[kNozzle], &QComboBox::activated, this, [this] { OnNozzleChosen(); });
    QCheckBox* own = AddCheck(kOwnSpeed);
    m_captioned.emplace_back("PackEdit.c_SpecialSpeed", own);
    part->addWidget(own, r, 0);
    part->addWidget(combo(kSpeed), r++, 1);

    auto* visionBox = new QGroupBox(this);
    m_captioned.emplace_back("PackEdit.c_VisualAlignSet", visionBox);
    auto* vision = new QGridLayout(visionBox);
    m_visionGroup = new QButtonGroup(this);
    const char* visionKeys[3] = {"PackEdit.c_NoVisual", "PackEdit.c_VisualAlign", "PackEdit.c_RunAlign"};
    for (int i = 0; i < 3; ++i) {
        m_vision[i] = new QRadioButton(visionBox);
        m_vision[i]->setObjectName(QString("radio%1").arg(1110 + i));
        m_captioned.emplace_back(visionKeys[i], m_vision[i]);
        m_visionGroup->addButton(m_vision[i], i);
        vision->addWidget(m_vision[i], 0, i);
    }
    auto* featureLabel = new QLabel(visionBox);
    m_captioned.emplace_back("PackEdit.c_ImageFeature", featureLabel);
    vision->addWidget(featureLabel, 1, 0);
    QComboBox* feature = combo(kFeature);
    feature->setParent(visionBox);
    vision->addWidget(feature, 1, 1);
    auto* get = new QPushButton(visionBox);
    get->setObjectName("button1426");
    m_captioned.emplace_back("PackEdit.c_GetData", get);
    connect(get, &QPushButton::clicked, this, [this] { OnGetData(); });
    vision->addWidget(get, 1, 2);

    auto copyRows = [&](QGroupBox* box, int from, int to) {
        auto* g = new QGridLayout(box);
        for (int i = from; i < to; ++i) {
            const CopyBox& c = kCopies[i];
            QCheckBox* check = AddCheck(c.box);
            check->setParent(box);
            m_captioned.emplace_back(c.key, check);
            g->addWidget(check, i - from, 0);
            if (c.edit) {
                QLineEdit* e = AddEdit(c.edit);
                e->setParent(box);
                g->addWidget(e, i - from, 1);
            } else {
                QComboBox* modes = combo(kFeedMode);
                modes->setParent(box);
                g->addWidget(modes, i - from, 1);
                connect(modes, &QComboBox::activated, this, [this](int index) { OnFeedModeChosen(index); });
            }
            if (c.edit == kFeedCount) {
                m_feedCountUnit = new QLabel("mm", box);
                g->addWidget(m_feedCountUnit, i - from, 2);
            }
        }
    };
    auto* feedBox = new QGroupBox(this);
    m_captioned.emplace_back("PackEdit.c_FeedSet", feedBox);
    copyRows(feedBox, 0, 8);
    auto* vacuumBox = new QGroupBox(this);
    m_captioned.emplace_back("PackEdit.c_VacuumTestSet", vacuumBox);
    copyRows(vacuumBox, 8, 11);

    QCheckBox* sync = AddCheck(kSynchronise);
    m_captioned.emplace_back("PackEdit.c_SynchronousModify", sync);
    auto* ok = new QPushButton(this);
    ok->setObjectName("IDOK");
    m_captioned.emplace_back("PackEdit.c_IDOK", ok);
    auto* cancel = new QPushButton(this);
    cancel->setObjectName("IDCANCEL");
    m_captioned.emplace_back("PackEdit.c_IDCANCEL", cancel);
    connect(ok, &QPushButton::clicked, this, &CDialogPackEdit::accept);
    connect(cancel, &QPushButton::clicked, this, &CDialogPackEdit::reject);

    auto* left = new QVBoxLayout;
    left->addLayout(part);
    left->addWidget(visionBox);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(feedBox);
    right->addWidget(vacuumBox);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(sync);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* top = new QVBoxLayout(this);
    top->addLayout(columns);
    top->addLayout(buttons);
    ApplyLanguage();
}

void CDialogPackEdit::LoadLanguage(const std::string& startFolder, const std::string& language) {
    m_library.m_EditTexts.Load(startFolder, language);
    ApplyLanguage();
}

void CDialogPackEdit::ApplyLanguage() {
    const smt::DialogCaptions& t = m_library.m_EditTexts;
    setWindowTitle(Q(t.Text("PackEdit.c_PackEdit")));
    for (const auto& [key, w] : m_captioned) {
        if (auto* l = qobject_cast<QLabel*>(w)) l->setText(Q(t.Text(key)));
        else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(Q(t.Text(key)));
        else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(Q(t.Text(key)));
    }
}

void CDialogPackEdit::OnInitDialog() {
    smt::PackEditValues& v = m_library.m_Edit;
    const std::string folder = m_StartFolder ? m_StartFolder() : std::string(".");
    LoadLanguage(folder, smt::kLanguageNames[smt::g_LanguageIndex]);
    m_library.m_EditConfig = smt::LoadPackEditConfig(smt::ConfigFilePath(folder));
    smt::MendPackZeros(v);
    const int type = smt::g_MachineType;

    QComboBox* cameras = m_combos[kCamera];
    cameras->clear();
    const auto& port = smt::TheCameraPanelPort();
    for (const std::string& name : port.cameraNames ? port.cameraNames() : std::vector<std::string>{})
        cameras->addItem(Q(name));

    QComboBox* modes = m_combos[kFeedMode];
    modes->clear();
    m_feedModes = smt::PackFeedModeChoices(type);
    for (int k : m_feedModes) modes->addItem(Q(smt::FeedModeWord(k)));
    m_vision[1]->setEnabled(smt::VisionCentringOffered(type));

    QComboBox* feature = m_combos[kFeature];
    feature->clear();
    for (const std::string& name : smt::ImageFeatureNames(smt::g_LanguageIndex)) feature->addItem(Q(name));

    QComboBox* nozzles = m_combos[kNozzle];
    nozzles->clear();
    const bool autoChange = smt::StrategyPort::Read(smt::TheStrategyPort().m_AutoChangeNozzle) != 0;
    const bool nineteen = smt::StrategyPort::Read(smt::TheStrategyPort().m_19NozzleLibrary) != 0;
    for (const std::string& n : smt::PackNozzleChoices(type, autoChange, nineteen)) nozzles->addItem(Q(n));

    QComboBox* speeds = m_combos[kSpeed];
    speeds->clear();
    for (const std::string& name : smt::TheSpeedTemplates().TemplateNames()) speeds->addItem(Q(name));

    smt::ClearCopyBoxes(m_library.m_EditConfig);
    for (int id : {kFeedCount, kFeedTime, kLoosen, kTighten}) m_edits[id]->setEnabled(true);
    m_feedCountUnit->hide();
    ShowFields();
}

void CDialogPackEdit::ShowFields() {
    const smt::PackEditValues& v = m_library.m_Edit;
    auto set = [this](int id, const std::string& text) { m_edits[id]->setText(Q(text)); };
    set(kName, v.name);
    set(kLength, smt::FormatMm(v.length));
    set(kWidth, smt::FormatMm(v.width));
    set(kHeight, smt::FormatMm(v.height));
    const std::pair<int, int> ints[] = {{kContrast, v.contrast}, {kBright, v.brightness}, {kPickDelay, v.pickDelay},
                                        {kPlaceDelay, v.placeDelay}, {kFeedCount, v.feedCount}, {kFeedTime, v.feedTime},
                                        {kLoosen, v.loosen}, {kTighten, v.tighten}, {kXY, v.xyPrecision},
                                        {kAngle, v.anglePrecision}, {kCapture, v.captureTime}, {kVacuum, v.vacuum}};
    for (auto [id, value] : ints) set(id, smt::FormatInt(value));
    set(kPickHeight, smt::FormatMm(v.pickHeight));
    set(kEarly, smt::FormatMm(v.vacuumEarly));
    SelectText(m_combos[kCamera], v.camera);
    SelectText(m_combos[kFeedMode], v.feedMode);
    SelectText(m_combos[kSpeed], v.speedName);
    SelectText(m_combos[kNozzle], v.nozzle);
    m_combos[kFeature]->setCurrentIndex(smt::ImageFeaturePosition(v.imageFeature));
    m_vision[std::clamp(v.visionChoice, 0, 2)]->setChecked(true);
    m_checks[kOwnSpeed]->setChecked(v.ownSpeed);
    const smt::PackEditConfig& c = m_library.m_EditConfig;
    m_checks[kSynchronise]->setChecked(c.m_SynchronousModify != 0);
    for (const CopyBox& b : kCopies) m_checks[b.box]->setChecked(c.*b.flag != 0);
    m_edits[kRemark]->clear();
    OnNozzleChosen();
}

void CDialogPackEdit::OnFeedModeChosen(int index) {
    if (index < 0 || index >= static_cast<int>(m_feedModes.size())) return;
    const smt::FeedModeEffect e = smt::FeedModeEffectOf(m_feedModes[index]);
    auto enable = [](QWidget* w, smt::Enable how) {
        if (how != smt::Enable::Unchanged) w->setEnabled(how == smt::Enable::On);
    };
    enable(m_edits[kFeedCount], e.feedCount);
    enable(m_edits[kFeedTime], e.feedTime);
    enable(m_edits[kLoosen], e.loosenTighten);
    enable(m_edits[kTighten], e.loosenTighten);
    if (e.feedCountText) m_edits[kFeedCount]->setText(Q(*e.feedCountText));
    if (e.feedTimeText) m_edits[kFeedTime]->setText(Q(*e.feedTimeText));
    if (e.mmUnit != smt::Enable::Unchanged) m_feedCountUnit->setVisible(e.mmUnit == smt::Enable::On);
}

void CDialogPackEdit::OnNozzleChosen() {
    if (smt::StrategyPort::Read(smt::TheStrategyPort().m_AutoChangeNozzle) == 0) return;
    const std::string nozzle = Chosen(m_combos[kNozzle]);
    for (const smt::NozzleRow& row : smt::TheNozzleLibrary().Rows())
        if (row[0] == nozzle) {
            m_edits[kRemark]->setText(Q(row[8]));
            return;
        }
}

void CDialogPackEdit::OnGetData() {
    const auto& port = smt::TheCameraPanelPort();
    m_edits[kContrast]->setText(QString::number(port.contrast ? port.contrast() : 0));
    m_edits[kBright]->setText(QString::number(port.brightness ? port.brightness() : 0));
    const std::string size = smt::FrameSizeText(port.visualSize ? port.visualSize() : 0.0,
                                                smt::TheBasicSettings().m_AutoMagnify);
    m_edits[kLength]->setText(Q(size));
    m_edits[kWidth]->setText(Q(size));
}

bool CDialogPackEdit::ReadFields(smt::PackEditValues& v) {
    using smt::ui::TakeNumber;
    v.name = m_edits[kName]->text().toStdString();
    const std::pair<int, double*> decimals[] = {{kLength, &v.length}, {kWidth, &v.width}, {kHeight, &v.height},
                                                {kPickHeight, &v.pickHeight}, {kEarly, &v.vacuumEarly}};
    for (auto [id, value] : decimals)
        if (!TakeNumber(m_edits[id], *value)) return false;
    const std::pair<int, int*> ints[] = {{kContrast, &v.contrast}, {kBright, &v.brightness}, {kPickDelay, &v.pickDelay},
                                         {kPlaceDelay, &v.placeDelay}, {kFeedCount, &v.feedCount}, {kFeedTime, &v.feedTime},
                                         {kLoosen, &v.loosen}, {kTighten, &v.tighten}, {kXY, &v.xyPrecision},
                                         {kAngle, &v.anglePrecision}, {kCapture, &v.captureTime}, {kVacuum, &v.vacuum}};
    for (auto [id, value] : ints)
        if (!TakeNumber(m_edits[id], *value)) return false;
    if (auto bad = smt::PackFieldOutOfRange(v)) {
        plat::MessageBoxOk(smt::InputNumberBetweenText(bad->low, bad->high));  // in the operator's language
        return false;
    }
    v.camera = Chosen(m_combos[kCamera]);
    v.nozzle = Chosen(m_combos[kNozzle]);
    v.speedName = Chosen(m_combos[kSpeed]);
    v.imageFeature = Chosen(m_combos[kFeature]);
    v.feedMode = Chosen(m_combos[kFeedMode]);
    v.visionChoice = std::max(0, m_visionGroup->checkedId());
    v.ownSpeed = m_checks[kOwnSpeed]->isChecked();
    return true;
}

void CDialogPackEdit::accept() {
    smt::PackEditValues v = m_library.m_Edit;
    if (!ReadFields(v)) return;
    const std::string refusal = smt::PackEditRefusal(v, m_library.IsPackNameTaken(v.name));
    if (!refusal.empty()) {
        plat::MessageBoxOk(m_library.m_EditTexts.Text(refusal));
        if (refusal == "PackEdit.c_Message_01") {
            m_edits[kName]->setFocus();
            m_edits[kName]->selectAll();
        }
        return;
    }
    m_library.m_Edit = v;
    smt::PackEditConfig& c = m_library.m_EditConfig;
    c.m_SynchronousModify = m_checks[kSynchronise]->isChecked() ? 1 : 0;
    for (const CopyBox& b : kCopies) c.*b.flag = m_checks[b.box]->isChecked() ? 1 : 0;
    const std::string folder = m_StartFolder ? m_StartFolder() : std::string(".");
    smt::SavePackEditConfig(c, smt::ConfigFilePath(folder));
    QDialog::accept();
}

// ---- library window -----------------------------------------------------------------------

namespace {
const char* const kShortHeaders[smt::kPackCells] = {
    "元件封装", "长度", "宽度", "高度", "对比度", "亮度", "取料延时", "贴装延时", "相机", "视觉对中",
    "飞行对中", "吸嘴型号", "独立速度", "速度名称", "图像特征", "选择送料方式", "送料次数", "送料时间",
    "松皮长度", "紧皮长度", "X Y 校正精度", "角度校正精度", "采像时间", "吸嘴取料高度", "真空检测值",
    "提前关闭真空", "---", "---"};
const char* const kButtonKeys[5] = {"PackList.c_PackAdd", "PackList.c_PackEdit", "PackList.c_PackDelete",
                                    "PackList.c_IDOK", "PackList.c_IDCANCEL"};
} // namespace

CDialogPackList::CDialogPackList(smt::PackLibrary& library, QWidget* parent)
    : QDialog(parent), m_library(library) {
    setObjectName("CDialogPackList");
    setSizeGripEnabled(true);
    m_RunEditor = [](QDialog& d) { return d.exec(); };
    m_List = smt::ui::NewLibraryList(this, smt::kPackCells);
    QStringList headers;
    for (const char* h : kShortHeaders) headers << QString::fromUtf8(h);
    m_List->setHorizontalHeaderLabels(headers);
    connect(m_List, &QTableWidget::cellClicked, this, [this](int row, int) { SelectRow(row); });
    connect(m_List, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        SelectRow(row);
        OnModify();
    });
    connect(m_List->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) { OnHeaderClicked(c); });
    const char* names[5] = {"button1439", "button1002", "button1440", "IDOK", "IDCANCEL"};
    for (int i = 0; i < 5; ++i) {
        m_Buttons[i] = new QPushButton(this);
        m_Buttons[i]->setObjectName(names[i]);
    }
    connect(m_Buttons[0], &QPushButton::clicked, this, [this] { OnAdd(); });
    connect(m_Buttons[1], &QPushButton::clicked, this, [this] { OnModify(); });
    connect(m_Buttons[2], &QPushButton::clicked, this, [this] { OnDelete(); });
    connect(m_Buttons[3], &QPushButton::clicked, this, &CDialogPackList::accept);
    connect(m_Buttons[4], &QPushButton::clicked, this, &CDialogPackList::reject);
    m_Editor = new CDialogPackEdit(library, this);
    m_Editor->m_StartFolder = [this] { return m_StartFolder ? m_StartFolder() : std::string("."); };
    resize(1240, 560);
    ApplyLanguage();
}

void CDialogPackList::ApplyLanguage() {
    const smt::DialogCaptions& t = m_library.m_ListTexts;
    setWindowTitle(Q(t.Text("PackList.c_PackList")));
    for (int i = 0; i < 5; ++i) m_Buttons[i]->setText(Q(t.Text(kButtonKeys[i])));
    // Headers 0 .. 25 from the caption file; the spares keep "---".
    for (int c = 0; c < 26; ++c)
        m_List->horizontalHeaderItem(c)->setText(Q(t.Entries()[static_cast<std::size_t>(c) + 1].second));
    m_Editor->ApplyLanguage();
}

void CDialogPackList::OnInitDialog() {
    ApplyLanguage();
    FillList();
    // Each column as wide as its header; the last one takes what is left.
    QHeaderView* header = m_List->horizontalHeader();
    for (int c = 0; c < smt::kPackCells; ++c) m_List->setColumnWidth(c, header->sectionSizeHint(c));
    header->setStretchLastSection(true);
    smt::RefitColumns(*m_List);  // and as wide as the values
}

void CDialogPackList::FillList() {
    m_library.FillList();
    smt::ui::FillStripedList(m_List, m_library.Table().Rows());
}

void CDialogPackList::SelectRow(int row) { m_library.m_Remembered = row; }

void CDialogPackList::OnAdd() {
    m_library.m_Remembered = -1;
    m_Editor->OnInitDialog();
    if (m_RunEditor(*m_Editor) != QDialog::Accepted) return;
    m_library.Add();
    FillList();
}

void CDialogPackList::OnModify() {
    if (!m_library.LoadEditor(smt::g_MachineType)) return;
    m_Editor->OnInitDialog();
    if (m_RunEditor(*m_Editor) != QDialog::Accepted) return;
    const auto pushed = m_library.Modify();
    FillList();
    if (pushed && m_UpdateFeeders) m_UpdateFeeders(*pushed);
}

void CDialogPackList::OnDelete() {
    if (m_library.Delete()) FillList();
}

void CDialogPackList::OnHeaderClicked(int column) {
    m_library.Sort(column);
    FillList();
}

void CDialogPackList::accept() {
    m_library.JoinRows(smt::g_FigLists.pack);
    const std::string folder = m_StartFolder ? m_StartFolder() : std::string(".");
    smt::TableFileError error;
    if (!smt::SaveTableFile(folder, smt::TableFile::Pack, smt::g_FigLists, error)) {
        plat::MessageBoxOk(smt::TableFileSaveErrorText(error));
        return;
    }
    QDialog::accept();
}

void CDialogPackList::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (isMinimized()) return;
    const int w = width(), h = height();
    m_List->setGeometry(0, 0, w, std::max(0, h - 46));
    for (int i = 0; i < 5; ++i) m_Buttons[i]->setGeometry(w * (2 * i + 1) / 11, h - 36, w / 11, 26);
}
