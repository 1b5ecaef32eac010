#pragma once
// Settings of one axis of one layer (TScaleProps) and the date/time label format (TDTLabel). The chart
// owns them, hooks OnChange and copies them into its scale controls. Setters never throw: out-of-range
// values are clamped, corrected or ignored.

#include "chart/core/alignment.h"
#include "chart/core/font.h"
#include "chart/core/scale_settings.h"
#include "chart/core/scale_types.h"
#include "chart/core/ticks.h"

#include <functional>
#include <string>

class TDTLabel {
public:
    TDTLabel() = default;
    TDTLabel(const TDTLabel&) = delete;
    TDTLabel& operator=(const TDTLabel&) = delete;

    TTimeFormat TimeFormat() const { return f_.TimeFormat; }
    char DateSeparator() const { return f_.DateSeparator; }
    char TimeSeparator() const { return f_.TimeSeparator; }
    TYearLength YearLength() const { return f_.YearLength; }
    bool MonthName() const { return f_.MonthName; }
    TDateOrder DateOrder() const { return f_.DateOrder; }
    TDateForTime DateForTime() const { return f_.DateForTime; }

    void SetTimeFormat(TTimeFormat v);
    void SetDateSeparator(char v);
    void SetTimeSeparator(char v);
    void SetYearLength(TYearLength v);
    void SetMonthName(bool v);
    void SetDateOrder(TDateOrder v);
    void SetDateForTime(TDateForTime v);

    // All seven fields at once, with one notification.
    void Assign(const TDTLabel& other);
    const TDateTimeFormat& Fields() const { return f_; }
    void AssignFields(const TDateTimeFormat& f);

    std::function<void(TDTLabel& sender)> OnChange;

private:
    void Changed();
    TDateTimeFormat f_;
};

class TScaleProps : public TScaleSettingsAccess {
public:
    TScaleProps();
    virtual ~TScaleProps() = default;
    TScaleProps(const TScaleProps&) = delete;
    TScaleProps& operator=(const TScaleProps&) = delete;

    void SetCaption(const std::string& v) { Store(&TScaleSettings::Caption, v); }
    void SetCaptionPosX(int v) { Store(&TScaleSettings::CaptionPosX, v); }
    void SetCaptionPosY(int v) { Store(&TScaleSettings::CaptionPosY, v); }
    void SetCaptionAlignment(TAlignment v) { Store(&TScaleSettings::CaptionAlignment, v); }
    void SetCaptionAnchor(TScaleUnitAnchor v) { Store(&TScaleSettings::CaptionAnchor, v); }
    void SetColorScale(TColor v) { Store(&TScaleSettings::ColorScale, v); }
    TDTLabel& DateFormat() { return dateFormat_; } // owned; its OnChange is the chart's to hook
    const TDTLabel& DateFormat() const { return dateFormat_; }
    void SetDateFormat(const TDTLabel& v);
    void SetDecPlaces(int v); // clamped to -3 ... 12
    void SetFont(const TFont& v) { Store(&TScaleSettings::Font, v); }
    void SetLogarithmic(bool v);
    void SetLabelType(TFigType v);
    void SetMinTicks(int v) { Store(&TScaleSettings::MinTicks, v); }
    double MinRange() const { return minRange_; }
    void SetMinRange(double v);
    void SetRangeLow(double v);
    void SetRangeHigh(double v);
    void SetShortTicks(bool v) { Store(&TScaleSettings::ShortTicks, v); }
    void SetScaleInscript(const std::string& v) { Store(&TScaleSettings::ScaleInscript, v); }
    int ScalePos() const { return scalePos_; }
    void SetScalePos(int v) {
        scalePos_ = v;
        Changed();
    }
    void SetUserTickText(const std::string& v) { Store(&TScaleSettings::UserTickText, v); }
    void SetVisible(bool v) { Store(&TScaleSettings::Visible, v); }

    // Unpublished: where the scale control puts ticks and labels (set by the chart or ScaleLocation).
    void SetScaleType(TScaleType v) { s_.ScaleType = v; }
    // While loading, Logarithmic is stored without checks. Set at creation; the chart clears it.
    bool Loading() const { return loading_; }
    void SetLoading(bool v) { loading_ = v; }
    // The range as it is, without checks and without notification (the chart's range operations).
    void StoreRange(double low, double high) {
        s_.RangeLow = low;
        s_.RangeHigh = high;
    }

    std::function<void(TScaleProps& sender)> OnChange;

protected:
    void Changed();

private:
    template <typename T, typename V> void Store(T TScaleSettings::*field, const V& v) {
        s_.*field = v;
        Changed();
    }

    TDTLabel dateFormat_;
    double minRange_ = 1e-10;
    int scalePos_ = 0;
    bool loading_ = true;
};

class TScalePropsHoriz : public TScaleProps {
public:
    TScaleLocationHoriz ScaleLocation() const { return location_; }
    void SetScaleLocation(TScaleLocationHoriz v);

private:
    TScaleLocationHoriz location_ = slBottom;
};

class TScalePropsVert : public TScaleProps {
public:
    TScaleLocationVert ScaleLocation() const { return location_; }
    void SetScaleLocation(TScaleLocationVert v);

private:
    TScaleLocationVert location_ = slLeft;
};
