// The manual jog: without a machine the step, sign and speed drive per (type, axis),
// the limit counts, buttons, pumps, gears, Mark offsets and guards; against the
// simulated machine on both links the counters, held jogs, the bank's lift and walk.
#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

#include "link/jog.h"
#include "sim_fixture.h"

namespace smt::test {
namespace {

using G = JogGroup;

TEST(JogPlan, StepGroupSignAndSpeedDrivePerMachineTypeAndAxis) {
    struct { int type, axis, group; bool known; JogGroup g; int sign, drive; } const cases[] = {
        {0, 0, 1, true, G::XY, 1, 0},     {0, 1, 1, true, G::XY, 1, 1},     {0, 2, 1, true, G::Z, -1, 2},
        {0, 3, 1, true, G::Z, -1, 3},     {0, 4, 1, true, G::A, 1, 4},      {3, 7, 1, true, G::A, 1, 4},
        {0, 8, 1, true, G::Feed, 1, 8},   {0, 9, 1, true, G::Feed, 1, 10},  {0, 10, 1, true, G::Feed, 1, 12},
        {6, 10, 1, true, G::Feed, 1, 12}, {0, 11, 1, true, G::Feed, 1, 9},  {0, 12, 1, true, G::Feed, 1, 11},
        {0, 13, 1, true, G::Feed, 1, 13}, {9, 14, 1, true, G::S, 1, 14},    {0, 15, 1, false, G::XY, 1, 0},
        {4, 9, 2, true, G::XY, 1, 0},     {4, 12, 2, true, G::XY, 1, 1},    {4, 9, 1, true, G::Feed, 1, 10},
        {5, 9, 2, true, G::Feed, 1, 10},  {7, 0, 1, true, G::XY, 1, 0},     {7, 32, 1, true, G::Z, -1, 2},
        {7, 39, 2, true, G::Z, -1, 2},    {7, 40, 1, true, G::A, 1, 4},     {7, 47, 1, true, G::A, 1, 4},
        {7, 2, 1, false, G::XY, 1, 0},    {7, 14, 1, false, G::XY, 1, 0},
        // the insertion machine keeps the previous step for every axis
        {8, 0, 1, false, G::XY, 1, 0},    {0, 32, 1, false, G::XY, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " axis " + std::to_string(c.axis));
        const JogPlan p = PlanJog(c.type, c.axis, c.group);
        ASSERT_EQ(p.known, c.known);
        if (c.known) { EXPECT_EQ(std::tie(p.group, p.sign, p.speedDrive), std::tie(c.g, c.sign, c.drive)); }
    }
}

TEST(JogCount, StepsBeforeTheTravelLimit) {
    JogLimitPulses l;
    l.x = 10000, l.y = -8000, l.z = 900, l.westWalk = -3000, l.northWalk = 4000, l.eastWalk = -5000;
    PositionSnapshot p, origin;
    p.x = 2500, p.y = -1000, p.x2 = 300, p.y2 = -200;
    p.z = {-100, 100, 0, 50, -30, 30, 0, -400};
    p.walk = {-600, 800, -1000, 0};
    struct { const char* what; int type, axis, step, group, lift; std::int32_t expected; } const cases[] = {
        {"X- at the origin", 0, 0, -100, 1, 0, 0},          {"X- back to 0", 0, 0, -100, 1, 0, 25},
        {"X+ to the limit", 0, 0, 100, 1, 0, 75},           {"X+ truncated", 0, 0, 300, 1, 0, 25},
        {"Y+ back to 0", 0, 1, 100, 1, 0, 10},              {"Y- to the negative limit", 0, 1, -100, 1, 0, 70},
        {"rocker 1/2 down: second nozzle", 0, 2, -100, 1, 0, 8}, {"rocker 1/2 up: first nozzle", 0, 2, 100, 1, 0, 10},
        {"rocker 3/4 down", 3, 3, -50, 1, 0, 17},           {"rocker 3/4 up", 3, 3, 50, 1, 0, 18},
        {"west walk back", 0, 8, 100, 1, 0, 6},             {"west walk out", 0, 8, -100, 1, 0, 24},
        {"north walk back", 0, 9, -100, 1, 0, 8},           {"north walk out", 0, 9, 100, 1, 0, 32},
        {"east walk out", 0, 10, -100, 1, 0, 40},           {"third rocker of type 4 up", 4, 10, 10, 1, 0, 3},
        {"third rocker of type 6 down", 6, 10, -10, 1, 0, -87}, {"X2 of type 4", 4, 9, -100, 2, 0, 3},
        {"Y2 of type 4", 4, 12, 100, 2, 0, 2},              {"lift with the flag", 0, 11, 500, 1, 0x101, 1},
        {"lift without the flag", 0, 13, 500, 1, 0, 1000},  {"north lift", 4, 12, 500, 1, 1, 1},
        {"eight heads: Z8 up", 7, 39, 100, 1, 0, 4},        {"eight heads: Z1 down", 7, 32, -100, 1, 0, -10},
        {"A axis", 0, 4, 10, 1, 0, 1000},                   {"drilling machine: A", 9, 4, 10, 1, 0, 1},
        {"a zero step counts nothing and divides by nothing", 0, 0, 0, 1, 0, 0},
    };
    for (const auto& c : cases) {
        const PositionSnapshot& at = std::string(c.what) == "X- at the origin" ? origin : p;
        EXPECT_EQ(JogStepCount(c.type, c.axis, c.step, c.group, c.lift, at, l), c.expected) << c.what;
    }
}

TEST(JogButtons, AxisAndDirectionOfEveryButtonAndFeederCluster) {
    struct { int id, type, group, axis, dir; } const buttons[] = {
        {mc::XPlus, 0, 1, 0, 1},      {mc::XMinus, 0, 1, 0, 0},     {mc::YPlus, 0, 1, 1, 1},
        {mc::YMinus, 0, 1, 1, 0},     {mc::XPlus, 4, 2, 9, 1},      {mc::YMinus, 4, 2, 12, 0},
        {mc::ZPlus[0], 0, 1, 2, 1},   {mc::ZMinus[0], 0, 1, 2, 0},  {mc::ZPlus[1], 2, 1, 2, 0},
        {mc::ZMinus[1], 2, 1, 2, 1},  {mc::ZPlus[2], 3, 1, 3, 1},   {mc::ZPlus[3], 3, 1, 3, 0},
        {mc::ZMinus[3], 3, 1, 3, 1},  {mc::ZPlus[4], 6, 1, 10, 1},  {mc::ZPlus[5], 6, 1, 10, 0},
        {mc::ZPlus[0], 7, 1, 32, 1},  {mc::ZMinus[7], 7, 2, 39, 0}, {mc::APlus[0], 0, 1, 4, 1},
        {mc::AMinus[3], 3, 1, 7, 0},  {mc::APlus[0], 7, 1, 40, 1},  {mc::AMinus[4], 7, 2, 44, 0},
        {mc::APlus[7], 7, 2, 47, 1},  {mc::SPlus, 0, 1, 14, 1},     {mc::SMinus, 0, 1, 14, 0},
    };
    for (const auto& c : buttons) {
        const auto b = JogForButton(c.id, c.type, c.group);
        ASSERT_TRUE(b.has_value()) << "control " << c.id << " type " << c.type;
        EXPECT_EQ(std::pair(b->axis, b->direction), std::pair(c.axis, c.dir)) << "control " << c.id << " type " << c.type;
    }
    EXPECT_FALSE(JogForButton(mc::ZPlus[6], 3, 1)) << "Z7 exists only with eight heads";
    EXPECT_FALSE(JogForButton(mc::APlus[4], 3, 1));
    EXPECT_FALSE(JogForButton(mc::Connect, 0, 1));

    struct { int id, bank, output, axis, dir; bool lift, open; int flag; } const cluster[] = {
        {mc::FeedXPlus, 2, 0, 11, 0, true, true, 0},    {mc::FeedXMinus, 2, 0, 11, 1, true, false, 0},
        {mc::FeedYPlus, 2, 5, 8, 1, false, false, 0},   {mc::FeedYMinus, 2, 5, 8, 0, false, false, 0},
        {mc::FeedBank, 2, 0, 11, 0, true, true, 0x101}, {mc::FeedXPlus, 3, 6, 9, 1, false, false, 0},
        {mc::FeedXMinus, 3, 6, 9, 0, false, false, 0},  {mc::FeedYPlus, 3, 0, 12, 1, true, false, 0},
        {mc::FeedYMinus, 3, 0, 12, 0, true, true, 0},   {mc::FeedBank, 3, 0, 12, 0, true, true, 0x101},
        {mc::FeedXPlus, 0, 0, 13, 1, true, false, 0},   {mc::FeedXMinus, 0, 0, 13, 0, true, true, 0},
        {mc::FeedYPlus, 0, 7, 10, 1, false, false, 0},  {mc::FeedYMinus, 0, 7, 10, 0, false, false, 0},
        {mc::FeedBank, 0, 0, 13, 0, true, true, 0x101},
    };
    for (const auto& c : cluster) {
        SCOPED_TRACE("control " + std::to_string(c.id) + " bank " + std::to_string(c.bank));
        const auto s = FeederClusterFor(c.id, c.bank);
        ASSERT_TRUE(s.has_value());
        EXPECT_EQ(std::tie(s->outputOff, s->axis, s->direction, s->lift, s->liftFlag),
                  std::tie(c.output, c.axis, c.dir, c.lift, c.flag));
        if (c.lift) { EXPECT_EQ(s->openLength, c.open); }
    }
    for (int id : {mc::FeedXPlus, mc::FeedXMinus, mc::FeedYPlus, mc::FeedYMinus, mc::FeedBank})
        EXPECT_FALSE(FeederClusterFor(id, 1)) << "the south bank does nothing";
    EXPECT_FALSE(LiftOfBank(1));
    EXPECT_EQ(LiftOfBank(3)->axis, 12);
    EXPECT_EQ(LiftOfBank(3)->output, 6);
}

TEST(JogPumps, ChannelsPerMachineTypeAndRunMode) {
    struct { int pump; bool on; int type, runSelect; const char* expected; } const cases[] = {
        {1, true, 0, 0, "1:1/5 "},  {2, true, 1, 0, "2:1/5 "},  {2, true, 1, 1, "8:1/5 2:1/5 "},
        {4, false, 6, 2, "8:0/5 4:0/5 "}, {3, true, 3, 1, "3:1/5 "}, {6, true, 3, 0, "6:1/5 "},
        {7, true, 3, 0, ""},        {8, true, 3, 0, ""},        {1, true, 7, 0, "32:1/9 "},
        {7, false, 7, 1, "38:0/9 "}, {8, true, 7, 0, "39:1/9 "}, {8, true, 7, 2, "47:1/9 "},
        {9, true, 7, 2, ""},
    };
    for (const auto& c : cases) {
        std::string s;
        for (const auto& o : PumpOutputs(c.pump, c.on, c.type, c.runSelect, 9))
            s += std::to_string(o.channel) + ":" + std::to_string(o.value) + "/" + std::to_string(o.extra) + " ";
        EXPECT_EQ(s, c.expected) << "pump " << c.pump << " type " << c.type << " run " << c.runSelect;
    }
}

SpeedTemplateSettings NumberedJogSpeeds() {
    SpeedTemplateSettings s;
    for (int g = 0; g < kSpeedGearCount; ++g)
        for (int k = 0; k < kJogGroupCount; ++k) JogStepField(s, g, static_cast<JogGroup>(k)) = 1000 * (k + 1) + g;
    return s;
}

TEST(JogSpeedMenu, ItemsSetOneGroupAndOnlyXYSetsTheGear) {
    const SpeedTemplateSettings s = NumberedJogSpeeds();
    ManualControlConfig c;
    c.m_SpeedGears = 3;
    // XY fast sets the gear; Z fine, A slow, feeder fast and S fine leave it.
    struct { int item; std::int32_t ManualControlConfig::*field; int expected; } const items[] = {
        {32955, &ManualControlConfig::m_XY_RunSteps, 1001},   {32958, &ManualControlConfig::m_Z_RunSteps, 2003},
        {32962, &ManualControlConfig::m_A_RunSteps, 3002},    {32969, &ManualControlConfig::m_Feed_RunSteps, 4000},
        {33114, &ManualControlConfig::m_S_RunSteps, 5003}};
    for (const auto& i : items) {
        ASSERT_TRUE(ApplySpeedMenuItem(c, i.item, s)) << i.item;
        EXPECT_EQ(c.*i.field, i.expected) << i.item;
        EXPECT_EQ(c.m_SpeedGears, 1) << i.item;
    }
    EXPECT_FALSE(ApplySpeedMenuItem(c, kMenuBankFirst, s));
}

TEST(JogMarkOffset, OffsetFromTheCameraPositionWithinThreeMillimetres) {
    // (trunc(2.5 x 100) - trunc(10 x 100) + 2000) / 100 = 12.5; minus the nominal 9.5
    EXPECT_DOUBLE_EQ(*MarkAxisOffset(2.5, 10.0, 2000, 100, 9.5), 3.0);
    EXPECT_FALSE(MarkAxisOffset(2.5, 10.0, 2000, 100, 9.4999));
    EXPECT_DOUBLE_EQ(*MarkAxisOffset(0, 0, -300, 100, 0), -3.0);
    EXPECT_FALSE(MarkAxisOffset(0, 0, -301, 100, 0));
    EXPECT_DOUBLE_EQ(*MarkAxisOffset(0, 0, 1, 3, 0), 0.3333);  // written with four decimals and read back
}

// ---- the jog state, without a machine ------------------------------------------

class JogStateTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        ClearPositionCounters();
        TheBasicSettings() = BasicSettings{};
        ThePulseFactors() = PulseFactors{};
        TheSpeedTemplates().SetSettings(NumberedJogSpeeds());
        jog.SetClock([this] { return now; });
        jog.SetMachineType([this] { return type; });
        jog.Port().showStepText = [this](const std::string& t) { texts.push_back(t); };
    }
    void TearDown() override {
        plat::JoinAllWorkers(std::chrono::seconds(10));
        TheSpeedTemplates().SetSettings(SpeedTemplateSettings{});
        TheBasicSettings() = BasicSettings{};
        ThePulseFactors() = PulseFactors{};
        ClearPositionCounters();
        LinkTest::TearDown();
    }
    bool WaitIdle() { return plat::JoinAllWorkers(std::chrono::seconds(10)) && !g_Running.load(); }
    // Jogs (held unless a count is given) with the panel's XY step `xy`; the step taken.
    int JogXY(int xy, int axis, int dir, int count, bool explicitCount) {
        ManualControlConfig c;
        c.m_XY_RunSteps = xy;
        jog.SetConfig(c);
        jog.JogAxis(axis, dir, explicitCount ? 0 : 1, count, explicitCount);
        EXPECT_TRUE(WaitIdle());
        return jog.LastJog().step;
    }

    ManualJog jog;
    int type = 0;
    std::chrono::steady_clock::time_point now{std::chrono::seconds(1000)};
    std::vector<std::string> texts;
};

TEST_F(JogStateTest, GearAdvancesOncePerTickAndSaysWhenNotConnected) {
    EXPECT_EQ(jog.NextSpeedGear(), 1);
    EXPECT_EQ(jog.Config().m_XY_RunSteps, 1001);
    EXPECT_EQ(texts, std::vector<std::string>{"XY1001,  Z2001,  A3001,  F4001,  S5001"});
    now += std::chrono::milliseconds(150);
    EXPECT_EQ(jog.NextSpeedGear(), 1) << "a second press within the tick";
    for (int expected : {2, 3, 0}) {
        now += std::chrono::milliseconds(300);
        EXPECT_EQ(jog.NextSpeedGear(), expected);
    }
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>(5, "Machine is not connection !"));
}

TEST_F(JogStateTest, GuardsAndAZeroStepStoreNothingAndTakeNoBusyFlag) {
    jog.JogAxis(0, 1, 1, 0, false);
    ASSERT_EQ(boxes.Texts(), std::vector<std::string>{"Machine is not connection !"});
    g_Connected = true;
    g_Running = true;
    jog.JogAxis(0, 1, 1, 0, false);
    EXPECT_EQ(boxes.Texts().back(), "Machine is runnig !");
    EXPECT_EQ(jog.LastJog().axis, 0);
    EXPECT_EQ(jog.LastJog().step, 0);
    g_Running = false;
    jog.JogAxis(0, 1, 1, 0, false);  // the panel's step is still 0
    jog.JogAxis(14, 0, 0, 0, true);  // an explicit count of 0
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(plat::RunningWorkers(), 0);
    EXPECT_TRUE(TryClaimBusy()) << "the busy flag is free for the next action";
    ReleaseBusy();
}

TEST_F(JogStateTest, NozzleDownCutsXYToTheSlowStepUnlessFine) {
    g_Connected = true;
    g_PulseZ[5] = -20;
    EXPECT_EQ(JogXY(1000, 0, 0, 0, false), -1002);  // X- at the origin: no step fits
    EXPECT_EQ(jog.Config().m_XY_RunSteps, 1002);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "XY1002,  Z0,  A0,  F0,  S0");
    EXPECT_EQ(JogXY(1003, 1, 1, 0, false), 1003) << "fine stays";
    EXPECT_EQ(JogXY(1000, 0, 0, 777, true), -777) << "an explicit count is not cut";
    EXPECT_EQ(jog.Config().m_XY_RunSteps, 1002) << "only the panel's step changes";
    type = 7;
    EXPECT_EQ(JogXY(1000, 0, 0, 0, false), -1000) << "eight heads have no interlock";
}

TEST_F(JogStateTest, SignFollowsTheAxisAndTheCountIsTakenAsItsMagnitude) {
    g_Connected = true;
    // The count's sign is dropped; Y+ at 0 fits no step, so nothing moves.
    EXPECT_EQ(JogXY(0, 1, 1, -250, true), 250);
    type = 8;  // insertion machine: the previous step stays
    EXPECT_EQ(JogXY(0, 1, 1, 5, true), 250);
    EXPECT_EQ(jog.LastJog().axis, 1);
}

// The bank menu and the keys through the panel are pinned by the jog flows and the panel wiring.
TEST_F(JogStateTest, HeadGroupKeysAndTheDrillingA1Buttons) {
    std::vector<int> shown;
    jog.Port().showHeadGroup = [&](int g) { shown.push_back(g); };
    jog.OnHeadGroupButton();
    EXPECT_EQ(jog.HeadGroup(), 1) << "only the two-table and eight-head types toggle";
    type = 4;
    jog.OnHeadGroupButton();
    EXPECT_EQ(jog.HeadGroup(), 2);
    type = 7;
    jog.OnHeadGroupButton();
    EXPECT_EQ(jog.HeadGroup(), 1);
    EXPECT_EQ(shown, (std::vector<int>{2, 1}));

    EXPECT_FALSE(jog.OnKeyDown(ManualJog::Key::Left, false, false)) << "keys without Ctrl pass on";
    EXPECT_FALSE(jog.OnKeyDown(ManualJog::Key::Other, true, false));
    EXPECT_TRUE(jog.OnKeyDown(ManualJog::Key::Other, true, true)) << "Shift+Ctrl: next gear";
    EXPECT_EQ(jog.Config().m_SpeedGears, 1);

    type = 9;  // not connected: the buttons still hand over, the jog is refused
    std::vector<std::string> states;
    jog.Port().enableControl = [&](int id, bool on) { states.push_back(std::to_string(id) + (on ? "+" : "-")); };
    jog.OnButton(mc::APlus[0], true);
    jog.OnButton(mc::APlus[0], false);
    ASSERT_TRUE(WaitIdle());
    jog.OnButton(mc::AMinus[0], true);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(states, (std::vector<std::string>{"1022-", "1151+", "1022+", "1151-"}));
}

TEST_F(JogStateTest, MarkOffsetsStoredAndRefused) {
    ThePulseFactors().m_X_Pulse = 100;
    ThePulseFactors().m_Y_Pulse = 80;  // apart, as the camera offsets are, so that a swap shows
    TheBasicSettings().m_X_CameraToNozzle1 = 1;
    TheBasicSettings().m_Y_CameraToNozzle1 = 0.5;
    MarkOffsets stored{9, 9, 9, 9};
    std::vector<double> corrected;
    auto& p = jog.Port();
    p.pcbMarkPoints = [] { return PcbMarkPoints{10, -10, 5, -5, 20, -20}; };
    p.markOffsets = [&] { return stored; };
    p.storeManualMarkOffsets = [&](const MarkOffsets& o) { stored = o; };
    p.computeTwoMarkCorrection = [&](double a, double b, double c, double d) { corrected = {a, b, c, d}; };
    g_PulseX = 1500;   // (100 - 1000 + 1500) / 100 = 6 -> 6 - 5 = 1
    g_PulseY = -1320;  // (40 + 800 - 1320) / 80 = -6 -> -6 + 5 = -1
    ASSERT_TRUE(jog.TakeMarkOffset(1));
    EXPECT_EQ(corrected, (std::vector<double>{1, -1, 0, 0}));
    g_PulseX = 2800;   // 19 - 20 = -1
    g_PulseY = -2360;  // (40 + 800 - 2360) / 80 = -19 -> -19 + 20 = 1
    ASSERT_TRUE(jog.TakeMarkOffset(2));
    EXPECT_EQ(corrected, (std::vector<double>{1, -1, -1, 1}));
    g_PulseX = 5000;  // X out of range: Y is not looked at
    EXPECT_FALSE(jog.TakeMarkOffset(1));
    EXPECT_EQ(boxes.Texts().back(), "手动获得MARK点值不在-3到3mm以内，此操作无效 !");
    EXPECT_DOUBLE_EQ(stored.mark1X, 1);
}

// ---- against the simulated machine ----

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
        f.m_X_Pulse = f.m_Z_Pulse = f.m_A_Pulse = 100;
        f.m_Y_Pulse = 80;  // X and Y apart: a limit taken with the other axis' factor shows
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
    // Y with its own factor: -1.3 mm is -104 pulses at 80 per mm, so two steps of 39
    // fit (at X's 100 per mm a third one would).
    TheBasicSettings().m_Y_Limit = -1.3;
    jog.JogAxis(1, 0, 1, 0, false);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_PulseY.load(), -78);
    EXPECT_EQ(Count(0x61), 5);
    ExpectCountersAtMachine();
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
