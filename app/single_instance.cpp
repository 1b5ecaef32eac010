#include "app/single_instance.h"

#include <QCoreApplication>

#include <QLocalServer>
#include <QLocalSocket>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::DefaultName() {
    // The user's runtime folder is private to the user; /tmp is shared, so the name carries the uid there.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(QString::fromLocal8Bit(runtime)).isDir())
        return QString::fromLocal8Bit(runtime) + QStringLiteral("/mevrant.sock");
    return QStringLiteral("mevrant-%1").arg(::getuid());
}

namespace {
constexpr char kActivate[] = "activate\n";
constexpr char kShown[] = "shown\n";

// A socket of the same name that another user made must never be trusted: it could hold our start
// hostage. Such a name runs without a guard.
bool OwnedByAnotherUser(const QString& name) {
    const QString path = QDir::isAbsolutePath(name) ? name : QDir::tempPath() + QLatin1Char('/') + name;
    struct stat st {};
    return ::lstat(path.toLocal8Bit().constData(), &st) == 0 && st.st_uid != ::getuid();
}

// The process that listens at the other end of a connected local socket, 0 when the system does not say.
qint64 ListenerPid(qintptr fd) {
    struct ucred peer {};
    socklen_t size = sizeof peer;
    if (::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return 0;
    return peer.pid;
}

// Whether a process is stopped by a signal: the state after the command name in /proc/PID/stat.
bool IsStopped(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return false;
    const QByteArray line = stat.readAll();
    const qsizetype end = line.lastIndexOf(") ");
    return end >= 0 && end + 2 < line.size() && line[end + 2] == 'T';
}
} // namespace

bool SingleInstance::AskHolder() {
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (!probe.waitForConnected(500)) {
        // Refused: nobody listens (a socket file left by a crash). A connection that does not complete
        // waits in a full queue of an instance that takes none.
        holderSilent_ = probe.error() == QLocalSocket::SocketTimeoutError;
        return false;
    }
    // A stopped or hanging process still has its connections queued by the kernel, so only its answer
    // tells that it shows its window. This thread's events run meanwhile, so a holder in the same
    // process answers as well.
    holderPid_ = ListenerPid(probe.socketDescriptor());
    probe.write(kActivate);
    QEventLoop wait;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &wait, &QEventLoop::quit);
    connect(&probe, &QLocalSocket::readyRead, &wait, [&] {
        if (probe.canReadLine()) wait.quit();
    });
    connect(&probe, &QLocalSocket::disconnected, &wait, &QEventLoop::quit);
    deadline.start(kAnswerMs);
    wait.exec();
    if (probe.canReadLine() && probe.readLine() == kShown) return true;
    holderSilent_ = true;
    holderStopped_ = holderPid_ > 0 && IsStopped(holderPid_);
    return false;
}

bool SingleInstance::Acquire() {
    if (OwnedByAnotherUser(name_)) return true;
    if (AskHolder()) return false;
    server_ = new QLocalServer(this);
    // Only this user may connect; the socket file is created with the user's rights alone.
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // Nobody answered: a socket left behind by an instance that crashed, or one that does not
        // answer. Take the name over, so that later starts come to this instance.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) return true; // no guard, but the program still runs
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine() || socket->readLine() != kActivate) return;
                if (OnActivate) OnActivate();
                socket->write(kShown);
            });
        }
    });
    return true;
}

QString SingleInstance::SilentHolderMessage() const {
    QString who;
    if (holderPid_ > 0)
        who = QStringLiteral(" (process %1%2)").arg(holderPid_).arg(holderStopped_ ? ", stopped" : "");
    return QStringLiteral("mevrant: the running instance%1 does not answer within %2 s; starting another one")
        .arg(who)
        .arg(kAnswerMs / 1000);
}

QString SingleInstance::SilentHolderStatus() const {
    QString who;
    if (holderPid_ > 0)
        who = QCoreApplication::translate("SingleInstance", " (Prozess %1%2)")
                  .arg(holderPid_)
                  .arg(holderStopped_ ? QCoreApplication::translate("SingleInstance", ", angehalten")
                                      : QString());
    return QCoreApplication::translate(
               "SingleInstance", "Ein laufendes Mevrant%1 antwortet nicht; dieses Fenster läuft trotzdem.")
        .arg(who);
}
