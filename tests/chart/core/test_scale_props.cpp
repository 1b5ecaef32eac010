#include "chart/core/scale_props.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Counted {
    TScalePropsHoriz p;
    int changes = 0;
    Counted() {
        p.OnChange = [this](TScaleProps&) { ++changes; };
        p.SetLoading(false);
        changes = 0;
    }
};

TEST(ScaleProps, Defaults) {
    TScalePropsVert v;
    EXPECT_EQ(v.RangeLow(), 0);
    EXPECT_EQ(v.RangeHigh(), 1);
    EXPECT_EQ(v.MinRange(), 1e-10);
    EXPECT_EQ(v.DecPlaces(), -2);
    EXPECT_EQ(v.MinTicks(), 3);
    EXPECT_EQ(v.LabelType(), ftNum);
    EXPECT_EQ(v.CaptionAlignment(), taCenter);
    EXPECT_TRUE(v.ShortTicks());
    EXPECT_FALSE(v.Visible());
    EXPECT_EQ(v.ScaleType(), sctXT);
    EXPECT_EQ(v.ScaleLocation(), slLeft);
    EXPECT_TRUE(v.Loading());
    EXPECT_EQ(v.DateFormat().DateOrder(), doDDMMYY);
    EXPECT_EQ(v.DateFormat().DateSeparator(), '-');
}

TEST(ScaleProps, RangeSettersKeepTheMinimumWidth) {
    Counted c;
    c.p.SetRangeLow(1 - 1e-11); // closer to RangeHigh than MinRange
    EXPECT_EQ(c.p.RangeLow(), 1 - 1e-11);
    EXPECT_EQ(c.p.RangeHigh(), 1 - 1e-11 + 1e-10);
    c.p.SetRangeHigh(5);
    c.p.SetRangeHigh(c.p.RangeLow());
    EXPECT_EQ(c.p.RangeLow(), c.p.RangeHigh() - 1e-10);
    c.p.SetRangeLow(10); // inverted ranges are accepted
    EXPECT_EQ(c.p.RangeLow(), 10);
    EXPECT_EQ(c.changes, 4);
}

TEST(ScaleProps, MinRangeWidensAboutTheCentre) {
    Counted c;
    c.p.SetMinRange(10);
    EXPECT_DOUBLE_EQ(c.p.RangeLow(), -4.5);
    EXPECT_DOUBLE_EQ(c.p.RangeHigh(), 5.5);
    EXPECT_EQ(c.changes, 1);
    c.p.SetMinRange(2); // wide enough already: stored, no notification
    EXPECT_EQ(c.p.MinRange(), 2);
    c.p.SetMinRange(1e-101); // ignored
    c.p.SetMinRange(std::nan(""));
    EXPECT_EQ(c.p.MinRange(), 2);
    EXPECT_EQ(c.changes, 1);
}

TEST(ScaleProps, LogarithmicNeedsPositiveBounds) {
    Counted c;
    c.p.SetLogarithmic(true); // RangeLow 0
    EXPECT_FALSE(c.p.Logarithmic());
    EXPECT_EQ(c.changes, 1); // notified all the same
    c.p.SetRangeLow(1);
    c.p.SetRangeHigh(1000);
    c.p.SetLogarithmic(true);
    EXPECT_TRUE(c.p.Logarithmic());
    c.p.SetRangeLow(1e-101); // ignored on a logarithmic scale
    c.p.SetRangeHigh(-5);
    EXPECT_EQ(c.p.RangeLow(), 1);
    EXPECT_EQ(c.p.RangeHigh(), 1000);
    c.p.SetLabelType(ftDateTime); // date/time labels switch it off
    EXPECT_FALSE(c.p.Logarithmic());
    c.p.SetLogarithmic(true);
    EXPECT_FALSE(c.p.Logarithmic());

    TScalePropsVert loading; // while loading the value is stored unchecked
    loading.SetLogarithmic(true);
    EXPECT_TRUE(loading.Logarithmic());
}

TEST(ScaleProps, ClampsAndDependentSettings) {
    Counted c;
    c.p.SetDecPlaces(20);
    EXPECT_EQ(c.p.DecPlaces(), 12);
    c.p.SetDecPlaces(-9);
    EXPECT_EQ(c.p.DecPlaces(), -3);
    c.p.SetLabelType(ftTime);
    EXPECT_EQ(c.p.DecPlaces(), 4);
    c.p.SetMinTicks(50); // not clamped here; the scale control clamps
    EXPECT_EQ(c.p.MinTicks(), 50);
    c.p.SetScaleLocation(slTop);
    EXPECT_EQ(c.p.ScaleType(), sctXB);
    c.p.SetScaleLocation(slBottom);
    EXPECT_EQ(c.p.ScaleType(), sctXT);
    TScalePropsVert v;
    v.SetScaleLocation(slRight);
    EXPECT_EQ(v.ScaleType(), sctYL);
    v.SetScaleLocation(slLeft);
    EXPECT_EQ(v.ScaleType(), sctYR);
    EXPECT_EQ(c.changes, 6);
}

TEST(ScaleProps, DateFormatNotifications) {
    TDTLabel d;
    int n = 0;
    d.OnChange = [&](TDTLabel&) { ++n; };
    d.SetDateSeparator('-'); // unchanged: silent
    d.SetYearLength(ylYYYY);
    d.SetMonthName(true);
    d.SetDateForTime(dtOnePerDay);
    EXPECT_EQ(n, 0);
    d.SetTimeFormat(tfHHMMSS); // always notifies
    d.SetDateOrder(doDDMMYY);
    EXPECT_EQ(n, 2);
    d.SetDateSeparator('.');
    EXPECT_EQ(n, 3);

    Counted c;
    int inner = 0;
    c.p.DateFormat().OnChange = [&](TDTLabel&) { ++inner; };
    c.p.SetDateFormat(d);
    EXPECT_EQ(c.p.DateFormat().DateSeparator(), '.');
    EXPECT_EQ(c.changes, 1);
    EXPECT_EQ(inner, 0);
    c.p.DateFormat().SetYearLength(ylYY); // the hook survived the copy
    EXPECT_EQ(inner, 1);
}

} // namespace
