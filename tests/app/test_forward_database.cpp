// Forwarding to a real time-series database: a recording from a simulated device written to influxd
// over HTTP through an outage of the database and a kill of the recorder, and a kept run sent to its
// UDP listener; the database's own counts and sums tell whether every sample arrived once.
#include "forward_counts.h"
#include "sim_process.h"
#include "tests/influx_process.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace {

QString Mevrant() {
    return qEnvironmentVariable("MEVRANT_BUILD_DIR") + "/app/mevrant";
}

bool WaitFor(const std::function<bool()>& holds, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (!holds() && t.elapsed() < ms)
        QThread::msleep(20);
    return holds();
}

// The values from .. to-1, one a line.
void WriteValues(const QString& path, int from, int to) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    for (int i = from; i < to; ++i)
        f.write(QByteArray::number(i) + '\n');
}

struct Finished {
    int Code;
    QString Out;
};

double SumOf(long long from, long long to) { // from + … + (to - 1)
    return static_cast<double>((to - from) * (from + to - 1) / 2);
}

} // namespace

TEST(ForwardDatabase, EverySampleArrivesOnceThroughAnOutageAKillAndOverUdp) {
    if (InfluxProcess::Program().isEmpty()) GTEST_SKIP() << "influxd is not installed (scripts/bootstrap)";
    InfluxProcess db;
    if (!db.Start()) GTEST_SKIP() << "no database could be started: " << db.Why().toStdString();
    db.Query("", "CREATE DATABASE lab");
    QTemporaryDir dir;
    constexpr int kLines = 6000;
    const QString values = dir.filePath("values.txt"), later = dir.filePath("later.txt");
    WriteValues(values, 0, kLines);
    WriteValues(later, kLines, 3 * kLines);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    const QDir journal(dir.filePath("data/mevrant"));
    const QString target = QString("influx+http://127.0.0.1:%1/lab").arg(db.HttpPort());
    // A device name of the protocol's special characters: escaped on the way, the same in the database.
    const QString device = "rig 1,a=b";
    const QString where = "WHERE device='rig 1,a=b'";
    const auto acked = [&](const QString& run) { return AcknowledgedCount(journal, run); };
    const auto newestRun = [&] { return NewestRun(journal); };
    // Lines in bursts of 50: the lines of one read share their receive time, and the database keeps
    // one point per series and time.
    const auto record = [&](QProcess& p, SimProcess& sim, int count) {
        p.setProcessEnvironment(env);
        p.start(Mevrant(), {"record", "--port", sim.Path(), "--count", QString::number(count), "--forward",
                            target, "--device", device, "-o", dir.filePath("out.mvx")});
    };

    // The database goes away for two seconds in the middle of the run.
    SimProcess first(
        {"--file", values, "--count", QString::number(kLines), "--rate", "2000", "--burst", "50"});
    QProcess running;
    record(running, first, kLines);
    ASSERT_TRUE(WaitFor([&] { return !newestRun().isEmpty() && acked(newestRun()) > 0; }));
    const QString run = newestRun();
    db.Stop();
    QThread::msleep(2000);
    ASSERT_TRUE(db.Start()) << db.Why().toStdString();
    ASSERT_TRUE(running.waitForFinished(40000));
    const QString err = QString::fromUtf8(running.readAllStandardError());
    ASSERT_EQ(running.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("InfluxDB: keine Verbindung")) << err.toStdString();
    EXPECT_EQ(acked(run), kLines) << err.toStdString();
    EXPECT_EQ(db.Number("lab", "SELECT count(value) FROM mevrant " + where), kLines);
    EXPECT_EQ(db.Number("lab", "SELECT sum(value) FROM mevrant " + where), SumOf(0, kLines));
    // In their order: the first and the last by time are the first and the last sent.
    EXPECT_EQ(db.Number("lab", "SELECT first(value) FROM mevrant " + where), 0);
    EXPECT_EQ(db.Number("lab", "SELECT last(value) FROM mevrant " + where), kLines - 1);

    // A recording killed mid-run: "mevrant forward" sends the rest of its run, the repeats overwriting
    // the same points.
    SimProcess second(
        {"--file", later, "--count", QString::number(2 * kLines), "--rate", "2000", "--burst", "50"});
    QProcess killed;
    record(killed, second, 2 * kLines);
    ASSERT_TRUE(WaitFor([&] { return newestRun() != run && acked(newestRun()) > 0; }));
    const QString cut = newestRun();
    QThread::msleep(500);
    ::kill(static_cast<pid_t>(killed.processId()), SIGKILL);
    killed.waitForFinished(5000);
    const long long before = acked(cut);
    QProcess resume;
    resume.setProcessEnvironment(env);
    resume.start(Mevrant(), {"forward", cut, target, "--device", device});
    ASSERT_TRUE(resume.waitForFinished(30000));
    const QString resumed = QString::fromUtf8(resume.readAllStandardError());
    ASSERT_EQ(resume.exitCode(), 0) << resumed.toStdString();
    const int records = resume.readAllStandardOutput().trimmed().toInt();
    EXPECT_GT(records, before);
    EXPECT_TRUE(resumed.contains(QString("went on from record %1 of %2,").arg(before).arg(records)))
        << resumed.toStdString();
    EXPECT_EQ(db.Number("lab", "SELECT count(value) FROM mevrant " + where), kLines + records);
    EXPECT_EQ(db.Number("lab", "SELECT sum(value) FROM mevrant " + where), SumOf(0, kLines + records));

    // The first run again, to the UDP listener (whose writes land a moment later).
    const Finished udp = [&] {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(Mevrant(), {"forward", run, QString("influx+udp://127.0.0.1:%1").arg(db.UdpPort()),
                            "--device", "udp-rig"});
        p.waitForFinished(30000);
        return Finished{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).trimmed()};
    }();
    EXPECT_EQ(udp.Code, 0);
    EXPECT_EQ(udp.Out, QString::number(kLines));
    const QString udpCount = "SELECT count(value) FROM mevrant WHERE device='udp-rig'";
    EXPECT_TRUE(WaitFor([&] { return db.Number("udp", udpCount) == kLines; }, 10000))
        << db.Number("udp", udpCount) << " of " << kLines;
}

// A 2.x server's write, as a server of the test's own on loopback answers it: the organisation and
// bucket in the path, the token in the header (asked for, never in the URL), every line once; a
// refused token ends the forward with the server's reason.
TEST(ForwardDatabase, ABucketIsWrittenWithItsTokenAndARefusalEndsTheForward) {
    QTemporaryDir dir;
    const QString values = dir.filePath("values.txt"), run = dir.filePath("run.mvx");
    constexpr int kLines = 1500;
    WriteValues(values, 0, kLines);
    {
        SimProcess sim({"--file", values, "--count", QString::number(kLines), "--max", "--burst", "100"});
        QProcess record;
        record.start(Mevrant(),
                     {"record", "--port", sim.Path(), "--count", QString::number(kLines), "-o", run});
        ASSERT_TRUE(record.waitForFinished(30000));
        ASSERT_EQ(record.exitCode(), 0) << record.readAllStandardError().toStdString();
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DBUS_SESSION_BUS_ADDRESS"); // no secret store: the token is asked for
    for (const int status : {204, 401}) {
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        QProcess forward;
        forward.setProcessEnvironment(env);
        forward.start(Mevrant(), {"forward", run,
                                  QString("influx+http://127.0.0.1:%1/lab a/rigs").arg(server.serverPort()),
                                  "--device", "rig"});
        forward.write("s3cret-token\n");
        forward.waitForBytesWritten(5000);
        QByteArray requests;
        QTcpSocket* client = nullptr;
        long long lines = 0;
        QElapsedTimer t;
        t.start();
        // Each request whole (headers, then Content-Length bytes of lines), then the answer.
        while (forward.state() != QProcess::NotRunning && t.elapsed() < 30000) {
            if (!client && server.waitForNewConnection(50)) client = server.nextPendingConnection();
            if (!client) {
                forward.waitForFinished(10);
                continue;
            }
            if (!client->waitForReadyRead(20)) forward.waitForFinished(10); // the process's end is seen
            requests += client->readAll();
            const int end = requests.indexOf("\r\n\r\n");
            if (end < 0) continue;
            const QByteArray head = requests.left(end);
            const int at = head.toLower().indexOf("content-length:");
            const long long length =
                at < 0 ? 0 : head.mid(at + 15, head.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
            if (requests.size() < end + 4 + length) continue;
            EXPECT_TRUE(head.startsWith("POST /api/v2/write?org=lab%20a&bucket=rigs&precision=ns HTTP/1.1"))
                << head.toStdString();
            EXPECT_TRUE(head.contains("\r\nAuthorization: Token s3cret-token")) << head.toStdString();
            lines += requests.mid(end + 4, length).count('\n');
            requests.remove(0, end + 4 + length);
            const QByteArray refusal = R"({"message":"unauthorized access"})";
            client->write(status == 204 ? QByteArray("HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n")
                                        : "HTTP/1.1 401 Unauthorized\r\nContent-Length: " +
                                              QByteArray::number(refusal.size()) + "\r\n\r\n" + refusal);
            client->waitForBytesWritten(1000);
        }
        ASSERT_TRUE(forward.state() == QProcess::NotRunning || forward.waitForFinished(10000));
        const QString err = QString::fromUtf8(forward.readAllStandardError());
        if (status == 204) {
            EXPECT_EQ(forward.exitCode(), 0) << err.toStdString();
            EXPECT_EQ(lines, kLines);
            EXPECT_EQ(forward.readAllStandardOutput().trimmed().toLongLong(), kLines);
        } else {
            EXPECT_EQ(forward.exitCode(), 1) << err.toStdString();
            EXPECT_TRUE(err.contains(R"(answered 401: {"message":"unauthorized access"})"))
                << err.toStdString();
        }
        EXPECT_FALSE(err.contains("s3cret")) << err.toStdString();
        delete client;
    }
}
