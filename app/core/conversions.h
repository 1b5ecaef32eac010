#pragma once
// The three text conversions of the acquisition window and the value label's text.
// Plain C++: the decimal separator of the user's locale is passed in, so every rule can be tested
// under a comma and a period locale without touching the process locale.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

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

// The shortest text that reads back as the same single value, with the locale's decimal separator
// (0.1f shows as "0,1" under a comma locale). Infinities and NaN show as "+Inf", "-Inf" and "Nan".
std::string FormatPlotValue(float value, const LocaleSeparator& decimalSeparator);

// The locale float text of a value, for fields the program fills itself ("0,1" or "0.1").
std::string LocaleFloatText(double value, const LocaleSeparator& decimalSeparator);
