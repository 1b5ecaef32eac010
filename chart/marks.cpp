#include "chart/marks.h"

#include "chart/gfx/canvas.h"

#include <cstdint>

namespace {

// 7 x 7 masks, top row first; bit value 64 is column x - 3, 1 is column x + 3.
using Pattern = std::uint8_t[7];
constexpr Pattern kPlus1 = {0x00, 0x00, 0x08, 0x1C, 0x08, 0x00, 0x00};
constexpr Pattern kPlus2 = {0x00, 0x08, 0x08, 0x3E, 0x08, 0x08, 0x00};
constexpr Pattern kPlus3 = {0x08, 0x08, 0x08, 0x7F, 0x08, 0x08, 0x08};
constexpr Pattern kCross1 = {0x00, 0x00, 0x14, 0x08, 0x14, 0x00, 0x00};
constexpr Pattern kCross2 = {0x00, 0x22, 0x14, 0x08, 0x14, 0x22, 0x00};
constexpr Pattern kCross3 = {0x41, 0x22, 0x14, 0x08, 0x14, 0x22, 0x41};
constexpr Pattern kChecker = {0x55, 0x2A, 0x55, 0x2A, 0x55, 0x2A, 0x55};
constexpr Pattern kThickCross = {0x63, 0x77, 0x3E, 0x1C, 0x3E, 0x77, 0x63};

void DrawPattern(Canvas& c, const Pattern& p, int x, int y) {
    const TColor pen = c.PenColor();
    for (int row = 0; row < 7; ++row)
        for (int bit = 0; bit < 7; ++bit)
            if (p[row] & (1 << bit)) c.SetPixel(x + 3 - bit, y - 3 + row, pen);
}

void ClosedPath(Canvas& c, std::initializer_list<TPoint> pts) {
    const TPoint* p = pts.begin();
    c.MoveTo(p[0].X, p[0].Y);
    for (std::size_t i = 1; i < pts.size(); ++i)
        c.LineTo(p[i].X, p[i].Y);
    c.LineTo(p[0].X, p[0].Y);
}

// Outline symbols draw with a clear brush and leave it solid, as the symbol set always has.
struct Outline {
    explicit Outline(Canvas& c) : c_(c) { c_.SetBrushStyle(bsClear); }
    ~Outline() { c_.SetBrushStyle(bsSolid); }
    Outline(const Outline&) = delete;
    Outline& operator=(const Outline&) = delete;
    Canvas& c_;
};

void Filled(Canvas& c) {
    c.SetBrushColor(c.PenColor());
}

void Triangle(Canvas& c, bool filled, TPoint a, TPoint b, TPoint d) {
    const TPoint pts[3] = {a, b, d};
    if (filled) {
        Filled(c);
        c.Polygon(pts, 3);
    } else {
        Outline o(c);
        c.Polygon(pts, 3);
    }
}

void Symbol(Canvas& c, int mark, int x, int y) {
    switch (mark) {
    case 0:
        c.SetPixel(x, y, c.PenColor());
        break;
    case 1:
        DrawPattern(c, kPlus1, x, y);
        break;
    case 2:
        DrawPattern(c, kPlus2, x, y);
        break;
    case 3:
        DrawPattern(c, kPlus3, x, y);
        break;
    case 4:
        DrawPattern(c, kCross1, x, y);
        break;
    case 5:
        DrawPattern(c, kCross2, x, y);
        break;
    case 6:
        DrawPattern(c, kCross3, x, y);
        break;
    case 7:
    case 8:
    case 9: {
        const int r = mark - 6;
        Filled(c);
        c.Rectangle(x - r, y - r, x + r + 1, y + r + 1);
        break;
    }
    case 10:
    case 11:
    case 12: {
        const int r = mark - 9;
        Outline o(c);
        ClosedPath(c, {{x - r, y - r}, {x - r, y + r}, {x + r, y + r}, {x + r, y - r}});
        break;
    }
    case 13:
    case 14:
    case 15: {
        const int r = mark - 12;
        const TPoint pts[4] = {{x - r, y}, {x, y + r}, {x + r, y}, {x, y - r}};
        Filled(c);
        c.Polygon(pts, 4);
        break;
    }
    case 16:
    case 17: {
        const int r = mark - 14;
        Outline o(c);
        c.Ellipse(x - r, y - r, x + r + 1, y + r + 1);
        break;
    }
    case 18:
        DrawPattern(c, kChecker, x, y);
        break;
    case 19: {
        Outline o(c);
        ClosedPath(c, {{x - 3, y}, {x, y + 3}, {x + 3, y}, {x, y - 3}});
        break;
    }
    case 20:
    case 21:
    case 22:
    case 23: {
        const int r = mark % 2 == 0 ? 3 : 4;
        const int dy = mark < 22 ? r : -r;
        c.MoveTo(x, y);
        c.LineTo(x - r, y + dy);
        c.MoveTo(x, y);
        c.LineTo(x + r, y + dy);
        break;
    }
    case 24:
        Filled(c);
        c.Ellipse(x - 3, y - 3, x + 4, y + 4);
        break;
    case 25:
        DrawPattern(c, kThickCross, x, y);
        break;
    case 26:
        Filled(c);
        c.Ellipse(x - 2, y - 2, x + 3, y + 3);
        break;
    case 27: {
        Outline o(c);
        c.Ellipse(x - 2, y - 2, x + 2, y + 2);
        break;
    }
    case 28:
        Filled(c);
        c.Ellipse(x - 2, y - 2, x + 2, y + 2);
        break;
    case 29:
    case 30:
    case 31:
    case 32: {
        const int r = mark % 2 == 1 ? 2 : 3;
        Triangle(c, mark < 31, {x - r, y}, {x, y + r}, {x + r, y});
        break;
    }
    case 33:
    case 34:
        Triangle(c, mark == 34, {x - 4, y - 3}, {x, y + 4}, {x + 4, y - 3});
        break;
    case 35:
    case 36:
        Triangle(c, mark == 36, {x - 4, y + 3}, {x, y - 4}, {x + 4, y + 3});
        break;
    case 37:
        c.MoveTo(x - 3, y);
        c.LineTo(x + 4, y);
        c.MoveTo(x, y);
        c.LineTo(x, y - 8);
        break;
    case 38:
        c.MoveTo(x - 3, y - 2);
        c.LineTo(x + 4, y - 2);
        c.MoveTo(x - 3, y + 2);
        c.LineTo(x + 4, y + 2);
        c.MoveTo(x, y - 2);
        c.LineTo(x, y + 2);
        break;
    case 39: {
        {
            Outline o(c);
            c.Ellipse(x - 3, y - 3, x + 4, y + 4);
        }
        c.MoveTo(x - 3, y);
        c.LineTo(x + 4, y);
        c.MoveTo(x, y - 3);
        c.LineTo(x, y + 4);
        break;
    }
    case 40:
    case 41:
        Triangle(c, mark == 41, {x + 3, y - 2}, {x - 2, y}, {x + 3, y + 2});
        break;
    case 42:
    case 43:
        Triangle(c, mark == 43, {x + 4, y - 3}, {x - 3, y}, {x + 4, y + 3});
        break;
    case 44:
    case 45:
        Triangle(c, mark == 45, {x - 3, y - 2}, {x + 2, y}, {x - 3, y + 2});
        break;
    case 46:
    case 47:
        Triangle(c, mark == 47, {x - 4, y - 3}, {x + 3, y}, {x - 4, y + 3});
        break;
    default:
        break;
    }
}

} // namespace

void DrawMark(Canvas& canvas, int mark, int x, int y) {
    if (mark >= kNumMarkSymbols || mark < 0) {
        const QString ch = Canvas::CharText(static_cast<unsigned>(mark));
        const int tw = canvas.TextWidth(ch), th = canvas.TextHeight(ch);
        canvas.TextOut(x - tw / 2, y - th / 2, ch);
        return;
    }
    const TColor brush = canvas.BrushColor();
    Symbol(canvas, mark, x, y);
    canvas.SetBrushColor(brush);
}
