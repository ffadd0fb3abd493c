// The run of every run mode that works one point at a time with one tool:
// dispensing glue on the dispensing list's points (run modes 1 and 2), placement
// simulated with an empty nozzle (3), coordinates checked with the mark camera
// (4 to 7) and glue injected at the placement rows (8). In run mode 2 each board
// is dispensed and then handed to the placement run: with the conveyor board by
// board through g_hBoardDispensed / g_hBoardPlaced, without it the placement run
// starts once the dispensing pass is over. This thread never marks itself busy
// (m_SmtBusy) and never starts a placement thread once the run was stopped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/command_frames.h"

namespace smt {

struct JobRow;

// Thread body (the run frame's entry for DispenseAndCheck).
int DispenseAndCheckRunThread();

// The dispensing Z drive and valve output of a machine type.
struct DispensingTool {
    std::uint8_t axis = 2;
    std::uint8_t valve = 2;
};
DispensingTool DispensingToolOf(int machineType);

// The Z travel limit in pulses (negative, down), from the live basic and pulse
// settings as the view computes it.
std::int32_t DispenseZLimitPulses();

// The dispensing speeds and Z factor a stroke is built with.
struct DispenseStrokeSettings {
    int startZ = 50, runZ = 100;  // m_DisSpeedStart_Z, m_DisSpeedNormal_Z
    double zFactor = 0;           // Z pulses per mm
    std::int32_t zLimit = 0;      // DispenseZLimitPulses
};

// The plain stroke (0x68) of a dispensing row: down by |Z|, the valve closing
// at the row's close height (the full depth when that is 0 or beyond the depth).
PlaceStrokeArgs BuildPlainDispenseStroke(const JobRow& row, DispensingTool tool, const DispenseStrokeSettings& s);
// The second dispensing mode's stroke (0x58) with its open and close heights;
// nullopt when Z lies outside [Z limit, 0].
std::optional<DispenseStrokeArgs> BuildDispenseStroke(const JobRow& row, DispensingTool tool,
                                                      const DispenseStrokeSettings& s);

} // namespace smt
