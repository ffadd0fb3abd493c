#include "vision/cvv_image.h"

#include <algorithm>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "vision/image_files.h"

namespace smt {

bool CvvImage::Create(int width, int height, int bitsPerPixel, int origin) {
    if ((bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32) || width <= 0 || height <= 0 ||
        width > kMaxSide || height > kMaxSide || (origin != 0 && origin != 1))
        return false;
    const int channels = bitsPerPixel / 8;
    if (m_img.empty() || m_img.cols != width || m_img.rows != height || m_img.channels() != channels)
        m_img = cv::Mat(height, width, CV_8UC(channels));
    m_bottomUp = origin != 0;
    return !m_img.empty();
}

void CvvImage::CopyOf(const cv::Mat& image, int desiredColour) {
    if (image.empty() || image.depth() != CV_8U) return;
    const int in = image.channels();
    const bool colour = desiredColour < 0 ? in > 1 : desiredColour > 0;
    const int bpp = !colour ? 8 : (in == 1 ? 24 : 8 * in);
    if (&image == &m_img) {
        if (bpp == Bpp()) return;
        const cv::Mat source = image.clone();
        return CopyOf(source, desiredColour);
    }
    if (!Create(image.cols, image.rows, bpp, m_bottomUp)) return;
    const int out = bpp / 8;
    if (in == out) image.copyTo(m_img);
    else if (out == 1) cv::cvtColor(image, m_img, in == 4 ? cv::COLOR_BGRA2GRAY : cv::COLOR_BGR2GRAY);
    else if (in == 1) cv::cvtColor(image, m_img, out == 4 ? cv::COLOR_GRAY2BGRA : cv::COLOR_GRAY2BGR);
    else cv::cvtColor(image, m_img, out == 4 ? cv::COLOR_BGR2BGRA : cv::COLOR_BGRA2BGR);
}

void CvvImage::CopyOf(const CvvImage& image, int desiredColour) {
    if (&image == this) return;
    m_bottomUp = image.m_bottomUp;
    CopyOf(image.m_img, desiredColour);
}

bool CvvImage::Load(const std::string& file, int desiredColour) {
    return LoadRect(file, desiredColour, cv::Rect());
}

bool CvvImage::LoadRect(const std::string& file, int desiredColour, EdgeRect r) {
    return LoadRect(file, desiredColour, cv::Rect(r.left, r.top, r.right - r.left, r.bottom - r.top));
}

bool CvvImage::LoadRect(const std::string& file, int desiredColour, cv::Rect rect) {
    const int flags = desiredColour > 0 ? cv::IMREAD_COLOR : desiredColour == 0 ? cv::IMREAD_GRAYSCALE : cv::IMREAD_UNCHANGED;
    cv::Mat img = ReadImageFile(file, flags);
    if (img.empty() || img.depth() != CV_8U || img.cols > kMaxSide || img.rows > kMaxSide) return false;
    if (rect.width != 0 && rect.height != 0) {
        // Clipped to the image: negative corners move to 0.
        const int left = std::clamp(std::min(rect.x, rect.x + rect.width), 0, img.cols);
        const int right = std::clamp(std::max(rect.x, rect.x + rect.width), 0, img.cols);
        const int top = std::clamp(std::min(rect.y, rect.y + rect.height), 0, img.rows);
        const int bottom = std::clamp(std::max(rect.y, rect.y + rect.height), 0, img.rows);
        if (right <= left || bottom <= top) return false;
        img = img(cv::Rect(left, top, right - left, bottom - top));
    }
    m_bottomUp = false;
    CopyOf(img, desiredColour);
    return !m_img.empty();
}

bool CvvImage::Save(const std::string& file) {
    if (m_img.empty()) return false;
    return WriteImageFile(file, m_img);
}

void CvvImage::Destroy() {
    m_img.release();
    m_bottomUp = false;
}

void CvvImage::Fill(unsigned colour) {
    if (m_img.empty()) return;
    const cv::Scalar s(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF, (colour >> 24) & 0xFF);
    m_img.setTo(s);
}

} // namespace smt
