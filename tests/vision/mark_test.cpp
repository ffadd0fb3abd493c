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

void Measure(MarkRun& r, const cv::Mat& frame, int threshold, double sizeMm, double ppm,
         bool showBinary = false)
{
    FindMark(r.x, r.y, showBinary, r.circle, frame, threshold, sizeMm, ppm, &r.sink);
}

TEST(FindMark, CentredDiscGivesZeroOffsetAndItsDiameter)
{
    sim::CameraLook look;
    look.pixelsPerMm = 20.0;
    MarkRun r;
    Measure(r, sim::RenderMarks(look, {{0.0, 0.0, 3.0}}), 100, 10.0, 20.0);
    EXPECT_NEAR(r.x, 0.0, 0.03);
    EXPECT_NEAR(r.y, 0.0, 0.03);
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
}

TEST(FindMark, OffsetsAreMillimetresFromTheWindowCentreLeftAndUpPositive)
{
    // 15 px right of and 5 px below the centre at 10 px/mm.
    sim::CameraLook look;
    look.pixelsPerMm = 10.0;
    MarkRun r;
    Measure(r, sim::RenderMarks(look, {{1.5, 0.5, 2.0}}), 100, 10.0, 10.0);
    EXPECT_NEAR(r.x, -1.5, 0.05);
    EXPECT_NEAR(r.y, -0.5, 0.05);
    // A mono sensor's frame gives the same result, with the overlay in colour.
    look.channels = 1;
    MarkRun mono;
    Measure(mono, sim::RenderMarks(look, {{1.5, 0.5, 2.0}}), 100, 10.0, 10.0);
    EXPECT_DOUBLE_EQ(mono.x, r.x);
    EXPECT_DOUBLE_EQ(mono.y, r.y);
    EXPECT_EQ(mono.sink.image.channels(), 3);
    look.channels = 3;

    MarkRun left;
    Measure(left, sim::RenderMarks(look, {{-2.0, -1.0, 2.0}}), 100, 10.0, 10.0);
    EXPECT_NEAR(left.x, 2.0, 0.05);
    EXPECT_NEAR(left.y, 1.0, 0.05);
}

TEST(FindMark, LargerContourAreaWinsOverALargerEnclosingCircle)
{
    sim::CameraLook look;
    look.pixelsPerMm = 20.0;
    cv::Mat frame = sim::RenderMarks(look, {{2.0, 2.0, 2.0}});
    // A thin bar: a larger enclosing circle, a smaller area.
    const cv::Point c(look.width / 2, look.height / 2);
    cv::rectangle(frame, c + cv::Point(-80, -60), c + cv::Point(0, -57), cv::Scalar::all(220), cv::FILLED);
    MarkRun r;
    Measure(r, frame, 100, 10.0, 20.0);
    EXPECT_NEAR(r.x, -2.0, 0.05);
    EXPECT_NEAR(r.y, -2.0, 0.05);
    EXPECT_NEAR(r.circle.r, 20.0f, 1.5f);
}

TEST(FindMark, BlobTooLargeForTheWindowFailsWithOutputsUnchanged)
{
    sim::CameraLook look;
    look.pixelsPerMm = 20.0;
    MarkRun r;
    Measure(r, sim::RenderMarks(look, {{0.0, 0.0, 12.0}}), 100, 10.0, 20.0);
    EXPECT_EQ(r.x, kUnset);
    EXPECT_EQ(r.y, kUnset);
    EXPECT_NE(r.circle.x, -1.0f); // found, but not accepted
    EXPECT_GE(r.circle.r, 100.0f);
    EXPECT_EQ(r.sink.count, 1); // the "Error" window is still shown
}

TEST(FindMark, NothingFoundLeavesTheCircleUnsetAndDrawsError)
{
    sim::CameraLook look;
    MarkRun r;
    const cv::Mat black = cv::Mat::zeros(look.height, look.width, CV_8UC3);
    Measure(r, black, 100, 10.0, 20.0);
    EXPECT_EQ(r.circle.x, -1.0f);
    EXPECT_EQ(r.circle.y, -1.0f);
    EXPECT_EQ(r.circle.r, 0.0f);
    EXPECT_EQ(r.x, kUnset);
    ASSERT_EQ(r.sink.count, 1);
    EXPECT_GT(cv::countNonZero(r.sink.image.reshape(1)), 0); // the text
}

TEST(FindMark, OtsuFindsALowContrastMarkThatAFixedLevelMisses)
{
    sim::CameraLook look;
    look.pixelsPerMm = 20.0;
    look.background = 50;
    look.noiseSigma = 2.0;
    const cv::Mat frame = sim::RenderMarks(look, {{0.5, 0.0, 3.0, 75}});
    MarkRun fixed;
    Measure(fixed, frame, 100, 10.0, 20.0);
    EXPECT_EQ(fixed.circle.x, -1.0f);
    EXPECT_EQ(fixed.x, kUnset);
    MarkRun otsu;
    Measure(otsu, frame, 0, 10.0, 20.0);
    EXPECT_NEAR(otsu.x, -0.5, 0.05);
    EXPECT_NEAR(otsu.y, 0.0, 0.05);
}

TEST(FindMark, ShowBinaryPublishesTheThresholdedWindow)
{
    sim::CameraLook look;
    MarkRun r;
    Measure(r, sim::RenderMarks(look, {{0.0, 0.0, 3.0}}), 100, 10.0, 20.0, true);
    ASSERT_EQ(r.sink.image.channels(), 1);
    EXPECT_EQ(r.sink.image.at<uchar>(100, 100), 255);
    EXPECT_EQ(r.sink.image.at<uchar>(5, 5), 0);
    // No texts on a binary display of a success: only the disc is white.
    EXPECT_LT(cv::countNonZero(r.sink.image), 3.2 * 3.14159 / 4.0 * 60 * 60);
}

TEST(RecognitionWindow, SizesAndFallbacks)
{
    EXPECT_EQ(RecognitionWindow({1280, 1024}, 10.0, 20.0), cv::Rect(540, 412, 200, 200));
    EXPECT_EQ(RecognitionWindow({1280, 1024}, 10.05, 20.0), cv::Rect(540, 412, 201, 201));
    // Out of range: the frame's smaller side, centred.
    EXPECT_EQ(RecognitionWindow({1280, 1024}, 0.0, 20.0), cv::Rect(128, 0, 1024, 1024));
    EXPECT_EQ(RecognitionWindow({1280, 1024}, 100.0, 20.0), cv::Rect(128, 0, 1024, 1024));
    EXPECT_EQ(RecognitionWindow({1280, 1024}, 0.04, 20.0), cv::Rect(128, 0, 1024, 1024));
    // A frame taller than wide keeps the window inside it.
    EXPECT_EQ(RecognitionWindow({480, 640}, 0.0, 20.0), cv::Rect(0, 80, 480, 480));
    EXPECT_EQ(RecognitionWindow({480, 640}, 30.0, 20.0), cv::Rect(0, 80, 480, 480));
}

TEST(FindMark, TallFrameWithAnOversizedWindowStillMeasures)
{
    sim::CameraLook look;
    look.width = 480;
    look.height = 640;
    look.pixelsPerMm = 20.0;
    MarkRun r;
    Measure(r, sim::RenderMarks(look, {{1.0, 0.0, 3.0}}), 100, 50.0, 20.0);
    EXPECT_NEAR(r.x, -1.0, 0.05);
    EXPECT_NEAR(r.y, 0.0, 0.05);
    EXPECT_EQ(r.sink.image.size(), cv::Size(480, 480));
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
    const cv::Rect window = RecognitionWindow(frame.size(), 10.0, 20.0);
    const cv::Point o = window.tl();
    cv::line(frame, o + cv::Point(0, 50), o + cv::Point(0, 150), cv::Scalar::all(255));
    cv::rectangle(frame, o + cv::Point(0, 90), o + cv::Point(20, 110), cv::Scalar::all(255), cv::FILLED);
    MarkRun r;
    Measure(r, frame, 150, 10.0, 20.0);
    ASSERT_NE(r.circle.x, -1.0f);
    EXPECT_GT(r.circle.r, 48.0f);
    EXPECT_NEAR(r.circle.y, 100.0f, 1.5f);
}

TEST(FindMark, UnusableFramesAndScalesFailQuietly)
{
    MarkRun empty;
    Measure(empty, cv::Mat(), 100, 10.0, 20.0);
    EXPECT_EQ(empty.circle.x, -1.0f);
    EXPECT_EQ(empty.sink.count, 0);

    MarkRun wide;
    Measure(wide, cv::Mat(100, 100, CV_16UC1, cv::Scalar(0)), 100, 10.0, 20.0);
    EXPECT_EQ(wide.circle.x, -1.0f);

    sim::CameraLook look;
    MarkRun zeroScale;
    Measure(zeroScale, sim::RenderMarks(look, {{0.0, 0.0, 3.0}}), 100, 10.0, 0.0);
    EXPECT_EQ(zeroScale.x, kUnset); // no division by zero reaches the caller
    EXPECT_EQ(zeroScale.sink.count, 1);
}

TEST(FindMark, PublishesToTheProcessWideSlotsByDefault)
{
    VisionResults().Clear();
    sim::CameraLook look;
    double x = 0, y = 0;
    MarkCircle circle;
    FindMark(x, y, false, circle, sim::RenderMarks(look, {{0.0, 0.0, 3.0}}), 100, 10.0, 20.0);
    EXPECT_TRUE(VisionResults().IsReady(kMarkResultSlot));
    EXPECT_EQ(VisionResults().ResultEvent().Wait(plat::Millis(0)), plat::WaitResult::Signalled);
    cv::Mat shown;
    EXPECT_TRUE(VisionResults().TakeReady(kMarkResultSlot, shown));
    EXPECT_EQ(shown.size(), cv::Size(200, 200));
    EXPECT_FALSE(VisionResults().IsReady(kMarkResultSlot));
}

} // namespace
} // namespace smt
