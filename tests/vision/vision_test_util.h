// Helpers for the recognition tests: a sink that keeps what was published, and
// contour searches of hand-drawn binary images with exact blob centres.
#pragma once

#include <utility>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "vision/contours.h"
#include "vision/result_slots.h"

namespace smt::test {

struct CaptureSink : VisionResultSink {
    int slot = -1;
    int count = 0;
    cv::Mat image;
    void Publish(int s, cv::Mat img) override
    {
        slot = s;
        ++count;
        image = std::move(img);
    }
};

// A 4 x 4 px square whose box centre is (x + 0.5, y + 0.5): truncates to (x, y).
inline void Dot(cv::Mat& binary, int x, int y)
{
    cv::rectangle(binary, cv::Point(x - 1, y - 1), cv::Point(x + 2, y + 2), cv::Scalar(255), cv::FILLED);
}

inline cv::Mat DotImage(cv::Size size, const std::vector<cv::Point>& dots)
{
    cv::Mat binary(size, CV_8UC1, cv::Scalar(0));
    for (const auto& d : dots) Dot(binary, d.x, d.y);
    return binary;
}

// The binary window of a rendered frame, as the recognisers threshold it.
inline cv::Mat BinaryWindow(const cv::Mat& frame, cv::Rect window, int level = 128)
{
    cv::Mat grey;
    if (frame.channels() == 3) cv::cvtColor(frame(window), grey, cv::COLOR_BGR2GRAY);
    else grey = frame(window).clone();
    cv::Mat binary;
    cv::threshold(grey, binary, level, 255, cv::THRESH_BINARY);
    return binary;
}

} // namespace smt::test
