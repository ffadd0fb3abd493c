// One 1280 x 1024 colour frame from the simulated machine's shared ring into the
// program's buffer, as a grab thread takes it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "platform/camera_channel.h"

static void BM_FrameFromSharedRing(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / ("smt-bench-cam-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ::setenv("SMT_SERIAL_DIR", dir.c_str(), 1);
    plat::CameraChannelPublisher pub;
    std::string error;
    if (!pub.Open(dir.string(), {{"Video", "bench", plat::CameraKind::Video, 1280, 1024, false}}, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    plat::CameraFrame frame;
    frame.width = 1280;
    frame.height = 1024;
    frame.pixels.assign(1280 * 1024 * 3, 77);
    auto device = plat::OpenChannelVideoCamera(0);
    std::uint64_t seq = 0;
    for (auto _ : state) {
        state.PauseTiming();
        frame.seq = ++seq;
        pub.Publish(0, frame);
        state.ResumeTiming();
        plat::CameraFramePtr got;
        device->WaitFrame(seq - 1, std::chrono::milliseconds(1000), &got);
        benchmark::DoNotOptimize(got);
    }
    device.reset();
    pub.Close();
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_FrameFromSharedRing)->Unit(benchmark::kMillisecond);
