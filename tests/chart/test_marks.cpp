#include "chart/gfx/canvas.h"
#include "chart/marks.h"
#include "tests/chart/gui_app.h"
#include "tests/chart/pixel_set.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

namespace {

constexpr int X = 12, Y = 12;

PixelSet Join(PixelSet a, const PixelSet& b) {
    a.insert(b.begin(), b.end());
    return a;
}

// Pixels of a line from a to b without b: one per step along the longer axis, the other coordinate the
// nearest to the exact line (halves away from the start).
PixelSet Line(std::pair<int, int> a, std::pair<int, int> b) {
    PixelSet s;
    const int dx = b.first - a.first, dy = b.second - a.second;
    const int n = std::max(std::abs(dx), std::abs(dy));
    for (int i = 0; i < n; ++i) {
        const double fx = a.first + static_cast<double>(dx) * i / n,
                     fy = a.second + static_cast<double>(dy) * i / n;
        const auto near = [](double v, int dir) {
            return static_cast<int>(dir >= 0 ? std::floor(v + 0.5) : std::ceil(v - 0.5));
        };
        s.insert({near(fx, dx), near(fy, dy)});
    }
    return s;
}

PixelSet Path(const std::vector<std::pair<int, int>>& p) {
    PixelSet s;
    for (std::size_t i = 0; i < p.size(); ++i)
        s = Join(s, Line(p[i], p[(i + 1) % p.size()]));
    return s;
}

// Lattice points inside or on a convex polygon.
PixelSet Inside(const std::vector<std::pair<int, int>>& p) {
    PixelSet s;
    for (int y = 0; y < 2 * Y; ++y)
        for (int x = 0; x < 2 * X; ++x) {
            int pos = 0, neg = 0;
            for (std::size_t i = 0; i < p.size(); ++i) {
                const auto a = p[i], b = p[(i + 1) % p.size()];
                const long cr = static_cast<long>(b.first - a.first) * (y - a.second) -
                                static_cast<long>(b.second - a.second) * (x - a.first);
                pos += cr > 0;
                neg += cr < 0;
            }
            if (pos == 0 || neg == 0) s.insert({x, y});
        }
    return s;
}

PixelSet Filled(const std::vector<std::pair<int, int>>& p) {
    return Join(Path(p), Inside(p));
}

PixelSet Mask(const std::uint8_t (&rows)[7]) {
    PixelSet s;
    for (int r = 0; r < 7; ++r)
        for (int col = 0; col < 7; ++col) // column X - 3 is the bit of value 64
            if (rows[r] & (64 >> col)) s.insert({X - 3 + col, Y - 3 + r});
    return s;
}

PixelSet Art(int left, int top, std::initializer_list<const char*> rows) {
    PixelSet s;
    int y = top;
    for (const char* r : rows) {
        for (int x = 0; r[x]; ++x)
            if (r[x] == 'X') s.insert({left + x, y});
        ++y;
    }
    return s;
}

const PixelSet kRing7 =
    Art(X - 3, Y - 3, {"..XXX..", ".X...X.", "X.....X", "X.....X", "X.....X", ".X...X.", "..XXX.."});
const PixelSet kDisk7 =
    Art(X - 3, Y - 3, {"..XXX..", ".XXXXX.", "XXXXXXX", "XXXXXXX", "XXXXXXX", ".XXXXX.", "..XXX.."});
const PixelSet kRing5 = Art(X - 2, Y - 2, {".XXX.", "X...X", "X...X", "X...X", ".XXX."});
const PixelSet kDisk5 = Art(X - 2, Y - 2, {".XXX.", "XXXXX", "XXXXX", "XXXXX", ".XXX."});
const PixelSet kRing4 = Art(X - 2, Y - 2, {".XX.", "X..X", "X..X", ".XX."});
const PixelSet kDisk4 = Art(X - 2, Y - 2, {".XX.", "XXXX", "XXXX", ".XX."});

PixelSet Expected(int mark) {
    const int x = X, y = Y;
    switch (mark) {
    case 0:
        return {{x, y}};
    case 1:
        return Mask({0x00, 0x00, 0x08, 0x1C, 0x08, 0x00, 0x00});
    case 2:
        return Mask({0x00, 0x08, 0x08, 0x3E, 0x08, 0x08, 0x00});
    case 3:
        return Mask({0x08, 0x08, 0x08, 0x7F, 0x08, 0x08, 0x08});
    case 4:
        return Mask({0x00, 0x00, 0x14, 0x08, 0x14, 0x00, 0x00});
    case 5:
        return Mask({0x00, 0x22, 0x14, 0x08, 0x14, 0x22, 0x00});
    case 6:
        return Mask({0x41, 0x22, 0x14, 0x08, 0x14, 0x22, 0x41});
    case 7:
    case 8:
    case 9: {
        const int r = mark - 6;
        return Box(x - r, y - r, x + r + 1, y + r + 1);
    }
    case 10:
    case 11:
    case 12: {
        const int r = mark - 9;
        return Path({{x - r, y - r}, {x - r, y + r}, {x + r, y + r}, {x + r, y - r}});
    }
    case 13:
    case 14:
    case 15: {
        const int r = mark - 12;
        return Filled({{x - r, y}, {x, y + r}, {x + r, y}, {x, y - r}});
    }
    case 16:
        return kRing5;
    case 17:
        return kRing7;
    case 18:
        return Mask({0x55, 0x2A, 0x55, 0x2A, 0x55, 0x2A, 0x55});
    case 19:
        return Path({{x - 3, y}, {x, y + 3}, {x + 3, y}, {x, y - 3}});
    case 20:
    case 21:
    case 22:
    case 23: {
        const int r = mark % 2 == 0 ? 3 : 4, dy = mark < 22 ? r : -r;
        return Join(Line({x, y}, {x - r, y + dy}), Line({x, y}, {x + r, y + dy}));
    }
    case 24:
        return kDisk7;
    case 25:
        return Mask({0x63, 0x77, 0x3E, 0x1C, 0x3E, 0x77, 0x63});
    case 26:
        return kDisk5;
    case 27:
        return kRing4;
    case 28:
        return kDisk4;
    case 29:
    case 30: {
        const int r = mark == 29 ? 2 : 3;
        return Filled({{x - r, y}, {x, y + r}, {x + r, y}});
    }
    case 31:
    case 32: {
        const int r = mark == 31 ? 2 : 3;
        return Path({{x - r, y}, {x, y + r}, {x + r, y}});
    }
    case 33:
        return Path({{x - 4, y - 3}, {x, y + 4}, {x + 4, y - 3}});
    case 34:
        return Filled({{x - 4, y - 3}, {x, y + 4}, {x + 4, y - 3}});
    case 35:
        return Path({{x - 4, y + 3}, {x, y - 4}, {x + 4, y + 3}});
    case 36:
        return Filled({{x - 4, y + 3}, {x, y - 4}, {x + 4, y + 3}});
    case 37:
        return Join(Line({x - 3, y}, {x + 4, y}), Line({x, y}, {x, y - 8}));
    case 38:
        return Join(Join(Line({x - 3, y - 2}, {x + 4, y - 2}), Line({x - 3, y + 2}, {x + 4, y + 2})),
                    Line({x, y - 2}, {x, y + 2}));
    case 39:
        return Join(kRing7, Join(Line({x - 3, y}, {x + 4, y}), Line({x, y - 3}, {x, y + 4})));
    case 40:
        return Path({{x + 3, y - 2}, {x - 2, y}, {x + 3, y + 2}});
    case 41:
        return Filled({{x + 3, y - 2}, {x - 2, y}, {x + 3, y + 2}});
    case 42:
        return Path({{x + 4, y - 3}, {x - 3, y}, {x + 4, y + 3}});
    case 43:
        return Filled({{x + 4, y - 3}, {x - 3, y}, {x + 4, y + 3}});
    case 44:
        return Path({{x - 3, y - 2}, {x + 2, y}, {x - 3, y + 2}});
    case 45:
        return Filled({{x - 3, y - 2}, {x + 2, y}, {x - 3, y + 2}});
    case 46:
        return Path({{x - 4, y - 3}, {x + 3, y}, {x - 4, y + 3}});
    case 47:
        return Filled({{x - 4, y - 3}, {x + 3, y}, {x - 4, y + 3}});
    default:
        return {};
    }
}

TEST(Marks, AllSymbolsArePixelExact) {
    for (int mark = 0; mark < kNumMarkSymbols; ++mark) {
        Canvas c(2 * X + 1, 2 * Y + 1);
        c.SetPenColor(clRed);
        c.SetBrushColor(clBlue);
        DrawMark(c, mark, X, Y);
        EXPECT_EQ(Painted(c), Expected(mark)) << "mark " << mark;
        for (const auto& [px, py] : Painted(c))
            EXPECT_EQ(c.Pixel(px, py), clRed) << "mark " << mark;
        EXPECT_EQ(c.BrushColor(), clBlue) << "mark " << mark; // restored
    }
}

TEST(Marks, FilledSymbolsFollowTheBrushStyle) {
    // With a clear brush a filled square shows its outline only; outline symbols leave the brush solid.
    Canvas c(25, 25);
    c.SetBrushStyle(bsClear);
    DrawMark(c, 9, X, Y);
    EXPECT_EQ(Painted(c), Path({{X - 3, Y - 3}, {X + 3, Y - 3}, {X + 3, Y + 3}, {X - 3, Y + 3}}));
    DrawMark(c, 17, X, Y);
    EXPECT_EQ(c.BrushStyle(), bsSolid);
}

TEST(Marks, CharacterMarksAreCentredLetters) {
    TestGuiApp();
    Canvas c(40, 40);
    TFont f;
    f.Color = clGreen;
    c.SetFont(f);
    c.SetBrushStyle(bsClear);
    DrawMark(c, 65, 20, 20);
    const int tw = c.TextWidth(std::string("A")), th = c.TextHeight(std::string("A"));
    const PixelSet got = Painted(c);
    ASSERT_FALSE(got.empty());
    int minX = 99, maxX = -1;
    for (const auto& [px, py] : got) {
        EXPECT_GE(px, 20 - tw / 2);
        EXPECT_LT(px, 20 - tw / 2 + tw);
        EXPECT_GE(py, 20 - th / 2);
        EXPECT_LT(py, 20 - th / 2 + th);
        EXPECT_EQ(c.Pixel(px, py), clGreen);
        minX = std::min(minX, px);
        maxX = std::max(maxX, px);
    }
    EXPECT_LE(std::abs((minX + maxX) / 2 - 20), 1); // the glyph itself sits on the point
}

} // namespace
