// The one conversion from an OpenCV frame to a Qt image that every drawing of the
// program uses: 8-bit grey, BGR or BGRA; the image shares the frame's pixels.
#pragma once

#include <QImage>

#include <opencv2/core.hpp>

namespace smt {

// Null for an empty or non-8-bit frame. The result refers to `frame`'s pixels:
// copy it (QImage::copy) to keep it beyond the frame.
QImage MatToQImage(const cv::Mat& frame);

} // namespace smt
