#pragma once
// The chart's twenty text labels: boxed, underlined or shadowed multi-line texts anchored to a world
// position or to a control pixel (the drawing is in chart/overlays.h). Plain C++.

#include "chart/core/alignment.h"
#include "chart/core/draw_types.h"
#include "chart/core/font.h"
#include "chart/core/layer_transform.h"

#include <cstdint>
#include <functional>
#include <string>

enum TTxtLblMode : std::uint8_t { tlOff, tlsimple, tlBox, tlUnderline, tlShadow };

class TTextLabel {
public:
    // The font starts as a copy of the chart's font.
    explicit TTextLabel(const TFont& font = TFont{}) : font_(font) {}

    // World coordinates when AttachToData, else control pixels; (PosX, PosY) is the bottom of the text.
    double PosX() const { return posX_; }
    void SetPosX(double v) { posX_ = v, Changed(); }
    double PosY() const { return posY_; }
    void SetPosY(double v) { posY_ = v, Changed(); }
    int Layer() const { return layer_; }
    // Layers outside 1 ... 16 are ignored.
    void SetLayer(int v) {
        if (v >= 1 && v <= 16) layer_ = v, Changed();
    }
    bool AttachToData() const { return attachToData_; }
    void SetAttachToData(bool v) { attachToData_ = v, Changed(); }
    TColor ColorBkg() const { return colorBkg_; }
    void SetColorBkg(TColor v) { colorBkg_ = v, Changed(); }
    TColor ColorBorder() const { return colorBorder_; }
    void SetColorBorder(TColor v) { colorBorder_ = v, Changed(); }
    TColor ColorShadow() const { return colorShadow_; }
    void SetColorShadow(TColor v) { colorShadow_ = v, Changed(); }
    int ShadowDx() const { return shadowDx_; }
    void SetShadowDx(int v) { shadowDx_ = v, Changed(); }
    int ShadowDy() const { return shadowDy_; }
    void SetShadowDy(int v) { shadowDy_ = v, Changed(); }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v) { transparent_ = v, Changed(); }
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v) { alignment_ = v, Changed(); }
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& v) { font_ = v, Changed(); }
    TTxtLblMode Mode() const { return mode_; }
    void SetMode(TTxtLblMode v) { mode_ = v, Changed(); }
    // UTF-8; a line feed separates lines.
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v) { caption_ = v, Changed(); }

    // Raised by every setter; the chart repaints on it.
    std::function<void(TTextLabel& sender)> OnChange;

private:
    void Changed() {
        if (OnChange) OnChange(*this);
    }

    double posX_ = 0;
    double posY_ = 0;
    int layer_ = 1;
    bool attachToData_ = true;
    TColor colorBkg_ = 0xFFFFFF;
    TColor colorBorder_ = 0;
    TColor colorShadow_ = 0x808080;
    int shadowDx_ = 3;
    int shadowDy_ = 3;
    bool transparent_ = false;
    TAlignment alignment_ = taCenter;
    TFont font_;
    TTxtLblMode mode_ = tlOff;
    std::string caption_;
};

// Control pixel of a label's anchor: mapped when attached to data, else its position rounded (halves to
// even, like every pixel of the chart).
template <typename WorldToPixelFn>
TPoint TextLabelAnchor(const TTextLabel& label, const WorldToPixelFn& worldToPixel) {
    if (label.AttachToData()) return worldToPixel(label.Layer(), label.PosX(), label.PosY());
    return TPoint{RoundPixel(label.PosX()), RoundPixel(label.PosY())};
}
