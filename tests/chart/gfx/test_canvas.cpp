#include "chart/gfx/canvas.h"
#include "tests/chart/gui_app.h"
#include "tests/chart/pixel_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

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

// The dashed 1-pixel pens, in pixels along the path: dash 18 on 6 off, dot 3/3, dash-dot 9/6/3/6,
// dash-dot-dot 9/3/3/3/3/3.
bool DashOn(TPenStyle s, long long step) {
    std::vector<int> runs;
    switch (s) {
    case psDash:
        runs = {18, 6};
        break;
    case psDot:
        runs = {3, 3};
        break;
    case psDashDot:
        runs = {9, 6, 3, 6};
        break;
    default:
        runs = {9, 3, 3, 3, 3, 3};
        break;
    }
    int period = 0;
    for (int r : runs)
        period += r;
    long long pos = step % period;
    for (std::size_t k = 0; k < runs.size(); ++k) {
        if (pos < runs[k]) return k % 2 == 0;
        pos -= runs[k];
    }
    return false;
}

// The outline pixels of the ellipse in the box (0, 0)-(w, h) in the order a dashed pen walks them: from
// the left end of the top row down the right side, then up the left side; in each row the pixels outside
// the narrower neighbour row (the row above in the upper half, below in the lower half). Worked out row
// by row from a filled drawing, and checked to cover the solid outline exactly once.
std::vector<std::pair<int, int>> OutlineWalk(int w, int h) {
    Canvas fill(w, h), line(w, h);
    fill.SetBrushColor(clBlack);
    fill.Ellipse(0, 0, w, h);
    line.SetBrushStyle(bsClear);
    line.Ellipse(0, 0, w, h);
    std::vector<std::pair<int, int>> ext(static_cast<std::size_t>(h), {1, 0});
    int first = h, last = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (fill.Pixel(x, y) == clBlack) {
                auto& e = ext[static_cast<std::size_t>(y)];
                if (e.first > e.second) e.first = x;
                e.second = x;
                first = std::min(first, y);
                last = y;
            }
    std::vector<std::pair<int, int>> walk;
    const auto run = [&](int y, int from, int to, bool forward) {
        for (int k = 0; k <= to - from; ++k)
            walk.push_back({forward ? from + k : to - k, y});
    };
    for (int y = first; y <= last; ++y) {
        const auto [a, b] = ext[static_cast<std::size_t>(y)];
        const bool upper = 2 * y + 1 <= h;
        if (y == first || y == last || a == b) {
            run(y, a, b, upper);
            continue;
        }
        const auto next = ext[static_cast<std::size_t>(upper ? y - 1 : y + 1)];
        run(y, std::min(b, next.second + 1), b, upper);
    }
    for (int y = last - 1; y > first; --y) {
        const auto [a, b] = ext[static_cast<std::size_t>(y)];
        if (a == b) continue;
        const bool upper = 2 * y + 1 <= h;
        const auto next = ext[static_cast<std::size_t>(upper ? y - 1 : y + 1)];
        run(y, a, std::max(a, next.first - 1), upper);
    }
    const PixelSet walked(walk.begin(), walk.end());
    EXPECT_EQ(walked.size(), walk.size()) << w << "x" << h;
    EXPECT_EQ(walked, Painted(line)) << w << "x" << h;
    return walk;
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

// Spans of every length around the eight pixels the fill writes at once, from every start, plain and
// exclusive-or, as rows of a box and as horizontal lines: each pixel of the span changes, none beside it.
TEST(Canvas, SpansOfAnyLengthTouchExactlyTheirPixels) {
    for (int from = 0; from < 9; ++from)
        for (int length = 1; length <= 19; ++length)
            for (const bool line : {false, true})
                for (const bool exclusive : {false, true}) {
                    Canvas c(32, 3);
                    FillNoise(c);
                    const auto before = Snapshot(c);
                    c.SetPenMode(exclusive ? pmXor : pmCopy);
                    c.SetPenColor(0x0000FF);
                    c.SetBrushColor(0x0000FF);
                    if (line) {
                        c.MoveTo(from + length, 1); // right to left, the end point excluded
                        c.LineTo(from, 1);
                    } else {
                        c.FillRect(from, 1, from + length, 2);
                    }
                    for (int x = 0; x < 32; ++x) {
                        const TColor was = before[32 + x];
                        const bool inside =
                            line ? x > from && x <= from + length : x >= from && x < from + length;
                        const TColor want = !inside ? was : exclusive && line ? was ^ 0x0000FFu : 0x0000FFu;
                        ASSERT_EQ(c.Pixel(x, 1), want) << from << "+" << length << " line " << line << " xor "
                                                       << exclusive << " at " << x;
                    }
                    ASSERT_TRUE(std::equal(before.begin(), before.begin() + 32, Snapshot(c).begin()));
                }
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

TEST(Canvas, DashedEllipseOutlineRunsThePatternAroundIt) {
    std::vector<std::pair<int, int>> sizes;
    for (int w = 1; w <= 13; ++w)
        for (int h = 1; h <= 13; ++h)
            sizes.push_back({w, h});
    for (auto s : std::vector<std::pair<int, int>>{
             {37, 23}, {23, 37}, {200, 9}, {9, 200}, {3, 150}, {301, 299}, {1500, 1100}, {700, 1501}})
        sizes.push_back(s);
    for (const auto& [w, h] : sizes) {
        const auto walk = OutlineWalk(w, h);
        for (TPenStyle st : {psDash, psDot, psDashDot, psDashDotDot}) {
            Canvas c(w + 2, h + 2);
            c.SetBrushStyle(bsClear);
            c.SetPenStyle(st);
            c.Ellipse(1, 1, w + 1, h + 1);
            PixelSet want;
            for (std::size_t k = 0; k < walk.size(); ++k)
                if (DashOn(st, static_cast<long long>(k)))
                    want.insert({walk[k].first + 1, walk[k].second + 1});
            ASSERT_EQ(Painted(c), want) << w << "x" << h << " style " << int(st);
        }
    }
    // A solid brush fills the inside only; the gaps between dashes keep what was there.
    const auto walk = OutlineWalk(40, 30);
    Canvas c(40, 30);
    c.SetPenStyle(psDot);
    c.SetPenColor(clRed);
    c.SetBrushColor(clBlue);
    c.Ellipse(0, 0, 40, 30);
    for (std::size_t k = 0; k < walk.size(); ++k)
        EXPECT_EQ(c.Pixel(walk[k].first, walk[k].second), k % 6 < 3 ? clRed : clWhite) << k;
    EXPECT_EQ(c.Pixel(20, 15), clBlue);
}

TEST(Canvas, DashedEllipseIsTheSameWhereverItIsClipped) {
    const int w = 1500, h = 1100;
    for (TPenStyle st : {psDash, psDashDotDot}) {
        Canvas full(w, h);
        full.SetBrushStyle(bsClear);
        full.SetPenStyle(st);
        full.Ellipse(0, 0, w, h);
        // Windows on the top, the four diagonals, both ends of the middle rows and the bottom.
        const std::vector<std::pair<int, int>> origins = {{700, -10},  {1250, 141}, {1460, 530}, {1250, 919},
                                                          {720, 1070}, {190, 919},  {-20, 540},  {190, 141}};
        for (const auto& [ox, oy] : origins) {
            Canvas part(60, 40);
            part.SetBrushStyle(bsClear);
            part.SetPenStyle(st);
            part.Ellipse(-ox, -oy, w - ox, h - oy);
            int drawn = 0;
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 60; ++x) {
                    const TColor want = ox + x >= 0 && ox + x < w && oy + y >= 0 && oy + y < h
                                            ? full.Pixel(ox + x, oy + y)
                                            : clWhite;
                    ASSERT_EQ(part.Pixel(x, y), want) << ox << "," << oy << " at " << x << "," << y;
                    drawn += want == clBlack;
                }
            EXPECT_GT(drawn, 0) << ox << "," << oy;
        }
    }
    // Boxes far beyond the image: near the ends of the middle rows the outline is a vertical line, and
    // the pattern runs down it (right side) and up it (left side) without a break at the middle.
    for (const bool right : {true, false}) {
        Canvas c(10, 100);
        c.SetBrushStyle(bsClear);
        c.SetPenStyle(psDashDot);
        const int x1 = right ? -1999999990 : 0;
        c.Ellipse(x1, -1000000050, x1 + 2000000000, 1000000050);
        const int col = right ? 9 : 0;
        std::vector<bool> on;
        for (int y = 0; y < 100; ++y) {
            on.push_back(c.Pixel(col, y) == clBlack);
            for (int x = 0; x < 10; ++x)
                if (x != col) {
                    EXPECT_EQ(c.Pixel(x, y), clWhite) << x << "," << y;
                }
        }
        bool fits = false;
        for (int phase = 0; phase < 24 && !fits; ++phase) {
            fits = true;
            for (int y = 0; y < 100; ++y)
                fits = fits &&
                       on[static_cast<std::size_t>(y)] == DashOn(psDashDot, phase + (right ? y : 99 - y));
        }
        EXPECT_TRUE(fits) << (right ? "right" : "left");
    }
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
    // Widths are kept per text and font: a larger font measures the same text anew.
    c.SetFontSize(f.Size * 2);
    EXPECT_GT(c.TextWidth(std::string("Wert 42")), w * 3 / 2);
    c.SetFont(f);
    EXPECT_EQ(c.TextWidth(std::string("Wert 42")), w);

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
