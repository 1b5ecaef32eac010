#pragma once
// The chart as the main window configures it, at its design size of 449 × 361 with y from 1 to 200, for
// the benchmarks and the gallery.

#include "app/main_chart.h"
#include "chart/kartex.h"

#include <cstdint>
#include <random>

inline void ConfigureLikeMainWindow(TKartex& k) {
    ConfigureMainChart(k);
    k.SetBounds(0, 0, 449, 361);
    k.SetScaleRange(1, 0, 1, 100, 200);
}

// A bounded random walk of n samples from `start` as an acquisition appends it: a move to the first
// value at x = 0, then line-to items at x = 2, 3, …
inline void AppendWalk(TItemStore& list, int n, std::uint64_t seed, double start) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> step(0.0, 2.0);
    double v = start;
    for (int i = 1; i <= n; ++i) {
        v = std::clamp(v + step(rng), 5.0, 195.0);
        if (i == 1)
            list.MoveToPoint(0, v);
        else
            list.LineToPoint(i, v);
    }
}

// An acquisition of n samples as the window stores it.
inline void FillAcquisition(TKartex& k, int n, std::uint64_t seed = 1) {
    k.ClearItems();
    k.SetDataColor(kDataColor);
    AppendWalk(k.Store(), n, seed, 100);
}

// channels series of n samples each as an acquisition of several values per line stores them: channel
// c in series c, in its colour and class, each a bounded random walk of its own.
inline void FillChannels(TKartex& k, int channels, int n, std::uint64_t seed = 1) {
    k.ClearItems();
    k.SetDataColor(kDataColor);
    k.EnsureSeries(channels);
    for (int c = 0; c < channels; ++c) {
        TItemStore& list = k.SeriesStore(c);
        list.SetDataColor(ChannelColor(c));
        list.SetClassDefault(static_cast<std::uint8_t>(c));
        list.SetAllocSize(k.AllocSize());
        AppendWalk(list, n, seed + static_cast<std::uint64_t>(c), 20 + 20 * c);
    }
}
