#pragma once
// Forwarding a run to the lab's MQTT broker or time-series database with nothing lost. The run's files
// are the outbox: each channel's records (and the marks) are a stream, and the streams go out merged by
// receive time. To a broker each sample goes to PREFIX/<channel name> (the value as text, or JSON
// {"t": <unix seconds>, "v": <value>}), each mark to PREFIX/events. To a database each sample is a
// line of its line protocol, "mevrant,device=<name> <channel>=<value> <nanoseconds>", each mark one of
// "mevrant_events,device=<name> text=\"…\" <nanoseconds>", sent in batches (5,000 lines or 0.25 s);
// samples stamped in the same microsecond get the nanoseconds after it in their order, so none
// overwrites another. What the far end acknowledged (QoS 1: its PUBACK; QoS 0 and UDP: the write;
// HTTP: a 2xx answer to the batch) is kept beside the run as a count per stream, "<run>.forward-<key>",
// a few times a second and at the end: the same counts whether the run is still being written (a
// channel in a file of its own) or finished (the channels joined in one file), so an outage, a kill or
// a crash goes on from there, at least once (the line protocol's times make a repeat harmless). A far
// end that is away is tried again with growing waits (0.2 s doubling to 5 s). Plain C++, libmosquitto
// and libcurl: it waits on its own sockets, and the owner runs it where waiting is right (the command
// line, a thread of its own beside a recording).

#include "app/core/source_url.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>

struct ForwardTarget {
    SourceUrl Url;        // mqtt://, mqtts:// (Topic the prefix), influx+http(s)://, influx+udp://
    std::string Password; // of Url.User (a bucket's token), in memory only
    std::string CaFile;   // for mqtts:// and influx+https://, empty: the system's certificates
    std::string Device;   // the line protocol's device tag
    int Qos = 1;          // 0 or 1
    bool Json = false;    // payload {"t": …, "v": …} instead of the value alone
    int InFlight = 1000;  // messages sent and not yet acknowledged, at most
    // Only the records received from From to To (unix seconds) go; the rest count as sent.
    double From = -std::numeric_limits<double>::infinity();
    double To = std::numeric_limits<double>::infinity();
};

// A run being written, as its writer tells it to a forwarder on another thread: how many records of
// each channel (Journal's channel numbers, kMarks the marks) are whole in the journal's files, and
// whether the run has ended (no more will come).
struct LiveRun {
    static constexpr int kStreams = 17;
    std::array<std::atomic<std::uint64_t>, kStreams> Records{};
    std::atomic<bool> Ended{false};
};

class RunForwarder {
public:
    // A finished run (or any acquisition file), or with live the run its writer is writing now.
    RunForwarder(std::string run, ForwardTarget target, const LiveRun* live = nullptr);
    ~RunForwarder();
    RunForwarder(const RunForwarder&) = delete;
    RunForwarder& operator=(const RunForwarder&) = delete;

    // Where the counts for this run and target are kept (the target's URL, and a range's times, make
    // the key).
    static std::string PositionPath(const std::string& run, const ForwardTarget& target);

    struct Report {
        std::uint64_t Records = 0; // of the run (when it returned)
        std::uint64_t From = 0;    // acknowledged before, when it began
        std::uint64_t Acked = 0;   // acknowledged, in order, when it returned
        std::uint64_t Sent = 0;    // messages published (repeats after a loss counted again)
        int Losses = 0;            // connections lost or refused
    };
    // Sends from the kept counts to the end (of a live run: until it has ended and all is sent) and
    // returns when every record is acknowledged, or when stop() says so (the counts are kept then too).
    // tell gets what the user should know: a lost broker, a refusal. Throws std::runtime_error when the
    // file cannot be read, or when the broker refuses the user (trying again cannot help).
    Report Run(const std::function<bool()>& stop, const std::function<void(const std::string&)>& tell);

    // While Run goes on, from any thread: records acknowledged and records known.
    std::uint64_t Acked() const { return acked_.load(); }
    std::uint64_t Known() const { return known_.load(); }
    bool Connected() const { return connected_.load(); }
    // The receive time (unix seconds) of the oldest record not yet acknowledged, 0 for none; a few
    // times a second.
    double PendingSince() const { return pendingSince_.load(); }

private:
    struct State;
    std::string run_;
    ForwardTarget target_;
    const LiveRun* live_;
    std::unique_ptr<State> s_;
    std::atomic<std::uint64_t> acked_{0}, known_{0};
    std::atomic<bool> connected_{false};
    std::atomic<double> pendingSince_{0};
};
