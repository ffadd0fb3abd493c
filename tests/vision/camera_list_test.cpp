// The camera table: the three row layouts of the file, the records in pulses, the
// CameraListConfig section and the origin shift.
#include <gtest/gtest.h>

#include <clocale>

#include "base/numtext.h"
#include "base/tablefile.h"
#include "platform/profile.h"
#include "world.h"
#include "test_support.h"
#include "vision/camera_list.h"

namespace smt {
namespace {

std::string Line(int cells, const std::string& tail = "") {
    std::string s;
    for (int i = 0; i < cells; ++i) s += "c" + std::to_string(i) + "\t";
    return s + tail;
}

TEST(CameraTable, RowLayoutsFollowTheFirstLine) {
    struct Case {
        int firstCells;
        std::vector<std::pair<int, std::string>> expect;  // index, text ("" = empty)
    } cases[] = {
        {28, {{0, "c0"}, {21, "c21"}, {27, "c27"}}},
        // four heads: 11, 12 -> 19, 20; the later of 13, 14 in 21; 15..20 -> 22..27
        {21, {{10, "c10"}, {11, ""}, {18, ""}, {19, "c11"}, {20, "c12"}, {21, "c14"}, {22, "c15"}, {27, "c20"}}},
        // one head: 0..4 in place, 5..13 -> 19..27, the 15th cell dropped
        {15, {{4, "c4"}, {5, ""}, {19, "c5"}, {27, "c13"}}},
    };
    for (const Case& c : cases) {
        const auto rows = ParseCameraRows({Line(c.firstCells, "trailing"), Line(40)});
        ASSERT_EQ(rows.size(), 2u);
        for (const auto& [index, text] : c.expect) EXPECT_EQ(rows[0][index], text) << c.firstCells << " @" << index;
        // A later line is cut by the first line's layout, never past the last cell.
        const auto again = ParseCameraRows({Line(c.firstCells)});
        EXPECT_EQ(rows[1][c.expect.back().first], again[0][c.expect.back().first]);
    }
    EXPECT_TRUE(ParseCameraRows({}).empty());
    EXPECT_EQ(BuildCameraLines(ParseCameraRows({Line(28)})), std::vector<std::string>{Line(28)});
}

CameraCells Row(const std::string& name, const std::string& x) {
    CameraCells c;
    c[0] = name;
    c[1] = x;
    c[2] = "-" + x;
    c[3] = "0.5";
    return c;
}

TEST(CameraTable, RecordsFromTheRowsTruncateAndFollowTheRowCount) {
    CameraRecord r = RecordFromCells(Row("Camera 1", "12.34567"), 1, 100, 100);
    EXPECT_EQ(r.CameraPulse_X, 1234);
    EXPECT_EQ(r.CameraPulse_Y, -1234);
    EXPECT_EQ(r.CorrectionPulse_X[0], 50);

    CameraList list;
    struct Case {
        std::vector<CameraCells> rows;
        int first, second;  // CameraNumber of each record
    } cases[] = {
        {{Row("A", "1"), Row("B", "2")}, 1, 2},
        {{Row("Camera 1", "1")}, 1, 0},
        {{Row("Camera 2", "1")}, 0, 2},
        {{}, 0, 0},
        {{Row("A", "1"), Row("B", "2"), Row("C", "3")}, 0, 0},
    };
    for (const Case& c : cases) {
        list.UpdateActiveCameras(c.rows, 100, 100);
        EXPECT_EQ(list.First().CameraNumber, c.first);
        EXPECT_EQ(list.Second().CameraNumber, c.second);
        if (c.first == 0) { EXPECT_EQ(list.First(), CameraRecord{}); }
    }
}

TEST(CameraTable, ConfigSectionRoundTripsWithItsFormatsAndLoadFixUps) {
    test::TempDir dir;
    const std::string path = dir.File("config.ini");
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    CameraList a;
    CameraCells cells = Row("Camera 1", "10.5");
    cells[20] = "20.5";
    cells[21] = "12.3456";
    a.UpdateActiveCameras({cells, cells}, 100, 100);
    CameraListSettings s;
    s.m_BaseDiameter = 7.5;
    s.m_Correct_A = -0.25;
    s.m_iFlyStartSpeed = 3;
    s.m_iFlyNormalSpeed = 9;
    s.m_iTriggerPulse = {1, 2, 3, 4, 5, 6, 7, 8};
    s.m_dFlyCorrect_Y[7] = 0.125;
    s.m_VisualCamera2 = 1;
    s.m_AllowOffset = 0.5;
    a.SetSettings(s);
    ASSERT_TRUE(a.SaveConfig(path));
    plat::FlushProfileCache();
    const std::string file = test::ReadBytes(path);
    for (const char* text : {"m_Camera_first.VisualSize=12.3456", "m_Camera_second.VisualSize=12.35",
                             "m_Camera_first.VisualZoom=20.50", "m_Camera_first.CameraPulse_X=1050",
                             "m_Camera_first.Correction_A=0.0000", "m_BaseDiameter=7.5000", "m_Correct_A=-0.2500",
                             "m_iTriggerPulse8=8", "m_dFlyCorrect_Y8=0.1250", "m_AllowOffset=0.5000"})
        EXPECT_NE(file.find(text), std::string::npos) << text;
    EXPECT_LT(file.find("m_Camera_second.CollectTime"), file.find("m_BaseDiameter"));
    EXPECT_LT(file.find("m_iTriggerPulse8"), file.find("m_dFlyCorrect_Y1"));
    CameraList b;
    b.LoadConfig(path);
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(b.Settings(), s);
    EXPECT_EQ(b.First(), a.First());
    CameraRecord second = a.Second();
    second.VisualSize = 12.35;
    EXPECT_EQ(b.Second(), second);

    // Fix-ups: a small diameter, speeds of 0, the older single trigger advance.
    struct FixUp {
        std::string text;
        double diameter;
        int start;
        std::array<int, 8> triggers;
    } fixUps[] = {
        {"m_BaseDiameter=3.0\r\nm_iTriggerPulse1=0\r\nm_iTriggerInAdvance=300\r\nm_iTriggerPulse5=9\r\n", 5.0, 1,
         {300, 300, 300, 300, 0, 0, 0, 0}},
        {"m_BaseDiameter=7.5\r\nm_iFlyStartSpeed=0\r\nm_iTriggerPulse1=4\r\nm_iTriggerPulse5=9\r\n", 7.5, 1,
         {4, 0, 0, 0, 9, 0, 0, 0}},
    };
    for (const FixUp& f : fixUps) {
        test::WriteBytes(path, "[CameraListConfig]\r\n" + f.text);
        plat::FlushProfileCache();
        CameraList c;
        c.LoadConfig(path);
        EXPECT_EQ(c.Settings().m_BaseDiameter, f.diameter);
        EXPECT_EQ(c.Settings().m_iFlyStartSpeed, f.start);
        EXPECT_EQ(c.Settings().m_iFlyNormalSpeed, 1);
        EXPECT_EQ(c.Settings().m_iTriggerPulse, f.triggers);
    }
}

TEST(CameraTable, OriginShiftMovesPositionsAndNewFactorsConvertEveryPulseField) {
    test::TempDir dir;
    CameraList list;
    CameraCells a = Row("Camera 1", "10.0000"), b = Row("Camera 2", "10.0000");
    a[2] = "-20.0000";
    list.ParseRow(BuildCameraLines({a, b}));
    list.UpdateActiveCameras({a, b}, 100, 100);
    std::vector<std::string> lines;
    ASSERT_TRUE(list.ApplyOriginOffset(0.5, -0.5, 100, 100, lines, dir.File("config.ini")));
    EXPECT_EQ(list.Rows()[0][1], "10.5000");
    EXPECT_EQ(list.Rows()[0][2], "-20.5000");
    EXPECT_EQ(lines, BuildCameraLines(list.Rows()));
    EXPECT_EQ(list.First().CameraPulse_X, 1050);
    EXPECT_EQ(list.First().CorrectionPulse_X[0], 50);
    plat::FlushProfileCache();
    EXPECT_NE(test::ReadBytes(dir.File("config.ini")).find("m_Camera_first.CameraPulse_Y=-2050"), std::string::npos);

    // After new pulse factors the head corrections follow them, not only the positions.
    ASSERT_TRUE(list.ApplyOriginOffset(0, 0, 200, 300, lines, dir.File("config.ini")));
    EXPECT_EQ(list.First().CameraPulse_X, 2100);
    EXPECT_EQ(list.First().CorrectionPulse_X[0], 100);
    EXPECT_EQ(list.Second().CorrectionPulse_X[0], 100);
}

TEST(CameraTable, AddNamesFeederMarksAndMenuGuards) {
    bool refuse = false;
    EXPECT_EQ(NextCameraName({}, refuse), "Camera 1");
    EXPECT_EQ(NextCameraName({Row("Camera 2", "1")}, refuse), "Camera 1");
    EXPECT_EQ(NextCameraName({Row("Camera 1", "1")}, refuse), "Camera 2");
    EXPECT_FALSE(refuse);
    EXPECT_EQ(NextCameraName({Row("A", "1"), Row("B", "1")}, refuse), std::nullopt);
    EXPECT_TRUE(refuse);

    const std::vector<std::string> feeders = {"Camera 1", "Camera 2", ""};
    EXPECT_EQ(FeedersWithoutCamera({}, feeders), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(FeedersWithoutCamera({Row("Camera 1", "1")}, feeders), (std::vector<int>{1, 2}));
    EXPECT_EQ(FeedersWithoutCamera({Row("A", "1"), Row("B", "1")}, feeders), std::vector<int>{});

    using V = CameraMenuVerdict;
    const CameraMenuState ready{true, true, false, 1, false, false, false};
    struct Case {
        int command;
        CameraMenuState state;
        V verdict;
        std::string message;
    } cases[] = {
        {cameramenu::CameraToBase, {false, false, true, -1}, V::Refused, "Machine is not connection !"},
        {cameramenu::CameraToBase, {true, false, true, -1}, V::Refused, "Machine is not reset !"},
        {cameramenu::CameraToBase, {true, true, true, -1}, V::Refused, "Machine is runnig !"},
        {cameramenu::CameraToBase, {true, true, false, -1}, V::Refused, "Please select row !"},
        {cameramenu::CameraToBase, ready, V::Go, ""},
        {cameramenu::FlyTest, ready, V::Refused, "No fly camera !"},
        {cameramenu::FlyTest, {true, true, false, 0, true, true, false}, V::Nothing, ""},
        {cameramenu::FlyCorrect, {true, true, false, 0, true, true, false}, V::Refused, "Configuration error !"},
        {cameramenu::FlyCorrect, {true, true, false, 0, true, true, true}, V::Go, ""},
    };
    for (const Case& c : cases) {
        std::string message;
        EXPECT_EQ(CheckCameraMenu(c.command, c.state, message), c.verdict) << c.command;
        EXPECT_EQ(message, c.message);
    }
}

// The shipped start folder's cameras are where the simulated world's vision
// cameras look up, at their scale, and config.ini holds the same records.
TEST(CameraTable, ShippedCamerasMatchTheSimulatedWorld) {
    std::vector<std::string> lines;
    ASSERT_TRUE(DecodeTableFile(test::ReadBytes(SMT_SOURCE_DIR "/res/config_camera.fig"), lines, nullptr));
    const auto rows = ParseCameraRows(lines);
    ASSERT_EQ(rows.size(), 2u);
    // The shipped world is the default scenario file (the built-in world keeps 20 px/mm).
    sim::Scenario world;
    std::string error;
    ASSERT_TRUE(sim::Scenario::Load(SMT_SOURCE_DIR "/sim/default.scenario", &world, &error)) << error;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(rows[i][0], i == 0 ? kCamera1Name : kCamera2Name);
        EXPECT_EQ(AtoF(rows[i][1]), world.vision[i].position.x);
        EXPECT_EQ(AtoF(rows[i][2]), world.vision[i].position.y);
        EXPECT_EQ(AtoF(rows[i][20]), world.vision[i].pixelsPerMm);
    }
    const std::string config = SMT_SOURCE_DIR "/res/config.ini";
    CameraList shipped;
    shipped.LoadConfig(config);
    const double x = AtoF(plat::GetPrivateProfileString("SetPulseConfig", "m_X_Pulse", "", 512, config));
    const double y = AtoF(plat::GetPrivateProfileString("SetPulseConfig", "m_Y_Pulse", "", 512, config));
    EXPECT_EQ(shipped.First(), RecordFromCells(rows[0], 1, x, y));
    EXPECT_EQ(shipped.Second(), RecordFromCells(rows[1], 2, x, y));
}

} // namespace
} // namespace smt
