#include "serial/lamp_pictures.h"

#include <QColor>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSize = 15;

QRgb Mix(QColor a, QColor b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return qRgb(int(a.red() + (b.red() - a.red()) * t), int(a.green() + (b.green() - a.green()) * t),
                int(a.blue() + (b.blue() - a.blue()) * t));
}

QColor Scaled(QColor c, double f) {
    return QColor(std::clamp(int(c.red() * f), 0, 255), std::clamp(int(c.green() * f), 0, 255),
                  std::clamp(int(c.blue() * f), 0, 255));
}

// A round lamp: dark rim, body shaded from a highlight at the upper left; dark lamps are dim and grey.
QImage RoundLamp(QColor base, bool lit) {
    QImage img(kSize, kSize, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    const QColor body = lit ? base : Scaled(Mix(base, QColor(90, 90, 90), 0.55), 0.55);
    const QColor rim = Scaled(Mix(base, QColor(40, 40, 40), 0.6), 0.5);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const double d = std::hypot(x - 7.0, y - 7.0);
            if (d > 6.75) continue; // keeps single pixels off the rim's four ends
            if (d > 5.8) {
                img.setPixel(x, y, rim.rgb());
                continue;
            }
            const double shade = 0.7 + 0.3 * (1.0 - d / 6.0);
            const double highlight = std::max(0.0, 1.0 - std::hypot(x - 5.0, y - 5.0) / 3.2);
            const QColor shaded = Scaled(body, shade);
            img.setPixel(x, y, Mix(shaded, QColor(Qt::white), highlight * (lit ? 0.85 : 0.35)));
        }
    return img;
}

// A light bulb: round glass above a threaded socket.
QImage Bulb(bool lit) {
    QImage img(kSize, kSize, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    const QColor glass = lit ? QColor(255, 236, 120) : QColor(176, 176, 168);
    const QColor outline = lit ? QColor(200, 150, 20) : QColor(96, 96, 96);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < kSize; ++x) {
            const double d = std::hypot(x - 7.0, y - 5.5);
            if (d > 5.5) continue;
            if (d > 4.6) {
                img.setPixel(x, y, outline.rgb());
                continue;
            }
            const double highlight = std::max(0.0, 1.0 - std::hypot(x - 5.5, y - 4.0) / 2.8);
            img.setPixel(x, y, Mix(glass, QColor(Qt::white), highlight * (lit ? 0.9 : 0.4)));
        }
    if (lit) // the filament glows
        for (int x = 6; x <= 8; ++x)
            img.setPixel(x, 6, qRgb(255, 140, 0));
    else
        for (int x = 6; x <= 8; ++x)
            img.setPixel(x, 6, qRgb(80, 80, 80));
    for (int y = 11; y <= 13; ++y)
        for (int x = 5; x <= 9; ++x)
            img.setPixel(x, y, (y % 2) ? qRgb(150, 150, 150) : qRgb(100, 100, 100));
    img.setPixel(7, 14, qRgb(60, 60, 60));
    return img;
}

} // namespace

QImage LampPicture(const std::string& name) {
    struct Entry {
        const char* on;
        const char* off;
        QColor color;
    };
    static const Entry lamps[] = {{"LEDREDON", "LEDREDOFF", QColor(235, 30, 30)},
                                  {"LEDGREENON", "LEDGREENOFF", QColor(40, 215, 40)},
                                  {"LEDBLUEON", "LEDBLUEOFF", QColor(50, 110, 255)},
                                  {"LEDYELLOWON", "LEDYELLOWOFF", QColor(255, 225, 30)},
                                  {"LEDPURPLEON", "LEDPURPLEOFF", QColor(185, 60, 220)}};
    for (const Entry& e : lamps) {
        if (name == e.on) return RoundLamp(e.color, true);
        if (name == e.off) return RoundLamp(e.color, false);
    }
    if (name == "LEDBULBON") return Bulb(true);
    if (name == "LEDBULBOFF") return Bulb(false);
    return {};
}
