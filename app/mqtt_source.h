#pragma once
// A subscription on an MQTT broker as a recording's source (libmosquitto, driven from the thread the
// recording lives on: the socket is read when the event loop sees it readable, so a message's receive
// time is the read's). Each message is a line, or several when it holds line ends. A message of one
// value goes to a channel of its topic's own, named by the topic's last level ("lab/rig1/temp" →
// "temp"), the topics numbered in the order their first such message came; a message of several values
// is taken as a serial line is. A lost connection is a loss: the recording waits, and Reopen connects
// and subscribes again without holding the window.

#include "app/core/source_url.h"
#include "app/recording.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

struct mosquitto;
struct mosquitto_message;
class QSocketNotifier;
class QTimer;

class MqttSource : public ByteSource {
public:
    static constexpr int kConnectMs = 3000; // the first connection, at Start
    static constexpr int kKeepAliveSeconds = 30;
    // caFile: the certificates that vouch for the broker over TLS (mqtts://); empty: the system's.
    explicit MqttSource(SourceUrl url, std::string caFile = {});
    ~MqttSource() override;
    MqttSource(const MqttSource&) = delete;
    MqttSource& operator=(const MqttSource&) = delete;

    // The password of the URL's user; kept in memory only, for as long as the source lives.
    void SetPassword(std::string password);

    // Connects and subscribes, waiting at most kConnectMs for the broker's acknowledgements; throws
    // std::runtime_error with the reason (no broker, refused, not authorised, TLS).
    void Open() override;
    // Starts connecting again and returns at once; IsOpen tells when the subscription is through.
    void Reopen() override;
    void Close() override;
    bool IsOpen() const override { return state_ == Up; }
    std::string Where() const override { return SourceUrlText(url_); }

    // The topics that have a channel of their own, channel 1 first.
    const std::vector<std::string>& Topics() const { return topics_; }

private:
    enum State { Closed, Connecting, Subscribing, Up };
    static void Connected(mosquitto*, void* self, int rc);
    static void Subscribed(mosquitto*, void* self, int mid, int count, const int* granted);
    static void Disconnected(mosquitto*, void* self, int rc);
    static void Message(mosquitto*, void* self, const mosquitto_message* message);
    void Take(const std::string& topic, std::string_view payload);
    void Begin();   // a new client, connecting
    void Watch();   // the socket's notifiers for the connection of now
    void Service(); // after any step of the client's: a loss, the socket changed, bytes to write
    void Failed(int rc);
    void Step(const std::function<int()>& call); // one call of the client's loop, and what it met
    void Unwatch();
    void Free();

    SourceUrl url_;
    std::string caFile_;
    std::string password_;
    mosquitto* client_ = nullptr;
    State state_ = Closed;
    int refusal_ = 0;     // the broker's answer to the last connect, 0: accepted
    std::string failure_; // why the last connection ended or failed
    int watched_ = -1;    // the socket the notifiers are for
    std::unique_ptr<QSocketNotifier> read_, write_;
    std::unique_ptr<QTimer> misc_;
    std::map<std::string, int> channels_;
    std::vector<std::string> topics_;
    bool overflowTold_ = false;
    int depth_ = 0;        // calls of the client's under way (its callbacks run inside them)
    bool freeDue_ = false; // a Close from inside one of them
};
