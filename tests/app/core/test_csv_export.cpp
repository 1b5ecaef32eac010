// The CSV of an acquisition: text cells a spreadsheet cannot run.
#include "app/core/csv_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

TChartItem Sample(TChartItemKind kind, double x, double y, int channel, std::string_view name = {}) {
    TChartItem item = MakeItem(kind, x, y, 1765251720 + x, 0, 0xFF0000);
    item.ItemClass = static_cast<std::uint8_t>(channel);
    item.Text[0] = static_cast<std::uint8_t>(name.size());
    std::copy(name.begin(), name.end(), item.Text + 1);
    return item;
}

std::string Csv(std::span<const TChartItem> items) {
    std::ostringstream out;
    WriteSamplesCsv(out, items);
    return out.str();
}

} // namespace

// A channel's name from a file is a text cell: no formula, no control character, no invalid UTF-8; the
// values beside it stay numbers.
TEST(CsvExport, NamesFromAFileBecomeHarmlessTextCells) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"temp", "temp"},
        {"=cmd|'/c calc'!A0", "\"'=cmd|'/c calc'!A0\""},
        {"+SUM(A1)", "\"'+SUM(A1)\""},
        {"@x", "\"'@x\""},
        {"-2+3", "\"'-2+3\""},
        {"\t=1", "\"'\xEF\xBF\xBD=1\""},
        {"\r=1", "\"'\xEF\xBF\xBD=1\""},
        {"a\x1b[31mb", "a\xEF\xBF\xBD[31mb"},           // ESC
        {"a\x7f\xc2\x9b", "a\xEF\xBF\xBD\xEF\xBF\xBD"}, // DEL, C1 CSI
        {"a\nb", "a\xEF\xBF\xBD"
                 "b"},
        {"\xc3\xa9t\xc3\xa9 \xe2\x82\xac", "\xc3\xa9t\xc3\xa9 \xe2\x82\xac"}, // valid UTF-8 stays
        {"ab\xc3", "ab\xEF\xBF\xBD"},                                         // cut after 17 bytes
        {"\xff\xc0\xaf", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},             // never UTF-8, overlong
        {"\xed\xa0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},             // a surrogate
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"", "value2"},
    };
    for (const auto& [name, cell] : cases) {
        SCOPED_TRACE(name);
        ASSERT_LE(name.size(), 17u);
        const std::vector<TChartItem> items = {Sample(ikMoveTo, 0, 1, 0, "a"),
                                               Sample(ikMoveTo, 0, -1.5, 1, name)};
        const std::string expected = "sample,time,a," + cell + "\r\n1,2025-12-09T03:42:00.000Z,1,-1.5\r\n";
        EXPECT_EQ(Csv(items), expected);
    }
}

// Receive times outside the years of four digits leave the field empty: a year before 0 would start
// the cell with '-'.
TEST(CsvExport, TimeFieldsHoldFourDigitYearsOnly) {
    const std::vector<std::pair<double, std::string>> cases = {
        {-62167219200.0, "0000-01-01T00:00:00.000Z"},   {-62167219200.5, ""},    {-7e10, ""},
        {253402300799.999, "9999-12-31T23:59:59.999Z"}, {253402300799.9996, ""}, // rounds into the year 10000
        {std::numeric_limits<double>::quiet_NaN(), ""},
    };
    for (const auto& [time, field] : cases) {
        SCOPED_TRACE(time);
        TChartItem item = Sample(ikMoveTo, 0, 2, 0);
        item.X2 = time;
        EXPECT_EQ(Csv(std::span(&item, 1)), "sample,time,value\r\n1," + field + ",2\r\n");
    }
}
