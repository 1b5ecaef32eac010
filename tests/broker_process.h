#pragma once
// A real MQTT broker for a test: mosquitto on a free port of 127.0.0.1, its configuration and its
// password file in a scratch folder, its one user's password made up for this run. Start and Stop
// may be called again (a broker restart keeps the port and, as its store is kept in the folder, the
// sessions of clients that asked for a lasting one, with all that waits for them); the broker ends
// when the object goes. With
// tls it speaks only TLS, with a certificate for 127.0.0.1 made for this run (CaFile vouches for it).

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUuid>

#include <pwd.h>
#include <unistd.h>

class BrokerProcess {
public:
    static constexpr const char* kUser = "rig";

    // Empty when mosquitto is not installed.
    static QString Program() {
        const QString found = QStandardPaths::findExecutable("mosquitto", {"/usr/sbin", "/usr/bin"});
        return found;
    }

    explicit BrokerProcess(bool tls = false)
        : password_(QUuid::createUuid().toString(QUuid::Id128)), tls_(tls) {
        QTcpServer probe;
        if (probe.listen(QHostAddress::LocalHost, 0)) port_ = probe.serverPort();
        const QString passwords = dir_.filePath("passwords");
        QProcess make;
        make.start(QStandardPaths::findExecutable("mosquitto_passwd"),
                   {"-c", "-b", passwords, kUser, password_});
        made_ = make.waitForFinished(10000) && make.exitCode() == 0;
        QFile::setPermissions(passwords, QFile::ReadOwner | QFile::WriteOwner);
        QString tlsLines;
        if (tls_) {
            QProcess cert;
            cert.start(QStandardPaths::findExecutable("openssl"),
                       {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                        "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                        dir_.filePath("key.pem"), "-out", CaFile()});
            made_ = made_ && cert.waitForFinished(30000) && cert.exitCode() == 0;
            tlsLines = QString("certfile %1\nkeyfile %2\n").arg(CaFile(), dir_.filePath("key.pem"));
        }
        const passwd* me = ::getpwuid(::getuid());
        QFile conf(dir_.filePath("mosquitto.conf"));
        made_ = made_ && me && conf.open(QIODevice::WriteOnly);
        if (made_)
            conf.write(
                QString(
                    "user %1\nlistener %2 127.0.0.1\nallow_anonymous false\npassword_file %3\n"
                    "persistence true\npersistence_location %4/\nmax_queued_messages 0\nlog_dest stderr\n%5")
                    .arg(me->pw_name)
                    .arg(port_)
                    .arg(passwords, dir_.path(), tlsLines)
                    .toUtf8());
    }
    ~BrokerProcess() { Stop(); }

    // Starts the broker and waits until it takes connections; false (with Why) when it cannot.
    bool Start() {
        if (!made_ || port_ == 0) return Fail("could not set the broker up in " + dir_.path());
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(Program(), {"-c", dir_.filePath("mosquitto.conf")});
        if (!process_.waitForStarted(5000)) return Fail("mosquitto did not start");
        for (int tries = 0; tries < 100; ++tries) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port_);
            if (s.waitForConnected(100)) return true;
            if (process_.state() == QProcess::NotRunning) break;
            process_.waitForFinished(50);
        }
        return Fail("mosquitto takes no connections: " + QString::fromLocal8Bit(process_.readAll()));
    }
    void Stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) process_.kill();
        process_.waitForFinished(2000);
    }

    // Publishes each line as a message of its own (QoS 1, so none is lost on the way); false when the
    // client failed.
    bool Publish(const QString& topic, const QStringList& lines) const {
        QProcess pub;
        QStringList args{
            "-h", "127.0.0.1", "-p", QString::number(port_), "-u", kUser, "-P", password_, "-q", "1",
            "-t", topic,       "-l"};
        if (tls_) args << "--cafile" << CaFile();
        pub.start(QStandardPaths::findExecutable("mosquitto_pub"), args);
        if (!pub.waitForStarted(5000)) return false;
        pub.write((lines.join('\n') + '\n').toUtf8());
        pub.closeWriteChannel();
        return pub.waitForFinished(20000) && pub.exitCode() == 0;
    }

    // A client that subscribes to a topic with QoS 1 as a lasting session of the id given (what comes
    // while it is away is kept for it), printing "topic payload" lines; started, not yet subscribed.
    QStringList SubscriberArguments(const QString& topic, const QString& id) const {
        QStringList args{"-h", "127.0.0.1", "-p",  QString::number(port_),
                         "-u", kUser,       "-P",  password_,
                         "-q", "1",         "-c",  "-i",
                         id,   "-t",        topic, "-v"};
        if (tls_) args << "--cafile" << CaFile();
        return args;
    }

    quint16 Port() const { return port_; }
    QString CaFile() const { return dir_.filePath("cert.pem"); }
    const QString& Password() const { return password_; }
    const QString& Why() const { return why_; }

private:
    bool Fail(const QString& why) {
        why_ = why;
        return false;
    }
    QTemporaryDir dir_;
    QString password_;
    quint16 port_ = 0;
    bool tls_ = false;
    bool made_ = false;
    QProcess process_;
    QString why_;
};
