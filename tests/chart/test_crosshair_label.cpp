#include "chart/core/colors.h"
#include "chart/gfx/canvas.h"
#include "chart/overlays.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

#include <array>
#include <memory>

namespace {

// Text needs a GUI application; ctest runs it on the offscreen platform.
class GuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!QGuiApplication::instance()) {
            static int argc = 1;
            static char name[] = "test_crosshair_label";
            static char* argv[] = {name, nullptr};
            static QGuiApplication app(argc, argv);
        }
    }
};

// Default control: 280 × 200, rims 50/20/20/40: plot area x 50 … 260, y 20 … 160.
const TPlotGeometry kFrame{};

// World coordinates equal control pixels, so positions in the tests read as pixels.
TPoint Identity(int, double x, double y) {
    return TPoint{static_cast<int>(x), static_cast<int>(y)};
}

std::unique_ptr<Canvas> WhiteCanvas(int w, int h) {
    auto c = std::make_unique<Canvas>(w, h);
    c->SetBrushColor(clWhite);
    c->SetBrushStyle(bsSolid);
    c->FillRect(0, 0, w, h);
    return c;
}

std::array<TCrossHair, 4> Hairs() {
    return {TCrossHair(1), TCrossHair(2), TCrossHair(3), TCrossHair(4)};
}

// Puts a crosshair at a place, with its lines, colour and width.
void Aim(TCrossHair& h, TCrossHMode mode, double x, double y, TColor color, int width = 1) {
    h.SetMode(mode);
    h.SetPosX(x);
    h.SetPosY(y);
    h.SetColor(color);
    h.SetLineWid(width);
}

int CountInRow(const Canvas& c, int y, TColor color) {
    int n = 0;
    for (int x = 0; x < c.Width(); ++x)
        n += c.Pixel(x, y) == color;
    return n;
}

int CountInColumn(const Canvas& c, int x, TColor color) {
    int n = 0;
    for (int y = 0; y < c.Height(); ++y)
        n += c.Pixel(x, y) == color;
    return n;
}

} // namespace

using CrossHairTest = GuiTest;

TEST_F(CrossHairTest, DefaultsAndEverySetterNotifies) {
    auto hairs = Hairs();
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(hairs[k].Layer(), k + 1);
        EXPECT_EQ(hairs[k].Mode(), chOff);
    }
    TCrossHair& h = hairs[0];
    EXPECT_EQ(h.Color(), clBlack);
    EXPECT_EQ(h.LineWid(), 1);
    EXPECT_EQ(h.LineType(), psSolid);
    int changes = 0;
    h.OnChange = [&](TCrossHair& sender) {
        EXPECT_EQ(&sender, &h);
        ++changes;
    };
    h.SetPosX(1);
    h.SetPosY(2);
    h.SetColor(clRed);
    h.SetLayer(40); // kept as given: the mapping clamps layers
    h.SetMode(chBoth);
    h.SetLineType(psDash);
    h.SetLineWid(2);
    h.SetPosX(1); // an unchanged value notifies too
    EXPECT_EQ(changes, 8);
    EXPECT_EQ(h.Layer(), 40);
}

TEST_F(CrossHairTest, LinesSpanThePlotAreaInsideTheFrame) {
    auto c = WhiteCanvas(280, 200);
    auto hairs = Hairs();
    Aim(hairs[1], chBoth, 100, 90, clRed);
    DrawCrossHairs(*c, hairs, kFrame, Identity, 0, 0);

    // Horizontal line from LRim + 1 up to, not including, the right edge of the plot area.
    EXPECT_EQ(c->Pixel(50, 90), clWhite);
    EXPECT_EQ(c->Pixel(51, 90), clRed);
    EXPECT_EQ(c->Pixel(259, 90), clRed);
    EXPECT_EQ(c->Pixel(260, 90), clWhite);
    EXPECT_EQ(CountInRow(*c, 90, clRed), 209);
    // Vertical line from TRim + 1 to the bottom line, exclusive.
    EXPECT_EQ(c->Pixel(100, 20), clWhite);
    EXPECT_EQ(c->Pixel(100, 21), clRed);
    EXPECT_EQ(c->Pixel(100, 159), clRed);
    EXPECT_EQ(c->Pixel(100, 160), clWhite);
    EXPECT_EQ(CountInColumn(*c, 100, clRed), 139);
}

TEST_F(CrossHairTest, LinesOnOrOutsideTheFrameAreNotDrawn) {
    struct Case {
        int lineWid;
        int y;
        bool drawn;
    };
    // Bottom line of the plot area is 160.
    for (Case k : {Case{1, 20, false}, Case{1, 21, true}, Case{1, 159, true}, Case{1, 160, false},
                   Case{3, 21, false}, Case{3, 22, true}, Case{3, 158, true}, Case{3, 159, false},
                   Case{1, -5, false}, Case{1, 300, false}}) {
        auto c = WhiteCanvas(280, 200);
        auto hairs = Hairs();
        Aim(hairs[0], chHoriz, 0, k.y, clBlue, k.lineWid);
        DrawCrossHairs(*c, hairs, kFrame, Identity, 0, 0);
        EXPECT_EQ(CountInColumn(*c, 150, clBlue) > 0, k.drawn) << "width " << k.lineWid << " at y " << k.y;
    }
    // Vertical: plot area x 50 … 260.
    for (int x : {50, 260, 10}) {
        auto c = WhiteCanvas(280, 200);
        auto hairs = Hairs();
        hairs[0].SetMode(chVert);
        hairs[0].SetPosX(x);
        DrawCrossHairs(*c, hairs, kFrame, Identity, 0, 0);
        EXPECT_EQ(CountInRow(*c, 90, clBlack), 0) << "x " << x;
    }
}

TEST_F(CrossHairTest, PlotBitmapGetsTheSameLinesShiftedByTheRims) {
    auto whole = WhiteCanvas(280, 200);
    auto plot = WhiteCanvas(211, 141);
    auto hairs = Hairs();
    Aim(hairs[2], chBoth, 77, 133, hairs[2].Color());
    Aim(hairs[3], chVert, 200, 0, clGreen, 3);
    DrawCrossHairs(*whole, hairs, kFrame, Identity, 0, 0);
    DrawCrossHairs(*plot, hairs, kFrame, Identity, 50, 20);
    for (int y = 0; y < 141; ++y)
        for (int x = 0; x < 211; ++x)
            ASSERT_EQ(plot->Pixel(x, y), whole->Pixel(x + 50, y + 20)) << x << "," << y;
    EXPECT_EQ(whole->Pixel(200, 90), clGreen);
    EXPECT_NE(whole->Pixel(200, 20), clGreen);
}

TEST_F(CrossHairTest, PenIsRestoredAndNothingHappensWhenAllAreOff) {
    auto c = WhiteCanvas(280, 200);
    c->SetPenColor(clMaroon);
    c->SetPenWidth(4);
    c->SetPenStyle(psDot);
    auto hairs = Hairs();
    DrawCrossHairs(*c, hairs, kFrame, Identity, 0, 0);
    EXPECT_EQ(CountInRow(*c, 0, clWhite) + CountInRow(*c, 90, clWhite), 560);
    hairs[0].SetMode(chBoth);
    hairs[0].SetPosX(100);
    hairs[0].SetPosY(100);
    hairs[0].SetLineType(psDash);
    DrawCrossHairs(*c, hairs, kFrame, Identity, 0, 0);
    EXPECT_EQ(c->PenColor(), clMaroon);
    EXPECT_EQ(c->PenWidth(), 4);
    EXPECT_EQ(c->PenStyle(), psDot);
}

using TextLabelTest = GuiTest;

namespace {

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1; // inclusive pixel bounds
    bool Empty() const { return right < 0; }
};

Box BoundsOf(const Canvas& c, TColor color) {
    Box b;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            if (c.Pixel(x, y) == color) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

// A label in pixel coordinates, drawn as the full paint does (target offset 0, shifted by the rims).
std::array<TTextLabel, 20> Labels() {
    std::array<TTextLabel, 20> l;
    for (auto& label : l)
        label.SetAttachToData(false);
    return l;
}

void Draw(Canvas& c, const std::array<TTextLabel, 20>& labels, std::function<bool(int)> visible = {}) {
    DrawTextLabels(c, labels, kFrame, Identity, visible, 0, 0);
}

} // namespace

TEST_F(TextLabelTest, DefaultsLayerRangeAndNotification) {
    TFont chartFont;
    chartFont.Name = "Arial";
    chartFont.Size = 12;
    TTextLabel l(chartFont);
    EXPECT_EQ(l.Font(), chartFont);
    EXPECT_EQ(l.Layer(), 1);
    EXPECT_TRUE(l.AttachToData());
    EXPECT_EQ(l.ColorBkg(), clWhite);
    EXPECT_EQ(l.ColorBorder(), clBlack);
    EXPECT_EQ(l.ColorShadow(), 0x808080u);
    EXPECT_EQ(l.ShadowDx(), 3);
    EXPECT_EQ(l.ShadowDy(), 3);
    EXPECT_FALSE(l.Transparent());
    EXPECT_EQ(l.Alignment(), taCenter);
    EXPECT_EQ(l.Mode(), tlOff);
    EXPECT_TRUE(l.Caption().empty());

    int changes = 0;
    l.OnChange = [&](TTextLabel&) { ++changes; };
    l.SetLayer(0);
    l.SetLayer(17);
    EXPECT_EQ(l.Layer(), 1);
    EXPECT_EQ(changes, 0);
    l.SetLayer(16);
    l.SetCaption("x");
    l.SetMode(tlBox);
    EXPECT_EQ(l.Layer(), 16);
    EXPECT_EQ(changes, 3);
}

TEST_F(TextLabelTest, AnchorIsMappedOrRoundedHalfToEven) {
    TTextLabel l;
    l.SetPosX(3);
    l.SetPosY(4);
    auto map = [](int layer, double x, double y) { return TPoint{int(x * 10) + layer, int(y * 10)}; };
    l.SetLayer(2);
    EXPECT_EQ(TextLabelAnchor(l, map), (TPoint{32, 40}));
    l.SetAttachToData(false);
    l.SetPosX(100.5);
    l.SetPosY(101.5);
    EXPECT_EQ(TextLabelAnchor(l, map), (TPoint{100, 102}));
}

TEST_F(TextLabelTest, OffOrHiddenLayerDrawsNothing) {
    auto c = WhiteCanvas(300, 200);
    auto labels = Labels();
    labels[0].SetCaption("hidden");
    labels[0].SetPosX(150);
    labels[0].SetPosY(100);
    Draw(*c, labels);
    labels[1] = labels[0];
    labels[1].SetMode(tlBox);
    labels[1].SetLayer(3);
    Draw(*c, labels, [](int layer) { return layer != 3; });
    EXPECT_TRUE(BoundsOf(*c, clBlack).Empty());
    Draw(*c, labels, [](int) { return true; });
    EXPECT_FALSE(BoundsOf(*c, clBlack).Empty());
}

TEST_F(TextLabelTest, TwoLinesRightJustifiedShareOneBox) {
    auto c = WhiteCanvas(300, 200);
    auto labels = Labels();
    TTextLabel& l = labels[0];
    TFont f;
    f.Color = clRed;
    l.SetFont(f);
    l.SetMode(tlBox);
    l.SetAlignment(taRightJustify);
    l.SetCaption("a\naaaa"); // same last glyph: right-aligned lines end in the same column
    l.SetPosX(200 + 50);     // the data pass shifts by the rims
    l.SetPosY(100 + 20);
    Draw(*c, labels);

    c->SetFont(f);
    const int h = c->TextHeight(std::string("a\naaaa"));
    const int w = c->TextWidth(std::string("aaaa"));
    const Box box = BoundsOf(*c, clBlack);
    EXPECT_EQ(box.bottom, 100 + 1);
    EXPECT_EQ(box.bottom - box.top + 1, 2 * h + 4);
    EXPECT_EQ(box.right, 200 + 3);
    EXPECT_EQ(box.left, 200 - w - 4);

    Box line1, line2;
    for (int y = box.top + 1; y < box.bottom; ++y)
        for (int x = box.left + 1; x < box.right; ++x)
            if (c->Pixel(x, y) == clRed) {
                Box& b = y < 100 - h ? line1 : line2;
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
            }
    ASSERT_FALSE(line1.Empty());
    ASSERT_FALSE(line2.Empty());
    EXPECT_EQ(line1.right, line2.right);
    EXPECT_GT(line1.left, line2.left);
}

TEST_F(TextLabelTest, DecorationsByMode) {
    const TColor ground = 0x123456;
    auto make = [&](TTxtLblMode mode, bool transparent) {
        auto c = WhiteCanvas(300, 200);
        c->SetBrushColor(ground);
        c->FillRect(0, 0, 300, 200);
        auto labels = Labels();
        labels[0].SetMode(mode);
        labels[0].SetTransparent(transparent);
        labels[0].SetCaption("Wert");
        labels[0].SetColorBkg(clYellow);
        labels[0].SetColorBorder(clBlue);
        labels[0].SetColorShadow(clGray);
        labels[0].SetShadowDx(5);
        labels[0].SetShadowDy(4);
        labels[0].SetPosX(150 + 50);
        labels[0].SetPosY(100 + 20);
        Draw(*c, labels);
        return c;
    };

    // Plain: a filled box without visible outline.
    auto simple = make(tlsimple, false);
    EXPECT_TRUE(BoundsOf(*simple, clBlue).Empty());
    const Box fill = BoundsOf(*simple, clYellow);
    EXPECT_EQ(fill.bottom, 101);

    // Underline: the same fill and one blue line on the anchor row, as wide as the text.
    auto under = make(tlUnderline, false);
    const Box line = BoundsOf(*under, clBlue);
    EXPECT_EQ(line.top, 100);
    EXPECT_EQ(line.bottom, 100);
    EXPECT_EQ(line.left, fill.left + 4);
    EXPECT_EQ(line.right, fill.right - 4);

    // Shadow: the grey box offset by (5, 4) below and right of the blue-framed box.
    auto shadow = make(tlShadow, false);
    const Box frame = BoundsOf(*shadow, clBlue);
    const Box grey = BoundsOf(*shadow, clGray);
    EXPECT_EQ(frame.left, fill.left);
    EXPECT_EQ(frame.bottom, fill.bottom);
    EXPECT_EQ(grey.right, frame.right + 5);
    EXPECT_EQ(grey.bottom, frame.bottom + 4);

    // Transparent: no fill; the plain mode then shows only text.
    auto clear = make(tlsimple, true);
    EXPECT_TRUE(BoundsOf(*clear, clYellow).Empty());
    EXPECT_EQ(clear->Pixel(fill.left, fill.bottom), ground);
}

TEST_F(TextLabelTest, FirstLabelEndsOnTop) {
    auto c = WhiteCanvas(300, 200);
    auto labels = Labels();
    for (int i : {0, 1}) {
        labels[i].SetMode(tlsimple);
        labels[i].SetCaption("MMMM");
        labels[i].SetPosX(200);
        labels[i].SetPosY(120);
    }
    labels[0].SetColorBkg(clRed);
    labels[1].SetColorBkg(clLime);
    Draw(*c, labels);
    EXPECT_FALSE(BoundsOf(*c, clRed).Empty());
    EXPECT_TRUE(BoundsOf(*c, clLime).Empty());
}
