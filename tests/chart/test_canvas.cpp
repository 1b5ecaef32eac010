#include "chart/gfx/canvas.h"
#include "tests/chart/gui_app.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using PixelSet = std::set<std::pair<int, int>>;

// Pixels that differ from the background colour.
PixelSet Painted(const Canvas& c, TColor background = clWhite) {
    PixelSet s;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            if (c.Pixel(x, y) != background) s.insert({x, y});
    return s;
}

PixelSet Box(int x1, int y1, int x2, int y2) {
    PixelSet s;
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x)
            s.insert({x, y});
    return s;
}

// A picture in which neighbouring pixels differ, so that any lost or doubled write shows.
void FillNoise(Canvas& c) {
    unsigned v = 12345;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x) {
            v = v * 1103515245u + 12345u;
            c.SetPixel(x, y, (v >> 8) & 0xFFFFFF);
        }
}

std::vector<TColor> Snapshot(const Canvas& c) {
    std::vector<TColor> v;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            v.push_back(c.Pixel(x, y));
    return v;
}

TEST(Canvas, ColoursAreStoredAsBlueGreenRed) {
    Canvas c(4, 4);
    c.SetPixel(1, 2, 0x123456);
    EXPECT_EQ(c.Pixel(1, 2), 0x123456u);
    EXPECT_EQ(qRed(c.Image().pixel(1, 2)), 0x56);
    EXPECT_EQ(qBlue(c.Image().pixel(1, 2)), 0x12);
    EXPECT_EQ(c.Pixel(-1, 0), 0u);
    c.SetPixel(9, 9, 0); // outside: ignored
    EXPECT_EQ(Painted(c).size(), 1u);
    c.SetPixel(0, 0, clBtnFace); // system colours resolve to fixed values
    EXPECT_EQ(c.Pixel(0, 0), 0xF0F0F0u);
}

TEST(Canvas, LineSetsEveryPixelButTheEndPoint) {
    struct Case {
        int x0, y0, x1, y1;
        PixelSet want;
    };
    const std::vector<Case> cases = {
        {2, 5, 6, 5, {{2, 5}, {3, 5}, {4, 5}, {5, 5}}},
        {6, 5, 2, 5, {{6, 5}, {5, 5}, {4, 5}, {3, 5}}},
        {3, 1, 3, 4, {{3, 1}, {3, 2}, {3, 3}}},
        {1, 1, 4, 4, {{1, 1}, {2, 2}, {3, 3}}},
        {4, 1, 1, 4, {{4, 1}, {3, 2}, {2, 3}}},
        {0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}}},
        {5, 5, 5, 5, {}},
    };
    for (const Case& k : cases) {
        Canvas c(10, 10);
        c.MoveTo(k.x0, k.y0);
        c.LineTo(k.x1, k.y1);
        EXPECT_EQ(Painted(c), k.want) << k.x0 << "," << k.y0 << " -> " << k.x1 << "," << k.y1;
        EXPECT_EQ(c.PenPos(), (TPoint{k.x1, k.y1}));
    }
}

TEST(Canvas, FarAwayEndPointsAreClippedNotLost) {
    Canvas c(20, 10);
    c.MoveTo(-2000000000, 4);
    c.LineTo(2000000000, 4);
    EXPECT_EQ(Painted(c), Box(0, 4, 20, 5));
    // A steep line from far above keeps its direction through the image.
    Canvas d(10, 10);
    d.MoveTo(3, -1000000);
    d.LineTo(3, 1000000);
    EXPECT_EQ(Painted(d), Box(3, 0, 4, 10));
}

TEST(Canvas, PolylineDrawsEachSegmentAndLeavesTheLastPoint) {
    Canvas c(10, 10);
    c.Polyline({{1, 1}, {4, 1}, {4, 4}});
    EXPECT_EQ(Painted(c), (PixelSet{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {4, 2}, {4, 3}}));
}

TEST(Canvas, RectangleCoversTheBoxWithoutItsLastRowAndColumn) {
    Canvas c(12, 12);
    c.SetPenColor(clRed);
    c.SetBrushColor(clBlue);
    c.Rectangle(7, 8, 2, 3); // corners in any order
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inside = x >= 2 && x <= 6 && y >= 3 && y <= 7;
            const bool border = inside && (x == 2 || x == 6 || y == 3 || y == 7);
            EXPECT_EQ(c.Pixel(x, y), border ? clRed : inside ? clBlue : clWhite) << x << "," << y;
        }
    Canvas d(12, 12);
    d.SetBrushStyle(bsClear);
    d.Rectangle(2, 3, 7, 8);
    EXPECT_EQ(Painted(d).size(), 16u);
    EXPECT_EQ(d.Pixel(4, 5), clWhite);
}

TEST(Canvas, FillRectUsesTheBrushOnly) {
    Canvas c(8, 8);
    c.SetBrushColor(clGreen);
    c.FillRect(1, 2, 4, 6);
    EXPECT_EQ(Painted(c), Box(1, 2, 4, 6));
    c.SetBrushStyle(bsClear);
    c.FillRect(0, 0, 8, 8);
    EXPECT_EQ(Painted(c), Box(1, 2, 4, 6));
}

TEST(Canvas, ExclusiveOrRectangleTwiceRestoresThePicture) {
    for (TBrushStyle brush : {bsClear, bsSolid}) {
        for (int width : {1, 3}) {
            Canvas c(30, 30);
            FillNoise(c);
            const auto before = Snapshot(c);
            c.SetPenMode(pmXor);
            c.SetPenColor(0xFFFFFF);
            c.SetPenWidth(width);
            c.SetBrushStyle(brush);
            c.SetBrushColor(0x00FF00);
            c.Rectangle(4, 5, 20, 25);
            EXPECT_NE(Snapshot(c), before);
            EXPECT_EQ(c.Pixel(4, 5), before[5 * 30 + 4] ^ 0xFFFFFFu);
            c.Rectangle(4, 5, 20, 25);
            EXPECT_EQ(Snapshot(c), before) << "brush " << int(brush) << " width " << width;
        }
    }
    // A one-pixel-wide box too: every pixel is flipped exactly once.
    Canvas d(10, 10);
    d.SetPenMode(pmXor);
    d.SetPenColor(0x0000FF);
    d.SetBrushStyle(bsClear);
    d.Rectangle(3, 1, 4, 8);
    EXPECT_EQ(Painted(d), Box(3, 1, 4, 8));
}

TEST(Canvas, WidePenIsCentredOnTheLine) {
    Canvas c(30, 20);
    c.SetPenWidth(3);
    c.MoveTo(5, 10);
    c.LineTo(25, 10);
    for (int y = 0; y < 20; ++y)
        EXPECT_EQ(c.Pixel(15, y) == clBlack, y >= 9 && y <= 11) << y;
    c.SetPenWidth(5);
    c.MoveTo(8, 2);
    c.LineTo(8, 18);
    for (int x = 0; x < 30; ++x)
        EXPECT_EQ(c.Pixel(x, 5) == clBlack, x >= 6 && x <= 10) << x;
}

TEST(Canvas, DottedAndDashedThinPens) {
    Canvas c(40, 4);
    c.SetPenStyle(psDot);
    c.MoveTo(0, 1);
    c.LineTo(40, 1);
    for (int x = 0; x < 40; ++x)
        EXPECT_EQ(c.Pixel(x, 1) == clBlack, x % 6 < 3) << x;
    c.SetPenStyle(psDash);
    c.MoveTo(0, 2);
    c.LineTo(40, 2);
    for (int x = 0; x < 40; ++x)
        EXPECT_EQ(c.Pixel(x, 2) == clBlack, x % 24 < 18) << x;
    c.SetPenStyle(psClear);
    c.MoveTo(0, 3);
    c.LineTo(40, 3);
    for (int x = 0; x < 40; ++x)
        EXPECT_EQ(c.Pixel(x, 3), clWhite);
}

TEST(Canvas, EllipseOutlineAndFill) {
    Canvas c(9, 9);
    c.SetBrushStyle(bsClear);
    c.Ellipse(1, 1, 8, 8);
    const char* want[] = {"..XXX..", ".X...X.", "X.....X", "X.....X", "X.....X", ".X...X.", "..XXX.."};
    PixelSet expected;
    for (int r = 0; r < 7; ++r)
        for (int k = 0; k < 7; ++k)
            if (want[r][k] == 'X') expected.insert({k + 1, r + 1});
    EXPECT_EQ(Painted(c), expected);

    Canvas d(9, 9);
    d.SetPenColor(clRed);
    d.SetBrushColor(clBlue);
    d.Ellipse(1, 1, 8, 8);
    EXPECT_EQ(d.Pixel(4, 4), clBlue);
    EXPECT_EQ(d.Pixel(2, 2), clRed);
    EXPECT_EQ(d.Pixel(1, 1), clWhite);
    EXPECT_EQ(Painted(d).size(), 37u);
}

TEST(Canvas, HugeShapesAreClippedNotAllocated) {
    Canvas c(10, 10);
    c.SetPenColor(clRed);
    c.SetBrushColor(clBlue);
    c.Ellipse(-2000000000, -2000000000, 2000000000, 2000000000); // the image lies inside it
    EXPECT_EQ(c.Pixel(0, 0), clBlue);
    EXPECT_EQ(c.Pixel(9, 9), clBlue);
    c.Ellipse(-2147483647, 5, 2147483647, 6); // one row, 4e9 pixels long
    EXPECT_EQ(c.Pixel(4, 5), clRed);
    c.Polygon({{-2000000000, -2000000000}, {2000000000, -2000000000}, {0, 2000000000}});
    EXPECT_EQ(c.Pixel(5, 5), clBlue);
    c.Rectangle(-2147483647, -2147483647, 2147483647, 2147483647);
    EXPECT_EQ(c.Pixel(0, 0), clBlue);
}

TEST(Canvas, PolygonIsFilledAndOutlined) {
    Canvas c(12, 12);
    c.SetPenColor(clRed);
    c.SetBrushColor(clBlue);
    c.Polygon({{2, 6}, {6, 10}, {10, 6}, {6, 2}});
    EXPECT_EQ(c.Pixel(6, 6), clBlue);
    EXPECT_EQ(c.Pixel(6, 2), clRed);
    EXPECT_EQ(c.Pixel(6, 10), clRed);
    EXPECT_EQ(c.Pixel(4, 4), clRed);
    EXPECT_EQ(c.Pixel(3, 3), clWhite);
    EXPECT_EQ(Painted(c).size(), 41u); // the diamond of radius 4
}

TEST(Canvas, TextIsDrawnFromItsTopLeftCorner) {
    TestGuiApp();
    Canvas c(120, 40);
    TFont f;
    f.Color = clRed;
    c.SetFont(f);
    c.SetBrushColor(clYellow);
    const int w = c.TextWidth(std::string("Wert 42")), h = c.TextHeight(std::string("Wert 42"));
    EXPECT_GT(w, 20);
    EXPECT_GE(h, 11);
    c.TextOut(10, 5, std::string("Wert 42"));
    bool red = false;
    for (const auto& [x, y] : Painted(c)) {
        EXPECT_TRUE(x >= 10 && x < 10 + w && y >= 5 && y < 5 + h) << x << "," << y;
        EXPECT_TRUE(c.Pixel(x, y) == clYellow || c.Pixel(x, y) == clRed); // aliased: two colours only
        red = red || c.Pixel(x, y) == clRed;
    }
    EXPECT_TRUE(red);
    EXPECT_EQ(c.Pixel(10, 5 + h - 1), clYellow); // solid brush fills the text box
    EXPECT_EQ(c.PenPos(), (TPoint{10 + w, 5}));

    Canvas d(120, 40);
    d.SetFont(f);
    d.SetBrushStyle(bsClear);
    d.TextOut(10, 5, std::string("Wert 42"));
    for (const auto& p : Painted(d))
        EXPECT_EQ(d.Pixel(p.first, p.second), clRed);
}

TEST(Canvas, ImagesAreCopiedAndStretched) {
    Canvas src(2, 2);
    src.SetPixel(0, 0, clRed);
    src.SetPixel(1, 1, clBlue);
    Canvas c(10, 10);
    c.Draw(3, 4, src);
    EXPECT_EQ(c.Pixel(3, 4), clRed);
    EXPECT_EQ(c.Pixel(4, 5), clBlue);
    EXPECT_EQ(c.Pixel(4, 4), clWhite);
    c.StretchDraw(QRect(0, 0, 4, 4), src.Image());
    EXPECT_EQ(c.Pixel(1, 1), clRed);
    EXPECT_EQ(c.Pixel(3, 3), clBlue);
    EXPECT_EQ(c.Pixel(3, 0), clWhite);
}

TEST(Canvas, DrawsOnTheCallersImage) {
    QImage img(5, 5, QImage::Format_ARGB32);
    img.fill(Qt::white);
    {
        Canvas c(&img);
        c.MoveTo(0, 2);
        c.LineTo(5, 2);
        c.End();
    }
    EXPECT_EQ(img.format(), QImage::Format_RGB32);
    EXPECT_EQ(img.pixel(4, 2) & 0xFFFFFF, 0u);
    EXPECT_EQ(img.pixel(4, 3) & 0xFFFFFF, 0xFFFFFFu);
}

} // namespace
