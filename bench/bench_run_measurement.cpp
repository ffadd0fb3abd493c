// The run's measurement of a part on its nozzle over vision camera 2 with the
// lens correction on, per part, from the frame's arrival: the frame made what the
// recognition reads (the undistorted window) and the part recognised. One OpenCV
// thread, 1280 x 1024 colour frames (aim: under 5 ms per part). For comparison,
// the same with the whole frame undistorted first.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include <opencv2/core.hpp>

#include "base/globals.h"
#include "frame_render.h"
#include "run/nozzle_vision.h"
#include "run/run_camera.h"
#include "vision/camera_service.h"
#include "vision/lens_calibration.h"
#include "vision/recognition.h"
#include "vision/set_view.h"

namespace {

struct DropSink : smt::VisionResultSink {
    void Publish(int, cv::Mat) override {}
};

constexpr double kPixelsPerMm = 20.0;

// The process's lens holder with a barrel lens, and the panel's undistortion on,
// on an ordinary video camera (as the run reads camera 2 without an SDK camera).
bool LensOn()
{
    cv::setNumThreads(1);
    const std::string path = "/tmp/bench_run_measurement_lens.xml";
    {
        cv::FileStorage fs(path, cv::FileStorage::WRITE);
        fs << "image_Width" << 1280 << "image_Height" << 1024;
        fs << "Camera_Matrix" << (cv::Mat_<double>(3, 3) << 1100, 0, 652, 0, 1090, 497, 0, 0, 1);
        fs << "Distortion_Coefficients" << (cv::Mat_<double>(1, 5) << -0.25, 0.08, 0.0005, -0.0003, 0.0);
    }
    const bool loaded = smt::LoadCameraCalibration(smt::TheLensCalibration(), path);
    std::remove(path.c_str());
    smt::g_HighSpeedCamera = 0;
    smt::TheSetView().m_Undistort = true;
    return loaded;
}

// A part of vision type `type`, 0.3 mm right of and 0.2 mm above the centre,
// turned 0.4 degrees, in a frame with noise.
cv::Mat PartFrame(int type)
{
    sim::CameraLook look;
    look.pixelsPerMm = kPixelsPerMm;
    look.noiseSigma = 4.0;
    return sim::RenderPart(look, sim::PackageForVisionType(type), {0.3, -0.2, 0.4});
}

// state.range(0): vision type; state.range(1): the part's larger side in mm
// (the window is that plus a 2 mm margin, as the run's window rule gives).
void BM_RunMeasurementPerPart(benchmark::State& state)
{
    if (!LensOn()) {
        state.SkipWithError("calibration did not load");
        return;
    }
    const int type = static_cast<int>(state.range(0));
    const cv::Mat frame = PartFrame(type);
    const double window = smt::VisionWindowMm(static_cast<double>(state.range(1)), 2.0, 0.0, 2.0, 30.0);
    DropSink sink;
    double x = 0, y = 0, a = 0;
    smt::ComponentBox box;
    // The maps are built once per frame size, before the first part.
    benchmark::DoNotOptimize(smt::UndistortForRecognition(frame, smt::kVisionCamera2, window, kPixelsPerMm));
    for (auto _ : state) {
        const cv::Mat work = smt::UndistortForRecognition(frame, smt::kVisionCamera2, window, kPixelsPerMm);
        smt::FindComponent(2, x, false, box, work, 0, type, y, a, 0, window, kPixelsPerMm, 0.0, &sink);
        benchmark::DoNotOptimize(box);
    }
    if (box.cx == -1.0f) state.SkipWithError("the part was not found");
}
BENCHMARK(BM_RunMeasurementPerPart)->Args({1, 4})->Args({0, 16})->Args({7, 12})->Unit(benchmark::kMillisecond);

// The QFP of BM_RunMeasurementPerPart, the whole frame undistorted first.
void BM_RunMeasurementWholeFrame(benchmark::State& state)
{
    if (!LensOn()) {
        state.SkipWithError("calibration did not load");
        return;
    }
    const cv::Mat frame = PartFrame(0);
    const double window = smt::VisionWindowMm(16.0, 2.0, 0.0, 2.0, 30.0);
    DropSink sink;
    double x = 0, y = 0, a = 0;
    smt::ComponentBox box;
    benchmark::DoNotOptimize(smt::UndistortImage(smt::TheLensCalibration(), frame));
    for (auto _ : state) {
        const cv::Mat work = smt::UndistortImage(smt::TheLensCalibration(), frame);
        smt::FindComponent(2, x, false, box, work, 0, 0, y, a, 0, window, kPixelsPerMm, 0.0, &sink);
        benchmark::DoNotOptimize(box);
    }
}
BENCHMARK(BM_RunMeasurementWholeFrame)->Unit(benchmark::kMillisecond);

} // namespace
