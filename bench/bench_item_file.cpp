// Saving and loading an acquisition of one million items (about 104 MB) in a temporary folder.
#include "chart/core/item_file.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<TChartItem> Acquisition(int n) {
    std::vector<TChartItem> items(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        items[k].Kind = k == 0 ? ikMoveTo : ikLineTo;
        items[k].X = k == 0 ? 0.0 : k + 1.0;
        items[k].Y = (k % 1000) * 0.01;
        items[k].Color = 0x00FF0000;
        items[k].LineWidth = 1;
        items[k].Layer = 1;
    }
    return items;
}

std::string BenchFile() {
    return (std::filesystem::temp_directory_path() / "mevrant-bench-items.mvx").string();
}

void BM_SaveItems(benchmark::State& state) {
    const auto items = Acquisition(static_cast<int>(state.range(0)));
    const std::string name = BenchFile();
    for (auto _ : state)
        SaveItems(name, items);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(items.size() * kChartItemSize));
    std::filesystem::remove(name);
}

void BM_LoadItems(benchmark::State& state) {
    const std::string name = BenchFile();
    SaveItems(name, Acquisition(static_cast<int>(state.range(0))));
    std::size_t n = 0;
    for (auto _ : state) {
        auto items = LoadItems(name);
        n = items.size();
        benchmark::DoNotOptimize(items.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(n * kChartItemSize));
    std::filesystem::remove(name);
}

} // namespace

BENCHMARK(BM_SaveItems)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadItems)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
