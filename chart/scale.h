#pragma once
// TScale: one axis that computes its ticks (chart/ticks.h) and draws axis line, ticks, labels and caption
// on a Canvas. A plain object owned by the chart: it draws onto a target canvas (with offsets) or onto
// a canvas of its own, and keeps the tick values of its last drawing for the grid.

#include "chart/core/alignment.h"
#include "chart/core/font.h"
#include "chart/core/scale_props.h"
#include "chart/core/scale_settings.h"
#include "chart/core/scale_types.h"
#include "chart/core/ticks.h"
#include "chart/gfx/canvas.h"

#include <array>
#include <functional>
#include <string>

class TScale : public TScaleSettingsAccess {
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

    void SetCaption(const std::string& v) { Store(&TScaleSettings::Caption, v); }
    void SetCaptionPosX(int v) { Store(&TScaleSettings::CaptionPosX, v); }
    void SetCaptionPosY(int v) { Store(&TScaleSettings::CaptionPosY, v); }
    void SetCaptionAlignment(TAlignment v) { Store(&TScaleSettings::CaptionAlignment, v); }
    void SetCaptionAnchor(TScaleUnitAnchor v) { Store(&TScaleSettings::CaptionAnchor, v); }
    TColor ColorBackGnd() const { return colorBackGnd_; }
    void SetColorBackGnd(TColor v) { RepaintIfChanged(colorBackGnd_, v); }
    void SetColorScale(TColor v) { RepaintIfChanged(s_.ColorScale, v); }
    TColorScheme ColorScheme() const { return colorScheme_; }
    void SetColorScheme(TColorScheme v);
    TDTLabel& DateFormat() { return dateFormat_; } // owned; a change repaints
    const TDTLabel& DateFormat() const { return dateFormat_; }
    void SetDateFormat(const TDTLabel& v);
    void SetDecPlaces(int v); // clamped to -3 ... 12
    void SetFont(const TFont& v) { Store(&TScaleSettings::Font, v); }
    TFrameStyle FrameStyle() const { return frameStyle_; }
    void SetFrameStyle(TFrameStyle v) { RepaintIfChanged(frameStyle_, v); }
    void SetLabelType(TFigType v);
    void SetLogarithmic(bool v);
    int MarginTop() const { return marginTop_; }
    void SetMarginTop(int v) { SetMargins(&TScale::marginTop_, v); } // negative values become 0
    int MarginBottom() const { return marginBottom_; }
    void SetMarginBottom(int v) { SetMargins(&TScale::marginBottom_, v); }
    int MarginLeft() const { return marginLeft_; }
    void SetMarginLeft(int v) { SetMargins(&TScale::marginLeft_, v); }
    int MarginRight() const { return marginRight_; }
    void SetMarginRight(int v) { SetMargins(&TScale::marginRight_, v); }
    void SetMinTicks(int v); // clamped to 2 ... 10
    void SetRangeLow(double v);
    void SetRangeHigh(double v);
    void SetShortTicks(bool v) { RepaintIfChanged(s_.ShortTicks, v); }
    bool ShowBaseLine() const { return showBaseLine_; }
    void SetShowBaseLine(bool v) { Store(&TScale::showBaseLine_, v); }
    void SetScaleInscript(const std::string& v) { Store(&TScaleSettings::ScaleInscript, v); }
    void SetScaleType(TScaleType v);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v) { Store(&TScale::transparent_, v); }
    void SetUserTickText(const std::string& v) { Store(&TScaleSettings::UserTickText, v); }
    void SetVisible(bool v) { Store(&TScaleSettings::Visible, v); }

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

    // Every shared setting at once, with the date format, as the chart hands an axis's settings over:
    // the same rules and order as setting each alone, then one recomputation and one repaint. The font
    // takes the scale colour. The margin that places the axis is the chart's and is not touched here.
    void ApplySettings(const TScaleSettings& v, const TDateTimeFormat& dates);

    std::function<void(TScale& sender, Canvas& canvas, TScaleType type, double currentTickPos, int chartX,
                       int chartY)>
        OnScaleTickDrawn;
    std::function<void(TScale& sender, Canvas& canvas)> OnBeforeScaleRendered;
    std::function<void(TScale& sender, Canvas& canvas)> OnAfterScaleRendered;

    // The tick computation input of the current settings.
    TTickInput TickInput() const;

private:
    // A setting that only changes the picture: stored, then repainted.
    template <typename T, typename V> void Store(T TScaleSettings::*field, const V& v) {
        s_.*field = v;
        Repaint();
    }
    template <typename T, typename V> void Store(T TScale::*field, const V& v) {
        this->*field = v;
        Repaint();
    }
    // Stores v; true when that changed the setting.
    template <typename T> static bool StoreChanged(T& field, const T& v) {
        if (field == v) return false;
        field = v;
        return true;
    }
    template <typename T> void RepaintIfChanged(T& field, const T& v) {
        if (StoreChanged(field, v)) Repaint();
    }
    // A setting that moves ticks or mapping: computed again, then repainted.
    void Remap() {
        Recompute();
        Repaint();
    }
    void SetMargins(int TScale::*margin, int v);
    void StoreRangeLow(double v);
    void StoreRangeHigh(double v);
    void Recompute();
    void Repaint();
    void DrawScale(Canvas& c, int dx, int dy);
    void DrawFrame(Canvas& c);
    void DrawCaption(Canvas& c, int ax, int ay);
    void DrawMessage(Canvas& c, const std::vector<std::string>& lines, int ax, int ay, int dx, int dy);
    void SetShadeColors();

    int left_ = 0, top_ = 0, width_ = 400, height_ = 400;
    TColor colorBackGnd_ = clBtnFace;
    TColorScheme colorScheme_ = csBWG;
    TDTLabel dateFormat_;
    TFrameStyle frameStyle_ = fsLowered;
    int marginTop_ = 20, marginBottom_ = 20, marginLeft_ = 20, marginRight_ = 20;
    bool showBaseLine_ = true;
    bool transparent_ = false;

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
