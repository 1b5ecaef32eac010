#include "app/forwarder.h"

#include "app/core/conversions.h"
#include "app/core/journal.h"
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
    std::string Topic;
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
    void Ack(std::uint64_t i) {
        Acked.insert(i);
        while (!Acked.empty() && *Acked.begin() == Done) {
            Acked.erase(Acked.begin());
            ++Done;
        }
    }
};

constexpr int kMarksStream = 16; // Journal::kMarks

std::string ChannelTopic(const std::string& prefix, int id, const TChartItem& first) {
    std::string name = SplitChannelLabel(RecordText(first)).first;
    if (name.empty()) name = id == 0 ? "value" : "value" + std::to_string(id + 1);
    return prefix + "/" + TopicLevel(name);
}

} // namespace

struct RunForwarder::State {
    mosquitto* Client = nullptr;
    bool Connected = false;
    int Refusal = -1;                                              // the CONNACK's code once it came
    std::map<int, std::pair<std::size_t, std::uint64_t>> InFlight; // message id → stream, record
    std::vector<Stream> Streams;

    void Free() {
        if (Client) mosquitto_destroy(Client);
        Client = nullptr;
        Connected = false;
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

std::string RunForwarder::PositionPath(const std::string& run, const SourceUrl& url) {
    char key[17];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(Fnv(SourceUrlText(url))));
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
    InitLibrary();
    State& s = *s_;
    s.Free();
    s.Streams.clear();
    const std::string prefix = target_.Url.Topic;
    const std::string events = prefix + "/events";
    const std::string keep = PositionPath(run_, target_.Url);
    const std::map<int, std::uint64_t> kept = ReadCounts(keep);
    const auto begin = [&](Stream&& stream) {
        const auto k = kept.find(stream.Id);
        stream.Done = stream.Next = k == kept.end() ? 0 : std::min(k->second, stream.Count);
        stream.Topic = stream.Id == kMarksStream ? events : ChannelTopic(prefix, stream.Id, stream.At(0));
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
                m.Id = kMarksStream;
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

    for (;;) {
        const bool ended = !live_ || live_->Ended.load(std::memory_order_acquire);
        follow();
        known_ = total(&Stream::Count);
        acked_ = total(&Stream::Done);
        if (ended && acked_ == known_) break;
        if (stop && stop()) break;
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
                    st.Streams[it->second.first].Ack(it->second.second);
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
            connected_ = true;
            retry = kFirstRetry;
        }
        // As many as the window holds, the streams merged by receive time, then the broker's answers.
        while (s.InFlight.size() < static_cast<std::size_t>(target_.InFlight)) {
            Stream* first = nullptr;
            for (Stream& x : s.Streams)
                if (x.Next < x.Count && (!first || x.At(x.Next).X2 < first->At(first->Next).X2)) first = &x;
            if (!first) break;
            const std::uint64_t i = first->Next++;
            const TChartItem& item = first->At(i);
            std::string payload;
            if (IsEventMark(item)) {
                payload = target_.Json ? "{\"t\": " + JsonTime(item.X2) +
                                             ", \"text\": " + JsonString(RecordText(item)) + "}"
                                       : RecordText(item);
            } else if (item.Kind == ikMoveTo || item.Kind == ikLineTo) {
                const std::string value = LocaleFloatText(item.Y, '.');
                payload = target_.Json ? "{\"t\": " + JsonTime(item.X2) + ", \"v\": " + value + "}" : value;
            } else {
                first->Ack(i); // nothing to send
                continue;
            }
            int mid = 0;
            const int rc =
                mosquitto_publish(s.Client, &mid, first->Topic.c_str(), static_cast<int>(payload.size()),
                                  payload.data(), target_.Qos, false);
            if (rc != MOSQ_ERR_SUCCESS) {
                first->Next = i;
                break;
            }
            ++report.Sent;
            s.InFlight[mid] = {static_cast<std::size_t>(first - s.Streams.data()), i};
        }
        if (const int rc = mosquitto_loop(s.Client, 10, 1); rc != MOSQ_ERR_SUCCESS)
            lost("MQTT: " + SourceServerText(target_.Url) + " getrennt: " + Reason(rc));
        if (Clock::now() - keptAt >= kKeepEvery) {
            KeepCounts(keep, s.Streams);
            keptAt = Clock::now();
        }
    }
    if (s.Client && s.Connected) {
        mosquitto_disconnect(s.Client);
        mosquitto_loop(s.Client, 50, 1);
    }
    KeepCounts(keep, s.Streams);
    report.Records = total(&Stream::Count);
    report.Acked = total(&Stream::Done);
    acked_ = report.Acked;
    s.Free();
    connected_ = false;
    return report;
}
