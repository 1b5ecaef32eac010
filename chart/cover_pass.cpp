#include "chart/cover_pass.h"

#include "chart/marks.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <numbers>

namespace {

int LayerIndex(int layer) {
    return std::clamp(layer, 1, 16) - 1;
}

// Inclusive pixel box; empty when X1 > X2 or Y1 > Y2.
struct TBox {
    int X1 = 1, Y1 = 1, X2 = 0, Y2 = 0;
    bool Empty() const { return X1 > X2 || Y1 > Y2; }
    TBox Grown(int d) const { return Empty() ? *this : TBox{X1 - d, Y1 - d, X2 + d, Y2 + d}; }
};

TBox Around(std::initializer_list<TPoint> pts) {
    TBox b{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (const TPoint& p : pts) {
        b.X1 = std::min(b.X1, p.X);
        b.Y1 = std::min(b.Y1, p.Y);
        b.X2 = std::max(b.X2, p.X);
        b.Y2 = std::max(b.Y2, p.Y);
    }
    return b;
}

// The pixels a Rectangle(x1, y1, x2, y2) call covers.
TBox RectangleBox(int x1, int y1, int x2, int y2) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (x1 == x2 || y1 == y2) return {};
    return {x1, y1, x2 - 1, y2 - 1};
}

// What one shape item draws, as far as covering goes.
struct TShape {
    bool Known = false; // false: pixels not bounded here (the item is never hidden on its own)
    TBox Foot;          // holds every pixel the item sets (the ellipse's own rows when FootEllipse)
    bool FootEllipse = false;
    TBox Cover; // set by opaque copies (the ellipse's rows when CoverEllipse)
    bool CoverEllipse = false;
    TBox Ellipse; // the ellipse's box, as given to Ellipse (exclusive right and bottom)
    // Identity of the pixels: equal keys draw equal pixels.
    std::array<int, 12> Key{};
};

class CoverPass {
public:
    CoverPass(const Canvas& c, const TDataPass& pass, const TChartItem* items, int count)
        : pass_(pass), items_(items), count_(count), w_(c.Width()), h_(c.Height()),
          copy_(c.PenMode() == pmCopy), startBrush_(c.BrushStyle()), lo_(static_cast<std::size_t>(h_), 1),
          hi_(static_cast<std::size_t>(h_), 0) {}

    THiddenItems Run() {
        THiddenItems out;
        if (w_ <= 0 || h_ <= 0) return out;
        const std::vector<TLineRun>* runs = pass_.Runs ? &pass_.Runs->Runs() : nullptr;
        std::size_t r = runs ? runs->size() : 0;
        for (int i = count_ - 1; i >= 0; --i) {
            // Line runs hold nothing that covers or can be hidden on its own.
            while (r > 0 && (*runs)[r - 1].Begin > i)
                --r;
            if (r > 0 && i < (*runs)[r - 1].End) {
                i = (*runs)[r - 1].Begin;
                continue;
            }
            const TChartItem& it = items_[i];
            if (!Visible(it) || IsSkippedItem(it)) continue;
            const TShape s = ShapeOf(it, i);
            if (!s.Known) continue;
            // A hidden shape adds no cover: its pixels are covered already.
            if (SeenLater(s) || Hidden(s)) {
                out.Items.push_back(i);
                continue;
            }
            if (!copy_) continue;
            AddCover(s);
            Remember(s);
            if (fullRows_ == h_) {
                out.Below = i;
                break;
            }
        }
        return out;
    }

private:
    bool Visible(const TChartItem& it) const {
        return (*pass_.ClassVisible)[it.ItemClass] && (*pass_.LayerVisible)[LayerIndex(it.Layer)];
    }
    TPoint Map(const TChartItem& it, double x, double y) const { return MapItemPoint(pass_, it.Layer, x, y); }

    // The fill a Rectangle call with the item's pen leaves opaque, given the pixels it covers.
    static TBox FillCover(TBox box, const TChartItem& it, int width) {
        const auto style = static_cast<TPenStyle>(it.PenStyle);
        int inset = 0;
        if (style != psClear) {
            if (width > 1)
                inset = style == psInsideFrame ? width : (width + 1) / 2;
            else if (Canvas::Patterned(style))
                inset = 1; // the outline has gaps
        }
        return box.Grown(-inset);
    }

    TShape ShapeOf(const TChartItem& it, int index) {
        TShape s;
        const int width = std::clamp(it.LineWidth, 1, kMaxPenWidth);
        const auto style = static_cast<TPenStyle>(it.PenStyle);
        const int grow = width > 1 && style != psClear ? width : 0; // wide pens stroke across the path
        const bool solidBrush = !it.Hollow;
        TPoint a, b;
        s.Key = {it.Kind, 0, 0, 0, 0, width, it.PenStyle, it.Hollow, it.FrameStyle, it.Size, it.Depth, 0};
        switch (it.Kind) {
        case ikLine:
        case ikRectangle:
        case ikArrow:
        case ikBox:
        case ik3DBar:
            a = Map(it, it.X, it.Y);
            b = Map(it, it.X2, it.Y2);
            break;
        case ikEllipse:
            EllipseCorners(pass_, it, a, b);
            break;
        default:
            return s;
        }
        s.Known = true;
        s.Key[1] = a.X;
        s.Key[2] = a.Y;
        s.Key[3] = b.X;
        s.Key[4] = b.Y;
        if (it.Kind != ik3DBar && a == b) { // one pixel, set whatever the pen
            s.Foot = {a.X, a.Y, a.X, a.Y};
            return s;
        }
        switch (it.Kind) {
        case ikLine:
            s.Foot = Around({a, b}).Grown(grow);
            break;
        case ikRectangle: {
            Widen(a, b);
            const TBox box = RectangleBox(a.X, a.Y, b.X, b.Y);
            s.Foot = box.Grown(grow);
            if (solidBrush && !box.Empty()) s.Cover = FillCover(box, it, width);
            break;
        }
        case ikArrow: {
            Widen(a, b);
            TPoint h1 = b, h2 = b;
            if (it.Size >= 1) ArrowHead(a, b, it.Size, h1, h2);
            s.Foot = Around({a, b, h1, h2}).Grown(grow);
            break;
        }
        case ikBox: {
            const int x1 = std::min(a.X, b.X), x2 = std::max(a.X, b.X);
            const int y1 = std::max(a.Y, b.Y), y2 = std::min(a.Y, b.Y);
            s.Foot = TBox{x1, y2, x2, y1}.Grown(grow); // the rectangle and its frame lines
            const bool solid = BrushSolidAt(index);
            s.Key[11] = solid;
            const TBox box = RectangleBox(x1, y1, x2, y2);
            if (solid && !box.Empty()) s.Cover = FillCover(box, it, width);
            break;
        }
        case ik3DBar: {
            const TBarGeometry g = BarGeometry(pass_, it);
            TBox f = Around({g.Top[0],
                             g.Top[1],
                             g.Top[2],
                             g.Top[3],
                             g.Side[0],
                             g.Side[1],
                             g.Side[2],
                             g.Side[3],
                             {g.X1, g.Y1},
                             {g.X2, g.Y2}});
            s.Foot = f.Grown(grow);
            const bool solid = BrushSolidAt(index);
            s.Key[11] = solid;
            const TBox box = RectangleBox(g.X1, g.Y1, g.X2, g.Y2);
            if (solid && !box.Empty()) s.Cover = FillCover(box, it, width);
            break;
        }
        case ikEllipse: {
            Widen(a, b);
            s.Ellipse = {std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)};
            if (s.Ellipse.X1 == s.Ellipse.X2 || s.Ellipse.Y1 == s.Ellipse.Y2) break; // draws nothing
            if (grow > 0)
                s.Foot = TBox{s.Ellipse.X1, s.Ellipse.Y1, s.Ellipse.X2 - 1, s.Ellipse.Y2 - 1}.Grown(grow);
            else
                s.FootEllipse = true;
            // A solid brush fills the whole ellipse; a thin dashed outline leaves gaps at its edge.
            s.CoverEllipse = solidBrush && !(grow == 0 && style != psClear && Canvas::Patterned(style));
            break;
        }
        default:
            break;
        }
        return s;
    }

    // Whether the item's box or ellipse rows lie within the cover (rows and columns outside the image
    // count as covered).
    bool Hidden(const TShape& s) {
        if (s.FootEllipse) {
            const TBox& e = s.Ellipse;
            return ForEllipseRows(e, [&](int y, long long l, long long r) { return Within(y, l, r); });
        }
        if (s.Foot.Empty()) return true; // draws nothing
        for (int y = std::max(s.Foot.Y1, 0); y <= std::min(s.Foot.Y2, h_ - 1); ++y)
            if (!Within(y, s.Foot.X1, s.Foot.X2)) return false;
        return true;
    }

    void AddCover(const TShape& s) {
        if (s.CoverEllipse) {
            ForEllipseRows(s.Ellipse, [&](int y, long long l, long long r) {
                Add(y, l, r);
                return true;
            });
            return;
        }
        if (s.Cover.Empty()) return;
        for (int y = std::max(s.Cover.Y1, 0); y <= std::min(s.Cover.Y2, h_ - 1); ++y)
            Add(y, s.Cover.X1, s.Cover.X2);
    }

    // Calls f(y, left, right) for the visible rows of the ellipse in box e while f returns true.
    // The rows of the last ellipse asked for are kept by image row: repeated ellipses cost no arithmetic.
    template <class F> bool ForEllipseRows(const TBox& e, F f) {
        const long long w = static_cast<long long>(e.X2) - e.X1, h = static_cast<long long>(e.Y2) - e.Y1;
        if (w != rowsW_ || h != rowsH_ || e.Y1 != rowsY_) {
            rowsW_ = w;
            rowsH_ = h;
            rowsY_ = e.Y1;
            rows_.assign(static_cast<std::size_t>(h_), {1, -1}); // {1, -1}: not computed yet
        }
        const long long jLo = std::max(0LL, -static_cast<long long>(e.Y1));
        const long long jHi = std::min(h - 1, static_cast<long long>(h_) - 1 - e.Y1);
        for (long long j = jLo; j <= jHi; ++j) {
            const int y = static_cast<int>(e.Y1 + j);
            auto& row = rows_[static_cast<std::size_t>(y)];
            if (row.first == 1 && row.second == -1) row = Canvas::EllipseRow(w, h, j);
            if (row.first > row.second) continue;
            if (!f(y, e.X1 + row.first, e.X1 + row.second)) return false;
        }
        return true;
    }

    bool Within(int y, long long l, long long r) const {
        l = std::max(l, 0LL);
        r = std::min(r, static_cast<long long>(w_) - 1);
        if (l > r) return true;
        const auto k = static_cast<std::size_t>(y);
        return lo_[k] <= l && r <= hi_[k];
    }

    // One interval per row: a new one joins the old when they touch, else the longer stays.
    void Add(int y, long long l, long long r) {
        l = std::max(l, 0LL);
        r = std::min(r, static_cast<long long>(w_) - 1);
        if (l > r || y < 0 || y >= h_) return;
        const auto k = static_cast<std::size_t>(y);
        int& lo = lo_[k];
        int& hi = hi_[k];
        const bool wasFull = lo == 0 && hi == w_ - 1;
        if (lo > hi || (r - l > hi - lo && (l > hi + 1LL || r < lo - 1LL))) {
            lo = static_cast<int>(l);
            hi = static_cast<int>(r);
        } else if (l <= hi + 1LL && r >= lo - 1LL) {
            lo = std::min(lo, static_cast<int>(l));
            hi = std::max(hi, static_cast<int>(r));
        }
        if (!wasFull && lo == 0 && hi == w_ - 1) ++fullRows_;
    }

    // Later shapes drawing the very same pixels, in a small table indexed by a hash of their key.
    bool SeenLater(const TShape& s) const {
        const Slot& slot = seen_[Hash(s.Key)];
        return slot.Used && slot.Key == s.Key;
    }
    void Remember(const TShape& s) { seen_[Hash(s.Key)] = {true, s.Key}; }
    static std::size_t Hash(const std::array<int, 12>& k) {
        std::uint64_t h = 1469598103934665603ULL;
        for (int v : k) {
            h ^= static_cast<std::uint32_t>(v);
            h *= 1099511628211ULL;
        }
        return static_cast<std::size_t>(h >> 52) % kSlots;
    }

    // Boxes and 3-D bars fill with whatever brush style the items before them left: found by one
    // forward walk the first time it is asked for.
    bool BrushSolidAt(int index) {
        if (brushAt_.empty()) {
            brushAt_.assign(static_cast<std::size_t>(count_), 0);
            TBrushStyle cur = startBrush_;
            Canvas probe; // no pixels: only what a mark symbol leaves in the brush style
            for (int i = 0; i < count_; ++i) {
                const TChartItem& it = items_[i];
                if (!Visible(it) || IsSkippedItem(it)) continue;
                switch (it.Kind) {
                case ikRectangle:
                case ikEllipse:
                case ikArrow:
                    cur = it.Hollow ? bsClear : bsSolid;
                    break;
                case ikText:
                    cur = pass_.TextBkStyle == tbSolid ? bsSolid : bsClear;
                    break;
                case ikMark:
                    if (it.MarkType < kNumMarkSymbols) {
                        probe.SetBrushStyle(cur);
                        DrawMark(probe, it.MarkType, 0, 0);
                        cur = probe.BrushStyle();
                    }
                    break;
                default:
                    break;
                }
                brushAt_[static_cast<std::size_t>(i)] = cur == bsSolid;
            }
        }
        return brushAt_[static_cast<std::size_t>(index)] != 0;
    }

    static constexpr std::size_t kSlots = 4096;
    struct Slot {
        bool Used = false;
        std::array<int, 12> Key{};
    };

    const TDataPass& pass_;
    const TChartItem* items_;
    int count_;
    int w_, h_;
    bool copy_;
    TBrushStyle startBrush_;
    std::vector<int> lo_, hi_; // covered interval of each row (lo > hi: none)
    int fullRows_ = 0;
    std::vector<Slot> seen_ = std::vector<Slot>(kSlots);
    std::vector<std::uint8_t> brushAt_;
    long long rowsW_ = -1, rowsH_ = -1; // the ellipse whose rows are kept
    int rowsY_ = 0;
    std::vector<std::pair<long long, long long>> rows_;
};

} // namespace

int RoundClamped(double v, double limit) {
    if (std::isnan(v)) return 0;
    return static_cast<int>(std::nearbyint(std::clamp(v, -limit, limit)));
}

void Widen(TPoint& a, TPoint& b) {
    (a.X >= b.X ? a.X : b.X) += 1;
    (a.Y >= b.Y ? a.Y : b.Y) += 1;
}

void EllipseCorners(const TDataPass& pass, const TChartItem& it, TPoint& a, TPoint& b) {
    a = MapItemPoint(pass, it.Layer, it.X - it.X2, it.Y + it.Y2);
    b = MapItemPoint(pass, it.Layer, it.X + it.X2, it.Y - it.Y2);
}

TBarGeometry BarGeometry(const TDataPass& pass, const TChartItem& it) {
    const TPoint a = MapItemPoint(pass, it.Layer, it.X, it.Y), b = MapItemPoint(pass, it.Layer, it.X2, it.Y2);
    int x1 = std::min(a.X, b.X), x2 = std::max(a.X, b.X);
    int y1 = std::min(a.Y, b.Y), y2 = std::max(a.Y, b.Y);
    const double angle = it.Size * std::numbers::pi / 180.0;
    const double depth = std::clamp(it.Depth, -kPixelClamp, kPixelClamp);
    const int dx = RoundClamped(std::cos(angle) * depth, kPixelClamp);
    const int dy = -RoundClamped(std::sin(angle) * depth, kPixelClamp);
    if (it.Size > 90) std::swap(x1, x2);
    TBarGeometry g{{{x1, y1}, {x1 + dx, y1 + dy}, {x2 + dx, y1 + dy}, {x2, y1}},
                   {{x2 + dx, y1 + dy}, {x2, y1}, {x2, y2}, {x2 + dx, y2 + dy}}};
    (x1 >= x2 ? x1 : x2) += 1;
    (y1 >= y2 ? y1 : y2) += 1;
    g.X1 = x1;
    g.Y1 = y1;
    g.X2 = x2;
    g.Y2 = y2;
    return g;
}

void ArrowHead(TPoint a, TPoint b, int size, TPoint& h1, TPoint& h2) {
    const double len = std::min(size, kPixelClamp);
    const double slope = std::atan(static_cast<double>(b.Y - a.Y) / static_cast<double>(b.X - a.X));
    const double phi = slope + (b.X > a.X ? std::numbers::pi / 2 : 3 * std::numbers::pi / 2);
    constexpr double kSpread = 0.3490658503988659; // 20°
    const auto head = [&](double ang) {
        return TPoint{b.X - RoundClamped(std::sin(ang) * len, kPixelClamp),
                      b.Y + RoundClamped(std::cos(ang) * len, kPixelClamp)};
    };
    h1 = head(phi + kSpread);
    h2 = head(phi - kSpread);
}

THiddenItems FindHiddenItems(const Canvas& canvas, const TDataPass& pass, const TChartItem* items,
                             int count) {
    return CoverPass(canvas, pass, items, count).Run();
}
