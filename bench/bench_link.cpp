// Machine link speed: command round trips per second over UDP loopback and over a
// pseudo-terminal against the simulated machine answering at once, and the program's own time
// per command (frame building, cutting, dispatch, event hand-off) without any I/O.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "link/cmd_srv.h"
#include "link/link_state.h"
#include "link/replies.h"
#include "link/serial_link.h"
#include "simulator.h"

using namespace smt;

namespace {

// The simulated machine answering at once, on loopback UDP or on its terminal.
std::unique_ptr<sim::Simulator> StartSimulator(bool serial, const std::string& dir) {
    sim::SimConfig c;
    c.serial = serial;
    c.serialDir = dir;
    c.comNumber = 7;
    c.udp = !serial;
    c.udpPort = 0;
    c.discoveryPort = 0;
    auto s = std::make_unique<sim::Simulator>(c);
    if (!s->Start()) s.reset();
    return s;
}

void BM_UdpRoundTrip(benchmark::State& state) {
    ResetLinkState();
    auto machine = StartSimulator(false, "");
    MachineLink link;
    if (!machine || !link.Open("127.0.0.2", machine->udp()->Port(), LocalEndpoint{"127.0.0.1", 0})) {
        state.SkipWithError("simulator or endpoint not started");
        return;
    }
    StartUdpReplyThread(link);
    g_PanelLink.zCheckMask = machine->machine().ZState();
    const auto payload = Payload{}.U8(4).I32(0).I32(1).I32(10).I32(20).Bytes();
    for (auto _ : state) {
        ArmReply(ReplyFamily::SingleAxis);
        link.SendCommand(0x61, payload);
        if (!AwaitReply(ReplyFamily::SingleAxis, WaitKind::Move, "61", Transport::Ethernet)) {
            state.SkipWithError("no reply");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    StopUdpReplyThread();
    link.Close();
}
BENCHMARK(BM_UdpRoundTrip)->UseRealTime();

void BM_PtyRoundTrip(benchmark::State& state) {
    ResetLinkState();
    const auto dir = std::filesystem::temp_directory_path() / ("bench_link_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ::setenv("SMT_SERIAL_DIR", dir.c_str(), 1);
    {
        auto machine = StartSimulator(true, dir.string());
        int number = 7;
        if (!machine || !GetSerialLink().OpenSerialLink(number)) {
            state.SkipWithError("simulator or serial link not started");
        } else {
            const auto frame = BuildSerialFrame(0x61, FrameData{}.U8(4).Sm32(1).U8(10).U8(20));
            for (auto _ : state) {
                ArmReply(ReplyFamily::SingleAxis);
                GetSerialLink().SendFrame(frame);
                if (!AwaitReply(ReplyFamily::SingleAxis, WaitKind::Move, "61", Transport::Serial)) {
                    state.SkipWithError("no reply");
                    break;
                }
            }
            state.SetItemsProcessed(state.iterations());
        }
        GetSerialLink().Close();
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_PtyRoundTrip)->UseRealTime();

// The program's own share of one serial command: build the frame, take the reply
// bytes into the ring, cut and dispatch it, and release the waiting event.
void BM_SerialOwnTimePerCommand(benchmark::State& state) {
    ResetLinkState();
    FrameCutter cutter;
    const std::vector<std::uint8_t> reply{0xEE, 0x01, 0x61, 0xFF, 0xFC, 0xFF, 0xFF};
    for (auto _ : state) {
        ArmReply(ReplyFamily::SingleAxis);
        auto frame = BuildSerialFrame(0x61, FrameData{}.U8(0).Sm32(100).U8(10).U8(20));
        benchmark::DoNotOptimize(frame.data());
        cutter.Push(reply.data(), reply.size());
        cutter.Cut(DispatchSerialReply, FrameCutter::Clock::now(), limits::kFrameTail);
        g_ReplyEvents[ReplyFamily::SingleAxis].Wait(plat::Millis(0));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SerialOwnTimePerCommand);

// The same for an Ethernet command: payload, datagram, unpacking and dispatch.
void BM_EthernetOwnTimePerCommand(benchmark::State& state) {
    ResetLinkState();
    MachineLink link;
    const auto reply = PackPacket(1, 0x61, 0, {0x00, 0x00});
    std::vector<std::uint8_t> out(64);
    for (auto _ : state) {
        ArmReply(ReplyFamily::SingleAxis);
        const auto payload = Payload{}.U8(0).I32(0).I32(100).I32(10).I32(20).Bytes();
        benchmark::DoNotOptimize(PackPacket(0, 0x61, 0, payload.data(), payload.size(), out.data(), out.size()));
        LinkMessage m;
        UnpackPacket(reply.data(), reply.size(), m);
        DispatchEthernetReply(m, link);
        g_ReplyEvents[ReplyFamily::SingleAxis].Wait(plat::Millis(0));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EthernetOwnTimePerCommand);

}  // namespace
