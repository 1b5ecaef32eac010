// The window reading network sources beside its serial port, through its real widgets: a UDP
// listener set in "Quellen" (sources that are no network source refused, saying why), a simulated
// device of two channels and datagrams from the test in one run, every sample of both in the chart
// under its source's name, the status bar saying where the listener listens, and the journal's run
// holding every channel.
#include "app/channel_legend.h"
#include "app/error_box.h"
#include "app/main_window.h"
#include "app/source_dialog.h"
#include "chart/core/item_file.h"
#include "chart/kartex.h"
#include "sim_process.h"
#include "tests/broker_process.h"
#include "tests/wait.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

namespace {

// A window that keeps its runs and its settings in a scratch folder; what its error box would show is
// collected.
class WindowSources : public ::testing::Test {
protected:
    void SetUp() override {
        errorbox::SetShow([this](const QString& m) { errors << m; });
        form = std::make_unique<TForm1>();
        form->RememberSettings(std::make_unique<QSettings>(ini, QSettings::IniFormat));
        form->KeepJournal(dir.filePath("journal").toStdString());
        form->show();
    }
    void TearDown() override {
        form.reset();
        errorbox::SetShow({});
    }

    QTemporaryDir dir;
    const QString ini = dir.filePath("mevrant.conf");
    QStringList errors;
    std::unique_ptr<TForm1> form;
};

} // namespace

TEST_F(WindowSources, AUdpSourceBesideThePortKeepsEverySampleOfBoth) {
    quint16 port = 0;
    {
        QUdpSocket probe;
        ASSERT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
        port = probe.localPort();
    }
    const QString listener = QString("udp://127.0.0.1:%1").arg(port);
    form->SetSourceDialog([&](SourceDialog& d) {
        for (const char* refused : {"/dev/ttyS0", "influx+http://db/lab", "tcp://:23"}) {
            d.UrlEdit()->setText(refused);
            EXPECT_FALSE(d.AddUrl()) << refused;
            EXPECT_FALSE(d.Problem()->text().isEmpty()) << refused;
        }
        d.UrlEdit()->setText(QString("udp://:%1").arg(port)); // on this machine unless told
        EXPECT_TRUE(d.AddUrl()) << d.Problem()->text().toStdString();
        d.accept();
    });
    form->QuellenClick();
    ASSERT_EQ(form->Sources(), QStringList{listener});
    EXPECT_EQ(QSettings(ini, QSettings::IniFormat).value("sources/extra").toStringList(),
              QStringList{listener});

    constexpr int kLines = 300, kDatagrams = 100;
    SimProcess sim({"--channels", "2", "--count", QString::number(kLines), "--rate", "1000", "--wave", "ramp",
                    "--decimals", "0"});
    form->SelectPort(sim.Path());
    form->StartButtonClick();
    ASSERT_TRUE(form->Acquiring()) << errors.join("; ").toStdString();
    EXPECT_EQ(form->SourcesStatusLabel->text(), "2: lauscht auf " + listener);
    TKartex& k = *form->Kartex1;
    // The port's channels first show, then the listener's: it numbers after them.
    ASSERT_TRUE(WaitUntilHolds([&] { return k.SeriesCount() == 2 && k.SeriesStore(1).ItemCount() > 0; }, 20));
    QUdpSocket sender;
    for (int i = 0; i < kDatagrams; ++i) {
        sender.writeDatagram("temp:" + QByteArray::number(1000 + i) + "\n", QHostAddress::LocalHost, port);
        QApplication::processEvents();
    }
    ASSERT_TRUE(WaitUntilHolds(
        [&] {
            return k.SeriesCount() == 3 && k.SeriesStore(0).ItemCount() == kLines &&
                   k.SeriesStore(1).ItemCount() == kLines && k.SeriesStore(2).ItemCount() == kDatagrams;
        },
        20))
        << k.SeriesStore(0).ItemCount() << " " << k.SeriesStore(1).ItemCount() << " "
        << k.SeriesStore(2).ItemCount();
    for (int i = 0; i < kDatagrams; ++i)
        ASSERT_EQ(k.SeriesStore(2).Item(i).Y, 1000 + i) << i;
    QApplication::processEvents();
    const TChannelLegend& legend = *form->Legend;
    ASSERT_EQ(legend.Rows().size(), 3u);
    EXPECT_EQ(legend.Rows()[0].Name, "1/1");
    EXPECT_EQ(legend.Rows()[2].Name, "2/temp");
    const std::string run = form->RunJournal().Path();
    form->StopButtonClick();
    EXPECT_TRUE(form->SourcesStatusLabel->text().isEmpty()) << form->SourcesStatusLabel->text().toStdString();

    // The run in the journal, finished: every channel of both sources, in its place.
    const ItemFileReader file(run);
    const auto ranges = ChannelRanges(file);
    ASSERT_EQ(ranges.size(), 3u);
    std::uint64_t samples = 0;
    for (const auto& [from, to] : ranges)
        for (std::uint64_t i = from; i < to; ++i)
            samples += IsEventMark(file.Record(i)) ? 0 : 1;
    EXPECT_EQ(samples, 2u * kLines + kDatagrams);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

// A TCP server beside the port that drops the connection: the source waits for it, says so, reads
// again from the same server once it takes connections, and the run goes on with every line.
TEST_F(WindowSources, ATcpSourceThatIsLostIsWaitedForAndGoesOn) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const QString url = QString("tcp://127.0.0.1:%1").arg(server.serverPort());
    form->SetSources({url}, false);
    SimProcess sim({"--rate", "200", "--wave", "ramp"});
    form->SelectPort(sim.Path());
    form->StartButtonClick();
    ASSERT_TRUE(form->Acquiring()) << errors.join("; ").toStdString();
    TKartex& k = *form->Kartex1;
    ASSERT_TRUE(WaitUntilHolds([&] { return k.SeriesCount() >= 1 && k.SeriesStore(0).ItemCount() > 0; }, 20));
    const auto serve = [&](const QByteArray& lines) {
        EXPECT_TRUE(WaitUntilHolds([&] { return server.hasPendingConnections(); }, 20));
        QTcpSocket* client = server.nextPendingConnection();
        client->write(lines);
        client->waitForBytesWritten(1000);
        return client;
    };
    QTcpSocket* first = serve("7\n8\n9\n");
    ASSERT_TRUE(
        WaitUntilHolds([&] { return k.SeriesCount() == 2 && k.SeriesStore(1).ItemCount() == 3; }, 20));
    EXPECT_EQ(form->SourcesStatusLabel->text(), "2: liest " + url);
    first->disconnectFromHost();
    EXPECT_TRUE(
        WaitUntilHolds([&] { return form->SourcesStatusLabel->text() == "2: wartet auf " + url + " …"; }, 20))
        << form->SourcesStatusLabel->text().toStdString();
    serve("10\n11\n");
    ASSERT_TRUE(WaitUntilHolds([&] { return k.SeriesStore(1).ItemCount() == 5; }, 20));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(k.SeriesStore(1).Item(i).Y, 7 + i) << i;
    EXPECT_TRUE(WaitUntilHolds([&] { return form->SourcesStatusLabel->text() == "2: liest " + url; }, 20));
    EXPECT_TRUE(form->Acquiring());
    form->StopButtonClick();
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

// A broker's topic beside the port: the user's password asked for at Start (no secret store runs here)
// and kept out of the settings, each topic's values a channel of its own named by the topic.
TEST_F(WindowSources, ABrokerTopicIsReadWithThePasswordAskedFor) {
    if (BrokerProcess::Program().isEmpty()) GTEST_SKIP() << "mosquitto is not installed (scripts/bootstrap)";
    BrokerProcess broker;
    if (!broker.Start()) GTEST_SKIP() << "no broker could be started: " << broker.Why().toStdString();
    qunsetenv("DBUS_SESSION_BUS_ADDRESS"); // no secret store: the password is asked for
    QStringList asked;
    form->SetAskSecret([&](const QString& prompt) -> std::optional<QString> {
        asked << prompt;
        return broker.Password();
    });
    const QString url = QString("mqtt://%1@127.0.0.1:%2/lab/#").arg(BrokerProcess::kUser).arg(broker.Port());
    form->SetSources({url});
    SimProcess sim({"--rate", "200", "--wave", "ramp"});
    form->SelectPort(sim.Path());
    form->StartButtonClick();
    ASSERT_TRUE(form->Acquiring()) << errors.join("; ").toStdString();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QString("rig@127.0.0.1:%1").arg(broker.Port()))) << asked[0].toStdString();
    EXPECT_EQ(form->SourcesStatusLabel->text(), "2: liest " + url);
    TKartex& k = *form->Kartex1;
    ASSERT_TRUE(WaitUntilHolds([&] { return k.SeriesCount() >= 1 && k.SeriesStore(0).ItemCount() > 0; }, 20));
    QStringList values;
    for (int i = 0; i < 50; ++i)
        values << QString::number(500 + i);
    ASSERT_TRUE(broker.Publish("lab/rig/temp", values));
    ASSERT_TRUE(
        WaitUntilHolds([&] { return k.SeriesCount() == 2 && k.SeriesStore(1).ItemCount() == 50; }, 20));
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(k.SeriesStore(1).Item(i).Y, 500 + i) << i;
    QApplication::processEvents();
    ASSERT_EQ(form->Legend->Rows().size(), 2u);
    EXPECT_EQ(form->Legend->Rows()[1].Name, "2/temp");
    form->StopButtonClick();
    form->SaveSettings();
    QFile settings(ini);
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_FALSE(settings.readAll().contains(broker.Password().toUtf8())); // the password never goes there
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
