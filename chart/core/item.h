#pragma once
// One drawing primitive of the chart, in memory exactly as it is stored in an acquisition file:
// 104 bytes, little-endian, fields at fixed offsets. A file is the item list written record by record.

#include <bit>
#include <cstddef>
#include <cstdint>

#include "chart/core/draw_types.h"

static_assert(std::endian::native == std::endian::little,
              "the item record layout assumes a little-endian host");

enum TChartItemKind : std::uint8_t {
    ikNone = 0,
    ikMark = 1,
    ikLine = 2,
    ikLineTo = 3,
    ikRectangle = 4,
    ikBox = 5,
    ik3DBar = 6,
    ikText = 7,
    ikMoveTo = 8,
    ikEllipse = 9,
    ikMoveRel = 12,
    ikLineRel = 13,
    ikArrow = 14,
};

struct TChartItem {
    double X;
    double Y;
    double X2;
    double Y2;
    TColor Color;
    TColor FillColor;
    TColor FrameColor1;
    TColor FrameColor2;
    std::uint8_t PenStyle;
    std::uint8_t Pad49[3];
    std::uint32_t Reserved;
    std::int32_t LineWidth;
    std::uint8_t ItemClass;
    std::uint8_t Kind;
    std::uint8_t Pad62[2];
    std::int32_t Layer;
    std::uint8_t Hollow;
    std::uint8_t FrameStyle;
    std::uint8_t Text[18]; // length byte, then up to 17 characters in the 8-bit code page
    std::int32_t Size;
    std::int32_t Depth;
    std::uint8_t MarkType;
    std::uint8_t Pad97[7];
};

inline constexpr std::size_t kChartItemSize = 104;

// An event mark (a command sent, a moment the user marked): a record of no kind, so that a reader
// that does not know marks draws and exports nothing for it. X is where it stands on the x axis, X2 its
// time (seconds since 1970, UTC), Text its text; MarkType tells it from other records of no kind.
inline constexpr std::uint8_t kEventMarkType = 0xE7;
inline bool IsEventMark(const TChartItem& item) {
    return item.Kind == ikNone && item.MarkType == kEventMarkType;
}

static_assert(sizeof(TChartItem) == kChartItemSize);
static_assert(alignof(TChartItem) == 8);
static_assert(offsetof(TChartItem, X) == 0);
static_assert(offsetof(TChartItem, Y) == 8);
static_assert(offsetof(TChartItem, X2) == 16);
static_assert(offsetof(TChartItem, Y2) == 24);
static_assert(offsetof(TChartItem, Color) == 32);
static_assert(offsetof(TChartItem, FillColor) == 36);
static_assert(offsetof(TChartItem, FrameColor1) == 40);
static_assert(offsetof(TChartItem, FrameColor2) == 44);
static_assert(offsetof(TChartItem, PenStyle) == 48);
static_assert(offsetof(TChartItem, Reserved) == 52);
static_assert(offsetof(TChartItem, LineWidth) == 56);
static_assert(offsetof(TChartItem, ItemClass) == 60);
static_assert(offsetof(TChartItem, Kind) == 61);
static_assert(offsetof(TChartItem, Layer) == 64);
static_assert(offsetof(TChartItem, Hollow) == 68);
static_assert(offsetof(TChartItem, FrameStyle) == 69);
static_assert(offsetof(TChartItem, Text) == 70);
static_assert(offsetof(TChartItem, Size) == 88);
static_assert(offsetof(TChartItem, Depth) == 92);
static_assert(offsetof(TChartItem, MarkType) == 96);

// A record of one kind between two world points in one colour, one pixel wide on layer 1, every other
// byte zero: where an item made by hand starts.
inline TChartItem MakeItem(TChartItemKind kind, double x, double y, double x2 = 0, double y2 = 0,
                           TColor color = 0) {
    TChartItem it{};
    it.X = x, it.Y = y, it.X2 = x2, it.Y2 = y2;
    it.Kind = kind, it.Color = color, it.LineWidth = 1, it.Layer = 1;
    return it;
}
