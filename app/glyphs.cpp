#include "app/glyphs.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace glyphs {
namespace {

using DrawFn = std::function<void(QPainter&)>;

QImage Draw(int size, const DrawFn& draw) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    return image;
}

// The disabled look: grey, lighter, with a white emboss shadow, as flat buttons show it.
QImage Disabled(const QImage& normal) {
    QImage grey(normal.size(), QImage::Format_ARGB32_Premultiplied);
    grey.fill(Qt::transparent);
    QImage shade = normal.convertToFormat(QImage::Format_ARGB32);
    QImage white = shade;
    for (int y = 0; y < shade.height(); ++y) {
        auto* s = reinterpret_cast<QRgb*>(shade.scanLine(y));
        auto* w = reinterpret_cast<QRgb*>(white.scanLine(y));
        for (int x = 0; x < shade.width(); ++x) {
            const int a = qAlpha(s[x]);
            const int g = 128 + qGray(s[x]) / 4;
            s[x] = qRgba(g, g, g, a);
            w[x] = qRgba(255, 255, 255, a);
        }
    }
    QPainter p(&grey);
    p.drawImage(1, 1, white);
    p.drawImage(0, 0, shade);
    return grey;
}

QIcon Make(const DrawFn& draw) {
    QIcon icon;
    for (int size : {16, 32}) {
        const QImage normal = Draw(size, draw);
        icon.addPixmap(QPixmap::fromImage(normal), QIcon::Normal);
        icon.addPixmap(QPixmap::fromImage(Disabled(normal)), QIcon::Disabled);
    }
    return icon;
}

} // namespace

QIcon Start() {
    return Make([](QPainter& p) {
        QPainterPath play;
        play.moveTo(4, 2);
        play.lineTo(14, 8);
        play.lineTo(4, 14);
        play.closeSubpath();
        p.setPen(QPen(QColor(0, 90, 0), 1));
        p.setBrush(QColor(40, 170, 40));
        p.drawPath(play);
    });
}

QIcon Stop() {
    return Make([](QPainter& p) {
        p.setPen(QPen(QColor(120, 0, 0), 1));
        p.setBrush(QColor(210, 40, 30));
        p.drawRoundedRect(QRectF(3, 3, 10, 10), 1.5, 1.5);
    });
}

QIcon ClearGraph() {
    return Make([](QPainter& p) {
        // A sheet with a curve, crossed out.
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
        p.setPen(QPen(QColor(30, 60, 200), 1.2));
        p.setBrush(Qt::NoBrush);
        QPainterPath curve;
        curve.moveTo(3.5, 11);
        curve.cubicTo(6, 3, 9, 13, 12.5, 5);
        p.drawPath(curve);
        p.setPen(QPen(QColor(200, 30, 30), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
    });
}

QIcon ResetAxis() {
    return Make([](QPainter& p) {
        // Two axes with arrow heads and a circular arrow: back to the set range.
        p.setPen(QPen(Qt::black, 1.2));
        p.drawLine(QPointF(3, 2), QPointF(3, 13));
        p.drawLine(QPointF(3, 13), QPointF(14, 13));
        p.drawLine(QPointF(3, 2), QPointF(1.5, 4));
        p.drawLine(QPointF(3, 2), QPointF(4.5, 4));
        p.drawLine(QPointF(14, 13), QPointF(12, 11.5));
        p.drawLine(QPointF(14, 13), QPointF(12, 14.5));
        p.setPen(QPen(QColor(30, 60, 200), 1.3));
        p.drawArc(QRectF(6, 3, 7, 7), 30 * 16, 270 * 16);
        p.setBrush(QColor(30, 60, 200));
        QPainterPath head;
        head.moveTo(13.5, 3.5);
        head.lineTo(13.5, 7);
        head.lineTo(10.5, 5);
        head.closeSubpath();
        p.drawPath(head);
    });
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        icon.addPixmap(QPixmap::fromImage(Draw(size, [](QPainter& p) {
            p.setPen(QPen(QColor(60, 60, 60), 0.8));
            p.setBrush(Qt::white);
            p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2, 2);
            p.setPen(QPen(QColor(190, 190, 190), 0.5));
            for (double g = 4; g < 15; g += 4) {
                p.drawLine(QPointF(g, 1.5), QPointF(g, 14.5));
                p.drawLine(QPointF(1.5, g), QPointF(14.5, g));
            }
            p.setPen(QPen(QColor(0, 0, 255), 1.4));
            QPainterPath line;
            line.moveTo(2, 12);
            line.lineTo(5, 9);
            line.lineTo(7, 10.5);
            line.lineTo(10, 5);
            line.lineTo(12, 6.5);
            line.lineTo(14, 3);
            p.setBrush(Qt::NoBrush);
            p.drawPath(line);
        })));
    }
    return icon;
}

} // namespace glyphs
