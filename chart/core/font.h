#pragma once
// A font description as the chart keeps it (a value; the Canvas turns it into a real font).

#include "chart/core/draw_types.h"

#include <cstdint>
#include <string>

using TFontStyles = std::uint8_t;
inline constexpr TFontStyles fsBold = 1;
inline constexpr TFontStyles fsItalic = 2;
inline constexpr TFontStyles fsUnderline = 4;
inline constexpr TFontStyles fsStrikeOut = 8;

struct TFont {
    std::string Name = "MS Sans Serif";
    int Size = 8;        // points at 96 pixels per inch
    int PixelHeight = 0; // em height in pixels; when > 0 it wins over Size
    TFontStyles Style = 0;
    TColor Color = 0; // clWindowText resolves to black as well

    // Em height in pixels: points at 96 dpi, rounded like the platform's MulDiv.
    int EmPixels() const {
        if (PixelHeight > 0) return PixelHeight;
        const int s = Size < 0 ? -Size : Size;
        return (s * 96 + 36) / 72;
    }
    bool operator==(const TFont&) const = default;
};
