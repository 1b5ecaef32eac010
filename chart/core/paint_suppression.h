#pragma once
// Suppresses a chart's painting for a block, so that an operation changing many settings paints once:
// on every way out the previous state comes back, and the block that ends the outermost suppression
// repaints (the chart's setter does). Works with any chart that has PaintSuppressed/SetPaintSuppressed.
// Plain C++.

template <typename Chart> class PaintSuppression {
public:
    explicit PaintSuppression(Chart& chart) : chart_(chart), previous_(chart.PaintSuppressed()) {
        chart_.SetPaintSuppressed(true);
    }
    ~PaintSuppression() { chart_.SetPaintSuppressed(previous_); }
    PaintSuppression(const PaintSuppression&) = delete;
    PaintSuppression& operator=(const PaintSuppression&) = delete;

private:
    Chart& chart_;
    bool previous_;
};
