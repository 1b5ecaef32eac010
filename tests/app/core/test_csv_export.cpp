// The CSV of an acquisition: text cells a spreadsheet cannot run, and a file read piece by piece gives
// the text its list of records gives.
#include "app/core/csv_export.h"
#include "chart/core/item_file.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
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

std::string FileCsv(const std::string& fileName) {
    std::ostringstream out;
    WriteSamplesCsv(out, ItemFileReader(fileName));
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
    TempDir dir;
    for (const auto& [name, cell] : cases) {
        SCOPED_TRACE(name);
        ASSERT_LE(name.size(), 17u);
        const std::vector<TChartItem> items = {Sample(ikMoveTo, 0, 1, 0, "a"),
                                               Sample(ikMoveTo, 0, -1.5, 1, name)};
        const std::string expected = "sample,time,a," + cell + "\r\n1,2025-12-09T03:42:00.000Z,1,-1.5\r\n";
        EXPECT_EQ(Csv(items), expected);
        const std::string file = (dir / "named.mvx").string();
        SaveItems(file, items);
        EXPECT_EQ(FileCsv(file), expected);
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

// Written from the file a piece at a time, the CSV is the one of the loaded list, byte for byte: channels
// longer than a piece and ending inside one, gaps, items that are no samples, equal and NaN x, classes
// that do not rise (one channel), no record at all, and a part of a record at the end.
TEST(CsvExport, AFileReadPieceByPieceGivesTheCsvOfItsRecords) {
    const auto channels = [](std::vector<int> lengths, bool rising) {
        std::vector<TChartItem> items;
        for (std::size_t c = 0; c < lengths.size(); ++c)
            for (int i = 0; i < lengths[c]; ++i) {
                if (c == 1 && i % 97 < 5) continue; // a gap of channel 2
                const double x = i == 333 ? std::nan("") : i - (i % 500 == 17 ? 1 : 0);
                const TChartItemKind kind = i == 0 ? ikMoveTo : i % 211 == 5 ? ikText : ikLineTo;
                const int channel = rising ? static_cast<int>(c) : static_cast<int>(lengths.size() - c - 1);
                items.push_back(Sample(kind, x, std::sin(i * 0.1 + c) * 100, channel, i ? "" : "n"));
            }
        return items;
    };
    struct Case {
        const char* what;
        std::vector<TChartItem> items;
        std::size_t trailing;
    };
    const std::vector<Case> cases = {
        {"three channels", channels({2500, 1025, 1}, true), 0},
        {"many channels and a trailing part", channels({1024, 2049, 7, 3000, 1}, true), 51},
        {"one channel", channels({3100}, true), 0},
        {"classes that do not rise", channels({900, 1300}, false), 0},
        {"nothing", {}, 0},
        {"only a part of a record", {}, 103},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = (dir / "run.mvx").string();
        SaveItems(file, c.items);
        std::ofstream(file, std::ios::binary | std::ios::app) << std::string(c.trailing, '\x5a');
        const std::string expected = Csv(LoadItems(file));
        EXPECT_EQ(FileCsv(file), expected);
        EXPECT_GT(expected.size(), 10u);
    }

    // A file that becomes shorter while it is read says so.
    const std::string file = (dir / "shrinks.mvx").string();
    SaveItems(file, channels({5000, 5000}, true));
    const ItemFileReader reader(file);
    std::filesystem::resize_file(file, 3000 * kChartItemSize);
    std::ostringstream out;
    try {
        WriteSamplesCsv(out, reader);
        FAIL() << "a file that became shorter was read whole";
    } catch (const EItemFileError& e) {
        EXPECT_NE(e.Reason().find("became shorter"), std::string::npos) << e.what();
    }
}
