#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "../link/sim_fixture.h"
#include "base/numtext.h"
#include "link/homing.h"
#include "platform/profile.h"
#include "machine_ops/basic_teach.h"
#include "settings/pulse_settings.h"
#include "settings/rederive_hooks.h"
#include "../settings/settings_test_util.h"

namespace {

using smt::BasicTeachText;
using smt::TeachInputs;
using smt::test::FeedOperationTest;
using smt::test::TempDir;

TeachInputs Inputs(double xf = 1000, double yf = 1000, double zf = 400) {
    TeachInputs in;
    in.xPulse = xf;
    in.yPulse = yf;
    in.zPulse = zf;
    return in;
}

// Counter values in millimetres are shown moved away from zero by 0.0001.
TEST(BasicTeach, CounterValuesAndOffsetsAgainstTheReference) {
    TeachInputs in = Inputs();
    in.pos.x = 12345;
    in.pos.z[1] = -5000;
    in.pos.z[0] = -800;
    EXPECT_EQ(BasicTeachText(1024, in), "12.3451");   // discard X
    EXPECT_EQ(BasicTeachText(1245, in), "-12.5001");  // nozzle 2 height
    EXPECT_EQ(BasicTeachText(1246, in), "-2.0001");   // nozzle 1 over the table
    in.pos.x = 0;
    EXPECT_EQ(BasicTeachText(1024, in), "0.0000");

    in = Inputs(100, 200);
    in.refX = in.pos.x = 5000;
    in.refY = in.pos.y = -3000;
    for (int id : {1237, 1238, 1239, 1099, 1114, 1243, 1253, 1014, 1015, 1033, 1040, 1098, 1058, 1119})
        EXPECT_EQ(BasicTeachText(id, in), "0.0000") << id;
    in.pos.x = 6000;   // travelled +10 mm: the offset shows -10
    in.pos.y = -2000;  // travelled +5 mm
    EXPECT_EQ(BasicTeachText(1237, in), "-10.0001");
    EXPECT_EQ(BasicTeachText(1014, in), "-5.0001");
    EXPECT_EQ(BasicTeachText(1018, in), "-10.0001");  // mark camera X
    in.refX = 0;  // without a reference the offset is the negated position
    EXPECT_EQ(BasicTeachText(1243, in), "-60.0001");
}

TEST(BasicTeach, TableDistanceAndCameraRows) {
    TeachInputs in = Inputs(1000, 200);
    in.refX2 = 100;
    in.refY = -400;
    in.pos.x2 = 2100;
    in.pos.y2 = -1400;
    EXPECT_EQ(BasicTeachText(1242, in), "2.0001");   // (X2 - refX2) / XF
    EXPECT_EQ(BasicTeachText(1053, in), "-5.0001");  // (Y2 - refY) / YF

    // The camera rows add the confirmed camera offset, truncated to pulses.
    in.cameraX = 10.00005;  // 10000.05 pulses -> 10000
    in.pos.x = 2345;
    in.cameraY = -5.5;  // -1100 pulses
    in.pos.y = -200;
    for (auto [id, text] : {std::pair{1078, "12.3451"}, {1091, "12.3451"}, {1080, "-6.5001"}, {1093, "-6.5001"}})
        EXPECT_EQ(BasicTeachText(id, in), text) << id;
    in.cameraY = 5.5;
    in.pos.y = -1100;
    EXPECT_EQ(BasicTeachText(1080, in), "0.0000");

    EXPECT_EQ(smt::VisualOriginOffsetText("12.5", 10.25), "2.2500");
    EXPECT_EQ(smt::VisualOriginOffsetText("10.25", 10.25), "0.0000");
    EXPECT_EQ(smt::VisualOriginOffsetText("abc", 1.5), "-1.5000");
}

TEST(BasicTeach, DispensingHeightByMachineType) {
    TeachInputs in = Inputs(1000, 1000, 100);
    for (int n = 0; n < 8; ++n) in.pos.z[n] = -(n + 1) * 100;  // nozzle n at -n mm
    const char* expected[] = {"0.0000",  "-2.0001", "-2.0001", "-4.0001", "-4.0001",
                              "-2.0001", "-4.0001", "-8.0001", "0.0000",  "0.0000"};
    for (int type = 0; type < 10; ++type) {
        in.machineType = type;
        EXPECT_EQ(BasicTeachText(smt::kTeachDispensingHeight, in), expected[type]) << "type " << type;
    }
}

TEST(BasicTeach, TypeFourFollowsTheActiveTable) {
    TeachInputs in = Inputs(100, 100);
    in.machineType = 4;
    in.refX = 1000;
    in.refY = -1000;
    in.pos.x = 500;
    in.pos.x2 = 300;
    in.pos.y = -1500;
    in.pos.y2 = -2000;
    struct Row { int id; std::array<const char*, 3> texts; };  // active table 1, 2, 3
    const Row rows[] = {
        {1026, {"-15.0001", "-20.0001", "0.0000"}},  // discard Y: Y, Y2
        {1020, {"5.0001", "10.0001", "0.0000"}},     // camera Y: refY - Y, refY - Y2
        {1045, {"5.0001", "10.0001", "0.0000"}},     // nozzle 6 Y
        {1027, {"5.0001", "-10.0001", "0.0000"}},    // nozzle 5 Y: table 2 is Y2 - refY
        {1018, {"7.0001", "7.0001", "7.0001"}},      // camera X: refX - X2 on every table
        {1240, {"7.0001", "7.0001", "7.0001"}},
        {1241, {"7.0001", "7.0001", "7.0001"}},
        {1237, {"5.0001", "5.0001", "5.0001"}},      // nozzle 2 X: the first table
    };
    for (const Row& r : rows)
        for (int table = 1; table <= 3; ++table) {
            in.activeTable = table;
            EXPECT_EQ(BasicTeachText(r.id, in), r.texts[table - 1]) << r.id << " table " << table;
        }
    // Other types ignore the table.
    in.machineType = 3;
    EXPECT_EQ(BasicTeachText(1026, in), "-15.0001");
    EXPECT_EQ(BasicTeachText(1018, in), "5.0001");
}

TEST(BasicTeach, FortyButtonsEachOnItsOwnField) {
    std::set<int> ids;
    std::set<std::string> fields, known;
    for (const auto& f : smt::BasicSettingFields()) known.insert(f.key);
    for (const auto& b : smt::BasicTeachButtons())
        EXPECT_TRUE(known.contains(b.field) && ids.insert(b.id).second && fields.insert(b.field).second) << b.id;
    EXPECT_EQ(ids.size(), 40u);
    EXPECT_EQ(smt::FindBasicTeachButton(9999), nullptr);
}

// Type 7 keeps every nozzle and only loses the drag-feed and type-4 fields; 8 and 9 lose nothing.
TEST(BasicDialogRules, DisabledFieldsPerMachineType) {
    EXPECT_EQ(smt::BasicDisabledFields(7), (std::vector<std::string>{"m_ChangeDelay", "m_FeedOverBack",
                                                                     "m_Nozzle2MoreNozzle1", "m_X_Y2ToY1",
                                                                     "m_Y_Y2ToY1"}));
    EXPECT_TRUE(smt::BasicDisabledFields(8).empty());
    EXPECT_TRUE(smt::BasicDisabledFields(9).empty());
    // The dispensing head's fields: disabled on type 6 (no head), its height on type 4 too.
    for (int type = 0; type <= 9; ++type) {
        EXPECT_EQ(smt::BasicFieldDisabled(type, "m_X_DropsGlueToNozzle1"), type == 6) << type;
        EXPECT_EQ(smt::BasicFieldDisabled(type, "m_Z_DropsGlueToPCBHeight"), type == 4 || type == 6) << type;
        EXPECT_FALSE(smt::BasicFieldDisabled(type, "m_Z_Nozzle1ToFeed")) << type;
    }
}

TEST(BasicDialogRules, OpeningZeroesTypeFourOffsetsAndKeepsOnlineResetOverDebug) {
    smt::BasicSettings s;
    s.m_Y_Nozzle2ToNozzle1 = 1;
    s.m_Y_Nozzle3ToNozzle1 = 2;
    s.m_Y_Nozzle4ToNozzle1 = 3;
    s.m_ResetToVisualOrigin = s.m_OnlineToReset = s.m_DebugModel = 1;
    EXPECT_FALSE(smt::ZeroTypeFourOffsets(s, 3));
    EXPECT_EQ(s.m_Y_Nozzle3ToNozzle1, 2);
    EXPECT_EQ(s.m_ResetToVisualOrigin, 1);
    smt::MarkBasicDialogOpen(s);
    EXPECT_TRUE(s.m_bDialogOpen);
    EXPECT_EQ(s.m_DebugModel, 0);
    s.m_OnlineToReset = 0;
    s.m_DebugModel = 1;
    smt::MarkBasicDialogOpen(s);
    EXPECT_EQ(s.m_DebugModel, 1);
    EXPECT_TRUE(smt::ZeroTypeFourOffsets(s, 4));
    EXPECT_EQ((std::vector<double>{s.m_Y_Nozzle2ToNozzle1, s.m_Y_Nozzle3ToNozzle1, s.m_Y_Nozzle4ToNozzle1,
                                   double(s.m_ResetToVisualOrigin)}),
              (std::vector<double>{0, 0, 0, 0}));
    smt::CloseBasicDialog(s);
    EXPECT_FALSE(s.m_bDialogOpen);
}

TEST(BasicConfirm, OkSavesThenRecomputesThenReloadsTheLens) {
    TempDir dir;
    const std::string config = dir.File("config.ini");
    std::vector<std::string> calls;
    auto& r = smt::TheSettingsRederivations();
    r.recomputeLimitPulses = [&] {
        // The file is written before anything is re-derived from it.
        calls.push_back("limits:" + plat::GetPrivateProfileString("SetBasicConfig", "m_X_Limit", "", 512, config));
    };
    r.convertSettingsToPulses = [&] { calls.push_back("pulses"); };
    r.updateHeadOffsets = [&] { calls.push_back("heads"); };
    smt::TheLensCalibrationPort().load = [&](const std::string& path) {
        calls.push_back("lens:" + path.substr(path.rfind('/') + 1));
        return false;
    };
    smt::TheBasicOkPort().setPanelCalibrator2 = [&](bool on) { calls.push_back(on ? "panel:1" : "panel:0"); };

    smt::BasicSettings s;
    s.m_X_Limit = 400;
    s.m_Calibrator2 = s.m_CameraLens = 1;
    EXPECT_EQ(smt::ConfirmBasicSettings(s, 0, dir.Path()), smt::BasicOkOutcome::Saved);
    EXPECT_EQ(calls, (std::vector<std::string>{"limits:400.0000", "pulses", "heads",
                                               "lens:cameraCalibrate_data6mm.xml", "panel:0"}));
    // No calibration loaded: the file keeps the operator's choice, memory clears it.
    EXPECT_EQ(plat::GetPrivateProfileString("SetBasicConfig", "m_Calibrator2", "", 512, config), "1");
    EXPECT_EQ(s.m_Calibrator2, 0);

    smt::TheSettingsRederivations() = {};
    smt::TheLensCalibrationPort() = {};
    smt::TheBasicOkPort() = {};
}

// ---- AutoZ and the measured height ----

class BasicMeasureTest : public FeedOperationTest {
protected:
    BasicMeasureTest() { smt::g_Connected = smt::g_Homed = true; }
    ~BasicMeasureTest() override { smt::ReferenceHeightSink().Remove(); }
};

TEST_F(BasicMeasureTest, GuardsInOrderThenTheClaimGoesToTheWorker) {
    smt::g_PulseZ[4] = 10;  // nozzle 5 away from zero, on any machine type
    smt::g_Running = true;
    smt::g_Connected = smt::g_Homed = false;
    EXPECT_FALSE(smt::StartReferenceMeasurement());
    smt::g_Connected = true;
    EXPECT_FALSE(smt::StartReferenceMeasurement());
    smt::g_Homed = true;
    EXPECT_FALSE(smt::StartReferenceMeasurement());
    smt::g_Running = false;
    EXPECT_FALSE(smt::StartReferenceMeasurement());
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Machine is not connection !", "Machine is not reset !",
                                                       "Machine is runnig !", "Error E3 !"}));
    for (const auto& b : boxes.Seen()) EXPECT_TRUE(b.topmost);
    EXPECT_TRUE(codes.empty());
    EXPECT_FALSE(smt::g_Running.load());  // the E3 refusal gave the claim back

    boxes.Clear();
    smt::g_PulseZ[4] = 0;
    EXPECT_TRUE(smt::StartReferenceMeasurement());
    EXPECT_EQ(codes, std::vector<int>{-1});
    EXPECT_TRUE(runningWhileStarted);
    // A second press while the worker runs is refused.
    EXPECT_FALSE(smt::StartReferenceMeasurement());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Machine is runnig !"});
    held.Release();  // the worker ends
    EXPECT_FALSE(smt::g_Running.load());
    // No worker installed: nothing starts and the machine stays idle.
    smt::TheFeedOperationPort() = {};
    EXPECT_FALSE(smt::StartReferenceMeasurement());
    EXPECT_FALSE(smt::g_Running.load());
}

TEST_F(BasicMeasureTest, TwoStartersAtOnceStartOneWorker) {
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] {
            while (!go) std::this_thread::yield();
            smt::StartReferenceMeasurement();
        });
    go = true;
    for (auto& t : threads) t.join();
    EXPECT_EQ(codes.size(), 1u);  // the worker keeps running until the test ends
    EXPECT_EQ(boxes.Count(), 3u);
}

} // namespace

// ---- taught from the simulated machine and saved ----

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
    ThePulseFactors().m_Y_Pulse = 800;  // apart from X, so that a swapped factor shows
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
    EXPECT_EQ(BasicTeachText(1020, in), "6.2501");  // (-1000 - -6000) / 800
    EXPECT_EQ(BasicTeachText(1244, in), "-2.0001");
    EXPECT_EQ(BasicTeachText(1024, in), "14.3451");

    BasicSettings& s = TheBasicSettings();
    s.m_X_CameraToNozzle1 = AtoF(BasicTeachText(1018, in));
    s.m_Y_CameraToNozzle1 = AtoF(BasicTeachText(1020, in));
    s.m_Z_Nozzle1ToFeed = AtoF(BasicTeachText(1244, in));
    ASSERT_EQ(ConfirmBasicSettings(s, 0, folder.Path()), BasicOkOutcome::Saved);
    const std::string config = folder.File("config.ini");
    EXPECT_EQ(plat::GetPrivateProfileString("SetBasicConfig", "m_X_CameraToNozzle1", "", 512, config), "-12.3451");
    EXPECT_EQ(plat::GetPrivateProfileString("SetBasicConfig", "m_Y_CameraToNozzle1", "", 512, config), "6.2501");
    EXPECT_EQ(plat::GetPrivateProfileString("SetBasicConfig", "m_Z_Nozzle1ToFeed", "", 512, config), "-2.0001");
}

}  // namespace
}  // namespace smt::test
