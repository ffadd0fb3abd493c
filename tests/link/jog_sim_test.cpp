// The jog against the simulated machine on both links: every jogged axis leaves
// the program's counters at the machine's drives, held jogs stop at the release
// or the limit, a second jog is refused, the bank's lift and walk, pumps and gears.
#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

#include "sim_fixture.h"
#include "link/busy.h"
#include "link/jog.h"
#include "platform/threads.h"
#include "settings/pulse_settings.h"

namespace smt::test {
namespace {

class JogSim : public SimTest, public ::testing::WithParamInterface<Wire> {
protected:
    void SetUp() override {
        SimTest::SetUp();
        StartMachine(GetParam() == Wire::Serial, InitialType());
        g_PanelLink.zCheckMask = 3;
        machineType = InitialType();
        auto& b = TheBasicSettings();
        b.m_X_Limit = 100, b.m_Y_Limit = -100, b.m_Z_Limit = 10;
        b.m_WestFeed_Limit = -100, b.m_NorthFeed_Limit = 100, b.m_EastFeed_Limit = -100;
        PulseFactors f;
        f.m_X_Pulse = f.m_Y_Pulse = f.m_Z_Pulse = f.m_A_Pulse = 100;
        f.m_WestWalk_Pulse = f.m_NorthWalk_Pulse = f.m_EastWalk_Pulse = 100;
        f.m_WestLift_Pulse = f.m_NorthLift_Pulse = f.m_EastLift_Pulse = 100;
        ThePulseFactors() = f;
        SpeedTemplateSettings s = TheSpeedTemplates().Settings();
        for (int g = 0; g < kSpeedGearCount; ++g)
            for (int k = 0; k < kJogGroupCount; ++k) JogStepField(s, g, static_cast<JogGroup>(k)) = 40 + 10 * k - g;
        s.m_A_RunFast = 3600;  // also the A revolution
        TheSpeedTemplates().SetSettings(s);
        SpeedTypeTable handle;
        for (int d = 0; d < 16; ++d) handle.SetPair(d, {20 + d, 120 + d});
        TheSpeedTemplates().SetTable(SpeedType::Handle, handle);
        jog.SetMachineType([this] { return machineType; });
        ManualControlConfig c;
        c.m_SpeedGears = 1;  // the fast A step is a whole revolution
        ApplyGearSteps(c, 1, s);
        jog.SetConfig(c);
        TheCommandPanel().headGroup = [this] { return jog.HeadGroup(); };
        TheCommandPanel().liftOutputFlag = [this] { return jog.LastJog().liftFlag != 0; };
    }
    void TearDown() override {
        jog.Stop();
        plat::JoinAllWorkers(std::chrono::seconds(20));
        ThePulseFactors() = PulseFactors{};
        TheSpeedTemplates().SetTable(SpeedType::Handle, SpeedTypeTable{});
        SimTest::TearDown();
    }
    virtual int InitialType() const { return 0; }
    // A press and its release, then every worker ended.
    void Click(int id) {
        jog.OnButton(id, true);
        jog.OnButton(id, false);
        ASSERT_TRUE(WaitIdle());
    }

    ManualJog jog;
    int machineType = 0;
};

TEST_P(JogSim, EveryAxisLeavesTheCountersAtTheMachinesDrives) {
    // X and Y first: a lowered nozzle would slow them.
    const std::pair<int, int> steps[] = {{0, 1}, {1, 0}, {4, 1}, {5, 0}, {8, 0}, {9, 1}, {10, 0},
                                         {14, 1}, {11, 1}, {13, 0}, {2, 1}, {3, 0}};
    int moves = 0;
    for (const auto& [axis, dir] : steps) {
        SCOPED_TRACE("axis " + std::to_string(axis));
        jog.JogAxis(axis, dir, 0, 0, false);
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(Count(0x61), ++moves);
        ExpectCountersAtMachine();
    }
    const sim::Drives d = machine().Positions();
    EXPECT_EQ(std::tie(d.x, d.y, d.a[0], d.walk[0], d.lift[2]), std::make_tuple(39, -39, 59, -69, -69));
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_P(JogSim, ReleaseBeforeTheFirstStepMovesOneStepAndHeldJogsEndAtTheLimit) {
    Click(mc::XPlus);
    EXPECT_EQ(Count(0x61), 1);
    EXPECT_EQ(g_PulseX.load(), 39);
    ExpectCountersAtMachine();
    TheBasicSettings().m_X_Limit = 1.3;  // 130 pulses: two more steps of 39 fit
    jog.JogAxis(0, 1, 1, 0, false);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_PulseX.load(), 117);
    jog.JogAxis(0, 1, 1, 0, false);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Count(0x61), 3);
    g_PulseX = 0;
    machine().ClearRecords();
    jog.OnButton(mc::XMinus, true);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Count(0x61), 0) << "X- at the origin moves nothing";
}

TEST_P(JogSim, ASecondJogWhileOneRunsIsRefused) {
    jog.JogAxis(0, 1, 1, 0, false);  // held: up to 25 steps
    jog.JogAxis(1, 0, 1, 0, false);
    jog.OnKeyDown(ManualJog::Key::Down, true, false);
    jog.Stop();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>(2, "Machine is runnig !"));
    EXPECT_EQ(g_PulseY.load(), 0);
    EXPECT_EQ(machine().Positions().y, 0);
    ExpectCountersAtMachine();
}

TEST_P(JogSim, BankButtonOpensAndClosesTheLiftAndAWalkSwitchesTheBankOffFirst) {
    jog.Port().openLength = [] { return 5; };
    jog.Port().closeLength = [] { return 3; };
    jog.OnMenu(kMenuBankFirst + 2);  // west
    Click(mc::FeedBank);
    EXPECT_EQ(machine().Positions().lift[0], -200);
    ASSERT_TRUE(WaitUntil([this] { return machine().OutputLog().size() == 3u; }));
    EXPECT_EQ(OutputsSent(), "5:1 5:0 5:1 ");
    EXPECT_EQ(jog.LastJog().liftFlag, 1);

    jog.OnMenu(kMenuBankFirst + 3);  // north
    Click(mc::FeedXPlus);
    ASSERT_TRUE(WaitUntil([this] { return machine().OutputLog().size() == 4u; }));
    EXPECT_EQ(OutputsSent(), "5:1 5:0 5:1 6:0 ");
    EXPECT_EQ(machine().Positions().walk[1], 69);
    ExpectCountersAtMachine();
}

TEST_P(JogSim, PumpsAndGearsReachTheMachine) {
    jog.Port().runSelect = [] { return 2; };
    jog.OnButton(mc::Pumps[3], true);
    jog.OnButton(mc::Pumps[0], false);
    ASSERT_TRUE(WaitUntil([this] { return machine().OutputLog().size() == 3u; }));
    EXPECT_EQ(std::tuple(machine().Output(8), machine().Output(4), machine().Output(1)), std::tuple(1, 1, 0));
    EXPECT_EQ(jog.NextSpeedGear(), 2);
    ASSERT_TRUE(WaitUntil([this] { return Count(0x60) == 1; }));
    const auto gears = FramesOf(0x60);
    ASSERT_EQ(gears.size(), 1u);
    EXPECT_EQ(gears[0].data.at(0), 2);
}

class JogSimTwoTables : public JogSim {
protected:
    int InitialType() const override { return 4; }
};

TEST_P(JogSimTwoTables, SecondTableJogsX2AndY2) {
    jog.OnHeadGroupButton();
    ASSERT_EQ(jog.HeadGroup(), 2);
    jog.OnKeyDown(ManualJog::Key::Right, true, false);
    jog.OnKeyUp(ManualJog::Key::Right);
    ASSERT_TRUE(WaitIdle());
    Click(mc::YMinus);
    const sim::Drives d = machine().Positions();
    EXPECT_EQ(std::tie(d.x2, d.y2, d.x), std::make_tuple(39, -39, 0));
    ExpectCountersAtMachine();
}

INSTANTIATE_TEST_SUITE_P(BothLinks, JogSim, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);
INSTANTIATE_TEST_SUITE_P(BothLinks, JogSimTwoTables, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

}  // namespace
}  // namespace smt::test
