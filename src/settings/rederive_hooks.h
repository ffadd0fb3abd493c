// What other subsystems re-derive in pulses after a settings dialog is confirmed.
// Each hook is filled by the code that owns the values; an unset hook does nothing
// (and the PCB lookup finds no PCB).
#pragma once

#include <functional>

namespace smt {

struct SettingsRederivations {
    std::function<void()> convertSettingsToPulses;           // the run's pulse copies
    std::function<void()> recomputeLimitPulses;              // the view's limit pulses
    std::function<void()> buildNozzleTable;                  // the nozzle library in pulses
    std::function<void(double, double)> applyOriginOffset;   // camera list, offsets in mm
    std::function<void()> updateHeadOffsets;                 // head count and the fly pass over vision camera 1
    std::function<int()> findCurrentPcbIndex;                // -1 when no current PCB
    std::function<void()> convertBoardPointsToPulses;        // the current PCB's points
};

SettingsRederivations& TheSettingsRederivations();

} // namespace smt
