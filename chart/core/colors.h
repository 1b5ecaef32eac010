#pragma once
// Colour values of the chart: 0x00BBGGRR for plain colours; values with the top byte 0xFF name a system
// colour, resolved by ColorToRGB to a fixed RGB so that every machine draws the same pixels.

#include "chart/core/draw_types.h"

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;

inline constexpr TColor clSystemColor = 0xFF000000;
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clBtnShadow = clSystemColor | 16;
inline constexpr TColor clGrayText = clSystemColor | 17;
inline constexpr TColor clBtnText = clSystemColor | 18;
inline constexpr TColor clBtnHighlight = clSystemColor | 20;

// Plain colour (0x00BBGGRR) of any colour value; unknown system colours resolve to black.
constexpr TColor ColorToRGB(TColor c) {
    if ((c & 0xFF000000u) != clSystemColor) return c & 0x00FFFFFFu;
    switch (c & 0xFFu) {
    case 5:
        return 0xFFFFFF;
    case 8:
        return 0x000000;
    case 15:
        return 0xF0F0F0;
    case 16:
        return 0xA0A0A0;
    case 17:
        return 0x6D6D6D;
    case 18:
        return 0x000000;
    case 20:
        return 0xFFFFFF;
    default:
        return 0x000000;
    }
}
