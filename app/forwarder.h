#pragma once
// Forwarding a kept run to the lab's MQTT broker with nothing lost. The run's file is the outbox: its
// records go out in the file's order, each sample to PREFIX/<channel name> (the value as text, or JSON
// {"t": <unix seconds>, "v": <value>}), each mark to PREFIX/events. What the broker acknowledged (QoS 1:
// its PUBACK; QoS 0: the write) is kept beside the run as the position, "<run>.forward-<key>", a few
// times a second and at the end, so an outage, a kill or a crash resumes from there: at least once, a
// message repeated at most from the last kept position on. A broker that is away is tried again with
// growing waits (0.2 s doubling to 5 s). Plain C++ and libmosquitto: it waits on its own socket, and
// the owner runs it where waiting is right (the command line, a thread of its own).

#include "app/core/source_url.h"

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

class RunForwarder {
public:
    RunForwarder(std::string run, ForwardTarget target);
    ~RunForwarder();
    RunForwarder(const RunForwarder&) = delete;
    RunForwarder& operator=(const RunForwarder&) = delete;

    // Where the position for this run and target is kept (the target's server and prefix make the key).
    static std::string PositionPath(const std::string& run, const SourceUrl& url);

    struct Report {
        std::uint64_t Records = 0;  // of the file
        std::uint64_t From = 0;     // the position it began at
        std::uint64_t Position = 0; // acknowledged, in order, when it returned
        std::uint64_t Sent = 0;     // messages published (repeats after a loss counted again)
        int Losses = 0;             // connections lost or refused
    };
    // Sends from the kept position to the end of the file and returns when every record is
    // acknowledged, or when stop() says so (the position is kept then too). tell gets what the user
    // should know: a lost broker, a refusal. Throws std::runtime_error when the file cannot be read, or
    // when the broker refuses the user (no point in trying again).
    Report Run(const std::function<bool()>& stop, const std::function<void(const std::string&)>& tell);

private:
    struct State;
    std::string run_;
    ForwardTarget target_;
    std::unique_ptr<State> s_;
};
