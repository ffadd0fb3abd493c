// The cover-tape page: its captions (the test keys with a capital C), fields in
// and out, a test button reaching the start and OK with a bad field.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "link/link_state.h"
#include "platform/profile.h"
#include "settings/ui/dialog_set_cover.h"
#include "test_support.h"

using namespace smt;
using smt::test::ScriptedResponder;
using smt::test::TempDir;

namespace {

class CoverDialog : public ::testing::Test {
protected:
    ~CoverDialog() override {
        g_Connected = false;
        g_Homed = false;
        TheCoverCaptions().Reset();
    }
    TempDir dir;
    ScriptedResponder boxes;
    CoverTape tape;
    CDialogSetCover dialog{tape};
};

}  // namespace

TEST_F(CoverDialog, OpeningLoadsTheSectionAndCaptions) {
    test::WriteBytes(dir.File("config.ini"), "[SetCoverConfig]\r\nm_StepPulse=40\r\nm_CoverCount=6\r\n");
    test::WriteBytes(dir.File("German.ini"),
                     "[SetCoverConfig]\r\nSetCover.c_StepPulse=Schrittpulse\r\nSetCover.C_LockTest=Sperrtest\r\n");
    plat::FlushProfileCache();
    dialog.OnInitDialog(dir.Path(), "German");
    EXPECT_EQ(dialog.Edit(1005)->text(), "40");
    EXPECT_EQ(dialog.Edit(1007)->text(), "1");
    EXPECT_EQ(dialog.Edit(1011)->text(), "6");
    EXPECT_EQ(dialog.findChild<QLabel*>("label_m_StepPulse")->text().toStdString(), "Schrittpulse");
    EXPECT_EQ(dialog.TestButton(CoverTest::Lock)->text().toStdString(), "Sperrtest");
    EXPECT_EQ(dialog.TestButton(CoverTest::Step)->text().toStdString(), "步进测试");
    EXPECT_FALSE(dialog.TestButton(CoverTest::Lock)->isEnabled());
}

// The guards and ranges are the start's own (CoverTests); the button hands it the fields.
TEST_F(CoverDialog, TestButtonPassesTheFieldsToTheStart) {
    g_Connected = g_Homed = true;
    dialog.Edit(1007)->setText("0");
    dialog.TestButton(CoverTest::BlankSeal)->click();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Please enter an integer between 1 and 100."});
    EXPECT_FALSE(g_Running.load());
}

TEST_F(CoverDialog, OkSavesAndNamesABadField) {
    dialog.m_StartFolder = dir.Path();
    dialog.Edit(1005)->setText("25");
    dialog.accept();
    EXPECT_EQ(tape.Config().m_StepPulse, 25);
    plat::FlushProfileCache();
    SetCoverConfig back;
    LoadSetCoverConfig(back, dir.File("config.ini"));
    EXPECT_EQ(back, tape.Config());

    dialog.Edit(1009)->setText("0");
    dialog.accept();
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Please enter an integer between 1 and 100000."}));
    EXPECT_EQ(tape.Config().m_CoverDelay, 1);
}
