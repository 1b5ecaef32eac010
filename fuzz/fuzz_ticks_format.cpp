// Tick computation and label formatting over arbitrary doubles, precision codes and label settings.
// Checks what must hold for any input: bounded tick lists, bounded label texts, fixed-form texts that
// read back as the value they show, and rounding helpers that agree with the value they round.

#include "chart/core/format.h"
#include "chart/core/ticks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    double Double() {
        std::uint8_t raw[8] = {};
        for (auto& b : raw)
            b = Byte();
        double v;
        std::memcpy(&v, raw, sizeof v);
        return v;
    }
    std::string Text() {
        const std::size_t n = Byte() % 40;
        std::string s;
        for (std::size_t i = 0; i < n && pos_ < size_; ++i)
            s.push_back(static_cast<char>(Byte()));
        return s;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

void Fail(int line) {
    std::fprintf(stderr, "check failed at line %d\n", line);
    std::abort();
}
#define Check(ok) ((ok) ? (void)0 : Fail(__LINE__))

void CheckValueText(double value, int code) {
    const std::string s = FormatTickValue(value, code);
    Check(!s.empty());
    if (!std::isfinite(value)) return;
    if (code < 0) {
        Check(s.size() <= 10);
        return;
    }
    if (std::fabs(value) >= 1e36) return;
    // The fixed form is the value rounded to `code` decimals (at most 64), so it reads back within half a
    // unit of its last place.
    const int d = code > 64 ? 64 : code;
    char* end = nullptr;
    const double back = std::strtod(s.c_str(), &end);
    Check(end == s.c_str() + s.size());
    const double a = std::fabs(value) + 1;
    const double tolerance = 0.5 * std::pow(10.0, -d) * (1 + 1e-9) + 4 * (std::nextafter(a, INFINITY) - a);
    Check(std::fabs(back - value) <= tolerance);
}

void CheckRounding(double x) {
    const long long r = RoundHalfEven(x);
    if (std::isnan(x)) {
        Check(r == 0);
        return;
    }
    if (std::fabs(x) < 1e15) {
        Check(std::fabs(static_cast<double>(r) - x) <= 0.5);
        const int f = Floor(x), c = Ceil(x);
        if (std::fabs(x) < 2e9) {
            Check(static_cast<double>(f) <= x && x - static_cast<double>(f) <= 1);
            Check(static_cast<double>(c) >= x && static_cast<double>(c) - x <= 1);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    TTickInput t;
    t.RangeLow = in.Double();
    t.RangeHigh = in.Double();
    const std::uint8_t flags = in.Byte();
    t.Logarithmic = flags & 1;
    t.ShortTicks = flags & 2;
    t.LabelType = static_cast<TFigType>((flags >> 2) % 5);
    t.ScaleType = static_cast<TScaleType>((flags >> 5) % 4);
    t.MinTicks = static_cast<std::int8_t>(in.Byte());
    t.DecPlaces = static_cast<std::int8_t>(in.Byte());
    const std::uint8_t df = in.Byte();
    t.DateFormat.TimeFormat = static_cast<TTimeFormat>(df % 3);
    t.DateFormat.YearLength = static_cast<TYearLength>((df / 3) % 3);
    t.DateFormat.DateOrder = static_cast<TDateOrder>((df / 9) % 3);
    t.DateFormat.DateForTime = static_cast<TDateForTime>((df / 27) % 4);
    t.DateFormat.MonthName = df & 0x80;
    t.DateFormat.DateSeparator = static_cast<char>(in.Byte());
    t.DateFormat.TimeSeparator = static_cast<char>(in.Byte());
    t.UserTickText = in.Text();
    t.ScaleInscript = in.Text();

    const TTickLayout layout = ComputeTicks(t);
    Check(layout.TickList.size() <= kMaxTickList);
    Check(layout.Marks.size() <= 20 * static_cast<std::size_t>(kMaxTickSteps));
    // The tick list holds the first registered values, in order.
    std::size_t registered = 0;
    for (const TTickMark& m : layout.Marks) {
        if (m.Registered) {
            if (registered < kMaxTickList) {
                Check(registered < layout.TickList.size());
                const double listed = layout.TickList[registered];
                Check(listed == m.Value || (std::isnan(listed) && std::isnan(m.Value)));
            }
            ++registered;
        }
        Check(m.Label.size() <= 200 + t.ScaleInscript.size() + t.UserTickText.size());
        Check(m.HasLabel || m.Label.empty());
    }
    Check(layout.TickList.size() == std::min(registered, kMaxTickList));

    // The formatting helpers on their own, with the range bounds as values and the raw precision code.
    const TTickLabelStyle style{t.DecPlaces, t.Logarithmic, t.LabelType, t.UserTickText, t.ScaleInscript};
    const int autoCode = AutoDecPlaces(t.DecPlaces, t.RangeHigh, t.RangeLow);
    const int autoLog = AutoDecPlacesLog(t.DecPlaces, t.RangeHigh, t.RangeLow);
    for (double v : {t.RangeLow, t.RangeHigh}) {
        CheckValueText(v, t.DecPlaces);
        CheckValueText(v, autoCode);
        CheckValueText(v, autoLog);
        CheckRounding(v);
        const std::string label = TickLabelText(v, autoCode, t.MinTicks, style);
        Check(label.size() <= kMaxLabelLength + t.ScaleInscript.size() + t.UserTickText.size());
        Check(!FormatSeconds(v, flags & 0x80).empty());
    }
    return 0;
}
