#pragma once
// Forwarding a run to the lab's MQTT broker with nothing lost. The run's files are the outbox: each
// channel's records (and the marks) are a stream, and the streams go out merged by receive time, each
// sample to PREFIX/<channel name> (the value as text, or JSON {"t": <unix seconds>, "v": <value>}),
// each mark to PREFIX/events. What the broker acknowledged (QoS 1: its PUBACK; QoS 0: the write) is
// kept beside the run as a count per stream, "<run>.forward-<key>", a few times a second and at the end:
// the same counts whether the run is still being written (a channel in a file of its own) or finished
// (the channels joined in one file), so an outage, a kill or a crash goes on from there, at least
// once. A broker that is away is tried again with growing waits (0.2 s doubling to 5 s). Plain C++ and
// libmosquitto: it waits on its own socket, and the owner runs it where waiting is right (the command
// line, a thread of its own beside a recording).

#include "app/core/source_url.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct ForwardTarget {
    SourceUrl Url;        // mqtt:// or mqtts://, Topic the prefix
    std::string Password; // of Url.User, in memory only
    std::string CaFile;   // for mqtts://, empty: the system's certificates
    int Qos = 1;          // 0 or 1
    bool Json = false;    // payload {"t": …, "v": …} instead of the value alone
    int InFlight = 1000;  // messages sent and not yet acknowledged, at most
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

    // Where the counts for this run and target are kept (the target's server and prefix make the key).
    static std::string PositionPath(const std::string& run, const SourceUrl& url);

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

private:
    struct State;
    std::string run_;
    ForwardTarget target_;
    const LiveRun* live_;
    std::unique_ptr<State> s_;
    std::atomic<std::uint64_t> acked_{0}, known_{0};
    std::atomic<bool> connected_{false};
};
