#include "app/core/csv_export.h"

#include "app/core/conversions.h"

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

void WriteSamplesCsv(std::ostream& out, std::span<const TChartItem> items) {
    out << "sample,time,value\r\n";
    long long number = 0;
    for (const TChartItem& item : items) {
        if (item.Kind != ikMoveTo && item.Kind != ikLineTo) continue;
        out << ++number << ',';
        // Years beyond four digits are no ISO 8601 basic dates: such a field stays empty as well.
        if (std::isfinite(item.X2) && item.X2 != 0 && std::fabs(item.X2) < 253402300800.0)
            out << IsoUtcMilliseconds(item.X2);
        out << ',' << LocaleFloatText(item.Y, '.') << "\r\n";
    }
}
