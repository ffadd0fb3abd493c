#include <cmath>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "vision/contours.h"
#include "vision/recognition.h"
#include "vision_test_util.h"

namespace smt {
namespace {

std::vector<cv::Point2f> Corners(const cv::RotatedRect& r)
{
    cv::Point2f p[4];
    r.points(p);
    return {p, p + 4};
}

// The box must describe the same rectangle: every corner of one lies on a corner
// of the other.
void ExpectSameRectangle(const cv::RotatedRect& original, const MinBox& box)
{
    const auto a = Corners(original);
    const auto b = Corners(cv::RotatedRect({box.cx, box.cy}, {box.w, box.h}, box.angle));
    for (const auto& p : a) {
        double nearest = 1e9;
        for (const auto& q : b) nearest = std::min(nearest, cv::norm(p - q));
        EXPECT_LT(nearest, 1e-2) << "corner " << p;
    }
}

TEST(MinAreaBoxAdapter, AnglesFallInMinusNinetyToZeroAndFoldToTheTurn)
{
    struct Case {
        double turn;
        double folded;
    };
    for (const Case c : {Case{0, 0}, Case{10, 10}, Case{-10, -10}, Case{44, 44}, Case{-44, -44},
                         Case{46, -44}, Case{-46, 44}, Case{90, 0}}) {
        SCOPED_TRACE(c.turn);
        const cv::RotatedRect drawn({200.0f, 150.0f}, {80.0f, 40.0f}, static_cast<float>(c.turn));
        const MinBox box = BoxFromRotatedRect(cv::minAreaRect(Corners(drawn)));
        EXPECT_GE(box.angle, -90.0f);
        EXPECT_LT(box.angle, 0.0f);
        EXPECT_NEAR(NormaliseBoxAngle(box.angle), c.folded, 1e-3);
        EXPECT_NEAR(box.cx, 200.0f, 1e-3);
        EXPECT_NEAR(box.cy, 150.0f, 1e-3);
        EXPECT_NEAR(box.w * box.h, 3200.0f, 0.5f);
        ExpectSameRectangle(drawn, box);
    }
}

TEST(MinAreaBoxAdapter, AcceptsEitherEndOfTheRangeAndNeverSpins)
{
    const MinBox at90 = BoxFromRotatedRect(cv::RotatedRect({0, 0}, {30, 10}, 90.0f));
    EXPECT_FLOAT_EQ(at90.angle, -90.0f);
    EXPECT_FLOAT_EQ(at90.w, 30.0f); // a half turn: the same side again
    const MinBox at0 = BoxFromRotatedRect(cv::RotatedRect({0, 0}, {30, 10}, 0.0f));
    EXPECT_FLOAT_EQ(at0.angle, -90.0f);
    EXPECT_FLOAT_EQ(at0.w, 10.0f);
    const MinBox at30 = BoxFromRotatedRect(cv::RotatedRect({0, 0}, {30, 10}, 30.0f));
    EXPECT_FLOAT_EQ(at30.angle, -60.0f);
    EXPECT_FLOAT_EQ(at30.w, 10.0f);
    EXPECT_FLOAT_EQ(at30.h, 30.0f);
    const MinBox odd = BoxFromRotatedRect(cv::RotatedRect({0, 0}, {30, 10}, std::nanf("")));
    EXPECT_TRUE(std::isnan(odd.angle));
}

TEST(ContourChain, WalksOnlyTheOutermostContours)
{
    cv::Mat binary(100, 200, CV_8UC1, cv::Scalar(0));
    cv::rectangle(binary, cv::Rect(10, 10, 60, 60), cv::Scalar(255), cv::FILLED);
    cv::rectangle(binary, cv::Rect(25, 25, 20, 20), cv::Scalar(0), cv::FILLED); // a hole
    cv::rectangle(binary, cv::Rect(30, 30, 6, 6), cv::Scalar(255), cv::FILLED); // an island in it
    cv::rectangle(binary, cv::Rect(120, 20, 30, 10), cv::Scalar(255), cv::FILLED);
    const ContourChain chain = ContourChain::Search(binary);
    EXPECT_EQ(chain.Count(), 4);
    int outer = 0;
    chain.ForEachOuter([&](int) { ++outer; });
    EXPECT_EQ(outer, 2);
    EXPECT_EQ(ContourChain::Search(cv::Mat(50, 50, CV_8UC1, cv::Scalar(0))).First(), -1);
}

TEST(LargestMinAreaBox, TakesTheLargestBoxAndNothingFromSpecks)
{
    cv::Mat binary(100, 200, CV_8UC1, cv::Scalar(0));
    cv::rectangle(binary, cv::Rect(10, 10, 20, 20), cv::Scalar(255), cv::FILLED);
    cv::rectangle(binary, cv::Rect(100, 10, 41, 31), cv::Scalar(255), cv::FILLED);
    const MinBox box = LargestMinAreaBox(ContourChain::Search(binary));
    EXPECT_NEAR(box.cx, 120.0f, 1e-3);
    EXPECT_NEAR(box.cy, 25.0f, 1e-3);
    EXPECT_NEAR(box.w * box.h, 40.0f * 30.0f, 1e-2);

    // A single pixel's box has no area: nothing is taken.
    cv::Mat speck(50, 50, CV_8UC1, cv::Scalar(0));
    speck.at<uchar>(20, 20) = 255;
    const MinBox none = LargestMinAreaBox(ContourChain::Search(speck));
    EXPECT_EQ(none.cx, -1.0f);
    EXPECT_EQ(none.w, 1.0f);
}

TEST(LinkBlobCentres, JoinsAllBlobsIntoOneContour)
{
    const cv::Mat binary = test::DotImage({200, 200}, {{20, 20}, {180, 30}, {100, 170}, {60, 100}});
    cv::Mat linked = binary.clone();
    LinkBlobCentres(linked, ContourChain::Search(binary));
    int outer = 0;
    const ContourChain after = ContourChain::Search(linked);
    after.ForEachOuter([&](int) { ++outer; });
    EXPECT_EQ(outer, 1);
    // The box around the star reaches every dot.
    const MinBox box = LargestMinAreaBox(after);
    EXPECT_GT(box.w * box.h, 100.0f * 100.0f);
}

TEST(LinkBlobCentres, IgnoresBlobsOfThreeSquarePixelsOrLess)
{
    cv::Mat binary(100, 100, CV_8UC1, cv::Scalar(0));
    test::Dot(binary, 20, 20);
    binary.at<uchar>(80, 80) = 255; // a speck: no line to it
    binary.at<uchar>(80, 81) = 255;
    cv::Mat linked = binary.clone();
    LinkBlobCentres(linked, ContourChain::Search(binary));
    EXPECT_EQ(cv::countNonZero(linked), cv::countNonZero(binary));
}

} // namespace
} // namespace smt
