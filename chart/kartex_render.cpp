// TKartex: the paint passes. Everything is drawn into ChartBitmap and PlotBitmap; the widget's paint
// event only copies the finished ChartBitmap to the screen.

#include "chart/kartex.h"

#include "chart/core/colors.h"
#include "chart/overlays.h"

#include <QImageReader>

#include <algorithm>
#include <cmath>

void TKartex::Paint() {
    if (!isVisible() || paintSuppressed_) return;
    dirty_ = false;
    RenderScales(chartCanvas_);
    RenderPlotBackground(plotCanvas_, 0, 0);
    RenderData(plotCanvas_, 0, 0, false, false);
    chartCanvas_.Draw(geom_.LRim, geom_.TRim, plotCanvas_.Image());
    ShowWithCrossHairs(0, 0, chartCanvas_);
    if (OnShown) OnShown(*this);
}

const TLineRunIndex& TKartex::IndexedList::Sync() {
    if (Store->Generation() != Generation || Store->ItemCount() < Index.Count()) {
        Index.Clear();
        Reductions.clear();
        Generation = Store->Generation();
    }
    Index.Append(Store->Items(), Store->ItemCount());
    return Index;
}

TKartex::IndexedList& TKartex::ListOf(int series) {
    return series <= 0 ? main_ : series_.at(static_cast<std::size_t>(series - 1))->List;
}

TYRange TKartex::SeriesYRange(int series, int lo, int hi) {
    IndexedList& list = ListOf(series);
    const TLineRunIndex& index = list.Sync();
    lo = std::clamp(lo, 0, list.Store->ItemCount());
    hi = std::clamp(hi, lo, list.Store->ItemCount());
    return index.YRangeOf(list.Store->Items(), lo, hi);
}

TYRange TKartex::ItemYRange(int lo, int hi) {
    return SeriesYRange(0, lo, hi);
}

std::size_t TKartex::RunIndexBytes() {
    std::size_t bytes = 0;
    for (int s = 0; s < SeriesCount(); ++s)
        bytes += ListOf(s).Sync().MemoryBytes();
    return bytes;
}

void TKartex::Redraw() {
    if (isVisible()) {
        store_.Publish();
        if (autoRedraw_ && !dirty_) {
            RenderPlotBackground(plotCanvas_, 0, 0);
            RenderData(plotCanvas_, 0, 0, false, false);
            ShowWithCrossHairs(geom_.LRim, geom_.TRim, plotCanvas_);
            if (OnShown) OnShown(*this);
        } else {
            // Without AutoRedraw, or when scales and frame were never rendered at this size: all of it.
            dirty_ = true;
            Paint();
        }
    }
    for (TItemStore* partner : store_.Partners())
        if (partner->OnPartnerRepaint) partner->OnPartnerRepaint();
}

void TKartex::RenderScales(Canvas& c) {
    const int W = geom_.Width, H = geom_.Height, s = geom_.ShadowWidth;
    chartCanvas_.SetSize(W, H);
    if (&c == &chartCanvas_) mouse_.PictureReplaced();
    c.SetPenStyle(psSolid);
    c.SetPenMode(pmCopy);
    c.SetPenWidth(1);
    c.SetPenColor(windColor_);
    c.SetBrushColor(windColor_);
    c.SetBrushStyle(bsSolid);
    // The background of the rims: the plot area is left to the plot picture, which covers it whole.
    const int px1 = std::clamp(geom_.LRim, 0, W), py1 = std::clamp(geom_.TRim, 0, H);
    const int px2 = std::clamp(geom_.LRim + std::max(PlotWidth() + 1, 0), px1, W);
    const int py2 = std::clamp(geom_.TRim + std::max(PlotHeight() + 1, 0), py1, H);
    c.FillRect(0, 0, W, py1);
    c.FillRect(0, py1, px1, py2);
    c.FillRect(px2, py1, W, py2);
    c.FillRect(0, py2, W, H);
    if (s > 0) {
        c.SetPenColor(shadowBakColor_);
        c.SetBrushColor(shadowBakColor_);
        c.Rectangle(W - s, 0, W, s);
        c.Rectangle(0, H - s, s, H);
        c.SetBrushColor(shadowColor_);
        const bool flying = shadowStyle_ == ssFlying;
        c.SetPenColor(flying ? shadowColor_ : clBlack);
        const int e = flying ? s - 1 : 0;
        const TPoint bottom[4] = {{e, H - s}, {s - 1, H - 1}, {W - 1, H - 1}, {W - s, H - s}};
        c.Polygon(bottom, 4);
        const TPoint right[4] = {{W - s, H - s}, {W - 1, H - 1}, {W - 1, s - 1}, {W - s, e}};
        c.Polygon(right, 4);
        c.SetPenColor(clBlack);
        c.MoveTo(0, 0);
        c.LineTo(W - s, 0);
        c.LineTo(W - s, H - s);
        c.LineTo(0, H - s);
        c.LineTo(0, 0);
    }
    if (!caption_.empty()) {
        c.SetBrushStyle(bsClear);
        c.SetFont(font_);
        const int tw = c.TextWidth(caption_);
        const int xs[5] = {0, geom_.LRim, geom_.LRim + PlotWidth() / 2, W - geom_.RRim - s, W};
        const int ys[5] = {0, geom_.TRim, geom_.TRim + PlotHeight() / 2, H - geom_.BRim, H};
        int x = captionPosX_ + xs[std::min<int>(captionAnchorHoriz_, 4)];
        const int y = captionPosY_ + ys[std::min<int>(captionAnchorVert_, 4)];
        if (captionAlignment_ == taRightJustify) x -= tw;
        if (captionAlignment_ == taCenter) x -= tw / 2;
        c.TextOut(x, y, caption_);
        c.SetBrushStyle(bsSolid);
    }
    CalcMapping();
    for (int pass = 0; pass < 2; ++pass)
        for (int n = 1; n <= kLayers; ++n) {
            TScale& sc = pass == 0 ? *L(n).xScale : *L(n).yScale;
            sc.SetTargetCanvas(&c, 0, 0);
            sc.PaintNow();
        }
    if (OnScalesRendered) {
        Canvas* target = &c;
        OnScalesRendered(*this, target, 0, 0);
    }
}

void TKartex::RenderPlotBackground(Canvas& c, int x0, int y0) {
    ResizePlotBitmap();
    const int w = plotCanvas_.Width(), h = plotCanvas_.Height();
    c.SetPenStyle(psSolid);
    c.SetPenMode(pmCopy);
    c.SetPenWidth(1);
    c.SetPenColor(chartFrameColor_);
    c.SetBrushStyle(bsSolid);
    c.SetBrushColor(chartColor_);
    const auto plain = [&] { c.Rectangle(x0, y0, x0 + w, y0 + h); };
    const std::string& name = backGroundImg_.Name();
    if (name.empty()) return plain();
    QImageReader reader(QString::fromStdString(name));
    QImage img = reader.read();
    if (img.isNull()) {
        // A picture that cannot be read is dropped for good, without a message.
        plain();
        backGroundImg_.ForgetName();
        return;
    }
    imageBitmap_ = img.convertToFormat(QImage::Format_RGB32);
    const int iw = imageBitmap_.width(), ih = imageBitmap_.height();
    switch (backGroundImg_.FillMode()) {
    case bfSimple:
        c.Rectangle(0, 0, w, h);
        c.Draw(0, 0, imageBitmap_);
        break;
    case bfStretch:
        c.StretchDraw(QRect(0, 0, w, h), imageBitmap_);
        break;
    case bfTile:
        for (int k = 1; k <= (w - 1) / iw + 1; ++k)
            for (int r = 0; r <= (h - 1) / ih; ++r)
                c.Draw(iw * (k - 1), ih * r, imageBitmap_);
        break;
    }
}

void TKartex::RenderData(Canvas& canvas, int x0, int y0, bool mono, bool noGrid) {
    Canvas* c = &canvas;
    const int top = geom_.TRim - y0, left = geom_.LRim - x0;
    if (OnBeforeRenderData) {
        const TColor brush = c->BrushColor(), pen = c->PenColor();
        OnBeforeRenderData(*this, c, top, left);
        c->SetBrushColor(brush);
        c->SetPenColor(pen);
    }
    if (gridStyle_ != gsNone && !noGrid) DrawGrid(*c, x0, y0);

    TDataPass pass;
    pass.Transforms = &transforms_;
    pass.Geometry = geom_;
    pass.X0 = x0;
    pass.Y0 = y0;
    pass.Mono = mono;
    pass.ChartColor = chartColor_;
    pass.LineWidth = store_.LineWidth();
    pass.TextFontStyle = textFontStyle_;
    pass.TextBkStyle = textBkStyle_;
    pass.TextBkColor = textBkColor_;
    pass.TextAlignment = textAlignment_;
    pass.ClassVisible = &classVisible_;
    pass.LayerVisible = &layerVisible_;
    pass.SkipHidden = skipHidden_;
    c->SetFont(font_);
    const bool banded = Banded();
    const bool xy = xySeries_ >= 0 && xySeries_ < SeriesCount();
    if (xy) RenderXY(*c, x0, y0, mono);
    for (int s = 0; s < SeriesCount() && !xy; ++s) {
        IndexedList& list = ListOf(s);
        pass.Runs = lineReduction_ ? &list.Sync() : nullptr;
        pass.Reductions = lineReduction_ ? &list.Reductions : nullptr;
        const int count = list.Store->ItemCount();
        if (!banded || count == 0) {
            RenderItems(*c, pass, list.Store->Items(), count);
            continue;
        }
        // A series in a band is drawn on the band's rows of the same picture: a canvas over them clips
        // it there, as the picture's edges clip the others.
        const auto [first, last] = BandRows(list.Store->Item(0).Layer);
        QImage& whole = c->Image();
        const int rows = std::min(last + 1, whole.height() - y0) - first;
        if (rows <= 0) continue;
        QImage band(whole.scanLine(y0 + first), whole.width(), rows, whole.bytesPerLine(), whole.format());
        Canvas bandCanvas(&band);
        bandCanvas.SetFont(font_);
        TDataPass inBand = pass;
        inBand.Y0 = y0 - first;
        RenderItems(bandCanvas, inBand, list.Store->Items(), count);
    }

    if (!xy) DrawEventMarks(*c, x0, y0);
    DrawTextLabels(
        *c, textLabels_, geom_, [this](int layer, double x, double y) { return WorldToPixel(layer, x, y); },
        [this](int layer) { return LayerVisible(layer); }, x0, y0);
    if (OnDataRendered) OnDataRendered(*this, c, top, left);

    c->SetPenColor(chartFrameColor_);
    c->SetPenStyle(psSolid);
    if (banded) // the line between two bands that meet
        for (int n = 1; n <= kLayers; ++n)
            if (const int first = BandRows(n).first; first > 0 && first < PlotHeight()) {
                c->MoveTo(x0, y0 + first);
                c->LineTo(x0 + PlotWidth(), y0 + first);
            }
    c->MoveTo(x0, y0);
    c->LineTo(x0 + PlotWidth(), y0);
    c->LineTo(x0 + PlotWidth(), y0 + PlotHeight());
    c->LineTo(x0, y0 + PlotHeight());
    c->LineTo(x0, y0);
}

namespace {
// A scale's range and ticks as the grid takes them.
TGridAxis GridAxis(const TScaleProps& p, const TScale& sc, double spacing) {
    TGridAxis a{p.RangeLow(), p.RangeHigh(), p.Logarithmic(), spacing, {}};
    for (int i = 1; i <= sc.NumTicks(); ++i)
        a.Ticks.push_back(sc.TickValue(i));
    return a;
}
} // namespace

void TKartex::DrawGrid(Canvas& c, int x0, int y0) {
    if (Banded()) return DrawBandedGrid(c, x0, y0);
    const int layer = ActiveLayer();
    const Layer& l = L(layer);
    const std::vector<double> xs = GridValues(GridAxis(*l.x, *l.xScale, gridDx_));
    const std::vector<double> ys = GridValues(GridAxis(*l.y, *l.yScale, gridDy_));
    // Grid values lie inside the range, so their pixels lie on the plot area; the clamp only matters for
    // degenerate ranges, where it keeps the shift below from overflowing.
    const auto pixel = [&](double x, double y) {
        const TPoint p = WorldToPixel(layer, x, y);
        return TPoint{std::clamp(p.X, -kPixelClamp, kPixelClamp) - geom_.LRim + x0,
                      std::clamp(p.Y, -kPixelClamp, kPixelClamp) - geom_.TRim + y0};
    };
    const auto line = [&c](TPoint a, TPoint b) {
        c.MoveTo(a.X, a.Y);
        c.LineTo(b.X, b.Y);
    };
    const double xl = l.x->RangeLow(), xh = l.x->RangeHigh(), yl = l.y->RangeLow(), yh = l.y->RangeHigh();
    const auto vertical = [&] {
        for (double v : xs)
            line(pixel(v, yl), pixel(v, yh));
    };
    const auto horizontal = [&] {
        for (double w : ys)
            line(pixel(xl, w), pixel(xh, w));
    };
    c.SetPenColor(gridColor_);
    const bool dotted =
        gridStyle_ == gsHorizDotLines || gridStyle_ == gsVertDotLines || gridStyle_ == gsDotLines;
    c.SetPenStyle(dotted ? psDot : psSolid);
    switch (gridStyle_) {
    case gsPoints: {
        int points = 0;
        for (double v : xs)
            for (double w : ys) {
                if (points++ >= kMaxGridLines) break;
                const TPoint p = pixel(v, w);
                c.SetPixel(p.X, p.Y, gridColor_);
            }
        break;
    }
    case gsVertLines:
    case gsVertDotLines:
        vertical();
        break;
    case gsHorizLines:
    case gsHorizDotLines:
        horizontal();
        break;
    case gsLines:
    case gsDotLines:
        vertical();
        horizontal();
        break;
    default:
        break;
    }
    c.SetPenStyle(psSolid);
}

void TKartex::ShowWithCrossHairs(int x0, int y0, Canvas& c) {
    DrawCrossHairs(
        c, crossHairs_, geom_, [this](int layer, double x, double y) { return WorldToPixel(layer, x, y); },
        x0, y0);
    ShowOnScreen(x0, y0, c);
}

void TKartex::ShowOnScreen(int x0, int y0, Canvas& c) {
    // ChartBitmap is what the screen shows: a plot-area picture goes into it at its place.
    if (&c != &chartCanvas_) {
        chartCanvas_.Draw(x0, y0, c.Image());
        mouse_.PictureReplaced(); // the plot area holds the zoom rectangle
    }
    if (!inPaintEvent_) update(QRect(x0, y0, c.Width(), c.Height()));
}

// With bands the vertical lines of the active layer's x ticks cross the whole plot, and each band's
// horizontal lines are those of the y ticks of the first layer with a visible y scale drawn there.
void TKartex::DrawBandedGrid(Canvas& c, int x0, int y0) {
    const auto line = [&c](int xa, int ya, int xb, int yb) {
        c.MoveTo(xa, ya);
        c.LineTo(xb, yb);
    };
    const bool vertical = gridStyle_ == gsLines || gridStyle_ == gsDotLines || gridStyle_ == gsVertLines ||
                          gridStyle_ == gsVertDotLines;
    const bool horizontal = gridStyle_ == gsLines || gridStyle_ == gsDotLines || gridStyle_ == gsHorizLines ||
                            gridStyle_ == gsHorizDotLines;
    const bool dotted =
        gridStyle_ == gsHorizDotLines || gridStyle_ == gsVertDotLines || gridStyle_ == gsDotLines;
    c.SetPenColor(gridColor_);
    c.SetPenStyle(dotted ? psDot : psSolid);
    const int active = ActiveLayer();
    const LayerTransform& t = Transform(active);
    if (vertical)
        for (double v : GridValues(GridAxis(*L(active).x, *L(active).xScale, gridDx_))) {
            const int x = std::clamp(t.XToPixel(v), -kPixelClamp, kPixelClamp) - geom_.LRim + x0;
            line(x, y0 + PlotHeight(), x, y0);
        }
    std::vector<std::pair<int, int>> drawn; // bands whose lines are drawn
    for (int n = 1; n <= kLayers && horizontal; ++n) {
        const Layer& l = L(n);
        if (n != active && !l.y->Visible()) continue;
        const std::pair<int, int> rows = BandRows(n);
        if (std::find(drawn.begin(), drawn.end(), rows) != drawn.end()) continue;
        drawn.push_back(rows);
        const LayerTransform& band = Transform(n);
        for (double w : GridValues(GridAxis(*l.y, *l.yScale, gridDy_))) {
            const int y = std::clamp(band.YToPixel(w), -kPixelClamp, kPixelClamp) - geom_.TRim + y0;
            line(x0, y, x0 + PlotWidth(), y);
        }
    }
    c.SetPenStyle(psSolid);
}

void TKartex::SetXYView(int xSeries, int trail) {
    xySeries_ = xSeries < 0 ? -1 : xSeries;
    xyTrail_ = std::max(trail, 0);
    Changed();
}

// Only the marks in the x range are looked at (they rise in x); the text stands right of its line,
// below the plot's top edge, on no background.
void TKartex::DrawEventMarks(Canvas& c, int x0, int y0) {
    const int n = marks_.ItemCount();
    if (n == 0) return;
    const TChartItem* marks = marks_.Items();
    const LayerTransform& t = Transform(1);
    const double lo = std::min(t.XRange.Low, t.XRange.High), hi = std::max(t.XRange.Low, t.XRange.High);
    const TChartItem* first =
        std::partition_point(marks, marks + n, [&](const TChartItem& m) { return m.X < lo; });
    const TBrushStyle brush = c.BrushStyle();
    c.SetPenWidth(1);
    c.SetBrushStyle(bsClear);
    for (const TChartItem* m = first; m < marks + n && m->X <= hi; ++m) {
        const int x = std::clamp(t.XToPixel(m->X), -kPixelClamp, kPixelClamp) - geom_.LRim + x0;
        c.SetPenStyle(psDot);
        c.SetPenColor(m->Color);
        c.MoveTo(x, y0);
        c.LineTo(x, y0 + PlotHeight());
        c.SetPenStyle(psSolid);
        c.SetFontColor(m->Color);
        c.TextOut(x + 3, y0 + 2, RecordText(*m));
    }
    c.SetFontColor(font_.Color);
    c.SetBrushStyle(brush);
}

int TKartex::XYFirst() const {
    if (xySeries_ < 0 || xySeries_ >= SeriesCount()) return 0;
    const int count = SeriesStore(xySeries_).ItemCount();
    return xyTrail_ > 0 && count > xyTrail_ ? count - xyTrail_ : 0;
}

// Each series against the x series, as TXYCover walks and keeps them.
void TKartex::RenderXY(Canvas& c, int x0, int y0, bool mono) {
    const TItemStore& xs = SeriesStore(xySeries_);
    if (xs.ItemCount() == 0) return;
    std::vector<const TItemStore*> ys(static_cast<std::size_t>(SeriesCount()), nullptr);
    std::vector<TColor> colours(ys.size(), clBlack);
    for (int s = 0; s < SeriesCount(); ++s) {
        const TItemStore& store = SeriesStore(s);
        if (s == xySeries_ || store.ItemCount() == 0 || !ClassVisible(store.Item(0).ItemClass)) continue;
        ys[static_cast<std::size_t>(s)] = &store;
        if (!mono) colours[static_cast<std::size_t>(s)] = store.Item(0).Color;
    }
    const QImage& img = static_cast<const Canvas&>(c).Image();
    xyCover_.Follow(xs, ys, TXYMapping{Transform(1), x0 - geom_.LRim, y0 - geom_.TRim}, img.width(),
                    img.height(), XYFirst());
    xyCover_.Paint(c, colours);
    // The pen as drawing the lines one by one leaves it, for whatever draws after.
    c.SetPenWidth(1);
    c.SetPenStyle(psSolid);
    for (std::size_t s = ys.size(); s-- > 0;)
        if (ys[s]) {
            c.SetPenColor(colours[s]);
            break;
        }
}
