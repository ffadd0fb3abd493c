#include "joblist/ui/job_list_art.h"

#include <QPainter>
#include <QPainterPath>

namespace smt {

namespace {

QPixmap Blank(int w, int h) {
    QPixmap p(w, h);
    p.fill(Qt::transparent);  // the transparent pixels are the mask
    return p;
}

void Check(QPainter& g, QColor c) {
    g.setPen(QPen(c, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    g.drawPolyline(QPolygonF({QPointF(4, 10), QPointF(8, 15), QPointF(16, 5)}));
}

void Cross(QPainter& g, QColor c) {
    g.setPen(QPen(c, 2.5, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(5, 5), QPointF(15, 15));
    g.drawLine(QPointF(15, 5), QPointF(5, 15));
}

void Eye(QPainter& g, QColor c) {
    g.setPen(QPen(c, 1.5));
    QPainterPath lid;
    lid.moveTo(2, 10);
    lid.quadTo(10, 2, 18, 10);
    lid.quadTo(10, 18, 2, 10);
    g.drawPath(lid);
    g.setBrush(c);
    g.drawEllipse(QPointF(10, 10), 2.5, 2.5);
}

QPixmap RowImage(int index) {
    QPixmap p = Blank(20, 20);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 0:  // plain row: a small grey dot
        g.setBrush(QColor(160, 160, 160));
        g.setPen(Qt::NoPen);
        g.drawEllipse(QPointF(10, 10), 3, 3);
        break;
    case 1: Check(g, QColor(0, 150, 0)); break;
    case 2: Cross(g, QColor(200, 0, 0)); break;
    case 3: Eye(g, QColor(0, 90, 200)); break;
    case 4:
        Eye(g, QColor(150, 150, 150));
        g.setPen(QPen(QColor(200, 0, 0), 2));
        g.drawLine(QPointF(4, 16), QPointF(16, 4));
        break;
    case 5:  // picking: a nozzle over a part
        g.setPen(Qt::NoPen);
        g.setBrush(QColor(230, 150, 0));
        g.drawRect(QRectF(8, 2, 4, 9));
        g.setBrush(QColor(60, 60, 60));
        g.drawRect(QRectF(5, 13, 10, 5));
        break;
    case 6:  // done: a filled green disc with a tick
        g.setPen(Qt::NoPen);
        g.setBrush(QColor(0, 160, 0));
        g.drawEllipse(QRectF(1, 1, 18, 18));
        Check(g, Qt::white);
        break;
    case 7:  // failed: a red disc with a cross
        g.setPen(Qt::NoPen);
        g.setBrush(QColor(210, 0, 0));
        g.drawEllipse(QRectF(1, 1, 18, 18));
        Cross(g, Qt::white);
        break;
    case 8: {  // waiting for the operator: a yellow triangle with "!"
        g.setPen(QPen(QColor(120, 90, 0), 1));
        g.setBrush(QColor(250, 210, 0));
        g.drawPolygon(QPolygonF({QPointF(10, 1), QPointF(19, 18), QPointF(1, 18)}));
        g.setPen(QPen(Qt::black, 2));
        g.drawLine(QPointF(10, 7), QPointF(10, 12));
        g.drawPoint(QPointF(10, 15.5));
        break;
    }
    case 9:  // loaded or in work: a blue drop
    case 10: {  // in work or copied: an orange drop
        QPainterPath drop;
        drop.moveTo(10, 2);
        drop.cubicTo(16, 10, 16, 18, 10, 18);
        drop.cubicTo(4, 18, 4, 10, 10, 2);
        g.setPen(Qt::NoPen);
        g.setBrush(index == 9 ? QColor(0, 110, 220) : QColor(240, 120, 0));
        g.drawPath(drop);
        break;
    }
    default: break;
    }
    return p;
}

QIcon ToolImage(int position) {
    QPixmap p = Blank(60, 24);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    const QColor ink(40, 70, 130);
    g.setPen(QPen(ink, 2));
    g.setBrush(Qt::NoBrush);
    const QRectF box(22, 3, 16, 18);
    switch (position) {
    case 0:  // Pcb Edit: a board
        g.setBrush(QColor(0, 130, 60));
        g.drawRect(QRectF(18, 4, 24, 16));
        break;
    case 1:  // Strategy: three bars
        for (int i = 0; i < 3; ++i) g.drawLine(QPointF(20, 6 + 6 * i), QPointF(40 - 6 * i, 6 + 6 * i));
        break;
    case 2:  // Start: a play triangle
        g.setBrush(QColor(0, 150, 0));
        g.drawPolygon(QPolygonF({QPointF(24, 3), QPointF(38, 12), QPointF(24, 21)}));
        break;
    case 3:  // Pause: two bars
        g.setBrush(QColor(230, 150, 0));
        g.drawRect(QRectF(23, 4, 5, 16));
        g.drawRect(QRectF(32, 4, 5, 16));
        break;
    case 4:  // Regain: a bar and a triangle
        g.setBrush(QColor(0, 150, 0));
        g.drawRect(QRectF(21, 4, 4, 16));
        g.drawPolygon(QPolygonF({QPointF(28, 4), QPointF(40, 12), QPointF(28, 20)}));
        break;
    case 5:  // Stop: a square
        g.setBrush(QColor(200, 0, 0));
        g.drawRect(QRectF(23, 5, 14, 14));
        break;
    case 6:  // Pcb Clamp: two jaws
        g.drawLine(QPointF(18, 4), QPointF(18, 20));
        g.drawLine(QPointF(42, 4), QPointF(42, 20));
        g.setBrush(QColor(0, 130, 60));
        g.drawRect(QRectF(22, 9, 16, 6));
        break;
    case 7:  // Find: a lens
        g.drawEllipse(QRectF(21, 3, 12, 12));
        g.drawLine(QPointF(31, 14), QPointF(38, 21));
        break;
    case 8:  // Compare: two columns and "="
        g.drawRect(box);
        g.drawLine(QPointF(26, 10), QPointF(34, 10));
        g.drawLine(QPointF(26, 14), QPointF(34, 14));
        break;
    case 9:  // Update: a circular arrow
        g.drawArc(QRectF(21, 3, 18, 18), 30 * 16, 300 * 16);
        g.drawLine(QPointF(37, 6), QPointF(38, 11));
        break;
    case 10:  // Smt Dis: a part and a drop
        g.setBrush(QColor(60, 60, 60));
        g.drawRect(QRectF(17, 8, 10, 8));
        g.setBrush(QColor(240, 120, 0));
        g.setPen(Qt::NoPen);
        g.drawEllipse(QRectF(33, 6, 9, 12));
        break;
    default: break;
    }
    return QIcon(p);
}

} // namespace

const std::vector<QPixmap>& RowImages() {
    static const std::vector<QPixmap> images = [] {
        std::vector<QPixmap> v;
        for (int i = 0; i < 11; ++i) v.push_back(RowImage(i));
        return v;
    }();
    return images;
}

const std::vector<QIcon>& ToolBarImages() {
    static const std::vector<QIcon> images = [] {
        std::vector<QIcon> v;
        for (int i = 0; i < 11; ++i) v.push_back(ToolImage(i));
        return v;
    }();
    return images;
}

} // namespace smt
