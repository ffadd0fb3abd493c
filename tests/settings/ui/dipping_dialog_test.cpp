#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/globals.h"
#include "link/link_state.h"
#include "platform/profile.h"
#include "platform/uipost.h"
#include "settings/basic_teach.h"
#include "settings/pulse_settings.h"
#include "settings/ui/dialog_dipping_station.h"
#include "test_support.h"

namespace {

using smt::test::ScriptedResponder;
using smt::test::TempDir;

class DippingDialogTest : public ::testing::Test {
protected:
    DippingDialogTest() {
        keep = smt::TheDippingStation();
        smt::TheDippingStation() = {};
        smt::ThePulseFactors().m_X_Pulse = 10000;
        smt::ThePulseFactors().m_Y_Pulse = 100;
        smt::ThePulseFactors().m_Z_Pulse = 400;
        smt::ClearPositionCounters();
        plat::RunPostedTasks();
        dialog.SetStartFolder(dir.Path());
    }
    ~DippingDialogTest() override {
        dialog.hide();
        smt::TheDippingStation() = keep;
        smt::ThePulseFactors() = {};
        smt::TheFeedOperationPort() = {};
        smt::TheDippingOutputPort() = {};
        smt::ClearPositionCounters();
        smt::ResetLinkState();
        plat::RunPostedTasks();
    }
    QLineEdit* Edit(const char* name) { return dialog.findChild<QLineEdit*>(name); }
    void Click(const char* name) { dialog.findChild<QPushButton*>(name)->click(); }
    std::string Stored(const char* key) {
        return plat::GetPrivateProfileString("DippingStationConfig", key, "", 512, config);
    }

    smt::DippingStationSettings keep;
    TempDir dir;
    std::string config = dir.File("config.ini");
    ScriptedResponder boxes;
    CDialogDippingStation dialog;
};

TEST_F(DippingDialogTest, TeachThenOkSavesAndARangeRefusalKeepsItOpen) {
    dialog.show();
    smt::g_PulseX = 123456;
    smt::g_PulseY = -2500;
    for (const char* button : {"TeachX", "TeachY", "TeachZ"}) Click(button);
    EXPECT_EQ(Edit("m_DippingStation_X")->text() + " " + Edit("m_DippingStation_Y")->text() + " " +
                  Edit("m_DippingStation_Z")->text(),
              "12.3457 -25.0001 0.0000");
    EXPECT_EQ(smt::TheDippingStation().m_DippingStation_X, 0);  // only OK takes it
    Edit("m_DippingStation_RunTime")->setText("2500");
    Edit("m_WaterFilmThickness")->setText("3.5");
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(smt::test::ReadBytes(config), "");

    Edit("m_WaterFilmThickness")->setText("0.5");
    Click("c_IDOK");
    EXPECT_TRUE(dialog.isHidden());
    EXPECT_DOUBLE_EQ(smt::TheDippingStation().m_DippingStation_X, 12.3457);
    EXPECT_EQ(Stored("m_DippingStation_X") + " " + Stored("m_DippingStation_RunTime"), "12.3457 2500");
}

// The buttons take the fields, then reach the starters; the measured height is
// written only while the dialog is open.
TEST_F(DippingDialogTest, StationButtonsTakeFieldsThenStartAndTheHeightReachesOnlyTheOpenDialog) {
    std::vector<int> codes;
    smt::TheFeedOperationPort().start = [&](int code, smt::BusyClaim) { codes.push_back(code); };
    smt::g_Connected = smt::g_Homed = true;
    smt::g_PulseZ[0] = -100;
    dialog.show();
    Edit("m_DippingStation_X")->setText("50");
    Click("c_Head1ToDippingStation");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Error E3 !"});
    EXPECT_TRUE(codes.empty());
    EXPECT_EQ(smt::TheDippingStation().m_DippingStation_X, 50);  // taken before the guards
    smt::g_PulseZ[0] = 0;
    Click("c_Head1ToDippingStation");
    Click("MeasureZ");
    EXPECT_EQ(codes, (std::vector<int>{-3, -2}));
    // A refused field stops the button before any guard.
    Edit("m_DippingStation_Y")->setText("5");
    Click("MeasureZ");
    EXPECT_EQ(codes.size(), 2u);

    smt::BasicSettings basic;
    basic.m_Z_Measurement = -3;
    basic.m_Z_Nozzle1ToPCBHeight = -20;
    EXPECT_TRUE(dialog.IsOpen());
    smt::StoreDippingStationHeight(smt::TheDippingStation(), basic, -10);
    plat::RunPostedTasks();
    EXPECT_EQ(Edit("m_DippingStation_Z")->text(), "-27.0000");
    smt::StoreDippingStationHeight(smt::TheDippingStation(), basic, -11);
    dialog.reject();
    EXPECT_FALSE(dialog.IsOpen());
    plat::RunPostedTasks();
    EXPECT_EQ(Edit("m_DippingStation_Z")->text(), "-27.0000");
    EXPECT_EQ(smt::TheDippingStation().m_DippingStation_Z, -28);
}

// The per-type rule of the toggle is DippingStation.OutputAlternatesFromOff.
TEST_F(DippingDialogTest, OutputButtonAlternates) {
    std::vector<int> values;
    smt::TheDippingOutputPort().setOutput = [&](const smt::OutputSwitch& o) {
        values.push_back(o.value);
        return true;
    };
    dialog.show();
    Click("c_DippingStationControl");
    Click("c_DippingStationControl");
    EXPECT_EQ(values, (std::vector<int>{0, 1}));
}

} // namespace
