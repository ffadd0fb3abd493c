// The jog against the simulated machine on both links: every jogged axis leaves
// the program's counters where the machine's drives are, held jogs stop at the
// release or the limit, a second jog is refused, the feeder bank's lift opens and
// closes, pumps and gears reach the machine.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

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
        Start(InitialType());
    }
    virtual int InitialType() const { return 0; }
    void Start(int type) {
        StartMachine(GetParam() == Wire::Serial, type);
        g_PanelLink.zCheckMask = 3;
        machineType = type;
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

    ManualJog jog;
    int machineType = 0;
};

TEST_P(JogSim, EveryAxisLeavesTheCountersAtTheMachinesDrives) {
    struct Step {
        int axis, dir;
    };
    // X and Y first: a lowered nozzle would slow them.
    const Step steps[] = {{0, 1}, {1, 0}, {4, 1}, {5, 0}, {8, 0}, {9, 1}, {10, 0},
                          {14, 1}, {11, 1}, {13, 0}, {2, 1}, {3, 0}};
    int moves = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE("axis " + std::to_string(s.axis));
        jog.JogAxis(s.axis, s.dir, 0, 0, false);
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(Count(0x61), ++moves);
        ExpectCountersAtMachine();
    }
    EXPECT_EQ(machine().Positions().x, 39);
    EXPECT_EQ(machine().Positions().y, -39);
    EXPECT_EQ(machine().Positions().a[0], 59);
    EXPECT_EQ(machine().Positions().walk[0], -69);
    EXPECT_EQ(machine().Positions().lift[2], -69);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_P(JogSim, ReleaseBeforeTheFirstStepStillMovesOneStep) {
    jog.OnButton(mc::XPlus, true);
    jog.OnButton(mc::XPlus, false);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Count(0x61), 1);
    EXPECT_EQ(g_PulseX.load(), 39);
    ExpectCountersAtMachine();
}

TEST_P(JogSim, HeldJogEndsAtTheLimitAndTheOriginFitsNoStep) {
    TheBasicSettings().m_X_Limit = 1.3;  // 130 pulses: three steps of 39
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
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Machine is runnig !", "Machine is runnig !"}));
    EXPECT_EQ(g_PulseY.load(), 0);
    EXPECT_EQ(machine().Positions().y, 0);
    ExpectCountersAtMachine();
}

TEST_P(JogSim, BankButtonOpensTheLiftAndItsReleaseClosesIt) {
    jog.Port().openLength = [] { return 5; };
    jog.Port().closeLength = [] { return 3; };
    jog.OnMenu(kMenuBankFirst + 2);  // west
    jog.OnButton(mc::FeedBank, true);
    jog.OnButton(mc::FeedBank, false);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(machine().Positions().lift[0], -200);
    ASSERT_TRUE(WaitUntil([this] { return machine().OutputLog().size() == 3u; }));
    std::string outputs;
    for (const auto& o : machine().OutputLog()) outputs += std::to_string(o.channel) + ":" + std::to_string(o.value) + " ";
    EXPECT_EQ(outputs, "5:1 5:0 5:1 ");
    EXPECT_EQ(jog.LastJog().liftFlag, 1);
}

TEST_P(JogSim, FeederWalkSwitchesTheBankOutputOffFirst) {
    jog.OnMenu(kMenuBankFirst + 3);  // north
    jog.OnButton(mc::FeedXPlus, true);
    jog.OnButton(mc::FeedXPlus, false);
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(WaitUntil([this] { return machine().OutputLog().size() == 1u; }));
    EXPECT_EQ(machine().OutputLog()[0].channel, 6);
    EXPECT_EQ(machine().OutputLog()[0].value, 0);
    EXPECT_EQ(machine().Positions().walk[1], 69);
    ExpectCountersAtMachine();
}

TEST_P(JogSim, PumpsAndGearsReachTheMachine) {
    jog.Port().runSelect = [] { return 2; };
    jog.OnButton(mc::Pumps[3], true);
    jog.OnButton(mc::Pumps[0], false);
    ASSERT_TRUE(WaitUntil([this] { return machine().OutputLog().size() == 3u; }));
    EXPECT_EQ(machine().Output(8), 1);
    EXPECT_EQ(machine().Output(4), 1);
    EXPECT_EQ(machine().Output(1), 0);
    EXPECT_EQ(jog.NextSpeedGear(), 2);
    ASSERT_TRUE(WaitUntil([this] { return Count(0x60) == 1; }));
    int gears = 0;
    for (const auto& f : machine().Frames())
        if (f.code == 0x60) {
            ++gears;
            EXPECT_EQ(f.data.at(0), 2);
        }
    EXPECT_EQ(gears, 1);
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
    jog.OnButton(mc::YMinus, true);
    jog.OnButton(mc::YMinus, false);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(machine().Positions().x2, 39);
    EXPECT_EQ(machine().Positions().y2, -39);
    EXPECT_EQ(machine().Positions().x, 0);
    ExpectCountersAtMachine();
}

INSTANTIATE_TEST_SUITE_P(BothLinks, JogSim, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);
INSTANTIATE_TEST_SUITE_P(BothLinks, JogSimTwoTables, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

}  // namespace
}  // namespace smt::test
