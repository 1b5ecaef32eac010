#include "chart/core/mouse.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

// A chart of the given size whose layers map through the real layer transform; it counts what the mouse
// does to it.
class FakeChart : public TMouseChart {
public:
    explicit FakeChart(TPlotGeometry g = {}) : geometry(g) {
        for (int k = 1; k <= 4; ++k)
            hairs.emplace_back(k);
        labels.resize(20);
        for (int layer = 1; layer <= kLayerCount; ++layer)
            Recalc(layer);
    }

    void SetRanges(int layer, TAxisRange x, TAxisRange y) {
        xr[layer - 1] = x;
        yr[layer - 1] = y;
        Recalc(layer);
    }

    TPlotGeometry Geometry() const override { return geometry; }
    TAxisRange XRange(int layer) const override { return xr[layer - 1]; }
    TAxisRange YRange(int layer) const override { return yr[layer - 1]; }
    void SetLayerRange(int layer, double xl, double yl, double xh, double yh) override {
        ++rangeCalls;
        xr[layer - 1].Low = xl, xr[layer - 1].High = xh;
        yr[layer - 1].Low = yl, yr[layer - 1].High = yh;
        Recalc(layer);
        if (!suppressed) ++repaints;
    }
    bool PaintSuppressed() const override { return suppressed; }
    void SetPaintSuppressed(bool v) override {
        if (v == suppressed) return;
        suppressed = v;
        if (!v) ++repaints;
    }
    TPoint WorldToPixel(int layer, double x, double y) const override {
        const LayerTransform& t = transforms[layer - 1];
        return TPoint{t.XToPixel(x), t.YToPixel(y)};
    }
    void PixelToWorld(int layer, int xm, int ym, double& x, double& y) const override {
        x = transforms[layer - 1].PixelToX(xm);
        y = transforms[layer - 1].PixelToY(ym);
    }
    bool MouseLayer(int layer) const override { return layer == 1; }
    bool Isometric() const override { return isometric; }
    int ActiveLayer() const override { return 1; }
    TCrossHair& CrossHair(int k) override { return hairs[k - 1]; }
    TTextLabel& TextLabel(int k) override { return labels[k - 1]; }
    void XorRectangle(int x1, int y1, int x2, int y2) override { xorRects.push_back({x1, y1, x2, y2}); }
    void SetScreenCursor(TMouseCursor c) override { cursor = c; }
    void FireMouseMoveInChart(bool inChart, TShiftState shift, double x, double y) override {
        moves.push_back({inChart, shift, x, y});
    }
    void FireZoomPan() override { ++zoomPans; }
    void FireCrossHairMove(TCrossHair& which) override { movedHairs.push_back(&which); }
    void FireTextLabelMove(TTextLabel& which) override { movedLabels.push_back(&which); }

    struct Move {
        bool inChart;
        TShiftState shift;
        double x, y;
    };

    TPlotGeometry geometry;
    std::array<TAxisRange, kLayerCount> xr{};
    std::array<TAxisRange, kLayerCount> yr{};
    std::array<LayerTransform, kLayerCount> transforms{};
    bool suppressed = false;
    bool isometric = false;
    int repaints = 0;
    int rangeCalls = 0;
    int zoomPans = 0;
    TMouseCursor cursor = mcDefault;
    std::vector<std::array<int, 4>> xorRects;
    std::vector<Move> moves;
    std::vector<TCrossHair> hairs;
    std::vector<TTextLabel> labels;
    std::vector<TCrossHair*> movedHairs;
    std::vector<TTextLabel*> movedLabels;

private:
    void Recalc(int layer) {
        transforms[layer - 1] = LayerTransform::Calc(geometry, xr[layer - 1], yr[layer - 1]);
    }
};

// PlotWidth 400, PlotHeight 200.
TPlotGeometry Plot400() {
    TPlotGeometry g;
    g.Width = 470;
    g.Height = 260;
    return g;
}

// A control 500 × 300 pixels wide.
TPlotGeometry Control500() {
    TPlotGeometry g;
    g.Width = 500;
    g.Height = 300;
    return g;
}

void Drag(TChartMouse& m, int x0, int y0, int x1, int y1) {
    m.MouseDown(mbLeft, ssLeft, x0, y0);
    m.MouseMove(ssLeft, x0, y0);
    m.MouseMove(ssLeft, x1, y1);
    m.MouseUp(mbLeft, 0, x1, y1);
}

} // namespace

TEST(Mouse, PanFollowsTheMouseFromTheGestureStart) {
    FakeChart chart(Plot400());
    chart.SetRanges(1, {0, 100}, {0, 100});
    TChartMouse mouse(chart);
    mouse.SetMouseAction(maPan);

    mouse.MouseMove(ssLeft, 100, 100); // records the start
    EXPECT_EQ(chart.rangeCalls, 0);
    mouse.MouseMove(ssLeft, 120, 100);
    mouse.MouseMove(ssLeft, 140, 150);
    EXPECT_DOUBLE_EQ(chart.xr[0].Low, -10);
    EXPECT_DOUBLE_EQ(chart.xr[0].High, 90);
    // Dragging down by a quarter of PlotHeight moves the data down.
    EXPECT_DOUBLE_EQ(chart.yr[0].Low, 25);
    EXPECT_DOUBLE_EQ(chart.yr[0].High, 125);
    // One repaint and one event per step; only the mouse layer changes.
    EXPECT_EQ(chart.repaints, 2);
    EXPECT_EQ(chart.zoomPans, 2);
    EXPECT_EQ(chart.xr[1].High, 1);
    EXPECT_FALSE(chart.suppressed);
}

TEST(Mouse, PanOneAxisAndLogarithmicPan) {
    FakeChart chart(Plot400());
    chart.SetRanges(1, {1, 100, true}, {0, 100});
    TChartMouse mouse(chart);
    mouse.SetMouseAction(maPanHoriz);
    mouse.MouseMove(ssLeft, 100, 100);
    mouse.MouseMove(ssLeft, 300, 150); // half the plot width to the right: one decade down
    EXPECT_NEAR(chart.xr[0].Low, 0.1, 1e-12);
    EXPECT_NEAR(chart.xr[0].High, 10, 1e-12);
    EXPECT_EQ(chart.yr[0].Low, 0);
    EXPECT_EQ(chart.yr[0].High, 100);

    mouse.SetMouseAction(maPanVert);
    mouse.MouseMove(0, 100, 100); // button up ends the gesture
    mouse.MouseMove(ssLeft, 100, 100);
    mouse.MouseMove(ssLeft, 200, 50);
    EXPECT_NEAR(chart.xr[0].Low, 0.1, 1e-12);
    EXPECT_DOUBLE_EQ(chart.yr[0].Low, -25);
    EXPECT_DOUBLE_EQ(chart.yr[0].High, 75);
}

TEST(Mouse, MovesOutsideThePlotAreaOrWithoutTheButtonChangeNothing) {
    FakeChart chart(Plot400());
    chart.SetRanges(1, {0, 100}, {0, 100});
    TChartMouse mouse(chart);
    mouse.SetMouseAction(maPan);
    mouse.MouseMove(ssLeft, 100, 100);
    mouse.MouseMove(ssLeft, 460, 100); // right of the plot area (it ends at 450)
    mouse.MouseMove(ssLeft, 100, 10);  // above it
    EXPECT_EQ(chart.rangeCalls, 0);
    mouse.MouseMove(0, 200, 100);
    EXPECT_FALSE(mouse.DragStarted());
    EXPECT_EQ(chart.rangeCalls, 0);
    EXPECT_EQ(chart.zoomPans, 0);

    // A click without a move changes nothing in any mode.
    for (TMouseActMode m : {maPan, maZoomDrag, maZoomWind, maZoomWindPos, maDragCrossH, maDragLabel}) {
        mouse.SetMouseAction(m);
        mouse.MouseDown(mbLeft, ssLeft, 200, 100);
        mouse.MouseUp(mbLeft, 0, 200, 100);
    }
    EXPECT_EQ(chart.rangeCalls, 0);
    EXPECT_EQ(chart.xr[0].High, 100);
}

TEST(Mouse, ZoomDragNarrowsAndWidensAboutTheCentre) {
    FakeChart chart(Control500());
    chart.SetRanges(1, {0, 100}, {0, 100});
    TChartMouse mouse(chart);
    mouse.SetMouseAction(maZoomDrag);

    Drag(mouse, 200, 150, 300, 150);
    EXPECT_DOUBLE_EQ(chart.xr[0].Low, 10);
    EXPECT_DOUBLE_EQ(chart.xr[0].High, 90);
    EXPECT_DOUBLE_EQ(chart.yr[0].Low, 0);
    EXPECT_DOUBLE_EQ(chart.yr[0].High, 100);
    EXPECT_EQ(chart.repaints, 1);
    EXPECT_EQ(chart.zoomPans, 1);

    chart.SetRanges(1, {0, 100}, {0, 100});
    mouse.MouseMove(0, 300, 150);
    Drag(mouse, 300, 150, 200, 150);
    EXPECT_DOUBLE_EQ(chart.xr[0].Low, -10);
    EXPECT_DOUBLE_EQ(chart.xr[0].High, 110);

    // Straight up by a quarter of the control's height: three quarters of the y range.
    chart.SetRanges(1, {0, 100}, {-20, 20});
    mouse.MouseMove(0, 200, 200);
    Drag(mouse, 200, 200, 200, 125);
    EXPECT_DOUBLE_EQ(chart.xr[0].Low, 0);
    EXPECT_DOUBLE_EQ(chart.xr[0].High, 100);
    EXPECT_DOUBLE_EQ(chart.yr[0].Low, -15);
    EXPECT_DOUBLE_EQ(chart.yr[0].High, 15);

    // Isometric: the vertical factor is the horizontal one.
    chart.isometric = true;
    chart.SetRanges(1, {0, 100}, {0, 100});
    mouse.MouseMove(0, 200, 150);
    Drag(mouse, 200, 150, 300, 60);
    EXPECT_DOUBLE_EQ(chart.yr[0].Low, 10);
    EXPECT_DOUBLE_EQ(chart.yr[0].High, 90);
}

TEST(Mouse, ZoomDragStepWithoutPositiveFactorIsSkipped) {
    FakeChart chart(Control500());
    chart.SetRanges(1, {0, 100}, {0, 100});
    TChartMouse mouse(chart);
    mouse.SetMouseAction(maZoomDrag);
    // A start far left of the control (the mouse was captured) and a move back inside.
    mouse.MouseMove(ssLeft, -600, 150);
    mouse.MouseMove(ssLeft, 100, 150); // factor 1 − 700/500 < 0
    mouse.MouseMove(ssLeft, -100 + 600, 150);
    EXPECT_EQ(chart.rangeCalls, 0);
    EXPECT_EQ(chart.zoomPans, 0);
    EXPECT_EQ(chart.repaints, 0);
    mouse.MouseMove(0, 100, 150);
    mouse.MouseMove(ssLeft, 100, 700); // start below
    mouse.MouseMove(ssLeft, 100, 100); // factor 1 − 600/300 < 0
    EXPECT_EQ(chart.rangeCalls, 0);
}

TEST(Mouse, ChangingTheModeMidDragKeepsTheRecordedStart) {
    FakeChart chart(Control500());
    chart.SetRanges(1, {0, 100}, {0, 100});
    TChartMouse mouse(chart);
    mouse.SetMouseAction(maPan);
    mouse.MouseMove(ssLeft, 200, 150);
    mouse.MouseMove(ssLeft, 243, 150); // PlotWidth 430: a pan by 10
    EXPECT_DOUBLE_EQ(chart.xr[0].Low, -10);
    mouse.SetMouseAction(maZoomDrag);
    mouse.MouseMove(ssLeft, 300, 150); // zooms the ranges of the start by 100 pixels
    EXPECT_DOUBLE_EQ(chart.xr[0].Low, 10);
    EXPECT_DOUBLE_EQ(chart.xr[0].High, 90);
}

TEST(Mouse, ZoomWindowSetsTheRangesOfItsCorners) {
    FakeChart chart(Plot400()); // plot area x 50 … 450, y 20 … 220
    chart.SetRanges(1, {0, 400}, {0, 200});
    TChartMouse mouse(chart);
    mouse.SetMouseAction(maZoomWind);

    mouse.MouseDown(mbLeft, ssLeft, 100, 70);
    EXPECT_TRUE(mouse.ZoomWindowActive());
    mouse.MouseMove(ssLeft, 150, 100);
    mouse.MouseMove(ssLeft, 250, 170);
    // Each move erases the previous exclusive-or rectangle before drawing the new one.
    ASSERT_EQ(chart.xorRects.size(), 3u);
    EXPECT_EQ(chart.xorRects[1], chart.xorRects[0]);
    EXPECT_EQ(chart.xorRects[2], (std::array<int, 4>{100, 70, 250, 170}));
    mouse.MouseUp(mbLeft, 0, 250, 170);
    EXPECT_EQ(chart.xorRects.size(), 4u);
    EXPECT_FALSE(mouse.ZoomWindowActive());
    // Drawn from the top-left corner downwards: the y axis comes out mirrored.
    EXPECT_DOUBLE_EQ(chart.xr[0].Low, 50);
    EXPECT_DOUBLE_EQ(chart.xr[0].High, 200);
    EXPECT_DOUBLE_EQ(chart.yr[0].Low, 150);
    EXPECT_DOUBLE_EQ(chart.yr[0].High, 50);
    EXPECT_EQ(chart.zoomPans, 1);
    EXPECT_EQ(chart.repaints, 1);

    // The keeping kind orders each pair like the current range, and clamps the corner into the plot area.
    chart.SetRanges(1, {0, 400}, {0, 200});
    mouse.SetMouseAction(maZoomWindPos);
    mouse.MouseDown(mbLeft, ssLeft, 250, 70);
    mouse.MouseMove(ssLeft, 10, 500);
    mouse.MouseUp(mbLeft, 0, 10, 500);
    EXPECT_DOUBLE_EQ(chart.xr[0].Low, 0);
    EXPECT_DOUBLE_EQ(chart.xr[0].High, 200);
    EXPECT_DOUBLE_EQ(chart.yr[0].Low, 0);
    EXPECT_DOUBLE_EQ(chart.yr[0].High, 150);
}

TEST(Mouse, ZoomWindowThatIsDegenerateOrCancelledChangesNothing) {
    FakeChart chart(Plot400());
    chart.SetRanges(1, {0, 400}, {0, 200});
    TChartMouse mouse(chart);
    mouse.SetMouseAction(maZoomWind);

    mouse.MouseDown(mbLeft, ssLeft, 100, 70); // a vertical line
    mouse.MouseMove(ssLeft, 100, 170);
    mouse.MouseUp(mbLeft, 0, 100, 170);
    EXPECT_EQ(chart.rangeCalls, 0);
    EXPECT_EQ(chart.xorRects.size() % 2, 0u) << "the rectangle must not stay on the screen";

    mouse.MouseDown(mbLeft, ssLeft, 100, 70); // cancelled with the right button
    mouse.MouseMove(ssLeft, 200, 170);
    mouse.MouseUp(mbRight, 0, 200, 170);
    EXPECT_FALSE(mouse.ZoomWindowActive());
    EXPECT_EQ(chart.rangeCalls, 0);
    EXPECT_EQ(chart.xorRects.size() % 2, 0u);

    mouse.MouseDown(mbLeft, ssLeft, 20, 70); // a press outside the plot area starts nothing
    EXPECT_FALSE(mouse.ZoomWindowActive());
    mouse.MouseDown(mbRight, ssRight, 100, 70);
    EXPECT_FALSE(mouse.ZoomWindowActive());
    mouse.MouseDown(mbLeft, ssLeft, 100, 70); // the middle button does not end it
    mouse.MouseUp(mbMiddle, 0, 100, 70);
    EXPECT_TRUE(mouse.ZoomWindowActive());
}

TEST(Mouse, CursorByModeInsideThePlotArea) {
    FakeChart chart(Plot400());
    TChartMouse mouse(chart);
    struct Case {
        TMouseActMode mode;
        TMouseCursor cursor;
    };
    mouse.SetMouseCursorFixed(false);
    for (Case c :
         {Case{maNone, mcCross}, Case{maPan, mcHand}, Case{maPanHoriz, mcHand}, Case{maPanVert, mcHand},
          Case{maZoomWind, mcZoomWind}, Case{maZoomWindPos, mcZoomWindPos}, Case{maZoomDrag, mcZoomDrag},
          Case{maDragCrossH, mcDefault}, Case{maDragLabel, mcDefault}}) {
        mouse.SetMouseAction(c.mode);
        mouse.MouseMove(0, 100, 100);
        EXPECT_EQ(chart.cursor, c.cursor) << int(c.mode);
        mouse.MouseMove(0, 10, 100);
        EXPECT_EQ(chart.cursor, mcDefault) << int(c.mode);
    }
    // The other modes leave the cursor as it is.
    mouse.SetMouseAction(maZoomDrag);
    mouse.MouseMove(0, 100, 100);
    mouse.SetMouseAction(maRotate);
    mouse.MouseMove(0, 110, 100);
    EXPECT_EQ(chart.cursor, mcZoomDrag);
    mouse.MouseLeave();
    EXPECT_EQ(chart.cursor, mcDefault);

    mouse.SetMouseCursorFixed(true);
    for (TMouseActMode m : {maNone, maPan, maZoomWind, maZoomWindPos, maZoomDrag}) {
        chart.cursor = mcHand;
        mouse.SetMouseAction(m);
        mouse.MouseMove(0, 100, 100);
        EXPECT_EQ(chart.cursor, mcDefault);
    }
}

TEST(Mouse, EveryMoveReportsTheWorldPosition) {
    FakeChart chart(Plot400());
    chart.SetRanges(1, {0, 400}, {0, 200});
    TChartMouse mouse(chart);
    mouse.MouseMove(ssShift, 150, 120);
    mouse.MouseMove(0, 450, 220); // corner of the plot area: still inside
    mouse.MouseMove(0, 451, 220);
    ASSERT_EQ(chart.moves.size(), 3u);
    EXPECT_TRUE(chart.moves[0].inChart);
    EXPECT_EQ(chart.moves[0].shift, ssShift);
    EXPECT_DOUBLE_EQ(chart.moves[0].x, 100);
    EXPECT_DOUBLE_EQ(chart.moves[0].y, 100);
    EXPECT_TRUE(chart.moves[1].inChart);
    EXPECT_FALSE(chart.moves[2].inChart);
}

TEST(Mouse, CrossHairDragMovesTheNearestOne) {
    FakeChart chart(Plot400());
    chart.SetRanges(1, {0, 400}, {0, 200});
    chart.SetRanges(2, {0, 400}, {0, 200});
    chart.SetRanges(3, {0, 400}, {0, 200});
    chart.hairs[1].SetMode(chVert);
    chart.hairs[1].SetPosX(100); // pixel x 150
    chart.hairs[2].SetMode(chHoriz);
    chart.hairs[2].SetPosY(160); // pixel y 60
    TChartMouse mouse(chart);
    mouse.SetMouseAction(maDragCrossH);

    mouse.MouseMove(ssLeft, 148, 100);
    EXPECT_EQ(mouse.SelectedCrossHair(), 2);
    chart.hairs[1].OnChange = [&](TCrossHair&) { EXPECT_TRUE(chart.suppressed); };
    mouse.MouseMove(ssLeft, 250, 120);
    EXPECT_DOUBLE_EQ(chart.hairs[1].PosX(), 200);
    EXPECT_DOUBLE_EQ(chart.hairs[1].PosY(), 100);
    ASSERT_EQ(chart.movedHairs.size(), 1u);
    EXPECT_EQ(chart.movedHairs[0], &chart.hairs[1]);
    EXPECT_EQ(chart.repaints, 1);
    chart.hairs[1].OnChange = nullptr;

    mouse.MouseMove(0, 150, 62);
    mouse.MouseMove(ssLeft, 150, 62); // 2 pixels from the horizontal line, 100 from the vertical one
    EXPECT_EQ(mouse.SelectedCrossHair(), 3);
    mouse.MouseMove(0, 248, 62);
    mouse.MouseMove(ssLeft, 248, 62); // 2 pixels from both: the first in order wins
    EXPECT_EQ(mouse.SelectedCrossHair(), 2);

    for (auto& h : chart.hairs)
        h.SetMode(chOff);
    mouse.MouseMove(0, 300, 62);
    mouse.MouseMove(ssLeft, 300, 62);
    EXPECT_EQ(mouse.SelectedCrossHair(), 1);
}

TEST(Mouse, LabelDragMovesTheNearestVisibleLabel) {
    FakeChart chart(Plot400());
    chart.SetRanges(1, {0, 400}, {0, 200});
    chart.labels[0].SetMode(tlOff); // would be nearest, but is off
    chart.labels[0].SetAttachToData(false);
    chart.labels[0].SetPosX(100);
    chart.labels[0].SetPosY(100);
    chart.labels[4].SetMode(tlBox); // pixel anchor (120, 100)
    chart.labels[4].SetAttachToData(false);
    chart.labels[4].SetPosX(120);
    chart.labels[4].SetPosY(100);
    chart.labels[6].SetMode(tlBox); // world (100, 100) = pixel (150, 120)
    chart.labels[6].SetPosX(100);
    chart.labels[6].SetPosY(100);
    TChartMouse mouse(chart);
    mouse.SetMouseAction(maDragLabel);

    mouse.MouseMove(ssLeft, 102, 101);
    EXPECT_EQ(mouse.SelectedTextLabel(), 5);
    mouse.MouseMove(ssLeft, 200, 150);
    EXPECT_EQ(chart.labels[4].PosX(), 200); // pixels, as the label is not attached to data
    EXPECT_EQ(chart.labels[4].PosY(), 150);

    mouse.MouseMove(0, 160, 125);
    mouse.MouseMove(ssLeft, 160, 125);
    EXPECT_EQ(mouse.SelectedTextLabel(), 7);
    mouse.MouseMove(ssLeft, 250, 70);
    EXPECT_DOUBLE_EQ(chart.labels[6].PosX(), 200);
    EXPECT_DOUBLE_EQ(chart.labels[6].PosY(), 150);
    ASSERT_EQ(chart.movedLabels.size(), 2u);
    EXPECT_EQ(chart.movedLabels[1], &chart.labels[6]);
}
