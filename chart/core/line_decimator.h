#pragma once
// Per-pixel-column reduction of a line-to run. Plain C++.
//
// A solid 1-pixel segment sets every pixel from its start up to, not including, its end, and segments
// do not influence each other. Within one pixel column the segments of a run are vertical, so the pixels
// they set there are decided by four values: the first and the last point of the column and the lowest
// and highest point before the trailing points that share the last one's pixel. The reduction keeps
// exactly those (and every segment between columns as it is), so the reduced polyline sets the same
// pixels as the full one. Columns outside the target image are merged: a segment between two points
// both left (or both right) of the image sets nothing in it.

#include "chart/core/layer_transform.h"
#include "chart/core/line_run_index.h"

#include <vector>

struct TDecimatedPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TDecimatedPoint&) const = default;
};

// Where a run is drawn: its layer's mapping and the shift of control pixels into the target image.
struct TLineTarget {
    const LayerTransform* Transform = nullptr;
    int Clamp = 30000; // control pixels are clamped to ±Clamp first, as the data pass does
    int ShiftX = 0;    // target pixel = clamped control pixel + shift
    int ShiftY = 0;
    int Width = 0; // target image width: columns outside 0 … Width − 1 are not visible
};

// Appends to `out` the points of a polyline that, started from the same pen position, sets exactly the
// pixels the polyline through every member of `run` sets; the last point is the run's last member.
// Walks the pyramid (cost per visible column, logarithmic in the run's length) when the run's x never
// decreases on a linear axis of non-negative factor; otherwise scans every member.
void DecimateRun(const TChartItem* items, const TLineRunIndex& index, const TLineRun& run,
                 const TLineTarget& target, std::vector<TDecimatedPoint>& out);

// The two ways, for tests and benchmarks.
void DecimateRunScan(const TChartItem* items, const TLineRun& run, const TLineTarget& target,
                     std::vector<TDecimatedPoint>& out);
void DecimateRunPyramid(const TChartItem* items, const TLineRunIndex& index, const TLineRun& run,
                        const TLineTarget& target, std::vector<TDecimatedPoint>& out);
bool PyramidApplies(const TLineRun& run, const TLineTarget& target);

// The reduction of one run kept between pictures, so that a run that only grew by appends is reduced
// again from its last column on: the columns before it hold the same members, so they give the same
// points. Whoever keeps it clears it when the items may have changed otherwise.
struct TDecimationCache {
    int Begin = -1; // the run's first item; -1: nothing kept
    LayerTransform Transform;
    TLineTarget Target;
    std::vector<TDecimatedPoint> Points; // the whole reduction of the run as it was
    std::size_t Kept = 0;                // points before its last column reached
    int Resume = 0;                      // the first member of that column
    int Stride = 0;                      // members of the column before it
    void Clear() { Begin = -1; }
};

// DecimateRun through a cache: the same points (returned, held by the cache).
const std::vector<TDecimatedPoint>& DecimateRunCached(const TChartItem* items, const TLineRunIndex& index,
                                                      const TLineRun& run, const TLineTarget& target,
                                                      TDecimationCache& cache);
