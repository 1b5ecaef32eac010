#include "app/core/csv_export.h"

#include "app/core/conversions.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <streambuf>

#include <unistd.h>

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

namespace {
// A channel of a list in memory, sample by sample.
class ListChannel {
public:
    explicit ListChannel(std::span<const TChartItem> items) : items_(items) {}
    // The next sample, nullptr after the last.
    const TChartItem* Sample() {
        while (at_ < items_.size() && !IsSample(items_[at_]))
            ++at_;
        return at_ < items_.size() ? &items_[at_] : nullptr;
    }
    void Take() { ++at_; }

private:
    std::span<const TChartItem> items_;
    std::size_t at_ = 0;
};

// Records [begin, end) of a file, read a piece at a time.
class FileChannel {
public:
    FileChannel(const ItemFileReader& file, std::uint64_t begin, std::uint64_t end)
        : file_(file), next_(begin), end_(end) {}
    const TChartItem* Sample() {
        for (;;) {
            while (at_ < piece_.size() && !IsSample(piece_[at_]))
                ++at_;
            if (at_ < piece_.size()) return &piece_[at_];
            if (next_ >= end_) return nullptr;
            piece_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, end_ - next_)));
            file_.Read(next_, piece_);
            next_ += piece_.size();
            at_ = 0;
        }
    }
    void Take() { ++at_; }

private:
    static constexpr std::uint64_t kPiece = 1024; // records: 104 KiB

    const ItemFileReader& file_;
    std::uint64_t next_, end_;
    std::vector<TChartItem> piece_;
    std::size_t at_ = 0;
};

// The marks' texts up to x, each once, for the events column: "" when there is none.
class Events {
public:
    explicit Events(std::vector<TChartItem> marks) : marks_(std::move(marks)) {}
    bool Any() const { return !marks_.empty(); }
    // Writes ",texts" of the marks up to x (all that are left with x NaN) when there are marks at all.
    void UpTo(std::ostream& out, double x) {
        if (marks_.empty()) return;
        std::string texts;
        for (; next_ < marks_.size() && (std::isnan(x) || marks_[next_].X <= x); ++next_)
            texts += (texts.empty() ? "" : "; ") + RecordText(marks_[next_]);
        out << ',' << (texts.empty() ? std::string() : CsvTextCell(texts));
    }
    // A row for each mark after the last sample: its time, no values, its text.
    void Rest(std::ostream& out, long long& number, std::size_t channels) {
        for (; next_ < marks_.size() && out; ++next_) {
            out << ++number << ',';
            WriteTime(out, marks_[next_].X2);
            out << std::string(std::max<std::size_t>(channels, 1), ',')
                << CsvTextCell(RecordText(marks_[next_])) << "\r\n";
        }
    }

private:
    std::vector<TChartItem> marks_;
    std::size_t next_ = 0;
};

template <typename Channel>
void WriteChannels(std::ostream& out, std::span<Channel> channels, std::span<const std::string> names,
                   Events events) {
    const char* eventsHead = events.Any() ? ",events" : "";
    if (channels.size() <= 1) {
        out << "sample,time,value" << eventsHead << "\r\n";
        long long number = 0;
        for (Channel& channel : channels)
            for (const TChartItem* item; out && (item = channel.Sample()); channel.Take()) {
                out << ++number << ',';
                WriteTime(out, item->X2);
                out << ',' << LocaleFloatText(item->Y, '.');
                events.UpTo(out, item->X);
                out << "\r\n";
            }
        events.Rest(out, number, 1);
        return;
    }
    out << "sample,time";
    for (std::size_t c = 0; c < channels.size(); ++c)
        out << ','
            << CsvTextCell(c < names.size() && !names[c].empty() ? names[c]
                                                                 : "value" + std::to_string(c + 1));
    out << eventsHead << "\r\n";
    // The channels' samples merged by x: a row for each x, its samples side by side.
    long long number = 0;
    while (out) { // a stream that failed takes nothing more: the rest of the file is not read for it
        const TChartItem* lowest = nullptr;
        std::size_t first = 0; // the channel of the lowest
        for (std::size_t c = 0; c < channels.size(); ++c)
            if (const TChartItem* it = channels[c].Sample();
                it && (!lowest || it->X < lowest->X || std::isnan(lowest->X)))
                lowest = it, first = c;
        if (!lowest) break;
        const double x = lowest->X;
        out << ++number << ',';
        WriteTime(out, lowest->X2);
        for (std::size_t c = 0; c < channels.size(); ++c) {
            out << ',';
            const TChartItem* it = channels[c].Sample();
            if (it && (c == first || it->X == x)) {
                out << LocaleFloatText(it->Y, '.');
                channels[c].Take();
            }
        }
        events.UpTo(out, x);
        out << "\r\n";
    }
    events.Rest(out, number, channels.size());
}
} // namespace

// The marks a file keeps at the end of its first channel's records, in their order.
template <typename RecordAt>
std::vector<TChartItem> TrailingMarks(std::uint64_t begin, std::uint64_t end, const RecordAt& at) {
    std::vector<TChartItem> marks;
    for (std::uint64_t i = end; i > begin && IsEventMark(at(i - 1)); --i)
        marks.insert(marks.begin(), at(i - 1));
    return marks;
}

void WriteSamplesCsv(std::ostream& out, std::span<const TChartItem> items) {
    std::vector<ListChannel> channels;
    std::vector<std::string> names;
    std::vector<TChartItem> marks;
    for (const auto& [begin, end] : ChannelRanges(items)) {
        const auto part =
            items.subspan(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
        channels.emplace_back(part);
        names.push_back(RecordText(part.front()));
        if (channels.size() == 1)
            marks = TrailingMarks(0, part.size(),
                                  [&](std::uint64_t i) { return part[static_cast<std::size_t>(i)]; });
    }
    WriteChannels(out, std::span(channels), names, Events(std::move(marks)));
}

void WriteSamplesCsv(std::ostream& out, std::span<const std::span<const TChartItem>> channels,
                     std::span<const std::string> names, std::span<const TChartItem> marks) {
    std::vector<ListChannel> lists(channels.begin(), channels.end());
    WriteChannels(out, std::span(lists), names, Events({marks.begin(), marks.end()}));
}

void WriteSamplesCsv(std::ostream& out, const ItemFileReader& file) {
    std::vector<FileChannel> channels;
    std::vector<std::string> names;
    std::vector<TChartItem> marks;
    for (const auto& [begin, end] : ChannelRanges(file)) {
        channels.emplace_back(file, begin, end);
        names.push_back(RecordText(file.Record(begin)));
        if (channels.size() == 1)
            marks = TrailingMarks(begin, end, [&](std::uint64_t i) { return file.Record(i); });
    }
    WriteChannels(out, std::span(channels), names, Events(std::move(marks)));
}

namespace {
// An output stream's buffer that writes to a descriptor, or only counts without one (fd < 0). Error()
// is the errno of the first write that failed.
class DescriptorBuffer : public std::streambuf {
public:
    explicit DescriptorBuffer(int fd) : fd_(fd), buffer_(1 << 16) {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
    int Error() const { return error_; }
    std::size_t Count() const { return count_; }

protected:
    int_type overflow(int_type c) override {
        if (!Drain()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain() {
        const char* p = pbase();
        auto n = static_cast<std::size_t>(pptr() - pbase());
        count_ += n;
        while (fd_ >= 0 && n > 0 && error_ == 0) {
            const ssize_t written = ::write(fd_, p, n);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                error_ = written < 0 ? errno : EIO;
                break;
            }
            p += written;
            n -= static_cast<std::size_t>(written);
        }
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return error_ == 0;
    }

    int fd_;
    int error_ = 0;
    std::size_t count_ = 0;
    std::vector<char> buffer_;
};
} // namespace

int WriteSamplesCsv(int fd, const ItemFileReader& file, std::size_t* bytes) {
    DescriptorBuffer buffer(fd);
    std::ostream out(&buffer);
    WriteSamplesCsv(out, file);
    out.flush();
    if (bytes) *bytes = buffer.Count();
    return buffer.Error() != 0 ? buffer.Error() : out ? 0 : EIO;
}
