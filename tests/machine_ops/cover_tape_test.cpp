// The cover-tape unit: its settings section, the two counters saved alone, the
// ranges that keep a test from starting, and the six tests against the
// simulated machine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../link/sim_fixture.h"
#include "platform/profile.h"
#include "machine_ops/cover_tape.h"
#include "settings/speed_template.h"
#include "../settings/settings_test_util.h"

using namespace smt;
using namespace smt::test;
using Strings = std::vector<std::string>;

TEST(CoverConfig, MissingSectionSavesAllKeysAndTheCountersAlone) {
    TempDir dir;
    const std::string path = dir.File("config.ini");
    SetCoverConfig c{40, 500, 5, 10, 250, 1234, 17};
    LoadSetCoverConfig(c, path);  // no file: ones, counters zero
    EXPECT_EQ(c, (SetCoverConfig{1, 1, 1, 1, 1, 0, 0}));
    c = {40, 500, 5, 10, 250, 1234, 17};
    ASSERT_TRUE(SaveSetCoverConfig(c, path));
    plat::FlushProfileCache();
    EXPECT_EQ(ReadBytes(path),
              "[SetCoverConfig]\r\nm_StepPulse=40\r\nm_CoverTotal=500\r\nm_CoverOnceTotal=5\r\n"
              "m_BlankTotal=10\r\nm_CoverDelay=250\r\nm_CoverTotalCount=1234\r\nm_CoverCount=17\r\n");
    SetCoverConfig back;
    LoadSetCoverConfig(back, path);
    EXPECT_EQ(back, c);

    // The run's save touches only the counters, whatever the other members hold.
    SetCoverConfig changed{1, 1, 1, 1, 1, 1300, 3};
    ASSERT_TRUE(SaveCoverCounters(changed, path));
    plat::FlushProfileCache();
    EXPECT_EQ(ReadBytes(path),
              "[SetCoverConfig]\r\nm_StepPulse=40\r\nm_CoverTotal=500\r\nm_CoverOnceTotal=5\r\n"
              "m_BlankTotal=10\r\nm_CoverDelay=250\r\nm_CoverTotalCount=1300\r\nm_CoverCount=3\r\n");
    TempDir empty;
    ASSERT_TRUE(SaveCoverCounters(changed, empty.File("config.ini")));
    EXPECT_EQ(ReadBytes(empty.File("config.ini")), "[SetCoverConfig]\r\nm_CoverTotalCount=1300\r\nm_CoverCount=3\r\n");

    // A stored 0 becomes 1 for the five settings, never for the counters.
    WriteBytes(path, "[SetCoverConfig]\r\nm_CoverOnceTotal=0\r\nm_CoverCount=0\r\nm_CoverDelay=-3\r\n");
    plat::FlushProfileCache();
    LoadSetCoverConfig(back, path);
    EXPECT_EQ(back.m_CoverOnceTotal, 1);
    EXPECT_EQ(back.m_CoverCount, 0);
    EXPECT_EQ(back.m_CoverDelay, -3);  // read as stored; the range check stops a test
}

TEST(CoverValues, BlankSealCyclesMovesAndRangesInFieldOrder) {
    // {blank total, strokes, cycles}: no stroke count, no cycles (never an endless loop).
    for (auto [blank, strokes, cycles] : {std::array{10, 5, 3}, std::array{4, 5, 0}, std::array{5, 5, 2},
                                          std::array{1000, 1, 1001}, std::array{10, 0, 0}, std::array{10, -2, 0}})
        EXPECT_EQ(BlankSealCycles(blank, strokes), cycles) << blank << " " << strokes;
    EXPECT_EQ(BlankSealMovePulses(7, 5), 15);
    EXPECT_EQ(BlankSealMovePulses(-7, 2), -6);

    SetCoverConfig c;
    EXPECT_EQ(FirstBadField(CheckCoverRanges(c)), "");
    c.m_CoverOnceTotal = 0;
    c.m_CoverCount = 1001;
    EXPECT_EQ(FirstBadField(CheckCoverRanges(c)), "1007: Please enter an integer between 1 and 100.");
    c.m_CoverOnceTotal = 100;
    EXPECT_EQ(CheckCoverRanges(c)->control, 1011);
    c.m_CoverCount = 1000;
    c.m_StepPulse = 10001;
    EXPECT_EQ(CheckCoverRanges(c)->control, 1005);
}

namespace {

class CoverTests : public SimTest, public ::testing::WithParamInterface<Wire> {
protected:
    void SetUp() override {
        SimTest::SetUp();
        StartMachine(GetParam() == Wire::Serial);
        g_Homed = true;
        SpeedTypeTable manual;
        manual.m_Start_AutoWalk1 = 12;
        manual.m_Normal_AutoWalk1 = 34;
        TheSpeedTemplates().SetTable(SpeedType::Handle, manual);
        tape.Port().enableDialog = [this](bool on) {
            hooks.add(on ? "dialog on" : "dialog off");
            if (on) m_ended.Set();
        };
        tape.Port().enableButton = [this](int id, bool on) {
            hooks.add("button " + std::to_string(id) + (on ? " on" : " off"));
        };
    }
    void TearDown() override {
        TheSpeedTemplates().SetTable(SpeedType::Handle, SpeedTypeTable{});
        SimTest::TearDown();
    }
    void Run(CoverTest test, const SetCoverConfig& fields) {
        m_ended.Reset();
        ASSERT_TRUE(tape.StartTest(test, fields));
        ASSERT_EQ(m_ended.Wait(plat::Millis(30'000)), plat::WaitResult::Signalled);
        EXPECT_FALSE(g_Running.load());
    }
    // Moves as "axis:delta@start/run" and outputs as "out ch=v", in order.
    Strings Sequence(std::size_t atLeast) {
        WaitUntil([&] { return machine().Frames().size() >= atLeast; });
        Strings s;
        const bool serial = GetParam() == Wire::Serial;
        for (const auto& f : machine().Frames()) {
            if (f.code == 0x03) {
                s.push_back("out " + std::to_string(f.data[0]) + "=" + std::to_string(f.data[1]));
            } else if (f.code == 0x61) {
                const auto& d = f.data;
                std::int64_t delta = 0;
                int start = 0, run = 0;
                if (serial) {
                    delta = (std::int64_t(d[1] & 0x7F) << 24) | (d[2] << 16) | (d[3] << 8) | d[4];
                    if (d[1] & 0x80) delta = -delta;
                    start = d[5];
                    run = d[6];
                } else {
                    delta = std::int32_t(d[5] | (d[6] << 8) | (d[7] << 16) | (std::uint32_t(d[8]) << 24));
                    start = d[9];
                    run = d[13];
                }
                s.push_back(std::to_string(d[0]) + ":" + std::to_string(delta) + "@" + std::to_string(start) + "/" +
                            std::to_string(run));
            }
        }
        return s;
    }
    CoverTape tape;
    plat::Event m_ended{true, false};
};

}  // namespace

TEST_P(CoverTests, EachTestMovesOrSwitchesAndBlankSealRunsItsCycles) {
    const SetCoverConfig fields{40, 500, 5, 3, 10, 0, 0};
    for (auto test : {CoverTest::Step, CoverTest::TakeUp, CoverTest::Blank, CoverTest::Seal, CoverTest::Lock})
        Run(test, fields);
    EXPECT_EQ(Sequence(7), (Strings{"14:40@12/34", "15:40@12/34", "14:120@1/1", "out 8=1", "out 8=0", "out 9=1",
                                    "out 9=0"}));
    EXPECT_EQ(tape.Config(), fields);
    Strings ui = hooks.Calls();
    std::erase_if(ui, [](const std::string& c) { return c.rfind("dialog", 0) && c.rfind("button", 0); });
    ui.resize(std::min<std::size_t>(ui.size(), 4));
    EXPECT_EQ(ui, (Strings{"dialog off", "button 1465 off", "button 1465 on", "dialog on"}));

    // Blank total 10 at 5 strokes: three cycles; 4 blanks: none.
    machine().ClearRecords();
    Run(CoverTest::BlankSeal, SetCoverConfig{7, 1, 5, 10, 1, 0, 0});
    Strings want;
    for (int i = 0; i < 3; ++i) want.insert(want.end(), {"14:15@1/2", "14:15@1/2", "out 8=1", "out 8=0"});
    EXPECT_EQ(Sequence(want.size()), want);
    machine().ClearRecords();
    Run(CoverTest::BlankSeal, SetCoverConfig{7, 1, 5, 4, 1, 0, 0});
    EXPECT_TRUE(Sequence(0).empty());
}

TEST_P(CoverTests, FieldsOutOfRangeOrGuardsStopATest) {
    // A stroke count of 0 would loop for ever: the test does not start.
    EXPECT_FALSE(tape.StartTest(CoverTest::BlankSeal, SetCoverConfig{7, 1, 0, 10, 1, 0, 0}));
    EXPECT_EQ(boxes.Texts(), Strings{"Please enter an integer between 1 and 100."});
    EXPECT_FALSE(g_Running.load());
    EXPECT_EQ(tape.Config(), SetCoverConfig{});

    g_Homed = false;
    EXPECT_FALSE(tape.StartTest(CoverTest::Seal, SetCoverConfig{}));
    EXPECT_EQ(boxes.Texts().back(), "Machine is not reset !");
    g_Homed = true;
    g_Running = true;
    EXPECT_FALSE(tape.StartTest(CoverTest::Seal, SetCoverConfig{}));
    EXPECT_EQ(boxes.Texts().back(), "Machine is runnig !");
    g_Running = false;
    g_Connected = false;
    EXPECT_FALSE(tape.StartTest(CoverTest::Seal, SetCoverConfig{}));
    EXPECT_EQ(boxes.Texts().back(), "Machine is not connection !");
    EXPECT_TRUE(machine().Frames().empty());
}

INSTANTIATE_TEST_SUITE_P(Links, CoverTests, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);
