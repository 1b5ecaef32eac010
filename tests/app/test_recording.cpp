// A run through the recording's seams alone: a source of its own (what a network source will be), the
// chart's lists, a further sink and a real journal folder. The source goes away and comes back, the
// line limit is reached, and the run ends with the journal's file holding every sample.
#include "app/main_chart.h"
#include "app/network_sources.h"
#include "app/recording.h"
#include "chart/core/item_file.h"
#include "chart/kartex.h"
#include "tests/wait.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Bytes handed in by the test; it can be taken away and put back.
class ScriptedSource : public ByteSource {
public:
    void Open() override {
        if (!there) throw std::runtime_error("not there");
        open = true;
        ++opens;
    }
    void Close() override { open = false; }
    bool IsOpen() const override { return open; }
    bool Present() const override { return there; }
    std::string Where() const override { return "script"; }
    bool Write(std::string_view bytes) override {
        ++asked;
        if (open) written.emplace_back(bytes);
        return open;
    }
    void Send(const std::string& bytes) { OnBytes(bytes); }
    void Unplug() {
        there = open = false;
        OnLost();
    }
    bool there = true, open = false;
    int opens = 0;
    std::vector<std::string> written;
    int asked = 0; // writes tried, also while away
};

// Counts every sample it is given, pen moves apart.
struct CountingSink : SampleSink {
    void MoveToPoint(int, double, double, double) override { ++moves; }
    void LineToPoint(int, double, double, double) override { ++lines; }
    int moves = 0, lines = 0;
};

TEST(Recording, ASourceOfItsOwnGoesAwayComesBackAndEndsAtTheLimit) {
    QTemporaryDir folder;
    TKartex chart;
    KartexSink lists(chart);
    ScriptedSource source;
    Recording run(source, lists);
    CountingSink counted;
    run.AddSink(counted);
    run.SetJournalFolder(folder.path().toStdString());
    run.SetLineLimit(6);
    int full = 0, changes = 0;
    run.OnFull = [&] { ++full; };
    run.OnStateChanged = [&] { ++changes; };
    run.Acq().State().DataScale = 1;
    run.Start();
    ASSERT_TRUE(run.RunJournal().Active());

    source.Send("1,10\r2,20\r3");
    EXPECT_EQ(chart.SeriesCount(), 2);
    EXPECT_EQ(chart.SeriesStore(1).ItemCount(), 2);
    source.Unplug(); // the pending "3" is taken as the device sends no more of it
    EXPECT_TRUE(run.Waiting());
    EXPECT_EQ(run.Losses(), 1);
    EXPECT_EQ(chart.SeriesStore(0).ItemCount(), 3);
    EXPECT_TRUE(run.TakeLossReport("gone"));
    EXPECT_FALSE(run.TakeLossReport("later")); // only the report that came with the loss
    EXPECT_EQ(run.LossMessage(), "gone");
    source.Send("9\r"); // nothing is read while the source is away
    EXPECT_EQ(chart.SeriesStore(0).ItemCount(), 3);

    QCoreApplication::processEvents();
    EXPECT_TRUE(run.Waiting()); // not there yet: no open is tried
    EXPECT_EQ(source.opens, 1);
    source.there = true;
    ASSERT_TRUE(WaitUntilHolds([&] { return !run.Waiting(); }, 10));
    EXPECT_EQ(source.opens, 2);
    EXPECT_EQ(changes, 3); // away, its report, back

    // After the break the line starts anew: a pen move, then line items; lines past the limit are dropped.
    source.Send("4,40\r5,50\r6,60\r7,70\r");
    EXPECT_EQ(full, 1);
    EXPECT_EQ(run.LinesTaken(), 6);
    const TChartItem& afterBreak = chart.SeriesStore(0).Item(3);
    EXPECT_EQ(afterBreak.Kind, ikMoveTo);
    EXPECT_EQ(afterBreak.Y, 4);
    EXPECT_EQ(counted.moves + counted.lines, 3 + 2 + 3 * 2); // channel 2 had no value on line "3"

    const Recording::Ended ended = run.Stop();
    EXPECT_FALSE(run.Running());
    EXPECT_FALSE(source.open);
    ASSERT_TRUE(ended.Whole);
    // The journal's run is the chart's lists, channel after channel, record for record.
    const std::vector<TChartItem> kept = LoadItems(ended.Run);
    ASSERT_EQ(kept.size(), ChartRecordCount(chart));
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const int first = chart.SeriesStore(0).ItemCount();
        const TChartItem& shown = i < static_cast<std::size_t>(first)
                                      ? chart.SeriesStore(0).Item(static_cast<int>(i))
                                      : chart.SeriesStore(1).Item(static_cast<int>(i) - first);
        EXPECT_EQ(kept[i].Y, shown.Y) << i;
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

namespace {
// The values of a chart's first list, and whether each began a stretch of the line.
std::vector<std::pair<double, bool>> Values(const TKartex& chart) {
    std::vector<std::pair<double, bool>> v;
    for (int i = 0; i < chart.Store().ItemCount(); ++i)
        v.emplace_back(chart.Store().Item(i).Y, chart.Store().Item(i).Kind == ikMoveTo);
    return v;
}

bool WaitFor(const std::function<bool()>& pred) {
    return WaitUntilHolds(pred, 30);
}

SourceUrl Loopback(SourceUrl::Kind kind, quint16 port) {
    SourceUrl url;
    url.Type = kind;
    url.Host = "127.0.0.1";
    url.Port = port;
    return url;
}

// A loopback port no socket holds now (0 when none could be found).
quint16 FreeUdpPort() {
    QUdpSocket probe;
    return probe.bind(QHostAddress::LocalHost, 0) ? probe.localPort() : 0;
}
} // namespace

// A TCP server's stream over loopback: lines framed whatever the writes, the connection lost and made
// again by the recording's reconnect while the run goes on, its next sample a new stretch.
TEST(Recording, ATcpSourceFramesItsStreamAndConnectsAgainAfterALoss) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TKartex chart;
    KartexSink lists(chart);
    TcpSource source(Loopback(SourceUrl::Kind::Tcp, server.serverPort()));
    Recording run(source, lists);
    run.Acq().State().DataScale = 1;
    run.Start();
    ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }));
    QTcpSocket* peer = server.nextPendingConnection();
    peer->write("1\r2");
    ASSERT_TRUE(WaitFor([&] { return chart.Store().ItemCount() == 1; }));
    peer->write("\r3\r\n");
    ASSERT_TRUE(WaitFor([&] { return chart.Store().ItemCount() == 3; }));
    peer->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return run.Waiting(); }));
    ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections() && !run.Waiting(); }));
    peer = server.nextPendingConnection();
    peer->write("4\n5\n");
    ASSERT_TRUE(WaitFor([&] { return chart.Store().ItemCount() == 5; }));
    EXPECT_EQ(Values(chart), (std::vector<std::pair<double, bool>>{
                                 {1, true}, {2, false}, {3, false}, {4, true}, {5, false}}));
    EXPECT_EQ(run.Losses(), 1);
    run.Stop();
    const quint16 was = server.serverPort();
    server.close();
    TcpSource refused(Loopback(SourceUrl::Kind::Tcp, was)); // nobody listens there any more
    EXPECT_THROW(refused.Open(), std::runtime_error);
}

// Datagrams over loopback: one holds many lines, a line never goes on into the next one, and a second
// listener on the same port is refused with the reason.
TEST(Recording, EachDatagramEndsItsLastLine) {
    const quint16 port = FreeUdpPort();
    ASSERT_NE(port, 0);
    TKartex chart;
    KartexSink lists(chart);
    UdpSource source(Loopback(SourceUrl::Kind::Udp, port));
    Recording run(source, lists);
    run.Acq().State().DataScale = 1;
    run.Start();
    EXPECT_EQ(source.Where(), "udp://127.0.0.1:" + std::to_string(port));
    UdpSource second(Loopback(SourceUrl::Kind::Udp, port));
    EXPECT_THROW(second.Open(), std::runtime_error);
    QUdpSocket sender;
    for (const char* datagram : {"1\n2\n3", "4", "5\r6\r"})
        sender.writeDatagram(datagram, QHostAddress::LocalHost, port);
    ASSERT_TRUE(WaitFor([&] { return chart.Store().ItemCount() == 6; }));
    std::vector<double> got;
    for (const auto& [y, moved] : Values(chart))
        got.push_back(y);
    EXPECT_EQ(got, (std::vector<double>{1, 2, 3, 4, 5, 6}));
    run.Stop();
}

// A flood of datagrams leaves the event loop its turns: a timer fires while the flood goes on (the
// window's frames and the recording's deadlines are such timers).
TEST(Recording, ADatagramFloodLeavesTheEventLoopItsTurns) {
    const quint16 port = FreeUdpPort();
    ASSERT_NE(port, 0);
    TKartex chart;
    KartexSink lists(chart);
    UdpSource source(Loopback(SourceUrl::Kind::Udp, port));
    Recording run(source, lists);
    std::vector<std::string> dropped;
    source.OnDropped = [&](const std::string& text) { dropped.push_back(text); };
    run.Start();
    std::atomic<bool> fired{false}, flooding{true};
    std::thread flood([&] {
        const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::string lines;
        for (int i = 0; i < 100; ++i)
            lines += std::to_string(i) + "\n";
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!fired && std::chrono::steady_clock::now() < until)
            ::sendto(s, lines.data(), lines.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        ::close(s);
        flooding = false;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the flood is under way
    QTimer::singleShot(10, [&] { fired = fired || flooding; });
    WaitFor([&] { return fired || !flooding; });
    flood.join();
    EXPECT_TRUE(fired);
    EXPECT_GT(chart.Store().ItemCount(), 0);
    // What the kernel dropped meanwhile is told, once (where the kernel shows its count).
    if (source.Dropped() >= 0) {
        ASSERT_TRUE(WaitFor([&] { return !dropped.empty(); }));
        QTest::qWait(600);
        ASSERT_EQ(dropped.size(), 1u);
        EXPECT_NE(dropped[0].find("Datagramme an udp://127.0.0.1:"), std::string::npos) << dropped[0];
    }
    run.Stop();
}

// A polled query while the source comes and goes: the init command goes first at every open, no poll
// is sent while the source is away, the polls go on when it is back, and Stop ends them; the poll
// makes a mark when it begins and when it ends, none per poll.
TEST(Recording, APollPausesWhileTheSourceIsAwayAndStopsWithTheRun) {
    TKartex chart;
    KartexSink lists(chart);
    ScriptedSource source;
    Recording run(source, lists);
    std::vector<std::string> marks;
    run.OnMark = [&](const std::string& text) { marks.push_back(text); };
    run.SetInitCommands({"INIT\r"}, {"INIT"});
    run.Start();
    run.StartPoll("Q\r", 10, "Q");
    ASSERT_TRUE(WaitFor([&] { return source.written.size() >= 4; }));
    EXPECT_EQ(source.written.front(), "INIT\r");
    source.Unplug();
    const std::size_t before = source.written.size();
    const int asked = source.asked;
    QTest::qWait(100); // ten ticks of the poll while the source is away: not one is tried
    EXPECT_EQ(source.asked, asked);
    source.there = true;
    ASSERT_TRUE(WaitFor([&] { return !run.Waiting() && source.written.size() >= before + 3; }));
    EXPECT_EQ(source.written[before], "INIT\r"); // again first after the reopen
    for (std::size_t i = 1; i < source.written.size(); ++i)
        if (i != before) {
            EXPECT_EQ(source.written[i], "Q\r") << i;
        }
    run.Stop();
    const std::size_t stopped = source.written.size();
    QTest::qWait(50);
    EXPECT_EQ(source.written.size(), stopped);
    EXPECT_FALSE(run.Polling());
    EXPECT_EQ(marks, (std::vector<std::string>{"INIT", "Abfrage Q", "Ende Q"}));
}
