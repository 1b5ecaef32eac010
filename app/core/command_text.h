#pragma once
// What the user types as a command for the device, made into the bytes that are sent: text with C
// escapes (\r, \n, \t, \\, \xNN) or hex bytes ("FF 01 A3"), then the chosen line end. Plain C++.

#include <optional>
#include <string>
#include <string_view>

enum class LineEnd { None, Cr, Lf, CrLf };

// "none", "cr", "lf", "crlf" (the command line's names); nullopt for any other.
std::optional<LineEnd> LineEndNamed(std::string_view name);
std::string_view LineEndBytes(LineEnd end);

struct CommandBytes {
    std::string Bytes;
    // Why the text cannot be sent (empty when it can): what is wrong and where, in the window's German.
    std::string Error;
};

// Hex: pairs of hex digits, blanks between pairs allowed ("FF01 A3"); a digit without its partner or
// any other character is refused. Text: the escapes above; a backslash before any other character, or
// \x without two hex digits, is refused. The line end follows in both forms.
CommandBytes CommandToBytes(std::string_view text, bool hex, LineEnd end);
