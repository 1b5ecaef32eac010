#pragma once
// The main window's chart: its settings, shared by the window, the headless subcommands, the benchmarks
// and the tests so that all produce the same items and the same pictures.

#include "app/core/acquisition.h"
#include "app/core/conversions.h"
#include "app/core/follow.h"
#include "app/core/journal.h"
#include "chart/core/colors.h"
#include "chart/core/line_run_index.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class TKartex;
class TItemStore;

// The colour of the data line, and the tick counts of the scales without and with "DoubleTics".
inline constexpr TColor kDataColor = clBlue;
inline constexpr int kNormalTicks = 3;
inline constexpr int kDoubleTicks = 6;

// The colour of channel c (0 is channel 1, blue as the single data line): a palette whose first eight
// stay apart for colour-blind eyes, then eight darker ones.
TColor ChannelColor(int channel);

// Samples go to the chart's series: channel c + 1 to series c (series 0 is the chart's item list), each
// in its colour and with its channel in the item class. When the acquisition knows two
// channels or more, the first record of a channel's line carries its name in the record's text; a name
// that comes later (a header line after the first samples) is written into that record then.
class KartexSink : public ListSink {
public:
    explicit KartexSink(TKartex& chart) : chart_(chart) {}
    void MoveToPoint(int channel, double x, double y, double time) override;
    void LineToPoint(int channel, double x, double y, double time) override;
    void ChannelsChanged(const AcquisitionState& state) override;
    void Restart() override;
    void Mark(double x, double time, std::string_view text) override;
    TItemStore* MarksList() override;
    // The chart layer a channel's samples go on (1: the left y axis, 2: the right one); a list that is
    // set up already moves there with every record.
    void SetChannelLayer(int channel, int layer);
    int ChannelLayer(int channel) const { return layers_[static_cast<std::size_t>(channel)]; }
    // The colour a channel is drawn in (ChannelColor until one is given); a list set up already takes it
    // with every record.
    void SetChannelColor(int channel, TColor color);
    // Told when the acquisition's channel count or a channel's name changed (before the samples of the
    // line that changed it), before the names go into the records.
    std::function<void(const AcquisitionState& state)> OnChannelsChanged;

private:
    TItemStore& List(int channel);

    TKartex& chart_;
    const AcquisitionState* state_ = nullptr;
    std::bitset<kMaxChannels> ready_;
    std::array<TColor, kMaxChannels> colors_ = [] {
        std::array<TColor, kMaxChannels> a{};
        for (int c = 0; c < kMaxChannels; ++c)
            a[static_cast<std::size_t>(c)] = ChannelColor(c);
        return a;
    }();
    std::array<int, kMaxChannels> layers_ = [] {
        std::array<int, kMaxChannels> a{};
        a.fill(1);
        return a;
    }();
};

// The layer of the right y axis: a channel drawn there has a y range of its own, the x of layer 1.
inline constexpr int kRightAxisLayer = 2;
// The right rim with the right axis: room for labels of seven characters ("1013.50").
inline constexpr int kRightRim = 62;
// Shows or hides the right y axis: layer 2's y scale at the right of the plot, set up as the left one
// (ticks, font, logarithmic or not), its x range joined to layer 1's, panned and zoomed by the mouse
// with it. The right rim widens for the labels; without the axis the chart is as it always was.
void SetRightAxis(TKartex& chart, bool on);
bool RightAxisShown(const TKartex& chart);
// Lanes: a channel on layer kFirstLaneLayer or above is drawn in a band of its own below the main band
// (layers 1 and 2), every band as high as the others, its y scale at the left of its band and its x
// joined to layer 1. Channel c (0 is channel 1) takes the lane of layer c + 2, so channels 2 … 15 can.
inline constexpr int kFirstLaneLayer = 3;
inline constexpr int LaneLayer(int channel) {
    return channel + 2;
}
inline constexpr bool CanHaveLane(int channel) {
    return channel >= 1 && channel + 2 <= 16;
}
// Bands for the lanes the chart's channels are on (none: the whole plot, as always); true when a
// lane appeared that was not shown before (its range wants fitting).
bool ArrangeLanes(TKartex& chart);
// The same for the given lane layers (a run's channels before their first samples).
bool ArrangeLanes(TKartex& chart, const std::vector<int>& lanes);
// The left rim with lanes: room for their labels of seven characters.
inline constexpr int kLaneLeftRim = 62;
// A loaded file's channels on the right axis or in lanes (their records' layers) show them.
void ShowAxesOfChannels(TKartex& chart);
// The right axis' y range fitted to its channels' samples in the chart's x range, as "Y auto" fits.
void FitRightAxis(TKartex& chart);
// One layer's y range fitted so; and every lane's.
void FitLayerY(TKartex& chart, int layer);
void FitLanes(TKartex& chart);
// XY (the chart's SetXYView): the x range fitted to the x channel's values in the trail, the y range to
// the other shown channels' values from the trail's first line on, each with FitY's margins; either
// or both.
void FitXY(TKartex& chart, bool fitX, bool fitY);

// The lane layers the chart's channels are on, in order.
std::vector<int> LaneLayers(const TKartex& chart);

// Where one channel's samples are: items [Begin, End) of one of the chart's series. Channel c is series
// c, during an acquisition and for a loaded file alike (loading splits a file into its channels).
struct ChannelSpan {
    int Series = 0;
    int Begin = 0;
    int End = 0;
    int Class = 0;
    int Layer = 1; // of its records: 1 on the left y axis, kRightAxisLayer on the right one
};

// The channels the chart holds, channel 1 first: one per series.
std::vector<ChannelSpan> ChartChannels(const TKartex& chart);

// The name a channel's first record carries (empty when none).
std::string ChannelName(const TKartex& chart, const ChannelSpan& span);

// The records of every series of the chart, channel after channel: what its file holds.
std::size_t ChartRecordCount(const TKartex& chart);

void ConfigureMainChart(TKartex& chart);

// What checking "Y  Log" does to the chart once the fields are read: y from ymin, double ticks, pan
// mode and a logarithmic y axis.
void ApplyLogY(TKartex& chart, float xmax, float ymax, float ymin);

// A channel's samples whose x lies in [xl, xh]: their extremes, count and sum, from the chart's index. An
// acquisition appends in increasing x, so they are one stretch of the list, found by bisection; its pen
// moves (the first sample, and the first after each reconnect) count as samples.
TYRange SamplesInView(TKartex& chart, const ChannelSpan& channel, double xl, double xh);

// One channel as a frame sees it: where its samples are, whether it is drawn (shown and holding a
// sample), its newest sample's x, and its samples whose x lies in the view.
struct SeriesView {
    ChannelSpan Span;
    bool Shown = false;
    double NewestX = 0;
    TYRange InView;
};

// What a frame needs of the chart, computed once per frame: follow, Y auto, status bar, legend and its
// place all read it. It describes the chart as long as range, plot size, lists and shown channels stay.
struct ViewSummary {
    ViewRange Range;
    int PlotWidth = 0, PlotHeight = 0;
    std::vector<SeriesView> Series;                   // every channel of the chart, channel 1 first
    std::vector<std::pair<int, std::uint64_t>> Lists; // each series' count and generation then

    bool Describes(const TKartex& chart) const;
    // The newest x of the channels drawn (−∞ without one), and their samples in view together.
    double NewestShown() const;
    TYRange InViewShown() const;
    // Those of the channels drawn on one layer.
    TYRange InViewShown(int layer) const;
    const SeriesView* FirstShown() const;
};

// The chart's range as the follow rule sees it (layer 1).
ViewRange ChartRange(const TKartex& chart);
// The chart's channels with their newest x, not yet measured (MeasureView).
ViewSummary ChannelsInView(const TKartex& chart);
// Each channel's samples whose x lies in the x range of `range`; the summary then is for that range.
void MeasureView(TKartex& chart, ViewSummary& view, const ViewRange& range);
// Both: the summary for the chart's channels over the x range of `range`.
ViewSummary SummarizeView(TKartex& chart, const ViewRange& range);
// A layer's range with y fitted to its channels' samples in the summary (x: the summary's), as Y auto
// fits it; the chart is not changed.
ViewRange FittedLayerRange(TKartex& chart, const ViewSummary& view, int layer);

// The channel's sample whose x is nearest to x (bisection, as above): its index in its series, or −1
// when the channel holds none.
int NearestSample(const TKartex& chart, const ChannelSpan& channel, double x);

// x as the time axis labels it: seconds with milliseconds ("12,345 s"), or the sample number counted
// from 1 for item index.
std::string ReadOutX(bool timeAxis, int index, double x, const LocaleSeparator& separator);
