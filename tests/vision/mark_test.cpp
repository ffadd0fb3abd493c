#include <tuple>
#include <utility>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "frame_render.h"
#include "vision/recognition.h"
#include "vision_test_util.h"

namespace smt {
namespace {

constexpr double kUnset = 123.0;

struct MarkRun {
    double x = kUnset;
    double y = kUnset;
    MarkCircle circle;
    test::CaptureSink sink;
};

MarkRun Measure(const cv::Mat& frame, int threshold = 100, double sizeMm = 10.0, double ppm = 20.0,
                bool showBinary = false)
{
    MarkRun r;
    FindMark(r.x, r.y, showBinary, r.circle, frame, threshold, sizeMm, ppm, &r.sink);
    return r;
}

void ExpectXY(const MarkRun& r, double x, double y, double tolerance = 0.05)
{
    EXPECT_NEAR(r.x, x, tolerance);
    EXPECT_NEAR(r.y, y, tolerance);
}

sim::CameraLook Look(double ppm = 20.0, int channels = 3)
{
    sim::CameraLook look;
    look.pixelsPerMm = ppm;
    look.channels = channels;
    return look;
}

TEST(FindMark, CentredDiscGivesZeroOffsetItsDiameterAndItsDisplays)
{
    const cv::Mat frame = sim::RenderMarks(Look(), {{0.0, 0.0, 3.0}});
    const MarkRun r = Measure(frame);
    ExpectXY(r, 0.0, 0.0, 0.03);
    // The enclosing circle of the boundary pixels: the diameter within a pixel.
    EXPECT_NEAR(2.0 * r.circle.r / 20.0, 3.0, 0.12);
    EXPECT_GT(g_ContourCount, 0);
    EXPECT_EQ(r.sink.slot, kMarkResultSlot);
    EXPECT_EQ(r.sink.image.size(), cv::Size(200, 200));
    EXPECT_EQ(r.sink.image.channels(), 3);
    // The red circle is drawn on the unfiltered window.
    const cv::Vec3b onCircle = r.sink.image.at<cv::Vec3b>(static_cast<int>(r.circle.y),
                                                          static_cast<int>(r.circle.x + r.circle.r));
    EXPECT_EQ(onCircle, cv::Vec3b(0, 0, 255));
    // The binary display has no texts on a success: only the disc is white.
    const MarkRun b = Measure(frame, 100, 10.0, 20.0, true);
    ASSERT_EQ(b.sink.image.channels(), 1);
    EXPECT_EQ(b.sink.image.at<uchar>(100, 100), 255);
    EXPECT_EQ(b.sink.image.at<uchar>(5, 5), 0);
    EXPECT_LT(cv::countNonZero(b.sink.image), 3.2 * 3.14159 / 4.0 * 60 * 60);
    // Without a sink the window goes to the process-wide mark slot.
    VisionResults().Clear();
    double x = 0, y = 0;
    MarkCircle circle;
    FindMark(x, y, false, circle, frame, 100, 10.0, 20.0);
    EXPECT_EQ(VisionResults().ResultEvent().Wait(plat::Millis(0)), plat::WaitResult::Signalled);
    cv::Mat shown;
    EXPECT_TRUE(VisionResults().TakeReady(kMarkResultSlot, shown));
    EXPECT_EQ(shown.size(), cv::Size(200, 200));
}

TEST(FindMark, OffsetsAreMillimetresFromTheWindowCentreLeftAndUpPositive)
{
    // At 10 px/mm; a mono sensor's frame gives the colour frame's result, with the overlay in colour.
    const MarkRun r = Measure(sim::RenderMarks(Look(10.0), {{1.5, 0.5, 2.0}}), 100, 10.0, 10.0);
    ExpectXY(r, -1.5, -0.5);
    const MarkRun mono = Measure(sim::RenderMarks(Look(10.0, 1), {{1.5, 0.5, 2.0}}), 100, 10.0, 10.0);
    EXPECT_EQ(std::pair(mono.x, mono.y), std::pair(r.x, r.y));
    EXPECT_EQ(mono.sink.image.channels(), 3);
    const MarkRun left = Measure(sim::RenderMarks(Look(10.0), {{-2.0, -1.0, 2.0}}), 100, 10.0, 10.0);
    ExpectXY(left, 2.0, 1.0);
    // A tall frame with an oversized window: the window is the frame's width.
    sim::CameraLook tall = Look();
    tall.width = 480;
    tall.height = 640;
    const MarkRun t = Measure(sim::RenderMarks(tall, {{1.0, 0.0, 3.0}}), 100, 50.0);
    ExpectXY(t, -1.0, 0.0);
    EXPECT_EQ(t.sink.image.size(), cv::Size(480, 480));
}

TEST(FindMark, LargerContourAreaWinsOverALargerEnclosingCircle)
{
    sim::CameraLook look = Look();
    cv::Mat frame = sim::RenderMarks(look, {{2.0, 2.0, 2.0}});
    // A thin bar: a larger enclosing circle, a smaller area.
    const cv::Point c(look.width / 2, look.height / 2);
    cv::rectangle(frame, c + cv::Point(-80, -60), c + cv::Point(0, -57), cv::Scalar::all(220), cv::FILLED);
    const MarkRun r = Measure(frame);
    ExpectXY(r, -2.0, -2.0);
    EXPECT_NEAR(r.circle.r, 20.0f, 1.5f);
}

TEST(FindMark, FailuresLeaveTheOffsetsUnchangedAndShowError)
{
    // Too large for the window: found, but not accepted.
    const MarkRun large = Measure(sim::RenderMarks(Look(), {{0.0, 0.0, 12.0}}));
    EXPECT_EQ(std::pair(large.x, large.y), std::pair(kUnset, kUnset));
    EXPECT_NE(large.circle.x, -1.0f);
    EXPECT_GE(large.circle.r, 100.0f);
    EXPECT_EQ(large.sink.count, 1);
    // Nothing found: the circle stays unset and the window shows the text.
    const MarkRun none = Measure(cv::Mat::zeros(1024, 1280, CV_8UC3));
    EXPECT_EQ(std::tuple(none.circle.x, none.circle.y, none.circle.r, none.x), std::tuple(-1.0f, -1.0f, 0.0f, kUnset));
    ASSERT_EQ(none.sink.count, 1);
    EXPECT_GT(cv::countNonZero(none.sink.image.reshape(1)), 0);
    // No division by a zero scale reaches the caller.
    const MarkRun zeroScale = Measure(sim::RenderMarks(Look(), {{0.0, 0.0, 3.0}}), 100, 10.0, 0.0);
    EXPECT_EQ(zeroScale.x, kUnset);
    EXPECT_EQ(zeroScale.sink.count, 1);
    // Frames it cannot read: no result image either.
    for (const cv::Mat& odd : {cv::Mat(), cv::Mat(100, 100, CV_16UC1, cv::Scalar(0))}) {
        const MarkRun r = Measure(odd);
        EXPECT_EQ(r.circle.x, -1.0f);
        EXPECT_EQ(r.sink.count, 0);
    }
}

TEST(FindMark, OtsuFindsALowContrastMarkThatAFixedLevelMisses)
{
    sim::CameraLook look = Look();
    look.background = 50;
    look.noiseSigma = 2.0;
    const cv::Mat frame = sim::RenderMarks(look, {{0.5, 0.0, 3.0, 75}});
    const MarkRun fixed = Measure(frame);
    EXPECT_EQ(fixed.circle.x, -1.0f);
    EXPECT_EQ(fixed.x, kUnset);
    const MarkRun otsu = Measure(frame, 0);
    ExpectXY(otsu, -0.5, 0.0);
}

TEST(RecognitionWindow, SizesAndFallbacks)
{
    EXPECT_EQ(RecognitionWindow({1280, 1024}, 10.0, 20.0), cv::Rect(540, 412, 200, 200));
    EXPECT_EQ(RecognitionWindow({1280, 1024}, 10.05, 20.0), cv::Rect(540, 412, 201, 201));
    // Out of range: the frame's smaller side, centred, also on a frame taller than wide.
    for (double mm : {0.0, 100.0, 0.04}) {
        EXPECT_EQ(RecognitionWindow({1280, 1024}, mm, 20.0), cv::Rect(128, 0, 1024, 1024)) << mm;
    }
    for (double mm : {0.0, 30.0}) {
        EXPECT_EQ(RecognitionWindow({480, 640}, mm, 20.0), cv::Rect(0, 80, 480, 480)) << mm;
    }
}

TEST(FindMark, ABlobOnTheWindowEdgeKeepsItsBrightness)
{
    // A block on the window's left edge with a one-pixel flange along the edge:
    // smoothing that mirrors the dark inside (or reads the frame beyond the
    // window) would halve the flange below the level; the replicated edge keeps
    // it, and the mark spans the flange's length.
    sim::CameraLook look;
    look.background = 0;
    cv::Mat frame = sim::RenderMarks(look, {});
    const cv::Point o = RecognitionWindow(frame.size(), 10.0, 20.0).tl();
    cv::line(frame, o + cv::Point(0, 50), o + cv::Point(0, 150), cv::Scalar::all(255));
    cv::rectangle(frame, o + cv::Point(0, 90), o + cv::Point(20, 110), cv::Scalar::all(255), cv::FILLED);
    const MarkRun r = Measure(frame, 150);
    ASSERT_NE(r.circle.x, -1.0f);
    EXPECT_GT(r.circle.r, 48.0f);
    EXPECT_NEAR(r.circle.y, 100.0f, 1.5f);
}

} // namespace
} // namespace smt
