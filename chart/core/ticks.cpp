#include "chart/core/ticks.h"

#include "chart/core/format.h"
#include "chart/core/ticks_datetime.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr long double kLn10 = 2.302585092994045684017991454684364208L;

int Sign(long double hi, long double lo) {
    return hi > lo ? 1 : -1;
}

void Register(TTickLayout& out, TTickMark& m) {
    if (out.TickList.size() < kMaxTickList) out.TickList.push_back(m.Value);
    m.Registered = true;
}

TTickLabelStyle LabelStyle(const TTickInput& in) {
    TTickLabelStyle s;
    s.DecPlaces = in.DecPlaces;
    s.Logarithmic = in.Logarithmic;
    s.LabelType = in.LabelType;
    s.UserTickText = in.UserTickText;
    s.ScaleInscript = in.ScaleInscript;
    return s;
}

// Linear ticks; also used by logarithmic scales spanning less than one decade.
void LinearTicks(const TTickInput& in, int minTicks, TTickLayout& out) {
    const bool horiz = IsHorizontal(in.ScaleType);
    const long double lo = in.RangeLow, hi = in.RangeHigh;
    const TTickStep ts = CalcTickStep(minTicks, hi, lo);
    const int s = Sign(hi, lo);
    const long double step = ts.Step, first = ts.First;
    const long double absStep = std::fabs(step);

    if (in.ShortTicks && step != 0) {
        const long double sub = step / ts.SubIntervals;
        const long double start = first - step;
        for (int j = 0; j < kMaxTickSteps; ++j) {
            const long double v = start + j * sub;
            if (s * v >= s * lo) {
                TTickMark m;
                m.Value = static_cast<double>(v);
                m.Length = 4;
                m.Reported = true;
                Register(out, m);
                out.Marks.push_back(m);
            }
            if (!(s * (start + (j + 1) * sub - hi) <= 0.001L * std::fabs(sub))) break;
        }
    }

    const int d = AutoDecPlaces(in.DecPlaces, in.RangeHigh, in.RangeLow);
    // Linear labels keep their zeros, also on a logarithmic scale narrower than a decade.
    TTickLabelStyle style = LabelStyle(in);
    style.Logarithmic = false;
    const long double range = hi - lo;
    for (int i = 0; i < kMaxTickSteps; ++i) {
        long double v = first + i * step;
        TTickMark m;
        m.Main = true;
        m.Length = horiz ? 7 : 6;
        m.Reported = true;
        bool zero = false;
        if (range != 0 && std::fabs(v / range) < 1e-14L) {
            v = 0;
            zero = true;
        }
        m.Value = static_cast<double>(v);
        if (!horiz || !in.ShortTicks || step == 0) Register(out, m);
        if (in.LabelType != ftNoFigs) {
            std::string t;
            if (zero && std::fabs(range) > 100000)
                t = d != 0 ? "0.0" : "0";
            else
                t = FormatTickValue(m.Value, d);
            m.HasLabel = true;
            m.Label = ComposeTickLabel(t, style, i + 1);
        }
        out.Marks.push_back(m);
        if (step == 0 || !(s * (first + (i + 1) * step - hi) <= 0.001L * absStep)) break;
    }
}

void LogTicks(const TTickInput& in, TTickLayout& out) {
    const bool horiz = IsHorizontal(in.ScaleType);
    const long double rl = in.RangeLow, rh = in.RangeHigh;
    const long double D = std::fabs(std::log(rh / rl)) / kLn10;
    if (D < 1) {
        LinearTicks(in, in.MinTicks, out);
        return;
    }
    const long double lo = std::min(rl, rh), hi = std::max(rl, rh);
    const int d = AutoDecPlacesLog(in.DecPlaces, in.RangeHigh, in.RangeLow);
    const long double K = 0.999999999L;
    const long double base = std::pow(10.0L, static_cast<long double>(std::floor(std::log10(lo * K))));
    const bool subs = in.MinTicks > D + 0.5L;
    const TTickLabelStyle style = LabelStyle(in);
    int labelNumber = 0;
    long double m = 1;
    for (int decade = 0; decade < kMaxTickSteps; ++decade) {
        for (int k = 1; k <= (subs ? 9 : 1); ++k) {
            const long double v = k * m * base;
            if (!(v > lo * K && v < hi / K)) continue;
            TTickMark t;
            t.Value = static_cast<double>(v);
            t.Main = k == 1 || k == 2 || k == 5;
            if (t.Main) {
                t.Length = horiz ? 7 : 6;
                t.Reported = true;
                Register(out, t);
                if (in.LabelType != ftNoFigs) {
                    std::string text;
                    if (d == -3) {
                        if (k == 1)
                            text = FormatTickValue(
                                static_cast<double>(RoundHalfEven(static_cast<double>(std::log10(m * base)))),
                                0);
                    } else {
                        text = FormatTickValue(t.Value, d);
                    }
                    ++labelNumber;
                    t.HasLabel = true;
                    t.Label = ComposeTickLabel(text, style, labelNumber);
                }
            } else {
                t.Length = horiz ? 4 : 6;
                t.Drawn = in.ShortTicks;
                if (in.ShortTicks) Register(out, t);
                t.Reported = horiz || in.ShortTicks;
            }
            out.Marks.push_back(t);
        }
        m *= 10;
        if (hi < K * base * m || !std::isfinite(static_cast<double>(base * m))) break;
    }
}

// Time of day in seconds. Returns false when the range does not suit time labels.
bool TimeTicks(const TTickInput& in, int minTicks, TTickLayout& out) {
    static constexpr double kSteps[27] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1,   0.2,   0.5,
                                          1,     2,     5,     10,   20,   30,   60,    120,   180,
                                          300,   600,   1200,  1800, 3600, 7200, 14400, 21600, 43200};
    static constexpr int kSubs[27] = {5, 4, 5, 5, 4, 5, 5, 4, 5, 5, 4, 5, 5, 4,
                                      6, 6, 6, 6, 5, 5, 6, 6, 6, 4, 4, 6, 6};
    const double lo = std::min(in.RangeLow, in.RangeHigh), hi = std::max(in.RangeLow, in.RangeHigh);
    const double raw = (hi - lo) / minTicks;
    if (!(raw >= 0.001) || raw >= 86400) return false;
    int idx = 0;
    while (idx + 1 < 27 && kSteps[idx + 1] <= raw)
        ++idx;
    const double step = kSteps[idx];
    const double sub = step / kSubs[idx];
    const bool horiz = IsHorizontal(in.ScaleType);
    out.SubSecondTime = step < 1;
    const double start = std::trunc(lo / step / 0.999999999) * step;
    const double tol = 1e-9 * std::max({std::fabs(lo), std::fabs(hi), step});
    int labelNumber = 0;
    // The start lies at most one step below lo; the range holds fewer than 2.5 × minTicks steps.
    for (int j = 0; j < kMaxTickSteps; ++j) {
        double v = start + j * sub;
        if (v > hi + tol) break;
        if (v < lo - tol) continue;
        // Ticks are nominally whole milliseconds; this keeps 0.9999999 from reading as 0 s.
        v = std::round(v * 1000) / 1000;
        const double q = v / step;
        const bool main = std::fabs(q - std::round(q)) < 0.01;
        TTickMark m;
        m.Value = v;
        m.Main = main;
        m.Length = main ? (horiz ? 7 : 6) : 4;
        if (main) {
            m.Reported = true;
            Register(out, m);
            if (in.LabelType != ftNoFigs) {
                m.HasLabel = true;
                m.Label = FormatSeconds(v, step < 1);
                ++labelNumber;
            }
        } else {
            m.Drawn = in.ShortTicks;
            m.Reported = in.ShortTicks;
            if (in.ShortTicks) Register(out, m);
        }
        out.Marks.push_back(m);
    }
    return true;
}

} // namespace

TTickStep CalcTickStep(int n, long double hi, long double lo) {
    TTickStep r;
    if (hi == lo || !std::isfinite(hi) || !std::isfinite(lo)) {
        r.First = lo;
        return r;
    }
    if (n < 1) n = 1;
    const int s = Sign(hi, lo);
    long double L = std::log10(std::fabs(hi - lo) / n);
    long double F = L - std::trunc(L);
    if (std::fabs(F) < 1e-10L || std::fabs(F) > 0.9999999999L) {
        F = 0;
        L = std::nearbyint(L);
    }
    if (L < 0 && F != 0) L -= 1;
    if (F < 0) F += 1;
    const long double E = std::trunc(L);
    int mantissa = 5;
    r.SubIntervals = 5;
    if (F < std::log10(2.0L) + 1e-10L) {
        mantissa = 1;
    } else if (F < std::log10(5.0L) + 1e-10L) {
        mantissa = 2;
        r.SubIntervals = 4;
    }
    r.Step = s * std::exp((E + std::log10(static_cast<long double>(mantissa))) * kLn10);
    if (r.Step == 0 || !std::isfinite(r.Step)) {
        r.Step = 0;
        r.First = lo;
        r.SubIntervals = 1;
        return r;
    }
    r.First = (std::trunc(lo / r.Step) - 1) * r.Step;
    // Advancing from one step below lo takes one or two steps; more only when the step is lost in
    // rounding, which the bound catches.
    for (int i = 0; i < kMaxTickSteps && s * (lo - r.First) > 0.001L * std::fabs(r.Step); ++i) {
        const long double next = r.First + r.Step;
        if (next == r.First) break;
        r.First = next;
    }
    return r;
}

TTickLayout ComputeTicks(const TTickInput& in) {
    TTickLayout out;
    if (!std::isfinite(in.RangeLow) || !std::isfinite(in.RangeHigh)) return out;
    int minTicks = in.MinTicks;
    if (IsHorizontal(in.ScaleType)) minTicks = std::clamp(minTicks, 2, 20);
    minTicks = std::max(minTicks, 1);
    switch (in.LabelType) {
    case ftDateTime:
        DateTimeTicks(in, minTicks, out);
        return out;
    case ftTime:
        if (TimeTicks(in, minTicks, out)) return out;
        break;
    default:
        break;
    }
    if (in.Logarithmic) {
        if (in.RangeLow > 0 && in.RangeHigh > 0) {
            TTickInput log = in;
            log.MinTicks = minTicks;
            LogTicks(log, out);
        }
    } else {
        LinearTicks(in, minTicks, out);
    }
    return out;
}
