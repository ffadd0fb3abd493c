#include <gtest/gtest.h>

#include "settings/limit_detour.h"
#include "settings_test_util.h"
#include "test_support.h"

namespace {

using smt::CornerHit;
using smt::PositionLimitDetour;
using smt::TestCorner;

// South-west: x < 100 mm and y < -200 mm, detour at -150 mm. South-east: x > 300
// mm and y < -250 mm, detour at -120 mm. Factors 10 pulses per mm.
PositionLimitDetour Corners() {
    PositionLimitDetour d;
    d.m_W_S_PositionLimitPositionDetour = 1;
    d.m_W_S_LessPosition_dX = 100;
    d.m_W_S_LessPosition_dY = -200;
    d.m_W_S_Detour_dY = -150;
    d.m_E_S_PositionLimitPositionDetour = 1;
    d.m_E_S_LessPosition_dX = 300;
    d.m_E_S_LessPosition_dY = -250;
    d.m_E_S_Detour_dY = -120;
    return d;
}

TEST(Detour, CornersAreStrictSouthWestFirstAndOffWhenSwitchedOff) {
    PositionLimitDetour d = Corners();
    EXPECT_EQ(TestCorner(d, 10, 10, 999, -2001), (CornerHit{true, -1500}));
    EXPECT_EQ(TestCorner(d, 10, 10, 1000, -2001), CornerHit{});  // on the X limit: outside
    EXPECT_EQ(TestCorner(d, 10, 10, 999, -2000), CornerHit{});   // on the Y limit: outside
    EXPECT_EQ(TestCorner(d, 10, 10, 3001, -2501), (CornerHit{true, -1200}));
    EXPECT_EQ(TestCorner(d, 10, 10, 3000, -2501), CornerHit{});
    EXPECT_EQ(TestCorner(d, 10, 10, 3001, -2500), CornerHit{});
    EXPECT_EQ(TestCorner(d, 10, 10, 2000, -9000), CornerHit{});  // between the corners

    d.m_E_S_LessPosition_dX = 0;  // the south-east corner now covers everything right of 0
    EXPECT_EQ(TestCorner(d, 10, 10, 500, -3000), (CornerHit{true, -1500}));
    d.m_W_S_PositionLimitPositionDetour = 0;
    EXPECT_EQ(TestCorner(d, 10, 10, 500, -3000), (CornerHit{true, -1200}));

    d.m_E_S_PositionLimitPositionDetour = 0;
    for (int x : {-100000, 0, 500, 999, 5000, 100000})
        for (int y : {-100000, -5000, -2001, 0})
            EXPECT_EQ(TestCorner(d, 10, 10, x, y), CornerHit{}) << x << " " << y;
}

TEST(Detour, LimitsAndDetourYAreTruncatedToPulses) {
    PositionLimitDetour d = Corners();
    d.m_W_S_Detour_dY = -12.3456;
    d.m_W_S_LessPosition_dX = 10.009;  // 100.09 pulses: 100
    EXPECT_EQ(TestCorner(d, 10, 100, 99, -20001), (CornerHit{true, -1234}));
    EXPECT_EQ(TestCorner(d, 10, 100, 100, -20001), CornerHit{});
}

TEST(Detour, CurrentAndTargetAreTestedSeparately) {
    const PositionLimitDetour d = Corners();
    const auto r = smt::CheckPositionLimitDetour(d, 10, 10, 500, -500, 3500, -3000);
    EXPECT_EQ(r.current, CornerHit{});
    EXPECT_EQ(r.target, (CornerHit{true, -1200}));
    const auto both = smt::CheckPositionLimitDetour(d, 10, 10, 0, -2500, 3500, -3000);
    EXPECT_EQ(both.current, (CornerHit{true, -1500}));
    EXPECT_EQ(both.target, (CornerHit{true, -1200}));
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
    EXPECT_EQ(lines[0], "[PositionLimitDetourConfig]");
    EXPECT_EQ(lines[1], "m_W_S_PositionLimitPositionDetour=1");
    EXPECT_EQ(lines[2], "m_W_S_LessPosition_dX=100.0000");
    EXPECT_EQ(lines[11], "m_E_N_LessPosition_dX=1.2346");
    PositionLimitDetour back;
    smt::LoadPositionLimitDetourConfig(back, config);
    d.m_E_N_LessPosition_dX = 1.2346;
    EXPECT_EQ(back, d);
}

} // namespace
