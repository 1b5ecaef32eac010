#pragma once
// The main window's chart: its settings, shared by the window, the headless subcommands, the benchmarks
// and the tests so that all produce the same items and the same pictures.

#include "app/core/acquisition.h"
#include "chart/core/colors.h"

class TKartex;

// The colour of the data line, and the tick counts of the scales without and with "DoubleTics".
inline constexpr TColor kDataColor = clBlue;
inline constexpr int kNormalTicks = 3;
inline constexpr int kDoubleTicks = 6;

// Samples go to the chart through its two append operations.
class KartexSink : public SampleSink {
public:
    explicit KartexSink(TKartex& chart) : chart_(chart) {}
    void MoveToPoint(double x, double y) override;
    void LineToPoint(double x, double y) override;

private:
    TKartex& chart_;
};

void ConfigureMainChart(TKartex& chart);

// What checking "Y  Log" does to the chart once the fields are read: y from ymin, double ticks, pan
// mode and a logarithmic y axis.
void ApplyLogY(TKartex& chart, float xmax, float ymax, float ymin);
