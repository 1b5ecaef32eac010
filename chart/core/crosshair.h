#pragma once
// The chart's four crosshairs: a horizontal and/or vertical line through a world position, drawn on top of
// everything else in the plot area (the drawing is in chart/overlays.h). Plain C++.

#include "chart/core/draw_types.h"

#include <cstdint>
#include <functional>

enum TCrossHMode : std::uint8_t { chOff, chHoriz, chVert, chBoth };

// The chart's WorldToPixel(layer, x, y): control pixels of a world point.
using TWorldToPixel = std::function<TPoint(int layer, double x, double y)>;

class TCrossHair {
public:
    explicit TCrossHair(int number = 1) : layer_(number) {}

    double PosX() const { return posX_; }
    void SetPosX(double v) { posX_ = v, Changed(); }
    double PosY() const { return posY_; }
    void SetPosY(double v) { posY_ = v, Changed(); }
    TColor Color() const { return color_; }
    void SetColor(TColor v) { color_ = v, Changed(); }
    // Not range-checked: the mapping clamps the layer.
    int Layer() const { return layer_; }
    void SetLayer(int v) { layer_ = v, Changed(); }
    TCrossHMode Mode() const { return mode_; }
    void SetMode(TCrossHMode v) { mode_ = v, Changed(); }
    TPenStyle LineType() const { return lineType_; }
    void SetLineType(TPenStyle v) { lineType_ = v, Changed(); }
    int LineWid() const { return lineWid_; }
    void SetLineWid(int v) { lineWid_ = v, Changed(); }

    bool HasVertLine() const { return mode_ == chVert || mode_ == chBoth; }
    bool HasHorizLine() const { return mode_ == chHoriz || mode_ == chBoth; }

    // Raised by every setter; the chart repaints on it.
    std::function<void(TCrossHair& sender)> OnChange;

private:
    void Changed() {
        if (OnChange) OnChange(*this);
    }

    double posX_ = 0;
    double posY_ = 0;
    TColor color_ = 0;
    int layer_;
    TCrossHMode mode_ = chOff;
    TPenStyle lineType_ = psSolid;
    int lineWid_ = 1;
};
