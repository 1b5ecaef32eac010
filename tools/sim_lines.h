#pragma once
// The readings of the simulated device and how they are cut into writes; no device involved, so the
// line stream can be checked on its own.

#include <array>
#include <random>
#include <string>
#include <vector>

namespace sim {

enum class Wave { Sine, Ramp, Noise, Walk };

struct LineOptions {
    Wave wave = Wave::Sine;
    std::string file;    // replay these values instead of a wave
    long long count = 0; // 0: endless (a file alone: its lines once)
    std::string eol = "\r";
    int decimals = 3;
    int burst = 1;
    double garbage = 0; // fraction of lines replaced by non-numbers
    unsigned seed = 1;
    int channels = 1; // values per line, separated by commas
};

template <typename T> constexpr std::array<T, 16> Filled(T v) {
    std::array<T, 16> a{};
    for (T& x : a)
        x = v;
    return a;
}

class LineSource {
public:
    explicit LineSource(const LineOptions& options);
    const std::string& Error() const { return error_; }
    bool Done() const { return options_.count > 0 && index_ >= options_.count; }
    // The next line with its end-of-line characters.
    std::string Next();
    const LineOptions& Options() const { return options_; }

private:
    std::string Value(int channel);
    LineOptions options_;
    std::vector<std::string> fileValues_;
    std::string error_;
    long long index_ = 0;
    std::array<double, 16> walk_ = Filled(50.0);
    std::mt19937 random_;
};

// Cuts the line stream into writes of `burst` lines. With split, the last line of each write is cut in
// the middle and its rest starts the next write, so lines reach the reader in two pieces.
class Chunker {
public:
    Chunker(LineSource& source, bool split) : source_(source), split_(split) {}
    bool Done() const { return source_.Done() && carry_.empty(); }
    std::string Next();

private:
    LineSource& source_;
    bool split_;
    std::string carry_;
};

} // namespace sim
