// FeederAdvanceThread, the feeder companion of the placement run: per cycle it has
// each slot's feeder present its part, hands the part to the run thread (feeder
// ready k), waits for the pick (part picked k) and advances the feeder. It works on
// its own copy of the cycle's slots, taken when the cycle starts: the run thread
// fills the slots for the next cycle while this one still advances the last feeder.
#include "run/placement_run.h"

#include <array>

#include "feeders/feed_group_table.h"
#include "joblist/part_list.h"
#include "run/placement_steps.h"
#include "run/run_frame.h"
#include "run/run_steps.h"
#include "run_state/nozzle_work.h"
#include "run_state/run_events.h"

namespace smt {

namespace {

enum class Hand { Go, Stop, Failed };

class CycleHandOver {
public:
    CycleHandOver() {
        for (int k = 1; k <= 4; ++k) m_slots[static_cast<std::size_t>(k - 1)] = Slot(k);
    }

    Hand Run(int count) {
        if (count < 1 || count > 4) return Hand::Go;
        if (!Present(1)) return Hand::Failed;
        Ready(1);
        if (count == 1) {
            if (!Picked(1)) return Hand::Stop;
            Advance(1);
            return Hand::Go;
        }
        if (Copy(2).feederId == Copy(1).feederId) {
            // One feeder for both: the second part only once the first is picked
            // and the feeder has moved on.
            if (!Picked(1)) return Hand::Stop;
            Advance(1);
            if (!g_FeedContinue.load()) return Hand::Stop;
            TakeCount(2);
            if (!Present(2)) return Hand::Failed;
        } else {
            if (!Present(2)) return Hand::Failed;
            if (!Picked(1)) return Hand::Stop;
            Advance(1);
        }
        Ready(2);
        if (!Picked(2)) return Hand::Stop;
        Advance(2);
        for (int k = 3; k <= count; ++k) {
            if (!g_FeedContinue.load()) return Hand::Stop;
            TakeCount(k);
            if (!Present(k)) return Hand::Failed;
            Ready(k);
            if (!Picked(k)) return Hand::Stop;
            Advance(k);
        }
        return Hand::Go;
    }

private:
    NozzleSlot& Copy(int k) { return m_slots[static_cast<std::size_t>(k - 1)]; }
    // The run thread may have refreshed a doubled pocket's count after the pick
    // before (it did so before releasing that pick).
    void TakeCount(int k) { Copy(k).feedCount = Slot(k).feedCount; }
    bool Present(int k) {
        const bool ok = PresentFeederPart(Copy(k), false);
        Slot(k).presented2 = Copy(k).presented2;
        return ok;
    }
    static void Ready(int k) { g_hFeederReady[static_cast<std::size_t>(k - 1)].Set(); }
    // The wait for the pick; false when the companion must end (tested before acting).
    static bool Picked(int k) { return WaitHandOff(g_hPartPicked[static_cast<std::size_t>(k - 1)], g_FeedContinue); }
    void Advance(int k) { AdvanceFeeder(Copy(k)); }

    std::array<NozzleSlot, 4> m_slots;
};

} // namespace

int FeederAdvanceThread() {
    PartListStore& store = ThePartList();
    store.m_FeedBusy = 1;
    struct Done {
        PartListStore& store;
        ~Done() { store.m_FeedBusy = 0; }
    } done{store};
    if (!WaitHandOff(g_hCycleStart, g_FeedContinue)) return 0;
    for (;;) {
        SetPresentFlags();
        CycleHandOver cycle;
        switch (cycle.Run(g_LoadedNozzleCount.load())) {
        case Hand::Go: break;
        case Hand::Stop: return 0;
        case Hand::Failed:
            // The run thread waits for this feeder's part: it must see the run end.
            g_RunContinue = false;
            for (auto& e : g_hFeederReady) e.Set();
            return 0;
        }
        if (!g_FeedContinue.load()) return 0;
        if (!WaitHandOff(g_hCycleStart, g_FeedContinue)) return 0;
    }
}

} // namespace smt
