#pragma once
// Headless subcommands for scripts and tests: record, render, csv. They use the same conversion,
// framing and chart code as the window.

#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cmath>

// Returns true and sets exitCode when args (without the program name) name a subcommand.
bool IsSubcommand(const QStringList& args);
int RunSubcommand(const QStringList& args);

// How long "record --seconds" waits before it looks at the steady clock again, elapsed seconds into a
// recording of the given seconds: the rest in whole milliseconds, rounded up so that it never ends
// early, but at most an hour, so that a recording of any length waits in steps a timer can take; zero
// once the time is up.
inline std::chrono::milliseconds RecordingWait(double seconds, double elapsed) {
    constexpr double kLongestMs = 3600000;
    const double rest = std::ceil((seconds - elapsed) * 1000);
    return std::chrono::milliseconds(rest > 0 ? static_cast<long long>(std::min(rest, kLongestMs)) : 0);
}
