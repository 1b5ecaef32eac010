#include "app/core/command_text.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string At(std::size_t i) {
    return " (Zeichen " + std::to_string(i + 1) + ")";
}

} // namespace

std::optional<LineEnd> LineEndNamed(std::string_view name) {
    if (name == "none") return LineEnd::None;
    if (name == "cr") return LineEnd::Cr;
    if (name == "lf") return LineEnd::Lf;
    if (name == "crlf") return LineEnd::CrLf;
    return std::nullopt;
}

std::string_view LineEndBytes(LineEnd end) {
    switch (end) {
    case LineEnd::Cr:
        return "\r";
    case LineEnd::Lf:
        return "\n";
    case LineEnd::CrLf:
        return "\r\n";
    case LineEnd::None:
        break;
    }
    return {};
}

CommandBytes CommandToBytes(std::string_view text, bool hex, LineEnd end) {
    CommandBytes out;
    std::string& b = out.Bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (hex) {
            if (c == ' ' || c == '\t') continue;
            const int hi = HexDigit(c);
            if (hi < 0) return {{}, "Keine Hex-Ziffer: \"" + std::string(1, c) + "\"" + At(i)};
            const int lo = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
            if (lo < 0)
                return {{},
                        "Hex-Bytes brauchen je zwei Ziffern: \"" + std::string(1, c) + "\" steht allein" +
                            At(i)};
            b += static_cast<char>(hi * 16 + lo);
            ++i;
            continue;
        }
        if (c != '\\') {
            b += c;
            continue;
        }
        const char e = i + 1 < text.size() ? text[i + 1] : '\0';
        ++i;
        switch (e) {
        case 'r':
            b += '\r';
            break;
        case 'n':
            b += '\n';
            break;
        case 't':
            b += '\t';
            break;
        case '\\':
            b += '\\';
            break;
        case 'x': {
            const int hi = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
            const int lo = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
            if (hi < 0 || lo < 0) return {{}, "\\x braucht zwei Hex-Ziffern" + At(i - 1)};
            b += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default:
            return {{},
                    "Unbekannte Escape-Folge \"\\" + (e ? std::string(1, e) : std::string()) + "\"" +
                        At(i - 1) + "; \\r, \\n, \\t, \\\\ und \\xNN gehen"};
        }
    }
    b += LineEndBytes(end);
    return out;
}
