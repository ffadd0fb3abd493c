// The frame every automatic run lives in: the dispatcher that starts the run
// threads by machine type and run mode, the run controller that knows which of
// them live, the common run end, and the waits the run threads make on the run
// events. Run threads never touch widgets: what the end shows goes through the
// part list's row store, its toolbar port and plat::PostToUi.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <string>

#include "platform/event.h"
#include "run_state/run_frame_sources.h"

namespace smt {

class PartListStore;

enum class RunThreadKind {
    Placement = 0,      // PlacementRunThread
    FeederAdvance,      // FeederAdvanceThread, the feeder companion
    EightHead,          // EightHeadRunThread
    DispenseAndCheck,   // DispenseAndCheckRunThread
    Drilling,           // DrillingRunThread
    Lamp,               // LampRunThread
    CombinedPlacement,  // CombinedPlacementThread
    ConveyorZone2,      // ConveyorZone2Thread, the conveyor companion
};
inline constexpr int kRunThreadKinds = 8;
const char* RunThreadName(RunThreadKind kind);

// The run threads' bodies, filled by the runs as they are built. An empty entry
// ends its run at once through FinishRun (keep-conveyor 0) and says "not
// available yet", so the machine never stays busy.
std::function<void()>& RunThreadEntry(RunThreadKind kind);

// The current PCB's name as it was when the run started.
std::string RunPcbName();
// The run mode the run was started with.
int CurrentRunMode();

// ---- the run controller --------------------------------------------------------
// Starts `kind` as a worker joined at shutdown; it counts as live until its
// body has returned.
void StartRunThread(RunThreadKind kind);
int LiveRunThreads();
bool RunThreadLive(RunThreadKind kind);

// ---- start and end -------------------------------------------------------------
// Resets every hand-off event, sends the run-start signal and starts the threads
// of the machine type and run mode; a run mode outside 0..12 is refused with a
// message and the run ends through FinishRun. Always true.
bool StartRunThreads(int runMode);

// The run has not finished yet and no action of the operator holds the busy flag
// (one started while a question stood, after which the run was stopped): the run
// thread may still move the machine on its way out.
bool RunOwnsMachine();

// The common end of every run; acts once per run (a partner's second call does
// nothing and answers false). With keepConveyor the conveyor companion goes on.
// With busyHandedOn the busy flag has passed to a homing started by the run's
// end, which clears it at its reply or its failure.
bool FinishRun(PartListStore& partList, bool keepConveyor, bool busyHandedOn = false);

// A Yes/No/Cancel question to the operator during a run (topmost). The busy flag
// is released while the box stands, so the manual panel works, and claimed back
// after the answer: an action the operator started meanwhile ends first. Stopped:
// the run was stopped while that action still held the flag, which then stays
// with it (the run's end does not clear it). Without releaseBusy the run keeps
// the flag while the box stands.
enum class RunAnswer { Yes, No, Cancel, Other, Stopped };
RunAnswer AskDuringRun(const std::string& text, bool releaseBusy = true);

// Closing the program: Stop's flags, every hand-off event released, the gate
// open, so that no run thread stays waiting.
void StopRunForClosing();

// ---- the run threads' waits ----------------------------------------------------
// Waits for `event` in bounded slices until it is set, `flag` is cleared or the
// program closes; true when the event came and the flag still holds.
bool WaitHandOff(plat::Event& event, const std::atomic<bool>& flag);
// The pause gate, then g_RunContinue: true while the run may go on.
bool PassPauseGate();
// After a command whose failure the run otherwise lets pass (a pick, whose miss
// shows later, a feeder's advance, the cover tape's moves, the drilling's A1
// moves): false when it failed because it got no reply (the link is declared
// lost) or the run was stopped meanwhile; the run then ends at once, as after
// every other failed step, with nothing more sent.
bool GoesOnAfter(bool commandOk);

// The message of a refused run mode in the interface language.
std::string BadRunModeText(int runMode);

} // namespace smt
