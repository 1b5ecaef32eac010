#pragma once

#include <QApplication>

#include <benchmark/benchmark.h>

#include <functional>

// main() of a chart benchmark: the registered benchmarks inside an off-screen application; release
// drops the benchmarks' charts while the application still exists.
inline int RunChartBenchmarks(int argc, char** argv, const std::function<void()>& release) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    release();
    return 0;
}
