// The colour remap against the library's own, byte for byte: maps that reach past
// every edge of the frame, whole maps and cut-outs of them (down to one pixel, odd
// widths for the last pixels of a row), a frame that is itself a cut-out, frames
// too small for the fast path, fractions 0 and the last row and column.
#include <gtest/gtest.h>
#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include "vision/remap_bgr.h"

namespace smt {
namespace {

int Differing(const cv::Mat& a, const cv::Mat& b) {
    if (a.size() != b.size() || a.type() != b.type()) return -1;
    cv::Mat diff;
    cv::absdiff(a, b, diff);
    return cv::countNonZero(diff.reshape(1));
}

cv::Mat Library(const cv::Mat& src, const cv::Mat& map1, const cv::Mat& map2) {
    cv::Mat out;
    cv::remap(src, out, map1, map2, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(0));
    return out;
}

cv::Mat Ours(const cv::Mat& src, const cv::Mat& map1, const cv::Mat& map2) {
    cv::Mat out;
    RemapBilinear(src, out, map1, map2);
    return out;
}

TEST(RemapBilinear, ByteForByteTheLibrarysRemap) {
    cv::RNG rng(20261207);
    const cv::Size size(331, 247);
    cv::Mat frame(size, CV_8UC3);
    rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
    // Barrel (pulls in from outside the corners), pincushion (pushes past the edges)
    // and a tilted, shifted lens, all with fractions of every value.
    const cv::Mat matrix = (cv::Mat_<double>(3, 3) << 300, 0, 160, 0, 290, 120, 0, 0, 1);
    const cv::Mat shifted = (cv::Mat_<double>(3, 3) << 310, 0, 190, 0, 320, 100, 0, 0, 1);
    const std::vector<cv::Mat> lenses{(cv::Mat_<double>(1, 5) << -0.35, 0.12, 0.001, -0.002, 0),
                                      (cv::Mat_<double>(1, 5) << 0.4, 0.1, 0, 0, 0),
                                      (cv::Mat_<double>(1, 5) << -0.1, 0.02, 0.01, 0.008, 0)};
    const std::vector<cv::Rect> regions{{0, 0, 331, 247}, {0, 0, 1, 1}, {330, 246, 1, 1}, {5, 7, 3, 2},
                                        {100, 50, 7, 9},  {0, 120, 331, 1}, {160, 0, 1, 247}, {1, 1, 329, 245}};
    for (std::size_t l = 0; l < lenses.size(); ++l) {
        cv::Mat map1, map2;
        cv::initUndistortRectifyMap(matrix, lenses[l], cv::Mat(), l == 2 ? shifted : matrix, size, CV_16SC2, map1, map2);
        for (const cv::Rect& r : regions) {
            SCOPED_TRACE("lens " + std::to_string(l) + " region " + std::to_string(r.x) + "," + std::to_string(r.y) +
                         " " + std::to_string(r.width) + "x" + std::to_string(r.height));
            EXPECT_EQ(Differing(Ours(frame, map1(r), map2(r)), Library(frame, map1(r), map2(r))), 0);
        }
        // The frame a cut-out of a larger one (its rows further apart than its width).
        cv::Mat wide(size.height + 3, size.width + 17, CV_8UC3);
        rng.fill(wide, cv::RNG::UNIFORM, 0, 256);
        const cv::Mat inner = wide(cv::Rect(9, 2, size.width, size.height));
        EXPECT_EQ(Differing(Ours(inner, map1, map2), Library(inner, map1, map2)), 0) << "lens " << l;
    }
}

// Hand-made maps: every source position from -2 to past the far edge with each
// fraction, on frames of 3 x 2 (the smallest of the fast path) to 9 x 5, and 2 x 2.
TEST(RemapBilinear, EveryPositionAndFractionAtTheEdges) {
    cv::RNG rng(7);
    for (const cv::Size size : {cv::Size(2, 2), cv::Size(3, 2), cv::Size(4, 3), cv::Size(9, 5)}) {
        cv::Mat frame(size, CV_8UC3);
        rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
        const int xs = size.width + 4, ys = size.height + 4;
        cv::Mat map1(ys * 32, xs * 32, CV_16SC2), map2(ys * 32, xs * 32, CV_16UC1);
        for (int y = 0; y < map1.rows; ++y)
            for (int x = 0; x < map1.cols; ++x) {
                map1.at<cv::Vec2s>(y, x) = cv::Vec2s(static_cast<short>(x / 32 - 2), static_cast<short>(y / 32 - 2));
                map2.at<std::uint16_t>(y, x) = static_cast<std::uint16_t>((y % 32) * 32 + x % 32);
            }
        EXPECT_EQ(Differing(Ours(frame, map1, map2), Library(frame, map1, map2)), 0) << size;
    }
}

// Frames of another kind go to the library itself.
TEST(RemapBilinear, GreyFramesAsTheLibraryRemapsThem) {
    cv::RNG rng(3);
    cv::Mat grey(40, 50, CV_8UC1);
    rng.fill(grey, cv::RNG::UNIFORM, 0, 256);
    cv::Mat map1, map2;
    const cv::Mat matrix = (cv::Mat_<double>(3, 3) << 60, 0, 25, 0, 60, 20, 0, 0, 1);
    const cv::Mat lens = (cv::Mat_<double>(1, 5) << -0.3, 0.1, 0, 0, 0);
    cv::initUndistortRectifyMap(matrix, lens, cv::Mat(), matrix, grey.size(), CV_16SC2, map1, map2);
    const cv::Mat out = Ours(grey, map1, map2);
    EXPECT_EQ(out.type(), CV_8UC1);
    EXPECT_EQ(Differing(out, Library(grey, map1, map2)), 0);
}

// Scattered maps: neighbouring output pixels mix inside, edge and wholly outside
// sources, fractions take all 16 bits (the library keeps the low 10), and output
// widths of 1 to 40 start rows on and off 16-byte boundaries.
TEST(RemapBilinear, ScatteredMapsOfEveryWidthMixInsideEdgeAndOutside) {
    cv::RNG rng(41);
    cv::Mat frame(23, 37, CV_8UC3);
    rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
    for (int width = 1; width <= 40; ++width) {
        cv::Mat map1(9, width, CV_16SC2), map2(9, width, CV_16UC1);
        for (int y = 0; y < map1.rows; ++y)
            for (int x = 0; x < width; ++x) {
                map1.at<cv::Vec2s>(y, x) = cv::Vec2s(static_cast<short>(rng.uniform(-3, frame.cols + 3)),
                                                     static_cast<short>(rng.uniform(-3, frame.rows + 3)));
                map2.at<std::uint16_t>(y, x) = static_cast<std::uint16_t>(rng.uniform(0, 65536));
            }
        EXPECT_EQ(Differing(Ours(frame, map1, map2), Library(frame, map1, map2)), 0) << "width " << width;
    }
}

// Full camera frames through a wide lens: rows long enough for the look-ahead, and
// outputs large enough to be streamed, with rows on 16-byte boundaries (1280 wide)
// or only every sixteenth row there (1283 wide, its last pixels the slow way).
TEST(RemapBilinear, FullFramesThroughAWideLens) {
    cv::RNG rng(1280);
    for (const cv::Size size : {cv::Size(1280, 1024), cv::Size(1283, 1021)}) {
        cv::Mat frame(size, CV_8UC3);
        rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
        const cv::Mat matrix = (cv::Mat_<double>(3, 3) << 1100, 0, 652, 0, 1080, 498, 0, 0, 1);
        const cv::Mat lens = (cv::Mat_<double>(1, 5) << -0.25, 0.08, 0.0005, -0.0003, 0);
        const cv::Mat shown = cv::getOptimalNewCameraMatrix(matrix, lens, size, 1.0, size);
        cv::Mat map1, map2;
        cv::initUndistortRectifyMap(matrix, lens, cv::Mat(), shown, size, CV_16SC2, map1, map2);
        EXPECT_EQ(Differing(Ours(frame, map1, map2), Library(frame, map1, map2)), 0) << size;
    }
}

} // namespace
} // namespace smt
