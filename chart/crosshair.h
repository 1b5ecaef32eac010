#pragma once
// The chart's four crosshairs: a horizontal and/or vertical line through a world position, drawn on top of
// everything else in the plot area.

#include "chart/gfx/canvas.h"
#include "chart/item.h"
#include "chart/layer_transform.h"

#include <functional>
#include <span>

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

// Draws the crosshairs that are on into a canvas whose top-left pixel is control pixel (x0, y0); a line that
// would touch the plot area's border or lie outside it is not drawn. The canvas' pen is restored afterwards.
void DrawCrossHairs(Canvas& canvas, std::span<const TCrossHair> hairs, const TPlotGeometry& frame,
                    const TWorldToPixel& worldToPixel, int x0, int y0);
