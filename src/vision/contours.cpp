#include "vision/contours.h"

#include <utility>

#include <opencv2/imgproc.hpp>

namespace smt {

MinBox BoxFromRotatedRect(const cv::RotatedRect& rect)
{
    MinBox box;
    box.cx = rect.center.x;
    box.cy = rect.center.y;
    box.w = rect.size.width;
    box.h = rect.size.height;
    float angle = rect.angle;
    // Bounded loops: a NaN angle or a huge one must not spin.
    for (int i = 0; i < 8 && angle >= 0.0f; ++i) {
        angle -= 90.0f;
        std::swap(box.w, box.h);
    }
    for (int i = 0; i < 8 && angle < -90.0f; ++i) {
        angle += 90.0f;
        std::swap(box.w, box.h);
    }
    box.angle = angle;
    return box;
}

MinBox MinAreaBox(const std::vector<cv::Point>& contour)
{
    if (contour.empty()) return MinBox{0.0f, 0.0f, 0.0f, 0.0f, -90.0f};
    return BoxFromRotatedRect(cv::minAreaRect(contour));
}

ContourChain ContourChain::Search(const cv::Mat& binary)
{
    ContourChain chain;
    if (binary.empty()) return chain;
    cv::findContours(binary, chain.m_contours, chain.m_hierarchy, cv::RETR_TREE,
                     cv::CHAIN_APPROX_SIMPLE, cv::Point(0, 0));
    chain.m_boxes.resize(chain.m_contours.size());
    chain.m_haveBox.assign(chain.m_contours.size(), 0);
    return chain;
}

const MinBox& ContourChain::Box(int index) const
{
    const auto i = static_cast<std::size_t>(index);
    if (!m_haveBox[i]) {
        m_boxes[i] = MinAreaBox(m_contours[i]);
        m_haveBox[i] = 1;
    }
    return m_boxes[i];
}

void LinkBlobCentres(cv::Mat& image, const ContourChain& chain)
{
    bool haveFirst = false;
    cv::Point first;
    chain.ForEachOuter([&](int i) {
        const MinBox& b = chain.Box(i);
        if (!(b.Area() > 3.0f)) return;
        const cv::Point centre(static_cast<int>(b.cx), static_cast<int>(b.cy));
        if (!haveFirst) {
            first = centre;
            haveFirst = true;
            return;
        }
        cv::line(image, first, centre, cv::Scalar(255, 255, 255), 1, cv::LINE_8);
    });
}

MinBox LargestMinAreaBox(const ContourChain& chain)
{
    MinBox best;
    chain.ForEachOuter([&](int i) {
        const MinBox& b = chain.Box(i);
        if (b.Area() > best.Area()) best = b;
    });
    return best;
}

} // namespace smt
