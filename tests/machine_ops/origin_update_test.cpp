#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "base/globals.h"
#include "link/link_state.h"
#include "platform/profile.h"
#include "settings/limit_detour.h"
#include "machine_ops/origin_update.h"
#include "settings/rederive_hooks.h"
#include "../settings/settings_test_util.h"

namespace {

using smt::OriginUpdateSettings;
using smt::test::TempDir;

class OriginUpdateTest : public ::testing::Test {
protected:
    // Records the shifts of the other subsystems as "what dx dy".
    OriginUpdateTest() {
        smt::g_PanelLink.zCheckMask = 0;
        auto record = [this](const char* what) {
            return [this, what](double x, double y) {
                calls.push_back(std::string(what) + " " + std::to_string(x) + " " + std::to_string(y));
            };
        };
        auto& port = smt::TheOriginShiftPort();
        port.shiftFeedCoordinates = record("feed");
        port.shiftPcbOrigin = record("pcb");
        port.shiftNozzleCoordinates = record("nozzle");
        smt::TheSettingsRederivations().applyOriginOffset = record("camera");
    }
    ~OriginUpdateTest() override {
        smt::TheOriginShiftPort() = {};
        smt::TheSettingsRederivations() = {};
        smt::g_PanelLink.zCheckMask = 0;
        smt::g_ThrowPositionPulses = {};
    }
    TempDir dir;
    std::string config = dir.File("config.ini");
    std::vector<std::string> calls;
};

// A missing axis key keeps what it held; empty text is kept too, text that is
// no number reads 0; the axis bits are added to the live mask.
TEST_F(OriginUpdateTest, LoadsDefaultsAndAxisSwitchesOnlyFromText) {
    OriginUpdateSettings o;
    o.m_UpdateThrow = 1;
    o.m_0F_D2 = 0;
    smt::test::WriteBytes(config, "[Other]\nm_UpdateThrow=1\n");
    smt::LoadOriginUpdateConfig(o, config, 0);
    OriginUpdateSettings expected;  // offsets 0, update switches off, every axis switch on
    expected.m_0F_D2 = 0;
    EXPECT_EQ(o, expected);
    EXPECT_EQ(smt::g_PanelLink.zCheckMask.load(), 0x03);

    smt::test::WriteBytes(config, "[OriginUpdateConfig]\nm_02_Z1=\nm_03_Z2=0\nm_04_A1=abc\nm_OriginOffsetX=0.25\n");
    o = {};
    smt::g_PanelLink.zCheckMask = 0x10;
    smt::LoadOriginUpdateConfig(o, config, 2);
    EXPECT_EQ((std::vector<int>{o.m_02_Z1, o.m_03_Z2, o.m_04_A1}), (std::vector<int>{1, 0, 0}));
    EXPECT_EQ(o.m_OriginOffsetX, 0.25);
    EXPECT_EQ(smt::g_PanelLink.zCheckMask.load(), 0x11);
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
    EXPECT_EQ((std::vector<std::string>{lines[1], lines[3], lines[8], lines[23]}),
              (std::vector<std::string>{"m_OriginOffsetX=-0.1235", "m_UpdateCurrentFeed=0", "m_00_X=1", "m_0F_D2=1"}));
    OriginUpdateSettings back;
    smt::LoadOriginUpdateConfig(back, config, 9);
    o.m_OriginOffsetX = -0.1235;
    EXPECT_EQ(back, o);
}

TEST_F(OriginUpdateTest, ZCheckMaskPerMachineType) {
    OriginUpdateSettings o;
    for (const auto& k : smt::OriginAxisSwitches()) o.*k.member = 0;
    o.m_04_A1 = o.m_07_A4 = o.m_02_Z1 = 1;
    for (auto [type, mask] : {std::pair{7, 0x09}, {0, 0x01}, {6, 0x01}, {8, 0x00}, {9, 0x00}})
        EXPECT_EQ(smt::OriginZCheckMask(o, type), mask) << type;
    o.m_0B_L1 = 1;  // the eighth nozzle on type 7
    EXPECT_EQ(smt::OriginZCheckMask(o, 7), 0x89);
    // OK rebuilds the live mask from zero.
    o.m_0B_L1 = o.m_02_Z1 = 0;
    smt::g_PanelLink.zCheckMask = 0xFF;
    smt::BasicSettings basic;
    smt::ConfirmOriginUpdate(o, basic, config, 7, 100, 100, {});
    EXPECT_EQ(smt::g_PanelLink.zCheckMask.load(), 0x09);
}

TEST_F(OriginUpdateTest, EachSwitchShiftsOnlyItsOwnCoordinates) {
    OriginUpdateSettings o;
    o.m_OriginOffsetX = 0.05;
    o.m_OriginOffsetY = -0.02;
    o.m_UpdateThrow = 1;
    smt::BasicSettings basic;
    basic.m_X_ThrowPosition = 100;
    basic.m_Y_ThrowPosition = -50;
    basic.m_X_CameraToNozzle1 = 3;
    std::string shown;
    smt::ConfirmOriginUpdate(o, basic, config, 0, 80, 80,
                             [&](const std::string& x, const std::string& y) { shown = x + " " + y; });
    EXPECT_TRUE(calls.empty());
    EXPECT_DOUBLE_EQ(basic.m_X_ThrowPosition, 100.05);
    EXPECT_DOUBLE_EQ(basic.m_Y_ThrowPosition, -50.02);
    EXPECT_EQ(basic.m_X_CameraToNozzle1, 3);
    EXPECT_EQ(shown, "100.0500 -50.0200");
    // Each coordinate times its factor, truncated toward zero.
    EXPECT_EQ(smt::g_ThrowPositionPulses, (smt::PulsePoint{8004, -4001}));
    EXPECT_EQ(plat::GetPrivateProfileString("OriginUpdateConfig", "m_OriginOffsetY", "", 512, config), "-0.0200");
    // The offsets are not cleared: a second OK shifts again.
    smt::ConfirmOriginUpdate(o, basic, config, 0, 80, 80, {});
    EXPECT_DOUBLE_EQ(basic.m_X_ThrowPosition, 100.1);

    // Every other switch: the other subsystems shift in this order, the discard position stays.
    o.m_OriginOffsetX = 0.5;
    o.m_OriginOffsetY = -0.25;
    o.m_UpdateThrow = 0;
    o.m_UpdateCurrentFeed = o.m_UpdatePcbOrigin = o.m_UpdateCamera = o.m_UpdateNozzle = 1;
    smt::ConfirmOriginUpdate(o, basic, config, 0, 80, 80, {});
    EXPECT_EQ(calls, (std::vector<std::string>{"feed 0.500000 -0.250000", "pcb 0.500000 -0.250000",
                                               "camera 0.500000 -0.250000", "nozzle 0.500000 -0.250000"}));
    EXPECT_DOUBLE_EQ(basic.m_X_ThrowPosition, 100.1);
}

TEST_F(OriginUpdateTest, HomingReadsTheLiveSwitches) {
    const OriginUpdateSettings keep = smt::TheOriginUpdate();
    smt::InstallOriginHomingSwitches();
    smt::TheOriginUpdate().m_03_Z2 = smt::TheOriginUpdate().m_0E_D1 = 0;
    const smt::HomingAxisSwitches h = smt::TheHomingPort().axisSwitches();
    EXPECT_EQ((std::vector<int>{h.m_03_Z2, h.m_0E_D1, h.m_0F_D2, h.m_00_X}), (std::vector<int>{0, 0, 1, 1}));
    smt::TheHomingPort().axisSwitches = {};
    smt::TheOriginUpdate() = keep;
}

// ---- the position-limit detour ----

using smt::CornerHit;
using smt::PositionLimitDetour;
using smt::TestCorner;

// South-west: x < 100 mm and y < -200 mm, detour at -150 mm. South-east: x > 300
// mm and y < -250 mm, detour at -120 mm. Factors 10 pulses per mm.
PositionLimitDetour Corners() {
    return {.m_W_S_PositionLimitPositionDetour = 1, .m_W_S_LessPosition_dX = 100, .m_W_S_LessPosition_dY = -200,
            .m_W_S_Detour_dY = -150, .m_E_S_PositionLimitPositionDetour = 1, .m_E_S_LessPosition_dX = 300,
            .m_E_S_LessPosition_dY = -250, .m_E_S_Detour_dY = -120};
}

TEST(Detour, CornersAreStrictSouthWestFirstAndOffWhenSwitchedOff) {
    PositionLimitDetour d = Corners();
    const std::tuple<int, int, CornerHit> points[] = {
        {999, -2001, {true, -1500}}, {1000, -2001, {}}, {999, -2000, {}},  // on a limit: outside
        {3001, -2501, {true, -1200}}, {3000, -2501, {}}, {3001, -2500, {}},
        {2000, -9000, {}}};  // between the corners
    for (const auto& [x, y, hit] : points) EXPECT_EQ(TestCorner(d, 10, 10, x, y), hit) << x << " " << y;

    d.m_E_S_LessPosition_dX = 0;  // the south-east corner now covers everything right of 0
    EXPECT_EQ(TestCorner(d, 10, 10, 500, -3000), (CornerHit{true, -1500}));
    d.m_W_S_PositionLimitPositionDetour = 0;
    EXPECT_EQ(TestCorner(d, 10, 10, 500, -3000), (CornerHit{true, -1200}));
    d.m_E_S_PositionLimitPositionDetour = 0;
    for (int x : {-100000, 0, 500, 999, 5000, 100000})
        for (int y : {-100000, -5000, -2001, 0}) EXPECT_EQ(TestCorner(d, 10, 10, x, y), CornerHit{}) << x << " " << y;
}

TEST(Detour, PulsesAreTruncatedAndCurrentAndTargetTestedSeparately) {
    PositionLimitDetour d = Corners();
    const auto r = smt::CheckPositionLimitDetour(d, 10, 10, 500, -500, 3500, -3000);
    EXPECT_EQ(r.current, CornerHit{});
    EXPECT_EQ(r.target, (CornerHit{true, -1200}));
    const auto both = smt::CheckPositionLimitDetour(d, 10, 10, 0, -2500, 3500, -3000);
    EXPECT_EQ(both.current, (CornerHit{true, -1500}));
    EXPECT_EQ(both.target, (CornerHit{true, -1200}));

    d.m_W_S_Detour_dY = -12.3456;
    d.m_W_S_LessPosition_dX = 10.009;  // 100.09 pulses: 100
    EXPECT_EQ(TestCorner(d, 10, 100, 99, -20001), (CornerHit{true, -1234}));
    EXPECT_EQ(TestCorner(d, 10, 100, 100, -20001), CornerHit{});
}

TEST(Detour, ConfigMissingGivesZerosAndRoundTrips) {
    smt::test::TempDir dir;
    const std::string config = dir.File("config.ini");
    PositionLimitDetour d = Corners();
    smt::LoadPositionLimitDetourConfig(d, config);
    EXPECT_EQ(d, PositionLimitDetour{});

    d = Corners();
    d.m_E_N_LessPosition_dX = 1.23456;
    d.m_W_S_Detour_dX = -7;
    ASSERT_TRUE(smt::SavePositionLimitDetourConfig(d, config));
    const auto lines = smt::test::ProfileLines(config);
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ((std::vector<std::string>{lines[0], lines[1], lines[2], lines[11]}),
              (std::vector<std::string>{"[PositionLimitDetourConfig]", "m_W_S_PositionLimitPositionDetour=1",
                                        "m_W_S_LessPosition_dX=100.0000", "m_E_N_LessPosition_dX=1.2346"}));
    PositionLimitDetour back;
    smt::LoadPositionLimitDetourConfig(back, config);
    d.m_E_N_LessPosition_dX = 1.2346;
    EXPECT_EQ(back, d);
}

} // namespace
