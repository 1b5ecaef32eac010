// Redraw and full Paint of the main window's chart (449 × 361) holding 10k, 100k and 1M line-to items,
// and Paint of hostile files: 1M plot-sized shapes of one kind each.
//   build/bench/bench_redraw
//   build/bench/bench_redraw --benchmark_filter=Hostile

#include "bench/bench_main.h"
#include "bench/chart_setup.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>

namespace {

// Gone before the application is: a widget must not outlive it.
std::map<int, std::unique_ptr<TKartex>> charts;

TKartex& ChartWith(int n) {
    auto& k = charts[n];
    if (!k) {
        k = std::make_unique<TKartex>();
        k->show();
        ConfigureLikeMainWindow(*k);
        FillAcquisition(*k, n);
        k->SetScaleRange(1, 0, 1, n, 200);
    }
    return *k;
}

void BM_Redraw(benchmark::State& state) {
    TKartex& k = ChartWith(static_cast<int>(state.range(0)));
    for (auto _ : state)
        k.Redraw();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Paint(benchmark::State& state) {
    TKartex& k = ChartWith(static_cast<int>(state.range(0)));
    for (auto _ : state)
        k.Paint();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Hostile files: 1M shapes filling the plot (0 … 100 × 1 … 200). The same one over and over, or nested,
// each a little smaller than the one before so that none covers another; the random kinds put each one a
// little off and smaller, so that few are covered wholly by later ones (and outlines cover nothing).
enum Hostile {
    kFilledEllipses,
    kNestedEllipses,
    kWideHollowEllipses,
    kThinHollowEllipses,
    kFilledBoxes,
    kWideHollowRectangles,
    kNestedRectangles,
    kRandomFilledEllipses,
    kRandomWideHollowEllipses,
    kRandomThinHollowEllipses
};

std::map<std::pair<int, int>, std::unique_ptr<TKartex>> hostile;

TKartex& HostileChart(int kind, int n) {
    auto& k = hostile[{kind, n}];
    if (!k) {
        k = std::make_unique<TKartex>();
        k->show();
        ConfigureLikeMainWindow(*k);
        std::mt19937_64 rng(static_cast<std::uint64_t>(kind));
        std::uniform_real_distribution<double> u(0, 1);
        const bool nested = kind == kNestedEllipses || kind == kNestedRectangles;
        const bool random = kind >= kRandomFilledEllipses;
        const bool ellipse = kind <= kThinHollowEllipses || random;
        const bool wide =
            kind == kWideHollowEllipses || kind == kWideHollowRectangles || kind == kRandomWideHollowEllipses;
        const bool hollow = wide || kind == kThinHollowEllipses || kind == kRandomThinHollowEllipses;
        TItemArray items(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            TChartItem& it = items[static_cast<std::size_t>(i)];
            const double sx = nested ? 1.0 - static_cast<double>(i) / n : random ? 0.5 + u(rng) * 0.5 : 1.0;
            const double sy = random ? 0.5 + u(rng) * 0.5 : sx;
            const double cx = random ? 40 + u(rng) * 20 : 50, cy = random ? 80 + u(rng) * 40 : 100.5;
            it.Kind = ellipse ? ikEllipse : kind == kFilledBoxes ? ikBox : ikRectangle;
            it.X = ellipse ? cx : cx - 50 * sx;
            it.Y = ellipse ? cy : cy - 99.5 * sy;
            it.X2 = ellipse ? 50 * sx : cx + 50 * sx;
            it.Y2 = ellipse ? 99.5 * sy : cy + 99.5 * sy;
            it.Color = i % 2 ? clBlue : clRed;
            it.FillColor = i % 3 ? clSilver : clYellow;
            it.LineWidth = wide ? 5 : 1;
            it.Hollow = hollow;
            it.Layer = 1;
        }
        k->Store().AssignItems(std::move(items));
    }
    return *k;
}

void BM_PaintHostile(benchmark::State& state) {
    TKartex& k = HostileChart(static_cast<int>(state.range(0)), static_cast<int>(state.range(2)));
    k.SetSkipHiddenItems(state.range(1) != 0);
    for (auto _ : state)
        k.Paint();
    state.SetItemsProcessed(state.iterations() * state.range(2));
}

BENCHMARK(BM_Redraw)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
// Args: the hostile kind, skipping hidden items (1) or drawing all (0), the item count. Drawing all of a
// million plot-sized fills takes minutes: the plain figures are taken at 10k items.
BENCHMARK(BM_PaintHostile)
    ->ArgNames({"kind", "skip", "n"})
    ->ArgsProduct({{kFilledEllipses, kNestedEllipses, kWideHollowEllipses, kThinHollowEllipses, kFilledBoxes,
                    kWideHollowRectangles, kNestedRectangles, kRandomFilledEllipses,
                    kRandomWideHollowEllipses, kRandomThinHollowEllipses},
                   {1},
                   {1000000}})
    ->ArgsProduct({{kFilledEllipses, kNestedEllipses, kWideHollowEllipses, kRandomFilledEllipses,
                    kRandomWideHollowEllipses, kRandomThinHollowEllipses},
                   {0, 1},
                   {10000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    return RunChartBenchmarks(argc, argv, [] {
        charts.clear();
        hostile.clear();
    });
}
