#include "chart/scale.h"

#include "chart/core/format.h"

#include <algorithm>
#include <cmath>

TScale::TScale() {
    // A control of its own starts as a visible bottom axis from 0 to 100, its caption 4 pixels in.
    s_.CaptionPosX = s_.CaptionPosY = 4;
    s_.ColorScale = clBlack;
    s_.RangeHigh = 100;
    s_.Visible = true;
    s_.ScaleType = sctXB;
    dateFormat_.OnChange = [this](TDTLabel&) { Repaint(); };
    Recompute();
    paintSuspended_ = false;
}

void TScale::Assign(const TScale& o) {
    // Every setting but visibility and font, the mapping and the ticks of the other scale.
    const bool visible = s_.Visible;
    const TFont font = s_.Font;
    s_ = o.s_;
    s_.Visible = visible;
    s_.Font = font;
    frameStyle_ = o.frameStyle_;
    colorBackGnd_ = o.colorBackGnd_;
    colorScheme_ = o.colorScheme_;
    frameBlack_ = o.frameBlack_;
    frameShadow_ = o.frameShadow_;
    frameHighlight_ = o.frameHighlight_;
    OnScaleTickDrawn = o.OnScaleTickDrawn;
    scaleFactor_ = o.scaleFactor_;
    scaleOffset_ = o.scaleOffset_;
    ticks_ = o.ticks_;
    numTicks_ = o.numTicks_;
    showBaseLine_ = o.showBaseLine_;
    transparent_ = o.transparent_;
    {
        auto hook = std::move(dateFormat_.OnChange);
        dateFormat_.OnChange = nullptr;
        dateFormat_.Assign(o.dateFormat_);
        dateFormat_.OnChange = std::move(hook);
    }
    marginTop_ = o.marginTop_;
    marginBottom_ = o.marginBottom_;
    marginLeft_ = o.marginLeft_;
    marginRight_ = o.marginRight_;
    target_ = o.target_;
    offsetX_ = o.offsetX_;
    offsetY_ = o.offsetY_;
    paintSuspended_ = o.paintSuspended_;
    Repaint();
}

void TScale::ApplySettings(const TScaleSettings& v, const TDateTimeFormat& dates) {
    s_.ScaleType = v.ScaleType;
    StoreRangeLow(v.RangeLow);
    StoreRangeHigh(v.RangeHigh);
    s_.Visible = v.Visible;
    s_.Caption = v.Caption;
    s_.CaptionPosX = v.CaptionPosX;
    s_.CaptionPosY = v.CaptionPosY;
    s_.CaptionAlignment = v.CaptionAlignment;
    s_.CaptionAnchor = v.CaptionAnchor;
    s_.ColorScale = v.ColorScale;
    s_.DecPlaces = std::clamp(v.DecPlaces, -3, 12);
    StoreLogarithmic(s_, v.Logarithmic, loading_);
    StoreLabelType(s_, v.LabelType);
    s_.ShortTicks = v.ShortTicks;
    s_.MinTicks = std::clamp(v.MinTicks, 2, 10);
    s_.ScaleInscript = v.ScaleInscript;
    s_.UserTickText = v.UserTickText;
    s_.Font = v.Font;
    s_.Font.Color = v.ColorScale; // labels and caption take the scale colour
    {
        auto hook = std::move(dateFormat_.OnChange);
        dateFormat_.OnChange = nullptr;
        dateFormat_.AssignFields(dates);
        dateFormat_.OnChange = std::move(hook);
    }
    Recompute();
    Repaint();
}

// ---- setters ----

void TScale::StoreRangeLow(double v) {
    s_.RangeLow = v;
    if (v == s_.RangeHigh) s_.RangeHigh = v + 1;
}

void TScale::StoreRangeHigh(double v) {
    s_.RangeHigh = v;
    if (v == s_.RangeLow) s_.RangeLow = v + 1;
}

void TScale::SetBounds(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    Remap();
}

void TScale::SetShadeColors() {
    if (colorScheme_ == csBWG) {
        frameShadow_ = 0x808080;
        frameHighlight_ = 0xFFFFFF;
    } else {
        frameShadow_ = clBtnShadow;
        frameHighlight_ = clBtnHighlight;
    }
}

void TScale::SetColorScheme(TColorScheme v) {
    if (!StoreChanged(colorScheme_, v)) return;
    SetShadeColors();
    Repaint();
}

void TScale::SetDateFormat(const TDTLabel& v) {
    dateFormat_.Assign(v);
} // the owned label repaints

void TScale::SetDecPlaces(int v) {
    s_.DecPlaces = std::clamp(v, -3, 12);
    Remap();
}

void TScale::SetLabelType(TFigType v) {
    StoreLabelType(s_, v);
    Repaint();
}

void TScale::SetLogarithmic(bool v) {
    StoreLogarithmic(s_, v, loading_);
    Remap();
}

void TScale::SetMargins(int TScale::*margin, int v) {
    this->*margin = std::max(v, 0);
    Remap();
}

void TScale::SetMinTicks(int v) {
    s_.MinTicks = std::clamp(v, 2, 10);
    Repaint();
}

void TScale::SetRangeLow(double v) {
    StoreRangeLow(v);
    Remap();
}

void TScale::SetRangeHigh(double v) {
    StoreRangeHigh(v);
    Remap();
}

void TScale::SetScaleType(TScaleType v) {
    if (StoreChanged(s_.ScaleType, v)) Remap();
}

void TScale::SetTargetCanvas(Canvas* canvas, int offsetX, int offsetY) {
    target_ = canvas;
    offsetX_ = offsetX;
    offsetY_ = offsetY;
}

void TScale::Loaded() {
    loading_ = false;
    Recompute();
    Repaint();
}

double TScale::TickValue(int index) const {
    if (index < 1 || index > numTicks_) return 0;
    return ticks_[static_cast<std::size_t>(index - 1)];
}

// ---- mapping ----

void TScale::Recompute() {
    if (loading_ || s_.RangeHigh == s_.RangeLow || !std::isfinite(s_.RangeLow) ||
        !std::isfinite(s_.RangeHigh))
        return;
    const bool horiz = IsHorizontal(s_.ScaleType);
    const long double c =
        horiz ? width_ - marginLeft_ - marginRight_ - 1 : height_ - marginTop_ - marginBottom_ - 1;
    if (c <= 0) {
        scaleFactor_ = 0;
        scaleOffset_ = horiz ? width_ / 2.0L : height_ / 2.0L;
        return;
    }
    long double lo = s_.RangeLow, hi = s_.RangeHigh;
    if (s_.Logarithmic) {
        // With a bound that is not positive the old factors stay.
        if (!(lo > 0 && hi > 0)) return;
        lo = std::log(lo);
        hi = std::log(hi);
        if (hi == lo) return;
    }
    if (horiz) {
        scaleFactor_ = c / (hi - lo);
        scaleOffset_ = marginLeft_ - lo * scaleFactor_;
    } else {
        scaleFactor_ = c / (lo - hi);
        scaleOffset_ = marginTop_ - hi * scaleFactor_;
    }
}

int TScale::ValueToPixel(double v) const {
    long double p;
    if (s_.Logarithmic) {
        if (v > 1e-100)
            p = scaleFactor_ * std::log(static_cast<long double>(v)) + scaleOffset_;
        else
            p = s_.RangeHigh >= s_.RangeLow ? 0 : width_;
    } else {
        p = scaleFactor_ * v + scaleOffset_;
    }
    if (std::isnan(p)) return 0;
    p = std::clamp(p, -2147483647.0L, 2147483647.0L);
    return static_cast<int>(RoundHalfEven(static_cast<double>(p)));
}

int TScale::AxisPos() const {
    switch (s_.ScaleType) {
    case sctXB:
        return height_ - marginBottom_ - 1;
    case sctXT:
        return marginTop_;
    case sctYL:
        return marginLeft_;
    default:
        return width_ - marginRight_ - 1;
    }
}

TTickInput TScale::TickInput() const {
    TTickInput in;
    in.RangeLow = s_.RangeLow;
    in.RangeHigh = s_.RangeHigh;
    in.Logarithmic = s_.Logarithmic;
    in.MinTicks = s_.MinTicks;
    in.DecPlaces = s_.DecPlaces;
    in.ShortTicks = s_.ShortTicks;
    in.LabelType = s_.LabelType;
    in.ScaleType = s_.ScaleType;
    in.UserTickText = s_.UserTickText;
    in.ScaleInscript = s_.ScaleInscript;
    in.DateFormat = dateFormat_.Fields();
    return in;
}

// ---- drawing ----

void TScale::Repaint() {
    if (transparent_ && !embedded_) {
        invalid_ = true;
        return;
    }
    Paint();
}

void TScale::PaintNow() {
    const bool keep = paintSuspended_;
    paintSuspended_ = false;
    Paint();
    paintSuspended_ = keep;
}

void TScale::Paint() {
    if (paintSuspended_ || loading_ || !s_.Visible) return;
    invalid_ = false;
    Canvas* c = target_;
    if (!c) {
        own_.SetSize(width_, height_);
        c = &own_;
    }
    c->SetFont(s_.Font);
    if (OnBeforeScaleRendered) OnBeforeScaleRendered(*this, *c);
    if (transparent_) {
        c->SetPenMode(pmCopy);
        c->SetPenStyle(psSolid);
        c->SetPenWidth(1);
        c->SetPenColor(s_.ColorScale);
        DrawScale(*c, target_ ? offsetX_ : 0, target_ ? offsetY_ : 0);
        if (OnAfterScaleRendered) OnAfterScaleRendered(*this, *c);
        return;
    }
    // Opaque: drawn off screen and copied in one piece, so the axis never flickers.
    Canvas bmp(width_, height_);
    bmp.SetFont(s_.Font);
    bmp.SetPenColor(colorBackGnd_);
    bmp.SetBrushColor(colorBackGnd_);
    bmp.Rectangle(0, 0, width_, height_);
    bmp.SetPenColor(s_.ColorScale);
    DrawScale(bmp, 0, 0);
    if (OnAfterScaleRendered) OnAfterScaleRendered(*this, bmp);
    DrawFrame(bmp);
    if (target_)
        target_->Draw(offsetX_, offsetY_, bmp);
    else
        own_.Draw(0, 0, bmp);
}

// Ticks, labels, caption and base line. (dx, dy) shifts everything onto the target canvas.
void TScale::DrawScale(Canvas& c, int dx, int dy) {
    const TTickLayout layout = ComputeTicks(TickInput());
    numTicks_ = static_cast<int>(layout.TickList.size());
    std::copy(layout.TickList.begin(), layout.TickList.end(), ticks_.begin());

    const bool horiz = IsHorizontal(s_.ScaleType);
    const int axis = AxisPos();
    const int ax = horiz ? 0 : axis, ay = horiz ? axis : 0;
    const int dir = (s_.ScaleType == sctXB || s_.ScaleType == sctYR) ? -1 : 1; // tick direction, outward
    c.SetBrushColor(colorBackGnd_);
    c.SetBrushStyle(transparent_ ? bsClear : bsSolid);
    const int h0 = c.TextHeight(std::string("0"));

    for (const TTickMark& m : layout.Marks) {
        const int p = ClampPixel(ValueToPixel(m.Value));
        const int tx = ClampPixel(static_cast<long long>(horiz ? p : ax) + dx);
        const int ty = ClampPixel(static_cast<long long>(horiz ? ay : p) + dy);
        if (m.Drawn) {
            c.SetPenColor(s_.ColorScale);
            c.MoveTo(tx, ty);
            if (horiz)
                c.LineTo(tx, ty + dir * m.Length);
            else
                c.LineTo(tx + dir * m.Length, ty);
        }
        if (!horiz && m.Reported && OnScaleTickDrawn)
            OnScaleTickDrawn(*this, c, s_.ScaleType, m.Value, tx, ty);
        if (m.HasLabel && !m.Label.empty()) {
            const int w = c.TextWidth(m.Label);
            if (horiz) {
                const int lh = c.TextHeight(m.Label);
                const int half = w / 2;
                int left = p - std::min(p - 2, half);
                if (p + half >= width_ - 2) left = width_ - 2 * half - 2;
                const int top = s_.ScaleType == sctXT ? ay + 7 : ay - lh - 7;
                c.TextOut(left + dx, top + dy, m.Label);
            } else {
                const int left = s_.ScaleType == sctYR ? ax - w - 8 : ax + 8;
                const int top = p - h0 / 2;
                c.TextOut(left + dx, top + dy, m.Label);
                if (!m.DateLine.empty()) {
                    const int dw = c.TextWidth(m.DateLine);
                    const int dl = s_.ScaleType == sctYR ? ax - dw - 8 : ax + 8;
                    c.TextOut(dl + dx, top - 3 * h0 / 2 + dy, m.DateLine);
                }
            }
        }
        if (horiz && m.Reported && OnScaleTickDrawn)
            OnScaleTickDrawn(*this, c, s_.ScaleType, m.Value, tx, ty);
    }
    if (!layout.Message.empty()) DrawMessage(c, layout.Message, ax, ay, dx, dy);
    DrawCaption(c, ax + dx, ay + dy);

    if (showBaseLine_) {
        c.SetPenColor(s_.ColorScale);
        if (horiz) {
            c.MoveTo(marginLeft_ + dx, ay + dy);
            c.LineTo(width_ - marginRight_ - 1 + dx, ay + dy);
        } else {
            c.MoveTo(ax + dx, marginTop_ + dy);
            c.LineTo(ax + dx, height_ - marginBottom_ - 1 + dy);
        }
    }
}

// A message in place of ticks, centred on the middle of the range.
void TScale::DrawMessage(Canvas& c, const std::vector<std::string>& lines, int ax, int ay, int dx, int dy) {
    const int mid = ClampPixel(ValueToPixel((s_.RangeLow + s_.RangeHigh) / 2));
    const int h = c.TextHeight(std::string("0"));
    if (IsHorizontal(s_.ScaleType)) {
        const int top = s_.ScaleType == sctXT ? ay + 7 : ay - h - 7;
        for (std::size_t i = 0; i < lines.size(); ++i)
            c.TextOut(mid - c.TextWidth(lines[i]) / 2 + dx, top + static_cast<int>(i) * h + dy, lines[i]);
        return;
    }
    int top = mid - static_cast<int>(lines.size()) * h / 2;
    for (const std::string& line : lines) {
        const int w = c.TextWidth(line);
        c.TextOut((s_.ScaleType == sctYR ? ax - w - 8 : ax + 8) + dx, top + dy, line);
        top += h;
    }
}

void TScale::DrawCaption(Canvas& c, int axisX, int axisY) {
    if (s_.Caption.empty()) return;
    const int w = c.TextWidth(s_.Caption);
    const int dx = axisX - (IsHorizontal(s_.ScaleType) ? 0 : AxisPos());
    const int dy = axisY - (IsHorizontal(s_.ScaleType) ? AxisPos() : 0);
    int x, y;
    if (IsHorizontal(s_.ScaleType)) {
        y = axisY + s_.CaptionPosY;
        const int anchors[3] = {marginLeft_, marginLeft_ + (width_ - marginLeft_ - marginRight_) / 2,
                                width_ - marginRight_};
        x = anchors[std::min<int>(s_.CaptionAnchor, 2)] + s_.CaptionPosX + dx;
    } else {
        x = axisX + s_.CaptionPosX;
        const int anchors[3] = {marginTop_, marginTop_ + (height_ - marginTop_ - marginBottom_) / 2,
                                height_ - marginBottom_};
        y = anchors[std::min<int>(s_.CaptionAnchor, 2)] + s_.CaptionPosY + dy;
    }
    if (s_.CaptionAlignment == taRightJustify) x -= w;
    if (s_.CaptionAlignment == taCenter) x -= w / 2;
    c.TextOut(x, y, s_.Caption);
}

// The frame of an opaque scale: light from the top left. Lowered and raised are one line of shadow and
// highlight; embossed and engraved add an inner line in black or silver.
void TScale::DrawFrame(Canvas& c) {
    const int w = width_, h = height_;
    if (frameStyle_ == fsNone || w < 2 || h < 2) return;
    c.SetPenWidth(1);
    c.SetPenStyle(psSolid);
    c.SetPenMode(pmCopy);
    const auto bevel = [&](int inset, TColor topLeft, TColor bottomRight) {
        const int l = inset, t = inset, r = w - 1 - inset, b = h - 1 - inset;
        if (r <= l || b <= t) return;
        c.SetPenColor(topLeft);
        c.MoveTo(l, b);
        c.LineTo(l, t);
        c.LineTo(r, t);
        c.SetPenColor(bottomRight);
        c.LineTo(r, b);
        c.LineTo(l - 1, b);
    };
    switch (frameStyle_) {
    case fsSimple:
        bevel(0, frameBlack_, frameBlack_);
        break;
    case fsLowered:
        bevel(0, frameShadow_, frameHighlight_);
        break;
    case fsRaised:
        bevel(0, frameHighlight_, frameShadow_);
        break;
    case fsEmbossed:
        bevel(0, frameHighlight_, frameBlack_);
        bevel(1, clSilver, frameShadow_);
        break;
    case fsEngraved:
        bevel(0, frameShadow_, frameHighlight_);
        bevel(1, frameBlack_, clSilver);
        break;
    default:
        break;
    }
}
