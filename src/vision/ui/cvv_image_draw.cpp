// The drawing half of CvvImage: into a Qt paint target.
#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <map>

#include "vision/cvv_image.h"
#include "vision/ui/mat_image.h"

namespace smt {

void CvvImage::Show(QPainter* painter, int x, int y, int width, int height, int fromX, int fromY) {
    if (!painter || m_img.empty()) return;
    fromX = std::clamp(fromX, 0, m_img.cols - 1);
    fromY = std::clamp(fromY, 0, m_img.rows - 1);
    width = std::clamp(width, 0, m_img.cols - fromX);
    height = std::clamp(height, 0, m_img.rows - fromY);
    if (width == 0 || height == 0) return;
    const cv::Mat part = m_img(cv::Rect(fromX, fromY, width, height));
    painter->drawImage(QPoint(x, y), MatToQImage(m_bottomUp ? [&] {
        cv::Mat flipped;
        cv::flip(part, flipped, 0);
        return flipped;
    }() : part));
}

void CvvImage::DrawToHDC(QPainter* painter, const QRect& target) {
    if (!painter || m_img.empty()) return;
    const QRect rect = target.normalized();
    if (rect.isEmpty()) return;
    if (rect.width() == m_img.cols && rect.height() == m_img.rows) {
        Show(painter, rect.left(), rect.top(), rect.width(), rect.height(), 0, 0);
        return;
    }
    cv::Mat shown = m_img;
    if (m_bottomUp) cv::flip(m_img, shown, 0);
    painter->save();
    // Smooth when shrinking, nearest pixels otherwise (as fast as the live view needs).
    painter->setRenderHint(QPainter::SmoothPixmapTransform, rect.width() < m_img.cols);
    painter->drawImage(rect, MatToQImage(shown));
    painter->restore();
}

void CvvImage::Show(const std::string& name) {
    if (m_img.empty()) return;
    // One window per name, as the named windows of image tools behave.
    static std::map<std::string, QLabel*> windows;
    QLabel*& w = windows[name];
    if (!w) {
        w = new QLabel;
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->setWindowTitle(QString::fromStdString(name));
    }
    w->setPixmap(QPixmap::fromImage(MatToQImage(m_img).copy()));
    w->adjustSize();
    w->show();
}

} // namespace smt
