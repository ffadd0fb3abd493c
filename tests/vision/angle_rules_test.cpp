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
using Rule = double (*)(const ContourChain&, cv::Size, int);
const Rule kCornerRules[] = {FootEdge1Angle,    FootEdge2Angle,     FootEdge4Angle,
                             BgaFourPointAngle, BgaTopChamferAngle, BgaBottomChamferAngle};

struct Searched {
    cv::Size size;
    ContourChain chain;
    int Capacity() const { return chain.Count() + 2; }
    double Run(Rule rule) const { return rule(chain, size, Capacity()); }
};

Searched FromDots(cv::Size size, const std::vector<cv::Point>& dots)
{
    return {size, ContourChain::Search(DotImage(size, dots))};
}

Searched FromPart(const sim::PartDrawing& part, double turn, double windowMm)
{
    sim::CameraLook look;
    const cv::Mat frame = sim::RenderPart(look, part, {0, 0, turn});
    const cv::Rect window = RecognitionWindow(frame.size(), windowMm, look.pixelsPerMm);
    return {window.size(), ContourChain::Search(test::BinaryWindow(frame, window))};
}

// 20 filler dots near the centre (never a sector's farthest, never on an axis)
// to lift the capacity.
std::vector<cv::Point> WithFiller(std::vector<cv::Point> dots, cv::Point centre = {100, 100})
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

TEST(AngleRules, TooFewCentresSetTheFailureFlagAndTooFewContoursMeasureNothing)
{
    // 24 blobs, but only the 10 of the side rows lie in the middle half.
    const Searched s = FromPart(sim::LeadedPart(6, 0.65, 6.5, true), 0.3, 22.0);
    ASSERT_GE(s.Capacity(), 20);
    EXPECT_EQ(s.Run(FindPartAngleNearCentre), 0.0);
    EXPECT_EQ(g_AngleFitFailed, 1);
    // Below 20 of capacity the rules give up at once without blaming the fit.
    for (Rule rule : {FindPartAngleNearCentre, FindPartAngleVertical}) {
        EXPECT_EQ(rule(s.chain, s.size, 19), 0.0);
        EXPECT_EQ(g_AngleFitFailed, 0);
    }
    const Searched bga = FromPart(sim::PackageForVisionType(kVisionBga4PointAngle), 0.5, 16.0);
    for (Rule rule : kCornerRules) {
        EXPECT_EQ(rule(bga.chain, bga.size, 19), 0.0);
        EXPECT_NE(bga.Run(rule), 0.0);
    }
    const Searched none = FromDots({100, 100}, {});
    EXPECT_EQ(FindPartAngleNearCentre(none.chain, none.size, 40), 0.0);
    EXPECT_EQ(g_AngleFitFailed, 0);
}

TEST(GeneralRule, PairsBeyondEightTenthsCountAsZero)
{
    // Five left-most dots paired with right-most ones: about 0.49 and 0.98
    // degrees, then three level pairs. The 0.98 pair is dropped: V = 0.49 / 5.
    std::vector<cv::Point> dots{{200, 200}};
    const int leftY[5] = {110, 125, 140, 155, 170};
    const int rise[5] = {3, 6, 0, 0, 0};
    for (int k = 0; k < 5; ++k) {
        dots.push_back({20 + k, leftY[k]});
        dots.push_back({370, leftY[k] + rise[k]});
    }
    for (int i = 0; i < 9; ++i) dots.push_back({371 + i, 230 + 8 * i});
    const Searched s = FromDots({400, 400}, dots);
    EXPECT_NEAR(s.Run(FindPartAngleNearCentre), std::atan(3.0 / 350.0) * kDeg / 5.0, 1e-6);
    EXPECT_EQ(g_AngleFitFailed, 0);
}

TEST(VerticalFallback, SameSignAsTheGeneralRuleForTheSameTurn)
{
    // Lead rows above and below only: the general rule finds too few centres in
    // its band, the vertical rule measures the columns; a quarter turn on, the
    // general rule measures the same part. Half a degree over the 260 px between
    // the rows quantises to a 2 px run, about 0.44 degrees.
    const sim::PartDrawing twoRows = sim::LeadedPart(10, 0.65, 6.5, false);
    for (double turn : {0.5, -0.5}) {
        SCOPED_TRACE(turn);
        const Searched rows = FromPart(twoRows, turn, 22.0);
        EXPECT_EQ(rows.Run(FindPartAngleNearCentre), 0.0);
        ASSERT_EQ(g_AngleFitFailed, 1);
        EXPECT_NEAR(rows.Run(FindPartAngleVertical), turn, 0.1);
        EXPECT_EQ(g_AngleFitFailed, 0);
        EXPECT_NEAR(FromPart(twoRows, 90.0 + turn, 22.0).Run(FindPartAngleNearCentre), turn, 0.1);
        EXPECT_EQ(g_AngleFitFailed, 0);
    }
    // FindComponent falls back to it when the general rule fails.
    const cv::Mat frame = sim::RenderPart(sim::CameraLook{}, twoRows, {0, 0, 0.25});
    double x = 0, y = 0, a = 0;
    ComponentBox box;
    test::CaptureSink sink;
    FindComponent(1, x, false, box, frame, 128, kVisionGeneral, y, a, 0, 22.0, 20.0, 0.0, &sink);
    EXPECT_EQ(g_AngleFitFailed, 0);
    EXPECT_NEAR(a, -0.25, 0.2); // tolerance below the turn: the sign holds
}

TEST(CornerRules, FootEdge2UsesTheOtherLineWhenOneIsExactlyLevel)
{
    // top: (150,50)-(50,50) level; bottom: (150,150)-(50,152).
    const Searched levelTop = FromDots({200, 200}, WithFiller({{150, 50}, {50, 50}, {150, 150}, {50, 152}}));
    const double bottom = std::atan(-2.0 / 100.0) * kDeg;
    EXPECT_NEAR(levelTop.Run(FootEdge2Angle), bottom, 1e-9);
    // Both lines turned: their mean.
    const Searched both = FromDots({200, 200}, WithFiller({{150, 50}, {50, 46}, {150, 150}, {50, 152}}));
    EXPECT_NEAR(both.Run(FootEdge2Angle), (std::atan(4.0 / 100.0) * kDeg + bottom) / 2.0, 1e-9);
    // The BGA rule has no zero test: a level top halves the bottom.
    EXPECT_NEAR(levelTop.Run(BgaFourPointAngle), bottom / 2.0, 1e-9);
}

TEST(CornerRules, FootEdgeRulesUseTheTopLineWhenTheBottomIsExactlyLevel)
{
    // top: (150,60)-(50,56), turned; bottom: (150,140)-(50,140) level. Every point lies
    // inside both the 90 and the 45 degree sectors.
    const Searched levelBottom = FromDots({200, 200}, WithFiller({{150, 60}, {50, 56}, {150, 140}, {50, 140}}));
    const double top = std::atan(4.0 / 100.0) * kDeg;
    EXPECT_NEAR(levelBottom.Run(FootEdge2Angle), top, 1e-9);
    EXPECT_NEAR(levelBottom.Run(FootEdge4Angle), top, 1e-9);
    EXPECT_NEAR(levelBottom.Run(BgaFourPointAngle), top / 2.0, 1e-9);
}

TEST(CornerRules, EmptySectorsMeasureZeroNeverNaN)
{
    // Blobs only below the centre: the upper corner points stay at (0, 0).
    std::vector<cv::Point> below;
    for (int i = 0; i < 22; ++i) below.push_back({20 + 8 * i, 150 + (i % 3) * 6});
    const Searched s = FromDots({200, 200}, below);
    for (Rule rule : kCornerRules) EXPECT_TRUE(std::isfinite(s.Run(rule)));
    EXPECT_EQ(s.Run(BgaBottomChamferAngle), 0.0); // the top line is empty
    // FootEdge2: the empty top line measures 0, so the bottom line alone counts.
    EXPECT_EQ(s.Run(FootEdge2Angle), s.Run(BgaTopChamferAngle));
    EXPECT_DOUBLE_EQ(s.Run(BgaFourPointAngle), s.Run(BgaTopChamferAngle) / 2.0);
    // Blobs only in the centre region: the corners are real, no NaN.
    EXPECT_TRUE(std::isfinite(FromDots({200, 200}, WithFiller({})).Run(FootEdge1Angle)));
}

TEST(CornerRules, FootEdge1MeasuresTheSideWithMostBlobs)
{
    auto rightSide = [](cv::Point ur, cv::Point lr) {
        std::vector<cv::Point> dots{ur, lr};
        for (int i = 0; i < 20; ++i) dots.push_back({130, 45 + 6 * i}); // right of centre, nearer
        return FromDots({200, 200}, dots).Run(FootEdge1Angle);
    };
    // The right line UR-LR, nearly vertical: -89.43 becomes +0.57 and 89.43 -0.57.
    EXPECT_NEAR(rightSide({151, 30}, {150, 170}), 90.0 + std::atan(-140.0) * kDeg, 1e-9);
    EXPECT_NEAR(rightSide({150, 30}, {151, 170}), std::atan(140.0) * kDeg - 90.0, 1e-9);
    EXPECT_EQ(rightSide({150, 30}, {150, 170}), 0.0); // truly vertical: 90 folded to 0
    // Below wins over fewer blobs above: the bottom line LR-LL.
    std::vector<cv::Point> dots{{60, 40}};
    for (int i = 0; i < 20; ++i) dots.push_back({22 + 8 * i, 160 + (i == 19 ? 2 : 0)});
    EXPECT_NEAR(FromDots({200, 200}, dots).Run(FootEdge1Angle), std::atan(2.0 / 152.0) * kDeg, 1e-9);
}

TEST(CornerRules, AxisBlobsBelongToNoSector)
{
    // Far blobs centred exactly on the vertical axis (above) and on the
    // horizontal axis (right) must not become corners.
    const cv::Size size(200, 200);
    const cv::Mat base = DotImage(size, WithFiller({{150, 40}, {50, 44}, {150, 160}, {52, 158}}));
    cv::Mat withAxes = base.clone();
    cv::rectangle(withAxes, cv::Rect(98, 2, 5, 5), cv::Scalar(255), cv::FILLED);  // centre (100, 4)
    cv::rectangle(withAxes, cv::Rect(192, 98, 5, 5), cv::Scalar(255), cv::FILLED); // centre (194, 100)
    const Searched a{size, ContourChain::Search(base)};
    const Searched b{size, ContourChain::Search(withAxes)};
    ASSERT_EQ(b.chain.Count(), a.chain.Count() + 2);
    EXPECT_NE(a.Run(FootEdge2Angle), 0.0);
    EXPECT_DOUBLE_EQ(b.Run(FootEdge2Angle), a.Run(FootEdge2Angle));
    EXPECT_DOUBLE_EQ(b.Run(FootEdge1Angle), a.Run(FootEdge1Angle));
}

TEST(TriodeAngle, TheTwoSidesClosestInLengthGiveTheAngle)
{
    EXPECT_NEAR(TriodeAngle(FromDots({120, 120}, {{50, 50}, {70, 50}, {60, 80}}).chain), 0.0, 1e-9);
    // A flat triangle: the two short sides are the closer pair.
    const double t1 = std::atan(-5.0 / -50.0) * kDeg;
    const double t2 = std::atan(-5.0 / 50.0) * kDeg;
    EXPECT_NEAR(TriodeAngle(FromDots({120, 120}, {{10, 50}, {110, 50}, {60, 55}}).chain), (t1 + t2) / 2.0, 1e-6);
    EXPECT_EQ(TriodeAngle(FromDots({120, 120}, {{50, 50}, {70, 50}}).chain), 0.0); // fewer than three
}

// Every rule on its package as the simulated camera draws it at the default world's
// 40 px/mm, turned -2 to 2 degrees in quarter steps: the rule reads the turn within
// a tenth. Whole-pixel lead centres missed this by up to a degree on the three-lead
// part, whose leads lie under 2 mm apart: its rule takes them from the grey levels.
TEST(AngleRules, RenderedPackagesReadTheirTurnWithinATenth)
{
    struct Case {
        const char* name;
        sim::PartDrawing part;
        double windowMm;
        Rule rule;
    };
    const Case cases[] = {
        {"foot edge 1", sim::PackageForVisionType(kVisionFootEdge1), 20.0, FootEdge1Angle},
        {"foot edge 2", sim::PackageForVisionType(kVisionFootEdge2), 16.0, FootEdge2Angle},
        {"foot edge 4", sim::PackageForVisionType(kVisionFootEdge4), 20.0, FootEdge4Angle},
        {"four chamfers", sim::PackageForVisionType(kVisionBga4Chamfer), 16.0, FootEdge4Angle},
        {"BGA four points", sim::PackageForVisionType(kVisionBga4PointAngle), 16.0, BgaFourPointAngle},
        {"BGA top chamfer", sim::PackageForVisionType(kVisionBgaTopChamfer), 16.0, BgaTopChamferAngle},
        {"BGA bottom chamfer", sim::PackageForVisionType(kVisionBgaBottomChamfer), 16.0, BgaBottomChamferAngle},
    };
    sim::CameraLook look;
    look.pixelsPerMm = 40.0;
    for (int step = -8; step <= 8; ++step) {
        const double turn = step * 0.25;
        SCOPED_TRACE(turn);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            const cv::Mat frame = sim::RenderPart(look, c.part, {0.0, 0.0, turn});
            const cv::Rect window = RecognitionWindow(frame.size(), c.windowMm, look.pixelsPerMm);
            const Searched s{window.size(), ContourChain::Search(test::BinaryWindow(frame, window))};
            EXPECT_NEAR(s.Run(c.rule), turn, 0.1);
        }
        // Off the window centre too: the three-lead rule takes no reference from it.
        for (const sim::Pose pose : {sim::Pose{0.0, 0.0, turn}, sim::Pose{0.3, -0.2, turn}}) {
            const cv::Mat frame = sim::RenderPart(look, sim::TriodePart(), pose);
            const cv::Rect window = RecognitionWindow(frame.size(), 7.0, look.pixelsPerMm);
            const ContourChain chain = ContourChain::Search(test::BinaryWindow(frame, window));
            cv::Mat grey;
            cv::cvtColor(frame(window), grey, cv::COLOR_BGR2GRAY);
            EXPECT_NEAR(TriodeAngle(chain, grey), turn, 0.1) << "three leads at " << pose.xMm;
        }
    }
}

// The general rule and its column fallback on the packages they serve, drawn at the
// default world's 40 px/mm and turned -2 to 2 degrees in quarter steps, clean and
// with the world's noise: within the pairs' 0.8 degree limit the rule reads the turn
// within a tenth, beyond it every pair counts as 0 (the box angle holds there).
// Two faults read about half the turn on the 16-lead package: its rows hold more
// leads than the 14 partners, and a turn moves the partners of the five left-most
// (one end of the left row) to the other end of the right row, out of those 14;
// and the upright box of a thin lead's staircase centres it in half pixels, the same
// error for every lead at a whole-pixel pitch (0.44 read for 0.5).
TEST(GeneralRule, RenderedLeadRowsReadTheirTurnWithinATenth)
{
    struct Case {
        const char* name;
        sim::PartDrawing part;
        double windowMm;
        double baseTurn;
        bool columns; // rows above and below only: the column fallback measures
    };
    const Case cases[] = {
        {"16 leads a side, 20 mm", sim::PackageForVisionType(kVisionGeneral), 20.0, 0.0, false},
        {"16 leads a side, 16 mm", sim::PackageForVisionType(kVisionGeneral), 16.0, 0.0, false},
        {"16 leads a side, a quarter turn on", sim::PackageForVisionType(kVisionGeneral), 20.0, 90.0, false},
        {"ball grid", sim::PackageForVisionType(kVisionBgaOther), 16.0, 0.0, false},
        {"16 leads above and below", sim::LeadedPart(16, 0.65, 6.5, false), 20.0, 0.0, true},
        {"10 leads above and below", sim::LeadedPart(10, 0.65, 6.5, false), 22.0, 0.0, true},
    };
    for (const Case& c : cases)
        for (double noise : {0.0, 2.0}) {
            sim::CameraLook look;
            look.pixelsPerMm = 40.0;
            look.background = 15;
            look.noiseSigma = noise;
            double readTimesTurn = 0.0, turnSquared = 0.0;
            for (int step = -8; step <= 8; ++step) {
                const double turn = step * 0.25;
                const bool inRange = std::fabs(turn) < 0.8;
                SCOPED_TRACE(testing::Message() << c.name << " turn " << turn << " noise " << noise);
                const cv::Mat frame = sim::RenderPart(look, c.part, {0.0, 0.0, c.baseTurn + turn});
                const cv::Rect window = RecognitionWindow(frame.size(), c.windowMm, look.pixelsPerMm);
                const Searched s{window.size(), ContourChain::Search(test::BinaryWindow(frame, window))};
                double read = s.Run(FindPartAngleNearCentre);
                if (c.columns) {
                    EXPECT_EQ(read, 0.0);
                    ASSERT_EQ(g_AngleFitFailed, 1);
                    read = s.Run(FindPartAngleVertical);
                }
                EXPECT_EQ(g_AngleFitFailed, 0);
                EXPECT_NEAR(read, inRange ? turn : 0.0, 0.1);
                if (inRange) readTimesTurn += read * turn, turnSquared += turn * turn;
            }
            // The reading's scale over the steps: an error every lead shares does
            // not average out (the half-pixel box centres read 0.88 of the turn).
            EXPECT_NEAR(readTimesTurn / turnSquared, 1.0, 0.05) << c.name << " noise " << noise;
        }
}

} // namespace
} // namespace smt
