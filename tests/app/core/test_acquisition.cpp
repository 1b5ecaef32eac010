#include "app/core/acquisition.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Point {
    bool move;
    double x, y;
    double time = 0;
    int channel = 0;
    bool operator==(const Point&) const = default;
};

struct Recorder : SampleSink {
    std::vector<Point> points;
    void MoveToPoint(int c, double x, double y, double t) override { points.push_back({true, x, y, t, c}); }
    void LineToPoint(int c, double x, double y, double t) override { points.push_back({false, x, y, t, c}); }
};

// A clock the test sets; the calendar time stays 0 unless a test moves it.
struct Session {
    Acquisition acq;
    Recorder chart;
    ReceiveTime now{1000, 0};
    std::vector<std::pair<std::string, bool>> pane;
    Session(float scale = 1, int offset = 0) {
        acq.SetClock([this] { return now; });
        acq.State().DataScale = scale;
        acq.State().DataOffset = offset;
        acq.Restart();
    }
    int Feed(std::string_view bytes) {
        return acq.Receive(bytes, chart,
                           [this](std::string_view raw, bool sample) { pane.emplace_back(raw, sample); });
    }
};

} // namespace

TEST(Acquisition, FirstSampleAtZeroThenTheSampleNumber) {
    Session r;
    r.Feed("5\r6\r7\r");
    EXPECT_EQ(r.chart.points, (std::vector<Point>{{true, 0, 5}, {false, 2, 6}, {false, 3, 7}}));
    EXPECT_EQ(r.acq.State().SampleCount, 3);
    EXPECT_EQ(r.acq.State().RawText, "7");
}

TEST(Acquisition, ABreakMakesTheNextSampleAMoveAtItsNumber) {
    Session r;
    r.Feed("1\r2\r");
    r.acq.BreakLine();
    r.Feed("abc\r3\r4\r"); // a line without a sample leaves the break to the next sample
    EXPECT_EQ(r.chart.points, (std::vector<Point>{{true, 0, 1}, {false, 2, 2}, {true, 3, 3}, {false, 4, 4}}));
}

TEST(Acquisition, MergedAndSplitLinesGiveOneSampleEach) {
    Session r;
    EXPECT_EQ(r.Feed("12.5\r\n13.1\r\n"), 2);
    EXPECT_EQ(r.Feed("12."), 0);
    EXPECT_EQ(r.Feed("5\r"), 1);
    ASSERT_EQ(r.chart.points.size(), 3u);
    EXPECT_EQ(r.chart.points[0].y, 12.5);
    EXPECT_EQ(r.chart.points[1].y, 13.1f);
    EXPECT_EQ(r.chart.points[2].y, 12.5);
}

TEST(Acquisition, GarbageIsShownButIsNoSample) {
    Session r;
    r.Feed("abc\r\r  \r1.5x\rT=?\r-3x\r");
    EXPECT_EQ(r.pane, (std::vector<std::pair<std::string, bool>>{
                          {"abc", false}, {"1.5x", true}, {"T=?", false}, {"-3x", true}}));
    EXPECT_EQ(r.acq.State().SampleCount, 2);
    EXPECT_EQ(r.acq.State().NoSampleLines, 2); // the empty lines are no lines at all
    EXPECT_EQ(r.chart.points, (std::vector<Point>{{true, 0, 1.5}, {false, 2, -3}}));
}

TEST(Acquisition, ScaleAndOffsetInSinglePrecision) {
    // Inputs whose product and sum, each rounded to single, give another single than the extended
    // computation rounded once: 8.70000076 against 8.69999981.
    Session r(7.0f, 1);
    r.Feed("1.1\r");
    const float expected = static_cast<float>(static_cast<long double>(1.1f) * 7.0f + 1);
    const volatile float product = 1.1f * 7.0f;
    ASSERT_NE(static_cast<float>(product + 1.0f), expected);
    EXPECT_EQ(r.acq.State().RawValue, 1.1f);
    EXPECT_EQ(r.acq.State().PlotValue, expected);
    EXPECT_EQ(r.chart.points[0].y, static_cast<double>(expected));
}

TEST(Acquisition, FinishTakesThePendingLineAndRestartForgetsIt) {
    Session r;
    r.Feed("1\r2");
    EXPECT_EQ(r.acq.Finish(r.chart, nullptr), 1);
    EXPECT_EQ(r.acq.State().SampleCount, 2);
    EXPECT_EQ(r.acq.Finish(r.chart, nullptr), 0);

    r.Feed("99");
    r.acq.Restart();
    r.Feed("3\r");
    EXPECT_EQ(r.acq.State().SampleCount, 1);
    EXPECT_EQ(r.chart.points.back(), (Point{true, 0, 3}));
}

TEST(Acquisition, BadInputKeepsEveryValidLine) {
    Session r;
    std::string noise;
    for (int i = 0; i < 256; ++i)
        noise.push_back(static_cast<char>(i == '\r' || i == '\n' ? 'z' : i));
    std::string bytes = noise + "\r" + std::string("\0\0", 2) + "8\r" + std::string(1 << 20, '5') + "\r";
    for (int i = 0; i < 10000; ++i)
        bytes += "1\n";
    r.Feed(bytes);
    EXPECT_EQ(r.acq.State().SampleCount, 1 + 10000); // "8" after NULs (trimmed), then the 10000 lines
}

TEST(Acquisition, TimeAxisCountsSecondsFromRestartAndEveryPointKeepsItsCalendarTime) {
    for (const bool timeAxis : {false, true}) {
        Session r;
        r.acq.State().TimeAxis = timeAxis;
        r.now = {1000.5, 1.7e9};
        r.Feed("1\r");
        r.now = {1002.25, 1.7e9 + 1.75};
        r.Feed("2\r3\r");
        const std::vector<Point> expected = timeAxis ? std::vector<Point>{{true, 0.5, 1, 1.7e9},
                                                                          {false, 2.25, 2, 1.7e9 + 1.75},
                                                                          {false, 2.25, 3, 1.7e9 + 1.75}}
                                                     : std::vector<Point>{{true, 0, 1, 1.7e9},
                                                                          {false, 2, 2, 1.7e9 + 1.75},
                                                                          {false, 3, 3, 1.7e9 + 1.75}};
        EXPECT_EQ(r.chart.points, expected) << "time axis " << timeAxis;
    }
}

TEST(Acquisition, ChannelsShareTheLineXAndGapsBreakTheirLines) {
    Session r(2, 1);
    r.Feed("temp,hum\r1,10\r2\r3,30\r");
    const auto& s = r.acq.State();
    EXPECT_EQ(s.ChannelCount, 2);
    EXPECT_EQ(s.ChannelNames[0], "temp");
    EXPECT_EQ(s.ChannelNames[1], "hum");
    EXPECT_EQ(s.NoSampleLines, 1); // the header
    EXPECT_EQ(s.SampleCount, 3);
    EXPECT_EQ(s.ChannelValues[1], 61);
    // Scaled and offset like channel 1; the gap at x 2 makes channel 2 go on with a move.
    EXPECT_EQ(r.chart.points, (std::vector<Point>{{true, 0, 3, 0, 0},
                                                  {true, 0, 21, 0, 1},
                                                  {false, 2, 5, 0, 0},
                                                  {false, 3, 7, 0, 0},
                                                  {true, 3, 61, 0, 1}}));
}

// Messages of a channel of their own (a broker's topics): each value goes to its channel, named by the
// topic unless the line names it, and leaves the other channels' lines joined; a line of several values
// is an ordinary line, and a break after a loss breaks every channel.
TEST(Acquisition, MessagesOfTheirOwnChannelLeaveTheOthersJoined) {
    Session r;
    const auto message = [&](std::string_view line, int channel, std::string_view name) {
        return r.acq.ReceiveLine(line, channel, name, r.chart, {});
    };
    EXPECT_EQ(message("1", 0, "temp"), 1);
    EXPECT_EQ(message("10", 1, "hum"), 1);
    EXPECT_EQ(message("2", 0, "temp"), 1);
    EXPECT_EQ(message("p=20", 1, "hum"), 1);
    EXPECT_EQ(message("3,30", 1, "x"), 1);
    r.acq.BreakLine();
    EXPECT_EQ(message("4", 0, "temp"), 1);
    EXPECT_EQ(message(std::string(5000, '7'), 0, "temp"), 0); // over the line limit
    const auto& s = r.acq.State();
    EXPECT_EQ(s.ChannelCount, 2);
    EXPECT_EQ(s.ChannelNames[0], "temp");
    EXPECT_EQ(s.ChannelNames[1], "p");
    EXPECT_EQ(r.chart.points, (std::vector<Point>{{true, 0, 1, 0, 0},
                                                  {true, 2, 10, 0, 1},
                                                  {false, 3, 2, 0, 0},
                                                  {false, 4, 20, 0, 1},
                                                  {false, 5, 3, 0, 0},
                                                  {false, 5, 30, 0, 1},
                                                  {true, 6, 4, 0, 0}}));
}

// A channel's own factor or offset applies to it alone, what it lacks is the global one, and channel 1
// keeps the global pair whatever it is given; names come with their units.
TEST(Acquisition, ChannelsOfTheirOwnScaleOffsetAndUnit) {
    Session r(2, 1);
    auto& s = r.acq.State();
    s.Calibrations[0].Scale = 100; // channel 1: not its own
    s.Calibrations[1].Scale = 0.5;
    s.Calibrations[2].Offset = -0.25;
    r.Feed("temp[°C],p(hPa),I/A\r10,20,0.5\r");
    EXPECT_EQ(s.ChannelNames[1], "p");
    EXPECT_EQ(s.ChannelUnits[0], "°C");
    EXPECT_EQ(s.ChannelUnits[2], "A");
    ASSERT_EQ(r.chart.points.size(), 3u);
    EXPECT_EQ(r.chart.points[0].y, 21);   // 10 × 2 + 1
    EXPECT_EQ(r.chart.points[1].y, 11);   // 20 × 0.5 + 1
    EXPECT_EQ(r.chart.points[2].y, 0.75); // 0.5 × 2 − 0.25
}
