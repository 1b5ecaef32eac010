// The per-column reduction of line-to runs draws exactly the pixels of the full polyline, and the run
// index built by appending in pieces answers like one built at once and like a brute-force scan.
#include "chart/core/line_decimator.h"

#include "chart/gfx/canvas.h"
#include "tests/chart/gui_app.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr TColor kBlue = 0xFF0000;

TChartItem LineTo(double x, double y, TColor color = kBlue) {
    return MakeItem(ikLineTo, x, y, 0, 0, color);
}

// Random acquisitions of the kinds that stress the reduction.
std::vector<TChartItem> Acquisition(std::mt19937_64& rng, int n, bool monotone) {
    std::uniform_real_distribution<double> u(0, 1);
    std::normal_distribution<double> step(0, 1);
    std::vector<TChartItem> items;
    double y = 50, x = 0;
    const double dx = std::pow(10.0, u(rng) * 5 - 3); // 0.001 … 100 world units per sample
    const double noise = std::pow(10.0, u(rng) * 3 - 1);
    int flat = 0, gap = 0;
    for (int i = 0; i < n; ++i) {
        x = monotone ? x + dx * (u(rng) < 0.05 ? 0 : 1) : x + dx * (u(rng) - 0.3) * 3;
        if (flat > 0) {
            --flat;
        } else if (u(rng) < 0.002) {
            flat = static_cast<int>(u(rng) * 2000);
        } else {
            y += step(rng) * noise;
        }
        double v = y;
        const double r = u(rng);
        if (r < 0.003) v = (u(rng) < 0.5 ? -1 : 1) * std::pow(10.0, u(rng) * 12); // spike
        if (r > 0.9995) v = u(rng) < 0.5 ? 0.0 : 1e-200;                          // log floor
        if (gap > 0) {
            --gap;
            items.push_back(LineTo(u(rng) < 0.5 ? kNaN : x, kNaN));
            continue;
        }
        if (u(rng) < 0.001) gap = static_cast<int>(u(rng) * 300);
        items.push_back(LineTo(x, v));
    }
    return items;
}

LayerTransform Transform(double x0, double x1, double y0, double y1, bool logY) {
    TPlotGeometry g;
    g.Width = 449;
    g.Height = 361;
    g.LRim = 50;
    g.RRim = 20;
    g.TRim = 20;
    g.BRim = 40;
    return LayerTransform::Calc(g, {x0, x1, false}, {y0, y1, logY});
}

QImage Draw(const std::vector<TDecimatedPoint>& path, TDecimatedPoint start, TDecimatedPoint* end,
            int width = 380) {
    Canvas c(width, 302);
    c.SetBrushColor(0xFFFFFF);
    c.SetPenColor(0xFFFFFF);
    c.Rectangle(0, 0, width, 302);
    c.SetPenColor(kBlue);
    c.MoveTo(start.X, start.Y);
    for (const TDecimatedPoint& p : path)
        c.LineTo(p.X, p.Y);
    *end = {c.PenPos().X, c.PenPos().Y};
    return c.Image().copy();
}

int DifferingPixels(const QImage& a, const QImage& b) {
    if (a == b) return 0;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

class LineDecimator : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TestGuiApp(); }
};

TEST_F(LineDecimator, ReducedRunsSetTheSamePixelsAsEveryPoint) {
    std::mt19937_64 rng(20261208);
    std::uniform_real_distribution<double> u(0, 1);
    int pyramidCases = 0;
    for (int round = 0; round < 240; ++round) {
        const bool monotone = round % 4 != 3;
        const int n = static_cast<int>(std::pow(10.0, 1 + u(rng) * 4));
        std::vector<TChartItem> items = Acquisition(rng, n, monotone);
        // Colour changes, other kinds and skipped items split or pass through runs.
        if (round % 5 == 0 && n > 10) items[n / 2].Color = 0x0000FF;
        TLineRunIndex index;
        index.Append(items.data(), static_cast<int>(items.size()));

        double xmin = 0, xmax = 1, ymin = 1e300, ymax = -1e300;
        for (const TChartItem& it : items)
            if (std::isfinite(it.X) && std::isfinite(it.Y)) {
                xmax = std::max(xmax, it.X);
                xmin = std::min(xmin, it.X);
                ymin = std::min(ymin, std::max(it.Y, -1e4));
                ymax = std::max(ymax, std::min(it.Y, 1e4));
            }
        // Ranges that show all, cut the data on every side, or zoom deep into it; some reversed.
        const double w = xmax - xmin, h = std::max(ymax - ymin, 1.0);
        const double a = xmin + w * (u(rng) * 1.2 - 0.3), b = a + w * std::pow(10.0, -u(rng) * 3);
        const double c = ymin + h * (u(rng) * 0.6 - 0.2), d = c + h * (0.1 + u(rng));
        const bool logY = round % 6 == 1;
        const bool reversed = round % 11 == 5;
        const LayerTransform t =
            logY ? Transform(reversed ? b : a, reversed ? a : b, 0.1, std::max(d, 1.0), true)
                 : Transform(reversed ? b : a, reversed ? a : b, c, d, false);
        TLineTarget target{&t, 30000, -50, -20, 380};

        for (const TLineRun& run : index.Runs()) {
            TDecimatedPoint start{static_cast<int>(u(rng) * 380), static_cast<int>(u(rng) * 302)};
            std::vector<TDecimatedPoint> full;
            for (int i = run.Begin; i < run.End; ++i)
                if (IsLineMember(items[i]))
                    full.push_back({std::clamp(t.XToPixel(items[i].X), -30000, 30000) - 50,
                                    std::clamp(t.YToPixel(items[i].Y), -30000, 30000) - 20});
            TDecimatedPoint endFull, endScan, endPyr;
            const QImage plain = Draw(full, start, &endFull);

            std::vector<TDecimatedPoint> scan;
            DecimateRunScan(items.data(), run, target, scan);
            EXPECT_EQ(DifferingPixels(plain, Draw(scan, start, &endScan)), 0) << "scan, round " << round;
            EXPECT_EQ(endScan, endFull);
            if (PyramidApplies(run, target)) {
                ++pyramidCases;
                std::vector<TDecimatedPoint> pyr;
                DecimateRunPyramid(items.data(), index, run, target, pyr);
                EXPECT_EQ(DifferingPixels(plain, Draw(pyr, start, &endPyr)), 0) << "pyramid, round " << round;
                EXPECT_EQ(endPyr, endFull);
                EXPECT_LE(pyr.size(), 4u * 380 + 8);
            }
        }
    }
    EXPECT_GT(pyramidCases, 100);
}

// Every sequence of up to six points on four pixels of one column, with and without a point in the next
// column after it: the cases where the end pixel of the column is or is not drawn.
TEST_F(LineDecimator, EveryShortColumnIsExact) {
    const LayerTransform t = Transform(0, 329, 0, 301, false); // one world unit per pixel
    TLineTarget target{&t, 30000, -50, -20, 380};
    for (int len = 1; len <= 6; ++len) {
        int combos = 1;
        for (int i = 0; i < len; ++i)
            combos *= 4;
        for (int code = 0; code < combos; ++code)
            for (int tail = 0; tail < 2; ++tail) {
                std::vector<TChartItem> items;
                for (int i = 0, c = code; i < len; ++i, c /= 4)
                    items.push_back(LineTo(20, 100 + c % 4));
                if (tail) items.push_back(LineTo(21, 150));
                TLineRunIndex index;
                index.Append(items.data(), static_cast<int>(items.size()));
                ASSERT_EQ(index.Runs().size(), 1u);
                std::vector<TDecimatedPoint> full, scan, pyr;
                for (const TChartItem& it : items)
                    full.push_back({t.XToPixel(it.X) - 50, t.YToPixel(it.Y) - 20});
                DecimateRunScan(items.data(), index.Runs()[0], target, scan);
                DecimateRunPyramid(items.data(), index, index.Runs()[0], target, pyr);
                TDecimatedPoint e1, e2, e3;
                const TDecimatedPoint start{0, 0};
                const QImage plain = Draw(full, start, &e1, 32);
                EXPECT_EQ(DifferingPixels(plain, Draw(scan, start, &e2, 32)), 0)
                    << len << " " << code << " " << tail;
                EXPECT_EQ(DifferingPixels(plain, Draw(pyr, start, &e3, 32)), 0)
                    << len << " " << code << " " << tail;
                EXPECT_EQ(e2, e1);
                EXPECT_EQ(e3, e1);
            }
    }
}

TEST_F(LineDecimator, RunsBreakWhereThePenChangesOrTheLineAndPassOverSkippedItems) {
    std::vector<TChartItem> items;
    items.push_back(LineTo(0, 1));
    items.push_back(LineTo(1, 2));
    TChartItem lostMark = LineTo(kNaN, 3);
    lostMark.Kind = ikMark; // skipped: stays inside the run
    items.push_back(lostMark);
    TChartItem none{};
    items.push_back(none); // a kind that draws nothing: stays inside
    items.push_back(LineTo(2, 1));
    items.push_back(LineTo(3, 1, 0x0000FF)); // another colour: a new run
    TChartItem dashed = LineTo(4, 1, 0x0000FF);
    dashed.PenStyle = psDash; // not reproduced by the reduction: no run
    items.push_back(dashed);
    TChartItem wide = LineTo(5, 1, 0x0000FF);
    wide.LineWidth = 2;
    items.push_back(wide);
    items.push_back(LineTo(6, 1, 0x0000FF));
    items.push_back(LineTo(5, 2, 0x0000FF)); // x goes back
    TChartItem move{};
    move.Kind = ikMoveTo;
    move.X = 7;
    move.Y = -3;
    items.push_back(move);
    items.push_back(LineTo(8, 1, 0x0000FF));
    items.push_back(LineTo(9, kNaN, 0x0000FF)); // a line break: ends the run
    items.push_back(LineTo(10, 1, 0x0000FF));

    TLineRunIndex index;
    index.Append(items.data(), static_cast<int>(items.size()));
    const auto& runs = index.Runs();
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[0].Begin, 0);
    EXPECT_EQ(runs[0].End, 5);
    EXPECT_EQ(runs[0].LastMember, 4);
    EXPECT_EQ(runs[1].Begin, 5);
    EXPECT_EQ(runs[1].End, 6);
    EXPECT_EQ(runs[2].Begin, 8);
    EXPECT_EQ(runs[2].End, 10);
    EXPECT_FALSE(runs[2].MonotoneX);
    EXPECT_TRUE(runs[0].MonotoneX);
    EXPECT_EQ(runs[3].Begin, 11);
    EXPECT_EQ(runs[3].End, 12);
    EXPECT_EQ(runs[4].Begin, 13);
    EXPECT_EQ(index.FirstRunFrom(6), 2u);
    EXPECT_EQ(index.FirstRunFrom(12), 4u);
    // The pen move is a sample of the line, though a member of no run.
    const TYRange around = index.YRangeOf(items.data(), 9, 12);
    EXPECT_EQ(around.Min, -3);
    EXPECT_EQ(around.Count, 3);
}

TEST_F(LineDecimator, AppendingInPiecesEqualsIndexingAtOnceAndReducingAfresh) {
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<int> pick(0, 4999);
    std::vector<TChartItem> items = Acquisition(rng, 5000, true);
    TLineRunIndex whole, pieces;
    whole.Append(items.data(), 5000);
    // Reductions kept between appends give what a reduction afresh gives: for a view of all, one the
    // data runs out of on the right, and one the kept reductions switch to and from.
    const LayerTransform views[] = {Transform(0, 5000, -50, 150, false), Transform(0, 2500, -50, 150, false),
                                    Transform(1000, 1800, 0, 100, false)};
    std::vector<TDecimationCache> kept[2];
    for (int n = 0, step = 0; n < 5000; ++step) {
        n = std::min(5000, n + 1 + pick(rng) % 700);
        pieces.Append(items.data(), n);
        for (int v = 0; v < 2; ++v) {
            const TLineTarget target{&views[v == 1 && step % 3 == 2 ? 2 : v], 30000, -50, -20, 380};
            kept[v].resize(pieces.Runs().size());
            for (std::size_t r = 0; r < pieces.Runs().size(); ++r) {
                const TLineRun& run = pieces.Runs()[r];
                if (run.End > n || !PyramidApplies(run, target)) continue;
                std::vector<TDecimatedPoint> fresh;
                DecimateRunPyramid(items.data(), pieces, run, target, fresh);
                ASSERT_EQ(DecimateRunCached(items.data(), pieces, run, target, kept[v][r]), fresh)
                    << "view " << v << ", run " << r << ", " << n << " items";
            }
        }
    }
    ASSERT_EQ(whole.Runs().size(), pieces.Runs().size());
    for (std::size_t r = 0; r < whole.Runs().size(); ++r) {
        EXPECT_EQ(whole.Runs()[r].Begin, pieces.Runs()[r].Begin);
        EXPECT_EQ(whole.Runs()[r].End, pieces.Runs()[r].End);
    }
    for (int q = 0; q < 400; ++q) {
        int lo = pick(rng), hi = pick(rng);
        if (lo > hi) std::swap(lo, hi);
        TYRange brute;
        for (int i = lo; i < hi; ++i)
            if (IsLinePoint(items[i])) brute.Add(items[i].Y);
        for (const TLineRunIndex* idx : {&whole, &pieces}) {
            const TYRange r = idx->YRangeOf(items.data(), lo, hi);
            EXPECT_EQ(r.Min, brute.Min);
            EXPECT_EQ(r.Max, brute.Max);
            EXPECT_EQ(r.MinAbove, brute.MinAbove);
            EXPECT_EQ(r.Count, brute.Count);
            EXPECT_NEAR(r.Sum, brute.Sum, 1e-9 * (1 + std::fabs(brute.Sum)));
        }
        // The last member below a threshold, found through the pyramid and by walking back.
        const double limit = items[static_cast<std::size_t>(pick(rng))].Y;
        int expected = -1;
        for (int i = hi - 1; i >= lo && expected < 0; --i)
            if (IsLinePoint(items[i]) && items[i].Y < limit) expected = i;
        const int found = pieces.LastDiffering(
            items.data(), lo, hi, [&](double y) { return y < limit; },
            [&](const TYRange& r) { return r.Min < limit; });
        EXPECT_EQ(found, expected);
    }
}

} // namespace
