#pragma once
// The XY view's lines kept between pictures. Each series is walked against the x series by X (both rise,
// as an acquisition appends them): a pair of the same X is a point, a pen move in either, a missing
// partner or a value that is no number breaks the line, and the points are joined in order with the
// canvas' 1-pixel line. What is kept is which series owns each pixel (the later series over the earlier,
// as they are drawn in order), so a picture after an append walks only the new pairs and then paints
// the owned pixels: the same pixels as drawing every line afresh.
//
// Anything but appends (other lists, a change of generation, another mapping, picture size or trail
// start) starts the walk over.

#include "chart/core/item_store.h"
#include "chart/core/layer_transform.h"
#include "chart/gfx/canvas.h"

#include <cstdint>
#include <vector>

// From a pair of values to the picture's pixel: the layer's mapping, limited to ±kPixelClamp, then
// shifted by (Dx, Dy).
struct TXYMapping {
    LayerTransform T;
    int Dx = 0;
    int Dy = 0;
    TPoint operator()(double x, double y) const;
    bool operator==(const TXYMapping& o) const;
};

class TXYCover {
public:
    // Brings the cover up to the lists: ys[s] is drawn against xs (nullptr: not drawn), from xs' item
    // `first` on, on a w × h picture.
    void Follow(const TItemStore& xs, const std::vector<const TItemStore*>& ys, const TXYMapping& map, int w,
                int h, int first);
    // Paints each owned pixel in its series' colour (colours[s] for ys[s]).
    void Paint(Canvas& c, const std::vector<TColor>& colours) const;

private:
    struct Walk {
        const TItemStore* Store = nullptr;
        std::uint64_t Generation = 0;
        int Count = 0; // items seen
        int I = 0;     // next item of xs
        int J = 0;     // next item of the series
        bool Joined = false;
        bool HasLast = false; // the line goes on from Last
        TPoint Last;
    };
    void Restart(const TItemStore& xs, const std::vector<const TItemStore*>& ys, const TXYMapping& map, int w,
                 int h, int first);
    bool Holds(const TItemStore& xs, const std::vector<const TItemStore*>& ys, const TXYMapping& map, int w,
               int h, int first) const;
    void WalkOn(Walk& walk, std::uint16_t owner, const TItemStore& xs);
    void Line(TPoint a, TPoint b, std::uint16_t owner);

    std::vector<std::uint16_t> owners_; // w × h, 0: no line's pixel
    int w_ = 0, h_ = 0;
    int rowLo_ = 0, rowHi_ = -1; // the rows that may hold an owned pixel
    TXYMapping map_;
    int first_ = -1;
    const TItemStore* xs_ = nullptr;
    std::uint64_t xsGeneration_ = 0;
    int xsCount_ = 0;
    std::vector<Walk> walks_;
};
