// The program's own time per command: laying out frames and payloads, and one
// X/Y/A move end to end against the simulated machine over UDP loopback.
#include <benchmark/benchmark.h>

#include "link/cmd_srv.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/replies.h"
#include "link/serial_frame.h"
#include "settings/basic_settings.h"
#include "settings/speed_template.h"
#include "simulator.h"

using namespace smt;

namespace {

void BM_SerialXYAFrame(benchmark::State& state) {
    const XYAMove m{{12000, {5, 50}, -9000, {6, 60}}, 3, -900, 0, 0, 0x80};
    for (auto _ : state) benchmark::DoNotOptimize(BuildSerialFrame(0x64, SerialXYA(m, true)));
}
BENCHMARK(BM_SerialXYAFrame);

void BM_EightHeadPickPayload(benchmark::State& state) {
    MoveAndPick75Payload p;
    for (auto _ : state) benchmark::DoNotOptimize(UdpMoveAndPick75(p));
}
BENCHMARK(BM_EightHeadPickPayload);

// MoveXYA back and forth: limit check, speeds, send, reply, booking.
void BM_MoveXYAOverUdp(benchmark::State& state) {
    sim::SimConfig c;
    c.serial = false;
    c.udpPort = 0;
    c.discoveryPort = 0;
    sim::Simulator board(c);
    if (!board.Start()) {
        state.SkipWithError("simulator did not start");
        return;
    }
    ResetLinkState();
    TheBasicSettings().m_CommModel = 1;
    SpeedTemplateSettings s;
    s.m_A_RunFast = 3600;
    TheSpeedTemplates().SetSettings(s);
    SetMoveLimits({400000, -300000, 400000, 300000});
    ClearPositionCounters();
    GetMachineLink().Open(sim::kBoardAddress, board.udp()->Port(), LocalEndpoint{"127.0.0.1", 0});
    StartUdpReplyThread(GetMachineLink());
    g_Connected = true;
    std::int32_t step = 1000;
    for (auto _ : state) {
        if (!MoveXYA({{step, {5, 50}, -step, {6, 60}}, 1, 90, 0, 0, 0})) {
            state.SkipWithError("move failed");
            break;
        }
        step = -step;
    }
    StopUdpReplyThread();
    GetMachineLink().Close();
    board.Stop();
    ResetLinkState();
}
BENCHMARK(BM_MoveXYAOverUdp)->UseRealTime();

}  // namespace
