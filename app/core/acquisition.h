#pragma once
// The acquisition state of the main window and the receive path that turns received bytes into samples.
// Plain C++: the window, the headless recorder and the tests all drive this same code.

#include "app/core/line_framer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

struct AcquisitionState {
    std::string RawText; // the last received line, trimmed
    std::int32_t SampleCount = 0;
    float DataScale = 0; // raw-data scale factor
    std::int32_t DataOffset = 0;
    float GraphXmax = 0;
    float GraphYmax = 0;
    float GraphYmin = 0;
    float RawValue = 0;  // the number converted from RawText
    float PlotValue = 0; // the scaled value that is plotted
    // x of a sample: its number (the first at 0), or with TimeAxis its receive time in seconds since
    // the acquisition started.
    bool TimeAxis = false;
    std::int64_t NoSampleLines = 0; // received lines that gave no sample since the start
};

// When bytes arrived: a monotonic clock for the time axis, and the calendar time in seconds since
// 1970-01-01 UTC that every sample keeps.
struct ReceiveTime {
    double Monotonic = 0;
    double Epoch = 0;
};

// Where samples go: the chart's pen move for the first sample, a line item for every later one; time is
// the sample's receive time in seconds since 1970-01-01 UTC.
class SampleSink {
public:
    virtual ~SampleSink() = default;
    virtual void MoveToPoint(double x, double y, double time) = 0;
    virtual void LineToPoint(double x, double y, double time) = 0;
};

class Acquisition {
public:
    // Called for every received line that is shown in the raw-data pane; sample tells whether the line
    // became a sample (then State().PlotValue holds its value).
    using ShownFn = std::function<void(std::string_view raw, bool sample)>;
    using ClockFn = std::function<ReceiveTime()>;

    // The system's steady and calendar clocks; tests set a clock of their own.
    static ReceiveTime SystemClock();
    void SetClock(ClockFn clock) { clock_ = std::move(clock); }

    AcquisitionState& State() { return state_; }
    const AcquisitionState& State() const { return state_; }

    // A new acquisition: the sample number and the time axis start again, and bytes of an earlier run
    // are forgotten.
    void Restart();

    // One notification's bytes: every complete line is trimmed, converted, scaled and offset, and
    // appended to the sink; the lines of one notification share its receive time. Returns the number
    // of samples added.
    int Receive(std::string_view bytes, SampleSink& sink, const ShownFn& shown);

    // The acquisition ends: a pending line without its line end is taken as the last sample.
    int Finish(SampleSink& sink, const ShownFn& shown);

    // The line breaks here (the device went away and came back): the next sample is a pen move at its
    // normal x, so no line joins it to the samples before.
    void BreakLine() { breakLine_ = true; }

    // Trims characters of code 32 or less from both ends.
    static std::string_view Trim(std::string_view text);

private:
    int TakeLine(LineFramer::Piece piece, std::string_view line, const ReceiveTime& at, SampleSink& sink,
                 const ShownFn& shown);

    AcquisitionState state_;
    LineFramer framer_;
    ClockFn clock_ = SystemClock;
    double start_ = 0; // monotonic time of Restart
    bool breakLine_ = false;
};
