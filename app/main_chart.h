#pragma once
// The main window's chart: its settings, shared by the window, the headless subcommands, the benchmarks
// and the tests so that all produce the same items and the same pictures.

#include "app/core/acquisition.h"
#include "app/core/conversions.h"
#include "chart/core/colors.h"
#include "chart/core/line_run_index.h"

#include <string>

class TKartex;

// The colour of the data line, and the tick counts of the scales without and with "DoubleTics".
inline constexpr TColor kDataColor = clBlue;
inline constexpr int kNormalTicks = 3;
inline constexpr int kDoubleTicks = 6;

// Samples go to the chart through its two append operations.
class KartexSink : public SampleSink {
public:
    explicit KartexSink(TKartex& chart) : chart_(chart) {}
    void MoveToPoint(double x, double y, double time) override;
    void LineToPoint(double x, double y, double time) override;

private:
    TKartex& chart_;
};

void ConfigureMainChart(TKartex& chart);

// What checking "Y  Log" does to the chart once the fields are read: y from ymin, double ticks, pan
// mode and a logarithmic y axis.
void ApplyLogY(TKartex& chart, float xmax, float ymax, float ymin);

// The samples whose x lies in [xl, xh]: their extremes, count and sum, from the chart's index. An
// acquisition appends in increasing x, so they are one stretch of the list, found by bisection; its pen
// moves (the first sample, and the first after each reconnect) count as samples.
TYRange SamplesInView(TKartex& chart, double xl, double xh);

// The sample whose x is nearest to x (bisection, as above), or −1 when the chart holds none.
int NearestSample(const TKartex& chart, double x);

// x as the time axis labels it: seconds with milliseconds ("12,345 s"), or the sample number counted
// from 1 for item index.
std::string ReadOutX(bool timeAxis, int index, double x, const LocaleSeparator& separator);
