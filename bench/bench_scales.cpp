// Drawing the two layer-1 scales of the main window's chart (449 x 361, rims 50/20/20/40) into the
// chart's off-screen bitmap, as every full paint does; and the tick computation alone.

#include "chart/core/ticks.h"
#include "chart/gfx/canvas.h"
#include "chart/scale.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

constexpr int kW = 449, kH = 361, kLRim = 50, kRRim = 20, kTRim = 20, kBRim = 40;

void Setup(TScale& x, TScale& y, Canvas& bitmap, int minTicks, bool logY) {
    TFont f;
    f.PixelHeight = 13;
    for (TScale* s : {&x, &y}) {
        s->SetPaintSuspended(true);
        s->SetEmbedded(true);
        s->SetTransparent(true);
        s->SetFrameStyle(fsNone);
        s->SetBounds(0, 0, kW, kH);
        s->SetTargetCanvas(&bitmap, 0, 0);
        s->SetFont(f);
        s->SetMinTicks(minTicks);
    }
    x.SetScaleType(sctXT);
    x.SetMarginTop(kH - kBRim);
    x.SetMarginLeft(kLRim);
    x.SetMarginRight(kRRim - 1);
    x.SetRangeLow(0);
    x.SetRangeHigh(100);
    x.SetCaptionPosX(0);
    x.SetCaptionPosY(22);
    x.SetCaptionAnchor(uaSclCenter);
    y.SetScaleType(sctYR);
    y.SetMarginRight(kW - kLRim - 1);
    y.SetMarginTop(kTRim);
    y.SetMarginBottom(kBRim - 1);
    y.SetRangeLow(1);
    y.SetRangeHigh(200);
    y.SetLogarithmic(logY);
    y.SetCaptionPosX(0);
    y.SetCaptionPosY(-16);
    y.SetCaptionAlignment(taLeftJustify);
}

void DrawScales(benchmark::State& state, int minTicks, bool logY) {
    Canvas bitmap(kW, kH);
    TScale x, y;
    Setup(x, y, bitmap, minTicks, logY);
    for (auto _ : state) {
        bitmap.SetBrushColor(clBtnFace);
        bitmap.FillRect(0, 0, kW, kH);
        x.PaintNow();
        y.PaintNow();
        benchmark::DoNotOptimize(bitmap.Pixel(kLRim, kH - kBRim));
    }
}

void BM_Layer1Scales(benchmark::State& state) {
    DrawScales(state, 3, false);
}
void BM_Layer1ScalesDenseTicks(benchmark::State& state) {
    DrawScales(state, 6, false);
}
void BM_Layer1ScalesLogY(benchmark::State& state) {
    DrawScales(state, 6, true);
}

void BM_TickComputation(benchmark::State& state) {
    TTickInput in;
    in.RangeLow = 1;
    in.RangeHigh = 200;
    in.MinTicks = 3;
    in.ScaleType = sctYR;
    for (auto _ : state)
        benchmark::DoNotOptimize(ComputeTicks(in));
}

BENCHMARK(BM_Layer1Scales);
BENCHMARK(BM_Layer1ScalesDenseTicks);
BENCHMARK(BM_Layer1ScalesLogY);
BENCHMARK(BM_TickComputation);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
