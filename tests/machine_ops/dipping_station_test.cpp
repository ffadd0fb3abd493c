#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine_ops/dipping_station.h"
#include "../settings/settings_test_util.h"

namespace {

using smt::DippingAxis;
using smt::DippingStationSettings;

TEST(DippingStation, TeachMovesAwayFromZero) {
    smt::PositionSnapshot p;
    p.x = 123456;
    EXPECT_EQ(smt::DippingTeachText(DippingAxis::X, p, 10000, 1, 1), "12.3457");
    p.x = 0;
    EXPECT_EQ(smt::DippingTeachText(DippingAxis::X, p, 10000, 1, 1), "0.0000");
    p.y = -2500;
    EXPECT_EQ(smt::DippingTeachText(DippingAxis::Y, p, 1, 100, 1), "-25.0001");
    p.z[0] = -400;
    p.z[1] = -9999;  // only nozzle 1 counts
    EXPECT_EQ(smt::DippingTeachText(DippingAxis::Z, p, 1, 1, 400), "-1.0001");
    EXPECT_EQ(smt::DippingTeachText(DippingAxis::Z, p, 1, 1, 0), "0.0000");
}

TEST(DippingStation, OutputAlternatesFromOff) {
    std::vector<std::pair<int, int>> sent;
    smt::TheDippingOutputPort().setOutput = [&](const smt::OutputSwitch& o) {
        EXPECT_EQ(o.extra, 5);
        sent.emplace_back(o.channel, o.value);
        return true;
    };
    smt::DippingOutputToggle toggle;
    EXPECT_EQ(toggle.Press(0), 0);
    EXPECT_EQ(toggle.Press(0), 1);
    EXPECT_EQ(toggle.Press(3), 0);
    EXPECT_EQ(toggle.Press(7), 1);  // type 7 flips the remembered state and sends nothing
    EXPECT_EQ(toggle.Press(0), 0);
    EXPECT_EQ(sent, (std::vector<std::pair<int, int>>{{10, 0}, {10, 1}, {10, 0}, {10, 0}}));
    smt::TheDippingOutputPort() = {};
}

class DippingGuardTest : public smt::test::FeedOperationTest {};

// The guards are the shared starter's (BasicMeasureTest.GuardsInOrder).
TEST_F(DippingGuardTest, TheTwoOperationsHandTheirCodeAndClaimToTheWorker) {
    smt::g_Connected = smt::g_Homed = true;
    EXPECT_TRUE(smt::StartHeadToDippingStation());
    EXPECT_TRUE(runningWhileStarted);
    held.Release();
    runningWhileStarted = false;
    EXPECT_TRUE(smt::StartDippingStationMeasurement());
    EXPECT_TRUE(runningWhileStarted);
    // The machine stays claimed until the worker gives its claim back, and only that claim holds it.
    EXPECT_TRUE(smt::g_Running.load());
    held.Release();
    EXPECT_FALSE(smt::g_Running.load());
    EXPECT_EQ(codes, (std::vector<int>{-3, -2}));
}

// The dialog side (a value posted to a closed dialog is dropped) is in the dialog's tests.
TEST(DippingStation, HeightLessTheHeadDifferencePlusFilmAndZeroStaysZero) {
    plat::RunPostedTasks();
    smt::BasicSettings basic;
    basic.m_Z_Measurement = -3;
    basic.m_Z_Nozzle1ToPCBHeight = -20;
    DippingStationSettings station;
    station.m_WaterFilmThickness = 0.5;
    std::vector<std::string> shown;
    smt::DippingZSink().Install([&](const std::string& t) { shown.push_back(t); });
    // -10 - (-3 - -20) = -27, plus the film 0.5.
    EXPECT_DOUBLE_EQ(smt::StoreDippingStationHeight(station, basic, -10), -26.5);
    EXPECT_DOUBLE_EQ(station.m_DippingStation_Z, -26.5);
    EXPECT_TRUE(shown.empty());  // nothing written from the worker's thread
    plat::RunPostedTasks();
    EXPECT_EQ(shown, std::vector<std::string>{"-26.5000"});

    EXPECT_EQ(smt::StoreDippingStationHeight(station, basic, 17), 0);
    EXPECT_EQ(station.m_DippingStation_Z, 0);
    EXPECT_EQ(plat::RunPostedTasks(), 0);
    smt::DippingZSink().Remove();
}

TEST(DippingStation, ConfigMissingGivesZerosAndRoundTrips) {
    smt::test::TempDir dir;
    const std::string config = dir.File("config.ini");
    DippingStationSettings d;
    d.m_DippingStation_X = 4;
    smt::LoadDippingStationConfig(d, config);
    EXPECT_EQ(d, DippingStationSettings{});
    d = {1, 123.45678, -50.5, -7.25, 0.3, 2500, 100, 60};
    ASSERT_TRUE(smt::SaveDippingStationConfig(d, config));
    EXPECT_EQ(smt::test::ProfileLines(config),
              (std::vector<std::string>{"[DippingStationConfig]", "m_DippingStation=1",
                                        "m_DippingStation_X=123.4568", "m_DippingStation_Y=-50.5000",
                                        "m_DippingStation_Z=-7.2500", "m_WaterFilmThickness=0.3000",
                                        "m_DippingStation_RunTime=2500", "m_DippingStation_StopDelay=100",
                                        "m_DippingStation_Delay=60"}));
    DippingStationSettings back;
    smt::LoadDippingStationConfig(back, config);
    d.m_DippingStation_X = 123.4568;
    EXPECT_EQ(back, d);
}

} // namespace
