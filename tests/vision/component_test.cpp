#include <cmath>
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
constexpr double kPpm = 20.0;

struct PartRun {
    double x = kUnset;
    double y = kUnset;
    double a = kUnset;
    ComponentBox box;
    test::CaptureSink sink;
};

PartRun Measure(const cv::Mat& frame, int type, double windowMm, int pass = 0, double rotateDeg = 0.0,
                int threshold = 128, bool showBinary = false, double ppm = kPpm)
{
    PartRun r;
    FindComponent(3, r.x, showBinary, r.box, frame, threshold, type, r.y, r.a, pass, windowMm, ppm, rotateDeg,
                  &r.sink);
    return r;
}

cv::Mat Render(const sim::PartDrawing& part, sim::Pose pose, int channels = 3)
{
    sim::CameraLook look;
    look.channels = channels;
    return sim::RenderPart(look, part, pose);
}

// A failure writes only the box, {-1, -1, 1 x 1, 0}.
void ExpectFailed(const PartRun& r)
{
    const ComponentBox& b = r.box;
    EXPECT_EQ(std::tuple(b.cx, b.cy, b.width, b.height, b.angle), std::tuple(-1.0f, -1.0f, 1.0f, 1.0f, 0.0f));
    EXPECT_EQ(std::tuple(r.x, r.y, r.a), std::tuple(kUnset, kUnset, kUnset));
}

void ExpectXY(const PartRun& r, double x, double y)
{
    EXPECT_NEAR(r.x, x, 0.05);
    EXPECT_NEAR(r.y, y, 0.05);
}

void ExpectXYA(const PartRun& r, double x, double y, double a, double aTolerance)
{
    ExpectXY(r, x, y);
    EXPECT_NEAR(r.a, a, aTolerance);
}

TEST(FindComponent, RectanglePartOffsetAndTurnGiveSignedXYA)
{
    // 1 mm right of and 0.5 mm above the centre: X < 0, Y > 0; A = -turn folded into +-45, and 0 below
    // the fine threshold of a box-only part. Small turns and their signs: EveryVisionTypeMeasuresItsPackage.
    const sim::PartDrawing chip = sim::ChipPart(10.0, 3.0);
    for (const auto& [turn, a] : {std::pair{-30, 30}, {0, 0}, {44, -44}, {46, 44}, {90, 0}}) {
        SCOPED_TRACE(turn);
        const PartRun r = Measure(Render(chip, {1.0, -0.5, double(turn)}), kVisionCapacitance, 16.0);
        ExpectXYA(r, -1.0, 0.5, a, 0.5);
        EXPECT_FLOAT_EQ(r.box.angle, static_cast<float>(r.a));
        EXPECT_NEAR(r.box.cx, 160.0f + 20.0f, 1.0f);
        EXPECT_NEAR(r.box.cy, 160.0f - 10.0f, 1.0f);
        EXPECT_NEAR(r.box.width * r.box.height, 200.0f * 60.0f, 600.0f);
        EXPECT_EQ(r.sink.slot, 3);
    }
    const PartRun small = Measure(Render(chip, {1.0, -0.5, -0.2}), kVisionCapacitance, 16.0);
    EXPECT_EQ(small.a, 0.0);
    EXPECT_FALSE(std::signbit(small.a)); // a plain 0, not -0
}

TEST(FindComponent, PreRotationAndPassesAboveFive)
{
    // The angle comes from the turned window, the position from the frame.
    const cv::Mat frame = Render(sim::ChipPart(8.0, 3.0), {0.5, 0.25, 40.0});
    const PartRun plain = Measure(frame, kVisionCapacitance, 16.0);
    EXPECT_NEAR(plain.a, -40.0, 0.5);
    const PartRun turned = Measure(frame, kVisionCapacitance, 16.0, 0, 30.0); // the part lies at 10
    ExpectXYA(turned, -0.5, -0.25, -10.0, 0.5);
    EXPECT_EQ(std::pair(turned.x, turned.y), std::pair(plain.x, plain.y));
    EXPECT_NEAR(Measure(frame, kVisionCapacitance, 16.0, 0, -20.0).a, 30.0, 0.5); // 60 folds to -30
    EXPECT_NEAR(Measure(frame, kVisionCapacitance, 16.0, 5).a, -40.0, 0.5);
    const PartRun six = Measure(frame, kVisionCapacitance, 16.0, 6);
    EXPECT_NEAR(six.a, 40.0, 0.5);
    EXPECT_FLOAT_EQ(six.box.angle, static_cast<float>(six.a));
}

TEST(FindComponent, TriangleMarkIsErasedBeforeTheBoxIsTaken)
{
    // The mark sits beyond the upper-left corner; the binary display shows the window after the erasure.
    const cv::Mat frame = Render(sim::PackageForVisionType(kVisionBgaTriangleMark), {0, 0, 0});
    const PartRun shown = Measure(frame, kVisionBgaTriangleMark, 16.0, 0, 0.0, 128, true);
    EXPECT_NEAR(shown.box.width, 11.5 * kPpm, 3.0);
    ASSERT_EQ(shown.sink.image.channels(), 1);
    const int mark = 160 - static_cast<int>(6.5 * kPpm);
    EXPECT_EQ(shown.sink.image.at<uchar>(mark, mark), 0);
    EXPECT_EQ(shown.sink.image.at<uchar>(160 - 110, 160 - 110), 255); // a corner ball stays
    // From a turned window too.
    const PartRun r = Measure(Render(sim::PackageForVisionType(kVisionBgaTriangleMark), {0.3, 0, 20.0}),
                              kVisionBgaTriangleMark, 18.0, 0, 15.0);
    ExpectXYA(r, -0.3, 0.0, -5.0, 0.5);
}

TEST(FindComponent, MonoAndBgraFramesGiveTheColourFrameResult)
{
    const sim::PartDrawing qfp = sim::PackageForVisionType(kVisionGeneral);
    const PartRun colour = Measure(Render(qfp, {-0.4, 0.3, 3.0}), kVisionGeneral, 22.0);
    ASSERT_NE(colour.box.cx, -1.0f);
    for (int channels : {1, 4}) {
        SCOPED_TRACE(channels);
        const cv::Mat frame = Render(qfp, {-0.4, 0.3, 3.0}, channels);
        ASSERT_EQ(frame.channels(), channels);
        const PartRun r = Measure(frame, kVisionGeneral, 22.0);
        EXPECT_EQ(std::tuple(r.x, r.y, r.a), std::tuple(colour.x, colour.y, colour.a));
        EXPECT_EQ(r.sink.image.channels(), 3);
    }
}

TEST(FindComponent, EveryVisionTypeMeasuresItsPackage)
{
    // At half a degree the fine (corner and general) rules give the correction.
    struct Case { int type; double windowMm; double toleranceDeg; bool fine; };
    const Case cases[] = {
        {0, 22, 0.3, true},   {1, 6, 0.6, false},   {2, 4, 2.0, false},  {3, 20, 0.3, true},
        {4, 18, 0.3, true},   {5, 22, 0.3, true},   {6, 16, 0.3, false}, {7, 16, 0.3, true},
        {8, 16, 0.3, true},   {9, 16, 0.3, true},   {10, 16, 0.3, true}, {11, 16, 0.3, true},
        {12, 22, 0.3, false}, {-1, 22, 0.3, false},
    };
    for (const Case& c : cases) {
        for (double turn : {-6.0, 4.0, -0.5, 0.5}) {
            const bool small = std::abs(turn) < 1.0;
            if (small && !c.fine) continue;
            SCOPED_TRACE(testing::Message() << "type " << c.type << " turn " << turn);
            const sim::Pose pose = small ? sim::Pose{0, 0, turn} : sim::Pose{0.4, -0.3, turn};
            const PartRun r = Measure(Render(sim::PackageForVisionType(c.type), pose), c.type, c.windowMm);
            ASSERT_NE(r.box.cx, -1.0f);
            ExpectXYA(r, -pose.xMm, -pose.yMm, -turn, small ? 0.3 : c.toleranceDeg);
        }
    }
}

TEST(FindComponent, NoisyFrameWithOtsu)
{
    sim::CameraLook look;
    look.noiseSigma = 6.0;
    look.background = 60;
    look.foreground = 160;
    const cv::Mat frame = sim::RenderPart(look, sim::PackageForVisionType(kVisionFootEdge4), {0.2, 0.1, 2.0});
    const PartRun r = Measure(frame, kVisionFootEdge4, 22.0, 0, 0.0, 0);
    ASSERT_NE(r.box.cx, -1.0f);
    ExpectXYA(r, -0.2, -0.1, -2.0, 0.3);
}

TEST(FindComponent, OverlayBinaryDisplayAndProcessWideSlots)
{
    const cv::Mat frame = Render(sim::ChipPart(6.0, 3.0), {1.0, 0.0, 0.0});
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
    // Without a sink the result goes to the process-wide slots, but never beyond the nine.
    VisionResults().Clear();
    double x = 0, y = 0, a = 0;
    ComponentBox box;
    FindComponent(9, x, false, box, frame, 128, 1, y, a, 0, 16.0, kPpm, 0.0);
    EXPECT_NE(box.cx, -1.0f);
    for (int s = 0; s < kVisionResultSlotCount; ++s) EXPECT_FALSE(VisionResults().IsReady(s));
    FindComponent(4, x, false, box, frame, 128, 1, y, a, 0, 16.0, kPpm, 0.0);
    EXPECT_TRUE(VisionResults().IsReady(4));
}

TEST(FindComponent, BlackFramesBadScalesAndOddFramesFailCleanly)
{
    for (int threshold : {128, 0}) {
        const PartRun r = Measure(cv::Mat::zeros(1024, 1280, CV_8UC3), kVisionGeneral, 16.0, 0, 0.0, threshold);
        ExpectFailed(r);
        ASSERT_EQ(r.sink.count, 1);
        EXPECT_EQ(r.sink.image.size(), cv::Size(320, 320));
        EXPECT_GT(cv::countNonZero(r.sink.image.reshape(1)), 0); // "Error"
    }
    // A scale of 0 would divide by zero: the part is not measured.
    const cv::Mat chip = Render(sim::ChipPart(6.0, 3.0), {-1.0, 0.5, 12.0});
    for (double ppm : {0.0, -20.0, std::nan("")}) {
        const PartRun bad = Measure(chip, kVisionCapacitance, 16.0, 0, 0.0, 128, false, ppm);
        ExpectFailed(bad);
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

TEST(FindComponent, CornerRulesShortOfContoursFollowTheBoxAngle)
{
    // An SOIC-8 has eight leads: too few contours for the corner rules, so under a
    // degree the box angle stands instead of a flat 0 (the part would be placed
    // turned by that much).
    const sim::PartDrawing soic8 = sim::LeadedPart(4, 1.27, 2.7, false);
    for (int type : {3, 4, 5, 7, 8, 9, 10}) {
        for (double turn : {0.94, -0.6, 3.0}) {
            SCOPED_TRACE(testing::Message() << "type " << type << " turn " << turn);
            const PartRun r = Measure(Render(soic8, {0.3, -0.2, turn}), type, 10.0);
            ASSERT_NE(r.box.cx, -1.0f);
            ExpectXYA(r, -0.3, 0.2, -turn, 0.15);
            EXPECT_NEAR(Measure(Render(soic8, {0.3, -0.2, turn}), type, 10.0, 6).a, turn, 0.15);
        }
    }
}

TEST(FindComponent, TriodeBlobsThatAreNoThreeLeadPatternFail)
{
    sim::PartDrawing row;  // three leads in a line: nothing opposite
    for (double x : {-0.95, 0.0, 0.95}) row.pads.push_back({x, 0.0, 0.45, 0.6});
    sim::PartDrawing stray;  // two leads and a blob far off to the side
    stray.pads = {{-0.95, 1.1, 0.45, 0.6}, {0.95, 1.1, 0.45, 0.6}, {2.6, -1.1, 0.45, 0.6}};
    for (const auto& [name, part] : {std::pair{"row", row}, {"stray", stray}}) {
        SCOPED_TRACE(name);
        for (double turn : {0.0, 20.0}) {
            const PartRun r = Measure(Render(part, {0.2, 0.1, turn}), kVisionTriode, 8.0);
            ExpectFailed(r);
            EXPECT_EQ(r.sink.count, 1);
        }
    }
    // The SOT-23 itself, turned and offset, still measures.
    const PartRun sot = Measure(Render(sim::TriodePart(), {0.2, 0.1, 20.0}), kVisionTriode, 8.0);
    ExpectXYA(sot, -0.2, -0.1, -20.0, 2.0);
}

TEST(BodyFitsPackage, EachSideWithinHalfAgainAndAThirdOfAMillimetre)
{
    // The three-lead part's lead box (2.35 x 2.8) is its 2.9 x 2.4 package, either way round.
    EXPECT_TRUE(BodyFitsPackage(2.35, 2.8, 2.9, 2.4));
    EXPECT_TRUE(BodyFitsPackage(2.8, 2.35, 2.4, 2.9));
    // The limits: 2.0 * 1.5 + 0.3 = 3.3 and 2.0 / 1.5 - 0.3 on the long side, 1.0 * 1.5 + 0.3 on the short.
    EXPECT_TRUE(BodyFitsPackage(3.3, 1.25, 2.0, 1.25));
    EXPECT_FALSE(BodyFitsPackage(3.31, 1.25, 2.0, 1.25));
    EXPECT_TRUE(BodyFitsPackage(2.0 / 1.5 - 0.3, 0.5, 2.0, 0.5));
    EXPECT_FALSE(BodyFitsPackage(2.0 / 1.5 - 0.31, 0.5, 2.0, 0.5));
    EXPECT_TRUE(BodyFitsPackage(3.0, 1.79, 3.0, 1.0));
    EXPECT_FALSE(BodyFitsPackage(3.0, 1.81, 3.0, 1.0));
    // An empty nozzle's window of noise around the 0805: 5.97 mm.
    EXPECT_FALSE(BodyFitsPackage(5.97, 5.97, 2.0, 1.25));
    // Another package: the three-lead part on a chip's record, a chip on a 7 x 7 record.
    EXPECT_FALSE(BodyFitsPackage(2.35, 2.8, 2.0, 1.25));
    EXPECT_FALSE(BodyFitsPackage(2.0, 1.25, 7.0, 7.0));
    // A package without a size takes any body.
    EXPECT_TRUE(BodyFitsPackage(9.97, 9.97, 0.0, 1.25));
    EXPECT_TRUE(BodyFitsPackage(9.97, 9.97, 2.0, -1.0));
    EXPECT_TRUE(BodyFitsPackage(9.97, 9.97, std::nan(""), 2.0));
}

TEST(BodyFillsWindow, BothSidesOverNinetySevenHundredthsOfTheWindow)
{
    // A 7 x 7 part's empty 10 mm window at 40 px/mm: 399 x 398 px of noise.
    EXPECT_TRUE(BodyFillsWindow(399, 398, 400));
    EXPECT_TRUE(BodyFillsWindow(388, 400, 400));
    EXPECT_FALSE(BodyFillsWindow(387, 400, 400));
    EXPECT_FALSE(BodyFillsWindow(400, 280, 400));  // a long part across the window
    EXPECT_FALSE(BodyFillsWindow(280, 280, 400));  // the 7 x 7 part itself
    EXPECT_FALSE(BodyFillsWindow(1, 1, 0));
}

TEST(BoxAngleRules, NormalisationFoldsOnceAndFineCorrectionThresholds)
{
    for (const auto& [in, out] : {std::pair{50.0, -40.0}, {-50.0, 40.0}, {45.0, 45.0}, {-45.0, -45.0},
                                 {-90.0, 0.0}, {-60.0, 30.0}}) {
        EXPECT_DOUBLE_EQ(NormaliseBoxAngle(in), out) << in;
    }
    // General rule: box within +-0.32 and V within +-0.8; unknown types are General.
    EXPECT_DOUBLE_EQ(CorrectionAngle(0, 0.2, 0.0, 0.5, 0), -0.5);
    EXPECT_DOUBLE_EQ(CorrectionAngle(0, 0.4, 0.0, 0.5, 0), -0.4);
    EXPECT_DOUBLE_EQ(CorrectionAngle(11, 0.31, 0.0, 0.79, 0), -0.79);
    EXPECT_DOUBLE_EQ(CorrectionAngle(0, 0.2, 0.0, 0.8, 0), -0.2);
    EXPECT_DOUBLE_EQ(CorrectionAngle(0, -0.32, 0.0, 0.1, 0), 0.32);
    EXPECT_DOUBLE_EQ(CorrectionAngle(42, 0.2, 0.0, 0.5, 0), -0.5);
    // Corner rules: box within +-1 and H within +-1.2.
    EXPECT_DOUBLE_EQ(CorrectionAngle(3, 0.9, 1.3, 0.0, 0), -0.9);
    EXPECT_DOUBLE_EQ(CorrectionAngle(3, 0.9, 1.1, 0.0, 0), -1.1);
    EXPECT_DOUBLE_EQ(CorrectionAngle(10, -0.99, -0.5, 0.0, 0), 0.5);
    EXPECT_DOUBLE_EQ(CorrectionAngle(7, 1.0, 0.5, 0.0, 0), -1.0);
    // Box-only and triode parts: a small angle corrects nothing.
    EXPECT_DOUBLE_EQ(CorrectionAngle(1, 0.3, 0.0, 0.0, 0), 0.0);
    EXPECT_DOUBLE_EQ(CorrectionAngle(2, 0.3, 0.3, 0.0, 0), 0.0);
    EXPECT_DOUBLE_EQ(CorrectionAngle(2, 5.0, 5.0, 0.0, 0), -5.0);
    // Passes above five invert the fine correction too (the box angle: PreRotationAndPassesAboveFive).
    EXPECT_DOUBLE_EQ(CorrectionAngle(3, 0.5, 0.4, 0.0, 9), 0.4);
}

TEST(Markers, TargetMarkerAndResultCross)
{
    const cv::Vec3b blue(255, 0, 0), yellow(0, 255, 255), none(0, 0, 0), red(0, 0, 255);
    cv::Mat target(80, 100, CV_8UC3, cv::Scalar::all(0));
    DrawTargetMarker(target, 40);
    cv::Mat cross(50, 60, CV_8UC3, cv::Scalar::all(0));
    DrawResultCross(cross, 12, 34, cv::Scalar(0, 0, 255));
    const std::tuple<const cv::Mat*, int, int, cv::Vec3b> pixels[] = {
        {&target, 40, 0, blue},    {&target, 40, 99, blue},  {&target, 0, 50, blue}, {&target, 79, 50, blue},
        {&target, 20, 30, yellow}, {&target, 60, 70, yellow}, {&target, 41, 41, none}, {&target, 10, 10, none},
        {&cross, 34, 0, red},      {&cross, 34, 59, red},     {&cross, 0, 12, red},    {&cross, 49, 12, red}};
    for (const auto& [image, row, col, colour] : pixels) {
        EXPECT_EQ(image->at<cv::Vec3b>(row, col), colour) << row << "," << col;
    }
    EXPECT_EQ(cv::countNonZero(cross.reshape(1)), 60 + 50 - 1);
    cv::Mat empty;
    DrawTargetMarker(empty, 10); // nothing to draw on: no throw
    DrawResultCross(empty, 1, 1, cv::Scalar(0));
}

} // namespace
} // namespace smt
