#include "chart/core/layer_transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const TPlotGeometry kDefault{}; // 280 × 200, rims 50/20/20/40: plot 210 × 140
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

LayerTransform Make(TAxisRange x, TAxisRange y, TPlotGeometry g = kDefault) {
    return LayerTransform::Calc(g, x, y);
}

// The default range maps to the plot's corners; a reversed range mirrors its axis.
TEST(LayerTransform, RangesMapToThePlotCornersAndReversedOnesMirror) {
    const LayerTransform plain = Make({0, 1}, {0, 1}), reversed = Make({100, 0}, {1, 0});
    struct Case {
        const LayerTransform& t;
        bool x;
        double value;
        int pixel;
    };
    const Case cases[] = {
        {plain, true, 0, 50},      {plain, false, 0, 160},    {plain, true, 1, 260},
        {plain, false, 1, 20},     {reversed, true, 100, 50}, {reversed, true, 0, 260},
        {reversed, false, 1, 160}, {reversed, false, 0, 20},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.x ? c.t.XToPixel(c.value) : c.t.YToPixel(c.value), c.pixel) << c.x << " " << c.value;
    EXPECT_DOUBLE_EQ(plain.PixelToX(155), 0.5);
    EXPECT_DOUBLE_EQ(plain.PixelToY(90), 0.5);
}

TEST(LayerTransform, LogarithmicAxesAndTheirFloor) {
    const LayerTransform t = Make({1, 1000, true}, {1, 100, true});
    EXPECT_EQ(t.XToPixel(1), 50);
    EXPECT_EQ(t.XToPixel(10), 120);
    EXPECT_EQ(t.XToPixel(1000), 260);
    EXPECT_EQ(t.YToPixel(10), 90);
    EXPECT_NEAR(t.PixelToX(120), 10.0, 1e-9);
    // Values at or below 1e-100 go to the control's edge, the far edge on a mirrored axis.
    EXPECT_EQ(t.XToPixel(0), 0);
    EXPECT_EQ(t.XToPixel(-5), 0);
    EXPECT_EQ(t.YToPixel(1e-100), 200);
    const LayerTransform m = Make({1000, 1, true}, {100, 1, true});
    EXPECT_EQ(m.XToPixel(0), 280);
    EXPECT_EQ(m.YToPixel(0), 0);
}

TEST(LayerTransform, ClampsFarValuesAndRoundsHalvesToEven) {
    // Plot 210 pixels wide on 0 … 210: one pixel per unit, offset 50.
    const LayerTransform t = Make({0, 210}, {0, 140});
    EXPECT_EQ(t.XToPixel(0.5), 50);
    EXPECT_EQ(t.XToPixel(1.5), 52);
    EXPECT_EQ(t.XToPixel(-0.5), 50);
    EXPECT_EQ(t.YToPixel(0.5), 160); // 159.5
    EXPECT_EQ(t.XToPixel(1e300), 2147483647);
    EXPECT_EQ(t.XToPixel(-1e300), -2147483647);
    EXPECT_EQ(t.XToPixel(kInf), 2147483647);
    EXPECT_EQ(t.YToPixel(kInf), -2147483647);
    EXPECT_EQ(t.XToPixel(kNaN), kNaNPixel);
    EXPECT_EQ(t.YToPixel(kNaN), kNaNPixel);
}

TEST(LayerTransform, RoundPixelHalvesToEven) {
    EXPECT_EQ(RoundPixel(2.5L), 2);
    EXPECT_EQ(RoundPixel(3.5L), 4);
    EXPECT_EQ(RoundPixel(-2.5L), -2);
    EXPECT_EQ(RoundPixel(-3.5L), -4);
    EXPECT_EQ(RoundPixel(2.4999999999999999999L), 2);
    EXPECT_EQ(RoundPixel(-0.5000000000000000001L), -1);
    EXPECT_EQ(RoundPixel(0.7L), 1);
    EXPECT_EQ(RoundPixel(-0.7L), -1);
    EXPECT_EQ(RoundPixel(2147483646.5L), 2147483646);
    EXPECT_EQ(RoundPixel(-2147483646.5L), -2147483646);
    EXPECT_EQ(RoundPixel(5e30L), 2147483647);
}

TEST(LayerTransform, DegenerateAxesMapToThePlotMiddle) {
    // Equal bounds, non-positive logarithmic bounds, infinite or NaN bounds, a factor beyond range.
    for (TAxisRange r : {TAxisRange{5, 5}, TAxisRange{0, 10, true}, TAxisRange{-1, 10, true},
                         TAxisRange{0, kInf}, TAxisRange{kNaN, 1}, TAxisRange{1, 1, true}}) {
        const LayerTransform t = Make(r, r);
        EXPECT_EQ(t.XFactor, 0);
        EXPECT_EQ(t.XToPixel(5), 155);
        EXPECT_EQ(t.YToPixel(5), 90);
        EXPECT_EQ(t.XToPixel(kInf), 155);
        const double back = t.PixelToX(100);
        EXPECT_TRUE(back == r.Low || (std::isnan(back) && std::isnan(r.Low)));
    }
}

TEST(LayerTransform, PlotWithoutExtentUsesTheControlMiddle) {
    TPlotGeometry g;
    g.LRim = 200;
    g.RRim = 100; // PlotWidth −20
    g.TRim = 170; // PlotHeight −10
    const LayerTransform t = Make({0, 1}, {0, 1}, g);
    EXPECT_EQ(t.XFactor, 0);
    EXPECT_EQ(t.YFactor, 0);
    EXPECT_EQ(t.XToPixel(0.7), 140);
    EXPECT_EQ(t.YToPixel(0.7), 100);
    EXPECT_EQ(t.PixelToX(3), 0);
    EXPECT_EQ(t.PixelToY(3), 0);
}

TEST(LayerTransform, PixelToWorldStaysWithinDoubles) {
    // exp of a huge quotient overflows to infinity instead of an out-of-range conversion.
    const LayerTransform t = Make({1, 1e300, true}, {0, 1e308});
    EXPECT_EQ(t.PixelToX(2000000000), kInf);
    EXPECT_EQ(t.PixelToX(-2000000000), 0.0);
    EXPECT_EQ(t.PixelToY(-2000000000), kInf);
}

} // namespace
