#include "run/run_steps.h"

namespace smt {

void ClearRecords(int last, bool withRow) {
    for (int k = 1; k <= last; ++k) {
        PlacementRecord& r = Record(k);
        if (withRow) r.row = -1;
        r.jobRow = -1;
        r.vacuumFailedRow = -1;
        r.visionFailed = 0;
    }
}

} // namespace smt
