// The current PCB as the positioning commands and the manual Mark offsets reach
// it, against the simulated machine.
#include <cmath>

#include "../link/sim_fixture.h"
#include "app/menus.h"
#include "base/numtext.h"
#include "joblist/pcb_editor.h"
#include "joblist/pcb_ports.h"
#include "link/jog.h"
#include "link/positioning.h"
#include "settings/speed_template.h"

namespace smt::test {
namespace {

class PcbPortsSim : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        StartMachine(true, 0);
        g_Homed = true;
        g_HeadResetOk = true;
        BasicSettings b;
        b.m_X_Limit = 300, b.m_Y_Limit = -250;
        b.m_X_CameraToNozzle1 = 12.345, b.m_Y_CameraToNozzle1 = -6.789;
        TheBasicSettings() = b;
        ThePulseFactors() = PulseFactors{};
        ThePulseFactors().m_X_Pulse = 100;  // X and Y apart, so that a swap shows
        ThePulseFactors().m_Y_Pulse = 80;
        g_PulsesPerMmX = 100;
        g_PulsesPerMmY = 80;
        SpeedTypeTable t;
        for (int d = 0; d < 16; ++d) t.SetPair(d, {30 + d, 130 + d});
        TheSpeedTemplates().SetTable(SpeedType::Handle, t);
        SetPositioningMessages(BuiltinViewMessages());
        ThePositioningPort() = PositioningPort{};
        ThePositioningState().m_PositionCommand = -1;
        InstallPositioningHooks();

        PcbRecord r;
        r.m_PcbName = "P";
        r.m_PanelRows = 1;
        r.m_PanelCols = 2;
        r.m_ColPitch = 20;
        r.m_OriginX = 60.01, r.m_OriginY = -70.02;
        r.m_Mark1X = 5.5, r.m_Mark1Y = -4.5;
        r.m_PanelGrid = {{"0/1", "0/1", "1/2"}};
        pcb.m_PcbRecords = {r};
        pcb.m_CurrentPcbName = "P";
        CopyRecordToFields(r, pcb.m_Fields, false);
        pcb.ShowArrayPosition(0);
        InstallPcbPorts(pcb);
    }
    void TearDown() override {
        plat::JoinAllWorkers(std::chrono::seconds(20));
        UninstallPcbPorts();
        ThePositioningPort() = PositioningPort{};
        TheSpeedTemplates().SetTable(SpeedType::Handle, SpeedTypeTable{});
        g_Homed = false;
        SimTest::TearDown();
    }
    PcbEditor pcb;
};

TEST_F(PcbPortsSim, PositioningFindsTheCurrentPcbAndMarkOffsetsLandInTheEditor) {
    ASSERT_TRUE(OnPositioningCommand(cmd::CameraToMark1));
    ASSERT_TRUE(WaitIdle());
    const std::int32_t x = ToPulses(5.5, 100) - ToPulses(12.345, 100) + ToPulses(60.01, 100);
    const std::int32_t y = ToPulses(-4.5, 80) - ToPulses(-6.789, 80) + ToPulses(-70.02, 80);
    EXPECT_EQ(machine().Positions().x, x);
    EXPECT_EQ(machine().Positions().y, y);
    EXPECT_EQ(g_PulseX.load(), x);

    // The camera stands over Mark 1: the measured offsets are (almost) nil and
    // stored in the editor with the manual-mark flag.
    pcb.m_Fields.m_Mark1OffsetX = 9;
    ASSERT_TRUE(TheManualJog().TakeMarkOffset(1));
    EXPECT_EQ(pcb.m_Fields.m_ManualMarkOffset, 1);
    EXPECT_LT(std::abs(pcb.m_Fields.m_Mark1OffsetX), 0.02);
    EXPECT_LT(std::abs(pcb.m_Fields.m_Mark1OffsetY), 0.02);

    // With the per-board marks on, the first board in use (column 2) moves the origin.
    pcb.m_Fields.m_SubBoardMark = 1;
    ASSERT_TRUE(OnPositioningCommand(cmd::CameraToMark1));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(machine().Positions().x, ToPulses(5.5, 100) - ToPulses(12.345, 100) + ToPulses(60.01 + 20, 100));

    // Without a current PCB the look-up finds nothing and nothing moves.
    pcb.m_CurrentPcbName = "other";
    const auto before = machine().Positions();
    OnPositioningCommand(cmd::CameraToPcbOrigin);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(machine().Positions().x, before.x);
    EXPECT_EQ(machine().Positions().y, before.y);
    EXPECT_EQ(boxes.Texts().back(), BuiltinViewMessages()[6]);
}

} // namespace
} // namespace smt::test
