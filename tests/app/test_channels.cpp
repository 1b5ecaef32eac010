// Several channels through the window's chart: lines of values become one series per channel, drawn
// with the same pixels as one chart per channel; the file written channel after channel loads into one
// list that draws and exports the same, and whose channels are found again with their names.
#include "app/core/acquisition.h"
#include "app/core/csv_export.h"
#include "app/main_chart.h"
#include "chart/kartex.h"
#include "tests/chart/kartex_test_app.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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
        for (int y = 0; y < own.height(); ++y)
            for (int x = 0; x < own.width(); ++x)
                if (own.pixel(x, y) != background.pixel(x, y)) expected.setPixel(x, y, own.pixel(x, y));
    }
    EXPECT_TRUE(all == expected);

    // Saved channel after channel, loaded into one list: the same pixels, channels, names and CSV.
    TempDir dir;
    const std::string file = (dir / "channels.mvx").string();
    k.SaveItemFile(file);
    TKartex loaded;
    Show(loaded);
    loaded.LoadItemFile(file, true);
    EXPECT_EQ(loaded.SeriesCount(), 1);
    EXPECT_TRUE(Picture(loaded) == all);
    const std::vector<ChannelSpan> live = ChartChannels(k), found = ChartChannels(loaded);
    ASSERT_EQ(found.size(), live.size());
    std::ostringstream liveCsv, loadedCsv;
    std::vector<std::span<const TChartItem>> lists;
    std::vector<std::string> names;
    for (std::size_t c = 0; c < found.size(); ++c) {
        EXPECT_EQ(found[c].End - found[c].Begin, live[c].End - live[c].Begin);
        EXPECT_EQ(ChannelName(loaded, found[c]), std::string(1, static_cast<char>('a' + c)));
        EXPECT_EQ(loaded.Item(found[c].Begin).Color, ChannelColor(static_cast<int>(c)));
        const TItemStore& list = k.SeriesStore(static_cast<int>(c));
        lists.emplace_back(list.Items(), static_cast<std::size_t>(list.ItemCount()));
        names.push_back(acq.State().ChannelNames[c]);
    }
    WriteSamplesCsv(liveCsv, lists, names);
    WriteSamplesCsv(loadedCsv, std::span(loaded.Items(), static_cast<std::size_t>(loaded.ItemCount())));
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
