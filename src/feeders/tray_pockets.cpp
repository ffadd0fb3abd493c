#include "feeders/tray_pockets.h"

#include <memory>

#include "base/numtext.h"
#include "link/busy.h"
#include "link/command_common.h"
#include "link/commands.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "platform/threads.h"
#include "settings/speed_template.h"
#include "vision/camera_panel_port.h"

namespace smt {

DialogCaptions GridBoxCaptions() {
    return DialogCaptions("GridBoxConfig", {{"GridBox.c_GridBox", "托盘操作"},
                                            {"GridBox.c_FeedGroup", "所属料架组"},
                                            {"GridBox.c_Feed", "所属料架"},
                                            {"GridBox.c_Row", "行数"},
                                            {"GridBox.c_Col", "列数"},
                                            {"GridBox.c_RowSpace", "行间距"},
                                            {"GridBox.c_ColSpace", "列间距"},
                                            {"GridBox.c_PlaceAllPart", "放置所有元件"},
                                            {"GridBox.c_PartCount", "元件数量为："},
                                            {"GridBox.c_IDOK", "确  定"},
                                            {"GridBox.c_Message_01", "请输入有效数据 !"}});
}

bool TrayGridSizeAccepted(int rows, int columns) {
    if (rows < 0 || columns < 0 || rows > 10000 || columns > 10000) return false;
    return static_cast<long long>(rows) * columns <= kMostPockets;
}

std::set<int> GreyedPocketCodes(int machineType) {
    int first = 9;  // the first greyed nozzle
    switch (machineType) {
    case 0: case 1: first = 2; break;
    case 2: case 5: first = 3; break;
    case 3: case 4: case 6: first = 5; break;
    default: break;
    }
    std::set<int> codes;
    for (int n = first; n <= 8; ++n) codes.insert(n);
    return codes;
}

namespace {

double Shown4(double mm) { return AtoF(FormatC("%0.4f", mm)); }

// Type 4 keeps a captured pitch away from zero by one step of the display.
double AwayFromZero(double mm) {
    const double v = Shown4(mm);
    return v > 0 ? v + 0.0001 : v < 0 ? v - 0.0001 : v;
}

double PerMm(std::int32_t pulses, double factor) { return factor != 0 ? pulses / factor : 0; }

} // namespace

std::optional<double> CaptureRowPitch(int machineType, int headGroup, const PitchCounters& c, double originY,
                                      const BasicSettings& b, const PulseFactors& f) {
    if (machineType != 4) return Shown4(PerMm(c.y, f.m_Y_Pulse) + b.m_Y_CameraToNozzle1 - originY);
    if (headGroup == 1) return AwayFromZero(PerMm(c.y, f.m_Y_Pulse));
    if (headGroup == 2) return AwayFromZero(PerMm(c.y2, f.m_Y_Pulse));
    return std::nullopt;
}

double CaptureColumnPitch(int machineType, const PitchCounters& c, double originX, const BasicSettings& b,
                          const PulseFactors& f) {
    if (machineType != 4) return Shown4(PerMm(c.x, f.m_X_Pulse) + b.m_X_CameraToNozzle1 - originX);
    return AwayFromZero(PerMm(c.x2, f.m_X_Pulse));
}

PulseTarget PocketTarget(const PocketMove& m, const BasicSettings& b, const PulseFactors& f) {
    const double x = m.columnPitch * (m.column - 1) + m.originX;
    const double y = m.rowPitch * m.row + m.originY;
    PointMm less{0, 0};
    if (m.code == 0) less = {b.m_X_CameraToNozzle1, b.m_Y_CameraToNozzle1};
    else if (m.code >= 2 && m.code <= 8) less = NozzleOffset(b, m.code);
    return {AddPulses({ToPulses(x, f.m_X_Pulse), -static_cast<std::int64_t>(ToPulses(less.x, f.m_X_Pulse))}),
            AddPulses({ToPulses(y, f.m_Y_Pulse), -static_cast<std::int64_t>(ToPulses(less.y, f.m_Y_Pulse))})};
}

namespace {

void PocketMoveThread(PulseTarget target) {
    const SpeedTypeTable speeds = TheSpeedTemplates().Table(SpeedType::Handle);
    if (cmd::UseSerial()) SetSpeedGear(0);
    g_TargetPulseX = target.x;
    g_TargetPulseY = target.y;
    XYAMove m;
    m.xy.dX = static_cast<std::int32_t>(static_cast<std::int64_t>(target.x) - g_PulseX.load());
    m.xy.xSpeed = AxisSpeed{speeds.m_Start_X, speeds.m_Normal_X};
    m.xy.dY = static_cast<std::int32_t>(static_cast<std::int64_t>(target.y) - g_PulseY.load());
    m.xy.ySpeed = AxisSpeed{speeds.m_Start_Y, speeds.m_Normal_Y};
    m.nozzle = 0;
    m.flags = 128;
    MoveXYA(m);  // a refusal (travel limits, link) has shown its message
}

} // namespace

bool StartPocketMove(const PocketMove& move) {
    BusyClaim claim = ClaimMachineAction(true);
    if (!claim) return false;
    const PulseTarget target = PocketTarget(move, TheBasicSettings(), ThePulseFactors());
    if (move.code == 0) {
        if (const auto& select = TheCameraPanelPort().selectMarkCamera) select();
    }
    auto held = std::make_shared<BusyClaim>(std::move(claim));
    plat::StartWorker("pocket move", [held, target] {
        PocketMoveThread(target);
        held->Release();
    });
    return true;
}

} // namespace smt
