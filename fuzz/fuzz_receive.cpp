// The received-data path: arbitrary bytes in arbitrary chunks through framing, conversion and scaling.
// Checks what must hold whatever arrives: samples are numbered 0, 2, 3, … without gaps, and the framer
// never holds more than one line's limit.

#include "app/core/acquisition.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {
struct CheckingSink : SampleSink {
    double next = 0;
    void MoveToPoint(double x, double, double) override {
        if (x != 0 || next != 0) std::abort();
        next = 2;
    }
    void LineToPoint(double x, double, double) override {
        if (x != next) std::abort();
        next += 1;
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
