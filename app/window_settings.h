#pragma once
// The main window's chart settings, shared by the window and the headless subcommands so that
// both produce the same items and the same pictures.

#include "app/acquisition.h"
#include "app/port_settings.h"

#include <string>

class TKartex;

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
