// A run stopped while a nozzle change is under way: the machine holds the reply of
// one move, the run is stopped, the reply goes. The change ends as stopped and the
// program's books are those of the last finished step, as the machine's ledger has them.
#include <thread>

#include "../link/sim_fixture.h"

#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/nozzle_library.h"
#include "joblist/smt_strategy.h"
#include "run/nozzle_change.h"
#include "run/run_frame.h"
#include "run_state/nozzle_work.h"
#include "run_state/run_events.h"

namespace smt::test {
namespace {

class NozzleChangeStop : public SimTest {
protected:
    void TearDown() override {
        if (sim) sim->faults().Clear();
        TheNozzleLibrary().m_Config = {};
        ResetNozzleStates();
        g_MachineType = 0, g_RunContinue = false;
        g_hRunPauseGate.Set();
        SimTest::TearDown();
    }

    // Type 3, 100 pulses per mm in X and 80 in Y. Head 2 stands 30 mm right of head 1
    // and 1.25 mm behind it; holders 1 and 2 at (250, -50) and (280, -50) mm, their
    // entries 10 mm right; head 2 carries nozzle 1 and reaches the entry at Z -550.
    void Prepare() {
        g_MachineType = 3;
        StartMachine(true, 3);
        g_Homed = true, g_HeadResetOk = true;
        ThePulseFactors().m_X_Pulse = 100;
        ThePulseFactors().m_Y_Pulse = 80;
        TheBasicSettings().m_X_Nozzle2ToNozzle1 = 30.0;
        TheBasicSettings().m_Y_Nozzle2ToNozzle1 = -1.25;
        SpeedTypeTable t;
        for (int d = 0; d < 16; ++d) t.SetPair(d, {20, 100});
        TheSpeedTemplates().SetTable(SpeedType::AutoNozzle, t);
        TheSmtStrategy().SetConfig({});
        TheNozzleLibrary().m_Config = {};  // built first: building it marks every nozzle as home
        ResetNozzleStates();
        std::array<std::int32_t, 8> heights{};
        for (int n = 0; n < 8; ++n) heights[static_cast<std::size_t>(n)] = -500 - 50 * n;
        std::array<std::pair<std::int32_t, std::int32_t>, 8> offsets{};
        offsets[1] = {3000, -100};
        std::vector<sim::NozzleHolder> holders;
        for (int i = 0; i < 2; ++i) {
            g_NozzleTable[static_cast<std::size_t>(i)] = {1, 25000 + 3000 * i, -4000, 0, 26000 + 3000 * i, -4000, 0, heights, 40, {}};
            holders.push_back({25000 + 3000 * i, -4000, 26000 + 3000 * i, -4000, heights, true});
        }
        holders[0].holds = false;
        machine().SetNozzleLibrary(holders, false);
        machine().SetHeadOffsets(offsets);
        machine().SetHeadNozzle(2, 1);
        {
            std::lock_guard lock(NozzleStateMutex());
            g_NozzleWork[1].head = 2, g_NozzleWork[1].mountedNozzle = 1;
            g_NozzleTable[0].inHolder = 0;
        }
        g_RunContinue = true;
        g_hRunPauseGate.Set();
        machine().ClearRecords();
    }

    std::string Codes() {
        std::string s;
        for (const auto& f : machine().Frames()) s += (s.empty() ? "" : " ") + FormatC("%02X", f.code);
        return s;
    }
};

TEST_F(NozzleChangeStop, AStopWhileAMoveRunsKeepsTheBooksOfTheLastFinishedStep) {
    // Head 2 puts nozzle 1 back (entry, Z down, slide into the holder, Z up, entry)
    // and takes nozzle 2 (entry, holder, Z down, back to the entry, Z up). The replies
    // of `holds` are held in turn; the run stops while the last one is held.
    struct Case {
        const char* where;
        std::vector<std::uint16_t> holds;
        const char* sent;
        int mounted;         // record 2's nozzle afterwards (head 2, or none)
        bool inHolder1, inHolder2;
    } cases[] = {
        {"unload: sliding nozzle 1 into its holder", {0x61, 0x64}, "64 61 64", 0, true, true},
        {"load: leaving holder 2 with its nozzle", {0x61, 0x61, 0x61, 0x64}, "64 61 64 61 64 64 64 61 64", 2, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        Prepare();
        sim::Faults& faults = sim->faults();
        ScriptedResponder boxes;
        faults.HoldNext(c.holds.front());
        std::atomic<bool> changed{true};
        std::thread run([&] { changed = ChangeNozzle(2, 2, 1, 2, 2, 2); });
        for (std::size_t i = 0; i < c.holds.size(); ++i) {
            if (!WaitUntil([&] { return faults.Held() == std::optional<std::uint16_t>(c.holds[i]); }, std::chrono::seconds(10))) {
                ADD_FAILURE() << "no held reply " << i;
                break;
            }
            if (i + 1 == c.holds.size()) break;
            // The closed gate keeps the next command back until its hold is set.
            g_hRunPauseGate.Reset();
            faults.Release();
            if (!WaitUntil([&] { return faults.HoldsEnded() == static_cast<int>(i) + 1; }, std::chrono::seconds(10)))
                ADD_FAILURE() << "held reply " << i << " never went out";
            faults.HoldNext(c.holds[i + 1]);
            g_hRunPauseGate.Set();
        }
        // Stopped as the run's Stop does it: the flag first, then the gate open.
        g_RunContinue = false;
        g_hRunPauseGate.Set();
        faults.Release();
        run.join();
        EXPECT_FALSE(changed.load());
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
        EXPECT_EQ(Codes(), c.sent);
        const auto work = CopyNozzleWork();
        const auto table = CopyNozzleTable();
        EXPECT_EQ(work[1].mountedNozzle, c.mounted);
        EXPECT_EQ(work[1].head, c.mounted ? 2 : 0);
        EXPECT_EQ(table[0].inHolder != 0, c.inHolder1);
        EXPECT_EQ(table[1].inHolder != 0, c.inHolder2);
        // The machine's ledger agrees.
        EXPECT_EQ(machine().HeadNozzle(2), c.mounted);
        EXPECT_EQ(machine().NozzleHolders()[0].holds, c.inHolder1);
        EXPECT_EQ(machine().NozzleHolders()[1].holds, c.inHolder2);
        TearDown();
        SimTest::SetUp();
    }
}

} // namespace
} // namespace smt::test
