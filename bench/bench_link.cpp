// Machine link speed: command round trips per second over UDP loopback and over a
// pseudo-terminal against a peer that answers at once, and the program's own time
// per command (frame building, cutting, dispatch, event hand-off) without any I/O.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "../tests/link/pty_peer.h"
#include "link/cmd_srv.h"
#include "link/link_state.h"
#include "link/replies.h"
#include "link/serial_link.h"

using namespace smt;

namespace {

// A board on 127.0.0.2 that answers every datagram with flag 1 and status 0.
class EchoBoard {
public:
    EchoBoard() {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, "127.0.0.2", &a.sin_addr);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { loop(); });
    }
    ~EchoBoard() {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    std::uint16_t Port() const { return m_port; }

private:
    void loop() {
        std::uint8_t buf[2048];
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = ::recvfrom(m_fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            LinkMessage m;
            if (n <= 0 || !UnpackPacket(buf, static_cast<std::size_t>(n), m)) continue;
            const auto reply = PackPacket(1, m.command, 0, {0x00, 0x00});
            ::sendto(m_fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
        }
    }
    int m_fd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

void BM_UdpRoundTrip(benchmark::State& state) {
    ResetLinkState();
    EchoBoard board;
    MachineLink link;
    if (!link.Open("127.0.0.2", board.Port(), LocalEndpoint{"127.0.0.1", 0})) {
        state.SkipWithError("endpoint not opened");
        return;
    }
    StartUdpReplyThread(link);
    const auto payload = Payload{}.U8(0).I32(0).I32(100).I32(10).I32(20).Bytes();
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
        smt::test::PtyPeer peer(dir.string(), 7, [](const smt::test::SeenFrame& f) {
            return smt::test::ReplyBytes(0x01, f.command);
        });
        int number = 7;
        if (!GetSerialLink().Open(number)) {
            state.SkipWithError("serial link not opened");
        } else {
            const auto frame = BuildSerialFrame(0x61, FrameData{}.U8(0).Sm32(100).U8(10).U8(20));
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
