#pragma once
// TScale: one axis that computes its ticks (chart/ticks.h) and draws axis line, ticks, labels and caption
// on a Canvas. A plain object owned by the chart: it draws onto a target canvas (with offsets) or onto
// a canvas of its own, and keeps the tick values of its last drawing for the grid.

#include "chart/alignment.h"
#include "chart/gfx/canvas.h"
#include "chart/gfx/font.h"
#include "chart/scale_props.h"
#include "chart/scale_types.h"
#include "chart/ticks.h"

#include <array>
#include <functional>
#include <string>

class TScale {
public:
    TScale();
    TScale(const TScale&) = delete;
    TScale& operator=(const TScale&) = delete;

    // Copy settings, mapping, tick list, target and handlers of another scale, then repaint.
    void Assign(const TScale& other);

    // Bounds. A new scale is 400 x 400 pixels.
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetBounds(int left, int top, int width, int height);
    void SetSize(int width, int height) { SetBounds(left_, top_, width, height); }

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v);
    int CaptionPosX() const { return captionPosX_; }
    void SetCaptionPosX(int v);
    int CaptionPosY() const { return captionPosY_; }
    void SetCaptionPosY(int v);
    TAlignment CaptionAlignment() const { return captionAlignment_; }
    void SetCaptionAlignment(TAlignment v);
    TScaleUnitAnchor CaptionAnchor() const { return captionAnchor_; }
    void SetCaptionAnchor(TScaleUnitAnchor v);
    TColor ColorBackGnd() const { return colorBackGnd_; }
    void SetColorBackGnd(TColor v);
    TColor ColorScale() const { return colorScale_; }
    void SetColorScale(TColor v);
    TColorScheme ColorScheme() const { return colorScheme_; }
    void SetColorScheme(TColorScheme v);
    TDTLabel& DateFormat() { return dateFormat_; } // owned; a change repaints
    const TDTLabel& DateFormat() const { return dateFormat_; }
    void SetDateFormat(const TDTLabel& v);
    int DecPlaces() const { return decPlaces_; }
    void SetDecPlaces(int v); // clamped to -3 ... 12
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& v);
    TFrameStyle FrameStyle() const { return frameStyle_; }
    void SetFrameStyle(TFrameStyle v);
    TFigType LabelType() const { return labelType_; }
    void SetLabelType(TFigType v);
    bool Logarithmic() const { return logarithmic_; }
    void SetLogarithmic(bool v);
    int MarginTop() const { return marginTop_; }
    void SetMarginTop(int v); // negative values become 0
    int MarginBottom() const { return marginBottom_; }
    void SetMarginBottom(int v);
    int MarginLeft() const { return marginLeft_; }
    void SetMarginLeft(int v);
    int MarginRight() const { return marginRight_; }
    void SetMarginRight(int v);
    int MinTicks() const { return minTicks_; }
    void SetMinTicks(int v); // clamped to 2 ... 10
    double RangeLow() const { return rangeLow_; }
    void SetRangeLow(double v);
    double RangeHigh() const { return rangeHigh_; }
    void SetRangeHigh(double v);
    bool ShortTicks() const { return shortTicks_; }
    void SetShortTicks(bool v);
    bool ShowBaseLine() const { return showBaseLine_; }
    void SetShowBaseLine(bool v);
    const std::string& ScaleInscript() const { return scaleInscript_; }
    void SetScaleInscript(const std::string& v);
    TScaleType ScaleType() const { return scaleType_; }
    void SetScaleType(TScaleType v);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    const std::string& UserTickText() const { return userTickText_; }
    void SetUserTickText(const std::string& v);
    bool Visible() const { return visible_; }
    void SetVisible(bool v);

    // Tick values registered during the last drawing: NumTicks() of them; TickValue(i), i from 1, is 0
    // outside 1 ... NumTicks().
    int NumTicks() const { return numTicks_; }
    double TickValue(int index) const;

    // Along-axis pixel = ScaleFactor * value (or ln value) + ScaleOffset.
    long double ScaleFactor() const { return scaleFactor_; }
    long double ScaleOffset() const { return scaleOffset_; }
    // Along-axis pixel of a value (without target offsets), clamped and rounded halves to even.
    int ValueToPixel(double v) const;
    // Position of the axis line across the axis, in the scale's own pixels.
    int AxisPos() const;

    // Drawing.
    bool PaintSuspended() const { return paintSuspended_; }
    void SetPaintSuspended(bool v) { paintSuspended_ = v; }
    bool Embedded() const { return embedded_; }
    void SetEmbedded(bool v) { embedded_ = v; }
    bool Loading() const { return loading_; }
    void SetLoading(bool v) { loading_ = v; }
    void Loaded(); // end of loading: recompute, clear the flag, repaint
    void SetTargetCanvas(Canvas* canvas, int offsetX = 0, int offsetY = 0);
    Canvas* TargetCanvas() const { return target_; }
    int OffsetX() const { return offsetX_; }
    int OffsetY() const { return offsetY_; }
    // The scale's own canvas (drawn on when no target is set), sized like the scale.
    Canvas& OwnCanvas() { return own_; }
    bool Invalidated() const { return invalid_; }
    void Paint();    // draw now unless suspended, loading or invisible
    void PaintNow(); // draw now even while PaintSuspended is set

    // Applies every scale setting of a settings object, in the order the chart syncs them (each through
    // its setter); the margin that places the axis is the chart's and is not touched here. The font
    // takes the scale colour.
    void ApplyProps(const TScaleProps& p);

    std::function<void(TScale& sender, Canvas& canvas, TScaleType type, double currentTickPos, int chartX,
                       int chartY)>
        OnScaleTickDrawn;
    std::function<void(TScale& sender, Canvas& canvas)> OnBeforeScaleRendered;
    std::function<void(TScale& sender, Canvas& canvas)> OnAfterScaleRendered;

    // The tick computation input of the current settings.
    TTickInput TickInput() const;

private:
    void Recompute();
    void Repaint();
    void DrawScale(Canvas& c, int dx, int dy);
    void DrawFrame(Canvas& c);
    void DrawCaption(Canvas& c, int ax, int ay);
    void DrawMessage(Canvas& c, const std::vector<std::string>& lines, int ax, int ay, int dx, int dy);
    void SetShadeColors();

    int left_ = 0, top_ = 0, width_ = 400, height_ = 400;
    std::string caption_;
    int captionPosX_ = 4, captionPosY_ = 4;
    TAlignment captionAlignment_ = taCenter;
    TScaleUnitAnchor captionAnchor_ = uaSclTopLft;
    TColor colorBackGnd_ = clBtnFace;
    TColor colorScale_ = clBlack;
    TColorScheme colorScheme_ = csBWG;
    TDTLabel dateFormat_;
    int decPlaces_ = -2;
    TFont font_;
    TFrameStyle frameStyle_ = fsLowered;
    TFigType labelType_ = ftNum;
    bool logarithmic_ = false;
    int marginTop_ = 20, marginBottom_ = 20, marginLeft_ = 20, marginRight_ = 20;
    int minTicks_ = 3;
    double rangeLow_ = 0, rangeHigh_ = 100;
    bool shortTicks_ = true;
    bool showBaseLine_ = true;
    std::string scaleInscript_;
    TScaleType scaleType_ = sctXB;
    bool transparent_ = false;
    std::string userTickText_;
    bool visible_ = true;

    long double scaleFactor_ = 1, scaleOffset_ = 0;
    std::array<double, kMaxTickList> ticks_{};
    int numTicks_ = 0;
    TColor frameBlack_ = clBlack, frameShadow_ = 0x808080, frameHighlight_ = 0xFFFFFF;
    bool paintSuspended_ = true;
    bool embedded_ = false;
    bool loading_ = false;
    bool invalid_ = false;
    Canvas* target_ = nullptr;
    int offsetX_ = 0, offsetY_ = 0;
    Canvas own_;
};
