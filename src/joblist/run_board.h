// The current PCB flattened for the machine: panel size, pitches, origin, marks,
// the panel grid reduced to in-use flags, and the board points in pulses. The
// positioning commands, the coordinate tests and the run read it; the PCB editor's
// OK and the project load write it (ShowArrayPosition).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace smt {

struct PcbRecord;

struct RunBoardState {
    std::int32_t g_RunPanelRows = 0, g_RunPanelCols = 0;
    double g_RunRowPitch = 0, g_RunColPitch = 0;
    double g_RunThickness = 0;
    double g_RunOriginX = 0, g_RunOriginY = 0;
    std::uint8_t g_RunMarkEnable = 0;
    double g_RunMark1X = 0, g_RunMark1Y = 0, g_RunMark2X = 0, g_RunMark2Y = 0;  // relative to the origin
    std::uint8_t g_RunSubBoardMark = 0;
    // rows x cols, row-major: the text before the first "/" of each record cell
    // (the row label skipped); "1" in use, "0" not, "" for a cell without "/".
    std::vector<std::string> g_RunPanelGrid;
    std::int32_t g_RunOriginPulseX = 0, g_RunOriginPulseY = 0;
    std::int32_t g_RunMark1AbsPulseX = 0, g_RunMark1AbsPulseY = 0;
    std::int32_t g_RunMark1PulseX = 0, g_RunMark1PulseY = 0;
    std::int32_t g_RunMark2PulseX = 0, g_RunMark2PulseY = 0;
};

// The one run-board state of the process (the current board the positioning
// commands and the run share). Written on the user-interface thread; other
// threads take a copy.
RunBoardState CopyRunBoard();
void StoreRunBoard(const RunBoardState& state);

// Loads a record into a run-board state with the X/Y pulses per mm.
RunBoardState MakeRunBoard(const PcbRecord& record, double pulsesPerMmX, double pulsesPerMmY);
// The four pulse pairs again from the millimetre values (after the factors change).
void ConvertBoardPointsToPulses(RunBoardState& state, double pulsesPerMmX, double pulsesPerMmY);

// The part list's two statics for a loaded board: the first in-use cell (row by
// row, default row 0 col 0) by interface language (0 Chinese, 1 English, else the
// name alone), and the count text + "<cells in use> × <part rows>".
struct ArrayPositionTexts {
    std::string position, count;
};
ArrayPositionTexts ArrayPositionText(const RunBoardState& state, const std::string& pcbName, int languageIndex,
                                     const std::string& countCaption, int partRowCount);

} // namespace smt
