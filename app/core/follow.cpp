#include "app/core/follow.h"

#include <algorithm>
#include <cmath>

void FollowNewest(ViewRange& v, double newest) {
    const double width = v.XHigh - v.XLow;
    if (!std::isfinite(newest) || !(width > 0)) return;
    v.XLow = newest <= width ? 0.0 : newest - width;
    v.XHigh = v.XLow + width;
}

void FitY(ViewRange& v, double low, double high, bool logarithmic) {
    if (!std::isfinite(low) || !std::isfinite(high) || low > high) return;
    if (logarithmic) {
        const double margin = std::pow(10.0, (high > low ? std::log10(high / low) : 1.0) / 20);
        v.YLow = low / margin;
        v.YHigh = high * margin;
    } else {
        const double margin = (high > low ? high - low : std::max(std::fabs(high), 1.0)) / 20;
        v.YLow = low - margin;
        v.YHigh = high + margin;
    }
}
