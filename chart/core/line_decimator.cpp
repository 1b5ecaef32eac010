#include "chart/core/line_decimator.h"

#include <algorithm>
#include <climits>

namespace {

class Mapper {
public:
    explicit Mapper(const TLineTarget& t) : t_(t) {}
    int X(double x) const { return std::clamp(t_.Transform->XToPixel(x), -t_.Clamp, t_.Clamp) + t_.ShiftX; }
    int Y(double y) const { return std::clamp(t_.Transform->YToPixel(y), -t_.Clamp, t_.Clamp) + t_.ShiftY; }
    TDecimatedPoint P(const TChartItem& it) const { return {X(it.X), Y(it.Y)}; }

    // Lowest and highest target y of a set of values: the mapping is monotonic above the logarithmic
    // floor and constant at or below it, so the extremes come from at most three values.
    std::pair<int, int> Span(const TYRange& r) const {
        int lo = INT_MAX, hi = INT_MIN;
        const auto take = [&](double v) {
            const int y = Y(v);
            lo = std::min(lo, y);
            hi = std::max(hi, y);
        };
        take(r.Min);
        take(r.Max);
        if (r.MinAbove <= r.Max) take(r.MinAbove);
        return {lo, hi};
    }

private:
    const TLineTarget& t_;
};

// The points of one column: first y, lowest and highest y before the trailing points on the last one's
// pixel (lo > hi when there are none), last y. The order keeps the highest pixel covered when the last
// point ends on it.
void EmitColumn(int x, int first, int lo, int hi, int last, std::vector<TDecimatedPoint>& out) {
    out.push_back({x, first});
    if (lo > hi) return; // every point on one pixel: nothing drawn inside the column
    if (last != hi) {
        out.push_back({x, lo});
        out.push_back({x, hi});
    } else {
        out.push_back({x, hi});
        out.push_back({x, lo});
    }
    out.push_back({x, last});
}

int NextMember(const TChartItem* items, int k, int hi) {
    while (k < hi && !IsLineMember(items[k]))
        ++k;
    return k;
}

int PrevMember(const TChartItem* items, int k, int lo) {
    do
        --k;
    while (k > lo && !IsLineMember(items[k]));
    return k;
}

// The first member in [lo, hi) whose target x satisfies `pred` (false, then true along the run), or hi.
// With a guess (a column holds about as many members as the one before it) the search starts there and
// widens in doubling steps, touching the items around the answer only: a bisection of the whole rest of
// a long run reads far-apart pages for every column.
template <class Pred>
int FirstWhere(const TChartItem* items, const Mapper& m, int lo, int hi, Pred pred, int guess = -1) {
    const auto g = [&](int k) {
        const int j = NextMember(items, k, hi);
        return j == hi || pred(m.X(items[j].X));
    };
    int a = lo, b = hi; // g(a − 1) is false or a is lo; g(b) is true or b is hi
    if (guess >= 0) {
        guess = std::clamp(guess, lo, hi);
        if (guess == hi || g(guess)) {
            b = guess;
            for (int step = 1; b - step > lo; step *= 2) {
                if (!g(b - step)) {
                    a = b - step + 1;
                    break;
                }
                b -= step;
            }
        } else {
            a = guess + 1;
            for (int step = 1; a + step < hi; step *= 2) {
                if (g(a + step)) {
                    b = a + step;
                    break;
                }
                a += step + 1;
            }
            a = std::min(a, hi);
        }
    }
    while (a < b) {
        const int mid = a + (b - a) / 2;
        if (g(mid))
            b = mid;
        else
            a = mid + 1;
    }
    return NextMember(items, a, hi);
}

} // namespace

bool PyramidApplies(const TLineRun& run, const TLineTarget& target) {
    const LayerTransform& t = *target.Transform;
    return run.MonotoneX && !t.XRange.Logarithmic && t.XFactor >= 0;
}

void DecimateRun(const TChartItem* items, const TLineRunIndex& index, const TLineRun& run,
                 const TLineTarget& target, std::vector<TDecimatedPoint>& out) {
    if (PyramidApplies(run, target))
        DecimateRunPyramid(items, index, run, target, out);
    else
        DecimateRunScan(items, run, target, out);
}

void DecimateRunScan(const TChartItem* items, const TLineRun& run, const TLineTarget& target,
                     std::vector<TDecimatedPoint>& out) {
    const Mapper m(target);
    bool open = false;
    int cx = 0, first = 0, last = 0, lo = INT_MAX, hi = INT_MIN;
    for (int i = run.Begin; i < run.End; ++i) {
        const TChartItem& it = items[i];
        if (!IsLineMember(it)) continue;
        const TDecimatedPoint p = m.P(it);
        if (!open || p.X != cx) {
            if (open) EmitColumn(cx, first, lo, hi, last, out);
            open = true;
            cx = p.X;
            first = last = p.Y;
            lo = INT_MAX;
            hi = INT_MIN;
        } else if (p.Y != last) {
            lo = std::min(lo, last);
            hi = std::max(hi, last);
            last = p.Y;
        }
    }
    if (open) EmitColumn(cx, first, lo, hi, last, out);
}

namespace {

// The pyramid walk; with a cache it records where its last column starts and may start there.
void Pyramid(const TChartItem* items, const TLineRunIndex& index, const TLineRun& run,
             const TLineTarget& target, std::vector<TDecimatedPoint>& out, TDecimationCache* cache) {
    const Mapper m(target);
    const int b = run.Begin, e = run.End;
    int k = b;
    int stride = 0; // members of the column before
    if (cache && cache->Begin == b && cache->Resume < e) {
        out.resize(cache->Kept);
        k = cache->Resume;
        stride = cache->Stride;
    } else {
        if (cache) cache->Begin = -1;
        out.push_back(m.P(items[b]));
        // Members left of the image: only the last of them matters (the segment into the image).
        k = FirstWhere(items, m, b, e, [](int x) { return x >= 0; });
        if (k > b) {
            const int left = k == e ? run.LastMember : PrevMember(items, k, b);
            if (left != b) out.push_back(m.P(items[left]));
        }
    }
    while (k < e) {
        const int c = m.X(items[k].X);
        if (cache) {
            cache->Begin = b;
            cache->Kept = out.size();
            cache->Resume = k;
            cache->Stride = stride;
        }
        if (c >= target.Width) break;
        const auto beyond = [c](int x) { return x > c; };
        const int j = FirstWhere(items, m, k, e, beyond, stride > 0 ? k + stride : -1);
        stride = j - k;
        const int last = j == e ? run.LastMember : PrevMember(items, j, k);
        const int first = m.Y(items[k].Y);
        if (last == k) {
            out.push_back({c, first});
        } else {
            const int yLast = m.Y(items[last].Y);
            // The last member before the trailing ones on the last one's pixel.
            const int prev = PrevMember(items, last, k);
            int t = prev;
            if (m.Y(items[prev].Y) == yLast) {
                t = prev == k ? -1
                              : index.LastDiffering(
                                    items, k, prev, [&](double y) { return m.Y(y) != yLast; },
                                    [&](const TYRange& r) {
                                        const auto [lo, hi] = m.Span(r);
                                        return lo != yLast || hi != yLast;
                                    });
            }
            if (t < 0) {
                EmitColumn(c, first, INT_MAX, INT_MIN, yLast, out);
                out.push_back({c, yLast}); // == first; keeps the column's last point explicit
            } else {
                const auto [lo, hi] = m.Span(index.YRangeOf(items, k, t + 1));
                EmitColumn(c, first, lo, hi, yLast, out);
            }
        }
        k = j;
    }
    // Members right of the image: the first of them (the segment out of it) and the run's last point.
    if (k < e) {
        out.push_back(m.P(items[k]));
        if (run.LastMember != k) out.push_back(m.P(items[run.LastMember]));
    }
}

} // namespace

void DecimateRunPyramid(const TChartItem* items, const TLineRunIndex& index, const TLineRun& run,
                        const TLineTarget& target, std::vector<TDecimatedPoint>& out) {
    Pyramid(items, index, run, target, out, nullptr);
}

const std::vector<TDecimatedPoint>& DecimateRunCached(const TChartItem* items, const TLineRunIndex& index,
                                                      const TLineRun& run, const TLineTarget& target,
                                                      TDecimationCache& cache) {
    if (!PyramidApplies(run, target)) {
        cache.Clear();
        cache.Points.clear();
        DecimateRunScan(items, run, target, cache.Points);
        return cache.Points;
    }
    const TLineTarget& t = cache.Target;
    if (cache.Begin != run.Begin || !SameMapping(cache.Transform, *target.Transform) ||
        t.Clamp != target.Clamp || t.ShiftX != target.ShiftX || t.ShiftY != target.ShiftY ||
        t.Width != target.Width) {
        cache.Clear();
        cache.Points.clear();
        cache.Transform = *target.Transform;
        cache.Target = target;
        cache.Target.Transform = &cache.Transform;
    }
    Pyramid(items, index, run, target, cache.Points, &cache);
    return cache.Points;
}
