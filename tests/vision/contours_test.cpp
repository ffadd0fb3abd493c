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

int OuterCount(const ContourChain& chain)
{
    int outer = 0;
    chain.ForEachOuter([&](int) { ++outer; });
    return outer;
}

TEST(MinAreaBoxAdapter, AnglesFallInMinusNinetyToZeroAndFoldToTheTurn)
{
    for (const auto& [turn, folded] : {std::pair{0, 0}, {10, 10}, {-10, -10}, {44, 44}, {-44, -44}, {46, -44},
                                       {-46, 44}, {90, 0}}) {
        SCOPED_TRACE(turn);
        const cv::RotatedRect drawn({200.0f, 150.0f}, {80.0f, 40.0f}, static_cast<float>(turn));
        const MinBox box = BoxFromRotatedRect(cv::minAreaRect(Corners(drawn)));
        EXPECT_GE(box.angle, -90.0f);
        EXPECT_LT(box.angle, 0.0f);
        EXPECT_NEAR(NormaliseBoxAngle(box.angle), folded, 1e-3);
        EXPECT_NEAR(box.cx, 200.0f, 1e-3);
        EXPECT_NEAR(box.cy, 150.0f, 1e-3);
        EXPECT_NEAR(box.w * box.h, 3200.0f, 0.5f);
        // The same rectangle: every corner of one lies on a corner of the other.
        const auto got = Corners(cv::RotatedRect({box.cx, box.cy}, {box.w, box.h}, box.angle));
        for (const auto& p : Corners(drawn)) {
            double nearest = 1e9;
            for (const auto& q : got) nearest = std::min(nearest, cv::norm(p - q));
            EXPECT_LT(nearest, 1e-2) << "corner " << p;
        }
    }
}

TEST(MinAreaBoxAdapter, AcceptsEitherEndOfTheRangeAndNeverSpins)
{
    // 90 is a half turn: the same side again.
    for (const auto& [in, angle, w, h] : {std::tuple{90.0f, -90.0f, 30.0f, 10.0f}, {0.0f, -90.0f, 10.0f, 30.0f},
                                          {30.0f, -60.0f, 10.0f, 30.0f}}) {
        const MinBox box = BoxFromRotatedRect(cv::RotatedRect({0, 0}, {30, 10}, in));
        EXPECT_FLOAT_EQ(box.angle, angle) << in;
        EXPECT_FLOAT_EQ(box.w, w) << in;
        EXPECT_FLOAT_EQ(box.h, h) << in;
    }
    EXPECT_TRUE(std::isnan(BoxFromRotatedRect(cv::RotatedRect({0, 0}, {30, 10}, std::nanf(""))).angle));
}

TEST(ContourChain, WalksOnlyTheOutermostContoursAndTheLargestBoxWins)
{
    cv::Mat binary(100, 200, CV_8UC1, cv::Scalar(0));
    cv::rectangle(binary, cv::Rect(10, 10, 60, 60), cv::Scalar(255), cv::FILLED);
    cv::rectangle(binary, cv::Rect(25, 25, 20, 20), cv::Scalar(0), cv::FILLED); // a hole
    cv::rectangle(binary, cv::Rect(30, 30, 6, 6), cv::Scalar(255), cv::FILLED); // an island in it
    cv::rectangle(binary, cv::Rect(100, 10, 41, 31), cv::Scalar(255), cv::FILLED);
    const ContourChain chain = ContourChain::Search(binary);
    EXPECT_EQ(chain.Count(), 4);
    EXPECT_EQ(OuterCount(chain), 2);
    EXPECT_EQ(ContourChain::Search(cv::Mat(50, 50, CV_8UC1, cv::Scalar(0))).First(), -1);

    cv::rectangle(binary, cv::Rect(10, 10, 60, 60), cv::Scalar(0), cv::FILLED);
    cv::rectangle(binary, cv::Rect(10, 10, 20, 20), cv::Scalar(255), cv::FILLED);
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

// Joining the balls into one box is pinned by the ball-grid rows of FindComponent's every-type table.
TEST(LinkBlobCentres, BlobsOfThreeSquarePixelsOrLessGetNoLine)
{
    cv::Mat sparse(100, 100, CV_8UC1, cv::Scalar(0));
    test::Dot(sparse, 20, 20);
    sparse.at<uchar>(80, 80) = 255;
    sparse.at<uchar>(80, 81) = 255;
    cv::Mat linked = sparse.clone();
    LinkBlobCentres(linked, ContourChain::Search(sparse));
    EXPECT_EQ(cv::countNonZero(linked), cv::countNonZero(sparse));
}

} // namespace
} // namespace smt
