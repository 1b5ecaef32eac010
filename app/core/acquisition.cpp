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
    breakLine_ = false;
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

int Acquisition::TakeLine(LineFramer::Piece piece, std::string_view line, const ReceiveTime& at,
                          SampleSink& sink, const ShownFn& shown) {
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
    bool changed = fields.Count > state_.ChannelCount;
    state_.ChannelCount = std::max(state_.ChannelCount, fields.Count);
    for (int c = 0; c < fields.Count; ++c) {
        const ReceivedField& field = fields.Fields[static_cast<std::size_t>(c)];
        std::string& known = state_.ChannelNames[static_cast<std::size_t>(c)];
        std::string& unit = state_.ChannelUnits[static_cast<std::size_t>(c)];
        std::string& device = state_.DeviceNames[static_cast<std::size_t>(c)];
        std::string& deviceUnit = state_.DeviceUnits[static_cast<std::size_t>(c)];
        if (!field.Name.empty() && (device != field.Name || deviceUnit != field.Unit)) {
            device.assign(field.Name);
            deviceUnit.assign(field.Unit);
            changed = true;
        }
        if (!field.Name.empty() && !state_.NamedByUser[static_cast<std::size_t>(c)] &&
            (known != field.Name || unit != field.Unit)) {
            known.assign(field.Name);
            unit.assign(field.Unit);
            changed = true;
        }
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
    for (int c = 0; c < state_.ChannelCount; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const std::optional<double> value = c < fields.Count ? fields.Fields[i].Value : std::nullopt;
        if (!value) {
            joined_[i] = false; // a gap: the channel's line goes on with a pen move
            continue;
        }
        const auto raw = static_cast<float>(*value);
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
        if (!joined_[i] || breakLine_)
            sink.MoveToPoint(c, x, plotted, at.Epoch);
        else
            sink.LineToPoint(c, x, plotted, at.Epoch);
        joined_[i] = true;
    }
    breakLine_ = false;
    if (shown) shown(state_.RawText, true);
    return 1;
}

Acquisition::MarkPlace Acquisition::MarkNow() const {
    const ReceiveTime at = clock_();
    const std::int64_t n = state_.SampleCount;
    return {state_.TimeAxis ? at.Monotonic - start_ : n <= 1 ? 0.0 : static_cast<double>(n), at.Epoch};
}
