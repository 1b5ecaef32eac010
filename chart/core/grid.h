#pragma once
// Where the chart's grid lines lie along one axis. Plain C++.

#include <cstdint>
#include <vector>

enum GridStyleType : std::uint8_t {
    gsNone,
    gsPoints,
    gsVertLines,
    gsHorizLines,
    gsLines,
    gsHorizDotLines,
    gsVertDotLines,
    gsDotLines,
};

struct TGridAxis {
    double RangeLow = 0;
    double RangeHigh = 1;
    bool Logarithmic = false;
    double Spacing = 0;        // GridDx or GridDy: 0 follows the scale's ticks; −1, −2, −3 log decades
    std::vector<double> Ticks; // tick values of the axis' scale control, in registration order
};

inline constexpr int kMaxGridLines = 1000;

// The grid values v with v < max(RangeLow, RangeHigh), in order, at most kMaxGridLines. A spacing too
// fine to advance ends the list at the cap instead of looping forever.
std::vector<double> GridValues(const TGridAxis& axis);
