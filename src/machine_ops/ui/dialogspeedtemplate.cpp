#include "machine_ops/ui/dialogspeedtemplate.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "machine_ops/ui/dialogspeedpages.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QSpinBox* MakeSpin(QWidget* parent, int low, int high) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(low, high);
    spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
    return spin;
}

constexpr int kFirstJogSetting = 9;  // m_XY_RunFast in the settings' key order
constexpr int kJogFields = 20;

// "m_XY_RunFast" -> "c_XY_RunFast"
std::string JogCaptionName(int i) { return std::string("c_") + (smt::SpeedSettingKey(kFirstJogSetting + i) + 2); }

} // namespace

CDialogSpeedTemplate::CDialogSpeedTemplate(smt::SpeedTemplates& live, smt::FigLists& lists,
                                           const std::string& startFolder, int language,
                                           const std::string& languageName, int page, QWidget* parent)
    : QDialog(parent), m_editor(std::make_unique<smt::SpeedTemplateEditor>(live, lists, startFolder, language)) {
    if (page < kSpeedSetPage || page > kLowPage) page = kSpeedSetPage;
    m_editor->LoadLanguage(languageName);
    m_editor->Open(page);
    BuildControls();
    for (auto* classPage : m_classPages) classPage->LoadSpeedListLanguage(startFolder, languageName);
    m_speedSet->LoadLanguage(startFolder, languageName);
    ApplyLanguage();
    m_speedSet->FillSpeedSetList();
    m_tab->setCurrentIndex(page);
    ShowFields();
    Refresh();
}

CDialogSpeedTemplate::~CDialogSpeedTemplate() = default;

void CDialogSpeedTemplate::BuildControls() {
    auto* outer = new QHBoxLayout(this);

    // Left: the pages, the one-key scale with the options, the buttons.
    auto* left = new QVBoxLayout;
    m_tab = new QTabWidget(this);
    m_speedSet = new CDialogSpeedSet(*m_editor, m_tab);
    m_classPages = {new CDialogSpeedHigh(m_tab), new CDialogSpeedMedium(m_tab), new CDialogSpeedLow(m_tab)};
    m_tab->addTab(m_speedSet, QString());
    for (auto* classPage : m_classPages) {
        m_tab->addTab(classPage, QString());
        connect(classPage, &CDialogSpeedClassPage::TemplateClicked, this, &CDialogSpeedTemplate::OnClickTemplate);
    }
    m_tab->setMinimumSize(560, 300);
    left->addWidget(m_tab, 1);

    m_scaleGroup = new QGroupBox(this);
    auto* scale = new QGridLayout(m_scaleGroup);
    m_mediumZoomLabel = new QLabel(m_scaleGroup);
    m_mediumZoom = MakeSpin(m_scaleGroup, 1, 99);
    m_mediumModify = new QPushButton(m_scaleGroup);
    m_lowZoomLabel = new QLabel(m_scaleGroup);
    m_lowZoom = MakeSpin(m_scaleGroup, 1, 99);
    m_lowModify = new QPushButton(m_scaleGroup);
    scale->addWidget(m_mediumZoomLabel, 0, 0);
    scale->addWidget(m_mediumZoom, 0, 1);
    scale->addWidget(new QLabel("%", m_scaleGroup), 0, 2);
    scale->addWidget(m_mediumModify, 0, 3);
    scale->addWidget(m_lowZoomLabel, 1, 0);
    scale->addWidget(m_lowZoom, 1, 1);
    scale->addWidget(new QLabel("%", m_scaleGroup), 1, 2);
    scale->addWidget(m_lowModify, 1, 3);
    m_modifyReset = new QCheckBox(m_scaleGroup);
    m_changeReset = new QCheckBox(m_scaleGroup);
    scale->addWidget(m_modifyReset, 0, 4, 1, 3);
    scale->addWidget(m_changeReset, 1, 4, 1, 3);
    m_optimizeFar = new QCheckBox(m_scaleGroup);
    m_accel = MakeSpin(m_scaleGroup, 1, 100);
    m_speedValve = new QLabel(m_scaleGroup);
    m_speedValve->hide();
    scale->addWidget(m_optimizeFar, 2, 0, 1, 3);
    scale->addWidget(m_accel, 2, 3);
    scale->addWidget(new QLabel("%", m_scaleGroup), 2, 4);
    m_maxLimit = new QCheckBox(m_scaleGroup);
    m_maxLimitValue = MakeSpin(m_scaleGroup, 10, 100);
    scale->addWidget(m_maxLimit, 3, 0, 1, 2);
    scale->addWidget(new QLabel("10<", m_scaleGroup), 3, 2);
    scale->addWidget(m_maxLimitValue, 3, 3);
    scale->addWidget(new QLabel("<100", m_scaleGroup), 3, 4);
    left->addWidget(m_scaleGroup);

    auto* buttons = new QHBoxLayout;
    m_add = new QPushButton(this);
    m_editButton = new QPushButton(this);
    m_delete = new QPushButton(this);
    m_ok = new QPushButton(this);
    m_cancel = new QPushButton(this);
    for (auto* b : {m_add, m_editButton, m_delete, m_ok, m_cancel}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    left->addLayout(buttons);
    outer->addLayout(left, 1);

    // Right: the edit area with the template fields and the jog steps; hidden
    // while the dialog is collapsed.
    m_editArea = new QWidget(this);
    auto* right = new QHBoxLayout(m_editArea);
    right->setContentsMargins(0, 0, 0, 0);
    m_customGroup = new QGroupBox(m_editArea);
    auto* grid = new QGridLayout(m_customGroup);
    m_nameLabel = new QLabel(m_customGroup);
    m_name = new QLineEdit(m_customGroup);
    m_name->setMaxLength(smt::kSpeedNameMaxChars);
    grid->addWidget(m_nameLabel, 0, 0);
    grid->addWidget(m_name, 0, 1, 1, 6);
    for (int cls = 0; cls < smt::kSpeedClassCount; ++cls) {
        m_classLabels[cls] = new QLabel(m_customGroup);
        m_classLabels[cls]->setAlignment(Qt::AlignCenter);
        grid->addWidget(m_classLabels[cls], 1, 1 + 2 * cls, 1, 2);
        for (int r = 0; r < 2; ++r) {
            m_startRunLabels[2 * cls + r] = new QLabel(m_customGroup);
            grid->addWidget(m_startRunLabels[2 * cls + r], 2, 1 + 2 * cls + r);
        }
    }
    for (int d = 0; d < smt::kSpeedDriveCount; ++d) {
        m_driveLabels[d] = new QLabel(m_customGroup);
        grid->addWidget(m_driveLabels[d], 3 + d, 0);
        for (int cls = 0; cls < smt::kSpeedClassCount; ++cls) {
            for (int r = 0; r < 2; ++r) {
                QSpinBox* spin = MakeSpin(m_customGroup, 1, 255);
                m_edit[cls * 32 + d * 2 + r] = spin;
                grid->addWidget(spin, 3 + d, 1 + 2 * cls + r);
            }
        }
    }
    m_note = new QLabel(m_customGroup);
    m_note->setWordWrap(true);
    grid->addWidget(m_note, 3 + smt::kSpeedDriveCount, 0, 1, 7);
    right->addWidget(m_customGroup);

    m_jogGroup = new QGroupBox(m_editArea);
    auto* jog = new QGridLayout(m_jogGroup);
    for (int i = 0; i < kJogFields; ++i) {
        m_jogLabels[i] = new QLabel(m_jogGroup);
        m_jog[i] = MakeSpin(m_jogGroup, 1, i == 8 ? 100000 : 10000);  // m_A_RunFast spans a revolution
        jog->addWidget(m_jogLabels[i], i, 0);
        jog->addWidget(m_jog[i], i, 1);
    }
    jog->setRowStretch(kJogFields, 1);
    right->addWidget(m_jogGroup);
    outer->addWidget(m_editArea);

    connect(m_tab, &QTabWidget::currentChanged, this, &CDialogSpeedTemplate::OnSelchangeTab);
    connect(m_add, &QPushButton::clicked, this, &CDialogSpeedTemplate::OnAddSpeed);
    connect(m_editButton, &QPushButton::clicked, this, &CDialogSpeedTemplate::OnEditSpeed);
    connect(m_delete, &QPushButton::clicked, this, &CDialogSpeedTemplate::OnDeleteSpeed);
    connect(m_mediumModify, &QPushButton::clicked, this, &CDialogSpeedTemplate::OnMediumSpeedModify);
    connect(m_lowModify, &QPushButton::clicked, this, &CDialogSpeedTemplate::OnLowSpeedModify);
    connect(m_modifyReset, &QCheckBox::clicked, this, &CDialogSpeedTemplate::OnModifyResetSpeed);
    connect(m_ok, &QPushButton::clicked, this, &CDialogSpeedTemplate::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CDialogSpeedTemplate::reject);
    m_add->installEventFilter(this);
}

void CDialogSpeedTemplate::ApplyLanguage() {
    const smt::DialogCaptions& c = m_editor->Captions();
    auto text = [&c](const std::string& name) { return Q(c.Text("SpeedTemplate." + name)); };
    auto t = [&text](const char* name) { return text(name); };
    setWindowTitle(t("c_SpeedTemplate"));
    m_add->setText(t("c_AddSpeed"));
    m_editButton->setText(t("c_EditSpeed"));
    m_delete->setText(t("c_DeleteSpeed"));
    m_ok->setText(t("c_IDOK"));
    m_cancel->setText(t("c_IDCANCEL"));
    m_scaleGroup->setTitle(t("c_FastModifySpeed"));
    m_mediumZoomLabel->setText(t("c_MediumSpeedZoom"));
    m_mediumModify->setText(t("c_MediumSpeedModify"));
    m_lowZoomLabel->setText(t("c_LowSpeedZoom"));
    m_lowModify->setText(t("c_LowSpeedModify"));
    m_modifyReset->setText(t("c_ModifyResetSpeed"));
    m_changeReset->setText(t("c_ChangeResetSpeed"));
    m_optimizeFar->setText(t("c_OptimizeFarSpeed"));
    m_speedValve->setText(t("c_SpeedValve"));
    m_maxLimit->setText(t("c_MaxSpeedLimit"));
    m_customGroup->setTitle(t("c_CustomSpeedEdit"));
    m_nameLabel->setText(t("c_SpeedName"));
    const char* classKeys[] = {"c_HighSpeedTemplate", "c_MediumSpeedTemplate", "c_LowSpeedTemplate"};
    for (int cls = 0; cls < smt::kSpeedClassCount; ++cls) {
        m_classLabels[cls]->setText(t(classKeys[cls]));
        m_startRunLabels[2 * cls]->setText(t("c_Start"));
        m_startRunLabels[2 * cls + 1]->setText(t("c_Normal"));
    }
    for (int d = 0; d < smt::kSpeedDriveCount; ++d) {
        m_driveLabels[d]->setText(text(std::string("c_Motor_") + smt::SpeedDriveKey(d)));
    }
    m_note->setText(t("c_Note"));
    m_jogGroup->setTitle(t("c_ManualSetting"));
    for (int i = 0; i < kJogFields; ++i) m_jogLabels[i]->setText(text(JogCaptionName(i)));
    const char* tabKeys[] = {"c_SpeedSet", "c_SpeedHigh", "c_SpeedMedium", "c_SpeedLow"};
    for (int i = 0; i < 4; ++i) m_tab->setTabText(i, t(tabKeys[i]));
}

void CDialogSpeedTemplate::ReadFields() {
    smt::SpeedTemplateFields& f = m_editor->Fields();
    smt::SpeedTemplateSettings& s = f.settings;
    s.m_MediumSpeedZoom = m_mediumZoom->value();
    s.m_LowSpeedZoom = m_lowZoom->value();
    s.m_bModifyResetSpeed = m_modifyReset->isChecked() ? 1 : 0;
    s.m_ChangeResetSpeed = m_changeReset->isChecked() ? 1 : 0;
    s.m_bOptimizeFarSpeed = m_optimizeFar->isChecked() ? 1 : 0;
    s.m_AccelSpeed = m_accel->value();
    s.m_bMaxSpeedLimit = m_maxLimit->isChecked() ? 1 : 0;
    s.m_MaxSpeedLimitValue = m_maxLimitValue->value();
    for (int i = 0; i < kJogFields; ++i) smt::SpeedSettingField(s, kFirstJogSetting + i) = m_jog[i]->value();
    f.m_SpeedName = m_name->text().toStdString();
    for (int i = 0; i < smt::kSpeedEditValues; ++i) f.m_TemplateEdit[i] = m_edit[i]->value();
}

void CDialogSpeedTemplate::ShowFields() {
    const smt::SpeedTemplateFields& f = m_editor->Fields();
    const smt::SpeedTemplateSettings& s = f.settings;
    m_mediumZoom->setValue(s.m_MediumSpeedZoom);
    m_lowZoom->setValue(s.m_LowSpeedZoom);
    m_modifyReset->setChecked(s.m_bModifyResetSpeed != 0);
    m_changeReset->setChecked(s.m_ChangeResetSpeed != 0);
    m_optimizeFar->setChecked(s.m_bOptimizeFarSpeed != 0);
    m_accel->setValue(s.m_AccelSpeed);
    m_maxLimit->setChecked(s.m_bMaxSpeedLimit != 0);
    m_maxLimitValue->setValue(s.m_MaxSpeedLimitValue);
    for (int i = 0; i < kJogFields; ++i) m_jog[i]->setValue(smt::SpeedSettingField(s, kFirstJogSetting + i));
    m_name->setText(Q(f.m_SpeedName));
    for (int i = 0; i < smt::kSpeedEditValues; ++i) m_edit[i]->setValue(f.m_TemplateEdit[i]);
}

// The lists, the expansion and the enabled fields after an operation.
void CDialogSpeedTemplate::Refresh() {
    for (auto* classPage : m_classPages) classPage->Fill(*m_editor);
    m_speedSet->FillSpeedSetList();
    m_changeReset->setEnabled(m_editor->ChangeResetSpeedEnabled());
    for (int i = 0; i < smt::kSpeedEditValues; ++i) m_edit[i]->setEnabled(m_editor->EditEnabled(i / 32));
    if (m_editArea->isHidden() == m_editor->Expanded()) {
        m_editArea->setVisible(m_editor->Expanded());
        adjustSize();
    }
}

bool CDialogSpeedTemplate::EditAreaShown() const { return !m_editArea->isHidden(); }

void CDialogSpeedTemplate::OnSelchangeTab(int index) { m_editor->SelectPage(index); }

void CDialogSpeedTemplate::OnClickTemplate(int cls, int row) {
    ReadFields();
    if (!m_editor->PickTemplate(cls, row)) return;
    ShowFields();
    Refresh();
}

void CDialogSpeedTemplate::OnAddSpeed() {
    ReadFields();
    if (m_editor->AddSpeed()) Refresh();
}

void CDialogSpeedTemplate::OnEditSpeed() {
    ReadFields();
    if (m_editor->EditSpeed()) Refresh();
}

void CDialogSpeedTemplate::OnDeleteSpeed() {
    ReadFields();
    if (m_editor->DeleteSpeed()) Refresh();
}

void CDialogSpeedTemplate::OnMediumSpeedModify() {
    ReadFields();
    if (m_editor->ScaleClass(1)) Refresh();
}

void CDialogSpeedTemplate::OnLowSpeedModify() {
    ReadFields();
    if (m_editor->ScaleClass(2)) Refresh();
}

void CDialogSpeedTemplate::OnModifyResetSpeed() {
    m_editor->SetModifyResetSpeed(m_modifyReset->isChecked());
    m_changeReset->setEnabled(m_editor->ChangeResetSpeedEnabled());
}

void CDialogSpeedTemplate::accept() {
    // A name still being chosen in the speed set counts.
    m_speedSet->OnKillFocusCombo();
    ReadFields();
    if (m_editor->Confirm() == smt::ConfirmResult::Closed) QDialog::accept();
}

bool CDialogSpeedTemplate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_add && event->type() == QEvent::Enter && !m_editor->Expanded()) {
        m_editor->PointerEntersAdd();
        Refresh();
    }
    return QDialog::eventFilter(watched, event);
}
