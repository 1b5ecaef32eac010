#pragma once
// Pictures compared as sets of pixels: what a canvas painted, and the pixels of a box.

#include "chart/core/colors.h"
#include "chart/gfx/canvas.h"

#include <set>
#include <utility>

using PixelSet = std::set<std::pair<int, int>>;

// Pixels that differ from the background colour.
inline PixelSet Painted(const Canvas& c, TColor background = clWhite) {
    PixelSet s;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            if (c.Pixel(x, y) != background) s.insert({x, y});
    return s;
}

// The pixels x1 … x2 − 1 by y1 … y2 − 1, as a box covers them.
inline PixelSet Box(int x1, int y1, int x2, int y2) {
    PixelSet s;
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x)
            s.insert({x, y});
    return s;
}
