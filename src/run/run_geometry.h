// The run's geometry beyond the board state: the head count and the flying pass
// over vision camera 1 per machine type, and the board correction (mark offsets
// and rotation) that the mark step leaves for the place step. The settings'
// pulse values are the view's (ComputePositionPulses, base/globals.h); the board
// state is the job lists' (joblist/run_board.h).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "joblist/run_board.h"

namespace smt {

// Written by UpdateHeadOffsets (with the camera service's g_HeadCount); read by
// the flying vision and the camera calibration.
extern std::atomic<std::int32_t> g_FlyStartX, g_FlyStartY, g_FlyEndX, g_FlyEndY;
extern std::array<std::atomic<std::int32_t>, 8> g_FlyTrigger;  // heads 1..8

// Board correction in pulses (measured = nominal + offset) and degrees.
extern std::atomic<std::int32_t> g_Mark1OffsetX, g_Mark1OffsetY, g_Mark2OffsetX, g_Mark2OffsetY;
extern std::atomic<double> g_BoardRotation;

// The origin of the board or panel cell being worked on, in pulses (the board
// origin plus the cell's array offset): set by the run before each board or cell,
// read by the board-mark correction.
extern std::atomic<std::int32_t> g_CellOriginPulseX, g_CellOriginPulseY;

struct FlyGeometry {
    std::int32_t headCount = 0;
    std::int32_t startX = 0, startY = 0, endX = 0, endY = 0;
    std::array<std::int32_t, 8> trigger{};
};

// The fly-pass geometry of `machineType` for vision camera 1 at (camX, camY)
// pulses, the X offsets of nozzles 1..8 from nozzle 1 (index n - 1) and the
// camera's trigger values of heads 1..8. Types without their own pass (5, 8, 9)
// return `current` unchanged.
FlyGeometry ComputeFlyGeometry(int machineType, std::int32_t camX, std::int32_t camY,
                               const std::array<std::int32_t, 8>& nozzleOffsetX,
                               const std::array<std::int32_t, 8>& triggerValues, const FlyGeometry& current);
FlyGeometry CurrentFlyGeometry();

// The above from the live machine type, vision camera 1's record, the nozzle
// offsets and the camera list's trigger values, into the globals. Always true.
bool UpdateHeadOffsets();

// The board rotation in degrees from the nominal and the measured Mark1->Mark2
// vectors, normalised into (-180, 180]. Shared by every two-mark correction.
double BoardRotationDegrees(double nx, double ny, double mx, double my);

// The same from vectors in pulses, compared in millimetres: with the X and Y
// factors apart the same vectors in pulses point elsewhere, and the board would be
// turned by a wrong angle.
double BoardRotationFromPulses(double nx, double ny, double mx, double my);

// Board offsets and rotation from the two measured Mark offsets in mm (measured
// minus nominal). Marks closer than 5 pulses keep the offsets, rotation 0, and
// say so in a topmost box.
void ComputeTwoMarkCorrection(double dx1, double dy1, double dx2, double dy2);

// The run-board state as it was at a run's start: the cells' origins are derived
// from it (the place step reads the origin there), and it is put back whatever
// way the run ends.
class BoardStateKeeper {
public:
    BoardStateKeeper() : m_start(CopyRunBoard()) {}
    ~BoardStateKeeper() { StoreRunBoard(m_start); }
    BoardStateKeeper(const BoardStateKeeper&) = delete;
    BoardStateKeeper& operator=(const BoardStateKeeper&) = delete;
    const RunBoardState& Start() const { return m_start; }
    // The board origin moved by (dx, dy) mm, its points in pulses again; the mark
    // correction goes from there to the board's (or cell's) marks.
    void SetOrigin(double dx, double dy) const;

private:
    RunBoardState m_start;
};

} // namespace smt
