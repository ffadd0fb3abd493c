// The table steps of the lamp and combined runs (true = the run was stopped
// during the step) and the moves of the dispensing and check runs.
#include "base/numtext.h"
#include "joblist/part_list.h"
#include "joblist/smt_strategy.h"
#include "link/combined_commands.h"
#include "link/commands.h"
#include "link/position_counters.h"
#include "run/pick_place.h"
#include "run/pick_place_common.h"
#include "run/placement_records.h"
#include "run/run_frame.h"
#include "run_state/run_events.h"
#include "settings/basic_settings.h"
#include "settings/speed_template.h"

namespace smt {

using namespace steps;

namespace {

constexpr AxisSpeed kTableSpeed{10, 10};

std::uint8_t TableYAxis(int table) { return table == 1 ? 1 : 12; }
std::int32_t TableY(int table) { return table == 1 ? g_PulseY.load() : g_PulseY2.load(); }

// 0x54 to (x, y) of the table's Y drive with the head's rotation target.
bool TableMove(const PlacementRecord& r, int table, PulsePoint target) {
    XYRotationMove m;
    m.dX = Clamp32(std::int64_t{target.x} - g_PulseX.load());
    m.xSpeed = kTableSpeed;
    m.yAxis = TableYAxis(table);
    m.dY = Clamp32(std::int64_t{target.y} - TableY(table));
    m.ySpeed = kTableSpeed;
    if (r.head >= 1 && r.head <= 4) {
        m.r = static_cast<std::uint8_t>(4 + r.head - 1);
        m.dR = g_RotationTarget[static_cast<std::size_t>(r.head - 1)].load();
    }
    const AxisSpeed a = Speed(r, kPickA);
    m.p = a.start;
    m.q = a.run;
    return MoveXYWithRotation(m);
}

PulsePoint LessHead(PulsePoint p, int head) {
    const PulsePoint off = head >= 1 && head <= 4 ? HeadOffsetPulses(head) : PulsePoint{};
    return {Clamp32(std::int64_t{p.x} - off.x), Clamp32(std::int64_t{p.y} - off.y)};
}

}  // namespace

bool MoveToTablePick(PlacementRecord& record, int table) {
    if (table != 1 && table != 2) return false;
    if (!TableMove(record, table, LessHead(PulsesOf(record.pickX, record.pickY), record.head))) return false;
    return !PassPauseGate();
}

bool DiscardOnTable(PlacementRecord& record) {
    const BasicSettings& b = TheBasicSettings();
    PulsePoint target = LessHead(PulsesOf(b.m_X_ThrowPosition, 0), record.head);
    target.y = g_PulseY.load();  // X alone: the table stays where it is
    if (!TableMove(record, 1, target)) return false;
    if (record.head >= 1 && record.head <= 4) SetOutput({static_cast<std::uint8_t>(record.head), 0, 5});
    SleepMs(b.m_ThrowDelay);
    return !PassPauseGate();
}

bool ReleaseTable(int table) {
    if (table != 1 && table != 2) return false;
    const BasicSettings& b = TheBasicSettings();
    const std::int32_t throwY = PulsesOf(0, b.m_Y_ThrowPosition).y;
    XYMoveArgs m;
    m.xAxis = 9;
    m.dX = 0;
    m.yAxis = TableYAxis(table);
    m.dY = Clamp32(std::int64_t{throwY} - TableY(table));
    if (table == 1) {
        m.xSpeed = m.ySpeed = kTableSpeed;
    } else {
        const SpeedTypeTable handle = TheSpeedTemplates().Table(SpeedType::Handle);
        m.xSpeed = {handle.m_Start_X, handle.m_Normal_X};
        m.ySpeed = {handle.m_Start_Y, handle.m_Normal_Y};
    }
    if (!MoveXY(m)) return false;
    const OutputSwitch output{static_cast<std::uint8_t>(table == 1 ? 7 : 8), 5, 5};
    SetOutput(output);
    SleepMs(b.m_ChangeDelay);
    if (!PassPauseGate()) return true;
    SetOutput(output);
    SleepMs(100);
    return !g_RunContinue.load();
}

bool MoveToDispensePoint(int row, PointMove move, bool perCellMarks, double cellOffsetX, double cellOffsetY) {
    const auto r = ThePartList().Row(JobList::Dis, row);
    if (!r) return false;
    double x = AtoF(r->Cell(1)), y = AtoF(r->Cell(2));
    if (!perCellMarks) x += cellOffsetX, y += cellOffsetY;
    const BasicSettings& b = TheBasicSettings();
    const PulsePoint board = BoardPoint(x, y);
    const PulsePoint dispenser = PulsesOf(b.m_X_DropsGlueToNozzle1, b.m_Y_DropsGlueToNozzle1);
    const PulsePoint target{Clamp32(std::int64_t{board.x} - dispenser.x), Clamp32(std::int64_t{board.y} - dispenser.y)};
    const SmtStrategyConfig st = TheSmtStrategy().Config();
    const AxisSpeed speed{st.m_DisSpeedStart_XY, st.m_DisSpeedNormal_XY};
    if (move == PointMove::XY) {
        XYMoveArgs m;
        m.dX = Clamp32(std::int64_t{target.x} - g_PulseX.load());
        m.xSpeed = speed;
        m.dY = Clamp32(std::int64_t{target.y} - g_PulseY.load());
        m.ySpeed = speed;
        return MoveXY(m) && PassPauseGate();
    }
    return XYATo(target, speed, speed, 0, 0x80);
}

bool MoveCameraToPoint(double xMm, double yMm) {
    const BasicSettings& b = TheBasicSettings();
    const PulsePoint p = PulsesOf(xMm, yMm);
    const PulsePoint camera = PulsesOf(b.m_X_CameraToNozzle1, b.m_Y_CameraToNozzle1);
    const SpeedTypeTable handle = TheSpeedTemplates().Table(SpeedType::Handle);
    return XYATo({Clamp32(std::int64_t{p.x} - camera.x), Clamp32(std::int64_t{p.y} - camera.y)},
                 {handle.m_Start_X, handle.m_Normal_X}, {handle.m_Start_Y, handle.m_Normal_Y}, 0, 0x80);
}

bool MoveCameraToRow(PlacementRecord& record, bool perCellMarks, double cellOffsetX, double cellOffsetY) {
    double x = 0, y = 0;
    if (!RowPosition(record.row, x, y)) return false;
    if (!perCellMarks) x += cellOffsetX, y += cellOffsetY;
    const BasicSettings& b = TheBasicSettings();
    const PulsePoint board = BoardPoint(x, y);
    const PulsePoint camera = PulsesOf(b.m_X_CameraToNozzle1, b.m_Y_CameraToNozzle1);
    if (!XYATo({Clamp32(std::int64_t{board.x} - camera.x), Clamp32(std::int64_t{board.y} - camera.y)},
               Speed(record, kPlaceX), Speed(record, kPlaceY), 0, 0x80))
        return false;
    ThePartList().SetPartRowIcon(record.row, 6, false);
    return true;
}

}  // namespace smt
