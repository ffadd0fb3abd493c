#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/globals.h"
#include "link/link_state.h"
#include "platform/profile.h"
#include "settings/origin_update.h"
#include "settings/rederive_hooks.h"
#include "settings_test_util.h"
#include "test_support.h"

namespace {

using smt::OriginUpdateSettings;
using smt::test::TempDir;

class OriginUpdateTest : public ::testing::Test {
protected:
    OriginUpdateTest() { smt::g_PanelLink.zCheckMask = 0; }
    ~OriginUpdateTest() override {
        smt::TheOriginShiftPort() = {};
        smt::TheSettingsRederivations() = {};
        smt::g_PanelLink.zCheckMask = 0;
        smt::g_ThrowPositionPulses = {};
    }
    void Record() {
        auto& port = smt::TheOriginShiftPort();
        port.shiftFeedCoordinates = [this](double x, double y) { calls.push_back(Call("feed", x, y)); };
        port.shiftPcbOrigin = [this](double x, double y) { calls.push_back(Call("pcb", x, y)); };
        port.shiftNozzleCoordinates = [this](double x, double y) { calls.push_back(Call("nozzle", x, y)); };
        smt::TheSettingsRederivations().applyOriginOffset = [this](double x, double y) {
            calls.push_back(Call("camera", x, y));
        };
    }
    static std::string Call(const char* what, double x, double y) {
        return std::string(what) + " " + std::to_string(x) + " " + std::to_string(y);
    }
    TempDir dir;
    std::string config = dir.File("config.ini");
    std::vector<std::string> calls;
};

TEST_F(OriginUpdateTest, MissingSectionGivesDefaults) {
    OriginUpdateSettings o;
    o.m_UpdateThrow = 1;
    o.m_0F_D2 = 0;
    smt::test::WriteBytes(config, "[Other]\nm_UpdateThrow=1\n");
    smt::LoadOriginUpdateConfig(o, config, 0);
    // Offsets 0 and update switches off; a missing axis key keeps what it held.
    OriginUpdateSettings expected;
    expected.m_0F_D2 = 0;
    EXPECT_EQ(o, expected);
    EXPECT_EQ(smt::g_PanelLink.zCheckMask.load(), 0x03);
    OriginUpdateSettings fresh;
    smt::LoadOriginUpdateConfig(fresh, config, 0);
    EXPECT_EQ(fresh, OriginUpdateSettings{});  // every axis switch on
}

TEST_F(OriginUpdateTest, AxisSwitchTakenOnlyFromText) {
    smt::test::WriteBytes(config, "[OriginUpdateConfig]\nm_02_Z1=\nm_03_Z2=0\nm_04_A1=abc\nm_OriginOffsetX=0.25\n");
    OriginUpdateSettings o;
    smt::g_PanelLink.zCheckMask = 0x10;
    smt::LoadOriginUpdateConfig(o, config, 2);
    EXPECT_EQ(o.m_02_Z1, 1);  // empty text: kept
    EXPECT_EQ(o.m_03_Z2, 0);
    EXPECT_EQ(o.m_04_A1, 0);  // text that is no number reads as 0
    EXPECT_EQ(o.m_OriginOffsetX, 0.25);
    EXPECT_EQ(smt::g_PanelLink.zCheckMask.load(), 0x11);  // bits are added to the mask
}

TEST_F(OriginUpdateTest, SaveWritesEveryKeyAndReadsBack) {
    OriginUpdateSettings o;
    o.m_OriginOffsetX = -0.123456;
    o.m_OriginOffsetY = 0.5;
    o.m_UpdateNozzle = 1;
    o.m_0B_L1 = 0;
    ASSERT_TRUE(smt::SaveOriginUpdateConfig(o, config));
    const auto lines = smt::test::ProfileLines(config);
    ASSERT_EQ(lines.size(), 24u);  // header and 23 keys
    EXPECT_EQ(lines[1], "m_OriginOffsetX=-0.1235");
    EXPECT_EQ(lines[3], "m_UpdateCurrentFeed=0");
    EXPECT_EQ(lines[8], "m_00_X=1");
    EXPECT_EQ(lines[23], "m_0F_D2=1");
    OriginUpdateSettings back;
    smt::LoadOriginUpdateConfig(back, config, 9);
    o.m_OriginOffsetX = -0.1235;
    EXPECT_EQ(back, o);
}

TEST_F(OriginUpdateTest, ZCheckMaskPerMachineType) {
    OriginUpdateSettings o;
    for (const auto& k : smt::OriginAxisSwitches()) o.*k.member = 0;
    o.m_04_A1 = 1;
    o.m_07_A4 = 1;
    o.m_02_Z1 = 1;
    EXPECT_EQ(smt::OriginZCheckMask(o, 7), 0x09);
    EXPECT_EQ(smt::OriginZCheckMask(o, 0), 0x01);
    EXPECT_EQ(smt::OriginZCheckMask(o, 6), 0x01);
    EXPECT_EQ(smt::OriginZCheckMask(o, 8), 0x00);
    EXPECT_EQ(smt::OriginZCheckMask(o, 9), 0x00);
    o.m_0B_L1 = 1;  // the eighth nozzle on type 7
    EXPECT_EQ(smt::OriginZCheckMask(o, 7), 0x89);
    // OK rebuilds the live mask from zero.
    o.m_0B_L1 = 0;
    o.m_02_Z1 = 0;
    smt::g_PanelLink.zCheckMask = 0xFF;
    smt::BasicSettings basic;
    smt::ConfirmOriginUpdate(o, basic, config, 7, 100, 100, {});
    EXPECT_EQ(smt::g_PanelLink.zCheckMask.load(), 0x09);
}

TEST_F(OriginUpdateTest, OnlyTheDiscardSwitchMovesOnlyTheDiscardPosition) {
    Record();
    OriginUpdateSettings o;
    o.m_OriginOffsetX = 0.05;
    o.m_OriginOffsetY = -0.02;
    o.m_UpdateThrow = 1;
    smt::BasicSettings basic;
    basic.m_X_ThrowPosition = 100;
    basic.m_Y_ThrowPosition = -50;
    basic.m_X_CameraToNozzle1 = 3;
    std::string shownX, shownY;
    smt::ConfirmOriginUpdate(o, basic, config, 0, 80, 80, [&](const std::string& x, const std::string& y) {
        shownX = x;
        shownY = y;
    });
    EXPECT_TRUE(calls.empty());
    EXPECT_DOUBLE_EQ(basic.m_X_ThrowPosition, 100.05);
    EXPECT_DOUBLE_EQ(basic.m_Y_ThrowPosition, -50.02);
    EXPECT_EQ(basic.m_X_CameraToNozzle1, 3);
    EXPECT_EQ(shownX, "100.0500");
    EXPECT_EQ(shownY, "-50.0200");
    // Each coordinate times its factor, truncated toward zero.
    EXPECT_EQ(smt::g_ThrowPositionPulses, (smt::PulsePoint{8004, -4001}));
    EXPECT_EQ(plat::GetPrivateProfileString("OriginUpdateConfig", "m_OriginOffsetY", "", 512, config), "-0.0200");

    // The offsets are not cleared: a second OK shifts again.
    smt::ConfirmOriginUpdate(o, basic, config, 0, 80, 80, {});
    EXPECT_DOUBLE_EQ(basic.m_X_ThrowPosition, 100.1);
}

TEST_F(OriginUpdateTest, EverySwitchShiftsInOrder) {
    Record();
    OriginUpdateSettings o;
    o.m_OriginOffsetX = 0.5;
    o.m_OriginOffsetY = -0.25;
    o.m_UpdateCurrentFeed = o.m_UpdatePcbOrigin = o.m_UpdateCamera = o.m_UpdateNozzle = 1;
    smt::BasicSettings basic;
    smt::ConfirmOriginUpdate(o, basic, config, 0, 80, 80, {});
    EXPECT_EQ(calls, (std::vector<std::string>{"feed 0.500000 -0.250000", "pcb 0.500000 -0.250000",
                                               "camera 0.500000 -0.250000", "nozzle 0.500000 -0.250000"}));
    EXPECT_EQ(basic.m_X_ThrowPosition, 0);
}

TEST_F(OriginUpdateTest, HomingReadsTheLiveSwitches) {
    const OriginUpdateSettings keep = smt::TheOriginUpdate();
    smt::InstallOriginHomingSwitches();
    smt::TheOriginUpdate().m_03_Z2 = 0;
    smt::TheOriginUpdate().m_0E_D1 = 0;
    const smt::HomingAxisSwitches h = smt::TheHomingPort().axisSwitches();
    EXPECT_EQ(h.m_03_Z2, 0);
    EXPECT_EQ(h.m_0E_D1, 0);
    EXPECT_EQ(h.m_0F_D2, 1);
    EXPECT_EQ(h.m_00_X, 1);
    smt::TheHomingPort().axisSwitches = {};
    smt::TheOriginUpdate() = keep;
}

TEST_F(OriginUpdateTest, SwitchCaptionsPerMachineType) {
    std::vector<std::string> shown;
    for (int i = 0; i < 16; ++i)
        if (auto c = smt::OriginAxisSwitchCaption(i, 0); c.shown) shown.push_back(c.text);
    EXPECT_EQ(shown, (std::vector<std::string>{"X", "Y", "Z1", "Z2", "W1", "W2", "W3"}));
    shown.clear();
    for (int i = 0; i < 16; ++i)
        if (auto c = smt::OriginAxisSwitchCaption(i, 7); c.shown) shown.push_back(c.text);
    EXPECT_EQ(shown, (std::vector<std::string>{"X", "Y", "Z1", "Z2", "Z3", "Z4", "Z5", "Z6", "Z7", "Z8"}));
    EXPECT_TRUE(smt::OriginAxisSwitchCaption(3, 8).keepResource);
    EXPECT_EQ(smt::OriginAxisSwitchCaption(15, 9).text, "D2");
}

} // namespace
