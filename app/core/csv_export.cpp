#include "app/core/csv_export.h"

#include "app/core/conversions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

std::string IsoUtcMilliseconds(double seconds) {
    // Whole milliseconds, rounded; the carry goes into the second.
    const long double ms = std::round(static_cast<long double>(seconds) * 1000.0L);
    const auto whole = static_cast<long long>(std::floor(ms / 1000.0L));
    const int millis = static_cast<int>(ms - static_cast<long double>(whole) * 1000.0L);
    const std::time_t t = static_cast<std::time_t>(whole);
    std::tm utc{};
    if (!gmtime_r(&t, &utc)) return {};
    char text[80]; // room for any int fields, so nothing is cut
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return text;
}

namespace {
bool IsSample(const TChartItem& item) {
    return item.Kind == ikMoveTo || item.Kind == ikLineTo;
}

void WriteTime(std::ostream& out, double time) {
    // Years beyond four digits are no ISO 8601 basic dates: such a field stays empty as well.
    if (std::isfinite(time) && time != 0 && std::fabs(time) < 253402300800.0) out << IsoUtcMilliseconds(time);
}
} // namespace

std::vector<std::pair<int, int>> ChannelRanges(std::span<const TChartItem> items) {
    const int n = static_cast<int>(items.size());
    if (n == 0) return {};
    if (items[static_cast<std::size_t>(n - 1)].ItemClass <= items[0].ItemClass) return {{0, n}};
    std::vector<std::pair<int, int>> ranges;
    for (int begin = 0; begin < n;) {
        const std::uint8_t c = items[static_cast<std::size_t>(begin)].ItemClass;
        const auto end = std::partition_point(items.begin() + begin, items.end(),
                                              [c](const TChartItem& it) { return it.ItemClass <= c; });
        const int e = std::max(begin + 1, static_cast<int>(end - items.begin()));
        ranges.emplace_back(begin, e);
        begin = e;
    }
    return ranges;
}

std::string RecordText(const TChartItem& item) {
    const int length = std::min<int>(item.Text[0], 17);
    return std::string(reinterpret_cast<const char*>(item.Text + 1), static_cast<std::size_t>(length));
}

void WriteSamplesCsv(std::ostream& out, std::span<const TChartItem> items) {
    std::vector<std::span<const TChartItem>> channels;
    std::vector<std::string> names;
    for (const auto& [begin, end] : ChannelRanges(items)) {
        channels.push_back(
            items.subspan(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
        names.push_back(RecordText(channels.back().front()));
    }
    WriteSamplesCsv(out, channels, names);
}

void WriteSamplesCsv(std::ostream& out, std::span<const std::span<const TChartItem>> channels,
                     std::span<const std::string> names) {
    if (channels.size() <= 1) {
        out << "sample,time,value\r\n";
        long long number = 0;
        for (const auto& list : channels)
            for (const TChartItem& item : list) {
                if (!IsSample(item)) continue;
                out << ++number << ',';
                WriteTime(out, item.X2);
                out << ',' << LocaleFloatText(item.Y, '.') << "\r\n";
            }
        return;
    }
    out << "sample,time";
    for (std::size_t c = 0; c < channels.size(); ++c) {
        const std::string name =
            c < names.size() && !names[c].empty() ? names[c] : "value" + std::to_string(c + 1);
        // A name is letters, digits, '_' and '.', but one from elsewhere is quoted where it must be.
        if (name.find_first_of(",\"\r\n") == std::string::npos) {
            out << ',' << name;
        } else {
            std::string quoted;
            for (const char ch : name)
                quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
            out << ",\"" << quoted << '"';
        }
    }
    out << "\r\n";
    // The channels' samples merged by x: a row for each x, its samples side by side.
    std::vector<std::size_t> at(channels.size(), 0);
    const auto next = [&](std::size_t c) -> const TChartItem* {
        while (at[c] < channels[c].size() && !IsSample(channels[c][at[c]]))
            ++at[c];
        return at[c] < channels[c].size() ? &channels[c][at[c]] : nullptr;
    };
    long long number = 0;
    for (;;) {
        const TChartItem* lowest = nullptr;
        for (std::size_t c = 0; c < channels.size(); ++c)
            if (const TChartItem* it = next(c); it && (!lowest || it->X < lowest->X || std::isnan(lowest->X)))
                lowest = it;
        if (!lowest) break;
        const double x = lowest->X;
        out << ++number << ',';
        WriteTime(out, lowest->X2);
        for (std::size_t c = 0; c < channels.size(); ++c) {
            out << ',';
            const TChartItem* it = next(c);
            if (it && (it == lowest || it->X == x)) {
                out << LocaleFloatText(it->Y, '.');
                ++at[c];
            }
        }
        out << "\r\n";
    }
}
