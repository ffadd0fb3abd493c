#include <cmath>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "frame_render.h"
#include "vision/recognition.h"
#include "vision_test_util.h"

namespace smt {
namespace {

constexpr double kUnset = 123.0;
constexpr double kPpm = 20.0;

struct PartRun {
    double x = kUnset;
    double y = kUnset;
    double a = kUnset;
    ComponentBox box;
    test::CaptureSink sink;
};

PartRun Measure(const cv::Mat& frame, int type, double windowMm, int pass = 0, double rotateDeg = 0.0,
                int threshold = 128, bool showBinary = false, int slot = 3)
{
    PartRun r;
    FindComponent(slot, r.x, showBinary, r.box, frame, threshold, type, r.y, r.a, pass, windowMm, kPpm,
                  rotateDeg, &r.sink);
    return r;
}

sim::CameraLook Look(int channels = 3)
{
    sim::CameraLook look;
    look.pixelsPerMm = kPpm;
    look.channels = channels;
    return look;
}

TEST(FindComponent, RectanglePartOffsetAndTurnGiveSignedXYA)
{
    // 1 mm right of and 0.5 mm above the centre: X < 0, Y > 0; A = -turn folded
    // into +-45, and 0 below the fine threshold of a box-only part.
    struct Case {
        double turn;
        double a;
    };
    const sim::PartDrawing chip = sim::ChipPart(10.0, 3.0);
    for (const Case c : {Case{-30, 30}, Case{-10, 10}, Case{-0.2, 0}, Case{0, 0}, Case{10, -10},
                         Case{44, -44}, Case{46, 44}, Case{90, 0}}) {
        SCOPED_TRACE(c.turn);
        const PartRun r =
            Measure(sim::RenderPart(Look(), chip, {1.0, -0.5, c.turn}), kVisionCapacitance, 16.0);
        EXPECT_NEAR(r.x, -1.0, 0.05);
        EXPECT_NEAR(r.y, 0.5, 0.05);
        EXPECT_NEAR(r.a, c.a, 0.5);
        if (c.turn == -0.2) {
            EXPECT_FALSE(std::signbit(r.a));  // a plain 0, not -0
        }
        EXPECT_FLOAT_EQ(r.box.angle, static_cast<float>(r.a));
        EXPECT_NEAR(r.box.cx, 160.0f + 20.0f, 1.0f);
        EXPECT_NEAR(r.box.cy, 160.0f - 10.0f, 1.0f);
        EXPECT_NEAR(r.box.width * r.box.height, 200.0f * 60.0f, 600.0f);
        EXPECT_EQ(r.sink.slot, 3);
    }
}

TEST(FindComponent, PreRotationTakesTheAngleFromTheTurnedWindowAndThePositionFromTheFrame)
{
    const sim::PartDrawing chip = sim::ChipPart(8.0, 3.0);
    const cv::Mat frame = sim::RenderPart(Look(), chip, {0.5, 0.25, 40.0});
    const PartRun plain = Measure(frame, kVisionCapacitance, 16.0);
    EXPECT_NEAR(plain.a, -40.0, 0.5);
    // Turned 30 degrees anticlockwise, the part lies at 10 degrees.
    const PartRun turned = Measure(frame, kVisionCapacitance, 16.0, 0, 30.0);
    EXPECT_NEAR(turned.a, -10.0, 0.5);
    EXPECT_NEAR(turned.x, plain.x, 1e-9);
    EXPECT_NEAR(turned.y, plain.y, 1e-9);
    EXPECT_NEAR(turned.x, -0.5, 0.05);
    EXPECT_NEAR(turned.y, -0.25, 0.05);
    const PartRun back = Measure(frame, kVisionCapacitance, 16.0, 0, -20.0);
    EXPECT_NEAR(back.a, 0.0 - (40.0 + 20.0 - 90.0), 0.5); // 60 folds to -30
}

TEST(FindComponent, PassAboveFiveInvertsTheCorrection)
{
    const cv::Mat frame = sim::RenderPart(Look(), sim::ChipPart(10.0, 3.0), {0, 0, 10.0});
    EXPECT_NEAR(Measure(frame, kVisionCapacitance, 16.0, 5).a, -10.0, 0.5);
    const PartRun six = Measure(frame, kVisionCapacitance, 16.0, 6);
    EXPECT_NEAR(six.a, 10.0, 0.5);
    EXPECT_FLOAT_EQ(six.box.angle, static_cast<float>(six.a));
}

TEST(FindComponent, BlackFrameFailsCleanly)
{
    const cv::Mat black = cv::Mat::zeros(1024, 1280, CV_8UC3);
    for (int threshold : {128, 0}) {
        const PartRun r = Measure(black, kVisionGeneral, 16.0, 0, 0.0, threshold);
        EXPECT_EQ(r.box.cx, -1.0f);
        EXPECT_EQ(r.box.cy, -1.0f);
        EXPECT_EQ(r.box.width, 1.0f);
        EXPECT_EQ(r.box.height, 1.0f);
        EXPECT_EQ(r.box.angle, 0.0f);
        EXPECT_EQ(r.x, kUnset);
        EXPECT_EQ(r.y, kUnset);
        EXPECT_EQ(r.a, kUnset);
        ASSERT_EQ(r.sink.count, 1);
        EXPECT_EQ(r.sink.image.size(), cv::Size(320, 320));
        EXPECT_GT(cv::countNonZero(r.sink.image.reshape(1)), 0); // "Error"
    }
}

TEST(FindComponent, TriangleMarkIsErasedBeforeTheBoxIsTaken)
{
    const sim::PartDrawing bga = sim::PackageForVisionType(kVisionBgaTriangleMark);
    const cv::Mat frame = sim::RenderPart(Look(), bga, {0, 0, 0});
    const PartRun withMark = Measure(frame, kVisionBga4PointAngle, 16.0);
    const PartRun erased = Measure(frame, kVisionBgaTriangleMark, 16.0);
    // The mark sits beyond the upper-left corner: kept, it pulls the box there.
    EXPECT_GT(withMark.x, 0.1);
    EXPECT_GT(withMark.y, 0.1);
    EXPECT_NEAR(erased.x, 0.0, 0.05);
    EXPECT_NEAR(erased.y, 0.0, 0.05);
    EXPECT_NEAR(erased.box.width, 11.5 * kPpm, 3.0);
    EXPECT_NEAR(erased.box.height, 11.5 * kPpm, 3.0);
    // The binary display shows the window after the erasure.
    const PartRun shown = Measure(frame, kVisionBgaTriangleMark, 16.0, 0, 0.0, 128, true);
    ASSERT_EQ(shown.sink.image.channels(), 1);
    const cv::Point mark(160 - static_cast<int>(6.5 * kPpm), 160 - static_cast<int>(6.5 * kPpm));
    EXPECT_EQ(shown.sink.image.at<uchar>(mark), 0);
    EXPECT_EQ(shown.sink.image.at<uchar>(160 - 110, 160 - 110), 255); // a corner ball stays
}

TEST(FindComponent, TriangleMarkIsErasedFromATurnedWindowToo)
{
    const cv::Mat frame =
        sim::RenderPart(Look(), sim::PackageForVisionType(kVisionBgaTriangleMark), {0.3, 0, 20.0});
    const PartRun r = Measure(frame, kVisionBgaTriangleMark, 18.0, 0, 15.0);
    EXPECT_NEAR(r.x, -0.3, 0.05);
    EXPECT_NEAR(r.y, 0.0, 0.05);
    EXPECT_NEAR(r.a, -5.0, 0.5);
}

TEST(FindComponent, MonoFrameGivesTheColourFrameResult)
{
    const sim::PartDrawing qfp = sim::PackageForVisionType(kVisionGeneral);
    const sim::Pose pose{-0.4, 0.3, 3.0};
    const PartRun mono = Measure(sim::RenderPart(Look(1), qfp, pose), kVisionGeneral, 22.0);
    const PartRun colour = Measure(sim::RenderPart(Look(3), qfp, pose), kVisionGeneral, 22.0);
    EXPECT_NE(mono.box.cx, -1.0f);
    EXPECT_DOUBLE_EQ(mono.x, colour.x);
    EXPECT_DOUBLE_EQ(mono.y, colour.y);
    EXPECT_DOUBLE_EQ(mono.a, colour.a);
    EXPECT_NEAR(mono.x, 0.4, 0.05);
    EXPECT_NEAR(mono.y, -0.3, 0.05);
    EXPECT_NEAR(mono.a, -3.0, 0.3);
    EXPECT_EQ(mono.sink.image.channels(), 3);
}

TEST(FindComponent, EveryVisionTypeMeasuresItsPackage)
{
    // At half a degree the corner and general rules (`fine`) measure the leads;
    // the correction follows them and keeps the turn's sign.
    struct Case {
        int type;
        double windowMm;
        double tolerance; // degrees
        bool fine;
    };
    const Case cases[] = {
        {0, 22, 0.3, true},   {1, 6, 0.6, false},   {2, 4, 2.0, false},  {3, 20, 0.3, true},
        {4, 18, 0.3, true},   {5, 22, 0.3, true},   {6, 16, 0.3, false}, {7, 16, 0.3, true},
        {8, 16, 0.3, true},   {9, 16, 0.3, true},   {10, 16, 0.3, true}, {11, 16, 0.3, true},
        {12, 22, 0.3, false}, {-1, 22, 0.3, false},
    };
    for (const Case& c : cases) {
        const sim::PartDrawing part = sim::PackageForVisionType(c.type);
        for (double turn : {-6.0, 4.0}) {
            SCOPED_TRACE(testing::Message() << "type " << c.type << " turn " << turn);
            const PartRun r = Measure(sim::RenderPart(Look(), part, {0.4, -0.3, turn}), c.type, c.windowMm);
            ASSERT_NE(r.box.cx, -1.0f);
            EXPECT_NEAR(r.x, -0.4, 0.05);
            EXPECT_NEAR(r.y, 0.3, 0.05);
            EXPECT_NEAR(r.a, -turn, c.tolerance);
        }
        for (double turn : {-0.5, 0.5}) {
            if (!c.fine) break;
            SCOPED_TRACE(testing::Message() << "type " << c.type << " turn " << turn);
            const PartRun r = Measure(sim::RenderPart(Look(), part, {0, 0, turn}), c.type, c.windowMm);
            ASSERT_NE(r.box.cx, -1.0f);
            EXPECT_NEAR(r.a, -turn, 0.3);
        }
    }
}

TEST(FindComponent, NoisyFrameWithOtsu)
{
    sim::CameraLook look = Look();
    look.noiseSigma = 6.0;
    look.background = 60;
    look.foreground = 160;
    const PartRun r = Measure(
        sim::RenderPart(look, sim::PackageForVisionType(kVisionFootEdge4), {0.2, 0.1, 2.0}),
        kVisionFootEdge4, 22.0, 0, 0.0, 0);
    ASSERT_NE(r.box.cx, -1.0f);
    EXPECT_NEAR(r.x, -0.2, 0.05);
    EXPECT_NEAR(r.y, -0.1, 0.05);
    EXPECT_NEAR(r.a, -2.0, 0.3);
}

TEST(FindComponent, OverlayAndBinaryDisplay)
{
    const cv::Mat frame = sim::RenderPart(Look(), sim::ChipPart(6.0, 3.0), {1.0, 0.0, 0.0});
    const PartRun r = Measure(frame, kVisionCapacitance, 16.0);
    ASSERT_EQ(r.sink.image.type(), CV_8UC3);
    // The blue result cross runs through the box centre across the window.
    const int cx = static_cast<int>(r.box.cx);
    EXPECT_EQ(r.sink.image.at<cv::Vec3b>(100, cx), cv::Vec3b(255, 0, 0));
    EXPECT_EQ(r.sink.image.at<cv::Vec3b>(300, cx), cv::Vec3b(255, 0, 0));
    const PartRun b = Measure(frame, kVisionCapacitance, 16.0, 0, 0.0, 128, true);
    ASSERT_EQ(b.sink.image.type(), CV_8UC1);
    EXPECT_EQ(b.sink.image.at<uchar>(160, 180), 255);
    EXPECT_EQ(b.sink.image.at<uchar>(100, cx), 0); // no cross on the binary window
}

TEST(FindComponent, SlotOutsideTheNineIsNotPublished)
{
    VisionResults().Clear();
    const cv::Mat frame = sim::RenderPart(Look(), sim::ChipPart(6.0, 3.0), {0, 0, 0});
    double x = 0, y = 0, a = 0;
    ComponentBox box;
    FindComponent(9, x, false, box, frame, 128, 1, y, a, 0, 16.0, kPpm, 0.0);
    EXPECT_NE(box.cx, -1.0f);
    for (int s = 0; s < kVisionResultSlotCount; ++s) EXPECT_FALSE(VisionResults().IsReady(s));
    FindComponent(4, x, false, box, frame, 128, 1, y, a, 0, 16.0, kPpm, 0.0);
    EXPECT_TRUE(VisionResults().IsReady(4));
}

TEST(FindComponent, FourChannelFramesAndBadScales)
{
    sim::CameraLook look = Look(4);
    const cv::Mat bgra = sim::RenderPart(look, sim::ChipPart(6.0, 3.0), {-1.0, 0.5, 12.0});
    ASSERT_EQ(bgra.channels(), 4);
    const PartRun r = Measure(bgra, kVisionCapacitance, 16.0);
    EXPECT_NEAR(r.x, 1.0, 0.05);
    EXPECT_NEAR(r.y, -0.5, 0.05);
    EXPECT_NEAR(r.a, -12.0, 0.5);

    // A scale of 0 would divide by zero: the part is not measured.
    for (double ppm : {0.0, -20.0, std::nan("")}) {
        PartRun bad;
        FindComponent(1, bad.x, false, bad.box, bgra, 128, 1, bad.y, bad.a, 0, 16.0, ppm, 0.0, &bad.sink);
        EXPECT_EQ(bad.box.cx, -1.0f);
        EXPECT_EQ(bad.x, kUnset);
        EXPECT_EQ(bad.a, kUnset);
        EXPECT_EQ(bad.sink.count, 1);
    }
    // Frames the recognisers cannot read fail without a result image.
    for (const cv::Mat& odd : {cv::Mat(), cv::Mat(64, 64, CV_16UC3, cv::Scalar::all(0)),
                               cv::Mat(64, 64, CV_8UC2, cv::Scalar::all(0))}) {
        const PartRun n = Measure(odd, kVisionGeneral, 16.0);
        EXPECT_EQ(n.box.cx, -1.0f);
        EXPECT_EQ(n.sink.count, 0);
    }
}

TEST(BoxAngleRules, NormalisationFoldsOnceEachWay)
{
    EXPECT_DOUBLE_EQ(NormaliseBoxAngle(50.0), -40.0);
    EXPECT_DOUBLE_EQ(NormaliseBoxAngle(-50.0), 40.0);
    EXPECT_DOUBLE_EQ(NormaliseBoxAngle(45.0), 45.0);
    EXPECT_DOUBLE_EQ(NormaliseBoxAngle(-45.0), -45.0);
    EXPECT_DOUBLE_EQ(NormaliseBoxAngle(-90.0), 0.0);
    EXPECT_DOUBLE_EQ(NormaliseBoxAngle(-60.0), 30.0);
}

TEST(BoxAngleRules, FineCorrectionThresholds)
{
    // General rule: box within +-0.32 and V within +-0.8.
    EXPECT_DOUBLE_EQ(CorrectionAngle(0, 0.2, 0.0, 0.5, 0), -0.5);
    EXPECT_DOUBLE_EQ(CorrectionAngle(0, 0.4, 0.0, 0.5, 0), -0.4);
    EXPECT_DOUBLE_EQ(CorrectionAngle(11, 0.31, 0.0, 0.79, 0), -0.79);
    EXPECT_DOUBLE_EQ(CorrectionAngle(0, 0.2, 0.0, 0.8, 0), -0.2);
    EXPECT_DOUBLE_EQ(CorrectionAngle(0, -0.32, 0.0, 0.1, 0), 0.32);
    EXPECT_DOUBLE_EQ(CorrectionAngle(42, 0.2, 0.0, 0.5, 0), -0.5); // unknown types are General
    // Corner rules: box within +-1 and H within +-1.2.
    EXPECT_DOUBLE_EQ(CorrectionAngle(3, 0.9, 1.3, 0.0, 0), -0.9);
    EXPECT_DOUBLE_EQ(CorrectionAngle(3, 0.9, 1.1, 0.0, 0), -1.1);
    EXPECT_DOUBLE_EQ(CorrectionAngle(10, -0.99, -0.5, 0.0, 0), 0.5);
    EXPECT_DOUBLE_EQ(CorrectionAngle(7, 1.0, 0.5, 0.0, 0), -1.0);
    // Box-only and triode parts: a small angle corrects nothing.
    EXPECT_DOUBLE_EQ(CorrectionAngle(1, 0.3, 0.0, 0.0, 0), 0.0);
    EXPECT_DOUBLE_EQ(CorrectionAngle(2, 0.3, 0.3, 0.0, 0), 0.0);
    EXPECT_DOUBLE_EQ(CorrectionAngle(2, 5.0, 5.0, 0.0, 0), -5.0);
    // Passes above five invert.
    EXPECT_DOUBLE_EQ(CorrectionAngle(0, 10.0, 0.0, 0.0, 5), -10.0);
    EXPECT_DOUBLE_EQ(CorrectionAngle(0, 10.0, 0.0, 0.0, 6), 10.0);
    EXPECT_DOUBLE_EQ(CorrectionAngle(3, 0.5, 0.4, 0.0, 9), 0.4);
}

TEST(Markers, TargetMarkerAndResultCross)
{
    cv::Mat image(80, 100, CV_8UC3, cv::Scalar::all(0));
    DrawTargetMarker(image, 40);
    const cv::Vec3b blue(255, 0, 0), yellow(0, 255, 255), none(0, 0, 0);
    EXPECT_EQ(image.at<cv::Vec3b>(40, 0), blue);
    EXPECT_EQ(image.at<cv::Vec3b>(40, 99), blue);
    EXPECT_EQ(image.at<cv::Vec3b>(0, 50), blue);
    EXPECT_EQ(image.at<cv::Vec3b>(79, 50), blue);
    EXPECT_EQ(image.at<cv::Vec3b>(20, 30), yellow);
    EXPECT_EQ(image.at<cv::Vec3b>(60, 70), yellow);
    EXPECT_EQ(image.at<cv::Vec3b>(41, 41), none);
    EXPECT_EQ(image.at<cv::Vec3b>(10, 10), none);

    cv::Mat cross(50, 60, CV_8UC3, cv::Scalar::all(0));
    DrawResultCross(cross, 12, 34, cv::Scalar(0, 0, 255));
    EXPECT_EQ(cross.at<cv::Vec3b>(34, 0), cv::Vec3b(0, 0, 255));
    EXPECT_EQ(cross.at<cv::Vec3b>(34, 59), cv::Vec3b(0, 0, 255));
    EXPECT_EQ(cross.at<cv::Vec3b>(0, 12), cv::Vec3b(0, 0, 255));
    EXPECT_EQ(cross.at<cv::Vec3b>(49, 12), cv::Vec3b(0, 0, 255));
    EXPECT_EQ(cv::countNonZero(cross.reshape(1)), (60 + 50 - 1));
    cv::Mat empty;
    DrawTargetMarker(empty, 10); // nothing to draw on: no throw
    DrawResultCross(empty, 1, 1, cv::Scalar(0));
}

} // namespace
} // namespace smt
