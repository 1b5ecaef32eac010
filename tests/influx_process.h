#pragma once
// A real time-series database for a test: influxd on free ports of 127.0.0.1 (HTTP, a UDP listener
// writing into the database "udp", and its own service port), its files in a scratch folder. Start and
// Stop may be called again (a restart keeps the ports and what was written); the server ends when the
// object goes. Queries go over HTTP as the server's clients send them.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QUdpSocket>
#include <QUrl>
#include <QUrlQuery>

class InfluxProcess {
public:
    // Empty when influxd is not installed.
    static QString Program() { return QStandardPaths::findExecutable("influxd", {"/usr/bin", "/usr/sbin"}); }

    InfluxProcess() {
        http_ = FreePort(false);
        udp_ = FreePort(true);
        const quint16 service = FreePort(false);
        QFile conf(dir_.filePath("influxdb.conf"));
        made_ = http_ && udp_ && service && conf.open(QIODevice::WriteOnly);
        if (made_)
            conf.write(
                QString("reporting-disabled = true\nbind-address = \"127.0.0.1:%1\"\n"
                        "[meta]\n  dir = \"%4/meta\"\n"
                        "[data]\n  dir = \"%4/data\"\n  wal-dir = \"%4/wal\"\n  query-log-enabled = false\n"
                        "[http]\n  bind-address = \"127.0.0.1:%2\"\n  log-enabled = false\n"
                        "[[udp]]\n  enabled = true\n  bind-address = \"127.0.0.1:%3\"\n"
                        "  database = \"udp\"\n  batch-size = 1000\n  batch-timeout = \"100ms\"\n"
                        "  read-buffer = 8388608\n"
                        "[monitor]\n  store-enabled = false\n")
                    .arg(service)
                    .arg(http_)
                    .arg(udp_)
                    .arg(dir_.path())
                    .toUtf8());
    }
    ~InfluxProcess() { Stop(); }

    // Starts the server and waits until it answers; false (with Why) when it cannot.
    bool Start() {
        if (!made_) return Fail("could not set the database up in " + dir_.path());
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(Program(), {"-config", dir_.filePath("influxdb.conf")});
        if (!process_.waitForStarted(5000)) return Fail("influxd did not start");
        for (int tries = 0; tries < 200; ++tries) {
            if (Request("GET", "/ping").startsWith("HTTP/1.0 204")) return true;
            if (process_.state() == QProcess::NotRunning) break;
            process_.waitForFinished(50);
        }
        return Fail("influxd does not answer: " + QString::fromLocal8Bit(process_.readAll()));
    }
    void Stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(10000)) process_.kill();
        process_.waitForFinished(2000);
    }

    // An InfluxQL statement's answer as the server's JSON; empty when it gave none.
    QJsonObject Query(const QString& database, const QString& statement) const {
        QUrlQuery q;
        q.addQueryItem("db", database);
        q.addQueryItem("q", statement);
        const QByteArray answer = Request("POST", "/query?" + q.toString(QUrl::FullyEncoded).toUtf8());
        return QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4)).object();
    }
    // The values of a query's first series, column by column of each row.
    QJsonArray Rows(const QString& database, const QString& statement) const {
        return Query(database, statement)["results"][0]["series"][0]["values"].toArray();
    }
    // The first number of the first row (a count, a sum), -1 for none.
    double Number(const QString& database, const QString& statement) const {
        const QJsonArray rows = Rows(database, statement);
        return rows.isEmpty() ? -1 : rows[0].toArray()[1].toDouble(-1);
    }

    quint16 HttpPort() const { return http_; }
    quint16 UdpPort() const { return udp_; }
    const QString& Why() const { return why_; }

private:
    static quint16 FreePort(bool udp) {
        if (udp) {
            QUdpSocket probe;
            return probe.bind(QHostAddress::LocalHost, 0) ? probe.localPort() : 0;
        }
        QTcpServer probe;
        return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
    }
    // One request on a connection of its own (HTTP/1.0: the answer is not chunked); the whole answer,
    // headers and body.
    QByteArray Request(const char* method, const QByteArray& target) const {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, http_);
        if (!s.waitForConnected(1000)) return {};
        s.write(QByteArray(method) + " " + target +
                " HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n");
        QByteArray answer;
        while (s.waitForReadyRead(10000) || s.bytesAvailable() > 0)
            answer += s.readAll();
        return answer;
    }
    bool Fail(const QString& why) {
        why_ = why;
        return false;
    }
    QTemporaryDir dir_;
    quint16 http_ = 0, udp_ = 0;
    bool made_ = false;
    QProcess process_;
    QString why_;
};
