// Writes the program's icon for the icon theme: hicolor/<n>x<n>/apps/mevrant.png for each size given and
// hicolor/scalable/apps/mevrant.svg, all drawn from the same shapes as the window's icon.
// usage: make_icons OUTDIR SIZE...

#include "app/glyphs.h"

#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: make_icons OUTDIR SIZE...\n", stderr);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/hicolor/");
    for (int i = 2; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        const QString dir = root + QStringLiteral("%1x%1/apps").arg(size);
        if (size <= 0 || !QDir().mkpath(dir) || !glyphs::AppIconImage(size).save(dir + "/mevrant.png")) {
            std::fprintf(stderr, "make_icons: cannot write the %s px icon\n", argv[i]);
            return 1;
        }
    }
    QFile svg(root + QStringLiteral("scalable/apps/mevrant.svg"));
    const QByteArray text = glyphs::AppIconSvg();
    if (!QDir().mkpath(root + QStringLiteral("scalable/apps")) || !svg.open(QIODevice::WriteOnly) ||
        svg.write(text) != text.size() || !svg.flush()) {
        std::fputs("make_icons: cannot write the scalable icon\n", stderr);
        return 1;
    }
    return 0;
}
