#include "app/core/acquisition.h"

#include "app/core/conversions.h"

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
    const auto value = ReceivedTextToDouble(state_.RawText);
    if (!value) {
        ++state_.NoSampleLines;
        if (shown) shown(state_.RawText, false);
        return 0;
    }
    state_.RawValue = static_cast<float>(*value);
    // Computed in extended precision from the single values and the integer, then stored as single.
    const long double plotted =
        static_cast<long double>(state_.RawValue) * state_.DataScale + state_.DataOffset;
    state_.PlotValue = static_cast<float>(plotted);
    ++state_.SampleCount;
    const double sinceStart = at.Monotonic - start_;
    const double x = state_.TimeAxis ? sinceStart : state_.SampleCount == 1 ? 0.0 : state_.SampleCount;
    if (state_.SampleCount == 1 || breakLine_)
        sink.MoveToPoint(x, state_.PlotValue, at.Epoch);
    else
        sink.LineToPoint(x, state_.PlotValue, at.Epoch);
    breakLine_ = false;
    if (shown) shown(state_.RawText, true);
    return 1;
}
