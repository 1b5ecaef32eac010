#include "chart/scale_props.h"

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

void TScaleProps::SetCaption(const std::string& v) {
    caption_ = v;
    Changed();
}

void TScaleProps::SetCaptionPosX(int v) {
    captionPosX_ = v;
    Changed();
}

void TScaleProps::SetCaptionPosY(int v) {
    captionPosY_ = v;
    Changed();
}

void TScaleProps::SetCaptionAlignment(TAlignment v) {
    captionAlignment_ = v;
    Changed();
}

void TScaleProps::SetCaptionAnchor(TScaleUnitAnchor v) {
    captionAnchor_ = v;
    Changed();
}

void TScaleProps::SetColorScale(TColor v) {
    colorScale_ = v;
    Changed();
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
    decPlaces_ = std::clamp(v, -3, 12);
    Changed();
}

void TScaleProps::SetFont(const TFont& v) {
    font_ = v;
    Changed();
}

void TScaleProps::SetLogarithmic(bool v) {
    if (!v || loading_ || (rangeLow_ >= 1e-100 && rangeHigh_ >= 1e-100 && labelType_ != ftDateTime))
        logarithmic_ = v;
    Changed();
}

void TScaleProps::SetLabelType(TFigType v) {
    labelType_ = v;
    if (v == ftDateTime) logarithmic_ = false;
    if (v == ftTime) decPlaces_ = 4;
    Changed();
}

void TScaleProps::SetMinTicks(int v) {
    minTicks_ = v;
    Changed();
}

void TScaleProps::SetMinRange(double v) {
    if (!(v > 1e-100)) return; // also ignores NaN
    minRange_ = v;
    if (std::fabs(rangeHigh_ - rangeLow_) >= v) return;
    const double c = (rangeHigh_ + rangeLow_) / 2;
    rangeLow_ = c - v / 2;
    rangeHigh_ = c + v / 2;
    Changed();
}

void TScaleProps::SetRangeLow(double x) {
    if (std::fabs(rangeHigh_ - x) < minRange_) {
        rangeLow_ = x;
        rangeHigh_ = x + minRange_;
    } else if (!(logarithmic_ && x < 1e-100)) {
        rangeLow_ = x;
    }
    Changed();
}

void TScaleProps::SetRangeHigh(double x) {
    if (std::fabs(rangeLow_ - x) < minRange_) {
        rangeHigh_ = x;
        rangeLow_ = x - minRange_;
    } else if (!(logarithmic_ && x < 1e-100)) {
        rangeHigh_ = x;
    }
    Changed();
}

void TScaleProps::SetShortTicks(bool v) {
    shortTicks_ = v;
    Changed();
}

void TScaleProps::SetScaleInscript(const std::string& v) {
    scaleInscript_ = v;
    Changed();
}

void TScaleProps::SetScalePos(int v) {
    scalePos_ = v;
    Changed();
}

void TScaleProps::SetUserTickText(const std::string& v) {
    userTickText_ = v;
    Changed();
}

void TScaleProps::SetVisible(bool v) {
    visible_ = v;
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
