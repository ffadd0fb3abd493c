// The conveyor panel: fields in and out, captions, the refusals of its buttons
// and of closing while an operation runs, the width buttons' range rule. The
// cover-tape page: its captions (the test keys with a capital C), fields in and
// out, a test button reaching the start and OK with a bad field.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include "link/link_state.h"
#include "platform/profile.h"
#include "platform/uipost.h"
#include "machine_ops/ui/dialog_auto_transport.h"
#include "machine_ops/ui/dialog_set_cover.h"
#include "test_support.h"

using namespace smt;
using smt::test::ScriptedResponder;
using smt::test::TempDir;
using Strings = std::vector<std::string>;

namespace {

class ConveyorDialog : public ::testing::Test {
protected:
    // Speeds 10/20, zone 1 at 12.5 mm, automatic input on, an empty width range at 50 mm.
    ConveyorDialog() {
        transport.SetConfig({10, 20, 1, 100, 0, 12.5, 0, 0, 0, 0, 0, 1, 0, 50, 50, 50});
        dialog.ShowFields();
        dialog.m_StartFolder = dir.Path();
        dialog.FillPanelHooks();  // as the program's wiring does
    }
    ~ConveyorDialog() override {
        g_Running = g_Connected = false;
        TheAutoTransportCaptions().Reset();
    }
    QLineEdit* Edit(const char* name) { return dialog.findChild<QLineEdit*>(name); }
    void Click(int id) { static_cast<QAbstractButton*>(dialog.Control(id))->click(); }

    TempDir dir;
    ScriptedResponder boxes;
    AutoTransport transport;
    CDialogAutoTransport dialog{transport};
};

}  // namespace

TEST_F(ConveyorDialog, ShowsMembersTakesFieldsAndSavesOnOk) {
    dialog.OnInitDialog();
    EXPECT_EQ(Edit("m_ConveyorStartSpeed")->text(), "10");
    EXPECT_EQ(Edit("m_AutoTransport_1_1")->text(), "12.5000");
    EXPECT_TRUE(static_cast<QCheckBox*>(dialog.Control(at::EnableAuto))->isChecked());
    // Automatic input on and the machine idle: the test buttons work.
    EXPECT_TRUE(dialog.Control(at::WholeTest)->isEnabled());
    EXPECT_FALSE(Edit("m_ResetWidth")->isEnabled());

    Edit("m_AutoTransport_3_2")->setText("7.25");
    Edit("m_WaitTimeOut")->setText("4000");
    dialog.accept();
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(transport.Config().m_AutoTransport_3_2, 7.25);
    EXPECT_EQ(plat::GetPrivateProfileString("AutoTransportConfig", "m_WaitTimeOut", "", 512, dir.File("config.ini")),
              "4000");
}

TEST_F(ConveyorDialog, ButtonsRefuseWithoutALinkABadFieldOrAnEmptyWidthRange) {
    Click(at::BoardInJog);
    EXPECT_EQ(boxes.Texts(), Strings{"Machine is not connection !"});
    EXPECT_EQ(transport.m_BeltPulse_1, 1);  // the jog step was set before the refusal

    boxes.Clear();
    g_Connected = true;
    Edit("m_ConveyorNormalSpeed")->setText("abc");
    Click(at::BoardInTest);
    EXPECT_EQ(boxes.Texts(), Strings{"Please enter an integer."});
    EXPECT_EQ(transport.Config().m_ConveyorNormalSpeed, 20);
    EXPECT_FALSE(g_Running.load());

    Edit("m_ConveyorNormalSpeed")->setText("20");
    Click(at::ArriveSetWidth);
    EXPECT_EQ(boxes.Texts().back(), "Out of range !");
    // The arrows refuse silently.
    dialog.m_SRunSteps = [] { return 100; };
    Click(at::WidthUp);
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(Edit("m_SetWidth")->text(), "50.0000");
}

TEST_F(ConveyorDialog, ClosingWaitsForTheOperation) {
    g_Running = true;
    dialog.show();
    dialog.reject();
    dialog.accept();
    EXPECT_EQ(boxes.Texts(), Strings(2, "测试正在进行中，不可以关闭对话框"));
    EXPECT_TRUE(dialog.isVisible());
    // OK saved all the same.
    EXPECT_NE(test::ReadBytes(dir.File("config.ini")).find("[AutoTransportConfig]"), std::string::npos);
    g_Running = false;
    dialog.reject();
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ConveyorDialog, CaptionsStepTextAndHiddenEdits) {
    test::WriteBytes(dir.File("English.ini"),
                     "[AutoTransportConfig]\r\nAutoTransport.c_AutoTransport_2=Transport test\r\nAutoTransport.c_AutoTransport_Walk=--running\r\n");
    plat::FlushProfileCache();
    dialog.LoadLanguageTexts(dir.Path(), "English");
    EXPECT_EQ(static_cast<QPushButton*>(dialog.Control(at::TransportTest))->text().toStdString(), "Transport test");
    auto* step = static_cast<QLabel*>(dialog.Control(at::StepText));
    dialog.ShowStep(2);
    EXPECT_EQ(step->text().toStdString(), "Transport test--running");
    dialog.ShowStep(5);  // a caption the file does not hold: built in
    EXPECT_EQ(step->text().toStdString(), "出板测试--已经完成");

    // A double click on the width labels opens their edits.
    QLabel* label = dialog.findChild<QLabel*>("label_m_MinRange");
    ASSERT_NE(label, nullptr);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(label, &dbl);
    EXPECT_TRUE(Edit("m_MinRange")->isEnabled());
    EXPECT_TRUE(Edit("m_MaxRange")->isEnabled());
    EXPECT_FALSE(Edit("m_ResetWidth")->isEnabled());
}

TEST_F(ConveyorDialog, AutomaticInputBoxSwitchesTheTestButtonsAndTheClampButton) {
    bool clamp = true;
    dialog.m_EnablePcbClamp = [&](bool on) { clamp = on; };
    Click(at::EnableAuto);  // was set: being cleared
    EXPECT_FALSE(clamp);
    EXPECT_FALSE(dialog.Control(at::BoardInJog)->isEnabled());
    Click(at::EnableAuto);
    EXPECT_TRUE(clamp);
    EXPECT_TRUE(dialog.Control(at::BoardInJog)->isEnabled());
}

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
    EXPECT_EQ(plat::GetPrivateProfileString("SetCoverConfig", "m_StepPulse", "", 512, dir.File("config.ini")), "25");

    dialog.Edit(1009)->setText("0");
    dialog.accept();
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Please enter an integer between 1 and 100000."}));
    EXPECT_EQ(tape.Config().m_CoverDelay, 1);
}
