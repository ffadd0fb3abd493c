// The part list's coordinate tests against the simulated double-table machine:
// the guards before anything is written, the moves of every op code, and the
// busy flag released after a refused move.
#include <string>
#include <vector>

#include "../link/sim_fixture.h"
#include "joblist/coordinate_tests.h"
#include "joblist/pcb_editor.h"
#include "link/positioning.h"

namespace smt::test {
namespace {

class CoordinateSim : public SimTest, public ::testing::WithParamInterface<Wire> {
protected:
    void SetUp() override {
        SimTest::SetUp();
        StartMachine(GetParam() == Wire::Serial, 4);
        g_Homed = true;
        g_HeadResetOk = true;
        TheBasicSettings().m_X_CameraToNozzle1 = 2, TheBasicSettings().m_Y_CameraToNozzle1 = -3;
        ThePulseFactors().m_X_Pulse = 100;  // apart, so that a swapped factor shows
        ThePulseFactors().m_Y_Pulse = 80;
        SpeedTypeTable t;
        for (int d = 0; d < 16; ++d) t.SetPair(d, {30 + d, 130 + d});
        TheSpeedTemplates().SetTable(SpeedType::Handle, t);
        g_NozzleToNozzle1Pulses[4] = {300, -200};
        g_Y2ToY1Pulses = {500, 700};
        JobRow row(kPartCells);
        row.cells[1] = "20", row.cells[2] = "-15", row.cells[12] = "1";
        store.SetRows(JobList::Part, {row});
        store.m_PartItem = 0;
        PcbRecord r;
        r.m_PcbName = "P";
        pcb.m_PcbRecords = {r};
        pcb.m_CurrentPcbName = "P";
        RunBoardState b;
        b.g_RunPanelRows = 1, b.g_RunPanelCols = 2, b.g_RunColPitch = 30;
        b.g_RunOriginX = 10, b.g_RunOriginY = -20;
        b.g_RunPanelGrid = {"0", "1"};
        StoreRunBoard(b);
    }
    void TearDown() override {
        plat::JoinAllWorkers(std::chrono::seconds(20));
        StoreRunBoard({});
        g_NozzleToNozzle1Pulses = {};
        g_Y2ToY1Pulses = {};
        g_Homed = false;
        g_HeadResetOk = true;
        SimTest::TearDown();
    }
    PartListStore store;
    PcbEditor pcb;
};

TEST_P(CoordinateSim, GuardsInOrderWriteNothingAndStartNothing) {
    struct Case {
        bool homed, busy;
        int current;
        bool pcb, cell;
        const char* text;
    } cases[] = {
        {false, false, 0, true, true, "Machine is not reset !"},
        {true, true, 0, true, true, "Machine is runnig !"},
        {true, false, -1, false, true, "请选择要测试的行 !"},  // before the PCB look-up
        {true, false, 0, false, true, "没有找到PCB板 !"},
        {true, false, 0, true, false, "没有启用的拼板 !"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        g_Homed = c.homed;
        g_Running = c.busy;
        store.m_PartItem = c.current;
        pcb.m_CurrentPcbName = c.pcb ? "P" : "Q";
        RunBoardState b = CopyRunBoard();
        b.g_RunPanelGrid = {"0", c.cell ? "1" : "0"};
        StoreRunBoard(b);
        g_TargetPulseX = g_TargetPulseY = 77;
        m_CoordinateTestOp = 1;
        EXPECT_FALSE(OnCoordinateTest(store, pcb, CoordTest::NozzleToPart));
        EXPECT_EQ(boxes.Texts().back(), c.text);
        EXPECT_EQ(g_TargetPulseX.load() + g_TargetPulseY.load(), 154);
        EXPECT_EQ(m_CoordinateTestOp.load(), 1);
        EXPECT_EQ(g_Running.load(), c.busy);
        g_Running = false;
    }
    EXPECT_TRUE(machine().Frames().empty());
}

TEST_P(CoordinateSim, EveryOpMovesToItsTargetsAndReleasesBusy) {
    const CoordTest tests[] = {CoordTest::NozzleToPart,   CoordTest::CameraToPart,   CoordTest::GlueHead1ToY1,
                               CoordTest::GlueHead1ToY2,  CoordTest::GlueHead2ToY1,  CoordTest::GlueHead2ToY2,
                               CoordTest::MarkCameraToY1, CoordTest::MarkCameraToY2, CoordTest::Nozzle4ToY1};
    for (CoordTest t : tests) {
        SCOPED_TRACE(int(t));
        machine().ClearRecords();
        ASSERT_TRUE(OnCoordinateTest(store, pcb, t));
        ASSERT_TRUE(WaitIdle());
        const auto frames = machine().Frames();
        ASSERT_FALSE(frames.empty());
        // The serial link sets gear 0 first; Ethernet sends no gear.
        EXPECT_EQ(frames.front().code == 0x60, GetParam() == Wire::Serial);
        const auto pos = machine().Positions();
        const bool x2 = m_CoordinateTestOp >= 530 && m_CoordinateTestOp <= 535;
        const bool y2 = m_CoordinateTestOp == 531 || m_CoordinateTestOp == 533 || m_CoordinateTestOp == 535;
        EXPECT_EQ(x2 ? pos.x2 : pos.x, (x2 ? g_TargetPulseX2 : g_TargetPulseX).load());
        EXPECT_EQ(y2 ? pos.y2 : pos.y, (y2 ? g_TargetPulseY2 : g_TargetPulseY).load());
        EXPECT_EQ(x2 ? g_PulseX2.load() : g_PulseX.load(), x2 ? pos.x2 : pos.x);
        // The manual table's X codes for X or X2, its Y codes for Y or Y2.
        const bool serial = GetParam() == Wire::Serial;
        EXPECT_EQ(MoveSpeeds(frames, serial), std::vector<std::string>{serial ? "30/130 31/131" : "30/130"});
    }
    // The second panel cell, per-term pulses, nozzle 1's head column: no offset.
    EXPECT_EQ(g_TargetPulseX.load(), 2000 + 4000);
    EXPECT_EQ(g_TargetPulseY.load(), -1200 - 1600);  // -15 and -20 mm at 80 pulses per mm
    EXPECT_EQ(g_TargetPulseY2.load(), -2800 + 700 + 240);  // Y2 offset, camera -3 mm

    // A move past the travel limits and the head-reset state: refused, busy released.
    store.SetCell(JobList::Part, 0, 1, "9000");
    ASSERT_TRUE(OnCoordinateTest(store, pcb, CoordTest::NozzleToPart));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(boxes.Texts().back(), "X Pos Error !");
    g_HeadResetOk = false;
    store.SetCell(JobList::Part, 0, 1, "20");
    ASSERT_TRUE(OnCoordinateTest(store, pcb, CoordTest::NozzleToPart));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(boxes.Texts().back(), "Error E3 !");
    EXPECT_FALSE(g_Running.load());
}

INSTANTIATE_TEST_SUITE_P(Links, CoordinateSim, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

} // namespace
} // namespace smt::test
