#pragma once
// Sources over the network, each a ByteSource of the recording, framed and converted as the serial
// port's bytes are:
//   - UdpSource listens for datagrams (on 127.0.0.1 unless an address is named): a datagram holds one or
//     many lines, and a line never spans datagrams, so one that does not end in a line end is ended.
//   - TcpSource connects to a server and reads its stream (no message bounds: lines are framed by their
//     line ends). A lost connection is a loss, as an unplugged device: the recording waits and Reopen
//     connects again, without holding the window while it does.
// Bytes are handed on as the socket is read, so the samples' receive times are the read's.

#include "app/core/source_url.h"
#include "app/recording.h"

#include <memory>
#include <string>

class QTcpSocket;
class QUdpSocket;

class UdpSource : public ByteSource {
public:
    explicit UdpSource(SourceUrl url);
    ~UdpSource() override;
    // Binds the address; throws std::runtime_error (the port in use, no such address).
    void Open() override;
    void Close() override;
    bool IsOpen() const override;
    std::string Where() const override { return SourceUrlText(url_); }

    // How many datagrams the kernel dropped for the socket since it was bound (the drops column of
    // /proc/net/udp and udp6 for its inode); -1 when that cannot be read.
    long long Dropped() const;

private:
    void Read();
    SourceUrl url_;
    std::unique_ptr<QUdpSocket> socket_;
    unsigned long inode_ = 0;
    long long droppedAtOpen_ = 0;
    bool droppedTold_ = false;
};

class TcpSource : public ByteSource {
public:
    static constexpr int kConnectMs = 3000; // the first connection, at Start
    explicit TcpSource(SourceUrl url);
    ~TcpSource() override;
    // Connects, waiting at most kConnectMs; throws std::runtime_error when it cannot.
    void Open() override;
    // Starts connecting again and returns at once; IsOpen tells when it is through.
    void Reopen() override;
    void Close() override;
    bool IsOpen() const override;
    std::string Where() const override { return SourceUrlText(url_); }
    bool Write(std::string_view bytes) override;

private:
    void Connect();
    SourceUrl url_;
    std::unique_ptr<QTcpSocket> socket_;
    bool closing_ = false; // a close of the source's own: no loss
};
