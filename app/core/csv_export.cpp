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
    // Years of other than four digits (before year 0, from 10000 on) are no ISO 8601 basic dates: such a
    // field stays empty as well; a year before 0 would also start the field with '-'.
    if (std::isfinite(time) && time != 0 && time >= -62167219200.0 &&
        std::round(static_cast<long double>(time) * 1000.0L) < 253402300800000.0L)
        out << IsoUtcMilliseconds(time);
}

// The length of the UTF-8 sequence at the start of s (1 to 4), or 0 when it is none: a stray or missing
// continuation byte, an overlong form, a surrogate or a code point beyond U+10FFFF.
std::size_t Utf8Length(std::string_view s, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    std::size_t n = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF)
        n = 2, code = lead & 0x1Fu;
    else if (lead >= 0xE0 && lead <= 0xEF)
        n = 3, code = lead & 0x0Fu;
    else if (lead >= 0xF0 && lead <= 0xF4)
        n = 4, code = lead & 0x07u;
    else
        return 0;
    if (s.size() < n) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u) return 0;
        code = (code << 6) | (byte(i) & 0x3Fu);
    }
    const bool overlong = (n == 3 && code < 0x800) || (n == 4 && code < 0x10000);
    if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return n;
}
} // namespace

std::string CsvTextCell(std::string_view text) {
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD
    // What a spreadsheet would take as a formula is made text by a leading apostrophe.
    const bool formula =
        !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
    std::string cell = formula ? "'" : "";
    while (!text.empty()) {
        char32_t code = 0;
        const std::size_t n = Utf8Length(text, code);
        // Control characters (C0, DEL, C1) would move a terminal's cursor or end the row in some reader.
        if (n == 0 || code < 0x20 || (code >= 0x7F && code <= 0x9F))
            cell += kReplacement;
        else
            cell.append(text.substr(0, n));
        text.remove_prefix(n == 0 ? 1 : n);
    }
    if (!formula && cell.find_first_of(",\"") == std::string::npos) return cell;
    std::string quoted = "\"";
    for (const char ch : cell)
        quoted += ch == '"' ? std::string_view("\"\"") : std::string_view(&ch, 1);
    return quoted + '"';
}

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
    for (std::size_t c = 0; c < channels.size(); ++c)
        out << ','
            << CsvTextCell(c < names.size() && !names[c].empty() ? names[c]
                                                                 : "value" + std::to_string(c + 1));
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
