// Several channels through the window's chart: lines of values become one series per channel, drawn
// with the same pixels as one chart per channel; the file written channel after channel loads into one
// list that draws and exports the same, and whose channels are found again with their names.
#include "app/core/acquisition.h"
#include "app/core/csv_export.h"
#include "app/core/journal.h"
#include "app/main_chart.h"
#include "chart/core/item_file.h"
#include "chart/kartex.h"
#include "tests/chart/kartex_test_app.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

namespace {

void Show(TKartex& k) {
    ConfigureMainChart(k);
    k.SetBounds(0, 0, 449, 361);
    k.SetScaleRange(1, 0, -10, 400, 110);
    k.show();
}

QImage Picture(TKartex& k) {
    k.Paint();
    return k.PlotBitmap().copy();
}

// What one chart draws over the empty one's picture goes over `expected`, as a later channel covers an
// earlier one.
void DrawOver(QImage& expected, const QImage& own, const QImage& background) {
    for (int y = 0; y < own.height(); ++y)
        for (int x = 0; x < own.width(); ++x)
            if (own.pixel(x, y) != background.pixel(x, y)) expected.setPixel(x, y, own.pixel(x, y));
}

} // namespace

TEST(Channels, EachSeriesDrawsAsItsOwnChartAndTheFileAsTheSeries) {
    constexpr int kChannels = 5;
    TKartex k;
    Show(k);
    k.SetDataColor(kDataColor);
    KartexSink sink(k);
    Acquisition acq;
    acq.State().DataScale = 1;
    acq.Restart();
    std::string lines = "a,b,c,d,e\r";
    for (int i = 0; i < 400; ++i) {
        for (int c = 0; c < kChannels; ++c) {
            // Channel 3 leaves gaps; the others cross each other.
            if (c == 2 && i % 37 < 3) {
                lines += ',';
                continue;
            }
            lines += std::to_string(50 + 45 * std::sin(i * (0.02 + 0.01 * c) + c)) +
                     (c + 1 < kChannels ? "," : "");
        }
        lines += '\r';
    }
    acq.Receive(lines, sink, nullptr);
    ASSERT_EQ(k.SeriesCount(), kChannels);
    const QImage all = Picture(k);

    // One chart per channel, its items as one list; what a later channel draws covers the earlier ones.
    QImage expected = all.copy();
    TKartex empty;
    Show(empty);
    const QImage background = Picture(empty);
    expected.fill(0);
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            expected.setPixel(x, y, background.pixel(x, y));
    for (int c = 0; c < kChannels; ++c) {
        TKartex one;
        Show(one);
        const TItemStore& list = k.SeriesStore(c);
        for (int i = 0; i < list.ItemCount(); ++i)
            one.AddItem(list.Item(i));
        const QImage own = Picture(one);
        DrawOver(expected, own, background);
    }
    EXPECT_TRUE(all == expected);

    // Saved channel after channel, loaded again as a series per channel, each a stretch of the one loaded
    // block (no copy): the same pixels, channels, names and CSV.
    TempDir dir;
    const std::string file = (dir / "channels.mvx").string();
    k.SaveItemFile(file);
    TKartex loaded;
    Show(loaded);
    loaded.LoadItemFile(file, true);
    EXPECT_EQ(loaded.SeriesCount(), kChannels);
    EXPECT_TRUE(Picture(loaded) == all);
    const std::vector<ChannelSpan> live = ChartChannels(k), found = ChartChannels(loaded);
    ASSERT_EQ(found.size(), live.size());
    std::ostringstream liveCsv, loadedCsv;
    std::vector<std::span<const TChartItem>> lists, loadedLists;
    std::vector<std::string> names, loadedNames;
    for (std::size_t c = 0; c < found.size(); ++c) {
        EXPECT_EQ(found[c].End - found[c].Begin, live[c].End - live[c].Begin);
        EXPECT_EQ(ChannelName(loaded, found[c]), std::string(1, static_cast<char>('a' + c)));
        const TItemStore& own = loaded.SeriesStore(found[c].Series);
        EXPECT_EQ(own.Item(found[c].Begin).Color, ChannelColor(static_cast<int>(c)));
        if (c > 0) {
            const TItemStore& before = loaded.SeriesStore(found[c - 1].Series);
            EXPECT_EQ(own.Items(), before.Items() + before.ItemCount());
        }
        const TItemStore& list = k.SeriesStore(static_cast<int>(c));
        lists.emplace_back(list.Items(), static_cast<std::size_t>(list.ItemCount()));
        names.push_back(acq.State().ChannelNames[c]);
        loadedLists.emplace_back(own.Items(), static_cast<std::size_t>(own.ItemCount()));
        loadedNames.push_back(ChannelName(loaded, found[c]));
    }
    WriteSamplesCsv(liveCsv, lists, names);
    WriteSamplesCsv(loadedCsv, loadedLists, loadedNames);
    std::ostringstream fileCsv;
    WriteSamplesCsv(fileCsv, ItemFileReader(file));
    EXPECT_EQ(fileCsv.str(), liveCsv.str());
    EXPECT_EQ(loadedCsv.str(), liveCsv.str());
    EXPECT_EQ(liveCsv.str().substr(0, liveCsv.str().find('\r')), "sample,time,a,b,c,d,e");
    // The gap of channel 3 at the first line leaves its field empty.
    std::istringstream rows(liveCsv.str());
    std::string header, first;
    std::getline(rows, header);
    std::getline(rows, first);
    EXPECT_EQ(std::count(first.begin(), first.end(), ','), 6);
    EXPECT_NE(first.find(",,", 3), std::string::npos) << first;
}

// A header line that comes after the first samples names the channels all the same: in the journal's
// run, the saved file, the loaded chart and the CSV, the newest name of each channel. A device of one
// value keeps its file byte for byte.
TEST(Channels, AHeaderThatComesLaterNamesTheChannels) {
    struct Case {
        std::string lines;
        std::vector<std::string> names; // as the file's channels carry them
        std::string plain;              // the same samples without names, for one channel
    };
    const std::vector<Case> cases = {
        {"1,2\r3,4\rtemp,hum\r5,6\r", {"temp", "hum"}, {}},
        {"temp,hum\r1,2\r3,4\r", {"temp", "hum"}, {}},
        {"a,b\r1,2\rx,y\r3,4\r", {"x", "y"}, {}},
        {"1,2\r3,4\rtemp:5,hum:6\r", {"temp", "hum"}, {}},
        {"1\r2\rtemp,hum\r3,4\r", {"temp", "hum"}, {}},
        {"1,2,3\rp,,q\r4,5,6\r", {"p", "", "q"}, {}},
        {"1,2\rtemperature_outside,h\r3,4\r", {"temperature_outsi", "h"}, {}},
        {"1\r2\rtemp: 3\rtemp,\r4\r", {""}, "1\r2\r3\r4\r"},
        {"1,2\rtemp[°C],p(hPa)\r3,4\r", {"temp [°C]", "p [hPa]"}, {}}, // units travel with the names
    };
    const auto acquire = [](const std::string& lines, TKartex& k, const std::string& folder) {
        k.SetDataColor(kDataColor);
        KartexSink sink(k);
        Journal journal;
        journal.Begin(folder, 1765251720);
        sink.OnNewList = [&](int channel, TItemStore& list) { journal.Back(list, channel); };
        Acquisition acq;
        acq.SetClock([] { return ReceiveTime{1000, 1765251720.5}; });
        acq.State().DataScale = 1;
        acq.Restart();
        for (std::size_t at = 0; at < lines.size();) { // a line per notification
            const std::size_t end = lines.find('\r', at) + 1;
            acq.Receive(std::string_view(lines).substr(at, end - at), sink, nullptr);
            journal.Follow();
            at = end;
        }
        const std::string run = journal.Path();
        journal.End();
        return run;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        TempDir dir;
        TKartex k;
        Show(k);
        const std::string run = acquire(c.lines, k, (dir / "journal").string());
        const std::string saved = (dir / "saved.mvx").string();
        k.SaveItemFile(saved);
        const std::vector<TChartItem> journaled = LoadItems(run), items = LoadItems(saved);
        EXPECT_TRUE(std::equal(
            journaled.begin(), journaled.end(), items.begin(), items.end(),
            [](const TChartItem& a, const TChartItem& b) { return !std::memcmp(&a, &b, sizeof a); }));

        TKartex loaded;
        Show(loaded);
        loaded.LoadItemFile(saved, true);
        const std::vector<ChannelSpan> found = ChartChannels(loaded);
        ASSERT_EQ(found.size(), c.names.size());
        std::string header = c.names.size() > 1 ? "sample,time" : "sample,time,value";
        for (std::size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(ChannelName(loaded, found[i]), c.names[i]) << i;
            if (c.names.size() > 1)
                header += "," + (c.names[i].empty() ? "value" + std::to_string(i + 1) : c.names[i]);
        }
        std::ostringstream csv;
        WriteSamplesCsv(csv, std::span(items));
        EXPECT_EQ(csv.str().substr(0, csv.str().find('\r')), header);

        if (!c.plain.empty()) {
            TKartex plain;
            Show(plain);
            acquire(c.plain, plain, (dir / "plain").string());
            plain.SaveItemFile((dir / "plain.mvx").string());
            const std::vector<TChartItem> expected = LoadItems((dir / "plain.mvx").string());
            ASSERT_EQ(items.size(), expected.size());
            EXPECT_EQ(std::memcmp(items.data(), expected.data(), items.size() * sizeof(TChartItem)), 0);
        }
    }
}

// A channel on the right axis draws as the same channel alone on the left axis with the right one's
// range; the rest of the chart stays as it was. Its records carry the axis, so the file loads back with
// it; fitting the right axis spans that channel alone.
TEST(Channels, ARightAxisDrawsItsChannelAgainstARangeOfItsOwn) {
    const auto show = [](TKartex& k) {
        Show(k);
        SetRightAxis(k, true);
    };
    TKartex k;
    show(k);
    k.SetDataColor(kDataColor);
    KartexSink sink(k);
    sink.SetChannelLayer(1, kRightAxisLayer);
    Acquisition acq;
    acq.State().DataScale = 1;
    acq.Restart();
    std::string lines;
    for (int i = 0; i < 400; ++i)
        lines += std::to_string(50 + 45 * std::sin(i * 0.03)) + "," +
                 std::to_string(1500 + 400 * std::cos(i * 0.05)) + "\r";
    acq.Receive(lines, sink, nullptr);
    k.SetLayerRange(kRightAxisLayer, 0, 900, 400, 2100);
    const QImage all = Picture(k);

    TKartex empty;
    show(empty);
    const QImage background = Picture(empty);
    QImage expected = background.copy();
    for (int c = 0; c < 2; ++c) {
        TKartex one;
        show(one);
        if (c == 1) one.SetScaleRange(1, 0, 900, 400, 2100);
        const TItemStore& list = k.SeriesStore(c);
        for (int i = 0; i < list.ItemCount(); ++i) {
            TChartItem it = list.Item(i);
            EXPECT_EQ(it.Layer, c == 0 ? 1 : kRightAxisLayer);
            it.Layer = 1;
            one.AddItem(it);
        }
        const QImage own = Picture(one);
        DrawOver(expected, own, background);
    }
    EXPECT_TRUE(all == expected);

    TempDir dir;
    const std::string file = (dir / "right.mvx").string();
    k.SaveItemFile(file);
    TKartex loaded;
    Show(loaded);
    loaded.LoadItemFile(file, true);
    ShowAxesOfChannels(loaded);
    EXPECT_TRUE(RightAxisShown(loaded));
    loaded.SetLayerRange(kRightAxisLayer, 0, 900, 400, 2100);
    EXPECT_TRUE(Picture(loaded) == all);
    FitRightAxis(loaded);
    EXPECT_NEAR(loaded.ScaleY(kRightAxisLayer)->RangeLow(), 1100 - 40, 1);
    EXPECT_NEAR(loaded.ScaleY(kRightAxisLayer)->RangeHigh(), 1900 + 40, 1);
    EXPECT_EQ(loaded.Scale1Y()->RangeLow(), -10); // the left axis keeps its range

    // Back on the left: the chart is the plain one again, rims and all.
    SetRightAxis(loaded, false);
    TKartex plain;
    Show(plain);
    EXPECT_EQ(loaded.RRim(), plain.RRim());
}

// Lanes: each band of the plot is the picture of a chart whose plot is that band alone, holding that
// lane's channel on its left axis with the lane's range (grid, frame and the line between the bands
// included); the file keeps the lanes, and a chart without them is the plain one again.
TEST(Channels, EachLaneDrawsAsAChartOfItsBand) {
    TKartex k;
    Show(k);
    KartexSink sink(k);
    sink.SetChannelLayer(1, LaneLayer(1));
    sink.SetChannelLayer(2, LaneLayer(2));
    Acquisition acq;
    acq.State().DataScale = 1;
    acq.Restart();
    std::string lines;
    for (int i = 0; i < 400; ++i)
        lines += std::to_string(50 + 45 * std::sin(i * 0.03)) + "," +
                 std::to_string(1500 + 400 * std::cos(i * 0.05)) + "," +
                 std::to_string(0.004 + 0.002 * std::sin(i * 0.1)) + "\r";
    acq.Receive(lines, sink, nullptr);
    EXPECT_EQ(LaneLayers(k), (std::vector<int>{3, 4}));
    EXPECT_TRUE(ArrangeLanes(k));
    const std::pair<double, double> ranges[] = {{-10, 110}, {1000, 2000}, {0.001, 0.007}};
    k.SetLayerRange(3, 0, 1000, 400, 2000);
    k.SetLayerRange(4, 0, 0.001, 400, 0.007);
    const QImage all = Picture(k);
    for (int c = 0; c < 3; ++c) {
        SCOPED_TRACE(c);
        const int layer = c == 0 ? 1 : LaneLayer(c);
        const auto [first, last] = k.BandRows(layer);
        TKartex one;
        Show(one);
        one.SetLRim(k.LRim());
        one.SetTRim(k.TRim() + first);
        one.SetBRim(k.BRim() + k.PlotHeight() - last);
        one.SetScaleRange(1, 0, ranges[c].first, 400, ranges[c].second);
        const TItemStore& list = k.SeriesStore(c);
        for (int i = 0; i < list.ItemCount(); ++i) {
            TChartItem it = list.Item(i);
            EXPECT_EQ(it.Layer, layer);
            it.Layer = 1;
            one.AddItem(it);
        }
        EXPECT_TRUE(Picture(one) == all.copy(0, first, all.width(), last - first + 1));
    }

    TempDir dir;
    const std::string file = (dir / "lanes.mvx").string();
    k.SaveItemFile(file);
    TKartex loaded;
    Show(loaded);
    loaded.LoadItemFile(file, true);
    ShowAxesOfChannels(loaded); // the lanes, each fitted to its samples
    EXPECT_EQ(loaded.BandRows(4), k.BandRows(4));
    EXPECT_NEAR(loaded.ScaleY(3)->RangeLow(), 1100 - 40, 1);
    loaded.SetLayerRange(3, 0, 1000, 400, 2000);
    loaded.SetLayerRange(4, 0, 0.001, 400, 0.007);
    EXPECT_TRUE(Picture(loaded) == all);

    for (int c = 1; c < 3; ++c)
        loaded.SeriesStore(c).SetLayer(1);
    EXPECT_FALSE(ArrangeLanes(loaded));
    EXPECT_FALSE(loaded.Banded());
    TKartex plain;
    Show(plain);
    EXPECT_EQ(loaded.LRim(), plain.LRim());
}

// XY: each channel against channel 1 draws as the line through the pairs of one line's values, the
// same pixels as that line made of items; a gap in either breaks it, and a trail keeps the newest.
TEST(Channels, XYDrawsEachChannelAgainstAnother) {
    TKartex k;
    Show(k);
    KartexSink sink(k);
    Acquisition acq;
    acq.State().DataScale = 1;
    acq.Restart();
    std::vector<std::string> lines;
    std::vector<std::array<double, 3>> values;
    for (int i = 0; i < 300; ++i) {
        const double x = 50 + 40 * std::sin(i * 0.05), a = 50 + 40 * std::sin(i * 0.11), b = 20 + i % 7;
        values.push_back({x, a, b});
        // Channel 3 leaves a gap at line 100: its line breaks there, channel 2's does not.
        lines.push_back(std::to_string(x) + "," + std::to_string(a) + "," +
                        (i == 100 ? "" : std::to_string(b)) + "\r");
    }
    k.SetScaleRange(1, 0, 0, 100, 100);
    k.SetXYView(0);
    // A picture between appends goes on from the one before (the gap ends a run of appends).
    for (const auto& [from, to] : {std::pair{0, 60}, {60, 101}, {101, 300}}) {
        Picture(k);
        std::string run;
        for (int i = from; i < to; ++i)
            run += lines[static_cast<std::size_t>(i)];
        acq.Receive(run, sink, nullptr);
    }
    const auto expected = [&](int first) {
        TKartex one;
        Show(one);
        one.SetScaleRange(1, 0, 0, 100, 100);
        for (int c = 1; c < 3; ++c) {
            TChartItem it = MakeItem(ikMoveTo, 0, 0, 0, 0, ChannelColor(c));
            for (int i = first; i < 300; ++i) {
                if (c == 2 && i == 100) {
                    it.Kind = ikMoveTo;
                    continue;
                }
                it.X = values[static_cast<std::size_t>(i)][0];
                it.Y = values[static_cast<std::size_t>(i)][static_cast<std::size_t>(c)];
                one.AddItem(it);
                it.Kind = ikLineTo;
            }
        }
        return Picture(one);
    };
    EXPECT_TRUE(Picture(k) == expected(0));
    k.SetXYView(0, 120);
    EXPECT_EQ(k.XYFirst(), 180);
    EXPECT_TRUE(Picture(k) == expected(180));
    FitXY(k, true, true); // both axes span the trail's values with FitY's margins
    EXPECT_LT(k.Scale1X()->RangeLow(), 10.5);
    EXPECT_GT(k.Scale1X()->RangeHigh(), 89.5);
    EXPECT_NEAR(k.Scale1Y()->RangeLow(), 10 - 4, 0.5);
    // A partner appended after a picture joins the line as if it had come with its pair.
    const auto fresh = [&] {
        TKartex one;
        Show(one);
        one.SetScaleRange(1, 0, 0, 100, 100);
        one.EnsureSeries(3);
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < k.SeriesStore(c).ItemCount(); ++i)
                one.SeriesStore(c).AppendItem(k.SeriesStore(c).Item(i));
        one.SetXYView(0);
        return Picture(one);
    };
    k.SetXYView(0);
    k.SetScaleRange(1, 0, 0, 100, 100);
    for (int c = 0; c < 3; ++c) {
        k.SeriesStore(c).LineToPoint(301, 95 - 5 * c);
        EXPECT_TRUE(Picture(k) == fresh()) << "after channel " << c + 1;
    }
    k.SetXYView(-1);
    k.SetScaleRange(1, 0, -10, 400, 110);
    TKartex plain;
    Show(plain);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < k.SeriesStore(c).ItemCount(); ++i)
            plain.AddItem(k.SeriesStore(c).Item(i));
    EXPECT_TRUE(Picture(k) == Picture(plain)); // the ordinary picture again
}
