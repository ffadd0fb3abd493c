// Feeder resolution and placement records over a real feeder-group table: the
// head and nozzle targets as properties over every head mode, the refusals with
// their messages, the doubled and tray pockets, the record's cells and heights,
// the speed merge and the rotation.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "placement_fixture.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/part_list_texts.h"
#include "feeders/nozzle_library.h"
#include "joblist/part_list.h"
#include "joblist/smt_strategy.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "run/placement_records.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "test_support.h"
#include "vision/camera_list.h"

namespace smt::test {
namespace {

using PlacementRecords = PlacementFixture;

TEST_F(PlacementRecords, HeadAndNozzleTargetsHoldTheirRulesInEveryHeadMode) {
    const std::vector<int> hs{2, 1, 4, 4, 3, 2, 6, 7};
    for (int mode = 0; mode <= 8; ++mode)
        for (int a = 0; a <= 1; ++a)
            for (int model : {2, 3, 5, 7}) {
                if ((mode >= 3 && model != 3 && model != 7) || (mode >= 6 && model != 7)) continue;
                SCOPED_TRACE("mode " + std::to_string(mode) + " auto " + std::to_string(a) + " model " + std::to_string(model));
                g_MachineType = model;
                g_AutoNozzleChange = a;
                Strategy(mode);
                const int n = Cycle(hs);
                EXPECT_GE(n, 1);
                std::set<int> nozzles;
                for (int k = 1; k <= n; ++k) {
                    const NozzleSlot& s = g_NozzleSlots[static_cast<std::size_t>(k - 1)];
                    EXPECT_TRUE(s.headTarget >= 1 && s.headTarget <= 8);
                    if (mode == 2 || mode == 4 || mode == 7) { EXPECT_TRUE(nozzles.insert(s.nozzleTarget).second) << "slot " << k; }
                    if (a && k >= 2) { EXPECT_EQ(g_NozzleSlots[static_cast<std::size_t>(k - 2)].headTarget, k - 1); }
                }
                if (mode == 5 && !a) { EXPECT_EQ(n, 3) << "a second head-4 part closes the cycle"; }
            }
}

TEST_F(PlacementRecords, SwapRuleFiresOnlyWhenEachHeadCarriesTheOthersNozzle) {
    g_MachineType = 2, g_AutoNozzleChange = 1;
    Strategy(1);
    struct Case { int m1, m2, s1, s2; } cases[] = {{5, 3, 5, 3}, {0, 0, 3, 5}, {3, 5, 3, 5}, {5, 0, 3, 5}};
    for (const auto& c : cases) {
        g_NozzleWork[0].mountedNozzle = c.m1, g_NozzleWork[1].mountedNozzle = c.m2;
        ASSERT_EQ(Cycle({3, 5}), 2);
        EXPECT_EQ(std::pair(g_NozzleSlots[0].nozzleTarget, g_NozzleSlots[1].nozzleTarget), std::pair(c.s1, c.s2)) << c.m1 << "/" << c.m2;
    }
}

// Refusals with their message, and the bank and run-mode-2 head limits with their trace.
// E2 lies beyond the Y travel: -1251 mm is -100080 pulses at 80 per mm.
TEST_F(PlacementRecords, RefusalsAndHeadLimits) {
    for (const auto& [id, cells] : std::vector<std::pair<std::string, Cells>>{
             {"E1", {}}, {"X1", {}}, {"N1", {{14, "bogus"}}}, {"S1", {{4, "-5"}}}, {"E2", {{5, "-1251"}}}})
        feeders.push_back(Feeder(id, cells));
    Load();
    struct Case { int model, mode, runMode, block; std::string feeder; int k; bool ok; std::string message; const char* trace = nullptr; } cases[] = {
        {0, 0, 0, 0, "W99", 1, false, "Feed Index No Find"}, {0, 0, 0, 0, "X1", 1, false, "FeedDirection No Find"},
        {0, 0, 0, 0, "N1", 1, false, "FeedMode No Find"},    {0, 0, 0, 0, "W1", 0, false, "Which Feed No Find"},
        {0, 0, 0, 0, "W1", 10, false, "Which Feed No Find"}, {0, 0, 0, 0, "S1", 1, false, "Feed Pos Error !"},
        {0, 0, 0, 0, "S1", 2, false, ""},                    {0, 0, 0, 0, "E2", 1, false, "Feed Pos Error !"},
        {3, 4, 0, 1, "W3", 1, false, "", "A3 & A4 Limit !"}, {3, 4, 0, 1, "E1", 1, false, "", "A1 & A2 Limit !"},
        {3, 4, 0, 0, "W3", 1, true, ""},                     {3, 4, 0, 1, "W2", 1, true, ""},
        {2, 2, 2, 0, "W2", 1, false, ""},                    {3, 4, 2, 0, "W4", 1, false, ""},
        {3, 4, 2, 0, "W3", 1, true, ""},                     {7, 4, 2, 0, "W8", 1, false, ""},
        {7, 4, 2, 0, "W7", 1, true, ""},                     {6, 4, 2, 0, "W4", 1, true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.feeder + " k " + std::to_string(c.k) + " model " + std::to_string(c.model));
        ScriptedResponder boxes;
        g_MachineType = c.model;
        Strategy(c.mode, c.runMode, c.block);
        ResetCycle();
        EXPECT_EQ(FindFeederForPart(0, c.feeder, c.k), c.ok);
        EXPECT_EQ(boxes.Texts(), c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
        if (c.trace) { EXPECT_EQ(trace.back(), c.trace); }
    }
    EXPECT_FALSE(FindFeederDirection(0, "X1"));
    EXPECT_TRUE(FindFeederDirection(0, "W3"));
    EXPECT_EQ(g_NozzleSlots[kLampSlot].feederNumber, 3);
}

TEST_F(PlacementRecords, DoubledAndTrayPocketsAdvanceWithEveryRecord) {
    feeders.push_back(Feeder("N9", {{14, "0402"}, {18, "0"}}));
    feeders.push_back(Feeder("N8", {{14, "0402"}, {18, "1"}, {5, "-0.5"}}));
    feeders.push_back(Feeder("G2", {{14, "托盘"}}));
    feeders.push_back(Feeder("G3", {{14, "托盘"}, {4, "999.5"}}));
    feeders.push_back(Feeder("N7", {{14, "48"}, {18, "0"}}));
    const std::string pockets = "Yes/1\tYes/1\tYes/2\tYes/3\tYes/4\t";
    trays[10] = {"0\t5\t0\t0\t2.0000\t3.0000\t"};
    trays[11] = {"1\t5\t0\t0\t2.0000\t3.0000\t", pockets};
    Load();
    Strategy(0);
    // Two slots on one feeder: the second checks the pocket after the first one's,
    // which lies beyond the X travel (tray G3; mode 4 N8 on its base pocket at the
    // Y limit, its offset pocket beyond it).
    ResetCycle();
    EXPECT_TRUE(FindFeederForPart(0, "N8", 1));
    EXPECT_FALSE(FindFeederForPart(0, "N8", 2));
    g_SmtHeadCount = 2;
    ResetCycle();
    EXPECT_TRUE(FindFeederForPart(0, "G3", 1));
    EXPECT_FALSE(FindFeederForPart(0, "G3", 2));
    // A tray without pockets keeps its counters and says so.
    ScriptedResponder boxes;
    ASSERT_TRUE(FindFeederForPart(0, "G2", 1));
    ASSERT_TRUE(BuildPlacementRecord(0, 1));
    ASSERT_TRUE(BuildPlacementRecord(0, 1));
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{kGridNotFoundText, kGridNotFoundText}));
    const auto t = TheFeedGroupTable().CopyTray(0, "G2");
    EXPECT_EQ(t->currentRow, 0);
    EXPECT_EQ(t->currentColumn, 0);
    // North bank: mode 4 (N9) takes the offset pocket (Y + 2), then the base one;
    // mode 5 (N7) doubles (Y - 4) only when both nozzles pick from one feeder, not
    // with another feeder on nozzle 2 nor for the spare.
    struct Pair { std::string first, second; int k; std::vector<double> y; } pairs[] = {
        {"N9", "", 1, {-48, -50, -48}}, {"N7", "N7", 2, {-50, -54, -50, -54}}, {"N7", "W2", 1, {-50, -50}}, {"N7", "", 9, {-50, -50}},
    };
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.first + " " + p.second + " " + std::to_string(p.k));
        ResetCycle();
        ASSERT_TRUE(FindFeederForPart(0, p.first, p.k == 9 ? 9 : 1));
        if (!p.second.empty()) { ASSERT_TRUE(FindFeederForPart(0, p.second, 2)); }
        std::vector<double> y;
        for (std::size_t i = 0; i < p.y.size(); ++i) {
            const int k = p.k == 2 ? static_cast<int>(i % 2) + 1 : p.k;
            ASSERT_TRUE(BuildPlacementRecord(0, k));
            y.push_back(g_NozzleWork[static_cast<std::size_t>(k - 1)].pickY);
        }
        EXPECT_EQ(y, p.y);
    }
}

TEST_F(PlacementRecords, RecordCellsHeightsAndSpeeds) {
    feeders.push_back(Feeder("S5", {{8, "1.5"}, {9, "90.7"}, {11, "40"}, {12, "Yes/Camera 2"}, {13, "No/7/99"},
                                    {22, "0"}, {24, "0"}, {25, "12x"}, {27, "5"}, {28, ""}, {29, "300"}}));
    feeders.push_back(Feeder("S6", {{12, "No/Camera 1"}, {13, "Yes/0/60"}, {22, "2"}, {24, "0.5"}, {25, "07"},
                                    {23, "Yes/nothing such"}}));
    Load();
    BasicSettings& b = TheBasicSettings();
    b.m_Z_Nozzle1ToFeed = 10, b.m_Z_Nozzle2ToFeed = 11, b.m_Z_Nozzle1ToPCBHeight = 20, b.m_Z_closeVacuum = 1;
    g_MachineType = 2;
    // Camera, kind, angle, vacuum, vision type, fly values, precisions, collect time.
    const char* noTemplate = "no find speed template !";
    struct Case { std::string feeder; int a; std::vector<int> values; double vacuumOffZ; const char* message; } cases[] = {
        {"S5", 0, {2, 1, 90, 40, 0, 7, 99, 5, -1, 300}, 22.5, nullptr}, {"S6", 0, {1, 2, 0, 0, 7, 0, 60, -1, -1, -1}, 20.5, noTemplate},
        {"S5", 1, {2, 1, 90, 33, 0, 7, 99, 5, -1, 300}, 16.5, nullptr}, {"S6", 1, {1, 2, 0, 33, 7, 0, 60, -1, -1, -1}, 14.5, noTemplate},
    };
    g_NozzleTable[2].pickHeight = 4, g_NozzleTable[2].vacuum = 33;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.feeder + " auto " + std::to_string(c.a));
        ScriptedResponder boxes;
        g_AutoNozzleChange = c.a;
        Strategy(0);
        ResetCycle();
        ASSERT_TRUE(FindFeederForPart(0, c.feeder, 1));
        if (c.a) g_NozzleSlots[0].nozzleTarget = 3;
        ASSERT_TRUE(BuildPlacementRecord(0, 1));
        const PlacementRecord& r = g_NozzleWork[0];
        EXPECT_EQ((std::vector<int>{r.visionCamera, r.visionKind, static_cast<int>(r.feederAngle), r.vacuum, r.visionType, r.flyValue1,
                                    r.flyValue2, r.precisionXY, r.precisionA, r.collectTime}),
                  c.values);
        EXPECT_DOUBLE_EQ(r.vacuumOffZ, c.vacuumOffZ);
        EXPECT_EQ(boxes.Texts(), c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    }
}

// The heights table: N1 10, N2 11, library pick height P 4, board height 20.
TEST_F(PlacementRecords, HeightsFollowTheHeadModeAndTheLibraryNozzle) {
    feeders.push_back(Feeder("S7", {{22, "0"}}));
    feeders.push_back(Feeder("S8", {{22, "3"}}));
    Load();
    BasicSettings& b = TheBasicSettings();
    b.m_Z_Nozzle1ToFeed = 10, b.m_Z_Nozzle2ToFeed = 11, b.m_Z_Nozzle1ToPCBHeight = 20;
    g_NozzleTable[2].pickHeight = 4;
    g_MachineType = 7;
    struct Case { std::vector<int> modes; int a, head; std::string feeder; double pickZ, placeZ; } cases[] = {
        {{0, 2, 4, 5, 7, 8}, 0, 1, "S7", 10, 20}, {{0, 2, 4, 5, 7, 8}, 0, 1, "S8", 3, 20},
        {{0, 2, 4, 5, 7, 8}, 0, 2, "S7", 11, 21}, {{0, 2, 4, 5, 7, 8}, 0, 2, "S8", 3, 21},
        {{1, 3, 6}, 0, 1, "S7", 10, 20},          {{1, 3, 6}, 0, 2, "S7", 11, 21},
        {{1, 3, 6}, 0, 2, "S8", 4, 21},           {{0, 2}, 1, 1, "S7", 4, 14},
        {{0, 2}, 1, 2, "S8", 3, 14},              {{1, 3, 6}, 1, 1, "S7", 4, 14},
        {{1, 3, 6}, 1, 2, "S7", 5, 15},           {{1, 3, 6}, 1, 2, "S8", 4, 15},
    };
    for (const auto& c : cases)
        for (int mode : c.modes) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " auto " + std::to_string(c.a) + " head " + std::to_string(c.head) + " " + c.feeder);
            ScriptedResponder boxes;
            g_AutoNozzleChange = c.a;
            Strategy(mode);
            ResetCycle();
            ASSERT_TRUE(FindFeederForPart(0, c.feeder, 1));
            g_NozzleSlots[0].headTarget = c.head, g_NozzleSlots[0].nozzleTarget = c.a ? 3 : c.head;
            ASSERT_TRUE(BuildPlacementRecord(0, 1));
            EXPECT_DOUBLE_EQ(g_NozzleWork[0].pickZ, c.pickZ);
            EXPECT_DOUBLE_EQ(g_NozzleWork[0].placeZ, c.placeZ);
        }
}

TEST_F(PlacementRecords, PairTravelsAtTheSlowerSpeedsAndRotationFoldsOnce) {
    PlacementRecord fast, slow;
    for (std::size_t i = 0; i < kSpeedBlockValues; ++i) fast.speeds[i] = 50 + static_cast<int>(i), slow.speeds[i] = 10;
    PlacementRecord a = fast, b = slow;
    MergePairSpeeds(a, b);
    EXPECT_EQ(b.speeds, slow.speeds);
    for (std::size_t i = 0; i < kSpeedBlockValues; ++i) EXPECT_EQ(a.speeds[i], i < 16 ? fast.speeds[i] : 10) << i;
    a = fast, b = slow;
    MergePairSpeeds(b, a);
    EXPECT_EQ(a.speeds[20], 10);
    struct Case { double feeder, place; int model; double delta; } cases[] = {
        {270, 0, 0, -90}, {0, 190, 0, 170}, {0, -180, 0, 180}, {10, 30, 4, -30}, {0, 270, 4, -270},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(RotationDelta(c.feeder, c.place, c.model), c.delta);
}

TEST_F(PlacementRecords, RotationTargetsTakeTheCameraAngleOffset) {
    std::vector<JobRow> rows(2, JobRow(kPartCells));
    rows[0].cells[3] = "10", rows[1].cells[3] = "-100";
    ThePartList().SetRows(JobList::Part, rows);
    std::vector<CameraCells> cameras;
    CameraEditValues v;
    for (const double angle : {1.5, 2.5})
        v.m_CameraName = angle < 2 ? kCameraName1 : kCameraName2, v.angle = angle, cameras.push_back(CellsFromEditValues(v));
    TheCameraList().SetRows(cameras);
    for (int i = 0; i < 2; ++i) TheCameraList().RefreshRecordAt(i, cameras[static_cast<std::size_t>(i)], 100, 100);
    CameraListSettings cs = TheCameraList().Settings();
    cs.m_Correct_A = 3;
    TheCameraList().SetSettings(cs);
    Strategy(2);
    struct Case { int model; double second; } cases[] = {{5, 100 - 3}, {2, 100 - 2.5}};
    for (const auto& c : cases) {
        g_MachineType = c.model;
        g_NozzleWork = {};
        PlacementRecord& a = g_NozzleWork[0];
        PlacementRecord& b = g_NozzleWork[1];
        a.row = 0, a.head = 1, a.visionKind = 2, a.visionCamera = 1;
        b.row = 1, b.head = 2, b.visionKind = 2, b.visionCamera = 2;
        LogPlacement();
        EXPECT_DOUBLE_EQ(a.rotationDelta, -11.5);
        EXPECT_EQ(g_RotationTarget[0].load(), -115);
        EXPECT_DOUBLE_EQ(b.rotationDelta, c.second) << c.model;
        LogReplenishPlacement(b);
        EXPECT_EQ(g_RotationTarget[0].load(), 0);
        EXPECT_EQ(g_RotationTarget[1].load(), ToPulses(100 - 2.5, 10));
    }
    TheCameraList().FreeTable();
    TheCameraList().SetSettings({});
    ThePartList().SetRows(JobList::Part, {});
}

} // namespace
} // namespace smt::test
