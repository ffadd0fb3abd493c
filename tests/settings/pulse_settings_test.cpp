#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "platform/profile.h"
#include "settings/pulse_settings.h"
#include "settings/rederive_hooks.h"
#include "settings/version_switches.h"
#include "settings_test_util.h"

namespace smt {
namespace {

using test::ScriptedResponder;
using test::TempDir;
using Strings = std::vector<std::string>;

const DialogCaptions& Captions() { return ThePulseCaptions(); }

// A missing section gives 1 and the angle default. Under a German numeric locale
// (where installed) the file still holds "%0.4f" in the C locale, and a stored
// 0.0000 reads back as the fixed default.
TEST(PulseFactorsFile, MissingSectionThenFourDecimalsInKeyOrderAndReadBack) {
    test::GermanNumericLocale german;
    TempDir dir;
    const std::string config = dir.File("config.ini");
    PulseFactors f;
    LoadSetPulseConfig(f, config);
    const auto values = f.AsArray();
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(values[i], i == 3 ? 17.7777 : 1.0) << kPulseFactorKeys[i].key;
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
    EXPECT_EQ((std::vector<double>{back.m_A_Pulse, back.m_X_Pulse, back.m_Y_Pulse, back.m_Z_Pulse}),
              (std::vector<double>{17.7778, 11.25, 1.0, 0.5}));
    f.m_A_Pulse = 0;
    ASSERT_TRUE(SaveSetPulseConfig(f, config));
    LoadSetPulseConfig(back, config);
    EXPECT_DOUBLE_EQ(back.m_A_Pulse, 17.7777);
}

// A refusal leaves the earlier results; the generator never writes a factor.
TEST(PulseGenerator, PulleyScrewAndRefusals) {
    struct Row { int model; double angle, divisor, linear; const char* refusal; };
    const Row rows[] = {{0, 1.8, 10, 200.0 * 16 / 31.415926, nullptr}, {1, 1.8, 5, 640.0, nullptr},
                        {-1, 1.8, 10, 0, "请选择传动方式 !"}, {0, 0, 10, 0, "数值不能为 0 !"},
                        {0, 1.8, 0, 0, "数值不能为 0 !"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.model) + " " + std::to_string(r.angle) + " " + std::to_string(r.divisor));
        ScriptedResponder boxes;
        PulseSettings v;
        v.m_DriveModel = r.model;
        v.m_StepAngle = r.angle;
        v.m_SubDivide = 16;
        v.m_DiameterOrScrewPitch = r.divisor;
        v.m_LinearPulse = 3;
        v.m_AnglePulse = 4;
        EXPECT_EQ(ProducePulse(v, Captions()), r.refusal == nullptr);
        EXPECT_EQ(boxes.Texts(), r.refusal ? Strings{r.refusal} : Strings{});
        EXPECT_NEAR(v.m_LinearPulse, r.refusal ? 3.0 : r.linear, 1e-9);
        EXPECT_NEAR(v.m_AnglePulse, r.refusal ? 4.0 : 8.889, 0.0005);
        EXPECT_EQ(v.m_X_Pulse, 0.0);
    }
}

TEST(PulseCheck, CorrectedFactorAndZeroDistance) {
    ScriptedResponder boxes;
    PulseSettings v;
    v.m_X_Pulse = 80;
    v.m_Y_Pulse = 200;
    v.m_RunTest = 100;
    v.m_DistanceTest = 99.5;
    const auto list7 = PulsePickList(7);  // X, Y
    ASSERT_TRUE(VerifyPulse(v, list7[1], Captions()));
    EXPECT_DOUBLE_EQ(v.m_VerifyPulseValue, 100 * 200 / 99.5);
    ASSERT_TRUE(VerifyPulse(v, list7[0], Captions()));
    v.m_DistanceTest = 0;
    EXPECT_FALSE(VerifyPulse(v, list7[0], Captions()));
    EXPECT_DOUBLE_EQ(v.m_VerifyPulseValue, 100 * 80 / 99.5);  // kept from the last check
    EXPECT_EQ(boxes.Texts(), Strings{"数值不能为 0 !"});
    EXPECT_EQ(v.m_X_Pulse, 80.0); // the check never writes a factor
}

// The list's order is the dialog's pick index; type 4's second table uses the first table's factors.
TEST(PulsePickList, PerMachineType) {
    for (auto [type, count, editable] : {std::tuple{4, 11, "111100000000"}, {6, 9, "111100000000"},
                                         {7, 2, "111101010111"}, {0, 16, "111111111111"}, {9, 16, "111111111111"}}) {
        EXPECT_EQ(PulsePickList(type).size(), std::size_t(count)) << type;
        std::string on;
        for (bool e : PulseFactorEditable(type)) on += e ? '1' : '0';
        EXPECT_EQ(on, editable) << type;
    }
    EXPECT_EQ(PulsePickList(4)[1].motor, PulseMotor::X2);
    EXPECT_EQ(PulsePickList(4)[1].factor, &PulseFactors::m_X_Pulse);
    EXPECT_EQ(PulsePickList(4)[3].factor, &PulseFactors::m_Y_Pulse);
    EXPECT_EQ(Captions().Text(PulseMotorCaptionKey(PulseMotor::X2)), "X2 轴电机");
}

// A machine stand-in that records outputs and jogs ("jog axis direction |pulses|").
struct FakeMachine {
    int headGroup = 1;
    std::map<PulseCounter, std::int32_t> counters;
    Strings calls;
    int hold = -1;
    bool countUsed = false;

    PulseMachinePort Port() {
        PulseMachinePort p;
        p.headGroup = [this] { return headGroup; };
        p.counter = [this](PulseCounter c) { return counters[c]; };
        p.setOutput = [this](int ch, int value, int extra) {
            calls.push_back("out " + std::to_string(ch) + "," + std::to_string(value) + "," + std::to_string(extra));
        };
        p.jogAxis = [this](int axis, int dir, int h, std::int32_t pulses, bool used) {
            calls.push_back("jog " + std::to_string(axis) + " " + std::to_string(dir) + " " +
                            std::to_string(std::abs(pulses)));
            hold = h;
            countUsed = used;
        };
        return p;
    }
};

class PulseTestRun : public ::testing::Test {
protected:
    PulseTestRun() {
        v.m_X_Pulse = v.m_Z_Pulse = 100;
        v.m_Y_Pulse = 80;  // apart from X, so that a test with the other axis' factor shows
        v.m_A_Pulse = v.m_WestLift_Pulse = v.m_AutoWalk2_Pulse = 10;
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

TEST_F(PulseTestRun, EveryDriveStaysInsideItsTravel) {
    // In pulses: X 0..1000, Y -800..0, Z -500..0 for the nozzle that goes down
    // (a positive count lowers the pair's first nozzle), west and east walks
    // -200..0, north 0..200. Rotations, lifts and feed drives are not checked.
    using C = PulseCounter;
    constexpr auto Moved = PulseTestResult::Moved;
    constexpr auto Out = PulseTestResult::OutOfRange;
    struct Row { C counter; std::int32_t at; int type, index; double mm; PulseTestResult want; const char* calls; };
    const Row rows[] = {
        {C::X, 500, 0, 0, -2.5, Moved, "jog 0 0 250"},  {C::X, 500, 0, 0, 2.599, Moved, "jog 0 1 259"},
        {C::X, 0, 0, 0, 10, Moved, "jog 0 1 1000"},     {C::X, 0, 0, 0, 10.25, Out, ""},
        {C::X, 0, 0, 0, -0.25, Out, ""},                {C::X, 0, 0, 0, 0, Moved, "jog 0 1 0"},
        {C::Y, -400, 0, 1, -5, Moved, "jog 1 0 400"},   {C::Y, -400, 0, 1, -5.25, Out, ""},
        {C::Y, -400, 0, 1, 5.25, Out, ""},              {C::Y, -400, 0, 1, 5, Moved, "jog 1 1 400"},
        {C::Z1, -100, 0, 2, 4, Moved, "jog 2 1 400"},   {C::Z1, -100, 0, 2, 4.25, Out, ""},
        {C::Z2, -200, 0, 2, -3, Moved, "jog 2 0 300"},  {C::Z2, -200, 0, 2, -3.25, Out, ""},
        // Axis 3 drives nozzles 3/4, axis 10 (Z3 on types 4 and 6) nozzles 5/6.
        {C::Z3, -500, 0, 3, 0.01, Out, ""},             {C::Z5, -450, 6, 4, 0.5, Moved, "jog 10 1 50"},
        {C::Z5, -450, 6, 4, 0.75, Out, ""},             {C::Z6, -500, 4, 6, -0.01, Out, ""},
        // A walk switches its feeder bank off first.
        {C::WestWalk, 0, 0, 8, -4, Moved, "out 5,0,5 jog 8 0 200"}, {C::WestWalk, 0, 0, 8, 0.25, Out, ""},
        {C::NorthWalk, 0, 0, 10, 4, Moved, "out 6,0,5 jog 9 1 200"}, {C::NorthWalk, 0, 0, 10, 4.5, Out, ""},
        {C::EastWalk, -100, 0, 12, 2, Moved, "out 7,0,5 jog 10 1 100"}, {C::EastWalk, -100, 0, 12, -2.5, Out, ""},
        {C::X, 0, 0, 4, 9999, Moved, "jog 4 1 99990"},  {C::X, 0, 0, 9, -9999, Moved, "jog 11 0 99990"},
        {C::X, 0, 0, 15, 9999, Moved, "jog 15 1 99990"}};
    for (const Row& r : rows) {
        SCOPED_TRACE("type " + std::to_string(r.type) + " index " + std::to_string(r.index) + " " +
                     std::to_string(r.mm));
        machine.counters[r.counter] = r.at;
        machine.calls.clear();
        boxes.Clear();
        EXPECT_EQ(Run(r.type, r.index, r.mm), r.want);
        std::string calls;
        for (const auto& c : machine.calls) calls += (calls.empty() ? "" : " ") + c;
        EXPECT_EQ(calls, r.calls);
        EXPECT_EQ(boxes.Texts(), r.want == Out ? Strings{"测试的数据越限 !"} : Strings{});
    }
    EXPECT_EQ(machine.hold, 0);
    EXPECT_TRUE(machine.countUsed);
}

TEST_F(PulseTestRun, SecondTableNeedsHeadGroupTwo) {
    machine.headGroup = 1;
    EXPECT_EQ(Run(4, 1, 1), PulseTestResult::NeedHeadGroup2);
    EXPECT_EQ(Run(4, 3, -1), PulseTestResult::NeedHeadGroup2);
    EXPECT_TRUE(machine.calls.empty());
    EXPECT_EQ(boxes.Texts(), Strings(2, "请先将头组切换到 2 !"));
    machine.headGroup = 2;
    machine.counters[PulseCounter::X2] = 950;
    machine.counters[PulseCounter::X] = 0;
    EXPECT_EQ(Run(4, 1, 0.5), PulseTestResult::Moved); // checked on the X2 counter
    EXPECT_EQ(Run(4, 1, 0.75), PulseTestResult::OutOfRange);
    machine.counters[PulseCounter::Y2] = -790;  // Y's factor and travel: -800 pulses
    EXPECT_EQ(Run(4, 3, -0.15), PulseTestResult::OutOfRange);
    EXPECT_EQ(Run(4, 3, -0.125), PulseTestResult::Moved);
    EXPECT_EQ(machine.calls, (Strings{"jog 9 1 50", "jog 12 0 10"}));
    // The first table's X needs no head group.
    machine.headGroup = 1;
    EXPECT_EQ(Run(4, 0, 1), PulseTestResult::Moved);
}

// Records the re-derivations in the order they are called.
class RecordingRederivations {
public:
    explicit RecordingRederivations(int pcbIndex) {
        auto& r = TheSettingsRederivations();
        auto record = [this](const char* name) { return [this, name] { calls.push_back(name); }; };
        r.convertSettingsToPulses = record("ConvertSettingsToPulses");
        r.recomputeLimitPulses = record("RecomputeLimitPulses");
        r.buildNozzleTable = record("BuildNozzleTable");
        r.applyOriginOffset = [this](double dx, double dy) {
            calls.push_back("ApplyOriginOffset " + std::to_string(dx) + " " + std::to_string(dy));
        };
        r.updateHeadOffsets = record("UpdateHeadOffsets");
        r.findCurrentPcbIndex = [this, pcbIndex] { return calls.push_back("FindPcbIndex"), pcbIndex; };
        r.convertBoardPointsToPulses = record("ConvertBoardPointsToPulses");
    }
    ~RecordingRederivations() { TheSettingsRederivations() = {}; }
    Strings calls;
};

TEST(PulseConfirm, SavesThenRederivesInOrderAndReportsAFailedWrite) {
    TempDir dir;
    const std::string config = dir.File("config.ini");
    PulseSettings v;
    v.m_X_Pulse = 123.45678;
    EXPECT_TRUE(ConfirmPulseSettings(v, 2, config));  // unwired hooks are skipped
    EXPECT_EQ(v.m_SelectAxis, 2);
    {
        RecordingRederivations rec(0);
        TheSettingsRederivations().convertSettingsToPulses = [&] {
            rec.calls.push_back("ConvertSettingsToPulses");  // sees the file already written
            EXPECT_EQ(plat::GetPrivateProfileString("SetPulseConfig", "m_X_Pulse", "", 512, config), "123.4568");
        };
        EXPECT_TRUE(ConfirmPulseSettings(v, 5, config));
        EXPECT_EQ(rec.calls, (Strings{"ConvertSettingsToPulses", "RecomputeLimitPulses", "BuildNozzleTable",
                                      "ApplyOriginOffset 0.000000 0.000000", "UpdateHeadOffsets", "FindPcbIndex",
                                      "ConvertBoardPointsToPulses"}));
        EXPECT_EQ(v.m_SelectAxis, 5);
        EXPECT_EQ(test::ProfileLines(config).size(), 13u);
    }
    // No current PCB skips the board points; the hooks still run after a failed write.
    RecordingRederivations rec(-1);
    EXPECT_FALSE(ConfirmPulseSettings(v, 1, dir.File("missing-folder/config.ini")));
    EXPECT_EQ(v.m_SelectAxis, 1);
    EXPECT_EQ(rec.calls.size(), 6u);
    EXPECT_EQ(rec.calls.back(), "FindPcbIndex");
}

TEST(VersionSwitches, MissingSectionGivesZerosAndSaveWritesEveryKeyInOrder) {
    test::TempDir dir;
    const std::string config = dir.File("config.ini");
    VersionSwitches v{1, 1, 1, 1, 1};
    LoadCpuVersionConfig(v, config);
    EXPECT_EQ(v, (VersionSwitches{0, 0, 0, 0, 0}));

    v = {1, 0, 1, 0, 1};
    ASSERT_TRUE(SaveCpuVersionConfig(v, config));
    EXPECT_EQ(test::ProfileLines(config),
              (std::vector<std::string>{"[CPUVersionNumberConfig]", "m_V2_04=1", "m_V2_05=0", "m_V2_06=1",
                                        "m_V2_07=0", "m_Write_Logfile=1"}));
    VersionSwitches back;
    LoadCpuVersionConfig(back, config);
    EXPECT_EQ(back, v);
}

} // namespace
} // namespace smt
