#include "app/source_mix.h"

#include <algorithm>
#include <string>

class SourceMix::Lane : public ListSink {
public:
    Lane(SourceMix& mix, int index) : mix_(mix), index_(index) { map_.fill(-1); }
    int Global(int channel) const { return map_[static_cast<std::size_t>(channel)]; }
    void Set(int channel, int global) { map_[static_cast<std::size_t>(channel)] = global; }

    void MoveToPoint(int channel, double x, double y, double time) override {
        if (const int g = mix_.Number(index_, channel); g >= 0) mix_.lists_.MoveToPoint(g, x, y, time);
    }
    void LineToPoint(int channel, double x, double y, double time) override {
        if (const int g = mix_.Number(index_, channel); g >= 0) mix_.lists_.LineToPoint(g, x, y, time);
    }
    void ChannelsChanged(const AcquisitionState& state) override {
        AcquisitionState& merged = mix_.merged_;
        for (int c = 0; c < state.ChannelCount; ++c) {
            const int g = mix_.Number(index_, c);
            if (g < 0) continue;
            const auto i = static_cast<std::size_t>(c), gi = static_cast<std::size_t>(g);
            const std::string& name = state.ChannelNames[i];
            merged.ChannelNames[gi] =
                std::to_string(index_ + 1) + "/" + (name.empty() ? std::to_string(c + 1) : name);
            merged.ChannelUnits[gi] = state.ChannelUnits[i];
            merged.DeviceNames[gi] = state.DeviceNames[i];
            merged.DeviceUnits[gi] = state.DeviceUnits[i];
        }
        mix_.lists_.ChannelsChanged(merged);
    }
    void Mark(double x, double time, std::string_view text) override { mix_.lists_.Mark(x, time, text); }
    bool TakesLine() override { return mix_.Take(); }
    // Only the first source's run begins the chart's run: a source that opens later keeps the lists.
    void Restart() override {
        if (index_ == 0) mix_.lists_.Restart();
    }
    TItemStore* MarksList() override { return index_ == 0 ? mix_.lists_.MarksList() : nullptr; }

private:
    SourceMix& mix_;
    int index_;
    std::array<int, kMaxChannels> map_;
};

SourceMix::SourceMix(ListSink& lists) : lists_(lists) {
    // Every list is backed where the first source's recording keeps its run.
    lists_.OnNewList = [this](int channel, TItemStore& list) {
        if (!lanes_.empty() && lanes_.front()->OnNewList) lanes_.front()->OnNewList(channel, list);
    };
}

SourceMix::~SourceMix() {
    lists_.OnNewList = nullptr;
}

ListSink& SourceMix::AddLane() {
    lanes_.push_back(std::make_unique<Lane>(*this, static_cast<int>(lanes_.size())));
    return *lanes_.back();
}

int SourceMix::ChannelOf(int lane, int channel) const {
    return lanes_[static_cast<std::size_t>(lane)]->Global(channel);
}

int SourceMix::Number(int lane, int channel) {
    Lane& l = *lanes_[static_cast<std::size_t>(lane)];
    if (const int g = l.Global(channel); g >= 0) return g;
    if (next_ >= kMaxChannels) {
        if (!noRoomTold_ && OnNoRoom) OnNoRoom();
        noRoomTold_ = true;
        return -1;
    }
    l.Set(channel, next_);
    merged_.ChannelNames[static_cast<std::size_t>(next_)] =
        std::to_string(lane + 1) + "/" + std::to_string(channel + 1);
    merged_.ChannelCount = ++next_;
    lists_.ChannelsChanged(merged_); // the new channel's first record takes its name
    return next_ - 1;
}

bool SourceMix::Take() {
    if (taken_ >= limit_) return false;
    if (++taken_ == limit_ && OnFull) OnFull();
    return true;
}
