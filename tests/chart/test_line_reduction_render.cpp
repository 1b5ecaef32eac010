// The chart with its per-column reduction of line-to runs paints the same pixels as the chart drawing
// every item: random acquisitions, ranges that cut the data, logarithmic y, grid on and off, pens the
// reduction leaves to the plain path, appends between paints and lists replaced behind its back.
#include "chart/kartex.h"

#include "chart/core/colors.h"
#include "tests/chart/kartex_test_app.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

class LineReductionRender : public ::testing::Test {
protected:
    LineReductionRender() {
        k.SetBounds(0, 0, 449, 361);
        k.show();
    }

    // Paints both ways; returns the number of differing pixels.
    int Differences(bool redrawOnly = false) {
        const auto render = [&](bool fast) {
            k.SetLineReduction(fast);
            if (redrawOnly)
                k.Redraw();
            else
                k.Paint();
            return k.ChartBitmap().copy();
        };
        const QImage fast = render(true), plain = render(false);
        k.SetLineReduction(true);
        if (fast == plain) return 0;
        int n = 0;
        for (int y = 0; y < fast.height(); ++y)
            for (int x = 0; x < fast.width(); ++x)
                n += fast.pixel(x, y) != plain.pixel(x, y);
        return n;
    }

    // An acquisition as the window makes it, with the disturbances a device and a user add: among them
    // gaps of one or more non-finite samples, sometimes the very first.
    void Acquire(std::mt19937_64& rng, int n) {
        std::uniform_real_distribution<double> u(0, 1);
        std::normal_distribution<double> step(0, 1);
        k.ClearItems();
        k.SetDataColor(clBlue);
        k.SetPenStyle(psSolid);
        k.SetLineWidth(1);
        double y = 100;
        const double noise = std::pow(10.0, u(rng) * 2 - 1);
        const double gaps[] = {std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity()};
        int flat = 0, gap = u(rng) < 0.2 ? 1 + static_cast<int>(u(rng) * 3) : 0;
        for (int i = 1; i <= n; ++i) {
            const double r = u(rng);
            if (flat > 0)
                --flat;
            else if (r < 0.001)
                flat = static_cast<int>(u(rng) * 5000);
            else
                y += step(rng) * noise;
            double v = y;
            if (r > 0.997) v = (u(rng) < 0.5 ? -1 : 1) * std::pow(10.0, u(rng) * 8); // spike
            if (r > 0.9995) gap = 1 + static_cast<int>(u(rng) * u(rng) * 50);
            if (gap > 0) {
                --gap;
                v = gaps[rng() % 3];
            }
            if (u(rng) < 0.00002) k.SetDataColor(u(rng) < 0.5 ? clRed : clBlue);
            if (u(rng) < 0.00002) k.SetLineWidth(k.LineWidth() == 1 ? 2 : 1);
            if (u(rng) < 0.00002) k.SetPenStyle(k.PenStyle() == psSolid ? psDot : psSolid);
            if (i == 1)
                k.MoveToPoint(0, v);
            else
                k.LineToPoint(i, v);
        }
    }

    TKartex k;
};

TEST_F(LineReductionRender, RandomAcquisitionsPaintIdenticalPixels) {
    std::mt19937_64 rng(449361);
    std::uniform_real_distribution<double> u(0, 1);
    for (int round = 0; round < 36; ++round) {
        const int n = static_cast<int>(std::pow(10.0, 3.3 + u(rng) * 2));
        Acquire(rng, n);
        const bool logY = round % 3 == 1;
        k.SetGridStyle(round % 2 == 0 ? gsLines : gsNone);
        k.Scale1Y()->SetLogarithmic(false);
        // All of it, or a window cutting it on every side, or a deep zoom.
        const double x0 = round % 4 == 0 ? 0 : n * (u(rng) * 1.1 - 0.2);
        const double x1 = round % 4 == 0 ? n : x0 + n * std::pow(10.0, -u(rng) * 3);
        const double y0 = logY ? 0.1 : 100 - u(rng) * 200, y1 = logY ? 1000 : y0 + 10 + u(rng) * 200;
        k.SetScaleRange(1, x0, y0, x1, y1);
        if (logY) k.Scale1Y()->SetLogarithmic(true);
        EXPECT_EQ(Differences(), 0) << "round " << round << ", " << n << " items";

        // Appends after the index was built reach it: the redraw after them is still exact.
        for (int i = 0; i < 500; ++i)
            k.LineToPoint(n + 1 + i, 100 + std::sin(i * 0.3) * 80);
        EXPECT_EQ(Differences(true), 0) << "round " << round << " after appends";
    }
}

TEST_F(LineReductionRender, ReplacedListsAreIndexedAfresh) {
    std::mt19937_64 rng(5);
    Acquire(rng, 20000);
    k.SetScaleRange(1, 0, 0, 20000, 200);
    ASSERT_EQ(Differences(), 0);
    // Same count, other values: a stale index would draw the old line.
    Acquire(rng, 20000);
    EXPECT_EQ(Differences(), 0);
    // A list loaded in place of the acquisition.
    TItemArray other(30000);
    for (int i = 0; i < 30000; ++i) {
        other[static_cast<std::size_t>(i)].Kind = i == 0 ? ikMoveTo : ikLineTo;
        other[static_cast<std::size_t>(i)].X = i;
        other[static_cast<std::size_t>(i)].Y = 100 + 90 * std::sin(i / 500.0);
        other[static_cast<std::size_t>(i)].Color = clRed;
        other[static_cast<std::size_t>(i)].LineWidth = 1;
        other[static_cast<std::size_t>(i)].Layer = 1;
    }
    k.Store().AssignItems(std::move(other));
    EXPECT_EQ(Differences(), 0);
    // An emptied list.
    k.ClearItems();
    EXPECT_EQ(Differences(), 0);
}

} // namespace
