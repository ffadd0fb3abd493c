// The lamp point editor's machine actions against the simulated double-dispensing
// machine (type 4): the move worker with its stroke, and the whole test of a point
// with its Mark.
#include <map>

#include "../link/sim_fixture.h"
#include "base/numtext.h"
#include "joblist/lamp_editor.h"
#include "joblist/lamp_table.h"
#include "joblist/run_port.h"
#include "run_state/run_events.h"

namespace smt::test {
namespace {

class LampSim : public SimTest, public ::testing::WithParamInterface<Wire> {
protected:
    void SetUp() override {
        SimTest::SetUp();
        StartMachine(GetParam() == Wire::Serial, 4);
        g_Homed = true;
        g_HeadResetOk = true;
        // The Z state the board reports after a stroke is the one of heads up.
        g_PanelLink.zCheckMask = machine().ZState();
        BasicSettings b;
        b.m_CommModel = GetParam() == Wire::Serial ? 0 : 1;
        b.m_X_CameraToNozzle1 = 2, b.m_Y_CameraToNozzle1 = -3;
        b.m_X_Nozzle5ToNozzle1 = 4, b.m_Y_Nozzle5ToNozzle1 = 5;
        b.m_X_Nozzle6ToNozzle1 = 6, b.m_Y_Nozzle6ToNozzle1 = 7;
        TheBasicSettings() = b;
        // 100 pulses per mm in X and Z, 80 in Y: a swap of X and Y shows.
        ThePulseFactors().m_X_Pulse = ThePulseFactors().m_Z_Pulse = 100;
        ThePulseFactors().m_Y_Pulse = 80;
        SpeedTypeTable t;
        for (int d = 0; d < 16; ++d) t.SetPair(d, {30 + d, 130 + d});
        TheSpeedTemplates().SetTable(SpeedType::Handle, t);
        CreateRunEvents();
        WriteLampTableLines2();
        TheRunPort().recognizeMark = nullptr;
    }
    void TearDown() override {
        plat::JoinAllWorkers(std::chrono::seconds(20));
        TheRunPort().recognizeMark = nullptr;
        WriteLampTableLines2();
        g_Homed = false;
        SimTest::TearDown();
    }
    // Point 2 on table `platform`, strokes that pass the rule.
    static LampPointValues Values(const char* platform) {
        LampPointValues v;
        v.m_PointNo = "3";
        v.m_Platform = platform;
        v.m_MarkX = 50, v.m_MarkY = -40;
        v.m_PointX = 10, v.m_PointY = -5;
        v.m_StartSpeed = 20, v.m_RunSpeed = 90;
        for (int s = 0; s < 3; ++s) v.m_Strokes[s] = {1.0 * s, -1.0 * s, -2 - s * 0.5, -1, 40 + s, 0.5, 60 + s};
        return v;
    }
};

TEST_P(LampSim, MoveWorkerMovesX2WithTheTablesYAndStrokesOnlyAfterAGoodMove) {
    LampPointEditor& ed = TheLampPointEditor();
    LampEditorUi ui;
    ui.focus = [](int) {};
    // Table Y1: axis 9 with 1, red glue on head 5 with the height as given.
    LampPointValues v = Values("平台1");
    ASSERT_TRUE(ed.OnStrokeTest(v, 0, ui));
    ASSERT_TRUE(WaitIdle());
    const auto pos = machine().Positions();
    EXPECT_EQ(pos.x2, 5000 + 1000 - 400);
    EXPECT_EQ(pos.y, -3200 - 400 - 400);
    EXPECT_EQ(pos.y2, 0);
    EXPECT_EQ(pos.x, 0);
    auto dots = machine().Dispensed();
    ASSERT_EQ(dots.size(), 1u);
    EXPECT_EQ(dots[0].head, 5);
    EXPECT_EQ(dots[0].axis, 10);
    EXPECT_EQ(dots[0].depth, -200);
    EXPECT_EQ(dots[0].a, 100);  // valve open, sent as its absolute value
    EXPECT_EQ(dots[0].b, 50);
    EXPECT_EQ(dots[0].t1, 60);
    EXPECT_EQ(dots[0].t2, 40);
    EXPECT_EQ(dots[0].x2, pos.x2);
    EXPECT_EQ(g_PulseX2.load(), pos.x2);

    // Table Y2: axis 9 with 12, silver on head 6 with the height negated.
    v = Values("平台2");
    ASSERT_TRUE(ed.OnStrokeTest(v, 2, ui));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(machine().Positions().y2, -3200 + ToPulses(-5 - 2.0, 80) - 560);
    EXPECT_EQ(machine().Positions().y, pos.y);
    dots = machine().Dispensed();
    ASSERT_EQ(dots.size(), 2u);
    EXPECT_EQ(dots[1].head, 6);
    EXPECT_EQ(dots[1].depth, 300);
    EXPECT_EQ(dots[1].y2, machine().Positions().y2);

    // A refused move (Y1 above its travel): no stroke, the busy flag released.
    v = Values("平台1");
    v.m_MarkY = 40;
    ASSERT_TRUE(ed.OnStrokeTest(v, 0, ui));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(machine().Dispensed().size(), 2u);
    EXPECT_FALSE(g_Running.load());
    EXPECT_EQ(boxes.Texts().back(), "Y Pos Error !");

    // Camera move: no stroke at all.
    ASSERT_TRUE(ed.OnCameraMove(Values("平台1"), true));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(machine().Positions().x2, 5000 + 1000 - 200);
    EXPECT_EQ(machine().Dispensed().size(), 2u);

    // Taken from the counters: X2 with Y on table Y1, with Y2 on table Y2.
    g_PulseX2 = 1234, g_PulseY = -500, g_PulseY2 = -700;
    std::map<int, std::string> taken;
    ui.setField = [&](int id, const std::string& text) { taken[id] = text; };
    ed.OnTakeMark(Values("平台2"), ui);
    EXPECT_EQ(taken[1005], "14.3401");
    EXPECT_EQ(taken[1006], "-11.7501");  // (-700 + trunc(-3 x 80)) / 80
    ed.OnTakeMark(Values("平台1"), ui);
    EXPECT_EQ(taken[1006], "-9.2501");
    ed.OnTakePoint(Values("平台2"), ui);  // relative to Mark X 50, Y -40
    EXPECT_EQ(taken[1007], "-35.6601");
    EXPECT_EQ(taken[1008], "28.2501");  // (-700 + 3200 - 240) / 80
}

TEST_P(LampSim, DispenseTestFindsTheMarkAndStrokesThreeTimes) {
    // The recognition writes the offsets into the point's row of its table.
    std::vector<std::pair<int, int>> asked;
    TheRunPort().recognizeMark = [&](int table, int point) {
        asked.push_back({table, point});
        EXPECT_TRUE(g_RunContinue.load());
        const int row = table == 1 ? 2 * point : 2 * point + 1;
        SetLampCell(row, 5, "7");
        SetLampCell(row, 6, "-9");
        return false;
    };
    g_RunContinue = false;  // left by a stopped run: the test runs all the same
    LampPointValues v = Values("平台2");
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        machine().ClearRecords();
        ASSERT_TRUE(TheLampPointEditor().OnDispenseTest(v));
        ASSERT_TRUE(WaitIdle());
        const auto dots = machine().Dispensed();
        ASSERT_EQ(dots.size(), 3u);
        for (int s = 0; s < 3; ++s) {
            SCOPED_TRACE(s);
            const LampMove m = LampGlueMove(v, s);
            EXPECT_EQ(dots[s].x2, m.x2 + 7);
            EXPECT_EQ(dots[s].y2, m.y - 9);
            EXPECT_EQ(dots[s].head, s == 0 ? 5 : 6);
        }
        EXPECT_FALSE(g_RunContinue.load());
        EXPECT_FALSE(g_Running.load());
    }
    EXPECT_EQ(asked, (std::vector<std::pair<int, int>>{{2, 2}, {2, 2}}));

    // A bad silver set ends the test after the red glue; no point number: refused.
    v.m_Strokes[1].valveClose = 5;
    machine().ClearRecords();
    ASSERT_TRUE(TheLampPointEditor().OnDispenseTest(v));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(machine().Dispensed().size(), 1u);
    v.m_PointNo = "";
    EXPECT_FALSE(TheLampPointEditor().OnDispenseTest(v));
    EXPECT_FALSE(g_Running.load());

    // Without a recognition the test stops after the move to the Mark.
    TheRunPort().recognizeMark = nullptr;
    machine().ClearRecords();
    ASSERT_TRUE(TheLampPointEditor().OnDispenseTest(Values("平台1")));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(machine().Dispensed().size(), 0u);
    EXPECT_EQ(machine().Positions().x2, 5000 - 200);

    // A glue head not up: no move at all.
    g_PulseZ[5] = -10;
    machine().ClearRecords();
    TheLampPointEditor().OnDispenseTest(Values("平台1"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(boxes.Texts().back(), kResetGlueHead);
    EXPECT_EQ(FramesOf(0x53).size(), 0u);
    EXPECT_FALSE(g_Running.load());
    g_PulseZ[5] = 0;
}

INSTANTIATE_TEST_SUITE_P(Links, LampSim, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

} // namespace
} // namespace smt::test
