#include "chart/core/layer_transform.h"

#include <cfloat>
#include <cmath>

namespace {

constexpr long double kPixelLimit = 2147483647.0L;
constexpr double kLogFloor = 1e-100;

struct AxisMap {
    long double Factor;
    long double Offset;
};

// Maps lo to pixel a and hi to pixel b; `extent` = b − a for the horizontal, a − b for the vertical axis.
AxisMap Axis(const TAxisRange& r, int extent, long double a, long double b, long double noPlotOffset,
             bool vertical) {
    if (extent <= 0) return {0, noPlotOffset};
    const long double middle = (a + b) / 2;
    long double lo = r.Low;
    long double hi = r.High;
    if (!std::isfinite(lo) || !std::isfinite(hi)) return {0, middle};
    if (r.Logarithmic) {
        if (lo <= 0 || hi <= 0) return {0, middle};
        lo = std::log(lo);
        hi = std::log(hi);
    }
    if (lo == hi) return {0, middle};
    // The two axes keep their own operation order, so that the roundings match the usual formulas.
    const long double factor =
        vertical ? -static_cast<long double>(extent) / (hi - lo) : extent * (1 / (hi - lo));
    const long double offset = (a * hi - b * lo) / (hi - lo);
    if (!std::isfinite(factor) || !std::isfinite(offset)) return {0, middle};
    return {factor, offset};
}

long double ToPixel(const TAxisRange& r, long double factor, long double offset, double v,
                    long double lowPixel, long double highPixel) {
    if (std::isnan(v)) return NAN;
    if (r.Logarithmic && !(v > kLogFloor)) return r.High >= r.Low ? lowPixel : highPixel;
    // 0 × ±inf would be NaN: an infinite value on a zero-factor axis stays at the offset.
    if (factor == 0) return offset;
    if (r.Logarithmic) return factor * std::log(static_cast<long double>(v)) + offset;
    return factor * v + offset;
}

double ToDouble(long double v) {
    if (v > DBL_MAX) return HUGE_VAL;
    if (v < -DBL_MAX) return -HUGE_VAL;
    return static_cast<double>(v);
}

double FromPixel(const TAxisRange& r, long double factor, long double offset, int pixel) {
    if (factor == 0) return r.Low;
    const long double q = (pixel - offset) / factor;
    return ToDouble(r.Logarithmic ? std::exp(q) : q);
}

} // namespace

int RoundPixel(long double v) {
    if (std::isnan(v)) return kNaNPixel;
    if (v > kPixelLimit) v = kPixelLimit;
    if (v < -kPixelLimit) v = -kPixelLimit;
    // Halves to even by hand: the library's extended-precision rounding is a function call that costs
    // more than the whole mapping. Both subtractions are exact for |v| < 2^31.
    long long i = static_cast<long long>(v); // toward zero
    const long double frac = v - static_cast<long double>(i);
    if (frac > 0.5L || (frac == 0.5L && (i & 1)))
        ++i;
    else if (frac < -0.5L || (frac == -0.5L && (i & 1)))
        --i;
    return static_cast<int>(i);
}

LayerTransform LayerTransform::Calc(const TPlotGeometry& g, const TAxisRange& x, const TAxisRange& y) {
    LayerTransform t;
    t.XRange = x;
    t.YRange = y;
    t.Width = g.Width;
    t.Height = g.Height;
    const AxisMap h = Axis(x, g.PlotWidth(), g.LRim, g.PlotRight(), g.Width / 2.0L, false);
    const AxisMap v = Axis(y, g.PlotHeight(), g.PlotBottom(), g.TRim, g.Height / 2.0L, true);
    t.XFactor = h.Factor;
    t.XOffset = h.Offset;
    t.YFactor = v.Factor;
    t.YOffset = v.Offset;
    return t;
}

int LayerTransform::XToPixel(double x) const {
    return RoundPixel(ToPixel(XRange, XFactor, XOffset, x, 0, Width));
}

int LayerTransform::YToPixel(double y) const {
    return RoundPixel(ToPixel(YRange, YFactor, YOffset, y, Height, 0));
}

double LayerTransform::PixelToX(int xm) const {
    return FromPixel(XRange, XFactor, XOffset, xm);
}

double LayerTransform::PixelToY(int ym) const {
    return FromPixel(YRange, YFactor, YOffset, ym);
}

bool SameMapping(const LayerTransform& a, const LayerTransform& b) {
    const auto same = [](const TAxisRange& p, const TAxisRange& q) {
        return p.Low == q.Low && p.High == q.High && p.Logarithmic == q.Logarithmic;
    };
    return a.XFactor == b.XFactor && a.XOffset == b.XOffset && a.YFactor == b.YFactor &&
           a.YOffset == b.YOffset && same(a.XRange, b.XRange) && same(a.YRange, b.YRange) &&
           a.Width == b.Width && a.Height == b.Height;
}
