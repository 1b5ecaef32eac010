#pragma once
// World ↔ pixel mapping of one chart layer, in extended precision. Plain C++.
//
// Defined results where the plain formulas would fail:
//   - a degenerate axis (equal bounds, a bound that is not finite, a logarithmic bound ≤ 0, or a range so
//     narrow that its factor overflows) has factor 0 and maps every value to the middle of the plot area;
//   - a plot area with no extent (PlotWidth or PlotHeight ≤ 0) has factor 0 and offset Width / 2 or
//     Height / 2;
//   - a NaN world value maps to kNaNPixel, far outside every picture, so that nothing drawn there shows;
//   - every pixel is clamped to ±2147483647 before it is rounded (halves to even), so no conversion to int
//     is ever out of range;
//   - PixelToWorld on an axis whose factor is 0 gives the axis' low bound; results beyond the double range
//     become ±infinity.

#include <climits>

// The control's size, rims and shadow, which cut the plot area out of it.
struct TPlotGeometry {
    int Width = 280;
    int Height = 200;
    int LRim = 50;
    int RRim = 20;
    int TRim = 20;
    int BRim = 40;
    int ShadowWidth = 0;

    int PlotWidth() const { return Width - LRim - RRim - ShadowWidth; }
    int PlotHeight() const { return Height - TRim - BRim - ShadowWidth; }
    int PlotRight() const { return Width - RRim - ShadowWidth; }
    int PlotBottom() const { return Height - BRim - ShadowWidth; }
};

struct TAxisRange {
    double Low = 0;
    double High = 1;
    bool Logarithmic = false;
};

inline constexpr int kNaNPixel = -INT_MAX;

struct LayerTransform {
    long double XFactor = 0;
    long double XOffset = 0;
    long double YFactor = 0;
    long double YOffset = 0;

    // What the formulas alone do not carry: the rule for logarithmic values ≤ 1e-100 and PixelToWorld
    // on a zero factor.
    TAxisRange XRange;
    TAxisRange YRange;
    int Width = 0;
    int Height = 0;

    static LayerTransform Calc(const TPlotGeometry& g, const TAxisRange& x, const TAxisRange& y);

    int XToPixel(double x) const;
    int YToPixel(double y) const;
    double PixelToX(int xm) const;
    double PixelToY(int ym) const;
};

// Rounds to the nearest integer, halves to even, after clamping into ±2147483647; NaN gives kNaNPixel.
int RoundPixel(long double v);

// Whether two mappings put every value on the same pixel (caches over a picture keep while they do).
bool SameMapping(const LayerTransform& a, const LayerTransform& b);
