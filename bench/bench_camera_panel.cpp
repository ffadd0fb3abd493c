// The camera panel's per-frame paths: a frame handed off from its arrival at the
// grab thread to the consumer holding it (aim: under 1 ms), and the live view of a
// frame (crop at zoom 0.5, target marker, the screen's size; aim: under 5 ms).
#include <benchmark/benchmark.h>

#include <thread>

#include "vision/camera_service.h"
#include "vision/set_view.h"

namespace {

cv::Mat Frame() { return cv::Mat(1024, 1280, CV_8UC3, cv::Scalar(40, 80, 120)); }

void BM_FrameHandOff(benchmark::State& state) {
    smt::CameraService service;  // no devices: the grab thread's work is called directly
    const cv::Mat frame = Frame();
    for (auto _ : state) {
        service.FrameReady(smt::kMarkCamera).Reset();
        service.PlayCamera(smt::kMarkCamera);
        std::thread grab([&] { service.OnFrame(smt::kMarkCamera, frame.clone()); });
        service.FrameReady(smt::kMarkCamera).Wait(std::chrono::milliseconds(1000));
        cv::Mat held = service.TakeSlot(smt::kMarkCamera);
        benchmark::DoNotOptimize(held.data);
        grab.join();
    }
}
BENCHMARK(BM_FrameHandOff)->Unit(benchmark::kMicrosecond);

void BM_LiveView(benchmark::State& state) {
    smt::SetView& panel = smt::TheSetView();
    panel.m_Zoom = 0.5;
    panel.m_VisualSize = 3.0;
    const cv::Mat frame = Frame();
    for (auto _ : state) {
        cv::Mat view = panel.LiveViewImage(frame, false, cv::Size(416, 312));
        benchmark::DoNotOptimize(view.data);
    }
}
BENCHMARK(BM_LiveView)->Unit(benchmark::kMicrosecond);

}  // namespace
