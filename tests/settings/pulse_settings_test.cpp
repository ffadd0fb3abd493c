#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "platform/profile.h"
#include "settings/pulse_settings.h"
#include "settings/rederive_hooks.h"
#include "settings_test_util.h"
#include "test_support.h"

namespace smt {
namespace {

using test::ScriptedResponder;
using test::TempDir;

const DialogCaptions& Captions() { return ThePulseCaptions(); }

TEST(PulseFactorsFile, MissingSectionGivesOneAndAngleDefault) {
    TempDir dir;
    PulseFactors f;
    LoadSetPulseConfig(f, dir.File("config.ini"));
    const auto values = f.AsArray();
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(values[i], i == 3 ? 17.7777 : 1.0) << kPulseFactorKeys[i].key;
}

// Under a German numeric locale (where installed) the file still holds "%0.4f"
// in the C locale, and a stored 0.0000 reads back as the fixed default.
TEST(PulseFactorsFile, SavesFourDecimalsInKeyOrderAndReadsBack) {
    test::GermanNumericLocale german;
    TempDir dir;
    const std::string config = dir.File("config.ini");
    PulseFactors f;
    double v = 10;
    for (const auto& k : kPulseFactorKeys) f.*k.member = (v += 1.25);
    f.m_A_Pulse = 17.77777;
    f.m_Y_Pulse = 0;
    f.m_Z_Pulse = 0.5;  // below the dialog's range, still stored as it is
    ASSERT_TRUE(SaveSetPulseConfig(f, config));
    const auto lines = test::ProfileLines(config);
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "[SetPulseConfig]");
    EXPECT_EQ(lines[1], "m_X_Pulse=11.2500");
    EXPECT_EQ(lines[4], "m_A_Pulse=17.7778");
    EXPECT_EQ(lines[12], "m_AutoWalk2_Pulse=25.0000");
    for (std::size_t i = 0; i < kPulseFactorKeys.size(); ++i)
        EXPECT_EQ(lines[i + 1].substr(0, lines[i + 1].find('=')), kPulseFactorKeys[i].key);
    PulseFactors back;
    LoadSetPulseConfig(back, config);
    EXPECT_DOUBLE_EQ(back.m_A_Pulse, 17.7778);
    EXPECT_DOUBLE_EQ(back.m_X_Pulse, 11.25);
    EXPECT_DOUBLE_EQ(back.m_Y_Pulse, 1.0);
    EXPECT_DOUBLE_EQ(back.m_Z_Pulse, 0.5);
    f.m_A_Pulse = 0;
    ASSERT_TRUE(SaveSetPulseConfig(f, config));
    LoadSetPulseConfig(back, config);
    EXPECT_DOUBLE_EQ(back.m_A_Pulse, 17.7777);
}

TEST(PulseGenerator, PulleyAndScrew) {
    ScriptedResponder boxes;
    PulseSettings v;
    v.m_StepAngle = 1.8;
    v.m_SubDivide = 16;
    v.m_DiameterOrScrewPitch = 10;
    v.m_DriveModel = 0;
    ASSERT_TRUE(ProducePulse(v, Captions()));
    EXPECT_NEAR(v.m_LinearPulse, 200.0 * 16 / 31.415926, 1e-9);
    EXPECT_NEAR(v.m_LinearPulse, 101.86, 0.005);
    EXPECT_NEAR(v.m_AnglePulse, 8.889, 0.0005);
    v.m_DriveModel = 1;
    v.m_DiameterOrScrewPitch = 5;
    ASSERT_TRUE(ProducePulse(v, Captions()));
    EXPECT_NEAR(v.m_LinearPulse, 640.0, 1e-9);
    EXPECT_EQ(boxes.Count(), 0u);
    // The generator never writes a factor.
    EXPECT_EQ(v.m_X_Pulse, 0.0);
}

TEST(PulseGenerator, RefusesWithoutDriveOrWithZeroDivisor) {
    ScriptedResponder boxes;
    PulseSettings v;
    v.m_StepAngle = 1.8;
    v.m_SubDivide = 16;
    v.m_DiameterOrScrewPitch = 10;
    v.m_LinearPulse = 3;
    v.m_AnglePulse = 4;
    EXPECT_FALSE(ProducePulse(v, Captions()));
    v.m_DriveModel = 0;
    v.m_StepAngle = 0;
    EXPECT_FALSE(ProducePulse(v, Captions()));
    v.m_StepAngle = 1.8;
    v.m_DiameterOrScrewPitch = 0;
    EXPECT_FALSE(ProducePulse(v, Captions()));
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"请选择传动方式 !", "数值不能为 0 !", "数值不能为 0 !"}));
    EXPECT_EQ(v.m_LinearPulse, 3.0);
    EXPECT_EQ(v.m_AnglePulse, 4.0);
}

TEST(PulseCheck, CorrectedFactorAndZeroDistance) {
    ScriptedResponder boxes;
    PulseSettings v;
    v.m_X_Pulse = 80;
    v.m_Y_Pulse = 200;
    v.m_RunTest = 100;
    v.m_DistanceTest = 99.5;
    const auto list7 = PulsePickList(7);
    ASSERT_TRUE(VerifyPulse(v, list7[1], Captions()));
    EXPECT_DOUBLE_EQ(v.m_VerifyPulseValue, 100 * 200 / 99.5); // index 1 on type 7 is Y
    ASSERT_TRUE(VerifyPulse(v, list7[0], Captions()));
    EXPECT_DOUBLE_EQ(v.m_VerifyPulseValue, 100 * 80 / 99.5);
    v.m_DistanceTest = 0;
    EXPECT_FALSE(VerifyPulse(v, list7[0], Captions()));
    EXPECT_DOUBLE_EQ(v.m_VerifyPulseValue, 100 * 80 / 99.5);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"数值不能为 0 !"});
    EXPECT_EQ(v.m_X_Pulse, 80.0); // the check never writes a factor
}

std::vector<PulseMotor> Motors(int type) {
    std::vector<PulseMotor> out;
    for (const auto& d : PulsePickList(type)) out.push_back(d.motor);
    return out;
}

TEST(PulsePickList, PerMachineType) {
    using M = PulseMotor;
    EXPECT_EQ(Motors(4), (std::vector<M>{M::X, M::X2, M::Y, M::Y2, M::Z1, M::Z2, M::Z3, M::A1, M::A2, M::A3, M::A4}));
    EXPECT_EQ(Motors(6), (std::vector<M>{M::X, M::Y, M::Z1, M::Z2, M::Z3, M::A1, M::A2, M::A3, M::A4}));
    EXPECT_EQ(Motors(7), (std::vector<M>{M::X, M::Y}));
    const std::vector<M> other{M::X, M::Y, M::Z1, M::Z2, M::A1, M::A2, M::A3, M::A4, M::WestWalk, M::WestLift,
                               M::NorthWalk, M::NorthLift, M::EastWalk, M::EastLift, M::AutoWalk1, M::AutoWalk2};
    for (int type : {0, 1, 2, 3, 5, 8, 9}) EXPECT_EQ(Motors(type), other) << type;

    std::vector<int> axes;
    for (const auto& d : PulsePickList(4)) axes.push_back(d.axis);
    EXPECT_EQ(axes, (std::vector<int>{0, 9, 1, 12, 2, 3, 10, 4, 5, 6, 7}));
    axes.clear();
    for (const auto& d : PulsePickList(0)) axes.push_back(d.axis);
    EXPECT_EQ(axes, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 9, 12, 10, 13, 14, 15}));
    // The second table's drives use the first table's factors.
    EXPECT_EQ(PulsePickList(4)[1].factor, &PulseFactors::m_X_Pulse);
    EXPECT_EQ(PulsePickList(4)[3].factor, &PulseFactors::m_Y_Pulse);
    EXPECT_EQ(Captions().Text(PulseMotorCaptionKey(M::X2)), "X2 轴电机");
}

TEST(PulsePickList, EditableFactorsPerMachineType) {
    const std::array<bool, 12> all{true, true, true, true, true, true, true, true, true, true, true, true};
    const std::array<bool, 12> headOnly{true, true, true, true, false, false, false, false, false, false, false, false};
    const std::array<bool, 12> noWalks{true, true, true, true, false, true, false, true, false, true, true, true};
    EXPECT_EQ(PulseFactorEditable(4), headOnly);
    EXPECT_EQ(PulseFactorEditable(6), headOnly);
    EXPECT_EQ(PulseFactorEditable(7), noWalks);
    for (int type : {0, 1, 2, 3, 5, 8, 9}) EXPECT_EQ(PulseFactorEditable(type), all) << type;
}

TEST(PulseTestPlan, TruncatesTowardZeroAndSetsDirection) {
    EXPECT_EQ(PlanPulseTest(-2.5, 100).pulses, -250);
    EXPECT_EQ(PlanPulseTest(-2.5, 100).direction, 0);
    EXPECT_EQ(PlanPulseTest(2.599, 100).pulses, 259);
    EXPECT_EQ(PlanPulseTest(2.599, 100).direction, 1);
    EXPECT_EQ(PlanPulseTest(0, 100).direction, 1);
}

// A machine stand-in that records outputs and jogs.
struct FakeMachine {
    bool connected = true, homed = true, running = false;
    int headGroup = 1;
    std::map<PulseCounter, std::int32_t> counters;
    std::vector<std::string> calls;
    struct Jog { int axis, direction, hold; std::int32_t pulses; bool countUsed; };
    std::vector<Jog> jogs;

    PulseMachinePort Port() {
        PulseMachinePort p;
        p.connected = [this] { return connected; };
        p.homed = [this] { return homed; };
        p.running = [this] { return running; };
        p.headGroup = [this] { return headGroup; };
        p.counter = [this](PulseCounter c) { return counters[c]; };
        p.setOutput = [this](int ch, int value, int extra) {
            calls.push_back("out " + std::to_string(ch) + "," + std::to_string(value) + "," + std::to_string(extra));
        };
        p.jogAxis = [this](int axis, int dir, int hold, std::int32_t pulses, bool used) {
            calls.push_back("jog " + std::to_string(axis));
            jogs.push_back({axis, dir, hold, pulses, used});
        };
        return p;
    }
};

class PulseTestRun : public ::testing::Test {
protected:
    PulseTestRun() {
        v.m_X_Pulse = v.m_Y_Pulse = v.m_Z_Pulse = 100;
        v.m_A_Pulse = 10;
        v.m_WestWalk_Pulse = v.m_NorthWalk_Pulse = v.m_EastWalk_Pulse = 50;
        basic.m_X_Limit = 10;
        basic.m_Y_Limit = -10;
        basic.m_Z_Limit = -5;
        basic.m_WestFeed_Limit = -4;
        basic.m_NorthFeed_Limit = 4;
        basic.m_EastFeed_Limit = -4;
    }
    PulseTestResult Run(int type, int index, double distance) {
        v.m_RunTest = distance;
        return RunPulseTest(v, PulsePickList(type).at(index), type, basic, machine.Port(), Captions());
    }
    PulseSettings v;
    BasicSettings basic;
    FakeMachine machine;
    ScriptedResponder boxes;
};

TEST_F(PulseTestRun, NegativeDistanceMovesBackward) {
    machine.counters[PulseCounter::X] = 500;
    EXPECT_EQ(Run(0, 0, -2.5), PulseTestResult::Moved);
    ASSERT_EQ(machine.jogs.size(), 1u);
    EXPECT_EQ(machine.jogs[0].axis, 0);
    EXPECT_EQ(machine.jogs[0].direction, 0);
    EXPECT_EQ(std::abs(machine.jogs[0].pulses), 250);
    EXPECT_EQ(machine.jogs[0].hold, 0);
    EXPECT_TRUE(machine.jogs[0].countUsed);
    EXPECT_EQ(Run(0, 0, 2.599), PulseTestResult::Moved);
    EXPECT_EQ(machine.jogs[1].pulses, 259);
    EXPECT_EQ(machine.jogs[1].direction, 1);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(PulseTestRun, XAndYStayInsideTheirTravel) {
    // X: 0 .. 1000 pulses.
    EXPECT_EQ(Run(0, 0, 10), PulseTestResult::Moved);
    EXPECT_EQ(Run(0, 0, 10.25), PulseTestResult::OutOfRange);
    EXPECT_EQ(Run(0, 0, -0.25), PulseTestResult::OutOfRange);
    // Y: -1000 .. 0 pulses.
    machine.counters[PulseCounter::Y] = -400;
    EXPECT_EQ(Run(0, 1, -6), PulseTestResult::Moved);
    EXPECT_EQ(Run(0, 1, -6.25), PulseTestResult::OutOfRange);
    EXPECT_EQ(Run(0, 1, 4.25), PulseTestResult::OutOfRange);
    EXPECT_EQ(Run(0, 1, 4), PulseTestResult::Moved);
    EXPECT_EQ(machine.jogs.size(), 3u);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>(4, "测试的数据越限 !"));
}

TEST_F(PulseTestRun, ZPairChecksTheNozzleThatGoesDown) {
    // Z limit -500 pulses; a positive count lowers the pair's first nozzle.
    machine.counters[PulseCounter::Z1] = -100;
    EXPECT_EQ(Run(0, 2, 4), PulseTestResult::Moved);      // -100 - 400 = -500
    EXPECT_EQ(Run(0, 2, 4.25), PulseTestResult::OutOfRange);
    machine.counters[PulseCounter::Z2] = -200;
    EXPECT_EQ(Run(0, 2, -3), PulseTestResult::Moved);     // -200 - 300 = -500
    EXPECT_EQ(Run(0, 2, -3.25), PulseTestResult::OutOfRange);
    // Axis 3 drives nozzles 3/4, axis 10 (Z3 on type 4 and 6) nozzles 5/6.
    machine.counters[PulseCounter::Z3] = -500;
    EXPECT_EQ(Run(0, 3, 0.01), PulseTestResult::OutOfRange);
    machine.counters[PulseCounter::Z5] = -450;
    EXPECT_EQ(Run(6, 4, 0.5), PulseTestResult::Moved);
    EXPECT_EQ(Run(6, 4, 0.75), PulseTestResult::OutOfRange);
    machine.counters[PulseCounter::Z6] = -500;
    EXPECT_EQ(Run(4, 6, -0.01), PulseTestResult::OutOfRange);
    EXPECT_EQ(machine.jogs.back().axis, 10);
}

TEST_F(PulseTestRun, WalksSwitchTheirBankOffFirstAndStayInTravel) {
    // West: -200 .. 0, north 0 .. 200, east -200 .. 0 at 50 pulses per mm.
    EXPECT_EQ(Run(0, 8, -4), PulseTestResult::Moved);
    EXPECT_EQ(Run(0, 8, 0.25), PulseTestResult::OutOfRange);
    EXPECT_EQ(Run(0, 10, 4), PulseTestResult::Moved);
    EXPECT_EQ(Run(0, 10, 4.5), PulseTestResult::OutOfRange);
    machine.counters[PulseCounter::EastWalk] = -100;
    EXPECT_EQ(Run(0, 12, 2), PulseTestResult::Moved);
    EXPECT_EQ(Run(0, 12, -2.5), PulseTestResult::OutOfRange);
    EXPECT_EQ(machine.calls, (std::vector<std::string>{"out 5,0,5", "jog 8", "out 6,0,5", "jog 9", "out 7,0,5",
                                                       "jog 10"}));
}

TEST_F(PulseTestRun, RotationsLiftsAndFeedDrivesAreNotChecked) {
    v.m_WestLift_Pulse = v.m_AutoWalk2_Pulse = 10;
    EXPECT_EQ(Run(0, 4, 9999), PulseTestResult::Moved);
    EXPECT_EQ(Run(0, 9, -9999), PulseTestResult::Moved);
    EXPECT_EQ(Run(0, 15, 9999), PulseTestResult::Moved);
    EXPECT_EQ(machine.calls, (std::vector<std::string>{"jog 4", "jog 11", "jog 15"}));
    EXPECT_EQ(machine.jogs[0].pulses, 99990);
}

TEST_F(PulseTestRun, SecondTableNeedsHeadGroupTwo) {
    machine.headGroup = 1;
    EXPECT_EQ(Run(4, 1, 1), PulseTestResult::NeedHeadGroup2);
    EXPECT_EQ(Run(4, 3, -1), PulseTestResult::NeedHeadGroup2);
    EXPECT_TRUE(machine.jogs.empty());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>(2, "请先将头组切换到 2 !"));
    machine.headGroup = 2;
    machine.counters[PulseCounter::X2] = 950;
    machine.counters[PulseCounter::X] = 0;
    EXPECT_EQ(Run(4, 1, 0.5), PulseTestResult::Moved); // checked on the X2 counter
    EXPECT_EQ(Run(4, 1, 0.75), PulseTestResult::OutOfRange);
    machine.counters[PulseCounter::Y2] = -990;
    EXPECT_EQ(Run(4, 3, -0.125), PulseTestResult::OutOfRange);
    EXPECT_EQ(Run(4, 3, -0.1), PulseTestResult::Moved);
    ASSERT_EQ(machine.jogs.size(), 2u);
    EXPECT_EQ(machine.jogs[0].axis, 9);
    EXPECT_EQ(machine.jogs[1].axis, 12);
    // The first table's X needs no head group.
    machine.headGroup = 1;
    EXPECT_EQ(Run(4, 0, 1), PulseTestResult::Moved);
}

TEST(PulseTestGuards, ConnectedHomedIdleInThisOrder) {
    ScriptedResponder boxes;
    FakeMachine m;
    m.connected = false;
    m.homed = false;
    m.running = true;
    EXPECT_FALSE(PulseTestMachineReady(m.Port()));
    m.connected = true;
    EXPECT_FALSE(PulseTestMachineReady(m.Port()));
    m.homed = true;
    EXPECT_FALSE(PulseTestMachineReady(m.Port()));
    m.running = false;
    EXPECT_TRUE(PulseTestMachineReady(m.Port()));
    EXPECT_FALSE(PulseTestMachineReady(PulseMachinePort{})); // nothing wired: not connected
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Machine is not connection !", "Machine is not reset !",
                                                       "Machine is runnig !", "Machine is not connection !"}));
    for (const auto& box : boxes.Seen()) EXPECT_TRUE(box.topmost);
}

// Records the re-derivations in the order they are called.
class RecordingRederivations {
public:
    explicit RecordingRederivations(int pcbIndex) {
        auto& r = TheSettingsRederivations();
        r.convertSettingsToPulses = [this] { calls.push_back("ConvertSettingsToPulses"); };
        r.recomputeLimitPulses = [this] { calls.push_back("RecomputeLimitPulses"); };
        r.buildNozzleTable = [this] { calls.push_back("BuildNozzleTable"); };
        r.applyOriginOffset = [this](double dx, double dy) {
            calls.push_back("ApplyOriginOffset " + std::to_string(dx) + " " + std::to_string(dy));
        };
        r.updateHeadOffsets = [this] { calls.push_back("UpdateHeadOffsets"); };
        r.findCurrentPcbIndex = [this, pcbIndex] {
            calls.push_back("FindPcbIndex");
            return pcbIndex;
        };
        r.convertBoardPointsToPulses = [this] { calls.push_back("ConvertBoardPointsToPulses"); };
    }
    ~RecordingRederivations() { TheSettingsRederivations() = {}; }
    std::vector<std::string> calls;
};

TEST(PulseConfirm, SavesThenRederivesInOrder) {
    TempDir dir;
    const std::string config = dir.File("config.ini");
    PulseSettings v;
    v.m_X_Pulse = 123.45678;
    // Unwired hooks are skipped.
    EXPECT_TRUE(ConfirmPulseSettings(v, 2, config));
    EXPECT_EQ(v.m_SelectAxis, 2);

    RecordingRederivations rec(0);
    // The hooks see the file already written.
    TheSettingsRederivations().convertSettingsToPulses = [&] {
        rec.calls.push_back("ConvertSettingsToPulses");
        EXPECT_EQ(plat::GetPrivateProfileString("SetPulseConfig", "m_X_Pulse", "", 512, config), "123.4568");
    };
    EXPECT_TRUE(ConfirmPulseSettings(v, 5, config));
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"ConvertSettingsToPulses", "RecomputeLimitPulses",
                                                   "BuildNozzleTable", "ApplyOriginOffset 0.000000 0.000000",
                                                   "UpdateHeadOffsets", "FindPcbIndex",
                                                   "ConvertBoardPointsToPulses"}));
    EXPECT_EQ(v.m_SelectAxis, 5);
    EXPECT_EQ(test::ProfileLines(config).size(), 13u);
}

TEST(PulseConfirm, NoCurrentPcbSkipsTheBoardPointsAndAFailedWriteIsReported) {
    TempDir dir;
    PulseSettings v;
    RecordingRederivations rec(-1);
    EXPECT_FALSE(ConfirmPulseSettings(v, 1, dir.File("missing-folder/config.ini")));
    EXPECT_EQ(v.m_SelectAxis, 1);
    EXPECT_EQ(rec.calls.back(), "FindPcbIndex");
    EXPECT_EQ(rec.calls.size(), 6u);
}

} // namespace
} // namespace smt
