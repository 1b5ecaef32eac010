#include "chart/data_render.h"

#include "chart/core/colors.h"
#include "chart/cover_pass.h"
#include "tests/chart/gui_app.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr TColor kRed = clRed, kBlue = clBlue, kFill = 0x00C000;

class DataRender : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TestGuiApp(); }

    // Plot 210 × 140 (the default geometry); one world unit is one pixel: target pixel (x, 140 − y).
    DataRender() : canvas_(211, 141) {
        SetRanges({0, 210}, {0, 140});
        pass_.Transforms = &transforms_;
        pass_.ClassVisible = &classes_;
        pass_.LayerVisible = &layers_;
        pass_.OnPolyline = [this](const TPoint* p, int n) { polylines_.emplace_back(p, p + n); };
        classes_.set();
        layers_.set();
        canvas_.SetBrushColor(clWhite);
        canvas_.SetPenColor(clWhite);
        canvas_.Rectangle(0, 0, 211, 141);
    }

    void SetRanges(TAxisRange x, TAxisRange y) {
        for (LayerTransform& t : transforms_)
            t = LayerTransform::Calc(TPlotGeometry{}, x, y);
    }

    static TChartItem Item(TChartItemKind kind, double x, double y, double x2 = 0, double y2 = 0,
                           TColor color = kRed) {
        TChartItem it = MakeItem(kind, x, y, x2, y2, color);
        it.FillColor = kFill;
        return it;
    }

    void Render() { RenderItems(canvas_, pass_, items_.data(), static_cast<int>(items_.size())); }
    TColor At(int x, int y) const { return canvas_.Pixel(x, y); }
    int Count(TColor c, int x1, int y1, int x2, int y2) const {
        int n = 0;
        for (int y = y1; y <= y2; ++y)
            for (int x = x1; x <= x2; ++x)
                n += At(x, y) == c;
        return n;
    }

    Canvas canvas_;
    std::array<LayerTransform, 16> transforms_;
    std::bitset<256> classes_;
    std::bitset<16> layers_;
    TDataPass pass_;
    std::vector<TChartItem> items_;
    std::vector<std::vector<TPoint>> polylines_;
};

TEST_F(DataRender, LineToRunsBecomeChainedPolylinesOf200Points) {
    items_.push_back(Item(ikMoveTo, 0, 0));
    for (int i = 1; i <= 450; ++i)
        items_.push_back(Item(ikLineTo, i % 200, i % 100));
    Render();
    ASSERT_EQ(polylines_.size(), 3u);
    EXPECT_EQ(polylines_[0].size(), 200u);
    EXPECT_EQ(polylines_[1].size(), 200u);
    EXPECT_EQ(polylines_[2].size(), 53u);
    EXPECT_EQ(polylines_[0].front(), (TPoint{0, 140}));
    EXPECT_EQ(polylines_[1].front(), polylines_[0].back());
    EXPECT_EQ(polylines_[2].front(), polylines_[1].back());
    EXPECT_EQ(polylines_[2].back(), (TPoint{450 % 200, 140 - 450 % 100}));
    EXPECT_EQ(canvas_.PenWidth(), 1);
}

TEST_F(DataRender, WithoutAMoveTheFirstPolylineStartsAtThePassOrigin) {
    for (int i = 0; i < 450; ++i)
        items_.push_back(Item(ikLineTo, i % 200, 5));
    Render();
    ASSERT_EQ(polylines_.size(), 3u);
    EXPECT_EQ(polylines_[0].front(), (TPoint{0, 0}));
    EXPECT_EQ(polylines_[2].size(), 53u);
}

TEST_F(DataRender, ColourChangeStartsANewPolylineAtThePredecessorsEnd) {
    items_ = {Item(ikMoveTo, 10, 10), Item(ikLineTo, 20, 10, 0, 0, kBlue),
              Item(ikLineTo, 30, 10, 0, 0, kBlue), Item(ikLineTo, 40, 20, 0, 0, kRed)};
    Render();
    ASSERT_EQ(polylines_.size(), 2u);
    EXPECT_EQ(polylines_[0], (std::vector<TPoint>{{10, 130}, {20, 130}, {30, 130}}));
    EXPECT_EQ(polylines_[1], (std::vector<TPoint>{{30, 130}, {40, 120}}));
    EXPECT_EQ(At(25, 130), kBlue);
    EXPECT_EQ(At(35, 125), kRed);
}

TEST_F(DataRender, FarPointsAreDrawnTowardsTheClampedPixel) {
    SetRanges({0, 100}, {0, 100});
    items_ = {Item(ikMoveTo, 50, 50), Item(ikLineTo, 1e9, 50), Item(ikLineTo, 50, -1e300)};
    Render();
    ASSERT_EQ(polylines_.size(), 1u);
    EXPECT_EQ(polylines_[0][1].X, 30000 - 50);
    EXPECT_EQ(polylines_[0][2].Y, 30000 - 20);
    EXPECT_EQ(At(210, polylines_[0][0].Y), kRed); // the line crosses the whole picture to its edge
}

TEST_F(DataRender, LinesLeaveTheirEndPixelAndMarkASinglePoint) {
    items_ = {Item(ikLine, 10, 10, 20, 10), Item(ikLine, 50, 50, 50.2, 50)};
    Render();
    EXPECT_EQ(Count(kRed, 10, 130, 19, 130), 10);
    EXPECT_NE(At(20, 130), kRed);
    EXPECT_EQ(At(50, 90), kRed);
}

TEST_F(DataRender, RectanglesIncludeBothCorners) {
    TChartItem hollow = Item(ikRectangle, 10, 10, 20, 20);
    hollow.Hollow = 1;
    items_ = {hollow, Item(ikRectangle, 40, 10, 50, 20)};
    Render();
    // (10, 130)–(20, 120) raised by one pixel on the larger corner: x 10 … 20, y 120 … 130.
    EXPECT_EQ(At(10, 125), kRed);
    EXPECT_EQ(At(20, 125), kRed);
    EXPECT_EQ(At(15, 120), kRed);
    EXPECT_EQ(At(15, 130), kRed);
    EXPECT_EQ(At(15, 125), clWhite);
    EXPECT_EQ(At(45, 125), kFill);
    EXPECT_EQ(At(50, 125), kRed);
}

TEST_F(DataRender, BoxFramesTakeTheirTwoColours) {
    TChartItem box = Item(ikBox, 10, 10, 20, 20);
    box.FrameColor1 = kRed;
    box.FrameColor2 = kBlue;
    box.FrameStyle = 2;
    TChartItem swapped = box;
    swapped.X += 40;
    swapped.X2 += 40;
    swapped.FrameStyle = 3;
    items_ = {box, swapped};
    Render();
    EXPECT_EQ(At(15, 125), kFill);
    EXPECT_EQ(At(10, 125), kRed);  // left
    EXPECT_EQ(At(15, 120), kRed);  // top
    EXPECT_EQ(At(20, 125), kBlue); // right
    EXPECT_EQ(At(15, 130), kBlue); // bottom
    EXPECT_EQ(At(50, 125), kBlue);
    EXPECT_EQ(At(60, 125), kRed);
}

TEST_F(DataRender, Bars3DDrawFrontTopAndSideFaces) {
    TChartItem bar = Item(ik3DBar, 10, 10, 30, 30);
    bar.Size = 45;
    bar.Depth = 10;
    items_ = {bar};
    Render();
    EXPECT_EQ(At(20, 120), kFill); // front face
    EXPECT_EQ(At(10, 120), kRed);  // its outline
    EXPECT_EQ(At(30, 120), kRed);  // raised right edge
    EXPECT_EQ(At(20, 106), kFill); // top face, 7 pixels deep
    EXPECT_EQ(At(34, 115), kFill); // side face
    EXPECT_EQ(At(20, 100), clWhite);
}

TEST_F(DataRender, EllipsesRelativeMovesAndArrows) {
    TChartItem arrow = Item(ikArrow, 10, 70, 60, 70);
    arrow.Size = 10;
    items_ = {Item(ikEllipse, 150, 100, 10, 5), Item(ikMoveTo, 10, 10), Item(ikMoveRel, 5, 0),
              Item(ikLineRel, 10, 0, 0, 0, kBlue), arrow};
    Render();
    EXPECT_EQ(At(150, 40), kFill);
    EXPECT_EQ(At(140, 40), kRed);
    EXPECT_EQ(At(165, 40), clWhite);
    EXPECT_EQ(Count(kBlue, 0, 130, 100, 130), 11); // 15 … 25, end pixel included
    EXPECT_EQ(At(14, 130), clWhite);
    EXPECT_EQ(At(30, 71), kRed);                // the shaft
    EXPECT_GT(Count(kFill, 52, 66, 60, 74), 5); // the filled head
}

TEST_F(DataRender, MarksTakeThePenOfTheirItem) {
    TChartItem square = Item(ikMark, 10, 130, 0, 0, kBlue);
    square.MarkType = 9; // filled 7 × 7 square
    TChartItem letter = Item(ikMark, 100, 70);
    letter.MarkType = 'X';
    items_ = {square, letter};
    Render();
    EXPECT_EQ(Count(kBlue, 7, 7, 13, 13), 49);
    EXPECT_EQ(Count(kBlue, 6, 6, 14, 14), 49);
    EXPECT_GT(Count(kRed, 94, 64, 106, 76), 5);
}

TEST_F(DataRender, TextItemsDecodeTheirBytes) {
    TChartItem text = Item(ikText, 100, 70);
    const char* s = "Hg\x80";
    text.Text[0] = 3;
    std::memcpy(&text.Text[1], s, 3);
    text.Size = 12;
    TChartItem tooLong = text;
    tooLong.Text[0] = 255; // length beyond the 17 bytes of the field
    tooLong.Y = 30;
    items_ = {text, tooLong};
    Render();
    EXPECT_GT(Count(kRed, 70, 55, 130, 85), 20);
    EXPECT_EQ(Count(kRed, 0, 55, 60, 85), 0); // centred: nothing far left
}

TEST_F(DataRender, VisibilityMonoAndPenWidthLimits) {
    TChartItem hidden = Item(ikLine, 10, 10, 100, 10);
    hidden.ItemClass = 5;
    TChartItem otherLayer = Item(ikLine, 10, 20, 100, 20);
    otherLayer.Layer = 3;
    TChartItem wide = Item(ikLine, 0, 70, 210, 70, kBlue);
    wide.LineWidth = 1000;
    TChartItem mono = Item(ikLine, 10, 130, 100, 130);
    classes_.reset(5);
    layers_.reset(2);
    items_ = {hidden, otherLayer, wide};
    Render();
    EXPECT_EQ(Count(kRed, 0, 0, 210, 140), 0);
    const int rows = Count(kBlue, 100, 0, 100, 140);
    EXPECT_GE(rows, 60);
    EXPECT_LE(rows, 65);
    items_ = {mono};
    pass_.Mono = true;
    Render();
    EXPECT_EQ(At(50, 10), clBlack);
}

TEST_F(DataRender, NonFinitePointsBreakTheLineOtherItemsAreSkipped) {
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    items_ = {Item(ikMoveTo, 10, 10),     Item(ikLineTo, 20, 10), Item(ikLineTo, nan, 20),
              Item(ikLine, 0, 0, inf, 5), Item(ikLineTo, 30, 10), Item(ikLineTo, 40, 10)};
    Render();
    ASSERT_EQ(polylines_.size(), 2u);
    EXPECT_EQ(polylines_[0], (std::vector<TPoint>{{10, 130}, {20, 130}}));
    EXPECT_EQ(polylines_[1], (std::vector<TPoint>{{30, 130}, {40, 130}}));
    EXPECT_EQ(Count(kRed, 20, 130, 29, 130), 0); // the gap
    EXPECT_EQ(Count(kRed, 0, 131, 210, 140), 0); // the line to infinity is skipped

    // A first move to a non-finite point: the line starts at the next finite point, not the corner.
    polylines_.clear();
    canvas_.SetBrushColor(clWhite);
    canvas_.FillRect(0, 0, 211, 141);
    items_ = {Item(ikMoveTo, -inf, 5), Item(ikLineTo, 50, 50), Item(ikLineTo, 60, 50)};
    Render();
    ASSERT_EQ(polylines_.size(), 1u);
    EXPECT_EQ(polylines_[0], (std::vector<TPoint>{{50, 90}, {60, 90}}));
    EXPECT_EQ(Count(kRed, 0, 0, 49, 140), 0);
}

// Items painted over by later opaque fills are not drawn; the picture stays the same: overlapping shapes
// of every kind and pen, repeats, shapes off the picture, a fill covering all of it, line runs, and an
// exclusive-or canvas (where nothing covers).
TEST_F(DataRender, SkippingHiddenItemsLeavesEveryPixel) {
    std::mt19937_64 rng(104);
    std::uniform_real_distribution<double> u(0, 1);
    const TChartItemKind kinds[] = {ikRectangle, ikBox,     ikEllipse,  ik3DBar,   ikArrow,
                                    ikLine,      ikLineTo,  ikMoveTo,   ikLineRel, ikMoveRel,
                                    ikMark,      ikEllipse, ikRectangle};
    const TColor colours[] = {kRed, kBlue, kFill, clBlack, 0x808080};
    int hiddenRounds = 0;
    for (int round = 0; round < 80; ++round) {
        items_.clear();
        const int n = 20 + static_cast<int>(u(rng) * 300);
        for (int i = 0; i < n; ++i) {
            if (i > 0 && u(rng) < 0.15) { // a repeat, maybe in another colour
                items_.push_back(items_[static_cast<std::size_t>(rng() % static_cast<unsigned>(i))]);
                items_.back().Color = colours[rng() % 5];
                continue;
            }
            const auto kind = kinds[rng() % std::size(kinds)];
            const double big = u(rng) < 0.4 ? 150 : 30;
            const double x = u(rng) * 300 - 45, y = u(rng) * 200 - 30;
            TChartItem it = kind == ikEllipse ? Item(kind, x, y, u(rng) * big, u(rng) * big)
                                              : Item(kind, x, y, x + (u(rng) - 0.5) * 2 * big,
                                                     y + (u(rng) - 0.5) * 2 * big, colours[rng() % 5]);
            if (kind == ikLineRel || kind == ikMoveRel) {
                it.X = (u(rng) - 0.5) * 60;
                it.Y = (u(rng) - 0.5) * 60;
            }
            it.FillColor = colours[rng() % 5];
            it.FrameColor1 = colours[rng() % 5];
            it.Hollow = u(rng) < 0.3;
            it.PenStyle = static_cast<std::uint8_t>(u(rng) < 0.6 ? 0 : rng() % 7);
            it.LineWidth = u(rng) < 0.75 ? 1 : 2 + static_cast<int>(rng() % 4);
            it.FrameStyle = static_cast<std::uint8_t>(rng() % 6);
            it.Size = static_cast<int>(rng() % 180);
            it.Depth = static_cast<int>(rng() % 25);
            it.MarkType = static_cast<std::uint8_t>(rng() % 60);
            it.ItemClass = static_cast<std::uint8_t>(rng() % 3);
            items_.push_back(it);
        }
        if (round % 5 == 1) // a fill over all of the picture, with more after it
            items_.insert(items_.begin() + n / 2, Item(ikRectangle, -5, -5, 220, 150));
        for (int i = 0; round % 3 == 2 && i < 300; ++i) // a line run among them
            items_.insert(items_.begin() + n / 3 + i, Item(ikLineTo, i % 200, 70 + 50 * std::sin(i * 0.1)));
        classes_.set(2, round % 7 != 3);

        TDataPass pass = pass_;
        pass.OnPolyline = nullptr;
        TLineRunIndex runs;
        runs.Append(items_.data(), static_cast<int>(items_.size()));
        if (round % 2 == 0) pass.Runs = &runs;
        const bool xorMode = round % 4 == 3;
        const auto render = [&](bool skip) {
            Canvas c(211, 141);
            c.SetPenMode(xorMode ? pmXor : pmCopy);
            c.SetBrushStyle(round % 6 == 0 ? bsClear : bsSolid); // what boxes and bars fill with at first
            pass.SkipHidden = skip;
            RenderItems(c, pass, items_.data(), static_cast<int>(items_.size()));
            return c.Image().copy();
        };
        EXPECT_TRUE(render(true) == render(false)) << "round " << round;
        const Canvas probe(211, 141);
        const THiddenItems hidden =
            FindHiddenItems(probe, pass, items_.data(), static_cast<int>(items_.size()));
        hiddenRounds += hidden.Below > 0 || !hidden.Items.empty();
        if (round % 5 == 1 && !xorMode) {
            EXPECT_GT(hidden.Below, 0) << "round " << round;
        }
    }
    EXPECT_GT(hiddenRounds, 50);
}

TEST_F(DataRender, ArbitraryRecordsRenderSafely) {
    std::mt19937_64 rng(12345);
    const double specials[] = {std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               1e308,
                               -1e308,
                               0,
                               1e-320};
    items_.resize(10000);
    for (TChartItem& it : items_) {
        auto* bytes = reinterpret_cast<unsigned char*>(&it);
        for (std::size_t i = 0; i < sizeof it; ++i)
            bytes[i] = static_cast<unsigned char>(rng());
        it.Kind = static_cast<std::uint8_t>(rng() % 16); // mostly drawn kinds
        if (rng() % 2) it.X = specials[rng() % std::size(specials)];
        if (rng() % 2) it.Y2 = specials[rng() % std::size(specials)];
        if (rng() % 3 == 0) it.X = static_cast<double>(rng() % 400) - 100;
        if (rng() % 3 == 0) it.Y = static_cast<double>(rng() % 300) - 100;
        if (rng() % 4 == 0) it.LineWidth = static_cast<int>(rng() % 5);
    }
    SetRanges({0, 210, rng() % 2 == 0}, {0, 140});
    Render();
    SetRanges({1, 1e6, true}, {-1, 1});
    Render();
    EXPECT_EQ(canvas_.PenWidth(), 1);
}

} // namespace
