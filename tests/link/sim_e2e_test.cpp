// The link against the simulated machine: the serial scan over a real
// pseudo-terminal, both links under every fault the simulator can make, and the
// machine's own panel keys and error reports reaching the program.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include "link/cmd_srv.h"
#include "link/exchange.h"
#include "link/replies.h"
#include "link/serial_link.h"
#include "link_fixture.h"
#include "simulator.h"

using namespace smt;
using namespace smt::test;
using namespace std::chrono_literals;

namespace {

constexpr int kSimCom = 5;

class SimLink : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        ::setenv("SMT_SERIAL_DIR", dir.Path().c_str(), 1);
        SetWaitLimitOverride(WaitKind::Move, 1500ms);
    }
    void TearDown() override {
        StopUdpReplyThread();
        GetSerialLink().Close();
        GetMachineLink().Close();
        if (machine) machine->Stop();
        machine.reset();
        ::unsetenv("SMT_SERIAL_DIR");
        LinkTest::TearDown();
    }
    void StartSim(int type, bool serial, bool udp) {
        sim::SimConfig c;
        c.machineType = type;
        c.serial = serial;
        c.serialDir = dir.Path();
        c.comNumber = kSimCom;
        c.udp = udp;
        c.udpPort = 0;
        c.discoveryPort = 0;
        machine = std::make_unique<sim::Simulator>(c);
        std::string error;
        ASSERT_TRUE(machine->Start(&error)) << error;
    }
    void ConnectSerial() {
        int number = 3;
        ASSERT_TRUE(GetSerialLink().Open(number));
        ASSERT_EQ(number, kSimCom);
    }
    void ConnectUdp() {
        ASSERT_TRUE(GetMachineLink().Open("127.0.0.2", machine->udp()->Port(), LocalEndpoint{"127.0.0.1", 0}));
        StartUdpReplyThread(GetMachineLink());
        g_PanelLink.zCheckMask = machine->machine().ZState();  // heads where the board says they are
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
    // Runs `step` and checks it ended within the limit plus slack.
    template <class F>
    bool Timed(F step, std::chrono::milliseconds within = 4000ms) {
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = step();
        EXPECT_LT(std::chrono::steady_clock::now() - t0, within);
        return ok;
    }
    template <class P>
    static bool Eventually(P done, std::chrono::milliseconds limit = 3000ms) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (!done() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(5ms);
        return done();
    }
    TempDir dir;
    std::unique_ptr<sim::Simulator> machine;
};

}  // namespace

TEST_F(SimLink, SerialScanFromCom3FindsTheSimulatorAtCom5) {
    StartSim(0, true, false);
    ConnectSerial();
    EXPECT_TRUE(g_Connected.load());
    EXPECT_TRUE(SerialMove(250));
    EXPECT_EQ(machine->machine().Positions().a[0], 250);
    EXPECT_EQ(g_PanelLink.replyCounter.load(), 1);
}

TEST_F(SimLink, SilentMachineGivesTheFailureCaption) {
    StartSim(0, true, false);
    machine->faults().SilenceAll(true);
    int number = kSimCom;
    EXPECT_FALSE(Timed([&] { return GetSerialLink().Open(number); }));
    EXPECT_EQ(number, 1);
    EXPECT_FALSE(g_Connected.load());
    EXPECT_EQ(hooks.Calls(), Calls{"caption 联机失败"});
}

TEST_F(SimLink, EightThreadsGiveOnlyWholeFramesAtTheBoard) {
    StartSim(0, true, false);
    ConnectSerial();
    machine->machine().ClearRecords();
    std::vector<std::thread> writers;
    for (int t = 0; t < 8; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 1000; ++i)
                GetSerialLink().SendFrame(BuildSerialFrame(0x03, FrameData{}.U8(t + 1).U8(i & 1)));
        });
    }
    for (auto& w : writers) w.join();
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (machine->machine().OutputLog().size() < 8000 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(machine->machine().OutputLog().size(), 8000u);
    for (const auto& f : machine->machine().Frames()) EXPECT_TRUE(f.accepted) << f.reason;
}

TEST_F(SimLink, SerialFaultsEndInTheReplyOrAClearFailure) {
    StartSim(0, true, false);
    ConnectSerial();
    auto& faults = machine->faults();

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

    faults.BadSumNext();  // a broken terminator: the reply never forms
    EXPECT_FALSE(Timed([&] { return SerialMove(); }));
    EXPECT_FALSE(g_Connected.load());
    EXPECT_EQ(boxes.Texts(), Calls{NoAnswerText("61->单轴运动")});

    g_Connected = true;
    boxes.Clear();
    faults.SilenceNext();
    EXPECT_FALSE(Timed([&] { return SerialMove(); }));
    EXPECT_EQ(boxes.Texts(), Calls{NoAnswerText("61->单轴运动")});
    // The link itself is still good for the next command.
    EXPECT_TRUE(SerialMove());

    // E4 in place of the reply to an X/Y/A move releases it with the heads not homed.
    boxes.Clear();
    g_CommandInFlight = 64;
    faults.ErrorNext(0xE4);
    EXPECT_TRUE(Timed([&] {
        return ExchangeSerial(ReplyFamily::MoveXYA, WaitKind::Move, "64->XYA轴运动",
                              BuildSerialFrame(0x64, FrameData{}.Sm16(10).U8(1).U8(2).Sm16(-10).U8(1).U8(2)
                                                         .U8(1).Sm16(0).U8(0).U8(0).U8(0)));
    }));
    EXPECT_FALSE(g_HeadResetOk.load());
    // The move is released before the box goes up.
    EXPECT_TRUE(Eventually([&] { return boxes.Count() == 1; }));
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
        machine->serial()->Unplug();
    });
    EXPECT_FALSE(Timed([&] {
        return AwaitReply(ReplyFamily::SingleAxis, WaitKind::Move, "61->单轴运动", Transport::Serial);
    }));
    pull.join();
    EXPECT_FALSE(g_Connected.load());
}

TEST_F(SimLink, UdpFaultsEndInTheReplyOrAClearFailure) {
    StartSim(3, false, true);
    ConnectUdp();
    auto& faults = machine->faults();

    EXPECT_TRUE(UdpMove(300));
    EXPECT_EQ(machine->machine().Positions().a[0], 300);
    faults.SetDelayMs(200);
    EXPECT_TRUE(Timed([&] { return UdpMove(); }));
    faults.SetDelayMs(0);
    faults.GarbageNext();
    EXPECT_TRUE(Timed([&] { return UdpMove(); }));
    EXPECT_EQ(boxes.Count(), 0u);

    const std::function<void()> lost[] = {[&] { faults.SplitNext(); }, [&] { faults.BadSumNext(); }};
    for (const auto& fault : lost) {
        g_Connected = true;
        boxes.Clear();
        fault();
        EXPECT_FALSE(Timed([&] { return UdpMove(); }));
        EXPECT_FALSE(g_Connected.load());
        EXPECT_EQ(boxes.Texts(), Calls{NoAnswerText("61->单轴运动")});
    }
    g_Connected = true;
    boxes.Clear();
    faults.SilenceNext();
    EXPECT_FALSE(Timed([&] { return UdpMove(); }));
    EXPECT_EQ(boxes.Texts(), Calls{NoAnswerText("61->单轴运动")});

    // A board time-out status: shown, connected cleared, the command still released.
    g_Connected = true;
    boxes.Clear();
    faults.ErrorNext(0x41);
    EXPECT_TRUE(Timed([&] { return UdpMove(); }));
    EXPECT_EQ(boxes.Texts(), Calls{"Error-41 = 机头板超时 !"});
    EXPECT_FALSE(g_Connected.load());

    // Unplugged board: the command fails within its limit.
    g_Connected = true;
    boxes.Clear();
    machine->udp()->Unplug();
    EXPECT_FALSE(Timed([&] { return UdpMove(); }));
    EXPECT_FALSE(g_Connected.load());
}

TEST_F(SimLink, PanelKeysAndReportsReachTheProgramOnBothLinks) {
    StartSim(2, true, true);
    ConnectSerial();
    ConnectUdp();
    ASSERT_TRUE(UdpMove());  // the board answers unsolicited messages to the host that spoke last
    hooks.Take();
    machine->PressKey(sim::PanelKey::Start);  // both links: serial '1' and Ethernet key 1
    EXPECT_TRUE(Eventually([&] { return hooks.Calls().size() >= 2; }));
    EXPECT_EQ(hooks.Take(), (Calls{"start", "start"}));

    g_Homed = true;
    machine->udp()->SendKey(6);
    machine->serial()->SendReport(0xE2, 0x03);
    EXPECT_TRUE(Eventually([&] { return !hooks.Calls().empty() && boxes.Count() > 0; }));
    EXPECT_EQ(hooks.Take(), Calls{"speed 5,1"});
    EXPECT_EQ(boxes.Texts(), Calls{"Error E2-03电机或传感器故障 !"});
    EXPECT_FALSE(g_Homed.load());
}
