#include "chart/core/grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

std::vector<double> Rounded(std::vector<double> v) {
    for (double& x : v)
        x = std::round(x * 1e9) / 1e9;
    return v;
}

TEST(GridValues, FollowTheScaleTicksButNotTheLastBound) {
    TGridAxis a{0, 100, false, 0, {0, 20, 40, 60, 80, 100}};
    EXPECT_EQ(GridValues(a), (std::vector<double>{0, 20, 40, 60, 80}));
    a.RangeLow = 100; // a mirrored axis runs over the same ordered range
    a.RangeHigh = 0;
    EXPECT_EQ(GridValues(a), (std::vector<double>{0, 20, 40, 60, 80}));
    // Without ticks only the low bound.
    EXPECT_EQ(GridValues(TGridAxis{3, 7, false, 0, {}}), (std::vector<double>{3}));
}

TEST(GridValues, FixedSpacingStartsAtAMultiple) {
    EXPECT_EQ(Rounded(GridValues(TGridAxis{-3, 10, false, 4, {}})), (std::vector<double>{0, 4, 8}));
    EXPECT_EQ(Rounded(GridValues(TGridAxis{1, 1000, true, 300, {}})), (std::vector<double>{300, 600, 900}));
}

TEST(GridValues, LogarithmicDecadeSequences) {
    EXPECT_EQ(Rounded(GridValues(TGridAxis{1, 1000, true, -2, {}})),
              (std::vector<double>{2, 5, 10, 20, 50, 100, 200, 500}));
    EXPECT_EQ(Rounded(GridValues(TGridAxis{0.5, 1000, true, -1, {}})), (std::vector<double>{1, 10, 100}));
    EXPECT_EQ(Rounded(GridValues(TGridAxis{3, 30, true, -3, {}})),
              (std::vector<double>{3, 4, 5, 6, 7, 8, 9, 10, 20}));
    EXPECT_EQ(Rounded(GridValues(TGridAxis{1, 3, true, -2.5, {}})), (std::vector<double>{1, 2}));
}

TEST(GridValues, NeverLoopsForeverOrOverflows) {
    // A spacing that cannot advance, a zero log bound, NaN and infinite bounds.
    EXPECT_EQ(GridValues(TGridAxis{1e20, 2e20, false, 1, {}}).size(), 1000u);
    EXPECT_LE(GridValues(TGridAxis{0, 10, true, -1, {}}).size(), 1000u);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(GridValues(TGridAxis{nan, 1, false, 0.1, {}}).empty());
    EXPECT_EQ(GridValues(TGridAxis{0, 1e300, false, 1e-300, {}}).size(), 1000u);
}

} // namespace
