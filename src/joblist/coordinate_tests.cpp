#include "joblist/coordinate_tests.h"

#include <memory>

#include "base/numtext.h"
#include "feeders/strategy_port.h"
#include "joblist/part_list_texts.h"
#include "joblist/pcb_editor.h"
#include "link/busy.h"
#include "link/combined_commands.h"
#include "link/command_common.h"
#include "link/commands.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"
#include "vision/camera_panel_port.h"
#include "base/window_titles.h"

namespace smt {

std::atomic<int> m_CoordinateTestOp{0};

namespace {

struct TestRow {
    CoordTest test;
    JobList list;
    int op;
    bool onY2;
    bool camera;
    int tool;  // 0 none, 2..8 nozzle, -1 glue head, -2 the row's head column
};

constexpr TestRow kTests[] = {
    {CoordTest::NozzleToPart, JobList::Part, coordop::XYA, false, false, -2},
    {CoordTest::DispenserToPart, JobList::Dis, coordop::XYA, false, false, -1},
    {CoordTest::DrillToPoint, JobList::Drill, coordop::XYA, false, false, 0},
    {CoordTest::CameraToPart, JobList::Part, coordop::XYA, false, true, 0},
    {CoordTest::CameraToDispensePoint, JobList::Dis, coordop::XYA, false, true, 0},
    {CoordTest::CameraToDrillPoint, JobList::Drill, coordop::XYA, false, true, 0},
    {CoordTest::GlueHead1ToY1, JobList::Part, coordop::Glue1Y1, false, false, 5},
    {CoordTest::GlueHead1ToY2, JobList::Part, coordop::Glue1Y2, true, false, 5},
    {CoordTest::GlueHead2ToY1, JobList::Part, coordop::Glue2Y1, false, false, 6},
    {CoordTest::GlueHead2ToY2, JobList::Part, coordop::Glue2Y2, true, false, 6},
    {CoordTest::MarkCameraToY1, JobList::Part, coordop::CameraY1, false, true, 0},
    {CoordTest::MarkCameraToY2, JobList::Part, coordop::CameraY2, true, true, 0},
    {CoordTest::Nozzle1ToY1, JobList::Part, coordop::XY, false, false, 0},
    {CoordTest::Nozzle2ToY1, JobList::Part, coordop::XY, false, false, 2},
    {CoordTest::Nozzle3ToY1, JobList::Part, coordop::XY, false, false, 3},
    {CoordTest::Nozzle4ToY1, JobList::Part, coordop::XY, false, false, 4},
};

const TestRow& RowOf(CoordTest t) { return kTests[static_cast<int>(t)]; }

bool OnX2(int op) { return op >= coordop::Glue1Y1 && op <= coordop::CameraY2; }

std::string Title() {
    const int lang = g_LanguageIndex.load();
    return kWindowTitles[lang >= 0 && lang < 3 ? lang : 0];
}

SpeedPair Handle(int drive) { return TheSpeedTemplates().Table(SpeedType::Handle).Pair(drive); }

} // namespace

JobList CoordTestList(CoordTest t) { return RowOf(t).list; }
bool CoordTestUsesCamera(CoordTest t) { return RowOf(t).camera; }

std::optional<std::pair<int, int>> FirstEnabledPanelCell(const RunBoardState& b) {
    for (int r = 0; r < b.g_RunPanelRows; ++r)
        for (int c = 0; c < b.g_RunPanelCols; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * b.g_RunPanelCols + c;
            if (i < b.g_RunPanelGrid.size() && b.g_RunPanelGrid[i] != "0") return std::make_pair(r, c);
        }
    return std::nullopt;
}

std::optional<CoordTargets> ComputeCoordTargets(CoordTest t, const CoordTestInputs& in) {
    const auto cell = FirstEnabledPanelCell(in.board);
    if (!cell) return std::nullopt;
    const TestRow& row = RowOf(t);
    const double dX = cell->second * in.board.g_RunColPitch, dY = cell->first * in.board.g_RunRowPitch;
    std::int64_t x = ToPulses(in.rowX, in.ppmX) + std::int64_t{ToPulses(in.board.g_RunOriginX + dX, in.ppmX)};
    std::int64_t y = ToPulses(in.rowY, in.ppmY) + std::int64_t{ToPulses(in.board.g_RunOriginY + dY, in.ppmY)};
    if (row.onY2) x += in.y2.x, y += in.y2.y;
    if (row.camera) x -= ToPulses(in.cameraX, in.ppmX), y -= ToPulses(in.cameraY, in.ppmY);
    int nozzle = row.tool;
    if (nozzle == -2) nozzle = in.autoChangeNozzle == 0 ? AtoI(in.head) : 0;
    if (nozzle == -1) x -= in.dispenser.x, y -= in.dispenser.y;
    else if (nozzle >= 2 && nozzle <= 8) x -= in.nozzles[nozzle - 1].x, y -= in.nozzles[nozzle - 1].y;
    CoordTargets out;
    out.op = row.op;
    out.x = AddPulses({x});
    out.y = AddPulses({y});
    out.onX2 = OnX2(row.op);
    out.onY2 = row.onY2;
    return out;
}

bool OnCoordinateTest(PartListStore& store, const PcbEditor& pcb, CoordTest t) {
    BusyClaim claim = ClaimMachineAction(true);
    if (!claim) return false;
    const TestRow& row = RowOf(t);
    CoordTestInputs in;
    {
        auto lock = store.Hold();
        const int cur = row.list == JobList::Part ? store.m_PartItem
                        : row.list == JobList::Dis ? store.m_DisItem : store.m_DrillItem;
        const auto r = cur >= 0 ? store.Row(row.list, cur) : std::nullopt;
        if (!r) {
            plat::MessageBoxOk(PartListText("Message_05"), false, plat::MsgIcon::None, Title());
            return false;
        }
        in.rowX = AtoF(r->Cell(1));
        in.rowY = AtoF(r->Cell(2));
        in.head = r->Cell(partcell::Head);
    }
    if (pcb.FindPcbIndex() < 0) {
        plat::MessageBoxOk(PartListText("Message_06"), true);
        return false;
    }
    in.board = CopyRunBoard();
    const auto& pulses = ThePulseFactors();
    const auto& basic = TheBasicSettings();
    in.ppmX = pulses.m_X_Pulse, in.ppmY = pulses.m_Y_Pulse;
    in.cameraX = basic.m_X_CameraToNozzle1, in.cameraY = basic.m_Y_CameraToNozzle1;
    in.nozzles = g_NozzleToNozzle1Pulses;
    in.dispenser = g_DispenserToNozzle1Pulses;
    in.y2 = g_Y2ToY1Pulses;
    in.autoChangeNozzle = StrategyPort::Read(TheStrategyPort().m_AutoChangeNozzle);
    const auto targets = ComputeCoordTargets(t, in);
    if (!targets) {
        plat::MessageBoxOk(PartListText("NoPanelCell"), true);
        return false;
    }
    (targets->onX2 ? g_TargetPulseX2 : g_TargetPulseX) = targets->x;
    (targets->onY2 ? g_TargetPulseY2 : g_TargetPulseY) = targets->y;
    if (row.camera)
        if (const auto& select = TheCameraPanelPort().selectMarkCamera) select();
    m_CoordinateTestOp = targets->op;
    auto held = std::make_shared<BusyClaim>(std::move(claim));
    plat::StartWorker("coordinate test", [held] {
        CoordinateTestThread();
        held->Release();
    });
    return true;
}

void CoordinateTestThread() {
    if (cmd::UseSerial()) SetSpeedGear(0);
    const SpeedPair sx = Handle(kDriveX), sy = Handle(kDriveY);
    const int op = m_CoordinateTestOp;
    auto delta = [](std::int32_t target, std::int32_t counter) { return AddPulses({target, -std::int64_t{counter}}); };
    if (op == coordop::XYA) {
        XYAMove m;
        m.xy = {delta(g_TargetPulseX, g_PulseX), {sx.start, sx.run}, delta(g_TargetPulseY, g_PulseY), {sy.start, sy.run}};
        m.nozzle = 0;
        m.flags = 0x80;  // refused with "Error E3 !" while the heads are not reset
        MoveXYA(m);
        return;
    }
    if (op < coordop::Glue1Y1 || op > coordop::XY) return;
    XYMoveArgs a;
    const bool x2 = OnX2(op);
    const bool y2 = op == coordop::Glue1Y2 || op == coordop::Glue2Y2 || op == coordop::CameraY2;
    a.xAxis = x2 ? 9 : 0;
    a.dX = x2 ? delta(g_TargetPulseX2, g_PulseX2) : delta(g_TargetPulseX, g_PulseX);
    a.xSpeed = {sx.start, sx.run};
    a.yAxis = y2 ? 12 : 1;
    a.dY = y2 ? delta(g_TargetPulseY2, g_PulseY2) : delta(g_TargetPulseY, g_PulseY);
    a.ySpeed = {sy.start, sy.run};
    MoveXY(a);
}

} // namespace smt
