#pragma once
// The acquisition state of the main window and the receive path that turns received bytes into samples.
// Plain C++: the window, the headless recorder and the tests all drive this same code.

#include "app/core/conversions.h"
#include "app/core/line_framer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

class TItemStore;

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
    // Channels: a line of several values gives one sample per value, all at the line's x. Channel 1
    // (index 0) is what a line of one value gives; RawValue and PlotValue are its.
    int ChannelCount = 0;                                 // the most values (or names) a line gave
    std::array<std::string, kMaxChannels> ChannelNames{}; // from labels and header lines
    std::array<std::string, kMaxChannels> ChannelUnits{}; // from the same labels ("temp[°C]")
    // Channels the user named: their name and unit stay what the user gave, whatever the device says,
    // and a new run keeps them.
    std::array<bool, kMaxChannels> NamedByUser{};
    std::array<std::string, kMaxChannels> DeviceNames{}; // the device's own names, whoever named them
    std::array<std::string, kMaxChannels> DeviceUnits{};
    // A channel's own scale factor and offset (any real numbers), for channels 2 … 16; what a channel
    // does not have of its own, and channel 1 always, is DataScale and DataOffset.
    struct Calibration {
        std::optional<double> Scale;
        std::optional<double> Offset;
        bool Own() const { return Scale || Offset; }
    };
    std::array<Calibration, kMaxChannels> Calibrations{};
    std::array<float, kMaxChannels> ChannelValues{}; // the latest plotted value of each
    bool ValuesDropped = false;                      // a line gave more values than there are channels
};

// When bytes arrived: a monotonic clock for the time axis, and the calendar time in seconds since
// 1970-01-01 UTC that every sample keeps.
struct ReceiveTime {
    double Monotonic = 0;
    double Epoch = 0;
};

// Where samples go, channel by channel (0 is channel 1): a pen move for the first sample of a channel
// and the first after a gap or a break, a line item for every later one; time is the sample's receive
// time in seconds since 1970-01-01 UTC.
class SampleSink {
public:
    virtual ~SampleSink() = default;
    virtual void MoveToPoint(int channel, double x, double y, double time) = 0;
    virtual void LineToPoint(int channel, double x, double y, double time) = 0;
    // The channel count or a channel's name changed (before the samples of the line that changed it).
    virtual void ChannelsChanged(const AcquisitionState& /*state*/) {}
    // Asked before the samples of a line: false drops the line (a recording that has enough).
    virtual bool TakesLine() { return true; }
    // A moment marked (a command sent, a mark of the user's) at x, time as for samples.
    virtual void Mark(double /*x*/, double /*time*/, std::string_view /*text*/) {}
};

// A sink that keeps each channel's samples in an item list of its own: it says when a channel's list
// is set up (before its first sample), so the recording can keep that list in the journal.
class ListSink : public SampleSink {
public:
    // A new run: every channel's list is set up again on its first sample.
    virtual void Restart() = 0;
    // The list the marks go to, kept in the journal from the first mark on; none by default.
    virtual TItemStore* MarksList() { return nullptr; }
    std::function<void(int channel, TItemStore& list)> OnNewList;
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
    // Where a mark made now stands: at the newest sample's x (its seconds since the start on the time
    // axis: now's), with now's time.
    struct MarkPlace {
        double X = 0;
        double Time = 0;
    };
    MarkPlace MarkNow() const;

    // One notification's bytes: every complete line is trimmed, converted, scaled and offset, and
    // appended to the sink; the lines of one notification share its receive time. Returns the number
    // of lines that gave samples.
    int Receive(std::string_view bytes, SampleSink& sink, const ShownFn& shown);

    // One line that came as a message of its own (a broker's), with its receive time now. channel < 0:
    // the line as any received line. channel ≥ 0: a line of one value gives that channel's sample, named
    // `name` unless the line names it, and leaves the other channels as they are (no gap); a line of
    // several values is taken as any line. A line longer than the framer's limit gives no sample.
    int ReceiveLine(std::string_view line, int channel, std::string_view name, SampleSink& sink,
                    const ShownFn& shown);

    // The acquisition ends: a pending line without its line end is taken as the last sample.
    int Finish(SampleSink& sink, const ShownFn& shown);

    // The line breaks here (the device went away and came back): the next sample is a pen move at its
    // normal x, so no line joins it to the samples before.
    void BreakLine() { joined_.fill(false); }

    // Trims characters of code 32 or less from both ends.
    static std::string_view Trim(std::string_view text);

private:
    // channel ≥ 0 with name: as for ReceiveLine.
    int TakeLine(LineFramer::Piece piece, std::string_view line, const ReceiveTime& at, SampleSink& sink,
                 const ShownFn& shown, int channel = -1, std::string_view name = {});
    // A device's name and unit for channel c; true when the channel's label changed.
    bool Name(int c, std::string_view name, std::string_view unit);
    // Channel c's sample of raw value `value` at x, scaled as the channel is.
    void Put(int c, double value, double x, double epoch, SampleSink& sink);

    AcquisitionState state_;
    LineFramer framer_;
    ClockFn clock_ = SystemClock;
    double start_ = 0;                        // monotonic time of Restart
    std::array<bool, kMaxChannels> joined_{}; // the channel's next sample goes on with its line
    ReceivedFields lone_{{}, 1, 1};           // the fields of a line of one number alone
    ReceivedFields fields_;                   // the fields of any other line
};
