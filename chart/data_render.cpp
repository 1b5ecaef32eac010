#include "chart/data_render.h"

#include "chart/core/line_decimator.h"
#include "chart/cover_pass.h"
#include "chart/marks.h"

#include <algorithm>
#include <cmath>

namespace {

int LayerIndex(int layer) {
    return std::clamp(layer, 1, 16) - 1;
}

// Up to 200 points per polyline; a full buffer is drawn and the next polyline starts at its last point.
class PolylineStage {
public:
    PolylineStage(Canvas& c, TPoint start, const TDataPass& pass) : canvas_(c), pass_(pass), start_(start) {}

    void Append(TPoint p) {
        if (n_ == 0) buf_[n_++] = start_;
        buf_[n_++] = p;
        if (n_ == kSize) {
            Flush();
            buf_[n_++] = p;
        }
    }
    void Flush() {
        if (n_ == 0) return;
        canvas_.Polyline(buf_.data(), n_);
        if (pass_.OnPolyline) pass_.OnPolyline(buf_.data(), n_);
        canvas_.MoveTo(buf_[n_ - 1].X, buf_[n_ - 1].Y);
        start_ = buf_[n_ - 1];
        n_ = 0;
    }
    void SetStart(TPoint p) { start_ = p; }

private:
    static constexpr int kSize = 200;
    Canvas& canvas_;
    const TDataPass& pass_;
    std::array<TPoint, kSize> buf_{};
    int n_ = 0;
    TPoint start_;
};

// Long line-to runs reduced per pixel column: they reach the polyline stage as at most four points per
// visible column, which set exactly the pixels of every point (solid 1-pixel pens on a copying canvas).
class ReducedRunStage {
public:
    // Shorter runs cost no more drawn in full.
    static constexpr int kMinRun = 2048;

    static constexpr std::size_t kMaxKept = 64; // runs whose reduction is kept

    ReducedRunStage(const Canvas& c, const TDataPass& pass)
        : runs_(pass.OnPolyline || c.PenMode() != pmCopy ? nullptr : pass.Runs), kept_(pass.Reductions) {}

    // The run that begins at item i and can be drawn reduced, or null.
    const TLineRun* RunAt(int i, int count) {
        if (!runs_) return nullptr;
        const auto& runs = runs_->Runs();
        while (next_ < runs.size() && runs[next_].Begin < i)
            ++next_;
        if (next_ == runs.size() || runs[next_].Begin != i) return nullptr;
        const TLineRun& r = runs[next_];
        return r.End <= count && r.End - r.Begin >= kMinRun ? &r : nullptr;
    }

    const std::vector<TDecimatedPoint>& Reduce(const TChartItem* items, const TLineRun& run,
                                               const TLineTarget& target) {
        if (kept_) {
            TDecimationCache* slot = nullptr;
            for (TDecimationCache& c : *kept_)
                if (c.Begin == run.Begin) slot = &c;
            for (std::size_t i = 0; !slot && i < kept_->size(); ++i)
                if ((*kept_)[i].Begin < 0) slot = &(*kept_)[i];
            if (!slot && kept_->size() < kMaxKept) slot = &kept_->emplace_back();
            if (slot) return DecimateRunCached(items, *runs_, run, target, *slot);
        }
        points_.clear();
        DecimateRun(items, *runs_, run, target, points_);
        return points_;
    }

private:
    const TLineRunIndex* runs_;
    std::vector<TDecimationCache>* kept_;
    std::size_t next_ = 0;
    std::vector<TDecimatedPoint> points_;
};

class ItemRenderer {
public:
    ItemRenderer(Canvas& c, const TDataPass& pass)
        : c_(c), pass_(pass), poly_(c, TPoint{pass.X0, pass.Y0}, pass), reduced_(c, pass) {}

    void Render(const TChartItem* items, int count) {
        c_.SetPenWidth(std::clamp(pass_.LineWidth, 1, kMaxPenWidth));
        c_.MoveTo(pass_.X0, pass_.Y0);
        c_.SetPenColor(pass_.ChartColor);
        c_.SetPenStyle(psSolid);
        c_.SetBrushColor(pass_.ChartColor);
        THiddenItems hidden;
        if (pass_.SkipHidden) hidden = FindHiddenItems(c_, pass_, items, count);
        c_.SetPixelsSuppressed(hidden.Below > 0); // all of them painted over
        for (int i = 0; i < count; ++i) {
            if (i == hidden.Below) c_.SetPixelsSuppressed(false);
            if (const TLineRun* run = reduced_.RunAt(i, count)) {
                DrawReduced(items, *run);
                i = run->End - 1;
                continue;
            }
            const TChartItem& it = items[i];
            if (!(*pass_.ClassVisible)[it.ItemClass] || !(*pass_.LayerVisible)[LayerIndex(it.Layer)])
                continue;
            if (IsSkippedItem(it)) continue; // the run index skips exactly the same items
            if (IsLineBreak(it)) {
                poly_.Flush();
                lineBroken_ = true;
                continue;
            }
            const int width = std::clamp(it.LineWidth, 1, kMaxPenWidth);
            if (width != c_.PenWidth()) {
                poly_.Flush();
                c_.SetPenWidth(width);
            }
            if (!hidden.Items.empty() && hidden.Items.back() == i) {
                hidden.Items.pop_back();
                poly_.Flush(); // the line before it is not hidden
                c_.SetPixelsSuppressed(true);
                Draw(it);
                c_.SetPixelsSuppressed(false);
                continue;
            }
            Draw(it);
        }
        c_.SetPixelsSuppressed(false);
        poly_.Flush();
        c_.SetPenWidth(1);
    }

private:
    TColor Pen(const TChartItem& it) const { return pass_.Mono ? 0 : it.Color; }
    TColor Fill(const TChartItem& it) const { return pass_.Mono ? 0xC0C0C0 : it.FillColor; }
    TPoint Map(const TChartItem& it, double x, double y) const { return MapItemPoint(pass_, it.Layer, x, y); }

    void SetPen(TColor color, const TChartItem& it) {
        c_.SetPenColor(color);
        c_.SetPenStyle(static_cast<TPenStyle>(it.PenStyle));
    }
    void SetBrushFromHollow(const TChartItem& it) { c_.SetBrushStyle(it.Hollow ? bsClear : bsSolid); }

    void Draw(const TChartItem& it) {
        switch (it.Kind) {
        case ikLineTo:
            return LineTo(it);
        case ikMark:
            return Mark(it);
        case ikLine:
            return Line(it);
        case ikRectangle:
            return Rect(it);
        case ikBox:
            return Box(it);
        case ik3DBar:
            return Bar3D(it);
        case ikText:
            return Text(it);
        case ikMoveTo:
            return MoveTo(it);
        case ikEllipse:
            return EllipseItem(it);
        case ikMoveRel:
            return MoveRel(it);
        case ikLineRel:
            return LineRel(it);
        case ikArrow:
            return Arrow(it);
        default:
            return;
        }
    }

    // A whole run, with the pen changes its first item makes when drawn on its own.
    void DrawReduced(const TChartItem* items, const TLineRun& run) {
        const TChartItem& first = items[run.Begin];
        if (!(*pass_.ClassVisible)[first.ItemClass] || !(*pass_.LayerVisible)[LayerIndex(first.Layer)])
            return;
        if (c_.PenWidth() != 1) {
            poly_.Flush();
            c_.SetPenWidth(1);
        }
        const TColor color = Pen(first);
        if (color != c_.PenColor() || first.PenStyle != c_.PenStyle()) {
            poly_.Flush();
            SetPen(color, first);
        }
        const TLineTarget target{&(*pass_.Transforms)[static_cast<std::size_t>(LayerIndex(first.Layer))],
                                 kPixelClamp, pass_.X0 - pass_.Geometry.LRim, pass_.Y0 - pass_.Geometry.TRim,
                                 c_.Width()};
        const std::vector<TDecimatedPoint>& points = reduced_.Reduce(items, run, target);
        std::size_t k = 0;
        if (lineBroken_ && !points.empty()) {
            StartAfterBreak({points[0].X, points[0].Y});
            k = 1;
        }
        for (; k < points.size(); ++k)
            poly_.Append({points[k].X, points[k].Y});
    }

    // The first finite line-to after a line break: a move.
    void StartAfterBreak(TPoint p) {
        poly_.Flush();
        poly_.SetStart(p);
        c_.MoveTo(p.X, p.Y);
        lineBroken_ = false;
    }

    void LineTo(const TChartItem& it) {
        const TPoint p = Map(it, it.X, it.Y);
        const TColor color = Pen(it);
        if (color != c_.PenColor() || it.PenStyle != c_.PenStyle()) {
            poly_.Flush();
            SetPen(color, it);
        }
        if (lineBroken_) return StartAfterBreak(p);
        poly_.Append(p);
    }

    void Mark(const TChartItem& it) {
        poly_.Flush();
        SetPen(Pen(it), it);
        // Character marks are text: they take the item's colour as well.
        c_.SetFontColor(Pen(it));
        const TPoint p = Map(it, it.X, it.Y);
        DrawMark(c_, it.MarkType, p.X, p.Y);
    }

    void Line(const TChartItem& it) {
        poly_.Flush();
        const TColor color = Pen(it);
        SetPen(color, it);
        const TPoint a = Map(it, it.X, it.Y), b = Map(it, it.X2, it.Y2);
        if (a == b) return c_.SetPixel(a.X, a.Y, color);
        c_.MoveTo(a.X, a.Y);
        c_.LineTo(b.X, b.Y);
    }

    // The start of a filled shape between corners a and b: pen and brush of the item set; a shape whose
    // corners fall on one pixel is that pixel (drawn here, the result is false), otherwise the corners are
    // widened for the pen.
    bool ShapeCorners(const TChartItem& it, TPoint& a, TPoint& b) {
        poly_.Flush();
        const TColor color = Pen(it);
        SetPen(color, it);
        c_.SetBrushColor(Fill(it));
        SetBrushFromHollow(it);
        if (a == b) {
            c_.SetPixel(a.X, a.Y, color);
            return false;
        }
        Widen(a, b);
        return true;
    }

    void Rect(const TChartItem& it) {
        TPoint a = Map(it, it.X, it.Y), b = Map(it, it.X2, it.Y2);
        if (ShapeCorners(it, a, b)) c_.Rectangle(a.X, a.Y, b.X, b.Y);
    }

    void Box(const TChartItem& it) {
        poly_.Flush();
        const TColor f = Fill(it);
        SetPen(f, it);
        c_.SetBrushColor(f);
        const TPoint a = Map(it, it.X, it.Y), b = Map(it, it.X2, it.Y2);
        if (a == b) return c_.SetPixel(a.X, a.Y, f);
        const int x1 = std::min(a.X, b.X), x2 = std::max(a.X, b.X);
        const int y1 = std::max(a.Y, b.Y), y2 = std::min(a.Y, b.Y);
        c_.Rectangle(x1, y1, x2, y2);
        // Monochrome pictures draw the frame black like every other pen.
        const TColor c1 = pass_.Mono ? 0 : it.FrameColor1, c2 = pass_.Mono ? 0 : it.FrameColor2;
        switch (it.FrameStyle) {
        case 2:
        case 3: {
            const bool swap = it.FrameStyle == 3;
            c_.SetPenColor(swap ? c2 : c1);
            c_.MoveTo(x1, y1);
            c_.LineTo(x1, y2);
            c_.LineTo(x2, y2);
            c_.SetPenColor(swap ? c1 : c2);
            c_.LineTo(x2, y1);
            c_.LineTo(x1, y1);
            break;
        }
        case 4:
        case 5: {
            const bool swap = it.FrameStyle == 5;
            c_.SetPenColor(swap ? c2 : c1);
            c_.MoveTo(x1 + 1, y1);
            c_.LineTo(x1 + 1, y2 + 1);
            c_.LineTo(x2, y2 + 1);
            c_.LineTo(x2, y1);
            c_.LineTo(x1 + 1, y1);
            c_.SetPenColor(swap ? c1 : c2);
            c_.MoveTo(x1, y1 - 1);
            c_.LineTo(x1, y2);
            c_.LineTo(x2 - 1, y2);
            c_.LineTo(x2 - 1, y1 - 1);
            c_.LineTo(x1, y1 - 1);
            break;
        }
        default:
            break;
        }
    }

    void Bar3D(const TChartItem& it) {
        poly_.Flush();
        SetPen(Pen(it), it);
        c_.SetBrushColor(Fill(it));
        const TBarGeometry g = BarGeometry(pass_, it);
        c_.Polygon(g.Top, 4);
        c_.Polygon(g.Side, 4);
        c_.Rectangle(g.X1, g.Y1, g.X2, g.Y2);
    }

    void Text(const TChartItem& it) {
        poly_.Flush();
        c_.SetFontColor(Pen(it));
        c_.SetFontStyle(pass_.TextFontStyle);
        const int size = it.Size == 0 ? 8 : std::clamp(it.Size, -kMaxTextSize, kMaxTextSize);
        c_.SetFontSize(size);
        c_.SetBrushColor(pass_.TextBkColor);
        c_.SetBrushStyle(pass_.TextBkStyle == tbSolid ? bsSolid : bsClear);
        QString text;
        const int len = std::min<int>(it.Text[0], 17);
        for (int i = 1; i <= len; ++i)
            text += Canvas::CharText(it.Text[i]);
        const int tw = c_.TextWidth(text), th = c_.TextHeight(text);
        const TPoint p = Map(it, it.X, it.Y);
        int x = p.X;
        if (pass_.TextAlignment == taRightJustify) x -= tw;
        if (pass_.TextAlignment == taCenter) x -= tw / 2;
        c_.TextOut(x, p.Y - th / 2, text);
    }

    void MoveTo(const TChartItem& it) {
        const TPoint p = Map(it, it.X, it.Y);
        poly_.Flush();
        poly_.SetStart(p);
        c_.MoveTo(p.X, p.Y);
        lineBroken_ = false;
    }

    void EllipseItem(const TChartItem& it) {
        TPoint a, b;
        EllipseCorners(pass_, it, a, b);
        if (ShapeCorners(it, a, b))
            c_.Ellipse(std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y));
    }

    // Pen position moved by the item's pixel offsets; kept within twice the drawing clamp.
    TPoint Relative(const TChartItem& it) const {
        const TPoint pos = c_.PenPos();
        const double lim = 2.0 * kPixelClamp;
        return {RoundClamped(pos.X + std::clamp(it.X, -lim, lim), lim),
                RoundClamped(pos.Y + std::clamp(it.Y, -lim, lim), lim)};
    }

    void MoveRel(const TChartItem& it) {
        poly_.Flush();
        const TPoint p = Relative(it);
        poly_.SetStart(p);
        c_.MoveTo(p.X, p.Y);
        lineBroken_ = false;
    }

    void LineRel(const TChartItem& it) {
        poly_.Flush();
        const TPoint q = Relative(it);
        const TColor color = Pen(it);
        SetPen(color, it);
        c_.LineTo(q.X, q.Y);
        c_.SetPixel(q.X, q.Y, color);
    }

    void Arrow(const TChartItem& it) {
        TPoint a = Map(it, it.X, it.Y), b = Map(it, it.X2, it.Y2);
        if (!ShapeCorners(it, a, b)) return;
        c_.MoveTo(a.X, a.Y);
        c_.LineTo(b.X, b.Y);
        if (it.Size < 1) return;
        TPoint h1, h2;
        ArrowHead(a, b, it.Size, h1, h2);
        if (it.Hollow) {
            c_.MoveTo(b.X, b.Y);
            c_.LineTo(h1.X, h1.Y);
            c_.MoveTo(b.X, b.Y);
            c_.LineTo(h2.X, h2.Y);
        } else {
            const TPoint tri[3] = {b, h1, h2};
            c_.Polygon(tri, 3);
        }
    }

    Canvas& c_;
    const TDataPass& pass_;
    PolylineStage poly_;
    ReducedRunStage reduced_;
    bool lineBroken_ = false; // a line break came after the last point the line was drawn to
};

} // namespace

TPoint MapItemPoint(const TDataPass& pass, int layer, double x, double y) {
    const LayerTransform& t = (*pass.Transforms)[static_cast<std::size_t>(LayerIndex(layer))];
    const int xm = std::clamp(t.XToPixel(x), -kPixelClamp, kPixelClamp);
    const int ym = std::clamp(t.YToPixel(y), -kPixelClamp, kPixelClamp);
    return {xm - pass.Geometry.LRim + pass.X0, ym - pass.Geometry.TRim + pass.Y0};
}

void RenderItems(Canvas& canvas, const TDataPass& pass, const TChartItem* items, int count) {
    ItemRenderer(canvas, pass).Render(items, count);
}
