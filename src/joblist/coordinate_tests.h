// The part list's coordinate tests: nozzle, glue head, drill or mark camera to
// the current row of a list, on table Y1 or Y2. The handler checks and computes
// the target on the user-interface thread; one short worker moves there.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "base/globals.h"
#include "joblist/part_list.h"
#include "joblist/run_board.h"

namespace smt {

class PcbEditor;

enum class CoordTest {
    NozzleToPart, DispenserToPart, DrillToPoint, CameraToPart, CameraToDispensePoint, CameraToDrillPoint,
    GlueHead1ToY1, GlueHead1ToY2, GlueHead2ToY1, GlueHead2ToY2, MarkCameraToY1, MarkCameraToY2,
    Nozzle1ToY1, Nozzle2ToY1, Nozzle3ToY1, Nozzle4ToY1
};

// The op codes of CoordinateTestThread.
namespace coordop {
inline constexpr int XYA = 64, Glue1Y1 = 530, Glue1Y2 = 531, Glue2Y1 = 532, Glue2Y2 = 533, CameraY1 = 534,
                     CameraY2 = 535, XY = 536;
}

struct CoordTestInputs {
    double rowX = 0, rowY = 0;  // cells 1 and 2 of the current row
    std::string head;           // cell 12 (placement rows)
    RunBoardState board;
    double ppmX = 0, ppmY = 0;
    double cameraX = 0, cameraY = 0;  // mark camera to nozzle 1, mm
    std::array<PulsePoint, 8> nozzles{};
    PulsePoint dispenser, y2;
    int autoChangeNozzle = 0;
};

struct CoordTargets {
    int op = 0;
    std::int32_t x = 0, y = 0;
    bool onX2 = false, onY2 = false;
};

// The list a test reads and whether it selects the mark camera.
JobList CoordTestList(CoordTest t);
bool CoordTestUsesCamera(CoordTest t);
// The first panel cell whose mark is not "0", rows outer; nullopt for none.
std::optional<std::pair<int, int>> FirstEnabledPanelCell(const RunBoardState& board);
// The targets, each millimetre term converted on its own; nullopt when no panel cell is enabled.
std::optional<CoordTargets> ComputeCoordTargets(CoordTest t, const CoordTestInputs& in);

extern std::atomic<int> m_CoordinateTestOp;

// The menu command: guards in order, targets, op code, worker. true when the worker started.
bool OnCoordinateTest(PartListStore& store, const PcbEditor& pcb, CoordTest t);
// The worker's body for the stored op code (the caller holds the busy claim).
void CoordinateTestThread();

} // namespace smt
