// The bilinear remap of a colour frame through fixed-point maps (CV_16SC2 with
// their CV_16UC1 fractions), pixels from outside the frame 0: byte for byte what
// cv::remap gives with INTER_LINEAR and a constant border of 0, in less time. The
// undistortion of a full colour frame spends nearly all its time here.
#pragma once

#include <opencv2/core.hpp>

namespace smt {

// `dst` becomes map1's size, type CV_8UC3. Another frame or map type goes to
// cv::remap itself.
void RemapBilinear(const cv::Mat& src, cv::Mat& dst, const cv::Mat& map1, const cv::Mat& map2);

} // namespace smt
