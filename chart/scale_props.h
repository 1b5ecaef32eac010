#pragma once
// Settings of one axis of one layer (TScaleProps) and the date/time label format (TDTLabel). The chart
// owns them, hooks OnChange and copies them into its scale controls. Setters never throw: out-of-range
// values are clamped, corrected or ignored.

#include "chart/alignment.h"
#include "chart/gfx/font.h"
#include "chart/scale_types.h"
#include "chart/ticks.h"

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

class TScaleProps {
public:
    TScaleProps();
    virtual ~TScaleProps() = default;
    TScaleProps(const TScaleProps&) = delete;
    TScaleProps& operator=(const TScaleProps&) = delete;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v);
    int CaptionPosX() const { return captionPosX_; }
    void SetCaptionPosX(int v);
    int CaptionPosY() const { return captionPosY_; }
    void SetCaptionPosY(int v);
    TAlignment CaptionAlignment() const { return captionAlignment_; }
    void SetCaptionAlignment(TAlignment v);
    TScaleUnitAnchor CaptionAnchor() const { return captionAnchor_; }
    void SetCaptionAnchor(TScaleUnitAnchor v);
    TColor ColorScale() const { return colorScale_; }
    void SetColorScale(TColor v);
    TDTLabel& DateFormat() { return dateFormat_; } // owned; its OnChange is the chart's to hook
    const TDTLabel& DateFormat() const { return dateFormat_; }
    void SetDateFormat(const TDTLabel& v);
    int DecPlaces() const { return decPlaces_; }
    void SetDecPlaces(int v); // clamped to -3 ... 12
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& v);
    bool Logarithmic() const { return logarithmic_; }
    void SetLogarithmic(bool v);
    TFigType LabelType() const { return labelType_; }
    void SetLabelType(TFigType v);
    int MinTicks() const { return minTicks_; }
    void SetMinTicks(int v);
    double MinRange() const { return minRange_; }
    void SetMinRange(double v);
    double RangeLow() const { return rangeLow_; }
    void SetRangeLow(double v);
    double RangeHigh() const { return rangeHigh_; }
    void SetRangeHigh(double v);
    bool ShortTicks() const { return shortTicks_; }
    void SetShortTicks(bool v);
    const std::string& ScaleInscript() const { return scaleInscript_; }
    void SetScaleInscript(const std::string& v);
    int ScalePos() const { return scalePos_; }
    void SetScalePos(int v);
    const std::string& UserTickText() const { return userTickText_; }
    void SetUserTickText(const std::string& v);
    bool Visible() const { return visible_; }
    void SetVisible(bool v);

    // Unpublished: where the scale control puts ticks and labels (set by the chart or ScaleLocation).
    TScaleType ScaleType() const { return scaleType_; }
    void SetScaleType(TScaleType v) { scaleType_ = v; }
    // While loading, Logarithmic is stored without checks. Set at creation; the chart clears it.
    bool Loading() const { return loading_; }
    void SetLoading(bool v) { loading_ = v; }
    // The range as it is, without checks and without notification (the chart's range operations).
    void StoreRange(double low, double high) {
        rangeLow_ = low;
        rangeHigh_ = high;
    }

    std::function<void(TScaleProps& sender)> OnChange;

protected:
    void Changed();

private:
    std::string caption_;
    int captionPosX_ = 0;
    int captionPosY_ = 0;
    TAlignment captionAlignment_ = taCenter;
    TScaleUnitAnchor captionAnchor_ = uaSclTopLft;
    TColor colorScale_ = 0;
    TDTLabel dateFormat_;
    int decPlaces_ = -2;
    TFont font_;
    bool logarithmic_ = false;
    TFigType labelType_ = ftNum;
    int minTicks_ = 3;
    double minRange_ = 1e-10;
    double rangeLow_ = 0;
    double rangeHigh_ = 1;
    bool shortTicks_ = true;
    std::string scaleInscript_;
    int scalePos_ = 0;
    std::string userTickText_;
    bool visible_ = false;
    TScaleType scaleType_ = sctXT;
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
