#include "chart/core/ticks_datetime.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

// Choices of this implementation where only the outline is fixed:
// - day ticks count whole days from the day of RangeLow; week and longer steps are not aligned to
//   weekdays;
// - month ticks lie on the first of the months whose number (counted from January of year 0) is a
//   multiple of the step; steps above one month get one short tick per month;
// - date texts: day, month and year in DateOrder, joined by DateSeparator; the month as a three-letter
//   English name when MonthName is set, else two digits; the year as YearLength says (left out for
//   ylNone). Month labels leave out the day, year labels are the year alone;
// - time texts: tfHHMMSS "14:05:30", tfHHhMM "14h05" with ":" and the seconds appended, tfAMPM
//   "2:05.30pm" (hours alone "2pm", "14h" for tfHHhMM, "14:00" for tfHHMMSS).

namespace {

constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Days from 1970-01-01 of a civil date (proleptic Gregorian calendar).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

constexpr long long kSerialOf1970 = 25569;

std::string YearText(int year, TYearLength len) {
    char b[16];
    if (len == ylNone) return {};
    if (len == ylYY)
        std::snprintf(b, sizeof b, "%02d", ((year % 100) + 100) % 100);
    else
        std::snprintf(b, sizeof b, "%d", year);
    return b;
}

std::string Join(const std::string& a, const std::string& b, char sep) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + sep + b;
}

std::string MonthText(int month, bool name) {
    if (name) return kMonths[(month - 1) % 12];
    char b[8];
    std::snprintf(b, sizeof b, "%02d", month);
    return b;
}

std::string MonthYearText(const TCivilDate& d, const TDateTimeFormat& f) {
    const std::string m = MonthText(d.Month, f.MonthName), y = YearText(d.Year, f.YearLength);
    return f.DateOrder == doYYMMDD ? Join(y, m, f.DateSeparator) : Join(m, y, f.DateSeparator);
}

struct Row {
    int steps[6];
    int subs[6]; // sub-step of each step, in the same units
    int count;
};

// Step of a row: the largest entry not above x, at least the first.
int Pick(const Row& r, double x) {
    int i = 0;
    while (i + 1 < r.count && r.steps[i + 1] <= x)
        ++i;
    return i;
}

void Push(TTickLayout& out, TTickMark m) {
    m.Reported = true;
    if (out.TickList.size() < kMaxTickList) out.TickList.push_back(m.Value);
    m.Registered = true;
    out.Marks.push_back(std::move(m));
}

// Ticks on a grid of `units` per day: step and sub-step in units, counted from midnight of the day of lo.
void UnitTicks(const TTickInput& in, double lo, double hi, int units, int step, int sub, bool dateLabels,
               TTickLayout& out) {
    const bool horiz = IsHorizontal(in.ScaleType);
    const double midnight = std::floor(lo);
    const double u = static_cast<double>(units);
    // First multiple of the step not before lo, then back by sub-steps while after lo.
    long long k = static_cast<long long>(std::ceil((lo - midnight) * u / step - 1e-9)) * step;
    const int adv = in.ShortTicks ? sub : step;
    if (in.ShortTicks)
        while (midnight + static_cast<double>(k) / u > lo + 1e-12)
            k -= sub;
    std::string lastDate;
    bool dateShown = false;
    for (int i = 0; i < kMaxTickSteps; ++i, k += adv) {
        const double v = midnight + static_cast<double>(k) / u;
        if (!(v < hi + 1e-8)) break;
        if (v < lo - 1e-12) continue;
        TTickMark m;
        m.Value = v;
        const double q = static_cast<double>(k) / step;
        m.Main = !in.ShortTicks || std::fabs(q - std::round(q)) < 0.1;
        m.Length = m.Main ? 6 : 4;
        if (m.Main && in.LabelType != ftNoFigs) {
            m.HasLabel = true;
            if (dateLabels) {
                m.Label = DateText(v, in.DateFormat);
            } else {
                m.Label = TimeOfDayText(v, units, in.DateFormat);
                if (!horiz) {
                    const std::string date = DateText(v, in.DateFormat);
                    bool show = false;
                    switch (in.DateFormat.DateForTime) {
                    case dtNone:
                        break;
                    case dtOnePerChart:
                        show = !dateShown;
                        break;
                    case dtOnePerDay:
                        show = date != lastDate;
                        break;
                    case dtAllTicks:
                        show = true;
                        break;
                    }
                    if (show) {
                        m.DateLine = date;
                        lastDate = date;
                        dateShown = true;
                    }
                }
            }
        }
        Push(out, m);
    }
}

void MonthTicks(const TTickInput& in, double lo, double hi, double t, TTickLayout& out) {
    static constexpr int kSteps[5] = {1, 2, 3, 4, 6};
    int i = 0;
    while (i + 1 < 5 && kSteps[i + 1] <= t / 30.4375)
        ++i;
    const int step = kSteps[i];
    const TCivilDate d0 = DaysToDate(static_cast<long long>(std::floor(lo)));
    long long idx = static_cast<long long>(d0.Year) * 12 + (d0.Month - 1);
    const int adv = in.ShortTicks ? 1 : step;
    while (idx % adv != 0)
        ++idx;
    for (int n = 0; n < kMaxTickSteps; ++n, idx += adv) {
        const int year = static_cast<int>(idx / 12), month = static_cast<int>(idx % 12) + 1;
        if (year > 9999) break;
        const double v = static_cast<double>(DateToDays(year, month, 1));
        if (!(v < hi + 1e-8)) break;
        if (v < lo - 1e-12) continue;
        TTickMark m;
        m.Value = v;
        m.Main = idx % step == 0;
        m.Length = m.Main ? 6 : 4;
        if (m.Main && in.LabelType != ftNoFigs) {
            m.HasLabel = true;
            m.Label = MonthYearText({year, month, 1}, in.DateFormat);
        }
        Push(out, m);
    }
}

void YearTicks(const TTickInput& in, double lo, double hi, double t, TTickLayout& out) {
    const double a = std::max(1.0, t / 365.25);
    const int E = static_cast<int>(std::floor(std::log10(a)));
    const double M = a / std::pow(10.0, E);
    const int f = M >= 5 ? 5 : M >= 2 ? 2 : 1;
    const long long h = std::max(1LL, std::llround(f * std::pow(10.0, E)));
    long long spacing = h;
    if (in.ShortTicks && h > 1)
        spacing = std::max(1LL, std::llround(static_cast<double>(h) / (f == 5 ? 5 : 2)));
    const TCivilDate d0 = DaysToDate(static_cast<long long>(std::floor(lo)));
    long long year = d0.Year;
    if (static_cast<double>(DateToDays(static_cast<int>(year), 1, 1)) < lo - 1e-12) ++year;
    while (((year % spacing) + spacing) % spacing != 0)
        ++year;
    for (int n = 0; n < kMaxTickSteps && year <= 9999; ++n, year += spacing) {
        const double v = static_cast<double>(DateToDays(static_cast<int>(year), 1, 1));
        if (!(v < hi + 1e-8)) break;
        TTickMark m;
        m.Value = v;
        m.Main = year % h == 0;
        m.Length = m.Main ? 6 : 4;
        if (m.Main && in.LabelType != ftNoFigs && in.DateFormat.YearLength != ylNone) {
            m.HasLabel = true;
            m.Label = YearText(static_cast<int>(year), in.DateFormat.YearLength);
        }
        Push(out, m);
    }
}

} // namespace

TCivilDate DaysToDate(long long serial) {
    long long z = serial - kSerialOf1970 + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

long long DateToDays(int year, int month, int day) {
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kSerialOf1970;
}

std::string DateText(double day, const TDateTimeFormat& f) {
    const TCivilDate d = DaysToDate(static_cast<long long>(std::floor(day)));
    char dd[8];
    std::snprintf(dd, sizeof dd, "%02d", d.Day);
    const std::string m = MonthText(d.Month, f.MonthName), y = YearText(d.Year, f.YearLength);
    switch (f.DateOrder) {
    case doMMDDYY:
        return Join(Join(m, dd, f.DateSeparator), y, f.DateSeparator);
    case doYYMMDD:
        return Join(Join(y, m, f.DateSeparator), dd, f.DateSeparator);
    default:
        return Join(Join(dd, m, f.DateSeparator), y, f.DateSeparator);
    }
}

std::string TimeOfDayText(double day, int units, const TDateTimeFormat& f) {
    const double frac = day - std::floor(day);
    long long ms = std::llround(frac * 86400000.0);
    if (ms >= 86400000) ms -= 86400000;
    const int h = static_cast<int>(ms / 3600000), mi = static_cast<int>(ms / 60000 % 60);
    const int s = static_cast<int>(ms / 1000 % 60), z = static_cast<int>(ms % 1000);
    const char sep = f.TimeSeparator;
    const int h12 = h % 12 == 0 ? 12 : h % 12;
    const char* ampm = h < 12 ? "am" : "pm";
    char b[64];
    if (units <= 24) {
        if (f.TimeFormat == tfHHhMM)
            std::snprintf(b, sizeof b, "%dh", h);
        else if (f.TimeFormat == tfAMPM)
            std::snprintf(b, sizeof b, "%d%s", h12, ampm);
        else
            std::snprintf(b, sizeof b, "%02d%c%02d", h, sep, mi);
        return b;
    }
    if (units <= 1440) {
        if (f.TimeFormat == tfHHhMM)
            std::snprintf(b, sizeof b, "%dh%02d", h, mi);
        else if (f.TimeFormat == tfAMPM)
            std::snprintf(b, sizeof b, "%d%c%02d%s", h12, sep, mi, ampm);
        else
            std::snprintf(b, sizeof b, "%02d%c%02d", h, sep, mi);
        return b;
    }
    char ms3[8] = "";
    if (units > 86400) std::snprintf(ms3, sizeof ms3, ".%03d", z);
    if (f.TimeFormat == tfHHhMM)
        std::snprintf(b, sizeof b, "%dh%02d%c%02d%s", h, mi, sep, s, ms3);
    else if (f.TimeFormat == tfAMPM)
        std::snprintf(b, sizeof b, "%d%c%02d.%02d%s%s", h12, sep, mi, s, ms3, ampm);
    else
        std::snprintf(b, sizeof b, "%02d%c%02d%c%02d%s", h, sep, mi, sep, s, ms3);
    return b;
}

void DateTimeTicks(const TTickInput& in, int minTicks, TTickLayout& out) {
    const double lo = in.RangeLow, hi = in.RangeHigh;
    const bool horiz = IsHorizontal(in.ScaleType);
    if (!(hi >= lo) || lo < -693593 || hi > 3000000) {
        out.Message = horiz ? std::vector<std::string>{"invalid DateTime scale"}
                            : std::vector<std::string>{"invalid", "DateTime", "scale"};
        return;
    }
    const double t = (hi - lo) / minTicks;
    static constexpr Row kHours{{1, 2, 3, 6, 8, 12}, {1, 1, 1, 2, 2, 3}, 6};
    static constexpr Row kMinSec{{1, 2, 5, 10, 20, 30}, {1, 1, 1, 2, 5, 10}, 6};
    static constexpr Row kHundredths{{1, 2, 5, 10, 20, 50}, {1, 1, 1, 5, 10, 10}, 6};
    static constexpr Row kDays{{1, 2, 3, 7, 14, 28}, {1, 1, 1, 1, 7, 7}, 6};
    const auto timeClass = [&](const Row& r, int units) {
        const int i = Pick(r, t * units);
        const int step = r.steps[i], sub = r.subs[i];
        UnitTicks(in, lo, hi, units, step, sub, false, out);
    };
    if (horiz ? t <= 1.1574e-5 : t <= 1.1574074e-7) {
        out.Message = horiz ? std::vector<std::string>{"DateTime range is below 1 second"}
                            : std::vector<std::string>{"DateTime", "range is", "below 1", "second"};
        return;
    }
    if (!horiz && t <= 1.1574074e-5) {
        timeClass(kHundredths, 8640000);
    } else if (horiz ? t <= 6.9444e-4 : t <= 1.0 / 1440) {
        timeClass(kMinSec, 86400);
    } else if (t <= 0.041667) {
        timeClass(kMinSec, 1440);
    } else if (t <= 1) {
        timeClass(kHours, 24);
    } else if (t <= 30) {
        const int i = Pick(kDays, t);
        UnitTicks(in, lo, hi, 1, kDays.steps[i], kDays.subs[i], true, out);
    } else if (t <= 366) {
        MonthTicks(in, lo, hi, t, out);
    } else {
        YearTicks(in, lo, hi, t, out);
    }
}
