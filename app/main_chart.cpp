#include "app/main_chart.h"

#include "app/core/csv_export.h"
#include "chart/core/paint_suppression.h"
#include "chart/kartex.h"

#include <QCursor>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <span>

void ConfigureMainChart(TKartex& k) {
    PaintSuppression once(k);
    k.setCursor(Qt::PointingHandCursor);
    k.SetAllocSize(250000);
    k.SetAutoRedraw(true);
    k.SetLRim(50);
    k.SetRRim(20);
    k.SetTRim(20);
    k.SetBRim(40);
    k.SetGridStyle(gsLines);
    k.SetGridColor(clSilver);
    k.SetClassDefault(0);
    k.SetIsometric(false);
    k.SetCaptionPosX(0);
    k.SetCaptionPosY(-16);
    k.SetCaptionAlignment(taRightJustify);
    k.SetCaptionAnchorHoriz(cahChartRight);
    k.SetCaptionAnchorVert(cavChartTop);
    for (int i = 1; i <= TKartex::kCrossHairs; ++i) {
        TCrossHair& c = k.CrossHair(i);
        c.SetColor(clBlack);
        c.SetLayer(i);
        c.SetMode(chOff);
        c.SetLineType(psSolid);
        c.SetLineWid(1);
    }
    k.SetMouseAction(maPan);
    k.SetMouseCursorFixed(true);
    k.BackGroundImg().SetFillMode(bfStretch);
    k.BackGroundImg().SetIncludePath(false);
    k.SetShadowStyle(ssFlying);
    k.SetShadowColor(clGrayText);
    k.SetShadowBakColor(clBtnFace);
    k.SetTextFontStyle(0);
    k.SetTextBkStyle(tbClear);
    k.SetTextBkColor(clWhite);
    k.SetTextAlignment(taCenter);

    TFont font;
    font.Name = "MS Sans Serif";
    font.PixelHeight = 13;
    // Both layer-1 scales; the caption sits below the x axis and above the y axis.
    const auto common = [&](TScaleProps& s, double low, double high, int captionY, TAlignment alignment,
                            TScaleUnitAnchor anchor) {
        s.SetVisible(true);
        s.SetScalePos(0);
        s.SetMinRange(1e-10);
        s.SetRangeLow(low);
        s.SetRangeHigh(high);
        s.SetMinTicks(kNormalTicks);
        s.SetShortTicks(true);
        s.SetLabelType(ftNum);
        s.SetDecPlaces(-2);
        s.SetLogarithmic(false);
        s.SetColorScale(clBlack);
        s.SetFont(font);
        s.SetCaptionPosX(0);
        s.SetCaptionPosY(captionY);
        s.SetCaptionAlignment(alignment);
        s.SetCaptionAnchor(anchor);
    };
    k.Scale1X()->SetScaleLocation(slBottom);
    common(*k.Scale1X(), 0, 100, 22, taCenter, uaSclCenter);
    k.Scale1Y()->SetScaleLocation(slLeft);
    common(*k.Scale1Y(), 1, 200, -16, taLeftJustify, uaSclTopLft);
    for (int layer = 2; layer <= 4; ++layer)
        for (TScaleProps* s :
             {static_cast<TScaleProps*>(k.ScaleX(layer)), static_cast<TScaleProps*>(k.ScaleY(layer))}) {
            s->SetVisible(false);
            s->SetRangeLow(0);
            s->SetRangeHigh(1);
        }
    for (int layer = 1; layer <= 4; ++layer)
        for (TScaleProps* s :
             {static_cast<TScaleProps*>(k.ScaleX(layer)), static_cast<TScaleProps*>(k.ScaleY(layer))}) {
            TDTLabel& d = s->DateFormat();
            d.SetTimeFormat(tfHHMMSS);
            d.SetDateSeparator('-');
            d.SetTimeSeparator(':');
            d.SetYearLength(ylYYYY);
            d.SetMonthName(true);
            d.SetDateOrder(doDDMMYY);
            d.SetDateForTime(dtOnePerDay);
        }
}

namespace {
// A y scale of another layer set up as the left one: ticks, labels, font and colour.
void LikeTheLeftScale(TKartex& k, TScalePropsVert& s, TScaleLocationVert where) {
    TScalePropsVert& left = *k.Scale1Y();
    s.SetScalePos(0);
    s.SetMinRange(left.MinRange());
    s.SetMinTicks(left.MinTicks());
    s.SetShortTicks(left.ShortTicks());
    s.SetLabelType(left.LabelType());
    s.SetDecPlaces(left.DecPlaces());
    s.SetColorScale(left.ColorScale());
    s.SetFont(left.Font());
    s.SetScaleLocation(where);
    s.SetCaptionPosX(0);
    s.SetCaptionPosY(-16);
    s.SetCaptionAlignment(where == slRight ? taRightJustify : taLeftJustify);
    s.SetCaptionAnchor(uaSclTopLft);
    s.SetLogarithmic(left.Logarithmic());
}
} // namespace

std::vector<int> LaneLayers(const TKartex& k) {
    std::vector<int> lanes;
    for (const ChannelSpan& c : ChartChannels(k))
        if (c.Layer >= kFirstLaneLayer && c.Layer <= TKartex::kLayers &&
            std::find(lanes.begin(), lanes.end(), c.Layer) == lanes.end())
            lanes.push_back(c.Layer);
    std::sort(lanes.begin(), lanes.end());
    return lanes;
}

bool ArrangeLanes(TKartex& k) {
    return ArrangeLanes(k, LaneLayers(k));
}

bool ArrangeLanes(TKartex& k, const std::vector<int>& lanes) {
    const double bands = 1.0 + static_cast<double>(lanes.size());
    PaintSuppression once(k);
    k.SetLayerBand(1, 0, 1 / bands);
    k.SetLayerBand(kRightAxisLayer, 0, 1 / bands);
    k.SetLRim(lanes.empty() ? 50 : kLaneLeftRim);
    bool appeared = false;
    for (int layer = kFirstLaneLayer; layer <= TKartex::kLayers; ++layer) {
        TScalePropsVert& y = *k.ScaleY(layer);
        const auto at = std::find(lanes.begin(), lanes.end(), layer);
        if (at == lanes.end()) {
            if (y.Visible()) {
                y.SetVisible(false);
                k.SetXControlledBy(layer, layer);
            }
            k.SetLayerBand(layer, 0, 1);
            continue;
        }
        const double j = static_cast<double>(at - lanes.begin()) + 1;
        k.SetLayerBand(layer, j / bands, (j + 1) / bands);
        if (y.Visible()) continue;
        LikeTheLeftScale(k, y, slLeft);
        k.SetXControlledBy(layer, 1);
        y.SetVisible(true);
        appeared = true;
    }
    return appeared;
}

ViewRange FittedLayerRange(TKartex& k, const ViewSummary& view, int layer) {
    TScalePropsVert& axis = *k.ScaleY(layer);
    ViewRange v{view.Range.XLow, view.Range.XHigh, axis.RangeLow(), axis.RangeHigh()};
    const TYRange r = view.InViewShown(layer);
    FitY(v, axis.Logarithmic() ? r.MinAbove : r.Min, r.Max, axis.Logarithmic());
    return v;
}

void FitLayerY(TKartex& k, int layer) {
    const ViewRange v = FittedLayerRange(k, SummarizeView(k, ChartRange(k)), layer);
    k.SetLayerRange(layer, v.XLow, v.YLow, v.XHigh, v.YHigh);
}

void FitXY(TKartex& k, bool fitX, bool fitY) {
    const int xs = k.XYSeries();
    if (xs < 0 || xs >= k.SeriesCount() || k.SeriesStore(xs).ItemCount() == 0) return;
    const TItemStore& xl = k.SeriesStore(xs);
    const int first = k.XYFirst();
    const double from = xl.Item(first).X;
    TYRange x = k.SeriesYRange(xs, first, xl.ItemCount());
    TYRange y;
    for (const ChannelSpan& c : ChartChannels(k))
        if (c.Series != xs && c.End > c.Begin && k.ClassVisible(c.Class))
            y.Add(SamplesInView(k, c, from, std::numeric_limits<double>::infinity()));
    ViewRange v = ChartRange(k);
    if (fitY) FitY(v, k.Scale1Y()->Logarithmic() ? y.MinAbove : y.Min, y.Max, k.Scale1Y()->Logarithmic());
    if (fitX) {
        ViewRange h{0, 0, v.XLow, v.XHigh}; // FitY's rule on the x axis
        FitY(h, x.Min, x.Max, false);
        v.XLow = h.YLow;
        v.XHigh = h.YHigh;
    }
    if (v == ChartRange(k)) return;
    k.SetScaleRange(1, v.XLow, v.YLow, v.XHigh, v.YHigh);
}

void FitLanes(TKartex& k) {
    PaintSuppression once(k);
    for (int layer : LaneLayers(k))
        FitLayerY(k, layer);
}

void SetRightAxis(TKartex& k, bool on) {
    if (on == RightAxisShown(k)) return;
    PaintSuppression once(k);
    TScalePropsVert& left = *k.Scale1Y();
    TScalePropsVert& right = *k.ScaleY(kRightAxisLayer);
    if (on) {
        LikeTheLeftScale(k, right, slRight);
        // Until it is fitted the right axis shows the left one's range.
        k.SetXControlledBy(kRightAxisLayer, 1);
        k.SetLayerRange(kRightAxisLayer, k.Scale1X()->RangeLow(), left.RangeLow(), k.Scale1X()->RangeHigh(),
                        left.RangeHigh());
    } else {
        k.SetXControlledBy(kRightAxisLayer, kRightAxisLayer);
    }
    right.SetVisible(on);
    k.SetRRim(on ? kRightRim : 20);
    k.SetMouseLayer(kRightAxisLayer, on);
}

bool RightAxisShown(const TKartex& k) {
    return const_cast<TKartex&>(k).ScaleY(kRightAxisLayer)->Visible();
}

void ShowAxesOfChannels(TKartex& k) {
    const std::vector<ChannelSpan> channels = ChartChannels(k);
    SetRightAxis(k, std::any_of(channels.begin(), channels.end(),
                                [](const ChannelSpan& c) { return c.Layer == kRightAxisLayer; }));
    if (ArrangeLanes(k)) FitLanes(k);
}

void FitRightAxis(TKartex& k) {
    if (RightAxisShown(k)) FitLayerY(k, kRightAxisLayer);
}

void ApplyLogY(TKartex& k, float xmax, float ymax, float ymin) {
    k.Scale1X()->SetMinTicks(kDoubleTicks);
    k.Scale1Y()->SetMinTicks(kDoubleTicks);
    k.SetMouseAction(maPan);
    k.SetScaleRange(1, 0.0L, ymin, xmax, ymax);
    k.Scale1Y()->SetLogarithmic(true);
}

TColor ChannelColor(int channel) {
    // Blue, orange, bluish green, vermilion, reddish purple, sky blue, black, olive; then wine, teal,
    // green, purple, indigo, rose, grey, brown (as 0xBBGGRR).
    static constexpr TColor kPalette[kMaxChannels] = {
        clBlue,   0x009FE6, 0x739E00, 0x005ED5, 0xA779CC, 0xE9B456, 0x000000, 0x339999,
        0x552288, 0x99AA44, 0x337711, 0x9944AA, 0x882233, 0x7766CC, 0x888888, 0x001166,
    };
    return kPalette[static_cast<std::size_t>(std::clamp(channel, 0, kMaxChannels - 1))];
}

void KartexSink::Restart() {
    ready_.reset();
}

void KartexSink::Mark(double x, double time, std::string_view text) {
    chart_.AddEventMark(x, time, text);
}

TItemStore* KartexSink::MarksList() {
    return &chart_.EventMarks();
}

// A channel's list is set up on its first sample of the run, the same way for every channel: its colour,
// its class, the chart's line style and step, and its backing (OnNewList).
TItemStore& KartexSink::List(int channel) {
    const auto c = static_cast<std::size_t>(channel);
    if (!ready_.test(c)) {
        chart_.EnsureSeries(channel + 1);
        TItemStore& list = chart_.SeriesStore(channel);
        list.SetDataColor(colors_[c]);
        list.SetClassDefault(static_cast<std::uint8_t>(channel));
        list.SetLineWidth(static_cast<std::uint8_t>(chart_.LineWidth()));
        list.SetPenStyle(chart_.PenStyle());
        list.SetAllocSize(chart_.AllocSize());
        list.SetLayer(layers_[c]);
        ready_.set(c);
        if (OnNewList) OnNewList(channel, list);
    }
    return chart_.SeriesStore(channel);
}

void KartexSink::SetChannelLayer(int channel, int layer) {
    const auto c = static_cast<std::size_t>(channel);
    layers_[c] = layer;
    if (channel < chart_.SeriesCount()) chart_.SeriesStore(channel).SetLayer(layer); // set up already
}

void KartexSink::SetChannelColor(int channel, TColor color) {
    const auto c = static_cast<std::size_t>(channel);
    colors_[c] = color;
    if (channel < chart_.SeriesCount()) chart_.SeriesStore(channel).SetColor(color); // set up already
}

void KartexSink::MoveToPoint(int channel, double x, double y, double time) {
    std::string label;
    if (state_ && state_->ChannelCount >= 2)
        label = ChannelLabel(state_->ChannelNames[static_cast<std::size_t>(channel)],
                             state_->ChannelUnits[static_cast<std::size_t>(channel)]);
    List(channel).MoveToPoint(x, y, time, label);
}

void KartexSink::LineToPoint(int channel, double x, double y, double time) {
    List(channel).LineToPoint(x, y, time);
}

void KartexSink::ChannelsChanged(const AcquisitionState& state) {
    state_ = &state;
    if (OnChannelsChanged) OnChannelsChanged(state);
    if (state.ChannelCount < 2) return;
    // A name that comes after a channel's first sample (a header line later in the stream) goes into that
    // first record, where every reader of the file and the journal looks for it: the newest name wins.
    for (int c = 0; c < std::min(state.ChannelCount, chart_.SeriesCount()); ++c) {
        TItemStore& list = chart_.SeriesStore(c);
        const std::string& name = state.ChannelNames[static_cast<std::size_t>(c)];
        const std::string label = ChannelLabel(name, state.ChannelUnits[static_cast<std::size_t>(c)]);
        if (list.ItemCount() > 0 && !name.empty() && RecordText(list.Item(0)) != label)
            list.SetItemText(0, label);
    }
}

std::vector<ChannelSpan> ChartChannels(const TKartex& k) {
    std::vector<ChannelSpan> spans;
    if (k.SeriesCount() == 1 && k.ItemCount() == 0) return spans;
    for (int s = 0; s < k.SeriesCount(); ++s) {
        const TItemStore& list = k.SeriesStore(s);
        // A series' class is that of its first record (a loaded file's channel), else the one it is
        // given (a channel whose samples are all gaps so far).
        const int itemClass = list.ItemCount() > 0 ? list.Item(0).ItemClass : list.ClassDefault();
        const int layer = list.ItemCount() > 0 ? list.Item(0).Layer : list.PointLayer();
        spans.push_back({s, 0, list.ItemCount(), itemClass, layer});
    }
    return spans;
}

std::string ChannelName(const TKartex& k, const ChannelSpan& span) {
    const TItemStore& list = k.SeriesStore(span.Series);
    if (span.Begin >= span.End || span.Begin >= list.ItemCount()) return {};
    return RecordText(list.Item(span.Begin));
}

std::size_t ChartRecordCount(const TKartex& k) {
    std::size_t records = static_cast<std::size_t>(k.EventMarks().ItemCount());
    for (int s = 0; s < k.SeriesCount(); ++s)
        records += static_cast<std::size_t>(k.SeriesStore(s).ItemCount());
    return records;
}

namespace {
// The stretch [first, last) of a channel's items whose x lies in [xl, xh].
std::pair<int, int> InView(const TKartex& k, const ChannelSpan& span, double xl, double xh) {
    const TItemStore& list = k.SeriesStore(span.Series);
    const int end = std::min(span.End, list.ItemCount());
    const int begin = std::min(span.Begin, end);
    const TChartItem* items = list.Items();
    if (begin == end) return {begin, begin};
    const auto first =
        std::partition_point(items + begin, items + end, [&](const TChartItem& it) { return it.X < xl; });
    const auto last =
        std::partition_point(first, items + end, [&](const TChartItem& it) { return it.X <= xh; });
    return {static_cast<int>(first - items), static_cast<int>(last - items)};
}
} // namespace

TYRange SamplesInView(TKartex& k, const ChannelSpan& span, double xl, double xh) {
    const auto [first, last] = InView(k, span, xl, xh);
    return k.SeriesYRange(span.Series, first, last);
}

ViewRange ChartRange(const TKartex& k) {
    auto& chart = const_cast<TKartex&>(k); // the scale getters are not const; nothing changes
    return {chart.Scale1X()->RangeLow(), chart.Scale1X()->RangeHigh(), chart.Scale1Y()->RangeLow(),
            chart.Scale1Y()->RangeHigh()};
}

ViewSummary ChannelsInView(const TKartex& k) {
    ViewSummary v;
    v.PlotWidth = k.PlotWidth();
    v.PlotHeight = k.PlotHeight();
    for (int s = 0; s < k.SeriesCount(); ++s)
        v.Lists.emplace_back(k.SeriesStore(s).ItemCount(), k.SeriesStore(s).Generation());
    for (const ChannelSpan& c : ChartChannels(k)) {
        SeriesView sv;
        sv.Span = c;
        sv.Shown = k.ClassVisible(c.Class) && c.End > c.Begin;
        if (c.End > c.Begin) sv.NewestX = k.SeriesStore(c.Series).Item(c.End - 1).X;
        v.Series.push_back(sv);
    }
    return v;
}

void MeasureView(TKartex& k, ViewSummary& v, const ViewRange& range) {
    v.Range = range;
    for (SeriesView& sv : v.Series)
        sv.InView = SamplesInView(k, sv.Span, range.XLow, range.XHigh);
}

ViewSummary SummarizeView(TKartex& k, const ViewRange& range) {
    ViewSummary v = ChannelsInView(k);
    MeasureView(k, v, range);
    return v;
}

bool ViewSummary::Describes(const TKartex& k) const {
    if (!(Range == ChartRange(k)) || PlotWidth != k.PlotWidth() || PlotHeight != k.PlotHeight() ||
        Lists.size() != static_cast<std::size_t>(k.SeriesCount()))
        return false;
    for (int s = 0; s < k.SeriesCount(); ++s)
        if (Lists[static_cast<std::size_t>(s)] !=
            std::pair<int, std::uint64_t>(k.SeriesStore(s).ItemCount(), k.SeriesStore(s).Generation()))
            return false;
    return std::all_of(Series.begin(), Series.end(), [&k](const SeriesView& sv) {
        return sv.Shown == (k.ClassVisible(sv.Span.Class) && sv.Span.End > sv.Span.Begin);
    });
}

double ViewSummary::NewestShown() const {
    double newest = -std::numeric_limits<double>::infinity();
    for (const SeriesView& sv : Series)
        if (sv.Shown) newest = std::max(newest, sv.NewestX);
    return newest;
}

TYRange ViewSummary::InViewShown() const {
    TYRange r;
    for (const SeriesView& sv : Series)
        if (sv.Shown) r.Add(sv.InView);
    return r;
}

TYRange ViewSummary::InViewShown(int layer) const {
    TYRange r;
    for (const SeriesView& sv : Series)
        if (sv.Shown && sv.Span.Layer == layer) r.Add(sv.InView);
    return r;
}

const SeriesView* ViewSummary::FirstShown() const {
    for (const SeriesView& sv : Series)
        if (sv.Shown) return &sv;
    return nullptr;
}

int NearestSample(const TKartex& k, const ChannelSpan& span, double x) {
    const TItemStore& list = k.SeriesStore(span.Series);
    const int end = std::min(span.End, list.ItemCount());
    const int begin = std::min(span.Begin, end);
    if (begin == end || !std::isfinite(x)) return -1;
    const TChartItem* items = list.Items();
    const int right = static_cast<int>(
        std::partition_point(items + begin, items + end, [&](const TChartItem& it) { return it.X < x; }) -
        items);
    if (right == end) return end - 1;
    if (right == begin) return begin;
    return x - items[right - 1].X <= items[right].X - x ? right - 1 : right;
}

std::string ReadOutX(bool timeAxis, int index, double x, const LocaleSeparator& separator) {
    if (!timeAxis) return "Nr. " + std::to_string(index + 1);
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", x);
    std::string s = text;
    if (const auto dot = s.find('.'); dot != std::string::npos) s.replace(dot, 1, separator.Text());
    return s + " s";
}
