// FeederAdvanceThread, the feeder companion of the placement run: per cycle it has
// each slot's feeder present its part, hands the part to the run thread (feeder
// ready k), waits for the pick (part picked k) and advances the feeder. It works on
// its own copy of the cycle's slots, taken when the cycle starts: the run thread
// fills the slots for the next cycle while this one still advances the last feeder.
#include "run/placement_run.h"

#include <array>
#include <atomic>

#include "feeders/feed_group_table.h"
#include "platform/threads.h"
#include "joblist/part_list.h"
#include "run/placement_steps.h"
#include "run/run_frame.h"
#include "run/run_steps.h"
#include "run_state/nozzle_work.h"
#include "run_state/run_events.h"

namespace smt {

namespace {

enum class Hand { Go, Stop, Failed };

// Picks the run thread has handed to the companion, and how many of them the
// companion has advanced the feeder for (whatever the advance's outcome).
std::atomic<int> g_picksHanded{0};
std::atomic<int> g_picksAdvanced{0};

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
            return Advance(1) ? Hand::Go : Hand::Failed;
        }
        if (Copy(2).feederId == Copy(1).feederId) {
            // One feeder for both: the second part only once the first is picked
            // and the feeder has moved on.
            if (!Picked(1)) return Hand::Stop;
            if (!Advance(1)) return Hand::Failed;
            if (!g_FeedContinue.load()) return Hand::Stop;
            TakeCount(2);
            if (!Present(2)) return Hand::Failed;
        } else {
            if (!Present(2)) return Hand::Failed;
            if (!Picked(1)) return Hand::Stop;
            if (!Advance(1)) return Hand::Failed;
        }
        Ready(2);
        if (!Picked(2)) return Hand::Stop;
        if (!Advance(2)) return Hand::Failed;
        for (int k = 3; k <= count; ++k) {
            if (!g_FeedContinue.load()) return Hand::Stop;
            TakeCount(k);
            if (!Present(k)) return Hand::Failed;
            Ready(k);
            if (!Picked(k)) return Hand::Stop;
            if (!Advance(k)) return Hand::Failed;
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
    // false when the advance's reply was lost (or the run stopped): the run ends.
    bool Advance(int k) {
        const bool ok = GoesOnAfter(AdvanceFeeder(Copy(k)));
        ++g_picksAdvanced;
        return ok;
    }

    std::array<NozzleSlot, 4> m_slots;
};

} // namespace

void HandPickToCompanion(int k) {
    ++g_picksHanded;
    g_hPartPicked[static_cast<std::size_t>(k - 1)].Set();
}

void AwaitFeederAdvances() {
    // Bounded: an advance by its reply bound (cut short by Stop); a handed pick the
    // companion has not yet taken wakes it at once.
    while (g_picksAdvanced.load() < g_picksHanded.load() && RunThreadLive(RunThreadKind::FeederAdvance) &&
           g_RunContinue.load() && plat::SleepFor(plat::Millis(5))) {
    }
}

int FeederAdvanceThread() {
    PartListStore& store = ThePartList();
    store.m_FeedBusy = 1;
    struct Done {
        PartListStore& store;
        ~Done() { store.m_FeedBusy = 0; }
    } done{store};
    // Before any part is presented, so before the run thread hands a pick.
    g_picksHanded = 0;
    g_picksAdvanced = 0;
    if (!WaitHandOff(g_hCycleStart, g_FeedContinue)) return 0;
    for (;;) {
        SetPresentFlags();
        CycleHandOver cycle;
        switch (cycle.Run(g_LoadedNozzleCount.load())) {
        case Hand::Go: break;
        case Hand::Stop: return 0;
        case Hand::Failed:
            // The run thread may wait for this feeder's part: it must see the run end.
            g_RunContinue = false;
            for (auto& e : g_hFeederReady) e.Set();
            return 0;
        }
        if (!g_FeedContinue.load()) return 0;
        if (!WaitHandOff(g_hCycleStart, g_FeedContinue)) return 0;
    }
}

} // namespace smt
