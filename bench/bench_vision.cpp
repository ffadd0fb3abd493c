// Recognition and undistortion on full-size camera frames (1280 x 1024), one
// OpenCV thread, so the numbers are per core.
#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>

#include "frame_render.h"
#include "vision/lens_calibration.h"
#include "vision/recognition.h"

namespace {

struct DropSink : smt::VisionResultSink {
    void Publish(int, cv::Mat) override {}
};

sim::CameraLook Look()
{
    cv::setNumThreads(1);
    sim::CameraLook look;
    look.pixelsPerMm = 20.0;
    look.noiseSigma = 4.0;
    return look;
}

// state.range(0): window side in mm.
void BM_FindMark(benchmark::State& state)
{
    const cv::Mat frame = sim::RenderMarks(Look(), {{0.3, -0.2, 2.0}});
    DropSink sink;
    double x = 0, y = 0;
    smt::MarkCircle circle;
    for (auto _ : state) {
        smt::FindMark(x, y, false, circle, frame, 0, static_cast<double>(state.range(0)), 20.0, &sink);
        benchmark::DoNotOptimize(circle);
    }
}
BENCHMARK(BM_FindMark)->Arg(10)->Arg(25)->Arg(51)->Unit(benchmark::kMillisecond);

void FindPart(benchmark::State& state, int type, double windowMm, double rotateDeg)
{
    const cv::Mat frame =
        sim::RenderPart(Look(), sim::PackageForVisionType(type), {0.3, -0.2, 0.4});
    DropSink sink;
    double x = 0, y = 0, a = 0;
    smt::ComponentBox box;
    for (auto _ : state) {
        smt::FindComponent(1, x, false, box, frame, 0, type, y, a, 0, windowMm, 20.0, rotateDeg, &sink);
        benchmark::DoNotOptimize(box);
    }
}

void BM_FindComponentQfp(benchmark::State& state) { FindPart(state, 0, 22.0, 0.0); }
void BM_FindComponentQfpTurned(benchmark::State& state) { FindPart(state, 0, 22.0, 90.0); }
void BM_FindComponentQfpCorners(benchmark::State& state) { FindPart(state, 5, 22.0, 0.0); }
void BM_FindComponentBga(benchmark::State& state) { FindPart(state, 7, 16.0, 0.0); }
void BM_FindComponentBgaTriangle(benchmark::State& state) { FindPart(state, 6, 16.0, 0.0); }
BENCHMARK(BM_FindComponentQfp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindComponentQfpTurned)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindComponentQfpCorners)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindComponentBga)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindComponentBgaTriangle)->Unit(benchmark::kMillisecond);

bool LoadBenchCalibration(smt::CCameraCalibration& holder)
{
    const std::string path = "/tmp/bench_vision_calibration.xml";
    {
        cv::FileStorage fs(path, cv::FileStorage::WRITE);
        fs << "image_Width" << 1280 << "image_Height" << 1024;
        fs << "Camera_Matrix" << (cv::Mat_<double>(3, 3) << 1100, 0, 640, 0, 1100, 512, 0, 0, 1);
        fs << "Distortion_Coefficients" << (cv::Mat_<double>(1, 5) << -0.25, 0.08, 0.0005, -0.0003, 0.0);
    }
    return smt::LoadCameraCalibration(holder, path);
}

// state.range(0): channels of the frame; state.range(1): OpenCV threads (0 =
// OpenCV's default pool).
void BM_UndistortImage(benchmark::State& state)
{
    Look();
    cv::setNumThreads(state.range(1) == 0 ? -1 : static_cast<int>(state.range(1)));
    smt::CCameraCalibration holder;
    if (!LoadBenchCalibration(holder)) {
        state.SkipWithError("calibration did not load");
        return;
    }
    sim::CameraLook look;
    look.channels = static_cast<int>(state.range(0));
    const cv::Mat frame = sim::RenderMarks(look, {{0.0, 0.0, 3.0}});
    benchmark::DoNotOptimize(smt::UndistortImage(holder, frame)); // builds the maps once
    for (auto _ : state) {
        cv::Mat out = smt::UndistortImage(holder, frame);
        benchmark::DoNotOptimize(out.data);
    }
    cv::setNumThreads(1);
}
BENCHMARK(BM_UndistortImage)->Args({3, 1})->Args({1, 1})->Args({3, 0})->Unit(benchmark::kMillisecond);

// What a recognition on camera 2 undistorts: the recognition window of a side of
// state.range(0) mm at 20 px/mm, of a colour frame, one thread (51 mm is nearly
// the whole frame height).
void BM_UndistortRecognitionWindow(benchmark::State& state)
{
    Look();
    smt::CCameraCalibration holder;
    if (!LoadBenchCalibration(holder)) {
        state.SkipWithError("calibration did not load");
        return;
    }
    const cv::Mat frame = sim::RenderMarks(sim::CameraLook{}, {{0.0, 0.0, 3.0}});
    const double side = static_cast<double>(state.range(0));
    benchmark::DoNotOptimize(smt::UndistortRecognitionWindow(holder, frame, side, 20.0)); // builds the maps once
    for (auto _ : state) {
        cv::Mat out = smt::UndistortRecognitionWindow(holder, frame, side, 20.0);
        benchmark::DoNotOptimize(out.data);
    }
}
BENCHMARK(BM_UndistortRecognitionWindow)->Arg(10)->Arg(22)->Arg(51)->Unit(benchmark::kMillisecond);

// Two frame sizes in turn: the maps are rebuilt on every call, as without a cache.
void BM_UndistortImageRebuildingMaps(benchmark::State& state)
{
    Look();
    smt::CCameraCalibration holder;
    if (!LoadBenchCalibration(holder)) {
        state.SkipWithError("calibration did not load");
        return;
    }
    const cv::Mat a = sim::RenderMarks(sim::CameraLook{}, {{0.0, 0.0, 3.0}});
    const cv::Mat b = a.rowRange(0, 1022);
    bool flip = false;
    for (auto _ : state) {
        cv::Mat out = smt::UndistortImage(holder, flip ? a : b);
        flip = !flip;
        benchmark::DoNotOptimize(out.data);
    }
}
BENCHMARK(BM_UndistortImageRebuildingMaps)->Unit(benchmark::kMillisecond);

} // namespace
