#include "vision/ui/mat_image.h"

namespace smt {

QImage MatToQImage(const cv::Mat& frame) {
    if (frame.empty() || frame.depth() != CV_8U) return QImage();
    const auto step = static_cast<qsizetype>(frame.step);
    switch (frame.channels()) {
        case 1: {
            // A grey palette (i, i, i): drawn as the bytes say, with no colour-space turn.
            static const QList<QRgb> grey = [] {
                QList<QRgb> t(256);
                for (int i = 0; i < 256; ++i) t[i] = qRgb(i, i, i);
                return t;
            }();
            QImage img(frame.data, frame.cols, frame.rows, step, QImage::Format_Indexed8);
            img.setColorTable(grey);
            return img;
        }
        case 3: return QImage(frame.data, frame.cols, frame.rows, step, QImage::Format_BGR888);
        case 4: return QImage(frame.data, frame.cols, frame.rows, step, QImage::Format_ARGB32);  // B G R A in memory
        default: return QImage();
    }
}

} // namespace smt
