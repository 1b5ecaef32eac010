#include "app/mqtt_source.h"

#include "app/core/conversions.h"

#include <mosquitto.h>

#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <stdexcept>

namespace {

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

std::string Reason(int rc) {
    if (rc == MOSQ_ERR_ERRNO) return std::strerror(errno);
    return mosquitto_strerror(rc);
}

// "lab/rig1/temp" → "temp"
std::string_view LastLevel(std::string_view topic) {
    const std::size_t slash = topic.rfind('/');
    return slash == std::string_view::npos ? topic : topic.substr(slash + 1);
}

} // namespace

MqttSource::MqttSource(SourceUrl url, std::string caFile)
    : url_(std::move(url)), caFile_(std::move(caFile)) {}

MqttSource::~MqttSource() {
    Free();
    std::fill(password_.begin(), password_.end(), '\0');
}

void MqttSource::SetPassword(std::string password) {
    std::fill(password_.begin(), password_.end(), '\0');
    password_ = std::move(password);
}

// A notifier or timer may be the one whose signal runs now: it goes when the event loop is back.
template <class T> void Drop(std::unique_ptr<T>& object) {
    if (!object) return;
    object->blockSignals(true);
    object.release()->deleteLater();
}

void MqttSource::Unwatch() {
    // The client may have closed the socket already: no more polls of it.
    if (read_) read_->setEnabled(false);
    if (write_) write_->setEnabled(false);
    if (misc_) misc_->stop();
    Drop(read_);
    Drop(write_);
    Drop(misc_);
    watched_ = -1;
}

void MqttSource::Free() {
    Unwatch();
    if (depth_ > 0) { // inside the client's own call: it is freed when that returns
        freeDue_ = true;
        state_ = Closed;
        return;
    }
    freeDue_ = false;
    if (client_) {
        mosquitto_destroy(client_);
        client_ = nullptr;
    }
    state_ = Closed;
}

void MqttSource::Begin() {
    Free();
    InitLibrary();
    refusal_ = 0;
    failure_.clear();
    client_ = mosquitto_new(nullptr, true, this);
    if (!client_) throw std::runtime_error("MQTT: " + Reason(MOSQ_ERR_ERRNO));
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(client_, &MqttSource::Connected);
    mosquitto_subscribe_callback_set(client_, &MqttSource::Subscribed);
    mosquitto_disconnect_callback_set(client_, &MqttSource::Disconnected);
    mosquitto_message_callback_set(client_, &MqttSource::Message);
    if (!url_.User.empty())
        mosquitto_username_pw_set(client_, url_.User.c_str(),
                                  password_.empty() ? nullptr : password_.c_str());
    if (url_.Secure) {
        const int rc = caFile_.empty()
                           ? mosquitto_tls_set(client_, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr)
                           : mosquitto_tls_set(client_, caFile_.c_str(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            Free();
            throw std::runtime_error("MQTT: " + Where() + ": TLS: " + Reason(rc) +
                                     (caFile_.empty() ? "" : " (" + caFile_ + ")"));
        }
    }
    state_ = Connecting;
    const int rc = mosquitto_connect_async(client_, url_.Host.c_str(), url_.Port, kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        const std::string why = Reason(rc);
        Free();
        throw std::runtime_error("MQTT: keine Verbindung zu " + Where() + ": " + why);
    }
}

void MqttSource::Open() {
    channels_.clear();
    topics_.clear();
    overflowTold_ = false;
    Begin();
    // The broker's two acknowledgements are waited for here, so what is published after Start reaches
    // the run; the client's own loop, without the event loop's (as a TCP connect waits).
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kConnectMs);
    while (state_ == Connecting || state_ == Subscribing) {
        if (std::chrono::steady_clock::now() > end) {
            Free();
            throw std::runtime_error("MQTT: keine Antwort von " + Where() + " in " +
                                     std::to_string(kConnectMs / 1000) + " s");
        }
        Step([this] { return mosquitto_loop(client_, 50, 1); });
    }
    if (state_ != Up) {
        const std::string why = refusal_ ? mosquitto_connack_string(refusal_) : failure_;
        Free();
        throw std::runtime_error("MQTT: keine Verbindung zu " + Where() + ": " + why);
    }
    Watch();
}

void MqttSource::Reopen() {
    if (state_ != Closed) return; // under way
    try {
        Begin();
    } catch (...) {
        Free();
        throw;
    }
    Watch();
    Service();
}

void MqttSource::Close() {
    if (client_ && state_ != Closed) mosquitto_disconnect(client_);
    Free();
}

void MqttSource::Failed(int rc) {
    if (failure_.empty()) failure_ = Reason(rc);
    const bool wasUp = state_ == Up;
    state_ = Closed;
    Unwatch();
    if (wasUp && OnLost) OnLost();
}

void MqttSource::Watch() {
    const int fd = client_ ? mosquitto_socket(client_) : -1;
    if (fd == watched_) return;
    if (read_) read_->setEnabled(false);
    if (write_) write_->setEnabled(false);
    Drop(read_);
    Drop(write_);
    watched_ = fd;
    if (fd < 0) return;
    read_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(read_.get(), &QSocketNotifier::activated, read_.get(), [this] {
        Step([this] { return mosquitto_loop_read(client_, 1); });
        Service();
    });
    write_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    QObject::connect(write_.get(), &QSocketNotifier::activated, write_.get(), [this] {
        Step([this] { return mosquitto_loop_write(client_, 1); });
        Service();
    });
    if (!misc_) {
        // Keep-alive pings and their time-out.
        misc_ = std::make_unique<QTimer>();
        misc_->setInterval(1000);
        QObject::connect(misc_.get(), &QTimer::timeout, misc_.get(), [this] {
            Step([this] { return mosquitto_loop_misc(client_); });
            Service();
        });
        misc_->start();
    }
}

void MqttSource::Step(const std::function<int()>& call) {
    ++depth_;
    const int rc = call();
    --depth_;
    if (freeDue_) return Free();
    if (rc != MOSQ_ERR_SUCCESS && state_ != Closed) Failed(rc);
}

void MqttSource::Service() {
    if (state_ == Closed || !client_) return;
    Watch();
    if (write_) write_->setEnabled(mosquitto_want_write(client_));
}

void MqttSource::Connected(mosquitto* client, void* self, int rc) {
    auto& s = *static_cast<MqttSource*>(self);
    if (rc != 0) {
        s.refusal_ = rc;
        s.failure_ = mosquitto_connack_string(rc);
        s.state_ = Closed;
        return;
    }
    s.state_ = Subscribing;
    if (const int sub = mosquitto_subscribe(client, nullptr, s.url_.Topic.c_str(), 1);
        sub != MOSQ_ERR_SUCCESS) {
        s.failure_ = "subscribe " + s.url_.Topic + ": " + Reason(sub);
        s.state_ = Closed;
    }
}

void MqttSource::Subscribed(mosquitto*, void* self, int, int count, const int* granted) {
    auto& s = *static_cast<MqttSource*>(self);
    if (count < 1 || granted[0] > 2) { // 0x80: the broker refused the topic
        s.failure_ = "the broker refused the subscription to " + s.url_.Topic;
        s.state_ = Closed;
        return;
    }
    s.state_ = Up;
}

void MqttSource::Disconnected(mosquitto*, void* self, int rc) {
    auto& s = *static_cast<MqttSource*>(self);
    if (s.state_ == Closed) return;
    if (rc == 0) rc = MOSQ_ERR_CONN_LOST; // the broker ended it
    s.failure_.clear();
    s.Failed(rc);
}

void MqttSource::Message(mosquitto*, void* self, const mosquitto_message* message) {
    auto& s = *static_cast<MqttSource*>(self);
    if (s.state_ != Up || !message->topic) return;
    s.Take(message->topic, std::string_view(static_cast<const char*>(message->payload),
                                            static_cast<std::size_t>(message->payloadlen)));
}

void MqttSource::Take(const std::string& topic, std::string_view payload) {
    if (!OnLine) return;
    while (!payload.empty()) {
        const std::size_t end = payload.find_first_of("\r\n");
        const std::string_view line = payload.substr(0, end);
        payload = end == std::string_view::npos ? std::string_view{} : payload.substr(end + 1);
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        const ReceivedFields fields = ReceivedTextToValues(line);
        if (fields.Count != 1 || fields.Values != 1) {
            OnLine(line, -1, {});
            continue;
        }
        auto known = channels_.find(topic);
        if (known == channels_.end()) {
            if (topics_.size() >= static_cast<std::size_t>(kMaxChannels)) {
                if (!overflowTold_ && OnDropped)
                    OnDropped("MQTT: mehr als " + std::to_string(kMaxChannels) +
                              " Themen mit je einem Wert; weitere wie " + topic +
                              " werden nicht aufgezeichnet");
                overflowTold_ = true;
                continue;
            }
            known = channels_.emplace(topic, static_cast<int>(topics_.size())).first;
            topics_.push_back(topic);
        }
        OnLine(line, known->second, LastLevel(topic));
    }
}
