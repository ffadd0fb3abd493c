// The tray dialog's logic without a widget: its captions, the grid size it
// accepts, the greying of its pocket menu, the pitch capture from the counters,
// and the move of the mark camera or a nozzle over one pocket.
#pragma once

#include <cstdint>
#include <optional>
#include <set>

#include "settings/basic_settings.h"
#include "settings/dialog_captions.h"
#include "settings/pulse_settings.h"

namespace smt {

DialogCaptions GridBoxCaptions();

// A grid larger than this many pockets is refused: every pocket is a cell of the list.
inline constexpr long long kMostPockets = 100000;
// Rows and columns each 0..10000 and at most kMostPockets pockets.
bool TrayGridSizeAccepted(int rows, int columns);

// The pocket menu's operation codes (0 mark camera, 1..8 nozzles) greyed on a machine type.
std::set<int> GreyedPocketCodes(int machineType);

// "CY" and "CX": the row and column pitch from the current counters; nullopt leaves
// the pitch as it is.
struct PitchCounters {
    std::int32_t x = 0, y = 0, x2 = 0, y2 = 0;
};
std::optional<double> CaptureRowPitch(int machineType, int headGroup, const PitchCounters& c, double originY,
                                      const BasicSettings& b, const PulseFactors& f);
double CaptureColumnPitch(int machineType, const PitchCounters& c, double originX, const BasicSettings& b,
                          const PulseFactors& f);

// One pocket move as its starter hands it to the worker.
struct PocketMove {
    int code = 0;           // 0 mark camera, 1..8 nozzle n
    int row = 0;            // pocket row, 0-based
    int column = 1;         // list column, 1-based (column 0 holds the row number)
    double rowPitch = 0, columnPitch = 0;
    double originX = 0, originY = 0;
};
struct PulseTarget {
    std::int32_t x = 0, y = 0;
};
PulseTarget PocketTarget(const PocketMove& m, const BasicSettings& b, const PulseFactors& f);

// The guards, then the worker with everything it needs by value: the speed gear 0
// on the serial link and one X/Y move to the target. false when refused.
bool StartPocketMove(const PocketMove& move);

} // namespace smt
