// The main window's view of its chart: the frame (follow and Y auto), the status bar's figures, the
// legend and its place, and the read-out under the mouse. One summary of the view per frame feeds all
// of them (ViewSummary in app/main_chart.h).

#include "app/channel_legend.h"
#include "app/core/follow.h"
#include "app/main_chart.h"
#include "app/main_window.h"
#include "app/source_mix.h"
#include "app/view_texts.h"
#include "chart/core/paint_suppression.h"
#include "chart/kartex.h"

#include <QCheckBox>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <limits>

// A frame at once when the last one is older than a display frame, else when it is: at any rate the chart
// renders at most 60 times a second, and a sample reaches the screen within one frame. A frame due at
// once renders in this turn of the event loop, so pane, value and chart go to the screen in one paint.
void TForm1::ScheduleChartFrame() {
    constexpr qint64 kFrameMs = 16;
    if (frameTimer_->isActive()) return;
    const qint64 since = sinceFrame_.isValid() ? sinceFrame_.elapsed() : kFrameMs;
    if (since >= kFrameMs) return ChartFrame();
    frameTimer_->start(static_cast<int>(kFrameMs - since));
}

void TForm1::ChartFrame() {
    sinceFrame_.restart();
    if (!FollowData()) Kartex1->Redraw();
}

// With "Mitlaufen" the x range keeps its width and ends at the newest sample once that has passed its
// right edge (until then it starts at 0); with "Y auto" the y range spans the samples in view, with a
// margin of a twentieth on either side (of the decades on a logarithmic axis, positive values only).
// Every channel shown counts: the newest sample of any, the extremes of all. The samples in view come
// from the chart's index, never from a scan, and are summed once for the frame: the status bar and the
// legend take the same summary once the chart has rendered. True when the range changed: the chart
// then painted itself.
bool TForm1::FollowData() {
    TKartex& k = *Kartex1;
    const bool follow = FollowCheckBox->isChecked(), yAuto = YAutoCheckBox->isChecked();
    if (!follow && !yAuto) return false;
    if (k.XYSeries() >= 0) { // XY: Mitlaufen fits x to the x channel, Y auto y to the others
        const ViewRange before = ChartRange(k);
        FitXY(k, follow, yAuto);
        view_ = SummarizeView(k, ChartRange(k));
        return !(ChartRange(k) == before);
    }
    const ViewRange now = ChartRange(k);
    ViewRange v = now;
    view_ = ChannelsInView(k);
    if (!view_.FirstShown()) return false;
    if (follow) FollowNewest(v, view_.NewestShown());
    MeasureView(k, view_, v);
    // With a right axis or lanes each y axis fits its own channels; without them every channel shown
    // counts.
    std::vector<int> own = LaneLayers(k);
    if (RightAxisShown(k)) own.insert(own.begin(), kRightAxisLayer);
    std::vector<std::pair<int, ViewRange>> moved; // the other axes whose y range changes
    // A lane fits itself to its first samples without "Y auto" too: until then it has no range.
    for (int layer : own)
        if (!yAuto && layer >= kFirstLaneLayer && !lanesFitted_.test(static_cast<std::size_t>(layer)) &&
            view_.InViewShown(layer).Count > 0) {
            lanesFitted_.set(static_cast<std::size_t>(layer));
            moved.emplace_back(layer, FittedLayerRange(k, view_, layer));
        }
    if (yAuto) {
        const TYRange r = own.empty() ? view_.InViewShown() : view_.InViewShown(1);
        FitY(v, k.Scale1Y()->Logarithmic() ? r.MinAbove : r.Min, r.Max, k.Scale1Y()->Logarithmic());
        for (int layer : own) {
            const ViewRange w = FittedLayerRange(k, view_, layer);
            if (w.YLow != k.ScaleY(layer)->RangeLow() || w.YHigh != k.ScaleY(layer)->RangeHigh())
                moved.emplace_back(layer, w);
        }
    }
    view_.Range = v; // the samples in view depend on x alone
    if (v == now && moved.empty()) return false;
    if (moved.empty()) {
        k.SetScaleRange(1, v.XLow, v.YLow, v.XHigh, v.YHigh);
        return true;
    }
    PaintSuppression once(k); // every axis that moves, one picture
    for (const auto& [layer, w] : moved)
        k.SetLayerRange(layer, v.XLow, w.YLow, v.XHigh, w.YHigh);
    k.SetScaleRange(1, v.XLow, v.YLow, v.XHigh, v.YHigh);
    return true;
}

// After each new picture of the data: the status bar and the legend from the view's summary, made
// again only when the chart no longer is what it describes.
void TForm1::ViewChanged() {
    TKartex& k = *Kartex1;
    if (!view_.Describes(k)) view_ = SummarizeView(k, ChartRange(k));
    UpdateStatus();
    UpdateLegend();
}

namespace {
// A status field keeps a fixed size that only grows: a label of fixed size that is given a new text
// leaves the bar's layout alone, so a new count or mean re-lays out the bar only when the field needs
// more room than it ever had (a new digit), not at every frame. It never grows beyond `room` (the
// text is cut there instead of running under the fields beside it) and gives way when the room
// shrinks.
void SetFieldText(QLabel& field, const QString& text, int room = std::numeric_limits<int>::max()) {
    if (field.text() == text && field.maximumWidth() <= room) return;
    if (field.text() != text) field.setText(text);
    const QSize hint = field.sizeHint();
    const int width = std::min(std::max(hint.width(), field.minimumWidth()), std::max(room, 0));
    if (width != field.minimumWidth() || width != field.maximumWidth() ||
        hint.height() != field.minimumHeight())
        field.setFixedSize(width, hint.height());
}
} // namespace

// "Im Bild" gives the figures of the first channel shown; with several channels it names that channel
// (the legend has every channel's).
void TForm1::UpdateStatus() {
    TKartex& k = *Kartex1;
    // A loaded file that another program cut short while shown: said once per file (a load gives the
    // first series a new generation; every channel of the file is a stretch of the one mapping).
    bool cut = false;
    for (int s = 0; s < k.SeriesCount() && !cut; ++s)
        cut = k.SeriesStore(s).FileCut();
    if (cut && cutToldFor_ != k.SeriesStore(0).Generation()) {
        cutToldFor_ = k.SeriesStore(0).Generation();
        statusBar()->showMessage(tr("Die geladene Datei wurde verkürzt, während sie gezeigt wurde: was ihr "
                                    "fehlt, wird leer gezeigt"));
    }
    SetFieldText(*CountStatusLabel, tr("Messwerte: %1").arg(ChartRecordCount(k)));
    SetFieldText(*NoSampleStatusLabel, tr("Zeilen ohne Messwert: %1").arg(Acq().State().NoSampleLines));
    // What the bar has left beside the other fields (and the size grip).
    const int room = width() - CountStatusLabel->sizeHint().width() -
                     NoSampleStatusLabel->sizeHint().width() - PortStatusLabel->sizeHint().width() -
                     SourcesStatusLabel->sizeHint().width() - ForwardStatusLabel->sizeHint().width() -
                     JournalStatusLabel->sizeHint().width() - S(40);
    const SeriesView* first = view_.FirstShown();
    QString caption = tr("Im Bild: ");
    if (first && view_.Series.size() > 1)
        caption = tr("Im Bild (%1): ")
                      .arg(ChannelLabel(first->Span, static_cast<int>(first - view_.Series.data())));
    if (!first || first->InView.Count == 0) {
        SetFieldText(*ViewStatusLabel, tr("Im Bild: keine Messwerte"), room);
        return;
    }
    // Named, the figures are spaced as in the legend, so the line still fits a window of the first size.
    const QString gap = view_.Series.size() > 1 ? QStringLiteral("  ") : QStringLiteral("   ");
    SetFieldText(*ViewStatusLabel, caption + StatsText(first->InView, decimalSeparator_, gap), room);
}

std::vector<ChannelSpan> TForm1::Channels() const {
    return ChartChannels(*Kartex1);
}

QString TForm1::ChannelLabel(const ChannelSpan& channel, int index) const {
    // With further sources the mix numbers and names the chart's channels ("2/temp").
    const AcquisitionState& s = mix_ ? mix_->Merged() : Acq().State();
    // A loaded file's names are its records' own; the acquisition's are longer than a record takes.
    const auto c = static_cast<std::size_t>(channel.Class);
    std::string name = !chartLoaded_ && Kartex1->SeriesCount() > 1 && channel.Class < kMaxChannels &&
                               !s.ChannelNames[c].empty()
                           ? ::ChannelLabel(s.ChannelNames[c], s.ChannelUnits[c], 256)
                           : std::string();
    if (name.empty()) name = ChannelName(*Kartex1, channel);
    return name.empty() ? tr("Kanal %1").arg(index + 1) : DeviceText(name);
}

// The legend shows from two channels on: each one's colour, name, newest value, and min, max and mean
// of its samples in view.
void TForm1::UpdateLegend() {
    TKartex& k = *Kartex1;
    if (view_.Series.size() < 2) return Legend->hide();
    std::vector<TChannelLegend::Row> rows;
    for (std::size_t i = 0; i < view_.Series.size(); ++i) {
        const SeriesView& sv = view_.Series[i];
        const ChannelSpan& c = sv.Span;
        const TItemStore& list = k.SeriesStore(c.Series);
        TChannelLegend::Row row;
        row.Name = ChannelLabel(c, static_cast<int>(i));
        row.Shown = k.ClassVisible(c.Class);
        if (c.End > c.Begin) {
            row.Color = list.Item(c.Begin).Color;
            row.Value = ValueText(list.Item(c.End - 1).Y, decimalSeparator_);
        }
        if (sv.InView.Count > 0) row.Stats = StatsText(sv.InView, decimalSeparator_, QStringLiteral("  "));
        rows.push_back(std::move(row));
    }
    // A legend wider than the plot gives up its statistics (the status bar has the first channel's).
    std::vector<TChannelLegend::Row> plain = rows;
    Legend->SetRows(std::move(rows));
    if (Legend->width() > k.PlotWidth() - 12) {
        for (TChannelLegend::Row& row : plain)
            row.Stats.clear();
        Legend->SetRows(std::move(plain));
    }
    Legend->move(LegendPlace());
    Legend->show();
}

// The legend goes into the corner of the plot where it covers the fewest samples, never over the newest
// sample's x (where a following view draws), and stays where it is unless another corner is clearly
// better: a legend that jumped from frame to frame would be harder to read than one that covers a little.
// The corners are weighed again when the range, the plot's or the legend's size or the channels shown
// change, or when a channel's newest sample comes under the legend.
QPoint TForm1::LegendPlace() {
    TKartex& k = *Kartex1;
    constexpr int kInset = 6;
    const int w = Legend->width(), h = Legend->height();
    // A legend wider than the plot still starts inside the chart: its names stay readable.
    const int left = k.LRim() + kInset, right = std::max(0, k.LRim() + k.PlotWidth() - w - kInset);
    const int top = k.TRim() + kInset, bottom = k.TRim() + k.PlotHeight() - h - kInset;
    const QPoint corners[] = {{right, top}, {left, top}, {right, bottom}, {left, bottom}};
    const auto xSpan = [&](QPoint at) {
        double xl = 0, yl = 0, xh = 0, yh = 0;
        k.PixelToWorld(1, at.x(), at.y() + h, xl, yl);
        k.PixelToWorld(1, at.x() + w, at.y(), xh, yh);
        return std::array<double, 4>{std::min(xl, xh), std::max(xl, xh), std::min(yl, yh), std::max(yl, yh)};
    };
    const std::size_t now = std::min<std::size_t>(legendCorner_, std::size(corners) - 1);
    std::vector<bool> shown;
    for (const SeriesView& sv : view_.Series)
        shown.push_back(sv.Shown);
    const auto span = xSpan(corners[now]);
    const bool newestUnder = std::any_of(view_.Series.begin(), view_.Series.end(), [&](const SeriesView& sv) {
        return sv.Shown && sv.NewestX >= span[0] && sv.NewestX <= span[1];
    });
    const LegendKey key{view_.Range, k.PlotWidth(), k.PlotHeight(), w, h, shown};
    if (key == legendKey_ && !newestUnder) return corners[now];
    legendKey_ = key;
    const auto covered = [&](QPoint at) {
        const auto [xl, xh, yl, yh] = xSpan(at);
        double samples = 0;
        for (const SeriesView& sv : view_.Series) {
            if (!sv.Shown) continue;
            if (sv.NewestX >= xl && sv.NewestX <= xh) samples += 1e12;
            const TYRange r = SamplesInView(k, sv.Span, xl, xh);
            if (r.Count > 0 && r.Max >= yl && r.Min <= yh) samples += r.Count;
        }
        return samples;
    };
    const double here = covered(corners[now]);
    std::size_t best = now;
    double fewest = here;
    for (std::size_t i = 0; i < std::size(corners); ++i)
        if (const double n = covered(corners[i]); n < fewest) {
            best = i;
            fewest = n;
        }
    if (fewest < here / 2 || here >= 1e12) legendCorner_ = best;
    return corners[legendCorner_];
}

void TForm1::ToggleChannel(int index) {
    const std::vector<ChannelSpan> channels = Channels();
    if (index < 0 || index >= static_cast<int>(channels.size())) return;
    const int itemClass = channels[static_cast<std::size_t>(index)].Class;
    HideReadOut();
    Kartex1->SetClassVisible(itemClass, !Kartex1->ClassVisible(itemClass));
    if (!FollowData()) Kartex1->Redraw();
}

// A crosshair through the sample nearest to the mouse's x in the first channel shown, and beside it the
// sample's number (or time) and every channel's value there.
void TForm1::ShowReadOut(double x) {
    TKartex& k = *Kartex1;
    if (k.XYSeries() >= 0) return HideReadOut(); // x is no sample's number there
    std::vector<ChannelSpan> channels = Channels();
    std::erase_if(channels,
                  [&k](const ChannelSpan& c) { return !k.ClassVisible(c.Class) || c.End <= c.Begin; });
    if (channels.empty()) return HideReadOut();
    const ChannelSpan& first = channels.front();
    const int i = NearestSample(k, first, x);
    if (i < 0 || !std::isfinite(k.SeriesStore(first.Series).Item(i).Y)) return HideReadOut();
    const TChartItem& it = k.SeriesStore(first.Series).Item(i);
    // Each value with its channel's unit, where it has one.
    const auto unit = [this](const ChannelSpan& c) {
        const std::string u = SplitChannelLabel(ChannelLabel(c, 0).toStdString()).second;
        return u.empty() ? u : " " + u;
    };
    std::string values = FormatPlotValue(static_cast<float>(it.Y), decimalSeparator_) + unit(first);
    for (std::size_t c = 1; c < channels.size(); ++c) {
        const int j = NearestSample(k, channels[c], it.X);
        const TChartItem& other = k.SeriesStore(channels[c].Series).Item(j);
        values += "  |  " +
                  (other.X == it.X
                       ? FormatPlotValue(static_cast<float>(other.Y), decimalSeparator_) + unit(channels[c])
                       : std::string("–"));
    }
    k.ShowReadOut(first.Series, i,
                  ReadOutX(Acq().State().TimeAxis, i - first.Begin, it.X, decimalSeparator_) + ": " + values);
}

void TForm1::HideReadOut() {
    Kartex1->HideReadOut();
}
