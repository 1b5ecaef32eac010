#pragma once
// The value types of drawing that the chart's logic and its canvas share: colours, pen styles and pixel
// points. Plain C++.

#include <cstdint>

using TColor = std::uint32_t; // 0x00BBGGRR for plain colours

enum TPenStyle : std::uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

struct TPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TPoint&) const = default;
};
