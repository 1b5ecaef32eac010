// The window's chart (449 × 361) holding 1M and 10M samples of an acquisition: Redraw after appending
// one sample (and with eight channels of 1M each after one line), a full Paint, one pan step and one
// zoom step; each with the per-column reduction of
// line-to runs (fast) and with every item drawn (plain), in the same run.
//   build/bench/bench_chart_speed [--benchmark_filter=…]

#include "bench/bench_main.h"
#include "bench/chart_setup.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

// One chart at a time (10M items take a gigabyte); it goes before the application does.
std::unique_ptr<TKartex> chart;
int chartSize = 0;

TKartex& ChartWith(int n) {
    if (chartSize != n) {
        chart.reset();
        chart = std::make_unique<TKartex>();
        chart->show();
        ConfigureLikeMainWindow(*chart);
        FillAcquisition(*chart, n);
        chartSize = n;
    }
    chart->SetScaleRange(1, 0, 1, n, 200);
    return *chart;
}

void Prepare(benchmark::State& state, TKartex& k) {
    k.SetLineReduction(state.range(1) != 0);
    k.Paint();
    state.SetLabel(state.range(1) != 0 ? "fast" : "plain");
}

void BM_AppendRedraw(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TKartex& k = ChartWith(n);
    Prepare(state, k);
    double x = k.ItemCount() + 1;
    for (auto _ : state) {
        k.LineToPoint(x, 100 + static_cast<int>(x) % 50);
        x += 1;
        k.Redraw();
    }
}

// How the eight channels are drawn: all on the left axis; four on the right y axis (its scale, and
// two mappings in the data pass); channels 2 … 8 each in a lane of its own (eight bands, each with its
// scale and grid, each series clipped to its band); or the seven against channel 1 (XY, every point
// paired and drawn, no reduction, both axes fitted to the pairs).
enum class Arrangement { Left, Right, Lanes, XY };

constexpr int kChannels = 8;

// Eight channels of n samples each in an arrangement, x over all of them.
void Arrange(TKartex& k, Arrangement arrangement, int n) {
    k.show();
    ConfigureLikeMainWindow(k);
    FillChannels(k, kChannels, n);
    switch (arrangement) {
    case Arrangement::Left:
        break;
    case Arrangement::Right:
        SetRightAxis(k, true);
        for (int c = kChannels / 2; c < kChannels; ++c)
            k.SeriesStore(c).SetLayer(kRightAxisLayer);
        break;
    case Arrangement::Lanes:
        for (int c = 1; c < kChannels; ++c)
            k.SeriesStore(c).SetLayer(LaneLayer(c));
        ArrangeLanes(k);
        break;
    case Arrangement::XY:
        k.SetXYView(0);
        break;
    }
    k.SetScaleRange(1, 0, 1, n, 200);
    if (arrangement == Arrangement::Right || arrangement == Arrangement::Lanes)
        for (int layer = kRightAxisLayer; layer <= LaneLayer(kChannels - 1); ++layer)
            k.SetLayerRange(layer, 0, 0, n, 250);
    if (arrangement == Arrangement::XY) FitXY(k, true, true); // both axes over the pairs, as Mitlaufen does
}

// Redraw after one line (a sample on every channel).
void ChannelsAppendRedraw(benchmark::State& state, Arrangement arrangement) {
    const int n = static_cast<int>(state.range(0));
    chart.reset();
    chartSize = 0;
    TKartex k;
    Arrange(k, arrangement, n);
    Prepare(state, k);
    // The lists grow by a step before the first iteration (as the single list did when it was filled).
    double x = n + 1;
    for (int c = 0; c < kChannels; ++c)
        k.SeriesStore(c).LineToPoint(x, 20 + 20 * c);
    x += 1;
    for (auto _ : state) {
        for (int c = 0; c < kChannels; ++c)
            k.SeriesStore(c).LineToPoint(x, 20 + 20 * c + static_cast<int>(x) % 10);
        x += 1;
        k.Redraw();
    }
}

void BM_ChannelsAppendRedraw(benchmark::State& state) {
    ChannelsAppendRedraw(state, Arrangement::Left);
}

// Arguments: n, the line path (as every benchmark here), the arrangement 0 right axis, 1 lanes, 2 XY.
void BM_ChannelsArrangedAppendRedraw(benchmark::State& state) {
    constexpr Arrangement kArrangements[] = {Arrangement::Right, Arrangement::Lanes, Arrangement::XY};
    ChannelsAppendRedraw(state, kArrangements[state.range(2)]);
}

// A pan step (as BM_PanStep) over eight channels of n / 8 samples each, 0 in lanes, 1 in XY: the pairs
// move as a whole, so the XY view walks every pair again.
void BM_ChannelsArrangedPanStep(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0)) / kChannels;
    chart.reset();
    chartSize = 0;
    TKartex k;
    Arrange(k, state.range(2) == 0 ? Arrangement::Lanes : Arrangement::XY, n);
    Prepare(state, k);
    const double x0 = k.Scale1X()->RangeLow(), x1 = k.Scale1X()->RangeHigh();
    const double y0 = k.Scale1Y()->RangeLow(), y1 = k.Scale1Y()->RangeHigh();
    const double d = (x1 - x0) / 380.0 * 5;
    int i = 0;
    for (auto _ : state) {
        const double s = (i++ % 2) * d;
        k.SetScaleRange(1, x0 + s, y0, x1 + s, y1);
    }
}

void BM_Paint(benchmark::State& state) {
    TKartex& k = ChartWith(static_cast<int>(state.range(0)));
    Prepare(state, k);
    for (auto _ : state)
        k.Paint();
}

// A pan step moves the x range by 5 pixels' worth, back and forth; the chart repaints in the setter.
void BM_PanStep(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TKartex& k = ChartWith(n);
    Prepare(state, k);
    const double d = n / 380.0 * 5;
    int i = 0;
    for (auto _ : state) {
        const double s = (i++ % 2) * d;
        k.SetScaleRange(1, s, 1, n + s, 200);
    }
}

// A zoom step shrinks the visible x range by a few percent around its middle, then widens it again.
void BM_ZoomStep(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TKartex& k = ChartWith(n);
    Prepare(state, k);
    int i = 0;
    for (auto _ : state) {
        const double f = 0.02 * (1 + i++ % 8);
        k.SetScaleRange(1, n * f, 1 + 10 * f, n * (1 - f), 200 - 10 * f);
    }
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (int n : {1'000'000, 10'000'000})
        for (int fast : {1, 0})
            b->Args({n, fast});
    b->Unit(benchmark::kMillisecond)->MinTime(0.5);
}

BENCHMARK(BM_AppendRedraw)->Apply(Sizes);
BENCHMARK(BM_ChannelsAppendRedraw)
    ->Args({1'000'000, 1})
    ->Args({1'000'000, 0})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);
BENCHMARK(BM_ChannelsArrangedAppendRedraw)
    ->Args({1'000'000, 1, 0})
    ->Args({1'000'000, 1, 1})
    ->Args({1'000'000, 1, 2})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);
BENCHMARK(BM_ChannelsArrangedPanStep)
    ->Args({10'000'000, 1, 0})
    ->Args({10'000'000, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);
BENCHMARK(BM_Paint)->Apply(Sizes);
BENCHMARK(BM_PanStep)->Apply(Sizes);
BENCHMARK(BM_ZoomStep)->Apply(Sizes);

} // namespace

int main(int argc, char** argv) {
    return RunChartBenchmarks(argc, argv, [] { chart.reset(); });
}
