// The conveyor companion against the simulated machine on both links, machine
// types 0 and 7: the zone-2 frame byte for byte, the zone and board-event order of
// a three-board run and of a single-board run, a stop while the board is being
// worked, and a zone that never completes. The test thread stands in for the run
// thread: it waits for each board and releases it as the run thread does.
#include <algorithm>
#include <string>
#include <vector>

#include "../link/sim_fixture.h"
#include "base/globals.h"
#include "codec.h"
#include "joblist/part_list.h"
#include "joblist/run_toolbar.h"
#include "machine_ops/auto_transport.h"
#include "link/positioning.h"
#include "run/conveyor_companion.h"
#include "run/run_frame.h"
#include "run_state/run_events.h"
#include "run_state/run_frame_sources.h"

namespace smt::test {
namespace {

using Strings = std::vector<std::string>;

struct Case {
    Wire wire;
    int type;
};

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    return std::string(info.param.wire == Wire::Serial ? "Serial" : "Ethernet") + "Type" +
           std::to_string(info.param.type);
}

// Belt 1 runs backwards and both distances truncate: -12345.678 mm x 100 =
// -1234567.8 -> -1234567 (not -1234568), 250.019 mm x 80 = 20001.52 -> 20001.
AutoTransportConfig Settings() {
    AutoTransportConfig c;
    c.m_ConveyorStartSpeed = 10;
    c.m_ConveyorNormalSpeed = 20;
    c.m_ClampTime = 5;
    c.m_WaitTimeOut = 3000;
    c.m_AutoTransport_1_1 = 10.019;
    c.m_AutoTransport_1_2 = -12345.678;
    c.m_AutoTransport_2_1 = 250.019;
    c.m_AutoTransport_2_2 = 3.3;
    c.m_AutoTransport_3_1 = 4.01;
    c.m_AutoTransport_3_2 = 20;
    c.m_AutoTransport = 1;
    return c;
}

class ConveyorCompanion : public SimTest, public ::testing::WithParamInterface<Case> {
protected:
    void SetUp() override {
        SimTest::SetUp();
        g_MachineType = GetParam().type;
        StartMachine(serial(), GetParam().type);
        CreateRunEvents();
        ThePartList().Reset();
        ThePulseFactors().m_WestLift_Pulse = 100;
        ThePulseFactors().m_NorthLift_Pulse = 80;
        ThePulseFactors().m_EastLift_Pulse = 50;
        TheAutoTransport().SetConfig(Settings());
        TheAutoTransport().m_ClampState = 0;
        g_RunContinue = g_ConveyorContinue = true;
        TheRunFrameSources().pcbBoardCount = [this] { return boards.load(); };
        RunThreadEntry(RunThreadKind::ConveyorZone2) = [] { ConveyorZone2Thread(); };
    }
    void TearDown() override {
        g_RunContinue = g_ConveyorContinue = false;
        g_hBoardDone.Set();
        WaitUntil([] { return !RunThreadLive(RunThreadKind::ConveyorZone2); });
        RunThreadEntry(RunThreadKind::ConveyorZone2) = nullptr;
        SetConveyorWaitOverride(plat::Millis(0), plat::Millis(0));
        TheAutoTransport().SetConfig({});
        TheAutoTransport().m_ClampState = 0;
        ThePartList().Reset();
        TheRunFrameSources().pcbBoardCount = nullptr;
        g_MachineType = 0;
        if (sim) sim->faults().Clear();
        SimTest::TearDown();
    }
    bool serial() const { return GetParam().wire == Wire::Serial; }
    bool type7() const { return GetParam().type == 7; }

    // The PCB editor's board count as the run thread counts it down.
    std::atomic<int> boards{0};

    void Start(int count) {
        boards = count;
        StartRunThread(RunThreadKind::ConveyorZone2);
    }
    static bool Ended() { return WaitUntil([] { return !RunThreadLive(RunThreadKind::ConveyorZone2); }); }
    // The run thread's wait for the next board.
    static bool BoardArrives() { return g_hBoardArrived.Wait(plat::Millis(20'000)) == plat::WaitResult::Signalled; }
    // The run thread's end of a board: counted off, the camera to its stop
    // position, the board released.
    void BoardEnd() {
        --boards;
        EXPECT_TRUE(MoveCameraToVisualOrigin());
        g_hBoardDone.Set();
    }

    std::vector<int> Zones() {
        std::vector<int> z;
        for (const auto& r : machine().ConveyorRuns()) z.push_back(r.zone);
        return z;
    }
    int ZoneCount(int zone) {
        const auto z = Zones();
        return static_cast<int>(std::count(z.begin(), z.end(), zone));
    }
    // Outputs and zone runs in the order the machine took them. Outputs are not
    // answered, so the last may be recorded a moment after the companion went on.
    Strings Sequence(std::size_t atLeast) {
        WaitUntil([&] { return machine().Frames().size() >= atLeast; });
        Strings s;
        for (const auto& f : machine().Frames()) {
            if (f.code == 0x03) s.push_back("out " + std::to_string(f.data[0]) + "=" + std::to_string(f.data[1]));
            else if (f.code == 0x62) s.push_back("zone " + std::to_string(f.data[0]));
        }
        return s;
    }
};

TEST_P(ConveyorCompanion, ZoneTwoFrameOnTheLinkByteForByteWithItsTraces) {
    ThePartList().m_RunFromRow[static_cast<int>(JobList::Part)] = 1;
    Start(1);
    ASSERT_TRUE(BoardArrives());
    const auto runs = FramesOf(0x62);
    ASSERT_EQ(runs.size(), 2u);
    ASSERT_TRUE(runs[1].accepted);  // length, sum and tail as the board checks them
    if (serial()) {
        // Zone 2, flags 00 01 00; belt 1 -1234567 with bit 31 set, belt 2 20001,
        // belt 3 0; speeds 10 and 20; sum of bytes 1..24 = 0x31C -> 1C.
        EXPECT_EQ(HexOf(sim::EncodeHostFrame(0x62, runs[1].data)),
                  "EE 00 17 62 02 00 01 00 0B 80 12 D6 87 0C 00 00 4E 21 0D 00 00 00 00 0A 14 1C FF FC FF FF");
    } else {
        // u16 zone, u16 wait time-out 3000, u16 1, tagged i32 belts, u32 speeds.
        EXPECT_EQ(HexOf(runs[1].data), "02 00 B8 0B 01 00 0B 79 29 ED FF 0C 21 4E 00 00 0D 00 00 00 00 "
                                       "0A 00 00 00 14 00 00 00");
    }
    EXPECT_EQ(Traces(), (Strings{"62->Start", "Zone 1 run -> ", "62-1 end ", "62->Start", "Zone 2 run -> ",
                                 "62-2 end "}));
    EXPECT_EQ(TheAutoTransport().m_ClampState, 1);
    EXPECT_EQ(ThePartList().m_ConveyorBusy, 1);
    g_hBoardDone.Set();
    ASSERT_TRUE(Ended());
}

TEST_P(ConveyorCompanion, ThreeBoardsInZoneAndEventOrder) {
    Start(3);
    // Each board: wait for it, then, once the companion has brought the next
    // board in and run the previous one out, count it off and release it.
    Strings log;
    std::size_t logged = 0;
    auto take = [&](std::size_t upTo) {
        const auto z = Zones();
        for (; logged < upTo && logged < z.size(); ++logged) log.push_back("zone " + std::to_string(z[logged]));
    };
    for (int board = 1; board <= 3; ++board) {
        ASSERT_TRUE(BoardArrives()) << board;
        // Arrived after this board's zone 2 and before its zone 3.
        ASSERT_EQ(ZoneCount(2), board);
        ASSERT_EQ(ZoneCount(3), board - 1);
        const auto z = Zones();
        take(static_cast<std::size_t>(std::find(z.rbegin(), z.rend(), 2).base() - z.begin()));
        log.push_back("arrived");
        const std::size_t before = logged + 1 + (board > 1 ? 1 : 0);
        EXPECT_TRUE(WaitUntil([&] { return Zones().size() >= before; })) << board;
        EXPECT_EQ(ZoneCount(3), board - 1);  // nothing leaves before its release
        take(before);
        log.push_back("release");
        BoardEnd();
    }
    ASSERT_TRUE(Ended());
    take(Zones().size());
    EXPECT_EQ(log, (Strings{"zone 1", "zone 2", "arrived", "zone 1", "release", "zone 3",
                            "zone 2", "arrived", "zone 1", "zone 4", "release", "zone 3",
                            "zone 2", "arrived", "zone 1", "zone 4", "release", "zone 3", "zone 4"}));
    EXPECT_EQ(ThePartList().m_ConveyorBusy, 0);
    EXPECT_EQ(TheAutoTransport().m_ClampState, 0);
    EXPECT_TRUE(g_RunContinue.load());
}

TEST_P(ConveyorCompanion, ASingleBoardRunEndsWithZonesThreeAndFour) {
    // Either list's restriction makes the run a single-board one; the board count
    // is not read then.
    const std::pair<JobList, bool> restrictions[] = {{JobList::Part, false}, {JobList::Dis, true}};
    for (const auto& [list, selectedOnly] : restrictions) {
        SCOPED_TRACE(static_cast<int>(list));
        machine().ClearRecords();
        ThePartList().Reset();
        g_hBoardArrived.Reset();
        auto& flag = selectedOnly ? ThePartList().m_RunSelectedOnly : ThePartList().m_RunFromRow;
        flag[static_cast<int>(list)] = 1;
        Start(5);
        ASSERT_TRUE(BoardArrives());
        EXPECT_EQ(TheAutoTransport().m_ClampState, 1);
        EXPECT_EQ(Zones(), (std::vector<int>{1, 2}));  // no next board is brought in
        g_hBoardDone.Set();
        ASSERT_TRUE(Ended());
        const Strings want = type7() ? Strings{"zone 1", "out 49=1", "zone 2", "out 50=1", "out 49=0", "out 50=0",
                                               "out 49=0", "zone 3", "zone 4"}
                                     : Strings{"zone 1", "out 9=0", "zone 2", "out 9=1", "out 9=0", "zone 3", "zone 4"};
        EXPECT_EQ(Sequence(want.size()), want);
        EXPECT_EQ(TheAutoTransport().m_ClampState, 0);
        EXPECT_EQ(ThePartList().m_ConveyorBusy, 0);
        EXPECT_TRUE(g_RunContinue.load());  // the run ends by itself
        EXPECT_FALSE(g_hBoardArrived.IsSet());
    }
}

TEST_P(ConveyorCompanion, StopWhileTheBoardIsWorkedEndsAfterTheWaitWithTheBoardEventSet) {
    Start(3);
    ASSERT_TRUE(BoardArrives());
    // The next board is in: the companion waits for the release.
    ASSERT_TRUE(WaitUntil([&] { return Zones().size() >= 2 + 1; }));
    OnStopRun();
    ASSERT_TRUE(Ended());
    EXPECT_EQ(Zones(), (std::vector<int>{1, 2, 1}));  // nothing carried out after the stop
    EXPECT_TRUE(g_hBoardArrived.IsSet());
    EXPECT_FALSE(WaitHandOff(g_hBoardArrived, g_RunContinue));  // a run thread waiting for a board ends
    EXPECT_EQ(ThePartList().m_ConveyorBusy, 0);
    EXPECT_EQ(TheAutoTransport().m_ClampState, 1);  // the board stays clamped where it is
}

TEST_P(ConveyorCompanion, AZoneTwoThatNeverCompletesEndsTheRunWithinItsBound) {
    // The wait limit: 100 ms of the board's own wait plus a margin that lets
    // zone 1's belt time pass on a loaded machine.
    SetConveyorWaitOverride(plat::Millis(1500), plat::Millis(200));
    AutoTransportConfig c = Settings();
    c.m_WaitTimeOut = 100;
    TheAutoTransport().SetConfig(c);
    machine().SetJammedZone(2);
    Start(2);
    // The run thread waiting for its board wakes once the bound has passed.
    ASSERT_EQ(g_hBoardArrived.Wait(plat::Millis(10'000)), plat::WaitResult::Signalled);
    EXPECT_FALSE(g_RunContinue.load());
    EXPECT_FALSE(g_ConveyorContinue.load());
    ASSERT_TRUE(Ended());
    EXPECT_EQ(Zones(), (std::vector<int>{1, 2}));
    const Strings traces = Traces();
    EXPECT_EQ(traces.back(), "62-2 timeout");
    EXPECT_EQ(boxes.Texts(), Strings{BoardTimeOutText(2)});
    EXPECT_TRUE(g_Connected.load());  // a board that does not come is no dead link
    EXPECT_EQ(ThePartList().m_ConveyorBusy, 0);
    EXPECT_EQ(TheAutoTransport().m_ClampState, 0);  // never clamped
    // The run thread sees its stop at the board wait and leaves through the common end.
    EXPECT_FALSE(WaitHandOff(g_hBoardArrived, g_RunContinue));
}

INSTANTIATE_TEST_SUITE_P(Links, ConveyorCompanion,
                         ::testing::Values(Case{Wire::Serial, 0}, Case{Wire::Ethernet, 0}, Case{Wire::Serial, 7},
                                           Case{Wire::Ethernet, 7}),
                         CaseName);

}  // namespace
}  // namespace smt::test
