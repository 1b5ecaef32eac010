#include "chart/core/scale_props.h"

#include <algorithm>
#include <cmath>

// ---- TDTLabel ----

void TDTLabel::Changed() {
    if (OnChange) OnChange(*this);
}

void TDTLabel::SetTimeFormat(TTimeFormat v) {
    f_.TimeFormat = v;
    Changed();
}

void TDTLabel::SetDateSeparator(char v) {
    if (f_.DateSeparator == v) return;
    f_.DateSeparator = v;
    Changed();
}

void TDTLabel::SetTimeSeparator(char v) {
    if (f_.TimeSeparator == v) return;
    f_.TimeSeparator = v;
    Changed();
}

void TDTLabel::SetYearLength(TYearLength v) {
    if (f_.YearLength == v) return;
    f_.YearLength = v;
    Changed();
}

void TDTLabel::SetMonthName(bool v) {
    if (f_.MonthName == v) return;
    f_.MonthName = v;
    Changed();
}

void TDTLabel::SetDateOrder(TDateOrder v) {
    f_.DateOrder = v;
    Changed();
}

void TDTLabel::SetDateForTime(TDateForTime v) {
    if (f_.DateForTime == v) return;
    f_.DateForTime = v;
    Changed();
}

void TDTLabel::Assign(const TDTLabel& other) {
    AssignFields(other.f_);
}

void TDTLabel::AssignFields(const TDateTimeFormat& f) {
    f_ = f;
    Changed();
}

// ---- TScaleProps ----

TScaleProps::TScaleProps() = default;

void TScaleProps::Changed() {
    if (OnChange) OnChange(*this);
}

void TScaleProps::SetDateFormat(const TDTLabel& v) {
    // Copy without the owned object's own notification: one change, one OnChange.
    auto hook = std::move(dateFormat_.OnChange);
    dateFormat_.OnChange = nullptr;
    dateFormat_.Assign(v);
    dateFormat_.OnChange = std::move(hook);
    Changed();
}

void TScaleProps::SetDecPlaces(int v) {
    s_.DecPlaces = std::clamp(v, -3, 12);
    Changed();
}

void TScaleProps::SetLogarithmic(bool v) {
    StoreLogarithmic(s_, v, loading_);
    Changed();
}

void TScaleProps::SetLabelType(TFigType v) {
    StoreLabelType(s_, v);
    Changed();
}

void TScaleProps::SetMinRange(double v) {
    if (!(v > 1e-100)) return; // also ignores NaN
    minRange_ = v;
    if (std::fabs(s_.RangeHigh - s_.RangeLow) >= v) return;
    const double c = (s_.RangeHigh + s_.RangeLow) / 2;
    s_.RangeLow = c - v / 2;
    s_.RangeHigh = c + v / 2;
    Changed();
}

void TScaleProps::SetRangeLow(double x) {
    if (std::fabs(s_.RangeHigh - x) < minRange_) {
        s_.RangeLow = x;
        s_.RangeHigh = x + minRange_;
    } else if (!(s_.Logarithmic && x < 1e-100)) {
        s_.RangeLow = x;
    }
    Changed();
}

void TScaleProps::SetRangeHigh(double x) {
    if (std::fabs(s_.RangeLow - x) < minRange_) {
        s_.RangeHigh = x;
        s_.RangeLow = x - minRange_;
    } else if (!(s_.Logarithmic && x < 1e-100)) {
        s_.RangeHigh = x;
    }
    Changed();
}

void TScalePropsHoriz::SetScaleLocation(TScaleLocationHoriz v) {
    location_ = v;
    SetScaleType(v == slTop ? sctXB : sctXT);
    Changed();
}

void TScalePropsVert::SetScaleLocation(TScaleLocationVert v) {
    location_ = v;
    SetScaleType(v == slLeft ? sctYR : sctYL);
    Changed();
}
