#include "app/forwarding_set.h"

#include "app/core/journal.h"
#include "chart/kartex.h"

#include <algorithm>
#include <chrono>

ForwardingSet::ForwardingSet(std::function<void(const std::string&)> tell) : tell_(std::move(tell)) {}

ForwardingSet::~ForwardingSet() {
    StopAll(live_);
    StopAll(finishing_);
}

void ForwardingSet::SetTargets(std::vector<ForwardTarget> targets) {
    targets_ = std::move(targets);
}

std::string ForwardingSet::KindOf(const ForwardTarget& target) {
    return target.Url.Type == SourceUrl::Kind::Mqtt ? "MQTT" : "InfluxDB";
}

void ForwardingSet::Launch(Worker& w) {
    w.Thread = std::thread([this, &w] {
        bool told = false;
        try {
            w.Forwarder->Run([&w] { return w.Stop.load(); },
                             [&](const std::string& text) {
                                 if (!told && tell_) tell_(text);
                                 told = true; // the first loss in a row, not every retry
                             });
        } catch (const std::exception& e) {
            if (tell_) tell_(e.what());
        }
        w.Done = true;
    });
}

void ForwardingSet::StopAll(std::vector<std::unique_ptr<Worker>>& workers) {
    for (auto& w : workers)
        w->Stop = true;
    for (auto& w : workers)
        if (w->Thread.joinable()) w->Thread.join();
    workers.clear();
}

void ForwardingSet::Begin(const std::string& run) {
    StopAll(live_);
    frozen_ = false;
    run_ = std::make_unique<LiveRun>();
    for (const ForwardTarget& t : targets_) {
        auto w = std::make_unique<Worker>();
        w->Target = t;
        w->Forwarder = std::make_unique<RunForwarder>(run, t, run_.get());
        Launch(*w);
        live_.push_back(std::move(w));
    }
}

void ForwardingSet::Tell(const TKartex& chart) {
    if (!run_ || frozen_) return;
    for (int c = 0; c < chart.SeriesCount() && c < Journal::kMarks; ++c)
        run_->Records[static_cast<std::size_t>(c)].store(chart.SeriesStore(c).ItemCount(),
                                                         std::memory_order_release);
    run_->Records[Journal::kMarks].store(chart.EventMarks().ItemCount(), std::memory_order_release);
}

std::vector<ForwardingSet::Left> ForwardingSet::End(double seconds) {
    std::vector<Left> left;
    if (!run_) return left;
    run_->Ended = true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::any_of(live_.begin(), live_.end(), [](const auto& w) { return !w->Done; }) &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (auto& w : live_)
        w->Stop = true;
    for (auto& w : live_) {
        w->Thread.join();
        if (const std::uint64_t behind = w->Forwarder->Known() - w->Forwarder->Acked(); behind > 0)
            left.push_back({w->Target, behind});
    }
    live_.clear();
    run_.reset();
    return left;
}

void ForwardingSet::Finish(const std::string& run, const std::vector<Left>& left) {
    // Those that are done go; a run's rest waits in its kept position for whoever comes next.
    std::erase_if(finishing_, [](const auto& w) {
        if (!w->Done) return false;
        w->Thread.join();
        return true;
    });
    for (const Left& l : left) {
        auto w = std::make_unique<Worker>();
        w->Target = l.Target;
        w->Forwarder = std::make_unique<RunForwarder>(run, l.Target);
        Launch(*w);
        finishing_.push_back(std::move(w));
    }
}

std::vector<ForwardingSet::State> ForwardingSet::States() const {
    std::vector<State> states;
    const double now =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    const auto add = [&](const Worker& w, bool finishing) {
        if (finishing && w.Done) return;
        State s;
        s.Kind = KindOf(w.Target);
        s.Target = SourceUrlText(w.Target.Url);
        s.Connected = w.Forwarder->Connected();
        const std::uint64_t known = w.Forwarder->Known(), acked = w.Forwarder->Acked();
        s.Pending = known > acked ? known - acked : 0;
        const double since = w.Forwarder->PendingSince();
        s.LagSeconds = s.Pending > 0 && since > 0 ? std::max(0.0, now - since) : 0;
        s.Finishing = finishing;
        states.push_back(s);
    };
    for (const auto& w : live_)
        add(*w, false);
    for (const auto& w : finishing_)
        add(*w, true);
    return states;
}
