#include "app/core/acquisition.h"

#include <algorithm>
#include <chrono>

std::string_view Acquisition::Trim(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

ReceiveTime Acquisition::SystemClock() {
    using namespace std::chrono;
    const auto seconds = [](auto since) { return duration<double>(since).count(); };
    return {seconds(steady_clock::now().time_since_epoch()), seconds(system_clock::now().time_since_epoch())};
}

void Acquisition::Restart() {
    state_.SampleCount = 0;
    state_.NoSampleLines = 0;
    start_ = clock_().Monotonic;
    joined_.fill(false);
    state_.ChannelCount = 0;
    for (std::size_t c = 0; c < kMaxChannels; ++c) {
        state_.DeviceNames[c].clear();
        state_.DeviceUnits[c].clear();
        if (!state_.NamedByUser[c]) {
            state_.ChannelNames[c].clear();
            state_.ChannelUnits[c].clear();
        }
    }
    state_.ValuesDropped = false;
    framer_.Reset();
}

int Acquisition::Receive(std::string_view bytes, SampleSink& sink, const ShownFn& shown) {
    int added = 0;
    const ReceiveTime at = clock_();
    framer_.Feed(bytes, [&](LineFramer::Piece piece, std::string_view line) {
        added += TakeLine(piece, line, at, sink, shown);
    });
    return added;
}

int Acquisition::Finish(SampleSink& sink, const ShownFn& shown) {
    int added = 0;
    const ReceiveTime at = clock_();
    framer_.Flush([&](LineFramer::Piece piece, std::string_view line) {
        added += TakeLine(piece, line, at, sink, shown);
    });
    return added;
}

int Acquisition::ReceiveLine(std::string_view line, int channel, std::string_view name, SampleSink& sink,
                             const ShownFn& shown) {
    const auto piece =
        line.size() > LineFramer::kMaxLine ? LineFramer::Piece::Overlong : LineFramer::Piece::Line;
    return TakeLine(piece, line.substr(0, LineFramer::kMaxLine), clock_(), sink, shown, channel, name);
}

bool Acquisition::Name(int c, std::string_view name, std::string_view unit) {
    const auto i = static_cast<std::size_t>(c);
    bool changed = false;
    if (state_.DeviceNames[i] != name || state_.DeviceUnits[i] != unit) {
        state_.DeviceNames[i].assign(name);
        state_.DeviceUnits[i].assign(unit);
        changed = true;
    }
    if (!state_.NamedByUser[i] && (state_.ChannelNames[i] != name || state_.ChannelUnits[i] != unit)) {
        state_.ChannelNames[i].assign(name);
        state_.ChannelUnits[i].assign(unit);
        changed = true;
    }
    return changed;
}

void Acquisition::Put(int c, double value, double x, double epoch, SampleSink& sink) {
    const auto i = static_cast<std::size_t>(c);
    const auto raw = static_cast<float>(value);
    // Computed in extended precision from the single values and the integer, then stored as single;
    // a channel's own factor and offset likewise.
    const AcquisitionState::Calibration& own = state_.Calibrations[i];
    const auto plotted =
        c > 0 && own.Own()
            ? static_cast<float>(static_cast<long double>(raw) * own.Scale.value_or(state_.DataScale) +
                                 static_cast<long double>(own.Offset.value_or(state_.DataOffset)))
            : static_cast<float>(static_cast<long double>(raw) * state_.DataScale + state_.DataOffset);
    if (c == 0) {
        state_.RawValue = raw;
        state_.PlotValue = plotted;
    }
    state_.ChannelValues[i] = plotted;
    if (!joined_[i])
        sink.MoveToPoint(c, x, plotted, epoch);
    else
        sink.LineToPoint(c, x, plotted, epoch);
    joined_[i] = true;
}

int Acquisition::TakeLine(LineFramer::Piece piece, std::string_view line, const ReceiveTime& at,
                          SampleSink& sink, const ShownFn& shown, int channel, std::string_view name) {
    const std::string_view text = Trim(line);
    if (text.empty()) return 0;
    if (piece == LineFramer::Piece::Overlong) {
        ++state_.NoSampleLines;
        if (shown) shown(text, false);
        return 0;
    }
    state_.RawText.assign(text);
    // Most lines are one number: that value without building the fields of the general rules.
    const std::optional<double> lone = ReceivedLoneNumber(text);
    if (lone) lone_.Fields[0].Value = lone;
    const ReceivedFields& fields = lone ? lone_ : (fields_ = ReceivedTextToValues(state_.RawText));
    state_.ValuesDropped = state_.ValuesDropped || fields.Dropped > 0;
    // A value of a channel of its own: only that channel takes a sample.
    const bool own = channel >= 0 && channel < kMaxChannels && fields.Count == 1 && fields.Values == 1;
    const int first = own ? channel : 0;
    bool changed = first + fields.Count > state_.ChannelCount;
    state_.ChannelCount = std::max(state_.ChannelCount, first + fields.Count);
    for (int c = 0; c < fields.Count; ++c) {
        const ReceivedField& field = fields.Fields[static_cast<std::size_t>(c)];
        if (!field.Name.empty())
            changed = Name(first + c, field.Name, field.Unit) || changed;
        else if (own && !name.empty())
            changed = Name(first + c, name, {}) || changed;
    }
    if (changed) sink.ChannelsChanged(state_);
    if (fields.Values == 0) {
        ++state_.NoSampleLines;
        if (shown) shown(state_.RawText, false);
        return 0;
    }
    if (!sink.TakesLine()) return 0;
    ++state_.SampleCount;
    const double sinceStart = at.Monotonic - start_;
    const double x = state_.TimeAxis ? sinceStart : state_.SampleCount == 1 ? 0.0 : state_.SampleCount;
    if (own) {
        Put(first, *fields.Fields[0].Value, x, at.Epoch, sink);
    } else {
        for (int c = 0; c < state_.ChannelCount; ++c) {
            const auto i = static_cast<std::size_t>(c);
            const std::optional<double> value = c < fields.Count ? fields.Fields[i].Value : std::nullopt;
            if (value)
                Put(c, *value, x, at.Epoch, sink);
            else
                joined_[i] = false; // a gap: the channel's line goes on with a pen move
        }
    }
    if (shown) shown(state_.RawText, true);
    return 1;
}

Acquisition::MarkPlace Acquisition::MarkNow() const {
    const ReceiveTime at = clock_();
    const std::int64_t n = state_.SampleCount;
    return {state_.TimeAxis ? at.Monotonic - start_ : n <= 1 ? 0.0 : static_cast<double>(n), at.Epoch};
}
