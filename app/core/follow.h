#pragma once
// The rule by which the view follows the data ("Mitlaufen") and fits y to it ("Y auto"). Plain C++.

// The ranges of the chart's x and y axes.
struct ViewRange {
    double XLow = 0, XHigh = 0, YLow = 0, YHigh = 0;
    bool operator==(const ViewRange&) const = default;
};

// The x range keeps its width and ends at the newest sample's x once that has passed the width (until
// then it starts at 0). A range without width, or no finite newest x, stays as it is.
void FollowNewest(ViewRange& view, double newest);

// The y range spans the samples' [low, high] with a margin of a twentieth of their span on each side
// (on a logarithmic axis a twentieth of the decades, low being the smallest positive sample); a single
// value gets a twentieth of its size (at least of 1, or of one decade). Ranges that are not finite, or
// low above high, leave y as it is.
void FitY(ViewRange& view, double low, double high, bool logarithmic);
