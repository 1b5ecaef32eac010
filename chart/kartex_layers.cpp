// TKartex: layers, ranges, coupling, standard layouts and the mapping between world and pixels.

#include "chart/kartex.h"

#include "chart/core/colors.h"
#include "chart/core/paint_suppression.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

constexpr TColor kLayerColors[16] = {clBlack, clMaroon,  clGreen,  clOlive, clNavy, clPurple,
                                     clTeal,  clGray,    clSilver, clRed,   clLime, clYellow,
                                     clBlue,  clFuchsia, clAqua,   clWhite};

// Extended values handed on as doubles: beyond the double range they become ±infinity.
double ToDouble(long double v) {
    if (v > DBL_MAX) return HUGE_VAL;
    if (v < -DBL_MAX) return -HUGE_VAL;
    return static_cast<double>(v);
}

bool ValidLayer(int layer) {
    return layer >= 1 && layer <= TKartex::kLayers;
}

} // namespace

void TKartex::CreateLayers() {
    for (int n = 1; n <= kLayers; ++n) {
        Layer& l = L(n);
        l.x = std::make_unique<TScalePropsHoriz>();
        l.y = std::make_unique<TScalePropsVert>();
        const bool odd = n % 2 == 1;
        l.x->SetColorScale(kLayerColors[n - 1]);
        l.y->SetColorScale(kLayerColors[n - 1]);
        l.x->SetScalePos((n - 1) / 2 * 30);
        l.y->SetScalePos((n - 1) / 2 * 50);
        l.x->SetScaleType(odd ? sctXT : sctXB);
        l.y->SetScaleType(odd ? sctYR : sctYL);
        l.x->OnChange = [this](TScaleProps&) { ScalePropsChanged(); };
        l.y->OnChange = [this](TScaleProps&) { ScalePropsChanged(); };
        l.x->DateFormat().OnChange = [this](TDTLabel&) { ScalePropsChanged(); };
        l.y->DateFormat().OnChange = [this](TDTLabel&) { ScalePropsChanged(); };
        for (std::unique_ptr<TScale>* s : {&l.xScale, &l.yScale}) {
            *s = std::make_unique<TScale>();
            TScale& sc = **s;
            sc.SetPaintSuspended(true);
            sc.SetEmbedded(true);
            sc.OnScaleTickDrawn = [this](TScale&, Canvas& c, TScaleType t, double pos, int cx, int cy) {
                if (OnScaleTickDrawn) OnScaleTickDrawn(*this, c, t, pos, cx, cy);
            };
        }
    }
}

void TKartex::FinishCreation() {
    for (int n = 1; n <= kLayers; ++n) {
        Layer& l = L(n);
        for (TScale* s : {l.xScale.get(), l.yScale.get()}) {
            s->SetTransparent(true);
            s->SetFrameStyle(fsNone);
            s->SetColorBackGnd(windColor_);
            s->SetSize(geom_.Width, geom_.Height);
        }
        SyncScaleControl(*l.xScale, *l.x);
        SyncScaleControl(*l.yScale, *l.y);
        SetSideMargins(n);
        // What reading a stored form ends with: settings leave their loading state.
        l.x->SetLoading(false);
        l.y->SetLoading(false);
    }
    CalcMapping();
}

TScalePropsHoriz* TKartex::ScaleX(int layer) {
    return (ValidLayer(layer) ? L(layer) : L(1)).x.get();
}

TScalePropsVert* TKartex::ScaleY(int layer) {
    return (ValidLayer(layer) ? L(layer) : L(1)).y.get();
}

TScale* TKartex::ScaleControlX(int layer) {
    return (ValidLayer(layer) ? L(layer) : L(1)).xScale.get();
}

TScale* TKartex::ScaleControlY(int layer) {
    return (ValidLayer(layer) ? L(layer) : L(1)).yScale.get();
}

const LayerTransform& TKartex::Transform(int layer) const {
    return transforms_[static_cast<std::size_t>(std::clamp(layer, 1, kLayers) - 1)];
}

// ---- mapping ----

void TKartex::SetLayerBand(int layer, double top, double bottom) {
    if (!ValidLayer(layer) || !(top >= 0 && top < bottom && bottom <= 1)) return;
    auto& band = bands_[static_cast<std::size_t>(layer - 1)];
    if (band == std::pair<double, double>(top, bottom)) return;
    band = {top, bottom};
    SetSideMargins(layer);
    SyncScaleControl(*L(layer).yScale, *L(layer).y);
    CalcMapping();
    Changed();
}

std::pair<double, double> TKartex::LayerBand(int layer) const {
    return bands_[static_cast<std::size_t>(std::clamp(layer, 1, kLayers) - 1)];
}

std::pair<int, int> TKartex::BandRows(int layer) const {
    const auto [top, bottom] = LayerBand(layer);
    const int h = std::max(PlotHeight(), 0);
    return {static_cast<int>(std::lround(top * h)), static_cast<int>(std::lround(bottom * h))};
}

bool TKartex::Banded() const {
    return std::any_of(bands_.begin(), bands_.end(),
                       [](const std::pair<double, double>& b) { return b.first != 0.0 || b.second != 1.0; });
}

// The rims that cut a layer's band out of the control, as the whole plot is cut out of it.
TPlotGeometry TKartex::BandGeometry(int layer) const {
    TPlotGeometry g = geom_;
    const auto [first, last] = BandRows(layer);
    g.TRim += first;
    g.BRim += std::max(PlotHeight(), 0) - last;
    return g;
}

void TKartex::CalcMapping() {
    for (int n = 1; n <= kLayers; ++n) {
        const Layer& l = L(n);
        transforms_[static_cast<std::size_t>(n - 1)] = LayerTransform::Calc(
            BandGeometry(n), TAxisRange{l.x->RangeLow(), l.x->RangeHigh(), l.x->Logarithmic()},
            TAxisRange{l.y->RangeLow(), l.y->RangeHigh(), l.y->Logarithmic()});
    }
}

TPoint TKartex::WorldToPixel(int layer, double x, double y) const {
    const LayerTransform& t = Transform(layer);
    return {t.XToPixel(x), t.YToPixel(y)};
}

void TKartex::WorldToPixel(int layer, double x, double y, int& xm, int& ym) const {
    const TPoint p = WorldToPixel(layer, x, y);
    xm = p.X;
    ym = p.Y;
}

void TKartex::PixelToWorld(int layer, int xm, int ym, double& x, double& y) const {
    const LayerTransform& t = Transform(layer);
    x = t.PixelToX(xm);
    y = t.PixelToY(ym);
}

// ---- scale controls ----

void TKartex::SyncScaleControl(TScale& c, const TScaleProps& p) {
    const int pos = p.ScalePos();
    switch (p.ScaleType()) {
    case sctXB:
        c.SetMarginBottom(pos + geom_.Height - geom_.TRim - 1);
        break;
    case sctXT:
        c.SetMarginTop(pos + geom_.Height - geom_.BRim - geom_.ShadowWidth);
        break;
    case sctYL:
        c.SetMarginLeft(pos + geom_.Width - geom_.RRim - geom_.ShadowWidth);
        break;
    case sctYR:
        c.SetMarginRight(pos + geom_.Width - geom_.LRim - 1);
        break;
    }
    c.ApplySettings(p.Settings(), p.DateFormat().Fields());
}

void TKartex::SetSideMargins(int layer) {
    Layer& l = L(layer);
    l.xScale->SetMarginLeft(geom_.LRim);
    l.xScale->SetMarginRight(geom_.RRim + geom_.ShadowWidth - 1);
    const TPlotGeometry band = BandGeometry(layer);
    l.yScale->SetMarginTop(band.TRim);
    l.yScale->SetMarginBottom(band.BRim + band.ShadowWidth - 1);
}

void TKartex::ScalePropsChanged() {
    for (int n = 1; n <= kLayers; ++n) {
        SyncScaleControl(*L(n).xScale, *L(n).x);
        SyncScaleControl(*L(n).yScale, *L(n).y);
    }
    // Each SetLayerRange would repaint on its own; the one repaint at the end shows the same picture.
    PaintSuppression once(*this);
    for (int n = 1; n <= kLayers; ++n) {
        const Layer& l = L(n);
        SetLayerRange(n, l.x->RangeLow(), l.y->RangeLow(), l.x->RangeHigh(), l.y->RangeHigh());
    }
    dirty_ = true;
}

// ---- ranges ----

void TKartex::SetScaleRange(int layer, long double xl, long double yl, long double xh, long double yh) {
    const int first = layer == 0 ? 1 : layer;
    const int last = layer == 0 ? kLayers : layer;
    if (!ValidLayer(first)) return;
    for (int n = first; n <= last; ++n) {
        long double x1 = xl, x2 = xh, y1 = yl, y2 = yh;
        if (x1 == x2) {
            const long double m = L(n).x->MinRange();
            x1 -= m / 2;
            x2 += m / 2;
        }
        if (y1 == y2) {
            const long double m = L(n).y->MinRange();
            y1 -= m / 2;
            y2 += m / 2;
        }
        if (isometric_ && PlotWidth() + 1 > 0)
            y2 = y1 + (x2 - x1) * (PlotHeight() + 1) / (PlotWidth() + 1) * aspectY_ / aspectX_;
        SetLayerRange(n, ToDouble(x1), ToDouble(y1), ToDouble(x2), ToDouble(y2));
    }
    dirty_ = true;
    PaintIfAutoRedraw();
}

void TKartex::SetLayerRange(int layer, double xl, double yl, double xh, double yh) {
    if (!ValidLayer(layer)) return;
    PaintSuppression once(*this);
    const Layer& l = L(layer);
    if (XControlledBy(layer) != layer) {
        xl = l.x->RangeLow();
        xh = l.x->RangeHigh();
    }
    if (YControlledBy(layer) != layer) {
        yl = l.y->RangeLow();
        yh = l.y->RangeHigh();
    }
    ApplyLayerRange(layer, xl, yl, xh, yh);
    for (int k = 1; k <= kLayers; ++k) {
        if (k == layer || (XControlledBy(k) != layer && YControlledBy(k) != layer)) continue;
        const Layer& xs = L(XControlledBy(k));
        const Layer& ys = L(YControlledBy(k));
        ApplyLayerRange(k, xs.x->RangeLow(), ys.y->RangeLow(), xs.x->RangeHigh(), ys.y->RangeHigh());
    }
    dirty_ = true;
}

void TKartex::ApplyLayerRange(int layer, double xl, double yl, double xh, double yh) {
    if (!ValidLayer(layer)) return;
    Layer& l = L(layer);
    l.x->StoreRange(xl, xh);
    SyncScaleControl(*l.xScale, *l.x);
    l.y->StoreRange(yl, yh);
    SyncScaleControl(*l.yScale, *l.y);
    CalcMapping();
}

void TKartex::SetPaintSuppressed(bool v) {
    if (v == paintSuppressed_) return;
    paintSuppressed_ = v;
    if (!v) Paint();
}

// ---- geometry ----

void TKartex::IsometricUpdate(int layer) {
    if (PlotWidth() + 1 <= 0) return; // no width to be isometric to
    Layer& l = L(layer);
    const long double w = static_cast<long double>(l.x->RangeHigh()) - l.x->RangeLow();
    l.y->SetRangeHigh(
        ToDouble(l.y->RangeLow() + w * (PlotHeight() + 1) / (PlotWidth() + 1) * aspectY_ / aspectX_));
}

void TKartex::SizeChanged(int width, int height) {
    geom_.Width = width;
    geom_.Height = height;
    for (int n = 1; n <= kLayers; ++n) {
        if (isometric_) IsometricUpdate(n);
        Layer& l = L(n);
        if (!l.xScale) continue;
        SyncScaleControl(*l.xScale, *l.x);
        l.xScale->SetSize(width, height);
        SyncScaleControl(*l.yScale, *l.y);
        l.yScale->SetSize(width, height);
        SetSideMargins(n);
    }
    CalcMapping();
}

void TKartex::SetBounds(int left, int top, int width, int height) {
    height = std::max(height, geom_.TRim + geom_.BRim + geom_.ShadowWidth + 20);
    width = std::max(width, geom_.LRim + geom_.RRim + geom_.ShadowWidth + 80);
    setGeometry(left, top, width, height);
    SizeChanged(width, height);
    Changed();
}

void TKartex::ResizePlotBitmap() {
    plotCanvas_.SetSize(std::max(PlotWidth() + 1, 0), std::max(PlotHeight() + 1, 0));
}

void TKartex::RimChanged(bool isometricUpdate) {
    ResizePlotBitmap();
    for (int n = 1; n <= kLayers; ++n) {
        if (isometricUpdate && isometric_) IsometricUpdate(n);
        SyncScaleControl(*L(n).xScale, *L(n).x);
        SyncScaleControl(*L(n).yScale, *L(n).y);
        SetSideMargins(n);
    }
    CalcMapping();
    Changed();
}

void TKartex::SetShadowWidth(int v) {
    geom_.ShadowWidth = std::clamp(v, 0, 32);
    RimChanged(false);
}

void TKartex::SetIsometric(bool v) {
    isometric_ = v;
    if (v)
        for (int n = 1; n <= kLayers; ++n)
            IsometricUpdate(n);
    Changed();
}

// ---- layer coupling ----

int TKartex::XControlledBy(int layer) const {
    return ValidLayer(layer) ? xControlledBy_[static_cast<std::size_t>(layer)] : layer;
}

int TKartex::YControlledBy(int layer) const {
    return ValidLayer(layer) ? yControlledBy_[static_cast<std::size_t>(layer)] : layer;
}

namespace {

// Checks a coupling of layer n to layer m in one direction's table; throws with the fixed texts.
void CheckJoin(const std::array<int, TKartex::kLayers + 1>& table, int n, int m) {
    if (m < 1 || m > TKartex::kLayers)
        throw EKartexError("Destination layer " + std::to_string(m) + " is out of range");
    if (m == n) return;
    if (table[static_cast<std::size_t>(m)] != m)
        throw EKartexError("Destination layer " + std::to_string(m) + " is already joined");
    std::string joined;
    for (int k = 1; k <= TKartex::kLayers; ++k)
        if (k != n && table[static_cast<std::size_t>(k)] == n)
            joined += (joined.empty() ? "" : ", ") + std::to_string(k);
    if (!joined.empty())
        throw EKartexError("Layer " + std::to_string(n) + " is joined by other layers (" + joined + ")");
}

} // namespace

void TKartex::SetXControlledBy(int layer, int controller) {
    SetControlledBy(xControlledBy_, true, layer, controller);
}

void TKartex::SetYControlledBy(int layer, int controller) {
    SetControlledBy(yControlledBy_, false, layer, controller);
}

void TKartex::SetControlledBy(std::array<int, kLayers + 1>& table, bool horizontal, int layer,
                              int controller) {
    if (!ValidLayer(layer)) return;
    CheckJoin(table, layer, controller);
    table[static_cast<std::size_t>(layer)] = controller;
    if (controller == layer) return;
    // The joined axis takes the controller's range, the other one keeps its own.
    const Layer& x = horizontal ? L(controller) : L(layer);
    const Layer& y = horizontal ? L(layer) : L(controller);
    ApplyLayerRange(layer, x.x->RangeLow(), y.y->RangeLow(), x.x->RangeHigh(), y.y->RangeHigh());
    Changed();
}

// ---- standard layouts ----

namespace {

struct AxisLayout {
    bool visible;
    std::uint8_t location; // slBottom/slTop or slLeft/slRight
    int capX, capY;
    TAlignment align;
    TScaleUnitAnchor anchor;
    int pos;
};

// The plot's rims and where the chart's caption goes.
struct Frame {
    int l, r, t, b;
    int capX, capY;
    TAlignment align;
    TCaptionAnchorHoriz anchorH;
};

struct Layout {
    Frame f;
    std::array<AxisLayout, 4> x;
    std::array<AxisLayout, 4> y;
};

constexpr AxisLayout kHiddenX{false, slBottom, 10, 100, taCenter, uaSclCenter, 0};
constexpr AxisLayout kHiddenY{false, slLeft, 10, 100, taRightJustify, uaSclTopLft, 0};
constexpr AxisLayout kX1{true, slBottom, 0, 22, taCenter, uaSclCenter, 0};
constexpr AxisLayout YLeft(int pos) {
    return {true, slLeft, 0, -23, taRightJustify, uaSclTopLft, pos};
}
constexpr AxisLayout XLow(int pos) {
    return {true, slBottom, -20, 7, taRightJustify, uaSclTopLft, pos};
}
constexpr std::array<AxisLayout, 4> kX1Only{kX1, kHiddenX, kHiddenX, kHiddenX};
// The caption at the right above the plot, or centred above it.
constexpr Frame RightCaption(int l, int t, int b) {
    return {l, 20, t, b, 0, -16, taRightJustify, cahChartRight};
}
constexpr Frame CentredCaption(int t, int capY) {
    return {50, 50, t, 40, 0, capY, taCenter, cahChartCenter};
}

const Layout& LayoutOf(TkxLayout v) {
    static const Layout layouts[] = {
        {RightCaption(50, 20, 40),
         kX1Only,
         {{{true, slLeft, 0, -16, taLeftJustify, uaSclTopLft, 0}, kHiddenY, kHiddenY, kHiddenY}}},
        {RightCaption(100, 24, 40), kX1Only, {YLeft(0), YLeft(50), kHiddenY, kHiddenY}},
        {RightCaption(150, 24, 40), kX1Only, {YLeft(0), YLeft(50), YLeft(100), kHiddenY}},
        {RightCaption(200, 24, 40), kX1Only, {YLeft(0), YLeft(50), YLeft(100), YLeft(150)}},
        {CentredCaption(24, -20),
         kX1Only,
         {YLeft(0), {true, slRight, 0, -23, taLeftJustify, uaSclTopLft, 0}, kHiddenY, kHiddenY}},
        {RightCaption(100, 24, 70),
         {XLow(0), XLow(30), kHiddenX, kHiddenX},
         {YLeft(0), YLeft(50), kHiddenY, kHiddenY}},
        {CentredCaption(48, -46),
         {XLow(0), {true, slTop, -20, -24, taRightJustify, uaSclTopLft, 0}, kHiddenX, kHiddenX},
         {{{true, slLeft, 0, -40, taRightJustify, uaSclTopLft, 0},
           {true, slRight, 0, -40, taLeftJustify, uaSclTopLft, 0},
           {false, slLeft, 0, -23, taRightJustify, uaSclTopLft, 0},
           {false, slLeft, 0, -23, taRightJustify, uaSclTopLft, 0}}}},
    };
    return layouts[std::min<std::size_t>(v, std::size(layouts) - 1)];
}

template <class Props> void ApplyAxis(Props& p, const AxisLayout& a) {
    p.SetVisible(a.visible);
    p.SetScaleLocation(static_cast<decltype(p.ScaleLocation())>(a.location));
    p.SetCaptionPosX(a.capX);
    p.SetCaptionPosY(a.capY);
    p.SetCaptionAlignment(a.align);
    p.SetCaptionAnchor(a.anchor);
    p.SetScalePos(a.pos);
}

} // namespace

void TKartex::SetStandardLayout(TkxLayout v) {
    const Layout& lay = LayoutOf(v);
    PaintSuppression once(*this);
    SetLRim(lay.f.l);
    SetRRim(lay.f.r);
    SetTRim(lay.f.t);
    SetBRim(lay.f.b);
    SetCaptionPosX(lay.f.capX);
    SetCaptionPosY(lay.f.capY);
    SetCaptionAlignment(lay.f.align);
    SetCaptionAnchorHoriz(lay.f.anchorH);
    SetCaptionAnchorVert(cavChartTop);
    for (int n = 1; n <= 4; ++n) {
        ApplyAxis(*L(n).x, lay.x[n - 1]);
        ApplyAxis(*L(n).y, lay.y[n - 1]);
    }
    for (int n = 5; n <= kLayers; ++n) {
        L(n).x->SetVisible(false);
        L(n).y->SetVisible(false);
    }
    for (int n = 1; n <= kLayers; ++n) {
        SyncScaleControl(*L(n).xScale, *L(n).x);
        SyncScaleControl(*L(n).yScale, *L(n).y);
    }
    dirty_ = true;
}
