#include "app/glyphs.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>
#include <vector>

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

namespace {

// The program's icon as a list of strokes on the 16 × 16 grid: the window's icon, the installed PNGs
// and the installed SVG are all made from this one list.
struct IconShape {
    enum Kind { RoundedRect, Polyline } kind;
    std::vector<QPointF> points; // RoundedRect: top left and bottom right
    QColor pen;
    double width;
    bool filled = false; // white inside
};

std::vector<IconShape> AppIconShapes() {
    std::vector<IconShape> shapes;
    shapes.push_back({IconShape::RoundedRect, {{0.5, 0.5}, {15.5, 15.5}}, QColor(60, 60, 60), 0.8, true});
    for (double g = 4; g < 15; g += 4) {
        shapes.push_back({IconShape::Polyline, {{g, 1.5}, {g, 14.5}}, QColor(190, 190, 190), 0.5});
        shapes.push_back({IconShape::Polyline, {{1.5, g}, {14.5, g}}, QColor(190, 190, 190), 0.5});
    }
    shapes.push_back({IconShape::Polyline,
                      {{2, 12}, {5, 9}, {7, 10.5}, {10, 5}, {12, 6.5}, {14, 3}},
                      QColor(0, 0, 255),
                      1.4});
    return shapes;
}

constexpr double kIconCorner = 2;

QString Number(double v) {
    return QString::number(v, 'g', 6);
}

} // namespace

QImage AppIconImage(int size) {
    return Draw(size, [](QPainter& p) {
        for (const IconShape& s : AppIconShapes()) {
            p.setPen(QPen(s.pen, s.width, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
            p.setBrush(s.filled ? QBrush(Qt::white) : QBrush(Qt::NoBrush));
            if (s.kind == IconShape::RoundedRect) {
                p.drawRoundedRect(QRectF(s.points[0], s.points[1]), kIconCorner, kIconCorner);
            } else {
                QPainterPath path(s.points[0]);
                for (std::size_t i = 1; i < s.points.size(); ++i)
                    path.lineTo(s.points[i]);
                p.drawPath(path);
            }
        }
    });
}

QByteArray AppIconSvg() {
    QString svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" "
                                 "viewBox=\"0 0 16 16\">\n");
    for (const IconShape& s : AppIconShapes()) {
        const QString paint = QStringLiteral("fill=\"%1\" stroke=\"%2\" stroke-width=\"%3\"")
                                  .arg(s.filled ? QStringLiteral("#ffffff") : QStringLiteral("none"),
                                       s.pen.name(), Number(s.width));
        if (s.kind == IconShape::RoundedRect) {
            const QRectF r(s.points[0], s.points[1]);
            svg += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" %6/>\n")
                       .arg(Number(r.x()), Number(r.y()), Number(r.width()), Number(r.height()),
                            Number(kIconCorner), paint);
        } else {
            QStringList points;
            for (const QPointF& pt : s.points)
                points << Number(pt.x()) + ',' + Number(pt.y());
            svg += QStringLiteral("  <polyline points=\"%1\" %2 stroke-linecap=\"square\" "
                                  "stroke-linejoin=\"round\"/>\n")
                       .arg(points.join(' '), paint);
        }
    }
    svg += QStringLiteral("</svg>\n");
    return svg.toUtf8();
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(AppIconImage(size)));
    return icon;
}

} // namespace glyphs
