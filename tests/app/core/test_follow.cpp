#include "app/core/follow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
} // namespace

TEST(Follow, TheXRangeKeepsItsWidthAndEndsAtTheNewestSample) {
    const struct {
        ViewRange before;
        double newest;
        double low, high;
    } cases[] = {
        {{0, 100, 0, 1}, 40, 0, 100},                                        // not yet past the width: from 0
        {{0, 100, 0, 1}, 100, 0, 100},                                       // just at it
        {{0, 100, 0, 1}, 250.5, 150.5, 250.5},                               // past it: ends at the newest
        {{500, 600, 0, 1}, 30, 0, 100},                                      // a view panned away comes back
        {{0, 0.2, 0, 1}, 7.25, 7.05, 7.25},                                  // seconds on a time axis
        {{0, 100, 0, 1}, kNaN, 0, 100},                                      // nothing to follow
        {{0, 100, 0, 1}, kInf, 0, 100},        {{50, 50, 0, 1}, 80, 50, 50}, // no width
    };
    for (const auto& c : cases) {
        ViewRange v = c.before;
        FollowNewest(v, c.newest);
        EXPECT_DOUBLE_EQ(v.XLow, c.low) << c.newest;
        EXPECT_DOUBLE_EQ(v.XHigh, c.high) << c.newest;
        EXPECT_EQ(v.YLow, c.before.YLow);
    }
}

TEST(Follow, YSpansTheSamplesWithATwentiethOfMargin) {
    const struct {
        double low, high;
        bool log;
        double yl, yh;
    } cases[] = {
        {10, 30, false, 9, 31},
        {-5, -5, false, -5.25, -4.75}, // one value: a twentieth of its size
        {0, 0, false, -0.05, 0.05},    // zero: a twentieth of 1
        {1, 1000, true, 1 / std::pow(10.0, 0.15), 1000 * std::pow(10.0, 0.15)},
        {10, 10, true, 10 / std::pow(10.0, 0.05), 10 * std::pow(10.0, 0.05)}, // one decade's twentieth
        {5, 1, false, -7, 7},                                                 // low above high: y stays
        {kInf, 3, false, -7, 7},                                              // no samples in view
        {1, kNaN, false, -7, 7},
    };
    for (const auto& c : cases) {
        ViewRange v{0, 100, -7, 7};
        FitY(v, c.low, c.high, c.log);
        EXPECT_NEAR(v.YLow, c.yl, 1e-12) << c.low << " " << c.high;
        EXPECT_NEAR(v.YHigh, c.yh, 1e-12) << c.low << " " << c.high;
        EXPECT_EQ(v.XHigh, 100);
    }
}
