#pragma once
// An index over the chart's item list that lets long line-to runs be drawn at pixel resolution: the runs
// whose points may be reduced per pixel column, and a min/max pyramid of the y values of the line's
// points (line-to and move-to), both kept up to date as items are appended. Plain C++.
//
// A run is a stretch of items the data pass draws as one solid, 1-pixel polyline of one colour: it starts
// at a drawable line-to item and goes on over line-to items of the same colour, layer and class, and over
// items the data pass skips without a trace (kinds that draw nothing, other kinds' non-finite points). A
// line break (a line-to or move-to at a non-finite point) ends it.

#include "chart/core/item.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

struct TLineRun {
    int Begin = 0;      // a drawable line-to item
    int End = 0;        // one past the last item of the run
    int LastMember = 0; // the last drawable line-to item
    TColor Color = 0;
    std::int32_t Layer = 0;
    std::uint8_t ItemClass = 0;
    bool MonotoneX = true; // the x of the members never decreases
    double LastX = 0;
};

// y values of the members of an index range: extremes, count and sum. Values at or below kLogFloor map
// to one fixed pixel on a logarithmic axis, so the smallest value above it is kept as well.
struct TYRange {
    static constexpr double kLogFloor = 1e-100;
    double Min = std::numeric_limits<double>::infinity();
    double Max = -std::numeric_limits<double>::infinity();
    double MinAbove = std::numeric_limits<double>::infinity();
    double Sum = 0;
    long long Count = 0;

    bool Empty() const { return Min > Max; }
    double Mean() const { return Count > 0 ? Sum / static_cast<double>(Count) : 0.0; }
    void Add(double y) {
        if (y < Min) Min = y;
        if (y > Max) Max = y;
        if (y > kLogFloor && y < MinAbove) MinAbove = y;
        Sum += y;
        ++Count;
    }
    void Add(const TYRange& r) {
        if (r.Min < Min) Min = r.Min;
        if (r.Max > Max) Max = r.Max;
        if (r.MinAbove < MinAbove) MinAbove = r.MinAbove;
        Sum += r.Sum;
        Count += r.Count;
    }
};

// A line-to item with finite coordinates: the points a run draws.
bool IsLineMember(const TChartItem& it);
// A line-to or move-to item with finite coordinates: a sample of a line, whose y the pyramid keeps. A
// move-to never lies inside a run, so over a run's items these are its members.
bool IsLinePoint(const TChartItem& it);
// A line-to or move-to at a non-finite point: the line ends before it and the next finite line-to starts
// a new one there, as a move would.
bool IsLineBreak(const TChartItem& it);
// An item the data pass skips whatever the chart's state: it neither draws nor ends a polyline.
bool IsSkippedItem(const TChartItem& it);

class TLineRunIndex {
public:
    static constexpr int kFanout = 16; // items per pyramid block, blocks per block of the next level

    void Clear();
    // Indexes items[Count() … count − 1]; the items before Count() must be those indexed before.
    void Append(const TChartItem* items, int count);
    int Count() const { return count_; }
    // The memory the index holds, in bytes.
    std::size_t MemoryBytes() const;
    const std::vector<TLineRun>& Runs() const { return runs_; }
    // The first run that begins at or after item `index` (Runs().size() when none).
    std::size_t FirstRunFrom(int index) const;

    // The y values of the line points among items[lo … hi − 1].
    TYRange YRangeOf(const TChartItem* items, int lo, int hi) const;

    // The largest index in [lo, hi) of a line point whose y `differs`, or −1. `maybe(range)` must be true
    // whenever some value of the range differs.
    int LastDiffering(const TChartItem* items, int lo, int hi, const std::function<bool(double)>& differs,
                      const std::function<bool(const TYRange&)>& maybe) const;

private:
    void AddToPyramid(int index, double y);
    long long Span(std::size_t level) const { return spans_[level]; } // items under one block of a level
    int SearchBlock(const TChartItem* items, std::size_t level, long long block,
                    const std::function<bool(double)>& differs,
                    const std::function<bool(const TYRange&)>& maybe) const;

    std::vector<TLineRun> runs_;
    std::vector<std::vector<TYRange>> levels_; // levels_[0][b] covers items [16·b, 16·b + 16)
    std::vector<long long> spans_;
    int count_ = 0;
};
