// The host's record of where every drive stands, in pulses. Every move is
// relative: a command sends its delta and books it here once the machine has
// answered; homing sets the homed drives back to 0. Written by the thread that
// issued the move, read by any thread without a lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace smt {

extern std::atomic<std::int32_t> g_PulseX;   // 0 at home, grows toward the X limit
extern std::atomic<std::int32_t> g_PulseY;   // 0 at home, negative toward the Y limit
extern std::atomic<std::int32_t> g_PulseX2;  // second table (machine type 4)
extern std::atomic<std::int32_t> g_PulseY2;
// Z of nozzles 1..8: a negative value is a lowered nozzle.
extern std::array<std::atomic<std::int32_t>, 8> g_PulseZ;
// A of nozzles 1..8, folded into one revolution.
extern std::array<std::atomic<std::int32_t>, 8> g_PulseA;
// W1 west walk, W2 north walk, W3 east walk, D1 the S drive.
extern std::array<std::atomic<std::int32_t>, 4> g_PulseFeederWalk;

// Every counter to 0 (program start, tests).
void ClearPositionCounters();

// One snapshot of every counter (tests, the panel's teach buttons).
struct PositionSnapshot {
    std::int32_t x = 0, y = 0, x2 = 0, y2 = 0;
    std::array<std::int32_t, 8> z{}, a{};
    std::array<std::int32_t, 4> walk{};
    friend bool operator==(const PositionSnapshot&, const PositionSnapshot&) = default;
};
PositionSnapshot TakePositionSnapshot();

// An A value brought back into one revolution `span` (m_A_RunFast): at or above
// the span it loses the span once, at or below its negative it gains it once.
// A span of 0 or less leaves the value as it is.
std::int32_t FoldA(std::int64_t value, std::int32_t span);
// A of nozzle 1..8 += delta, folded by the live A revolution; other nozzles nothing.
void BookA(int nozzle, std::int32_t delta);

// The first nozzle (1, 3 or 5) of a rocker axis (2, 3, or 10 on machine types 4
// and 6); 0 when the axis is no rocker on `machineType`.
int RockerFirstNozzle(std::uint8_t axis, int machineType);

// Which position field a single-axis move rewrites, and with which counter.
enum class PositionField { None, X, Y, Z, A };
struct FieldUpdate {
    PositionField field = PositionField::None;
    std::int32_t pulses = 0;
};

// Books a single-axis move (command 0x61) of `delta` pulses on `axis`.
// `headGroup` 2 on machine type 4 turns axes 9 and 12 into X2 and Y2.
FieldUpdate BookSingleAxis(std::uint8_t axis, std::int32_t delta, int machineType, int headGroup);

// The drives a homing command sends home, one bit per counter. The homing
// command function records them as it sends; the homing-finished reply zeroes
// exactly those counters (the board homes exactly the drives with speeds).
namespace homed {
inline constexpr std::uint32_t kX = 1u << 0, kY = 1u << 1, kX2 = 1u << 2, kY2 = 1u << 3;
inline constexpr std::uint32_t kW1 = 1u << 4, kW2 = 1u << 5, kW3 = 1u << 6;
inline constexpr std::uint32_t Z(int nozzle) { return 1u << (7 + nozzle); }  // nozzle 1..8
inline constexpr std::uint32_t kRocker12 = Z(1) | Z(2), kRocker34 = Z(3) | Z(4), kRocker56 = Z(5) | Z(6);
inline constexpr std::uint32_t kAnyZ = 0xFFu << 8;
}  // namespace homed
void ZeroHomedCounters(std::uint32_t drives);

// The counter that a single-axis move of `axis` reports to the machine over
// Ethernet: X, Y, W1, W2, W3 for axes 0, 1, 8, 9, 10; otherwise 0.
std::int32_t CurrentCounterOfAxis(std::uint8_t axis);

// The nozzle (1..8) that a stroke of `depth` on `axis` lowers: on a rocker (2,
// 3, or 10 on types 4 and 6) a positive stroke lowers the first nozzle of its
// pair (its counter goes negative), any other the second; axes 0x20..0x27 are
// nozzles 1..8. Any other axis: 0, or, for the vacuum boxes of a stroke
// (`otherAxisAsPair34`), the pair of nozzles 3 and 4.
int StrokeNozzle(std::uint8_t axis, std::int32_t depth, int machineType, bool otherAxisAsPair34);

}  // namespace smt
