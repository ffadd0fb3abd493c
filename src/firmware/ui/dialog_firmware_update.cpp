#include "firmware/ui/dialog_firmware_update.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/uipost.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"

namespace {

QString Text(const char* name) { return QString::fromStdString(smt::FwText(smt::TheFirmwareUpdateCaptions(), name)); }

} // namespace

CDialogFirmwareUpdate::CDialogFirmwareUpdate(smt::FirmwareUpdateValues& values, std::string startFolder,
                                             QWidget* parent)
    : QDialog(parent), m_values(values), m_startFolder(std::move(startFolder)) {
    setObjectName("CDialogFirmwareUpdate");
    auto* root = new QVBoxLayout(this);

    m_feedGroup = new QGroupBox(this);
    m_feedGroup->setObjectName("IDC_FEED_SELECT");
    auto* feedRow = new QHBoxLayout(m_feedGroup);
    m_feedSelect = new QButtonGroup(this);
    const std::array<const char*, 4> feeds = {"Feed32", "Feed64", "Feed96", "Feed128"};
    for (int i = 0; i < 4; ++i) {
        auto* radio = new QRadioButton(feeds[i], m_feedGroup);
        radio->setObjectName(feeds[i]);
        m_feedSelect->addButton(radio, i);
        feedRow->addWidget(radio);
    }
    root->addWidget(m_feedGroup);

    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* name, void (CDialogFirmwareUpdate::*slot)()) {
        auto* b = new QPushButton(this);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    m_update = button("IDC_UPDATE", &CDialogFirmwareUpdate::OnUpdate);
    m_readConfig = button("IDC_READ_CONFIG", &CDialogFirmwareUpdate::OnReadConfig);
    m_writeLimit = button("IDC_WRITE_LIMIT", &CDialogFirmwareUpdate::OnWriteLimit);
    root->addLayout(buttons);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName("IDC_PROGRESS");
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    root->addWidget(m_progress);

    m_statusLine = new QLabel(this);
    m_statusLine->setObjectName("IDC_UPDATE_INFORMATION");
    root->addWidget(m_statusLine);
    m_configDisplay = new QLabel(this);
    m_configDisplay->setObjectName("IDC_CONFIG_INFORMATION");
    m_configDisplay->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_configDisplay->setMinimumHeight(120);
    m_configDisplay->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    root->addWidget(m_configDisplay, 1);

    ApplyLanguage();
}

void CDialogFirmwareUpdate::LoadLanguageTexts(const std::string& startFolder, const std::string& languageName) {
    smt::TheFirmwareUpdateCaptions().Load(startFolder, languageName);
    ApplyLanguage();
}

void CDialogFirmwareUpdate::ApplyLanguage() {
    setWindowTitle(Text("c_FirmwareUpdate"));
    m_update->setText(Text("c_Upadte"));
    m_readConfig->setText(Text("c_ReadConfig"));
    m_writeLimit->setText(Text("c_WriteLimit"));
    m_statusLine->setText(Text("c_UpdateInformation"));
    m_configDisplay->setText(Text("c_ConfigInformation"));
    m_feedGroup->setTitle(Text("c_FeedSelect"));
    if (auto* b = m_feedSelect->button(m_values.m_FeedBoardSelect)) b->setChecked(true);
}

smt::FirmwareJob CDialogFirmwareUpdate::MakeJob() {
    smt::FirmwareJob job;
    job.link = m_link;
    job.startFolder = m_startFolder;
    job.texts = smt::TheFirmwareUpdateCaptions();
    job.feedBoardSelect = m_values.m_FeedBoardSelect;
    job.xLimitMm = smt::TheBasicSettings().m_X_Limit;
    job.yLimitMm = smt::TheBasicSettings().m_Y_Limit;
    job.xPulse = smt::ThePulseFactors().m_X_Pulse;
    job.yPulse = smt::ThePulseFactors().m_Y_Pulse;
    job.port = m_port;
    job.timing = m_timing;
    // The worker only posts; the dialog lives with the view, and a closed dialog
    // still takes the lines so it shows them when opened again.
    const QPointer<CDialogFirmwareUpdate> self(this);
    job.view.setStatus = [self](const std::string& text) {
        plat::PostToUi([self, text] {
            if (self) self->m_statusLine->setText(QString::fromStdString(text));
        });
    };
    job.view.setProgress = [self](int percent) {
        plat::PostToUi([self, percent] {
            if (self) self->m_progress->setValue(percent);
        });
    };
    job.view.showConfig = [self](const std::string& text) {
        plat::PostToUi([self, text] {
            if (self) self->m_configDisplay->setText(QString::fromStdString(text));
        });
    };
    return job;
}

void CDialogFirmwareUpdate::Start(int mode) { smt::StartFirmwareWork(m_values, mode, MakeJob()); }

void CDialogFirmwareUpdate::OnUpdate() {
    const int feed = m_feedSelect->checkedId();
    if (feed >= 0) m_values.m_FeedBoardSelect = feed;
    Start(smt::kFirmwareUpdate);
}

void CDialogFirmwareUpdate::OnReadConfig() { Start(smt::kFirmwareReadConfig); }

void CDialogFirmwareUpdate::OnWriteLimit() { Start(smt::kFirmwareWriteLimits); }
