// The basic settings taught from the simulated machine and saved.
#include <gtest/gtest.h>

#include "../link/sim_fixture.h"
#include "app/numtext.h"
#include "link/homing.h"
#include "platform/profile.h"
#include "settings/basic_teach.h"
#include "settings/pulse_settings.h"

namespace smt::test {
namespace {

class BasicSimFlow : public SimTest {
protected:
    void TearDown() override {
        ThePulseFactors() = PulseFactors{};
        TheHomingPort() = HomingPort{};
        SimTest::TearDown();
    }
};

TEST_F(BasicSimFlow, TaughtFromTheMachineAndSaved) {
    StartMachine(true);
    ThePulseFactors().m_X_Pulse = 1000;
    ThePulseFactors().m_Y_Pulse = 1000;
    ThePulseFactors().m_Z_Pulse = 400;
    TempDir folder;

    // Nozzle 1 over the reference mark: the one-key clear records it.
    ASSERT_TRUE(MoveSingleAxis({0, 2000, {10, 20}}));
    ASSERT_TRUE(MoveSingleAxis({1, -1000, {10, 20}}));
    SetAllZero();
    EXPECT_EQ(TheBasicSettings().m_RefPulseX, 2000);
    EXPECT_EQ(TheBasicSettings().m_RefPulseY, -1000);

    // The mark camera jogged over the same mark; nozzle 1 lowered onto a part.
    ASSERT_TRUE(MoveSingleAxis({0, 12345, {10, 20}}));
    ASSERT_TRUE(MoveSingleAxis({1, -5000, {10, 20}}));
    ASSERT_TRUE(MoveSingleAxis({2, 800, {10, 20}}));  // the rocker lowers nozzle 1
    ASSERT_EQ(g_PulseZ[0].load(), -800);

    const TeachInputs in = CurrentTeachInputs();
    EXPECT_EQ(BasicTeachText(1018, in), "-12.3451");
    EXPECT_EQ(BasicTeachText(1020, in), "5.0001");
    EXPECT_EQ(BasicTeachText(1244, in), "-2.0001");
    EXPECT_EQ(BasicTeachText(1024, in), "14.3451");

    BasicSettings& s = TheBasicSettings();
    s.m_X_CameraToNozzle1 = AtoF(BasicTeachText(1018, in));
    s.m_Y_CameraToNozzle1 = AtoF(BasicTeachText(1020, in));
    s.m_Z_Nozzle1ToFeed = AtoF(BasicTeachText(1244, in));
    ASSERT_EQ(ConfirmBasicSettings(s, 0, folder.Path()), BasicOkOutcome::Saved);
    const std::string config = folder.File("config.ini");
    EXPECT_EQ(plat::GetPrivateProfileString("SetBasicConfig", "m_X_CameraToNozzle1", "", 512, config), "-12.3451");
    EXPECT_EQ(plat::GetPrivateProfileString("SetBasicConfig", "m_Y_CameraToNozzle1", "", 512, config), "5.0001");
    EXPECT_EQ(plat::GetPrivateProfileString("SetBasicConfig", "m_Z_Nozzle1ToFeed", "", 512, config), "-2.0001");
}

}  // namespace
}  // namespace smt::test
