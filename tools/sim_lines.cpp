#include "tools/sim_lines.h"

#include <cmath>
#include <cstdio>
#include <fstream>

namespace sim {

namespace {

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

} // namespace

LineSource::LineSource(const LineOptions& options) : options_(options), random_(options.seed) {
    if (options_.file.empty()) return;
    std::ifstream in(options_.file);
    if (!in) {
        error_ = "cannot read " + options_.file;
        return;
    }
    for (std::string line; std::getline(in, line);)
        if (!Trim(line).empty()) fileValues_.push_back(Trim(line));
    if (fileValues_.empty()) error_ = options_.file + " holds no values";
    if (options_.count == 0) options_.count = static_cast<long long>(fileValues_.size());
}

// Channel c runs c / channels of a period behind the first, and its walk is its own.
std::string LineSource::Value(int channel) {
    if (!fileValues_.empty()) return fileValues_[static_cast<std::size_t>(index_ % fileValues_.size())];
    constexpr double pi = 3.14159265358979323846;
    const long long at = index_ + 100LL * channel / options_.channels;
    double& walk = walk_[static_cast<std::size_t>(channel)];
    double v = 0;
    switch (options_.wave) {
    case Wave::Sine:
        v = 50 + 40 * std::sin(2 * pi * double(at % 100) / 100.0);
        break;
    case Wave::Ramp:
        v = double(at % 100);
        break;
    case Wave::Noise:
        v = std::uniform_real_distribution<double>(10, 90)(random_);
        break;
    case Wave::Walk:
        walk += std::uniform_real_distribution<double>(-2, 2)(random_);
        walk = std::fmin(100, std::fmax(0, walk));
        v = walk;
        break;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", options_.decimals, v);
    return text;
}

std::string LineSource::Next() {
    std::string value = Value(0);
    for (int c = 1; c < options_.channels && fileValues_.empty(); ++c)
        value += "," + Value(c);
    if (options_.garbage > 0 && std::uniform_real_distribution<double>(0, 1)(random_) < options_.garbage) {
        static const char* const junk[] = {"ERR", "--.-", "#?", "overload", "1.2.3"};
        value = junk[index_ % 5];
    }
    ++index_;
    return value + options_.eol;
}

std::string Chunker::Next() {
    std::string out = std::move(carry_);
    carry_.clear();
    for (int i = 0; i < source_.Options().burst && !source_.Done(); ++i) {
        std::string line = source_.Next();
        const bool last = i + 1 == source_.Options().burst || source_.Done();
        if (split_ && last && line.size() > 1) {
            const std::size_t cut = line.size() / 2;
            carry_ = line.substr(cut);
            line.resize(cut);
        }
        out += line;
    }
    return out;
}

} // namespace sim
