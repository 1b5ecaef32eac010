#include "chart/cursors.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>

namespace {

// Lens centre and radius of the three magnifiers; the hot spot is the lens centre.
constexpr QPointF kLens(12.5, 12.5);
constexpr double kLensRadius = 9;

void DrawMagnifier(QPainter& p) {
    // Handle first, so the lens rim covers its end.
    p.setPen(QPen(Qt::black, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19.5, 19.5), QPointF(28, 28));
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20.5, 20.5), QPointF(27, 27));
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::white);
    p.drawEllipse(kLens, kLensRadius, kLensRadius);
}

void DrawHand(QPainter& p) {
    // An open hand seen from the palm side: four fingers side by side, a thumb to the left and the palm.
    QPainterPath hand;
    hand.addRoundedRect(QRectF(7.5, 13, 18, 15), 5, 5);
    const std::array<QRectF, 4> fingers{QRectF(7.5, 6, 4.5, 14), QRectF(12, 3, 4.5, 16),
                                        QRectF(16.5, 4, 4.5, 15), QRectF(21, 7, 4.5, 13)};
    for (const QRectF& f : fingers) {
        QPainterPath finger;
        finger.addRoundedRect(f, 2.2, 2.2);
        hand = hand.united(finger);
    }
    QPainterPath thumb;
    thumb.moveTo(8.5, 23);
    thumb.lineTo(2.5, 16);
    thumb.quadTo(1.5, 12.5, 4.5, 13);
    thumb.lineTo(9.5, 17);
    thumb.closeSubpath();
    hand = hand.united(thumb).simplified();
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    // The gaps between the fingers, down to where they meet the palm.
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(QPointF(12, 7), QPointF(12, 16));
    p.drawLine(QPointF(16.5, 5), QPointF(16.5, 16));
    p.drawLine(QPointF(21, 8), QPointF(21, 16));
}

QImage Draw(TMouseCursor c) {
    QImage img(kCursorSize, kCursorSize, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    switch (c) {
    case mcHand:
        DrawHand(p);
        break;
    case mcZoomWind:
        // A dashed selection frame inside the lens.
        DrawMagnifier(p);
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(8, 9, 9, 7));
        break;
    case mcZoomDrag:
        // Plus and minus: dragging zooms in one way and out the other.
        DrawMagnifier(p);
        p.setPen(QPen(Qt::black, 2));
        p.drawLine(QPointF(7, 10), QPointF(12, 10));
        p.drawLine(QPointF(9.5, 7.5), QPointF(9.5, 12.5));
        p.drawLine(QPointF(13, 15), QPointF(18, 15));
        break;
    case mcZoomWindPos:
        // The selection frame with a plus at its corner: the axes keep their direction.
        DrawMagnifier(p);
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(6.5, 11.5, 8, 6));
        p.setPen(QPen(Qt::black, 2));
        p.drawLine(QPointF(13.5, 8), QPointF(18.5, 8));
        p.drawLine(QPointF(16, 5.5), QPointF(16, 10.5));
        break;
    default:
        return {};
    }
    p.end();
    return img;
}

} // namespace

QImage ChartCursorImage(TMouseCursor c) {
    // Drawn once per run; images, unlike pixmaps, may outlive the GUI application.
    static const std::array<QImage, 6> pictures{Draw(mcDefault),  Draw(mcCross),    Draw(mcHand),
                                                Draw(mcZoomWind), Draw(mcZoomDrag), Draw(mcZoomWindPos)};
    const auto i = static_cast<std::size_t>(c);
    return i < pictures.size() ? pictures[i] : QImage();
}

QPoint ChartCursorHotSpot(TMouseCursor c) {
    if (c == mcHand) return QPoint(15, 15);
    return QPoint(static_cast<int>(kLens.x()), static_cast<int>(kLens.y()));
}

QCursor ChartCursor(TMouseCursor c) {
    if (c == mcDefault) return QCursor(Qt::ArrowCursor);
    if (c == mcCross) return QCursor(Qt::CrossCursor);
    const QPoint hot = ChartCursorHotSpot(c);
    return QCursor(QPixmap::fromImage(ChartCursorImage(c)), hot.x(), hot.y());
}
