#include <gtest/gtest.h>

#include <tuple>

#include "settings/limit_detour.h"
#include "settings_test_util.h"

namespace {

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
