#include "chart/core/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

TEST(Format, TickValueTexts) {
    struct Case {
        double v;
        int code;
        std::string want;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<Case> cases = {
        {0, 0, "0"},
        {0, 2, "0.00"},
        {-2.5, 1, "-2.5"},
        {2.5, 0, "2"}, // halves to even at the last digit
        {3.5, 0, "4"},
        {1234.5678, 2, "1234.57"},
        {1234567.0, 0, "1234567"}, // no digit grouping
        {-0.001, 2, "0.00"},       // rounds to zero: no sign
        {123456, -1, " 1.2E+05"},
        {1234.5, -1, " 1.2E+03"},
        {-0.0000005, -1, "-5.0E-07"},
        {-0.000123, -1, "-1.2E-04"},
        {0, -1, " 0.0E+00"},
        {9.96, -1, " 1.0E+01"},
        {1e150, -1, "********"},
        {-1e-200, -1, "********"},
        {1e36, 2, " 1.0E+0036"}, // fixed form of huge values: the unshortened exponent form
        {-4.2e100, 0, "-4.2E+0100"},
        {std::nan(""), 3, "Nan"},
        {inf, -1, "+Inf"},
        {-inf, 0, "-Inf"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatTickValue(c.v, c.code), c.want) << c.v << " code " << c.code;
}

TEST(Format, AutomaticPrecisionOfLinearScales) {
    struct Case {
        double d;
        int want;
    };
    const std::vector<Case> cases = {{100, 0},     {50, 0},       {30, 1},      {10, 1},       {3, 2},
                                     {1, 2},       {0.5, 2},      {0.1, 3},     {0.01, 4},     {0.001, 5},
                                     {0.00012, 6}, {0.00005, -1}, {0.0001, -1}, {1000000, -1}, {999999, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(AutoDecPlaces(-2, c.d, 0), c.want) << c.d;
        EXPECT_EQ(AutoDecPlaces(-3, 0, c.d), c.want) << c.d; // order of the bounds does not matter
    }
    EXPECT_EQ(AutoDecPlaces(3, 100, 0), 3);
    EXPECT_EQ(AutoDecPlaces(-1, 100, 0), -1);
    EXPECT_EQ(AutoDecPlaces(-2, std::nan(""), 0), -1);
    EXPECT_EQ(AutoDecPlaces(-2, std::numeric_limits<double>::infinity(), 0), -1);
    // e^3.75 = 42.52: at and above the bound no decimals, just below it one.
    EXPECT_EQ(AutoDecPlaces(-2, 42.6, 0), 0);
    EXPECT_EQ(AutoDecPlaces(-2, 42.4, 0), 1);
}

TEST(Format, AutomaticPrecisionOfLogarithmicScales) {
    EXPECT_EQ(AutoDecPlacesLog(-2, 1000, 1), 0);
    EXPECT_EQ(AutoDecPlacesLog(-2, 1, 1000), 0);
    EXPECT_EQ(AutoDecPlacesLog(-2, 10, 0.01), 3);
    EXPECT_EQ(AutoDecPlacesLog(-2, 200, 0.1), 2);
    EXPECT_EQ(AutoDecPlacesLog(-2, 1, 0.5), 1);
    EXPECT_EQ(AutoDecPlacesLog(-2, 10000000, 1), -1);
    EXPECT_EQ(AutoDecPlacesLog(-3, 1000, 1), -3);
    EXPECT_EQ(AutoDecPlacesLog(-3, 10, 0.01), -3);
    EXPECT_EQ(AutoDecPlacesLog(4, 10, 0.01), 4);
}

TEST(Format, LabelComposition) {
    TTickLabelStyle linear;
    EXPECT_EQ(TickLabelText(1234567890.12345, 5, 1, linear), "1234567890.123");
    EXPECT_EQ(TickLabelText(10, 3, 1, linear), "10.000"); // linear scales never trim

    TTickLabelStyle log;
    log.Logarithmic = true;
    EXPECT_EQ(TickLabelText(10, 3, 1, log), "10");
    EXPECT_EQ(TickLabelText(0.5, 3, 1, log), "0.5");
    EXPECT_EQ(TickLabelText(0.01, 3, 1, log), "0.01");
    EXPECT_EQ(TickLabelText(100, 0, 1, log), "100"); // no point: zeros stay
    EXPECT_EQ(ComposeTickLabel(" 1.0E+00", log, 1), " 1.0E+00");
    log.DecPlaces = 3;
    EXPECT_EQ(TickLabelText(10, 3, 1, log), "10.000");

    TTickLabelStyle inscript;
    inscript.ScaleInscript = "& V";
    EXPECT_EQ(TickLabelText(20, 0, 1, inscript), "20 V");
    inscript.ScaleInscript = "x=";
    EXPECT_EQ(TickLabelText(20, 0, 1, inscript), "x=20");

    TTickLabelStyle user;
    user.LabelType = ftUserText;
    user.UserTickText = "A|B|C";
    user.ScaleInscript = "x=";
    EXPECT_EQ(TickLabelText(20, 0, 2, user), "B");
}

TEST(Format, UserTextsAndInscripts) {
    EXPECT_EQ(UserTickTextItem("A|B|C", 1), "A");
    EXPECT_EQ(UserTickTextItem("A|B|C", 2), "B");
    EXPECT_EQ(UserTickTextItem("A|B|C", 3), "C");
    EXPECT_EQ(UserTickTextItem("A|B|C", 5), "C");
    EXPECT_EQ(UserTickTextItem("A|B|", 3), "");
    EXPECT_EQ(UserTickTextItem("", 1), "");
    EXPECT_EQ(UserTickTextItem("A", 4), "A");
    EXPECT_EQ(UserTickTextItem("A||C", 2), "");

    EXPECT_EQ(ApplyInscript("", "x="), "");
    EXPECT_EQ(ApplyInscript("", "&"), "");
    EXPECT_EQ(ApplyInscript("5", "&&"), "5&");
    EXPECT_EQ(ApplyInscript("20", "& V"), "20 V");
    EXPECT_EQ(ApplyInscript("20", ""), "20");
}

TEST(Format, Seconds) {
    EXPECT_EQ(FormatSeconds(3725.25, true), " 01:02:05.250");
    EXPECT_EQ(FormatSeconds(-59, false), "-00:00:59");
    EXPECT_EQ(FormatSeconds(0.5, true), " 00:00:00.500");
    EXPECT_EQ(FormatSeconds(360000, false), " 100:00:00");
    EXPECT_EQ(FormatSeconds(59.9, false), " 00:00:59");
    EXPECT_EQ(FormatSeconds(0.9996, true), " 00:00:01.000"); // milliseconds carry into the seconds
    EXPECT_EQ(FormatSeconds(3599.9999, true), " 01:00:00.000");
    EXPECT_EQ(FormatSeconds(std::nan(""), true), "Nan");
}

TEST(Format, RoundingHelpers) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-3.5), -4);
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
    EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
    EXPECT_EQ(RoundHalfEven(1e300), std::numeric_limits<long long>::max());
    EXPECT_EQ(Floor(2.5), 2);
    EXPECT_EQ(Floor(-2.5), -3);
    EXPECT_EQ(Floor(3.0), 3);
    EXPECT_EQ(Ceil(2.5), 3);
    EXPECT_EQ(Ceil(-2.5), -2);
    EXPECT_EQ(Ceil(-3.0), -3);
    EXPECT_EQ(Floor(1e20), std::numeric_limits<int>::max());
    EXPECT_EQ(MaxD(1, 2), 2);
    EXPECT_EQ(MinD(1, 2), 1);
    // -0.0 and 0.0 compare equal: maximum keeps the first, minimum keeps the first.
    EXPECT_TRUE(std::signbit(MaxD(-0.0, 0.0)));
    EXPECT_TRUE(std::signbit(MinD(-0.0, 0.0)));
    int x = 40000, y = -50000;
    ClampPixel(x, y);
    EXPECT_EQ(x, 30000);
    EXPECT_EQ(y, -30000);
}

} // namespace
