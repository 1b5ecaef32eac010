#include "chart/scale.h"
#include "tests/chart/gui_app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

class ScaleTest : public ::testing::Test {
protected:
    void SetUp() override { TestGuiApp(); }
};

// A chart-style scale: transparent, embedded, drawing onto the given canvas.
void Embed(TScale& s, Canvas& target, int w, int h) {
    s.SetPaintSuspended(true);
    s.SetEmbedded(true);
    s.SetTransparent(true);
    s.SetBounds(0, 0, w, h);
    s.SetTargetCanvas(&target, 0, 0);
}

void ExpectSame(const Canvas& got, const Canvas& want) {
    ASSERT_EQ(got.Width(), want.Width());
    int bad = 0;
    for (int y = 0; y < got.Height(); ++y)
        for (int x = 0; x < got.Width(); ++x)
            if (got.Pixel(x, y) != want.Pixel(x, y) && ++bad <= 10)
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << got.Pixel(x, y) << " want "
                              << want.Pixel(x, y);
    EXPECT_EQ(bad, 0);
}

TEST_F(ScaleTest, SetterRules) {
    TScale s;
    EXPECT_EQ(s.Width(), 400);
    EXPECT_EQ(s.RangeHigh(), 100);
    s.SetRangeLow(5);
    s.SetRangeHigh(5);
    EXPECT_EQ(s.RangeLow(), 6); // plus one, an inverted range of width 1
    EXPECT_EQ(s.RangeHigh(), 5);
    s.SetRangeLow(5);
    EXPECT_EQ(s.RangeHigh(), 6);
    s.SetMinTicks(1);
    EXPECT_EQ(s.MinTicks(), 2);
    s.SetMinTicks(11);
    EXPECT_EQ(s.MinTicks(), 10);
    s.SetMarginLeft(-4);
    EXPECT_EQ(s.MarginLeft(), 0);
    s.SetDecPlaces(13);
    EXPECT_EQ(s.DecPlaces(), 12);
    s.SetRangeLow(0);
    s.SetLogarithmic(true);
    EXPECT_FALSE(s.Logarithmic());
    s.SetRangeLow(1);
    s.SetLogarithmic(true);
    EXPECT_TRUE(s.Logarithmic());
    s.SetLabelType(ftDateTime);
    EXPECT_FALSE(s.Logarithmic());
    s.SetLabelType(ftTime);
    EXPECT_EQ(s.DecPlaces(), 4);
}

TEST_F(ScaleTest, MappingFactors) {
    TScale h;
    h.SetScaleType(sctXT);
    h.SetBounds(0, 0, 240, 60);
    h.SetMarginLeft(20);
    h.SetMarginRight(19);
    h.SetRangeLow(0);
    h.SetRangeHigh(100);
    EXPECT_EQ(h.ValueToPixel(0), 20);
    EXPECT_EQ(h.ValueToPixel(100), 220);
    EXPECT_EQ(h.ValueToPixel(0.25), 20); // 20.5 rounds to even
    EXPECT_EQ(h.ValueToPixel(1e300), 2147483647);
    h.SetRangeLow(100);
    h.SetRangeHigh(0);
    EXPECT_EQ(h.ValueToPixel(100), 20); // inverted: RangeLow at the left margin
    EXPECT_EQ(h.ValueToPixel(0), 220);

    TScale v;
    v.SetScaleType(sctYR);
    v.SetBounds(0, 0, 80, 240);
    v.SetMarginTop(20);
    v.SetMarginBottom(19);
    v.SetRangeLow(1);
    v.SetRangeHigh(1000);
    v.SetLogarithmic(true);
    EXPECT_EQ(v.ValueToPixel(1000), 20);
    EXPECT_EQ(v.ValueToPixel(1), 220);
    EXPECT_EQ(v.ValueToPixel(10), 153);
    EXPECT_EQ(v.ValueToPixel(0), 0);
    v.SetMarginBottom(300); // no room: factor 0, the middle
    EXPECT_EQ(v.ScaleFactor(), 0);
    EXPECT_EQ(v.ValueToPixel(500), 120);
}

TEST_F(ScaleTest, HorizontalAxisPixels) {
    Canvas target(240, 60);
    TScale s;
    Embed(s, target, 240, 60);
    s.SetScaleType(sctXT);
    s.SetMarginLeft(20);
    s.SetMarginRight(19);
    s.SetMarginTop(10);
    s.SetRangeLow(0);
    s.SetRangeHigh(100);
    s.PaintNow();
    EXPECT_TRUE(s.PaintSuspended());

    Canvas want(240, 60);
    for (int x = 20; x < 220; ++x)
        want.SetPixel(x, 10, clBlack); // base line, end pixel excluded
    for (int v = 0; v <= 100; v += 5) {
        const int x = 20 + 2 * v;
        for (int k = 0; k < (v % 20 == 0 ? 7 : 4); ++k)
            want.SetPixel(x, 10 + k, clBlack);
    }
    want.SetFont(s.Font());
    want.SetBrushStyle(bsClear);
    for (int v = 0; v <= 100; v += 20) {
        const std::string t = std::to_string(v);
        const int x = 20 + 2 * v, half = want.TextWidth(t) / 2;
        want.TextOut(x - std::min(x - 2, half), 17, t);
    }
    ExpectSame(target, want);
    ASSERT_EQ(s.NumTicks(), 21);
    EXPECT_EQ(s.TickValue(1), 0);
    EXPECT_EQ(s.TickValue(21), 100);
    EXPECT_EQ(s.TickValue(0), 0);
    EXPECT_EQ(s.TickValue(22), 0);
}

TEST_F(ScaleTest, VerticalAxisPixels) {
    Canvas target(80, 240);
    TScale s;
    Embed(s, target, 80, 240);
    s.SetScaleType(sctYR);
    s.SetMarginTop(20);
    s.SetMarginBottom(19);
    s.SetMarginRight(29); // axis at x = 50
    s.SetRangeLow(0);
    s.SetRangeHigh(100);
    s.PaintNow();

    Canvas want(80, 240);
    for (int y = 20; y < 220; ++y)
        want.SetPixel(50, y, clBlack);
    for (int v = 0; v <= 100; v += 5) {
        const int y = 220 - 2 * v;
        for (int k = 0; k < (v % 20 == 0 ? 6 : 4); ++k)
            want.SetPixel(50 - k, y, clBlack);
    }
    want.SetFont(s.Font());
    want.SetBrushStyle(bsClear);
    const int h0 = want.TextHeight(std::string("0"));
    for (int v = 0; v <= 100; v += 20) {
        const std::string t = std::to_string(v);
        want.TextOut(50 - want.TextWidth(t) - 8, 220 - 2 * v - h0 / 2, t);
    }
    ExpectSame(target, want);
}

TEST_F(ScaleTest, LabelsStayInsideBothEdges) {
    Canvas target(200, 40);
    TScale s;
    Embed(s, target, 200, 40);
    s.SetScaleType(sctXT);
    s.SetMarginLeft(0);
    s.SetMarginRight(0);
    s.SetMarginTop(0);
    s.SetShortTicks(false);
    s.SetShowBaseLine(false);
    s.SetRangeLow(0);
    s.SetRangeHigh(150);
    s.SetMinTicks(2); // step 50: ticks at pixels 0, 66, 133 and 199
    s.PaintNow();

    Canvas want(200, 40);
    for (int x : {0, 66, 133, 199})
        for (int k = 0; k < 7; ++k)
            want.SetPixel(x, k, clBlack);
    want.SetFont(s.Font());
    want.SetBrushStyle(bsClear);
    const auto centred = [&](int x, const std::string& t) { want.TextOut(x - want.TextWidth(t) / 2, 7, t); };
    want.TextOut(2, 7, std::string("0"));
    centred(66, "50");
    centred(133, "100");
    want.TextOut(200 - 2 * (want.TextWidth(std::string("150")) / 2) - 2, 7, std::string("150"));
    ExpectSame(target, want);
}

// Pixels of a canvas region that differ from white, as a picture to compare.
std::vector<TColor> Region(const Canvas& c, int x0, int y0, int x1, int y1) {
    std::vector<TColor> v;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            v.push_back(c.Pixel(x, y));
    return v;
}

TEST_F(ScaleTest, CaptionsAndMessagesAreAnchored) {
    // The acquisition window's captions: x centred 22 pixels below the axis, y left-aligned 16 pixels
    // above the top margin.
    Canvas target(300, 200), want(300, 200);
    TScale x, y;
    Embed(x, target, 300, 200);
    Embed(y, target, 300, 200);
    x.SetScaleType(sctXT);
    x.SetMarginTop(150);
    x.SetMarginLeft(50);
    x.SetMarginRight(19);
    x.SetCaption("Nr.");
    x.SetCaptionPosX(0);
    x.SetCaptionPosY(22);
    x.SetCaptionAnchor(uaSclCenter);
    y.SetScaleType(sctYR);
    y.SetMarginRight(249); // axis at x = 50
    y.SetMarginTop(30);
    y.SetCaption("Wert");
    y.SetCaptionPosX(0);
    y.SetCaptionPosY(-16);
    y.SetCaptionAlignment(taLeftJustify);
    x.PaintNow();
    y.PaintNow();
    want.SetFont(x.Font());
    want.SetBrushStyle(bsClear);
    want.TextOut(50 + (300 - 50 - 19) / 2 - want.TextWidth(std::string("Nr.")) / 2, 172, std::string("Nr."));
    want.TextOut(50, 14, std::string("Wert"));
    const auto painted = [](const std::vector<TColor>& v) { return std::count(v.begin(), v.end(), clBlack); };
    EXPECT_GT(painted(Region(want, 52, 172, 300, 200)), 0);
    EXPECT_GT(painted(Region(want, 52, 0, 300, 29)), 0);
    EXPECT_EQ(Region(target, 52, 172, 300, 200), Region(want, 52, 172, 300, 200));
    EXPECT_EQ(Region(target, 52, 0, 300, 29), Region(want, 52, 0, 300, 29));

    // An invalid date/time range draws its message at the middle of the range instead of ticks.
    Canvas msg(300, 60), msgWant(300, 60);
    TScale d;
    Embed(d, msg, 300, 60);
    d.SetScaleType(sctXT);
    d.SetMarginTop(10);
    d.SetLabelType(ftDateTime);
    d.SetRangeLow(10);
    d.SetRangeHigh(5);
    d.SetShowBaseLine(false);
    d.PaintNow();
    EXPECT_EQ(d.NumTicks(), 0);
    msgWant.SetFont(d.Font());
    msgWant.SetBrushStyle(bsClear);
    const std::string text = "invalid DateTime scale";
    msgWant.TextOut(d.ValueToPixel(7.5) - msgWant.TextWidth(text) / 2, 17, text);
    EXPECT_GT(painted(Region(msgWant, 0, 0, 300, 60)), 0);
    EXPECT_EQ(Region(msg, 0, 0, 300, 60), Region(msgWant, 0, 0, 300, 60));
}

TEST_F(ScaleTest, OpaqueScaleWithFrameOnItsOwnCanvas) {
    TScale s;
    s.SetBounds(0, 0, 100, 50);
    s.SetScaleType(sctXB);
    EXPECT_EQ(s.AxisPos(), 29);
    s.PaintNow();
    Canvas& c = s.OwnCanvas();
    ASSERT_EQ(c.Width(), 100);
    EXPECT_EQ(c.Pixel(0, 0), 0x808080u);   // lowered: shadow at the top left
    EXPECT_EQ(c.Pixel(99, 49), 0xFFFFFFu); // highlight at the bottom right
    EXPECT_EQ(c.Pixel(5, 45), ColorToRGB(clBtnFace));
    EXPECT_EQ(c.Pixel(20, 29), clBlack); // tick at RangeLow on the axis line
    EXPECT_EQ(c.Pixel(20, 23), clBlack); // pointing up, 7 pixels
    EXPECT_NE(c.Pixel(20, 22), clBlack);

    s.SetColorScheme(csSystem);
    s.PaintNow();
    EXPECT_EQ(s.OwnCanvas().Pixel(0, 0), ColorToRGB(clBtnShadow));
}

TEST_F(ScaleTest, TargetOffsetsShiftTheWholeScale) {
    Canvas a(300, 120), b(300, 120);
    TScale s;
    Embed(s, a, 200, 60);
    s.SetScaleType(sctXT);
    s.SetCaption("Zeit");
    s.PaintNow();
    s.SetTargetCanvas(&b, 30, 40);
    s.PaintNow();
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(a.Pixel(x, y), b.Pixel(x + 30, y + 40)) << x << "," << y;
}

TEST_F(ScaleTest, DrawingConditionsAndEvents) {
    Canvas target(240, 60);
    TScale s;
    Embed(s, target, 240, 60);
    s.SetScaleType(sctXT);
    std::vector<std::pair<double, int>> reported;
    s.OnScaleTickDrawn = [&](TScale&, Canvas&, TScaleType t, double v, int x, int y) {
        EXPECT_EQ(t, sctXT);
        EXPECT_EQ(y, s.AxisPos());
        reported.push_back({v, x});
    };
    int before = 0, after = 0;
    s.OnBeforeScaleRendered = [&](TScale&, Canvas&) { ++before; };
    s.OnAfterScaleRendered = [&](TScale&, Canvas&) { ++after; };
    s.Paint(); // suspended
    EXPECT_EQ(before, 0);
    s.SetVisible(false);
    s.PaintNow(); // invisible
    EXPECT_EQ(before, 0);
    s.SetVisible(true);
    s.PaintNow();
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
    ASSERT_EQ(reported.size(), 27u); // 21 short ticks, then 6 main ticks
    EXPECT_EQ(reported[21].first, 0);
    EXPECT_EQ(reported[21].second, s.ValueToPixel(0));
}

TEST_F(ScaleTest, HostileRangesDrawSoundlyOrNothing) {
    const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<double, double>> ranges = {
        {nan, 1}, {0, inf},       {-1e308, 1e308}, {1e308, 1e308}, {1, std::nextafter(1.0, 2.0)},
        {-5, 5},  {1e-300, 1e300}};
    for (const auto& [lo, hi] : ranges)
        for (bool log : {false, true})
            for (TScaleType t : {sctXB, sctYL}) {
                Canvas target(300, 300);
                TScale s;
                Embed(s, target, 300, 300);
                s.SetScaleType(t);
                s.SetRangeLow(lo);
                s.SetRangeHigh(hi);
                s.SetLogarithmic(log);
                s.SetMinTicks(10);
                s.PaintNow();
                EXPECT_LE(s.NumTicks(), 50);
                for (int i = 1; i <= s.NumTicks(); ++i)
                    EXPECT_TRUE(std::isfinite(s.TickValue(i)));
            }
}

TEST_F(ScaleTest, AssignCopiesSettingsAndTicks) {
    Canvas target(240, 60);
    TScale a;
    Embed(a, target, 240, 60);
    a.SetRangeLow(1);
    a.SetRangeHigh(200);
    a.SetCaption("y");
    a.PaintNow();
    TScale b;
    b.SetPaintSuspended(true);
    b.Assign(a);
    EXPECT_EQ(b.RangeHigh(), 200);
    EXPECT_EQ(b.Caption(), "y");
    EXPECT_EQ(b.NumTicks(), a.NumTicks());
    EXPECT_EQ(b.TickValue(2), a.TickValue(2));
    EXPECT_EQ(b.TargetCanvas(), &target);
    EXPECT_EQ(b.ScaleFactor(), a.ScaleFactor());
}

} // namespace
