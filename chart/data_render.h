#pragma once
// The items part of the chart's data pass: every visible item in list order, mapped through its layer's
// transform, drawn by one small renderer per kind. Consecutive line-to items go through the polyline
// stage (up to 200 points per polyline, chained end to start); a faster stage for long runs can take its
// place without touching the other renderers.
//
// A line-to or move-to at a NaN or infinite point breaks the line: the stroke ends before it and the next
// finite line-to starts a new one, as a move would (the stored items stay as they are).
//
// Items read from any file are safe to draw: any other item with a NaN or infinite coordinate is skipped,
// pixel coordinates are clamped to ±30000, pen widths to 1 … 64 pixels, text sizes to 200 points, 3-D bar
// depths and arrow heads to 30000 pixels; the cost is linear in the item count.

#include "chart/core/alignment.h"
#include "chart/core/format.h"
#include "chart/core/item.h"
#include "chart/core/layer_transform.h"
#include "chart/core/line_decimator.h"
#include "chart/core/line_run_index.h"
#include "chart/gfx/canvas.h"

#include <array>
#include <bitset>
#include <functional>
#include <vector>

enum TTextBkg : std::uint8_t { tbClear, tbSolid };

inline constexpr int kMaxPenWidth = 64;
inline constexpr int kMaxTextSize = 200;

// Everything of the chart the items part of the data pass reads.
struct TDataPass {
    const std::array<LayerTransform, 16>* Transforms = nullptr;
    TPlotGeometry Geometry;
    int X0 = 0; // target offsets: control pixel (LRim, TRim) lands on (X0, Y0)
    int Y0 = 0;
    bool Mono = false;
    TColor ChartColor = 0xFFFFFF;
    int LineWidth = 1; // the chart's LineWidth: the pen width the pass starts with
    TFontStyles TextFontStyle = 0;
    TTextBkg TextBkStyle = tbClear;
    TColor TextBkColor = 0xFFFFFF;
    TAlignment TextAlignment = taCenter;
    const std::bitset<256>* ClassVisible = nullptr;
    const std::bitset<16>* LayerVisible = nullptr;
    // Told of every polyline the line-to stage draws (points in target pixels).
    std::function<void(const TPoint* points, int count)> OnPolyline;
    // The line-to runs of the items, indexed up to at least the count drawn. When set (and no OnPolyline
    // watches the polylines), long solid 1-pixel runs are reduced to a few points per pixel column before
    // they reach the polyline stage: the same pixels, at a cost per visible column.
    const TLineRunIndex* Runs = nullptr;
    // Where reductions of runs are kept between passes (cleared by the owner when the items change
    // other than by appends): a run that only grew is reduced from its last column on.
    std::vector<TDecimationCache>* Reductions = nullptr;
    // Items whose every pixel a later item paints over are not drawn (their pen and position changes
    // still take effect): the same pixels, at the cost of the visible items.
    bool SkipHidden = true;
};

// Control pixel of a world point, clamped to ±30000 and shifted into the target of the pass.
TPoint MapItemPoint(const TDataPass& pass, int layer, double x, double y);

// Draws items[0 … count − 1] (steps 3 to the final polyline flush of the data pass); the canvas ends with
// pen width 1.
void RenderItems(Canvas& canvas, const TDataPass& pass, const TChartItem* items, int count);
