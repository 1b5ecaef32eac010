#include "chart/xy_cover.h"

#include "chart/core/format.h"
#include "chart/gfx/line_steps.h"

#include <algorithm>
#include <cmath>

TPoint TXYMapping::operator()(double x, double y) const {
    return {std::clamp(T.XToPixel(x), -kPixelClamp, kPixelClamp) + Dx,
            std::clamp(T.YToPixel(y), -kPixelClamp, kPixelClamp) + Dy};
}

bool TXYMapping::operator==(const TXYMapping& o) const {
    return SameMapping(T, o.T) && Dx == o.Dx && Dy == o.Dy;
}

bool TXYCover::Holds(const TItemStore& xs, const std::vector<const TItemStore*>& ys, const TXYMapping& map,
                     int w, int h, int first) const {
    // A trail that has begun to drop its oldest pairs changes the start with every append.
    if (first != 0 || first_ != 0 || w != w_ || h != h_ || !(map == map_)) return false;
    if (&xs != xs_ || xs.Generation() != xsGeneration_ || xs.ItemCount() < xsCount_) return false;
    if (ys.size() != walks_.size()) return false;
    for (std::size_t s = 0; s < ys.size(); ++s) {
        const Walk& walk = walks_[s];
        if (ys[s] != walk.Store) return false;
        if (ys[s] && (ys[s]->Generation() != walk.Generation || ys[s]->ItemCount() < walk.Count))
            return false;
    }
    return true;
}

void TXYCover::Restart(const TItemStore& xs, const std::vector<const TItemStore*>& ys, const TXYMapping& map,
                       int w, int h, int first) {
    w_ = w;
    h_ = h;
    owners_.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    rowLo_ = h;
    rowHi_ = -1;
    map_ = map;
    first_ = first;
    xs_ = &xs;
    xsGeneration_ = xs.Generation();
    walks_.assign(ys.size(), Walk{});
    const double firstX = first < xs.ItemCount() ? xs.Item(first).X : 0;
    for (std::size_t s = 0; s < ys.size(); ++s) {
        Walk& walk = walks_[s];
        walk.Store = ys[s];
        walk.I = first;
        if (!walk.Store) continue;
        walk.Generation = walk.Store->Generation();
        // The items before the first pair are passed over at once (the walk would skip them one by one).
        const TChartItem* yi = walk.Store->Items();
        const int yn = walk.Store->ItemCount();
        if (first < xs.ItemCount() && yn > 0)
            walk.J = static_cast<int>(
                std::partition_point(yi, yi + yn, [&](const TChartItem& it) { return it.X < firstX; }) - yi);
    }
}

void TXYCover::Follow(const TItemStore& xs, const std::vector<const TItemStore*>& ys, const TXYMapping& map,
                      int w, int h, int first) {
    if (!Holds(xs, ys, map, w, h, first)) Restart(xs, ys, map, w, h, first);
    xsCount_ = xs.ItemCount();
    for (std::size_t s = 0; s < walks_.size(); ++s)
        if (walks_[s].Store) WalkOn(walks_[s], static_cast<std::uint16_t>(s + 1), xs);
}

void TXYCover::WalkOn(Walk& walk, std::uint16_t owner, const TItemStore& xs) {
    const auto isPoint = [](const TChartItem& it) { return it.Kind == ikLineTo || it.Kind == ikMoveTo; };
    const TChartItem* xi = xs.Items();
    const int xn = xs.ItemCount();
    const TChartItem* yi = walk.Store->Items();
    const int yn = walk.Store->ItemCount();
    walk.Count = yn;
    int i = walk.I, j = walk.J;
    bool joined = walk.Joined;
    for (; i < xn; ++i) {
        const TChartItem& a = xi[i];
        while (j < yn && yi[j].X < a.X) {
            ++j;
            joined = false; // a sample without a partner: the line breaks
        }
        if (j >= yn) break; // its partner may yet come
        const TChartItem& b = yi[j];
        if (b.X != a.X || !isPoint(a) || !isPoint(b) || !std::isfinite(a.Y) || !std::isfinite(b.Y)) {
            walk.HasLast = false;
            joined = false;
            continue;
        }
        if (!joined || a.Kind == ikMoveTo || b.Kind == ikMoveTo) walk.HasLast = false;
        const TPoint q = map_(a.Y, b.Y);
        if (walk.HasLast && (q.X != walk.Last.X || q.Y != walk.Last.Y)) Line(walk.Last, q, owner);
        walk.Last = q;
        walk.HasLast = true;
        joined = true;
        ++j;
    }
    walk.I = i;
    walk.J = j;
    walk.Joined = joined;
}

void TXYCover::Line(TPoint a, TPoint b, std::uint16_t owner) {
    const int lo = std::max(std::min(a.Y, b.Y), 0), hi = std::min(std::max(a.Y, b.Y), h_ - 1);
    if (lo > hi) return;
    rowLo_ = std::min(rowLo_, lo);
    rowHi_ = std::max(rowHi_, hi);
    std::uint16_t* owners = owners_.data();
    const std::size_t w = static_cast<std::size_t>(w_);
    ForEachLineStep(a.X, a.Y, b.X, b.Y, w_, h_, [&](long long, int x, int y) {
        std::uint16_t& o = owners[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)];
        o = std::max(o, owner);
    });
}

void TXYCover::Paint(Canvas& c, const std::vector<TColor>& colours) const {
    if (c.PixelsSuppressed() || rowLo_ > rowHi_) return;
    std::vector<QRgb> rgb(colours.size() + 1);
    for (std::size_t s = 0; s < colours.size(); ++s)
        rgb[s + 1] = Canvas::ToRgb(colours[s]);
    c.PaintOwned(owners_.data(), w_, rowLo_, rowHi_, rgb.data());
}
