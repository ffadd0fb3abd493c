// The automatic nozzle change against the simulated nozzle library: a machine of a
// given type with its heads set out in a row, the books checked against the
// machine's ledger, and everything put back afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "../link/sim_fixture.h"
#include "feeders/nozzle_library.h"
#include "joblist/smt_strategy.h"
#include "run/nozzle_change.h"
#include "run/placement_records.h"
#include "run_state/nozzle_work.h"
#include "run_state/run_events.h"

namespace smt::test {

class NozzleLibrarySimTest : public SimTest {
protected:
    void TearDown() override {
        TheSmtStrategy().SetConfig({});
        TheNozzleLibrary().m_Config = {};
        ResetNozzleStates();
        g_NozzleSlots = {};
        g_LoadedNozzleCount = 0, g_MachineType = 0, g_RunContinue = false;
        SimTest::TearDown();
    }

    // The machine of `type`, connected and homed, with 100 pulses per mm in X and 80
    // in Y. Head n sits (n - 1) x pitchMm right of head 1 and (n - 1) x 1.25 mm off
    // it in Y, behind for even heads and in front for odd ones, and reaches 0.5 mm
    // lower per head: the basic settings' offsets, and in pulses `headOffsets` (for
    // the machine) and `heights`.
    void StartHeads(int type, double pitchMm) {
        g_MachineType = type;
        StartMachine(true, type);
        g_Homed = true, g_HeadResetOk = true;
        ThePulseFactors().m_X_Pulse = 100;
        ThePulseFactors().m_Y_Pulse = 80;
        BasicSettings& b = TheBasicSettings();
        double* offX[] = {&b.m_X_Nozzle2ToNozzle1, &b.m_X_Nozzle3ToNozzle1, &b.m_X_Nozzle4ToNozzle1, &b.m_X_Nozzle5ToNozzle1,
                          &b.m_X_Nozzle6ToNozzle1, &b.m_X_Nozzle7ToNozzle1, &b.m_X_Nozzle8ToNozzle1};
        double* offY[] = {&b.m_Y_Nozzle2ToNozzle1, &b.m_Y_Nozzle3ToNozzle1, &b.m_Y_Nozzle4ToNozzle1, &b.m_Y_Nozzle5ToNozzle1,
                          &b.m_Y_Nozzle6ToNozzle1, &b.m_Y_Nozzle7ToNozzle1, &b.m_Y_Nozzle8ToNozzle1};
        const auto pitch = static_cast<std::int32_t>(pitchMm * 100);
        for (int n = 1; n <= 8; ++n) {
            const int sign = n % 2 == 0 ? -1 : 1;
            if (n > 1) *offX[n - 2] = pitchMm * (n - 1), *offY[n - 2] = sign * 1.25 * (n - 1);
            // 1.25 mm at 80 pulses per mm: 100
            headOffsets[static_cast<std::size_t>(n - 1)] = {pitch * (n - 1), sign * 100 * (n - 1)};
            heights[static_cast<std::size_t>(n - 1)] = -500 - 50 * (n - 1);
        }
    }

    // Every head's record and every holder as the machine's ledger has them.
    void ExpectBooksMatchMachine() {
        const auto work = CopyNozzleWork();
        const auto table = CopyNozzleTable();
        for (int head = 1; head <= 8; ++head) {
            int carried = 0;
            for (int r = 0; r < 8; ++r)
                if (work[static_cast<std::size_t>(r)].head == head) carried = work[static_cast<std::size_t>(r)].mountedNozzle;
            EXPECT_EQ(carried, machine().HeadNozzle(head)) << "head " << head;
        }
        const auto holders = machine().NozzleHolders();
        for (std::size_t h = 0; h < holders.size(); ++h)
            EXPECT_EQ(table[h].inHolder != 0, holders[h].holds) << "holder " << h + 1;
    }

    std::array<std::pair<std::int32_t, std::int32_t>, 8> headOffsets{};
    std::array<std::int32_t, 8> heights{};
};

}  // namespace smt::test
