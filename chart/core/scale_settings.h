#pragma once
// The settings an axis shares between its settings object (TScaleProps: what the program sets, with its
// rules and notification) and its scale control (TScale: what computes and draws). The chart hands them
// to the control as one value, so a setting both know is declared here once. The defaults are those of
// a settings object; a scale control starts from its own. Plain C++.

#include "chart/core/alignment.h"
#include "chart/core/font.h"
#include "chart/core/scale_types.h"

#include <string>

struct TScaleSettings {
    std::string Caption;
    int CaptionPosX = 0;
    int CaptionPosY = 0;
    TAlignment CaptionAlignment = taCenter;
    TScaleUnitAnchor CaptionAnchor = uaSclTopLft;
    TColor ColorScale = 0;
    int DecPlaces = -2;
    TFont Font;
    bool Logarithmic = false;
    TFigType LabelType = ftNum;
    int MinTicks = 3;
    double RangeLow = 0;
    double RangeHigh = 1;
    bool ShortTicks = true;
    std::string ScaleInscript;
    std::string UserTickText;
    bool Visible = false;
    TScaleType ScaleType = sctXT;
};

// The read side of the shared settings, the same for the settings object and the scale control.
class TScaleSettingsAccess {
public:
    const TScaleSettings& Settings() const { return s_; }
    const std::string& Caption() const { return s_.Caption; }
    int CaptionPosX() const { return s_.CaptionPosX; }
    int CaptionPosY() const { return s_.CaptionPosY; }
    TAlignment CaptionAlignment() const { return s_.CaptionAlignment; }
    TScaleUnitAnchor CaptionAnchor() const { return s_.CaptionAnchor; }
    TColor ColorScale() const { return s_.ColorScale; }
    int DecPlaces() const { return s_.DecPlaces; }
    const TFont& Font() const { return s_.Font; }
    bool Logarithmic() const { return s_.Logarithmic; }
    TFigType LabelType() const { return s_.LabelType; }
    int MinTicks() const { return s_.MinTicks; }
    double RangeLow() const { return s_.RangeLow; }
    double RangeHigh() const { return s_.RangeHigh; }
    bool ShortTicks() const { return s_.ShortTicks; }
    const std::string& ScaleInscript() const { return s_.ScaleInscript; }
    const std::string& UserTickText() const { return s_.UserTickText; }
    bool Visible() const { return s_.Visible; }
    TScaleType ScaleType() const { return s_.ScaleType; }

protected:
    TScaleSettings s_;
};

// The rules both apply. A logarithmic axis needs bounds of at least 1e-100 and no date labels (while
// loading it is taken as it is); date labels switch it off, time labels show four decimals.
inline void StoreLogarithmic(TScaleSettings& s, bool v, bool loading) {
    if (!v || loading || (s.RangeLow >= 1e-100 && s.RangeHigh >= 1e-100 && s.LabelType != ftDateTime))
        s.Logarithmic = v;
}
inline void StoreLabelType(TScaleSettings& s, TFigType v) {
    s.LabelType = v;
    if (v == ftDateTime) s.Logarithmic = false;
    if (v == ftTime) s.DecPlaces = 4;
}
