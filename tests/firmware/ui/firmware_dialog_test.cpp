#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "../firmware_fixture.h"
#include "firmware/ui/dialog_firmware_update.h"
#include "platform/profile.h"
#include "platform/threads.h"
#include "platform/uipost.h"

using namespace smt;
using namespace smt::test;

namespace {

template <typename T>
T* Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

class FirmwareDialogTest : public FirmwareSimTest {
protected:
    void SetUp() override {
        FirmwareSimTest::SetUp();
        TheFirmwareUpdateCaptions().Reset();
        dialog = std::make_unique<CDialogFirmwareUpdate>(values, start.Path());
        FirmwareJob proto = Job();  // the simulator's reconnect and axis-limit stand-ins
        dialog->SetLinkPort(proto.port);
        dialog->SetTiming(proto.timing);
        dialog->SetMachineLink(&link);
    }
    void TearDown() override {
        plat::JoinAllWorkers(std::chrono::seconds(30));
        plat::RunPostedTasks();
        dialog.reset();
        TheFirmwareUpdateCaptions().Reset();
        FirmwareSimTest::TearDown();
    }
    void Finish() {
        ASSERT_TRUE(plat::JoinAllWorkers(std::chrono::seconds(30)));
        plat::RunPostedTasks();
    }
    FirmwareUpdateValues values;
    std::unique_ptr<CDialogFirmwareUpdate> dialog;
};

TEST_F(FirmwareDialogTest, CaptionsFromTheLanguageFileWithBuiltInsForMissingKeys) {
    for (const auto& [key, text] : {std::pair{"FirmwareUpdate.c_ReadConfig", "Read configuration"},
                                    std::pair{"FirmwareUpdate.c_FeedSelect", "Feeder boards"}})
        plat::WritePrivateProfileString("FirmwareUpdateConfig", key, text, start.File("English.ini"));
    dialog->LoadLanguageTexts(start.Path(), "English");
    EXPECT_EQ(Child<QPushButton>(*dialog, "IDC_READ_CONFIG")->text(), "Read configuration");
    EXPECT_EQ(Child<QGroupBox>(*dialog, "IDC_FEED_SELECT")->title(), "Feeder boards");
    EXPECT_EQ(Child<QPushButton>(*dialog, "IDC_WRITE_LIMIT")->text(), "写入位置限制");
}

TEST_F(FirmwareDialogTest, ReadButtonShowsTheBlockThroughTheUiThread) {
    SeedConfig(1, 0, ConfigPattern(7));
    Fresh();
    Child<QPushButton>(*dialog, "IDC_READ_CONFIG")->click();
    Finish();
    EXPECT_EQ(values.m_UpdateMode, kFirmwareReadConfig);
    EXPECT_EQ(dialog->StatusLine()->text(), "读出配置信息完成");
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
    EXPECT_TRUE(dialog->ConfigDisplay()->text().startsWith("升级标记：0\r\n版本号：V3."));
    EXPECT_EQ(dialog->Progress()->value(), 100);
}

TEST_F(FirmwareDialogTest, UpdateButtonTakesTheFeederBoardChoice) {
    Child<QRadioButton>(*dialog, "Feed96")->click();
    boxes.Push(plat::MsgAnswer::No);  // no image files: the update ends at once
    Child<QPushButton>(*dialog, "IDC_UPDATE")->click();
    Finish();
    EXPECT_EQ(values.m_FeedBoardSelect, 2);
    EXPECT_EQ(values.m_UpdateMode, kFirmwareUpdate);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"MainApplication.bin File does not exist"});
    EXPECT_TRUE(Frames().empty());
    EXPECT_FALSE(g_Running);
}

} // namespace
