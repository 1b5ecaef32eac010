#pragma once
// The three text conversions of the acquisition window and the value label's text.
// Plain C++: the decimal separator of the user's locale is passed in, so every rule can be tested
// under a comma and a period locale without touching the process locale.

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

// The decimal separator of the user's locale as UTF-8 text: "," or "." in most locales, more than one
// byte in some ("٫", U+066B). A char converts to it.
class LocaleSeparator {
public:
    LocaleSeparator(char c) : text_(1, c) {}
    explicit LocaleSeparator(std::string utf8) : text_(utf8.empty() ? std::string(".") : std::move(utf8)) {}
    std::string_view Text() const { return text_; }

private:
    std::string text_;
};

// A field that does not hold a number; the message is the one the user sees.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Scale and axis fields: optional sign, digits with the locale's decimal separator, optional exponent,
// surrounding blanks allowed. The result is the value rounded to single precision. A text that is not
// such a number, or whose value does not fit a single, raises
// "'<text>' ist kein gültiger Gleitkommawert".
float LocaleTextToFloat(std::string_view text, const LocaleSeparator& decimalSeparator);
// The same text rules in double precision (a channel's own factor and offset).
double LocaleTextToDouble(std::string_view text, const LocaleSeparator& decimalSeparator);

// Offset field: optional leading blanks, optional sign, then decimal digits, or hexadecimal digits after
// "$", "x", "X", "0x" or "0X" (up to 32 bits, taken as a signed 32-bit pattern). Anything else, or a
// decimal value outside the 32-bit range, raises "'<text>' ist kein gültiger Integerwert".
std::int32_t TextToInt(std::string_view text);

// Received data: leading blanks, then the longest valid number (optional sign, digits, optional "." and
// digits, optional exponent). Always a period, whatever the locale. A labelled value ("temp: 23.5",
// "temp=23.5", "temp 23.5": a name of letters, digits, '_' or '.' that starts with a letter, then ':',
// '=' or blanks) gives the number after its label. Returns nothing when no number starts where one must,
// so such a line gives no sample. Magnitudes beyond the double range give an infinity, below it zero.
std::optional<double> ReceivedTextToDouble(std::string_view text);

// One value of a received line: the name of its label (empty without one), the unit the label gives
// ("temp[°C]", "p(hPa)", "I/A", "temp_C"; empty without one) and its number, if any.
struct ReceivedField {
    std::string_view Name;
    std::optional<double> Value;
    std::string_view Unit;
};

inline constexpr int kMaxChannels = 16;

// The values of a received line, channel 1 first.
struct ReceivedFields {
    std::array<ReceivedField, kMaxChannels> Fields{};
    int Count = 0;   // fields taken (at most kMaxChannels); Fields[i] without a value is a gap
    int Values = 0;  // fields with a value among them
    int Names = 0;   // fields with a name among them
    int Dropped = 0; // values beyond kMaxChannels, not taken
    // A line of names only ("temp,hum,p"): it names the channels and gives no sample.
    bool Header() const { return Values == 0 && Count > 0; }
};

// A channel's name with its unit as the legend, the CSV header and the channel's first record show it:
// "temp [°C]", or the name alone without a unit. At most `limit` bytes, never cut inside a character.
std::string ChannelLabel(std::string_view name, std::string_view unit, std::size_t limit = 17);
// The name and the unit of such a label ("temp [°C]" → "temp", "°C"); a text without a unit is a name.
std::pair<std::string, std::string> SplitChannelLabel(std::string_view label);
// At most `limit` bytes of UTF-8 text, cut before a character that would not fit whole.
std::string_view CutUtf8(std::string_view text, std::size_t limit);

// Several values per line. Channel 1 is what ReceivedTextToDouble gives, and a line without it gives no
// value at all. When the line holds ',', ';' or a tab, those separate the fields after the first value's:
// each field is a number, a labelled number or a name alone (junk after a number is passed over), and an
// empty field is a gap. Else blanks separate the values, labelled or not, and words that give no value
// are passed over. A line of two or more names between delimiters and no value is a header.
ReceivedFields ReceivedTextToValues(std::string_view text);

// The value of a received line that is one number and nothing else ("123", "-4.5e3"): exactly what
// ReceivedTextToValues gives as its only field. Nothing for any other line, which then takes the
// general rules. The receive path's shortcut for the common line.
std::optional<double> ReceivedLoneNumber(std::string_view text);

// The shortest text that reads back as the same single value, with the locale's decimal separator
// (0.1f shows as "0,1" under a comma locale). Infinities and NaN show as "+Inf", "-Inf" and "Nan".
std::string FormatPlotValue(float value, const LocaleSeparator& decimalSeparator);

// The locale float text of a value, for fields the program fills itself ("0,1" or "0.1").
std::string LocaleFloatText(double value, const LocaleSeparator& decimalSeparator);
