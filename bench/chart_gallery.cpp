// Draws charts with every item kind, every grid style and the main window's scale settings into one PNG.
//   build/bench/chart_gallery [out.png]

#include "bench/chart_setup.h"

#include <QApplication>
#include <QPainter>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

TChartItem Make(TChartItemKind kind, double x, double y, double x2 = 0, double y2 = 0,
                TColor color = clBlack) {
    TChartItem it = MakeItem(kind, x, y, x2, y2, color);
    it.FillColor = clSilver;
    return it;
}

void SetText(TChartItem& it, const char* s) {
    const std::size_t n = std::min<std::size_t>(std::strlen(s), 17);
    it.Text[0] = static_cast<std::uint8_t>(n);
    std::memcpy(&it.Text[1], s, n);
}

void ItemKinds(TKartex& k) {
    k.SetCaption("item kinds");
    k.SetScaleRange(1, 0, 0, 100, 100);
    for (int m = 0; m < 16; ++m) {
        TChartItem mark = Make(ikMark, 6 + m * 6, 92, 0, 0, m % 2 ? clRed : clBlue);
        mark.MarkType = static_cast<std::uint8_t>(m * 3);
        k.AddItem(mark);
    }
    TChartItem ch = Make(ikMark, 6, 84, 0, 0, clBlack);
    ch.MarkType = 'A';
    k.AddItem(ch);
    k.AddItem(Make(ikLine, 12, 84, 40, 78, clGreen));
    TChartItem rect = Make(ikRectangle, 45, 86, 60, 76, clNavy);
    rect.FillColor = clAqua;
    k.AddItem(rect);
    for (int f = 2; f <= 5; ++f) {
        TChartItem box = Make(ikBox, 5 + (f - 2) * 12, 70, 14 + (f - 2) * 12, 58);
        box.FillColor = clSilver;
        box.FrameColor1 = clWhite;
        box.FrameColor2 = clGray;
        box.FrameStyle = static_cast<std::uint8_t>(f);
        k.AddItem(box);
    }
    TChartItem bar = Make(ik3DBar, 55, 40, 65, 68, clBlack);
    bar.FillColor = clYellow;
    bar.Size = 45;
    bar.Depth = 8;
    k.AddItem(bar);
    TChartItem bar2 = Make(ik3DBar, 72, 40, 80, 60, clBlack);
    bar2.FillColor = clLime;
    bar2.Size = 30;
    bar2.Depth = 10;
    k.AddItem(bar2);
    TChartItem text = Make(ikText, 25, 48, 0, 0, clMaroon);
    SetText(text, "Text 12pt \xE4\xF6\xFC\x80");
    text.Size = 12;
    k.AddItem(text);
    TChartItem ell = Make(ikEllipse, 15, 30, 8, 8, clPurple);
    ell.FillColor = clFuchsia;
    k.AddItem(ell);
    // Hollow shapes last: boxes and bars draw with the brush style the item before them left.
    TChartItem hollow = Make(ikRectangle, 63, 86, 78, 76, clNavy);
    hollow.Hollow = 1;
    k.AddItem(hollow);
    TChartItem ell2 = Make(ikEllipse, 35, 30, 8, 5, clPurple);
    ell2.Hollow = 1;
    k.AddItem(ell2);
    k.AddItem(Make(ikMoveTo, 50, 30));
    k.AddItem(Make(ikMoveRel, 0, -10));
    k.AddItem(Make(ikLineRel, 30, 0, 0, 0, clRed));
    k.AddItem(Make(ikLineRel, 0, 20, 0, 0, clRed));
    TChartItem arrow = Make(ikArrow, 55, 12, 90, 25, clBlue);
    arrow.Size = 12;
    arrow.FillColor = clBlue;
    k.AddItem(arrow);
    TChartItem arrowHollow = Make(ikArrow, 90, 5, 55, 8, clTeal);
    arrowHollow.Size = 10;
    arrowHollow.Hollow = 1;
    k.AddItem(arrowHollow);
    k.AddItem(Make(ikMoveTo, 2, 2));
    for (int i = 1; i <= 50; ++i) {
        TChartItem lt =
            Make(ikLineTo, 2 + i, 2 + 8 * std::abs(std::sin(i / 4.0)), 0, 0, i < 25 ? clGreen : clRed);
        if (i > 40) lt.LineWidth = 3;
        k.AddItem(lt);
    }
}

void Grid(TKartex& k, GridStyleType style, const char* name) {
    k.SetCaption(name);
    k.SetScaleRange(1, 0, -1.2, 10, 1.2);
    k.SetGridColor(clGray);
    k.SetGridStyle(style);
    k.SetDataColor(clBlue);
    for (int i = 0; i <= 200; ++i) {
        const double x = i / 20.0;
        if (i == 0)
            k.MoveToPoint(x, std::sin(x));
        else
            k.LineToPoint(x, std::sin(x));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("chart_gallery.png");

    std::vector<std::function<void(TKartex&)>> pages = {
        [](TKartex& k) {
            k.SetCaption("main window: 500 samples");
            FillAcquisition(k, 500);
            k.SetScaleRange(1, 0, 1, 500, 200);
        },
        [](TKartex& k) {
            k.SetCaption("Y log, DoubleTics");
            FillAcquisition(k, 300, 7);
            ApplyLogY(k, 300, 200, 0.1f);
        },
        ItemKinds,
    };
    const char* names[] = {"gsNone",  "gsPoints",        "gsVertLines",    "gsHorizLines",
                           "gsLines", "gsHorizDotLines", "gsVertDotLines", "gsDotLines"};
    for (int g = 0; g < 8; ++g)
        pages.push_back([g, &names](TKartex& k) { Grid(k, static_cast<GridStyleType>(g), names[g]); });
    pages.push_back([](TKartex& k) {
        k.SetShadowWidth(8);
        k.SetCaption("shadow, zoomed in");
        FillAcquisition(k, 2000, 3);
        k.SetScaleRange(1, 900, 1, 1100, 200);
    });

    const int cols = 3, w = 449, h = 361;
    const int rows = (static_cast<int>(pages.size()) + cols - 1) / cols;
    QImage sheet(cols * w, rows * h, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        TKartex k;
        k.show();
        ConfigureLikeMainWindow(k);
        pages[i](k);
        k.Paint();
        p.drawImage(static_cast<int>(i % cols) * w, static_cast<int>(i / cols) * h, k.ChartBitmap());
    }
    p.end();
    if (!sheet.save(out)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s\n", qPrintable(out));
    return 0;
}
