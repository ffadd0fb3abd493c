#include "run/conveyor_companion.h"

#include <algorithm>

#include "joblist/part_list.h"
#include "link/commands.h"
#include "machine_ops/auto_transport.h"
#include "platform/event.h"
#include "run/run_frame.h"
#include "run_state/run_events.h"
#include "run_state/run_frame_sources.h"
#include "settings/pulse_settings.h"

namespace smt {

namespace {

constexpr std::uint16_t kOutputTime = 5;

void Output(int channel, int value) {
    SetOutput({static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(value), kOutputTime});
}

class Companion {
public:
    Companion() : m_type(ConveyorMachineType()) {}

    void Run() {
        PartListStore& store = ThePartList();
        store.m_ConveyorBusy = 1;
        Body(store);
        store.m_ConveyorBusy = 0;
    }

private:
    // Zones 1 and 2: the bare 0x62 with the conveyor's bound; false ends the run.
    bool Zone(int zone) {
        const AutoTransportConfig c = TheAutoTransport().Config();
        return Checked(SendConveyorRun(ZoneRun(zone, c, ThePulseFactors()), ConveyorWaitLimit(c.m_WaitTimeOut)));
    }
    // Zones 3 and 4 with their outputs (zone 3 releases the clamp).
    bool Step(int zone) { return Checked(RunConveyorStep(TheAutoTransport(), zone, false)); }

    // A zone that did not complete ends the run, not only the conveyor: the run
    // thread must not place on a board that is not where it thinks.
    bool Checked(bool ok) {
        if (!ok) {
            g_RunContinue = false;
            g_ConveyorContinue = false;
        }
        return ok && g_ConveyorContinue.load();
    }

    void ReleaseClamp() {
        if (m_type == 7) Output(0x31, 1);
        else Output(9, 0);
    }

    void Clamp() {
        if (m_type == 7) {
            Output(0x32, 1);
            Output(0x31, 0);
        } else {
            Output(9, 1);
        }
        plat::SleepFor(plat::Millis(std::max(0, TheAutoTransport().Config().m_ClampTime)));
        AutoTransport& t = TheAutoTransport();
        t.m_ClampState = 1;
        if (t.Port().setCheck) t.Port().setCheck(at::ClampValve, true);
    }

    // The run thread may be waiting for a board: it wakes and sees its flags.
    static void End() { g_hBoardArrived.Set(); }

    // The PCB editor's m_PcbBoardCount, which the run thread counts down at each
    // board's end.
    static int BoardsLeft() {
        const auto& count = TheRunFrameSources().pcbBoardCount;
        return count ? count() : 0;
    }

    void Body(PartListStore& store) {
        // One board only when the run takes selected rows or starts from a row;
        // FinishRun clears these flags, so they are read while the run starts.
        const int part = static_cast<int>(JobList::Part), dis = static_cast<int>(JobList::Dis);
        const bool singleBoard = store.m_RunSelectedOnly[part] || store.m_RunFromRow[part] ||
                                 store.m_RunSelectedOnly[dis] || store.m_RunFromRow[dis];
        if (!Zone(1)) return End();
        if (BoardsLeft() <= 0) {
            if (!Step(4)) End();
            return;
        }
        bool first = true;
        for (;;) {
            ReleaseClamp();
            if (!Zone(2)) return End();
            Clamp();
            g_hBoardArrived.Set();
            if (!g_ConveyorContinue.load()) return End();
            if (singleBoard) {
                if (!WaitHandOff(g_hBoardDone, g_ConveyorContinue)) return End();
                if (!Step(3) || !Step(4)) return End();
                return;
            }
            if (!Zone(1)) return End();
            if (!first && !Step(4)) return End();
            first = false;
            if (!WaitHandOff(g_hBoardDone, g_ConveyorContinue)) return End();
            if (!Step(3)) return End();
            if (BoardsLeft() <= 0) {
                if (!Step(4)) End();
                return;
            }
        }
    }

    int m_type;
};

}  // namespace

void ConveyorZone2Thread() { Companion().Run(); }

}  // namespace smt
