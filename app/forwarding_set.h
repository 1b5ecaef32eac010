#pragma once
// The forwarders of a recording: one thread per target, each a RunForwarder on the run's journal,
// told from the recording's thread how many records of each channel are whole. The recording never
// waits for them; at its end they get a while to send the rest, and what is still not sent can go on
// from the finished run in the background (the window) or be told to the user (the command line).

#include "app/forwarder.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class TKartex;

class ForwardingSet {
public:
    // tell gets what the user should know, from the forwarders' threads: the first loss in a row, a
    // refusal.
    explicit ForwardingSet(std::function<void(const std::string&)> tell);
    ~ForwardingSet(); // stops every forwarder; what they acknowledged is kept beside the runs
    ForwardingSet(const ForwardingSet&) = delete;
    ForwardingSet& operator=(const ForwardingSet&) = delete;

    // The targets of the next run (the running ones are not changed).
    void SetTargets(std::vector<ForwardTarget> targets);
    const std::vector<ForwardTarget>& Targets() const { return targets_; }

    // A run began, its journal at run: a forwarder for each target follows it.
    void Begin(const std::string& run);
    // The run's records now whole in its journal: the chart's lists and marks.
    void Tell(const TKartex& chart);
    // The journal failed: its files hold no more than they hold now.
    void Freeze() { frozen_ = true; }
    bool Live() const { return !live_.empty(); }

    // What is left of a target when its run ended.
    struct Left {
        ForwardTarget Target;
        std::uint64_t Records = 0;
    };
    // The run ends (before its journal is closed): waits up to seconds for the forwarders to send all,
    // then stops them. Returns the targets with records left.
    std::vector<Left> End(double seconds);
    // Sends what was left of the run, finished now at run, in the background.
    void Finish(const std::string& run, const std::vector<Left>& left);

    // Each forwarder's state, for a status bar: the far end's kind ("MQTT", "InfluxDB"), connected,
    // records not yet acknowledged, and how long ago the oldest of them was received.
    struct State {
        std::string Kind;
        std::string Target;
        bool Connected = false;
        std::uint64_t Pending = 0;
        double LagSeconds = 0;
        bool Finishing = false; // of a run that has ended
    };
    std::vector<State> States() const;

    // The kind of far end a target is, as the user knows it.
    static std::string KindOf(const ForwardTarget& target);

private:
    struct Worker {
        ForwardTarget Target;
        std::unique_ptr<RunForwarder> Forwarder;
        std::thread Thread;
        std::atomic<bool> Stop{false};
        std::atomic<bool> Done{false};
    };
    void Launch(Worker& w);
    void StopAll(std::vector<std::unique_ptr<Worker>>& workers);

    std::function<void(const std::string&)> tell_;
    std::vector<ForwardTarget> targets_;
    std::unique_ptr<LiveRun> run_;                   // the run under way, as its writer tells it
    std::vector<std::unique_ptr<Worker>> live_;      // of the run under way
    std::vector<std::unique_ptr<Worker>> finishing_; // of runs that ended with records left
    bool frozen_ = false;
};
