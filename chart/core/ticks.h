#pragma once
// Tick computation of a scale, apart from drawing: which values get a tick, how long it is, which are
// registered in the tick list, which are reported to OnScaleTickDrawn and which carry which label.
// Every loop here is bounded, whatever the range (NaN, infinities, 1e308, ranges below one ulp).

#include "chart/core/scale_types.h"

#include <cstddef>
#include <string>
#include <vector>

// The tick list of a scale holds at most this many values.
inline constexpr std::size_t kMaxTickList = 50;
// No tick pass takes more steps than this.
inline constexpr int kMaxTickSteps = 10000;

struct TTickStep {
    long double First = 0;
    long double Step = 0; // signed: negative on an inverted range
    int SubIntervals = 1;
};

// First tick, step (1, 2 or 5 times a power of ten, not above range / n) and sub-intervals per step.
TTickStep CalcTickStep(int n, long double hi, long double lo);

// Date/time label format (the fields of TDTLabel) as the tick computation needs them.
struct TDateTimeFormat {
    TTimeFormat TimeFormat = tfHHMMSS;
    char DateSeparator = '-';
    char TimeSeparator = ':';
    TYearLength YearLength = ylYYYY;
    bool MonthName = true;
    TDateOrder DateOrder = doDDMMYY;
    TDateForTime DateForTime = dtOnePerDay;
};

struct TTickInput {
    double RangeLow = 0;
    double RangeHigh = 100;
    bool Logarithmic = false;
    int MinTicks = 3;
    int DecPlaces = -2;
    bool ShortTicks = true;
    TFigType LabelType = ftNum;
    TScaleType ScaleType = sctXB;
    std::string UserTickText;
    std::string ScaleInscript;
    TDateTimeFormat DateFormat;
};

struct TTickMark {
    double Value = 0;
    bool Main = false;       // a main tick (the others are short ticks)
    bool Drawn = true;       // the tick line is drawn
    int Length = 0;          // tick line length in pixels
    bool Registered = false; // entered in the tick list (while it holds fewer than 50 values)
    bool Reported = false;   // OnScaleTickDrawn is raised for it
    bool HasLabel = false;
    std::string Label;
    std::string DateLine; // date/time scales: a date drawn above the label on vertical scales
};

struct TTickLayout {
    std::vector<TTickMark> Marks;     // in drawing order
    std::vector<double> TickList;     // registered values, at most 50, in registration order
    std::vector<std::string> Message; // lines of a message drawn at the middle of the range instead
    bool SubSecondTime = false;       // time labels carry milliseconds
};

// Ticks of a scale for its settings; nothing for non-finite bounds or a logarithmic range with a bound
// that is not positive.
TTickLayout ComputeTicks(const TTickInput& in);

// Date/time helpers (days since 1899-12-30, the fraction is the time of day).
struct TCivilDate {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
};
TCivilDate DaysToDate(long long days);
long long DateToDays(int year, int month, int day);
