#include "chart/core/mouse.h"
#include "chart/core/paint_suppression.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool InPlot(const TPlotGeometry& g, int x, int y) {
    return x >= g.LRim && x <= g.PlotRight() && y >= g.TRim && y <= g.PlotBottom();
}

double Square(double v) {
    return v * v;
}

} // namespace

void TChartMouse::MouseDown(TMouseButton button, TShiftState, int x, int y) {
    if ((action_ == maZoomWind || action_ == maZoomWindPos) && !zoomWindow_ && button == mbLeft &&
        InPlot(chart_.Geometry(), x, y)) {
        zoomWindow_ = true;
        winX0_ = winX1_ = x;
        winY0_ = winY1_ = y;
    }
}

void TChartMouse::MouseMove(TShiftState shift, int x, int y) {
    MoveAction(shift, x, y);
    ChooseCursor(x, y);
    double wx = 0, wy = 0;
    chart_.PixelToWorld(chart_.ActiveLayer(), x, y, wx, wy);
    chart_.FireMouseMoveInChart(InPlot(chart_.Geometry(), x, y), shift, wx, wy);
}

void TChartMouse::MouseUp(TMouseButton button, TShiftState, int, int) {
    if (!zoomWindow_) return;
    if (button == mbRight) {
        HideRectangle();
        zoomWindow_ = false;
    } else if (button == mbLeft) {
        // The rectangle goes in every case; a degenerate one would otherwise stay on the screen.
        HideRectangle();
        zoomWindow_ = false;
        if (winX0_ != winX1_ && winY0_ != winY1_) ApplyZoomWindow();
    }
}

void TChartMouse::MouseLeave() {
    chart_.SetScreenCursor(mcDefault);
}

void TChartMouse::MoveAction(TShiftState shift, int x, int y) {
    switch (action_) {
    case maPan:
    case maPanHoriz:
    case maPanVert:
    case maZoomDrag:
    case maDragCrossH:
    case maDragLabel:
        break;
    case maZoomWind:
    case maZoomWindPos:
        if (zoomWindow_) ZoomWindowMove(x, y);
        return;
    default:
        return;
    }

    if (!(shift & ssLeft)) {
        dragStarted_ = false;
        return;
    }
    if (!dragStarted_) {
        RecordStart(x, y);
        if (action_ == maDragCrossH)
            SelectCrossHair(x, y);
        else if (action_ == maDragLabel)
            SelectLabel(x, y);
        return;
    }
    if (action_ == maDragCrossH)
        CrossHairStep(x, y);
    else if (action_ == maDragLabel)
        LabelStep(x, y);
    else if (InPlot(chart_.Geometry(), x, y)) {
        if (action_ == maZoomDrag)
            ZoomDragStep(x, y);
        else
            PanStep(x, y);
    }
}

void TChartMouse::RecordStart(int x, int y) {
    startX_ = x;
    startY_ = y;
    for (int layer = 1; layer <= kLayerCount; ++layer) {
        const TAxisRange xr = chart_.XRange(layer);
        const TAxisRange yr = chart_.YRange(layer);
        start_[layer - 1] = StartRanges{xr.Low, xr.High, yr.Low, yr.High};
    }
    dragStarted_ = true;
}

void TChartMouse::PanStep(int x, int y) {
    const TPlotGeometry g = chart_.Geometry();
    const int w = g.PlotWidth();
    const int h = g.PlotHeight();
    {
        PaintSuppression bracket(chart_);
        for (int layer = 1; layer <= kLayerCount; ++layer) {
            if (!chart_.MouseLayer(layer)) continue;
            const StartRanges& s = start_[layer - 1];
            const TAxisRange xr = chart_.XRange(layer);
            const TAxisRange yr = chart_.YRange(layer);
            double xl = xr.Low, xh = xr.High, yl = yr.Low, yh = yr.High;
            // A plot area without extent has no pixel scale to pan by: that axis stays.
            if (action_ != maPanVert && w > 0) {
                if (xr.Logarithmic) {
                    const double f = std::pow(xr.High / xr.Low, double(startX_ - x) / w);
                    if (f > 0 && std::isfinite(f)) xl = s.xl * f, xh = s.xh * f;
                } else {
                    const double d = (xr.High - xr.Low) * (x - startX_) / w;
                    xl = s.xl - d, xh = s.xh - d;
                }
            }
            if (action_ != maPanHoriz && h > 0) {
                if (yr.Logarithmic) {
                    const double f = std::pow(yr.High / yr.Low, double(y - startY_) / h);
                    if (f > 0 && std::isfinite(f)) yl = s.yl * f, yh = s.yh * f;
                } else {
                    const double e = (yr.High - yr.Low) * (y - startY_) / h;
                    yl = s.yl + e, yh = s.yh + e;
                }
            }
            chart_.SetLayerRange(layer, xl, yl, xh, yh);
        }
    }
    chart_.FireZoomPan();
}

void TChartMouse::ZoomDragStep(int x, int y) {
    const TPlotGeometry g = chart_.Geometry();
    if (g.Width <= 0 || g.Height <= 0) return;
    const double fx = 1.0 - double(x - startX_) / g.Width;
    const double fy = chart_.Isometric() ? fx : 1.0 + double(y - startY_) / g.Height;
    // Only a start recorded far outside the control gives such factors: the step would turn the range
    // over or collapse it, so it is left out.
    if (!(fx > 0) || !(fy > 0)) return;
    {
        PaintSuppression bracket(chart_);
        for (int layer = 1; layer <= kLayerCount; ++layer) {
            if (!chart_.MouseLayer(layer)) continue;
            const StartRanges& s = start_[layer - 1];
            const double cx = (s.xl + s.xh) / 2, cy = (s.yl + s.yh) / 2;
            const double hx = (s.xh - s.xl) * fx / 2, hy = (s.yh - s.yl) * fy / 2;
            chart_.SetLayerRange(layer, cx - hx, cy - hy, cx + hx, cy + hy);
        }
    }
    chart_.FireZoomPan();
}

void TChartMouse::ZoomWindowMove(int x, int y) {
    const TPlotGeometry g = chart_.Geometry();
    x = std::clamp(x, g.LRim, std::max(g.LRim, g.PlotRight()));
    y = std::clamp(y, g.TRim, std::max(g.TRim, g.PlotBottom()));
    if (chart_.Isometric()) {
        if (static_cast<long long>(y - winY0_) * (x - winX0_) < 1)
            y = winY0_ + (winX0_ - x);
        else
            y = winY0_ + (x - winX0_);
        y = std::clamp(y, g.TRim, std::max(g.TRim, g.PlotBottom()));
    }
    HideRectangle();
    ShowRectangle(x, y);
}

void TChartMouse::ShowRectangle(int x, int y) {
    chart_.XorRectangle(winX0_, winY0_, x, y);
    winX1_ = x;
    winY1_ = y;
    rectShown_ = true;
}

void TChartMouse::HideRectangle() {
    if (rectShown_) chart_.XorRectangle(winX0_, winY0_, winX1_, winY1_);
    rectShown_ = false;
}

void TChartMouse::ApplyZoomWindow() {
    {
        PaintSuppression bracket(chart_);
        for (int layer = 1; layer <= kLayerCount; ++layer) {
            if (!chart_.MouseLayer(layer)) continue;
            double xa, ya, xb, yb;
            chart_.PixelToWorld(layer, winX0_, winY0_, xa, ya);
            chart_.PixelToWorld(layer, winX1_, winY1_, xb, yb);
            if (action_ == maZoomWindPos) {
                const TAxisRange xr = chart_.XRange(layer);
                const TAxisRange yr = chart_.YRange(layer);
                if ((xb < xa && xr.Low < xr.High) || (xb > xa && xr.Low > xr.High)) std::swap(xa, xb);
                if ((yb < ya && yr.Low < yr.High) || (yb > ya && yr.Low > yr.High)) std::swap(ya, yb);
            }
            chart_.SetLayerRange(layer, xa, ya, xb, yb);
        }
    }
    chart_.FireZoomPan();
}

void TChartMouse::SelectCrossHair(int x, int y) {
    selectedCrossHair_ = 1;
    double best = std::numeric_limits<double>::infinity();
    for (int k = 1; k <= 4; ++k) {
        const TCrossHair& hair = chart_.CrossHair(k);
        const TPoint c = chart_.WorldToPixel(hair.Layer(), hair.PosX(), hair.PosY());
        double d = std::numeric_limits<double>::infinity();
        if (hair.HasVertLine()) d = std::min(d, Square(double(c.X) - x));
        if (hair.HasHorizLine()) d = std::min(d, Square(double(c.Y) - y));
        if (d < best) {
            best = d;
            selectedCrossHair_ = k;
        }
    }
}

void TChartMouse::SelectLabel(int x, int y) {
    selectedLabel_ = 1;
    double best = std::numeric_limits<double>::infinity();
    for (int k = 1; k <= 20; ++k) {
        const TTextLabel& label = chart_.TextLabel(k);
        if (label.Mode() == tlOff) continue;
        const TPoint p = TextLabelAnchor(
            label, [this](int layer, double wx, double wy) { return chart_.WorldToPixel(layer, wx, wy); });
        const double d = Square(double(p.X) - x) + Square(double(p.Y) - y);
        if (d < best) {
            best = d;
            selectedLabel_ = k;
        }
    }
}

void TChartMouse::CrossHairStep(int x, int y) {
    TCrossHair& hair = chart_.CrossHair(selectedCrossHair_);
    double wx, wy;
    chart_.PixelToWorld(hair.Layer(), x, y, wx, wy);
    {
        // Both setters notify; the chart shows the new place once.
        PaintSuppression bracket(chart_);
        hair.SetPosX(wx);
        hair.SetPosY(wy);
    }
    chart_.FireCrossHairMove(hair);
}

void TChartMouse::LabelStep(int x, int y) {
    TTextLabel& label = chart_.TextLabel(selectedLabel_);
    double px = x, py = y;
    if (label.AttachToData()) chart_.PixelToWorld(label.Layer(), x, y, px, py);
    {
        PaintSuppression bracket(chart_);
        label.SetPosX(px);
        label.SetPosY(py);
    }
    chart_.FireTextLabelMove(label);
}

void TChartMouse::ChooseCursor(int x, int y) {
    if (cursorFixed_ || !InPlot(chart_.Geometry(), x, y)) {
        chart_.SetScreenCursor(mcDefault);
        return;
    }
    switch (action_) {
    case maNone:
        chart_.SetScreenCursor(mcCross);
        break;
    case maPan:
    case maPanHoriz:
    case maPanVert:
        chart_.SetScreenCursor(mcHand);
        break;
    case maZoomWind:
        chart_.SetScreenCursor(mcZoomWind);
        break;
    case maZoomWindPos:
        chart_.SetScreenCursor(mcZoomWindPos);
        break;
    case maZoomDrag:
        chart_.SetScreenCursor(mcZoomDrag);
        break;
    case maDragCrossH:
    case maDragLabel:
        chart_.SetScreenCursor(mcDefault);
        break;
    default:
        break; // the other modes leave the cursor as it is
    }
}
