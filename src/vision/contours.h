// Contour searches and the rotated boxes the recognisers measure blobs by.
#pragma once

#include <vector>

#include <opencv2/core.hpp>

namespace smt {

// A minimum-area box with its angle in [-90, 0): `width` is the side that lies at
// `angle` from the x axis (image axes, y down, positive angles turn clockwise on
// screen). The recognisers' thresholds and normalisation were tuned for this
// range, so every box goes through BoxFromRotatedRect.
struct MinBox {
    float cx = -1.0f;
    float cy = -1.0f;
    float w = 1.0f;
    float h = 1.0f;
    float angle = 0.0f;
    float Area() const { return w * h; }
};

// The one adapter from cv::minAreaRect's convention (angle in (0, 90] in current
// releases, sides in either order) to MinBox's. The rectangle stays the same:
// each quarter turn of the angle swaps width and height.
MinBox BoxFromRotatedRect(const cv::RotatedRect& rect);
MinBox MinAreaBox(const std::vector<cv::Point>& contour);

// The result of one contour search (all levels, simple chains). The recognisers
// look only at the outermost contours: from the first one along the next-sibling
// links. Boxes are computed once per contour when first asked for.
class ContourChain {
public:
    ContourChain() = default;
    // Searches a binary image; the image is not altered.
    static ContourChain Search(const cv::Mat& binary);

    int Count() const { return static_cast<int>(m_contours.size()); }
    int First() const { return m_contours.empty() ? -1 : 0; }
    int Next(int index) const { return m_hierarchy[static_cast<std::size_t>(index)][0]; }
    const std::vector<cv::Point>& Contour(int index) const
    {
        return m_contours[static_cast<std::size_t>(index)];
    }
    const MinBox& Box(int index) const;

    // Calls f(index) for each outermost contour.
    template <class F>
    void ForEachOuter(F&& f) const
    {
        for (int i = First(); i >= 0; i = Next(i)) f(i);
    }

private:
    std::vector<std::vector<cv::Point>> m_contours;
    std::vector<cv::Vec4i> m_hierarchy;
    mutable std::vector<MinBox> m_boxes;
    mutable std::vector<char> m_haveBox;
};

// Joins every blob (leads, balls, pads) into one: a white line from the first
// blob's box centre to each further one, for blobs whose box exceeds 3 px².
void LinkBlobCentres(cv::Mat& image, const ContourChain& chain);

// The box of largest area along the chain, {-1, -1, 1, 1, 0} when none exceeds 1 px².
MinBox LargestMinAreaBox(const ContourChain& chain);

} // namespace smt
