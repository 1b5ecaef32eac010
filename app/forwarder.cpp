#include "app/forwarder.h"

#include "app/core/conversions.h"
#include "chart/core/item_file.h"

#include <mosquitto.h>

#include <algorithm>
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

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

struct RunForwarder::State {
    mosquitto* Client = nullptr;
    bool Connected = false;
    int Refusal = -1;                      // the CONNACK's code once it came
    std::map<int, std::uint64_t> InFlight; // message id → record
    std::set<std::uint64_t> Acked;         // records acknowledged beyond the position
    std::uint64_t Position = 0;
    std::uint64_t Next = 0;

    void Free() {
        if (Client) mosquitto_destroy(Client);
        Client = nullptr;
        Connected = false;
        InFlight.clear();
        Acked.clear();
        Next = Position; // what was not acknowledged goes again
    }
    void Done(std::uint64_t record) {
        Acked.insert(record);
        while (!Acked.empty() && *Acked.begin() == Position) {
            Acked.erase(Acked.begin());
            ++Position;
        }
    }
};

RunForwarder::RunForwarder(std::string run, ForwardTarget target)
    : run_(std::move(run)), target_(std::move(target)), s_(std::make_unique<State>()) {}

RunForwarder::~RunForwarder() {
    s_->Free();
    std::fill(target_.Password.begin(), target_.Password.end(), '\0');
}

std::string RunForwarder::PositionPath(const std::string& run, const SourceUrl& url) {
    char key[17];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(Fnv(SourceUrlText(url))));
    return run + ".forward-" + key;
}

namespace {

std::uint64_t ReadPosition(const std::string& path) {
    std::ifstream in(path);
    unsigned long long position = 0;
    return in >> position ? position : 0;
}

// Written whole or not at all: a kill while writing leaves the position before.
void KeepPosition(const std::string& path, std::uint64_t position) {
    const std::string part = path + ".part";
    {
        std::ofstream out(part, std::ios::trunc);
        out << position << '\n';
        out.flush();
        if (!out) return;
    }
    std::rename(part.c_str(), path.c_str());
}

} // namespace

RunForwarder::Report RunForwarder::Run(const std::function<bool()>& stop,
                                       const std::function<void(const std::string&)>& tell) {
    InitLibrary();
    const ItemFileReader file(run_);
    const std::uint64_t records = file.Records();
    // Each record's topic: its channel's name, as the CSV names the channel.
    struct Channel {
        std::uint64_t End;
        std::string Topic;
    };
    std::vector<Channel> channels;
    const auto ranges = ChannelRanges(file);
    const std::string prefix = target_.Url.Topic;
    for (std::size_t c = 0; c < ranges.size(); ++c) {
        std::string name = SplitChannelLabel(RecordText(file.Record(ranges[c].first))).first;
        if (name.empty()) name = ranges.size() == 1 ? "value" : "value" + std::to_string(c + 1);
        channels.push_back({ranges[c].second, prefix + "/" + TopicLevel(name)});
    }
    const std::string events = prefix + "/events";

    const std::string keep = PositionPath(run_, target_.Url);
    State& s = *s_;
    s.Free();
    s.Position = s.Next = std::min(ReadPosition(keep), records);
    Report report;
    report.Records = records;
    report.From = s.Position;
    auto kept = Clock::now();
    Clock::duration retry = kFirstRetry;
    auto nextTry = Clock::now();
    std::vector<TChartItem> buffer;
    std::uint64_t bufferFrom = 0;

    const auto record = [&](std::uint64_t i) -> const TChartItem& {
        if (i < bufferFrom || i >= bufferFrom + buffer.size()) {
            bufferFrom = i;
            buffer.resize(static_cast<std::size_t>(std::min(kReadStep, records - i)));
            file.Read(i, buffer);
        }
        return buffer[static_cast<std::size_t>(i - bufferFrom)];
    };
    const auto lost = [&](const std::string& why) {
        ++report.Losses;
        if (tell) tell(why);
        s.Free();
        nextTry = Clock::now() + retry;
        retry = std::min<Clock::duration>(retry * 2, kLongestRetry);
    };

    while (s.Position < records && !(stop && stop())) {
        if (!s.Client) {
            if (Clock::now() < nextTry) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            s.Client = mosquitto_new(nullptr, true, &s);
            if (!s.Client) throw std::runtime_error("MQTT: " + Reason(MOSQ_ERR_ERRNO));
            mosquitto_int_option(s.Client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
            mosquitto_max_inflight_messages_set(s.Client, 0); // the window is counted here
            mosquitto_connect_callback_set(s.Client, [](mosquitto*, void* self, int rc) {
                auto& st = *static_cast<State*>(self);
                st.Refusal = rc;
                st.Connected = rc == 0;
            });
            mosquitto_publish_callback_set(s.Client, [](mosquitto*, void* self, int mid) {
                auto& st = *static_cast<State*>(self);
                if (const auto it = st.InFlight.find(mid); it != st.InFlight.end()) {
                    st.Done(it->second);
                    st.InFlight.erase(it);
                }
            });
            if (!target_.Url.User.empty())
                mosquitto_username_pw_set(s.Client, target_.Url.User.c_str(),
                                          target_.Password.empty() ? nullptr : target_.Password.c_str());
            if (target_.Url.Secure) {
                const int rc = target_.CaFile.empty() ? mosquitto_tls_set(s.Client, nullptr, "/etc/ssl/certs",
                                                                          nullptr, nullptr, nullptr)
                                                      : mosquitto_tls_set(s.Client, target_.CaFile.c_str(),
                                                                          nullptr, nullptr, nullptr, nullptr);
                if (rc != MOSQ_ERR_SUCCESS) throw std::runtime_error("MQTT: TLS: " + Reason(rc));
            }
            s.Refusal = -1;
            if (const int rc = mosquitto_connect(s.Client, target_.Url.Host.c_str(), target_.Url.Port, 30);
                rc != MOSQ_ERR_SUCCESS) {
                lost("MQTT: keine Verbindung zu " + SourceServerText(target_.Url) + ": " + Reason(rc));
                continue;
            }
            const auto until = Clock::now() + kConnectWait;
            while (s.Refusal < 0 && Clock::now() < until)
                if (mosquitto_loop(s.Client, 50, 1) != MOSQ_ERR_SUCCESS) break;
            if (s.Refusal == 4 || s.Refusal == 5) { // bad user name or password, not authorised
                const std::string why = mosquitto_connack_string(s.Refusal);
                s.Free();
                throw std::runtime_error("MQTT: " + SourceServerText(target_.Url) + ": " + why);
            }
            if (!s.Connected) {
                lost("MQTT: keine Verbindung zu " + SourceServerText(target_.Url) + ": " +
                     (s.Refusal > 0 ? mosquitto_connack_string(s.Refusal) : "no answer"));
                continue;
            }
            retry = kFirstRetry;
        }
        // As many as the window holds, then the broker's answers.
        while (s.Next < records && s.InFlight.size() < static_cast<std::size_t>(target_.InFlight)) {
            const std::uint64_t i = s.Next++;
            const TChartItem& item = record(i);
            const auto channel = std::min<std::size_t>(
                static_cast<std::size_t>(
                    std::upper_bound(channels.begin(), channels.end(), i,
                                     [](std::uint64_t r, const Channel& c) { return r < c.End; }) -
                    channels.begin()),
                channels.size() - 1);
            std::string topic, payload;
            if (IsEventMark(item)) {
                topic = events;
                payload = target_.Json ? "{\"t\": " + JsonTime(item.X2) +
                                             ", \"text\": " + JsonString(RecordText(item)) + "}"
                                       : RecordText(item);
            } else if (item.Kind == ikMoveTo || item.Kind == ikLineTo) {
                topic = channels[channel].Topic;
                const std::string value = LocaleFloatText(item.Y, '.');
                payload = target_.Json ? "{\"t\": " + JsonTime(item.X2) + ", \"v\": " + value + "}" : value;
            } else {
                s.Done(i); // nothing to send
                continue;
            }
            int mid = 0;
            const int rc = mosquitto_publish(s.Client, &mid, topic.c_str(), static_cast<int>(payload.size()),
                                             payload.data(), target_.Qos, false);
            if (rc != MOSQ_ERR_SUCCESS) {
                s.Next = i;
                break;
            }
            ++report.Sent;
            s.InFlight[mid] = i;
        }
        if (const int rc = mosquitto_loop(s.Client, 10, 1); rc != MOSQ_ERR_SUCCESS)
            lost("MQTT: " + SourceServerText(target_.Url) + " getrennt: " + Reason(rc));
        if (Clock::now() - kept >= kKeepEvery) {
            KeepPosition(keep, s.Position);
            kept = Clock::now();
        }
    }
    if (s.Client && s.Connected) {
        mosquitto_disconnect(s.Client);
        mosquitto_loop(s.Client, 50, 1);
    }
    KeepPosition(keep, s.Position);
    report.Position = s.Position;
    s.Free();
    return report;
}
