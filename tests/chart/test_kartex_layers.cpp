#include "chart/kartex.h"
#include "tests/chart/kartex_test_app.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class KartexLayers : public ::testing::Test {
protected:
    static std::string ErrorOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const EKartexError& e) {
            return e.what();
        }
        return "no error";
    }

    TKartex k;
};

TEST_F(KartexLayers, CreationDefaultsAndTheirMapping) {
    EXPECT_EQ(k.width(), 280);
    EXPECT_EQ(k.height(), 200);
    EXPECT_EQ(k.LRim(), 50);
    EXPECT_EQ(k.RRim(), 20);
    EXPECT_EQ(k.TRim(), 20);
    EXPECT_EQ(k.BRim(), 40);
    EXPECT_EQ(k.ActiveLayer(), 1);
    EXPECT_TRUE(k.PaintSuppressed()); // until the window is shown
    EXPECT_EQ(k.WorldToPixel(1, 0, 0), (TPoint{50, 160}));
    EXPECT_EQ(k.WorldToPixel(1, 1, 1), (TPoint{260, 20}));
    // Layer numbers outside 1 … 16 map with the nearest layer.
    EXPECT_EQ(k.WorldToPixel(0, 1, 1), (TPoint{260, 20}));
    double x = 0, y = 0;
    k.PixelToWorld(1, 155, 90, x, y);
    EXPECT_DOUBLE_EQ(x, 0.5);
    EXPECT_DOUBLE_EQ(y, 0.5);
    // Layer defaults: colours from the 16-colour table, axes stacked outward by pairs.
    EXPECT_EQ(k.ScaleX(10)->ColorScale(), 0x0000FFu);
    EXPECT_EQ(k.ScaleX(6)->ScalePos(), 60);
    EXPECT_EQ(k.ScaleY(6)->ScalePos(), 100);
    EXPECT_EQ(k.ScaleX(6)->ScaleType(), sctXB);
    EXPECT_EQ(k.ScaleY(7)->ScaleType(), sctYR);
    EXPECT_TRUE(k.Scale1X()->Visible());
    EXPECT_FALSE(k.Scale2X()->Visible());
    EXPECT_EQ(k.ScaleX(99), k.Scale1X());
}

TEST_F(KartexLayers, SetScaleRangeWidensEqualBoundsAndServesAllLayers) {
    k.SetScaleRange(1, 5, 2, 5, 8);
    EXPECT_DOUBLE_EQ(k.Scale1X()->RangeLow(), 5 - 0.5e-10);
    EXPECT_DOUBLE_EQ(k.Scale1X()->RangeHigh(), 5 + 0.5e-10);
    EXPECT_EQ(k.Scale1Y()->RangeLow(), 2);
    EXPECT_EQ(k.Scale1Y()->RangeHigh(), 8);
    k.SetScaleRange(0, -1, 10, 3, 20);
    for (int n = 1; n <= 16; ++n) {
        EXPECT_EQ(k.ScaleX(n)->RangeLow(), -1);
        EXPECT_EQ(k.ScaleY(n)->RangeHigh(), 20);
    }
    // The scale controls follow, and the mapping with them.
    EXPECT_EQ(k.ScaleControlX(7)->RangeHigh(), 3);
    EXPECT_EQ(k.WorldToPixel(16, 3, 10), (TPoint{260, 160}));
}

TEST_F(KartexLayers, ApplyLayerRangeStoresEvenUnusableRangesAndMappingStaysDefined) {
    k.ApplyLayerRange(2, 4, 1, 4, 1);
    EXPECT_EQ(k.ScaleX(2)->RangeLow(), 4);
    EXPECT_EQ(k.ScaleX(2)->RangeHigh(), 4);
    EXPECT_EQ(k.WorldToPixel(2, 4, 1), (TPoint{155, 90}));
    k.ApplyLayerRange(3, 100, 0, 0, 1);
    EXPECT_EQ(k.WorldToPixel(3, 100, 0), (TPoint{50, 160}));
    EXPECT_EQ(k.WorldToPixel(3, 0, 0), (TPoint{260, 160}));
}

TEST_F(KartexLayers, CoupledLayersFollowTheirController) {
    k.SetXControlledBy(2, 1);
    k.SetScaleRange(2, 10, 10, 20, 20);
    EXPECT_EQ(k.ScaleX(2)->RangeLow(), 0);
    EXPECT_EQ(k.ScaleX(2)->RangeHigh(), 1);
    EXPECT_EQ(k.ScaleY(2)->RangeLow(), 10);
    k.SetScaleRange(1, 30, 0, 40, 5);
    EXPECT_EQ(k.ScaleX(2)->RangeLow(), 30);
    EXPECT_EQ(k.ScaleX(2)->RangeHigh(), 40);
    EXPECT_EQ(k.ScaleY(2)->RangeLow(), 10); // only x is coupled
    k.SetYControlledBy(3, 1);
    EXPECT_EQ(k.ScaleY(3)->RangeHigh(), 5);
    EXPECT_EQ(k.ScaleX(3)->RangeHigh(), 1);
}

TEST_F(KartexLayers, CouplingErrorsLeaveTheTablesUnchanged) {
    EXPECT_EQ(ErrorOf([&] { k.SetXControlledBy(3, 17); }), "Destination layer 17 is out of range");
    EXPECT_EQ(ErrorOf([&] { k.SetYControlledBy(3, 0); }), "Destination layer 0 is out of range");
    k.SetXControlledBy(2, 1);
    EXPECT_EQ(ErrorOf([&] { k.SetXControlledBy(3, 2); }), "Destination layer 2 is already joined");
    EXPECT_EQ(ErrorOf([&] { k.SetXControlledBy(1, 4); }), "Layer 1 is joined by other layers (2)");
    k.SetYControlledBy(3, 2);
    k.SetYControlledBy(5, 2);
    EXPECT_EQ(ErrorOf([&] { k.SetYControlledBy(2, 7); }), "Layer 2 is joined by other layers (3, 5)");
    EXPECT_EQ(k.XControlledBy(3), 3);
    EXPECT_EQ(k.XControlledBy(1), 1);
    EXPECT_EQ(k.YControlledBy(2), 2);
    k.SetXControlledBy(2, 2); // back to itself: always allowed
    EXPECT_EQ(k.XControlledBy(2), 2);
    EXPECT_EQ(ErrorOf([&] { k.SetXControlledBy(1, 4); }), "no error");
}

TEST_F(KartexLayers, BoundsRimsAndShadow) {
    k.SetBounds(3, 4, 10, 10);
    EXPECT_EQ(k.width(), 50 + 20 + 80);
    EXPECT_EQ(k.height(), 20 + 40 + 20);
    EXPECT_EQ(k.PlotWidth(), 80);
    EXPECT_EQ(k.WorldToPixel(1, 1, 0), (TPoint{130, 40}));
    k.SetShadowWidth(40);
    EXPECT_EQ(k.ShadowWidth(), 32);
    k.SetShadowWidth(-1);
    EXPECT_EQ(k.ShadowWidth(), 0);
    k.SetShadowWidth(5);
    EXPECT_EQ(k.PlotWidth(), 75);
    EXPECT_EQ(k.ScaleControlX(1)->MarginRight(), 20 + 5 - 1);
    EXPECT_EQ(k.ScaleControlY(1)->MarginBottom(), 40 + 5 - 1);
    // Axis lines sit on the plot edges: the bottom x axis at Height − BRim − ShadowWidth.
    EXPECT_EQ(k.ScaleControlX(1)->MarginTop(), 80 - 40 - 5);
    EXPECT_EQ(k.ScaleControlY(1)->MarginRight(), 150 - 50 - 1);
    k.SetLRim(60);
    EXPECT_EQ(k.ScaleControlX(1)->MarginLeft(), 60);
    EXPECT_EQ(k.PlotBitmap().width(), 150 - 60 - 20 - 5 + 1);
    EXPECT_EQ(k.PlotBitmap().height(), 80 - 20 - 40 - 5 + 1);
    // Rims larger than the control: no plot area, yet a defined mapping.
    k.SetLRim(500);
    EXPECT_EQ(k.PlotBitmap().width(), 0);
    EXPECT_EQ(k.WorldToPixel(1, 0.3, 0).X, 75);
}

TEST_F(KartexLayers, ResizingTheWidgetMovesThePlotArea) {
    k.show();
    k.resize(400, 300);
    EXPECT_EQ(k.WorldToPixel(1, 1, 1), (TPoint{380, 20}));
    EXPECT_EQ(k.WorldToPixel(1, 0, 0), (TPoint{50, 260}));
    EXPECT_EQ(k.ScaleControlX(1)->MarginTop(), 300 - 40);
    k.Paint();
    EXPECT_EQ(k.ChartBitmap().size(), QSize(400, 300));
    EXPECT_EQ(k.PlotBitmap().size(), QSize(331, 241));
}

TEST_F(KartexLayers, IsometricKeepsOneUnitEquallyLongOnBothAxes) {
    k.SetIsometric(true);
    k.SetScaleRange(1, 0, 0, 210, 999);
    EXPECT_DOUBLE_EQ(k.Scale1Y()->RangeHigh(), 210.0 * 141 / 211);
    const TPoint a = k.WorldToPixel(1, 0, 0), b = k.WorldToPixel(1, 100, 100);
    EXPECT_NEAR(b.X - a.X, a.Y - b.Y, 1);
}

TEST_F(KartexLayers, StandardLayoutsSetRimsAndAxesButKeepNoValue) {
    k.SetStandardLayout(kxl_X2Both_Y2Both);
    EXPECT_EQ(k.StandardLayout(), kxl_X1Bottom_Y1Left);
    EXPECT_EQ(k.LRim(), 50);
    EXPECT_EQ(k.RRim(), 50);
    EXPECT_EQ(k.TRim(), 48);
    EXPECT_EQ(k.BRim(), 40);
    EXPECT_EQ(k.CaptionPosY(), -46);
    EXPECT_EQ(k.CaptionAlignment(), taCenter);
    EXPECT_TRUE(k.Scale2X()->Visible());
    EXPECT_EQ(k.Scale2X()->ScaleLocation(), slTop);
    EXPECT_EQ(k.Scale2X()->ScaleType(), sctXB);
    EXPECT_EQ(k.Scale2Y()->ScaleLocation(), slRight);
    EXPECT_EQ(k.Scale2Y()->ScaleType(), sctYL);
    EXPECT_FALSE(k.Scale3Y()->Visible());
    EXPECT_EQ(k.Scale3Y()->CaptionPosY(), -23);
    // The top axis line lies on the plot area's top edge.
    EXPECT_EQ(k.ScaleControlX(2)->MarginBottom(), 200 - 48 - 1);

    k.SetStandardLayout(kxl_X1Bottom_Y4Left);
    EXPECT_EQ(k.LRim(), 200);
    EXPECT_EQ(k.Scale4Y()->ScalePos(), 150);
    EXPECT_TRUE(k.Scale4Y()->Visible());
    EXPECT_FALSE(k.Scale2X()->Visible());
    EXPECT_EQ(k.Scale2X()->ScaleLocation(), slBottom);
    EXPECT_EQ(k.ScaleControlY(4)->MarginRight(), 150 + 280 - 200 - 1);

    k.SetStandardLayout(kxl_X2Bottom_Y2Left);
    EXPECT_EQ(k.BRim(), 70);
    EXPECT_EQ(k.Scale2X()->ScalePos(), 30);
    EXPECT_EQ(k.Scale2X()->CaptionPosX(), -20);
}

TEST_F(KartexLayers, RangeChangesRepaintOnceAtTheOutermostLevel) {
    k.show();
    ASSERT_FALSE(k.PaintSuppressed());
    int paints = 0;
    k.OnScalesRendered = [&](TKartex&, Canvas*&, int, int) { ++paints; };
    k.SetXControlledBy(2, 1);
    k.SetYControlledBy(3, 1);
    paints = 0;
    k.SetLayerRange(1, 0, 0, 10, 10);
    EXPECT_EQ(paints, 1);
    paints = 0;
    k.SetStandardLayout(kxl_X1Bottom_Y2Both);
    EXPECT_EQ(paints, 1);
    paints = 0;
    k.Scale1X()->SetMinTicks(6);
    EXPECT_EQ(paints, 1);
    paints = 0;
    k.SetAutoRedraw(false);
    k.SetScaleRange(1, 0, 0, 5, 5); // SetLayerRange's own repaint, none for AutoRedraw
    EXPECT_EQ(paints, 1);
}

} // namespace
