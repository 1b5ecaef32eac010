#pragma once
// The main window's chart and port settings, shared by the window and the headless subcommands so that
// both produce the same items, the same pictures and open the device the same way.

#include "app/acquisition.h"

#include <string>

class TKartex;
class TComPort;

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
void ConfigureMainPort(TComPort& port);

// A rate of the baud list ("115200") selects that member; any other positive number a custom rate.
// Throws std::invalid_argument for a text that is not a positive whole number.
void SetBaudFromText(TComPort& port, const std::string& text);

// What checking "Y  Log" does to the chart once the fields are read: y from ymin, double ticks, pan
// mode and a logarithmic y axis.
void ApplyLogY(TKartex& chart, float xmax, float ymax, float ymin);
