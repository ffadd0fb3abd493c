#include "machine_ops/pulse_test_run.h"

#include "link/busy.h"

namespace smt {

bool PulseTestMachineReady() {
    BusyClaim claim = ClaimMachineAction(true);
    return static_cast<bool>(claim);
}

} // namespace smt
