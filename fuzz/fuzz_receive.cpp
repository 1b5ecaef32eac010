// The received-data path: arbitrary bytes in arbitrary chunks through framing, conversion and scaling.
// Checks what must hold whatever arrives: lines of samples are numbered 0, 2, 3, … without gaps, and the
// framer never holds more than one line's limit.

#include "app/core/acquisition.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {
// Lines are at x 0, 2, 3, …; every sample of a line shares its x, and a channel has at most one per line.
struct CheckingSink : SampleSink {
    double line = -1, next = 0;
    double last[kMaxChannels];
    CheckingSink() {
        for (double& x : last)
            x = -1;
    }
    void Take(int channel, double x) {
        if (channel < 0 || channel >= kMaxChannels) std::abort();
        if (x != line) {
            if (x != next) std::abort();
            line = x;
            next = x == 0 ? 2 : x + 1;
        }
        if (last[channel] >= x) std::abort();
        last[channel] = x;
    }
    void MoveToPoint(int channel, double x, double, double) override { Take(channel, x); }
    void LineToPoint(int channel, double x, double, double) override {
        if (last[channel] < 0) std::abort(); // a channel's line starts with a move
        Take(channel, x);
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    Acquisition acq;
    acq.State().DataScale = static_cast<float>(data[0]) / 7.0f - 10.0f;
    acq.State().DataOffset = static_cast<std::int8_t>(data[1]);
    acq.Restart();
    CheckingSink sink;
    std::size_t shownBytes = 0;
    const auto shown = [&](std::string_view raw, bool) {
        if (raw.size() > LineFramer::kMaxLine) std::abort();
        shownBytes += raw.size();
    };
    // Chunk sizes come from the data itself, so the fuzzer explores how lines are split.
    std::size_t pos = 2;
    std::size_t chunk = 1 + data[0] % 13;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    while (pos < size) {
        const std::size_t n = std::min(chunk, size - pos);
        acq.Receive(bytes.substr(pos, n), sink, shown);
        pos += n;
        chunk = 1 + (chunk * 7 + data[pos % size]) % 61;
    }
    acq.Finish(sink, shown);
    const int expected = sink.next == 0 ? 0 : static_cast<int>(sink.next) - 1;
    if (acq.State().SampleCount != expected) std::abort();
    return 0;
}
