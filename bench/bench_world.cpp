// The simulated world's frames: a 1280 x 1024 QFP on a vision camera and a mark
// scene on the mark camera, as the camera threads render them 25 times a second.
#include <benchmark/benchmark.h>

#include "machine.h"
#include "world.h"

namespace {

void Render(benchmark::State& state, sim::CameraRole role) {
    sim::Machine machine(0);
    sim::Scenario s = sim::Scenario::Default();
    s.feeders[0].part.visionType = 5;  // four lead rows
    sim::World world(machine, s);
    machine.SetObserver(&world);
    // Nozzle 1 picks at feeder 1 and goes over vision camera 1 (or the mark camera over a mark).
    auto axis = [&](int a, std::int32_t d) {
        sim::Bytes b{static_cast<std::uint8_t>(a)};
        sim::PutLe32(b, 0);
        sim::PutLe32(b, d);
        sim::PutLe32(b, 1);
        sim::PutLe32(b, 2);
        machine.Execute(sim::Link::Udp, 0x61, b);
    };
    axis(0, 5000);
    axis(1, -2000);
    sim::Bytes pick{2};
    for (std::int32_t v : {500, 1, 2}) sim::PutLe32(pick, v);
    sim::PutLe16(pick, 100);
    pick.push_back(0);
    machine.Execute(sim::Link::Udp, 0x67, pick);
    if (role == sim::CameraRole::Mark) {
        axis(0, 10500 - 4000 - 5000);
        axis(1, -19500 + 2000);
    } else {
        axis(0, 15000);
        axis(1, -23000);
    }
    std::uint64_t n = 0;
    for (auto _ : state) benchmark::DoNotOptimize(world.Render(role, 1280, 1024, 3, ++n));
    machine.SetObserver(nullptr);
}

void BM_WorldQfpFrame(benchmark::State& state) { Render(state, sim::CameraRole::Vision1); }
void BM_WorldMarkFrame(benchmark::State& state) { Render(state, sim::CameraRole::Mark); }

} // namespace

BENCHMARK(BM_WorldQfpFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WorldMarkFrame)->Unit(benchmark::kMillisecond);
