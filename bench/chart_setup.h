#pragma once
// The chart as the main window configures it (449 × 361, layer 1 scales, grid), for the benchmark and the
// gallery.

#include "chart/gfx/colors.h"
#include "chart/kartex.h"

#include <cstdint>
#include <random>

inline void ConfigureLikeMainWindow(TKartex& k) {
    k.SetBounds(0, 0, 449, 361);
    k.SetAllocSize(250000);
    k.SetAutoRedraw(true);
    k.SetGridStyle(gsLines);
    k.SetGridColor(clSilver);
    k.SetMouseAction(maPan);
    TFont font;
    font.Name = "MS Sans Serif";
    font.PixelHeight = 13;
    for (TScaleProps* p : {static_cast<TScaleProps*>(k.Scale1X()), static_cast<TScaleProps*>(k.Scale1Y())}) {
        p->SetVisible(true);
        p->SetMinTicks(3);
        p->SetShortTicks(true);
        p->SetDecPlaces(-2);
        p->SetFont(font);
    }
    k.Scale1X()->SetCaptionPosY(22);
    k.Scale1X()->SetCaptionAnchor(uaSclCenter);
    k.Scale1Y()->SetCaptionPosY(-16);
    k.Scale1Y()->SetCaptionAlignment(taLeftJustify);
    k.SetScaleRange(1, 0, 1, 100, 200);
}

// An acquisition of n samples as the window stores it: a move to the first value at x = 0, then line-to
// items at x = 2, 3, … with a bounded random walk.
inline void FillAcquisition(TKartex& k, int n, std::uint64_t seed = 1) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> step(0.0, 2.0);
    double v = 100;
    k.ClearItems();
    k.SetDataColor(clBlue);
    for (int i = 1; i <= n; ++i) {
        v = std::clamp(v + step(rng), 5.0, 195.0);
        if (i == 1)
            k.MoveToPoint(0, v);
        else
            k.LineToPoint(i, v);
    }
}
