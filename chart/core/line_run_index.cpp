#include "chart/core/line_run_index.h"

#include <algorithm>
#include <cmath>

namespace {

bool Finite(double a, double b) {
    return std::isfinite(a) && std::isfinite(b);
}

// The run a drawable line-to item belongs to when it follows `run` directly.
bool Continues(const TLineRun& run, const TChartItem& it) {
    return it.Color == run.Color && it.Layer == run.Layer && it.ItemClass == run.ItemClass;
}

// A solid 1-pixel line-to: the only pen the per-column reduction reproduces exactly.
bool ThinSolidLineTo(const TChartItem& it) {
    return it.Kind == ikLineTo && it.PenStyle == psSolid && it.LineWidth <= 1 && Finite(it.X, it.Y);
}

} // namespace

bool IsLineMember(const TChartItem& it) {
    return it.Kind == ikLineTo && Finite(it.X, it.Y);
}

bool IsLinePoint(const TChartItem& it) {
    return (it.Kind == ikLineTo || it.Kind == ikMoveTo) && Finite(it.X, it.Y);
}

bool IsLineBreak(const TChartItem& it) {
    return (it.Kind == ikLineTo || it.Kind == ikMoveTo) && !Finite(it.X, it.Y);
}

bool IsSkippedItem(const TChartItem& it) {
    switch (it.Kind) {
    case ikLineTo:
    case ikMoveTo:
        return false; // drawn, or a line break
    case ikMark:
    case ikText:
    case ikMoveRel:
    case ikLineRel:
        return !Finite(it.X, it.Y);
    case ikLine:
    case ikRectangle:
    case ikBox:
    case ik3DBar:
    case ikEllipse:
    case ikArrow:
        return !Finite(it.X, it.Y) || !Finite(it.X2, it.Y2);
    default:
        return true;
    }
}

std::size_t TLineRunIndex::MemoryBytes() const {
    std::size_t bytes = runs_.capacity() * sizeof(TLineRun) + spans_.capacity() * sizeof(long long);
    for (const auto& level : levels_)
        bytes += level.capacity() * sizeof(TYRange);
    return bytes;
}

void TLineRunIndex::Clear() {
    runs_.clear();
    levels_.clear();
    spans_.clear();
    count_ = 0;
}

void TLineRunIndex::Append(const TChartItem* items, int count) {
    for (int i = count_; i < count; ++i) {
        const TChartItem& it = items[i];
        TLineRun* open = !runs_.empty() && runs_.back().End == i ? &runs_.back() : nullptr;
        if (ThinSolidLineTo(it)) {
            if (open && Continues(*open, it)) {
                if (it.X < open->LastX) open->MonotoneX = false;
                open->LastX = it.X;
                open->LastMember = i;
                open->End = i + 1;
            } else {
                TLineRun run;
                run.Begin = i;
                run.End = i + 1;
                run.LastMember = i;
                run.Color = it.Color;
                run.Layer = it.Layer;
                run.ItemClass = it.ItemClass;
                run.LastX = it.X;
                runs_.push_back(run);
            }
        } else if (open && IsSkippedItem(it)) {
            open->End = i + 1;
        }
        count_ = i + 1;
        AddToPyramid(i, IsLinePoint(it) ? it.Y : std::nan(""));
    }
}

void TLineRunIndex::AddToPyramid(int index, double y) {
    if (levels_.empty()) {
        levels_.emplace_back();
        spans_.push_back(kFanout);
    }
    for (std::size_t lev = 0; lev < levels_.size(); ++lev) {
        auto& level = levels_[lev];
        const auto block = static_cast<std::size_t>(index / spans_[lev]);
        if (block >= level.size()) level.resize(block + 1);
        if (!std::isnan(y)) level[block].Add(y);
    }
    // The top level always has one block: a new one above it once it has outgrown that.
    while (levels_.back().size() > 1) {
        const auto& top = levels_.back();
        std::vector<TYRange> up((top.size() + kFanout - 1) / kFanout);
        for (std::size_t b = 0; b < top.size(); ++b)
            up[b / kFanout].Add(top[b]);
        spans_.push_back(spans_.back() * kFanout);
        levels_.push_back(std::move(up));
    }
}

std::size_t TLineRunIndex::FirstRunFrom(int index) const {
    const auto it = std::lower_bound(runs_.begin(), runs_.end(), index,
                                     [](const TLineRun& r, int i) { return r.Begin < i; });
    return static_cast<std::size_t>(it - runs_.begin());
}

TYRange TLineRunIndex::YRangeOf(const TChartItem* items, int lo, int hi) const {
    TYRange r;
    long long i = lo;
    while (i < hi) {
        std::size_t lev = 0;
        while (lev < levels_.size() && i % Span(lev) == 0 && i + Span(lev) <= hi)
            ++lev;
        if (lev == 0) {
            if (IsLinePoint(items[i])) r.Add(items[i].Y);
            ++i;
        } else {
            const long long span = Span(lev - 1);
            r.Add(levels_[lev - 1][static_cast<std::size_t>(i / span)]);
            i += span;
        }
    }
    return r;
}

int TLineRunIndex::SearchBlock(const TChartItem* items, std::size_t level, long long block,
                               const std::function<bool(double)>& differs,
                               const std::function<bool(const TYRange&)>& maybe) const {
    const long long span = Span(level);
    if (level == 0) {
        for (long long k = (block + 1) * span - 1; k >= block * span; --k)
            if (k < count_ && IsLinePoint(items[k]) && differs(items[k].Y)) return static_cast<int>(k);
        return -1;
    }
    const auto& below = levels_[level - 1];
    for (long long sub = (block + 1) * kFanout - 1; sub >= block * kFanout; --sub) {
        if (sub >= static_cast<long long>(below.size())) continue;
        const TYRange& r = below[static_cast<std::size_t>(sub)];
        if (r.Empty() || !maybe(r)) continue;
        const int found = SearchBlock(items, level - 1, sub, differs, maybe);
        if (found >= 0) return found;
    }
    return -1;
}

int TLineRunIndex::LastDiffering(const TChartItem* items, int lo, int hi,
                                 const std::function<bool(double)>& differs,
                                 const std::function<bool(const TYRange&)>& maybe) const {
    long long i = hi;
    while (i > lo) {
        // The largest whole block that ends at i and starts at or after lo.
        std::size_t lev = 0;
        while (lev < levels_.size() && i % Span(lev) == 0 && i - Span(lev) >= lo)
            ++lev;
        if (lev == 0) {
            const TChartItem& it = items[i - 1];
            if (IsLinePoint(it) && differs(it.Y)) return static_cast<int>(i - 1);
            --i;
            continue;
        }
        const long long span = Span(lev - 1);
        const long long block = i / span - 1;
        const TYRange& r = levels_[lev - 1][static_cast<std::size_t>(block)];
        if (!r.Empty() && maybe(r)) {
            const int found = SearchBlock(items, lev - 1, block, differs, maybe);
            if (found >= 0) return found;
        }
        i -= span;
    }
    return -1;
}
