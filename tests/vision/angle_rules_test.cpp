#include <cmath>

#include <gtest/gtest.h>

#include "frame_render.h"
#include "vision/angle_rules.h"
#include "vision/recognition.h"
#include "vision/vision_types.h"
#include "vision_test_util.h"

namespace smt {
namespace {

using test::DotImage;

constexpr double kDeg = 180.0 / 3.14159265358979323846;

struct Searched {
    cv::Size size;
    ContourChain chain;
    int Capacity() const { return chain.Count() + 2; }
};

Searched FromDots(cv::Size size, const std::vector<cv::Point>& dots)
{
    return {size, ContourChain::Search(DotImage(size, dots))};
}

Searched FromPart(const sim::PartDrawing& part, const sim::Pose& pose, double windowMm)
{
    sim::CameraLook look;
    const cv::Mat frame = sim::RenderPart(look, part, pose);
    const cv::Rect window = RecognitionWindow(frame.size(), windowMm, look.pixelsPerMm);
    return {window.size(), ContourChain::Search(test::BinaryWindow(frame, window))};
}

// A grid of 20 filler dots near the centre (never a sector's farthest, never
// on an axis) to lift the capacity.
std::vector<cv::Point> WithFiller(std::vector<cv::Point> dots, cv::Point centre)
{
    for (int i = 0; i < 20; ++i) dots.push_back(centre + cv::Point(-17 + 7 * (i % 5), -13 + 7 * (i / 5)));
    return dots;
}

TEST(LineAngleDeg, SlopesVerticalsAndCoincidentPoints)
{
    EXPECT_DOUBLE_EQ(LineAngleDeg({10, 10}, {0, 10}), 0.0);
    EXPECT_NEAR(LineAngleDeg({10, 11}, {0, 10}), std::atan(0.1) * kDeg, 1e-12);
    EXPECT_DOUBLE_EQ(LineAngleDeg({5, 20}, {5, 10}), 90.0);
    EXPECT_DOUBLE_EQ(LineAngleDeg({5, 0}, {5, 10}), -90.0);
    EXPECT_DOUBLE_EQ(LineAngleDeg({0, 0}, {0, 0}), 0.0); // never NaN
}

TEST(GeneralRule, QfpTurnedAThirdOfADegreeGivesTheTurnsSign)
{
    const sim::PartDrawing qfp = sim::PackageForVisionType(kVisionGeneral);
    for (double turn : {0.3, -0.3}) {
        SCOPED_TRACE(turn);
        const Searched s = FromPart(qfp, {0, 0, turn}, 22.0);
        const double v = FindPartAngleNearCentre(s.chain, s.size, s.Capacity());
        EXPECT_EQ(g_AngleFitFailed, 0);
        EXPECT_GT(v * turn, 0.0); // right side lower: positive
        EXPECT_NEAR(v, turn, 0.1);
    }
}

TEST(GeneralRule, TooFewCentresInTheMiddleBandSetsTheFailureFlag)
{
    // 24 blobs, but only the 10 of the side rows lie in the middle half.
    const Searched s = FromPart(sim::LeadedPart(6, 0.65, 6.5, true), {0, 0, 0.3}, 22.0);
    ASSERT_GE(s.Capacity(), 20);
    EXPECT_EQ(FindPartAngleNearCentre(s.chain, s.size, s.Capacity()), 0.0);
    EXPECT_EQ(g_AngleFitFailed, 1);
    // Below 20 of capacity the rule gives up at once without blaming the fit.
    EXPECT_EQ(FindPartAngleNearCentre(s.chain, s.size, 19), 0.0);
    EXPECT_EQ(g_AngleFitFailed, 0);
    EXPECT_EQ(FindPartAngleVertical(s.chain, s.size, 19), 0.0);
    EXPECT_EQ(g_AngleFitFailed, 0);
    const Searched none = FromDots({100, 100}, {});
    EXPECT_EQ(FindPartAngleNearCentre(none.chain, none.size, 40), 0.0);
    EXPECT_EQ(g_AngleFitFailed, 0);
}

TEST(GeneralRule, PairsBeyondEightTenthsCountAsZero)
{
    // Five left-most dots paired with right-most ones: about 0.49 and 0.98
    // degrees, then three level pairs. The 0.98 pair is dropped: V = 0.49 / 5.
    const cv::Size size(400, 400);
    std::vector<cv::Point> dots;
    const int leftY[5] = {110, 125, 140, 155, 170};
    const int rise[5] = {3, 6, 0, 0, 0};
    for (int k = 0; k < 5; ++k) {
        dots.push_back({20 + k, leftY[k]});
        dots.push_back({370, leftY[k] + rise[k]});
    }
    for (int i = 0; i < 9; ++i) dots.push_back({371 + i, 230 + 8 * i});
    dots.push_back({200, 200});
    const Searched s = FromDots(size, dots);
    const double v = FindPartAngleNearCentre(s.chain, s.size, s.Capacity());
    EXPECT_EQ(g_AngleFitFailed, 0);
    EXPECT_NEAR(v, std::atan(3.0 / 350.0) * kDeg / 5.0, 1e-6);
}

TEST(VerticalFallback, SameSignAsTheGeneralRuleForTheSameTurn)
{
    // Lead rows above and below only: the general rule finds too few centres
    // in its band, the vertical rule measures the columns.
    const sim::PartDrawing twoRows = sim::LeadedPart(10, 0.65, 6.5, false);
    // Binary lead centres quantise a pair's run to whole pixels: half a degree
    // over the 260 px between the rows is a 2 px run, about 0.44 degrees.
    for (double turn : {0.5, -0.5}) {
        SCOPED_TRACE(turn);
        const Searched rows = FromPart(twoRows, {0, 0, turn}, 22.0);
        EXPECT_EQ(FindPartAngleNearCentre(rows.chain, rows.size, rows.Capacity()), 0.0);
        ASSERT_EQ(g_AngleFitFailed, 1);
        const double vertical = FindPartAngleVertical(rows.chain, rows.size, rows.Capacity());
        EXPECT_EQ(g_AngleFitFailed, 0);
        // The same part a quarter turn on: rows left and right, for the general rule.
        const Searched cols = FromPart(twoRows, {0, 0, 90.0 + turn}, 22.0);
        const double general = FindPartAngleNearCentre(cols.chain, cols.size, cols.Capacity());
        EXPECT_EQ(g_AngleFitFailed, 0);
        EXPECT_GT(vertical * turn, 0.0);
        EXPECT_GT(general * turn, 0.0);
        EXPECT_NEAR(vertical, turn, 0.1);
        EXPECT_NEAR(general, turn, 0.1);
    }
}

TEST(VerticalFallback, FindComponentUsesItWhenTheGeneralRuleFails)
{
    sim::CameraLook look;
    const cv::Mat frame = sim::RenderPart(look, sim::LeadedPart(10, 0.65, 6.5, false), {0, 0, 0.25});
    double x = 0, y = 0, a = 0;
    ComponentBox box;
    test::CaptureSink sink;
    FindComponent(1, x, false, box, frame, 128, kVisionGeneral, y, a, 0, 22.0, 20.0, 0.0, &sink);
    EXPECT_EQ(g_AngleFitFailed, 0);
    EXPECT_LT(a, 0.0);
    EXPECT_NEAR(a, -0.25, 0.2);
}

TEST(CornerRules, TooFewContoursMeasureNothing)
{
    const Searched s = FromPart(sim::PackageForVisionType(kVisionBga4PointAngle), {0, 0, 0.5}, 16.0);
    for (auto rule : {FootEdge1Angle, FootEdge2Angle, FootEdge4Angle, BgaFourPointAngle,
                      BgaTopChamferAngle, BgaBottomChamferAngle}) {
        EXPECT_EQ(rule(s.chain, s.size, 19), 0.0);
        EXPECT_NE(rule(s.chain, s.size, s.Capacity()), 0.0);
    }
}

TEST(CornerRules, FootEdge2UsesTheOtherLineWhenOneIsExactlyLevel)
{
    const cv::Size size(200, 200);
    const cv::Point c(100, 100);
    // top: (150,50)-(50,50) level; bottom: (150,150)-(50,152).
    const Searched levelTop = FromDots(size, WithFiller({{150, 50}, {50, 50}, {150, 150}, {50, 152}}, c));
    const double bottom = std::atan(-2.0 / 100.0) * kDeg;
    EXPECT_NEAR(FootEdge2Angle(levelTop.chain, size, levelTop.Capacity()), bottom, 1e-9);
    // Both lines turned: their mean.
    const Searched both = FromDots(size, WithFiller({{150, 50}, {50, 46}, {150, 150}, {50, 152}}, c));
    const double top = std::atan(4.0 / 100.0) * kDeg;
    EXPECT_NEAR(FootEdge2Angle(both.chain, size, both.Capacity()), (top + bottom) / 2.0, 1e-9);
    // The BGA rule has no zero test: a level top halves the bottom.
    EXPECT_NEAR(BgaFourPointAngle(levelTop.chain, size, levelTop.Capacity()), bottom / 2.0, 1e-9);
}

TEST(CornerRules, EmptySectorsMeasureZeroNeverNaN)
{
    const cv::Size size(200, 200);
    const cv::Point c(100, 100);
    // Blobs only below the centre: the upper corner points stay at (0, 0).
    std::vector<cv::Point> below;
    for (int i = 0; i < 22; ++i) below.push_back({20 + 8 * i, 150 + (i % 3) * 6});
    const Searched s = FromDots(size, below);
    for (auto rule : {FootEdge1Angle, FootEdge2Angle, FootEdge4Angle, BgaFourPointAngle,
                      BgaTopChamferAngle, BgaBottomChamferAngle}) {
        const double v = rule(s.chain, size, s.Capacity());
        EXPECT_TRUE(std::isfinite(v));
    }
    EXPECT_EQ(BgaBottomChamferAngle(s.chain, size, s.Capacity()), 0.0); // the top line is empty
    // FootEdge2: the empty top line measures 0, so the bottom line alone counts.
    EXPECT_EQ(FootEdge2Angle(s.chain, size, s.Capacity()), BgaTopChamferAngle(s.chain, size, s.Capacity()));
    EXPECT_DOUBLE_EQ(BgaFourPointAngle(s.chain, size, s.Capacity()),
                     BgaTopChamferAngle(s.chain, size, s.Capacity()) / 2.0);
    // Blobs only at the centre region's filler: the corners are real, no NaN.
    const Searched filler = FromDots(size, WithFiller({}, c));
    EXPECT_TRUE(std::isfinite(FootEdge1Angle(filler.chain, size, filler.Capacity())));
}

TEST(CornerRules, FootEdge1MeasuresTheSideWithMostBlobs)
{
    const cv::Size size(200, 200);
    const cv::Point c(100, 100);
    auto rightSide = [&](cv::Point ur, cv::Point lr) {
        std::vector<cv::Point> dots{ur, lr};
        for (int i = 0; i < 20; ++i) dots.push_back({130, 45 + 6 * i}); // right of centre, nearer
        return FromDots(size, dots);
    };
    // The right line UR-LR, nearly vertical: -89.43 becomes +0.57 and 89.43 -0.57.
    const Searched a = rightSide({151, 30}, {150, 170});
    EXPECT_NEAR(FootEdge1Angle(a.chain, size, a.Capacity()), 90.0 + std::atan(-140.0) * kDeg, 1e-9);
    EXPECT_GT(FootEdge1Angle(a.chain, size, a.Capacity()), 0.0);
    const Searched b = rightSide({150, 30}, {151, 170});
    EXPECT_NEAR(FootEdge1Angle(b.chain, size, b.Capacity()), std::atan(140.0) * kDeg - 90.0, 1e-9);
    // A truly vertical side keeps its 90 degrees, folded to 0.
    const Searched v = rightSide({150, 30}, {150, 170});
    EXPECT_EQ(FootEdge1Angle(v.chain, size, v.Capacity()), 0.0);
    // Below wins over fewer blobs above: the bottom line LR-LL.
    std::vector<cv::Point> dots{{60, 40}};
    for (int i = 0; i < 20; ++i) dots.push_back({22 + 8 * i, 160 + (i == 19 ? 2 : 0)});
    const Searched below = FromDots(size, dots);
    EXPECT_NEAR(FootEdge1Angle(below.chain, size, below.Capacity()), std::atan(2.0 / 152.0) * kDeg, 1e-9);
    (void)c;
}

TEST(CornerRules, AxisBlobsBelongToNoSector)
{
    // Far blobs centred exactly on the vertical axis (above) and on the
    // horizontal axis (right) must not become corners.
    const cv::Size size(200, 200);
    const cv::Mat base = DotImage(size, WithFiller({{150, 40}, {50, 44}, {150, 160}, {52, 158}}, {100, 100}));
    cv::Mat withAxes = base.clone();
    cv::rectangle(withAxes, cv::Rect(98, 2, 5, 5), cv::Scalar(255), cv::FILLED);  // centre (100, 4)
    cv::rectangle(withAxes, cv::Rect(192, 98, 5, 5), cv::Scalar(255), cv::FILLED); // centre (194, 100)
    const ContourChain a = ContourChain::Search(base);
    const ContourChain b = ContourChain::Search(withAxes);
    ASSERT_EQ(b.Count(), a.Count() + 2);
    const double expected = FootEdge2Angle(a, size, a.Count() + 2);
    EXPECT_NE(expected, 0.0);
    EXPECT_DOUBLE_EQ(FootEdge2Angle(b, size, b.Count() + 2), expected);
    EXPECT_DOUBLE_EQ(FootEdge1Angle(b, size, b.Count() + 2), FootEdge1Angle(a, size, a.Count() + 2));
}

TEST(TriodeAngle, TheTwoSidesClosestInLengthGiveTheAngle)
{
    const cv::Size size(120, 120);
    const Searched s = FromDots(size, {{50, 50}, {70, 50}, {60, 80}});
    EXPECT_NEAR(TriodeAngle(s.chain), 0.0, 1e-9);
    // A flat triangle: the two short sides are the closer pair.
    const Searched flat = FromDots(size, {{10, 50}, {110, 50}, {60, 55}});
    const double t1 = std::atan(-5.0 / -50.0) * kDeg;
    const double t2 = std::atan(-5.0 / 50.0) * kDeg;
    EXPECT_NEAR(TriodeAngle(flat.chain), (t1 + t2) / 2.0, 1e-6);
    // Fewer than three contours: nothing.
    EXPECT_EQ(TriodeAngle(FromDots(size, {{50, 50}, {70, 50}}).chain), 0.0);
}

TEST(TriodeAngle, RenderedSot23FollowsItsTurn)
{
    for (double turn : {-8.0, 8.0}) {
        const Searched s = FromPart(sim::TriodePart(), {0, 0, turn}, 4.0);
        EXPECT_NEAR(TriodeAngle(s.chain), turn, 1.5);
    }
}

TEST(CornerRules, RenderedPackagesMeasureTheirTurn)
{
    struct Case {
        int type;
        double windowMm;
        double (*rule)(const ContourChain&, cv::Size, int);
    };
    const Case cases[] = {
        {kVisionFootEdge1, 20, FootEdge1Angle},        {kVisionFootEdge2, 18, FootEdge2Angle},
        {kVisionFootEdge4, 22, FootEdge4Angle},        {kVisionBga4PointAngle, 16, BgaFourPointAngle},
        {kVisionBga4Chamfer, 16, FootEdge4Angle},      {kVisionBgaTopChamfer, 16, BgaTopChamferAngle},
        {kVisionBgaBottomChamfer, 16, BgaBottomChamferAngle},
    };
    for (const Case& c : cases) {
        for (double turn : {-0.8, 0.6, 3.0}) {
            SCOPED_TRACE(testing::Message() << "type " << c.type << " turn " << turn);
            const Searched s = FromPart(sim::PackageForVisionType(c.type), {0, 0, turn}, c.windowMm);
            EXPECT_NEAR(c.rule(s.chain, s.size, s.Capacity()), turn, 0.35);
        }
    }
}

} // namespace
} // namespace smt
