#pragma once
// Several sources in one run: each source has a recording of its own (its framing, its sample numbers,
// its reconnects), and each recording hands its samples to a lane of the mix, which numbers the
// source's channels into the one set of lists the chart shows. A source's channel takes the next free
// number when it first shows (its first sample or name), and is named "<source>/<name>" ("2/temp", or
// "2/1" for a channel the source does not name). The first lane's recording keeps the journal: every
// list is backed there, so a run of several sources loads back with all its channels. Plain C++.

#include "app/core/acquisition.h"

#include <array>
#include <functional>
#include <memory>
#include <vector>

class SourceMix {
public:
    explicit SourceMix(ListSink& lists);
    ~SourceMix();
    SourceMix(const SourceMix&) = delete;
    SourceMix& operator=(const SourceMix&) = delete;

    // The lane of the next source (the first call: source 1). Lives as long as the mix.
    ListSink& AddLane();
    int Lanes() const { return static_cast<int>(lanes_.size()); }
    // The chart's channel of a source's channel; -1 while it has not shown (or found no free number).
    int ChannelOf(int lane, int channel) const;
    // The names and units of every channel of the chart, the channel count the highest number given.
    const AcquisitionState& Merged() const { return merged_; }

    // At most this many lines, of all sources together, are taken; OnFull is told when the last was.
    void SetLineLimit(long long lines) { limit_ = lines; }
    long long LinesTaken() const { return taken_; }
    std::function<void()> OnFull;
    // A source had a channel more than the chart has room for: its samples are dropped. Told once.
    std::function<void()> OnNoRoom;

private:
    class Lane;
    int Number(int lane, int channel);
    bool Take();

    ListSink& lists_;
    std::vector<std::unique_ptr<Lane>> lanes_;
    AcquisitionState merged_;
    int next_ = 0;
    long long limit_ = 1LL << 62;
    long long taken_ = 0;
    bool noRoomTold_ = false;
};
