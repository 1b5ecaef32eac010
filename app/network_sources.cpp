#include "app/network_sources.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <sys/stat.h>

namespace {
constexpr qint64 kLargestDatagram = 65507;
constexpr int kDatagramsPerTurn = 256;
} // namespace

UdpSource::UdpSource(SourceUrl url) : url_(std::move(url)) {}

UdpSource::~UdpSource() = default;

void UdpSource::Open() {
    Close();
    auto socket = std::make_unique<QUdpSocket>();
    const QHostAddress address(QString::fromStdString(url_.Host));
    if (address.isNull())
        throw std::runtime_error("UDP: \"" + url_.Host + "\" ist keine Adresse dieses Rechners (" + Where() +
                                 ")");
    // One listener per port: another program on it would take half the datagrams.
    if (!socket->bind(address, static_cast<quint16>(url_.Port), QAbstractSocket::DontShareAddress))
        throw std::runtime_error("UDP: " + Where() +
                                 " kann nicht geöffnet werden: " + socket->errorString().toStdString());
    // Room for a burst while the window draws (the kernel drops what does not fit).
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4 << 20);
    QObject::connect(socket.get(), &QUdpSocket::readyRead, socket.get(), [this] { Read(); });
    struct stat st {};
    inode_ = ::fstat(static_cast<int>(socket->socketDescriptor()), &st) == 0 ? st.st_ino : 0;
    socket_ = std::move(socket);
    droppedAtOpen_ = std::max(Dropped(), 0LL);
    droppedTold_ = false;
    // The kernel's count is looked at twice a second: a loss is told once, with its size so far.
    auto* watch = new QTimer(socket_.get());
    QObject::connect(watch, &QTimer::timeout, socket_.get(), [this] {
        const long long lost = Dropped() - droppedAtOpen_;
        if (lost <= 0 || droppedTold_) return;
        droppedTold_ = true;
        if (OnDropped)
            OnDropped("UDP: " + std::to_string(lost) + " Datagramme an " + Where() +
                      " verworfen, bevor sie gelesen werden konnten (der Empfang kam nicht nach)");
    });
    watch->start(500);
}

long long UdpSource::Dropped() const {
    if (inode_ == 0) return -1;
    for (const char* table : {"/proc/net/udp", "/proc/net/udp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line); // the heading
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
            if (f.size() >= 13 && f[9] == std::to_string(inode_)) return std::stoll(f.back());
        }
    }
    return -1;
}

void UdpSource::Read() {
    // A flood must not keep the event loop from its timers and the window from its frames: a share of
    // the datagrams at a time, the rest from the loop's next turn (what the kernel cannot hold meanwhile
    // it drops, as for any reader that falls behind).
    for (int taken = 0; socket_ && socket_->hasPendingDatagrams(); ++taken) {
        if (taken == kDatagramsPerTurn) {
            QMetaObject::invokeMethod(
                socket_.get(), [this] { Read(); }, Qt::QueuedConnection);
            return;
        }
        const QNetworkDatagram datagram = socket_->receiveDatagram(kLargestDatagram);
        QByteArray bytes = datagram.data();
        if (bytes.isEmpty()) continue;
        if (bytes.back() != '\r' && bytes.back() != '\n') bytes.append('\n'); // its last line ends with it
        if (OnBytes) OnBytes(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }
}

void UdpSource::Close() {
    if (socket_) socket_->close();
    socket_.reset();
}

bool UdpSource::IsOpen() const {
    return socket_ && socket_->state() == QAbstractSocket::BoundState;
}

TcpSource::TcpSource(SourceUrl url) : url_(std::move(url)) {}

TcpSource::~TcpSource() {
    closing_ = true;
    socket_.reset();
}

void TcpSource::Connect() {
    closing_ = true;
    socket_.reset();
    closing_ = false;
    socket_ = std::make_unique<QTcpSocket>();
    QTcpSocket* s = socket_.get();
    QObject::connect(s, &QTcpSocket::connected, s,
                     [s] { s->setSocketOption(QAbstractSocket::LowDelayOption, 1); });
    QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
        const QByteArray bytes = s->readAll();
        if (OnBytes && !bytes.isEmpty())
            OnBytes(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    });
    QObject::connect(s, &QTcpSocket::disconnected, s, [this] {
        if (!closing_ && OnLost) OnLost();
    });
    s->connectToHost(QString::fromStdString(url_.Host), static_cast<quint16>(url_.Port));
}

void TcpSource::Open() {
    Connect();
    if (!socket_->waitForConnected(kConnectMs)) {
        const std::string why = socket_->errorString().toStdString();
        closing_ = true;
        socket_.reset();
        closing_ = false;
        throw std::runtime_error("TCP: keine Verbindung zu " + Where() + ": " + why);
    }
}

void TcpSource::Reopen() {
    if (socket_ && socket_->state() != QAbstractSocket::UnconnectedState) return; // under way
    Connect();
}

void TcpSource::Close() {
    closing_ = true;
    if (socket_) socket_->abort();
    socket_.reset();
    closing_ = false;
}

bool TcpSource::IsOpen() const {
    return socket_ && socket_->state() == QAbstractSocket::ConnectedState;
}

bool TcpSource::Write(std::string_view bytes) {
    if (!IsOpen()) return false;
    return socket_->write(bytes.data(), static_cast<qint64>(bytes.size())) ==
           static_cast<qint64>(bytes.size());
}
