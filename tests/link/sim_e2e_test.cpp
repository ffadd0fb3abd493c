// The link against the simulated machine: the serial scan over a pseudo-terminal,
// both links under every fault the simulator makes, and the panel keys and reports.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "link/cmd_srv.h"
#include "link/exchange.h"
#include "link/link_lost.h"
#include "link/replies.h"
#include "link/serial_link.h"
#include "sim_fixture.h"

using namespace smt;
using namespace smt::test;
using namespace std::chrono_literals;

namespace {

class SimLink : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        SetWaitLimitOverride(WaitKind::Move, 1500ms);
    }
    // Scans from COM `from` and finds the machine at COM5.
    void ConnectSerial(int from = 3) {
        int number = from;
        ASSERT_TRUE(GetSerialLink().OpenSerialLink(number));
        ASSERT_EQ(number, 5);
    }
    void ConnectUdp() {
        ASSERT_TRUE(GetMachineLink().Open("127.0.0.2", sim->udp()->Port(), LocalEndpoint{"127.0.0.1", 0}));
        StartUdpReplyThread(GetMachineLink());
        g_PanelLink.zCheckMask = machine().ZState();  // heads where the board says they are
        g_Connected = true;
    }
    // A single-axis move of A1 (no travel limit involved), on either link.
    bool SerialMove(std::int32_t delta = 100) {
        return ExchangeSerial(ReplyFamily::SingleAxis, WaitKind::Move, "61->单轴运动",
                              BuildSerialFrame(0x61, FrameData{}.U8(4).Sm32(delta).U8(10).U8(20)));
    }
    bool UdpMove(std::int32_t delta = 100) {
        return ExchangeEthernet(ReplyFamily::SingleAxis, WaitKind::Move, "61->单轴运动", 0x61,
                                Payload{}.U8(4).I32(0).I32(delta).I32(10).I32(20).Bytes());
    }
    // Runs `step` and checks it ended well within a hang's reach.
    template <class F>
    bool Timed(F step, std::chrono::milliseconds within = 4000ms) {
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = step();
        EXPECT_LT(std::chrono::steady_clock::now() - t0, within);
        return ok;
    }
    // After `fault` the move gets no answer: it fails, names itself, clears connected.
    template <class F>
    void ExpectUnanswered(const std::function<void()>& fault, F move) {
        g_Connected = true;
        boxes.Clear();
        fault();
        EXPECT_FALSE(Timed(move));
        EXPECT_FALSE(g_Connected.load());
        EXPECT_EQ(boxes.Texts(), Calls{NoAnswerText("61->单轴运动")});
    }
};

}  // namespace

TEST_F(SimLink, SerialScanFindsTheSimulatorAtCom5ReconnectsAndTakesWholeFramesOnly) {
    StartSim(0, true, false);
    // COM numbers map to the published folder first.
    EXPECT_EQ(ComDeviceCandidates(5), (std::vector<std::string>{dir.File("COM5"), "/dev/ttyS4", "/dev/ttyUSB4"}));
    EXPECT_EQ(ComDeviceCandidates(6).front(), "/dev/ttyS5");  // nothing published
    EXPECT_TRUE(ComDeviceCandidates(0).empty());

    ConnectSerial();
    EXPECT_TRUE(g_Connected.load());
    ASSERT_FALSE(machine().Frames().empty());
    EXPECT_EQ(machine().Frames()[0].code, 0x00);
    // The reply thread runs the link-established step after the scan returns.
    EXPECT_TRUE(WaitUntil([&] { return HookSeen("linked"); }));
    EXPECT_TRUE(SerialMove(250));
    EXPECT_EQ(machine().Positions().a[0], 250);
    EXPECT_EQ(g_PanelLink.replyCounter.load(), 1);
    // The port is held exclusively: nobody else can open it now.
    SerialPort other;
    EXPECT_FALSE(other.OpenPath(dir.File("COM5")));

    ConnectSerial(5);  // the open port is let go before the scan
    EXPECT_EQ(FramesOf(0x00).size(), 2u);
    // Replies still flow through exactly one reader.
    sim->serial()->SendRaw(ReplyBytes(0x01, 0x53));
    EXPECT_EQ(g_ReplyEvents[ReplyFamily::MoveXY].Wait(2s), plat::WaitResult::Signalled);
    // Eight threads writing at once give only whole frames at the board.
    machine().ClearRecords();
    std::vector<std::thread> writers;
    for (int t = 0; t < 8; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 1000; ++i)
                GetSerialLink().SendFrame(BuildSerialFrame(0x03, FrameData{}.U8(t + 1).U8(i & 1)));
        });
    }
    for (auto& w : writers) w.join();
    WaitUntil([&] { return machine().OutputLog().size() >= 8000; }, 20s);
    EXPECT_EQ(machine().OutputLog().size(), 8000u);
    for (const auto& f : machine().Frames()) EXPECT_TRUE(f.accepted) << f.reason;
}

TEST_F(SimLink, SilentMachineGivesTheFailureCaptionAndTheScanRestartsAtOne) {
    StartSim(0, true, false, 97);
    sim->faults().SilenceAll(true);
    int number = 96;
    EXPECT_FALSE(Timed([&] { return GetSerialLink().OpenSerialLink(number); }));  // one silent port, one handshake wait
    EXPECT_EQ(number, 1);
    EXPECT_FALSE(g_Connected.load());
    EXPECT_EQ(hooks.Calls(), Calls{"caption 联机失败"});
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(FramesOf(0x00).size(), 1u);  // it did get the handshake

    hooks.Take();
    number = 100;
    EXPECT_FALSE(GetSerialLink().OpenSerialLink(number));  // nothing to try
    EXPECT_EQ(number, 1);
    EXPECT_EQ(hooks.Calls(), Calls{"caption 联机失败"});
}

TEST_F(SimLink, AbandonedAttemptLeavesNoReaderBehind) {
    // A silent machine at COM4, the real one at COM6: the attempt on COM4 is
    // stopped and joined before COM6 is tried, so only one reader fills the ring.
    StartSim(0, true, false, 4);
    std::unique_ptr<sim::Simulator> silent = std::move(sim);
    silent->faults().SilenceAll(true);
    StartSim(0, true, false, 6);
    int number = 4;
    ASSERT_TRUE(GetSerialLink().OpenSerialLink(number));
    EXPECT_EQ(number, 6);
    // The abandoned port was closed: it can be opened again by anyone.
    SerialPort again;
    EXPECT_TRUE(again.OpenPath(dir.File("COM4")));
    // A late answer on the abandoned port reaches nobody.
    silent->serial()->SendRaw(ReplyBytes(0x01, 0x61));
    sim->serial()->SendRaw(ReplyBytes(0x01, 0x64));
    EXPECT_EQ(g_ReplyEvents[ReplyFamily::MoveXYA].Wait(2s), plat::WaitResult::Signalled);
    EXPECT_NE(g_ReplyEvents[ReplyFamily::SingleAxis].Wait(50ms), plat::WaitResult::Signalled);
    silent->Stop();
}

TEST_F(SimLink, SerialFaultsEndInTheReplyOrAClearFailure) {
    StartSim(0, true, false);
    ConnectSerial();
    auto& faults = sim->faults();

    faults.SetDelayMs(200);
    EXPECT_TRUE(Timed([&] { return SerialMove(); }));
    faults.SetDelayMs(0);
    faults.SplitNext();
    EXPECT_TRUE(Timed([&] { return SerialMove(); }));
    faults.SplitNext(limits::kFrameTail.count() / 2);
    EXPECT_TRUE(Timed([&] { return SerialMove(); }));
    faults.GarbageNext();
    EXPECT_TRUE(Timed([&] { return SerialMove(); }));
    EXPECT_TRUE(g_Connected.load());
    EXPECT_EQ(boxes.Count(), 0u);
    // A broken terminator (the reply never forms), then silence.
    ExpectUnanswered([&] { faults.BadSumNext(); }, [&] { return SerialMove(); });
    ExpectUnanswered([&] { faults.SilenceNext(); }, [&] { return SerialMove(); });
    // Nothing goes out over a link declared lost; connected again, the link itself
    // is still good for the next command.
    const std::size_t sent = FrameCount();
    EXPECT_FALSE(SerialMove());
    EXPECT_EQ(FrameCount(), sent);
    EXPECT_EQ(boxes.Count(), 1u);
    NoteLinkUp();
    EXPECT_TRUE(SerialMove());
    // E4 in place of the reply to an X/Y/A move: refused at once, the heads not homed.
    boxes.Clear();
    g_CommandInFlight = 64;
    faults.ErrorNext(0xE4);
    EXPECT_FALSE(Timed([&] {
        return ExchangeSerial(ReplyFamily::MoveXYA, WaitKind::Move, "64->XYA轴运动",
                              BuildSerialFrame(0x64, FrameData{}.Sm16(10).U8(1).U8(2).Sm16(-10).U8(1).U8(2)
                                                         .U8(1).Sm16(0).U8(0).U8(0).U8(0)));
    }));
    EXPECT_FALSE(g_HeadResetOk.load());
    // The move is released before the box goes up.
    EXPECT_TRUE(WaitUntil([&] { return boxes.Count() == 1; }));
    EXPECT_EQ(boxes.Texts(), Calls{"返回指令E4 - 设备自动运行保护中 !"});
    // Unplugged: the wait ends at once, not after the move limit.
    boxes.Clear();
    g_Connected = true;
    SetWaitLimitOverride(WaitKind::Move, 0ms);
    ArmReply(ReplyFamily::SingleAxis);
    faults.SetDelayMs(400);
    GetSerialLink().SendFrame(BuildSerialFrame(0x61, FrameData{}.U8(4).Sm32(1).U8(10).U8(20)));
    std::thread pull([&] {
        std::this_thread::sleep_for(50ms);
        sim->serial()->Unplug();
    });
    EXPECT_FALSE(Timed([&] {
        return AwaitReply(ReplyFamily::SingleAxis, WaitKind::Move, "61->单轴运动", Transport::Serial);
    }));
    pull.join();
    EXPECT_FALSE(g_Connected.load());
    // The port's loss is told once, in its own box; the wait only traces.
    EXPECT_EQ(boxes.Texts(), Calls{LinkLostText()});
    EXPECT_TRUE(HookSeen("trace Serial port lost !"));
    // Writing to the closed link fails instead of hanging.
    GetSerialLink().Close();
    EXPECT_FALSE(GetSerialLink().SendFrame(HandshakeFrame()));
}

// A serial report names no command. The machine refuses an X/Y/A move (nothing
// moves) while a second thread's A1 move has armed its wait, its frame going out
// behind the report: both waits end refused, yet the machine turns A1. The counters
// are in doubt, so the machine no longer counts as homed (a run would otherwise
// pick every part beside its feeder).
TEST_F(SimLink, SerialReportThatRefusesAMoveCarriedOutAsksForAHoming) {
    StartSim(3, true, false);
    ConnectSerial();
    auto& faults = sim->faults();
    g_Homed = true;
    // A head fault asks for a homing through the heads' reset state; a move refused
    // at a travel limit needs none.
    faults.ErrorNext(0xE4);
    EXPECT_FALSE(Timed([&] { return SerialMove(); }));
    EXPECT_FALSE(g_HeadResetOk.load());
    faults.ErrorNext(0xE8, 0x11);
    EXPECT_FALSE(Timed([&] { return SerialMove(); }));
    EXPECT_TRUE(g_Homed.load());
    EXPECT_TRUE(WaitUntil([&] { return boxes.Count() == 2; }));
    boxes.Clear();
    g_HeadResetOk = true;
    ASSERT_TRUE(SerialMove(40));
    const std::int32_t a1 = machine().Positions().a[0];
    faults.ErrorNext(0xE1);
    {
        ReplyWaiter turn(ReplyFamily::SingleAxis);
        EXPECT_FALSE(Timed([&] {
            return ExchangeSerial(ReplyFamily::MoveXYA, WaitKind::Move, "64->XYA轴运动",
                                  BuildSerialFrame(0x64, FrameData{}.Sm16(10).U8(1).U8(2).Sm16(-10).U8(1).U8(2)
                                                             .U8(1).Sm16(0).U8(0).U8(0).U8(0)));
        }));
        ASSERT_TRUE(GetSerialLink().SendFrame(BuildSerialFrame(0x61, FrameData{}.U8(4).Sm32(250).U8(10).U8(20))));
        EXPECT_FALSE(Timed([&] {
            return AwaitReply(ReplyFamily::SingleAxis, WaitKind::Move, "61->单轴运动", Transport::Serial);
        }));
    }
    EXPECT_TRUE(WaitUntil([&] { return machine().Positions().a[0] == a1 + 250; }));
    EXPECT_FALSE(g_Homed.load());
    EXPECT_TRUE(g_HeadResetOk.load());
    EXPECT_TRUE(WaitUntil([&] { return boxes.Count() == 1; }));
    EXPECT_EQ(boxes.Texts(), Calls{"Error E1"});
}

TEST_F(SimLink, UdpFaultsEndInTheReplyOrAClearFailure) {
    StartSim(3, false, true);
    ConnectUdp();
    auto& faults = sim->faults();

    EXPECT_TRUE(UdpMove(300));
    EXPECT_EQ(machine().Positions().a[0], 300);
    faults.SetDelayMs(200);
    EXPECT_TRUE(Timed([&] { return UdpMove(); }));
    faults.SetDelayMs(0);
    faults.GarbageNext();
    EXPECT_TRUE(Timed([&] { return UdpMove(); }));
    EXPECT_EQ(boxes.Count(), 0u);

    ExpectUnanswered([&] { faults.SplitNext(); }, [&] { return UdpMove(); });
    ExpectUnanswered([&] { faults.BadSumNext(); }, [&] { return UdpMove(); });
    ExpectUnanswered([&] { faults.SilenceNext(); }, [&] { return UdpMove(); });
    // A board time-out status: shown, connected cleared, the command refused at once.
    g_Connected = true;
    boxes.Clear();
    faults.TimeoutNext(0x41);
    EXPECT_FALSE(Timed([&] { return UdpMove(); }));
    EXPECT_EQ(boxes.Texts(), Calls{"Error-41 = 机头板超时 !"});
    EXPECT_FALSE(g_Connected.load());
    // Unplugged board: the command fails within its limit.
    g_Connected = true;
    boxes.Clear();
    sim->udp()->Unplug();
    EXPECT_FALSE(Timed([&] { return UdpMove(); }));
    EXPECT_FALSE(g_Connected.load());
}

TEST_F(SimLink, PanelKeysAndReportsReachTheProgramOnBothLinks) {
    StartSim(2, true, true);
    ConnectSerial();
    ConnectUdp();
    ASSERT_TRUE(UdpMove());  // the board answers unsolicited messages to the host that spoke last
    hooks.Take();
    sim->PressKey(sim::PanelKey::Start);  // both links: serial '1' and Ethernet key 1
    EXPECT_TRUE(WaitUntil([&] { return hooks.Calls().size() >= 2; }));
    EXPECT_EQ(hooks.Take(), (Calls{"start", "start"}));

    g_Homed = true;
    sim->udp()->SendKey(6);
    sim->serial()->SendReport(0xE2, 0x03);
    EXPECT_TRUE(WaitUntil([&] { return !hooks.Calls().empty() && boxes.Count() > 0; }));
    EXPECT_EQ(hooks.Take(), Calls{"speed 5,1"});
    EXPECT_EQ(boxes.Texts(), Calls{"Error E2-03电机或传感器故障 !"});
    EXPECT_FALSE(g_Homed.load());
}
