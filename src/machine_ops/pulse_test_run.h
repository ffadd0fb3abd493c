// The machine side of the pulse dialog's test run: its guard takes the link's busy
// flag, which the pulse settings below the link cannot reach.
#pragma once

namespace smt {

// Connected, homed and idle: the machine actions' shared guard, each refusal with
// its top-most message. The claim it takes is given back at once, since the
// test's jog claims the busy flag itself.
bool PulseTestMachineReady();

} // namespace smt
