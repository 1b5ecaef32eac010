#include "chart/core/format.h"

#include <algorithm>
#include <cfenv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

std::string NonFiniteText(double v) {
    if (std::isnan(v)) return "Nan";
    return v > 0 ? "+Inf" : "-Inf";
}

// Sign character, d.d, "E", exponent sign and four exponent digits: ten characters.
std::string ExponentTen(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1E", std::fabs(v));
    // buf: "d.dE+x..." with at least two exponent digits.
    const std::string s(buf);
    const std::size_t e = s.find('E');
    const int exponent = std::atoi(s.c_str() + e + 1);
    char out[64];
    std::snprintf(out, sizeof out, "%c%sE%c%04d", std::signbit(v) && v != 0 ? '-' : ' ',
                  s.substr(0, e).c_str(), exponent < 0 ? '-' : '+', std::abs(exponent));
    return out;
}

} // namespace

long long RoundHalfEven(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 9.2e18) return LLONG_MAX;
    if (x <= -9.2e18) return LLONG_MIN;
    const double f = std::floor(x);
    const double diff = x - f;
    long long r = static_cast<long long>(f);
    if (diff > 0.5 || (diff == 0.5 && (r % 2 != 0))) ++r;
    return r;
}

int Floor(double x) {
    const long long r = RoundHalfEven(x);
    const long long v = x < static_cast<double>(r) ? r - 1 : r;
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

int Ceil(double x) {
    const long long r = RoundHalfEven(x);
    const long long v = x > static_cast<double>(r) ? r + 1 : r;
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

std::string FormatTickValue(double value, int code) {
    if (!std::isfinite(value)) return NonFiniteText(value);
    if (code < 0) {
        std::string t = ExponentTen(value);
        // t = s d . d E ± e e e e
        if (t[6] == '0' && t[7] == '0') return t.erase(6, 2);
        t.erase(6, 2);
        return std::string(t.size(), '*');
    }
    if (std::fabs(value) >= 1e36) return ExponentTen(value);
    const int d = std::min(code, 64);
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.*f", d, value);
    std::string s(buf);
    // A value that rounds to zero carries no sign.
    if (s[0] == '-' && s.find_first_not_of("0.", 1) == std::string::npos) s.erase(0, 1);
    return s;
}

int AutoDecPlaces(int code, double high, double low) {
    if (code != -2 && code != -3) return code;
    const double d = std::fabs(high - low);
    if (!std::isfinite(d) || d >= 1000000 || d <= 0.0001) return -1;
    if (d >= 100) return 0;
    return static_cast<int>(2 - RoundHalfEven(std::log(d) / 2.5));
}

int AutoDecPlacesLog(int code, double high, double low) {
    if (code != -2) return code;
    const double a = std::max(high, low), b = std::min(high, low);
    const double d = a - b;
    if (!std::isfinite(d) || d >= 1000000 || d <= 0.0001) return -1;
    if (b >= 1) return 0;
    if (b == 0) return -1; // no decade to count from
    return static_cast<int>(
        std::clamp<long long>(1 - RoundHalfEven(std::log10(std::fabs(b))), INT_MIN, INT_MAX));
}

std::string ComposeTickLabel(std::string t, const TTickLabelStyle& style, int labelNumber) {
    if (t.size() > kMaxLabelLength) t.resize(kMaxLabelLength);
    if (style.Logarithmic && style.DecPlaces == -2 && t.find('.') != std::string::npos &&
        t.find_first_of("eE") == std::string::npos) {
        while (!t.empty() && t.back() == '0')
            t.pop_back();
        if (!t.empty() && t.back() == '.') t.pop_back();
    }
    if (style.LabelType == ftUserText) return UserTickTextItem(style.UserTickText, labelNumber);
    return ApplyInscript(t, style.ScaleInscript);
}

std::string TickLabelText(double value, int code, int labelNumber, const TTickLabelStyle& style) {
    return ComposeTickLabel(FormatTickValue(value, code), style, labelNumber);
}

std::string UserTickTextItem(const std::string& s, int n) {
    if (s.empty()) return {};
    std::size_t start = 0;
    for (int i = 1;; ++i) {
        const std::size_t bar = s.find('|', start);
        if (bar == std::string::npos || i >= n)
            return s.substr(start, bar == std::string::npos ? bar : bar - start);
        start = bar + 1;
    }
}

std::string ApplyInscript(const std::string& label, const std::string& inscript) {
    if (label.empty()) return {};
    const std::size_t amp = inscript.find('&');
    if (amp == std::string::npos) return inscript + label;
    return inscript.substr(0, amp) + label + inscript.substr(amp + 1);
}

std::string FormatSeconds(double x, bool withMs) {
    if (!std::isfinite(x)) return NonFiniteText(x);
    const double c = std::fabs(x);
    double whole = std::trunc(c);
    long long z = 0;
    if (withMs) {
        z = RoundHalfEven(1000 * (c - whole));
        // 0.9996 s reads 00:00:01.000, not 00:00:00.1000.
        if (z >= 1000) {
            z -= 1000;
            whole += 1;
        }
    }
    // fmod is exact: whole - 3600 * floor(whole / 3600) is not for huge values and would leave a rest
    // outside 0 ... 3599 that no int can hold.
    const double rest = std::fmod(whole, 3600);
    const double h = (whole - rest) / 3600;
    const int m = static_cast<int>(rest / 60);
    const int s = static_cast<int>(rest - 60 * m);
    char buf[96];
    if (withMs)
        std::snprintf(buf, sizeof buf, "%c%02.0f:%02d:%02d.%03lld", x >= 0 ? ' ' : '-', h, m, s, z);
    else
        std::snprintf(buf, sizeof buf, "%c%02.0f:%02d:%02d", x >= 0 ? ' ' : '-', h, m, s);
    return buf;
}
