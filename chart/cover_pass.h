#pragma once
// Items of the data pass whose pixels are all painted over later: found by one backward pass over the
// items, so that the data pass need not spend their pixels (a file of a million plot-sized filled shapes
// then costs what its visible ones cost).
//
// A later item paints over an earlier one's pixel when it writes that pixel with an opaque copy: the fill
// of a shape with a solid brush (and its 1-pixel solid outline) on a copying canvas. Each image row keeps
// one covered interval. An earlier shape is hidden when every row of a box or ellipse holding all its
// pixels lies within the covered interval of that row, when all its pixels lie outside the image, or when
// a later shape draws exactly the same pixels (same kind, points and pen). Once every row is covered
// wholly, everything before is hidden. On an exclusive-or canvas nothing is cover: every item reads
// what lies below it.
//
// The geometry of the shapes is shared with their renderers, so both see the same pixels.

#include "chart/data_render.h"

#include <vector>

// Round, halves to even, of a value first limited to ±limit (so that the conversion is always in range).
int RoundClamped(double v, double limit);
// Raises the larger x and the larger y of two points by one (the first point's when they are equal).
void Widen(TPoint& a, TPoint& b);

// The corners of an ellipse item's box, mapped (before widening).
void EllipseCorners(const TDataPass& pass, const TChartItem& it, TPoint& a, TPoint& b);

// The two faces and the front rectangle (its corners as given to Rectangle) of a 3-D bar.
struct TBarGeometry {
    TPoint Top[4];
    TPoint Side[4];
    int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};
TBarGeometry BarGeometry(const TDataPass& pass, const TChartItem& it);

// The two back corners of an arrow head at b for the widened line a → b.
void ArrowHead(TPoint a, TPoint b, int size, TPoint& h1, TPoint& h2);

struct THiddenItems {
    int Below = 0;          // every item before this index is hidden
    std::vector<int> Items; // further hidden items, in decreasing order
};

// The hidden items among items[0 … count − 1] drawn on `canvas` (its size and pen mode; its brush style
// is the one the pass starts with).
THiddenItems FindHiddenItems(const Canvas& canvas, const TDataPass& pass, const TChartItem* items, int count);
