// Drawing a held image into a Qt paint target.
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include "vision/cvv_image.h"

namespace {

TEST(CvvImageDrawing, SameSizeCopiesPixelsAndGreyStaysGrey) {
    for (int bpp : {8, 24}) {
        smt::CvvImage img;
        ASSERT_TRUE(img.Create(37, 23, bpp));  // odd width: rows are padded in neither
        cv::randu(img.GetImage(), 0, 256);
        QImage target(37, 23, QImage::Format_RGB32);
        target.fill(Qt::black);
        {
            QPainter p(&target);
            img.DrawToHDC(&p, QRect(0, 0, 37, 23));
        }
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x) {
                const QRgb got = target.pixel(x, y);
                if (bpp == 8) {
                    const int g = img.GetImage().at<uchar>(y, x);
                    ASSERT_EQ(got & 0xFFFFFF, static_cast<QRgb>(g << 16 | g << 8 | g)) << x << "," << y;
                } else {
                    const cv::Vec3b v = img.GetImage().at<cv::Vec3b>(y, x);
                    ASSERT_EQ(got & 0xFFFFFF, static_cast<QRgb>(v[2] << 16 | v[1] << 8 | v[0])) << x << "," << y;
                }
            }
    }
    // Scaled into a larger target: every pixel of the target is drawn.
    smt::CvvImage img;
    img.Create(10, 10, 24);
    img.Fill(0x000000FF);
    QImage big(25, 25, QImage::Format_RGB32);
    big.fill(Qt::black);
    {
        QPainter p(&big);
        img.DrawToHDC(&p, QRect(0, 0, 25, 25));
    }
    EXPECT_EQ(big.pixel(24, 24) & 0xFFFFFF, 0x0000FFu);  // low byte first: blue
}

} // namespace
