#include "app/forwarder.h"

#include "app/core/conversions.h"
#include "app/core/journal.h"
#include "chart/core/item_file.h"

#include <curl/curl.h>
#include <mosquitto.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kReadStep = 4096; // records read at a time
constexpr auto kKeepEvery = std::chrono::milliseconds(250);
constexpr auto kConnectWait = std::chrono::seconds(5);
constexpr auto kFirstRetry = std::chrono::milliseconds(200);
constexpr auto kLongestRetry = std::chrono::seconds(5);

// FNV-1a, 64 bits: a short stable key of a target's text.
std::uint64_t Fnv(std::string_view text) {
    std::uint64_t h = 14695981039346656037ull;
    for (const unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

// A level of a topic: no wildcard and no level separator of its own.
std::string TopicLevel(std::string_view name) {
    std::string level(name);
    std::replace_if(
        level.begin(), level.end(), [](char c) { return c == '/' || c == '+' || c == '#'; }, '_');
    return level.empty() ? std::string("_") : level;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + '"';
}

std::string JsonTime(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0) return "null";
    char text[40];
    std::snprintf(text, sizeof text, "%.6f", seconds);
    return text;
}

std::string Reason(int rc) {
    return rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno)) : std::string(mosquitto_strerror(rc));
}

void InitLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        mosquitto_lib_init();
        curl_global_init(CURL_GLOBAL_DEFAULT);
    });
}

// One channel's records (or the marks) in the order they were appended, with what of them went out
// and what the broker acknowledged.
struct Stream {
    int Id = 0; // the journal's channel number, Journal::kMarks for the marks
    std::shared_ptr<ItemFileReader> File;
    std::uint64_t Begin = 0;       // its first record in the file
    std::uint64_t Count = 0;       // records whole now
    std::uint64_t Done = 0;        // acknowledged, in order
    std::uint64_t Next = 0;        // the next to send
    std::set<std::uint64_t> Acked; // acknowledged beyond Done
    std::string Name;              // the channel's, as the first record tells it
    std::vector<TChartItem> Buffer;
    std::uint64_t BufferFrom = 0;

    const TChartItem& At(std::uint64_t i) {
        if (i < BufferFrom || i >= BufferFrom + Buffer.size()) {
            BufferFrom = i;
            Buffer.resize(static_cast<std::size_t>(std::min(kReadStep, Count - i)));
            File->Read(Begin + i, Buffer);
        }
        return Buffer[static_cast<std::size_t>(i - BufferFrom)];
    }
    // The nanoseconds after its microsecond a record is stamped with: its place among the records of
    // the same microsecond before it, so that a database keeps each (one point per series and time).
    std::uint64_t TieIndex = ~0ull, TieMicro = 0, Tie = 0;
    std::uint64_t TieOf(std::uint64_t i, std::uint64_t micro) {
        if (i != TieIndex + 1 || TieIndex == ~0ull) {
            Tie = 0;
            for (std::uint64_t j = i; j > 0 && Micro(At(j - 1).X2) == micro; --j)
                ++Tie;
            At(i); // back to the record itself
        } else {
            Tie = TieMicro == micro ? Tie + 1 : 0;
        }
        TieIndex = i;
        TieMicro = micro;
        return Tie;
    }
    static std::uint64_t Micro(double seconds) {
        return std::isfinite(seconds) && seconds > 0 ? static_cast<std::uint64_t>(std::floor(seconds * 1e6))
                                                     : 0;
    }
    void Ack(std::uint64_t i) {
        Acked.insert(i);
        while (!Acked.empty() && *Acked.begin() == Done) {
            Acked.erase(Acked.begin());
            ++Done;
        }
    }
};

std::string ChannelName(int id, const TChartItem& first) {
    if (id == Journal::kMarks) return "events";
    std::string name = SplitChannelLabel(RecordText(first)).first;
    if (name.empty()) name = id == 0 ? "value" : "value" + std::to_string(id + 1);
    return name;
}

// What goes out: one record of a stream.
struct Outgoing {
    Stream& From;
    std::uint64_t Index;
    const TChartItem& Item;
    bool Mark;
};

// The far end's side of forwarding: a broker's client or a database's writer. Each record handed on
// carries a tag; the wire says which tags the far end acknowledged.
class Wire {
public:
    virtual ~Wire() = default;
    // Connects. false, with why: try again later; throws std::runtime_error when trying again cannot
    // help (a refused user).
    virtual bool Connect(std::string* why) = 0;
    // How many more records may be handed on before answers come.
    virtual std::size_t Room() const = 0;
    // Hands a record on; false: not now (the same record is offered again).
    virtual bool Put(Outgoing out, std::uint64_t tag) = 0;
    // Sends what waits (all of it when last) and takes the answers for up to ms, telling each
    // acknowledged tag. false, with why: the connection is lost.
    virtual bool Pump(int ms, bool last, const std::function<void(std::uint64_t)>& ack, std::string* why) = 0;
    // Ends the connection; what was not acknowledged is given up (and handed on again).
    virtual void Close(bool politely) = 0;
};

// QoS 0 or 1 publishing, as many in flight as the target allows.
class MqttWire final : public Wire {
public:
    explicit MqttWire(const ForwardTarget& t) : t_(t) {}
    ~MqttWire() override { Close(false); }

    bool Connect(std::string* why) override {
        client_ = mosquitto_new(nullptr, true, this);
        if (!client_) throw std::runtime_error("MQTT: " + Reason(MOSQ_ERR_ERRNO));
        mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_max_inflight_messages_set(client_, 0); // the window is counted here
        mosquitto_connect_callback_set(client_, [](mosquitto*, void* self, int rc) {
            auto& w = *static_cast<MqttWire*>(self);
            w.refusal_ = rc;
            w.connected_ = rc == 0;
        });
        // Told from the loop, and for QoS 0 maybe from the publish itself: looked at after either.
        mosquitto_publish_callback_set(client_, [](mosquitto*, void* self, int mid) {
            static_cast<MqttWire*>(self)->done_.push_back(mid);
        });
        if (!t_.Url.User.empty())
            mosquitto_username_pw_set(client_, t_.Url.User.c_str(),
                                      t_.Password.empty() ? nullptr : t_.Password.c_str());
        if (t_.Url.Secure) {
            const int rc =
                t_.CaFile.empty()
                    ? mosquitto_tls_set(client_, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr)
                    : mosquitto_tls_set(client_, t_.CaFile.c_str(), nullptr, nullptr, nullptr, nullptr);
            if (rc != MOSQ_ERR_SUCCESS) throw std::runtime_error("MQTT: TLS: " + Reason(rc));
        }
        refusal_ = -1;
        const std::string server = SourceServerText(t_.Url);
        if (const int rc = mosquitto_connect(client_, t_.Url.Host.c_str(), t_.Url.Port, 30);
            rc != MOSQ_ERR_SUCCESS) {
            *why = "MQTT: keine Verbindung zu " + server + ": " + Reason(rc);
            return false;
        }
        const auto until = Clock::now() + kConnectWait;
        while (refusal_ < 0 && Clock::now() < until)
            if (mosquitto_loop(client_, 50, 1) != MOSQ_ERR_SUCCESS) break;
        if (refusal_ == 4 || refusal_ == 5) { // bad user name or password, not authorised
            const std::string text = mosquitto_connack_string(refusal_);
            Close(false);
            throw std::runtime_error("MQTT: " + server + ": " + text);
        }
        if (!connected_) {
            *why = "MQTT: keine Verbindung zu " + server + ": " +
                   (refusal_ > 0 ? mosquitto_connack_string(refusal_) : "no answer");
            return false;
        }
        return true;
    }
    std::size_t Room() const override {
        const auto window = static_cast<std::size_t>(t_.InFlight);
        return inFlight_.size() < window ? window - inFlight_.size() : 0;
    }
    bool Put(Outgoing out, std::uint64_t tag) override {
        const std::string topic =
            out.Mark ? t_.Url.Topic + "/events" : t_.Url.Topic + "/" + TopicLevel(out.From.Name);
        std::string payload;
        if (out.Mark) {
            payload = t_.Json ? "{\"t\": " + JsonTime(out.Item.X2) +
                                    ", \"text\": " + JsonString(RecordText(out.Item)) + "}"
                              : RecordText(out.Item);
        } else {
            const std::string value = LocaleFloatText(out.Item.Y, '.');
            payload = t_.Json ? "{\"t\": " + JsonTime(out.Item.X2) + ", \"v\": " + value + "}" : value;
        }
        int mid = 0;
        if (mosquitto_publish(client_, &mid, topic.c_str(), static_cast<int>(payload.size()), payload.data(),
                              t_.Qos, false) != MOSQ_ERR_SUCCESS)
            return false;
        inFlight_[mid] = tag;
        return true;
    }
    bool Pump(int ms, bool, const std::function<void(std::uint64_t)>& ack, std::string* why) override {
        const int rc = mosquitto_loop(client_, ms, 1);
        for (const int mid : done_)
            if (const auto it = inFlight_.find(mid); it != inFlight_.end()) {
                ack(it->second);
                inFlight_.erase(it);
            }
        done_.clear();
        if (rc == MOSQ_ERR_SUCCESS) return true;
        *why = "MQTT: " + SourceServerText(t_.Url) + " getrennt: " + Reason(rc);
        return false;
    }
    void Close(bool politely) override {
        if (client_ && politely && connected_) {
            mosquitto_disconnect(client_);
            mosquitto_loop(client_, 50, 1);
        }
        if (client_) mosquitto_destroy(client_);
        client_ = nullptr;
        connected_ = false;
        inFlight_.clear();
        done_.clear();
    }

private:
    const ForwardTarget& t_;
    mosquitto* client_ = nullptr;
    bool connected_ = false;
    int refusal_ = -1;                      // the CONNACK's code once it came
    std::map<int, std::uint64_t> inFlight_; // message id → tag
    std::vector<int> done_;                 // message ids sent (QoS 0) or acknowledged (QoS 1)
};

// The line protocol's escapes: a measurement escapes commas and spaces, a tag's key and value and a
// field's key also equals signs; a line end cannot be escaped and becomes a space.
std::string LineEscape(std::string_view text, bool equals) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == ',' || c == ' ' || (equals && c == '=') || c == '\\') out += '\\';
        out += c == '\n' || c == '\r' ? ' ' : c;
    }
    return out.empty() ? std::string("_") : out;
}

std::string LineString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c == '\n' || c == '\r' ? ' ' : c;
    }
    return out + '"';
}

// A record as a line of the protocol, with its newline; empty for a value the protocol cannot hold.
std::string ProtocolLine(const Outgoing& out, Stream& stream, const std::string& tags) {
    std::string field;
    if (out.Mark) {
        field = "text=" + LineString(RecordText(out.Item));
    } else {
        if (!std::isfinite(out.Item.Y)) return {};
        char value[32];
        const auto [end, ec] = std::to_chars(value, value + sizeof value, static_cast<double>(out.Item.Y));
        field = LineEscape(stream.Name, true) + "=" + std::string(value, ec == std::errc() ? end : value);
    }
    const std::uint64_t micro = Stream::Micro(out.Item.X2);
    const std::uint64_t tie = stream.TieOf(out.Index, micro);
    // Without a receive time the record's place in its stream is its time.
    const std::uint64_t ns = micro == 0 ? out.Index : micro * 1000 + tie;
    return (out.Mark ? "mevrant_events" : "mevrant") + tags + " " + field + " " + std::to_string(ns) + "\n";
}

constexpr std::size_t kBatchLines = 5000;
constexpr auto kBatchWait = std::chrono::milliseconds(250);

// Batches of lines written over HTTP: a 1.x server's /write, a 2.x server's /api/v2/write.
class InfluxHttpWire final : public Wire {
public:
    InfluxHttpWire(const ForwardTarget& t, const std::function<bool()>& stop)
        : t_(t), stop_(stop), tags_(",device=" + LineEscape(t.Device, true)) {}
    ~InfluxHttpWire() override { Close(false); }

    bool Connect(std::string* why) override {
        curl_ = curl_easy_init();
        if (!curl_) throw std::runtime_error("InfluxDB: libcurl did not start");
        const std::string host =
            t_.Url.Host.find(':') != std::string::npos ? "[" + t_.Url.Host + "]" : t_.Url.Host;
        std::string url =
            std::string(t_.Url.Secure ? "https://" : "http://") + host + ":" + std::to_string(t_.Url.Port);
        const auto escaped = [this](const std::string& text) {
            char* e = curl_easy_escape(curl_, text.c_str(), static_cast<int>(text.size()));
            std::string out = e ? e : "";
            curl_free(e);
            return out;
        };
        if (IsInfluxBucket(t_.Url)) {
            const std::size_t slash = t_.Url.Topic.find('/');
            url += "/api/v2/write?org=" + escaped(t_.Url.Topic.substr(0, slash)) +
                   "&bucket=" + escaped(t_.Url.Topic.substr(slash + 1)) + "&precision=ns";
            if (!t_.Password.empty())
                headers_ = curl_slist_append(headers_, ("Authorization: Token " + t_.Password).c_str());
        } else {
            url += "/write?db=" + escaped(t_.Url.Topic) + "&precision=ns";
            if (!t_.Url.User.empty()) {
                curl_easy_setopt(curl_, CURLOPT_USERNAME, t_.Url.User.c_str());
                curl_easy_setopt(curl_, CURLOPT_PASSWORD, t_.Password.c_str());
            }
        }
        headers_ = curl_slist_append(headers_, "Content-Type: text/plain; charset=utf-8");
        headers_ = curl_slist_append(headers_, "Expect:"); // the batch goes at once, not after a wait
        curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers_);
        curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, 3000L);
        curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, 10000L);
        curl_easy_setopt(curl_, CURLOPT_TCP_NODELAY, 1L);
        if (t_.Url.Secure && !t_.CaFile.empty()) curl_easy_setopt(curl_, CURLOPT_CAINFO, t_.CaFile.c_str());
        curl_easy_setopt(
            curl_, CURLOPT_WRITEFUNCTION, +[](char* data, size_t, size_t n, void* self) {
                auto& answer = *static_cast<std::string*>(self);
                if (answer.size() < 2000) answer.append(data, std::min<size_t>(n, 2000 - answer.size()));
                return n;
            });
        curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &answer_);
        // A request under way ends when the owner stops the forwarder, not only at its time-out.
        curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, &stop_);
        curl_easy_setopt(
            curl_, CURLOPT_XFERINFOFUNCTION,
            +[](void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) -> int {
                const auto& f = *static_cast<const std::function<bool()>*>(stop);
                return f && f() ? 1 : 0;
            });
        // Nothing is known of the server until the first batch: an empty write asks it now.
        return Post(why);
    }
    std::size_t Room() const override { return lines_ < kBatchLines ? kBatchLines - lines_ : 0; }
    bool Put(Outgoing out, std::uint64_t tag) override {
        if (batchTags_.empty()) batchSince_ = Clock::now();
        batch_ += ProtocolLine(out, out.From, tags_);
        batchTags_.push_back(tag);
        ++lines_;
        return true;
    }
    bool Pump(int ms, bool last, const std::function<void(std::uint64_t)>& ack, std::string* why) override {
        if (batchTags_.empty() ||
            (!last && lines_ < kBatchLines && Clock::now() - batchSince_ < kBatchWait)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 10)));
            return true;
        }
        if (!Post(why)) return false;
        for (const std::uint64_t tag : batchTags_)
            ack(tag);
        batch_.clear();
        batchTags_.clear();
        lines_ = 0;
        return true;
    }
    void Close(bool) override {
        if (curl_) curl_easy_cleanup(curl_);
        curl_ = nullptr;
        if (headers_) curl_slist_free_all(headers_);
        headers_ = nullptr;
        batch_.clear();
        batchTags_.clear();
        lines_ = 0;
    }

private:
    // Writes the batch (empty: only asks); true once the server took it.
    bool Post(std::string* why) {
        answer_.clear();
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, batch_.data());
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(batch_.size()));
        const std::string server = SourceServerText(t_.Url);
        if (const CURLcode rc = curl_easy_perform(curl_); rc != CURLE_OK) {
            *why = "InfluxDB: keine Verbindung zu " + server + ": " + curl_easy_strerror(rc);
            return false;
        }
        long status = 0;
        curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 200 && status < 300) return true;
        std::string text = answer_;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        const std::string told = "InfluxDB: " + server + " answered " + std::to_string(status) +
                                 (text.empty() ? std::string() : ": " + text);
        // A refused user or token, or lines the server will never take: trying again cannot help. A
        // database not there yet, a server busy or starting: it can.
        if (status == 400 || status == 401 || status == 403 || status == 413) throw std::runtime_error(told);
        *why = told;
        return false;
    }

    const ForwardTarget& t_;
    const std::function<bool()>& stop_;
    std::string tags_;
    CURL* curl_ = nullptr;
    curl_slist* headers_ = nullptr;
    std::string batch_, answer_;
    std::vector<std::uint64_t> batchTags_;
    std::size_t lines_ = 0;
    Clock::time_point batchSince_;
};

// Datagrams of lines to a socket listener: written is all that can be known.
class InfluxUdpWire final : public Wire {
public:
    explicit InfluxUdpWire(const ForwardTarget& t) : t_(t), tags_(",device=" + LineEscape(t.Device, true)) {}
    ~InfluxUdpWire() override { Close(false); }

    bool Connect(std::string* why) override {
        addrinfo hints{};
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* found = nullptr;
        const std::string port = std::to_string(t_.Url.Port);
        if (const int rc = ::getaddrinfo(t_.Url.Host.c_str(), port.c_str(), &hints, &found); rc != 0) {
            *why = "InfluxDB: " + SourceUrlText(t_.Url) + ": " + ::gai_strerror(rc);
            return false;
        }
        for (addrinfo* a = found; a && fd_ < 0; a = a->ai_next) {
            fd_ = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
            if (fd_ >= 0 && ::connect(fd_, a->ai_addr, a->ai_addrlen) != 0) {
                ::close(fd_);
                fd_ = -1;
            }
        }
        ::freeaddrinfo(found);
        if (fd_ < 0) *why = "InfluxDB: " + SourceUrlText(t_.Url) + ": " + std::strerror(errno);
        tokens_ = kDatagramsPerSecond / 10.0;
        filled_ = Clock::now();
        return fd_ >= 0;
    }
    std::size_t Room() const override { return kBatchLines; }
    bool Put(Outgoing out, std::uint64_t tag) override {
        std::string line = ProtocolLine(out, out.From, tags_);
        if (!datagram_.empty() && datagram_.size() + line.size() > kDatagram) {
            if (!Tokens()) return false; // offered again, it gets the same stamp
            if (!Send()) return false;
        }
        datagram_ += line;
        tags_in_.push_back(tag);
        return true;
    }
    bool Pump(int ms, bool, const std::function<void(std::uint64_t)>& ack, std::string* why) override {
        if (!datagram_.empty() && Tokens()) Send();
        for (const std::uint64_t tag : written_)
            ack(tag);
        written_.clear();
        if (error_ != 0) { // a write that failed, here or in Put
            *why = "InfluxDB: " + SourceUrlText(t_.Url) + ": " + std::strerror(error_);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 2)));
        return true;
    }
    void Close(bool) override {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        datagram_.clear();
        tags_in_.clear();
        written_.clear();
        error_ = 0;
    }

private:
    // Datagrams that stay below a network's common frame, at a pace a listener's buffer keeps up with.
    static constexpr std::size_t kDatagram = 1400;
    static constexpr double kDatagramsPerSecond = 4000;
    bool Tokens() {
        const auto now = Clock::now();
        tokens_ =
            std::min(kDatagramsPerSecond / 10.0,
                     tokens_ + std::chrono::duration<double>(now - filled_).count() * kDatagramsPerSecond);
        filled_ = now;
        if (tokens_ < 1) return false;
        tokens_ -= 1;
        return true;
    }
    bool Send() {
        if (::send(fd_, datagram_.data(), datagram_.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(datagram_.size())) {
            error_ = errno;
            return false;
        }
        error_ = 0; // the last write's error is what counts
        written_.insert(written_.end(), tags_in_.begin(), tags_in_.end());
        tags_in_.clear();
        datagram_.clear();
        return true;
    }

    const ForwardTarget& t_;
    std::string tags_;
    int fd_ = -1;
    std::string datagram_;
    std::vector<std::uint64_t> tags_in_, written_;
    int error_ = 0;
    double tokens_ = 0;
    Clock::time_point filled_;
};

std::unique_ptr<Wire> MakeWire(const ForwardTarget& t, const std::function<bool()>& stop) {
    switch (t.Url.Type) {
    case SourceUrl::Kind::Mqtt:
        return std::make_unique<MqttWire>(t);
    case SourceUrl::Kind::InfluxHttp:
        return std::make_unique<InfluxHttpWire>(t, stop);
    case SourceUrl::Kind::InfluxUdp:
        return std::make_unique<InfluxUdpWire>(t);
    default:
        break;
    }
    throw std::runtime_error(SourceUrlText(t.Url) + " is no target to forward to");
}

} // namespace

struct RunForwarder::State {
    std::unique_ptr<Wire> Link;                                              // while connected
    std::map<std::uint64_t, std::pair<std::size_t, std::uint64_t>> InFlight; // tag → stream, record
    std::uint64_t NextTag = 0;
    std::vector<Stream> Streams;

    void Free(bool politely = false) {
        if (Link) Link->Close(politely);
        Link.reset();
        InFlight.clear();
        for (Stream& s : Streams) { // what was not acknowledged goes again
            s.Acked.clear();
            s.Next = s.Done;
        }
    }
};

RunForwarder::RunForwarder(std::string run, ForwardTarget target, const LiveRun* live)
    : run_(std::move(run)), target_(std::move(target)), live_(live), s_(std::make_unique<State>()) {}

RunForwarder::~RunForwarder() {
    s_->Free();
    std::fill(target_.Password.begin(), target_.Password.end(), '\0');
}

std::string RunForwarder::PositionPath(const std::string& run, const ForwardTarget& target) {
    std::string text = SourceUrlText(target.Url);
    if (std::isfinite(target.From) || std::isfinite(target.To)) {
        char range[64];
        std::snprintf(range, sizeof range, " %.6f %.6f", target.From, target.To);
        text += range;
    }
    char key[17];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(Fnv(text)));
    return run + ".forward-" + key;
}

namespace {

// "0:1200 1:1200 16:3": each stream's acknowledged count.
std::map<int, std::uint64_t> ReadCounts(const std::string& path) {
    std::map<int, std::uint64_t> counts;
    std::ifstream in(path);
    std::string pair;
    while (in >> pair) {
        const std::size_t colon = pair.find(':');
        if (colon == std::string::npos) break;
        try {
            counts[std::stoi(pair.substr(0, colon))] = std::stoull(pair.substr(colon + 1));
        } catch (const std::exception&) {
            break; // a hand-edited file: what was read so far
        }
    }
    return counts;
}

// Written whole or not at all: a kill while writing leaves the counts before.
void KeepCounts(const std::string& path, const std::vector<Stream>& streams) {
    const std::string part = path + ".part";
    {
        std::ofstream out(part, std::ios::trunc);
        for (const Stream& s : streams)
            out << s.Id << ':' << s.Done << ' ';
        out << '\n';
        out.flush();
        if (!out) return;
    }
    std::rename(part.c_str(), path.c_str());
}

} // namespace

RunForwarder::Report RunForwarder::Run(const std::function<bool()>& stop,
                                       const std::function<void(const std::string&)>& tell) {
    InitLibraries();
    State& s = *s_;
    s.Free();
    s.Streams.clear();
    const std::string keep = PositionPath(run_, target_);
    const std::map<int, std::uint64_t> kept = ReadCounts(keep);
    const auto begin = [&](Stream&& stream) {
        const auto k = kept.find(stream.Id);
        stream.Done = stream.Next = k == kept.end() ? 0 : std::min(k->second, stream.Count);
        stream.Name = ChannelName(stream.Id, stream.At(0));
        s.Streams.push_back(std::move(stream));
    };
    // A finished file: its channels one after the other, the marks at the end of the first one's.
    if (!live_) {
        auto file = std::make_shared<ItemFileReader>(run_);
        const auto ranges = ChannelRanges(*file);
        for (std::size_t c = 0; c < ranges.size(); ++c) {
            auto [from, to] = ranges[c];
            std::uint64_t marks = 0;
            if (c == 0)
                while (to - marks > from && IsEventMark(file->Record(to - marks - 1)))
                    ++marks;
            if (to - marks > from) {
                Stream channel;
                channel.Id = file->Record(from).ItemClass;
                channel.File = file;
                channel.Begin = from;
                channel.Count = to - marks - from;
                begin(std::move(channel));
            }
            if (marks > 0) {
                Stream m;
                m.Id = Journal::kMarks;
                m.File = file;
                m.Begin = to - marks;
                m.Count = marks;
                begin(std::move(m));
            }
        }
    }
    // A live run: a stream from its channel's first record on, its count as the writer tells it.
    const auto follow = [&] {
        if (!live_) return;
        for (int id = 0; id < LiveRun::kStreams; ++id) {
            const std::uint64_t n =
                live_->Records[static_cast<std::size_t>(id)].load(std::memory_order_acquire);
            if (n == 0) continue;
            auto it = std::find_if(s.Streams.begin(), s.Streams.end(),
                                   [id](const Stream& x) { return x.Id == id; });
            if (it != s.Streams.end()) {
                it->Count = n;
                continue;
            }
            Stream stream;
            stream.Id = id;
            stream.File = std::make_shared<ItemFileReader>(JournalChannelPath(run_, id));
            stream.Count = n;
            begin(std::move(stream));
        }
    };
    const auto total = [&](std::uint64_t Stream::*field) {
        std::uint64_t sum = 0;
        for (const Stream& x : s.Streams)
            sum += x.*field;
        return sum;
    };
    follow();
    Report report;
    report.From = total(&Stream::Done);
    auto keptAt = Clock::now();
    Clock::duration retry = kFirstRetry;
    auto nextTry = Clock::now();
    const auto lost = [&](const std::string& why) {
        ++report.Losses;
        if (tell) tell(why);
        s.Free();
        connected_ = false;
        nextTry = Clock::now() + retry;
        retry = std::min<Clock::duration>(retry * 2, kLongestRetry);
    };
    const std::function<void(std::uint64_t)> ack = [&](std::uint64_t tag) {
        if (const auto it = s.InFlight.find(tag); it != s.InFlight.end()) {
            s.Streams[it->second.first].Ack(it->second.second);
            s.InFlight.erase(it);
        }
    };

    for (;;) {
        const bool ended = !live_ || live_->Ended.load(std::memory_order_acquire);
        follow();
        known_ = total(&Stream::Count);
        acked_ = total(&Stream::Done);
        if (ended && acked_ == known_) break;
        if (stop && stop()) break;
        if (!s.Link) {
            if (Clock::now() < nextTry) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            s.Link = MakeWire(target_, stop);
            std::string why;
            if (!s.Link->Connect(&why)) {
                lost(why);
                continue;
            }
            connected_ = true;
            retry = kFirstRetry;
        }
        // As many as the far end takes now, the streams merged by receive time, then its answers.
        bool more = false;
        for (std::size_t room = s.Link->Room(); room > 0;) {
            Stream* first = nullptr;
            for (Stream& x : s.Streams)
                if (x.Next < x.Count && (!first || x.At(x.Next).X2 < first->At(first->Next).X2)) first = &x;
            if (!first) break;
            const std::uint64_t i = first->Next;
            const TChartItem& item = first->At(i);
            const bool mark = IsEventMark(item);
            if ((!mark && item.Kind != ikMoveTo && item.Kind != ikLineTo) || item.X2 < target_.From ||
                item.X2 > target_.To) {
                first->Next++;
                first->Ack(i); // nothing to send
                continue;
            }
            const std::uint64_t tag = s.NextTag++;
            if (!s.Link->Put(Outgoing{*first, i, item, mark}, tag)) {
                more = true;
                break;
            }
            first->Next++;
            ++report.Sent;
            --room;
            s.InFlight[tag] = {static_cast<std::size_t>(first - s.Streams.data()), i};
        }
        const bool last = !more && ended &&
                          std::none_of(s.Streams.begin(), s.Streams.end(),
                                       [](const Stream& x) { return x.Next < x.Count; });
        if (std::string why; !s.Link->Pump(10, last, ack, &why)) lost(why);
        if (Clock::now() - keptAt >= kKeepEvery) {
            KeepCounts(keep, s.Streams);
            keptAt = Clock::now();
            double oldest = 0;
            for (Stream& x : s.Streams)
                if (x.Done < x.Count && (oldest == 0 || x.At(x.Done).X2 < oldest)) oldest = x.At(x.Done).X2;
            pendingSince_ = oldest;
        }
    }
    pendingSince_ = 0;
    s.Free(true);
    KeepCounts(keep, s.Streams);
    report.Records = total(&Stream::Count);
    report.Acked = total(&Stream::Done);
    acked_ = report.Acked;
    connected_ = false;
    return report;
}
