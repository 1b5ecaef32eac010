#pragma once
// Mark symbols of ikMark items: 48 built-in symbols (0 ... 47) centred on a point, drawn with the canvas'
// pen; every other number is the character of that code in the canvas' font, centred on the point.

class Canvas;

inline constexpr int kNumMarkSymbols = 48;

void DrawMark(Canvas& canvas, int mark, int x, int y);
