#include "link/position_counters.h"

#include "settings/speed_template.h"

namespace smt {

std::atomic<std::int32_t> g_PulseX{0};
std::atomic<std::int32_t> g_PulseY{0};
std::atomic<std::int32_t> g_PulseX2{0};
std::atomic<std::int32_t> g_PulseY2{0};
std::array<std::atomic<std::int32_t>, 8> g_PulseZ{};
std::array<std::atomic<std::int32_t>, 8> g_PulseA{};
std::array<std::atomic<std::int32_t>, 4> g_PulseFeederWalk{};

void ClearPositionCounters() {
    g_PulseX = 0;
    g_PulseY = 0;
    g_PulseX2 = 0;
    g_PulseY2 = 0;
    for (auto& v : g_PulseZ) v = 0;
    for (auto& v : g_PulseA) v = 0;
    for (auto& v : g_PulseFeederWalk) v = 0;
}

void ZeroHomedCounters(std::uint32_t d) {
    if (d & homed::kX) g_PulseX = 0;
    if (d & homed::kY) g_PulseY = 0;
    if (d & homed::kX2) g_PulseX2 = 0;
    if (d & homed::kY2) g_PulseY2 = 0;
    if (d & homed::kW1) g_PulseFeederWalk[0] = 0;
    if (d & homed::kW2) g_PulseFeederWalk[1] = 0;
    if (d & homed::kW3) g_PulseFeederWalk[2] = 0;
    for (int n = 1; n <= 8; ++n)
        if (d & homed::Z(n)) g_PulseZ[n - 1] = 0;
}

PositionSnapshot TakePositionSnapshot() {
    PositionSnapshot s;
    s.x = g_PulseX;
    s.y = g_PulseY;
    s.x2 = g_PulseX2;
    s.y2 = g_PulseY2;
    for (int i = 0; i < 8; ++i) {
        s.z[i] = g_PulseZ[i];
        s.a[i] = g_PulseA[i];
    }
    for (int i = 0; i < 4; ++i) s.walk[i] = g_PulseFeederWalk[i];
    return s;
}

std::int32_t FoldA(std::int64_t value, std::int32_t span) {
    if (span > 0) {
        if (value >= span) value -= span;
        else if (value <= -static_cast<std::int64_t>(span)) value += span;
    }
    return static_cast<std::int32_t>(value);
}

void BookA(int nozzle, std::int32_t delta) {
    if (nozzle < 1 || nozzle > 8) return;
    const std::int32_t span = TheSpeedTemplates().Settings().m_A_RunFast;
    auto& counter = g_PulseA[nozzle - 1];
    counter = FoldA(static_cast<std::int64_t>(counter.load()) + delta, span);
}

int RockerFirstNozzle(std::uint8_t axis, int machineType) {
    if (axis == 2) return 1;
    if (axis == 3) return 3;
    if (axis == 10 && (machineType == 4 || machineType == 6)) return 5;
    return 0;
}

namespace {

// The first nozzle of the pair loses the delta, its partner gains it; the Z
// field shows the lowered one (negative) or else the partner.
FieldUpdate bookRocker(int first, std::int32_t delta) {
    auto& a = g_PulseZ[first - 1];
    auto& b = g_PulseZ[first];
    a -= delta;
    b += delta;
    const std::int32_t lowered = a.load();
    return {PositionField::Z, lowered < 0 ? lowered : b.load()};
}

}  // namespace

FieldUpdate BookSingleAxis(std::uint8_t axis, std::int32_t delta, int machineType, int headGroup) {
    const bool secondTable = machineType == 4 && headGroup == 2;
    if (const int first = RockerFirstNozzle(axis, machineType)) return bookRocker(first, delta);
    switch (axis) {
    case 0: return {PositionField::X, g_PulseX += delta};
    case 1: return {PositionField::Y, g_PulseY += delta};
    case 4: case 5: case 6: case 7:
        BookA(axis - 3, delta);
        return {PositionField::A, g_PulseA[axis - 4].load()};
    case 8: g_PulseFeederWalk[0] += delta; return {};
    case 9:
        if (secondTable) return {PositionField::X, g_PulseX2 += delta};
        g_PulseFeederWalk[1] += delta;
        return {};
    case 10: g_PulseFeederWalk[2] += delta; return {};
    case 12:
        if (secondTable) return {PositionField::Y, g_PulseY2 += delta};
        return {};
    case 14: case 0x30: g_PulseFeederWalk[3] += delta; return {};
    default: break;
    }
    if (axis >= 0x20 && axis <= 0x27) return {PositionField::Z, g_PulseZ[axis - 0x20] += delta};
    if (axis >= 0x28 && axis <= 0x2F) {
        BookA(axis - 0x27, delta);
        return {PositionField::A, g_PulseA[axis - 0x28].load()};
    }
    return {};
}

std::int32_t CurrentCounterOfAxis(std::uint8_t axis) {
    switch (axis) {
    case 0: return g_PulseX;
    case 1: return g_PulseY;
    case 8: return g_PulseFeederWalk[0];
    case 9: return g_PulseFeederWalk[1];
    case 10: return g_PulseFeederWalk[2];
    default: return 0;
    }
}

int StrokeNozzle(std::uint8_t axis, std::int32_t depth, int machineType, bool otherAxisAsPair34) {
    if (axis >= 0x20 && axis <= 0x27) return axis - 0x1F;
    int first = RockerFirstNozzle(axis, machineType);
    if (!first) {
        if (!otherAxisAsPair34) return 0;
        first = 3;
    }
    return depth > 0 ? first : first + 1;
}

}  // namespace smt
