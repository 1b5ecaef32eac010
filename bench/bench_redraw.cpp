// Redraw and full Paint of the main window's chart (449 × 361) holding 10k, 100k and 1M line-to items.
//   build/bench/bench_redraw

#include "bench/chart_setup.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <map>
#include <memory>

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

BENCHMARK(BM_Redraw)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    charts.clear();
    return 0;
}
