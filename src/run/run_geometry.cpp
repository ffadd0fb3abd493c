#include "run/run_geometry.h"

#include <cmath>
#include <limits>

#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/run_board.h"
#include "platform/msgbox.h"
#include "vision/camera_list.h"
#include "vision/camera_service.h"

namespace smt {

std::atomic<std::int32_t> g_FlyStartX{0}, g_FlyStartY{0}, g_FlyEndX{0}, g_FlyEndY{0};
std::array<std::atomic<std::int32_t>, 8> g_FlyTrigger{};

std::atomic<std::int32_t> g_Mark1OffsetX{0}, g_Mark1OffsetY{0}, g_Mark2OffsetX{0}, g_Mark2OffsetY{0};
std::atomic<double> g_BoardRotation{0.0};
std::atomic<std::int32_t> g_CellOriginPulseX{0}, g_CellOriginPulseY{0};

namespace {

// Sums of pulse offsets stay in 32 bits even for absurd settings.
std::int32_t Clamp32(std::int64_t v) {
    constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(v < lo ? lo : v > hi ? hi : v);
}

int HeadsOfType(int type) {
    switch (type) {
    case 0: case 1: return 1;
    case 2: return 2;
    case 3: case 4: case 6: return 4;
    case 7: return 8;
    default: return 0;  // 5, 8, 9 and unknown types keep their geometry
    }
}

// A value taken from a position is moved 0.0001 away from zero, as the edits round it.
double Nudge(double v) { return v > 0 ? v + 0.0001 : v < 0 ? v - 0.0001 : 0.0; }

} // namespace

FlyGeometry ComputeFlyGeometry(int type, std::int32_t camX, std::int32_t camY,
                               const std::array<std::int32_t, 8>& off, const std::array<std::int32_t, 8>& t,
                               const FlyGeometry& current) {
    const int heads = HeadsOfType(type);
    if (heads == 0) return current;
    FlyGeometry g = current;
    const std::int64_t off2 = off[1];
    g.headCount = heads;
    g.startX = Clamp32(std::int64_t{camX} + off2);
    g.startY = g.endY = camY;
    std::array<std::int64_t, 8> trig{};
    trig[0] = off2;
    switch (heads) {
    case 1: g.endX = Clamp32(std::int64_t{camX} - off2); break;
    case 2:
        g.endX = Clamp32(std::int64_t{camX} - 2 * off2);
        trig[1] = 2 * off2;
        break;
    default: {
        const int last = heads - 1;  // nozzle 4 or 8 closes the pass
        g.endX = Clamp32(std::int64_t{camX} - off[last] - off2);
        trig[1] = 2 * off2;
        for (int k = 2; k < heads; ++k) trig[k] = off[k] + off2;
    }
    }
    const bool addTriggers = off2 > t[0];
    for (int k = 0; k < heads; ++k) g.trigger[k] = Clamp32(trig[k] + (addTriggers ? t[k] : 0));
    return g;
}

FlyGeometry CurrentFlyGeometry() {
    FlyGeometry g;
    g.headCount = g_HeadCount.load();
    g.startX = g_FlyStartX.load();
    g.startY = g_FlyStartY.load();
    g.endX = g_FlyEndX.load();
    g.endY = g_FlyEndY.load();
    for (int k = 0; k < 8; ++k) g.trigger[k] = g_FlyTrigger[k].load();
    return g;
}

bool UpdateHeadOffsets() {
    const CameraRecord camera = TheCameraList().First();
    const CameraListSettings settings = TheCameraList().Settings();
    std::array<std::int32_t, 8> off{};
    for (int n = 0; n < 8; ++n) off[n] = g_NozzleToNozzle1Pulses[n].x;
    const std::array<std::int32_t, 8> t = settings.m_iTriggerPulse;
    const FlyGeometry g = ComputeFlyGeometry(g_MachineType.load(), camera.CameraPulse_X, camera.CameraPulse_Y, off,
                                             t, CurrentFlyGeometry());
    g_HeadCount = g.headCount;
    g_FlyStartX = g.startX;
    g_FlyStartY = g.startY;
    g_FlyEndX = g.endX;
    g_FlyEndY = g.endY;
    for (int k = 0; k < 8; ++k) g_FlyTrigger[k] = g.trigger[k];
    return true;
}

double BoardRotationDegrees(double nx, double ny, double mx, double my) {
    constexpr double kPi = 3.141592653589793;
    double a = (std::atan2(my, mx) - std::atan2(ny, nx)) * 180.0 / kPi;
    while (a <= -180.0) a += 360.0;
    while (a > 180.0) a -= 360.0;
    return a;
}

double BoardRotationFromPulses(double nx, double ny, double mx, double my) {
    const double kx = g_PulsesPerMmX > 0 ? g_PulsesPerMmX : 1.0, ky = g_PulsesPerMmY > 0 ? g_PulsesPerMmY : 1.0;
    return BoardRotationDegrees(nx / kx, ny / ky, mx / kx, my / ky);
}

void ComputeTwoMarkCorrection(double dx1, double dy1, double dx2, double dy2) {
    const double px = g_PulsesPerMmX, py = g_PulsesPerMmY;
    const std::int32_t m1x = ToPulses(Nudge(dx1), px), m1y = ToPulses(Nudge(dy1), py);
    const std::int32_t m2x = ToPulses(Nudge(dx2), px), m2y = ToPulses(Nudge(dy2), py);
    g_Mark1OffsetX = m1x;
    g_Mark1OffsetY = m1y;
    g_Mark2OffsetX = m2x;
    g_Mark2OffsetY = m2y;
    g_BoardRotation = 0.0;
    const RunBoardState board = CopyRunBoard();
    if (board.g_RunMark2X == 0.0 && board.g_RunMark2Y == 0.0) return;  // one mark: translation only
    const double nx = static_cast<double>(board.g_RunMark2PulseX) - board.g_RunMark1PulseX;
    const double ny = static_cast<double>(board.g_RunMark2PulseY) - board.g_RunMark1PulseY;
    const float fx = static_cast<float>(nx), fy = static_cast<float>(ny);
    if (std::sqrt(fx * fx + fy * fy) < 5.0f) {
        plat::MessageBoxOk("Mark2 to Mark1 length is too short!!", true);
        return;
    }
    g_BoardRotation = BoardRotationFromPulses(nx, ny, nx - m1x + m2x, ny - m1y + m2y);
}

void BoardStateKeeper::SetOrigin(double dx, double dy) const {
    RunBoardState s = m_start;
    s.g_RunOriginX += dx;
    s.g_RunOriginY += dy;
    ConvertBoardPointsToPulses(s, g_PulsesPerMmX, g_PulsesPerMmY);
    StoreRunBoard(s);
    g_CellOriginPulseX = s.g_RunOriginPulseX;
    g_CellOriginPulseY = s.g_RunOriginPulseY;
}

} // namespace smt
