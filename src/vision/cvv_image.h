// One image held for drawing: the panel, the grab threads and the result display
// draw every image through it. Images are 8-bit with 1, 3 or 4 channels (8, 24 or
// 32 bits per pixel), at most 9999 x 9999. Operations on an empty holder do nothing.
#pragma once

#include <string>

#include <opencv2/core.hpp>

class QPainter;
class QRect;

namespace smt {

// A rectangle by its edges (right and bottom exclusive).
struct EdgeRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

class CvvImage {
public:
    CvvImage() = default;
    virtual ~CvvImage() = default;

    // False for another depth or a side above 9999 (the holder is left as it was);
    // an existing image of the same size and depth is kept.
    virtual bool Create(int width, int height, int bitsPerPixel, int origin = 0);
    // desiredColour: > 0 colour, 0 grey, < 0 as the file is.
    virtual bool Load(const std::string& file, int desiredColour = 1);
    // The part of the file inside `rect` (clipped to the image; an empty rect: all).
    virtual bool LoadRect(const std::string& file, int desiredColour, EdgeRect rect);
    virtual bool LoadRect(const std::string& file, int desiredColour, cv::Rect rect);
    virtual bool Save(const std::string& file);
    // desiredColour < 0: colour when the source has more than one channel.
    virtual void CopyOf(const cv::Mat& image, int desiredColour = -1);
    virtual void CopyOf(const CvvImage& image, int desiredColour = -1);
    virtual void Destroy();
    // Every pixel set to the colour's bytes, low byte first.
    virtual void Fill(unsigned colour);

    // Drawing into a Qt paint target (defined with the user interface, so not
    // virtual: the machine code that never draws links without it).
    // Rows fromY.. and columns fromX.. at (x, y), 1:1, clamped to the image.
    void Show(QPainter* painter, int x, int y, int width, int height, int fromX, int fromY);
    // A window of its own, titled `name`.
    void Show(const std::string& name);
    // Scaled into `rect`: 1:1 when it has the image's size, smooth when shrinking.
    void DrawToHDC(QPainter* painter, const QRect& rect);

    cv::Mat& GetImage() { return m_img; }
    const cv::Mat& GetImage() const { return m_img; }
    int Width() const { return m_img.cols; }
    int Height() const { return m_img.rows; }
    int Bpp() const { return m_img.empty() ? 0 : 8 * m_img.channels(); }
    bool BottomUp() const { return m_bottomUp; }

    static constexpr int kMaxSide = 9999;

private:
    cv::Mat m_img;
    bool m_bottomUp = false;  // origin 1
};

} // namespace smt
