#include "app/core/conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Scans "[sign] digits [sep digits] [(e|E) [sign] digits]" from the start of s. Returns the length of the
// longest valid number, or 0 when none starts there. The exponent counts only when it has a digit.
std::size_t ScanNumber(std::string_view s, std::string_view sep) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && IsDigit(s[i]))
        ++i, ++digits;
    if (s.substr(i, sep.size()) == sep) {
        std::size_t j = i + sep.size();
        std::size_t frac = 0;
        while (j < s.size() && IsDigit(s[j]))
            ++j, ++frac;
        if (digits + frac > 0) {
            i = j;
            digits += frac;
        }
    }
    if (digits == 0) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        std::size_t exp = 0;
        while (j < s.size() && IsDigit(s[j]))
            ++j, ++exp;
        if (exp > 0) i = j;
    }
    return i;
}

// Whether a number text beyond the double range is too large rather than too small: the decimal
// exponent of its first significant digit plus its exponent part (saturated) is not negative. The sign
// of the exponent part alone does not tell: "0.000…1" has none and "1000…0e-300" may still overflow.
bool Overflows(std::string_view text) {
    std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    long long magnitude = 0;
    bool significant = false;
    std::size_t intStart = i;
    while (i < text.size() && IsDigit(text[i]))
        ++i;
    for (std::size_t k = intStart; k < i && !significant; ++k)
        if (text[k] != '0') {
            significant = true;
            magnitude = static_cast<long long>(i - k) - 1;
        }
    if (i < text.size() && text[i] == '.') {
        ++i;
        for (long long q = 1; i < text.size() && IsDigit(text[i]); ++i, ++q)
            if (!significant && text[i] != '0') {
                significant = true;
                magnitude = -q;
            }
    }
    if (!significant) return false;
    long long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const bool negative = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
        for (; i < text.size() && IsDigit(text[i]); ++i)
            exponent = std::min<long long>(exponent * 10 + (text[i] - '0'), 1000000000);
        if (negative) exponent = -exponent;
    }
    return magnitude + exponent >= 0;
}

// Converts a validated number text (period as separator, no leading '+') in the C locale's rules.
double ParseScanned(std::string_view number, std::string_view sep) {
    std::string text(number);
    if (!text.empty() && text[0] == '+') text.erase(0, 1);
    if (sep != ".")
        if (const std::size_t at = text.find(sep); at != std::string::npos) text.replace(at, sep.size(), ".");
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone; the magnitude of the text decides overflow or underflow.
        const bool negative = text[0] == '-';
        if (!Overflows(text)) return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    (void)end;
    return value;
}

std::string FloatMessage(std::string_view text) {
    return "'" + std::string(text) + "' ist kein gültiger Gleitkommawert";
}

} // namespace

double LocaleTextToDouble(std::string_view text, const LocaleSeparator& decimalSeparator) {
    std::string_view s = text;
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    const std::size_t n = ScanNumber(s, decimalSeparator.Text());
    if (n == 0 || n != s.size()) throw EConvertError(FloatMessage(text));
    const double value = ParseScanned(s, decimalSeparator.Text());
    if (!std::isfinite(value)) throw EConvertError(FloatMessage(text));
    return value;
}

float LocaleTextToFloat(std::string_view text, const LocaleSeparator& decimalSeparator) {
    const float single = static_cast<float>(LocaleTextToDouble(text, decimalSeparator));
    if (!std::isfinite(single)) throw EConvertError(FloatMessage(text));
    return single;
}

std::int32_t TextToInt(std::string_view text) {
    const auto fail = [&] {
        return EConvertError("'" + std::string(text) + "' ist kein gültiger Integerwert");
    };
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size()) throw fail();
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = hex ? HexValue(text[i]) : (IsDigit(text[i]) ? text[i] - '0' : -1);
        if (digit < 0) throw fail();
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (magnitude > 0xFFFFFFFFull) throw fail();
    }
    if (hex) {
        // A hexadecimal text is a 32-bit pattern: $FFFFFFFF is -1.
        const auto pattern = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
        return negative ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(pattern)) : pattern;
    }
    if (negative) {
        if (magnitude > 0x80000000ull) throw fail();
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
    }
    if (magnitude > 0x7FFFFFFFull) throw fail();
    return static_cast<std::int32_t>(magnitude);
}

namespace {
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Unit symbols a name may carry after its last '_' ("temp_C", "u_mV"); any other suffix stays part of
// the name ("sensor_1", "max_speed").
bool IsUnitSuffix(std::string_view s) {
    static constexpr std::string_view kUnits[] = {
        "C",   "F",   "K",  "degC", "degF", "V",   "mV",  "uV",   "kV",  "A",   "mA", "uA",  "W",
        "mW",  "kW",  "Pa", "hPa",  "kPa",  "MPa", "bar", "mbar", "psi", "s",   "ms", "us",  "Hz",
        "kHz", "MHz", "m",  "mm",   "cm",   "km",  "g",   "kg",   "mg",  "N",   "Nm", "rpm", "pct",
        "lux", "lx",  "dB", "dBm",  "ohm",  "Ohm", "ppm", "ppb",  "mps", "kmh", "l",  "ml",  "lpm"};
    return std::find(std::begin(kUnits), std::end(kUnits), s) != std::end(kUnits);
}

bool IsUnitStart(char c) {
    return IsLetter(c) || c == '%' || static_cast<unsigned char>(c) >= 0x80; // '°', 'µ', 'Ω' …
}

// The label at the start of s: a name (a letter, then letters, digits, '_' or '.') and the unit that
// may follow it: "temp[°C]", "p (hPa)", "I/A", or a unit symbol after the name's last '_' ("temp_C").
// Returns where the label ends (0: s starts with none).
std::size_t ScanLabel(std::string_view s, std::string_view& name, std::string_view& unit) {
    if (s.empty() || !IsLetter(s.front())) return 0;
    std::size_t i = 1;
    while (i < s.size() && (IsLetter(s[i]) || IsDigit(s[i]) || s[i] == '_' || s[i] == '.'))
        ++i;
    std::size_t nameEnd = i;
    unit = {};
    std::size_t j = i;
    while (j < s.size() && IsBlank(s[j]))
        ++j;
    if (j < s.size() && (s[j] == '[' || s[j] == '(')) {
        const char close = s[j] == '[' ? ']' : ')';
        const std::size_t end = s.find_first_of(std::string_view(&close, 1), j + 1);
        if (end != std::string_view::npos) {
            const std::string_view inside = TrimBlanks(s.substr(j + 1, end - j - 1));
            if (!inside.empty() && inside.size() <= 12 && inside.find_first_of(",;\t:=[()") == inside.npos) {
                unit = inside;
                i = end + 1;
            }
        }
    } else if (i + 1 < s.size() && s[i] == '/' && IsUnitStart(s[i + 1])) {
        std::size_t end = i + 1;
        while (end < s.size() && !IsBlank(s[end]) &&
               std::string_view(":=,;\t").find(s[end]) == std::string_view::npos)
            ++end;
        unit = s.substr(i + 1, end - i - 1);
        i = end;
    } else if (const std::size_t bar = s.substr(0, nameEnd).rfind('_');
               bar != std::string_view::npos && bar > 0 &&
               IsUnitSuffix(s.substr(bar + 1, nameEnd - bar - 1))) {
        unit = s.substr(bar + 1, nameEnd - bar - 1);
        nameEnd = bar;
    }
    name = s.substr(0, nameEnd);
    return i;
}

// The text after a label "name:", "name=" or "name " (blanks around the ':' or '='), or nothing when the
// text does not start with such a label. name and unit are set to the label's.
std::optional<std::string_view> AfterLabel(std::string_view s, std::string_view* name = nullptr,
                                           std::string_view* unit = nullptr) {
    std::string_view n, u;
    std::size_t i = ScanLabel(s, n, u);
    if (i == 0) return std::nullopt;
    const std::size_t labelEnd = i;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    if (i < s.size() && (s[i] == ':' || s[i] == '=')) {
        ++i;
        while (i < s.size() && IsBlank(s[i]))
            ++i;
    } else if (i == labelEnd) {
        return std::nullopt; // the name runs straight into something else
    }
    if (name) *name = n;
    if (unit) *unit = u;
    return s.substr(i);
}

// The value at the start of text (after blanks): a number, or a number after a label. end is set to
// the offset just past the number, name to the label's name.
std::optional<double> ScanValue(std::string_view text, std::size_t& end, std::string_view& name,
                                std::string_view& unit) {
    std::string_view s = text;
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    std::size_t n = ScanNumber(s, ".");
    if (n == 0) {
        const auto rest = AfterLabel(s, &name, &unit);
        if (!rest) return std::nullopt;
        s = *rest;
        n = ScanNumber(s, ".");
        if (n == 0) return std::nullopt;
    }
    end = static_cast<std::size_t>(s.data() - text.data()) + n;
    return ParseScanned(s.substr(0, n), ".");
}

// The text after the first delimiter of s (empty when there is none).
std::string_view AfterDelimiter(std::string_view s) {
    const std::size_t at = std::min(s.find_first_of(",;\t"), s.size());
    return at < s.size() ? s.substr(at + 1) : std::string_view();
}

// A field between delimiters: a value, a labelled value, a name alone ("temp", "Zeit [s]"), or nothing.
ReceivedField DelimitedField(std::string_view field) {
    ReceivedField f;
    field = TrimBlanks(field);
    std::size_t end = 0;
    f.Value = ScanValue(field, end, f.Name, f.Unit);
    std::string_view name, unit;
    if (!f.Value && f.Name.empty() && ScanLabel(field, name, unit) == field.size())
        f.Name = name, f.Unit = unit;
    return f;
}
} // namespace

std::optional<double> ReceivedLoneNumber(std::string_view text) {
    const std::size_t n = ScanNumber(text, ".");
    if (n == 0 || n != text.size()) return std::nullopt;
    // As ParseScanned, without its copy: from_chars takes no '+'; a value out of range goes its way.
    const std::string_view digits = text[0] == '+' ? text.substr(1) : text;
    double value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec == std::errc::result_out_of_range) return ParseScanned(text, ".");
    (void)end;
    return value;
}

std::optional<double> ReceivedTextToDouble(std::string_view text) {
    std::size_t end = 0;
    std::string_view name, unit;
    return ScanValue(text, end, name, unit);
}

ReceivedFields ReceivedTextToValues(std::string_view text) {
    ReceivedFields out;
    const auto add = [&out](const ReceivedField& f) {
        if (out.Count < kMaxChannels)
            out.Fields[static_cast<std::size_t>(out.Count++)] = f;
        else if (f.Value)
            ++out.Dropped;
    };
    bool delimited = text.find_first_of(",;\t") != std::string_view::npos;
    // The first value is the one a line of a single value gives, whatever follows it.
    ReceivedField first;
    std::size_t end = 0;
    first.Value = ScanValue(text, end, first.Name, first.Unit);
    std::string_view rest = text;
    if (first.Value) {
        add(first);
        rest.remove_prefix(end);
        if (delimited) {
            rest = AfterDelimiter(rest);
            if (rest.empty()) delimited = false; // nothing after the first value's field
        }
    }
    if (delimited) {
        // Fields between delimiters: an empty one keeps its place; trailing empty ones make no channel.
        for (bool more = true; more;) {
            const std::size_t cut = std::min(rest.find_first_of(",;\t"), rest.size());
            add(DelimitedField(rest.substr(0, cut)));
            more = cut < rest.size();
            rest = more ? rest.substr(cut + 1) : std::string_view();
        }
        while (out.Count > 0 && !out.Fields[static_cast<std::size_t>(out.Count - 1)].Value &&
               out.Fields[static_cast<std::size_t>(out.Count - 1)].Name.empty())
            --out.Count;
    } else {
        // Values separated by spaces, the first at the start; a word that gives no value is passed over,
        // and so is a value joined to the one before by anything else (a control character).
        for (; first.Value;) {
            while (!rest.empty() && rest.front() != ' ')
                rest.remove_prefix(1);
            while (!rest.empty() && rest.front() == ' ')
                rest.remove_prefix(1);
            if (rest.empty()) break;
            ReceivedField f;
            if ((f.Value = ScanValue(rest, end, f.Name, f.Unit))) {
                add(f);
                rest.remove_prefix(end);
            }
        }
    }
    for (int i = 0; i < out.Count; ++i) {
        out.Values += out.Fields[static_cast<std::size_t>(i)].Value ? 1 : 0;
        out.Names += out.Fields[static_cast<std::size_t>(i)].Name.empty() ? 0 : 1;
    }
    // A line is one of values when its first gives one (as with a single value), else at most a header:
    // names only, the first among them.
    if (!first.Value && !(delimited && out.Values == 0 && out.Names >= 2 && !out.Fields[0].Name.empty()))
        return {};
    return out;
}

std::string_view CutUtf8(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end; // text[end] continues the character before: cut before that character
    return text.substr(0, end);
}

std::string ChannelLabel(std::string_view name, std::string_view unit, std::size_t limit) {
    if (unit.empty()) return std::string(CutUtf8(name, limit));
    // The unit is kept whole where it fits; the name gives way first.
    const std::string suffix = " [" + std::string(CutUtf8(unit, limit > 3 ? limit - 3 : 0)) + "]";
    if (suffix.size() >= limit) return std::string(CutUtf8(name, limit));
    return std::string(CutUtf8(name, limit - suffix.size())) + suffix;
}

std::pair<std::string, std::string> SplitChannelLabel(std::string_view label) {
    const std::size_t open = label.rfind(" [");
    if (open == std::string_view::npos || open == 0 || label.size() < open + 4 || label.back() != ']')
        return {std::string(label), {}};
    return {std::string(label.substr(0, open)), std::string(label.substr(open + 2, label.size() - open - 3))};
}

namespace {
// The shortest text that reads back as the same value of its type.
template <typename T> std::string ShortestText(T value, const LocaleSeparator& decimalSeparator) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, ec == std::errc() ? end : buffer);
    if (const std::size_t at = text.find('.'); at != std::string::npos)
        text.replace(at, 1, decimalSeparator.Text());
    return text;
}
} // namespace

std::string FormatPlotValue(float value, const LocaleSeparator& decimalSeparator) {
    if (std::isnan(value)) return "Nan";
    if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
    return ShortestText(value, decimalSeparator);
}

std::string LocaleFloatText(double value, const LocaleSeparator& decimalSeparator) {
    return ShortestText(value, decimalSeparator);
}
