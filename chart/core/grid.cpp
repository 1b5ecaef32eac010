#include "chart/core/grid.h"

#include <algorithm>
#include <cmath>

namespace {

// Decade l and leading digit m of v (log10 v snapped to an integer within 1e-14).
void Decade(double v, double& l, double& m) {
    double lg = std::log10(v);
    if (std::abs(lg - std::nearbyint(lg)) < 1e-14) lg = std::nearbyint(lg);
    l = std::floor(lg);
    m = std::nearbyint(std::pow(10.0, lg - l));
}

double First(const TGridAxis& a, double lo) {
    const double d = a.Spacing;
    if (d == 0) return a.Ticks.empty() ? lo : a.Ticks.front();
    if (!a.Logarithmic || d > 0) return std::ceil(lo / d) * d;
    if (d == -1) return std::pow(10.0, std::ceil(std::log10(lo)));
    if (d == -2 || d == -3) {
        const double l = std::floor(std::log10(lo));
        const double m = std::nearbyint(std::pow(10.0, std::log10(lo) - l));
        if (d == -3) return std::pow(10.0, l) * m;
        return std::pow(10.0, l) * (m <= 2 ? 2 : m <= 5 ? 5 : 10);
    }
    return lo;
}

// The value after v, which is the n-th value (1-based) of the sequence.
double Next(const TGridAxis& a, double v, int n, double hi) {
    const double d = a.Spacing;
    if (d == 0) return n >= 1 && n <= static_cast<int>(a.Ticks.size()) ? a.Ticks[n - 1] : hi;
    if (!a.Logarithmic || d > 0) return v + std::abs(d);
    if (d == -1) return 10 * v;
    double l = 0, m = 0;
    Decade(v, l, m);
    const double base = std::pow(10.0, l);
    if (d == -2) return base * (m < 2 ? 2 : m < 5 ? 5 : 10);
    return base * (m + 1);
}

} // namespace

std::vector<double> GridValues(const TGridAxis& axis) {
    const double lo = std::min(axis.RangeLow, axis.RangeHigh);
    const double hi = std::max(axis.RangeLow, axis.RangeHigh);
    std::vector<double> values;
    double v = First(axis, lo);
    for (int n = 2; values.size() < static_cast<std::size_t>(kMaxGridLines) && v < hi; ++n) {
        values.push_back(v);
        v = Next(axis, v, n, hi);
    }
    return values;
}
