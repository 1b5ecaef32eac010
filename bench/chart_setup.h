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

// An acquisition of n samples as the window stores it: a move to the first value at x = 0, then line-to
// items at x = 2, 3, … with a bounded random walk.
inline void FillAcquisition(TKartex& k, int n, std::uint64_t seed = 1) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> step(0.0, 2.0);
    double v = 100;
    k.ClearItems();
    k.SetDataColor(kDataColor);
    for (int i = 1; i <= n; ++i) {
        v = std::clamp(v + step(rng), 5.0, 195.0);
        if (i == 1)
            k.MoveToPoint(0, v);
        else
            k.LineToPoint(i, v);
    }
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
        std::mt19937_64 rng(seed + static_cast<std::uint64_t>(c));
        std::normal_distribution<double> step(0.0, 2.0);
        double v = 20 + 20 * c;
        for (int i = 1; i <= n; ++i) {
            v = std::clamp(v + step(rng), 5.0, 195.0);
            if (i == 1)
                list.MoveToPoint(0, v);
            else
                list.LineToPoint(i, v);
        }
    }
}
