#include "chart/core/ticks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

TTickInput Input(double lo, double hi, int minTicks, TScaleType type = sctXT) {
    TTickInput in;
    in.RangeLow = lo;
    in.RangeHigh = hi;
    in.MinTicks = minTicks;
    in.ScaleType = type;
    return in;
}

std::vector<double> Mains(const TTickLayout& l) {
    std::vector<double> v;
    for (const auto& m : l.Marks)
        if (m.Main) v.push_back(m.Value);
    return v;
}

std::vector<double> Shorts(const TTickLayout& l) {
    std::vector<double> v;
    for (const auto& m : l.Marks)
        if (!m.Main && m.Drawn) v.push_back(m.Value);
    return v;
}

std::vector<std::string> Labels(const TTickLayout& l) {
    std::vector<std::string> v;
    for (const auto& m : l.Marks)
        if (m.HasLabel) v.push_back(m.Label);
    return v;
}

void ExpectValues(const std::vector<double>& got, const std::vector<double>& want, const char* what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], 1e-9 * (1 + std::fabs(want[i]))) << what << " #" << i;
}

std::vector<double> Seq(double from, double to, double step) {
    std::vector<double> v;
    for (int i = 0; from + i * step <= to + 1e-9; ++i)
        v.push_back(from + i * step);
    return v;
}

TEST(Ticks, StepIsOneTwoOrFiveTimesAPowerOfTen) {
    struct Case {
        int n;
        double lo, hi, step, first;
        int subs;
    };
    const std::vector<Case> cases = {
        {3, 0, 100, 20, 0, 4},  {6, 0, 100, 10, 0, 5},  {5, 0, 10, 1, 0, 5},      {5, 0, 25, 2, 0, 4},
        {3, 0, 30, 10, 0, 5},   {3, 1, 200, 50, 50, 5}, {3, 100, 0, -20, 100, 4}, {3, 2, 8, 1, 2, 5},
        {3, 0, 0.9, 0.2, 0, 4}, {3, -7, 7, 2, -6, 4},   {3, 5, 5, 0, 5, 1},
    };
    for (const Case& c : cases) {
        const TTickStep s = CalcTickStep(c.n, c.hi, c.lo);
        EXPECT_NEAR(static_cast<double>(s.Step), c.step, 1e-12) << c.lo << ".." << c.hi << " n " << c.n;
        EXPECT_NEAR(static_cast<double>(s.First), c.first, 1e-12) << c.lo << ".." << c.hi << " n " << c.n;
        EXPECT_EQ(s.SubIntervals, c.subs) << c.lo << ".." << c.hi << " n " << c.n;
    }
}

TEST(Ticks, LinearMainAndShortTicks) {
    TTickLayout l = ComputeTicks(Input(0, 100, 3));
    ExpectValues(Mains(l), {0, 20, 40, 60, 80, 100}, "0..100/3 main");
    EXPECT_EQ(Labels(l), (std::vector<std::string>{"0", "20", "40", "60", "80", "100"}));
    ExpectValues(Shorts(l), Seq(0, 100, 5), "0..100/3 short");
    for (const auto& m : l.Marks)
        EXPECT_EQ(m.Length, m.Main ? 7 : 4);

    ExpectValues(Mains(ComputeTicks(Input(0, 100, 6))), Seq(0, 100, 10), "0..100/6");
    ExpectValues(Mains(ComputeTicks(Input(0, 10, 5))), Seq(0, 10, 1), "0..10/5");
    ExpectValues(Mains(ComputeTicks(Input(0, 25, 5))), Seq(0, 24, 2), "0..25/5");
    ExpectValues(Mains(ComputeTicks(Input(0, 30, 3))), {0, 10, 20, 30}, "0..30/3");
    ExpectValues(Mains(ComputeTicks(Input(1, 200, 3, sctYR))), {50, 100, 150, 200}, "1..200/3");
    ExpectValues(Mains(ComputeTicks(Input(100, 0, 3))), {100, 80, 60, 40, 20, 0}, "100..0");
    EXPECT_EQ(Labels(ComputeTicks(Input(0, 10, 3))).front(), "0.0");
}

TEST(Ticks, TickListRegistration) {
    // Horizontal with short ticks: the short pass registers every position, the main pass nothing.
    TTickLayout h = ComputeTicks(Input(0, 100, 3, sctXT));
    ExpectValues(h.TickList, Seq(0, 100, 5), "horizontal");
    TTickInput noShort = Input(0, 100, 3, sctXT);
    noShort.ShortTicks = false;
    ExpectValues(ComputeTicks(noShort).TickList, Seq(0, 100, 20), "horizontal, no short ticks");
    // Vertical: main ticks are registered after the short ones.
    std::vector<double> want = Seq(0, 100, 5);
    for (double v : Seq(0, 100, 20))
        want.push_back(v);
    ExpectValues(ComputeTicks(Input(0, 100, 3, sctYR)).TickList, want, "vertical");
    // At most 50 values, the first ones.
    TTickLayout many = ComputeTicks(Input(0, 100, 10, sctYL)); // step 10, short ticks every 2
    EXPECT_EQ(many.TickList.size(), 50u);
    ExpectValues(many.TickList, Seq(0, 98, 2), "limit");
    EXPECT_GT(many.Marks.size(), 50u); // further ticks are drawn all the same
}

TEST(Ticks, ZeroIsExactAndPlain) {
    TTickLayout l = ComputeTicks(Input(-0.3, 0.7, 3));
    const auto mains = Mains(l);
    const auto labels = Labels(l);
    ASSERT_EQ(mains.size(), labels.size());
    bool sawZero = false;
    for (std::size_t i = 0; i < mains.size(); ++i)
        if (std::fabs(mains[i]) < 1e-12) {
            EXPECT_EQ(mains[i], 0.0);
            EXPECT_EQ(labels[i], "0.00");
            sawZero = true;
        }
    EXPECT_TRUE(sawZero);
    EXPECT_EQ(Labels(ComputeTicks(Input(-2e6, 2e6, 3)))[2], "0.0"); // exponent labels, plain zero
    EXPECT_EQ(Labels(ComputeTicks(Input(-2e5, 2e5, 3)))[2], "0");
}

TEST(Ticks, Logarithmic) {
    TTickInput in = Input(1, 1000, 3, sctYR);
    in.Logarithmic = true;
    TTickLayout l = ComputeTicks(in);
    ExpectValues(Mains(l), {1, 10, 100, 1000}, "log 1..1000/3");
    EXPECT_TRUE(Shorts(l).empty());
    EXPECT_EQ(Labels(l), (std::vector<std::string>{"1", "10", "100", "1000"}));

    in.MinTicks = 6;
    l = ComputeTicks(in);
    ExpectValues(Mains(l), {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000}, "log 1..1000/6");
    ExpectValues(Shorts(l), {3, 4, 6, 7, 8, 9, 30, 40, 60, 70, 80, 90, 300, 400, 600, 700, 800, 900},
                 "log short");
    EXPECT_EQ(Labels(l).size(), 10u);
    for (const auto& m : l.Marks)
        EXPECT_EQ(m.Length, 6); // vertical: short ticks as long as main ones

    // Less than one decade: ticked like a linear scale.
    TTickInput narrow = Input(2, 9, 3);
    narrow.Logarithmic = true;
    ExpectValues(Mains(ComputeTicks(narrow)), {2, 4, 6, 8}, "log 2..9");
    // ... and labelled like one: one decimal for a range of 7, no trimming.
    EXPECT_EQ(Labels(ComputeTicks(narrow)), (std::vector<std::string>{"2.0", "4.0", "6.0", "8.0"}));
    narrow.RangeHigh = 8;
    ExpectValues(Mains(ComputeTicks(narrow)), Seq(2, 8, 1), "log 2..8");

    TTickInput small = Input(0.01, 10, 3);
    small.Logarithmic = true;
    EXPECT_EQ(Labels(ComputeTicks(small)), (std::vector<std::string>{"0.01", "0.1", "1", "10"}));
    small.DecPlaces = -3; // decade exponents
    EXPECT_EQ(Labels(ComputeTicks(small)), (std::vector<std::string>{"-2", "-1", "0", "1"}));

    TTickInput bad = Input(0, 100, 3);
    bad.Logarithmic = true;
    EXPECT_TRUE(ComputeTicks(bad).Marks.empty());
}

TEST(Ticks, NoRangeCrashesOrHangs) {
    const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
    const double one = 1.0, next = std::nextafter(1.0, 2.0);
    struct Case {
        double lo, hi;
        bool log;
    };
    const std::vector<Case> cases = {
        {nan, 1, false},         {0, nan, false},         {-inf, inf, false},    {0, inf, true},
        {-1e308, 1e308, false},  {1e308, -1e308, false},  {1e308, 1e308, false}, {one, next, false},
        {next, one, false},      {1e-300, 1e300, true},   {-5, 5, true},         {0, 0, false},
        {1e-320, 2e-320, false}, {1e15, 1e15 + 1, false}, {one, next, true},
    };
    for (const Case& c : cases)
        for (TFigType type : {ftNum, ftTime, ftDateTime, ftNoFigs})
            for (int n : {0, 2, 10, 1000}) {
                TTickInput in = Input(c.lo, c.hi, n, sctYL);
                in.Logarithmic = c.log;
                in.LabelType = type;
                const TTickLayout l = ComputeTicks(in);
                EXPECT_LE(l.TickList.size(), kMaxTickList);
                EXPECT_LE(l.Marks.size(), 20000u) << c.lo << ".." << c.hi;
                for (const auto& m : l.Marks)
                    EXPECT_TRUE(std::isfinite(m.Value)) << c.lo << ".." << c.hi;
            }
    // The widest range still gets a sound axis.
    const auto wide = Mains(ComputeTicks(Input(-1e308, 1e308, 3)));
    ASSERT_GE(wide.size(), 3u);
    EXPECT_GE(wide.front(), -1e308);
    EXPECT_LE(wide.back(), 1e308);
}

TEST(Ticks, TimeOfDayLabels) {
    TTickInput in = Input(0, 60, 3);
    in.LabelType = ftTime;
    TTickLayout l = ComputeTicks(in);
    ExpectValues(Mains(l), {0, 20, 40, 60}, "0..60 s");
    EXPECT_EQ(Labels(l), (std::vector<std::string>{" 00:00:00", " 00:00:20", " 00:00:40", " 00:01:00"}));
    ExpectValues(Shorts(l), {5, 10, 15, 25, 30, 35, 45, 50, 55}, "0..60 s short");

    in.RangeHigh = 2;
    in.MinTicks = 4;
    l = ComputeTicks(in);
    EXPECT_EQ(Labels(l), (std::vector<std::string>{" 00:00:00.000", " 00:00:00.500", " 00:00:01.000",
                                                   " 00:00:01.500", " 00:00:02.000"}));
    // Too wide for times of day: numeric labels instead.
    in.RangeHigh = 1e6;
    in.MinTicks = 3;
    EXPECT_EQ(Labels(ComputeTicks(in)).front(), "0.0");
}

TEST(Ticks, CalendarDates) {
    EXPECT_EQ(DateToDays(1899, 12, 30), 0);
    EXPECT_EQ(DateToDays(2000, 1, 1), 36526);
    const TCivilDate d = DaysToDate(36526 + 59);
    EXPECT_EQ(d.Year, 2000);
    EXPECT_EQ(d.Month, 2);
    EXPECT_EQ(d.Day, 29);
    EXPECT_EQ(DaysToDate(-693593).Year, 1);

    TTickInput in = Input(DateToDays(1900, 1, 1), DateToDays(2000, 1, 1), 3);
    in.LabelType = ftDateTime;
    TTickLayout l = ComputeTicks(in);
    EXPECT_EQ(Labels(l), (std::vector<std::string>{"1900", "1920", "1940", "1960", "1980", "2000"}));
    EXPECT_EQ(Shorts(l).size(), 5u); // 1910, 1930, ...

    const double day = DateToDays(2024, 3, 5);
    in = Input(day, day + 1, 4, sctYR);
    in.LabelType = ftDateTime;
    l = ComputeTicks(in);
    EXPECT_EQ(Labels(l), (std::vector<std::string>{"00:00", "06:00", "12:00", "18:00", "00:00"}));
    EXPECT_EQ(Shorts(l).size(), 8u); // every two hours
    EXPECT_EQ(l.Marks.front().DateLine, "05-Mar-2024");
    EXPECT_EQ(l.Marks.back().DateLine, "06-Mar-2024"); // a new day shows its date
    EXPECT_EQ(l.Marks[3].DateLine, "");

    in = Input(day, day - 1, 3);
    in.LabelType = ftDateTime;
    EXPECT_EQ(ComputeTicks(in).Message, (std::vector<std::string>{"invalid DateTime scale"}));
    in = Input(day, day + 1e-5, 3, sctXT);
    in.LabelType = ftDateTime;
    EXPECT_EQ(ComputeTicks(in).Message, (std::vector<std::string>{"DateTime range is below 1 second"}));
}

} // namespace
