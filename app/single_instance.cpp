#include "app/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <QDir>
#include <QFileInfo>

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
// A socket of the same name that another user made must never be trusted: it could hold our start
// hostage. Such a name runs without a guard.
bool OwnedByAnotherUser(const QString& name) {
    const QString path = QDir::isAbsolutePath(name) ? name : QDir::tempPath() + QLatin1Char('/') + name;
    struct stat st {};
    return ::lstat(path.toLocal8Bit().constData(), &st) == 0 && st.st_uid != ::getuid();
}
} // namespace

bool SingleInstance::Acquire() {
    if (OwnedByAnotherUser(name_)) return true;
    {
        QLocalSocket probe;
        probe.connectToServer(name_);
        if (probe.waitForConnected(500)) {
            probe.write("activate\n");
            probe.waitForBytesWritten(500);
            probe.disconnectFromServer();
            return false;
        }
    }
    server_ = new QLocalServer(this);
    // Only this user may connect; the socket file is created with the user's rights alone.
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // A socket left behind by an instance that crashed: nobody answered, so take it over.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) return true; // no guard, but the program still runs
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().startsWith("activate") && OnActivate) OnActivate();
            });
        }
    });
    return true;
}
