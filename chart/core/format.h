#pragma once
// Number texts of the scales and the small numeric helpers of the chart. Pure functions.
//
// Precision code: -3 and -2 automatic (on logarithmic scales -3 shows decade exponents and -2 trims
// trailing zeros), -1 exponent form, 0 ... 12 fixed decimals.

#include "chart/core/scale_types.h"

#include <string>

// Maximum length of a numeric label before the inscript is applied.
inline constexpr std::size_t kMaxLabelLength = 14;

// Text of a tick value: fixed form with `code` decimals, or the exponent form " 1.2E+03" for code -1.
std::string FormatTickValue(double value, int code);

// Precision for a linear scale from its range (codes other than -2 and -3 pass through).
int AutoDecPlaces(int code, double high, double low);
// Precision for a logarithmic scale from its range (codes other than -2 pass through).
int AutoDecPlacesLog(int code, double high, double low);

// What of a scale's settings shapes its label texts.
struct TTickLabelStyle {
    int DecPlaces = -2; // the scale's own code, not the resolved one
    bool Logarithmic = false;
    TFigType LabelType = ftNum;
    std::string UserTickText;
    std::string ScaleInscript;
};

// Label of main tick number n (from 1) from its numeric text: cut to 14 characters, trailing zeros
// trimmed on logarithmic scales with code -2, then the user text or the inscript.
std::string ComposeTickLabel(std::string numeric, const TTickLabelStyle& style, int labelNumber);
// The same from the value with the resolved precision code.
std::string TickLabelText(double value, int code, int labelNumber, const TTickLabelStyle& style);

// Entry n (from 1) of a "|"-separated list; the last entry when n is larger; empty for an empty list.
std::string UserTickTextItem(const std::string& s, int n);
// The inscript with its first "&" replaced by the label, or the inscript followed by the label.
std::string ApplyInscript(const std::string& label, const std::string& inscript);
// " hh:mm:ss" or "-hh:mm:ss", with ".zzz" when withMs.
std::string FormatSeconds(double seconds, bool withMs);

// Round to the nearest integer, halves to even; NaN gives 0, out-of-range values saturate.
long long RoundHalfEven(double x);
// Floor and Ceil built on RoundHalfEven, saturated to the int range.
int Floor(double x);
int Ceil(double x);
// Maximum returns the second only when it is strictly greater; minimum the first when the second is
// greater or equal.
inline double MaxD(double a, double b) {
    return b > a ? b : a;
}
inline double MinD(double a, double b) {
    return b >= a ? a : b;
}
inline void Swap(int& a, int& b) {
    const int t = a;
    a = b;
    b = t;
}
inline void Swap(double& a, double& b) {
    const double t = a;
    a = b;
    b = t;
}
inline void Swap(long double& a, long double& b) {
    const long double t = a;
    a = b;
    b = t;
}
// Pixel coordinates handed to the drawing layer stay within -30000 ... 30000.
inline constexpr int kPixelClamp = 30000;
inline int ClampPixel(long long v) {
    return v < -kPixelClamp ? -kPixelClamp : v > kPixelClamp ? kPixelClamp : int(v);
}
inline void ClampPixel(int& x, int& y) {
    x = ClampPixel(x);
    y = ClampPixel(y);
}
